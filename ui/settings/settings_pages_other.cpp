// Pages 13 to 21: the empty panels that the FTP, cloud and plug-in parts
// of the dialog fill, proxy, archives, error handling and the Tweaks page;
// and their handlers.

#include <QGridLayout>
#include <QPushButton>

#include "access/access_slots.h"
#include "config/sys_helpers.h"
#include "settings_dialog.h"
#include "settings_page_kit.h"
#include "ui/main/form_layout.h"

namespace tandex::settings {

using namespace kit;

namespace {

const QString kBuiltInArchives = QStringLiteral("*.zip;*.zipx;*.tar;*.gz;*.tgz;*.jar;*.obr;*.docx;*.xlsx;*.pptx;");

// A group's colour: the dialog's own, or the grey of an unused group.
void setGroupGrey(QWidget* group, bool grey) {
    QPalette p = group->palette();
    p.setColor(QPalette::WindowText,
               grey ? ui::ToQColor(0x808080) : group->parentWidget()->palette().color(QPalette::WindowText));
    group->setPalette(p);
}

void setPasswordHidden(QLineEdit* field, bool hidden) {
    field->setEchoMode(hidden ? QLineEdit::Password : QLineEdit::Normal);
}

// The four fields of a proxy server in a grid.
void proxyFields(QGroupBox* group, const char* server, const char* port, const char* user, const char* password,
                 const char* hide, const char* labelPrefix) {
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(config::ScaleDpi(8), config::ScaleDpi(4), config::ScaleDpi(8), config::ScaleDpi(6));
    grid->setHorizontalSpacing(config::ScaleDpi(6));
    grid->setVerticalSpacing(config::ScaleDpi(3));
    const QString prefix = QLatin1String(labelPrefix);
    auto label = [&](const char* tail, const char* caption, int row, int column) {
        auto* l = named(new QLabel(QLatin1String(caption)), (prefix + QLatin1String(tail)).toLatin1().constData());
        grid->addWidget(l, row, column);
    };
    auto edit = [&](const char* name, int row, int column, int width) {
        auto* e = named(new QLineEdit, name);
        if (width > 0) e->setFixedWidth(config::ScaleDpi(width));
        grid->addWidget(e, row, column);
        return e;
    };
    label("Server", "Proxyname/addr:", 0, 0);
    edit(server, 0, 1, 0);
    label("Port", "Portnumber:", 0, 2);
    edit(port, 0, 3, 56)->setMaxLength(5);
    label("User", "Username:", 1, 0);
    edit(user, 1, 1, 0);
    label("PW", "Password:", 2, 0);
    edit(password, 2, 1, 0)->setEchoMode(QLineEdit::Password);
    auto* box = named(new QCheckBox(QStringLiteral(" Hide Password")), hide);
    grid->addWidget(box, 2, 2, 1, 2);
    grid->setColumnStretch(1, 1);
}

}  // namespace

void TF_SettingsNew::createPagesOther() {
    emptyPage(13, "P_FTP");
    emptyPage(14, "P_FTPProtOptions");
    emptyPage(15, "P_FTPGeneral");

    // ---- 16 Proxy -------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(16, "P_Proxy"));
        CB_ProxyEnable = Check(page, "CB_ProxyEnable", QStringLiteral("Use a proxy server for Internet connections"));
        CB_ProxyIsSame = Check(Row(page, 18), "CB_ProxyIsSame", QStringLiteral("Use the same proxy for all protocols"));
        GB_ProxyHttp = Group(page, "GB_ProxyHttp", QStringLiteral(" HTTP proxy server: "));
        proxyFields(GB_ProxyHttp, "E_ProxyHttpServer", "E_ProxyHttpPort", "E_ProxyHttpUser", "E_ProxyHttpPW",
                    "CB_HideProxyHttpPW", "L_ProxyHttp");
        GB_ProxyFtp = Group(page, "GB_ProxyFtp", QStringLiteral(" FTP proxy server: "));
        proxyFields(GB_ProxyFtp, "E_ProxyFtpServer", "E_ProxyFtpPort", "E_ProxyFtpUser", "E_ProxyFtpPW",
                    "CB_HideProxyFtpPW", "L_ProxyFtp");
        QHBoxLayout* type = Row(page);
        L_ProxyFtpType = Label(type, "L_ProxyFtpType", QStringLiteral("ProxyType:"));
        CB_ProxyFtpType = Combo(type, "CB_ProxyFtpType",
                                {QStringLiteral("UserSite"), QStringLiteral("Site"), QStringLiteral("Open"),
                                 QStringLiteral("UserPass"), QStringLiteral("Transparent"),
                                 QStringLiteral("UserHostProxyID"), QStringLiteral("NovellBorder"),
                                 QStringLiteral("FtpThroughHttpProxy")},
                                180);
        type->addStretch();
        page->addStretch();

        CB_HideProxyHttpPW = control<QCheckBox>("CB_HideProxyHttpPW");
        CB_HideProxyFtpPW = control<QCheckBox>("CB_HideProxyFtpPW");
        E_ProxyHttpPW = control<QLineEdit>("E_ProxyHttpPW");
        E_ProxyFtpServer = control<QLineEdit>("E_ProxyFtpServer");
        E_ProxyFtpPort = control<QLineEdit>("E_ProxyFtpPort");
        E_ProxyFtpUser = control<QLineEdit>("E_ProxyFtpUser");
        E_ProxyFtpPW = control<QLineEdit>("E_ProxyFtpPW");
        // The passwords are hidden whenever the dialog opens.
        CB_HideProxyHttpPW->setChecked(true);
        CB_HideProxyFtpPW->setChecked(true);
        connect(CB_ProxyEnable, &QCheckBox::toggled, this, [this] { CB_ProxyEnableClick(); });
        connect(CB_ProxyIsSame, &QCheckBox::toggled, this, [this] { CB_ProxyIsSameClick(); });
        connect(CB_HideProxyHttpPW, &QCheckBox::toggled, this, [this] { CB_HideProxyHttpPWClick(); });
        connect(CB_HideProxyFtpPW, &QCheckBox::toggled, this, [this] { CB_HideProxyFtpPWClick(); });
    }

