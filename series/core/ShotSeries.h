#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "series/core/Counter.h"
#include "series/core/Filter.h"
#include "series/core/Statistics.h"

// The shot list, the chart series and the velocity cache keep at most
// ShotListCutAt entries: the entry past it cuts them back to their last
// ShotListKept, so the cut comes once every ShotListCutAt - ShotListKept + 1
// shots. A rebuilt or derived series shows at most ShotListKept values.
inline constexpr int ShotListKept = 10000;
inline constexpr int ShotListCutAt = ShotListKept + 100;

// What the shot list shows: the shots, or the series a command derived.
enum class TAnalysisMode : std::int32_t { Shots = 0, Sym = 1, Cmp = 2, DV = 3 };

// The scrolling chart window at its widest: this many shots, on a shot axis
// from 0 to FullWindowShots - 1.
inline constexpr int FullWindowShots = 26;

// A received number that became a live shot: its shot number and its value
// in the unit shown.
struct TLiveValue {
    std::int32_t Number = 0;
    double Value = 0;
};

// The shown shot series apart from its widgets: the velocity cache beside the
// shot list, the running statistics, the last shot, the chart's next x, the
// numbering of live shots, the width of the scrolling window and what the
// list shows. Its state changes only through the functions below, each of
// which keeps it whole; the main form shows it. Main thread only.
class TShotSeries {
public:
    // Reserves the cache for a full list, so live shots do not reallocate it.
    TShotSeries();

    // How many entries leave the front of the shot list, the velocity cache
    // or the chart when one of them holds count: none up to ShotListCutAt,
    // else all but the newest ShotListKept. The one cut of all three.
    static int CutCount(int count);

    // ---- What is shown
    // The velocities of the value lines of the shot list, in m/s and in list
    // order.
    const std::vector<double>& VelocityCache() const { return FVelocityCache; }
    // The list changed behind the program's back (typed into): the next
    // reader rebuilds the cache from the list first.
    bool VelocityCacheDirty() const { return FVelocityCacheDirty; }
    // Statistics of the shown values, in the unit shown; SumSquares included.
    const TShotStats& Stats() const { return ShotStats; }
    // The last shown value (unit shown), while there is one.
    bool HasLastVelocity() const { return LastVelocityValid; }
    double LastShownVelocity() const { return LastVelocity; }
    // X of the next chart point: 1 while the chart is empty.
    int NextX() const { return NextChartX; }
    // Number of the next live shot (the live filter's shot count); 0 until
    // the form has started.
    std::int32_t NextShotNumber() const { return FNextShotNumber; }
    // The counter conversion of live lines, from the settings.
    const TCounterSettings& CounterSettings() const { return Counter; }
    // What the values are: the shots, or what SYM, CMP or dV derived from
    // them (the report is named and titled after it).
    TAnalysisMode AnalysisMode() const { return FAnalysisMode; }
    // The values are derived: negative ones are their own, so the chart keeps
    // its negative axis labels.
    bool DerivedValues() const { return FDerivedValues; }
    // Width of the scrolling chart window in shots, set by "+" and "-";
    // never below 2 (a window of one shot would have no width).
    int VisibleShots() const { return FVisibleShots; }

    // ---- Settings and modes
    void SetCounterSettings(const TCounterSettings& counter) { Counter = counter; }
    void SetVisibleShots(int shots);
    // A command's result is shown (SYM, CMP or dV).
    void SetAnalysisMode(TAnalysisMode mode) { FAnalysisMode = mode; }
    // The list shows the shots again: no analysis mode, not derived.
    void ShowShots();
    // Live shots are numbered from 1 (start-up, CLEAR).
    void StartNumbering() { FNextShotNumber = 1; }
    // No last velocity (start-up, with the big label's placeholder).
    void ForgetLastVelocity() {
        LastVelocity = 0.0;
        LastVelocityValid = false;
    }

    // ---- The cache beside the list
    // The list was changed by hand: the cache no longer follows it.
    void MarkCacheDirty() { FVelocityCacheDirty = true; }
    // The cache becomes the values of the list's value lines (unit shown,
    // metric: m/s, else ft/s) and is clean again.
    void RebuildVelocityCache(std::span<const double> shown, bool metric);

    // ---- Live shots
    // A number received live (number, taken as a velocity in the unit
    // shown) as a shot: converted from a count in counter mode while live,
    // refused when it is no shot (IsShotValue) or has no velocity; then it
    // takes the next shot number, which is used up also when the live filter
    // (filter, when enabled with a rule marked for live lines) drops it.
    std::optional<TLiveValue> TakeLiveValue(double number, bool live, const TFilterConfig& filter);
    // A live shot (value in the unit shown; metric: m/s) appended: the cache
    // takes it in m/s and loses its first valuesCut values (the value lines
    // that the list's cut, CutCount, took away), the statistics take it, it
    // is the last velocity and takes the chart's next x, which it returns.
    // A dirty cache is for the caller to rebuild first.
    int AppendShot(double value, bool metric, int valuesCut);

    // ---- Whole series
    // Every statistic 0 and the chart's next x back to 1.
    void StatsReset();
    // The series recomputed from its own cache, shown in the unit shown
    // (metric): statistics, chart x, last velocity and next shot number
    // follow the cached values in order, and the cache is clean. A cached
    // value that is no shot in the unit shown (IsShotValue) leaves the
    // cache, as the list could not show it. Returns the values shown.
    std::vector<double> RecomputeStatistics(bool metric);
    // A rebuilt (derived false) or derived series becomes the series: the
    // cache holds shown in m/s (metric: shown is in m/s, else ft/s) and is
    // clean, the statistics, chart x and last velocity follow shown, and
    // the next shot number continues it; a derived series is no shot
    // series, so the next live shot would take the number 1.
    void Assign(std::span<const double> shown, bool metric, bool derived);
    // CLEAR: no values, clean cache, statistics 0, chart x 1, next shot
    // number 1, no last velocity, the shots shown (ShowShots). The width of
    // the window is kept.
    void Clear();

    // The part of values a rebuild shows: the newest ShotListKept.
    static std::span<const double> NewestKept(std::span<const double> values);
    // The part of values a derived series shows: the first ShotListKept,
    // where the pairs of a comparison lie.
    static std::span<const double> FirstKept(std::span<const double> values);

private:
    // Adds one shown value to the statistics and to their sum of squares.
    void StatsAdd(double value);
    // The statistics, chart x, last velocity and next shot number of shown.
    void CountShown(std::span<const double> shown);
    // Removes the first n values of the cache; n at or above its size
    // empties it; n <= 0 leaves it.
    void DropFirstVelocities(int n);

    std::vector<double> FVelocityCache;
    bool FVelocityCacheDirty = false;
    TShotStats ShotStats;
    double LastVelocity = 0;
    bool LastVelocityValid = false;
    int NextChartX = 1;
    std::int32_t FNextShotNumber = 0;
    TCounterSettings Counter;
    TAnalysisMode FAnalysisMode = TAnalysisMode::Shots;
    bool FDerivedValues = false;
    int FVisibleShots = FullWindowShots;
};
