#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include <QString>
#include <QStringList>

#include "links/SerialLink.h"
#include "platform/ui/Forms.h"
#include "series/core/Filter.h"

#ifndef TARVEX_BLE
#define TARVEX_BLE 1
#endif

class TChart;
class ChartSeries;
class ChartAxis;
class TLineSeries;
class TBarSeries;
using TChartSeries = ChartSeries;
using TChartAxis = ChartAxis;
#if TARVEX_BLE
#include "platform/ble/BluetoothLE.h"
class TBleWorkers;

// The 16-bit UUIDs 0xFFE1, 0xFFE7 (notify characteristics) and 0x2902 (client
// characteristic configuration) on the Bluetooth base UUID.
extern const TGUID CharUuidFFE1;
extern const TGUID CharUuidFFE7;
extern const TGUID CccdUuid;
#endif

// Window messages of the main form.
constexpr UINT WM_LINES_RECEIVED = WM_APP + 101;  // a link queued received lines
constexpr UINT WM_RUN_ANALYSIS = WM_APP + 102;    // wParam: TAnalysisCommand

// Window timers of the main form.
constexpr WPARAM TIMER_FADE_IN = 777;
constexpr WPARAM TIMER_BLE_AUTOCONNECT = 778;
constexpr WPARAM TIMER_COM_AUTOOPEN = 779;

// Timer intervals, in milliseconds: the fade-in step, the start-up's opening
// of the stored port and its Bluetooth LE connect, the watchdogs of a connect
// and of a subscription, and the keep-alive write.
constexpr UINT FadeInStepMs = 10;
constexpr UINT ComAutoOpenDelayMs = 700;
constexpr UINT BleAutoConnectDelayMs = 1500;
constexpr unsigned ConnectWatchdogMs = 12000;
constexpr unsigned SubscribeWatchdogMs = 15000;
constexpr unsigned KeepAliveMs = 5000;

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
// What the shot list shows: the shots, or the series a command derived.
enum class TAnalysisMode : std::int32_t { Shots = 0, Sym = 1, Cmp = 2, DV = 3 };

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
    // Controls of the form resource, in resource order.
    TLabel* Label1;
    TComboBox* ComboBox1;
    TButton* Button1;
    TButton* ButtonSave;
    TButton* Button2;
    TButton* ButtonClear;
    TMemo* Memo1;
    TCheckBox* CheckBox2;
    TCheckBox* CheckBox1;
    TCheckBox* CheckBoxScroll;
    TCheckBox* CheckBoxAuto;
    TCheckBox* CheckBoxAuto50;
    TLabel* Label2;
    TLabel* Label15;
    TLabel* Label16;
    TLabel* Label17;
    TLabel* Label18;
    TGridPanel* GridPanel1;
    TLabel* Label9;
    TLabel* Label3;
    TLabel* Label10;
    TLabel* Label4;
    TLabel* Label11;
    TLabel* Label5;
    TLabel* Label12;
    TLabel* Label6;
    TLabel* Label13;
    TLabel* Label7;
    TLabel* Label14;
    TLabel* Label8;
    TLabel* Label21;
    TLabel* Label19;
    TEdit* Edit1;
    TSpeedButton* SpeedButton8;
    TSpeedButton* SppeButton3;
    TSpeedButton* SpeedButton4;
    TSpeedButton* SpeedButton3;
    TSpeedButton* SpeedButton5;
    TSpeedButton* SpeedButton6;
    TSpeedButton* SpeedButton7;
    TSpeedButton* SpeedButton1;
    TSpeedButton* SpeedButton2;
    TLabel* Label20;
    TChart* Chart1;
    TLineSeries* Series1;
#if TARVEX_BLE
    TShape* Shape1;
    TEdit* Edit2;
    TButton* CONNECT;
    TCheckBox* CheckBox3;
    TMemo* Memo2;
    TButton* SCAN;
    TBluetoothLE* BluetoothLE1;
