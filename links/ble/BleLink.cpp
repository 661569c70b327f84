// The Bluetooth LE link: scan, connect, the choice of the notify
// characteristic, subscription, keep-alive, watchdog and link loss.

#include "form/Form1.h"
#include "links/core/DeviceTarget.h"
#include "platform/ble/BleWorkers.h"
#include "platform/core/Exception.h"
#include "platform/core/Files.h"
#include "platform/core/IniFile.h"
#include "platform/core/StandardError.h"
#include "platform/ui/Threads.h"
#include "storage/core/Settings.h"

const TGUID CharUuidFFE1 = StringToGUID(QStringLiteral("{0000FFE1-0000-1000-8000-00805F9B34FB}"));
const TGUID CharUuidFFE7 = StringToGUID(QStringLiteral("{0000FFE7-0000-1000-8000-00805F9B34FB}"));
const TGUID CccdUuid = StringToGUID(QStringLiteral("{00002902-0000-1000-8000-00805F9B34FB}"));

namespace {

constexpr TColor LampSilver = RGB(192, 192, 192);
constexpr TColor LampBlue = RGB(0, 0, 255);
constexpr TColor LampGreen = RGB(0, 255, 0);
constexpr TColor LampRed = RGB(255, 0, 0);

constexpr int DiscoveryMs = 5000;
constexpr int SubscribePauseMs = 300;
constexpr int ReconnectPauseMs = 2000;

const QString NoNameText = QStringLiteral("(no name)");
const QString KvrnText = QStringLiteral("KVRN");

void Arm(TTimer* timer, unsigned ms) {
    if (!timer) return;
    timer->SetEnabled(false);
    timer->SetInterval(ms);
    timer->SetEnabled(true);
}

void Disarm(TTimer* timer) {
    if (timer) timer->SetEnabled(false);
}

// Inside a catch block: what the caught exception says.
QString CaughtText() {
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

// Unhooks the device's notifications and lets its link go. A link that
// refuses to close cleanly is dropped all the same: the program no longer
// listens to it, and its failure is no news to the user.
void ReleaseBleDevice(TBluetoothLEDevice* device) {
    if (!device) return;
    device->SetOnDisconnect(nullptr);
    device->SetOnConnect(nullptr);
    try {
        device->Disconnect();
    } catch (const Exception&) {
    }
}

}  // namespace

// ---- Hand-off between the workers and the main thread

namespace {

// The form is touched on the main thread only, and only while alive holds.
void QueueStep(std::shared_ptr<std::atomic<bool>> alive, TForm1* form,
               std::function<void(TForm1&)> step) {
    TThread::Queue(nullptr, [alive = std::move(alive), form, step = std::move(step)] {
        if (alive->load()) step(*form);
    });
}

}  // namespace

void TForm1::QueueBleStep(std::uint64_t attempt, std::function<void(TForm1&)> step) {
    QueueStep(FBleAlive, this, [attempt, step = std::move(step)](TForm1& form) {
        if (form.FBleAttempt == attempt) step(form);
    });
}

void TForm1::StartBleWorker(std::function<void()> work) {
    if (!FBleWorkers || !FBleAlive->load()) return;
    FBleWorkers->Start(std::move(work));
}

void TForm1::StopBleLink() {
    if (!FBleAlive->load()) return;
    FBleAlive->store(false);
    ++FBleAttempt;
    if (BluetoothLE1) {
        BluetoothLE1->OnDiscoverLEDevice = nullptr;
        BluetoothLE1->OnEndDiscoverDevices = nullptr;
        BluetoothLE1->OnServicesDiscovered = nullptr;
        BluetoothLE1->OnCharacteristicRead = nullptr;
        BluetoothLE1->OnDisconnectDevice = nullptr;
        BluetoothLE1->CancelPendingCalls();
    }
    if (FBleWorkers) FBleWorkers->CancelAndJoin();
    if (FBleDevice) {
        FBleDevice->SetOnDisconnect(nullptr);
        FBleDevice->SetOnConnect(nullptr);
    }
}

// ---- Status line and lamp

void TForm1::ShowBleStatus(const QString& text) {
    TStrings* lines = Memo2->Lines();
    if (lines->Count() > 0)
        lines->Put(0, text);
    else
        lines->Add(text);
    Memo2->Perform(EM_LINESCROLL, 0, LPARAM(-lines->Count()));
}

void TForm1::ResetBleLink() {
    ++FBleAttempt;
    ReleaseBleDevice(FBleDevice);
    FBleDevice = nullptr;
    FNotifyCharacteristic = nullptr;
    FWriteCharacteristic = nullptr;
    FBleRxText.clear();
    FBleRxSkipping = false;
    FConnecting = false;
    FSubscribing = false;
    FConnected = false;
    Disarm(FConnTimeout);
}

// ---- Target

QString TForm1::NormalizeHex(const QString& text) {
    return ::NormalizeHex(text);
}

void TForm1::ParseDeviceTarget(const QString& text) {
    const TDeviceTarget target = ::ParseDeviceTarget(text);
    FTargetName = target.Name;
    FTargetAddress = target.Address;
}

bool TForm1::MatchesTarget(TBluetoothLEDevice* device) {
    return device && ::MatchesTarget(TDeviceTarget{FTargetName, FTargetAddress},
                                     device->DeviceName(), device->Address());
}

// ---- Remembered device

void TForm1::LoadBleLast() {
    try {
        if (FileExists(FIniPath)) {
            TIniFile ini(FIniPath);
            const QString value = ReadSettingString(ini, Setting::BleLast);
            Edit2->SetText(value.trimmed().isEmpty() ? KvrnText : value);
        } else {
            TIniFile ini(FIniPath);
            WriteSettingString(ini, Setting::BleLast, QString());
            Edit2->SetText(KvrnText);
        }
    } catch (...) {
        Edit2->SetText(KvrnText);
    }
}

void TForm1::SaveBleLast() {
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

void TForm1::SCANClick(TObject* /*Sender*/) {
    Memo2->Lines()->Clear();
    FScanIndex->Clear();
    FConnectRequested = false;
    if (!BluetoothLE1->GetCurrentManager()) {
        ShowBleStatus(QStringLiteral("No BT LE adapter"));
        Shape1->SetBrushColor(LampSilver);
        return;
    }
    FTargetName.clear();
    FTargetAddress.clear();
    ResetBleLink();
    Shape1->SetBrushColor(LampBlue);
    BluetoothLE1->DiscoverDevices(DiscoveryMs);
}

void TForm1::CONNECTClick(TObject* /*Sender*/) {
    if (FConnecting) return;
    if (!BluetoothLE1->GetCurrentManager()) {
        ShowBleStatus(QStringLiteral("No BT LE adapter"));
        Shape1->SetBrushColor(LampSilver);
        return;
    }
    const QString target = Edit2->Text().trimmed();
    if (BlankTarget(target)) return;
    ParseDeviceTarget(target);
    Memo2->Lines()->Clear();
    FScanIndex->Clear();
    ResetBleLink();
    FConnectRequested = true;
    FAutoSaveLines.clear();
    Shape1->SetBrushColor(LampBlue);
    ShowBleStatus(QStringLiteral("Connecting..."));
    BluetoothLE1->DiscoverDevices(DiscoveryMs);
}

void TForm1::BluetoothLE1DiscoverLEDevice(TObject* /*Sender*/, TBluetoothLEDevice* ADevice,
                                          int Rssi, const TBytes& /*ScanResponse*/) {
    if (!ADevice) return;
    if (FConnectRequested) {
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
    TStrings* lines = Memo2->Lines();
    if (n >= 0 && n < lines->Count()) {
        lines->Put(n, line);
        return;
    }
    const int c = lines->Count();
    Memo2->SetSelStart(Memo2->Text().size());
    Memo2->SetSelLength(0);
    Memo2->SetSelText(c > 0 ? QStringLiteral("\r\n") + line : line);
    FScanIndex->SetValues(key, QString::number(c));
}

void TForm1::BluetoothLE1EndDiscoverDevices(TObject* /*Sender*/,
                                            const std::vector<TBluetoothLEDevice*>& /*devices*/) {
    if (!FConnectRequested) {
        Shape1->SetBrushColor(LampSilver);
        return;
    }
    FConnectRequested = false;
    if (!FBleDevice && !BluetoothLE1->GetCurrentManager()) {
        // The adapter went (or was switched off) during the search.
        ShowBleStatus(QStringLiteral("No BT LE adapter"));
        Shape1->SetBrushColor(LampSilver);
        return;
    }
    if (!FBleDevice) {
        ShowBleStatus(QStringLiteral("Device not found"));
        Shape1->SetBrushColor(LampRed);
        return;
    }
    TBluetoothLEDevice* device = FBleDevice;
    const std::uint64_t attempt = FBleAttempt;
    std::shared_ptr<std::atomic<bool>> alive = FBleAlive;
    TForm1* form = this;
    // The device's own event comes on the layer's thread, possibly while the
    // form closes: it only queues, and touches the form on the main thread.
    device->SetOnDisconnect([form, alive, attempt](TObject*) {
        QueueStep(alive, form, [attempt](TForm1& f) {
            if (f.FBleAttempt == attempt) f.LinkLossStep();
        });
    });
    FConnecting = true;
    Arm(FConnTimeout, ConnectWatchdogMs);

    TBluetoothLE* ble = BluetoothLE1;
    StartBleWorker([form, ble, device, attempt] {
        try {
            device->Connect();
            form->QueueBleStep(attempt, [](TForm1& f) {
                f.ShowBleStatus(QStringLiteral("Connected"));
                f.FConnected = true;
                f.Shape1->SetBrushColor(LampGreen);
                f.SaveBleLast();
            });
            ble->DiscoverServices(device);
        } catch (...) {
            form->QueueBleStep(attempt, [](TForm1& f) {
                f.ShowBleStatus(QStringLiteral("Connection failed"));
                f.Shape1->SetBrushColor(LampRed);
            });
        }
    });
}

// ---- Services, characteristic, subscription

void TForm1::BluetoothLE1ServicesDiscovered(TObject* /*Sender*/,
                                            TBluetoothGattServiceList* services) {
    // Services that arrive after the attempt ended (watchdog, SCAN, CONNECT),
    // or before this attempt's connect returned, belong to another link.
    if (!FConnecting || !FConnected) return;
    Disarm(FConnTimeout);
    FConnecting = false;
    const TBluetoothGattServiceList list = services ? *services : TBluetoothGattServiceList{};
    const std::uint64_t attempt = FBleAttempt;
    TForm1* form = this;
    StartBleWorker([form, list, attempt] {
        TBluetoothGattCharacteristic* chosen = nullptr;
        try {
            chosen = form->FindNotifyCharacteristic(list);
        } catch (...) {
            // A search that broke off has not shown that the device lacks
            // the characteristic: say what went wrong instead.
            const QString text =
                QStringLiteral("Connected - characteristic search failed: ") + CaughtText();
            form->QueueBleStep(attempt, [text](TForm1& f) { f.ShowBleStatus(text); });
            return;
        }
        if (!chosen) {
            // Connected but silent would look like a working link: say so.
            form->QueueBleStep(attempt, [](TForm1& f) {
                f.ShowBleStatus(QStringLiteral("Connected - no notify characteristic"));
            });
            return;
        }
        form->QueueBleStep(attempt, [chosen](TForm1& f) {
            f.FNotifyCharacteristic = chosen;
            f.FWriteCharacteristic = chosen;
            f.FSubscribing = true;
            Arm(f.FConnTimeout, SubscribeWatchdogMs);
            TBluetoothLEDevice* device = f.FBleDevice;
            TBluetoothLE* ble = f.BluetoothLE1;
            TForm1* form = &f;
            const std::uint64_t attempt = f.FBleAttempt;
            TBleWorkers* workers = f.FBleWorkers.get();
            f.StartBleWorker([form, ble, device, chosen, attempt, workers] {
                bool subscribed = false;
                try {
                    // SCAN, CONNECT or a drop during the pause ended this
                    // attempt: its link is not the one to subscribe on.
                    if (workers->Sleep(SubscribePauseMs) && form->FBleAttempt.load() == attempt)
                        subscribed = ble->SubscribeToCharacteristic(device, chosen);
                } catch (...) {
                    subscribed = false;
                }
                if (subscribed)
                    form->QueueBleStep(attempt, [](TForm1& g) {
                        Disarm(g.FConnTimeout);
                        g.FSubscribing = false;
                        if (g.FKeepAlive) g.FKeepAlive->SetEnabled(true);
                    });
                else
                    form->QueueBleStep(attempt, [](TForm1& g) { g.SetBleDisconnected(); });
            });
        });
    });
}

TBluetoothGattCharacteristic* TForm1::FindNotifyCharacteristic(
    const TBluetoothGattServiceList& services) {
    for (TBluetoothGattService* service : services) {
        if (!service) continue;
        for (TBluetoothGattCharacteristic* c : BluetoothLE1->GetCharacteristics(service)) {
            if (!c) continue;
            if (IsEqualGUID(c->UUID(), CharUuidFFE1) || IsEqualGUID(c->UUID(), CharUuidFFE7))
                return c;
        }
    }
    for (TBluetoothGattService* service : services) {
        if (!service) continue;
        for (TBluetoothGattCharacteristic* c : BluetoothLE1->GetCharacteristics(service)) {
            if (!c) continue;
            for (TBluetoothGattDescriptor* d : BluetoothLE1->GetDescriptors(c))
                if (d && IsEqualGUID(d->UUID(), CccdUuid)) return c;
        }
    }
    return nullptr;
}

// ---- Timers

void TForm1::KeepAliveTimer(TObject* /*Sender*/) {
    if (!(FBleDevice && FWriteCharacteristic && FConnected)) {
        Disarm(FKeepAlive);
        return;
    }
    // One write at a time: a device that stalls a write must not collect a
    // new blocked thread every tick.
    if (FBleWriteInFlight.exchange(true)) return;
    TBluetoothLE* ble = BluetoothLE1;
    TBluetoothLEDevice* device = FBleDevice;
    TBluetoothGattCharacteristic* c = FWriteCharacteristic;
    std::atomic<bool>* inFlight = &FBleWriteInFlight;
    std::atomic<bool>* failing = &FBleWriteFailing;
    std::shared_ptr<std::atomic<bool>> alive = FBleAlive;
    const std::uint64_t attempt = FBleAttempt;
    std::atomic<std::uint64_t>* current = &FBleAttempt;
    if (!FBleWorkers || !FBleAlive->load()) {
        FBleWriteInFlight = false;
        return;
    }
    StartBleWorker([ble, device, c, inFlight, failing, alive, attempt, current] {
        try {
            c->SetValue(TBytes(1, '\0'));
            ble->WriteCharacteristic(device, c);
            failing->store(false);
        } catch (...) {
            // Last stop of the write on this worker. A lost link shows
            // itself through its disconnect event, and a write cut off by
            // SCAN, CONNECT or the close is no failure; any other refused
            // write is told once until a write succeeds again, not every tick.
            if (alive->load() && current->load() == attempt && !failing->exchange(true))
                PrintStandardError(QStringLiteral("Bluetooth LE: keep-alive write failed: ") +
                                   CaughtText());
        }
        inFlight->store(false);
    });
}

void TForm1::ConnTimeoutTimer(TObject* /*Sender*/) {
    Disarm(FConnTimeout);
    if (!FConnecting && !FSubscribing) return;
    const bool neverConnected = FConnecting && !FConnected;
    SetBleDisconnected();
    // A connect that never returned has not failed in its own words yet,
    // and its late failure belongs to an attempt that is over now.
    if (neverConnected) ShowBleStatus(QStringLiteral("Connection failed"));
}

// ---- Link loss

void TForm1::BluetoothLE1DisconnectDevice(TObject* /*Sender*/, TBluetoothLEDevice* /*ADevice*/) {
    SetBleDisconnected();
}

void TForm1::SetBleDisconnected() {
    if (!FConnected && !FConnecting && !FSubscribing) return;
    ++FBleAttempt;
    Disarm(FConnTimeout);
    Disarm(FKeepAlive);
    FConnecting = false;
    FSubscribing = false;
    const bool wasConnected = FConnected;
    FConnected = false;
    Shape1->SetBrushColor(LampRed);
    ReleaseBleDevice(FBleDevice);
    if (wasConnected) ShowBleStatus(QStringLiteral("Disconnected"));
}

void TForm1::LinkLossStep() {
    const bool wasConnected = FConnected;
    const QString text = Edit2->Text();
    SetBleDisconnected();
    if (!(wasConnected && !text.isEmpty())) return;
    ShowBleStatus(QStringLiteral("Reconnecting..."));
    // The reconnect belongs to the lost link: SCAN, CONNECT or closing
    // during the pause start a new attempt and so cancel it.
    const std::uint64_t attempt = FBleAttempt;
    TForm1* form = this;
    TBleWorkers* workers = FBleWorkers.get();
    StartBleWorker([form, workers, text, attempt] {
        if (!workers->Sleep(ReconnectPauseMs)) return;
        form->QueueBleStep(attempt, [text](TForm1& f) {
            f.Edit2->SetText(text);
            f.CONNECTClick(&f);
        });
    });
}
