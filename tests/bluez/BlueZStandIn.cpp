#include "BlueZStandIn.h"

#include <gtest/gtest.h>

#include <csignal>

#include <QDeadlineTimer>
#include <QFileInfo>

bool TBlueZStandIn::Start() {
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3"))) {
        FError = QStringLiteral("no /usr/bin/python3 (make deps installs it)");
        return false;
    }
    // Its own faults (a Python traceback) show in the test's output.
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    FProcess.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(BLUEZ_STANDIN)});
    if (!FProcess.waitForStarted(30000)) {
        FError = FProcess.errorString();
        return false;
    }
    QDeadlineTimer deadline(60000);
    while (FAddress.isEmpty() && !deadline.hasExpired()) {
        if (!FProcess.waitForReadyRead(1000) && FProcess.state() != QProcess::Running) break;
        Read();
    }
    if (FAddress.isEmpty()) {
        FError = QStringLiteral("the stand-in did not start (its reason is above)");
        Stop();
        return false;
    }
    return true;
}

void TBlueZStandIn::Pause() {
    if (FProcess.state() == QProcess::Running) {
        ASSERT_EQ(::kill(pid_t(FProcess.processId()), SIGSTOP), 0);
    }
}

void TBlueZStandIn::Resume() {
    if (FProcess.state() == QProcess::Running) {
        ASSERT_EQ(::kill(pid_t(FProcess.processId()), SIGCONT), 0);
    }
}

void TBlueZStandIn::Stop() {
    if (FProcess.state() == QProcess::NotRunning) return;
    Resume();
    FProcess.write("quit\n");
    FProcess.closeWriteChannel();
    if (!FProcess.waitForFinished(10000)) {
        FProcess.terminate();
        if (!FProcess.waitForFinished(5000)) {
            FProcess.kill();
            FProcess.waitForFinished(5000);
        }
    }
}

void TBlueZStandIn::Read() {
    // Takes what the pipe holds now, also when no event loop has run since.
    while (FProcess.state() == QProcess::Running && FProcess.waitForReadyRead(0)) {
    }
    FPartial += FProcess.readAllStandardOutput();
    for (;;) {
        const qsizetype end = FPartial.indexOf('\n');
        if (end < 0) break;
        const QString line = QString::fromUtf8(FPartial.left(end));
        FPartial.remove(0, end + 1);
        if (line.startsWith(QLatin1String("BUS ")))
            FAddress = line.mid(4);
        else if (line == QLatin1String("OK") || line.startsWith(QLatin1String("OK ")) ||
                 line.startsWith(QLatin1String("ERR")))
            FAnswers << line;
        else
            FEvents << line;
    }
}

QString TBlueZStandIn::Command(const QString& line) {
    Read();
    FAnswers.clear();
    FProcess.write((line + QLatin1Char('\n')).toUtf8());
    FProcess.waitForBytesWritten(10000);
    QDeadlineTimer deadline(30000);
    while (FAnswers.isEmpty() && !deadline.hasExpired()) {
        FProcess.waitForReadyRead(200);
        Read();
    }
    if (FAnswers.isEmpty()) {
        ADD_FAILURE() << "stand-in gave no answer to " << line.toStdString();
        return QString();
    }
    const QString answer = FAnswers.takeFirst();
    if (!answer.startsWith(QLatin1String("OK"))) {
        ADD_FAILURE() << line.toStdString() << ": " << answer.toStdString();
        return QString();
    }
    return answer.mid(3);
}

QStringList TBlueZStandIn::Events() {
    Read();
    return FEvents;
}

int TBlueZStandIn::Count(const QString& prefix) {
    int n = 0;
    for (const QString& e : Events())
        if (e.startsWith(prefix)) ++n;
    return n;
}

void TBlueZStandIn::ClearEvents() {
    Read();
    FEvents.clear();
}

namespace {

TBlueZStandIn* TheStandIn = nullptr;

// One stand-in for the whole test program: Qt opens the system bus once per
// process, so the bus must outlive every test.
class TStandInEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        TheStandIn = new TBlueZStandIn;
        ASSERT_TRUE(TheStandIn->Start()) << TheStandIn->Error().toStdString();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", TheStandIn->Address().toUtf8());
        qputenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.66");
    }
    void TearDown() override {
        if (TheStandIn) TheStandIn->Stop();
        delete TheStandIn;
        TheStandIn = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new TStandInEnvironment);

}  // namespace

TBlueZStandIn& StandIn() {
    return *TheStandIn;
}
