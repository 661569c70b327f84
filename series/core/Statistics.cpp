#include "series/core/Statistics.h"

#include <cmath>

#include "platform/core/FormatFloat.h"

void StatsAdd(TShotStats& stats, double value) {
    if (stats.Count == 0) {
        stats.Count = 1;
        stats.Mean = value;
        stats.M2 = 0;
        stats.Min = value;
        stats.Max = value;
        return;
    }
    ++stats.Count;
    if (stats.Min > value) stats.Min = value;
    if (value > stats.Max) stats.Max = value;
    const double delta = value - stats.Mean;
    stats.Mean += delta / stats.Count;
    stats.M2 += delta * (value - stats.Mean);
}

void StatsAddWithSquare(TShotStats& stats, double value) {
    StatsAdd(stats, value);
    stats.SumSquares += value * value;
}

void StatsReset(TShotStats& stats) {
    stats = TShotStats{};
}

double StandardDeviation(const TShotStats& stats) {
    if (stats.Count < 2) return 0;
    return std::sqrt(stats.M2 / (stats.Count - 1));
}

double ExtremeSpread(const TShotStats& stats) {
    return std::fabs(stats.Max - stats.Min);
}

TStatsTexts StatsTexts(const TShotStats& stats) {
    const QString picture = QStringLiteral("0.0");
    return {FormatFloat(picture, stats.Mean),
            FormatFloat(picture, stats.Max),
            FormatFloat(picture, stats.Min),
            FormatFloat(picture, ExtremeSpread(stats)),
            FormatFloat(picture, StandardDeviation(stats)),
            QString(),
            QString::number(stats.Count)};
}

TStatsTexts ZeroStatsTexts() {
    const QString zero = FormatFloat(QStringLiteral("00.0"), 0);
    return {zero, zero, zero, zero, zero, QString(), QStringLiteral("0")};
}
