// The serial-only build: the same form without the Bluetooth LE row, and a
// settings file without the Bluetooth LE keys.
#include <gtest/gtest.h>

#include <cmath>

#include <QDir>
#include <QWidget>

#include "links/PseudoTerminal.h"
#include "links/core/SerialLink.h"
#include "platform/chart/Chart.h"
#include "platform/core/IniFile.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

struct Bounds {
    TControl* control;
    int left, top, width, height;
};

// Every control of the serial-only resource with its design bounds; the
// first ten differ from Tarvex's.
std::vector<Bounds> DesignBounds(TForm1& form) {
    return {
        {form.ComboBox1, 10, 32, 87, 28},      {form.Button1, 102, 32, 87, 28},
        {form.ButtonSave, 10, 65, 87, 28},     {form.Button2, 102, 65, 87, 28},
        {form.ButtonClear, 10, 100, 87, 28},   {form.Memo1, 10, 135, 87, 380},
        {form.Label2, 210, 34, 248, 117},      {form.Label15, 210, 151, 251, 76},
        {form.Label17, 536, 166, 81, 46},      {form.Label20, 181, 273, 553, 25},
        {form.Label1, 11, 10, 42, 20},         {form.CheckBox2, 104, 116, 59, 20},
        {form.CheckBox1, 104, 142, 60, 21},    {form.CheckBoxScroll, 104, 170, 60, 19},
        {form.CheckBoxAuto, 104, 197, 59, 21}, {form.CheckBoxAuto50, 104, 224, 78, 21},
        {form.Label16, 536, 73, 81, 49},       {form.Label18, 699, 240, 32, 29},
        {form.GridPanel1, 616, 10, 240, 219},  {form.Edit1, 616, 240, 72, 28},
        {form.SpeedButton8, 759, 240, 26, 23}, {form.SppeButton3, 794, 240, 26, 23},
        {form.SpeedButton4, 828, 240, 26, 23}, {form.SpeedButton3, 235, 245, 45, 23},
        {form.SpeedButton5, 292, 245, 45, 23}, {form.SpeedButton6, 349, 245, 45, 23},
        {form.SpeedButton7, 406, 245, 45, 23}, {form.SpeedButton1, 109, 273, 60, 23},
        {form.SpeedButton2, 795, 273, 60, 23}, {form.Chart1, 109, 308, 746, 207},
    };
}

bool SizesItself(const TControl* control) {
    const auto* label = dynamic_cast<const TLabel*>(control);
    return label && label->AutoSize;
}

}  // namespace

class SerialBuild : public FormFixture {};

TEST_F(SerialBuild, StartsAndClosesWithoutBluetoothKeys) {
    static_assert(!TARVEX_BLE, "this program tests the serial-only build");
    StartForm();
    EXPECT_EQ(Form().Caption(), "CHRONO");
    // No link is made; the form's link and its controls stay null.
    EXPECT_FALSE(P::FBleLink(Form()));
    for (const void* control :
         {static_cast<const void*>(Form().Shape1), static_cast<const void*>(Form().Edit2),
          static_cast<const void*>(Form().CONNECT), static_cast<const void*>(Form().CheckBox3),
          static_cast<const void*>(Form().Memo2), static_cast<const void*>(Form().SCAN),
          static_cast<const void*>(Form().BluetoothLE1)})
        EXPECT_EQ(control, nullptr);
    Form().ProcessIncomingLine(QStringLiteral("812.5"));
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 1);
    CloseForm();

    const TIniFile ini(IniFilePath());
    EXPECT_FALSE(ini.SectionExists("BLE"));
    EXPECT_FALSE(ini.ValueExists("Settings", "CheckBoxBTAuto"));
    EXPECT_TRUE(ini.ValueExists("Settings", "MU"));
}

