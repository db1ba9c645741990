#pragma once
// Extraction of one zip item to a file, to a stream or into nothing (a
// test), and the insertion and extraction hooks a zip archive runs.
//
// Every run reads the item's local header, takes the item's compressed
// bytes through a window that cannot reach past them, decrypts when the
// item is encrypted, decodes by method into an output stream that keeps
// the CRC-32 and the count, and compares the CRC-32 with the item's. The
// output stream refuses any byte beyond the item's declared size, so no
// decoder, whatever the data says, writes more than the entry claims.

#include "archive/zip_archive.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace tandex::archive {

// A read-only window over another stream, from where that stream stood
// when the window was made, for a given length. The underlying stream is
// moved only when a read needs it somewhere else, so a stream that answers
// only position queries (a spanned set) works for sequential reads.
class TArcUnzipSubsetStream : public Stream {
public:
    TArcUnzipSubsetStream(Stream& source, int64_t length);

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Clamped into the window; returns the position relative to its start.
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return end_ - start_; }

private:
    Stream& source_;
    int64_t start_;
    int64_t current_;
    int64_t end_;
    int64_t sourcePosition_;  // where the underlying stream stands
};

using TArcUnzipProgress = std::function<void(uint8_t progress, bool& abort)>;

// Forwards writes to a target, keeping the CRC-32, the count and the
// progress against the expected size. Positions are relative to where the
// target stood when wrapped, so a target that already holds data keeps it.
class TArcUnzipOutputStream : public Stream {
public:
    TArcUnzipOutputStream(Stream& target, int64_t expectedSize, TArcUnzipProgress progress);

    int64_t Read(void* buffer, int64_t count) override;
    // Raises EArcZipBadCRC, after passing on what fits, when the bytes
    // would go beyond the expected size; a set Abort raises EArcUserAbort.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

    uint32_t CRC32() const { return ~crc_; }
    int64_t BytesWritten() const { return count_; }
    bool Overflowed() const { return overflowed_; }

private:
    Stream& target_;
    int64_t targetStart_ = -1;  // known once a seek needs it
    uint32_t crc_ = 0xFFFFFFFF;
    int64_t count_ = 0;
    int64_t expectedSize_;
    int lastPercent_ = -1;
    bool overflowed_ = false;
    TArcUnzipProgress progress_;
};

// The stream to decompress the item from: its window, or a decrypting
// stream that owns the window. Asks for passwords as the archive allows.
std::unique_ptr<Stream> OpenItemData(TArcZipArchive& archive, TArcZipItem& item);
void DecompressItem(TArcZipArchive& archive, TArcZipItem& item, Stream& source, Stream& target);
// Returns the result of setting the file's attributes.
bool UnzipToFile(TArcZipArchive& archive, TArcZipItem& item, const QString& fileName);
void UnzipToStream(TArcZipArchive& archive, TArcZipItem& item, Stream* stream);
void TestZipItem(TArcZipArchive& archive, TArcZipItem& item);

// Methods 12 (bzip2), 14 (LZMA), 97 (WavPack) and 98 (PPMd): the codecs
// that live outside the zip units.
void DecompressCodecMethod(TArcZipArchive& archive, TArcZipItem& item, Stream& source,
                           TArcUnzipOutputStream& output);

// Installs compression, extraction and test of this unit and of the
// insertion unit as the archive's hooks.
void InstallZipHooks(TArcZipArchive& archive);

}  // namespace tandex::archive
