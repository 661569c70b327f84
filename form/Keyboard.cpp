// Application-wide shortcuts, the hover state of the command buttons, the
// units switch, the weight box and the unit hints.
#include "form/Form1.h"

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "storage/core/Settings.h"
#if TARVEX_BLE
#include "links/ble/BleLink.h"
#endif

namespace {

// Ctrl+T: the save format flips for this run only; it is never saved.
void ToggleTxtFormat(bool& txtFormat, TLabel* status) {
    txtFormat = !txtFormat;
    status->SetCaption(txtFormat ? QStringLiteral("Format: TXT") : QStringLiteral("Format: CSV"));
}

// The caption as the hints compare it: trimmed and in lower case.
QString HintKey(const TLabel* label) {
    return TrimText(label->Caption()).toLower();
}

// "<value> <unit>", fixed with the given decimals and the user's separator.
QString HintText(double value, int decimals, const char* unit) {
    return FloatToStrFixed(value, decimals, DecimalSeparator()) + QLatin1Char(' ') +
           QLatin1String(unit);
}

void ShowLabelHint(TLabel* label, const QString& hint) {
    label->SetHint(hint);
    label->SetShowHint(true);
}

}  // namespace

// The one shortcut table of both sources. They differ only in R: the hook
// runs REFRESH at once, FormKeyDown goes through the command frame as the
// "R" button does and ignores Shift+Ctrl+R.
bool TForm1::RunShortcut(WORD key, bool shift, TShortcutSource source) {
    switch (key) {
        case 'F':
            FilterCommand();
            return true;
        case 'O':
            TogglePowerFactorIpsc();
            return true;
        case 'P':
            TogglePowerFactor();
            return true;
        case 'R':
            if (source == TShortcutSource::Hook) {
                // No busy guard, cursor or progress text, so Ctrl+R works
                // even while a command button's command runs.
                RefreshCommand();
                return true;
            }
            if (shift) return false;
            BeginAnalysisCommand(TAnalysisCommand::Refresh);
            return true;
        case 'T':
            ToggleTxtFormat(FTxtFormat, Label20);
            return true;
        default:
            return false;
    }
}

