// Automatic saving of live shots every N shots.
#include <algorithm>
#include <limits>

#include <QFileInfo>

#include "form/Form1.h"
#include "platform/core/Files.h"
#include "platform/core/StandardError.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "storage/ProgramSettings.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

// Taken names passed over before a batch is given up as unsavable for now:
// far more files than a save folder holds, and still a bounded wait.
constexpr int MaxTakenNames = 100000;

QString SectionName() {
    return QString::fromLatin1(SectionAutoSave);
}

}  // namespace

std::int32_t TForm1::FAutoSaveCount() const {
    return std::int32_t(std::min<std::size_t>(
        FAutoSaveLines.size(), std::size_t(std::numeric_limits<std::int32_t>::max())));
}

QByteArray TForm1::ShotsFileBytesNow(const std::vector<QString>& lines) {
    TShotsFileSettings settings;
    settings.Txt = FTxtFormat;
    settings.PowerFactorMode = FPowerFactorMode;
    settings.PowerFactorIpsc = FPowerFactorIpsc;
    settings.WeightText = Edit1->Text();
    settings.WeightUnit = Label18->Caption();
    settings.Units = TUnitState{CheckBox1->Checked(), CheckBox2->Checked()};
    return ShotsFileBytes(lines, settings);
}

void TForm1::WriteShotsFile(const std::vector<QString>& lines, const QString& path) {
    if (lines.empty()) return;
    WriteFileReplacing(path, ShotsFileBytesNow(lines));
}

QString TForm1::WriteIndexedAutoSaveFile(const std::vector<QString>& lines,
                                         const QString& extension, QString& index) {
    const QString section = SectionName();
    // The name from INDEX first; a name that exists on the disk belongs to
    // an earlier run (one ended between its file and INDEX) or to another
    // copy of the program sharing the folder, and is never written over:
    // the next free index takes the file.
    // Missing defaults first (INDEX among them), then the name from the
    // INDEX read here, which another copy may have moved meanwhile.
    PrepareOutputSection(section);
    index = ReadOutputIndex(section);
    const QString first = BuildOutputPath(section, extension, QString(), index);
    QString path = first;
    const QByteArray bytes = ShotsFileBytesNow(lines);
    int tries = 0;
    while (!WriteNewFile(path, bytes)) {
        const std::optional<QString> next = NextIndexText(index);
        if (!next || ++tries > MaxTakenNames)
            throw Exception(QStringLiteral("%1 exists and INDEX %2 cannot advance")
                                .arg(QFileInfo(path).fileName(), index));
        index = *next;
        path = BuildOutputPath(section, extension, QString(), index);
    }
    if (path != first)
        PrintStandardError(QStringLiteral("AUTO SAVE: %1 exists already; saved as %2 instead")
                               .arg(QFileInfo(first).fileName(), QFileInfo(path).fileName()));
    return path;
}

void TForm1::WriteAutoSaveBacklog(int perFile) {
    const QString section = SectionName();
    const QString extension = FTxtFormat ? QStringLiteral(".txt") : QStringLiteral(".csv");
    if (FileNameUsesIndex(section)) {
        // Every full batch goes, oldest first, each in its own file; one
        // that fails stops the rest, which wait for the next chance. The
        // saved lines leave the buffer in one step at the end, whatever
        // ended the loop.
        std::size_t taken = 0;
        QString lastFile;
        const auto release = [&] {
            FAutoSaveLines.erase(FAutoSaveLines.begin(),
                                 FAutoSaveLines.begin() + std::ptrdiff_t(taken));
            if (!lastFile.isEmpty()) Label20->SetCaption(QStringLiteral("AUTO SAVE: ") + lastFile);
        };
        try {
            while (FAutoSaveLines.size() - taken >= std::size_t(perFile)) {
                const auto from = FAutoSaveLines.begin() + std::ptrdiff_t(taken);
                QString index;
                const QString path = WriteIndexedAutoSaveFile(
                    std::vector<QString>(from, from + perFile), extension, index);
                // The batch is saved once its file exists, also when INDEX
                // cannot be written below: the file's name then keeps the
                // next batch from it.
                taken += std::size_t(perFile);
                lastFile = QFileInfo(path).fileName();
                // An INDEX that cannot advance stays as it is: the next
                // batch finds this file and is refused rather than written
                // over it.
                if (const std::optional<QString> next = NextIndexText(index))
                    WriteOutputIndex(section, *next);
            }
        } catch (...) {
            release();
            throw;
        }
        release();
        return;
    }

    // The fixed file holds the whole history; a rewrite that failed is
    // tried again with every shot (and on closing) until one succeeds. A
    // buffer started afresh meanwhile is smaller than at the failure and
    // waits for its own N-th shot.
    const bool pending =
        FAutoSaveFixedPendingAt > 0 && FAutoSaveLines.size() >= FAutoSaveFixedPendingAt;
    if (!pending && FAutoSaveCount() % perFile != 0) return;
    const QString path = BuildOutputPath(section, extension, QString());
    std::vector<QString> all = FLoadedLines;
    all.insert(all.end(), FAutoSaveLines.begin(), FAutoSaveLines.end());
    try {
        WriteShotsFile(all, path);
    } catch (...) {
        FAutoSaveFixedPendingAt = std::max<std::size_t>(FAutoSaveLines.size(), 1);
        throw;
    }
    FAutoSaveFixedPendingAt = 0;
    Label20->SetCaption(QStringLiteral("AUTO SAVE: ") + QFileInfo(path).fileName());
}

void TForm1::AutoSaveOnShot(const QString& text) {
    if (!LiveInput) return;
    const int perFile = FSettings.Current().AutoSaveCount;
    if (perFile < 1) return;
    const QString shot = TrimText(text);
    double value = 0.0;
    if (shot.isEmpty() || !ParseDotDouble(shot, value)) return;

    // No bound: a shot leaves the buffer only in an indexed file, so that
    // none is lost however large N is or however long the folder refuses
    // files; the fixed file holds every shot since the buffer was started.
    FAutoSaveLines.push_back(shot);
    try {
        WriteAutoSaveBacklog(perFile);
    } catch (const std::exception& error) {
        // The status line has room for the word only; the failure's text
        // names the file, folder or settings file and the system's cause.
        Label20->SetCaption(QStringLiteral("AUTO SAVE: error"));
        PrintStandardError(QStringLiteral("AUTO SAVE: error: ") + QString::fromUtf8(error.what()));
    }
}

void TForm1::AutoSaveOnClose() {
    const int perFile = ReadAutoSaveCount();
    if (perFile < 1) return;
    const bool indexed = FileNameUsesIndex(SectionName());
    const bool waiting =
        indexed ? FAutoSaveLines.size() >= std::size_t(perFile)
                : FAutoSaveFixedPendingAt > 0 && FAutoSaveLines.size() >= FAutoSaveFixedPendingAt;
    if (!waiting) return;
    try {
        WriteAutoSaveBacklog(perFile);
    } catch (const std::exception& error) {
        const std::size_t unsaved =
            indexed ? FAutoSaveLines.size() / std::size_t(perFile) * std::size_t(perFile)
                    : FAutoSaveLines.size();
        PrintStandardError(QStringLiteral("AUTO SAVE: %1 shots could not be saved on closing: %2")
                               .arg(unsaved)
                               .arg(QString::fromUtf8(error.what())));
    }
}
