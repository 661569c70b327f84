// SCAN, CONNECT, the device target, the connect and its watchdog, on a real
// main form against the simulated adapter.
#include <chrono>
#include <thread>

#include <QBluetoothLocalDevice>

#include "ble/BleFixture.h"
#include "platform/core/IniFile.h"

using namespace ble_test;

class BleConnect : public BleFixture {};

TEST_F(BleConnect, WithoutAnAdapterScanAndConnectOnlySaySoAndLeaveTheLinkAlone) {
    FSetup.Adapter = false;
    StartFormOffline();
    Form().Memo2->Lines()->Assign({"a", "b"});
    Form().CONNECT->Click();
    EXPECT_EQ(ScanLines(), (QStringList{"No BT LE adapter", "b"}));
    EXPECT_EQ(Lamp(), Silver);
    EXPECT_EQ(State(), TBleState::Idle);

    Form().SCAN->Click();
    EXPECT_EQ(ScanLines(), QStringList{"No BT LE adapter"});
    EXPECT_EQ(Lamp(), Silver);
    EXPECT_EQ(State(), TBleState::Idle);
}

// The system's stack on a machine without an adapter (the build machine):
// the same answer, through the real backend.
TEST_F(BleConnect, TheSystemStackWithoutAdapterSaysNoAdapter) {
    if (!QBluetoothLocalDevice::allDevices().isEmpty())
        GTEST_SKIP() << "this machine has an adapter";
    SetBleBackendFactoryForTesting(nullptr);
    StartFormOffline();
    Form().SCAN->Click();
    EXPECT_EQ(ScanLines(), QStringList{"No BT LE adapter"});
    Form().CONNECT->Click();
    EXPECT_EQ(ScanLines(), QStringList{"No BT LE adapter"});
    EXPECT_EQ(Lamp(), Silver);
    EXPECT_EQ(Form().Edit2->Text(), "KVRN");
}

TEST_F(BleConnect, ScanListsEachDeviceOnceWithItsLastRssi) {
    FSetup.Devices = {Chronograph("KVRN", "AA:BB:CC:DD:EE:FF"),
                      Chronograph("", "11:22:33:44:55:66"), Chronograph("Twin", ""),
                      Chronograph("Twin", "")};
    FSetup.Devices[0].Rssi = -60;
    FSetup.Devices[1].Rssi = -71;
    FSetup.Devices[2].Rssi = 5;
    FSetup.Devices[3].Rssi = -9;
    StartFormOffline();
    Form().SCAN->Click();
    EXPECT_EQ(Lamp(), Blue);
    ASSERT_TRUE(WaitFor([&] { return ScanLines().size() == 3; }));
    for (int rssi : {-50, -45, -40}) Sim().Advertise(0, rssi);
    ASSERT_TRUE(WaitFor([&] { return ScanLines().value(0).endsWith("-40"); }));
    EXPECT_EQ(ScanLines(),
              (QStringList{"KVRN AABBCCDDEEFF -40", "(no name) 112233445566 -71", "Twin  -9"}));
    FinishDiscovery();
    EXPECT_EQ(Lamp(), Silver);
    EXPECT_EQ(ScanLines().size(), 3);
}

TEST_F(BleConnect, DeviceTargets) {
    StartFormOffline();
    struct TCase {
        const char* Text;
        const char* Name;
        const char* Address;
    } cases[] = {
        {"AA:BB:CC:DD:EE:FF", "", "AABBCCDDEEFF"},
        {"AABBCCDDEE", "AABBCCDDEE", ""},
        {"KVRN AA:BB:CC:DD:EE:FF", "KVRN", "AABBCCDDEEFF"},
        {"  KVRN  ", "KVRN", ""},
        {"My Chrono", "My", "C"},
        {"::::::------", "", ""},
        {"", "", ""},
    };
    for (const TCase& c : cases) {
        Link().ParseDeviceTarget(c.Text);
        EXPECT_EQ(P::FTargetName(Form()), c.Name) << c.Text;
        EXPECT_EQ(P::FTargetAddress(Form()), c.Address) << c.Text;
    }
    EXPECT_EQ(TBleLink::NormalizeHex("aa:bb-0g"), "AABB0");
}

