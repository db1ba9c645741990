// The settings dialog: its page tree and titles, the pointer pulse, the
// opening that shows every setting in its control, the page handlers, help
// and look, and pictures of every page in both looks.

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSet>
#include <QStackedWidget>
#include <QTreeWidget>

#include "access/ini_file_adapter.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/find_settings.h"
#include "config/ini_file_access.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"
#include "config/settings_file.h"
#include "tests/ui/settings/settings_dialog_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/print_seams.h"
#include "ui/settings/settings_keys.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
namespace settings = tandex::settings;
using settings::TF_SettingsNew;

namespace {

class RecordingHelp : public ui::HelpServices {
public:
    void ShowHelpTopic(const QString& topic) override { topics << topic; }
    void ApplyTheme() override {}
    void CloseHelp() override {}
    QStringList topics;
};

class SettingsDialogTest : public tandex::testing::SettingsDialogFixture {
protected:
    void SetUp() override {
        SettingsDialogFixture::SetUp();
        ui::setHelp(&help_);
    }
    void TearDown() override {
        ui::setHelp(nullptr);
        SettingsDialogFixture::TearDown();
    }
    static QStringList nodeCaptions(const TF_SettingsNew& d) {
        QStringList captions;
        for (QTreeWidgetItemIterator it(d.TV_Select); *it; ++it) captions << (*it)->text(0);
        return captions;
    }
    static quint32 background(const QWidget* w) {
        const QColor c = w->palette().color(QPalette::Window);
        return quint32(c.red() | (c.green() << 8) | (c.blue() << 16));
    }
    static void click(QWidget* w, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(w, button, {}, QPoint(4, w->height() / 2));
    }
    template <class T>
    T* find(TF_SettingsNew& d, const char* name) {
        T* w = d.control<T>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    RecordingHelp help_;
};

TEST_F(SettingsDialogTest, TheTweaksPageIsThereOnlyForTheParameterAsTyped) {
    struct Case {
        QStringList parameters;
        int nodes;
    };
    const Case cases[] = {{{}, 21}, {{QStringLiteral("Tweak")}, 21}, {{QStringLiteral("TWEAK")}, 21},
                          {{QStringLiteral("/gui"), QStringLiteral("tweak")}, 21}, {{QStringLiteral("tweak")}, 22}};
    for (const Case& c : cases) {
        startedWith(c.parameters);
        // A page of an earlier run with "tweak" opens the first page instead.
        config::AppSettings().SUSettingPage = 21;
        TF_SettingsNew d(nullptr);
        const QStringList captions = nodeCaptions(d);
        ASSERT_EQ(captions.size(), c.nodes) << c.parameters.join(' ').toStdString();
        EXPECT_EQ(captions.last(), c.nodes == 22 ? QStringLiteral("Tweaks") : QStringLiteral("Error Handling"));
        EXPECT_EQ(d.SelectedPage(), c.nodes == 22 ? 21 : 0);
        EXPECT_EQ(d.P_Pages->currentWidget(), d.pagePanels[size_t(d.SelectedPage())]);
    }
}

TEST_F(SettingsDialogTest, PagesShowTheirPathAsTitleAndHelpHint) {
    TF_SettingsNew& d = dialog();
    EXPECT_EQ(d.windowTitle(), QStringLiteral(" Settings "));
    EXPECT_EQ(d.pagePanels[7]->objectName(), QStringLiteral("P_FixedFileTypes"));
    d.SelectPage(3, 0);
    EXPECT_EQ(d.P_Title->text(), QStringLiteral("   General -> Backups -> Advanced"));
    EXPECT_EQ(d.fbHelp->toolTip(), QStringLiteral(" Click to get help for 'General -> Backups -> Advanced' "));
    EXPECT_TRUE(d.pagePanels[3]->isVisible());
    EXPECT_FALSE(d.pagePanels[2]->isVisible());
    EXPECT_EQ(config::AppSettings().SUSettingPage, 3);
    // The title shows "&" as a label caption does: doubled.
    d.SelectPage(5, 0);
    EXPECT_EQ(d.P_Title->text(), QStringLiteral("   General -> Display && Printer"));
    EXPECT_EQ(d.fbHelp->toolTip(), QStringLiteral(" Click to get help for 'General -> Display & Printer' "));
    // A click on a node selects its page.
    d.TV_Select->setCurrentItem(d.nodeOfPage(15));
    EXPECT_EQ(d.P_Title->text(), QStringLiteral("   FTP Profiles -> General"));
    EXPECT_EQ(d.P_Pages->currentIndex(), 15);
    // The buttons that store come with the apply.
    EXPECT_FALSE(d.fbOk->Enabled());
    EXPECT_FALSE(d.fbApply->Enabled());
    EXPECT_EQ(d.fbApply->x(), d.P_Pages->x());
    EXPECT_EQ(d.fbOk->x(), d.fbApply->x() + d.fbApply->Width() + 25);
    EXPECT_EQ(d.P_Pages->size(), QSize(490, 440));
}

TEST_F(SettingsDialogTest, PulseFadesToWhiteInEightyNineStepsAndANewPageWhitensTheOldTarget) {
    TF_SettingsNew& d = dialog();
    d.SelectPage(9, 1);
    EXPECT_EQ(d.SelectedPage(), 9);
    EXPECT_TRUE(d.timColor->isActive());
    EXPECT_EQ(d.timColor->interval(), 100);
    // The first step runs at once.
    EXPECT_EQ(background(d.gbFuzzy), 0xF1CBA7u);
    for (int step = 2; step <= 89; ++step) d.timColorTimer();
    EXPECT_EQ(background(d.gbFuzzy), 0xFFFFFFu);
    EXPECT_TRUE(d.timColor->isActive());
    d.timColorTimer();
    EXPECT_FALSE(d.timColor->isActive());

    d.SelectPage(6, 2);
    d.timColorTimer();
    EXPECT_EQ(background(d.GB_HideShowLines), 0xF2CCA8u);
    d.SelectPage(6, 3);
    EXPECT_EQ(background(d.GB_HideShowLines), 0xFFFFFFu);
    EXPECT_EQ(background(d.pTEEnabled), 0xF1CBA7u);
    EXPECT_EQ(d.pulseTarget, 3);
    // Without a pulse the timer ends at its next tick.
    d.SelectPage(0, 0);
    EXPECT_EQ(background(d.pTEEnabled), 0xFFFFFFu);
    d.timColorTimer();
    EXPECT_FALSE(d.timColor->isActive());
}

// Every key of these pages, set off its default in a settings file, shows
// in its control by the control's conversion.
TEST_F(SettingsDialogTest, OpeningShowsEveryKeyOfASettingsFileInItsControl) {
    config::TAppSettings defaults;
    defaults.SetDefaults(config::PrgDir().GetWritableRoot());
    QString main = QStringLiteral("[Tandex]\n");
    QString printer = QStringLiteral("[Printer]\n");
    // Check boxes: the opposite of the default.
    for (const settings::TKeyDescriptor& k : settings::SettingsKeys())
        if (k.kind == settings::kkCheck && !(k.followUp & settings::fuAtOnce))
            main += QLatin1String(k.key) + (settings::KeyInt(k, defaults) ? "=0\n" : "=1\n");
    const QString httpPw = config::ScrambleText(QStringLiteral("http secret"));
    const QString ftpPw = config::ScrambleText(QStringLiteral("ftp secret"));
    const QString zipPw = config::ScrambleText(QStringLiteral("zip secret"));
    main += QStringLiteral(
                "SUAutoLoad=2\nSUAutoUpdate=4\nGSTNBarWidth=30\nGSTempPath=/t/tmp\nGSGUIStyle=5\nGSLineSelect=1\n"
                "GSBinaryUnits=0\nGSDateTimeFmt=3\nBKUseSequence=0\nBKFolder=/t/bk\nBKUseArcFolder=1\n"
                "BKArcFolder=/t/arc\nBKUseFTPFolder=1\nBKFTPFolder=/t/ftp\nBKUseDBOFolder=1\nBKDBOFolder=/t/dbo\n"
                "TEModCol=65280\nTETabSize=8\nTEMaxColumns=2048\nTEExtEditor=/usr/bin/ed\nTEExtEditor2=/usr/bin/vi\n"
                "TEHideLines=0\nTEHideTxStart=#\nTEHideTxWith=TODO\nTEHideTxEnd=;\nTEAndOr1=0\nTEAndOr2=0\n"
                "TENotStart=1\nTENotWith=1\nTENotEnd=1\nFFTIndex[0]=2\nFFTFiles[0]=*.log\nFFTIndex[1]=8\n"
                "FFTFiles[1]=*.dat\nFFTIndex[2]=1\nFFTFiles[2]=*.a\nFFTIndex[3]=5\nFFTFiles[3]=*.b\n"
                "FCIgnTimeDif=60\nFCIgnDST=2\nTCDiffDetect=0\nTCIgnLnStart=3\nTCIgnLnEnd=4\nTCIgnColumns=2;5-9\n"
                "TCIgnLnComPat=# REM\nTCFPTime=9\nTCSimilarity=70\nBCHEXBytes=32\nBCOffsetAddr=0\nICDoScale=0\n"
                "ICEqCol=1\nICTolCol=2\nICDifCol=3\nICBgCol=4\nCSNumDatBuf=300\nProxyHttpServer=proxy.example\n"
                "ProxyHttpPort=3128\nProxyHttpUser=hu\nProxyHttpPW=%1\nProxyFtpServer=ftp.example\n"
                "ProxyFtpPort=2121\nProxyFtpUser=fu\nProxyFtpPW=%2\nProxyFtpType=7\nZIPCompress=2\n"
                "ArchiveExt=*.abc;\nArchivePW=%3\nESMaxPings=5\nESPingTimeOut=3000\nESMaxRetry=3\n"
                "ESMinRDelay=200\nESMaxRDelay=2000\n")
                .arg(httpPw, ftpPw, zipPw);
    printer += QStringLiteral("PRLandscape=0\nPRLeft=7\nPRTop=13\nPRRight=8\nPRBottom=9\n");
    QFile ini(config::PrgDir().GetIniPath());
    QDir().mkpath(QFileInfo(ini).path());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write((main + printer).toUtf8().replace("\n", "\r\n"));
    ini.close();
    tandex::access::TIniFileAdapter files;
    config::SetIniFileAccess(&files);
    config::LoadSettings();
    config::LoadFindReplaceSettings();
    config::SetIniFileAccess(nullptr);
    ASSERT_TRUE(config::AppSettings().ProxyEnable);  // the file was read

    TF_SettingsNew& d = dialog();
    for (const settings::TKeyDescriptor& k : settings::SettingsKeys()) {
        if (k.kind != settings::kkCheck || (k.followUp & settings::fuAtOnce)) continue;
        auto* box = find<QCheckBox>(d, k.control);
        if (box) {
            EXPECT_EQ(box->isChecked(), (settings::KeyInt(k, defaults) == 0) != k.inverted) << k.control;
        }
    }
    // The inverted boxes, by hand: shown is the opposite of "no".
    EXPECT_FALSE(config::AppSettings().BCShowNoCtrl);
    EXPECT_TRUE(find<QCheckBox>(d, "CB_BCShowCtrl")->isChecked());
    EXPECT_TRUE(find<QCheckBox>(d, "CB_BCShowExt")->isChecked());

    for (const char* checked :
         {"RB_AutoLoadFolders", "RB_GSGUIStylePlain", "RB_GSLineSelect", "RB_MetricUnits", "RB_DTF3", "RB_BKUseBAK",
          "RB_BKArcFolder", "RB_BKFTPFolder", "RB_BKDBOFolder", "RB_Portrait", "rbTEShowLines", "RB_TCLinesOnly",
          "RB_BCLineNum", "RB_Scale100", "RB_ZIPMaximal"})
        EXPECT_TRUE(find<QRadioButton>(d, checked)->isChecked()) << checked;
    EXPECT_EQ(d.dateFormatIdx, 3);

    const std::pair<const char*, int> indexes[] = {{"CB_SUAutoUpdate", 4}, {"CB_FTFileType1", 2},
                                                   {"CB_FTFileType2", 8},  {"CB_FTFileType3", 1},
                                                   {"CB_FTFileType4", 5},  {"CB_ProxyFtpType", 7}};
    for (const auto& [name, index] : indexes) EXPECT_EQ(find<QComboBox>(d, name)->currentIndex(), index) << name;
    EXPECT_EQ(find<QComboBox>(d, "CB_FTFileType2")->currentText(), QStringLiteral("BINARY file"));
    EXPECT_EQ(find<QComboBox>(d, "CB_ProxyFtpType")->currentText(), QStringLiteral("FtpThroughHttpProxy"));

    const std::pair<const char*, const char*> texts[] = {
        {"E_GSTNBarWidth", "30"},    {"E_GSTempPath", "/t/tmp"},        {"E_BKFolder", "/t/bk"},
        {"E_BKArcFolder", "/t/arc"}, {"E_BKFTPFolder", "/t/ftp"},       {"E_BKDBOFolder", "/t/dbo"},
        {"E_Left", "7"},             {"E_Top", "13"},                   {"E_Right", "8"},
        {"E_Bottom", "9"},           {"E_TETabSize", "8"},              {"E_TEMaxColumns", "2048"},
        {"E_TEExtEditor1", "/usr/bin/ed"}, {"E_TEExtEditor2", "/usr/bin/vi"}, {"E_TEHideTxStart", "#"},
        {"E_TEHideTxWith", "TODO"},  {"E_TEHideTxEnd", ";"},            {"E_FTFiles1", "*.log"},
        {"E_FTFiles2", "*.dat"},     {"E_FTFiles3", "*.a"},             {"E_FTFiles4", "*.b"},
        {"E_TimeDif", "60"},         {"E_FCIgnDST", "2"},               {"E_TCIgnLnStart", "3"},
        {"E_TCIgnLnEnd", "4"},       {"E_TCIgnColumns", "2;5-9"},       {"E_TCIgnLnComPat", "# REM"},
        {"eTCFPTime", "9"},          {"eTCSimilarity", "70"},           {"E_HEX", "32"},
        {"E_NumOfDB", "300"},        {"E_ProxyHttpServer", "proxy.example"}, {"E_ProxyHttpPort", "3128"},
        {"E_ProxyHttpUser", "hu"},   {"E_ProxyHttpPW", "http secret"},  {"E_ProxyFtpServer", "ftp.example"},
        {"E_ProxyFtpPort", "2121"},  {"E_ProxyFtpUser", "fu"},          {"E_ProxyFtpPW", "ftp secret"},
        {"E_ArchiveExt", "*.abc;"},  {"E_ZIPPassWord", "zip secret"},   {"E_ESMaxPingRetry", "5"},
        {"E_PingTimeOut", "3000"},   {"E_MaxRetry", "3"},               {"E_MinRDelay", "200"},
        {"E_MaxRDelay", "2000"},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(find<QLineEdit>(d, name)->text(), QLatin1String(text)) << name;

    const std::pair<const char*, quint32> colors[] = {
        {"pTEModCol", 65280}, {"pICEqCol", 1}, {"pICTolCol", 2}, {"pICDifCol", 3}, {"pICBgCol", 4}};
    for (const auto& [name, color] : colors) EXPECT_EQ(background(find<QWidget>(d, name)), color) << name;

    // The line filter's labels, from their keys.
    EXPECT_EQ(d.lTEAndOr1->text(), QStringLiteral("AND..."));
    EXPECT_EQ(d.lTEAndOr2->text(), QStringLiteral("AND..."));
    EXPECT_EQ(d.lTEHideLnStart->text(), QStringLiteral("...NOT begin with:"));
    EXPECT_EQ(d.lTEHideLnWith->text(), QStringLiteral("...NOT contain:"));
    EXPECT_EQ(d.lTEHideLnEnd->text(), QStringLiteral("...NOT end with:"));
    EXPECT_EQ(d.lTEHideLnEnd->palette().color(QPalette::WindowText), QColor(Qt::red));
    // All three conditions are on: both joins are live and explain themselves.
    EXPECT_TRUE(d.lTEAndOr1->isEnabled());
    EXPECT_EQ(d.lTEAndOr2->toolTip(), QStringLiteral(" Right-click to toggle between AND and OR logic "));

    // Dependent controls follow the opened values.
    EXPECT_FALSE(find<QCheckBox>(d, "CB_MetricPrefixAlways")->isEnabled());
    EXPECT_EQ(d.RB_BinaryUnits->text(),
              QStringLiteral("Use binary representation and metric units (1 kB = 1024 Byte; Units: KB, MB, GB, TB, PB)"));
    for (QLineEdit* masks : d.E_FTFiles) EXPECT_TRUE(masks->isEnabled()) << masks->objectName().toStdString();
    // Proxy on with an own FTP proxy: everything open, the HTTP group named so.
    EXPECT_TRUE(d.GB_ProxyFtp->isEnabled());
    EXPECT_TRUE(d.E_ProxyFtpServer->isEnabled());
    EXPECT_TRUE(d.CB_ProxyFtpType->isEnabled());
    EXPECT_EQ(d.GB_ProxyHttp->title(), QStringLiteral(" HTTP proxy server: "));
    // The proxy passwords open hidden, the archive's as its key says.
    EXPECT_TRUE(d.CB_HideProxyHttpPW->isChecked());
    EXPECT_EQ(d.E_ProxyHttpPW->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.E_ZIPPassWord->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(d.E_ZIPPassWord->isEnabled());
}

TEST_F(SettingsDialogTest, OpeningFillsTheFrameAndTheTweaksPage) {
    startedWith({QStringLiteral("tweak")});
    auto& s = config::AppSettings();
    s.GSGUIStyle = 0;
    s.TEMaxColumns = 8192;
    settings::UseHelpFile() = 1;
    TF_SettingsNew& d = dialog();
    EXPECT_TRUE(find<QRadioButton>(d, "RB_GSGUIStyleClassic")->isChecked());
    EXPECT_EQ(d.L_Version->text(), QStringLiteral("Version ") + config::CurrentVersion());
    EXPECT_EQ(d.lTEMaxColumns->text(), QStringLiteral("Max columns per line (Range: 64 .. 8192):"));
    EXPECT_EQ(d.rangeTextOf(*std::find_if(settings::SettingsKeys().begin(), settings::SettingsKeys().end(),
                                          [](const auto& k) { return QLatin1String(k.key) == "TETabSize"; })),
              QStringLiteral("Tab size:(Range: 2 .. 16)"));
    EXPECT_EQ(d.L_W7->text(), QStringLiteral("7"));
    EXPECT_TRUE(d.lFuzzy->text().startsWith(QStringLiteral("Fuzzy matches:\t\t")));
    EXPECT_EQ(d.lFuzzy->text().count(QLatin1Char('\n')), 4);
    EXPECT_EQ(d.ftpTestState, 1);
    // The help-file box starts unchecked whatever the byte says.
    EXPECT_FALSE(d.CB_UseHelpFile->isChecked());
    EXPECT_EQ(d.cbUseSSE42->isChecked(), config::UseSSE42() != 0);
    settings::UseHelpFile() = 0;
}

TEST_F(SettingsDialogTest, ChecksEnableTheirDependentControls) {
    TF_SettingsNew& d = dialog();
    struct Case {
        int page;
        const char* box;
        QWidget* dependent;
        bool enabledWhenChecked;
    };
    const Case cases[] = {
        {1, "CB_DetailsPanel", d.CB_GSShowDPRuler, true},
        {1, "cbGSShowHints", d.cbGSShowHintDB, true},
        {1, "CB_GSShowDiffBar", d.E_GSTNBarWidth, true},
        {1, "CB_GSShowDiffBar", d.L_TNBarWidthTxt, true},
        {6, "cbTEEnabled", d.CB_TETrimWSEOL, true},
        {6, "CB_TEEnableLinks", d.CB_TELinkDblClk, true},
        {6, "cbTEHideLnWith", d.E_TEHideTxWith, true},
        {8, "CB_FCAutoExpAll", d.CB_FCAutoExpand, false},
        {9, "CB_IgnAllBl", d.CB_IgnLeadBl, false},
        {9, "CB_IgnAllBl", d.CB_IgnTrailBl, false},
        {11, "CB_ShowICO", d.CB_ICLastFrame, true},
        {17, "CB_ZIPEncryption", d.E_ZIPPassWord, true},
        {17, "CB_ZIPEncryption", d.CB_ZIPHidePW, true},
    };
    for (const Case& c : cases) {
        d.SelectPage(c.page, 0);
        auto* box = find<QCheckBox>(d, c.box);
        for (int n = 0; n < 2; ++n) {
            click(box);
            EXPECT_EQ(c.dependent->isEnabled(), box->isChecked() == c.enabledWhenChecked)
                << c.box << " " << c.dependent->objectName().toStdString();
        }
    }
    // "Mark modified" runs the links' handler too.
    d.SelectPage(6, 0);
    d.CB_TELinkDblClk->setEnabled(!d.CB_TEEnableLinks->isChecked());
    click(d.cbTEMarkMod);
    EXPECT_EQ(d.CB_TELinkDblClk->isEnabled(), d.CB_TEEnableLinks->isChecked());
}

TEST_F(SettingsDialogTest, LineFilterLabelsToggleOnRightClicksAndTheirBoxOnLeftClicks) {
    auto& s = config::AppSettings();
    s.TEHideLnStart = s.TEHideLnWith = s.TEHideLnEnd = false;
    s.TEAndOr1 = false;
    s.TENotStart = false;
    TF_SettingsNew& d = dialog();
    d.SelectPage(6, 0);
    EXPECT_FALSE(d.lTEAndOr1->isEnabled());
    EXPECT_TRUE(d.lTEAndOr1->toolTip().isEmpty());
    EXPECT_FALSE(d.E_TEHideTxStart->isEnabled());

    // A left click on a condition ticks its box.
    click(d.lTEHideLnStart);
    EXPECT_TRUE(d.cbTEHideLnStart->isChecked());
    EXPECT_TRUE(d.E_TEHideTxStart->isEnabled());
    EXPECT_FALSE(d.lTEAndOr1->isEnabled());
    click(d.lTEHideLnWith);
    EXPECT_TRUE(d.lTEAndOr1->isEnabled());
    EXPECT_FALSE(d.lTEAndOr2->isEnabled());
    click(d.cbTEHideLnEnd);
    EXPECT_TRUE(d.lTEAndOr2->isEnabled());
    click(d.lTEHideLnStart);
    EXPECT_FALSE(d.lTEAndOr1->isEnabled());
    EXPECT_TRUE(d.lTEAndOr2->isEnabled());  // with and end still joined
    click(d.lTEHideLnStart);

    for (const char* caption : {"OR...", "AND...", "OR..."}) {
        click(d.lTEAndOr1, Qt::RightButton);
        EXPECT_EQ(d.lTEAndOr1->text(), QLatin1String(caption));
    }
    EXPECT_EQ(d.lTEAndOr1->property("Tag").toInt(), 1);

    const struct {
        const char* caption;
        QColor color;
    } steps[] = {{"...NOT begin with:", Qt::red}, {"...begin with:", Qt::black}, {"...NOT begin with:", Qt::red}};
    for (const auto& step : steps) {
        click(d.lTEHideLnStart, Qt::RightButton);
        EXPECT_EQ(d.lTEHideLnStart->text(), QLatin1String(step.caption));
        EXPECT_EQ(d.lTEHideLnStart->palette().color(QPalette::WindowText), step.color);
    }
    // Right clicks leave the box alone, and nothing reaches the settings.
    EXPECT_TRUE(d.cbTEHideLnStart->isChecked());
    EXPECT_FALSE(s.TEAndOr1);
    EXPECT_FALSE(s.TENotStart);
}

TEST_F(SettingsDialogTest, SizeUnitsFixedFileTypesAndProxyFollowTheirControls) {
    auto& s = config::AppSettings();
    s.GSBinaryUnits = true;
    s.GSForceMUnits = false;
    s.ProxyEnable = true;
    s.ProxyIsSame = true;
    TF_SettingsNew& d = dialog();
    d.SelectPage(1, 0);
    const QString iec =
        QStringLiteral("Use binary representation and units (1 KiB = 1024 Byte; Units: KiB, MiB, GiB, TiB, PiB)");
    EXPECT_EQ(d.RB_BinaryUnits->text(), iec);
    click(d.CB_MetricPrefixAlways);
    EXPECT_TRUE(d.RB_BinaryUnits->text().startsWith(QStringLiteral("Use binary representation and metric units")));
    click(d.CB_MetricPrefixAlways);
    EXPECT_EQ(d.RB_BinaryUnits->text(), iec);
    click(d.RB_MetricUnits);
    EXPECT_FALSE(d.CB_MetricPrefixAlways->isEnabled());
    click(d.RB_BinaryUnits);
    EXPECT_TRUE(d.CB_MetricPrefixAlways->isEnabled());

    // A fixed-type row without a type keeps its masks disabled.
    d.SelectPage(7, 0);
    EXPECT_FALSE(d.E_FTFiles[2]->isEnabled());
    d.CB_FTFileType[2]->setCurrentIndex(3);
    EXPECT_TRUE(d.E_FTFiles[2]->isEnabled());
    EXPECT_FALSE(d.E_FTFiles[1]->isEnabled());
    d.CB_FTFileType[2]->setCurrentIndex(0);
    EXPECT_FALSE(d.E_FTFiles[2]->isEnabled());
    EXPECT_EQ(d.CB_FTFileType[0]->count(), 9);
    EXPECT_EQ(d.CB_FTFileType[0]->maxVisibleItems(), 9);
    EXPECT_EQ(d.CB_FTFileType[0]->itemText(3), QStringLiteral("UTF-8 with BOM"));

    // One proxy for all protocols: the FTP fields rest, the type stays.
    d.SelectPage(16, 0);
    EXPECT_FALSE(d.E_ProxyFtpServer->isEnabled());
    EXPECT_TRUE(d.CB_ProxyFtpType->isEnabled());
    EXPECT_EQ(d.GB_ProxyHttp->title(), QStringLiteral(" Proxy server for all protocols: "));
    click(d.CB_ProxyIsSame);
    EXPECT_TRUE(d.E_ProxyFtpPW->isEnabled());
    EXPECT_EQ(d.GB_ProxyHttp->title(), QStringLiteral(" HTTP proxy server: "));
    click(d.CB_ProxyEnable);
    EXPECT_FALSE(d.GB_ProxyHttp->isEnabled());
    EXPECT_FALSE(d.CB_ProxyIsSame->isEnabled());
    EXPECT_FALSE(d.CB_ProxyFtpType->isEnabled());
    EXPECT_EQ(d.L_ProxyFtpType->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(d.GB_ProxyHttp->title(), QStringLiteral(" Proxy server for all protocols: "));
    click(d.CB_HideProxyHttpPW);  // disabled: nothing changes
    EXPECT_EQ(d.E_ProxyHttpPW->echoMode(), QLineEdit::Password);
    click(d.CB_ProxyEnable);
    click(d.CB_HideProxyHttpPW);
    EXPECT_EQ(d.E_ProxyHttpPW->echoMode(), QLineEdit::Normal);
    EXPECT_FALSE(s.ProxyIsSame == false);  // the settings wait for the apply
}

TEST_F(SettingsDialogTest, TimeExamplesChangeOnlyOnTheGeneralPage) {
    TF_SettingsNew& d = dialog();
    EXPECT_TRUE(d.timDateTime->isActive());
    EXPECT_EQ(d.timDateTime->interval(), 1000);
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_TRUE(d.RB_DTF[2]->text().startsWith(QStringLiteral(" ") + year + QLatin1Char('-')));
    EXPECT_TRUE(d.RB_DTF[3]->text().contains(QLatin1Char('/')));
    d.SelectPage(0, 0);
    d.RB_DTF[0]->setText(QStringLiteral("x"));
    d.timDateTimeTimer();
    EXPECT_EQ(d.RB_DTF[0]->text(), QStringLiteral("x"));
    d.SelectPage(1, 0);
    d.timDateTimeTimer();
    EXPECT_TRUE(d.RB_DTF[0]->text().startsWith(QStringLiteral(" ")));
    EXPECT_TRUE(d.RB_DTF[0]->text().contains(QLatin1Char('.') + year + QLatin1Char(' ')));
    click(d.RB_DTF[1]);
    EXPECT_EQ(d.dateFormatIdx, 1);
    EXPECT_EQ(config::AppSettings().GSDateTimeFmt, 0);
}

TEST_F(SettingsDialogTest, TheTweaksBoxesWriteAtOnceOnlyWhenClicked) {
    startedWith({QStringLiteral("tweak")});
    const quint8 sse = config::UseSSE42();
    TF_SettingsNew& d = dialog();
    d.SelectPage(21, 0);
    d.CB_UseHelpFile->setChecked(true);  // code: no write
    EXPECT_EQ(settings::UseHelpFile(), 0);
    d.CB_UseHelpFile->setChecked(false);
    click(d.CB_UseHelpFile);
    EXPECT_EQ(settings::UseHelpFile(), 1);
    click(d.CB_UseHelpFile);
    EXPECT_EQ(settings::UseHelpFile(), 0);
    const bool cpuHasIt = (config::Helpers().CpuIdLeaf1[1] >> 20) & 1;
    EXPECT_EQ(d.cbUseSSE42->isEnabled(), cpuHasIt);
    if (cpuHasIt) {
        click(d.cbUseSSE42);
        EXPECT_EQ(config::UseSSE42(), d.cbUseSSE42->isChecked() ? 1 : 0);
        EXPECT_NE(config::UseSSE42(), sse);
    }
    // "Cancel" keeps what they wrote.
    d.fbCancelClick();
    EXPECT_EQ(config::UseSSE42(), cpuHasIt ? quint8(!sse) : sse);
    config::UseSSE42() = sse;
}

TEST_F(SettingsDialogTest, HelpOpensThePagesTopics) {
    TF_SettingsNew& d = dialog();
    d.SelectPage(3, 0);
    QTest::mouseClick(d.fbHelp, Qt::LeftButton, {}, QPoint(5, 5));
    d.SelectPage(9, 0);
    click(d.lTCFPTime);
    d.L_SSLDLLsNotFoundClick();
    EXPECT_EQ(help_.topics, (QStringList{QStringLiteral("Settings: General -> Backups -> Advanced"),
                                         QStringLiteral("Settings: Text Compare => \u2022 Max. FP time:"),
                                         QStringLiteral("OpenSSL libraries not found!")}));
}

TEST_F(SettingsDialogTest, ThemeFollowsTheLookAndTheColourSet) {
    auto& s = config::AppSettings();
    config::FlatLook() = 1;
    s.COSetIdx = 10;
    TF_SettingsNew& d = dialog();
    const quint32 titleColor = s.ColorSets[10][config::TBEndCol];
    EXPECT_EQ(background(d.P_Title), titleColor);
    EXPECT_EQ(d.P_Title->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_EQ(background(d.P_Control), 0xF0F0F0u);
    EXPECT_EQ(d.fbHelp->BgColorFlat(), titleColor);
    for (ui::TFlatButton2* b : d.findChildren<ui::TFlatButton2*>()) EXPECT_TRUE(b->Flat()) << b->objectName().toStdString();
    EXPECT_EQ(d.P_Title->font().pixelSize(), 17);
    EXPECT_TRUE(d.P_Title->font().bold());

    config::FlatLook() = 0;
    d.ApplyTheme();
    EXPECT_EQ(background(d.P_Title), 0xE0E0E0u);
    EXPECT_EQ(background(d.P_Control), 0xE0E0E0u);
    EXPECT_EQ(d.P_Title->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_FALSE(d.fbOk->Flat());
}

// Every key of the Parts' pages has its control, and every control is
// there under its name.
TEST_F(SettingsDialogTest, TheKeyTableCoversEveryKeyOfThePagesOnce) {
    const QStringList pageKeys = QStringLiteral(
        "SUAutoLoad SUAutoUpdate SUBetaVers GSStaDisp GSLineNr GSDetailPanel GSShowDPRuler GSShowHints GSShowHintDB "
        "GSShowDiffBar GSTNBarWidth GSTempPath GSClrTmpFld GSAdaptivHT GSGUIStyle GSLineSelect GSBinaryUnits "
        "GSForceMUnits GSDateTimeFmt BKBeforeSave BKBeforeCopy BKUseSequence BKUseFolder BKFolder BKArcEnable "
        "BKUseArcFolder BKArcFolder BKFTPEnable BKUseFTPFolder BKFTPFolder BKDBOEnable BKUseDBOFolder BKDBOFolder "
        "CFNestedArc CFCopyLines CFOverwrite CFDelConfig CFCMConflict PRLandscape PRLeft PRTop PRRight PRBottom "
        "TEEnabled TECurBEOL TETrimWSEOL TEUndoPastSav TEAutoIndent TEAutoHomeKey TEEnableLinks TELinkDblClk "
        "TEFindCurWord TEHLCurLine TEMarkMod TEModCol TETabSize TEMaxColumns TEExtEditor TEExtEditor2 TEFilterEna "
        "TEHideLines TEMatchLFCase TEHideLnStart TEHideTxStart TEHideLnWith TEHideTxWith TEHideLnEnd TEHideTxEnd "
        "TEAndOr1 TEAndOr2 TENotStart TENotWith TENotEnd FFTIndex[0] FFTFiles[0] FFTIndex[1] FFTFiles[1] "
        "FFTIndex[2] FFTFiles[2] FFTIndex[3] FFTFiles[3] FCDifOnly FCGraph FCAutoExpAll FCAutoExpand FCHLFldDif "
        "FCFldFirst FCHScroll FCSelFirstDif FCHoverText FCShowSize FCShowDT FCShowAttr FCIgnTimeDif FCIgnDST "
        "FCAutoClose FCGenLog FCBGFlash FCShowSession TCDifOnly TCSelFirstDif TCHoverText TCDiffDetect TCShowRuler "
        "TCIgnAllBl TCIgnLeadBl TCIgnTrailBl TCIgnCase TCIgnEmptyLn TCIgnLnStart TCIgnLnEnd TCIgnColRange "
        "TCIgnColumns TCIgnLineCom TCIgnLnComPat TCFPEnabled TCFPTime TCSimilarity TCFPIgnCase TCFPEnhance "
        "BCDetailed BCSelFirstDif BCHoverText BCHEXBytes BCOffsetAddr BCShowNoCtrl BCShowNoExt BCShowRuler BCDifOnly "
        "ICDoScale ICDownScale ICShowJPG ICShowTIF ICShowGIF ICShowBMP ICShowICO ICShowWMF ICShowPNG ICLastFrame "
        "ICEqCol ICTolCol ICDifCol ICBgCol ICSyncMove CSAutoClose CSNumDatBuf CSGenLog CSGraph ProxyEnable "
        "ProxyIsSame ProxyHttpServer ProxyHttpPort ProxyHttpUser ProxyHttpPW ProxyFtpServer ProxyFtpPort "
        "ProxyFtpUser ProxyFtpPW ProxyFtpType ZIPCompress ArchiveExt ZIPEncrypt ArchivePW ZIPHidePW ZIPIgnFNCase "
        "ESUsePing ESMaxPings ESPingTimeOut ESMaxRetry ESMinRDelay ESMaxRDelay ESErrorBox ESWarnBox TSLargeFetch "
        "TSShowTimes BCDynBufSize UseSSE42 UseHelpFile")
                                   .split(QLatin1Char(' '));
    startedWith({QStringLiteral("tweak")});
    TF_SettingsNew& d = dialog();
    QStringList tableKeys;
    for (const settings::TKeyDescriptor& k : settings::SettingsKeys()) {
        tableKeys << QLatin1String(k.key);
        for (const QString& name : QLatin1String(k.control).toString().split(QLatin1Char(';')))
            EXPECT_TRUE(d.pagePanels[size_t(k.page)]->findChild<QWidget*>(name)) << k.key << " " << name.toStdString();
        if (k.kind == settings::kkNumber) {
            EXPECT_TRUE(d.rangeTextOf(k).contains(QStringLiteral("(Range: "))) << k.key;
        }
    }
    EXPECT_EQ(tableKeys.size(), QSet<QString>(tableKeys.begin(), tableKeys.end()).size());
    QStringList missing, extra;
    for (const QString& key : pageKeys)
        if (!tableKeys.contains(key)) missing << key;
    for (const QString& key : tableKeys)
        if (!pageKeys.contains(key)) extra << key;
    EXPECT_TRUE(missing.isEmpty()) << missing.join(' ').toStdString();
    EXPECT_TRUE(extra.isEmpty()) << extra.join(' ').toStdString();
}

// A picture of every page in the flat and the classic look, opened from
// the main window as the user does; the grabs are for looking at.
TEST_F(SettingsDialogTest, EveryPageInBothLooksIsGrabbed) {
    withPictures();
    startedWith({QStringLiteral("tweak")});
    ui::TF_Main& w = makeWindow();
    for (const int style : {1, 0}) {
        config::AppSettings().GSGUIStyle = style;
        config::AppSettings().COSetIdx = style ? 10 : 2;
        w.loadIconSets();
        w.applyColorScheme();
        w.BB_SETINGSClick(nullptr);
        TF_SettingsNew* d = settings::F_SettingsNew();
        ASSERT_NE(d, nullptr);
        Watch(d);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(d));
        for (int page = 0; page < settings::kSettingsPages; ++page) {
            d->SelectPage(page, 0);
            const QString name = QStringLiteral("Settings.%1.Page%2")
                                     .arg(style ? QStringLiteral("Flat") : QStringLiteral("Classic"))
                                     .arg(page, 2, 10, QLatin1Char('0'));
            EXPECT_FALSE(tandex::testing::GrabToPng(d, name).isEmpty()) << page;
        }
        d->fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}  // namespace
