// Builds the program's resource archive from the drawings in this folder.
//
// pictures.txt says what goes where: each image list member is a PNG strip
// of square images (image i at x = i * size), rendered from the SVG
// drawings for every size the list is made in; the classic look is the
// same drawing standing on a soft shadow, the flat look the drawing alone.
// Cursors are Windows-style pairs: a mask bitmap (black where the cursor
// covers the screen) and a 24-bit colour bitmap whose bottom-left pixel
// carries the hot spot (x in the upper bits of the colour value, y in its
// lowest byte). Plain files (texts the windows read) are packed as they
// are, from the folder of pictures.txt. Everything is packed with the
// program's own zip component.
//
// Usage: tandex_respack pictures.txt drawings-folder output.zipx

#include "archive/archive_errors.h"
#include "archive/streams.h"
#include "archive/zip_kit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>
#include <cstdio>
#include <map>
#include <memory>

using namespace tandex::archive;

namespace {

struct ListEntry {
    int index = 0;
    QStringList layers;  // drawn in order, the first at the bottom
};

struct CursorEntry {
    int number = 0;
    QStringList layers;
    int hotX = 0, hotY = 0;  // in the 32-pixel cursor's own pixels
};

struct ArrowEntry {
    QString name;
    QStringList layers;
    int size = 0;
};

struct Manifest {
    // list name ("16", "128comm") -> sizes it is made in and its entries
    std::map<QString, int> listSizes;
    std::map<QString, QList<ListEntry>> lists;
    QList<CursorEntry> cursors;
    QList<ArrowEntry> arrows;
    QStringList files;  // member names, read beside the manifest
};

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "tandex_respack: %s\n", qPrintable(message));
    std::exit(1);
}

Manifest readManifest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) fail(QStringLiteral("cannot read ") + path);
    Manifest m;
    int lineNo = 0;
    QTextStream in(&file);
    while (!in.atEnd()) {
        ++lineNo;
        const QString line = in.readLine().section(u'#', 0, 0).simplified();
        if (line.isEmpty()) continue;
        const QStringList f = line.split(u' ');
        auto bad = [&] { fail(path + u':' + QString::number(lineNo) + QStringLiteral(": cannot read ") + line); };
        bool ok = true;
        if (f[0] == QLatin1String("list") && f.size() == 4) {
            // list <name> <index> <drawing[+drawing...]>
            const QString name = f[1];
            const int size = name == QLatin1String("128comm") ? 128 : name.toInt(&ok);
            const int index = f[2].toInt(&ok);
            if (!ok || size <= 0 || index < 0 || index > 255) bad();
            m.listSizes[name] = size;
            m.lists[name].append({index, f[3].split(u'+')});
        } else if (f[0] == QLatin1String("cursor") && f.size() == 5) {
            // cursor <number> <drawing> <hot x> <hot y>
            CursorEntry c{f[1].toInt(&ok), f[2].split(u'+'), f[3].toInt(), f[4].toInt()};
            if (!ok || c.hotX < 0 || c.hotX > 31 || c.hotY < 0 || c.hotY > 31) bad();
            m.cursors.append(c);
        } else if (f[0] == QLatin1String("bitmap") && f.size() == 4) {
            // bitmap <member name without .bmp> <size> <drawing>
            ArrowEntry a{f[1], f[3].split(u'+'), f[2].toInt(&ok)};
            if (!ok || a.size <= 0) bad();
            m.arrows.append(a);
        } else if (f[0] == QLatin1String("file") && f.size() == 2) {
            // file <name>: the name is the member's, so it may not leave the folder
            if (f[1].contains(u'/') || f[1].startsWith(u'.')) bad();
            m.files.append(f[1]);
        } else {
            bad();
        }
    }
    return m;
}

class Drawings {
public:
    explicit Drawings(const QString& folder) : folder_(folder) {}

    // The layers rendered over each other into a transparent square.
    QImage render(const QStringList& layers, int size) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        for (const QString& layer : layers) renderer(layer).render(&p, QRectF(0, 0, size, size));
        return image;
    }

private:
    QSvgRenderer& renderer(const QString& name) {
        auto& slot = renderers_[name];
        if (!slot) {
            const QString path = folder_ + u'/' + name + QStringLiteral(".svg");
            slot = std::make_unique<QSvgRenderer>(path);
            if (!slot->isValid()) fail(QStringLiteral("cannot render ") + path);
        }
        return *slot;
    }

    QString folder_;
    std::map<QString, std::unique_ptr<QSvgRenderer>> renderers_;
};

// The classic look: the picture stands on its own shadow, down and right.
QImage classicLook(const QImage& flat) {
    const int offset = qMax(1, flat.width() / 16);
    QImage shadow = flat.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shadow.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < shadow.width(); ++x) line[x] = qRgba(0, 0, 0, qAlpha(line[x]) * 3 / 8);
    }
    QImage out(flat.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(offset, offset, shadow);
    p.drawImage(0, 0, flat);
    return out;
}

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format)) fail(QStringLiteral("cannot encode an image as ") + QLatin1String(format));
    return bytes;
}

