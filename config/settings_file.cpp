// One walk over the keys serves both directions: the load visits every key
// with the value to fill and its default, the save with the value to
// write. So the file order, which makes the load cost one comparison per
// key, cannot differ between the two.

#include "config/settings_file.h"

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/find_settings.h"
#include "config/ini_file_access.h"
#include "config/ini_store.h"
#include "config/prg_dir.h"

#include <algorithm>
#include <exception>

namespace tandex::config {

namespace {

const QString kMain = QStringLiteral("Tandex");
const QString kPrinter = QStringLiteral("Printer");
const QString kColorSets = QStringLiteral("ColorSets");
const QString kDialog = QStringLiteral("Dialog");
const QString kUpdate = QStringLiteral("Update");
const QString kLogView = QStringLiteral("LogView");
const QString kDebug = QStringLiteral("Debug");
const QString kHelp = QStringLiteral("Help");

// text + index + tail: "AFHist3PathL", "FCFoldersL[3]", "COSetName5".
QString indexed(const char* text, int i, const char* tail = "") {
    return QLatin1String(text) + QString::number(i) + QLatin1String(tail);
}

// Reads each key into the value, with the default where it is missing.
class Reader {
public:
    explicit Reader(const TAppSettings& settings) : settings_(settings) {}
    QString section;

    void operator()(const QString& key, bool& value, bool def) {
        value = IniReadBool(section, key, def);
    }
    void operator()(const QString& key, int& value, int def) {
        value = IniReadInt(section, key, def);
    }
    void operator()(const QString& key, QString& value, const QString& def) {
        value = IniReadString(section, key, def);
    }
    // A 64-bit number kept as text; a text that is none reads as 0.
    void operator()(const QString& key, qint64& value, qint64 def) {
        qint64 parsed = 0;
        value =
            IniParseInt(IniReadString(section, key, QString::number(def)), 64, parsed) ? parsed : 0;
    }
    // The built-in converter entries come back with every new program
    // version (or when none was stored); otherwise the user's edits stay.
    void converter(const QString& key, QString& value, const QString& def) {
        if (settings_.AFIniVersion == CurrentVersion())
            (*this)(key, value, def);
        else
            value = def;
    }

private:
    const TAppSettings& settings_;
};

// Writes each key; after the first refusal of the store nothing more is
// written.
class Writer {
public:
    QString section;
    bool ok = true;

