#include "access/folder_totals.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "config/services.h"

#include "tests/access/as_nobody.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <map>

using namespace tandex::access;
namespace config = tandex::config;

namespace {

void writeFile(const QString& path, qint64 size) {
    QDir().mkpath(path.left(path.lastIndexOf('/')));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QByteArray(size, 'x'));
}

void link(const QString& target, const QString& name) {
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()),
              0);
}

struct CountingPump : config::EventPump {
    CountingPump() { config::setEventPump(this); }
    ~CountingPump() override { config::setEventPump(nullptr); }
    void processEvents() override {
        ++calls;
        if (abortAt && calls == abortAt) FZAbortAll();
    }
    int calls = 0;
    int abortAt = 0;
};

class FolderTotals : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // {a.txt 10 B, .git/x 20 B, .git/sub/y 30 B}
        writeFile(path("tree/a.txt"), 10);
        writeFile(path("tree/.git/x"), 20);
        writeFile(path("tree/.git/sub/y"), 30);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(FolderTotals, CountsEverythingInsideHiddenFolders) {
    const timespec times[2] = {{1000000000, 0}, {1300000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("tree")).constData(), times, 0), 0);
    CountingPump pump;
    TFZFolderTotals t;
    EXPECT_EQ(FZLocalFolderTotals(path("tree/"), t), 0);
    EXPECT_EQ(t.Files, 3);
    EXPECT_EQ(t.Folders, 2);
    EXPECT_EQ(t.Bytes, 60);
    EXPECT_EQ(t.Attributes, FZAttrDirectory);
    EXPECT_EQ(t.LastWriteTime, (1300000000ull + 11644473600ull) * 10000000ull);
    EXPECT_NE(t.CreationTime, 0u);
    EXPECT_EQ(pump.calls, 3);  // once per folder
}

TEST_F(FolderTotals, FollowsLinksButNotIntoLoops) {
    writeFile(path("outside/o1"), 100);
    writeFile(path("outside/deeper/o2"), 200);
    writeFile(path("target.bin"), 1000);
    link(path("outside"), path("tree/out-link"));          // folder outside: followed
    link(path("target.bin"), path("tree/file-link"));      // file: its target's size
    link(path("tree"), path("tree/.git/sub/up"));          // ancestor: not entered or counted
    link(path("missing"), path("tree/dangling"));          // the link's own size
    link("sub", path("tree/.git/sub-again"));              // same folder twice, no loop
    const qint64 danglingSize = QFile::encodeName(path("missing")).size();
    TFZFolderTotals t;
    EXPECT_EQ(FZLocalFolderTotals(path("tree"), t), 0);
    // a.txt x y, o1 o2, file-link, dangling, and y again through sub-again
    EXPECT_EQ(t.Files, 3 + 2 + 1 + 1 + 1);
    EXPECT_EQ(t.Folders, 2 + 2 + 1);
    EXPECT_EQ(t.Bytes, 60 + 300 + 1000 + danglingSize + 30);
}

TEST_F(FolderTotals, AnUnreadableFolderGivesItsErrorAndTheRestIsCounted) {
    if (::geteuid() == 0) return tandex::testing::RunAsNobody();
    writeFile(path("tree/locked/hidden.txt"), 5);
    ::chmod(QFile::encodeName(path("tree/locked")).constData(), 0);
    TFZFolderTotals t;
    EXPECT_EQ(FZLocalFolderTotals(path("tree"), t), errAccessDenied);
    ::chmod(QFile::encodeName(path("tree/locked")).constData(), 0700);
    EXPECT_EQ(t.Files, 3);
    EXPECT_EQ(t.Folders, 3);
    EXPECT_EQ(t.Bytes, 60);
}

TEST_F(FolderTotals, MissingFolderAndAbort) {
    TFZFolderTotals t;
    EXPECT_EQ(FZLocalFolderTotals(path("none"), t), errPathNotFound);
    EXPECT_EQ(t.Files, 0);
    EXPECT_EQ(FZLocalFolderTotals("//no-such-host/share/dir", t), errShareNotFound);

    // An abort from inside the walk stops it; the next walk starts afresh.
    CountingPump pump;
    pump.abortAt = 1;
    EXPECT_EQ(FZLocalFolderTotals(path("tree"), t), 0);
    EXPECT_EQ(t.Files + t.Folders, 0);
    pump.abortAt = 0;
    EXPECT_EQ(FZLocalFolderTotals(path("tree"), t), 0);
    EXPECT_EQ(t.Files, 3);
}

// A remote tree served from a table of listings, keyed by folder path.
struct FakeLister : TFZKindHandler {
    std::map<QString, std::vector<TFZItem>> folders;
    QStringList listed;
    int connect(int, TFZAccessMode) override { return 0; }
    int fetch(int, TFZMemStream&) override { return 0; }
    int store(int, TFZMemStream&) override { return 0; }
    int release(int) override { return 0; }
    int listFolder(int slot, TFZDDir& listing) override {
        const QString at = FZSlotPath(slot);
        listed << at;
        const auto it = folders.find(at);
        if (it == folders.end()) return 12003;
        listing.Items = it->second;
        // Spare entries past Count must not be read.
        listing.Items.push_back({"spare", 999, 0, 0, 0});
        listing.Count = int(it->second.size());
        return 0;
    }
};

TEST(RemoteFolderTotals, WalksTheKindsListings) {
    FakeLister ftp;
    const FileTime when = 133000000000000000ull;
    const QString root = "ftp://u@h/pub/";
    ftp.folders[root] = {{"..", 0, 0, when, FZAttrDirectory},
                         {"a.txt", 10, 0, 0, 0},
                         {"docs", 0, 0, 0, FZAttrDirectory},
                         {"broken", 0, 0, 0, FZAttrDirectory},
                         {".", 0, 0, 0, FZAttrDirectory}};
    ftp.folders[root + "docs/"] = {{"b.txt", 20, 0, 0, 0}, {"deep", 0, 0, 0, FZAttrDirectory}};
    ftp.folders[root + "docs/deep/"] = {{"c.txt", 30, 0, 0, 0}};
    FZSetKindHandler(akFtp, &ftp);
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen("ftp://u@h/pub/file.txt", twGenAccess, false, slot), 0);

    TFZFolderTotals t;
    EXPECT_EQ(FZRemoteFolderTotals(slot, "ftp://u@h/pub", t), 0);
    EXPECT_EQ(t.Files, 3);
    EXPECT_EQ(t.Bytes, 60);
    EXPECT_EQ(t.Folders, 2);  // docs and deep; "broken" could not be listed
    EXPECT_EQ(t.LastWriteTime, when);
    EXPECT_EQ(t.Attributes, FZAttrDirectory);
    EXPECT_TRUE(ftp.listed.contains(root + "broken/"));
    EXPECT_EQ(FZSlotPath(slot), "ftp://u@h/pub/file.txt");

    EXPECT_EQ(FZRemoteFolderTotals(slot, "ftp://u@h/none/", t), 12003);
    EXPECT_EQ(t.Folders, -1);
    FZClose(slot);

    ASSERT_EQ(FZOpen("/tmp/local.txt", twGenAccess, false, slot), 0);
    EXPECT_EQ(FZRemoteFolderTotals(slot, "/tmp/", t), errInvalidPath);
    FZClose(slot);
    FZSetKindHandler(akFtp, nullptr);
}

}  // namespace
