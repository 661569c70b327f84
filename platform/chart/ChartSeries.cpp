#include "platform/chart/ChartSeries.h"

#include <algorithm>
#include <cmath>

#include "platform/chart/ChartCore.h"
#include "platform/core/Exception.h"

ChartSeries::ChartSeries(SeriesKind kind) : FKind(kind) {}

ChartSeries::~ChartSeries() {
    if (FChart) FChart->DetachSeries(this);
}

void ChartSeries::SetChart(ChartCore* chart) {
    if (FChart == chart) return;
    if (FChart) FChart->DetachSeries(this);
    FChart = chart;
    if (FChart) FChart->AttachSeries(this);
}

void ChartSeries::SetActive(bool active) {
    if (FActive == active) return;
    FActive = active;
    Changed();
}

void ChartSeries::SetTitle(const QString& title) {
    if (FTitle == title) return;
    FTitle = title;
    Changed();
}

void ChartSeries::SetColorEachPoint(bool on) {
    if (FColorEachPoint == on) return;
    FColorEachPoint = on;
    StyleChanged();
}

void ChartSeries::SetXValuesOrder(TChartListOrder order) {
    FOrder = order;
}

int ChartSeries::AddXY(double x, double y, const QString& label, TColor color) {
    size_t at = FX.size();
    if (FOrder == loAscending && !FX.empty() && x < FX.back()) {
        // Equal X values keep their arrival order.
        at = size_t(std::upper_bound(FX.begin(), FX.end(), x) - FX.begin());
    }
    const bool append = at == FX.size();
    if (append && !FX.empty() && !(x >= FX.back())) FAscending = false;
    FX.insert(FX.begin() + std::ptrdiff_t(at), x);
    FY.insert(FY.begin() + std::ptrdiff_t(at), y);
    FColors.insert(FColors.begin() + std::ptrdiff_t(at), color);
    FLabels.insert(FLabels.begin() + std::ptrdiff_t(at), label);

    if (FExtremes.Valid && std::isfinite(x) && std::isfinite(y)) {
        if (!FExtremes.Any) {
            FExtremes = {true, x, x, y, y, true};
        } else {
            FExtremes.MinX = std::min(FExtremes.MinX, x);
            FExtremes.MaxX = std::max(FExtremes.MaxX, x);
            FExtremes.MinY = std::min(FExtremes.MinY, y);
            FExtremes.MaxY = std::max(FExtremes.MaxY, y);
        }
    }
    if (append) {
        Changed();
    } else {
        Reshaped();
    }
    return int(at);
}

void ChartSeries::Clear() {
    FX.clear();
    FY.clear();
    FColors.clear();
    FLabels.clear();
    FAscending = true;
    FExtremes = {};
    Reshaped();
}

static Exception OutOfBounds(int index) {
    return Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

void ChartSeries::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) throw OutOfBounds(index);
}

void ChartSeries::Delete(int index) {
    Delete(index, 1);
}

void ChartSeries::Delete(int start, int count) {
    if (count <= 0) return;
    CheckIndex(start);
    if (count > Count() - start) throw OutOfBounds(start + count - 1);
    const auto from = std::ptrdiff_t(start);
    const auto to = std::ptrdiff_t(start + count);
    FX.erase(FX.begin() + from, FX.begin() + to);
    FY.erase(FY.begin() + from, FY.begin() + to);
    FColors.erase(FColors.begin() + from, FColors.begin() + to);
    FLabels.erase(FLabels.begin() + from, FLabels.begin() + to);
    // Removing points keeps an ascending series ascending, and may make an
    // unordered one ascending again.
    if (!FAscending) FAscending = std::is_sorted(FX.begin(), FX.end());
    FExtremes.Valid = false;
    Reshaped();
}

double ChartSeries::XValue(int index) const {
    CheckIndex(index);
    return FX[size_t(index)];
}

