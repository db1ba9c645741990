#include "ui/folders/log_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/folders/folder_view_services.h"
#include "ui/folders/run_logs.h"
#include "ui/main/main_window.h"
#include "ui/main/rtf_reader.h"
#include "ui/main/status_win.h"

using namespace tandex::folders;
namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

void entry(TRunLogs& logs, int n, const QString& source, const QString& result) {
    logs.AddLogLine(n, "Copy " + source, true);
    logs.AddLogLine(n, "to   /dest" + source.mid(4), true);
    logs.AddLogLine(n, result, false);
    logs.AddLogLine(n, QString(), false);
}

// Three entries: two copied, one failed; the second's path holds a
// backslash.
void writeLog(TRunLogs& logs, int n) {
    for (quint32 c : {0u, 255u, 128u}) logs.AddLogColor(n, c);
    ASSERT_EQ(logs.OpenLog(n, 3, 2, 1), 0);
    entry(logs, n, "/src/a.txt", " =>  COPY-RESULT: OK!");
    entry(logs, n, "/src/x\\y.txt", " =>  COPY-RESULT: OK!");
    entry(logs, n, "/src/b.txt", " =>  COPY-RESULT:\\cf2\\b  ERROR: 5 Access denied\\b0\\cf1 ");
    ASSERT_EQ(logs.CloseLog(n), 0);
}

QString shown(const TfLogView& view) { return view.RE_LogView->document()->toPlainText(); }

class LogViewTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(config::PrgDir().GetWritableRoot()));
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }
    void writeLog(int n) { ::writeLog(logs, n); }
    void entry(int n, const QString& source, const QString& result) { ::entry(logs, n, source, result); }
    static QStringList captions(const TfLogView& view) {
        QStringList c;
        for (const ui::TFlatButton2* b : {view.fbTotal, view.fbSuccessful, view.fbSkipped, view.fbErrors})
            c << b->Caption() + (b->Enabled() ? "" : " (off)");
        return c;
    }
    bool filterFileLeft() const { return QFile::exists(LogFilterPath()); }

    TRunLogs logs;
};

TEST_F(LogViewTest, ShowsTheTotalsAndFiltersByResultOrFreeText) {
    writeLog(kCopyLog);
    // The window's icon is the logo of the main window's small images.
    QPoint asked;
    TfLogView view(nullptr, [&asked](int list, int index, QImage& bitmap) {
        asked = {list, index};
        bitmap = QImage(16, 16, QImage::Format_ARGB32);
        bitmap.fill(Qt::blue);
        return true;
    });
    Watch(&view);
    EXPECT_EQ(asked, QPoint(16, 25));
    EXPECT_FALSE(view.windowIcon().isNull());
    view.ShowLog(kCopyLog, false);
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.windowTitle(), " LogView: " + LogFilePath(kCopyLog) + " ");
    EXPECT_EQ(captions(view),
              QStringList({"Total # of files: 3", "Successful: 2", "Skipped files: 0 (off)", "Errors: 1"}));
    EXPECT_EQ(view.fbSuccessful->property("Tag").toInt(), 1);
    const QString whole = shown(view);
    EXPECT_TRUE(whole.startsWith("Copy /src/a.txt\nto   /dest/a.txt\n =>  COPY-RESULT: OK!\n\n")) << whole.toStdString();
    EXPECT_TRUE(whole.contains("Copy /src/x\\y.txt\n")) << whole.toStdString();
    tandex::testing::GrabToPng(&view, "LogView-copy-log");

    view.fbErrorsClick();
    EXPECT_EQ(shown(view), "Copy /src/b.txt\nto   /dest/b.txt\n =>  COPY-RESULT: ERROR: 5 Access denied\n\n");
    EXPECT_EQ(captions(view)[0], "Total # of files: 3");
    EXPECT_EQ(view.lFreeTextCount->text(), "");
    EXPECT_FALSE(filterFileLeft());

    view.eSearch->setText("x\\y");
    view.fbFreeTextFilterClick();
    EXPECT_EQ(shown(view), "Copy /src/x\\y.txt\nto   /dest/x\\y.txt\n =>  COPY-RESULT: OK!\n\n");
    EXPECT_EQ(view.lFreeTextCount->text(), "1 matches");
    EXPECT_FALSE(filterFileLeft());
    view.eSearch->setText("x\\");
    EXPECT_EQ(view.lFreeTextCount->text(), "");

    view.fbTotalClick();
    EXPECT_EQ(shown(view), whole);
    // The search text and the place are kept when the window closes.
    view.close();
    EXPECT_EQ(config::AppSettings().LFSearch, "x\\");
    EXPECT_EQ(config::AppSettings().LFW, view.width());
}

