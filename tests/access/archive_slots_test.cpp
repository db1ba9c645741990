#include "access/archive_slots.h"

#include "access/access_slots.h"
#include "access/archive_options.h"
#include "access/archive_paths.h"
#include "access/backups.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/folder_totals.h"
#include "access/ini_file_adapter.h"
#include "access/password_prompt.h"
#include "archive/streams.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"

#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace tandex::access;
using namespace tandex::config;

namespace {

const char* const kDefaultMasks = "*.zip;*.zipx;*.jar;*.tar;*.gz;*.bz2";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Runs a tool in a folder; its exit code, and its output in out.
int runTool(const QString& program, const QStringList& args, const QString& cwd,
            QByteArray* out = nullptr) {
    QProcess p;
    p.setWorkingDirectory(cwd);
    p.start(program, args);
    if (!p.waitForFinished(120000)) return -1;
    if (out) *out = p.readAllStandardOutput() + p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// The whole file of a path read through a slot, or the open's code.
int readPath(const QString& path, QByteArray& data) {
    data.clear();
    int slot = FZNoSlot;
    if (const int r = FZOpen(path, twReadAccess, true, slot)) return r;
    const TFZMemStream* stream = FZSlotStream(slot);
    data.resize(stream ? stream->size() : 0);
    qint64 done = 0;
    const int r = FZRead(slot, data.data(), data.size(), done);
    data.truncate(done);
    const int closed = FZClose(slot);
    return r ? r : closed;
}

int writeMember(int slot, const QString& path, const QByteArray& data) {
    if (const int r = FZReopen(slot, path, twWriteAccess)) return r;
    qint64 done = 0;
    if (const int r = FZWrite(slot, data.constData(), data.size(), done)) return r;
    return FZCloseFile(slot);
}

QStringList listedNames(int slot) {
    TFZDDir listing;
    if (FZListArchiveFolder(slot, listing) != 0) return {"<error>"};
    QStringList names;
    for (int i = 0; i < listing.Count; ++i)
        names << listing.Items[size_t(i)].Name;
    return names;
}

class ArchiveSlots : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        TPrgDirSources sources;
        sources.executablePath = dir.filePath("bin/tandex");
        sources.arguments = {sources.executablePath};
        sources.configHome = dir.filePath("config");
        sources.home = dir.path();
        SetPrgDir(std::make_unique<TPrgDir>(sources));
        QString previous;
        FZSetTempFolder(dir.filePath("tmp"), previous);
        FZSetArchiveOptions(false, true, 1, kDefaultMasks, QString());
        FZResetAbort();
        saved = AppSettings();
    }
    void TearDown() override {
        for (int i = 0; i < FZSlotCount; ++i)
            FZClose(i);
        DeferArchiveSave().store(false);
        FZSetMemoryLoadSource(nullptr);
        FZSetArchiveSaveThreshold(0);
        SetPasswordPromptHook(nullptr);
        SetLastZipPassword(QString());
        FZResetAbort();
        AppSettings() = saved;
        QString previous;
        FZSetTempFolder(QString(), previous);
        FZSetArchiveOptions(false, true, 1, "*.zip;*.zipx;*.jar;*.tar;*.gz", QString());
        SetPrgDir(nullptr);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Files under src/ packed by a tool into the archive named.
    void pack(const QString& program, const QStringList& args) {
        ASSERT_EQ(runTool(program, args, path("src")), 0) << program.toStdString();
    }
    QStringList zipNames(const QString& archive) {
        QByteArray out;
        if (runTool("unzip", {"-Z1", archive}, dir.path(), &out) != 0) return {"<error>"};
        QStringList names = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
        names.sort();
        return names;
    }
    QTemporaryDir dir;
    TAppSettings saved;
};

TEST_F(ArchiveSlots, ReadsMembersOfEveryFormat) {
    writeFile(path("src/sub/f.txt"), "zip member");
    writeFile(path("src/t.txt"), "tar member");
    writeFile(path("src/x"), "gzip content");
    writeFile(path("src/y"), "bzip2 content");
    pack("zip", {"-q", "-r", path("a.zip"), "sub"});
    QFile::copy(path("a.zip"), path("TandexRes.zipx"));
    pack("tar", {"cf", path("t.tar"), "t.txt"});
    pack("gzip", {"-k", "x"});
    pack("bzip2", {"-k", "y"});
    QFile::rename(path("src/x.gz"), path("x.gz"));
    QFile::rename(path("src/y.bz2"), path("y.bz2"));
    QFile::copy(path("a.zip"), path("src/a.zip"));
    pack("zip", {"-q", path("outer.zip"), "a.zip"});

    struct Case {
        const char* name;
        const char* content;
    };
    const Case cases[] = {
        {"a.zip/sub/f.txt", "zip member"},
        {"A.ZIP/sub/f.txt", "<missing file>"},  // the file system has no A.ZIP
        {"a.zip/SUB/F.TXT", "zip member"},      // member names ignore case
        {"a.zip/sub\\f.txt", "zip member"},     // "\" separates inside
        {"TandexRes.zipx/sub/f.txt", "zip member"},
        {"t.tar/t.txt", "tar member"},
        {"x.gz", "gzip content"},
        {"y.bz2", "bzip2 content"},
        {"outer.zip/a.zip", nullptr},  // the inner archive, whole
    };
    for (const Case& c : cases) {
        QByteArray data;
        const int r = readPath(path(c.name), data);
        if (QByteArray(c.content ? c.content : "") == "<missing file>") {
            EXPECT_EQ(r, errFileNotFound) << c.name;
            continue;
        }
        ASSERT_EQ(r, 0) << c.name;
        EXPECT_EQ(data, c.content ? QByteArray(c.content) : readAll(path("a.zip"))) << c.name;
    }
    // The slot opens the outer archive only.
    QByteArray data;
    EXPECT_EQ(readPath(path("outer.zip/a.zip/sub/f.txt"), data), errFileNotFound);
    EXPECT_EQ(FZArchiveDepth(), 2);
    // A gzip file read as itself names its member.
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("x.gz"), twReadAccess, true, slot), 0);
    EXPECT_EQ(FZSlotPath(slot), path("x.gz/x"));
    QString copy;
    ASSERT_EQ(FZSaveToTempFile(slot, true, "T_", copy), 0);
    EXPECT_EQ(copy, path("tmp/T_x"));
    EXPECT_EQ(readAll(copy), "gzip content");
    EXPECT_EQ(FZClose(slot), 0);
}

