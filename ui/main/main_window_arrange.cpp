// Applying the layout geometry to the widgets, the pane font and colours,
// and writing the status bar and its labels.

#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "cell_text.h"
#include "compare_bin.h"
#include "command_windows.h"
#include "flat_button.h"
#include "folder_view_seam.h"
#include "main_window.h"
#include "print_seams.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

void place(QWidget* w, const QRect& r) { w->setGeometry(r); }

void place(TFlatButton2* b, const QRect& r) {
    b->move(r.topLeft());
    b->SetHeight(r.height());
}

}  // namespace

TLayoutInput TF_Main::layoutInput() const {
    const auto& s = config::AppSettings();
    TLayoutInput in;
    in.clientWidth = Client->width();
    in.clientHeight = Client->height();
    in.viewType = viewType_;
    in.singlePaneView = singlePaneView_;
    in.folderTreeActive = viewType_ == vtFolder && s.FCTreeView;
    in.lineNumbers = s.GSLineNr;
    in.showDiffBar = s.GSShowDiffBar;
    in.diffBarPixels = config::ScaleDpi(s.GSTNBarWidth);
    in.statusBar = s.GSStaDisp;
    in.detailPanel = s.GSDetailPanel;
    in.detailRuler = s.GSShowDPRuler;
    in.guiStyle = s.GSGUIStyle;
    in.textRuler = s.TCShowRuler;
    in.binaryRuler = s.BCShowRuler;
    in.fcTreeView = s.FCTreeView;
    in.fcShowSize = s.FCShowSize;
    in.fcShowDT = s.FCShowDT;
    in.fcShowAttr = s.FCShowAttr;
    in.fcHScroll = s.FCHScroll;
    in.hexBytes = s.BCHEXBytes;
    in.charWidth = charWidth_;
    in.lineHeight = lineHeight_;
    in.headRowHeight = headRowHeight_;
    // The numbers are drawn in the pane font.
    in.lineNumberTextWidth =
        QFontMetrics(paneFont_).horizontalAdvance(QString(engine::rows().LineNumberWidth, QLatin1Char('8')));
    // The captions are drawn in the details panel's font (the pane font).
    in.detailCaptionWidth = P_ETit1->fontMetrics().horizontalAdvance(P_ETit1->text()) + config::Helpers().DpiPx10;
    in.dpiFactor = config::Helpers().DpiFactor;
    in.dpiPx2 = config::Helpers().DpiPx2;
    in.scale6 = config::ScaleDpi(6);
    in.splitOffset = splitOffset_;
    in.maxFolderDepth = folderView().FolderMaxDepth();
    in.midStripWidth = midStripWidth_;
    in.midStripHalf = midStripHalf_;
    in.vScrollBarWidth = vScrollBar->sizeHint().width();
    in.vScrollVisible = !vScrollBar->isHidden();
    in.headerHeight = HC1->sizeHint().height();
    in.openButtonWidth = fbOpenFolderL->Width();
    in.saveButtonWidth = fbSaveFileL->Width();
    in.selectButtonWidth = fbLSelAll->Width();
    in.swapButtonWidth = fbSWAP->Width();
    if (viewType_ == vtBinary) {
        in.longestLeft = in.longestRight = s.BCHEXBytes * 4 + 1;
    } else if (viewType_ == vtText) {
        in.longestLeft = engine::paneStores().LongestLine[1];
        in.longestRight = engine::paneStores().LongestLine[2];
    }
    in.hScrollNeeded = hScrollNeeded_;
    return in;
}

void TF_Main::arrangeLayout(int viewType) {
    // A report's pages hold the geometry until the report ends, which lays
    // the screen out again.
    if (printing_) return;
    viewType_ = viewType;
    const int oldLeftTextX = geometry_.leftTextX;
    if (started_) LockWindowRedraw(this);
    rulerScrollPos_ = -1;
    geometry_ = tandex::ui::arrangeLayout(layoutInput());
    applyGeometry(geometry_);
    if (started_) UnlockWindowRedraw(this, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_NOERASE);
    if (oldLeftTextX != geometry_.leftTextX) engine::editor().RefreshCaret();
    ++layoutRuns_;
}

bool TF_Main::updateHScrollBar() {
    const bool needed = hScrollNeededFor(layoutInput(), geometry_);
    if (needed == hScrollNeeded_) return false;
    hScrollNeeded_ = needed;
    arrangeLayout(viewType_);
    return true;
}

