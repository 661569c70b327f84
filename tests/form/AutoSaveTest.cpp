// Automatic saving on a real main form: live shots written every N shots into
// numbered or fixed files in a temporary folder, and the failures that must
// neither lose a shot nor stop the intake.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>

#include <QDir>
#include <QRegularExpression>

#include "platform/core/Exception.h"
#include "support/FormFixture.h"
#include "support/FileSizeLimit.h"

namespace {

using P = TForm1Probe;

const QByteArray Bom("\xEF\xBB\xBF");

QByteArray CrLf(const QStringList& lines) {
    QByteArray bytes = Bom;
    for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
    return bytes;
}

// The CSV rows that the files hold after the header and the two empty lines.
QStringList CsvRows(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes.mid(Bom.size())).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines.mid(3);
}

}  // namespace

class AutoSave : public FormFixture {
protected:
    // A settings file of the two sections, then the form on it.
    void Start(const QByteArray& autoSave, const QByteArray& settings = "TXT=0\n") {
        WriteTextFile(IniFilePath(), "[Settings]\n" + settings + "[AUTOSAVE]\n" + autoSave);
        StartFormOffline();
    }

    TAutoSaver& Saver() { return P::AutoSaver(Form()); }
    // Runs the window's events until every due file is written.
    bool CaughtUp() {
        return WaitFor([this] { return Saver().WaitingFiles() == 0; });
    }
    QString Folder() const { return FDir.filePath(QStringLiteral("AUTOSAVE")); }
    QString SavedFile(const QString& name) const { return Folder() + QLatin1Char('/') + name; }
    QString ReadKey(const char* key) { return IniValue("AUTOSAVE", key); }
    void WriteKey(const char* key, const QString& value) { WriteIniValue("AUTOSAVE", key, value); }
    // A plain file where the save folder should be: nothing can be saved,
    // as on a full disk, until it goes.
    void Block() {
        ASSERT_TRUE(QDir(Folder()).removeRecursively());
        WriteTextFile(Folder(), "x");
    }
};

TEST_F(AutoSave, IndexedFilesTakeEachBatchOfShotsAndAdvanceTheIndex) {
    Start("AUT=3\nFileName=Chrono_$\nINDEX=001\n");

    Feed({QStringLiteral("812"), QStringLiteral("V 815,5")});
    EXPECT_FALSE(QFileInfo::exists(SavedFile(QStringLiteral("Chrono_001.csv"))));
    EXPECT_EQ(Saver().BufferedCount(), 2);

    Feed({QStringLiteral("818")});
    const QByteArray first = ReadFileBytes(SavedFile(QStringLiteral("Chrono_001.csv")));
    ASSERT_TRUE(first.startsWith(
        Bom + "Nr\tV\tE\tVAVG\tVMAX\tVMIN\tdV\tSV\tEAVG\tWeight [ g  ]\tShots\tUnits\r\n\r\n\r\n"))
        << first.toStdString();
    const QStringList rows = CsvRows(first);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].split(QLatin1Char('\t')).mid(0, 2), (QStringList{"1", "812"}));
    EXPECT_EQ(rows[0].split(QLatin1Char('\t')).mid(3, 5),
              (QStringList{"815.2", "818.0", "812.0", "6.0", "3.0"}));
    EXPECT_EQ(rows[0].split(QLatin1Char('\t')).mid(10), (QStringList{"3", "metric"}));
    EXPECT_EQ(rows[1].split(QLatin1Char('\t')).mid(0, 2), (QStringList{"2", "815.5"}));
    EXPECT_EQ(rows[2].split(QLatin1Char('\t')).size(), 3);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("002"));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_001.csv"));
    EXPECT_EQ(Saver().BufferedCount(), 0);
    EXPECT_TRUE(Saver().BufferedLines().empty());

    Feed({QStringLiteral("820"), QStringLiteral("821"), QStringLiteral("822")});
    const QStringList second = CsvRows(ReadFileBytes(SavedFile(QStringLiteral("Chrono_002.csv"))));
    ASSERT_EQ(second.size(), 3);
    EXPECT_TRUE(second[0].startsWith(QStringLiteral("1\t820\t")));
    EXPECT_TRUE(second[2].startsWith(QStringLiteral("3\t822\t")));
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("003"));
    EXPECT_EQ(MemoLines().size(), 6);
}