TEST_F(ArchiveSlots, DamagedMembersFailWithTheirFormatsTextAndReason) {
    // A gzip file cut short, and a tar whose member claims more data than
    // the file holds: the error names the format and what is wrong.
    QByteArray noise(20000, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = char((i * 7919) >> 3);
    writeFile(path("src/x"), noise);
    pack("gzip", {"-k", "x"});
    const QByteArray gz = readAll(path("src/x.gz"));
    writeFile(path("cut.gz"), gz.left(gz.size() / 2));
    pack("tar", {"cf", path("whole.tar"), "x"});
    writeFile(path("lies.tar"), readAll(path("whole.tar")).left(512 + 10000));
    struct Case {
        const char* name;
        const char* message;
    } cases[] = {
        {"cut.gz", "Invalid Gzip - Archive inflate error, possibly a corrupted compressed stream."},
        {"lies.tar/x", "Invalid Tar - the data of \"x\" runs past the end of the archive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FZSetLastMessage(QString());
        QByteArray data;
        const int r = readPath(path(c.name), data);
        ASSERT_EQ(r, errArchive);
        EXPECT_TRUE(FZErrorText(-r, eoZipArchive).startsWith(QStringLiteral("ZIP archive Error: ") + c.message))
            << FZErrorText(-r, eoZipArchive).toStdString();
    }
}

// A path names one member or none, whatever the format: a gzip or bzip2
// file holds the one item it lists (a packed tar the tar itself), and a
// path to anything else inside it is not found, as in a zip or a tar.
TEST_F(ArchiveSlots, PathsToMembersThatAreNotThereAreNotFound) {
    writeFile(path("src/dir/f.txt"), "member");
    writeFile(path("src/f.txt"), "member");
    pack("zip", {"-q", "-r", path("a.zip"), "dir"});
    pack("tar", {"cf", path("t.tar"), "dir"});
    pack("tar", {"czf", path("t.tar.gz"), "dir"});
    pack("tar", {"cjf", path("t.tar.bz2"), "dir"});
    pack("gzip", {"-k", "f.txt"});
    pack("bzip2", {"-k", "f.txt"});
    QFile::rename(path("src/f.txt.gz"), path("f.txt.gz"));
    QFile::rename(path("src/f.txt.bz2"), path("f.txt.bz2"));
    const QByteArray tar = readAll(path("t.tar"));

    struct Case {
        const char* name;
        int result;
        QByteArray content;
    };
    const Case cases[] = {
        {"a.zip/dir/f.txt", 0, "member"},
        {"a.zip/dir/no.txt", errFileNotFound, {}},
        {"a.zip/dir/f.txt/deeper.txt", errFileNotFound, {}},
        {"t.tar/dir/f.txt", 0, "member"},
        {"t.tar/dir/no.txt", errFileNotFound, {}},
        {"t.tar/dir/f.txt/deeper.txt", errFileNotFound, {}},
        {"t.tar.gz/t.tar", 0, tar},
        {"t.tar.gz/dir/f.txt", errFileNotFound, {}},
        {"t.tar.gz/no.txt", errFileNotFound, {}},
        {"t.tar.gz/t.tar/dir/f.txt", errFileNotFound, {}},  // the slot opens the outer archive only
        {"t.tar.gz/dir/", errPathNotFound, {}},
        {"t.tar.bz2/t.tar", 0, tar},
        {"t.tar.bz2/dir/f.txt", errFileNotFound, {}},
        {"f.txt.gz/f.txt", 0, "member"},
        {"f.txt.gz/g.txt", errFileNotFound, {}},
        {"f.txt.gz/dir/f.txt", errFileNotFound, {}},
        {"f.txt.bz2/f.txt", 0, "member"},
        {"f.txt.bz2/g.txt", errFileNotFound, {}},
        {"f.txt.bz2/dir/f.txt", errFileNotFound, {}},
    };
    for (const Case& c : cases) {
        QByteArray data;
        EXPECT_EQ(readPath(path(c.name), data), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_TRUE(data == c.content) << c.name;
        }
    }
    // The packed tar still lists its one item, which a path can name.
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("t.tar.gz/"), twGenAccess, true, slot), 0);
    EXPECT_EQ(listedNames(slot), QStringList({"t.tar"}));
    ASSERT_EQ(FZSetPath(slot, path("t.tar.gz/T.TAR")), 0);  // names ignore case
    EXPECT_EQ(FZExists(slot), 0);
    ASSERT_EQ(FZSetPath(slot, path("t.tar.gz/dir/f.txt")), 0);
    EXPECT_EQ(FZExists(slot), errFileNotFound);
    EXPECT_EQ(FZClose(slot), 0);
}

