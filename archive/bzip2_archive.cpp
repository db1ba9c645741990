#include "archive/bzip2_archive.h"

#include "archive/codec_adapters.h"
#include "archive/local_targets.h"

#include <QFileInfo>

#include <cstring>
#include <vector>

namespace tandex::archive {

namespace {

constexpr int64_t kDecompressBlock = 61440;

// The name the single item takes after the archive file: "x.txt.bz2" holds
// "x.txt", "x.tbz" and "x.tbz2" hold "x.tar".
QString itemNameOf(const QString& archiveName) {
    QString name = QFileInfo(archiveName).fileName();
    if (name.isEmpty()) return QStringLiteral("unknown");
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return name;
    const QString extension = name.mid(dot);
    name.truncate(dot);
    if (extension.compare(QStringLiteral(".tbz"), Qt::CaseInsensitive) == 0 ||
        extension.compare(QStringLiteral(".tbz2"), Qt::CaseInsensitive) == 0)
        name += QStringLiteral(".tar");
    return name;
}

}  // namespace

bool IsBzip2Signature(const uint8_t* b) {
    static const uint8_t magic[6] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
    return b[0] == 'B' && b[1] == 'Z' && b[2] == 'h' && b[3] >= '1' && b[3] <= '9' &&
           std::memcmp(b + 4, magic, 6) == 0;
}

int32_t VerifyBzip2(Stream& stream) {
    const int64_t saved = stream.Position();
    int32_t result = ArcUnknown;
    try {
        stream.SetPosition(0);
        uint8_t head[10];
        if (stream.Read(head, 10) == 10 && IsBzip2Signature(head)) {
            result = ArcBzip2;
            stream.SetPosition(0);
            // Only the start is unpacked, enough for a tar header.
            TBZDecompressionStream bz(stream);
            QByteArray start(1024, '\0');
            int64_t got = 0;
            for (int64_t n; got < start.size() && (n = bz.Read(start.data() + got, start.size() - got)) > 0;)
                got += n;
            MemoryStream content(start.left(qsizetype(got)));
            if (VerifyTar(content) == ArcTar) result = ArcBzippedTar;
        }
    } catch (const EBZip2Error&) {
        // Only raised behind the signature: a damaged start is still bzip2,
        // whose test and extraction report the damage.
    } catch (const StreamFilerError&) {
        if (result == ArcUnknown) {
            stream.SetPosition(saved);
            return ArcUnknown;
        }
        stream.SetPosition(saved);
        throw;
    } catch (...) {
        stream.SetPosition(saved);
        throw;
    }
    stream.SetPosition(saved);
    return result;
}

TArcBzip2Archive::TArcBzip2Archive(const QString& fileName, uint16_t mode)
    : TArcPackedArchive(fileName, mode) {}

TArcBzip2Archive::TArcBzip2Archive(Stream* stream, const QString& archiveName)
    : TArcPackedArchive(stream, archiveName) {}

void TArcBzip2Archive::decompressTo(Stream& target) {
    Stream& packed = PackedStream();
    packed.SetPosition(0);
    TBZDecompressionStream bz(packed);
    std::vector<char> block(kDecompressBlock);
    for (int64_t n; (n = bz.Read(block.data(), kDecompressBlock)) > 0;)
        target.WriteBuffer(block.data(), n);
}

void TArcBzip2Archive::compressInto(Stream& source, Stream& built) {
    TBZCompressionStream bz(8, built);
    std::vector<char> block(kDecompressBlock);
    for (int64_t n; (n = source.Read(block.data(), kDecompressBlock)) > 0;)
        bz.WriteBuffer(block.data(), n);
    bz.Finish();
}

std::unique_ptr<TArcArchiveItem> TArcBzip2Archive::CreateItem(const QString& fileName) {
    if (TarMode()) {
        SwitchToTar();
        return TArcTarArchive::CreateItem(fileName);
    }
    auto item = std::make_unique<TArcBzip2Item>();
    item->DiskFileName = ResolveDiskName(fileName);
    item->SetFileName(FixName(fileName));
    return item;
}

void TArcBzip2Archive::LoadArchive() {
    SwitchToPacked();
    const int64_t size = PackedStream().Size();
    if (size <= 0) return;
    if (TarMode()) {
        TArcVirtualMemoryStream& tar = TarStream();
        tar.SwapFileDirectory = TempDirectory;
        tar.SetSize(0);
        tar.SetPosition(0);
        decompressTo(tar);
        SwitchToTar();
        TArcTarArchive::LoadArchive();
        return;
    }
    auto item = std::make_unique<TArcBzip2Item>();
    item->Action = iaNone;
    item->SetFileName(itemNameOf(ArchiveName));
    item->DiskFileName = item->GetFileName();
    item->SetCompressedSize(uint64_t(size));
    ItemList().Add(std::move(item));
    bool abort = false;
    DoArchiveProgress(100, abort);
    IsDirty = false;
}

void TArcBzip2Archive::ExtractItemToStreamAt(int index, Stream& stream) {
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::ExtractItemToStreamAt(index, stream);
        return;
    }
    decompressTo(stream);
}

void TArcBzip2Archive::ExtractItemAt(int index, const QString& fileName) {
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::ExtractItemAt(index, fileName);
        return;
    }
    try {
        TReplacingFile target(fileName);
        decompressTo(target.Data());
        target.Commit();
    } catch (const EArcUserAbort&) {
        Status = StatusInvalid;
        throw;
    }
}

void TArcBzip2Archive::TestItemAt(int index) {
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::TestItemAt(index);
        return;
    }
    const int32_t type = VerifyBzip2(PackedStream());
    if (type != ArcBzip2 && type != ArcBzippedTar) throw EArcGzipInvalid();
    TArcBitBucketStream sink(1024);
    decompressTo(sink);
}

void TArcBzip2Archive::SaveArchive() {
    TArcVirtualMemoryStream built;
    built.SwapFileDirectory = TempDirectory;
    if (TarMode()) {
        SwitchToTar();
        TArcTarArchive::SaveArchive();
        TArcVirtualMemoryStream& tar = TarStream();
        tar.SetPosition(0);
        compressInto(tar, built);
        ReplacePackedContent(built);
        return;
    }
    SwitchToPacked();
    TArcArchiveItem* chosen = nullptr;
    for (int i = 0; i < GetCount() && !chosen; ++i) {
        switch (ItemList().Items(i)->Action) {
            case iaNone:
            case iaMove:
            case iaAdd:
            case iaFreshen:
            case iaReplace:
            case iaStreamAdd:
                chosen = ItemList().Items(i);
                break;
            default:
                break;
        }
    }
    if (chosen && chosen->Action != iaNone && chosen->Action != iaMove) {
        CurrentItem = chosen;
        if (chosen->Action == iaStreamAdd) {
            Stream* source = InStream ? InStream : chosen->SourceStream.get();
            if (!source) throw EArcBadStream();
            source->SetPosition(0);
            compressInto(*source, built);
        } else {
            FileStream file(ResolveDiskName(chosen->DiskFileName), fmOpenRead | fmShareDenyWrite);
            compressInto(file, built);
        }
        ReplacePackedContent(built);
    }
    // Settled like every other format, so a later save never compresses a
    // stale source again.
    SettleActions();
    bool abort = false;
    DoArchiveSaveProgress(100, abort);
    DoArchiveProgress(100, abort);
}

}  // namespace tandex::archive
