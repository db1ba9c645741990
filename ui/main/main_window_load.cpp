// Loading files into the panes and the comparison run. A load opens each
// pane's location through an access slot, detects the file's kind, settles
// which view the pair needs (asking when the file does not fit the current
// tab), reads the text into the pane stores or hands both files to the
// binary comparison, and ends with the comparison run. Everything runs on
// the UI thread; the event pump is turned only every 512 lines, so the
// Cancel button works without slowing millions of lines down. The loading
// flag counts as busy, so whatever the pump delivers meanwhile does nothing.

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <tuple>

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/archive_slots.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/locations.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/path_text.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/diff_engine.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/fuzzy_similarity.h"
#include "engine/inline_diff.h"
#include "engine/line_keys.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "compare_bin.h"
#include "file_type_mismatch.h"
#include "flat_button.h"
#include "main_window.h"
#include "main_window_seams.h"
#include "status_win.h"

namespace tandex::ui {

namespace {

constexpr int kOpLocal = 0, kOpWeb = 16, kOpArchive = 17, kOpCloud = 18;
constexpr int kLastRoots = -1, kSubFolderPair = 1114;

// Local paths split at "/" only: the folder keeps its trailing "/".
void splitPath(const QString& path, QString& folder, QString& name) {
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/')) + 1;
    folder = path.left(cut);
    name = path.mid(cut);
}

bool batchMode() { return commandLine().BatchMode(); }

// Enter and Escape in a file-name field; leaving it; clicks on the fields
// and the information lines below them.
class FileNameFieldFilter : public QObject {
public:
    explicit FileNameFieldFilter(TF_Main* window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
            if ((watched == window_->eFN1 || watched == window_->eFN2) &&
                window_->eFNKeyPress(watched, static_cast<QKeyEvent*>(event)->key()))
                return true;
            break;
        case QEvent::FocusOut:
            // A menu of the field itself (paste) does not end the editing,
            // nor the load button, which takes the focus as it is pressed
            // and loads what the field holds.
            if ((watched == window_->eFN1 || watched == window_->eFN2) &&
                static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
                QApplication::focusWidget() != window_->fbLoad)
                window_->eFNExit(watched);
            break;
        case QEvent::MouseButtonRelease:
            // A press on the load button that was not a click leaves the
            // typing where it was.
            if (watched == window_->fbLoad)
                QTimer::singleShot(0, window_, [window = window_] {
                    const int pane = window->FNEditPane();
                    if (pane != 0 && QApplication::focusWidget() == window->fbLoad)
                        (pane == 1 ? window->eFN1 : window->eFN2)->setFocus(Qt::OtherFocusReason);
                });
            break;
        case QEvent::MouseButtonPress: {
            if (watched == window_->fbLoad) break;
            // The window system gives a clicked field the focus before the
            // press arrives: whether it is being edited is the window's own
            // state. The press that starts the editing is kept from the field,
            // which would put its cursor there and lose the selected path.
            const int pane = watched == window_->eFN2 || watched == window_->pAI2 ? 2 : 1;
            if (window_->FNEditPane() != pane) {
                window_->eFNClick(watched);
                return true;
            }
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TF_Main* window_;
};

// The open dialog checks a typed name against the file system, which knows
// nothing of the members of an archive: a typed path through an archive
// that the access layer finds is taken as it is.
class OpenFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    QString ChosenPath() const {
        if (!archivePath_.isEmpty()) return archivePath_;
        const QStringList files = selectedFiles();
        return files.isEmpty() ? QString() : files.first();
    }

    void accept() override {
        const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = edit ? edit->text().trimmed() : QString();
        if (!typed.isEmpty()) {
            const QString path = QDir::isAbsolutePath(typed) ? typed : directory().absoluteFilePath(typed);
            if (!QFileInfo::exists(path) && access::FZFindArchiveInPath(path, 0) && access::FZExistsPath(path) == 0) {
                archivePath_ = path;
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    QString archivePath_;
};

}  // namespace

void TF_Main::createLoadControls() {
    timStatDisp = new QTimer(this);
    timStatDisp->setObjectName(QStringLiteral("timStatDisp"));
    timStatDisp->setInterval(500);
    connect(timStatDisp, &QTimer::timeout, this, [this] { timStatDispTimer(); });
    fnFieldFilter_ = new FileNameFieldFilter(this);
    for (QWidget* w : fileNameWidgets()) w->installEventFilter(fnFieldFilter_);
    fbLoad->OnClick = [this](QObject* sender) { fbLoadClick(sender); };
    fbOpenFolderL->OnClick = [this](QObject* sender) { pmLoadFileLeftClick(sender); };
    fbOpenFolderR->OnClick = [this](QObject* sender) { pmLoadFileLeftClick(sender); };
    // The file-system load items; the other sources need the browser and
    // stay hidden until it exists.
    for (auto [menu, name, group] : {std::tuple<QMenu*, const char*, int>{pmOpenFileLeft, "pmOpenFileSystemL", 1},
                                     {pmOpenFileRight, "pmOpenFileSystemR", 2}}) {
        QAction* item = menu->addAction(QStringLiteral("File system..."));
        item->setObjectName(QString::fromLatin1(name));
        item->setProperty("Tag", 0);
        item->setProperty("GroupIndex", group);
        connect(item, &QAction::triggered, this, [this, item] { pmLoadFileLeftClick(item); });
    }
    connect(TB_RELOAD, &QAction::triggered, this, [this] { TB_ReloadClick(TB_RELOAD); });
    connect(TB_HEX, &QAction::triggered, this, [this] { BB_HEXClick(TB_HEX); });
    connect(pmTreatfileAs, &QMenu::triggered, this, [this](QAction* item) { pmAnsifile1Click(item); });
}

std::array<QWidget*, 5> TF_Main::fileNameWidgets() const { return {eFN1, eFN2, pAI1, pAI2, fbLoad}; }

void TF_Main::releaseLoadControls() {
    // The fields lose their focus as the window goes: that is no end of an
    // editing, and the window's state is gone by then.
    for (QWidget* w : fileNameWidgets()) w->removeEventFilter(fnFieldFilter_);
}

// ---- the load command -------------------------------------------------------

void TF_Main::loadAndCompare(int which, const QString& leftPath, const QString& rightPath) {
    // A second command that arrives while events are processed does nothing.
    if (loading_) return;
    auto& stores = engine::paneStores();
    auto& tabs = engine::fccTabs();
    auto& r = engine::rows();
    access::FZResetAbort();
    timHiddenLn->stop();
    resetSelectButtons(15);
    TotalTicks = HashTicks = InlineTicks = RecompareTicks = 0;
    QElapsedTimer total;
    total.start();

    loading_ = true;
    compareCut_ = false;
    ++busyDepth_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    disableUI();
    cancelFlag_ = false;
    loadWhich_ = which;
    // The view check saves the tab before the text is read; a cancel goes
    // back to the tab as it was before the load.
    preLoadTabIndex_ = tabs.GetCurrentTab();
    preLoadTab_ = tabs.TabSlots[size_t(preLoadTabIndex_)];

    for (int pane = 1; pane <= 2; ++pane) {
        if (!(which & pane)) continue;
        const QString& path = pane == 1 ? leftPath : rightPath;
        if (!path.isEmpty()) splitPath(path, stores.FilePaths[size_t(pane)], stores.FileNames[size_t(pane)]);
        forcedKinds_[size_t(pane)] = false;
        loadPaneSource(pane);
    }
    setActivePane(vtText, 1);
    engine::editor().SetActiveSide(1);
    timStatDisp->stop();

    const bool binary = checkViews(which) != 0;
    if (statusWin_ && !statusWin_->isVisible() && !batchMode()) timStatDisp->start();

    if (binary && !cancelFlag_) {
        stores.BinaryMode = 1;
        imageFlag_ = false;
        stores.ResetSide(1, false);
        stores.ResetSide(2, false);
        P_LImage->hide();
        P_RImage->hide();
        stores.ImageLoaded = {0, 0, 0};
        LastDiffCount = CompareBinaryFiles(stores.SideFileName(1), stores.SideFileName(2));
        for (int pane = 1; pane <= 2; ++pane)
            if (stores.FileErrors[size_t(pane)] != 0)
                showOpenError(pane, failedPaths_[size_t(pane)].isEmpty() ? stores.SideFileName(pane)
                                                                          : failedPaths_[size_t(pane)],
                              stores.FileErrors[size_t(pane)]);
        stores.UpdateMaxLineCount();
        setTopRow(vtBinary, 1, 1);
        r.FilterBinaryRows(r.BinaryViewFilter);
    } else if (!cancelFlag_) {
        if (which & 1) loadTextIntoPane(1, stores.FileErrors[1]);
        if (!cancelFlag_ && (which & 2)) {
            loadTextIntoPane(2, stores.FileErrors[2]);
            if (cancelFlag_) {
                for (int pane = 1; pane <= 2; ++pane)
                    if (which & pane) stores.ResetSide(pane, true);
            }
        }
        if (!cancelFlag_) compareLoaded();
    }

    if (!cancelFlag_ && !imageFlag_) {
        r.ClearLineSelection();
        gotoFirstDifference();
        tabs.ClearPaneModified(1);
        tabs.ClearPaneModified(2);
        tabs.SetTabDiffCount(LastDiffCount);
        if (!updateHScrollBar()) refreshLayout();
    }
    if (!cancelFlag_) rememberWebPanes(which);

    TotalTicks = total.nsecsElapsed();
    unhookRemoteProgress();
    showStatusText(QString());
    stores.CloseSideSlot(1);
    stores.CloseSideSlot(2);
    loading_ = false;
    --busyDepth_;
    QApplication::restoreOverrideCursor();
    if (cancelFlag_) {
        tabs.TabSlots[size_t(preLoadTabIndex_)] = preLoadTab_;
        if (tabs.GetCurrentTab() != preLoadTabIndex_) tabs.SetCurrentTab(preLoadTabIndex_);
        restoreTabState();
        tabs.RearmDeclinedPanes();
    } else {
        saveTabState();
        // Recent file pairs: the pair the next start reloads.
        storePendingPair();
    }
    enableUI();
    refreshView();
    updateRowRange();
    P_Head->update();
    drawTabBar();
    updateStatusBar();
    refocusMain();
}

bool TF_Main::confirmReplacePanes(int panes) {
    return AskSaveBeforeReplace ? AskSaveBeforeReplace(panes) : askSaveModified(panes);
}

bool TF_Main::loadMissingPanes() {
    const auto& stores = engine::paneStores();
    auto empty = [&](int pane) {
        const QString& name = stores.FileNames[size_t(pane)];
        // A pane whose load failed keeps its path beside the error memo.
        if (name.isEmpty() && !failedPaths_[size_t(pane)].isEmpty()) return false;
        return name.isEmpty() || name == (pane == 1 ? QStringLiteral("NewL.txt") : QStringLiteral("NewR.txt"));
    };
    const bool left = !empty(1), right = !empty(2);
    if (!left && !right) return false;
    const int which = (left ? 1 : 0) | (right ? 2 : 0);
    // Replacing a pane would drop its unsaved edits unasked.
    if (!confirmReplacePanes(which)) return false;
    loadAndCompare(which, QString(), QString());
    return true;
}

// ---- sources ----------------------------------------------------------------

int TF_Main::errorOperation(int pane) const { return errorOps_[size_t(pane)]; }

void TF_Main::loadPaneSource(int pane) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    QString path = stores.SideFileName(pane);
    if (path.isEmpty() && stores.FileSizes[p] == -2 && !failedPaths_[p].isEmpty()) {
        path = failedPaths_[p];
        splitPath(path, stores.FilePaths[p], stores.FileNames[p]);
    }
    if (path.isEmpty()) {
        cancelFlag_ = true;
        return;
    }
    const auto location = access::FZClassifyPath(path);
    ftpLike_[p] = location == access::locFtp || location == access::locSftp || location == access::locScp;

    int code = 0;
    if (stores.SideSlots[p] == engine::kNoSlot) {
        if (statusWin_) statusWin_->StartProgress(0);
        if (ftpLike_[p]) setLoadProgressText(1, pane, path);
        int slot = engine::kNoSlot;
        code = access::FZOpen(path, access::twGenAccess, true, slot);
        stores.SideSlots[p] = slot;
    }
    const int slot = stores.SideSlots[p];
    const auto kind = code ? access::akNone : access::FZSlotAccessKind(slot);
    switch (kind) {
    case access::akFtp:
        errorOps_[p] = kOpWeb;
        ftpLike_[p] = true;
        code = access::FZSetPath(slot, path);
        break;
    case access::akArchive:
        errorOps_[p] = kOpArchive;
        access::FZSetArchiveProgress(slot, [this](qint64 done) { statusProgressStep(done); });
        setLoadProgressText(2, pane, path);
        break;
    case access::akCloud:
        errorOps_[p] = kOpCloud;
        setLoadProgressText(4, pane, path);
        hookRemoteProgress(pane, kind);
        break;
    case access::akHttp:
        errorOps_[p] = kOpWeb;
        setLoadProgressText(3, pane, path);
        hookRemoteProgress(pane, kind);
        break;
    default:
        errorOps_[p] = kOpLocal;
        break;
    }
    if (!code) code = openPaneFile(pane, slot);
    if (!code && kind == access::akFtp) hookRemoteProgress(pane, kind);
    if (!code && (kind == access::akArchive || kind == access::akCloud || kind == access::akHttp) &&
        access::FZSlotMode(slot) != access::twReadAccess) {
        // The download or the extraction happens here.
        if (kind == access::akArchive) setLoadProgressText(2, pane, path);
        if (kind == access::akCloud) setLoadProgressText(4, pane, path);
        statusProgressStart(stores.FileSizes[p]);
        code = access::FZReopen(slot, path, access::twReadAccess);
    }
    if (!code) stores.SideAccessKinds[p] = quint8(kind);
    stores.FileErrors[p] = code;
    if (code) failedPaths_[p] = path;
}

int TF_Main::openPaneFile(int pane, int slot) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    const QString path = stores.SideFileName(pane);
    int code = 0;
    for (;;) {
        code = access::FZSlotLocation(slot) == access::locShare ? access::FZCheckLocation(slot) : 0;
        if (!code) code = access::FZExists(slot);
        if (!code) {
            code = access::FZSlotAccessKind(slot) == access::akLocal
                       ? access::FZReopen(slot, path, access::twReadAccess)
                       : access::FZSetPath(slot, path);
            qint64 size = 0;
            access::FileTime time = 0;
            // Size and time alone are asked for again, in the texts of
            // their location.
            const auto kind = access::FZSlotAccessKind(slot);
            const int timeOp = kind == access::akCloud ? kOpCloud : kind == access::akHttp ? kOpWeb : 1;
            bool timeFailed = false;
            while (!code && (code = access::FZGetLastWriteTime(slot, size, time)) != 0) {
                lastReadError_ = code;
                timeFailed = true;
                if (askReadRetry(pane, timeOp)) code = 0;
            }
            if (!code) {
                stores.FileSizes[p] = size;
                stores.FileTimes[p] = time;
                break;
            }
            if (timeFailed) break;
        }
        if (code == 53 && config::AppSettings().ESUsePing) break;
        lastReadError_ = code;
        if (!askReadRetry(pane, code == 2 ? 4 : 6)) break;
    }
    errorDialog().ResetRetries(0);
    return code;
}

bool TF_Main::askReadRetry(int pane, int operation) {
    auto& dlg = errorDialog();
    if (dlg.ErrorAnswer() == eaNoAll || dlg.RetriesExhausted(0)) return false;
    const auto& s = config::AppSettings();
    if (dlg.ErrorAnswer() == eaYesAll || !s.ESErrorBox || batchMode()) {
        dlg.RetryDelay();
    } else {
        const int answer = dlg.Ask(engine::paneStores().SideFileName(pane),
                                   access::FZErrorText(-lastReadError_, operation), false, 0, true);
        if (answer != eaYes && answer != eaYesAll) return false;
    }
    dlg.CountRetry(0);
    return true;
}

// ---- kind and view ----------------------------------------------------------

void TF_Main::detectPaneKind(int pane) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    plugInIndex_[p] = -1;
    const int slot = stores.SideSlots[p];
    if (slot == engine::kNoSlot) return;
    if (!keepKind_) stores.FileKinds[p] = 0;
    if (!access::FZResetAbort() && stores.FileKinds[p] == 0) {
        int kind = 0, byRule = 0;
        if (access::FZDetectFileKind(slot, kind, byRule) == 0) {
            stores.FileKinds[p] = quint8(kind);
            ruleFixedKinds_[p] = quint8(byRule);
        }
    }
    const auto& s = config::AppSettings();
    if ((stores.FileKinds[p] == access::fkBinary || !s.PIDisableAll) && isImageFile(stores.SideFileName(pane)))
        stores.FileKinds[p] = access::fkImage;
    else if (plugIns().matchPlugIn(pane, stores.SideFileName(pane)))
        stores.FileKinds[p] = access::fkPlugin;
}

int TF_Main::checkPaneView(int pane) {
    auto& stores = engine::paneStores();
    auto& tabs = engine::fccTabs();
    const auto p = size_t(pane);
    int needed = engine::tvBinary;
    if (!forceBinary_) {
        if (stores.FileErrors[p] != 0)
            stores.FileKinds[p] = 0;
        else
            detectPaneKind(pane);
        const int kind = stores.FileKinds[p];
        needed = kind == access::fkBinary ? engine::tvBinary
                 : kind == access::fkImage ? engine::tvImage
                                           : engine::tvText;
    }
    if (loadWhich_ == 3 || cancelFlag_) return needed;
    const int current = tabs.GetCurrentViewType();
    if (current == engine::tvFree || current == engine::tvFolder || current == needed) {
        carryPaneToView(pane, needed);
    } else {
        int answer = 1;
        if (AskTypeMismatch) {
            answer = AskTypeMismatch(current, needed, stores.SideFileName(pane), 3 - pane);
        } else {
            if (!mismatchDlg_) mismatchDlg_ = new TfFTMismatch(this);
            auto* dlg = static_cast<TfFTMismatch*>(mismatchDlg_);
            dlg->DefaultPos = [this](const QWidget* w) { return defaultFormPos(w); };
            answer = dlg->Ask(current, needed, stores.SideFileName(pane), 3 - pane);
        }
        if (answer == 0) {
            cancelFlag_ = true;
        } else if (answer == 1) {
            carryPaneToView(pane, needed);
        } else if (answer == 2) {
            // The other pane keeps the file it showed before the switch.
            const auto o = size_t(3 - pane);
            const QString otherName = stores.FileNames[o], otherPath = stores.FilePaths[o];
            carryPaneToView(pane, engine::tvBinary);
            stores.FileNames[o] = otherName;
            stores.FilePaths[o] = otherPath;
            forceBinary_ = true;
            needed = engine::tvBinary;
        }
    }
    if (!cancelFlag_) {
        saveTabState();
        drawTabBar();
    }
    return needed;
}

void TF_Main::carryPaneToView(int pane, int view) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    auto& d = spareTab_.FileData;
    forFileFields(stores, d, [p](const auto& store, auto& copy) { copy[p] = store[p]; });
    d.ImageLoaded[p] = stores.ImageLoaded[p];
    spareTab_.AccessKinds[p] = stores.SideAccessKinds[p];
    const bool force = forceBinary_;
    const int slot = stores.SideSlots[p];
    const bool fresh = engine::fccTabs().FindTabByViewType(view) < 0;
    if (engine::fccTabs().GetCurrentViewType() != view) switchView(view, fresh, false);
    forFileFields(stores, d, [p](auto& store, const auto& copy) { store[p] = copy[p]; });
    stores.ImageLoaded[p] = d.ImageLoaded[p];
    stores.SideAccessKinds[p] = spareTab_.AccessKinds[p];
    // The slot opened for this load belongs to the load, not to a tab.
    stores.SideSlots[p] = slot;
    forceBinary_ = force;
    stores.UpdateMaxLineCount();
}

int TF_Main::checkViews(int which) {
    auto& stores = engine::paneStores();
    std::array<int, 3> needed{};
    for (int pane = 1; pane <= 2; ++pane) {
        if (!(which & pane)) continue;
        needed[size_t(pane)] = checkPaneView(pane);
        if (cancelFlag_) return 0;
    }
    if (which == 3 && (forceBinary_ || needed[1] != needed[2])) {
        forceBinary_ = true;
        engine::fccTabs().RearmDeclinedPanes();
        needed[1] = needed[2] = engine::tvBinary;
    }
    if (which == 3) {
        const int view = needed[1];
        const int slot1 = stores.SideSlots[1], slot2 = stores.SideSlots[2];
        const auto names = stores.FileNames;
        const auto paths = stores.FilePaths;
        const auto kinds = stores.FileKinds;
        const auto sizes = stores.FileSizes;
        const auto times = stores.FileTimes;
        const auto errors = stores.FileErrors;
        const auto access = stores.SideAccessKinds;
        switchView(view, true, false);
        // A fresh view starts from the files just opened.
        stores.FileNames = names;
        stores.FilePaths = paths;
        stores.FileKinds = kinds;
        stores.FileSizes = sizes;
        stores.FileTimes = times;
        stores.FileErrors = errors;
        stores.SideAccessKinds = access;
        stores.SideSlots[1] = slot1;
        stores.SideSlots[2] = slot2;
        saveTabState();
        drawTabBar();
    }
    if (forceBinary_) return 1;
    const int k1 = stores.FileKinds[1], k2 = stores.FileKinds[2];
    if (stores.FileErrors[1] || stores.FileErrors[2]) {
        if (k1 == 0) stores.FileKinds[1] = quint8(k2);
        if (k2 == 0) stores.FileKinds[2] = quint8(k1);
        return 0;
    }
    const bool oneBinary = k1 == access::fkBinary || k2 == access::fkBinary;
    const int loaded = which == 1 ? k1 : k2;
    return oneBinary && (which == 3 || loaded == access::fkBinary) ? 1 : 0;
}

// ---- reading text -------------------------------------------------------------

void TF_Main::loadTextIntoPane(int pane, int earlierError) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    errorDialog().Reset();
    const QString path = stores.SideFileName(pane);
    if (path.isEmpty()) return;
    const int slot = stores.SideSlots[p];
    statusProgressStart(stores.FileSizes[p]);
    setLoadProgressText(3, pane, path);
    stores.SideAccessKinds[p] = quint8(access::FZSlotAccessKind(slot));
    if (stores.FileKinds[p] == access::fkImage) {
        loadPaneImage(pane, earlierError);
        return;
    }
    if (!earlierError) earlierError = reopenFtpForReading(pane);

