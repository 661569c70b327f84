// The notify characteristic, the subscription and its watchdog, the
// keep-alive, and link loss with reconnect.
#include "ble/BleFixture.h"

using namespace ble_test;

class BleSubscribe : public BleFixture {
protected:
    void KeepAliveFailsTwice(const char* how, const std::string& cause);
};

TEST_F(BleSubscribe, TheNotifyCharacteristicIsChosenByUuidFirstThenBy2902) {
    struct TCase {
        const char* Name;
        std::vector<TSimServiceSetup> Services;
        QString Chosen;  // empty: none, and the status says why
        QString Why = QStringLiteral("Connected - no notify characteristic");
    } cases[] = {
        {"FFE1 only", {{Ffe0, {{Ffe1, {Cccd}}}}}, Ffe1},
        {"FFE7 before FFE1 in one service", {{Ffe0, {{Ffe7, {}}, {Ffe1, {Cccd}}}}}, Ffe7},
        {"2902 in service 1, FFE7 in service 2",
         {{Fff0, {{Fff1, {Cccd}}}}, {Ffe0, {{Ffe7, {}}}}},
         Ffe7},
        {"2902 only", {{Fff0, {{Fff1, {}}, {Ffe0, {Cccd}}}}}, Ffe0},
        {"none of the three", {{Fff0, {{Fff1, {}}}}}, ""},
        // A search that broke off is no proof that the device lacks one.
        {"characteristics that cannot be read",
         {{Fff0, {{Ffe1, {}}}, true}},
         "",
         QStringLiteral("Connected - characteristic search failed: GetCharacteristics failed")},
        {"no services", {}, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FSetup.Devices = {Chronograph()};
        FSetup.Devices[0].Services = c.Services;
        StartFormOffline();
        Connect("KVRN");
        if (c.Chosen.isEmpty()) {
            ASSERT_TRUE(WaitFor([&] { return Status() == c.Why; })) << Status().toStdString();
            EXPECT_EQ(Lamp(), Green);
            EXPECT_EQ(State(), TBleState::NoNotify);
            EXPECT_FALSE(P::FConnTimeout(Form())->Enabled());
            EXPECT_FALSE(P::FKeepAlive(Form())->Enabled());
            EXPECT_EQ(P::FNotifyCharacteristic(Form()), nullptr);
        } else {
            ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Subscribing; }));
            ASSERT_TRUE(P::FNotifyCharacteristic(Form()));
            EXPECT_EQ(P::FNotifyCharacteristic(Form())->UUID(), StringToGUID(c.Chosen));
            EXPECT_EQ(P::FWriteCharacteristic(Form()), P::FNotifyCharacteristic(Form()));
            EXPECT_EQ(P::FConnTimeout(Form())->Interval(), 15000u);
        }
        CloseForm();
        FSim.reset();
    }
}

TEST_F(BleSubscribe, TheSubscriptionWaits300MsThenTheLinkIsUp) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToSubscribing();
    EXPECT_EQ(Sim().Subscriptions(0), 0);
    FClock->Advance(299);
    QCoreApplication::processEvents();
    EXPECT_EQ(Sim().Subscriptions(0), 0);
    FClock->Advance(1);
    ASSERT_TRUE(WaitFor([&] { return P::FKeepAlive(Form())->Enabled(); }));
    EXPECT_EQ(Sim().Subscriptions(0), 1);
    EXPECT_EQ(State(), TBleState::Linked);
    EXPECT_FALSE(P::FConnTimeout(Form())->Enabled());
    EXPECT_EQ(P::FKeepAlive(Form())->Interval(), 5000u);
    EXPECT_EQ(Lamp(), Green);
    EXPECT_EQ(Status(), "Connected");
}

// A device that cannot be remembered still links; the cause goes to the
// standard error.
TEST_F(BleSubscribe, AFailedSaveOfTheDeviceIsReportedAndTheLinkStaysUp) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    P::FIniPath(Form()) = FDir.filePath(QStringLiteral("missing/tarvex.ini"));
    testing::internal::CaptureStderr();
    ConnectToLinked();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Bluetooth LE: the device was not remembered: "), std::string::npos) << err;
    EXPECT_NE(err.find("missing/tarvex.ini"), std::string::npos) << err;
    EXPECT_EQ(Status(), "Connected");
    EXPECT_EQ(Lamp(), Green);
}

