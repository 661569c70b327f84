// The system's Bluetooth stack through Qt Bluetooth (BlueZ on Linux).
//
// Every Qt Bluetooth object of the link lives on one thread of this layer,
// with its own event loop. A blocking call hands its work to that thread and
// waits, with a time-out, for the signal that ends it; Cancel() ends every
// wait. Some of Qt Bluetooth's own calls to BlueZ are synchronous D-Bus calls
// of up to 25 s on that thread, so nothing else waits for it: the adapter is
// followed on the main thread by its own D-Bus events (TBlueZAdapters), and
// closing waits for the thread only briefly before leaving it to finish
// alone.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "platform/ble/BlueZAdapters.h"
#include "platform/ble/BluetoothLE.h"
#include "platform/ble/SimulatedBle.h"
#include "platform/core/Exception.h"

namespace {

constexpr int CallTimeoutMs = 20000;
// How long closing waits for the layer's thread to let its Qt objects go.
constexpr int CloseWaitMs = 1000;

// The outcome of one blocking call, filled on the layer's thread.
struct TWait {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    bool Ok = false;
    QString Error;
    void Finish(bool ok, const QString& error = QString()) {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            if (Finished) return;
            Finished = true;
            Ok = ok;
            Error = error;
        }
        Done.notify_all();
    }
    // Layer thread: the context of the call's one-shot handlers. Freeing it
    // disconnects all of them at once, whichever signal fired (or none).
    QObject* Handlers() {
        if (!FHandlers) FHandlers = std::make_unique<QObject>();
        return FHandlers.get();
    }
    void ReleaseHandlers() { FHandlers.reset(); }

private:
    std::unique_ptr<QObject> FHandlers;  // layer thread
};

class TQtBle;

class TQtCharacteristic;

class TQtService : public TBluetoothGattService {
public:
    using TBluetoothGattService::TBluetoothGattService;
    TBluetoothGattCharacteristicList Characteristics;  // under the backend's mutex
};

// The wrappers of one device's GATT table are kept for the device's life
// and reused by every later link to it (matched by position and UUID):
// reconnecting does not add objects, and a pointer the program still holds
// from an earlier link stays a valid object. What can vanish, the Qt
// service, is held by QPointer and looked at on the layer's thread only.
class TQtCharacteristic : public TBluetoothGattCharacteristic {
public:
    using TBluetoothGattCharacteristic::TBluetoothGattCharacteristic;
    QPointer<QLowEnergyService> Service;       // layer thread
    QLowEnergyCharacteristic Qt;               // layer thread
    TBluetoothGattDescriptorList Descriptors;  // under the backend's mutex
};

class TQtDevice : public TBluetoothLEDevice {
public:
    TQtDevice(TQtBle* owner, const QBluetoothDeviceInfo& info)
        : TBluetoothLEDevice(info.name(), info.address().toString()), FOwner(owner), Info(info) {}
    void Connect() override;
    void Disconnect() override;

    template <class T>
    T* Wrapper(std::map<QString, std::unique_ptr<T>>& map, const QString& key, const QUuid& uuid) {
        auto& slot = map[key];
        if (!slot) slot = std::make_unique<T>(uuid);
        return slot.get();
    }

    TQtBle* FOwner;
    QBluetoothDeviceInfo Info;                  // layer thread
    QPointer<QLowEnergyController> Controller;  // layer thread
    // Under the backend's mutex; keyed by position and UUID.
    std::map<QString, std::unique_ptr<TQtService>> Services;
    std::map<QString, std::unique_ptr<TQtCharacteristic>> Characteristics;
    std::map<QString, std::unique_ptr<TBluetoothGattDescriptor>> Descriptors;
};

// QObject::receivers is protected; tests count handlers through it.
struct TReceiversPeek : QObject {
    using QObject::receivers;
};
int Receivers(const QObject* object, const char* signal) {
    return object ? (object->*(&TReceiversPeek::receivers))(signal) : 0;
}

// The layer: its thread, its Qt objects and the wrappers it hands out. It
// outlives the backend object when its thread does not end in time (see
// TQtBleBackend), so everything the thread may still touch lives here.
class TQtBle {
public:
    explicit TQtBle(int discoveryMs) : FDiscoveryMs(discoveryMs) {
        FThread.setObjectName(QStringLiteral("Bluetooth LE"));
        FContext.moveToThread(&FThread);
        FThread.start();
    }
    // Only once the thread has ended (Close returned true, or never).
    ~TQtBle() { FThread.wait(); }
    bool Running() const { return FThread.isRunning(); }

