// Loading files into the panes, end to end: real files in a temporary
// folder go through the load command into the pane stores, the comparison
// runs, and the window paints the result (kept as a PNG to look at).

#include "ui/main/main_window.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "access/access_slots.h"
#include "access/access_types.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/flat_button.h"
#include "ui/main/row_area.h"
#include "ui/main/status_win.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class MainWindowLoadTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
        resetEngine();
    }
    void TearDown() override {
        window_.reset();
        status_.reset();
        resetEngine();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
    }
    ui::TF_Main& makeWindow() {
        status_ = std::make_unique<ui::TStatusWin>();
        window_ = std::make_unique<ui::TF_Main>(status_.get());
        ui::TF_Main& w = *window_;
        Watch(&w);
        config::AppSettings().AFFont = {QStringLiteral("DejaVu Sans Mono"), 10, 0};
        w.applyPaneFont();
        w.resize(900, 520);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.firePendingJobs();
        return w;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    void settle() {
        window_->invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
    }
    QTemporaryDir dir_;
    std::unique_ptr<ui::TStatusWin> status_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(MainWindowLoadTest, TwoTextFilesLoadCompareAndPaint) {
    ui::TF_Main& w = makeWindow();
    const QString left = file("left.txt", "alpha\nbeta\ngamma\ndelta\n");
    const QString right = file("right.txt", "alpha\nbeta changed\ngamma\nepsilon\ndelta\n");
    w.loadAndCompare(3, left, right);
    const auto& stores = engine::paneStores();
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvText);
    // Aligned: the left pane holds a gap row facing "epsilon".
    EXPECT_EQ(stores.LineCount[1], 5);
    EXPECT_TRUE(stores.TextLines[1].IsGap(3));
    EXPECT_EQ(stores.LineCount[2], 5);
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("left.txt"));
    EXPECT_EQ(stores.FilePaths[2], dir_.path() + QLatin1Char('/'));
    EXPECT_EQ(w.LastDiffCount, 2);
    EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 2);
    EXPECT_GT(engine::rows().TextRowCount, 4);
    EXPECT_FALSE(w.Loading());
    settle();
    const QString png = tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowLoad.TwoTextFiles"));
    std::printf("grab: %s\n", qPrintable(png));
}

TEST_F(MainWindowLoadTest, EveryKindAndLineBreakLoadsWithItsInfoLine) {
    ui::TF_Main& w = makeWindow();
    auto utf16 = [](const QString& text, bool big, bool bom) {
        QByteArray out;
        if (bom) out += big ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        for (QChar c : text) {
            const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
            out += big ? QByteArray{&hi, 1} + QByteArray{&lo, 1} : QByteArray{&lo, 1} + QByteArray{&hi, 1};
        }
        return out;
    };
    const QString text = QStringLiteral("one\r\ntw\u00F6\r\nthree\r\n");
    struct Case {
        const char* name;
        QByteArray bytes;
        int kind;
        int lineBreak;
    } cases[] = {
        {"utf8.txt", QByteArray("one\ntw\xC3\xB6\nthree\n"), tandex::access::fkUtf8, 2},
        {"utf8bom.txt", QByteArray("\xEF\xBB\xBFone\r\ntw\xC3\xB6\r\nthree\r\n"), tandex::access::fkUtf8Bom, 1},
        {"le.txt", utf16(text, false, false), tandex::access::fkUtf16Le, 1},
        {"lebom.txt", utf16(text, false, true), tandex::access::fkUtf16LeBom, 1},
        {"be.txt", utf16(text, true, false), tandex::access::fkUtf16Be, 1},
        {"bebom.txt", utf16(text, true, true), tandex::access::fkUtf16BeBom, 1},
        {"ansi.txt", QByteArray("one\rtw\xF6\rthree\r"), tandex::access::fkAnsi, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file(QString::fromLatin1(c.name), c.bytes);
        w.loadAndCompare(3, path, path);
        const auto& stores = engine::paneStores();
        EXPECT_EQ(stores.FileKinds[1], c.kind);
        EXPECT_EQ(stores.LineCount[1], 3);
        EXPECT_EQ(stores.LineEndings[1], c.lineBreak);
        EXPECT_EQ(stores.TextLines[1][1]->Text, QStringLiteral("tw\u00F6"));
        EXPECT_EQ(w.LastDiffCount, 0);
        EXPECT_TRUE(w.pAI1->text().contains(QStringLiteral("3 Lines"))) << qPrintable(w.pAI1->text());
        static const char* endings[] = {"", "|WIN", "|UNIX", "|MAC"};
        EXPECT_TRUE(w.pAI1->text().endsWith(QStringLiteral("3 Lines|") + tandex::access::FZFileKindName(c.kind) +
                                            QLatin1String(endings[c.lineBreak])))
            << qPrintable(w.pAI1->text());
    }
}

TEST_F(MainWindowLoadTest, FileWithNulBytesBesideTextGivesBinaryView) {
    ui::TF_Main& w = makeWindow();
    const QString text = file("a.txt", "plain text\n");
    const QString bin = file("b.bin", QByteArray("\x00\x01\x02text\x00", 8));
    w.loadAndCompare(3, text, bin);
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvBinary);
    EXPECT_EQ(engine::paneStores().BinaryMode, 1);
    EXPECT_GT(w.LastDiffCount, 0);
}

