#include "access/file_ops.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/locations.h"
#include "config/prg_dir.h"
#include "config/services.h"

#include "tests/access/as_nobody.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <tuple>

using namespace tandex::access;
using namespace tandex::config;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

bool isLink(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool present(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

void link(const QString& target, const QString& name) {
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()),
              0);
}

// Sets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name) {
        hadOld_ = qEnvironmentVariableIsSet(name);
        old_ = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (hadOld_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    bool hadOld_;
    QByteArray old_;
};

// A remote kind that counts what the operations ask of it.
struct RecordingHandler : TFZKindHandler {
    int connect(int, TFZAccessMode) override { return 0; }
    int fetch(int, TFZMemStream&) override { return 0; }
    int store(int, TFZMemStream&) override { return 0; }
    int release(int) override { return 0; }
    int exists(int) override { return ++calls, 0; }
    int rename(int slot, const QString& to) override {
        renamed = FZSlotPath(slot) + " -> " + to;
        return 0;
    }
    int deleteFile(int) override { return ++calls, 0; }
    int removeFolder(int) override { return ++calls, 0; }
    int makeFolder(int) override { return ++calls, 0; }
    int checkLocation(int) override { return ++calls, 0; }
    int calls = 0;
    QString renamed;
};

class FileOps : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TPrgDirSources sources;
        sources.executablePath = dir.filePath("bin/tandex");
        sources.arguments = {sources.executablePath};
        sources.configHome = dir.filePath("config");
        sources.home = dir.path();
        SetPrgDir(std::make_unique<TPrgDir>(sources));
    }
    void TearDown() override {
        for (int i = 0; i < FZSlotCount; ++i)
            FZClose(i);
        for (auto kind : {akFtp, akArchive, akCloud, akHttp})
            FZSetKindHandler(kind, nullptr);
        FZSetMountTableSource(QString());
        SetPrgDir(nullptr);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    int open(const QString& p) {
        int slot = FZNoSlot;
        EXPECT_EQ(FZOpen(p, twGenAccess, false, slot), 0);
        return slot;
    }
    // Maps //fileserver/public onto a folder of the test through a mount
    // table of its own.
    void mountShare(const QString& folder) {
        const QString table = path("mountinfo");
        writeFile(table, "36 25 0:32 / " + QFile::encodeName(folder) +
                             " rw - cifs //fileserver/public rw\n");
        FZSetMountTableSource(table);
    }
    RecordingHandler remote;
    QTemporaryDir dir;
};

TEST_F(FileOps, ExistsAndCheckTellMissingFileFromMissingFolder) {
    writeFile(path("here.txt"), "x");
    link(path("nowhere"), path("dangling"));
    struct Case {
        const char* name;
        int exists;
        int check;
    } cases[] = {
        {"here.txt", 0, 0},
        {"gone.txt", errFileNotFound, 0},
        {"nodir/gone.txt", errPathNotFound, errPathNotFound},
        {"dangling", 0, 0},  // the link itself is there
        {"here.txt/x", errPathNotFound, errPathNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FZExistsPath(path(c.name)), c.exists);
        EXPECT_EQ(FZCheckPath(path(c.name)), c.check);
    }
}

TEST_F(FileOps, ExistsAnswersForAnOpenFileWithoutLookingAgain) {
    writeFile(path("open.txt"), "x");
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("open.txt"), twReadAccess, false, slot), 0);
    ::unlink(QFile::encodeName(path("open.txt")).constData());
    EXPECT_EQ(FZExists(slot), 0);
}

TEST_F(FileOps, ShareChecksGoThroughTheMountTable) {
    // The busy cursor shows while a share, and only a share, is checked.
    struct BusyPump : tandex::config::EventPump {
        BusyPump() { tandex::config::setEventPump(this); }
        ~BusyPump() override { tandex::config::setEventPump(nullptr); }
        void processEvents() override {}
        void setBusyCursor(bool busy) override { seen += busy ? "+" : "-"; }
        QString seen;
    } pump;
    ASSERT_TRUE(QDir().mkpath(path("srv/docs")));
    mountShare(path("srv"));
    EXPECT_EQ(FZCheckPath(path("a.txt")), 0);
    EXPECT_EQ(pump.seen, "");
    EXPECT_EQ(FZCheckPath("//fileserver/public/docs/a.txt"), 0);
    EXPECT_EQ(pump.seen, "+-");
    // Its mount path is a share location too.
    EXPECT_EQ(FZCheckPath(path("srv/docs/a.txt")), 0);
    EXPECT_EQ(pump.seen, "+-+-");
    EXPECT_EQ(FZCheckPath("//fileserver/public/none/a.txt"), errPathNotFound);
    EXPECT_EQ(FZCheckPath("//otherserver/share/a.txt"), errShareNotFound);
    EXPECT_EQ(FZExistsPath("//otherserver/share/a.txt"), errShareNotFound);
}