    stores.ImageLoaded[p] = 0;
    imageFlag_ = false;
    stores.BinaryMode = 0;
    stores.ResetSide(pane, false);
    removeGapLines(1);
    removeGapLines(2);
    engine::rows().ClearLineDifferences();
    stores.LongestLine[p] = -1;

    int code = earlierError;
    int count = 0;
    bool atLimit = false;
    loadCut_[p] = false;
    auto& lines = stores.TextLines[p];
    // A converted pane reads the converter's output, not its own file.
    int readSlot = slot;
    bool converted = false;
    if (!earlierError && stores.FileKinds[p] == access::fkPlugin) {
        int kind = 0, result = 0;
        readSlot = plugIns().runPlugIn(pane, kind, result);
        if (result != prSuccess) {
            if (result == prCancelled) cancelFlag_ = true;
            earlierError = result == prCancelled ? 0 : plugIns().openErrorCode(result);
            code = earlierError;
            readSlot = slot;
        } else {
            converted = true;
            stores.ConvertedKinds[p] = quint8(kind);
            access::FZSetFileKind(readSlot, kind);
        }
    }
    if (!earlierError && !cancelFlag_) {
        if (!converted) access::FZSetFileKind(readSlot, stores.FileKinds[p]);
        const int slot = readSlot;
        qint64 bytes = 0;
        for (;;) {
            QString text;
            code = access::FZReadLine(slot, text);
            while (code != 0 && code != 38 && !cancelFlag_) {
                lastReadError_ = code;
                if (!askReadRetry(pane, 1)) break;
                code = access::FZReadLine(slot, text);
            }
            if (code != 0 && code != 38) break;
            // The end of the data may come with a last line or without one.
            if (code == 38 && access::FZReadLineAtEnd(slot)) break;
            engine::TTextLine* line = lines.New(count);
            line->Text = std::move(text);
            line->LineNumber = count + 1;
            line->NoBreak = access::FZReadLineContinues(slot) ? 1 : 0;
            ++count;
            bytes += line->Length() + 2;
            if (count % 512 == 0 && !ftpLike_[p]) statusProgressStep(bytes);
            if (code == 38 || cancelFlag_) break;
            if (count >= engine::kMaxFileLines) {
                atLimit = true;
                break;
            }
        }
        // Only a file with more lines than the pane holds is cut; one that
        // ends right at the limit is whole.
        if (atLimit) {
            QString more;
            const int next = access::FZReadLine(slot, more);
            loadCut_[p] = !(next == 38 && access::FZReadLineAtEnd(slot));
        }
        if (code == 38) code = 0;
        stores.LineEndings[p] = quint8(access::FZLineBreakKind(slot));
        stores.LongestLine[p] = access::FZMaxLineLength(slot);
        if (converted) access::FZClose(slot);
    }
    if (atLimit && !code && config::AppSettings().ESWarnBox) {
        engine::TTextLine* marker = lines.New(count);
        marker->Text = engine::kMaxEntryText;
        marker->LineNumber = -1;
        ++count;
        config::showMessage(QStringLiteral("Warning:"), engine::kMaxEntryText, config::MsgKind::Warning);
    }
    if (cancelFlag_ || code) {
        stores.ResetSide(pane, true);
        count = 0;
        showFileNames();
        if (code) showOpenError(pane, path, code);
    } else {
        (pane == 1 ? P_LImage : P_RImage)->hide();
        failedPaths_[p].clear();
    }
    stores.LineCount[p] = count;
    loadedLineCounts_[p] = count;
    stores.UpdateMaxLineCount();
}

