#include "ui/main/file_type_mismatch.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

#include "config/app_settings.h"
#include "engine/tab_slots.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace config = tandex::config;
namespace engine = tandex::engine;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

// A text comparison in tab 0 with files in both panes unless told
// otherwise; an image arrives for one of them.
class FileTypeMismatchTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::AppSettings() = config::TAppSettings();
        SetDisabledAlpha(80);  // what the main window sets for the classic look
        engine::fccTabs().InitTabSlots();
        setTabFiles(0, engine::tvText, "/home/u/a/", "old.txt", "/home/u/b/", "new.txt");
        dlg.DefaultPos = [](const QWidget* form) { return form->y() < 0 ? QPoint(40, 60) : form->pos(); };
        Watch(&dlg);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        SetDisabledAlpha(0);
        engine::fccTabs().InitTabSlots();
        config::AppSettings() = config::TAppSettings();
    }

    static void setTabFiles(int tab, int view, const QString& folder1, const QString& name1,
                            const QString& folder2, const QString& name2) {
        auto& slot = engine::fccTabs().TabSlots[size_t(tab)];
        slot.InUse = 1;
        slot.ViewType = quint8(view);
        slot.FileData.FilePaths[1] = folder1;
        slot.FileData.FileNames[1] = name1;
        slot.FileData.FilePaths[2] = folder2;
        slot.FileData.FileNames[2] = name2;
    }

    TfFTMismatch dlg;
};

TEST_F(FileTypeMismatchTest, ViewNamesKeepTheirTrailingBlank) {
    const char* names[] = {"UNKOWN ", "UNKOWN ", "TEXT ", "BINARY ", "IMAGE ", "UNKOWN ", "UNKOWN ", "UNKOWN "};
    for (int view = 0; view < 8; ++view) EXPECT_EQ(TfFTMismatch::ViewName(view), names[view]) << view;
}

