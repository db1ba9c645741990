#pragma once
// What the tar, codec, zip extraction and component fuzz targets run on one
// input; the replay test runs the inputs kept in data/ through the same code
// in every build.

#include "archive/codec_adapters.h"
#include "archive/ppmd_decoder.h"
#include "archive/spill_streams.h"
#include "archive/tar_archive.h"
#include "archive/archive_detection.h"
#include "archive/zip_extract.h"
#include "archive/zip_kit.h"

#include <QByteArray>

namespace fuzz_bodies {

using namespace tandex::archive;

// Lists, extracts every member and saves the archive again.
inline void TarLoad(const uint8_t* data, size_t size) {
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TArcTarArchive archive(&stream, QStringLiteral("fuzz.tar"));
    try {
        archive.Load();
        for (int i = 0; i < archive.GetCount(); ++i) {
            try {
                TArcBitBucketStream sink(32768);
                archive.ExtractItemToStreamAt(i, sink);
                archive.TestItemAt(i);
            } catch (const Exception&) {
            }
        }
        if (archive.GetCount() > 0 && !archive.ReadOnly) {
            archive.Move(archive.TarItem(0), QStringLiteral("renamed/") + QString(120, u'n'));
            archive.SaveIfChanged();
        }
    } catch (const Exception&) {
    }
}

// The first byte picks the adapter: 0 bzip2, 1 LZMA (next 5 bytes the
// properties), 2 WavPack; bit 2 asks the decoders for an unknown size.
inline void Codecs(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const uint8_t mode = data[0];
    constexpr int64_t kBound = 1 << 20;
    try {
        TArcBitBucketStream sink(32768);
        switch (mode & 3) {
            case 0: {
                MemoryStream src(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
                TBZDecompressionStream bz(src);
                char buf[4096];
                int64_t total = 0;
                for (int64_t n; total < kBound && (n = bz.Read(buf, sizeof buf)) > 0;)
                    total += n;
                break;
            }
            case 1: {
                if (size < 6) return;
                MemoryStream src(QByteArray(reinterpret_cast<const char*>(data + 6), qsizetype(size - 6)));
                DecompressLzma(data + 1, 5, src, (mode & 4) ? kLzmaUnknownSize : 100000, sink, kBound);
                break;
            }
            default: {
                MemoryStream src(QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1)));
                DecompressWavPack(src, sink, kBound);
                break;
            }
        }
    } catch (const Exception&) {
    }
}

// Detects the type, opens the bytes through the component (the packed
// formats with and without the tar inside) and extracts every item to the
// discard stream.
inline void KitOpen(const uint8_t* data, size_t size) {
    for (bool tarSwitch : {false, true}) {
        MemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        try {
            stream.SetPosition(int64_t(size / 2));
            const TArchiveType type = DetectArchiveTypeByContent(stream);
            if (stream.Position() != int64_t(size / 2)) __builtin_trap();
            if (type != ArcGzip && type != ArcGzippedTar && type != ArcBzip2 && type != ArcBzippedTar && tarSwitch)
                return;
            TArcZipKit kit;
            kit.PackedTarSwitch = tarSwitch;
            kit.OpenStream(&stream);
            for (int i = 0; i < kit.GetCount(); ++i) {
                TArcBitBucketStream sink(32768);
                kit.ExtractToStream(kit.GetItem(i)->GetFileName(), sink);
                if (kit.Archive()) kit.Archive()->TestItemAt(i);
            }
        } catch (const std::exception&) {
        }
    }
}

// A method-98 entry's data, its header first. The header's memory size is
// cut to 1 to 4 MiB so that every run stays quick; the model's rules do not
// depend on the size until memory runs out, which small heaps reach sooner.
inline void Ppmd(const uint8_t* data, size_t size) {
    if (size < 2) return;
    QByteArray entry(reinterpret_cast<const char*>(data), qsizetype(size));
    entry[0] = char(data[0] & 0x3F);
    entry[1] = char(data[1] & 0xF0);
    try {
        MemoryStream src(entry);
        TArcBitBucketStream sink(32768);
        DecompressPPMd(src, sink, uint64_t(size), 1 << 20);
    } catch (const Exception&) {
    }
}

// Opens the bytes as a zip and extracts every item to the discard stream,
// without a password and then with one; every item is tested as well.
inline void ZipExtract(const uint8_t* data, size_t size) {
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    TArcZipArchive archive(&stream, QString());
    InstallZipHooks(archive);
    try {
        archive.Load();
    } catch (const Exception&) {
        return;
    }
    for (const QByteArray& password : {QByteArray(), QByteArray("12345678")}) {
        archive.Password = password;
        for (int i = 0; i < archive.GetCount(); ++i) {
            try {
                TArcBitBucketStream sink(32768);
                archive.ExtractItemToStreamAt(i, sink);
            } catch (const Exception&) {
            }
            try {
                archive.TestItemAt(i);
            } catch (const Exception&) {
            }
        }
    }
}

}  // namespace fuzz_bodies
