#pragma once
// The settings dialog: a tree of pages on the left, the page's title with
// its help button above the page area, and the button row below. It is not
// modal and exists once (F_SettingsNew); the main window's controls stay
// disabled while it is open. The opening copies every setting into its
// control (settings_keys.h says which control holds which key); "Cancel"
// closes without copying back. One class over several files:
// settings_dialog.cpp holds the frame, settings_pages_*.cpp build the pages
// and their handlers.

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <array>

#include "settings_keys.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QAction;
class QPlainTextEdit;
class QRadioButton;
class QStackedWidget;
class QTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace tandex::ui {
class TF_Main;
class TFlatButton2;
}  // namespace tandex::ui

namespace tandex::settings {

inline constexpr int kSettingsPages = 22;
inline constexpr int kTweaksPage = 21;

// The pulse's start colour and the white it fades to (0x00BBGGRR).
inline constexpr quint32 kPulseStart = 0xF0CAA6;
inline constexpr quint32 kPulseEnd = 0xFFFFFF;

class TF_SettingsNew : public QDialog {
    Q_OBJECT

public:
    // main may be nullptr (tests of the dialog alone): the buttons that
    // reach the main window then do nothing.
    explicit TF_SettingsNew(ui::TF_Main* main, QWidget* parent = nullptr);
    ~TF_SettingsNew() override;

    // ---- frame (settings_dialog.cpp) ------------------------------------------
    void FormCreate();
    void FormShow();
    void SelectPage(int page, quint8 pulse);
    void TV_SelectClick();
    void fbCancelClick();
    void fbHelpClick();
    void ApplyTheme();
    void timColorTimer();
    void lTCFPTimeClick();
    // The three "OpenSSL libraries not found!" labels of the FTP and cloud
    // pages.
    void L_SSLDLLsNotFoundClick();
    void BB_ColorsClick();
    void BB_FontClick();
    void BB_PrnFontClick();
    void fbQFCOptsClick();
    // The flat buttons' pictures, from the main window's image lists.
    bool fbNewProfileLoadBMPFunc(int size, int index, QImage& bitmap) const;

    // The absolute (pre-order) index of a tree node: its page.
    int absoluteIndex(const QTreeWidgetItem* item) const;
    QTreeWidgetItem* nodeOfPage(int page) const;
    int SelectedPage() const;
    // The widget the pulse paints for target 1 .. 3.
    QWidget* pulseWidget(int target) const;
    // The text a number descriptor's range is written in.
    QString rangeTextOf(const TKeyDescriptor& d) const;

    template <class T>
    T* control(const char* name) const {
        return findChild<T*>(QLatin1String(name));
    }

    // State.
    std::array<QWidget*, kSettingsPages> pagePanels{};
    QString pagePath;
    quint32 pulseColor = kPulseEnd;
    quint8 pulseTarget = 0;
    int dateFormatIdx = 0;
    quint8 ftpTestState = 0;
    QString plugInFlags;

    // Frame controls.
    QWidget* P_TreeSelect = nullptr;
    QTreeWidget* TV_Select = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* P_Title = nullptr;
    ui::TFlatButton2* fbHelp = nullptr;
    QStackedWidget* P_Pages = nullptr;
    QWidget* P_Control = nullptr;
    QLabel *L_Tandex = nullptr, *L_Version = nullptr;
    ui::TFlatButton2 *fbApply = nullptr, *fbOk = nullptr, *fbCancel = nullptr;
    QTimer *timDateTime = nullptr, *timDBLogin = nullptr, *timColor = nullptr;

    // ---- pages 0 .. 7 (settings_pages_general.cpp) ------------------------------
    void CB_DetailsPanelClick();
    void cbGSShowHintsClick();
    void CB_GSShowDiffBarClick();
    void RB_MetricUnitsClick();
    void CB_MetricPrefixAlwaysClick();
    void RB_DTFxClick(QObject* sender);
    void timDateTimeTimer();
    void fbSetTempPathClick();
    void fbBKFolderClick();
    void fbBKArcFolderClick();
    void fbBKFTPFolderClick();
    void fbBKDBOFolderClick();
    void cbTEEnabledClick();
    void CB_TEEnableLinksClick();
    void fbTEFindEditor1Click();
    void fbTEFindEditor2Click();
    // x > 0: a right click toggles the label's Tag; x = 0 only shows it.
    void lTEAndOrMouseDown(QLabel* label, int x);
    void lTEHideLnMouseDown(QLabel* label, int x);
    void lTEHideLnStartClick();
    void lTEHideLnWithClick();
    void lTEHideLnEndClick();
    void update_AND_OR_Logic();
    void CB_FTFileTypeClick(QObject* sender);
    // The colour panels share it.
    void pICEqColClick(QWidget* panel);

