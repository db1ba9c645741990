// The settings dialog as the main window opens, waits for and closes it:
// Ctrl+S, the status labels, the editing question, the window's close,
// help, colour scheme, and the buttons that call back into the window.

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTreeWidget>
#include <QTimer>
#include <functional>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "engine/rows.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/settings/settings_dialog_fixture.h"
#include "ui/main/folder_view_seam.h"
#include "ui/main/print_seams.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
namespace settings = tandex::settings;
using settings::TF_SettingsNew;
using tandex::testing::PressFlatButton;

namespace {

class RecordingHelp : public ui::HelpServices {
public:
    void ShowHelpTopic(const QString& topic) override { topics << topic; }
    void ApplyTheme() override {}
    void CloseHelp() override {}
    QStringList topics;
};

class SettingsMainWindowTest : public tandex::testing::SettingsDialogFixture {
protected:
    void SetUp() override {
        SettingsDialogFixture::SetUp();
        ui::setHelp(&help_);
    }
    void TearDown() override {
        ui::setHelp(nullptr);
        SettingsDialogFixture::TearDown();
    }
    ui::TF_Main& loadPair() {
        ui::TF_Main& w = makeWindow();
        w.loadAndCompare(3, file("left.txt", "one\ntwo\n"), file("right.txt", "one\nthree\n"));
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        return w;
    }
    QString file(const char* name, const QByteArray& text) {
        const QString path = tmp_.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    // Runs look on the open dialog once the caller waits for it, then
    // cancels it as the user would.
    static void whileOpen(std::function<void(TF_SettingsNew&)> look) {
        QTimer::singleShot(20, [look] {
            TF_SettingsNew* d = settings::F_SettingsNew();
            if (!d) return;
            look(*d);
            PressFlatButton(d, "fbCancel");
        });
    }
    static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    RecordingHelp help_;
};

TEST_F(SettingsMainWindowTest, CancelRemembersPageAndPlaceAndCtrlSReopensThere) {
    ui::TF_Main& w = loadPair();
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    TF_SettingsNew* d = settings::F_SettingsNew();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(d->isModal());
    EXPECT_FALSE(w.ControlsEnabled());
    d->TV_Select->setCurrentItem(d->nodeOfPage(7));
    d->move(123, 45);
    PressFlatButton(d, "fbCancel");
    EXPECT_EQ(settings::F_SettingsNew(), nullptr);
    EXPECT_TRUE(w.ControlsEnabled());
    const auto& s = config::AppSettings();
    EXPECT_EQ(s.SUSettingPage, 7);
    EXPECT_EQ(s.SFL, 123);
    EXPECT_EQ(s.SFT, 45);
    settle();

    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    d = settings::F_SettingsNew();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->SelectedPage(), 7);
    EXPECT_EQ(d->pos(), QPoint(123, 45));
    // Escape is "Cancel" too.
    QTest::keyClick(d, Qt::Key_Escape);
    EXPECT_EQ(settings::F_SettingsNew(), nullptr);
    EXPECT_TRUE(w.ControlsEnabled());
}

TEST_F(SettingsMainWindowTest, StatusLabelsOpenTheirPageWithThePulseAndReturnOnceItCloses) {
    ui::TF_Main& w = loadPair();
    struct Case {
        QLabel* label;
        int page;
        int target;
    };
    const Case cases[] = {{w.lSimLevel, 9, 1}, {w.L_HiddenLn, 6, 2}};
    for (const Case& c : cases) {
        int page = -1, target = -1;
        bool pulsing = false, disabled = false;
        whileOpen([&](TF_SettingsNew& d) {
            page = d.SelectedPage();
            target = d.pulseTarget;
            pulsing = d.timColor->isActive();
            disabled = !w.ControlsEnabled();
        });
        QTest::mouseDClick(c.label, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_EQ(settings::F_SettingsNew(), nullptr) << c.page;
        EXPECT_EQ(page, c.page);
        EXPECT_EQ(target, c.target);
        EXPECT_TRUE(pulsing);
        EXPECT_TRUE(disabled);
        EXPECT_TRUE(w.ControlsEnabled());
        settle();
    }
}

TEST_F(SettingsMainWindowTest, EditingQuestionsYesOpensTheEditorPageAndReturnsOnCancel) {
    ui::TF_Main& w = loadPair();
    config::AppSettings().TEEnabled = false;
    const QString before = tandex::engine::rows().RowPlainText(1, 0);
    int page = -1, target = -1;
    whileOpen([&](TF_SettingsNew& d) {
        page = d.SelectedPage();
        target = d.pulseTarget;
    });
    QChar key(u'z');
    w.FormKeyPress(nullptr, key);
    // The recording sink answers the question with its default, "Yes".
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_EQ(sink_.messages()[0].caption, QStringLiteral(" Editing disabled! "));
    EXPECT_EQ(page, 6);
    EXPECT_EQ(target, 3);
    EXPECT_EQ(settings::F_SettingsNew(), nullptr);
    // Cancelled: editing stays off and nothing was typed.
    EXPECT_EQ(tandex::engine::rows().RowPlainText(1, 0), before);
    EXPECT_TRUE(w.ControlsEnabled());
}

TEST_F(SettingsMainWindowTest, ClosingTheMainWindowCancelsTheDialogFirst) {
    ui::TF_Main& w = loadPair();
    w.BB_SETINGSClick(nullptr);
    ASSERT_NE(settings::F_SettingsNew(), nullptr);
    settings::F_SettingsNew()->SelectPage(4, 0);
    EXPECT_FALSE(w.close());
    EXPECT_EQ(settings::F_SettingsNew(), nullptr);
    EXPECT_EQ(config::AppSettings().SUSettingPage, 4);
    EXPECT_TRUE(w.isVisible());
    // The close comes back by itself and now goes through.
    w.firePendingJobs();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.FormClosed());
}

TEST_F(SettingsMainWindowTest, HelpCommandOpensThePagesTopicWhileTheDialogIsOpen) {
    ui::TF_Main& w = loadPair();
    QAction* help = w.findChild<QAction*>(QStringLiteral("Help2"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::Key_F1));
    w.BB_SETINGSClick(nullptr);
    settings::F_SettingsNew()->SelectPage(2, 0);
    help->trigger();
    settings::F_SettingsNew()->fbCancelClick();
    help->trigger();
    EXPECT_EQ(help_.topics, (QStringList{QStringLiteral("Settings: General -> Backups"),
                                         QStringLiteral("Welcome to Tandex")}));
}

TEST_F(SettingsMainWindowTest, ColourSchemeChangeReachesTheOpenDialog) {
    ui::TF_Main& w = loadPair();
    auto& s = config::AppSettings();
    s.GSGUIStyle = 1;
    w.loadIconSets();
    w.BB_SETINGSClick(nullptr);
    TF_SettingsNew* d = settings::F_SettingsNew();
    ASSERT_NE(d, nullptr);
    s.COSetIdx = 0;
    w.applyColorScheme();
    const QColor title = d->P_Title->palette().color(QPalette::Window);
    EXPECT_EQ(quint32(title.red() | (title.green() << 8) | (title.blue() << 16)),
              s.ColorSets[0][config::TBEndCol] & 0xFFFFFF);
}

TEST_F(SettingsMainWindowTest, PageButtonsCallTheMainWindowsCommands) {
    // The colour dialog itself is the joined object's own; only its call is
    // recorded here.
    struct Joined : settings::TCommandWindowServices {
        void ShowColors(QPoint, bool shortcutsOn, std::function<void(int)>) override { calls << shortcutsOn; }
        QList<bool> calls;
    } joined;
    auto& colors = joined;
    ui::setCommandWindows(&joined);
    struct Folders : ui::FolderViewServices {
        bool Execute(bool showOptions, int mode) override {
            runs << QStringLiteral("%1 %2 %3").arg(showOptions).arg(mode).arg(dialogEnabled());
            return true;
        }
        static bool dialogEnabled() { return settings::F_SettingsNew()->isEnabled(); }
        QStringList runs;
    } folders;
    ui::setFolderView(&folders);

    ui::TF_Main& w = loadPair();
    QStringList fontTitles;
    w.FontDialogHook = [&](QFont&, const QString& title) {
        fontTitles << title;
        return false;
    };
    w.BB_SETINGSClick(nullptr);
    TF_SettingsNew* d = settings::F_SettingsNew();
    ASSERT_NE(d, nullptr);
    d->SelectPage(5, 0);
    for (const char* button : {"BB_Font", "BB_PrnFont", "BB_Colors"}) PressFlatButton(d, button);
    EXPECT_EQ(fontTitles, (QStringList{QStringLiteral(" Select Display Font "), QStringLiteral(" Select Printer Font ")}));
    ASSERT_EQ(colors.calls.size(), 1);
    d->SelectPage(8, 0);
    PressFlatButton(d, "fbQFCOpts");
    // Disabled while the options run, enabled again after.
    EXPECT_EQ(folders.runs, QStringList{QStringLiteral("1 1112 0")});
    EXPECT_TRUE(d->isEnabled());
    d->fbCancelClick();
    ui::setFolderView(nullptr);
    ui::setCommandWindows(&services_);
}

}  // namespace
