#include "ui/folders/folder_compare.h"

#include "access/access_slots.h"
#include "access/file_times.h"
#include "access/ftp_hooks.h"
#include "access/archive_slots.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "ui/folders/prescan.h"
#include "ui/folders/run_logs.h"
#include "ui/main/main_window_seams.h"

#include "tests/access/as_nobody.h"
#include "tests/access/ftp_test_profile.h"
#include "tests/access/local_servers.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <functional>
#include <set>

// Readable failures.
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

using namespace tandex::folders;
namespace fz = tandex::access;
namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "compare_run_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = new QCoreApplication(argc, argv);  // lives to the end
    return *instance;
}

QByteArray native(const QString& path) { return QFile::encodeName(path); }

constexpr qint64 kT0 = 1'600'000'000;  // a Unix time all tree entries share unless told

// A tree entry: a path ending in "/" is a folder; kind 'p' a FIFO.
struct Node {
    QString path;
    QByteArray content = "x";
    qint64 mtime = kT0;
    int mode = 0644;
    char kind = 'f';
};

void setMtime(const QString& path, qint64 seconds) {
    const timespec times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
    ::utimensat(AT_FDCWD, native(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

void makeTree(const QString& root, const std::vector<Node>& nodes) {
    QDir().mkpath(root);
    for (const Node& n : nodes) {
        const QString p = root + "/" + n.path;
        QDir().mkpath(p.endsWith('/') ? p : p.left(p.lastIndexOf('/')));
        if (p.endsWith('/')) continue;
        if (n.kind == 'p') {
            ASSERT_EQ(::mkfifo(native(p).constData(), 0644), 0) << qPrintable(p);
        } else {
            QFile f(p);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << qPrintable(p);
            f.write(n.content);
            f.close();
            ::chmod(native(p).constData(), mode_t(n.mode));
        }
        setMtime(p, n.mtime);
    }
}

// The error dialog of a test: answers from a queue (then "No"), counts
// what it was asked and keeps the retry counters as the real policy does.
class ScriptedErrorDialog : public ui::ErrorDialogServices {
public:
    std::deque<int> answers;
    int asks = 0, delays = 0;
    QString lastText;
    int Ask(const QString&, const QString& errorText, bool, int, bool) override {
        ++asks;
        lastText = errorText;
        answer_ = answers.empty() ? ui::eaNo : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer_;
    }
    int ErrorAnswer() const override { return answer_; }
    int PartlyAnswer() const override { return ui::eaNo; }
    void Reset() override { answer_ = ui::eaNo, retries_ = 0; }
    void ResetRetries(int) override { retries_ = 0; }
    void CountRetry(int) override { ++retries_; }
    bool RetriesExhausted(int) const override { return retries_ >= config::AppSettings().ESMaxRetry; }
    void RetryDelay() override { ++delays; }

private:
    int answer_ = ui::eaNo;
    int retries_ = 0;
};

// The folder window of a test: records the display clock and lets a test
// act at the file progress.
class ScriptedWindow : public TCompareWindow {
public:
    std::vector<int> timers;
    std::function<void(qint64)> onFileProgress;
    void SetDisplayTimer(int kind) override { timers.push_back(kind); }
    void SetFileProgress(qint64 value) override {
        if (onFileProgress) onFileProgress(value);
    }
};

struct Outcome {
    QStringList rows;      // one per row: "left | right", see rowText
    QStringList results;   // the log's result and error lines
    QStringList log;       // every log line
    int files = 0, differences = 0, errors = 0, foundRight = 0;
    int errorCode = 0, runState = 0;
    int rightSlot = fz::FZNoSlot;
};

// One side of a row: its path ("/" behind folders), "#n" for a status
// entry, "-" for none.
QString sideText(const engine::TFolderEntry* e) {
    if (e->Empty) return "-";
    QString t = e->Path + (e->FolderState ? "/" : "");
    if (e->Status >= 2 && e->Status <= 7 && !(e->FolderState && e->Status == 6)) t += "#" + QString::number(e->Status);
    return t;
}

QString rowText(int i) {
    auto& st = engine::paneStores();
    const engine::TFolderEntry* l = st.FolderEntries[1][i];
    const engine::TFolderEntry* r = st.FolderEntries[2][i];
    const engine::TFolderEntry* tree = l->Empty ? r : l;
    return sideText(l) + " | " + sideText(r) + " r" + QString::number(tree->Result) + (tree->Differs ? " *" : "");
}

class CompareRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { app(); }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved = config::AppSettings();
        config::TPrgDirSources sources;
        sources.executablePath = dir.filePath("bin/tandex");
        sources.configHome = dir.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        QDir().mkpath(config::PrgDir().GetWritableRoot());
        config::setMessageSink(&messages);
        ui::setErrorDialog(&dialog);
        auto& s = config::AppSettings();
        s.FCGenLog = true;
        s.FCBufSize = 0;  // 32 KiB blocks keep the files small
        s.FCContent = 8;
        s.FCAttr = 7;
        s.FCDateTime = true;
        s.FCSubDir = true;
        s.FCChkBoth = true;
        s.FCFldFirst = true;
        s.FCUseFPL = false;
        s.FCIgnTimeDif = 2;
        s.FCIgnDST = 1;
        s.ESMaxRetry = 0;
        s.ESErrorBox = true;
        s.ESWarnBox = true;
        fz::FZSetTimeTolerance(2, 1);
    }
    void TearDown() override {
        fz::FZClearFaults();
        ui::commandLine().SetBatchMode(false);
        ui::setErrorDialog(nullptr);
        config::setMessageSink(nullptr);
        config::SetPrgDir(nullptr);
        config::AppSettings() = saved;
        FolderCompare().RunState = rsIdle;
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Pre-scans left (to its end) and compares it with right.
    Outcome run(const QString& left, const QString& right, const std::function<void(TCompareRun&)>& setup = {}) {
        TFolderCompareState& fc = FolderCompare();
        fc.RunState = rsComparing;
        fc.ContentCompareOn = config::AppSettings().FCContent > 0;
        fc.FCErrorCode = 0;
        fc.PreScanReport.Clear();
        PreScan().ResetCounters();
        PreScan().PreScanSubfolders = config::AppSettings().FCSubDir;
        engine::paneStores().ClearFolderEntries();
        dialog.Reset();
        RunLogs().OpenLog(kCompareLog, 0, 0, 0);

        engine::TScanList list(false);
        TPreScanFolder scan;
        scan.Root = left;
        scan.OtherRoot = right;
        scan.ScanList = &list;
        if (prescanSetup) prescanSetup(scan);
        scan.Start();
        scan.Join();

        TCompareRun r;
        r.ScanList = &list;
        r.LeftRoot = left;
        r.RightRoot = right;
        r.Window = &window;
        r.ResetCounters();
        if (setup) setup(r);
        r.ComparePair(config::AppSettings().FCSubDir);
        return collect(r);
    }

    Outcome collect(const TCompareRun& r) {
        Outcome o;
        for (int i = 0; i < engine::paneStores().FolderEntryCount; ++i) o.rows << rowText(i);
        o.files = r.FilesCompared;
        o.differences = r.Differences;
        o.errors = r.Errors;
        o.foundRight = r.FilesFoundRight;
        o.errorCode = FolderCompare().FCErrorCode;
        o.runState = FolderCompare().RunState;
        RunLogs().CloseLog(kCompareLog);
        QFile f(LogFilePath(kCompareLog));
        if (f.open(QIODevice::ReadOnly)) {
            for (QString line : QString::fromLatin1(f.readAll()).split("\r\n").mid(4)) {
                if (line.endsWith("\\par")) line.chop(4);
                o.log << line;
                if (line.contains("COMPARE-RESULT") || line.contains("FC-Error")) o.results << line;
            }
        }
        return o;
    }

    QTemporaryDir dir;
    config::TAppSettings saved;
    config::RecordingMessageSink messages;
    ScriptedErrorDialog dialog;
    ScriptedWindow window;
    std::function<void(TPreScanFolder&)> prescanSetup;
};

const QString kOk = " => COMPARE-RESULT:  OK!";
const QString kNotEqual = " => COMPARE-RESULT: \\cf2\\b  ERROR:  NOT Equal\\cf1\\b0 ";

QString detail(const char* mode, int buffers) {
    return QString(" (content compare: %1 / %2 buffers read)").arg(mode).arg(buffers);
}

QByteArray blocks(int n, int changedBlock = -1, qint64 extra = 0) {
    QByteArray data(qint64(n) * 32768 + extra, 'a');
    for (qint64 i = 0; i < data.size(); i += 97) data[i] = char('a' + (i / 97) % 26);
    if (changedBlock >= 0) data[qint64(changedBlock) * 32768 + 5] = '!';
    return data;
}

// ---- content ----------------------------------------------------------------

TEST_F(CompareRunTest, ContentModesReadTheBlocksTheirPlanNames) {
    QByteArray tail = blocks(1, -1, 3);
    QByteArray tailChanged = tail;
    tailChanged[32770] = '#';
    struct Case {
        const char* name;
        int mode;
        QByteArray left, right;
        QString result;
    } cases[] = {
        {"four blocks, SMEOF reads first, middle and last", 3, blocks(4), blocks(4), kOk + detail("SMEOF", 3)},
        {"three blocks, SMEOF reads them all", 3, blocks(3), blocks(3), kOk + detail("Entire file content", 3)},
        {"two blocks, SEOF reads both", 2, blocks(2), blocks(2), kOk + detail("Entire file content", 2)},
        {"empty files", 3, "", "", kOk + detail("Entire file content", 0)},
        {"1% misses block 50", 4, blocks(150), blocks(150, 50), kOk + detail("1% of file content", 2)},
        {"1% finds block 100", 4, blocks(150), blocks(150, 100), kNotEqual + detail("1% of file content", 2)},
        {"the last of 32,771 bytes", 8, tail, tailChanged, kNotEqual + detail("Entire file content", 2)},
        {"32,771 equal bytes", 8, tail, tail, kOk + detail("Entire file content", 2)},
        {"content off", 0, "ab", "cd", kOk + detail("No content compare", 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config::AppSettings().FCContent = c.mode;
        QDir(path("l")).removeRecursively();
        QDir(path("r")).removeRecursively();
        makeTree(path("l"), {{"f", c.left}});
        makeTree(path("r"), {{"f", c.right}});
        const Outcome o = run(path("l"), path("r"));
        EXPECT_EQ(o.results, QStringList{c.result});
        EXPECT_EQ(o.differences, c.result.startsWith(kNotEqual) ? 1 : 0);
    }
}

TEST_F(CompareRunTest, SparseFilesOfFiveGibibytesDifferingAtTheEndDifferInModeSeof) {
    config::AppSettings().FCContent = 2;
    QDir().mkpath(path("l"));
    QDir().mkpath(path("r"));
    const qint64 size = 5LL << 30;
    for (const char* side : {"l/big", "r/big"}) {
        const int fd = ::open(native(path(side)).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        if (side[0] == 'r') {
            ASSERT_EQ(::pwrite(fd, "!", 1, size - 1), 1);
        }
        ::close(fd);
        setMtime(path(side), kT0);
    }
    const Outcome o = run(path("l"), path("r"));
    EXPECT_EQ(o.results, QStringList{kNotEqual + detail("SEOF", 2)});
    EXPECT_EQ(o.rows, QStringList{"big | big r0 *"});
}

TEST_F(CompareRunTest, SkipKeepsTheResultOfWhatWasReadSoFar) {
    makeTree(path("l"), {{"f", blocks(10)}});
    makeTree(path("r"), {{"f", blocks(10, 9)}});
    TCompareRun* current = nullptr;
    window.onFileProgress = [&](qint64) {
        if (current) current->SkipRequest = true;
    };
    const Outcome o = run(path("l"), path("r"), [&](TCompareRun& r) { current = &r; });
    EXPECT_EQ(o.results, QStringList{kOk + detail("Entire file content", 1)});
}

// ---- times and attributes ------------------------------------------------------

TEST_F(CompareRunTest, TimeStampsAndAttributesDecideTheResult) {
    struct Case {
        const char* name;
        qint64 apart;
        int mode;
        int mask;
        bool compareTimes;
        QString row;
    } cases[] = {
        {"7,200 s apart", 7200, 0644, 7, true, "f | f r3 *"},
        {"7,200 s apart, times not compared", 7200, 0644, 7, false, "f | f r3"},
        {"one hour apart", 3600, 0644, 7, true, "f | f r0"},
        {"3,602 s apart", 3602, 0644, 7, true, "f | f r0"},
        {"3,603 s apart", 3603, 0644, 7, true, "f | f r3 *"},
        {"read-only on the right", 0, 0444, 7, true, "f | f r1 *"},
        {"read-only, attributes not compared", 0, 0444, 0, true, "f | f r0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config::AppSettings().FCAttr = c.mask;
        config::AppSettings().FCDateTime = c.compareTimes;
        QDir(path("l")).removeRecursively();
        QDir(path("r")).removeRecursively();
        makeTree(path("l"), {{"f", "same"}});
        makeTree(path("r"), {{"f", "same", kT0 + c.apart, c.mode}});
        EXPECT_EQ(run(path("l"), path("r")).rows, QStringList{c.row});
    }
}

// ---- rows --------------------------------------------------------------------

TEST_F(CompareRunTest, RowsOfBothSidesAndOfTheRightOnly) {
    makeTree(path("l"), {{"a/b/c/f1"}, {"a/b/c/f2"}, {"a/x"}, {"m/gone"}, {"s/k"}, {"Src/y"}, {"top"}});
    makeTree(path("r"), {{"a/b/c/f1"}, {"a/b/c/f2"}, {"a/x"}, {"a/ronly"}, {"a/new/z"}, {"s/k"}, {"src/y"}, {"top"},
                         {"rtop"}});
    struct Case {
        const char* name;
        bool subfolders, both;
        QStringList rows;
    } cases[] = {
        // Names in byte order, so "Src" comes before "a"; a folder holding a
        // difference is marked too.
        {"subfolders, both sides", true, true,
         {"Src/ | Src/#3 r0 *", "Src/y | Src/y#3 r2 *", "a/ | a/ r0 *", "a/b/ | a/b/ r0", "a/b/c/ | a/b/c/ r0",
          "a/b/c/f1 | a/b/c/f1 r0", "a/b/c/f2 | a/b/c/f2 r0", "a/new/#3 | a/new/ r0 *", "a/new/z#3 | a/new/z r2 *",
          "a/ronly#2 | a/ronly r2 *", "a/x | a/x r0", "m/ | m/#3 r0 *", "m/gone | m/gone#3 r2 *", "s/ | s/ r0",
          "s/k | s/k r0", "rtop#2 | rtop r2 *", "src/#3 | src/ r0 *", "src/y#3 | src/y r2 *", "top | top r0"}},
        {"right-only subfolders not looked at without subfolders", false, true,
         {"rtop#2 | rtop r2 *", "top | top r0"}},
        {"only the left side", true, false,
         {"Src/ | Src/#3 r0 *", "Src/y | Src/y#3 r2 *", "a/ | a/ r0", "a/b/ | a/b/ r0", "a/b/c/ | a/b/c/ r0",
          "a/b/c/f1 | a/b/c/f1 r0", "a/b/c/f2 | a/b/c/f2 r0", "a/x | a/x r0", "m/ | m/#3 r0 *",
          "m/gone | m/gone#3 r2 *", "s/ | s/ r0", "s/k | s/k r0", "top | top r0"}},
    };
    // Differences count files only, not the folders that hold them.
    auto differingFiles = [](const QStringList& rows) {
        int n = 0;
        for (const QString& row : rows) {
            const QString left = row.section(" | ", 0, 0).remove(QRegularExpression("#\\d$"));
            if (row.endsWith(" *") && !left.endsWith('/')) ++n;
        }
        return n;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config::AppSettings().FCSubDir = c.subfolders;
        config::AppSettings().FCChkBoth = c.both;
        const Outcome o = run(path("l"), path("r"));
        EXPECT_EQ(o.rows, c.rows);
        EXPECT_EQ(o.differences, differingFiles(c.rows));
    }
    // The chain a/b/c was made once: one record per level made.
    EXPECT_EQ(FolderCompare().MaxFolderDepth, 2);
    // Src, a, a/b, a/b/c, m and s: no level twice.
    EXPECT_EQ(engine::paneStores().FolderPairCount, 6);
}

TEST_F(CompareRunTest, FoldersWhoseNamesShareAKeyGetRowsOfTheirOwn) {
    // Two names with the same 32-bit key, found among generated ones.
    engine::LineKeys keys;
    keys.Options.OptionsActive = 1;
    QHash<quint32, QString> seen;
    QString first, second;
    // Random letters: the key is a CRC, which keeps names that differ in
    // few bits apart, so counted names may never meet.
    QRandomGenerator random(63);
    for (int i = 0; second.isEmpty(); ++i) {
        ASSERT_LT(i, 4'000'000);
        QString name = "d";
        for (int k = 0; k < 9; ++k) name += QChar('a' + random.bounded(26));
        const quint32 key = keys.MakeLineKey(name);
        if (seen.contains(key) && seen[key] != name) {
            first = seen[key];
            second = name;
        }
        seen.insert(key, name);
    }
    if (second < first) std::swap(first, second);  // the listing's order
    makeTree(path("l"), {{first + "/f"}, {second + "/g"}});
    makeTree(path("r"), {{first + "/f"}, {second + "/g"}});
    const Outcome o = run(path("l"), path("r"));
    EXPECT_EQ(o.rows, QStringList({first + "/ | " + first + "/ r0", first + "/f | " + first + "/f r0",
                                   second + "/ | " + second + "/ r0", second + "/g | " + second + "/g r0"}));
}

TEST_F(CompareRunTest, TheEntryLimitEndsTheRunWithItsMarkerAndAnError) {
    std::vector<Node> nodes;
    for (int i = 0; i < 20; ++i) nodes.push_back({QString("f%1").arg(i, 2, 10, QChar('0'))});
    makeTree(path("l"), nodes);
    makeTree(path("r"), nodes);
    struct Case {
        const char* name;
        int entryLimit, itemLimit;
        int files;
    } cases[] = {
        {"the store's limit", 10, kPreScanItemLimit, 11},
        {"a pre-scan cut at its limit", 5'999'999, 9, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        prescanSetup = [&](TPreScanFolder& scan) { scan.ItemLimit = c.itemLimit; };
        const Outcome o = run(path("l"), path("r"), [&](TCompareRun& r) { r.EntryLimit = c.entryLimit; });
        EXPECT_EQ(o.files, c.files);
        ASSERT_EQ(o.rows.size(), c.files + 1);
        EXPECT_EQ(o.rows.back(), "==>> MAX-ENTRY reached! <<==#7 | ==>> MAX-ENTRY reached! <<==#7 r2");
        EXPECT_EQ(o.runState, rsStopped);
        EXPECT_EQ(o.errorCode, 8);
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].caption, "Warning:");
        EXPECT_EQ(messages.messages()[0].text, "==>> MAX-ENTRY reached! <<==");
    }
}

TEST_F(CompareRunTest, PairListAlignsFoldersOfDifferentDepthWithPlaceholders) {
    makeTree(path("p1/l/deep/er"), {{"f"}});
    makeTree(path("p1/r"), {{"f"}});
    makeTree(path("p2/l"), {{"g"}});
    makeTree(path("p2/r/x/y"), {{"g", "other"}});
    config::AppSettings().FCUseFPL = true;
    TFolderCompareState& fc = FolderCompare();
    fc.PreScanReport.Clear();
    fc.RunState = rsComparing;
    fc.ContentCompareOn = true;
    fc.FCErrorCode = 0;
    engine::paneStores().ClearFolderEntries();
    engine::TScanList list(true);
    for (const auto& [l, r] : {std::pair{path("p1/l/deep/er"), path("p1/r")}, {path("p2/l"), path("p2/r/x/y")}}) {
        TPreScanFolder scan;
        scan.Root = l;
        scan.OtherRoot = r;
        scan.ScanList = &list;
        scan.Start();
        scan.Join();
    }
    TCompareRun r;
    r.ScanList = &list;
    r.LeftRoot = path("p1/l/deep/er");
    r.RightRoot = path("p1/r");
    r.ResetCounters();
    r.ComparePair(true);
    const Outcome o = collect(r);

    // Both panes show every pair from the top, level by level; the
    // shallower side's missing levels are no-break spaces behind the root.
    const QString nb = QString(QChar(0xA0)) + "/";
    const QString top = path("p1").section('/', 1, 1);  // the first folder below "/"
    ASSERT_EQ(o.rows.size(), 14) << qPrintable(o.rows.join('\n'));
    EXPECT_EQ(o.rows[0], "/" + top + "/ | /" + nb + " r0");
    EXPECT_EQ(o.rows[1].section(" | ", 1), "/" + nb + nb + " r0");
    EXPECT_EQ(o.rows[2].section(" | ", 1), "/" + nb + nb + top + "/ r0");
    EXPECT_EQ(o.rows[5], path("p1/l/deep/er") + "/ | /" + nb + nb + path("p1/r").mid(1) + "/ r0");
    EXPECT_EQ(o.rows[6], path("p1/l/deep/er/f") + " | /" + nb + nb + path("p1/r/f").mid(1) + " r0");
    // The second pair pads its left side, and its file differs.
    EXPECT_EQ(o.rows[7], "/" + nb + " | /" + top + "/ r0 *");
    EXPECT_EQ(o.rows[13], "/" + nb + nb + path("p2/l/g").mid(1) + " | " + path("p2/r/x/y/g") + " r2 *");
    EXPECT_EQ(o.files, 2);
    EXPECT_EQ(o.differences, 1);
    // Placeholders are never looked up: every folder row is present.
    for (const QString& row : o.rows) EXPECT_FALSE(row.contains("#")) << qPrintable(row);
}

// ---- errors --------------------------------------------------------------------

TEST_F(CompareRunTest, AnUnreadableFileIsRetriedOnYesAndGivenUpOnNo) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    makeTree(path("l"), {{"a", "left"}, {"b", "same"}});
    makeTree(path("r"), {{"a", "rite"}, {"b", "same"}});
    ::chmod(native(path("l/a")).constData(), 0);
    struct Case {
        const char* name;
        int maxRetry;
        bool batch;
        std::deque<int> answers;
        int asks, delays, decisions;
    } cases[] = {
        {"Yes, then No", 3, false, {ui::eaYes, ui::eaNo}, 2, 0, 2},
        {"no retries allowed: never asked", 0, false, {}, 0, 0, 1},
        {"a batch run waits and retries, never asks", 2, true, {}, 0, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config::AppSettings().ESMaxRetry = c.maxRetry;
        ui::commandLine().SetBatchMode(c.batch);
        dialog.asks = dialog.delays = 0;
        dialog.answers = c.answers;
        window.timers.clear();
        const Outcome o = run(path("l"), path("r"));
        EXPECT_EQ(dialog.asks, c.asks);
        EXPECT_EQ(dialog.delays, c.delays);
        EXPECT_EQ(o.errors, 1);
        EXPECT_EQ(o.errorCode, 5);
        EXPECT_EQ(o.rows, QStringList({"a#3 | a r2 *", "b | b r0"}));
        // The four lines of the error entry; its result line ends bold off,
        // so the entries after it are not bold.
        const qsizetype at = o.log.indexOf(QRegularExpression("^\\\\cf2FC-Error: .*"));
        ASSERT_GE(at, 0);
        EXPECT_EQ(o.log[at], "\\cf2FC-Error: OpenRead Error 5: File access denied");
        EXPECT_EQ(o.log[at + 1], "    Path: " + EscapeLogText(path("l/a")));
        EXPECT_EQ(o.log[at + 2], " => COMPARE-RESULT: \\b  ERROR: \\b0\\cf1 ");
        EXPECT_EQ(o.log[at + 3], "");
        // The display clock stands while the policy decides.
        EXPECT_EQ(std::count(window.timers.begin(), window.timers.end(), 5), c.decisions);
        EXPECT_EQ(std::count(window.timers.begin(), window.timers.end(), 6), c.decisions);
    }
}

TEST_F(CompareRunTest, TheFirstFailureIsTheRunsErrorCode) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    // "a" disappears between the pre-scan and its comparison (2), "b" cannot
    // be read (5); "c" is fine.
    makeTree(path("l"), {{"a"}, {"b"}, {"c"}});
    makeTree(path("r"), {{"a"}, {"b"}, {"c"}});
    ::chmod(native(path("l/b")).constData(), 0);
    TFolderCompareState& fc = FolderCompare();
    fc.PreScanReport.Clear();
    fc.RunState = rsComparing;
    fc.ContentCompareOn = true;
    fc.FCErrorCode = 0;
    engine::paneStores().ClearFolderEntries();
    engine::TScanList list(false);
    TPreScanFolder scan;
    scan.Root = path("l");
    scan.OtherRoot = path("r");
    scan.ScanList = &list;
    scan.Start();
    scan.Join();
    QFile::remove(path("l/a"));
    TCompareRun r;
    r.ScanList = &list;
    r.LeftRoot = path("l");
    r.RightRoot = path("r");
    r.ResetCounters();
    r.ComparePair(true);
    const Outcome o = collect(r);
    // The right-only scan of the folder may show "a" once more: it was
    // listed after "a" had gone.
    EXPECT_TRUE(o.rows.contains("a#2 | a r2 *")) << qPrintable(o.rows.join('\n'));
    EXPECT_TRUE(o.rows.contains("b#3 | b r2 *")) << qPrintable(o.rows.join('\n'));
    EXPECT_EQ(o.rows.back(), "c | c r0");
    EXPECT_EQ(o.errors, 2);
    EXPECT_EQ(o.errorCode, 2);
}

TEST_F(CompareRunTest, AReadFailureMidFileMarksThatSide) {
    makeTree(path("l"), {{"f", blocks(3)}});
    makeTree(path("r"), {{"f", blocks(3)}});
    // Left root takes slot 0, right root slot 1; the right's second read fails.
    fz::FZInjectFault(1, fz::foRead, 2, 23);
    const Outcome o = run(path("l"), path("r"));
    EXPECT_EQ(o.rows, QStringList{"f | f#4 r0 *"});
    EXPECT_EQ(o.errors, 1);
    EXPECT_EQ(o.results.filter("\\cf2FC-Error: Read Error 23").size(), 1) << qPrintable(o.results.join('\n'));
    // A read failure is no open failure: the batch result is "different".
    EXPECT_EQ(o.errorCode, 0);
}

TEST_F(CompareRunTest, EntriesThatAreNoRegularFilesAreNeverOpened) {
    makeTree(path("l"), {{"both", "", kT0, 0644, 'p'}, {"kind", "", kT0, 0644, 'p'}, {"empty", ""}});
    makeTree(path("r"), {{"both", "", kT0, 0644, 'p'}, {"kind", ""}, {"empty", ""}});
    const Outcome o = run(path("l"), path("r"));
    EXPECT_EQ(o.rows, QStringList({"both | both r0", "empty | empty r0", "kind | kind r2 *"}));
    EXPECT_EQ(o.results, QStringList({kOk + detail("No content compare", 0), kOk + detail("Entire file content", 0),
                                      kNotEqual + detail("No content compare", 0)}));
}

TEST_F(CompareRunTest, FoldersThatCannotBeListedAreErrorsOfTheRun) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    makeTree(path("l"), {{"locked/h"}, {"ok/f"}, {"right/g"}});
    makeTree(path("r"), {{"locked/h"}, {"ok/f"}, {"right/g"}, {"right/new"}});
    ::chmod(native(path("l/locked")).constData(), 0);
    ::chmod(native(path("r/right")).constData(), 0);
    const Outcome o = run(path("l"), path("r"));
    ::chmod(native(path("l/locked")).constData(), 0700);
    ::chmod(native(path("r/right")).constData(), 0700);
    EXPECT_EQ(o.errors, 2);
    EXPECT_EQ(o.errorCode, 5);
    EXPECT_EQ(o.results.filter("FC-Error: FindFile Error 5").size(), 2) << qPrintable(o.results.join('\n'));
}

TEST_F(CompareRunTest, ALinkBackOnTheRightEndsTheRightOnlyScan) {
    makeTree(path("l"), {{"f"}});
    makeTree(path("r"), {{"f"}, {"new/g"}});
    ASSERT_EQ(::symlink("..", native(path("r/new/loop")).constData()), 0);
    const Outcome o = run(path("l"), path("r"));
    // The link leads back to the folder being scanned: it is not entered,
    // as the pre-scan does not enter one on the left.
    EXPECT_EQ(o.rows, QStringList({"new/#3 | new/ r0 *", "new/g#3 | new/g r2 *", "f | f r0"}));
}

// ---- against diff ----------------------------------------------------------------

// The files diff -rq reports, "Only in" folders by the files they hold.
std::set<QString> diffFiles(const QString& left, const QString& right) {
    QProcess diff;
    diff.start("diff", {"-rq", left, right});
    diff.waitForFinished(120000);
    std::set<QString> files;
    for (const QString& line : QString::fromUtf8(diff.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("Files ")) {
            files.insert(line.mid(6, line.indexOf(" and ") - 6).mid(left.size() + 1));
        } else if (line.startsWith("Only in ")) {
            const qsizetype cut = line.indexOf(": ");
            const QString folder = line.mid(8, cut - 8), entry = folder + "/" + line.mid(cut + 2);
            const QString root = entry.startsWith(left + "/") ? left : right;
            QStringList found{entry};
            if (QFileInfo(entry).isDir()) {
                QProcess find;
                find.start("find", {entry, "-type", "f"});
                find.waitForFinished(60000);
                found = QString::fromUtf8(find.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            }
            for (const QString& f : found) files.insert(f.mid(root.size() + 1));
        }
    }
    return files;
}

std::set<QString> differingFiles() {
    std::set<QString> files;
    auto& st = engine::paneStores();
    for (int i = 0; i < st.FolderEntryCount; ++i) {
        const engine::TFolderEntry* l = st.FolderEntries[1][i];
        const engine::TFolderEntry* r = st.FolderEntries[2][i];
        const engine::TFolderEntry* e = l->Empty ? r : l;
        if (e->Differs && !e->FolderState) files.insert(e->Path);
    }
    return files;
}

// Edits, same-size edits, added, removed and case-renamed files.
void changeTree(const QString& root, quint32 seed) {
    QProcess find;
    find.start("find", {root, "-type", "f"});
    find.waitForFinished(60000);
    QStringList files = QString::fromUtf8(find.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    files.sort();
    QRandomGenerator rng(seed);
    for (int i = 0; i < 60 && !files.isEmpty(); ++i) {
        const QString f = files.takeAt(int(rng.bounded(files.size())));
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray data = file.readAll();
        switch (i % 5) {
            case 0:
                data.insert(rng.bounded(data.size() + 1), "edited");
                break;
            case 1:
                if (!data.isEmpty()) data[rng.bounded(data.size())] ^= 1;
                break;
            case 2:
                file.close();
                QFile::remove(f);
                continue;
            case 3: {
                file.close();
                const QString name = f.mid(f.lastIndexOf('/') + 1);
                const QString other = f.left(f.lastIndexOf('/') + 1) + name.toUpper();
                if (other != f && !QFile::exists(other)) QFile::rename(f, other);
                continue;
            }
            default:
                file.close();
                QFile added(f + ".added");
                ASSERT_TRUE(added.open(QIODevice::WriteOnly));
                added.write("new file");
                continue;
        }
        file.resize(0);
        file.seek(0);
        file.write(data);
    }
}

class CompareRunOracle : public CompareRunTest {
protected:
    void SetUp() override {
        CompareRunTest::SetUp();
        auto& s = config::AppSettings();
        s.FCContent = 8;
        s.FCDateTime = false;
        s.FCAttr = 0;
        s.FCGenLog = false;
    }
    void check(const QString& left, const QString& right) {
        const std::set<QString> expected = diffFiles(left, right);
        const Outcome o = run(left, right);
        EXPECT_GT(expected.size(), 10u);
        EXPECT_EQ(differingFiles(), expected);
        EXPECT_EQ(o.differences, int(expected.size()));
        EXPECT_EQ(o.errors, 0);
    }
};

TEST_F(CompareRunOracle, SeededRandomTreesDifferWhereDiffSaysSo) {
    for (quint32 seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        QRandomGenerator rng(seed);
        std::vector<Node> nodes;
        const QStringList folders{"", "a/", "a/b/", "c/", "c/d/e/", "F/", "f/"};
        for (int i = 0; i < 120; ++i) {
            const QString name = folders[int(rng.bounded(folders.size()))] + QString("n%1.%2").arg(i).arg(rng.bounded(5));
            QByteArray content(qint64(rng.bounded(3) == 0 ? rng.bounded(100000) : rng.bounded(64)), 'q');
            for (auto& c : content) c = char('a' + rng.bounded(4));
            nodes.push_back({name, content});
        }
        const QString l = path(QString("s%1/l").arg(seed)), r = path(QString("s%1/r").arg(seed));
        makeTree(l, nodes);
        ASSERT_TRUE(tandex::testing::RunShell("cp -a l r", path(QString("s%1").arg(seed))));
        changeTree(r, seed);
        check(l, r);
    }
}

TEST_F(CompareRunOracle, AChangedCopyOfTheLinuxHeadersDiffersWhereDiffSaysSo) {
    ASSERT_TRUE(tandex::testing::RunShell("cp -r /usr/include/linux l && find l -type l -delete && cp -a l r",
                                          dir.path()));
    changeTree(path("r"), 7);
    check(path("l"), path("r"));
}

// ---- other right sides ------------------------------------------------------------

class CompareRunRemote : public CompareRunOracle {};

TEST_F(CompareRunRemote, AZipOnTheRightGivesWhatTheFoldersGive) {
    makeTree(path("l"), {{"top.txt", "abc"}, {"deep/er/w.bin", "1234567"}, {"deep/v", "zz"}, {"same", "s"}});
    makeTree(path("r"), {{"top.txt", "abd"}, {"deep/er/w.bin", "12345678"}, {"ronly/x", "y"}, {"same", "s"}});
    ASSERT_TRUE(tandex::testing::RunShell("zip -qr ../r.zip .", path("r")));
    run(path("l"), path("r"));
    const std::set<QString> local = differingFiles();
    EXPECT_EQ(local, (std::set<QString>{"top.txt", "deep/er/w.bin", "deep/v", "ronly/x"}));
    run(path("l"), path("r.zip"));
    EXPECT_EQ(differingFiles(), local);
}

TEST_F(CompareRunRemote, AnFtpServerOnTheRightGivesWhatTheFoldersGive) {
    makeTree(path("l"), {{"top.txt", "abc"}, {"deep/er/w.bin", "1234567"}, {"deep/v", "zz"}, {"same", "s"}});
    makeTree(path("r"), {{"top.txt", "abd"}, {"deep/er/w.bin", "12345678"}, {"ronly/x", "y"}, {"same", "s"}});
    run(path("l"), path("r"));
    const std::set<QString> local = differingFiles();
    tandex::testing::LocalServer server(
        "/usr/bin/python3",
        {QString(TANDEX_SOURCE_DIR) + "/tests/access/ftp_server.py", "--root", path("r"), "--user", "u:p"});
    ASSERT_GT(server.port(), 0);
    tandex::testing::UseLocalFtpProfile(server.port());
    const Outcome o = run(path("l"), "ftp://u@127.0.0.1/");
    fz::FZSetFtpSiteHooks({}, {});
    EXPECT_EQ(differingFiles(), local);
    EXPECT_EQ(o.errors, 0);
}

}  // namespace
