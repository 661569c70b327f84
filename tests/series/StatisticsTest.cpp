#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include <QString>

#include "platform/core/FormatFloat.h"
#include "support/CoreSupport.h"
#include "series/core/Counter.h"
#include "series/core/ShotSeries.h"
#include "series/core/Statistics.h"

namespace {

// Two-pass statistics, computed without Welford's method.
struct Reference {
    double Mean = 0, Min = 0, Max = 0, Deviation = 0;
};
Reference TwoPass(const std::vector<double>& values) {
    Reference r;
    r.Min = r.Max = values.front();
    double sum = 0;
    for (const double v : values) {
        sum += v;
        r.Min = std::min(r.Min, v);
        r.Max = std::max(r.Max, v);
    }
    r.Mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (const double v : values) squares += (v - r.Mean) * (v - r.Mean);
    r.Deviation =
        values.size() < 2 ? 0 : std::sqrt(squares / static_cast<double>(values.size() - 1));
    return r;
}

}  // namespace

TEST(StatsAdd, MatchesTwoPassStatistics) {
    const std::vector<std::vector<double>> series = {
        {800},
        {800, 810, 790},
        {-3, 3},
        {812.3, 812.3, 812.3, 812.3},
        {1000000.1, 1000000.2, 1000000.3, 999999.9},  // large mean, small spread
        {0.5, -250, 1e-3, 7, 7, 300.25},
    };
    for (const auto& values : series) {
        TShotStats stats;
        stats.SumSquares = 12.5;
        for (const double v : values) StatsAdd(stats, v);
        const Reference r = TwoPass(values);
        EXPECT_EQ(stats.Count, static_cast<int>(values.size()));
        EXPECT_NEAR(stats.Mean, r.Mean, 1e-9 * std::max(1.0, std::fabs(r.Mean)));
        EXPECT_EQ(stats.Min, r.Min);
        EXPECT_EQ(stats.Max, r.Max);
        EXPECT_NEAR(StandardDeviation(stats), r.Deviation, 1e-6);
        EXPECT_EQ(ExtremeSpread(stats), std::fabs(r.Max - r.Min));
        EXPECT_EQ(stats.SumSquares, 12.5) << "StatsAdd leaves SumSquares to the caller";
    }
}

TEST(StatsAdd, ThreeShotsGiveTheExpectedLabels) {
    TDecimalSeparatorScope guard(',');
    TShotStats stats;
    for (const double v : {800.0, 810.0, 790.0}) StatsAdd(stats, v);
    EXPECT_EQ(stats.M2, 200);
    EXPECT_EQ(StandardDeviation(stats), 10);
    EXPECT_EQ(ExtremeSpread(stats), 20);
    const TStatsTexts texts = StatsTexts(stats);
    EXPECT_EQ(texts.Average, "800,0");
    EXPECT_EQ(texts.Maximum, "810,0");
    EXPECT_EQ(texts.Minimum, "790,0");
    EXPECT_EQ(texts.Spread, "20,0");
    EXPECT_EQ(texts.Deviation, "10,0");
    EXPECT_EQ(texts.Count, "3");

    TShotStats one;
    StatsAdd(one, 812.34);
    const TStatsTexts single = StatsTexts(one);
    EXPECT_EQ(single.Deviation, "0,0");
    EXPECT_EQ(single.Spread, "0,0");
    EXPECT_EQ(single.Average, "812,3");

    const TStatsTexts zero = ZeroStatsTexts();
    EXPECT_EQ(zero.Average, "00,0");
    EXPECT_EQ(zero.Deviation, "00,0");
    EXPECT_EQ(zero.Count, "0");
}

TEST(StatsReset, ClearsEveryFieldAndRestartsTheChartX) {
    TShotSeries series;
    for (const double v : {790.0, 800.0, 810.0, 800.0, 812.3}) series.AppendShot(v, true, 0);
    ASSERT_EQ(series.NextX(), 6);
    series.StatsReset();
    const TShotStats& stats = series.Stats();
    EXPECT_EQ(stats.Count, 0);
    EXPECT_EQ(stats.Mean, 0);
    EXPECT_EQ(stats.M2, 0);
    EXPECT_EQ(stats.Min, 0);
    EXPECT_EQ(stats.Max, 0);
    EXPECT_EQ(stats.SumSquares, 0);
    EXPECT_EQ(series.NextX(), 1);
    EXPECT_EQ(series.LastShownVelocity(), 812.3) << "the reset leaves the last velocity alone";

    // After a reset the next value starts the series afresh.
    TShotStats other = {5, 800, 200, 790, 810, 0};
    StatsReset(other);
    StatsAdd(other, 900);
    EXPECT_EQ(other.Min, 900);
    EXPECT_EQ(other.Max, 900);
}

