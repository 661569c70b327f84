// The chart of the main form: series type, colours, axes, bar width, the
// scrolling shot window and the mouse.
#include "form/Form1.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/chart/Chart.h"
#include "platform/core/FormatFloat.h"
#include "series/core/Energy.h"
#include "series/core/NumberText.h"
#include "storage/ProgramSettings.h"

namespace {

// The colour cycle of TChartColor::Cycle, by the new point's index modulo 8.
constexpr TColor ChartPointColors[8] = {clRed,  clBlue,  clGreen, clPurple,
                                        clTeal, clOlive, clNavy,  clMaroon};

// The last shot of the widest scrolling window: it never shows more, and an
// unknown or empty window falls back to it.
constexpr double FullWindow = FullWindowShots - 1;
// "+" narrows the window to this share of its width, "-" widens it by its
// inverse.
constexpr double ZoomFactor = 0.75;

struct TWindow {
    double Lo = 0;
    double Hi = 0;
};

// A window of width e centred on c, moved inside minX .. maxX where it can be.
TWindow CentredWindow(double c, double e, double minX, double maxX) {
    TWindow w{c - e * 0.5, c + e * 0.5};
    if (minX > w.Lo) w = {minX, minX + e};
    if (w.Hi > maxX) w = {std::max(minX, maxX - e), maxX};
    return w;
}

// "X0" and "XN": a window of the current width (width, or 25 when it is not
// positive) at the first or the last shot of minX .. maxX.
TWindow MovedWindow(double minX, double maxX, double width, bool toStart) {
    const double r = maxX - minX;
    if (!(width > 0)) width = FullWindow;
    const double d = 0 < r && r < width ? r : width;
    TWindow w;
    if (toStart) {
        w.Lo = minX;
        w.Hi = std::min(minX + d, maxX);
        if (!(w.Hi > w.Lo)) w.Hi = minX + FullWindow;
    } else {
        w.Lo = std::max(maxX - d, minX);
        w.Hi = maxX;
        if (!(maxX > w.Lo)) w.Hi = w.Lo + FullWindow;
    }
    return w;
}

struct TScrollZoom {
    TWindow Window;
    TZoomAnchor Anchor = TZoomAnchor::Centre;
    double Width = 0;  // the new width E
};

// "+" (zoomIn) and "-" on the scrolling window, a window of at most 25 shots
// over 0 .. b. axis is the shot axis' range, or none when the axis is
// automatic or empty. The window keeps its end when it ends at the last
// shot (or is anchored there) and does not start at 0, its start when it
// starts at 0 (or is anchored there) and does not end at the last shot, and
// its centre otherwise.
TScrollZoom ScrollingZoom(double b, std::optional<TWindow> axis, TZoomAnchor anchor, bool zoomIn) {
    TWindow w;
    if (axis) {
        w = *axis;
    } else if (anchor == TZoomAnchor::End) {
        w = {std::max(b - FullWindow, 0.0), b};
    } else {
        w = {0, FullWindow};
    }
    if (w.Lo < 0) w.Lo = 0;
    if (w.Hi > b) w.Hi = b;
    if (!(w.Lo < w.Hi)) w = {0, FullWindow};

    double g = w.Hi - w.Lo;
    if (!(g > 0)) g = FullWindow;
    const double shown = std::min(FullWindow, g);
    const double e =
        zoomIn ? std::max(ZoomFactor * shown, 1.0) : std::min(shown / ZoomFactor, FullWindow);

    const bool startsLater = anchor != TZoomAnchor::Start && std::abs(w.Lo) >= 0.001;
    const bool endsAtLast = anchor == TZoomAnchor::End || std::abs(w.Hi - b) < 0.001;
    TScrollZoom zoom;
    if (startsLater && endsAtLast) {
        w.Lo = w.Hi - e;
        zoom.Anchor = TZoomAnchor::End;
    } else if (startsLater != endsAtLast) {
        const double c = (w.Lo + w.Hi) * 0.5;
        w = {c - e * 0.5, c + e * 0.5};
        zoom.Anchor = TZoomAnchor::Centre;
    } else {
        w.Hi = w.Lo + e;
        zoom.Anchor = TZoomAnchor::Start;
    }
    if (w.Lo < 0) w = {0, e};
    if (w.Hi > b) w = {std::max(b - e, 0.0), b};
    zoom.Window = w;
    zoom.Width = e;
    return zoom;
}

}  // namespace

