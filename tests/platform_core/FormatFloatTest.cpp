#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QLocale>
#include <QString>

#include "platform/core/FormatFloat.h"
#include "support/CoreSupport.h"

namespace {

// Restores the system separator however a test ends.
struct PictureCase {
    const char* Picture;
    double Value;
    const char* Expected;  // written with '.'; the test swaps in the separator
};

const PictureCase PictureCases[] = {
    // "0": whole numbers, halves away from zero, no "-0".
    {"0", 0, "0"},
    {"0", 0.5, "1"},
    {"0", 2.5, "3"},
    {"0", -0.5, "-1"},
    {"0", -0.4, "0"},
    {"0", 123456789012.0, "123456789012"},
    // Fixed decimals.
    {"0.0", 812.34, "812.3"},
    {"0.0", 812.35, "812.4"},
    {"0.0", -0.04, "0.0"},
    {"0.0", -0.05, "-0.1"},
    {"0.0", 1e20, "100000000000000000000.0"},
    {"0.00", 0, "0.00"},
    {"0.00", 360, "360.00"},
    {"0.00", 2.675, "2.68"},  // the double lies below 2.675; its text does not
    {"0.00", 1.005, "1.01"},
    {"0.00", 9.995, "10.00"},
    {"0.00", -1.005, "-1.01"},
    {"0.000", 812, "812.000"},
    // Two-digit integer part.
    {"00.0", 0, "00.0"},
    {"00.0", 5, "05.0"},
    {"00.0", 123.45, "123.5"},
    {"00.0##", 0, "00.0"},
    {"00.0##", 7.25, "07.25"},
    // Optional decimals.
    {"0.##", 812, "812"},
    {"0.##", 812.3, "812.3"},
    {"0.##", 0.5, "0.5"},
    {"0.##", -3.25, "-3.25"},
    {"0.##", 0.004, "0"},
    {"0.##", 0.005, "0.01"},
    {"0.##", -0.004, "0"},
    {"0.##", 1.999, "2"},
    {"0.0##", 812, "812.0"},
    {"0.0##", 812.3456, "812.346"},
    {"0.0##", -0.1, "-0.1"},
    {"0.###", 500000, "500000"},
    {"0.###", 0.0004, "0"},
    {"0.###", 1234.5678, "1234.568"},
    {"0.0#####", 812.123456789, "812.123457"},
    {"0.############", 0.1 + 0.2, "0.3"},
    {"0.############", 1.0 / 3.0, "0.333333333333"},
    {"0.############", 1905.1246386706196, "1905.12463867062"},
    {"0.############", 5e-13, "0.000000000001"},
    {"0.############", 4e-13, "0"},
    // '#' before the point and digit positions after the first '0'.
    {"#.##", 0.5, ".5"},
    {"0#", 5, "05"},
    {"#0", 5, "5"},
};

}  // namespace

TEST(FormatFloat, PicturesUnderBothSeparators) {
    for (const QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
        for (const PictureCase& c : PictureCases) {
            const QString expected =
                QString::fromLatin1(c.Expected).replace(QLatin1Char('.'), separator);
            EXPECT_EQ(FormatFloat(QString::fromLatin1(c.Picture), c.Value, separator), expected)
                << c.Picture << " " << c.Value << " separator " << QString(separator).toStdString();
            TDecimalSeparatorScope guard(separator);
            EXPECT_EQ(FormatFloat(QString::fromLatin1(c.Picture), c.Value), expected)
                << c.Picture << " " << c.Value << " from DecimalSeparator()";
        }
    }
}

TEST(FormatFloat, ValuesThatAreNotFinite) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatFloat("0.00", std::nan(""), '.'), "NAN");
    EXPECT_EQ(FormatFloat("0.00", inf, '.'), "INF");
    EXPECT_EQ(FormatFloat("0.00", -inf, '.'), "-INF");
    EXPECT_EQ(FloatToStrGeneral(inf), "INF");
    EXPECT_EQ(FloatToStrFixed(-inf, 2), "-INF");
}

TEST(FormatFloat, SeparatorOverrideAndRestore) {
    SetDecimalSeparatorForTesting(QChar(0x066B));
    EXPECT_EQ(DecimalSeparator(), QChar(0x066B));
    EXPECT_EQ(FormatFloat("0.0", 1.25), QString("1") + QChar(0x066B) + "3");
    SetDecimalSeparatorForTesting(QChar());
    const QString system = QLocale::system().decimalPoint();
    EXPECT_EQ(DecimalSeparator(), system.isEmpty() ? QChar('.') : system.at(0));
}

TEST(FloatToStrGeneral, FixedAndScientificForms) {
    struct Case {
        double Value;
        int Precision;
        const char* Expected;
    };
    const Case cases[] = {
        {0, 15, "0"},
        {1, 15, "1"},
        {8, 15, "8"},
        {0.1, 15, "0.1"},
        {-2.5, 15, "-2.5"},
        {0.1 + 0.2, 15, "0.3"},
        {123.45 * 0.06479891, 15, "7.9994254395"},
        {123456.789, 15, "123456.789"},
        {0.00001, 15, "0.00001"},
        {0.000015, 15, "0.000015"},
        {0.0000099, 15, "9.9E-6"},
        {1e-7, 15, "1E-7"},
        {-1e-7, 15, "-1E-7"},
        {999999999999999.0, 15, "999999999999999"},
        {1e15, 15, "1E15"},
        {9999999999999999.0, 15, "1E16"},
        {1e20, 15, "1E20"},
        {1234567890123456789.0, 15, "1.23456789012346E18"},
        {1.0 / 3.0, 15, "0.333333333333333"},
        {2.675, 3, "2.68"},
        {123456, 3, "1.23E5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrGeneral(c.Value, c.Precision), c.Expected)
            << c.Value << " precision " << c.Precision;
}

TEST(FloatToStrFixed, DecimalsAlwaysShown) {
    struct Case {
        double Value;
        int Digits;
        QChar Separator;
        const char* Expected;
    };
    const Case cases[] = {
        {1, 3, '.', "1.000"},
        {300 / 0.3048, 3, '.', "984.252"},
        {300 / 0.3048, 3, ',', "984,252"},
        {123.45 / 0.06479891, 6, '.', "1905.124639"},
        {2.675, 2, '.', "2.68"},
        {-0.0001, 3, '.', "0.000"},
        {-12.5, 0, '.', "-13"},
        {0.5, 0, '.', "1"},
        {5, 0, ',', "5"},
        {1e20, 2, ',', "1E20"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToStrFixed(c.Value, c.Digits, c.Separator), c.Expected)
            << c.Value << " digits " << c.Digits;
}