QPoint TF_Main::defaultFormPos(const QWidget* form) const {
    if (form->y() >= 0) return form->pos();
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const int frameWidth = (frame.width() - inner.width()) / 2;
    // Frame and caption lie between the frame's top and the client's.
    const int top = frame.top() + ToolBar1->height() + eFN1->height() / 2 + (inner.top() - frame.top()) +
                    menuBar()->height();
    return QPoint(config::MainFormRelativePos(1, form->width()) + frameWidth, top);
}

void TF_Main::applyGeometry(const TLayoutGeometry& g) {
    I_MLRuler->setVisible(g.rulerVisible);
    if (g.rulerVisible) place(I_MLRuler, g.ruler);
    for (int i = 0; i < 12; ++i) HC1->resizeSection(i, qMax(0, g.sectionWidths[size_t(i)]));
    const QString ln = g.lineNumberCaptions ? QStringLiteral("Ln#") : QString();
    HC1->model()->setHeaderData(0, Qt::Horizontal, ln);
    HC1->model()->setHeaderData(6, Qt::Horizontal, ln);
    HC1->setVisible(g.headerVisible);
    if (g.headerVisible) place(HC1, g.header);

    place(P_Head, g.head);
    for (auto [w, r] : {std::pair<QWidget*, QRect>{eFN1, g.eFN1}, {eFN2, g.eFN2}, {pAI1, g.pAI1}, {pAI2, g.pAI2},
                        {Bevel1, g.bevel1}, {Bevel2, g.bevel2}})
        place(w, r);
    pAI1->show();
    pAI2->show();
    for (auto [b, r] : {std::pair<TFlatButton2*, QRect>{fbOpenFolderL, g.fbOpenFolderL}, {fbSaveFileL, g.fbSaveFileL},
                        {fbLSelAll, g.fbLSelAll}, {fbLSelNew, g.fbLSelNew}, {fbSWAP, g.fbSWAP},
                        {fbOpenFolderR, g.fbOpenFolderR}, {fbSaveFileR, g.fbSaveFileR}, {fbRSelAll, g.fbRSelAll},
                        {fbRSelNew, g.fbRSelNew}})
        place(b, r);

    P_DiffBar->setVisible(g.diffBarVisible);
    if (g.diffBarVisible && P_DiffBar->geometry() != g.diffBar) {
        place(P_DiffBar, g.diffBar);
        nBarRebuild_ = true;
    }
    place(vScrollBar, g.vScroll);
    hScrollBar->setVisible(g.hScrollVisible);
    place(hScrollBar, g.hScroll);
    // In the image view the bar is the zoom bar, with a range of its own.
    if (viewType_ != vtImage) {
        hScrollBar->setPageStep(g.hScrollPage);
        hScrollBar->setMaximum(g.hScrollMax);
    }
    place(P_MID, g.mid);
    placeRowArea(g);
    placeImagePanels(false);

    P_StatusBar->setVisible(g.statusVisible);
    place(P_StatusBar, g.status);
    P_Feet->setVisible(g.feetVisible);
    if (g.feetVisible) {
        place(P_Feet, g.feet);
        I_DPRuler->setVisible(config::AppSettings().GSShowDPRuler);
        place(I_DPRuler, g.dpRuler);
        for (auto [w, r] : {std::pair<QWidget*, QRect>{P_ETit1, g.eTit1}, {P_ETit2, g.eTit2}, {eLine1, g.eLine1},
                            {eLine2, g.eLine2}, {hScrollBarDP, g.hScrollDP}})
            place(w, r);
        // The mode button is as wide as its longest caption in a small font,
        // so switching the mode never clips or moves it.
        QFont small = fbAlignDetails->Font();
        small.setPixelSize(std::max(1, int(std::lround(g.fbAlignDetails.height() / 1.8))));
        fbAlignDetails->SetFont(small);
        const QFontMetrics fm(small);
        int captionWidth = 0;
        for (const char* caption : {"Text", "Aligned text", "HEX", "Aligned HEX"})
            captionWidth = std::max(captionWidth, fm.horizontalAdvance(QLatin1String(caption)) + 6);
        fbAlignDetails->SetWidth(std::max(g.fbAlignDetails.width(), captionWidth));
        place(fbAlignDetails, g.fbAlignDetails);
    }
}

