#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "links/core/LineCutter.h"

// Turns the bytes of Bluetooth LE notifications into chronograph lines.

// True when every byte is TAB, LF, CR or 0x20 to 0x7E (an empty value too).
bool IsTextNotification(const QByteArray& bytes);

// Each byte as two upper-case hexadecimal digits, separated by one blank:
// 0x31 0xFF 0x0A gives "31 FF 0A".
QString HexLine(const QByteArray& bytes);

// Feeds the bytes of a text notification (see IsTextNotification: ASCII, so
// each byte is one character) to cutter, which holds what earlier
// notifications left unfinished and cuts lines as on the serial link: LF, CR
// or CR LF end a line, and a line longer than TLineCutter::MaxLineLength is
// dropped whole. Returns the completed lines in order, each trimmed of blanks
// and control characters at both ends; lines left empty are not returned.
std::vector<QString> NotificationLines(TLineCutter& cutter, const QByteArray& bytes);
