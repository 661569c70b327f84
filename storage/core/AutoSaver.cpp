#include "storage/core/AutoSaver.h"

#include <algorithm>
#include <limits>
#include <utility>

#include <QFileInfo>

#include "platform/core/Exception.h"
#include "platform/core/Files.h"
#include "platform/core/Trim.h"
#include "series/core/NumberText.h"
#include "storage/core/Settings.h"
#include "storage/core/SettingsKeys.h"
#include "storage/core/ShotsFileWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

// Taken names one file passes over before the search stops for this time:
// each is one look at the disk, so this bounds what one file may cost the
// window. The search goes on from the last of them with the next file.
constexpr int MaxTakenNames = 10000;

QString SectionName() {
    return QString::fromLatin1(SectionAutoSave);
}

QString FileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

// Something holds the name, also a link that points nowhere.
bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

}  // namespace

TAutoSaver::TAutoSaver(TAutoSaverHost host) : FHost(std::move(host)) {}

TAutoSaveSettings TAutoSaver::ReadSettings() const {
    if (FHost.ShotSettings) return FHost.ShotSettings();
    TAutoSaveSettings settings;
    settings.PerFile = ReadAutoSaveCount();
    if (settings.PerFile >= 1) settings.Indexed = FileNameUsesIndex(SectionName());
    return settings;
}

std::int32_t TAutoSaver::FAutoSaveCount() const {
    return std::int32_t(std::min<std::size_t>(
        FAutoSaveLines.size(), std::size_t(std::numeric_limits<std::int32_t>::max())));
}

std::vector<QString> TAutoSaver::BufferedLines() const {
    std::vector<QString> lines;
    for (const TDueFile& file : FWaiting)
        if (!file.Fixed) lines.insert(lines.end(), file.Lines.begin(), file.Lines.end());
    lines.insert(lines.end(), FAutoSaveLines.begin(), FAutoSaveLines.end());
    return lines;
}

std::int32_t TAutoSaver::BufferedCount() const {
    std::size_t count = FAutoSaveLines.size();
    for (const TDueFile& file : FWaiting)
        if (!file.Fixed) count += file.Lines.size();
    return std::int32_t(
        std::min<std::size_t>(count, std::size_t(std::numeric_limits<std::int32_t>::max())));
}

void TAutoSaver::AutoSaveOnShot(const QString& text) {
    const TAutoSaveSettings settings = ReadSettings();
    if (settings.PerFile < 1) return;
    const QString shot = TrimText(text);
    double value = 0.0;
    if (shot.isEmpty() || !ParseDotDouble(shot, value)) return;

    // No bound: a shot leaves the buffer only in a batch, which waits for
    // its file as long as the folder refuses it; the fixed file's buffer
    // holds every shot since it was started.
    FAutoSaveLines.push_back(shot);
    if (settings.Indexed) {
        // Every full batch is cut now, at the N of this shot: also the ones
        // a lowered AUT makes of lines buffered before.
        const std::size_t perFile = std::size_t(settings.PerFile);
        std::size_t from = 0;
        while (FAutoSaveLines.size() - from >= perFile) {
            TDueFile file;
            file.Lines.assign(FAutoSaveLines.begin() + std::ptrdiff_t(from),
                              FAutoSaveLines.begin() + std::ptrdiff_t(from + perFile));
            file.Shots = perFile;
            FWaiting.push_back(std::move(file));
            from += perFile;
        }
        FAutoSaveLines.erase(FAutoSaveLines.begin(), FAutoSaveLines.begin() + std::ptrdiff_t(from));
    } else if (FAutoSaveCount() % settings.PerFile == 0) {
        QueueFixedRewrite();
    }
    if (FWaiting.empty()) return;

    // One file per shot, so that a shot costs the window one file however
    // many wait; the rest go in slices between the window's events. A file
    // that failed waits for the next shot.
    if (!WriteDueFiles(1, Clock::now()) || FWaiting.empty() || FCatchUpAsked) return;
    FCatchUpAsked = true;
    if (FHost.RequestCatchUp) FHost.RequestCatchUp();
}

