#include "series/core/Filter.h"

#include <cmath>
#include <string>
#include <system_error>

#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"

namespace {

// Converts a bound that ParseFilterNumber rewrote. The grammar is that of
// ParseDotDouble (sign, digits with at most one decimal point, exponent), but
// without its length limit: a settings file may hold a bound of any length.
bool ConvertBound(const QString& text, double& value) {
    const QChar separator = DecimalSeparator();
    std::string ascii;
    ascii.reserve(std::size_t(text.size()));
    for (const QChar c : text) {
        if (c == separator) {
            ascii.push_back('.');
        } else if (c.unicode() == 0 || c.unicode() > 0x7F) {
            return false;
        } else {
            ascii.push_back(char(c.unicode()));
        }
    }
    return ConvertDecimalAscii(ascii.data(), ascii.data() + ascii.size(), value);
}

bool BoundPasses(const TFilterRule& rule, double x) {
    if (!rule.Valid) return true;
    const bool lower = !rule.HasMin || (rule.MinInclusive ? x >= rule.Min : x > rule.Min);
    const bool upper = !rule.HasMax || (rule.MaxInclusive ? x <= rule.Max : x < rule.Max);
    if (rule.HasMin && rule.HasMax && rule.Min > rule.Max) return lower || upper;
    return lower && upper;
}

}  // namespace

QString ParseFilterNumber(const QString& text) {
    const QChar separator = DecimalSeparator();
    QString result = text;
    for (QChar& c : result)
        if (c == QLatin1Char('.') || c == QLatin1Char(',')) c = separator;
    return result;
}

TFilterRule ParseFilterRule(const QString& text, TFilterKind kind) {
    TFilterRule rule;
    rule.Kind = kind;
    const QChar letter = kind == TFilterKind::Velocity ? QLatin1Char('V') : QLatin1Char('S');

    QString s = TrimText(text);
    if (!s.isEmpty() && s.back() == QLatin1Char('+')) {
        rule.ApplyLive = true;
        s.chop(1);
    }
    // Only the two bare forms are "no rule": "V( ~ )" is a rule without
    // bounds, which passes every number and drops what is no number.
    if (s.isEmpty() || s == QString(letter) + QStringLiteral("(~)") ||
        s == QString(letter) + QStringLiteral("<~>"))
        return rule;
    if (s.size() < 2 || s.at(0) != letter) return rule;

    const QChar open = s.at(1);
    if (open == QLatin1Char('('))
        rule.MinInclusive = false;
    else if (open == QLatin1Char('<'))
        rule.MinInclusive = true;
    else
        return rule;

    if (s.size() < 3) return rule;
    const QChar close = s.back();
    if (close == QLatin1Char(')'))
        rule.MaxInclusive = false;
    else if (close == QLatin1Char('>'))
        rule.MaxInclusive = true;
    else
        return rule;

    const QString inner = TrimText(s.mid(2, s.size() - 3));
    const qsizetype tilde = inner.indexOf(QLatin1Char('~'));
    if (tilde < 0) return rule;
    const QString lowerText = TrimText(inner.left(tilde));
    const QString upperText = TrimText(inner.mid(tilde + 1));

    if (!lowerText.isEmpty()) {
        if (!ConvertBound(ParseFilterNumber(lowerText), rule.Min)) return rule;
        rule.HasMin = true;
    }
    if (!upperText.isEmpty()) {
        if (!ConvertBound(ParseFilterNumber(upperText), rule.Max)) return rule;
        rule.HasMax = true;
    }
    rule.Valid = true;
    return rule;
}

QString FilterRuleToText(const TFilterRule& rule) {
    const QString picture = QStringLiteral("0.##");
    QString text = rule.Kind == TFilterKind::Shots ? QStringLiteral("S") : QStringLiteral("V");
    text += rule.MinInclusive ? QLatin1Char('<') : QLatin1Char('(');
    if (rule.HasMin) text += FormatFloat(picture, rule.Min);
    text += QLatin1Char('~');
    if (rule.HasMax) text += FormatFloat(picture, rule.Max);
    text += rule.MaxInclusive ? QLatin1Char('>') : QLatin1Char(')');
    if (rule.ApplyLive) text += QLatin1Char('+');
    return text;
}

QString FilterDescription(const TFilterConfig& config) {
    QString text;
    if (config.ShotsRule.Valid)
        text = QStringLiteral("Shots:") + FilterRuleToText(config.ShotsRule);
    if (config.VelocityRule.Valid) {
        if (!text.isEmpty()) text += QLatin1Char(' ');
        text += QStringLiteral("Velocity:") + FilterRuleToText(config.VelocityRule);
    }
    if (text.isEmpty()) text = QStringLiteral("BYPASS");
    return text;
}

bool RulePasses(const TFilterConfig& config, std::int32_t shotNumber, double value) {
    return BoundPasses(config.ShotsRule, double(shotNumber)) &&
           BoundPasses(config.VelocityRule, value);
}

QStringList ApplyFilterToLines(const QStringList& lines, const TFilterConfig& config,
                               std::int32_t firstNumber) {
    if (!config.ShotsRule.Valid && !config.VelocityRule.Valid) return lines;
    QStringList result;
    result.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        double value = 0.0;
        if (!ShotLineValue(lines.at(i), value)) continue;
        // Counted in double, as RulePasses compares it: a first number near
        // the top of the int range must not wrap round to small numbers.
        const double number = double(firstNumber) + double(i);
        if (!BoundPasses(config.ShotsRule, number) || !BoundPasses(config.VelocityRule, value))
            continue;
        result.append(lines.at(i));
    }
    return result;
}
