// The main form's start-up through a real form: the settings file it writes
// and repairs, the controls and members it sets from the settings, and what
// it does with settings it cannot write or cannot read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "links/PseudoTerminal.h"
#include "platform/serial/PortList.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "series/core/Statistics.h"
#include "storage/core/OutputNaming.h"
#include "support/DefaultSettingsFiles.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

// The first-start file, line by line.
QStringList DefaultFileLines() {
    const QByteArray file = TARVEX_BLE ? DefaultTarvexSettingsFile : DefaultSerialSettingsFile();
    QStringList lines = QString::fromUtf8(file).split(QLatin1Char('\n'));
    lines.removeLast();  // after the last line end
    return lines;
}

QByteArray JoinLines(const QStringList& lines, const QByteArray& eol) {
    QByteArray bytes;
    for (const QString& line : lines) bytes += line.toUtf8() + eol;
    return bytes;
}

// Compares a file with the expected lines one by one, so that a failure
// names the line that differs, then the whole bytes (line ends included).
void ExpectFileLines(const QByteArray& actual, const QStringList& expected, const QByteArray& eol) {
    QList<QByteArray> lines = actual.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    EXPECT_EQ(lines.size(), expected.size());
    for (qsizetype i = 0; i < std::min(lines.size(), expected.size()); ++i) {
        QByteArray line = lines[i];
        if (eol == "\r\n" && line.endsWith('\r')) line.chop(1);
        EXPECT_EQ(QString::fromUtf8(line), expected[i]) << "line " << i + 1;
    }
    EXPECT_EQ(actual, JoinLines(expected, eol));
}

