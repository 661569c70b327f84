// The real tarvex, started as a shooter starts it, against the stand-in: it
// connects to the remembered device at start, subscribes, keeps the link
// alive every 5 s, survives drops and a switched-off adapter, ends cleanly on
// SIGTERM whatever the link or BlueZ is doing, and leaves the system bus
// alone while idle.
#include <gtest/gtest.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
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

// dbus-monitor on the stand-in's bus: every method call made on it, and the
// answers.
class TBusMonitor {
public:
    ~TBusMonitor() {
        FProcess.kill();
        FProcess.waitForFinished(DeadlineMs);
    }
    // Until it has become a monitor: no call before it returns is missed.
    bool Start() {
        FProcess.start(
            QStringLiteral("dbus-monitor"),
            {QStringLiteral("--address"), StandIn().Address(), QStringLiteral("type='method_call'"),
             QStringLiteral("type='method_return'")});
        return FProcess.waitForStarted(DeadlineMs) &&
               WaitForLine(QStringLiteral("member=NameLost"), 1);
    }
    // The method calls seen so far, one line each.
    QStringList Calls() {
        Read();
        return FLines.filter(QRegularExpression(QStringLiteral("^method call ")));
    }
    // The first call of member has been answered.
    bool WaitForAnswer(const QString& member) {
        if (!WaitForLine(member, 1)) return false;
        const QString call = FLines.filter(member).constFirst();
        const QRegularExpressionMatch serial =
            QRegularExpression(QStringLiteral("sender=(\\S+) .* serial=(\\d+) ")).match(call);
        if (!serial.hasMatch()) return false;
        return WaitForLine(QRegularExpression(QStringLiteral("^method return .*destination=") +
                                              QRegularExpression::escape(serial.captured(1)) +
                                              QStringLiteral(" .*reply_serial=") +
                                              serial.captured(2) + QStringLiteral("$")),
                           1);
    }
    bool WaitForLine(const QString& text, int count, int ms = DeadlineMs) {
        return WaitForLine(QRegularExpression(QRegularExpression::escape(text)), count, ms);
    }
    bool WaitForLine(const QRegularExpression& line, int count, int ms = DeadlineMs) {
        QDeadlineTimer deadline(ms);
        while (Read(), FLines.filter(line).size() < count) {
            if (deadline.hasExpired()) return false;
            FProcess.waitForReadyRead(100);
        }
        return true;
    }

private:
    void Read() {
        FPartial += FProcess.readAllStandardOutput();
        for (qsizetype end; (end = FPartial.indexOf('\n')) >= 0; FPartial.remove(0, end + 1))
            FLines << QString::fromUtf8(FPartial.left(end));
    }
    QProcess FProcess;
    QByteArray FPartial;
    QStringList FLines;
};

const QString AsksForTheAdapters = QStringLiteral("member=GetManagedObjects");
const QString CallToBlueZ = QStringLiteral("destination=org.bluez ");

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
        StandIn().Resume();
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

    void Terminate(int ms = DeadlineMs) {
        ASSERT_EQ(::kill(pid_t(FProcess.processId()), SIGTERM), 0);
        ASSERT_TRUE(FProcess.waitForFinished(ms)) << "the program did not end";
        EXPECT_EQ(FProcess.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(FProcess.exitCode(), 0);
    }

    void AutoConnect(bool on) {
        QFile ini(FExe + QStringLiteral(".ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(on ? "[Settings]\nCheckBoxBTAuto=1\n[BLE]\nLast=KVRN AABBCCDDEE01\n"
                     : "[Settings]\nCheckBoxBTAuto=0\n[BLE]\nLast=KVRN AABBCCDDEE01\n");
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
    // The adapter is switched off while linked, and on again before the
    // reconnect's 2 s pause has passed: the program links again by itself.
    StandIn().Command(QStringLiteral("power hci0 0"));
    StandIn().Command(QStringLiteral("power hci0 1"));
    ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 4));
    ASSERT_EQ(FProcess.state(), QProcess::Running);
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

// Idle with no link the program follows the adapter by BlueZ's signals: once
// it has asked BlueZ for its objects at start, it makes (next to) no calls.
TEST_F(BlueZProgram, IdleItMakesNoCallsOnTheSystemBus) {
    ASSERT_NO_FATAL_FAILURE(AutoConnect(false));
    TBusMonitor monitor;
    ASSERT_TRUE(monitor.Start());
    Start();
    ASSERT_TRUE(monitor.WaitForAnswer(AsksForTheAdapters));
    const int before = int(monitor.Calls().size());
    // Twenty seconds of a program left alone: every call in them is counted.
    QThread::msleep(20000);
    ASSERT_EQ(FProcess.state(), QProcess::Running);
    const QStringList calls = monitor.Calls().mid(before);
    EXPECT_LE(calls.size(), 4) << calls.join('\n').toStdString();
    Terminate();
}

namespace {

enum class THang { FromTheStart, Idle, Searching, Linked };

std::string HangName(const ::testing::TestParamInfo<THang>& info) {
    static const char* names[] = {"FromTheStart", "Idle", "Searching", "Linked"};
    return names[int(info.param)];
}

// Generous against the second the program needs to end, far below the 22
// to 34 s that sitting out BlueZ's call time-outs cost.
constexpr int EndDeadlineMs = 10000;

}  // namespace

class BlueZProgramHang : public BlueZProgram, public ::testing::WithParamInterface<THang> {};

// BlueZ stops answering (the stand-in stopped with SIGSTOP) at some point of
// the program's life: SIGTERM still ends it cleanly within seconds.
TEST_P(BlueZProgramHang, EndsOnSigtermWithinSeconds) {
    const THang hang = GetParam();
    ASSERT_NO_FATAL_FAILURE(AutoConnect(hang != THang::Idle));
    TBusMonitor monitor;
    ASSERT_TRUE(monitor.Start());
    if (hang == THang::FromTheStart) StandIn().Pause();
    Start();
    // The program has asked BlueZ for its adapters, and been answered
    // unless BlueZ hung from the start.
    if (hang == THang::FromTheStart) {
        ASSERT_TRUE(monitor.WaitForLine(AsksForTheAdapters, 1));
    } else {
        ASSERT_TRUE(monitor.WaitForAnswer(AsksForTheAdapters));
    }
    switch (hang) {
        case THang::FromTheStart:
            break;
        case THang::Idle:
            StandIn().Pause();
            break;
        case THang::Searching:
            // Stopped before the automatic connect (1.5 s after start)
            // starts its search, which then waits for BlueZ.
            StandIn().Pause();
            ASSERT_TRUE(monitor.WaitForLine(CallToBlueZ, 2));
            break;
        case THang::Linked:
            ASSERT_TRUE(WaitForEvents(QStringLiteral("START_NOTIFY"), 1));
            StandIn().Pause();
            break;
    }
    Terminate(EndDeadlineMs);
}

INSTANTIATE_TEST_SUITE_P(BlueZHangs, BlueZProgramHang,
                         ::testing::Values(THang::FromTheStart, THang::Idle, THang::Searching,
                                           THang::Linked),
                         HangName);
