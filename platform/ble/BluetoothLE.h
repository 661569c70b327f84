#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QUuid>

#include "platform/ui/Controls.h"

// The Bluetooth LE run time: the component with its events on the main
// thread, and the device, service, characteristic and descriptor objects.
// The objects belong to a backend (the system's Bluetooth stack or a
// simulated adapter); the program borrows them. A device stays valid while
// the component that reported it lives.

using TGUID = QUuid;
using TBytes = QByteArray;

// "{0000FFE1-0000-1000-8000-00805F9B34FB}" (braces optional) to a GUID; the
// null GUID for a text that is none.
TGUID StringToGUID(const QString& text);
// Compares all 128 bits.
bool IsEqualGUID(const TGUID& a, const TGUID& b);

enum class TBluetoothGattStatus { Success = 0, Failure = 1 };

class TBluetoothGattDescriptor {
public:
    explicit TBluetoothGattDescriptor(const TGUID& uuid) : FUuid(uuid) {}
    virtual ~TBluetoothGattDescriptor() = default;
    TGUID UUID() const { return FUuid; }

private:
    TGUID FUuid;
};

// Thread-safe. GetValue is the value the device last reported (a
// notification or a read); SetValue sets what the next WriteCharacteristic
// sends. The two are kept apart, so a write prepared on a worker never
// shows up as a received value.
class TBluetoothGattCharacteristic {
public:
    explicit TBluetoothGattCharacteristic(const TGUID& uuid) : FUuid(uuid) {}
    virtual ~TBluetoothGattCharacteristic() = default;
    TGUID UUID() const { return FUuid; }
    TBytes GetValue() const;
    void SetValue(const TBytes& value);
    // The value to write; for the backends.
    TBytes ValueToWrite() const;
    // Stores a value the device reported; for the component.
    void SetReceivedValue(const TBytes& value);

private:
    TGUID FUuid;
    mutable std::mutex FMutex;
    TBytes FReceived;
    TBytes FToWrite;
};

class TBluetoothGattService {
public:
    explicit TBluetoothGattService(const TGUID& uuid) : FUuid(uuid) {}
    virtual ~TBluetoothGattService() = default;
    TGUID UUID() const { return FUuid; }

private:
    TGUID FUuid;
};

using TBluetoothGattServiceList = std::vector<TBluetoothGattService*>;
using TBluetoothGattCharacteristicList = std::vector<TBluetoothGattCharacteristic*>;
using TBluetoothGattDescriptorList = std::vector<TBluetoothGattDescriptor*>;

// A remote device. Connect blocks until the link is up and throws on
// failure; Disconnect may throw. OnConnect and OnDisconnect may be set and
// cleared from any thread; the backend raises them on the layer's own
// thread, never on the main thread.
class TBluetoothLEDevice : public TObject {
public:
    TBluetoothLEDevice(const QString& name, const QString& address)
        : FName(name), FAddress(address) {}
    QString DeviceName() const;
    QString Address() const { return FAddress; }
    // For the backends: a device often tells its name only in a later
    // advert than its first.
    void SetDeviceName(const QString& name);
    virtual void Connect() = 0;
    virtual void Disconnect() = 0;

    void SetOnConnect(TNotifyEvent handler);
    void SetOnDisconnect(TNotifyEvent handler);
    // For the backends, on the layer's thread.
    void RaiseConnect();
    void RaiseDisconnect();

private:
    mutable std::mutex FNameMutex;
    QString FName;
    const QString FAddress;
    std::mutex FHandlersMutex;
    TNotifyEvent FOnConnect;
    TNotifyEvent FOnDisconnect;
};

// What a backend knows of its adapter. Unknown until the system's Bluetooth
// stack first answered; a switched-off adapter counts as absent.
enum class TBleAdapterState { Unknown, Absent, Present };

// Where a backend reports; every call may come from any thread. The
// component hands each report to the main thread.
class TBleEvents {
public:
    virtual ~TBleEvents() = default;
    virtual void DeviceDiscovered(TBluetoothLEDevice* device, int rssi) = 0;
    // The end of the discovery that StartDiscovery started with tag.
    virtual void DiscoveryFinished(std::uint64_t tag) = 0;
    virtual void ServicesDiscovered(TBluetoothLEDevice* device,
                                    const TBluetoothGattServiceList& services) = 0;
    virtual void CharacteristicValue(TBluetoothGattCharacteristic* characteristic,
                                     const TBytes& value, TBluetoothGattStatus status) = 0;
    // The component's own report of a lost link.
    virtual void DeviceDisconnected(TBluetoothLEDevice* device) = 0;
    // AdapterState() changed.
    virtual void AdapterChanged() = 0;
};