void TF_Main::removeGapLines(int pane) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    auto& lines = stores.TextLines[p];
    int count = stores.LineCount[p];
    // Each run of gaps goes in one step, from the end, so that nothing
    // still to be visited moves.
    for (int i = count - 1; i >= 0;) {
        if (!lines.IsGap(i)) {
            --i;
            continue;
        }
        int first = i;
        while (first > 0 && lines.IsGap(first - 1)) --first;
        stores.RemoveLineSlots(lines, first, i, count);
        i = first - 1;
    }
    stores.LineCount[p] = count;
}

void TF_Main::removeAllGapLines() {
    removeGapLines(1);
    removeGapLines(2);
}

// ---- open errors and progress ---------------------------------------------------

QString TF_Main::openErrorText(int pane, int code) const {
    if (code <= -10 && code >= -13) return plugIns().errorText(code, pane);
    const QString path = failedPaths_[size_t(pane)];
    const auto location = access::FZClassifyPath(path);
    const int op = location == access::locCloud ? kOpCloud : location == access::locWeb ? kOpWeb : 0;
    return access::FZErrorText(-code, op);
}

void TF_Main::showOpenError(int pane, const QString& path, int code) {
    auto& stores = engine::paneStores();
    const auto p = size_t(pane);
    failedPaths_[p] = path;
    QWidget* panel = pane == 1 ? P_LImage : P_RImage;
    QPlainTextEdit* memo = pane == 1 ? M_LOpenErr : M_ROpenErr;
    placeImagePanels(true);
    memo->setGeometry(panel->rect());
    memo->setPlainText(openErrorText(pane, code) + QLatin1Char('\n') + path);
    memo->show();
    panel->show();
    panel->raise();
    (pane == 1 ? pAI1 : pAI2)->clear();
    stores.FileSizes[p] = -2;
    stores.FileNames[p].clear();
    stores.FilePaths[p].clear();
    // Emptying the pane cleared the code; the memo's tab and the batch job
    // read it here.
    stores.FileErrors[p] = code;
}