// A failed keep-alive write, thrown or refused with false, is told once, not
// every five seconds, and again after writes had worked in between.
TEST_F(BleSubscribe, AFailedKeepAliveWriteIsReportedOncePerRun) {
    const struct {
        const char* How;
        std::string Cause;
    } cases[] = {{"fail", "Write failed"}, {"false", "the device refused the write"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.How);
        FSetup.Devices = {Chronograph()};
        StartFormOffline();
        ASSERT_NO_FATAL_FAILURE(KeepAliveFailsTwice(c.How, c.Cause));
        CloseForm();
        FSim.reset();
    }
}

void BleSubscribe::KeepAliveFailsTwice(const char* how, const std::string& cause) {
    ConnectToLinked();
    const std::string failed = "Bluetooth LE: keep-alive write failed: " + cause;
    const auto count = [&](const std::string& err) {
        std::size_t n = 0;
        for (std::size_t at = err.find(failed); at != std::string::npos;
             at = err.find(failed, at + 1))
            ++n;
        return n;
    };
    const auto tick = [&] {
        Fire(P::FKeepAlive(Form()), 5000);
        ASSERT_TRUE(WaitForWorkers());
    };
    testing::internal::CaptureStderr();
    Sim().SetBehaviour(0, [how](TSimDeviceSetup& d) { d.Write = how; });
    for (int i = 0; i < 3; ++i) tick();
    Sim().SetBehaviour(0, [](TSimDeviceSetup& d) { d.Write = "ok"; });
    tick();
    Sim().SetBehaviour(0, [how](TSimDeviceSetup& d) { d.Write = how; });
    tick();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count(err), 2u) << err;
    EXPECT_EQ(Status(), "Connected");
    EXPECT_TRUE(P::FKeepAlive(Form())->Enabled());
}

// A refused subscription, thrown or returned, is a failed one.
TEST_F(BleSubscribe, AFailedSubscriptionDropsTheLink) {
    const struct {
        const char* How;
        std::string Cause;
    } cases[] = {{"fail", "Subscribe failed"}, {"false", "the device refused the notifications"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.How);
        FSetup.Devices = {Chronograph()};
        FSetup.Devices[0].Subscribe = c.How;
        StartFormOffline();
        ConnectToSubscribing();
        testing::internal::CaptureStderr();
        FClock->Advance(300);
        const bool dropped = WaitFor([&] { return Status() == "Disconnected"; });
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(dropped);
        // The status line has room for its fixed text; the cause goes to
        // the standard error.
        EXPECT_NE(err.find("Bluetooth LE: the subscription failed: " + c.Cause), std::string::npos)
            << err;
        EXPECT_EQ(Lamp(), Red);
        EXPECT_EQ(State(), TBleState::Lost);
        EXPECT_FALSE(P::FKeepAlive(Form())->Enabled());
        EXPECT_EQ(Sim().Disconnects(0), 1);
        CloseForm();
        FSim.reset();
    }
}

