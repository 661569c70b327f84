// Drawing of the chart core: one Paint for the widget and for images.
#include "platform/chart/ChartCore.h"

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QFontMetrics>
#include <QLineF>
#include <QPainter>
#include <QPen>

#include "platform/ui/Controls.h"
#include "platform/ui/QtBridge.h"

namespace {

const QColor kPanelColor(240, 240, 240);
const QColor kPlotColor(255, 255, 255);
const QColor kAxisColor(0, 0, 0);
const QColor kGridColor(200, 200, 200);
const QColor kTextColor(0, 0, 0);
// Sprites are made per colour; a chart with many colours starts afresh
// rather than growing without end.
constexpr int kSpriteLimit = 512;

}  // namespace

void ChartCore::Paint(QPainter& painter, const QRect& bounds) const {
    painter.save();
    painter.setClipRect(bounds, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(bounds, kPanelColor);
    const Layout layout = ComputeLayout(bounds);
    const QRect& plot = layout.Plot;
    const bool plotShown = plot.width() >= 2 && plot.height() >= 2;

    if (plotShown) {
        painter.fillRect(plot, kPlotColor);
        QPen grid(kGridColor, 0, Qt::DotLine);
        painter.setPen(grid);
        for (const AxisLabel& label : layout.LeftLabels)
            if (label.Pixel > plot.top() && label.Pixel < plot.bottom())
                painter.drawLine(plot.left(), label.Pixel, plot.right(), label.Pixel);
        for (const AxisLabel& label : layout.BottomLabels)
            if (label.Pixel > plot.left() && label.Pixel < plot.right())
                painter.drawLine(label.Pixel, plot.top(), label.Pixel, plot.bottom());
    }
    PaintAxes(painter, layout);

    if (plotShown) {
        if (OnBeforeDrawSeries) {
            painter.save();
            OnBeforeDrawSeries(painter, plot);
            painter.restore();
        }
        for (const ChartSeries* series : FSeries)
            if (series->Active()) PaintSeries(painter, layout, *series);
    }

    if (FTitle.Visible() && !FTitle.Text().isEmpty()) {
        painter.setFont(FTitleFont);
        painter.setPen(kTextColor);
        const QRect line(bounds.left(), bounds.top() + kMargin, bounds.width(),
                         QFontMetrics(FTitleFont).height());
        painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, FTitle.Text());
    }
    if (layout.LegendWidth > 0) PaintLegend(painter, layout);
    painter.restore();
}

void ChartCore::PaintAxes(QPainter& painter, const Layout& layout) const {
    const QRect& plot = layout.Plot;
    const QRect& bounds = layout.Bounds;
    const QFontMetrics labelMetrics(FLabelFont);
    const QFontMetrics titleMetrics(FAxisTitleFont);
    const int labelHeight = labelMetrics.height();

    painter.setPen(QPen(kAxisColor, 0));
    painter.drawLine(plot.left() - 1, plot.top(), plot.left() - 1, plot.bottom() + 1);
    painter.drawLine(plot.left() - 1, plot.bottom() + 1, plot.right(), plot.bottom() + 1);

    painter.setFont(FLabelFont);
    for (const AxisLabel& label : layout.LeftLabels) {
        painter.setPen(kAxisColor);
        painter.drawLine(plot.left() - 1 - kTick, label.Pixel, plot.left() - 2, label.Pixel);
        if (label.Text.isEmpty()) continue;
        painter.setPen(kTextColor);
        const int right = plot.left() - 1 - kTick - kGap;
        const QRect box(right - layout.LeftLabelWidth, label.Pixel - labelHeight / 2,
                        layout.LeftLabelWidth, labelHeight);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, label.Text);
    }
    const int labelTop = plot.bottom() + 2 + kTick + kGap;
    for (const AxisLabel& label : layout.BottomLabels) {
        painter.setPen(kAxisColor);
        painter.drawLine(label.Pixel, plot.bottom() + 2, label.Pixel, plot.bottom() + 1 + kTick);
        if (label.Text.isEmpty()) continue;
        painter.setPen(kTextColor);
        const int width = labelMetrics.horizontalAdvance(label.Text) + 2;
        const QRect box(label.Pixel - width / 2, labelTop, width, labelHeight);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, label.Text);
    }

    painter.setFont(FAxisTitleFont);
    painter.setPen(kTextColor);
    if (!FBottomAxis->Title().isEmpty()) {
        const int height =
            FBottomAxis->TitleSize() > 0 ? FBottomAxis->TitleSize() : titleMetrics.height();
        const QRect box(plot.left(), labelTop + labelHeight + kGap, plot.width(), height);
        painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, FBottomAxis->Title());
    }
    if (!FLeftAxis->Title().isEmpty()) {
        const int width =
            FLeftAxis->TitleSize() > 0 ? FLeftAxis->TitleSize() : titleMetrics.height();
        painter.save();
        painter.translate(bounds.left() + kMargin + width / 2.0, plot.center().y() + 0.5);
        painter.rotate(-90);
        const QRect box(-plot.height() / 2, -width / 2, plot.height(), width);
        painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, FLeftAxis->Title());
        painter.restore();
    }
}

int ChartCore::BarWidth(const BarSeries& series, const SeriesGeometry& geometry) const {
    if (series.CustomBarWidth() > 0) return series.CustomBarWidth();
    const QRect& plot = geometry.Transform.Plot;
    int shown = 0;
    for (const QPointF& p : geometry.Points)
        if (p.x() >= plot.left() - 0.5 && p.x() < plot.right() + 0.5) ++shown;
    const double slot = double(plot.width()) / std::max(shown, 1);
    return std::max(1, int(std::lround(slot * series.BarWidthPercent() / 100.0)));
}

