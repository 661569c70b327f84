// The chart's core without a widget: points, axes, the geometry cache,
// Clicked and the mouse's pan and zoom.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <QRegularExpression>

#include "platform/chart/ChartCore.h"
#include "platform/chart/ChartLabels.h"
#include "platform/core/Exception.h"
#include "platform/core/FormatFloat.h"

namespace {

const QSize kView(746, 207);

struct Chart {
    ChartCore Core;
    LineSeries Line;
    Chart() {
        Core.SetViewSize(kView);
        Line.SetChart(&Core);
        Line.SetXValuesOrder(loNone);
    }
};

std::vector<double> Xs(const ChartSeries& s) {
    std::vector<double> out;
    for (int i = 0; i < s.Count(); ++i) out.push_back(s.XValue(i));
    return out;
}

}  // namespace

TEST(ChartSeries, AddReadAndDeleteKeepTheRest) {
    LineSeries s;
    s.SetXValuesOrder(loNone);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(s.AddXY(i, i * 10.0, QString(), RGB(i, 0, 0)), i - 1);
    EXPECT_EQ(s.Count(), 10);
    EXPECT_EQ(s.YValue(3), 40.0);
    EXPECT_EQ(s.PointColor(3), RGB(4, 0, 0));

    s.Delete(0);
    s.Delete(0, 3);
    EXPECT_EQ(Xs(s), (std::vector<double>{5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(s.YValue(0), 50.0);
    EXPECT_EQ(s.PointColor(0), RGB(5, 0, 0));
    EXPECT_EQ(s.MinXValue(), 5.0);
    EXPECT_EQ(s.MinYValue(), 50.0);
    EXPECT_EQ(s.MaxYValue(), 100.0);

    s.Delete(2, 4);
    EXPECT_EQ(Xs(s), (std::vector<double>{5, 6}));
    EXPECT_EQ(s.MaxXValue(), 6.0);
}

TEST(ChartSeries, BadIndexRaisesAndChangesNothing) {
    LineSeries s;
    s.AddXY(1, 1);
    s.AddXY(2, 2);
    EXPECT_THROW(s.XValue(2), Exception);
    EXPECT_THROW(s.YValue(-1), Exception);
    EXPECT_THROW(s.Delete(5), Exception);
    EXPECT_THROW(s.Delete(1, 2), Exception);
    EXPECT_EQ(s.Count(), 2);
    s.Delete(0, 0);
    EXPECT_EQ(s.Count(), 2);
}

TEST(ChartSeries, ExtremesFollowEveryChange) {
    LineSeries s;
    EXPECT_EQ(s.MinYValue(), 0.0);
    EXPECT_EQ(s.MaxYValue(), 0.0);
    s.AddXY(1, 5);
    s.AddXY(2, -3);
    s.AddXY(3, 9);
    EXPECT_EQ(s.MinYValue(), -3.0);
    EXPECT_EQ(s.MaxYValue(), 9.0);
    s.AddXY(4, std::nan(""));
    EXPECT_EQ(s.MaxYValue(), 9.0);
    s.Delete(1);
    EXPECT_EQ(s.MinYValue(), 5.0);
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.MaxYValue(), 0.0);
    s.AddXY(7, 2);
    EXPECT_EQ(s.MinXValue(), 7.0);
    EXPECT_EQ(s.MaxYValue(), 2.0);
}

TEST(ChartSeries, OrderNoneKeepsArrivalAscendingSorts) {
    struct Case {
        TChartListOrder Order;
        std::vector<double> Expected;
    };
    for (const Case& c : {Case{loNone, {3, 1, 2, 2}}, Case{loAscending, {1, 2, 2, 3}}}) {
        LineSeries s;
        s.SetXValuesOrder(c.Order);
        s.AddXY(3, 30);
        s.AddXY(1, 10);
        s.AddXY(2, 20);
        s.AddXY(2, 21);
        EXPECT_EQ(Xs(s), c.Expected);
        if (c.Order == loAscending) {
            EXPECT_EQ(s.YValue(2), 21.0);  // equal X: arrival order
        }
        EXPECT_EQ(s.XAscending(), c.Order == loAscending);
    }
}

TEST(ChartSeries, ColourEachPointOrSeriesColour) {
    LineSeries s;
    s.AddXY(1, 1, QString(), clTeal);
    s.AddXY(2, 2);
    EXPECT_EQ(s.DrawColor(0), clRed);
    s.SetColorEachPoint(true);
    EXPECT_EQ(s.DrawColor(0), clTeal);
    EXPECT_EQ(s.DrawColor(1), clRed);  // no colour of its own
}

TEST(ChartSeries, ChangesReachTheChart) {
    // Declared first: the chart's own teardown still reports changes.
    int changes = 0;
    Chart c;
    c.Core.OnChange = [&] { ++changes; };
    c.Line.AddXY(1, 1);
    EXPECT_EQ(changes, 1);
    c.Core.LeftAxis()->SetMinMax(0, 10);
    EXPECT_EQ(changes, 2);
    c.Core.LeftAxis()->SetMinMax(0, 10);
    EXPECT_EQ(changes, 2);
    c.Line.Delete(0);
    c.Line.Pointer()->SetStyle(psDiagCross);
    EXPECT_EQ(changes, 4);
}

TEST(ChartSeries, SeriesAndChartMayGoInEitherOrder) {
    auto core = std::make_unique<ChartCore>();
    auto first = std::make_unique<LineSeries>();
    BarSeries second;
    first->SetChart(core.get());
    second.SetChart(core.get());
    EXPECT_EQ(core->SeriesCount(), 2);
    first.reset();
    EXPECT_EQ(core->SeriesCount(), 1);
    EXPECT_EQ(core->Series(0), &second);
    core.reset();
    EXPECT_EQ(second.Chart(), nullptr);
    EXPECT_EQ(second.Clicked(10, 10), -1);
}

TEST(ChartAxis, AutomaticFollowsTheDataManualKeepsItsRange) {
    Chart c;
    ChartAxis* x = c.Core.BottomAxis();
    ChartAxis* y = c.Core.LeftAxis();
    c.Line.AddXY(1, 800);
    c.Line.AddXY(5, 850);
    EXPECT_TRUE(x->Automatic());
    EXPECT_EQ(x->Minimum(), 1.0);
    EXPECT_EQ(x->Maximum(), 5.0);
    EXPECT_EQ(y->Minimum(), 800.0);

    // Switching to manual keeps the range in force; later points do not move it.
    x->SetAutomatic(false);
    c.Line.AddXY(9, 900);
    EXPECT_EQ(x->Minimum(), 1.0);
    EXPECT_EQ(x->Maximum(), 5.0);

    y->SetMinMax(20, 10);
    EXPECT_FALSE(y->Automatic());
    EXPECT_EQ(y->Minimum(), 10.0);
    EXPECT_EQ(y->Maximum(), 20.0);

    x->SetAutomatic(true);
    EXPECT_EQ(x->Maximum(), 9.0);

    // Inactive series do not count; with no points the axis keeps the range
    // it last held as a manual axis.
    c.Line.SetActive(false);
    EXPECT_EQ(x->Minimum(), 1.0);
    EXPECT_EQ(x->Maximum(), 5.0);
}

TEST(ChartAxis, AutomaticAxisShowsBarsFromZero) {
    ChartCore core;
    BarSeries bars;
    bars.SetChart(&core);
    bars.AddXY(1, 800);
    bars.AddXY(2, 850);
    EXPECT_EQ(core.LeftAxis()->Minimum(), 0.0);
    EXPECT_EQ(core.LeftAxis()->Maximum(), 850.0);
    EXPECT_EQ(bars.MinYValue(), 800.0);
}

TEST(ChartLabels, StepKeepsLabelsApartInMultiplesOfTheIncrement) {
    struct Case {
        double Span;
        int Pixels;
        int Spacing;
        double Increment;
        double Expected;
    };
    const Case cases[] = {
        {25, 700, 20, 1, 1},                             // room for every shot
        {25, 200, 20, 1, 5},                             // 2.5 per label -> 5
        {10100, 700, 40, 1, 1000},                       // 577 -> 1000
        {100, 150, 15, 0, 10},                           // free choice
        {0.1, 150, 15, 0, 0.01},   {40, 150, 15, 0, 5},  // 4 -> 5
        {0, 150, 15, 1, 0},                              // no span
        {10, 1, 15, 1, 0},                               // no room
    };
    for (const Case& c : cases)
        EXPECT_NEAR(LabelStep(c.Span, c.Pixels, c.Spacing, c.Increment), c.Expected, 1e-12)
            << c.Span << " over " << c.Pixels;
}

TEST(ChartLabels, LabelsOfTheAxisPassThroughTheEvent) {
    for (const QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
        SetDecimalSeparatorForTesting(separator);
        Chart c;
        c.Core.BottomAxis()->SetMinMax(0, 25);
        c.Core.BottomAxis()->SetIncrement(1);
        c.Core.LeftAxis()->SetMinMax(-1, 1);
        std::vector<QString> bottom, left;
        c.Core.OnGetAxisLabel = [&](ChartAxis* axis, QString& text) {
            (axis == c.Core.BottomAxis() ? bottom : left).push_back(text);
        };
        c.Core.PlotRect();
        ASSERT_FALSE(bottom.empty());
        EXPECT_EQ(bottom.front(), "0");
        EXPECT_EQ(bottom.back(), "25");
        for (const QString& t : bottom) EXPECT_TRUE(t.toInt() > 0 || t == "0") << t.toStdString();
        ASSERT_FALSE(left.empty());
        EXPECT_EQ(left.front(), "-1");
        EXPECT_EQ(left.back(), "1");
        EXPECT_TRUE(std::find(left.begin(), left.end(), "0") != left.end());
        // "0.##": at most two decimals, no trailing zeros, the user's separator.
        const QRegularExpression picture(
            QStringLiteral("^-?[1-9]?[0-9](\\%1[0-9]?[1-9])?$").arg(separator));
        for (const QString& t : left) EXPECT_TRUE(picture.match(t).hasMatch()) << t.toStdString();
        EXPECT_TRUE(std::any_of(left.begin(), left.end(),
                                [&](const QString& t) { return t.contains(separator); }));
    }
    SetDecimalSeparatorForTesting(QChar());
}

TEST(ChartGeometry, AppendExtendsAndMatchesARebuild) {
    struct Case {
        const char* Name;
        std::vector<double> Start;  // X of the points held first
        std::vector<double> Added;  // X of the points appended
        ChartRange Window;
    };
    const Case cases[] = {
        {"ascending within the window", {1, 2, 3, 4}, {5, 6, 7}, {0, 20}},
        {"ascending past the window", {1, 2, 3, 4, 5, 6}, {7, 8, 9}, {2, 5}},
        {"ascending into and past the window", {1, 2}, {3, 4, 5, 6, 7}, {2, 5}},
        {"unordered", {5, 1, 9, 3}, {2, 8, 4}, {2, 6}},
    };
    for (const Case& c : cases) {
        ChartCore core;
        LineSeries s;
        s.SetXValuesOrder(loNone);
        s.SetChart(&core);
        s.SetColorEachPoint(true);
        int i = 0;
        auto add = [&](double x) {
            s.AddXY(x, (i % 3) * 10.0, QString(), RGB(i % 2, 0, 0));
            ++i;
        };
        for (double x : c.Start) add(x);
        const ChartTransform t{QRect(10, 10, 400, 150), c.Window, {-5, 25}};

        SeriesGeometry cached;
        EXPECT_EQ(UpdateGeometry(cached, s, t, true, true), GeometryUpdate::Rebuilt) << c.Name;
        EXPECT_EQ(UpdateGeometry(cached, s, t, true, true), GeometryUpdate::Unchanged) << c.Name;
        for (double x : c.Added) add(x);
        EXPECT_EQ(UpdateGeometry(cached, s, t, true, true), GeometryUpdate::Extended) << c.Name;

        SeriesGeometry fresh;
        UpdateGeometry(fresh, s, t, true, true);
        EXPECT_EQ(cached.First, fresh.First) << c.Name;
        EXPECT_EQ(cached.End, fresh.End) << c.Name;
        EXPECT_EQ(cached.Points, fresh.Points) << c.Name;
        ASSERT_EQ(cached.Runs.size(), fresh.Runs.size()) << c.Name;
        for (size_t r = 0; r < fresh.Runs.size(); ++r) {
            EXPECT_EQ(cached.Runs[r].FirstIndex, fresh.Runs[r].FirstIndex) << c.Name;
            EXPECT_EQ(cached.Runs[r].LastIndex, fresh.Runs[r].LastIndex) << c.Name;
            EXPECT_EQ(cached.Runs[r].JoinsPrevious, fresh.Runs[r].JoinsPrevious) << c.Name;
        }
        ASSERT_EQ(cached.Markers.size(), fresh.Markers.size()) << c.Name;
        for (size_t m = 0; m < fresh.Markers.size(); ++m)
            EXPECT_EQ(cached.Markers[m].Index, fresh.Markers[m].Index) << c.Name;
    }
}

TEST(ChartGeometry, RebuildsOnAnyOtherChange) {
    ChartCore core;
    LineSeries s;
    s.SetChart(&core);
    for (int i = 0; i < 10; ++i) s.AddXY(i, i);
    const ChartTransform t{QRect(0, 0, 300, 100), {0, 10}, {0, 10}};
    SeriesGeometry g;
    UpdateGeometry(g, s, t, true, true);

    ChartTransform moved = t;
    moved.X = {1, 11};
    EXPECT_EQ(UpdateGeometry(g, s, moved, true, true), GeometryUpdate::Rebuilt);
    s.Delete(0);
    EXPECT_EQ(UpdateGeometry(g, s, moved, true, true), GeometryUpdate::Rebuilt);
    EXPECT_EQ(g.Points.size(), 9u);
    s.SetXValuesOrder(loNone);
    s.AddXY(-5, 0);  // breaks the ascending order: the window search no longer holds
    EXPECT_EQ(UpdateGeometry(g, s, moved, true, true), GeometryUpdate::Rebuilt);
    EXPECT_EQ(g.First, 0);
    EXPECT_EQ(g.End, 10);
    EXPECT_EQ(UpdateGeometry(g, s, moved, true, false), GeometryUpdate::Rebuilt);
    EXPECT_TRUE(g.Markers.empty());
}

TEST(ChartGeometry, AscendingSeriesMapsOnlyTheWindow) {
    ChartCore core;
    LineSeries s;
    s.SetChart(&core);
    for (int i = 1; i <= 10100; ++i) s.AddXY(i, i % 7);
    const ChartTransform t{QRect(0, 0, 700, 150), {10075, 10100}, {0, 7}};
    SeriesGeometry g;
    UpdateGeometry(g, s, t, true, true);
    // Points 10075 .. 10100 and the neighbour before them.
    EXPECT_EQ(g.First, 10073);
    EXPECT_EQ(g.End, 10100);
    EXPECT_EQ(g.Runs.size(), 27u);
    EXPECT_EQ(g.Markers.size(), 26u);
}

TEST(ChartGeometry, ManyPointsPerColumnBecomeOneStrokePerColumn) {
    ChartCore core;
    LineSeries s;
    s.SetChart(&core);
    for (int i = 1; i <= 10100; ++i) s.AddXY(i, i % 2 ? 100 : 300);
    const ChartTransform t{QRect(0, 0, 700, 150), {1, 10100}, {0, 400}};
    SeriesGeometry g;
    UpdateGeometry(g, s, t, true, false);
    EXPECT_EQ(g.Runs.size(), 700u);
    for (const LineRun& run : g.Runs) {
        EXPECT_NEAR(run.MinY, t.MapY(300), 1e-9);
        EXPECT_NEAR(run.MaxY, t.MapY(100), 1e-9);
    }
}

TEST(ChartGeometry, ClipSegmentKeepsTheInsidePart) {
    const QRectF r(0, 0, 100, 100);
    QPointF a(-50, 50), b(150, 50);
    ASSERT_TRUE(ClipSegment(a, b, r));
    EXPECT_EQ(a, QPointF(0, 50));
    EXPECT_EQ(b, QPointF(100, 50));
    QPointF c(-1e12, -1e12), d(1e12, 1e12);
    ASSERT_TRUE(ClipSegment(c, d, r));
    EXPECT_NEAR(c.x(), 0, 1e-3);
    EXPECT_NEAR(d.y(), 100, 1e-3);
    QPointF e(-10, -10), f(-5, 200);
    EXPECT_FALSE(ClipSegment(e, f, r));
}

TEST(ChartClicked, FindsThePointUnderTheMouse) {
    Chart c;
    c.Line.Pointer()->SetHorizSize(5);
    c.Line.Pointer()->SetVertSize(5);
    c.Core.BottomAxis()->SetMinMax(0, 10);
    c.Core.LeftAxis()->SetMinMax(0, 100);
    for (int i = 1; i <= 9; ++i) c.Line.AddXY(i, i * 10.0);
    const ChartTransform t = c.Core.ViewTransform();
    auto at = [&](int index, int dx, int dy) {
        return c.Line.Clicked(int(std::lround(t.MapX(index + 1.0))) + dx,
                              int(std::lround(t.MapY((index + 1) * 10.0))) + dy);
    };
    EXPECT_EQ(at(2, 0, 0), 2);
    EXPECT_EQ(at(4, 3, -3), 4);  // within half the pointer (2) or 3, plus 1
    EXPECT_EQ(at(4, 5, 0), -1);
    EXPECT_EQ(at(4, 0, 6), -1);
    EXPECT_EQ(c.Line.Clicked(2, 2), -1);

    // Deleting the first points: the rest keep their places under the mouse.
    c.Line.Delete(0, 2);
    EXPECT_EQ(at(2, 0, 0), 0);
    EXPECT_EQ(at(8, 0, 0), 6);

    c.Line.SetActive(false);
    EXPECT_EQ(at(8, 0, 0), -1);
}

TEST(ChartClicked, NearestPointWinsAndUnorderedPointsAreFound) {
    Chart c;
    c.Core.BottomAxis()->SetMinMax(0, 1000);
    c.Core.LeftAxis()->SetMinMax(0, 100);
    c.Line.AddXY(500, 50);
    c.Line.AddXY(100, 10);
    c.Line.AddXY(500, 50);
    const ChartTransform t = c.Core.ViewTransform();
    EXPECT_EQ(c.Line.Clicked(int(std::lround(t.MapX(100))), int(std::lround(t.MapY(10)))), 1);
    // Two points in one place: the one drawn last wins.
    EXPECT_EQ(c.Line.Clicked(int(std::lround(t.MapX(500))), int(std::lround(t.MapY(50)))), 2);
}

TEST(ChartClicked, BarIsFoundOverItsWholeWidthAndHeight) {
    ChartCore core;
    core.SetViewSize(kView);
    BarSeries bars;
    bars.SetChart(&core);
    bars.SetCustomBarWidth(12);
    core.BottomAxis()->SetMinMax(0.5, 5.5);
    core.LeftAxis()->SetMinMax(0, 100);
    for (int i = 1; i <= 5; ++i) bars.AddXY(i, 50);
    const ChartTransform t = core.ViewTransform();
    const int x3 = int(std::lround(t.MapX(3)));
    EXPECT_EQ(bars.Clicked(x3, int(t.MapY(25))), 2);
    EXPECT_EQ(bars.Clicked(x3 - 6, int(t.MapY(45))), 2);
    EXPECT_EQ(bars.Clicked(x3 + 5, int(t.MapY(1))), 2);
    EXPECT_EQ(bars.Clicked(x3 + 9, int(t.MapY(25))), -1);
    EXPECT_EQ(bars.Clicked(x3, int(t.MapY(80))), -1);
}

TEST(ChartMouse, LeftDragPansBothAxesAndMakesThemManual) {
    Chart c;
    for (int i = 1; i <= 21; ++i) c.Line.AddXY(i, i * 10.0);
    const ChartTransform t = c.Core.ViewTransform();
    const QPoint start = t.Plot.center();

    // A click without a drag leaves the axes alone.
    c.Core.MousePress(mbLeft, start);
    c.Core.MouseMove(start + QPoint(1, 1));
    c.Core.MouseRelease(mbLeft, start + QPoint(1, 1));
    EXPECT_TRUE(c.Core.BottomAxis()->Automatic());
    EXPECT_TRUE(c.Core.LeftAxis()->Automatic());

    c.Core.MousePress(mbLeft, start);
    c.Core.MouseMove(start + QPoint(50, -20));
    c.Core.MouseRelease(mbLeft, start + QPoint(50, -20));
    ASSERT_FALSE(c.Core.BottomAxis()->Automatic());
    ASSERT_FALSE(c.Core.LeftAxis()->Automatic());
    const double dx = 50 * 20.0 / (t.Plot.width() - 1);
    const double dy = 20 * 200.0 / (t.Plot.height() - 1);
    EXPECT_NEAR(c.Core.BottomAxis()->Minimum(), 1 - dx, 1e-9);
    EXPECT_NEAR(c.Core.BottomAxis()->Maximum(), 21 - dx, 1e-9);
    EXPECT_NEAR(c.Core.LeftAxis()->Minimum(), 10 - dy, 1e-9);
    EXPECT_NEAR(c.Core.LeftAxis()->Maximum(), 210 - dy, 1e-9);
}

TEST(ChartMouse, RightDragZoomsTheLeftAxisOnly) {
    struct Case {
        int FromY, ToY;
        bool Zooms;
    };
    for (const Case& k : {Case{40, 100, true}, Case{100, 40, true}, Case{60, 62, false}}) {
        Chart c;
        c.Line.AddXY(1, 0);
        c.Line.AddXY(2, 200);
        const ChartTransform t = c.Core.ViewTransform();
        const int x = t.Plot.center().x();
        c.Core.MousePress(mbRight, {x, t.Plot.top() + k.FromY});
        c.Core.MouseMove({x + 30, t.Plot.top() + k.ToY});
        ASSERT_TRUE(c.Core.ZoomBand().has_value());
        c.Core.MouseRelease(mbRight, {x + 30, t.Plot.top() + k.ToY});
        EXPECT_FALSE(c.Core.ZoomBand().has_value());
        EXPECT_TRUE(c.Core.BottomAxis()->Automatic());
        EXPECT_EQ(c.Core.LeftAxis()->Automatic(), !k.Zooms);
        if (!k.Zooms) continue;
        const int top = t.Plot.top() + std::min(k.FromY, k.ToY);
        const int bottom = t.Plot.top() + std::max(k.FromY, k.ToY);
        EXPECT_NEAR(c.Core.LeftAxis()->Maximum(), t.ValueY(top), 1e-9);
        EXPECT_NEAR(c.Core.LeftAxis()->Minimum(), t.ValueY(bottom), 1e-9);
    }
}

TEST(ChartMouse, WheelZoomsAboutTheValueUnderTheMouse) {
    Chart c;
    c.Core.LeftAxis()->SetMinMax(0, 100);
    c.Line.AddXY(1, 50);
    const ChartTransform t = c.Core.ViewTransform();
    const QPoint at(t.Plot.center().x(), int(std::lround(t.MapY(25))));
    const double anchor = t.ValueY(at.y());
    c.Core.MouseWheel(120, at);
    EXPECT_NEAR(c.Core.LeftAxis()->Maximum() - c.Core.LeftAxis()->Minimum(), 90, 1e-9);
    EXPECT_NEAR(c.Core.LeftAxis()->Minimum(), anchor - anchor * 0.9, 1e-9);
    c.Core.MouseWheel(-120, at);
    EXPECT_NEAR(c.Core.LeftAxis()->Maximum() - c.Core.LeftAxis()->Minimum(), 100, 1e-9);
    EXPECT_TRUE(c.Core.BottomAxis()->Automatic());
}

TEST(ChartMouse, PressOutsideThePlotDoesNothing) {
    Chart c;
    c.Line.AddXY(1, 1);
    c.Line.AddXY(2, 2);
    c.Core.MousePress(mbLeft, {1, 1});
    c.Core.MouseMove({80, 60});
    c.Core.MouseRelease(mbLeft, {80, 60});
    EXPECT_TRUE(c.Core.BottomAxis()->Automatic());
    EXPECT_TRUE(c.Core.LeftAxis()->Automatic());
}
