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
class QRadioButton;
class QStackedWidget;
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
};

// The open dialog, nullptr while there is none.
TF_SettingsNew* F_SettingsNew();
// Makes the dialog (disabling nothing: the caller has done that) and shows
// it; an open one is brought to the front.
TF_SettingsNew* OpenSettingsDialog(ui::TF_Main* main);

}  // namespace tandex::settings
