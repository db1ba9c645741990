#include "ui/main/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextEdit>

#include "access/program_log.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/prg_dir.h"
#include "tests/ui/widget_harness.h"
#include "ui/main/flat_button.h"

namespace config = tandex::config;
namespace acc = tandex::access;
namespace ui = tandex::ui;

namespace {

class MainWindowDetailsTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::TPrgDirSources sources;
        sources.executablePath = tmp_.filePath("bin/tandex");
        sources.configHome = tmp_.filePath("cfg");
        config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }
    void TearDown() override {
        WidgetTest::TearDown();
        acc::FZSetLogFile(QString());
        config::SetPrgDir(nullptr);
        config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    }
    static ui::TDetailsInput row(int mode) {
        ui::TDetailsInput in;
        in.mode = mode;
        in.caretColumn = 5;
        in.side[0].text = QString::fromUtf16(u"int a€ = 10;");
        in.side[1].text = QStringLiteral("int ab = 10; // x");
        for (auto& s : in.side) {
            s.kind = acc::fkUtf8;
            s.lineBreak = acc::lbLf;
        }
        return in;
    }
    // A window laid out for the text view.
    void layOut(ui::TF_Main& w) {
        w.resize(900, 500);
        w.show();
        w.arrangeLayout(ui::vtText);
    }
    QTemporaryDir tmp_;
};

TEST_F(MainWindowDetailsTest, EachModeFillsBothFields) {
    ui::TF_Main w;
    Watch(&w);
    layOut(w);
    const char* names[] = {"text", "aligned-text", "hex", "aligned-hex"};
    const QString left[] = {QString::fromUtf16(u"int\u2219a€\u2219=\u221910;"),
                            QString::fromUtf16(u"int\u2219a€\u2219=\u221910;"), "69 6E 74 20 61 E2-82-AC 20",
                            "69 6E 74 20 61 E2-82-AC 20"};
    for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(names[mode]);
        w.Details().row = -1;
        w.showDetails(row(mode), 0);
        EXPECT_TRUE(w.eLine1->toPlainText().startsWith(left[mode])) << w.eLine1->toPlainText().toStdString();
        EXPECT_FALSE(w.eLine2->toPlainText().isEmpty());
        // The caret's character ("a", column 5) carries the caret background.
        QTextCursor c(w.eLine1->document());
        c.setPosition(w.Details().shown.caretPos + 1);
        EXPECT_EQ(c.charFormat().background().color(), w.Details().colors.caretBackground(ui::dcEqual));
        EXPECT_FALSE(tandex::testing::GrabToPng(w.P_Feet, QStringLiteral("details-%1").arg(names[mode])).isEmpty());
    }
}

TEST_F(MainWindowDetailsTest, ModeButtonCyclesAndPopupItemsToggle) {
    ui::TF_Main w;
    Watch(&w);
    config::AppSettings().GSDetailView = 0;
    w.updateDetailsButton();
    struct Step {
        const char* caption;
        const char* hint;
    };
    const Step steps[] = {{"Aligned text", " Click to show as HEX "},
                          {"HEX", " Click to show as aligned HEX "},
                          {"Aligned HEX", " Click to show text "},
                          {"Text", " Click to show aligned text "}};
    EXPECT_EQ(w.fbAlignDetails->Caption(), "Text");
    for (const Step& s : steps) {
        w.fbAlignDetails->OnClick(w.fbAlignDetails);
        EXPECT_EQ(w.fbAlignDetails->Caption(), s.caption);
        EXPECT_EQ(w.fbAlignDetails->toolTip(), s.hint);
    }
    EXPECT_EQ(config::AppSettings().GSDetailView, 0);

    w.miShowHEX->trigger();
    EXPECT_EQ(config::AppSettings().GSDetailView, 2);
    EXPECT_TRUE(w.miShowHEX->isChecked());
    EXPECT_FALSE(w.miShowAlignText->isChecked());
    w.miShowAlignedHEX->trigger();
    EXPECT_EQ(config::AppSettings().GSDetailView, 3);
    EXPECT_FALSE(w.miShowHEX->isChecked());
    EXPECT_TRUE(w.miShowAlignedHEX->isChecked());
    // The checked item again: back to text, nothing checked.
    w.miShowAlignedHEX->trigger();
    EXPECT_EQ(config::AppSettings().GSDetailView, 0);
    for (QAction* a : {w.miShowAlignText, w.miShowHEX, w.miShowAlignedHEX}) EXPECT_FALSE(a->isChecked());

    // The popup's switches.
    config::AppSettings().GSVWSDetail = true;
    w.miDetailsVisibleWS->trigger();
    EXPECT_FALSE(config::AppSettings().GSVWSDetail);
    EXPECT_FALSE(w.miDetailsVisibleWS->isChecked());
    const bool ruler = config::AppSettings().GSShowDPRuler;
    w.miDetailsShowRuler->trigger();
    EXPECT_EQ(config::AppSettings().GSShowDPRuler, !ruler);
}

