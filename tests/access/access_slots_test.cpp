#include "access/access_slots.h"

#include "access/archive_options.h"
#include "access/error_texts.h"
#include "access/locations.h"
#include "access/program_log.h"
#include "config/prg_dir.h"
#include "config/services.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <thread>

using namespace tandex::access;
using namespace tandex::config;

namespace {

RecordingMessageSink& sink() {
    return dynamic_cast<RecordingMessageSink&>(messageSink());
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

unsigned modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

int writeBytes(int slot, const QByteArray& data) {
    qint64 done = 0;
    const int r = FZWrite(slot, data.constData(), data.size(), done);
    return r ? r : (done == data.size() ? 0 : -1);
}

QByteArray readBytes(int slot, qint64 count) {
    QByteArray data(count, '\0');
    qint64 done = 0;
    if (FZRead(slot, data.data(), count, done) != 0) return "<error>";
    data.truncate(done);
    return data;
}

// A remote location kind served from memory, recording what the slots ask.
struct FakeHandler : TFZKindHandler {
    int connectResult = 0;
    int storeResult = 0;
    int releaseResult = 0;
    bool archiveInPath = false;
    QByteArray content = "remote content";
    QByteArray stored;
    int connects = 0, releases = 0, aborts = 0;
    int connect(int, TFZAccessMode) override {
        ++connects;
        return connectResult;
    }
    int fetch(int, TFZMemStream& stream) override {
        stream.write(content.constData(), content.size());
        return 0;
    }
    int store(int, TFZMemStream& stream) override {
        stored = QByteArray(stream.size(), '\0');
        stream.seek(0);
        stream.read(stored.data(), stored.size());
        return storeResult;
    }
    int release(int) override {
        ++releases;
        return releaseResult;
    }
    void abort(int) override { ++aborts; }
    bool leadsIntoArchive(const QString&) override { return archiveInPath; }
};

class AccessSlots : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TPrgDirSources sources;
        sources.executablePath = dir.filePath("bin/tandex");
        sources.arguments = {sources.executablePath};
        sources.configHome = dir.filePath("config");
        sources.home = dir.path();
        SetPrgDir(std::make_unique<TPrgDir>(sources));
        FZSetLogFile(dir.filePath("TDXLog.txt"));
        sink().clear();
    }
    void TearDown() override {
        for (int i = 0; i < FZSlotCount; ++i)
            FZClose(i);
        for (auto kind : {akFtp, akArchive, akCloud, akHttp})
            FZSetKindHandler(kind, nullptr);
        QString previous;
        FZSetTempFolder(QString(), previous);
        FZSetLogFile(QString());
        SetPrgDir(nullptr);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Outlive every slot, which the tear-down closes through them.
    FakeHandler ftp, archive, http;
    QStringList leftovers() const {
        return QDir(dir.path()).entryList({".~tdx*"}, QDir::Files | QDir::Hidden);
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(AccessSlots, LocalFileWriteReadSeekReopenAndClose) {
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("a.txt"), twWriteAccess, false, slot), 0);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(FZSlotMode(slot), twWriteAccess);
    EXPECT_EQ(FZSlotLocation(slot), locLocal);
    EXPECT_EQ(FZAccessKind(slot), akLocal);
    EXPECT_EQ(FZSlotRoot(slot), dir.path() + "/");
    ASSERT_EQ(writeBytes(slot, "0123456789"), 0);
    EXPECT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(FZSlotMode(slot), twGenWrAccess);
    EXPECT_EQ(readAll(path("a.txt")), "0123456789");

    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0);
    EXPECT_EQ(FZSlotText(slot)->count, FZTextBufferSize);  // text buffer marked empty
    EXPECT_EQ(FZSeek(slot, 6), 0);
    EXPECT_EQ(readBytes(slot, 100), "6789");
    EXPECT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(FZSlotMode(slot), twGenAccess);

    writeFile(path("b.txt"), "other");
    ASSERT_EQ(FZReopen(slot, path("b.txt"), twReadAccess), 0);
    EXPECT_EQ(FZSlotPath(slot), path("b.txt"));
    EXPECT_EQ(readBytes(slot, 100), "other");
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(FZCheckSlot(slot), errInvalidHandle);
}

