// Start-up of the main form. The order of the steps matters: the chart
// series exists before it is emptied, Memo1 is emptied before its change
// handler is attached, the check boxes are restored before CheckBox2 gets
// its handler, and the design layout is recorded before anything moves the
// window. Every step runs whatever the settings file does: a write that it
// refuses leaves the values read in memory, and the refusal is said once
// start-up is done.
#include "form/Form1.h"

#include "app/Style.h"
#include "platform/core/ScopeGuard.h"
#include "series/FilterSettings.h"
#include "platform/serial/PortList.h"
#include "platform/chart/Chart.h"
#include "platform/core/IniFile.h"
#include "platform/core/StandardError.h"
#include "storage/ProgramSettings.h"
#include "variants/BuildVariant.h"
#if TARVEX_BLE
#include "links/ble/BleLink.h"
#include "platform/ble/BluetoothLE.h"
#endif

void TForm1::FormCreate(TObject* /*Sender*/) {
    // The Ctrl shortcuts work whatever control has the focus.
    Application->OnMessage = [this](TMsg& msg, bool& handled) { AppMessage(msg, handled); };

    // A settings file on a read-only medium or in a folder the user cannot
    // write is no reason to start without the port list, the handlers or
    // the port opened at start: the writes below go on past a refusal.
    TSettingsRefusals refusals;
    CompleteSettingsFile();
    // Once more, now that the form's controls exist to take the style.
    ApplySavedStyle();
    RepairSettingsSections();
    LoadStartSettings();
    StartFadeIn();
    SetUpHintsAndMinimumWidth();
    LoadTxtFormat();
    SetUpWindowAndChart();
    SetUpShotList();
    SetUpLabelsAndPortList();
    ResetChartAndStatistics();
    KeepBaseFonts();
    ShowZeroValues();
    RestoreSavedChoices();
    AttachInputHandlers();
    RecordDesignLayoutAndCentre();
#if TARVEX_BLE
    SetUpBleLink();
#endif
    StartOneShotTimers();
    // What a live shot reads of the settings, read now that start-up has
    // written them, so that the first shot opens no file either.
    FSettings.Current();
    if (refusals.First()) SayUnsavedSettings(*refusals.First());
}

void TForm1::SayUnsavedSettings(const TSettingsRefusal& refusal) {
    if (FSettingsUnsavedSaid) return;
    FSettingsUnsavedSaid = true;
    // No box: the cause (a read-only medium, a folder the user cannot write)
    // is there at every start and the program works all the same, so it is
    // said where the program's other states are, and once in full where a
    // log keeps it.
    Label20->SetCaption(QStringLiteral("SETTINGS: cannot be saved") +
                        SystemErrorCause(refusal.Error));
    PrintStandardError(
        QStringLiteral("SETTINGS: cannot be saved; this run keeps them in memory: ") +
        refusal.Message);
}

void TForm1::CompleteSettingsFile() {
    // Defaults, then the keys older files lack. A key that is present keeps
    // its value, also an empty or odd one; nothing else is touched.
    CreateDefaultIni();
    if (SettingsFileExists()) {
        TIniFile ini(IniPath());
        for (const TSettingKey& key : {Setting::Cnv, Setting::OpenCom})
            if (!SettingExists(ini, key)) WriteSettingDefault(ini, key);
    }
    // Keys of the other program, when this one's file holds them.
    RemoveOtherBuildSettings();
}

void TForm1::RepairSettingsSections() {
    EnsureFilterSection();
    RepairOutputSections();
    // What writers killed mid-write left beside the settings file and in
    // the output folders goes, now that the folders are named.
    RemoveLeftoverTemporaryFiles();
}

void TForm1::LoadStartSettings() {
    LoadChartSettings();
    FFilter = LoadFilterConfig();
    LoadCounterSettings();
    FSeries.StartNumbering();
}

void TForm1::StartFadeIn() {
    // From almost transparent; the window timer takes it to opaque.
    SetAlphaBlend(true);
    SetAlphaBlendValue(1);
    FFadeSteps = 2;
    SetTimer(this, TIMER_FADE_IN, FadeInStepMs);
}