    void operator()(const QString& key, bool value, bool) {
        if (ok) ok = IniWriteBool(section, key, value);
    }
    void operator()(const QString& key, int value, int) {
        if (ok) ok = IniWriteInt(section, key, value);
    }
    void operator()(const QString& key, const QString& value, const QString&) {
        if (ok) ok = IniWriteString(section, key, value);
    }
    void operator()(const QString& key, qint64 value, qint64) {
        if (ok) ok = IniWriteString(section, key, QString::number(value));
    }
    void converter(const QString& key, const QString& value, const QString& def) {
        (*this)(key, value, def);
    }
};

// The key is the member's name.
#define TDX_KEY(name) v(QStringLiteral(#name), s.name, d.name)

// Section "Tandex", in file order. s holds the values, d the defaults.
template <class V, class S>
void walkMain(V& v, S& s, const TAppSettings& d) {
    v.section = kMain;
    TDX_KEY(AFH);
    TDX_KEY(AFW);
    TDX_KEY(AFL);
    TDX_KEY(AFT);
    TDX_KEY(AFZ);
    v(QStringLiteral("AFFontName"), s.AFFont.Name, d.AFFont.Name);
    v(QStringLiteral("AFFontSize"), s.AFFont.Size, d.AFFont.Size);
    v(QStringLiteral("AFFontStyle"), s.AFFont.Style, d.AFFont.Style);
    TDX_KEY(AFIniVersion);
    for (int i = 0; i < kRecentPairs; ++i) {
        auto& pair = s.AFHist[size_t(i)];
        const auto& def = d.AFHist[size_t(i)];
        v(indexed("AFHist", i, "PathL"), pair.PathL, def.PathL);
        v(indexed("AFHist", i, "PathR"), pair.PathR, def.PathR);
        v(indexed("AFHist", i, "NameL"), pair.NameL, def.NameL);
        v(indexed("AFHist", i, "NameR"), pair.NameR, def.NameR);
    }

    TDX_KEY(SUBetaVers);
    TDX_KEY(SUAutoUpdate);
    TDX_KEY(SUAutoLoad);
    TDX_KEY(SUSettingPage);

    TDX_KEY(GSStaDisp);
    TDX_KEY(GSDetailPanel);
    TDX_KEY(GSShowHints);
    TDX_KEY(GSShowHintDB);
    TDX_KEY(GSShowDiffBar);
    TDX_KEY(GSLineNr);
    TDX_KEY(GSBinaryUnits);
    TDX_KEY(GSForceMUnits);
    TDX_KEY(GSClrTmpFld);
    TDX_KEY(GSShowDPRuler);
    TDX_KEY(GSAdaptivHT);
    TDX_KEY(GSLineSelect);
    TDX_KEY(GSVWSDetail);
    TDX_KEY(GSVSettings);
    TDX_KEY(GSTNBarWidth);
    TDX_KEY(GSDateTimeFmt);
    TDX_KEY(GSGUIStyle);
    TDX_KEY(GSDetailView);
    TDX_KEY(GSTempPath);

    TDX_KEY(BKBeforeSave);
    TDX_KEY(BKBeforeCopy);
    TDX_KEY(BKUseSequence);
    TDX_KEY(BKUseFolder);
    TDX_KEY(BKFTPEnable);
    TDX_KEY(BKUseFTPFolder);
    TDX_KEY(BKArcEnable);
    TDX_KEY(BKUseArcFolder);
    TDX_KEY(BKDBOEnable);
    TDX_KEY(BKUseDBOFolder);
    TDX_KEY(BKFolder);
    TDX_KEY(BKFTPFolder);
    TDX_KEY(BKArcFolder);
    TDX_KEY(BKDBOFolder);

    TDX_KEY(CFNestedArc);
    TDX_KEY(CFCopyLines);
    TDX_KEY(CFOverwrite);
    TDX_KEY(CFDelConfig);
    TDX_KEY(CFCMConflict);
    TDX_KEY(CFCMCDefault);

    TDX_KEY(TEEnabled);
    TDX_KEY(TECurBEOL);
    TDX_KEY(TETrimWSEOL);
    TDX_KEY(TEAutoIndent);
    TDX_KEY(TEAutoHomeKey);
    TDX_KEY(TEUndoPastSav);
    TDX_KEY(TEEnableLinks);
    TDX_KEY(TELinkDblClk);
    TDX_KEY(TEFilterEna);
    TDX_KEY(TEHideLnStart);
    TDX_KEY(TEHideLnWith);
    TDX_KEY(TEHideLnEnd);
    TDX_KEY(TEHideLines);
    TDX_KEY(TEAndOr1);
    TDX_KEY(TEAndOr2);
    TDX_KEY(TENotStart);
    TDX_KEY(TENotWith);
    TDX_KEY(TENotEnd);
    TDX_KEY(TEFindCurWord);
    TDX_KEY(TEHLCurLine);
    TDX_KEY(TEMatchLFCase);
    TDX_KEY(TEVisibleWS);
    TDX_KEY(TEVisibleTAB);
    TDX_KEY(TEMarkMod);
    TDX_KEY(TETabSize);
    TDX_KEY(TEMaxColumns);
    TDX_KEY(TEGotoTL);
    TDX_KEY(TEGotoDL);
    TDX_KEY(TEGotoBL);
    TDX_KEY(TEModCol);
    TDX_KEY(TEExtEditor);
    TDX_KEY(TEExtEditor2);
    TDX_KEY(TEHideTxStart);
    TDX_KEY(TEHideTxWith);
    TDX_KEY(TEHideTxEnd);

    TDX_KEY(TCDifOnly);
    TDX_KEY(TCIgnAllBl);
    TDX_KEY(TCIgnLeadBl);
    TDX_KEY(TCIgnTrailBl);
    TDX_KEY(TCIgnCase);
    TDX_KEY(TCSelFirstDif);
    TDX_KEY(TCHoverText);
    TDX_KEY(TCShowRuler);
    TDX_KEY(TCIgnColRange);
    TDX_KEY(TCIgnEmptyLn);
    TDX_KEY(TCIgnLineCom);
    TDX_KEY(TCFPEnabled);
    TDX_KEY(TCFPIgnCase);
    TDX_KEY(TCFPEnhance);
    TDX_KEY(TCDiffDetect);
    TDX_KEY(TCIgnLnStart);
    TDX_KEY(TCIgnLnEnd);
    TDX_KEY(TCFPTime);
    TDX_KEY(TCSimilarity);
    TDX_KEY(TCIgnColumns);
    TDX_KEY(TCIgnLnComPat);
    for (int i = 0; i < kFileTypeRules; ++i) {
        v(indexed("FFTIndex[", i, "]"), s.FFTIndex[size_t(i)], d.FFTIndex[size_t(i)]);
        v(indexed("FFTFiles[", i, "]"), s.FFTFiles[size_t(i)], d.FFTFiles[size_t(i)]);
    }

    TDX_KEY(BCDetailed);
    TDX_KEY(BCDifOnly);
    TDX_KEY(BCSelFirstDif);
    TDX_KEY(BCHoverText);
    TDX_KEY(BCOffsetAddr);
    TDX_KEY(BCShowNoCtrl);
    TDX_KEY(BCShowNoExt);
    TDX_KEY(BCDynBufSize);
    TDX_KEY(BCShowRuler);
    TDX_KEY(BCHEXBytes);

    TDX_KEY(ICShowBMP);
    TDX_KEY(ICShowJPG);
    TDX_KEY(ICShowGIF);
    TDX_KEY(ICShowTIF);
    TDX_KEY(ICShowPNG);
    TDX_KEY(ICShowWMF);
    TDX_KEY(ICShowICO);
    TDX_KEY(ICDoScale);
    TDX_KEY(ICDownScale);
    TDX_KEY(ICLastFrame);
    TDX_KEY(ICSyncMove);
    TDX_KEY(ICTinted);
    TDX_KEY(ICRelaxed);
    TDX_KEY(ICOverlay);
    TDX_KEY(ICMagnifier);
    TDX_KEY(ICID);
    TDX_KEY(ICMagnify);
    TDX_KEY(ICBlend);
    TDX_KEY(ICDifTol);
    TDX_KEY(ICDVType);
    TDX_KEY(ICBOType);
    TDX_KEY(ICEqCol);
    TDX_KEY(ICTolCol);
    TDX_KEY(ICDifCol);
    TDX_KEY(ICBgCol);

    TDX_KEY(FCHScroll);
    TDX_KEY(FCDifOnly);
    TDX_KEY(FCGenLog);
    TDX_KEY(FCBGFlash);
    TDX_KEY(FCTreeView);
    TDX_KEY(FCAutoExpAll);
    TDX_KEY(FCAutoExpand);
    TDX_KEY(FCHLFldDif);
    TDX_KEY(FCFldFirst);
    TDX_KEY(FCShowSize);
    TDX_KEY(FCShowDT);
    TDX_KEY(FCShowAttr);
    TDX_KEY(FCDateTime);
    TDX_KEY(FCShowSession);
    TDX_KEY(FCShowMoreSet);
    TDX_KEY(FCAttr);
    TDX_KEY(FCIgnDST);
    TDX_KEY(FCSubDir);
    TDX_KEY(FCLimitRecScan);
    TDX_KEY(FCChkBoth);
    TDX_KEY(FCUseFPL);
    TDX_KEY(FCGraph);
    TDX_KEY(FCAutoClose);
    TDX_KEY(FCSelFirstDif);
    TDX_KEY(FCHoverText);
    TDX_KEY(FCExclSmaller);
    TDX_KEY(FCExclLarger);
    TDX_KEY(FCExclArchive);
    TDX_KEY(FCExclRdOnlyF);
    TDX_KEY(FCExclHiddenF);
    TDX_KEY(FCExclSystemF);
    TDX_KEY(FCExclRdOnlyD);
    TDX_KEY(FCExclHiddenD);
    TDX_KEY(FCExclSystemD);
    TDX_KEY(FCExclOlder);
    TDX_KEY(FCExclNewer);
    TDX_KEY(FCUseDaysAgo);
    TDX_KEY(FCOlderDays);
    TDX_KEY(FCNewerDays);
    TDX_KEY(FCOlderTS);
    TDX_KEY(FCNewerTS);
    TDX_KEY(FCSmaller);
    TDX_KEY(FCLarger);
    TDX_KEY(FCSmallerUnit);
    TDX_KEY(FCLargerUnit);
    TDX_KEY(FCBufSize);
    TDX_KEY(FCMaxDepth);
    TDX_KEY(FCContent);
    TDX_KEY(FCIgnTimeDif);
    for (int i = 0; i < kListSize; ++i) {
        const size_t k = size_t(i);
        v(indexed("FCFoldersL[", i, "]"), s.FCFoldersL[k], d.FCFoldersL[k]);
        v(indexed("FCFoldersR[", i, "]"), s.FCFoldersR[k], d.FCFoldersR[k]);
        v(indexed("FCFPLNames[", i, "]"), s.FCFPLNames[k], d.FCFPLNames[k]);
        v(indexed("FCFPLParam[", i, "]"), s.FCFPLParam[k], d.FCFPLParam[k]);
        v(indexed("FCIncMasks[", i, "]"), s.FCIncMasks[k], d.FCIncMasks[k]);
        v(indexed("FCExcMasks[", i, "]"), s.FCExcMasks[k], d.FCExcMasks[k]);
        v(indexed("FCExcFldMasks[", i, "]"), s.FCExcFldMasks[k], d.FCExcFldMasks[k]);
        v(indexed("FCSessions[", i, "]"), s.FCSessions[k], d.FCSessions[k]);
        v(indexed("FCSessData[", i, "]"), s.FCSessData[k], d.FCSessData[k]);
    }
    // The options-only session keeps its data but has no name.
    v(indexed("FCSessData[", kListSize, "]"), s.FCSessData[kListSize], d.FCSessData[kListSize]);

    TDX_KEY(CSAutoClose);
    TDX_KEY(CSNumDatBuf);
    TDX_KEY(CSGenLog);
    TDX_KEY(CSBufSize);
    TDX_KEY(CSAttr);
    TDX_KEY(CSZeroBytes);
    TDX_KEY(CSOverWrite);
    TDX_KEY(CSGraph);

    TDX_KEY(FTPHidePW);
    TDX_KEY(FTPProfIdx);
    TDX_KEY(FTPAnoEmail);
    for (int i = 0; i < kListSize; ++i)
        v(indexed("FTPProfile[", i, "]"), s.FTPProfile[size_t(i)], d.FTPProfile[size_t(i)]);

    TDX_KEY(ProxyEnable);
    TDX_KEY(ProxyIsSame);
    TDX_KEY(ProxyHttpPort);
    TDX_KEY(ProxyFtpPort);
    TDX_KEY(ProxyFtpType);
    TDX_KEY(ProxyHttpServer);
    TDX_KEY(ProxyHttpUser);
    TDX_KEY(ProxyHttpPW);
    TDX_KEY(ProxyFtpServer);
    TDX_KEY(ProxyFtpUser);
    TDX_KEY(ProxyFtpPW);

    TDX_KEY(ZIPHidePW);
    TDX_KEY(ZIPEncrypt);
    TDX_KEY(ZIPIgnFNCase);
    TDX_KEY(ZIPCompress);
    TDX_KEY(ArchivePW);
    TDX_KEY(ArchiveExt);
    for (int i = 0; i < kListSize; ++i)
        v(indexed("ZIPFiles[", i, "]"), s.ZIPFiles[size_t(i)], d.ZIPFiles[size_t(i)]);

    TDX_KEY(DBOSecret);
    TDX_KEY(DBOKey);
    for (int i = 0; i < kListSize; ++i)
        v(indexed("WEBFiles[", i, "]"), s.WEBFiles[size_t(i)], d.WEBFiles[size_t(i)]);

    TDX_KEY(PIDisableAll);
    TDX_KEY(PIConfigIdx);
    for (int i = 0; i < kListSize; ++i) {
        const QString key = indexed("PIConfig[", i, "]");
        if (i < kBuiltInConverters)
            v.converter(key, s.PIConfig[size_t(i)], d.PIConfig[size_t(i)]);
        else
            v(key, s.PIConfig[size_t(i)], d.PIConfig[size_t(i)]);
    }

    TDX_KEY(ESErrorBox);
    TDX_KEY(ESWarnBox);
    TDX_KEY(ESUsePing);
    TDX_KEY(ESMaxPings);
    TDX_KEY(ESPingTimeOut);
    TDX_KEY(ESMaxRetry);
    TDX_KEY(ESMinRDelay);
    TDX_KEY(ESMaxRDelay);

    TDX_KEY(TSLargeFetch);
    TDX_KEY(TSShowTimes);
    TDX_KEY(PGOpt);
    TDX_KEY(PGSmoothVal);
}

template <class V, class S>
void walkPrinter(V& v, S& s, const TAppSettings& d) {
    v.section = kPrinter;
    TDX_KEY(APH);
    TDX_KEY(APW);
    TDX_KEY(APL);
    TDX_KEY(APT);
    TDX_KEY(PRTPZoom);
    TDX_KEY(PRPPZoomState);
    TDX_KEY(PRLeft);
    TDX_KEY(PRTop);
    TDX_KEY(PRRight);
    TDX_KEY(PRBottom);
    TDX_KEY(PRLandscape);
    v(QStringLiteral("APFontName"), s.APFont.Name, d.APFont.Name);
    v(QStringLiteral("APFontSize"), s.APFont.Size, d.APFont.Size);
    v(QStringLiteral("APFontStyle"), s.APFont.Style, d.APFont.Style);
}

// "Dialog", "Update", "LogView", "Debug" and "Help".
template <class V, class S>
void walkWindows(V& v, S& s, const TAppSettings& d) {
    v.section = kDialog;
    TDX_KEY(SFL);
    TDX_KEY(SFT);
    TDX_KEY(CFL);
    TDX_KEY(CFT);
    TDX_KEY(ICL);
    TDX_KEY(ICT);
    TDX_KEY(ICW);
    TDX_KEY(ICH);
    TDX_KEY(BCL);
    TDX_KEY(BCT);
    TDX_KEY(BCW);
    TDX_KEY(BCH);
    TDX_KEY(FML);
    TDX_KEY(FMT);
    v.section = kUpdate;
    TDX_KEY(UFH);
    v.section = kLogView;
    TDX_KEY(LFH);
    TDX_KEY(LFW);
    TDX_KEY(LFL);
    TDX_KEY(LFT);
    TDX_KEY(LFSearch);
    v.section = kDebug;
    TDX_KEY(DFH);
    TDX_KEY(DFW);
    TDX_KEY(DFL);
    TDX_KEY(DFT);
    v.section = kHelp;
    TDX_KEY(HFL);
    TDX_KEY(HFT);
    TDX_KEY(HFH);
}

#undef TDX_KEY

// Builds the whole file in the INI store; false when the store refused a
// line or the building failed otherwise.
bool buildSettingsStore() {
    const TAppSettings& s = AppSettings();
    Writer w;
    walkMain(w, s, s);
    walkPrinter(w, s, s);
    w.section = kColorSets;
    for (int i = kFirstUserSet; i <= kLastUserSet && w.ok; ++i) {
        w(indexed("COSetName", i), s.COSetName[size_t(i)], QString());
        if (w.ok && s.COSetName[size_t(i)] != u"-") w.ok = SaveColorSet(i);
    }
    w(QStringLiteral("COSetIdx"), s.COSetIdx, 0);
    walkWindows(w, s, s);
    return w.ok && WriteFindReplaceSettings();
}

}  // namespace

void LoadSettings() {
    TIniFileAccess& file = IniFileAccess();
    const QString root = PrgDir().GetWritableRoot();
    AppBackupsFolder() = root + QStringLiteral("TDX_AppBackups/");
    if (file.MakeFolderPath(AppBackupsFolder()) != 0)
        file.Log(QStringLiteral("AD1 Cannot create folder ") + AppBackupsFolder());
    CurrentVersion() = GetProgramVersion();

    IniLoad(PrgDir().GetIniPath());

    TAppSettings defaults;
    defaults.SetDefaults(root);
    // Marks a file from before the style setting, or none at all.
    defaults.GSGUIStyle = kGuiStyleMissing;
    TAppSettings& s = AppSettings();
    Reader r(s);
    walkMain(r, s, defaults);
    s.GSTNBarWidth = std::clamp(s.GSTNBarWidth, 10, 43);
    file.SetTempFolder(s.GSTempPath);
    s.TEMaxColumns = std::min(s.TEMaxColumns, 8192);
    s.FCSessions[kListSize].clear();

    walkPrinter(r, s, defaults);
    // A window left of the screen could not be reached.
    if (s.APL + s.APW < 5) s.APL = 0;

    FillBuiltInColorSets(s);
    for (int i = kFirstUserSet; i <= kLastUserSet; ++i) {
        QString name = IniReadString(kColorSets, indexed("COSetName", i), QStringLiteral("-"));
        if (name.isEmpty()) name = QStringLiteral("-");
        s.COSetName[size_t(i)] = name;
        if (name != u"-")
            LoadColorSet(i);
        else
            s.ColorSets[size_t(i)] = UserColorSetDefaults();
    }
    // Such a file starts in the flat style with the "Flat Blue" colours.
    if (s.GSGUIStyle == kGuiStyleMissing) {
        s.GSGUIStyle = 1;
        s.COSetIdx = kFlatBlueSet;
    } else {
        s.COSetIdx = IniReadInt(kColorSets, QStringLiteral("COSetIdx"), 2);
    }

    walkWindows(r, s, defaults);
}

void SaveSettings() {
    TIniFileAccess& file = IniFileAccess();
    file.SetTabSize(4, 8192);
    IniClear();
    bool built = false;
    try {
        built = buildSettingsStore();
    } catch (const std::exception&) {
        built = false;
    }
    if (built) {
        IniSave(PrgDir().GetIniPath());
    } else {
        // A partly built file would lose every setting behind the break.
        file.Log(QStringLiteral("FI4 Settings not saved, kept ") + PrgDir().GetIniPath());
        IniFreeLines();
    }
    const TAppSettings& s = AppSettings();
    file.SetTabSize(s.TETabSize, s.TEMaxColumns);
}

void BackupSettingsFile(const QString& subfolder) {
    TIniFileAccess& file = IniFileAccess();
    file.SetTabSize(4, 8192);
    const QString iniPath = PrgDir().GetIniPath();
    IniLoad(iniPath);
    const QString folder =
        subfolder.isEmpty() ? AppBackupsFolder() : AppBackupsFolder() + subfolder + u'/';
    // An unreadable settings file must not put an empty copy in place of a
    // backup made before.
    if (IniStore().IniLoaded) {
        if (file.MakeFolderPath(folder) != 0)
            file.Log(QStringLiteral("AD2 Cannot create folder ") + folder);
        else
            IniSave(folder + iniPath.mid(iniPath.lastIndexOf(u'/') + 1));
    }
    IniFreeLines();
    const TAppSettings& s = AppSettings();
    file.SetTabSize(s.TETabSize, s.TEMaxColumns);
}

}  // namespace tandex::config
