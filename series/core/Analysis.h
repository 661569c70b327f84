#pragma once

#include <cstddef>
#include <vector>

#include <QStringList>

// The arithmetic of the analysis commands SYM, CMP and dV. Values are in the
// unit the shot list shows; results come out in the same unit. Pure.

// Pairs the 1-based positions a..b with c..d, each range walked in its own
// direction, and returns value(i) - value(j) for each pair (i, j) until the
// ranges meet (i = j) or cross (the order of i and j turns round), or the
// shorter range ends. Positions outside the values give no difference and
// end the walk.
std::vector<double> RangeDifferenceValues(const std::vector<double>& values, int a, int b, int c,
                                          int d);

// SYM: first minus last, second minus second-to-last, ...: n / 2 values
// (the middle value of an odd count is not used).
std::vector<double> MirrorDifferences(const std::vector<double>& values);

// dV: |value(i) - value(i - 1)| for i = 2 .. n; empty below two values.
std::vector<double> SuccessiveDifferences(const std::vector<double>& values);

// CMP: memo(i) - file(i) over the longer of the two lists, a missing value
// counting as 0; at most limit differences.
std::vector<double> CompareDifferences(const std::vector<double>& memo,
                                       const std::vector<double>& file, std::size_t limit);

// The texts the derived series is shown from: the picture "0.0##" with the
// user's decimal separator (1.23456 -> "1.235", 2 -> "2.0"). A value whose
// picture would be longer than ParseDotDouble reads (about 1e59 and above)
// is written in the shortest exponent form instead, so that every text reads
// back as its value.
QStringList DerivedTexts(const std::vector<double>& values);

// Whether the list can show every derived value as a value line: each is a
// shot value (IsShotValue). The difference of two huge shots can lie beyond
// it, or beyond the double range.
bool DerivedValuesShowable(const std::vector<double>& values);

// The message of a command whose result the list cannot show:
// "<command>: Result too large to show".
QString DerivedTooLargeText(const QString& command);
