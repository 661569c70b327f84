#include "platform/chart/ChartGeometry.h"

#include <cmath>

#include "platform/chart/ChartSeries.h"

namespace {

// Points left or right of the plot share one column on each side: their
// strokes are clipped away anyway, and the segments leading in and out of
// the plot keep their true ends.
int ColumnOf(double px, const QRect& plot) {
    if (px < plot.left() - 1) return plot.left() - 1;
    if (px > plot.right() + 1) return plot.right() + 1;
    return int(std::floor(px + 0.5));
}

bool CentreInPlot(const QPointF& p, const QRect& plot) {
    return p.x() >= plot.left() - 0.5 && p.x() < plot.right() + 0.5 && p.y() >= plot.top() - 0.5 &&
           p.y() < plot.bottom() + 0.5;
}

// With X ascending only the points within the X range are drawn, plus one
// neighbour on each side for the segments that enter and leave the plot.
int VisibleFirst(const ChartSeries& series, const ChartTransform& t) {
    const auto xs = series.XData();
    const auto it = std::lower_bound(xs.begin(), xs.end(), t.X.Min);
    return std::max(int(it - xs.begin()) - 1, 0);
}

int VisibleEnd(const ChartSeries& series, const ChartTransform& t) {
    const auto xs = series.XData();
    const auto it = std::upper_bound(xs.begin(), xs.end(), t.X.Max);
    return std::min(int(it - xs.begin()) + 1, int(xs.size()));
}

void AppendPoints(SeriesGeometry& g, const ChartSeries& series, int from, int to) {
    const auto xs = series.XData();
    const auto ys = series.YData();
    const ChartTransform& t = g.Transform;
    const QRect& plot = t.Plot;
    // A point that cannot be placed (not finite) breaks the line.
    bool broken = !g.Runs.empty() && g.Runs.back().LastIndex != from - 1;
    for (int i = from; i < to; ++i) {
        const QPointF p(t.MapX(xs[size_t(i)]), t.MapY(ys[size_t(i)]));
        g.Points.push_back(p);
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            broken = true;
            continue;
        }
        if (g.WithRuns) {
            const int column = ColumnOf(p.x(), plot);
            if (!g.Runs.empty() && !broken && g.Runs.back().Column == column) {
                LineRun& run = g.Runs.back();
                run.LastIndex = i;
                run.Last = p;
                run.MinY = std::min(run.MinY, p.y());
                run.MaxY = std::max(run.MaxY, p.y());
            } else {
                LineRun run;
                run.Column = column;
                run.FirstIndex = run.LastIndex = i;
                run.First = run.Last = p;
                run.MinY = run.MaxY = p.y();
                run.JoinsPrevious = !g.Runs.empty() && !broken;
                g.Runs.push_back(run);
            }
        }
        broken = false;
        if (g.WithMarkers && CentreInPlot(p, plot)) {
            const QPoint centre(int(std::floor(p.x() + 0.5)), int(std::floor(p.y() + 0.5)));
            if (!g.Markers.empty()) {
                const MarkerSpot& last = g.Markers.back();
                if (last.Centre == centre && series.DrawColor(last.Index) == series.DrawColor(i))
                    continue;
            }
            g.Markers.push_back({centre, i});
        }
    }
}

}  // namespace

GeometryUpdate UpdateGeometry(SeriesGeometry& g, const ChartSeries& series,
                              const ChartTransform& transform, bool withRuns, bool withMarkers) {
    const int count = series.Count();
    const bool ascending = series.XAscending();
    const bool same = g.Valid && g.Epoch == series.Epoch() && g.Transform == transform &&
                      g.WithRuns == withRuns && g.WithMarkers == withMarkers &&
                      g.Ascending == ascending && count >= g.Count;
    if (same && count == g.Count) return GeometryUpdate::Unchanged;
    if (same) {
        int end = count;
        if (ascending) end = g.End == g.Count ? VisibleEnd(series, transform) : g.End;
        AppendPoints(g, series, g.End, end);
        g.End = end;
        g.Count = count;
        return GeometryUpdate::Extended;
    }

    g.Valid = true;
    g.Epoch = series.Epoch();
    g.Count = count;
    g.Transform = transform;
    g.WithRuns = withRuns;
    g.WithMarkers = withMarkers;
    g.Ascending = ascending;
    g.First = ascending ? VisibleFirst(series, transform) : 0;
    g.End = ascending ? VisibleEnd(series, transform) : count;
    if (g.End < g.First) g.End = g.First;
    g.Points.clear();
    g.Runs.clear();
    g.Markers.clear();
    AppendPoints(g, series, g.First, g.End);
    return GeometryUpdate::Rebuilt;
}

bool ClipSegment(QPointF& a, QPointF& b, const QRectF& rect) {
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
    double t0 = 0, t1 = 1;
    // Liang-Barsky: each edge limits the parameter range of p * t <= q.
    auto edge = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
        return true;
    };
    if (!edge(-dx, a.x() - rect.left()) || !edge(dx, rect.right() - a.x()) ||
        !edge(-dy, a.y() - rect.top()) || !edge(dy, rect.bottom() - a.y()))
        return false;
    const QPointF start = a;
    if (t1 < 1) b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    if (t0 > 0) a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    return true;
}
