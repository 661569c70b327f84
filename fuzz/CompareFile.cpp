// The compare-file reader of CMP: CompareFileValues.
//
// Input: one byte (bit 0: TXT, else CSV), then the file's bytes.
// Properties: a problem exactly when there are no values; binary bytes (below
// 0x20 but TAB, LF, VT, FF and CR) or an overlong line make it NotText and
// nothing else does; every value is trimmed and reads as a finite number;
// and a file that is text gives CMP exactly the lines or cells LOAD takes
// from it that are one number as a whole (the same numbers in the same order),
// so that comparing against a saved series uses the series LOAD would show.
#include <cmath>

#include <QStringList>

#include "fuzz/FuzzSupport.h"
#include "series/core/CompareFile.h"
#include "series/core/NumberText.h"
#include "storage/core/ShotsFileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool txt = data[0] & 1;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const TCompareFile read = CompareFileValues(bytes, txt);

    bool binary = false;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        binary = binary || (b < 0x20 && (b < 0x09 || b > 0x0D));
    }
    const std::vector<QString> lines = ShotsFileLines(bytes);
    bool overlong = false;
    for (const QString& line : lines) overlong = overlong || line.size() > MaxCompareLineLength;
    fuzz::Require((read.Problem == TCompareProblem::NotText) == (binary || overlong),
                  "not text exactly for binary bytes or an overlong line");
    fuzz::Require((read.Problem == TCompareProblem::None) == !read.Texts.empty(),
                  "a problem exactly when there are no values");
    if (read.Problem == TCompareProblem::NotText) return 0;
    fuzz::Require(read.Problem == TCompareProblem::None || read.Problem == TCompareProblem::NoValue,
                  "bytes are read or have no value");

    double value = 0;
    for (const QString& text : read.Texts) {
        fuzz::Require(TrimText(text) == text, "a value is trimmed", text);
        fuzz::Require(ParseDotDouble(text, value) && std::isfinite(value), "a value is a number",
                      text);
    }
    std::vector<QString> loaded;
    for (const QString& taken : ShotsFileValues(lines, txt))
        if (ShotLineValue(taken, value)) loaded.push_back(taken);
    bool same = loaded.size() == read.Texts.size();
    for (std::size_t i = 0; same && i < loaded.size(); ++i) {
        double compared = 0, shown = 0;
        same = ParseDotDouble(read.Texts[i], compared) && ShotLineValue(loaded[i], shown) &&
               (compared == shown || (std::isnan(compared) && std::isnan(shown)));
    }
    fuzz::Require(same, "CMP takes the values LOAD takes",
                  fuzz::Shown(read.Texts) + QStringLiteral(" / ") + fuzz::Shown(loaded));
    return 0;
}
