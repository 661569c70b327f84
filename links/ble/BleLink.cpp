// The Bluetooth LE link: its states, the lamp and the status line, SCAN,
// CONNECT, the search for the target, the connect and the remembered device.
#include "links/ble/BleLink.h"

#include "links/ble/BleLinkSupport.h"
#include "links/core/DeviceTarget.h"
#include "platform/ble/BleWorkers.h"
#include "platform/core/Files.h"
#include "platform/core/IniFile.h"
#include "platform/core/StandardError.h"
#include "platform/ui/Threads.h"
#include "storage/core/Settings.h"

const TGUID CharUuidFFE1 = StringToGUID(QStringLiteral("{0000FFE1-0000-1000-8000-00805F9B34FB}"));
const TGUID CharUuidFFE7 = StringToGUID(QStringLiteral("{0000FFE7-0000-1000-8000-00805F9B34FB}"));
const TGUID CccdUuid = StringToGUID(QStringLiteral("{00002902-0000-1000-8000-00805F9B34FB}"));

namespace {

constexpr int DiscoveryMs = 5000;

const QString NoNameText = QStringLiteral("(no name)");
const QString KvrnText = QStringLiteral("KVRN");

}  // namespace

TColor BleLampColor(TBleState state) {
    switch (state) {
        case TBleState::Idle:
            return RGB(192, 192, 192);
        case TBleState::Scanning:
        case TBleState::Searching:
        case TBleState::Connecting:
            return RGB(0, 0, 255);
        case TBleState::Discovering:
        case TBleState::Choosing:
        case TBleState::NoNotify:
        case TBleState::Subscribing:
        case TBleState::Linked:
            return RGB(0, 255, 0);
        case TBleState::ConnectFailed:
        case TBleState::ServicesFailed:
        case TBleState::Lost:
            return RGB(255, 0, 0);
    }
    return RGB(192, 192, 192);
}

// ---- Life

TBleLink::TBleLink(TBleLinkHost host, QString iniPath)
    : FHost(std::move(host)),
      FScanIndex(std::make_unique<TStringList>()),
      FConnTimeout(std::make_unique<TTimer>(nullptr)),
      FKeepAlive(std::make_unique<TTimer>(nullptr)),
      FIniPath(std::move(iniPath)),
      FBleWorkers(std::make_unique<TBleWorkers>(BleClock())) {
    FScanIndex->NameValueSeparator = QLatin1Char('=');
    FConnTimeout->SetEnabled(false);
    FConnTimeout->SetInterval(ConnectWatchdogMs);
    FConnTimeout->OnTimer = Handler(this, &TBleLink::ConnTimeoutTimer);
    FKeepAlive->SetEnabled(false);
    FKeepAlive->SetInterval(KeepAliveMs);
    FKeepAlive->OnTimer = Handler(this, &TBleLink::KeepAliveTimer);
    Enter(TBleState::Idle);
    // The adapter's events come on the main thread; Close unhooks them.
    if (TBluetoothLE* ble = FHost.Adapter) {
        ble->OnDiscoverLEDevice = [this](TObject* sender, TBluetoothLEDevice* device, int rssi,
                                         const TBytes& scan) {
            BluetoothLE1DiscoverLEDevice(sender, device, rssi, scan);
        };
        ble->OnEndDiscoverDevices = [this](TObject* sender,
                                           const std::vector<TBluetoothLEDevice*>& devices) {
            BluetoothLE1EndDiscoverDevices(sender, devices);
        };
        ble->OnServicesDiscovered = [this](TObject* sender, TBluetoothGattServiceList* services) {
            BluetoothLE1ServicesDiscovered(sender, services);
        };
        ble->OnCharacteristicRead = [this](TObject* sender, TBluetoothGattCharacteristic* c,
                                           TBluetoothGattStatus status) {
            BluetoothLE1CharacteristicRead(sender, c, status);
        };
        ble->OnDisconnectDevice = [this](TObject* sender, TBluetoothLEDevice* device) {
            BluetoothLE1DisconnectDevice(sender, device);
        };
        ble->OnAdapterChanged = [this](TObject* sender) { BluetoothLE1AdapterChanged(sender); };
    }
}

TBleLink::~TBleLink() {
    Close();
}

