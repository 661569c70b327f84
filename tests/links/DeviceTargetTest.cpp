// The device box's text as a target, and which devices it matches.
#include <gtest/gtest.h>

#include "links/core/DeviceTarget.h"

TEST(DeviceTarget, TextsBecomeANameAnAddressOrBoth) {
    struct TCase {
        const char* Text;
        const char* Name;
        const char* Address;
    } cases[] = {
        {"AA:BB:CC:DD:EE:FF", "", "AABBCCDDEEFF"},
        {"aa-bb-cc-dd-ee-ff", "", "AABBCCDDEEFF"},
        {"AABBCCDDEEFF", "", "AABBCCDDEEFF"},
        {"AABBCCDDEE", "AABBCCDDEE", ""},  // too short for an address
        {"KVRN AA:BB:CC:DD:EE:FF", "KVRN", "AABBCCDDEEFF"},
        {"  KVRN  ", "KVRN", ""},
        {"My Chrono", "My", "C"},
        {"::::::------", "", ""},
        {"", "", ""},
    };
    for (const TCase& c : cases) {
        const TDeviceTarget target = ParseDeviceTarget(QString::fromUtf8(c.Text));
        EXPECT_EQ(target.Name, QString::fromUtf8(c.Name)) << c.Text;
        EXPECT_EQ(target.Address, QString::fromUtf8(c.Address)) << c.Text;
    }
}

TEST(DeviceTarget, BlankTextsNameNoDevice) {
    for (const char* text : {"", "   ", ":", " --:: "})
        EXPECT_TRUE(BlankTarget(QString::fromUtf8(text))) << text;
    for (const char* text : {"K", ":A", "0"}) EXPECT_FALSE(BlankTarget(QString::fromUtf8(text)));
}

TEST(DeviceTarget, NormalizeHexKeepsTheDigitsInUpperCase) {
    EXPECT_EQ(NormalizeHex(QStringLiteral("aa:bb-0g")), QStringLiteral("AABB0"));
    EXPECT_EQ(NormalizeHex(QStringLiteral("")), QString());
    EXPECT_EQ(NormalizeHex(QString::fromUtf8("ａ1")),
              QStringLiteral("1"));  // full-width a is no digit
}

TEST(DeviceTarget, MatchingByNameIgnoresAsciiCaseAndByAddressItsSeparators) {
    struct TCase {
        const char* Target;
        const char* Name;
        const char* Address;
        bool Matches;
    } cases[] = {
        {"KVRN", "kvrn", "11:22:33:44:55:66", true},
        {"KVRN", "KVRN2", "11:22:33:44:55:66", false},
        {"aa:bb:cc:dd:ee:ff", "other", "AA-BB-CC-DD-EE-FF", true},
        {"aa:bb:cc:dd:ee:ff", "other", "AA:BB:CC:DD:EE:00", false},
        {"Kvrn AABBCCDDEEFF", "KVRN", "aa:bb:cc:dd:ee:ff", true},
        {"Kvrn AABBCCDDEEFF", "OTHER", "aa:bb:cc:dd:ee:ff", false},
        {"Kvrn AABBCCDDEEFF", "KVRN", "11:bb:cc:dd:ee:ff", false},
        // Only ASCII letters fold: the locale has no say.
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "", false},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9T\xC3\xA9", "", true},
    };
    for (const TCase& c : cases) {
        const TDeviceTarget target = ParseDeviceTarget(QString::fromUtf8(c.Target));
        EXPECT_EQ(MatchesTarget(target, QString::fromUtf8(c.Name), QString::fromUtf8(c.Address)),
                  c.Matches)
            << c.Target << " / " << c.Name << " " << c.Address;
    }
}