TEST_F(MainWindowLoadTest, MissingFileShowsMemoAndReloadTriesThePathAgain) {
    ui::TF_Main& w = makeWindow();
    const QString left = file("left.txt", "a\n");
    const QString missing = dir_.filePath("gone.txt");
    w.loadAndCompare(3, left, missing);
    const auto& stores = engine::paneStores();
    EXPECT_EQ(stores.FileSizes[2], -2);
    EXPECT_TRUE(stores.FileNames[2].isEmpty());
    EXPECT_TRUE(stores.FilePaths[2].isEmpty());
    const QStringList memo = w.M_ROpenErr->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(memo.size(), 2);
    EXPECT_TRUE(memo[0].contains(QStringLiteral("not found"), Qt::CaseInsensitive)) << qPrintable(memo[0]);
    EXPECT_EQ(memo[1], missing);
    EXPECT_FALSE(w.M_ROpenErr->isHidden());
    EXPECT_EQ(w.FailedPath(2), missing);

    // The file appears; a reload without a path reads it from the failed path.
    file("gone.txt", "a\nb\n");
    w.loadAndCompare(2, QString(), QString());
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("gone.txt"));
    EXPECT_GE(stores.FileSizes[2], 4);
    EXPECT_TRUE(w.M_ROpenErr->isHidden());
    EXPECT_EQ(w.LastDiffCount, 1);
}

TEST_F(MainWindowLoadTest, BinaryIntoTextTabAsksTheConflictQuestion) {
    struct Case {
        int answer;
        int view;
        bool leftKept;
    } cases[] = {{0, engine::tvText, true}, {1, engine::tvBinary, false}, {2, engine::tvBinary, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        resetEngine();
        ui::TF_Main& w = makeWindow();
        const QString left = file("l.txt", "x\ny\n");
        w.loadAndCompare(3, left, file("r.txt", "x\nz\n"));
        ASSERT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvText);
        int asked = 0;
        w.AskTypeMismatch = [&](int current, int needed, const QString&, int other) {
            ++asked;
            EXPECT_EQ(current, engine::tvText);
            EXPECT_EQ(needed, engine::tvBinary);
            EXPECT_EQ(other, 1);
            return c.answer;
        };
        w.loadAndCompare(2, QString(), file("r.bin", QByteArray("\x00\x01\x02", 3)));
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), c.view);
        const auto& stores = engine::paneStores();
        if (c.leftKept) {
            EXPECT_EQ(stores.FileNames[1], QStringLiteral("l.txt"));
        }
        if (c.answer == 0) {
            // Back to the state before the load.
            EXPECT_EQ(stores.FileNames[2], QStringLiteral("r.txt"));
        } else {
            EXPECT_EQ(stores.FileNames[2], QStringLiteral("r.bin"));
        }
        window_.reset();
    }
}

