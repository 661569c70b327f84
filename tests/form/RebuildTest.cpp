// The rebuilds of the shown series from lines and from derived values.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/chart/Chart.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {
using P = TForm1Probe;

QStringList Numbers(int first, int count) {
    QStringList lines;
    for (int i = 0; i < count; ++i) lines.append(QString::number(first + i));
    return lines;
}
}  // namespace

class Rebuild : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }
};

TEST_F(Rebuild, KeepsTheLastTenThousandValuesAndContinuesTheNumbering) {
    Form().RebuildFromLines(Numbers(1, 10001), true);

    EXPECT_EQ(Form().Memo1->Lines()->Count(), 10000);
    EXPECT_EQ(Form().Memo1->Lines()->Strings(0), "2");
    EXPECT_EQ(Form().Label8->Caption(), "10000");
    auto* series = P::FActiveSeries(Form());
    ASSERT_EQ(series->Count(), 10000);
    EXPECT_DOUBLE_EQ(series->XValue(0), 1);
    EXPECT_DOUBLE_EQ(series->YValue(0), 2);
    EXPECT_DOUBLE_EQ(series->XValue(9999), 10000);
    EXPECT_EQ(P::FVelocityCache(Form()).size(), 10000u);
    EXPECT_EQ(P::FNextShotNumber(Form()), 10001);
    EXPECT_EQ(ShownSeries().NextX(), 10001);
    EXPECT_FALSE(TForm1Probe::BatchUpdate(*Form1));
    EXPECT_TRUE(Form().Chart1->AutoRepaint());
    EXPECT_FALSE(P::FMemoUpdating(Form()));
    EXPECT_FALSE(P::FVelocityCacheDirty(Form()));

    // A live shot takes the next number and the next chart X.
    Form().ProcessIncomingLine(QStringLiteral("900"));
    EXPECT_DOUBLE_EQ(series->XValue(series->Count() - 1), 10001);
}

TEST_F(Rebuild, TakesTheNumberOfEachLineAndPassesOverLogLines) {
    // Each line gives the number a received line would give; a log line
    // gives none, digits or not; the comma is a decimal point; the value
    // text is rewritten with two decimals while the statistics keep the full
    // number.
    const QStringList lines = {"12,5",         "LOG: 31 FF 0A", "V=812 m/s nr 3", "",
                               "  123.456\t ", "LOG: BLE: 2",   "BLE: Connected"};
    Form().RebuildFromLines(lines, true);

    EXPECT_EQ(MemoLines(), QStringList({"12.5", "812", "123.46"}));
    EXPECT_EQ(ShownSeries().Stats().Count, 3);
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().Max, 812);
    EXPECT_DOUBLE_EQ(ShownSeries().LastShownVelocity(), 123.456);
    EXPECT_TRUE(ShownSeries().HasLastVelocity());
    EXPECT_EQ(Form().Label2->Caption(), "123.456");
    EXPECT_EQ(Form().Label8->Caption(), "3");
    EXPECT_EQ(P::FNextShotNumber(Form()), 4);
    EXPECT_EQ(P::FVelocityCache(Form()).size(), 3u);

    // Derived values are read by the same rule.
    Form().ReloadValues({"-3.5", "LOG: 12", "d=2,25"});
    EXPECT_EQ(MemoLines(), QStringList({"-3.5", "2.25"}));
}

TEST_F(Rebuild, WithoutValuesShowsTheEmptyTexts) {
    Feed({"812.5", "815.0"}, false);
    Form().RebuildFromLines({"LOG: no value", "", "abc"}, true);

    EXPECT_EQ(Form().Memo1->Lines()->Count(), 0);
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 0);
    EXPECT_FALSE(ShownSeries().HasLastVelocity());
    EXPECT_EQ(Form().Label2->Caption(), "00.0");
    for (TLabel* label :
         {Form().Label3, Form().Label4, Form().Label5, Form().Label6, Form().Label7})
        EXPECT_EQ(label->Caption(), "00.0");
    EXPECT_EQ(Form().Label8->Caption(), "0");
    EXPECT_EQ(Form().Label15->Caption(), "0.00");
    EXPECT_EQ(Form().Label19->Caption(), "00.0");
    EXPECT_EQ(P::FNextShotNumber(Form()), 1);
}

