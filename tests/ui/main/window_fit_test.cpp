// The windows as a user sees them at the sizes they come in: no caption or
// read-out lies over another, and every caption fits its control, measured
// with the control's own font. Each window is kept as a PNG to look at.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QToolBar>

#include "tests/ui/main/edited_window_fixture.h"
#include "ui/main/find_replace.h"
#include "ui/main/flat_button.h"
#include "ui/main/image_compare_wnd.h"
#include "ui/main/image_pane.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;

namespace {

int textWidth(const QFont& font, const QString& text) {
    const QFontMetrics fm(font);
    int width = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) width = std::max(width, fm.horizontalAdvance(line));
    return width;
}

bool shown(const QWidget* w, const QWidget* window) { return w->isVisibleTo(window) && w->width() > 1 && w->height() > 1; }

// Where a control's caption or read-out is, in the window's coordinates: a
// label's text where its alignment puts it, any other control whole.
QRect captionRect(const QWidget* w, const QWidget* window) {
    QRect r = w->rect();
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        const QRect c = label->contentsRect();
        const int width = std::min(textWidth(label->font(), label->text()), c.width());
        const Qt::Alignment a = label->alignment();
        const int left = a & Qt::AlignRight    ? c.right() + 1 - width
                         : a & Qt::AlignHCenter ? c.left() + (c.width() - width) / 2
                                                : c.left() + std::max(label->indent(), 0) + label->margin();
        r = QRect(left, c.top(), width, c.height());
    }
    return QRect(w->mapTo(window, r.topLeft()), r.size());
}

bool isControl(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const ui::TFlatButton2*>(w) ||
           qobject_cast<const QGroupBox*>(w) || qobject_cast<const QSlider*>(w) ||
           qobject_cast<const ui::TImagePane*>(w);
}

// Every pair of controls that share a parent, and every label's text with
// the controls inside it, stand apart; every caption fits its control.
void expectTidy(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (shown(w, window) && isControl(w) && !qobject_cast<QMenu*>(w->window())) controls << w;
    for (int i = 0; i < controls.size(); ++i) {
        QWidget* a = controls[i];
        for (int j = i + 1; j < controls.size(); ++j) {
            QWidget* b = controls[j];
            // A label's text and the controls placed inside the label
            // (the status bar's fields) share its room too.
            const bool related = a->parentWidget() == b->parentWidget() ||
                                 (b->parentWidget() == a && qobject_cast<QLabel*>(a)) ||
                                 (a->parentWidget() == b && qobject_cast<QLabel*>(b));
            if (!related) continue;
            const QRect ra = captionRect(a, window), rb = captionRect(b, window);
            EXPECT_FALSE(ra.intersects(rb)) << a->objectName().toStdString() << " " << ra.x() << "," << ra.y() << " "
                                            << ra.width() << "x" << ra.height() << " lies over "
                                            << b->objectName().toStdString() << " " << rb.x() << "," << rb.y() << " "
                                            << rb.width() << "x" << rb.height();
        }
        // The caption fits.
        const char* name = nullptr;
        int need = 0, room = 0;
        if (const auto* label = qobject_cast<const QLabel*>(a)) {
            need = textWidth(label->font(), label->text());
            room = label->contentsRect().width();
            name = "label";
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(a); button && !button->text().isEmpty()) {
            need = button->sizeHint().width();
            room = button->width();
            name = "button";
        } else if (const auto* flat = qobject_cast<const ui::TFlatButton2*>(a);
                   flat && !flat->Caption().isEmpty() && flat->ImageID() < 0) {
            need = textWidth(flat->Font(), flat->Caption()) + 4;
            room = flat->width();
            name = "flat button";
        } else if (const auto* box = qobject_cast<const QGroupBox*>(a)) {
            need = textWidth(box->font(), box->title()) + 16;
            room = box->width();
            name = "group";
        }
        if (name) {
            EXPECT_LE(need, room) << name << " " << a->objectName().toStdString() << " cuts its caption";
        }
    }
}

class WindowFitTest : public tandex::testing::EditedWindowFixture {};

