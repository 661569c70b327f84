#include "platform/ble/SimulatedBle.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/core/Exception.h"

// ---- JSON

namespace {

bool OneOf(const QString& value, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed)
        if (value == QLatin1String(a)) return true;
    return false;
}

struct TReader {
    QString Error;

    bool String(const QJsonObject& o, const char* key, const QString& where, QString& out,
                std::initializer_list<const char*> allowed = {}) {
        if (!o.contains(QLatin1String(key))) return true;
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString()) return Fail(where + key + QStringLiteral(": a text is expected"));
        out = v.toString();
        if (allowed.size() && !OneOf(out, allowed))
            return Fail(where + key + QStringLiteral(": unknown value \"") + out +
                        QLatin1Char('"'));
        return true;
    }
    // A number outside [low, high] is refused like any other bad value: it
    // could not be turned into an integer, or added to the clock, safely.
    bool Number(const QJsonObject& o, const char* key, const QString& where, std::int64_t& out,
                std::int64_t low, std::int64_t high) {
        if (!o.contains(QLatin1String(key))) return true;
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble()) return Fail(where + key + QStringLiteral(": a number is expected"));
        const double number = v.toDouble();
        if (!(number >= double(low) && number <= double(high)))
            return Fail(where + key +
                        QStringLiteral(": a number from %1 to %2 is expected").arg(low).arg(high));
        out = std::int64_t(number);
        return true;
    }
    bool Fail(const QString& message) {
        Error = message;
        return false;
    }
};

bool ParseHex(const QString& text, QByteArray& out) {
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    if (digits.size() % 2 != 0) return false;
    for (QChar c : digits)
        if (!std::isxdigit(c.toLatin1())) return false;
    out = QByteArray::fromHex(digits.toLatin1());
    return true;
}

}  // namespace