void TF_Main::setLoadProgressText(int kind, int pane, const QString& path) {
    if (batchMode()) return;
    QString prefix;
    switch (kind) {
    case 1: prefix = QStringLiteral("Connecting to ...   "); break;
    case 2: prefix = QStringLiteral("Extracting file...   "); break;
    case 3:
        prefix = pane == 1 ? QStringLiteral("Loading left file: ") : QStringLiteral("Loading right file: ");
        break;
    case 4: showStatusText(QStringLiteral("Connecting to Dropbox, please wait...")); return;
    default: return;
    }
    if (kind >= 2) {
        (pane == 1 ? M_LOpenErr : M_ROpenErr)->hide();
        if (ViewType() != vtImage) (pane == 1 ? P_LImage : P_RImage)->hide();
    }
    QString shown = path;
    if (shown.isEmpty()) shown = access::FZSlotPath(engine::paneStores().SideSlots[size_t(pane)]);
    showStatusPath(prefix, shown);
}

void TF_Main::showStatusPath(const QString& prefix, const QString& path) {
    if (!statusWin_) {
        showStatusText(prefix + path);
        return;
    }
    const QFontMetrics fm(statusWin_->L_TextLine1->font());
    const int room = statusWin_->L_TextLine1->width() - fm.horizontalAdvance(prefix);
    showStatusText(prefix +
                   config::ShortenPathToWidth([&fm](const QString& t) { return fm.horizontalAdvance(t); }, path,
                                              qMax(room, 40)));
}

