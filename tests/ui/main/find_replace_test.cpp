// Find and replace: the matcher, the dialog's modes, options, results and
// histories, and the search and replacement in the offscreen window with
// its undo records.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>

#include "config/find_settings.h"
#include "config/services.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/find_replace.h"
#include "ui/main/row_area.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

using ui::MatchText;

TEST(MatchTextTest, CandidatesCaseAndWholeWords) {
    constexpr int down = ui::mfDown, up = 0, kase = ui::mfMatchCase, word = ui::mfWholeWord;
    struct Case {
        const char16_t* text;
        int start;
        const char16_t* pattern;
        int flags, expected;
    } cases[] = {
        {u"a cat. cat", 0, u"cat", down, 2},
        {u"a cat. cat", 3, u"cat", down, 7},
        {u"a cat. cat", 8, u"cat", down, -1},
        {u"cat cat", 7, u"cat", up, 4},      // up starts with start - length
        {u"cat cat", 6, u"cat", up, 0},
        {u"cat", 2, u"cat", up, -1},
        {u"Cat cat", 0, u"cat", down | kase, 4},
        {u"Cat cat", 0, u"cAT", down, 0},
        {u"\u00C4BC", 0, u"\u00E4bc", down, 0},  // upper-cased per unit, not by locale
        {u"stra\u00DFe", 0, u"STRASSE", down, -1},
        {u"concatenate", 0, u"cat", down | word, -1},
        {u"a cat.", 0, u"cat", down | word, 2},
        {u"cats cat", 0, u"cat", down | word, 5},
        {u"concat.", 3, u"cat", down | word, 3},  // the first candidate is tried inside a word
        {u"cats", 4, u"cat", up | word, -1},      // a letter behind the match rejects it
        {u"abc concat", 10, u"abc", up | word, 0},
        {u"x cat1", 0, u"cat", down | word, -1},
        {u"", 0, u"a", down, -1},
        {u"ab", 0, u"abc", down, -1},
        {u"abc", 0, u"", down, -1},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf16(c.text), pattern = QString::fromUtf16(c.pattern);
        SCOPED_TRACE(testing::Message() << text.toStdString() << " / " << pattern.toStdString() << " from "
                                        << c.start << " flags " << c.flags);
        EXPECT_EQ(MatchText(text, c.start, pattern, c.flags), c.expected);
    }
}

// Presses Abort when the events are pumped once the dialog counted hits.
class AbortingPump : public config::EventPump {
public:
    AbortingPump(ui::TfReplace& dlg, int hits) : dlg_(dlg), hits_(hits) { config::setEventPump(this); }
    ~AbortingPump() override { config::setEventPump(nullptr); }
    void processEvents() override {
        if (dlg_.Searching() && dlg_.Counter() >= hits_) dlg_.fbClose->OnClick(dlg_.fbClose);
    }

private:
    ui::TfReplace& dlg_;
    int hits_;
};

class FindReplaceTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&messages_);
        config::FindReplaceSettings() = config::TFindReplaceSettings();
    }
    void TearDown() override {
        ComparedWindowFixture::TearDown();
        config::setMessageSink(nullptr);
        config::FindReplaceSettings() = config::TFindReplaceSettings();
    }

    QString file(const QString& name, const QStringList& lines) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write((lines.join(u'\n') + u'\n').toUtf8());
        return path;
    }
    ui::TF_Main& load(const QStringList& left, const QStringList& right) {
        ui::TF_Main& w = makeWindow();
        config::AppSettings().TCSelFirstDif = false;
        w.loadAndCompare(3, file(QStringLiteral("left.txt"), left), file(QStringLiteral("right.txt"), right));
        return w;
    }
    // The dialog with its beep counted and its progress shown after every row.
    ui::TfReplace& dialog(ui::TF_Main& w) {
        ui::TfReplace& d = *w.FindDialog();
        d.Beep = [this] { ++beeps_; };
        d.ProgressIntervalMs = 0;
        return d;
    }
    static void caretTo(int column, int row, int pane = 1) {
        engine::editor().PlaceCaret(column, row, pane);
        engine::rows().ClearSelection();
    }
    static QString lineText(int pane, int index) { return engine::paneStores().TextLines[size_t(pane)][index]->Text; }
    static QPoint caret() { return engine::editor().GetEditCaret(); }
    // Opens the dialog, types the texts and presses the button.
    static void run(ui::TfReplace& d, ui::TF_Main& w, bool replaceMode, const QString& find, const QString& replace,
                    void (ui::TfReplace::*button)()) {
        if (replaceMode)
            w.Replace1Click(nullptr);
        else
            w.Find1Click(nullptr);
        d.cbFind->setEditText(find);
        d.cbReplace->setEditText(replace);
        (d.*button)();
    }

    config::RecordingMessageSink messages_;
    QTemporaryDir dir_;
    int beeps_ = 0;
};