TEST_F(AccessSlots, FifthOpenGivesTooManyOpenFilesAndListsTheSlots) {
    QString text;
    FZOpenSlotsText(false, text);
    EXPECT_EQ(text, "tw  : No open files!\r");
    int opened[4];
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(FZOpen(path(QStringLiteral("f%1").arg(i)), twGenAccess, false, opened[i]), 0);
        EXPECT_EQ(opened[i], i);
    }
    int fifth = 0;
    EXPECT_EQ(FZOpen(path("f4"), twGenAccess, false, fifth), errTooManyOpenFiles);
    EXPECT_EQ(fifth, FZNoSlot);
    const auto shown = sink().messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "twHandles in use:");
    EXPECT_EQ(shown[0].text, QStringLiteral("tw.0: %1\rtw.1: %2\rtw.2: %3\rtw.3: %4\r")
                                 .arg(path("f0"), path("f1"), path("f2"), path("f3")));
    // A freed slot is the next one taken.
    EXPECT_EQ(FZClose(2), 0);
    EXPECT_EQ(FZOpen(path("f5"), twGenAccess, false, fifth), 0);
    EXPECT_EQ(fifth, 2);
}

TEST_F(AccessSlots, SlotsAreTakenOnceAcrossThreads) {
    std::atomic<int> got[8];
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            int slot = FZNoSlot;
            FZOpen(path(QStringLiteral("t%1").arg(i)), twGenAccess, false, slot);
            got[i] = slot;
        });
    for (auto& t : threads)
        t.join();
    std::vector<int> taken;
    for (auto& g : got)
        if (g != FZNoSlot) taken.push_back(g);
    std::sort(taken.begin(), taken.end());
    EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(AccessSlots, BadSlotsAndBadArguments) {
    char buf[4];
    qint64 done = 7;
    for (int slot : {-1, 0, 3, 4, 99}) {
        EXPECT_EQ(FZCheckSlot(slot), errInvalidHandle);
        EXPECT_EQ(FZClose(slot), errInvalidHandle);
        EXPECT_EQ(FZCloseFile(slot), errInvalidHandle);
        EXPECT_EQ(FZOpenFile(slot, twReadAccess), errInvalidHandle);
        EXPECT_EQ(FZRead(slot, buf, 4, done), errInvalidHandle);
        EXPECT_EQ(done, 0);
        EXPECT_EQ(FZWrite(slot, buf, 4, done), errInvalidHandle);
        EXPECT_EQ(FZSeek(slot, 0), errInvalidHandle);
        EXPECT_EQ(FZSlotMode(slot), twInvAccess);
        EXPECT_EQ(FZAccessKind(slot), akNone);
        EXPECT_EQ(FZSlotPath(slot), "");
        EXPECT_EQ(FZSlotStream(slot), nullptr);
    }
    int slot = 0;
    EXPECT_EQ(FZOpen("", twReadAccess, false, slot), errInvalidPath);
    EXPECT_EQ(slot, FZNoSlot);
    ASSERT_EQ(FZOpen(dir.path() + "/", twGenAccess, false, slot), 0);
    EXPECT_EQ(FZOpenFile(slot, twGenAccess), errInvalidAccessCode);
    EXPECT_EQ(FZRead(slot, buf, 4, done), errInvalidHandle);  // no file open
}

