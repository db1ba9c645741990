#include "archive/zip_insert.h"

#include "archive/deflate.h"
#include "archive/spill_streams.h"
#include "archive/zip_crypt.h"

#include <QDateTime>
#include <QFile>
#include <cmath>
#include <sys/stat.h>
#include <vector>

namespace tandex::archive {

namespace {

constexpr int64_t kStoreBlock = 8192;

// What identifies the content of a file on disk without reading it.
struct FileIdentity {
    int64_t size = -1;
    int64_t seconds = 0;
    long nanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(int fd) {
    struct stat st {};
    FileIdentity id;
    if (::fstat(fd, &st) == 0) {
        id.size = st.st_size;
        id.seconds = st.st_mtim.tv_sec;
        id.nanoseconds = st.st_mtim.tv_nsec;
    }
    return id;
}

// Bytes of the source that the methods actually read: the item's
// uncompressed size is this count, never a size asked for beforehand.
int64_t remainingOf(Stream& source) {
    return std::max<int64_t>(0, source.Size() - source.Position());
}

}  // namespace

void StoreItemData(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream& source) {
    item.SetCompressionMethod(0);
    const int64_t total = remainingOf(source);
    uint32_t crc = 0xFFFFFFFF;
    std::vector<char> block(kStoreBlock);
    int64_t copied = 0;
    int lastPercent = -1;
    bool abort = false;
    for (;;) {
        const int64_t got = source.Read(block.data(), kStoreBlock);
        if (got <= 0) break;
        crc = Crc32Update(crc, block.data(), static_cast<size_t>(got));
        output.WriteBuffer(block.data(), got);
        copied += got;
        if (archive.OnProgress && total > 0) {
            const int percent =
                static_cast<int>(std::nearbyint(static_cast<double>(std::min(copied, total)) * 100.0 /
                                                static_cast<double>(total)));
            if (percent != lastPercent) {
                lastPercent = percent;
                archive.OnProgress(archive, static_cast<uint8_t>(percent), abort);
                if (abort) throw EArcUserAbort();
            }
        }
    }
    item.SetCRC32(~crc);
    item.SetUncompressedSize(static_cast<uint64_t>(copied));
    if (archive.OnProgress && lastPercent < 100) {
        archive.OnProgress(archive, 100, abort);
        if (abort) throw EArcUserAbort();
    }
}

void DeflateItemData(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream& source) {
    item.SetCompressionMethod(8);
    TArcDeflateHelper helper;
    helper.SetInputSize(remainingOf(source));
    helper.SetLevelLetter('0');
    uint16_t flags = item.GeneralPurposeBitFlag();
    switch (archive.DeflationOption) {
        case doNormal:
            helper.SetLevelLetter('n');
            break;
        case doMaximum:
            helper.SetLevelLetter('x');
            flags |= 0x0002;
            break;
        case doFast:
            helper.SetLevelLetter('f');
            flags |= 0x0004;
            break;
        case doSuperFast:
            helper.SetLevelLetter('s');
            flags |= 0x0006;
            break;
        case doInvalid:
            break;
    }
    item.SetGeneralPurposeBitFlag(flags);
    helper.SetProgressHandler([&archive](qint32 percent) { archive.DoDeflateProgress(percent); });
    item.SetCRC32(Deflate(source, output, &helper));
    item.SetUncompressedSize(static_cast<uint64_t>(helper.PlainBytes()));
}

void ZipItemData(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream& source) {
    const int64_t sourceStart = source.Position();
    const int64_t sourceSize = remainingOf(source);
    const int64_t outputStart = output.Position();
    item.SetUncompressedSize(static_cast<uint64_t>(sourceSize));
    item.SetGeneralPurposeBitFlag(item.GeneralPurposeBitFlag() & kZipFlagUtf8);

    std::unique_ptr<TArcDfEncryptStream> encrypt;
    if (!archive.Password.isEmpty())
        encrypt = std::make_unique<TArcDfEncryptStream>(
            output, archive.Password, static_cast<uint32_t>(item.GetLastModFileTime()) << 16);
    Stream& sink = encrypt ? static_cast<Stream&>(*encrypt) : output;

    if (sourceSize == 0) {
        item.SetCRC32(0);
        StoreItemData(archive, item, sink, source);
    } else {
        switch (archive.CompressionMethodToUse) {
            case smStored:
                StoreItemData(archive, item, sink, source);
                break;
            case smDeflated:
                DeflateItemData(archive, item, sink, source);
                break;
            case smBestMethod: {
                auto packed = std::make_unique<TArcVirtualMemoryStream>();
                packed->SwapFileDirectory = archive.TempDirectory;
                DeflateItemData(archive, item, *packed, source);
                if (packed->Size() > static_cast<int64_t>(item.GetUncompressedSize())) {
                    source.Seek(sourceStart, soBeginning);
                    const uint16_t flags = item.GeneralPurposeBitFlag() & kZipFlagUtf8;
                    packed = std::make_unique<TArcVirtualMemoryStream>();
                    packed->SwapFileDirectory = archive.TempDirectory;
                    item.SetGeneralPurposeBitFlag(flags);
                    StoreItemData(archive, item, *packed, source);
                }
                packed->Seek(0, soBeginning);
                sink.CopyFrom(*packed, packed->Size());
                break;
            }
        }
    }

    item.SetCompressedSize(static_cast<uint64_t>(output.Position() - outputStart));
    item.SetInternalFileAttributes(0);
    if (encrypt) item.SetGeneralPurposeBitFlag(item.GeneralPurposeBitFlag() | 0x0009);
}

void ZipFromFile(TArcZipArchive& archive, TArcZipItem& item, Stream& output) {
    const QString name = archive.ResolveDiskName(item.DiskFileName);
    TFileAttrInfo info;
    if (!GetFileAttrEx(name, info)) throw EArcFileNotFound();
    if (info.Attr & faDirectory) {
        item.SetExternalFileAttributes(static_cast<uint32_t>(info.Attr));
        item.SetLastModTimeAsDateTime(info.Time);
        MemoryStream empty;
        ZipItemData(archive, item, output, empty);
        return;
    }
    FileStream file(name, fmOpenRead | fmShareDenyWrite);
    const FileIdentity before = identityOf(file.Handle());
    item.SetExternalFileAttributes(static_cast<uint32_t>(info.Attr));
    item.SetLastModTimeAsDateTime(info.Time);
    ZipItemData(archive, item, output, file);
    // Nothing keeps others from writing the file meanwhile: when it
    // changed, the CRC-32 and the sizes describe no version of it.
    const FileIdentity after = identityOf(file.Handle());
    if (!(before == after) || static_cast<int64_t>(item.GetUncompressedSize()) != after.size)
        throw EArcException(QStringLiteral("The file \"%1\" changed while it was being compressed")
                                .arg(name));
}

void ZipFromStream(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream* source) {
    if (!source) throw EArcZipNoInsertion();
    if (item.GetLastModFileTime() == 0) {
        const QDateTime now = QDateTime::currentDateTime();
        TDateTime value = 0;
        if (TryEncodeDateTime(now.date().year(), now.date().month(), now.date().day(),
                              now.time().hour(), now.time().minute(), now.time().second(), value))
            item.SetLastModTimeAsDateTime(value);
    }
    ZipItemData(archive, item, output, *source);
}

}  // namespace tandex::archive