// The main window on a pair with long lines, marks far to the right and a
// difference on the last line, from a small window to a large screen.
TEST_F(WindowFitTest, MainWindowAtSmallMediumAndLargeSizes) {
    QStringList left, right;
    for (int i = 1; i <= 60; ++i) left << QStringLiteral("line %1 ").arg(i) + QString(i % 7 == 0 ? 180 : 20, u'a');
    right = left;
    right[6] = left[6] + QStringLiteral(" mark");
    right[59] = QStringLiteral("changed last line");
    config::AppSettings().TCSelFirstDif = true;
    config::AppSettings().GSDetailPanel = true;
    config::AppSettings().GSShowDPRuler = true;
    config::AppSettings().TCShowRuler = true;
    ui::TF_Main& w = load(left, right);
    for (QSize size : {QSize(480, 320), QSize(1000, 700), QSize(1920, 1080)}) {
        SCOPED_TRACE(size.width());
        w.resize(size);
        w.firePendingJobs();
        settle();
        w.updateStatusBar();
        tandex::testing::GrabToPng(&w, QStringLiteral("WindowFit.Main%1").arg(size.width()));
        expectTidy(&w);
        // Both rulers cover their own pane at the new width.
        const QImage ruler = w.I_MLRuler->pixmap().toImage();
        EXPECT_EQ(ruler.size(), w.I_MLRuler->size());
        const QImage details = w.I_DPRuler->pixmap().toImage();
        EXPECT_EQ(details.size(), w.I_DPRuler->size());
    }
    // The Search menu names each key once.
    for (QAction* item : w.findChild<QMenu*>(QStringLiteral("Navigation1"))->actions()) {
        const QString shownKeys = item->text().section(u'\t', 1) + u' ' + item->shortcut().toString();
        for (const QString& key : shownKeys.split(u' ', Qt::SkipEmptyParts))
            EXPECT_EQ(shownKeys.count(key), 1) << item->text().toStdString();
    }
}

// The top ruler's numbers follow a pane's columns after the window grew:
// the tenth column's number stands over the tenth column of the right pane.
TEST_F(WindowFitTest, TopRulerFollowsThePanesAfterAResize) {
    config::AppSettings().TCShowRuler = true;
    ui::TF_Main& w = load({QString(300, u'a')}, {QString(300, u'b')});
    for (int width : {700, 1500}) {
        w.resize(width, 500);
        w.firePendingJobs();
        settle();
        const QImage ruler = w.I_MLRuler->pixmap().toImage();
        ASSERT_EQ(ruler.width(), w.I_MLRuler->width());
        // The tick of column 10 of each pane, a full-height line.
        for (int textX : {w.Geometry().leftTextX, w.Geometry().rightTextX}) {
            const int x = textX + 1 + w.CharWidth() / 2 + 9 * w.CharWidth();
            const QRgb tick = ruler.pixel(x, ruler.height() / 2);
            const QRgb background = ruler.pixel(x + w.CharWidth() / 2, ruler.height() / 2);
            EXPECT_NE(tick, background) << "no tick of column 10 at " << x << " (window " << width << ")";
        }
    }
}

TEST_F(WindowFitTest, ImageComparisonWindowAtItsDefaultSize) {
    ui::TF_Main& w = makeWindow();
    QImage left(120, 80, QImage::Format_RGB32), right(120, 80, QImage::Format_RGB32);
    left.fill(qRgb(200, 30, 30));
    right.fill(qRgb(200, 30, 30));
    for (int y = 20; y < 60; ++y)
        for (int x = 30; x < 90; ++x) right.setPixel(x, y, qRgb(30, 200, 30));
    const QString l = dir_.filePath(QStringLiteral("l.png")), r = dir_.filePath(QStringLiteral("r.png"));
    ASSERT_TRUE(left.save(l) && right.save(r));
    w.loadAndCompare(3, l, r);
    ui::TfImgCompare* c = w.ImgCompareWindow();
    ASSERT_TRUE(c->isVisible());
    settle();
    for (int mode = 0; mode < 4; ++mode) {
        SCOPED_TRACE(mode);
        c->fbButtonClick(mode);
        settle();
        tandex::testing::GrabToPng(c, QStringLiteral("WindowFit.ImageCompare%1").arg(mode));
        expectTidy(c);
    }
    // The status tells its whole text once the window is wide enough.
    c->resize(1200, c->height());
    settle();
    EXPECT_GE(c->lStatus->width(), textWidth(c->lStatus->font(), c->lStatus->text()));
}

TEST_F(WindowFitTest, FindAndReplaceDialogsAtTheirSize) {
    ui::TF_Main& w = load({"a"}, {"b"});
    for (bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        if (replace)
            w.Replace1Click(nullptr);
        else
            w.Find1Click(nullptr);
        ui::TfReplace* d = w.FindDialog();
        ASSERT_TRUE(d->isVisible());
        settle();
        tandex::testing::GrabToPng(d, QStringLiteral("WindowFit.Find%1").arg(replace));
        expectTidy(d);
        d->hide();
    }
}

}  // namespace
