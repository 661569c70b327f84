// The Bluetooth LE link through Qt's BlueZ backend, against the stand-in:
// what the simulated adapter cannot show.
#include "BlueZFixture.h"

using namespace bluez_test;

class BlueZLink : public BlueZFixture {};

TEST_F(BlueZLink, ScanListsEveryDeviceWithNameAddressAndStrengthAndKeepsClassicOnes) {
    StandIn().Command(QStringLiteral("device hci0 AA:BB:CC:DD:EE:01 -55 le KVRN"));
    StandIn().Command(QStringLiteral("device hci0 AA:BB:CC:DD:EE:02 -70 le"));
    // Seen over classic Bluetooth before: Qt does not flag it Low Energy.
    StandIn().Command(QStringLiteral("device hci0 AA:BB:CC:DD:EE:03 -61 classic Phone"));
    StartFormOffline();
    Form().SCAN->Click();
    ASSERT_TRUE(WaitFor([&] { return Lamp() == Silver; }, 30));
    const QStringList lines = Form().Memo2->Lines()->ToStringList();
    EXPECT_TRUE(lines.contains(QStringLiteral("KVRN AABBCCDDEE01 -55")))
        << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Phone AABBCCDDEE03 -61")))
        << lines.join('|').toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("AABBCCDDEE02")).size(), 1)
        << lines.join('|').toStdString();
    EXPECT_EQ(lines.size(), 3) << lines.join('|').toStdString();
}

TEST_F(BlueZLink, ConnectsByNameAndAddressSubscribesWithoutReadingAndTurnsNotificationsIntoShots) {
    AddChronograph();
    StartFormOffline();
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked(QStringLiteral("kvrn")));
    // Details are learnt without value reads (a read can start pairing).
    EXPECT_EQ(StandIn().Count(QStringLiteral("READ")), 0)
        << StandIn().Events().join('|').toStdString();
    Notify("12.");
    Notify("3\r\n");
    ASSERT_TRUE(WaitFor([&] { return MemoLines().contains(QStringLiteral("12.3")); }));
    Notify(QByteArray::fromHex("31ff0a"));
    ASSERT_TRUE(WaitFor([&] { return !MemoLines().filter(QStringLiteral("31 FF 0A")).isEmpty(); }));
    EXPECT_EQ(MemoLines().filter(QStringLiteral("12.3")).size(), 1);

    ASSERT_NO_FATAL_FAILURE(ConnectToLinked(QStringLiteral("AA:BB:CC:DD:EE:01")));
    Notify("45.6\n");
    ASSERT_TRUE(WaitFor([&] { return MemoLines().contains(QStringLiteral("45.6")); }));
}

TEST_F(BlueZLink, ChoosesTheNotifyCharacteristic) {
    struct Case {
        const char* Table;
        QString Expected;
    };
    const Case cases[] = {
        {R"([{"uuid":"ffe0","chars":[{"uuid":"ffe7","descs":["2902"]},{"uuid":"ffe1","descs":["2902"]}]}])",
         Ffe7},
        {R"([{"uuid":"fff0","chars":[{"uuid":"fff1","descs":["2902"]}]},{"uuid":"ffe0","chars":[{"uuid":"ffe7","descs":["2902"]}]}])",
         Ffe7},
        {R"([{"uuid":"fff0","chars":[{"uuid":"fff2","descs":[]},{"uuid":"fff1","descs":["2902"]}]}])",
         QStringLiteral("0000fff1-0000-1000-8000-00805f9b34fb")},
    };
    StartFormOffline();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Table);
        AddChronograph(Kvrn, QString::fromLatin1(c.Table));
        StandIn().ClearEvents();
        ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
        const QStringList started = StandIn().Events().filter(QStringLiteral("START_NOTIFY"));
        ASSERT_EQ(started.size(), 1);
        EXPECT_TRUE(started[0].endsWith(c.Expected)) << started[0].toStdString();
    }
}

TEST_F(BlueZLink, DeviceMissingFailingOrNeverAnsweringTheConnect) {
    StartFormOffline();
    PressConnect(QStringLiteral("NOPE"));
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Device not found")));
    EXPECT_EQ(Lamp(), Red);

    AddChronograph();
    StandIn().Command(QStringLiteral("connect_mode %1 fail").arg(Kvrn));
    PressConnect(QStringLiteral("KVRN"));
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Connection failed")));
    EXPECT_EQ(Lamp(), Red);
    Fire(P::FConnTimeout(Form()));
    EXPECT_EQ(BleStatus(), QStringLiteral("Connection failed"));

    // A connect that never returns: the watchdog ends the attempt, and says
    // so, instead of leaving "Connecting..." for good.
    StandIn().Command(QStringLiteral("connect_mode %1 hang").arg(Kvrn));
    PressConnect(QStringLiteral("KVRN"));
    ASSERT_TRUE(WaitForEvents(QStringLiteral("CONNECT"), 2));
    EXPECT_EQ(BleStatus(), QStringLiteral("Connecting..."));
    Fire(P::FConnTimeout(Form()));
    EXPECT_EQ(BleStatus(), QStringLiteral("Connection failed"));
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(State(), TBleState::Lost);

    // And the next CONNECT works.
    StandIn().Command(QStringLiteral("connect_mode %1 ok").arg(Kvrn));
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
}

