// Notifications into shots, other bytes into log lines that never count as
// values, and the whole simulated script of TARVEX_BLE_SIMULATION.
#include "ble/BleFixture.h"
#include "series/core/Statistics.h"

using namespace ble_test;

class BleNotify : public BleFixture {
protected:
    void Linked() {
        FSetup.Devices = {Chronograph()};
        FSetup.Devices[0].Services = {{Ffe0, {{Ffe1, {Cccd}}, {Fff1, {}}}}};
        StartFormOffline();
        ConnectToLinked();
    }
    bool WaitForShots(int n) {
        return WaitFor([&] { return Shots().size() >= n; });
    }
};

TEST_F(BleNotify, TextLinesBecomeShotsAcrossNotifications) {
    Linked();
    Sim().Notify(0, Ffe1, "812.");
    Sim().Notify(0, Ffe1, "3\r\n 815.1  \r\n\r\n   \n816");
    ASSERT_TRUE(WaitForShots(2));
    QCoreApplication::processEvents();
    EXPECT_EQ(Shots(), (QStringList{"812.3", "815.1"}));
    EXPECT_EQ(P::BleRxText(Form()), "816");
    EXPECT_EQ(ShownSeries().Stats().Count, 2u);

    // Another characteristic, a failed status and an empty value change
    // nothing, also with a partial line held.
    Sim().Notify(0, Fff1, "1\n");
    Sim().Notify(0, Ffe1, "2\n", TBluetoothGattStatus::Failure);
    Sim().Notify(0, Ffe1, "");
    Sim().Notify(0, Ffe1, ".5\n");
    ASSERT_TRUE(WaitForShots(3));
    EXPECT_EQ(Shots(), (QStringList{"812.3", "815.1", "816.5"}));
}

// A byte such as 0x12 logs "12": with the marker it can never be read back
// as a shot by any reader of the list.
TEST_F(BleNotify, OtherBytesAreLoggedAndNeverCountAsShots) {
    Linked();
    Sim().Notify(0, Ffe1, "81");
    Sim().Notify(0, Ffe1, QByteArray("\x31\xFF\x0A", 3));
    Sim().Notify(0, Ffe1, QByteArray(1, '\x12'));
    Sim().Notify(0, Ffe1, "2.5\n");
    ASSERT_TRUE(WaitForShots(3));
    EXPECT_EQ(Shots(), (QStringList{"LOG: 31 FF 0A", "LOG: 12", "812.5"}));
    EXPECT_EQ(ShownSeries().Stats().Count, 1u);
    EXPECT_EQ(Form().CountNumericMemoLines(), 1);
    Form().RebuildVelocityCache(true);
    EXPECT_EQ(P::FVelocityCache(Form()).size(), 1u);
    Form().RefreshCommand();
    EXPECT_EQ(ShownSeries().Stats().Count, 1u);
}

TEST_F(BleNotify, InputIsDroppedWhileTheListIsLocked) {
    Linked();
    Sim().Notify(0, Ffe1, "81");
    ASSERT_TRUE(WaitFor([&] { return P::BleRxText(Form()) == "81"; }));
    Form().ResetReceive(true, false);
    EXPECT_TRUE(P::BleRxText(Form()).isEmpty());
    // Whatever arrives while the flag is set empties the partial text.
    P::FRxCutter(Form()).Feed("9", 1);
    ASSERT_EQ(P::BleRxText(Form()), "9");
    Sim().Notify(0, Ffe1, "2.5\n");
    ASSERT_TRUE(WaitFor([&] { return P::BleRxText(Form()).isEmpty(); }));
    Form().ResetReceive(false, false);
    Sim().Notify(0, Ffe1, "7.1\n");
    ASSERT_TRUE(WaitForShots(1));
    EXPECT_EQ(Shots(), QStringList{"7.1"});
}

