// Automatic saving of live shots every N shots.
#include <algorithm>

#include <QFileInfo>

#include "form/Form1.h"
#include "platform/core/Files.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "storage/ProgramSettings.h"
#include "storage/core/OutputNaming.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

// The most shots the automatic-save buffer holds: the shot list's own 10000.
constexpr std::size_t AutoSaveBufferBound = 10000;
// Far beyond any run; the count starts again there instead of overflowing.
constexpr std::int32_t AutoSaveCountWrap = 2000000000;

}  // namespace

void TForm1::WriteShotsFile(const std::vector<QString>& lines, const QString& path) {
    if (lines.empty()) return;
    TShotsFileSettings settings;
    settings.Txt = FTxtFormat;
    settings.PowerFactorMode = FPowerFactorMode;
    settings.PowerFactorIpsc = FPowerFactorIpsc;
    settings.WeightText = Edit1->Text();
    settings.WeightUnit = Label18->Caption();
    settings.Units = TUnitState{CheckBox1->Checked(), CheckBox2->Checked()};
    WriteFileReplacing(path, ShotsFileBytes(lines, settings));
}

void TForm1::AutoSaveOnShot(const QString& text) {
    if (!LiveInput) return;
    const int perFile = ReadAutoSaveCount();
    if (perFile < 1) return;
    const QString shot = TrimText(text);
    double value = 0.0;
    if (shot.isEmpty() || !ParseDotDouble(shot, value)) return;

    // The buffer keeps the last AutoSaveBufferBound shots, as the shot list
    // keeps its last 10000 lines: a run of any length costs bounded memory
    // and a bounded rewrite of the fixed file.
    FAutoSaveLines.push_back(shot);
    if (FAutoSaveLines.size() > AutoSaveBufferBound)
        FAutoSaveLines.erase(FAutoSaveLines.begin(),
                             FAutoSaveLines.end() - std::ptrdiff_t(AutoSaveBufferBound));
    // Counted apart from the size so that the fixed file still comes every
    // N shots once the buffer is full.
    FAutoSaveCount = FAutoSaveCount >= AutoSaveCountWrap ? 1 : FAutoSaveCount + 1;

    const QString section = QString::fromLatin1(SectionAutoSave);
    const QString extension = FTxtFormat ? QStringLiteral(".txt") : QStringLiteral(".csv");
    try {
        if (FileNameUsesIndex(section)) {
            // Each file takes the oldest N shots; they leave the buffer only
            // once the file and the next index are both written, so a failed
            // attempt is repeated whole with the next shot.
            if (FAutoSaveLines.size() < std::size_t(perFile)) return;
            const QString path = BuildOutputPath(section, extension, QString());
            // An INDEX that could not advance names the same file again:
            // writing it would lose the shots saved there before.
            if (std::find(FAutoSaveStuckFiles.begin(), FAutoSaveStuckFiles.end(), path) !=
                FAutoSaveStuckFiles.end())
                throw Exception(QStringLiteral("the automatic save file was written already"));
            const std::vector<QString> batch(FAutoSaveLines.begin(),
                                             FAutoSaveLines.begin() + perFile);
            WriteShotsFile(batch, path);
            if (!IncrementIndex(section)) FAutoSaveStuckFiles.push_back(path);
            FAutoSaveLines.erase(FAutoSaveLines.begin(), FAutoSaveLines.begin() + perFile);
            FAutoSaveCount = std::int32_t(FAutoSaveLines.size());
            Label20->SetCaption(QStringLiteral("AUTO SAVE: ") + QFileInfo(path).fileName());
        } else if (FAutoSaveCount % perFile == 0) {
            // One file holds the whole history: the last LOAD's list, then
            // every shot buffered since (the last AutoSaveBufferBound).
            const QString path = BuildOutputPath(section, extension, QString());
            std::vector<QString> all = FLoadedLines;
            all.insert(all.end(), FAutoSaveLines.begin(), FAutoSaveLines.end());
            WriteShotsFile(all, path);
            Label20->SetCaption(QStringLiteral("AUTO SAVE: ") + QFileInfo(path).fileName());
        }
    } catch (const std::exception&) {
        Label20->SetCaption(QStringLiteral("AUTO SAVE: error"));
    }
}
