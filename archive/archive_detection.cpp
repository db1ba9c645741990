#include "archive/archive_detection.h"

#include "archive/bzip2_archive.h"
#include "archive/gzip_archive.h"
#include "archive/tar_items.h"
#include "archive/zip_records.h"

#include <QFileInfo>

namespace tandex::archive {

namespace {

TArchiveType typeOfExtension(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return ArcUnknown;
    QString extension = name.mid(dot);
    for (QChar& c : extension)
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - 32);
    static const struct {
        const char16_t* extension;
        TArchiveType type;
    } table[] = {
        {u".ZIP", ArcZip}, {u".JAR", ArcZip},         {u".EXE", ArcSelfExtractingZip},
        {u".TAR", ArcTar}, {u".GZ", ArcGzip},         {u".TGZ", ArcGzippedTar},
        {u".CAB", ArcCab}, {u".BZ2", ArcBzip2},       {u".TBZ", ArcBzippedTar},
    };
    for (const auto& entry : table)
        if (extension == QStringView(entry.extension)) return entry.type;
    return ArcUnknown;
}

// A short stream is simply not of the type; the tests that read whole
// headers signal that with the stream's read error.
template <typename Test>
TArchiveType guarded(Stream& stream, Test test) {
    const int64_t saved = stream.Position();
    try {
        const TArchiveType type = TArchiveType(test(stream));
        stream.SetPosition(saved);
        return type;
    } catch (const StreamFilerError&) {
        stream.SetPosition(saved);
        return ArcUnknown;
    } catch (...) {
        stream.SetPosition(saved);
        throw;
    }
}

TArchiveType contentTest(Stream& stream, TArchiveType type) {
    switch (type) {
        case ArcZip:
            return guarded(stream, [](Stream& s) { return VerifyZip(s); });
        case ArcSelfExtractingZip:
            return guarded(stream, [](Stream& s) { return VerifySelfExtractingZip(s); });
        case ArcTar:
            return guarded(stream, [](Stream& s) {
                s.SetPosition(0);
                return VerifyTar(s);
            });
        case ArcGzip:
        case ArcGzippedTar:
            return guarded(stream, [](Stream& s) { return VerifyGzip(s); });
        case ArcCab:
            return IsCabinet(stream);
        case ArcBzip2:
        case ArcBzippedTar:
            return guarded(stream, [](Stream& s) { return VerifyBzip2(s); });
        default:
            return ArcUnknown;
    }
}

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

TArchiveType DetectArchiveTypeByContent(Stream& stream) {
    for (TArchiveType type : {ArcSelfExtractingZip, ArcZip, ArcTar, ArcGzip, ArcBzip2, ArcCab}) {
        const TArchiveType found = contentTest(stream, type);
        if (found != ArcUnknown) return found;
    }
    return ArcUnknown;
}

TArchiveType DetectArchiveTypeByName(const QString& fileName, TArchiveType assumedType) {
    TArchiveType type = assumedType == ArcUnknown ? typeOfExtension(fileName) : assumedType;
    const QFileInfo info(fileName);
    if (!info.isFile() || info.size() <= 0) return type;
    FileStream file(fileName, fmOpenRead | fmShareDenyNone);
    if (type == ArcUnknown) return DetectArchiveTypeByContent(file);
    if (type == ArcSpannedZip) return type;
    return contentTest(file, type);
}

TArchiveType IsCabinet(Stream& stream) {
    const int64_t saved = stream.Position();
    uint8_t h[36];
    TArchiveType result = ArcUnknown;
    try {
        stream.SetPosition(0);
        // Signature, zero reserved words, a cabinet at least as long as its
        // header, the file list inside it, and format version 1.3.
        if (stream.Read(h, sizeof h) == sizeof h && h[0] == 'M' && h[1] == 'S' && h[2] == 'C' &&
            h[3] == 'F' && le32(h + 4) == 0 && le32(h + 12) == 0 && le32(h + 8) >= sizeof h &&
            le32(h + 16) < le32(h + 8) && h[24] == 3 && h[25] == 1)
            result = ArcCab;
    } catch (const StreamError&) {
        result = ArcUnknown;
    }
    stream.SetPosition(saved);
    return result;
}

}  // namespace tandex::archive
