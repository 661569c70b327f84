// The system's Bluetooth stack through Qt Bluetooth (BlueZ on Linux).
//
// Every Qt object of the link lives on one thread of this layer, with its
// own event loop. A blocking call hands its work to that thread and waits,
// with a time-out, for the signal that ends it; Cancel() ends every wait.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QBluetoothLocalDevice>
#include <QCoreApplication>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QMetaObject>
#include <QThread>

#include "platform/ble/BluetoothLE.h"
#include "platform/ble/SimulatedBle.h"
#include "platform/core/Exception.h"

namespace {

constexpr int CallTimeoutMs = 20000;

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
};

class TQtBle;

class TQtDevice : public TBluetoothLEDevice {
public:
    TQtDevice(TQtBle* owner, const QBluetoothDeviceInfo& info)
        : TBluetoothLEDevice(info.name(), info.address().toString()), FOwner(owner), Info(info) {}
    void Connect() override;
    void Disconnect() override;

    TQtBle* FOwner;
    QBluetoothDeviceInfo Info;                   // layer thread
    QLowEnergyController* Controller = nullptr;  // layer thread
    std::vector<QLowEnergyService*> QtServices;  // layer thread
};

class TQtCharacteristic : public TBluetoothGattCharacteristic {
public:
    TQtCharacteristic(QLowEnergyService* service, const QLowEnergyCharacteristic& c)
        : TBluetoothGattCharacteristic(QUuid(c.uuid())), Service(service), Qt(c) {}
    QLowEnergyService* Service;
    QLowEnergyCharacteristic Qt;
};

struct TQtMapping {
    QLowEnergyService* Service;
    QLowEnergyCharacteristic Qt;
    TBluetoothGattCharacteristic* Wrapper;
};

class TQtBle : public TBleBackend {
public:
    TQtBle() {
        FThread.setObjectName(QStringLiteral("Bluetooth LE"));
        FContext.moveToThread(&FThread);
        FThread.start();
    }
    ~TQtBle() override {
        Cancel();
        // The Qt objects go on their own thread, then the thread ends.
        QMetaObject::invokeMethod(
            &FContext,
            [this] {
                delete FAgent;
                FAgent = nullptr;
                for (auto& d : FDevices) {
                    delete d.second->Controller;
                    d.second->Controller = nullptr;
                }
            },
            Qt::BlockingQueuedConnection);
        FThread.quit();
        FThread.wait();
    }

    void SetEvents(TBleEvents* events) override {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        FEvents = events;
    }
    template <class F>
    void Report(F&& f) {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        if (FEvents) f(FEvents);
    }

    bool HasAdapter() override { return !QBluetoothLocalDevice::allDevices().isEmpty(); }

    void StartDiscovery(int timeoutMs) override {
        OnLayer([this, timeoutMs] {
            if (!FAgent) {
                FAgent = new QBluetoothDeviceDiscoveryAgent();
                QObject::connect(FAgent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered,
                                 [this](const QBluetoothDeviceInfo& info) { Seen(info); });
                QObject::connect(FAgent, &QBluetoothDeviceDiscoveryAgent::deviceUpdated,
                                 [this](const QBluetoothDeviceInfo& info,
                                        QBluetoothDeviceInfo::Fields) { Seen(info); });
                const auto end = [this] { Report([](TBleEvents* e) { e->DiscoveryFinished(); }); };
                QObject::connect(FAgent, &QBluetoothDeviceDiscoveryAgent::finished, end);
                QObject::connect(FAgent, &QBluetoothDeviceDiscoveryAgent::canceled, end);
                QObject::connect(FAgent, &QBluetoothDeviceDiscoveryAgent::errorOccurred,
                                 [end](QBluetoothDeviceDiscoveryAgent::Error) { end(); });
            }
            if (FAgent->isActive()) FAgent->stop();
            FAgent->setLowEnergyDiscoveryTimeout(timeoutMs);
            FAgent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
        });
    }