    QCheckBox *CB_DetailsPanel = nullptr, *CB_GSShowDPRuler = nullptr, *cbGSShowHints = nullptr,
              *cbGSShowHintDB = nullptr, *CB_GSShowDiffBar = nullptr, *CB_MetricPrefixAlways = nullptr;
    QLabel* L_TNBarWidthTxt = nullptr;
    QLineEdit *E_GSTNBarWidth = nullptr, *E_GSTempPath = nullptr;
    QRadioButton *RB_BinaryUnits = nullptr, *RB_MetricUnits = nullptr;
    QGroupBox* GB_DateTime = nullptr;
    std::array<QRadioButton*, 4> RB_DTF{};
    QLineEdit *E_BKFolder = nullptr, *E_BKArcFolder = nullptr, *E_BKFTPFolder = nullptr, *E_BKDBOFolder = nullptr;
    QWidget* pTEEnabled = nullptr;
    QCheckBox *cbTEEnabled = nullptr, *CB_TETrimWSEOL = nullptr, *CB_TEEnableLinks = nullptr,
              *CB_TELinkDblClk = nullptr, *cbTEMarkMod = nullptr;
    QLineEdit *E_TEExtEditor1 = nullptr, *E_TEExtEditor2 = nullptr;
    ui::TFlatButton2 *fbTEFindEditor1 = nullptr, *fbTEFindEditor2 = nullptr;
    QLabel *L_TabTxt = nullptr, *L_TETabRange = nullptr, *lTEMaxColumns = nullptr;
    QGroupBox* GB_HideShowLines = nullptr;
    QCheckBox *cbTEHideLnStart = nullptr, *cbTEHideLnWith = nullptr, *cbTEHideLnEnd = nullptr;
    QLineEdit *E_TEHideTxStart = nullptr, *E_TEHideTxWith = nullptr, *E_TEHideTxEnd = nullptr;
    QLabel *lTEAndOr1 = nullptr, *lTEAndOr2 = nullptr, *lTEHideLnStart = nullptr, *lTEHideLnWith = nullptr,
           *lTEHideLnEnd = nullptr;
    std::array<QComboBox*, 4> CB_FTFileType{};
    std::array<QLineEdit*, 4> E_FTFiles{};

    // ---- pages 8 .. 12 (settings_pages_compare.cpp) -------------------------------
    void CB_FCAutoExpAllClick();
    void CB_IgnAllBlClick();
    void CB_ShowICOClick();

    QCheckBox *CB_FCAutoExpAll = nullptr, *CB_FCAutoExpand = nullptr, *CB_IgnAllBl = nullptr,
              *CB_IgnLeadBl = nullptr, *CB_IgnTrailBl = nullptr, *CB_ShowICO = nullptr, *CB_ICLastFrame = nullptr;
    QGroupBox* gbFuzzy = nullptr;
    QLabel* lTCFPTime = nullptr;

    // ---- pages 13 .. 15, FTP profiles (settings_pages_ftp.cpp) ----------------------
    // sender is nullptr where code runs them rather than the user.
    void LB_FTPProfilesClick(QObject* sender);
    void fbNewProfileClick();
    void B_SaveProfileClick(QObject* sender);
    void fbFTPDelProfileClick();
    void E_FTPProfileNameChange();
    void FTPProfileDataChange(QObject* sender);
    void FTPProfileDataChangeEncryption();
    void CB_FTPAnonymousClick();
    void CB_FTPHidePWClick();
    void fbFTPTestClick();
    void showFTPTestState(quint8 state);
    // Both fbFTPCapabilities and fbFTPHelp.
    void fbFTPCapabilitiesClick(QObject* sender);
    void fillProfileList();
    // Asks about unsaved profile edits; false when the user cancelled.
    bool confirmProfileSaved();
    // "Delete this <what>?" when deletions are to be confirmed; true to go on.
    bool confirmDelete(const QString& what);

