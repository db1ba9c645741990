#include "archive/archive_items.h"

#include <stdexcept>

namespace tandex::archive {

TDateTime TArcArchiveItem::GetLastModTimeAsDateTime() const {
    return DosDateTimeToDateTime(GetLastModFileDate(), GetLastModFileTime());
}

void TArcArchiveItem::SetLastModTimeAsDateTime(TDateTime value) {
    const uint32_t dos = DateTimeToDosDateTime(value);
    SetLastModFileTime(static_cast<uint16_t>(dos & 0xFFFF));
    SetLastModFileDate(static_cast<uint16_t>(dos >> 16));
}

TArcArchiveList::TArcArchiveList(bool ownsItems) : ownsItems_(ownsItems) {}

TArcArchiveList::~TArcArchiveList() {
    Clear();
}

int TArcArchiveList::BucketOf(const QString& name) {
    // Upper-cased per code unit, so names that differ only in letter case
    // share a bucket.
    uint32_t h = 0;
    const QChar* units = name.constData();
    for (qsizetype i = 0, n = name.size(); i < n; ++i) {
        // ASCII inline: every item of a listing is hashed here.
        const char16_t u = units[i].unicode();
        const char16_t up =
            u >= 0x80 ? QChar(u).toUpper().unicode() : (u >= u'a' && u <= u'z' ? char16_t(u - 32) : u);
        h = (h << 4) + up;
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) h ^= g >> 24;
        h &= ~g;
    }
    return static_cast<int>(h % kBucketCount);
}

bool TArcArchiveList::SameName(const QString& a, const QString& b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= u'a' && x <= u'z') x -= 32;
        if (y >= u'a' && y <= u'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

void TArcArchiveList::link(TArcArchiveItem* item, int bucket) {
    item->NextInBucket = buckets_[bucket];
    buckets_[bucket] = item;
}

void TArcArchiveList::unlink(TArcArchiveItem* item, int bucket) {
    // The item is normally in the bucket of its name; when a caller renamed
    // it without telling the list, every chain is searched, so no freed item
    // can stay reachable.
    for (int b = 0; b < kBucketCount; ++b) {
        const int at = b == 0 ? bucket : (b == bucket ? 0 : b);
        for (TArcArchiveItem** p = &buckets_[at]; *p; p = &(*p)->NextInBucket) {
            if (*p == item) {
                *p = item->NextInBucket;
                item->NextInBucket = nullptr;
                return;
            }
        }
    }
}

void TArcArchiveList::renumberFrom(int index) {
    for (size_t i = static_cast<size_t>(index); i < items_.size(); ++i)
        items_[i]->listIndex_ = static_cast<int>(i);
}

int TArcArchiveList::Add(std::unique_ptr<TArcArchiveItem> item) {
    if (!ownsItems_)
        throw std::logic_error("TArcArchiveList::Add: the list does not own its items");
    TArcArchiveItem* raw = item.release();
    link(raw, BucketOf(raw->GetFileName()));
    items_.push_back(raw);
    raw->listIndex_ = Count() - 1;
    return raw->listIndex_;
}

int TArcArchiveList::AddReference(TArcArchiveItem* item) {
    if (ownsItems_)
        throw std::logic_error("TArcArchiveList::AddReference: the list owns its items");
    items_.push_back(item);
    return Count() - 1;
}

int TArcArchiveList::IndexOf(const TArcArchiveItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i] == item) return static_cast<int>(i);
    return -1;
}

int TArcArchiveList::Find(const QString& name) const {
    if (!ownsItems_) {
        for (size_t i = 0; i < items_.size(); ++i)
            if (SameName(items_[i]->GetFileName(), name)) return static_cast<int>(i);
        return -1;
    }
    for (TArcArchiveItem* p = buckets_[BucketOf(name)]; p; p = p->NextInBucket)
        if (SameName(p->GetFileName(), name)) return p->listIndex_;
    return -1;
}

bool TArcArchiveList::IsActiveDupe(const QString& name) const {
    return FindActive(name) >= 0;
}

int TArcArchiveList::FindActive(const QString& name) const {
    if (!ownsItems_) {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i]->Action != iaDelete && SameName(items_[i]->GetFileName(), name))
                return static_cast<int>(i);
        return -1;
    }
    for (TArcArchiveItem* p = buckets_[BucketOf(name)]; p; p = p->NextInBucket)
        if (p->Action != iaDelete && SameName(p->GetFileName(), name)) return p->listIndex_;
    return -1;
}

void TArcArchiveList::Delete(int index) {
    TArcArchiveItem* item = Items(index);
    items_.erase(items_.begin() + index);
    if (ownsItems_) {
        unlink(item, BucketOf(item->GetFileName()));
        std::unique_ptr<TArcArchiveItem> owned(item);
        renumberFrom(index);
    }
}

void TArcArchiveList::UpdateName(TArcArchiveItem* item, const QString& oldName) {
    if (!ownsItems_) return;
    unlink(item, BucketOf(oldName));
    link(item, BucketOf(item->GetFileName()));
}

void TArcArchiveList::Clear() {
    if (ownsItems_)
        for (TArcArchiveItem* item : items_)
            std::unique_ptr<TArcArchiveItem> owned(item);
    items_.clear();
    buckets_.fill(nullptr);
}

}  // namespace tandex::archive
