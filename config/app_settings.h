#pragma once
// Every option of the program, one member per key of the settings file and
// named after that key, so that `AppSettings().TCIgnCase` reads the key
// "TCIgnCase". The members start with the defaults a missing settings file
// gives; the settings load overwrites them once at start and the save writes
// them back at exit. Values are read and changed from the user-interface
// thread only.

#include <QString>
#include <QtGlobal>
#include <array>

namespace tandex::config {

// A font kept as plain values; the windows build the toolkit's font from it.
// An empty name stands for the system's fixed font (the text panes and the
// printer use a fixed-pitch font unless the user chose one).
struct TFontDesc {
    QString Name;
    int Size = 9;   // points
    int Style = 0;  // bits: 1 bold, 2 italic, 4 underline, 8 strike-out
};

enum TFontStyleBit : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// One recent pair of compared files.
struct TFilePair {
    QString PathL;  // left folder
    QString PathR;  // right folder
    QString NameL;  // left file name
    QString NameR;  // right file name
};

inline constexpr int kRecentPairs = 21;    // 0..19 recent, 20 the pending pair
inline constexpr int kListSize = 20;       // the indexed lists of 20 entries
inline constexpr int kColorSetCount = 11;  // 0..4 and 10 built in, 5..9 user sets
inline constexpr int kColorsPerSet = 40;
inline constexpr int kFileTypeRules = 4;
inline constexpr int kBuiltInConverters = 7;
// The "missing" mark of GSGUIStyle while the load runs.
inline constexpr int kGuiStyleMissing = 2147483647;

using TColorSet = std::array<quint32, kColorsPerSet>;

struct TAppSettings {
    // ---- main section "Tandex" -------------------------------------------
    int AFH = 700, AFW = 1000, AFL = 1, AFT = 1;
    bool AFZ = false;
    TFontDesc AFFont{QString(), 9, 0};  // keys AFFontName, AFFontSize, AFFontStyle
    QString AFIniVersion;
    std::array<TFilePair, kRecentPairs> AFHist;

    bool SUBetaVers = true;
    int SUAutoUpdate = 2, SUAutoLoad = 0, SUSettingPage = 0;

    bool GSStaDisp = true, GSDetailPanel = true, GSShowHints = true, GSShowHintDB = true,
         GSShowDiffBar = true, GSLineNr = true, GSBinaryUnits = true, GSForceMUnits = false,
         GSClrTmpFld = false, GSShowDPRuler = true, GSAdaptivHT = false, GSLineSelect = false,
         GSVWSDetail = true, GSVSettings = false;
    int GSTNBarWidth = 21;  // 10 .. 43
    int GSDateTimeFmt = 0;
    int GSGUIStyle = 1;  // a missing settings file selects the flat style
    int GSDetailView = 1;
    QString GSTempPath;  // writable root + "TDX_Temp"

    bool BKBeforeSave = true, BKBeforeCopy = false, BKUseSequence = true, BKUseFolder = false,
         BKFTPEnable = false, BKUseFTPFolder = false, BKArcEnable = false, BKUseArcFolder = false,
         BKDBOEnable = false, BKUseDBOFolder = false;
    QString BKFolder, BKFTPFolder, BKArcFolder, BKDBOFolder;

    bool CFNestedArc = true, CFCopyLines = true, CFOverwrite = true, CFDelConfig = true,
         CFCMConflict = true, CFCMCDefault = true;

    bool TEEnabled = true, TECurBEOL = false, TETrimWSEOL = true, TEAutoIndent = true,
         TEAutoHomeKey = true, TEUndoPastSav = true, TEEnableLinks = true, TELinkDblClk = true,
         TEFilterEna = true, TEHideLnStart = false, TEHideLnWith = false, TEHideLnEnd = false,
         TEHideLines = true, TEAndOr1 = true, TEAndOr2 = true, TENotStart = false,
         TENotWith = false, TENotEnd = false, TEFindCurWord = true, TEHLCurLine = true,
         TEMatchLFCase = true, TEVisibleWS = false, TEVisibleTAB = false, TEMarkMod = true;
    int TETabSize = 4;
    int TEMaxColumns = 1024;  // at most 8192
    int TEGotoTL = 1, TEGotoDL = 1, TEGotoBL = 0, TEModCol = 255;
    // Empty: $VISUAL, else $EDITOR, else xdg-open.
    QString TEExtEditor, TEExtEditor2;
    QString TEHideTxStart, TEHideTxWith, TEHideTxEnd;

