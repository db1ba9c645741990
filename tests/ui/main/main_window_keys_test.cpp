// The keys on the offscreen window holding a pair the engine compared:
// caret moves and paging, the fuzzy keys, reload, typing with the exact
// lines, rows and difference marks after the recompare, the new text
// comparison, and the editing gate.

#include <QAction>
#include <QFile>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "config/services.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/row_area.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

// Answers every question with No.
class AnswerNo : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return config::mrNo;
    }
};

class MainWindowKeysTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&messages_);
    }
    void TearDown() override {
        ComparedWindowFixture::TearDown();
        config::setMessageSink(nullptr);
    }

    QString file(const QString& name, const QStringList& lines) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write((lines.join(u'\n') + u'\n').toUtf8());
        return path;
    }
    // Loads the pair through the window; an empty list leaves the pane empty.
    ui::TF_Main& load(const QStringList& left, const QStringList& right) {
        ui::TF_Main& w = makeWindow();
        config::AppSettings().TCSelFirstDif = false;
        leftPath_ = left.isEmpty() ? QString() : file(QStringLiteral("left.txt"), left);
        rightPath_ = right.isEmpty() ? QString() : file(QStringLiteral("right.txt"), right);
        w.loadAndCompare((left.isEmpty() ? 0 : 1) | (right.isEmpty() ? 0 : 2), leftPath_, rightPath_);
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        w.FormActivate();
        EXPECT_EQ(QApplication::focusWidget(), w.RowArea());
        w.invalidatePanes(true);
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
            QTest::qWait(5);
        }
        return w;
    }
    static QStringList numbered(int count, std::initializer_list<int> changed = {}) {
        QStringList lines;
        for (int i = 1; i <= count; ++i)
            lines << (std::find(changed.begin(), changed.end(), i) != changed.end() ? QStringLiteral("changed %1")
                                                                                     : QStringLiteral("line %1"))
                         .arg(i);
        return lines;
    }

    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window_->RowArea(), Qt::Key(key), mods);
    }
    void type(const QString& text) { QTest::keyClicks(window_->RowArea(), text); }
    static void caretTo(int column, int row, int pane = 1) {
        auto& ed = engine::editor();
        ed.PlaceCaret(column, row, pane);
        ed.SetSelection(column, row, 0, -1);
        engine::rows().ClearSelection();
    }
    static int caretRow() { return engine::editor().Caret.Row; }
    static int caretColumn() { return engine::editor().Caret.Column; }
    static int rowCount() { return engine::paneStores().VisibleRowCount(); }

    config::RecordingMessageSink messages_;
    QTemporaryDir dir_;
    QString leftPath_, rightPath_;
};

