#include "platform/core/FormatFloat.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <string>

#include <QLocale>

namespace {

std::atomic<char16_t> GSeparatorOverride{0};

// A finite value as decimal digits: |value| = 0.D1D2D3... x 10^Point.
// Digits holds no leading or trailing zeros; it is empty for zero.
struct TDecimal {
    std::string Digits;
    int Point = 0;
    bool Negative = false;
};

// The shortest digits that read back as the same double. Rounding on them
// instead of on the binary value is what makes 2.675 round like its text.
TDecimal ShortestDecimal(double value) {
    TDecimal d;
    d.Negative = std::signbit(value);
    if (value == 0) return d;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    for (std::size_t i = 0; i < e; ++i)
        if (text[i] != '.') d.Digits.push_back(text[i]);
    int exponent = 0;
    std::string_view expText = text.substr(e + 1);
    if (!expText.empty() && expText.front() == '+') expText.remove_prefix(1);
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    d.Point = exponent + 1;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    return d;
}

// Keeps the first keep digits, rounding half away from zero on the next one.
void RoundDigits(TDecimal& d, int keep) {
    if (keep >= static_cast<int>(d.Digits.size())) return;
    if (keep < 0) {
        d.Digits.clear();
        return;
    }
    const bool up = d.Digits[static_cast<std::size_t>(keep)] >= '5';
    d.Digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.Digits[static_cast<std::size_t>(i)] == '9') {
            d.Digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.Digits[static_cast<std::size_t>(i)];
        } else {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Point;
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
}

char DigitAt(const TDecimal& d, int index) {
    if (index < 0 || index >= static_cast<int>(d.Digits.size())) return '0';
    return d.Digits[static_cast<std::size_t>(index)];
}

// The integer digits of d, without leading zeros ("" below 1).
std::string IntegerDigits(const TDecimal& d) {
    std::string text;
    for (int i = 0; i < d.Point; ++i) text.push_back(DigitAt(d, i));
    return text;
}

QString NotFiniteText(double value) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

}  // namespace

QChar DecimalSeparator() {
    const char16_t forced = GSeparatorOverride.load();
    if (forced != 0) return QChar(forced);
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.at(0);
}

void SetDecimalSeparatorForTesting(QChar separator) {
    GSeparatorOverride.store(separator.unicode());
}

QString FormatFloat(const QString& picture, double value, QChar separator) {
    if (!std::isfinite(value)) return NotFiniteText(value);

    int integerPlaces = 0;
    int firstIntegerZero = -1;
    int decimals = 0;
    int requiredDecimals = 0;
    bool afterPoint = false;
    for (const QChar c : picture) {
        if (c == QLatin1Char('.')) {
            afterPoint = true;
        } else if (c == QLatin1Char('0') || c == QLatin1Char('#')) {
            if (afterPoint) {
                ++decimals;
                if (c == QLatin1Char('0')) requiredDecimals = decimals;
            } else {
                if (c == QLatin1Char('0') && firstIntegerZero < 0) firstIntegerZero = integerPlaces;
                ++integerPlaces;
            }
        }
    }
    const int requiredIntegers = firstIntegerZero < 0 ? 0 : integerPlaces - firstIntegerZero;

    TDecimal d = ShortestDecimal(value);
    RoundDigits(d, d.Point + decimals);

    std::string integerPart = IntegerDigits(d);
    if (static_cast<int>(integerPart.size()) < requiredIntegers)
        integerPart.insert(0, static_cast<std::size_t>(requiredIntegers) - integerPart.size(), '0');
    std::string decimalPart;
    for (int i = 0; i < decimals; ++i) decimalPart.push_back(DigitAt(d, d.Point + i));
    while (static_cast<int>(decimalPart.size()) > requiredDecimals && decimalPart.back() == '0')
        decimalPart.pop_back();

    if (integerPart.empty() && decimalPart.empty()) return QStringLiteral("0");
    QString text;
    text.reserve(static_cast<qsizetype>(integerPart.size() + decimalPart.size() + 2));
    // Digits is empty exactly when the value rounds to zero, so "-0.0" never appears.
    if (d.Negative && !d.Digits.empty()) text.append(QLatin1Char('-'));
    text.append(QLatin1String(integerPart.data(), static_cast<qsizetype>(integerPart.size())));
    if (!decimalPart.empty()) {
        text.append(separator);
        text.append(QLatin1String(decimalPart.data(), static_cast<qsizetype>(decimalPart.size())));
    }
    return text;
}

QString FormatFloat(const QString& picture, double value) {
    return FormatFloat(picture, value, DecimalSeparator());
}

QString FloatToStrGeneral(double value, int precision) {
    if (!std::isfinite(value)) return NotFiniteText(value);
    precision = std::clamp(precision, 1, 18);
    TDecimal d = ShortestDecimal(value);
    RoundDigits(d, precision);
    if (d.Digits.empty()) return QStringLiteral("0");

    std::string text;
    if (d.Negative) text.push_back('-');
    if (d.Point >= -4 && d.Point <= precision) {
        const std::string integerPart = IntegerDigits(d);
        text += integerPart.empty() ? std::string("0") : integerPart;
        if (static_cast<int>(d.Digits.size()) > d.Point) {
            text.push_back('.');
            for (int i = d.Point; i < static_cast<int>(d.Digits.size()); ++i)
                text.push_back(DigitAt(d, i));
        }
    } else {
        text.push_back(d.Digits.front());
        if (d.Digits.size() > 1) {
            text.push_back('.');
            text.append(d.Digits, 1, std::string::npos);
        }
        text.push_back('E');
        text += std::to_string(d.Point - 1);
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString FloatToStrFixed(double value, int digits, QChar separator) {
    if (!std::isfinite(value)) return NotFiniteText(value);
    digits = std::clamp(digits, 0, 18);
    TDecimal d = ShortestDecimal(value);
    RoundDigits(d, d.Point + digits);
    if (!d.Digits.empty() && d.Point > 18) {
        QString text = FloatToStrGeneral(value, 18);
        text.replace(QLatin1Char('.'), separator);
        return text;
    }

    std::string integerPart = IntegerDigits(d);
    if (integerPart.empty()) integerPart.push_back('0');
    QString text;
    if (d.Negative && !d.Digits.empty()) text.append(QLatin1Char('-'));
    text.append(QLatin1String(integerPart.data(), static_cast<qsizetype>(integerPart.size())));
    if (digits > 0) {
        text.append(separator);
        for (int i = 0; i < digits; ++i) text.append(QLatin1Char(DigitAt(d, d.Point + i)));
    }
    return text;
}
