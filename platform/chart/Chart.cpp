#include "platform/chart/Chart.h"

#include <QFont>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QWheelEvent>
#include <QWidget>

#include "platform/ui/Graphics.h"
#include "platform/ui/QtBridge.h"

namespace {

std::optional<TMouseButton> ButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return mbLeft;
        case Qt::RightButton:
            return mbRight;
        case Qt::MiddleButton:
            return mbMiddle;
        default:
            return std::nullopt;
    }
}

}  // namespace

// The widget behind TChart. It forwards to the chart while the chart lives;
// the chart cuts the link before it goes.
class ChartWidget : public QWidget {
public:
    explicit ChartWidget(TChart* chart) : FChart(chart) {
        setMouseTracking(true);
        // Paint covers every pixel.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    TChart* FChart;

protected:
    void paintEvent(QPaintEvent*) override {
        if (!FChart) return;
        QPainter painter(this);
        FChart->PaintWidget(painter);
    }
    void mousePressEvent(QMouseEvent* event) override {
        const auto button = ButtonOf(event->button());
        if (FChart && button)
            FChart->MouseDown(*button, ShiftStateOf(event->modifiers(), event->buttons()),
                              event->position().toPoint());
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (FChart)
            FChart->MouseMove(ShiftStateOf(event->modifiers(), event->buttons()),
                              event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const auto button = ButtonOf(event->button());
        if (FChart && button) FChart->MouseUp(*button, event->position().toPoint());
    }
    void wheelEvent(QWheelEvent* event) override {
        if (FChart) FChart->Wheel(event->angleDelta().y(), event->position().toPoint());
        event->accept();
    }
};

void TChartCanvas::TextRect(const TRect& rect, const QString& text, TTextFormat format) {
    if (!FPainter) return;
    const QRect box(rect.Left, rect.Top, rect.Width(), rect.Height());
    FPainter->save();
    if (FBrushStyle == bsSolid) FPainter->fillRect(box, ColorToQColor(FBrushColor));
    FPainter->setFont(ToQFont(FFont));
    FPainter->setPen(ColorToQColor(FFont.Color()));
    int flags = (format & tfCenter ? Qt::AlignHCenter : Qt::AlignLeft) |
                (format & tfVerticalCenter ? Qt::AlignVCenter : Qt::AlignTop);
    if (format & tfSingleLine) flags |= Qt::TextSingleLine;
    if (!(format & tfNoPrefix)) flags |= Qt::TextShowMnemonic;
    FPainter->drawText(box, flags, text);
    FPainter->restore();
}

TChart::TChart(TComponent* owner)
    : TWinControl(owner, new ChartWidget(this)), FCore(std::make_unique<ChartCore>()) {
    FCore->SetViewSizeSource([this] {
        const QWidget* widget = Widget();
        return widget ? widget->size() : QSize();
    });
    FCore->OnChange = [this] { Changed(); };
    FCore->OnGetAxisLabel = [this](ChartAxis* axis, QString& text) {
        if (OnGetAxisLabel) OnGetAxisLabel(axis, nullptr, -1, text);
    };
    FCore->OnBeforeDrawSeries = [this](QPainter& painter, const QRect& plot) {
        if (!OnBeforeDrawSeries) return;
        // The canvas and ChartRect belong to the drawing in progress only,
        // also when the handler throws.
        struct Bind {
            TChart* Chart;
            ~Bind() {
                Chart->FCanvas.FPainter = nullptr;
                Chart->FDrawingPlot.reset();
            }
        } bind{this};
        FCanvas.FPainter = &painter;
        FDrawingPlot = plot;
        OnBeforeDrawSeries(this);
    };
}

TChart::~TChart() {
    FCore->OnChange = nullptr;
    FCore->OnGetAxisLabel = nullptr;
    FCore->OnBeforeDrawSeries = nullptr;
    FCore->SetViewSizeSource(nullptr);
    if (auto* widget = static_cast<ChartWidget*>(Widget())) widget->FChart = nullptr;
}

TRect TChart::ChartRect() const {
    const QRect plot = FDrawingPlot ? *FDrawingPlot : FCore->PlotRect();
    return {plot.left(), plot.top(), plot.left() + plot.width(), plot.top() + plot.height()};
}

void TChart::Draw(QPainter& painter, const QRect& rect) {
    FCore->Paint(painter, rect);
}

void TChart::Draw(QImage& image, const QRect& rect) {
    QPainter painter(&image);
    Draw(painter, rect);
}

void TChart::Draw(TBitmap& picture, const TRect& rect) {
    Draw(picture.Image(), QRect(rect.Left, rect.Top, rect.Width(), rect.Height()));
}

void TChart::Changed() {
    if (FAutoRepaint) Invalidate();
}

void TChart::PaintWidget(QPainter& painter) {
    FireUserEvent([&](TObject*) {
        FCore->Paint(painter, QRect(QPoint(0, 0), FCore->ViewSize()));
        if (const auto band = FCore->ZoomBand()) {
            painter.setPen(QPen(Qt::black, 0, Qt::DotLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(band->adjusted(0, 0, -1, -1));
        }
    });
}

// The core lays the chart out for the mouse, which runs OnGetAxisLabel: its
// exceptions, too, go to the default handler rather than into Qt.
void TChart::MouseDown(TMouseButton button, TShiftState shift, const QPoint& pos) {
    if (OnMouseDown)
        FireUserEvent([&](TObject*) { OnMouseDown(this, button, shift, pos.x(), pos.y()); });
    FireUserEvent([&](TObject*) { FCore->MousePress(button, pos); });
}

void TChart::MouseMove(TShiftState shift, const QPoint& pos) {
    FireUserEvent([&](TObject*) { FCore->MouseMove(pos); });
    // The band follows the mouse whatever AutoRepaint says.
    if (FCore->ZoomBand()) Widget()->update();
    if (OnMouseMove) FireUserEvent([&](TObject*) { OnMouseMove(this, shift, pos.x(), pos.y()); });
}

void TChart::MouseUp(TMouseButton button, const QPoint& pos) {
    const bool hadBand = FCore->ZoomBand().has_value();
    FireUserEvent([&](TObject*) { FCore->MouseRelease(button, pos); });
    if (hadBand) Widget()->update();
}

void TChart::Wheel(int angleDelta, const QPoint& pos) {
    FireUserEvent([&](TObject*) { FCore->MouseWheel(angleDelta, pos); });
}

void TLineSeries::SetParentChart(TChart* chart) {
    FParentChart = chart;
    SetChart(chart ? &chart->Core() : nullptr);
}

void TBarSeries::SetParentChart(TChart* chart) {
    FParentChart = chart;
    SetChart(chart ? &chart->Core() : nullptr);
}