// One adapter behind the component. Calls marked "blocking" may run on any
// thread, throw Exception on failure, and return at once with an exception
// after Cancel().
class TBleBackend {
public:
    virtual ~TBleBackend() = default;
    // Set once by the component before any other call; nullptr detaches it.
    virtual void SetEvents(TBleEvents* events) = 0;
    // Any thread, never waits: what the backend knows now.
    virtual TBleAdapterState AdapterState() = 0;
    bool HasAdapter() { return AdapterState() == TBleAdapterState::Present; }
    // Main thread, never waits. Reports adverts, then DiscoveryFinished with
    // tag after timeoutMs; a discovery started later ends this one, whose end
    // may still be reported with its own tag.
    virtual void StartDiscovery(int timeoutMs, std::uint64_t tag) = 0;
    // Blocking: asks for the services; the answer comes by ServicesDiscovered.
    virtual void DiscoverServices(TBluetoothLEDevice* device) = 0;
    // Blocking. The lists keep a fixed order.
    virtual TBluetoothGattCharacteristicList GetCharacteristics(TBluetoothGattService* service) = 0;
    virtual TBluetoothGattDescriptorList GetDescriptors(TBluetoothGattCharacteristic* c) = 0;
    // Blocking: enables notifications; false when the device refused.
    virtual bool Subscribe(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) = 0;
    // Blocking: writes c->ValueToWrite(); false when the device refused.
    virtual bool Write(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) = 0;
    // Every blocked call, and every blocking call after this, throws.
    virtual void Cancel() = 0;
};

// Makes the backend for a new component: the simulated adapter when the
// environment variable TARVEX_BLE_SIMULATION names a JSON file (a file that
// cannot be read is reported once on the standard error and gives an
// adapter-less backend), otherwise the system's Bluetooth stack.
std::shared_ptr<TBleBackend> CreateBleBackend();
// The system's Bluetooth stack through Qt, whatever the environment says.
// discoveryMs > 0 gives every discovery that length instead of the one asked
// for (tests against a BlueZ stand-in, where nothing needs 5 s to be seen).
std::shared_ptr<TBleBackend> CreateQtBleBackend(int discoveryMs = 0);
// Tests: the signal handlers the Qt backend has connected to the Qt objects
// of its links right now; -1 for any other backend.
int QtBleSignalHandlersForTesting(TBleBackend* backend);
// Tests: the Qt backend's threads that a close left to finish a call to
// BlueZ by themselves and that have not ended yet.
int QtBleThreadsLeftRunningForTesting();
// Tests: every new component gets what `factory` returns (empty function:
// back to CreateBleBackend's own choice).
void SetBleBackendFactoryForTesting(std::function<std::shared_ptr<TBleBackend>()> factory);

// Present when an adapter is; nothing is read from it.
class TBluetoothManager {};

// The component. Its events run on the main thread, in the order of the
// main thread's queue (TThread::Queue), and never after the component is
// freed.
class TBluetoothLE : public TComponent, private TBleEvents {
public:
    explicit TBluetoothLE(TComponent* owner);
    ~TBluetoothLE() override;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled) { FEnabled = enabled; }

    // Null when the machine has no adapter, or none is known yet: never
    // waits for the system's Bluetooth stack.
    TBluetoothManager* GetCurrentManager() const;
    // Whether the system's Bluetooth stack has told yet whether there is an
    // adapter; OnAdapterChanged follows every change.
    bool AdapterKnown() const;
    bool DiscoverDevices(int timeoutMs);
    // The blocking calls: see TBleBackend. Callable from workers.
    bool DiscoverServices(TBluetoothLEDevice* device);
    TBluetoothGattCharacteristicList GetCharacteristics(TBluetoothGattService* service);
    TBluetoothGattDescriptorList GetDescriptors(TBluetoothGattCharacteristic* characteristic);
    bool SubscribeToCharacteristic(TBluetoothLEDevice* device,
                                   TBluetoothGattCharacteristic* characteristic);
    bool WriteCharacteristic(TBluetoothLEDevice* device,
                             TBluetoothGattCharacteristic* characteristic);
    // Makes every blocked and later blocking call throw at once, so workers
    // can be joined; for closing.
    void CancelPendingCalls();

    std::function<void(TObject*, TBluetoothLEDevice*, int, const TBytes&)> OnDiscoverLEDevice;
    std::function<void(TObject*, const std::vector<TBluetoothLEDevice*>&)> OnEndDiscoverDevices;
    std::function<void(TObject*, TBluetoothGattServiceList*)> OnServicesDiscovered;
    std::function<void(TObject*, TBluetoothGattCharacteristic*, TBluetoothGattStatus)>
        OnCharacteristicRead;
    std::function<void(TObject*, TBluetoothLEDevice*)> OnDisconnectDevice;
    // The adapter came, went, or answered for the first time.
    std::function<void(TObject*)> OnAdapterChanged;

private:
    void DeviceDiscovered(TBluetoothLEDevice* device, int rssi) override;
    void DiscoveryFinished(std::uint64_t tag) override;
    void ServicesDiscovered(TBluetoothLEDevice* device,
                            const TBluetoothGattServiceList& services) override;
    void CharacteristicValue(TBluetoothGattCharacteristic* characteristic, const TBytes& value,
                             TBluetoothGattStatus status) override;
    void DeviceDisconnected(TBluetoothLEDevice* device) override;
    void AdapterChanged() override;
    // Runs `event` on the main thread unless the component is gone by then.
    void Raise(std::function<void(TBluetoothLE*)> event);

    bool FEnabled = false;
    std::shared_ptr<TBleBackend> FBackend;
    // Lives as long as the component; queued events hold it weakly.
    std::shared_ptr<TBluetoothLE*> FSelf;
    std::vector<TBluetoothLEDevice*> FDiscovered;
    // The tag of the discovery running now; an end with another tag is one
    // that a later discovery replaced, already queued when it started.
    std::uint64_t FDiscoveryTag = 0;
    // The list handed to the last OnServicesDiscovered; the handler copies
    // what it keeps.
    std::shared_ptr<TBluetoothGattServiceList> FServiceList;
};
