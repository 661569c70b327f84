#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "links/core/ReceivedLineQueue.h"
#include "links/core/LineCutter.h"
#include "platform/ble/BluetoothLE.h"

class TBleWorkers;
class TCheckBox;
class TEdit;
class TMemo;
class TShape;
class TStringList;
class TTimer;

// The 16-bit UUIDs 0xFFE1, 0xFFE7 (notify characteristics) and 0x2902 (client
// characteristic configuration) on the Bluetooth base UUID.
extern const TGUID CharUuidFFE1;
extern const TGUID CharUuidFFE7;
extern const TGUID CccdUuid;

// The link's watchdog while connecting and while subscribing, and the
// keep-alive period, in milliseconds.
constexpr unsigned ConnectWatchdogMs = 12000;
constexpr unsigned SubscribeWatchdogMs = 15000;
constexpr unsigned KeepAliveMs = 5000;

// Where the Bluetooth LE link stands. Each state has one lamp colour (see
// BleLampColor) and its own timers; TBleLink::Enter is the one place that
// moves from one to another.
enum class TBleState {
    Idle,            // nothing under way; silver
    Scanning,        // SCAN lists the devices in range; blue
    Searching,       // CONNECT looks for its target; blue
    Connecting,      // the device is being connected; blue, watchdog 12 s
    ConnectFailed,   // the connect failed; red until the watchdog ends it
    Discovering,     // connected, its services are awaited; green, watchdog 12 s
    ServicesFailed,  // connected, asking for the services failed; red until the watchdog
    Choosing,        // the services came; the notify characteristic is being looked for; green
    NoNotify,        // connected without a characteristic to listen to; green
    Subscribing,     // the notifications are being switched on; green, watchdog 15 s
    Linked,          // notifications arrive; green, keep-alive every 5 s
    Lost,            // not found, failed or dropped; red until the mouse moves
};

// The lamp's colour in a state: silver idle, blue while scanning, searching
// or connecting, green once connected, red after a failure or a loss.
TColor BleLampColor(TBleState state);

// What the link needs of the main form, given once at construction.
struct TBleLinkHost {
    TBluetoothLE* Adapter = nullptr;   // BluetoothLE1
    TShape* Lamp = nullptr;            // Shape1
    TEdit* Target = nullptr;           // Edit2: the device name or address
    TMemo* Status = nullptr;           // Memo2: the status line and the scan list
    TCheckBox* AutoConnect = nullptr;  // CheckBox3: connect by itself at start
    // Any thread: queues a received line or a log line behind the lines
    // before it (dropped while input is discarded).
    std::function<void(TReceivedLine)> QueueLine;
    // Any thread: whether received input is being dropped.
    std::function<bool()> Discarding;
    // Main thread: a CONNECT has started a new search.
    std::function<void()> ConnectStarted;
};

// The program's Bluetooth LE link to the chronograph: scan, connect by name
// or address, the choice of the notify characteristic, the subscription, the
// keep-alive, the watchdog, link loss and reconnect, and the notifications
// cut into received lines. It owns its state, the device and characteristics
// it borrows from the Bluetooth LE layer, the scan index, both timers, its
// workers and the count of attempts that tells a current step from a stale
// one.
//
// Threads: every member function runs on the main thread unless it says
// otherwise. A worker only makes one blocking call of the layer and queues
// the next step, which runs on the main thread only while the link is open
// and its attempt is still the current one (SCAN, CONNECT, a drop and Close
// each start a new attempt).
class TBleLink {
public:
    // Creates the timers, the scan index and the workers; the lamp is silver.
    // iniPath is the settings file, for [BLE] Last.
    TBleLink(TBleLinkHost host, QString iniPath);
    TBleLink(const TBleLink&) = delete;
    TBleLink& operator=(const TBleLink&) = delete;
    // Close().
    ~TBleLink();

    TBleState State() const { return FState; }
    // From the start of a connect until its services came or it was dropped.
    bool IsConnecting() const;
    // From the device's connect until the link is dropped or reset.
    bool IsConnected() const;
    bool IsSubscribing() const { return FState == TBleState::Subscribing; }

    // ---- The buttons.
    void SCANClick(TObject* Sender);
    // Also run by the automatic connect and by a reconnect.
    void CONNECTClick(TObject* Sender);
    // The automatic connect at start (the form's one-shot timer): CONNECT
    // when the auto-connect box is ticked, an adapter is present, the device
    // box is not blank and no link is being made or held. While the system
    // has not yet told whether there is an adapter, it waits for that answer
    // and decides then.
    void AutoConnect();

    // ---- Target and remembered device.
    void ParseDeviceTarget(const QString& text);
    static QString NormalizeHex(const QString& text);
    bool MatchesTarget(TBluetoothLEDevice* device);
    void LoadBleLast();
    void SaveBleLast();