TEST_F(BleConnect, ConnectsByNameInAnyCaseOrByAddressAndRemembersTheDevice) {
    FSetup.Devices = {Chronograph("other", "11:11:11:11:11:11"),
                      Chronograph("kvrn", "AA:BB:CC:DD:EE:FF")};
    StartFormOffline();
    for (const QString target : {"KVRN", "aa:bb:cc:dd:ee:ff", "Kvrn AABBCCDDEEFF"}) {
        Connect(target);
        ASSERT_TRUE(WaitFor([&] { return Link().IsConnected() && !Link().IsConnecting(); }))
            << target.toStdString();
        EXPECT_EQ(P::FBleDevice(Form()), Sim().Device(1));
        EXPECT_EQ(Lamp(), Green);
        EXPECT_EQ(TIniFile(IniFilePath()).ReadString("BLE", "Last", ""), "kvrn AABBCCDDEEFF");
    }
    EXPECT_EQ(Sim().Connects(0), 0);
}

TEST_F(BleConnect, ANamelessDeviceIsRememberedByItsAddress) {
    FSetup.Devices = {Chronograph("", "AA:BB:CC:DD:EE:01")};
    StartFormOffline();
    Connect("AABBCCDDEE01");
    ASSERT_TRUE(WaitFor([&] { return Link().IsConnected(); }));
    EXPECT_EQ(TIniFile(IniFilePath()).ReadString("BLE", "Last", ""), "AABBCCDDEE01");
}

TEST_F(BleConnect, NoMatchingDeviceIsNotFound) {
    FSetup.Devices = {Chronograph("other")};
    StartFormOffline();
    Connect("KVRN");
    EXPECT_EQ(Status(), "Device not found");
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(State(), TBleState::Lost);
    EXPECT_EQ(Sim().Connects(0), 0);
}

// Only separators would otherwise match whatever device answers first.
TEST_F(BleConnect, ATargetOfSeparatorsOnlyIsBlank) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    Form().Memo2->Lines()->Assign({"kept"});
    Form().Edit2->SetText("::::::------");
    Form().CONNECT->Click();
    EXPECT_EQ(State(), TBleState::Idle);
    EXPECT_EQ(ScanLines(), QStringList{"kept"});
    Form().Edit2->SetText("   ");
    Form().CONNECT->Click();
    EXPECT_EQ(State(), TBleState::Idle);
}

TEST_F(BleConnect, AFailedConnectStaysRedUntilTheWatchdogEndsIt) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].Connect = "fail";
    StartFormOffline();
    testing::internal::CaptureStderr();
    Connect("KVRN");
    const bool failed = WaitFor([&] { return Status() == "Connection failed"; });
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(failed);
    // The status line keeps its fixed text; the cause goes to the standard
    // error.
    EXPECT_NE(err.find("Bluetooth LE: the connect failed: Connect failed"), std::string::npos)
        << err;
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(State(), TBleState::ConnectFailed);

    // CONNECT is ignored while the attempt lasts.
    Form().CONNECT->Click();
    EXPECT_EQ(State(), TBleState::ConnectFailed);

    Fire(P::FConnTimeout(Form()), 12000);
    EXPECT_EQ(State(), TBleState::Lost);
    EXPECT_EQ(Status(), "Connection failed");
    EXPECT_EQ(Lamp(), Red);
    EXPECT_FALSE(P::FConnTimeout(Form())->Enabled());
}

// The connect returned but asking for the services failed: the device had
// connected, so the watchdog's drop says "Disconnected", and CONNECT waits
// for it as after a failed connect.
TEST_F(BleConnect, AFailedRequestForTheServicesEndsInDisconnectedAt12Seconds) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].DiscoverServices = "fail";
    StartFormOffline();
    Connect("KVRN");
    ASSERT_TRUE(WaitFor([&] { return Status() == "Connection failed"; }));
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(State(), TBleState::ServicesFailed);
    Form().CONNECT->Click();
    EXPECT_EQ(State(), TBleState::ServicesFailed);

    Fire(P::FConnTimeout(Form()), 12000);
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(State(), TBleState::Lost);
    EXPECT_EQ(Sim().Disconnects(0), 1);
}

