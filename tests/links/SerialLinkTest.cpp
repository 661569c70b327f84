// The serial link and its read thread on a pseudo-terminal, without a form:
// lines as the device sends them, the unfinished line at a stop, a hang-up,
// the backpressure of a full queue, and the thread's sleep while nothing
// happens.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QStringList>

#include "links/core/ReceivedLineQueue.h"
#include "links/core/SerialLink.h"
#include "PseudoTerminal.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous: a loaded machine may take seconds where an idle one takes
// milliseconds. No test waits this long when it passes.
constexpr auto Deadline = 30s;

bool WaitUntil(const std::function<bool()>& done) {
    const auto until = Clock::now() + Deadline;
    while (!done()) {
        if (Clock::now() >= until) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The read thread as the kernel sees it: its folder under /proc/self/task,
// found by the name the thread gives itself.
QString ReaderTask() {
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& id : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(id + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "serial-read")
            return tasks.filePath(id);
    }
    return {};
}

// How often the thread has gone to sleep of its own accord: each wake-up
// from a wait ends one such sleep.
long VoluntarySwitches(const QString& task) {
    QFile status(task + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("voluntary_ctxt_switches:")) return line.mid(24).trimmed().toLong();
    return -1;
}

// The state letter of /proc/<task>/stat ('S' asleep in a wait, 'R' running).
char TaskState(const QString& task) {
    QFile stat(task + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return '?';
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text.at(close + 2) : '?';
}

// The thread's wake-ups over one second in which nothing is sent; counted,
// not timed. Starts once the thread is asleep.
long WakeUpsOverAnIdleSecond() {
    QString task;
    if (!WaitUntil([&] { return !(task = ReaderTask()).isEmpty(); })) return -1;
    if (!WaitUntil([&] { return TaskState(task) == 'S'; })) return -1;
    const long before = VoluntarySwitches(task);
    std::this_thread::sleep_for(1s);
    const long after = VoluntarySwitches(task);
    return before < 0 || after < 0 ? -1 : after - before;
}

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal";
        FLink.Open(FTerminal.SlavePath());
        ASSERT_TRUE(FLink.IsOpen());
    }

    void StartReading() {
        FLink.StartReading([this](TSerialReaderTicket ticket) {
            FLostTicket.emplace_back(std::move(ticket));
            ++FLost;
        });
        ASSERT_TRUE(FLink.IsReading());
    }

    // The read thread's sleeps so far (see VoluntarySwitches).
    long ReaderSleeps() {
        QString task;
        if (!WaitUntil([&] { return !(task = ReaderTask()).isEmpty(); })) return -1;
        return VoluntarySwitches(task);
    }

    // Sends bytes and waits until the thread has woken for them, read them
    // all and fallen asleep again, so that what it read has gone through
    // the queue.
    bool SendAndWaitUntilRead(const QByteArray& bytes) {
        const QString task = ReaderTask();
        const long before = VoluntarySwitches(task);
        if (task.isEmpty() || before < 0 || !FTerminal.Write(bytes)) return false;
        return WaitUntil([&] {
            return VoluntarySwitches(task) > before && SerialBytesWaiting(FLink.Handle()) == 0 &&
                   TaskState(task) == 'S';
        });
    }

    // Waits until the queue holds `count` lines and takes them all.
    QStringList TakeLines(std::size_t count) {
        QStringList texts;
        std::vector<TReceivedLine> lines;
        WaitUntil([&] {
            FQueue.Take(lines, 64);
            for (const TReceivedLine& line : lines)
                texts.append(line.Log ? QStringLiteral("[log] ") + line.Text : line.Text);
            return std::size_t(texts.size()) >= count;
        });
        return texts;
    }

    TPseudoTerminal FTerminal;
    std::atomic<int> FWakes{0};
    TReceivedLineQueue FQueue{[this] { ++FWakes; }};
    TSerialLink FLink{FQueue};
    std::atomic<int> FLost{0};
    std::vector<TSerialReaderTicket> FLostTicket;
};

}  // namespace