#endif
    TBalloonHint* BalloonHint1;

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
    // The velocity axis follows the margin box that is ticked, if any.
    void FitVelocityAxis();
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
    void StatsReset();
    void StatsAdd(double value);
    int CountNumericMemoLines();
    void RebuildVelocityCache(bool metric);
    void AppendVelocity(double value);
    double DisplayVelocity(double metresPerSecond);
    void RecomputeStatistics();
    // Empties Memo1 as a change of the program (FMemoUpdating set).
    void EmptyShotList();
    void ShowStatsLabels();
    // The value and energy labels read as for an empty list; the statistics
    // labels show ShotStats.
    void ShowClearedShotLabels();

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
    // Makes the value lines of lines (ShotLineValue) the shown series: the
    // last 10000 values become the velocity cache, the chart, the statistics
    // and, with refill, the shot list (other lines vanish from it); the next
    // live shot continues the numbering. Leaves Label20, the memo lock and
    // FAnalysisMode to the caller. Flags of the batch are restored on every
    // path; a failure passes on.
    void RebuildFromLines(const QStringList& lines, bool refill);
    // Shows derived values (SYM, CMP, dV) as the shot list, at most the first
    // 10000, marked as derived (FDerivedValues); the next live shot would
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
    // SYM, CMP and dV: true when the shot list shows their result, false
    // (with a message, or a cancelled dialog) when they left it alone.
    bool MirrorCommand();
    bool CompareCommand();
    bool DeltaCommand();
    // The values of the value lines of Memo1 (ShotLineValue), in order.
    std::vector<double> ParseMemoNumbers();
    // Shows value(i) - value(j) over the paired 1-based ranges a..b and c..d
    // as the derived series.
    void RangeDifferences(const std::vector<double>& values, int a, int b, int c, int d);
    void SpeedButton3Click(TObject* Sender);
    void SpeedButton5Click(TObject* Sender);
    void SpeedButton6Click(TObject* Sender);
    void SpeedButton7Click(TObject* Sender);

    // ---- Settings and files (storage/)
    void LoadTxtFormat();
    void ButtonSaveClick(TObject* Sender);
    void Button2Click(TObject* Sender);
    void SpeedButton8Click(TObject* Sender);
    // Writes lines as a shot file at path in the current save format (see
    // ShotsFileBytes); nothing for no lines. Raises on a failed write.
    void WriteShotsFile(const std::vector<QString>& lines, const QString& path);
    // Buffers a live shot's list text and writes the automatic save file
    // every [AUTOSAVE] AUT shots; failures show "AUTO SAVE: error" and never
    // reach the caller.
    void AutoSaveOnShot(const QString& text);
    // Draws the report picture and saves it as a JPEG through the save dialog.
    void ExportReportImage();

    // ---- Serial port and received lines (links/)
    bool OpenComPort(bool showMessages);
    void CloseComPort();
    bool SelectComPort(const QString& name);
    void AutoOpenComPort();
    void Button1Click(TObject* Sender);
    void StartReadThread();
    void StopReadThread();
    void SerialReadThread(std::stop_token stop, TSerialReaderTicket ticket);
    void DrainReceivedLines();
    void ResetReceive(bool discard, bool purge);

#if TARVEX_BLE
    // ---- Bluetooth LE link (links/ble/). Main thread unless said otherwise.
    void SCANClick(TObject* Sender);
    void CONNECTClick(TObject* Sender);
    void BluetoothLE1DiscoverLEDevice(TObject* Sender, TBluetoothLEDevice* ADevice, int Rssi,
                                      const TBytes& ScanResponse);
    void BluetoothLE1EndDiscoverDevices(TObject* Sender,
                                        const std::vector<TBluetoothLEDevice*>& devices);
    void BluetoothLE1ServicesDiscovered(TObject* Sender, TBluetoothGattServiceList* services);
    void BluetoothLE1CharacteristicRead(TObject* Sender,
                                        TBluetoothGattCharacteristic* ACharacteristic,
                                        TBluetoothGattStatus AGattStatus);
    void BluetoothLE1DisconnectDevice(TObject* Sender, TBluetoothLEDevice* ADevice);
    void ConnTimeoutTimer(TObject* Sender);
    void KeepAliveTimer(TObject* Sender);
    void ParseDeviceTarget(const QString& text);
    static QString NormalizeHex(const QString& text);
    bool MatchesTarget(TBluetoothLEDevice* device);
    void LoadBleLast();
    void SaveBleLast();
    static void DeviceConnect(TObject* Sender);
    void ResetBleLink();
    void ShowBleStatus(const QString& text);
    void SetBleDisconnected();
    // On the characteristic worker: the characteristic to subscribe to
    // (FFE1 or FFE7 first, then any with a 2902 descriptor), or null.
    TBluetoothGattCharacteristic* FindNotifyCharacteristic(
        const TBluetoothGattServiceList& services);
    // Any thread: appends LogLinePrefix + text to the shot list on the main
    // thread (at once when called there; never after the form closed).
    void Log(const QString& text);
    // Appends line to memo as its last line and keeps it at 10000 lines.
    static void MemoAppendLine(TMemo* memo, const QString& line);
#endif

private:
    // Tests inspect the state through TForm1Probe (tests/support).
    friend class TForm1Probe;
    void LoadResource();
    void LoadChartResource();
