// The chart of a real main form under the offscreen platform: one new
// point with its axis and bar-width updates on a short and on a long
// series, and full repaints of 10,100 points at 865 x 207.
//
// Prints figures and checks them against the targets (make bench, or
// build/bench/bench_ChartViewBench): in the scrolling window (the default) a
// point on 10,000 costs at most twice a point on 100; with the shot axis
// fitted to every point each shot rescales the axis and every point is drawn
// again, so there one shot with its repaint on 10,000 stays within a frame
// (16 ms) and the ratio is printed for information; a full repaint of 10,100
// points takes under 30 ms.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QImage>
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
#include "support/FormProbe.h"

namespace {

using Clock = std::chrono::steady_clock;
using P = TForm1Probe;

double Velocity(int shot) {
    return 800 + 25 * std::sin(shot * 0.37) + (shot * 7919 % 13);
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double Microseconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Whether the shot axis scrolls (the "Chart" box, the default) or is fitted
// to every point.
bool Scrolling = true;

// One shot's chart work as the line intake does it: the point, the shot
// axis, the velocity axis and the bar width, then the event loop pass that
// paints the change.
void AddShot(TForm1& form, bool paint = true) {
    TChartSeries* series = P::FActiveSeries(form);
    const int n = series->Count();
    const bool hasPrevious = n > 0;
    const double previous = hasPrevious ? series->YValue(n - 1) : 0.0;
    TShotSeries& shots = P::FSeries(form);
    const int x = shots.AppendShot(Velocity(shots.NextX()), true, 0);
    form.AddChartPoint(x, Velocity(x), hasPrevious, previous);
    if (Scrolling) {
        const int width = shots.VisibleShots();
        if (x >= width)
            form.Chart1->BottomAxis()->SetMinMax(x - (width - 1), x);
        else
            form.Chart1->BottomAxis()->SetMinMax(0, width - 1);
    } else {
        form.UpdateXAxis();
    }
    form.UpdateYAxis(0.05);
    form.UpdateBarWidth(true);
    if (paint) QCoreApplication::processEvents();
}

void Refill(TForm1& form, int points) {
    P::FActiveSeries(form)->Clear();
    P::FSeries(form).Clear();
    P::BatchUpdate(form) = true;
    for (int i = 0; i < points; ++i) AddShot(form, false);
    P::BatchUpdate(form) = false;
    QCoreApplication::processEvents();
}

// Median microseconds of one shot onto a series of `points`, over rounds
// of 100 shots each starting again from that size; with or without the
// event loop pass that paints it.
double ShotMicroseconds(TForm1& form, int points, bool paint = true) {
    std::vector<double> samples;
    for (int round = 0; round < 5; ++round) {
        Refill(form, points);
        for (int i = 0; i < 100; ++i)
            samples.push_back(Microseconds([&] { AddShot(form, paint); }));
        QCoreApplication::processEvents();
    }
    return Median(samples);
}

TBenchTargets Targets;

void Measure(TForm1& form, const char* kind) {
    std::printf("%s chart\n", kind);
    ShotMicroseconds(form, 100);  // warm-up: fonts, sprites, first layouts
    for (bool scrolling : {true, false}) {
        Scrolling = scrolling;
        form.CheckBoxScroll->SetChecked(scrolling);
        const double small = ShotMicroseconds(form, 100);
        const double large = ShotMicroseconds(form, 10000);
        std::printf("  %s\n", scrolling ? "scrolling window of 26 shots (the default)"
                                        : "shot axis fitted to every point");
        std::printf("    one shot (point, axes, bar width, paint), 100 points:    %8.1f us\n",
                    small);
        std::printf("    one shot (point, axes, bar width, paint), 10,000 points: %8.1f us\n",
                    large);
        if (scrolling) {
            const std::string what =
                std::string(kind) + " chart, one shot on 10,000 / on 100, scrolling window";
            Targets.AtMost(what.c_str(), large / small, 2, "x");
        } else {
            std::printf("    ratio on 10,000 / on 100: %.2f (every point drawn again)\n",
                        large / small);
            const std::string what =
                std::string(kind) + " chart, one shot on 10,000 with its paint, fitted axis";
            Targets.AtMost(what.c_str(), large / 1000, 16, "ms");
        }
        const double smallCall = ShotMicroseconds(form, 100, false);
        const double largeCall = ShotMicroseconds(form, 10000, false);
        std::printf(
            "    the calls alone, paint left to the next frame: %.1f us / %.1f us, "
            "ratio %.2f\n",
            smallCall, largeCall, largeCall / smallCall);
    }
    Scrolling = true;
    form.CheckBoxScroll->SetChecked(true);

    // Every point shown: the shot axis fitted to all 10,100.
    Refill(form, 10100);
    TChart* chart = form.Chart1;
    // The whole chart inside the window, so that every pixel is painted.
    chart->SetBounds(0, chart->Top(), 865, 207);
    chart->BottomAxis()->SetMinMax(0.5, 10100.5);
    form.UpdateYAxis(0.05);
    form.ResetBarWidth(false);
    QCoreApplication::processEvents();

    std::vector<double> warm, rebuilt, image;
    QImage picture(865, 207, QImage::Format_RGB32);
    for (int i = 0; i < 21; ++i) {
        warm.push_back(Microseconds([&] { chart->Repaint(); }));
        // A new range moves every point: the drawing cache starts afresh.
        chart->LeftAxis()->SetMinMax(700 - i * 0.01, 900);
        rebuilt.push_back(Microseconds([&] { chart->Repaint(); }));
        chart->LeftAxis()->SetMinMax(700, 900 + i * 0.01);
        image.push_back(Microseconds([&] { chart->Draw(picture, picture.rect()); }));
    }
    std::printf("  full repaint of 10,100 points at 865 x 207, cache warm:    %6.2f ms\n",
                Median(warm) / 1000);
    std::printf("  full repaint of 10,100 points at 865 x 207, cache rebuilt: %6.2f ms\n",
                Median(rebuilt) / 1000);
    const std::string what =
        std::string(kind) + " chart, full repaint of 10,100 points, cache rebuilt";
    Targets.AtMost(what.c_str(), Median(rebuilt) / 1000, 30, "ms");
    std::printf("  drawing into an image, cache rebuilt:                      %6.2f ms\n",
                Median(image) / 1000);
}

TForm1* StartForm(const QString& iniPath, const QByteArray& settings) {
    QFile ini(iniPath);
    if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate)) ini.write(settings);
    ini.close();
    auto* form = StartBenchForm();
    return form;
}

void CloseForm(TForm1* form) {
    TCloseAction action = caFree;
    form->FormClose(form, action);
    delete form;
    Form1 = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    TBenchEnvironment environment(argc, argv);
    const QString iniPath = environment.FilePath(QStringLiteral("tarvex.ini"));

    TForm1* form = StartForm(iniPath, "[Settings]\nChartType=0\nChartColor=1\n");
    Measure(*form, "Line");
    CloseForm(form);

    form = StartForm(iniPath, "[Settings]\nChartType=2\nChartColor=2\n");
    Measure(*form, "Bar");
    CloseForm(form);

    return Targets.Finish();
}
