#include "ui/print/help_wnd.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QUrl>

#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/prg_dir.h"
#include "help_fixture.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"
#include "ui/print/help_links.h"
#include "ui/print/help_topics.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
using namespace tandex::print;

// Takes the addresses the help would hand to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

QByteArray topics() {
    QByteArray text =
        "#hbegin:Welcome to Tandex\r\n"
        "Welcome page\r\n"
        "Go to \\cf8 Options\\cf1  or \\cf8 Second_Page\\cf1 .\r\n"
        "Self \\cf8 Welcome_to_Tandex\\cf1  and \\cf9 Colors\\cf1 .\r\n"
        "Mail \\cf7 user@host\\cf1 , \\cf7 file:///bin/sh\\cf1 , \\cf7 /usr/bin/xterm\\cf1 , "
        "\\cf7 https://example.org/x\\cf1 \r\n"
        "#hend\r\n"
        "#hbegin:Options\r\n"
        "Options topic, on to \\cf8 Second_Page\\cf1 \r\n";
    for (int i = 0; i < 80; ++i) text += "General line " + QByteArray::number(i) + "\r\n";
    text += "Colors:\r\n";
    for (int i = 0; i < 80; ++i) text += "Colour line " + QByteArray::number(i) + "\r\n";
    text +=
        "#hend\r\n"
        "#hbegin:Second Page\r\n"
        "Second\r\n"
        "#hend\r\n"
        "#hbegin:A&B\r\n"
        "Ampersand topic\r\n"
        "#hend\r\n";
    return text;
}

class HelpWindowTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::TPrgDirSources sources;
        sources.executablePath = tmp_.filePath("bin/tandex");
        sources.configHome = tmp_.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        HelpState().HelpFile = help_fixture::writeFile(tmp_.filePath("topics.txt"), topics());
        ui::setHelp(&services_);
        for (const char* scheme : {"mailto", "file", "http", "https"})
            QDesktopServices::setUrlHandler(scheme, &catcher_, "open");
    }
    void TearDown() override {
        for (const char* scheme : {"mailto", "file", "http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
        WidgetTest::TearDown();
        services_.CloseHelp();
        ui::setHelp(nullptr);
        HelpState() = THelpState{};
        config::SetPrgDir(nullptr);
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }

    TF_Help* open(const QString& topic) {
        ui::ShowHelpTopic(topic);
        TF_Help* w = HelpState().F_Help;
        if (w) Watch(w);
        return w;
    }

    // Moves the mouse onto the middle of the first run of text in the
    // view; false when the text is not there.
    static bool hover(TF_Help* w, const QString& text) {
        // Hovering waits a moment after the view was resized or scrolled.
        for (int i = 0; i < 100 && HelpState().HoverSuspended; ++i) QTest::qWait(10);
        QTextDocument* doc = w->reHelp->document();
        const QTextCursor found = doc->find(text);
        if (found.isNull()) return false;
        QTextCursor c(doc);
        c.setPosition(found.selectionStart() + int(text.size()) / 2);
        w->reHelp->ensureCursorVisible();
        const QRect r = w->reHelp->cursorRect(c);
        lastMouse() = QPoint(r.x() + 1, r.center().y());
        QTest::mouseMove(w->reHelp->viewport(), lastMouse());
        return true;
    }

    static QPoint& lastMouse() {
        static QPoint at;
        return at;
    }

    static void click(TF_Help* w, const QString& text) {
        ASSERT_TRUE(hover(w, text)) << text.toStdString();
        QTest::mouseClick(w->reHelp->viewport(), Qt::LeftButton, {}, lastMouse());
    }

    static QString firstLine(TF_Help* w) { return w->reHelp->document()->begin().text(); }

    QTemporaryDir tmp_;
    THelpWindowServices services_;
    UrlCatcher catcher_;
};

TEST_F(HelpWindowTest, DoubledAmpersandsAreLookedUpAndShownSingle) {
    TF_Help* w = open("A&&B");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->L_Title->text(), "A&B");
    EXPECT_EQ(HelpState().CurrentTopic, "A&B");
    EXPECT_EQ(firstLine(w), "Ampersand topic");
    EXPECT_EQ(w->windowTitle(), " Tandex Help ");
    EXPECT_TRUE(w->reHelp->isReadOnly());
    EXPECT_EQ(w->reHelp->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_TRUE(w->fbHelp->Enabled());
}

TEST_F(HelpWindowTest, AnAnchorSelectsItsLineAtTheTop) {
    TF_Help* w = open("Options => Colors");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(HelpState().CurrentTopic, "Options");
    EXPECT_EQ(w->L_Title->text(), "Options");
    EXPECT_EQ(w->reHelp->textCursor().selectedText(), "Colors:");
    EXPECT_GT(w->reHelp->verticalScrollBar()->value(), 0);
    EXPECT_LT(w->reHelp->cursorRect().top(), w->reHelp->viewport()->height() / 4);

    // Without an anchor, or with one that is not there, nothing is selected
    // and the view starts at the top.
    for (const char* topic : {"Options", "Options => Nowhere"}) {
        ui::ShowHelpTopic(topic);
        EXPECT_FALSE(w->reHelp->textCursor().hasSelection()) << topic;
        EXPECT_EQ(w->reHelp->verticalScrollBar()->value(), 0) << topic;
    }
}

// The main window's Copy hands over to the help text only while it has the
// focus.
TEST_F(HelpWindowTest, CopyFromOutsideTakesTheSelectionOnlyWhileTheTextHasTheFocus) {
    TF_Help* w = open("Options => Colors");
    ASSERT_NE(w, nullptr);
    QApplication::clipboard()->setText("before");
    w->reHelp->clearFocus();
    EXPECT_FALSE(ui::help().CopyFocusedText());
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->reHelp->setFocus();
    EXPECT_TRUE(ui::help().CopyFocusedText());
    EXPECT_EQ(QApplication::clipboard()->text(), "Colors:");
}

TEST_F(HelpWindowTest, PrevNextAndWelcomeKeepTheHistory) {
    TF_Help* w = open("Welcome to Tandex");
    ASSERT_NE(w, nullptr);
    const THelpState& st = HelpState();
    EXPECT_FALSE(w->fbHelp->Enabled());
    EXPECT_FALSE(w->fbPrev->Enabled());
    click(w, "Options");
    EXPECT_EQ(st.CurrentTopic, "Options");
    click(w, "Second_Page");
    EXPECT_EQ(st.CurrentTopic, "Second Page");
    EXPECT_EQ(st.HelpBack, QStringList({"Welcome to Tandex", "Options"}));
    EXPECT_TRUE(w->fbPrev->Enabled());
    EXPECT_FALSE(w->fbNext->Enabled());

    w->fbPrevClick();
    EXPECT_EQ(st.CurrentTopic, "Options");
    EXPECT_EQ(st.HelpBack, QStringList({"Welcome to Tandex"}));
    EXPECT_EQ(st.HelpForward, QStringList({"Second Page"}));
    EXPECT_TRUE(w->fbNext->Enabled());

    w->fbNextClick();
    EXPECT_EQ(st.CurrentTopic, "Second Page");
    EXPECT_TRUE(st.HelpForward.isEmpty());

    w->fbPrevClick();
    w->fbHelpClick();
    EXPECT_EQ(st.CurrentTopic, "Welcome to Tandex");
    EXPECT_EQ(st.HelpBack, QStringList({"Welcome to Tandex", "Options"}));
    EXPECT_TRUE(st.HelpForward.isEmpty());
    EXPECT_FALSE(w->fbHelp->Enabled());
    // Welcome on the start page changes nothing.
    w->fbHelpClick();
    EXPECT_EQ(st.HelpBack.size(), 2);

    // A link to the topic shown adds nothing.
    click(w, "Welcome_to_Tandex");
    EXPECT_EQ(st.CurrentTopic, "Welcome to Tandex");
    EXPECT_EQ(st.HelpBack.size(), 2);
}

TEST_F(HelpWindowTest, HoveringALinkShowsTheHandAndReadsItsTopic) {
    TF_Help* w = open("Welcome to Tandex");
    ASSERT_NE(w, nullptr);
    const THelpState& st = HelpState();
    ASSERT_TRUE(hover(w, "Second_Page"));
    EXPECT_EQ(st.HoverLinkKind, lkTopic);
    EXPECT_EQ(st.LinkText, "Second_Page");
    EXPECT_EQ(w->reHelp->viewport()->cursor().shape(), Qt::PointingHandCursor);

    QString topic;
    HelpLinkClick(w->reHelp, Qt::RightButton, topic);
    EXPECT_TRUE(topic.isEmpty());
    HelpLinkClick(w->reHelp, Qt::LeftButton, topic);
    EXPECT_EQ(topic, "Second Page");

    ASSERT_TRUE(hover(w, "Colors"));
    EXPECT_EQ(st.HoverLinkKind, lkSettingsTopic);
    HelpLinkClick(w->reHelp, Qt::LeftButton, topic);
    EXPECT_EQ(topic, "Settings: Colors");

    ASSERT_TRUE(hover(w, "Welcome page"));
    EXPECT_EQ(st.HoverLinkKind, lkNone);
    EXPECT_TRUE(st.LinkText.isEmpty());
    EXPECT_EQ(w->reHelp->viewport()->cursor().shape(), Qt::ArrowCursor);

    // Hovering waits while the view scrolls.
    HelpState().HoverSuspended = true;
    EXPECT_FALSE(HelpLinkHover(w->reHelp, Qt::NoButton, 1, 1));
}

TEST_F(HelpWindowTest, AddressLinksOpenOnlyWebAndMail) {
    TF_Help* w = open("Welcome to Tandex");
    ASSERT_NE(w, nullptr);
    struct Case {
        const char* link;
        const char* opened;  // nullptr: nothing may open
    };
    const Case cases[] = {
        {"user@host", "mailto:user@host"},
        {"file:///bin/sh", nullptr},
        {"/usr/bin/xterm", nullptr},
        {"https://example.org/x", "https://example.org/x"},
    };
    for (const Case& c : cases) {
        catcher_.opened.clear();
        click(w, c.link);
        EXPECT_EQ(HelpState().HoverLinkKind, lkAddress) << c.link;
        if (c.opened)
            EXPECT_EQ(catcher_.opened, QList<QUrl>({QUrl(c.opened)})) << c.link;
        else
            EXPECT_TRUE(catcher_.opened.isEmpty()) << c.link;
        EXPECT_EQ(HelpState().CurrentTopic, "Welcome to Tandex");
    }
    for (const char* address : {"javascript:alert(1)", "smb://host/share", "http://", "mailto:", ""})
        EXPECT_FALSE(OpenHelpAddress(address)) << address;
}

TEST_F(HelpWindowTest, AMissingFileShowsItsRedLine) {
    TF_Help* w = open("Second Page");
    ASSERT_NE(w, nullptr);
    // A help file that went away shows its red line.
    HelpState().HelpFile = tmp_.filePath("gone.zhlp");
    ui::ShowHelpTopic("Options");
    EXPECT_EQ(w->reHelp->toPlainText(), "\n  Tandex Helpfile not found!");
    const QTextCharFormat f = w->reHelp->document()->lastBlock().begin().fragment().charFormat();
    EXPECT_EQ(f.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(f.fontWeight(), QFont::Bold);
}

TEST_F(HelpWindowTest, TheLookFollowsTheStyle) {
    auto& s = config::AppSettings();
    s.GSGUIStyle = 0;
    TF_Help* w = open("Welcome to Tandex");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->reHelp->viewport()->palette().color(QPalette::Base), QColor(255, 251, 240));
    EXPECT_EQ(w->P_Title->palette().color(QPalette::Window), QColor(240, 240, 240));
    EXPECT_FALSE(w->fbPrev->Flat());
    s.GSGUIStyle = 1;
    services_.ApplyTheme();
    EXPECT_EQ(w->reHelp->viewport()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(w->P_Title->palette().color(QPalette::Window),
              ui::ToQColor(s.ColorSets[size_t(s.COSetIdx)][config::TBEndCol]));
    EXPECT_EQ(w->L_Title->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_TRUE(w->fbPrev->Flat());
}

TEST_F(HelpWindowTest, F1OpensTheBuiltHelpFileWhereTheMainWindowPlacesIt) {
    HelpState().HelpFile = TANDEX_BUILT_HELP_FILE;
    ui::TF_Main main;
    THelpWindowServices services(&main);
    ui::setHelp(&services);
    main.resize(900, 600);
    main.move(100, 80);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    auto& s = config::AppSettings();
    s.HFT = -1;
    s.HFH = 500;

    QTest::keyClick(&main, Qt::Key_F1);
    TF_Help* w = HelpState().F_Help;
    ASSERT_NE(w, nullptr);
    Watch(w);
    EXPECT_EQ(w->L_Title->text(), "Welcome to Tandex");
    EXPECT_EQ(firstLine(w), "Welcome to Tandex");
    EXPECT_TRUE(w->reHelp->toPlainText().contains("Tandex compares two files or two folders side by side."));
    EXPECT_FALSE(w->reHelp->toPlainText().contains("#$vers"));

    // Never placed: the main window's default place, kept in the settings.
    QWidget probe;
    probe.resize(w->size());
    probe.move(0, -1);
    EXPECT_EQ(QPoint(s.HFL, s.HFT), main.defaultFormPos(&probe));
    EXPECT_EQ(w->pos(), QPoint(s.HFL, s.HFT));
    EXPECT_EQ(w->height(), 500);
    QTest::qWait(50);
    tandex::testing::GrabToPng(w, "help-window-welcome");

    w->move(33, 44);
    w->resize(w->width(), 420);
    ui::ShowHelpTopic("Comparing Files");
    HelpState().HelpBack = {"Welcome to Tandex"};
    EXPECT_TRUE(w->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(HelpState().F_Help, nullptr);
    EXPECT_EQ(QPoint(s.HFL, s.HFT), QPoint(33, 44));
    EXPECT_EQ(s.HFH, 420);
    EXPECT_TRUE(HelpState().HelpBack.isEmpty());

    // The next opening makes a new window at the kept place.
    ui::ShowHelpTopic("Image Compare");
    ASSERT_NE(HelpState().F_Help, nullptr);
    EXPECT_EQ(HelpState().F_Help->pos(), QPoint(33, 44));
    EXPECT_EQ(HelpState().F_Help->height(), 420);
    services.CloseHelp();
    ui::setHelp(&services_);
}

}  // namespace

#include "help_wnd_test.moc"
