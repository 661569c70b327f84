// The main form's construction, message map, window timers, closing and
// destruction, through a real form under the offscreen platform.
#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QSet>
#include <QWidget>

#include "platform/chart/Chart.h"
#include "platform/core/IniFile.h"
#include "platform/ui/StyleManager.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

bool HoldsBaseFonts(TForm1& form) {
    return P::FLabel2BaseFont(form) || P::FLabel15BaseFont(form);
}

}  // namespace

class FormLifeCycle : public FormFixture {};

TEST_F(FormLifeCycle, ConstructionAloneReadsWritesAndStartsNothing) {
    {
        TForm1 form(Application);
        // The settings, the shown series, the cache and the links all wait
        // for FormCreate.
        EXPECT_EQ(P::FActiveSeries(form), nullptr);
        EXPECT_EQ(P::FBarSeries(form), nullptr);
        EXPECT_TRUE(P::FVelocityCache(form).empty());
        EXPECT_FALSE(P::FSerialLink(form).IsOpen());
        EXPECT_FALSE(P::FSerialLink(form).IsReading());
#if TARVEX_BLE
        EXPECT_EQ(P::FScanIndex(form), nullptr);
        EXPECT_EQ(P::FConnTimeout(form), nullptr);
#endif
    }
    // Nor does freeing a form that never ran FormCreate write anything.
    EXPECT_FALSE(QFile::exists(IniFilePath()));
    EXPECT_TRUE(FDialogs.Messages.isEmpty());
    EXPECT_TRUE(FDialogs.Errors.isEmpty());
}

TEST_F(FormLifeCycle, ResourcePlacesEveryControlAtItsDesignBounds) {
    TForm1 form(Application);
    EXPECT_EQ(form.Caption(), "CHRONO");
    EXPECT_EQ(form.ClientWidth(), 865);
    EXPECT_EQ(form.ClientHeight(), 554);
    struct Case {
        TControl* control;
        int left, top, width, height;
    };
    const Case cases[] = {
        {form.Label1, 11, 10, 42, 20},
        {form.ComboBox1, 11, 32, 84, 28},
        {form.Button1, 100, 32, 84, 28},
        {form.ButtonSave, 11, 65, 84, 28},
        {form.Button2, 100, 65, 84, 28},
        {form.ButtonClear, 11, 99, 84, 28},
        {form.Memo1, 11, 135, 86, 380},
        {form.CheckBox2, 104, 116, 59, 20},
        {form.CheckBox1, 104, 142, 60, 21},
        {form.CheckBoxScroll, 104, 170, 60, 19},
        {form.CheckBoxAuto, 104, 197, 59, 21},
        {form.CheckBoxAuto50, 104, 224, 78, 21},
        {form.Label2, 210, 34, 236, 117},
        {form.Label15, 210, 151, 239, 76},
        {form.Label16, 536, 73, 81, 49},
        {form.Label17, 536, 158, 81, 46},
        {form.Label18, 699, 240, 32, 29},
        {form.GridPanel1, 616, 10, 240, 219},
        {form.Edit1, 616, 240, 72, 28},
        {form.SpeedButton8, 759, 240, 26, 23},
        {form.SppeButton3, 794, 240, 26, 23},
        {form.SpeedButton4, 828, 240, 26, 23},
        {form.SpeedButton3, 235, 245, 45, 23},
        {form.SpeedButton5, 292, 245, 45, 23},
        {form.SpeedButton6, 349, 245, 45, 23},
        {form.SpeedButton7, 406, 245, 45, 23},
        {form.SpeedButton1, 109, 273, 60, 23},
        {form.SpeedButton2, 795, 273, 60, 23},
        {form.Label20, 181, 273, 547, 25},
        {(TControl*)form.Chart1, 109, 308, 746, 207},
#if TARVEX_BLE
        {form.Shape1, 10, 522, 6, 25},
        {form.Edit2, 22, 522, 280, 25},
        {form.CONNECT, 308, 522, 75, 25},
        {form.CheckBox3, 392, 528, 15, 15},
        {form.Memo2, 414, 522, 360, 25},
        {form.SCAN, 780, 522, 75, 25},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control->Name.toStdString());
        EXPECT_EQ(c.control->Left(), c.left);
        EXPECT_EQ(c.control->Top(), c.top);
        // Labels that size themselves to their caption keep only their place.
        if (auto* label = dynamic_cast<TLabel*>(c.control); label && label->AutoSize) continue;
        EXPECT_EQ(c.control->Width(), c.width);
        EXPECT_EQ(c.control->Height(), c.height);
    }
    EXPECT_EQ(form.Button1->Caption(), "OPEN");
    EXPECT_EQ(form.SpeedButton5->Caption(), "SYM");
    EXPECT_EQ(form.Label21->Caption(), "EAVG");
    EXPECT_TRUE(form.CheckBox1->Checked());
    EXPECT_FALSE(form.CheckBox2->Checked());
    EXPECT_EQ(form.Label2->Font()->Height(), -87);
    EXPECT_EQ(form.Label2->Font()->Color(), clBlue);
    EXPECT_EQ(form.Label2->Color(), clBlack);
}

