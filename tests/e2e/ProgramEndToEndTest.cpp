// The real programs, started as a shooter starts them: a copy of the
// executable in a fresh folder with its settings file beside it, a
// chronograph on a pseudo-terminal named by ComPort and opened at start, shots
// sent, the program ended with SIGTERM. What must be left: the settings the
// program writes on close and the automatically saved file, in the folders
// the settings name (relative to the program, not to the current folder).
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <poll.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include "links/PseudoTerminal.h"
#include "platform/core/IniFile.h"

namespace {

// Generous: a sanitized build on a loaded machine starts slowly. No test
// waits this long when it passes.
constexpr int DeadlineMs = 90000;

struct TProgram {
    const char* Name;
    const char* Path;
    bool Ble;
};

const TProgram Programs[] = {
    {"tarvex", TARVEX_PROGRAM, true},
    {"tarvex-serial", TARVEX_SERIAL_PROGRAM, false},
};

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

template <class Condition>
bool WaitFor(Condition condition) {
    QDeadlineTimer deadline(DeadlineMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        ::usleep(20000);
    }
    return true;
}

}  // namespace

class ProgramEndToEnd : public ::testing::TestWithParam<TProgram> {
protected:
    void SetUp() override {
        ASSERT_TRUE(FRoot.isValid());
        ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal";
        // Packet mode: the master learns when the program flushes the port's
        // input, which it does once while opening it. Bytes sent before that
        // would be thrown away, as a real port's stale bytes are.
        int on = 1;
        ASSERT_EQ(::ioctl(FTerminal.Master(), TIOCPKT, &on), 0) << errno;
        const QDir root(FRoot.path());
        for (const char* folder : {"Prog", "Home", "Cwd", "Run"})
            ASSERT_TRUE(root.mkdir(QString::fromLatin1(folder)));
        ::chmod(QFile::encodeName(Path("Run")).constData(), 0700);
        FExe = Path("Prog/") + QString::fromLatin1(GetParam().Name);
        ASSERT_TRUE(QFile::copy(QString::fromLatin1(GetParam().Path), FExe));
        FIni = FExe + QStringLiteral(".ini");
    }

    void TearDown() override {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.kill();
            FProcess.waitForFinished(DeadlineMs);
        }
    }

    QString Path(const char* relative) const {
        return FRoot.path() + QLatin1Char('/') + QString::fromLatin1(relative);
    }

    void Start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("HOME"), Path("Home"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Path("Run"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path("Home/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), Path("Home/.local/share"));
        env.remove(QStringLiteral("TARVEX_BLE_SIMULATION"));
        for (auto it = FExtraEnv.cbegin(); it != FExtraEnv.cend(); ++it)
            env.insert(it.key(), it.value());
        FProcess.setProcessEnvironment(env);
        FProcess.setWorkingDirectory(Path("Cwd"));
        FProcess.setProcessChannelMode(QProcess::ForwardedChannels);
        FProcess.start(FExe, {});
        ASSERT_TRUE(FProcess.waitForStarted(DeadlineMs)) << FProcess.errorString().toStdString();
    }

    // Waits until the program has opened the port and flushed its input.
    bool WaitForPortOpen() {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < DeadlineMs) {
            if (FProcess.state() == QProcess::NotRunning) return false;
            pollfd p{FTerminal.Master(), POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0 || !(p.revents & POLLIN)) continue;
            unsigned char packet[256];
            const ssize_t n = ::read(FTerminal.Master(), packet, sizeof packet);
            if (n > 0 && packet[0] != TIOCPKT_DATA && (packet[0] & TIOCPKT_FLUSHREAD)) return true;
        }
        return false;
    }

    void Send(const QByteArray& bytes) { ASSERT_TRUE(FTerminal.Write(bytes)); }

    // SIGTERM, as a session manager or `kill` ends the program.
    void Terminate() {
        ASSERT_EQ(::kill(pid_t(FProcess.processId()), SIGTERM), 0);
        ASSERT_TRUE(FProcess.waitForFinished(DeadlineMs)) << "the program did not end";
        EXPECT_EQ(FProcess.exitStatus(), QProcess::NormalExit) << "killed by the signal";
        EXPECT_EQ(FProcess.exitCode(), 0);
    }

    QString Setting(const char* section, const char* key) const {
        return TIniFile(FIni).ReadString(QString::fromLatin1(section), QString::fromLatin1(key),
                                         QStringLiteral("<none>"));
    }

    QTemporaryDir FRoot;
    TPseudoTerminal FTerminal;
    QProcess FProcess;
    QString FExe;
    QString FIni;
    QMap<QString, QString> FExtraEnv;
};

