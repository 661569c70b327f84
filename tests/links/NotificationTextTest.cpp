// Cutting notification bytes into lines (the serial link's cutter, then the
// trim), and the hex form of other bytes.
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

QString Unfinished(const TLineCutter& cutter) {
    return QString::fromStdWString(cutter.Unfinished());
}

}  // namespace

TEST(NotificationText, CutsTrimsAndKeepsTheUnfinishedRest) {
    const std::vector<TCut> cases = {
        {"one line with CR LF", {"12.3\r\n"}, {"12.3"}, ""},
        {"split over two", {"12.", "3\n"}, {"12.3"}, ""},
        {"blanks and tabs around", {" 45.6  \r\n", "\t7\t\n"}, {"45.6", "7"}, ""},
        {"only line ends or blanks", {"\r\n", "   \n"}, {}, ""},
        {"two lines at once", {"1\n2\n"}, {"1", "2"}, ""},
        {"rest waits for its line end", {"1\n2"}, {"1"}, "2"},
        {"inner blanks stay", {"V = 812 m/s\n"}, {"V = 812 m/s"}, ""},
        // Line ends as on the serial link: CR alone ends a line too, and a
        // CR LF split between two notifications ends one line, not two.
        {"CR alone", {"812.3\r815.1\r"}, {"812.3", "815.1"}, ""},
        {"CR LF split", {"812.3\r", "\n815.1\n"}, {"812.3", "815.1"}, ""},
        {"LF CR is two line ends", {"1\n\r2\n"}, {"1", "2"}, ""},
    };
    for (const TCut& c : cases) {
        TLineCutter cutter;
        QStringList lines;
        for (const QByteArray& n : c.Notifications)
            for (const QString& l : NotificationLines(cutter, n)) lines << l;
        EXPECT_EQ(lines, c.Lines) << c.Name;
        EXPECT_EQ(Unfinished(cutter), c.Pending) << c.Name;
    }
}

TEST(NotificationText, AnEndlessLineIsBoundedAndDroppedUpToItsLineEnd) {
    TLineCutter cutter;
    const QByteArray chunk(1000, '7');
    for (int i = 0; i < 20; ++i) {
        EXPECT_TRUE(NotificationLines(cutter, chunk).empty());
        EXPECT_LE(cutter.PendingLength(), TLineCutter::MaxLineLength);
    }
    // The overlong line ends: nothing of it becomes a shot, the next line
    // comes through whole.
    const auto lines = NotificationLines(cutter, "777\n812.3\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "812.3");
    EXPECT_TRUE(Unfinished(cutter).isEmpty());

    // Exactly the limit still counts as a line.
    const QByteArray limit(qsizetype(TLineCutter::MaxLineLength), '1');
    const auto kept = NotificationLines(cutter, limit + "\n");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(std::size_t(kept[0].size()), TLineCutter::MaxLineLength);
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
