// Pages 13 to 15: the FTP site profiles. The list and the profile data on
// page 13, the options of the shown profile on page 14, the address for
// anonymous logins on page 15; saving and deleting write the profiles at
// once, the connection test and the capability view go to the server of
// the saved profile.
//
// The handlers are wired to the user's own edits (textEdited, clicked,
// and index changes that code makes under a signal blocker), so loading a
// profile never counts as editing it and never runs the encryption
// handler's port rule over the loaded port.

#include <QApplication>
#include <QGridLayout>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextEdit>

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/ftp_access.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/resource_archive.h"
#include "config/scrambler.h"
#include "config/services.h"
#include "ftp_profile_texts.h"
#include "settings_dialog.h"
#include "settings_page_kit.h"
#include "settings_range.h"
#include "ui/main/form_layout.h"

namespace tandex::settings {

using namespace kit;

namespace {

const QString kTestCaption = QStringLiteral("Test connection");
const QString kTestHint = QStringLiteral(" Test the connection with the saved profile ");
const QString kDataEncryptionHint =
    QStringLiteral(" Mark this option for encrypted data transfers, or \r unmark it for unencrypted clear data "
                   "transfers. \r\r Hint:\r Regardless of the selected encryption method, \r the control channel "
                   "(e.g. password exchange) \r is encrypted always!");
const QString kSslMissing = QStringLiteral(" OpenSSL libraries not found! ");
const QString kSaveCaption = QStringLiteral(" Save FTP Profile ");
constexpr int kImplicitTls = 1;
constexpr int kListWidth = 466;

// Labels break their lines at "\n" only.
QString labelText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QLabel* warningLabel(QBoxLayout* into, const char* name, const QString& caption) {
    QLabel* label = Label(into, name, caption);
    ui::SetLabelColor(label, 0x0000FF);
    label->hide();
    return label;
}

// The " OpenSSL libraries not found! " labels open their help topic.
QLabel* sslLabel(QBoxLayout* into, const char* name, QObject* filter) {
    QLabel* label = warningLabel(into, name, kSslMissing);
    label->setCursor(Qt::PointingHandCursor);
    label->setProperty("OpenSslHelp", true);
    label->installEventFilter(filter);
    return label;
}

QLabel* gridLabel(QGridLayout* grid, const char* name, const QString& caption, int row, int column) {
    auto* label = named(new QLabel(caption), name);
    label->setTextFormat(Qt::PlainText);
    grid->addWidget(label, row, column);
    return label;
}

QLineEdit* gridEdit(QGridLayout* grid, const char* name, int row, int column, int width = 0) {
    auto* edit = named(new QLineEdit, name);
    if (width > 0) edit->setFixedWidth(config::ScaleDpi(width));
    grid->addWidget(edit, row, column);
    return edit;
}

void showRangeRefusal(const TRangeCheck& check) {
    config::showMessage(check.caption, check.message, config::MsgKind::Warning, config::mbOK, config::mrOk);
}

}  // namespace

void TF_SettingsNew::createPagesFtp() {
    // ---- 13 FTP Profiles ------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(13, "P_FTP"));
        QHBoxLayout* head = Row(page);
        Label(head, "L_FTPProfiles", QStringLiteral("Stored FTP Profiles:"));
        head->addStretch();
        L_MaxReached = warningLabel(head, "L_MaxReached", QStringLiteral("No further profile possible!"));

        LB_FTPProfiles = named(new QListWidget, "LB_FTPProfiles");
        // Ten rows a column; the eleventh profile opens the second column.
        LB_FTPProfiles->setFlow(QListView::TopToBottom);
        LB_FTPProfiles->setWrapping(true);
        LB_FTPProfiles->setResizeMode(QListView::Adjust);
        LB_FTPProfiles->setUniformItemSizes(true);
        LB_FTPProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
        LB_FTPProfiles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        LB_FTPProfiles->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // As wide as the page inside its margins, so the columns can be
        // sized before the page was ever shown.
        LB_FTPProfiles->setFixedWidth(config::ScaleDpi(kListWidth));
        page->addWidget(LB_FTPProfiles);

        GB_FTPProfileData = Group(page, "GB_FTPProfileData", QStringLiteral(" Profile data: "));
        auto* grid = new QGridLayout(GB_FTPProfileData);
        grid->setContentsMargins(config::ScaleDpi(8), config::ScaleDpi(4), config::ScaleDpi(8), config::ScaleDpi(6));
        grid->setHorizontalSpacing(config::ScaleDpi(6));
        grid->setVerticalSpacing(config::ScaleDpi(3));
        gridLabel(grid, "L_FTPProfileName", QStringLiteral("Profilename:"), 0, 0);
        E_FTPProfileName = gridEdit(grid, "E_FTPProfileName", 0, 1);
        E_FTPProfileName->setMaxLength(50);
        gridLabel(grid, "L_FTPServerName", QStringLiteral("Hostname:"), 1, 0);
        E_FTPServerName = gridEdit(grid, "E_FTPServerName", 1, 1);
        gridLabel(grid, "L_FTPPortNumber", QStringLiteral("Portnumber:"), 1, 2);
        E_FTPPortNumber = gridEdit(grid, "E_FTPPortNumber", 1, 3, 56);
        E_FTPPortNumber->setMaxLength(5);
        E_FTPPortNumber->setToolTip(QStringLiteral(" FTP Port number (Range: 1 .. 65535) "));
        L_FTPUserName = gridLabel(grid, "L_FTPUserName", QStringLiteral("Username:"), 2, 0);
        E_FTPUserName = gridEdit(grid, "E_FTPUserName", 2, 1);
        CB_FTPAnonymous = named(new QCheckBox(labelText(QStringLiteral(" Anonymous\r login"))), "CB_FTPAnonymous");
        grid->addWidget(CB_FTPAnonymous, 2, 2, 1, 2);
        L_FTPPassWord = gridLabel(grid, "L_FTPPassWord", QStringLiteral("Password:"), 3, 0);
        E_FTPPassWord = gridEdit(grid, "E_FTPPassWord", 3, 1);
        E_FTPPassWord->setMaxLength(150);
        CB_FTPHidePW = named(new QCheckBox(QStringLiteral(" Hide Password")), "CB_FTPHidePW");
        grid->addWidget(CB_FTPHidePW, 3, 2, 1, 2);

        gridLabel(grid, "L_FTPProtocol", QStringLiteral("Protocol:"), 4, 0);
        auto* protocolRow = new QHBoxLayout;
        protocolRow->setSpacing(config::ScaleDpi(6));
        grid->addLayout(protocolRow, 4, 1, 1, 3);
        CB_FTPProtocol = Combo(protocolRow, "CB_FTPProtocol",
                               {QStringLiteral("FTP"), QStringLiteral("SFTP"), QStringLiteral("SCP")}, 64);
        L_EncryptionTit = Label(protocolRow, "L_EncryptionTit", QStringLiteral("Encryption:"));
        CB_FTPEncryption = Combo(protocolRow, "CB_FTPEncryption",
                                 {QStringLiteral("No encryption"), QStringLiteral("Implicit SSL/TLS"),
                                  QStringLiteral("Explicite SSL/TLS (if server supports it)"),
                                  QStringLiteral("Explicite SSL/TLS (required)")});
        CB_FTPEncryption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

        auto* optionRow = new QHBoxLayout;
        optionRow->setSpacing(config::ScaleDpi(6));
        grid->addLayout(optionRow, 5, 1, 1, 3);
        CB_DataEncryption = Check(optionRow, "CB_DataEncryption", QStringLiteral("Data channel encryption"));
        L_ProtocoolNotAvailable =
            warningLabel(optionRow, "L_ProtocoolNotAvailable",
                         QStringLiteral("This protocol is not yet supported, but it is planned for next releases!"));
        L_ProtocoolNotAvailable->setWordWrap(true);
        optionRow->addStretch();
        L_SSHDLLsNotFound1 = sslLabel(optionRow, "L_SSHDLLsNotFound1", this);

        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(config::ScaleDpi(8));
        grid->addLayout(buttons, 6, 0, 1, 4);
        buttons->addStretch();
        fbNewProfile = Button(buttons, "fbNewProfile", QStringLiteral("New"), 72);
        B_SaveProfile = Button(buttons, "B_SaveProfile", QStringLiteral("Save"), 72);
        fbFTPDelProfile = Button(buttons, "fbFTPDelProfile", QStringLiteral("Delete"), 72);
        grid->setColumnStretch(1, 1);

        QHBoxLayout* test = Row(page);
        fbFTPTest = Button(test, "fbFTPTest", kTestCaption, 120, kTestHint);
        fbFTPTest->SetHeight(26);
        L_FTPTestResult = Label(test, "L_FTPTestResult", QString());
        L_FTPTestResult->setMinimumHeight(config::ScaleDpi(26));
        // The three-line results grow the row; the button keeps its height.
        test->setAlignment(fbFTPTest, Qt::AlignTop);
        test->addStretch();
        page->addStretch();

        connect(LB_FTPProfiles, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row >= 0) LB_FTPProfilesClick(LB_FTPProfiles);
        });
        connect(E_FTPProfileName, &QLineEdit::textEdited, this, [this] { E_FTPProfileNameChange(); });
        for (QLineEdit* e : {E_FTPServerName, E_FTPPortNumber, E_FTPUserName, E_FTPPassWord})
            connect(e, &QLineEdit::textEdited, this, [this, e] { FTPProfileDataChange(e); });
        connect(CB_FTPProtocol, &QComboBox::currentIndexChanged, this, [this] { FTPProfileDataChange(CB_FTPProtocol); });
        connect(CB_FTPEncryption, &QComboBox::currentIndexChanged, this, [this] { FTPProfileDataChangeEncryption(); });
        connect(CB_DataEncryption, &QCheckBox::clicked, this, [this] { FTPProfileDataChange(CB_DataEncryption); });
        connect(CB_FTPAnonymous, &QCheckBox::clicked, this, [this] { CB_FTPAnonymousClick(); });
        connect(CB_FTPHidePW, &QCheckBox::toggled, this, [this] { CB_FTPHidePWClick(); });
        fbNewProfile->OnClick = [this](QObject*) { fbNewProfileClick(); };
        B_SaveProfile->OnClick = [this](QObject* sender) { B_SaveProfileClick(sender); };
        fbFTPDelProfile->OnClick = [this](QObject*) { fbFTPDelProfileClick(); };
        fbFTPTest->OnClick = [this](QObject*) { fbFTPTestClick(); };
    }

    // ---- 14 Protocol --------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(14, "P_FTPProtOptions"));
        CB_FTPPassive = Check(page, "CB_FTPPassive", QStringLiteral("Passive mode"));
        QHBoxLayout* versions = Row(page);
        QHBoxLayout* ip = Row(GroupColumn(Group(versions, "GB_IPVersion", QStringLiteral(" IP Version: "))));
        RB_IPV4 = Radio(ip, "RB_IPV4", QStringLiteral("IP v4"));
        RB_IPV6 = Radio(ip, "RB_IPV6", QStringLiteral("IP v6"));
        ip->addStretch();
        QVBoxLayout* ssl = GroupColumn(Group(versions, "GB_SSLVersion", QStringLiteral(" SSH Version: ")));
        QHBoxLayout* sslRow = Row(ssl);
        RB_SSLV1 = Radio(sslRow, "RB_SSLV1", QStringLiteral("v1"), 1);
        RB_SSLV2 = Radio(sslRow, "RB_SSLV2", QStringLiteral("v2"), 2);
        RB_SSLV3 = Radio(sslRow, "RB_SSLV3", QStringLiteral("v3"), 3);
        RB_SSLVAuto = Radio(sslRow, "RB_SSLVAuto", QStringLiteral("Auto"), 0);
        sslRow->addStretch();
        L_SSLDLLsNotFound2 = sslLabel(ssl, "L_SSLDLLsNotFound2", this);
        versions->setStretch(0, 2);
        versions->setStretch(1, 3);

        QVBoxLayout* times = GroupColumn(Group(page, "GB_FTPTimeouts", QStringLiteral(" Timeouts: ")));
        const struct {
            const char *label, *caption, *field;
            QLabel** labelOut;
            QLineEdit** fieldOut;
        } timeouts[] = {
            {"L_FTPConnTimeout", "Server connect timeout (Range: 1 .. 120):", "E_FTPConnTimeout", &L_FTPConnTimeout,
             &E_FTPConnTimeout},
            {"L_FTPReadTimeout", "Server transfer timeout (Range: 1 .. 120):", "E_FTPReadTimeout", &L_FTPReadTimeout,
             &E_FTPReadTimeout},
        };
        for (const auto& t : timeouts) {
            QHBoxLayout* row = Row(times);
            *t.labelOut = Label(row, t.label, QLatin1String(t.caption));
            (*t.labelOut)->setFixedWidth(config::ScaleDpi(250));
            *t.fieldOut = Edit(row, t.field, 40);
            (*t.fieldOut)->setMaxLength(3);
            Label(row, "", QStringLiteral("s"));
            row->addStretch();
        }
        QVBoxLayout* stamps =
            GroupColumn(Group(page, "GB_FTPTimestamps", QStringLiteral(" Update of remote file timestamps: ")));
        cbFTPSetRTS = Check(stamps, "cbFTPSetRTS", QStringLiteral("Server supports timestamp updates"));
        cbFTPUTIME3 = Check(stamps, "cbFTPUTIME3", QStringLiteral("UTIME requires 3 timestamp parameters"));

        QHBoxLayout* viewer = Row(page);
        auto* viewerButtons = new QVBoxLayout;
        viewerButtons->setSpacing(config::ScaleDpi(8));
        viewer->addLayout(viewerButtons);
        fbFTPCapabilities = Button(viewerButtons, "fbFTPCapabilities", QStringLiteral("    Server\rCapabilities"), 96);
        fbFTPHelp = Button(viewerButtons, "fbFTPHelp", QStringLiteral("   Server\rCommands "), 96);
        for (ui::TFlatButton2* b : {fbFTPCapabilities, fbFTPHelp}) {
            b->SetHeight(40);
            b->OnClick = [this, b](QObject*) { fbFTPCapabilitiesClick(b); };
        }
        viewerButtons->addStretch();
        reFTPCapabilities = named(new QTextEdit, "reFTPCapabilities");
        reFTPCapabilities->setReadOnly(true);
        reFTPCapabilities->setAcceptRichText(false);
        reFTPCapabilities->setLineWrapMode(QTextEdit::NoWrap);
        reFTPCapabilities->setTabStopDistance(config::ScaleDpi(48));
        viewer->addWidget(reFTPCapabilities, 1);
        page->setStretch(page->indexOf(viewer), 1);

        connect(CB_FTPPassive, &QCheckBox::clicked, this, [this] { FTPProfileDataChange(CB_FTPPassive); });
        for (QLineEdit* e : {E_FTPConnTimeout, E_FTPReadTimeout})
            connect(e, &QLineEdit::textEdited, this, [this, e] { FTPProfileDataChange(e); });
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{cbFTPSetRTS, cbFTPUTIME3, RB_IPV4, RB_IPV6,
                                                                           RB_SSLV1, RB_SSLV2, RB_SSLV3, RB_SSLVAuto})
            connect(b, &QAbstractButton::clicked, this, [this, b] { FTPProfileDataChange(b); });
    }

    // ---- 15 General ---------------------------------------------------------------------
    {
        QVBoxLayout* page = PageColumn(newPage(15, "P_FTPGeneral"));
        Label(page, "L_FTPGeneralInfo", QStringLiteral("The settings of this page are used for all FTP Profiles!"));
        QHBoxLayout* mail = Row(GroupColumn(Group(page, "GB_FTPAnonymous", QStringLiteral(" Anonymous login: "))));
        Label(mail, "L_FTPAnonymousEmail", QStringLiteral("Email address:"));
        E_FTPAnonymousEmail = Edit(mail, "E_FTPAnonymousEmail");
        page->addStretch();
    }
}