bool ParseSimulation(const QByteArray& json, const QString& baseDir, TSimAdapterSetup& setup,
                     QString& error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        error = parseError.errorString() + QStringLiteral(" at offset ") +
                QString::number(parseError.offset);
        return false;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("the file must hold one JSON object");
        return false;
    }
    TReader r;
    const QJsonObject root = doc.object();
    TSimAdapterSetup result;
    if (root.contains(QLatin1String("adapter"))) {
        if (!root.value(QLatin1String("adapter")).isBool()) {
            error = QStringLiteral("adapter: true or false is expected");
            return false;
        }
        result.Adapter = root.value(QLatin1String("adapter")).toBool();
    }
    QString writes;
    if (!r.String(root, "writes", QString(), writes)) {
        error = r.Error;
        return false;
    }
    if (!writes.isEmpty())
        result.WritesFile =
            QFileInfo(writes).isAbsolute() ? writes : QDir(baseDir).filePath(writes);

    const QJsonValue devices = root.value(QLatin1String("devices"));
    if (!devices.isUndefined() && !devices.isArray()) {
        error = QStringLiteral("devices: a list is expected");
        return false;
    }
    const QJsonArray list = devices.toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("devices[%1].").arg(i);
        if (!list[i].isObject()) {
            error = QStringLiteral("devices[%1]: an object is expected").arg(i);
            return false;
        }
        const QJsonObject d = list[i].toObject();
        TSimDeviceSetup dev;
        std::int64_t rssi = dev.Rssi;
        bool ok =
            r.String(d, "name", where, dev.Name) && r.String(d, "address", where, dev.Address) &&
            r.Number(d, "rssi", where, rssi, SimRssiMin, SimRssiMax) &&
            r.String(d, "connect", where, dev.Connect, {"ok", "fail", "hang"}) &&
            r.String(d, "discover_services", where, dev.DiscoverServices,
                     {"ok", "fail", "silent", "empty"}) &&
            r.String(d, "subscribe", where, dev.Subscribe, {"ok", "fail", "false", "hang"}) &&
            r.String(d, "write", where, dev.Write, {"ok", "fail", "false", "hang"}) &&
            r.Number(d, "drop_at_ms", where, dev.DropAtMs, -SimScriptMsMax, SimScriptMsMax) &&
            r.String(d, "drop_events", where, dev.DropEvents, {"device", "component", "both"});
        if (!ok) {
            error = r.Error;
            return false;
        }
        dev.Rssi = int(rssi);
        if (d.contains(QLatin1String("advertise")))
            dev.Advertise = d.value("advertise").toBool(true);

        for (const QJsonValue sv : d.value(QLatin1String("services")).toArray()) {
            const QJsonObject so = sv.toObject();
            TSimServiceSetup service;
            service.Uuid = so.value(QLatin1String("uuid")).toString();
            if (StringToGUID(service.Uuid).isNull()) {
                error = where + QStringLiteral("services: a service needs a valid \"uuid\"");
                return false;
            }
            for (const QJsonValue cv : so.value(QLatin1String("characteristics")).toArray()) {
                const QJsonObject co = cv.toObject();
                TSimCharacteristicSetup c;
                c.Uuid = co.value(QLatin1String("uuid")).toString();
                if (StringToGUID(c.Uuid).isNull()) {
                    error = where + QStringLiteral("characteristics: a valid \"uuid\" is needed");
                    return false;
                }
                for (const QJsonValue dv : co.value(QLatin1String("descriptors")).toArray()) {
                    if (StringToGUID(dv.toString()).isNull()) {
                        error = where + QStringLiteral("descriptors: \"") + dv.toString() +
                                QStringLiteral("\" is no UUID");
                        return false;
                    }
                    c.Descriptors << dv.toString();
                }
                service.Characteristics.push_back(c);
            }
            dev.Services.push_back(service);
        }
        for (const QJsonValue nv : d.value(QLatin1String("notifications")).toArray()) {
            const QJsonObject no = nv.toObject();
            TSimNotification n;
            if (!r.Number(no, "at_ms", where + QStringLiteral("notifications."), n.AtMs, 0,
                          SimScriptMsMax)) {
                error = r.Error;
                return false;
            }
            if (no.contains(QLatin1String("text"))) {
                n.Bytes = no.value(QLatin1String("text")).toString().toUtf8();
            } else if (!ParseHex(no.value(QLatin1String("hex")).toString(), n.Bytes)) {
                error = where + QStringLiteral(
                                    "notifications: each needs \"text\" or \"hex\" (pairs of "
                                    "hexadecimal digits)");
                return false;
            }
            dev.Notifications.push_back(n);
        }
        result.Devices.push_back(dev);
    }
    setup = result;
    return true;
}

std::shared_ptr<TBleBackend> LoadSimulationFile(const QString& path, QString& error) {
    TSimAdapterSetup setup;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read ") + path + QStringLiteral(": ") + file.errorString();
        setup.Adapter = false;
        setup.Devices.clear();
    } else if (!ParseSimulation(file.readAll(), QFileInfo(path).absolutePath(), setup, error)) {
        error = path + QStringLiteral(": ") + error;
        setup = TSimAdapterSetup{};
        setup.Adapter = false;
    }
    return std::make_shared<TSimulatedBle>(setup, BleClock());
}

// ---- The adapter

class TSimulatedBle::TSimDevice : public TBluetoothLEDevice {
public:
    TSimDevice(TSimulatedBle* owner, int index, const TSimDeviceSetup& setup)
        : TBluetoothLEDevice(setup.Name, setup.Address), FOwner(owner), FIndex(index) {}
    void Connect() override;
    void Disconnect() override;
    TSimulatedBle* FOwner;
    int FIndex;
};

struct TSimulatedBle::TDeviceState {
    TSimDeviceSetup Setup;
    std::unique_ptr<TSimDevice> Device;
    std::vector<std::unique_ptr<TBluetoothGattService>> Services;
    std::vector<std::unique_ptr<TBluetoothGattCharacteristic>> Characteristics;
    std::vector<std::unique_ptr<TBluetoothGattDescriptor>> Descriptors;
    bool Connected = false;
    std::uint64_t Session = 0;  // changes whenever the link goes down
    std::int64_t SubscribedAt = 0;
    int Connects = 0;
    int Disconnects = 0;
    int Subscriptions = 0;
};