TEST_F(MainWindowLoadTest, LoadingOnlyTheRightPaneKeepsTheLeft) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "same\nleft\n"), file("r.txt", "same\nright\n"));
    engine::TTextLine* leftLine = engine::paneStores().TextLines[1][0];
    w.loadAndCompare(2, QString(), file("r2.txt", "same\nleft\n"));
    const auto& stores = engine::paneStores();
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("l.txt"));
    EXPECT_EQ(stores.TextLines[1][0], leftLine);
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("r2.txt"));
    EXPECT_EQ(w.LastDiffCount, 0);
}

TEST_F(MainWindowLoadTest, ProgressCallbackCancelsAndRejectsASecondCommand) {
    ui::TF_Main& w = makeWindow();
    const QString l = file("l.txt", "a\n"), r = file("r.txt", "b\n");
    w.loadAndCompare(3, l, r);
    w.saveTabState();
    QByteArray big;
    for (int i = 0; i < 5000; ++i) big += "line " + QByteArray::number(i) + "\n";
    const QString bigPath = file("big.txt", big);
    bool injected = false, statusShown = false;
    // Runs inside the load's event pump: a second command, the status
    // window's half-second timer, and then Cancel.
    QTimer::singleShot(0, &w, [&] {
        injected = true;
        EXPECT_TRUE(w.Loading());
        EXPECT_TRUE(w.Busy());
        w.loadAndCompare(3, l, l);  // does nothing
        w.timStatDispTimer();
        statusShown = status_->isVisible();
        status_->fbCancelClick(status_->fbCancel);
    });
    w.loadAndCompare(2, QString(), bigPath);
    EXPECT_TRUE(injected);
    EXPECT_TRUE(statusShown);
    EXPECT_FALSE(status_->isVisible());
    const auto& stores = engine::paneStores();
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("l.txt"));
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("r.txt"));
    EXPECT_FALSE(w.Loading());
}

TEST_F(MainWindowLoadTest, ShortLoadShowsNoProgressWindow) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "a\n"), file("r.txt", "b\n"));
    EXPECT_FALSE(status_->isVisible());
    EXPECT_FALSE(w.timStatDisp->isActive());
}

TEST_F(MainWindowLoadTest, TreatFileAsUtf16LeForcesTheKind) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "abcd\n"), file("r.txt", "abcd\n"));
    w.setActivePane(ui::vtText, 1);
    QAction* item = nullptr;
    for (QAction* a : w.pmTreatfileAs->actions())
        if (a->data().toInt() == 3) item = a;
    ASSERT_NE(item, nullptr);
    w.pmAnsifile1Click(item);
    EXPECT_EQ(engine::paneStores().FileKinds[1], tandex::access::fkUtf16Le);
    EXPECT_TRUE(w.pAI1->text().contains(QStringLiteral("U16LE(F)"))) << qPrintable(w.pAI1->text());
}

TEST_F(MainWindowLoadTest, ReloadAndTypedPathAskToSaveBeforeReading) {
    ui::TF_Main& w = makeWindow();
    const QString l = file("l.txt", "a\n"), r = file("r.txt", "b\n");
    w.loadAndCompare(3, l, r);
    engine::fccTabs().MarkPaneModified(2);
    QList<int> asked;
    bool answer = false;
    w.AskSaveBeforeReplace = [&](int panes) {
        asked << panes;
        return answer;
    };
    file("r.txt", "changed\n");
    // Cancel: nothing is read.
    w.TB_ReloadClick(nullptr);
    w.editedPathRight = file("typed.txt", "typed\n");
    w.LoadDirect(2);
    EXPECT_EQ(asked, (QList<int>{3, 2}));
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("r.txt"));
    EXPECT_EQ(engine::paneStores().TextLines[2][0]->Text, QStringLiteral("b"));
    // Go on: the typed path loads.
    answer = true;
    w.LoadDirect(2);
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("typed.txt"));
    EXPECT_EQ(asked.size(), 3);
}