void TForm1::SetUpHintsAndMinimumWidth() {
    Constraints.MinWidth = 800;
    ApplyConstraints();
    for (TLabel* label : {Label18, Label16, Label17}) {
        label->SetShowHint(true);
        label->SetCustomHint(BalloonHint1);
    }
}

void TForm1::SetUpWindowAndChart() {
    DoubleBuffered = true;
    ParentBackground = false;
    Chart1->DoubleBuffered = true;
    Chart1->OnGetAxisLabel = [this](TChartAxis* axis, TChartSeries* series, int index,
                                    QString& text) {
        Chart1GetAxisLabel(axis, series, index, text);
    };
    Chart1->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x,
                                 int y) { Chart1MouseDown(sender, button, shift, x, y); };
    Chart1->OnBeforeDrawSeries = Handler(this, &TForm1::Chart1BeforeDrawSeries);
    Chart1->SetView3D(false);
    Chart1->Legend()->SetVisible(false);
    GridPanel1->DoubleBuffered = true;
    Chart1->BottomAxis()->SetAutomatic(false);
    Chart1->BottomAxis()->SetMinMax(0, FullWindowShots - 1);
    Chart1->LeftAxis()->SetAutomatic(true);
    FAppliedBarWidth = -1;
    UpdateBarWidth(true);
    BorderIcons = TBorderIcons{true, true, true};
    ApplyBorderIcons();
}

void TForm1::SetUpShotList() {
    // The list starts empty whatever the resource held; its change handler
    // comes after, so emptying it runs nothing.
    Memo1->SetScrollBars(ssVertical);
    Memo1->SetWordWrap(true);
    Memo1->HideSelection = false;
    EmptyShotList();
    Memo1->OnChange = Handler(this, &TForm1::Memo1Change);
}

void TForm1::SetUpLabelsAndPortList() {
    UpdateUnitLabels();
    GridPanel1->ShowCaption = false;
    GridPanel1->SetCaption(QString());
    Label1->SetCaption(QStringLiteral("Port COM:"));
    Label20->SetCaption(QString());
    for (TSpeedButton* button : {SpeedButton3, SpeedButton5, SpeedButton6, SpeedButton7}) {
        button->OnMouseEnter = Handler(this, &TForm1::AnalysisButtonEnter);
        button->OnMouseLeave = Handler(this, &TForm1::AnalysisButtonLeave);
    }
    ComboBox1->SetStyle(csDropDownList);
    // A port named in the settings is listed too when it exists, so any
    // terminal device can be used by naming it there.
    const QStringList ports =
        ListComPorts(ReadSettingString(TIniFile(IniPath()), Setting::ComPort));
    ComboBox1->Items()->Clear();
    for (const QString& port : ports) ComboBox1->Items()->Add(port);
}

void TForm1::ResetChartAndStatistics() {
    // Points stay in the order they are added.
    FActiveSeries->Clear();
    FActiveSeries->SetXValuesOrder(loNone);
    FSeries.StatsReset();
}

void TForm1::KeepBaseFonts() {
    // The resource's big fonts, from which resizing scales.
    FLabel2BaseFont = new TFont();
    FLabel2BaseFont->Assign(*Label2->Font());
    FLabel15BaseFont = new TFont();
    FLabel15BaseFont->Assign(*Label15->Font());
}

void TForm1::ShowZeroValues() {
    LoadDisplayFormat();
    // The series was reset above: its labels read as after CLR.
    ShowClearedShotLabels();
    Edit1->SetAlignment(taCenter);
}

