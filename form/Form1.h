#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include <QString>
#include <QStringList>

#include "links/core/ReceivedLineQueue.h"
#include "links/core/SerialLink.h"
#include "platform/ui/Forms.h"
#include "series/core/Filter.h"
#include "series/core/NumberText.h"
#include "series/core/ShotSeries.h"
#include "storage/core/SettingsSnapshot.h"
#include "storage/core/AutoSaver.h"

// TARVEX_BLE picks the program (1 Tarvex, 0 Tarvex Serial); the form
// libraries set it, nothing guesses it.
#ifndef TARVEX_BLE
#error "TARVEX_BLE is set by the form libraries (tarvex_form, tarvex_form_serial)"
#endif

class TChart;
class ChartSeries;
class ChartAxis;
class TLineSeries;
class TBarSeries;
using TChartSeries = ChartSeries;
using TChartAxis = ChartAxis;
// The Bluetooth LE link and its adapter (Tarvex; null in Tarvex Serial).
class TBleLink;
class TBluetoothLE;
struct TSettingsRefusal;
// Frees the form's Bluetooth LE link: defined with the link in Tarvex, and
// as doing nothing in Tarvex Serial, whose form never has one.
struct TBleLinkDelete {
    void operator()(TBleLink* link) const noexcept;
};

// Window messages of the main form.
constexpr UINT WM_LINES_RECEIVED = WM_APP + 101;    // a link queued received lines
constexpr UINT WM_RUN_ANALYSIS = WM_APP + 102;      // wParam: TAnalysisCommand
constexpr UINT WM_AUTOSAVE_CATCHUP = WM_APP + 103;  // automatic saving has files due

// Window timers of the main form.
constexpr WPARAM TIMER_FADE_IN = 777;
constexpr WPARAM TIMER_BLE_AUTOCONNECT = 778;
constexpr WPARAM TIMER_COM_AUTOOPEN = 779;

// Window timer intervals, in milliseconds: the fade-in step, and the
// start-up's opening of the stored port and its Bluetooth LE connect.
constexpr UINT FadeInStepMs = 10;
constexpr UINT ComAutoOpenDelayMs = 700;
constexpr UINT BleAutoConnectDelayMs = 1500;

// How the chart draws the shots ([Settings] ChartType).
enum class TChartType : std::int32_t { Circles = 0, Crosses = 1, Bars = 2 };
// How the chart colours a new point ([Settings] ChartColor): all alike, by a
// cycle of eight colours, or by its rise or fall from the point before.
enum class TChartColor : std::int32_t { Plain = 0, Cycle = 1, Trend = 2 };

// The velocity axis's margins above and below the shots, as a share of their
// spread: the "Auto" box and the "Auto 50%" box.
constexpr double TightAxisMargin = 0.05;
constexpr double WideAxisMargin = 0.5;

// Analysis commands and what the shot list shows.
// The commands run through the analysis frame; the value travels as the
// wParam of WM_RUN_ANALYSIS.
enum class TAnalysisCommand : std::int32_t { None = 0, Refresh = 1, Sym = 2, Cmp = 3, DV = 4 };

// Where "+" and "-" hold the scrolling shot window: its centre, its first
// shot or its last shot.
enum class TZoomAnchor : std::int32_t { Centre = 0, Start = 1, End = 2 };

// Where the scrolling shot window goes when the series is shown anew: to its
// last shot (a grown or rebuilt shot series), or to the start (a derived
// series, a recomputed or an emptied one).
enum class TShotWindowAt { LastShot, Start };

// What releasing the shot list's lock does with the input the serial port
// holds unread: a command that ends its own lock (REFRESH, a command that
// left the list alone) purges it, as it arrived while the list was not the
// shots; CLEAR, FILTER and LOAD keep it, as they take the list over for good.
enum class TPortInput { Keep, Purge };

// One control's design bounds and font size, re-applied on every resize.
struct TLayoutRecord {
    TControl* Control = nullptr;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int FontSize = 0;
};