void TForm1::LoadChartSettings() {
    CreateDefaultIni();
    const TChartSettings settings = ReadChartSettings();
    FChartType = TChartType(settings.ChartType);
    FChartLineWidth = settings.ChartLineWidth;
    FChartMarkerSize = settings.ChartMarkerSize;
    FChartBarWidth = settings.ChartBarWidth;
    FChartColor = TChartColor(settings.ChartColor);

    FActiveSeries = Series1;
    if (Series1) {
        Series1->SetActive(false);
        Series1->SetXValuesOrder(loNone);
        Series1->LinePen()->SetVisible(true);
        Series1->LinePen()->SetWidth(FChartLineWidth);
        Series1->Pointer()->SetVisible(true);
        Series1->Pointer()->SetHorizSize(FChartMarkerSize);
        Series1->Pointer()->SetVertSize(FChartMarkerSize);
        Series1->Pointer()->SetStyle(FChartType == TChartType::Crosses ? psDiagCross : psCircle);
    }
    if (FBarSeries) FBarSeries->SetActive(false);

    if (FChartType == TChartType::Bars) {
        if (!FBarSeries) {
            FBarSeries = new TBarSeries(this);
            FBarSeries->Name = QStringLiteral("BarSeries");
            FBarSeries->SetParentChart(Chart1);
            FBarSeries->SetTitle(QStringLiteral("Velocity"));
            FBarSeries->SetXValuesOrder(loNone);
            FBarSeries->SetBarWidthPercent(100);
            FBarSeries->SetCustomBarWidth(0);
            // Bars take the colour given with each point, as the line does.
            FBarSeries->SetColorEachPoint(true);
        }
        if (Series1) Series1->SetActive(false);
        FBarSeries->SetActive(true);
        FActiveSeries = FBarSeries;
    } else {
        FActiveSeries = Series1;
        if (Series1) Series1->SetActive(true);
    }
    if (FActiveSeries) FActiveSeries->SetXValuesOrder(loNone);
}

void TForm1::AddChartPoint(double x, double y, bool hasPrevious, double previous) {
    if (!FActiveSeries) return;
    TColor color = clDefault;
    switch (FChartColor) {
        case TChartColor::Cycle:
            color = ChartPointColors[FActiveSeries->Count() % 8];
            break;
        case TChartColor::Trend:
            if (!hasPrevious || y == previous)
                color = clGray;
            else
                color = y > previous ? clGreen : clRed;
            break;
        case TChartColor::Plain:
            break;
    }
    FActiveSeries->AddXY(x, y, QString(), color);
}

void TForm1::UpdateXAxis() {
    if (!Chart1 || !FActiveSeries) return;
    TChartAxis* bottom = Chart1->BottomAxis();
    if (FActiveSeries->Count() == 0) {
        bottom->SetMinMax(0, FullWindow);
        return;
    }
    if (FZoomActive || FZoomAnchor != TZoomAnchor::Centre || FZoomSteps > 0) return;
    if (FChartType == TChartType::Bars) {
        const double minX = FActiveSeries->MinXValue();
        const double maxX = FActiveSeries->MaxXValue();
        if (maxX < minX)
            bottom->SetMinMax(0, FullWindow);
        else
            bottom->SetMinMax(minX - 0.5, maxX + 0.5);
    } else {
        bottom->SetAutomatic(true);
    }
}

bool TForm1::FitVelocityAxis() {
    if (CheckBoxAuto->Checked())
        UpdateYAxis(TightAxisMargin);
    else if (CheckBoxAuto50->Checked())
        UpdateYAxis(WideAxisMargin);
    else
        return false;
    return true;
}

void TForm1::UpdateYAxis(double margin) {
    if (!Chart1 || !FActiveSeries || FActiveSeries->Count() == 0) return;
    const double m = std::clamp(margin, 0.0, 5.0);
    double lo = FActiveSeries->MinYValue();
    double hi = FActiveSeries->MaxYValue();
    if (hi < lo) return;
    double span = hi - lo;
    if (!(span > 0)) span = std::abs(hi) > 1 ? std::abs(hi) : 1;
    lo -= m * span;
    hi += m * span;
    if (!(lo < hi)) {
        lo -= 1;
        hi += 1;
    }
    Chart1->LeftAxis()->SetMinMax(lo, hi);
}

