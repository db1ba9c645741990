// The delete list window and the per-file question, offscreen, on real
// files in a temporary folder.

#include "ui/folders/show_del.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/stat.h>

#include "access/locations.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"
#include "ui/folders/file_delete_dlg.h"

namespace fz = tandex::access;
namespace config = tandex::config;
namespace engine = tandex::engine;
using namespace tandex::folders;
using namespace tandex::ui;
using tandex::testing::GrabToPng;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

QColor TextColor(const QLabel* label) { return label->palette().color(QPalette::WindowText); }

class ShowDelTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        config::setMessageSink(&messages);
        engine::paneStores().InitCompareData();
        engine::paneStores().FolderRoots[1] = path("root/");
    }
    void TearDown() override {
        WidgetTest::TearDown();
        config::setMessageSink(nullptr);
        fz::FZSetMountTableSource(QString());
        engine::paneStores().InitCompareData();
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
    // Runs the list; action acts inside it while it waits for the user. A
    // list the action leaves open is closed after a while, so that a broken
    // test fails instead of hanging.
    void runList(TF_ShowDel& w, const std::function<void()>& action) {
        QTimer::singleShot(0, &w, action);
        QTimer::singleShot(8000, &w, [&w] {
            w.B_NoClick();
            w.B_NoClick();
        });
        w.Run(1);
    }

    QTemporaryDir dir;
    config::RecordingMessageSink messages;
};

TEST_F(ShowDelTest, QuestionNamesFileFolderAndHighlightedCategory) {
    TF_FileDeleteDlg dlg;
    Watch(&dlg);
    QString seen;
    OnNextModal([&](QWidget* form) {
        GrabToPng(form, "FileDeleteDlg-write-protected");
        seen = dlg.windowTitle() + "|" + dlg.L_FileTxt->text() + dlg.L_Filename->text() + "|" +
               dlg.L_FolderTxt->text() + dlg.L_Folder->text() + "|" + dlg.L_Txt1->text() + dlg.L_Txt2->text() +
               dlg.L_Txt3->text() + "|" + dlg.L_Question->text();
        EXPECT_TRUE(dlg.L_Txt2->font().bold() && dlg.L_Txt2->font().underline());
        EXPECT_EQ(TextColor(dlg.L_Txt2), ToQColor(0x0000B0));
        EXPECT_EQ(dlg.L_Txt3->x(), dlg.L_Txt2->geometry().right() + 1);
        EXPECT_FALSE(dlg.IMG_Q1->pixmap().isNull());
        EXPECT_FALSE(dlg.IMG_Q2->pixmap().isNull());
        PressFlatButton(form, "fbYesAll");
    });
    EXPECT_EQ(dlg.Ask("/data/work/report.txt", rcWriteProtected), eaYesAll);
    EXPECT_EQ(seen, " Delete file? |The file:report.txt|in folder:/data/work/|is a write protected file|"
                    "Delete it anyway");
    EXPECT_EQ(dlg.DeleteAnswer().Answer(rcWriteProtected), eaYesAll);

    // The other answers, and Cancel all, which stops every category.
    struct Case {
        const char* button;
        int answer;
    };
    for (const Case& c : {Case{"fbYes", eaYes}, Case{"fbNo", eaNo}, Case{"fbNoAll", eaNoAll},
                          Case{"fbCancel", eaCancelAll}}) {
        OnNextModal([&](QWidget* form) { PressFlatButton(form, c.button); });
        EXPECT_EQ(dlg.Ask("/data/.profile", rcHidden), c.answer) << c.button;
    }
    for (int category = 0; category < 4; ++category) EXPECT_EQ(dlg.DeleteAnswer().Answer(category), eaCancelAll);
    dlg.ResetAnswers();
    EXPECT_EQ(dlg.DeleteAnswer().Answer(rcWriteProtected), eaNo);
}

