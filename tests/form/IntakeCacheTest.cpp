// The velocity cache beside the shot list and the recomputation of list,
// chart and statistics from it, on a real main form.
#include <gtest/gtest.h>

#include <vector>

#include "platform/chart/Chart.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

}  // namespace

class VelocityCache : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }

    const std::vector<double>& Cache() { return P::FVelocityCache(Form()); }
};

TEST_F(VelocityCache, ReadsOnlyTheNumericLinesOfTheList) {
    SetListQuietly({"812.3", " 810 ", "", "Connected", "1,5", "7 m/s"});
    EXPECT_EQ(Form().CountNumericMemoLines(), 3);

    ShownSeries().MarkCacheDirty();
    Form().RebuildVelocityCache(true);
    EXPECT_EQ(Cache(), (std::vector<double>{812.3, 810, 1.5}));
    EXPECT_FALSE(P::FVelocityCacheDirty(Form()));

    SetListQuietly({"100"});
    Form().RebuildVelocityCache(false);
    ASSERT_EQ(Cache().size(), 1u);
    EXPECT_DOUBLE_EQ(Cache()[0], 30.48);

    SetListQuietly({});
    EXPECT_EQ(Form().CountNumericMemoLines(), 0);
}

TEST_F(VelocityCache, IsStaleWhenMarkedDirtyOrWhenItsCountDiffersFromTheList) {
    struct Case {
        const char* Name;
        QStringList List;
        std::vector<double> Cache;
        bool Dirty;
        bool Stale;
    };
    const Case cases[] = {
        {"EmptyListEmptyCache", {}, {}, false, false},
        {"OneValuePerValueLine", {"812.3", "LOG: x", "", "810"}, {812.3, 810}, false, false},
        {"MarkedDirty", {"812.3"}, {812.3}, true, true},
        {"ALineMore", {"812.3", "810"}, {812.3}, false, true},
        {"AValueMore", {"812.3"}, {812.3, 810}, false, true},
        {"ValuesWithoutList", {}, {812.3}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SetListQuietly(c.List);
        ShownSeries().RebuildVelocityCache(c.Cache, true);
        if (c.Dirty) ShownSeries().MarkCacheDirty();
        EXPECT_EQ(Form().VelocityCacheStale(), c.Stale);
    }
}

TEST_F(VelocityCache, ChangesByTheProgramLeaveTheCacheClean) {
    P::FMemoUpdating(Form()) = true;
    Form().Memo1->Lines()->Add("800");
    P::FMemoUpdating(Form()) = false;
    EXPECT_FALSE(P::FVelocityCacheDirty(Form()));
    Form().Memo1->Lines()->Add("805");
    EXPECT_TRUE(P::FVelocityCacheDirty(Form()));
}

TEST_F(VelocityCache, AppendKeepsTheLast10000OncePast10100) {
    for (const bool metric : {true, false}) {
        SCOPED_TRACE(metric ? "metric" : "imperial");
        Form().CheckBox1->SetChecked(metric);
        std::vector<double> full;
        for (int i = 0; i < 10100; ++i) full.push_back(i);
        ShownSeries().RebuildVelocityCache(full, true);
        // A list of value lines only: as many values go as lines.
        ShownSeries().AppendShot(100, metric, TShotSeries::CutCount(10101));
        ASSERT_EQ(Cache().size(), 10000u);
        EXPECT_DOUBLE_EQ(Cache().front(), 101.0);
        EXPECT_DOUBLE_EQ(Cache()[9998], 10099.0);
        EXPECT_DOUBLE_EQ(Cache().back(), metric ? 100.0 : 30.48);
        EXPECT_DOUBLE_EQ(Form().DisplayVelocity(30.48), metric ? 30.48 : 100.0);
    }
    Form().CheckBox1->SetChecked(true);
}

TEST_F(VelocityCache, RecomputeRewritesListChartAndStatisticsFromTheCache) {
    Form().CheckBox1->SetChecked(false);
    SetListQuietly({"stale", "1"});
    ShownSeries().RebuildVelocityCache(std::vector<double>{812.3, 800, 790}, false);
    ShownSeries().MarkCacheDirty();

    Form().RecomputeStatistics();

    EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), (QStringList{"812.3", "800", "790"}));
    EXPECT_FALSE(P::FVelocityCacheDirty(Form()));
    EXPECT_FALSE(P::FMemoUpdating(Form()));
    TChartSeries* series = P::FActiveSeries(Form());
    ASSERT_EQ(series->Count(), 3);
    EXPECT_DOUBLE_EQ(series->XValue(2), 3.0);
    EXPECT_NEAR(series->YValue(0), 812.3, 1e-9);
    EXPECT_EQ(ShownSeries().NextX(), 4);
    EXPECT_EQ(P::FNextShotNumber(Form()), 4);
    EXPECT_TRUE(ShownSeries().HasLastVelocity());
    EXPECT_NEAR(ShownSeries().LastShownVelocity(), 790, 1e-9);
    EXPECT_EQ(Form().Label2->Caption(), "790.0");
    EXPECT_EQ(Form().Label4->Caption(), "812.3");
    EXPECT_EQ(Form().Label5->Caption(), "790.0");
    EXPECT_EQ(Form().Label8->Caption(), "3");
    EXPECT_NEAR(ShownSeries().Stats().SumSquares, 812.3 * 812.3 + 800 * 800 + 790 * 790, 1e-6);

    // An empty cache leaves the placeholders.
    ShownSeries().RebuildVelocityCache({}, true);
    Form().RecomputeStatistics();
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 0);
    EXPECT_EQ(series->Count(), 0);
    EXPECT_EQ(Form().Label2->Caption(), "00.0");
    for (TLabel* label :
         {Form().Label3, Form().Label4, Form().Label5, Form().Label6, Form().Label7})
        EXPECT_EQ(label->Caption(), "00.0");
    EXPECT_EQ(Form().Label8->Caption(), "0");
    EXPECT_EQ(P::FNextShotNumber(Form()), 1);
    EXPECT_FALSE(ShownSeries().HasLastVelocity());
    EXPECT_EQ(ShownSeries().Stats().Count, 0);
    Form().CheckBox1->SetChecked(true);
}
