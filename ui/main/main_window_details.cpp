// The details panel below the panes and the two column rulers: the
// caret row of both panes in full, in the chosen mode, and the caret
// column marked on the rulers.

#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "flat_button.h"

namespace tandex::ui {

namespace {

// Forwards the events of a details field to the window's handlers.
class DetailsFieldEvents : public QObject {
public:
    DetailsFieldEvents(TF_Main* window, QTextEdit* field, int pane)
        : QObject(field), window_(window), field_(field), pane_(pane) {
        field->installEventFilter(this);
        field->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::FocusOut:
            if (watched == field_) window_->eLine1Exit();
            break;
        case QEvent::MouseButtonPress:
            window_->eLine1MouseDown();
            break;
        case QEvent::MouseButtonRelease:
            window_->eLine1Click(pane_);
            break;
        case QEvent::KeyPress:
            if (watched == field_) {
                const auto* key = static_cast<QKeyEvent*>(event);
                return window_->eLine1KeyDown(field_, key->key(), key->modifiers());
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    TF_Main* window_;
    QTextEdit* field_;
    int pane_;
};

quint32 colorOfSet(int entry) {
    const auto& s = config::AppSettings();
    const int index = qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1);
    return s.ColorSets[size_t(index)][size_t(entry)];
}

// One formatting call per run of equal classes; the caret's run gets its
// background.
void fillField(QTextEdit* field, const TDetailsResult& r, int side, int visible, const TDetailsColors& colors) {
    const QString text = detailsFieldText(r, side + 1, visible);
    field->setPlainText(text);
    QPalette pal = field->palette();
    pal.setColor(QPalette::Base, colors.background);
    pal.setColor(QPalette::Text, colors.forClass(dcEqual));
    field->setPalette(pal);
    const auto& classes = r.classes[size_t(side)];
    const int first = r.scrollOffset - 1;
    QTextCursor cursor(field->document());
    for (int k = 0; k < text.size();) {
        const quint8 cls = classes[size_t(first + k)];
        int end = k + 1;
        while (end < text.size() && classes[size_t(first + end)] == cls) ++end;
        QTextCharFormat format;
        format.setForeground(colors.forClass(cls & 15));
        if (cls & kDetailsCaretBit) format.setBackground(colors.caretBackground(cls & 15));
        cursor.setPosition(k);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.setCharFormat(format);
        k = end;
    }
    QTextCursor start(field->document());
    field->setTextCursor(start);
}

// Puts a field's selection on the clipboard as the text it stands for.
void copyFieldSelection(const QTextEdit* field) {
    const QTextCursor c = field->textCursor();
    if (c.hasSelection()) QApplication::clipboard()->setText(detailsCopyText(c.selectedText()));
}

}  // namespace

void TF_Main::createDetailsPanel() {
    P_ETit1->setText(QStringLiteral("L-Pane:"));
    P_ETit2->setText(QStringLiteral("R-Pane:"));
    auto popupOn = [this](QWidget* w) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& at) {
            pmDetailsPanelPopup(pmDetailsPanel);
            pmDetailsPanel->exec(w->mapToGlobal(at));
        });
    };
    popupOn(P_Feet);
    int pane = 1;
    for (QTextEdit* e : {eLine1, eLine2}) {
        e->setReadOnly(true);
        e->setLineWrapMode(QTextEdit::NoWrap);
        e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        e->setFrameStyle(QFrame::NoFrame);
        e->setAcceptRichText(false);
        e->setUndoRedoEnabled(false);
        e->document()->setDocumentMargin(0);
        e->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        popupOn(e);
        new DetailsFieldEvents(this, e, pane++);
    }
    hScrollBarDP->setMinimum(0);
    connect(hScrollBarDP, &QScrollBar::valueChanged, this, [this](int position) { hScrollBarDPScroll(position); });
    fbAlignDetails->OnClick = [this](QObject* sender) { fbSyncDetailsClick(sender); };

    pmDetailsPanel = new QMenu(this);
    pmDetailsPanel->setObjectName(QStringLiteral("pmDetailsPanel"));
    auto item = [this](const char* name, const QString& caption) {
        QAction* a = pmDetailsPanel->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    miCopy = item("miCopy", QStringLiteral("Copy"));
    connect(miCopy, &QAction::triggered, this, [this] { copyDetailsSelection(miCopy); });
    pmDetailsPanel->addSeparator();
    miShowAlignText = item("miShowAlignText", QStringLiteral("Aligned text"));
    miShowHEX = item("miShowHEX", QStringLiteral("HEX"));
    miShowAlignedHEX = item("miShowAlignedHEX", QStringLiteral("Aligned HEX"));
    for (QAction* a : {miShowAlignText, miShowHEX, miShowAlignedHEX}) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, a] { fbSyncDetailsClick(a); });
    }
    pmDetailsPanel->addSeparator();
    miDetailsVisibleWS = item("miVisibleWS", QStringLiteral("Visible withe spaces"));
    miDetailsShowRuler = item("miShowRuler", QStringLiteral("Show ruler"));
    for (QAction* a : {miDetailsVisibleWS, miDetailsShowRuler}) a->setCheckable(true);
    connect(miDetailsVisibleWS, &QAction::triggered, this, [this] { miVisibleWSClick(miDetailsVisibleWS); });
    connect(miDetailsShowRuler, &QAction::triggered, this, [this] { miShowRulerClick(miDetailsShowRuler); });
    miDetailsVisibleWS->setChecked(config::AppSettings().GSVWSDetail);
    miDetailsShowRuler->setChecked(config::AppSettings().GSShowDPRuler);
    applyDetailsColors();
}

