#include "archive/zip_extract.h"

#include "archive/ppmd_decoder.h"

#include "archive/codec_adapters.h"
#include "archive/inflate.h"
#include "archive/local_targets.h"
#include "archive/ppmd_decoder.h"
#include "archive/spill_streams.h"
#include "archive/zip_crypt.h"
#include "archive/zip_insert.h"
#include "archive/zip_legacy.h"

#include <algorithm>
#include <vector>

namespace tandex::archive {

namespace {

constexpr int64_t kCopyBlock = 65536;

bool versionTooNew(const TArcZipItem& item) {
    return (item.VersionNeededToExtract() & 0xFF) >= 64;
}

// Positions the archive stream at the item's local header, through the
// volume it starts on for a spanned set.
Stream& seekLocalHeader(TArcZipArchive& archive, const TArcZipItem& item) {
    Stream* stream = archive.GetStream();
    if (!stream) throw EArcBadStream();
    if (auto* span = dynamic_cast<TArcSpanReadStream*>(stream))
        span->SeekImage(static_cast<int32_t>(item.DiskNumberStart()),
                        static_cast<int64_t>(item.RelativeOffset()));
    else
        stream->Seek(static_cast<int64_t>(item.RelativeOffset()), soBeginning);
    return *stream;
}

// A non-empty answer becomes the archive's password; an empty one, or
// none at all when the handler asks to stop, means abort.
void askPassword(TArcZipArchive& archive, bool& abort) {
    abort = false;
    if (!archive.OnNeedPassword) return;
    QByteArray answer = archive.Password;
    archive.OnNeedPassword(archive, answer);
    if (answer.isEmpty())
        abort = true;
    else
        archive.Password = answer;
}

void copyExactly(Stream& source, Stream& target, int64_t size) {
    std::vector<char> buffer(static_cast<size_t>(std::min(size, kCopyBlock)));
    while (size > 0) {
        const int64_t n = std::min<int64_t>(size, static_cast<int64_t>(buffer.size()));
        source.ReadBuffer(buffer.data(), n);
        target.WriteBuffer(buffer.data(), n);
        size -= n;
    }
}

}  // namespace

// ----------------------------------------------------------- subset window

TArcUnzipSubsetStream::TArcUnzipSubsetStream(Stream& source, int64_t length)
    : source_(source), start_(source.Position()), current_(start_), end_(start_ + std::max<int64_t>(0, length)),
      sourcePosition_(start_) {}

int64_t TArcUnzipSubsetStream::Read(void* buffer, int64_t count) {
    count = std::clamp<int64_t>(count, 0, end_ - current_);
    if (count == 0) return 0;
    if (sourcePosition_ != current_) {
        source_.Seek(current_ - sourcePosition_, soCurrent);
        sourcePosition_ = current_;
    }
    const int64_t got = source_.Read(buffer, count);
    if (got > 0) {
        current_ += got;
        sourcePosition_ = current_;
    }
    return got;
}

int64_t TArcUnzipSubsetStream::Write(const void*, int64_t) {
    throw EArcException(QStringLiteral("TArcUnzipSubsetStream.Write not supported"));
}

int64_t TArcUnzipSubsetStream::Seek(int64_t offset, int origin) {
    int64_t target = current_;
    switch (origin) {
        case soBeginning:
            target = start_ + offset;
            break;
        case soCurrent:
            target = current_ + offset;
            break;
        case soEnd:
            target = end_ + offset;
            break;
        default:
            throw StreamIoError(QStringLiteral("Invalid seek origin"), kErrorInvalidParameter);
    }
    current_ = std::clamp(target, start_, end_);
    return current_ - start_;
}

// ----------------------------------------------------------- output stream

TArcUnzipOutputStream::TArcUnzipOutputStream(Stream& target, int64_t expectedSize,
                                             TArcUnzipProgress progress)
    : target_(target), expectedSize_(expectedSize),
      progress_(std::move(progress)) {}

int64_t TArcUnzipOutputStream::Read(void*, int64_t) {
    throw EArcException(QStringLiteral("TArcUnzipOutputStream.Read not supported"));
}

int64_t TArcUnzipOutputStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t room = std::max<int64_t>(0, expectedSize_ - count_);
    const int64_t take = std::min(count, room);
    int64_t written = 0;
    if (take > 0) {
        crc_ = Crc32Update(crc_, buffer, static_cast<size_t>(take));
        written = target_.Write(buffer, take);
        count_ += std::max<int64_t>(0, written);
    }
    if (take < count) {
        // More than the entry declares: whatever the method, the data is
        // not what was stored.
        overflowed_ = true;
        throw EArcZipBadCRC();
    }
    if (progress_) {
        int percent = 0;
        if (expectedSize_ <= 0)
            percent = 0;
        else if (count_ >= expectedSize_)
            percent = 100;
        else
            percent = static_cast<int>(count_ * 100 / expectedSize_);
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            bool abort = false;
            progress_(static_cast<uint8_t>(percent), abort);
            if (abort) throw EArcUserAbort();
        }
    }
    return written;
}