TEST_F(BleConnect, ServicesThatNeverComeEndInDisconnectedAt12Seconds) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].DiscoverServices = "silent";
    StartFormOffline();
    Connect("KVRN");
    ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Discovering; }));
    Fire(P::FConnTimeout(Form()), 12000);
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_EQ(Lamp(), Red);
    EXPECT_EQ(Sim().Disconnects(0), 1);
}

// The watchdog gave up on a connect that hung; when the connect returns
// after all, its steps belong to a dead attempt and must not bring back
// "Connected" and a green lamp on a dropped link.
TEST_F(BleConnect, AConnectReturningAfterTheWatchdogChangesNothing) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].Connect = "hang";
    StartFormOffline();
    Connect("KVRN");
    ASSERT_TRUE(WaitFor([&] { return Sim().Blocked() == 1; }));
    Fire(P::FConnTimeout(Form()), 12000);
    EXPECT_EQ(Lamp(), Red);

    Sim().ReleaseHangs();
    ASSERT_TRUE(WaitFor([&] { return P::FBleWorkers(Form())->Running() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(State(), TBleState::Lost);
    EXPECT_EQ(Lamp(), Red);
    EXPECT_NE(Status(), "Connected");
}

TEST_F(BleConnect, ScanDropsALiveLinkAndEndsSilver) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    ConnectToLinked();
    Form().SCAN->Click();
    EXPECT_EQ(State(), TBleState::Scanning);
    EXPECT_EQ(P::FBleDevice(Form()), nullptr);
    EXPECT_EQ(P::FNotifyCharacteristic(Form()), nullptr);
    EXPECT_EQ(Sim().Disconnects(0), 1);
    // The keep-alive finds the link gone and stops itself without a write.
    Fire(P::FKeepAlive(Form()), 5000);
    EXPECT_FALSE(P::FKeepAlive(Form())->Enabled());
    EXPECT_TRUE(Sim().Writes().empty());
    FinishDiscovery();
    EXPECT_EQ(Lamp(), Silver);
}

TEST_F(BleConnect, AutoConnectAtStart) {
    FSetup.Devices = {Chronograph("kvrn")};
    WriteTextFile(IniFilePath(), "[Settings]\nCheckBoxBTAuto=1\n[BLE]\nLast=kvrn\n");
    // Only the port auto-open is stopped: this test waits for the other.
    StartForm();
    KillTimer(&Form(), TIMER_COM_AUTOOPEN);
    EXPECT_EQ(Form().Edit2->Text(), "kvrn");
    // Timer 778 fires once, 1500 ms after start.
    ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Searching; }));
    EXPECT_EQ(Status(), "Connecting...");
    FinishDiscovery();
    ASSERT_TRUE(WaitFor([&] { return Link().IsConnected(); }));
    EXPECT_EQ(Lamp(), Green);
}