TEST_F(FindReplaceTest, SearchUpBothPanesAndTheSinglePaneView) {
    ui::TF_Main& w = load({"cat one cat", "dog", "plain"}, {"cat one cat", "dog cat", "plain"});
    ASSERT_EQ(rowTexts(), "cat one cat|cat one cat / dog|dog cat * / plain|plain");
    ui::TfReplace& d = dialog(w);
    run(d, w, false, QStringLiteral("cat"), {}, &ui::TfReplace::sbFindClick);
    EXPECT_EQ(w.LastSearchText(), QStringLiteral("cat"));
    d.rbUp->setChecked(true);
    const int up = d.getOptions();

    // Up from column 1 goes on with the previous row's last match.
    caretTo(1, 1);
    EXPECT_TRUE(w.findText(1, up));
    EXPECT_EQ(caret(), QPoint(12, 0));
    EXPECT_EQ(engine::rows().RowSelectionRange(1, 0), quint32(9 | 12 << 16));
    EXPECT_TRUE(w.findText(1, up));
    EXPECT_EQ(caret(), QPoint(4, 0));

    // Both panes: the right pane of a row only when the left has no match
    // from that column on.
    const int down = up | ui::foDown;
    caretTo(1, 1);
    EXPECT_TRUE(w.findText(3, down));
    EXPECT_EQ(engine::editor().ActiveSide, 2);
    EXPECT_EQ(w.getActivePane(ui::vtText), 2);
    EXPECT_EQ(caret(), QPoint(8, 1));
    caretTo(5, 0);
    EXPECT_TRUE(w.findText(3, down));
    EXPECT_EQ(engine::editor().ActiveSide, 1);
    EXPECT_EQ(caret(), QPoint(12, 0));

    // The single-pane view searches the left pane only, whatever the scope.
    engine::paneStores().SinglePaneView = 1;
    for (int scope : {2, 3}) {
        caretTo(1, 1);
        d.resetAction();
        EXPECT_FALSE(w.findText(scope, down));
        EXPECT_EQ(d.StatusText(), QStringLiteral(" Not Found!"));
    }
    engine::paneStores().SinglePaneView = 0;
}