// The file-name fields under the window system's own events: a click gives
// the field the focus with its path selected and shows the load button,
// keys (Ctrl+A included) edit the field and never the pane, Enter loads.
TEST_F(MainWindowLoadTest, FileNameFieldTakesClickAndTypingAndLoadsOnEnter) {
    ui::TF_Main& w = makeWindow();
    const QString l = file("l.txt", "left one\nleft two\n"), r = file("r.txt", "right\n");
    const QString typed = file("typed.txt", "typed\n");
    w.loadAndCompare(3, l, r);
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    settle();
    QWindow* window = w.windowHandle();
    auto click = [&](QWidget* widget) {
        QTest::mouseClick(window, Qt::LeftButton, {}, widget->mapTo(&w, widget->rect().center()));
        settle();
    };
    auto type = [&](const QString& text) {
        for (QChar c : text) QTest::keyClick(window, c.toLatin1());
        settle();
    };
    const auto& stores = engine::paneStores();
    for (QLineEdit* field : {w.eFN1, w.eFN2}) {
        SCOPED_TRACE(field->objectName().toStdString());
        const QString path = stores.SideDisplayPath(field == w.eFN1 ? 1 : 2);
        click(field);
        EXPECT_TRUE(field->hasFocus());
        EXPECT_EQ(field->selectedText().toStdString(), path.toStdString());
        EXPECT_TRUE(w.fbLoad->isVisible());
        EXPECT_EQ(w.fbLoad->Caption(), QStringLiteral("Load file"));
        EXPECT_EQ(w.fbLoad->geometry().right(), field->geometry().right());
        // Escape leaves the field as it was.
        QTest::keyClick(window, Qt::Key_Escape);
        settle();
        EXPECT_FALSE(field->hasFocus());
        EXPECT_FALSE(w.fbLoad->isVisible());
        EXPECT_EQ(field->text().toStdString(), path.toStdString());
    }
    click(w.eFN1);
    QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
    type(typed);
    tandex::testing::GrabToPng(&w, QStringLiteral("MainWindowLoad.TypingInTheFileNameField"));
    EXPECT_EQ(w.eFN1->text().toStdString(), typed.toStdString());
    EXPECT_EQ(stores.TextLines[1][0]->Text, QStringLiteral("left one"));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
    QTest::keyClick(window, Qt::Key_Return);
    settle();
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("typed.txt"));
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("r.txt"));
    EXPECT_FALSE(w.fbLoad->isVisible());
    EXPECT_TRUE(w.RowArea()->hasFocus());
    // The load button loads the typed path as Enter does.
    click(w.eFN2);
    type(l);
    ASSERT_TRUE(w.fbLoad->isVisible());
    click(w.fbLoad);
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("l.txt"));
}

TEST_F(MainWindowLoadTest, OpenDialogStartsInThePaneFolderAndLoadsTheChoice) {
    ui::TF_Main& w = makeWindow();
    w.loadAndCompare(3, file("l.txt", "a\n"), file("r.txt", "b\n"));
    const QString chosen = file("chosen.txt", "a\n");
    QString title, folder;
    tandex::testing::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        folder = dialog->directory().absolutePath();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    w.pmLoadFileLeftClick(w.fbOpenFolderR);
    EXPECT_EQ(title, QStringLiteral(" Load file into right pane... "));
    EXPECT_EQ(folder, QDir(dir_.path()).absolutePath());
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("chosen.txt"));
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("l.txt"));
    EXPECT_EQ(w.LastDiffCount, 0);
}

