// SAVE and LOAD of 10,000 shots on a real main form under the offscreen
// platform, through the buttons, with the dialogs answered at once: the
// main-thread time from the click to the written file or the rebuilt series.
//
// Targets: each under 100 ms. Prints the median of several runs against its
// target and ends with status 1 when one is missed by more than a factor of
// two (timings on a shared machine are noisy).
// Run: build/bench/bench_ShotFilesBench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QCoreApplication>

#include "BenchSupport.h"
#include "form/Form1.h"
#include "support/FormProbe.h"

namespace {

using Clock = std::chrono::steady_clock;
using P = TForm1Probe;

constexpr int Shots = 10000;
constexpr int Runs = 7;
constexpr double TargetMs = 100.0;

// Every file dialog chooses the same path.
class TAnsweringDialogs : public TSilentDialogs {
public:
    QString Path;
    bool ExecuteOpen(TFileDialogRequest& request) override { return Answer(request); }
    bool ExecuteSave(TFileDialogRequest& request) override { return Answer(request); }

private:
    bool Answer(TFileDialogRequest& request) {
        request.FileName = Path;
        return true;
    }
};

// The median time of run, each time after an untimed prepare.
template <typename Prepare, typename Run>
double MedianMs(Prepare&& prepare, Run&& run) {
    std::vector<double> samples;
    for (int i = 0; i < Runs; ++i) {
        prepare();
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        run();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        QCoreApplication::processEvents();
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool Report(const char* what, double ms) {
    const bool ok = ms <= 2 * TargetMs;
    std::printf("%-44s median %7.1f ms  (target < %.0f ms)%s\n", what, ms, TargetMs,
                ms <= TargetMs ? ""
                : ok           ? "  over target"
                               : "  MISSED by more than 2x");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    TBenchEnvironment environment(argc, argv);
    TAnsweringDialogs dialogs;
    SetDialogs(&dialogs);

    auto* form = StartBenchForm();
    form->Edit1->SetText(QStringLiteral("10"));
    QCoreApplication::processEvents();

    QStringList lines;
    for (int i = 0; i < Shots; ++i) lines << QString::number(780 + (i % 61) * 0.25, 'f', 2);
    form->RebuildFromLines(lines, true);
    QCoreApplication::processEvents();
    std::printf("SAVE and LOAD of %d shots (offscreen, median of %d runs)\n", Shots, Runs);

    bool ok = true;
    P::FTxtFormat(*form) = false;
    dialogs.Path = environment.FilePath(QStringLiteral("bench.csv"));
    ok &= Report("SAVE, CSV", MedianMs([] {}, [&] { form->ButtonSave->Click(); }));
    P::FTxtFormat(*form) = true;
    dialogs.Path = environment.FilePath(QStringLiteral("bench.txt"));
    ok &= Report("SAVE, TXT", MedianMs([] {}, [&] { form->ButtonSave->Click(); }));

    // LOAD into an emptied list, so that every run rebuilds 10,000 shots.
    const auto load = [&](bool txt, const char* name) {
        P::FTxtFormat(*form) = txt;
        dialogs.Path = environment.FilePath(QString::fromLatin1(name));
        return MedianMs([&] { form->ButtonClear->Click(); }, [&] { form->Button2->Click(); });
    };
    ok &= Report("LOAD, CSV into an empty list", load(false, "bench.csv"));
    ok &= Report("LOAD, TXT into an empty list", load(true, "bench.txt"));
    std::printf("list after LOAD: %d lines, status \"%s\"\n", form->Memo1->Lines()->Count(),
                qPrintable(form->Label20->Caption()));

    TCloseAction action = caFree;
    form->FormClose(form, action);
    delete form;
    Form1 = nullptr;
    return ok ? 0 : 1;
}