TEST_F(SerialBuild, ResourceHasNoBluetoothRowAndItsOwnBounds) {
    TForm1 form(Application);
    EXPECT_EQ(form.ClientWidth(), 865);
    EXPECT_EQ(form.ClientHeight(), 529);

    for (int i = 0; i < form.ComponentCount(); ++i) {
        const QString name = form.Components(i)->Name;
        for (const char* absent :
             {"Shape1", "Edit2", "CONNECT", "CheckBox3", "Memo2", "SCAN", "BluetoothLE1"})
            EXPECT_NE(name, QLatin1String(absent));
    }

    for (const Bounds& b : DesignBounds(form)) {
        SCOPED_TRACE(b.control->Name.toStdString());
        EXPECT_EQ(b.control->Left(), b.left);
        EXPECT_EQ(b.control->Top(), b.top);
        if (!SizesItself(b.control)) {
            EXPECT_EQ(b.control->Width(), b.width);
            EXPECT_EQ(b.control->Height(), b.height);
        }
        // Nothing in the band along the bottom where Tarvex has its row.
        EXPECT_LT(b.control->Top() + b.control->Height(), 522);
    }
    // Every control directly on the form is in the table.
    EXPECT_EQ(form.ControlCount(), int(DesignBounds(form).size()));
}

TEST_F(SerialBuild, TabMovesThroughTheFourteenControlsOfTheResource) {
    StartFormOffline();
    const std::vector<TWinControl*> expected{
        Form().Button1,        Form().ComboBox1,      Form().ButtonClear, Form().ButtonSave,
        Form().CheckBoxScroll, Form().CheckBox1,      Form().Edit1,       Form().Button2,
        Form().CheckBoxAuto,   Form().CheckBoxAuto50, Form().CheckBox2,   Form().Memo1};
    ExpectTabOrderFromShotList(expected);
}

TEST_F(SerialBuild, LayoutScalesFromTheShorterDesignSize) {
    StartFormOffline();
    EXPECT_EQ(P::FDesignClientWidth(Form()), 865);
    EXPECT_EQ(P::FDesignClientHeight(Form()), 529);

    // Twice the design size: every control lands at twice its design bounds.
    Form().SetClientWidth(2 * 865);
    Form().SetClientHeight(2 * 529);
    ASSERT_TRUE(WaitFor([&] { return Form().Chart1->Width() == 2 * 746; }));
    ASSERT_EQ(Form().ClientHeight(), 2 * 529);
    for (const Bounds& b : DesignBounds(Form())) {
        SCOPED_TRACE(b.control->Name.toStdString());
        EXPECT_EQ(b.control->Left(), 2 * b.left);
        EXPECT_EQ(b.control->Top(), 2 * b.top);
        if (!SizesItself(b.control)) {
            EXPECT_EQ(b.control->Width(), 2 * b.width);
            EXPECT_EQ(b.control->Height(), 2 * b.height);
        }
    }
}

TEST_F(SerialBuild, StartsTheFadeAndThePortTimerButNoAutoConnect) {
    StartForm();
    EXPECT_FALSE(KillTimer(&Form(), TIMER_BLE_AUTOCONNECT));
    EXPECT_TRUE(KillTimer(&Form(), TIMER_COM_AUTOOPEN));
    // The fade runs and ends as in Tarvex.
    EXPECT_TRUE(WaitFor([&] { return P::FFadeSteps(Form()) == 0; }));
    EXPECT_FALSE(Form().AlphaBlend());
    // An auto-connect tick, should one ever come, reaches nothing.
    const QString status = Form().Label20->Caption();
    SendMessage(&Form(), WM_TIMER, TIMER_BLE_AUTOCONNECT, 0);
    EXPECT_EQ(Form().Label20->Caption(), status);
    EXPECT_EQ(Form().Memo1->Lines()->Count(), 0);
}

