#pragma once
// Small window routines that many windows share: the main form's place on
// the screen, combo-box histories, the redraw lock around bulk updates, the
// plain OK message box and a few menu helpers.

#include <QFont>
#include <QString>

#include "config/app_settings.h"

class QComboBox;
class QMenu;
class QWidget;

namespace tandex::ui {

// A stored font as the toolkit's, and back; an empty name is the fixed
// font of the system.
QFont FontOfDesc(const config::TFontDesc& desc);
config::TFontDesc DescOfFont(const QFont& font);

// The program's main window, once it exists; windows place themselves
// relative to it (MainFormRelativePos reads its frame from here). Forgotten
// automatically when that window is destroyed.
void SetMainForm(QWidget* form);
QWidget* MainForm();

// Puts text at the top of the box's list (moving it when it is there) and
// shows it; never shortens the list. The case-insensitive look-up folds
// only the letters A to Z.
void AddComboHistory(QComboBox* box, const QString& text, bool caseInsensitive);

// Moves or inserts the box's own text at the top of its list, searching
// items 0..maxIndex, and keeps at most maxIndex + 1 items. Shows the stored
// spelling afterwards. Returns the index where the text was found, or
// maxIndex + 1 when it was not.
int UpdateComboHistory(QComboBox* box, int maxIndex, bool caseInsensitive);
int UpdateComboHistoryNoCase(QComboBox* box, int maxIndex);

// Redraw flags of UnlockWindowRedraw, with the platform's values that
// callers pass on.
constexpr int RDW_INVALIDATE = 0x1;
constexpr int RDW_NOERASE = 0x20;
constexpr int RDW_ALLCHILDREN = 0x80;
constexpr int RDW_UPDATENOW = 0x100;

// Stops a window from repainting until it is unlocked; the unlock repaints
// it with its children (at once with RDW_UPDATENOW).
void LockWindowRedraw(QWidget* window);
void UnlockWindowRedraw(QWidget* window, int flags);

// A modal message box with an OK button, through the installed message
// sink (a real box in the window program, a recorded message headless).
void ShowMessageBoxOk(const QString& caption, const QString& text);

// Takes the Close command away from the window's frame: no close button,
// and close requests from the frame are refused.
void DisableSystemMenuClose(QWidget* window);

// Appends to target a copy of each item of popup (caption, tag, image and
// click handler), owned by target.
void CopyPopupMenuItems(QMenu* target, QMenu* popup);

}  // namespace tandex::ui
