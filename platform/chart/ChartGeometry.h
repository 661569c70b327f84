#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include <QPoint>
#include <QPointF>
#include <QRect>

class ChartSeries;

struct ChartRange {
    double Min = 0;
    double Max = 0;
    bool operator==(const ChartRange&) const = default;
};

// Value space to pixel space. The range minimum maps to the first pixel of
// the plot, the maximum to its last (left to right for X, bottom to top for
// Y). Both ranges must have a positive span.
struct ChartTransform {
    QRect Plot;
    ChartRange X;
    ChartRange Y;
    bool operator==(const ChartTransform&) const = default;

    double MapX(double x) const {
        return Plot.left() + (x - X.Min) * (Plot.width() - 1) / (X.Max - X.Min);
    }
    double MapY(double y) const {
        return Plot.bottom() - (y - Y.Min) * (Plot.height() - 1) / (Y.Max - Y.Min);
    }
    double ValueX(double px) const {
        return X.Min + (px - Plot.left()) * (X.Max - X.Min) / std::max(Plot.width() - 1, 1);
    }
    double ValueY(double py) const {
        return Y.Min + (Plot.bottom() - py) * (Y.Max - Y.Min) / std::max(Plot.height() - 1, 1);
    }
};

// Consecutive points of a line that fall in one pixel column, drawn as the
// segment into the first, one vertical stroke from the lowest to the highest
// and the segment out of the last.
struct LineRun {
    int Column = 0;
    int FirstIndex = 0;
    int LastIndex = 0;
    QPointF First;
    QPointF Last;
    double MinY = 0;
    double MaxY = 0;
    // A segment leads into First from the previous run's Last.
    bool JoinsPrevious = false;
};

// A marker whose centre lies in the plot. A marker identical in place and
// colour to the one drawn just before it is left out: it would cover
// exactly what that one drew.
struct MarkerSpot {
    QPoint Centre;
    int Index = 0;
};

// The pixel-space form of one series under one transform: the geometry
// cache. Holds the points [First, End): with ascending X only those within
// the X range and one neighbour on each side, otherwise all of them.
struct SeriesGeometry {
    bool Valid = false;
    std::uint64_t Epoch = 0;
    int Count = 0;
    ChartTransform Transform;
    bool WithRuns = false;
    bool WithMarkers = false;
    bool Ascending = true;

    int First = 0;
    int End = 0;
    std::vector<QPointF> Points;
    std::vector<LineRun> Runs;
    std::vector<MarkerSpot> Markers;
};

enum class GeometryUpdate { Unchanged, Extended, Rebuilt };

// Brings `geometry` up to date with the series under the transform: nothing
// when neither changed, an extension when points were only appended, a
// rebuild otherwise. withRuns and withMarkers choose the parts a line
// series needs; a change of either rebuilds.
GeometryUpdate UpdateGeometry(SeriesGeometry& geometry, const ChartSeries& series,
                              const ChartTransform& transform, bool withRuns, bool withMarkers);

// Clips the segment a-b to the rectangle; false when nothing of it is inside.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& rect);
