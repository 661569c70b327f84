#pragma once

#include <QChar>
#include <QString>

// Number pictures and float-to-text conversions of the class library.
//
// Every conversion rounds on the shortest decimal text that reads back as the
// same double, so 2.675 (stored as 2.67499999...) rounds as the text "2.675"
// does. Halves round away from zero. No thousands separators are written.
// "NAN", "INF" and "-INF" stand for the values that are not finite.

// The user's decimal separator: the one set for testing, else the first
// character of the system locale's decimal point ('.' when it has none).
// Safe to call from any thread.
QChar DecimalSeparator();

// Makes DecimalSeparator() return separator; a null QChar restores the
// system locale. Tests call it so that no result depends on the machine.
void SetDecimalSeparatorForTesting(QChar separator);

// Formats value with a picture of '0', '#' and one '.':
// - before the '.', the digit positions from the first '0' on are always
//   shown (padded with 0); integer digits beyond the picture are always shown;
// - after the '.', each '0' or '#' is one decimal; the value is rounded to
//   that many decimals; decimals up to the last '0' are always shown, the
//   others only when they are not trailing zeros;
// - the separator is written only when a decimal follows it;
// - a negative value gets "-" unless every shown digit is 0.
// Other characters of the picture are ignored. A picture that shows no digit
// at all for the value gives "0".
// Examples: ("0.##", 812.3) "812.3"; ("00.0", 0) "00.0"; ("0.0##", 812) "812.0".
QString FormatFloat(const QString& picture, double value, QChar separator);

// FormatFloat with DecimalSeparator().
QString FormatFloat(const QString& picture, double value);

// The general format: at most precision significant digits (1..18), trailing
// zeros dropped, '.' as separator. Fixed notation while the value is 0.00001
// or more in magnitude and has at most precision integer digits, otherwise
// scientific notation with a capital E, a '-' for a negative exponent and no
// padding: 1 -> "1", 0.1 -> "0.1", 1e-7 -> "1E-7", 1e20 -> "1E20",
// 123456.789 -> "123456.789".
QString FloatToStrGeneral(double value, int precision = 15);

// Fixed notation with digits decimals (0..18), always shown, and separator.
// A value with more than 18 integer digits is written in the general format
// with precision 18 instead.
QString FloatToStrFixed(double value, int digits, QChar separator = QLatin1Char('.'));
