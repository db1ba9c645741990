#pragma once
// The offscreen main window holding a text pair the engine compared, for
// the tests of the keys and the selection model.

#include <QFontDatabase>
#include <QStringList>
#include <QTest>

#include <memory>

#include "engine/editor.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "engine/undo_stack.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/main_window.h"

namespace tandex::testing {

class ComparedWindowFixture : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"));
        resetEngine();
    }
    void TearDown() override {
        window_.reset();
        resetEngine();
        MainWindowFixture::TearDown();
    }
    static void resetEngine() {
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        engine::editor().InitEditor();
        engine::editor().CaretWindow = nullptr;
        engine::fccTabs().InitTabSlots();
        for (int pane = 1; pane <= 2; ++pane) engine::undoStack().ClearUndo(pane);
    }

    ui::TF_Main& makeWindow() {
        window_ = std::make_unique<ui::TF_Main>();
        ui::TF_Main& w = *window_;
        Watch(&w);
        config::AppSettings().AFFont = {QStringLiteral("DejaVu Sans Mono"), 10, 0};
        w.applyPaneFont();
        w.resize(900, 520);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.firePendingJobs();
        w.arrangeLayout(ui::vtText);
        return w;
    }

    // Fills the panes with the lines given and compares them; an empty
    // list leaves the pane without a file.
    static void compare(const QStringList& left, const QStringList& right) {
        auto& st = engine::paneStores();
        const QStringList* texts[3] = {nullptr, &left, &right};
        for (int pane = 1; pane <= 2; ++pane) {
            st.TextLines[size_t(pane)].Clear();
            const QStringList& lines = *texts[pane];
            for (int i = 0; i < lines.size(); ++i) {
                engine::TTextLine* line = st.TextLines[size_t(pane)].New(i);
                line->Text = lines[i];
                line->LineNumber = i + 1;
            }
            st.LineCount[size_t(pane)] = int(lines.size());
            st.FileNames[size_t(pane)] =
                lines.isEmpty() ? QString() : pane == 1 ? QStringLiteral("left.txt") : QStringLiteral("right.txt");
        }
        st.UpdateMaxLineCount();
        engine::lineKeys().BuildColumnMask();
        engine::textCompare().CompareTextFiles();
        engine::rows().FilterTextRows(0);
        engine::rows().CaretViewActive = 1;
    }

    // Each row as "left|right", a gap as "~", a differing row marked " *";
    // the rows joined by " / ".
    static std::string rowTexts() {
        QStringList out;
        auto& r = engine::rows();
        for (int row = 0; row < engine::paneStores().VisibleRowCount(); ++row) {
            QString text;
            for (int pane = 1; pane <= 2; ++pane) {
                if (pane == 2) text += u'|';
                text += r.IsRowMissing(pane, row) ? QStringLiteral("~") : r.RowPlainText(pane, row);
            }
            if (r.RowDiffers(row)) text += QStringLiteral(" *");
            out << text;
        }
        return out.join(QStringLiteral(" / ")).toStdString();
    }

    std::unique_ptr<ui::TF_Main> window_;
};

}  // namespace tandex::testing