TEST_F(SerialLinkTest, TheDeviceBytesBecomeLinesInOrder) {
    StartReading();
    struct Case {
        const char* Name;
        std::vector<QByteArray> Writes;
        QStringList Lines;
    };
    const Case cases[] = {
        {"CrLf", {"123.4\r\n"}, {"123.4"}},
        {"SplitOverTwoReads", {"12", "3.4\n"}, {"123.4"}},
        {"TwoLinesInOneRead", {"1\n2\n"}, {"1", "2"}},
        {"EveryLineEnd", {"1\r2\n3\r\n\n"}, {"1", "2", "3", ""}},
        {"CrLfSplit", {"806\r", "\n807\r", "\n"}, {"806", "807"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const QByteArray& bytes : c.Writes) {
            ASSERT_TRUE(FTerminal.Write(bytes));
            // Give the thread a chance to read the first part on its own.
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_EQ(TakeLines(std::size_t(c.Lines.size())), c.Lines);
    }
    EXPECT_GE(FWakes, 1);
    EXPECT_EQ(FLost, 0);
}

TEST_F(SerialLinkTest, AStopHandsOverTheUnfinishedLineAsALogLine) {
    StartReading();
    ASSERT_TRUE(ReaderSleeps() >= 0);
    ASSERT_TRUE(SendAndWaitUntilRead("801\n45.6"));
    EXPECT_EQ(FQueue.Size(), 1u);
    // "45.6" waits in the thread; it is queued before Close returns.
    FLink.Close();
    EXPECT_FALSE(FLink.IsReading());
    EXPECT_FALSE(FLink.IsOpen());
    EXPECT_EQ(TakeLines(2), (QStringList{"801", "[log] LOG: unfinished line: 45.6"}));
    EXPECT_EQ(FLost, 0);
    EXPECT_FALSE(FTerminal.SlaveHeld());
}

TEST_F(SerialLinkTest, AHungUpDeviceIsReportedOnceAndTheThreadWaitsForItsStop) {
    StartReading();
    ASSERT_TRUE(ReaderSleeps() >= 0);
    ASSERT_TRUE(SendAndWaitUntilRead("805\n802.5"));
    EXPECT_EQ(FQueue.Size(), 1u);
    FTerminal.CloseMaster();

    ASSERT_TRUE(WaitUntil([&] { return FLost == 1; }));
    ASSERT_EQ(FLostTicket.size(), 1u);
    EXPECT_TRUE(FLostTicket.front().IsCurrent());
    // Reported once, and the thread of the lost port sleeps: no wake-ups
    // while it waits for its stop.
    EXPECT_LE(WakeUpsOverAnIdleSecond(), 1);
    EXPECT_EQ(FLost, 1);
    EXPECT_TRUE(FLink.IsReading());

    // The owner closes the port: the report's ticket goes stale, and the
    // line the hang-up cut off comes out as a log line.
    FLink.Close();
    EXPECT_FALSE(FLostTicket.front().IsCurrent());
    EXPECT_EQ(TakeLines(2), (QStringList{"805", "[log] LOG: unfinished line: 802.5"}));
}

// Issue 26: the read thread used to wake about a hundred times a second to
// look for bytes. It sleeps until something happens.
TEST_F(SerialLinkTest, AnIdlePortLetsTheThreadSleep) {
    StartReading();
    // Nothing sent: at most the device node check may fall into the second.
    EXPECT_LE(WakeUpsOverAnIdleSecond(), 2);

    // Asleep, it still wakes at once for bytes.
    ASSERT_TRUE(FTerminal.Write("812.3\n"));
    EXPECT_EQ(TakeLines(1), QStringList{"812.3"});
    EXPECT_LE(WakeUpsOverAnIdleSecond(), 2);

    // And for a stop.
    FLink.StopReading();
    EXPECT_FALSE(FLink.IsReading());
}

// A device that sends more lines than the queue holds, faster than anyone
// takes them: the thread stops reading, the bytes wait in the port, and the
// thread sleeps until the queue has room. Then every line comes, in order.
TEST_F(SerialLinkTest, AFullQueueHoldsTheDeviceBackAndLosesNothing) {
    StartReading();
    constexpr int Lines = 20000;
    QByteArray flood;
    for (int i = 1; i <= Lines; ++i) flood += QByteArray::number(i) + '\n';
    std::atomic<bool> written{false};
    std::thread writer([&] { written = FTerminal.Write(flood); });

    ASSERT_TRUE(WaitUntil([&] { return FQueue.Size() >= ReceivedLinesBound; }));
    EXPECT_LE(WakeUpsOverAnIdleSecond(), 2);
    EXPECT_LE(FQueue.Size(), ReceivedLinesBound);

    QStringList taken;
    std::vector<TReceivedLine> lines;
    ASSERT_TRUE(WaitUntil([&] {
        FQueue.Take(lines, 64);
        for (const TReceivedLine& line : lines) taken.append(line.Text);
        EXPECT_LE(FQueue.Size(), ReceivedLinesBound);
        return taken.size() >= Lines;
    })) << "taken "
        << taken.size();
    writer.join();
    EXPECT_TRUE(written);
    ASSERT_EQ(taken.size(), Lines);
    for (int i = 0; i < Lines; ++i) ASSERT_EQ(taken[i], QString::number(i + 1)) << i;
}

TEST_F(SerialLinkTest, DiscardedInputTakesTheUnfinishedLineAlong) {
    StartReading();
    ASSERT_TRUE(ReaderSleeps() >= 0);
    ASSERT_TRUE(SendAndWaitUntilRead("81"));
    FQueue.SetDiscarding(true);
    FQueue.Clear();
    ASSERT_TRUE(SendAndWaitUntilRead("2.3\n9"));
    EXPECT_TRUE(FQueue.Empty());

    FQueue.SetDiscarding(false);
    ASSERT_TRUE(FTerminal.Write("4\n"));
    EXPECT_EQ(TakeLines(1), QStringList{"4"});
}
