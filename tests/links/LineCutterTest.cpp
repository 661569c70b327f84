#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/core/LineCutter.h"

namespace {

std::vector<std::wstring> FeedAll(TLineCutter& cutter, const std::vector<std::string>& chunks) {
    std::vector<std::wstring> lines;
    for (const std::string& chunk : chunks) {
        std::vector<std::wstring> more = cutter.Feed(chunk.data(), chunk.size());
        lines.insert(lines.end(), more.begin(), more.end());
    }
    return lines;
}

std::string Bytes(std::size_t count, char byte) {
    return std::string(count, byte);
}

}  // namespace

TEST(LineCutter, CutsChunksIntoLines) {
    struct Case {
        const char* Name;
        std::vector<std::string> Chunks;
        std::vector<std::wstring> Lines;
        std::wstring Unfinished;
    };
    const Case cases[] = {
        {"CrLfEndsLineOnce", {"123.4\r\n"}, {L"123.4"}, L""},
        {"CrAloneEndsLine", {"12\r34\r"}, {L"12", L"34"}, L""},
        {"CrInsideNumberEndsIt", {"12\r3\n"}, {L"12", L"3"}, L""},
        {"OnlyCrEndedShotsThenLf",
         {"1.5\r2.5\r3.5\r4.5\r5.5\r\n"},
         {L"1.5", L"2.5", L"3.5", L"4.5", L"5.5"},
         L""},
        {"MixedEndsInOneRead", {"1\n2\r3\r\n4\n\r5"}, {L"1", L"2", L"3", L"4", L""}, L"5"},
        {"LfAloneIsEmptyLine", {"\n"}, {L""}, L""},
        {"CrAloneIsEmptyLine", {"\r"}, {L""}, L""},
        {"CrLfCrLfTwoEmptyLines", {"\r\n\r\n"}, {L"", L""}, L""},
        {"CrCrLfTwoEmptyLines", {"7\r\r\n"}, {L"7", L""}, L""},
        {"LineSplitOverReads", {"12", "3.4\n"}, {L"123.4"}, L""},
        {"CrLfSplitOverReads", {"9.1\r", "\n"}, {L"9.1"}, L""},
        {"CrLfSplitOverEmptyRead", {"9.1\r", "", "\n8\r"}, {L"9.1", L"8"}, L""},
        {"CrThenTextInNextRead", {"9.1\r", "8\n"}, {L"9.1", L"8"}, L""},
        {"TwoLinesInOrder", {"1.5\n2.5\n3"}, {L"1.5", L"2.5"}, L"3"},
        {"UnfinishedKept", {"45.6"}, {}, L"45.6"},
        {"EmptyChunk", {"", "7\n", ""}, {L"7"}, L""},
        {"NulIsCharacter", {std::string("a\0b\n", 4)}, {std::wstring(L"a\0b", 3)}, L""},
        {"HighBytesWidenOneToOne", {"\x80\xA0\xE9\xFF\n"}, {L"\u0080\u00A0\u00E9\u00FF"}, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TLineCutter cutter;
        EXPECT_EQ(FeedAll(cutter, c.Chunks), c.Lines);
        // Looking at the unfinished line leaves it in place.
        EXPECT_EQ(cutter.Unfinished(), c.Unfinished);
        EXPECT_EQ(cutter.TakeUnfinished(), c.Unfinished);
        EXPECT_EQ(cutter.TakeUnfinished(), L"");
    }
}

TEST(LineCutter, ClearStartsAFreshLine) {
    TLineCutter cutter;
    EXPECT_TRUE(FeedAll(cutter, {"45"}).empty());
    cutter.Clear();
    EXPECT_EQ(FeedAll(cutter, {"6\n"}), std::vector<std::wstring>{L"6"});

    // Clearing after a CR forgets it: the LF that follows ends an empty line.
    EXPECT_EQ(FeedAll(cutter, {"5\r"}), std::vector<std::wstring>{L"5"});
    cutter.Clear();
    EXPECT_EQ(FeedAll(cutter, {"\n6\n"}), (std::vector<std::wstring>{L"", L"6"}));

    // Clearing inside an overlong line ends its skipping too.
    FeedAll(cutter, {Bytes(TLineCutter::MaxLineLength + 10, 'x')});
    cutter.Clear();
    EXPECT_EQ(FeedAll(cutter, {"7\n"}), std::vector<std::wstring>{L"7"});
}

TEST(LineCutter, BoundsTheUnfinishedLine) {
    constexpr std::size_t Max = TLineCutter::MaxLineLength;
    struct Case {
        const char* Name;
        std::vector<std::string> Chunks;
        std::vector<std::wstring> Lines;
    };
    const Case cases[] = {
        {"LongestLineKept", {Bytes(Max, '1') + "\n"}, {std::wstring(Max, L'1')}},
        {"LongestLineEndedByCr", {Bytes(Max, '1') + "\r" + "2\r"}, {std::wstring(Max, L'1'), L"2"}},
        {"OverlongEndedByCr", {Bytes(Max + 1, '1') + "\r2.5\r"}, {L"2.5"}},
        {"OverlongEndedByCrLfAcrossReads", {Bytes(Max + 1, '1') + "\r", "\n2.5\n"}, {L"2.5"}},
        {"OverlongCrLfInOneRead", {Bytes(Max + 9, '1') + "\r\n2.5\r\n"}, {L"2.5"}},
        {"OneTooManyDropsLine", {Bytes(Max + 1, '1') + "\n2.5\n"}, {L"2.5"}},
        {"DroppedUpToLfAcrossReads", {Bytes(Max, '1'), "2", "345", "6\n8.5\n"}, {L"8.5"}},
        {"LinesAroundKept", {"1.5\n" + Bytes(Max * 3, '9') + "\n2.5\n"}, {L"1.5", L"2.5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TLineCutter cutter;
        EXPECT_EQ(FeedAll(cutter, c.Chunks), c.Lines);
    }
}

TEST(LineCutter, MegabyteWithoutLineFeedStaysBounded) {
    const std::string noise = Bytes(1 << 20, '5');
    struct Case {
        const char* Name;
        std::size_t ChunkSize;
    };
    // As one block, and in the read thread's 4096-byte reads.
    const Case cases[] = {{"OneChunk", noise.size()}, {"ReadSizedChunks", 4096}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TLineCutter cutter;
        for (std::size_t at = 0; at < noise.size(); at += c.ChunkSize) {
            EXPECT_TRUE(
                cutter.Feed(noise.data() + at, std::min(c.ChunkSize, noise.size() - at)).empty());
            ASSERT_LE(cutter.PendingLength(), TLineCutter::MaxLineLength);
        }
        // The noise ends at the next line end; the line after it is whole.
        EXPECT_EQ(FeedAll(cutter, {"\r\n12.5\r"}), std::vector<std::wstring>{L"12.5"});
    }

    // A stop in the middle of the noise hands out nothing.
    TLineCutter stopped;
    stopped.Feed(noise.data(), noise.size());
    EXPECT_EQ(stopped.TakeUnfinished(), L"");
    EXPECT_EQ(FeedAll(stopped, {"3\n"}), std::vector<std::wstring>{L"3"});
}