TEST_F(ArchiveSlots, ResourceMembersReadThroughTheSettingsInterface) {
    // As config/ reads the resource archive: one slot on the archive, each
    // member read by its path.
    writeFile(path("src/TDXIL32Flat.bin"), "strip");
    QDir().mkpath(path("bin"));
    pack("zip", {"-q", path("bin/TandexRes.zipx"), "TDXIL32Flat.bin"});
    TIniFileAdapter adapter;
    int slot = FZNoSlot;
    ASSERT_EQ(adapter.OpenLocation(path("bin/TandexRes.zipx/"), slot), 0);
    QByteArray content;
    ASSERT_EQ(adapter.ReadWholeFile(slot, path("bin/TandexRes.zipx/TDXIL32Flat.bin"), content), 0);
    EXPECT_EQ(content, "strip");
    EXPECT_EQ(adapter.ReadWholeFile(slot, path("bin/TandexRes.zipx/missing.bin"), content),
              errFileNotFound);
    EXPECT_TRUE(content.isEmpty());
    ASSERT_EQ(adapter.ReadWholeFile(slot, path("bin/TandexRes.zipx/TDXIL32Flat.bin"), content), 0);
    EXPECT_EQ(content, "strip");
    EXPECT_EQ(adapter.Close(slot), 0);
}