void TF_Main::showStatusText(const QString& text) {
    if (!statusWin_) return;
    if (text.isEmpty()) {
        timStatDisp->stop();
        statusWin_->hide();
    } else {
        // A load that ends within half a second shows no progress window.
        if (!statusWin_->isVisible() && !timStatDisp->isActive()) timStatDisp->start();
        statusWin_->SetText(text);
    }
    QCoreApplication::processEvents();
}

void TF_Main::timStatDispTimer() {
    if (batchMode()) return;
    if (QApplication::activeModalWidget()) return;  // a question is up: wait for the next tick
    timStatDisp->stop();
    if (statusWin_) statusWin_->show();
}

void TF_Main::statusProgressStart(qint64 total) {
    if (statusWin_) statusWin_->StartProgress(qMax<qint64>(total, 0));
}

void TF_Main::statusProgressStep(qint64 position) {
    if (statusWin_) statusWin_->SetProgress(position);
    // Lets Cancel through; the loading flag keeps everything else out.
    QCoreApplication::processEvents();
}

// ---- comparison run ---------------------------------------------------------------

void TF_Main::compareLoaded() {
    auto& stores = engine::paneStores();
    stores.UpdateMaxLineCount();
    LastDiffCount = 0;
    if (imageFlag_) {
        compareLoadedImages();
        return;
    }
    setTopRow(vtText, 1, 1);
    if (stores.FileNames[1].isEmpty() || stores.FileNames[2].isEmpty() || cancelFlag_ || stores.SinglePaneView) {
        engine::rows().FilterTextRows(engine::rows().TextViewFilter);
        return;
    }
    engine::editor().SetSelectionStart(-1, -1);
    calcDifferences();
}

