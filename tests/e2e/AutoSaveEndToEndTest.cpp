// Automatic saving in the real program, as it goes wrong on a range: the
// program killed outright and started again, two copies started from one
// folder sharing their settings and save folder, a save folder that refuses
// files for a while or until the end. Whatever happens, every shot saved
// stays saved and no shot is in two files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ProgramHarness.h"
#include "platform/core/IniFile.h"

namespace {

// Shots from..to, one line each, as a chronograph sends them.
QByteArray ShotLines(int from, int to) {
    QByteArray bytes;
    for (int i = from; i <= to; ++i) bytes += QByteArray::number(i) + "\r\n";
    return bytes;
}

// The values of a TXT shot file.
QList<QByteArray> Values(const QByteArray& file) {
    QByteArray text = file;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    QList<QByteArray> values = text.split('\n');
    for (QByteArray& value : values) value = value.trimmed();
    values.removeAll(QByteArray());
    return values;
}

QList<QByteArray> Numbers(int from, int to) {
    QList<QByteArray> numbers;
    for (int i = from; i <= to; ++i) numbers << QByteArray::number(i);
    return numbers;
}

// One running copy of the program with its own chronograph.
struct TCopy {
    TPseudoTerminal Terminal;
    QProcess Process;
    QString ErrorFile;  // its standard error
};

}  // namespace

class AutoSaveEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(FFolder.Make(TARVEX_PROGRAM, "tarvex"));
        FIni = FFolder.Ini();
    }

    void TearDown() override {
        for (TCopy& copy : FCopies) KillIfRunning(copy.Process);
    }

    QString Path(const QString& relative) const { return FFolder.Path(relative); }
    QString Saved(const QString& name) const { return Path("Prog/AUTOSAVE/" + name); }
    QStringList SavedFiles() const {
        return QDir(Path("Prog/AUTOSAVE")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    // The settings file of both copies: an indexed automatic save every
    // perFile shots in TXT, the port that the next copy to start opens.
    void WriteSettings(const TCopy& copy, int perFile) {
        ASSERT_TRUE(WriteFile(
            FIni, "[Settings]\nComPort=" + copy.Terminal.SlavePath().toUtf8() +
                      "\nOpenCom=1\nTXT=1\n[AUTOSAVE]\nAUT=" + QByteArray::number(perFile) +
                      "\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n"));
    }

    // Starts a copy on the port named in the settings file and waits until
    // it has opened the port and flushed its input.
    void Start(TCopy& copy) {
        ASSERT_TRUE(WatchForFlush(copy.Terminal));
        // A file, never a pipe that nobody reads while the test waits.
        copy.ErrorFile = Path(QStringLiteral("stderr-%1.txt").arg(FStarts++));
        copy.Process.setStandardErrorFile(copy.ErrorFile);
        ASSERT_NO_FATAL_FAILURE(FFolder.Start(copy.Process));
        ASSERT_TRUE(WaitForPortOpen(copy.Process, copy.Terminal))
            << "the program did not open its port"
            << (copy.Process.state() == QProcess::NotRunning ? " (it ended)" : "");
    }

    // Sends shots and then enough empty lines that the write only returns
    // once the program has read the shots: what the port's buffers hold
    // then is the empty lines alone.
    void SendAndWaitUntilRead(TCopy& copy, const QByteArray& shots) {
        ASSERT_TRUE(copy.Terminal.Write(shots));
        ASSERT_TRUE(copy.Terminal.Write(QByteArray(256 * 1024, '\n')));
    }

    // SIGTERM; returns what the program said on the standard error.
    QByteArray Terminate(TCopy& copy) {
        EndWith(copy.Process, SIGTERM);
        return ReadFileBytes(copy.ErrorFile);
    }

    TProgramFolder FFolder;
    QString FIni;
    std::array<TCopy, 2> FCopies;
    int FStarts = 0;
};

TEST_F(AutoSaveEndToEnd, StartAfterAKillNeverWritesOverTheFilesBeforeIt) {
    TCopy& copy = FCopies[0];
    WriteSettings(copy, 10);
    ASSERT_NO_FATAL_FAILURE(Start(copy));
    ASSERT_TRUE(copy.Terminal.Write(ShotLines(1, 25)));
    ASSERT_TRUE(
        WaitFor([&] { return Values(ReadFileBytes(Saved("Chrono_002.txt"))).size() == 10; }));
    ASSERT_EQ(::kill(pid_t(copy.Process.processId()), SIGKILL), 0);
    ASSERT_TRUE(copy.Process.waitForFinished(DeadlineMs));
    const QByteArray first = ReadFileBytes(Saved("Chrono_001.txt"));
    const QByteArray second = ReadFileBytes(Saved("Chrono_002.txt"));
    EXPECT_EQ(Values(first), Numbers(1, 10));
    EXPECT_EQ(Values(second), Numbers(11, 20));

    // As if the kill came between the second file and its INDEX, twice
    // over: INDEX still names the first file.
    TIniFile(FIni).WriteString(QStringLiteral("AUTOSAVE"), QStringLiteral("INDEX"),
                               QStringLiteral("001"));
    ASSERT_NO_FATAL_FAILURE(Start(copy));
    ASSERT_TRUE(copy.Terminal.Write(ShotLines(101, 120)));
    ASSERT_TRUE(
        WaitFor([&] { return Values(ReadFileBytes(Saved("Chrono_004.txt"))).size() == 10; }));
    const QByteArray told = Terminate(copy);

    EXPECT_EQ(ReadFileBytes(Saved("Chrono_001.txt")), first);
    EXPECT_EQ(ReadFileBytes(Saved("Chrono_002.txt")), second);
    EXPECT_EQ(Values(ReadFileBytes(Saved("Chrono_003.txt"))), Numbers(101, 110));
    EXPECT_EQ(Values(ReadFileBytes(Saved("Chrono_004.txt"))), Numbers(111, 120));
    EXPECT_EQ(SavedFiles(), (QStringList{"Chrono_001.txt", "Chrono_002.txt", "Chrono_003.txt",
                                         "Chrono_004.txt"}));
    EXPECT_TRUE(told.contains("Chrono_001.txt exists already; saved as Chrono_003.txt"))
        << told.toStdString();
    EXPECT_EQ(Setting(FIni, "AUTOSAVE", "INDEX"), QStringLiteral("005"));
}

TEST_F(AutoSaveEndToEnd, TwoCopiesInOneFolderKeepEachOthersFiles) {
    // One settings file: each copy opens the port it names at its start,
    // and writes that name back once the port is open. The name is given
    // with a blank after it, so that the moment the first copy has written
    // it back shows, and only then is the second copy's port put in.
    WriteSettings(FCopies[0], 10);
    const QByteArray firstPort = "ComPort=" + FCopies[0].Terminal.SlavePath().toUtf8();
    ASSERT_TRUE(WriteFile(FIni, ReadFileBytes(FIni).replace(firstPort, firstPort + ' ')));
    ASSERT_NO_FATAL_FAILURE(Start(FCopies[0]));
    ASSERT_TRUE(WaitFor([&] { return ReadFileBytes(FIni).contains(firstPort + '\n'); }))
        << ReadFileBytes(FIni).toStdString();
    TIniFile(FIni).WriteString("Settings", "ComPort", FCopies[1].Terminal.SlavePath());
    ASSERT_NO_FATAL_FAILURE(Start(FCopies[1]));

    // Both flood at once, in slices, so that their files interleave.
    constexpr int Shots = 3000;
    for (int from = 0; from < Shots; from += 100) {
        ASSERT_TRUE(FCopies[0].Terminal.Write(ShotLines(10000 + from, 10000 + from + 99)));
        ASSERT_TRUE(FCopies[1].Terminal.Write(ShotLines(50000 + from, 50000 + from + 99)));
    }
    // Every batch ends in a file: 600 of them, whatever their numbers.
    ASSERT_TRUE(WaitFor([&] { return SavedFiles().size() >= 2 * Shots / 10; }))
        << SavedFiles().size();
    Terminate(FCopies[0]);
    Terminate(FCopies[1]);

    QList<QByteArray> all;
    for (const QString& file : SavedFiles()) {
        const QList<QByteArray> values = Values(ReadFileBytes(Saved(file)));
        EXPECT_EQ(values.size(), 10) << file.toStdString();
        all += values;
    }
    std::sort(all.begin(), all.end(),
              [](const QByteArray& a, const QByteArray& b) { return a.toInt() < b.toInt(); });
    EXPECT_EQ(all, Numbers(10000, 10000 + Shots - 1) + Numbers(50000, 50000 + Shots - 1));
}

TEST_F(AutoSaveEndToEnd, RefusingSaveFolderLosesNoShot) {
    // A plain file where the save folder should be, as good as a full disk.
    const QString blocker = Path("Prog/AUTOSAVE");
    TCopy& copy = FCopies[0];
    WriteSettings(copy, 10);
    ASSERT_TRUE(WriteFile(blocker, "x"));
    ASSERT_NO_FATAL_FAILURE(Start(copy));

    // Space comes back: the next full batch brings every waiting one.
    SendAndWaitUntilRead(copy, ShotLines(1, 500));
    ASSERT_TRUE(QFile::remove(blocker));
    ASSERT_TRUE(copy.Terminal.Write(ShotLines(501, 510)));
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(Saved("Chrono_051.txt")); }));
    QList<QByteArray> saved;
    for (const QString& file : SavedFiles()) saved += Values(ReadFileBytes(Saved(file)));
    EXPECT_EQ(saved, Numbers(1, 510));

    // The folder refuses again; it takes files again only after the last
    // shot: the batches still waiting go on closing.
    ASSERT_TRUE(QDir(blocker).removeRecursively());
    ASSERT_TRUE(WriteFile(blocker, "x"));
    SendAndWaitUntilRead(copy, ShotLines(1001, 1205));
    ASSERT_TRUE(QFile::remove(blocker));
    // (The refusals while the shots came in were told on the standard error.)
    EXPECT_FALSE(Terminate(copy).contains("could not be saved on closing")) << "";
    saved.clear();
    for (const QString& file : SavedFiles()) saved += Values(ReadFileBytes(Saved(file)));
    EXPECT_EQ(saved, Numbers(1001, 1200));
    EXPECT_EQ(Setting(FIni, "AUTOSAVE", "INDEX"), QStringLiteral("072"));

    // Still refused on closing: the standard error says what was not saved.
    ASSERT_TRUE(QDir(blocker).removeRecursively());
    ASSERT_TRUE(WriteFile(blocker, "x"));
    ASSERT_NO_FATAL_FAILURE(Start(copy));
    SendAndWaitUntilRead(copy, ShotLines(2001, 2035));
    const QByteArray told = Terminate(copy);
    EXPECT_TRUE(told.contains("AUTO SAVE: 30 shots could not be saved on closing"))
        << told.toStdString();
    EXPECT_EQ(ReadFileBytes(blocker), "x");
}
