// The window takes every key itself: the key table of the views, the
// character handler that types into a text pane, the application key hook
// that keeps keys away from the wrong control, and changedEdit, which every
// caret move and edit ends with. Caret, typing and undo records are the
// editor core's; here they are only driven and followed up.

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QLineEdit>
#include <QMenu>
#include <QWidget>

#include "command_windows.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/main_window_services.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "engine/undo_stack.h"
#include "main_window.h"
#include "row_area.h"
#include "window_helpers.h"

namespace tandex::ui {

namespace {

using config::AppSettings;

const QString kEditingDisabledText = QStringLiteral(
    "The editing of text files is currently disabled!\r\rTo enabled it go to:\t'Settings -> General -> Text "
    "Editor'\rand mark the option:\t'Enable editing of text files'\r\rDo you want to enable text file editing now?");

// Hands the application's key events to the window before any widget sees them.
class KeyHook : public QObject {
public:
    explicit KeyHook(TF_Main* window) : QObject(window), window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress || type == QEvent::InputMethod || type == QEvent::ShortcutOverride)
            if (window_->applicationMessage(watched, event)) return true;
        return QObject::eventFilter(watched, event);
    }

private:
    TF_Main* window_;
};

// The character a key types, as the platform's character message would
// carry it: Ctrl with a letter gives its control character, keys without a
// character (Delete among them) give none.
QString typedText(const QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Backspace: return QString(QChar(8));
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return QString(QChar(9));
    case Qt::Key_Return:
    case Qt::Key_Enter: return QString(QChar(13));
    case Qt::Key_Escape: return QString(QChar(27));
    case Qt::Key_Delete: return {};
    default: break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    // Alt with a key is a menu key, never a character.
    if (mods.testFlag(Qt::AltModifier) && !mods.testFlag(Qt::ControlModifier)) return {};
    if (mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier) && event->key() >= Qt::Key_A &&
        event->key() <= Qt::Key_Z)
        return QString(QChar(event->key() - Qt::Key_A + 1));
    return event->text();
}

bool isCaretView(int viewType) { return viewType == vtText || viewType == vtBinary; }

// The similarity ratio wraps within 20 .. 100.
int steppedSimilarity(int value, int step) {
    value += step;
    if (value < 20) return 100;
    if (value > 100) return 20;
    return value;
}

}  // namespace

void TF_Main::createKeyHandling() {
    // Input methods commit their text to the pane that has the focus.
    rowArea_->setAttribute(Qt::WA_InputMethodEnabled);
    // Only the keys the key table leaves to the menus are shortcuts; Qt
    // would deliver any other shortcut before the key table saw the key.
    const std::pair<const char*, QKeySequence> shortcuts[] = {
        {"PrintBoth1", QKeySequence(QStringLiteral("Ctrl+P"))}, {"Undo1", QKeySequence(QStringLiteral("Ctrl+Z"))},
        {"Find1", QKeySequence(QStringLiteral("Ctrl+F"))},      {"FindNext1", QKeySequence(Qt::Key_F3)},
        {"Replace1", QKeySequence(QStringLiteral("Ctrl+R"))},   {"GotoLine1", QKeySequence(QStringLiteral("Ctrl+G"))},
        {"mmCenter1", QKeySequence(Qt::Key_F2)},                {"Settings1", QKeySequence(QStringLiteral("Ctrl+S"))},
        {"Help2", QKeySequence(Qt::Key_F1)}};
    for (const auto& [name, key] : shortcuts) {
        if (auto* item = findChild<QAction*>(QLatin1String(name))) {
            item->setShortcut(key);
            // Menus that are not shown yet still take their keys.
            addAction(item);
        }
    }
    restoreEditShortcuts();
    for (const char* name : {"Copy1", "Paste1", "Cut1", "Delete1"})
        if (auto* item = findChild<QAction*>(QLatin1String(name))) addAction(item);
    // The key table's own keys show in the menus as text only.
    const std::pair<const char*, const char*> shown[] = {{"FirstDifference1", "Ctrl+PgUp"},
                                                         {"PrevDifference1", "Ctrl+Up"},
                                                         {"NextDifference1", "Ctrl+Down"},
                                                         {"LastDifference1", "Ctrl+PgDown"}};
    for (const auto& [name, key] : shown) {
        if (auto* item = findChild<QAction*>(QLatin1String(name))) {
            item->setShortcut(QKeySequence());
            item->setText(item->text() + u'\t' + QLatin1String(key));
        }
    }
    if (auto* item = findChild<QAction*>(QStringLiteral("Delete1")))
        connect(item, &QAction::triggered, this, [this, item] { pmDelete1Click(item); });
    if (auto* item = findChild<QAction*>(QStringLiteral("NewTextCompare1")))
        connect(item, &QAction::triggered, this, [this, item] { NewTextCompare1Click(item); });
    qApp->installEventFilter(new KeyHook(this));
}