    // ---- 17 Archives -------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(17, "P_ArchiveOptions"));
        QVBoxLayout* compress = GroupColumn(Group(page, "GB_ZIPCompress", QStringLiteral(" Compression: ")));
        Radio(compress, "RB_ZIPFast", QStringLiteral("Fast        (less compression but high speed)"));
        Radio(compress, "RB_ZIPNormal", QStringLiteral("Normal    (good compression and speed)"));
        Radio(compress, "RB_ZIPMaximal", QStringLiteral("Maximal  (best compression but lower speed)"));

        QVBoxLayout* ext = GroupColumn(Group(page, "GB_ArchiveExt", QStringLiteral(" Archive file extensions: ")));
        QHBoxLayout* standard = Row(ext);
        Label(standard, "L_ArchiveExtStd", QStringLiteral("Default:"))->setFixedWidth(config::ScaleDpi(80));
        QLineEdit* builtIn = Edit(standard, "E_ArchiveExtStd");
        builtIn->setReadOnly(true);
        builtIn->setText(kBuiltInArchives);
        builtIn->setCursorPosition(0);
        QHBoxLayout* own = Row(ext);
        Label(own, "L_ArchiveExt", QStringLiteral("User specific:"))->setFixedWidth(config::ScaleDpi(80));
        Edit(own, "E_ArchiveExt");

