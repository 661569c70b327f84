// The range rules of [FILTER]: parsing, printing, the test of a value and the
// filtering of a list of lines.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "platform/core/FormatFloat.h"
#include "support/CoreSupport.h"
#include "series/core/Filter.h"

namespace {

constexpr TFilterKind V = TFilterKind::Velocity;
constexpr TFilterKind S = TFilterKind::Shots;

const QChar ArabicSeparator(0x066B);

// Sets the user's decimal separator for one test and puts it back.
TFilterConfig Config(const QString& shots, const QString& velocity, bool enabled = true) {
    TFilterConfig config;
    config.Enabled = enabled;
    config.ShotsRule = ParseFilterRule(shots, TFilterKind::Shots);
    config.VelocityRule = ParseFilterRule(velocity, TFilterKind::Velocity);
    return config;
}

}  // namespace

TEST(ParseFilterRule, ReadsTheRuleSyntax) {
    TDecimalSeparatorScope guard(QLatin1Char('.'));
    struct Case {
        QString Text;
        TFilterKind Kind;
        bool Valid;
        bool Live;
        bool HasMin = false;
        double Min = 0;
        bool MinInclusive = false;
        bool HasMax = false;
        double Max = 0;
        bool MaxInclusive = false;
    };
    const Case cases[] = {
        {"V(300~400)", V, true, false, true, 300, 0, true, 400, 0},
        {"V<300~400>+", V, true, true, true, 300, 1, true, 400, 1},
        {"V(300~)", V, true, false, true, 300, 0, false, 0, 0},
        {"S<~10>", S, true, false, false, 0, 1, true, 10, 1},
        {"V(~>", V, true, false, false, 0, 0, false, 0, 1},
        // Blanks inside make the empty forms a rule without bounds.
        {"V( ~ )", V, true, false, false, 0, 0, false, 0, 0},
        {"V( ~)", V, true, false, false, 0, 0, false, 0, 0},
        {"V<~ >+", V, true, true, false, 0, 1, false, 0, 1},
        {"S( \t~ )", S, true, false, false, 0, 0, false, 0, 0},
        {" \tV( 300 ~ 400 )+\r\n", V, true, true, true, 300, 0, true, 400, 0},
        {"V(1,5~2.5)", V, true, false, true, 1.5, 0, true, 2.5, 0},
        {"S(10~5)", S, true, false, true, 10, 0, true, 5, 0},
        {"V<-5e1~+1E3)", V, true, false, true, -50, 1, true, 1000, 0},
        {"V(" + QString(100, '0') + "3~)", V, true, false, true, 3, 0, false, 0, 0},
        // The bare empty forms and every malformed text give no rule.
        {"", V, false, false},
        {"V(~)", V, false, false},
        {"V<~>", V, false, false},
        {"S(~)", S, false, false},
        {"S<~>", S, false, false},
        {"V(~)+", V, false, true},
        {" V(~) ", V, false, false},
        {"V<~>+", V, false, true},
        {"+", V, false, true},
        {"V(300~400) +", V, false, true},
        {"V(300~400)++", V, false, true},
        {"v(300~400)", V, false, false},
        {"V (300~400)", V, false, false},
        {"V(300-400)", V, false, false},
        {"V(1~2~3)", V, false, false},
        {"V(abc~400)", V, false, false},
        {"V(300~4oo)", V, false, false},
        {"V()", V, false, false},
        {"V(", V, false, false},
        {"V", V, false, false},
        {"V[300~400]", V, false, false},
        {"V(300~400]", V, false, false},
        {"V(1.000,5~2000)", V, false, false},
        {"V(1~5)", S, false, false},
        {"S(1~5)", V, false, false},
        {"V(inf~)", V, false, false},
        {"V(1e999~)", V, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text.toStdString());
        const TFilterRule rule = ParseFilterRule(c.Text, c.Kind);
        EXPECT_EQ(rule.Kind, c.Kind);
        EXPECT_EQ(rule.Valid, c.Valid);
        EXPECT_EQ(rule.ApplyLive, c.Live);
        if (!c.Valid) continue;
        EXPECT_EQ(rule.HasMin, c.HasMin);
        EXPECT_EQ(rule.HasMax, c.HasMax);
        EXPECT_EQ(rule.MinInclusive, c.MinInclusive);
        EXPECT_EQ(rule.MaxInclusive, c.MaxInclusive);
        if (c.HasMin) {
            EXPECT_DOUBLE_EQ(rule.Min, c.Min);
        }
        if (c.HasMax) {
            EXPECT_DOUBLE_EQ(rule.Max, c.Max);
        }
    }
}

TEST(ParseFilterRule, ReadsBothSeparatorsWhateverTheLocale) {
    for (const QChar separator : {QChar(u'.'), QChar(u','), ArabicSeparator}) {
        TDecimalSeparatorScope guard(separator);
        EXPECT_EQ(ParseFilterNumber(QStringLiteral("1.5,2")), QStringLiteral("1") + separator +
                                                                  QStringLiteral("5") + separator +
                                                                  QStringLiteral("2"));
        for (const char* text : {"V(1.5~2,5)", "V(1,5~2.5)"}) {
            const TFilterRule rule = ParseFilterRule(QString::fromLatin1(text), V);
            ASSERT_TRUE(rule.Valid) << text;
            EXPECT_DOUBLE_EQ(rule.Min, 1.5);
            EXPECT_DOUBLE_EQ(rule.Max, 2.5);
        }
    }
}