// ---- opening --------------------------------------------------------------------------

void TF_SettingsNew::openFtpPages() {
    const auto& s = config::AppSettings();
    CB_FTPHidePW->setChecked(s.FTPHidePW);
    CB_FTPHidePWClick();
    E_FTPAnonymousEmail->setText(s.FTPAnoEmail);
    fillProfileList();
    LB_FTPProfilesClick(nullptr);
    fbFTPDelProfile->SetEnabled(LB_FTPProfiles->count() > 0);
    B_SaveProfile->SetEnabled(false);
    setProfileModified(false);
}

// ---- the list -------------------------------------------------------------------------

void TF_SettingsNew::fillProfileList() {
    auto& s = config::AppSettings();
    const QSignalBlocker block(LB_FTPProfiles);
    const int selected = LB_FTPProfiles->currentRow();
    LB_FTPProfiles->clear();
    for (int i = 0; i < config::FtpProfileCount && !s.FTPProfile[size_t(i)].isEmpty(); ++i)
        LB_FTPProfiles->addItem(FtpProfileListItem(i));
    const int count = LB_FTPProfiles->count();
    if (s.FTPProfIdx >= count) s.FTPProfIdx = qMax(count - 1, 0);

    // One column of ten rows, or two columns side by side.
    const int frame = LB_FTPProfiles->frameWidth();
    const int rowHeight = LB_FTPProfiles->fontMetrics().height() + config::ScaleDpi(1);
    LB_FTPProfiles->setFixedHeight(rowHeight * kFtpListColumnRows + 2 * frame + 1);
    const int width = config::ScaleDpi(kListWidth) - 2 * frame;
    LB_FTPProfiles->setGridSize(QSize(count > kFtpListColumnRows ? width / 2 : width, rowHeight));

    const int row = selected >= 0 && selected < count ? selected : s.FTPProfIdx;
    if (row < count) LB_FTPProfiles->setCurrentRow(row);
}