void TF_Main::calcDifferences() {
    auto& stores = engine::paneStores();
    auto& r = engine::rows();
    auto& tc = engine::textCompare();
    compareCut_ = false;
    if (stores.MaxLineCount <= 0) return;
    const auto& s = config::AppSettings();
    timFuzzyAborted->stop();
    setWindowTitle(QStringLiteral("Tandex"));
    showStatusText(QStringLiteral("Calculating hashes..."));
    statusProgressStart(qint64(stores.LineCount[1]) + stores.LineCount[2]);

    QElapsedTimer clock;
    clock.start();
    engine::lineKeys().BuildColumnMask();
    stores.FuzzyMode = s.TCFPEnabled && s.TCSimilarity != 100 ? 1 : 0;
    try {
        tc.CompareTextFiles();
    } catch (const std::exception& e) {
        config::showMessage(QStringLiteral("Error"), QString::fromStdString(e.what()), config::MsgKind::Error);
    }
    compareCut_ = loadCut_[1] || loadCut_[2] || tc.Counts.RecordCount > engine::kMaxFileLines;
    HashTicks = clock.nsecsElapsed();

    hScrollBar->setValue(1);
    LastDiffCount = tc.GetDifferentLineCount();
    initViewFilter(vtText, true);
    r.FilterTextRows(r.TextViewFilter);

    if (!stores.SinglePaneView && s.TCDiffDetect > 0) {
        showStatusText(QStringLiteral("Calculating line differences..."));
        stores.FuzzyMode = 0;
        clock.restart();
        auto& inl = engine::inlineDiff();
        for (int row = 0; row < r.TextRowCount; ++row) {
            if (r.TextRowDiffers(row) || r.IsGapLine(1, row) || r.IsGapLine(2, row))
                inl.CompareLinePair(r.RowPlainText(1, row), r.RowPlainText(2, row), row);
        }
        InlineTicks = clock.nsecsElapsed();
    }
    stores.FuzzyMode = s.TCFPEnabled && s.TCSimilarity != 100 ? 1 : 0;
    showStatusText(QString());
    if (tc.FuzzyStopState != 0) timFuzzyAborted->start(20000);
}