    bool TCDifOnly = false, TCIgnAllBl = true, TCIgnLeadBl = false, TCIgnTrailBl = true,
         TCIgnCase = false, TCSelFirstDif = true, TCHoverText = true, TCShowRuler = true,
         TCIgnColRange = false, TCIgnEmptyLn = false, TCIgnLineCom = false, TCFPEnabled = true,
         TCFPIgnCase = true, TCFPEnhance = true;
    int TCDiffDetect = 2, TCIgnLnStart = 0, TCIgnLnEnd = 0, TCFPTime = 5, TCSimilarity = 85;
    QString TCIgnColumns;
    QString TCIgnLnComPat = QStringLiteral("//");
    std::array<int, kFileTypeRules> FFTIndex{};
    std::array<QString, kFileTypeRules> FFTFiles;

    bool BCDetailed = true, BCDifOnly = false, BCSelFirstDif = true, BCHoverText = false,
         BCOffsetAddr = true, BCShowNoCtrl = true, BCShowNoExt = true, BCDynBufSize = true,
         BCShowRuler = false;
    int BCHEXBytes = 16;

    bool ICShowBMP = true, ICShowJPG = true, ICShowGIF = true, ICShowTIF = true, ICShowPNG = true,
         ICShowWMF = true, ICShowICO = true, ICDoScale = true, ICDownScale = true,
         ICLastFrame = true, ICSyncMove = false, ICTinted = false, ICRelaxed = false,
         ICOverlay = false, ICMagnifier = true;
    int ICID = 0, ICMagnify = 10, ICBlend = 50, ICDifTol = 0, ICDVType = 0, ICBOType = 0;
    // Colours as 0x00BBGGRR values.
    int ICEqCol = 16777215, ICTolCol = 65280, ICDifCol = 255, ICBgCol = 15790320;

    bool FCHScroll = false, FCDifOnly = false, FCGenLog = false, FCBGFlash = true,
         FCTreeView = true, FCAutoExpAll = false, FCAutoExpand = false, FCHLFldDif = false,
         FCFldFirst = true, FCShowSize = true, FCShowDT = true, FCShowAttr = true,
         FCDateTime = true, FCShowSession = true, FCShowMoreSet = false;
    int FCAttr = 7, FCIgnDST = 1;
    bool FCSubDir = true, FCLimitRecScan = false, FCChkBoth = true, FCUseFPL = false,
         FCGraph = false, FCAutoClose = false, FCSelFirstDif = true, FCHoverText = true,
         FCExclSmaller = false, FCExclLarger = false;
    int FCExclArchive = 0, FCExclRdOnlyF = 0, FCExclHiddenF = 0, FCExclSystemF = 0,
        FCExclRdOnlyD = 0, FCExclHiddenD = 0, FCExclSystemD = 0;
    bool FCExclOlder = false, FCExclNewer = false, FCUseDaysAgo = true;
    int FCOlderDays = 0, FCNewerDays = 0;
    qint64 FCOlderTS = 0, FCNewerTS = 0;  // stored as decimal texts
    int FCSmaller = 0, FCLarger = 0, FCSmallerUnit = 0, FCLargerUnit = 0, FCBufSize = 2,
        FCMaxDepth = 1, FCContent = 0, FCIgnTimeDif = 2;
    std::array<QString, kListSize> FCFoldersL, FCFoldersR, FCFPLNames, FCFPLParam, FCIncMasks,
        FCExcMasks, FCExcFldMasks;
    // Index 20 holds the options-only session; its data starts as
    // DefaultSessionData(), its name stays empty.
    std::array<QString, kListSize + 1> FCSessions, FCSessData;

