// The Bluetooth LE link once connected: the choice of the notify
// characteristic, the subscription, the keep-alive, the watchdog, link loss
// and reconnect.
#include "links/ble/BleLink.h"
#include "links/ble/BleLinkSupport.h"
#include "platform/ble/BleWorkers.h"
#include "platform/core/StandardError.h"

namespace {

constexpr int SubscribePauseMs = 300;
constexpr int ReconnectPauseMs = 2000;

}  // namespace

// ---- Services and the notify characteristic

void TBleLink::BluetoothLE1ServicesDiscovered(TObject* /*Sender*/,
                                              TBluetoothGattServiceList* services) {
    // Services that arrive after the attempt ended (watchdog, SCAN, CONNECT),
    // or before this attempt's connect returned, belong to another link.
    if (FState != TBleState::Discovering) return;
    Enter(TBleState::Choosing);
    const TBluetoothGattServiceList list = services ? *services : TBluetoothGattServiceList{};
    const std::uint64_t attempt = FBleAttempt;
    StartWorker([this, list, attempt] { CharacteristicWorker(list, attempt); });
}

void TBleLink::CharacteristicWorker(const TBluetoothGattServiceList& services,
                                    std::uint64_t attempt) {
    TBluetoothGattCharacteristic* chosen = nullptr;
    try {
        chosen = FindNotifyCharacteristic(services);
    } catch (...) {
        // A search that broke off has not shown that the device lacks the
        // characteristic: say what went wrong instead.
        const QString text =
            QStringLiteral("Connected - characteristic search failed: ") + CaughtText();
        QueueStep(attempt, [text](TBleLink& link) { link.NoNotifyStep(text); });
        return;
    }
    if (!chosen) {
        // Connected but silent would look like a working link: say so.
        QueueStep(attempt, [](TBleLink& link) {
            link.NoNotifyStep(QStringLiteral("Connected - no notify characteristic"));
        });
        return;
    }
    QueueStep(attempt, [chosen](TBleLink& link) { link.ChosenStep(chosen); });
}

TBluetoothGattCharacteristic* TBleLink::FindNotifyCharacteristic(
    const TBluetoothGattServiceList& services) {
    TBluetoothLE* ble = FHost.Adapter;
    for (TBluetoothGattService* service : services) {
        if (!service) continue;
        for (TBluetoothGattCharacteristic* c : ble->GetCharacteristics(service)) {
            if (!c) continue;
            if (IsEqualGUID(c->UUID(), CharUuidFFE1) || IsEqualGUID(c->UUID(), CharUuidFFE7))
                return c;
        }
    }
    for (TBluetoothGattService* service : services) {
        if (!service) continue;
        for (TBluetoothGattCharacteristic* c : ble->GetCharacteristics(service)) {
            if (!c) continue;
            for (TBluetoothGattDescriptor* d : ble->GetDescriptors(c))
                if (d && IsEqualGUID(d->UUID(), CccdUuid)) return c;
        }
    }
    return nullptr;
}

void TBleLink::NoNotifyStep(const QString& status) {
    Enter(TBleState::NoNotify, status);
}

// ---- Subscription

void TBleLink::ChosenStep(TBluetoothGattCharacteristic* characteristic) {
    FNotifyCharacteristic = characteristic;
    FWriteCharacteristic = characteristic;
    Enter(TBleState::Subscribing);
    TBluetoothLEDevice* device = FBleDevice;
    const std::uint64_t attempt = FBleAttempt;
    StartWorker([this, device, characteristic, attempt] {
        SubscribeWorker(device, characteristic, attempt);
    });
}

void TBleLink::SubscribeWorker(TBluetoothLEDevice* device,
                               TBluetoothGattCharacteristic* characteristic,
                               std::uint64_t attempt) {
    // SCAN, CONNECT or a drop during the pause ended this attempt: its link
    // is not the one to subscribe on, and nothing is queued.
    if (!FBleWorkers->Sleep(SubscribePauseMs) || FBleAttempt.load() != attempt) return;
    QString cause;
    try {
        if (!FHost.Adapter->SubscribeToCharacteristic(device, characteristic))
            cause = QStringLiteral("the device refused the notifications");
    } catch (...) {
        cause = CaughtText();
    }
    if (cause.isEmpty())
        QueueStep(attempt, &TBleLink::SubscribedStep);
    else
        QueueStep(attempt, [cause](TBleLink& link) { link.SubscribeFailedStep(cause); });
}

