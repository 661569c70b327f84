// The shot files that SAVE and automatic saving write: bytes of the TXT and
// CSV forms, and the replacing write.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/core/Exception.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/Files.h"
#include "series/core/NumberText.h"
#include "storage/core/ShotsFileReader.h"
#include "storage/core/ShotsFileWriter.h"
#include "support/CoreSupport.h"
#include "support/FileSizeLimit.h"

namespace {

QStringList Lines(const QByteArray& bytes) {
    QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    lines.removeLast();  // after the last CR LF
    return lines;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace

TEST(ShotsFileBytes, TxtKeepsTheLinesAsTheyAre) {
    TShotsFileSettings settings;
    settings.Txt = true;
    EXPECT_EQ(ShotsFileBytes({QStringLiteral("812.5"), QStringLiteral(" LOG ä")}, settings),
              QByteArray("\xEF\xBB\xBF"
                         "812.5\r\n LOG \xC3\xA4\r\n"));
    EXPECT_TRUE(ShotsFileBytes({}, settings).isEmpty());
}

TEST(ShotsFileBytes, CsvRowsFollowTheDisplayMode) {
    const TDecimalSeparatorScope comma(QLatin1Char(','));
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
            {QStringLiteral("1000"), QStringLiteral("LOG"), QStringLiteral("1100.25"), QString()},
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

TEST(SavedCsvBytes, RowsOfTheValueLinesWithTheShownStatistics) {
    const TDecimalSeparatorScope comma(QLatin1Char(','));
    TShotsFileSettings settings;
    settings.WeightText = QStringLiteral("10");
    settings.WeightUnit = QStringLiteral("g ");
    settings.Units = TUnitState{true, false};
    const TStatsTexts shown{"a", "b", "c", "d", "e", "f"};
    const QStringList list{"800", "LOG: 31 FF 0A", "V=900 m/s", " 810,5 ", "", "abc"};

    // 800 m/s x 10 g: 3200 J; 810.5 m/s: 3284.55 J.
    const QByteArray expected =
        QByteArray("\xEF\xBB\xBF") +
        "Nr\tV\tE\tVAVG\tVMAX\tVMIN\tdV\tSV\tEAVG\tWeight [ g  ]\tShots\tUnits\r\n"
        "\r\n\r\n"
        "1\t800\t3200,00\ta\tb\tc\td\te\tf\t10\t2\tmetric\r\n"
        "2\t810,5\t3284,55\t\t\t\t\t\t\t\t\t\r\n";
    EXPECT_EQ(SavedCsvBytes(list, settings, shown, TCnvEnergies{}), expected);

    // Without shown texts (the labels are behind the list) row 1 takes the
    // statistics of the rows, as the labels would show them.
    EXPECT_EQ(Lines(SavedCsvBytes(list, settings, std::nullopt, TCnvEnergies{}))[3],
              "1\t800\t3200,00\t805,3\t810,5\t800,0\t10,5\t7,4\t3242,28\t10\t2\tmetric");

    // An empty list: the header and two empty lines.
    EXPECT_EQ(SavedCsvBytes({}, settings, shown, TCnvEnergies{}),
              QByteArray("\xEF\xBB\xBF") +
                  "Nr\tV\tE\tVAVG\tVMAX\tVMIN\tdV\tSV\tEAVG\tWeight [ g  ]\tShots\tUnits\r\n"
                  "\r\n\r\n");
}

TEST(SavedCsvBytes, CnvEnergiesComeFromTheCacheWhileItHoldsTheRow) {
    TShotsFileSettings settings;
    settings.WeightText = QStringLiteral("10");  // not used while the cache serves
    settings.Units = TUnitState{false, false};
    const std::vector<double> cache{300.0};  // m/s
    // Row 1 from the cache: 300 x 300 x 5 g / 2000 J = 225 J = 165.95 ft-lb.
    // Row 2 beyond the cache: 1000 ft/s x 10 gr / 450436.68 = 22.20 ft-lb.
    const QByteArray bytes =
        SavedCsvBytes({"984.25", "1000"}, settings, TStatsTexts{}, TCnvEnergies{&cache, 5.0});
    const QStringList lines = Lines(bytes);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[3].split('\t').mid(0, 3), QStringList({"1", "984.25", "165.95"}));
    EXPECT_EQ(lines[4].split('\t').mid(0, 3), QStringList({"2", "1000", "22.20"}));

    // The power factor never takes the cache.
    settings.PowerFactorMode = true;
    EXPECT_EQ(
        Lines(SavedCsvBytes({"1000"}, settings, TStatsTexts{}, TCnvEnergies{&cache, 5.0}))[3].split(
            '\t')[2],
        QStringLiteral("10"));
}

TEST(SavedCsvBytes, EveryVelocityReadsBackFromTheFile) {
    // From about 1e62 on "0.###" writes more digits than a number may have:
    // such a row would be left out when the file is loaded or compared.
    // Lines beyond a shot (MaxShotMagnitude) take no row at all.
    for (const QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
        const TDecimalSeparatorScope scope(separator);
        TShotsFileSettings settings;
        settings.WeightText = QStringLiteral("10");
        const QStringList list{"1E62",
                               "-1.5E200",
                               "812.35",
                               "1.7976931348623157E308",
                               "99999999999999999999999999999999999999999999999999999999999.5",
                               "-1E62"};
        const QStringList shots{"1E62", "812.35",
                                "99999999999999999999999999999999999999999999999999999999999.5",
                                "-1E62"};
        for (const QByteArray& bytes : {SavedCsvBytes(list, settings, std::nullopt, TCnvEnergies{}),
                                        ShotsFileBytes({list.begin(), list.end()}, settings)}) {
            EXPECT_FALSE(bytes.contains("INF") || bytes.contains("NAN")) << bytes.toStdString();
            const std::vector<QString> back = ShotsFileValues(ShotsFileLines(bytes), false);
            ASSERT_EQ(back.size(), std::size_t(shots.size())) << bytes.toStdString();
            for (qsizetype i = 0; i < shots.size(); ++i) {
                double written = 0, read = 0;
                ASSERT_TRUE(ParseDotDouble(shots[i], written));
                ASSERT_TRUE(ParseDotDouble(back[std::size_t(i)], read));
                EXPECT_NEAR(read, written, 0.0005 + std::fabs(written) * 1e-15)
                    << back[std::size_t(i)].toStdString();
            }
        }
    }
}

TEST(SavedTxtBytes, IsTheListTextAfterTheMark) {
    EXPECT_EQ(SavedTxtBytes(QString()), QByteArray("\xEF\xBB\xBF"));
    EXPECT_EQ(SavedTxtBytes(QStringLiteral("812\r\nLOG: \u00e4")),
              QByteArray("\xEF\xBB\xBF"
                         "812\r\nLOG: \xC3\xA4"));
}

TEST(WriteFileReplacing, KeepsPermissionsAndLinks) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shots.csv"));
    WriteFileReplacing(path, "first");
    ASSERT_TRUE(QFile::setPermissions(
        path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    WriteFileReplacing(path, "second");
    EXPECT_EQ(ReadAll(path), QByteArray("second"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // Through a link the named file is replaced and the link stays a link.
    const QString link = dir.filePath(QStringLiteral("latest.csv"));
    ASSERT_TRUE(QFile::link(path, link));
    WriteFileReplacing(link, "third");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadAll(path), QByteArray("third"));
}

TEST(WriteFileReplacing, AWriteThatFailsHalfWayLeavesTheEarlierFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("shots.txt"));
    WriteFileReplacing(path, "earlier");

    // A file-size limit makes the kernel refuse the write after 4 KiB, as a
    // full disk would.
    int error = 0;
    try {
        const FileSizeLimit limit(4096);
        WriteFileReplacing(path, QByteArray(100000, 'x'));
    } catch (const ESysError& e) {
        error = e.Error();
    }

    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ReadAll(path), QByteArray("earlier"));
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".part")));
}