TEST_F(AccessSlots, LocalOpenFailuresHaveTheirCodes) {
    QDir(dir.path()).mkdir("sub");
    writeFile(path("ro.txt"), "read only");
    QFile::setPermissions(path("ro.txt"), QFile::ReadOwner | QFile::ReadGroup);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    struct Case {
        QString path;
        TFZAccessMode mode;
        int code;
    };
    const Case cases[] = {
        {path("missing.txt"), twReadAccess, errFileNotFound},
        {path("nofolder/x.txt"), twReadAccess, errPathNotFound},
        {path("nofolder/x.txt"), twWriteAccess, errPathNotFound},
        {path("sub"), twReadAccess, errAccessDenied},
        {path("sub"), twWriteAccess, errAccessDenied},
        {path("pipe"), twReadAccess, errAccessDenied},  // never opened: it could block
        {path("ro.txt"), twWriteAccess,
         errAccessDenied},  // the read-only attribute holds even for root
        {"//nosuchhost/share/x.txt", twReadAccess, errShareNotFound},
    };
    for (const auto& c : cases) {
        int slot = 0;
        EXPECT_EQ(FZOpen(c.path, c.mode, false, slot), c.code) << c.path.toStdString();
        EXPECT_EQ(slot, FZNoSlot);
    }
    EXPECT_EQ(readAll(path("ro.txt")), "read only");
    QString text;
    FZOpenSlotsText(false, text);
    EXPECT_EQ(text, "tw  : No open files!\r");  // failed opens leave no trace
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(AccessSlots, TargetIsReplacedOnlyWhenTheWriteIsComplete) {
    writeFile(path("t.txt"), "old content");
    ::chmod(QFile::encodeName(path("t.txt")).constData(), 0640);
    ASSERT_EQ(::symlink("t.txt", QFile::encodeName(path("link.txt")).constData()), 0);

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("link.txt"), twWriteAccess, false, slot), 0);
    ASSERT_EQ(writeBytes(slot, "new"), 0);
    EXPECT_EQ(readAll(path("t.txt")), "old content");  // untouched until closed
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(readAll(path("t.txt")), "new");
    EXPECT_TRUE(QFileInfo(path("link.txt")).isSymLink());
    EXPECT_EQ(modeOf(path("t.txt")), 0640u);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(AccessSlots, FailedWriteIsKeptOrDroppedOnRequest) {
    writeFile(path("t.txt"), "precious");
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    for (const bool keep : {false, true}) {
        int slot = FZNoSlot;
        ASSERT_EQ(FZOpen(path("t.txt"), twWriteAccess, false, slot), 0);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const int failed = writeBytes(slot, QByteArray(5000, 'x'));
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(failed, 223);
        EXPECT_EQ(FZEndFailedWrite(slot, keep), 0);
        EXPECT_EQ(FZSlotMode(slot), twGenWrAccess);
        EXPECT_EQ(FZEndFailedWrite(slot, keep), errInvalidAccessCode);  // nothing left to end
        EXPECT_EQ(FZClose(slot), 0);
        EXPECT_EQ(readAll(path("t.txt")), keep ? QByteArray(1000, 'x') : QByteArray("precious"));
        EXPECT_TRUE(leftovers().isEmpty());
    }
}

TEST_F(AccessSlots, FailedWriteLeavesTheTargetAsItWas) {
    writeFile(path("t.txt"), "precious");
    // The file size limit makes the write fail part-way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("t.txt"), twWriteAccess, false, slot), 0);
    const int failed = writeBytes(slot, QByteArray(5000, 'x'));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(failed, 223);
    EXPECT_EQ(FZCloseFile(slot), 223);  // the failure is reported, not the close
    EXPECT_EQ(FZSlotMode(slot), twGenWrAccess);
    EXPECT_EQ(readAll(path("t.txt")), "precious");
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_EQ(FZClose(slot), 0);
}

TEST_F(AccessSlots, InjectedFaultsFailTheNthCallOnlyAndCommitNothing) {
    writeFile(path("r.txt"), "0123456789");
    writeFile(path("t.txt"), "precious");
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("r.txt"), twReadAccess, false, slot), 0);
    FZInjectFault(slot, foRead, 2, 23);
    EXPECT_EQ(readBytes(slot, 4), "0123");
    EXPECT_EQ(readBytes(slot, 4), "<error>");
    EXPECT_EQ(readBytes(slot, 4), "4567");  // fired once: the position did not move
    FZInjectFault(slot, foClose, 1, 31);
    EXPECT_EQ(FZCloseFile(slot), 31);
    EXPECT_EQ(FZSlotMode(slot), twGenAccess);
    EXPECT_EQ(FZClose(slot), 0);

    struct Case {
        TFZFaultOp op;
        int writeResult, closeResult;
    } cases[] = {{foWrite, 112, 112}, {foClose, 0, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op);
        ASSERT_EQ(FZOpen(path("t.txt"), twWriteAccess, false, slot), 0);
        FZInjectFault(slot, c.op, 1, c.op == foWrite ? 112 : 5);
        EXPECT_EQ(writeBytes(slot, "new"), c.writeResult);
        EXPECT_EQ(FZCloseFile(slot), c.closeResult);
        EXPECT_EQ(readAll(path("t.txt")), "precious");
        EXPECT_EQ(FZClose(slot), 0);
        EXPECT_TRUE(leftovers().isEmpty());
    }
    // A cleared fault never fires.
    FZInjectFault(0, foRead, 1, 23);
    FZClearFaults();
    ASSERT_EQ(FZOpen(path("r.txt"), twReadAccess, false, slot), 0);
    EXPECT_EQ(readBytes(slot, 3), "012");
    EXPECT_EQ(FZClose(slot), 0);
}