// ---- Qt's key events --------------------------------------------------------------

void TF_Main::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    FormKeyDown(this, key, event->modifiers());
    if (key != 0) {
        for (QChar c : typedText(event)) FormKeyPress(this, c);
    }
    event->accept();
}

bool TF_Main::applicationMessage(QObject* watched, QEvent* event) {
    if (QGuiApplication::applicationState() != Qt::ApplicationActive || !isActiveWindow()) return false;
    QWidget* focus = QApplication::focusWidget();
    // The hook sees an event once for every widget it passes on its way up:
    // act on the first delivery only.
    if (!focus || focus->window() != this || watched != focus) return false;
    if (event->type() == QEvent::ShortcutOverride) {
        refreshShortcutMenus(*static_cast<QKeyEvent*>(event));
        return false;
    }
    if (event->type() == QEvent::InputMethod) {
        if (focus != rowArea_) return false;
        const QString text = static_cast<QInputMethodEvent*>(event)->commitString();
        for (QChar c : text) FormKeyPress(this, c);
        return true;
    }
    if (focus == M_LOpenErr || focus == M_ROpenErr) return true;
    if (focus == eLine1 || focus == eLine2 || focus == eFN1 || focus == eFN2) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (focus != rowArea_) {
        // Any other control gives the focus back to the panes, which get the key.
        refocusMain();
        if (QApplication::focusWidget() != rowArea_) rowArea_->setFocus(Qt::OtherFocusReason);
        QCoreApplication::postEvent(rowArea_, new QKeyEvent(key->type(), key->key(), key->modifiers(),
                                                            key->nativeScanCode(), key->nativeVirtualKey(),
                                                            key->nativeModifiers(), key->text(),
                                                            key->isAutoRepeat(), quint16(key->count())));
        return true;
    }
    // Tab and Enter never move the focus: they type.
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (tab || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        QChar c(tab ? 9 : 13);
        FormKeyPress(this, c);
        return true;
    }
    return false;
}

