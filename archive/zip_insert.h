#pragma once
// Compression of one zip item when the archive is saved: from the item's
// file or from its stream, stored or deflated, encrypted when the archive
// has a password. Only methods 0 and 8 are ever written.
//
// Linux has no lock that keeps others from writing a file while we read
// it, so the sizes are those of the bytes actually read, and a file whose
// size or modification time changed meanwhile fails the item instead of
// storing a CRC-32 over bytes that are not the file's.

#include "archive/zip_archive.h"

namespace tandex::archive {

// Reads the item's DiskFileName, resolved against the archive's base
// folder; EArcFileNotFound when it does not exist.
void ZipFromFile(TArcZipArchive& archive, TArcZipItem& item, Stream& output);
// EArcZipNoInsertion when the item has no source stream.
void ZipFromStream(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream* source);
void ZipItemData(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream& source);
void StoreItemData(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream& source);
void DeflateItemData(TArcZipArchive& archive, TArcZipItem& item, Stream& output, Stream& source);

}  // namespace tandex::archive
