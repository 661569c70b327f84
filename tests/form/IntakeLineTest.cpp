// One received line becoming one shot on a real main form: the number, the
// counter conversion, the list and cache with their cut-back, the chart's
// shot axis and the statistics labels.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/chart/Chart.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

QStringList Numbers(int first, int count) {
    QStringList lines;
    for (int i = first; i < first + count; ++i) lines.append(QString::number(i));
    return lines;
}

}  // namespace

class LineIntake : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }

    const std::vector<double>& Cache() { return P::FVelocityCache(Form()); }
    // Starts a case on an empty list and cache, the next shot numbered 1.
    void EmptyIntake() {
        EmptyListQuietly();
        ShownSeries().RebuildVelocityCache({}, true);
        ShownSeries().StartNumbering();
    }
    TChartSeries* Series() { return P::FActiveSeries(Form()); }
};

TEST_F(LineIntake, TakesTheVelocityOutOfALineInEitherUnit) {
    struct Case {
        const char* Name;
        QString Line;
        bool Metric;
        std::optional<QString> Shot;  // none: the line changes nothing
        double Cached;
        QString Big;
    };
    const Case cases[] = {
        {"Metric", "812.3 m/s nr 5", true, "812.3", 812.3, "812.3"},
        {"ImperialCachesMetres", "812.3 m/s nr 5", false, "812.3", 812.3 * 0.3048, "812.3"},
        {"CommaAndRounding", "V\t799,456", true, "799.46", 799.456, "799.456"},
        {"Empty", "", true, std::nullopt, 0, ""},
        {"NumberOnlyAfterNr", "nr 17 812", true, std::nullopt, 0, ""},
        {"NoDigits", "ERR - . ,", true, std::nullopt, 0, ""},
        {"ControlCharactersOnly", "\x01\x02\r", true, std::nullopt, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form().CheckBox1->SetChecked(c.Metric);
        EmptyIntake();
        ASSERT_FALSE(P::FVelocityCacheDirty(Form()));
        Series()->Clear();
        ShownSeries().StatsReset();
        const QString bigBefore = Form().Label2->Caption();

        Feed({c.Line});

        if (!c.Shot) {
            EXPECT_TRUE(MemoLines().isEmpty());
            EXPECT_TRUE(Cache().empty());
            EXPECT_EQ(Series()->Count(), 0);
            EXPECT_EQ(P::FNextShotNumber(Form()), 1);
            EXPECT_EQ(ShownSeries().NextX(), 1);
            EXPECT_EQ(Form().Label2->Caption(), bigBefore);
            continue;
        }
        EXPECT_EQ(MemoLines(), QStringList{*c.Shot});
        ASSERT_EQ(Cache().size(), 1u);
        EXPECT_NEAR(Cache()[0], c.Cached, 1e-9);
        EXPECT_FALSE(P::FVelocityCacheDirty(Form()));
        EXPECT_EQ(Form().Label2->Caption(), c.Big);
        EXPECT_TRUE(ShownSeries().HasLastVelocity());
        EXPECT_EQ(P::FNextShotNumber(Form()), 2);
        ASSERT_EQ(Series()->Count(), 1);
        EXPECT_DOUBLE_EQ(Series()->XValue(0), 1.0);
        EXPECT_DOUBLE_EQ(Series()->YValue(0), ShownSeries().LastShownVelocity());
        EXPECT_EQ(ShownSeries().NextX(), 2);
    }
    Form().CheckBox1->SetChecked(true);
}

TEST_F(LineIntake, StatisticsLabelsFollowEveryShot) {
    Feed({"800"});
    EXPECT_EQ(Form().Label6->Caption(), "0.0");
    EXPECT_EQ(Form().Label7->Caption(), "0.0");
    EXPECT_EQ(Form().Label8->Caption(), "1");

    Feed({"810", "790"});
    EXPECT_EQ(Form().Label3->Caption(), "800.0");
    EXPECT_EQ(Form().Label4->Caption(), "810.0");
    EXPECT_EQ(Form().Label5->Caption(), "790.0");
    EXPECT_EQ(Form().Label6->Caption(), "20.0");
    EXPECT_EQ(Form().Label7->Caption(), "10.0");
    EXPECT_EQ(Form().Label8->Caption(), "3");
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().SumSquares, 800.0 * 800 + 810.0 * 810 + 790.0 * 790);
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().M2, 200.0);
}