// The program's one window. Its member functions live in the folders of the
// subsystems that own them (form/, series/, storage/, links/).
class TForm1 : public TForm {
public:
    // Controls of the form resource, in resource order, each with its role.
    TLabel* Label1;              // "Port COM:"
    TComboBox* ComboBox1;        // serial port list
    TButton* Button1;            // OPEN / CLOSE the serial port
    TButton* ButtonSave;         // SAVE the shot list
    TButton* Button2;            // LOAD a shot file
    TButton* ButtonClear;        // CLEAR the shots
    TMemo* Memo1;                // the shot list, one value per line (and log lines)
    TCheckBox* CheckBox2;        // "Mix": the weight in the other unit system
    TCheckBox* CheckBox1;        // "Units": metric when ticked
    TCheckBox* CheckBoxScroll;   // "Chart": scrolling shot window
    TCheckBox* CheckBoxAuto;     // "Auto": tight velocity-axis margins
    TCheckBox* CheckBoxAuto50;   // "Auto50": wide velocity-axis margins
    TLabel* Label2;              // last velocity, big
    TLabel* Label15;             // last energy or power factor, big
    TLabel* Label16;             // velocity unit
    TLabel* Label17;             // energy unit or "PF"
    TLabel* Label18;             // weight unit
    TGridPanel* GridPanel1;      // statistics grid: captions left, values right
    TLabel* Label9;              // caption "VAVG"
    TLabel* Label3;              // average velocity
    TLabel* Label10;             // caption "VMAX"
    TLabel* Label4;              // highest velocity
    TLabel* Label11;             // caption "VMIN"
    TLabel* Label5;              // lowest velocity
    TLabel* Label12;             // caption "dV"
    TLabel* Label6;              // spread, VMAX - VMIN
    TLabel* Label13;             // caption "SV"
    TLabel* Label7;              // standard deviation
    TLabel* Label14;             // caption "NR"
    TLabel* Label8;              // number of shots
    TLabel* Label21;             // caption "EAVG" or "PAVG"
    TLabel* Label19;             // average energy or power factor
    TEdit* Edit1;                // bullet weight
    TSpeedButton* SpeedButton8;  // "IM": report image
    TSpeedButton* SppeButton3;   // "-": widen the shot axis
    TSpeedButton* SpeedButton4;  // "+": narrow the shot axis
    TSpeedButton* SpeedButton3;  // "R": REFRESH
    TSpeedButton* SpeedButton5;  // "SYM"
    TSpeedButton* SpeedButton6;  // "CMP"
    TSpeedButton* SpeedButton7;  // "dV"
    TSpeedButton* SpeedButton1;  // "X0": shot window to the first shot
    TSpeedButton* SpeedButton2;  // "XN": shot window to the last shot
    TLabel* Label20;             // the status line
    TChart* Chart1;              // the velocity chart
    TLineSeries* Series1;        // the chart's line series (bars are made at run time)
    // The Bluetooth LE row (Tarvex); null in Tarvex Serial.
    TShape* Shape1 = nullptr;              // Bluetooth LE link lamp
    TEdit* Edit2 = nullptr;                // Bluetooth LE device name or address
    TButton* CONNECT = nullptr;            // connect to the device of Edit2
    TCheckBox* CheckBox3 = nullptr;        // auto-connect at start
    TMemo* Memo2 = nullptr;                // Bluetooth LE link status and scan list
    TButton* SCAN = nullptr;               // scan for devices
    TBluetoothLE* BluetoothLE1 = nullptr;  // the Bluetooth LE adapter
    TBalloonHint* BalloonHint1;            // shows the hints of the unit labels

    explicit TForm1(TComponent* owner);
    ~TForm1() override;

    // ---- Form life cycle, message map and timers (form/Form1.cpp)
    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void Dispatch(TMessage& message) override;
    void HandleTimer(TMessage& message);

    // ---- Layout and resizing (form/Layout.cpp)
    void RecordControlBounds();
    void FormResize(TObject* Sender);
    void HandleSysCommand(TMessage& message);
    void FitLabelFont(TLabel* label, const QString& text);

    // ---- Chart view (form/ChartView.cpp)
    void LoadChartSettings();
    void AddChartPoint(double x, double y, bool hasPrevious, double previous);
    void UpdateXAxis();
    void UpdateYAxis(double margin);
    void UpdateBarWidth(bool repaint);
    void ResetBarWidth(bool repaint);
    // The velocity axis follows the margin box that is ticked, if any;
    // false when none is.
    bool FitVelocityAxis();
    void CheckBoxScrollClick(TObject* Sender);
    void CheckBoxAutoClick(TObject* Sender);
    void CheckBoxAuto50Click(TObject* Sender);
    void SpeedButton1Click(TObject* Sender);
    void SpeedButton2Click(TObject* Sender);
    void MoveShotWindow(bool toStart);
    void SppeButton3Click(TObject* Sender);
    void SpeedButton4Click(TObject* Sender);
    void ZoomShotAxis(bool zoomIn);
    void Chart1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void Chart1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Chart1GetAxisLabel(TChartAxis* Sender, TChartSeries* Series, int ValueIndex,
                            QString& LabelText);
    void Chart1BeforeDrawSeries(TObject* Sender);