TEST(FilterRuleToText, PrintsAValidRuleInItsOwnSyntax) {
    struct Case {
        QString Rule;
        TFilterKind Kind;
        QChar Separator;
        QString Expected;
    };
    const Case cases[] = {
        {"V<300~400.456>+", V, '.', "V<300~400.46>+"},
        {"V(300.0~)", V, '.', "V(300~)"},
        {"V(300.456~)", V, ',', "V(300,46~)"},
        {"S(~20>", S, '.', "S(~20>"},
        {" V( ~ > ", V, '.', "V(~>"},
        {"V( ~ )+", V, '.', "V(~)+"},
        {"V<-1.5~1.005)", V, '.', "V<-1.5~1.01)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Rule.toStdString());
        TDecimalSeparatorScope guard(c.Separator);
        EXPECT_EQ(FilterRuleToText(ParseFilterRule(c.Rule, c.Kind)), c.Expected);
    }
}

TEST(FilterDescription, NamesTheValidRulesOrBypass) {
    TDecimalSeparatorScope guard(QLatin1Char('.'));
    struct Case {
        QString Shots;
        QString Velocity;
        QString Expected;
    };
    const Case cases[] = {
        {"S(0~20)", "V<300~400>+", "Shots:S(0~20) Velocity:V<300~400>+"},
        {"S(~)", "V(300~)", "Velocity:V(300~)"},
        {"S<~5>", "V(~)", "Shots:S<~5>"},
        {"S(~)+", "V(~)", "BYPASS"},
        {"", "junk", "BYPASS"},
        {"S(~)", "V( ~ )", "Velocity:V(~)"},
        {"S( ~)", "V<~>+", "Shots:S(~)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FilterDescription(Config(c.Shots, c.Velocity)), c.Expected);
        // Enabled plays no part.
        EXPECT_EQ(FilterDescription(Config(c.Shots, c.Velocity, false)), c.Expected);
    }
}

TEST(RulePasses, TestsTheShotNumberAndTheValue) {
    TDecimalSeparatorScope guard(QLatin1Char('.'));
    struct Case {
        QString Shots;
        QString Velocity;
        int Shot;
        double Value;
        bool Passes;
    };
    const Case cases[] = {
        {"S(~)", "V(300~400)", 1, 300, false},
        {"S(~)", "V(300~400)", 1, 300.001, true},
        {"S(~)", "V(300~400)", 1, 400, false},
        {"S(~)", "V<300~400>", 1, 300, true},
        {"S(~)", "V<300~400>", 1, 400, true},
        {"S(~)", "V<300~400>", 1, 400.01, false},
        {"S(~)", "V(300~)", 1, 1e9, true},
        {"S(~)", "V(~300)", 1, -1e9, true},
        {"S(~)", "V( ~ )", 1, -5, true},
        // Inverted ranges cut the range between the bounds out.
        {"S(~)", "V(400~300)", 1, 401, true},
        {"S(~)", "V(400~300)", 1, 299, true},
        {"S(~)", "V(400~300)", 1, 300, false},
        {"S(~)", "V(400~300)", 1, 350, false},
        {"S(~)", "V(400~300)", 1, 400, false},
        {"S(~)", "V<400~300>", 1, 400, true},
        {"S(~)", "V<400~300>", 1, 300, true},
        {"S(~)", "V<400~300>", 1, 350, false},
        // Equal bounds are no inverted range.
        {"S(~)", "V<500~500>", 1, 500, true},
        {"S(~)", "V<500~500>", 1, 500.5, false},
        {"S(~)", "V(500~500)", 1, 500, false},
        {"S<3~3>", "V(~)", 3, 0, true},
        {"S<3~3>", "V(~)", 2, 0, false},
        {"S(3~3)", "V(~)", 3, 0, false},
        // Both valid rules must pass.
        {"S(~2>", "V(300~)", 2, 310, true},
        {"S(~2>", "V(300~)", 3, 310, false},
        {"S(~2>", "V(300~)", 2, 290, false},
        // An invalid rule passes everything, "+" or not.
        {"S(~)+", "V(~)+", 99, -1, true},
        {"S (1~2)", "V(abc~)", 99, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.Shots + " " + c.Velocity).toStdString() + " shot " +
                     std::to_string(c.Shot) + " value " + std::to_string(c.Value));
        EXPECT_EQ(RulePasses(Config(c.Shots, c.Velocity), c.Shot, c.Value), c.Passes);
        EXPECT_EQ(RulePasses(Config(c.Shots, c.Velocity, false), c.Shot, c.Value), c.Passes);
    }
}

TEST(ApplyFilterToLines, KeepsThePassingNumbersInOrder) {
    TDecimalSeparatorScope guard(QLatin1Char('.'));
    const QStringList lines = {"300", "BLE: connected", "310", "", "405,5", " 350 ", "320 m/s"};
    struct Case {
        const char* Name;
        QString Shots;
        QString Velocity;
        int First;
        QStringList Expected;
    };
    const Case cases[] = {
        {"NoRuleReturnsAll", "S(~)", "V(~)", 1, lines},
        {"BareFormsAreNoRule", "S<~>", "V(~)+", 1, lines},
        {"RuleWithoutBoundsDropsNonNumbers", "S(~)", "V( ~ )", 1, {"300", "310", "405,5", " 350 "}},
        {"NoBoundsDropsNonNumbers", "S(~)", "V(~>", 1, {"300", "310", "405,5", " 350 "}},
        {"EveryLineTakesANumber", "S(~3>", "V( ~ )", 1, {"300", "310"}},
        {"FirstNumberShiftsTheCount", "S(~3>", "V( ~ )", 3, {"300"}},
        {"VelocityRule", "S(~)", "V<310~400>", 1, {"310", " 350 "}},
        {"NothingPasses", "S(3~3)", "V(~)", 1, {}},
        {"HugeFirstNumberDoesNotWrap", "S<~10>", "V(~)", 2147483647, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ApplyFilterToLines(lines, Config(c.Shots, c.Velocity), c.First), c.Expected);
    }
}
