// Construction, message map, window timers, closing and destruction of the
// main form.
#include "form/Form1.h"

#include "app/Style.h"
#if TARVEX_BLE
#include "links/ble/BleLink.h"
#endif
#include "platform/core/FormatFloat.h"
#include "links/core/SerialLink.h"
#include "platform/core/IniFile.h"
#include "platform/core/StandardError.h"
#include "storage/ProgramSettings.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(TComponent* owner)
    : TForm(owner), FSettings(IniPath()), FAutoSaver(AutoSaverHost()) {
    LoadResource();
}

TForm1::~TForm1() {
    // The same clean-up as FormClose, for whatever that left held or never
    // reached (a form destroyed without closing, or a close that failed
    // early): the read thread must never outlive the form.
    ShutDownLinks();
    FreeBaseFonts();
    // Closed above: its workers have ended before anything they use goes.
    FBleLink.reset();
}

void TForm1::FreeBaseFonts() {
    delete FLabel2BaseFont;
    FLabel2BaseFont = nullptr;
    delete FLabel15BaseFont;
    FLabel15BaseFont = nullptr;
}

void TForm1::ShutDownLinks() {
#if TARVEX_BLE
    // Nothing a link worker or the device queued may run on a closing form:
    // the link cancels and joins them all, then frees its timers and its
    // device index. The object stays until the destructor.
    if (FBleLink) FBleLink->Close();
#endif
    FSerialLink.Close();
}

void TForm1::Dispatch(TMessage& message) {
    switch (message.Msg) {
        case WM_ERASEBKGND:
            message.Result = 1;
            return;
        case WM_SYSCOMMAND:
            HandleSysCommand(message);
            return;
        case WM_TIMER:
            HandleTimer(message);
            return;
        case WM_LINES_RECEIVED:
            DrainReceivedLines();
            return;
        case WM_RUN_ANALYSIS:
            RunAnalysisCommand(message);
            return;
        case WM_AUTOSAVE_CATCHUP:
            FAutoSaver.CatchUp();
            return;
        default:
            TForm::Dispatch(message);
    }
}

void TForm1::HandleTimer(TMessage& message) {
    switch (message.WParam) {
        case TIMER_FADE_IN:
            if (FFadeSteps > 0) {
                --FFadeSteps;
                SetAlphaBlendValue(FFadeSteps == 0 ? 255 : 80);
                if (FFadeSteps == 0) {
                    KillTimer(this, TIMER_FADE_IN);
                    SetAlphaBlend(false);
                }
            }
            return;
#if TARVEX_BLE
        case TIMER_BLE_AUTOCONNECT:
            // The link decides whether to connect, and waits for the adapter
            // when the system has not told yet whether there is one.
            KillTimer(this, TIMER_BLE_AUTOCONNECT);
            if (FBleLink) FBleLink->AutoConnect();
            return;
#endif
        case TIMER_COM_AUTOOPEN:
            KillTimer(this, TIMER_COM_AUTOOPEN);
            AutoOpenComPort();
            return;
        default:
            TForm::Dispatch(message);
    }
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
    // Every line the read thread took from the port reaches the list and the
    // automatic save before anything closes: the thread is stopped first
    // (handing over its unfinished line), then the queue, bounded while the
    // thread ran, is worked off in one go. Then the full batches that waited
    // for the save folder are written.
    FSerialLink.StopReading();
    FinishReceivedLines();
    AutoSaveOnClose();

    // Nothing may lay the form out with the base fonts gone: FormResize
    // checks them, and the resize handler is detached here as well.
    OnResize = nullptr;
    FreeBaseFonts();

    // A settings write that fails must not leave the read thread running or
    // the port open: the links are shut down on every path and the error
    // is reported afterwards. The window still closes, or a settings file
    // that cannot be written would keep the program from ever ending. Each
    // choice is tried whatever became of the one before.
    std::exception_ptr failure;
    std::optional<TSettingsRefusal> refused;
    {
        TSettingsRefusals refusals;
        try {
            SaveStyleIndex(static_cast<unsigned>(ActiveStyleIndex()));
            SaveMultiplier();
            TIniFile ini(IniPath());
            WriteSettingString(ini, Setting::ComPort, ComboBox1->Text());
            WriteSettingBool(ini, Setting::CheckBoxScroll, CheckBoxScroll->Checked());
            WriteSettingBool(ini, Setting::CheckBoxAuto, CheckBoxAuto->Checked());
            WriteSettingBool(ini, Setting::CheckBoxAuto50, CheckBoxAuto50->Checked());
#if TARVEX_BLE
            WriteSettingBool(ini, Setting::CheckBoxBtAuto, CheckBox3->Checked());
#endif
            SaveUnitsSetting(CheckBox1->Checked(), CheckBox2->Checked());
        } catch (...) {
            failure = std::current_exception();
        }
        refused = refusals.First();
    }

    ShutDownLinks();
    KillTimer(this, TIMER_FADE_IN);
    KillTimer(this, TIMER_COM_AUTOOPEN);
    KillTimer(this, TIMER_BLE_AUTOCONNECT);

    if (refused && !failure) {
        // Said already at start-up: the standard error keeps the record and
        // the window closes at once.
        if (FSettingsUnsavedSaid)
            PrintStandardError(QStringLiteral("SETTINGS: not saved on closing: ") +
                               refused->Message);
        else
            failure = std::make_exception_ptr(Exception(refused->Message));
    }
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (...) {
            Application->HandleException();
        }
    }
}

void TBleLinkDelete::operator()(TBleLink* link) const noexcept {
#if TARVEX_BLE
    delete link;
#else
    // Tarvex Serial's form never has a Bluetooth LE link.
    (void)link;
#endif
}