void TF_Main::recompare() {
    auto& stores = engine::paneStores();
    recompareRunning_ = true;
    removeAllGapLines();
    engine::mainWindow().renumberLines(1);
    engine::mainWindow().renumberLines(2);
    engine::rows().ClearLineDifferences();
    stores.UpdateMaxLineCount();
    if (recompareAllowed_ && !stores.SinglePaneView) {
        QElapsedTimer clock;
        clock.start();
        engine::fuzzyProcessor().FuzzyResizeMatrix(stores.LineCount[1], stores.LineCount[2], editLine_);
        engine::textCompare().RecompareRequest = 1;
        calcDifferences();
        RecompareTicks = clock.nsecsElapsed();
    }
    engine::fccTabs().SetTabDiffCount(LastDiffCount);
    recompareRunning_ = false;
}

void TF_Main::scheduleRecompare() { armTimer(tjRecompare, 100); }

// ---- commands -------------------------------------------------------------------

void TF_Main::pmLoadFileLeftClick(QObject* sender) {
    if (Busy()) return;
    auto& stores = engine::paneStores();
    const bool left = sender == fbOpenFolderL || (sender && sender->property("GroupIndex").toInt() == 1);
    const int pane = left ? 1 : 2;
    const auto p = size_t(pane);
    if (!confirmReplacePanes(pane)) return;

    QString start = stores.FilePaths[p];
    if (start.isEmpty()) start = stores.FolderRoots[p];
    if (start.isEmpty()) {
        const auto& recent = config::AppSettings().AFHist.front();
        start = left ? recent.PathL : recent.PathR;
    }
    const auto location = access::FZClassifyPath(start);
    if (location == access::locFtp || location == access::locSftp || location == access::locScp ||
        access::FZIsCloudPath(start)) {
        start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    } else if (access::FZFindArchiveInPath(start, 0)) {
        // A pane inside an archive starts the dialog beside the archive file.
        QString archive;
        access::FZArchiveFilePath(start, archive);
        if (!archive.isEmpty()) start = QFileInfo(archive).path();
    }
    if (!start.isEmpty() && access::FZCheckPath(start) != 0) start.clear();

    const QString title = left ? QStringLiteral(" Load file into left pane... ")
                               : QStringLiteral(" Load file into right pane... ");
    OpenFileDialog dialog(this, title, start, QStringLiteral("*.*"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.ChosenPath().isEmpty()) {
        const QString chosen = dialog.ChosenPath();
        saveTabState();
        loadAndCompare(pane, left ? chosen : QString(), left ? QString() : chosen);
        // Recent file pairs: the pair the user put together.
        recordRecentPair();
    } else {
        engine::fccTabs().RearmDeclinedPanes();
    }
    stores.CloseSideSlot(pane);
    refocusMain();
    // Recent file pairs: a pair still waiting gets its full time again.
    if (HistoryPending()) T_HIST->start();
}

void TF_Main::pmAnsifile1Click(QObject* sender) {
    if (Busy()) return;
    auto* item = qobject_cast<QAction*>(sender);
    if (!item) return;
    static constexpr int kinds[] = {5, 8, 7, 10, 9, 12, 11};
    const int tag = item->data().toInt();
    int kind = 0;
    if (tag >= 0 && tag < 7)
        kind = kinds[tag];
    else if (tag != 99)
        return;
    auto& stores = engine::paneStores();
    const int pane = getActivePane(vtText);
    const auto p = size_t(pane);
    if (!confirmReplacePanes(pane)) return;
    stores.FileKinds[p] = quint8(kind);
    const QString name = stores.FileNames[p], folder = stores.FilePaths[p];
    engine::rows().FreeAllCharFlags();
    engine::rows().ClearLineSelection();
    stores.ResetSide(pane, true);
    engine::editor().SetSelectionStart(-1, -1);
    stores.FileNames[p] = name;
    stores.FilePaths[p] = folder;

    loading_ = true;
    ++busyDepth_;
    cancelFlag_ = false;
    loadPaneSource(pane);
    keepKind_ = kind != 0;
    stores.FileKinds[p] = quint8(kind);
    detectPaneKind(pane);
    forcedKinds_[p] = keepKind_;
    loadTextIntoPane(pane, stores.FileErrors[p]);
    engine::fccTabs().ClearPaneModified(pane);
    removeGapLines(3 - pane);
    compareLoaded();
    engine::fccTabs().SetTabDiffCount(LastDiffCount);
    keepKind_ = false;
    loading_ = false;
    --busyDepth_;
    refreshView();
    unhookRemoteProgress();
    showStatusText(QString());
    stores.CloseSideSlot(pane);
}

void TF_Main::TB_ReloadClick(QObject*) {
    if (Busy()) return;
    if (ViewType() == vtFolder) {
        reloadFolderComparison();
        return;
    }
    const int top = topRow(ViewType()), active = getActivePane(ViewType());
    saveTabState();
    // A reloaded image view keeps its zoom and the frames it shows.
    reloadImage_ = ViewType() == vtImage;
    const bool loaded = loadMissingPanes();
    reloadImage_ = false;
    if (!loaded) return;
    setActivePane(ViewType(), active);
    setTopRow(ViewType(), top, viewRowCount(ViewType()));
    refreshView();
}

void TF_Main::BB_HEXClick(QObject* sender) {
    if (Busy()) return;
    if (ViewType() == vtFolder) return pmOpenAllFoldersClick(sender);
    saveTabState();
    forceBinary_ = true;
    // The save question lets a second click in before the load starts.
    commandRunning_ = true;
    const bool loaded = loadMissingPanes();
    commandRunning_ = false;
    if (loaded && !singlePaneView_) {
        const auto& stores = engine::paneStores();
        for (int pane = 1; pane <= 2; ++pane)
            if (stores.FileSizes[size_t(pane)] == -2) {
                (pane == 1 ? M_LOpenErr : M_ROpenErr)->show();
                (pane == 1 ? P_LImage : P_RImage)->show();
            }
    }
}

// ---- file-name fields -----------------------------------------------------------

void TF_Main::eFNClick(QObject* sender) {
    QLineEdit* field = sender == eFN2 || sender == pAI2 ? eFN2 : eFN1;
    const int pane = field == eFN1 ? 1 : 2;
    fbLoad->SetCaption(ViewType() == vtFolder ? QStringLiteral("Load folder") : QStringLiteral("Load file"));
    const QFontMetrics fm(fbLoad->font());
    const int width = fm.horizontalAdvance(fbLoad->Caption()) + 40;
    // The button draws and takes clicks by its own size, which it scales.
    const double dpi = std::max(config::Helpers().DpiFactor, 0.01);
    fbLoad->SetWidth(int(std::lround(width / dpi)));
    fbLoad->SetHeight(int(std::lround(pAI1->height() / dpi)));
    fbLoad->move(field->geometry().right() - fbLoad->Width() + 1, pAI1->y() + 2);
    fbLoad->setProperty("Tag", pane);
    // A shortened path would be loaded as typed: edit the full one.
    if (field->property("HelpKeyword").toString() == QLatin1String("C")) {
        field->setText(engine::paneStores().SideDisplayPath(pane));
        field->setProperty("HelpKeyword", QString());
    }
    // The other field may still be in its editing: it ends first.
    if (fnEditPane_ != 0 && fnEditPane_ != pane) eFNExit(fnEditPane_ == 1 ? eFN1 : eFN2);
    fnEditPane_ = pane;
    clearEditShortcuts();
    fbLoad->show();
    fbLoad->raise();
    field->setProperty("FNMenu", false);
    field->setReadOnly(false);
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
}

void TF_Main::eFNExit(QObject* sender) {
    QLineEdit* field = sender == eFN2 ? eFN2 : eFN1;
    const int pane = field == eFN1 ? 1 : 2;
    if (fnEditPane_ != pane) return;
    fnEditPane_ = 0;
    (pane == 1 ? editedPathLeft : editedPathRight) = field->text();
    field->setReadOnly(true);
    field->deselect();
    fbLoad->hide();
    restoreEditShortcuts();
    showFileNames();
}

bool TF_Main::eFNKeyPress(QObject* sender, int key) {
    QLineEdit* field = sender == eFN2 ? eFN2 : eFN1;
    if (fnEditPane_ != (field == eFN1 ? 1 : 2)) return false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        (field == eFN1 ? editedPathLeft : editedPathRight) = field->text();
        refocusMain();
        LoadDirect(field == eFN1 ? 1 : 2);
        return true;
    }
    if (key == Qt::Key_Escape) {
        eFNExit(field);
        refocusMain();
        return true;
    }
    return false;
}