    bool CSAutoClose = false;
    int CSNumDatBuf = 200;
    bool CSGenLog = false;
    int CSBufSize = 2;
    bool CSAttr = true, CSZeroBytes = true, CSOverWrite = false, CSGraph = false;

    bool FTPHidePW = true;
    int FTPProfIdx = 0;
    QString FTPAnoEmail = QStringLiteral("guest@example.com");
    std::array<QString, kListSize> FTPProfile;

    bool ProxyEnable = false, ProxyIsSame = true;
    int ProxyHttpPort = 8080, ProxyFtpPort = 8080, ProxyFtpType = 0;
    QString ProxyHttpServer, ProxyHttpUser, ProxyHttpPW, ProxyFtpServer, ProxyFtpUser,
        ProxyFtpPW;  // the passwords in scrambled form

    bool ZIPHidePW = true, ZIPEncrypt = false, ZIPIgnFNCase = true;
    int ZIPCompress = 1;
    QString ArchivePW, ArchiveExt;
    std::array<QString, kListSize> ZIPFiles;

    QString DBOSecret, DBOKey;  // scrambled
    std::array<QString, kListSize> WEBFiles;

    bool PIDisableAll = false;
    int PIConfigIdx = 0;
    std::array<QString, kListSize> PIConfig;  // 0..6 the built-in converters

    bool ESErrorBox = true, ESWarnBox = true, ESUsePing = true;
    int ESMaxPings = 1, ESPingTimeOut = 2000, ESMaxRetry = 0, ESMinRDelay = 100, ESMaxRDelay = 1000;

    bool TSLargeFetch = false, TSShowTimes = false;
    int PGOpt = 1, PGSmoothVal = 3;

    // ---- "Printer" ---------------------------------------------------------
    int APH = 700, APW = 900, APL = 1, APT = 1;
    int PRTPZoom = 10, PRPPZoomState = 3;
    int PRLeft = 5, PRTop = 12, PRRight = 5, PRBottom = 5;
    bool PRLandscape = true;
    TFontDesc APFont{QString(), 8, 0};  // keys APFontName, APFontSize, APFontStyle

    // ---- "ColorSets" -------------------------------------------------------
    // Names of all sets; the colours of the built-in ones are filled by the
    // colour-set unit. A user set named "-" is unused.
    std::array<QString, kColorSetCount> COSetName;
    std::array<TColorSet, kColorSetCount> ColorSets{};
    int COSetIdx = 10;  // "Flat Blue", what a missing settings file gives

    // ---- "Dialog" ----------------------------------------------------------
    // A top of -1 lets the window choose its default position.
    int SFL = 0, SFT = -1, CFL = 0, CFT = -1, ICL = 0, ICT = -1, ICW = 540, ICH = 300, BCL = 0,
        BCT = -1, BCW = 600, BCH = 500, FML = 0, FMT = -1;

    // ---- "Update", "LogView", "Debug", "Help", "FindReplace" ---------------
    int UFH = 500;
    int LFH = 350, LFW = 580, LFL = 100, LFT = 100;
    QString LFSearch;
    int DFH = 350, DFW = 600, DFL = 1, DFT = 1;
    int HFL = 0, HFT = -1, HFH = 680;
    int FFL = 0, FFT = -1;

    TAppSettings();

    // Puts every value back to its default; the folders are placed under the
    // given writable root (which ends with "/").
    void SetDefaults(const QString& writableRoot);
};

// The seven converter entries a settings file without them gets; they name
// the Debian programs found on PATH.
const std::array<QString, kBuiltInConverters>& BuiltInConverters();

// The session record a settings file without one gives entry 20 of
// FCSessData: 37 fields separated by the character 30, whose meaning
// belongs to the folder comparison.
QString DefaultSessionData();

// The program-wide settings. The first call fills the defaults, with the
// folders under PrgDir()'s writable root.
TAppSettings& AppSettings();
// The colour set the settings choose, an index out of range held to the
// nearest set.
const TColorSet& CurrentColorSet();

// The running program's version text, and the application backups folder
// (writable root + "TDX_AppBackups/"); both are set by the settings load and
// live beside AppSettings().
QString& CurrentVersion();
QString& AppBackupsFolder();

}  // namespace tandex::config
