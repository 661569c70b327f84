#include <gtest/gtest.h>

#include <cerrno>

#include <QDir>
#include <QFileInfo>

#include "platform/core/IniFile.h"
#include "platform/core/Paths.h"
#include "storage/ProgramFolder.h"
#include "storage/core/Settings.h"
#include "storage/core/SettingsSnapshot.h"
#include "support/DefaultSettingsFiles.h"

namespace {

QByteArray Crlf(QByteArray text) {
    return text.replace("\n", "\r\n");
}

TEST(IniPath, ReplacesTheExtensionOfTheExecutable) {
    struct Case {
        const char* Executable;
        const char* Expected;
    };
    const Case cases[] = {
        {"/a/b/tarvex", "/a/b/tarvex.ini"},     {"/a/b/tarvex-serial", "/a/b/tarvex-serial.ini"},
        {"/a/b/tarvex.exe", "/a/b/tarvex.ini"}, {"/a/b.c/tarvex", "/a/b.c/tarvex.ini"},
        {"/a/tarvex.x.y", "/a/tarvex.x.ini"},   {"C:\\Prog\\Chrono.exe", "C:\\Prog\\Chrono.ini"},
    };
    for (const Case& c : cases) {
        SetExecutablePathForTesting(c.Executable);
        EXPECT_EQ(IniPath(), c.Expected);
    }
    SetExecutablePathForTesting({});
}

TEST(CreateDefaultIni, WritesTheFullDefaultFileOnceAndNothingMore) {
    struct Case {
        TIniVariant Variant;
        QByteArray Expected;
    };
    const Case cases[] = {{TIniVariant::Tarvex, DefaultTarvexSettingsFile},
                          {TIniVariant::TarvexSerial, DefaultSerialSettingsFile()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Variant == TIniVariant::Tarvex ? "Tarvex" : "Tarvex Serial");
        const TProgramFolder program;
        CreateDefaultIni(c.Variant);
        ASSERT_EQ(program.ReadIni(), c.Expected);

        // The start-up steps that follow find every key and write nothing.
        CreateDefaultIni(c.Variant);
        RepairOutputSections();
        EXPECT_EQ(program.ReadIni(), c.Expected);
        EXPECT_TRUE(program.ProgFolders().isEmpty()) << "AUT 0 creates no folder";
        EXPECT_FALSE(QFileInfo::exists(program.Docs()));
    }
}

TEST(CreateDefaultIni, LeavesAnExistingFileAlone) {
    const TProgramFolder program;
    program.WriteIni("; mine\n[Settings]\nStyle=3\n");
    CreateDefaultIni(TIniVariant::Tarvex);
    EXPECT_EQ(program.ReadIni(), "; mine\n[Settings]\nStyle=3\n");
}

TEST(CreateDefaultIni, RefusedWriteRaises) {
    const TProgramFolder program;
    SetExecutablePathForTesting(program.Root() + "missing/tarvex");
    try {
        CreateDefaultIni(TIniVariant::Tarvex);
        ADD_FAILURE() << "no exception";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + program.Root() +
                                   "missing/tarvex.ini (No such file or directory)");
    }
}

