// The panes' context menu of the text and binary views, built afresh at
// each right click; Copy and the text it puts on the clipboard; and copying
// the selected lines over the other pane's lines of the same rows.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QMenu>
#include <QTimer>

#include "access/file_times.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "command_windows.h"
#include "copy_lines.h"
#include "engine/editor.h"
#include "engine/main_window_services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "folder_view_seam.h"
#include "hover_text.h"
#include "main_window.h"
#include "main_window_state.h"
#include "print_seams.h"

namespace tandex::ui {

namespace {

constexpr int kAllSelectButtons = 15;

// The menu shows an item only once its command exists.
void showBuilt(QAction* item, bool visible) {
    const QVariant built = item->property("Built");
    item->setVisible(visible && (!built.isValid() || built.toBool()));
}

// A part of a stored line as typed: tab fills folded back into tabs. Folding
// the two prefixes keeps every tab stop where the whole line has it.
QString foldedPart(const QString& line, int first, int last) {
    auto folded = [&line](int n) {
        QString text = line.left(n);
        engine::editor().FoldTabFill(text, 1);
        return text;
    };
    const QString head = folded(first - 1);
    return folded(last - 1).mid(head.size());
}

}  // namespace

void TF_Main::createLineMenu() {
    pmLine = new QMenu(this);
    pmLine->setObjectName(QStringLiteral("pmLine"));
    auto item = [this](const char* name, const QString& caption, bool built) {
        QAction* action = pmLine->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setProperty("Built", built);
        action->setVisible(built);
        return action;
    };
    pmCopy1 = item("pmCopy1", QStringLiteral("Copy"), true);
    connect(pmCopy1, &QAction::triggered, this, [this] { Copy1Click(pmCopy1); });
    // Cut, paste and delete arrive with the editing commands.
    pmCut1 = item("pmCut1", QStringLiteral("Cut"), false);
    pmPaste1 = item("pmPaste1", QStringLiteral("Paste"), false);
    pmDelete1 = item("pmDelete1", QStringLiteral("Delete"), false);
    pmLine->addSeparator();
    pmCopyLines = item("pmCopyLines", QStringLiteral("Copy the selected lines"), true);
    connect(pmCopyLines, &QAction::triggered, this, [this] { BB_COPYTOClick(pmCopyLines); });
    pmLine->addSeparator();
    // The select commands arrive with the select buttons.
    pmSelectAllLines = item("pmSelectalllines1", QStringLiteral("Select all lines"), false);
    pmSelectAllDifLines = item("SelectallDifLines1", QStringLiteral("Select all different lines"), false);
    pmSelectAllAddedLines = item("Selectalladdedlines1", QStringLiteral("Select all added lines"), false);
    pmLine->addSeparator();
    pmLine->addMenu(pmTreatfileAs);
    pmPrintSelection = item("pmPrintSelection", QStringLiteral("PrintPreview && Print selection..."), false);
    pmOpeninexternalEditor21 = item("pmOpeninexternalEditor21", QStringLiteral("Open in external program 1"), true);
    pmOpeninexternalEditor22 = item("pmOpeninexternalEditor22", QStringLiteral("Open in external program 2"), true);
    for (QAction* a : {pmOpeninexternalEditor21, pmOpeninexternalEditor22}) {
        a->setProperty("Tag", a == pmOpeninexternalEditor21 ? 1 : 2);
        // Shown at each popup, once the launcher is installed.
        a->setVisible(false);
        connect(a, &QAction::triggered, this, [this, a] { pmOpeninexternalEditor11Click(a); });
    }
    pmLine->addSeparator();
    pmLineProperties = item("pmLineProperties", QStringLiteral("Properties..."), true);
    connect(pmLineProperties, &QAction::triggered, this, [this] { pmFilePropertiesClick(pmLineProperties); });
    pmExploreLine = item("pmExploreLine", QStringLiteral("Locate file in Explorer"), true);
    connect(pmExploreLine, &QAction::triggered, this, [this] { pmExploreFolderClick(pmExploreLine); });
    pmLine->addSeparator();
    pmLine->addAction(pmCloseView);
    connect(pmLine, &QMenu::aboutToShow, this, [this] { pmFilePopup(pmLine); });

    connect(TB_COPYTO, &QAction::triggered, this, [this] { BB_COPYTOClick(TB_COPYTO); });
    if (auto* copy = findChild<QAction*>(QStringLiteral("Copy1"))) {
        copy->setProperty("Built", true);
        // Shown, so that Ctrl+C works while the Edit menu is not in the bar yet.
        copy->setVisible(true);
        connect(copy, &QAction::triggered, this, [this, copy] { Copy1Click(copy); });
    }
}

void TF_Main::pmFilePopup(QObject*) {
    if (hoverText_) hoverText_->Hide();
}

void TF_Main::buildContextMenu() {
    pickMode(2);
    if (viewType_ == vtImage) {
        showImageMenu(getActivePane(vtImage), QCursor::pos());
        return;
    }
    if (viewType_ == vtFolder) {
        buildFolderContextMenu();
        return;
    }
    if (viewType_ != vtText && viewType_ != vtBinary) return;
    const bool binary = viewType_ == vtBinary;
    auto& r = engine::rows();
    auto& ed = engine::editor();
    showBuilt(pmCopyLines, !binary && !singlePaneView_);
    for (QAction* a : {pmCut1, pmPaste1, pmDelete1}) showBuilt(a, !binary);
    pmTreatfileAs->menuAction()->setVisible(!binary);
    for (QAction* a : {pmCopy1, pmSelectAllLines, pmSelectAllDifLines, pmSelectAllAddedLines}) showBuilt(a, true);
    pmCloseView->setProperty("Tag", engine::fccTabs().CurrentTab);
    const auto& s = config::AppSettings();
    // An empty setting falls back to the desktop's editor, so both items
    // always have a program once the launcher is there.
    for (QAction* a : {pmOpeninexternalEditor21, pmOpeninexternalEditor22}) {
        const bool launcher = commandWindows().Has(cwSharedServices);
        showBuilt(a, launcher);
        a->setEnabled(launcher);
        if (launcher) a->setText(commandWindows().ExternalViewerCaption(a->property("Tag").toInt()));
    }

    const int pane = ed.ActiveSide;
    if (!r.IsRowSelected(pane, ed.Caret.Row)) {
        applySelection(clickShift_, ed.Caret.Row);
        refreshSelection();
        updateControls();
    }
    const int all = r.SelectedCount(false);
    menuPopupPos = Client->mapToGlobal(mouseDownPoint_);

    const bool lines = all > 0;
    for (QAction* a : {pmCopy1, pmCut1, pmDelete1}) a->setEnabled(lines);
    pmCopyLines->setEnabled(true);
    pmCopyLines->setText(copyHint(all, false, pane, s.CFCopyLines).trimmed());
    if (const QList<QImage>* icons = ImageList(16); icons && icons->size() > 36)
        pmCopyLines->setIcon(QIcon(QPixmap::fromImage(icons->at(pane == 1 ? 35 : 36))));
    const QClipboard* clipboard = QApplication::clipboard();
    pmPaste1->setEnabled(clipboard && !clipboard->text().isEmpty());
    pmPrintSelection->setText(singlePaneView_ ? QStringLiteral("PrintPreview && Print selection...")
                                              : QStringLiteral("PrintPreview && Print selection (both panes)..."));
    pmPrintSelection->setEnabled(lines);
    pmLine->popup(menuPopupPos);
}

// ---- copy ------------------------------------------------------------------------

void TF_Main::Copy1Click(QObject* sender) {
    // Ctrl+C reaches this window while the log viewer is open beside it or
    // the help text has the focus: they answer it with their own selection.
    if (folderView().LogViewVisible()) {
        folderView().CopyToClipboard();
        return;
    }
    if (help().CopyFocusedText()) return;
    if (copyDetailsSelection(sender)) return;
    const config::BusyCursor busy;
    QString text = selectedText();
    if (viewType_ == vtFolder && text.endsWith(QLatin1Char('\n'))) text.chop(1);
    if (QClipboard* clipboard = QApplication::clipboard()) clipboard->setText(text);
}

QString TF_Main::selectedText() const {
    const auto& r = engine::rows();
    const auto& st = engine::paneStores();
    const int pane = getActivePane(viewType_);
    if (viewType_ == vtFolder) {
        // Whole paths, so that the lines name the files wherever they are pasted.
        const auto& f = engine::folderRows();
        QString text;
        for (int row = 0; row < f.FolderRowCount; ++row)
            if (f.IsFolderRowSelected(row))
                text += st.FolderRoots[size_t(pane)] + f.FolderRowPath(pane, row) + QLatin1Char('\n');
        return text;
    }
    if (viewType_ != vtText && viewType_ != vtBinary) return {};
    const int count = st.VisibleRowCount();
    QString text;
    for (int row = 0; row < count; ++row) {
        const quint32 range = r.RowSelectionRange(pane, row);
        if (range == 0 || r.IsRowMissing(pane, row)) continue;
        const int index = r.RowIndex(row);
        const QString line = st.BinaryMode ? QString::fromLatin1(st.BinaryLines[size_t(pane)][index]->HexText())
                                           : st.TextLines[size_t(pane)][index]->Text;
        const int first = int(range & 0xFFFF);
        const int last = int(range >> 16);
        const bool toEnd = last == int(engine::kSelectionToEnd) || last > line.size();
        if (first <= 1 && toEnd) {
            text += r.RowCopyText(pane, row) + QLatin1Char('\n');
            continue;
        }
        text += foldedPart(line, first, toEnd ? int(line.size()) + 1 : last);
        if (toEnd) text += QLatin1Char('\n');
    }
    return text;
}

// ---- copy to the other pane ------------------------------------------------------------

void TF_Main::BB_COPYTOClick(QObject*) {
    if (viewType_ == vtFolder)
        copySelectedFiles();
    else if (viewType_ == vtText)
        copySelectedLines();
    resetSelectButtons(kAllSelectButtons);
    updateControls();
    refocusMain();
}

void TF_Main::copySelectedLines() {
    if (editingBlocked()) return;
    pickMode(2);
    auto& r = engine::rows();
    auto& st = engine::paneStores();
    auto& ed = engine::editor();
    const int source = ed.ActiveSide == 2 ? 2 : 1;
    const int target = engine::PaneStores::OtherSide(source);
    if (r.SelectedCount(false) == 0) {
        r.SetRowSelection(source, ed.Caret.Row, 1, true, 0);
        repaintPanes();
    }
    if (r.ActiveSelectionSide() != source) return;
    if (config::AppSettings().CFCopyLines) {
        const QString question = CopyLinesText(r.SelectedCount(false), source) + QLatin1Char('?');
        if (config::showMessage(QStringLiteral("Tandex"), question, config::MsgKind::Question,
                                config::mbYes | config::mbNo, config::mrYes) != config::mrYes)
            return;
    }
    if (st.FileNames[size_t(target)].isEmpty()) {
        newEmptyPane(false, target, access::FZDateTimeToFileTime(QDateTime::currentDateTime()));
        setActivePane(viewType_, source);
        ed.SetActiveSide(source);
    }

    auto& undo = engine::undoStack();
    int changed = 0;
    {
        // Nothing may repaint or edit the panes while their lines change.
        ++busyDepth_;
        undo.BeginUndoGroup();
        undo.PushUndo(engine::ukWindowEdit13, target, ed.Caret.Row, QString(), 0);
        changed = CopyMarkedLinePairs(source);
        if (changed > 0) {
            undo.PushUndo(engine::ukWindowEdit11, target, 0, QString(), 0);
            st.UpdateMaxLineCount();
            st.LineCount[size_t(target)] = st.MaxLineCount;
            engine::mainWindow().renumberLines(target);
        } else {
            undo.PopUndo(target);
        }
        --busyDepth_;
    }
    if (changed > 0) {
        (target == 1 ? P_LImage : P_RImage)->hide();
        recompare();
        refreshView();
    }
    refreshView();
    timHiddenLn->stop();
    showInsertState();
}

}  // namespace tandex::ui
