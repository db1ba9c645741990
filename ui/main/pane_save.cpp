#include "pane_save.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

#include <algorithm>
#include <array>
#include <memory>

#include "access/access_slots.h"
#include "access/backups.h"
#include "access/error_texts.h"
#include "access/archive_slots.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "engine/pane_stores.h"
#include "engine/tab_slots.h"
#include "engine/undo_stack.h"
#include "main_window_remote.h"
#include "main_window_seams.h"

namespace tandex::ui {

namespace {

using namespace tandex::access;

constexpr std::array<int, kSaveEncodingItems> kItemKinds{fkAnsi,      fkUtf8,      fkUtf8Bom, fkUtf16Le,
                                                         fkUtf16LeBom, fkUtf16Be, fkUtf16BeBom};
constexpr int kWriteSide = 1;
constexpr int kProgressStep = 1024;

QString savePrefix(int pane) {
    if (pane == 1) return QStringLiteral("Saving left file: ");
    if (pane == 2) return QStringLiteral("Saving right file: ");
    return QStringLiteral("Saving file: ");
}

int errorOpOf(int slot) {
    if (FZSlotAccessKind(slot) == akCloud) return eoDropbox;
    if (FZSlotAccessKind(slot) == akHttp) return eoSocket;
    return eoOpenWrite;
}

bool saveCancelled() { return config::progressSink().cancelRequested() || FZAbortRequested(); }

// Runs step until it succeeds or the user gives up; the last code.
template <class Step>
int withRetry(const QString& location, int op, Step step) {
    int code = step();
    while (code && code != errUserAborted && AskWriteRetry(location, code, op)) code = step();
    return code;
}

}  // namespace

int SaveItemOfKind(int kind) {
    const auto it = std::find(kItemKinds.begin(), kItemKinds.end(), kind & 0x7F);
    return it == kItemKinds.end() ? -1 : int(it - kItemKinds.begin());
}

int KindOfSaveItem(int item) {
    return item >= 0 && item < kSaveEncodingItems ? kItemKinds[size_t(item)] : fkAnsi;
}

int SaveDialogItem(int fileKind, int convertedKind, bool modified, bool hasName) {
    const int kind = fileKind & 0x7F;
    if (kind == fkPlugin) return std::max(SaveItemOfKind(convertedKind), 0);
    const int item = SaveItemOfKind(kind);
    if (item >= 0) return item;
    return modified && !hasName ? SaveItemOfKind(fkUtf8) : -1;
}

bool ConfirmOverwrite(const QString& location) {
    if (!config::AppSettings().CFOverwrite || FZExistsPath(location) != 0) return true;
    return config::showMessage(QStringLiteral(" File already exist! "),
                               QStringLiteral("Overwrite the file:\r") + location, config::MsgKind::Question,
                               config::mbYes | config::mbNo, config::mrNo) == config::mrYes;
}

bool AskWriteRetry(const QString& location, int code, int op) {
    ErrorDialogServices& dlg = errorDialog();
    if (dlg.ErrorAnswer() == eaNoAll || dlg.RetriesExhausted(kWriteSide)) return false;
    if (dlg.ErrorAnswer() == eaYesAll) {
        dlg.RetryDelay();
    } else {
        const int answer = dlg.Ask(location, FZErrorText(-code, op), false, kWriteSide, false);
        if (answer != eaYes && answer != eaYesAll) return false;
    }
    dlg.CountRetry(kWriteSide);
    return true;
}

TPaneSaveResult SavePaneText(int tab, int pane, const QString& location, int encodingItem, int lineEnd,
                             const std::function<void(int slot)>& written) {
    auto& stores = engine::paneStores();
    auto& tabs = engine::fccTabs();
    // The stores hold the file fields of the shown tab only; a text tab
    // saved from another view (on closing) keeps its own in its slot.
    const bool shown = tab == tabs.CurrentTab;
    const size_t p = size_t(pane);
    auto& progress = config::progressSink();
    TPaneSaveResult res;
    const QString prefix = savePrefix(pane);
    FZResetAbort();
    progress.showProgress();

    int slot = engine::kNoSlot;
    res.op = eoOpenWrite;
    ShowRemoteConnecting(location);
    res.code = FZOpen(location, twGenAccess, true, slot);
    ErrorDialogServices& dlg = errorDialog();
    dlg.Reset();
    bool writing = false;
    if (!res.code) {
        res.op = errorOpOf(slot);
        res.accessKind = FZSlotAccessKind(slot);
        if (const int check = FZCheckLocation(slot)) {
            if (check == errShareNotFound) {
                res.op = eoCheckDir;
                res.code = withRetry(location, res.op, [&] { return FZCheckLocation(slot); });
            } else {
                res.op = eoCreateDir;
                res.code = withRetry(location, res.op, [&] { return FZMakeFolder(slot); });
            }
        }
    }
    // A remote file without a backup folder is moved away on its server; an
    // unfinished save moves it back, so the target never ends up missing.
    // Other backups leave the file in place, and an unfinished save drops the
    // one it made, which holds nothing the file does not.
    QString backupMade, movedToBackup;
    if (!res.code && FZExists(slot) == 0) {
        progress.setTextLine(1, QStringLiteral("Backup: ") + location);
        // A backup into a backup folder copies the file: the bar follows it.
        FZSetTransferStartHook([&progress](qint64 total) { progress.startProgress(std::max<qint64>(total, 0)); });
        res.code = FZMakeBackup(slot, nullptr, &backupMade, config::AppSettings().BKBeforeSave);
        FZSetTransferStartHook(nullptr);
        if (res.code) res.op = eoOpenWrite;
        if (!res.code && !backupMade.isEmpty() && FZExists(slot) != 0) movedToBackup = backupMade;
    }
    if (!res.code) {
        const int rows = shown ? std::max({stores.MaxLineCount, stores.LineCount[1], stores.LineCount[2]})
                               : tabs.GetTabMaxLineCount(tab);
        progress.setTextLine(1, prefix + location);
        progress.startProgress(rows);
        res.op = errorOpOf(slot);
        res.code = withRetry(location, res.op, [&] { return FZReopen(slot, location, twWriteAccess); });
        writing = !res.code;
        if (writing) {
            FZSetLineBreakKind(slot, lineEnd);
            FZSetFileKind(slot, KindOfSaveItem(encodingItem));
            const auto& lines = stores.TextLines[size_t(pane)];
            const auto isWritten = [&lines](int i) { return !lines.IsGap(i) && lines[i]->LineNumber >= 0; };
            // A line that goes on in the next is written without a break,
            // so the rows of one long line come back as the one line read;
            // the last line written always gets its break.
            int lastWritten = rows - 1;
            while (lastWritten >= 0 && !isWritten(lastWritten)) --lastWritten;
            res.op = eoWrite;
            for (int i = 0; i < rows && !res.code; ++i) {
                if (i % kProgressStep == 0) {
                    config::eventPump().processEvents();
                    progress.setProgress(i);
                    if (saveCancelled()) {
                        res.cancelled = true;
                        break;
                    }
                }
                const engine::TTextLine* line = lines[i];
                if (!isWritten(i)) continue;
                const bool ownBreak = !line->NoBreak || i == lastWritten;
                res.code = withRetry(location, res.op, [&] { return FZWriteText(slot, line->Text, ownBreak); });
            }
            // The buffered tail goes out before the file is finished, so a
            // failure there can still be kept or dropped.
            if (!res.code && !res.cancelled) res.code = FZFlushText(slot);
        }
    }

    if (writing && (res.cancelled || res.code)) {
        bool keep = false;
        if (!res.cancelled) {
            const int answer = dlg.Ask(location, FZErrorText(-res.code, res.op), true, kWriteSide, false);
            keep = answer == eaYes || answer == eaYesAll;
        }
        res.keptPartial = keep && FZEndFailedWrite(slot, true) == 0;
        if (!keep) FZEndFailedWrite(slot, false);
    } else if (writing) {
        const bool member = FZSlotAccessKind(slot) == akArchive;
        if (member) {
            // Finishing a member compresses it: the bar follows the bytes.
            const qint64 size = shown ? stores.FileSizes[p] : tabs.TabSlots[size_t(tab)].FileData.FileSizes[p];
            progress.setTextLine(1, QStringLiteral("Compressing..."));
            progress.startProgress(std::max<qint64>(1, size));
            FZSetArchiveProgress(slot, [&progress](qint64 done) { progress.setProgress(done); });
        }
        res.op = eoCloseWrite;
        {
            const TRemoteUploadProgress upload(slot);
            res.code = FZCloseFile(slot);
        }
        if (member) {
            FZSetArchiveProgress(slot, nullptr);
            if (!res.code) {
                const FileTime now = FZDateTimeToFileTime(QDateTime::currentDateTime());
                res.code = FZSetFileTime(slot, now, now, now);
            }
        }
        if (!res.code && written) written(slot);
        if (member) progress.setTextLine(1, QStringLiteral("Updating archive..."));
    }
    if (!backupMade.isEmpty() && !res.keptPartial && (res.code || res.cancelled) &&
        FZPointSlotAt(slot, backupMade) == 0) {
        if (movedToBackup.isEmpty())
            FZDelete(slot, false);
        else
            FZRename(slot, location);
        FZPointSlotAt(slot, location);
    }
    if (slot != engine::kNoSlot) {
        const int closed = FZClose(slot);
        if (!res.code && !res.cancelled) res.code = closed;
    }
    if (res.cancelled && !res.code) res.code = errUserAborted;
    res.saved = writing && !res.code;

    progress.setTextLine(1, QString());
    progress.hideProgress();
    if (res.saved) {
        // The pane now comes from where it was written (a save-as may have
        // moved it from an archive to a local folder).
        (shown ? stores.SideAccessKinds : tabs.TabSlots[size_t(tab)].AccessKinds)[p] = quint8(res.accessKind);
        tabs.ClearTabPaneModified(tab, pane);
        auto& undo = engine::undoStack();
        if (config::AppSettings().TEUndoPastSav) {
            undo.UndoMark[size_t(pane)] = undo.HasUndo(pane) ? 1 : 0;
            undo.MarkSaved(pane);
        } else
            undo.ClearUndo(pane);
    } else if (engine::PaneStores::IsPane(pane)) {
        config::showMessage(QStringLiteral("Tandex"),
                            QStringLiteral("The file was not saved!\r") + FZErrorText(-res.code, res.op),
                            config::MsgKind::Error);
    }
    return res;
}

QFileDialog* CreateSaveTextDialog(QWidget* parent, const TSaveDialogChoice& choice) {
    auto* dialog = new QFileDialog(parent, choice.title, choice.folder);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The overwrite question is the command's own, after the dialog.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    const QString ext = QFileInfo(choice.defaultName).suffix();
    QStringList filters;
    if (!ext.isEmpty()) filters << QStringLiteral(".%1 files (*.%1)").arg(ext);
    filters << QStringLiteral("All files (*)");
    dialog->setNameFilters(filters);
    if (!choice.defaultName.isEmpty()) dialog->selectFile(choice.defaultName);
    if (choice.encodingItem < 0) return dialog;

    auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
    if (!grid) return dialog;
    auto* coding = new QComboBox(dialog);
    coding->setObjectName(QStringLiteral("cbFileCoding"));
    for (int item = 0; item < kSaveEncodingItems; ++item) coding->addItem(FZFileKindText(KindOfSaveItem(item)));
    coding->setCurrentIndex(choice.encodingItem);
    auto* ends = new QComboBox(dialog);
    ends->setObjectName(QStringLiteral("cbLineTermination"));
    ends->addItems({QStringLiteral("Windows - CR/LF"), QStringLiteral("Unix - LF"),
                    QStringLiteral("Macintosh - CR")});
    ends->setCurrentIndex(std::clamp(choice.lineEnd, 1, 3) - 1);
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(QStringLiteral("File Coding:"), dialog), row, 0);
    grid->addWidget(coding, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Line Termination:"), dialog), row + 1, 0);
    grid->addWidget(ends, row + 1, 1);
    return dialog;
}

void ReadSaveTextDialog(QFileDialog* dialog, TSaveDialogChoice& choice) {
    const QStringList files = dialog->selectedFiles();
    choice.path = files.isEmpty() ? QString() : files.first();
    if (auto* coding = dialog->findChild<QComboBox*>(QStringLiteral("cbFileCoding")))
        choice.encodingItem = coding->currentIndex();
    if (auto* ends = dialog->findChild<QComboBox*>(QStringLiteral("cbLineTermination")))
        choice.lineEnd = ends->currentIndex() + 1;
}

bool ExecSaveTextDialog(QWidget* parent, TSaveDialogChoice& choice) {
    std::unique_ptr<QFileDialog> dialog(CreateSaveTextDialog(parent, choice));
    if (dialog->exec() != QDialog::Accepted) return false;
    ReadSaveTextDialog(dialog.get(), choice);
    return !choice.path.isEmpty();
}

}  // namespace tandex::ui