// A menu's items are enabled as the menu opens; the state it left behind
// may be long out of date (an empty clipboard, no selection back then) and
// would keep the item's key from working. The menu holding the key's item
// is brought up to date before Qt looks the key up.
void TF_Main::refreshShortcutMenus(const QKeyEvent& key) {
    const QKeySequence pressed(QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    for (QAction* item : actions()) {
        if (item->shortcut() != pressed) continue;
        for (QObject* owner : item->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(owner)) menuPopup(menu);
    }
}

// ---- the key table ----------------------------------------------------------------

void TF_Main::scrollOneRowDown() { scrollToTop(topRow(viewType_) + 1); }

void TF_Main::FormKeyDown(QObject*, int& key, Qt::KeyboardModifiers shift) {
    shift &= ~Qt::KeypadModifier;
    auto& s = AppSettings();
    auto& st = engine::paneStores();
    auto& ed = engine::editor();
    auto& r = engine::rows();
    const int view = viewType_;

    // Keys that work even while a long operation has disabled the controls.
    if (view == vtText) {
        // F8, the line-similarity pick, comes with the pick mode.
        const bool altArrow = shift == Qt::AltModifier && (key == Qt::Key_Up || key == Qt::Key_Down);
        if (key == Qt::Key_F9 || altArrow) {
            if (key == Qt::Key_F9)
                s.TCFPEnabled = !s.TCFPEnabled;
            else
                s.TCSimilarity = steppedSimilarity(s.TCSimilarity, key == Qt::Key_Up ? 1 : -1);
            st.FuzzyMode = s.TCSimilarity != 100 && s.TCFPEnabled ? 1 : 0;
            if (key == Qt::Key_F9) engine::textCompare().FuzzyStopState = 0;
            showInsertState();
            if (key == Qt::Key_F9 || s.TCFPEnabled) scheduleRecompare();
            key = 0;
            return;
        }
    }

    // The settings button is disabled with the controls, but also whenever
    // it is hidden: the controls' own state is what counts.
    if (!controlsEnabled_ || ed.EditBusy) return;
    engine::undoStack().BeginUndoGroup();
    const int caretRow = ed.Caret.Row;
    const bool ctrl = shift == Qt::ControlModifier;
    const bool noRows = view == vtFree || view == vtImage;
    const int page = rowsPerPage();
    const int count = st.VisibleRowCount();
    lockPaint();
    switch (key) {
    case Qt::Key_Tab:
        if (editingBlocked()) break;
        if (r.IsRowSelected(ed.ActiveSide, caretRow)) deleteAtCaret(0);
        ed.TypeChar(QChar(9));
        changedEdit({}, 2, 2);
        ed.EditBusy = 0;
        // Typed already: no character follows.
        key = 0;
        break;
    case Qt::Key_Escape:
        cancelFlag_ = true;
        break;
    case Qt::Key_PageUp:
        if (noRows) break;
        if (ctrl) {
            gotoFirstDifference();
        } else {
            if (topRow(view) > 1) {
                scrollRowIntoView(ed.Caret.Row);
                const int top = topRow(view);
                scrollToTop(std::max(1, top - (page - 1)));
                ed.CaretGoTo(ed.Caret.Column, std::max(0, ed.Caret.Row - (top - topRow(view))));
            } else {
                ed.CaretToTop();
            }
            changedEdit(shift, 3, 0);
        }
        break;
    case Qt::Key_PageDown:
        if (noRows) break;
        if (ctrl) {
            LastDifference1Click(this);
        } else {
            const int top = topRow(view);
            scrollToTop(std::min(top + page - 1, std::max(1, count - page + 1)));
            const int scrolled = topRow(view) - top;
            if (scrolled > 0)
                ed.CaretGoTo(ed.Caret.Column, ed.Caret.Row + scrolled);
            else
                ed.CaretToBottom();
            changedEdit(shift, 3, 0);
        }
        break;
    case Qt::Key_End:
        if (noRows) break;
        if (shift.testFlag(Qt::ControlModifier)) {
            gotoFirstLast(count - page + 1);
            ed.CaretToBottom();
            changedEdit({}, 3, 2);
        } else {
            ed.CaretEnd();
            changedEdit(shift, 3, 2);
        }
        break;
    case Qt::Key_Home:
        if (noRows) break;
        if (shift.testFlag(Qt::ControlModifier)) {
            shift &= ~Qt::ControlModifier;
            gotoFirstLast(1);
            ed.CaretToTop();
            if (!shift.testFlag(Qt::ShiftModifier)) ed.SetSelection(1, 0, 1, 0);
        } else {
            ed.CaretHome();
        }
        changedEdit(shift, 3, 2);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const bool left = key == Qt::Key_Left;
        if (view == vtFolder) {
            auto& f = engine::folderRows();
            if (f.RowFolderState(caretRow) == (left ? 2 : 1)) {
                f.ToggleFolderRow(caretRow);
                updateRowRange();
            }
        } else if (isCaretView(view)) {
            if (shift.testFlag(Qt::ControlModifier) || !r.CaretViewActive) break;
            if (left) {
                ed.CaretLeft();
                if (ed.Caret.Row + 1 < topRow(view)) gotoFirstLast(topRow(view) - 1);
            } else {
                ed.CaretRight();
                if (ed.Caret.Row > topRow(view) + page - 2) scrollOneRowDown();
            }
            changedEdit(shift, 3, 2);
        } else {
            imageZoomKey(key, shift);
        }
        break;
    }
    case Qt::Key_Up:
        if (noRows) break;
        if (ctrl) {
            BB_DIFPREVClick(this);
        } else if (caretRow > 0) {
            if (topRow(view) > caretRow) {
                scrollToTop(topRow(view) - 1);
                P_MID->update();
            }
            scrollRowIntoView(caretRow - 1);
            ed.CaretUp();
            changedEdit(shift, 3, 0);
        }
        break;
    case Qt::Key_Down:
        if (noRows) break;
        if (ctrl) {
            BB_DIFNEXTClick(this);
        } else if (caretRow < count - 1) {
            if (caretRow >= topRow(view) + page - 2) {
                scrollOneRowDown();
                P_MID->update();
            }
            ed.CaretDown();
            changedEdit(shift, 3, 0);
        }
        break;
    case Qt::Key_Insert:
        if (view != vtText) break;
        ed.ToggleInsertMode();
        showInsertState();
        break;
    case Qt::Key_Delete:
        // Delete belongs to the Edit menu; a hidden or disabled menu item
        // lets it through to here, where Qt would otherwise drop it.
        if (view == vtText && shift == Qt::NoModifier) pmDelete1Click(this);
        if (view == vtText && shift == Qt::ShiftModifier) pmCut1Click(this);
        break;
    case Qt::Key_A:
        if (!ctrl || noRows) break;
        r.SelectAllRows(ed.ActiveSide);
        // The pane's select-all button steps as a click would, so a second
        // Ctrl+A releases it and clears the selection again.
        selectAllKeyStep(ed.ActiveSide);
        repaintPanes();
        break;
    case Qt::Key_L:
        if (ctrl) gotoLongestLine();
        break;
    case Qt::Key_N:
        if (ctrl) TB_NEXTFILEClick(this);
        break;
    case Qt::Key_B:
        if (ctrl) TB_PREVFILEClick(this);
        break;
    case Qt::Key_F4:
        if (ctrl) fbCloseTabClick(nullptr);
        break;
    case Qt::Key_F5:
        if (ctrl && !noRows)
            scheduleRecompare();
        else if (shift == Qt::NoModifier)
            TB_ReloadClick(nullptr);
        break;
    default:
        break;
    }
    // Ctrl+B and Ctrl+N (previous and next file) come with their commands.
    // Every exactly-Ctrl key is the table's.
    if (ctrl) key = 0;
    unlockPaint();
    // A key may have moved the caret, changed the selection or the text:
    // the buttons that depend on them must not stay as they were.
    updateControls();
}

