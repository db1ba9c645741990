#include "ui/print/picture_routines.h"

#include <QPainter>

#include "ui/print/emf_player.h"
#include "ui/print/gdiplus_subset.h"
#include "ui/print/preview_units.h"

namespace tandex::print {

QSize TGraphic::size() const {
    if (isMetafile()) {
        const int dpi = ScreenPixelsPerInch();
        return EmfPlayer(Metafile).naturalSize(dpi, dpi);
    }
    return Bitmap.size();
}

TGDIPlusSubset& GDIPlusInstance() {
    static TGDIPlusSubset instance;
    return instance;
}

void StretchBitmapBits(QPainter& canvas, const QImage& bitmap, const QRect& rect) {
    if (bitmap.isNull()) return;
    canvas.save();
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    canvas.drawImage(QRectF(rect), bitmap, QRectF(bitmap.rect()));
    canvas.restore();
}

void DrawGraphic(QPainter& canvas, const QRect& rect, const TGraphic& picture) {
    if (picture.isMetafile()) GDIPlusInstance().Draw(canvas, rect, picture.Metafile);
    else StretchBitmapBits(canvas, picture.Bitmap, rect);
}

void DrawGraphicGray(QPainter& canvas, const QRect& rect, const TGraphic& picture, int brightness,
                     int contrast) {
    if (picture.isNull()) return;
    QImage bitmap;
    if (picture.isMetafile()) {
        const QSize natural = picture.size();
        if (natural.isEmpty()) return;
        bitmap = QImage(natural, QImage::Format_ARGB32);
        bitmap.fill(Qt::white);
        QPainter p(&bitmap);
        DrawMetafilePlain(p, bitmap.rect(), picture.Metafile);
    } else {
        bitmap = QImage(picture.Bitmap.size(), QImage::Format_ARGB32);
        bitmap.fill(Qt::white);
        QPainter p(&bitmap);
        p.drawImage(0, 0, picture.Bitmap);
    }
    MakeBitmapGray(bitmap, brightness, contrast, picture.Transparent, picture.TransparentColor);
    StretchBitmapBits(canvas, bitmap, rect);
}

void MakeBitmapGray(QImage& bitmap, int brightness, int contrast, bool transparent,
                    QRgb transparentColor) {
    if (bitmap.isNull()) return;
    brightness = qBound(-100, brightness, 100);
    contrast = qBound(-100, contrast, 100);
    if (bitmap.format() != QImage::Format_ARGB32) bitmap = bitmap.convertToFormat(QImage::Format_ARGB32);
    const int offset = ((255 * brightness - 128 * (contrast + 100)) / 100) + 128;
    const QRgb key = transparentColor & 0x00FFFFFF;
    for (int y = 0; y < bitmap.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) {
            const QRgb px = line[x];
            if (transparent && (px & 0x00FFFFFF) == key) continue;
            const int luminance = 30 * qRed(px) + 59 * qGreen(px) + 11 * qBlue(px);
            const int gray = qBound(0, luminance * (contrast + 100) / 10000 + offset, 255);
            line[x] = qRgba(gray, gray, gray, qAlpha(px));
        }
    }
}

}  // namespace tandex::print
