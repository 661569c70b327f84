#pragma once

// A real main form whose Bluetooth LE component goes through the Qt backend
// (BlueZ over D-Bus) to the stand-in. The link timers are held (the test
// fires the watchdog and the keep-alive itself) and the workers' pauses run
// on a manual clock; discoveries last DiscoveryMs.
#include <gtest/gtest.h>

#include <memory>

#include "BlueZStandIn.h"
#include "platform/ble/BleClock.h"
#include "platform/ble/BleWorkers.h"
#include "support/FormFixture.h"

namespace bluez_test {

constexpr int DiscoveryMs = 1000;
inline const QString Kvrn = QStringLiteral("AA:BB:CC:DD:EE:01");
// One service with FFE1 and its 2902, as most chronographs have.
inline const QString ChronographTable =
    QStringLiteral(R"([{"uuid":"ffe0","chars":[{"uuid":"ffe1","descs":["2902"]}]}])");
inline const QString Ffe1 = QStringLiteral("0000ffe1-0000-1000-8000-00805f9b34fb");
inline const QString Ffe7 = QStringLiteral("0000ffe7-0000-1000-8000-00805f9b34fb");

constexpr TColor Silver = RGB(192, 192, 192);
constexpr TColor Green = RGB(0, 255, 0);
constexpr TColor Red = RGB(255, 0, 0);

}  // namespace bluez_test

class BlueZFixture : public FormFixture {
protected:
    using P = TForm1Probe;

    void SetUp() override {
        FormFixture::SetUp();
        StandIn().Command(QStringLiteral("reset"));
        StandIn().Command(QStringLiteral("adapter hci0"));
        StandIn().ClearEvents();
        FClock = std::make_shared<TBleClock>(true);
        TTimer::SetHeldForTesting(true);
        SetBleClockForTesting(FClock);
        SetBleBackendFactoryForTesting([this] {
            auto backend = CreateQtBleBackend(bluez_test::DiscoveryMs);
            FBackend = backend;
            return backend;
        });
    }

    void TearDown() override {
        FormFixture::TearDown();
        FBackend.reset();
        SetBleBackendFactoryForTesting(nullptr);
        SetBleClockForTesting(nullptr);
        TTimer::SetHeldForTesting(false);
    }

    // A chronograph in range.
    void AddChronograph(const QString& address = bluez_test::Kvrn,
                        const QString& table = bluez_test::ChronographTable,
                        const QString& name = QStringLiteral("KVRN")) {
        StandIn().Command(QStringLiteral("device hci0 %1 -55 le %2").arg(address, name));
        StandIn().Command(QStringLiteral("gatt %1 %2").arg(address, table));
    }

    TBleLink& Link() { return P::BleLink(Form()); }
    TBleState State() { return Link().State(); }
    TColor Lamp() { return Form().Shape1->BrushColor(); }
    QString BleStatus() {
        TStrings* lines = Form().Memo2->Lines();
        return lines->Count() ? lines->Strings(0) : QString();
    }
    bool WaitForStatus(const QString& text, int seconds = 30) {
        return WaitFor([&] { return BleStatus() == text; }, seconds);
    }
    bool WaitForEvents(const QString& prefix, int count, int seconds = 30) {
        return WaitFor([&] { return StandIn().Count(prefix) >= count; }, seconds);
    }

    void PressConnect(const QString& target) {
        Form().Edit2->SetText(target);
        Form().CONNECT->Click();
    }

    // Waits until the subscribe worker sits in its 300 ms pause.
    bool WaitForSubscribePause() {
        return WaitFor([&] { return State() == TBleState::Subscribing && FClock->Waiters() >= 1; },
                       30);
    }

    // After the subscribe pause: the subscription went through and the
    // keep-alive is armed. (The keep-alive alone says nothing: a new
    // CONNECT leaves it armed until its next tick finds the link down.)
    bool WaitForLinked() {
        return WaitFor(
            [&] { return State() == TBleState::Linked && P::FKeepAlive(Form())->Enabled(); }, 30);
    }

    // CONNECT through to a subscribed link with the keep-alive armed.
    void ConnectToLinked(const QString& target = QStringLiteral("KVRN")) {
        const int subscribed = StandIn().Count(QStringLiteral("START_NOTIFY"));
        PressConnect(target);
        ASSERT_TRUE(WaitForSubscribePause()) << BleStatus().toStdString();
        FClock->Advance(300);
        ASSERT_TRUE(WaitForLinked()) << BleStatus().toStdString();
        ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), subscribed + 1));
        EXPECT_EQ(BleStatus(), QStringLiteral("Connected"));
        EXPECT_EQ(Lamp(), bluez_test::Green);
    }

    // A notification of the chronograph's FFE1.
    void Notify(const QByteArray& bytes, const QString& uuid = QStringLiteral("ffe1")) {
        StandIn().Command(QStringLiteral("notify %1 %2 %3")
                              .arg(bluez_test::Kvrn, uuid, QString::fromLatin1(bytes.toHex())));
    }

    void Fire(TTimer* timer) {
        ASSERT_TRUE(timer);
        ASSERT_TRUE(timer->Enabled());
        timer->OnTimer(timer);
        QCoreApplication::processEvents();
    }

    int Handlers() { return QtBleSignalHandlersForTesting(FBackend.get()); }

    std::shared_ptr<TBleClock> FClock;
    std::shared_ptr<TBleBackend> FBackend;
};
