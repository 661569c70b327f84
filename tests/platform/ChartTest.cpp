// The TChart control: a real widget under the offscreen platform, its
// events, its canvas, drawing onto images and the series it owns.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include "platform/chart/Chart.h"
#include "platform/core/Exception.h"
#include "support/RecordingDialogs.h"

namespace {

bool WaitFor(const std::function<bool()>& condition) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 10000) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void Mouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
           QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                      modifiers);
    QApplication::sendEvent(widget, &event);
}

struct Fixture {
    TComponent Owner{nullptr};
    TChart* Chart = new TChart(&Owner);
    TLineSeries* Line = new TLineSeries(&Owner);
    Fixture() {
        Chart->SetBounds(0, 0, 746, 207);
        Line->SetParentChart(Chart);
        Line->SetXValuesOrder(loNone);
        Line->SetColorEachPoint(true);
    }
};

}  // namespace

TEST(TChart, OwnerFreesSeriesAndChartInEitherOrder) {
    {
        TComponent owner(nullptr);
        auto* chart = new TChart(&owner);
        auto* bars = new TBarSeries(&owner);
        bars->SetParentChart(chart);
        EXPECT_EQ(chart->SeriesCount(), 1);
        EXPECT_EQ(chart->Series(0), bars);
        EXPECT_EQ(bars->ParentChart(), chart);
    }
    {
        TComponent owner(nullptr);
        auto* bars = new TBarSeries(&owner);
        auto* chart = new TChart(&owner);
        bars->SetParentChart(chart);
        bars->AddXY(1, 800);
        delete chart;
        EXPECT_EQ(bars->ParentChart(), nullptr);
        EXPECT_EQ(bars->Clicked(10, 10), -1);
        EXPECT_EQ(bars->Count(), 1);
    }
}

TEST(TChart, ChartRectIsThePlotOfTheControl) {
    Fixture f;
    const TRect r = f.Chart->ChartRect();
    EXPECT_GT(r.Left, 0);
    EXPECT_GT(r.Top, 0);
    EXPECT_LT(r.Right, 746);
    EXPECT_LT(r.Bottom, 207);
    EXPECT_GT(r.Width(), 600);
    f.Chart->SetBounds(0, 0, 400, 150);
    EXPECT_LT(f.Chart->ChartRect().Right, 400);
}

TEST(TChart, AutoRepaintDecidesWhetherChangesRepaint) {
    Fixture f;
    int paints = 0;
    f.Chart->OnBeforeDrawSeries = [&](TObject*) { ++paints; };
    f.Chart->Widget()->show();
    ASSERT_TRUE(WaitFor([&] { return paints > 0; }));

    paints = 0;
    f.Line->AddXY(1, 800);
    EXPECT_TRUE(WaitFor([&] { return paints > 0; }));

    f.Chart->SetAutoRepaint(false);
    paints = 0;
    f.Line->AddXY(2, 810);
    f.Chart->LeftAxis()->SetMinMax(700, 900);
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    EXPECT_EQ(paints, 0);
    f.Chart->Invalidate();
    EXPECT_TRUE(WaitFor([&] { return paints > 0; }));
    f.Chart->Widget()->hide();
}

