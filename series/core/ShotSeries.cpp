#include "series/core/ShotSeries.h"

#include <algorithm>

#include "series/core/Energy.h"

TShotSeries::TShotSeries() {
    FVelocityCache.reserve(std::size_t(ShotListKept));
}

void TShotSeries::AppendVelocity(double metresPerSecond) {
    FVelocityCache.push_back(metresPerSecond);
    if (FVelocityCache.size() > std::size_t(ShotListCutAt))
        FVelocityCache.erase(FVelocityCache.begin(),
                             FVelocityCache.end() - std::ptrdiff_t(ShotListKept));
}

void TShotSeries::DropFirstVelocities(int n) {
    if (n <= 0 || FVelocityCache.empty()) return;
    if (std::size_t(n) >= FVelocityCache.size()) {
        FVelocityCache.clear();
        return;
    }
    FVelocityCache.erase(FVelocityCache.begin(), FVelocityCache.begin() + n);
}

void TShotSeries::StatsReset() {
    ::StatsReset(ShotStats);
    NextChartX = 1;
}

void TShotSeries::StatsAdd(double value) {
    ::StatsAdd(ShotStats, value);
    ShotStats.SumSquares += value * value;
}

int TShotSeries::AddShot(double value) {
    LastVelocity = value;
    LastVelocityValid = true;
    StatsAdd(value);
    return NextChartX++;
}

void TShotSeries::RecomputeStatistics(std::span<const double> shown) {
    StatsReset();
    for (const double value : shown) StatsAdd(value);
    NextChartX = int(shown.size()) + 1;
    FNextShotNumber = int(shown.size()) + 1;
    LastVelocityValid = !shown.empty();
    LastVelocity = shown.empty() ? 0.0 : shown.back();
}

void TShotSeries::Assign(std::span<const double> shown, bool metric, bool derived) {
    FVelocityCache.clear();
    for (const double value : shown) AppendVelocity(VelocityToMetres(value, metric));
    FVelocityCacheDirty = false;
    RecomputeStatistics(shown);
    if (derived) FNextShotNumber = 1;
}

void TShotSeries::SetVisibleShots(int shots) {
    FVisibleShots = std::max(shots, 2);
}

void TShotSeries::Clear() {
    FVelocityCache.clear();
    FVelocityCacheDirty = false;
    StatsReset();
    FNextShotNumber = 1;
    LastVelocity = 0.0;
    LastVelocityValid = false;
    ShowShots();
}

std::span<const double> TShotSeries::NewestKept(std::span<const double> values) {
    const std::size_t kept = std::min(values.size(), std::size_t(ShotListKept));
    return values.last(kept);
}

std::span<const double> TShotSeries::FirstKept(std::span<const double> values) {
    return values.first(std::min(values.size(), std::size_t(ShotListKept)));
}
