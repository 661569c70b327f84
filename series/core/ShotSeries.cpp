#include "series/core/ShotSeries.h"

#include <algorithm>

#include "series/core/Energy.h"
#include "series/core/NumberText.h"

TShotSeries::TShotSeries() {
    FVelocityCache.reserve(std::size_t(ShotListCutAt) + 1);
}

int TShotSeries::CutCount(int count) {
    return count > ShotListCutAt ? count - ShotListKept : 0;
}

void TShotSeries::SetVisibleShots(int shots) {
    FVisibleShots = std::max(shots, 2);
}

void TShotSeries::ShowShots() {
    FAnalysisMode = TAnalysisMode::Shots;
    FDerivedValues = false;
}

void TShotSeries::RebuildVelocityCache(std::span<const double> shown, bool metric) {
    FVelocityCache.clear();
    for (const double value : shown) FVelocityCache.push_back(VelocityToMetres(value, metric));
    FVelocityCacheDirty = false;
}

std::optional<TLiveValue> TShotSeries::TakeLiveValue(double number, bool live,
                                                     const TFilterConfig& filter) {
    double value = number;
    if (Counter.Mode && live) {
        // A count with no velocity (count + A is 0) is no shot either: taken
        // as it stands it would show the raw count as a velocity.
        const std::optional<double> velocity =
            CounterToVelocity(number, Counter.A, Counter.Gate, Counter.Freq);
        if (!velocity) return std::nullopt;
        value = *velocity;
    }
    if (!IsShotValue(value)) return std::nullopt;

    // The number is used up whether or not the live filter keeps the line.
    const std::int32_t shotNumber = FNextShotNumber++;
    const bool liveFilter =
        filter.Enabled && (filter.ShotsRule.ApplyLive || filter.VelocityRule.ApplyLive);
    if (liveFilter && !RulePasses(filter, shotNumber, value)) return std::nullopt;
    return TLiveValue{shotNumber, value};
}

int TShotSeries::AppendShot(double value, bool metric, int valuesCut) {
    FVelocityCache.push_back(VelocityToMetres(value, metric));
    DropFirstVelocities(valuesCut);
    LastVelocity = value;
    LastVelocityValid = true;
    StatsAdd(value);
    return NextChartX++;
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
    StatsAddWithSquare(ShotStats, value);
}

void TShotSeries::CountShown(std::span<const double> shown) {
    StatsReset();
    for (const double value : shown) StatsAdd(value);
    NextChartX = int(shown.size()) + 1;
    FNextShotNumber = int(shown.size()) + 1;
    LastVelocityValid = !shown.empty();
    LastVelocity = shown.empty() ? 0.0 : shown.back();
}

std::vector<double> TShotSeries::RecomputeStatistics(bool metric) {
    std::vector<double> shown;
    shown.reserve(FVelocityCache.size());
    std::vector<double> kept;
    kept.reserve(FVelocityCache.size());
    for (const double metres : FVelocityCache) {
        const double value = DisplayVelocity(metres, metric);
        if (!IsShotValue(value)) continue;
        shown.push_back(value);
        kept.push_back(metres);
    }
    FVelocityCache = std::move(kept);
    FVelocityCache.reserve(std::size_t(ShotListCutAt) + 1);
    FVelocityCacheDirty = false;
    CountShown(shown);
    return shown;
}

void TShotSeries::Assign(std::span<const double> shown, bool metric, bool derived) {
    RebuildVelocityCache(shown, metric);
    CountShown(shown);
    FDerivedValues = derived;
    if (derived) FNextShotNumber = 1;
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
