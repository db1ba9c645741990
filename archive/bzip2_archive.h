#pragma once
// Bzip2 files as archives: one item named after the archive file, or, for
// a bzipped tar, the tar archive inside, served from a decompressed copy.
// Concatenated bzip2 streams read as one, as bzip2 -d reads them.

#include "archive/gzip_archive.h"

#include <cstdint>

namespace tandex::archive {

// "BZh", a block-size digit 1-9, then the block magic 0x314159265359.
bool IsBzip2Signature(const uint8_t* tenBytes);
// ArcUnknown, ArcBzip2 or ArcBzippedTar; the position is restored.
int32_t VerifyBzip2(Stream& stream);

class TArcBzip2Item : public TArcArchiveItem {};

class TArcBzip2Archive : public TArcPackedArchive {
public:
    TArcBzip2Archive(const QString& fileName, uint16_t mode);
    TArcBzip2Archive(Stream* stream, const QString& archiveName);

    std::unique_ptr<TArcArchiveItem> CreateItem(const QString& fileName) override;
    void ExtractItemAt(int index, const QString& fileName) override;
    void ExtractItemToStreamAt(int index, Stream& stream) override;
    void LoadArchive() override;
    void SaveArchive() override;
    void TestItemAt(int index) override;

private:
    void decompressTo(Stream& target);
    void compressInto(Stream& source, Stream& built);
};

}  // namespace tandex::archive