void TAutoSaver::CatchUp(std::chrono::steady_clock::duration budget) {
    FCatchUpAsked = false;
    if (FWaiting.empty()) return;
    if (!WriteDueFiles(std::numeric_limits<std::size_t>::max(), Clock::now() + budget) ||
        FWaiting.empty())
        return;
    FCatchUpAsked = true;
    if (FHost.RequestCatchUp) FHost.RequestCatchUp();
}

void TAutoSaver::AutoSaveOnClose(std::chrono::steady_clock::duration deadline) {
    // Due files are written whatever AUT says now: their shots were taken
    // while it was on.
    const Clock::time_point until = Clock::now() + deadline;
    QString failure;
    if (!FWaiting.empty() && !WriteDueFiles(std::numeric_limits<std::size_t>::max(), until))
        failure = FLastFailure;
    FReports.End();
    if (FWaiting.empty()) return;

    std::size_t shots = 0;
    for (const TDueFile& file : FWaiting)
        shots += file.CurrentHistory ? FAutoSaveLines.size() : file.Shots;
    if (failure.isEmpty())
        failure = QStringLiteral("%1 files were still waiting when closing had taken %2 s")
                      .arg(FWaiting.size())
                      .arg(std::chrono::duration_cast<std::chrono::seconds>(deadline).count());
    PrintStandardError(QStringLiteral("AUTO SAVE: %1 shots could not be saved on closing: %2")
                           .arg(shots)
                           .arg(failure));
}

void TAutoSaver::StartAfresh(std::optional<std::vector<QString>> loaded) {
    // A rewrite due with the history that ends here keeps that history; the
    // next rewrite, of the new history, replaces it.
    for (TDueFile& file : FWaiting) {
        if (!file.CurrentHistory) continue;
        file.Lines = FLoadedLines;
        file.Lines.insert(file.Lines.end(), FAutoSaveLines.begin(), FAutoSaveLines.end());
        file.Shots = FAutoSaveLines.size();
        file.CurrentHistory = false;
    }
    FAutoSaveLines.clear();
    if (loaded) FLoadedLines = std::move(*loaded);
}

void TAutoSaver::QueueFixedRewrite() {
    // A rewrite still waiting is for the same file with less in it.
    std::erase_if(FWaiting, [](const TDueFile& file) { return file.Fixed; });
    TDueFile file;
    file.Fixed = true;
    file.CurrentHistory = true;
    FWaiting.push_back(std::move(file));
}

bool TAutoSaver::WriteDueFiles(std::size_t maxFiles, std::chrono::steady_clock::time_point until) {
    FReportedNow = false;
    FLastFailure.clear();
    std::optional<TOutputTarget> target;
    QString lastFile;
    std::size_t written = 0;
    try {
        while (!FWaiting.empty() && written < maxFiles && (written == 0 || Clock::now() < until)) {
            // The section is read once for all files of the call: INDEX
            // moves in memory meanwhile and is written at the end.
            if (!target) target = PrepareOutputTarget(SectionName());
            lastFile = WriteFront(*target);
            // The file is in place: its shots have left the buffer.
            FWaiting.pop_front();
            ++written;
        }
    } catch (const std::exception& error) {
        FLastFailure = QString::fromUtf8(error.what());
    }
    if (!lastFile.isEmpty()) FHost.ShowStatus(QStringLiteral("AUTO SAVE: ") + lastFile);
    try {
        // Also after a failure: INDEX follows the files that were written.
        AdvanceIndex();
    } catch (const std::exception& error) {
        if (FLastFailure.isEmpty()) FLastFailure = QString::fromUtf8(error.what());
    }
    if (!FLastFailure.isEmpty()) {
        // The status line has room for the word only; the failure's text
        // names the file, folder or settings file and the system's cause.
        FHost.ShowStatus(QStringLiteral("AUTO SAVE: error"));
        Report(FLastFailure, QStringLiteral("AUTO SAVE: error: ") + FLastFailure);
        return false;
    }
    if (written > 0 && !FReportedNow) FReports.End();
    return true;
}

