#include "series/core/Energy.h"

#include <cmath>

#include "platform/core/FormatFloat.h"

namespace {

// Not above 0, NaN included, becomes 0.
double PositiveOrZero(double value) {
    return value > 0 ? value : 0;
}

}  // namespace

bool WeightInGrains(TUnitState units) {
    return units.Metric == units.Mix;
}

double DisplayVelocity(double metresPerSecond, bool metric) {
    return metric ? metresPerSecond : metresPerSecond / MetresPerFoot;
}

double VelocityToMetres(double displayVelocity, bool metric) {
    return metric ? displayVelocity : displayVelocity * MetresPerFoot;
}

double UnitRescaleFactor(bool toMetric) {
    return toMetric ? MetresPerFoot : FeetPerMetre;
}

double ClampWeight(double weight) {
    if (std::isnan(weight) || weight < 0) return 0;
    return weight > MaxWeight ? MaxWeight : weight;
}

double BoxWeightToGrams(double boxWeight, TUnitState units) {
    return WeightInGrains(units) ? boxWeight * GramsPerGrain : boxWeight;
}

double GramsToBoxWeight(double grams, TUnitState units) {
    return WeightInGrains(units) ? grams / GramsPerGrain : grams;
}

double EnergyDivisor(TUnitState units) {
    const double k = units.Metric ? JouleDivisor : FootPoundDivisor;
    if (!units.Mix) return k;
    return units.Metric ? k / GramsPerGrain : k * GramsPerGrain;
}

double ShotEnergy(double displayVelocity, double boxWeight, TUnitState units) {
    return boxWeight * displayVelocity * displayVelocity / EnergyDivisor(units);
}

double AverageEnergy(double sumSquares, int count, double boxWeight, TUnitState units) {
    if (count <= 0) return 0;
    return sumSquares / count * boxWeight / EnergyDivisor(units);
}

double CnvShotEnergy(double metresPerSecond, double grams, bool metric) {
    const double joules = metresPerSecond * (metresPerSecond * grams) / JouleDivisor;
    return metric ? joules : joules * FootPoundsPerJoule;
}

double CnvAverageEnergy(const std::vector<double>& metresPerSecond, double grams, bool metric) {
    if (metresPerSecond.empty()) return 0;
    double sum = 0;
    for (const double v : metresPerSecond) sum += v * v;
    const double joules = sum / static_cast<double>(metresPerSecond.size()) * grams / JouleDivisor;
    return metric ? joules : joules * FootPoundsPerJoule;
}

QString EnergyText(double energy) {
    return FormatFloat(QStringLiteral("0.00"), energy);
}

TImperial ToImperial(double displayVelocity, double boxWeight, TUnitState units) {
    const double feetPerSecond = units.Metric ? displayVelocity / MetresPerFoot : displayVelocity;
    const double grains = WeightInGrains(units) ? boxWeight : boxWeight / GramsPerGrain;
    return {PositiveOrZero(feetPerSecond), PositiveOrZero(grains)};
}

double PowerFactor(double displayVelocity, double boxWeight, TUnitState units) {
    const TImperial imperial = ToImperial(displayVelocity, boxWeight, units);
    return imperial.Grains * imperial.FeetPerSecond / PowerFactorDivisor;
}

QString PowerFactorText(double powerFactor, bool ipsc) {
    const double value = PositiveOrZero(powerFactor);
    if (ipsc) return FormatFloat(QStringLiteral("0.0"), value);
    return FormatFloat(QStringLiteral("0"), std::floor(value));
}

QString ZeroEnergyText(bool powerFactorMode, bool powerFactorIpsc) {
    if (!powerFactorMode) return FormatFloat(QStringLiteral("0.00"), 0);
    return powerFactorIpsc ? FormatFloat(QStringLiteral("0.0"), 0) : QStringLiteral("0");
}

QString ZeroAverageEnergyText(bool powerFactorMode, bool powerFactorIpsc) {
    if (!powerFactorMode) return FormatFloat(QStringLiteral("00.0"), 0);
    return powerFactorIpsc ? FormatFloat(QStringLiteral("0.0"), 0) : QStringLiteral("0");
}

QString ClampedWeightText(double weight) {
    return FormatFloat(QStringLiteral("0.###"), weight);
}

QString WeightGramsText(double grams) {
    return FloatToStrGeneral(grams, 15);
}

TUnitTexts UnitTexts(TUnitState units, bool powerFactorMode) {
    TUnitTexts texts;
    texts.Velocity = units.Metric ? QStringLiteral("m/s") : QStringLiteral("ft/s");
    if (powerFactorMode)
        texts.Energy = QStringLiteral("PF");
    else
        texts.Energy = units.Metric ? QStringLiteral("J") : QStringLiteral("ft-lb");
    texts.Weight = WeightInGrains(units) ? QStringLiteral("gr") : QStringLiteral("g ");
    texts.AverageCaption = powerFactorMode ? QStringLiteral("PAVG") : QStringLiteral("EAVG");
    return texts;
}
