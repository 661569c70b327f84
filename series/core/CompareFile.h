#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

// The compare file of CMP: a shot file (TXT or CSV) whose values are
// subtracted from the shot list's.

// Why a compare file gave no values.
enum class TCompareProblem {
    None,        // values were read
    Missing,     // no file at the path (or an empty path)
    Unreadable,  // the file exists but could not be opened or read
    TooLarge,    // larger than MaxCompareFileBytes
    NotText,     // binary bytes, or a line longer than MaxCompareLineLength
    NoValue,     // text without a single value
};

// No shot file comes near these; anything beyond them is not a shot file.
inline constexpr qint64 MaxCompareFileBytes = 32 * 1024 * 1024;
inline constexpr qsizetype MaxCompareLineLength = 4096;

struct TCompareFile {
    std::vector<QString> Texts;  // the value texts, trimmed, without control characters, in order
    TCompareProblem Problem = TCompareProblem::None;
};

// The values of a compare file's bytes (UTF-8, a byte-order mark skipped,
// lines ended by CR LF, LF or CR). txt: every line that is one number as a
// whole, as LOAD and the shot list take it (ShotLineValue). Otherwise CSV: from the fourth line
// on (the first three are the header and two empty lines), the second
// column, the columns separated by the line's first TAB, else its first ";",
// else its first ","; lines without a separator are skipped. Bytes other
// than TAB, LF, VT, FF and CR below 0x20, or a line longer than
// MaxCompareLineLength, make it NotText; no value makes it NoValue.
TCompareFile CompareFileValues(const QByteArray& bytes, bool txt);

// Reads the file at path; TXT reading when its extension is ".txt" in any
// letter case, else CSV reading (the extension alone decides). Problems come
// back in the result; never throws.
TCompareFile ReadCompareFile(const QString& path);

// The message for a problem, naming the file without its folder: e.g.
// "CMP: No values - shots.txt". Empty for None.
QString CompareProblemText(TCompareProblem problem, const QString& fileName);