void TF_Main::exitFNEdit() {
    eFNExit(eFN1);
    eFNExit(eFN2);
}

void TF_Main::fbLoadClick(QObject*) {
    const int pane = fbLoad->x() > Geometry().eFN2.x() - 1 ? 2 : 1;
    // The button takes no focus: the field is still being edited, and what
    // it holds now is the path to load.
    if (fnEditPane_ == pane) eFNExit(pane == 1 ? eFN1 : eFN2);
    refocusMain();
    LoadDirect(pane);
}

void TF_Main::LoadDirect(int pane) {
    if (Busy()) return;
    const QString path = pane == 1 ? editedPathLeft : editedPathRight;
    if (path.isEmpty()) return;
    if (ViewType() == vtFolder) {
        engine::paneStores().FolderRoots[size_t(pane)] = path;
        runFolderCompare(false, kSubFolderPair);
        refreshView();
        return;
    }
    if (!confirmReplacePanes(pane)) return;
    saveTabState();
    loadAndCompare(pane, pane == 1 ? path : QString(), pane == 2 ? path : QString());
}

void TF_Main::reloadFolderComparison() {
    auto& ed = engine::editor();
    auto& f = engine::folderRows();
    const int active = getActivePane(vtFolder);
    SkipFirstDifference = true;
    // The run builds new entries: the caret's entry is found again by its path.
    const int row = ed.Caret.Row;
    const QString path = row >= 0 && row < f.FolderRowCount ? f.FolderRowPath(active, row) : QString();
    auto& s = config::AppSettings();
    const bool autoClose = s.FCAutoClose;
    s.FCAutoClose = true;
    runFolderCompare(false, kLastRoots);
    s.FCAutoClose = autoClose;
    setActivePane(vtFolder, active);
    ed.SetActiveSide(active);
    const auto& st = engine::paneStores();
    int entry = -1;
    for (int i = 0; i < st.FolderEntryCount && entry < 0 && !path.isEmpty(); ++i)
        if (f.FolderEntryPath(active, i) == path) entry = i;
    if (entry >= 0) {
        f.ClearFolderSelection();
        f.SetFolderEntrySelected(active, entry, true);
        if (s.FCTreeView) f.OpenFoldersToSelection();
        updateRowRange();
        const int selected = f.FirstSelectedFolderRow();
        if (selected >= 0) {
            ed.PlaceCaret(1, selected, active);
            scrollRowIntoView(selected);
        }
    }
    SkipFirstDifference = false;
    refreshView();
    refreshDetails(ed.Caret.Row);
}

}  // namespace tandex::ui