    QListWidget* LB_FTPProfiles = nullptr;
    QGroupBox* GB_FTPProfileData = nullptr;
    QLineEdit *E_FTPProfileName = nullptr, *E_FTPServerName = nullptr, *E_FTPPortNumber = nullptr,
              *E_FTPUserName = nullptr, *E_FTPPassWord = nullptr, *E_FTPConnTimeout = nullptr,
              *E_FTPReadTimeout = nullptr, *E_FTPAnonymousEmail = nullptr;
    QLabel *L_FTPUserName = nullptr, *L_FTPPassWord = nullptr, *L_EncryptionTit = nullptr,
           *L_FTPTestResult = nullptr, *L_MaxReached = nullptr, *L_ProtocoolNotAvailable = nullptr,
           *L_SSHDLLsNotFound1 = nullptr, *L_SSLDLLsNotFound2 = nullptr, *L_FTPConnTimeout = nullptr,
           *L_FTPReadTimeout = nullptr;
    QCheckBox *CB_FTPHidePW = nullptr, *CB_FTPAnonymous = nullptr, *CB_DataEncryption = nullptr,
              *CB_FTPPassive = nullptr, *cbFTPSetRTS = nullptr, *cbFTPUTIME3 = nullptr;
    QComboBox *CB_FTPProtocol = nullptr, *CB_FTPEncryption = nullptr;
    QRadioButton *RB_IPV4 = nullptr, *RB_IPV6 = nullptr, *RB_SSLV1 = nullptr, *RB_SSLV2 = nullptr,
                 *RB_SSLV3 = nullptr, *RB_SSLVAuto = nullptr;
    ui::TFlatButton2 *fbNewProfile = nullptr, *B_SaveProfile = nullptr, *fbFTPDelProfile = nullptr,
                     *fbFTPTest = nullptr, *fbFTPCapabilities = nullptr, *fbFTPHelp = nullptr;
    QTextEdit* reFTPCapabilities = nullptr;

    // ---- pages 16, 17, 20, 21 (settings_pages_other.cpp) ---------------------------
    void CB_ProxyEnableClick();
    void CB_ProxyIsSameClick();
    void CB_HideProxyHttpPWClick();
    void CB_HideProxyFtpPWClick();
    void CB_ZIPEncryptionClick();
    void CB_ZIPHidePWClick();
    void cbUseSSE42Click();
    void CB_UseHelpFileClick();
    void fbShowHandlesClick();

    QCheckBox *CB_ProxyEnable = nullptr, *CB_ProxyIsSame = nullptr, *CB_HideProxyHttpPW = nullptr,
              *CB_HideProxyFtpPW = nullptr;
    QGroupBox *GB_ProxyHttp = nullptr, *GB_ProxyFtp = nullptr;
    QLineEdit *E_ProxyHttpPW = nullptr, *E_ProxyFtpServer = nullptr, *E_ProxyFtpPort = nullptr,
              *E_ProxyFtpUser = nullptr, *E_ProxyFtpPW = nullptr;
    QComboBox* CB_ProxyFtpType = nullptr;
    QLabel* L_ProxyFtpType = nullptr;
    QCheckBox *CB_ZIPEncryption = nullptr, *CB_ZIPHidePW = nullptr;
    QLineEdit* E_ZIPPassWord = nullptr;
    QCheckBox *cbUseSSE42 = nullptr, *CB_UseHelpFile = nullptr;
    QLabel *L_W7 = nullptr, *lFuzzy = nullptr;

    // ---- page 18 Dropbox (settings_page_cloud.cpp) -----------------------------------
    void showCloudState();
    // 0 not authorized, 1 authorized, 2 pending.
    void setCloudStatus(quint8 status);
    // What the cloud client reports while the grant runs: 0 .. 2 the step
    // under way, 3 the access granted.
    void cloudLoginStep(int step);
    void fbDBLoginClick();
    void fbRevokeAccessClick();
    void fbDBOInfoClick();
    void timDBLoginTimer();
    // The program the grant opens the authorization address with: $BROWSER,
    // else xdg-open on PATH; empty when there is neither.
    static QString BrowserCommand();

    QLabel *lDBStatus = nullptr, *L_SSLDLLsNotFound3 = nullptr;
    ui::TFlatButton2 *fbDBLogin = nullptr, *fbRevokeAccess = nullptr, *fbDBOInfo = nullptr;
    QPlainTextEdit* mAccountInfo = nullptr;

