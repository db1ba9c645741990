// The store keeps every page in one of three states: in memory only (new
// or changed, no current copy on disk), in the temporary file only, or in
// both (loaded back, unchanged). The cache list holds exactly the pages in
// memory, in the order they came in, and never more than CacheSize of
// them: the page read least often since it was loaded leaves first, the
// latest loaded among equals.
//
// A page file comes from anywhere. Before any page is read, its block is
// checked against the bytes that are really there, so that a crafted count
// or length cannot make the store allocate without bound.

#include "ui/print/metafile_list.h"

#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

#include "access/error_texts.h"
#include "access/local_files.h"
#include "ui/print/emf_records.h"

namespace tandex::print {

namespace {

const char kPageListTag[6] = {'T', 'X', 'P', 'L', 'P', 0x05};
constexpr qint64 kCopyChunk = qint64(1) << 20;

[[noreturn]] void writeError() {
    throw EPrintPreviewError(QStringLiteral("Stream write error"));
}
[[noreturn]] void readError() {
    throw EPrintPreviewError(QStringLiteral("Stream read error"));
}
[[noreturn]] void loadError() {
    throw EPreviewLoadError(QString::fromLatin1(kLoadErrorText));
}

void writeAll(QIODevice& stream, const char* data, qint64 count) {
    if (stream.write(data, count) != count) writeError();
}

void writeI32(QIODevice& stream, qint32 v) {
    const qint32 le = qToLittleEndian(v);
    writeAll(stream, reinterpret_cast<const char*>(&le), 4);
}

bool readExact(QIODevice& stream, char* out, qint64 count) {
    qint64 done = 0;
    while (done < count) {
        const qint64 n = stream.read(out + done, count - done);
        if (n <= 0) return false;
        done += n;
    }
    return true;
}

bool readI32(QIODevice& stream, qint32& v) {
    char b[4];
    if (!readExact(stream, b, 4)) return false;
    v = emf::I32At(b);
    return true;
}

}  // namespace

qint64 TMetafileList::MaxPageData = std::numeric_limits<qint32>::max();

// ---- temporary file -----------------------------------------------------

TTemporaryFileStream::TTemporaryFileStream() {
    QString name;
    const QString folder = access::FZSystemTempFolder();
    if (const int r = access::FZCreateNewFile(folder, QStringLiteral("TX"), QString(), name, fd_, true))
        throw EPrintPreviewError(access::FZErrorText(-r, access::eoOpenWrite));
    // Where the file had to get a name, the name goes at once: the open
    // descriptor keeps the file until it is closed.
    if (!name.isEmpty()) ::unlink(name.toLocal8Bit().constData());
}

TTemporaryFileStream::~TTemporaryFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

qint64 TTemporaryFileStream::Size() const {
    struct stat st;
    if (::fstat(fd_, &st) != 0) readError();
    return st.st_size;
}

void TTemporaryFileStream::WriteAt(qint64 position, const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.constData() + done, size_t(bytes.size() - done), position + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) writeError();
        done += n;
    }
}

QByteArray TTemporaryFileStream::ReadAt(qint64 position, qint64 count) const {
    QByteArray out(qsizetype(count), Qt::Uninitialized);
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out.data() + done, size_t(count - done), position + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) readError();
        done += n;
    }
    return out;
}

void TTemporaryFileStream::Truncate(qint64 size) {
    if (::ftruncate(fd_, size) != 0) writeError();
}

void TTemporaryFileStream::AppendFrom(QIODevice& source, qint64 count) {
    qint64 at = Size();
    QByteArray chunk;
    while (count > 0) {
        chunk.resize(qsizetype(std::min(count, kCopyChunk)));
        if (!readExact(source, chunk.data(), chunk.size())) loadError();
        WriteAt(at, chunk);
        at += chunk.size();
        count -= chunk.size();
    }
}

void TTemporaryFileStream::CopyTo(QIODevice& target, qint64 position, qint64 count) const {
    while (count > 0) {
        const qint64 n = std::min(count, kCopyChunk);
        const QByteArray chunk = ReadAt(position, n);
        writeAll(target, chunk.constData(), n);
        position += n;
        count -= n;
    }
}

// ---- integer list -------------------------------------------------------

void TIntegerList::SaveToStream(QIODevice& stream) const {
    writeI32(stream, qint32(Items.size()));
    for (qint32 v : Items) writeI32(stream, v);
}

bool TIntegerList::LoadFromStream(QIODevice& stream, qint64 bytesLeft) {
    Items.clear();
    qint32 count = 0;
    if (!readI32(stream, count)) return false;
    if (count < 0 || qint64(count) * 4 > bytesLeft - 4) return false;
    QByteArray raw(qsizetype(count) * 4, Qt::Uninitialized);
    if (!readExact(stream, raw.data(), raw.size())) return false;
    Items.reserve(count);
    for (qint32 i = 0; i < count; ++i) Items.append(emf::I32At(raw.constData() + 4 * i));
    return true;
}

