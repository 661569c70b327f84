#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QString>

#include "platform/ui/Types.h"

class ChartCore;

// Whether AddXY keeps the points sorted by X (loAscending inserts a point
// after the last one with an X not above its own) or keeps them in the order
// they are added (loNone).
enum TChartListOrder { loNone, loAscending };

enum class SeriesKind { Line, Bar };

// The points and look of one series: the data part of the chart. Plain
// object, no widget; main thread only. Every change tells the chart the
// series belongs to, which repaints when its automatic repaint is on.
//
// Points are kept as parallel arrays. Epoch() changes on every change except
// appending a point at the end (AddXY in arrival order), so that a drawing
// cache can extend itself on an append and rebuild on anything else.
class ChartSeries {
public:
    virtual ~ChartSeries();
    ChartSeries(const ChartSeries&) = delete;
    ChartSeries& operator=(const ChartSeries&) = delete;

    SeriesKind Kind() const { return FKind; }

    // The chart the series draws on; null while it has none. Setting it
    // moves the series to the end of the new chart's series list.
    ChartCore* Chart() const { return FChart; }
    void SetChart(ChartCore* chart);

    // An inactive series is neither drawn, nor counted by automatic axes,
    // nor found by Clicked.
    bool Active() const { return FActive; }
    void SetActive(bool active);
    QString Title() const { return FTitle; }
    void SetTitle(const QString& title);
    // The colour of points added without one (clDefault), and of every
    // point while ColorEachPoint is off: always red, as the program never
    // gives a series another.
    TColor SeriesColor() const { return FSeriesColor; }
    bool ColorEachPoint() const { return FColorEachPoint; }
    void SetColorEachPoint(bool on);
    // Applies to the points added afterwards; the points already held stay
    // where they are.
    TChartListOrder XValuesOrder() const { return FOrder; }
    void SetXValuesOrder(TChartListOrder order);

    int Count() const { return int(FX.size()); }
    // Adds a point and returns its index. color clDefault means "no colour
    // of its own": the point is drawn in the series colour.
    int AddXY(double x, double y, const QString& label = QString(), TColor color = clDefault);
    void Clear();
    // Index or range out of bounds raises Exception and changes nothing.
    void Delete(int index);
    void Delete(int start, int count);
    double XValue(int index) const;
    double YValue(int index) const;
    QString Label(int index) const;
    // The colour given with the point (clDefault when none).
    TColor PointColor(int index) const;
    // The colour the point is drawn in.
    TColor DrawColor(int index) const;

    // Smallest and largest values of the points; 0 for an empty series.
    // Values that are not finite are left out.
    double MinXValue() const;
    double MaxXValue() const;
    double MinYValue() const;
    double MaxYValue() const;

    // The index of the point under (x, y), in pixels of the chart's own
    // view, or -1 when none is, the series is inactive or has no chart.
    // A line series finds a point within its pointer's half size (at least
    // 3 pixels) plus 1; a bar series a point whose bar holds (x, y). Where
    // several qualify, the nearest wins, and of equals the one drawn last.
    int Clicked(int x, int y) const;

    // For drawing caches.
    std::uint64_t Epoch() const { return FEpoch; }
    // True while every X is at least the X before it.
    bool XAscending() const { return FAscending; }
    std::span<const double> XData() const { return FX; }
    std::span<const double> YData() const { return FY; }

protected:
    explicit ChartSeries(SeriesKind kind);
    // A change of the look: drawing caches rebuild, the chart repaints.
    void StyleChanged();

private:
    void CheckIndex(int index) const;
    // A change other than an append at the end.
    void Reshaped();
    void Changed();
    void UpdateExtremes() const;

    SeriesKind FKind;
    ChartCore* FChart = nullptr;
    bool FActive = true;
    QString FTitle;
    TColor FSeriesColor = clRed;
    bool FColorEachPoint = false;
    TChartListOrder FOrder = loAscending;

    std::vector<double> FX;
    std::vector<double> FY;
    std::vector<TColor> FColors;
    std::vector<QString> FLabels;
    std::uint64_t FEpoch = 0;
    bool FAscending = true;

    struct Extremes {
        bool Valid = false;
        double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
        bool Any = false;
    };
    mutable Extremes FExtremes;
};

enum TSeriesPointerStyle { psCircle, psDiagCross };

// A line series with a marker (pointer) at each point. Each segment takes
// the colour of the point it ends at.
class LineSeries : public ChartSeries {
public:
    LineSeries();

    // Markers: a filled circle with a black outline, or a diagonal cross,
    // HorizSize x VertSize pixels.
    class TSeriesPointer {
    public:
        explicit TSeriesPointer(LineSeries* owner) : FOwner(owner) {}
        bool Visible() const { return FVisible; }
        void SetVisible(bool visible);
        int HorizSize() const { return FHorizSize; }
        void SetHorizSize(int size);
        int VertSize() const { return FVertSize; }
        void SetVertSize(int size);
        TSeriesPointerStyle Style() const { return FStyle; }
        void SetStyle(TSeriesPointerStyle style);

    private:
        LineSeries* FOwner;
        bool FVisible = true;
        int FHorizSize = 5;
        int FVertSize = 5;
        TSeriesPointerStyle FStyle = psCircle;
    };

    // The line between the points. SmallDots draws it dotted.
    class TChartPen {
    public:
        explicit TChartPen(LineSeries* owner) : FOwner(owner) {}
        bool Visible() const { return FVisible; }
        void SetVisible(bool visible);
        int Width() const { return FWidth; }
        // Below 1 is taken as 1.
        void SetWidth(int width);
        bool SmallDots() const { return FSmallDots; }
        void SetSmallDots(bool on);

    private:
        LineSeries* FOwner;
        bool FVisible = true;
        int FWidth = 1;
        bool FSmallDots = false;
    };

    TSeriesPointer* Pointer() { return &FPointer; }
    const TSeriesPointer* Pointer() const { return &FPointer; }
    TChartPen* LinePen() { return &FLinePen; }
    const TChartPen* LinePen() const { return &FLinePen; }

private:
    TSeriesPointer FPointer{this};
    TChartPen FLinePen{this};
};

// A bar series: each point a bar from 0 to its Y, centred on its X, filled
// in its colour (with a black outline when 4 pixels wide or more).
class BarSeries : public ChartSeries {
public:
    BarSeries();
    // Bar width in pixels; 0 takes BarWidthPercent of the space one point
    // has (the plot width divided by the points shown).
    int CustomBarWidth() const { return FCustomBarWidth; }
    void SetCustomBarWidth(int pixels);
    int BarWidthPercent() const { return FBarWidthPercent; }
    // Limited to 1 .. 100.
    void SetBarWidthPercent(int percent);

private:
    int FCustomBarWidth = 0;
    int FBarWidthPercent = 70;
};
