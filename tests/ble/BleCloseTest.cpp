// Closing the window in the middle of every step of the link: every worker
// ends before the form goes, and nothing queued for it runs afterwards.
#include "ble/BleFixture.h"

using namespace ble_test;

namespace {

enum class TStage {
    Searching,
    ConnectHangs,
    ConnectedBeforeServices,
    SubscribePause,
    SubscribeHangs,
    KeepAliveWriteHangs,
    ReconnectPause,
};

}  // namespace

class BleClose : public BleFixture, public ::testing::WithParamInterface<TStage> {
protected:
    void Reach(TStage stage) {
        FSetup.Devices = {Chronograph()};
        TSimDeviceSetup& d = FSetup.Devices[0];
        if (stage == TStage::ConnectHangs) d.Connect = "hang";
        if (stage == TStage::ConnectedBeforeServices) d.DiscoverServices = "silent";
        if (stage == TStage::SubscribeHangs) d.Subscribe = "hang";
        if (stage == TStage::KeepAliveWriteHangs) d.Write = "hang";
        StartFormOffline();
        switch (stage) {
            case TStage::Searching:
                Form().Edit2->SetText("KVRN");
                Form().CONNECT->Click();
                break;
            case TStage::ConnectHangs:
                Connect("KVRN");
                ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
                break;
            case TStage::ConnectedBeforeServices:
                Connect("KVRN");
                ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Discovering; }));
                break;
            case TStage::SubscribePause:
                ConnectToSubscribing();
                break;
            case TStage::SubscribeHangs:
                ConnectToSubscribing();
                FClock->Advance(300);
                ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
                break;
            case TStage::KeepAliveWriteHangs:
                ConnectToLinked();
                Fire(P::FKeepAlive(Form()), 5000);
                ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
                break;
            case TStage::ReconnectPause:
                ConnectToLinked();
                Sim().DropLink(0, true, false);
                ASSERT_TRUE(WaitFor([&] { return Status() == "Reconnecting..."; }));
                ASSERT_TRUE(WaitForPause());
                break;
        }
    }
};

TEST_P(BleClose, CloseEndsEveryWorkerAndLeavesNothingQueued) {
    Reach(GetParam());
    if (HasFatalFailure()) return;
    TCloseAction action = caFree;
    Form().FormClose(&Form(), action);
    EXPECT_EQ(P::FBleWorkers(Form())->Running(), 0);
    EXPECT_EQ(P::FScanIndex(Form()), nullptr);
    EXPECT_EQ(P::FConnTimeout(Form()), nullptr);

    // Whatever the adapter still reports, and whatever time passes, reaches
    // no handler of the closed form.
    const QStringList status = ScanLines();
    const QStringList shots = Shots();
    FClock->Advance(30000);
    Sim().Notify(0, Ffe1, "812.3\n");
    Sim().Notify(0, Ffe1, QByteArray(1, '\0'));
    Sim().DropLink(0, true, true);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(ScanLines(), status);
    EXPECT_EQ(Shots(), shots);
    CloseForm();
}

INSTANTIATE_TEST_SUITE_P(EveryStep, BleClose,
                         ::testing::Values(TStage::Searching, TStage::ConnectHangs,
                                           TStage::ConnectedBeforeServices, TStage::SubscribePause,
                                           TStage::SubscribeHangs, TStage::KeepAliveWriteHangs,
                                           TStage::ReconnectPause));

// A form freed without its close handler still ends its workers and frees
// the scan index.
class BleDestroy : public BleFixture {};

TEST_F(BleDestroy, DestroyingTheFormWithoutCloseEndsTheWorkers) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].Connect = "hang";
    StartFormOffline();
    Connect("KVRN");
    ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
    delete FForm;
    FForm = nullptr;
    Form1 = nullptr;
    Application->OnMessage = nullptr;
    EXPECT_EQ(Sim().Blocked(), 0);
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
}
