// The serial-only build: the same form without the Bluetooth LE row, and a
// settings file without the Bluetooth LE keys.
#include <gtest/gtest.h>

#include "platform/core/IniFile.h"
#include "support/FormFixture.h"

class SerialBuild : public FormFixture {};

TEST_F(SerialBuild, StartsAndClosesWithoutBluetoothKeys) {
    static_assert(!TARVEX_BLE, "this program tests the serial-only build");
    StartForm();
    EXPECT_EQ(Form().Caption(), "CHRONO");
    Form().ProcessIncomingLine(QStringLiteral("812.5"));
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 1);
    CloseForm();

    const TIniFile ini(IniFilePath());
    EXPECT_FALSE(ini.SectionExists("BLE"));
    EXPECT_FALSE(ini.ValueExists("Settings", "CheckBoxBTAuto"));
    EXPECT_TRUE(ini.ValueExists("Settings", "MU"));
}
