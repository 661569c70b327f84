// The settings that live shots read (CNV, AUT) through a real form: the shots
// open no settings file while it stays as it was, and a user's edit of the
// file while the program runs counts from the next shot on.
#include <gtest/gtest.h>

#include <chrono>

#include <QDir>
#include <QFile>

#include "platform/core/IniFile.h"
#include "series/core/Energy.h"
#include "support/FormFixture.h"
#include "support/OpenCounter.h"

namespace {

class SettingsSnapshot : public FormFixture {
protected:
    void TearDown() override {
        SetIniFileClockAheadForTesting(std::chrono::nanoseconds(0));
        FormFixture::TearDown();
    }

    static QStringList Shots(int count) {
        QStringList lines;
        for (int i = 0; i < count; ++i) lines.append(QString::number(700 + i % 200));
        return lines;
    }
};

}  // namespace

TEST_F(SettingsSnapshot, LiveShotsOpenNoSettingsFileAndSeeEditsAtTheNextShot) {
    WriteTextFile(IniFilePath(), "[Settings]\nCNV=0\nMU=10\n[AUTOSAVE]\nAUT=0\n");
    StartFormOffline();
    // The file was written a moment ago: the clock is moved on so that the
    // reading taken at start-up counts as settled whatever the machine's
    // speed (a file read within a timestamp tick of its change is read again).
    SetIniFileClockAheadForTesting(std::chrono::minutes(1));
    Feed({"700"});

    TOpenCounter opens(IniFilePath());
    ASSERT_TRUE(opens.IsValid());
    Feed(Shots(200));
    EXPECT_EQ(opens.Take(), 0);
    EXPECT_EQ(MemoLines().size(), 201);

    // AUT edited by hand: the second shot after it is saved automatically.
    WriteIniValue("AUTOSAVE", "AUT", "2");
    Feed({"801"});
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath("AUTOSAVE/Chrono_001.csv")));
    Feed({"802"});
    EXPECT_TRUE(ReadFileBytes(FDir.filePath("AUTOSAVE/Chrono_001.csv")).contains("802"));
    WriteIniValue("AUTOSAVE", "AUT", "0");
    Feed({"803", "804"});
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath("AUTOSAVE/Chrono_002.csv")));

    // CNV edited by hand: with a weight box that holds no number, only CNV
    // mode (the stored grams) gives the shot an energy.
    Form().Edit1->SetText(QStringLiteral("x"));
    Feed({"800"});
    const QString plain = Form().Label15->Caption();
    WriteIniValue("Settings", "CNV", "1");
    Feed({"800"});
    EXPECT_NE(Form().Label15->Caption(), plain);
    EXPECT_EQ(Form().Label15->Caption(), EnergyText(CnvShotEnergy(800.0, 1.0, true)));
    WriteIniValue("Settings", "CNV", "0");
    Feed({"800"});
    EXPECT_EQ(Form().Label15->Caption(), plain);
}
