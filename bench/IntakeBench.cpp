// Main-thread cost of received lines on a real main form under the offscreen
// platform: one line at a time with a short and with a full shot list, a
// burst worked off in slices, and the peak memory of a full series.
//
// Prints figures and checks them against the targets (make bench, or
// build/bench/bench_IntakeBench): one line with the list at 10,000 costs at
// most twice a line at 100, and under 1 ms; a burst is worked off in slices
// of at most two frames (33 ms, the repaint after a slice included), so the
// window answers while it lasts, and the slices cost at most half as much
// again as the same burst taken in one go.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QThread>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "BenchTargets.h"
#include "app/Style.h"
#include "form/Form1.h"
#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "platform/core/Paths.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "series/core/Statistics.h"
#include "support/FormProbe.h"

namespace {

using Clock = std::chrono::steady_clock;
using P = TForm1Probe;

// No box may wait for a person during a run.

// A chronograph line as a serial device sends it (without its line end).
QString ShotLine(int i) {
    return QStringLiteral("V=%1 m/s nr %2").arg(780 + (i % 61) * 0.5).arg(i);
}

void Queue(TForm1& form, int first, int count) {
    for (int i = first; i < first + count; ++i) P::FReceivedLineQueue(form).Push(ShotLine(i));
}

// One drain of whatever is queued: the work the line itself costs the main
// thread. The repaint it causes is timed apart (PaintMicroseconds): Qt
// paints at most once per frame, however many lines came in between.
double DrainMicroseconds(TForm1& form) {
    const auto start = Clock::now();
    form.DrainReceivedLines();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double PaintMicroseconds() {
    const auto start = Clock::now();
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Empties the shot list, the cache, the chart and the statistics.
void EmptySeries(TForm1& form) {
    P::FMemoUpdating(form) = true;
    form.Memo1->Lines()->Clear();
    P::FMemoUpdating(form) = false;
    P::FActiveSeries(form)->Clear();
    P::FSeries(form).Clear();
    QCoreApplication::processEvents();
}

void Fill(TForm1& form, int count) {
    Queue(form, 0, count);
    form.FinishReceivedLines();
    QCoreApplication::processEvents();
}

bool QueueEmpty(TForm1& form) {
    return P::FReceivedLineQueue(form).Empty();
}

struct TBurst {
    int Slices = 0;
    double LongestMs = 0;  // one slice with the repaint after it
    double TotalMs = 0;
};

// Works off what is queued as the message loop does: one message, then
// event-loop passes until the queue is empty. Each pass handles one slice
// (the drain posts the message again for the rest) and the repaint it
// causes: the longest pass is how long the window stops answering.
TBurst WorkOff(TForm1& form) {
    TBurst burst;
    PostMessage(&form, WM_LINES_RECEIVED, 0, 0);
    while (!QueueEmpty(form)) {
        const double us = PaintMicroseconds();
        ++burst.Slices;
        burst.LongestMs = std::max(burst.LongestMs, us / 1000.0);
        burst.TotalMs += us / 1000.0;
    }
    QCoreApplication::processEvents();
    return burst;
}

struct TFigures {
    double Mean = 0;
    double Median = 0;
    double Max = 0;
};

TFigures Summarise(std::vector<double> samples) {
    TFigures f;
    if (samples.empty()) return f;
    for (double s : samples) f.Mean += s;
    f.Mean /= double(samples.size());
    std::sort(samples.begin(), samples.end());
    f.Median = samples[samples.size() / 2];
    f.Max = samples.back();
    return f;
}

long StatusKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().split(' ').front().toLong();
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    TBenchEnvironment environment(argc, argv);
    TBenchTargets targets;

    auto* form = StartBenchForm();

    std::printf("Line intake on the main thread (offscreen, chart %s)\n",
                form->CheckBoxScroll->Checked() ? "scrolling" : "fitted");

    // Peak memory of a full series: 10,100 shots, one line at a time.
    const long rssBefore = StatusKb("VmRSS");
    for (int i = 0; i < 10100; ++i) {
        Queue(*form, i, 1);
        form->DrainReceivedLines();
        if (i % 100 == 0) QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    std::printf(
        "10,100 shots: list %d lines, chart %d points, VmRSS %ld kB (before %ld kB), "
        "VmHWM %ld kB\n",
        form->Memo1->Lines()->Count(), P::FActiveSeries(*form)->Count(), StatusKb("VmRSS"),
        rssBefore, StatusKb("VmHWM"));

    // The settings file was just written; let it settle as it has in a
    // running program, so that its reads are what they are in steady use.
    QThread::sleep(3);

    // One line with the list at 100 to 199 lines.
    double small = 0;
    {
        std::vector<double> samples;
        std::vector<double> paints;
        for (int round = 0; round < 10; ++round) {
            EmptySeries(*form);
            Fill(*form, 100);
            for (int i = 0; i < 100; ++i) {
                Queue(*form, i, 1);
                samples.push_back(DrainMicroseconds(*form));
                paints.push_back(PaintMicroseconds());
            }
        }
        const TFigures f = Summarise(samples);
        const TFigures p = Summarise(paints);
        small = f.Median;
        std::printf(
            "one line, list at 100: mean %.1f us, median %.1f us, max %.1f us (%zu lines); "
            "repaint after it: median %.1f us\n",
            f.Mean, f.Median, f.Max, samples.size(), p.Median);
    }

    // One line with the list full: 10,000 to 10,100 lines, cut back every 101
    // shots; the cut-back lines show in the maximum.
    {
        EmptySeries(*form);
        Fill(*form, 10000);
        std::vector<double> samples;
        std::vector<double> paints;
        for (int i = 0; i < 2020; ++i) {
            Queue(*form, i, 1);
            samples.push_back(DrainMicroseconds(*form));
            paints.push_back(PaintMicroseconds());
        }
        const TFigures f = Summarise(samples);
        const TFigures p = Summarise(paints);
        std::printf(
            "one line, list at 10,000 (steady state with cut-back): mean %.1f us, "
            "median %.1f us, max %.1f us (%zu lines, list now %d); repaint after it: "
            "median %.1f us\n",
            f.Mean, f.Median, f.Max, samples.size(), form->Memo1->Lines()->Count(), p.Median);
        targets.AtMost("one line at 10,000 / at 100", small > 0 ? f.Median / small : 0.0, 2, "x");
        targets.AtMost("one line at 10,000 (median)", f.Median, 1000, "us");
    }

    // A burst of 10,000 lines queued before the main thread gets to them,
    // as a flooding device leaves them: worked off in slices.
    {
        EmptySeries(*form);
        Queue(*form, 0, 10000);
        const TBurst onto = WorkOff(*form);
        std::printf(
            "burst of 10,000 queued lines: %d slices, longest %.1f ms, total %.1f ms "
            "(%.1f us per line)\n",
            onto.Slices, onto.LongestMs, onto.TotalMs, onto.TotalMs * 1000.0 / 10000.0);
        Queue(*form, 0, 10000);
        const TBurst full = WorkOff(*form);
        std::printf(
            "burst of 10,000 more onto a full list: %d slices, longest %.1f ms, total %.1f ms "
            "(%.1f us per line)\n",
            full.Slices, full.LongestMs, full.TotalMs, full.TotalMs * 1000.0 / 10000.0);
        targets.AtMost("longest slice of a burst onto a full list", full.LongestMs, 33, "ms");

        // The same burst in one go, as the close takes it: what the slices
        // cost beyond it is their repaints.
        Queue(*form, 0, 10000);
        const auto start = Clock::now();
        form->FinishReceivedLines();
        const double oneGoMs =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count() +
            PaintMicroseconds() / 1000.0;
        std::printf("the same burst in one go: %.1f ms (%.1f us per line)\n", oneGoMs,
                    oneGoMs * 1000.0 / 10000.0);
        targets.AtMost("burst in slices / in one go", oneGoMs > 0 ? full.TotalMs / oneGoMs : 0.0,
                       1.5, "x");

        // The close works off a full queue in one go.
        Queue(*form, 0, int(ReceivedLinesBound));
        const auto closeStart = Clock::now();
        form->FinishReceivedLines();
        const double closeMs =
            std::chrono::duration<double, std::milli>(Clock::now() - closeStart).count();
        std::printf("a full queue (%zu lines) worked off at close: %.1f ms\n", ReceivedLinesBound,
                    closeMs);
    }

    std::printf("peak memory: VmHWM %ld kB\n", StatusKb("VmHWM"));

    TCloseAction action = caFree;
    form->FormClose(form, action);
    delete form;
    Form1 = nullptr;
    return targets.Finish();
}