TSimulatedBle::TSimulatedBle(TSimAdapterSetup setup, std::shared_ptr<TBleClock> clock)
    : FClock(clock ? std::move(clock) : BleClock()),
      FAdapter(setup.Adapter ? TBleAdapterState::Present : TBleAdapterState::Absent),
      FWritesFile(setup.WritesFile) {
    for (std::size_t i = 0; i < setup.Devices.size(); ++i) {
        auto state = std::make_unique<TDeviceState>();
        state->Setup = setup.Devices[i];
        state->Device = std::make_unique<TSimDevice>(this, int(i), setup.Devices[i]);
        for (const TSimServiceSetup& s : setup.Devices[i].Services) {
            auto service = std::make_unique<TBluetoothGattService>(StringToGUID(s.Uuid));
            TBluetoothGattCharacteristicList chars;
            for (const TSimCharacteristicSetup& c : s.Characteristics) {
                auto chr = std::make_unique<TBluetoothGattCharacteristic>(StringToGUID(c.Uuid));
                TBluetoothGattDescriptorList descs;
                for (const QString& d : c.Descriptors) {
                    state->Descriptors.push_back(
                        std::make_unique<TBluetoothGattDescriptor>(StringToGUID(d)));
                    descs.push_back(state->Descriptors.back().get());
                }
                FDescriptors[chr.get()] = descs;
                FUuidText[chr.get()] = c.Uuid.toLower();
                chars.push_back(chr.get());
                state->Characteristics.push_back(std::move(chr));
            }
            FCharacteristics[service.get()] = chars;
            FFailCharacteristics[service.get()] = s.FailCharacteristics;
            state->Services.push_back(std::move(service));
        }
        FDevices.push_back(std::move(state));
    }
    FLayer = std::thread([this] { LayerLoop(); });
}

TSimulatedBle::~TSimulatedBle() {
    FCancelled = true;
    FStop = true;
    FClock->Poke();
    if (FLayer.joinable()) FLayer.join();
}

void TSimulatedBle::SetEvents(TBleEvents* events) {
    std::lock_guard<std::mutex> lock(FEventsMutex);
    FEvents = events;
}

TBleEvents* TSimulatedBle::Events() {
    return FEvents;
}

TBleAdapterState TSimulatedBle::AdapterState() {
    return FAdapter.load();
}

void TSimulatedBle::SetAdapterState(TBleAdapterState state) {
    FAdapter = state;
    std::lock_guard<std::mutex> lock(FEventsMutex);
    if (FEvents) FEvents->AdapterChanged();
}

TSimulatedBle::TDeviceState& TSimulatedBle::State(TBluetoothLEDevice* device) {
    return *FDevices.at(std::size_t(static_cast<TSimDevice*>(device)->FIndex));
}
TSimulatedBle::TDeviceState& TSimulatedBle::State(int index) {
    return *FDevices.at(std::size_t(index));
}
const TSimulatedBle::TDeviceState& TSimulatedBle::State(int index) const {
    return *FDevices.at(std::size_t(index));
}

TBluetoothLEDevice* TSimulatedBle::Device(int index) const {
    return State(index).Device.get();
}

void TSimulatedBle::SetBehaviour(int index, const std::function<void(TSimDeviceSetup&)>& change) {
    std::lock_guard<std::mutex> lock(FMutex);
    change(State(index).Setup);
}

void TSimulatedBle::Schedule(std::int64_t due, std::function<void()> run) {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FTasks.push_back({due, FNextTask++, std::move(run)});
    }
    ++FTaskVersion;
    FClock->Poke();
}