double ChartSeries::YValue(int index) const {
    CheckIndex(index);
    return FY[size_t(index)];
}

QString ChartSeries::Label(int index) const {
    CheckIndex(index);
    return FLabels[size_t(index)];
}

TColor ChartSeries::PointColor(int index) const {
    CheckIndex(index);
    return FColors[size_t(index)];
}

TColor ChartSeries::DrawColor(int index) const {
    const TColor own = FColors[size_t(index)];
    return FColorEachPoint && own != clDefault ? own : FSeriesColor;
}

void ChartSeries::UpdateExtremes() const {
    if (FExtremes.Valid) return;
    Extremes e;
    e.Valid = true;
    for (size_t i = 0; i < FX.size(); ++i) {
        const double x = FX[i], y = FY[i];
        if (!std::isfinite(x) || !std::isfinite(y)) continue;
        if (!e.Any) {
            e.MinX = e.MaxX = x;
            e.MinY = e.MaxY = y;
            e.Any = true;
            continue;
        }
        e.MinX = std::min(e.MinX, x);
        e.MaxX = std::max(e.MaxX, x);
        e.MinY = std::min(e.MinY, y);
        e.MaxY = std::max(e.MaxY, y);
    }
    FExtremes = e;
}

double ChartSeries::MinXValue() const {
    UpdateExtremes();
    return FExtremes.MinX;
}

double ChartSeries::MaxXValue() const {
    UpdateExtremes();
    return FExtremes.MaxX;
}

double ChartSeries::MinYValue() const {
    UpdateExtremes();
    return FExtremes.MinY;
}

double ChartSeries::MaxYValue() const {
    UpdateExtremes();
    return FExtremes.MaxY;
}

int ChartSeries::Clicked(int x, int y) const {
    if (!FChart || !FActive) return -1;
    return FChart->HitTest(*this, x, y);
}

void ChartSeries::StyleChanged() {
    Reshaped();
}

void ChartSeries::Reshaped() {
    ++FEpoch;
    Changed();
}

void ChartSeries::Changed() {
    if (FChart) FChart->Changed();
}

LineSeries::LineSeries() : ChartSeries(SeriesKind::Line) {}

void LineSeries::TSeriesPointer::SetVisible(bool visible) {
    if (FVisible == visible) return;
    FVisible = visible;
    FOwner->StyleChanged();
}

void LineSeries::TSeriesPointer::SetHorizSize(int size) {
    if (FHorizSize == size) return;
    FHorizSize = size;
    FOwner->StyleChanged();
}

void LineSeries::TSeriesPointer::SetVertSize(int size) {
    if (FVertSize == size) return;
    FVertSize = size;
    FOwner->StyleChanged();
}

void LineSeries::TSeriesPointer::SetStyle(TSeriesPointerStyle style) {
    if (FStyle == style) return;
    FStyle = style;
    FOwner->StyleChanged();
}

void LineSeries::TChartPen::SetVisible(bool visible) {
    if (FVisible == visible) return;
    FVisible = visible;
    FOwner->StyleChanged();
}

void LineSeries::TChartPen::SetWidth(int width) {
    width = std::max(width, 1);
    if (FWidth == width) return;
    FWidth = width;
    FOwner->StyleChanged();
}

void LineSeries::TChartPen::SetSmallDots(bool on) {
    if (FSmallDots == on) return;
    FSmallDots = on;
    FOwner->StyleChanged();
}

BarSeries::BarSeries() : ChartSeries(SeriesKind::Bar) {}

void BarSeries::SetCustomBarWidth(int pixels) {
    pixels = std::max(pixels, 0);
    if (FCustomBarWidth == pixels) return;
    FCustomBarWidth = pixels;
    StyleChanged();
}

void BarSeries::SetBarWidthPercent(int percent) {
    percent = std::clamp(percent, 1, 100);
    if (FBarWidthPercent == percent) return;
    FBarWidthPercent = percent;
    StyleChanged();
}