TEST_F(LineIntake, CounterConversionAppliesToLiveLinesOnly) {
    struct Case {
        const char* Name;
        int A;
        bool Live;
        bool Metric;
        std::optional<QString> Shot;
        double Cached;
    };
    const Case cases[] = {
        {"Converted", 0, true, true, "400", 400},
        {"OffsetAdded", -2000, true, true, "800", 800},
        // count + A = 0: no velocity, so no shot and no shot number used.
        {"ZeroDivisorNoShot", -4000, true, true, std::nullopt, 0},
        {"NotLiveTakenAsIs", 0, false, true, "4000", 4000},
        {"ImperialResultIsFeetPerSecond", 0, true, false, "400", 400 * 0.3048},
    };
    TCounterSettings counter;
    counter.Mode = true;
    counter.Gate = 0.1;
    counter.Freq = 16e6;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Form().CheckBox1->SetChecked(c.Metric);
        EmptyIntake();
        counter.A = c.A;
        ShownSeries().SetCounterSettings(counter);

        Feed({"4000"}, c.Live);

        if (!c.Shot) {
            EXPECT_TRUE(MemoLines().isEmpty());
            EXPECT_EQ(P::FNextShotNumber(Form()), 1);
            continue;
        }
        EXPECT_EQ(MemoLines(), QStringList{*c.Shot});
        ASSERT_EQ(Cache().size(), 1u);
        EXPECT_NEAR(Cache()[0], c.Cached, 1e-9);
        EXPECT_EQ(P::FNextShotNumber(Form()), 2);
    }
    Form().CheckBox1->SetChecked(true);
}

TEST_F(LineIntake, CounterSettingsAreReadAtStart) {
    struct Case {
        const char* Name;
        QByteArray Settings;
        bool Mode;
        double Freq;
        double Gate;
        int A;
    };
    const Case cases[] = {
        {"Units", "FREQ=16 MHz\nGATE=5 cm\nA=-12\n", true, 16e6, 0.05, -12},
        {"UnknownUnitOff", "FREQ=16 GHz\nGATE=0.1\nA=0\n", false, 0, 0.1, 0},
        {"NegativeOff", "FREQ=-16 MHz\nGATE=0.1\nA=x\n", false, 0, 0.1, 0},
        {"DefaultsOff", "", false, 0, 0, 0},
    };
    CloseForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteTextFile(IniFilePath(), "[Settings]\n" + c.Settings);
        StartForm();
        EXPECT_EQ(ShownSeries().CounterSettings().Mode, c.Mode);
        EXPECT_DOUBLE_EQ(ShownSeries().CounterSettings().Freq, c.Freq);
        EXPECT_DOUBLE_EQ(ShownSeries().CounterSettings().Gate, c.Gate);
        EXPECT_EQ(ShownSeries().CounterSettings().A, c.A);
        CloseForm();
    }
}

TEST_F(LineIntake, FullSeriesIsCutBackInListCacheAndChart) {
    // 10,101 shots: the last one cuts list, cache and chart to 10,000.
    TForm1Probe::BatchUpdate(*Form1) = true;
    Feed(Numbers(1, 10100));
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 10100);
    EXPECT_EQ(Series()->Count(), 10100);
    Feed({"20000"});
    TForm1Probe::BatchUpdate(*Form1) = false;

    const QStringList shots = MemoLines();
    ASSERT_EQ(shots.size(), 10000);
    EXPECT_EQ(shots.front(), "102");
    EXPECT_EQ(shots.back(), "20000");
    ASSERT_EQ(Cache().size(), 10000u);
    EXPECT_DOUBLE_EQ(Cache().front(), 102.0);
    EXPECT_DOUBLE_EQ(Cache().back(), 20000.0);
    ASSERT_EQ(Series()->Count(), 10000);
    EXPECT_DOUBLE_EQ(Series()->XValue(0), 102.0);
    EXPECT_DOUBLE_EQ(Series()->YValue(0), 102.0);
    // Numbering and statistics go on counting across the cut.
    EXPECT_EQ(ShownSeries().NextX(), 10102);
    EXPECT_EQ(P::FNextShotNumber(Form()), 10102);
    EXPECT_EQ(Form().Label8->Caption(), "10101");
}

