// Main-thread cost of REFRESH, FILTER, SYM and dV on a real main form under
// the offscreen platform, with 1,000 and with 10,000 shots in the list, so
// that the growth from one to the other shows.
//
// Prints figures against the targets (each under 100 ms at 10,000 shots and
// at most 12 times its cost at 1,000) and fails on a miss by more than 2x.
// Run: make bench, or build/bench/bench_AnalysisBench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>

#include "BenchSupport.h"
#include "BenchTargets.h"
#include "form/Form1.h"
#include "platform/core/IniFile.h"
#include "storage/core/Settings.h"
#include "support/FormProbe.h"

namespace {

using Clock = std::chrono::steady_clock;
using P = TForm1Probe;

QStringList Shots(int count) {
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i) lines.append(QString::number(780 + (i % 61) * 0.5, 'f', 2));
    return lines;
}

// Puts count shots into the list as a user's list would hold them, with the
// series shown, unlocked.
void Prepare(TForm1& form, int count) {
    form.RebuildFromLines(Shots(count), true);
    QCoreApplication::processEvents();
}

// The median of a few runs of `run`, each after `prepare`, in milliseconds;
// the repaint that follows is counted too.
double MedianMs(const std::function<void()>& prepare, const std::function<void()>& run) {
    std::vector<double> samples;
    for (int round = 0; round < 7; ++round) {
        prepare();
        const auto start = Clock::now();
        run();
        QCoreApplication::processEvents();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

struct TCommand {
    const char* Name;
    std::function<void(TForm1&, int)> Prepare;
    std::function<void(TForm1&)> Run;
};

}  // namespace

int main(int argc, char** argv) {
    TBenchEnvironment environment(argc, argv);

    auto* form = StartBenchForm();
    // A rule that every shot passes, so FILTER does its whole work.
    {
        TIniFile ini(IniPath());
        ini.WriteString(QStringLiteral("FILTER"), QStringLiteral("Velocity"),
                        QStringLiteral("V(0~2000)"));
    }

    const TCommand commands[] = {
        {"REFRESH (locked, from the kept lines)",
         [](TForm1& f, int n) {
             Prepare(f, n);
             f.LockMemo();
         },
         [](TForm1& f) { f.RefreshCommand(); }},
        {"REFRESH (unlocked, from the list)", [](TForm1& f, int n) { Prepare(f, n); },
         [](TForm1& f) { f.RefreshCommand(); }},
        {"FILTER", [](TForm1& f, int n) { Prepare(f, n); }, [](TForm1& f) { f.FilterCommand(); }},
        {"SYM",
         [](TForm1& f, int n) {
             Prepare(f, n);
             f.LockMemo();
         },
         [](TForm1& f) { f.MirrorCommand(); }},
        {"dV",
         [](TForm1& f, int n) {
             Prepare(f, n);
             f.LockMemo();
         },
         [](TForm1& f) { f.DeltaCommand(); }},
    };

    std::printf(
        "Analysis commands on the main thread (offscreen), median of 7 runs, "
        "repaint included\n");
    TBenchTargets targets;
    for (const TCommand& c : commands) {
        const double small = MedianMs([&] { c.Prepare(*form, 1000); }, [&] { c.Run(*form); });
        const double large = MedianMs([&] { c.Prepare(*form, 10000); }, [&] { c.Run(*form); });
        const double ratio = small > 0 ? large / small : 0.0;
        std::printf("%-40s 1,000 shots %7.2f ms   10,000 shots %7.2f ms   ratio %5.2f\n", c.Name,
                    small, large, ratio);
        const std::string name = c.Name;
        targets.AtMost((name + ", 10,000 shots").c_str(), large, 100, "ms");
        targets.AtMost((name + ", 10,000 / 1,000 shots").c_str(), ratio, 12, "x");
        form->RefreshCommand();
    }
    TCloseAction action = caFree;
    form->FormClose(form, action);
    delete form;
    Form1 = nullptr;
    return targets.Finish();
}