void TBleLink::Close() {
    if (!Closed()) {
        // Nothing a worker or the device queued may run from here on: every
        // pending call is cancelled and every worker joined before the
        // timers and the scan index go.
        FAlive->store(false);
        ++FBleAttempt;
        if (TBluetoothLE* ble = FHost.Adapter) {
            ble->OnDiscoverLEDevice = nullptr;
            ble->OnEndDiscoverDevices = nullptr;
            ble->OnServicesDiscovered = nullptr;
            ble->OnCharacteristicRead = nullptr;
            ble->OnDisconnectDevice = nullptr;
            ble->OnAdapterChanged = nullptr;
            ble->CancelPendingCalls();
        }
        FBleWorkers->CancelAndJoin();
        if (FBleDevice) {
            FBleDevice->SetOnDisconnect(nullptr);
            FBleDevice->SetOnConnect(nullptr);
        }
    }
    if (FKeepAlive) FKeepAlive->SetEnabled(false);
    FKeepAlive.reset();
    if (FConnTimeout) FConnTimeout->SetEnabled(false);
    FConnTimeout.reset();
    FScanIndex.reset();
}

// ---- State, lamp and status line

bool TBleLink::IsConnecting() const {
    switch (FState) {
        case TBleState::Connecting:
        case TBleState::ConnectFailed:
        case TBleState::Discovering:
        case TBleState::ServicesFailed:
            return true;
        default:
            return false;
    }
}

bool TBleLink::IsConnected() const {
    switch (FState) {
        case TBleState::Discovering:
        case TBleState::ServicesFailed:
        case TBleState::Choosing:
        case TBleState::NoNotify:
        case TBleState::Subscribing:
        case TBleState::Linked:
            return true;
        default:
            return false;
    }
}

void TBleLink::Enter(TBleState state, const QString& status) {
    FState = state;
    FHost.Lamp->SetBrushColor(BleLampColor(state));
    FHost.Lamp->SetPenColor(clBlack);
    // The watchdog guards the connect until the services come, and the
    // subscription; the keep-alive runs from the subscription on. A failed
    // connect keeps the watchdog that ends it; a drop stops both timers.
    switch (state) {
        case TBleState::Connecting:
            ArmTimer(FConnTimeout.get(), ConnectWatchdogMs);
            break;
        case TBleState::Subscribing:
            ArmTimer(FConnTimeout.get(), SubscribeWatchdogMs);
            break;
        case TBleState::Linked:
            DisarmTimer(FConnTimeout.get());
            if (FKeepAlive) FKeepAlive->SetEnabled(true);
            break;
        case TBleState::Lost:
            DisarmTimer(FConnTimeout.get());
            DisarmTimer(FKeepAlive.get());
            break;
        case TBleState::ConnectFailed:
        case TBleState::Discovering:
        case TBleState::ServicesFailed:
            break;
        case TBleState::Idle:
        case TBleState::Scanning:
        case TBleState::Searching:
        case TBleState::Choosing:
        case TBleState::NoNotify:
            // The keep-alive is left to its next tick, which finds the link
            // down and stops itself.
            DisarmTimer(FConnTimeout.get());
            break;
    }
    if (!status.isEmpty()) ShowBleStatus(status);
}

void TBleLink::ShowBleStatus(const QString& text) {
    TMemo* memo = FHost.Status;
    TStrings* lines = memo->Lines();
    if (lines->Count() > 0)
        lines->Put(0, text);
    else
        lines->Add(text);
    memo->Perform(EM_LINESCROLL, 0, LPARAM(-lines->Count()));
}

void TBleLink::ShowNoAdapter() {
    const QString text = QStringLiteral("No BT LE adapter");
    if (IsConnecting() || IsConnected())
        ShowBleStatus(text);
    else
        Enter(TBleState::Idle, text);
}

void TBleLink::MouseMoved() {
    if (FState == TBleState::Lost) Enter(TBleState::Idle);
}

void TBleLink::ResetBleLink() {
    ++FBleAttempt;
    ReleaseBleDevice(FBleDevice);
    FBleDevice = nullptr;
    FNotifyCharacteristic = nullptr;
    FWriteCharacteristic = nullptr;
    ListUnfinishedLine();
    DisarmTimer(FConnTimeout.get());
}

// ---- Steps and workers