TEST_P(ProgramEndToEnd, ShotsArriveAreSavedAndTheSettingsSurviveSigterm) {
    const QByteArray port = FTerminal.SlavePath().toUtf8();
    ASSERT_TRUE(WriteFile(FIni,
                          "[Settings]\r\n"
                          "ComPort=" +
                              port +
                              "\r\n"
                              "OpenCom=1\r\n"
                              "TXT=1\r\n"
                              "Multiplier=10.5\r\n"
                              "CheckBoxScroll=1\r\n"
                              "[BLE]\r\n"
                              "Last=Chrono-7\r\n"
                              "[AUTOSAVE]\r\n"
                              "AUT=3\r\n"
                              "Folder=./AUTOSAVE\r\n"
                              "FileName=Chrono_$\r\n"
                              "INDEX=001\r\n"));
    Start();
    ASSERT_TRUE(WaitForPortOpen()) << "the program did not open " << port.toStdString();

    // Five shots in pieces that cut through lines, with a line that is no
    // shot between them: the first three fill one automatic save.
    Send("V=812.35 m/s\r");
    Send("\n815,1 nr 2\r\nno number here\r\n8");
    Send("20\r\n830\r\n840\r\n");
    const QString saved = Path("Prog/AUTOSAVE/Chrono_001.txt");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(saved); })) << "nothing saved";
    EXPECT_EQ(ReadFile(saved), QByteArray("\xEF\xBB\xBF"
                                          "812.35\r\n815.1\r\n820\r\n"));

    Terminate();

    // The next file takes the next number.
    EXPECT_EQ(Setting("AUTOSAVE", "INDEX"), QStringLiteral("002"));

    // Written on close: the port as chosen, the weight as it was read, the
    // check boxes.
    EXPECT_EQ(Setting("Settings", "ComPort"), FTerminal.SlavePath());
    EXPECT_EQ(Setting("Settings", "Multiplier"), QStringLiteral("10.5"));
    EXPECT_EQ(Setting("Settings", "CheckBoxScroll"), QStringLiteral("1"));
    EXPECT_EQ(Setting("Settings", "CheckBoxAuto50"), QStringLiteral("0"));
    // Only the full program keeps the Bluetooth LE keys.
    EXPECT_EQ(Setting("BLE", "Last"),
              GetParam().Ble ? QStringLiteral("Chrono-7") : QStringLiteral("<none>"));
    // Output stays beside the program; the current folder gets nothing.
    EXPECT_TRUE(QDir(Path("Cwd")).isEmpty());
    EXPECT_EQ(QDir(Path("Prog/AUTOSAVE")).entryList(QDir::Files),
              QStringList{QStringLiteral("Chrono_001.txt")});
}

TEST_P(ProgramEndToEnd, SigtermWhileShotsStreamInEndsInOrder) {
    ASSERT_TRUE(
        WriteFile(FIni, "[Settings]\nComPort=" + FTerminal.SlavePath().toUtf8() + "\nOpenCom=1\n"));
    Start();
    ASSERT_TRUE(WaitForPortOpen());
    // A burst the read thread is still cutting while the signal arrives.
    QByteArray burst;
    for (int i = 0; i < 2000; ++i) burst += QByteArray::number(700 + i % 100) + "\r\n";
    Send(burst);
    Terminate();
    EXPECT_EQ(Setting("Settings", "ComPort"), FTerminal.SlavePath());
}

