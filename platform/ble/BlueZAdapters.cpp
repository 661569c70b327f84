#include "platform/ble/BlueZAdapters.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <QVariantMap>

namespace {

const QString BlueZService = QStringLiteral("org.bluez");
const QString ObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString Adapter1 = QStringLiteral("org.bluez.Adapter1");
const QString Powered = QStringLiteral("Powered");

// How long BlueZ has to answer, and the pause before it is asked again after
// it did not (a hung bluetoothd costs one call every ten seconds).
constexpr int AskTimeoutMs = 5000;
constexpr int RetryMs = 5000;

bool IsArgument(const QVariant& v) {
    return v.metaType() == QMetaType::fromType<QDBusArgument>();
}

// a{sv}, whichever way the message holds it.
QVariantMap ToProperties(const QVariant& v) {
    QVariantMap map;
    if (IsArgument(v))
        v.value<QDBusArgument>() >> map;
    else
        map = v.toMap();
    return map;
}

// a{sa{sv}}: interface name to its properties.
QMap<QString, QVariantMap> ToInterfaces(const QVariant& v) {
    QMap<QString, QVariantMap> interfaces;
    if (IsArgument(v)) v.value<QDBusArgument>() >> interfaces;
    return interfaces;
}

}  // namespace

TBlueZAdapters::TBlueZAdapters(std::function<void()> changed) : FChanged(std::move(changed)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        // No system bus: no BlueZ, and none will come.
        FKnown = true;
        Publish();
        return;
    }
    bus.connect(BlueZService, QStringLiteral("/"), ObjectManager, QStringLiteral("InterfacesAdded"),
                this, SLOT(InterfacesAdded(QDBusMessage)));
    bus.connect(BlueZService, QStringLiteral("/"), ObjectManager,
                QStringLiteral("InterfacesRemoved"), this, SLOT(InterfacesRemoved(QDBusMessage)));
    // Only the adapters' property changes: a linked device's notifications
    // are property changes too, and are none of this object's business.
    bus.connect(BlueZService, QString(), Properties, QStringLiteral("PropertiesChanged"),
                {Adapter1}, QString(), this, SLOT(PropertiesChanged(QDBusMessage)));
    FRetry = new QTimer(this);
    FRetry->setSingleShot(true);
    FRetry->setInterval(RetryMs);
    connect(FRetry, &QTimer::timeout, this, [this] { Ask(); });
    FBlueZWatch = new QDBusServiceWatcher(
        BlueZService, bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(FBlueZWatch, &QDBusServiceWatcher::serviceRegistered, this, [this] { Ask(); });
    connect(FBlueZWatch, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        // bluetoothd ended: no adapter until it is back and has answered.
        ++FQuestion;
        FRetry->stop();
        FAdapters.clear();
        FKnown = true;
        Publish();
    });
    Ask();
}

TBlueZAdapters::~TBlueZAdapters() = default;

TBleAdapterState TBlueZAdapters::State() const {
    std::lock_guard<std::mutex> lock(FMutex);
    return FState;
}

void TBlueZAdapters::Ask() {
    FRetry->stop();
    const std::uint64_t question = ++FQuestion;
    const QDBusMessage message = QDBusMessage::createMethodCall(
        BlueZService, QStringLiteral("/"), ObjectManager, QStringLiteral("GetManagedObjects"));
    auto* call = new QDBusPendingCallWatcher(
        QDBusConnection::systemBus().asyncCall(message, AskTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher* c) { Answered(c, question); });
}

void TBlueZAdapters::Answered(QDBusPendingCallWatcher* call, std::uint64_t question) {
    call->deleteLater();
    if (question != FQuestion) return;
    const QDBusMessage reply = call->reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() == QDBusError::errorString(QDBusError::ServiceUnknown)) {
            // No bluetoothd on the bus: the service watcher says when one
            // comes.
            FAdapters.clear();
            FKnown = true;
            Publish();
        } else {
            // No answer in time (a hung bluetoothd) or another fault: what
            // was known stays, and BlueZ is asked again later.
            FRetry->start();
        }
        return;
    }
    // The answer holds every change signalled before it was sent, and the
    // signals after it come after it: it replaces what the signals told.
    FAdapters.clear();
    if (!reply.arguments().isEmpty() && IsArgument(reply.arguments().constFirst())) {
        const QDBusArgument objects = reply.arguments().constFirst().value<QDBusArgument>();
        objects.beginMap();
        while (!objects.atEnd()) {
            QDBusObjectPath path;
            QMap<QString, QVariantMap> interfaces;
            objects.beginMapEntry();
            objects >> path >> interfaces;
            objects.endMapEntry();
            const auto adapter = interfaces.constFind(Adapter1);
            if (adapter != interfaces.constEnd())
                FAdapters[path.path()] = adapter->value(Powered).toBool();
        }
        objects.endMap();
    }
    FKnown = true;
    Publish();
}

void TBlueZAdapters::InterfacesAdded(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2) return;
    const QMap<QString, QVariantMap> interfaces = ToInterfaces(args[1]);
    const auto adapter = interfaces.constFind(Adapter1);
    if (adapter == interfaces.constEnd()) return;
    FAdapters[args[0].value<QDBusObjectPath>().path()] = adapter->value(Powered).toBool();
    Publish();
}

void TBlueZAdapters::InterfacesRemoved(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2 || !args[1].toStringList().contains(Adapter1)) return;
    FAdapters.erase(args[0].value<QDBusObjectPath>().path());
    Publish();
}

void TBlueZAdapters::PropertiesChanged(const QDBusMessage& message) {
    const QVariantList args = message.arguments();
    if (args.size() < 2 || args[0].toString() != Adapter1) return;
    const QVariantMap changed = ToProperties(args[1]);
    const auto powered = changed.constFind(Powered);
    if (powered == changed.constEnd()) return;
    FAdapters[message.path()] = powered->toBool();
    Publish();
}

void TBlueZAdapters::Publish() {
    TBleAdapterState state = TBleAdapterState::Unknown;
    if (FKnown) {
        state = TBleAdapterState::Absent;
        for (const auto& adapter : FAdapters)
            if (adapter.second) state = TBleAdapterState::Present;
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        if (state == FState) return;
        FState = state;
    }
    if (FChanged) FChanged();
}
