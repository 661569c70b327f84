#pragma once

#include <cstddef>
#include <vector>

#include <QString>
#include <QStringList>

#include "platform/core/Trim.h"

// Number text of the shot series: reading values whose decimal separator may
// be ',' or '.', writing shot-list values with '.', writing the big velocity
// with the user's picture, and cutting the velocity out of a chronograph line.
// All functions are pure.

// The decimal-part picture of the big velocity value ('0' first, then '0' or
// '#', 1 to 6 characters) that the main form uses until it has read the
// display format, and whenever the settings hold none it accepts.
inline constexpr const char* DefaultDecFmt = "0##";

// Reads text as one number and stores it in value. ',' and '.' both stand for
// the decimal point whatever the locale; there are no thousands separators.
// Accepted: leading and trailing spaces, an optional sign, digits with at most
// one point (at least one digit), an optional exponent ("1e3", "2.5E-2").
// Refused, returning false with value unchanged: texts longer than 62
// characters (before any other work), anything else (blanks other than
// spaces, words, "inf", "nan", hexadecimal, a second point, values out of
// the double range). Never throws.
bool ParseDotDouble(const QString& text, double& value);

// value with the picture "0.##" and '.' as separator, whatever the locale:
// 812 -> "812", 812.3 -> "812.3", -3.25 -> "-3.25". A finite value whose
// picture would exceed the 62 characters ParseDotDouble reads (about 1e62 and
// above) is written in the shortest exponent form instead: 1e62 -> "1E62".
// Every shot-list line is written with it, so ParseDotDouble always reads a
// finite value back as the value the line shows.
QString FormatDot2(double value);

// value with the picture "0.############" (twelve '#') and '.' as separator.
QString FormatDot12(double value);

// The big velocity value: picture "00." + decFmt when twoDigitIntegerPart is
// set (the zero placeholder), else "0." + decFmt, with the user's decimal
// separator (DecimalSeparator()). decFmt is the decimal-part picture the
// form read at start-up (ValidDisplayFormat). With decFmt "0##": 812 ->
// "812.0", 812.3456 -> "812.346", 0 with the flag -> "00.0".
QString FormatValue(bool twoDigitIntegerPart, double value, const QString& decFmt);

// Splits a number-with-unit setting such as "16 MHz": the trimmed text is
// cut before its first ASCII letter; the number part (',' or '.' as
// separator, no length limit) goes to value, the rest without spaces and
// TABs and in lower case to unit ("mhz"; empty when there is no letter).
// Returns false, leaving both outputs unchanged, for an empty text or a
// number part that is not one number ("kHz"). Never throws.
bool ParseNumberUnit(const QString& text, double& value, QString& unit);

// The largest magnitude a shot may have: the largest number the velocity
// token of a received line can be (ParseDotDouble reads at most 62
// characters: 62 nines read as 1e62). A list line, a file cell or a counter
// result beyond it (in exponent form, "1e300") is no shot. Within it every
// statistic, energy and sum of squares of a full list stays finite, and
// every value the list shows reads back (FormatDot2).
inline constexpr double MaxShotMagnitude = 1e62;

// Whether value can be a shot: finite and at most MaxShotMagnitude in
// magnitude.
bool IsShotValue(double value);

// ParseDotDouble of text when it gives a shot (IsShotValue); false, value
// unchanged, otherwise. The reading of every velocity: received tokens,
// list lines, file cells.
bool ParseShotValue(const QString& text, double& value);

// line without its control characters: only TAB and characters from U+0020
// up are kept (CR, LF and NUL are dropped; U+007F and above stay).
QString SanitizeLine(const QString& line);

// Cuts the velocity out of a chronograph line: the last number of the line,
// or the last one before its first "nr" (lower case) when there is one. A
// number is a run of digits with at most one ',' or '.' inside, plus a '-'
// directly before it. Stores the token as written (',' kept) and returns
// true; returns false, token unchanged, when there is no such number (an
// empty line, a line starting with "nr", no digit before the first "nr").
// Examples: "V=812.35 m/s" -> "812.35"; "812,35 nr 17" -> "812,35";
// "1.2.3" -> "2.3"; "3-5" -> "-5"; "a.5" -> ".5"; "12." -> "12".
bool ExtractNumberToken(const QString& line, QString& token);

// Every line the program writes into the log part of the shot list begins
// with this marker; the rebuilds pass over such lines by it, so that a log
// line never becomes a shot.
inline constexpr const char* LogLinePrefix = "LOG: ";

// Whether line, without its control characters and surrounding blanks,
// begins with LogLinePrefix.
bool IsLogLine(const QString& line);

// The rule of the readers of the list as it stands (velocity cache,
// statistics, SAVE's rows, the count of numeric lines, the filter): without
// its control characters and surrounding blanks, the whole line is one
// number that is a shot (ParseShotValue). Typed notes such as "V=812 m/s", log lines and
// blank lines are not values. Stores the number in value and returns true;
// returns false otherwise, value unchanged. Never throws.
bool ShotLineValue(const QString& line, double& value);

// The rule of the rebuilds (LOAD, REFRESH, FILTER and the derived series):
// a line that is one number as a whole is that number when it is a shot
// (ShotLineValue), and no value when it is not ("1e300", "1e400"); otherwise the number that the
// line rule of received lines finds in the line (SanitizeLine, ExtractNumberToken, ParseShotValue),
// so that "812 m/s", a CSV row or a chronograph's own text export give their velocity. A log line
// (IsLogLine) gives none. Stores the number in value and returns true;
// returns false otherwise, value unchanged. Never throws.
bool RebuildLineValue(const QString& line, double& value);

// The values of the lines, in order, that the line rule finds; lines that
// give none are passed over.
template <class LineValue>
std::vector<double> LineValues(const QStringList& lines, LineValue lineValue) {
    std::vector<double> values;
    values.reserve(std::size_t(lines.size()));
    double value = 0.0;
    for (const QString& line : lines)
        if (lineValue(line, value)) values.push_back(value);
    return values;
}

// The values of the lines, in order, by RebuildLineValue.
inline std::vector<double> RebuildLineValues(const QStringList& lines) {
    return LineValues(lines, RebuildLineValue);
}

// The values of the lines, in order, by ShotLineValue.
inline std::vector<double> ShotLineValues(const QStringList& lines) {
    return LineValues(lines, ShotLineValue);
}

// The display format as the start-up step accepts it: text trimmed; accepted
// when it is not empty, begins with '0', has at most 6 characters and holds
// only '0' and '#'. Returns the accepted picture, else DefaultDecFmt.
QString ValidDisplayFormat(const QString& text);

// Converts blanks, an optional sign, digits with one optional '.', and an
// optional exponent, as ASCII between begin and end; false for anything
// else or a value that is not finite. value is left as it was on false.
bool ConvertDecimalAscii(const char* begin, const char* end, double& value);