void TForm1::RestoreSavedChoices() {
    // Units, weight, check boxes and port. Setting a box runs the handler it
    // has now: CheckBox2 has none yet, so restoring it runs nothing.
    CreateDefaultIni();
    TIniFile ini(IniPath());
    const TUnitsSetting units = DecodeUnits(ReadSettingInteger(ini, Setting::Mu));
    CheckBox1->SetChecked(units.Metric);
    CheckBox2->SetChecked(units.Mix);

    if (IsCnvMode()) {
        LoadMultiplier();
    } else {
        // The stored weight is read, not entered: the box's change handler,
        // which saves every entered weight, stays out of it.
        {
            FUpdatingWeight = true;
            const TScopeGuard weightShown([this] { FUpdatingWeight = false; });
            Edit1->SetText(ReadSettingString(ini, Setting::Multiplier));
        }
        ParseWeightEdit(CheckBox1->Checked(), CheckBox2->Checked(), false);
    }

    CheckBoxScroll->SetChecked(ReadSettingBool(ini, Setting::CheckBoxScroll));
    CheckBoxAuto->SetChecked(ReadSettingBool(ini, Setting::CheckBoxAuto));
    CheckBoxAuto50->SetChecked(ReadSettingBool(ini, Setting::CheckBoxAuto50));
#if TARVEX_BLE
    CheckBox3->SetChecked(ReadSettingBool(ini, Setting::CheckBoxBtAuto));
#endif

    // The combo box's search: the whole text, letter case ignored.
    const int found = ComboBox1->Items()->IndexOf(ReadSettingString(ini, Setting::ComPort));
    if (found >= 0)
        ComboBox1->SetItemIndex(found);
    else if (ComboBox1->Items()->Count() > 0)
        ComboBox1->SetItemIndex(0);
}

void TForm1::AttachInputHandlers() {
    CheckBox2->OnClick = Handler(this, &TForm1::CheckBox1Click);
    UpdateUnitLabels();
    ShowLastEnergy();
    ShowAverageEnergy();
    FLastUnitsMetric = CheckBox1->Checked();
    FLastWeightMix = CheckBox2->Checked();
    OnResize = Handler(this, &TForm1::FormResize);
    KeyPreview = true;
    OnKeyDown = [this](TObject* sender, WORD& key, TShiftState shift) {
        FormKeyDown(sender, key, shift);
    };
}

void TForm1::RecordDesignLayoutAndCentre() {
    // The design layout, from the resource's bounds, before anything moves
    // the window; the grid's labels take the grid's font, which resizing
    // scales.
    if (FDesignClientWidth == 0 && FDesignClientHeight == 0) {
        FDesignClientWidth = ClientWidth();
        FDesignClientHeight = ClientHeight();
        FLayout.clear();
        RecordControlBounds();
        for (int i = 0; i < GridPanel1->ControlCount(); ++i)
            if (auto* label = dynamic_cast<TLabel*>(GridPanel1->Controls(i)))
                label->SetParentFont(true);
    }

    // Centred in the work area (the divisions truncate toward zero), also
    // when the form is larger than it.
    const TRect work = Screen()->WorkAreaRect();
    SetBounds(work.Left + (work.Width() - Width()) / 2, work.Top + (work.Height() - Height()) / 2,
              Width(), Height());
}

#if TARVEX_BLE
void TForm1::SetUpBleLink() {
    Memo2->Lines()->Clear();
    Memo2->SetText(QStringLiteral("Bluetooth scanner"));
    BluetoothLE1->SetEnabled(true);
    // The link makes its timers, its device index and its workers, and
    // lights the lamp silver.
    TBleLinkHost host;
    host.Adapter = BluetoothLE1;
    host.Lamp = Shape1;
    host.Target = Edit2;
    host.Status = Memo2;
    host.AutoConnect = CheckBox3;
    host.QueueLine = [this](TReceivedLine line) { FReceivedLineQueue.Push(std::move(line)); };
    host.Discarding = [this] { return FReceivedLineQueue.Discarding(); };
    // A new connection starts a new automatic-save batch, as opening the
    // serial port does.
    host.ConnectStarted = [this] { FAutoSaver.StartAfresh(); };
    FBleLink.reset(new TBleLink(std::move(host), IniPath()));
    FBleLink->LoadBleLast();
    // The buttons go straight to the link; it hooks the adapter's events
    // itself.
    SCAN->OnClick = Handler(FBleLink.get(), &TBleLink::SCANClick);
    CONNECT->OnClick = Handler(FBleLink.get(), &TBleLink::CONNECTClick);
}
#endif

void TForm1::StartOneShotTimers() {
    // The port opens, and the Bluetooth LE device connects when its box is
    // ticked, once the window is up and the message loop runs.
    SetTimer(this, TIMER_COM_AUTOOPEN, ComAutoOpenDelayMs);
#if TARVEX_BLE
    if (CheckBox3->Checked()) SetTimer(this, TIMER_BLE_AUTOCONNECT, BleAutoConnectDelayMs);
#endif
}