// ---- typing -------------------------------------------------------------------------

void TF_Main::FormKeyPress(QObject*, QChar& key) {
    const ushort c = key.unicode();
    // Only Backspace, Tab and Enter of the control characters edit; any
    // other (Ctrl with a letter, Esc) would put an invisible character
    // into the file.
    if (c < 32 && c != 8 && c != 9 && c != 13) return;
    if (viewType_ == vtFolder) {
        if (c == 13) pmCompareFilesClick(this);
        return;
    }
    auto& ed = engine::editor();
    auto& st = engine::paneStores();
    auto& r = engine::rows();
    if (ed.EditBusy || !controlsEnabled_ || editingBlocked()) return;
    const int pane = ed.ActiveSide;
    if (!engine::PaneStores::IsPane(pane)) return;
    if (st.FileNames[size_t(pane)].isEmpty()) {
        newEmptyPane(false, pane, engine::TFileTime(config::GetUtcNowFileTime()));
        ed.CaretToTop();
        saveTabState();
        drawTabBar();
        showFileNames();
    }
    ed.EditBusy = 1;
    engine::undoStack().BeginUndoGroup();
    lockPaint();
    const int page = rowsPerPage();
    if (c == 8) {
        if (ed.Caret.Row > 0 || (!r.RowText(pane, 0).isEmpty() && ed.Caret.Column > 1))
            deleteAtCaret(2);
        else
            ed.CaretToTop();
    } else if (c == 13) {
        if (st.LineCount[size_t(pane)] >= engine::kMaxFileLines) {
            config::showMessage(QStringLiteral("Warning:"), engine::kMaxEntryText, config::MsgKind::Warning);
        } else {
            if (r.IsRowMissing(pane, ed.Caret.Row) && ed.Caret.Row > 0) {
                ed.Caret.Row -= 1;
                ed.CaretEnd();
            }
            deleteAtCaret(0);
            r.TagLineAtRow(pane, ed.Caret.Row, 1);
            if (ed.EditNewLine() == engine::kEditRefused) {
                r.TakeTaggedLineRow(pane, 1);
                config::showMessage(QStringLiteral("Warning:"), engine::kMaxEntryText, config::MsgKind::Warning);
            } else {
                if (ed.Caret.Row >= topRow(viewType_) + page - 2) scrollOneRowDown();
                changedEdit({}, 4, 0);
                // The recompare may have moved the rows: the new line follows the tagged one.
                const int tagged = r.TakeTaggedLineRow(pane, 1);
                if (tagged >= 0) {
                    ed.PlaceCaret(ed.Caret.Column, tagged + 1, pane);
                    ed.SetSelection(ed.Caret.Column, ed.Caret.Row, 0, -1);
                    scrollRowIntoView(ed.Caret.Row);
                }
            }
        }
    } else {
        deleteAtCaret(0);
        ed.TypeChar(key);
        if (ed.Caret.Row > topRow(viewType_) + page - 2) scrollOneRowDown();
        details_.row = -1;
        detailsRow_ = -1;
        changedEdit({}, 1, 2);
        ed.SetSelection(ed.Caret.Column, ed.Caret.Row, 0, -1);
    }
    unlockPaint();
    ed.EditBusy = 0;
    updateControls();
}