TEST_F(MainWindowKeysTest, PagingAndCaretKeys) {
    ui::TF_Main& w = load(numbered(120, {40, 41}), numbered(120));
    const int page = w.VisibleRows();
    ASSERT_GT(page, 5);
    ASSERT_EQ(rowCount(), 120);

    // On the first page PgUp only takes the caret to row 0.
    caretTo(1, 5);
    press(Qt::Key_PageUp);
    EXPECT_EQ(caretRow(), 0);
    EXPECT_EQ(w.topRow(ui::vtText), 1);

    press(Qt::Key_PageDown);
    const int scrolled = w.topRow(ui::vtText) - 1;
    EXPECT_GT(scrolled, 0);
    EXPECT_EQ(caretRow(), scrolled);
    press(Qt::Key_PageUp);
    EXPECT_EQ(w.topRow(ui::vtText), 1);
    EXPECT_EQ(caretRow(), 0);

    press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(caretRow(), 119);
    const int lastTop = w.topRow(ui::vtText);
    EXPECT_GT(lastTop, 100);
    // On the last page PgDn only takes the caret to the last row.
    caretTo(1, lastTop + 1);
    press(Qt::Key_PageDown);
    EXPECT_EQ(caretRow(), 119);
    EXPECT_EQ(w.topRow(ui::vtText), lastTop);
    press(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(caretRow(), 0);
    EXPECT_EQ(w.topRow(ui::vtText), 1);

    // Ctrl+Down jumps to the next difference; with Shift it extends instead.
    caretTo(1, 2);
    press(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(caretRow(), 3);
    EXPECT_TRUE(engine::rows().IsRowSelected(1, 2));
    EXPECT_TRUE(engine::rows().IsRowSelected(1, 3));
    // The keypad's arrow is the same key: Ctrl alone still counts as Ctrl.
    press(Qt::Key_Down, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(caretRow(), 39);
    EXPECT_TRUE(engine::rows().IsRowSelected(1, 40));

    // Ctrl+Left does nothing in the text view; Left moves.
    caretTo(5, 3);
    press(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(caretColumn(), 5);
    press(Qt::Key_Left);
    EXPECT_EQ(caretColumn(), 4);
    press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(engine::rows().RowSelectionRange(1, 3), 3u | 4u << 16);
}

TEST_F(MainWindowKeysTest, FuzzyKeysAndReload) {
    ui::TF_Main& w = load({"one", "two"}, {"one", "two"});
    auto& s = config::AppSettings();
    s.TCFPEnabled = false;
    s.TCSimilarity = 100;
    press(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(s.TCSimilarity, 20);
    press(Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(s.TCSimilarity, 100);
    EXPECT_FALSE(w.PendingJobs().IsPending(ui::tjRecompare));
    press(Qt::Key_F9);
    EXPECT_TRUE(s.TCFPEnabled);
    EXPECT_TRUE(w.PendingJobs().IsPending(ui::tjRecompare));
    EXPECT_EQ(engine::paneStores().FuzzyMode, 0);  // 100 % pairs nothing fuzzily
    press(Qt::Key_F9);
    EXPECT_FALSE(s.TCFPEnabled);

    file(QStringLiteral("right.txt"), {"one", "three"});
    press(Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(engine::rows().RowPlainText(2, 1), QStringLiteral("two"));
    press(Qt::Key_F5);
    EXPECT_EQ(engine::rows().RowPlainText(2, 1), QStringLiteral("three"));
    EXPECT_TRUE(engine::rows().RowDiffers(1));
}

TEST_F(MainWindowKeysTest, TypingDeletingAndSplittingLines) {
    ui::TF_Main& w = load({"alpha", "beta", "gamma"}, {"alpha", "beta", "gamma"});
    config::AppSettings().TEAutoIndent = false;

    caretTo(1, 1);
    type(QStringLiteral("x"));
    EXPECT_EQ(rowTexts(), "alpha|alpha / xbeta|beta * / gamma|gamma");
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(2));
    EXPECT_EQ(caretColumn(), 2);
    press(Qt::Key_Backspace);
    EXPECT_EQ(rowTexts(), "alpha|alpha / beta|beta / gamma|gamma");
    press(Qt::Key_Delete);
    EXPECT_EQ(rowTexts(), "alpha|alpha / eta|beta * / gamma|gamma");
    type(QStringLiteral("b"));

    // Enter splits the line; the rows re-align and the caret starts the new line.
    caretTo(3, 1);
    press(Qt::Key_Return);
    EXPECT_EQ(rowTexts(), "alpha|alpha / be|beta * / ta|~ * / gamma|gamma");
    EXPECT_EQ(caretRow(), 2);
    EXPECT_EQ(caretColumn(), 1);
    EXPECT_EQ(engine::paneStores().LineCount[1], 4);
    // Backspace at the line start joins it back.
    press(Qt::Key_Backspace);
    EXPECT_EQ(rowTexts(), "alpha|alpha / beta|beta / gamma|gamma");
    EXPECT_EQ(caretRow(), 1);
    EXPECT_EQ(caretColumn(), 3);
    // Delete at the line end joins the next line.
    caretTo(5, 1);
    press(Qt::Key_Delete);
    EXPECT_EQ(rowTexts(), "alpha|alpha / ~|beta * / betagamma|gamma *");
    press(Qt::Key_Return);
    EXPECT_EQ(rowTexts(), "alpha|alpha / beta|beta / gamma|gamma");

    // Tab types a tab and marks the differing rows anew; overwrite mode
    // replaces the character under the caret.
    config::AppSettings().TCIgnAllBl = false;
    caretTo(1, 2);
    press(Qt::Key_Tab);
    const auto storedText = [](int row) {
        QString text = engine::paneStores().TextLines[1][engine::rows().TextRowIndex(row)]->Text;
        engine::editor().FoldTabFill(text, 1);
        return text;
    };
    const QString tabbed = storedText(2);
    EXPECT_EQ(tabbed, QStringLiteral("\tgamma"));
    EXPECT_EQ(caretColumn(), 1 + config::AppSettings().TETabSize);
    EXPECT_EQ(rowTexts(), "alpha|alpha / beta|beta / " + engine::rows().RowPlainText(1, 2).toStdString() + "|gamma *");
    // Shift+Tab types a Tab too rather than moving the focus.
    caretTo(1, 0);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(storedText(0), QStringLiteral("\talpha"));
    EXPECT_EQ(QApplication::focusWidget(), w.RowArea());
    press(Qt::Key_Backspace);
    // The key table's Tab (as the undo replay sends it) recounts the rows.
    caretTo(1, 1);
    int tab = Qt::Key_Tab;
    w.FormKeyDown(nullptr, tab, Qt::NoModifier);
    EXPECT_EQ(tab, 0);
    EXPECT_EQ(storedText(1), QStringLiteral("\tbeta"));
    EXPECT_EQ(w.LastDiffCount, 2);
    caretTo(1, 0);
    press(Qt::Key_Insert);
    EXPECT_EQ(engine::editor().InsertMode, 0);
    type(QStringLiteral("AL"));
    press(Qt::Key_Insert);
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("ALpha"));
    EXPECT_TRUE(engine::rows().RowDiffers(0));
}

TEST_F(MainWindowKeysTest, EnterOnAGapRowStartsBelowTheLineAbove) {
    load({"a", "b"}, {"a", "x", "b"});
    config::AppSettings().TEAutoIndent = false;
    ASSERT_EQ(rowTexts(), "a|a / ~|x * / b|b");
    caretTo(1, 1);
    press(Qt::Key_Return);
    EXPECT_EQ(rowTexts(), "a|a / |x * / b|b");
    EXPECT_EQ(caretRow(), 1);
    type(QStringLiteral("x"));
    EXPECT_EQ(rowTexts(), "a|a / x|x / b|b");
}

TEST_F(MainWindowKeysTest, EnterRefusedAtTheLineLimit) {
    load({"a", "b"}, {"a", "b"});
    auto& st = engine::paneStores();
    caretTo(2, 0);
    st.LineCount[1] = engine::kMaxFileLines;
    press(Qt::Key_Return);
    st.LineCount[1] = 2;
    EXPECT_EQ(rowTexts(), "a|a / b|b");
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].text, engine::kMaxEntryText);
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
}

TEST_F(MainWindowKeysTest, NewTextCompareAndTypingIntoAnEmptyPane) {
    ui::TF_Main& w = load({}, {"right one", "right two"});
    auto& st = engine::paneStores();
    ASSERT_TRUE(st.FileNames[1].isEmpty());
    caretTo(1, 0, 1);
    type(QStringLiteral("q"));
    EXPECT_EQ(st.FileNames[1], QStringLiteral("NewL.txt"));
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("q"));
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));

    // As if saved: a modified pane would be offered for saving first.
    engine::fccTabs().ClearPaneModified(1);
    w.findChild<QAction*>(QStringLiteral("NewTextCompare1"))->trigger();
    EXPECT_EQ(st.FileNames[1], QStringLiteral("NewL.txt"));
    EXPECT_EQ(st.FileNames[2], QStringLiteral("NewR.txt"));
    EXPECT_EQ(st.LineCount[1], 1);
    EXPECT_EQ(st.LineCount[2], 1);
    EXPECT_EQ(rowTexts(), "|");
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(2));
    EXPECT_EQ(engine::editor().ActiveSide, 1);
    w.refocusMain();
    type(QStringLiteral("hi"));
    EXPECT_EQ(rowTexts(), "hi| *");
}

