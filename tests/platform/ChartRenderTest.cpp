// The chart drawn into images: colours in regions, never exact text pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <QImage>
#include <QPainter>

#include "platform/chart/ChartCore.h"
#include "platform/ui/Controls.h"
#include "platform/ui/QtBridge.h"

namespace {

const QSize kView(865, 207);
const QColor kWhite(255, 255, 255);
const TColor kPalette[8] = {clRed, clBlue, clGreen, clPurple, clTeal, clOlive, clNavy, clMaroon};

QImage Render(const ChartCore& core, QSize size = kView) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    core.Paint(painter, image.rect());
    return image;
}

QColor At(const QImage& image, double x, double y) {
    return image.pixelColor(int(std::lround(x)), int(std::lround(y)));
}

QColor Q(TColor color) {
    return ColorToQColor(color);
}

int Dark(const QImage& image, const QRect& region) {
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128) ++count;
    return count;
}

struct LineChart {
    ChartCore Core;
    LineSeries Line;
    explicit LineChart(QSize view = kView) {
        Core.SetViewSize(view);
        Line.SetChart(&Core);
        Line.SetXValuesOrder(loNone);
        Line.SetColorEachPoint(true);
    }
};

}  // namespace

TEST(ChartRender, TenThousandPointsKeepTheirColours) {
    LineChart c;
    c.Core.BottomAxis()->SetMinMax(0, 10101);
    c.Core.LeftAxis()->SetMinMax(0, 400);
    std::vector<int> marked;
    for (int i = 1; i <= 10100; ++i) {
        const bool mark = i % 1000 == 500;
        if (mark) marked.push_back(i);
        c.Line.AddXY(i, mark ? 300 : 100, QString(), mark ? kPalette[marked.size() % 8] : clGray);
    }
    const QImage image = Render(c.Core);
    const ChartTransform t = c.Core.ViewTransform();

    for (size_t k = 0; k < marked.size(); ++k) {
        const double x = t.MapX(marked[k]);
        EXPECT_EQ(At(image, x, t.MapY(300)), Q(kPalette[(k + 1) % 8])) << "shot " << marked[k];
        // The column's stroke covers the whole way down to the other points.
        const QColor allowed[] = {Q(clGray), Q(kPalette[(k + 1) % 8])};
        for (int y = int(t.MapY(300)) + 5; y <= int(t.MapY(100)) - 5; ++y) {
            const QColor pixel = At(image, x, y);
            EXPECT_TRUE(pixel == allowed[0] || pixel == allowed[1])
                << "shot " << marked[k] << " row " << y;
        }
    }
    // Where markers crowd, later ones cover earlier ones; the last stands alone.
    EXPECT_EQ(At(image, t.MapX(10100), t.MapY(100)), Q(clGray));
}

TEST(ChartRender, CrowdedLineDrawsEveryColumnFromLowestToHighest) {
    LineChart c;
    c.Line.SetColorEachPoint(false);  // every point in the series colour, red
    c.Line.Pointer()->SetVisible(false);
    c.Core.LeftAxis()->SetMinMax(0, 400);
    for (int i = 1; i <= 10100; ++i) c.Line.AddXY(i, i % 2 ? 100 : 300);
    const QImage image = Render(c.Core);
    const ChartTransform t = c.Core.ViewTransform();
    for (int x = t.Plot.left(); x <= t.Plot.right(); ++x) {
        EXPECT_EQ(At(image, x, t.MapY(120)), Q(clRed)) << "column " << x;
        EXPECT_EQ(At(image, x, t.MapY(280)), Q(clRed)) << "column " << x;
        EXPECT_NE(At(image, x, t.MapY(350)), Q(clRed)) << "column " << x;
    }
}

