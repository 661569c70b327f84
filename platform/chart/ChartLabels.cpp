#include "platform/chart/ChartLabels.h"

#include <algorithm>
#include <cmath>

namespace {

// The smallest of 1, 2, 5 x 10^k that is not below v (v > 0).
double NiceCeil(double v) {
    const double base = std::pow(10.0, std::floor(std::log10(v)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * base >= v * (1 - 1e-9)) return m * base;
    }
    return 10 * base;
}

}  // namespace

double LabelStep(double span, int pixels, int minSpacing, double increment) {
    if (!(span > 0) || !std::isfinite(span) || pixels < 2) return 0;
    const double minStep = span * std::max(minSpacing, 1) / pixels;
    if (!(minStep > 0)) return 0;
    if (increment > 0) {
        const double ratio = minStep / increment;
        return ratio <= 1 ? increment : increment * NiceCeil(ratio);
    }
    return NiceCeil(minStep);
}

QString FormatLabel(double value, const QString& picture) {
    if (!std::isfinite(value)) return QString::number(value);
    const qsizetype dot = picture.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? picture : picture.left(dot);
    const QString fraction = dot < 0 ? QString() : picture.mid(dot + 1);
    const int minWhole = int(whole.count(QLatin1Char('0')));
    const int minFraction = int(fraction.count(QLatin1Char('0')));
    const int maxFraction = minFraction + int(fraction.count(QLatin1Char('#')));

    QString text = QString::number(std::abs(value), 'f', maxFraction);
    qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point >= 0) {
        qsizetype keep = text.size();
        while (keep > point + 1 + minFraction && text[keep - 1] == QLatin1Char('0')) --keep;
        if (keep == point + 1) keep = point;
        text.truncate(keep);
    }
    point = text.indexOf(QLatin1Char('.'));
    qsizetype wholeDigits = point < 0 ? text.size() : point;
    if (wholeDigits == 1 && text[0] == QLatin1Char('0') && minWhole == 0) {
        text.remove(0, 1);
        wholeDigits = 0;
    }
    for (; wholeDigits < minWhole; ++wholeDigits) text.prepend(QLatin1Char('0'));
    const bool nonZero = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('1') && c <= QLatin1Char('9');
    });
    if (value < 0 && nonZero) text.prepend(QLatin1Char('-'));
    return text;
}
