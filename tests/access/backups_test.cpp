#include "access/backups.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "config/services.h"

#include "tests/access/as_nobody.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <map>

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

const int kOwner = 0;
const void* const owner = &kOwner;

// A remote kind whose files live in a map, keyed by the slot's path.
struct FakeRemote : TFZKindHandler {
    std::map<QString, QByteArray> files;
    std::map<QString, quint32> attributes;
    int setAttributesResult = 0;
    bool archivePaths = false;  // every path leads into an archive
    bool leadsIntoArchive(const QString&) override { return archivePaths; }
    int connect(int, TFZAccessMode) override { return 0; }
    int release(int) override { return 0; }
    int store(int, TFZMemStream&) override { return 0; }
    int fetch(int slot, TFZMemStream& stream) override {
        const QByteArray& data = files.at(FZSlotPath(slot));
        stream.write(data.constData(), data.size());
        return 0;
    }
    int fileInfo(int slot, TFZFileInfo& info) override {
        info.SizeLow = quint32(files.at(FZSlotPath(slot)).size());
        return 0;
    }
    int exists(int slot) override { return files.count(FZSlotPath(slot)) ? 0 : errFileNotFound; }
    int getAttributes(int slot, quint32& a) override {
        a = attributes[FZSlotPath(slot)];
        return 0;
    }
    int setAttributes(int, quint32) override { return setAttributesResult; }
    int rename(int slot, const QString& to) override {
        auto node = files.extract(FZSlotPath(slot));
        if (node.empty()) return errFileNotFound;
        node.key() = to;
        files.insert(std::move(node));
        return 0;
    }
    int deleteFile(int slot) override { return files.erase(FZSlotPath(slot)) ? 0 : 2; }
};

class Backups : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TPrgDirSources sources;
        sources.executablePath = dir.filePath("bin/tandex");
        sources.arguments = {sources.executablePath};
        sources.configHome = dir.filePath("config");
        sources.home = dir.path();
        SetPrgDir(std::make_unique<TPrgDir>(sources));
        saved = AppSettings();
        sink().clear();
        writeFile(path("file.txt"), "current");
    }
    void TearDown() override {
        for (int i = 0; i < FZSlotCount; ++i)
            FZClose(i);
        for (auto kind : {akFtp, akArchive})
            FZSetKindHandler(kind, nullptr);
        FZSetTransferStartHook(nullptr);
        AppSettings() = saved;
        SetPrgDir(nullptr);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    int open(const QString& p) {
        int slot = FZNoSlot;
        EXPECT_EQ(FZOpen(p, twGenWrAccess, true, slot), 0);
        return slot;
    }
    // The files of a folder with their contents, in name order.
    QStringList contents(const QString& folder) const {
        QStringList out;
        for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
            out << name + "=" + QString::fromUtf8(readAll(folder + "/" + name));
        return out;
    }
    TAppSettings saved;
    FakeRemote remote;
    QTemporaryDir dir;
};

