#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QImage>
#include <QRect>
#include <QString>

#include "platform/chart/ChartCore.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Types.h"

class QPainter;
class TBitmap;
class TChart;

// The chart pack's names for the core's classes.
using TChartAxis = ChartAxis;
using TChartSeries = ChartSeries;
using TChartTitle = ChartTitle;
using TChartLegend = ChartLegend;

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Series is null and ValueIndex -1: labels are values of the axis.
using TAxisLabelEvent = std::function<void(TChartAxis* Sender, TChartSeries* Series, int ValueIndex,
                                           QString& LabelText)>;

enum TBrushStyle { bsSolid, bsClear };

// Placement of TChartCanvas::TextRect, combined with '|'.
enum TTextFormatFlag : unsigned {
    tfCenter = 0x1,          // centred across, else left
    tfVerticalCenter = 0x2,  // centred up and down, else top
    tfSingleLine = 0x4,      // one line, line breaks ignored
    tfNoPrefix = 0x8,        // '&' drawn as it is, else it underlines the next letter
};
using TTextFormat = unsigned;

// The chart's drawing surface while OnBeforeDrawSeries runs, on the widget
// or on an image being drawn. Font, brush and text alignment keep their
// values from one drawing to the next. Outside that event nothing is drawn.
class TChartCanvas {
public:
    TFont* Font() { return &FFont; }
    TBrushStyle BrushStyle() const { return FBrushStyle; }
    void SetBrushStyle(TBrushStyle style) { FBrushStyle = style; }
    TColor BrushColor() const { return FBrushColor; }
    void SetBrushColor(TColor color) { FBrushColor = color; }
    // The system's text alignment flags (0: left, top). TextRect places by
    // its format alone.
    int TextAlign() const { return FTextAlign; }
    void SetTextAlign(int align) { FTextAlign = align; }
    // Draws text into rect in the font and its colour; a solid brush fills
    // rect first.
    void TextRect(const TRect& rect, const QString& text, TTextFormat format);

private:
    friend class TChart;
    QPainter* FPainter = nullptr;
    TFont FFont;
    TBrushStyle FBrushStyle = bsSolid;
    TColor FBrushColor = clWhite;
    int FTextAlign = 0;
};

// The chart control: a widget painted by ChartCore. Changes to its series
// and axes repaint it (on the next event loop pass) while AutoRepaint is on.
// The mouse pans and zooms as ChartCore describes, and raises OnMouseDown
// and OnMouseMove (coordinates in the chart's pixels); exceptions from the
// events go to the application's default handler. Main thread only.
class TChart : public TWinControl {
public:
    explicit TChart(TComponent* owner);
    ~TChart() override;

    TChartAxis* BottomAxis() const { return FCore->BottomAxis(); }
    TChartAxis* LeftAxis() const { return FCore->LeftAxis(); }
    TChartTitle* Title() { return FCore->Title(); }
    TChartLegend* Legend() { return FCore->Legend(); }
    bool View3D() const { return FCore->View3D(); }
    void SetView3D(bool on) { FCore->SetView3D(on); }
    int SeriesCount() const { return FCore->SeriesCount(); }
    TChartSeries* Series(int index) const { return FCore->Series(index); }

    // Off: changes wait for Invalidate or Repaint.
    bool AutoRepaint() const { return FAutoRepaint; }
    void SetAutoRepaint(bool on) { FAutoRepaint = on; }

    // The plot rectangle in the chart's pixels; while the chart draws into
    // an image, the plot rectangle of that drawing.
    TRect ChartRect() const;
    TChartCanvas* Canvas() { return &FCanvas; }

    // Draws the whole chart into rect of the painter's device, the image or
    // the picture, laid out for that rect; OnGetAxisLabel and
    // OnBeforeDrawSeries run as for the widget, and their exceptions reach
    // the caller.
    void Draw(QPainter& painter, const QRect& rect);
    void Draw(QImage& image, const QRect& rect);
    void Draw(TBitmap& picture, const TRect& rect);

    TAxisLabelEvent OnGetAxisLabel;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    // Runs after the axes and before the series; draw on Canvas() there.
    TNotifyEvent OnBeforeDrawSeries;

    // The core, for the series classes and platform tests.
    ChartCore& Core() { return *FCore; }

private:
    friend class ChartWidget;
    void PaintWidget(QPainter& painter);
    void MouseDown(TMouseButton button, TShiftState shift, const QPoint& pos);
    void MouseMove(TShiftState shift, const QPoint& pos);
    void MouseUp(TMouseButton button, const QPoint& pos);
    void Wheel(int angleDelta, const QPoint& pos);
    void Changed();

    std::unique_ptr<ChartCore> FCore;
    TChartCanvas FCanvas;
    bool FAutoRepaint = true;
    std::optional<QRect> FDrawingPlot;
};

// The series made with an owner that frees them, drawn on a parent chart.
class TLineSeries : public TComponent, public LineSeries {
public:
    explicit TLineSeries(TComponent* owner) : TComponent(owner) {}
    TChart* ParentChart() const { return Chart() ? FParentChart : nullptr; }
    void SetParentChart(TChart* chart);

private:
    TChart* FParentChart = nullptr;
};

class TBarSeries : public TComponent, public BarSeries {
public:
    explicit TBarSeries(TComponent* owner) : TComponent(owner) {}
    TChart* ParentChart() const { return Chart() ? FParentChart : nullptr; }
    void SetParentChart(TChart* chart);

private:
    TChart* FParentChart = nullptr;
};