TEST_F(ArchiveSlots, MissingMembersEmptyArchivesAndListings) {
    writeFile(path("src/a/1.txt"), "one");
    writeFile(path("src/b/c/2.txt"), "two");
    pack("zip", {"-q", "-r", "-D", path("m.zip"), "a", "b"});
    // An empty zip: just the end record.
    writeFile(path("empty.zip"), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    // Names no archive should hold.
    ASSERT_EQ(runTool("python3",
                      {"-c",
                       "import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w');"
                       "z.writestr('../../x','evil'); z.writestr('/abs','evil');"
                       "z.writestr('ok.txt','ok'); z.close()",
                       path("evil.zip")},
                      dir.path()),
              0);

    QByteArray data;
    EXPECT_EQ(readPath(path("empty.zip/x"), data), errNotArchive);
    EXPECT_EQ(readPath(path("m.zip/x/"), data), errPathNotFound);
    EXPECT_EQ(readPath(path("m.zip/x"), data), errFileNotFound);
    EXPECT_EQ(readPath(path("none.zip/x"), data), errFileNotFound);

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("m.zip/"), twGenAccess, true, slot), 0);
    EXPECT_EQ(listedNames(slot), QStringList({"a", "b"}));
    ASSERT_EQ(FZSetPath(slot, path("m.zip/b/")), 0);
    EXPECT_EQ(listedNames(slot), QStringList({"..", "c"}));
    // A slot on a member lists the member's folder.
    ASSERT_EQ(FZSetPath(slot, path("m.zip/b/c/2.txt")), 0);
    TFZDDir listing;
    ASSERT_EQ(FZListArchiveFolder(slot, listing), 0);
    ASSERT_EQ(listing.Count, 2);
    EXPECT_EQ(listing.Items[0].Time, FileTimeNone);
    EXPECT_EQ(listing.Items[1].Name, "2.txt");
    EXPECT_EQ(listing.Items[1].Size, 3);
    EXPECT_EQ(FZExists(slot), 0);
    ASSERT_EQ(FZSetPath(slot, path("m.zip/b/nothing")), 0);
    EXPECT_EQ(FZExists(slot), errFileNotFound);
    EXPECT_EQ(FZListArchiveFolder(slot, listing), errPathNotFound);

    // A folder's time is its first member's.
    FileTime time = 0;
    qint64 attributes = 0;
    ASSERT_EQ(FZGetArchiveFolderTime(slot, path("m.zip/b/c"), time, attributes), 0);
    TFZFileInfo info;
    qint64 size = 0;
    ASSERT_EQ(FZGetPathFileTime(path("m.zip/b/c/2.txt"), size, info), 0);
    EXPECT_EQ(time, info.LastWriteTime);
    EXPECT_EQ(size, 3);
    EXPECT_NE(time, FZUnreadableTime);
    EXPECT_EQ(FZGetArchiveFolderTime(slot, path("m.zip/q"), time, attributes), errPathNotFound);
    EXPECT_EQ(time, 0u);
    EXPECT_EQ(attributes, -1);

    TFZFolderTotals totals;
    ASSERT_EQ(FZRemoteFolderTotals(slot, path("m.zip/"), totals), 0);
    EXPECT_EQ(totals.Files, 2);
    EXPECT_EQ(totals.Bytes, 6);
    EXPECT_EQ(totals.Folders, 3);
    EXPECT_EQ(FZClose(slot), 0);

    ASSERT_EQ(FZOpen(path("evil.zip/"), twGenAccess, true, slot), 0);
    EXPECT_EQ(listedNames(slot), QStringList({"ok.txt"}));
    EXPECT_EQ(FZClose(slot), 0);

    EXPECT_EQ(FZCheckPath(path("m.zip/b/c/2.txt")), 0);
    EXPECT_EQ(FZCheckPath(path("m.zip/q/2.txt")), errPathNotFound);
    EXPECT_EQ(FZCheckPath(path("none.zip/x")), errFileNotFound);
}

TEST_F(ArchiveSlots, ArchiveInMemoryReadsItsFirstMember) {
    writeFile(path("src/first.txt"), "first member");
    writeFile(path("src/second.txt"), "second");
    pack("zip", {"-q", path("mem.zip"), "first.txt", "second.txt"});
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpenArchiveStream(
                  std::make_unique<tandex::archive::MemoryStream>(readAll(path("mem.zip"))), true,
                  slot),
              0);
    EXPECT_EQ(FZSlotMode(slot), twReadAccess);
    QByteArray data(100, '\0');
    qint64 done = 0;
    ASSERT_EQ(FZRead(slot, data.data(), data.size(), done), 0);
    EXPECT_EQ(data.left(done), "first member");
    EXPECT_EQ(FZClose(slot), 0);

    // Not an archive: the slot stays taken until closed.
    EXPECT_NE(FZOpenArchiveStream(std::make_unique<tandex::archive::MemoryStream>("junk"), true,
                                  slot),
              0);
    EXPECT_NE(slot, FZNoSlot);
    EXPECT_EQ(FZSlotStream(slot), nullptr);
    EXPECT_EQ(FZClose(slot), 0);
}

TEST_F(ArchiveSlots, WrongPasswordIsForgottenAndAskedAgain) {
    writeFile(path("src/s.txt"), "secret text");
    pack("zip", {"-q", "-P", "right", path("p.zip"), "s.txt"});
    QStringList prompts;
    QString answer = "wrong";
    SetPasswordPromptHook([&](const QString& prompt) {
        prompts << prompt;
        return TPasswordAnswer{ScrambleText(answer), false};
    });
    QByteArray data;
    EXPECT_EQ(readPath(path("p.zip/s.txt"), data), errArchive);
    EXPECT_EQ(FZLastMessage(), "Invalid Password");
    EXPECT_EQ(LastZipPassword(), "");
    ASSERT_FALSE(prompts.isEmpty());
    EXPECT_EQ(prompts.last(), "Zip decryption: Password required!");

    prompts.clear();
    answer = "right";
    ASSERT_EQ(readPath(path("p.zip/s.txt"), data), 0);
    EXPECT_EQ(data, "secret text");
    EXPECT_EQ(prompts, QStringList({"Zip decryption: Password required!"}));
    // Remembered for the next archive.
    EXPECT_EQ(UnscrambleText(LastZipPassword()), "right");
    prompts.clear();
    ASSERT_EQ(readPath(path("p.zip/s.txt"), data), 0);
    EXPECT_TRUE(prompts.isEmpty());

    // A cancelled prompt stops the operation.
    SetLastZipPassword(QString());
    SetPasswordPromptHook([](const QString&) { return TPasswordAnswer{QString(), true}; });
    EXPECT_NE(readPath(path("p.zip/s.txt"), data), 0);
    EXPECT_TRUE(FZResetAbort());
}

