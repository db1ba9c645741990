#pragma once
// The eleven colour sets every view takes its colours from: sets 0 to 4 and
// 10 are built in and never stored, sets 5 to 9 belong to the user and live
// in the settings file, one "ColorSet:" + name section each (name "-" means
// unused). A colour is a 0x00BBGGRR value or a reference to a system colour,
// 0xFF000000 + the system colour's index, which the drawing code resolves
// when it paints.

#include "config/app_settings.h"

#include <QString>
#include <QtGlobal>
#include <functional>

namespace tandex::config {

// The 40 colours of a set, in the order of their keys in a stored set.
enum TColorIndex : int {
    TextColL,
    TextColR,
    TextBgCol,
    DiffCol,
    DiffBgCol,
    LNumCol,
    LNumBgCol,
    SelLnCol,
    SelLnBgCol,
    HeadLnCol,
    HeadLnBgCol,
    StatLnCol,
    StatLnBgCol,
    EditLnCol,
    EditLnBgCol,
    TBStartCol,
    TBEndCol,
    SplitterCol,
    AddBgCol,
    DelBgCol,
    SelTxtCol,
    SelTxtBgCol,
    SelFldCol,
    SelFldBgCol,
    ModFldCol,
    ModFldBgCol,
    SelMateBgCol,
    TNBarBgCol,
    TNBarSlCol,
    OrphanedCol,
    TabBarCol,
    TabActCol,
    TabInActCol,
    TabActTxtCol,
    TabInActTxtCol,
    RulerTxtCol,
    RulerBgCol,
    IgnTxtCol,
    IgnBgCol,
    HLCurLineCol,
};

// The key of a colour in a stored set ("TextColL").
QString ColorKeyName(int color);

// System colours by the platform's index.
enum TSysColor : int {
    scScrollBar = 0,
    scActiveCaption = 2,
    scWindow = 5,
    scHighlight = 13,
    scHighlightText = 14,
    scBtnFace = 15,
    scBtnShadow = 16,
    scInfoBk = 24,
    scGradientActiveCaption = 27,
};
inline constexpr quint32 kSysColorRefBase = 0xFF000000;
constexpr quint32 SysColorRef(int index) {
    return kSysColorRefBase + quint32(index);
}

// The current value of a system colour, which some defaults of a user set
// take when the default is used. The windows install a source that reads
// the palette; without one, fixed values serve (white window, light grey
// scroll bar, blue highlight).
using SystemColorSource = std::function<quint32(int index)>;
void SetSystemColorSource(SystemColorSource source);
quint32 SystemColor(int index);

inline constexpr int kFirstUserSet = 5;
inline constexpr int kLastUserSet = 9;
inline constexpr int kFlatBlueSet = 10;

// The name and colours of a built-in set (0 to 4 and 10).
QString BuiltInColorSetName(int set);
TColorSet BuiltInColorSet(int set);
// What a stored user set gets for each colour it lacks.
TColorSet UserColorSetDefaults();
// Sets the names and colours of the built-in sets in the settings.
void FillBuiltInColorSets(TAppSettings& settings);

// "ColorSet:" + the set's name.
QString ColorSetSection(int set);
// Reads the colours of user set i from its section, each with its default.
void LoadColorSet(int set);
// Writes "COSetName" + i into "ColorSets" and the colours of set i into
// its own section, each as the decimal 32-bit value (references show as
// negative numbers). False when the store had no room.
bool SaveColorSet(int set);
// Removes a user set's section from the settings file at once.
void DeleteColorSetSection(const QString& section);

}  // namespace tandex::config