    // Cancels every call, detaches the events and lets the Qt objects go on
    // their own thread, which then ends. True when it ended within waitMs.
    bool Close(int waitMs) {
        Cancel();
        SetEvents(nullptr);
        OnLayer([this] {
            delete FAgent;
            FAgent = nullptr;
            for (auto& d : FDevices) delete d.second->Controller.data();
            FThread.quit();
        });
        return FThread.wait(QDeadlineTimer(waitMs));
    }

    void SetEvents(TBleEvents* events) {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        FEvents = events;
    }
    template <class F>
    void Report(F&& f) {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        if (FEvents) f(FEvents);
    }

    void StartDiscovery(int timeoutMs, std::uint64_t tag) {
        // Each discovery has its own agent, and its end carries its tag: the
        // end of one that was stopped to start another is never taken for
        // the new one's.
        FDiscoveryTag = tag;
        if (FDiscoveryMs > 0) timeoutMs = FDiscoveryMs;
        OnLayer([this, tag, timeoutMs] {
            if (tag != FDiscoveryTag.load()) return;  // a newer one is on its way
            if (FAgent) {
                QObject::disconnect(FAgent, nullptr, nullptr, nullptr);
                FAgent->stop();
                FAgent->deleteLater();
            }
            FAgent = new QBluetoothDeviceDiscoveryAgent();
            QBluetoothDeviceDiscoveryAgent* agent = FAgent;
            const auto current = [this, tag] { return tag == FDiscoveryTag.load(); };
            QObject::connect(agent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered,
                             [this, current](const QBluetoothDeviceInfo& info) {
                                 if (current()) Seen(info);
                             });
            QObject::connect(
                agent, &QBluetoothDeviceDiscoveryAgent::deviceUpdated,
                [this, current](const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields) {
                    if (current()) Seen(info);
                });
            const auto end = [this, current, agent, tag] {
                QObject::disconnect(agent, nullptr, nullptr, nullptr);
                if (!current()) return;
                Report([tag](TBleEvents* e) { e->DiscoveryFinished(tag); });
            };
            QObject::connect(agent, &QBluetoothDeviceDiscoveryAgent::finished, end);
            QObject::connect(agent, &QBluetoothDeviceDiscoveryAgent::canceled, end);
            // Mostly a switched-off or vanished adapter, which its own events
            // have told the main thread before this reaches it.
            QObject::connect(agent, &QBluetoothDeviceDiscoveryAgent::errorOccurred,
                             [end](QBluetoothDeviceDiscoveryAgent::Error) { end(); });
            agent->setLowEnergyDiscoveryTimeout(timeoutMs);
            agent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
        });
    }

