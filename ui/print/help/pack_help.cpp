// Packs the help source into the help file the program reads:
//   tandex-pack-help SOURCE TARGET
// The target is a zip whose one member is the source as it is
// (Windows-1252 text); the program reads the first member whatever its
// name. The zip is written beside the target under a name the archive
// component knows by its extension, and renamed over the target when it
// is complete.

#include "archive/archive_errors.h"
#include "archive/streams.h"
#include "archive/zip_kit.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tandex-pack-help SOURCE TARGET\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tandex-pack-help: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString packing = target + QStringLiteral(".packing.zip");
    QFile::remove(packing);
    try {
        tandex::archive::TArcZipKit kit;
        kit.SetFileName(packing);
        kit.AddFromStream(QFileInfo(source).fileName(),
                          std::make_shared<tandex::archive::MemoryStream>(in.readAll()));
        kit.Save();
        kit.OpenStream(nullptr);
    } catch (const tandex::archive::Exception& e) {
        std::fprintf(stderr, "tandex-pack-help: %s\n", qPrintable(e.Message()));
        QFile::remove(packing);
        return 1;
    }
    QFile::remove(target);
    if (!QFile::rename(packing, target)) {
        std::fprintf(stderr, "tandex-pack-help: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