TEST_F(BleSubscribe, ASubscriptionThatHangsEndsAt15Seconds) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].Subscribe = "hang";
    StartFormOffline();
    ConnectToSubscribing();
    FClock->Advance(300);
    ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
    Fire(P::FConnTimeout(Form()), 15000);
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_EQ(Lamp(), Red);
    // The subscription that returns after all belongs to the dead attempt.
    Sim().ReleaseHangs();
    ASSERT_TRUE(WaitFor([&] { return P::FBleWorkers(Form())->Running() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(P::FKeepAlive(Form())->Enabled());
}

TEST_F(BleSubscribe, KeepAliveWritesZeroToTheCharacteristicNeverTwoAtOnce) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToLinked();
    Fire(P::FKeepAlive(Form()), 5000);
    ASSERT_TRUE(WaitFor([&] { return Sim().Writes().size() == 1; }));
    EXPECT_EQ(Sim().Writes()[0].Uuid, Ffe1);
    EXPECT_EQ(Sim().Writes()[0].Bytes, QByteArray(1, '\0'));
    ASSERT_TRUE(WaitForWorkers());

    // A write that stalls: the next ticks wait for it instead of piling up.
    Sim().SetBehaviour(0, [](TSimDeviceSetup& d) { d.Write = "hang"; });
    Fire(P::FKeepAlive(Form()), 5000);
    ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
    for (int i = 0; i < 3; ++i) Fire(P::FKeepAlive(Form()), 5000);
    EXPECT_EQ(P::FBleWorkers(Form())->Running(), 1);
    EXPECT_EQ(Sim().MostWritesAtOnce(), 1);

    Sim().SetBehaviour(0, [](TSimDeviceSetup& d) { d.Write = "ok"; });
    Sim().ReleaseHangs();
    ASSERT_TRUE(WaitFor([&] { return Sim().Writes().size() == 2; }));
    ASSERT_TRUE(WaitForWorkers());
    Fire(P::FKeepAlive(Form()), 5000);
    ASSERT_TRUE(WaitFor([&] { return Sim().Writes().size() == 3; }));
    EXPECT_EQ(Sim().MostWritesAtOnce(), 1);
}

TEST_F(BleSubscribe, TheDeviceLosingTheLinkReconnectsAfterTwoSeconds) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToLinked();
    Sim().DropLink(0, true, false);
    ASSERT_TRUE(WaitFor([&] { return Status() == "Reconnecting..."; }));
    EXPECT_EQ(Lamp(), Red);
    EXPECT_FALSE(P::FKeepAlive(Form())->Enabled());
    EXPECT_EQ(State(), TBleState::Lost);

    // Edited during the pause: the reconnect puts the old text back.
    Form().Edit2->SetText("something else");
    ASSERT_TRUE(WaitForPause());
    FClock->Advance(1999);
    QCoreApplication::processEvents();
    EXPECT_EQ(State(), TBleState::Lost);
    FClock->Advance(1);
    ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Searching; }));
    EXPECT_EQ(Form().Edit2->Text(), "KVRN");
    EXPECT_EQ(Status(), "Connecting...");
    FinishDiscovery();
    ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Subscribing; }));
    EXPECT_EQ(Sim().Connects(0), 2);
}

TEST_F(BleSubscribe, TheComponentReportingTheLossDropsWithoutReconnect) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToLinked();
    // Both reports, the component's first: the first one drops the link and
    // the device's then finds nothing to reconnect.
    Sim().DropLink(0, true, true, false);
    ASSERT_TRUE(WaitFor([&] { return Status() == "Disconnected"; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(P::FBleWorkers(Form())->Running(), 0);
    FClock->Advance(2000);
    QCoreApplication::processEvents();
    EXPECT_EQ(State(), TBleState::Lost);
    EXPECT_EQ(Status(), "Disconnected");
}

TEST_F(BleSubscribe, ALossBeforeTheConnectedStepDoesNotReconnect) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].Connect = "hang";
    StartFormOffline();
    Connect("KVRN");
    ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
    Sim().DropLink(0, true, false);
    ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Lost; }));
    EXPECT_EQ(Lamp(), Red);
    EXPECT_NE(Status(), "Reconnecting...");
    EXPECT_FALSE(P::FConnTimeout(Form())->Enabled());
}

// SCAN during the pause supersedes the lost link's reconnect.
TEST_F(BleSubscribe, ScanDuringTheReconnectPauseCancelsTheReconnect) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToLinked();
    Sim().DropLink(0, true, false);
    ASSERT_TRUE(WaitFor([&] { return Status() == "Reconnecting..."; }));
    ASSERT_TRUE(WaitForPause());
    Form().SCAN->Click();
    FClock->Advance(2000);
    ASSERT_TRUE(WaitFor([&] { return P::FBleWorkers(Form())->Running() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(State(), TBleState::Scanning);
    FinishDiscovery();
    EXPECT_EQ(Lamp(), Silver);  // the scan ended; nothing connected after it
    EXPECT_EQ(Sim().Connects(0), 1);
}

TEST_F(BleSubscribe, DroppingTwiceDoesNothingTheSecondTime) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToLinked();
    Link().SetBleDisconnected();
    Form().Memo2->Lines()->Assign({"after"});
    Form().Shape1->SetBrushColor(Silver);
    Link().SetBleDisconnected();
    EXPECT_EQ(ScanLines(), QStringList{"after"});
    EXPECT_EQ(Lamp(), Silver);
    EXPECT_EQ(Sim().Disconnects(0), 1);
}