void TForm1::UpdateBarWidth(bool repaint) {
    if (FChartType != TChartType::Bars || !FBarSeries || !FBarSeries->Active() || !Chart1 ||
        !FActiveSeries)
        return;

    const TRect plot = Chart1->ChartRect();
    const int chartWidth = Chart1->Width();
    const int plotWidth = plot.Right > plot.Left && plot.Right - plot.Left <= chartWidth
                              ? plot.Right - plot.Left
                              : chartWidth - 80;
    int percent = FChartBarWidth;
    if (percent <= 0) percent = ChartBarWidthDefault;
    if (percent > ChartBarWidthMax) percent = ChartBarWidthMax;
    if (plotWidth < 20) return;

    const TChartAxis* bottom = Chart1->BottomAxis();
    const double axisSpan = bottom->Maximum() - bottom->Minimum();
    double span = bottom->Automatic() ? 0 : axisSpan;
    if (CheckBoxScroll->Checked())
        span = axisSpan;
    else if (!bottom->Automatic() && axisSpan > 0)
        span = axisSpan;
    else if (FActiveSeries->Count() >= 2)
        span = FActiveSeries->MaxXValue() - FActiveSeries->MinXValue();
    if (!(span > 0)) span = FullWindow;
    const double divisor = span < 1 ? 1 : span;

    // lround rounds halves away from zero.
    int width = int(std::lround(plotWidth / divisor * percent / 100.0));
    width = std::clamp(width, 1, plotWidth);
    if (width == FAppliedBarWidth) return;
    FBarSeries->SetCustomBarWidth(width);
    FAppliedBarWidth = width;
    if (repaint && !BatchUpdate) Chart1->Invalidate();
}

void TForm1::ResetBarWidth(bool repaint) {
    FAppliedBarWidth = -1;
    UpdateBarWidth(repaint);
}

void TForm1::ResetZoom() {
    FZoomSteps = 0;
    FZoomAnchor = TZoomAnchor::Centre;
    FZoomActive = false;
}

void TForm1::ShowShotWindow(TShotWindowAt at) {
    if (!CheckBoxScroll->Checked()) {
        UpdateXAxis();
        return;
    }
    TChartAxis* bottom = Chart1->BottomAxis();
    bottom->SetAutomatic(false);
    // The window keeps its width and ends at the last shot once there are
    // enough shots to fill it.
    const int width = FSeries.VisibleShots() - 1;
    const int last = FSeries.NextX() - 1;
    if (at == TShotWindowAt::LastShot && last >= width)
        bottom->SetMinMax(last - width, last);
    else if (at == TShotWindowAt::LastShot)
        bottom->SetMinMax(0, width);
    else
        bottom->SetMinMax(0, FullWindow);
}

void TForm1::CheckBoxScrollClick(TObject* /*Sender*/) {
    ResetZoom();
    ShowShotWindow(TShotWindowAt::Start);
    FitVelocityAxis();
    ResetBarWidth(true);
}

void TForm1::CheckBoxAutoClick(TObject* /*Sender*/) {
    if (CheckBoxAuto->Checked()) {
        CheckBoxAuto50->SetChecked(false);
        UpdateYAxis(TightAxisMargin);
    } else if (!CheckBoxAuto50->Checked()) {
        Chart1->LeftAxis()->SetAutomatic(true);
    }
}

void TForm1::CheckBoxAuto50Click(TObject* /*Sender*/) {
    if (CheckBoxAuto50->Checked()) {
        CheckBoxAuto->SetChecked(false);
        UpdateYAxis(WideAxisMargin);
    } else if (!CheckBoxAuto->Checked()) {
        Chart1->LeftAxis()->SetAutomatic(true);
    }
}

void TForm1::SpeedButton1Click(TObject* /*Sender*/) {
    MoveShotWindow(true);
}

void TForm1::SpeedButton2Click(TObject* /*Sender*/) {
    MoveShotWindow(false);
}

