#include "settings_keys.h"

#include <type_traits>

#include "config/sys_helpers.h"

namespace tandex::settings {

namespace {

using config::TAppSettings;

// The key is named as the member, so the table cannot spell it differently
// from the settings file.
#define TDX_KEY(member) #member, [](TAppSettings& s) -> TKeyValue { return &s.member; }

TKeyDescriptor check(int page, const char* control, const char* key, TKeyRef ref, quint32 followUp = fuNone) {
    TKeyDescriptor d;
    d.page = page;
    d.control = control;
    d.key = key;
    d.ref = ref;
    d.kind = kkCheck;
    d.followUp = followUp;
    return d;
}

TKeyDescriptor inverted(int page, const char* control, const char* key, TKeyRef ref) {
    TKeyDescriptor d = check(page, control, key, ref);
    d.inverted = true;
    return d;
}

TKeyDescriptor radio(int page, const char* buttons, const char* values, const char* key, TKeyRef ref,
                     quint32 followUp = fuNone, int fallback = 0) {
    TKeyDescriptor d = check(page, buttons, key, ref, followUp);
    d.kind = kkRadio;
    d.values = values;
    d.fallback = fallback;
    return d;
}

TKeyDescriptor of(TKeyKind kind, int page, const char* control, const char* key, TKeyRef ref,
                  quint32 followUp = fuNone) {
    TKeyDescriptor d = check(page, control, key, ref, followUp);
    d.kind = kind;
    return d;
}

TKeyDescriptor number(int page, const char* control, const char* key, TKeyRef ref, const char* range,
                      const char* tab, quint32 followUp = fuNone) {
    TKeyDescriptor d = of(kkNumber, page, control, key, ref, followUp);
    d.range = range;
    d.tab = tab;
    return d;
}

std::vector<TKeyDescriptor> makeTable() {
    constexpr quint32 keysAndRecompare = fuLineKeys | fuRecompare;
    constexpr quint32 matrixAndRecompare = fuFuzzyMatrix | fuRecompare;
    constexpr quint32 ignoreRanges = fuLineKeys | fuFuzzyMatrix | fuRecompare;
    const char* general = "\"General\"";
    const char* display = "\"Display & Printer\"";
    const char* folders = "\"Folder Compare\"";
    const char* text = "Text Compare";
    const char* errors = "\"Error handling\"";
    return {
        // ---- 0 Startup --------------------------------------------------------
        radio(0, "RB_AutoLoadNo;RB_AutoLoadFiles;RB_AutoLoadFolders", "0;1;2", TDX_KEY(SUAutoLoad)),
        of(kkItemIndex, 0, "CB_SUAutoUpdate", TDX_KEY(SUAutoUpdate)),
        check(0, "CB_SUBetaVers", TDX_KEY(SUBetaVers)),

        // ---- 1 General --------------------------------------------------------
        check(1, "CB_StatLine", TDX_KEY(GSStaDisp), fuMainLayout),
        check(1, "CB_ShowLnNr", TDX_KEY(GSLineNr), fuMainLayout),
        check(1, "CB_DetailsPanel", TDX_KEY(GSDetailPanel), fuMainLayout),
        check(1, "CB_GSShowDPRuler", TDX_KEY(GSShowDPRuler), fuMainLayout),
        check(1, "cbGSShowHints", TDX_KEY(GSShowHints)),
        check(1, "cbGSShowHintDB", TDX_KEY(GSShowHintDB), fuMainLayout),
        check(1, "CB_GSShowDiffBar", TDX_KEY(GSShowDiffBar), fuMainLayout),
        number(1, "E_GSTNBarWidth", TDX_KEY(GSTNBarWidth), "@L_TNBarWidthTxt", general, fuMainLayout),
        of(kkText, 1, "E_GSTempPath", TDX_KEY(GSTempPath), fuAccessLayer | fuFolderInUse),
        check(1, "CB_GSClrTmpFld", TDX_KEY(GSClrTmpFld)),
        check(1, "cbGSAdaptivHT", TDX_KEY(GSAdaptivHT)),
        radio(1, "RB_GSGUIStyleClassic;RB_GSGUIStylePlain", "0;1", TDX_KEY(GSGUIStyle), fuGuiStyle, 1),
        radio(1, "RB_GSLineSelect;RB_GSBlockSelect", "1;0", TDX_KEY(GSLineSelect)),
        radio(1, "RB_BinaryUnits;RB_MetricUnits", "1;0", TDX_KEY(GSBinaryUnits), fuSizeUnits),
        check(1, "CB_MetricPrefixAlways", TDX_KEY(GSForceMUnits), fuSizeUnits),
        radio(1, "RB_DTF0;RB_DTF1;RB_DTF2;RB_DTF3", "0;1;2;3", TDX_KEY(GSDateTimeFmt), fuAccessLayer),

        // ---- 2 Backups, 3 Advanced ---------------------------------------------
        check(2, "CB_BKBeforeSave", TDX_KEY(BKBeforeSave)),
        check(2, "CB_BKBeforeCopy", TDX_KEY(BKBeforeCopy)),
        radio(2, "RB_BKUseSequence;RB_BKUseBAK", "1;0", TDX_KEY(BKUseSequence)),
        check(2, "CB_BKUseFolder", TDX_KEY(BKUseFolder)),
        of(kkText, 2, "E_BKFolder", TDX_KEY(BKFolder), fuFolderInUse),
        check(3, "CB_BKArcEnable", TDX_KEY(BKArcEnable)),
        radio(3, "RB_BKArcFolder;RB_BKArcDefault", "1;0", TDX_KEY(BKUseArcFolder)),
        of(kkText, 3, "E_BKArcFolder", TDX_KEY(BKArcFolder), fuFolderInUse),
        check(3, "CB_BKFTPEnable", TDX_KEY(BKFTPEnable)),
        radio(3, "RB_BKFTPFolder;RB_BKFTPDefault", "1;0", TDX_KEY(BKUseFTPFolder)),
        of(kkText, 3, "E_BKFTPFolder", TDX_KEY(BKFTPFolder), fuFolderInUse),
        check(3, "CB_BKDBOEnable", TDX_KEY(BKDBOEnable)),
        radio(3, "RB_BKDBOFolder;RB_BKDBODefault", "1;0", TDX_KEY(BKUseDBOFolder)),
        of(kkText, 3, "E_BKDBOFolder", TDX_KEY(BKDBOFolder), fuFolderInUse),

        // ---- 4 Confirmations ---------------------------------------------------
        check(4, "CB_CFNestedArc", TDX_KEY(CFNestedArc)),
        check(4, "CB_CFCopyLines", TDX_KEY(CFCopyLines)),
        check(4, "cbCFOverwrite", TDX_KEY(CFOverwrite)),
        check(4, "cbCFDelConfig", TDX_KEY(CFDelConfig)),
        check(4, "cbCFCMConflict", TDX_KEY(CFCMConflict)),

        // ---- 5 Display & Printer ---------------------------------------------
        radio(5, "RB_Portrait;RB_Landscape", "0;1", TDX_KEY(PRLandscape), fuPrintChanged),
        number(5, "E_Left", TDX_KEY(PRLeft), "@E_Left", display, fuPrintChanged),
        number(5, "E_Top", TDX_KEY(PRTop), "@E_Top", display, fuPrintChanged),
        number(5, "E_Right", TDX_KEY(PRRight), "@E_Right", display, fuPrintChanged),
        number(5, "E_Bottom", TDX_KEY(PRBottom), "@E_Bottom", display, fuPrintChanged),

        // ---- 6 Text Editor -----------------------------------------------------
        check(6, "cbTEEnabled", TDX_KEY(TEEnabled)),
        check(6, "CB_TECurBEOL", TDX_KEY(TECurBEOL)),
        check(6, "CB_TETrimWSEOL", TDX_KEY(TETrimWSEOL)),
        check(6, "CB_TEUndoPastSave", TDX_KEY(TEUndoPastSav)),
        check(6, "CB_TEAutoIndent", TDX_KEY(TEAutoIndent)),
        check(6, "CB_TEAutoHomeKey", TDX_KEY(TEAutoHomeKey)),
        check(6, "CB_TEEnableLinks", TDX_KEY(TEEnableLinks)),
        check(6, "CB_TELinkDblClk", TDX_KEY(TELinkDblClk)),
        check(6, "CB_TEFindCurWord", TDX_KEY(TEFindCurWord)),
        check(6, "CB_TEHLCurLine", TDX_KEY(TEHLCurLine)),
        check(6, "cbTEMarkMod", TDX_KEY(TEMarkMod)),
        of(kkColor, 6, "pTEModCol", TDX_KEY(TEModCol)),
        number(6, "E_TETabSize", TDX_KEY(TETabSize), "@L_TabTxt;L_TETabRange", text,
               fuHeld | fuAccessLayer | fuReload),
        number(6, "E_TEMaxColumns", TDX_KEY(TEMaxColumns), "@lTEMaxColumns", text, fuHeld | fuAccessLayer | fuReload),
        of(kkText, 6, "E_TEExtEditor1", TDX_KEY(TEExtEditor)),
        of(kkText, 6, "E_TEExtEditor2", TDX_KEY(TEExtEditor2)),
        check(6, "cbTEFilterEna", TDX_KEY(TEFilterEna), fuLineFilter),
        radio(6, "rbTEHideLines;rbTEShowLines", "1;0", TDX_KEY(TEHideLines), fuLineFilter),
        check(6, "CB_TEMatchLFCase", TDX_KEY(TEMatchLFCase), fuLineFilter),
        check(6, "cbTEHideLnStart", TDX_KEY(TEHideLnStart), fuLineFilter),
        of(kkText, 6, "E_TEHideTxStart", TDX_KEY(TEHideTxStart), fuLineFilter),
        check(6, "cbTEHideLnWith", TDX_KEY(TEHideLnWith), fuLineFilter),
        of(kkText, 6, "E_TEHideTxWith", TDX_KEY(TEHideTxWith), fuLineFilter),
        check(6, "cbTEHideLnEnd", TDX_KEY(TEHideLnEnd), fuLineFilter),
        of(kkText, 6, "E_TEHideTxEnd", TDX_KEY(TEHideTxEnd), fuLineFilter),
        of(kkLabelTag, 6, "lTEAndOr1", TDX_KEY(TEAndOr1), fuLineFilter),
        of(kkLabelTag, 6, "lTEAndOr2", TDX_KEY(TEAndOr2), fuLineFilter),
        of(kkLabelTag, 6, "lTEHideLnStart", TDX_KEY(TENotStart), fuLineFilter),
        of(kkLabelTag, 6, "lTEHideLnWith", TDX_KEY(TENotWith), fuLineFilter),
        of(kkLabelTag, 6, "lTEHideLnEnd", TDX_KEY(TENotEnd), fuLineFilter),

        // ---- 7 Fixed File Types: a changed row reads the files again ------------
        of(kkItemIndex, 7, "CB_FTFileType1", TDX_KEY(FFTIndex[0]), fuReload),
        of(kkText, 7, "E_FTFiles1", TDX_KEY(FFTFiles[0]), fuReload),
        of(kkItemIndex, 7, "CB_FTFileType2", TDX_KEY(FFTIndex[1]), fuReload),
        of(kkText, 7, "E_FTFiles2", TDX_KEY(FFTFiles[1]), fuReload),
        of(kkItemIndex, 7, "CB_FTFileType3", TDX_KEY(FFTIndex[2]), fuReload),
        of(kkText, 7, "E_FTFiles3", TDX_KEY(FFTFiles[2]), fuReload),
        of(kkItemIndex, 7, "CB_FTFileType4", TDX_KEY(FFTIndex[3]), fuReload),
        of(kkText, 7, "E_FTFiles4", TDX_KEY(FFTFiles[3]), fuReload),

        // ---- 8 Folder Compare ----------------------------------------------------
        check(8, "CB_DifFileOnly", TDX_KEY(FCDifOnly), fuViewFilter),
        check(8, "CB_CompPerfGraph", TDX_KEY(FCGraph)),
        check(8, "CB_FCAutoExpAll", TDX_KEY(FCAutoExpAll)),
        check(8, "CB_FCAutoExpand", TDX_KEY(FCAutoExpand)),
        check(8, "CB_FCHLFldDif", TDX_KEY(FCHLFldDif)),
        check(8, "CB_FCFldFirst", TDX_KEY(FCFldFirst)),
        check(8, "CB_FCHScroll", TDX_KEY(FCHScroll), fuMainLayout),
        check(8, "cbFCSelFirstDif", TDX_KEY(FCSelFirstDif)),
        check(8, "CB_FCHoverText", TDX_KEY(FCHoverText)),
        check(8, "CB_ShowFileSize", TDX_KEY(FCShowSize)),
        check(8, "CB_ShowFileTime", TDX_KEY(FCShowDT)),
        check(8, "CB_ShowFileAttr", TDX_KEY(FCShowAttr)),
        number(8, "E_TimeDif", TDX_KEY(FCIgnTimeDif), "Ignore Timestamp difference of: (Range: 0 .. 25920000)",
               folders, fuAccessLayer),
        number(8, "E_FCIgnDST", TDX_KEY(FCIgnDST), "Ignore DST / Time Zone diff. of: (Range: 0 .. 24)", folders,
               fuAccessLayer),
        check(8, "CB_CompAutoClose", TDX_KEY(FCAutoClose)),
        check(8, "CB_GenCompLog", TDX_KEY(FCGenLog)),
        check(8, "CB_FlashBG", TDX_KEY(FCBGFlash)),
        check(8, "CB_FCShowSession", TDX_KEY(FCShowSession), fuMainLayout),

        // ---- 9 Text Compare ----------------------------------------------------
        check(9, "CB_TCDifLineOnly", TDX_KEY(TCDifOnly), fuViewFilter),
        check(9, "cbTCSelFirstDif", TDX_KEY(TCSelFirstDif)),
        check(9, "CB_TCHoverText", TDX_KEY(TCHoverText)),
        radio(9, "RB_TCLinesOnly;RB_TCLinesAndWords;RB_TCLinesAndChars", "0;1;2", TDX_KEY(TCDiffDetect),
              fuRecompare),
        check(9, "CB_TCShowRuler", TDX_KEY(TCShowRuler)),
        check(9, "CB_IgnAllBl", TDX_KEY(TCIgnAllBl), keysAndRecompare),
        check(9, "CB_IgnLeadBl", TDX_KEY(TCIgnLeadBl), keysAndRecompare),
        check(9, "CB_IgnTrailBl", TDX_KEY(TCIgnTrailBl), keysAndRecompare),
        check(9, "CB_IgnoreCase", TDX_KEY(TCIgnCase), ignoreRanges),
        check(9, "CB_TCIgnEmptyLn", TDX_KEY(TCIgnEmptyLn), keysAndRecompare),
        number(9, "E_TCIgnLnStart", TDX_KEY(TCIgnLnStart), "(Range: 0 .. 999999)", text, keysAndRecompare),
        number(9, "E_TCIgnLnEnd", TDX_KEY(TCIgnLnEnd), "(Range: 0 .. 999999)", text, keysAndRecompare),
        check(9, "CB_TCIgnColumns", TDX_KEY(TCIgnColRange), ignoreRanges),
        of(kkText, 9, "E_TCIgnColumns", TDX_KEY(TCIgnColumns), ignoreRanges),
        check(9, "CB_TCIgnLineCom", TDX_KEY(TCIgnLineCom), ignoreRanges),
        of(kkText, 9, "E_TCIgnLnComPat", TDX_KEY(TCIgnLnComPat), ignoreRanges),
        check(9, "cbTCFPEnabled", TDX_KEY(TCFPEnabled), keysAndRecompare),
        number(9, "eTCFPTime", TDX_KEY(TCFPTime), "Max. FP time (Range: 1 .. 60)", text),
        number(9, "eTCSimilarity", TDX_KEY(TCSimilarity), "Line similarity (Range: 20 .. 100)", text),
        check(9, "cbTCFPIgnCase", TDX_KEY(TCFPIgnCase), matrixAndRecompare),
        check(9, "cbTCFPEnhance", TDX_KEY(TCFPEnhance), matrixAndRecompare),

        // ---- 10 Binary Compare ---------------------------------------------------
        check(10, "CB_DetailDifB", TDX_KEY(BCDetailed)),
        check(10, "CB_BCSelFirstDif", TDX_KEY(BCSelFirstDif)),
        check(10, "CB_BCHoverText", TDX_KEY(BCHoverText)),
        number(10, "E_HEX", TDX_KEY(BCHEXBytes), "@L_HexTxt", "\"Binary Compare\"", fuHeld | fuReloadBinary),
        radio(10, "RB_BCLineNum;RB_BCOffsetAddr", "0;1", TDX_KEY(BCOffsetAddr), fuReloadBinary),
        inverted(10, "CB_BCShowCtrl", TDX_KEY(BCShowNoCtrl)),
        inverted(10, "CB_BCShowExt", TDX_KEY(BCShowNoExt)),
        check(10, "CB_BCShowRuler", TDX_KEY(BCShowRuler)),
        check(10, "CB_BCDifLineOnly", TDX_KEY(BCDifOnly), fuViewFilter),

        // ---- 11 Image Compare ----------------------------------------------------
        radio(11, "RB_ScaleToViewer;RB_Scale100", "1;0", TDX_KEY(ICDoScale), fuMainLayout),
        check(11, "CB_ICDownScale", TDX_KEY(ICDownScale)),
        check(11, "CB_ShowJPG", TDX_KEY(ICShowJPG)),
        check(11, "CB_ShowTIF", TDX_KEY(ICShowTIF)),
        check(11, "CB_ShowGIF", TDX_KEY(ICShowGIF)),
        check(11, "CB_ShowBMP", TDX_KEY(ICShowBMP)),
        check(11, "CB_ShowICO", TDX_KEY(ICShowICO)),
        check(11, "CB_ShowWMF", TDX_KEY(ICShowWMF)),
        check(11, "CB_ShowPNG", TDX_KEY(ICShowPNG)),
        check(11, "CB_ICLastFrame", TDX_KEY(ICLastFrame), fuReload),
        of(kkColor, 11, "pICEqCol", TDX_KEY(ICEqCol)),
        of(kkColor, 11, "pICTolCol", TDX_KEY(ICTolCol)),
        of(kkColor, 11, "pICDifCol", TDX_KEY(ICDifCol)),
        of(kkColor, 11, "pICBgCol", TDX_KEY(ICBgCol)),
        check(11, "CB_ICSyncMove", TDX_KEY(ICSyncMove)),

        // ---- 12 Copy files -------------------------------------------------------
        check(12, "CB_CopyAutoClose", TDX_KEY(CSAutoClose)),
        number(12, "E_NumOfDB", TDX_KEY(CSNumDatBuf), "@L_NumOfDBTxt", "Copy"),
        check(12, "CB_GenCopyLog", TDX_KEY(CSGenLog)),
        check(12, "CB_CopyPerfGraph", TDX_KEY(CSGraph)),

        // ---- 16 Proxy ------------------------------------------------------------
        check(16, "CB_ProxyEnable", TDX_KEY(ProxyEnable)),
        check(16, "CB_ProxyIsSame", TDX_KEY(ProxyIsSame)),
        of(kkText, 16, "E_ProxyHttpServer", TDX_KEY(ProxyHttpServer)),
        number(16, "E_ProxyHttpPort", TDX_KEY(ProxyHttpPort), "Http proxy port:(Range: 0 .. 65535)", "Proxy"),
        of(kkText, 16, "E_ProxyHttpUser", TDX_KEY(ProxyHttpUser)),
        of(kkPassword, 16, "E_ProxyHttpPW", TDX_KEY(ProxyHttpPW)),
        of(kkText, 16, "E_ProxyFtpServer", TDX_KEY(ProxyFtpServer)),
        number(16, "E_ProxyFtpPort", TDX_KEY(ProxyFtpPort), "Ftp proxy port:(Range: 0 .. 65535)", "Proxy"),
        of(kkText, 16, "E_ProxyFtpUser", TDX_KEY(ProxyFtpUser)),
        of(kkPassword, 16, "E_ProxyFtpPW", TDX_KEY(ProxyFtpPW)),
        of(kkItemIndex, 16, "CB_ProxyFtpType", TDX_KEY(ProxyFtpType)),

        // ---- 17 Archives: the access layer keeps its own copy -------------------
        radio(17, "RB_ZIPFast;RB_ZIPNormal;RB_ZIPMaximal", "0;1;2", TDX_KEY(ZIPCompress), fuAccessLayer),
        of(kkText, 17, "E_ArchiveExt", TDX_KEY(ArchiveExt), fuAccessLayer),
        check(17, "CB_ZIPEncryption", TDX_KEY(ZIPEncrypt), fuAccessLayer),
        of(kkPassword, 17, "E_ZIPPassWord", TDX_KEY(ArchivePW), fuAccessLayer),
        check(17, "CB_ZIPHidePW", TDX_KEY(ZIPHidePW)),
        check(17, "CB_ZIPIgnFNCase", TDX_KEY(ZIPIgnFNCase), fuAccessLayer),

        // ---- 20 Error Handling ---------------------------------------------------
        check(20, "CB_ESUsePing", TDX_KEY(ESUsePing), fuAccessLayer),
        number(20, "E_ESMaxPingRetry", TDX_KEY(ESMaxPings), "@L_ESMaxPingRetry", errors, fuAccessLayer),
        number(20, "E_PingTimeOut", TDX_KEY(ESPingTimeOut), "@L_PingTimeOutTxt", errors, fuAccessLayer),
        number(20, "E_MaxRetry", TDX_KEY(ESMaxRetry), "@L_MaxRetryTxt", errors),
        number(20, "E_MinRDelay", TDX_KEY(ESMinRDelay), "@L_MinRDelayTxt", errors),
        number(20, "E_MaxRDelay", TDX_KEY(ESMaxRDelay), "@L_MaxRDelayTxt", errors),
        check(20, "CB_ShowErrBox", TDX_KEY(ESErrorBox)),
        check(20, "CB_ShowWarnBox", TDX_KEY(ESWarnBox)),

        // ---- 21 Tweaks -------------------------------------------------------------
        check(21, "CB_TS_FIND_FIRST_EX_LARGE_FETCH", TDX_KEY(TSLargeFetch), fuAccessLayer),
        check(21, "CB_TSShowTimes", TDX_KEY(TSShowTimes)),
        check(21, "CB_BCDynBufSize", TDX_KEY(BCDynBufSize)),
        check(21, "cbUseSSE42", "UseSSE42", [](TAppSettings&) -> TKeyValue { return &config::UseSSE42(); }, fuAtOnce),
        check(21, "CB_UseHelpFile", "UseHelpFile", [](TAppSettings&) -> TKeyValue { return &UseHelpFile(); },
              fuAtOnce),
    };
}

#undef TDX_KEY

}  // namespace

const std::vector<TKeyDescriptor>& SettingsKeys() {
    static const std::vector<TKeyDescriptor> table = makeTable();
    return table;
}

int KeyInt(const TKeyDescriptor& d, config::TAppSettings& s) {
    return std::visit(
        [](auto* p) -> int {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, QString>)
                return p->toInt();
            else
                return int(*p);
        },
        d.ref(s));
}

void SetKeyInt(const TKeyDescriptor& d, config::TAppSettings& s, int value) {
    std::visit(
        [value](auto* p) {
            using T = std::remove_pointer_t<decltype(p)>;
            if constexpr (std::is_same_v<T, QString>)
                *p = QString::number(value);
            else if constexpr (std::is_same_v<T, bool>)
                *p = value != 0;
            else
                *p = T(value);
        },
        d.ref(s));
}

QString KeyText(const TKeyDescriptor& d, config::TAppSettings& s) {
    const TKeyValue ref = d.ref(s);
    if (auto* text = std::get_if<QString*>(&ref)) return **text;
    return QString::number(KeyInt(d, s));
}

void SetKeyText(const TKeyDescriptor& d, config::TAppSettings& s, const QString& value) {
    const TKeyValue ref = d.ref(s);
    if (auto* text = std::get_if<QString*>(&ref))
        **text = value;
    else
        SetKeyInt(d, s, value.toInt());
}

quint8& UseHelpFile() {
    static quint8 use = 0;
    return use;
}

}  // namespace tandex::settings