TEST_F(ArchiveSlots, NewMembersAreEncryptedWhenTheOptionsSaySo) {
    // The settings' password first; without one the user is asked.
    FZSetArchiveOptions(true, true, 1, kDefaultMasks, ScrambleText("settings"));
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("enc.zip/a.txt"), twWriteAccess, true, slot), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, "hidden", 6, done), 0);
    EXPECT_EQ(FZClose(slot), 0);
    QByteArray out;
    EXPECT_EQ(runTool("unzip", {"-P", "settings", "-p", path("enc.zip"), "a.txt"}, dir.path(), &out),
              0);
    EXPECT_EQ(out, "hidden");
    EXPECT_NE(runTool("unzip", {"-P", "other", "-tq", path("enc.zip")}, dir.path()), 0);

    // Kept for the next archive, as an entered one would be.
    EXPECT_EQ(UnscrambleText(LastZipPassword()), "settings");
    SetLastZipPassword(QString());
    FZSetArchiveOptions(true, true, 1, kDefaultMasks, QString());
    QStringList prompts;
    SetPasswordPromptHook([&](const QString& prompt) {
        prompts << prompt;
        return TPasswordAnswer{ScrambleText("asked"), false};
    });
    ASSERT_EQ(FZOpen(path("enc2.zip/b.txt"), twWriteAccess, true, slot), 0);
    ASSERT_EQ(FZWrite(slot, "also", 4, done), 0);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(prompts, QStringList({"Zip encryption: Password required!"}));
    EXPECT_EQ(runTool("unzip", {"-P", "asked", "-tq", path("enc2.zip")}, dir.path()), 0);
}

TEST_F(ArchiveSlots, MembersWrittenRenamedDeletedAndStamped) {
    writeFile(path("src/keep.txt"), "keep");
    writeFile(path("src/ro.txt"), "read-only");
    ::chmod(QFile::encodeName(path("src/ro.txt")).constData(), 0444);
    pack("zip", {"-q", path("w.zip"), "keep.txt", "ro.txt"});
    pack("tar", {"cf", path("w.tar"), "keep.txt"});

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("w.zip/"), twGenWrAccess, true, slot), 0);
    EXPECT_EQ(writeMember(slot, path("w.zip/ro.txt"), "x"), errAccessDenied);
    ASSERT_EQ(writeMember(slot, path("w.zip/new/n.txt"), "new member"), 0);
    // Saved at once: no deferral outside a copy run.
    EXPECT_TRUE(zipNames(path("w.zip")).contains("new/n.txt"));
    ASSERT_EQ(writeMember(slot, path("w.zip/keep.txt"), "replaced"), 0);

    ASSERT_EQ(FZSetPath(slot, path("w.zip/keep.txt")), 0);
    ASSERT_EQ(FZRename(slot, path("w.zip/kept.txt")), 0);
    ASSERT_EQ(FZSetPath(slot, path("w.zip/ro.txt")), 0);
    ASSERT_EQ(FZSetAttributes(slot, FZAttrArchive), 0);
    quint32 attributes = 0;
    ASSERT_EQ(FZGetAttributes(slot, attributes), 0);
    EXPECT_EQ(attributes & FZAttrReadOnly, 0u);
    const FileTime stamp = FZDateTimeToFileTime(QDateTime(QDate(2020, 5, 17), QTime(10, 30, 4)));
    ASSERT_EQ(FZSetFileTime(slot, 0, 0, stamp), 0);
    ASSERT_EQ(FZSetPath(slot, path("w.zip/new/n.txt")), 0);
    ASSERT_EQ(FZDelete(slot, true), 0);
    EXPECT_EQ(FZExists(slot), errFileNotFound);
    ASSERT_EQ(FZSetPath(slot, path("w.zip/made/deeper/")), 0);
    ASSERT_EQ(FZMakeFolder(slot), 0);
    EXPECT_EQ(FZClose(slot), 0);

    QByteArray out;
    EXPECT_EQ(runTool("unzip", {"-tq", path("w.zip")}, dir.path(), &out), 0) << out.toStdString();
    EXPECT_EQ(zipNames(path("w.zip")),
              QStringList({"kept.txt", "made/", "made/deeper/", "ro.txt"}));
    QByteArray data;
    ASSERT_EQ(readPath(path("w.zip/kept.txt"), data), 0);
    EXPECT_EQ(data, "replaced");
    TFZFileInfo info;
    qint64 size = 0;
    ASSERT_EQ(FZGetPathFileTime(path("w.zip/ro.txt"), size, info), 0);
    EXPECT_EQ(info.LastWriteTime, stamp);
    // Writable now.
    ASSERT_EQ(FZOpen(path("w.zip/ro.txt"), twWriteAccess, true, slot), 0);
    EXPECT_EQ(FZClose(slot), 0);

    // The other formats take the same operations.
    ASSERT_EQ(FZOpen(path("w.tar/"), twGenWrAccess, true, slot), 0);
    ASSERT_EQ(writeMember(slot, path("w.tar/added.txt"), "added"), 0);
    ASSERT_EQ(FZSetPath(slot, path("w.tar/keep.txt")), 0);
    ASSERT_EQ(FZRename(slot, path("w.tar/renamed.txt")), 0);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(runTool("tar", {"-tvf", path("w.tar")}, dir.path(), &out), 0);
    EXPECT_TRUE(out.contains("added.txt")) << out.toStdString();
    EXPECT_TRUE(out.contains("renamed.txt")) << out.toStdString();

    for (const char* name : {"n.txt.gz", "n.txt.bz2"}) {
        ASSERT_EQ(FZOpen(path(name), twWriteAccess, true, slot), 0) << name;
        qint64 done = 0;
        ASSERT_EQ(FZWrite(slot, "packed", 6, done), 0);
        EXPECT_EQ(FZClose(slot), 0) << name;
        ASSERT_EQ(readPath(path(name), data), 0) << name;
        EXPECT_EQ(data, "packed");
    }
    EXPECT_EQ(runTool("gzip", {"-t", path("n.txt.gz")}, dir.path()), 0);
    EXPECT_EQ(runTool("bzip2", {"-t", path("n.txt.bz2")}, dir.path()), 0);
}