// "X0" and "XN": the window keeps its width and moves to the first or the
// last shot.
void TForm1::MoveShotWindow(bool toStart) {
    if (!FActiveSeries || FActiveSeries->Count() == 0) return;
    TChartAxis* bottom = Chart1->BottomAxis();
    const double minX = FActiveSeries->MinXValue();
    const double maxX = FActiveSeries->MaxXValue();
    const double width = CheckBoxScroll->Checked() || !bottom->Automatic()
                             ? bottom->Maximum() - bottom->Minimum()
                             : maxX - minX;
    const TWindow w = MovedWindow(minX, maxX, width, toStart);
    bottom->SetMinMax(w.Lo, w.Hi);
    FZoomActive = true;
    FZoomAnchor = toStart ? TZoomAnchor::Start : TZoomAnchor::End;
    ResetBarWidth(true);
    FitVelocityAxis();
}

// "+" and "-" on the scrolling window: the shot axis narrows or widens
// about its anchor and VisibleShots follows. Empty when there is no window.
static std::optional<TScrollZoom> ZoomScrollingWindow(TChartAxis* bottom, double maxX,
                                                      TZoomAnchor anchor, bool zoomIn,
                                                      TShotSeries& series) {
    const double b = maxX < FullWindow ? FullWindow : maxX;
    if (!(b > 0)) return std::nullopt;
    std::optional<TWindow> axis;
    if (!bottom->Automatic() && bottom->Maximum() > bottom->Minimum())
        axis = TWindow{bottom->Minimum(), bottom->Maximum()};
    const TScrollZoom zoom = ScrollingZoom(b, axis, anchor, zoomIn);
    bottom->SetMinMax(zoom.Window.Lo, zoom.Window.Hi);
    series.SetVisibleShots(int(zoom.Window.Hi - zoom.Window.Lo + 1.5));
    return zoom;
}

void TForm1::SpeedButton4Click(TObject* /*Sender*/) {
    ZoomShotAxis(true);
}

void TForm1::SppeButton3Click(TObject* /*Sender*/) {
    ZoomShotAxis(false);
}

// "+" narrows the shot axis and "-" widens it: about the scrolling window's
// anchor, or about the centre of the shown shots.
void TForm1::ZoomShotAxis(bool zoomIn) {
    if (!FActiveSeries || FActiveSeries->Count() == 0) return;
    TChartAxis* bottom = Chart1->BottomAxis();
    const double minX = FActiveSeries->MinXValue();
    const double maxX = FActiveSeries->MaxXValue();
    const double r = maxX - minX;

    if (CheckBoxScroll->Checked()) {
        const std::optional<TScrollZoom> zoom =
            ZoomScrollingWindow(bottom, maxX, FZoomAnchor, zoomIn, FSeries);
        if (!zoom) return;
        FZoomActive = true;
        FZoomAnchor = zoom->Anchor;
        if (zoomIn)
            ++FZoomSteps;
        else if (zoom->Width >= FullWindow - 0.001)
            FZoomSteps = 0;
        else if (FZoomSteps > 0)
            --FZoomSteps;
    } else if (!(r > 1)) {
        UpdateXAxis();
        ResetBarWidth(true);
        return;
    } else if (zoomIn) {
        TWindow current{minX, maxX};
        if (!bottom->Automatic() && bottom->Maximum() > bottom->Minimum() && FZoomActive)
            current = {bottom->Minimum(), bottom->Maximum()};
        const double shown = current.Hi - current.Lo;
        const double e = std::clamp(ZoomFactor * (shown > 0 ? std::min(r, shown) : r), 1.0, r);
        const TWindow w = CentredWindow((current.Lo + current.Hi) * 0.5, e, minX, maxX);
        bottom->SetMinMax(w.Lo, w.Hi);
        FZoomActive = true;
        FZoomAnchor = TZoomAnchor::Centre;
        ++FZoomSteps;
    } else {
        const double lo = bottom->Minimum();
        const double hi = bottom->Maximum();
        if (bottom->Automatic() || !(hi > lo) || !FZoomActive) {
            ResetZoom();
            UpdateXAxis();
            ResetBarWidth(true);
            return;
        }
        const double shown = hi - lo;
        const double e = (0 < shown && shown <= r ? shown : r) / ZoomFactor;
        if (e >= r - 1e-9) {
            // The window would cover every shot: the axis fits itself again.
            ResetZoom();
            UpdateXAxis();
        } else {
            const TWindow w = CentredWindow((lo + hi) * 0.5, e, minX, maxX);
            bottom->SetMinMax(w.Lo, w.Hi);
            FZoomActive = true;
            FZoomAnchor = TZoomAnchor::Centre;
            if (FZoomSteps > 0) --FZoomSteps;
        }
    }
    ResetBarWidth(true);
    // Qt paints once when it next paints, whatever else changed meanwhile.
    Chart1->Invalidate();
    FitVelocityAxis();
}