// ---- the fields ---------------------------------------------------------------

void TF_Main::showDetailsLine(int row) {
    const auto& s = config::AppSettings();
    const auto& st = engine::paneStores();
    TDetailsInput in;
    in.binaryView = viewType_ == vtBinary;
    for (int pane = 1; pane <= 2; ++pane) {
        TDetailsSide& side = in.side[size_t(pane - 1)];
        side.text = engine::rows().RowText(pane, row);
        side.gap = engine::rows().IsGapLine(pane, row);
        side.kind = st.FileKinds[size_t(pane)] & 0x7F;
        side.lineBreak = st.LineEndings[size_t(pane)];
        if (in.binaryView) side.numberText = engine::rows().RowNumberText(pane, row);
    }
    if (!in.binaryView && engine::rows().RowHasCharFlags(row))
        for (int pane = 1; pane <= 2; ++pane)
            if (const auto* flags = engine::rows().RowCharFlags(pane, row)) in.side[size_t(pane - 1)].flags = *flags;
    in.mode = s.GSDetailView;
    in.activePane = getActivePane(viewType_);
    in.caretColumn = engine::editor().GetCaretColumn();
    in.visibleBlanks = s.GSVWSDetail;
    in.maxColumns = s.TEMaxColumns;
    in.hexBytes = s.BCHEXBytes;
    // The folder view shows the entry paths here once it exists.
    if (viewType_ != vtText && viewType_ != vtBinary) in.side = {};
    showDetails(in, row);
}

void TF_Main::showDetails(TDetailsInput in, int row) {
    P_Feet->setUpdatesEnabled(false);
    if (details_.row != -2 && details_.row != -3) {
        details_.scrollOffset = 1;
        const QSignalBlocker block(hScrollBarDP);
        hScrollBarDP->setValue(0);
    }
    const int visible = qMax(1, eLine1->width() / qMax(1, charWidth_));
    hScrollBarDP->setPageStep(visible);
    in.detailsRow = details_.row;
    in.scrollOffset = details_.scrollOffset;
    in.visibleColumns = visible;
    details_.shown = buildDetailsLine(in);
    details_.hexFlag = details_.shown.hexShown;
    details_.scrollOffset = details_.shown.scrollOffset;
    const int active = in.activePane == 2 ? 1 : 0;
    QTextEdit* fields[] = {eLine1, eLine2};
    fillField(fields[active], details_.shown, active, visible, details_.colors);
    fillField(fields[1 - active], details_.shown, 1 - active, visible, details_.colors);
    {
        const QSignalBlocker block(hScrollBarDP);
        hScrollBarDP->setMaximum(qMax(details_.shown.longest + 2, visible) - visible);
    }
    details_.row = row;
    // A new layout leaves the ruler's picture at its old size.
    if (details_.scrollOffset != details_.rulerOffset || I_DPRuler->pixmap().size() != I_DPRuler->size()) {
        const QSignalBlocker block(hScrollBarDP);
        hScrollBarDP->setValue(details_.scrollOffset - 1);
        if (config::AppSettings().GSShowDPRuler) drawDPRuler(false);
    }
    P_Feet->setUpdatesEnabled(true);
    P_Feet->update();
}

void TF_Main::hScrollBarDPScroll(int position) {
    if (position + 1 == details_.scrollOffset) return;
    details_.scrollOffset = position + 1;
    details_.row = -3;
    showDetailsLine(engine::editor().GetCaretRow());
    eLine1->repaint();
    eLine2->repaint();
}

// ---- the mode button and the popup ----------------------------------------------

void TF_Main::fbSyncDetailsClick(QObject* sender) {
    auto& mode = config::AppSettings().GSDetailView;
    const QAction* items[] = {miShowAlignText, miShowHEX, miShowAlignedHEX};
    const auto* hit = std::find(std::begin(items), std::end(items), sender);
    if (hit != std::end(items)) {
        const int itemMode = int(hit - std::begin(items)) + 1;
        // The item was checked before the click when it showed the mode.
        mode = mode == itemMode ? 0 : itemMode;
    } else {
        mode = (qBound(0, mode, 3) + 1) % 4;
    }
    updateDetailsButton();
    setFocus();
}