TEST_F(Backups, SeriesAndBakFilesBesideTheFile) {
    struct Case {
        const char* what;
        bool sequence;
        QStringList before;  // existing backups as "suffix=content"
        QStringList after;   // every file of the folder afterwards
    } cases[] = {
        // The file itself stays where it is: a backup never leaves its
        // path empty.
        {"nine copies",
         true,
         {".~1~=1", ".~2~=2", ".~3~=3", ".~4~=4", ".~5~=5", ".~6~=6", ".~7~=7", ".~8~=8",
          ".~9~=9"},
         {"file.txt=current", "file.txt.~1~=current", "file.txt.~2~=1", "file.txt.~3~=2", "file.txt.~4~=3",
          "file.txt.~5~=4", "file.txt.~6~=5", "file.txt.~7~=6", "file.txt.~8~=7",
          "file.txt.~9~=8"}},
        {"only copy 1",
         true,
         {".~1~=old"},
         {"file.txt=current", "file.txt.~1~=current", "file.txt.~2~=old"}},
        {"no copies", true, {}, {"file.txt=current", "file.txt.~1~=current"}},
        {"bak", false, {".bak=old"}, {"file.txt=current", "file.txt.bak=current"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(path("case")).removeRecursively();
        QDir().mkpath(path("case"));
        writeFile(path("case/file.txt"), "current");
        for (const QString& b : c.before)
            writeFile(path("case/file.txt") + b.section('=', 0, 0), b.section('=', 1).toUtf8());
        AppSettings().BKUseSequence = c.sequence;
        const int slot = open(path("case/file.txt"));
        EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 0);
        EXPECT_EQ(FZSlotPath(slot), path("case/file.txt"));
        FZClose(slot);
        EXPECT_EQ(contents(path("case")), c.after);
    }
    EXPECT_TRUE(sink().messages().empty());
}

TEST_F(Backups, AReadOnlyBakIsMadeWritableAndReplaced) {
    AppSettings().BKUseSequence = false;
    writeFile(path("file.txt.bak"), "old");
    ::chmod(QFile::encodeName(path("file.txt.bak")).constData(), 0444);
    const int slot = open(path("file.txt"));
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(contents(dir.path()), (QStringList{"file.txt=current", "file.txt.bak=current"}));
}

TEST_F(Backups, TheLocalBackupFolderGetsACopyWithBytesAndTime) {
    AppSettings().BKUseFolder = true;
    AppSettings().BKFolder = path("backups");  // no trailing "/" in the setting
    QDir().mkpath(path("backups"));
    writeFile(path("backups/file.txt.~1~"), "older");
    const timespec times[2] = {{1000000000, 0}, {1300000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("file.txt")).constData(), times, 0), 0);
    qint64 announced = -1;
    FZSetTransferStartHook([&](qint64 size) { announced = size; });

    const int slot = open(path("file.txt"));
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(contents(path("backups")),
              (QStringList{"file.txt.~1~=current", "file.txt.~2~=older"}));
    EXPECT_EQ(readAll(path("file.txt")), "current");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path("backups/file.txt.~1~")).constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);
    EXPECT_EQ(announced, 7);
}

TEST_F(Backups, RemoteFilesMoveOnTheirServerOrComeDownIntoTheBackupFolder) {
    FZSetKindHandler(akFtp, &remote);
    AppSettings().BKFTPEnable = true;
    const QString file = "ftp://u@h/dir/page.html";
    remote.files = {{file, "remote"}, {file + ".~1~", "older"}};
    int slot = open(file);
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(remote.files, (std::map<QString, QByteArray>{{file + ".~1~", "remote"},
                                                           {file + ".~2~", "older"}}));

    remote.files = {{file, "remote"}};
    AppSettings().BKUseFolder = true;
    AppSettings().BKFolder = dir.path();
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(readAll(path("page.html.~1~")), "remote");
    EXPECT_EQ(remote.files.size(), 1u);
    EXPECT_EQ(FZSlotAccessKind(slot), akFtp);  // back on the server
    EXPECT_TRUE(sink().messages().empty());
}

TEST_F(Backups, BackupsOffForAKindChangeNothing) {
    remote.archivePaths = true;
    remote.files = {{path("a.zip/doc.txt"), "member"}};
    FZSetKindHandler(akArchive, &remote);
    const int slot = open(path("a.zip/doc.txt"));
    ASSERT_EQ(FZSlotAccessKind(slot), akArchive);
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(remote.files.size(), 1u);
    FZClose(slot);

    AppSettings().BKBeforeSave = false;
    const int local = open(path("file.txt"));
    EXPECT_EQ(FZMakeBackup(local, owner, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(contents(dir.path()), QStringList{"file.txt=current"});
}

TEST_F(Backups, AReadOnlyBackupThatStaysReadOnlyStopsTheBackup) {
    FakeRemote& archive = remote;
    archive.archivePaths = true;
    const QString member = path("a.zip/doc.txt");
    archive.files = {{member, "member"}, {member + ".~1~", "locked"}};
    archive.attributes[member + ".~1~"] = FZAttrReadOnly;
    archive.setAttributesResult = 501;
    FZSetKindHandler(akArchive, &archive);
    AppSettings().BKArcEnable = true;
    const int slot = open(member);
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), 501);
    ASSERT_EQ(sink().messages().size(), 1u);
    EXPECT_EQ(sink().messages()[0].caption, " Backup Error! ");
    EXPECT_EQ(sink().messages()[0].text,
              "Failed to remove the read-only attribute from backup file:\n" + member +
                  ".~1~\nError 501: Failed to set file attributes");
    EXPECT_EQ(archive.files.size(), 2u);
    EXPECT_EQ(FZSlotPath(slot), member);
}