void TF_SettingsNew::LB_FTPProfilesClick(QObject* sender) {
    auto& s = config::AppSettings();
    if (sender) {
        // The question's Save must write the edits into the profile they
        // were made on, not into the one just clicked.
        const int clicked = LB_FTPProfiles->currentRow();
        if (profileModified()) {
            {
                const QSignalBlocker block(LB_FTPProfiles);
                LB_FTPProfiles->setCurrentRow(ftpShownProfile_);
                if (ftpShownProfile_ < 0) LB_FTPProfiles->clearSelection();
            }
            if (!confirmProfileSaved()) return;
            const QSignalBlocker block(LB_FTPProfiles);
            LB_FTPProfiles->setCurrentRow(clicked);
        }
    }
    reFTPCapabilities->clear();
    s.FTPProfIdx = qMax(LB_FTPProfiles->currentRow(), 0);
    const int count = LB_FTPProfiles->count();
    ftpShownProfile_ = count > 0 ? s.FTPProfIdx : -1;
    const int p = s.FTPProfIdx;
    const auto field = [p](int n) { return config::FtpProfileField(p, n); };
    const auto flag = [&](int n) { return field(n) == QLatin1String("1"); };

    E_FTPProfileName->setText(field(0));
    E_FTPServerName->setText(field(1));
    E_FTPPortNumber->setText(field(3));
    E_FTPUserName->setText(field(17));
    E_FTPPassWord->setText(config::UnscrambleText(field(4)));
    {
        const QSignalBlocker protocol(CB_FTPProtocol);
        const QSignalBlocker encryption(CB_FTPEncryption);
        CB_FTPProtocol->setCurrentIndex(qBound(0, field(5).toInt(), 2));
        CB_FTPEncryption->setCurrentIndex(qBound(0, field(6).toInt(), 3));
    }
    CB_DataEncryption->setChecked(flag(9));
    CB_FTPAnonymous->setChecked(flag(10));
    E_FTPConnTimeout->setText(field(11));
    E_FTPReadTimeout->setText(field(12));
    CB_FTPPassive->setChecked(flag(13));
    cbFTPSetRTS->setChecked(flag(14));
    cbFTPUTIME3->setChecked(flag(15));
    (field(7) == QLatin1String("0") ? RB_IPV4 : RB_IPV6)->setChecked(true);
    const QString method = field(8);
    for (QRadioButton* b : {RB_SSLVAuto, RB_SSLV1, RB_SSLV2, RB_SSLV3})
        if (method == QString::number(b->property("Tag").toInt())) b->setChecked(true);

    const bool ssl = access::FZSslAvailable();
    CB_FTPEncryption->setEnabled(ssl);
    if (!ssl) {
        for (QLabel* l : {L_SSHDLLsNotFound1, L_SSLDLLsNotFound2, control<QLabel>("L_SSLDLLsNotFound3")})
            if (l) l->show();
        for (QRadioButton* b : {RB_SSLV1, RB_SSLV2, RB_SSLV3, RB_SSLVAuto}) b->setEnabled(false);
        if (auto* grant = control<ui::TFlatButton2>("fbDBLogin")) grant->SetEnabled(false);
    }
    showProfileControls();

    B_SaveProfile->SetEnabled(false);
    setProfileModified(false);
    L_MaxReached->hide();
    if (count == 0) {
        showFTPTestState(0);
    } else {
        const QSignalBlocker block(LB_FTPProfiles);
        LB_FTPProfiles->setCurrentRow(s.FTPProfIdx);
        showFTPTestState(1);
    }
    fbNewProfile->SetEnabled(count < config::FtpProfileCount);
    fbFTPDelProfile->SetEnabled(count > 0);
}

