#include "series/core/NumberText.h"

#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "platform/core/FormatFloat.h"

namespace {

constexpr qsizetype MaxParseLength = 62;

bool IsAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Copies text into an ASCII buffer with ',' read as '.'. A character outside
// ASCII can be no part of a number, so it refuses the text at once.
bool CopyAscii(const QString& text, char* buffer) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0 || c > 0x7F) return false;
        buffer[i] = c == u',' ? '.' : static_cast<char>(c);
    }
    return true;
}

bool IsBlankOrTab(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool IsAsciiLetter(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

}  // namespace

namespace {
bool IsAsciiDigitChar(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace

namespace {

// Checks the grammar of a decimal number between begin and end: blanks
// around it, an optional sign, digits with one optional '.', an optional
// exponent. Returns where the number starts (after a '+', which from_chars
// refuses) and sets end past its last character; nullptr when it is none.
const char* DecimalNumberStart(const char* begin, const char*& end) {
    while (begin < end && *begin == ' ') ++begin;
    while (end > begin && end[-1] == ' ') --end;
    const char* p = begin;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* numberStart = begin < end && *begin == '+' ? begin + 1 : begin;
    int mantissaDigits = 0;
    for (; p < end && IsAsciiDigitChar(*p); ++p) ++mantissaDigits;
    if (p < end && *p == '.') {
        ++p;
        for (; p < end && IsAsciiDigitChar(*p); ++p) ++mantissaDigits;
    }
    if (mantissaDigits == 0) return nullptr;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-')) ++p;
        int exponentDigits = 0;
        for (; p < end && IsAsciiDigitChar(*p); ++p) ++exponentDigits;
        if (exponentDigits == 0) return nullptr;
    }
    return p == end ? numberStart : nullptr;
}

// Whether text has the grammar of one number, whatever its size ("1e400"
// too).
bool IsNumberText(const QString& text) {
    std::string buffer(static_cast<std::size_t>(text.size()), '\0');
    if (!CopyAscii(text, buffer.data())) return false;
    const char* end = buffer.data() + buffer.size();
    return DecimalNumberStart(buffer.data(), end) != nullptr;
}

}  // namespace

// The grammar is checked here because from_chars alone would also take
// "inf", "nan" and hexadecimal forms and refuses a leading '+'.
bool ConvertDecimalAscii(const char* begin, const char* end, double& value) {
    const char* numberStart = DecimalNumberStart(begin, end);
    if (!numberStart) return false;
    double result = 0;
    const auto [last, error] =
        std::from_chars(numberStart, end, result, std::chars_format::general);
    if (error != std::errc() || last != end || !std::isfinite(result)) return false;
    value = result;
    return true;
}

bool ParseDotDouble(const QString& text, double& value) {
    // Called for every received line and every shot-list line on a rebuild:
    // a fixed buffer, no allocation.
    if (text.size() > MaxParseLength) return false;
    char buffer[MaxParseLength + 2];
    if (!CopyAscii(text, buffer)) return false;
    return ConvertDecimalAscii(buffer, buffer + text.size(), value);
}

bool IsShotValue(double value) {
    return std::isfinite(value) && std::fabs(value) <= MaxShotMagnitude;
}

bool ParseShotValue(const QString& text, double& value) {
    double parsed = 0.0;
    if (!ParseDotDouble(text, parsed) || !IsShotValue(parsed)) return false;
    value = parsed;
    return true;
}

QString FormatDot2(double value) {
    // Written with '.' directly: replacing the locale's separator afterwards
    // would leave lines that do not read back under a separator other than
    // ',' and '.'.
    const QString text = FormatFloat(QStringLiteral("0.##"), value, QLatin1Char('.'));
    if (text.size() <= MaxParseLength) return text;
    // From about 1e62 on, the picture writes more digits than a list line may
    // hold to be read back. The shortest exponent form ("1E62") reads back as
    // the very same double, and no rounding to two decimals is lost at that
    // size.
    return FloatToStrGeneral(value, 17);
}

QString FormatDot12(double value) {
    return FormatFloat(QStringLiteral("0.############"), value, QLatin1Char('.'));
}

QString FormatValue(bool twoDigitIntegerPart, double value, const QString& decFmt) {
    const QString picture =
        (twoDigitIntegerPart ? QStringLiteral("00.") : QStringLiteral("0.")) + decFmt;
    return FormatFloat(picture, value);
}

bool ParseNumberUnit(const QString& text, double& value, QString& unit) {
    const QString trimmed = TrimText(text);
    if (trimmed.isEmpty()) return false;
    qsizetype letter = 0;
    while (letter < trimmed.size() && !IsAsciiLetter(trimmed.at(letter))) ++letter;
    const QString numberText = TrimText(trimmed.left(letter));
    QString unitText;
    for (const QChar c : TrimText(trimmed.mid(letter)))
        if (!IsBlankOrTab(c)) unitText.append(c);

    std::string buffer(static_cast<std::size_t>(numberText.size()), '\0');
    if (!CopyAscii(numberText, buffer.data())) return false;
    double number = 0;
    if (!ConvertDecimalAscii(buffer.data(), buffer.data() + buffer.size(), number)) return false;
    value = number;
    unit = unitText.toLower();
    return true;
}

QString SanitizeLine(const QString& line) {
    QString clean;
    clean.reserve(line.size());
    for (const QChar c : line)
        if (c == QLatin1Char('\t') || c.unicode() >= 0x20) clean.append(c);
    return clean;
}

bool IsLogLine(const QString& line) {
    return TrimText(SanitizeLine(line)).startsWith(QLatin1String(LogLinePrefix));
}

bool ShotLineValue(const QString& line, double& value) {
    const QString trimmed = TrimText(SanitizeLine(line));
    return !trimmed.isEmpty() && ParseShotValue(trimmed, value);
}

bool RebuildLineValue(const QString& line, double& value) {
    // A hexadecimal log line such as "LOG: 31 FF 0A" holds digits the line
    // rule would take for a velocity.
    if (IsLogLine(line)) return false;
    // A line that is one number as a whole is that number, also in the
    // exponent form FormatDot2 writes for huge values ("1E62", whose last
    // digits alone would read as 62). One beyond a shot ("1e300") is no
    // shot at all, rather than the 300 of its last digits.
    // One beyond the double range ("1e400", "1e-400") is none either.
    const QString trimmed = TrimText(SanitizeLine(line));
    if (!trimmed.isEmpty() && IsNumberText(trimmed)) return ParseShotValue(trimmed, value);
    QString token;
    return ExtractNumberToken(SanitizeLine(line), token) && ParseShotValue(token, value);
}

bool ExtractNumberToken(const QString& line, QString& token) {
    if (line.isEmpty()) return false;
    qsizetype end = line.size() - 1;
    const qsizetype nr = line.indexOf(QLatin1String("nr"));
    if (nr == 0) return false;
    if (nr > 0) {
        end = nr - 1;
        while (end >= 0 && IsBlankOrTab(line.at(end))) --end;
        if (end < 0) return false;
    }
    while (end >= 0 && !IsAsciiDigit(line.at(end))) --end;
    if (end < 0) return false;

    qsizetype start = end;
    qsizetype i = end - 1;
    bool separatorTaken = false;
    for (; i >= 0; --i) {
        const QChar c = line.at(i);
        if (IsAsciiDigit(c)) {
            start = i;
        } else if (!separatorTaken && (c == QLatin1Char('.') || c == QLatin1Char(','))) {
            separatorTaken = true;
            start = i;
        } else {
            break;
        }
    }
    if (i >= 0 && line.at(i) == QLatin1Char('-')) start = i;
    token = line.mid(start, end - start + 1);
    return true;
}

QString ValidDisplayFormat(const QString& text) {
    const QString picture = TrimText(text);
    bool valid = !picture.isEmpty() && picture.size() <= 6 && picture.at(0) == QLatin1Char('0');
    for (const QChar c : picture)
        if (c != QLatin1Char('0') && c != QLatin1Char('#')) valid = false;
    return valid ? picture : QString::fromLatin1(DefaultDecFmt);
}