// ---- the store ----------------------------------------------------------

TMetafileList::TMetafileList() = default;
TMetafileList::~TMetafileList() = default;

TTemporaryFileStream& TMetafileList::Temp() {
    if (!temp_) temp_ = std::make_unique<TTemporaryFileStream>();
    return *temp_;
}

int TMetafileList::IndexOf(const TMetafileEntry* entry) const {
    for (size_t i = 0; i < pages_.size(); ++i)
        if (pages_[i].get() == entry) return int(i);
    return -1;
}

void TMetafileList::RemoveFromCache(TMetafileEntry* entry) {
    cache_.erase(std::remove(cache_.begin(), cache_.end(), entry), cache_.end());
}

TMetafileEntry& TMetafileList::Items(int index) {
    TMetafileEntry& entry = *pages_.at(size_t(index));
    if (!entry.Has(InMemory)) {
        if (int(cache_.size()) >= cacheSize_) ReduceCache(cacheSize_ - 1);
        LoadEntry(entry);
        cache_.push_back(&entry);
    }
    ++entry.TouchCount;
    return entry;
}

void TMetafileList::LoadEntry(TMetafileEntry& entry) {
    entry.Metafile = Temp().ReadAt(entry.Offset, entry.Size);
    entry.States |= InMemory;
    entry.TouchCount = 0;
}

void TMetafileList::ReduceCache(int limit) {
    while (int(cache_.size()) > limit && !cache_.empty()) {
        // From the last entry back, replaced only by a strictly smaller
        // count: among equals the latest loaded goes.
        size_t victim = cache_.size() - 1;
        for (size_t i = cache_.size(); i-- > 0;)
            if (cache_[i]->TouchCount < cache_[victim]->TouchCount) victim = i;
        TMetafileEntry& entry = *cache_[victim];
        if (entry.Has(Modified)) {
            StoreEntry(entry);
        } else {
            entry.Metafile = QByteArray();
            entry.States &= ~InMemory;
        }
        cache_.erase(cache_.begin() + qsizetype(victim));
    }
}

void TMetafileList::StoreEntry(TMetafileEntry& entry) {
    TTemporaryFileStream& temp = Temp();
    const qint64 fileSize = temp.Size();
    if (entry.Has(InTempFile) && entry.Offset + entry.Size == fileSize) {
        // The last block is rewritten in place and the file cut after it.
        temp.WriteAt(entry.Offset, entry.Metafile);
        entry.Size = entry.Metafile.size();
        temp.Truncate(entry.Offset + entry.Size);
    } else {
        // An older copy elsewhere stays as dead space.
        entry.Offset = fileSize;
        temp.WriteAt(entry.Offset, entry.Metafile);
        entry.Size = entry.Metafile.size();
    }
    entry.States = InTempFile;
    entry.Metafile = QByteArray();
}

void TMetafileList::MetafileChanged(TMetafileEntry& entry) {
    if (entry.Size != 0 || entry.Has(Modified)) {
        const int index = IndexOf(&entry);
        if (index >= 0 && OnItemChanged) OnItemChanged(index);
    }
    entry.States |= Modified;
}

void TMetafileList::SetMetafile(int index, const QByteArray& metafile) {
    TMetafileEntry& entry = Items(index);
    entry.Metafile = metafile;
    MetafileChanged(entry);
}

void TMetafileList::SetCacheSize(int value) {
    value = std::max(1, value);
    if (value == cacheSize_) return;
    cacheSize_ = value;
    if (int(cache_.size()) > value) ReduceCache(value);
}

int TMetafileList::Add(const QByteArray& metafile) {
    Insert(Count(), metafile);
    return Count() - 1;
}

void TMetafileList::Insert(int index, const QByteArray& metafile) {
    index = std::clamp(index, 0, Count());
    ReduceCache(cacheSize_ - 1);
    auto entry = std::make_unique<TMetafileEntry>();
    entry->Metafile = metafile;
    entry->States = InMemory | Modified;
    cache_.push_back(entry.get());
    pages_.insert(pages_.begin() + index, std::move(entry));
    if (OnRangeChanged) OnRangeChanged(index, Count() - 1);
}

void TMetafileList::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    if (Count() == 1 && index == 0) {
        Clear();
        return;
    }
    TMetafileEntry* entry = pages_[size_t(index)].get();
    if (entry->Has(InMemory)) RemoveFromCache(entry);
    if (entry->Has(InTempFile) && temp_ && entry->Offset + entry->Size == temp_->Size())
        temp_->Truncate(entry->Offset);
    pages_.erase(pages_.begin() + index);
    if (OnRangeChanged) OnRangeChanged(index, Count() - 1);
}

void TMetafileList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex || curIndex < 0 || newIndex < 0 || curIndex >= Count() || newIndex >= Count())
        return;
    auto entry = std::move(pages_[size_t(curIndex)]);
    pages_.erase(pages_.begin() + curIndex);
    pages_.insert(pages_.begin() + newIndex, std::move(entry));
    if (OnRangeChanged) OnRangeChanged(std::min(curIndex, newIndex), std::max(curIndex, newIndex));
}