TEST_F(Rebuild, OneValueHasNoSpreadAndNoDeviation) {
    Form().RebuildFromLines({"812"}, true);
    EXPECT_EQ(Form().Label6->Caption(), "0.0");
    EXPECT_EQ(Form().Label7->Caption(), "0.0");
    EXPECT_EQ(Form().Label3->Caption(), "812.0");
}

TEST_F(Rebuild, WithoutRefillTheListKeepsItsLines) {
    for (const char* line : {"812.5", "LOG: 31 FF 0A"}) Form().Memo1->Lines()->Add(line);
    Form().RebuildFromLines({"700", "710"}, false);
    EXPECT_EQ(MemoLines(), QStringList({"812.5", "LOG: 31 FF 0A"}));
    EXPECT_EQ(ShownSeries().Stats().Count, 2);
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 2);
}

TEST_F(Rebuild, ShotAxisOfTheScrollingWindow) {
    Form().CheckBoxScroll->SetChecked(true);
    ShownSeries().SetVisibleShots(26);
    struct Case {
        int Count;
        bool Derived;
        double Min;
        double Max;
    };
    const Case cases[] = {{40, false, 15, 40}, {20, false, 0, 25}, {40, true, 0, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Count);
        if (c.Derived)
            Form().ReloadValues(Numbers(800, c.Count));
        else
            Form().RebuildFromLines(Numbers(800, c.Count), true);
        TChartAxis* bottom = Form().Chart1->BottomAxis();
        EXPECT_FALSE(bottom->Automatic());
        EXPECT_DOUBLE_EQ(bottom->Minimum(), c.Min);
        EXPECT_DOUBLE_EQ(bottom->Maximum(), c.Max);
    }
}

TEST_F(Rebuild, DerivedValuesAreMarkedCappedAndRestartTheNumbering) {
    P::FZoomActive(Form()) = true;
    P::FZoomSteps(Form()) = 3;
    QStringList texts = {"-3.0", "1.235", "2,5"};
    texts += Numbers(1, 12000);
    Form().ReloadValues(texts);

    EXPECT_TRUE(P::FDerivedValues(Form()));
    EXPECT_FALSE(P::FZoomActive(Form()));
    EXPECT_EQ(P::FZoomSteps(Form()), 0);
    // Capped like every other path, the first values kept; the cache stays
    // as long as the list.
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 10000);
    EXPECT_EQ(Form().Memo1->Lines()->Strings(0), "-3");
    EXPECT_EQ(Form().Memo1->Lines()->Strings(1), "1.24");
    EXPECT_EQ(Form().Memo1->Lines()->Strings(2), "2.5");
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 10000);
    EXPECT_EQ(P::FVelocityCache(Form()).size(), 10000u);
    EXPECT_DOUBLE_EQ(ShownSeries().Stats().Min, -3);
    EXPECT_DOUBLE_EQ(P::FActiveSeries(Form())->YValue(1), 1.235);
    EXPECT_EQ(P::FNextShotNumber(Form()), 1);

    // A rebuild from lines shows shots again.
    Form().RebuildFromLines({"800"}, true);
    EXPECT_FALSE(P::FDerivedValues(Form()));
}

TEST_F(Rebuild, AFailureRestoresTheBatchFlags) {
    // The list's change handler fails while the lines are replaced.
    Form().Memo1->OnChange = [](TObject*) { throw std::runtime_error("list refused"); };
    EXPECT_THROW(Form().RebuildFromLines({"800", "810"}, true), std::runtime_error);
    EXPECT_FALSE(TForm1Probe::BatchUpdate(*Form1));
    EXPECT_TRUE(Form().Chart1->AutoRepaint());
    EXPECT_FALSE(P::FMemoUpdating(Form()));
    EXPECT_THROW(Form().ReloadValues({"1.0"}), std::runtime_error);
    EXPECT_FALSE(TForm1Probe::BatchUpdate(*Form1));
    EXPECT_TRUE(Form().Chart1->AutoRepaint());
    EXPECT_FALSE(P::FMemoUpdating(Form()));

    // An outer batch keeps its flag.
    Form().Memo1->OnChange = [this](TObject* sender) { Form().Memo1Change(sender); };
    TForm1Probe::BatchUpdate(*Form1) = true;
    Form().RebuildFromLines({"800"}, true);
    EXPECT_TRUE(TForm1Probe::BatchUpdate(*Form1));
    TForm1Probe::BatchUpdate(*Form1) = false;
}