TEST_F(FileOps, RenameWithinOneFileSystemKeepsContentAndRefusesToReplace) {
    writeFile(path("a.txt"), "alpha");
    writeFile(path("taken.txt"), "keep me");
    const int slot = open(path("a.txt"));
    EXPECT_EQ(FZRename(slot, path("taken.txt")), errAlreadyExists);
    EXPECT_EQ(readAll(path("taken.txt")), "keep me");
    EXPECT_EQ(FZRename(slot, path("sub/b.txt")), errPathNotFound);
    EXPECT_EQ(FZRename(slot, path("b.txt")), 0);
    EXPECT_EQ(readAll(path("b.txt")), "alpha");
    EXPECT_FALSE(present(path("a.txt")));
    EXPECT_EQ(FZRename(slot, path("c.txt")), errFileNotFound);
}

TEST_F(FileOps, RenameAcrossFileSystemsCopiesTimesAndModeThenRemovesTheSource) {
    struct stat here {}, shm {};
    ASSERT_EQ(::stat(QFile::encodeName(QString(TANDEX_SOURCE_DIR)).constData(), &here), 0);
    if (::stat("/dev/shm", &shm) != 0 || shm.st_dev == here.st_dev)
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    QTemporaryDir local(QString(TANDEX_SOURCE_DIR) + "/build-rename-XXXXXX");
    QTemporaryDir other("/dev/shm/tandex-rename-XXXXXX");
    if (!local.isValid() || !other.isValid()) GTEST_SKIP() << "no writable folder on both";
    const QString from = local.filePath("a.txt");
    writeFile(from, QByteArray(200000, 'z'));
    ::chmod(QFile::encodeName(from).constData(), 0640);
    const timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(from).constData(), times, 0), 0);
    link("a.txt", local.filePath("ln"));

    int slot = open(from);
    const QString to = other.filePath("moved.txt");
    ASSERT_EQ(FZRename(slot, to), 0);
    EXPECT_EQ(readAll(to), QByteArray(200000, 'z'));
    EXPECT_FALSE(present(from));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(to).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(QDir(other.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"moved.txt"});

    // A link crosses as a link; an existing name is never replaced.
    FZClose(slot);
    slot = open(local.filePath("ln"));
    EXPECT_EQ(FZRename(slot, to), errAlreadyExists);
    ASSERT_EQ(FZRename(slot, other.filePath("ln")), 0);
    EXPECT_TRUE(isLink(other.filePath("ln")));
    EXPECT_FALSE(present(local.filePath("ln")));
}

TEST_F(FileOps, DeleteToTheTrashKeepsThePathAndSharesAreDeletedDirectly) {
    ScopedEnv home("HOME", QFile::encodeName(dir.path()));
    ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(path("data")));
    writeFile(path("doomed.txt"), "bye");
    EXPECT_EQ(FZDeletePath(path("doomed.txt"), true), 0);
    EXPECT_FALSE(present(path("doomed.txt")));
    EXPECT_EQ(readAll(path("data/Trash/files/doomed.txt")), "bye");
    const QByteArray info = readAll(path("data/Trash/info/doomed.txt.trashinfo"));
    EXPECT_TRUE(info.contains("Path=" + QFile::encodeName(path("doomed.txt")) + "\n")) << info.data();

    ASSERT_TRUE(QDir().mkpath(path("srv")));
    mountShare(path("srv"));
    writeFile(path("srv/remote.txt"), "on the share");
    EXPECT_EQ(FZDeletePath("//fileserver/public/remote.txt", true), 0);
    EXPECT_FALSE(present(path("srv/remote.txt")));
    EXPECT_EQ(QDir(path("data/Trash/files")).entryList(QDir::Files), QStringList{"doomed.txt"});

    EXPECT_EQ(FZDeletePath(path("never.txt"), true), errFileNotFound);
    EXPECT_EQ(FZDeletePath(path("never.txt"), false), errFileNotFound);
}

TEST_F(FileOps, DeletingOrRemovingALinkLeavesItsTarget) {
    writeFile(path("target.txt"), "stays");
    ASSERT_TRUE(QDir().mkpath(path("folder/inner")));
    link(path("target.txt"), path("file-link"));
    link(path("folder"), path("folder-link"));
    link(path("target.txt"), path("trash-link"));
    ScopedEnv home("HOME", QFile::encodeName(dir.path()));
    ScopedEnv data("XDG_DATA_HOME", QFile::encodeName(path("data")));

    EXPECT_EQ(FZDeletePath(path("file-link"), false), 0);
    EXPECT_EQ(FZDeletePath(path("trash-link"), true), 0);
    EXPECT_TRUE(isLink(path("data/Trash/files/trash-link")));
    int slot = open(path("folder-link/"));
    EXPECT_EQ(FZRemoveFolder(slot), 0);
    EXPECT_FALSE(present(path("file-link")));
    EXPECT_FALSE(present(path("folder-link")));
    EXPECT_EQ(readAll(path("target.txt")), "stays");
    EXPECT_TRUE(present(path("folder/inner")));
}

