#pragma once

// The same scenarios for both programs. One test file of each test program
// includes this header (tests/form for Tarvex, tests/form_serial for Tarvex
// Serial), so each build starts and closes its real form on the same
// settings files and is held to its own expected bytes and texts, side by
// side below. Where the two columns agree, the builds must behave alike.
#include <gtest/gtest.h>

#include <string>

#include <QFile>

#include "platform/core/FormatFloat.h"
#include "storage/ProgramSettings.h"
#include "support/DefaultSettingsFiles.h"
#include "support/FormFixture.h"
#include "variants/BuildVariant.h"

namespace build_comparison {

// Tarvex's expectation or Tarvex Serial's, for the build under test.
template <class T>
T ForBuild(T tarvex, T serial) {
    return TARVEX_BLE ? tarvex : serial;
}

// A fresh file: 35 writes in six sections for Tarvex, 33 in five for Tarvex
// Serial, where MU follows ChartBarWidth and FILTER follows A.
inline const std::string TarvexDefaultFile = DefaultTarvexSettingsFile.toStdString();
inline const std::string SerialDefaultFile = DefaultSerialSettingsFile().toStdString();

}  // namespace build_comparison

class BuildComparison : public FormFixture {
protected:
    // Closes with an empty port list, so that what the close writes as
    // ComPort does not depend on the ports of the machine.
    void Close() {
        Form().ComboBox1->Items()->Clear();
        CloseForm();
    }

    // As a standard string, so that a failure shows the lines that differ.
    std::string Settings() const { return ReadFileBytes(IniFilePath()).toStdString(); }
};

TEST_F(BuildComparison, FirstStartWritesTheDefaultFileOfTheBuild) {
    using namespace build_comparison;
    const std::string defaults = ForBuild(TarvexDefaultFile, SerialDefaultFile);
    CreateDefaultIni();
    EXPECT_EQ(Settings(), defaults);
    // An existing file gets nothing, whatever it lacks.
    WriteTextFile(IniFilePath(), "[Settings]\nMU=1\n");
    CreateDefaultIni();
    EXPECT_EQ(Settings(), "[Settings]\nMU=1\n");

    ASSERT_TRUE(QFile::remove(IniFilePath()));
    StartFormOffline();
    // The start-up finds every key and writes nothing until close.
    EXPECT_EQ(Settings(), defaults);
    Close();
}

