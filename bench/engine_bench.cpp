// Timings of the comparison engine.
//
//   engine-bench                      synthetic runs: the difference engine on
//                                     1,000,000 keys with 1 % scattered edits and
//                                     on 50,000 against 50,000 different keys;
//                                     HashAllLines on 1,000,000 lines of 80
//                                     characters on both CRC paths
//   engine-bench diff LEFT RIGHT      keys both files' lines (no ignore options)
//                                     and runs the difference engine; prints
//                                     matches=N adds=N deletes=N modifies=N ms=T
//   engine-bench compare LEFT RIGHT [/ic] [/iw] [/il] [/it] [/ie] [/fuzzy]
//                                     loads both files into the panes and runs
//                                     the text comparison with the options given
//                                     (ignore case, all, leading and trailing
//                                     blanks, empty lines; fuzzy pairing); prints
//                                     modified=N added=N deleted=N blocks=N ms=T
//                                     and, on stderr, the time of reading both
//                                     files and of the in-line marks of every
//                                     differing row
//   engine-bench folders N            builds a tree of N folder entries (fixed
//                                     seed: a tenth folders, up to 8 levels, a
//                                     few per cent differing) and times the
//                                     folder-row operations; prints one line
//                                     op=NAME rows=N ms=T per operation, N the
//                                     visible rows after it
//
// compare reads its files as the program does: kind detection, then the
// line reader with tab width 4 and lines of at most 8192 characters. diff
// reads them as UTF-8 split at "\n" only: a last line without "\n" counts,
// a "\r" before the "\n" stays part of its line.

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "engine/diff_engine.h"
#include "engine/folder_rows.h"
#include "engine/inline_diff.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/text_compare.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <random>
#include <vector>

using namespace tandex::engine;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool readLines(const char* path, std::vector<QString>& lines) {
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "engine-bench: cannot read %s\n", path);
        return false;
    }
    const QByteArray data = file.readAll();
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0) end = data.size();
        lines.push_back(QString::fromUtf8(data.constData() + start, end - start));
        start = end + 1;
    }
    return true;
}

// The lines of a text file through the access layer's reader.
bool readTextLines(const char* path, std::vector<QString>& lines) {
    using namespace tandex::access;
    int slot = FZNoSlot;
    int r = FZOpen(QString::fromLocal8Bit(path), twReadAccess, false, slot);
    int kind = 0, byRule = 0;
    if (!r) r = FZDetectFileKind(slot, kind, byRule);
    if (!r && !FZIsTextKind(kind)) r = errInvalidParameter;
    if (!r) FZSetFileKind(slot, kind);
    QString text;
    while (!r) {
        r = FZReadLine(slot, text);
        if (r == 0 || (r == 38 && !FZReadLineAtEnd(slot))) lines.push_back(std::move(text));
    }
    if (slot != FZNoSlot) FZClose(slot);
    if (r != 38) {
        std::fprintf(stderr, "engine-bench: cannot read %s: %s\n", path,
                     qPrintable(FZErrorText(-r, eoNone)));
        return false;
    }
    return true;
}

void noIgnoreOptions() {
    lineKeys().Options = LineKeyOptions{};
}

int benchDiff(const char* left, const char* right) {
    std::vector<QString> a, b;
    if (!readLines(left, a) || !readLines(right, b)) return 2;
    noIgnoreOptions();
    const auto start = Clock::now();
    std::vector<qint32> k1(a.size()), k2(b.size() + 1);
    for (size_t i = 0; i < a.size(); ++i) k1[i] = qint32(lineKeys().MakeLineKey(a[i]));
    for (size_t i = 0; i < b.size(); ++i) k2[i] = qint32(lineKeys().MakeLineKey(b[i]));
    auto& e = diffEngine();
    try {
        if (!e.DiffInts(k1.data(), k2.data(), qint32(a.size()), qint32(b.size()))) return 3;
    } catch (const std::exception& err) {
        std::fprintf(stderr, "engine-bench: %s\n", err.what());
        return 3;
    }
    const double ms = msSince(start);
    DiffStatistics s;
    e.GetDiffStatistics(s);
    std::printf("matches=%d adds=%d deletes=%d modifies=%d ms=%.1f\n", s.Matches, s.Adds, s.Deletes, s.Modifies,
                ms);
    return 0;
}

void timeDiff(const char* name, const std::vector<qint32>& a, const std::vector<qint32>& b) {
    auto& e = diffEngine();
    const auto start = Clock::now();
    e.DiffInts(a.data(), b.data(), qint32(a.size()), qint32(b.size()));
    const double ms = msSince(start);
    DiffStatistics s;
    e.GetDiffStatistics(s);
    std::printf("%-34s %9.1f ms  (matches=%d adds=%d deletes=%d modifies=%d)\n", name, ms, s.Matches, s.Adds,
                s.Deletes, s.Modifies);
    e.DiffClear();
}

