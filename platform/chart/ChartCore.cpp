#include "platform/chart/ChartCore.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>

#include "platform/chart/ChartLabels.h"
#include "platform/core/FormatFloat.h"

namespace {

// A left drag pans once the mouse has moved this far (Manhattan), so that a
// click with a shaky hand does not move the axes.
constexpr int kPanThreshold = 3;
// A right drag shorter than this is no zoom.
constexpr int kZoomMinimum = 4;
constexpr double kWheelZoom = 0.9;

}  // namespace

// ---- ChartAxis

void ChartAxis::SetAutomatic(bool automatic) {
    if (FAutomatic == automatic) return;
    if (!automatic) {
        if (const auto range = FChart->DataRange(FHorizontal)) {
            FMinimum = range->Min;
            FMaximum = range->Max;
        }
    }
    FAutomatic = automatic;
    Changed();
}

double ChartAxis::Minimum() const {
    if (FAutomatic) {
        if (const auto range = FChart->DataRange(FHorizontal)) return range->Min;
    }
    return FMinimum;
}

double ChartAxis::Maximum() const {
    if (FAutomatic) {
        if (const auto range = FChart->DataRange(FHorizontal)) return range->Max;
    }
    return FMaximum;
}

void ChartAxis::SetMinMax(double min, double max) {
    if (min > max) std::swap(min, max);
    if (!FAutomatic && FMinimum == min && FMaximum == max) return;
    FMinimum = min;
    FMaximum = max;
    FAutomatic = false;
    Changed();
}

void ChartAxis::SetIncrement(double increment) {
    increment = increment > 0 && std::isfinite(increment) ? increment : 0;
    if (FIncrement == increment) return;
    FIncrement = increment;
    Changed();
}

void ChartAxis::SetTitle(const QString& title) {
    if (FTitle == title) return;
    FTitle = title;
    Changed();
}

void ChartAxis::SetTitleSize(int pixels) {
    pixels = std::max(pixels, 0);
    if (FTitleSize == pixels) return;
    FTitleSize = pixels;
    Changed();
}

void ChartAxis::SetLabelsFormat(const QString& picture) {
    if (FLabelsFormat == picture) return;
    FLabelsFormat = picture;
    Changed();
}

void ChartAxis::Changed() {
    FChart->Changed();
}

// ---- title and legend

void ChartTitle::SetVisible(bool visible) {
    if (FVisible == visible) return;
    FVisible = visible;
    FChart->Changed();
}

void ChartTitle::SetText(const QString& text) {
    if (FText == text) return;
    FText = text;
    FChart->Changed();
}

void ChartLegend::SetVisible(bool visible) {
    if (FVisible == visible) return;
    FVisible = visible;
    FChart->Changed();
}

// ---- ChartCore

ChartCore::ChartCore()
    : FBottomAxis(std::make_unique<ChartAxis>(this, true)),
      FLeftAxis(std::make_unique<ChartAxis>(this, false)) {
    // Pixel sizes, so that a drawing into an image of any resolution lays
    // out as the view does.
    FLabelFont.setPixelSize(11);
    FAxisTitleFont.setPixelSize(12);
    FTitleFont.setPixelSize(13);
    FTitleFont.setBold(true);
}

ChartCore::~ChartCore() {
    // Nobody is told about the series leaving a chart that is going away.
    OnChange = nullptr;
    for (ChartSeries* series : std::vector<ChartSeries*>(FSeries)) series->SetChart(nullptr);
}

void ChartCore::SetView3D(bool on) {
    if (FView3D == on) return;
    FView3D = on;
    Changed();
}

void ChartCore::SetViewSize(const QSize& size) {
    FViewSize = size;
}

void ChartCore::SetViewSizeSource(std::function<QSize()> source) {
    FViewSizeSource = std::move(source);
}

void ChartCore::Changed() {
    if (OnChange) OnChange();
}

void ChartCore::AttachSeries(ChartSeries* series) {
    if (std::find(FSeries.begin(), FSeries.end(), series) != FSeries.end()) return;
    FSeries.push_back(series);
    Changed();
}

