// The received-line queue and its drain on a real main form: order, the
// batch flags around the chart, the drop flag, and a line whose intake fails.
#include <gtest/gtest.h>

#include <vector>

#include "links/core/SerialLink.h"
#include "platform/chart/Chart.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

// What the intake saw at each change of the shot list.
struct TSeen {
    QString Line;
    bool Live;
    bool Batch;
    bool AutoRepaint;
};

}  // namespace

class ReceivedLineQueue : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        StartFormOffline();
        // Records each change of the list and passes it on to the form.
        Form().Memo1->OnChange = [this](TObject* sender) {
            TStrings* lines = Form().Memo1->Lines();
            const QString last = lines->Count() ? lines->Strings(lines->Count() - 1) : QString();
            FSeen.push_back({last, TForm1Probe::LiveInput(*Form1), TForm1Probe::BatchUpdate(*Form1),
                             Form().Chart1->AutoRepaint()});
            if (FRefused.contains(last)) throw Exception("list refused " + last);
            Form().Memo1Change(sender);
        };
    }

    std::vector<TSeen> FSeen;
    QStringList FRefused;
};

TEST_F(ReceivedLineQueue, DrainPassesLinesInOrderAndBatchesOnlySeveral) {
    struct Case {
        const char* Name;
        QStringList Lines;
        bool BatchBefore;
        bool AutoRepaintBefore;
        QStringList Shots;
        bool BatchDuring;
    };
    const Case cases[] = {
        {"EmptyQueueDoesNothing", {}, false, true, {}, false},
        {"OneLineNoBatch", {"812.3"}, false, true, {"812.3"}, false},
        {"ThreeLinesOneBatch", {"1", "", "2 nr 9", "3"}, false, true, {"1", "2", "3"}, true},
        {"FlagsRestoredNotForced", {"4", "5"}, true, false, {"4", "5"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EmptyListQuietly();
        FSeen.clear();
        TForm1Probe::BatchUpdate(*Form1) = c.BatchBefore;
        Form().Chart1->SetAutoRepaint(c.AutoRepaintBefore);

        QueueReceived(c.Lines);
        PostMessage(&Form(), WM_LINES_RECEIVED, 0, 0);
        PostMessage(&Form(), WM_LINES_RECEIVED, 0, 0);  // finds the queue empty
        ASSERT_TRUE(WaitFor(
            [&] { return ReceivedQueueEmpty() && FSeen.size() >= size_t(c.Shots.size()); }));
        QCoreApplication::processEvents();

        EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), c.Shots);
        ASSERT_EQ(FSeen.size(), size_t(c.Shots.size()));
        for (const TSeen& seen : FSeen) {
            SCOPED_TRACE(seen.Line.toStdString());
            EXPECT_TRUE(seen.Live);
            EXPECT_EQ(seen.Batch, c.BatchDuring || c.BatchBefore);
            EXPECT_EQ(seen.AutoRepaint, !c.BatchDuring && c.AutoRepaintBefore);
        }
        EXPECT_FALSE(TForm1Probe::LiveInput(*Form1));
        EXPECT_EQ(TForm1Probe::BatchUpdate(*Form1), c.BatchBefore);
        EXPECT_EQ(Form().Chart1->AutoRepaint(), c.AutoRepaintBefore);
    }
    TForm1Probe::BatchUpdate(*Form1) = false;
    Form().Chart1->SetAutoRepaint(true);
}

TEST_F(ReceivedLineQueue, AFailingLineCostsNoOtherLineAndIsShownOnce) {
    FRefused = {"666", "667"};
    QueueReceived({"1", "666", "3", "667", "5"});
    Form().DrainReceivedLines();

    // Every line was offered to the list, in order; the refused ones made no
    // shot, the others did.
    ASSERT_EQ(FSeen.size(), 5u);
    EXPECT_EQ(FSeen[2].Line, "3");
    EXPECT_EQ(FSeen[4].Line, "5");
    EXPECT_EQ(ShownSeries().Stats().Count, 3);
    EXPECT_EQ(Form().Label8->Caption(), "3");
    EXPECT_EQ(Form().Label2->Caption(), "5.0");

    // One box, for the first failure, after the batch.
    ASSERT_EQ(FDialogs.Errors.size(), 1);
    EXPECT_EQ(FDialogs.Errors.front(), "list refused 666");

    // Flags and chart as they were; the list is writable again and the cache
    // agrees with it once rebuilt.
    EXPECT_FALSE(TForm1Probe::LiveInput(*Form1));
    EXPECT_FALSE(TForm1Probe::BatchUpdate(*Form1));
    EXPECT_TRUE(Form().Chart1->AutoRepaint());
    EXPECT_FALSE(P::FMemoUpdating(Form()));
    EXPECT_EQ(int(P::FVelocityCache(Form()).size()), Form().CountNumericMemoLines());
}