TEST_F(MainWindowKeysTest, GateInputMethodAndControlCharacters) {
    ui::TF_Main& w = load({"abc"}, {"abc"});
    caretTo(1, 0);

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("é!"));
    QApplication::sendEvent(w.RowArea(), &commit);
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("é!abc"));

    // Alt with a letter is a menu key.
    press(Qt::Key_X, Qt::AltModifier);
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("é!abc"));
    // Control characters other than Backspace, Tab and Enter type nothing.
    press(Qt::Key_E, Qt::ControlModifier);
    press(Qt::Key_K, Qt::ControlModifier);
    for (ushort c : {1, 5, 11, 12, 27}) {
        QChar key(c);
        w.FormKeyPress(nullptr, key);
    }
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("é!abc"));

    // While a long operation runs only the keys before the gate act.
    config::AppSettings().TCFPEnabled = false;
    w.disableUI();
    type(QStringLiteral("z"));
    press(Qt::Key_End);
    press(Qt::Key_F9);
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("é!abc"));
    EXPECT_EQ(caretColumn(), 3);
    EXPECT_TRUE(config::AppSettings().TCFPEnabled);
    w.enableUI();

    // With editing switched off a key asks; No changes nothing, and Yes
    // changes nothing either until the settings dialog is there.
    config::AppSettings().TEEnabled = false;
    type(QStringLiteral("z"));
    ASSERT_EQ(messages_.messages().size(), 1u);
    EXPECT_EQ(messages_.messages()[0].caption, QStringLiteral(" Editing disabled! "));
    AnswerNo no;
    config::setMessageSink(&no);
    type(QStringLiteral("z"));
    EXPECT_EQ(no.messages().size(), 1u);
    config::setMessageSink(&messages_);
    EXPECT_EQ(engine::rows().RowPlainText(1, 0), QStringLiteral("é!abc"));
    config::AppSettings().TEEnabled = true;
}

