#pragma once
// The rules of the colour dialog that need no widget: which set a list
// position shows, which names are taken by the built-in sets, which of the
// dialog's buttons may be pressed, and where a set is saved.

#include <QString>
#include <QStringList>

namespace tandex::settings {

inline constexpr int kColorListSize = 10;

// The set that list position p shows, and the position that shows set p:
// the identity, except that in the flat look (GSGUIStyle not 0) 2 and 10
// trade places, so that "Flat Blue" stands where "Sky Blue" would.
int ColorSetSlot(int p);
// The names of the sets ColorSetSlot(0 .. 9), in list order.
QStringList ColorSetListNames();
// False when the name, ASCII letters compared without case, is that of one
// of the sets ColorSetSlot(0 .. 4), which are never stored.
bool IsNewSetName(const QString& name);

struct TColorButtonStates {
    bool ok = false;
    bool apply = false;
    bool save = false;
    bool del = false;
};
// name: the list's edit text; selectedEntry: the list entry of the
// selected set (empty when the list shows none for it). A built-in set may
// be chosen but not changed under its own name.
TColorButtonStates ColorButtonStates(const QString& name, bool setModified, bool applyAllowed,
                                     const QString& selectedEntry);

// Where a set named name is saved: the first list position whose entry is
// the name, else the first free user storage ("-"), else -1.
int ColorSetSaveTarget(const QStringList& entries, const QString& name);

// The question before a user set is replaced by one of a new name.
QString ReplaceColorSetText(const QString& oldName, const QString& newName);

}  // namespace tandex::settings
