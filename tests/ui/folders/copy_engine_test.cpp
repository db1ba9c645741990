// The copy engine with its writer thread on real files in temporary
// folders (built in the ThreadSanitizer tree too). Every copy is compared
// byte for byte and by its last-write time; faults come from the access
// layer's seam: the reader's slot is 0, the writer's 1.

#include "ui/folders/copy_engine.h"

#include "access/access_slots.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "ui/folders/run_logs.h"
#include "ui/main/main_window_seams.h"
#include "tests/access/as_nobody.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <deque>
#include <functional>

using namespace tandex::folders;
namespace acc = tandex::access;
namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

class ScriptedErrorDialog : public ui::ErrorDialogServices {
public:
    int Ask(const QString& name, const QString& text, bool partly, int, bool) override {
        asked << (partly ? "partly:" : "error:") + name + "|" + text;
        int a = ui::eaNo;
        if (!answers.empty()) {
            a = answers.front();
            answers.pop_front();
        }
        (partly ? partly_ : error_) = a;
        return a;
    }
    int ErrorAnswer() const override { return error_; }
    int PartlyAnswer() const override { return partly_; }
    void Reset() override { error_ = partly_ = retries_[0] = retries_[1] = 0; }
    void ResetRetries(int side) override { retries_[side & 1] = 0; }
    void CountRetry(int side) override { ++retries_[side & 1]; }
    bool RetriesExhausted(int side) const override { return retries_[side & 1] >= config::AppSettings().ESMaxRetry; }
    void RetryDelay() override {}
    int RetryCount(int side) const override { return retries_[side & 1]; }
    void ExhaustRetries(int side) override { retries_[side & 1] = config::AppSettings().ESMaxRetry; }

    std::deque<int> answers;
    QStringList asked;

private:
    int error_ = 0, partly_ = 0, retries_[2] = {0, 0};
};

class ScriptedHost : public TCopyHost {
public:
    void ProcessMessages() override {
        ++messages;
        if (onMessages) onMessages();
    }
    void AskReplace(const QString&, const QString&, int category, const QString& name,
                    TReplaceAnswers& answers) override {
        replaceAsked << name;
        replaceCategories << category;
        answers.StoreAnswer(category, replaceAnswers.empty() ? ui::eaNo : replaceAnswers.front());
        if (!replaceAnswers.empty()) replaceAnswers.pop_front();
    }
    void ShowMessage(const QString& text, const QString& caption, int) override { shown << caption + "|" + text; }
    void SetCaption(const QString& text) override { captions << text; }
    void markEntryCopied(int row, int side) override { marked << QString("%1/%2").arg(row).arg(side); }

    std::function<void()> onMessages;
    int messages = 0;
    std::deque<int> replaceAnswers;
    QStringList replaceAsked, shown, captions, marked;
    QList<int> replaceCategories;
};

QByteArray pattern(qint64 size, char seed) {
    QByteArray b(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) b[i] = char(seed + i * 7 + (i >> 9));
    return b;
}

