// The deletion without its window: real files in a temporary folder, the
// trash under a temporary XDG_DATA_HOME, the mount table from a file.

#include "ui/folders/delete_run.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/locations.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"

namespace fz = tandex::access;
namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using namespace tandex::folders;

namespace {

class ScriptedHost : public TDeleteHost {
public:
    int AskDelete(const QString& path, int category) override {
        asked << QStringLiteral("%1|%2").arg(QFileInfo(path).fileName()).arg(category);
        return answers.isEmpty() ? ui::eaNo : answers.takeFirst();
    }
    void markEntryDeleted(int row, int side) override { marked << QStringLiteral("%1/%2").arg(row).arg(side); }
    QList<int> answers;
    QStringList asked;
    QStringList marked;
};

class DeleteRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        config::setMessageSink(&messages);
        engine::paneStores().InitCompareData();
        engine::paneStores().FolderRoots[1] = path("root/");
        oldData = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        fz::FZSetMountTableSource(QString());
        engine::paneStores().InitCompareData();
        for (int i = 0; i < fz::FZSlotCount; ++i) fz::FZClose(i);
        qputenv("XDG_DATA_HOME", oldData);
    }

    QString path(const QString& rel) const { return dir.filePath(rel); }
    void write(const QString& rel, mode_t mode = 0644) {
        QDir().mkpath(QFileInfo(path(rel)).path());
        QFile f(path(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("data");
        f.close();
        ::chmod(QFile::encodeName(path(rel)).constData(), mode);
    }
    bool present(const QString& rel) const { return QFileInfo(path(rel)).exists() || QFileInfo(path(rel)).isSymLink(); }

    // Lists the files (root-relative) as rows 0, 1, ... and runs the list.
    void run(TDeleteList& list, const QStringList& rels, bool toTrash = false) {
        list.Prepare(1, int(rels.size()));
        for (int i = 0; i < rels.size(); ++i) list.AddItem(i, path(rels[i]));
        ASSERT_TRUE(list.Start(1));
        list.Delete(toTrash);
    }

    QTemporaryDir dir;
    config::RecordingMessageSink messages;
    QByteArray oldData;
};

TEST_F(DeleteRun, LinesCarryRowDriveMarkerAndFullPath) {
    QDir().mkpath(path("share"));
    QDir().mkpath(path("cd"));
    QFile table(path("mountinfo"));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write(QStringLiteral("1 0 8:1 / / rw - ext4 /dev/tandex-test-disk rw\n"
                               "50 1 0:50 / %1 rw - cifs //fileserver/public rw\n"
                               "51 1 0:51 / %2 ro - iso9660 /dev/sr0 ro\n")
                    .arg(path("share"), path("cd"))
                    .toUtf8());
    table.close();
    fz::FZSetMountTableSource(path("mountinfo"));

    EXPECT_EQ(DeleteLine(7, ": ", "/x/y.txt"), "    8: /x/y.txt");
    struct Case {
        QString path;
        QString marker;
        bool trash;
    };
    const Case cases[] = {
        {path("root/local.txt"), ": ", true},
        {path("share/remote.txt"), "::", false},
        {path("cd/disc.txt"), ":-", false},
        {path("root/bundle.zip/inner/f.txt"), ":-", false},
        {"//fileserver/public/unc.txt", "::", false},
    };
    for (const Case& c : cases) {
        TDeleteList list;
        list.Prepare(1, 1);
        list.AddItem(7, c.path);
        EXPECT_EQ(list.Items[0].Line, "    8" + c.marker + c.path) << c.path.toStdString();
        EXPECT_EQ(list.TrashAllowed, c.trash) << c.path.toStdString();
    }
    // The second item on another mount is classified again; back on the
    // local disk it reads ": " once more, yet the trash stays off.
    TDeleteList list;
    list.Prepare(1, 3);
    list.AddItem(0, path("root/a.txt"));
    list.AddItem(1, path("share/b.txt"));
    list.AddItem(2, path("root/c.txt"));
    EXPECT_EQ(list.Items[1].Line.mid(5, 2), "::");
    EXPECT_EQ(list.Items[2].Line.mid(5, 2), ": ");
    EXPECT_FALSE(list.TrashAllowed);
}

TEST_F(DeleteRun, OneItemIsDeletedAndReported) {
    write("root/one.txt");
    ScriptedHost host;
    TDeleteList list(&host);
    list.Prepare(2, 1);
    list.AddItem(4, path("root/one.txt"));
    ASSERT_TRUE(list.Start(1));
    EXPECT_EQ(list.ActionText, "Delete the following file?");
    EXPECT_EQ(list.DelState, dsWaiting);
    list.Delete(false);
    EXPECT_FALSE(present("root/one.txt"));
    EXPECT_EQ(list.ActionText, "Deleted the following file:");
    EXPECT_EQ(list.Shown, QStringList{"    5: " + path("root/one.txt")});
    EXPECT_EQ(host.marked, (QStringList{"4/2", "-1/3"}));
    EXPECT_EQ(list.DelState, dsFinished);
    EXPECT_TRUE(messages.messages().empty());
    list.Cancel();
    EXPECT_EQ(list.DelState, dsIdle);
}

TEST_F(DeleteRun, TrashModeKeepsTheFileInTheTrash) {
    write("root/doomed.txt");
    TDeleteList list;
    run(list, {"root/doomed.txt"}, true);
    EXPECT_FALSE(present("root/doomed.txt"));
    EXPECT_TRUE(present("data/Trash/files/doomed.txt"));
    QFile info(path("data/Trash/info/doomed.txt.trashinfo"));
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().contains("Path=" + QFile::encodeName(path("root/doomed.txt"))));
}