TEST_F(AccessSlots, WriterKilledMidWriteLeavesOnlyTheTarget) {
    QDir(dir.path()).mkpath("w");
    const QString target = path("w/t.bin");
    writeFile(target, "original");
    const int probe = ::open(QFile::encodeName(path("w")).constData(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "the test folder's file system has no nameless files";
    ::close(probe);

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Writes megabytes through a slot, says so, and waits to be killed
        // before the write is finished.
        ::close(pipeFds[0]);
        int slot = FZNoSlot;
        if (FZOpen(target, twWriteAccess, false, slot) != 0) ::_exit(1);
        const QByteArray chunk(1 << 20, 'x');
        for (int i = 0; i < 8; ++i)
            if (writeBytes(slot, chunk) != 0) ::_exit(2);
        const char ready = 1;
        if (::write(pipeFds[1], &ready, 1) != 1) ::_exit(3);
        for (;;)
            ::pause();
    }
    ::close(pipeFds[1]);
    char ready = 0;
    const ssize_t got = ::read(pipeFds[0], &ready, 1);
    ::close(pipeFds[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(got, 1) << "the child failed before writing, status " << status;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    EXPECT_EQ(QDir(path("w")).entryList(all).join(' '), "t.bin");
    EXPECT_EQ(readAll(target), "original");
}

TEST_F(AccessSlots, CloseFileWritesThePendingTextBuffer) {
    struct Case {
        int kind;
        QByteArray pending, written;
    };
    const Case cases[] = {{5, "abc", "abc"},
                          {12, QByteArray("a\0b\0", 4), QByteArray("\0a\0b", 4)}};
    for (const auto& c : cases) {
        int slot = FZNoSlot;
        ASSERT_EQ(FZOpen(path("text.txt"), twWriteAccess, false, slot), 0);
        TFZTextState* text = FZSlotText(slot);
        ASSERT_NE(text->buffer, nullptr);
        EXPECT_EQ(text->count, 0u);
        EXPECT_TRUE(text->bomPending);
        EXPECT_EQ(text->fileKind, 5);
        text->fileKind = c.kind;
        memcpy(text->buffer, c.pending.constData(), size_t(c.pending.size()));
        text->count = quint32(c.pending.size());
        EXPECT_EQ(FZClose(slot), 0);
        EXPECT_EQ(readAll(path("text.txt")), c.written) << c.kind;
    }
}

TEST_F(AccessSlots, LocalSeekTakesSixtyFourBitPositions) {
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("sparse.bin"), twWriteAccess, false, slot), 0);
    const qint64 beyond4G = (qint64(1) << 32) + 5;
    ASSERT_EQ(FZSeek(slot, beyond4G), 0);
    ASSERT_EQ(writeBytes(slot, "end"), 0);
    ASSERT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(QFileInfo(path("sparse.bin")).size(), beyond4G + 3);
    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0);
    ASSERT_EQ(FZSeek(slot, beyond4G), 0);
    EXPECT_EQ(readBytes(slot, 10), "end");
    EXPECT_EQ(FZSeek(slot, -1), errInvalidParameter);
}

TEST_F(AccessSlots, SharesAreReadThroughTheMountTable) {
    QDir(dir.path()).mkpath("mnt/docs");
    writeFile(path("mnt/docs/a.txt"), "on the share");
    writeFile(path("mountinfo"), QStringLiteral("50 1 0:50 / %1 rw - cifs //fileserver/public rw\n")
                                     .arg(path("mnt"))
                                     .toUtf8());
    FZSetMountTableSource(path("mountinfo"));
    int slot = FZNoSlot;
    EXPECT_EQ(FZOpen("//FileServer/Public/docs/a.txt", twReadAccess, false, slot), 0);
    EXPECT_EQ(FZSlotLocation(slot), locShare);
    EXPECT_EQ(FZSlotPath(slot), "//FileServer/Public/docs/a.txt");
    EXPECT_EQ(readBytes(slot, 100), "on the share");
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(FZMakeFolderPath("//fileserver/public/new/deeper/"), 0);
    EXPECT_TRUE(QFileInfo(path("mnt/new/deeper")).isDir());
    EXPECT_EQ(FZOpen(path("mnt/docs/a.txt"), twGenAccess, false, slot), 0);
    EXPECT_EQ(FZSlotLocation(slot), locShare);  // by its mount path too
    FZSetMountTableSource(QString());
}