TEST_F(BuildComparison, StartRepairsAnOlderTarvexFileAndSerialDropsTheLinkKeys) {
    using namespace build_comparison;
    // A file written by an older Tarvex, before CNV, OpenCom, FILTER and the
    // IMG and AUTOSAVE sections existed; copied under the other program's
    // name it holds the link keys as well.
    WriteTextFile(IniFilePath(),
                  "[Settings]\n"
                  "Style=4\n"
                  "Multiplier=9.5\n"
                  "CheckBoxBTAuto=1\n"
                  "MU=11\n"
                  "[BLE]\n"
                  "Last=KVRN 00:11:22:33:44:55\n"
                  "[TXTCSV]\n"
                  "Folder=./RUNS\n"
                  "FileName=Run_$\n"
                  "INDEX=007\n"
                  "AUT=4\n");
    StartFormOffline();
    const std::string repairedTail =
        "[TXTCSV]\n"
        "Folder=./RUNS\n"
        "FileName=Run_$\n"
        "INDEX=007\n"
        "AUT=4\n"
        "[FILTER]\n"
        "Filter=0\n"
        "Shots=S(~)\n"
        "Velocity=V(~)\n"
        "[IMG]\n"
        "Folder=./IMG\n"
        "FileName=Stat%_$\n"
        "INDEX=001\n"
        "[AUTOSAVE]\n"
        "AUT=4\n"
        "Folder=./AUTOSAVE\n"
        "FileName=Chrono_$\n"
        "INDEX=001\n";
    EXPECT_EQ(Settings(), ForBuild<std::string>("[Settings]\n"
                                                "Style=4\n"
                                                "Multiplier=9.5\n"
                                                "CheckBoxBTAuto=1\n"
                                                "MU=11\n"
                                                "CNV=0\n"
                                                "OpenCom=\n"
                                                "Label2DisplayFormat=0##\n"
                                                "[BLE]\n"
                                                "Last=KVRN 00:11:22:33:44:55\n" +
                                                    repairedTail,
                                                "[Settings]\n"
                                                "Style=4\n"
                                                "Multiplier=9.5\n"
                                                "MU=11\n"
                                                "CNV=0\n"
                                                "OpenCom=\n"
                                                "Label2DisplayFormat=0##\n" +
                                                    repairedTail));
    // Every other key is read as usual by both: 9.5 grains (Mix) in grams.
    EXPECT_EQ(Form().Edit1->Text(), "9.5");
    EXPECT_TRUE(Form().CheckBox1->Checked());
    EXPECT_TRUE(Form().CheckBox2->Checked());
#if TARVEX_BLE
    EXPECT_TRUE(Form().CheckBox3->Checked());
#endif

    Form().CheckBoxAuto50->SetChecked(true);
    Close();
    // The close keys go in place; Tarvex Serial never writes CheckBoxBTAuto
    // and leaves the file without a BLE section.
    const std::string closed = Settings();
    EXPECT_TRUE(
        closed.starts_with(ForBuild<std::string>("[Settings]\n"
                                                 "Style=4\n"
                                                 "Multiplier=9.5\n"
                                                 "CheckBoxBTAuto=1\n"
                                                 "MU=11\n"
                                                 "CNV=0\n"
                                                 "OpenCom=\n"
                                                 "Label2DisplayFormat=0##\n"
                                                 "MultiplierG=0.615589645\n"
                                                 "ComPort=\n"
                                                 "CheckBoxScroll=1\n"
                                                 "CheckBoxAuto=0\n"
                                                 "CheckBoxAuto50=1\n"
                                                 "[BLE]\n",
                                                 "[Settings]\n"
                                                 "Style=4\n"
                                                 "Multiplier=9.5\n"
                                                 "MU=11\n"
                                                 "CNV=0\n"
                                                 "OpenCom=\n"
                                                 "Label2DisplayFormat=0##\n"
                                                 "MultiplierG=0.615589645\n"
                                                 "ComPort=\n"
                                                 "CheckBoxScroll=1\n"
                                                 "CheckBoxAuto=0\n"
                                                 "CheckBoxAuto50=1\n"
                                                 "[TXTCSV]\n")))
        << closed;
    EXPECT_EQ(closed.find("[BLE]") != std::string::npos, bool(TARVEX_BLE));
    EXPECT_EQ(closed.find("CheckBoxBTAuto") != std::string::npos, bool(TARVEX_BLE));
}

TEST_F(BuildComparison, CloseWritesItsKeysInPlaceAndNothingElse) {
    using namespace build_comparison;
    StartFormOffline();
    const QByteArray started = ReadFileBytes(IniFilePath());
    Form().CheckBox2->SetChecked(true);
    Form().CheckBoxAuto->SetChecked(true);
    Form().CheckBoxScroll->SetChecked(false);
    Close();
    QByteArray expected = started;
    expected.replace("MultiplierG=1.0\n", "MultiplierG=1\n")
        .replace("CheckBoxScroll=1\n", "CheckBoxScroll=0\n")
        .replace("CheckBoxAuto=0\n", "CheckBoxAuto=1\n")
        .replace("MU=10\n", "MU=11\n");
    EXPECT_EQ(Settings(), expected.toStdString());
}

TEST_F(BuildComparison, SettingsFileRemovedWhileRunningGetsOnlyTheCloseKeys) {
    using namespace build_comparison;
    StartFormOffline();
    ASSERT_TRUE(QFile::remove(IniFilePath()));
    Close();
    // The close handler writes no defaults; Tarvex adds its auto-connect box.
    EXPECT_EQ(Settings(), ForBuild<std::string>("[Settings]\n"
                                                "Style=1\n"
                                                "Multiplier=1\n"
                                                "MultiplierG=1\n"
                                                "ComPort=\n"
                                                "CheckBoxScroll=1\n"
                                                "CheckBoxAuto=0\n"
                                                "CheckBoxAuto50=0\n"
                                                "CheckBoxBTAuto=0\n"
                                                "MU=10\n",
                                                "[Settings]\n"
                                                "Style=1\n"
                                                "Multiplier=1\n"
                                                "MultiplierG=1\n"
                                                "ComPort=\n"
                                                "CheckBoxScroll=1\n"
                                                "CheckBoxAuto=0\n"
                                                "CheckBoxAuto50=0\n"
                                                "MU=10\n"));
}