        QVBoxLayout* crypt = GroupColumn(Group(page, "GB_ZIPEncryption", QStringLiteral(" Encryption: ")));
        CB_ZIPEncryption = Check(crypt, "CB_ZIPEncryption", QStringLiteral("Encrypt files when writing to archives"),
                                 QStringLiteral(" You must enable this option if you want to encrypt your files, \r "
                                                "otherwise, no encryption is performed, not even then, if the\r files "
                                                "were originally encrypted "));
        QHBoxLayout* pw = Row(crypt, 18);
        Label(pw, "L_ZIPPassWord", QStringLiteral("Password:"));
        E_ZIPPassWord = Edit(pw, "E_ZIPPassWord", 200);
        E_ZIPPassWord->setMaxLength(150);
        E_ZIPPassWord->setEchoMode(QLineEdit::Password);
        CB_ZIPHidePW = Check(pw, "CB_ZIPHidePW", QStringLiteral("Hide Password"));
        pw->addStretch();
        QVBoxLayout* names = GroupColumn(Group(page, "GB_ZIPNames", QStringLiteral(" File names: ")));
        Check(names, "CB_ZIPIgnFNCase", QStringLiteral("Ignore the case of filenames"));
        page->addStretch();
        connect(CB_ZIPEncryption, &QCheckBox::toggled, this, [this] { CB_ZIPEncryptionClick(); });
        connect(CB_ZIPHidePW, &QCheckBox::toggled, this, [this] { CB_ZIPHidePWClick(); });
    }

    emptyPage(18, "P_Dropbox");
    emptyPage(19, "P_Plugins");

    // ---- 20 Error Handling ----------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(20, "P_ErrorHandling"));
        QVBoxLayout* ping = GroupColumn(Group(page, "GB_Ping", QStringLiteral(" Network shares: ")));
        Check(ping, "CB_ESUsePing",
              QStringLiteral("Use of ICMP echo requests (ping) to test the reachability of network shares"),
              QStringLiteral(" If this option is enabled, the availability of a remote host can be detected very "
                             "quickly. \r\r But it can happen that not all network elements support this feature!\r "
                             "So, if you get a message that a \"Network path is not reachable\", even though you \r "
                             "know well that the remote host is online, then you may disable this option!"));
        QVBoxLayout* retries = GroupColumn(Group(page, "GB_Retries", QStringLiteral(" Retries: ")));
        const struct {
            QVBoxLayout* into;
            const char *label, *caption, *field, *unit;
            int width, length;
        } numbers[] = {
            {ping, "L_ESMaxPingRetry", "Maximum number of retry attempts on failed echo requests  (Range: 0 .. 20):",
             "E_ESMaxPingRetry", nullptr, 40, 2},
            {ping, "L_PingTimeOutTxt", "TimeOut value for the echo reply  (Range: 500 .. 10000):", "E_PingTimeOut",
             "ms", 56, 5},
            {retries, "L_MaxRetryTxt", "Maximum number of retry attempts on failed file operations  (Range: 0 .. 20):",
             "E_MaxRetry", nullptr, 40, 2},
            {retries, "L_MinRDelayTxt", "Minimal random delay for automatic retries  (Range: 0 .. 10000):",
             "E_MinRDelay", "ms", 56, 5},
            {retries, "L_MaxRDelayTxt", "Maximal random delay for automatic retries  (Range: 10 .. 10000):",
             "E_MaxRDelay", "ms", 56, 5},
        };
        for (const auto& n : numbers) {
            QHBoxLayout* row = Row(n.into, 18);
            QLabel* label = Label(row, n.label, QLatin1String(n.caption));
            label->setWordWrap(true);
            label->setFixedWidth(config::ScaleDpi(330));
            Edit(row, n.field, n.width)->setMaxLength(n.length);
            QLabel* unit = Label(row, "", n.unit ? QLatin1String(n.unit) : QString());
            unit->setFixedWidth(config::ScaleDpi(20));
            row->addStretch();
        }
        QVBoxLayout* messages = GroupColumn(Group(page, "GB_Messages", QStringLiteral(" Messages: ")));
        Check(messages, "CB_ShowErrBox", QStringLiteral("Show error messages"));
        Check(messages, "CB_ShowWarnBox", QStringLiteral("Show warnings"));
        page->addStretch();
    }

    // ---- 21 Tweaks -----------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(21, "P_Tweaks"));
        QVBoxLayout* tweaks = GroupColumn(Group(page, "GB_Tweaks", QStringLiteral(" Tweaks: ")));
        QHBoxLayout* fetch = Row(tweaks);
        Check(fetch, "CB_TS_FIND_FIRST_EX_LARGE_FETCH", QStringLiteral("Set FIND_FIRST_EX_LARGE_FETCH"));
        Label(fetch, "L_W7Txt", QStringLiteral("OS version:"));
        L_W7 = Label(fetch, "L_W7", QStringLiteral("<7"));
        fetch->addStretch();
        Check(tweaks, "CB_TSShowTimes", QStringLiteral("Show Load/Compare and PreScan times"));
        Check(tweaks, "CB_BCDynBufSize", QStringLiteral("Dynamic binary compare buffer size"));
        cbUseSSE42 = Check(tweaks, "cbUseSSE42", QStringLiteral("Use SSE4.2"));
        CB_UseHelpFile = Check(tweaks, "CB_UseHelpFile", QStringLiteral("Use help file"));
        // Written at once by the user's click, never by code setting the box.
        connect(cbUseSSE42, &QCheckBox::clicked, this, [this] { cbUseSSE42Click(); });
        connect(CB_UseHelpFile, &QCheckBox::clicked, this, [this] { CB_UseHelpFileClick(); });
        QHBoxLayout* handles = Row(tweaks);
        auto* show = named(new QPushButton(QStringLiteral("Show twHandles")), "B_ShowHandles");
        handles->addWidget(show);
        handles->addStretch();
        connect(show, &QPushButton::clicked, this, [this] { fbShowHandlesClick(); });
        QVBoxLayout* stats = GroupColumn(Group(page, "GB_Fuzzy", QStringLiteral(" Fuzzy statistics: ")));
        lFuzzy = Label(stats, "lFuzzy", QString());
        page->addStretch();
    }
}

