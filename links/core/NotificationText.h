#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

// Turns the bytes of Bluetooth LE notifications into chronograph lines.

// True when every byte is TAB, LF, CR or 0x20 to 0x7E (an empty value too).
bool IsTextNotification(const QByteArray& bytes);

// Each byte as two upper-case hexadecimal digits, separated by one blank:
// 0x31 0xFF 0x0A gives "31 FF 0A".
QString HexLine(const QByteArray& bytes);

// An unfinished line holds at most this many characters, as on the serial
// link. A line that grows past it is no chronograph line: it is dropped
// whole, up to and including the LF that ends it, so a device that never
// sends LF cannot grow the memory without end.
constexpr int MaxNotificationLineLength = 4096;

// Appends the bytes (decoded as UTF-8; text notifications are ASCII) to
// pending, the text that earlier notifications left without an LF, and cuts
// it at every LF. Returns the completed lines in order, each trimmed of
// blanks and control characters at both ends; lines left empty by the trim
// are not returned. What follows the last LF stays in pending. skipping is
// true while an overlong line is being dropped; pending never holds more
// than MaxNotificationLineLength characters afterwards.
std::vector<QString> CutNotificationText(QString& pending, bool& skipping, const QByteArray& bytes);