void ChartCore::DetachSeries(ChartSeries* series) {
    const auto it = std::find(FSeries.begin(), FSeries.end(), series);
    if (it == FSeries.end()) return;
    FSeries.erase(it);
    FGeometry.erase(series);
    // The series may be half destroyed: only its address is used here.
    Changed();
}

std::optional<ChartRange> ChartCore::DataRange(bool horizontal) const {
    std::optional<ChartRange> range;
    auto include = [&range](double lo, double hi) {
        if (!range) {
            range = ChartRange{lo, hi};
        } else {
            range->Min = std::min(range->Min, lo);
            range->Max = std::max(range->Max, hi);
        }
    };
    for (const ChartSeries* series : FSeries) {
        if (!series->Active() || series->Count() == 0) continue;
        if (horizontal) {
            include(series->MinXValue(), series->MaxXValue());
        } else {
            include(series->MinYValue(), series->MaxYValue());
            // Bars start at 0; an automatic axis shows them whole.
            if (series->Kind() == SeriesKind::Bar) include(0, 0);
        }
    }
    return range;
}

ChartRange ChartCore::Usable(ChartRange range) {
    if (!std::isfinite(range.Min) || !std::isfinite(range.Max)) return {0, 1};
    const double span = range.Max - range.Min;
    if (span > 0 && std::isfinite(span)) return range;
    return {range.Min - 1, range.Max + 1};
}

std::vector<ChartCore::AxisLabel> ChartCore::MakeLabels(ChartAxis* axis, const ChartRange& range,
                                                        int pixels, int minSpacing) const {
    std::vector<AxisLabel> labels;
    if (pixels < 2) return labels;
    const double step = LabelStep(range.Max - range.Min, pixels, minSpacing, axis->Increment());
    if (!(step > 0)) return labels;
    const double first = std::ceil(range.Min / step - 1e-9);
    const double last = std::floor(range.Max / step + 1e-9);
    if (!(last - first < 1000)) return labels;
    for (double k = first; k <= last; ++k) {
        double value = k * step;
        if (std::abs(value) < step * 1e-9) value = 0;
        AxisLabel label;
        label.Value = value;
        label.Text = FormatFloat(axis->LabelsFormat(), value);
        if (OnGetAxisLabel) OnGetAxisLabel(axis, label.Text);
        labels.push_back(std::move(label));
    }
    return labels;
}

ChartCore::Layout ChartCore::ComputeLayout(const QRect& bounds) const {
    Layout layout;
    layout.Bounds = bounds;
    const QFontMetrics labelMetrics(FLabelFont);
    const QFontMetrics axisTitleMetrics(FAxisTitleFont);
    const QFontMetrics titleMetrics(FTitleFont);
    const ChartRange x = Usable({FBottomAxis->Minimum(), FBottomAxis->Maximum()});
    const ChartRange y = Usable({FLeftAxis->Minimum(), FLeftAxis->Maximum()});
    auto titleSpace = [&](const ChartAxis& axis) {
        if (axis.Title().isEmpty()) return 0;
        return (axis.TitleSize() > 0 ? axis.TitleSize() : axisTitleMetrics.height()) + kGap;
    };

    int top = bounds.top() + kMargin;
    if (FTitle.Visible() && !FTitle.Text().isEmpty()) top += titleMetrics.height() + kGap;
    // Room for the upper half of the top label.
    top += labelMetrics.height() / 2;
    // Below the plot: axis line, ticks, labels, title.
    const int bottom = bounds.bottom() - kMargin - titleSpace(*FBottomAxis) -
                       labelMetrics.height() - kGap - kTick - 1;

    layout.LeftLabels = MakeLabels(FLeftAxis.get(), y, bottom - top + 1, labelMetrics.height() + 2);
    for (const AxisLabel& label : layout.LeftLabels)
        layout.LeftLabelWidth =
            std::max(layout.LeftLabelWidth, labelMetrics.horizontalAdvance(label.Text));

    if (FLegend.Visible()) {
        int widest = 0;
        for (const ChartSeries* series : FSeries)
            if (series->Active())
                widest = std::max(widest, labelMetrics.horizontalAdvance(series->Title()));
        if (widest > 0) layout.LegendWidth = widest + 12 + 3 * kMargin + kGap;
    }

    const int left =
        bounds.left() + kMargin + titleSpace(*FLeftAxis) + layout.LeftLabelWidth + kGap + kTick + 1;
    const QString lastLabel = FormatFloat(FBottomAxis->LabelsFormat(), x.Max);
    const QString firstLabel = FormatFloat(FBottomAxis->LabelsFormat(), x.Min);
    const int widestBottom = std::max(labelMetrics.horizontalAdvance(lastLabel),
                                      labelMetrics.horizontalAdvance(firstLabel));
    const int right =
        bounds.right() - layout.LegendWidth - std::max(kMargin * 2, widestBottom / 2 + kMargin);

    layout.Plot = QRect(QPoint(left, top), QPoint(right, bottom));
    layout.Transform = {layout.Plot, x, y};
    for (AxisLabel& label : layout.LeftLabels)
        label.Pixel = int(std::lround(layout.Transform.MapY(label.Value)));
    layout.BottomLabels = MakeLabels(FBottomAxis.get(), x, layout.Plot.width(), widestBottom + 8);
    for (AxisLabel& label : layout.BottomLabels)
        label.Pixel = int(std::lround(layout.Transform.MapX(label.Value)));
    return layout;
}

