// Cutting notification bytes into lines, and the hex form of other bytes.
#include <gtest/gtest.h>

#include <vector>

#include <QStringList>

#include "links/core/NotificationText.h"

namespace {

struct TCut {
    const char* Name;
    std::vector<QByteArray> Notifications;
    QStringList Lines;
    QString Pending;
};

}  // namespace

TEST(NotificationText, CutsTrimsAndKeepsTheUnfinishedRest) {
    const std::vector<TCut> cases = {
        {"one line with CR LF", {"12.3\r\n"}, {"12.3"}, ""},
        {"split over two", {"12.", "3\n"}, {"12.3"}, ""},
        {"blanks and tabs around", {" 45.6  \r\n", "\t7\t\n"}, {"45.6", "7"}, ""},
        {"only line ends or blanks", {"\r\n", "   \n"}, {}, ""},
        {"two lines at once", {"1\n2\n"}, {"1", "2"}, ""},
        {"rest waits for its LF", {"1\n2"}, {"1"}, "2"},
        {"inner blanks stay", {"V = 812 m/s\n"}, {"V = 812 m/s"}, ""},
    };
    for (const TCut& c : cases) {
        QString pending;
        bool skipping = false;
        QStringList lines;
        for (const QByteArray& n : c.Notifications)
            for (const QString& l : CutNotificationText(pending, skipping, n)) lines << l;
        EXPECT_EQ(lines, c.Lines) << c.Name;
        EXPECT_EQ(pending, c.Pending) << c.Name;
    }
}

TEST(NotificationText, AnEndlessLineIsBoundedAndDroppedUpToItsLineFeed) {
    QString pending;
    bool skipping = false;
    const QByteArray chunk(1000, '7');
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(CutNotificationText(pending, skipping, chunk).empty());
        EXPECT_LE(pending.size(), MaxNotificationLineLength);
    }
    // The overlong line ends: nothing of it becomes a shot, the next line
    // comes through whole.
    const auto lines = CutNotificationText(pending, skipping, "777\n812.3\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "812.3");
    EXPECT_TRUE(pending.isEmpty());
    EXPECT_FALSE(skipping);

    // Exactly the limit still counts as a line.
    const QByteArray limit(MaxNotificationLineLength, '1');
    const auto kept = CutNotificationText(pending, skipping, limit + "\n");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].size(), MaxNotificationLineLength);
}

TEST(NotificationText, TextBytesAndHexLines) {
    EXPECT_TRUE(IsTextNotification("12.3\t\r\n ~"));
    EXPECT_TRUE(IsTextNotification(QByteArray()));
    for (char b : {'\x00', '\x08', '\x0B', '\x0C', '\x0E', '\x1F', '\x7F', '\x80', '\xFF'})
        EXPECT_FALSE(IsTextNotification(QByteArray("1") + b)) << int(static_cast<unsigned char>(b));

    EXPECT_EQ(HexLine(QByteArray("\x31\xFF\x0A", 3)), "31 FF 0A");
    EXPECT_EQ(HexLine(QByteArray(1, '\0')), "00");
    EXPECT_EQ(HexLine(QByteArray()), "");
}
