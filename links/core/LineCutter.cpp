#include "links/core/LineCutter.h"

#include <cstring>

namespace {

constexpr char Cr = '\r';
constexpr char Lf = '\n';

// One character per byte: the byte value is the code point, so 0x80-0xFF land
// on U+0080-U+00FF instead of being sign-extended.
std::wstring Widen(const std::string& bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    for (char byte : bytes) text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return text;
}

}  // namespace

TLineCutter::TLineCutter() {
    // A chronograph line is short; one small block serves every line.
    FPending.reserve(256);
}

std::vector<std::wstring> TLineCutter::Feed(const char* data, std::size_t size) {
    std::vector<std::wstring> lines;
    const char* pos = data;
    const char* const end = data + size;
    while (pos < end) {
        // The LF of a CR LF pair: the CR has ended the line already.
        if (FAfterCr) {
            FAfterCr = false;
            if (*pos == Lf) {
                ++pos;
                continue;
            }
        }
        if (FSkipping) {
            // A megabyte of noise is skipped with one scan for each kind of
            // line end, not byte by byte.
            const std::size_t left = static_cast<std::size_t>(end - pos);
            const char* lineEnd = static_cast<const char*>(std::memchr(pos, Lf, left));
            const std::size_t beforeLf = lineEnd ? static_cast<std::size_t>(lineEnd - pos) : left;
            if (const void* cr = std::memchr(pos, Cr, beforeLf))
                lineEnd = static_cast<const char*>(cr);
            if (!lineEnd) break;
            FAfterCr = *lineEnd == Cr;
            pos = lineEnd + 1;
            FSkipping = false;
            continue;
        }
        const char byte = *pos++;
        if (byte == Cr || byte == Lf) {
            FAfterCr = byte == Cr;
            lines.push_back(Widen(FPending));
            FPending.clear();
            continue;
        }
        if (FPending.size() == MaxLineLength) {
            FPending.clear();
            FSkipping = true;
            continue;
        }
        FPending.push_back(byte);
    }
    return lines;
}

void TLineCutter::Clear() {
    FPending.clear();
    FSkipping = false;
    FAfterCr = false;
}

std::wstring TLineCutter::Unfinished() const {
    return Widen(FPending);
}

std::wstring TLineCutter::TakeUnfinished() {
    std::wstring text = Widen(FPending);
    Clear();
    return text;
}
