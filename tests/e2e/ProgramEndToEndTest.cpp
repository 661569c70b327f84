// The real programs, started as a shooter starts them: a copy of the
// executable in a fresh folder with its settings file beside it, a
// chronograph on a pseudo-terminal named by ComPort and opened at start, shots
// sent, the program ended with SIGTERM. What must be left: the settings the
// program writes on close and the automatically saved file, in the folders
// the settings name (relative to the program, not to the current folder).
#include <gtest/gtest.h>

#include <csignal>

#include <QDir>
#include <QFileInfo>
#include <QMap>

#include "ProgramHarness.h"

class ProgramEndToEnd : public ProgramTest {
protected:
    void Start() {
        QProcessEnvironment env = FFolder.Environment();
        for (auto it = FExtraEnv.cbegin(); it != FExtraEnv.cend(); ++it)
            env.insert(it.key(), it.value());
        FProcess.setProcessChannelMode(QProcess::ForwardedChannels);
        FFolder.Start(FProcess, env);
    }

    // Waits until the program has opened the port and flushed its input.
    bool WaitForPortOpen() { return ::WaitForPortOpen(FProcess, FTerminal); }

    void Send(const QByteArray& bytes) { ASSERT_TRUE(FTerminal.Write(bytes)); }

    // SIGTERM, as a session manager or `kill` ends the program.
    void Terminate() { EndWith(FProcess, SIGTERM); }

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
    EXPECT_EQ(ReadFileBytes(saved), QByteArray("\xEF\xBB\xBF"
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
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(saved).endsWith("820\r\n"); }));
    EXPECT_EQ(ReadFileBytes(saved), QByteArray("\xEF\xBB\xBF"
                                               "812.35\r\n815.1\r\n820\r\n"));
    // While connected the program writes one zero byte to the device every
    // 5 s, so that the device keeps the link.
    const QString writes = Path("Prog/writes.log");
    EXPECT_TRUE(WaitFor([&] {
        return ReadFileBytes(writes).contains(" 0000ffe1-0000-1000-8000-00805f9b34fb 00\n");
    })) << "no keep-alive: "
        << ReadFileBytes(writes).toStdString();

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

INSTANTIATE_TEST_SUITE_P(Programs, ProgramEndToEnd, ::testing::ValuesIn(Programs), ProgramTestName);
