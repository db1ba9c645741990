#include "engine/pane_stores.h"

#include "config/app_settings.h"

// The folder pre-scan list: filled by the pre-scan thread, read by the
// folder comparison behind it while the thread still appends.

namespace tandex::engine {

TScanList::TScanList() : chunks_(std::make_unique<std::unique_ptr<TScanItem[]>[]>(size_t(kChunks))) {}

TScanList::TScanList(bool pairList) : TScanList() {
    pairList_ = pairList ? 1 : 0;
}

TScanList::~TScanList() = default;

const TScanItem& TScanList::operator[](int i) const {
    if (i < 0 || i >= Count()) throw std::out_of_range("pre-scan item out of range");
    return slot(i);
}

TScanItem& TScanList::operator[](int i) {
    if (i < 0 || i >= Count()) throw std::out_of_range("pre-scan item out of range");
    return slot(i);
}

TScanItem& TScanList::Append(TScanItem item) {
    // Only the appending thread changes the count, so its own view is exact.
    const int n = count_.load(std::memory_order_relaxed);
    // The last slot of the list is reserved for its count.
    if (n + 1 >= kScanListSlots) throw std::length_error(kMaxEntryText.toStdString());
    std::unique_ptr<TScanItem[]>& chunk = chunks_[size_t(n / kChunkItems)];
    if (!chunk) chunk = std::make_unique<TScanItem[]>(size_t(kChunkItems));
    TScanItem& placed = chunk[size_t(n % kChunkItems)];
    placed = std::move(item);
    count_.store(n + 1, std::memory_order_release);
    return placed;
}

void TScanList::Clear() {
    count_.store(0, std::memory_order_relaxed);
    for (int c = 0; c < kChunks; ++c)
        chunks_[size_t(c)].reset();
}

bool TScanList::UsesPairList() const {
    return pairList_ < 0 ? config::AppSettings().FCUseFPL : pairList_ == 1;
}

void NewScanList(std::unique_ptr<TScanList>& list) {
    list = std::make_unique<TScanList>(config::AppSettings().FCUseFPL);
}

void FreeScanList(std::unique_ptr<TScanList>& list) {
    list.reset();
}

void AddScanFileItem(quint32 attributes, const QString& name, const QString& secondName, TScanList& list,
                     qint64 size, TFileTime time, const TScanMark* mark, quint8 fileType) {
    TScanItem item;
    item.FileType = fileType;
    item.Attributes = attributes;
    item.Name = name;
    item.SecondName = secondName;
    item.Size = size;
    item.Time = time;
    const bool pairList = list.UsesPairList();
    if (pairList) item.NameMaskLength = MaskPathPrefix(name);
    if (mark) {
        item.Kind = 2;
        item.Position = mark->Position;
        item.FolderPath = mark->Counterpart;
        if (pairList) item.FolderPathMaskLength = MaskPathPrefix(mark->Counterpart);
    }
    list.Append(std::move(item));
}

void AddScanFolderItem(qint32 position, const QString& label, const QString& folderPath, TScanList& list,
                       const QString& name) {
    TScanItem item;
    item.Kind = 1;
    item.Position = position;
    item.FolderPath = folderPath;
    item.Name = name;
    if (list.UsesPairList()) {
        item.FolderPathMaskLength = MaskPathPrefix(folderPath);
        item.NameMaskLength = MaskPathPrefix(name);
        item.Label = label;
    }
    list.Append(std::move(item));
}

void SetScanFolderPaths(const QString& path, TScanList& list) {
    const int mask = list.UsesPairList() ? MaskPathPrefix(path) : 0;
    for (int i = 0; i < list.Count(); ++i) {
        TScanItem& item = list[i];
        if (item.Kind != 1 && item.Kind != 2) continue;
        item.FolderPath = path;
        item.FolderPathMaskLength = mask;
    }
}

}  // namespace tandex::engine
