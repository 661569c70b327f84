// Units, weight, energy and power factor on the form. The arithmetic lives
// in series/core/Energy; these members read the boxes, the labels, the cache
// and the settings file and write the results into the labels.
#include "form/Form1.h"

#include <cmath>

#include "platform/core/FormatFloat.h"
#include "platform/core/IniFile.h"
#include "platform/core/ScopeGuard.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "series/core/ShotSeries.h"
#include "storage/core/Settings.h"

namespace {

TUnitState BoxUnits(const TForm1& form) {
    return {form.CheckBox1->Checked(), form.CheckBox2->Checked()};
}

// The weight box read as a number; 0 when it holds none. No limits.
double BoxWeightOrZero(const TForm1& form) {
    double weight = 0;
    if (!ParseDotDouble(form.Edit1->Text(), weight)) return 0;
    return weight;
}

// The velocity of the last shot in the display unit: the series' LastVelocity while it
// holds a shot, else the number the big label shows. False when neither has one.
bool LastShotVelocity(const TShotSeries& series, const TForm1& form, double& velocity) {
    if (series.HasLastVelocity()) {
        velocity = series.LastShownVelocity();
        return true;
    }
    return ParseDotDouble(form.Label2->Caption(), velocity);
}

}  // namespace

bool TForm1::IsCnvMode() {
    // Checked at every use so that a hand edit of the file counts at once.
    return FSettings.Current().CnvMode;
}

void TForm1::ParseWeightEdit(bool units, bool mix, bool save) {
    if (FUpdatingWeight) return;
    FWeightLoaded = true;
    double value = 0;
    if (!ParseDotDouble(Edit1->Text(), value)) return;
    // The box keeps the text as typed; only the stored weight is limited.
    FWeightGrams = BoxWeightToGrams(ClampWeight(value), TUnitState{units, mix});
    if (save) SaveMultiplier();
}

void TForm1::ShowWeight(bool save) {
    {
        FUpdatingWeight = true;
        const TScopeGuard weightShown([this] { FUpdatingWeight = false; });
        Edit1->SetText(FormatDot12(GramsToBoxWeight(FWeightGrams, BoxUnits(*this))));
    }
    if (save) SaveMultiplier();
}

void TForm1::SaveMultiplier() {
    TIniFile ini(IniPath());
    WriteSettingString(ini, Setting::Multiplier, Edit1->Text());
    WriteSettingString(ini, Setting::MultiplierG, WeightGramsText(FWeightGrams));
}

void TForm1::LoadMultiplier() {
    double grams = 0;
    {
        const TIniFile ini(IniPath());
        const QString stored = ReadSettingString(ini, Setting::MultiplierG);
        double value = 0;
        if (!stored.isEmpty() && ParseDotDouble(stored, value) && value >= 0) {
            grams = value;
        } else {
            double typed = 1.0;
            if (!ParseDotDouble(ReadSettingString(ini, Setting::Multiplier), typed)) typed = 1.0;
            grams = BoxWeightToGrams(typed, BoxUnits(*this));
        }
    }
    FWeightGrams = grams;
    FWeightLoaded = true;
    ShowWeight(true);
}

QString TForm1::PowerFactorText(double velocity) {
    // The box text is read at every call: outside CNV mode it is the weight
    // the user sees, whatever FWeightGrams holds.
    const double factor = ::PowerFactor(velocity, BoxWeightOrZero(*this), BoxUnits(*this));
    return ::PowerFactorText(factor, FPowerFactorIpsc);
}

QString TForm1::ZeroEnergyText() {
    return ::ZeroEnergyText(FPowerFactorMode, FPowerFactorIpsc);
}

QString TForm1::ZeroAverageEnergyText() {
    return ::ZeroAverageEnergyText(FPowerFactorMode, FPowerFactorIpsc);
}