// A line the device never finished is listed as a log line, as on the
// serial link, when the link drops or SCAN or CONNECT starts again; it never
// becomes a shot and never joins the next link's first line.
TEST_F(BleNotify, AnUnfinishedLineIsListedWhenTheLinkEnds) {
    enum class TEnd { DeviceDrops, ComponentDrops, Scan, Connect };
    const struct {
        const char* Name;
        TEnd End;
    } cases[] = {
        {"the device drops the link", TEnd::DeviceDrops},
        {"the component reports the loss", TEnd::ComponentDrops},
        {"SCAN", TEnd::Scan},
        {"CONNECT", TEnd::Connect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Linked();
        Sim().Notify(0, Ffe1, "812.5\n 81");
        ASSERT_TRUE(WaitFor([&] { return P::BleRxText(Form()) == " 81"; }));
        switch (c.End) {
            case TEnd::DeviceDrops:
                Sim().DropLink(0, true, false);
                break;
            case TEnd::ComponentDrops:
                Sim().DropLink(0, false, true);
                break;
            case TEnd::Scan:
                Form().SCAN->Click();
                break;
            case TEnd::Connect:
                Form().CONNECT->Click();
                break;
        }
        ASSERT_TRUE(WaitForShots(2));
        QCoreApplication::processEvents();
        EXPECT_EQ(Shots(), (QStringList{"812.5", "LOG: unfinished line: 81"}));
        EXPECT_EQ(ShownSeries().Stats().Count, 1u);
        EXPECT_TRUE(P::BleRxText(Form()).isEmpty());
        CloseForm();
        FSim.reset();
    }
}

// While the list is locked nothing received reaches it, an unfinished line
// neither.
TEST_F(BleNotify, AnUnfinishedLineIsDroppedWhileInputIsDiscarded) {
    Linked();
    Sim().Notify(0, Ffe1, "81");
    ASSERT_TRUE(WaitFor([&] { return P::BleRxText(Form()) == "81"; }));
    Form().ResetReceive(true, false);
    P::FRxCutter(Form()).Feed("9", 1);
    Sim().DropLink(0, false, true);
    ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Lost; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Shots().isEmpty()) << Shots().join('|').toStdString();
    EXPECT_TRUE(P::BleRxText(Form()).isEmpty());
}

TEST_F(BleNotify, LogLinesAreAppendedAsTheListsLastLine) {
    StartFormOffline();
    TMemo* memo = Form().Memo1;
    TForm1::MemoAppendLine(memo, "AB\r\n");
    EXPECT_EQ(memo->Lines()->Strings(0), "AB");
    EXPECT_EQ(memo->Lines()->Count(), 1);
    memo->SetText("812.3   ");
    TForm1::MemoAppendLine(memo, "CD");
    EXPECT_EQ(memo->Lines()->ToStringList(), (QStringList{"812.3", "CD"}));

    QStringList full;
    for (int i = 0; i < 10000; ++i) full << QString::number(i);
    memo->Lines()->Assign(full);
    TForm1::MemoAppendLine(memo, "last");
    EXPECT_EQ(memo->Lines()->Count(), 10000);
    EXPECT_EQ(memo->Lines()->Strings(0), "1");
    EXPECT_EQ(memo->Lines()->Strings(9999), "last");
}

// The script of the README's example file, on the test's clock.
TEST_F(BleNotify, TheSimulationFileScriptRunsEndToEnd) {
    const QByteArray json = R"({
      "devices": [{
        "name": "kvrn", "address": "AA:BB:CC:DD:EE:FF", "rssi": -60,
        "services": [{"uuid": "0000ffe0-0000-1000-8000-00805f9b34fb",
          "characteristics": [{"uuid": "0000ffe1-0000-1000-8000-00805f9b34fb",
            "descriptors": ["00002902-0000-1000-8000-00805f9b34fb"]}]}],
        "notifications": [{"at_ms": 1000, "text": "812.3\r\n"}, {"at_ms": 1500, "hex": "31FF0A"}],
        "drop_at_ms": 20000
      }],
      "writes": "writes.log"
    })";
    QString error;
    ASSERT_TRUE(ParseSimulation(json, FDir.path(), FSetup, error)) << error.toStdString();
    StartFormOffline();
    ConnectToLinked("kvrn");
    FClock->Advance(1000);
    ASSERT_TRUE(WaitForShots(1));
    EXPECT_EQ(Shots(), QStringList{"812.3"});
    EXPECT_EQ(Form().Label2->Caption().left(3), "812");
    FClock->Advance(500);
    ASSERT_TRUE(WaitForShots(2));
    EXPECT_EQ(Shots(), (QStringList{"812.3", "LOG: 31 FF 0A"}));

    for (int tick = 1; tick <= 3; ++tick) {
        FClock->Advance(tick == 1 ? 3500 : 5000);
        Fire(P::FKeepAlive(Form()), 5000);
        ASSERT_TRUE(WaitFor([&] { return int(Sim().Writes().size()) == tick; }));
        ASSERT_TRUE(WaitForWorkers());
    }
    EXPECT_EQ(ReadFileBytes(FDir.filePath("writes.log")),
              "5000 0000ffe1-0000-1000-8000-00805f9b34fb 00\n"
              "10000 0000ffe1-0000-1000-8000-00805f9b34fb 00\n"
              "15000 0000ffe1-0000-1000-8000-00805f9b34fb 00\n");

    // At 20 s the device drops the link; two seconds later it is searched
    // for again.
    FClock->Advance(5000);
    ASSERT_TRUE(WaitFor([&] { return Status() == "Reconnecting..."; }));
    ASSERT_TRUE(WaitForPause());
    FClock->Advance(2000);
    ASSERT_TRUE(WaitFor([&] { return Status() == "Connecting..."; }));
}
