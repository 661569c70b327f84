// Units, weight, energy and power factor on a real main form: the labels
// against values computed here from the physics, the weight box and its
// settings keys, and the units switch in plain and CNV mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <QStringList>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

constexpr double Foot = 0.3048;
constexpr double Grain = 0.06479891;

struct Setting {
    const char* Key;
    const char* Value;
};

QString Fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

// The energy divisor as the physics gives it: grams and m/s make 2000 per
// joule, grains and ft/s 450436.68 per foot-pound; Mix swaps the weight unit.
double Divisor(bool metric, bool mix) {
    if (metric) return mix ? 2000 / Grain : 2000;
    return mix ? 450436.68 * Grain : 450436.68;
}

double ExpectedEnergy(double velocity, double weight, bool metric, bool mix) {
    return weight * velocity * velocity / Divisor(metric, mix);
}

double ExpectedPowerFactor(double velocity, double weight, bool metric, bool mix) {
    const double feet = std::max(0.0, metric ? velocity / Foot : velocity);
    const double grains = std::max(0.0, metric == mix ? weight : weight / Grain);
    return feet * grains / 1000;
}

}  // namespace

class Units : public FormFixture {
protected:
    void WriteSettings(std::initializer_list<Setting> settings) {
        for (const Setting& s : settings)
            WriteIniValue("Settings", s.Key, QString::fromLatin1(s.Value));
    }

    QString Ini(const char* key) { return IniValue("Settings", key); }

    // Shots through the line intake, one chronograph line each, in the unit shown.
    void Feed(const std::vector<double>& shown) {
        for (const double v : shown)
            Form().ProcessIncomingLine(QStringLiteral("V=") + FormatDot2(v) +
                                       QStringLiteral(" nr 1"));
    }

    void SetDisplay(bool powerFactor, bool ipsc) {
        P::FPowerFactorMode(Form()) = powerFactor;
        P::FPowerFactorIpsc(Form()) = ipsc;
        Form().UpdateUnitLabels();
        Form().RefreshEnergyLabels();
    }

    QStringList MemoLines() { return Form().Memo1->Lines()->ToStringList(); }
};

TEST_F(Units, KnownShotsGiveTheirEnergyAndPowerFactor) {
    struct Case {
        bool metric, mix;
        const char* weight;
        double velocity;
        const char* energy;
        const char* pf;
        const char* ipsc;
    };
    const Case cases[] = {
        {true, false, "8", 300, "360.00", "121", "121.5"},
        {false, false, "123.5", 985, "266.01", "121", "121.6"},
        {true, true, "123.45", 300, "359.97", "121", "121.5"},
        // A negative velocity has an energy but no negative power factor.
        {true, false, "8", -300, "360.00", "0", "0.0"},
    };
    StartForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.weight);
        Form().CheckBox1->SetChecked(c.metric);
        Form().CheckBox2->SetChecked(c.mix);
        Form().Edit1->SetText(QString::fromLatin1(c.weight));
        ShownSeries().StatsReset();
        Feed({c.velocity});
        EXPECT_EQ(Form().Label15->Caption(), c.energy);
        SetDisplay(true, false);
        EXPECT_EQ(Form().Label15->Caption(), c.pf);
        SetDisplay(true, true);
        EXPECT_EQ(Form().Label15->Caption(), c.ipsc);
        SetDisplay(false, false);
    }
}

