#pragma once
// The preview's picture routines: a bitmap or an EMF page stretched into a
// rectangle, in colour or gray.

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;

namespace tandex::print {

class TGDIPlusSubset;

// A picture the preview places: a bitmap, or an EMF page when Metafile
// holds one. A transparent bitmap leaves the pixels of its transparent
// colour alone when it is made gray.
struct TGraphic {
    QImage Bitmap;
    QByteArray Metafile;
    bool Transparent = false;
    QRgb TransparentColor = 0xFFFFFFFF;

    static TGraphic FromBitmap(const QImage& bitmap) {
        TGraphic g;
        g.Bitmap = bitmap;
        return g;
    }
    static TGraphic FromMetafile(const QByteArray& page) {
        TGraphic g;
        g.Metafile = page;
        return g;
    }

    bool isMetafile() const { return !Metafile.isEmpty(); }
    bool isNull() const { return Bitmap.isNull() && Metafile.isEmpty(); }
    // The natural size in screen pixels (a page's frame at the screen's
    // resolution). A malformed page raises EEmfError.
    QSize size() const;
};

// The unit's single drawing subset, made on first use.
TGDIPlusSubset& GDIPlusInstance();

void DrawGraphic(QPainter& canvas, const QRect& rect, const TGraphic& picture);
// The whole bitmap stretched into rect without smoothing.
void StretchBitmapBits(QPainter& canvas, const QImage& bitmap, const QRect& rect);
void DrawGraphicGray(QPainter& canvas, const QRect& rect, const TGraphic& picture, int brightness,
                     int contrast);
// Turns bitmap into 32-bit gray: luminance weighted 30/59/11 in percent,
// contrast scaling it around 128 by (contrast + 100) %, brightness adding
// 2.55 × brightness, all in integer arithmetic. With transparent set, the
// pixels of transparentColor (compared by red, green and blue) stay as
// they are; the alpha byte never changes.
void MakeBitmapGray(QImage& bitmap, int brightness, int contrast, bool transparent = false,
                    QRgb transparentColor = 0);

}  // namespace tandex::print
