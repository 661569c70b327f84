// The real tarvex, started as a shooter starts it, against the stand-in: it
// connects to the remembered device at start, subscribes, keeps the link
// alive every 5 s, survives drops and a switched-off adapter, and ends
// cleanly on SIGTERM whatever the link is doing.
#include <gtest/gtest.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "BlueZStandIn.h"

namespace {

constexpr int DeadlineMs = 90000;
const QString Kvrn = QStringLiteral("AA:BB:CC:DD:EE:01");

bool WaitForEvents(const QString& prefix, int count, int ms = DeadlineMs) {
    QDeadlineTimer deadline(ms);
    while (StandIn().Count(prefix) < count) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(20);
    }
    return true;
}

}  // namespace

class BlueZProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FRoot.isValid());
        StandIn().Command(QStringLiteral("reset"));
        StandIn().Command(QStringLiteral("adapter hci0"));
        StandIn().Command(QStringLiteral("device hci0 %1 -55 le KVRN").arg(Kvrn));
        StandIn().Command(
            QStringLiteral(
                R"(gatt %1 [{"uuid":"ffe0","chars":[{"uuid":"ffe1","descs":["2902"]}]}])")
                .arg(Kvrn));
        StandIn().ClearEvents();
        FExe = FRoot.path() + QStringLiteral("/tarvex");
        ASSERT_TRUE(QFile::copy(QStringLiteral(TARVEX_PROGRAM), FExe));
        QFile ini(FExe + QStringLiteral(".ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nCheckBoxBTAuto=1\n[BLE]\nLast=KVRN AABBCCDDEE01\n");
    }

    void TearDown() override {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(DeadlineMs);
        }
    }

    void Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), FRoot.path());
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), StandIn().Address());
        env.insert(QStringLiteral("BLUETOOTH_FORCE_DBUS_LE_VERSION"), QStringLiteral("5.66"));
        env.remove(QStringLiteral("TARVEX_BLE_SIMULATION"));
        FProcess.setProcessEnvironment(env);
        FProcess.setWorkingDirectory(FRoot.path());
        FProcess.setProcessChannelMode(QProcess::ForwardedChannels);
        FProcess.start(FExe, {});
        ASSERT_TRUE(FProcess.waitForStarted(DeadlineMs));
    }

    void Terminate() {
        ASSERT_EQ(::kill(pid_t(FProcess.processId()), SIGTERM), 0);
        ASSERT_TRUE(FProcess.waitForFinished(DeadlineMs)) << "the program did not end";
        EXPECT_EQ(FProcess.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(FProcess.exitCode(), 0);
    }

    QTemporaryDir FRoot;
    QString FExe;
    QProcess FProcess;
};

TEST_F(BlueZProgram, LinksAtStartKeepsAliveSurvivesDropsAndAnAdapterSwitchedOff) {
    Start();
    ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 1))
        << StandIn().Events().join('|').toStdString();
    // The keep-alive: one 00 every 5 s.
    ASSERT_TRUE(WaitForEvents(QStringLiteral("WRITE"), 2, 30000));
    EXPECT_TRUE(StandIn().Events().filter(QStringLiteral("WRITE")).value(0).endsWith(" 00"));
    StandIn().Command(QStringLiteral("notify %1 ffe1 %2")
                          .arg(Kvrn, QString::fromLatin1(QByteArray("12.3\n").toHex())));

    // The device drops the link: the program connects again by itself.
    StandIn().Command(QStringLiteral("drop %1").arg(Kvrn));
    ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 2));
    // BlueZ forgets the device; it advertises again.
    StandIn().Command(QStringLiteral("forget %1").arg(Kvrn));
    StandIn().Command(QStringLiteral("device hci0 %1 -50 le KVRN").arg(Kvrn));
    StandIn().Command(
        QStringLiteral(R"(gatt %1 [{"uuid":"ffe0","chars":[{"uuid":"ffe1","descs":["2902"]}]}])")
            .arg(Kvrn));
    ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 3));
    // The adapter is switched off while linked, and on again.
    StandIn().Command(QStringLiteral("power hci0 0"));
    QThread::msleep(3000);
    ASSERT_EQ(FProcess.state(), QProcess::Running);
    StandIn().Command(QStringLiteral("power hci0 1"));
    Terminate();
    const QByteArray ini = [&] {
        QFile f(FExe + QStringLiteral(".ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_TRUE(ini.contains("Last=KVRN AABBCCDDEE01")) << ini.toStdString();
}

TEST_F(BlueZProgram, EndsCleanlyOnSigtermWhileAConnectHangs) {
    StandIn().Command(QStringLiteral("connect_mode %1 hang").arg(Kvrn));
    Start();
    ASSERT_TRUE(WaitForEvents(QStringLiteral("CONNECT"), 1));
    Terminate();
}

TEST_F(BlueZProgram, EndsCleanlyOnSigtermWhileSubscribing) {
    StandIn().Command(QStringLiteral("notify_mode %1 hang").arg(Kvrn));
    Start();
    ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 1));
    Terminate();
}