TEST_F(AccessSlots, MakeFolderPathCreatesTheFolderPart) {
    EXPECT_EQ(FZMakeFolderPath(path("a/b/file.txt")), 0);
    EXPECT_TRUE(QFileInfo(path("a/b")).isDir());
    EXPECT_FALSE(QFileInfo::exists(path("a/b/file.txt")));
    EXPECT_EQ(FZMakeFolderPath(path("a/b/c/")), 0);
    EXPECT_TRUE(QFileInfo(path("a/b/c")).isDir());
    writeFile(path("plain"), "x");
    EXPECT_EQ(FZMakeFolderPath(path("plain/sub/")), errAlreadyExists);
}

TEST_F(AccessSlots, TemporaryFolderAndCopies) {
    QString previous;
    FZSetTempFolder(path("tmp/deep"), previous);
    EXPECT_EQ(previous, "");
    EXPECT_EQ(FZTempFolder(), path("tmp/deep") + "/");
    EXPECT_TRUE(QFileInfo(path("tmp/deep")).isDir());

    writeFile(path("doc.txt"), "copy me");
    QString copy;
    ASSERT_EQ(FZDownloadToTemp(path("doc.txt"), false, "", copy), 0);
    EXPECT_TRUE(copy.startsWith(path("tmp/deep/~")));
    EXPECT_TRUE(copy.endsWith(".txt"));
    EXPECT_EQ(readAll(copy), "copy me");
    EXPECT_EQ(modeOf(copy), 0600u);
    QString second;
    ASSERT_EQ(FZDownloadToTemp(path("doc.txt"), false, "", second), 0);
    EXPECT_NE(second, copy);

    // A fixed name is replaced whole: a link planted under it is replaced,
    // never followed.
    writeFile(path("victim.txt"), "victim");
    ASSERT_EQ(::symlink(QFile::encodeName(path("victim.txt")).constData(),
                        QFile::encodeName(path("tmp/deep/L_doc.txt")).constData()),
              0);
    ASSERT_EQ(FZDownloadToTemp(path("doc.txt"), true, "L_", copy), 0);
    EXPECT_EQ(copy, path("tmp/deep/L_doc.txt"));
    EXPECT_FALSE(QFileInfo(copy).isSymLink());
    EXPECT_EQ(readAll(copy), "copy me");
    EXPECT_EQ(readAll(path("victim.txt")), "victim");

    // A folder that cannot be made falls back to the writable root.
    FZSetTempFolder(path("doc.txt/sub"), previous);
    EXPECT_EQ(previous, path("tmp/deep") + "/");
    EXPECT_EQ(FZTempFolder(), PrgDir().GetWritableRoot());
}

TEST_F(AccessSlots, LocationsWithoutHandlersRefuseWithTheirCodes) {
    struct Case {
        const char* path;
        int code;
    };
    const Case cases[] = {
        // No site profiles are reachable without the settings' hooks.
        {"ftp://user@host/a.txt", errNoFtpProfile},
        {"sftp://user@host/a.txt", errNoFtpProfile},
        {"scp://user@host/a.txt", errNoFtpProfile},
        {"dbox:///a.txt", errCloudNotGranted},
        {"FTP://user@host/a.txt", errInvalidName},  // no location class at all
        {"dir/ftp://host/a.txt", errInvalidName},
    };
    for (const auto& c : cases)
        for (auto mode : {twGenAccess, twReadAccess}) {
            int slot = 0;
            EXPECT_EQ(FZOpen(c.path, mode, true, slot), c.code) << c.path;
            EXPECT_EQ(slot, FZNoSlot);
        }
    // Nor does a scheme in capitals turn into local folders named "FTP:".
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    EXPECT_EQ(FZMakeFolderPath("FTP://host/dir/"), errInvalidName);
    EXPECT_FALSE(QFileInfo::exists(path("FTP:")));
    QDir::setCurrent(cwd);

    // A connection that fails reports its own code, not a file-open error,
    // and frees what the slot had made.
    ftp.connectResult = 10061;
    FZSetKindHandler(akFtp, &ftp);
    int slot = 0;
    EXPECT_EQ(FZOpen("ftp://user@host/a.txt", twReadAccess, false, slot), 10061);
    EXPECT_EQ(slot, FZNoSlot);
    EXPECT_EQ(ftp.releases, 1);
    QString text;
    FZOpenSlotsText(false, text);
    EXPECT_EQ(text, "tw  : No open files!\r");
}