TEST_F(MainWindowKeysTest, KeysGoToThePanesAndNeverToTheErrorMemos) {
    ui::TF_Main& w = load({"one", "two", "three"}, {"one", "two", "three"});
    caretTo(1, 0);
    // A key on another control of the window comes back to the panes.
    QWidget* other = w.fbSWAP;
    other->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), other);
    QTest::keyClick(other, Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w.RowArea());
    EXPECT_EQ(caretRow(), 1);
    // The error memos take no key at all.
    w.P_LImage->show();
    w.M_LOpenErr->show();
    w.M_LOpenErr->setReadOnly(false);
    w.M_LOpenErr->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), w.M_LOpenErr);
    QTest::keyClicks(w.M_LOpenErr, QStringLiteral("xy"));
    QApplication::processEvents();
    EXPECT_TRUE(w.M_LOpenErr->toPlainText().isEmpty());
    EXPECT_EQ(caretRow(), 1);
    EXPECT_EQ(engine::rows().RowPlainText(1, 1), QStringLiteral("two"));
}

TEST_F(MainWindowKeysTest, NewTextCompareFromTheEmptyWindow) {
    ui::TF_Main& w = makeWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.findChild<QAction*>(QStringLiteral("NewTextCompare1"))->trigger();
    EXPECT_EQ(w.ViewType(), ui::vtText);
    EXPECT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvText);
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("NewL.txt"));
    EXPECT_EQ(engine::paneStores().FileNames[2], QStringLiteral("NewR.txt"));
    EXPECT_EQ(rowTexts(), "|");
    w.FormActivate();
    type(QStringLiteral("ab"));
    press(Qt::Key_Return);
    type(QStringLiteral("c"));
    EXPECT_EQ(rowTexts(), "ab|~ * / c| *");
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
}

}  // namespace