TEST(TChart, MouseEventsReachTheHandlersAndMoveTheAxes) {
    Fixture f;
    for (int i = 1; i <= 20; ++i) f.Line->AddXY(i, 800 + i);
    struct Down {
        TMouseButton Button;
        TShiftState Shift;
        int X, Y;
    };
    std::vector<Down> downs;
    std::vector<QPoint> moves;
    f.Chart->OnMouseDown = [&](TObject* sender, TMouseButton b, TShiftState s, int x, int y) {
        EXPECT_EQ(sender, f.Chart);
        downs.push_back({b, s, x, y});
    };
    f.Chart->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { moves.push_back({x, y}); };
    QWidget* w = f.Chart->Widget();
    const TRect r = f.Chart->ChartRect();
    const QPoint centre((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);

    Mouse(w, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, centre);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0], centre);
    EXPECT_TRUE(f.Chart->BottomAxis()->Automatic());

    // Left drag: the handler sees the press, both axes pan.
    Mouse(w, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, centre, Qt::ShiftModifier);
    Mouse(w, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, centre + QPoint(40, 10));
    Mouse(w, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, centre + QPoint(40, 10));
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].Button, mbLeft);
    EXPECT_TRUE(downs[0].Shift.Shift);
    EXPECT_TRUE(downs[0].Shift.Left);
    EXPECT_EQ(downs[0].X, centre.x());
    EXPECT_EQ(downs[0].Y, centre.y());
    EXPECT_FALSE(f.Chart->BottomAxis()->Automatic());
    EXPECT_FALSE(f.Chart->LeftAxis()->Automatic());
    EXPECT_LT(f.Chart->BottomAxis()->Minimum(), 1.0);

    // Right drag zooms the left axis only; the wheel zooms it further.
    f.Chart->BottomAxis()->SetAutomatic(true);
    f.Chart->LeftAxis()->SetAutomatic(true);
    Mouse(w, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, {centre.x(), r.Top + 10});
    Mouse(w, QEvent::MouseMove, Qt::NoButton, Qt::RightButton, {centre.x(), r.Top + 60});
    Mouse(w, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, {centre.x(), r.Top + 60});
    EXPECT_EQ(downs.back().Button, mbRight);
    EXPECT_TRUE(f.Chart->BottomAxis()->Automatic());
    ASSERT_FALSE(f.Chart->LeftAxis()->Automatic());
    const double span = f.Chart->LeftAxis()->Maximum() - f.Chart->LeftAxis()->Minimum();
    QWheelEvent wheel(QPointF(centre), w->mapToGlobal(QPointF(centre)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
    EXPECT_NEAR(f.Chart->LeftAxis()->Maximum() - f.Chart->LeftAxis()->Minimum(), span * 0.9,
                span * 1e-9);
}

TEST(TChart, HandlerExceptionsReachTheDefaultHandler) {
    RecordingDialogs dialogs;
    Fixture f;
    f.Line->AddXY(1, 1);
    f.Line->AddXY(2, 2);
    const TRect r = f.Chart->ChartRect();
    const QPoint centre((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    f.Chart->OnMouseDown = [](TObject*, TMouseButton, TShiftState, int, int) {
        throw Exception(QStringLiteral("down"));
    };
    f.Chart->OnGetAxisLabel = [](TChartAxis*, TChartSeries*, int, QString&) {
        throw Exception(QStringLiteral("label"));
    };
    // The press lays the chart out for the pan, so the label event throws too.
    Mouse(f.Chart->Widget(), QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, centre);
    Mouse(f.Chart->Widget(), QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, centre);
    EXPECT_TRUE(dialogs.Errors.contains(QStringLiteral("down")));
    EXPECT_TRUE(dialogs.Errors.contains(QStringLiteral("label")));
    dialogs.Errors.clear();

    f.Chart->Widget()->show();
    EXPECT_TRUE(WaitFor([&] { return dialogs.Errors.contains(QStringLiteral("label")); }));
    f.Chart->OnGetAxisLabel = nullptr;
    f.Chart->Widget()->hide();
    // Drawing onto an image leaves the exception to the caller.
    f.Chart->OnBeforeDrawSeries = [](TObject*) { throw Exception(QStringLiteral("draw")); };
    QImage image(300, 120, QImage::Format_RGB32);
    EXPECT_THROW(f.Chart->Draw(image, image.rect()), Exception);
}

TEST(TChart, CanvasDrawsTheWatermarkIntoAnImageOfAnySize) {
    Fixture f;
    f.Chart->BottomAxis()->SetMinMax(0, 10);
    f.Chart->LeftAxis()->SetMinMax(0, 10);
    f.Line->AddXY(1.3, 1.3, QString(), clRed);
    const QColor watermark(227, 227, 227);
    TRect during;
    f.Chart->OnBeforeDrawSeries = [&](TObject*) {
        TChartCanvas* canvas = f.Chart->Canvas();
        during = f.Chart->ChartRect();
        canvas->SetTextAlign(0);
        canvas->Font()->SetName(QStringLiteral("Arial"));
        canvas->Font()->SetBold(true);
        canvas->Font()->SetColor(RGB(227, 227, 227));
        canvas->Font()->SetHeight(int((during.Bottom - during.Top) / -2.5));
        canvas->SetBrushStyle(bsClear);
        canvas->TextRect(during, QStringLiteral("KVRN"),
                         tfCenter | tfVerticalCenter | tfSingleLine | tfNoPrefix);
    };
    for (const QSize size : {QSize(568, 248), QSize(865, 207)}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        f.Chart->Draw(image, image.rect());
        const QRect plot = f.Chart->Core().PlotRect(image.rect());
        EXPECT_EQ(during.Left, plot.left());
        EXPECT_EQ(during.Bottom, plot.top() + plot.height());

        // The word lies in the plot, centred both ways.
        int inside = 0;
        QRect box;
        for (int y = plot.top(); y <= plot.bottom(); ++y)
            for (int x = plot.left(); x <= plot.right(); ++x)
                if (image.pixelColor(x, y) == watermark) {
                    ++inside;
                    box = box.united(QRect(x, y, 1, 1));
                }
        EXPECT_GT(inside, plot.width() * plot.height() / 50) << size.width();
        EXPECT_NEAR(box.center().x(), plot.center().x(), 10) << size.width();
        EXPECT_NEAR(box.center().y(), plot.center().y(), 10) << size.width();
        EXPECT_GT(box.height(), plot.height() / 4) << size.width();
        // The series is drawn over the watermark.
        const ChartTransform t = ChartTransform{plot, {0, 10}, {0, 10}};
        EXPECT_EQ(image.pixelColor(int(std::lround(t.MapX(1.3))), int(std::lround(t.MapY(1.3)))),
                  QColor(255, 0, 0));
    }
    // Outside a drawing the canvas draws nothing and ChartRect is the control's.
    f.Chart->Canvas()->TextRect({0, 0, 10, 10}, QStringLiteral("x"), tfSingleLine);
    EXPECT_EQ(f.Chart->ChartRect().Right - f.Chart->ChartRect().Left,
              f.Chart->Core().PlotRect().width());
}

TEST(TChart, AxisLabelEventNamesTheAxis) {
    Fixture f;
    f.Chart->BottomAxis()->SetMinMax(-1, 5);
    f.Chart->LeftAxis()->SetMinMax(-10, 10);
    int bottom = 0, left = 0;
    f.Chart->OnGetAxisLabel = [&](TChartAxis* axis, TChartSeries* series, int index,
                                  QString& text) {
        EXPECT_EQ(series, nullptr);
        EXPECT_EQ(index, -1);
        ++(axis == f.Chart->BottomAxis() ? bottom : left);
        if (text.startsWith('-')) text.clear();
    };
    QImage image(746, 207, QImage::Format_RGB32);
    f.Chart->Draw(image, image.rect());
    EXPECT_GT(bottom, 0);
    EXPECT_GT(left, 0);
}
