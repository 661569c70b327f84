// Units, weight, energy and power factor on the form.
#include "form/Form1.h"

#include "platform/core/FormatFloat.h"

bool TForm1::IsCnvMode() { return false; }

void TForm1::ParseWeightEdit(bool /*units*/, bool /*mix*/, bool /*save*/) {}

void TForm1::ShowWeight(bool /*save*/) {}

void TForm1::SaveMultiplier() {}

void TForm1::LoadMultiplier() {}

QString TForm1::PowerFactorText(double /*velocity*/) { return QString(); }

QString TForm1::ZeroEnergyText() { return FormatFloat(QStringLiteral("0.00"), 0.0); }

QString TForm1::ZeroAverageEnergyText() { return FormatFloat(QStringLiteral("00.0"), 0.0); }

void TForm1::UpdateUnitLabels() {}

void TForm1::ShowLastEnergy() {}

void TForm1::ShowAverageEnergy() {}

void TForm1::RefreshEnergyLabels() {}

void TForm1::TogglePowerFactor() {}

void TForm1::TogglePowerFactorIpsc() {}

void TForm1::ScaleStoredValues(double /*factor*/) {}
