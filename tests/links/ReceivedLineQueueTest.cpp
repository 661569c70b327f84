// The received-line queue without a form: order, wake-ups, the discard flag
// and the room it leaves the serial read thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <QStringList>

#include "links/core/LineCutter.h"
#include "links/core/ReceivedLineQueue.h"

namespace {

using namespace std::chrono_literals;

constexpr auto Deadline = 20s;

class ReceivedLineQueueTest : public ::testing::Test {
protected:
    // Takes everything waiting, in steps of `step`.
    QStringList TakeAll(std::size_t step = 64) {
        QStringList texts;
        std::vector<TReceivedLine> lines;
        bool more = true;
        while (more) {
            more = FQueue.Take(lines, step);
            for (const TReceivedLine& line : lines) texts.append(line.Text);
            if (lines.empty()) break;
        }
        return texts;
    }

    void Cut(const QByteArray& bytes) { FQueue.PushCut(FCutter, bytes.constData(), bytes.size()); }

    std::atomic<int> FWakes{0};
    TReceivedLineQueue FQueue{[this] { ++FWakes; }};
    TLineCutter FCutter;
};

}  // namespace

TEST_F(ReceivedLineQueueTest, LinesComeOutInOrderWithOneWakeUpWhileTheyWait) {
    FQueue.Push(QStringLiteral("812.3"));
    FQueue.Push(TReceivedLine(QStringLiteral("LOG: a"), true));
    Cut("799.5\r\n80");
    Cut("1\n\n");
    // Only the first line found the queue empty: a wake-up is on its way
    // for all of them.
    EXPECT_EQ(FWakes, 1);
    EXPECT_EQ(FQueue.Size(), 5u);

    std::vector<TReceivedLine> lines;
    EXPECT_TRUE(FQueue.Take(lines, 2));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, "812.3");
    EXPECT_FALSE(lines[0].Log);
    EXPECT_EQ(lines[1].Text, "LOG: a");
    EXPECT_TRUE(lines[1].Log);
    EXPECT_EQ(TakeAll(2), (QStringList{"799.5", "801", ""}));
    EXPECT_TRUE(FQueue.Empty());

    // An empty queue hands out nothing; the next line wakes the taker again.
    EXPECT_FALSE(FQueue.Take(lines, 64));
    EXPECT_TRUE(lines.empty());
    Cut("805");
    EXPECT_EQ(FWakes, 1);
    Cut("\n");
    EXPECT_EQ(FWakes, 2);
    EXPECT_EQ(TakeAll(), QStringList{"805"});
}

TEST_F(ReceivedLineQueueTest, DiscardedInputNeverComesOut) {
    struct Case {
        const char* Name;
        // Queued before the flag is set (and taken while it is).
        QByteArray Before;
        // Sent while the flag is set.
        QByteArray During;
        // Sent after it is cleared.
        QByteArray After;
        QStringList Out;
    };
    const Case cases[] = {
        {"QueuedLinesGo", "1\n2\n", "", "3\n", {"3"}},
        // The bytes of the unfinished line go with the chunk read while
        // input is discarded.
        {"UnfinishedLineGoes", "81", "2.3\n", "4\n", {"4"}},
        {"ChunkGoesWhole", "", "5\n6\n7", "\n8\n", {"", "8"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Cut(c.Before);
        FQueue.SetDiscarding(true);
        EXPECT_TRUE(FQueue.Discarding());
        Cut(c.During);
        FQueue.Push(QStringLiteral("pushed"));
        FQueue.Push(TReceivedLine(QStringLiteral("LOG: pushed"), true));
        // The taker drops what waits.
        std::vector<TReceivedLine> lines;
        EXPECT_FALSE(FQueue.Take(lines, 64));
        EXPECT_TRUE(lines.empty());
        EXPECT_TRUE(FQueue.Empty());

        FQueue.SetDiscarding(false);
        Cut(c.After);
        EXPECT_EQ(TakeAll(), c.Out);
    }
}

TEST_F(ReceivedLineQueueTest, ClearKeepsTheUnfinishedLine) {
    Cut("1\n12");
    FQueue.Clear();
    EXPECT_TRUE(FQueue.Empty());
    Cut("3.4\n");
    EXPECT_EQ(TakeAll(), QStringList{"123.4"});
}

TEST_F(ReceivedLineQueueTest, AFullQueueHoldsTheReaderUntilHalfIsTaken) {
    std::stop_source stop;
    EXPECT_EQ(FQueue.WaitForRoom(stop.get_token()), ReceivedLinesBound);
    for (std::size_t i = 0; i < ReceivedLinesBound - 1; ++i) FQueue.Push(QString::number(i));
    // One place left: the reader may take in one byte.
    EXPECT_EQ(FQueue.WaitForRoom(stop.get_token()), 1u);
    // The other links push past the bound; they never wait.
    FQueue.Push(QStringLiteral("a"));
    FQueue.Push(QStringLiteral("b"));
    EXPECT_EQ(FQueue.Size(), ReceivedLinesBound + 1);

    auto room =
        std::async(std::launch::async, [&] { return FQueue.WaitForRoom(stop.get_token()); });
    std::vector<TReceivedLine> lines;
    // Down to one line above the mark: still full for the reader.
    FQueue.Take(lines, ReceivedLinesBound + 1 - ReceivedLinesResume - 1);
    EXPECT_EQ(room.wait_for(0s), std::future_status::timeout);
    FQueue.Take(lines, 1);
    ASSERT_EQ(room.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(room.get(), ReceivedLinesBound - ReceivedLinesResume);

    // A stop ends the wait with no room; so does a clear with room.
    for (std::size_t i = FQueue.Size(); i < ReceivedLinesBound; ++i)
        FQueue.Push(QStringLiteral("x"));
    auto stopped =
        std::async(std::launch::async, [&] { return FQueue.WaitForRoom(stop.get_token()); });
    stop.request_stop();
    ASSERT_EQ(stopped.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(stopped.get(), 0u);

    std::stop_source other;
    auto cleared =
        std::async(std::launch::async, [&] { return FQueue.WaitForRoom(other.get_token()); });
    FQueue.Clear();
    ASSERT_EQ(cleared.wait_for(Deadline), std::future_status::ready);
    EXPECT_EQ(cleared.get(), ReceivedLinesBound);
}