TEST_F(AutoSave, FixedFileIsRewrittenWithTheWholeHistoryEveryNShots) {
    Start("AUT=3\nFileName=Fixed\nINDEX=001\n", "TXT=1\n");

    Feed({"801", "802", "803"});
    EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Fixed.txt"))), CrLf({"801", "802", "803"}));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Fixed.txt"));

    // A loaded list (as LOAD gives it, starting the buffer afresh) goes
    // ahead of the buffer; the index is never touched.
    Saver().StartAfresh(std::vector<QString>{QStringLiteral("700"), QStringLiteral("LOG line")});
    Feed({"804", "805"});
    EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Fixed.txt"))), CrLf({"801", "802", "803"}));
    Feed({"806", "807", "808", "809"});
    EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Fixed.txt"))),
              CrLf({"700", "LOG line", "804", "805", "806", "807", "808", "809"}));
    EXPECT_EQ(Saver().BufferedCount(), 6);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));

    // CLEAR starts the buffer afresh: the file comes with the third shot after it.
    Form().ButtonClearClick(nullptr);
    Feed({"901", "902"});
    Feed({"903"});
    EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Fixed.txt"))), CrLf({"901", "902", "903"}));
}

TEST_F(AutoSave, OnlyLiveShotsAreBufferedAndOnlyWhileTheCountIsSet) {
    struct Case {
        const char* Name;
        QByteArray AutoSave;
        bool Live;
        int Buffered;
    };
    const Case cases[] = {
        {"Off", "AUT=0\n", true, 0},          {"Negative", "AUT=-4\n", true, 0},
        {"NotANumber", "AUT=abc\n", true, 0}, {"NotLive", "AUT=10\n", false, 0},
        {"Live", "AUT=10\n", true, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.AutoSave);
        const QString status = Status();
        Feed({"801", "no number", "802", "803", "804"}, c.Live);
        EXPECT_EQ(MemoLines().size(), 4);
        EXPECT_EQ(Saver().BufferedCount(), c.Buffered);
        EXPECT_EQ(int(Saver().BufferedLines().size()), c.Buffered);
        EXPECT_EQ(Status(), status);
        EXPECT_TRUE(QDir(Folder()).isEmpty());
        CloseForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(AutoSave, FailureShowsTheErrorKeepsEveryShotAndTriesAgain) {
    // A folder below a plain file can never be made.
    WriteTextFile(FDir.filePath(QStringLiteral("blocker")), "x");
    const QString blocked = FDir.filePath(QStringLiteral("blocker/sub"));
    Start("AUT=2\nFileName=Chrono_$\nINDEX=001\nFolder=" + blocked.toUtf8() + "\n");

    testing::internal::CaptureStderr();
    Feed({"801", "802", "803"});
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    // The standard error says where and why.
    EXPECT_NE(told.find("AUTO SAVE: error: "), std::string::npos) << told;
    EXPECT_NE(told.find((SystemErrorText(ENOTDIR) + QStringLiteral(": ") + blocked +
                         QStringLiteral("/Chrono_001.csv"))
                            .toStdString()),
              std::string::npos)
        << told;
    EXPECT_EQ(MemoLines(), (QStringList{"801", "802", "803"}));
    EXPECT_EQ(Form().Label8->Caption(), QStringLiteral("3"));
    EXPECT_EQ(Saver().BufferedCount(), 3);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));

    // Once the folder can be written the next shot saves both batches,
    // from the index that did not move.
    WriteKey("Folder", Folder());
    Feed({"804"});
    ASSERT_TRUE(CaughtUp());
    const QStringList first = CsvRows(ReadFileBytes(SavedFile(QStringLiteral("Chrono_001.csv"))));
    const QStringList second = CsvRows(ReadFileBytes(SavedFile(QStringLiteral("Chrono_002.csv"))));
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(second.size(), 2);
    EXPECT_TRUE(first[0].startsWith(QStringLiteral("1\t801\t")));
    EXPECT_TRUE(second[1].startsWith(QStringLiteral("2\t804\t")));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_002.csv"));
    EXPECT_TRUE(Saver().BufferedLines().empty());
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("003"));
}

