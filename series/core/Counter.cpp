#include "series/core/Counter.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "series/core/NumberText.h"

namespace {

struct TUnitFactor {
    const char* Unit;
    double Factor;
};

const TUnitFactor FrequencyUnits[] = {{"", 1}, {"hz", 1}, {"khz", 1000}, {"mhz", 1000000}};
const TUnitFactor GateUnits[] = {{"", 1}, {"m", 1}, {"mm", 0.001}, {"cm", 0.01}};

// The setting's number times the factor of its unit, or 0 when the text, the
// unit or the product is not acceptable.
template <std::size_t N>
double ScaledSetting(const QString& text, const TUnitFactor (&units)[N]) {
    if (text.isEmpty()) return 0;
    double number = 0;
    QString unit;
    if (!ParseNumberUnit(text, number, unit)) return 0;
    for (const TUnitFactor& u : units) {
        if (unit == QLatin1String(u.Unit)) {
            // A huge number times its unit can overflow; an infinite clock
            // would silently turn every count into no velocity at all.
            const double product = number * u.Factor;
            return product > 0 && std::isfinite(product) ? product : 0;
        }
    }
    return 0;
}

int WholeNumberOrZero(const QString& text) {
    const QString t = TrimText(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == QLatin1Char('+') || t.at(i) == QLatin1Char('-'))) {
        negative = t.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == t.size()) return 0;
    std::int64_t magnitude = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
        magnitude = magnitude * 10 + (c.unicode() - u'0');
        if (magnitude > std::int64_t{std::numeric_limits<int>::max()} + 1) return 0;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(value);
}

}  // namespace

TCounterSettings CounterSettingsFromText(const QString& freq, const QString& gate,
                                         const QString& a) {
    TCounterSettings settings;
    settings.Freq = ScaledSetting(freq, FrequencyUnits);
    settings.Gate = ScaledSetting(gate, GateUnits);
    settings.A = WholeNumberOrZero(a);
    settings.Mode = settings.Freq > 0 && settings.Gate > 0;
    return settings;
}

std::optional<double> CounterToVelocity(double count, int a, double gate, double freq) {
    const double divisor = count + static_cast<double>(a);
    if (divisor == 0) return std::nullopt;
    const double velocity = std::fabs(gate * freq / divisor);
    if (!std::isfinite(velocity)) return std::nullopt;
    return velocity;
}