TEST_F(Units, EveryUnitStateShowsEnergiesPowerFactorsAndCaptions) {
    struct Case {
        bool metric, mix;
        const char* velocityUnit;
        const char* energyUnit;
        const char* weightUnit;
    };
    const Case cases[] = {
        {true, false, "m/s", "J", "g "},
        {true, true, "m/s", "J", "gr"},
        {false, false, "ft/s", "ft-lb", "gr"},
        {false, true, "ft/s", "ft-lb", "g "},
    };
    const std::vector<double> shots = {301.7, 289.4, 312.9};
    const double weight = 9.53;
    StartForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.velocityUnit) + " " + c.weightUnit);
        EmptyListQuietly();
        ShownSeries().RebuildVelocityCache({}, true);
        ShownSeries().StatsReset();
        Form().CheckBox1->SetChecked(c.metric);
        Form().CheckBox2->SetChecked(c.mix);
        Form().Edit1->SetText(QStringLiteral("9.53"));
        Feed(shots);

        double sumSquares = 0;
        for (const double v : shots) sumSquares += v * v;
        const double mean = (shots[0] + shots[1] + shots[2]) / 3;
        EXPECT_EQ(Form().Label16->Caption(), c.velocityUnit);
        EXPECT_EQ(Form().Label17->Caption(), c.energyUnit);
        EXPECT_EQ(Form().Label18->Caption(), c.weightUnit);
        EXPECT_EQ(Form().Label21->Caption(), "EAVG");
        EXPECT_EQ(Form().Label15->Caption(),
                  Fixed(ExpectedEnergy(shots.back(), weight, c.metric, c.mix), 2));
        EXPECT_EQ(Form().Label19->Caption(),
                  Fixed(sumSquares / 3 * weight / Divisor(c.metric, c.mix), 2));

        SetDisplay(true, false);
        EXPECT_EQ(Form().Label17->Caption(), "PF");
        EXPECT_EQ(Form().Label21->Caption(), "PAVG");
        EXPECT_EQ(Form().Label15->Caption(), QString::number(std::floor(ExpectedPowerFactor(
                                                 shots.back(), weight, c.metric, c.mix))));
        EXPECT_EQ(Form().Label19->Caption(),
                  QString::number(std::floor(ExpectedPowerFactor(mean, weight, c.metric, c.mix))));
        SetDisplay(true, true);
        EXPECT_EQ(Form().Label15->Caption(),
                  Fixed(ExpectedPowerFactor(shots.back(), weight, c.metric, c.mix), 1));
        EXPECT_EQ(Form().Label19->Caption(),
                  Fixed(ExpectedPowerFactor(mean, weight, c.metric, c.mix), 1));
        SetDisplay(false, false);
    }
}

TEST_F(Units, ZeroPlaceholdersFollowTheDisplayAndTheDecimalSeparator) {
    struct Case {
        bool powerFactor, ipsc;
        QChar separator;
        const char* last;
        const char* average;
    };
    const Case cases[] = {
        {false, false, '.', "0.00", "00.0"}, {true, false, '.', "0", "0"},
        {true, true, '.', "0.0", "0.0"},     {false, false, ',', "0,00", "00,0"},
        {true, true, ',', "0,0", "0,0"},
    };
    StartForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.last);
        SetDecimalSeparatorForTesting(c.separator);
        // No shot yet and no number in the big label.
        Form().Label2->SetCaption(QStringLiteral("--"));
        SetDisplay(c.powerFactor, c.ipsc);
        EXPECT_EQ(Form().Label15->Caption(), c.last);
        EXPECT_EQ(Form().Label19->Caption(), c.average);
        EXPECT_EQ(Form().ZeroEnergyText(), c.last);
        EXPECT_EQ(Form().ZeroAverageEnergyText(), c.average);
    }
    SetDecimalSeparatorForTesting(QLatin1Char(','));
    SetDisplay(false, false);
    Form().Edit1->SetText(QStringLiteral("8"));
    Feed({300});
    EXPECT_EQ(Form().Label15->Caption(), "360,00");
}