#if TARVEX_BLE
    // The link's private steps (links/ble/).
    void LinkLossStep();
    void StartBleWorker(std::function<void()> work);
    // From any thread: runs step on the main thread while the form lives and
    // attempt is still the current one.
    void QueueBleStep(std::uint64_t attempt, std::function<void(TForm1&)> step);
    // Cancels and joins every worker and drops every queued step; for close.
    void StopBleLink();
#endif

    // ---- Private state, grouped by owner.
    // Chart settings and series.
    TChartSeries* FActiveSeries = nullptr;
    TBarSeries* FBarSeries = nullptr;
    TChartType FChartType = TChartType::Circles;
    TChartColor FChartColor = TChartColor::Cycle;
    std::int32_t FChartLineWidth = 1;
    std::int32_t FChartMarkerSize = 5;
    std::int32_t FChartBarWidth = 35;  // ChartBarWidthDefault until the settings are read
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
    // Filter.
    TFilterConfig FFilter{};
    // Shot numbering.
    std::int32_t FNextShotNumber = 0;
    // Received-line queue. The serial link owns the port and its read thread
    // (FReadThread), which feeds the queue.
    TSerialLink FSerialLink;
    std::mutex FReceivedLinesMutex;
    std::deque<QString> FReceivedLines;
#if TARVEX_BLE
    // Bluetooth LE link.
    TBluetoothLEDevice* FBleDevice = nullptr;
    TBluetoothGattCharacteristic* FNotifyCharacteristic = nullptr;
    TBluetoothGattCharacteristic* FWriteCharacteristic = nullptr;
    QString FBleRxText;
    TStringList* FScanIndex = nullptr;
    bool FConnectRequested = false;
    QString FTargetName;
    QString FTargetAddress;
    bool FConnecting = false;
    bool FSubscribing = false;
    TTimer* FConnTimeout = nullptr;
    TTimer* FKeepAlive = nullptr;
    bool FConnected = false;
    bool FAutoReconnect = true;
    QString FIniPath;
    // An overlong notification line is being dropped up to its LF.
    bool FBleRxSkipping = false;
    // Every step a worker or the device queues carries the attempt it
    // belongs to; SCAN, CONNECT, a dropped link and closing start a new one,
    // so a stale step is dropped instead of run.
    std::atomic<std::uint64_t> FBleAttempt{0};
    // False once the form closes; queued steps and log lines hold it and do
    // nothing after that. Set in the constructor, never reassigned.
    const std::shared_ptr<std::atomic<bool>> FBleAlive = std::make_shared<std::atomic<bool>>(true);
    // The link's workers; joined when the form closes.
    std::unique_ptr<TBleWorkers> FBleWorkers;
    // A keep-alive write is under way; a tick skips while it is.
    std::atomic<bool> FBleWriteInFlight{false};
#endif
    // Unit state of the stored values.
    bool FLastUnitsMetric = true;
    bool FLastWeightMix = false;
    // Weight and velocity cache.
    bool FUpdatingWeight = false;
    bool FMemoUpdating = false;
    bool FVelocityCacheDirty = false;
    double FWeightGrams = 1.0;
    bool FWeightLoaded = false;  // a weight was read from the box or the settings
    std::vector<double> FVelocityCache;
    // Power-factor display.
    bool FPowerFactorMode = false;
    bool FPowerFactorIpsc = false;
    // Shot-axis window.
    std::int32_t FZoomSteps = 0;
    std::int32_t FZoomAnchor = 0;
    bool FZoomActive = false;
    // Analysis commands.
    bool FCommandBusy = false;
    TAnalysisCommand FRunningCommand = TAnalysisCommand::None;
    TAnalysisCommand FHoveredCommand = TAnalysisCommand::None;
    // Automatic saving. FAutoSaveCount counts the shots taken into the buffer
    // since it was started afresh, less those an indexed file took; it equals
    // the buffer's size until the buffer reaches its bound (AutoSave.cpp).
    std::int32_t FAutoSaveCount = 0;
    std::vector<QString> FAutoSaveLines;
    std::vector<QString> FLoadedLines;
    // Indexed files written while their INDEX could not advance: never
    // written over in the same run.
    std::vector<QString> FAutoSaveStuckFiles;
    // Derived display.
    bool FDerivedValues = false;
    // Memo lock.
    std::vector<QString> FMemoSnapshot;
    bool FMemoLocked = false;
    std::atomic<bool> FDiscardInput{false};
    TAnalysisMode FAnalysisMode = TAnalysisMode::Shots;
};

// The one main form, set when the application creates it.
extern TForm1* Form1;
