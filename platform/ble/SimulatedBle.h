#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "platform/ble/BleClock.h"
#include "platform/ble/BluetoothLE.h"

// A simulated adapter: scripted devices for tests and for trying the program
// without a device. Its time is a TBleClock, so a manual clock lets a test
// pass seconds at once.

struct TSimCharacteristicSetup {
    QString Uuid;
    QStringList Descriptors;
};

struct TSimServiceSetup {
    QString Uuid;
    std::vector<TSimCharacteristicSetup> Characteristics;
    bool FailCharacteristics = false;  // GetCharacteristics throws
};

// The numbers the file accepts; anything else is a faulty key. Times are
// bounded so that adding them to the clock cannot overflow.
constexpr std::int64_t SimRssiMin = -128;
constexpr std::int64_t SimRssiMax = 127;
constexpr std::int64_t SimScriptMsMax = 100LL * 365 * 24 * 60 * 60 * 1000;  // 100 years

struct TSimNotification {
    std::int64_t AtMs = 0;
    QByteArray Bytes;
};

struct TSimDeviceSetup {
    QString Name;
    QString Address;
    int Rssi = -60;
    bool Advertise = true;            // answers every discovery once
    QString Connect = "ok";           // ok | fail (throws) | hang (never returns)
    QString DiscoverServices = "ok";  // ok | fail | silent (no answer) | empty
    QString Subscribe = "ok";         // ok | fail (throws) | false | hang
    QString Write = "ok";             // ok | fail (throws) | false | hang (until ReleaseHangs)
    std::vector<TSimServiceSetup> Services;
    // Counted from the moment a subscription succeeds.
    std::vector<TSimNotification> Notifications;
    std::int64_t DropAtMs = -1;     // < 0: never
    QString DropEvents = "device";  // device | component | both
};

struct TSimAdapterSetup {
    bool Adapter = true;
    std::vector<TSimDeviceSetup> Devices;
    QString WritesFile;  // absolute; empty: writes are only recorded
};

// Reads the JSON form of a TSimAdapterSetup; a relative "writes" path is taken
// from baseDir. Returns false with a message naming the faulty key.
bool ParseSimulation(const QByteArray& json, const QString& baseDir, TSimAdapterSetup& setup,
                     QString& error);

class TSimulatedBle : public TBleBackend {
public:
    struct TWrite {
        std::int64_t Ms = 0;  // since the device's last subscription
        QString Uuid;
        QByteArray Bytes;
    };

    TSimulatedBle(TSimAdapterSetup setup, std::shared_ptr<TBleClock> clock);
    ~TSimulatedBle() override;

    void SetEvents(TBleEvents* events) override;
    TBleAdapterState AdapterState() override;
    void StartDiscovery(int timeoutMs, std::uint64_t tag) override;
    void DiscoverServices(TBluetoothLEDevice* device) override;
    TBluetoothGattCharacteristicList GetCharacteristics(TBluetoothGattService* service) override;
    TBluetoothGattDescriptorList GetDescriptors(TBluetoothGattCharacteristic* c) override;
    bool Subscribe(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) override;
    bool Write(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) override;
    void Cancel() override;

    // ---- Commands for tests; any thread.
    // What the adapter is known as from now on (a Bluetooth stack that has
    // not answered yet is Unknown); reports the change.
    void SetAdapterState(TBleAdapterState state);
    TBluetoothLEDevice* Device(int index) const;
    // Changes how a device behaves from now on (its GATT table stays).
    void SetBehaviour(int index, const std::function<void(TSimDeviceSetup&)>& change);
    // An advert of the device now, whether a discovery runs or not.
    void Advertise(int index, int rssi);
    // Ends the running discovery now (nothing when none runs).
    void EndDiscovery();
    // Discoveries started so far.
    int Discoveries() const;
    bool Discovering() const;
    // A notification of the device's characteristic with that UUID.
    void Notify(int index, const QString& uuid, const QByteArray& bytes,
                TBluetoothGattStatus status = TBluetoothGattStatus::Success);
    // The device loses the link: its own event on the layer's thread, the
    // component's, or both in the order given.
    void DropLink(int index, bool deviceEvent, bool componentEvent, bool deviceFirst = true);
    // Lets every call held by "hang" go on as if it had succeeded (a call
    // made afterwards hangs again while the behaviour says so).
    void ReleaseHangs();

    // ---- What happened.
    std::vector<TWrite> Writes() const;
    int WritesInFlight() const { return FWritesInFlight.load(); }
    int MostWritesAtOnce() const { return FMostWritesAtOnce.load(); }
    int Connects(int index) const;
    int Disconnects(int index) const;
    int Subscriptions(int index) const;
    bool Connected(int index) const;
    // Blocking calls waiting right now (connect, subscribe or write on hang).
    int Blocked() const { return FBlocked.load(); }

private:
    class TSimDevice;
    struct TDeviceState;
    struct TTask {
        std::int64_t Due;
        std::uint64_t Id;
        std::function<void()> Run;
    };

    TDeviceState& State(TBluetoothLEDevice* device);
    TDeviceState& State(int index);
    const TDeviceState& State(int index) const;
    void Schedule(std::int64_t due, std::function<void()> run);
    void LayerLoop();
    void RaiseAdvert(int index, int rssi);
    // Holds the caller until Cancel() (or `release` holds); then throws.
    void Hang(const std::function<bool()>& release);
    void ThrowIfCancelled() const;
    TBleEvents* Events();

    std::shared_ptr<TBleClock> FClock;
    std::atomic<TBleAdapterState> FAdapter;
    const QString FWritesFile;
    std::vector<std::unique_ptr<TDeviceState>> FDevices;
    std::map<TBluetoothGattService*, TBluetoothGattCharacteristicList> FCharacteristics;
    std::map<TBluetoothGattService*, bool> FFailCharacteristics;
    std::map<TBluetoothGattCharacteristic*, TBluetoothGattDescriptorList> FDescriptors;
    std::map<TBluetoothGattCharacteristic*, QString> FUuidText;

    mutable std::mutex FMutex;  // devices' state, tasks, writes
    std::vector<TTask> FTasks;
    std::uint64_t FNextTask = 1;
    std::atomic<std::uint64_t> FTaskVersion{0};
    std::uint64_t FDiscovery = 0;  // the tag of the last discovery
    int FDiscoveries = 0;
    bool FDiscovering = false;
    std::vector<TWrite> FWrites;

    std::mutex FEventsMutex;
    TBleEvents* FEvents = nullptr;

    std::atomic<bool> FCancelled{false};
    std::atomic<bool> FStop{false};
    std::atomic<std::uint64_t> FHangRelease{0};
    std::atomic<int> FWritesInFlight{0};
    std::atomic<int> FMostWritesAtOnce{0};
    std::atomic<int> FBlocked{0};
    std::thread FLayer;
};

// The backend of TARVEX_BLE_SIMULATION: the simulated adapter of the JSON
// file at path, or, when it cannot be read, one without an adapter (error
// then holds the reason).
std::shared_ptr<TBleBackend> LoadSimulationFile(const QString& path, QString& error);
