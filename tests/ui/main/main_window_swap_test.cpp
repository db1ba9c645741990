// Swapping the sides of a text and a binary comparison in the offscreen
// window: twice gives back what was there.

#include "ui/main/main_window.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "config/services.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "tests/ui/main/main_window_fixture.h"
#include "ui/main/compare_bin.h"
#include "ui/main/flat_button.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

class SwapWindowTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        config::setMessageSink(&sink_);
        resetEngine();
        window_ = std::make_unique<ui::TF_Main>();
        Watch(window_.get());
        window_->resize(900, 520);
        window_->show();
        window_->firePendingJobs();
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
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
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    std::array<int, 4> tags() const {
        const auto& w = *window_;
        return {w.fbLSelAll->property("Tag").toInt(), w.fbRSelAll->property("Tag").toInt(),
                w.fbLSelNew->property("Tag").toInt(), w.fbRSelNew->property("Tag").toInt()};
    }
    void setTags(const std::array<int, 4>& t) {
        auto& w = *window_;
        w.fbLSelAll->setProperty("Tag", t[0]);
        w.fbRSelAll->setProperty("Tag", t[1]);
        w.fbLSelNew->setProperty("Tag", t[2]);
        w.fbRSelNew->setProperty("Tag", t[3]);
    }
    static int modified(int pane) {
        const auto& tabs = engine::fccTabs();
        return tabs.TabSlots[size_t(tabs.CurrentTab)].FileData.PaneModifiedState[size_t(pane)];
    }

    config::RecordingMessageSink sink_;
    QTemporaryDir dir_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(SwapWindowTest, SwappingATextComparisonTwiceRestoresIt) {
    auto& w = *window_;
    w.loadAndCompare(3, file("l.txt", "one\ntwo\nthree\n"), file("r.txt", "one\nTWO\nthree\nfour\nfive\n"));
    auto& stores = engine::paneStores();
    const auto& counts = engine::textCompare().Counts;
    ASSERT_EQ(counts.Added, 2);
    ASSERT_EQ(counts.Deleted, 0);
    engine::fccTabs().MarkPaneSaveDeclined(engine::fccTabs().CurrentTab, 1);
    setTags({4, 258, 1, 256});
    const auto lineCounts = stores.LineCount;

    w.mmSwapFiles1Click(w.mmSwapFiles1);
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("r.txt"));
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("l.txt"));
    EXPECT_EQ(stores.TextLines[1][3]->Text, QStringLiteral("four"));
    EXPECT_EQ(modified(1), engine::pmNotModified);
    EXPECT_EQ(modified(2), engine::pmSaveDeclined);
    EXPECT_EQ(counts.Added, 0);
    EXPECT_EQ(counts.Deleted, 2);
    EXPECT_EQ(w.getActivePane(ui::vtText), 2);
    // The left buttons take the right selection, the right ones the left's.
    EXPECT_EQ(tags(), (std::array<int, 4>{2, 260, 0, 257}));
    EXPECT_EQ(engine::editor().EditBusy, 0);

    w.mmSwapFiles1Click(w.fbSWAP);
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("l.txt"));
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("r.txt"));
    EXPECT_EQ(stores.LineCount, lineCounts);
    EXPECT_EQ(modified(1), engine::pmSaveDeclined);
    EXPECT_EQ(modified(2), engine::pmNotModified);
    EXPECT_EQ(counts.Added, 2);
    EXPECT_EQ(counts.Deleted, 0);
    EXPECT_EQ(w.LastDiffCount, 3);
    EXPECT_EQ(w.getActivePane(ui::vtText), 1);
    EXPECT_EQ(tags(), (std::array<int, 4>{4, 258, 1, 256}));
}

TEST_F(SwapWindowTest, SwappingABinaryComparisonTwiceRestoresItsTotals) {
    auto& w = *window_;
    QByteArray left(4096, '\0'), right;
    for (int i = 0; i < left.size(); ++i) left[i] = char(i * 7 + 1);
    right = left.left(1000) + QByteArray(37, '\x01') + left.mid(1000);
    w.loadAndCompare(3, file("l.bin", left), file("r.bin", right));
    ASSERT_EQ(engine::fccTabs().GetCurrentViewType(), engine::tvBinary);
    auto& stores = engine::paneStores();
    const auto totals = ui::compareBin().BinaryDiffTotals;
    ASSERT_GT(totals.Added, 0);
    const QByteArray firstLeft = stores.BinaryLines[1][0]->HexText();
    const QByteArray firstRight = stores.BinaryLines[2][0]->HexText();

    w.mmSwapFiles1Click(w.fbSWAP);
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("r.bin"));
    EXPECT_EQ(ui::compareBin().BinaryDiffTotals.Added, totals.Deleted);
    EXPECT_EQ(ui::compareBin().BinaryDiffTotals.Deleted, totals.Added);
    EXPECT_EQ(stores.BinaryLines[1][0]->HexText(), firstRight);

    w.mmSwapFiles1Click(w.fbSWAP);
    EXPECT_EQ(stores.FileNames[1], QStringLiteral("l.bin"));
    EXPECT_EQ(ui::compareBin().BinaryDiffTotals.Added, totals.Added);
    EXPECT_EQ(ui::compareBin().BinaryDiffTotals.Deleted, totals.Deleted);
    EXPECT_EQ(ui::compareBin().BinaryDiffTotals.Modified, totals.Modified);
    EXPECT_EQ(stores.BinaryLines[1][0]->HexText(), firstLeft);
}

TEST_F(SwapWindowTest, AnOpenErrorChangesSidesWithItsFile) {
    auto& w = *window_;
    const QString missing = dir_.filePath("missing.txt");
    w.loadAndCompare(3, missing, file("r.txt", "b\n"));
    ASSERT_FALSE(w.M_LOpenErr->isHidden());
    const QString error = w.M_LOpenErr->toPlainText();
    ASSERT_FALSE(error.isEmpty());

    w.mmSwapFiles1Click(w.fbSWAP);
    EXPECT_TRUE(w.M_LOpenErr->isHidden());
    EXPECT_FALSE(w.M_ROpenErr->isHidden());
    EXPECT_FALSE(w.P_RImage->isHidden());
    EXPECT_EQ(w.M_ROpenErr->toPlainText(), error);
    // A reload tries the failed file again on its new side.
    EXPECT_EQ(w.FailedPath(2), missing);
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("r.txt"));

    w.mmSwapFiles1Click(w.fbSWAP);
    EXPECT_FALSE(w.M_LOpenErr->isHidden());
    EXPECT_TRUE(w.M_ROpenErr->isHidden());
    EXPECT_EQ(w.M_LOpenErr->toPlainText(), error);
    EXPECT_EQ(w.FailedPath(1), missing);
}

TEST_F(SwapWindowTest, NothingSwapsWhileAnEditIsBusy) {
    auto& w = *window_;
    w.loadAndCompare(3, file("l.txt", "a\n"), file("r.txt", "b\n"));
    engine::editor().EditBusy = 1;
    w.mmSwapFiles1Click(w.fbSWAP);
    EXPECT_EQ(engine::paneStores().FileNames[1], QStringLiteral("l.txt"));
    engine::editor().EditBusy = 0;
}

}  // namespace
