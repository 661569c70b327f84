// The real programs ended from outside while something stands in their way:
// a settings file that cannot be written (said once at start, without a box),
// a settings file of tens of megabytes, a simulation file with numbers no
// integer holds. Each program is a copy of the executable in a fresh folder
// with its settings file beside it.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>

#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "ProgramHarness.h"

class CloseEndToEnd : public ProgramTest {
protected:
    void Start() {
        // The standard error is what the tests read.
        FProcess.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        FFolder.Start(FProcess);
    }

    // Sends the signal and waits for the end; the program must end by
    // itself, with status 0. Keeps what it said on the standard error.
    void EndWith(int signal, int deadlineMs = DeadlineMs) {
        ::EndWith(FProcess, signal, deadlineMs);
        FErrors = FProcess.readAllStandardError();
    }

    QByteArray FErrors;
};

// A settings file that cannot be written is said at start without a box;
// SIGTERM or SIGINT then closes the program, the close's own failure goes
// to the standard error instead of a box, and the program ends at once.
TEST_P(CloseEndToEnd, SignalEndsAProgramWhoseSettingsCannotBeWritten) {
    struct TCase {
        const char* Name;
        int Signal;
        std::function<void(const QString&)> Block;  // puts something unwritable at the path
    };
    const TCase cases[] = {
        {"a folder", SIGTERM, [](const QString& ini) { ASSERT_TRUE(QDir().mkdir(ini)); }},
        {"a named pipe", SIGINT,
         [](const QString& ini) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(ini).constData(), 0644), 0) << errno;
         }},
        {"a read-only file that lacks keys", SIGTERM,
         [](const QString& ini) {
             ASSERT_TRUE(WriteFile(ini, "[Settings]\nStyle=1\n"));
             ASSERT_TRUE(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Block(FIni);
        Start();
        ASSERT_TRUE(WaitFor([&] { return Catches(FProcess, c.Signal); })) << "no signal handler";
        EndWith(c.Signal);
        EXPECT_TRUE(FErrors.contains("Unable to write to " + QFile::encodeName(FIni)))
            << FErrors.toStdString();
        // What stood there stays as it was.
        const QFileInfo info(FIni);
        EXPECT_TRUE(info.exists());
        EXPECT_FALSE(QFileInfo::exists(FIni + ".part"));
        QFile::setPermissions(FIni, QFile::ReadOwner | QFile::WriteOwner);
        if (info.isDir())
            QDir(FIni).removeRecursively();
        else
            QFile::remove(FIni);
    }
}

// A settings file of some 50 MB, most of it the user's own lines (a million
// of them repeat one key): the port opens, 20 shots arrive and are saved
// automatically, and the program closes, each well within its deadline;
// every line of the user's stays in the file, byte for byte. The deadlines
// are far above what this takes; the speed itself is measured in
// bench/SettingsFileBench.
TEST_P(CloseEndToEnd, AHugeSettingsFileKeepsStartShotsAndCloseQuick) {
    constexpr int StepDeadlineMs = 45000;
    const QByteArray port = FTerminal.SlavePath().toUtf8();
    // A file the program completed on an earlier run, so that this start
    // has nothing to add (Tarvex Serial still takes out the Bluetooth LE
    // keys).
    const QByteArray head = "; my chronograph\r\n[Settings]\r\nComPort=" + port +
                            "\r\nOpenCom=1\r\nStyle=1\r\nTXT=1\r\nMultiplier=1\r\n"
                            "MultiplierG=1\r\nCheckBoxScroll=1\r\nCheckBoxAuto=0\r\n"
                            "CheckBoxAuto50=0\r\nCNV=0\r\nLabel2DisplayFormat=0##\r\n"
                            "ChartType=0\r\nChartColor=1\r\nChartLineWidth=1\r\n"
                            "ChartMarkerSize=5\r\nChartBarWidth=35\r\nCheckBoxBTAuto=0\r\n"
                            "MU=10\r\nFREQ=0\r\nGATE=0\r\nA=0\r\n[BLE]\r\nLast=\r\n"
                            "[FILTER]\r\nFilter=0\r\nShots=S(~)\r\nVelocity=V(~)\r\n"
                            "[TXTCSV]\r\nFolder=./MYSHOTS\r\nFileName=Chrono_$\r\nINDEX=001\r\n"
                            "[IMG]\r\nFolder=./IMG\r\nFileName=Stat%_$\r\nINDEX=001\r\n"
                            "[AUTOSAVE]\r\nAUT=5\r\nFolder=./AUTOSAVE\r\n"
                            "FileName=Chrono_$\r\nINDEX=001\r\n";
    QByteArray notes = "[Notes]\r\n";
    notes.reserve(52 << 20);
    for (int i = 0; notes.size() < (50 << 20); ++i) {
        if (i % 1000 == 0)
            notes += "; range day " + QByteArray::number(i) + ", gr\xC3\xBC\xC3\x9F" + "e\r\n";
        notes += "Shot=" + QByteArray::number(700 + i % 200) + ".5 m/s, 10 m, calm\r\n";
    }
    // A later copy of a section counts for nothing, and stays.
    const QByteArray tail = "[Settings]\r\nCNV=1\r\n; the end\r\n";
    ASSERT_TRUE(WriteFile(FIni, head + notes + tail));

    QElapsedTimer clock;
    clock.start();
    Start();
    ASSERT_TRUE(WaitForPortOpen(FProcess, FTerminal, StepDeadlineMs))
        << "the port did not open within " << StepDeadlineMs << " ms";
    const qint64 opened = clock.restart();

    QByteArray shots;
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(FTerminal.Write(QByteArray::number(800 + i) + "\r\n"));
        ::usleep(20000);
    }
    const QString last = Path("Prog/AUTOSAVE/Chrono_004.txt");
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(last).endsWith("819\r\n"); }, StepDeadlineMs))
        << "20 shots not saved within " << StepDeadlineMs << " ms";
    const qint64 shot = clock.restart();

    EndWith(SIGTERM, StepDeadlineMs);
    const qint64 closed = clock.elapsed();
    std::printf("open %lld ms, 20 shots %lld ms, close %lld ms\n", qlonglong(opened),
                qlonglong(shot), qlonglong(closed));

    EXPECT_EQ(Setting("AUTOSAVE", "INDEX"), QStringLiteral("005"));
    EXPECT_EQ(Setting("Settings", "ComPort"), FTerminal.SlavePath());
    EXPECT_EQ(Setting("Settings", "CNV"), QStringLiteral("0"));
    const QByteArray after = ReadFileBytes(FIni);
    EXPECT_TRUE(after.startsWith("; my chronograph\r\n[Settings]\r\nComPort=" + port + "\r\n"));
    EXPECT_TRUE(after.contains(notes)) << "a line of the user's was changed";
    EXPECT_TRUE(after.endsWith(notes + tail));
    EXPECT_EQ(after.count('\n'), after.count("\r\n")) << "every line keeps CR LF";
}