    // ---- page 19 Plug-ins (settings_page_plugins.cpp) -----------------------------------
    // build (only at opening) takes plugInFlags from the entries' field 7.
    void fillPlugInList(bool build);
    // Asks about an unsaved configuration; false when the user cancelled.
    bool confirmPlugInSaved();
    void checkPlugInLocation();
    // sender nullptr: loaded by code, without the question about changes.
    void LB_PIListClick(QObject* sender);
    void LB_PIListClickCheck(QListWidgetItem* item);
    void FB_PINewClick();
    void FB_PISaveClick(QObject* sender);
    void FB_PIDeleteClick();
    void E_PINameChange();
    void cbPIDisableAllClick();
    void fbPILocationClick();
    void fbPIParamsClick();
    void pmPIParamsPopup();
    void pmSelectPIParamsClick(QAction* item);
    // The modified mark: the Save button's Tag.
    bool plugInModified() const;

    QListWidget* LB_PIList = nullptr;
    QWidget* pPIDisableAll = nullptr;
    QCheckBox *cbPIDisableAll = nullptr, *CB_PIShortNames = nullptr, *cbPIUseExitCode = nullptr;
    QLineEdit *E_PIName = nullptr, *E_PIFileFilter = nullptr, *E_PIParameters = nullptr, *E_PILocation = nullptr,
              *ePiSuccess = nullptr, *eORPiSuccess = nullptr;
    ui::TFlatButton2 *fbPIParams = nullptr, *fbPILocation = nullptr, *FB_PINew = nullptr, *FB_PISave = nullptr,
                     *FB_PIDelete = nullptr;
    QLabel *lPINotFound = nullptr, *L_PIMaxConfig = nullptr, *lPlugInDownload = nullptr;
    QMenu* pmPIParams = nullptr;
    QAction *pmInputFileName = nullptr, *pmOutputFileName = nullptr, *pmAppDir = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createFrame();
    void createTree();
    ui::TFlatButton2* frameButton(QWidget* parent, const char* name, const QString& caption, int width);
    void createPagesGeneral();
    void createPagesCompare();
    void createPagesOther();
    void createPageCloud();
    void createPagePlugIns();
    void openCloudPage();
    void openPlugInPage();
    // The grant's browser run: starts program on the address and waits for
    // it with the events running; false when it did not start or failed.
    bool runBrowser(const QString& program, const QString& address);
    void setPlugInModified(bool modified);
    // The record the fields make, or an empty text after telling the user
    // why they cannot be stored.
    QString plugInRecord(bool enabled);
    void createPagesFtp();
    // Opening: the hide box, the e-mail address, the list and its profile.
    void openFtpPages();
    // What the protocol, encryption and anonymous choices show and enable.
    void showProfileControls();
    void updateProfileSave();
    bool profileModified() const;
    void setProfileModified(bool modified);
    // Keeps the user out of everything but the test's "Abort" while the
    // connection test or the capability view waits for the server.
    void setFtpBusy(bool busy);
    QStringList capabilityDescriptions() const;
    // The empty panel of a page that another part of the dialog fills.
    QWidget* emptyPage(int page, const char* name);
    QWidget* newPage(int page, const char* name);
    void fitPage(QWidget* page);
    void fitShownPage();
    // Copies every descriptor's key into its control.
    void openKeys();
    void openKey(const TKeyDescriptor& d);
    void runOpeningHandlers();
    void setPulseColor(int target, quint32 color);
    // The current time in the four time-stamp formats on page 1.
    void showTimeExamples();
    QString profileNameForTitle() const;
    bool pickExternalProgram(ui::TFlatButton2* button, QLineEdit* field);
    void pickFolder(QLineEdit* field, const QString& title);

    ui::TF_Main* main_;
    bool tweaks_ = false;
    bool closed_ = false;
    std::array<bool, kSettingsPages> fitted_{};
    // The list row whose entry the plug-in fields show; -1 after "New".
    int plugInShownRow_ = -1;
    // The slot whose data the profile controls show; -1 after "New".
    int ftpShownProfile_ = -1;
    // The access layer's text of the last failed connection test.
    QString ftpTestFailure_;
    bool ftpBusy_ = false;
    std::array<bool, 3> ftpFrameEnabled_{};
};

// The open dialog, nullptr while there is none.
TF_SettingsNew* F_SettingsNew();
// Makes the dialog (disabling nothing: the caller has done that) and shows
// it; an open one is brought to the front.
TF_SettingsNew* OpenSettingsDialog(ui::TF_Main* main);

}  // namespace tandex::settings
