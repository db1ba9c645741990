#pragma once
// Types shared by every unit of the access layer and its callers: slot
// numbers, access modes, location classes, access kinds and the entries
// of remote and archive listings.

#include <QString>
#include <QtGlobal>
#include <vector>

namespace tandex::access {

// Four slots, 0 to 3; the number 4 stands for "no slot".
inline constexpr int FZSlotCount = 4;
inline constexpr int FZNoSlot = 4;

enum TFZAccessMode : int {
    twInvAccess = 0,    // free slot
    twGenWrAccess = 1,  // location for writing, no file open
    twGenAccess = 2,    // location only: checks, listings, folder work
    twReadAccess = 3,   // file open for reading
    twWriteAccess = 4,  // file open for writing, created or replaced
};

enum TFZLocation : int {
    locNone = 0,
    locLocal = 1,
    locShare = 2,
    locFtp = 3,
    locSftp = 4,
    locScp = 5,
    locCloud = 6,
    locWeb = 7,
};

enum TFZAccessKind : int {
    akNone = 0,
    akLocal = 1,  // local file or network share
    akFtp = 2,
    akArchive = 3,
    akCloud = 4,
    akHttp = 5,
};

// 64-bit count of 100 ns units since 1601-01-01 UTC.
using FileTime = quint64;
inline constexpr FileTime FileTimeNone = ~FileTime(0);

inline constexpr quint32 FZAttrReadOnly = 0x1;
inline constexpr quint32 FZAttrHidden = 0x2;
inline constexpr quint32 FZAttrDirectory = 0x10;
inline constexpr quint32 FZAttrArchive = 0x20;

// By-handle file information: attributes, the three times (UTC) and the
// size in two halves.
struct TFZFileInfo {
    quint32 Attributes = 0;
    FileTime CreationTime = 0;
    FileTime LastAccessTime = 0;
    FileTime LastWriteTime = 0;
    quint32 SizeHigh = 0;
    quint32 SizeLow = 0;
    qint64 size() const { return qint64((quint64(SizeHigh) << 32) | SizeLow); }
};

// One entry of a remote or archive folder listing.
struct TFZItem {
    QString Name;
    qint64 Size = 0;
    qint64 PackedSize = 0;  // compressed size of an archive item, else 0
    FileTime Time = 0;      // UTC; all bits set for ".." of archive and cloud listings
    quint32 Attr = 0;
    // FTP: what tells one folder from another (the server path it resolves
    // to, or the server's "unique" fact), empty when unknown; and whether
    // the entry is a link, which a delete removes without its target.
    QString Identity{};
    bool Link = false;
};

// One listed folder; Items may hold more entries than Count, only the
// first Count are valid.
struct TFZDDir {
    int Count = 0;
    std::vector<TFZItem> Items;
    QString Identity{};  // FTP: the listed folder's own, as its items carry it
};

// The find record that folder walks fill for every entry.
struct TFZFindData {
    quint32 Attributes = 0;
    FileTime CreationTime = 0;
    FileTime LastAccessTime = 0;
    FileTime LastWriteTime = 0;
    quint32 SizeHigh = 0;
    quint32 SizeLow = 0;
    QString Name;
};

}  // namespace tandex::access