QString TAutoSaver::WriteFront(const TOutputTarget& target) {
    const TDueFile& file = FWaiting.front();
    const TShotsFileSettings format = FHost.FileSettings();
    const QString extension = format.Txt ? QStringLiteral(".txt") : QStringLiteral(".csv");
    if (!file.Fixed) return WriteNumbered(file, target, extension, format);

    // The fixed file holds the whole history and is replaced.
    std::vector<QString> history;
    if (file.CurrentHistory) {
        history = FLoadedLines;
        history.insert(history.end(), FAutoSaveLines.begin(), FAutoSaveLines.end());
    }
    const std::vector<QString>& lines = file.CurrentHistory ? history : file.Lines;
    const QString path = OutputTargetPath(target, extension, QString(), target.Index);
    if (!lines.empty()) WriteFileReplacing(path, ShotsFileBytes(lines, format));
    return FileNameOf(path);
}

QString TAutoSaver::WriteNumbered(const TDueFile& file, const TOutputTarget& target,
                                  const QString& extension, const TShotsFileSettings& format) {
    // A name that exists on the disk belongs to an earlier run (one ended
    // between its file and INDEX) or to another copy of the program sharing
    // the folder, and is never written over: the next free number takes the
    // file.
    const QByteArray bytes = ShotsFileBytes(file.Lines, format);
    QString index = FirstIndex(target);
    const QString first = OutputTargetPath(target, extension, QString(), index);
    QString path = first;
    for (int passed = 0; NameTaken(path) || !WriteNewFile(path, bytes); ++passed) {
        const std::optional<QString> next = NextIndexText(index);
        // The search goes on from here with the next file, never again from
        // the names passed over.
        FIndex = TIndexMemory{target.Folder, target.Pattern, target.Index, index};
        if (!next)
            throw Exception(QStringLiteral("%1 exists and INDEX %2 cannot advance")
                                .arg(FileNameOf(path), index));
        if (passed >= MaxTakenNames)
            throw Exception(QStringLiteral("%1 to %2 exist; the next file looks on from there")
                                .arg(FileNameOf(first), FileNameOf(path)));
        index = *next;
        path = OutputTargetPath(target, extension, QString(), index);
    }
    // An index that cannot advance stays: the next batch finds this file
    // and is refused rather than written over it.
    const std::optional<QString> next = NextIndexText(index);
    FIndex = TIndexMemory{target.Folder, target.Pattern, target.Index, next ? *next : index};
    if (path != first)
        Report(QStringLiteral("taken"),
               QStringLiteral("AUTO SAVE: %1 exists already; saved as %2 instead")
                   .arg(FileNameOf(first), FileNameOf(path)));
    return FileNameOf(path);
}

QString TAutoSaver::FirstIndex(const TOutputTarget& target) const {
    // INDEX as this copy last saw or wrote it: the names from it up to the
    // remembered number are taken. Anything else (INDEX moved by another
    // copy or by hand, another folder or pattern) starts from INDEX.
    if (FIndex && FIndex->Folder == target.Folder && FIndex->Pattern == target.Pattern &&
        FIndex->Seen == target.Index)
        return FIndex->Next;
    return target.Index;
}

void TAutoSaver::AdvanceIndex() {
    if (!FIndex || FIndex->Next == FIndex->Seen) return;
    WriteOutputIndex(SectionName(), FIndex->Next);
    FIndex->Seen = FIndex->Next;
}

void TAutoSaver::Report(const QString& kind, const QString& text) {
    FReportedNow = true;
    FReports.Report(kind, text);
}
