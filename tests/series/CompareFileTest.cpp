// The compare file of CMP: TXT and CSV reading and the files that are no
// shot files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "series/core/CompareFile.h"
#include "support/CoreSupport.h"

namespace {

std::vector<QString> Texts(std::initializer_list<const char*> texts) {
    std::vector<QString> result;
    for (const char* t : texts) result.push_back(QString::fromUtf8(t));
    return result;
}

}  // namespace

TEST(CompareFileValues, ReadsTxtAndCsv) {
    struct Case {
        const char* Name;
        QByteArray Bytes;
        bool Txt;
        std::vector<QString> Out;
        TCompareProblem Problem = TCompareProblem::None;
    };
    const QByteArray csvHead = "NR\tV\tE\r\n\r\n\r\n";
    const Case cases[] = {
        {"TxtValuesOnly",
         "\xEF\xBB\xBF"
         "812.5\r\n\r\n 815,5 \r\nLOG: 31 FF 0A\r\n350.2 m/s\r\n-3\n",
         true, Texts({"812.5", "815,5", "-3"})},
        {"TxtCrOnly", "1\r2\r3", true, Texts({"1", "2", "3"})},
        // A line LOAD takes as a value is one here too: comparing must pair
        // the shots LOAD would show.
        {"TxtControlInside", "5\f93\r\n\v7\r\n8\t1\r\n", true, Texts({"593", "7"})},
        {"TxtCutCharacterAtTheEnd", "52\xEF", true, {}, TCompareProblem::NoValue},
        {"CsvControlInside", csvHead + "1\t8\f12\t3\r\n", false, Texts({"812"})},
        {"CsvSecondColumn",
         csvHead + "1\t812.5\t30.1\r\n2\t815\r\n3;12,5;7\r\n4,9.5\r\n12.5\r\n\r\n5\t\t1\r\n", false,
         Texts({"812.5", "815", "12,5", "9.5"})},
        {"CsvHeaderOnly", "1\t2\r\n3\t4\r\n", false, {}, TCompareProblem::NoValue},
        {"Empty", "", true, {}, TCompareProblem::NoValue},
        {"NoValue", "abc\r\ndef\r\n", true, {}, TCompareProblem::NoValue},
        {"Binary", QByteArray("812\r\n\x00\x01\x02\xFF", 9), true, {}, TCompareProblem::NotText},
        {"HugeLine",
         "812\r\n" + QByteArray(1024 * 1024, '7') + "\r\n",
         true,
         {},
         TCompareProblem::NotText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TCompareFile result = CompareFileValues(c.Bytes, c.Txt);
        EXPECT_EQ(result.Texts, c.Out);
        EXPECT_EQ(int(result.Problem), int(c.Problem));
    }
}

TEST(CompareFileValues, CsvColumnsEndAtTheLinesOwnSeparator) {
    // A decimal comma in a TAB or ";" row stays part of the value.
    const TCompareFile result =
        CompareFileValues("h\r\n\r\n\r\n1\t812,5\t30\r\n2;815,25\r\n3,9.5,1\r\n", false);
    EXPECT_EQ(result.Texts, Texts({"812,5", "815,25", "9.5"}));
}

TEST(ReadCompareFile, TheExtensionChoosesTheReading) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray bytes = "h\r\n\r\n\r\n1\t700\r\n";
    // Capital .TXT is read line by line: no line is one number.
    EXPECT_EQ(int(ReadCompareFile(WriteTextFile(dir.filePath("a.TXT"), bytes)).Problem),
              int(TCompareProblem::NoValue));
    EXPECT_EQ(ReadCompareFile(WriteTextFile(dir.filePath("a.csv"), bytes)).Texts, Texts({"700"}));
    EXPECT_EQ(ReadCompareFile(WriteTextFile(dir.filePath("a.dat"), bytes)).Texts, Texts({"700"}));
    EXPECT_EQ(ReadCompareFile(WriteTextFile(dir.filePath("b.txt"), "1\r\n2\r\n")).Texts,
              Texts({"1", "2"}));
}

TEST(ReadCompareFile, FilesThatCannotBeReadAreReported) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(int(ReadCompareFile(QString()).Problem), int(TCompareProblem::Missing));
    EXPECT_EQ(int(ReadCompareFile(dir.filePath("gone.txt")).Problem),
              int(TCompareProblem::Missing));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.txt"));
    EXPECT_EQ(int(ReadCompareFile(dir.filePath("folder.txt")).Problem),
              int(TCompareProblem::Unreadable));
    EXPECT_EQ(CompareProblemText(TCompareProblem::NoValue, "a.txt"), "CMP: No values - a.txt");
    EXPECT_EQ(CompareProblemText(TCompareProblem::None, "a.txt"), "");
}