TEST_F(AutoSave, FailedRewriteLeavesTheEarlierFixedFileWhole) {
    Start("AUT=2\nFileName=Fixed\n", "TXT=1\n");
    Feed({"801", "802"});
    const QString file = SavedFile(QStringLiteral("Fixed.txt"));
    ASSERT_EQ(ReadFileBytes(file), CrLf({"801", "802"}));

    // Files may no longer grow past a few bytes, as on a full disk.
    {
        FileSizeLimit limit(8);
        Feed({"803", "804"});
    }
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    EXPECT_EQ(ReadFileBytes(file), CrLf({"801", "802"}));
    EXPECT_EQ(MemoLines().size(), 4);
    // No temporary file stays behind.
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Fixed.txt")});

    // The rewrite that failed is due again with the next shot.
    Feed({"805"});
    EXPECT_EQ(ReadFileBytes(file), CrLf({"801", "802", "803", "804", "805"}));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Fixed.txt"));
}

TEST_F(AutoSave, IndexThatCannotAdvanceNeverWritesOverAnEarlierFile) {
    struct Case {
        const char* Index;
        const char* File;
    };
    const Case cases[] = {{"abc", "Chrono_abc.txt"}, {"2147483647", "Chrono_2147483647.txt"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Index);
        Start(QByteArray("AUT=2\nFileName=Chrono_$\nINDEX=") + c.Index + "\n", "TXT=1\n");
        Feed({"801", "802"});
        const QString file = SavedFile(QString::fromLatin1(c.File));
        EXPECT_EQ(ReadFileBytes(file), CrLf({"801", "802"}));
        EXPECT_EQ(Status(), "AUTO SAVE: " + QString::fromLatin1(c.File));
        EXPECT_EQ(ReadKey("INDEX"), QString::fromLatin1(c.Index));

        // The next batch would take the same name: it stays in the buffer.
        Feed({"803", "804", "805"});
        EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
        EXPECT_EQ(ReadFileBytes(file), CrLf({"801", "802"}));
        EXPECT_EQ(Saver().BufferedLines(), (std::vector<QString>{"803", "804", "805"}));
        EXPECT_EQ(ReadKey("INDEX"), QString::fromLatin1(c.Index));
        EXPECT_EQ(MemoLines().size(), 5);

        // An index that can move again saves the kept shots.
        WriteKey("INDEX", QStringLiteral("007"));
        Feed({"806"});
        ASSERT_TRUE(CaughtUp());
        EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Chrono_007.txt"))), CrLf({"803", "804"}));
        EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Chrono_008.txt"))), CrLf({"805", "806"}));
        EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("009"));
        CloseForm();
        QDir(Folder()).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

// Shots numbered from..to as list texts.
QStringList Shots(int from, int to) {
    QStringList shots;
    for (int i = from; i <= to; ++i) shots << QString::number(i);
    return shots;
}

// The values of a TXT shot file, in order.
QStringList TxtValues(const QByteArray& bytes) {
    return QString::fromUtf8(bytes.mid(Bom.size()))
        .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
}

TEST_F(AutoSave, CountsAboveTenThousandSaveEveryShotExactlyOnce) {
    struct Case {
        const char* Name;
        QByteArray AutoSave;
        const char* File;
        std::size_t Buffered;
    };
    const Case cases[] = {
        {"Indexed", "AUT=20000\nFileName=Chrono_$\nINDEX=001\n", "Chrono_001.txt", 5000},
        {"Fixed", "AUT=20000\nFileName=Fixed\n", "Fixed.txt", 25000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.AutoSave, "TXT=1\n");
        TForm1Probe::BatchUpdate(*Form1) = true;
        Feed(Shots(1, 25000));
        TForm1Probe::BatchUpdate(*Form1) = false;

        // The list shows its last 10000 lines; the file has the first
        // 20000 shots, each once, and the rest wait in the buffer.
        EXPECT_LE(MemoLines().size(), 10100);
        EXPECT_EQ(MemoLines().back(), QStringLiteral("25000"));
        EXPECT_EQ(TxtValues(ReadFileBytes(SavedFile(QString::fromLatin1(c.File)))),
                  Shots(1, 20000));
        EXPECT_EQ(Saver().BufferedLines().size(), c.Buffered);
        EXPECT_EQ(Saver().BufferedLines().back(), QStringLiteral("25000"));
        EXPECT_EQ(Saver().BufferedCount(), int(c.Buffered));
        EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QString::fromLatin1(c.File)});
        CloseForm();
        QDir(Folder()).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

TEST_F(AutoSave, FixedFileHoldsEveryShotAfterTheLoadedList) {
    Start("AUT=500\nFileName=Fixed\n", "TXT=1\n");
    Saver().StartAfresh(std::vector<QString>{QStringLiteral("700")});
    TForm1Probe::BatchUpdate(*Form1) = true;
    Feed(Shots(1, 10500));
    TForm1Probe::BatchUpdate(*Form1) = false;

    // The list keeps its last 10000 lines; the file keeps everything.
    EXPECT_EQ(Saver().BufferedLines().size(), 10500u);
    QStringList expected = QStringList{QStringLiteral("700")} + Shots(1, 10500);
    EXPECT_EQ(TxtValues(ReadFileBytes(SavedFile("Fixed.txt"))), expected);
    Feed(Shots(10501, 11000));
    expected += Shots(10501, 11000);
    EXPECT_EQ(TxtValues(ReadFileBytes(SavedFile("Fixed.txt"))), expected);
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Fixed.txt"));
}

TEST_F(AutoSave, ExistingIndexedFilesAreNeverWrittenOver) {
    // An earlier run ended after writing Chrono_001 and Chrono_002 but
    // before INDEX moved on; a dangling link holds the name Chrono_003.
    Start("AUT=2\nFileName=Chrono_$\nINDEX=001\n", "TXT=1\n");
    ASSERT_TRUE(QDir().mkpath(Folder()));
    WriteTextFile(SavedFile("Chrono_001.txt"), "earlier 1");
    WriteTextFile(SavedFile("Chrono_002.txt"), "earlier 2");
    ASSERT_TRUE(QFile::link(FDir.filePath("nowhere"), SavedFile("Chrono_003.txt")));

    testing::internal::CaptureStderr();
    Feed({"801", "802"});
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("Chrono_001.txt exists already; saved as Chrono_004.txt"),
              std::string::npos)
        << told;
    EXPECT_EQ(ReadFileBytes(SavedFile("Chrono_001.txt")), "earlier 1");
    EXPECT_EQ(ReadFileBytes(SavedFile("Chrono_002.txt")), "earlier 2");
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath("nowhere")));
    EXPECT_EQ(ReadFileBytes(SavedFile("Chrono_004.txt")), CrLf({"801", "802"}));
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("005"));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_004.txt"));

    // The next file takes the next index, as usual.
    Feed({"803", "804"});
    EXPECT_EQ(ReadFileBytes(SavedFile("Chrono_005.txt")), CrLf({"803", "804"}));
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("006"));
}