TEST_F(AccessSlots, RemoteFilesLiveInTheSlotStream) {
    FZSetKindHandler(akFtp, &ftp);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen("ftp://u@h\\dir\\a.txt", twReadAccess, false, slot), 0);
    EXPECT_EQ(FZSlotPath(slot), "ftp://u@h/dir/a.txt");
    EXPECT_EQ(FZAccessKind(slot), akFtp);
    EXPECT_EQ(readBytes(slot, 6), "remote");
    // A memory stream keeps all 64 bits of a position.
    const qint64 far = (qint64(1) << 32) + 3;
    EXPECT_EQ(FZSeek(slot, far), 0);
    EXPECT_EQ(FZSlotStream(slot)->position(), far);
    EXPECT_EQ(readBytes(slot, 4), "");
    // Reading again into the kept stream holds only the new content.
    ftp.content = "new";
    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0);
    EXPECT_EQ(readBytes(slot, 100), "new");
    EXPECT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(FZSlotStream(slot), nullptr);

    // Writing collects the bytes and hands them over on close, keeping the
    // connection for the next file.
    ASSERT_EQ(FZReopen(slot, "ftp://u@h/dir/b.txt", twWriteAccess), 0);
    FZReserveStream(slot, 100000);
    EXPECT_EQ(FZSlotStream(slot)->size(), 0);
    ASSERT_EQ(writeBytes(slot, "uploaded"), 0);
    EXPECT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(ftp.stored, "uploaded");  // exactly what was written, reserve or not
    EXPECT_EQ(FZSlotMode(slot), twGenWrAccess);
    EXPECT_EQ(ftp.connects, 1);

    FZAbortFtpTransfer(slot);
    EXPECT_TRUE(FZStopRequested(slot));
    EXPECT_EQ(FZReadLimit(), 0);
    EXPECT_EQ(ftp.aborts, 0);
    FZAbortFtpTransfer(slot);  // the second request tears the connection down
    EXPECT_EQ(ftp.aborts, 1);
    FZAbortAll();
    EXPECT_TRUE(FZResetAbort());
    EXPECT_FALSE(FZResetAbort());
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(ftp.releases, 1);
}

TEST_F(AccessSlots, CloseReportsAFailedArchiveSave) {
    archive.archiveInPath = true;
    archive.releaseResult = errArchive;
    FZSetKindHandler(akArchive, &archive);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("a.zip/inner.txt"), twWriteAccess, true, slot), 0);
    EXPECT_TRUE(FZSlotInArchive(slot));
    EXPECT_EQ(FZAccessKind(slot), akArchive);
    ASSERT_EQ(writeBytes(slot, "member"), 0);
    EXPECT_EQ(FZClose(slot), errArchive);
    EXPECT_EQ(archive.stored, "member");

    // A failure of the file itself comes first.
    archive.storeResult = errDiskFull;
    ASSERT_EQ(FZOpen(path("a.zip/inner.txt"), twWriteAccess, true, slot), 0);
    EXPECT_EQ(FZClose(slot), errDiskFull);

    // Without detection the same path is an ordinary local one.
    EXPECT_EQ(FZOpen(path("a.zip/inner.txt"), twReadAccess, false, slot), errPathNotFound);
}

TEST_F(AccessSlots, HttpsFlagComesFromTheSlotsOwnPath) {
    FZSetKindHandler(akHttp, &http);
    int plain = FZNoSlot, secure = FZNoSlot;
    ASSERT_EQ(FZOpen("http://example.org/a b.txt", twGenAccess, false, plain), 0);
    // Another location classified in between must not change the slot.
    EXPECT_EQ(FZClassifyPath("https://example.org/"), locWeb);
    ASSERT_EQ(FZOpen("HTTPS://example.org/c.txt", twGenAccess, false, secure), 0);
    EXPECT_FALSE(FZSlotSslUsed(plain));
    EXPECT_TRUE(FZSlotSslUsed(secure));
    EXPECT_EQ(FZSlotPath(plain), "http://example.org/a%20b.txt");
    EXPECT_EQ(FZOpenFile(plain, twWriteAccess), errMethodNotAllowed);
}

// ---- permissions, checked as an unprivileged user --------------------------