    // ---- Keyboard, units and hints (form/Keyboard.cpp)
    void AppMessage(TMsg& Msg, bool& Handled);
    void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
    void AnalysisButtonEnter(TObject* Sender);
    void AnalysisButtonLeave(TObject* Sender);
    void CheckBox1Click(TObject* Sender);
    void Edit1Change(TObject* Sender);
    void Label16MouseEnter(TObject* Sender);
    void Label17MouseEnter(TObject* Sender);
    void Label18MouseEnter(TObject* Sender);

    // ---- Number text (series/DisplayFormat.cpp)
    void LoadDisplayFormat();

    // ---- Line intake (series/LineIntake.cpp)
    void ProcessIncomingLine(const QString& line);
    void LoadCounterSettings();

    // ---- Velocity cache and statistics (series/VelocityCache.cpp)
    void Memo1Change(TObject* Sender);
    int CountNumericMemoLines();
    // True when the velocity cache may not match the shot list: marked dirty
    // (the list was edited by hand) or holding another count of values than
    // the list's value lines (CountNumericMemoLines).
    bool VelocityCacheStale();
    void RebuildVelocityCache(bool metric);
    double DisplayVelocity(double metresPerSecond);
    void RecomputeStatistics();
    // Empties Memo1 as a change of the program (FMemoUpdating set).
    void EmptyShotList();
    void ShowStatsLabels();
    // The value and energy labels read as for an empty list; the statistics
    // labels show the series' statistics.
    void ShowClearedShotLabels();
    // Shows the series' statistics and last value: the value, energy and
    // statistics labels (the cleared texts for an empty series), fitted.
    void ShowSeriesLabels();
    // The shot axis after the series changed: with the scrolling window, the
    // window at its last shot (at) or at the start; else the fitted axis.
    void ShowShotWindow(TShotWindowAt at);
    // Forgets a shot window set by "+", "-", "X0" or "XN".
    void ResetZoom();

    // ---- Units, weight, energy, power factor (series/Units.cpp)
    bool IsCnvMode();
    void ParseWeightEdit(bool units, bool mix, bool save);
    void ShowWeight(bool save);
    void SaveMultiplier();
    void LoadMultiplier();
    QString PowerFactorText(double velocity);
    QString ZeroEnergyText();
    QString ZeroAverageEnergyText();
    void UpdateUnitLabels();
    void ShowLastEnergy();
    void ShowAverageEnergy();
    void RefreshEnergyLabels();
    void TogglePowerFactor();
    void TogglePowerFactorIpsc();
    void ScaleStoredValues(double factor);

    // ---- Filter, rebuild, analysis commands
    void FilterCommand();
    // Makes the values of lines (RebuildLineValue: the number in each line,
    // log lines passed over) the shown series: the last ShotListKept values become
    // the velocity cache, the chart, the statistics and, with refill, the
    // shot list (other lines vanish from it); the next live shot continues
    // the numbering. Leaves Label20, the memo lock and
    // the series' FAnalysisMode to the caller. Flags of the batch are restored on every
    // path; a failure passes on.
    void RebuildFromLines(const QStringList& lines, bool refill);
    // Shows derived values (SYM, CMP, dV) as the shot list, at most the first
    // ShotListKept, marked as derived (the series' FDerivedValues); the next live shot would
    // take the number 1.
    void ReloadValues(const QStringList& texts);
    // The common body of the two rebuilds, on values already chosen.
    void ShowValues(std::span<const double> values, bool derived, bool refill);
    void ButtonClearClick(TObject* Sender);
    void RefreshCommand();
    void BeginAnalysisCommand(TAnalysisCommand command);
    void RunAnalysisCommand(TMessage& message);
    // Ends the open command frame: busy cleared, cursor and buttons back.
    void CloseAnalysisFrame();
    void ShowCommandProgress();
    void ClearCommandProgress();
    // Keeps the trimmed non-empty lines of Memo1 in FMemoSnapshot, locks the
    // list and has the receive path drop data.
    void LockMemo();
    // Puts the kept lines back into Memo1 when locked with a snapshot (true),
    // then releases the lock and reopens the receive path.
    bool UnlockMemo();
    // Drops the kept lines, releases the lock and reopens the receive path
    // (its queue emptied; the port's unread input as input says).
    void ReleaseMemoLock(TPortInput input);
    // SYM, CMP and dV: true when the shot list shows their result, false
    // (with a message, or a cancelled dialog) when they left it alone.
    bool MirrorCommand();
    bool CompareCommand();
    bool DeltaCommand();
    // The values of the value lines of Memo1 (ShotLineValue), in order.
    std::vector<double> ParseMemoNumbers();
    void SpeedButton3Click(TObject* Sender);
    void SpeedButton5Click(TObject* Sender);
    void SpeedButton6Click(TObject* Sender);
    void SpeedButton7Click(TObject* Sender);