TEST_F(FileOps, RemoveFolderRefusesOneThatIsNotEmpty) {
    ASSERT_TRUE(QDir().mkpath(path("full/sub")));
    ASSERT_TRUE(QDir().mkpath(path("empty")));
    int slot = open(path("full/"));
    EXPECT_EQ(FZRemoveFolder(slot), 145);
    EXPECT_TRUE(present(path("full/sub")));
    ASSERT_EQ(FZSetPath(slot, path("empty/")), 0);
    EXPECT_EQ(FZRemoveFolder(slot), 0);
    EXPECT_FALSE(present(path("empty")));
}

TEST_F(FileOps, DeleteFolderFilesKeepsFoldersAndReportsUnlistableFolders) {
    ASSERT_TRUE(QDir().mkpath(path("tmp/sub")));
    writeFile(path("tmp/a.txt"), "a");
    writeFile(path("tmp/.hidden"), "h");
    writeFile(path("tmp/sub/deep.txt"), "d");
    link(path("tmp/sub"), path("tmp/sub-link"));
    EXPECT_TRUE(FZDeleteFolderFiles(path("tmp")));
    EXPECT_EQ(QDir(path("tmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"sub", "sub-link"}));
    EXPECT_TRUE(present(path("tmp/sub/deep.txt")));

    EXPECT_TRUE(FZDeleteFolderFiles(path("no-such-folder")));
    writeFile(path("plain.txt"), "p");
    EXPECT_FALSE(FZDeleteFolderFiles(path("plain.txt")));
}

TEST_F(FileOps, DeleteFolderFilesFailsOnAFolderItCannotList) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    ASSERT_TRUE(QDir().mkpath(path("locked")));
    writeFile(path("locked/a.txt"), "a");
    ::chmod(QFile::encodeName(path("locked")).constData(), 0300);
    EXPECT_FALSE(FZDeleteFolderFiles(path("locked")));
    ::chmod(QFile::encodeName(path("locked")).constData(), 0700);
}

TEST_F(FileOps, LocalFileTimeOfEntriesAndOfAServerAlone) {
    ASSERT_TRUE(QDir().mkpath(path(".cache")));
    const timespec times[2] = {{1000000000, 0}, {1300000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path(".cache")).constData(), times, 0), 0);
    FileTime time = 0;
    qint64 attributes = 0;
    EXPECT_EQ(FZGetLocalFileTime(path(".cache/"), time, attributes), 0);
    EXPECT_EQ(time, (1300000000ull + 11644473600ull) * 10000000ull);
    EXPECT_EQ(attributes, qint64(FZAttrDirectory | FZAttrHidden));

    EXPECT_EQ(FZGetLocalFileTime(path("none"), time, attributes), errFileNotFound);
    EXPECT_EQ(time, 0u);
    EXPECT_EQ(attributes, -1);
    EXPECT_NE(FZGetLocalFileTime("//nosuchserver", time, attributes), 0);
    EXPECT_EQ(time, FileTimeNone);
    EXPECT_EQ(attributes, -1);
}

TEST_F(FileOps, OtherKindsGoToTheirHandlerOrRefuse) {
    FZSetKindHandler(akFtp, &remote);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen("ftp://user@host/dir/a.txt", twGenAccess, false, slot), 0);
    EXPECT_EQ(FZExists(slot), 0);
    EXPECT_EQ(FZCheckLocation(slot), 0);
    EXPECT_EQ(FZDelete(slot, true), 0);
    EXPECT_EQ(FZRemoveFolder(slot), 0);
    EXPECT_EQ(FZMakeFolder(slot), 0);
    EXPECT_EQ(remote.calls, 5);
    EXPECT_EQ(FZRename(slot, "ftp://user@host/dir/b.txt"), 0);
    EXPECT_EQ(remote.renamed, "ftp://user@host/dir/a.txt -> ftp://user@host/dir/b.txt");
    FZClose(slot);

    // A slot whose kind cannot serve it fails with a code, never with 0:
    // the FTP rows without a connection.
    for (auto [kind, location, code] : {std::tuple{akFtp, "ftp://h/a.txt", errInvalidHandle}}) {
        SCOPED_TRACE(location);
        // Open the slot through a handler, then take it away.
        FZSetKindHandler(kind, &remote);
        ASSERT_EQ(FZOpen(location, twGenAccess, false, slot), 0);
        FZSetKindHandler(kind, nullptr);
        EXPECT_EQ(FZExists(slot), code);
        EXPECT_EQ(FZCheckLocation(slot), code);
        EXPECT_EQ(FZRename(slot, location), code);
        EXPECT_EQ(FZDelete(slot, false), code);
        FZClose(slot);
    }
}

TEST_F(FileOps, DrivesAreAlwaysReadyAndLargeFetchIsKept) {
    EXPECT_EQ(FZCheckDrive(QLatin1Char('C')), 0);
    EXPECT_FALSE(FZIsSubstDrive(QLatin1Char('X')));
    FZSetLargeFetch(true);
    EXPECT_EQ(FZFindExFlags(), 2);
    FZSetLargeFetch(false);
    EXPECT_EQ(FZFindExFlags(), 0);
}

}  // namespace
