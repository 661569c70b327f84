#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include <QFont>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include "platform/chart/ChartGeometry.h"
#include "platform/chart/ChartSeries.h"
#include "platform/ui/Types.h"

class QPainter;
class ChartCore;

// One axis of the chart: the bottom (X) or the left (Y) one.
//
// An automatic axis spans the values of the chart's active series (for bar
// series also 0, where the bars start); with no points it keeps its last
// range. A manual axis keeps the range last set. Minimum() and Maximum()
// give the range in force either way.
class ChartAxis {
public:
    ChartAxis(ChartCore* chart, bool horizontal) : FChart(chart), FHorizontal(horizontal) {}
    bool Horizontal() const { return FHorizontal; }

    bool Automatic() const { return FAutomatic; }
    // Switching to manual keeps the range the automatic axis had.
    void SetAutomatic(bool automatic);
    double Minimum() const;
    double Maximum() const;
    // Makes the axis manual at min .. max (swapped when min > max).
    void SetMinMax(double min, double max);

    // The smallest step between labels; 0 lets the chart choose freely.
    // Steps are the increment times 1, 2, 5, 10, 20, ... so that labels do
    // not crowd each other.
    double Increment() const { return FIncrement; }
    void SetIncrement(double increment);

    QString Title() const { return FTitle; }
    void SetTitle(const QString& title);
    // Pixels kept for the title across the axis; 0 takes the font's height.
    int TitleSize() const { return FTitleSize; }
    void SetTitleSize(int pixels);
    // Number picture of the labels, as FormatFloat takes it ("0.##": up to
    // two decimals, with the user's decimal separator).
    QString LabelsFormat() const { return FLabelsFormat; }
    void SetLabelsFormat(const QString& picture);

private:
    void Changed();
    ChartCore* FChart;
    bool FHorizontal;
    bool FAutomatic = true;
    double FMinimum = 0;
    double FMaximum = 0;
    double FIncrement = 0;
    QString FTitle;
    int FTitleSize = 0;
    QString FLabelsFormat = QStringLiteral("0.##");
};

// The chart's title line above the plot.
class ChartTitle {
public:
    explicit ChartTitle(ChartCore* chart) : FChart(chart) {}
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    QString Text() const { return FText; }
    void SetText(const QString& text);

private:
    ChartCore* FChart;
    bool FVisible = true;
    QString FText;
};

// The legend: the titles of the active series beside the plot.
class ChartLegend {
public:
    explicit ChartLegend(ChartCore* chart) : FChart(chart) {}
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);

private:
    ChartCore* FChart;
    bool FVisible = true;
};

// The painting core of the chart: axes, series, layout, the geometry cache
// and the mouse's pan and zoom, without a widget. Main thread only.
//
// Paint draws the whole chart into any rectangle of any painter (the chart's
// own widget, an image). ChartRect, Clicked and the mouse work on the chart's
// own view, whose size the widget keeps up to date with SetViewSize.
class ChartCore {
public:
    ChartCore();
    ~ChartCore();
    ChartCore(const ChartCore&) = delete;
    ChartCore& operator=(const ChartCore&) = delete;

    ChartAxis* BottomAxis() const { return FBottomAxis.get(); }
    ChartAxis* LeftAxis() const { return FLeftAxis.get(); }
    ChartTitle* Title() { return &FTitle; }
    ChartLegend* Legend() { return &FLegend; }
    // Kept for the callers that switch it off; the chart is always drawn
    // flat.
    bool View3D() const { return FView3D; }
    void SetView3D(bool on);

    // The series in the order they draw (a series joins with SetChart).
    int SeriesCount() const { return int(FSeries.size()); }
    ChartSeries* Series(int index) const { return FSeries.at(size_t(index)); }

    // The view's size: the one set, or what the source gives when one is
    // set (the widget's current size).
    QSize ViewSize() const { return FViewSizeSource ? FViewSizeSource() : FViewSize; }
    void SetViewSize(const QSize& size);
    void SetViewSizeSource(std::function<QSize()> source);
    // The plot rectangle of the view, or of a drawing into `bounds`.
    QRect PlotRect() const;
    QRect PlotRect(const QRect& bounds) const;
    // The transform of the view's plot.
    ChartTransform ViewTransform() const;

