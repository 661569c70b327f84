// The TXT and CSV shot-file readers of LOAD: ShotsFileLines, CsvSecondCell,
// ShotsFileValues and ReadShotsFile, against the writers of SAVE.
//
// Input: one byte (bit 0: TXT, else CSV; bit 1: the user's decimal separator
// is ",", else "."), then the file's bytes.
// Properties: no line holds CR or LF; every value is trimmed and is a number
// as the shot list takes it, finite; TXT values are exactly the file's lines
// that are numbers; a CSV value is the second cell of a row from the fourth
// line on; reading the file from the disk gives the same values; and what
// LOAD puts into the list, saved again, reads back: the same texts from a
// TXT file, the same values to the saved three decimals from a CSV file.
#include <cmath>

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "fuzz/FuzzSupport.h"
#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "storage/core/ShotsFileReader.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

const QString& FilePath() {
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                    ? QStringLiteral("/dev/shm/tarvex-fuzz-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/tarvex-fuzz-XXXXXX"));
    static const QString path = folder.path() + QStringLiteral("/shots");
    return path;
}

std::vector<QString> Values(const QByteArray& bytes, bool txt) {
    return ShotsFileValues(ShotsFileLines(bytes), txt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool txt = data[0] & 1;
    SetDecimalSeparatorForTesting((data[0] & 2) ? QLatin1Char(',') : QLatin1Char('.'));
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    const std::vector<QString> lines = ShotsFileLines(bytes);
    for (const QString& line : lines)
        fuzz::Require(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')),
                      "no line holds CR or LF", line);

    const std::vector<QString> values = ShotsFileValues(lines, txt);
    std::vector<QString> expected;
    double value = 0;
    for (std::size_t i = txt ? 0 : 3; i < lines.size(); ++i) {
        QString text = lines[i];
        if (!txt && !CsvSecondCell(lines[i], text)) continue;
        if (ShotLineValue(text, value)) expected.push_back(TrimText(text));
    }
    fuzz::Require(values == expected, "the values are the number lines or cells",
                  fuzz::Shown(values));
    for (const QString& text : values) {
        fuzz::Require(TrimText(text) == text, "a value is trimmed", text);
        fuzz::Require(ShotLineValue(text, value) && std::isfinite(value), "a value is a number",
                      text);
    }

    {
        QFile file(FilePath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
            file.write(bytes) == bytes.size()) {
            file.close();
            const TShotsFileRead read = ReadShotsFile(FilePath(), txt);
            fuzz::Require(read.Problem == TShotsFileProblem::None && read.Values == values,
                          "the file on the disk reads the same", fuzz::Shown(read.Values));
        }
    }

    if (values.empty()) return 0;
    const QStringList list(values.begin(), values.end());
    const std::vector<QString> txtBack =
        Values(SavedTxtBytes(list.join(QStringLiteral("\r\n"))), true);
    fuzz::Require(txtBack == values, "a list saved as TXT reads back", fuzz::Shown(txtBack));

    TShotsFileSettings settings;
    settings.WeightText = QStringLiteral("10");
    settings.WeightUnit = QStringLiteral("gr");
    const QByteArray csv = SavedCsvBytes(list, settings, std::nullopt, TCnvEnergies{});
    const std::vector<QString> csvBack = Values(csv, false);
    fuzz::Require(csvBack.size() == values.size(), "every value of a list saved as CSV reads back",
                  fuzz::Shown(values) + QStringLiteral(" -> ") + fuzz::Shown(csvBack));
    for (std::size_t i = 0; i < values.size(); ++i) {
        double before = 0, after = 0;
        ShotLineValue(values[i], before);
        ShotLineValue(csvBack[i], after);
        fuzz::Require(std::fabs(after - before) <= 0.0005 + std::fabs(before) * 1e-12,
                      "a value saved as CSV reads back to three decimals",
                      values[i] + QStringLiteral(" -> ") + csvBack[i]);
    }
    return 0;
}