// ---- editing --------------------------------------------------------------------------

bool TF_SettingsNew::profileModified() const {
    return B_SaveProfile->property("Tag").toInt() == 1;
}

void TF_SettingsNew::setProfileModified(bool modified) {
    B_SaveProfile->setProperty("Tag", modified ? 1 : 0);
}

void TF_SettingsNew::showProfileControls() {
    const bool ftp = CB_FTPProtocol->currentIndex() == 0;
    CB_FTPEncryption->setVisible(ftp);
    L_EncryptionTit->setVisible(ftp);
    CB_DataEncryption->setVisible(ftp);
    L_ProtocoolNotAvailable->setVisible(!ftp);
    const bool encrypted = CB_FTPEncryption->currentIndex() > 0;
    CB_DataEncryption->setEnabled(encrypted);
    CB_DataEncryption->setToolTip(ftp && CB_FTPEncryption->isEnabled() && encrypted ? kDataEncryptionHint
                                                                                    : QString());
    const bool withUser = !CB_FTPAnonymous->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{E_FTPUserName, E_FTPPassWord, L_FTPUserName, L_FTPPassWord})
        w->setEnabled(withUser);
}

void TF_SettingsNew::updateProfileSave() {
    const auto filled = [](const QLineEdit* e) { return !e->text().isEmpty(); };
    B_SaveProfile->SetEnabled(filled(E_FTPProfileName) && filled(E_FTPServerName) && filled(E_FTPPortNumber) &&
                              (filled(E_FTPUserName) || CB_FTPAnonymous->isChecked()) && L_MaxReached->isHidden());
}

