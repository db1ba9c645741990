#pragma once
// Turns an image file into a 32-bit picture for the image views. Every
// routine returns QImage::Format_ARGB32 (bytes blue, green, red and a fourth
// byte in memory order), which is what the image comparison works on. The
// caller picks the routine by the file's extension; LoadImageByMagic then
// trusts the first bytes over that extension.
//
// Needs QtGui's image classes but no widget and no window, so the batch
// mode and the tests use it headless.

#include <QImage>
#include <QString>
#include <QtGlobal>
#include <stdexcept>

namespace tandex::ui {

// A loader failure whose message is the text the user sees in the log.
class ImageLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// TIFF through libtiff. Throws "Unable to open file '<path>'" when libtiff
// cannot open it and "Unable to create TBitmap buffer" when no picture of the
// image's size can be made.
QImage LoadTiffImage(const QString& path);

// A Windows metafile (WMF, placeable or not) or an enhanced metafile (EMF),
// drawn at its own size. Throws ImageLoadError when the file cannot be read
// or is no valid metafile.
QImage LoadMetafileImage(const QString& path);

// One entry of an icon file. frame <= -2 asks for the last 32-pixel entry
// (else the last one), -1 for the last one, 0.. for that entry. On success
// frame becomes (shown index << 16) | (entry count - 1), so the caller can
// step through the entries. Never throws: a null picture (frame unchanged)
// when nothing could be shown.
QImage LoadIconImage(const QString& path, qint32& frame);

// BMP, PNG, GIF or JPEG, chosen by the file's first bytes. A null picture
// for any other content and for a file that does not decode; throws
// ImageLoadError only when the file cannot be opened.
QImage LoadImageByMagic(const QString& path);

// Exchanges the first and third byte of each 32-bit pixel (RGBA to BGRA);
// the fourth byte stays.
void SwapRedBlue(int width, int height, quint32* pixels);

}  // namespace tandex::ui