    // The discovery asks for Low Energy devices only. A device that BlueZ
    // once saw over classic Bluetooth is reported without the Low Energy
    // flag all the same, so the flag is not required here.
    void Seen(const QBluetoothDeviceInfo& info) {
        const QString key =
            info.address().isNull() ? info.deviceUuid().toString() : info.address().toString();
        TQtDevice* device;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            auto& slot = FDevices[key];
            if (!slot) slot = std::make_unique<TQtDevice>(this, info);
            device = slot.get();
        }
        device->Info = info;
        if (!info.name().isEmpty() && info.name() != device->DeviceName())
            device->SetDeviceName(info.name());
        const int rssi = info.rssi();
        Report([device, rssi](TBleEvents* e) { e->DeviceDiscovered(device, rssi); });
    }

    void Connect(TQtDevice* device) {
        Call(CallTimeoutMs, [this, device](std::shared_ptr<TWait> wait) {
            DropController(device);
            auto* controller = QLowEnergyController::createCentral(device->Info);
            device->Controller = controller;
            QObject* handlers = wait->Handlers();
            QObject::connect(controller, &QLowEnergyController::connected, handlers,
                             [wait] { wait->Finish(true); });
            QObject::connect(controller, &QLowEnergyController::errorOccurred, handlers,
                             [wait, controller](QLowEnergyController::Error) {
                                 wait->Finish(false, controller->errorString());
                             });
            // For the controller's life: before the connect completed a
            // disconnect is a failed connect; after it, the device lost
            // the link.
            auto up = std::make_shared<bool>(false);
            QObject::connect(controller, &QLowEnergyController::connected, controller,
                             [up, device] {
                                 *up = true;
                                 device->RaiseConnect();
                             });
            QObject::connect(
                controller, &QLowEnergyController::disconnected, controller, [up, wait, device] {
                    if (*up)
                        device->RaiseDisconnect();
                    else
                        wait->Finish(false, QStringLiteral("Disconnected while connecting"));
                });
            controller->connectToDevice();
        });
    }

    // Layer thread: forgets the device's controller and, with it, its Qt
    // services (children of the controller).
    void DropController(TQtDevice* device) {
        QLowEnergyController* controller = device->Controller;
        if (!controller) return;
        device->Controller = nullptr;
        QObject::disconnect(controller, nullptr, nullptr, nullptr);
        controller->disconnectFromDevice();
        controller->deleteLater();
    }

    void Disconnect(TQtDevice* device) {
        OnLayer([this, device] { DropController(device); });
    }

    void DiscoverServices(TBluetoothLEDevice* base) {
        auto* device = static_cast<TQtDevice*>(base);
        Call(CallTimeoutMs, [this, device](std::shared_ptr<TWait> wait) {
            QLowEnergyController* controller = device->Controller;
            if (!controller || (controller->state() != QLowEnergyController::ConnectedState &&
                                controller->state() != QLowEnergyController::DiscoveredState)) {
                wait->Finish(false, QStringLiteral("Device not connected"));
                return;
            }
            QObject::connect(
                controller, &QLowEnergyController::discoveryFinished, controller,
                [this, device, controller] { DetailServices(device, controller); },
                Qt::SingleShotConnection);
            controller->discoverServices();
            wait->Finish(true);
        });
    }

    // Layer thread: learns every service's characteristics and descriptors,
    // then reports the list. Values are not read: the program never uses
    // them, and reading a protected one can start pairing.
    void DetailServices(TQtDevice* device, QLowEnergyController* controller) {
        if (device->Controller != controller) return;
        std::vector<QPointer<QLowEnergyService>> services;
        for (const QBluetoothUuid& uuid : controller->services()) {
            QLowEnergyService* service = controller->createServiceObject(uuid, controller);
            if (service) services.push_back(service);
        }
        auto pending = std::make_shared<std::size_t>(services.size());
        const auto finish = [this, device, services] { Detailed(device, services); };
        if (services.empty()) {
            finish();
            return;
        }
        for (const QPointer<QLowEnergyService>& service : services) {
            // One count per service, whichever of its signals comes first,
            // however often: the handlers go with their context.
            auto* handlers = new QObject(service);
            const auto done = [pending, finish, handlers] {
                if (handlers->property("counted").toBool()) return;
                handlers->setProperty("counted", true);
                handlers->deleteLater();
                if (--*pending == 0) finish();
            };
            QLowEnergyService* s = service;
            QObject::connect(s, &QLowEnergyService::stateChanged, handlers,
                             [done](QLowEnergyService::ServiceState state) {
                                 if (state == QLowEnergyService::RemoteServiceDiscovered) done();
                             });
            QObject::connect(s, &QLowEnergyService::errorOccurred, handlers,
                             [done](QLowEnergyService::ServiceError) { done(); });
            s->discoverDetails(QLowEnergyService::SkipValueDiscovery);
        }
    }

    // Layer thread: the wrappers of the detailed services, then the report.
    void Detailed(TQtDevice* device, const std::vector<QPointer<QLowEnergyService>>& services) {
        TBluetoothGattServiceList list;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            int si = 0;
            for (const QPointer<QLowEnergyService>& service : services) {
                if (!service) continue;
                const QUuid suuid(service->serviceUuid());
                const QString skey = QString::number(si++) + QLatin1Char('/') + suuid.toString();
                TQtService* ws = device->Wrapper(device->Services, skey, suuid);
                ws->Characteristics.clear();
                int ci = 0;
                for (const QLowEnergyCharacteristic& c : service->characteristics()) {
                    const QUuid cuuid(c.uuid());
                    const QString ckey = skey + QLatin1Char('/') + QString::number(ci++) +
                                         QLatin1Char('/') + cuuid.toString();
                    TQtCharacteristic* wc = device->Wrapper(device->Characteristics, ckey, cuuid);
                    wc->Service = service;
                    wc->Qt = c;
                    wc->Descriptors.clear();
                    int di = 0;
                    for (const QLowEnergyDescriptor& d : c.descriptors()) {
                        const QUuid duuid(d.uuid());
                        const QString dkey = ckey + QLatin1Char('/') + QString::number(di++) +
                                             QLatin1Char('/') + duuid.toString();
                        wc->Descriptors.push_back(
                            device->Wrapper(device->Descriptors, dkey, duuid));
                    }
                    ws->Characteristics.push_back(wc);
                }
                list.push_back(ws);
                QObject::connect(service, &QLowEnergyService::characteristicChanged, service,
                                 [this, ws](const QLowEnergyCharacteristic& c,
                                            const QByteArray& value) { Changed(ws, c, value); });
            }
        }
        Report([device, list](TBleEvents* e) { e->ServicesDiscovered(device, list); });
    }

    // Layer thread: a notification, found among its own service's
    // characteristics.
    void Changed(TQtService* service, const QLowEnergyCharacteristic& c, const QByteArray& value) {
        TBluetoothGattCharacteristic* chr = nullptr;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            for (TBluetoothGattCharacteristic* candidate : service->Characteristics)
                if (static_cast<TQtCharacteristic*>(candidate)->Qt == c) chr = candidate;
        }
        if (!chr) return;
        Report([chr, value](TBleEvents* e) {
            e->CharacteristicValue(chr, value, TBluetoothGattStatus::Success);
        });
    }

    TBluetoothGattCharacteristicList GetCharacteristics(TBluetoothGattService* service) {
        ThrowIfCancelled();
        std::lock_guard<std::mutex> lock(FMutex);
        return static_cast<TQtService*>(service)->Characteristics;
    }

    TBluetoothGattDescriptorList GetDescriptors(TBluetoothGattCharacteristic* c) {
        ThrowIfCancelled();
        std::lock_guard<std::mutex> lock(FMutex);
        return static_cast<TQtCharacteristic*>(c)->Descriptors;
    }

    bool Subscribe(TBluetoothLEDevice*, TBluetoothGattCharacteristic* base) {
        auto* c = static_cast<TQtCharacteristic*>(base);
        return Call(
            CallTimeoutMs,
            [c](std::shared_ptr<TWait> wait) {
                QLowEnergyService* service = c->Service;
                const QLowEnergyDescriptor cccd = c->Qt.clientCharacteristicConfiguration();
                if (!service || !cccd.isValid() ||
                    service->state() != QLowEnergyService::RemoteServiceDiscovered) {
                    wait->Finish(false);
                    return;
                }
                QObject* handlers = wait->Handlers();
                QObject::connect(
                    service, &QLowEnergyService::descriptorWritten, handlers,
                    [wait](const QLowEnergyDescriptor&, const QByteArray&) { wait->Finish(true); });
                QObject::connect(service, &QLowEnergyService::errorOccurred, handlers,
                                 [wait](QLowEnergyService::ServiceError) { wait->Finish(false); });
                const bool indicate = !(c->Qt.properties() & QLowEnergyCharacteristic::Notify) &&
                                      (c->Qt.properties() & QLowEnergyCharacteristic::Indicate);
                service->writeDescriptor(
                    cccd, indicate ? QByteArray::fromHex("0200") : QByteArray::fromHex("0100"));
            },
            false);
    }

    bool Write(TBluetoothLEDevice*, TBluetoothGattCharacteristic* base) {
        auto* c = static_cast<TQtCharacteristic*>(base);
        const QByteArray value = c->ValueToWrite();
        return Call(
            CallTimeoutMs,
            [c, value](std::shared_ptr<TWait> wait) {
                QLowEnergyService* service = c->Service;
                if (!service || service->state() != QLowEnergyService::RemoteServiceDiscovered) {
                    wait->Finish(false);
                    return;
                }
                const auto props = c->Qt.properties();
                if ((props & QLowEnergyCharacteristic::WriteNoResponse) &&
                    !(props & QLowEnergyCharacteristic::Write)) {
                    service->writeCharacteristic(c->Qt, value,
                                                 QLowEnergyService::WriteWithoutResponse);
                    wait->Finish(true);
                    return;
                }
                QObject* handlers = wait->Handlers();
                QObject::connect(service, &QLowEnergyService::characteristicWritten, handlers,
                                 [wait](const QLowEnergyCharacteristic&, const QByteArray&) {
                                     wait->Finish(true);
                                 });
                QObject::connect(service, &QLowEnergyService::errorOccurred, handlers,
                                 [wait](QLowEnergyService::ServiceError) { wait->Finish(false); });
                service->writeCharacteristic(c->Qt, value);
            },
            false);
    }

    void Cancel() {
        FCancelled = true;
        for (auto& w : Waits()) w->Finish(false, QStringLiteral("cancelled"));
    }

    // Tests: the handlers connected to the live Qt objects of every link.
    int SignalHandlers() {
        int count = 0;
        QMetaObject::invokeMethod(
            &FContext,
            [this, &count] {
                std::lock_guard<std::mutex> lock(FMutex);
                for (auto& d : FDevices) {
                    QLowEnergyController* controller = d.second->Controller;
                    if (!controller) continue;
                    count += Receivers(controller, SIGNAL(connected()));
                    count += Receivers(controller, SIGNAL(disconnected()));
                    count +=
                        Receivers(controller, SIGNAL(errorOccurred(QLowEnergyController::Error)));
                    for (QLowEnergyService* s :
                         controller->findChildren<QLowEnergyService*>(Qt::FindDirectChildrenOnly)) {
                        count += Receivers(
                            s, SIGNAL(descriptorWritten(QLowEnergyDescriptor, QByteArray)));
                        count += Receivers(
                            s, SIGNAL(characteristicWritten(QLowEnergyCharacteristic, QByteArray)));
                        count += Receivers(
                            s, SIGNAL(characteristicChanged(QLowEnergyCharacteristic, QByteArray)));
                        count +=
                            Receivers(s, SIGNAL(errorOccurred(QLowEnergyService::ServiceError)));
                        count +=
                            Receivers(s, SIGNAL(stateChanged(QLowEnergyService::ServiceState)));
                    }
                }
            },
            Qt::BlockingQueuedConnection);
        return count;
    }