namespace {

void checkPermissionFailures(const QString& base) {
    int slot = 0;
    EXPECT_EQ(FZOpen(base + "/locked/keep.txt", twWriteAccess, false, slot), errAccessDenied);
    EXPECT_EQ(readAll(base + "/locked/keep.txt"), "keep");
    EXPECT_EQ(FZOpen(base + "/secret.txt", twReadAccess, false, slot), errAccessDenied);
    EXPECT_EQ(FZMakeFolderPath(base + "/locked/new/"), errAccessDenied);
    EXPECT_EQ(
        QDir(base + "/locked").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{"keep.txt"});
}

}  // namespace

TEST(AccessPermissions, ChildRun) {
    const QByteArray base = qgetenv("TANDEX_ACCESS_PERMISSION_DIR");
    if (base.isEmpty()) GTEST_SKIP() << "run by AccessPermissions.DeniedWritesAndReads";
    checkPermissionFailures(QString::fromLocal8Bit(base));
}

TEST(AccessPermissions, DeniedWritesAndReads) {
    // As root the files live under /tmp and the test binary is copied there,
    // so the unprivileged run can reach both wherever the build tree is.
    const bool root = ::geteuid() == 0;
    QTemporaryDir dir(root ? QStringLiteral("/tmp/tandex-access-XXXXXX")
                           : QDir::tempPath() + "/tandex-access-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    QDir(dir.path()).mkdir("locked");
    writeFile(dir.filePath("locked/keep.txt"), "keep");
    writeFile(dir.filePath("secret.txt"), "secret");
    ::chmod(QFile::encodeName(dir.filePath("locked/keep.txt")).constData(), 0666);
    ::chmod(QFile::encodeName(dir.filePath("locked")).constData(), 0555);
    ::chmod(QFile::encodeName(dir.filePath("secret.txt")).constData(), 0000);
    if (!root) {
        checkPermissionFailures(dir.path());
        return;
    }
    // Root passes every permission check, so the checks run again as nobody.
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const QString copy = dir.filePath("access_test");
    ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(self, n), copy));
    ::chmod(QFile::encodeName(copy).constData(), 0755);
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("TANDEX_ACCESS_PERMISSION_DIR", dir.path());
    env.insert("HOME", dir.path());
    env.insert("TMPDIR", dir.path());
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(dir.path());
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", copy,
                            "--gtest_filter=AccessPermissions.ChildRun"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output =
        QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    EXPECT_FALSE(output.contains("SKIPPED")) << output.toStdString();
}

TEST(AccessListings, FindDataFromListingEntries) {
    FZSetArchiveOptions(false, false, 1, "*.zip;*.zipx;*.jar;*.tar;*.gz", QString());
    TFZDDir listing;
    listing.Count = 2;
    listing.Items = {{"Readme.TXT", (qint64(5) << 32) + 7, 3, 1234, FZAttrArchive},
                     {"sub", 0, 0, 99, FZAttrDirectory},
                     {"beyond-count.txt", 1, 0, 0, 0}};
    TFZFindData fd;
    ASSERT_TRUE(FZItemFindData(listing, 0, fd));
    EXPECT_EQ(fd.Name, "Readme.TXT");
    EXPECT_EQ(fd.SizeHigh, 5u);
    EXPECT_EQ(fd.SizeLow, 7u);
    EXPECT_EQ(fd.LastWriteTime, 1234u);
    EXPECT_EQ(fd.Attributes, FZAttrArchive);
    EXPECT_FALSE(FZItemFindData(listing, 2, fd));
    EXPECT_FALSE(FZItemFindData(listing, -1, fd));

    EXPECT_FALSE(FZFindItemData(listing, "/arc.zip/readme.txt", fd));
    EXPECT_FALSE(FZFindItemData(listing, "/arc.zip/beyond-count.txt", fd));
    EXPECT_TRUE(FZFindItemData(listing, "/arc.zip/sub", fd));
    EXPECT_EQ(fd.Attributes, FZAttrDirectory);
    FZSetArchiveOptions(false, true, 1, "*.zip", QString());
    EXPECT_TRUE(FZFindItemData(listing, "/arc.zip/readme.txt", fd));
    EXPECT_EQ(fd.Name, "Readme.TXT");
    FZSetArchiveOptions(false, false, 1, "*.zip;*.zipx;*.jar;*.tar;*.gz", QString());
}
