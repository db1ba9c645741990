#include "resource_images.h"

#include <QBitmap>
#include <QPixmap>

namespace tandex::ui {

namespace {

// Far above any strip the drawings make; a damaged or foreign member must
// not make the window allocate without bound.
constexpr int kLargestStripImages = 1024;

bool hasVisiblePixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 0) return true;
    }
    return false;
}

}  // namespace

QList<QImage> SplitImageStrip(const QByteArray& data) {
    QImage strip;
    if (!strip.loadFromData(data, "PNG")) return {};
    const int size = strip.height();
    if (size <= 0 || strip.width() % size != 0 || strip.width() / size > kLargestStripImages) return {};
    strip = strip.convertToFormat(QImage::Format_ARGB32);
    QList<QImage> images;
    for (int x = 0; x < strip.width(); x += size) {
        QImage image = strip.copy(x, 0, size, size);
        images.append(hasVisiblePixel(image) ? image : QImage());
    }
    return images;
}

QPoint CursorHotSpot(const QImage& colour) {
    if (colour.isNull()) return {};
    const QRgb px = colour.pixel(0, colour.height() - 1);
    const quint32 value = quint32(qRed(px)) | (quint32(qGreen(px)) << 8) | (quint32(qBlue(px)) << 16);
    return QPoint(int(value >> 8), int(value & 0xFF));
}

std::optional<TResourceCursor> BuildResourceCursor(const QByteArray& mask, const QByteArray& colour) {
    QImage maskImage, colourImage;
    if (!maskImage.loadFromData(mask, "BMP") || !colourImage.loadFromData(colour, "BMP")) return std::nullopt;
    if (maskImage.size() != colourImage.size() || maskImage.isNull()) return std::nullopt;
    colourImage = colourImage.convertToFormat(QImage::Format_RGB888);  // the hot spot's colour unchanged
    const QPoint hot = CursorHotSpot(colourImage);

    QImage picture(colourImage.size(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const bool covered = qGray(maskImage.pixel(x, y)) < 128;
            picture.setPixel(x, y, covered ? (colourImage.pixel(x, y) | 0xFF000000u) : 0u);
        }
    // A hot spot outside the picture would point elsewhere than drawn.
    const QPoint spot(qBound(0, hot.x(), picture.width() - 1), qBound(0, hot.y(), picture.height() - 1));
    return TResourceCursor{QCursor(QPixmap::fromImage(picture), spot.x(), spot.y()), spot};
}

QImage ReadBitmap(const QByteArray& data) {
    QImage image;
    image.loadFromData(data, "BMP");
    return image;
}

}  // namespace tandex::ui