TEST_F(BlueZLink, ConnectRightAfterScanRunsItsOwnSearch) {
    AddChronograph();
    StartFormOffline();
    Form().SCAN->Click();
    WaitFor([] { return false; }, 0);
    PressConnect(QStringLiteral("KVRN"));
    // The stopped scan's end must not end the CONNECT search as well.
    ASSERT_TRUE(WaitFor(
        [&] {
            return BleStatus() == QLatin1String("Device not found") ||
                   State() == TBleState::Subscribing;
        },
        30));
    EXPECT_EQ(State(), TBleState::Subscribing) << BleStatus().toStdString();
}

TEST_F(BlueZLink, KeepAliveWritesEveryTickWithoutCollectingHandlers) {
    AddChronograph();
    StartFormOffline();
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    const auto tick = [&](int n) {
        const int before = StandIn().Count(QStringLiteral("WRITE"));
        Fire(P::FKeepAlive(Form()));
        ASSERT_TRUE(WaitForEvents(QStringLiteral("WRITE"), before + 1)) << n;
        ASSERT_TRUE(WaitFor([&] { return P::FBleWorkers(Form())->Running() == 0; }));
    };
    for (int i = 0; i < 20; ++i) tick(i);
    StandIn().ClearEvents();
    const int handlers = Handlers();
    ASSERT_GT(handlers, 0);
    for (int i = 0; i < 1500; ++i) {
        tick(i);
        if (HasFatalFailure()) return;
        if (i % 100 == 0) StandIn().ClearEvents();
    }
    EXPECT_EQ(Handlers(), handlers);
    EXPECT_TRUE(StandIn().Events().filter(QStringLiteral("WRITE")).value(0).endsWith(" 00"));
}

TEST_F(BlueZLink, DropsByTheDeviceAndByBlueZReconnect) {
    AddChronograph();
    StartFormOffline();
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    const int handlers = Handlers();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        StandIn().Command(QStringLiteral("drop %1").arg(Kvrn));
        ASSERT_TRUE(WaitForStatus(QStringLiteral("Reconnecting...")));
        EXPECT_EQ(Lamp(), Red);
        ASSERT_TRUE(WaitFor([&] { return FClock->Waiters() >= 1; }));
        FClock->Advance(2000);
        ASSERT_TRUE(WaitForSubscribePause()) << BleStatus().toStdString();
        FClock->Advance(300);
        ASSERT_TRUE(WaitForLinked()) << BleStatus().toStdString();
        Notify("1.5\n");
        ASSERT_TRUE(WaitFor([&] { return MemoLines().count(QStringLiteral("1.5")) == round + 1; }));
    }
    // Reconnecting reuses what the link needs: nothing piles up.
    EXPECT_EQ(Handlers(), handlers);

    // BlueZ forgets the device while linked; it advertises again later.
    StandIn().Command(QStringLiteral("forget %1").arg(Kvrn));
    ASSERT_TRUE(WaitFor([&] { return Lamp() == Red; }, 30)) << BleStatus().toStdString();
    AddChronograph();
    if (BleStatus() == QLatin1String("Reconnecting...")) {
        ASSERT_TRUE(WaitFor([&] { return FClock->Waiters() >= 1; }));
        FClock->Advance(2000);
        ASSERT_TRUE(WaitForSubscribePause()) << BleStatus().toStdString();
        FClock->Advance(300);
        ASSERT_TRUE(WaitForLinked()) << BleStatus().toStdString();
    } else {
        ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    }
    Notify("2.5\n");
    ASSERT_TRUE(WaitFor([&] { return MemoLines().contains(QStringLiteral("2.5")); }));
}

TEST_F(BlueZLink, AdapterSwitchedOffOrRemovedIsNoAdapter) {
    AddChronograph();
    StartFormOffline();
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    StandIn().Command(QStringLiteral("power hci0 0"));
    ASSERT_TRUE(WaitFor([&] { return !Link().IsConnected(); }, 30));
    // The reconnect finds no adapter: it says so, not "Device not found".
    ASSERT_TRUE(WaitFor([&] { return FClock->Waiters() >= 1; }));
    FClock->Advance(2000);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("No BT LE adapter"))) << BleStatus().toStdString();
    PressConnect(QStringLiteral("KVRN"));
    ASSERT_TRUE(WaitForStatus(QStringLiteral("No BT LE adapter"))) << BleStatus().toStdString();
    EXPECT_EQ(Lamp(), Silver);
    Form().SCAN->Click();
    EXPECT_EQ(BleStatus(), QStringLiteral("No BT LE adapter"));

    StandIn().Command(QStringLiteral("power hci0 1"));
    ASSERT_TRUE(WaitFor([&] { return Form().BluetoothLE1->GetCurrentManager() != nullptr; }, 30));
    ASSERT_NO_FATAL_FAILURE(ConnectToLinked());
    StandIn().Command(QStringLiteral("remove_adapter hci0"));
    ASSERT_TRUE(WaitFor([&] { return !Link().IsConnected(); }, 30));
    ASSERT_TRUE(WaitFor([&] { return Form().BluetoothLE1->GetCurrentManager() == nullptr; }, 30));
    PressConnect(QStringLiteral("KVRN"));
    EXPECT_EQ(BleStatus(), QStringLiteral("No BT LE adapter"));
}
