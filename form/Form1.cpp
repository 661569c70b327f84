// Construction, message map, window timers, closing and destruction of the
// main form.
#include "form/Form1.h"

#include "app/Style.h"
#if TARVEX_BLE
#include "links/ble/BleLink.h"
#include "platform/ble/BluetoothLE.h"
#endif
#include "platform/core/FormatFloat.h"
#include "links/SerialLink.h"
#include "platform/core/IniFile.h"
#include "storage/ProgramSettings.h"

TForm1* Form1 = nullptr;

TForm1::TForm1(TComponent* owner) : TForm(owner), FAutoSaver(AutoSaverHost()) {
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
            KillTimer(this, TIMER_BLE_AUTOCONNECT);
            if (FBleLink && CheckBox3 && CheckBox3->Checked() && BluetoothLE1 &&
                BluetoothLE1->GetCurrentManager() && !Edit2->Text().trimmed().isEmpty() &&
                !FBleLink->IsConnecting() && !FBleLink->IsConnected())
                FBleLink->CONNECTClick(this);
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
    // that cannot be written would keep the program from ever ending.
    std::exception_ptr failure;
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

    ShutDownLinks();
    KillTimer(this, TIMER_FADE_IN);
    KillTimer(this, TIMER_COM_AUTOOPEN);
    KillTimer(this, TIMER_BLE_AUTOCONNECT);

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
