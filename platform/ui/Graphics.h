#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

#include "platform/ui/Types.h"

class QImage;

// An off-screen picture in 24-bit colour, white when made, drawn on in the
// class library's manner: text and outlines in black, one pixel wide,
// nothing filled. Main thread only.
class TBitmap {
public:
    TBitmap(int width, int height);
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const;
    int Height() const;

    // The font of the text written from now on: a family name, its size in
    // points at 96 dots per inch whatever the screen's resolution (so a fixed
    // layout always fits), bold or not.
    void SetFont(const QString& name, int points, bool bold);
    // The width of text in the current font, in pixels.
    int TextWidth(const QString& text) const;
    // Writes text with the top left of its line at (x, y).
    void TextOut(int x, int y, const QString& text);
    // The outline of a rectangle given by its corners: it covers the left and
    // top coordinates and stops one pixel short of the right and bottom ones.
    void FrameRect(const TRect& rect);
    // Copies the whole of another picture with its top left at (x, y).
    void Draw(int x, int y, const TBitmap& picture);

    // The picture as the bytes of a JPEG file at quality 0..100; empty when
    // it cannot be encoded.
    QByteArray JpegBytes(int quality) const;

    // The picture itself (platform use).
    QImage& Image();

private:
    struct TData;
    std::unique_ptr<TData> F;
};