void TSimulatedBle::LayerLoop() {
    while (!FStop) {
        std::int64_t due = -1;
        std::uint64_t id = 0;
        const std::uint64_t version = FTaskVersion.load();
        {
            std::lock_guard<std::mutex> lock(FMutex);
            for (const TTask& t : FTasks)
                if (id == 0 || t.Due < due || (t.Due == due && t.Id < id)) {
                    due = t.Due;
                    id = t.Id;
                }
        }
        const auto changed = [&] { return FStop.load() || FTaskVersion.load() != version; };
        if (id == 0) {
            FClock->WaitUntil(-1, changed);
            continue;
        }
        if (!FClock->WaitUntil(due, changed)) continue;
        std::function<void()> run;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            auto it = std::find_if(FTasks.begin(), FTasks.end(),
                                   [id](const TTask& t) { return t.Id == id; });
            if (it == FTasks.end()) continue;
            run = std::move(it->Run);
            FTasks.erase(it);
        }
        if (run) run();
    }
}

void TSimulatedBle::RaiseAdvert(int index, int rssi) {
    std::lock_guard<std::mutex> lock(FEventsMutex);
    if (FEvents) FEvents->DeviceDiscovered(Device(index), rssi);
}

void TSimulatedBle::StartDiscovery(int timeoutMs, std::uint64_t tag) {
    if (FAdapter.load() != TBleAdapterState::Present)
        throw Exception(QStringLiteral("No Bluetooth LE adapter"));
    const std::uint64_t discovery = tag;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FDiscovery = tag;
        ++FDiscoveries;
        FDiscovering = true;
    }
    const std::int64_t now = FClock->NowMs();
    for (std::size_t i = 0; i < FDevices.size(); ++i) {
        bool advertise;
        int rssi;
        {
            std::lock_guard<std::mutex> lock(FMutex);
            advertise = FDevices[i]->Setup.Advertise;
            rssi = FDevices[i]->Setup.Rssi;
        }
        if (advertise) Schedule(now, [this, i, rssi] { RaiseAdvert(int(i), rssi); });
    }
    Schedule(now + timeoutMs, [this, discovery] {
        {
            std::lock_guard<std::mutex> lock(FMutex);
            if (discovery != FDiscovery || !FDiscovering) return;
        }
        EndDiscovery();
    });
}

void TSimulatedBle::Advertise(int index, int rssi) {
    RaiseAdvert(index, rssi);
}

void TSimulatedBle::EndDiscovery() {
    // The end is reported before Discovering() turns false, so whoever sees
    // it false finds the report already on its way.
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FDiscovering) return;
    {
        std::lock_guard<std::mutex> events(FEventsMutex);
        if (FEvents) FEvents->DiscoveryFinished(FDiscovery);
    }
    FDiscovering = false;
}

int TSimulatedBle::Discoveries() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FDiscoveries;
}

bool TSimulatedBle::Discovering() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FDiscovering;
}

void TSimulatedBle::ThrowIfCancelled() const {
    if (FCancelled) throw Exception(QStringLiteral("Bluetooth LE call cancelled"));
}

void TSimulatedBle::Hang(const std::function<bool()>& release) {
    ++FBlocked;
    FClock->WaitUntil(-1, [&] { return FCancelled.load() || (release && release()); });
    --FBlocked;
    ThrowIfCancelled();
}

void TSimulatedBle::Cancel() {
    FCancelled = true;
    FClock->Poke();
}

void TSimulatedBle::TSimDevice::Connect() {
    TSimulatedBle& sim = *FOwner;
    sim.ThrowIfCancelled();
    QString how;
    {
        std::lock_guard<std::mutex> lock(sim.FMutex);
        how = sim.State(FIndex).Setup.Connect;
        ++sim.State(FIndex).Connects;
    }
    if (how == QLatin1String("fail")) throw Exception(QStringLiteral("Connect failed"));
    if (how == QLatin1String("hang")) {
        const std::uint64_t release = sim.FHangRelease.load();
        sim.Hang([&sim, release] { return sim.FHangRelease.load() != release; });
    }
    {
        std::lock_guard<std::mutex> lock(sim.FMutex);
        TDeviceState& state = sim.State(FIndex);
        state.Connected = true;
        ++state.Session;
    }
    sim.Schedule(sim.FClock->NowMs(), [this] { RaiseConnect(); });
}

