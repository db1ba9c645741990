#pragma once
// The offscreen window holding a pair loaded from files, for the tests of
// paste, cut, delete and undo: keys go through the row area as a user's
// would, and a snapshot holds everything an undo must give back.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "config/services.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "ui/main/row_area.h"

namespace tandex::testing {

// Everything an undo back to the start must give back.
struct Snapshot {
    QStringList left, right;
    std::string rows;
    int diffCount = 0;
    bool leftModified = false, rightModified = false;
    bool operator==(const Snapshot&) const = default;
};

inline void PrintTo(const Snapshot& s, std::ostream* os) {
    *os << "left: " << s.left.join(u'|').toStdString() << "\nright: " << s.right.join(u'|').toStdString()
        << "\nrows: " << s.rows << "\ndiffs " << s.diffCount << " modified " << s.leftModified << s.rightModified;
}

class EditedWindowFixture : public ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        config::setMessageSink(&messages_);
    }
    void TearDown() override {
        ComparedWindowFixture::TearDown();
        config::setMessageSink(nullptr);
    }

public:
    // Public for the edit scripts the tests keep in tables.
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
        config::AppSettings().TEEnabled = true;
        w.loadAndCompare(3, file(QStringLiteral("left.txt"), left), file(QStringLiteral("right.txt"), right));
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        w.FormActivate();
        settle();
        return w;
    }
    void settle() {
        window_->invalidatePanes(true);
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            QTest::qWait(2);
        }
    }

    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(window_->RowArea(), Qt::Key(key), mods);
    }
    void type(const QString& text) { QTest::keyClicks(window_->RowArea(), text); }
    static void caretTo(int column, int row, int pane = 1) {
        auto& ed = engine::editor();
        ed.SetActiveSide(pane);
        ed.PlaceCaret(column, row, pane);
        ed.SetSelection(column, row, 0, -1);
        engine::rows().ClearSelection();
    }
    // Selects from (column1, row1) to before (column2, row2) as Shift with
    // the arrows would.
    void select(int column1, int row1, int column2, int row2, int pane = 1) {
        caretTo(column1, row1, pane);
        auto& ed = engine::editor();
        ed.PlaceCaret(column2, row2, pane);
        ed.SetSelectionEnd(column2, row2);
        window_->applySelection(Qt::ShiftModifier, row2);
    }
    // The pane's real lines in order.
    static QStringList paneText(int pane) {
        QStringList out;
        const auto& lines = engine::paneStores().TextLines[size_t(pane)];
        for (int i = 0; i < lines.StoredSize(); ++i)
            if (!lines.IsGap(i)) out << engine::rows().LinePlainText(pane, i);
        return out;
    }

    Snapshot snapshot() {
        window_->firePendingJobs();
        auto& tabs = engine::fccTabs();
        return {paneText(1), paneText(2), rowTexts(), tabs.GetTabDiffCount(), tabs.IsPaneModified(1),
                tabs.IsPaneModified(2)};
    }
    // Undoes pane's groups until its stack is empty; the number of groups.
    int undoAll(int pane) {
        int groups = 0;
        while (engine::undoStack().HasUndo(pane) && groups < 10'000) {
            caretTo(1, 0, pane);
            window_->setActivePane(ui::vtText, pane);
            window_->Undo1Click(nullptr);
            ++groups;
        }
        window_->firePendingJobs();
        return groups;
    }

    config::RecordingMessageSink messages_;
    QTemporaryDir dir_;
};

}  // namespace tandex::testing