    // Draws the chart into `bounds`: background, grid, axes with labels and
    // titles, OnBeforeDrawSeries, the active series, title and legend.
    void Paint(QPainter& painter, const QRect& bounds) const;

    // Mouse on the view, in view pixels. A left drag that starts in the plot
    // pans both axes; a right drag marks a band and zooms the left axis to
    // it on release (when 4 pixels tall or more, either direction); the
    // wheel zooms the left axis about the value under the mouse, 0.9 of the
    // span per notch forward and 1 / 0.9 back. The axes they move become
    // manual; a click without a drag changes nothing.
    void MousePress(TMouseButton button, const QPoint& pos);
    void MouseMove(const QPoint& pos);
    void MouseRelease(TMouseButton button, const QPoint& pos);
    void MouseWheel(int angleDelta, const QPoint& pos);
    // The band of a zoom drag in progress, in view pixels.
    std::optional<QRect> ZoomBand() const;

    // Painting, after the axes and before the series, with the plot rect.
    std::function<void(QPainter& painter, const QRect& plot)> OnBeforeDrawSeries;
    // Each axis label before it is drawn; an emptied text is not drawn.
    std::function<void(ChartAxis* axis, QString& text)> OnGetAxisLabel;
    // Any change of series, axes or look.
    std::function<void()> OnChange;

    // For series and axes.
    void Changed();
    void AttachSeries(ChartSeries* series);
    void DetachSeries(ChartSeries* series);
    int HitTest(const ChartSeries& series, int x, int y) const;
    // The span of the active series' values along one axis; none when they
    // hold no finite point.
    std::optional<ChartRange> DataRange(bool horizontal) const;

    // Geometry cache of a series under a transform, brought up to date.
    const SeriesGeometry& Geometry(const ChartSeries& series,
                                   const ChartTransform& transform) const;

private:
    // Layout in pixels: outer margin, tick length, gap between parts.
    static constexpr int kMargin = 4;
    static constexpr int kTick = 4;
    static constexpr int kGap = 2;

    struct AxisLabel {
        double Value = 0;
        int Pixel = 0;
        QString Text;
    };
    struct Layout {
        QRect Bounds;
        QRect Plot;
        ChartTransform Transform;
        std::vector<AxisLabel> BottomLabels;
        std::vector<AxisLabel> LeftLabels;
        int LeftLabelWidth = 0;
        int LegendWidth = 0;
    };
    Layout ComputeLayout(const QRect& bounds) const;
    std::vector<AxisLabel> MakeLabels(ChartAxis* axis, const ChartRange& range, int pixels,
                                      int minSpacing) const;
    static ChartRange Usable(ChartRange range);
    void PaintAxes(QPainter& painter, const Layout& layout) const;
    void PaintSeries(QPainter& painter, const Layout& layout, const ChartSeries& series) const;
    void PaintLegend(QPainter& painter, const Layout& layout) const;
    const QImage& Sprite(TSeriesPointerStyle style, int width, int height, TColor color) const;
    int BarWidth(const BarSeries& series, const SeriesGeometry& geometry) const;

    std::unique_ptr<ChartAxis> FBottomAxis;
    std::unique_ptr<ChartAxis> FLeftAxis;
    ChartTitle FTitle{this};
    ChartLegend FLegend{this};
    bool FView3D = false;
    std::vector<ChartSeries*> FSeries;
    QSize FViewSize;
    std::function<QSize()> FViewSizeSource;
    QFont FLabelFont;
    QFont FAxisTitleFont;
    QFont FTitleFont;

    mutable std::unordered_map<const ChartSeries*, SeriesGeometry> FGeometry;
    mutable QHash<quint64, QImage> FSprites;

    enum class Drag { None, Pan, Zoom };
    Drag FDrag = Drag::None;
    bool FDragMoved = false;
    QPoint FDragStart;
    QPoint FDragPos;
    ChartTransform FDragTransform;
};