    // ---- Settings and files (storage/)
    void LoadTxtFormat();
    void ButtonSaveClick(TObject* Sender);
    void Button2Click(TObject* Sender);
    void SpeedButton8Click(TObject* Sender);
    // The format of a shot file written now: the save format, the weight
    // box and the units as the window shows them.
    TShotsFileSettings ShotsFileSettingsNow();
    // A line the intake put into the shot list goes to automatic saving
    // (FAutoSaver) when it came from a link (LiveInput).
    void AutoSaveOnShot(const QString& text);
    // On closing: the automatic save's files still due are written.
    void AutoSaveOnClose();
    // Draws the report picture and saves it as a JPEG through the save dialog.
    void ExportReportImage();

    // ---- Serial port and received lines (links/)
    bool OpenComPort(bool showMessages);
    void CloseComPort();
    bool SelectComPort(const QString& name);
    void AutoOpenComPort();
    void Button1Click(TObject* Sender);
    // Starts the serial link's read thread; a port that goes away under it
    // is closed as CLOSE does.
    void StartReadThread();
    // Handles WM_LINES_RECEIVED: takes queued lines in arrival order for
    // under a frame (at least the first 64) and posts the message again
    // when lines remain, so the window answers while a flood is worked off.
    void DrainReceivedLines();
    // Takes every queued line at once; for the close, after the read thread
    // has stopped, so that no line read from the port is lost.
    void FinishReceivedLines();
    void ResetReceive(bool discard, bool purge);
    // Appends line to memo as its last line and keeps it at ShotListKept lines.
    static void MemoAppendLine(TMemo* memo, const QString& line);

private:
    // Tests inspect the state through TForm1Probe (tests/support).
    friend class TForm1Probe;
    // Where a shortcut key press comes from: the application hook sees every
    // key press first, FormKeyDown only those that bypass it.
    enum class TShortcutSource { Hook, FormKeyDown };
    // Runs the shortcut (Ctrl held) of key; false for a key that is none.
    bool RunShortcut(WORD key, bool shift, TShortcutSource source);
    // The form resource, created in resource order by the steps below.
    void LoadResource();
    void LoadFormFrame();
    void LoadPortAndFileControls();
    void LoadOptionBoxes();
    void LoadValueLabels();
    void LoadStatisticsGrid();
    void LoadWeightAndToolButtons();
    void LoadStatusLine();
    void LoadChartResource();
    // FormCreate's steps, in the order it runs them (form/FormCreate.cpp).
    void CompleteSettingsFile();
    void RepairSettingsSections();
    void LoadStartSettings();
    void StartFadeIn();
    void SetUpHintsAndMinimumWidth();
    void SetUpWindowAndChart();
    void SetUpShotList();
    void SetUpLabelsAndPortList();
    void ResetChartAndStatistics();
    void KeepBaseFonts();
    void ShowZeroValues();
    void RestoreSavedChoices();
    void AttachInputHandlers();
    void RecordDesignLayoutAndCentre();
#if TARVEX_BLE
    void SetUpBleLink();
#endif
    void StartOneShotTimers();
    // Says once in a run, in the status line and on the standard error,
    // that the settings cannot be saved and why.
    void SayUnsavedSettings(const TSettingsRefusal& refusal);
    // The clean-up shared by FormClose and the destructor; each frees only
    // what is still held and clears the member it frees, so running it twice
    // frees nothing twice. ShutDownLinks stops and joins every link thread.
    void FreeBaseFonts();
    void ShutDownLinks();
    // One run of the drain until the queue is empty or the deadline has
    // passed; returns whether lines remain queued.
    bool ProcessReceivedLines(std::chrono::steady_clock::time_point deadline);
#if TARVEX_BLE
    void LoadBleControls();
#endif
    void LoadTabOrder();
    void WireResourceEvents();
    // What automatic saving uses of the window (storage/AutoSave.cpp).
    TAutoSaverHost AutoSaverHost();