TEST_F(ArchiveSlots, DeferredSavesComeAtCloseOrInBatches) {
    writeFile(path("src/seed.txt"), "seed");
    pack("zip", {"-q", path("d.zip"), "seed.txt"});
    const QByteArray before = readAll(path("d.zip"));

    DeferArchiveSave().store(true);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("d.zip/"), twGenWrAccess, true, slot), 0);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(writeMember(slot, path(QString("d.zip/f%1.txt").arg(i)), "data"), 0) << i;
    EXPECT_EQ(readAll(path("d.zip")), before);
    EXPECT_EQ(ArchiveWriteState().load(), 2);
    EXPECT_GT(FZArchivePendingBytes(slot), 0);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_FALSE(DeferArchiveSave().load());
    EXPECT_EQ(zipNames(path("d.zip")).size(), 21);

    // A machine short of memory saves at every eighth member.
    FZSetMemoryLoadSource([] { return 81; });
    DeferArchiveSave().store(true);
    ASSERT_EQ(FZOpen(path("e.zip/"), twGenWrAccess, true, slot), 0);
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(writeMember(slot, path(QString("e.zip/f%1.txt").arg(i)), "data"), 0) << i;
    EXPECT_EQ(zipNames(path("e.zip")).size(), 7);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(zipNames(path("e.zip")).size(), 8);

    // So does one with more than the threshold pending.
    FZSetMemoryLoadSource([] { return 10; });
    FZSetArchiveSaveThreshold(10);
    DeferArchiveSave().store(true);
    ASSERT_EQ(FZOpen(path("g.zip/"), twGenWrAccess, true, slot), 0);
    ASSERT_EQ(writeMember(slot, path("g.zip/a.txt"), "more than ten bytes"), 0);
    ASSERT_EQ(writeMember(slot, path("g.zip/b.txt"), "x"), 0);
    EXPECT_EQ(zipNames(path("g.zip")), QStringList({"a.txt"}));
    EXPECT_EQ(FZClose(slot), 0);

    // A save that fails at close is the close's result; the old archive stays.
    DeferArchiveSave().store(true);
    ASSERT_EQ(FZOpen(path("d.zip/"), twGenWrAccess, true, slot), 0);
    ASSERT_EQ(writeMember(slot, path("d.zip/late.txt"), "late"), 0);
    ::chmod(QFile::encodeName(path("d.zip")).constData(), 0444);
    EXPECT_NE(FZClose(slot), 0);
    ::chmod(QFile::encodeName(path("d.zip")).constData(), 0644);
    EXPECT_EQ(zipNames(path("d.zip")).size(), 21);
    EXPECT_EQ(runTool("unzip", {"-tq", path("d.zip")}, dir.path()), 0);
}