QRect ChartCore::PlotRect() const {
    return PlotRect(QRect(QPoint(0, 0), ViewSize()));
}

QRect ChartCore::PlotRect(const QRect& bounds) const {
    return ComputeLayout(bounds).Plot;
}

ChartTransform ChartCore::ViewTransform() const {
    return ComputeLayout(QRect(QPoint(0, 0), ViewSize())).Transform;
}

const SeriesGeometry& ChartCore::Geometry(const ChartSeries& series,
                                          const ChartTransform& transform) const {
    bool runs = false, markers = false;
    if (series.Kind() == SeriesKind::Line) {
        const auto& line = static_cast<const LineSeries&>(series);
        runs = line.LinePen()->Visible();
        markers = line.Pointer()->Visible();
    }
    SeriesGeometry& geometry = FGeometry[&series];
    UpdateGeometry(geometry, series, transform, runs, markers);
    return geometry;
}

int ChartCore::HitTest(const ChartSeries& series, int x, int y) const {
    if (ViewSize().isEmpty()) return -1;
    const ChartTransform transform = ViewTransform();
    const QRect& plot = transform.Plot;
    if (plot.width() < 2 || plot.height() < 2) return -1;
    const SeriesGeometry& g = Geometry(series, transform);
    const auto& points = g.Points;
    const QRectF inside = QRectF(plot).adjusted(-0.5, -0.5, 0.5, 0.5);
    int best = -1;

    if (series.Kind() == SeriesKind::Bar) {
        const int width = BarWidth(static_cast<const BarSeries&>(series), g);
        const double origin = std::clamp(transform.MapY(0), plot.top() - 1.0, plot.bottom() + 1.0);
        if (!plot.contains(x, y)) return -1;
        for (size_t i = 0; i < points.size(); ++i) {
            const QPointF p = points[i];
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) continue;
            if (std::abs(p.x() - x) > width) continue;
            const int left = int(std::floor(p.x() + 0.5)) - width / 2;
            const double top = std::clamp(p.y(), plot.top() - 1.0, plot.bottom() + 1.0);
            if (x >= left && x < left + width && y >= std::min(top, origin) - 0.5 &&
                y <= std::max(top, origin) + 0.5)
                best = int(i);
        }
        return best < 0 ? -1 : g.First + best;
    }

    const auto& line = static_cast<const LineSeries&>(series);
    const bool pointer = line.Pointer()->Visible();
    const double reachX = std::max(pointer ? line.Pointer()->HorizSize() / 2 : 0, 3) + 1;
    const double reachY = std::max(pointer ? line.Pointer()->VertSize() / 2 : 0, 3) + 1;
    size_t from = 0;
    if (g.Ascending) {
        from = size_t(std::lower_bound(points.begin(), points.end(), x - reachX,
                                       [](const QPointF& p, double v) { return p.x() < v; }) -
                      points.begin());
    }
    double bestDistance = 0;
    for (size_t i = from; i < points.size(); ++i) {
        const QPointF p = points[i];
        const double dx = std::abs(p.x() - x);
        if (g.Ascending && p.x() > x + reachX) break;
        const double dy = std::abs(p.y() - y);
        if (!(dx <= reachX && dy <= reachY) || !inside.contains(p)) continue;
        const double distance = dx * dx + dy * dy;
        if (best < 0 || distance <= bestDistance) {
            best = int(i);
            bestDistance = distance;
        }
    }
    return best < 0 ? -1 : g.First + best;
}

