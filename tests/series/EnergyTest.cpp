#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <QString>

#include "platform/core/FormatFloat.h"
#include "support/CoreSupport.h"
#include "series/core/Energy.h"

namespace {

const TUnitState MetricGrams{true, false};
const TUnitState MetricGrains{true, true};
const TUnitState ImperialGrains{false, false};
const TUnitState ImperialGrams{false, true};
const TUnitState AllStates[] = {MetricGrams, MetricGrains, ImperialGrains, ImperialGrams};

// The physics in SI units, written out here instead of taken from the code
// under test: grains and ft/s are turned into grams and m/s, the energy is
// m v^2 / 2 in joules and is turned into ft-lb for the imperial display.
struct SiShot {
    double Grams;
    double MetresPerSecond;
};
SiShot ToSi(double displayVelocity, double boxWeight, TUnitState units) {
    const bool boxInGrains = units.Metric == units.Mix;
    return {boxInGrains ? boxWeight * 0.06479891 : boxWeight,
            units.Metric ? displayVelocity : displayVelocity * 0.3048};
}
double SiEnergy(double displayVelocity, double boxWeight, TUnitState units) {
    const SiShot s = ToSi(displayVelocity, boxWeight, units);
    const double joules = 0.5 * (s.Grams / 1000) * s.MetresPerSecond * s.MetresPerSecond;
    return units.Metric ? joules : joules * 0.737562149;
}
double SiPowerFactor(double displayVelocity, double boxWeight, TUnitState units) {
    const SiShot s = ToSi(displayVelocity, boxWeight, units);
    return (s.Grams / 0.06479891) * (s.MetresPerSecond / 0.3048) / 1000;
}

void ExpectRelativelyNear(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, 1e-8 * std::max(1.0, std::fabs(expected))) << what;
}

}  // namespace

TEST(Energy, AgreesWithSiPhysicsInEveryUnitState) {
    const double velocities[] = {0, 300, 812.3, 985, 3000};
    const double weights[] = {0, 1, 8, 123.45, 500000};
    for (const TUnitState units : AllStates) {
        for (const double v : velocities) {
            for (const double w : weights) {
                ExpectRelativelyNear(ShotEnergy(v, w, units), SiEnergy(v, w, units), "shot energy");
                ExpectRelativelyNear(PowerFactor(v, w, units), SiPowerFactor(v, w, units),
                                     "power factor");
                const double grams = ToSi(v, w, units).Grams;
                ExpectRelativelyNear(BoxWeightToGrams(w, units), grams, "grams");
                ExpectRelativelyNear(GramsToBoxWeight(grams, units), w, "box weight");
                const double ms = ToSi(v, w, units).MetresPerSecond;
                ExpectRelativelyNear(VelocityToMetres(v, units.Metric), ms, "m/s");
                ExpectRelativelyNear(DisplayVelocity(ms, units.Metric), v, "display velocity");
                ExpectRelativelyNear(CnvShotEnergy(ms, grams, units.Metric), SiEnergy(v, w, units),
                                     "CNV shot energy");
            }
        }
    }
}

TEST(Energy, AverageEnergyIsTheEnergyOfTheMeanSquare) {
    const std::vector<double> shots = {790, 800, 810, 1000};
    double sumSquares = 0;
    for (const double v : shots) sumSquares += v * v;
    for (const TUnitState units : AllStates) {
        double expected = 0;
        for (const double v : shots) expected += SiEnergy(v, 8, units);
        expected /= static_cast<double>(shots.size());
        ExpectRelativelyNear(AverageEnergy(sumSquares, 4, 8, units), expected, "average energy");
        EXPECT_EQ(AverageEnergy(sumSquares, 0, 8, units), 0);

        std::vector<double> cache;
        for (const double v : shots) cache.push_back(ToSi(v, 8, units).MetresPerSecond);
        ExpectRelativelyNear(CnvAverageEnergy(cache, ToSi(0, 8, units).Grams, units.Metric),
                             expected, "CNV average energy");
        EXPECT_EQ(CnvAverageEnergy({}, 8, units.Metric), 0);
    }
}

TEST(Energy, ShownTextsOfTheWorkedExamples) {
    TDecimalSeparatorScope guard('.');
    struct Case {
        TUnitState Units;
        double Velocity;
        double BoxWeight;
        const char* Energy;
        const char* Pf;
        const char* PfIpsc;
    };
    const Case cases[] = {
        {MetricGrams, 300, 8, "360.00", "121", "121.5"},
        {ImperialGrains, 985, 123.5, "266.01", "121", "121.6"},
        {MetricGrains, 300, 123.45, "359.97", "121", "121.5"},
        {ImperialGrams, 1000, 10, "342.61", "154", "154.3"},
        {MetricGrams, 0, 8, "0.00", "0", "0.0"},
        {MetricGrams, -300, 8, "360.00", "0", "0.0"},  // a negative velocity gives no power factor
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EnergyText(ShotEnergy(c.Velocity, c.BoxWeight, c.Units)), c.Energy) << c.Velocity;
        const double pf = PowerFactor(c.Velocity, c.BoxWeight, c.Units);
        EXPECT_EQ(PowerFactorText(pf, false), c.Pf) << c.Velocity;
        EXPECT_EQ(PowerFactorText(pf, true), c.PfIpsc) << c.Velocity;
    }
    EXPECT_EQ(EnergyText(CnvShotEnergy(300, 8, false)), "265.52");
    EXPECT_EQ(EnergyText(CnvShotEnergy(300, 8, true)), "360.00");
}