void TForm1::Chart1GetAxisLabel(TChartAxis* Sender, TChartSeries* /*Series*/, int /*ValueIndex*/,
                                QString& LabelText) {
    if (!Chart1 || (Sender != Chart1->BottomAxis() && Sender != Chart1->LeftAxis())) return;
    if (LabelText.isEmpty() || !LabelText.startsWith(QLatin1Char('-'))) return;
    if (FSeries.DerivedValues()) return;
    if (FActiveSeries && FActiveSeries->Count() > 0 && FActiveSeries->MinYValue() < 0) return;
    LabelText.clear();
}

void TForm1::Chart1MouseDown(TObject* /*Sender*/, TMouseButton Button, TShiftState /*Shift*/, int X,
                             int Y) {
    if (Button != mbLeft || !FActiveSeries) return;
    const int index = FActiveSeries->Clicked(X, Y);
    if (index < 0) return;
    // The series and the value lines of the list end with the same shot, but
    // a cut or a log line shifts their starts apart (and the shot number
    // keeps counting past a cut): count from the end of both.
    const int fromEnd = FActiveSeries->Count() - 1 - index;
    TStrings* lines = Memo1->Lines();
    int line = -1;
    double value = 0.0;
    for (int i = lines->Count() - 1, seen = 0; i >= 0; --i) {
        if (!ShotLineValue(lines->Strings(i), value)) continue;
        if (seen++ == fromEnd) {
            line = i;
            break;
        }
    }
    if (line < 0) return;
    const LRESULT first = SendMessage(Memo1, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessage(Memo1, EM_LINESCROLL, 0, LPARAM(line - first));
    const LRESULT start = SendMessage(Memo1, EM_LINEINDEX, WPARAM(line), 0);
    Memo1->SetSelStart(int(start));
    Memo1->SetSelLength(int(Memo1->Lines()->Strings(line).size()));
    Memo1->SetFocus();
}

void TForm1::Chart1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int X, int Y) {
    if (!FActiveSeries) return;
    const int index = FActiveSeries->Clicked(X, Y);
    if (index < 0) {
        Label20->SetCaption(QString());
        return;
    }
    const double x = FActiveSeries->XValue(index);
    const double v = FActiveSeries->YValue(index);
    const bool metric = CheckBox1->Checked();
    const QString separator = QStringLiteral("     ");
    const QString head = QStringLiteral("Shot = ") + FormatFloat(QStringLiteral("0"), x) +
                         separator + QStringLiteral("Velocity = ") + FormatValue(false, v, DecFmt) +
                         (metric ? QStringLiteral(" m/s") : QStringLiteral(" ft/s"));
    if (FPowerFactorMode) {
        Label20->SetCaption(head + separator + QStringLiteral("PF=") + PowerFactorText(v));
        return;
    }
    // The readout takes the weight box as it reads, whatever the CNV mode.
    double weight = 0.0;
    ParseDotDouble(Edit1->Text(), weight);
    const double energy = ShotEnergy(v, weight, TUnitState{metric, CheckBox2->Checked()});
    Label20->SetCaption(head + separator + QStringLiteral("Energy = ") +
                        FormatFloat(QStringLiteral("0.00"), energy) +
                        (metric ? QStringLiteral(" J") : QStringLiteral(" ft-lb")));
}

void TForm1::Chart1BeforeDrawSeries(TObject* /*Sender*/) {
    TChartCanvas* canvas = Chart1->Canvas();
    const TRect plot = Chart1->ChartRect();
    canvas->SetTextAlign(0);
    TFont* font = canvas->Font();
    font->SetName(QStringLiteral("Arial"));
    font->SetBold(true);
    font->SetColor(RGB(227, 227, 227));
    // A negative height is the character height: 40 % of the plot's.
    font->SetHeight(int((plot.Bottom - plot.Top) / -2.5));
    canvas->SetBrushStyle(bsClear);
    canvas->TextRect(plot, QStringLiteral("KVRN"),
                     tfCenter | tfVerticalCenter | tfSingleLine | tfNoPrefix);
}
