#include "recent_pairs.h"

namespace tandex::ui {

namespace {

bool hasNames(const config::TFilePair& pair) { return !pair.NameL.isEmpty() && !pair.NameR.isEmpty(); }

QString menuText(QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); }

}  // namespace

bool PairComplete(const config::TFilePair& pair) {
    return !pair.PathL.isEmpty() && !pair.PathR.isEmpty() && hasNames(pair);
}

bool SamePair(const config::TFilePair& a, const config::TFilePair& b) {
    return a.PathL == b.PathL && a.PathR == b.PathR && a.NameL == b.NameL && a.NameR == b.NameR;
}

QString PairSidePath(const config::TFilePair& pair, int pane) {
    const QString& folder = pane == 2 ? pair.PathR : pair.PathL;
    const QString& name = pane == 2 ? pair.NameR : pair.NameL;
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/'))) return folder + name;
    return folder + QLatin1Char('/') + name;
}

void StorePendingPair(TRecentPairs& list, const config::TFilePair& pair) {
    if (PairComplete(pair)) list[size_t(kPendingPair)] = pair;
}

TRecordAction RecordAction(const TRecentPairs& list, const config::TFilePair& pair) {
    if (!PairComplete(pair)) return raNothing;
    for (int i = 0; i < kListedPairs; ++i)
        if (SamePair(list[size_t(i)], pair)) return i == 0 ? raNothing : raNow;
    return pair.NameL == pair.NameR ? raNow : raWait;
}

void StoreRecentPair(TRecentPairs& list, const config::TFilePair& pair) {
    if (!PairComplete(pair)) return;
    TRecentPairs next;
    next[0] = pair;
    int n = 1;
    for (int i = 0; i < kListedPairs - 1 && n < kListedPairs; ++i) {
        const auto& entry = list[size_t(i)];
        if (!SamePair(entry, pair) && hasNames(entry)) next[size_t(n++)] = entry;
    }
    next[size_t(kPendingPair)] = list[size_t(kPendingPair)];
    list = next;
}

std::vector<TPairMenuItem> FilePairMenuItems(const TRecentPairs& list, const config::TextWidthFn& textWidth,
                                             int width) {
    std::vector<TPairMenuItem> items;
    for (int i = 0; i < kListedPairs; ++i) {
        const auto& pair = list[size_t(i)];
        if (!hasNames(pair)) continue;
        const int n = int(items.size());
        QString caption = QString::number(n);
        if (n < 10) caption.prepend(QLatin1Char('&'));
        caption += QStringLiteral("  ") +
                   menuText(config::ShortenPathPartsToWidth(textWidth, pair.PathL, pair.NameL, width)) +
                   QStringLiteral("   \u2261?\u2261   ") +
                   menuText(config::ShortenPathPartsToWidth(textWidth, pair.PathR, pair.NameR, width));
        items.push_back({caption, i});
    }
    return items;
}

std::vector<TPairMenuItem> FolderPairMenuItems(const std::array<QString, config::kListSize>& left,
                                               const std::array<QString, config::kListSize>& right,
                                               const config::TextWidthFn& textWidth, int width) {
    std::vector<TPairMenuItem> items;
    for (int i = 0; i < config::kListSize; ++i) {
        const QString& l = left[size_t(i)];
        const QString& r = right[size_t(i)];
        if (l.isEmpty() || r.isEmpty()) continue;
        const int n = int(items.size());
        QString caption = QString::number(n);
        if (n < 10) caption.prepend(QLatin1Char('&'));
        caption += QStringLiteral("  ") + menuText(config::ShortenPathToWidth(textWidth, l, width)) +
                   QStringLiteral("   \u2261?\u2261   ") + menuText(config::ShortenPathToWidth(textWidth, r, width));
        items.push_back({caption, i});
    }
    return items;
}

}  // namespace tandex::ui
