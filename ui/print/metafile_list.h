#pragma once
// The page store of the print preview: pages in order, at most CacheSize
// of them in memory and the rest in a private temporary file, and the
// page-list block of the page file. A page is one EMF in a QByteArray.
//
// Page-list block, little-endian: "TXPLP" and 0x05; L, the length of the
// page data; N, the page count; N offsets into the page data (the first
// 0); the N pages back to back, each beginning with its EMF header. All
// four numbers are 32-bit.

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QIODevice;

namespace tandex::print {

// Failures of the preview; the message is the text the user sees.
class EPrintPreviewError : public std::runtime_error {
public:
    explicit EPrintPreviewError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};
class EPreviewLoadError : public EPrintPreviewError {
public:
    using EPrintPreviewError::EPrintPreviewError;
};

inline constexpr const char* kLoadErrorText = "The content cannot be loaded";

// A file in the system's temporary folder that nothing can find and that
// vanishes with the process, even a killed one: it has no name where the
// file system allows, and is unlinked at once elsewhere. Positions are
// 64-bit. Failures raise EPrintPreviewError.
class TTemporaryFileStream {
public:
    TTemporaryFileStream();
    ~TTemporaryFileStream();
    TTemporaryFileStream(const TTemporaryFileStream&) = delete;
    TTemporaryFileStream& operator=(const TTemporaryFileStream&) = delete;

    qint64 Size() const;
    void WriteAt(qint64 position, const QByteArray& bytes);
    QByteArray ReadAt(qint64 position, qint64 count) const;
    void Truncate(qint64 size);
    // Appends count bytes read from source.
    void AppendFrom(QIODevice& source, qint64 count);
    // Writes count bytes from position to target.
    void CopyTo(QIODevice& target, qint64 position, qint64 count) const;

private:
    int fd_ = -1;
};

// 32-bit integers as the page file stores them: a count, then the items.
class TIntegerList {
public:
    QList<qint32> Items;
    void Add(qint32 value) { Items.append(value); }
    void SaveToStream(QIODevice& stream) const;
    // False, with nothing read beyond the count, when the count is
    // negative or its items would not fit in bytesLeft.
    bool LoadFromStream(QIODevice& stream, qint64 bytesLeft);
};

enum TMetafileEntryState : int { InMemory = 1, InTempFile = 2, Modified = 4 };

class TMetafileEntry {
public:
    QByteArray Metafile;  // while InMemory
    qint64 Offset = 0;    // of the copy in the temporary file
    qint64 Size = 0;      // of that copy; 0 when there is none
    int TouchCount = 0;   // reads since the page was last loaded
    int States = 0;
    bool Has(TMetafileEntryState s) const { return States & s; }
};

class TMetafileList {
public:
    TMetafileList();
    ~TMetafileList();
    TMetafileList(const TMetafileList&) = delete;
    TMetafileList& operator=(const TMetafileList&) = delete;

    int Count() const { return int(pages_.size()); }
    // The page, loaded from the temporary file when needed.
    QByteArray Metafiles(int index) { return Items(index).Metafile; }
    TMetafileEntry& Items(int index);
    // Replaces a page's content, as a change of its metafile.
    void SetMetafile(int index, const QByteArray& metafile);

    int CacheSize() const { return cacheSize_; }
    void SetCacheSize(int value);

    int Add(const QByteArray& metafile);
    void Insert(int index, const QByteArray& metafile);
    void Delete(int index);
    void Move(int curIndex, int newIndex);
    void Clear();

    // False when the stream does not begin with the page-list tag; raises
    // EPreviewLoadError for a block that does not hold sound pages (the
    // store has been emptied then).
    bool LoadFromStream(QIODevice& stream);
    // Raises EPrintPreviewError before writing anything when the pages do
    // not fit the format's 32-bit lengths.
    void SaveToStream(QIODevice& stream);

    std::function<void(int index)> OnItemChanged;
    // Pages first .. last (0-based) were inserted, deleted, moved or
    // loaded; last -1 means the store was emptied.
    std::function<void(int first, int last)> OnRangeChanged;

    // What tests and diagnostics look at.
    int CachedCount() const { return int(cache_.size()); }
    qint64 TempFileSize() const { return temp_ ? temp_->Size() : -1; }
    const TMetafileEntry& Entry(int index) const { return *pages_[size_t(index)]; }

    // The most page data a page file holds; tests lower it.
    static qint64 MaxPageData;

private:
    void loadPages(QIODevice& stream, const std::vector<qint64>& sizes, qint64 length);
    void ReduceCache(int limit);
    void LoadEntry(TMetafileEntry& entry);
    void StoreEntry(TMetafileEntry& entry);
    void MetafileChanged(TMetafileEntry& entry);
    int IndexOf(const TMetafileEntry* entry) const;
    void RemoveFromCache(TMetafileEntry* entry);
    TTemporaryFileStream& Temp();

    std::vector<std::unique_ptr<TMetafileEntry>> pages_;
    std::vector<TMetafileEntry*> cache_;  // in the order the pages were loaded
    std::unique_ptr<TTemporaryFileStream> temp_;
    int cacheSize_ = 10;
};

}  // namespace tandex::print
