// The [FILTER] rules: ParseFilterRule, FilterRuleToText, FilterDescription,
// RulePasses and ApplyFilterToLines.
//
// Input: the byte choosing the user's decimal separator, the shots rule, the
// velocity rule and the lines of a list, cut at NUL bytes.
// Properties: the bare forms "<letter>(~)" and "<letter><~>" (after trimming
// and one trailing "+") are no rule, while the same with blanks around the
// "~" is a valid rule without bounds; a valid rule with a bound prints as a
// text that parses back to a valid rule of the same shape and prints the same
// again (so a status line never shows a rule that the settings file would not
// give), and one without bounds prints as a bare form; "BYPASS" exactly when
// no rule is valid; the filtered list is the lines that are numbers and pass
// RulePasses with their number, in order, or the whole list without a rule.
// A line is a number when it is one as a whole (ShotLineValue).
#include "fuzz/FuzzSupport.h"
#include "platform/core/FormatFloat.h"
#include "series/core/Filter.h"
#include "series/core/NumberText.h"

namespace {

bool IsBareForm(const QString& text, QChar letter) {
    return text == QString(letter) + QStringLiteral("(~)") ||
           text == QString(letter) + QStringLiteral("<~>");
}

void CheckRule(const QString& text, TFilterKind kind) {
    const TFilterRule rule = ParseFilterRule(text, kind);
    fuzz::Require(rule.Kind == kind, "a rule keeps its kind", text);
    const QChar letter = kind == TFilterKind::Velocity ? QLatin1Char('V') : QLatin1Char('S');
    QString bare = TrimText(text);
    if (bare.endsWith(QLatin1Char('+'))) bare.chop(1);
    if (IsBareForm(bare, letter)) {
        fuzz::Require(!rule.Valid, "a bare form is no rule", text);
        // The same with a blank on each side of the "~" is a rule.
        QString spaced = bare;
        spaced.replace(QLatin1Char('~'), QStringLiteral(" ~ "));
        const TFilterRule open = ParseFilterRule(spaced, kind);
        fuzz::Require(open.Valid && !open.HasMin && !open.HasMax,
                      "blanks inside a bare form make a rule without bounds", spaced);
    }
    if (!rule.Valid) return;
    const QString printed = FilterRuleToText(rule);
    const TFilterRule again = ParseFilterRule(printed, kind);
    if (!rule.HasMin && !rule.HasMax) {
        QString printedBare = printed;
        if (rule.ApplyLive) printedBare.chop(1);
        if (IsBareForm(printedBare, letter)) {
            fuzz::Require(!again.Valid, "a rule without bounds prints as a bare form", printed);
            return;
        }
    }
    fuzz::Require(again.Valid, "a printed rule is valid", text + QStringLiteral(" -> ") + printed);
    fuzz::Require(again.HasMin == rule.HasMin && again.HasMax == rule.HasMax &&
                      again.MinInclusive == rule.MinInclusive &&
                      again.MaxInclusive == rule.MaxInclusive && again.ApplyLive == rule.ApplyLive,
                  "a printed rule has the same shape", text + QStringLiteral(" -> ") + printed);
    fuzz::Require(FilterRuleToText(again) == printed, "a printed rule prints the same", printed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const QChar separators[] = {QLatin1Char('.'), QLatin1Char(','), QChar(0x066B)};
    SetDecimalSeparatorForTesting(separators[data[0] % 3]);
    const auto fields = fuzz::Fields(data + 1, size - 1, 3);
    const QString shotsText = fuzz::Text(fields[0]);
    const QString velocityText = fuzz::Text(fields[1]);
    CheckRule(shotsText, TFilterKind::Shots);
    CheckRule(velocityText, TFilterKind::Velocity);

    TFilterConfig config;
    config.Enabled = true;
    config.ShotsRule = ParseFilterRule(shotsText, TFilterKind::Shots);
    config.VelocityRule = ParseFilterRule(velocityText, TFilterKind::Velocity);
    const bool anyRule = config.ShotsRule.Valid || config.VelocityRule.Valid;
    fuzz::Require((FilterDescription(config) == QLatin1String("BYPASS")) == !anyRule,
                  "BYPASS exactly without a valid rule", FilterDescription(config));

    const QStringList lines = fuzz::Text(fields[2]).split(QLatin1Char('\n'));
    const std::int32_t first = 1 + data[0] / 3;
    const QStringList kept = ApplyFilterToLines(lines, config, first);
    if (!anyRule) {
        fuzz::Require(kept == lines, "without a rule the list stays whole");
        return 0;
    }
    QStringList expected;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        double value = 0;
        if (!ShotLineValue(lines.at(i), value)) continue;
        if (RulePasses(config, first + std::int32_t(i), value)) expected.append(lines.at(i));
    }
    fuzz::Require(kept == expected, "the kept lines are the passing numbers in order");
    return 0;
}