TEST(Energy, DivisorPerUnitState) {
    EXPECT_EQ(EnergyDivisor(MetricGrams), 2000);
    EXPECT_EQ(EnergyDivisor(MetricGrains), 2000 / 0.06479891);
    EXPECT_EQ(EnergyDivisor(ImperialGrains), 450436.68);
    EXPECT_EQ(EnergyDivisor(ImperialGrams), 450436.68 * 0.06479891);
}

TEST(PowerFactor, ImperialInputsAreNeverNegative) {
    struct Case {
        TUnitState Units;
        double Velocity;
        double Weight;
        double FeetPerSecond;
        double Grains;
    };
    const Case cases[] = {
        {MetricGrams, 300, 8, 300 / 0.3048, 8 / 0.06479891},
        {MetricGrains, 300, 123, 300 / 0.3048, 123},
        {ImperialGrains, 985, 123, 985, 123},
        {ImperialGrams, 985, 8, 985, 8 / 0.06479891},
        {ImperialGrains, -5, -1, 0, 0},
        {ImperialGrains, std::nan(""), std::nan(""), 0, 0},
    };
    for (const Case& c : cases) {
        const TImperial i = ToImperial(c.Velocity, c.Weight, c.Units);
        EXPECT_DOUBLE_EQ(i.FeetPerSecond, c.FeetPerSecond);
        EXPECT_DOUBLE_EQ(i.Grains, c.Grains);
    }
    EXPECT_EQ(PowerFactorText(-3, false), "0");
    EXPECT_EQ(PowerFactorText(std::nan(""), true), "0.0");
    EXPECT_EQ(PowerFactorText(121.99, false), "121") << "rounded down, not to nearest";
    EXPECT_EQ(PowerFactorText(121.96, true), "122.0");
}

TEST(Energy, ZeroTextsFollowTheDisplayMode) {
    struct Case {
        bool Mode;
        bool Ipsc;
        const char* Last;
        const char* Average;
    };
    const Case cases[] = {
        {false, false, "0,00", "00,0"},
        {true, false, "0", "0"},
        {true, true, "0,0", "0,0"},
    };
    TDecimalSeparatorScope guard(',');
    for (const Case& c : cases) {
        EXPECT_EQ(ZeroEnergyText(c.Mode, c.Ipsc), c.Last);
        EXPECT_EQ(ZeroAverageEnergyText(c.Mode, c.Ipsc), c.Average);
    }
    EXPECT_EQ(EnergyText(360), "360,00");
}

TEST(Weight, ClampingAndStoredTexts) {
    struct Case {
        double Typed;
        double Clamped;
        const char* Text;
    };
    const Case cases[] = {
        {-3, 0, "0"},
        {600000, 500000, "500000"},
        {123.4567, 123.4567, "123.457"},
        {std::nan(""), 0, "0"},
    };
    TDecimalSeparatorScope guard('.');
    for (const Case& c : cases) {
        EXPECT_EQ(ClampWeight(c.Typed), c.Clamped);
        EXPECT_EQ(ClampedWeightText(ClampWeight(c.Typed)), c.Text);
    }
    TDecimalSeparatorScope comma(',');
    EXPECT_EQ(WeightGramsText(1.0), "1");
    EXPECT_EQ(WeightGramsText(123.45 * 0.06479891), "7.9994254395");
    EXPECT_EQ(WeightGramsText(0.0000001), "1E-7");
}

TEST(Units, CaptionsAndRescaleFactors) {
    struct Case {
        TUnitState Units;
        bool Pf;
        const char* Velocity;
        const char* Energy;
        const char* Weight;
        const char* Average;
    };
    const Case cases[] = {
        {MetricGrams, false, "m/s", "J", "g ", "EAVG"},
        {MetricGrains, false, "m/s", "J", "gr", "EAVG"},
        {ImperialGrains, false, "ft/s", "ft-lb", "gr", "EAVG"},
        {ImperialGrams, true, "ft/s", "PF", "g ", "PAVG"},
    };
    for (const Case& c : cases) {
        const TUnitTexts t = UnitTexts(c.Units, c.Pf);
        EXPECT_EQ(t.Velocity, c.Velocity);
        EXPECT_EQ(t.Energy, c.Energy);
        EXPECT_EQ(t.Weight, c.Weight);
        EXPECT_EQ(t.AverageCaption, c.Average);
    }
    EXPECT_EQ(UnitRescaleFactor(true), 0.3048);
    EXPECT_EQ(UnitRescaleFactor(false), 3.280839895013123);
    EXPECT_NEAR(1000 * UnitRescaleFactor(true), 304.8, 1e-12);
}