void TF_Main::placeImagePanels(bool /*force*/) {
    const TLayoutGeometry& g = geometry_;
    // A panel is placed only while it shows a picture; the folder view has none.
    if (!g.imagePanelsVisible) {
        P_LImage->hide();
        P_RImage->hide();
        return;
    }
    for (auto [panel, memo, r] : {std::tuple<QWidget*, QPlainTextEdit*, QRect>{P_LImage, M_LOpenErr, g.leftImage},
                                  {P_RImage, M_ROpenErr, g.rightImage}}) {
        if (panel->isHidden()) continue;
        panel->setGeometry(r);
        memo->setGeometry(0, 0, r.width(), r.height());
    }
}

void TF_Main::refreshLayout() {
    if (printing_) return;
    if (height() != lastHeight_) lastHeight_ = height();
    arrangeLayout(viewType_);
    placeImagePanels(false);
    rePosImgTitle();
    if (viewType_ == vtFolder || viewType_ == vtText || viewType_ == vtBinary) updateHScrollBar();
    showFileNames();
    if (started_) {
        // The details are laid out for the new width: fields and ruler anew.
        details_.row = -1;
        detailsRow_ = -1;
        refreshDetails(engine::editor().GetCaretRow());
        if (config::AppSettings().GSShowDPRuler && !P_Feet->isHidden()) drawDPRuler(false);
    }
    if (tabBar_.shrunk || Client->width() < tabBar_.totalWidth) fitTabWidths();
    update();
}

void TF_Main::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The bar's scale is its height over the rows; a resize by less than a
    // row keeps the rows but not the height.
    nBarRebuild_ = true;
    // A drag of the window border sends many resizes; the layout runs once,
    // 50 ms after the last.
    armTimer(tjLayout, 50);
}

void TF_Main::applyPaneFont() {
    const auto& s = config::AppSettings();
    const QFont pane = FontOfDesc(s.AFFont);
    const QFontMetrics fm(pane);
    charWidth_ = CellWidthOf(pane);
    lineHeight_ = qMax(1, fm.height());
    headRowHeight_ = QFontMetrics(font()).height() + config::ScaleDpi(5);
    paneFontApplied(pane);
    // The details fields count columns in the pane font, and stand under the
    // details ruler, which counts whole-pixel cells.
    P_Feet->setFont(pane);
    for (QWidget* w : {static_cast<QWidget*>(eLine1), static_cast<QWidget*>(eLine2)})
        w->setFont(CellAlignedFont(pane, charWidth_));
    details_.row = -1;
}

void TF_Main::applyColorScheme() {
    setColorScheme(config::AppSettings().COSetIdx);
    help().ApplyTheme();
    folderView().ApplyTheme(config::FlatLook() != 0);
    commandWindows().ApplySettingsTheme();
}

void TF_Main::setColorScheme(int index) {
    auto& s = config::AppSettings();
    if (index < 0 || index >= int(s.ColorSets.size())) return;
    s.COSetIdx = index;
    const auto& set = s.ColorSets[size_t(index)];
    auto color = [](quint32 bgr) { return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)); };
    QPalette mid = P_MID->palette();
    mid.setColor(QPalette::Window, color(set[config::SplitterCol]));
    P_MID->setPalette(mid);
    buildToolbarImages();
    if (started_) drawTabBar();  // the tabs take the set's tab colours
    applyDetailsColors();
    invalidatePanes(true);
}

// ---- status -----------------------------------------------------------------

TStatusSnapshot TF_Main::statusSnapshot() const {
    TStatusSnapshot s;
    s.viewType = viewType_;
    s.singlePaneView = singlePaneView_;
    s.caretRow = engine::editor().GetCaretRow();
    s.caretColumn = engine::editor().GetCaretColumn();
    const auto& tabs = engine::fccTabs();
    s.leftModified = tabs.IsPaneModified(1);
    s.rightModified = tabs.IsPaneModified(2);
    s.hasRows = viewType_ == vtBinary ? engine::rows().BinaryRowCount > 0
                                      : viewType_ == vtText && engine::rows().TextRowCount > 0;
    s.selectedCount = engine::rows().SelectedCount(viewType_ == vtFolder);
    s.leftName = eFN1->text();
    s.rightName = eFN2->text();
    s.diffCount = engine::fccTabs().GetTabDiffCount();
    if (viewType_ == vtText && compareCut_) s.cutMessage = engine::RowLimitMessage();
    s.folderViewFilter = engine::folderRows().FolderViewFilter;
    s.diffBlockCount = engine::textCompare().GetDiffBlockCount();
    if (viewType_ == vtBinary) s.binaryDiffBytes = compareBin().BinaryDiffSummary();
    engine::textCompare().TextCompareSummary(s.compareSummary);
    s.activePane = getActivePane(viewType_);
    s.zoomLimitReached = zoomLimitReached_;
    s.zoomPercent = zoomPercent_;
    s.updateFailed = updater().UpdateFailed();
    s.showTimes = config::AppSettings().TSShowTimes;
    s.compareToPending = compareToPending_;
    return s;
}