void TF_Main::updateDetailsButton() {
    static const char* const captions[] = {"Text", "Aligned text", "HEX", "Aligned HEX"};
    static const char* const hints[] = {" Click to show aligned text ", " Click to show as HEX ",
                                        " Click to show as aligned HEX ", " Click to show text "};
    const int mode = qBound(0, config::AppSettings().GSDetailView, 3);
    const bool enabled = fbAlignDetails->Enabled();
    QPalette pal = fbAlignDetails->palette();
    if (enabled) {
        fbAlignDetails->setCursor(Qt::PointingHandCursor);
        fbAlignDetails->SetBgColorFlat(colorOfSet(config::TabActCol));
        pal.setColor(QPalette::WindowText, colorOfBgr(colorOfSet(config::TabActTxtCol)));
        fbAlignDetails->SetCaption(QString::fromLatin1(captions[mode]));
        fbAlignDetails->setToolTip(QString::fromLatin1(hints[mode]));
    } else {
        fbAlignDetails->unsetCursor();
        fbAlignDetails->SetBgColorFlat(0xFF000000);
        pal.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
    }
    fbAlignDetails->setPalette(pal);
    miShowAlignText->setChecked(mode == dmAlignedText);
    miShowHEX->setChecked(mode == dmHex);
    miShowAlignedHEX->setChecked(mode == dmAlignedHex);
    fbAlignDetails->update();
    details_.row = -2;
    if (enabled) showDetailsLine(engine::editor().GetCaretRow());
}

void TF_Main::pmDetailsPanelPopup(QObject*) {
    miCopy->setEnabled(eLine1->textCursor().hasSelection() || eLine2->textCursor().hasSelection());
    miDetailsVisibleWS->setVisible(viewType_ != vtFolder);
    for (QAction* a : {miShowAlignText, miShowHEX, miShowAlignedHEX}) a->setVisible(viewType_ == vtText);
    if (viewType_ != vtFolder)
        miDetailsVisibleWS->setEnabled(config::AppSettings().GSDetailView < 2 || viewType_ == vtBinary);
}

void TF_Main::miShowRulerClick(QObject*) {
    auto& s = config::AppSettings();
    s.GSShowDPRuler = !s.GSShowDPRuler;
    miDetailsShowRuler->setChecked(s.GSShowDPRuler);
    // Force the layout to run again, scroll bar decision included.
    lastHeight_ = 1;
    hScrollNeeded_ = !hScrollNeeded_;
    refreshLayout();
    if (s.GSShowDPRuler) drawDPRuler(false);
}

void TF_Main::miVisibleWSClick(QObject*) {
    auto& s = config::AppSettings();
    s.GSVWSDetail = !s.GSVWSDetail;
    miDetailsVisibleWS->setChecked(s.GSVWSDetail);
    details_.row = -3;
    showDetailsLine(engine::editor().GetCaretRow());
}

void TF_Main::applyDetailsColors() {
    details_.colors = detailsColorsOfSet(config::AppSettings().COSetIdx);
    details_.row = -1;
    details_.rulerOffset = 0;
    details_.rulerPane = 0;
    details_.rulerCaretColumn = -1;
    for (QWidget* w : {static_cast<QWidget*>(P_ETit1), static_cast<QWidget*>(P_ETit2)}) {
        w->setAutoFillBackground(true);
        QPalette pal = w->palette();
        pal.setColor(QPalette::Window, details_.colors.background);
        pal.setColor(QPalette::WindowText, details_.colors.forClass(dcEqual));
        w->setPalette(pal);
    }
    updateDetailsButton();
}

// ---- copy and the fields' events ------------------------------------------------

bool TF_Main::copyDetailsSelection(QObject* sender) {
    QTextEdit* field = eLine1->hasFocus() ? eLine1 : eLine2->hasFocus() ? eLine2 : nullptr;
    // The popup took the focus: its Copy means the field with a selection.
    if (!field && sender == miCopy)
        field = eLine1->textCursor().hasSelection() ? eLine1 : eLine2;
    if (!field) return false;
    copyFieldSelection(field);
    return true;
}

void TF_Main::eLine1Click(int pane) {
    // The editor acts on its own active side: typing, undo and copy must
    // go to the pane the user clicked, as after a click in the panes.
    setActivePane(viewType_, pane);
    engine::editor().SetActiveSide(pane);
}

void TF_Main::eLine1Exit() { drawDPRuler(false); }

void TF_Main::eLine1MouseDown() { scheduleDetailsRuler(); }

