#include "access/archive_paths.h"

#include "access/archive_options.h"

#include <chrono>
#include <limits>
#include <mutex>
#include <thread>

namespace tandex::access {

namespace {

struct SearchResult {
    int extIndex = -1;
    int split = 0;
    int depth = 0;
};

thread_local SearchResult lastSearch;

std::mutex& searchLock() {
    static std::mutex m;
    return m;
}

// The lowest end of an extension of the list at or after start that is
// followed by the end of the path or "/"; every occurrence of each
// extension counts, so "a.zip_old/b.zip/x" finds "b.zip".
qsizetype nearestArchiveEnd(const QString& lower, const QStringList& extensions, qsizetype start,
                            int& index) {
    qsizetype best = std::numeric_limits<qsizetype>::max();
    index = -1;
    for (int i = 0; i < extensions.size(); ++i) {
        const QString& ext = extensions[i];
        if (ext.isEmpty()) continue;
        for (qsizetype at = lower.indexOf(ext, start); at >= 0; at = lower.indexOf(ext, at + 1)) {
            const qsizetype end = at + ext.size();
            if (end >= best) break;
            if (end == lower.size() || lower[end] == QLatin1Char('/')) {
                best = end;
                index = i;
                break;
            }
        }
    }
    return index < 0 ? -1 : best;
}

}  // namespace

QString FZLowerAscii(const QString& text) {
    QString lower = text;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return lower;
}

std::atomic<qint64>& ArchiveLockWaits() {
    static std::atomic<qint64> waits{0};
    return waits;
}

bool FZFindArchiveInPath(const QString& path, int mode) {
    const QString lower = FZLowerAscii(path);
    const QStringList extensions = FZArchiveOptions().extensions;
    std::unique_lock lock(searchLock(), std::defer_lock);
    while (!lock.try_lock()) {
        ++ArchiveLockWaits();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    SearchResult result;
    if (mode == 1) {
        for (int i = 0; i < extensions.size(); ++i)
            if (!extensions[i].isEmpty() && lower.endsWith(extensions[i])) {
                result.extIndex = i;
                result.split = int(lower.size());
                result.depth = 1;
                break;
            }
    } else {
        qsizetype start = 0;
        while (result.depth < 2) {
            int index = -1;
            const qsizetype end = nearestArchiveEnd(lower, extensions, start, index);
            if (end < 0) break;
            if (result.depth == 0) {
                result.extIndex = index;
                result.split = int(end);
            }
            ++result.depth;
            start = end;
        }
    }
    lastSearch = result;
    return result.extIndex >= 0;
}

int FZArchiveDepth() {
    return lastSearch.depth;
}

int FZArchiveExtIndex() {
    return lastSearch.extIndex;
}

int FZArchiveSplitPosition() {
    return lastSearch.split;
}

bool FZIsInsideArchive(const QString& path) {
    const QString lower = FZLowerAscii(path);
    for (const QString& ext : FZArchiveOptions().extensions) {
        if (ext.isEmpty()) continue;
        const qsizetype at = lower.indexOf(ext);
        if (at >= 0) return lower.size() - (at + ext.size()) >= 2;
    }
    return false;
}

bool FZIsArchiveFile(const QString& name) {
    const QString lower = FZLowerAscii(name.mid(name.lastIndexOf(QLatin1Char('/')) + 1));
    const qsizetype dot = lower.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && FZArchiveOptions().extensions.contains(lower.mid(dot));
}

void FZArchiveInnerPath(const QString& path, QString& inner) {
    inner.clear();
    if (FZFindArchiveInPath(path, 0)) inner = path.mid(FZArchiveSplitPosition());
}

void FZArchiveFilePath(const QString& path, QString& file) {
    file.clear();
    if (FZFindArchiveInPath(path, 0)) file = path.left(FZArchiveSplitPosition());
}

}  // namespace tandex::access