QStringList SubFolders(const QString& folder) {
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class Startup : public FormFixture {
protected:
    void TearDown() override {
        FormFixture::TearDown();
        // The hook belongs to the form that installed it.
        if (Application) Application->OnMessage = nullptr;
    }

    struct TPendingTimers {
        bool AutoConnect = false;
        bool AutoOpen = false;
    };

    // Constructs the form and runs FormCreate like StartForm, but reports
    // which one-shot timers FormCreate started before any event is
    // processed: none of them can have fired yet, so stopping it answers
    // whether it ran, whatever the machine's speed. Stopping them also keeps
    // the port auto-open out of the test.
    TPendingTimers StartFormAndStopTimers() {
        FForm = new TForm1(Application);
        Form1 = FForm;
        FForm->DoCreate();
        FCreatedBounds = {FForm->Left(), FForm->Top(), FForm->Width(), FForm->Height()};
        TPendingTimers pending;
        pending.AutoConnect = KillTimer(FForm, TIMER_BLE_AUTOCONNECT);
        pending.AutoOpen = KillTimer(FForm, TIMER_COM_AUTOOPEN);
        FForm->Show();
        QCoreApplication::processEvents();
        return pending;
    }

    // Left, top, width and height as FormCreate left them, before the
    // window system had a frame to add.
    struct TBounds {
        int Left, Top, Width, Height;
    } FCreatedBounds{};

    // Closes the form as the window does and drops its hook.
    void CloseStartedForm() {
        CloseForm();
        Application->OnMessage = nullptr;
    }

    // Frees the form without FormClose, which would write the settings
    // that the close saves.
    void DropForm() {
        delete FForm;
        FForm = nullptr;
        Form1 = nullptr;
        Application->OnMessage = nullptr;
    }

    void WriteIni(const QStringList& lines, const QByteArray& eol = "\n") {
        ASSERT_FALSE(WriteTextFile(IniFilePath(), JoinLines(lines, eol)).isEmpty());
    }
};

TEST_F(Startup, FirstStartWritesTheDefaultFileAndASecondStartChangesNothing) {
    ASSERT_FALSE(QFile::exists(IniFilePath()));
    StartFormAndStopTimers();

    // Exactly the default file: the weight read at start is not saved.
    const QByteArray first = ReadFileBytes(IniFilePath());
    ExpectFileLines(first, DefaultFileLines(), "\n");
    // With AUT 0 no output folder is made, and none of the naming defaults
    // creates one at start.
    EXPECT_EQ(SubFolders(FDir.path()), QStringList());
    EXPECT_TRUE(FDialogs.Errors.isEmpty());
    EXPECT_TRUE(FDialogs.Messages.isEmpty());

    DropForm();
    StartFormAndStopTimers();
    EXPECT_EQ(ReadFileBytes(IniFilePath()), first);
    EXPECT_EQ(SubFolders(FDir.path()), QStringList());
    EXPECT_TRUE(FDialogs.Errors.isEmpty());

    // Close writes its own keys and nothing else, each in its place.
    CloseStartedForm();
    const QStringList closeKeys{"Style",          "Multiplier",     "MultiplierG",
                                "ComPort",        "CheckBoxScroll", "CheckBoxAuto",
                                "CheckBoxAuto50", "CheckBoxBTAuto", "MU"};
    const QStringList before = DefaultFileLines();
    const QStringList after = QString::fromUtf8(ReadFileBytes(IniFilePath())).split('\n');
    ASSERT_EQ(after.size(), before.size() + 1);  // the last line end
    for (qsizetype i = 0; i < before.size(); ++i) {
        const QString key = before[i].section('=', 0, 0);
        if (after[i] != before[i]) {
            EXPECT_TRUE(closeKeys.contains(key)) << "close changed " << before[i].toStdString();
        }
        EXPECT_EQ(after[i].section('=', 0, 0), key);
    }
    const TIniFile ini(IniFilePath());
    EXPECT_EQ(ini.ReadString("Settings", "MultiplierG", ""), "1");
    EXPECT_EQ(ini.ReadString("Settings", "Multiplier", ""), "1");
}

TEST_F(Startup, CompleteReadOnlySettingsFileStartsWithoutAnError) {
    // A finished set-up that the user locked: start-up only reads it.
    QStringList lines = DefaultFileLines();
    lines.replace(lines.indexOf("Multiplier=1"), "Multiplier=8.5");
    lines.replace(lines.indexOf("MU=10"), "MU=0");
    WriteIni(lines, "\r\n");
    ASSERT_TRUE(QFile::setPermissions(IniFilePath(), QFile::ReadOwner | QFile::ReadGroup));
    StartFormAndStopTimers();
    EXPECT_TRUE(FDialogs.Errors.isEmpty()) << FDialogs.Errors.join('|').toStdString();
    EXPECT_EQ(Form().Edit1->Text(), "8.5");
    EXPECT_DOUBLE_EQ(P::FWeightGrams(Form()), 8.5 * 0.06479891);
    EXPECT_EQ(ReadFileBytes(IniFilePath()), JoinLines(lines, "\r\n"));
    DropForm();
}

TEST_F(Startup, OlderFileIsCompletedAndMigratedAndUnknownKeysStay) {
    struct Case {
        const char* name;
        QStringList before;
        QByteArray eol;
        QStringList after;
        QStringList folders;  // made beside the executable
    };
    // clang-format off
    const Case cases[] = {
        {"no CNV, OpenCom or AUTOSAVE; TXTCSV without Folder; blank IMG FileName",
         {
             "; written by an older version",
             "[Settings]",
             "Style=1",
             "TXT=2",
             "Multiplier=12.5",
             "MultiplierG=12.5",
             "MU=10",
             "Label2DisplayFormat=0.00",
             "ChartBarWidth=0",
             "ChartColor=7",
             "AUT=7",
             "Units=ft",
             "[TXTCSV]",
             "FileName=Mine_$",
             "INDEX=042",
             "AUT=x",
             "[IMG]",
             "Folder=./pics",
             "FileName=   ",
             "[AUTOSHOT]",
             "AUT=5",
             "[Extra]",
             "Note = keep me",
         },
         "\r\n",
         {
             "; written by an older version",
             "[Settings]",
             "Style=1",
             "TXT=2",
             "Multiplier=12.5",
             "MultiplierG=12.5",
             "MU=10",
             "Label2DisplayFormat=0.00",
             "ChartBarWidth=0",
             "ChartColor=7",
             "AUT=7",
             "Units=ft",
             "CNV=0",
             "OpenCom=",
             "[TXTCSV]",
             "FileName=Chrono_$",
             "INDEX=001",
             "AUT=x",
             "Folder=./MYSHOTS",
             "[IMG]",
             "Folder=./pics",
             "FileName=Stat%_$",
             "INDEX=001",
             "[AUTOSHOT]",
             "AUT=5",
             "[Extra]",
             "Note = keep me",
             "[FILTER]",
             "Filter=0",
             "Shots=S(~)",
             "Velocity=V(~)",
             "[AUTOSAVE]",
             "AUT=5",
             "Folder=./AUTOSAVE",
             "FileName=Chrono_$",
             "INDEX=001",
         },
         {"AUTOSAVE"}},
        {"count above the clamp, empty keys kept, blank display format completed",
         {
             "[Settings]",
             "Multiplier=1",
             "MultiplierG=1",
             "CNV=1x",
             "OpenCom=",
             "Label2DisplayFormat=  ",
             "[FILTER]",
             "Shots=",
             "[TXTCSV]",
             "Folder=",
             "FileName=  ",
             "INDEX=",
             "[IMG]",
             "Folder=__MISSING__",
             "FileName=Pic",
             "[AUTOSAVE]",
             "AUT=250000",
             "Folder=./saves/deep",
             "FileName=Auto",
         },
         "\n",
         {
             "[Settings]",
             "Multiplier=1",
             "MultiplierG=1",
             "CNV=1x",
             "OpenCom=",
             "Label2DisplayFormat=0##",
             "[FILTER]",
             "Shots=",
             "Filter=0",
             "Velocity=V(~)",
             "[TXTCSV]",
             "Folder=",
             "FileName=Chrono_$",
             "INDEX=",
             "[IMG]",
             "Folder=./IMG",
             "FileName=Stat%_$",
             "INDEX=001",
             "[AUTOSAVE]",
             "AUT=250000",
             "Folder=./saves/deep",
             "FileName=Auto",
         },
         {"saves"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteIni(c.before, c.eol);
        StartFormAndStopTimers();
        ExpectFileLines(ReadFileBytes(IniFilePath()), c.after, c.eol);
        EXPECT_EQ(SubFolders(FDir.path()), c.folders);
        EXPECT_TRUE(FDialogs.Errors.isEmpty()) << FDialogs.Errors.join('\n').toStdString();
        CloseStartedForm();
        QDir(FDir.filePath(c.folders.value(0))).removeRecursively();
        QFile::remove(IniFilePath());
    }
}

TEST_F(Startup, ControlsAndMembersHoldWhatTheSettingsSay) {
    struct Case {
        const char* settings;  // lines of [Settings]; nullptr: no settings file
        bool units, mix, scroll, autoMargin, auto50, btAuto, txt;
        const char* label2;
    };
    const Case cases[] = {
        {nullptr, true, false, true, false, false, false, false, "00.0"},
        {"MU=11", true, true, true, false, false, false, false, "00.0"},
        {"MU=1", false, true, true, false, false, false, false, "00.0"},
        {"MU=110", true, false, true, false, false, false, false, "00.0"},
        {"MU=0", false, false, true, false, false, false, false, "00.0"},
        {"MU=-11", false, false, true, false, false, false, false, "00.0"},
        {"MU=-1", false, false, true, false, false, false, false, "00.0"},
        // Texts that are not integers give the readers' defaults.
        {"MU=metric", true, false, true, false, false, false, false, "00.0"},
        {"CheckBoxScroll=abc\nCheckBoxAuto=yes\nCheckBoxAuto50=on\nCheckBoxBTAuto=true\nTXT=x",
         true, false, true, false, false, false, false, "00.0"},
        {"CheckBoxScroll=2\nCheckBoxAuto=1\nCheckBoxBTAuto=1\nTXT=2", true, false, true, true,
         false, true, true, "00.0"},
        {"CheckBoxScroll=0\nCheckBoxAuto=0\nCheckBoxAuto50=-1", true, false, false, false, true,
         false, false, "00.0"},
        {"Label2DisplayFormat=000", true, false, true, false, false, false, false, "00.000"},
        {"Label2DisplayFormat=0.00", true, false, true, false, false, false, false, "00.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings ? c.settings : "no settings file");
        QFile::remove(IniFilePath());
        if (c.settings)
            WriteTextFile(IniFilePath(), QByteArray("[Settings]\n") + c.settings + "\n");
        const TPendingTimers timers = StartFormAndStopTimers();
        TForm1& form = Form();
        EXPECT_EQ(form.CheckBox1->Checked(), c.units);
        EXPECT_EQ(form.CheckBox2->Checked(), c.mix);
        EXPECT_EQ(P::FLastUnitsMetric(form), c.units);
        EXPECT_EQ(P::FLastWeightMix(form), c.mix);
        EXPECT_EQ(form.CheckBoxScroll->Checked(), c.scroll);
        EXPECT_EQ(form.CheckBoxAuto->Checked(), c.autoMargin);
        EXPECT_EQ(form.CheckBoxAuto50->Checked(), c.auto50);
#if TARVEX_BLE
        EXPECT_EQ(form.CheckBox3->Checked(), c.btAuto);
        EXPECT_EQ(timers.AutoConnect, c.btAuto);
#else
        EXPECT_FALSE(timers.AutoConnect);
#endif
        EXPECT_TRUE(timers.AutoOpen);
        EXPECT_EQ(P::FTxtFormat(form), c.txt);
        EXPECT_EQ(form.Label2->Caption(), c.label2);
        EXPECT_TRUE(FDialogs.Errors.isEmpty());
        CloseStartedForm();
    }
}

// Each form reads its own picture: one form's picture never reaches a form
// started after it.
TEST_F(Startup, TheBigValuePictureIsTheFormsOwn) {
    struct Case {
        const char* Settings;
        const char* Zero;
        const char* Shot;
    };
    const Case cases[] = {
        {"Label2DisplayFormat=000", "00.000", "812.300"},
        {"CNV=0", "00.0", "812.3"},
        {"Label2DisplayFormat=0#####", "00.0", "812.3"},
        {"Label2DisplayFormat=0.00", "00.0", "812.3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Settings);
        WriteTextFile(IniFilePath(), QByteArray("[Settings]\n") + c.Settings + "\n");
        StartFormAndStopTimers();
        EXPECT_EQ(Form().Label2->Caption(), c.Zero);
        Receive({"812.3"});
        EXPECT_EQ(Form().Label2->Caption(), c.Shot);
        CloseStartedForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(Startup, ValueLabelsShowTheirZeroTextsAndTheListStartsEmpty) {
    struct Case {
        QChar separator;
        const char* zero1;  // "00.0"
        const char* zero2;  // "0.00"
    };
    const Case cases[] = {{'.', "00.0", "0.00"}, {',', "00,0", "0,00"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zero1);
        QFile::remove(IniFilePath());
        SetDecimalSeparatorForTesting(c.separator);
        StartFormAndStopTimers();
        TForm1& form = Form();

        EXPECT_EQ(form.Label2->Caption(), c.zero1);
        for (TLabel* label : {form.Label3, form.Label4, form.Label5, form.Label6, form.Label7})
            EXPECT_EQ(label->Caption(), c.zero1) << label->Name.toStdString();
        EXPECT_EQ(form.Label8->Caption(), "0");
        EXPECT_EQ(form.Label15->Caption(), c.zero2);
        EXPECT_EQ(form.Label19->Caption(), c.zero1);
        EXPECT_EQ(form.Label1->Caption(), "Port COM:");
        EXPECT_EQ(form.Label20->Caption(), "");
        EXPECT_EQ(form.Edit1->Text(), "1");

        // The resource's "Memo1" lines are gone and the emptying left the
        // cache clean; the handler is attached afterwards, so a user's edit
        // marks it dirty.
        EXPECT_EQ(form.Memo1->Lines()->Count(), 0);
        EXPECT_FALSE(P::FVelocityCacheDirty(form));
        EXPECT_TRUE(P::FVelocityCache(form).empty());
        EXPECT_GE(P::FVelocityCache(form).capacity(), 10000u);
        form.Memo1->Lines()->Add(QStringLiteral("812.5"));
        EXPECT_TRUE(P::FVelocityCacheDirty(form));

        EXPECT_EQ(P::FNextShotNumber(form), 1);
        EXPECT_EQ(ShownSeries().Stats().Count, 0);
        EXPECT_EQ(ShownSeries().NextX(), 1);
        EXPECT_EQ(form.ComboBox1->Style(), csDropDownList);
        EXPECT_EQ(form.Constraints.MinWidth, 800);
        EXPECT_EQ(form.Constraints.MinHeight, 296);
        EXPECT_TRUE(form.KeyPreview);
        EXPECT_EQ(P::FDesignClientWidth(form), 865);
        EXPECT_EQ(P::FDesignClientHeight(form), 554);
#if TARVEX_BLE
        ASSERT_EQ(form.Memo2->Lines()->Count(), 1);
        EXPECT_EQ(form.Memo2->Lines()->Strings(0), "Bluetooth scanner");
        EXPECT_EQ(form.Shape1->BrushColor(), RGB(192, 192, 192));
        EXPECT_NE(P::FScanIndex(form), nullptr);
        EXPECT_EQ(P::FIniPath(form), IniFilePath());
#endif
        CloseStartedForm();
    }
}

TEST_F(Startup, GridLabelsTakeTheGridFontAndTheFormIsCentred) {
    StartFormAndStopTimers();
    TForm1& form = Form();
    ASSERT_EQ(form.GridPanel1->ControlCount(), 14);
    for (int i = 0; i < form.GridPanel1->ControlCount(); ++i) {
        TControl* label = form.GridPanel1->Controls(i);
        SCOPED_TRACE(label->Name.toStdString());
        EXPECT_TRUE(label->ParentFont());
        EXPECT_EQ(label->Font()->Height(), -21);
        EXPECT_EQ(label->Font()->Color(), form.GridPanel1->Font()->Color());
    }
    EXPECT_FALSE(form.GridPanel1->ShowCaption);
    EXPECT_EQ(form.GridPanel1->Caption(), "");

    // The offscreen screen is smaller than the form, so this also covers a
    // left or top edge before the work area's.
    const TRect work = Screen()->WorkAreaRect();
    const TBounds b = FCreatedBounds;
    EXPECT_EQ(b.Left, work.Left + (work.Width() - b.Width) / 2);
    EXPECT_EQ(b.Top, work.Top + (work.Height() - b.Height) / 2);
}

TEST_F(Startup, PortNamedInTheSettingsIsSelectedElseTheFirstListed) {
    TPseudoTerminal terminal;
    ASSERT_TRUE(terminal.IsValid());
    struct Case {
        QString comPort;
        bool listed;
    };
    const Case cases[] = {{terminal.SlavePath(), true},
                          {QStringLiteral("ttyNoSuchPort77"), false},
                          {QString(), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comPort.toStdString());
        WriteTextFile(IniFilePath(), "[Settings]\nComPort=" + c.comPort.toUtf8() + "\n");
        StartFormAndStopTimers();
        TComboBox* box = Form().ComboBox1;
        if (c.listed) {
            ASSERT_GT(box->Items()->Count(), 0);
            EXPECT_EQ(box->Items()->Strings(box->Items()->Count() - 1), c.comPort);
            EXPECT_EQ(box->Text(), c.comPort);
        } else {
            // Only the machine's own ports are listed; the first is taken,
            // or none when there is none.
            const QStringList present = ListComPorts(QString());
            ASSERT_EQ(box->Items()->Count(), present.size());
            EXPECT_EQ(box->ItemIndex(), present.isEmpty() ? -1 : 0);
            EXPECT_EQ(box->Text(), present.value(0));
        }
        CloseStartedForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(Startup, SettingsFileThatCannotBeWrittenIsSaidOnceAndStartUpRunsEveryStep) {
    // An older file without CNV: the start-up's first write is refused.
    const QByteArray older = "[Settings]\r\nStyle=1\r\nMU=11\r\nCheckBoxAuto=1\r\n";
    struct Case {
        const char* name;
        bool folder;  // a folder in place of the file, else a file without write bits
        const char* cause;
    };
    const Case cases[] = {{"file without write permission", false, "Permission denied"},
                          {"folder in place of the file", true, "Is a directory"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FDialogs.Errors.clear();
        if (c.folder) {
            ASSERT_TRUE(QDir().mkpath(IniFilePath()));
        } else {
            WriteTextFile(IniFilePath(), older);
            ASSERT_TRUE(QFile::setPermissions(
                IniFilePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }

        // As the program start does it: the application creates the form
        // and shows the window.
        testing::internal::CaptureStderr();
        Application->CreateForm(Form1);
        FForm = Form1;
        const bool autoOpen = KillTimer(FForm, TIMER_COM_AUTOOPEN);
        KillTimer(FForm, TIMER_BLE_AUTOCONNECT);
        QCoreApplication::processEvents();
        const QString started = QString::fromStdString(testing::internal::GetCapturedStderr());

        // No box holds the start up; the status line and one line on the
        // standard error say it, with the cause.
        const QString refused = "Unable to write to " + IniFilePath() + " (" + c.cause + ")";
        EXPECT_EQ(FDialogs.Errors, QStringList());
        EXPECT_EQ(Status(), QStringLiteral("SETTINGS: cannot be saved (%1)").arg(c.cause));
        EXPECT_EQ(started.count(QStringLiteral("SETTINGS:")), 1) << started.toStdString();
        EXPECT_TRUE(started.contains(refused)) << started.toStdString();
        EXPECT_TRUE(Form().Showing());

        // Every step ran, with the values the file holds or the defaults.
        TForm1& form = Form();
        EXPECT_TRUE(autoOpen);
        EXPECT_EQ(P::FNextShotNumber(form), 1);
        EXPECT_EQ(form.Label1->Caption(), "Port COM:");
        EXPECT_EQ(form.ComboBox1->Style(), csDropDownList);
        EXPECT_TRUE(form.KeyPreview);
        EXPECT_TRUE(bool(form.OnResize));
        EXPECT_TRUE(bool(form.CheckBox2->OnClick));
        EXPECT_EQ(form.CheckBox2->Checked(), !c.folder);  // MU=11 from the file
        EXPECT_EQ(form.CheckBoxAuto->Checked(), !c.folder);
        EXPECT_EQ(form.Edit1->Text(), "1.0");  // the read default
        EXPECT_EQ(P::FDesignClientWidth(form), 865);
        if (c.folder) {
            EXPECT_TRUE(QFileInfo(IniFilePath()).isDir());
        } else {
            EXPECT_EQ(ReadFileBytes(IniFilePath()), older);
        }
        // The shots go on as ever.
        Receive({"812.3"});
        EXPECT_EQ(MemoLines(), QStringList{"812.3"});

        // Closing does not say it again in a box; the standard error keeps
        // the close's refusal.
        testing::internal::CaptureStderr();
        TCloseAction action = caFree;
        Form().FormClose(&Form(), action);
        const QString closed = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(FDialogs.Errors, QStringList());
        EXPECT_TRUE(closed.contains("SETTINGS: not saved on closing: " + refused))
            << closed.toStdString();
        delete FForm;
        FForm = nullptr;
        Form1 = nullptr;
        Application->OnMessage = nullptr;

        if (c.folder) {
            QDir(IniFilePath()).removeRecursively();
        } else {
            QFile::setPermissions(IniFilePath(), QFile::ReadOwner | QFile::WriteOwner);
            QFile::remove(IniFilePath());
        }
    }
}

TEST_F(Startup, OutputNamesFromTheSettingsStayInTheirFolder) {
    WriteTextFile(IniFilePath(),
                  "[TXTCSV]\n"
                  "Folder=./MYSHOTS\n"
                  "FileName=../../escape_$\n"
                  "INDEX=../up\n"
                  "[IMG]\n"
                  "Folder=./IMG\n"
                  "FileName=%_$\n"
                  "INDEX=001\n"
                  "[AUTOSAVE]\n"
                  "AUT=0\n"
                  "Folder=./AUTOSAVE\n"
                  "FileName=/tmp/$\n"
                  "INDEX=..\n");
    StartFormAndStopTimers();
    ASSERT_TRUE(FDialogs.Errors.isEmpty());

    struct Case {
        const char* section;
        const char* extension;
        const char* tag;
        const char* folder;
        const char* name;
    };
    const Case cases[] = {
        {"TXTCSV", ".txt", "", "MYSHOTS", ".._.._escape_.._up.txt"},
        {"IMG", ".jpg", "../../etc/x", "IMG", ".._.._etc_x_001.jpg"},
        {"IMG", ".jpg", "..\\..\\x", "IMG", ".._.._x_001.jpg"},
        {"IMG", ".jpg", "..", "IMG", ".._001.jpg"},
        {"AUTOSAVE", ".csv", "", "AUTOSAVE", "_tmp_...csv"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = FDir.filePath(QString::fromLatin1(c.folder)) + u'/';
        const QString path = BuildOutputPath(c.section, c.extension, c.tag);
        EXPECT_EQ(path, folder + c.name);
        EXPECT_TRUE(QDir::cleanPath(path).startsWith(folder));
        EXPECT_TRUE(QFileInfo(folder).isDir());
    }
    // Nothing was made outside the program's folder.
    EXPECT_EQ(SubFolders(FDir.path()), (QStringList{"AUTOSAVE", "IMG", "MYSHOTS"}));
}