void TMetafileList::Clear() {
    if (pages_.empty()) return;
    cache_.clear();
    while (!pages_.empty()) pages_.pop_back();
    temp_.reset();
    if (OnRangeChanged) OnRangeChanged(0, -1);
}

// ---- the page-list block ------------------------------------------------

bool TMetafileList::LoadFromStream(QIODevice& stream) {
    char tag[6];
    if (!readExact(stream, tag, 6) || std::memcmp(tag, kPageListTag, 4) != 0) return false;
    Clear();

    qint32 length = 0;
    if (!readI32(stream, length) || length < 0) loadError();
    TIntegerList offsets;
    const qint64 left = stream.size() - stream.pos();
    if (!offsets.LoadFromStream(stream, left)) loadError();
    const qint64 count = offsets.Items.size();
    const qint64 dataStart = stream.pos();
    if (length > stream.size() - dataStart) loadError();
    if (count == 0 && length != 0) loadError();

    // Every page: its offset in order, and an EMF header at that offset
    // whose size is the page's length.
    std::vector<qint64> sizes(static_cast<size_t>(count));
    for (qint64 i = 0; i < count; ++i) {
        const qint64 at = offsets.Items[i];
        const qint64 next = i + 1 < count ? offsets.Items[i + 1] : length;
        if ((i == 0 && at != 0) || at < 0 || next <= at || at >= length) loadError();
        sizes[size_t(i)] = next - at;
        char header[emf::kMinHeaderSize];
        if (sizes[size_t(i)] < emf::kMinHeaderSize || !stream.seek(dataStart + at) ||
            !readExact(stream, header, sizeof header))
            loadError();
        if (emf::U32At(header) != emf::EMR_HEADER || emf::U32At(header + emf::kHdrSignature) != emf::kSignature ||
            emf::U32At(header + emf::kHdrBytes) != quint64(sizes[size_t(i)]))
            loadError();
    }
    if (!stream.seek(dataStart)) loadError();

    try {
        loadPages(stream, sizes, length);
    } catch (...) {
        // A stream that fails in the middle leaves no half-loaded pages.
        Clear();
        throw;
    }
    if (Count() > 0 && OnRangeChanged) OnRangeChanged(0, Count() - 1);
    return true;
}

void TMetafileList::loadPages(QIODevice& stream, const std::vector<qint64>& sizes, qint64 length) {
    const qint64 count = qint64(sizes.size());
    if (count <= cacheSize_) {
        for (qint64 i = 0; i < count; ++i) {
            auto entry = std::make_unique<TMetafileEntry>();
            entry->Metafile.resize(qsizetype(sizes[size_t(i)]));
            if (!readExact(stream, entry->Metafile.data(), entry->Metafile.size())) loadError();
            // No copy on disk yet: the loaded page counts as changed.
            entry->States = InMemory | Modified;
            cache_.push_back(entry.get());
            pages_.push_back(std::move(entry));
        }
    } else {
        Temp().AppendFrom(stream, length);
        qint64 position = 0;
        for (qint64 i = 0; i < count; ++i) {
            auto entry = std::make_unique<TMetafileEntry>();
            entry->Offset = position;
            entry->Size = sizes[size_t(i)];
            entry->States = InTempFile;
            position += entry->Size;
            pages_.push_back(std::move(entry));
        }
    }
}

void TMetafileList::SaveToStream(QIODevice& stream) {
    // Lengths and offsets are 32-bit: pages that do not fit must not be
    // written with wrapped offsets and reported as saved.
    qint64 total = 0;
    for (const auto& entry : pages_)
        total += (!entry->Has(InTempFile) || entry->Has(Modified)) ? entry->Metafile.size() : entry->Size;
    if (total > MaxPageData)
        throw EPrintPreviewError(
            QStringLiteral("The pages are too large for a page file (%1 bytes; at most %2 fit)")
                .arg(total).arg(MaxPageData));

    writeAll(stream, kPageListTag, 6);
    const qint64 p0 = stream.pos();
    writeI32(stream, 0);
    TIntegerList offsets;
    for (int i = 0; i < Count(); ++i) offsets.Add(0);
    offsets.SaveToStream(stream);
    const qint64 p1 = stream.pos();
    for (int i = 0; i < Count(); ++i) {
        const TMetafileEntry& entry = *pages_[size_t(i)];
        offsets.Items[i] = qint32(stream.pos() - p1);
        if (!entry.Has(InTempFile) || entry.Has(Modified))
            writeAll(stream, entry.Metafile.constData(), entry.Metafile.size());
        else
            temp_->CopyTo(stream, entry.Offset, entry.Size);
    }
    const qint64 length = stream.pos() - p1;
    if (!stream.seek(p0)) writeError();
    writeI32(stream, qint32(length));
    offsets.SaveToStream(stream);
    if (!stream.seek(p1 + length)) writeError();
}

}  // namespace tandex::print
