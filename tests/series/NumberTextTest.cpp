#include <cmath>
#include <limits>
#include <span>

#include <gtest/gtest.h>

#include <QString>

#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "support/CoreSupport.h"

namespace {

const QChar ArabicSeparator(0x066B);

// Sets the user's decimal separator for one test and puts it back.
struct LocaleGuard {
    explicit LocaleGuard(QChar separator) : Separator(separator) {}
    TDecimalSeparatorScope Separator;
};

// A line and what a line rule (ShotLineValue, RebuildLineValue) makes of it.
struct TLineValueCase {
    QString Line;
    bool IsValue;
    double Expected;
};

// Each line gives its number, or none and leaves the value as it was.
void ExpectLineValues(bool (*lineValue)(const QString&, double&),
                      std::span<const TLineValueCase> cases) {
    for (const TLineValueCase& c : cases) {
        double value = -1;
        EXPECT_EQ(lineValue(c.Line, value), c.IsValue) << c.Line.toStdString();
        EXPECT_DOUBLE_EQ(value, c.IsValue ? c.Expected : -1) << c.Line.toStdString();
    }
}

}  // namespace

TEST(ParseDotDouble, AcceptsOneNumberWithEitherSeparator) {
    struct Case {
        QString Text;
        double Expected;
    };
    const Case cases[] = {
        {"812,5", 812.5},  {"812.5", 812.5},   {"-3.25", -3.25},
        {"+2", 2},         {".5", 0.5},        {"12.", 12},
        {"-,5", -0.5},     {"0", 0},           {"1e3", 1000},
        {"2,5E-2", 0.025}, {" 812.3 ", 812.3}, {QString(61, '0') + "7", 7},  // 62 characters
    };
    for (const Case& c : cases) {
        double value = -1;
        EXPECT_TRUE(ParseDotDouble(c.Text, value)) << c.Text.toStdString();
        EXPECT_DOUBLE_EQ(value, c.Expected) << c.Text.toStdString();
    }
}

TEST(ParseDotDouble, RefusesAnythingElseAndKeepsTheValue) {
    const QString refused[] = {
        "",
        " ",
        "abc",
        "1,234.5",
        "12 m/s",
        "1.2.3",
        "-",
        ".",
        "+-5",
        "1e",
        "1e+",
        "inf",
        "nan",
        "0x10",
        "1e999",
        "\t5",
        "5\r",
        QString("5") + QChar(0),
        QString(62, '0') + "7",  // 63 characters
        QString(200, '1'),
        QString("8") + ArabicSeparator + "5",
        QString(QChar(0x0668)),  // an Arabic-Indic digit
    };
    for (const QString& text : refused) {
        double value = 42;
        EXPECT_FALSE(ParseDotDouble(text, value)) << text.toStdString();
        EXPECT_EQ(value, 42) << text.toStdString();
    }
}

TEST(FormatDot, WritesAPointWhateverTheLocale) {
    struct Case {
        double Value;
        const char* Dot2;
        const char* Dot12;
    };
    const Case cases[] = {
        {812, "812", "812"},
        {812.3, "812.3", "812.3"},
        {0.5, "0.5", "0.5"},
        {-3.25, "-3.25", "-3.25"},
        {247.58904 / 0.3048, "812.3", "812.3"},
        {304.8 * 1.0 / 3.0, "101.6", "101.6"},
        {123.45 / 0.06479891, "1905.12", "1905.12463867062"},
        {-0.001, "0", "-0.001"},
    };
    for (const QChar separator : {QChar('.'), QChar(','), ArabicSeparator}) {
        LocaleGuard guard(separator);
        for (const Case& c : cases) {
            EXPECT_EQ(FormatDot2(c.Value), c.Dot2) << c.Value;
            EXPECT_EQ(FormatDot12(c.Value), c.Dot12) << c.Value;
            double back = 0;
            ASSERT_TRUE(ParseDotDouble(FormatDot2(c.Value), back));
            EXPECT_EQ(FormatDot2(back), c.Dot2);
        }
    }
}

