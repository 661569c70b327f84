#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Cuts the byte stream of a serial chronograph into text lines.
//
// A line ends with LF (0x0A), with CR (0x0D), or with CR LF, which ends it
// once (also when the CR and the LF come in different reads). Every other byte
// is one character of the same code (0x80-0xFF become U+0080-U+00FF, no
// decoding). Empty lines are lines too, so each byte ends at most one line.
//
// An unfinished line holds at most MaxLineLength characters. A line that grows
// past it is no chronograph line: it is dropped whole, together with every
// byte up to and including the line end that ends it, and the next line starts
// after that. So a device that never ends a line cannot grow the memory
// without end.
//
// Not thread-safe; one read thread owns a cutter.
class TLineCutter {
public:
    static constexpr std::size_t MaxLineLength = 4096;

    TLineCutter();

    // Cuts `size` bytes that follow the bytes fed before. Returns the lines
    // they complete, in order, without their line ends.
    std::vector<std::wstring> Feed(const char* data, std::size_t size);

    // Forgets the unfinished line (and an overlong one being skipped, and a
    // CR waiting for its LF), so the next line holds only bytes fed after
    // this call.
    void Clear();

    // Hands out the unfinished line and forgets it (as Clear does); empty when
    // there is none or when it is an overlong line being skipped.
    std::wstring TakeUnfinished();

    // The unfinished line, left in place; empty as for TakeUnfinished.
    std::wstring Unfinished() const;

    // Characters held for the unfinished line; never above MaxLineLength.
    std::size_t PendingLength() const { return FPending.size(); }

private:
    std::string FPending;
    bool FSkipping = false;  // inside an overlong line, dropping up to its end
    bool FAfterCr = false;   // the last byte was a CR: an LF now ends nothing
};