TEST_F(MainWindowLoadTest, ZipMemberLoadsByTypedPathAndComparesWithAFile) {
    ui::TF_Main& w = makeWindow();
    const QString plain = file("plain.txt", "one\ntwo\nthree\n");
    file("member.txt", "one\n2\nthree\n");
    QProcess zip;
    zip.setWorkingDirectory(dir_.path());
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("pack.zip"), QStringLiteral("member.txt")});
    ASSERT_TRUE(zip.waitForFinished(10000));
    ASSERT_EQ(zip.exitCode(), 0);
    w.loadAndCompare(3, plain, plain);

    QString firstText;
    QTimer::singleShot(0, &w, [&] { firstText = status_->L_TextLine1->text(); });
    w.editedPathRight = dir_.filePath("pack.zip/member.txt");
    w.LoadDirect(2);
    const auto& stores = engine::paneStores();
    EXPECT_TRUE(firstText.startsWith(QStringLiteral("Extracting file...   "))) << qPrintable(firstText);
    EXPECT_EQ(stores.FileErrors[2], 0);
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("member.txt"));
    EXPECT_EQ(stores.SideAccessKinds[2], tandex::access::akArchive);
    EXPECT_EQ(w.LastDiffCount, 1);

    // The open dialog takes the same path typed into its name field.
    w.loadAndCompare(3, plain, plain);
    tandex::testing::OnNextModal([&](QWidget* modal) {
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        edit->clear();
        QTest::keyClicks(edit, dir_.filePath("pack.zip/member.txt"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    w.pmLoadFileLeftClick(w.fbOpenFolderR);
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("member.txt"));
    EXPECT_EQ(stores.SideAccessKinds[2], tandex::access::akArchive);
    EXPECT_EQ(w.LastDiffCount, 1);

    // A member that is not there: the memo with the access layer's error.
    w.editedPathRight = dir_.filePath("pack.zip/nothere.txt");
    w.LoadDirect(2);
    EXPECT_EQ(stores.FileSizes[2], -2);
    const QStringList memo = w.M_ROpenErr->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(memo.size(), 2);
    EXPECT_TRUE(memo[0].contains(QRegularExpression(QStringLiteral("\\d")))) << qPrintable(memo[0]);
    EXPECT_EQ(memo[1], dir_.filePath("pack.zip/nothere.txt"));
}

}  // namespace

// A file a converter entry matches is compared as the converter's text; a
// converter that fails leaves its message and the path in the pane's memo.
TEST_F(MainWindowLoadTest, ConvertedFilesCompareAsTheConvertersText) {
    const QString script = file("upper.sh", "#!/bin/sh\ntr a-z A-Z < \"$1\"\n");
    QFile::setPermissions(script, QFile::permissions(script) | QFileDevice::ExeOwner);
    const QString failing = file("fail.sh", "#!/bin/sh\nexit 3\n");
    QFile::setPermissions(failing, QFile::permissions(failing) | QFileDevice::ExeOwner);
    // The window loads the settings as it starts: the entries come after.
    ui::TF_Main& w = makeWindow();
    QString previousTemp;
    QDir().mkpath(dir_.filePath("temp"));
    tandex::access::FZSetTempFolder(dir_.filePath("temp/"), previousTemp);
    auto& s = config::AppSettings();
    const auto savedEntries = s.PIConfig;
    for (auto& e : s.PIConfig) e.clear();
    s.PIConfig[0] = QStringLiteral("Upper;*.up;$srcfile;%1;0;1;0;1;").arg(script);
    s.PIConfig[1] = QStringLiteral("Fail;*.bad;$srcfile;%1;0;1;0;1;").arg(failing);
    s.PIDisableAll = false;

    w.loadAndCompare(3, file("a.up", "alpha\nbeta\n"), file("b.txt", "ALPHA\nBETA\n"));
    const auto& stores = engine::paneStores();
    EXPECT_EQ(stores.TextLines[1][0]->Text, QStringLiteral("ALPHA"));
    EXPECT_EQ(w.LastDiffCount, 0);

    w.loadAndCompare(1, file("c.bad", "x\n"), QString());
    EXPECT_TRUE(w.M_LOpenErr->isVisibleTo(&w));
    EXPECT_TRUE(w.M_LOpenErr->toPlainText().startsWith(QStringLiteral("Plug-In returned error code: 3")))
        << qPrintable(w.M_LOpenErr->toPlainText());

    s.PIConfig = savedEntries;
    tandex::access::FZSetTempFolder(previousTemp, previousTemp);
}
