#include "ui/main/image_loader.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <tiffio.h>

namespace tandex::ui {

namespace {

const char kPngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1A', '\n'};

// Icons and metafiles are read whole; nothing real comes near this, and a
// bound keeps a hostile file from taking the memory.
constexpr qint64 kMaxWholeFile = 256 * 1024 * 1024;

QString OpenMessage(const QString& path) {
    return QStringLiteral("Unable to open file '%1'").arg(path);
}

std::optional<QByteArray> ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxWholeFile)
        return std::nullopt;
    return file.readAll();
}

quint16 LeU16(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 LeU32(const QByteArray& data, qsizetype at) {
    return qFromLittleEndian<quint32>(data.constData() + at);
}

QImage To32Bit(const QImage& image) {
    return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32);
}

// --- Metafiles -------------------------------------------------------------

// Both metafile libraries trust the record sizes they read, so the record
// chain is walked first: every record inside the file, none empty, and the
// end-of-file record present.
bool IsEnhancedMetafile(const QByteArray& data) {
    return data.size() >= 88 && LeU32(data, 0) == 1 && std::memcmp(data.constData() + 40, " EMF", 4) == 0;
}

bool EmfRecordsFit(const QByteArray& data) {
    if (LeU32(data, 4) < 88)  // the header record holds at least its fixed part
        return false;
    qsizetype at = 0;
    while (at + 8 <= data.size()) {
        const quint32 type = LeU32(data, at), size = LeU32(data, at + 4);
        if (size < 8 || size % 4 != 0 || size > quint64(data.size() - at))
            return false;
        if (type == 14)  // EMR_EOF
            return true;
        at += size;
    }
    return false;
}

bool WmfRecordsFit(const QByteArray& data) {
    qsizetype at = 0;
    if (data.size() >= 22 && LeU32(data, 0) == 0x9AC6CDD7u)  // placeable header
        at = 22;
    if (at + 18 > data.size() || LeU16(data, at + 2) != 9)
        return false;
    at += 18;
    while (at + 6 <= data.size()) {
        const quint64 bytes = quint64(LeU32(data, at)) * 2;
        if (bytes < 6 || bytes > quint64(data.size() - at))
            return false;
        if (LeU16(data, at + 4) == 0)  // META_EOF
            return true;
        at += qsizetype(bytes);
    }
    return false;
}

// The converter trusts the header's pointers to its description and pixel
// format, and reads a description of length 0 up to a terminator wherever
// it points. Both are only metadata: one that is empty or does not lie
// inside the header is dropped instead of read.
void DropStrayHeaderParts(QByteArray& data) {
    const quint32 headerSize = LeU32(data, 4);
    auto keepOrDrop = [&](qsizetype countAt, qsizetype offsetAt, quint64 unit) {
        const quint64 count = LeU32(data, countAt), offset = LeU32(data, offsetAt);
        if (count == 0 || offset < 88 || offset + count * unit > headerSize) {
            qToLittleEndian<quint32>(0, data.data() + countAt);
            qToLittleEndian<quint32>(0, data.data() + offsetAt);
        }
    };
    keepOrDrop(60, 64, 2);  // nDescription, offDescription (UTF-16 units)
    if (headerSize >= 100)
        keepOrDrop(88, 92, 1);  // cbPixelFormat, offPixelFormat
}

std::optional<QByteArray> EmfToSvg(QByteArray data) {
    DropStrayHeaderParts(data);
    generatorOptions options{};
    char nameSpace[] = "";
    options.nameSpace = nameSpace;
    options.svgDelimiter = true;
    options.emfplus = true;
    char* out = nullptr;
    size_t outLength = 0;
    const int ok = emf2svg(data.data(), size_t(data.size()), &out, &outLength, &options);
    std::unique_ptr<char, decltype(&std::free)> owned(out, &std::free);
    if (!ok || !out)
        return std::nullopt;
    return QByteArray(out, qsizetype(outLength));
}

std::optional<QByteArray> WmfToSvg(QByteArray data) {
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api)
            wmf_api_destroy(api);
        return std::nullopt;
    }
    // The library frees everything it allocated, the SVG text included,
    // with the API; the text is copied out before that.
    std::unique_ptr<wmfAPI, decltype(&wmf_api_destroy)> owned(api, &wmf_api_destroy);
    if (wmf_mem_open(api, reinterpret_cast<unsigned char*>(data.data()), long(data.size())) != wmf_E_None)
        return std::nullopt;
    wmfD_Rect bbox{};
    if (wmf_scan(api, 0, &bbox) != wmf_E_None)
        return std::nullopt;
    unsigned int width = 0, height = 0;
    if (wmf_display_size(api, &width, &height, 96, 96) != wmf_E_None || width == 0 || height == 0)
        return std::nullopt;
    wmf_svg_t* svg = WMF_SVG_GetData(api);
    svg->out = wmf_stream_create(api, nullptr);
    svg->bbox = bbox;
    svg->width = width;
    svg->height = height;
    svg->flags |= WMF_SVG_INLINE_IMAGES;
    const bool played = wmf_play(api, 0, &bbox) == wmf_E_None;
    char* text = nullptr;
    unsigned long length = 0;
    wmf_stream_destroy(api, svg->out, &text, &length);
    if (!played || !text)
        return std::nullopt;
    return QByteArray(text, qsizetype(length));
}

// --- Icons -----------------------------------------------------------------

struct IconEntry {
    quint8 width = 0;
    quint32 bytes = 0, offset = 0;
};