TEST(ChartRender, MarkerStylesAndSizes) {
    struct Case {
        TSeriesPointerStyle Style;
        int Size;
        std::vector<QPoint> Coloured;
        std::vector<QPoint> Clear;
    };
    const Case cases[] = {
        {psCircle, 9, {{0, 0}, {2, 1}, {-2, 1}, {1, -2}}, {{4, 4}, {-4, -4}, {6, 0}}},
        {psCircle, 5, {{0, 0}}, {{3, 0}, {0, 3}}},
        {psDiagCross, 9, {{0, 0}, {3, 3}, {-3, 3}, {4, -4}}, {{3, 0}, {0, -3}, {2, -3}}},
        {psDiagCross, 5, {{0, 0}, {2, 2}, {-2, -2}}, {{2, 0}, {0, 2}}},
    };
    for (const Case& k : cases) {
        LineChart c;
        c.Line.Pointer()->SetStyle(k.Style);
        c.Line.Pointer()->SetHorizSize(k.Size);
        c.Line.Pointer()->SetVertSize(k.Size);
        c.Core.BottomAxis()->SetMinMax(0, 10);
        c.Core.LeftAxis()->SetMinMax(0, 10);
        // Off the grid lines, which fall on whole and half values.
        c.Line.AddXY(5.3, 5.3, QString(), clPurple);
        const QImage image = Render(c.Core);
        const ChartTransform t = c.Core.ViewTransform();
        const QPoint centre(int(std::lround(t.MapX(5.3))), int(std::lround(t.MapY(5.3))));
        for (const QPoint& d : k.Coloured)
            EXPECT_EQ(image.pixelColor(centre + d), Q(clPurple))
                << k.Style << "/" << k.Size << " at " << d.x() << "," << d.y();
        for (const QPoint& d : k.Clear)
            EXPECT_EQ(image.pixelColor(centre + d), kWhite)
                << k.Style << "/" << k.Size << " at " << d.x() << "," << d.y();
    }
}

TEST(ChartRender, PointsAndAxesSitWhereTheRangesSay) {
    struct Case {
        QSize Size;
        bool Manual;
    };
    const Case cases[] = {
        {kView, true}, {kView, false}, {{568, 248}, true}, {{568, 248}, false}, {{300, 120}, true}};
    for (const Case& k : cases) {
        LineChart c(k.Size);
        c.Line.LinePen()->SetVisible(false);
        if (k.Manual) {
            c.Core.BottomAxis()->SetMinMax(0, 10);
            c.Core.LeftAxis()->SetMinMax(0, 100);
        }
        c.Line.AddXY(2, 20, QString(), clRed);
        c.Line.AddXY(5, 50, QString(), clBlue);
        c.Line.AddXY(8, 80, QString(), clGreen);
        const QImage image = Render(c.Core, k.Size);
        const QRect plot = c.Core.PlotRect(image.rect());
        ASSERT_EQ(plot, c.Core.PlotRect()) << k.Size.width();
        ASSERT_GT(plot.width(), 100);
        // Where each point must be, by the range alone.
        const double x0 = k.Manual ? 0 : 2, x1 = k.Manual ? 10 : 8;
        const double y0 = k.Manual ? 0 : 20, y1 = k.Manual ? 100 : 80;
        auto px = [&](double x) { return plot.left() + (x - x0) / (x1 - x0) * (plot.width() - 1); };
        auto py = [&](double y) {
            return plot.bottom() - (y - y0) / (y1 - y0) * (plot.height() - 1);
        };
        const std::string name = std::to_string(k.Size.width()) + (k.Manual ? " manual" : " auto");
        EXPECT_EQ(At(image, px(2), py(20)), Q(clRed)) << name;
        EXPECT_EQ(At(image, px(5), py(50)), Q(clBlue)) << name;
        EXPECT_EQ(At(image, px(8), py(80)), Q(clGreen)) << name;
        EXPECT_EQ(At(image, plot.left() - 1, plot.center().y()), QColor(Qt::black)) << name;
        EXPECT_EQ(At(image, plot.center().x(), plot.bottom() + 1), QColor(Qt::black)) << name;
    }
}

TEST(ChartRender, BarsHaveTheCustomWidth) {
    for (const int width : {9, 1, 20}) {
        ChartCore core;
        core.SetViewSize(kView);
        BarSeries bars;
        bars.SetChart(&core);
        bars.SetColorEachPoint(true);
        bars.SetCustomBarWidth(width);
        core.BottomAxis()->SetMinMax(0.5, 5.5);
        core.LeftAxis()->SetMinMax(0, 100);
        for (int i = 1; i <= 5; ++i) bars.AddXY(i, 50 + i, QString(), kPalette[i]);
        const QImage image = Render(core);
        const ChartTransform t = core.ViewTransform();
        const int row = int(std::lround(t.MapY(33)));

        std::vector<std::pair<int, int>> runs;  // start, length
        for (int x = t.Plot.left(); x <= t.Plot.right(); ++x) {
            const QColor pixel = image.pixelColor(x, row);
            bool bar = pixel == QColor(Qt::black);
            for (const TColor color : kPalette) bar = bar || pixel == Q(color);
            if (!bar) continue;
            if (!runs.empty() && runs.back().first + runs.back().second == x) {
                ++runs.back().second;
            } else {
                runs.push_back({x, 1});
            }
        }
        ASSERT_EQ(runs.size(), 5u) << "width " << width;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(runs[size_t(i)].second, width) << "bar " << i << " width " << width;
            EXPECT_NEAR(runs[size_t(i)].first + width / 2.0, t.MapX(i + 1), 1.0);
            EXPECT_EQ(image.pixelColor(runs[size_t(i)].first + width / 2, row), Q(kPalette[i + 1]))
                << "bar " << i << " width " << width;
        }
        // Above the bars the plot is empty.
        EXPECT_NE(At(image, t.MapX(3), t.MapY(60)), Q(kPalette[3]));
    }
}