TEST_F(ReceivedLineQueue, DropFlagLosesWhatTheDrainTakes) {
    QueueReceived({"812.3", "799.5"});
    LineQueue().SetDiscarding(true);
    Form().DrainReceivedLines();
    EXPECT_TRUE(ReceivedQueueEmpty());
    EXPECT_TRUE(FSeen.empty());
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 0);
    EXPECT_EQ(P::FNextShotNumber(Form()), 1);

    Form().ResetReceive(false, false);
    QueueReceived({"801"});
    Form().DrainReceivedLines();
    EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), QStringList{"801"});
}

TEST_F(ReceivedLineQueue, ResetReceiveStoresTheFlagAndEmptiesTheQueue) {
    struct Case {
        bool Discard;
        bool Purge;
    };
    const Case cases[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    ASSERT_FALSE(P::FSerialLink(Form()).IsOpen());  // the purge is skipped with the port closed
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "discard " << c.Discard << " purge " << c.Purge);
        QueueReceived({"1", "2"});
        Form().ResetReceive(c.Discard, c.Purge);
        EXPECT_EQ(LineQueue().Discarding(), c.Discard);
        EXPECT_TRUE(ReceivedQueueEmpty());
    }
    Form().DrainReceivedLines();
    EXPECT_TRUE(FSeen.empty());
}

namespace {

// Queues entries as the links do: log lines (true) beside received lines.
void QueueEntries(TForm1& form, const std::vector<TReceivedLine>& entries) {
    for (const TReceivedLine& entry : entries) P::FReceivedLineQueue(form).Push(entry);
}

}  // namespace

TEST_F(ReceivedLineQueue, ALogLineGoesUnderTheListWithoutItsTrailingBlanks) {
    struct Case {
        const char* Name;
        QStringList Before;
        QString Log;
        QStringList After;
    };
    const Case cases[] = {
        {"EmptyList", {}, "LOG: a", {"LOG: a"}},
        {"LineBreaksOfTheLineDropped", {"812.3"}, "LOG: a\r\n\n", {"812.3", "LOG: a"}},
        {"BlankLinesAtTheEndGo", {"812.3", "", " \t", "\x01"}, "LOG: a", {"812.3", "LOG: a"}},
        {"BlanksOfTheLastLineGo", {"812.3 \t "}, "LOG: a", {"812.3", "LOG: a"}},
        {"BlanksOnlyGiveAnEmptyStart", {" ", ""}, "LOG: a", {"LOG: a"}},
        {"OtherLinesKeepTheirBlanks", {" 1 ", "", "2"}, "LOG: a ", {" 1 ", "", "2", "LOG: a "}},
        {"ABreakInsideStartsALine", {"1"}, "LOG: a\r\nb\rc", {"1", "LOG: a", "b", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        SetListQuietly(c.Before);
        QueueEntries(Form(), {TReceivedLine(c.Log, true)});
        Form().DrainReceivedLines();
        EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), c.After);
        EXPECT_EQ(Form().Memo1->SelStart(), int(Form().Memo1->Text().size()));
        EXPECT_EQ(Form().Memo1->SelLength(), 0);
    }
}

TEST_F(ReceivedLineQueue, AFloodOfLogLinesKeepsTheOrderAndTheListBound) {
    // A list close to full, then log lines between shots, through the
    // window message as the links send them.
    QStringList full;
    for (int i = 0; i < ShotListKept - 40; ++i) full.append(QString::number(500 + i % 300));
    SetListQuietly(full);
    std::vector<TReceivedLine> entries;
    QStringList expected;
    for (int i = 0; i < 600; ++i) {
        if (i % 3 == 0) {
            entries.emplace_back(QString::number(800 + i % 50));
            expected.append(QString::number(800 + i % 50));
        } else {
            entries.emplace_back(QStringLiteral("LOG: line %1\r\n").arg(i), true);
            expected.append(QStringLiteral("LOG: line %1").arg(i));
        }
    }
    QueueEntries(Form(), entries);
    PostMessage(&Form(), WM_LINES_RECEIVED, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return ReceivedQueueEmpty() && !FSeen.empty(); }, 60));
    QCoreApplication::processEvents();

    TMemo* memo = Form().Memo1;
    const QStringList lines = memo->Lines()->ToStringList();
    ASSERT_EQ(lines.size(), ShotListKept);
    EXPECT_EQ(lines.mid(lines.size() - expected.size()), expected);
    EXPECT_EQ(lines.first(), full.at(full.size() + expected.size() - ShotListKept));
    EXPECT_EQ(memo->SelStart(), int(memo->Text().size()));
    // The last line is in view.
    EXPECT_GT(int(memo->Perform(EM_GETFIRSTVISIBLELINE, 0, 0)), ShotListKept - 200);
    EXPECT_FALSE(TForm1Probe::LiveInput(*Form1));
    EXPECT_FALSE(TForm1Probe::BatchUpdate(*Form1));
    EXPECT_TRUE(Form().Chart1->AutoRepaint());
}
