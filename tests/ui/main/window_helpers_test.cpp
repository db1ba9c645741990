#include "ui/main/window_helpers.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QWindow>
#include <QMainWindow>
#include <QMenu>
#include <memory>

#include "config/services.h"
#include "config/sys_helpers.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace config = tandex::config;

namespace {

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

std::unique_ptr<QComboBox> Combo(const QStringList& items, const QString& typed = {}) {
    auto box = std::make_unique<QComboBox>();
    box->setEditable(true);
    box->addItems(items);
    box->setEditText(typed);
    return box;
}

using WindowHelpersTest = tandex::testing::WidgetTest;

TEST_F(WindowHelpersTest, AddComboHistoryMovesOrInsertsAtTopAndNeverShortens) {
    const QStringList abc{"b", "a", "c"};
    struct Case {
        QStringList before;
        QString text;
        bool noCase;
        QStringList after;
        QString shown;
    } cases[] = {
        {abc, "a", false, {"a", "b", "c"}, "a"},       // moved from 1
        {abc, "b", false, {"b", "a", "c"}, "b"},       // already at 0: unchanged
        {abc, "d", false, {"d", "b", "a", "c"}, "d"},  // new: grows by one
        {abc, "A", false, {"A", "b", "a", "c"}, "A"},  // exact look-up
        {abc, "A", true, {"a", "b", "c"}, "A"},        // folded: the stored item moves
        {{"b", "\u00e4"}, "\u00c4", true, {"\u00c4", "b", "\u00e4"}, "\u00c4"},  // only A..Z fold
    };
    for (const Case& c : cases) {
        auto box = Combo(c.before);
        AddComboHistory(box.get(), c.text, c.noCase);
        EXPECT_EQ(Items(*box), c.after) << c.text.toStdString() << c.noCase;
        EXPECT_EQ(box->currentIndex(), 0);
        EXPECT_EQ(box->currentText(), c.shown);
    }
}

TEST_F(WindowHelpersTest, UpdateComboHistoryMovesTypedTextAndShowsStoredSpelling) {
    auto box = Combo({"one", "Foo", "two"}, "FOO");
    EXPECT_EQ(UpdateComboHistoryNoCase(box.get(), 19), 1);
    EXPECT_EQ(Items(*box), (QStringList{"Foo", "one", "two"}));
    EXPECT_EQ(box->currentText(), "Foo");

    // Case-sensitive: no match, the typed text goes on top as typed.
    box->setEditText("FOO");
    EXPECT_EQ(UpdateComboHistory(box.get(), 19, false), 20);
    EXPECT_EQ(Items(*box), (QStringList{"FOO", "Foo", "one", "two"}));

    // Folding follows the letters' own rules, not only A..Z.
    auto umlauts = Combo({"x", "\u00e4b"}, "\u00c4B");
    EXPECT_EQ(UpdateComboHistoryNoCase(umlauts.get(), 19), 1);
    EXPECT_EQ(umlauts->currentText(), "\u00e4b");
}

TEST_F(WindowHelpersTest, UpdateComboHistorySearchesOnlyUpToMaxIndexAndCapsTheList) {
    QStringList twenty;
    for (int i = 0; i < 20; ++i)
        twenty << QString("item%1").arg(i);
    auto box = Combo(twenty, "new");
    EXPECT_EQ(UpdateComboHistory(box.get(), 19, false), 20);
    EXPECT_EQ(box->count(), 20);
    EXPECT_EQ(box->itemText(0), "new");
    EXPECT_EQ(box->itemText(19), "item18");

    // An item beyond maxIndex does not count as found.
    box->setEditText("item18");
    EXPECT_EQ(UpdateComboHistory(box.get(), 5, false), 6);
    EXPECT_EQ(box->count(), 6);
    EXPECT_EQ(Items(*box), (QStringList{"item18", "new", "item0", "item1", "item2", "item3"}));

    // A short list with a large maxIndex: only existing items are compared.
    auto shortBox = Combo({"a", "b"}, "b");
    EXPECT_EQ(UpdateComboHistory(shortBox.get(), 19, false), 1);
    EXPECT_EQ(Items(*shortBox), (QStringList{"b", "a"}));
    auto empty = Combo({}, "typed");
    EXPECT_EQ(UpdateComboHistory(empty.get(), 19, false), 20);
    EXPECT_EQ(Items(*empty), QStringList{"typed"});
}

class PaintCounter : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST_F(WindowHelpersTest, RedrawLockHoldsPaintsUntilUnlockRepaintsChildren) {
    QWidget window;
    window.resize(200, 100);
    auto* child = new PaintCounter(&window);
    child->setGeometry(10, 10, 50, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();

    LockWindowRedraw(&window);
    const int before = child->paints;
    child->update();
    QCoreApplication::processEvents();
    EXPECT_EQ(child->paints, before);

    UnlockWindowRedraw(&window, RDW_INVALIDATE | RDW_NOERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_TRUE(window.updatesEnabled());
    EXPECT_GT(child->paints, before);
}

TEST_F(WindowHelpersTest, MessageBoxOkGoesThroughTheMessageSink) {
    config::RecordingMessageSink sink;
    config::setMessageSink(&sink);
    ShowMessageBoxOk("Tandex", "Done.");
    config::setMessageSink(nullptr);
    const auto messages = sink.messages();
    ASSERT_EQ(messages.size(), 1u);
    const auto& m = messages.front();
    EXPECT_EQ(m.caption, "Tandex");
    EXPECT_EQ(m.text, "Done.");
    EXPECT_EQ(m.buttons, config::mbOK);
}

TEST_F(WindowHelpersTest, DisableSystemMenuCloseKeepsWindowShown) {
    QWidget window;
    window.show();
    DisableSystemMenuClose(&window);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowTitleHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(WindowHelpersTest, DisableSystemMenuCloseRefusesTheFrameButNotTheProgram) {
    QDialog dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    DisableSystemMenuClose(&dialog);
    DisableSystemMenuClose(&dialog);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint);
    ASSERT_TRUE(dialog.windowHandle());
    // A close request of the window system arrives at the native window.
    QCloseEvent frameClose;
    QCoreApplication::sendEvent(dialog.windowHandle(), &frameClose);
    EXPECT_FALSE(frameClose.isAccepted());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.close());
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(WindowHelpersTest, CopiedMenuItemsRunTheSourceHandlersWithTheirTags) {
    QMenu popup;
    QAction* first = popup.addAction(QIcon(), "Load as text");
    first->setData(3);
    popup.addSeparator();
    QAction* second = popup.addAction("Load as binary");
    second->setData(7);
    QList<int> tags;
    for (QAction* a : {first, second})
        QObject::connect(a, &QAction::triggered, [&tags, a] { tags << a->data().toInt(); });

    QMenu target;
    target.addAction("Existing");
    CopyPopupMenuItems(&target, &popup);
    const auto actions = target.actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[1]->text(), "Load as text");
    EXPECT_TRUE(actions[2]->isSeparator());
    EXPECT_EQ(actions[3]->data().toInt(), 7);
    EXPECT_EQ(actions[3]->parent(), &target);
    actions[3]->trigger();
    actions[1]->trigger();
    EXPECT_EQ(tags, (QList<int>{7, 3}));
}

TEST_F(WindowHelpersTest, RelativePositionsFollowTheMainFormUntilItIsGone) {
    auto main = std::make_unique<QMainWindow>();
    main->setGeometry(100, 50, 800, 600);
    SetMainForm(main.get());
    const QRect f = main->frameGeometry();
    EXPECT_EQ(config::MainFormRelativePos(0, 200), f.x() + 5);
    EXPECT_EQ(config::MainFormRelativePos(1, 200), f.x() + f.width() / 2 - 100);
    EXPECT_EQ(config::MainFormRelativePos(2, 200), f.x() + f.width() - 205);
    EXPECT_EQ(config::MainFormRelativePos(3, 200), f.y());
    main.reset();
    EXPECT_EQ(MainForm(), nullptr);
    EXPECT_EQ(config::MainFormRelativePos(1, 200), 0);
    SetMainForm(nullptr);
}

}  // namespace
