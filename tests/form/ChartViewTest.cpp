// The chart of the main form: settings, point colours, axes, bar width, the
// shot-window buttons and check boxes, axis labels, the mouse and drawing,
// through a real form under the offscreen platform.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "series/core/NumberText.h"
#include "series/core/Statistics.h"
#include "support/FormFixture.h"

namespace {

using P = TForm1Probe;

constexpr TColor Cycle[8] = {RGB(255, 0, 0),   RGB(0, 0, 255),   RGB(0, 128, 0), RGB(128, 0, 128),
                             RGB(0, 128, 128), RGB(128, 128, 0), RGB(0, 0, 128), RGB(128, 0, 0)};

struct TAxisRange {
    double Min = 0;
    double Max = 0;
};

std::vector<double> Shots(int first, int last) {
    std::vector<double> xs;
    for (int x = first; x <= last; ++x) xs.push_back(x);
    return xs;
}

double Velocity(double x) {
    return 800 + 15 * std::sin(x * 0.7);
}

QColor Pixel(const QImage& image, const QPoint& at) {
    return image.pixelColor(at);
}

QColor ToQColor(TColor c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace

class ChartView : public FormFixture {
protected:
    // Starts the form on a settings file holding these [Settings] lines.
    TForm1& Start(const QByteArray& settings = {}) {
        WriteTextFile(IniFilePath(), "[Settings]\n" + settings);
        return StartFormOffline();
    }
    TChartSeries& Series() { return *P::FActiveSeries(Form()); }
    TChartAxis* Bottom() { return Form().Chart1->BottomAxis(); }
    TChartAxis* Left() { return Form().Chart1->LeftAxis(); }

    // Adds points as the line intake does: the previous Y of the series.
    void AddPoints(const std::vector<double>& xs) {
        for (double x : xs) {
            const int n = Series().Count();
            Form().AddChartPoint(x, Velocity(x), n > 0, n > 0 ? Series().YValue(n - 1) : 0.0);
        }
    }
    void Refill(const std::vector<double>& xs) {
        Series().Clear();
        AddPoints(xs);
    }
    void SetAxis(const std::optional<TAxisRange>& range) {
        if (range)
            Bottom()->SetMinMax(range->Min, range->Max);
        else
            Bottom()->SetAutomatic(true);
    }
    // The pixel of point i in the chart's own view.
    QPoint PointPixel(int i) {
        const ChartTransform t = Form().Chart1->Core().ViewTransform();
        return {int(std::floor(t.MapX(Series().XValue(i)) + 0.5)),
                int(std::floor(t.MapY(Series().YValue(i)) + 0.5))};
    }
    void SendMouse(QEvent::Type type, const QPoint& at, Qt::MouseButton button) {
        QWidget* widget = Form().Chart1->Widget();
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &event);
    }
    void Click(const QPoint& at, Qt::MouseButton button) {
        SendMouse(QEvent::MouseButtonPress, at, button);
        SendMouse(QEvent::MouseButtonRelease, at, button);
    }
    // Paints of the chart while `action` runs, without the event loop: a
    // repaint at once is counted, one merely scheduled is not.
    int PaintsDuring(const std::function<void()>& action) {
        QCoreApplication::processEvents();
        int paints = 0;
        TChart* chart = Form().Chart1;
        const TNotifyEvent original = chart->OnBeforeDrawSeries;
        chart->OnBeforeDrawSeries = [&paints, original](TObject* sender) {
            ++paints;
            if (original) original(sender);
        };
        action();
        chart->OnBeforeDrawSeries = original;
        return paints;
    }

    // Paints of the chart that `action` asks for: the ones at once and the
    // ones it leaves to the event loop (counted once it has run).
    int PaintsAskedFor(const std::function<void()>& action) {
        return PaintsDuring([&] {
            action();
            QCoreApplication::processEvents();
        });
    }
};

TEST_F(ChartView, SettingsChooseTheSeriesAndAreClamped) {
    struct Case {
        const char* settings;
        int type, color, lineWidth, markerSize, barWidth;
    };
    const Case cases[] = {
        {"", 0, 1, 1, 5, 35},
        {"ChartType=-1\n", 0, 1, 1, 5, 35},
        {"ChartType=1\n", 1, 1, 1, 5, 35},
        {"ChartType=2\n", 2, 1, 1, 5, 35},
        {"ChartType=3\n", 0, 1, 1, 5, 35},
        {"ChartColor=0\n", 0, 0, 1, 5, 35},
        {"ChartColor=2\n", 0, 2, 1, 5, 35},
        {"ChartColor=7\n", 0, 1, 1, 5, 35},
        {"ChartColor=-2\n", 0, 1, 1, 5, 35},
        {"ChartBarWidth=0\n", 0, 1, 1, 5, 35},
        {"ChartBarWidth=200\n", 0, 1, 1, 5, 95},
        {"ChartBarWidth=50\n", 0, 1, 1, 5, 50},
        {"ChartMarkerSize=0\n", 0, 1, 1, 5, 35},
        {"ChartMarkerSize=20\n", 0, 1, 1, 12, 35},
        {"ChartMarkerSize=8\n", 0, 1, 1, 8, 35},
        {"ChartLineWidth=0\n", 0, 1, 1, 5, 35},
        {"ChartLineWidth=9\n", 0, 1, 6, 5, 35},
        {"ChartLineWidth=3\n", 0, 1, 3, 5, 35},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        TForm1& form = Start(c.settings);
        EXPECT_EQ(int(P::FChartType(form)), c.type);
        EXPECT_EQ(int(P::FChartColor(form)), c.color);
        EXPECT_EQ(P::FChartLineWidth(form), c.lineWidth);
        EXPECT_EQ(P::FChartMarkerSize(form), c.markerSize);
        EXPECT_EQ(P::FChartBarWidth(form), c.barWidth);

        TLineSeries* line = form.Series1;
        EXPECT_EQ(line->LinePen()->Width(), c.lineWidth);
        EXPECT_TRUE(line->LinePen()->Visible());
        EXPECT_TRUE(line->Pointer()->Visible());
        EXPECT_EQ(line->Pointer()->HorizSize(), c.markerSize);
        EXPECT_EQ(line->Pointer()->VertSize(), c.markerSize);
        EXPECT_EQ(line->Pointer()->Style(), c.type == 1 ? psDiagCross : psCircle);
        EXPECT_EQ(P::FActiveSeries(form)->XValuesOrder(), loNone);

        TBarSeries* bars = P::FBarSeries(form);
        if (c.type == 2) {
            ASSERT_NE(bars, nullptr);
            EXPECT_EQ(P::FActiveSeries(form), bars);
            EXPECT_TRUE(bars->Active());
            EXPECT_FALSE(line->Active());
            EXPECT_EQ(bars->ParentChart(), form.Chart1);
            EXPECT_EQ(bars->Title(), "Velocity");
            EXPECT_EQ(bars->BarWidthPercent(), 100);
            // Loading again keeps the one bar series.
            form.LoadChartSettings();
            EXPECT_EQ(P::FBarSeries(form), bars);
            EXPECT_EQ(P::FActiveSeries(form), bars);
        } else {
            EXPECT_EQ(bars, nullptr);
            EXPECT_EQ(P::FActiveSeries(form), line);
            EXPECT_TRUE(line->Active());
        }
        CloseForm();
    }
}

TEST_F(ChartView, PointsTakeTheColourOfTheirMode) {
    struct Case {
        const char* settings;
        std::vector<double> ys;
        std::vector<TColor> colors;
    };
    const TColor grey = RGB(128, 128, 128), green = RGB(0, 128, 0), red = RGB(255, 0, 0);
    const Case cases[] = {
        {"ChartColor=0\n", {800, 810, 790}, {clDefault, clDefault, clDefault}},
        {"ChartColor=1\n",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         {Cycle[0], Cycle[1], Cycle[2], Cycle[3], Cycle[4], Cycle[5], Cycle[6], Cycle[7], Cycle[0],
          Cycle[1]}},
        {"ChartColor=2\n", {800, 810, 805, 805, 806}, {grey, green, red, grey, green}},
        {"ChartType=2\nChartColor=2\n", {800, 790, 790}, {grey, red, grey}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        TForm1& form = Start(c.settings);
        for (size_t i = 0; i < c.ys.size(); ++i) {
            const bool hasPrevious = i > 0;
            form.AddChartPoint(double(i + 1), c.ys[i], hasPrevious,
                               hasPrevious ? c.ys[i - 1] : 0.0);
        }
        ASSERT_EQ(Series().Count(), int(c.ys.size()));
        for (size_t i = 0; i < c.ys.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(Series().XValue(int(i)), double(i + 1));
            EXPECT_EQ(Series().YValue(int(i)), c.ys[i]);
            EXPECT_EQ(Series().PointColor(int(i)), c.colors[i]);
            EXPECT_TRUE(Series().Label(int(i)).isEmpty());
        }
        CloseForm();
    }
}

TEST_F(ChartView, ShotAxisFitsUnlessTheWindowIsHandMade) {
    struct Case {
        const char* name;
        const char* settings;
        std::vector<double> xs;
        bool zoomActive;
        TZoomAnchor zoomAnchor;
        int zoomSteps;
        bool automatic;
        TAxisRange expected;  // for a manual axis
    };
    const Case cases[] = {
        {"empty line series", "", {}, false, TZoomAnchor::Centre, 0, false, {0, 25}},
        {"empty even with a hand-made window", "", {}, true, TZoomAnchor::Start, 2, false, {0, 25}},
        {"line series fits automatically",
         "",
         Shots(1, 40),
         false,
         TZoomAnchor::Centre,
         0,
         true,
         {}},
        {"bars fit half a slot beyond",
         "ChartType=2\n",
         Shots(1, 10),
         false,
         TZoomAnchor::Centre,
         0,
         false,
         {0.5, 10.5}},
        {"single bar", "ChartType=2\n", {7}, false, TZoomAnchor::Centre, 0, false, {6.5, 7.5}},
        {"window set by hand stays", "", Shots(1, 40), true, TZoomAnchor::Centre, 0, false, {3, 9}},
        {"anchor alone keeps it", "", Shots(1, 40), false, TZoomAnchor::End, 0, false, {3, 9}},
        {"zoom steps alone keep it",
         "ChartType=2\n",
         Shots(1, 40),
         false,
         TZoomAnchor::Centre,
         1,
         false,
         {3, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TForm1& form = Start(c.settings);
        AddPoints(c.xs);
        Bottom()->SetMinMax(3, 9);
        P::FZoomActive(form) = c.zoomActive;
        P::FZoomAnchor(form) = c.zoomAnchor;
        P::FZoomSteps(form) = c.zoomSteps;
        form.UpdateXAxis();
        EXPECT_EQ(Bottom()->Automatic(), c.automatic);
        if (c.automatic) {
            EXPECT_EQ(Bottom()->Minimum(), c.xs.front());
            EXPECT_EQ(Bottom()->Maximum(), c.xs.back());
        } else {
            EXPECT_DOUBLE_EQ(Bottom()->Minimum(), c.expected.Min);
            EXPECT_DOUBLE_EQ(Bottom()->Maximum(), c.expected.Max);
        }
        CloseForm();
    }
}

TEST_F(ChartView, VelocityAxisFitsThePointsWithAMargin) {
    struct Case {
        const char* name;
        std::vector<double> ys;
        double margin;
        std::optional<TAxisRange> expected;  // none: the axis is left alone
    };
    const Case cases[] = {
        {"empty series", {}, 0.05, std::nullopt},
        {"single point spans its value", {800}, 0.05, TAxisRange{760, 840}},
        {"single small point spans 1", {0.5}, 0.05, TAxisRange{0.45, 0.55}},
        {"single zero", {0}, 0.05, TAxisRange{-0.05, 0.05}},
        {"single negative", {-3}, 0.05, TAxisRange{-3.15, -2.85}},
        {"flat series", {800, 800, 800}, 0.5, TAxisRange{400, 1200}},
        {"spread series", {790, 810, 800}, 0.05, TAxisRange{789, 811}},
        {"margin above 5 is 5", {790, 810}, 7, TAxisRange{690, 910}},
        {"negative margin is 0", {790, 810}, -1, TAxisRange{790, 810}},
        {"no margin on a single point", {800}, 0, TAxisRange{799, 801}},
    };
    TForm1& form = Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Series().Clear();
        for (size_t i = 0; i < c.ys.size(); ++i)
            form.AddChartPoint(double(i + 1), c.ys[i], false, 0);
        Left()->SetMinMax(-7, 7);
        form.UpdateYAxis(c.margin);
        EXPECT_FALSE(Left()->Automatic());
        const TAxisRange range = c.expected.value_or(TAxisRange{-7, 7});
        EXPECT_NEAR(Left()->Minimum(), range.Min, 1e-9);
        EXPECT_NEAR(Left()->Maximum(), range.Max, 1e-9);
    }
}

TEST_F(ChartView, BarWidthFollowsPlotWidthShotsShownAndSetting) {
    struct Case {
        const char* name;
        int chartWidth;
        bool scroll;
        std::vector<double> xs;
        std::optional<TAxisRange> axis;  // none: automatic
        int percent;
        double span;  // shots the width is shared by
    };
    const Case cases[] = {
        {"scrolling window of 25", 746, true, Shots(1, 10), TAxisRange{0, 25}, 35, 25},
        {"scrolling window of 5", 746, true, Shots(1, 10), TAxisRange{0, 5}, 35, 5},
        {"a window below one shot counts as one", 746, true, Shots(1, 10), TAxisRange{3, 3.5}, 35,
         1},
        {"manual axis while not scrolling", 746, false, Shots(1, 10), TAxisRange{0, 100}, 35, 100},
        {"fitted axis takes the shots' span", 746, false, Shots(1, 10), std::nullopt, 35, 9},
        {"one point on a fitted axis", 746, false, {4}, std::nullopt, 35, 25},
        {"empty manual axis takes the shots' span", 746, false, Shots(1, 10), TAxisRange{5, 5}, 35,
         9},
        {"narrow chart", 400, true, Shots(1, 10), TAxisRange{0, 25}, 35, 25},
        {"wide chart", 1500, true, Shots(1, 10), TAxisRange{0, 25}, 35, 25},
        {"percent 0 is 35", 746, true, Shots(1, 10), TAxisRange{0, 25}, 0, 25},
        {"percent above 95 is 95", 746, true, Shots(1, 10), TAxisRange{0, 25}, 200, 25},
        {"percent 60", 746, true, Shots(1, 10), TAxisRange{0, 25}, 60, 25},
        {"never below one pixel", 746, false, Shots(1, 10), TAxisRange{0, 100000}, 35, 100000},
    };
    TForm1& form = Start("ChartType=2\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.CheckBoxScroll->SetChecked(c.scroll);
        Refill(c.xs);
        SetAxis(c.axis);
        P::FChartBarWidth(form) = c.percent;
        form.Chart1->SetBounds(109, 308, c.chartWidth, 207);

        const TRect plot = form.Chart1->ChartRect();
        ASSERT_GT(plot.Right, plot.Left);
        ASSERT_LE(plot.Right - plot.Left, c.chartWidth);
        const int p = plot.Right - plot.Left;
        const int percent = c.percent <= 0 ? 35 : std::min(c.percent, 95);
        const int expected =
            std::clamp(int(std::lround(p / std::max(c.span, 1.0) * percent / 100.0)), 1, p);

        form.ResetBarWidth(false);
        EXPECT_EQ(P::FAppliedBarWidth(form), expected);
        EXPECT_EQ(P::FBarSeries(form)->CustomBarWidth(), expected);
    }
}

TEST_F(ChartView, BarWidthRepaintsOnlyForANewWidthOutsideABatch) {
    TForm1& form = Start("ChartType=2\n");
    AddPoints(Shots(1, 10));
    Bottom()->SetMinMax(0, 25);
    form.ResetBarWidth(false);
    const int first = P::FAppliedBarWidth(form);
    ASSERT_GT(first, 0);

    // The same width again: nothing at all.
    EXPECT_EQ(PaintsAskedFor([&] { form.UpdateBarWidth(true); }), 0);
    // A new width asks for one repaint, which the event loop makes (and
    // merges with the others of the same turn): none is made at once.
    Bottom()->SetMinMax(0, 5);
    EXPECT_EQ(PaintsDuring([&] { form.UpdateBarWidth(true); }), 0);
    const int second = P::FAppliedBarWidth(form);
    EXPECT_NE(second, first);
    Bottom()->SetMinMax(0, 25);
    EXPECT_EQ(PaintsAskedFor([&] { form.UpdateBarWidth(true); }), 1);
    EXPECT_EQ(P::FAppliedBarWidth(form), first);
    Bottom()->SetMinMax(0, 5);
    EXPECT_EQ(PaintsAskedFor([&] { form.UpdateBarWidth(true); }), 1);
    // Reset applies the same width again, with its repaint.
    EXPECT_EQ(PaintsAskedFor([&] { form.ResetBarWidth(true); }), 1);
    EXPECT_EQ(P::FAppliedBarWidth(form), second);
    // Without repaint, or in a batch, the width changes but nothing paints.
    Bottom()->SetMinMax(0, 25);
    EXPECT_EQ(PaintsDuring([&] { form.UpdateBarWidth(false); }), 0);
    EXPECT_EQ(P::FAppliedBarWidth(form), first);
    Bottom()->SetMinMax(0, 5);
    TForm1Probe::BatchUpdate(*Form1) = true;
    EXPECT_EQ(PaintsDuring([&] { form.UpdateBarWidth(true); }), 0);
    TForm1Probe::BatchUpdate(*Form1) = false;
    EXPECT_EQ(P::FAppliedBarWidth(form), second);
    EXPECT_EQ(P::FBarSeries(form)->CustomBarWidth(), second);

    // A chart too narrow for a plot applies nothing.
    form.Chart1->SetBounds(109, 308, 60, 207);
    form.ResetBarWidth(true);
    EXPECT_EQ(P::FAppliedBarWidth(form), -1);
    EXPECT_EQ(P::FBarSeries(form)->CustomBarWidth(), second);
}

TEST_F(ChartView, LineChartHasNoBarWidth) {
    TForm1& form = Start();
    AddPoints(Shots(1, 10));
    form.ResetBarWidth(true);
    EXPECT_EQ(P::FAppliedBarWidth(form), -1);
}

TEST_F(ChartView, WindowButtonsSetTheShotWindow) {
    // FZoomActive, FZoomAnchor and FZoomSteps.
    struct TZoomState {
        bool active = false;
        TZoomAnchor anchor = TZoomAnchor::Centre;
        int steps = 0;
    };
    struct Case {
        const char* name;
        bool scroll;
        std::vector<double> xs;
        std::optional<TAxisRange> axis;  // none: automatic
        TZoomState before;
        TSpeedButton* TForm1::*button;
        // Expected; a window of none is the automatic axis over the shots.
        std::optional<TAxisRange> window;
        TZoomState after;
        int visibleShots = 26;
    };
    const auto x0 = &TForm1::SpeedButton1, xn = &TForm1::SpeedButton2, plus = &TForm1::SpeedButton4,
               minus = &TForm1::SppeButton3;
    const Case cases[] = {
        {.name = "X0 scrolling keeps the width at the first shot",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{5, 30},
         .button = x0,
         .window = TAxisRange{1, 26},
         .after = {.active = true, .anchor = TZoomAnchor::Start}},
        {.name = "XN scrolling keeps the width at the last shot",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{5, 30},
         .button = xn,
         .window = TAxisRange{5, 30},
         .after = {.active = true, .anchor = TZoomAnchor::End}},
        {.name = "XN with fewer shots than the window",
         .scroll = true,
         .xs = Shots(1, 10),
         .axis = TAxisRange{0, 25},
         .button = xn,
         .window = TAxisRange{1, 10},
         .after = {.active = true, .anchor = TZoomAnchor::End}},
        {.name = "X0 on a fitted axis spans every shot",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = std::nullopt,
         .button = x0,
         .window = TAxisRange{1, 30},
         .after = {.active = true, .anchor = TZoomAnchor::Start}},
        {.name = "X0 keeps a manual width",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{10, 20},
         .button = x0,
         .window = TAxisRange{1, 11},
         .after = {.active = true, .anchor = TZoomAnchor::Start}},
        {.name = "X0 with one shot",
         .scroll = true,
         .xs = {1},
         .axis = TAxisRange{0, 25},
         .button = x0,
         .window = TAxisRange{1, 26},
         .after = {.active = true, .anchor = TZoomAnchor::Start}},
        {.name = "+ scrolling from the start keeps the start",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{0, 25},
         .button = plus,
         .window = TAxisRange{0, 18.75},
         .after = {.active = true, .anchor = TZoomAnchor::Start, .steps = 1},
         .visibleShots = 20},
        {.name = "+ scrolling at the last shot keeps the end",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{5, 30},
         .button = plus,
         .window = TAxisRange{11.25, 30},
         .after = {.active = true, .anchor = TZoomAnchor::End, .steps = 1},
         .visibleShots = 20},
        {.name = "+ scrolling in between keeps the centre",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{2, 27},
         .button = plus,
         .window = TAxisRange{5.125, 23.875},
         .after = {.active = true, .steps = 1},
         .visibleShots = 20},
        {.name = "+ scrolling anchored at the end keeps the end",
         .scroll = true,
         .xs = Shots(1, 40),
         .axis = TAxisRange{5, 30},
         .before = {.active = true, .anchor = TZoomAnchor::End},
         .button = plus,
         .window = TAxisRange{11.25, 30},
         .after = {.active = true, .anchor = TZoomAnchor::End, .steps = 1},
         .visibleShots = 20},
        {.name = "+ scrolling anchored at the start keeps the start",
         .scroll = true,
         .xs = Shots(1, 40),
         .axis = TAxisRange{5, 30},
         .before = {.active = true, .anchor = TZoomAnchor::Start},
         .button = plus,
         .window = TAxisRange{5, 23.75},
         .after = {.active = true, .anchor = TZoomAnchor::Start, .steps = 1},
         .visibleShots = 20},
        {.name = "+ scrolling beyond the last shot is cut to it",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{10, 40},
         .button = plus,
         .window = TAxisRange{15, 30},
         .after = {.active = true, .anchor = TZoomAnchor::End, .steps = 1},
         .visibleShots = 16},
        {.name = "+ scrolling from a fitted axis starts at 0 .. 25",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = std::nullopt,
         .button = plus,
         .window = TAxisRange{0, 18.75},
         .after = {.active = true, .anchor = TZoomAnchor::Start, .steps = 1},
         .visibleShots = 20},
        {.name = "+ scrolling with few shots keeps the centre",
         .scroll = true,
         .xs = Shots(1, 10),
         .axis = TAxisRange{0, 25},
         .button = plus,
         .window = TAxisRange{3.125, 21.875},
         .after = {.active = true, .steps = 1},
         .visibleShots = 20},
        {.name = "- scrolling back to the full window",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{0, 18.75},
         .before = {.active = true, .anchor = TZoomAnchor::Start, .steps = 1},
         .button = minus,
         .window = TAxisRange{0, 25},
         .after = {.active = true, .anchor = TZoomAnchor::Start}},
        {.name = "- scrolling at the end",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{11.25, 30},
         .before = {.active = true, .anchor = TZoomAnchor::End, .steps = 1},
         .button = minus,
         .window = TAxisRange{5, 30},
         .after = {.active = true, .anchor = TZoomAnchor::End}},
        {.name = "- scrolling by one step",
         .scroll = true,
         .xs = Shots(1, 30),
         .axis = TAxisRange{0, 9},
         .before = {.active = true, .anchor = TZoomAnchor::Start, .steps = 3},
         .button = minus,
         .window = TAxisRange{0, 12},
         .after = {.active = true, .anchor = TZoomAnchor::Start, .steps = 2},
         .visibleShots = 13},
        {.name = "+ free with shots a step apart refits",
         .scroll = false,
         .xs = {1, 1.5},
         .axis = TAxisRange{0, 25},
         .button = plus,
         .window = std::nullopt},
        {.name = "+ free with shots a step apart keeps the steps",
         .scroll = false,
         .xs = {1, 1.5},
         .axis = TAxisRange{0, 25},
         .before = {.steps = 3},
         .button = plus,
         .window = TAxisRange{0, 25},
         .after = {.steps = 3}},
        {.name = "+ free from a fitted axis",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = std::nullopt,
         .button = plus,
         .window = TAxisRange{4.625, 26.375},
         .after = {.active = true, .steps = 1}},
        {.name = "+ free narrows a hand-made window",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{10, 20},
         .before = {.active = true, .steps = 1},
         .button = plus,
         .window = TAxisRange{11.25, 18.75},
         .after = {.active = true, .steps = 2}},
        {.name = "+ free moves inside the first shot",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{0, 4},
         .before = {.active = true},
         .button = plus,
         .window = TAxisRange{1, 4},
         .after = {.active = true, .steps = 1}},
        {.name = "- free widens about the centre",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{10, 20},
         .before = {.active = true, .steps = 2},
         .button = minus,
         .window = TAxisRange{25.0 / 3.0, 65.0 / 3.0},
         .after = {.active = true, .steps = 1}},
        {.name = "- free moves inside the last shot",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{22, 30},
         .before = {.active = true, .steps = 1},
         .button = minus,
         .window = TAxisRange{30 - 8 / 0.75, 30},
         .after = {.active = true}},
        {.name = "- free to every shot gives the axis back",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{2, 28},
         .before = {.active = true, .steps = 1},
         .button = minus,
         .window = std::nullopt},
        {.name = "- free without a hand-made window gives the axis back",
         .scroll = false,
         .xs = Shots(1, 30),
         .axis = TAxisRange{10, 20},
         .button = minus,
         .window = std::nullopt},
    };
    TForm1& form = Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.CheckBoxScroll->SetChecked(c.scroll);
        Refill(c.xs);
        SetAxis(c.axis);
        P::FZoomActive(form) = c.before.active;
        P::FZoomAnchor(form) = c.before.anchor;
        P::FZoomSteps(form) = c.before.steps;
        ShownSeries().SetVisibleShots(26);

        (form.*c.button)->Click();

        if (c.window) {
            EXPECT_FALSE(Bottom()->Automatic());
            EXPECT_NEAR(Bottom()->Minimum(), c.window->Min, 1e-9);
            EXPECT_NEAR(Bottom()->Maximum(), c.window->Max, 1e-9);
        } else {
            EXPECT_TRUE(Bottom()->Automatic());
            EXPECT_EQ(Bottom()->Minimum(), c.xs.front());
            EXPECT_EQ(Bottom()->Maximum(), c.xs.back());
        }
        EXPECT_EQ(P::FZoomActive(form), c.after.active);
        EXPECT_EQ(P::FZoomAnchor(form), c.after.anchor);
        EXPECT_EQ(P::FZoomSteps(form), c.after.steps);
        EXPECT_EQ(ShownSeries().VisibleShots(), c.visibleShots);
    }
}

TEST_F(ChartView, WindowButtonsDoNothingOnAnEmptySeries) {
    TForm1& form = Start();
    Bottom()->SetMinMax(3, 9);
    P::FZoomSteps(form) = 2;
    for (TSpeedButton* button :
         {form.SpeedButton1, form.SpeedButton2, form.SpeedButton4, form.SppeButton3}) {
        SCOPED_TRACE(button->Caption().toStdString());
        button->Click();
        EXPECT_EQ(Bottom()->Minimum(), 3);
        EXPECT_EQ(Bottom()->Maximum(), 9);
        EXPECT_FALSE(P::FZoomActive(form));
        EXPECT_EQ(P::FZoomAnchor(form), TZoomAnchor::Centre);
        EXPECT_EQ(P::FZoomSteps(form), 2);
        EXPECT_EQ(ShownSeries().VisibleShots(), 26);
    }
}

TEST_F(ChartView, WindowButtonsRefitTheVelocityAxisByTheMarginBox) {
    struct Case {
        bool automatic, automatic50;
        std::optional<double> margin;
    };
    const Case cases[] = {{true, false, 0.05}, {false, true, 0.5}, {false, false, std::nullopt}};
    TForm1& form = Start();
    AddPoints(Shots(1, 30));
    const double lo = Series().MinYValue(), hi = Series().MaxYValue();
    for (const Case& c : cases) {
        for (TSpeedButton* button :
             {form.SpeedButton1, form.SpeedButton2, form.SpeedButton4, form.SppeButton3}) {
            SCOPED_TRACE(button->Caption().toStdString() + (c.automatic ? " Auto" : "") +
                         (c.automatic50 ? " Auto50" : ""));
            form.CheckBoxAuto->SetChecked(c.automatic);
            form.CheckBoxAuto50->SetChecked(c.automatic50);
            Left()->SetMinMax(0, 1);
            button->Click();
            if (c.margin) {
                EXPECT_NEAR(Left()->Minimum(), lo - *c.margin * (hi - lo), 1e-9);
                EXPECT_NEAR(Left()->Maximum(), hi + *c.margin * (hi - lo), 1e-9);
            } else {
                // Neither box: the buttons leave the velocity axis alone.
                EXPECT_EQ(Left()->Minimum(), 0);
                EXPECT_EQ(Left()->Maximum(), 1);
            }
        }
    }
}

TEST_F(ChartView, ScrollBoxResetsTheWindow) {
    TForm1& form = Start("ChartType=2\n");
    AddPoints(Shots(1, 30));
    for (bool scroll : {false, true, false}) {
        SCOPED_TRACE(scroll);
        Bottom()->SetMinMax(10, 12);
        P::FZoomActive(form) = true;
        P::FZoomAnchor(form) = TZoomAnchor::End;
        P::FZoomSteps(form) = 3;
        P::FAppliedBarWidth(form) = 999;
        form.CheckBoxScroll->SetChecked(scroll);
        EXPECT_FALSE(P::FZoomActive(form));
        EXPECT_EQ(P::FZoomAnchor(form), TZoomAnchor::Centre);
        EXPECT_EQ(P::FZoomSteps(form), 0);
        if (scroll) {
            EXPECT_EQ(Bottom()->Minimum(), 0);
            EXPECT_EQ(Bottom()->Maximum(), 25);
        } else {
            // The bars' fit of the shot axis.
            EXPECT_EQ(Bottom()->Minimum(), 0.5);
            EXPECT_EQ(Bottom()->Maximum(), 30.5);
        }
        EXPECT_NE(P::FAppliedBarWidth(form), 999);
    }
}

TEST_F(ChartView, MarginBoxesExcludeEachOther) {
    TForm1& form = Start();
    AddPoints(Shots(1, 10));
    const double lo = Series().MinYValue(), hi = Series().MaxYValue(), span = hi - lo;

    form.CheckBoxAuto->SetChecked(true);
    EXPECT_FALSE(form.CheckBoxAuto50->Checked());
    EXPECT_NEAR(Left()->Minimum(), lo - 0.05 * span, 1e-9);

    form.CheckBoxAuto50->SetChecked(true);
    EXPECT_FALSE(form.CheckBoxAuto->Checked());
    EXPECT_NEAR(Left()->Minimum(), lo - 0.5 * span, 1e-9);
    EXPECT_NEAR(Left()->Maximum(), hi + 0.5 * span, 1e-9);

    form.CheckBoxAuto->SetChecked(true);
    EXPECT_FALSE(form.CheckBoxAuto50->Checked());
    EXPECT_NEAR(Left()->Maximum(), hi + 0.05 * span, 1e-9);
    EXPECT_FALSE(Left()->Automatic());

    form.CheckBoxAuto->SetChecked(false);
    EXPECT_TRUE(Left()->Automatic());

    // Unticking one box while the other is ticked leaves the axis alone.
    form.CheckBoxAuto50->SetChecked(true);
    Left()->SetMinMax(1, 2);
    form.CheckBoxAuto->OnClick(form.CheckBoxAuto);
    EXPECT_FALSE(Left()->Automatic());
    EXPECT_EQ(Left()->Minimum(), 1);
}

TEST_F(ChartView, NegativeAxisLabelsAreEmptiedUnlessTheDataIsNegative) {
    struct Case {
        const char* name;
        int axis;  // 0 bottom, 1 left, 2 another axis
        const char* text;
        bool derived;
        double y;  // of the one point; NaN: no point
        const char* expected;
    };
    const double none = std::nan("");
    const Case cases[] = {
        {"bottom negative", 0, "-0.5", false, 800, ""},
        {"left negative", 1, "-20", false, 800, ""},
        {"without points", 1, "-20", false, none, ""},
        {"positive stays", 0, "5", false, 800, "5"},
        {"empty stays", 1, "", false, 800, ""},
        {"derived values keep it", 0, "-1", true, 800, "-1"},
        {"negative velocity keeps it", 1, "-3", false, -2, "-3"},
        {"zero velocity does not", 1, "-3", false, 0, ""},
        {"other axes keep it", 2, "-1", false, 800, "-1"},
    };
    TForm1& form = Start();
    ChartAxis other(&form.Chart1->Core(), false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Series().Clear();
        if (!std::isnan(c.y)) form.AddChartPoint(1, c.y, false, 0);
        ShownSeries().Assign({}, true, c.derived);
        TChartAxis* axis = c.axis == 0 ? Bottom() : c.axis == 1 ? Left() : &other;
        QString text = QString::fromLatin1(c.text);
        // Through the chart, as it asks for each label it draws.
        form.Chart1->Core().OnGetAxisLabel(axis, text);
        EXPECT_EQ(text, QString::fromLatin1(c.expected));
    }
}

TEST_F(ChartView, HoverShowsTheShotUnderTheMouse) {
    struct Case {
        const char* name;
        bool metric, mix, powerFactor;
        const char* weight;
        double velocity;
        const char* expected;
    };
    const Case cases[] = {
        {"metric", true, false, false, "10", 800,
         "Shot = 3     Velocity = 800.0 m/s     Energy = 3200.00 J"},
        {"imperial", false, false, false, "150", 2000,
         "Shot = 3     Velocity = 2000.0 ft/s     Energy = 1332.04 ft-lb"},
        {"metric with grains", true, true, false, "150", 800,
         "Shot = 3     Velocity = 800.0 m/s     Energy = 3110.35 J"},
        {"imperial with grams", false, true, false, "10", 2000,
         "Shot = 3     Velocity = 2000.0 ft/s     Energy = 1370.44 ft-lb"},
        {"weight with a comma", true, false, false, "2,5", 800,
         "Shot = 3     Velocity = 800.0 m/s     Energy = 800.00 J"},
    };
    TForm1& form = Start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.CheckBox1->SetChecked(c.metric);
        form.CheckBox2->SetChecked(c.mix);
        form.Edit1->SetText(QString::fromLatin1(c.weight));
        P::FPowerFactorMode(form) = c.powerFactor;
        Series().Clear();
        for (int x = 1; x <= 5; ++x) form.AddChartPoint(x, x == 3 ? c.velocity : 700, false, 0);
        Left()->SetMinMax(600, 2100);
        Bottom()->SetMinMax(0, 6);
        SendMouse(QEvent::MouseMove, PointPixel(2), Qt::NoButton);
        EXPECT_EQ(form.Label20->Caption(), QString::fromLatin1(c.expected));
    }

    // Power factor: the form's own text of the power factor.
    P::FPowerFactorMode(form) = true;
    form.CheckBox1->SetChecked(true);
    SendMouse(QEvent::MouseMove, PointPixel(2), Qt::NoButton);
    EXPECT_EQ(form.Label20->Caption(),
              "Shot = 3     Velocity = 800.0 m/s     PF=" + form.PowerFactorText(800));

    // Away from every point the readout goes.
    SendMouse(QEvent::MouseMove, PointPixel(2) + QPoint(12, 0), Qt::NoButton);
    EXPECT_EQ(form.Label20->Caption(), "");
}

TEST_F(ChartView, ClickingAPointSelectsTheLineOfItsShot) {
    TForm1& form = Start();
    // After a cut the shots are numbered from 101 on; a log line and a typed
    // note stand between the values, and the user deleted the lines of the
    // first five shots that the chart still shows.
    QStringList lines{"LOG: Connected"};
    for (int i = 1; i <= 30; ++i) lines << QStringLiteral("8%1.5").arg(i, 2, 10, QLatin1Char('0'));
    lines << "typed note";
    for (int i = 31; i <= 60; ++i) lines << QStringLiteral("8%1.5").arg(i, 2, 10, QLatin1Char('0'));
    SetListQuietly(lines);
    AddPoints(Shots(101, 165));
    ASSERT_EQ(Series().Count(), 65);
    Bottom()->SetMinMax(95, 170);
    Left()->SetMinMax(700, 900);
    QCoreApplication::processEvents();

    struct Case {
        int point;  // index in the series
        int line;   // expected selected line
    };
    // The last point is the last value line, counting back over the note
    // and the log line.
    const Case cases[] = {{64, 61}, {35, 32}, {34, 30}, {5, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.point);
        Click(PointPixel(c.point), Qt::LeftButton);
        EXPECT_LE(SendMessage(form.Memo1, EM_GETFIRSTVISIBLELINE, 0, 0), c.line);
        EXPECT_EQ(form.Memo1->SelStart(), SendMessage(form.Memo1, EM_LINEINDEX, c.line, 0));
        EXPECT_EQ(form.Memo1->SelLength(), lines[c.line].size());
        EXPECT_EQ(form.Memo1->SelText(), lines[c.line]);
    }
    // The chosen line goes to the top of the view.
    Click(PointPixel(5), Qt::LeftButton);
    EXPECT_EQ(SendMessage(form.Memo1, EM_GETFIRSTVISIBLELINE, 0, 0), 1);

    // A shot whose line is gone, the right button or no point: nothing.
    const int start = form.Memo1->SelStart();
    Click(PointPixel(4), Qt::LeftButton);
    Click(PointPixel(0), Qt::LeftButton);
    Click(PointPixel(40), Qt::RightButton);
    Click(PointPixel(40) + QPoint(0, 15), Qt::LeftButton);
    EXPECT_EQ(form.Memo1->SelStart(), start);
    EXPECT_EQ(form.Memo1->SelText(), lines[1]);
}

TEST_F(ChartView, TenThousandPointsDrawInTheirColoursWhereTheAxesSay) {
    TForm1& form = Start("ChartColor=1\n");
    AddPoints(Shots(1, 10100));
    ASSERT_EQ(Series().Count(), 10100);
    form.CheckBoxAuto->SetChecked(true);

    struct Case {
        const char* name;
        TSpeedButton* button;  // null: the scrolling window at the last shots
        int first, last;
    };
    const Case cases[] = {{"last shots", nullptr, 10075, 10100},
                          {"X0", form.SpeedButton1, 1, 26},
                          {"XN", form.SpeedButton2, 10075, 10100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.button)
            c.button->Click();
        else
            Bottom()->SetMinMax(10075, 10100);
        QImage image(form.Chart1->Width(), form.Chart1->Height(), QImage::Format_RGB32);
        form.Chart1->Draw(image, image.rect());

        const ChartTransform t = form.Chart1->Core().ViewTransform();
        EXPECT_EQ(t.X.Min, c.first);
        EXPECT_EQ(t.X.Max, c.last);
        EXPECT_EQ(t.Y.Min, Left()->Minimum());
        EXPECT_EQ(t.Y.Max, Left()->Maximum());
        // The axes border the plot.
        EXPECT_EQ(Pixel(image, QPoint(t.Plot.left() - 1, t.Plot.center().y())), Qt::black);
        EXPECT_EQ(Pixel(image, QPoint(t.Plot.center().x(), t.Plot.bottom() + 1)), Qt::black);
        for (int x = c.first; x <= c.last; ++x) {
            SCOPED_TRACE(x);
            const QPoint at = PointPixel(x - 1);
            ASSERT_TRUE(t.Plot.contains(at));
            EXPECT_EQ(Pixel(image, at), ToQColor(Cycle[(x - 1) % 8]));
        }
    }
}

TEST_F(ChartView, BarsDrawInTheirColours) {
    TForm1& form = Start("ChartType=2\nChartColor=2\n");
    const std::vector<double> ys = {800, 810, 805, 805, 790};
    const QColor expected[] = {QColor(128, 128, 128), QColor(0, 128, 0), QColor(255, 0, 0),
                               QColor(128, 128, 128), QColor(255, 0, 0)};
    for (size_t i = 0; i < ys.size(); ++i)
        form.AddChartPoint(double(i + 1), ys[i], i > 0, i > 0 ? ys[i - 1] : 0);
    form.UpdateXAxis();
    form.UpdateYAxis(0.5);
    form.ResetBarWidth(false);
    QImage image(form.Chart1->Width(), form.Chart1->Height(), QImage::Format_RGB32);
    form.Chart1->Draw(image, image.rect());
    const ChartTransform t = form.Chart1->Core().ViewTransform();
    for (size_t i = 0; i < ys.size(); ++i) {
        SCOPED_TRACE(i);
        const QPoint top = PointPixel(int(i));
        EXPECT_EQ(Pixel(image, QPoint(top.x(), (top.y() + t.Plot.bottom()) / 2)), expected[i]);
    }
}

TEST_F(ChartView, WatermarkIsDrawnBehindTheSeriesAtFortyPercentOfThePlot) {
    TForm1& form = Start();
    QImage image(form.Chart1->Width(), form.Chart1->Height(), QImage::Format_RGB32);
    form.Chart1->Draw(image, image.rect());
    const QRect plot = form.Chart1->Core().PlotRect(image.rect());

    TChartCanvas* canvas = form.Chart1->Canvas();
    EXPECT_EQ(canvas->Font()->Name(), "Arial");
    EXPECT_TRUE(canvas->Font()->Bold());
    EXPECT_EQ(canvas->Font()->Color(), RGB(227, 227, 227));
    EXPECT_EQ(canvas->Font()->Height(), int(plot.height() / -2.5));
    EXPECT_EQ(canvas->BrushStyle(), bsClear);
    EXPECT_EQ(canvas->TextAlign(), 0);

    // The word's strokes, centred in the plot, 40 % of its height tall at
    // most (the capitals a little less).
    const QColor mark(227, 227, 227);
    QRect strokes;
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x)
            if (image.pixelColor(x, y) == mark) strokes |= QRect(x, y, 1, 1);
    ASSERT_FALSE(strokes.isEmpty());
    EXPECT_NEAR(strokes.center().x(), plot.center().x(), plot.width() * 0.05);
    EXPECT_NEAR(strokes.center().y(), plot.center().y(), plot.height() * 0.1);
    EXPECT_LE(strokes.height(), plot.height() * 0.4 + 1);
    EXPECT_GE(strokes.height(), plot.height() * 0.2);
}
