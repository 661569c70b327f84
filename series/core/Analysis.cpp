#include "series/core/Analysis.h"

#include <algorithm>
#include <cmath>

#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"

namespace {

// The k-th (0-based) position of the range from .. to, walked towards to.
int RangePosition(int from, int to, int k) {
    return from <= to ? from + k : from - k;
}

int RangeLength(int from, int to) {
    return (from <= to ? to - from : from - to) + 1;
}

}  // namespace

std::vector<double> RangeDifferenceValues(const std::vector<double>& values, int a, int b, int c,
                                          int d) {
    std::vector<double> result;
    const int pairs = std::min(RangeLength(a, b), RangeLength(c, d));
    const int n = int(values.size());
    result.reserve(std::size_t(std::max(0, std::min(pairs, n))));
    int previousOrder = 0;
    for (int k = 0; k < pairs; ++k) {
        const int i = RangePosition(a, b, k);
        const int j = RangePosition(c, d, k);
        if (i == j) break;
        const int order = i < j ? -1 : 1;
        if (k > 0 && order != previousOrder) break;
        previousOrder = order;
        if (i < 1 || i > n || j < 1 || j > n) break;
        result.push_back(values[std::size_t(i - 1)] - values[std::size_t(j - 1)]);
    }
    return result;
}

std::vector<double> MirrorDifferences(const std::vector<double>& values) {
    const int n = int(values.size());
    if (n < 2) return {};
    return RangeDifferenceValues(values, 1, n, n, 1);
}

std::vector<double> SuccessiveDifferences(const std::vector<double>& values) {
    std::vector<double> result;
    if (values.size() < 2) return result;
    result.reserve(values.size() - 1);
    for (std::size_t i = 1; i < values.size(); ++i)
        result.push_back(std::fabs(values[i] - values[i - 1]));
    return result;
}

std::vector<double> CompareDifferences(const std::vector<double>& memo,
                                       const std::vector<double>& file, std::size_t limit) {
    const std::size_t n = std::min(std::max(memo.size(), file.size()), limit);
    std::vector<double> result;
    result.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double left = i < memo.size() ? memo[i] : 0.0;
        const double right = i < file.size() ? file[i] : 0.0;
        result.push_back(left - right);
    }
    return result;
}

QStringList DerivedTexts(const std::vector<double>& values) {
    const QString picture = QStringLiteral("0.0##");
    QStringList texts;
    texts.reserve(qsizetype(values.size()));
    double back = 0.0;
    for (double value : values) {
        const QString text = FormatFloat(picture, value);
        texts.append(ParseDotDouble(text, back) ? text : FloatToStrGeneral(value, 17));
    }
    return texts;
}

bool DerivedValuesShowable(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), IsShotValue);
}

QString DerivedTooLargeText(const QString& command) {
    return command + QStringLiteral(": Result too large to show");
}