INSTANTIATE_TEST_SUITE_P(Programs, CloseEndToEnd, ::testing::ValuesIn(Programs), ProgramTestName);

// A simulation file whose numbers no integer of the adapter holds is
// refused with its faulty key named, and the program runs as with no
// adapter (the sanitized build checks that nothing overflows on the way).
TEST(SimulationEndToEnd, NumbersOutOfRangeAreRefusedWithoutHarm) {
    TProgramFolder folder;
    ASSERT_NO_FATAL_FAILURE(folder.Make(TARVEX_PROGRAM, "tarvex"));
    ASSERT_TRUE(WriteFile(folder.Ini(), "[Settings]\nCheckBoxBTAuto=1\n[BLE]\nLast=kvrn\n"));
    const QString simulation = folder.Path(QStringLiteral("Prog/sim.json"));
    ASSERT_TRUE(WriteFile(simulation, R"({"devices": [{"name": "kvrn", "rssi": 1e300,
      "drop_at_ms": 9.2e18, "notifications": [{"at_ms": 1e300, "text": "812\r\n"}]}]})"));

    QProcess process;
    QProcessEnvironment env = folder.Environment();
    env.insert(QStringLiteral("TARVEX_BLE_SIMULATION"), simulation);
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    folder.Start(process, env);
    QByteArray errors;
    ASSERT_TRUE(WaitFor([&] {
        process.waitForReadyRead(10);
        errors += process.readAllStandardError();
        return errors.contains("rssi") || process.state() == QProcess::NotRunning;
    })) << errors.toStdString();
    EXPECT_TRUE(errors.contains("sim.json")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("devices[0].rssi")) << errors.toStdString();
    ASSERT_EQ(process.state(), QProcess::Running) << errors.toStdString();
    EndWith(process, SIGTERM);
    errors += process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), 0) << errors.toStdString();
}