private:
    void ThrowIfCancelled() const {
        if (FCancelled) throw Exception(QStringLiteral("Bluetooth LE call cancelled"));
    }

    void OnLayer(std::function<void()> work) {
        QMetaObject::invokeMethod(&FContext, std::move(work), Qt::QueuedConnection);
    }

    std::vector<std::shared_ptr<TWait>> Waits() {
        std::lock_guard<std::mutex> lock(FMutex);
        return FWaits;
    }

    // Runs start on the layer's thread and waits for its outcome. A failed
    // outcome throws when throwOnFailure, else returns false.
    bool Call(int timeoutMs, std::function<void(std::shared_ptr<TWait>)> start,
              bool throwOnFailure = true) {
        ThrowIfCancelled();
        auto wait = std::make_shared<TWait>();
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FWaits.push_back(wait);
        }
        // A Cancel() between the first test and the registration above
        // found no wait to end; this one must not sit out its time-out.
        if (FCancelled) wait->Finish(false, QStringLiteral("cancelled"));
        OnLayer([start = std::move(start), wait] { start(wait); });
        bool finished;
        {
            std::unique_lock<std::mutex> lock(wait->Mutex);
            finished = wait->Done.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                           [&] { return wait->Finished; });
        }
        // The call's one-shot handlers go now, fired or not.
        OnLayer([wait] { wait->ReleaseHandlers(); });
        {
            std::lock_guard<std::mutex> lock(FMutex);
            FWaits.erase(std::remove(FWaits.begin(), FWaits.end(), wait), FWaits.end());
        }
        ThrowIfCancelled();
        if (!finished) throw Exception(QStringLiteral("Bluetooth LE call timed out"));
        if (!wait->Ok && (throwOnFailure || !wait->Error.isEmpty()))
            throw Exception(wait->Error.isEmpty() ? QStringLiteral("Bluetooth LE call failed")
                                                  : wait->Error);
        return wait->Ok;
    }

    const int FDiscoveryMs;
    QThread FThread;
    QObject FContext;
    QBluetoothDeviceDiscoveryAgent* FAgent = nullptr;  // layer thread
    std::atomic<std::uint64_t> FDiscoveryTag{0};
    std::atomic<bool> FCancelled{false};
    std::mutex FEventsMutex;
    TBleEvents* FEvents = nullptr;

    std::mutex FMutex;  // the devices' wrapper maps and lists, and the waits
    std::map<QString, std::unique_ptr<TQtDevice>> FDevices;
    std::vector<std::shared_ptr<TWait>> FWaits;
};