TEST_F(ShowDelTest, ListDeletesAndShowsResultsAndRemovedFolders) {
    write("root/a/b/c/only.txt");
    write("root/keep/one.txt");
    TF_ShowDel w;
    Watch(&w);
    w.Prepare(QPoint(40, 40), 1, 2);
    EXPECT_TRUE(w.P_PleaseWait->isVisible() || !w.isVisible());
    w.AddItem(6, path("root/a/b/c/only.txt"));
    w.AddItem(9, path("root/keep/one.txt"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.B_ToTrash->Enabled());
    // The button keeps the two lines apart without the line break.
    EXPECT_EQ(w.B_ToTrash->Caption(), "Move toTrashcan");
    EXPECT_EQ(w.B_Yes->Caption(), "Deletefinally");
    bool ran = false;
    runList(w, [&] {
        ran = true;
        EXPECT_EQ(w.DelState(), dsWaiting);
        EXPECT_EQ(w.L_Action->text(), "Delete the following 2 files?");
        EXPECT_EQ(w.M_ShowDel->toPlainText(),
                  "    7: " + path("root/a/b/c/only.txt") + "\n   10: " + path("root/keep/one.txt"));
        EXPECT_FALSE(w.P_PleaseWait->isVisible());
        GrabToPng(&w, "ShowDel-list");
        // Closing the frame is refused while the list waits.
        EXPECT_FALSE(w.close());
        w.CB_DelEmptyFolder->click();
        EXPECT_TRUE(w.CB_DelEmptyFolder->font().bold());
        PressFlatButton(&w, "B_Yes");
        EXPECT_EQ(w.DelState(), dsFinished);
        EXPECT_EQ(w.L_Action->text(), "Following 2 files deleted:");
        EXPECT_EQ(w.L_NumOfDelFolder->text(), "4 folders deleted");
        EXPECT_EQ(w.B_No->Caption(), "Close");
        EXPECT_TRUE(w.B_ShowDelFolders->isVisible());
        EXPECT_FALSE(w.B_ShowDelFiles->isVisible());
        GrabToPng(&w, "ShowDel-results");
        PressFlatButton(&w, "B_ShowDelFolders");
        EXPECT_TRUE(w.M_DelFolders->isVisible());
        EXPECT_TRUE(w.L_DelFolders->isVisible());
        EXPECT_FALSE(w.M_ShowDel->isVisible());
        EXPECT_EQ(w.L_DelFolders->text(), "Following 4 folders deleted:");
        EXPECT_TRUE(w.B_ShowDelFiles->isVisible());
        EXPECT_EQ(w.L_NumOfDelFolder->text(), "2 files deleted");
        GrabToPng(&w, "ShowDel-folders");
        PressFlatButton(&w, "B_ShowDelFiles");
        EXPECT_TRUE(w.M_ShowDel->isVisible());
        EXPECT_EQ(w.L_NumOfDelFolder->text(), "4 folders deleted");
        PressFlatButton(&w, "B_No");
    });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.DelState(), dsIdle);
    EXPECT_FALSE(QFileInfo::exists(path("root/a")));
    EXPECT_FALSE(QFileInfo::exists(path("root/keep")));
    EXPECT_TRUE(QFileInfo(path("root")).isDir());
}

TEST_F(ShowDelTest, AShareItemTurnsTheTrashOffAndCancelKeepsEverything) {
    write("share/remote.txt");
    write("root/local.txt");
    QFile table(path("mountinfo"));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write(QStringLiteral("1 0 8:1 / / rw - ext4 /dev/tandex-test-disk rw\n"
                               "50 1 0:50 / %1 rw - cifs //fileserver/public rw\n")
                    .arg(path("share"))
                    .toUtf8());
    table.close();
    fz::FZSetMountTableSource(path("mountinfo"));

    TF_ShowDel w;
    Watch(&w);
    w.Prepare(QPoint(40, 40), 1, 2);
    w.AddItem(0, path("root/local.txt"));
    EXPECT_TRUE(w.B_ToTrash->Enabled());
    w.AddItem(7, path("share/remote.txt"));
    EXPECT_FALSE(w.B_ToTrash->Enabled());
    EXPECT_EQ(w.focusWidget(), w.B_No);
    EXPECT_TRUE(w.M_DelFiles->toPlainText().endsWith("    8::" + path("share/remote.txt")));
    runList(w, [&] {
        GrabToPng(&w, "ShowDel-share");
        PressFlatButton(&w, "B_ToTrash");  // disabled: nothing happens
        EXPECT_EQ(w.DelState(), dsWaiting);
        PressFlatButton(&w, "B_No");
    });
    EXPECT_EQ(w.DelState(), dsIdle);
    EXPECT_TRUE(QFileInfo::exists(path("root/local.txt")));
    EXPECT_TRUE(QFileInfo::exists(path("share/remote.txt")));
}

TEST_F(ShowDelTest, NothingListedSaysSoAndHides) {
    TF_ShowDel w;
    Watch(&w);
    w.Prepare(QPoint(40, 40), 1, 0);
    w.Run(1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.DelState(), dsIdle);
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.messages()[0].text, "Nothing is selected!");
}

}  // namespace
