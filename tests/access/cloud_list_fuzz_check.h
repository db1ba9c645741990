#pragma once
// One run of the cloud listing's readers over hostile text, shared by the
// libFuzzer target and the test that replays the inputs in data/ that once
// broke them: the text read as a date gives a time from 1601 on or the
// unreadable time; read as a metadata answer for a few folders, every entry
// kept is a plain name (no "/", not empty, no dot name) directly inside the
// folder, no folder name twice, and the count matches the entries.

#include "access/cloud_client.h"
#include "access/cloud_files.h"
#include "access/file_times.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <vector>

namespace tandex::access::fuzz {

// The entries of a metadata answer as the client reads them.
inline std::vector<TDBOItem> scanItems(const QString& text) {
    TDropbox1 client;
    client.SetScanText(text);
    std::vector<TDBOItem> items;
    // Each entry needs its own "path" key (the cloud scan fuzz target
    // checks that), so this ends.
    for (;;) {
        TDBOItem item;
        client.ReadItem(item);
        if (item.Path.isEmpty() || qsizetype(items.size()) > text.size()) return items;
        items.push_back(std::move(item));
    }
}

inline QString runCloudList(const QByteArray& input) {
    const QString text = QString::fromUtf8(input);
    const FileTime time = FZParseCloudDate(text);
    // 10000-01-01 is the first time four year digits cannot reach.
    constexpr FileTime kYear10000 = 2650467744000000000ull;
    if (time != FZUnreadableTime && time >= kYear10000)
        return QStringLiteral("a date beyond four year digits");

    const std::vector<TDBOItem> items = scanItems(text);
    for (const QString& folder : {QStringLiteral("/"), QStringLiteral("/docs/")}) {
        TFZDDir listing;
        FZFilterCloudListing(items, folder, listing);
        if (listing.Count != int(listing.Items.size()))
            return QStringLiteral("the count differs from the entries");
        QSet<QString> folders;
        for (const TFZItem& item : listing.Items) {
            if (item.Name.isEmpty() || item.Name.contains(QLatin1Char('/')) ||
                item.Name == QLatin1String(".") || item.Name == QLatin1String(".."))
                return QStringLiteral("an entry named \"%1\"").arg(item.Name);
            if (item.Size < 0) return QStringLiteral("a negative size");
            if (item.Attr & FZAttrDirectory) {
                if (folders.contains(item.Name))
                    return QStringLiteral("the folder \"%1\" twice").arg(item.Name);
                folders.insert(item.Name);
            }
        }
    }
    return QString();
}

}  // namespace tandex::access::fuzz
