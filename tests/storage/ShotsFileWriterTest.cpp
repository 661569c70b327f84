// The shot files that automatic saving writes: bytes of the TXT and CSV
// forms, and the replacing write.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/core/Exception.h"
#include "platform/core/FormatFloat.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

class DecimalComma {
public:
    DecimalComma() { SetDecimalSeparatorForTesting(QLatin1Char(',')); }
    ~DecimalComma() { SetDecimalSeparatorForTesting(QChar()); }
};

QStringList Lines(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    lines.removeLast();  // after the last CR LF
    return lines;
}

}  // namespace

TEST(ShotsFileBytes, TxtKeepsTheLinesAsTheyAre) {
    TShotsFileSettings settings;
    settings.Txt = true;
    EXPECT_EQ(ShotsFileBytes({QStringLiteral("812.5"), QStringLiteral(" LOG ä")}, settings),
              QByteArray("\xEF\xBB\xBF" "812.5\r\n LOG \xC3\xA4\r\n"));
    EXPECT_TRUE(ShotsFileBytes({}, settings).isEmpty());
}

TEST(ShotsFileBytes, CsvRowsFollowTheDisplayMode) {
    const DecimalComma comma;
    struct Case {
        const char* Name;
        bool PowerFactor;
        bool Ipsc;
        QString Weight;
        QString Header3;
        QString Header9;
        QString Cell3;  // of the first row
        QString Cell9;
    };
    // Imperial without Mix: ft/s and grains; 1000 ft/s x 100 gr is PF 100
    // and 100 x 1000 x 1000 / 450436.68 = 222.0077 ft-lb.
    const Case cases[] = {
        {"Energy", false, false, "100", "E", "EAVG", "222,01", "245,38"},
        {"PowerFactor", true, false, "100", "PF", "PAVG", "100", "105"},
        {"Ipsc", true, true, "100", "PF", "PAVG", "100,0", "105,0"},
        {"WeightNotANumber", false, false, "abc", "E", "EAVG", "0,00", "0,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TShotsFileSettings settings;
        settings.PowerFactorMode = c.PowerFactor;
        settings.PowerFactorIpsc = c.Ipsc;
        settings.WeightText = c.Weight;
        settings.WeightUnit = QStringLiteral("gr");
        settings.Units = TUnitState{false, false};
        const QStringList lines = Lines(ShotsFileBytes(
            {QStringLiteral("1000"), QStringLiteral("LOG"), QStringLiteral("1100.25"),
             QString()},
            settings));
        ASSERT_EQ(lines.size(), 5);
        EXPECT_EQ(lines[0], QStringList({"Nr", "V", c.Header3, "VAVG", "VMAX", "VMIN", "dV", "SV",
                                         c.Header9, "Weight [ gr ]", "Shots", "Units"})
                                .join('\t'));
        EXPECT_EQ(lines[1], QString());
        EXPECT_EQ(lines[2], QString());
        EXPECT_EQ(lines[3], QStringList({"1", "1000", c.Cell3, "1050,1", "1100,3", "1000,0",
                                         "100,3", "70,9", c.Cell9, c.Weight, "2", "imperial"})
                                .join('\t'));
        EXPECT_EQ(lines[4].split('\t').mid(0, 2), QStringList({"2", "1100,25"}));
        EXPECT_EQ(lines[4].split('\t').size(), 3);
    }
}

TEST(WriteFileReplacing, ReplacesTheFileOrLeavesItAlone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shots.txt"));
    WriteFileReplacing(path, "first");
    WriteFileReplacing(path, "second");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("second"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));

    try {
        WriteFileReplacing(dir.filePath(QStringLiteral("missing/shots.txt")), "x");
        ADD_FAILURE() << "no error";
    } catch (const ESysError& e) {
        EXPECT_EQ(e.Call(), QStringLiteral("open"));
        EXPECT_EQ(e.Error(), ENOENT);
        // The shooter reads why and where.
        EXPECT_EQ(e.Message(), "open error: 2 (No such file or directory: " +
                                   dir.filePath(QStringLiteral("missing/shots.txt")) + ")");
    }

    // The target is a folder: the rename fails and the partial file goes.
    const QString folder = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inner")));
    EXPECT_THROW(WriteFileReplacing(folder, "x"), ESysError);
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral(".part")));
    EXPECT_TRUE(QFileInfo(folder).isDir());
}
