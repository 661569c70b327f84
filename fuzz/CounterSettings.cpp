// The number-with-unit settings and counter mode: ParseNumberUnit,
// CounterSettingsFromText and CounterToVelocity.
//
// Input: the FREQ, GATE and A texts and a received count, cut at NUL bytes.
// Properties: a refused text leaves both outputs alone; a unit is lower case
// without blanks; the settings are finite and not negative, counter mode
// exactly when both are above 0; a converted velocity is finite, not
// negative, and can be listed and read back.
#include <cmath>

#include "fuzz/FuzzSupport.h"
#include "series/core/Counter.h"
#include "series/core/NumberText.h"

namespace {

void CheckNumberUnit(const QString& text) {
    double value = 7.5;
    QString unit = QStringLiteral("untouched");
    if (!ParseNumberUnit(text, value, unit)) {
        fuzz::Require(value == 7.5 && unit == QLatin1String("untouched"),
                      "a refused setting leaves both outputs", text);
        return;
    }
    fuzz::Require(std::isfinite(value), "a setting's number is finite", text);
    fuzz::Require(!unit.contains(QLatin1Char(' ')) && !unit.contains(QLatin1Char('\t')),
                  "a unit holds no blank", unit);
    fuzz::Require(unit == unit.toLower(), "a unit is lower case", unit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto fields = fuzz::Fields(data, size, 4);
    const QString freq = fuzz::Text(fields[0]);
    const QString gate = fuzz::Text(fields[1]);
    const QString a = fuzz::Text(fields[2]);
    CheckNumberUnit(freq);
    CheckNumberUnit(gate);

    const TCounterSettings settings = CounterSettingsFromText(freq, gate, a);
    fuzz::Require(std::isfinite(settings.Freq) && settings.Freq >= 0, "FREQ finite, not negative",
                  freq);
    fuzz::Require(std::isfinite(settings.Gate) && settings.Gate >= 0, "GATE finite, not negative",
                  gate);
    fuzz::Require(settings.Mode == (settings.Freq > 0 && settings.Gate > 0),
                  "counter mode exactly with FREQ and GATE");

    // The count as the line intake takes it out of a received line.
    QString token;
    double count = 0;
    if (!ExtractNumberToken(SanitizeLine(fuzz::Latin1(fields[3])), token) ||
        !ParseDotDouble(token, count))
        return 0;
    const std::optional<double> velocity =
        CounterToVelocity(count, settings.A, settings.Gate, settings.Freq);
    if (count + double(settings.A) == 0) {
        fuzz::Require(!velocity, "no velocity for a count of zero");
        return 0;
    }
    if (!velocity) return 0;
    fuzz::Require(std::isfinite(*velocity) && *velocity >= 0, "a velocity is finite, not negative",
                  token);
    // A velocity beyond what a shot can be is dropped by the intake.
    if (!IsShotValue(*velocity)) return 0;
    double back = 0;
    fuzz::Require(ShotLineValue(FormatDot2(*velocity), back), "a converted velocity is listed",
                  FormatDot2(*velocity));
    return 0;
}