TEST_F(FormLifeCycle, TabMovesThroughTheControlsInResourceOrder) {
    StartForm();
    std::vector<TWinControl*> expected {
        Form().Button1, Form().ComboBox1, Form().ButtonClear, Form().ButtonSave,
            Form().CheckBoxScroll, Form().CheckBox1, Form().Edit1, Form().Button2,
            Form().CheckBoxAuto, Form().CheckBoxAuto50, Form().CheckBox2,
#if TARVEX_BLE
            Form().SCAN, Form().CONNECT, Form().Edit2, Form().Memo2, Form().CheckBox3,
#endif
            Form().Memo1
    };
    ExpectTabOrderFromShotList(expected);
}

TEST_F(FormLifeCycle, EraseBackgroundIsAnsweredWithoutErasing) {
    StartForm();
    EXPECT_EQ(SendMessage(&Form(), WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(FormLifeCycle, FadeInTakesTwoTicksAndThenStops) {
    // Created without running the event loop, so no tick has come yet; the
    // test drives the ticks itself.
    FForm = new TForm1(Application);
    Form1 = FForm;
    FForm->DoCreate();
    KillTimer(&Form(), TIMER_FADE_IN);
    // FormCreate leaves the window almost transparent with two steps to go.
    EXPECT_TRUE(Form().AlphaBlend());
    EXPECT_EQ(Form().AlphaBlendValue(), 1);
    EXPECT_EQ(P::FFadeSteps(Form()), 2);

    SendMessage(&Form(), WM_TIMER, TIMER_FADE_IN, 0);
    EXPECT_EQ(P::FFadeSteps(Form()), 1);
    EXPECT_EQ(Form().AlphaBlendValue(), 80);
    EXPECT_TRUE(Form().AlphaBlend());

    SendMessage(&Form(), WM_TIMER, TIMER_FADE_IN, 0);
    EXPECT_EQ(P::FFadeSteps(Form()), 0);
    EXPECT_EQ(Form().AlphaBlendValue(), 255);
    EXPECT_FALSE(Form().AlphaBlend());

    // A late tick after the fade changes nothing.
    SendMessage(&Form(), WM_TIMER, TIMER_FADE_IN, 0);
    EXPECT_EQ(P::FFadeSteps(Form()), 0);
    EXPECT_EQ(Form().AlphaBlendValue(), 255);
    EXPECT_FALSE(Form().AlphaBlend());
}

TEST_F(FormLifeCycle, FadeInRunsByItselfOnTheWindowTimer) {
    StartForm();
    EXPECT_TRUE(WaitFor([&] { return P::FFadeSteps(Form()) == 0; }));
    EXPECT_FALSE(Form().AlphaBlend());
}

TEST_F(FormLifeCycle, ReceivedLinesMessageDrainsTheQueue) {
    StartForm();
    QueueReceived({"812.5"});
    ASSERT_TRUE(PostMessage(&Form(), WM_LINES_RECEIVED, 0, 0));
    EXPECT_TRUE(WaitFor([&] { return ReceivedQueueEmpty(); }));
}

TEST_F(FormLifeCycle, AnalysisMessageRunsTheCommandAndClosesItsFrame) {
    StartForm();
    Form().Memo1->Lines()->Add(QStringLiteral("812.5"));
    P::FMemoLocked(Form()) = true;
    Form().SpeedButton5->Click();  // SYM: the click only opens the frame
    EXPECT_TRUE(P::FCommandBusy(Form()));
    EXPECT_EQ(P::FRunningCommand(Form()), TAnalysisCommand::Sym);
    EXPECT_FALSE(Form().SpeedButton3->Enabled());
    EXPECT_EQ(Screen()->Cursor(), crHourGlass);
    Form().SpeedButton6->Click();  // ignored while a command runs
    EXPECT_EQ(P::FRunningCommand(Form()), TAnalysisCommand::Sym);
    // The progress text shows while the pointer rests on the running button.
    Form().AnalysisButtonEnter(Form().SpeedButton6);
    EXPECT_EQ(Form().Label20->Caption(), "");
    Form().AnalysisButtonEnter(Form().SpeedButton5);
    EXPECT_EQ(Form().Label20->Caption(), "SYM: processing...");
    Form().AnalysisButtonLeave(Form().SpeedButton5);
    EXPECT_EQ(Form().Label20->Caption(), "");
    Form().AnalysisButtonEnter(Form().SpeedButton5);

    ASSERT_TRUE(WaitFor([&] { return !P::FCommandBusy(Form()); }));
    EXPECT_EQ(P::FRunningCommand(Form()), TAnalysisCommand::None);
    EXPECT_TRUE(Form().SpeedButton3->Enabled());
    EXPECT_TRUE(Form().SpeedButton7->Enabled());
    EXPECT_EQ(Screen()->Cursor(), crDefault);
    EXPECT_EQ(Form().Label20->Caption(), "SYM: Use refresh to unlock");
}

TEST_F(FormLifeCycle, SystemCommandsMaximiseAndRestore) {
    StartForm();
    SendMessage(&Form(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(WaitFor([&] { return Form().Maximized(); }));
    SendMessage(&Form(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(WaitFor([&] { return !Form().Maximized(); }));
}

TEST_F(FormLifeCycle, CloseWritesUnitsAsMu) {
    struct Case {
        bool units, mix;
        const char* mu;
    };
    const Case cases[] = {
        {true, false, "10"}, {true, true, "11"}, {false, true, "1"}, {false, false, "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mu);
        StartForm();
        Form().CheckBox1->SetChecked(c.units);
        Form().CheckBox2->SetChecked(c.mix);
        CloseForm();
        EXPECT_EQ(IniValue("Settings", "MU"), c.mu);
    }
}

TEST_F(FormLifeCycle, CloseWritesWeightTextVerbatimAndGramsInGeneralFormat) {
    StartForm();
    Form().Edit1->SetText(QStringLiteral("12,5 gr?"));
    P::FWeightGrams(Form()) = 1.0 / 3.0;
    Form().CheckBoxAuto50->SetChecked(true);
    CloseForm();
    EXPECT_EQ(IniValue("Settings", "Multiplier"), "12,5 gr?");
    EXPECT_EQ(IniValue("Settings", "MultiplierG"), "0.333333333333333");
    EXPECT_EQ(TIniFile(IniFilePath()).ReadBool("Settings", "CheckBoxAuto50", false), true);
}

TEST_F(FormLifeCycle, CloseWithoutSettingsFileCreatesOneWithTheCloseKeys) {
    StartForm();
    QFile::remove(IniFilePath());
    CloseForm();
    ASSERT_TRUE(QFile::exists(IniFilePath()));
    const QStringList keys = TIniFile(IniFilePath()).ReadSection("Settings");
    for (const char* key : {"Style", "Multiplier", "MultiplierG", "ComPort", "CheckBoxScroll",
                            "CheckBoxAuto", "CheckBoxAuto50", "MU"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
}

TEST_F(FormLifeCycle, CloseFreesOwnedObjectsOnceAndClearsThem) {
    StartForm();
    EXPECT_TRUE(HoldsBaseFonts(Form()));
#if TARVEX_BLE
    EXPECT_NE(P::FConnTimeout(Form()), nullptr);
    EXPECT_NE(P::FKeepAlive(Form()), nullptr);
    EXPECT_NE(P::FScanIndex(Form()), nullptr);
#endif
    TCloseAction action = caFree;
    Form().FormClose(&Form(), action);
    EXPECT_FALSE(HoldsBaseFonts(Form()));
#if TARVEX_BLE
    EXPECT_EQ(P::FConnTimeout(Form()), nullptr);
    EXPECT_EQ(P::FKeepAlive(Form()), nullptr);
    EXPECT_EQ(P::FScanIndex(Form()), nullptr);
#endif
    // A resize after the close must not reach the freed fonts.
    Form().SetClientWidth(1200);
    QCoreApplication::processEvents();
    delete FForm;
    FForm = nullptr;
}

TEST_F(FormLifeCycle, FailedSettingsWriteOnCloseStillShutsDownAndReports) {
    StartForm();
    // A folder where the settings file should be: every write is refused.
    QFile::remove(IniFilePath());
    ASSERT_TRUE(QDir().mkpath(IniFilePath()));
    TCloseAction action = caFree;
    Form().FormClose(&Form(), action);
    ASSERT_EQ(FDialogs.Errors.size(), 1);
    EXPECT_EQ(FDialogs.Errors.front(), "Unable to write to " + IniFilePath() + " (Is a directory)");
    EXPECT_EQ(action, caFree);  // the window still closes
    EXPECT_FALSE(P::FSerialLink(Form()).IsReading());
    EXPECT_FALSE(HoldsBaseFonts(Form()));
#if TARVEX_BLE
    EXPECT_EQ(P::FKeepAlive(Form()), nullptr);
#endif
    delete FForm;
    FForm = nullptr;
}

TEST_F(FormLifeCycle, RenderedFormShowsItsControls) {
    StartForm();
    KillTimer(&Form(), TIMER_FADE_IN);
    Form().SetAlphaBlend(false);
    const QImage image = Form().Grab().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.width(), 865);
    ASSERT_EQ(image.height(), 554);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 20);  // not a blank window
    // The big velocity label is blue text on black.
    int black = 0, blue = 0;
    for (int y = 40; y < 145; ++y)
        for (int x = 216; x < 440; ++x) {
            const QColor c(image.pixel(x, y));
            if (c.red() < 30 && c.green() < 30 && c.blue() < 30) ++black;
            if (c.blue() > 180 && c.red() < 80 && c.green() < 80) ++blue;
        }
    EXPECT_GT(black, 5000);
    EXPECT_GT(blue, 50);
}