void ChartCore::PaintSeries(QPainter& painter, const Layout& layout,
                            const ChartSeries& series) const {
    const QRect& plot = layout.Plot;
    const SeriesGeometry& g = Geometry(series, layout.Transform);

    if (series.Kind() == SeriesKind::Bar) {
        const int width = BarWidth(static_cast<const BarSeries&>(series), g);
        const double origin =
            std::clamp(layout.Transform.MapY(0), plot.top() - 1.0, plot.bottom() + 1.0);
        painter.save();
        painter.setClipRect(plot, Qt::IntersectClip);
        painter.setPen(QPen(kAxisColor, 0));
        painter.setBrush(Qt::NoBrush);
        for (size_t i = 0; i < g.Points.size(); ++i) {
            const QPointF p = g.Points[i];
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) continue;
            if (p.x() < plot.left() - width || p.x() > plot.right() + width) continue;
            const int left = int(std::floor(p.x() + 0.5)) - width / 2;
            const double top = std::clamp(p.y(), plot.top() - 1.0, plot.bottom() + 1.0);
            const int y0 = int(std::floor(std::min(top, origin) + 0.5));
            const int y1 = int(std::floor(std::max(top, origin) + 0.5));
            const QRect bar(left, y0, width, std::max(y1 - y0 + 1, 1));
            painter.fillRect(bar, ColorToQColor(series.DrawColor(g.First + int(i))));
            if (width >= 4 && bar.height() >= 3) painter.drawRect(bar.adjusted(0, 0, -1, -1));
        }
        painter.restore();
        return;
    }

    const auto& line = static_cast<const LineSeries&>(series);
    if (g.WithRuns) {
        painter.save();
        painter.setClipRect(plot, Qt::IntersectClip);
        const int penWidth = line.LinePen()->Width();
        QPen pen(Qt::black, penWidth == 1 ? 0 : penWidth,
                 line.LinePen()->SmallDots() ? Qt::DotLine : Qt::SolidLine, Qt::FlatCap);
        const QRectF clip =
            QRectF(plot).adjusted(-penWidth - 1, -penWidth - 1, penWidth + 1, penWidth + 1);
        // Segments go out in batches of one colour, in drawing order.
        QVector<QLineF> batch;
        TColor batchColor = clNone;
        auto flush = [&] {
            if (batch.isEmpty()) return;
            pen.setColor(ColorToQColor(batchColor));
            painter.setPen(pen);
            painter.drawLines(batch);
            batch.clear();
        };
        auto add = [&](QPointF a, QPointF b, TColor color) {
            if (!ClipSegment(a, b, clip)) return;
            if (color != batchColor) {
                flush();
                batchColor = color;
            }
            batch.append(QLineF(a, b));
        };
        for (size_t r = 0; r < g.Runs.size(); ++r) {
            const LineRun& run = g.Runs[r];
            if (run.JoinsPrevious)
                add(g.Runs[r - 1].Last, run.First, series.DrawColor(run.FirstIndex));
            if (run.MaxY > run.MinY)
                add(QPointF(run.Column, run.MinY), QPointF(run.Column, run.MaxY),
                    series.DrawColor(run.LastIndex));
        }
        flush();
        painter.restore();
    }

    if (g.WithMarkers) {
        const auto* pointer = line.Pointer();
        TColor spriteColor = clNone;
        const QImage* sprite = nullptr;
        for (const MarkerSpot& marker : g.Markers) {
            const TColor color = series.DrawColor(marker.Index);
            if (!sprite || color != spriteColor) {
                sprite =
                    &Sprite(pointer->Style(), pointer->HorizSize(), pointer->VertSize(), color);
                spriteColor = color;
            }
            painter.drawImage(marker.Centre.x() - sprite->width() / 2,
                              marker.Centre.y() - sprite->height() / 2, *sprite);
        }
    }
}

const QImage& ChartCore::Sprite(TSeriesPointerStyle style, int width, int height,
                                TColor color) const {
    width = std::clamp(width, 1, 64);
    height = std::clamp(height, 1, 64);
    const quint64 key =
        quint64(color) | (quint64(width) << 32) | (quint64(height) << 40) | (quint64(style) << 48);
    const auto found = FSprites.constFind(key);
    if (found != FSprites.constEnd()) return *found;
    if (FSprites.size() >= kSpriteLimit) FSprites.clear();

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QColor fill = ColorToQColor(color);
    QPainter p(&image);
    if (style == psDiagCross) {
        p.setPen(QPen(fill, 0));
        p.drawLine(0, 0, width - 1, height - 1);
        p.drawLine(width - 1, 0, 0, height - 1);
    } else if (width <= 3 || height <= 3) {
        p.fillRect(image.rect(), fill);
    } else {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kAxisColor, 1));
        p.setBrush(fill);
        p.drawEllipse(QRectF(0.5, 0.5, width - 1, height - 1));
    }
    p.end();
    return *FSprites.insert(key, image);
}

void ChartCore::PaintLegend(QPainter& painter, const Layout& layout) const {
    const QFontMetrics metrics(FLabelFont);
    const int left = layout.Bounds.right() - layout.LegendWidth + kMargin;
    int top = layout.Plot.top();
    painter.setFont(FLabelFont);
    for (const ChartSeries* series : FSeries) {
        if (!series->Active()) continue;
        const QRect swatch(left + kMargin, top + (metrics.height() - 10) / 2, 10, 10);
        painter.fillRect(swatch, ColorToQColor(series->SeriesColor()));
        painter.setPen(kAxisColor);
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
        painter.setPen(kTextColor);
        painter.drawText(QPoint(swatch.right() + 1 + kMargin + kGap, top + metrics.ascent()),
                         series->Title());
        top += metrics.height() + kGap;
    }
}