// The system's Bluetooth stack may take its time to tell whether there is
// an adapter: until it has, SCAN and CONNECT say there is none, and the
// automatic connect at start waits for the answer instead of being lost.
TEST_F(BleConnect, TheAutoConnectWaitsForTheAdaptersFirstAnswer) {
    const struct {
        const char* Name;
        TBleAdapterState Answer;
        bool TickedAtAnswer;
        bool Connects;
    } cases[] = {
        {"an adapter", TBleAdapterState::Present, true, true},
        {"an adapter, box unticked meanwhile", TBleAdapterState::Present, false, false},
        {"no adapter", TBleAdapterState::Absent, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FSetup.Devices = {Chronograph()};
        WriteTextFile(IniFilePath(), "[Settings]\nCheckBoxBTAuto=1\n[BLE]\nLast=KVRN\n");
        StartFormOffline();
        Sim().SetAdapterState(TBleAdapterState::Unknown);
        QCoreApplication::processEvents();
        EXPECT_FALSE(Form().BluetoothLE1->AdapterKnown());
        Form().SCAN->Click();
        EXPECT_EQ(ScanLines(), QStringList{"No BT LE adapter"});
        Form().CONNECT->Click();
        EXPECT_EQ(ScanLines(), QStringList{"No BT LE adapter"});
        EXPECT_EQ(State(), TBleState::Idle);

        // Timer 778 fires while nothing is known yet.
        SendMessage(&Form(), WM_TIMER, TIMER_BLE_AUTOCONNECT, 0);
        EXPECT_EQ(State(), TBleState::Idle);
        EXPECT_EQ(Sim().Discoveries(), 0);

        Form().CheckBox3->SetChecked(c.TickedAtAnswer);
        Sim().SetAdapterState(c.Answer);
        ASSERT_TRUE(WaitFor([&] { return Form().BluetoothLE1->AdapterKnown(); }));
        QCoreApplication::processEvents();
        if (c.Connects) {
            EXPECT_EQ(State(), TBleState::Searching);
            EXPECT_EQ(Status(), "Connecting...");
            FinishDiscovery();
            ASSERT_TRUE(WaitFor([&] { return Link().IsConnected(); }));
        } else {
            EXPECT_EQ(State(), TBleState::Idle);
        }
        // Decided once: a later change of the adapter connects nothing.
        const int discoveries = Sim().Discoveries();
        Sim().SetAdapterState(TBleAdapterState::Absent);
        Sim().SetAdapterState(TBleAdapterState::Present);
        QCoreApplication::processEvents();
        EXPECT_EQ(Sim().Discoveries(), discoveries);
        EXPECT_EQ(Sim().Discoveries(), c.Connects ? 1 : 0);
        CloseForm();
        FSim.reset();
    }
}

// A discovery stopped for a new one may have reported its end already, on
// its way to the main thread when the new one starts: that end belongs to
// the old discovery and must not end the new CONNECT search with "Device
// not found".
TEST_F(BleConnect, TheEndOfAReplacedDiscoveryDoesNotEndTheNewSearch) {
    FSetup.Devices = {Chronograph()};
    StartFormOffline();
    Form().SCAN->Click();
    // The scan's end is reported by the adapter's thread and queued for the
    // main thread, which does not run it yet.
    FClock->Advance(5000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Sim().Discovering() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_FALSE(Sim().Discovering());
    EXPECT_EQ(State(), TBleState::Scanning);

    Form().Edit2->SetText("KVRN");
    Form().CONNECT->Click();
    QCoreApplication::processEvents();
    EXPECT_EQ(State(), TBleState::Searching);
    EXPECT_EQ(Status(), "Connecting...");
    EXPECT_EQ(Lamp(), Blue);

    // The search's own end chooses the device.
    FinishDiscovery();
    ASSERT_TRUE(WaitFor([&] { return Link().IsConnected(); })) << Status().toStdString();
    EXPECT_EQ(Sim().Discoveries(), 2);
}

TEST_F(BleConnect, TheRememberedDeviceFillsTheTargetBox) {
    struct TCase {
        QByteArray Ini;
        const char* Edit2;
    } cases[] = {
        {"[BLE]\nLast=   \n", "KVRN"},
        {"[BLE]\nLast=kvrn AABB\n", "kvrn AABB"},
        {"[Settings]\n", "KVRN"},
    };
    for (const TCase& c : cases) {
        WriteTextFile(IniFilePath(), c.Ini);
        StartFormOffline();
        EXPECT_EQ(Form().Edit2->Text(), c.Edit2) << c.Ini.constData();
        CloseForm();
    }
}

// The red lamp of a failure goes silver when the mouse moves, unless a
// connection is under way.
TEST_F(BleConnect, MouseMovementClearsARedLampOnlyWhenIdle) {
    FSetup.Devices = {Chronograph()};
    FSetup.Devices[0].Connect = "fail";
    StartFormOffline();
    Connect("KVRN");
    ASSERT_TRUE(WaitFor([&] { return Status() == "Connection failed"; }));
    TMsg move{};
    move.message = WM_MOUSEMOVE;
    bool handled = false;
    Form().AppMessage(move, handled);
    EXPECT_EQ(Lamp(), Red);  // still connecting until the watchdog
    Fire(P::FConnTimeout(Form()), 12000);
    Form().AppMessage(move, handled);
    EXPECT_EQ(Lamp(), Silver);
    EXPECT_FALSE(handled);
}