void TF_SettingsNew::FTPProfileDataChange(QObject* sender) {
    setProfileModified(true);
    if (sender == CB_FTPProtocol && CB_FTPProtocol->currentIndex() == 0) {
        const QSignalBlocker block(CB_FTPEncryption);
        CB_FTPEncryption->setCurrentIndex(0);
        CB_DataEncryption->setChecked(false);
    }
    showProfileControls();
    updateProfileSave();
    showFTPTestState(0);
}

void TF_SettingsNew::FTPProfileDataChangeEncryption() {
    const int choice = CB_FTPEncryption->currentIndex();
    E_FTPPortNumber->setText(choice == kImplicitTls ? QStringLiteral("990") : QStringLiteral("21"));
    CB_DataEncryption->setChecked(choice > 0);
    FTPProfileDataChange(CB_FTPEncryption);
}

void TF_SettingsNew::CB_FTPAnonymousClick() {
    FTPProfileDataChange(CB_FTPAnonymous);
}

// A full list leaves no slot for a new profile; renaming the one shown
// stays possible.
void TF_SettingsNew::E_FTPProfileNameChange() {
    L_MaxReached->setVisible(LB_FTPProfiles->count() >= config::FtpProfileCount && LB_FTPProfiles->currentRow() < 0);
    FTPProfileDataChange(E_FTPProfileName);
}

