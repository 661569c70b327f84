// The shown shot series without its widgets.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "series/core/ShotSeries.h"

namespace {

std::vector<double> Range(int first, int count) {
    std::vector<double> values(static_cast<std::size_t>(count));
    std::iota(values.begin(), values.end(), double(first));
    return values;
}

}  // namespace

TEST(ShotSeries, OneCutForListCacheAndChart) {
    EXPECT_EQ(TShotSeries::CutCount(0), 0);
    EXPECT_EQ(TShotSeries::CutCount(ShotListCutAt), 0) << "no cut up to the limit";
    EXPECT_EQ(TShotSeries::CutCount(ShotListCutAt + 1), ShotListCutAt + 1 - ShotListKept);
    EXPECT_EQ(TShotSeries::CutCount(ShotListCutAt + 50), ShotListCutAt + 50 - ShotListKept);
}

TEST(ShotSeries, AppendKeepsTheLastValuesOncePastTheCut) {
    TShotSeries series;
    EXPECT_GE(series.VelocityCache().capacity(), std::size_t(ShotListKept));
    series.RebuildVelocityCache(Range(0, ShotListCutAt), true);
    ASSERT_EQ(series.VelocityCache().size(), std::size_t(ShotListCutAt));
    series.AppendShot(-1, true, TShotSeries::CutCount(ShotListCutAt + 1));
    ASSERT_EQ(series.VelocityCache().size(), std::size_t(ShotListKept));
    EXPECT_EQ(series.VelocityCache().front(), double(ShotListCutAt + 1 - ShotListKept));
    EXPECT_EQ(series.VelocityCache().back(), -1);
}

TEST(ShotSeries, AppendDropsTheValuesOfTheLinesCut) {
    struct Case {
        int Drop;
        std::vector<double> Left;
    };
    const Case cases[] = {{-1, {1, 2, 3, 9}}, {0, {1, 2, 3, 9}}, {2, {3, 9}}, {4, {}}, {7, {}}};
    for (const Case& c : cases) {
        TShotSeries series;
        series.RebuildVelocityCache(std::vector<double>{1, 2, 3}, true);
        series.AppendShot(9, true, c.Drop);
        EXPECT_EQ(series.VelocityCache(), c.Left) << "drop " << c.Drop;
    }
}

TEST(ShotSeries, LiveShotsCountWithTheirSumOfSquares) {
    TShotSeries series;
    EXPECT_EQ(series.AppendShot(800, true, 0), 1);
    EXPECT_EQ(series.AppendShot(810, true, 0), 2);
    EXPECT_EQ(series.AppendShot(790, true, 0), 3);
    EXPECT_EQ(series.NextX(), 4);
    EXPECT_EQ(series.Stats().Count, 3);
    EXPECT_DOUBLE_EQ(series.Stats().Mean, 800);
    EXPECT_DOUBLE_EQ(series.Stats().SumSquares, 800.0 * 800 + 810.0 * 810 + 790.0 * 790);
    EXPECT_TRUE(series.HasLastVelocity());
    EXPECT_EQ(series.LastShownVelocity(), 790);
    EXPECT_EQ(series.VelocityCache(), (std::vector<double>{800, 810, 790}));
    series.AppendShot(1000, false, 0);
    EXPECT_DOUBLE_EQ(series.VelocityCache().back(), 304.8);
}

TEST(ShotSeries, LiveValuesTakeANumberAndPassTheFilter) {
    TShotSeries series;
    series.StartNumbering();
    TFilterConfig none;
    // No shot: no number used.
    EXPECT_FALSE(series.TakeLiveValue(2e62, true, none));
    EXPECT_EQ(series.NextShotNumber(), 1);
    const std::optional<TLiveValue> first = series.TakeLiveValue(812, true, none);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Number, 1);
    EXPECT_EQ(first->Value, 812);

    // A line the live filter drops uses its number up.
    TFilterConfig filter;
    filter.Enabled = true;
    filter.VelocityRule.Valid = true;
    filter.VelocityRule.ApplyLive = true;
    filter.VelocityRule.HasMax = true;
    filter.VelocityRule.Max = 900;
    EXPECT_FALSE(series.TakeLiveValue(950, true, filter));
    EXPECT_EQ(series.NextShotNumber(), 3);
    EXPECT_EQ(series.TakeLiveValue(850, true, filter)->Number, 3);

    // Counter mode converts live counts only; a result beyond a shot or
    // without a velocity is none.
    TCounterSettings counter;
    counter.Mode = true;
    counter.Gate = 0.1;
    counter.Freq = 16e6;
    series.SetCounterSettings(counter);
    EXPECT_EQ(series.TakeLiveValue(4000, true, none)->Value, 400);
    EXPECT_EQ(series.TakeLiveValue(4000, false, none)->Value, 4000);
    counter.Freq = 1e300;
    counter.Gate = 1;
    series.SetCounterSettings(counter);
    const std::int32_t before = series.NextShotNumber();
    EXPECT_FALSE(series.TakeLiveValue(1, true, none));
    counter.A = -1;
    series.SetCounterSettings(counter);
    EXPECT_FALSE(series.TakeLiveValue(1, true, none));
    EXPECT_EQ(series.NextShotNumber(), before);
}