TEST_F(DeleteRun, AFailedItemIsListedWithItsErrorAndWarned) {
    write("root/a.txt");
    write("root/c.txt");
    // b.txt vanished after the comparison listed it.
    TDeleteList list;
    run(list, {"root/a.txt", "root/b.txt", "root/c.txt"});
    EXPECT_FALSE(present("root/a.txt"));
    EXPECT_FALSE(present("root/c.txt"));
    EXPECT_EQ(list.ActionText, "Following 2 files deleted, but 1 not deleted:");
    const QStringList expected{"    1: " + path("root/a.txt"), "    2: " + path("root/b.txt") + " => NOT deleted!",
                               "       ==> " + fz::FZErrorText(-fz::errFileNotFound, fz::eoDelete) +
                                   " <==",
                               "    3: " + path("root/c.txt")};
    EXPECT_EQ(list.Shown, expected);
    const auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "One or more files couldn't be deleted!\r(these files are still selected)");
    EXPECT_EQ(shown[0].caption, "Tandex");
    EXPECT_EQ(shown[0].kind, config::MsgKind::Warning);
}

TEST_F(DeleteRun, ASingleFailedItemUsesTheSingularTexts) {
    TDeleteList list;
    run(list, {"root/gone.txt"});
    EXPECT_EQ(list.ActionText, "Didn't delete the following file:");
    const auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "The file couldn't be deleted!");
}

TEST_F(DeleteRun, ALongPathDeletesExactlyThatFile) {
    // The first 255 characters of the long path name another file: that
    // one must stay.
    QString rel = "root/";
    while (rel.size() < 300 - dir.path().size()) rel += "abcdefghij/";
    rel += "victim-with-a-long-name.txt";
    const QString full = path(rel);
    ASSERT_GT(full.size(), 300);
    write(rel);
    // (Never a folder of the path itself.)
    QString decoy = full.left(255);
    while (decoy.endsWith('/') || QFileInfo(decoy).isDir()) decoy = full.left(decoy.size() + 2);
    write(decoy.mid(dir.path().size() + 1));
    TDeleteList list;
    run(list, {rel});
    EXPECT_FALSE(QFileInfo::exists(full));
    EXPECT_TRUE(QFileInfo::exists(decoy));
    EXPECT_EQ(list.DeletedCount, 1);
}

TEST_F(DeleteRun, ALinkGoesAndItsTargetStaysUntouched) {
    write("target.txt", 0444);
    QDir().mkpath(path("root"));
    ASSERT_TRUE(QFile::link(path("target.txt"), path("root/link.txt")));
    ScriptedHost host;
    TDeleteList list(&host);
    run(list, {"root/link.txt"});
    EXPECT_FALSE(present("root/link.txt"));
    EXPECT_TRUE(present("target.txt"));
    EXPECT_EQ(QFileInfo(path("target.txt")).permissions() & QFile::WriteOwner, 0);
    EXPECT_TRUE(host.asked.isEmpty());
}

