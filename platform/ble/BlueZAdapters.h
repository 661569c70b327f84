#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include <QDBusMessage>
#include <QObject>
#include <QString>

#include "platform/ble/BluetoothLE.h"

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;
class QTimer;

// Follows BlueZ's adapters on the system bus by their events: the object
// manager's InterfacesAdded and InterfacesRemoved, and PropertiesChanged of
// org.bluez.Adapter1 (Powered). BlueZ is asked for its objects once at start,
// again when it comes back on the bus, and after a question that failed or
// went unanswered; idle, it costs no call at all.
//
// Every call is asynchronous with a time limit, so nothing waits for a BlueZ
// that hangs: the state stays Unknown until BlueZ answers, and Absent when no
// BlueZ runs. Lives on the thread that makes it (the main thread), which must
// also free it.
class TBlueZAdapters : public QObject {
    Q_OBJECT

public:
    // changed runs on this object's thread after every change of State().
    explicit TBlueZAdapters(std::function<void()> changed);
    ~TBlueZAdapters() override;

    // Any thread.
    TBleAdapterState State() const;

private Q_SLOTS:
    void InterfacesAdded(const QDBusMessage& message);
    void InterfacesRemoved(const QDBusMessage& message);
    void PropertiesChanged(const QDBusMessage& message);

private:
    void Ask();
    void Answered(QDBusPendingCallWatcher* call, std::uint64_t question);
    void Publish();

    std::function<void()> FChanged;
    bool FKnown = false;                // BlueZ answered since it last (re)appeared
    std::map<QString, bool> FAdapters;  // object path: powered
    std::uint64_t FQuestion = 0;        // an answer to an older question is dropped
    QDBusServiceWatcher* FBlueZWatch = nullptr;
    QTimer* FRetry = nullptr;

    mutable std::mutex FMutex;
    TBleAdapterState FState = TBleAdapterState::Unknown;
};
