// BlueZ that stops answering (the stand-in stopped with SIGSTOP, as a
// bluetoothd that hangs): the window keeps answering, and closing the form
// ends at once instead of sitting out BlueZ's 25 s call time-outs, idle,
// after SCAN and while linked.
#include <QDeadlineTimer>
#include <QTimer>

#include "BlueZFixture.h"

using namespace bluez_test;

namespace {

enum class TStage { Idle, AfterScan, Linked };

// Generous against what answering and closing need (well under a second),
// far below what waiting for BlueZ cost (14 to 34 s).
constexpr int DeadlineMs = 10000;

std::string Name(const ::testing::TestParamInfo<TStage>& info) {
    static const char* names[] = {"Idle", "AfterScan", "Linked"};
    return names[int(info.param)];
}

}  // namespace

class BlueZStopped : public BlueZFixture, public ::testing::WithParamInterface<TStage> {
protected:
    void TearDown() override {
        StandIn().Resume();
        BlueZFixture::TearDown();
        // The backend's thread that the close left inside a call to BlueZ
        // ends once BlueZ answers again; none may be left when the bus goes.
        EXPECT_TRUE(WaitFor([] { return QtBleThreadsLeftRunningForTesting() == 0; }, 60));
    }

    // An event posted now runs before the deadline: the main thread is not
    // held by anything the link does.
    static bool Answers(const QDeadlineTimer& deadline) {
        bool ran = false;
        QTimer::singleShot(0, QCoreApplication::instance(), [&ran] { ran = true; });
        while (!ran && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return ran;
    }
};

TEST_P(BlueZStopped, TheWindowAnswersAndClosingEndsAtOnce) {
    AddChronograph();
    StartFormOffline();
    ASSERT_TRUE(WaitFor([&] { return Form().BluetoothLE1->GetCurrentManager() != nullptr; }, 30));
    if (GetParam() == TStage::Linked) {
        ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    }
    // The form's component is the backend's last owner: freeing the form
    // frees the backend, as in the program.
    FBackend.reset();

    StandIn().Pause();
    QDeadlineTimer deadline(DeadlineMs);
    switch (GetParam()) {
        case TStage::Idle:
            break;
        case TStage::AfterScan:
            Form().SCAN->Click();
            EXPECT_EQ(State(), TBleState::Scanning);
            break;
        case TStage::Linked:
            // A keep-alive write that BlueZ never answers, then SCAN, which
            // lets the device go and starts a discovery BlueZ does not
            // answer either.
            Fire(P::FKeepAlive(Form()));
            Form().SCAN->Click();
            EXPECT_EQ(State(), TBleState::Scanning);
            break;
    }
    ASSERT_TRUE(Answers(deadline)) << "the window waited for BlueZ";
    // CONNECT while the discovery hangs starts its own search, and says so.
    PressConnect(QStringLiteral("KVRN"));
    ASSERT_TRUE(Answers(deadline)) << "the window waited for BlueZ";
    EXPECT_EQ(BleStatus(), QStringLiteral("Connecting..."));

    CloseForm();
    EXPECT_FALSE(deadline.hasExpired()) << "closing waited for BlueZ";
}

INSTANTIATE_TEST_SUITE_P(BlueZHangs, BlueZStopped,
                         ::testing::Values(TStage::Idle, TStage::AfterScan, TStage::Linked), Name);