int64_t TArcUnzipOutputStream::Seek(int64_t offset, int origin) {
    // The decoders ask where they stand; answering from the count keeps a
    // pipe (which cannot tell its position) a valid target.
    if (origin == soCurrent && offset == 0) return count_;
    if (targetStart_ < 0) targetStart_ = target_.Position() - count_;
    if (origin == soBeginning) offset += targetStart_;
    return target_.Seek(offset, origin) - targetStart_;
}

// ----------------------------------------------------------------- opening

std::unique_ptr<Stream> OpenItemData(TArcZipArchive& archive, TArcZipItem& item) {
    if (versionTooNew(item)) throw EArcZipVersion();
    Stream& stream = seekLocalHeader(archive, item);
    TArcZipLocalFileHeader local;
    local.LoadFromStream(stream);
    const uint64_t dataStart = item.RelativeOffset() + static_cast<uint64_t>(local.RecordSize());
    const uint64_t compressed = item.GetCompressedSize();
    if (archive.DataOverlapsAnother(item, compressed > UINT64_MAX - dataStart ? UINT64_MAX
                                                                                : dataStart + compressed))
        throw EArcZipInvalid();
    const uint32_t checkValue = (local.GeneralPurposeBitFlag & kZipFlagDataDescriptor)
                                    ? static_cast<uint32_t>(local.LastModFileTime) << 16
                                    : item.GetCRC32();
    auto window = std::make_unique<TArcUnzipSubsetStream>(
        stream, static_cast<int64_t>(std::min<uint64_t>(item.GetCompressedSize(), INT64_MAX)));
    if (!item.GetIsEncrypted()) return window;

    int tries = 0;
    bool abort = false;
    if (archive.Password.isEmpty()) {
        askPassword(archive, abort);
        ++tries;
        if (archive.Password.isEmpty()) throw EArcZipInvalidPassword();
    }
    for (;;) {
        if (abort) throw EArcUserAbort();
        auto decrypt = std::make_unique<TArcDfDecryptStream>(window.get(), archive.Password, checkValue);
        if (decrypt->CheckPassword()) {
            decrypt->AdoptSource(std::move(window));
            return decrypt;
        }
        ++tries;
        if (tries > archive.PasswordRetries) throw EArcZipInvalidPassword();
        askPassword(archive, abort);
    }
}

// ------------------------------------------------------------ decompression

void DecompressCodecMethod(TArcZipArchive&, TArcZipItem& item, Stream& source,
                           TArcUnzipOutputStream& output) {
    const auto size = static_cast<int64_t>(std::min<uint64_t>(item.GetUncompressedSize(), INT64_MAX));
    switch (item.CompressionMethod() & 0x7F) {
        case 12: {
            TBZDecompressionStream bzip(source);
            copyExactly(bzip, output, size);
            break;
        }
        case 14: {
            uint8_t head[4];
            source.ReadBuffer(head, sizeof head);
            const uint16_t propertiesSize = ZipGet16(head + 2);
            std::vector<uint8_t> properties(propertiesSize);
            source.ReadBuffer(properties.data(), propertiesSize);
            // Bit 1 of the flags: the data ends at its end marker, and the
            // size is then only the most it may give.
            const bool endMarker = (item.GeneralPurposeBitFlag() & 0x0002) != 0;
            DecompressLzma(properties.data(), propertiesSize, source,
                           endMarker ? kLzmaUnknownSize : static_cast<uint64_t>(size), output,
                           static_cast<uint64_t>(size));
            break;
        }
        case 97:
            DecompressWavPack(source, output, size);
            break;
        case 98:
            // The source is already cut to the item's data, so its packed
            // size is only an upper bound for the decoder.
            DecompressPPMd(source, output, item.GetCompressedSize(), static_cast<uint64_t>(size));
            break;
        default:
            throw EArcZipInvalidMethod();
    }
}