class CopyEngineTest : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "copy_engine_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        saved = config::AppSettings();
        config::TPrgDirSources sources;
        sources.executablePath = tmp.filePath("bin/tandex");
        sources.configHome = tmp.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        QDir().mkpath(config::PrgDir().GetWritableRoot());
        auto& s = config::AppSettings();
        s.CSBufSize = 0;
        s.CSNumDatBuf = 8;
        s.CSGenLog = true;
        s.CSZeroBytes = true;
        // Faults need the old file replaced without a question.
        s.CSOverWrite = true;
        s.ESErrorBox = true;
        s.ESMaxRetry = 0;
        s.BKBeforeCopy = false;
        QDir().mkpath(src());
        QDir().mkpath(dst());
        ui::setErrorDialog(&dlg);
    }
    void TearDown() override {
        acc::FZClearFaults();
        ui::setErrorDialog(nullptr);
        config::AppSettings() = saved;
        config::SetPrgDir(nullptr);
    }
    QString src() const { return tmp.filePath("src/"); }
    QString dst() const { return tmp.filePath("dst/"); }

    void put(const QString& path, const QByteArray& data, qint64 mtime = 1500000000) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        f.close();
        struct timespec t[2] = {{mtime, 0}, {mtime, 0}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0);
    }
    static QByteArray read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static int modeOf(const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    }
    static void chmodTo(const QString& path, int mode) { ::chmod(QFile::encodeName(path).constData(), mode_t(mode)); }
    static qint64 mtime(const QString& path) { return QFileInfo(path).lastModified().toSecsSinceEpoch(); }

    // One job per name, source and destination folders as given.
    void run(const QStringList& names, const QString& dstFolder = {}) {
        engine.Prepare(1);
        for (int i = 0; i < names.size(); ++i) {
            const qint64 size = QFileInfo(src() + names[i]).size();
            engine.TotalBytes += size;
            engine.AddJob(src(), names[i], size, 10 + i, names[i], dstFolder.isEmpty() ? dst() : dstFolder);
        }
        engine.Execute(1, dst());
    }
    QString log() { return QString::fromLatin1(read(LogFilePath(kCopyLog))); }
    int logCount(const QString& text) { return log().count(text); }
    // The copy's bytes and time equal its source's.
    void expectCopied(const QString& name, const QString& dstFolder = {}) {
        const QString d = (dstFolder.isEmpty() ? dst() : dstFolder) + name;
        EXPECT_EQ(read(d), read(src() + name)) << name.toStdString();
        EXPECT_EQ(mtime(d), mtime(src() + name)) << name.toStdString();
    }
    QStringList dstEntries() { return QDir(dst()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir tmp;
    config::TAppSettings saved;
    ScriptedErrorDialog dlg;
    ScriptedHost host;
    TCopyEngine engine{&host};
};

TEST_F(CopyEngineTest, SizesAndRingShapesCopyEveryByteWithTheSourcesTime) {
    struct Case {
        qint64 size;
        int bufIdx, numBuf;
    } cases[] = {
        {0, 0, 8}, {1, 0, 8}, {32768, 0, 8}, {3 * 32768, 0, 8}, {1048576, 0, 8}, {100001, 0, 1}, {1048576, 5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        QDir(dst()).removeRecursively();
        config::AppSettings().CSBufSize = c.bufIdx;
        config::AppSettings().CSNumDatBuf = c.numBuf;
        put(src() + "f", pattern(c.size, char(c.size)));
        host.marked.clear();
        run({"f"});
        expectCopied("f");
        EXPECT_EQ(engine.FilesCopied.load(), 1);
        EXPECT_EQ(host.marked, QStringList({"10/1", "-1/3"}));
        EXPECT_EQ(logCount("COPY-RESULT: OK! FileSize: "), 1);
        EXPECT_EQ(dstEntries(), QStringList({"f"}));
    }
}

TEST_F(CopyEngineTest, EmptyFilesAreSkippedWhenCopyingThemIsOff) {
    config::AppSettings().CSZeroBytes = false;
    put(src() + "e", {});
    put(src() + "g", "x");
    run({"e", "g"});
    EXPECT_FALSE(QFileInfo::exists(dst() + "e"));
    expectCopied("g");
    EXPECT_EQ(logCount("\\cf3  NOT processed! [ Copying of empty files disabled ]\\cf1"), 1);
    EXPECT_EQ(host.marked, QStringList({"11/1", "-1/3"}));
}

TEST_F(CopyEngineTest, NewNestedFoldersAreMadeAndABlockedFolderFailsEachOfItsFiles) {
    put(src() + "a", pattern(5000, 1));
    put(src() + "b", pattern(7000, 2));
    const QString nested = tmp.filePath("dst/x/y/z/");
    run({"a", "b"}, nested);
    expectCopied("a", nested);
    expectCopied("b", nested);

    // "blk" is a file where a folder should be: each file of that folder
    // tries again and fails, and the blocking file stays.
    put(tmp.filePath("dst/blk"), "keep");
    run({"a", "b"}, tmp.filePath("dst/blk/"));
    EXPECT_EQ(read(tmp.filePath("dst/blk")), "keep");
    EXPECT_EQ(logCount("ERROR: [CreateDir"), 2);
    EXPECT_EQ(engine.ErrorCount, 2);
    EXPECT_EQ(engine.FilesCopied.load(), 0);
}

TEST_F(CopyEngineTest, ADestinationThatIsItsOwnSourceKeepsItsBytes) {
    const QByteArray data = pattern(200000, 3);
    put(src() + "s", data);
    QDir().rmdir(dst());
    ASSERT_TRUE(QFile::link(tmp.filePath("src"), tmp.filePath("dst")));
    config::AppSettings().CSOverWrite = true;
    run({"s"});
    EXPECT_EQ(read(src() + "s"), data);
}

TEST_F(CopyEngineTest, ABufferSizeChangeMidFileKeepsTheFileWhole) {
    put(src() + "big", pattern(1048576 + 123, 4));
    bool changed = false;
    host.onMessages = [&] {
        if (!changed && engine.FilledBuffers.load() > 0) {
            changed = true;
            engine.RequestBufferSize(2);
        }
    };
    run({"big"});
    EXPECT_TRUE(changed);
    EXPECT_EQ(engine.CopyBufSize, 131072);
    expectCopied("big");
}

TEST_F(CopyEngineTest, ReplaceAnswersDecideOverExistingFiles) {
    struct Case {
        std::deque<int> answers;
        bool overwrite;
        int asked;
        bool replacedA, replacedB;
        bool stopped;
    } cases[] = {
        {{ui::eaYes, ui::eaNo}, false, 2, true, false, false},
        {{ui::eaYesAll}, false, 1, true, true, false},
        {{ui::eaNoAll}, false, 1, false, false, false},
        {{ui::eaCancelAll}, false, 1, false, false, true},
        {{}, true, 0, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        config::AppSettings().CSOverWrite = c.overwrite;
        put(src() + "a", pattern(40000, 5));
        put(src() + "b", pattern(50000, 6));
        put(dst() + "a", "old a", 1400000000);
        put(dst() + "b", "old b", 1400000000);
        host.replaceAnswers = c.answers;
        host.replaceAsked.clear();
        run({"a", "b"});
        EXPECT_EQ(host.replaceAsked.size(), c.asked);
        if (c.replacedA) {
            expectCopied("a");
        } else {
            EXPECT_EQ(read(dst() + "a"), "old a");
        }
        if (c.replacedB) {
            expectCopied("b");
        } else {
            EXPECT_EQ(read(dst() + "b"), "old b");
        }
        if (!c.replacedA && !c.stopped) {
            EXPECT_GE(logCount("[ User has skipped this file ]"), 1);
        }
        EXPECT_EQ(dstEntries(), QStringList({"a", "b"}));
    }
}

TEST_F(CopyEngineTest, AFailedWriteWithoutRetriesLeavesTheOldFileAndNoNewOne) {
    put(src() + "f", pattern(1048576, 7));
    put(dst() + "f", "old", 1400000000);
    acc::FZInjectFault(1, acc::foWrite, 3, 112);
    run({"f"});
    EXPECT_TRUE(dlg.asked.filter("error:").isEmpty());
    EXPECT_EQ(read(dst() + "f"), "old");
    EXPECT_EQ(dstEntries(), QStringList({"f"}));
    EXPECT_EQ(logCount("ERROR: [Write Error 112"), 1);
    EXPECT_EQ(engine.ErrorCount, 1);
    EXPECT_EQ(host.marked, QStringList({"-1/3"}));
}

TEST_F(CopyEngineTest, ABrokenFileIsKeptAsAPartOrDroppedAsTheUserSays) {
    struct Case {
        acc::TFZFaultOp op;
        int slot;
        int answer;
    } cases[] = {
        {acc::foWrite, 1, ui::eaYes}, {acc::foWrite, 1, ui::eaNo},
        {acc::foRead, 0, ui::eaYes},  {acc::foRead, 0, ui::eaNo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.op) * 10 + c.answer);
        put(src() + "f", pattern(1048576, 8));
        put(dst() + "f", "old", 1400000000);
        dlg.answers = {c.answer};
        dlg.asked.clear();
        host.marked.clear();
        // Two buffers of 32 KiB land before the third step fails.
        acc::FZInjectFault(c.slot, c.op, 3, 23);
        run({"f"});
        acc::FZClearFaults();
        ASSERT_EQ(dlg.asked.filter("partly:").size(), 1);
        if (c.answer == ui::eaYes) {
            EXPECT_EQ(read(dst() + "f"), pattern(1048576, 8).left(65536));
            EXPECT_EQ(mtime(dst() + "f"), mtime(src() + "f"));
            EXPECT_EQ(logCount("ERROR: PARTLY processed (65.536 from 1.048.576 Bytes)"), 1);
        } else {
            EXPECT_EQ(read(dst() + "f"), "old");
        }
        EXPECT_EQ(dstEntries(), QStringList({"f"}));
        EXPECT_EQ(engine.ErrorCount, 1);
        EXPECT_EQ(host.marked, QStringList({"-1/3"}));
    }
}

TEST_F(CopyEngineTest, AFileCountsOnceHoweverManyOfItsStepsFail) {
    put(src() + "f", pattern(1000, 19));
    put(src() + "g", pattern(1000, 20));
    // Its read and then its close fail.
    acc::FZInjectFault(0, acc::foRead, 1, 23);
    acc::FZInjectFault(0, acc::foClose, 1, 5);
    run({"f", "g"});
    expectCopied("g");
    EXPECT_EQ(engine.ErrorCount, 1);
    TLogCounts counts;
    ASSERT_EQ(ReadLogCounts(LogFilePath(kCopyLog), counts), 0);
    EXPECT_EQ(counts.total, 2);
    EXPECT_EQ(counts.successful, 1);
    EXPECT_EQ(counts.errors, 1);
}

TEST_F(CopyEngineTest, AFailingCloseIsTheFilesErrorAndTheOldFileStays) {
    // Larger than the ring, so the reader still holds its slot when the
    // writer takes the second one.
    put(src() + "f", pattern(1048576, 9));
    put(dst() + "f", "old", 1400000000);
    acc::FZInjectFault(1, acc::foClose, 1, 112);
    run({"f"});
    EXPECT_EQ(read(dst() + "f"), "old");
    EXPECT_EQ(dstEntries(), QStringList({"f"}));
    EXPECT_EQ(logCount("ERROR: [CloseWrite Error 112"), 1);
    EXPECT_EQ(engine.FilesCopied.load(), 0);
}

TEST_F(CopyEngineTest, YesRetriesAReadAndTheFileIsCopiedWhole) {
    config::AppSettings().ESMaxRetry = 3;
    put(src() + "f", pattern(300000, 10));
    dlg.answers = {ui::eaYes};
    acc::FZInjectFault(0, acc::foRead, 2, 5);
    run({"f"});
    EXPECT_EQ(dlg.asked.size(), 1);
    expectCopied("f");
    EXPECT_EQ(engine.ErrorCount, 0);
}

TEST_F(CopyEngineTest, AnAbortedRequestStopsTheRunAndAMissingSourceIsGivenUp) {
    put(src() + "a", pattern(1000, 11));
    put(src() + "c", pattern(1000, 12));
    put(src() + "d", pattern(1000, 13));
    // "b" does not exist: the run's first open of a source fails, and is
    // given up like any other, never retried without end.
    engine.Prepare(1);
    for (const char* n : {"b", "a"}) engine.AddJob(src(), n, 1000, 0, n, dst());
    engine.Execute(1, dst());
    expectCopied("a");
    EXPECT_EQ(logCount("ERROR: [OpenRead Error"), 1);

    acc::FZInjectFault(0, acc::foRead, 1, 1235);
    run({"c", "d"});
    EXPECT_FALSE(QFileInfo::exists(dst() + "c"));
    EXPECT_FALSE(QFileInfo::exists(dst() + "d"));
    EXPECT_EQ(logCount(" NOT processed! "), 1);
    EXPECT_TRUE(host.captions.contains(" canceled at "));
}

TEST_F(CopyEngineTest, ARingBeyondTheFreeMemoryCopiesNothing) {
    put(src() + "f", pattern(10, 14));
    engine.MemAvailable = [] { return qint64(100000); };
    run({"f"});
    EXPECT_EQ(host.shown, QStringList({" ERROR: Insufficient memory |Please reduce the buffer size or the number of buffers!"}));
    EXPECT_TRUE(dstEntries().isEmpty());
}

TEST_F(CopyEngineTest, CancelAllInTheErrorDialogFinishesTheBufferedFiles) {
    config::AppSettings().ESMaxRetry = 2;
    for (const char* n : {"a", "b", "c"}) put(src() + n, pattern(1000, n[0]));
    dlg.answers = {ui::eaCancelAll};
    // The second file's read fails; the first is already in the ring.
    acc::FZInjectFault(0, acc::foRead, 2, 5);
    run({"a", "b", "c"});
    expectCopied("a");
    EXPECT_FALSE(QFileInfo::exists(dst() + "b"));
    EXPECT_FALSE(QFileInfo::exists(dst() + "c"));
    EXPECT_EQ(logCount(" NOT processed! "), 1);
}

TEST_F(CopyEngineTest, CancelAndCloseStopTheRunWithoutHarmingOldFiles) {
    struct Case {
        int cancels;
        bool close;
    } cases[] = {{1, false}, {2, false}, {0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cancels);
        QDir(dst()).removeRecursively();
        put(src() + "a", pattern(1000, 15));
        put(src() + "b", pattern(2000000, 16));
        put(src() + "c", pattern(1000, 17));
        put(dst() + "b", "old", 1400000000);
        config::AppSettings().CSOverWrite = true;
        config::AppSettings().CSNumDatBuf = 4;
        bool done = false;
        host.onMessages = [&] {
            // Once the big file is being read: the ring is full of it.
            if (!done && engine.FilesStarted.load() >= 2 && engine.FilledBuffers.load() >= 2) {
                done = true;
                for (int i = 0; i < c.cancels; ++i) engine.Cancel();
                if (c.close) engine.CloseRequest();
            }
        };
        host.captions.clear();
        run({"a", "b", "c"});
        host.onMessages = nullptr;
        EXPECT_TRUE(done);
        expectCopied("a");
        EXPECT_EQ(read(dst() + "b"), "old");
        EXPECT_FALSE(QFileInfo::exists(dst() + "c"));
        EXPECT_EQ(dstEntries(), QStringList({"a", "b"}));
        if (!c.close) {
            EXPECT_TRUE(host.captions.contains(" canceled at "));
        }
    }
}

TEST_F(CopyEngineTest, PauseWritesNothingUntilContinue) {
    put(src() + "f", pattern(500000, 18));
    int pausedPolls = 0;
    qint64 early = -1, late = -1;
    host.onMessages = [&] {
        if (pausedPolls == 0 && engine.FilledBuffers.load() > 0 && !engine.PauseRequested()) {
            engine.SetPauseRequest(true);
            pausedPolls = 1;
        } else if (pausedPolls > 0 && engine.PauseRequested()) {
            // The writer may finish the buffer it had begun, then holds.
            if (++pausedPolls == 5) early = engine.TotalBytesWritten.load();
            if (pausedPolls == 20) {
                late = engine.TotalBytesWritten.load();
                engine.SetPauseRequest(false);
            }
        }
    };
    run({"f"});
    EXPECT_GE(early, 0);
    EXPECT_EQ(late, early);
    EXPECT_LT(late, 500000);
    expectCopied("f");
}

TEST_F(CopyEngineTest, BackupsBeforeCopyKeepTheOldFileWhateverTheSaveSwitchSays) {
    auto& s = config::AppSettings();
    s.BKBeforeCopy = true;
    s.BKBeforeSave = false;
    s.BKUseSequence = true;
    s.BKUseFolder = false;
    for (const bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite);
        QDir(dst()).removeRecursively();
        s.CSOverWrite = overwrite;
        put(src() + "f", pattern(70000, 21));
        put(dst() + "f", "old", 1400000000);
        host.replaceAnswers = {ui::eaYes};
        host.replaceAsked.clear();
        run({"f"});
        expectCopied("f");
        EXPECT_EQ(read(dst() + "f.~1~"), "old");
        EXPECT_EQ(host.replaceAsked.size(), overwrite ? 0 : 1);
        EXPECT_EQ(dstEntries(), QStringList({"f", "f.~1~"}));
    }
}

TEST_F(CopyEngineTest, NoBackupNoOverwriteAndAFailedWriteKeepsTheOldFileInItsPlace) {
    auto& s = config::AppSettings();
    s.BKBeforeCopy = true;
    s.BKBeforeSave = false;
    s.BKUseSequence = true;
    s.BKUseFolder = false;
    put(src() + "f", pattern(1048576, 22));
    put(dst() + "f", "old", 1400000000);
    // The series cannot move up: its last place is a folder with content.
    QDir().mkpath(dst() + "f.~9~/x");
    run({"f"});
    EXPECT_EQ(read(dst() + "f"), "old");
    EXPECT_EQ(mtime(dst() + "f"), 1400000000);
    EXPECT_EQ(logCount("ERROR: [OpenWrite"), 1);
    EXPECT_EQ(engine.ErrorCount, 1);
    EXPECT_EQ(engine.FilesCopied.load(), 0);

    QDir(dst() + "f.~9~").removeRecursively();
    acc::FZInjectFault(1, acc::foWrite, 2, 112);
    run({"f"});
    EXPECT_EQ(read(dst() + "f"), "old");
    EXPECT_EQ(read(dst() + "f.~1~"), "old");
    EXPECT_EQ(dstEntries(), QStringList({"f", "f.~1~"}));
}

TEST_F(CopyEngineTest, AWriteProtectedDestinationIsReplacedOnlyWhenTheUserSaysSo) {
    struct Case {
        std::deque<int> answers;
        int asked;
        bool replacedA, replacedB;
    } cases[] = {
        {{ui::eaYes, ui::eaNo}, 2, true, false},
        {{ui::eaNo, ui::eaNo}, 2, false, false},
        {{ui::eaYesAll}, 1, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked * 10 + int(c.replacedB));
        QDir(dst()).removeRecursively();
        put(src() + "a", pattern(40000, 23));
        put(src() + "b", pattern(50000, 24));
        put(dst() + "a", "old a", 1400000000);
        put(dst() + "b", "old b", 1400000000);
        chmodTo(dst() + "a", 0444);
        chmodTo(dst() + "b", 0444);
        host.replaceAnswers = c.answers;
        host.replaceCategories.clear();
        run({"a", "b"});
        EXPECT_EQ(host.replaceCategories, QList<int>(c.asked, rcWriteProtected));
        const std::pair<const char*, bool> files[] = {{"a", c.replacedA}, {"b", c.replacedB}};
        for (const auto& [name, replaced] : files) {
            if (replaced) {
                expectCopied(name);
                EXPECT_TRUE(modeOf(dst() + name) & S_IWUSR) << name;
            } else {
                EXPECT_EQ(read(dst() + name), QByteArray("old ") + name);
                EXPECT_EQ(modeOf(dst() + name), 0444) << name;
            }
        }
        // Declining the protection leaves the job unprocessed, without the
        // note of a skipped replace.
        EXPECT_EQ(logCount(" NOT processed! "), int(!c.replacedA) + int(!c.replacedB));
        EXPECT_EQ(logCount("[ User has skipped this file ]"), 0);
        EXPECT_EQ(dstEntries(), QStringList({"a", "b"}));
    }
}

TEST_F(CopyEngineTest, ANewFileTakesTheSourcesPermissionsAReplacedOneKeepsItsOwn) {
    put(src() + "run", "#!/bin/sh\nexit 0\n");
    chmodTo(src() + "run", 0750);
    put(src() + "keep", "new");
    chmodTo(src() + "keep", 0755);
    put(dst() + "keep", "old", 1400000000);
    chmodTo(dst() + "keep", 0640);
    run({"run", "keep"});
    expectCopied("run");
    expectCopied("keep");
    EXPECT_EQ(modeOf(dst() + "run"), 0750);
    EXPECT_EQ(modeOf(dst() + "keep"), 0640);
}

TEST_F(CopyEngineTest, AttributeOnlySetsTimeAndReadOnlyAndNeverCreatesOrEmptiesAFile) {
    config::AppSettings().CSAttr = true;
    engine.AttrOnly = true;
    put(src() + "a", "new content of a", 1600000000);
    chmodTo(src() + "a", 0444);
    put(src() + "b", "new b", 1600000000);
    put(dst() + "a", "old a", 1400000000);
    run({"a", "b"});
    EXPECT_EQ(read(dst() + "a"), "old a");
    EXPECT_EQ(mtime(dst() + "a"), 1600000000);
    EXPECT_FALSE(modeOf(dst() + "a") & S_IWUSR);
    EXPECT_FALSE(QFileInfo::exists(dst() + "b"));
    EXPECT_EQ(dstEntries(), QStringList({"a"}));
    EXPECT_EQ(logCount("ERROR: [SetFileTime"), 1);
    EXPECT_EQ(logCount("COPY-RESULT: OK! FileDate: "), 1);
    EXPECT_EQ(engine.FilesCopied.load(), 1);
    EXPECT_TRUE(host.captions.contains(" completed "));
}

TEST_F(CopyEngineTest, AnAttributeOnlyRunCutShortByCancelIsNotCompleted) {
    engine.AttrOnly = true;
    QStringList names;
    for (int i = 0; i < 40; ++i) {
        names << QString("f%1").arg(i);
        put(src() + names.back(), "x", 1600000000);
        put(dst() + names.back(), "y", 1400000000);
    }
    bool cancelled = false;
    host.onMessages = [&] {
        if (!cancelled && engine.FilesStarted.load() >= 1) {
            cancelled = true;
            engine.Cancel();
        }
    };
    run(names);
    ASSERT_TRUE(cancelled);
    EXPECT_LT(engine.FilesStarted.load(), 40);
    EXPECT_TRUE(host.captions.contains(" canceled at "));
    EXPECT_FALSE(host.captions.contains(" completed "));
}

// The source changes while the run reads it: the scripted host acts once the
// first source is open, before its second buffer is read.
TEST_F(CopyEngineTest, SourcesThatChangeDuringTheRun) {
    struct Case {
        const char* what;
        std::function<void(CopyEngineTest&)> change;
        int partlyAnswer;
        std::function<void(CopyEngineTest&, const QByteArray&)> check;
    } cases[] = {
        {"later source deleted", [](CopyEngineTest& t) { QFile::remove(t.src() + "b"); }, ui::eaNo,
         [](CopyEngineTest& t, const QByteArray& a) {
             EXPECT_EQ(read(t.dst() + "a"), a);
             EXPECT_FALSE(QFileInfo::exists(t.dst() + "b"));
             EXPECT_EQ(t.logCount("ERROR: [OpenRead Error 2"), 1);
         }},
        {"file being read deleted", [](CopyEngineTest& t) { QFile::remove(t.src() + "a"); }, ui::eaNo,
         [](CopyEngineTest& t, const QByteArray& a) {
             EXPECT_EQ(read(t.dst() + "a"), a);
             EXPECT_EQ(t.engine.ErrorCount, 0);
         }},
        {"truncated, part dropped", [](CopyEngineTest& t) { QFile::resize(t.src() + "a", 40000); }, ui::eaNo,
         [](CopyEngineTest& t, const QByteArray&) {
             EXPECT_EQ(read(t.dst() + "a"), "old");
             EXPECT_EQ(t.dlg.asked.filter("partly:").size(), 1);
             EXPECT_EQ(t.dlg.asked.filter("Read Error 38").size(), 1);
         }},
        {"truncated, part kept", [](CopyEngineTest& t) { QFile::resize(t.src() + "a", 40000); }, ui::eaYes,
         [](CopyEngineTest& t, const QByteArray& a) {
             EXPECT_EQ(read(t.dst() + "a"), a.left(32768));
             EXPECT_EQ(t.logCount("ERROR: PARTLY processed (32.768 from 1.048.576 Bytes)"), 1);
         }},
        {"growing",
         [](CopyEngineTest& t) {
             QFile f(t.src() + "a");
             ASSERT_TRUE(f.open(QIODevice::Append));
             f.write(QByteArray(100000, 'g'));
         },
         ui::eaNo,
         [](CopyEngineTest& t, const QByteArray& a) {
             EXPECT_EQ(read(t.dst() + "a"), a);
             EXPECT_EQ(t.engine.ErrorCount, 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(dst()).removeRecursively();
        const QByteArray a = pattern(1048576, 25);
        put(src() + "a", a);
        put(src() + "b", pattern(3000, 26));
        put(dst() + "a", "old", 1400000000);
        dlg.answers = {c.partlyAnswer};
        dlg.asked.clear();
        bool changed = false;
        host.onMessages = [&] {
            if (!changed && engine.FilledRecords.load() > 0) {
                changed = true;
                c.change(*this);
            }
        };
        run({"a", "b"});
        host.onMessages = nullptr;
        EXPECT_TRUE(changed);
        c.check(*this, a);
        EXPECT_FALSE(dstEntries().filter(QRegularExpression("^\\.~")).size()) << dstEntries().join(',').toStdString();
    }
}

TEST_F(CopyEngineTest, AFifoSourceIsAnErrorAndNeverOpenedForReading) {
    const QByteArray fifo = QFile::encodeName(src() + "p");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    put(src() + "g", pattern(3000, 27));
    // A writer blocks on the far end until someone opens it for reading.
    std::atomic<bool> released{false};
    std::thread writer([&] {
        const int fd = ::open(fifo.constData(), O_WRONLY);
        released = true;
        if (fd >= 0) ::close(fd);
    });
    run({"p", "g"});
    const bool early = released.load();
    // Let the writer go.
    const int fd = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (fd >= 0) ::close(fd);
    EXPECT_FALSE(early);
    EXPECT_EQ(logCount("ERROR: [OpenRead Error 5"), 1);
    EXPECT_FALSE(QFileInfo::exists(dst() + "p"));
    expectCopied("g");
}

TEST_F(CopyEngineTest, AsAnOrdinaryUserAnUnreadableSourceAndAnUnwritableFolderEndInThePolicy) {
    if (::geteuid() == 0) {
        tandex::testing::RunAsNobody();
        return;
    }
    put(src() + "locked", "secret");
    chmodTo(src() + "locked", 0);
    put(src() + "f", pattern(5000, 28));
    run({"locked"});
    EXPECT_EQ(logCount("ERROR: [OpenRead Error 5"), 1);
    EXPECT_FALSE(QFileInfo::exists(dst() + "locked"));

    const QString closed = tmp.filePath("closed/");
    put(closed + "f", "old", 1400000000);
    chmodTo(closed, 0555);
    run({"f"}, closed);
    chmodTo(closed, 0755);
    EXPECT_EQ(logCount("ERROR: [OpenWrite Error 5"), 1);
    EXPECT_EQ(read(closed + "f"), "old");
    EXPECT_EQ(QDir(closed).entryList(QDir::Files | QDir::Hidden), QStringList({"f"}));
    EXPECT_EQ(engine.ErrorCount, 1);
}

// A full disk: a small tmpfs holds the old destination; the new file does
// not fit. Mounting needs root and a kernel that lets this process mount.
TEST_F(CopyEngineTest, ADiskFullEndsInThePolicyAndKeepsTheOldFileOrThePart) {
    const QString mnt = tmp.filePath("small");
    QDir().mkpath(mnt);
    if (::mount("tandex-test", QFile::encodeName(mnt).constData(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "mounting a 4 MiB tmpfs is refused here (" << std::strerror(errno)
                     << "); the injected 112 of the other tests covers the path";
    struct Unmount {
        QByteArray at;
        ~Unmount() { ::umount2(at.constData(), MNT_DETACH); }
    } unmount{QFile::encodeName(mnt)};
    const QByteArray big = pattern(8 << 20, 29);
    put(src() + "f", big);
    const QByteArray old = pattern(1 << 20, 30);
    for (const int answer : {ui::eaNo, ui::eaYes}) {
        SCOPED_TRACE(answer);
        put(mnt + "/f", old, 1400000000);
        dlg.answers = {answer};
        dlg.asked.clear();
        run({"f"}, mnt + "/");
        EXPECT_EQ(dlg.asked.filter("partly:").size(), 1);
        EXPECT_EQ(dlg.asked.filter("Write Error 112").size(), 1);
        EXPECT_EQ(QDir(mnt).entryList(QDir::Files | QDir::Hidden), QStringList({"f"}));
        if (answer == ui::eaNo) {
            EXPECT_EQ(read(mnt + "/f"), old);
        } else {
            const QByteArray part = read(mnt + "/f");
            EXPECT_GT(part.size(), 0);
            EXPECT_LT(part.size(), big.size());
            EXPECT_EQ(part, big.left(part.size()));
        }
    }
}

#ifdef TANDEX_COPY_KILL_DRILL
// A copy killed at any moment leaves the old file or the new one, whole,
// and nothing beside it: the new file has no name until its last write.
TEST_F(CopyEngineTest, AKilledCopyLeavesTheOldOrTheNewFileNeverAMix) {
    constexpr qint64 kSize = qint64(200) << 20;
    const auto fill = [](const QString& path, char seed) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray block = pattern(1 << 20, seed);
        for (qint64 i = 0; i < kSize; i += block.size()) ASSERT_EQ(f.write(block), block.size());
    };
    const auto hash = [](const QString& path) {
        QFile f(path);
        QCryptographicHash h(QCryptographicHash::Sha1);
        if (f.open(QIODevice::ReadOnly)) h.addData(&f);
        return h.result();
    };
    fill(src() + "big", 'n');
    const QByteArray newHash = hash(src() + "big");
    QByteArray oldHash;
    for (const qint64 at : {qint64(1), kSize / 2, kSize}) {
        SCOPED_TRACE(at);
        fill(dst() + "big", 'o');
        if (oldHash.isEmpty()) oldHash = hash(dst() + "big");
        QProcess drill;
        drill.start(TANDEX_COPY_KILL_DRILL, {src(), "big", dst(), tmp.filePath("drill"), QString::number(at)});
        ASSERT_TRUE(drill.waitForFinished(120000));
        EXPECT_EQ(drill.exitStatus(), QProcess::CrashExit) << drill.readAllStandardError().toStdString();
        const QByteArray left = hash(dst() + "big");
        EXPECT_TRUE(left == oldHash || left == newHash);
        if (at == 1) {
            EXPECT_EQ(left, oldHash);
        }
        EXPECT_EQ(dstEntries(), QStringList({"big"}));
    }
}
#endif

}  // namespace