TEST_F(MainWindowDetailsTest, CopyLeavesTheMarksBehind) {
    ui::TF_Main w;
    Watch(&w);
    layOut(w);
    config::AppSettings().GSVWSDetail = true;
    ui::TDetailsInput in = row(ui::dmAlignedText);
    in.side[0].text = "a b";
    in.side[1].text = "ab";
    w.showDetails(in, 0);
    ASSERT_EQ(w.eLine2->toPlainText(), QString::fromUtf16(u"a\u25a0b"));
    QTextCursor all(w.eLine1->document());
    all.select(QTextCursor::Document);
    w.eLine1->setTextCursor(all);
    w.pmDetailsPanelPopup(w.pmDetailsPanel);
    EXPECT_TRUE(w.miCopy->isEnabled());
    w.miCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "a b");
    all = QTextCursor(w.eLine2->document());
    all.select(QTextCursor::Document);
    w.eLine1->setTextCursor(QTextCursor(w.eLine1->document()));
    w.eLine2->setTextCursor(all);
    w.miCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "ab");

    // Ctrl+C in a field copies that field's own selection.
    QApplication::clipboard()->clear();
    all = QTextCursor(w.eLine1->document());
    all.select(QTextCursor::Document);
    w.eLine1->setTextCursor(all);
    QKeyEvent ctrlC(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("c"));
    QApplication::sendEvent(w.eLine1, &ctrlC);
    EXPECT_EQ(QApplication::clipboard()->text(), "a b");
}

// Whether any pixel of a column of the image, from y0 to y1, is red.
bool redAt(const QImage& img, int x, int y0, int y1) {
    for (int y = y0; y <= y1; ++y)
        if (img.pixelColor(x, y) == QColor(255, 0, 0)) return true;
    return false;
}

TEST_F(MainWindowDetailsTest, RulerNumbersEveryTenthColumnAndMarksTheCaret) {
    QImage img(400, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    ui::TRulerSpec r;
    r.width = 400;
    r.height = 18;
    r.firstColumn = 1;
    r.lastColumn = 40;
    r.markedColumn = 20;
    r.startX = 2;
    r.charWidth = 8;
    r.font = QFont(QStringLiteral("Monospace"), 16);
    r.textColor = Qt::black;
    QPainter p(&img);
    ui::drawRuler(p, r);
    p.end();
    // The marked column: a red line over the full height, its number red.
    const int x20 = ui::rulerTickX(r, 20);
    EXPECT_TRUE(redAt(img, x20, 0, 18));
    bool redNumber = false;
    for (int x = x20 - 20; x < x20 - 1; ++x)
        for (int y = 0; y < 10; ++y) {
            const QColor c = img.pixelColor(x, y);
            redNumber = redNumber || (c.red() > 150 && c.green() < 120 && c.blue() < 120);
        }
    EXPECT_TRUE(redNumber);
    // Column 10 is numbered in the text colour, column 15 is not numbered.
    auto inked = [&](int from, int to) {
        for (int x = from; x < to; ++x)
            for (int y = 1; y < 8; ++y)
                if (qGray(img.pixel(x, y)) < 160) return true;
        return false;
    };
    const int x10 = ui::rulerTickX(r, 10);
    const int x15 = ui::rulerTickX(r, 15);
    EXPECT_TRUE(inked(x10 - 12, x10 - 1));
    EXPECT_FALSE(inked(x15 - 12, x15 - 1));
    // Tick lengths: a third, a half, the full height.
    auto tickTop = [&](int x) {
        for (int y = 1; y <= 18; ++y)
            if (img.pixelColor(x, y) != QColor(Qt::white)) return y;
        return 99;
    };
    EXPECT_EQ(tickTop(ui::rulerTickX(r, 11)), 18 - 6);
    EXPECT_EQ(tickTop(x15), 18 - 9);
    EXPECT_EQ(tickTop(x10), 1);
    EXPECT_FALSE(redAt(img, x10, 1, 18));
}

TEST_F(MainWindowDetailsTest, PaneRulerMarkerFollowsThePaneAfterTheSplitterMoved) {
    ui::TF_Main w;
    Watch(&w);
    w.SetSplitOffset(-150);
    layOut(w);
    const auto& g = w.Geometry();
    ASSERT_TRUE(g.rulerVisible);
    ASSERT_LT(g.visibleColsLeft, g.visibleColsRight);
    w.drawRulerMarker(1);
    QImage img = w.I_MLRuler->pixmap().toImage();
    const int startX1 = g.leftTextX - 2;
    int leftRed = -1;
    for (int x = 0; x < g.rightTextX && leftRed < 0; ++x)
        if (redAt(img, x, 0, img.height() - 3)) leftRed = x;
    EXPECT_GE(leftRed, startX1);
    EXPECT_LT(leftRed, g.leftTextX + 40);
    w.drawRulerMarker(2);
    img = w.I_MLRuler->pixmap().toImage();
    bool redLeft = false, redRight = false;
    for (int x = 0; x < img.width(); ++x) {
        if (!redAt(img, x, 0, img.height() - 3)) continue;
        (x < g.rightTextX ? redLeft : redRight) = true;
    }
    EXPECT_FALSE(redLeft);
    EXPECT_TRUE(redRight);
    EXPECT_FALSE(tandex::testing::GrabToPng(w.I_MLRuler, QStringLiteral("pane-ruler")).isEmpty());
    w.drawDPRuler(true);
    EXPECT_FALSE(w.I_DPRuler->pixmap().isNull());
}

}  // namespace