namespace {

// Decodes into the output; false when the data is not the item's (CRC-32
// or size differ) and a failure handler took the report.
bool decompress(TArcZipArchive& archive, TArcZipItem& item, Stream& source, Stream& target) {
    const auto size = static_cast<int64_t>(std::min<uint64_t>(item.GetUncompressedSize(), INT64_MAX));
    if (size == 0) return true;
    TArcUnzipProgress progress;
    if (archive.OnProgress)
        progress = [&archive](uint8_t percent, bool& abort) {
            archive.OnProgress(archive, percent, abort);
        };
    TArcUnzipOutputStream output(target, size, std::move(progress));
    const uint8_t method = item.CompressionMethod() & 0x7F;
    try {
        switch (method) {
            case 0:
                copyExactly(source, output, size);
                break;
            case 1:
            case 2:
            case 3:
            case 4:
            case 5:
            case 6: {
                TArcUnzipHelper helper(source, output);
                helper.Method = method;
                helper.UncompressedSize = static_cast<uint64_t>(size);
                helper.ImplodeDictionarySize = item.ImplodeDictionarySize();
                helper.ImplodeTreeCount = item.ImplodeTreeCount();
                helper.UnzipHelperRun();
                break;
            }
            case 8:
            case 9: {
                TArcDeflateHelper helper;
                helper.SetInputSize(static_cast<int64_t>(item.GetCompressedSize()));
                if (method == 9) helper.SetOptionBits(helper.OptionBits() | Deflate64Format);
                Inflate(source, output, &helper);
                break;
            }
            case 12:
            case 14:
            case 97:
            case 98:
                DecompressCodecMethod(archive, item, source, output);
                break;
            default:
                throw EArcZipInvalidMethod();
        }
    } catch (...) {
        if (!output.Overflowed()) throw;
    }
    if (!output.Overflowed() && output.CRC32() == item.GetCRC32() && output.BytesWritten() == size)
        return true;
    if (!archive.OnProcessItemFailure) throw EArcZipBadCRC();
    archive.DoProcessItemFailure(&item, ptExtract, ecArchive, EArcZipBadCRC::Code_);
    return false;
}

}  // namespace

void DecompressItem(TArcZipArchive& archive, TArcZipItem& item, Stream& source, Stream& target) {
    decompress(archive, item, source, target);
}

// ----------------------------------------------------------------- targets

bool UnzipToFile(TArcZipArchive& archive, TArcZipItem& item, const QString& fileName) {
    if (item.GetIsDirectory()) {
        CreateFolderPath(fileName);
    } else {
        try {
            std::unique_ptr<Stream> data = OpenItemData(archive, item);
            // A damaged item or an abort never destroys the file that was there.
            TReplacingFile file(fileName);
            if (!decompress(archive, item, *data, file.Data())) return false;
            file.Commit();
        } catch (const EArcUserAbort&) {
            archive.Status = StatusInvalid;
            throw;
        }
    }
    SetFileDateTime(fileName, item.GetLastModTimeAsDateTime());
    return SetFileAttr(fileName, item.GetNativeFileAttributes());
}

void UnzipToStream(TArcZipArchive& archive, TArcZipItem& item, Stream* stream) {
    if (!stream) throw EArcBadStream();
    std::unique_ptr<Stream> data = OpenItemData(archive, item);
    decompress(archive, item, *data, *stream);
}

void TestZipItem(TArcZipArchive& archive, TArcZipItem& item) {
    if (versionTooNew(item)) throw EArcZipVersion();
    Stream& stream = seekLocalHeader(archive, item);
    TArcZipLocalFileHeader local;
    local.LoadFromStream(stream);
    const TArcZipDirectoryFileHeader& central = item.CentralHeader();
    bool same = local.VersionNeededToExtract == central.VersionNeededToExtract &&
                local.GeneralPurposeBitFlag == central.GeneralPurposeBitFlag &&
                local.LastModFileTime == central.LastModFileTime &&
                local.LastModFileDate == central.LastModFileDate && local.CRC32 == central.CRC32 &&
                local.FileName == central.FileName;
    const uint8_t* zip64 = nullptr;
    uint16_t zip64Size = 0;
    if (local.ExtraField.Get(kZip64ExtraTag, zip64, zip64Size)) {
        same = same && zip64Size >= 16 && ZipGet64(zip64) == item.GetUncompressedSize() &&
               ZipGet64(zip64 + 8) == item.GetCompressedSize();
    } else {
        same = same && item.GetUncompressedSize() <= 0xFFFFFFFFu &&
               item.GetCompressedSize() <= 0xFFFFFFFFu &&
               local.UncompressedSize == item.GetUncompressedSize() &&
               local.CompressedSize == item.GetCompressedSize();
    }
    if (!same) throw EArcZipInvalidLFH();
    TArcBitBucketStream bucket(32768);
    UnzipToStream(archive, item, &bucket);
}

void InstallZipHooks(TArcZipArchive& archive) {
    TArcZipArchive* a = &archive;
    archive.ExtractHelper = [a](TArcZipItem& item, const QString& name) { UnzipToFile(*a, item, name); };
    archive.ExtractToStreamHelper = [a](TArcZipItem& item, Stream& target) {
        UnzipToStream(*a, item, &target);
    };
    archive.TestHelper = [a](TArcZipItem& item) { TestZipItem(*a, item); };
    archive.InsertHelper = [a](TArcZipItem& item, Stream& output) { ZipFromFile(*a, item, output); };
    archive.InsertFromStreamHelper = [a](TArcZipItem& item, Stream& output, Stream& source) {
        ZipFromStream(*a, item, output, &source);
    };
}

}  // namespace tandex::archive