TEST_F(SerialBuild, LinkKeysThatCannotBeRemovedAtStart) {
    struct Case {
        const char* name;
        const char* settingsKey;
        const char* lastSection;
        bool reported;  // the start-up says that the settings cannot be saved
    };
    const Case cases[] = {
        {"neither", "", "", false},
        // The key stays, unread; the refused delete says, as any refused
        // write at start, that the settings cannot be saved, never in a box.
        {"the auto-connect key", "CheckBoxBTAuto=1\n", "", true},
        {"the BLE section", "", "[BLE]\nLast=KVRN\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FDialogs.Errors.clear();
        // A settings file without write permission, complete otherwise.
        const QByteArray file =
            QByteArray("[Settings]\nCNV=0\nOpenCom=\n") + c.settingsKey +
            "Label2DisplayFormat=0##\nMultiplier=1\nMultiplierG=1\n"
            "[FILTER]\nFilter=0\nShots=S(~)\nVelocity=V(~)\n"
            "[TXTCSV]\nFolder=./MYSHOTS\nFileName=Chrono_$\nINDEX=001\n"
            "[IMG]\nFolder=./IMG\nFileName=Stat%_$\nINDEX=001\n"
            "[AUTOSAVE]\nAUT=0\nFolder=./AUTOSAVE\nFileName=Chrono_$\nINDEX=001\n" +
            c.lastSection;
        WriteTextFile(IniFilePath(), file);
        ASSERT_TRUE(QFile::setPermissions(IniFilePath(), QFile::ReadOwner | QFile::ReadGroup));

        testing::internal::CaptureStderr();
        StartFormOffline();
        const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(ReadFileBytes(IniFilePath()), file);
        // Only the refused erase is said, once and without a box, and the
        // start-up goes on; nothing else at start writes to the file.
        EXPECT_TRUE(FDialogs.Errors.isEmpty());
        if (c.reported) {
            EXPECT_EQ(Status(), "SETTINGS: cannot be saved (Permission denied)");
            EXPECT_EQ(said.count("SETTINGS:"), 1) << said.toStdString();
            EXPECT_TRUE(said.contains("Unable to write to " + IniFilePath())) << said.toStdString();
        } else {
            EXPECT_EQ(Status(), "");
        }
        EXPECT_EQ(P::FNextShotNumber(Form()), 1);
        CloseForm();
        QFile::setPermissions(IniFilePath(), QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(IniFilePath());
    }
}

class SerialBuildPort : public SerialBuild {
protected:
    void SetUp() override {
        SerialBuild::SetUp();
        ASSERT_TRUE(FTerminal.IsValid()) << "no pseudo-terminal";
        WriteTextFile(IniFilePath(),
                      "[Settings]\nComPort=" + FTerminal.SlavePath().toUtf8() + "\nOpenCom=1\n");
    }
    void TearDown() override {
        SerialBuild::TearDown();
        // No test may leave the port to the next one.
        EXPECT_FALSE(FTerminal.SlaveHeld());
    }
    // Starts the form and lets the start-up timer open the port.
    void StartAndOpen() {
        StartForm();
        ASSERT_TRUE(WaitFor([&] { return P::FSerialLink(Form()).IsOpen(); }, 30))
            << "the start-up timer did not open " << FTerminal.SlavePath().toStdString();
        EXPECT_TRUE(P::FSerialLink(Form()).IsReading());
    }

    TPseudoTerminal FTerminal;
};

TEST_F(SerialBuildPort, ShotsArriveOnlyFromThePortAndCloseJoinsTheReader) {
    StartAndOpen();
    ASSERT_TRUE(FTerminal.Write("V=812.35 m/s\r\n815,5 nr 2\r\nno number\r\n820"));
    ASSERT_TRUE(WaitFor([&] { return Form().Memo1->Lines()->Count() >= 2; }, 30));
    // Nothing of the program's own joins the values in the list.
    EXPECT_EQ(Form().Memo1->Lines()->ToStringList(), (QStringList{"812.35", "815.5"}));

    CloseForm();
    EXPECT_FALSE(FTerminal.SlaveHeld());
    const TIniFile ini(IniFilePath());
    EXPECT_EQ(ini.ReadString("Settings", "ComPort", ""), FTerminal.SlavePath());
    EXPECT_FALSE(ini.ValueExists("Settings", "CheckBoxBTAuto"));
}

TEST_F(SerialBuildPort, RefusedSettingsWriteAtCloseIsReportedAndTheWindowStillCloses) {
    StartAndOpen();
    // A folder where the settings file should be: every write is refused.
    ASSERT_TRUE(QFile::remove(IniFilePath()));
    ASSERT_TRUE(QDir().mkpath(IniFilePath()));

    TCloseAction action = caFree;
    Form().FormClose(&Form(), action);
    ASSERT_EQ(FDialogs.Errors.size(), 1);
    EXPECT_TRUE(FDialogs.Errors[0].startsWith("Unable to write to " + IniFilePath()))
        << FDialogs.Errors[0].toStdString();
    EXPECT_EQ(action, caFree);
    // The reader is joined and the port closed all the same.
    EXPECT_FALSE(P::FSerialLink(Form()).IsReading());
    EXPECT_FALSE(P::FSerialLink(Form()).IsOpen());
    EXPECT_EQ(P::FLabel2BaseFont(Form()), nullptr);
    delete FForm;
    FForm = nullptr;
    Form1 = nullptr;
    Application->OnMessage = nullptr;
}
