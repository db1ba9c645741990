// The folder view's file pairs: opening the pair of a row, comparing an
// entry with another one picked by a click, comparing archive pairs as
// folders, re-running the comparison, stepping to the next or previous
// pair from the text view, and the folder-row selection commands that
// reach below closed folders.

#include <QAction>

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "diff_nav.h"
#include "folder_view_seam.h"
#include "hover_text.h"
#include "main_window.h"
#include "main_window_jobs.h"

namespace tandex::ui {

namespace {

constexpr int kImageGraceMs = 50;
constexpr int kPickFile = 0, kPickArchiveOrFolder = 1;
constexpr int kRerun = 1111;
constexpr int kOpExtract = 19;
constexpr quint8 kPresentFile = 0, kPresentFolder = 6;

// The folder rows whatever view is shown: the file steps run from the
// pair's own tab.
class TFolderNavRows : public TNavRows {
public:
    int RowCount() const override { return engine::folderRows().FolderRowCount; }
    bool Differs(int row) const override { return engine::folderRows().FolderRowDiffers(row); }
    int FolderState(int row) const override { return engine::folderRows().RowFolderState(row); }
    int LineNumber(int, int) const override { return -1; }
    int TextLength(int, int) const override { return 0; }
    int OpenFolder(int row) const override {
        if (engine::folderRows().RowFolderState(row) != 1) return 0;
        return std::max(engine::folderRows().ToggleFolderRow(row), 0);
    }
};

}  // namespace

void TF_Main::setPaneFromRow(int row, int side, int pane) {
    auto& st = engine::paneStores();
    const auto& f = engine::folderRows();
    if (!engine::PaneStores::IsPane(side) || !engine::PaneStores::IsPane(pane)) return;
    const QString path = st.FolderRoots[size_t(side)] +
                         (row >= 0 ? f.FolderRowPath(side, row) : f.FolderEntryPath(side, -row));
    // Only "/" parts a Linux path: "\" and ":" are name characters here. A
    // trailing "/" is no split point, nor is the root's own.
    const int cut = path.size() >= 2 ? int(path.lastIndexOf(u'/', path.size() - 2)) : -1;
    if (cut < 1) {
        st.FilePaths[size_t(pane)] = path;
        st.FileNames[size_t(pane)].clear();
        return;
    }
    st.FilePaths[size_t(pane)] = path.left(cut + 1);
    st.FileNames[size_t(pane)] = path.mid(cut + 1);
}

void TF_Main::setPanePair(int leftRow, int rightRow, int rightSide, int leftSide) {
    setPaneFromRow(leftRow, leftSide, 1);
    setPaneFromRow(rightRow, rightSide, 2);
}

void TF_Main::setPanePairFromRow(int row) { setPanePair(row, row, 2, 1); }

void TF_Main::pmCompareFilesClick(QObject*) {
    const int row = engine::editor().Caret.Row;
    const auto& f = engine::folderRows();
    // A folder row has no pair to open; its Enter is the arrow keys' work.
    if (row < 0 || row >= f.FolderRowCount || f.RowFolderState(row) != 0) return;
    saveTabState();
    setPanePairFromRow(row);
    folderListPos_ = row;
    loadMissingPanes();
}

void TF_Main::folderDoubleClick() {
    auto& ed = engine::editor();
    auto& f = engine::folderRows();
    const int row = ed.Caret.Row;
    if (row < 0 || row >= f.FolderRowCount || folderCompareRunning() || !controlsEnabled_) return;
    LastFolderRow = row;
    if (f.RowFolderState(row) != 0 || f.FolderRowStatus(1, row) == 7) {
        // The press before already toggled a folder clicked on its expander.
        const int x = mouseDownPoint_.x();
        const int extra = 16;
        if (!inFolderExpander(1, x, row, extra) && !inFolderExpander(2, x, row, extra)) {
            f.ToggleFolderRow(row);
            updateRowRange();
            repaintPanes();
        }
        return;
    }
    saveTabState();
    setPanePairFromRow(row);
    folderListPos_ = row;
    imageViewBusy_ = true;
    loadMissingPanes();
    // The image view gets a moment before a click may act on its pictures.
    if (viewType_ == vtImage)
        armTimer(tjImageGrace, kImageGraceMs);
    else
        imageViewBusy_ = false;
}

void TF_Main::stepFile(bool forward) {
    auto& f = engine::folderRows();
    if (stepBusy_ || folderListPos_ < 0) return;
    if (!confirmReplacePanes(3)) return;
    stepBusy_ = true;
    const int pane = f.FolderSelectionSide;
    const int from = folderListPos_;
    f.SetFolderRowSelected(pane, from, false);
    const int pos = StepFileRow(TFolderNavRows(), from, forward);
    updateRowRange();
    if (pos < 0) {
        folderListPos_ = 0;
        if (TB_PREVFILE) TB_PREVFILE->setEnabled(false);
        f.SetFolderRowSelected(pane, from, true);
    } else if (pos >= f.FolderRowCount) {
        // Past the last file nothing is loaded and the pair stays marked.
        f.SetFolderRowSelected(pane, from, true);
    } else {
        folderListPos_ = pos;
        f.SetFolderRowSelected(pane, pos, true);
        saveTabState();
        setPanePairFromRow(pos);
        loadMissingPanes();
    }
    stepBusy_ = false;
}

void TF_Main::TB_NEXTFILEClick(QObject*) {
    if (viewType_ != vtFolder && TB_NEXTFILE && TB_NEXTFILE->isEnabled()) stepFile(true);
}

void TF_Main::TB_PREVFILEClick(QObject*) {
    if (viewType_ != vtFolder && TB_PREVFILE && TB_PREVFILE->isEnabled()) stepFile(false);
}

void TF_Main::pmSelectAllInFolderAndSubfolders1Click(QObject*) {
    const int row = engine::editor().Caret.Row;
    auto& f = engine::folderRows();
    if (row < 0 || row >= f.FolderRowCount || f.RowFolderState(row) == 0) return;
    f.SelectFolderTree(getActivePane(vtFolder), row);
    updateRowRange();
    repaintPanes();
    updateControls();
}

// ---- compare-to: an entry with the next one clicked ----------------------------

void TF_Main::pmCompareFileTo1Click(QObject*) {
    if (ViewType() != vtFolder) return;
    pickPurpose = kPickFile;
    pickMode(0);
}

void TF_Main::pmCompareArchiveTo1Click(QObject*) {
    if (ViewType() != vtFolder) return;
    pickPurpose = kPickArchiveOrFolder;
    pickMode(0);
}

bool TF_Main::folderPickAccepts(int pane, int row) const {
    const auto& f = engine::folderRows();
    if (row < 0 || row >= f.FolderRowCount) return false;
    const int status = f.FolderRowStatus(pane, row);
    const bool folder = f.RowFolderState(row) != 0;
    if (pickPurpose == kPickArchiveOrFolder) {
        if (folder) return status == kPresentFolder;
        return status == kPresentFile &&
               access::FZIsArchiveFile(engine::paneStores().FolderRoots[size_t(pane)] + f.FolderRowPath(pane, row));
    }
    return !folder && status == kPresentFile;
}

void TF_Main::compareToAction(int negatedSourceEntry, int targetRow, int sourcePane, int targetPane) {
    // Entry 0 negated reads as row 0, which shows entry 0 whenever it is
    // shown at all: rows keep the entries' order.
    const int source = negatedSourceEntry;
    if (sourcePane == 1)
        setPanePair(source, targetRow, targetPane, sourcePane);
    else
        setPanePair(targetRow, source, sourcePane, targetPane);
}

void TF_Main::completeFolderPick(int targetPane, int targetRow) {
    saveTabState();
    compareToAction(-pickSourceEntry_, targetRow, pickSourcePane_, targetPane);
    if (pickPurpose == kPickFile) {
        reloadImage_ = false;
        loadMissingPanes();
    } else {
        runFolderCompare(false, kRerun);
    }
}

// ---- archives and folders compared as folders ----------------------------------

void TF_Main::pmCompareArchivesClick(QObject*) {
    const int row = engine::editor().Caret.Row;
    if (ViewType() != vtFolder || row < 0 || row >= engine::folderRows().FolderRowCount) return;
    if (!confirmReplacePanes(3)) return;
    setPanePairFromRow(row);
    runFolderCompare(false, kRerun);
}

bool TF_Main::extractNestedArchive(int pane, QString& path) {
    if (config::AppSettings().CFNestedArc) {
        QString inner;
        access::FZArchiveInnerPath(path, inner);
        const QString name = inner.mid(inner.lastIndexOf(u'/') + 1);
        const QString question = QStringLiteral("Extract the nested archive:  ") + name + QStringLiteral("\r") +
                                 QStringLiteral("into the temp folder to continue processing?\r\r") +
                                 QStringLiteral("Hint: If you select 'No', the operation will be canceled.");
        if (config::showMessage(QStringLiteral(" Nested Archive! "), question, config::MsgKind::Question,
                                config::mbYes | config::mbNo, config::mrYes) != config::mrYes)
            return false;
    }
    QString local;
    const int code = access::FZDownloadToTemp(path, true, pane == 1 ? QStringLiteral("L_") : QStringLiteral("R_"),
                                              local);
    if (code == 0 && !local.isEmpty()) {
        path = local;
        return true;
    }
    // The error text alone: this box is the one the user sees.
    config::showMessage(QStringLiteral(" Archive Error! "),
                        QStringLiteral("Failed to extract the nested archive:\r") +
                            access::FZErrorText(-std::abs(code != 0 ? code : 2), kOpExtract),
                        config::MsgKind::Error);
    return false;
}

bool TF_Main::nestedArchiveCheck(int pane) {
    auto& st = engine::paneStores();
    QString path = st.SideFileName(pane);
    if (!access::FZFindArchiveInPath(path, 0) || access::FZArchiveDepth() != 2) return true;
    if (!extractNestedArchive(pane, path)) return false;
    const int cut = int(path.lastIndexOf(u'/'));
    st.FilePaths[size_t(pane)] = path.left(cut + 1);
    st.FileNames[size_t(pane)] = path.mid(cut + 1);
    return true;
}

}  // namespace tandex::ui
