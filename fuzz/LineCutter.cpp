// The line cutter of the serial byte stream.
//
// Properties: no line (finished or unfinished) is longer than its bound; no
// line holds CR or LF; however the bytes are cut into reads, the same lines
// come out, and they are the lines of a plain reference reading of the whole
// stream.
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "links/core/LineCutter.h"

namespace {

// The stream: the input after its first two bytes, where the byte 0x01
// followed by k stands for (k + 1) x 40 bytes of '7', so that lines beyond
// the bound are within reach of short inputs.
std::string Stream(std::string_view bytes) {
    std::string stream;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\x01' && i + 1 < bytes.size()) {
            stream.append((static_cast<unsigned char>(bytes[i + 1]) + 1u) * 40u, '7');
            ++i;
        } else {
            stream.push_back(bytes[i]);
        }
    }
    return stream;
}

std::wstring Widened(const std::string& bytes) {
    std::wstring text;
    for (const char b : bytes) text.push_back(wchar_t(static_cast<unsigned char>(b)));
    return text;
}

// What the cutter must give: CR, LF and CR LF each end a line; a line of more
// than MaxLineLength characters is dropped whole.
struct TReference {
    std::vector<std::wstring> Lines;
    std::wstring Unfinished;
};

TReference Reference(const std::string& stream) {
    TReference result;
    std::string line;
    bool tooLong = false;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        const char b = stream[i];
        if (b == '\n' && i > 0 && stream[i - 1] == '\r') continue;
        if (b == '\r' || b == '\n') {
            if (!tooLong) result.Lines.push_back(Widened(line));
            line.clear();
            tooLong = false;
            continue;
        }
        if (line.size() == TLineCutter::MaxLineLength) {
            tooLong = true;
            line.clear();
        }
        if (!tooLong) line.push_back(b);
    }
    if (!tooLong) result.Unfinished = Widened(line);
    return result;
}

void CheckLines(const std::vector<std::wstring>& lines) {
    for (const std::wstring& line : lines) {
        fuzz::Require(line.size() <= TLineCutter::MaxLineLength, "no line above the bound",
                      QString::number(line.size()));
        fuzz::Require(line.find_first_of(L"\r\n") == std::wstring::npos, "no line holds CR or LF");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The reads: sizes from a small generator seeded by the first two bytes.
    unsigned seed = data[0] | (unsigned(data[1]) << 8);
    const std::string stream =
        Stream(std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));
    const unsigned largest = 1 + seed % 5000;

    TLineCutter whole;
    std::vector<std::wstring> wholeLines = whole.Feed(stream.data(), stream.size());
    CheckLines(wholeLines);
    fuzz::Require(whole.PendingLength() <= TLineCutter::MaxLineLength, "pending within bound");

    TLineCutter pieces;
    std::vector<std::wstring> pieceLines;
    for (std::size_t pos = 0; pos < stream.size();) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t n = std::min<std::size_t>(1 + (seed >> 8) % largest, stream.size() - pos);
        const std::vector<std::wstring> got = pieces.Feed(stream.data() + pos, n);
        CheckLines(got);
        fuzz::Require(pieces.PendingLength() <= TLineCutter::MaxLineLength, "pending within bound");
        pieceLines.insert(pieceLines.end(), got.begin(), got.end());
        pos += n;
    }
    fuzz::Require(pieceLines == wholeLines, "any chunking gives the same lines");

    const TReference reference = Reference(stream);
    fuzz::Require(wholeLines == reference.Lines, "the lines are those of the stream");
    const std::wstring unfinished = whole.TakeUnfinished();
    fuzz::Require(unfinished.size() <= TLineCutter::MaxLineLength, "unfinished within bound");
    fuzz::Require(unfinished == reference.Unfinished, "the unfinished line is the stream's");
    fuzz::Require(pieces.TakeUnfinished() == unfinished, "any chunking leaves the same rest");
    fuzz::Require(whole.PendingLength() == 0, "taking the rest empties the cutter");
    return 0;
}