TEST_F(DeleteRun, ProtectedFilesAreConfirmedPerCategory) {
    write("root/ro1.txt", 0444);
    write("root/ro2.txt", 0444);
    write("root/.hidden");
    ScriptedHost host;
    host.answers = {ui::eaYesAll, ui::eaYes};
    TDeleteList list(&host);
    run(list, {"root/ro1.txt", "root/ro2.txt", "root/.hidden"});
    // Yes to all holds for write-protected files only: the dotfile is asked.
    EXPECT_EQ(host.asked, (QStringList{"ro1.txt|1", ".hidden|2"}));
    EXPECT_EQ(list.DeletedCount, 3);
    for (const char* f : {"root/ro1.txt", "root/ro2.txt", "root/.hidden"}) EXPECT_FALSE(present(f)) << f;
}

TEST_F(DeleteRun, DeclinedAndCancelledConfirmations) {
    write("root/ro.txt", 0444);
    write("root/plain.txt");
    {
        ScriptedHost host;
        host.answers = {ui::eaNo};
        TDeleteList list(&host);
        run(list, {"root/ro.txt", "root/plain.txt"});
        EXPECT_TRUE(present("root/ro.txt"));
        EXPECT_FALSE(present("root/plain.txt"));
        EXPECT_EQ(list.Shown, (QStringList{"    1: " + path("root/ro.txt") + " => NOT deleted!",
                                           "       ==> Write protected file, canceled by user <==",
                                           "    2: " + path("root/plain.txt")}));
        EXPECT_EQ(list.ActionText, "Following 1 files deleted, but 1 not deleted:");
        // A declined question is no failure to warn about.
        EXPECT_TRUE(messages.messages().empty());
    }
    write("root/plain.txt");
    ScriptedHost host;
    host.answers = {ui::eaCancelAll};
    TDeleteList list(&host);
    run(list, {"root/ro.txt", "root/plain.txt"});
    EXPECT_TRUE(present("root/ro.txt"));
    EXPECT_TRUE(present("root/plain.txt"));
    EXPECT_TRUE(list.Shown.isEmpty());
    EXPECT_EQ(list.DeletedCount + list.FailedCount, 0);
    EXPECT_EQ(list.DelState, dsFinished);
}

TEST_F(DeleteRun, EmptiedFoldersGoUpToButNotIncludingTheRoot) {
    write("root/a/b/c/only.txt");
    TDeleteList list;
    list.DeleteEmptyFolders = true;
    run(list, {"root/a/b/c/only.txt"});
    EXPECT_FALSE(present("root/a"));
    EXPECT_TRUE(QFileInfo(path("root")).isDir());
    EXPECT_EQ(list.FolderCount, 3);
    EXPECT_EQ(list.FolderCountText, "3 folders deleted");
    EXPECT_EQ(list.DelFoldersText, "Following 3 folders deleted:");
    EXPECT_EQ(list.DeletedFolders, (QStringList{path("root/a/b/c/"), path("root/a/b/"), path("root/a/")}));
    EXPECT_EQ(list.ShownCountText(false), "1 files deleted");
}

TEST_F(DeleteRun, NoFolderGoesAfterAFailedLastDeletionOrWithoutTheOption) {
    write("root/x/one.txt");
    write("root/y/two.txt");
    TDeleteList list;
    list.DeleteEmptyFolders = true;
    run(list, {"root/x/one.txt", "root/y/missing.txt"});
    EXPECT_FALSE(present("root/x/one.txt"));
    EXPECT_TRUE(QFileInfo(path("root/x")).isDir());
    EXPECT_EQ(list.FolderCount, 0);

    TDeleteList off;
    run(off, {"root/y/two.txt"});
    EXPECT_TRUE(QFileInfo(path("root/y")).isDir());
}

TEST_F(DeleteRun, NothingListedSaysSoAndStaysIdle) {
    TDeleteList list;
    list.Prepare(1, 0);
    EXPECT_FALSE(list.Start(1));
    EXPECT_EQ(list.DelState, dsIdle);
    const auto shown = messages.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Nothing is selected!");
    EXPECT_EQ(shown[0].kind, config::MsgKind::Information);
}

}  // namespace