TEST(ChartRender, AxisLabelEventCanEmptyNegativeLabels) {
    for (const bool emptyNegatives : {true, false}) {
        LineChart c;
        c.Core.BottomAxis()->SetMinMax(0, 10);
        c.Core.LeftAxis()->SetMinMax(-100, 100);
        std::vector<QString> seen;
        c.Core.OnGetAxisLabel = [&](ChartAxis* axis, QString& text) {
            if (axis != c.Core.LeftAxis()) return;
            seen.push_back(text);
            if (emptyNegatives && text.startsWith('-')) text.clear();
        };
        const QImage image = Render(c.Core);
        const ChartTransform t = c.Core.ViewTransform();
        const int zero = int(std::lround(t.MapY(0)));
        const int labelRight = t.Plot.left() - 7;
        const int below =
            Dark(image, QRect(QPoint(0, zero + 9), QPoint(labelRight, t.Plot.bottom())));
        const int above = Dark(image, QRect(QPoint(0, t.Plot.top()), QPoint(labelRight, zero - 9)));
        EXPECT_GT(above, 0);
        if (emptyNegatives) {
            EXPECT_EQ(below, 0);
        } else {
            EXPECT_GT(below, 0);
        }
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                                [](const QString& s) { return s.startsWith('-'); }));
    }
}

TEST(ChartRender, BeforeDrawSeriesPaintsBehindTheSeries) {
    LineChart c;
    c.Core.BottomAxis()->SetMinMax(0, 10);
    c.Core.LeftAxis()->SetMinMax(0, 10);
    c.Line.AddXY(5.5, 5.5, QString(), clRed);
    const QColor watermark(227, 227, 227);
    QRect given;
    c.Core.OnBeforeDrawSeries = [&](QPainter& painter, const QRect& plot) {
        given = plot;
        painter.fillRect(plot, watermark);
    };
    const QImage image = Render(c.Core);
    const ChartTransform t = c.Core.ViewTransform();
    EXPECT_EQ(given, t.Plot);
    EXPECT_EQ(At(image, t.MapX(5.5), t.MapY(5.5)), Q(clRed));
    EXPECT_EQ(At(image, t.MapX(2.5), t.MapY(8.5)), watermark);
}

TEST(ChartRender, DeletedAndInactivePointsAreGone) {
    LineChart c;
    c.Line.LinePen()->SetVisible(false);
    c.Core.BottomAxis()->SetMinMax(0, 11);
    c.Core.LeftAxis()->SetMinMax(0, 11);
    // Off the grid lines, which fall on whole and half values.
    for (int i = 1; i <= 10; ++i) c.Line.AddXY(i + 0.3, i + 0.3, QString(), kPalette[i % 8]);
    const ChartTransform t = c.Core.ViewTransform();
    auto colourOf = [&](const QImage& image, int i) {
        return At(image, t.MapX(i + 0.3), t.MapY(i + 0.3));
    };
    const QImage before = Render(c.Core);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(colourOf(before, i), Q(kPalette[i % 8]));

    c.Line.Delete(0, 3);
    const QImage after = Render(c.Core);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(colourOf(after, i), kWhite) << i;
    for (int i = 4; i <= 10; ++i) EXPECT_EQ(colourOf(after, i), Q(kPalette[i % 8])) << i;

    c.Line.SetActive(false);
    const QImage hidden = Render(c.Core);
    for (int i = 4; i <= 10; ++i) EXPECT_EQ(colourOf(hidden, i), kWhite) << i;
}