TEST_F(LogViewTest, AMissingLogSaysSoWithEmptyTotals) {
    writeLog(kCompareLog);
    TfLogView view;
    Watch(&view);
    view.ShowLog(kCompareLog, false);
    view.ShowLog(3, false);
    EXPECT_EQ(view.windowTitle(), " LogView ");
    EXPECT_EQ(shown(view), "\n ==> Logfile: '" + LogFilePath(3) + "' not found! <==");
    EXPECT_EQ(captions(view), QStringList({"Total # of files: 0", "Successful: 0 (off)", "Skipped files: 0 (off)",
                                           "Errors: 0 (off)"}));
    // A filter on it shows nothing new and finds nothing.
    view.eSearch->setText("a");
    view.fbFreeTextFilterClick();
    EXPECT_EQ(view.lFreeTextCount->text(), "0 matches");
    EXPECT_TRUE(shown(view).endsWith("not found! <=="));
    EXPECT_FALSE(filterFileLeft());
}

TEST_F(LogViewTest, ALogPastTheHelpTextsLimitShowsWhole) {
    for (quint32 c : {0u, 255u, 128u}) logs.AddLogColor(kCompareLog, c);
    ASSERT_EQ(logs.OpenLog(kCompareLog, 1300, 1300, 0), 0);
    const QString longName = "/" + QString(7000, 'n');
    for (int i = 0; i < 1300; ++i) entry(kCompareLog, "/src" + longName + QString::number(i), " => OK!");
    ASSERT_EQ(logs.CloseLog(kCompareLog), 0);
    ASSERT_GT(QFileInfo(LogFilePath(kCompareLog)).size(), ui::RtfMaxSize);

    TfLogView view;
    view.ShowLog(kCompareLog, false);
    const QTextDocument* doc = view.RE_LogView->document();
    EXPECT_EQ(doc->blockCount(), 4 * 1300 + 1);
    EXPECT_EQ(doc->findBlockByNumber(4 * 1299 + 2).text(), " => OK!");
    EXPECT_TRUE(doc->findBlockByNumber(4 * 1299).text().endsWith("1299"));
}

// The main window reaches the viewer only through its seam.
class LogViewMainWindowTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(config::PrgDir().GetWritableRoot()));
    }
    TRunLogs logs;
};

TEST_F(LogViewMainWindowTest, OpensBothLogsCopiesTheViewersSelectionAndPassesTheLook) {
    writeLog(logs, kCompareLog);
    writeLog(logs, kCopyLog);
    ui::TF_Main& window = makeWindow();
    TFolderViewServices services(&window);
    ui::setFolderView(&services);
    TfLogView& view = *services.LogView();
    EXPECT_FALSE(services.LogViewVisible());

    struct Case {
        const char* item;
        int log;
    } cases[] = {{"ViewlastFCLog", kCompareLog}, {"ViewlastCopyLog", kCopyLog}};
    for (const Case& c : cases) {
        QAction* item = window.findChild<QAction*>(c.item);
        ASSERT_TRUE(item && item->isVisible()) << c.item;
        item->trigger();
        EXPECT_TRUE(services.LogViewVisible()) << c.item;
        EXPECT_EQ(view.CurrentLog, c.log);
        EXPECT_EQ(view.windowTitle(), " LogView: " + LogFilePath(c.log) + " ");
    }
    EXPECT_TRUE(shown(view).startsWith("Copy /src/a.txt\n"));
    tandex::testing::GrabToPng(&view, "LogView-from-main-window");

    // While the viewer is open, the main window's Copy takes the viewer's
    // selection, not the panes'.
    compare({"one", "two"}, {"one", "too"});
    window.SelectLeftAllClick(nullptr);
    QTextCursor cursor(view.RE_LogView->document());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    view.RE_LogView->setTextCursor(cursor);
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Copy /src/a.txt");
    view.close();
    EXPECT_FALSE(services.LogViewVisible());
    QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "one\ntwo\n");

    auto& s = config::AppSettings();
    for (int set : {0, 10}) {
        s.COSetIdx = set;
        window.applyColorScheme();
        EXPECT_EQ(view.P_Head->palette().color(QPalette::Window),
                  ui::ToQColor(s.ColorSets[size_t(set)][config::TBEndCol]));
        EXPECT_EQ(view.fbTotal->Flat(), config::FlatLook() != 0);
    }
    ui::setFolderView(nullptr);
}

}  // namespace