TEST_F(ArchiveSlots, AbortedStoreIsReportedAndNothingIsStored) {
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("ab.zip/"), twGenWrAccess, true, slot), 0);
    ASSERT_EQ(FZReopen(slot, path("ab.zip/x.txt"), twWriteAccess), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, "abc", 3, done), 0);
    FZAbortAll();
    EXPECT_EQ(FZCloseFile(slot), errUserAborted);
    FZResetAbort();
    EXPECT_EQ(FZClose(slot), 0);
    // The archive the slot created stays empty and is not left behind.
    EXPECT_FALSE(QFileInfo::exists(path("ab.zip")));
}

TEST_F(ArchiveSlots, BackupsOfMembers) {
    writeFile(path("src/f.txt"), "old");
    pack("zip", {"-q", path("b.zip"), "f.txt"});
    TAppSettings& s = AppSettings();
    s.BKBeforeSave = true;
    s.BKUseSequence = true;
    s.BKUseFolder = false;
    s.BKArcEnable = true;
    s.BKUseArcFolder = false;

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("b.zip/f.txt"), twGenWrAccess, true, slot), 0);
    ASSERT_EQ(FZMakeBackup(slot, nullptr, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(zipNames(path("b.zip")), QStringList({"f.txt.~1~"}));

    writeFile(path("src/f.txt"), "newer");
    pack("zip", {"-q", path("b.zip"), "f.txt"});
    s.BKUseArcFolder = true;
    s.BKArcFolder = path("arcbak");
    QDir().mkpath(path("arcbak"));
    ASSERT_EQ(FZOpen(path("b.zip/f.txt"), twGenWrAccess, true, slot), 0);
    ASSERT_EQ(FZMakeBackup(slot, nullptr, nullptr, AppSettings().BKBeforeSave), 0);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_EQ(readAll(path("arcbak/f.txt.~1~")), "newer");
    EXPECT_EQ(zipNames(path("b.zip")), QStringList({"f.txt", "f.txt.~1~"}));

    QString local;
    ASSERT_EQ(FZOpen(path("b.zip/f.txt"), twGenAccess, true, slot), 0);
    ASSERT_EQ(FZDownloadToFile(slot, path("copy.txt")), 0);
    EXPECT_EQ(readAll(path("copy.txt")), "newer");
    EXPECT_EQ(FZClose(slot), 0);
}

}  // namespace

namespace {

// Lines with a running number: compressible, yet no two blocks alike.
QByteArray numberedLines(qint64 bytes) {
    QByteArray data(bytes, '\n');
    char line[32];
    for (qint64 at = 0, n = 0; at < bytes; at += 16, ++n) {
        std::snprintf(line, sizeof line, "%015lld\n", static_cast<long long>(n));
        std::memcpy(data.data() + at, line, size_t(std::min<qint64>(16, bytes - at)));
    }
    return data;
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

TEST_F(ArchiveSlots, HugeMemberReadsBackThroughTheSwapFile) {
    const QByteArray content = numberedLines(qint64(100) << 20);
    writeFile(path("src/big.txt"), content);
    pack("zip", {"-q", "-1", path("big.zip"), "big.txt"});
    QFile::remove(path("src/big.txt"));

    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("big.zip/big.txt"), twReadAccess, true, slot), 0);
    TFZMemStream* stream = FZSlotStream(slot);
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(stream->spilled());
    // The swap file has no name: a program killed now leaves nothing.
    EXPECT_TRUE(filesIn(path("tmp")).isEmpty());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray buf(1 << 20, '\0');
    qint64 total = 0;
    for (;;) {
        qint64 done = 0;
        ASSERT_EQ(FZRead(slot, buf.data(), buf.size(), done), 0);
        if (done == 0) break;
        hash.addData(QByteArrayView(buf.constData(), done));
        total += done;
    }
    EXPECT_EQ(total, content.size());
    EXPECT_EQ(hash.result(), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
    // The temporary copy reads through the stream as well.
    QString copy;
    ASSERT_EQ(FZSaveToTempFile(slot, false, QString(), copy), 0);
    EXPECT_EQ(QFileInfo(copy).size(), content.size());
    QFile::remove(copy);
    EXPECT_EQ(FZClose(slot), 0);
    EXPECT_TRUE(filesIn(path("tmp")).isEmpty());
}

}  // namespace

namespace {

// Runs one case of ArchiveChild.Run in a child process on the test's folder;
// its output.
QString runChild(const QString& what, const QString& folder, bool& passed) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("TANDEX_ARCHIVE_CHILD", what);
    env.insert("TANDEX_ARCHIVE_CHILD_DIR", folder);
    child.setProcessEnvironment(env);
    child.start(QString::fromLocal8Bit(self, n > 0 ? n : 0), {"--gtest_filter=ArchiveChild.Run"});
    const bool finished = child.waitForFinished(120000);
    const QString output =
        QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    passed = finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
             output.contains("[  PASSED  ] 1 test");
    return output;
}