TEST(CounterSettings, ReadsFrequencyGateAndOffset) {
    struct Case {
        const char* Freq;
        const char* Gate;
        const char* A;
        double ExpectedFreq;
        double ExpectedGate;
        int ExpectedA;
        bool ExpectedMode;
    };
    const Case cases[] = {
        {"16 MHz", "0.1", "0", 16000000, 0.1, 0, true},
        {"16mhz", "5 cm", " -4000 ", 16000000, 0.05, -4000, true},
        {"16 M Hz", "100 mm", "+12", 16000000, 0.1, 12, true},
        {"1,5kHz", "2 m", "", 1500, 2, 0, true},
        {"1000", "1", "abc", 1000, 1, 0, true},
        {"2 Hz", "", "7", 2, 0, 7, false},
        {"16 GHz", "0.1", "0", 0, 0.1, 0, false},
        {"16 MHz", "5 in", "0", 16000000, 0, 0, false},
        {"-16 MHz", "0.1", "0", 0, 0.1, 0, false},
        {"16 MHz", "0", "0", 16000000, 0, 0, false},
        {"", "", "0", 0, 0, 0, false},
        {"MHz", "0.1", "2147483647", 0, 0.1, 2147483647, false},
        {"1", "1", "-2147483648", 1, 1, std::numeric_limits<int>::min(), true},
        {"1", "1", "2147483648", 1, 1, 0, true},
        {"1", "1", "1.5", 1, 1, 0, true},
    };
    for (const Case& c : cases) {
        const TCounterSettings s = CounterSettingsFromText(c.Freq, c.Gate, c.A);
        EXPECT_DOUBLE_EQ(s.Freq, c.ExpectedFreq) << c.Freq;
        EXPECT_DOUBLE_EQ(s.Gate, c.ExpectedGate) << c.Gate;
        EXPECT_EQ(s.A, c.ExpectedA) << c.A;
        EXPECT_EQ(s.Mode, c.ExpectedMode) << c.Freq << " / " << c.Gate;
    }
}

TEST(CounterSettings, ANumberThatOverflowsWithItsUnitIsNoSetting) {
    const QString huge = QStringLiteral("1") + QString(303, QLatin1Char('0'));
    const TCounterSettings overflow =
        CounterSettingsFromText(huge + QStringLiteral(" MHz"), huge + QStringLiteral(" cm"), "0");
    EXPECT_EQ(overflow.Freq, 0);
    EXPECT_DOUBLE_EQ(overflow.Gate, 1e301);
    EXPECT_FALSE(overflow.Mode);
    const TCounterSettings plain = CounterSettingsFromText(huge, huge, "0");
    EXPECT_DOUBLE_EQ(plain.Freq, 1e303);
    EXPECT_TRUE(plain.Mode);
}

TEST(CounterToVelocity, ConvertsCountsAndRefusesAZeroDivisor) {
    struct Case {
        double Count;
        int A;
        double Gate;
        double Freq;
        std::optional<double> Expected;
    };
    const Case cases[] = {
        {4000, 0, 0.1, 16e6, 400},
        {3000, 1000, 0.1, 16e6, 400},
        {-4000, 0, 0.1, 16e6, 400},  // the magnitude is taken
        {4000, -4000, 0.1, 16e6, std::nullopt},
        {0, 0, 0.1, 16e6, std::nullopt},
        {1e-320, 0, 1e10, 1e10, std::nullopt},  // not a finite velocity
    };
    for (const Case& c : cases) {
        const std::optional<double> v = CounterToVelocity(c.Count, c.A, c.Gate, c.Freq);
        ASSERT_EQ(v.has_value(), c.Expected.has_value()) << c.Count << " + " << c.A;
        if (v) {
            EXPECT_DOUBLE_EQ(*v, *c.Expected);
        }
    }
}