TEST(FormatDot2, EveryLineItWritesReadsBackAsTheSameValue) {
    const double nines62 = [] {
        double v = 0;
        EXPECT_TRUE(ParseDotDouble(QString(62, QLatin1Char('9')), v));
        return v;
    }();
    struct Case {
        double Value;
        const char* Text;  // nullptr: only the read-back is checked
    };
    const Case cases[] = {
        {1e61, nullptr},  // 62 digits: still the plain picture
        {1e62, "1E62"},
        {-1e62, "-1E62"},
        {nines62, "1E62"},
        {1.5e99, "1.5E99"},
        {-2.2250738585072014e-308, "0"},
        {std::numeric_limits<double>::max(), "1.7976931348623157E308"},
        {-std::numeric_limits<double>::max(), "-1.7976931348623157E308"},
        {123456789012345.67, nullptr},
        {812.25, "812.25"},
    };
    for (const QChar separator : {QChar('.'), QChar(','), ArabicSeparator}) {
        LocaleGuard guard(separator);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.Value);
            const QString text = FormatDot2(c.Value);
            if (c.Text) {
                EXPECT_EQ(text, QString::fromLatin1(c.Text));
            }
            EXPECT_LE(text.size(), 62);
            double back = 0;
            ASSERT_TRUE(ParseDotDouble(text, back)) << text.toStdString();
            EXPECT_EQ(FormatDot2(back), text);
            // A list line beyond a shot reads back, but as no shot.
            double shot = 0;
            EXPECT_EQ(ShotLineValue(text, shot), std::fabs(c.Value) <= MaxShotMagnitude);
            if (std::fabs(c.Value) >= 1e15) {
                EXPECT_EQ(back, c.Value);
            }
        }
    }
}

TEST(FormatValue, UsesDecFmtAndTheUserSeparator) {
    struct Case {
        const char* DecFmt;
        QChar Separator;
        bool TwoDigits;
        double Value;
        QString Expected;
    };
    const Case cases[] = {
        {"0##", '.', false, 812.3, "812.3"},
        {"0##", '.', false, 812, "812.0"},
        {"0##", '.', false, 812.3456, "812.346"},
        {"0##", '.', true, 0, "00.0"},
        {"000", '.', true, 0, "00.000"},
        {"0", '.', false, 812.35, "812.4"},
        {"0#####", '.', false, 812.1234567, "812.123457"},
        {"0##", ',', false, 812.3, "812,3"},
        {"0##", ',', true, 0, "00,0"},
        {"0##", ArabicSeparator, false, 812.3, QString("812") + ArabicSeparator + "3"},
    };
    for (const Case& c : cases) {
        LocaleGuard guard(c.Separator);
        EXPECT_EQ(FormatValue(c.TwoDigits, c.Value, QString::fromLatin1(c.DecFmt)), c.Expected)
            << c.DecFmt << " " << c.Value;
    }
}

TEST(ParseDotDouble, IgnoresTheUserSeparator) {
    for (const QChar separator : {QChar(','), ArabicSeparator}) {
        LocaleGuard guard(separator);
        double value = 0;
        EXPECT_TRUE(ParseDotDouble("812.5", value));
        EXPECT_EQ(value, 812.5);
        EXPECT_TRUE(ParseDotDouble("812,25", value));
        EXPECT_EQ(value, 812.25);
    }
}

TEST(ParseNumberUnit, SplitsNumberAndUnit) {
    struct Case {
        const char* Text;
        double Value;
        const char* Unit;
    };
    const Case cases[] = {
        {"16 MHz", 16, "mhz"},  {"16mhz", 16, "mhz"},   {"16 M Hz", 16, "mhz"},
        {"1,5kHz", 1.5, "khz"}, {" 50 m m ", 50, "mm"}, {"2.5 cm", 2.5, "cm"},
        {"0.25", 0.25, ""},     {"1e6", 1, "e6"},       {"-16 MHz", -16, "mhz"},
        {"5\tin", 5, "in"},
    };
    for (const Case& c : cases) {
        double value = 0;
        QString unit = "x";
        EXPECT_TRUE(ParseNumberUnit(c.Text, value, unit)) << c.Text;
        EXPECT_DOUBLE_EQ(value, c.Value) << c.Text;
        EXPECT_EQ(unit, c.Unit) << c.Text;
    }
    for (const char* text : {"kHz", "", "   ", "1.2.3 Hz", "12 / Hz"}) {
        double value = 7;
        QString unit = "x";
        EXPECT_FALSE(ParseNumberUnit(text, value, unit)) << text;
        EXPECT_EQ(value, 7);
        EXPECT_EQ(unit, "x");
    }
}

