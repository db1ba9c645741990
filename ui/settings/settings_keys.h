#pragma once
// Which control of the settings dialog holds which settings key, and how.
// One descriptor per key-holding control: the opening copies every key into
// its control from this table, and "Ok"/"Apply" store every control back
// from it, so a key's control, conversion, range and follow-up are written
// down once. The FTP, cloud and plug-in pages keep their own routines.

#include <QString>
#include <QtGlobal>
#include <variant>
#include <vector>

#include "config/app_settings.h"

namespace tandex::settings {

enum TKeyKind : quint8 {
    kkCheck,      // QCheckBox: checked = the boolean key (its negation when inverted)
    kkRadio,      // radio buttons: the key's value checks the button of that value
    kkItemIndex,  // QComboBox: the item index = the integer key
    kkNumber,     // QLineEdit: decimal text of the integer key, stored after its range check
    kkText,       // QLineEdit: the string key as it is
    kkPassword,   // QLineEdit: the key unscrambled; stored scrambled
    kkColor,      // panel: its background colour = the colour key (0x00BBGGRR)
    kkLabelTag,   // QLabel: its "Tag" property (0 or 1) = the boolean key
};

// What storing a changed value sets off besides the store itself; bits.
enum TFollowUp : quint32 {
    fuNone = 0,
    fuAtOnce = 1u << 0,          // the click writes it; "Ok", "Apply" and "Cancel" leave it alone
    fuHeld = 1u << 1,            // checked with the other ranges, stored by its own later step
    fuRecompare = 1u << 2,       // the text comparison is computed again
    fuLineKeys = 1u << 3,        // the line keys of both panes are cleared
    fuFuzzyMatrix = 1u << 4,     // the fuzzy similarity matrix is dropped
    fuReload = 1u << 5,          // the loaded files are read again
    fuReloadBinary = 1u << 6,    // ... only while the binary view is current
    fuPrintChanged = 1u << 7,    // the main window's print settings count as changed
    fuAccessLayer = 1u << 8,     // handed to the access layer through its setter
    fuFolderInUse = 1u << 9,     // a folder made with its parents while in use
    fuMainLayout = 1u << 10,     // the main window redraws or lays out what it shows
    fuViewFilter = 1u << 11,     // a view's "only differences" filter follows it
    fuLineFilter = 1u << 12,     // part of the line filter: a change filters the rows again
    fuGuiStyle = 1u << 13,       // icon sets, colour set and the dialog's own look follow it
    fuSizeUnits = 1u << 14,      // the size texts switch units
};

// Where a key lives; a program-wide byte (not a settings key) comes as quint8.
using TKeyValue = std::variant<bool*, int*, QString*, quint8*>;
using TKeyRef = TKeyValue (*)(config::TAppSettings&);

struct TKeyDescriptor {
    int page = 0;
    // The control's object name; a radio group lists its buttons separated
    // by ";" in the order of values.
    const char* control = "";
    // The key's name in the settings file.
    const char* key = "";
    TKeyRef ref = nullptr;
    TKeyKind kind = kkCheck;
    bool inverted = false;
    // Radio groups: the value of each button, ";"-separated, and the
    // button a value that none of them has checks.
    const char* values = "";
    int fallback = 0;
    // Numbers: the text holding "(Range: a .. b)", either literal or, after
    // "@", the ";"-separated names of the controls whose caption (labels)
    // or hint (other controls) make it up, and the tab name of the check's
    // message.
    const char* range = "";
    const char* tab = "";
    quint32 followUp = fuNone;
};

// Every key-holding control of the pages, page by page.
const std::vector<TKeyDescriptor>& SettingsKeys();

// The value of a descriptor's key as an integer (booleans 0 and 1) or text.
int KeyInt(const TKeyDescriptor& d, config::TAppSettings& s);
void SetKeyInt(const TKeyDescriptor& d, config::TAppSettings& s, int value);
QString KeyText(const TKeyDescriptor& d, config::TAppSettings& s);
void SetKeyText(const TKeyDescriptor& d, config::TAppSettings& s, const QString& value);

// The program-wide "use the help file" byte: 0 at start, written by the
// Tweaks page's check box; nothing else depends on it.
quint8& UseHelpFile();

}  // namespace tandex::settings