// ---- the follow-up of every caret move and edit ---------------------------------------

void TF_Main::changedEdit(Qt::KeyboardModifiers shift, int changeType, int scrollKind) {
    auto& st = engine::paneStores();
    auto& ed = engine::editor();
    auto& r = engine::rows();
    const int pane = ed.ActiveSide;

    if (changeType == 4) {
        const config::BusyCursor hourglass;
        structuralEdit_ = true;
        config::eventPump().processEvents();
        engine::mainWindow().renumberLines(pane);
        recompare();
        if (st.SinglePaneView) r.FilterTextRows(r.TextViewFilter);
        updateRowRange();
        structuralEdit_ = false;
        scrollRowIntoView(ed.Caret.Row);
        // The information lines count the file's lines.
        showFileNames();
    }

    if ((changeType == 3 || changeType == 4) && (scrollKind == 0 || scrollKind == 2)) {
        int column = ed.Caret.Column, endRow = -1;
        if (st.FolderMode) {
            column = 0;
            endRow = ed.Caret.Row;
        }
        if (shift.testFlag(Qt::ShiftModifier))
            ed.SetSelectionEnd(column, ed.Caret.Row);
        else
            ed.SetSelection(column, ed.Caret.Row, 0, endRow);
        if (st.FolderMode && !shift.testFlag(Qt::ControlModifier)) shift = Qt::ShiftModifier;
        applySelection(shift, ed.Caret.Row);
        resetSelectButtons(15);
    }

    if (changeType == 2) markDifferingRows();

    if (changeType == 1 || changeType == 2 || changeType == 4) {
        if (engine::PaneStores::IsPane(pane) && !engine::fccTabs().IsPaneModified(pane)) {
            engine::fccTabs().MarkPaneModified(pane);
            updateSaveCommands();
        }
        invalidatePanes(false);
        refreshDetails(ed.Caret.Row);
    }

    bool scrolled = false;
    if (scrollKind > 0 && engine::PaneStores::IsPane(pane)) {
        const int visible = std::max(1, pane == 2 ? geometry_.visibleColsRight : geometry_.visibleColsLeft);
        const int offset = ed.FirstVisibleColumn;
        const int column = ed.Caret.Column;
        int target = 0;
        if (scrollKind == 1) {
            target = 1;
        } else if (scrollKind == 2) {
            const int margin = DragSelecting ? 0 : 4;
            if (column < offset + 2)
                target = std::max(1, column - margin);
            else if (column - offset > visible)
                target = column - visible + 1 + margin;
        } else if (scrollKind == 3 && column <= visible && offset > 1) {
            target = 1;
        }
        int& longest = st.LongestLine[size_t(pane)];
        if (viewType_ == vtText) longest = std::max(longest, r.RowTextLength(pane, ed.Caret.Row));
        updateHScrollBar();
        // Already there: moving the bar would only repaint.
        if (target > 0 && target != offset + 1) {
            if (column > hScrollBar->maximum() - 4) {
                const QSignalBlocker quiet(hScrollBar);
                hScrollBar->setMaximum(column + 4);
            }
            hScrollBarScroll(hScrollBar, target);
            ed.RefreshCaret();
            scrolled = true;
        }
    }

    if (st.ReplaceAllActive) return;
    if (!scrolled) invalidatePanes(false);
    drawRulerMarker(pane);
}

