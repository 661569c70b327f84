#include "ProgramHarness.h"

#include <csignal>

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "platform/core/IniFile.h"

std::string ProgramTestName(const ::testing::TestParamInfo<TProgram>& info) {
    return info.param.Ble ? std::string("Tarvex") : std::string("TarvexSerial");
}

bool WatchForFlush(const TPseudoTerminal& terminal) {
    int on = 1;
    return ::ioctl(terminal.Master(), TIOCPKT, &on) == 0;
}

bool WaitForPortOpen(const QProcess& process, const TPseudoTerminal& terminal, int deadlineMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < deadlineMs) {
        if (process.state() == QProcess::NotRunning) return false;
        pollfd p{terminal.Master(), POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN)) continue;
        unsigned char packet[256];
        const ssize_t n = ::read(terminal.Master(), packet, sizeof packet);
        if (n > 0 && packet[0] != TIOCPKT_DATA && (packet[0] & TIOCPKT_FLUSHREAD)) return true;
    }
    return false;
}

bool Catches(const QProcess& process, int signal) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        bool ok = false;
        const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signal - 1)) & 1;
    }
    return false;
}

void EndWith(QProcess& process, int signal, int deadlineMs) {
    ASSERT_EQ(::kill(pid_t(process.processId()), signal), 0);
    ASSERT_TRUE(process.waitForFinished(deadlineMs))
        << "the program did not end within " << deadlineMs << " ms of signal " << signal;
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "killed by the signal";
    EXPECT_EQ(process.exitCode(), 0);
}

void KillIfRunning(QProcess& process) {
    if (process.state() == QProcess::NotRunning) return;
    process.kill();
    process.waitForFinished(DeadlineMs);
}

QString Setting(const QString& iniFile, const char* section, const char* key) {
    return TIniFile(iniFile).ReadString(QString::fromLatin1(section), QString::fromLatin1(key),
                                        QStringLiteral("<none>"));
}

void ProgramTest::SetUp() {
    ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal";
    ASSERT_TRUE(WatchForFlush(FTerminal));
    ASSERT_NO_FATAL_FAILURE(FFolder.Make(GetParam().Path, GetParam().Name));
    FIni = FFolder.Ini();
}

void TProgramFolder::Make(const char* programPath, const char* name) {
    ASSERT_TRUE(FRoot.isValid());
    const QDir root(FRoot.path());
    for (const char* folder : {"Prog", "Home", "Cwd", "Run"})
        ASSERT_TRUE(root.mkdir(QString::fromLatin1(folder)));
    // Qt refuses a runtime folder that others may enter.
    ::chmod(QFile::encodeName(Path(QStringLiteral("Run"))).constData(), 0700);
    FExe = Path(QStringLiteral("Prog/") + QString::fromLatin1(name));
    ASSERT_TRUE(QFile::copy(QString::fromLatin1(programPath), FExe));
    FIni = FExe + QStringLiteral(".ini");
}

QString TProgramFolder::Path(const QString& relative) const {
    return FRoot.path() + QLatin1Char('/') + relative;
}

QProcessEnvironment TProgramFolder::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), Path(QStringLiteral("Home")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path(QStringLiteral("Run")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("Home/.config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), Path(QStringLiteral("Home/.local/share")));
    env.remove(QStringLiteral("TARVEX_BLE_SIMULATION"));
    return env;
}

void TProgramFolder::Start(QProcess& process, const QProcessEnvironment& environment) const {
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(Path(QStringLiteral("Cwd")));
    process.start(FExe, {});
    ASSERT_TRUE(process.waitForStarted(DeadlineMs)) << process.errorString().toStdString();
}