TEST_F(AutoSave, EveryFullBatchWaitingAfterAFailureIsWrittenSoonAfterTheNextShot) {
    // A plain file where the folder should be: nothing can be saved.
    Start("AUT=10\nFileName=Chrono_$\nINDEX=001\n", "TXT=1\n");
    Block();
    TForm1Probe::BatchUpdate(*Form1) = true;
    Feed(Shots(1, 500));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    EXPECT_EQ(Saver().BufferedLines().size(), 500u);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));

    // Space is back: the next shot writes the oldest batch, and the other
    // forty-nine follow between the window's events, in order.
    QFile::remove(Folder());
    Feed({"501"});
    TForm1Probe::BatchUpdate(*Form1) = false;
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("Chrono_001.txt")});
    ASSERT_TRUE(CaughtUp());
    for (int file = 1; file <= 50; ++file) {
        SCOPED_TRACE(file);
        EXPECT_EQ(TxtValues(ReadFileBytes(SavedFile(
                      QStringLiteral("Chrono_%1.txt").arg(file, 3, 10, QLatin1Char('0'))))),
                  Shots(file * 10 - 9, file * 10));
    }
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden).size(), 50);
    EXPECT_EQ(Saver().BufferedLines(), std::vector<QString>{"501"});
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("051"));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_050.txt"));
}