void TSimulatedBle::TSimDevice::Disconnect() {
    TSimulatedBle& sim = *FOwner;
    std::lock_guard<std::mutex> lock(sim.FMutex);
    TDeviceState& state = sim.State(FIndex);
    state.Connected = false;
    ++state.Session;
    ++state.Disconnects;
}

void TSimulatedBle::DiscoverServices(TBluetoothLEDevice* device) {
    ThrowIfCancelled();
    QString how;
    TBluetoothGattServiceList services;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        TDeviceState& state = State(device);
        if (!state.Connected) throw Exception(QStringLiteral("Device not connected"));
        how = state.Setup.DiscoverServices;
        for (auto& s : state.Services) services.push_back(s.get());
    }
    if (how == QLatin1String("fail")) throw Exception(QStringLiteral("Service discovery failed"));
    if (how == QLatin1String("silent")) return;
    if (how == QLatin1String("empty")) services.clear();
    std::lock_guard<std::mutex> lock(FEventsMutex);
    if (FEvents) FEvents->ServicesDiscovered(device, services);
}

TBluetoothGattCharacteristicList TSimulatedBle::GetCharacteristics(TBluetoothGattService* service) {
    ThrowIfCancelled();
    auto fail = FFailCharacteristics.find(service);
    if (fail != FFailCharacteristics.end() && fail->second)
        throw Exception(QStringLiteral("GetCharacteristics failed"));
    auto it = FCharacteristics.find(service);
    return it == FCharacteristics.end() ? TBluetoothGattCharacteristicList{} : it->second;
}

TBluetoothGattDescriptorList TSimulatedBle::GetDescriptors(TBluetoothGattCharacteristic* c) {
    ThrowIfCancelled();
    auto it = FDescriptors.find(c);
    return it == FDescriptors.end() ? TBluetoothGattDescriptorList{} : it->second;
}

bool TSimulatedBle::Subscribe(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) {
    ThrowIfCancelled();
    QString how;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        TDeviceState& state = State(device);
        if (!state.Connected) throw Exception(QStringLiteral("Device not connected"));
        how = state.Setup.Subscribe;
    }
    if (how == QLatin1String("fail")) throw Exception(QStringLiteral("Subscribe failed"));
    if (how == QLatin1String("false")) return false;
    if (how == QLatin1String("hang")) {
        const std::uint64_t release = FHangRelease.load();
        Hang([this, release] { return FHangRelease.load() != release; });
    }

    const std::int64_t now = FClock->NowMs();
    std::uint64_t session;
    std::vector<TSimNotification> notifications;
    std::int64_t dropAt;
    QString dropEvents;
    int index = static_cast<TSimDevice*>(device)->FIndex;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        TDeviceState& state = State(device);
        state.SubscribedAt = now;
        ++state.Subscriptions;
        session = state.Session;
        notifications = state.Setup.Notifications;
        dropAt = state.Setup.DropAtMs;
        dropEvents = state.Setup.DropEvents;
    }
    const QString uuid =
        FUuidText.count(c) ? FUuidText[c] : c->UUID().toString(QUuid::WithoutBraces);
    // A scripted event belongs to the link it was scheduled on: once that
    // link is down, the rest of its script is dropped.
    const auto live = [this, index, session] {
        std::lock_guard<std::mutex> lock(FMutex);
        return State(index).Connected && State(index).Session == session;
    };
    for (const TSimNotification& n : notifications)
        Schedule(now + n.AtMs, [this, live, c, bytes = n.Bytes] {
            if (!live()) return;
            std::lock_guard<std::mutex> lock(FEventsMutex);
            if (FEvents) FEvents->CharacteristicValue(c, bytes, TBluetoothGattStatus::Success);
        });
    if (dropAt >= 0)
        Schedule(now + dropAt, [this, live, index, dropEvents] {
            if (!live()) return;
            DropLink(index, dropEvents != QLatin1String("component"),
                     dropEvents != QLatin1String("device"));
        });
    return true;
}

