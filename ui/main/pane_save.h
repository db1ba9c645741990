#pragma once
// Writing a text pane back to a file: the encoding items of the save
// dialog, the write with its backup, retries and keep question, and the
// save dialog with its two extra rows. The window's commands
// (main_window_save.cpp) decide where to and then call SavePaneText.

#include <QString>

class QFileDialog;
class QWidget;

namespace tandex::ui {

// The seven encodings the save dialog lists, as items 0..6, and the file
// kinds they stand for; a kind without an item gives -1.
inline constexpr int kSaveEncodingItems = 7;
int SaveItemOfKind(int kind);
int KindOfSaveItem(int item);

// The encoding item the save dialog starts with for a pane of a file
// kind (and, for a converted file, the kind its output was read with);
// -1 for no encoding rows, except that a modified pane without a file
// name starts with UTF-8.
int SaveDialogItem(int fileKind, int convertedKind, bool modified, bool hasName);

// With CFOverwrite on, an existing location is only overwritten after
// "Yes" to the question; false to stop.
bool ConfirmOverwrite(const QString& location);

// What a save came to. saved is true only when the whole text reached
// its target; a kept partial file is not a save.
struct TPaneSaveResult {
    bool saved = false;
    bool cancelled = false;
    bool keptPartial = false;
    int code = 0;
    int op = 0;
    // Where the saved text now lies: 1 local, 2 FTP, 3 archive, 4 cloud.
    int accessKind = 1;
};

// Asks whether a failed write step is tried again (operation op, result
// code): no once the user said "No, all" or the write retries are used
// up; after "Yes, all" it only waits the retry delay. Counts the retry.
bool AskWriteRetry(const QString& location, int code, int op);

// Writes the text of pane (1 or 2) of the pane stores to location in the
// encoding item and line end (1 CR/LF, 2 LF, 3 CR). Gap rows and the
// store-full marker line are not written. An existing file is backed up
// first. A failure or cancel never replaces the target, unless the user
// asks to keep the partial file. tab's modified state of the pane is
// cleared only on success; otherwise "The file was not saved!" appears.
TPaneSaveResult SavePaneText(int tab, int pane, const QString& location, int encodingItem, int lineEnd);

// The non-native save dialog for a pane's text. With encodingItem >= 0
// it carries the rows "File Coding:" and "Line Termination:", read back
// into encodingItem and lineEnd on OK.
struct TSaveDialogChoice {
    QString title;
    QString folder;
    QString defaultName;
    int encodingItem = -1;
    int lineEnd = 1;
    QString path;  // the chosen file
};
// Built but not shown, so tests can look at its rows.
QFileDialog* CreateSaveTextDialog(QWidget* parent, const TSaveDialogChoice& choice);
void ReadSaveTextDialog(QFileDialog* dialog, TSaveDialogChoice& choice);
// Shows the dialog; false when cancelled.
bool ExecSaveTextDialog(QWidget* parent, TSaveDialogChoice& choice);

}  // namespace tandex::ui