TEST_F(AutoSave, FullBatchesStillWaitingAreWrittenOnClosing) {
    struct Case {
        const char* Name;
        QByteArray AutoSave;
        QStringList Files;
    };
    const Case cases[] = {
        {"Indexed",
         "AUT=10\nFileName=Chrono_$\nINDEX=001\n",
         {"Chrono_001.txt", "Chrono_002.txt", "Chrono_003.txt"}},
        {"Fixed", "AUT=10\nFileName=Fixed\n", {"Fixed.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.AutoSave, "TXT=1\n");
        Block();
        Feed(Shots(1, 35));
        EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
        QFile::remove(Folder());
        CloseForm();

        const QStringList files = QDir(Folder()).entryList(QDir::Files | QDir::Hidden);
        EXPECT_EQ(files, c.Files);
        QStringList saved;
        for (const QString& file : files) saved += TxtValues(ReadFileBytes(SavedFile(file)));
        // Whole batches only in numbered files; the fixed file has all.
        EXPECT_EQ(saved, Shots(1, c.Files.size() == 1 ? 35 : 30));
        QDir(Folder()).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

TEST_F(AutoSave, ClosingWhileTheFolderStillRefusesSaysSoOnTheStandardError) {
    Start("AUT=10\nFileName=Chrono_$\nINDEX=001\n", "TXT=1\n");
    Block();
    Feed(Shots(1, 25));
    testing::internal::CaptureStderr();
    CloseForm();
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_NE(told.find("AUTO SAVE: 20 shots could not be saved on closing"), std::string::npos)
        << told;
    EXPECT_EQ(ReadFileBytes(Folder()), "x");
}

namespace {

// The lines automatic saving told on the standard error (Qt's platform
// plugin tells its own there).
QStringList StandardErrorLines(const std::string& told) {
    return QString::fromStdString(told)
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
        .filter(QRegularExpression(QStringLiteral("^AUTO SAVE")));
}

}  // namespace

TEST_F(AutoSave, WaitingFilesAreWrittenInOrderBetweenTheWindowsEvents) {
    // How the folder comes back after refusing files: a shot brings it
    // back, a shot and at once CLEAR (which starts the buffer afresh but
    // keeps every batch that is due), or only the closing.
    enum class TBack { Shot, ShotThenClear, Closing };
    struct Case {
        const char* Name;
        int PerFile;
        int Refused;  // shots while the folder refuses files
        TBack Back;
        int Files;  // files in the end
    };
    const Case cases[] = {
        {"one a file, a shot", 1, 120, TBack::Shot, 121},
        {"four a file, a shot", 4, 123, TBack::Shot, 31},
        {"one a file, a shot then CLEAR", 1, 120, TBack::ShotThenClear, 121},
        {"three a file, closing", 3, 31, TBack::Closing, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Start("AUT=" + QByteArray::number(c.PerFile) + "\nFileName=Chrono_$\nINDEX=001\n",
              "TXT=1\n");
        Block();
        TForm1Probe::BatchUpdate(*Form1) = true;
        testing::internal::CaptureStderr();
        Feed(Shots(1, c.Refused));
        QFile::remove(Folder());
        QStringList sent = Shots(1, c.Refused);
        if (c.Back != TBack::Closing) {
            Feed({QString::number(c.Refused + 1)});
            sent << QString::number(c.Refused + 1);
            // The shot wrote one file, the oldest; the rest wait for the
            // window's next turns.
            EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden),
                      QStringList{QStringLiteral("Chrono_001.txt")});
            EXPECT_GT(Saver().WaitingFiles(), 0u);
            if (c.Back == TBack::ShotThenClear) {
                Form().ButtonClearClick(nullptr);
                EXPECT_TRUE(MemoLines().isEmpty());
            }
            ASSERT_TRUE(CaughtUp());
            EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("%1").arg(c.Files + 1, 3, 10, QChar(u'0')));
        }
        TForm1Probe::BatchUpdate(*Form1) = false;
        CloseForm();
        const QStringList told = StandardErrorLines(testing::internal::GetCapturedStderr());

        // Every whole batch, once, in order, one file each.
        const QStringList files = QDir(Folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        ASSERT_EQ(files.size(), c.Files);
        QStringList saved;
        for (int file = 0; file < c.Files; ++file) {
            EXPECT_EQ(files[file],
                      QStringLiteral("Chrono_%1.txt").arg(file + 1, 3, 10, QChar(u'0')));
            const QStringList values = TxtValues(ReadFileBytes(SavedFile(files[file])));
            EXPECT_EQ(values.size(), c.PerFile) << files[file].toStdString();
            saved += values;
        }
        EXPECT_EQ(saved, sent.mid(0, c.Files * c.PerFile));
        // The refusals were told once, and once more with their count.
        EXPECT_LE(told.size(), 3) << told.join(u'\n').toStdString();
        EXPECT_TRUE(told.join(u'\n').contains(QStringLiteral(" times in all)")))
            << told.join(u'\n').toStdString();
        QDir(Folder()).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

TEST_F(AutoSave, ARunOfTheSameFailureIsToldOnceAndOnceMoreWithItsCount) {
    Start("AUT=1\nFileName=Chrono_$\nINDEX=001\n", "TXT=1\n");
    // A folder refusing 200 shots, then taking files again.
    Block();
    testing::internal::CaptureStderr();
    Feed(Shots(1, 200));
    QFile::remove(Folder());
    Feed({"201"});
    ASSERT_TRUE(CaughtUp());
    QStringList told = StandardErrorLines(testing::internal::GetCapturedStderr());
    ASSERT_EQ(told.size(), 2) << told.join(u'\n').toStdString();
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("AUTO SAVE: error: "))) << told[0].toStdString();
    EXPECT_EQ(told[1], told[0] + QStringLiteral(" (200 times in all)"));

    // Another copy of the program takes the name INDEX gives before each
    // shot (and has not moved INDEX yet): each file goes under the next
    // name, told once for the run.
    testing::internal::CaptureStderr();
    for (int shot = 1; shot <= 50; ++shot) {
        WriteTextFile(SavedFile(QStringLiteral("Chrono_%1.txt").arg(ReadKey("INDEX"))),
                      "other copy");
        Feed({QString::number(1000 + shot)});
    }
    Feed({"2000"});
    told = StandardErrorLines(testing::internal::GetCapturedStderr());
    ASSERT_EQ(told.size(), 2) << told.join(u'\n').toStdString();
    EXPECT_TRUE(told[0].contains(QStringLiteral("exists already; saved as")));
    EXPECT_TRUE(told[1].endsWith(QStringLiteral(" (50 times in all)"))) << told[1].toStdString();
    // None of the other copy's files was written over.
    int others = 0;
    for (const QString& file : QDir(Folder()).entryList(QDir::Files))
        if (ReadFileBytes(SavedFile(file)) == "other copy") ++others;
    EXPECT_EQ(others, 50);
}

TEST_F(AutoSave, AnIndexThatCannotBeWrittenStillNumbersEveryFileOnce) {
    Start("AUT=1\nFileName=Chrono_$\nINDEX=001\n", "TXT=1\n");
    // The settings file refuses every write (also for root: no write bit).
    ASSERT_TRUE(QFile::setPermissions(IniFilePath(), QFile::ReadOwner));
    testing::internal::CaptureStderr();
    Feed(Shots(1, 60));
    ASSERT_TRUE(QFile::setPermissions(IniFilePath(), QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    // Each shot in its own file, under the number after the one before.
    for (int file = 1; file <= 60; ++file)
        EXPECT_EQ(TxtValues(ReadFileBytes(
                      SavedFile(QStringLiteral("Chrono_%1.txt").arg(file, 3, 10, QChar(u'0'))))),
                  QStringList{QString::number(file)});
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden).size(), 60);

    // Writable again: INDEX catches up with the files.
    Feed({"61"});
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("062"));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_061.txt"));
    const QStringList told = StandardErrorLines(testing::internal::GetCapturedStderr());
    ASSERT_EQ(told.size(), 2) << told.join(u'\n').toStdString();
    EXPECT_TRUE(told[0].contains(QStringLiteral("Unable to write to"))) << told[0].toStdString();
    EXPECT_TRUE(told[1].endsWith(QStringLiteral(" (60 times in all)"))) << told[1].toStdString();
}