QImage DecodeIconEntry(const QByteArray& file, const QByteArray& entryHead, const IconEntry& entry) {
    // A one-entry icon file: the reader sees just the chosen image.
    QByteArray one;
    one.reserve(22 + qsizetype(entry.bytes));
    one.append(file.constData(), 4);
    one.append("\x01\x00", 2);
    one.append(entryHead.constData(), 12);
    char offset[4];
    qToLittleEndian<quint32>(22, offset);
    one.append(offset, 4);
    one.append(file.constData() + entry.offset, qsizetype(entry.bytes));

    const bool png = entry.bytes >= 8 && std::memcmp(one.constData() + 22, kPngSignature, 8) == 0;
    QByteArray imageData = png ? one.mid(22) : one;
    QBuffer buffer(&imageData);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, png ? "png" : "ico");
    return To32Bit(reader.read());
}

}  // namespace

void SwapRedBlue(int width, int height, quint32* pixels) {
    const qsizetype count = qsizetype(width) * height;
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 p = pixels[i];
        pixels[i] = (p & 0xFF00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
    }
}

QImage LoadTiffImage(const QString& path) {
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tif(TIFFOpen(QFile::encodeName(path).constData(), "r"), &TIFFClose);
    if (!tif)
        throw ImageLoadError(OpenMessage(path).toStdString());
    quint32 width = 0, height = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    // The raster is width x height 32-bit pixels; a file may claim sizes
    // whose product does not fit, which must not become a small buffer.
    const quint64 bytes = quint64(width) * height * 4;
    if (width == 0 || height == 0 || bytes > quint64(INT_MAX))
        throw ImageLoadError("Unable to create TBitmap buffer");
    QImage image(int(width), int(height), QImage::Format_ARGB32);
    if (image.isNull() || image.bytesPerLine() != qsizetype(width) * 4)
        throw ImageLoadError("Unable to create TBitmap buffer");
    image.fill(0);  // rows a damaged file does not deliver stay black
    auto* raster = reinterpret_cast<quint32*>(image.bits());
    // libtiff's raster starts at the lower left; asking for the top-left
    // orientation lands it upright in the top-down picture. Errors in the
    // strips leave those rows as they are, as with any partial image.
    TIFFReadRGBAImageOriented(tif.get(), width, height, raster, ORIENTATION_TOPLEFT, 0);
    tif.reset();
    SwapRedBlue(int(width), int(height), raster);
    return image;
}

QImage LoadMetafileImage(const QString& path) {
    const auto data = ReadWholeFile(path);
    if (!data)
        throw ImageLoadError(OpenMessage(path).toStdString());
    const QString invalid = QStringLiteral("Invalid metafile '%1'").arg(path);
    std::optional<QByteArray> svg;
    if (IsEnhancedMetafile(*data)) {
        if (EmfRecordsFit(*data))
            svg = EmfToSvg(*data);
    } else if (WmfRecordsFit(*data)) {
        svg = WmfToSvg(*data);
    }
    if (!svg)
        throw ImageLoadError(invalid.toStdString());
    QSvgRenderer renderer(*svg);
    const QSize size = renderer.defaultSize();
    if (!renderer.isValid() || size.isEmpty())
        throw ImageLoadError(invalid.toStdString());
    // The size comes from the file's header; the same bound as Qt's own
    // image readers keeps a damaged one from asking for gigabytes.
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (qint64(size.width()) * size.height() * 4 > limit)
        throw ImageLoadError("Unable to create TBitmap buffer");
    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        throw ImageLoadError("Unable to create TBitmap buffer");
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

QImage LoadIconImage(const QString& path, qint32& frame) {
    const auto data = ReadWholeFile(path);
    if (!data || data->size() < 6)
        return {};
    const QByteArray& file = *data;
    const int count = LeU16(file, 4);
    if (LeU16(file, 0) != 0 || LeU16(file, 2) != 1 || count < 1 || 6 + qsizetype(count) * 16 > file.size())
        return {};
    // The directory comes from the file: every entry must lie inside it
    // before any of them is copied.
    std::vector<IconEntry> entries(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const qsizetype at = 6 + qsizetype(i) * 16;
        IconEntry& e = entries[size_t(i)];
        e.width = quint8(file[at]);
        e.bytes = LeU32(file, at + 8);
        e.offset = LeU32(file, at + 12);
        if (quint64(e.offset) + e.bytes > quint64(file.size()))
            return {};
    }

    int index = frame;
    if (index <= -2) {
        index = -1;
        for (int i = 0; i < count; ++i)
            if (entries[size_t(i)].width == 32)
                index = i;
    }
    if (index < 0)
        index = count - 1;
    if (index >= count)
        return {};
    QImage image = DecodeIconEntry(file, file.mid(6 + qsizetype(index) * 16, 16), entries[size_t(index)]);
    if (image.isNull())
        return {};
    frame = qint32((quint32(index) << 16) | quint32(count - 1));
    return image;
}

QImage LoadImageByMagic(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ImageLoadError(OpenMessage(path).toStdString());
    const QByteArray head = file.read(8);
    const char* format = nullptr;
    if (head.startsWith("BM"))
        format = "bmp";
    else if (head.size() == 8 && std::memcmp(head.constData(), kPngSignature, 8) == 0)
        format = "png";
    else if (head.startsWith("GIF"))
        format = "gif";
    else if (head.startsWith("\xFF\xD8"))
        format = "jpeg";
    if (!format || !file.seek(0))
        return {};
    // A file that fails to decode gives no picture at all, so the caller
    // reports a failed load instead of showing an empty one.
    QImageReader reader(&file, format);
    return To32Bit(reader.read());
}

}  // namespace tandex::ui