void TQtDevice::Connect() {
    FOwner->Connect(this);
}
void TQtDevice::Disconnect() {
    FOwner->Disconnect(this);
}

// The layers whose thread did not end in time: kept, never freed, so that
// the thread finds everything it uses when its call to BlueZ comes back.
std::mutex ParkedMutex;
std::vector<TQtBle*>* Parked = new std::vector<TQtBle*>;

void ParkLayer(TQtBle* layer) {
    std::lock_guard<std::mutex> lock(ParkedMutex);
    Parked->push_back(layer);
}

class TQtBleBackend : public TBleBackend {
public:
    explicit TQtBleBackend(int discoveryMs)
        : FLayer(new TQtBle(discoveryMs)),
          FAdapters(std::make_unique<TBlueZAdapters>(
              [layer = FLayer] { layer->Report([](TBleEvents* e) { e->AdapterChanged(); }); })) {}
    // Ends within CloseWaitMs whatever BlueZ does.
    ~TQtBleBackend() override {
        FAdapters.reset();
        if (FLayer->Close(CloseWaitMs))
            delete FLayer;
        else
            ParkLayer(FLayer);
    }

    void SetEvents(TBleEvents* events) override { FLayer->SetEvents(events); }
    TBleAdapterState AdapterState() override { return FAdapters->State(); }
    void StartDiscovery(int timeoutMs, std::uint64_t tag) override {
        FLayer->StartDiscovery(timeoutMs, tag);
    }
    void DiscoverServices(TBluetoothLEDevice* device) override { FLayer->DiscoverServices(device); }
    TBluetoothGattCharacteristicList GetCharacteristics(TBluetoothGattService* service) override {
        return FLayer->GetCharacteristics(service);
    }
    TBluetoothGattDescriptorList GetDescriptors(TBluetoothGattCharacteristic* c) override {
        return FLayer->GetDescriptors(c);
    }
    bool Subscribe(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) override {
        return FLayer->Subscribe(device, c);
    }
    bool Write(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) override {
        return FLayer->Write(device, c);
    }
    void Cancel() override { FLayer->Cancel(); }
    int SignalHandlers() { return FLayer->SignalHandlers(); }

private:
    TQtBle* const FLayer;
    // Main thread.
    std::unique_ptr<TBlueZAdapters> FAdapters;
};

}  // namespace