    void Seen(const QBluetoothDeviceInfo& info) {
        if (!(info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration)) return;
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
            QObject::connect(controller, &QLowEnergyController::connected,
                             [wait] { wait->Finish(true); });
            QObject::connect(controller, &QLowEnergyController::errorOccurred,
                             [wait, controller](QLowEnergyController::Error) {
                                 wait->Finish(false, controller->errorString());
                             });
            QObject::connect(controller, &QLowEnergyController::disconnected, [wait, device] {
                // Before the connect completed this is a failed connect;
                // after it, the device lost the link.
                std::unique_lock<std::mutex> lock(wait->Mutex);
                const bool wasUp = wait->Finished && wait->Ok;
                lock.unlock();
                if (wasUp)
                    device->RaiseDisconnect();
                else
                    wait->Finish(false, QStringLiteral("Disconnected while connecting"));
            });
            QObject::connect(controller, &QLowEnergyController::connected,
                             [device] { device->RaiseConnect(); });
            controller->connectToDevice();
        });
    }

    // Layer thread: forgets the device's controller and what it discovered.
    void DropController(TQtDevice* device) {
        if (!device->Controller) return;
        QObject::disconnect(device->Controller, nullptr, nullptr, nullptr);
        device->Controller->disconnectFromDevice();
        device->Controller->deleteLater();
        device->Controller = nullptr;
        device->QtServices.clear();  // children of the controller
    }

    void Disconnect(TQtDevice* device) {
        OnLayer([this, device] { DropController(device); });
    }

    void DiscoverServices(TBluetoothLEDevice* base) override {
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
                [this, device] { DetailServices(device); }, Qt::SingleShotConnection);
            controller->discoverServices();
            wait->Finish(true);
        });
    }

    // Layer thread: reads every service's details, then reports the list.
    void DetailServices(TQtDevice* device) {
        QLowEnergyController* controller = device->Controller;
        if (!controller) return;
        auto pending = std::make_shared<int>(0);
        auto services = std::make_shared<std::vector<QLowEnergyService*>>();
        for (const QBluetoothUuid& uuid : controller->services()) {
            QLowEnergyService* service = controller->createServiceObject(uuid, controller);
            if (!service) continue;
            services->push_back(service);
            ++*pending;
        }
        const auto finish = [this, device, services] {
            TBluetoothGattServiceList list;
            std::lock_guard<std::mutex> lock(FMutex);
            for (QLowEnergyService* service : *services) {
                auto wrapper =
                    std::make_unique<TBluetoothGattService>(QUuid(service->serviceUuid()));
                TBluetoothGattCharacteristicList chars;
                for (const QLowEnergyCharacteristic& c : service->characteristics()) {
                    auto chr = std::make_unique<TQtCharacteristic>(service, c);
                    TBluetoothGattDescriptorList descs;
                    for (const QLowEnergyDescriptor& d : c.descriptors()) {
                        FDescriptorObjects.push_back(
                            std::make_unique<TBluetoothGattDescriptor>(QUuid(d.uuid())));
                        descs.push_back(FDescriptorObjects.back().get());
                    }
                    FDescriptors[chr.get()] = descs;
                    chars.push_back(chr.get());
                    FByQt.push_back({service, c, chr.get()});
                    FCharacteristicObjects.push_back(std::move(chr));
                }
                FCharacteristics[wrapper.get()] = chars;
                list.push_back(wrapper.get());
                FServiceObjects.push_back(std::move(wrapper));
                QObject::connect(
                    service, &QLowEnergyService::characteristicChanged,
                    [this, service](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                        Changed(service, c, value);
                    });
            }
            device->QtServices = *services;
            Report([device, list](TBleEvents* e) { e->ServicesDiscovered(device, list); });
        };
        if (*pending == 0) {
            finish();
            return;
        }
        for (QLowEnergyService* service : *services) {
            QObject::connect(service, &QLowEnergyService::stateChanged, service,
                             [pending, finish, service](QLowEnergyService::ServiceState s) {
                                 if (s != QLowEnergyService::RemoteServiceDiscovered) return;
                                 QObject::disconnect(service, &QLowEnergyService::stateChanged,
                                                     nullptr, nullptr);
                                 if (--*pending == 0) finish();
                             });
            QObject::connect(service, &QLowEnergyService::errorOccurred, service,
                             [pending, finish, service](QLowEnergyService::ServiceError) {
                                 if (service->state() == QLowEnergyService::RemoteServiceDiscovered)
                                     return;
                                 QObject::disconnect(service, &QLowEnergyService::stateChanged,
                                                     nullptr, nullptr);
                                 if (--*pending == 0) finish();
                             });
            service->discoverDetails();
        }
    }

    void Changed(QLowEnergyService* service, const QLowEnergyCharacteristic& c,
                 const QByteArray& value) {
        TBluetoothGattCharacteristic* chr = nullptr;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            for (const TQtMapping& m : FByQt)
                if (m.Service == service && m.Qt == c) chr = m.Wrapper;
        }
        if (!chr) return;
        Report([chr, value](TBleEvents* e) {
            e->CharacteristicValue(chr, value, TBluetoothGattStatus::Success);
        });
    }

    TBluetoothGattCharacteristicList GetCharacteristics(TBluetoothGattService* service) override {
        ThrowIfCancelled();
        std::lock_guard<std::mutex> lock(FMutex);
        auto it = FCharacteristics.find(service);
        return it == FCharacteristics.end() ? TBluetoothGattCharacteristicList{} : it->second;
    }

    TBluetoothGattDescriptorList GetDescriptors(TBluetoothGattCharacteristic* c) override {
        ThrowIfCancelled();
        std::lock_guard<std::mutex> lock(FMutex);
        auto it = FDescriptors.find(c);
        return it == FDescriptors.end() ? TBluetoothGattDescriptorList{} : it->second;
    }

    bool Subscribe(TBluetoothLEDevice*, TBluetoothGattCharacteristic* base) override {
        auto* c = static_cast<TQtCharacteristic*>(base);
        return Call(
            CallTimeoutMs,
            [c](std::shared_ptr<TWait> wait) {
                const QLowEnergyDescriptor cccd = c->Qt.clientCharacteristicConfiguration();
                if (!cccd.isValid() ||
                    c->Service->state() != QLowEnergyService::RemoteServiceDiscovered) {
                    wait->Finish(false);
                    return;
                }
                QObject::connect(
                    c->Service, &QLowEnergyService::descriptorWritten, c->Service,
                    [wait](const QLowEnergyDescriptor&, const QByteArray&) { wait->Finish(true); },
                    Qt::SingleShotConnection);
                QObject::connect(
                    c->Service, &QLowEnergyService::errorOccurred, c->Service,
                    [wait](QLowEnergyService::ServiceError) { wait->Finish(false); },
                    Qt::SingleShotConnection);
                const bool indicate = !(c->Qt.properties() & QLowEnergyCharacteristic::Notify) &&
                                      (c->Qt.properties() & QLowEnergyCharacteristic::Indicate);
                c->Service->writeDescriptor(
                    cccd, indicate ? QByteArray::fromHex("0200") : QByteArray::fromHex("0100"));
            },
            false);
    }

    bool Write(TBluetoothLEDevice*, TBluetoothGattCharacteristic* base) override {
        auto* c = static_cast<TQtCharacteristic*>(base);
        const QByteArray value = c->ValueToWrite();
        return Call(
            CallTimeoutMs,
            [c, value](std::shared_ptr<TWait> wait) {
                if (c->Service->state() != QLowEnergyService::RemoteServiceDiscovered) {
                    wait->Finish(false);
                    return;
                }
                const auto props = c->Qt.properties();
                if ((props & QLowEnergyCharacteristic::WriteNoResponse) &&
                    !(props & QLowEnergyCharacteristic::Write)) {
                    c->Service->writeCharacteristic(c->Qt, value,
                                                    QLowEnergyService::WriteWithoutResponse);
                    wait->Finish(true);
                    return;
                }
                QObject::connect(
                    c->Service, &QLowEnergyService::characteristicWritten, c->Service,
                    [wait](const QLowEnergyCharacteristic&, const QByteArray&) {
                        wait->Finish(true);
                    },
                    Qt::SingleShotConnection);
                QObject::connect(
                    c->Service, &QLowEnergyService::errorOccurred, c->Service,
                    [wait](QLowEnergyService::ServiceError) { wait->Finish(false); },
                    Qt::SingleShotConnection);
                c->Service->writeCharacteristic(c->Qt, value);
            },
            false);
    }

    void Cancel() override {
        FCancelled = true;
        for (auto& w : Waits()) w->Finish(false, QStringLiteral("cancelled"));
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

    QThread FThread;
    QObject FContext;
    QBluetoothDeviceDiscoveryAgent* FAgent = nullptr;  // layer thread
    std::atomic<bool> FCancelled{false};
    std::mutex FEventsMutex;
    TBleEvents* FEvents = nullptr;

    std::mutex FMutex;  // the maps below and the waits
    std::map<QString, std::unique_ptr<TQtDevice>> FDevices;
    std::vector<std::unique_ptr<TBluetoothGattService>> FServiceObjects;
    std::vector<std::unique_ptr<TQtCharacteristic>> FCharacteristicObjects;
    std::vector<std::unique_ptr<TBluetoothGattDescriptor>> FDescriptorObjects;
    std::map<TBluetoothGattService*, TBluetoothGattCharacteristicList> FCharacteristics;
    std::map<TBluetoothGattCharacteristic*, TBluetoothGattDescriptorList> FDescriptors;
    std::vector<TQtMapping> FByQt;
    std::vector<std::shared_ptr<TWait>> FWaits;
};

void TQtDevice::Connect() {
    FOwner->Connect(this);
}
void TQtDevice::Disconnect() {
    FOwner->Disconnect(this);
}

}  // namespace

std::shared_ptr<TBleBackend> CreateBleBackend() {
    const QByteArray simulation = qgetenv("TARVEX_BLE_SIMULATION");
    if (simulation.isEmpty()) return std::make_shared<TQtBle>();
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