void TForm1::AppMessage(TMsg& Msg, bool& Handled) {
#if TARVEX_BLE
    // A red lamp of a lost link goes back to silver once the user is seen
    // again; the link knows whether a connection is being made or held.
    if (Msg.message == WM_MOUSEMOVE && FBleLink) FBleLink->MouseMoved();
#endif
    if (Msg.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return;
    // The hook runs on the main thread, so each action runs here and now,
    // before the key press would reach the focused control.
    if (RunShortcut(static_cast<WORD>(Msg.wParam & 0xFFFF), GetKeyState(VK_SHIFT) < 0,
                    TShortcutSource::Hook))
        Handled = true;
}

void TForm1::FormKeyDown(TObject* /*Sender*/, WORD& Key, TShiftState Shift) {
    // Only key presses that bypass the application hook get here.
    if (Shift.Ctrl && RunShortcut(Key, Shift.Shift, TShortcutSource::FormKeyDown)) Key = 0;
}

namespace {

TAnalysisCommand CommandOf(const TForm1& form, const TObject* sender) {
    if (sender == form.SpeedButton3) return TAnalysisCommand::Refresh;
    if (sender == form.SpeedButton5) return TAnalysisCommand::Sym;
    if (sender == form.SpeedButton6) return TAnalysisCommand::Cmp;
    if (sender == form.SpeedButton7) return TAnalysisCommand::DV;
    return TAnalysisCommand::None;
}

}  // namespace

void TForm1::AnalysisButtonEnter(TObject* Sender) {
    FHoveredCommand = CommandOf(*this, Sender);
    ShowCommandProgress();
}

void TForm1::AnalysisButtonLeave(TObject* Sender) {
    if (CommandOf(*this, Sender) == FHoveredCommand) FHoveredCommand = TAnalysisCommand::None;
    ClearCommandProgress();
}

void TForm1::CheckBox1Click(TObject* /*Sender*/) {
    const bool unitsBefore = FLastUnitsMetric;
    const bool mixBefore = FLastWeightMix;
    const bool units = CheckBox1->Checked();
    const bool mix = CheckBox2->Checked();
    const bool changed = unitsBefore != units || mixBefore != mix;
    const bool cnv = IsCnvMode();
    // Start-up restores the boxes from MU before it reads the weight; a click
    // then must not write the placeholder weight or a half-restored MU over
    // the settings it is about to read.
    const bool restoring = !FWeightLoaded;

    // The scrolling window the user looks at survives the refill.
    bool keptWindow = false;
    double windowMin = 0;
    double windowMax = 0;
    const bool zoomActive = FZoomActive;
    const TZoomAnchor zoomAnchor = FZoomAnchor;
    const std::int32_t zoomSteps = FZoomSteps;
    if (changed && cnv && CheckBoxScroll->Checked() && FActiveSeries &&
        FActiveSeries->Count() > 0) {
        keptWindow = true;
        windowMin = Chart1->BottomAxis()->Minimum();
        windowMax = Chart1->BottomAxis()->Maximum();
    }

    // The list still holds values in the old unit.
    if (changed && VelocityCacheStale()) RebuildVelocityCache(unitsBefore);

    if (!cnv) ParseWeightEdit(unitsBefore, mixBefore, !restoring);

    if (changed && cnv) {
        if (unitsBefore != units) ScaleStoredValues(UnitRescaleFactor(units));
        UpdateUnitLabels();
        ShowWeight(!restoring);
        if (VelocityCacheStale()) RebuildVelocityCache(units);
        RecomputeStatistics();
        if (keptWindow && windowMax > windowMin) {
            Chart1->BottomAxis()->SetAutomatic(false);
            Chart1->BottomAxis()->SetMinMax(windowMin, windowMax);
            FZoomActive = zoomActive;
            FZoomAnchor = zoomAnchor;
            FZoomSteps = zoomSteps;
            FAppliedBarWidth = -1;
            UpdateBarWidth(true);
            Chart1->Invalidate();
        }
    } else {
        // Outside CNV mode the numbers are the chronograph's: only their
        // captions and the energies change.
        UpdateUnitLabels();
        ShowLastEnergy();
        ShowAverageEnergy();
    }

    FLastUnitsMetric = units;
    FLastWeightMix = mix;
    RefreshEnergyLabels();

    if (!restoring) SaveUnitsSetting(units, mix);
}

void TForm1::Edit1Change(TObject* /*Sender*/) {
    if (FUpdatingWeight) return;
    ParseWeightEdit(CheckBox1->Checked(), CheckBox2->Checked(), true);
    RefreshEnergyLabels();
}

void TForm1::Label16MouseEnter(TObject* /*Sender*/) {
    const bool metricCaption = HintKey(Label16) == QLatin1String("m/s");
    double velocity = 0;
    if (IsCnvMode() && !FSeries.VelocityCache().empty()) {
        velocity = FSeries.VelocityCache().back();
        ShowLabelHint(Label16, metricCaption ? HintText(velocity / MetresPerFoot, 3, "ft/s")
                                             : HintText(velocity, 3, "m/s"));
        return;
    }
    if (FSeries.HasLastVelocity())
        velocity = FSeries.LastShownVelocity();
    else if (!ParseDotDouble(Label2->Caption(), velocity))
        return;
    ShowLabelHint(Label16, metricCaption ? HintText(velocity / MetresPerFoot, 3, "ft/s")
                                         : HintText(velocity * MetresPerFoot, 3, "m/s"));
}

void TForm1::Label17MouseEnter(TObject* /*Sender*/) {
    if (FPowerFactorMode) {
        // Names the variant the O key switches to.
        ShowLabelHint(Label17, FPowerFactorIpsc ? QStringLiteral("Power Factor")
                                                : QStringLiteral("Power Factor IPSC"));
        return;
    }
    const bool jouleCaption = HintKey(Label17) == QLatin1String("j");
    if (IsCnvMode() && !FSeries.VelocityCache().empty()) {
        const double joules = CnvShotEnergy(FSeries.VelocityCache().back(), FWeightGrams, true);
        ShowLabelHint(Label17, jouleCaption ? HintText(joules * FootPoundsPerJoule, 3, "ft-lb")
                                            : HintText(joules, 3, "J"));
        return;
    }
    double energy = 0;
    if (!ParseDotDouble(Label15->Caption(), energy)) return;
    ShowLabelHint(Label17, jouleCaption ? HintText(energy * FootPoundsPerJoule, 3, "ft-lb")
                                        : HintText(energy / FootPoundsPerJoule, 3, "J"));
}

void TForm1::Label18MouseEnter(TObject* /*Sender*/) {
    const QString key = HintKey(Label18);
    const bool gramsCaption = key == QLatin1String("g");
    const bool grainsCaption = key == QLatin1String("gr");
    double weight = 0;
    if (IsCnvMode()) {
        weight = FWeightGrams;
        if (gramsCaption) ShowLabelHint(Label18, HintText(weight / GramsPerGrain, 6, "gr"));
        if (grainsCaption) ShowLabelHint(Label18, HintText(weight, 6, "g"));
        return;
    }
    if (!ParseDotDouble(Edit1->Text(), weight)) {
        ShowLabelHint(Label18, QStringLiteral("Edit1 nie zawiera poprawnej liczby."));
        return;
    }
    if (gramsCaption) ShowLabelHint(Label18, HintText(weight / GramsPerGrain, 6, "gr"));
    if (grainsCaption) ShowLabelHint(Label18, HintText(weight * GramsPerGrain, 6, "g"));
}
