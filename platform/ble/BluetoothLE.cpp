#include "platform/ble/BluetoothLE.h"

#include <algorithm>

#include <QCoreApplication>
#include <QMetaObject>

#include "platform/core/Exception.h"
#include "platform/ui/Forms.h"

TGUID StringToGUID(const QString& text) {
    QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('{'))) t = QLatin1Char('{') + t + QLatin1Char('}');
    return QUuid::fromString(t);
}

bool IsEqualGUID(const TGUID& a, const TGUID& b) {
    return a == b;
}

TBytes TBluetoothGattCharacteristic::GetValue() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FReceived;
}

void TBluetoothGattCharacteristic::SetValue(const TBytes& value) {
    std::lock_guard<std::mutex> lock(FMutex);
    FToWrite = value;
}

TBytes TBluetoothGattCharacteristic::ValueToWrite() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FToWrite;
}

void TBluetoothGattCharacteristic::SetReceivedValue(const TBytes& value) {
    std::lock_guard<std::mutex> lock(FMutex);
    FReceived = value;
}

QString TBluetoothLEDevice::DeviceName() const {
    std::lock_guard<std::mutex> lock(FNameMutex);
    return FName;
}

void TBluetoothLEDevice::SetDeviceName(const QString& name) {
    std::lock_guard<std::mutex> lock(FNameMutex);
    FName = name;
}

void TBluetoothLEDevice::SetOnConnect(TNotifyEvent handler) {
    std::lock_guard<std::mutex> lock(FHandlersMutex);
    FOnConnect = std::move(handler);
}

void TBluetoothLEDevice::SetOnDisconnect(TNotifyEvent handler) {
    std::lock_guard<std::mutex> lock(FHandlersMutex);
    FOnDisconnect = std::move(handler);
}

void TBluetoothLEDevice::RaiseConnect() {
    TNotifyEvent handler;
    {
        std::lock_guard<std::mutex> lock(FHandlersMutex);
        handler = FOnConnect;
    }
    if (handler) handler(this);
}

void TBluetoothLEDevice::RaiseDisconnect() {
    TNotifyEvent handler;
    {
        std::lock_guard<std::mutex> lock(FHandlersMutex);
        handler = FOnDisconnect;
    }
    if (handler) handler(this);
}

namespace {

std::mutex FactoryMutex;
std::function<std::shared_ptr<TBleBackend>()> TestFactory;

}  // namespace

void SetBleBackendFactoryForTesting(std::function<std::shared_ptr<TBleBackend>()> factory) {
    std::lock_guard<std::mutex> lock(FactoryMutex);
    TestFactory = std::move(factory);
}

TBluetoothLE::TBluetoothLE(TComponent* owner)
    : TComponent(owner), FSelf(std::make_shared<TBluetoothLE*>(this)) {
    std::function<std::shared_ptr<TBleBackend>()> factory;
    {
        std::lock_guard<std::mutex> lock(FactoryMutex);
        factory = TestFactory;
    }
    FBackend = factory ? factory() : CreateBleBackend();
    if (FBackend) FBackend->SetEvents(this);
}

TBluetoothLE::~TBluetoothLE() {
    FSelf.reset();
    if (FBackend) {
        FBackend->Cancel();
        FBackend->SetEvents(nullptr);
    }
}

TBluetoothManager* TBluetoothLE::GetCurrentManager() const {
    static TBluetoothManager manager;
    return FBackend && FBackend->HasAdapter() ? &manager : nullptr;
}

bool TBluetoothLE::AdapterKnown() const {
    return !FBackend || FBackend->AdapterState() != TBleAdapterState::Unknown;
}

bool TBluetoothLE::DiscoverDevices(int timeoutMs) {
    if (!FBackend || !FBackend->HasAdapter()) return false;
    FDiscovered.clear();
    FBackend->StartDiscovery(timeoutMs, ++FDiscoveryTag);
    return true;
}

bool TBluetoothLE::DiscoverServices(TBluetoothLEDevice* device) {
    if (!FBackend || !device) return false;
    FBackend->DiscoverServices(device);
    return true;
}

