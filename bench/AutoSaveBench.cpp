// Automatic saving after a save folder refused files for 2,000 shots, on a
// real main form under the offscreen platform, AUT=1 and numbered files:
// the window's event-loop turns while the waiting files are written, CLEAR
// in the middle of it, closing with 2,000 files waiting, and what one batch
// costs after many files and with an INDEX that cannot be written.
//
// Prints figures and checks them against the targets (make bench, or
// build/bench/bench_AutoSaveBench): no turn of the event loop, the shot
// that brings the folder back and CLEAR included, takes over 0.5 s while the
// 2,000 files are written; closing with 2,000 files waiting writes them all
// within 10 s; a batch after 1,000 files costs at most twice one of the
// first, also while INDEX cannot be written.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "BenchSupport.h"
#include "BenchTargets.h"
#include "form/Form1.h"
#include "platform/core/IniFile.h"
#include "platform/core/Paths.h"
#include "storage/core/Settings.h"
#include "support/FormProbe.h"

namespace {

using Clock = std::chrono::steady_clock;
using P = TForm1Probe;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::printf("cannot write %s\n", qPrintable(path));
}

// The [AUTOSAVE] section: AUT=1 into numbered TXT files in folder.
void SetSaveFolder(const QString& folder) {
    TIniFile ini(IniPath());
    ini.WriteString(QStringLiteral("AUTOSAVE"), QStringLiteral("AUT"), QStringLiteral("1"));
    ini.WriteString(QStringLiteral("AUTOSAVE"), QStringLiteral("Folder"), folder);
    ini.WriteString(QStringLiteral("AUTOSAVE"), QStringLiteral("FileName"),
                    QStringLiteral("Chrono_$"));
    ini.WriteString(QStringLiteral("AUTOSAVE"), QStringLiteral("INDEX"), QStringLiteral("0001"));
}

// Live shots through the drain, as a link delivers them.
void Shots(TForm1& form, int from, int count) {
    for (int i = from; i < from + count; ++i)
        P::FReceivedLineQueue(form).Push(QString::number(700 + i % 100));
    form.FinishReceivedLines();
}

int FileCount(const QString& folder) {
    return int(QDir(folder).entryList(QDir::Files | QDir::Hidden).size());
}

// A plain file where the folder should be: every file is refused, as on a
// full disk, for count shots. Then the folder comes back.
void RefuseShots(TForm1& form, const QString& folder, int count) {
    QDir(folder).removeRecursively();
    WriteBytes(folder, "x");
    Shots(form, 0, count);
    QFile::remove(folder);
}

}  // namespace

int main(int argc, char** argv) {
    TBenchEnvironment environment(argc, argv);
    TBenchTargets targets;
    constexpr int Waiting = 2000;
    WriteBytes(IniPath(), "[Settings]\nTXT=1\n");
    auto* form = StartBenchForm();
    std::printf("Automatic saving catching up (offscreen, AUT=1, numbered files)\n");

    // The catch-up: the shot that brings the folder back, then every turn
    // of the event loop until all files are written; CLEAR once on the way.
    {
        const QString folder = environment.FilePath(QStringLiteral("catch-up"));
        SetSaveFolder(folder);
        RefuseShots(*form, folder, Waiting);
        auto start = Clock::now();
        Shots(*form, Waiting, 1);
        double longest = MsSince(start);
        const double shotMs = longest;
        int turns = 0;
        double clearMs = 0;
        const auto all = Clock::now();
        while (P::AutoSaver(*form).WaitingFiles() > 0 && MsSince(all) < 120000) {
            start = Clock::now();
            if (turns == 3) {
                form->ButtonClearClick(nullptr);
                clearMs = MsSince(start);
            } else {
                QCoreApplication::processEvents();
            }
            longest = std::max(longest, MsSince(start));
            ++turns;
        }
        const double totalMs = MsSince(all);
        std::printf(
            "%d files waiting: the shot %.1f ms, CLEAR %.1f ms, %d turns, %.0f ms in all "
            "(%.2f ms a file), %d files in the folder\n",
            Waiting, shotMs, clearMs, turns, totalMs, totalMs / Waiting, FileCount(folder));
        if (FileCount(folder) != Waiting + 1) std::printf("FILES MISSING\n");
        targets.AtMost("longest event-loop turn while 2,000 files are written", longest, 500, "ms");
    }

    // Closing with 2,000 files waiting.
    {
        const QString folder = environment.FilePath(QStringLiteral("close"));
        SetSaveFolder(folder);
        RefuseShots(*form, folder, Waiting);
        const auto start = Clock::now();
        form->AutoSaveOnClose();
        const double closeMs = MsSince(start);
        std::printf("closing with %d files waiting: %.0f ms, %d files in the folder\n", Waiting,
                    closeMs, FileCount(folder));
        if (FileCount(folder) != Waiting) std::printf("FILES MISSING\n");
        targets.AtMost("closing with 2,000 files waiting", closeMs, 10000, "ms");
    }

    // One batch's cost after 1,000 files, with INDEX written and with a
    // settings file that refuses the write, against the first 100.
    for (const bool stuck : {false, true}) {
        const QString folder =
            environment.FilePath(stuck ? QStringLiteral("stuck") : QStringLiteral("cost"));
        SetSaveFolder(folder);
        QDir().mkpath(folder);
        if (stuck) QFile::setPermissions(IniPath(), QFile::ReadOwner);
        std::vector<double> ms;
        for (int i = 0; i < 1100; ++i) {
            const auto start = Clock::now();
            Shots(*form, i, 1);
            ms.push_back(MsSince(start));
        }
        if (stuck) QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::WriteOwner);
        const auto median = [](std::vector<double> part) {
            std::nth_element(part.begin(), part.begin() + std::ptrdiff_t(part.size() / 2),
                             part.end());
            return part[part.size() / 2];
        };
        const double first = median({ms.begin(), ms.begin() + 100});
        const double later = median({ms.end() - 100, ms.end()});
        std::printf("%s: one batch %.2f ms at files 1-100, %.2f ms at files 1001-1100\n",
                    stuck ? "INDEX cannot be written" : "INDEX written", first, later);
        if (FileCount(folder) != 1100) std::printf("FILES MISSING\n");
        targets.AtMost(stuck ? "batch at 1,000 / first, INDEX stuck" : "batch at 1,000 / first",
                       first > 0 ? later / first : 0.0, 2, "x");
    }
    return targets.Finish();
}
