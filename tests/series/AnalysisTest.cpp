// The arithmetic of SYM, CMP and dV and the texts of a derived series.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/core/FormatFloat.h"
#include "series/core/Analysis.h"
#include "series/core/NumberText.h"

namespace {
using Values = std::vector<double>;
}

TEST(RangeDifferenceValues, PairsTheRangesUntilTheyMeetOrCross) {
    struct Case {
        const char* Name;
        Values In;
        int A, B, C, D;
        Values Out;
    };
    const Values four = {10, 11, 12, 13};
    const Values five = {1, 2, 3, 4, 10};
    const Case cases[] = {
        {"EvenStopsWhereTheRangesCross", four, 1, 4, 4, 1, {-3, -1}},
        {"OddLeavesTheMiddleOut", five, 1, 5, 5, 1, {-9, -2}},
        {"TwoValues", {5, 7}, 1, 2, 2, 1, {-2}},
        {"MeetAtOnce", four, 2, 4, 2, 1, {}},
        {"ShorterRangeEnds", four, 1, 2, 4, 1, {-3, -1}},
        {"BothAscending", four, 1, 2, 3, 4, {-2, -2}},
        {"OutsideTheValuesEndsTheWalk", four, 1, 4, 6, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(RangeDifferenceValues(c.In, c.A, c.B, c.C, c.D), c.Out);
    }
}

TEST(MirrorDifferences, HalfTheCountFromBothEnds) {
    EXPECT_EQ(MirrorDifferences({10, 11, 12, 13}), Values({-3, -1}));
    EXPECT_EQ(MirrorDifferences({1, 2, 3, 4, 10}), Values({-9, -2}));
    EXPECT_EQ(MirrorDifferences({4, 1}), Values({3}));
    EXPECT_TRUE(MirrorDifferences({4}).empty());
    EXPECT_TRUE(MirrorDifferences({}).empty());
    Values many(10001);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = double(i);
    EXPECT_EQ(MirrorDifferences(many).size(), 5000u);
}

TEST(SuccessiveDifferences, AbsoluteStepsBetweenNeighbours) {
    EXPECT_EQ(SuccessiveDifferences({10, 12, 9}), Values({2, 3}));
    EXPECT_EQ(SuccessiveDifferences({-1, 1, 1}), Values({2, 0}));
    EXPECT_TRUE(SuccessiveDifferences({10}).empty());
}

TEST(CompareDifferences, MissingValuesCountAsZeroUpToTheLimit) {
    EXPECT_EQ(CompareDifferences({10, 0, 12}, {9, 9, 9, 9}, 10000), Values({1, -9, 3, -9}));
    EXPECT_EQ(CompareDifferences({10, 20, 30}, {1}, 10000), Values({9, 20, 30}));
    EXPECT_EQ(CompareDifferences({10, 20, 30}, {}, 10000), Values({10, 20, 30}));
    EXPECT_EQ(CompareDifferences({1}, Values(50000, 1.0), 10000).size(), 10000u);
}

TEST(DerivedTexts, OneToThreeDecimalsWithTheUserSeparator) {
    SetDecimalSeparatorForTesting(QLatin1Char('.'));
    EXPECT_EQ(DerivedTexts({1.23456, 2, -3.25, 0.0004}),
              QStringList({"1.235", "2.0", "-3.25", "0.0"}));
    SetDecimalSeparatorForTesting(QLatin1Char(','));
    EXPECT_EQ(DerivedTexts({2.5}), QStringList({"2,5"}));
    SetDecimalSeparatorForTesting(QChar());
}

TEST(DerivedTexts, EveryShowableValueReadsBack) {
    // From about 1e59 on the picture writes more than 62 characters; the
    // shortest exponent form stands in for it.
    const std::vector<double> values = {5e61, -1e62, 1e59, 123456789.125, 0};
    ASSERT_TRUE(DerivedValuesShowable(values));
    const QStringList texts = DerivedTexts(values);
    ASSERT_EQ(texts.size(), qsizetype(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
        double back = 0;
        ASSERT_TRUE(ParseDotDouble(texts[qsizetype(i)], back)) << texts[qsizetype(i)].toStdString();
        EXPECT_NEAR(back, values[i], 0.0005 + std::fabs(values[i]) * 1e-15);
    }
    EXPECT_FALSE(DerivedValuesShowable({1, 2e62}));
    EXPECT_FALSE(DerivedValuesShowable({std::numeric_limits<double>::infinity()}));
    EXPECT_FALSE(DerivedValuesShowable({std::nan("")}));
    EXPECT_EQ(DerivedTooLargeText(QStringLiteral("dV")), "dV: Result too large to show");
}