TEST(RepairOutputSections, CompletesAndMigratesOlderFiles) {
    const QByteArray txtOk = "[TXTCSV]\nFolder=./MYSHOTS\nFileName=Chrono_$\nINDEX=001\n";
    const QByteArray imgOk = "[IMG]\nFolder=./IMG\nFileName=Stat%_$\nINDEX=001\n";
    const QByteArray autoOk =
        "[AUTOSAVE]\nAUT=0\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n";
    const QByteArray autoNoAut = "[AUTOSAVE]\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n";
    struct Case {
        const char* Name;
        QByteArray Before;
        QByteArray After;
        QStringList ProgFolders;  // folders beside the executable afterwards
        bool DocumentsCreated = false;
    };
    const Case cases[] = {
        {"TXTCSV with the user's FileName and INDEX but no Folder",
         "[Settings]\nStyle=2\n[TXTCSV]\nFileName=Mine_$\nINDEX=042\nextra=keep\n" + imgOk + autoOk,
         "[Settings]\nStyle=2\n[TXTCSV]\nFileName=Chrono_$\nINDEX=001\nextra=keep\n"
         "Folder=./MYSHOTS\n" +
             imgOk + autoOk,
         {}},
        {"an empty Folder is left for the naming to fill",
         "[TXTCSV]\nFolder=\nFileName=X_$\nINDEX=\n" + imgOk + autoOk,
         "[TXTCSV]\nFolder=\nFileName=X_$\nINDEX=\n" + imgOk + autoOk,
         {}},
        {"IMG Folder __MISSING__ counts as absent",
         txtOk + "[IMG]\nFolder=__MISSING__\nFileName=Mine%\n; keep me\n" + autoOk,
         txtOk + "[IMG]\nFolder=./IMG\nFileName=Stat%_$\nINDEX=001\n; keep me\n" + autoOk,
         {}},
        {"a blank FileName gets its default and INDEX when absent",
         "[TXTCSV]\nFolder=x\nFileName=   \n" + imgOk + autoOk,
         "[TXTCSV]\nFolder=x\nFileName=Chrono_$\nINDEX=001\n" + imgOk + autoOk,
         {}},
        {"a blank FileName leaves an empty INDEX empty",
         "[TXTCSV]\nFolder=x\nFileName=\nINDEX=\n" + imgOk + autoOk,
         "[TXTCSV]\nFolder=x\nFileName=Chrono_$\nINDEX=\n" + imgOk + autoOk,
         {}},
        {"AUT comes from AUTOSHOT before Settings; both stay",
         "[Settings]\nAUT=7\n" + txtOk + imgOk + "[AUTOSHOT]\nAUT=5\n" + autoNoAut,
         "[Settings]\nAUT=7\n" + txtOk + imgOk + "[AUTOSHOT]\nAUT=5\n" + autoNoAut + "AUT=5\n",
         {"AUTOSAVE"}},
        {"an AUT of TXTCSV that is no number gives 0",
         "[Settings]\nAUT=7\n[TXTCSV]\nFolder=./MYSHOTS\nFileName=Chrono_$\nINDEX=001\nAUT=abc\n" +
             imgOk + autoNoAut,
         "[Settings]\nAUT=7\n[TXTCSV]\nFolder=./MYSHOTS\nFileName=Chrono_$\nINDEX=001\nAUT=abc\n" +
             imgOk + autoNoAut + "AUT=0\n",
         {}},
        {"AUT from Settings when only there, whole AUTOSAVE section added",
         "[Settings]\nAUT=7\n" + txtOk + imgOk,
         "[Settings]\nAUT=7\n" + txtOk + imgOk +
             "[AUTOSAVE]\nAUT=7\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n",
         {"AUTOSAVE"}},
        {"AUT 3 without Folder: the default folder is written and created",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=3\nFileName=Chrono_$\n",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=3\nFileName=Chrono_$\nFolder=./AUTOSAVE\n",
         {"AUTOSAVE"}},
        {"AUT above 100000 is kept and its nested folder created",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=200000\nFolder=out/auto\nFileName=A\n",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=200000\nFolder=out/auto\nFileName=A\n",
         {"out"}},
        {"an empty automatic-save Folder means the Documents folder",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=2\nFolder=\nFileName=A\n",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=2\nFolder=\nFileName=A\n",
         {},
         true},
        {"a negative AUT creates no folder",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=-4\nFolder=./AUTOSAVE\nFileName=Chrono_$\n",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=-4\nFolder=./AUTOSAVE\nFileName=Chrono_$\n",
         {}},
        {"a blank automatic-save FileName gets its default and INDEX",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=0\nFolder=./AUTOSAVE\nFileName= \n",
         txtOk + imgOk + "[AUTOSAVE]\nAUT=0\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n",
         {}},
        {"no output sections at all, CRLF kept",
         "; my file\r\n[Settings]\r\nStyle=0\r\n",
         "; my file\r\n[Settings]\r\nStyle=0\r\n" + Crlf(txtOk + imgOk + autoOk),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TProgramFolder program;
        program.WriteIni(c.Before);
        RepairOutputSections();
        EXPECT_EQ(program.ReadIni(), c.After);
        EXPECT_EQ(program.ProgFolders(), c.ProgFolders);
        EXPECT_EQ(QFileInfo(program.Docs()).isDir(), c.DocumentsCreated);
    }
}

TEST(RepairOutputSections, CreatesNestedAutoSaveFolder) {
    const TProgramFolder program;
    program.WriteIni("[AUTOSAVE]\nAUT=1\nFolder=./a/b/c\nFileName=A\n");
    RepairOutputSections();
    EXPECT_TRUE(QFileInfo(program.Prog() + "a/b/c").isDir());
}

TEST(RepairOutputSections, FolderThatCannotBeCreatedIsNotReported) {
    const TProgramFolder program;
    program.WriteIni("[AUTOSAVE]\nAUT=1\nFolder=./tarvex.ini/sub\nFileName=A\n");
    EXPECT_NO_THROW(RepairOutputSections());
}

struct TReaderCase {
    const char* Ini;  // nullptr: no settings file
    int Expected;
};

void CheckReader(const char* name, const std::vector<TReaderCase>& cases, int (*read)()) {
    for (const TReaderCase& c : cases) {
        SCOPED_TRACE(std::string(name) + ": " + (c.Ini ? c.Ini : "no file"));
        const TProgramFolder program;
        if (c.Ini) program.WriteIni(c.Ini);
        EXPECT_EQ(read(), c.Expected);
        EXPECT_EQ(QFileInfo::exists(program.Ini()), c.Ini != nullptr) << "readers create no file";
    }
}

TEST(SettingsReaders, ApplyDefaultsAndClamps) {
    CheckReader("TXT",
                {{nullptr, 0},
                 {"[Settings]\nTXT=2\n", 1},
                 {"[settings]\ntxt=1\n", 1},
                 {"[Settings]\nTXT=0\n", 0},
                 {"[Settings]\nTXT=x\n", 0}},
                [] { return int(ReadTxtFormat()); });
    CheckReader("Style",
                {{nullptr, 1},
                 {"[Settings]\n", 1},
                 {"[Settings]\nStyle=3\n", 3},
                 {"[Settings]\nStyle=4\n", 4},
                 {"[Settings]\nStyle=5\n", 0},
                 {"[Settings]\nStyle=-1\n", 0},
                 {"[Settings]\nStyle=abc\n", 1},
                 {"[Settings]\nStyle=$2\n", 2}},
                ReadStyleIndex);
    CheckReader("CNV",
                {{nullptr, 0},
                 {"[Settings]\n", 0},
                 {"[Settings]\nCNV=1\n", 1},
                 {"[Settings]\nCNV=-3\n", 1},
                 {"[Settings]\nCNV=0\n", 0}},
                [] { return int(ReadCnvMode()); });
    CheckReader("AUT",
                {{nullptr, 0},
                 {"[AUTOSAVE]\nAUT=3\n[AUTOSHOT]\nAUT=5\n", 3},
                 {"[AUTOSAVE]\nAUT=\n[AUTOSHOT]\nAUT=5\n", 0},
                 {"[AUTOSHOT]\nAUT=5\n[TXTCSV]\nAUT=6\n", 5},
                 {"[TXTCSV]\nAUT=6\n[Settings]\nAUT=7\n", 6},
                 {"[Settings]\nAUT=7\n", 7},
                 {"[AUTOSAVE]\nAUT=100000\n", 100000},
                 {"[AUTOSAVE]\nAUT=200000\n", 100000},
                 {"[AUTOSAVE]\nAUT=-5\n", 0}},
                ReadAutoSaveCount);
}

TEST(SettingsReaders, ChartSettingsAreClamped) {
    struct Case {
        const char* Ini;
        TChartSettings Expected;  // type, color, line width, marker size, bar width
    };
    const Case cases[] = {
        {"[Settings]\n", {0, 1, 1, 5, 35}},
        {"[Settings]\nChartType=-1\nChartColor=7\nChartLineWidth=0\nChartMarkerSize=0\n"
         "ChartBarWidth=0\n",
         {0, 1, 1, 5, 35}},
        {"[Settings]\nChartType=3\nChartColor=-1\nChartLineWidth=9\nChartMarkerSize=20\n"
         "ChartBarWidth=200\n",
         {0, 1, 6, 12, 95}},
        {"[Settings]\nChartType=2\nChartColor=2\nChartLineWidth=6\nChartMarkerSize=12\n"
         "ChartBarWidth=95\n",
         {2, 2, 6, 12, 95}},
        {"[Settings]\nChartType=1\nChartColor=0\nChartLineWidth=3\nChartMarkerSize=1\n"
         "ChartBarWidth=1\n",
         {1, 0, 3, 1, 1}},
        {"[Settings]\nChartType=x\nChartColor=\nChartBarWidth=abc\n", {0, 1, 1, 5, 35}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Ini);
        const TProgramFolder program;
        program.WriteIni(c.Ini);
        const TChartSettings chart = ReadChartSettings();
        EXPECT_EQ(chart.ChartType, c.Expected.ChartType);
        EXPECT_EQ(chart.ChartColor, c.Expected.ChartColor);
        EXPECT_EQ(chart.ChartLineWidth, c.Expected.ChartLineWidth);
        EXPECT_EQ(chart.ChartMarkerSize, c.Expected.ChartMarkerSize);
        EXPECT_EQ(chart.ChartBarWidth, c.Expected.ChartBarWidth);
    }
}

TEST(SettingsReaders, UnitsFromMu) {
    struct Case {
        int Mu;
        bool Metric;
        bool Mix;
    };
    const Case cases[] = {{10, true, false}, {11, true, true},   {1, false, true},
                          {0, false, false}, {110, true, false}, {-11, false, false},
                          {21, false, true}};
    for (const Case& c : cases) {
        const TUnitsSetting units = DecodeUnits(c.Mu);
        EXPECT_EQ(units.Metric, c.Metric) << c.Mu;
        EXPECT_EQ(units.Mix, c.Mix) << c.Mu;
    }
    for (const bool metric : {false, true}) {
        for (const bool mix : {false, true}) {
            const TUnitsSetting units = DecodeUnits(EncodeUnits(metric, mix));
            EXPECT_EQ(units.Metric, metric);
            EXPECT_EQ(units.Mix, mix);
        }
    }
}

}  // namespace

