#include "config/color_sets.h"

#include "config/ini_store.h"
#include "config/prg_dir.h"

#include <array>

namespace tandex::config {

namespace {

constexpr quint32 rgb(int r, int g, int b) {
    return quint32(r) | quint32(g) << 8 | quint32(b) << 16;
}

// In the user-set defaults only: take the system colour's value when the
// default is used (a reference would follow later palette changes, which
// these defaults do not).
constexpr quint32 kReadSysColor = 0x40000000;
constexpr quint32 sysColor(int index) {
    return kReadSysColor | quint32(index);
}

struct ColorRow {
    const char16_t* key;
    quint32 builtIn[6];  // sets 0, 1, 2, 3, 4 and 10
    quint32 user;
};

constexpr ColorRow kColors[kColorsPerSet] = {
    {u"TextColL",
     {rgb(0, 0, 255), rgb(0, 0, 255), rgb(0, 0, 204), rgb(0, 0, 168), rgb(0, 0, 157), rgb(0, 0, 0)},
     rgb(0, 0, 255)},
    {u"TextColR",
     {rgb(0, 128, 0), rgb(0, 151, 0), rgb(0, 121, 0), rgb(0, 85, 0), rgb(0, 113, 0), rgb(0, 0, 0)},
     rgb(0, 128, 0)},
    {u"TextBgCol",
     {rgb(255, 255, 255), rgb(255, 255, 255), rgb(255, 255, 255), rgb(255, 255, 255),
      rgb(255, 255, 255), rgb(255, 255, 255)},
     sysColor(scWindow)},
    {u"DiffCol",
     {rgb(255, 0, 0), rgb(255, 0, 0), rgb(255, 0, 0), rgb(255, 0, 0), rgb(255, 0, 0),
      rgb(255, 0, 0)},
     rgb(255, 0, 0)},
    {u"DiffBgCol",
     {rgb(255, 230, 230), rgb(255, 230, 230), rgb(255, 230, 230), rgb(255, 230, 230),
      rgb(255, 230, 230), rgb(255, 230, 230)},
     rgb(192, 192, 192)},
    {u"LNumCol",
     {rgb(128, 128, 128), rgb(117, 117, 117), rgb(117, 117, 117), rgb(35, 35, 35),
      rgb(255, 255, 255), rgb(117, 117, 117)},
     rgb(128, 128, 128)},
    {u"LNumBgCol",
     {rgb(200, 200, 200), rgb(221, 214, 185), rgb(191, 219, 255), rgb(204, 153, 153),
      rgb(91, 91, 91), rgb(248, 248, 248)},
     sysColor(scScrollBar)},
    {u"SelLnCol",
     {rgb(255, 255, 255), rgb(255, 255, 0), rgb(255, 255, 0), rgb(255, 255, 0), rgb(0, 0, 0),
      rgb(255, 255, 0)},
     SysColorRef(scHighlightText)},
    {u"SelLnBgCol",
     {rgb(51, 153, 255), rgb(125, 163, 223), rgb(125, 163, 223), rgb(128, 64, 64),
      rgb(180, 180, 180), rgb(125, 163, 223)},
     sysColor(scHighlight)},
    {u"HeadLnCol",
     {rgb(0, 0, 0), rgb(0, 0, 128), rgb(0, 0, 128), rgb(0, 0, 128), rgb(255, 255, 255),
      rgb(0, 0, 0)},
     rgb(0, 0, 0)},
    {u"HeadLnBgCol",
     {rgb(240, 240, 240), rgb(221, 214, 183), rgb(206, 222, 238), rgb(204, 153, 153),
      rgb(83, 83, 83), rgb(255, 255, 255)},
     SysColorRef(scBtnFace)},
    {u"StatLnCol",
     {rgb(0, 0, 0), rgb(0, 0, 128), rgb(0, 0, 128), rgb(0, 0, 128), rgb(0, 0, 128), rgb(0, 0, 0)},
     rgb(0, 0, 0)},
    {u"StatLnBgCol",
     {rgb(240, 240, 240), rgb(235, 231, 214), rgb(206, 222, 238), rgb(234, 213, 213),
      rgb(125, 125, 125), rgb(255, 255, 255)},
     SysColorRef(scBtnFace)},
    {u"EditLnCol",
     {rgb(0, 0, 0), rgb(0, 0, 140), rgb(0, 0, 140), rgb(0, 0, 140), rgb(0, 0, 0), rgb(0, 0, 0)},
     rgb(0, 0, 0)},
    {u"EditLnBgCol",
     {rgb(240, 240, 240), rgb(221, 215, 183), rgb(191, 219, 255), rgb(204, 153, 153),
      rgb(125, 125, 125), rgb(255, 255, 255)},
     SysColorRef(scBtnFace)},
    {u"TBStartCol",
     {rgb(240, 240, 240), rgb(221, 215, 183), rgb(191, 219, 255), rgb(255, 128, 128),
      rgb(160, 160, 160), rgb(0, 128, 192)},
     SysColorRef(scBtnFace)},
    {u"TBEndCol",
     {rgb(160, 160, 160), rgb(170, 150, 113), rgb(99, 142, 200), rgb(91, 0, 0), rgb(15, 15, 15),
      rgb(0, 128, 192)},
     SysColorRef(scBtnShadow)},
    {u"SplitterCol",
     {rgb(226, 226, 226), rgb(255, 255, 225), rgb(206, 222, 238), rgb(237, 220, 220),
      rgb(174, 174, 174), rgb(224, 224, 224)},
     SysColorRef(scInfoBk)},
    {u"AddBgCol",
     {rgb(218, 255, 218), rgb(218, 255, 218), rgb(218, 255, 218), rgb(218, 255, 218),
      rgb(218, 255, 218), rgb(218, 255, 218)},
     rgb(192, 255, 192)},
    {u"DelBgCol",
     {rgb(218, 218, 255), rgb(218, 218, 255), rgb(218, 218, 255), rgb(218, 218, 255),
      rgb(218, 218, 255), rgb(218, 218, 255)},
     rgb(192, 192, 255)},
    {u"SelTxtCol",
     {rgb(240, 240, 240), rgb(255, 255, 0), rgb(255, 255, 0), rgb(255, 255, 0), rgb(0, 0, 0),
      rgb(55, 55, 55)},
     SysColorRef(scHighlightText)},
    {u"SelTxtBgCol",
     {rgb(51, 153, 255), rgb(125, 163, 223), rgb(125, 163, 223), rgb(128, 64, 64),
      rgb(180, 180, 180), rgb(151, 183, 230)},
     sysColor(scHighlight)},
    {u"SelFldCol",
     {rgb(240, 240, 240), rgb(255, 255, 0), rgb(255, 255, 0), rgb(255, 255, 0), rgb(0, 0, 0),
      rgb(55, 55, 55)},
     SysColorRef(scHighlightText)},
    {u"SelFldBgCol",
     {rgb(192, 192, 192), rgb(192, 192, 192), rgb(192, 192, 192), rgb(192, 192, 192),
      rgb(192, 192, 192), rgb(192, 192, 192)},
     rgb(192, 192, 192)},
    {u"ModFldCol",
     {rgb(145, 34, 255), rgb(145, 34, 255), rgb(145, 34, 255), rgb(145, 34, 255), rgb(145, 34, 255),
      rgb(0, 0, 255)},
     rgb(145, 34, 255)},
    {u"ModFldBgCol",
     {rgb(255, 240, 240), rgb(255, 240, 240), rgb(255, 240, 240), rgb(255, 240, 240),
      rgb(255, 240, 240), rgb(255, 240, 240)},
     rgb(255, 230, 230)},
    {u"SelMateBgCol",
     {rgb(240, 240, 240), rgb(244, 242, 234), rgb(232, 241, 255), rgb(247, 242, 225),
      rgb(240, 240, 240), rgb(232, 241, 255)},
     rgb(240, 240, 240)},
    {u"TNBarBgCol",
     {rgb(228, 228, 228), rgb(235, 231, 214), rgb(222, 233, 243), rgb(230, 202, 202),
      rgb(167, 167, 167), rgb(255, 255, 255)},
     rgb(206, 222, 238)},
    {u"TNBarSlCol",
     {rgb(177, 177, 177), rgb(199, 189, 137), rgb(149, 194, 255), rgb(190, 124, 124),
      rgb(115, 115, 115), rgb(191, 219, 255)},
     SysColorRef(scActiveCaption)},
    {u"OrphanedCol",
     {rgb(128, 0, 0), rgb(128, 0, 0), rgb(128, 0, 0), rgb(128, 0, 0), rgb(128, 0, 0),
      rgb(128, 0, 0)},
     rgb(128, 0, 0)},
    {u"TabBarCol",
     {rgb(240, 240, 240), rgb(244, 242, 234), rgb(232, 241, 255), rgb(237, 220, 220),
      rgb(207, 207, 207), rgb(255, 255, 255)},
     SysColorRef(scBtnFace)},
    {u"TabActCol",
     {rgb(128, 128, 128), rgb(170, 150, 113), rgb(94, 142, 215), rgb(128, 64, 64),
      rgb(115, 115, 115), rgb(0, 128, 192)},
     SysColorRef(scGradientActiveCaption)},
    {u"TabInActCol",
     {rgb(223, 223, 223), rgb(221, 215, 191), rgb(202, 223, 255), rgb(226, 197, 197),
      rgb(190, 190, 190), rgb(255, 255, 255)},
     rgb(224, 224, 224)},
    {u"TabActTxtCol",
     {rgb(255, 255, 255), rgb(255, 255, 0), rgb(255, 255, 0), rgb(255, 255, 0), rgb(255, 255, 255),
      rgb(255, 255, 255)},
     rgb(0, 0, 255)},
    {u"TabInActTxtCol",
     {rgb(128, 128, 128), rgb(96, 96, 96), rgb(87, 87, 87), rgb(97, 97, 97), rgb(75, 75, 75),
      rgb(87, 87, 87)},
     rgb(64, 64, 64)},
    {u"RulerTxtCol",
     {rgb(0, 0, 0), rgb(0, 0, 0), rgb(0, 0, 0), rgb(0, 0, 0), rgb(192, 192, 192), rgb(0, 0, 0)},
     rgb(0, 0, 0)},
    {u"RulerBgCol",
     {rgb(255, 255, 255), rgb(240, 237, 225), rgb(232, 241, 255), rgb(255, 230, 230),
      rgb(92, 92, 92), rgb(255, 255, 255)},
     rgb(192, 192, 192)},
    {u"IgnTxtCol",
     {rgb(128, 128, 128), rgb(128, 128, 128), rgb(128, 128, 128), rgb(128, 128, 128),
      rgb(128, 128, 128), rgb(128, 128, 128)},
     rgb(128, 128, 128)},
    {u"IgnBgCol",
     {rgb(248, 248, 248), rgb(248, 248, 248), rgb(248, 248, 248), rgb(248, 248, 248),
      rgb(248, 248, 248), rgb(224, 224, 224)},
     rgb(248, 248, 248)},
    {u"HLCurLineCol",
     {rgb(255, 255, 230), rgb(255, 255, 202), rgb(255, 255, 230), rgb(255, 255, 230),
      rgb(255, 255, 230), rgb(255, 255, 225)},
     rgb(248, 248, 248)},
};

const char16_t* const kBuiltInNames[6] = {u"Dull Silver", u"Desert Sand", u"Sky Blue",
                                          u"Mars Storm",  u"Dark Night",  u"Flat Blue"};

int builtInColumn(int set) {
    if (set >= 0 && set < kFirstUserSet) return set;
    if (set == kFlatBlueSet) return 5;
    return -1;
}

SystemColorSource& systemColorSource() {
    static SystemColorSource source;
    return source;
}

const QString kColorSets = QStringLiteral("ColorSets");

}  // namespace

QString ColorKeyName(int color) {
    if (color < 0 || color >= kColorsPerSet) return QString();
    return QString::fromUtf16(kColors[color].key);
}

void SetSystemColorSource(SystemColorSource source) {
    systemColorSource() = std::move(source);
}

quint32 SystemColor(int index) {
    if (const auto& source = systemColorSource()) return source(index);
    switch (index) {
        case scWindow:
            return rgb(255, 255, 255);
        case scScrollBar:
            return rgb(200, 200, 200);
        case scHighlight:
            return rgb(0, 120, 215);
        case scHighlightText:
            return rgb(255, 255, 255);
        case scBtnFace:
            return rgb(240, 240, 240);
        case scBtnShadow:
            return rgb(160, 160, 160);
        case scInfoBk:
            return rgb(255, 255, 225);
        case scActiveCaption:
            return rgb(153, 180, 209);
        case scGradientActiveCaption:
            return rgb(185, 209, 234);
        default:
            return rgb(0, 0, 0);
    }
}

QString BuiltInColorSetName(int set) {
    const int column = builtInColumn(set);
    return column < 0 ? QString() : QString::fromUtf16(kBuiltInNames[column]);
}

TColorSet BuiltInColorSet(int set) {
    TColorSet colors{};
    const int column = builtInColumn(set);
    if (column < 0) return colors;
    for (int c = 0; c < kColorsPerSet; ++c)
        colors[size_t(c)] = kColors[c].builtIn[column];
    return colors;
}

TColorSet UserColorSetDefaults() {
    TColorSet colors{};
    for (int c = 0; c < kColorsPerSet; ++c) {
        const quint32 v = kColors[c].user;
        colors[size_t(c)] = (v & 0xFF000000) == kReadSysColor ? SystemColor(int(v & 0xFF)) : v;
    }
    return colors;
}

void FillBuiltInColorSets(TAppSettings& settings) {
    for (int set = 0; set < kColorSetCount; ++set) {
        if (builtInColumn(set) < 0) continue;
        settings.COSetName[size_t(set)] = BuiltInColorSetName(set);
        settings.ColorSets[size_t(set)] = BuiltInColorSet(set);
    }
}

QString ColorSetSection(int set) {
    return QStringLiteral("ColorSet:") + AppSettings().COSetName[size_t(set)];
}

void LoadColorSet(int set) {
    const QString section = ColorSetSection(set);
    const TColorSet defaults = UserColorSetDefaults();
    TColorSet& colors = AppSettings().ColorSets[size_t(set)];
    for (int c = 0; c < kColorsPerSet; ++c)
        colors[size_t(c)] =
            quint32(IniReadInt(section, ColorKeyName(c), qint32(defaults[size_t(c)])));
}

bool SaveColorSet(int set) {
    TAppSettings& settings = AppSettings();
    bool ok = IniWriteString(kColorSets, QStringLiteral("COSetName") + QString::number(set),
                             settings.COSetName[size_t(set)]);
    const QString section = ColorSetSection(set);
    for (int c = 0; c < kColorsPerSet && ok; ++c)
        ok = IniWriteInt(section, ColorKeyName(c),
                         qint32(settings.ColorSets[size_t(set)][size_t(c)]));
    return ok;
}

void DeleteColorSetSection(const QString& section) {
    IniDeleteSection(section, PrgDir().GetIniPath());
}

}  // namespace tandex::config
