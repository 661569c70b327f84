#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

// The line and cell rules that every reader of a shot file shares (LOAD's
// shot files and CMP's compare file), so that the two read a file alike.

// The lines of a text: a line ends at CR LF, LF or CR. A last line without
// its end counts; the end of the last line starts no further line.
std::vector<QString> SplitTextLines(const QString& text);

// The second cell of a CSV row, or false when the row has no separator. The
// row is trimmed; its first TAB, else its first ";", else its first ","
// separates the first cell. The second ends before the next TAB, else the
// next ";", else the next "," when commas separate the row (so a decimal
// comma in a TAB- or ";"-separated row stays in the number), else at the end
// of the row. The cell comes back trimmed and may be empty.
bool CsvSecondCell(const QString& row, QString& cell);

// The lines of a file's bytes: a UTF-8 byte-order mark at the start is
// skipped (a file without one is read as UTF-8 all the same; invalid bytes
// become U+FFFD), then SplitTextLines.
std::vector<QString> Utf8TextLines(const QByteArray& bytes);