bool TF_Main::eLine1KeyDown(QTextEdit* field, int key, Qt::KeyboardModifiers shift) {
    QTextEdit* other = field == eLine1 ? eLine2 : eLine1;
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        other->setFocus();
        scheduleDetailsRuler();
        return true;
    }
    // Ctrl+C copies this field's selection, not the other field's.
    if (key == Qt::Key_C && (shift & Qt::ControlModifier)) {
        copyFieldSelection(field);
        return true;
    }
    scheduleDetailsRuler();
    return false;
}

void TF_Main::scheduleDetailsRuler() {
    // The field moves its cursor after the event: the ruler follows a
    // moment later, through the paint timer's ruler job.
    if (!paintTimer->isActive()) paintTimer->start();
}

// ---- the rulers ---------------------------------------------------------------

void TF_Main::drawDPRuler(bool marked) {
    const auto& s = config::AppSettings();
    details_.rulerOffset = details_.scrollOffset;
    if (I_DPRuler->width() <= 0 || I_DPRuler->height() <= 0) return;
    QImage image(I_DPRuler->size(), QImage::Format_RGB32);
    image.fill(colorOfBgr(colorOfSet(config::RulerBgCol)));
    TRulerSpec r;
    r.width = image.width();
    r.height = image.height();
    r.charWidth = charWidth_;
    r.firstColumn = details_.scrollOffset;
    r.lastColumn = details_.scrollOffset + eLine1->width() / qMax(1, charWidth_);
    r.numberLimitX = eLine1->x() + 10;
    r.startX = eLine1->x() - 2;
    r.lineNumbers = s.GSLineNr;
    r.flat = config::FlatLook() != 0;
    r.font = P_Feet->font();
    r.textColor = colorOfBgr(colorOfSet(config::RulerTxtCol));
    if (marked) {
        if (eLine1->hasFocus())
            r.markedColumn = eLine1->textCursor().position() + details_.scrollOffset;
        else if (eLine2->hasFocus())
            r.markedColumn = eLine2->textCursor().position() + details_.scrollOffset;
        else
            r.markedColumn = engine::editor().GetCaretColumn();
    }
    QPainter p(&image);
    drawRuler(p, r);
    p.end();
    I_DPRuler->setPixmap(QPixmap::fromImage(image));
}

void TF_Main::redrawPaneRuler() {
    // A picture of another size starts both halves anew.
    details_.paneRuler = QImage();
    details_.rulerCaretColumn = -1;
    drawRulerMarker(getActivePane(viewType_));
}

void TF_Main::drawRulerMarker(int pane) {
    const int caret = engine::editor().GetCaretColumn();
    if (caret == details_.rulerCaretColumn && pane == details_.rulerPane) return;
    details_.rulerCaretColumn = caret;
    const QSize size = I_MLRuler->size();
    if (size.width() <= 0 || size.height() <= 0) return;
    if (details_.paneRuler.size() != size) {
        details_.paneRuler = QImage(size, QImage::Format_RGB32);
        details_.paneRuler.fill(colorOfBgr(colorOfSet(config::RulerBgCol)));
        details_.rulerPane = 0;
    }
    const auto& g = geometry_;
    auto drawHalf = [&](int half, bool marked) {
        // Each pane's half reaches to where the other pane's text starts,
        // so both cover their own columns wherever the splitter stands.
        const int textX = half == 1 ? g.leftTextX : g.rightTextX;
        const int left = half == 1 ? 0 : g.rightTextX;
        const int right = half == 1 && !singlePaneView_ ? g.rightTextX : size.width();
        QPainter p(&details_.paneRuler);
        p.setClipRect(left, 0, right - left, size.height());
        p.fillRect(left, 0, right - left, size.height(), colorOfBgr(colorOfSet(config::RulerBgCol)));
        TRulerSpec r;
        r.width = right;
        r.height = size.height() - 2;
        r.charWidth = charWidth_;
        r.firstColumn = std::max(1, hScrollBar->value());  // the painter's first column
        r.lastColumn = r.firstColumn + (half == 1 ? g.visibleColsLeft : g.visibleColsRight) - 2;
        r.numberLimitX = textX;
        r.startX = textX - 2;
        r.lineNumbers = config::AppSettings().GSLineNr;
        r.flat = config::FlatLook() != 0;
        r.font = P_Feet->font();
        r.textColor = colorOfBgr(colorOfSet(config::RulerTxtCol));
        r.markedColumn = marked ? caret : 0;
        drawRuler(p, r);
    };
    if (details_.rulerPane == 0) {
        if (!singlePaneView_) drawHalf(pane == 1 ? 2 : 1, false);
    } else {
        drawHalf(details_.rulerPane, details_.rulerPane == pane);
    }
    if (details_.rulerPane != pane) {
        details_.rulerPane = pane;
        drawHalf(pane, true);
    }
    I_MLRuler->setPixmap(QPixmap::fromImage(details_.paneRuler));
}

}  // namespace tandex::ui