void TF_Main::updateStatusBar() {
    if (!config::AppSettings().GSStaDisp) return;
    showInsertState();
    // The status text ends before the fields at the bar's right end; what
    // does not fit shows in full as the bar's hint.
    const QString text = statusBarText(statusSnapshot());
    int room = P_StatusBar->contentsRect().right() + 1;
    for (QLabel* label : {L_InsertState, L_HiddenLn, lSimLevel})
        if (!label->isHidden()) room = std::min(room, label->x() - charWidth_);
    room -= P_StatusBar->contentsRect().left() + std::max(P_StatusBar->indent(), 0) + P_StatusBar->margin();
    const QString shown = P_StatusBar->fontMetrics().elidedText(text, Qt::ElideRight, std::max(room, 0));
    P_StatusBar->setText(shown);
    P_StatusBar->setToolTip(shown == text ? QString() : text);
    P_StatusBar->repaint();
}

void TF_Main::showInsertState() {
    TInsertStateSnapshot s;
    s.caretViewActive = viewType_ == vtText || viewType_ == vtBinary;
    s.binaryMode = viewType_ == vtBinary;
    s.insertMode = engine::editor().InsertMode == 1;
    s.hiddenRowCount = engine::rows().HiddenRowCount;
    s.singlePaneView = singlePaneView_;
    s.diffCount = engine::fccTabs().GetTabDiffCount();
    s.fuzzyStopState = engine::textCompare().FuzzyStopState;
    s.similarity = config::AppSettings().TCSimilarity;
    const TStatusLabels l = statusLabels(s);
    engine::textCompare().FuzzyStopState = quint8(l.fuzzyStopState);
    for (QLabel* label : {L_InsertState, L_HiddenLn, lSimLevel}) label->setVisible(l.visible);
    if (!l.visible) {
        timHiddenLn->stop();
        return;
    }
    L_InsertState->setText(l.insertText);
    L_InsertState->adjustSize();
    L_InsertState->move(P_StatusBar->width() - L_InsertState->width() - charWidth_, 0);
    L_HiddenLn->setText(l.hiddenText);
    L_HiddenLn->setStyleSheet(l.hiddenAlert ? QStringLiteral("color: red; font-weight: bold;")
                                            : QStringLiteral("color: black;"));
    L_HiddenLn->adjustSize();
    L_HiddenLn->move(L_InsertState->x() - L_HiddenLn->width() - charWidth_, 0);
    if (!l.hiddenAlert) {
        timHiddenLn->stop();
    } else if (!timHiddenLn->isActive()) {
        timHiddenLn->setProperty("Tag", 0);
        timHiddenLn->start(100);
    }
    lSimLevel->setVisible(l.similarityVisible);
    lSimLevel->setText(l.similarityText);
    const quint32 c = l.similarityColor;
    lSimLevel->setStyleSheet(QStringLiteral("color: rgb(%1,%2,%3);").arg(c & 0xFF).arg((c >> 8) & 0xFF).arg((c >> 16) & 0xFF));
    lSimLevel->setToolTip(l.similarityHint);
    lSimLevel->adjustSize();
    lSimLevel->move(L_HiddenLn->x() - lSimLevel->width() - charWidth_, 0);
    // A narrow bar keeps at least a third of its width for the status text;
    // the similarity is also in the settings and the Options menu.
    if (l.similarityVisible && lSimLevel->x() < P_StatusBar->width() / 3) lSimLevel->hide();
}

void TF_Main::timHiddenLnTimer() {
    const int tag = timHiddenLn->property("Tag").toInt() + 1;
    timHiddenLn->setProperty("Tag", tag);
    const bool transparent = !L_HiddenLn->autoFillBackground();
    L_HiddenLn->setAutoFillBackground(transparent);
    if (tag >= 30) timHiddenLn->setInterval(L_HiddenLn->autoFillBackground() ? 200 : 10000);
}

void TF_Main::timFuzzyAbortedTimer() {
    if (engine::textCompare().FuzzyStopState == 0) return;
    engine::textCompare().FuzzyStopState = 0;
    timFuzzyAborted->stop();
    showInsertState();
}

}  // namespace tandex::ui