TEST_F(Backups, AFailingMoveIsShownToTheOwnerOnly) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    QDir().mkpath(path("locked"));
    writeFile(path("locked/file.txt"), "current");
    ::chmod(QFile::encodeName(path("locked")).constData(), 0555);
    const int slot = open(path("locked/file.txt"));
    EXPECT_EQ(FZMakeBackup(slot, nullptr, nullptr, AppSettings().BKBeforeSave), errAccessDenied);
    EXPECT_TRUE(sink().messages().empty());
    EXPECT_EQ(FZMakeBackup(slot, owner, nullptr, AppSettings().BKBeforeSave), errAccessDenied);
    ::chmod(QFile::encodeName(path("locked")).constData(), 0755);
    ASSERT_EQ(sink().messages().size(), 1u);
    const MessageRequest m = sink().messages()[0];
    EXPECT_EQ(m.caption, " Backup Error! ");
    EXPECT_EQ(m.text, "Failed to create the backup file!\nError 5: File access denied");
    EXPECT_EQ(m.kind, MsgKind::Error);
    EXPECT_EQ(readAll(path("locked/file.txt")), "current");
}

// A save as the window makes it: backup, then the new text through the
// slot. The child stops at a step, says so through the pipe and waits to be
// killed there; at every step the path must hold the old or the new bytes.
enum SaveStep { ssAfterBackup = 1, ssMidWrite, ssBeforeRename, ssDone };

[[noreturn]] void saveAndStopAt(const QString& target, int stopAt, int tell) {
    auto reached = [&](int step) {
        if (step != stopAt) return;
        const char ready = char(step);
        if (::write(tell, &ready, 1) != 1) ::_exit(10);
        for (;;) ::pause();
    };
    int slot = FZNoSlot;
    if (FZOpen(target, twGenAccess, true, slot) != 0) ::_exit(1);
    if (FZMakeBackup(slot, nullptr, nullptr, AppSettings().BKBeforeSave) != 0) ::_exit(2);
    reached(ssAfterBackup);
    if (FZReopen(slot, target, twWriteAccess) != 0) ::_exit(3);
    const QByteArray half(4 << 20, 'n');
    qint64 done = 0;
    if (FZWrite(slot, half.constData(), half.size(), done) != 0) ::_exit(4);
    reached(ssMidWrite);
    if (FZWrite(slot, half.constData(), half.size(), done) != 0) ::_exit(5);
    reached(ssBeforeRename);
    if (FZCloseFile(slot) != 0) ::_exit(6);
    reached(ssDone);
    ::_exit(0);
}

TEST_F(Backups, ASaveKilledAtAnyStepLeavesTheFileWholeAndTheBackupOld) {
    const QByteArray oldBytes(8 << 20, 'o');
    const QByteArray newBytes(8 << 20, 'n');
    for (const int step : {ssAfterBackup, ssMidWrite, ssBeforeRename, ssDone}) {
        SCOPED_TRACE(step);
        QDir(path("k")).removeRecursively();
        QDir().mkpath(path("k"));
        const QString target = path("k/big.txt");
        writeFile(target, oldBytes);
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            saveAndStopAt(target, step, pipeFds[1]);
        }
        ::close(pipeFds[1]);
        char reached = 0;
        const ssize_t got = ::read(pipeFds[0], &reached, 1);
        ::close(pipeFds[0]);
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_EQ(got, 1) << "the child failed before its step, status " << status;
        EXPECT_TRUE(readAll(target) == (step == ssDone ? newBytes : oldBytes));
        EXPECT_TRUE(readAll(target + ".~1~") == oldBytes);
        const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        EXPECT_EQ(QDir(path("k")).entryList(all), (QStringList{"big.txt", "big.txt.~1~"}));
    }
}

TEST_F(Backups, ALocalBackupBesideTheFileLeavesTheFileInPlace) {
    // Through a symbolic link the bytes behind it are kept, not the link.
    QDir().mkpath(path("real"));
    writeFile(path("real/data.txt"), "linked");
    ASSERT_EQ(::symlink(QFile::encodeName(path("real/data.txt")).constData(),
                        QFile::encodeName(path("link.txt")).constData()),
              0);
    for (const QString& name : {QStringLiteral("file.txt"), QStringLiteral("link.txt")}) {
        SCOPED_TRACE(qPrintable(name));
        const QByteArray before = readAll(path(name));
        const int slot = open(path(name));
        QString made;
        EXPECT_EQ(FZMakeBackup(slot, owner, &made, AppSettings().BKBeforeSave), 0);
        FZClose(slot);
        EXPECT_EQ(made, path(name) + ".~1~");
        EXPECT_EQ(readAll(path(name)), before);
        EXPECT_EQ(readAll(made), before);
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(made).constData(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
    }
    EXPECT_TRUE(sink().messages().empty());
}

}  // namespace
