#pragma once

#include <vector>

#include <QString>

// Units, weight, energy and power factor of the shot series.
//
// The Units box (Metric) picks m/s and J or ft/s and ft-lb; the Mix box puts
// the weight into the other system. The weight box holds grains exactly when
// both boxes are in the same state:
//   Metric Mix    velocity  weight box  energy
//   yes    no     m/s       grams       J
//   yes    yes    m/s       grains      J
//   no     no     ft/s      grains      ft-lb
//   no     yes    ft/s      grams       ft-lb
// "Display velocity" below is the velocity in the unit shown; "box weight" is
// the weight as the weight box shows it.

inline constexpr double MetresPerFoot = 0.3048;
inline constexpr double FeetPerMetre = 3.280839895013123;
inline constexpr double GramsPerGrain = 0.06479891;
inline constexpr double JouleDivisor = 2000;           // grams, m/s -> J
inline constexpr double FootPoundDivisor = 450436.68;  // grains, ft/s -> ft-lb
inline constexpr double FootPoundsPerJoule = 0.737562149;
inline constexpr double PowerFactorDivisor = 1000;
inline constexpr double MaxWeight = 500000;  // limit of a typed weight; the lower limit is 0

// The states of the Units and Mix boxes.
struct TUnitState {
    bool Metric = true;
    bool Mix = false;
    bool operator==(const TUnitState&) const = default;
};

// The weight box shows grains (Metric == Mix).
bool WeightInGrains(TUnitState units);

// m/s to the unit shown (divided by 0.3048 unless metric) and back.
double DisplayVelocity(double metresPerSecond, bool metric);
double VelocityToMetres(double displayVelocity, bool metric);

// The factor that rescales stored velocities when the Units box changes:
// 0.3048 towards metric, 3.280839895013123 towards imperial.
double UnitRescaleFactor(bool toMetric);

// A typed weight limited to 0..MaxWeight; a value that is not a number gives 0.
double ClampWeight(double weight);

// Box weight to grams (times 0.06479891 when the box holds grains) and back.
double BoxWeightToGrams(double boxWeight, TUnitState units);
double GramsToBoxWeight(double grams, TUnitState units);

// The energy divisor K: 2000 (metric) or 450436.68 (imperial); with Mix,
// 2000 / 0.06479891 (metric) or 450436.68 x 0.06479891 (imperial).
double EnergyDivisor(TUnitState units);

// Energy of one shot from the display velocity and the box weight:
// (w x v) x v / K, in J (metric) or ft-lb.
double ShotEnergy(double displayVelocity, double boxWeight, TUnitState units);

// Average energy of the series from the sum of squared display velocities:
// (sumSquares / count) x w / K. 0 when count is 0 or less.
double AverageEnergy(double sumSquares, int count, double boxWeight, TUnitState units);

// CNV mode, where the cache in m/s and the weight in grams are the reference:
// v x (v x grams) / 2000 joules, times 0.737562149 into ft-lb unless metric.
double CnvShotEnergy(double metresPerSecond, double grams, bool metric);

// CNV mode: the mean of v x v over the cache (m/s) times grams / 2000, times
// 0.737562149 unless metric. 0 for an empty cache.
double CnvAverageEnergy(const std::vector<double>& metresPerSecond, double grams, bool metric);

// The energy as shown: picture "0.00" with the user's decimal separator.
QString EnergyText(double energy);

// Display velocity and box weight in ft/s and grains; each result that is not
// above 0 (a value that is not a number included) becomes 0.
struct TImperial {
    double FeetPerSecond = 0;
    double Grains = 0;
};
TImperial ToImperial(double displayVelocity, double boxWeight, TUnitState units);

// Power factor: ft/s x grains / 1000 from ToImperial, never below 0.
double PowerFactor(double displayVelocity, double boxWeight, TUnitState units);

// The power factor as shown: a value not above 0 counts as 0; IPSC with the
// picture "0.0" and the user's decimal separator, otherwise rounded down to
// a whole number ("121").
QString PowerFactorText(double powerFactor, bool ipsc);

// Zero placeholders of the last-shot label and of the average label:
//   display   last shot ("0.00" picture)  average
//   energy    "0.00"                      "00.0"
//   PF        "0"                         "0"
//   PF IPSC   "0.0"                       "0.0"
// (pictures written with the user's decimal separator).
QString ZeroEnergyText(bool powerFactorMode, bool powerFactorIpsc);
QString ZeroAverageEnergyText(bool powerFactorMode, bool powerFactorIpsc);

// A clamped weight written back into the weight box: picture "0.###".
QString ClampedWeightText(double weight);

// The weight in grams as stored in the settings file: general format, 15
// significant digits, '.' whatever the locale (1.0 -> "1").
QString WeightGramsText(double grams);

// The unit captions beside the values.
struct TUnitTexts {
    QString Velocity;        // "m/s" or "ft/s"
    QString Energy;          // "J", "ft-lb", or "PF" in a power-factor display
    QString Weight;          // "gr" when the box holds grains, else "g " (with a blank)
    QString AverageCaption;  // "EAVG", or "PAVG" in a power-factor display
};
TUnitTexts UnitTexts(TUnitState units, bool powerFactorMode);
