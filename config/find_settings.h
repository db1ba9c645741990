#pragma once
// The find and replace dialog's stored state: its two check boxes and its
// two histories. The window position is AppSettings().FFL and FFT. The
// dialog takes this value when it is created and hands it back before the
// settings are saved; no widget is involved here.

#include <QStringList>

namespace tandex::config {

inline constexpr int kFindHistorySize = 20;

struct TFindReplaceSettings {
    bool WholeWord = false;  // "Match whole word only"
    bool MatchCase = false;  // "Match case"
    // Newest first, at most 20 texts each, none empty.
    QStringList FindHistory;
    QStringList ReplaceHistory;
};

// The program's value, read by the dialog and handed back by it.
TFindReplaceSettings& FindReplaceSettings();

// Reads section "FindReplace" from the INI store, which still holds the
// settings file from the settings load, into AppSettings().FFL and FFT and
// FindReplaceSettings(); then frees the store's lines.
void LoadFindReplaceSettings();
// Writes section "FindReplace" into the INI store: the position, the check
// boxes and 20 "Find" and 20 "Replace" keys, empty where a history is
// shorter. False when the store had no room.
bool WriteFindReplaceSettings();

}  // namespace tandex::config