void limit(int resource, qint64 bytes) {
    struct rlimit value {rlim_t(bytes), rlim_t(bytes)};
    ASSERT_EQ(::setrlimit(resource, &value), 0);
}

}  // namespace

// The cases that need limits on the whole process, run by the tests below.
TEST(ArchiveChild, Run) {
    const QString what = qEnvironmentVariable("TANDEX_ARCHIVE_CHILD");
    const QString folder = qEnvironmentVariable("TANDEX_ARCHIVE_CHILD_DIR");
    if (what.isEmpty()) GTEST_SKIP() << "run by the ArchiveSlots tests in a child";
    // A write past the size limit fails with EFBIG instead of ending the
    // process.
    ::signal(SIGXFSZ, SIG_IGN);
    QString previous;
    FZSetTempFolder(folder + "/tmp", previous);
    if (what == "bomb") {
        limit(RLIMIT_AS, qint64(1536) << 20);
        limit(RLIMIT_FSIZE, qint64(1) << 30);
        int slot = FZNoSlot;
        const int r = FZOpen(folder + "/bomb.gz", twReadAccess, true, slot);
        EXPECT_NE(r, 0);
        EXPECT_EQ(slot, FZNoSlot);
    } else if (what == "store") {
        // The compressed member cannot be parked on disk: the item fails
        // inside the save, which itself completes.
        limit(RLIMIT_FSIZE, qint64(2) << 20);
        QByteArray noise(12 << 20, '\0');
        for (char& c : noise)
            c = char(std::rand());
        int slot = FZNoSlot;
        ASSERT_EQ(FZOpen(folder + "/s.zip/", twGenWrAccess, true, slot), 0);
        ASSERT_EQ(writeMember(slot, folder + "/s.zip/noise.bin", "small"), 0);
        // A replacement that fails keeps the member at its old data, which
        // must not pass for the new data stored.
        EXPECT_NE(writeMember(slot, folder + "/s.zip/noise.bin", noise), 0);
        EXPECT_NE(writeMember(slot, folder + "/s.zip/new.bin", noise), 0);
        EXPECT_EQ(FZClose(slot), 0);
        QByteArray data;
        EXPECT_EQ(readPath(folder + "/s.zip/noise.bin", data), 0);
        EXPECT_EQ(data, "small");
    }
    EXPECT_TRUE(filesIn(folder + "/tmp").isEmpty()) << filesIn(folder + "/tmp").join(' ').toStdString();
}

TEST_F(ArchiveSlots, MemberThatFailsInTheSaveIsNotReportedStored) {
    QDir().mkpath(path("tmp"));
    bool passed = false;
    const QString output = runChild("store", dir.path(), passed);
    EXPECT_TRUE(passed) << output.toStdString();
    EXPECT_EQ(zipNames(path("s.zip")), QStringList({"noise.bin"}));
}

TEST_F(ArchiveSlots, DecompressionBombEndsWithAnErrorCode) {
#ifndef NDEBUG
    GTEST_SKIP() << "release builds only: the sanitizers reserve more address space than allowed";
#endif
    // 8 GiB of zeros in about 8 MB: one compressed MiB, flushed so that it
    // repeats byte for byte. The trailer is never reached.
    ASSERT_EQ(runTool("python3",
                      {"-c",
                       "import zlib,sys\n"
                       "c=zlib.compressobj(9,zlib.DEFLATED,-15)\n"
                       "z=bytes(1<<20)\n"
                       "first=c.compress(z)+c.flush(zlib.Z_FULL_FLUSH)\n"
                       "again=c.compress(z)+c.flush(zlib.Z_FULL_FLUSH)\n"
                       "f=open(sys.argv[1],'wb')\n"
                       "f.write(b'\\x1f\\x8b\\x08\\x00\\x00\\x00\\x00\\x00\\x00\\x03'+first)\n"
                       "for i in range(8191): f.write(again)\n"
                       "f.write(c.flush()+bytes(8))\n",
                       path("bomb.gz")},
                      dir.path()),
              0);
    EXPECT_LT(QFileInfo(path("bomb.gz")).size(), qint64(12) << 20);
    QDir().mkpath(path("tmp"));
    bool passed = false;
    const QString output = runChild("bomb", dir.path(), passed);
    EXPECT_TRUE(passed) << output.toStdString();
    EXPECT_TRUE(filesIn(path("tmp")).isEmpty());
}