TEST(SanitizeLine, KeepsTabAndPrintableCharacters) {
    struct Case {
        QString Line;
        QString Expected;
    };
    const Case cases[] = {
        {"812.3\r", "812.3"},
        {"a\tb", "a\tb"},
        {QString("8") + QChar(0) + "1\n2\x1b", "812"},
        {QString("v") + QChar(0x7F) + QChar(0xE9), QString("v") + QChar(0x7F) + QChar(0xE9)},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(SanitizeLine(c.Line), c.Expected);
}

TEST(ExtractNumberToken, FindsTheVelocity) {
    struct Case {
        const char* Line;
        const char* Token;  // nullptr: no token
    };
    const Case cases[] = {
        {"V=812.35 m/s", "812.35"},
        {"812,35 nr 17", "812,35"},
        {"812.3 m/s nr 5", "812.3"},
        {"812.3\tnr 5", "812.3"},
        {"Shot nr 17: 812.3", nullptr},
        {"nr 12", nullptr},
        {"nr", nullptr},
        {"   nr 5", nullptr},
        {"1.2.3", "2.3"},
        {"-3.5", "-3.5"},
        {"3-5", "-5"},
        {"- 5", "5"},
        {"a.5", ".5"},
        {"12.", "12"},
        {"NR 5", "5"},
        {"no digits here", nullptr},
        {"", nullptr},
        {"7", "7"},
        {"1,5.5", "5.5"},
        {"x 12 y 34 z", "34"},
        {"12 nr 3 nr 4", "12"},
    };
    for (const Case& c : cases) {
        QString token = "unchanged";
        const bool found = ExtractNumberToken(c.Line, token);
        if (c.Token) {
            EXPECT_TRUE(found) << c.Line;
            EXPECT_EQ(token, c.Token) << c.Line;
        } else {
            EXPECT_FALSE(found) << c.Line;
            EXPECT_EQ(token, "unchanged") << c.Line;
        }
    }
}

TEST(ValidDisplayFormat, AcceptsZeroFirstPicturesOfUpToSixCharacters) {
    struct Case {
        const char* Text;
        const char* Expected;
    };
    const Case cases[] = {
        {"0", "0"},    {"000", "000"},     {"0#####", "0#####"}, {" 00 ", "00"},
        {"#0", "0##"}, {"0000000", "0##"}, {"0.0", "0##"},       {"0a", "0##"},
        {"", "0##"},   {"  ", "0##"},      {"0 0", "0##"},
    };
    for (const Case& c : cases) EXPECT_EQ(ValidDisplayFormat(c.Text), c.Expected) << c.Text;
}

TEST(TrimText, RemovesCharactersUpToSpace) {
    EXPECT_EQ(TrimText(QString("\t ") + QChar(0) + "a b\r\n"), "a b");
    EXPECT_EQ(TrimText(QString(QChar(0xA0)) + "a"), QString(QChar(0xA0)) + "a");
    EXPECT_EQ(TrimText(" \r"), "");
}

TEST(ShotLineValue, OnlyAWholeNumberLineIsAValue) {
    const TLineValueCase cases[] = {
        {"812.35", true, 812.35},
        {"  12,5\r", true, 12.5},
        {"-3", true, -3},
        {"V=812.35 m/s", false, 0},
        {"812,35 nr 17", false, 0},
        {"1E62", true, 1e62},  // the largest shot
        {"1e63", false, 0},
        {"-1e308", false, 0},
        {QString(LogLinePrefix) + "12", false, 0},
        {QString(LogLinePrefix) + "31 FF 0A", false, 0},
        {"", false, 0},
        {" \t ", false, 0},
    };
    ExpectLineValues(ShotLineValue, cases);
}

TEST(RebuildLineValue, TakesTheNumberOfTheLineRuleAndPassesOverLogLines) {
    const TLineValueCase cases[] = {
        {"812.35", true, 812.35},
        {"  12,5\r", true, 12.5},
        {"-3", true, -3},
        {"V=812.35 m/s", true, 812.35},
        {"812 m/s", true, 812},
        {"812,35 nr 17", true, 812.35},
        {"1\t812,5\t7,02", true, 7.02},  // a CSV row: its last number
        {"1E62", true, 1e62},            // a whole number in exponent form
        {"-1E62", true, -1e62},
        // One number beyond a shot, or beyond the double range, is no value
        // rather than the number its last digits make.
        {"1e300", false, 0},
        {"-1.0000001E62", false, 0},
        {"1e400", false, 0},
        {"1.5e-400", false, 0},
        {"inf", false, 0},
        {"NAN", false, 0},
        {"Shot nr 17: 812.3", false, 0},
        {"abc", false, 0},
        {QString(LogLinePrefix) + "12", false, 0},
        {QString(LogLinePrefix) + "31 FF 0A", false, 0},
        {"  " + QString(LogLinePrefix) + "BLE: 2 devices", false, 0},
        {"LOG:12", true, 12},  // not the mark
        {"log: 12", true, 12},
        {QString(70, '9'), false, 0},  // a token too long to read
        {"", false, 0},
    };
    ExpectLineValues(RebuildLineValue, cases);
    EXPECT_TRUE(IsLogLine(QStringLiteral(" LOG: x\r")));
    EXPECT_FALSE(IsLogLine(QStringLiteral("BLOG: x")));
    EXPECT_EQ(RebuildLineValues({"800", "LOG: 31 FF 0A", "V=810 m/s", "", "x"}),
              (std::vector<double>{800, 810}));
}