void TBleLink::StartWorker(std::function<void()> work) {
    if (Closed()) return;
    FBleWorkers->Start(std::move(work));
}

void TBleLink::QueueStep(std::uint64_t attempt, std::function<void(TBleLink&)> step) {
    // The link is touched on the main thread only, and only while it is
    // open: Close joins the workers but cannot take back what they queued.
    TThread::Queue(nullptr, [alive = FAlive, link = this, attempt, step = std::move(step)] {
        if (alive->load() && link->FBleAttempt.load() == attempt) step(*link);
    });
}

void TBleLink::QueueStep(std::uint64_t attempt, void (TBleLink::*step)()) {
    QueueStep(attempt, [step](TBleLink& link) { (link.*step)(); });
}

// ---- Target

QString TBleLink::NormalizeHex(const QString& text) {
    return ::NormalizeHex(text);
}

void TBleLink::ParseDeviceTarget(const QString& text) {
    const TDeviceTarget target = ::ParseDeviceTarget(text);
    FTargetName = target.Name;
    FTargetAddress = target.Address;
}

bool TBleLink::MatchesTarget(TBluetoothLEDevice* device) {
    return device && ::MatchesTarget(TDeviceTarget{FTargetName, FTargetAddress},
                                     device->DeviceName(), device->Address());
}

// ---- Remembered device

void TBleLink::LoadBleLast() {
    TEdit* edit = FHost.Target;
    try {
        if (FileExists(FIniPath)) {
            TIniFile ini(FIniPath);
            const QString value = ReadSettingString(ini, Setting::BleLast);
            edit->SetText(value.trimmed().isEmpty() ? KvrnText : value);
        } else {
            TIniFile ini(FIniPath);
            WriteSettingString(ini, Setting::BleLast, QString());
            edit->SetText(KvrnText);
        }
    } catch (...) {
        edit->SetText(KvrnText);
        PrintStandardError(QStringLiteral("Bluetooth LE: the remembered device was not read: ") +
                           CaughtText());
    }
}

void TBleLink::SaveBleLast() {
    if (!FBleDevice) return;
    try {
        const QString name = FBleDevice->DeviceName();
        const QString address = NormalizeHex(FBleDevice->Address());
        const QString value =
            name.isEmpty() || name == NoNameText ? address : name + QLatin1Char(' ') + address;
        TIniFile ini(FIniPath);
        WriteSettingString(ini, Setting::BleLast, value);
    } catch (...) {
        // The link is up and the status line says so; only the next start
        // will not find this device in the box.
        PrintStandardError(QStringLiteral("Bluetooth LE: the device was not remembered: ") +
                           CaughtText());
    }
}

// ---- SCAN and CONNECT

void TBleLink::SCANClick(TObject* /*Sender*/) {
    if (Closed()) return;
    FHost.Status->Lines()->Clear();
    FScanIndex->Clear();
    if (!FHost.Adapter->GetCurrentManager()) {
        ShowNoAdapter();
        return;
    }
    FTargetName.clear();
    FTargetAddress.clear();
    ResetBleLink();
    Enter(TBleState::Scanning);
    FHost.Adapter->DiscoverDevices(DiscoveryMs);
}

void TBleLink::CONNECTClick(TObject* /*Sender*/) {
    if (Closed() || IsConnecting()) return;
    if (!FHost.Adapter->GetCurrentManager()) {
        ShowNoAdapter();
        return;
    }
    const QString target = FHost.Target->Text().trimmed();
    if (BlankTarget(target)) return;
    ParseDeviceTarget(target);
    FHost.Status->Lines()->Clear();
    FScanIndex->Clear();
    ResetBleLink();
    FHost.ConnectStarted();
    Enter(TBleState::Searching, QStringLiteral("Connecting..."));
    FHost.Adapter->DiscoverDevices(DiscoveryMs);
}