// ---- page 16 -------------------------------------------------------------------------

void TF_SettingsNew::CB_ProxyEnableClick() {
    const bool e = CB_ProxyEnable->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{CB_ProxyIsSame, CB_HideProxyHttpPW, CB_HideProxyFtpPW,
                                                      GB_ProxyHttp, GB_ProxyFtp})
        w->setEnabled(e);
    setGroupGrey(GB_ProxyHttp, !e);
    CB_ProxyIsSameClick();
}

void TF_SettingsNew::CB_ProxyIsSameClick() {
    const bool e = CB_ProxyEnable->isChecked();
    const bool own = !CB_ProxyIsSame->isChecked() && e;
    setGroupGrey(GB_ProxyFtp, !own);
    for (QWidget* w : std::initializer_list<QWidget*>{E_ProxyFtpServer, E_ProxyFtpPort, E_ProxyFtpUser, E_ProxyFtpPW,
                                                      CB_HideProxyFtpPW})
        w->setEnabled(own);
    CB_ProxyFtpType->setEnabled(e);
    ui::SetLabelColor(L_ProxyFtpType, e ? 0x000000 : 0x808080);
    GB_ProxyHttp->setTitle(own ? QStringLiteral(" HTTP proxy server: ") : QStringLiteral(" Proxy server for all protocols: "));
}

void TF_SettingsNew::CB_HideProxyHttpPWClick() {
    setPasswordHidden(E_ProxyHttpPW, CB_HideProxyHttpPW->isChecked());
}

void TF_SettingsNew::CB_HideProxyFtpPWClick() {
    setPasswordHidden(E_ProxyFtpPW, CB_HideProxyFtpPW->isChecked());
}

// ---- page 17 -------------------------------------------------------------------------

void TF_SettingsNew::CB_ZIPEncryptionClick() {
    const bool on = CB_ZIPEncryption->isChecked();
    E_ZIPPassWord->setEnabled(on);
    CB_ZIPHidePW->setEnabled(on);
}

void TF_SettingsNew::CB_ZIPHidePWClick() {
    setPasswordHidden(E_ZIPPassWord, CB_ZIPHidePW->isChecked());
}

// ---- page 21 -------------------------------------------------------------------------

void TF_SettingsNew::cbUseSSE42Click() {
    config::UseSSE42() = cbUseSSE42->isChecked() ? 1 : 0;
}

void TF_SettingsNew::CB_UseHelpFileClick() {
    UseHelpFile() = CB_UseHelpFile->isChecked() ? 1 : 0;
}

void TF_SettingsNew::fbShowHandlesClick() {
    QString text;
    access::FZOpenSlotsText(true, text);
}

}  // namespace tandex::settings