void TBleLink::SubscribedStep() {
    Enter(TBleState::Linked);
}

void TBleLink::SubscribeFailedStep(const QString& cause) {
    PrintStandardError(QStringLiteral("Bluetooth LE: the subscription failed: ") + cause);
    SetBleDisconnected();
}

// ---- Timers

void TBleLink::KeepAliveTimer(TObject* /*Sender*/) {
    if (!(FBleDevice && FWriteCharacteristic && IsConnected())) {
        DisarmTimer(FKeepAlive.get());
        return;
    }
    // One write at a time: a device that stalls a write must not collect a
    // new blocked thread every tick.
    if (Closed() || FBleWriteInFlight.exchange(true)) return;
    TBluetoothLEDevice* device = FBleDevice;
    TBluetoothGattCharacteristic* c = FWriteCharacteristic;
    const std::uint64_t attempt = FBleAttempt;
    StartWorker([this, device, c, attempt] { KeepAliveWorker(device, c, attempt); });
}

void TBleLink::KeepAliveWorker(TBluetoothLEDevice* device,
                               TBluetoothGattCharacteristic* characteristic,
                               std::uint64_t attempt) {
    QString cause;
    try {
        characteristic->SetValue(TBytes(1, '\0'));
        if (!FHost.Adapter->WriteCharacteristic(device, characteristic))
            cause = QStringLiteral("the device refused the write");
    } catch (...) {
        // Last stop of the write on this worker.
        cause = CaughtText();
    }
    if (cause.isEmpty()) {
        FBleWriteFailing.store(false);
    } else if (!Closed() && FBleAttempt.load() == attempt && !FBleWriteFailing.exchange(true)) {
        // A lost link shows itself through its disconnect event, and a write
        // cut off by SCAN, CONNECT or the close is no failure; any other
        // failed write is told once until a write succeeds again, not every
        // tick.
        PrintStandardError(QStringLiteral("Bluetooth LE: keep-alive write failed: ") + cause);
    }
    FBleWriteInFlight.store(false);
}

void TBleLink::ConnTimeoutTimer(TObject* /*Sender*/) {
    DisarmTimer(FConnTimeout.get());
    if (!IsConnecting() && !IsSubscribing()) return;
    const bool neverConnected = IsConnecting() && !IsConnected();
    SetBleDisconnected();
    // A connect that never returned has not failed in its own words yet,
    // and its late failure belongs to an attempt that is over now.
    if (neverConnected) ShowBleStatus(QStringLiteral("Connection failed"));
}

// ---- Link loss

void TBleLink::BluetoothLE1DisconnectDevice(TObject* /*Sender*/, TBluetoothLEDevice* /*ADevice*/) {
    SetBleDisconnected();
}

void TBleLink::SetBleDisconnected() {
    if (!IsConnecting() && !IsConnected()) return;
    ++FBleAttempt;
    const bool wasConnected = IsConnected();
    Enter(TBleState::Lost);
    ReleaseBleDevice(FBleDevice);
    ListUnfinishedLine();
    if (wasConnected) ShowBleStatus(QStringLiteral("Disconnected"));
}

void TBleLink::LinkLossStep() {
    const bool wasConnected = IsConnected();
    const QString text = FHost.Target->Text();
    SetBleDisconnected();
    if (!(wasConnected && !text.isEmpty())) return;
    ShowBleStatus(QStringLiteral("Reconnecting..."));
    // The reconnect belongs to the lost link: SCAN, CONNECT or closing
    // during the pause start a new attempt and so cancel it.
    const std::uint64_t attempt = FBleAttempt;
    StartWorker([this, text, attempt] { ReconnectWorker(text, attempt); });
}

void TBleLink::ReconnectWorker(const QString& text, std::uint64_t attempt) {
    if (!FBleWorkers->Sleep(ReconnectPauseMs)) return;
    QueueStep(attempt, [text](TBleLink& link) { link.ReconnectStep(text); });
}

void TBleLink::ReconnectStep(const QString& text) {
    FHost.Target->SetText(text);
    CONNECTClick(nullptr);
}