TEST_F(BuildComparison, ClearShowsTheZeroTextsOfTheBuildInEveryDisplayMode) {
    using namespace build_comparison;
    struct Case {
        const char* name;
        int toggles;  // 0 energy, 1 Ctrl+P, 2 Ctrl+O
        QChar separator;
        const char* tarvexLast;
        const char* tarvexAverage;
        const char* serialLast;
        const char* serialAverage;
        const char* unit;
        const char* averageCaption;
    };
    const Case cases[] = {
        {"energy", 0, '.', "0.00", "00.0", "0.00", "00.0", "J", "EAVG"},
        {"power factor", 1, '.', "0", "0", "0.00", "00.0", "PF", "PAVG"},
        {"IPSC", 2, '.', "0.0", "0.0", "0.00", "00.0", "PF", "PAVG"},
        {"energy, comma", 0, ',', "0,00", "00,0", "0,00", "00,0", "J", "EAVG"},
        {"power factor, comma", 1, ',', "0", "0", "0,00", "00,0", "PF", "PAVG"},
        {"IPSC, comma", 2, ',', "0,0", "0,0", "0,00", "00,0", "PF", "PAVG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetDecimalSeparatorForTesting(c.separator);
        StartFormOffline();
        Form().Edit1->SetText(QStringLiteral("8"));
        if (c.toggles == 1) Form().TogglePowerFactor();
        if (c.toggles == 2) Form().TogglePowerFactorIpsc();
        Feed({"812.5", "815.0"}, false);

        Form().ButtonClear->Click();
        EXPECT_EQ(Form().Label15->Caption(), ForBuild(c.tarvexLast, c.serialLast));
        EXPECT_EQ(Form().Label19->Caption(), ForBuild(c.tarvexAverage, c.serialAverage));
        EXPECT_EQ(Form().Label17->Caption().trimmed(), c.unit);
        EXPECT_EQ(Form().Label21->Caption(), c.averageCaption);

        // The next shot brings the mode's own texts back in both builds.
        Form().ProcessIncomingLine(QStringLiteral("400"));
        const QString shown = Form().Label15->Caption();
        EXPECT_EQ(Form().Label19->Caption(), shown);
        // 8 g at 400 m/s: 640 J; 1312.34 ft/s x 123.46 gr / 1000 = 162.02.
        const char* expected[] = {"640.00", "162", "162.0"};
        EXPECT_EQ(shown, QString::fromLatin1(expected[c.toggles]).replace('.', c.separator));
        Close();
    }
}

TEST_F(BuildComparison, PowerFactorToggleAfterClearShowsTheZeroTextsOfTheNewMode) {
    StartFormOffline();
    Form().ProcessIncomingLine(QStringLiteral("812.5"));
    Form().ButtonClear->Click();
    Form().TogglePowerFactor();
    EXPECT_EQ(Form().Label15->Caption(), "0");
    EXPECT_EQ(Form().Label19->Caption(), "0");
    Form().TogglePowerFactorIpsc();
    EXPECT_EQ(Form().Label15->Caption(), "0.0");
    EXPECT_EQ(Form().Label19->Caption(), "0.0");
    Close();
}

TEST_F(BuildComparison, RecomputedStatisticsFollowTheModeInBothBuilds) {
    // The recomputation resets the labels first but ends with the texts of
    // the display mode, so nothing of the reset step stays visible.
    struct Case {
        int toggles;  // 0 energy, 1 Ctrl+P, 2 Ctrl+O
        const char* last;
        const char* average;
    };
    const Case cases[] = {{0, "0.00", "00.0"}, {1, "0", "0"}, {2, "0.0", "0.0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.toggles);
        StartFormOffline();
        if (c.toggles == 1) Form().TogglePowerFactor();
        if (c.toggles == 2) Form().TogglePowerFactorIpsc();
        Form().RecomputeStatistics();
        EXPECT_EQ(Form().Label15->Caption(), c.last);
        EXPECT_EQ(Form().Label19->Caption(), c.average);
        Close();
    }
}

TEST_F(BuildComparison, DvShowsTheStatusTextOfTheBuild) {
    using build_comparison::ForBuild;
    StartFormOffline();
    Form().Memo1->Lines()->Assign(QStringList({"10", "12", "9"}));
    Form().RefreshCommand();
    Form().SpeedButton7->Click();
    ASSERT_TRUE(WaitFor([this] { return !TForm1Probe::FCommandBusy(Form()); }));
    EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), QStringList({"2", "3"}));
    EXPECT_EQ(Form().Label20->Caption(), ForBuild<QString>("dV: 2 points |dV|", "dV: 2 points "));
    Close();
}