// ---- the editing gate and deleting ------------------------------------------------------

bool TF_Main::editingBlocked() {
    if (viewType_ == vtText) {
        auto& s = AppSettings();
        if (s.TEEnabled) return engine::paneStores().VisibleRowCount() == 0 && !newTextSetup_;
        const int answer = config::showMessage(QStringLiteral(" Editing disabled! "), kEditingDisabledText,
                                               config::MsgKind::Information, config::mbYes | config::mbNo,
                                               config::mrYes);
        if (answer != config::mrYes) return true;
        commandWindows().ShowSettingsPage(6, 3);
        return !s.TEEnabled;
    }
    if (viewType_ == vtBinary)
        config::showMessage(QStringLiteral(" Editing binary files "),
                            QStringLiteral("The editing of binary files is not yet supported!"),
                            config::MsgKind::Information);
    return true;
}

void TF_Main::deleteAtCaret(int mode) {
    auto& ed = engine::editor();
    auto& r = engine::rows();
    auto& st = engine::paneStores();
    const int pane = ed.ActiveSide;
    if (!engine::PaneStores::IsPane(pane) || editingBlocked()) return;
    editLine_ = std::max(0, r.RowLineNumber(pane, ed.Caret.Row) - 1);

    int row = -1;
    bool structural = false, joined = false, again = false;
    if (r.IsRowSelected(pane, ed.Caret.Row)) {
        const config::BusyCursor hourglass;
        config::eventPump().processEvents();
        ed.PushCaretUndo(1);
        int column = 1;
        bool moreLines = false;
        row = ed.DeleteSelection(pane, column, moreLines, again);
        if (row < 0) {
            engine::undoStack().PopUndo(pane);
            repaintPanes();
            again = false;
        } else {
            ed.Caret = {column, row};
            // A single line removed whole changes the structure too.
            structural = moreLines || st.TextLines[size_t(pane)].IsGap(r.TextRowIndex(row));
        }
    } else if (!r.IsRowMissing(pane, ed.Caret.Row) && (mode == 1 || mode == 2)) {
        const int result = mode == 1 ? ed.EditDelete() : ed.EditBackspace();
        if (result == 1) {
            detailsRow_ = -1;
            row = ed.Caret.Row;
        } else if (result != 0) {
            structural = joined = true;
            row = ed.Caret.Row;
        }
    }

    if (row >= 0) {
        for (int above = row; above >= 0; --above) {
            if (r.IsRowMissing(pane, above)) continue;
            editLine_ = std::max(0, r.RowLineNumber(pane, above) - 1);
            break;
        }
        r.TagLineAtRow(pane, row, 1);
        if (structural) {
            changedEdit({}, 4, 2);
        } else {
            ed.RecompareCaretLine(r.TextRowDiffers(ed.Caret.Row));
            changedEdit({}, 1, 2);
        }
        const int tagged = r.TakeTaggedLineRow(pane, 1);
        if (tagged >= 0) {
            scrollRowIntoView(tagged);
            ed.PlaceCaret(ed.Caret.Column, tagged, pane);
            ed.SetSelection(ed.Caret.Column, tagged, 0, -1);
            if (joined && st.UndoEnabled)
                engine::undoStack().PushUndo(engine::ukWindowEdit6, pane, r.RowLineNumber(pane, tagged), {},
                                             ed.Caret.Column, ed.JoinedNoBreak ? 1 : 0);
        }
    }
    if (again) deleteAtCaret(1);
}