// The full program against the simulated Bluetooth LE device: connected at
// start to the device last used, shots in notifications (one of them not
// text), an automatic save, SIGTERM.
class BleEndToEnd : public ProgramEndToEnd {};

TEST_P(BleEndToEnd, NotifiedShotsAreSavedAndTheDeviceIsKept) {
    ASSERT_TRUE(WriteFile(Path("Prog/sim.json"), R"({
  "adapter": true,
  "devices": [{
    "name": "Chrono-7", "address": "AA:BB:CC:DD:EE:07", "rssi": -50,
    "connect": "ok",
    "services": [{"uuid": "0000ffe0-0000-1000-8000-00805f9b34fb",
      "characteristics": [{"uuid": "0000ffe1-0000-1000-8000-00805f9b34fb",
        "descriptors": ["00002902-0000-1000-8000-00805f9b34fb"]}]}],
    "subscribe": "ok",
    "notifications": [
      {"at_ms": 100, "text": "V=812.35 m/s\r\n"},
      {"at_ms": 150, "hex": "31FF0A"},
      {"at_ms": 200, "text": "815,1 nr 2\r\nno number here\r\n8"},
      {"at_ms": 250, "text": "20\r\n"},
      {"at_ms": 300, "text": "830\r\n"}]
  }],
  "writes": "writes.log"
})"));
    ASSERT_TRUE(WriteFile(FIni,
                          "[Settings]\r\n"
                          "CheckBoxBTAuto=1\r\n"
                          "TXT=1\r\n"
                          "[BLE]\r\n"
                          "Last=Chrono-7\r\n"
                          "[AUTOSAVE]\r\n"
                          "AUT=3\r\n"
                          "Folder=./AUTOSAVE\r\n"
                          "FileName=Ble_$\r\n"
                          "INDEX=001\r\n"));
    FExtraEnv.insert(QStringLiteral("TARVEX_BLE_SIMULATION"), Path("Prog/sim.json"));
    Start();

    // The first three shots fill one automatic save; the hex notification
    // between them is a log line of the list and never a value of the file.
    const QString saved = Path("Prog/AUTOSAVE/Ble_001.txt");
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(saved); })) << "nothing saved";
    ASSERT_TRUE(WaitFor([&] { return ReadFile(saved).endsWith("820\r\n"); }));
    EXPECT_EQ(ReadFile(saved), QByteArray("\xEF\xBB\xBF"
                                          "812.35\r\n815.1\r\n820\r\n"));
    // While connected the program writes one zero byte to the device every
    // 5 s, so that the device keeps the link.
    const QString writes = Path("Prog/writes.log");
    EXPECT_TRUE(WaitFor([&] {
        return ReadFile(writes).contains(" 0000ffe1-0000-1000-8000-00805f9b34fb 00\n");
    })) << "no keep-alive: "
        << ReadFile(writes).toStdString();

    Terminate();

    EXPECT_EQ(Setting("AUTOSAVE", "INDEX"), QStringLiteral("002"));
    // The device connected to is remembered by name and address.
    EXPECT_EQ(Setting("BLE", "Last"), QStringLiteral("Chrono-7 AABBCCDDEE07"));
    EXPECT_EQ(Setting("Settings", "CheckBoxBTAuto"), QStringLiteral("1"));
    EXPECT_TRUE(QDir(Path("Cwd")).isEmpty());
    EXPECT_EQ(QDir(Path("Prog/AUTOSAVE")).entryList(QDir::Files),
              QStringList{QStringLiteral("Ble_001.txt")});
}

INSTANTIATE_TEST_SUITE_P(Program, BleEndToEnd, ::testing::Values(Programs[0]),
                         [](const ::testing::TestParamInfo<TProgram>&) {
                             return std::string("Tarvex");
                         });

INSTANTIATE_TEST_SUITE_P(Programs, ProgramEndToEnd, ::testing::ValuesIn(Programs),
                         [](const ::testing::TestParamInfo<TProgram>& info) {
                             return info.param.Ble ? std::string("Tarvex")
                                                   : std::string("TarvexSerial");
                         });