TEST_F(FindReplaceTest, DialogModesOptionsAndHistories) {
    ui::TF_Main& w = load({"a"}, {"a"});
    // The window read the settings file; the dialog takes what is there now.
    config::FindReplaceSettings().MatchCase = true;
    config::FindReplaceSettings().FindHistory = {QStringLiteral("stored")};
    ui::TfReplace& d = dialog(w);
    EXPECT_TRUE(d.cbMatchCase->isChecked());
    EXPECT_EQ(d.GetFindHistory(0), QStringLiteral("stored"));

    // Ctrl+F reaches the Search menu's command through the key table.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.FormActivate();
    QTest::keyClick(w.RowArea(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(w.FindDialogOpen());
    EXPECT_EQ(d.windowTitle(), QStringLiteral(" Find "));
    EXPECT_EQ(d.fbReplace->Caption(), QStringLiteral("Count"));
    EXPECT_EQ(d.fbReplaceAll->Caption(), QStringLiteral("Find && select all"));
    EXPECT_EQ(d.gbSide->title(), QStringLiteral(" Find in: "));
    EXPECT_FALSE(d.cbReplace->isVisible());
    EXPECT_FALSE(d.fbReplaceAll->isVisible());  // only in the folder view
    EXPECT_TRUE(d.rbBoth->isVisible());
    // The word at the caret is proposed.
    EXPECT_EQ(d.getFindText(), QStringLiteral("a"));
    d.cbWordOnly->setChecked(true);
    EXPECT_EQ(d.getOptions(), 39);
    // The Edit shortcuts belong to the dialog's fields while it is open.
    auto* copy = w.findChild<QAction*>(QStringLiteral("Copy1"));
    EXPECT_TRUE(copy->shortcut().isEmpty());

    d.rbBoth->setChecked(true);
    w.Replace1Click(nullptr);
    EXPECT_EQ(d.windowTitle(), QStringLiteral(" Replace "));
    EXPECT_EQ(d.fbReplace->Caption(), QStringLiteral("Replace"));
    EXPECT_EQ(d.fbReplaceAll->Caption(), QStringLiteral("Replace all"));
    EXPECT_EQ(d.gbSide->title(), QStringLiteral(" Replace in: "));
    EXPECT_TRUE(d.cbReplace->isVisible());
    EXPECT_TRUE(d.fbReplaceAll->isVisible());
    EXPECT_FALSE(d.rbBoth->isVisible());
    EXPECT_NE(d.getSide(), 3);
    d.rbUp->setChecked(true);
    d.cbWordOnly->setChecked(false);
    d.cbMatchCase->setChecked(false);
    int during = -1;
    d.OnReplace = [&] { during = d.getOptions(); };
    d.sbReplaceAllClick();
    EXPECT_EQ(during, 16);
    EXPECT_EQ(d.getOptions(), 0);

    // One entry per text, the newest on top, 20 kept.
    for (int i = 0; i < 25; ++i) {
        d.cbFind->setEditText(QStringLiteral("text %1").arg(i % 22));
        d.sbFindClick();
    }
    EXPECT_EQ(d.cbFind->count(), 20);
    EXPECT_EQ(d.GetFindHistory(0), QStringLiteral("text 2"));
    EXPECT_EQ(d.GetFindHistory(1), QStringLiteral("text 1"));
    EXPECT_EQ(d.GetFindHistory(19), QStringLiteral("text 5"));

    // Esc closes; the shortcuts come back; the close of the window hands
    // the position and the histories to the settings.
    QTest::keyClick(d.cbFind, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(w.FindDialogOpen());
    EXPECT_FALSE(copy->shortcut().isEmpty());
    w.Find1Click(nullptr);
    d.move(40, 50);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(config::AppSettings().FFL, d.x());
    EXPECT_EQ(config::AppSettings().FFT, d.y());
    EXPECT_EQ(config::FindReplaceSettings().FindHistory.size(), 20);
    EXPECT_EQ(config::FindReplaceSettings().FindHistory.first(), QStringLiteral("text 2"));
}

TEST_F(FindReplaceTest, CountNotFoundAndAbort) {
    const QStringList lines = {"x x", "", "x", "", "x", "", "x"};
    ui::TF_Main& w = load(lines, lines);
    ui::TfReplace& d = dialog(w);
    caretTo(1, 0);
    run(d, w, false, QStringLiteral("x"), {}, &ui::TfReplace::sbReplaceClick);
    EXPECT_EQ(d.StatusText(), QStringLiteral(" Found occurences: 5"));
    // Counting moves nothing and leaves no selection.
    EXPECT_EQ(caret(), QPoint(1, 0));
    EXPECT_EQ(engine::rows().SelectedCount(false), 0);
    EXPECT_EQ(beeps_, 0);
    // The count enabled the window again, but the open dialog's fields keep
    // the clipboard keys.
    auto* paste = w.findChild<QAction*>(QStringLiteral("Paste1"));
    ASSERT_NE(paste, nullptr);
    w.enableUI();
    EXPECT_TRUE(paste->shortcut().isEmpty());

    d.cbFind->setEditText(QStringLiteral("nothing"));
    d.sbReplaceClick();
    EXPECT_EQ(d.StatusText(), QStringLiteral(" Not Found!"));
    EXPECT_EQ(beeps_, 1);

    // Abort once two hits are counted: the search stops after the row.
    AbortingPump pump(d, 2);
    d.cbFind->setEditText(QStringLiteral("x"));
    d.sbReplaceClick();
    config::setEventPump(nullptr);
    EXPECT_EQ(d.StatusText(), QStringLiteral(" [Aborted]    Found occurences: 2"));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.fbClose->Caption(), QStringLiteral("Close"));

    // F3 with the dialog hidden and nothing left below the caret; the
    // aborted action before it does not count.
    d.sbCloseClick();
    EXPECT_EQ(paste->shortcut(), QKeySequence(QStringLiteral("Ctrl+V")));
    caretTo(2, 6);
    w.FindNext1Click(nullptr);
    EXPECT_TRUE(w.P_StatusBar->text().endsWith(QStringLiteral(" | Searchtext not found!")));
    EXPECT_EQ(beeps_, 2);
    caretTo(1, 5);
    w.FindNext1Click(nullptr);
    EXPECT_EQ(caret(), QPoint(2, 6));
}

TEST_F(FindReplaceTest, ReplaceAllIsOneUndoGroupAndNeverSearchesItsOwnText) {
    ui::TF_Main& w = load({"cat", "a cat", "keep", "cat cat", "the cat"}, {"cat", "a cat", "keep", "cat cat", "the cat"});
    ui::TfReplace& d = dialog(w);
    ASSERT_EQ(engine::fccTabs().GetTabDiffCount(), 0);
    caretTo(1, 0);
    run(d, w, true, QStringLiteral("cat"), QStringLiteral("dog"), &ui::TfReplace::sbReplaceAllClick);
    EXPECT_EQ(d.StatusText(), QStringLiteral(" Replaced occurences: 5"));
    EXPECT_EQ(rowTexts(), "dog|cat * / a dog|a cat * / keep|keep / dog dog|cat cat * / the dog|the cat *");
    EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
    EXPECT_FALSE(engine::fccTabs().IsPaneModified(2));
    EXPECT_EQ(engine::paneStores().ReplaceAllActive, 0);

    // One group: the caret record opens it, each replacement adds its
    // replaced text (kind 2) and its line and end column (kind 7).
    const auto& records = engine::undoStack().Records(1);
    ASSERT_EQ(records.size(), 11u);
    EXPECT_EQ(records[0].Kind, engine::ukCaret);
    EXPECT_EQ(records[0].Continues, 0);
    EXPECT_EQ(records[0].Column, 1);
    const struct {
        int line, column;
    } replaced[] = {{1, 1}, {2, 3}, {4, 1}, {4, 5}, {5, 5}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const engine::TUndoRec& text = records[size_t(1 + 2 * i)];
        const engine::TUndoRec& end = records[size_t(2 + 2 * i)];
        EXPECT_EQ(text.Kind, engine::ukWindowEdit2);
        EXPECT_EQ(text.Text, QStringLiteral("cat"));
        EXPECT_EQ(text.Column, replaced[i].column);
        EXPECT_EQ(int(text.Line), replaced[i].line);
        EXPECT_EQ(end.Kind, engine::ukWindowEdit7);
        EXPECT_EQ(end.Text, QStringLiteral("%1:%2").arg(replaced[i].line).arg(replaced[i].column + 3));
        EXPECT_EQ(end.Column, replaced[i].column);
        EXPECT_EQ(text.Continues, 1);
        EXPECT_EQ(end.Continues, 1);
    }
}

// The whole run is one group: a single Ctrl+Z in the window takes back all
// five replacements and with them the pane's modified mark.
TEST_F(FindReplaceTest, ReplaceAllFromTheTopIsUndoneByOneCtrlZ) {
    const QStringList lines = {"cat", "a cat", "keep", "cat cat", "the cat"};
    // Longer and shorter replacements move the later matches of a line.
    for (const char* replacement : {"dog", "tiger", "x"}) {
        SCOPED_TRACE(replacement);
        ui::TF_Main& w = load(lines, lines);
        config::AppSettings().TEEnabled = true;
        ui::TfReplace& d = dialog(w);
        const std::string before = rowTexts();
        caretTo(1, 0);
        run(d, w, true, QStringLiteral("cat"), QString::fromLatin1(replacement), &ui::TfReplace::sbReplaceAllClick);
        ASSERT_EQ(d.Counter(), 5);
        EXPECT_EQ(lineText(1, 3), QStringLiteral("%1 %1").arg(QLatin1String(replacement)));
        EXPECT_TRUE(engine::fccTabs().IsPaneModified(1));
        EXPECT_FALSE(engine::fccTabs().IsPaneModified(2));
        EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 4);

        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        w.RowArea()->setFocus();
        QTest::keyClick(w.RowArea(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(rowTexts(), before);
        EXPECT_EQ(engine::fccTabs().GetTabDiffCount(), 0);
        EXPECT_FALSE(engine::undoStack().HasUndo(1));
        EXPECT_FALSE(engine::fccTabs().IsPaneModified(1));
        EXPECT_EQ(caret(), QPoint(1, 0));
    }
}

TEST_F(FindReplaceTest, ReplacementsHoldingTheSearchTextAndSingleReplace) {
    const QStringList lines = {"aaa", "cccc", "bbbb", "one two one", "x"};
    ui::TF_Main& w = load(lines, lines);
    ui::TfReplace& d = dialog(w);
    struct Case {
        int row;
        bool up;
        const char* find;
        const char* replace;
        const char* expected;
        int count;
    } cases[] = {
        {0, false, "a", "aa", "aaaaaa", 3},
        {1, false, "cc", "c", "cc", 2},
        {3, true, "bb", "b", "bb", 2},  // up from column 1 of the row below
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        caretTo(1, c.row);
        w.Replace1Click(nullptr);
        d.rbUp->setChecked(c.up);
        d.rbDown->setChecked(!c.up);
        d.cbFind->setEditText(QString::fromLatin1(c.find));
        d.cbReplace->setEditText(QString::fromLatin1(c.replace));
        d.sbReplaceAllClick();
        EXPECT_EQ(lineText(1, c.up ? c.row - 1 : c.row), QString::fromLatin1(c.expected));
        EXPECT_EQ(d.Counter(), c.count);
    }

    // "Replace" with the caret behind a match replaces the next one only.
    d.rbDown->setChecked(true);
    caretTo(4, 3);
    run(d, w, true, QStringLiteral("one"), QStringLiteral("1"), &ui::TfReplace::sbReplaceClick);
    EXPECT_EQ(lineText(1, 3), QStringLiteral("one two 1"));
    EXPECT_EQ(d.StatusText(), QStringLiteral(" Replaced occurences: 1"));
}

}  // namespace
