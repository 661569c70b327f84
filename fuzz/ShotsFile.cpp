// The TXT and CSV shot-file readers of LOAD: ShotsFileLines, CsvSecondCell,
// ShotsFileValues and ReadShotsFile, against the writers of SAVE.
//
// Input: one byte (bit 0: TXT, else CSV; bit 1: the user's decimal separator
// is ",", else "."), then the file's bytes.
// Properties: no line holds CR or LF; TXT takes exactly the file's non-empty
// lines, trimmed; CSV takes the second cell, trimmed and possibly empty, of
// every row from the fourth line on that has a separator; reading the file
// from the disk gives the same; the lines taken, saved as TXT, are taken
// again unchanged; and the shots the rebuild makes of them, saved as CSV,
// load back as the same values to the saved three decimals.
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
    for (std::size_t i = txt ? 0 : 3; i < lines.size(); ++i) {
        QString text = TrimText(lines[i]);
        if (txt ? text.isEmpty() : !CsvSecondCell(lines[i], text)) continue;
        expected.push_back(text);
    }
    fuzz::Require(values == expected, "the lines taken are the non-empty lines or second cells",
                  fuzz::Shown(values));
    for (const QString& text : values)
        fuzz::Require(TrimText(text) == text && (!txt || !text.isEmpty()),
                      "a line taken is trimmed, and not empty in TXT", text);

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
    const QStringList taken(values.begin(), values.end());
    const std::vector<QString> txtBack =
        Values(SavedTxtBytes(taken.join(QStringLiteral("\r\n"))), true);
    if (txt)
        fuzz::Require(txtBack == values, "lines taken from TXT, saved as TXT, are taken again",
                      fuzz::Shown(txtBack));

    // The shots the rebuild makes of the lines taken, as the list shows them.
    QStringList shown;
    for (const double v : RebuildLineValues(taken)) shown.append(FormatDot2(v));
    if (shown.isEmpty()) return 0;
    TShotsFileSettings settings;
    settings.WeightText = QStringLiteral("10");
    settings.WeightUnit = QStringLiteral("gr");
    const QByteArray csv = SavedCsvBytes(shown, settings, std::nullopt, TCnvEnergies{});
    const std::vector<QString> csvBack = Values(csv, false);
    fuzz::Require(csvBack.size() == std::size_t(shown.size()),
                  "every shot of a list saved as CSV is taken back",
                  taken.join(QLatin1Char('|')) + QStringLiteral(" -> ") + fuzz::Shown(csvBack));
    for (std::size_t i = 0; i < csvBack.size(); ++i) {
        double before = 0, after = 0;
        ShotLineValue(shown[qsizetype(i)], before);
        fuzz::Require(RebuildLineValue(csvBack[i], after) &&
                          std::fabs(after - before) <= 0.0005 + std::fabs(before) * 1e-12,
                      "a shot saved as CSV loads back to three decimals",
                      shown[qsizetype(i)] + QStringLiteral(" -> ") + csvBack[i]);
    }
    return 0;
}
