// Automatic saving on a real main form: live shots written every N shots into
// numbered or fixed files in a temporary folder, and the failures that must
// neither lose a shot nor stop the intake.
#include <gtest/gtest.h>

#include <QDir>

#include "series/core/Statistics.h"
#include "support/FormFixture.h"

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

    Feed({"801", "802", "803"});
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    EXPECT_EQ(MemoLines(), (QStringList{"801", "802", "803"}));
    EXPECT_EQ(Form().Label8->Caption(), QStringLiteral("3"));
    EXPECT_EQ(P::FAutoSaveCount(Form()), 3);
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("001"));

    // Once the folder can be written the next shot saves the oldest batch
    // under the index that did not move.
    WriteKey("Folder", Folder());
    Feed({"804"});
    EXPECT_EQ(CsvRows(ReadFileBytes(SavedFile(QStringLiteral("Chrono_001.csv")))).size(), 2);
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Chrono_001.csv"));
    EXPECT_EQ(P::FAutoSaveLines(Form()), (std::vector<QString>{"803", "804"}));
    EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("002"));
}

TEST_F(AutoSave, FailedRewriteLeavesTheEarlierFixedFileWhole) {
    Start("AUT=2\nFileName=Fixed\n", "TXT=1\n");
    Feed({"801", "802"});
    const QString file = SavedFile(QStringLiteral("Fixed.txt"));
    ASSERT_EQ(ReadFileBytes(file), CrLf({"801", "802"}));

    // The partial file cannot be made: a folder holds its name.
    ASSERT_TRUE(QDir().mkpath(file + QStringLiteral(".part")));
    Feed({"803", "804"});
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: error"));
    EXPECT_EQ(ReadFileBytes(file), CrLf({"801", "802"}));
    EXPECT_EQ(MemoLines().size(), 4);
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
        EXPECT_EQ(ReadKey("INDEX"), QStringLiteral("008"));
        CloseForm();
        QDir(Folder()).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

TEST_F(AutoSave, FixedFileKeepsTheLastTenThousandShots) {
    Start("AUT=500\nFileName=Fixed\n", "TXT=1\n");
    P::FLoadedLines(Form()) = {QStringLiteral("700")};
    QStringList shots;
    for (int i = 1; i <= 10500; ++i) shots << QString::number(i);
    BatchUpdate = true;
    Feed(shots);
    BatchUpdate = false;

    EXPECT_EQ(P::FAutoSaveLines(Form()).size(), 10000u);
    EXPECT_EQ(P::FAutoSaveLines(Form()).front(), QStringLiteral("501"));
    // The file still comes every 500 shots, with the loaded list first and
    // the last 10000 shots after it.
    const QStringList saved = QString::fromUtf8(ReadFileBytes(SavedFile("Fixed.txt")).mid(3))
                                  .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(saved.size(), 10001);
    EXPECT_EQ(saved.front(), QStringLiteral("700"));
    EXPECT_EQ(saved[1], QStringLiteral("501"));
    EXPECT_EQ(saved.back(), QStringLiteral("10500"));
    Feed({"10501"});
    EXPECT_EQ(Status(), QStringLiteral("AUTO SAVE: Fixed.txt"));
    Feed(shots.mid(0, 499));
    EXPECT_EQ(QString::fromUtf8(ReadFileBytes(SavedFile("Fixed.txt"))).count(u'\n'), 10001);
    EXPECT_TRUE(ReadFileBytes(SavedFile("Fixed.txt")).endsWith("\r\n499\r\n"));
}