std::shared_ptr<TBleBackend> CreateQtBleBackend(int discoveryMs) {
    return std::make_shared<TQtBleBackend>(discoveryMs);
}

int QtBleThreadsLeftRunningForTesting() {
    std::lock_guard<std::mutex> lock(ParkedMutex);
    return int(std::count_if(Parked->begin(), Parked->end(),
                             [](TQtBle* layer) { return layer->Running(); }));
}

int QtBleSignalHandlersForTesting(TBleBackend* backend) {
    auto* qt = dynamic_cast<TQtBleBackend*>(backend);
    return qt ? qt->SignalHandlers() : -1;
}

std::shared_ptr<TBleBackend> CreateBleBackend() {
    const QByteArray simulation = qgetenv("TARVEX_BLE_SIMULATION");
    if (simulation.isEmpty()) return CreateQtBleBackend();
    QString error;
    std::shared_ptr<TBleBackend> backend =
        LoadSimulationFile(QString::fromLocal8Bit(simulation), error);
    if (!error.isEmpty()) {
        // Reported once per run, however many components are made.
        static std::once_flag reported;
        std::call_once(reported, [&] {
            std::fprintf(stderr,
                         "TARVEX_BLE_SIMULATION: %s\nRunning as with no Bluetooth LE adapter.\n",
                         qPrintable(error));
        });
    }
    return backend;
}
