#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

// The [FILTER] section in parsed form.

// One parsed range rule. When Valid is false only ApplyLive and Kind carry
// meaning.
// Which rule of the filter: the velocity rule "V" or the shots rule "S".
enum class TFilterKind : std::int32_t { Velocity = 0, Shots = 1 };

struct TFilterRule {
    bool Valid = false;
    bool HasMin = false;
    bool HasMax = false;
    bool ApplyLive = false;  // the rule text ended in "+"
    double Min = 0.0;
    double Max = 0.0;
    bool MinInclusive = false;  // value >= Min, else value > Min
    bool MaxInclusive = false;  // value <= Max, else value < Max
    TFilterKind Kind = TFilterKind::Velocity;
};

// A zero configuration means: not enabled, no rule.
struct TFilterConfig {
    bool Enabled = false;
    TFilterRule ShotsRule;
    TFilterRule VelocityRule;
};

// A bound text with every "." and "," replaced by the user's decimal
// separator (DecimalSeparator()), the separator that ParseFilterRule's
// conversion expects.
QString ParseFilterNumber(const QString& text);

// Parses a rule of the form <letter><"(" or "<">[min]~[max]<")" or ">">["+"],
// letter "V" for the velocity rule and "S" for the shots rule, blanks and control characters
// around the whole text and around each bound ignored. Never fails: a text
// that is no rule (also the bare forms "V(~)" and "V<~>") gives Valid false;
// a trailing "+" sets ApplyLive even then. With blanks inside, "V( ~ )" is a
// valid rule without bounds. A bound takes an optional sign,
// digits with at most one decimal point ("." or ","), and an exponent.
TFilterRule ParseFilterRule(const QString& text, TFilterKind kind);

// A valid rule in its own syntax, bounds with the picture "0.##" and the
// user's decimal separator: "V<300~400.46>+". For valid rules only. A rule
// without bounds prints without blanks ("V( ~ )" as "V(~)"), a text that
// would read back as no rule.
QString FilterRuleToText(const TFilterRule& rule);

// "Shots:<rule>", "Velocity:<rule>" or both separated by a blank, naming the
// valid rules; "BYPASS" when neither is valid. Enabled is not looked at.
QString FilterDescription(const TFilterConfig& config);

// True when shotNumber passes the valid shots rule and value the valid
// velocity rule; an invalid rule passes everything. A rule with Min > Max
// passes what lies outside the range between them. Enabled and ApplyLive are
// not looked at.
bool RulePasses(const TFilterConfig& config, std::int32_t shotNumber, double value);

// The lines that pass, in order. Without a valid rule the list comes back
// unchanged; otherwise each line is numbered firstNumber + its position and
// kept when it is one number as a whole (ShotLineValue) that passes
// RulePasses, so a rule without bounds drops every other line.
QStringList ApplyFilterToLines(const QStringList& lines, const TFilterConfig& config,
                               std::int32_t firstNumber);
