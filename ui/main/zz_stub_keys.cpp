#include "main_window.h"
#include "engine/pane_stores.h"
namespace tandex::ui {
void TF_Main::changedEdit(Qt::KeyboardModifiers, int, int) { repaintPanes(); }
bool TF_Main::editingBlocked() { return false; }
void TF_Main::newEmptyPane(bool, int pane, quint64) { auto& s = engine::paneStores(); s.ResetSide(pane, true); s.FileNames[size_t(pane)] = pane == 1 ? "NewL.txt" : "NewR.txt"; }
}
