#pragma once

// A real main form whose Bluetooth LE component talks to a simulated adapter
// on a manual clock: the test decides when 300, 2000, 5000, 12000 or 15000 ms
// have passed, and fires the link timers itself once they are armed.
#include <gtest/gtest.h>

#include <memory>

#include "platform/ble/BleClock.h"
#include "platform/ble/BleWorkers.h"
#include "platform/ble/SimulatedBle.h"
#include "support/FormFixture.h"

namespace ble_test {

inline const QString Ffe0 = QStringLiteral("0000ffe0-0000-1000-8000-00805f9b34fb");
inline const QString Ffe1 = QStringLiteral("0000ffe1-0000-1000-8000-00805f9b34fb");
inline const QString Ffe7 = QStringLiteral("0000ffe7-0000-1000-8000-00805f9b34fb");
inline const QString Fff0 = QStringLiteral("0000fff0-0000-1000-8000-00805f9b34fb");
inline const QString Fff1 = QStringLiteral("0000fff1-0000-1000-8000-00805f9b34fb");
inline const QString Cccd = QStringLiteral("00002902-0000-1000-8000-00805f9b34fb");

constexpr TColor Silver = RGB(192, 192, 192);
constexpr TColor Blue = RGB(0, 0, 255);
constexpr TColor Green = RGB(0, 255, 0);
constexpr TColor Red = RGB(255, 0, 0);

// A chronograph as most are: one service with FFE1 and its 2902.
inline TSimDeviceSetup Chronograph(const QString& name = QStringLiteral("KVRN"),
                                   const QString& address = QStringLiteral("AA:BB:CC:DD:EE:FF")) {
    TSimDeviceSetup d;
    d.Name = name;
    d.Address = address;
    d.Services = {{Ffe0, {{Ffe1, {Cccd}}}}};
    return d;
}

}  // namespace ble_test

class BleFixture : public FormFixture {
protected:
    using P = TForm1Probe;

    void SetUp() override {
        FormFixture::SetUp();
        FClock = std::make_shared<TBleClock>(true);
        TTimer::SetHeldForTesting(true);
        SetBleClockForTesting(FClock);
        SetBleBackendFactoryForTesting([this] {
            auto sim = std::make_shared<TSimulatedBle>(FSetup, FClock);
            FSim = sim;
            return sim;
        });
    }

    void TearDown() override {
        FormFixture::TearDown();
        FSim.reset();
        SetBleBackendFactoryForTesting(nullptr);
        SetBleClockForTesting(nullptr);
        TTimer::SetHeldForTesting(false);
    }

    TSimulatedBle& Sim() { return *FSim; }

    TBleLink& Link() { return P::BleLink(Form()); }
    TBleState State() { return Link().State(); }
    TColor Lamp() { return Form().Shape1->BrushColor(); }
    QString Status() {
        TStrings* lines = Form().Memo2->Lines();
        return lines->Count() ? lines->Strings(0) : QString();
    }
    QStringList ScanLines() { return Form().Memo2->Lines()->ToStringList(); }
    QStringList Shots() { return Form().Memo1->Lines()->ToStringList(); }

    // Lets the layer run the adverts due now, then ends the discovery.
    void FinishDiscovery() {
        FClock->Advance(5000);
        ASSERT_TRUE(WaitFor([&] { return !Sim().Discovering(); }));
        QCoreApplication::processEvents();
    }

    // CONNECT with the text, through to the end of the search.
    void Connect(const QString& target) {
        Form().Edit2->SetText(target);
        Form().CONNECT->Click();
        FinishDiscovery();
    }

    // Connect and wait until the chosen characteristic's subscription has
    // started its 300 ms pause.
    void ConnectToSubscribing(const QString& target = QStringLiteral("KVRN")) {
        Connect(target);
        ASSERT_TRUE(WaitFor([&] { return State() == TBleState::Subscribing; }))
            << Status().toStdString();
        ASSERT_TRUE(WaitForPause());
    }

    // Through the subscription: the link is up and the keep-alive runs.
    void ConnectToLinked(const QString& target = QStringLiteral("KVRN")) {
        ConnectToSubscribing(target);
        FClock->Advance(300);
        ASSERT_TRUE(WaitFor([&] { return P::FKeepAlive(Form())->Enabled(); }));
    }

    // A worker or a hanging call has reached its wait on the clock (the
    // layer's own loop is always one waiter).
    bool WaitForPause(int waiters = 2) {
        return WaitFor([&] { return FClock->Waiters() >= waiters; });
    }

    // Every link worker has ended (a finished write also clears its mark).
    bool WaitForWorkers() {
        return WaitFor([&] { return P::FBleWorkers(Form())->Running() == 0; });
    }

    // A link timer that is armed with the expected interval fires once.
    void Fire(TTimer* timer, unsigned interval) {
        ASSERT_TRUE(timer);
        ASSERT_TRUE(timer->Enabled());
        ASSERT_EQ(timer->Interval(), interval);
        timer->OnTimer(timer);
        QCoreApplication::processEvents();
    }

    TSimAdapterSetup FSetup;
    std::shared_ptr<TBleClock> FClock;
    std::shared_ptr<TSimulatedBle> FSim;
};
