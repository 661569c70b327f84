// Automatic saving on a real main form: live shots written every N shots into
// numbered or fixed files in a temporary folder, and the failures that must
// neither lose a shot nor stop the intake.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <sys/resource.h>

#include <QDir>

#include "platform/core/Exception.h"
#include "series/core/Statistics.h"
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
    EXPECT_EQ(P::FAutoSaveCount(Form()), 2);

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
    EXPECT_EQ(P::FAutoSaveCount(Form()), 0);
    EXPECT_TRUE(P::FAutoSaveLines(Form()).empty());

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

    // A loaded list goes ahead of the buffer; the index is never touched.
    P::FLoadedLines(Form()) = {QStringLiteral("700"), QStringLiteral("LOG line")};
    Feed({"804", "805"});
    EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Fixed.txt"))), CrLf({"801", "802", "803"}));
    Feed({"806"});
    EXPECT_EQ(ReadFileBytes(SavedFile(QStringLiteral("Fixed.txt"))),
              CrLf({"700", "LOG line", "801", "802", "803", "804", "805", "806"}));
    EXPECT_EQ(P::FAutoSaveCount(Form()), 6);
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
        EXPECT_EQ(P::FAutoSaveCount(Form()), c.Buffered);
        EXPECT_EQ(int(P::FAutoSaveLines(Form()).size()), c.Buffered);
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
    EXPECT_EQ(P::FAutoSaveCount(Form()), 3);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));

    // Once the folder can be written the next shot saves both batches,
    // from the index that did not move.
    WriteKey("Folder", Folder());
    Feed({"804"});
    const QStringList first = CsvRows(ReadFileBytes(SavedFile(QStringLiteral("Chrono_001.csv"))));
    const QStringList second = CsvRows(ReadFileBytes(SavedFile(QStringLiteral("Chrono_002.csv"))));
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(second.size(), 2);
    EXPECT_TRUE(first[0].startsWith(QStringLiteral("1\t801\t")));
    EXPECT_TRUE(second[1].startsWith(QStringLiteral("2\t804\t")));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_002.csv"));
    EXPECT_TRUE(P::FAutoSaveLines(Form()).empty());
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
        EXPECT_EQ(P::FAutoSaveLines(Form()), (std::vector<QString>{"803", "804", "805"}));
        EXPECT_EQ(ReadKey("INDEX"), QString::fromLatin1(c.Index));
        EXPECT_EQ(MemoLines().size(), 5);

        // An index that can move again saves the kept shots.
        WriteKey("INDEX", QStringLiteral("007"));
        Feed({"806"});
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
        EXPECT_EQ(P::FAutoSaveLines(Form()).size(), c.Buffered);
        EXPECT_EQ(P::FAutoSaveLines(Form()).back(), QStringLiteral("25000"));
        EXPECT_EQ(P::FAutoSaveCount(Form()), int(c.Buffered));
        EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QString::fromLatin1(c.File)});
        CloseForm();
        QDir(Folder()).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

TEST_F(AutoSave, FixedFileHoldsEveryShotAfterTheLoadedList) {
    Start("AUT=500\nFileName=Fixed\n", "TXT=1\n");
    P::FLoadedLines(Form()) = {QStringLiteral("700")};
    TForm1Probe::BatchUpdate(*Form1) = true;
    Feed(Shots(1, 10500));
    TForm1Probe::BatchUpdate(*Form1) = false;

    // The list keeps its last 10000 lines; the file keeps everything.
    EXPECT_EQ(P::FAutoSaveLines(Form()).size(), 10500u);
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

TEST_F(AutoSave, EveryFullBatchWaitingAfterAFailureIsWrittenAtTheNextShot) {
    // A plain file where the folder should be: nothing can be saved.
    Start("AUT=10\nFileName=Chrono_$\nINDEX=001\n", "TXT=1\n");
    Block();
    TForm1Probe::BatchUpdate(*Form1) = true;
    Feed(Shots(1, 500));
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    EXPECT_EQ(P::FAutoSaveLines(Form()).size(), 500u);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));

    // Space is back: the next shot writes all fifty waiting batches.
    QFile::remove(Folder());
    Feed({"501"});
    TForm1Probe::BatchUpdate(*Form1) = false;
    for (int file = 1; file <= 50; ++file) {
        SCOPED_TRACE(file);
        EXPECT_EQ(TxtValues(ReadFileBytes(SavedFile(
                      QStringLiteral("Chrono_%1.txt").arg(file, 3, 10, QLatin1Char('0'))))),
                  Shots(file * 10 - 9, file * 10));
    }
    EXPECT_EQ(QDir(Folder()).entryList(QDir::Files | QDir::Hidden).size(), 50);
    EXPECT_EQ(P::FAutoSaveLines(Form()), std::vector<QString>{"501"});
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