void TF_Main::pmDelete1Click(QObject*) {
    auto& ed = engine::editor();
    if (ed.EditBusy || !isActiveWindow()) return;
    engine::undoStack().BeginUndoGroup();
    lockPaint();
    deleteAtCaret(1);
    unlockPaint();
    ed.EditBusy = 0;
}

// ---- a new text comparison ----------------------------------------------------------------

void TF_Main::newEmptyPane(bool, int pane, engine::TFileTime time) {
    auto& st = engine::paneStores();
    auto& ed = engine::editor();
    const auto p = size_t(pane);
    st.ResetSide(pane, true);
    st.FileKinds[p] = 5;
    st.PlugInIndex[p] = -1;
    plugInIndex_[p] = -1;
    st.SideAccessKinds[p] = 1;
    loadedLineCounts_[p] = 0;
    loadCut_[p] = false;
    st.FileTimes[p] = time;
    st.FileNames[p] = pane == 1 ? QStringLiteral("NewL.txt") : QStringLiteral("NewR.txt");
    (pane == 1 ? P_LImage : P_RImage)->hide();
    st.LineEndings[p] = 1;
    ed.SetActiveSide(pane);
    setActivePane(viewType_, pane);
    // The one empty line an Enter into an empty pane leaves; made here
    // directly, as a pane without rows has no caret row to split.
    const bool allowed = recompareAllowed_;
    recompareAllowed_ = false;
    engine::TTextLine* line = st.TextLines[p].New(0);
    line->Text.clear();
    line->LineNumber = 1;
    st.LineCount[p] = 1;
    st.LongestLine[p] = 0;
    st.UpdateMaxLineCount();
    engine::rows().FilterTextRows(engine::rows().TextViewFilter);
    recompareAllowed_ = allowed;
    engine::undoStack().ClearUndo(pane);
    engine::fccTabs().ClearPaneModified(pane);
}

void TF_Main::NewTextCompare1Click(QObject*) {
    if (Busy()) return;
    auto& st = engine::paneStores();
    auto& r = engine::rows();
    auto& tabs = engine::fccTabs();
    // The text tab's own state comes back unless the tab is made now.
    if (tabs.GetCurrentViewType() != vtText) switchView(vtText, tabs.FindTabByViewType(vtText) < 0, true);
    if (st.SinglePaneView) {
        st.SinglePaneView = 0;
        singlePaneView_ = false;
        arrangeLayout(vtText);
    }
    if (!askSaveModified(3)) return;
    LockWindowRedraw(this);
    st.ResetSide(1, true);
    st.ResetSide(2, true);
    r.ClearLineDifferences();
    st.MaxLineCount = 0;
    r.TextRowCount = 0;
    updateRowRange();
    setTopRow(vtText, 1, 1);
    newTextSetup_ = true;
    const auto now = engine::TFileTime(config::GetUtcNowFileTime());
    newEmptyPane(true, 2, now);
    newEmptyPane(true, 1, now);
    engine::editor().CaretToTop();
    saveTabState();
    tabs.SetTabDiffCount(0);
    engine::textCompare().ResetTextCompareCounts();
    drawTabBar();
    r.FilterTextRows(r.TextViewFilter);
    newTextSetup_ = false;
    UnlockWindowRedraw(this, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_NOERASE);
    refreshView();
    refocusMain();
}

}  // namespace tandex::ui