TEST_F(Units, WeightBoxInputIsClampedOrRefusedWithoutLosingShots) {
    struct Case {
        bool mix;
        bool powerFactor;
        const char* typed;
        double grams;            // the stored weight afterwards
        const char* box;         // the box afterwards
        const char* multiplier;  // [Settings] Multiplier afterwards
    };
    // The form starts metric with the box at 2 g.
    const Case cases[] = {
        {false, false, "abc", 2, "abc", "2"},
        {false, false, "", 2, "", "2"},
        {false, false, "1,5", 1.5, "1,5", "1,5"},
        {false, false, "600000", 500000, "500000", "500000"},
        {true, false, "600000", 500000 * Grain, "500000", "500000"},
        {false, false, "-3", 0, "0", "0"},
        {false, false, "1e300", 500000, "500000", "500000"},
        // In a power-factor display the box keeps what was typed.
        {false, true, "600000", 500000, "600000", "600000"},
        // Longer than a number can be: refused like any other text.
        {false, false, "1234567890123456789012345678901234567890123456789012345678901234", 2,
         "1234567890123456789012345678901234567890123456789012345678901234", "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        WriteSettings({{"MU", c.mix ? "11" : "10"}, {"Multiplier", "2"}, {"CNV", "0"}});
        StartForm();
        Feed({300, 310});
        if (c.powerFactor) SetDisplay(true, false);
        Form().Edit1->SetText(QString::fromLatin1(c.typed));

        EXPECT_DOUBLE_EQ(P::FWeightGrams(Form()), c.grams);
        EXPECT_EQ(Form().Edit1->Text(), c.box);
        EXPECT_EQ(Ini("Multiplier"), c.multiplier);
        EXPECT_EQ(Ini("MU"), c.mix ? "11" : "10");
        EXPECT_EQ(MemoLines(), QStringList({"300", "310"}));
        EXPECT_EQ(ShownSeries().Stats().Count, 2);
        if (!c.powerFactor) {
            double shownWeight = 0;
            if (!ParseDotDouble(Form().Edit1->Text(), shownWeight)) shownWeight = 0;
            EXPECT_EQ(Form().Label15->Caption(),
                      Fixed(ExpectedEnergy(310, shownWeight, true, c.mix), 2));
        }
        CloseForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(Units, AcceptedWeightWritesBothKeys) {
    struct Case {
        const char* mu;
        const char* typed;
        double grams;
    };
    const Case cases[] = {
        {"10", "8", 8}, {"10", "7.25", 7.25},     {"0", "123.5", 123.5 * Grain},
        {"1", "8", 8},  {"11", "55", 55 * Grain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        WriteSettings({{"MU", c.mu}, {"CNV", "0"}});
        StartForm();
        Form().Edit1->SetText(QString::fromLatin1(c.typed));
        EXPECT_DOUBLE_EQ(P::FWeightGrams(Form()), c.grams);
        EXPECT_EQ(Ini("Multiplier"), c.typed);
        EXPECT_EQ(Ini("MultiplierG"), QString::number(c.grams, 'g', 15));
        CloseForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(Units, PlainModeUnitChangeRelabelsAndKeepsEveryNumber) {
    WriteSettings({{"MU", "10"}, {"Multiplier", "8"}, {"CNV", "0"}});
    StartForm();
    Feed({300, 310.5});
    struct Step {
        bool metric, mix;
        const char* mu;
        const char* weightUnit;
    };
    const Step steps[] = {
        {false, false, "0", "gr"},
        {false, true, "1", "g "},
        {true, true, "11", "gr"},
        {true, false, "10", "g "},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.mu);
        Form().CheckBox1->SetChecked(s.metric);
        Form().CheckBox2->SetChecked(s.mix);
        EXPECT_EQ(MemoLines(), QStringList({"300", "310.5"}));
        EXPECT_EQ(Form().Edit1->Text(), "8");
        EXPECT_EQ(Ini("MU"), s.mu);
        EXPECT_EQ(Ini("Multiplier"), "8");
        EXPECT_EQ(Form().Label18->Caption(), s.weightUnit);
        EXPECT_EQ(Form().Label16->Caption(), s.metric ? "m/s" : "ft/s");
        EXPECT_EQ(Form().Label15->Caption(), Fixed(ExpectedEnergy(310.5, 8, s.metric, s.mix), 2));
        EXPECT_EQ(P::FLastUnitsMetric(Form()), s.metric);
        EXPECT_EQ(P::FLastWeightMix(Form()), s.mix);
    }
}

TEST_F(Units, CnvModeConvertsListSnapshotWeightAndStatisticsThereAndBack) {
    WriteSettings({{"MU", "10"}, {"MultiplierG", "8"}, {"CNV", "1"}});
    StartForm();
    ASSERT_TRUE(Form().IsCnvMode());
    EXPECT_EQ(Form().Edit1->Text(), "8");
    const std::vector<double> metres = {300, 310.5, 295.25};
    Feed(metres);
    P::FMemoSnapshot(Form()) = {QStringLiteral("1000"), QStringLiteral("note")};

    Form().CheckBox1->SetChecked(false);
    QStringList feet;
    for (const double v : metres) feet << FormatDot2(v / Foot);
    EXPECT_EQ(MemoLines(), feet);
    EXPECT_EQ(ShownSeries().Stats().Count, 3);
    EXPECT_NEAR(ShownSeries().Stats().Mean, (300 + 310.5 + 295.25) / 3 / Foot, 1e-6);
    EXPECT_EQ(P::FMemoSnapshot(Form()), std::vector<QString>({"3280.84", "note"}));
    EXPECT_EQ(Form().Edit1->Text(), FormatDot12(8 / Grain));
    EXPECT_DOUBLE_EQ(P::FWeightGrams(Form()), 8);
    EXPECT_EQ(Form().Label16->Caption(), "ft/s");
    EXPECT_EQ(Form().Label15->Caption(), Fixed(295.25 * 295.25 * 8 / 2000 * 0.737562149, 2));
    EXPECT_EQ(Ini("MU"), "0");
    EXPECT_EQ(Ini("MultiplierG"), "8");
    EXPECT_EQ(Ini("Multiplier"), FormatDot12(8 / Grain));

    Form().CheckBox1->SetChecked(true);
    EXPECT_EQ(MemoLines(), QStringList({"300", "310.5", "295.25"}));
    EXPECT_EQ(ShownSeries().Stats().Count, 3);
    EXPECT_NEAR(ShownSeries().Stats().Mean, (300 + 310.5 + 295.25) / 3, 1e-9);
    EXPECT_EQ(P::FMemoSnapshot(Form()), std::vector<QString>({"1000", "note"}));
    EXPECT_EQ(Form().Edit1->Text(), "8");
    EXPECT_EQ(Form().Label15->Caption(), Fixed(295.25 * 295.25 * 8 / 2000, 2));
    EXPECT_EQ(Ini("MU"), "10");
}

TEST_F(Units, CnvModeKeepsTheScrollingWindowTheUserSet) {
    WriteSettings({{"MU", "10"}, {"MultiplierG", "8"}, {"CNV", "1"}, {"CheckBoxScroll", "1"}});
    StartForm();
    Feed({300, 310, 320, 330, 340});
    TChartAxis* axis = Form().Chart1->BottomAxis();
    axis->SetAutomatic(false);
    axis->SetMinMax(1.5, 3.5);
    P::FZoomActive(Form()) = true;
    P::FZoomAnchor(Form()) = TZoomAnchor::End;
    P::FZoomSteps(Form()) = 1;

    Form().CheckBox1->SetChecked(false);
    EXPECT_FALSE(axis->Automatic());
    EXPECT_DOUBLE_EQ(axis->Minimum(), 1.5);
    EXPECT_DOUBLE_EQ(axis->Maximum(), 3.5);
    EXPECT_TRUE(P::FZoomActive(Form()));
    EXPECT_EQ(P::FZoomAnchor(Form()), TZoomAnchor::End);
    EXPECT_EQ(P::FZoomSteps(Form()), 1);
    EXPECT_EQ(P::FActiveSeries(Form())->Count(), 5);
}

TEST_F(Units, CnvModeMixAloneRewritesOnlyTheWeight) {
    WriteSettings({{"MU", "10"}, {"MultiplierG", "8"}, {"CNV", "1"}});
    StartForm();
    Feed({300, 310.5});
    Form().CheckBox2->SetChecked(true);
    EXPECT_EQ(MemoLines(), QStringList({"300", "310.5"}));
    EXPECT_EQ(Form().Edit1->Text(), FormatDot12(8 / Grain));
    EXPECT_EQ(Form().Label18->Caption(), "gr");
    EXPECT_EQ(Form().Label15->Caption(), Fixed(310.5 * 310.5 * 8 / 2000, 2));
    EXPECT_EQ(Ini("MU"), "11");
    Form().CheckBox2->SetChecked(false);
    EXPECT_EQ(Form().Edit1->Text(), "8");
    EXPECT_EQ(Ini("MultiplierG"), "8");
}

TEST_F(Units, CnvStartTakesTheStoredWeightAndKeepsTheSettings) {
    struct Case {
        const char* mu;
        const char* multiplierG;
        const char* multiplier;
        double grams;
    };
    const Case cases[] = {
        {"10", "8", "99", 8},
        {"10", "-1", "5", 5},
        {"10", "0", "5", 0},
        {"10", "", "abc", 1},
        {"0", "", "123.5", 123.5 * Grain},
        // Start-up restores an imperial Units box before it reads the weight:
        // neither the weight nor MU may be overwritten on the way.
        {"0", "8", "99", 8},
        {"1", "8", "99", 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mu) + "/" + c.multiplierG + "/" + c.multiplier);
        WriteSettings({{"MU", c.mu},
                       {"MultiplierG", c.multiplierG},
                       {"Multiplier", c.multiplier},
                       {"CNV", "1"}});
        StartForm();
        EXPECT_DOUBLE_EQ(P::FWeightGrams(Form()), c.grams);
        const bool grains = Form().CheckBox1->Checked() == Form().CheckBox2->Checked();
        const QString box = FormatDot12(grains ? c.grams / Grain : c.grams);
        EXPECT_EQ(Form().Edit1->Text(), box);
        EXPECT_EQ(Ini("MultiplierG"), QString::number(c.grams, 'g', 15));
        EXPECT_EQ(Ini("Multiplier"), box);
        EXPECT_EQ(Ini("MU"), c.mu);
        CloseForm();
        QFile::remove(IniFilePath());
    }
}

TEST_F(Units, CnvModeIsReadFromTheFileAtEveryUse) {
    StartForm();
    struct Case {
        const char* value;
        bool on;
    };
    const Case cases[] = {{"0", false}, {"1", true}, {"-2", true}, {"abc", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        WriteSettings({{"CNV", c.value}});
        EXPECT_EQ(Form().IsCnvMode(), c.on);
    }
    QFile::remove(IniFilePath());
    EXPECT_FALSE(Form().IsCnvMode());
}

TEST_F(Units, CnvEnergiesComeFromTheCacheAndTheGrams) {
    WriteSettings({{"MU", "0"}, {"MultiplierG", "8"}, {"CNV", "1"}});
    StartForm();
    Feed({300 / Foot, 320 / Foot});
    EXPECT_EQ(Form().Label15->Caption(), Fixed(320.0 * 320 * 8 / 2000 * 0.737562149, 2));
    EXPECT_EQ(Form().Label19->Caption(),
              Fixed((300.0 * 300 + 320.0 * 320) / 2 * 8 / 2000 * 0.737562149, 2));
    ShownSeries().RebuildVelocityCache(std::vector<double>{300}, true);
    Form().RefreshEnergyLabels();
    EXPECT_EQ(Form().Label15->Caption(), "265.52");
}

TEST_F(Units, PowerFactorKeysCycleTheDisplay) {
    struct Step {
        char key;
        bool powerFactor, ipsc;
        const char* energyUnit;
        const char* caption;
    };
    const Step steps[] = {
        {'P', true, false, "PF", "PAVG"}, {'P', false, false, "J", "EAVG"},
        {'O', true, true, "PF", "PAVG"},  {'P', true, false, "PF", "PAVG"},
        {'O', true, true, "PF", "PAVG"},  {'O', false, false, "J", "EAVG"},
    };
    StartForm();
    for (const Step& s : steps) {
        Form().Label20->SetCaption(QStringLiteral("status"));
        if (s.key == 'P')
            Form().TogglePowerFactor();
        else
            Form().TogglePowerFactorIpsc();
        EXPECT_EQ(P::FPowerFactorMode(Form()), s.powerFactor);
        EXPECT_EQ(P::FPowerFactorIpsc(Form()), s.ipsc);
        EXPECT_EQ(Form().Label17->Caption(), s.energyUnit);
        EXPECT_EQ(Form().Label21->Caption(), s.caption);
        EXPECT_EQ(Form().Label20->Caption(), "");
    }
}

TEST_F(Units, ScaleStoredValuesRescalesOnlyNumericSnapshotLines) {
    StartForm();
    struct Case {
        double factor;
        std::vector<QString> before, after;
    };
    const Case cases[] = {
        {0.3048, {"1000", "abc", "812,5"}, {"304.8", "abc", "247.65"}},
        {3.280839895013123, {"304.8"}, {"1000"}},
        {1.0, {"1000.004", "x"}, {"1000.004", "x"}},
    };
    for (const Case& c : cases) {
        P::FMemoSnapshot(Form()) = c.before;
        Form().ScaleStoredValues(c.factor);
        EXPECT_EQ(P::FMemoSnapshot(Form()), c.after);
    }
}

TEST_F(Units, ValueTooLargeForTheOtherUnitStaysAsItWas) {
    // 1.7e308 m/s in feet per second is beyond the double range: no number
    // can stand for it, and a line reading "INF" would be no value at all.
    // Such a line is no shot in the first place (beyond MaxShotMagnitude),
    // and neither is 1e62 m/s in feet per second. The lines are kept as
    // they were.
    WriteSettings({{"MU", "10"}, {"CNV", "1"}});
    StartForm();
    ASSERT_TRUE(Form().IsCnvMode());
    Feed({300});
    P::FMemoSnapshot(Form()) = {QStringLiteral("1.7E308"), QStringLiteral("1000"),
                                QStringLiteral("-1.7E308"), QStringLiteral("1E62")};

    Form().CheckBox1->SetChecked(false);
    EXPECT_EQ(P::FMemoSnapshot(Form()),
              std::vector<QString>({"1.7E308", "3280.84", "-1.7E308", "1E62"}));
    for (const QString& line : P::FMemoSnapshot(Form())) {
        double value = 0;
        EXPECT_TRUE(ParseDotDouble(line, value) && std::isfinite(value)) << line.toStdString();
    }

    // Back in metres the shots are scaled as any other.
    Form().CheckBox1->SetChecked(true);
    EXPECT_EQ(P::FMemoSnapshot(Form()),
              std::vector<QString>({"1.7E308", "1000", "-1.7E308", FormatDot2(1e62 * Foot)}));
    EXPECT_EQ(MemoLines(), QStringList({"300"}));
}
