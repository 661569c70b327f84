#pragma once

// Small helpers shared by the files of the Bluetooth LE link (links/ble/);
// nothing outside the link uses them.
#include <exception>

#include <QString>

#include "platform/ble/BluetoothLE.h"
#include "platform/core/Exception.h"
#include "platform/ui/Controls.h"

// (Re)starts a link timer with the interval; nothing for a freed one.
inline void ArmTimer(TTimer* timer, unsigned ms) {
    if (!timer) return;
    timer->SetEnabled(false);
    timer->SetInterval(ms);
    timer->SetEnabled(true);
}

inline void DisarmTimer(TTimer* timer) {
    if (timer) timer->SetEnabled(false);
}

// Inside a catch block: what the caught exception says.
inline QString CaughtText() {
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
inline void ReleaseBleDevice(TBluetoothLEDevice* device) {
    if (!device) return;
    device->SetOnDisconnect(nullptr);
    device->SetOnConnect(nullptr);
    try {
        device->Disconnect();
    } catch (const Exception&) {
    }
}