void TBleLink::BluetoothLE1DiscoverLEDevice(TObject* /*Sender*/, TBluetoothLEDevice* ADevice,
                                            int Rssi, const TBytes& /*ScanResponse*/) {
    if (!ADevice) return;
    // A report is read in the mode the link is in when it comes: a SCAN
    // pressed during a search lists the rest of it.
    if (FState == TBleState::Searching) {
        if (MatchesTarget(ADevice)) FBleDevice = ADevice;
        return;
    }
    const QString name = ADevice->DeviceName().isEmpty() ? NoNameText : ADevice->DeviceName();
    const QString line = name + QLatin1Char(' ') + NormalizeHex(ADevice->Address()) +
                         QLatin1Char(' ') + QString::number(Rssi);
    const QString key = ADevice->Address().isEmpty() ? name : ADevice->Address();
    bool isNumber = false;
    int n = FScanIndex->Values(key).toInt(&isNumber);
    if (!isNumber) n = -1;
    TMemo* memo = FHost.Status;
    TStrings* lines = memo->Lines();
    if (n >= 0 && n < lines->Count()) {
        lines->Put(n, line);
        return;
    }
    const int c = lines->Count();
    memo->SetSelStart(memo->Text().size());
    memo->SetSelLength(0);
    memo->SetSelText(c > 0 ? QStringLiteral("\r\n") + line : line);
    FScanIndex->SetValues(key, QString::number(c));
}

void TBleLink::BluetoothLE1EndDiscoverDevices(TObject* /*Sender*/,
                                              const std::vector<TBluetoothLEDevice*>& /*devices*/) {
    if (FState != TBleState::Searching) {
        if (FState == TBleState::Scanning) Enter(TBleState::Idle);
        return;
    }
    if (!FBleDevice && !FHost.Adapter->GetCurrentManager()) {
        // The adapter went (or was switched off) during the search.
        Enter(TBleState::Idle, QStringLiteral("No BT LE adapter"));
        return;
    }
    if (!FBleDevice) {
        Enter(TBleState::Lost, QStringLiteral("Device not found"));
        return;
    }
    TBluetoothLEDevice* device = FBleDevice;
    const std::uint64_t attempt = FBleAttempt;
    // The device's own event comes on the layer's thread, possibly while the
    // form closes: it only queues, and touches the link on the main thread.
    device->SetOnDisconnect(
        [this, attempt](TObject*) { QueueStep(attempt, &TBleLink::LinkLossStep); });
    Enter(TBleState::Connecting);
    StartWorker([this, device, attempt] { ConnectWorker(device, attempt); });
}

void TBleLink::ConnectWorker(TBluetoothLEDevice* device, std::uint64_t attempt) {
    try {
        device->Connect();
        // Queued before the services are asked for, so it runs before they
        // arrive.
        QueueStep(attempt, &TBleLink::ConnectedStep);
        FHost.Adapter->DiscoverServices(device);
    } catch (...) {
        const QString cause = CaughtText();
        QueueStep(attempt, [cause](TBleLink& link) { link.ConnectFailedStep(cause); });
    }
}

void TBleLink::ConnectedStep() {
    Enter(TBleState::Discovering, QStringLiteral("Connected"));
    SaveBleLast();
}

void TBleLink::ConnectFailedStep(const QString& cause) {
    // The watchdog still runs and ends the attempt; CONNECT waits for it.
    const bool connected = FState == TBleState::Discovering;
    Enter(connected ? TBleState::ServicesFailed : TBleState::ConnectFailed,
          QStringLiteral("Connection failed"));
    // The status line has room for the fixed text only; the cause is what
    // tells a refused connect from an out-of-range device.
    PrintStandardError((connected ? QStringLiteral("Bluetooth LE: asking for the services failed: ")
                                  : QStringLiteral("Bluetooth LE: the connect failed: ")) +
                       cause);
}

// ---- Automatic connect

void TBleLink::AutoConnect() {
    FAutoConnectPending = false;
    if (Closed() || !FHost.AutoConnect || !FHost.AutoConnect->Checked()) return;
    if (!FHost.Adapter->AdapterKnown()) {
        // A Bluetooth stack slow to answer must not cost the connect: it is
        // decided when the answer comes.
        FAutoConnectPending = true;
        return;
    }
    if (!FHost.Adapter->GetCurrentManager() || BlankTarget(FHost.Target->Text().trimmed()) ||
        IsConnecting() || IsConnected())
        return;
    CONNECTClick(nullptr);
}

void TBleLink::BluetoothLE1AdapterChanged(TObject* /*Sender*/) {
    if (FAutoConnectPending && FHost.Adapter->AdapterKnown()) AutoConnect();
}
