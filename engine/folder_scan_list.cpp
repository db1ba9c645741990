#include "engine/pane_stores.h"

#include "config/app_settings.h"

// The folder pre-scan list: filled by the pre-scan thread, read by the
// folder comparison once the thread has produced its entries.

namespace tandex::engine {

TScanItem& TScanList::Append(std::unique_ptr<TScanItem> item) {
    // The last slot of the list is reserved for its count.
    if (items_.size() + 1 >= size_t(kScanListSlots)) throw std::length_error(kMaxEntryText.toStdString());
    items_.push_back(std::move(item));
    return *items_.back();
}

void AddScanFileItem(quint32 attributes, const QString& name, const QString& secondName, TScanList& list,
                     qint64 size, TFileTime time) {
    auto item = std::make_unique<TScanItem>();
    item->Kind = 0;
    item->Attributes = attributes;
    item->Name = name;
    if (config::AppSettings().FCUseFPL) item->NameMaskLength = MaskPathPrefix(name);
    item->SecondName = secondName;
    item->Size = size;
    item->Time = time;
    list.Append(std::move(item));
}

void AddScanFolderItem(qint32 position, const QString& label, const QString& folderPath, TScanList& list,
                       const QString& name) {
    auto item = std::make_unique<TScanItem>();
    item->Kind = 1;
    item->Position = position;
    item->FolderPath = folderPath;
    item->Name = name;
    if (config::AppSettings().FCUseFPL) {
        item->FolderPathMaskLength = MaskPathPrefix(folderPath);
        item->NameMaskLength = MaskPathPrefix(name);
        item->Label = label;
    }
    list.Append(std::move(item));
}

void SetScanFolderPaths(const QString& path, TScanList& list) {
    const int mask = config::AppSettings().FCUseFPL ? MaskPathPrefix(path) : 0;
    for (int i = 0; i < list.Count(); ++i) {
        if (list[i].Kind != 1) continue;
        list[i].FolderPath = path;
        list[i].FolderPathMaskLength = mask;
    }
}

}  // namespace tandex::engine