namespace {

TEST(SettingsSnapshot, FollowsTheFileExceptWhileAShotHoldsIt) {
    const TProgramFolder program;
    TSettingsSnapshot snapshot(IniPath());
    EXPECT_FALSE(snapshot.Current().CnvMode);
    EXPECT_EQ(snapshot.Current().AutoSaveCount, 0);
    EXPECT_FALSE(QFileInfo::exists(program.Ini())) << "reading creates no file";

    program.WriteIni("[Settings]\nCNV=1\n[AUTOSHOT]\nAUT=7\n");
    EXPECT_TRUE(snapshot.Current().CnvMode);
    EXPECT_EQ(snapshot.Current().AutoSaveCount, 7);
    {
        // One look at the file for the shot; its reads answer from memory.
        const TSettingsSnapshot::THold held = snapshot.HoldForShot();
        program.WriteIni("[Settings]\nCNV=0\n[AUTOSAVE]\nAUT=250000\n");
        EXPECT_TRUE(snapshot.Current().CnvMode);
        EXPECT_EQ(snapshot.Current().AutoSaveCount, 7);
    }
    EXPECT_FALSE(snapshot.Current().CnvMode);
    EXPECT_EQ(snapshot.Current().AutoSaveCount, 100000);
    {
        // The hold checks at its start.
        program.WriteIni("[Settings]\nCNV=2\n");
        const TSettingsSnapshot::THold held = snapshot.HoldForShot();
        EXPECT_TRUE(snapshot.Current().CnvMode);
        EXPECT_EQ(snapshot.Current().AutoSaveCount, 0);
    }
}

TEST(SettingsRefusals, KeepTheFirstRefusalAndTryEveryWrite) {
    const TProgramFolder program;
    program.WriteIni("[Settings]\nMU=10\n");
    // Without the scope a refused write raises.
    SetExecutablePathForTesting(program.Root() + "missing/tarvex");
    TIniFile missing(IniPath());
    EXPECT_THROW(WriteSettingInteger(missing, Setting::Mu, 11), EIniFileException);
    {
        TSettingsRefusals refusals;
        WriteSettingInteger(missing, Setting::Mu, 11);
        WriteSettingString(missing, Setting::ComPort, "ttyS0");
        CreateDefaultIni(TIniVariant::TarvexSerial);
        ASSERT_TRUE(refusals.First().has_value());
        EXPECT_EQ(refusals.First()->Message, "Unable to write to " + program.Root() +
                                                 "missing/tarvex.ini (No such file or directory)");
        EXPECT_EQ(refusals.First()->Error, ENOENT);
        // A write that can be made still is.
        TIniFile ini(program.Ini());
        WriteSettingInteger(ini, Setting::Mu, 1);
        EXPECT_EQ(ini.ReadInteger("Settings", "MU", -1), 1);
    }
    EXPECT_THROW(WriteSettingInteger(missing, Setting::Mu, 11), EIniFileException);
}

TEST(RemoveLeftoverTemporaryFiles, CleansTheSettingsAndOutputFoldersOnly) {
    const TProgramFolder program;
    program.WriteIni("[TXTCSV]\nFolder=./shots\n[IMG]\nFolder=\n[AUTOSAVE]\nFolder=" +
                     program.Root().toUtf8() + "AS\n");
    const QStringList folders{program.Prog(), program.Prog() + "shots/", program.Prog() + "IMG/",
                              program.Root() + "AS/", program.Root() + "Other/"};
    for (const QString& folder : folders) {
        ASSERT_TRUE(QDir().mkpath(folder));
        WriteTextFile(folder + ".Chrono_473.txt.ghMnh6H1k2wQ.part", "x");
    }
    RemoveLeftoverTemporaryFiles();
    for (const QString& folder : folders) {
        SCOPED_TRACE(folder.toStdString());
        EXPECT_EQ(QFileInfo::exists(folder + ".Chrono_473.txt.ghMnh6H1k2wQ.part"),
                  folder.endsWith("Other/"));
    }
    EXPECT_TRUE(QFileInfo::exists(program.Ini()));
}

}  // namespace