void timeHashAllLines() {
    std::mt19937 rng(42);
    auto& st = paneStores();
    const int n = 1000000;
    for (int pane = 1; pane <= 2; ++pane) {
        st.ResetSide(pane, false);
        for (int i = 0; i < n; ++i) {
            QString text(80, Qt::Uninitialized);
            for (auto& c : text) c = QChar(char16_t(32 + rng() % 95));
            st.TextLines[size_t(pane)].New(i)->Text = text;
        }
        st.LineCount[size_t(pane)] = n;
    }
    st.UpdateMaxLineCount();
    std::vector<qint32> k1(n), k2(size_t(n) + 1);
    for (int sse = 1; sse >= 0; --sse) {
        tandex::config::UseSSE42() = quint8(sse);
        lineKeys().ClearLineKeys();
        const auto start = Clock::now();
        lineKeys().HashAllLines(k1, k2);
        std::printf("HashAllLines 2 x 1,000,000 x 80 %-6s %9.1f ms\n", sse ? "CRC32C" : "CRC32", msSince(start));
    }
    for (int pane = 1; pane <= 2; ++pane) st.ResetSide(pane, false);
}

int benchSynthetic() {
    std::mt19937 rng(1);
    std::vector<qint32> a(1000000);
    for (auto& v : a) v = qint32(rng());
    // 1 % of the lines edited: a third changed, a third inserted, a third deleted.
    std::vector<qint32> b;
    b.reserve(a.size() + a.size() / 100);
    for (qint32 v : a) {
        const unsigned r = rng() % 300;
        if (r == 0) continue;
        if (r == 1) b.push_back(qint32(rng()));
        b.push_back(r == 2 ? qint32(rng()) : v);
    }
    timeDiff("DiffInts 1,000,000 keys, 1 % edits", a, b);

    std::vector<qint32> c(50000), d(50000);
    for (size_t i = 0; i < c.size(); ++i) {
        c[i] = qint32(i);
        d[i] = qint32(i + 1000000);
    }
    timeDiff("DiffInts 50,000 vs 50,000 distinct", c, d);
    timeHashAllLines();
    return 0;
}

void loadPane(int pane, std::vector<QString>& lines) {
    auto& st = paneStores();
    st.ResetSide(pane, true);
    for (size_t i = 0; i < lines.size(); ++i) {
        TTextLine* line = st.TextLines[size_t(pane)].New(int(i));
        line->Text = std::move(lines[i]);
        line->LineNumber = int(i) + 1;
    }
    st.LineCount[size_t(pane)] = int(lines.size());
    st.UpdateMaxLineCount();
}

int benchCompare(int argc, char** argv) {
    auto& s = tandex::config::AppSettings();
    s.TCIgnCase = s.TCIgnAllBl = s.TCIgnLeadBl = s.TCIgnTrailBl = s.TCIgnEmptyLn = false;
    s.TCIgnLineCom = s.TCIgnColRange = false;
    s.TCIgnLnStart = s.TCIgnLnEnd = 0;
    auto& st = paneStores();
    st.FuzzyMode = 0;
    for (int i = 4; i < argc; ++i) {
        const QString opt = QString::fromLocal8Bit(argv[i]).toLower();
        if (opt == "/ic") s.TCIgnCase = true;
        else if (opt == "/iw") s.TCIgnAllBl = true;
        else if (opt == "/il") s.TCIgnLeadBl = true;
        else if (opt == "/it") s.TCIgnTrailBl = true;
        else if (opt == "/ie") s.TCIgnEmptyLn = true;
        else if (opt == "/fuzzy") st.FuzzyMode = 1;
        else {
            std::fprintf(stderr, "engine-bench: unknown option %s\n", argv[i]);
            return 1;
        }
    }
    std::vector<QString> a, b;
    tandex::access::FZSetTabSize(4, 8192);
    const auto readStart = Clock::now();
    if (!readTextLines(argv[2], a) || !readTextLines(argv[3], b)) return 2;
    std::fprintf(stderr, "read ms=%.1f\n", msSince(readStart));
    if (a.size() > size_t(kMaxFileLines) || b.size() > size_t(kMaxFileLines)) {
        std::fprintf(stderr, "engine-bench: a file has more than %d lines\n", kMaxFileLines);
        return 2;
    }
    loadPane(1, a);
    loadPane(2, b);
    lineKeys().BuildColumnMask();
    auto& tc = textCompare();
    const auto start = Clock::now();
    try {
        tc.CompareTextFiles();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "engine-bench: %s\n", e.what());
        return 3;
    }
    const double ms = msSince(start);
    const auto& c = tc.Counts;
    std::printf("modified=%d added=%d deleted=%d blocks=%d ms=%.1f\n", c.Modified, c.Added, c.Deleted, c.Blocks, ms);
    std::fflush(stdout);

    auto& r = rows();
    r.FilterTextRows(0);
    const auto inlineStart = Clock::now();
    int marked = 0;
    for (int row = 0; row < r.TextRowCount; ++row) {
        const int index = r.TextRowIndex(row);
        if (!r.LineDiffers(index)) continue;
        inlineDiff().CompareLinePair(st.TextLines[1][index]->Text, st.TextLines[2][index]->Text, row);
        ++marked;
    }
    std::fprintf(stderr, "inline rows=%d ms=%.1f\n", marked, msSince(inlineStart));
    return 0;
}