TEST_F(LineIntake, CutBackCountsLogLinesButTakesOnlyTheirValuesFromTheCache) {
    // Two log lines, then 10,098 values: the list as the user sees it, the
    // cache rebuilt from it at the next shot.
    Form().Memo1->Lines()->Assign(QStringList{"Connected", "Subscribed"} + Numbers(1, 10098));
    EXPECT_TRUE(P::FVelocityCacheDirty(Form()));
    Feed({"20000"});

    const QStringList shots = MemoLines();
    ASSERT_EQ(shots.size(), 10000);
    EXPECT_EQ(shots.front(), "100");
    // The 101 lines that went held 99 values: the cache keeps the values of
    // the lines that remain, in order.
    std::vector<double> remaining;
    for (int i = 100; i <= 10098; ++i) remaining.push_back(i);
    remaining.push_back(20000);
    EXPECT_EQ(Cache(), remaining);
    EXPECT_FALSE(P::FVelocityCacheDirty(Form()));
}

TEST_F(LineIntake, CutBackKeepsTheCnvAverageEnergyOnTheListedShots) {
    // A note typed above a full series of 100 m/s shots, one of 1000 m/s
    // and 300 m/s ones; the next shot cuts the note and the 100s away.
    WriteTextFile(IniFilePath(), "[Settings]\nCNV=1\nMU=10\n");
    P::FWeightGrams(Form()) = 8.0;
    QStringList lines{"typed note"};
    for (int i = 0; i < 100; ++i) lines << "100";
    lines << "1000";
    for (int i = 0; i < 9998; ++i) lines << "300";
    Form().Memo1->Lines()->Assign(lines);
    Feed({"300"});

    ASSERT_EQ(MemoLines().size(), 10000);
    EXPECT_EQ(MemoLines().front(), "1000");
    ASSERT_EQ(Cache().size(), 10000u);
    EXPECT_DOUBLE_EQ(Cache().front(), 1000.0);
    // (1000^2 + 9999 x 300^2) / 10000 x 8 g / 2000 = 360.364 J.
    EXPECT_EQ(Form().Label19->Caption(), "360.36");
}

TEST_F(LineIntake, EditedListIsReadIntoTheCacheBeforeTheShot) {
    Feed({"800"});
    // The user types a value and a log line lands between the shots.
    Form().Memo1->Lines()->Add("805");
    Form().Memo1->Lines()->Add("Connected");
    EXPECT_TRUE(P::FVelocityCacheDirty(Form()));
    Feed({"810"});
    EXPECT_EQ(Cache(), (std::vector<double>{800, 805, 810}));
    EXPECT_FALSE(P::FVelocityCacheDirty(Form()));
}

TEST_F(LineIntake, ScrollingShotAxisShowsTheLastShots) {
    struct Case {
        int Visible;
        int Shots;
        double Min;
        double Max;
    };
    const Case cases[] = {
        {26, 1, 0, 25}, {26, 25, 0, 25}, {26, 26, 1, 26}, {26, 30, 5, 30},
        {1, 1, 0, 1},   {1, 3, 2, 3},    {5, 4, 0, 4},    {5, 9, 5, 9},
    };
    Form().CheckBoxScroll->SetChecked(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "window " << c.Visible << " shots " << c.Shots);
        Series()->Clear();
        ShownSeries().StatsReset();
        ShownSeries().SetVisibleShots(c.Visible);
        Feed(Numbers(800, c.Shots));
        TChartAxis* axis = Form().Chart1->BottomAxis();
        EXPECT_FALSE(axis->Automatic());
        EXPECT_DOUBLE_EQ(axis->Minimum(), c.Min);
        EXPECT_DOUBLE_EQ(axis->Maximum(), c.Max);
    }
    ShownSeries().SetVisibleShots(26);
}

TEST_F(LineIntake, LiveShotForgetsAWindowSetByHand) {
    Form().CheckBoxScroll->SetChecked(false);
    for (const bool live : {false, true}) {
        SCOPED_TRACE(live ? "live" : "not live");
        P::FZoomActive(Form()) = true;
        P::FZoomAnchor(Form()) = TZoomAnchor::End;
        P::FZoomSteps(Form()) = 3;
        Feed({"800"}, live);
        EXPECT_EQ(P::FZoomActive(Form()), !live);
        EXPECT_EQ(P::FZoomAnchor(Form()), live ? TZoomAnchor::Centre : TZoomAnchor::End);
        EXPECT_EQ(P::FZoomSteps(Form()), live ? 0 : 3);
    }
}
