// The chronograph line and the shot-list line: SanitizeLine,
// ExtractNumberToken, ParseDotDouble, ShotLineValue and FormatDot2.
//
// Properties: a sanitized line holds no control character but TAB; a token is
// a part of its line and, up to 62 characters, always a number; a refused
// text leaves the value alone; every value the intake lists is written so
// that it reads back as the value the line shows.
#include <cmath>
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "series/core/NumberText.h"

namespace {

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The line a value becomes in the shot list reads back, and reads back to the
// same line again.
void CheckListed(double value) {
    if (!IsShotValue(value)) return;
    const QString text = FormatDot2(value);
    double back = 0;
    fuzz::Require(ShotLineValue(text, back), "a listed value reads back", text);
    fuzz::Require(FormatDot2(back) == text, "a listed value reads back unchanged", text);
    if (std::fabs(value) >= 1e15)
        fuzz::Require(back == value, "a large listed value is the same double", text);
}

void CheckParse(const QString& text) {
    const double sentinel = -0.0;
    double value = sentinel;
    if (ParseDotDouble(text, value)) {
        fuzz::Require(text.size() <= 62, "no text above 62 characters is read", text);
        fuzz::Require(std::isfinite(value), "a read value is finite", text);
        double again = 0;
        if (!IsShotValue(value)) {
            fuzz::Require(!ShotLineValue(text, again), "a number beyond a shot is no list value",
                          text);
            return;
        }
        fuzz::Require(ShotLineValue(text, again) && SameBits(again, value),
                      "a number is a list value", text);
        CheckListed(value);
    } else {
        fuzz::Require(SameBits(value, sentinel), "a refused text leaves the value", text);
    }
}

void CheckLine(const QString& raw) {
    const QString line = SanitizeLine(raw);
    for (const QChar c : line)
        fuzz::Require(c == QLatin1Char('\t') || c.unicode() >= 0x20,
                      "a sanitized line holds no control character", line);
    fuzz::Require(SanitizeLine(line) == line, "sanitizing twice changes nothing", line);

    QString token = QStringLiteral("untouched");
    if (!ExtractNumberToken(line, token)) {
        fuzz::Require(token == QLatin1String("untouched"), "no token leaves the token", line);
        return;
    }
    fuzz::Require(!token.isEmpty() && line.contains(token), "the token is part of the line", token);
    const QChar last = token.back();
    fuzz::Require(last >= QLatin1Char('0') && last <= QLatin1Char('9'), "the token ends in a digit",
                  token);
    int separators = 0;
    for (qsizetype i = 0; i < token.size(); ++i) {
        const QChar c = token.at(i);
        if (c == QLatin1Char('.') || c == QLatin1Char(','))
            ++separators;
        else if (c == QLatin1Char('-'))
            fuzz::Require(i == 0, "a sign stands first", token);
        else
            fuzz::Require(c >= QLatin1Char('0') && c <= QLatin1Char('9'), "a token holds digits",
                          token);
    }
    fuzz::Require(separators <= 1, "a token has at most one separator", token);
    double value = 0;
    if (token.size() <= 62)
        fuzz::Require(ParseDotDouble(token, value), "a token of up to 62 characters reads", token);
    CheckParse(token);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // As the serial link hands it over, and as typed or loaded text.
    CheckLine(fuzz::Latin1(bytes));
    CheckLine(fuzz::Text(bytes));
    CheckParse(fuzz::Text(bytes));
    // Any double at all, as counter conversion or unit rescaling may make it.
    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        CheckListed(value);
    }
    return 0;
}