QByteArray listStrip(Drawings& drawings, const QList<ListEntry>& entries, int size, bool classic) {
    int count = 0;
    for (const ListEntry& e : entries) count = qMax(count, e.index + 1);
    QImage strip(size * count, size, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter p(&strip);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    for (const ListEntry& e : entries) {
        const QImage flat = drawings.render(e.layers, size);
        p.drawImage(e.index * size, 0, classic ? classicLook(flat) : flat);
    }
    p.end();
    return encode(strip, "PNG");
}

// The mask and colour bitmaps of a cursor.
std::pair<QByteArray, QByteArray> cursorBitmaps(Drawings& drawings, const CursorEntry& c) {
    const QImage picture = drawings.render(c.layers, 32).convertToFormat(QImage::Format_ARGB32);
    QImage mask(32, 32, QImage::Format_RGB32);
    QImage colour(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb px = picture.pixel(x, y);
            const bool covered = qAlpha(px) >= 128;
            mask.setPixel(x, y, covered ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
            // Covered pixels keep their colour, flattened onto white.
            const int a = qAlpha(px);
            auto onWhite = [a](int v) { return a ? qMin(255, v * 255 / a + (255 - a)) : 0; };
            colour.setPixel(x, y, covered ? qRgb(onWhite(qRed(px)), onWhite(qGreen(px)), onWhite(qBlue(px)))
                                          : qRgb(0, 0, 0));
        }
    // The hot spot's pixel is never part of the picture.
    const quint32 value = (quint32(c.hotX) << 8) | quint32(c.hotY);
    mask.setPixel(0, 31, qRgb(255, 255, 255));
    colour.setPixel(0, 31, qRgb(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF)));
    return {encode(mask.convertToFormat(QImage::Format_RGB888), "BMP"),
            encode(colour.convertToFormat(QImage::Format_RGB888), "BMP")};
}

}  // namespace

int main(int argc, char** argv) {
    // Rendering needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) fail(QStringLiteral("usage: tandex_respack pictures.txt drawings-folder output.zipx"));

    const Manifest manifest = readManifest(args[1]);
    Drawings drawings(args[2]);
    QMap<QString, QByteArray> members;
    for (const auto& [name, entries] : manifest.lists) {
        const int size = manifest.listSizes.at(name);
        for (bool classic : {false, true})
            members.insert(QStringLiteral("TDXIL") + name +
                               (name == QLatin1String("128comm") ? QStringLiteral(".bin")
                                : classic                        ? QStringLiteral("Classic.bin")
                                                                 : QStringLiteral("Flat.bin")),
                           listStrip(drawings, entries, size, classic));
    }
    for (const CursorEntry& c : manifest.cursors) {
        const auto [mask, colour] = cursorBitmaps(drawings, c);
        members.insert(QStringLiteral("TDXCU%1M.bmp").arg(c.number), mask);
        members.insert(QStringLiteral("TDXCU%1I.bmp").arg(c.number), colour);
    }
    for (const ArrowEntry& a : manifest.arrows) {
        QImage flat = drawings.render(a.layers, a.size).convertToFormat(QImage::Format_ARGB32);
        // Bitmaps have no alpha: the picture stands on white.
        QImage onWhite(flat.size(), QImage::Format_RGB888);
        onWhite.fill(Qt::white);
        QPainter(&onWhite).drawImage(0, 0, flat);
        members.insert(a.name + QStringLiteral(".bmp"), encode(onWhite, "BMP"));
    }
    const QDir manifestFolder = QFileInfo(args[1]).absoluteDir();
    for (const QString& name : manifest.files) {
        QFile file(manifestFolder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) fail(QStringLiteral("cannot read ") + file.fileName());
        members.insert(name, file.readAll());
    }

    // The archive is written beside its target and renamed over it only
    // when it is complete.
    const QString target = args[3];
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    try {
        TArcZipKit kit;
        kit.ArchiveType = ArcZip;  // ".zipx" names no type of its own
        kit.ForceType = true;
        kit.SetFileName(part);
        for (auto it = members.cbegin(); it != members.cend(); ++it)
            kit.AddFromStream(it.key(), std::make_shared<MemoryStream>(it.value()));
        kit.Save();
    } catch (const Exception& e) {
        QFile::remove(part);
        fail(QStringLiteral("cannot write ") + part + QStringLiteral(": ") + e.Message());
    }
    QFile::remove(target);
    if (!QFile::rename(part, target)) fail(QStringLiteral("cannot rename ") + part + QStringLiteral(" to ") + target);
    return 0;
}