TBluetoothGattCharacteristicList TBluetoothLE::GetCharacteristics(TBluetoothGattService* service) {
    if (!FBackend || !service) return {};
    return FBackend->GetCharacteristics(service);
}

TBluetoothGattDescriptorList TBluetoothLE::GetDescriptors(
    TBluetoothGattCharacteristic* characteristic) {
    if (!FBackend || !characteristic) return {};
    return FBackend->GetDescriptors(characteristic);
}

bool TBluetoothLE::SubscribeToCharacteristic(TBluetoothLEDevice* device,
                                             TBluetoothGattCharacteristic* characteristic) {
    if (!FBackend || !device || !characteristic) return false;
    return FBackend->Subscribe(device, characteristic);
}

bool TBluetoothLE::WriteCharacteristic(TBluetoothLEDevice* device,
                                       TBluetoothGattCharacteristic* characteristic) {
    if (!FBackend || !device || !characteristic) return false;
    return FBackend->Write(device, characteristic);
}

void TBluetoothLE::CancelPendingCalls() {
    if (FBackend) FBackend->Cancel();
}

void TBluetoothLE::Raise(std::function<void(TBluetoothLE*)> event) {
    std::weak_ptr<TBluetoothLE*> self = FSelf;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    // Always through the main thread's queue, also when the backend reports
    // on the main thread: events then keep their order with the steps that
    // workers queue, and a handler never runs inside a backend call.
    QMetaObject::invokeMethod(
        app,
        [self, event = std::move(event)] {
            RunGuarded([&] {
                if (auto alive = self.lock()) event(*alive);
            });
        },
        Qt::QueuedConnection);
}

void TBluetoothLE::DeviceDiscovered(TBluetoothLEDevice* device, int rssi) {
    Raise([device, rssi](TBluetoothLE* ble) {
        if (std::find(ble->FDiscovered.begin(), ble->FDiscovered.end(), device) ==
            ble->FDiscovered.end())
            ble->FDiscovered.push_back(device);
        if (ble->OnDiscoverLEDevice) ble->OnDiscoverLEDevice(ble, device, rssi, TBytes());
    });
}

void TBluetoothLE::DiscoveryFinished(std::uint64_t tag) {
    Raise([tag](TBluetoothLE* ble) {
        // A discovery stopped for a newer one: its end was on its way when
        // the newer one started, and must not end that one too.
        if (tag != ble->FDiscoveryTag) return;
        if (ble->OnEndDiscoverDevices) ble->OnEndDiscoverDevices(ble, ble->FDiscovered);
    });
}

void TBluetoothLE::ServicesDiscovered(TBluetoothLEDevice* /*device*/,
                                      const TBluetoothGattServiceList& services) {
    Raise([services](TBluetoothLE* ble) {
        // The list lives in the queued event only: give it a home that
        // outlives the call, until the next list replaces it.
        ble->FServiceList = std::make_shared<TBluetoothGattServiceList>(services);
        if (ble->OnServicesDiscovered) ble->OnServicesDiscovered(ble, ble->FServiceList.get());
    });
}

void TBluetoothLE::CharacteristicValue(TBluetoothGattCharacteristic* characteristic,
                                       const TBytes& value, TBluetoothGattStatus status) {
    Raise([characteristic, value, status](TBluetoothLE* ble) {
        // Set on the main thread right before the handler reads it, so each
        // notification is seen with its own bytes.
        if (characteristic) characteristic->SetReceivedValue(value);
        if (ble->OnCharacteristicRead) ble->OnCharacteristicRead(ble, characteristic, status);
    });
}

void TBluetoothLE::DeviceDisconnected(TBluetoothLEDevice* device) {
    Raise([device](TBluetoothLE* ble) {
        if (ble->OnDisconnectDevice) ble->OnDisconnectDevice(ble, device);
    });
}

void TBluetoothLE::AdapterChanged() {
    Raise([](TBluetoothLE* ble) {
        if (ble->OnAdapterChanged) ble->OnAdapterChanged(ble);
    });
}