void TF_SettingsNew::CB_FTPHidePWClick() {
    E_FTPPassWord->setEchoMode(CB_FTPHidePW->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

// ---- new, save, delete ------------------------------------------------------------------

void TF_SettingsNew::fbNewProfileClick() {
    if (!confirmProfileSaved()) return;
    {
        const QSignalBlocker block(LB_FTPProfiles);
        LB_FTPProfiles->setCurrentRow(-1);
        LB_FTPProfiles->clearSelection();
    }
    ftpShownProfile_ = -1;
    for (QLineEdit* e : {E_FTPProfileName, E_FTPServerName, E_FTPUserName, E_FTPPassWord}) e->clear();
    E_FTPPortNumber->setText(QStringLiteral("21"));
    {
        const QSignalBlocker protocol(CB_FTPProtocol);
        const QSignalBlocker encryption(CB_FTPEncryption);
        CB_FTPProtocol->setCurrentIndex(0);
        CB_FTPEncryption->setCurrentIndex(0);
    }
    CB_FTPAnonymous->setChecked(false);
    L_MaxReached->hide();
    showProfileControls();
    B_SaveProfile->SetEnabled(false);
    setProfileModified(false);
    showFTPTestState(0);
    fbFTPDelProfile->SetEnabled(false);
    E_FTPProfileName->setFocus(Qt::OtherFocusReason);
}

void TF_SettingsNew::B_SaveProfileClick(QObject* sender) {
    Q_UNUSED(sender)
    auto& s = config::AppSettings();
    s.FTPAnoEmail = E_FTPAnonymousEmail->text();

    const TRangeCheck port = getValue(E_FTPPortNumber->text(), QStringLiteral("FTP Profiles"),
                                      QStringLiteral("FTP Port number (Range: 1 .. 65535)"));
    if (port.value < 0) return showRangeRefusal(port);
    const QString protocolTab = QStringLiteral("FTP Profiles -> Protocol");
    const TRangeCheck connectTimeout = getValue(E_FTPConnTimeout->text(), protocolTab, L_FTPConnTimeout->text());
    if (connectTimeout.value < 0) return showRangeRefusal(connectTimeout);
    const TRangeCheck readTimeout = getValue(E_FTPReadTimeout->text(), protocolTab, L_FTPReadTimeout->text());
    if (readTimeout.value < 0) return showRangeRefusal(readTimeout);

    const QString name = E_FTPProfileName->text();
    if (!FtpRecordTextsSeparable(name, E_FTPServerName->text(), E_FTPUserName->text())) {
        config::showMessage(kSaveCaption,
                            QStringLiteral("The character \";\" is not allowed in the profile name, host name or "
                                           "user name!"),
                            config::MsgKind::Warning, config::mbOK, config::mrOk);
        return;
    }

    int target = LB_FTPProfiles->currentRow();
    for (int i = 0; i < config::FtpProfileCount; ++i) {
        if (i == target || s.FTPProfile[size_t(i)].isEmpty() || config::FtpProfileField(i, 0) != name) continue;
        if (config::showMessage(kSaveCaption,
                                QStringLiteral("A FTP Profile with the same Profilename already exist!\r\rOverwrite "
                                               "this existing profile?"),
                                config::MsgKind::Warning, config::mbYes | config::mbNo, config::mrNo) != config::mrYes)
            return;
        target = i;
        break;
    }
    if (target < 0) target = LB_FTPProfiles->count();
    if (target >= config::FtpProfileCount) target = s.FTPProfIdx;

    QString method = QStringLiteral("0");
    for (QRadioButton* b : {RB_SSLV1, RB_SSLV2, RB_SSLV3})
        if (b->isChecked()) method = QString::number(b->property("Tag").toInt());
    const auto bit = [](const QAbstractButton* b) { return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); };
    const QStringList fields{
        name,
        E_FTPServerName->text(),
        E_FTPUserName->text(),
        QString::number(port.value),
        config::ScrambleText(E_FTPPassWord->text()),
        QString::number(CB_FTPProtocol->currentIndex()),
        QString::number(CB_FTPEncryption->currentIndex()),
        RB_IPV4->isChecked() ? QStringLiteral("0") : QStringLiteral("1"),
        method,
        bit(CB_DataEncryption),
        bit(CB_FTPAnonymous),
        QString::number(connectTimeout.value),
        QString::number(readTimeout.value),
        bit(CB_FTPPassive),
        bit(cbFTPSetRTS),
        bit(cbFTPUTIME3),
    };
    s.FTPProfile[size_t(target)] = JoinFtpProfileRecord(fields);

    fillProfileList();
    s.FTPProfIdx = target;
    ftpShownProfile_ = target;
    // The saved profile is the one shown and selected from now on, whoever
    // asked for the save: a later Save must not land on another slot.
    {
        const QSignalBlocker block(LB_FTPProfiles);
        LB_FTPProfiles->setCurrentRow(target);
    }
    L_MaxReached->hide();
    B_SaveProfile->SetEnabled(false);
    setProfileModified(false);
    showFTPTestState(1);
    const int count = LB_FTPProfiles->count();
    fbFTPDelProfile->SetEnabled(count > 0);
    fbNewProfile->SetEnabled(count < config::FtpProfileCount);
}

bool TF_SettingsNew::confirmDelete(const QString& what) {
    if (!config::AppSettings().CFDelConfig) return true;
    return config::showMessage(QStringLiteral(" Delete ") + what + QStringLiteral(" "),
                               QStringLiteral("Delete this ") + what + QStringLiteral("?"),
                               config::MsgKind::Question, config::mbYes | config::mbNo,
                               config::mrYes) == config::mrYes;
}

void TF_SettingsNew::fbFTPDelProfileClick() {
    if (!confirmDelete(QStringLiteral("FTP Profile"))) return;
    auto& s = config::AppSettings();
    const int from = qBound(0, s.FTPProfIdx, config::FtpProfileCount - 1);
    for (int i = from; i < config::FtpProfileCount - 1; ++i) s.FTPProfile[size_t(i)] = s.FTPProfile[size_t(i) + 1];
    s.FTPProfile[size_t(config::FtpProfileCount - 1)].clear();
    fillProfileList();
    const int count = LB_FTPProfiles->count();
    {
        const QSignalBlocker block(LB_FTPProfiles);
        LB_FTPProfiles->setCurrentRow(from < count ? from : count - 1);
    }
    LB_FTPProfilesClick(nullptr);
    fbFTPDelProfile->SetEnabled(count > 0);
}

bool TF_SettingsNew::confirmProfileSaved() {
    if (!profileModified()) return true;
    const QString caption = QStringLiteral("FTP Profile not saved!");
    if (B_SaveProfile->Enabled()) {
        const int answer =
            config::showMessage(caption, QStringLiteral("Save the profile now?"), config::MsgKind::Question,
                                config::mbYes | config::mbNo | config::mbCancel, config::mrYes);
        if (answer == config::mrCancel) return false;
        if (answer == config::mrYes) {
            B_SaveProfileClick(nullptr);
            return !profileModified();
        }
        return true;
    }
    return config::showMessage(caption, QStringLiteral("The Profile is incomplete!\rDiscard all changes?"),
                               config::MsgKind::Warning, config::mbOK | config::mbCancel,
                               config::mrOk) != config::mrCancel;
}

// ---- connection test and server capabilities -------------------------------------------

void TF_SettingsNew::setFtpBusy(bool busy) {
    ftpBusy_ = busy;
    ui::TFlatButton2* frame[] = {fbOk, fbApply, fbCancel};
    for (size_t i = 0; i < 3; ++i) {
        if (busy) {
            ftpFrameEnabled_[i] = frame[i]->Enabled();
            frame[i]->SetEnabled(false);
        } else {
            frame[i]->SetEnabled(ftpFrameEnabled_[i]);
        }
    }
    // The list, the options and the viewer buttons would change the
    // profile under the running test.
    for (QWidget* w : std::initializer_list<QWidget*>{GB_FTPProfileData, LB_FTPProfiles, CB_FTPPassive,
                                                      control<QWidget>("GB_IPVersion"), control<QWidget>("GB_SSLVersion"),
                                                      control<QWidget>("GB_FTPTimeouts"),
                                                      control<QWidget>("GB_FTPTimestamps")})
        w->setEnabled(!busy);
    fbFTPCapabilities->SetEnabled(!busy);
    fbFTPHelp->SetEnabled(!busy);
}

void TF_SettingsNew::fbFTPTestClick() {
    if (ftpTestState == 2) {
        access::FZAbortAll();
        return;
    }
    if (ftpBusy_) return;
    auto& s = config::AppSettings();
    setFtpBusy(true);
    s.FTPAnoEmail = E_FTPAnonymousEmail->text();
    showFTPTestState(2);
    QString url;
    config::FtpProfileUrl(s.FTPProfIdx, QStringLiteral("/"), url);
    int slot = access::FZNoSlot;
    const int result = access::FZOpen(url, access::twGenAccess, false, slot);
    // Both are the connect's own; closing the slot talks to the server again.
    const bool unprotected = result == 0 && !access::FZLastMessage().isEmpty();
    const QString failure = result ? access::FZErrorText(-result, access::eoNone) : QString();
    if (slot != access::FZNoSlot) access::FZClose(slot);

    fbFTPTest->SetCaption(kTestCaption);
    fbFTPTest->setToolTip(kTestHint);
    setFtpBusy(false);
    ftpTestFailure_ = failure;
    if (access::FZResetAbort())
        showFTPTestState(7);
    else if (result != 0)
        showFTPTestState(6);
    else
        showFTPTestState(unprotected ? 4 : 3);
}

void TF_SettingsNew::showFTPTestState(quint8 state) {
    ftpTestState = state;
    fbFTPTest->SetEnabled(state != 0);
    QFont font = L_FTPTestResult->font();
    font.setBold(state >= 2);
    L_FTPTestResult->setFont(font);
    const TFtpTestLook look = FtpTestStateLook(state, ftpTestFailure_);
    L_FTPTestResult->setText(labelText(look.text));
    if (look.recolour) ui::SetLabelColor(L_FTPTestResult, look.colour);
    if (state == 2) {
        fbFTPTest->SetCaption(QStringLiteral("Abort"));
        fbFTPTest->setToolTip(QString());
    }
    // The label repaints while the test waits; the opening's own states
    // must not run other work before the dialog is made and known.
    if (isVisible()) config::eventPump().processEvents();
    if (state == 4 && CB_DataEncryption->isChecked()) {
        CB_DataEncryption->setChecked(false);
        FTPProfileDataChange(CB_DataEncryption);
        B_SaveProfileClick(nullptr);
        showFTPTestState(5);
    }
}

QStringList TF_SettingsNew::capabilityDescriptions() const {
    QStringList lines;
    int slot = access::FZNoSlot;
    if (config::OpenResourceArchive(slot) != 0) return lines;
    if (const auto text = config::OpenResourceFile(slot, QLatin1String(kFtpCapabilitiesFile)))
        lines = QString::fromUtf8(*text).split(QLatin1Char('\n'));
    config::CloseResourceArchive(slot);
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

void TF_SettingsNew::fbFTPCapabilitiesClick(QObject* sender) {
    if (ftpBusy_) return;
    auto& s = config::AppSettings();
    reFTPCapabilities->clear();
    setFtpBusy(true);
    fbFTPTest->SetEnabled(false);
    s.FTPAnoEmail = E_FTPAnonymousEmail->text();
    QString url;
    config::FtpProfileUrl(s.FTPProfIdx, QStringLiteral("/"), url);
    int slot = access::FZNoSlot;
    const int result = access::FZOpen(url, access::twGenAccess, false, slot);
    QStringList shown;
    if (result != 0) {
        shown << access::FZErrorText(-result, access::eoSocket);
    } else {
        const bool commands = sender == fbFTPHelp;
        const QStringList reply = commands ? access::FZFtpHelp(slot) : access::FZFtpCapabilities(slot);
        access::FZClose(slot);
        shown = DescribeFtpReplyLines(reply, capabilityDescriptions(), commands);
    }
    // The server's lines are shown as text, never read as markup.
    reFTPCapabilities->setPlainText(shown.join(QLatin1Char('\n')));
    setFtpBusy(false);
    fbFTPTest->SetEnabled(ftpTestState != 0);
}

}  // namespace tandex::settings