// ---- mouse

void ChartCore::MousePress(TMouseButton button, const QPoint& pos) {
    if (FDrag != Drag::None || (button != mbLeft && button != mbRight)) return;
    const ChartTransform transform = ViewTransform();
    if (!transform.Plot.contains(pos)) return;
    FDrag = button == mbLeft ? Drag::Pan : Drag::Zoom;
    FDragMoved = false;
    FDragStart = FDragPos = pos;
    FDragTransform = transform;
}

void ChartCore::MouseMove(const QPoint& pos) {
    if (FDrag == Drag::None) return;
    FDragPos = pos;
    const QPoint moved = pos - FDragStart;
    const ChartTransform& t = FDragTransform;
    if (FDrag == Drag::Pan) {
        if (!FDragMoved && moved.manhattanLength() < kPanThreshold) return;
        FDragMoved = true;
        // The values follow the mouse: dragging right shows smaller X.
        const double dx = -moved.x() * (t.X.Max - t.X.Min) / std::max(t.Plot.width() - 1, 1);
        const double dy = moved.y() * (t.Y.Max - t.Y.Min) / std::max(t.Plot.height() - 1, 1);
        FBottomAxis->SetMinMax(t.X.Min + dx, t.X.Max + dx);
        FLeftAxis->SetMinMax(t.Y.Min + dy, t.Y.Max + dy);
        return;
    }
    if (moved.y() != 0) FDragMoved = true;
    Changed();
}

void ChartCore::MouseRelease(TMouseButton button, const QPoint& pos) {
    if (FDrag == Drag::None) return;
    if ((FDrag == Drag::Pan) != (button == mbLeft)) return;
    const Drag drag = FDrag;
    FDrag = Drag::None;
    if (drag == Drag::Zoom) {
        const ChartTransform& t = FDragTransform;
        const int top =
            std::clamp(std::min(FDragStart.y(), pos.y()), t.Plot.top(), t.Plot.bottom());
        const int bottom =
            std::clamp(std::max(FDragStart.y(), pos.y()), t.Plot.top(), t.Plot.bottom());
        if (bottom - top >= kZoomMinimum) {
            FLeftAxis->SetMinMax(t.ValueY(bottom), t.ValueY(top));
        } else {
            Changed();
        }
    }
}

void ChartCore::MouseWheel(int angleDelta, const QPoint& pos) {
    if (angleDelta == 0) return;
    const ChartTransform t = ViewTransform();
    if (t.Plot.height() < 2) return;
    const double factor = std::pow(kWheelZoom, angleDelta / 120.0);
    const double anchor = t.ValueY(std::clamp(pos.y(), t.Plot.top(), t.Plot.bottom()));
    FLeftAxis->SetMinMax(anchor - (anchor - t.Y.Min) * factor,
                         anchor + (t.Y.Max - anchor) * factor);
}

std::optional<QRect> ChartCore::ZoomBand() const {
    if (FDrag != Drag::Zoom || !FDragMoved) return std::nullopt;
    const QRect& plot = FDragTransform.Plot;
    const int top = std::clamp(std::min(FDragStart.y(), FDragPos.y()), plot.top(), plot.bottom());
    const int bottom =
        std::clamp(std::max(FDragStart.y(), FDragPos.y()), plot.top(), plot.bottom());
    return QRect(QPoint(plot.left(), top), QPoint(plot.right(), bottom));
}
