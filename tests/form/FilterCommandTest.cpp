// The FILTER command (Ctrl+F) on a real main form.
#include <gtest/gtest.h>

#include "platform/chart/Chart.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {
using P = TForm1Probe;
}

class FilterCommand : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
    }
};

TEST_F(FilterCommand, FiltersTheListAndRebuildsIt) {
    struct Case {
        const char* Name;
        QString Shots;
        QString Velocity;
        QStringList List;
        QStringList Result;
        QString Status;
    };
    const QStringList withLog = {"300", "LOG: 31 FF 0A", " 310 ", "", "V=320 m/s"};
    const Case cases[] = {
        // Without a rule every non-blank line passes and is counted; the
        // rebuild takes the number of each line and passes over the log line.
        {"Bypass", "S(~)", "V(~)", withLog, {"300", "310", "320"}, "FILTER: 4 points | BYPASS"},
        // Blanks inside the empty form make a rule without bounds: every
        // number as a whole passes, the log line and the note do not.
        {"RuleWithoutBounds",
         "S(~)",
         "V( ~ )",
         withLog,
         {"300", "310"},
         "FILTER: 2 points | Velocity:V(~)"},
        {"RuleWithoutBoundsOtherBrackets",
         "S( ~)",
         "V(~>",
         withLog,
         {"300", "310"},
         "FILTER: 2 points | Shots:S(~) Velocity:V(~>"},
        // Numbers 1, 2, 3: the log line takes number 2 and is no value.
        {"ShotsRuleCountsLogLines",
         "S(~2>",
         "V(~)",
         {"300", "LOG: x", "310"},
         {"300"},
         "FILTER: 1 points | Shots:S(~2>"},
        {"InvertedRange",
         "S(~)",
         "V(400~300)",
         {"250", "300", "350", "400", "450"},
         {"250", "450"},
         "FILTER: 2 points | Velocity:V(400~300)"},
        {"Both",
         "S<2~3>",
         "V<300~400>+",
         {"350", "360", "500", "370"},
         {"360"},
         "FILTER: 1 points | Shots:S<2~3> Velocity:V<300~400>+"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFilter("0", c.Shots, c.Velocity);
        Form().Memo1->Lines()->Assign(c.List);
        Form().FilterCommand();
        EXPECT_EQ(MemoLines(), c.Result);
        EXPECT_EQ(Status(), c.Status);
        EXPECT_EQ(ShownSeries().Stats().Count, int(c.Result.size()));
        EXPECT_EQ(P::FActiveSeries(Form())->Count(), int(c.Result.size()));
        EXPECT_EQ(P::FNextShotNumber(Form()), int(c.Result.size()) + 1);
    }
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
}

TEST_F(FilterCommand, ClearsTheLiveFlagsItApplied) {
    WriteFilter("1", "S(~)", "V(300~400)+");
    Form().Memo1->Lines()->Assign({"350", "390"});
    Form().FilterCommand();
    EXPECT_TRUE(P::FFilter(Form()).Enabled);
    EXPECT_TRUE(P::FFilter(Form()).VelocityRule.Valid);
    EXPECT_FALSE(P::FFilter(Form()).VelocityRule.ApplyLive);
    EXPECT_FALSE(P::FFilter(Form()).ShotsRule.ApplyLive);
    // The status names the rule as written, "+" included.
    EXPECT_EQ(Status(), "FILTER: 2 points | Velocity:V(300~400)+");

    Feed({"500"});
    EXPECT_EQ(MemoLines(), QStringList({"350", "390", "500"}));
}

TEST_F(FilterCommand, RejectingEverythingChangesNothing) {
    WriteFilter("1", "S(~)", "V(300~400)+");
    Form().RefreshCommand();
    for (const char* line : {"10", "11", "12", "13"}) Form().Memo1->Lines()->Add(line);
    Form().RefreshCommand();
    Form().SpeedButton5->Click();
    ASSERT_TRUE(WaitFor([this] { return !P::FCommandBusy(Form()); }));
    ASSERT_EQ(MemoLines(), QStringList({"-3", "-1"}));
    const TFilterConfig filterBefore = P::FFilter(Form());

    WriteFilter("1", "S(3~3)", "V(~)");
    Form().FilterCommand();

    EXPECT_EQ(FDialogs.Messages,
              QStringList({"The filter rejected all data. Check the INI [FILTER]."}));
    // The derived series stays locked, with its kept lines, and live input
    // stays out.
    EXPECT_EQ(MemoLines(), QStringList({"-3", "-1"}));
    EXPECT_TRUE(P::FMemoLocked(Form()));
    EXPECT_EQ(P::FMemoSnapshot(Form()).size(), 4u);
    EXPECT_TRUE(LineQueue().Discarding());
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Sym);
    EXPECT_TRUE(P::FDerivedValues(Form()));
    EXPECT_EQ(Status(), "SYM: Mirror 4");
    EXPECT_EQ(P::FFilter(Form()).VelocityRule.ApplyLive, filterBefore.VelocityRule.ApplyLive);
    EXPECT_FALSE(P::FFilter(Form()).ShotsRule.Valid);

    // REFRESH still finds the shots.
    Form().RefreshCommand();
    EXPECT_EQ(MemoLines(), QStringList({"10", "11", "12", "13"}));
}

TEST_F(FilterCommand, AfterSymFiltersTheDifferencesAndGivesUpTheLock) {
    WriteFilter("0", "S(~)", "V(-2~)");
    for (const char* line : {"10", "11", "12", "13"}) Form().Memo1->Lines()->Add(line);
    Form().SpeedButton5->Click();
    ASSERT_TRUE(WaitFor([this] { return !P::FCommandBusy(Form()); }));

    Form().FilterCommand();
    EXPECT_EQ(MemoLines(), QStringList({"-1"}));
    EXPECT_FALSE(P::FMemoLocked(Form()));
    EXPECT_TRUE(P::FMemoSnapshot(Form()).empty());
    EXPECT_FALSE(LineQueue().Discarding());
    EXPECT_EQ(P::FAnalysisMode(Form()), TAnalysisMode::Shots);
    EXPECT_FALSE(P::FDerivedValues(Form()));

    // Nothing is kept for REFRESH any more: it works on the filtered list.
    Form().RefreshCommand();
    EXPECT_EQ(MemoLines(), QStringList({"-1"}));
}

TEST_F(FilterCommand, AnEmptyListDoesNothing) {
    Form().Memo1->Lines()->Assign({"", "  "});
    P::FMemoLocked(Form()) = true;
    Form().Label20->SetCaption(QStringLiteral("earlier"));
    Form().FilterCommand();
    EXPECT_TRUE(P::FMemoLocked(Form()));
    EXPECT_EQ(Status(), "earlier");
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
    P::FMemoLocked(Form()) = false;
}