    // Drops a link that is being made or held: red, "Disconnected" when it
    // had connected. Nothing when none is.
    void SetBleDisconnected();
    // Line 0 of the status memo becomes text.
    void ShowBleStatus(const QString& text);
    // Any thread: queues LogLinePrefix + text for the shot list behind the
    // lines received before it, so the list keeps the order the device sent.
    void Log(const QString& text);
    // On the characteristic worker: the characteristic to subscribe to
    // (FFE1 or FFE7 first, then any with a 2902 descriptor), or null.
    TBluetoothGattCharacteristic* FindNotifyCharacteristic(
        const TBluetoothGattServiceList& services);

    // The user moved the mouse: a red lamp of a lost link goes silver.
    void MouseMoved();
    // Forgets the unfinished notification line (the receive path was reset).
    void ClearReceivedText();
    // Cancels and joins every worker, drops every queued step, detaches the
    // adapter's events and frees the timers and the scan index; afterwards
    // the link does nothing. Safe to call more than once.
    void Close();

private:
    friend class TForm1Probe;

    // ---- The adapter's events (main thread) and the link timers' ticks.
    void BluetoothLE1DiscoverLEDevice(TObject* Sender, TBluetoothLEDevice* ADevice, int Rssi,
                                      const TBytes& ScanResponse);
    void BluetoothLE1EndDiscoverDevices(TObject* Sender,
                                        const std::vector<TBluetoothLEDevice*>& devices);
    void BluetoothLE1ServicesDiscovered(TObject* Sender, TBluetoothGattServiceList* services);
    void BluetoothLE1CharacteristicRead(TObject* Sender,
                                        TBluetoothGattCharacteristic* ACharacteristic,
                                        TBluetoothGattStatus AGattStatus);
    void BluetoothLE1DisconnectDevice(TObject* Sender, TBluetoothLEDevice* ADevice);
    void BluetoothLE1AdapterChanged(TObject* Sender);
    void ConnTimeoutTimer(TObject* Sender);
    void KeepAliveTimer(TObject* Sender);

    // Moves to state: lamp, watchdog and keep-alive as the state has them,
    // then status in the status line when it is not empty.
    void Enter(TBleState state, const QString& status = QString());
    // SCAN or CONNECT without an adapter: says so; a link being made or held
    // is left as it is.
    void ShowNoAdapter();
    // Lets the device go and forgets the link; the caller enters the next
    // state.
    void ResetBleLink();
    // The notification text that no line end finished is listed as a log
    // line (the link dropped or a new SCAN or CONNECT began).
    void ListUnfinishedLine();
    // Queues a received line or a log line; every line of the link goes
    // through here.
    void QueueLine(TReceivedLine line);
    bool Closed() const { return !FAlive->load(); }

    // The steps queued by the workers and the device, in the order they come.
    void ConnectedStep();
    void ConnectFailedStep(const QString& cause);
    void ChosenStep(TBluetoothGattCharacteristic* characteristic);
    void NoNotifyStep(const QString& status);
    void SubscribedStep();
    void SubscribeFailedStep(const QString& cause);
    void LinkLossStep();
    void ReconnectStep(const QString& text);

    // The workers: each makes its blocking calls and queues the next step.
    void ConnectWorker(TBluetoothLEDevice* device, std::uint64_t attempt);
    void CharacteristicWorker(const TBluetoothGattServiceList& services, std::uint64_t attempt);
    void SubscribeWorker(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* characteristic,
                         std::uint64_t attempt);
    void KeepAliveWorker(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* characteristic,
                         std::uint64_t attempt);
    void ReconnectWorker(const QString& text, std::uint64_t attempt);

    void StartWorker(std::function<void()> work);
    // From any thread: runs step on the main thread while the link is open
    // and attempt is still the current one.
    void QueueStep(std::uint64_t attempt, void (TBleLink::*step)());
    void QueueStep(std::uint64_t attempt, std::function<void(TBleLink&)> step);

    const TBleLinkHost FHost;
    TBleState FState = TBleState::Idle;
    TBluetoothLEDevice* FBleDevice = nullptr;
    TBluetoothGattCharacteristic* FNotifyCharacteristic = nullptr;
    TBluetoothGattCharacteristic* FWriteCharacteristic = nullptr;
    // Cuts the text notifications into lines; it holds the unfinished one.
    TLineCutter FRxCutter;
    std::unique_ptr<TStringList> FScanIndex;
    QString FTargetName;
    QString FTargetAddress;
    std::unique_ptr<TTimer> FConnTimeout;
    std::unique_ptr<TTimer> FKeepAlive;
    QString FIniPath;
    // The automatic connect waits for the adapter's first answer.
    bool FAutoConnectPending = false;
    std::atomic<std::uint64_t> FBleAttempt{0};
    // False once the link is closed; queued steps hold it and do nothing
    // after that.
    const std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
    std::unique_ptr<TBleWorkers> FBleWorkers;
    // A keep-alive write is under way; a tick skips while it is.
    std::atomic<bool> FBleWriteInFlight{false};
    // A keep-alive write failed and was reported; cleared by one that works.
    std::atomic<bool> FBleWriteFailing{false};
};
