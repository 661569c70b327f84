// Reading shot files back: lines of the bytes, the CSV cell rule, the values
// of each format, and real files that cannot be shot files.
#include <gtest/gtest.h>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "storage/core/ShotsFileReader.h"
#include "support/CoreSupport.h"

namespace {

using Lines = std::vector<QString>;

}  // namespace

TEST(ShotsFileLines, SkipsTheMarkAndEndsLinesAtCrLfLfOrCr) {
    struct Case {
        const char* Name;
        QByteArray Bytes;
        Lines Expected;
    };
    const Case cases[] = {
        {"CrLfWithMark",
         "\xEF\xBB\xBF"
         "812.5\r\n815\r\n",
         {"812.5", "815"}},
        {"LfWithoutMark", "812.5\n815\n", {"812.5", "815"}},
        {"CrOnly", "812.5\r815\r", {"812.5", "815"}},
        {"MixedAndNoLastEnd", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"EmptyLinesCount", "\r\n\r\nx\r\r\ny", {"", "", "x", "", "y"}},
        {"MarkOnly", "\xEF\xBB\xBF", {}},
        // Only the first mark is skipped; a second belongs to the line.
        {"TwoMarks", "\xEF\xBB\xBF\xEF\xBB\xBFx\n", {QString(QChar(0xFEFF)) + "x"}},
        {"Empty", "", {}},
        {"MarkInsideStays",
         "a\n\xEF\xBB\xBF"
         "b",
         {"a", QString(QChar(0xFEFF)) + "b"}},
        {"Utf8", "\xC3\xA4\n", {QString::fromUtf8("\xC3\xA4")}},
        {"InvalidBytesReplaced", "\xFF\n", {QString(QChar(0xFFFD))}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ShotsFileLines(c.Bytes), c.Expected);
    }
}

TEST(CsvSecondCell, TakesTheCellAfterTheFirstSeparator) {
    struct Case {
        const char* Row;
        bool Found;
        const char* Cell;
    };
    const Case cases[] = {
        {"1\t812.5\t1234.56\t\t\t", true, "812.5"},
        {"1;812,5;1234,56", true, "812,5"},
        {"1,812.5,1234.56", true, "812.5"},
        // A comma ends the cell only in a row that commas cut, so a decimal
        // comma in a row cut by TAB or ";" stays part of the number.
        {"1\t2,5", true, "2,5"},
        {"1;2,5", true, "2,5"},
        {"1,2,5", true, "2"},
        // A TAB ends the cell, else a ";".
        {"1\t2;5\t3", true, "2;5"},
        {"1\t2;5", true, "2"},
        {"1\t\t3", true, ""},
        {"\t 1 \t 812 \t", true, "812"},  // the row is trimmed first
        {" 1 ; 812 ", true, "812"},
        {"1\t", false, ""},  // trimmed, no separator is left
        {"812.5", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Row);
        QString cell = QStringLiteral("before");
        EXPECT_EQ(CsvSecondCell(QString::fromLatin1(c.Row), cell), c.Found);
        EXPECT_EQ(cell, c.Found ? QString::fromLatin1(c.Cell) : QStringLiteral("before"));
    }
}

