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

TEST(ShotSeries, AppendKeepsTheLastValuesOncePastTheCut) {
    TShotSeries series;
    EXPECT_GE(series.FVelocityCache.capacity(), std::size_t(ShotListKept));
    for (const double v : Range(0, ShotListCutAt)) series.AppendVelocity(v);
    ASSERT_EQ(series.FVelocityCache.size(), std::size_t(ShotListCutAt)) << "no cut up to the limit";
    series.AppendVelocity(-1);
    ASSERT_EQ(series.FVelocityCache.size(), std::size_t(ShotListKept));
    EXPECT_EQ(series.FVelocityCache.front(), double(ShotListCutAt + 1 - ShotListKept));
    EXPECT_EQ(series.FVelocityCache.back(), -1);
}

TEST(ShotSeries, DropFirstVelocities) {
    struct Case {
        int Drop;
        std::vector<double> Left;
    };
    const Case cases[] = {{-1, {1, 2, 3}}, {0, {1, 2, 3}}, {2, {3}}, {3, {}}, {7, {}}};
    for (const Case& c : cases) {
        TShotSeries series;
        series.FVelocityCache = {1, 2, 3};
        series.DropFirstVelocities(c.Drop);
        EXPECT_EQ(series.FVelocityCache, c.Left) << "drop " << c.Drop;
    }
}

TEST(ShotSeries, LiveShotsCountWithTheirSumOfSquares) {
    TShotSeries series;
    EXPECT_EQ(series.AddShot(800), 1);
    EXPECT_EQ(series.AddShot(810), 2);
    EXPECT_EQ(series.AddShot(790), 3);
    EXPECT_EQ(series.NextChartX, 4);
    EXPECT_EQ(series.ShotStats.Count, 3);
    EXPECT_DOUBLE_EQ(series.ShotStats.Mean, 800);
    EXPECT_DOUBLE_EQ(series.ShotStats.SumSquares, 800.0 * 800 + 810.0 * 810 + 790.0 * 790);
    EXPECT_TRUE(series.LastVelocityValid);
    EXPECT_EQ(series.LastVelocity, 790);
}

TEST(ShotSeries, AssignMakesARebuiltOrDerivedSeries) {
    for (const bool derived : {false, true}) {
        SCOPED_TRACE(derived ? "derived" : "rebuilt");
        TShotSeries series;
        series.FVelocityCacheDirty = true;
        series.AddShot(5);
        const std::vector<double> feet = {1000, 500};
        series.Assign(feet, false, derived);
        ASSERT_EQ(series.FVelocityCache.size(), 2u);
        EXPECT_DOUBLE_EQ(series.FVelocityCache[0], 304.8);
        EXPECT_FALSE(series.FVelocityCacheDirty);
        EXPECT_EQ(series.ShotStats.Count, 2);
        EXPECT_DOUBLE_EQ(series.ShotStats.SumSquares, 1250000);
        EXPECT_EQ(series.NextChartX, 3);
        EXPECT_EQ(series.FNextShotNumber, derived ? 1 : 3);
        EXPECT_EQ(series.LastVelocity, 500);

        series.Assign({}, true, derived);
        EXPECT_TRUE(series.FVelocityCache.empty());
        EXPECT_FALSE(series.LastVelocityValid);
        EXPECT_EQ(series.NextChartX, 1);
        EXPECT_EQ(series.FNextShotNumber, 1);
    }
}

TEST(ShotSeries, ClearKeepsOnlyTheWindowWidth) {
    TShotSeries series;
    series.SetVisibleShots(9);
    series.AddShot(800);
    series.FVelocityCache = {800};
    series.FVelocityCacheDirty = true;
    series.FNextShotNumber = 12;
    series.FAnalysisMode = TAnalysisMode::DV;
    series.FDerivedValues = true;
    series.Clear();
    EXPECT_TRUE(series.FVelocityCache.empty());
    EXPECT_FALSE(series.FVelocityCacheDirty);
    EXPECT_EQ(series.ShotStats.Count, 0);
    EXPECT_EQ(series.NextChartX, 1);
    EXPECT_EQ(series.FNextShotNumber, 1);
    EXPECT_FALSE(series.LastVelocityValid);
    EXPECT_EQ(series.FAnalysisMode, TAnalysisMode::Shots);
    EXPECT_FALSE(series.FDerivedValues);
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