TEST(ShotSeries, AssignMakesARebuiltOrDerivedSeries) {
    for (const bool derived : {false, true}) {
        SCOPED_TRACE(derived ? "derived" : "rebuilt");
        TShotSeries series;
        series.MarkCacheDirty();
        series.AppendShot(5, true, 0);
        const std::vector<double> feet = {1000, 500};
        series.Assign(feet, false, derived);
        ASSERT_EQ(series.VelocityCache().size(), 2u);
        EXPECT_DOUBLE_EQ(series.VelocityCache()[0], 304.8);
        EXPECT_FALSE(series.VelocityCacheDirty());
        EXPECT_EQ(series.Stats().Count, 2);
        EXPECT_DOUBLE_EQ(series.Stats().SumSquares, 1250000);
        EXPECT_EQ(series.NextX(), 3);
        EXPECT_EQ(series.NextShotNumber(), derived ? 1 : 3);
        EXPECT_EQ(series.LastShownVelocity(), 500);
        EXPECT_EQ(series.DerivedValues(), derived);

        series.Assign({}, true, derived);
        EXPECT_TRUE(series.VelocityCache().empty());
        EXPECT_FALSE(series.HasLastVelocity());
        EXPECT_EQ(series.NextX(), 1);
        EXPECT_EQ(series.NextShotNumber(), 1);
    }
}

TEST(ShotSeries, RecomputeShowsTheCacheInTheUnitShown) {
    TShotSeries series;
    series.RebuildVelocityCache(std::vector<double>{304.8, 1e62, 609.6}, true);
    series.MarkCacheDirty();
    // In feet per second 1e62 m/s is beyond a shot: it leaves the series.
    const std::vector<double> shown = series.RecomputeStatistics(false);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_DOUBLE_EQ(shown[0], 1000);
    EXPECT_DOUBLE_EQ(shown[1], 2000);
    EXPECT_EQ(series.VelocityCache(), (std::vector<double>{304.8, 609.6}));
    EXPECT_FALSE(series.VelocityCacheDirty());
    EXPECT_EQ(series.Stats().Count, 2);
    EXPECT_EQ(series.NextX(), 3);
    EXPECT_EQ(series.NextShotNumber(), 3);
    EXPECT_DOUBLE_EQ(series.LastShownVelocity(), 2000);
}

TEST(ShotSeries, ClearKeepsOnlyTheWindowWidth) {
    TShotSeries series;
    series.SetVisibleShots(9);
    series.AppendShot(800, true, 0);
    series.MarkCacheDirty();
    series.StartNumbering();
    series.TakeLiveValue(800, true, TFilterConfig{});
    series.SetAnalysisMode(TAnalysisMode::DV);
    series.Assign(std::vector<double>{1}, true, true);
    series.SetAnalysisMode(TAnalysisMode::DV);
    series.Clear();
    EXPECT_TRUE(series.VelocityCache().empty());
    EXPECT_FALSE(series.VelocityCacheDirty());
    EXPECT_EQ(series.Stats().Count, 0);
    EXPECT_EQ(series.NextX(), 1);
    EXPECT_EQ(series.NextShotNumber(), 1);
    EXPECT_FALSE(series.HasLastVelocity());
    EXPECT_EQ(series.AnalysisMode(), TAnalysisMode::Shots);
    EXPECT_FALSE(series.DerivedValues());
    EXPECT_EQ(series.VisibleShots(), 9);
}

TEST(ShotSeries, WindowIsNeverNarrowerThanTwoShots) {
    TShotSeries series;
    EXPECT_EQ(series.VisibleShots(), FullWindowShots);
    for (const int shots : {-3, 0, 1, 2}) {
        series.SetVisibleShots(shots);
        EXPECT_EQ(series.VisibleShots(), 2) << shots;
    }
}

TEST(ShotSeries, ShownPartsOfALongList) {
    const std::vector<double> values = Range(1, ShotListKept + 5);
    const std::span<const double> newest = TShotSeries::NewestKept(values);
    ASSERT_EQ(newest.size(), std::size_t(ShotListKept));
    EXPECT_EQ(newest.front(), 6);
    const std::span<const double> first = TShotSeries::FirstKept(values);
    ASSERT_EQ(first.size(), std::size_t(ShotListKept));
    EXPECT_EQ(first.back(), ShotListKept);
    const std::vector<double> few = {1, 2};
    EXPECT_EQ(TShotSeries::NewestKept(few).size(), 2u);
    EXPECT_EQ(TShotSeries::FirstKept(few).size(), 2u);
}