TEST(ShotsFileValues, TakesEveryLineOrCellOfTheChosenFormat) {
    struct Case {
        const char* Name;
        bool Txt;
        Lines File;
        Lines Expected;
    };
    const Lines savedCsv = {"Nr\tV\tE\tVAVG",       "",      "", "1\t812,5\t7,02\t813,8",
                            "2\t815\t7,07\t\t\t\t", "3\t\t7"};
    const Case cases[] = {
        // Every non-empty line, trimmed, numbers or not: the rebuild takes
        // the numbers out of them.
        {"Txt",
         true,
         {" 812.5 ", "LOG: 31 FF 0A", "", " \t", "V=815 m/s", "815,25", "-3"},
         {"812.5", "LOG: 31 FF 0A", "V=815 m/s", "815,25", "-3"}},
        // The second cell of each row with a separator, an empty one too.
        {"CsvFromTheFourthLine", false, savedCsv, {"812,5", "815", ""}},
        {"CsvFirstThreeLinesSkippedWhateverTheyHold",
         false,
         {"1\t700", "2\t701", "3\t702", "4\t703"},
         {"703"}},
        {"CsvSemicolonAndComma",
         false,
         {"h", "", "", "1;812,5;x", "2,815.5,x", "", "no separator", "3\t812 m/s\t7"},
         {"812,5", "815.5", "812 m/s"}},
        {"TxtFileReadAsCsv", false, {"812.5", "815", "816", "817"}, {}},
        {"CsvFileReadAsTxt",
         true,
         savedCsv,
         {"Nr\tV\tE\tVAVG", "1\t812,5\t7,02\t813,8", "2\t815\t7,07", "3\t\t7"}},
        {"TooFewLines", false, {"h", ""}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ShotsFileValues(c.File, c.Txt), c.Expected);
    }
}

TEST(ReadShotsFile, ReadsRealFilesAndNamesWhatIsWrongWithOthers) {
    QTemporaryDir dir;

    const QString good = WriteTextFile(dir.filePath("good.csv"),
                                       "\xEF\xBB\xBF"
                                       "Nr\tV\r\n\r\n\r\n1\t812.5\t7\r\n");
    TShotsFileRead read = ReadShotsFile(good, false);
    EXPECT_EQ(read.Problem, TShotsFileProblem::None);
    EXPECT_EQ(read.Values, Lines{"812.5"});
    EXPECT_TRUE(ShotsFileProblemText(read, good).isEmpty());

    // A line of 1 MB between two values is read whole.
    const QByteArray million(1024 * 1024, '7');
    const QString longLine = WriteTextFile(dir.filePath("long.txt"), "812\n" + million + "\n815\n");
    read = ReadShotsFile(longLine, true);
    EXPECT_EQ(read.Problem, TShotsFileProblem::None);
    EXPECT_EQ(read.Values, (Lines{"812", QString::fromLatin1(million), "815"}));

    // A file of blank lines holds nothing to take.
    read = ReadShotsFile(WriteTextFile(dir.filePath("blank.txt"), "\xEF\xBB\xBF\r\n \r\n"), true);
    EXPECT_EQ(read.Problem, TShotsFileProblem::None);
    EXPECT_TRUE(read.Values.empty());

    // Removed after the dialog chose it.
    const QString removed = WriteTextFile(dir.filePath("removed.txt"), "812\n");
    ASSERT_TRUE(QFile::remove(removed));
    read = ReadShotsFile(removed, true);
    EXPECT_EQ(read.Problem, TShotsFileProblem::CannotOpen);
    EXPECT_EQ(read.Error, ENOENT);
    EXPECT_TRUE(read.Values.empty());
    EXPECT_TRUE(ShotsFileProblemText(read, removed).startsWith(QStringLiteral("open error: 2 (")));
    EXPECT_TRUE(ShotsFileProblemText(read, removed).endsWith(removed + QLatin1Char(')')));

    // 100 MB (sparse, so the test stays light) is refused before reading.
    const QString huge = dir.filePath(QStringLiteral("huge.txt"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100LL * 1024 * 1024));
    }
    read = ReadShotsFile(huge, true);
    EXPECT_EQ(read.Problem, TShotsFileProblem::TooLarge);
    EXPECT_EQ(ShotsFileProblemText(read, huge),
              huge + QStringLiteral(" is larger than 32 MB, too large for a shot file"));

    // A folder and a named pipe (which must not block) are no files.
    read = ReadShotsFile(dir.path(), true);
    EXPECT_EQ(read.Problem, TShotsFileProblem::NotAFile);
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    read = ReadShotsFile(pipe, true);
    EXPECT_EQ(read.Problem, TShotsFileProblem::NotAFile);
    EXPECT_EQ(ShotsFileProblemText(read, pipe), pipe + QStringLiteral(" is not a file"));
}