TEST_F(FileTypeMismatchTest, WithoutAskingTheStoredDefaultAnswers) {
    struct Case {
        bool otherPaneHoldsFile;
        bool defaultLoadIntoTab;
        int answer;
        bool defaultAfter;
    } cases[] = {
        {true, true, 1, true},
        {true, false, 2, false},
        {false, true, 1, true},
        // Binary is impossible here, and the forced choice does not replace
        // the binary default.
        {false, false, 1, false},
    };
    for (const Case& c : cases) {
        setTabFiles(0, engine::tvText, "/home/u/a/", c.otherPaneHoldsFile ? "old.txt" : "", "", "");
        auto& s = config::AppSettings();
        s.CFCMConflict = false;
        s.CFCMCDefault = c.defaultLoadIntoTab;
        EXPECT_EQ(dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", 1), c.answer)
            << c.otherPaneHoldsFile << c.defaultLoadIntoTab;
        EXPECT_FALSE(s.CFCMConflict);
        EXPECT_EQ(s.CFCMCDefault, c.defaultAfter);
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST_F(FileTypeMismatchTest, AnEmptyOtherPaneNeverAsks) {
    setTabFiles(0, engine::tvText, "", "", "/home/u/b/", "new.txt");
    EXPECT_EQ(dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", 1), 1);
    EXPECT_TRUE(config::AppSettings().CFCMConflict);
    EXPECT_FALSE(dlg.rbNTBC->isEnabled());
    EXPECT_TRUE(dlg.rbNTNC->isChecked());
}

TEST_F(FileTypeMismatchTest, CancelKeepsTheSettingsButRemembersThePosition) {
    auto& s = config::AppSettings();
    s.CFCMCDefault = false;
    QPoint openedAt;
    OnNextModal([&](QWidget* form) {
        openedAt = form->pos();
        form->move(77, 88);
        PressFlatButton(form, "fbCancel");
    });
    EXPECT_EQ(dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", 1), 0);
    EXPECT_EQ(openedAt, QPoint(40, 60));  // never placed: where the main window puts it
    EXPECT_TRUE(s.CFCMConflict);
    EXPECT_FALSE(s.CFCMCDefault);
    EXPECT_EQ(QPoint(s.FML, s.FMT), QPoint(77, 88));

    // The next question opens where this one was closed.
    OnNextModal([&](QWidget* form) {
        openedAt = form->pos();
        form->close();
    });
    EXPECT_EQ(dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", 1), 0);
    EXPECT_EQ(openedAt, QPoint(77, 88));
}

TEST_F(FileTypeMismatchTest, BinaryChoiceKeptAsDefaultStopsAsking) {
    auto& s = config::AppSettings();
    QString binaryCaption, action;
    OnNextModal([&](QWidget* form) {
        tandex::testing::GrabToPng(form, "FileTypeMismatch-asked");
        binaryCaption = dlg.rbNTBC->text();
        dlg.rbNTBC->click();
        dlg.cbSetDefault->click();
        action = dlg.lResult2->text() + dlg.lResult3->text() + "|" + dlg.lResult4->text() + dlg.lResult5->text();
        tandex::testing::GrabToPng(form, "FileTypeMismatch-binary");
        PressFlatButton(form, "fbOk");
    });
    EXPECT_EQ(dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", 1), 2);
    EXPECT_EQ(binaryCaption,
              "Perform a BINARY comparison with the current file in the left pane and the now opened IMAGE file");
    EXPECT_EQ(action, "BINARY comparison of /home/u/a/old.txt|and /home/u/pic.png");
    EXPECT_FALSE(s.CFCMConflict);
    EXPECT_FALSE(s.CFCMCDefault);
    // The two files line up under one another, "and " just before the second.
    EXPECT_EQ(dlg.lResult5->x(), dlg.lResult3->x());
    EXPECT_EQ(dlg.lResult4->x() + dlg.lResult4->width(), dlg.lResult3->x());
}

TEST_F(FileTypeMismatchTest, HeaderSentencesFollowOnByMeasuredWidth) {
    config::AppSettings().CFCMConflict = false;
    dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", 2);
    EXPECT_EQ(dlg.lCurrTabMode->text(), "TEXT ");
    EXPECT_EQ(dlg.lNewTypeMode->text(), "IMAGE ");
    EXPECT_EQ(dlg.lCurrTabMode->x(), dlg.lDifDetail1->x() + dlg.lDifDetail1->width());
    EXPECT_EQ(dlg.lDifDetail2->x(), dlg.lCurrTabMode->x() + dlg.lCurrTabMode->width());
    EXPECT_EQ(dlg.lNewTypeMode->x(), dlg.lDifDetail3->x() + dlg.lDifDetail3->width());
    EXPECT_EQ(dlg.rbNTBC->text(),
              "Perform a BINARY comparison with the current file in the right pane and the now opened IMAGE file");
}

TEST_F(FileTypeMismatchTest, ResultLabelsDescribeTheAction) {
    struct Case {
        const char* what;
        bool imageTabOpen;
        const char* imageLeft;  // file in pane 1 of the open image tab
        bool binary;
        int other;
        const char* line1;
        const char* line2;
        const char* newTabCaption;
    } cases[] = {
        {"new tab", false, "", false, 1, "Load the file: /home/u/pic.png|",
         "into the right pane of a new IMAGE comparison tab|",
         "Load the file into a new fitting tab (a new IMAGE comparison tab in this case)"},
        {"open tab with a file", true, "/img/x.png", false, 1, "IMAGE comparison of |/img/x.png",
         "and |/home/u/pic.png", "Load the file in the already open IMAGE comparison tab"},
        {"open tab without a file", true, "", false, 1, "Load the file |/home/u/pic.png",
         "into the right pane of the already open IMAGE comparison tab|",
         "Load the file in the already open IMAGE comparison tab"},
        {"open tab, new file on the left", true, "", false, 2, "Load the file |/home/u/pic.png",
         "into the left pane of the already open IMAGE comparison tab|",
         "Load the file in the already open IMAGE comparison tab"},
        {"binary with the current tab", true, "/img/x.png", true, 2, "BINARY comparison of |/home/u/pic.png",
         "and |/home/u/b/new.txt", "Load the file in the already open IMAGE comparison tab"},
    };
    for (const Case& c : cases) {
        engine::fccTabs().TabSlots[2] = engine::TFCCTab();
        if (c.imageTabOpen) {
            const QString file = QString::fromLatin1(c.imageLeft);
            const qsizetype slash = file.lastIndexOf('/');
            setTabFiles(2, engine::tvImage, file.left(slash + 1), file.mid(slash + 1), "", "");
        }
        config::AppSettings().CFCMConflict = false;
        config::AppSettings().CFCMCDefault = !c.binary;
        dlg.Ask(engine::tvText, engine::tvImage, "/home/u/pic.png", c.other);
        EXPECT_EQ(dlg.lResult2->text() + "|" + dlg.lResult3->text(), c.line1) << c.what;
        EXPECT_EQ(dlg.lResult4->text() + "|" + dlg.lResult5->text(), c.line2) << c.what;
        EXPECT_EQ(dlg.rbNTNC->text(), c.newTabCaption) << c.what;
    }
}

}  // namespace