// A synthetic folder tree in tree order on both panes: about a tenth of
// the entries folders, at most 8 levels, about 3 % of the files differing
// and 1 % missing on one side.
void buildFolderTree(int n) {
    auto& st = paneStores();
    std::mt19937 rng(7);
    std::vector<QString> folders;
    for (int i = 0; i < n; ++i) {
        // Leaving a folder about as often as one is entered keeps them at
        // about ten entries each.
        while (!folders.empty() && rng() % 10 == 0) folders.pop_back();
        const int depth = int(folders.size());
        const bool folder = depth < 8 && rng() % 10 == 0;
        const QString name = (folder ? QStringLiteral("dir") : QStringLiteral("file")) + QString::number(i);
        const QString path = folders.empty() ? name : folders.back() + u'/' + name;
        const TFileTime time = 130000000000000000ull + rng() % 1000000000000ull;
        for (int pane = 1; pane <= 2; ++pane) {
            auto& entries = st.FolderEntries[size_t(pane)];
            if (folder)
                st.SetFolderEntryFolder(depth, i, 0x10, entries, path, time);
            else
                st.SetFolderEntryFile(i, 0x20, path, entries, qint64(rng() % 1000000), time);
        }
        if (folder) folders.push_back(path);
        if (!folder && rng() % 100 == 0) st.SetFolderEntryStatus(i, 2, path, st.FolderEntries[1 + rng() % 2]);
    }
    st.FolderEntryCount = n;
    for (int i = 0; i < n; ++i)
        if (st.FolderEntries[1][i]->FolderState == 0 && rng() % 33 == 0) folderRows().SetFolderEntryDiffers(i, true);
}

int benchFolders(const char* countText) {
    const int n = std::atoi(countText);
    if (n <= 0 || n >= kLineSlots) {
        std::fprintf(stderr, "engine-bench: folders takes 1 to %d entries\n", kLineSlots - 1);
        return 1;
    }
    auto& st = paneStores();
    buildFolderTree(n);
    st.FolderMode = 1;
    tandex::config::AppSettings().FCTreeView = true;
    auto& f = folderRows();
    const auto timed = [&](const char* name, auto op) {
        const auto start = Clock::now();
        op();
        std::printf("op=%s rows=%d ms=%.1f\n", name, f.FolderRowCount, msSince(start));
        std::fflush(stdout);
    };
    timed("RebuildFolderRows", [&] { f.RebuildFolderRows(); });
    timed("OpenAllFolders", [&] { f.OpenAllFolders(); });
    timed("CloseAllFolders", [&] { f.CloseAllFolders(); });
    timed("OpenDifferentFolders", [&] { f.OpenDifferentFolders(); });
    qint64 total = 0;
    timed("FolderRowSize", [&] {
        for (int row = 0; row < f.FolderRowCount; ++row)
            if (f.FolderRowState(row) != 0) total += f.FolderRowSize(1, row);
    });
    std::fprintf(stderr, "folders=%d sum=%lld\n", st.FolderCount, static_cast<long long>(total));
    st.ClearFolderEntries();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return benchSynthetic();
    if (argc == 4 && std::strcmp(argv[1], "diff") == 0) return benchDiff(argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "compare") == 0) return benchCompare(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "folders") == 0) return benchFolders(argv[2]);
    std::fprintf(stderr,
                 "usage: engine-bench [diff LEFT RIGHT | compare LEFT RIGHT [/ic] [/iw] [/il] [/it] [/ie] [/fuzzy] |\n"
                 "                     folders N]\n");
    return 1;
}