void TForm1::UpdateUnitLabels() {
    const TUnitTexts texts = UnitTexts(BoxUnits(*this), FPowerFactorMode);
    Label16->SetCaption(texts.Velocity);
    Label17->SetCaption(texts.Energy);
    Label18->SetCaption(texts.Weight);
    Label21->SetCaption(texts.AverageCaption);
}

void TForm1::ShowLastEnergy() {
    const TUnitState units = BoxUnits(*this);
    double velocity = 0;
    if (FPowerFactorMode) {
        Label15->SetCaption(LastShotVelocity(FSeries, *this, velocity) ? PowerFactorText(velocity)
                                                                       : ZeroEnergyText());
    } else if (IsCnvMode()) {
        double metres = 0;
        bool known = true;
        if (!FSeries.VelocityCache().empty())
            metres = FSeries.VelocityCache().back();
        else if ((known = LastShotVelocity(FSeries, *this, velocity)))
            metres = VelocityToMetres(velocity, units.Metric);
        Label15->SetCaption(known ? EnergyText(CnvShotEnergy(metres, FWeightGrams, units.Metric))
                                  : ZeroEnergyText());
    } else {
        double weight = BoxWeightOrZero(*this);
        if (weight < 0 || weight > MaxWeight) {
            // An ordinary change of the box: its handler stores the limited
            // weight and refreshes the labels before this goes on.
            weight = ClampWeight(weight);
            Edit1->SetText(ClampedWeightText(weight));
        }
        Label15->SetCaption(LastShotVelocity(FSeries, *this, velocity)
                                ? EnergyText(ShotEnergy(velocity, weight, units))
                                : ZeroEnergyText());
    }
    FitLabelFont(Label15, Label15->Caption());
}

void TForm1::ShowAverageEnergy() {
    const TUnitState units = BoxUnits(*this);
    if (FPowerFactorMode) {
        Label19->SetCaption(FSeries.Stats().Count > 0 ? PowerFactorText(FSeries.Stats().Mean)
                                                      : ZeroAverageEnergyText());
    } else if (FSeries.Stats().Count <= 0) {
        Label19->SetCaption(ZeroAverageEnergyText());
    } else if (!FSeries.VelocityCache().empty() && IsCnvMode()) {
        Label19->SetCaption(
            EnergyText(CnvAverageEnergy(FSeries.VelocityCache(), FWeightGrams, units.Metric)));
    } else {
        Label19->SetCaption(EnergyText(AverageEnergy(
            FSeries.Stats().SumSquares, FSeries.Stats().Count, BoxWeightOrZero(*this), units)));
    }
}

void TForm1::RefreshEnergyLabels() {
    if (FPowerFactorMode && VelocityCacheStale()) RebuildVelocityCache(CheckBox1->Checked());
    ShowLastEnergy();
    ShowAverageEnergy();
    FitLabelFont(Label15, Label15->Caption());
}

void TForm1::TogglePowerFactor() {
    FPowerFactorMode = FPowerFactorMode ? FPowerFactorIpsc : true;
    FPowerFactorIpsc = false;
    UpdateUnitLabels();
    RefreshEnergyLabels();
    Label20->SetCaption(QString());
}

void TForm1::TogglePowerFactorIpsc() {
    const bool on = FPowerFactorMode ? !FPowerFactorIpsc : true;
    FPowerFactorMode = on;
    FPowerFactorIpsc = on;
    UpdateUnitLabels();
    RefreshEnergyLabels();
    Label20->SetCaption(QString());
}

void TForm1::ScaleStoredValues(double factor) {
    if (factor == 1.0) return;
    for (QString& line : FMemoSnapshot) {
        double value = 0;
        if (!ParseShotValue(line, value)) continue;
        // A value beyond a shot in the new unit (a huge one, or one beyond
        // the double range that would read "INF") cannot be listed as one:
        // the line stays as it was.
        const double scaled = factor * value;
        if (IsShotValue(scaled)) line = FormatDot2(scaled);
    }
}
