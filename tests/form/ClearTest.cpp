// CLEAR empties the series and everything that hangs on it.
#include <gtest/gtest.h>

#include "platform/chart/Chart.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {
using P = TForm1Probe;
}

class Clear : public FormFixture {};

TEST_F(Clear, EmptiesTheSeriesAndKeepsTheSettings) {
    StartForm();
    Feed({"812.5", "815.0", "809.25"}, false);
    Form().Edit1->SetText(QStringLiteral("9.5"));
    P::FMemoLocked(Form()) = true;
    P::FMemoSnapshot(Form()) = {QStringLiteral("1")};
    P::FZoomSteps(Form()) = 2;
    Form().Label20->SetCaption(QStringLiteral("SYM: Use refresh to unlock"));
    QueueReceived({"700"});
    const QByteArray settings = ReadFileBytes(IniFilePath());

    Form().ButtonClear->Click();

    EXPECT_EQ(Form().Memo1->Lines()->Count(), 0);
    EXPECT_TRUE(P::FVelocityCache(Form()).empty());
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 0);
    EXPECT_EQ(ShownSeries().Stats().Count, 0);
    EXPECT_EQ(ShownSeries().NextX(), 1);
    EXPECT_EQ(P::FNextShotNumber(Form()), 1);
    EXPECT_FALSE(P::FMemoLocked(Form()));
    EXPECT_TRUE(P::FMemoSnapshot(Form()).empty());
    EXPECT_TRUE(ReceivedQueueEmpty());
    EXPECT_EQ(P::FZoomSteps(Form()), 0);
    EXPECT_EQ(Form().Label20->Caption(), "");
    EXPECT_EQ(Form().Label2->Caption(), "00.0");
    EXPECT_EQ(Form().Label3->Caption(), "00.0");
    EXPECT_EQ(Form().Label8->Caption(), "0");
    EXPECT_EQ(Form().Label15->Caption(), "0.00");
    EXPECT_EQ(Form().Label19->Caption(), "00.0");
    EXPECT_FALSE(Form().Chart1->BottomAxis()->Automatic());
    EXPECT_DOUBLE_EQ(Form().Chart1->BottomAxis()->Minimum(), 0);
    EXPECT_DOUBLE_EQ(Form().Chart1->BottomAxis()->Maximum(), 25);
    EXPECT_TRUE(Form().Chart1->LeftAxis()->Automatic());
    // The weight and the settings file stay as they were.
    EXPECT_EQ(Form().Edit1->Text(), "9.5");
    EXPECT_EQ(ReadFileBytes(IniFilePath()), settings);

    // The next shot starts the numbering again.
    Form().ProcessIncomingLine(QStringLiteral("820"));
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 1);
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 1);
    EXPECT_DOUBLE_EQ(P::FActiveSeries(Form())->XValue(0), 1);
    EXPECT_EQ(Form().Label8->Caption(), "1");
}
