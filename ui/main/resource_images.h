#pragma once
// The pictures of the resource archive as the window uses them: an image
// list member is a PNG strip of square images, a cursor a pair of bitmaps
// (mask and colour) whose colour bitmap carries the hot spot in its
// bottom-left pixel.

#include <QByteArray>
#include <QCursor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <optional>

namespace tandex::ui {

// The images of a strip, left to right, each as high as the strip. An
// image with no visible pixel is an index the drawings leave free: it
// comes back null, like a missing one. An unreadable strip gives none.
QList<QImage> SplitImageStrip(const QByteArray& data);

// The hot spot stored in the colour bitmap's bottom-left pixel: x is the
// colour value (red in the lowest byte) shifted right by 8 bits, y its
// lowest byte.
QPoint CursorHotSpot(const QImage& colour);

struct TResourceCursor {
    QCursor cursor;
    QPoint hotSpot;
};
// A cursor from its mask (black where it covers the screen) and colour
// bitmaps; none when either is unreadable or their sizes differ.
std::optional<TResourceCursor> BuildResourceCursor(const QByteArray& mask, const QByteArray& colour);

// A bitmap member (the small arrows); null when unreadable.
QImage ReadBitmap(const QByteArray& data);

}  // namespace tandex::ui