bool TSimulatedBle::Write(TBluetoothLEDevice* device, TBluetoothGattCharacteristic* c) {
    ThrowIfCancelled();
    const int inFlight = ++FWritesInFlight;
    int most = FMostWritesAtOnce.load();
    while (inFlight > most && !FMostWritesAtOnce.compare_exchange_weak(most, inFlight)) {
    }
    struct TLeave {
        std::atomic<int>& Count;
        ~TLeave() { --Count; }
    } leave{FWritesInFlight};

    QString how;
    std::int64_t subscribedAt;
    {
        std::lock_guard<std::mutex> lock(FMutex);
        TDeviceState& state = State(device);
        if (!state.Connected) throw Exception(QStringLiteral("Device not connected"));
        how = state.Setup.Write;
        subscribedAt = state.SubscribedAt;
    }
    if (how == QLatin1String("fail")) throw Exception(QStringLiteral("Write failed"));
    if (how == QLatin1String("false")) return false;
    if (how == QLatin1String("hang")) {
        const std::uint64_t release = FHangRelease.load();
        Hang([this, release] { return FHangRelease.load() != release; });
    }

    TWrite write;
    write.Ms = FClock->NowMs() - subscribedAt;
    write.Uuid = FUuidText.count(c) ? FUuidText[c] : c->UUID().toString(QUuid::WithoutBraces);
    write.Bytes = c->ValueToWrite();
    std::lock_guard<std::mutex> lock(FMutex);
    FWrites.push_back(write);
    if (!FWritesFile.isEmpty()) {
        QFile file(FWritesFile);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            file.write(QByteArray::number(qlonglong(write.Ms)) + ' ' + write.Uuid.toLatin1() + ' ' +
                       write.Bytes.toHex().toUpper() + '\n');
        }
    }
    return true;
}

void TSimulatedBle::ReleaseHangs() {
    ++FHangRelease;
    FClock->Poke();
}

void TSimulatedBle::Notify(int index, const QString& uuid, const QByteArray& bytes,
                           TBluetoothGattStatus status) {
    TBluetoothGattCharacteristic* target = nullptr;
    for (auto& c : State(index).Characteristics)
        if (IsEqualGUID(c->UUID(), StringToGUID(uuid))) target = c.get();
    if (!target) throw Exception(QStringLiteral("No characteristic ") + uuid);
    std::lock_guard<std::mutex> lock(FEventsMutex);
    if (FEvents) FEvents->CharacteristicValue(target, bytes, status);
}

void TSimulatedBle::DropLink(int index, bool deviceEvent, bool componentEvent, bool deviceFirst) {
    {
        std::lock_guard<std::mutex> lock(FMutex);
        TDeviceState& state = State(index);
        state.Connected = false;
        ++state.Session;
    }
    TBluetoothLEDevice* device = Device(index);
    const auto component = [this, device] {
        std::lock_guard<std::mutex> lock(FEventsMutex);
        if (FEvents) FEvents->DeviceDisconnected(device);
    };
    // The device's own event comes on the layer's thread; when both are
    // asked for, the order between them is kept by running both there.
    const std::int64_t now = FClock->NowMs();
    if (deviceEvent && componentEvent) {
        Schedule(now, [device, component, deviceFirst] {
            if (deviceFirst) {
                device->RaiseDisconnect();
                component();
            } else {
                component();
                device->RaiseDisconnect();
            }
        });
    } else if (deviceEvent) {
        Schedule(now, [device] { device->RaiseDisconnect(); });
    } else if (componentEvent) {
        component();
    }
}

std::vector<TSimulatedBle::TWrite> TSimulatedBle::Writes() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FWrites;
}

int TSimulatedBle::Connects(int index) const {
    std::lock_guard<std::mutex> lock(FMutex);
    return State(index).Connects;
}

int TSimulatedBle::Disconnects(int index) const {
    std::lock_guard<std::mutex> lock(FMutex);
    return State(index).Disconnects;
}

int TSimulatedBle::Subscriptions(int index) const {
    std::lock_guard<std::mutex> lock(FMutex);
    return State(index).Subscriptions;
}

bool TSimulatedBle::Connected(int index) const {
    std::lock_guard<std::mutex> lock(FMutex);
    return State(index).Connected;
}
