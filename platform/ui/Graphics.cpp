#include "platform/ui/Graphics.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

struct TBitmap::TData {
    QImage Image;
    QFont Font;
};

namespace {

// A painter set up as every drawing call expects it.
void Prepare(QPainter& painter, const QFont& font) {
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.setFont(font);
}

}  // namespace

TBitmap::TBitmap(int width, int height) : F(std::make_unique<TData>()) {
    F->Image = QImage(width, height, QImage::Format_RGB888);
    F->Image.fill(Qt::white);
}

TBitmap::~TBitmap() = default;

int TBitmap::Width() const {
    return F->Image.width();
}

int TBitmap::Height() const {
    return F->Image.height();
}

void TBitmap::SetFont(const QString& name, int points, bool bold) {
    QFont font(name);
    font.setPixelSize(points * 96 / 72);
    font.setBold(bold);
    F->Font = font;
}

int TBitmap::TextWidth(const QString& text) const {
    return QFontMetrics(F->Font, &F->Image).horizontalAdvance(text);
}

void TBitmap::TextOut(int x, int y, const QString& text) {
    QPainter painter(&F->Image);
    Prepare(painter, F->Font);
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

void TBitmap::FrameRect(const TRect& rect) {
    QPainter painter(&F->Image);
    Prepare(painter, F->Font);
    // QPainter strokes a rectangle one pixel wider and higher than its size.
    painter.drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
}

void TBitmap::Draw(int x, int y, const TBitmap& picture) {
    QPainter painter(&F->Image);
    painter.drawImage(QPoint(x, y), picture.F->Image);
}

QByteArray TBitmap::JpegBytes(int quality) const {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!F->Image.save(&buffer, "JPG", quality)) return QByteArray();
    return bytes;
}

QImage& TBitmap::Image() {
    return F->Image;
}