    // ---- Private state, grouped by owner.
    // Chart settings and series.
    TChartSeries* FActiveSeries = nullptr;
    TBarSeries* FBarSeries = nullptr;
    TChartType FChartType = TChartType::Circles;
    TChartColor FChartColor = TChartColor::Cycle;
    std::int32_t FChartLineWidth = 1;
    std::int32_t FChartMarkerSize = 5;
    // Percent of a shot's slot; 0 (until the settings are read) draws ChartBarWidthDefault.
    std::int32_t FChartBarWidth = 0;
    std::int32_t FAppliedBarWidth = -1;
    // Fade-in.
    std::int32_t FFadeSteps = 2;
    // Proportional layout.
    TFont* FLabel2BaseFont = nullptr;
    TFont* FLabel15BaseFont = nullptr;
    std::vector<TLayoutRecord> FLayout;
    std::int32_t FDesignClientWidth = 0;
    std::int32_t FDesignClientHeight = 0;
    bool FResizing = false;
    // Save format.
    bool FTxtFormat = false;
    // The settings a live shot reads, kept from the settings file; whether
    // this run has said that the file refuses its writes.
    TSettingsSnapshot FSettings;
    bool FSettingsUnsavedSaid = false;
    // Filter.
    TFilterConfig FFilter{};
    // The decimal-part picture of the big velocity value (FormatValue): the
    // default until LoadDisplayFormat reads it at start-up, which is the only
    // writer.
    QString DecFmt = QString::fromLatin1(DefaultDecFmt);
    // The shown shot series: velocity cache, statistics, numbering, chart x.
    TShotSeries FSeries;
    // True only while the drain passes received lines on (live shots).
    bool LiveInput = false;
    // True during a batch of list updates: the chart repaints once at the end.
    bool BatchUpdate = false;
    // The received-line queue (links/core/ReceivedLineQueue.h): both links
    // feed it, and it posts WM_LINES_RECEIVED whenever lines go into it
    // empty. The serial link owns the port and its read thread, which feeds
    // the queue; declared after it, so the thread has stopped before the
    // queue goes.
    TReceivedLineQueue FReceivedLineQueue{[this] { PostMessage(this, WM_LINES_RECEIVED, 0, 0); }};
    TSerialLink FSerialLink{FReceivedLineQueue};
    // Bluetooth LE link (links/ble/BleLink.h): its state, device, timers and
    // workers. Made by FormCreate in Tarvex, closed by FormClose, freed by the
    // destructor; null in Tarvex Serial.
    std::unique_ptr<TBleLink, TBleLinkDelete> FBleLink;
    // Unit state of the stored values.
    bool FLastUnitsMetric = true;
    bool FLastWeightMix = false;
    // Weight and list updates.
    bool FUpdatingWeight = false;
    bool FMemoUpdating = false;
    double FWeightGrams = 1.0;
    bool FWeightLoaded = false;  // a weight was read from the box or the settings
    // Power-factor display.
    bool FPowerFactorMode = false;
    bool FPowerFactorIpsc = false;
    // Shot-axis window.
    std::int32_t FZoomSteps = 0;
    TZoomAnchor FZoomAnchor = TZoomAnchor::Centre;
    bool FZoomActive = false;
    // Analysis commands.
    bool FCommandBusy = false;
    TAnalysisCommand FRunningCommand = TAnalysisCommand::None;
    TAnalysisCommand FHoveredCommand = TAnalysisCommand::None;
    // Automatic saving: its buffer, the loaded lines and the files due.
    TAutoSaver FAutoSaver;
    // Memo lock.
    std::vector<QString> FMemoSnapshot;
    bool FMemoLocked = false;
};

// The one main form, set when the application creates it.
extern TForm1* Form1;
