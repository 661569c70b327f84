#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "series/core/Counter.h"
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

// The shown shot series apart from its widgets: the velocity cache beside the
// shot list, the running statistics, the last shot, the chart's next x, the
// numbering of live shots and the width of the scrolling window. The main
// form owns one and shows it; everything here belongs to the main thread.
class TShotSeries {
public:
    // Reserves the cache for a full list, so live shots do not reallocate it.
    TShotSeries();

    // The velocities of the value lines of the shot list, in m/s and in list
    // order. Dirty when the list changed behind the program's back (typed
    // into): the next reader rebuilds it from the list first.
    std::vector<double> FVelocityCache;
    bool FVelocityCacheDirty = false;
    // Statistics of the shown values, in the unit shown; SumSquares included.
    TShotStats ShotStats;
    // The last shown value (unit shown) and whether there is one.
    double LastVelocity = 0;
    bool LastVelocityValid = false;
    // X of the next chart point: 1 while the chart is empty.
    int NextChartX = 1;
    // Number of the next live shot (the live filter's shot count); 0 until
    // the form has started.
    std::int32_t FNextShotNumber = 0;
    // The counter conversion of live lines, from the settings.
    TCounterSettings Counter;
    // What the values are: the shots, or what SYM, CMP or dV derived from
    // them (the report is named and titled after it).
    TAnalysisMode FAnalysisMode = TAnalysisMode::Shots;
    // The values are derived: negative ones are their own, so the chart keeps
    // its negative axis labels.
    bool FDerivedValues = false;

    // The list shows the shots again: no analysis mode, not derived.
    void ShowShots() {
        FAnalysisMode = TAnalysisMode::Shots;
        FDerivedValues = false;
    }

    // Appends one velocity (m/s) to the cache; once it holds more than
    // ShotListCutAt it keeps its last ShotListKept.
    void AppendVelocity(double metresPerSecond);
    // Removes the first n values of the cache; n at or above its size
    // empties it; n <= 0 leaves it.
    void DropFirstVelocities(int n);

    // Every statistic 0 and the chart's next x back to 1.
    void StatsReset();
    // Adds one shown value to the statistics and to their sum of squares.
    void StatsAdd(double value);

    // A live shot shown last: the statistics take it, the last velocity is it
    // and the chart's next x moves on; returns the x it is drawn at.
    int AddShot(double value);

    // The statistics, the chart's next x, the last velocity and the next shot
    // number recomputed from shown (the values in list order, unit shown);
    // the cache is left alone.
    void RecomputeStatistics(std::span<const double> shown);

    // A rebuilt (derived false) or derived series becomes the series: the
    // cache holds shown in m/s (metric: shown is in m/s, else ft/s) and is
    // clean, the rest as RecomputeStatistics; a derived series is no shot
    // series, so the next live shot would take the number 1.
    void Assign(std::span<const double> shown, bool metric, bool derived);

    // Width of the scrolling chart window in shots, set by "+" and "-";
    // never below 2 (a window of one shot would have no width).
    int VisibleShots() const { return FVisibleShots; }
    void SetVisibleShots(int shots);

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
    int FVisibleShots = FullWindowShots;
};
