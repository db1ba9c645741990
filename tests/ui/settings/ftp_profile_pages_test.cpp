// The FTP profile pages of the settings dialog: the list, editing, saving
// and deleting profiles, the connection test and the server-capability view
// against pyftpdlib on 127.0.0.1.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <deque>

#include "access/access_slots.h"
#include "access/ftp_hooks.h"
#include "access/http_requests.h"
#include "access/ini_file_adapter.h"
#include "access/password_prompt.h"
#include "config/app_settings.h"
#include "config/ftp_profiles.h"
#include "config/scrambler.h"
#include "tests/access/local_servers.h"
#include "tests/ui/settings/settings_dialog_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/settings/ftp_profile_texts.h"

namespace config = tandex::config;
namespace fz = tandex::access;
namespace settings = tandex::settings;
using settings::TF_SettingsNew;
using tandex::testing::LocalServer;

namespace {

// Answers the questions in turn (the default button once the answers run
// out) and keeps what was asked.
class ScriptedSink : public config::MessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        asked.push_back(request);
        if (answers.empty()) return request.defaultResult;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<int> answers;
    std::vector<config::MessageRequest> asked;
};

// A stored record: the fields not given keep their defaults' texts.
QString record(const QString& name, const QString& host, const QString& user, const QString& port,
               std::initializer_list<std::pair<int, QString>> more = {}) {
    QStringList f{name, host, user, port, QString(), "0", "0", "0", "0", "0", "0", "2", "2", "1", "1", "1"};
    for (const auto& [n, text] : more) f[n] = text;
    return f.join(';');
}

class FtpProfilePagesTest : public tandex::testing::SettingsDialogFixture {
protected:
    void SetUp() override {
        SettingsDialogFixture::SetUp();
        config::setMessageSink(&sink_);
        // The description file is read through the access layer.
        config::SetIniFileAccess(&files_);
        auto& s = config::AppSettings();
        for (auto& p : s.FTPProfile) p.clear();
        s.FTPProfIdx = 0;
        s.FTPHidePW = false;
        s.CFDelConfig = true;
        s.FTPAnoEmail = QStringLiteral("me@example.org");
        fz::FZSetFtpSiteHooks(config::FindFtpProfile,
                                  [](int index, int field) { return config::FtpProfileField(index, field); });
        fz::SetPasswordPromptHook([this](const QString& caption) {
            prompts << caption;
            fz::TPasswordAnswer answer;
            answer.cancelled = promptAnswer.isEmpty();
            if (!answer.cancelled) answer.scrambled = config::ScrambleText(promptAnswer);
            return answer;
        });
    }
    void TearDown() override {
        SettingsDialogFixture::TearDown();
        config::SetIniFileAccess(nullptr);
        fz::FZSetFtpSiteHooks({}, {});
        fz::SetPasswordPromptHook({});
        fz::FZResetAbort();
        servers_.clear();
    }

    static void type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text);
    }
    static void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(4, w->height() / 2)); }
    static QStringList items(const TF_SettingsNew& d) {
        QStringList texts;
        for (int i = 0; i < d.LB_FTPProfiles->count(); ++i) texts << d.LB_FTPProfiles->item(i)->text();
        return texts;
    }
    // "New", then the profile data typed as the user does.
    static void typeNew(TF_SettingsNew& d, const QString& name, const QString& host, const QString& user,
                        const QString& port = QString()) {
        click(d.fbNewProfile);
        type(d.E_FTPProfileName, name);
        type(d.E_FTPServerName, host);
        type(d.E_FTPUserName, user);
        if (!port.isEmpty()) type(d.E_FTPPortNumber, port);
    }
    static QString stored(int slot) { return config::AppSettings().FTPProfile[size_t(slot)]; }
    QStringList captions() const {
        QStringList texts;
        for (const auto& r : sink_.asked) texts << r.caption + QStringLiteral(" | ") + r.text;
        return texts;
    }

    // pyftpdlib with the user bob (or the one given) on a folder of its own.
    LocalServer& serve(QStringList flags, const QString& user = QStringLiteral("bob:secret")) {
        if (!root_) root_ = std::make_unique<QTemporaryDir>();
        flags = QStringList{QStringLiteral(TANDEX_SOURCE_DIR) + QStringLiteral("/tests/access/ftp_server.py"),
                            QStringLiteral("--root"), root_->path(), QStringLiteral("--user"), user} +
                flags;
        servers_.push_back(std::make_unique<LocalServer>(QStringLiteral("/usr/bin/python3"), flags));
        EXPECT_GT(servers_.back()->port(), 0);
        return *servers_.back();
    }
    // A profile of 127.0.0.1 in slot 0, tested with the test button.
    quint8 test(TF_SettingsNew& d) {
        click(d.fbFTPTest);
        return d.ftpTestState;
    }
    static QString bobAt(int port, std::initializer_list<std::pair<int, QString>> more = {}) {
        QString r = record("Local", "127.0.0.1", "bob", QString::number(port), more);
        QStringList f = r.split(';');
        if (f[4].isEmpty()) f[4] = config::ScrambleText(QStringLiteral("secret"));
        return f.join(';');
    }

    ScriptedSink sink_;
    fz::TIniFileAdapter files_;
    QStringList prompts;
    QString promptAnswer;
    std::unique_ptr<QTemporaryDir> root_;
    std::vector<std::unique_ptr<LocalServer>> servers_;
};

// ---- the list and saving ------------------------------------------------------------------

TEST_F(FtpProfilePagesTest, SaveWritesTheSixteenFieldsAndListsTheProfile) {
    TF_SettingsNew& d = dialog();
    EXPECT_EQ(d.LB_FTPProfiles->count(), 0);
    EXPECT_FALSE(d.fbFTPDelProfile->Enabled());
    EXPECT_EQ(d.ftpTestState, 0);

    typeNew(d, "Work", "h", "bob");
    type(d.E_FTPPassWord, "pw");
    d.RB_IPV6->click();
    d.RB_SSLV2->click();
    type(d.E_FTPConnTimeout, "7");
    type(d.E_FTPReadTimeout, "90");
    d.CB_FTPPassive->click();
    d.cbFTPUTIME3->click();
    ASSERT_TRUE(d.B_SaveProfile->Enabled());
    click(d.B_SaveProfile);

    const QStringList f = stored(0).split(';');
    ASSERT_EQ(f.size(), 16) << stored(0).toStdString();
    EXPECT_EQ(f.mid(0, 4), (QStringList{"Work", "h", "bob", "21"}));
    EXPECT_EQ(config::UnscrambleText(f[4]), QStringLiteral("pw"));
    EXPECT_EQ(f.mid(5), (QStringList{"0", "0", "1", "2", "0", "0", "7", "90", "0", "1", "0"}));
    for (int n = 0; n < 16; ++n) EXPECT_EQ(config::FtpProfileField(0, n), f[n]) << n;
    EXPECT_EQ(items(d), QStringList{QStringLiteral(" 1: Work: [bob@h]")});
    EXPECT_EQ(d.LB_FTPProfiles->currentRow(), 0);
    EXPECT_FALSE(d.B_SaveProfile->Enabled());
    EXPECT_TRUE(d.fbFTPDelProfile->Enabled());
    EXPECT_EQ(d.ftpTestState, 1);
    EXPECT_TRUE(sink_.asked.empty()) << captions().join('\n').toStdString();

    // Loading shows the stored fields again.
    d.fbCancelClick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TF_SettingsNew& again = dialog();
    EXPECT_EQ(again.E_FTPProfileName->text(), QStringLiteral("Work"));
    EXPECT_EQ(again.E_FTPPassWord->text(), QStringLiteral("pw"));
    EXPECT_TRUE(again.RB_IPV6->isChecked());
    EXPECT_TRUE(again.RB_SSLV2->isChecked());
    EXPECT_EQ(again.E_FTPReadTimeout->text(), QStringLiteral("90"));
    EXPECT_FALSE(again.CB_FTPPassive->isChecked());
}

TEST_F(FtpProfilePagesTest, OutOfRangeNumbersAndSeparatorsAreRefusedAndNothingIsSaved) {
    struct Case {
        QLineEdit* TF_SettingsNew::*field;
        QString text;
        QString caption;
        QString message;  // a part of it
    };
    const QString semicolon =
        QStringLiteral("The character \";\" is not allowed in the profile name, host name or user name!");
    const Case cases[] = {
        {&TF_SettingsNew::E_FTPPortNumber, "0", "Invalid value on Tab: FTP Profiles", "1 .. 65535"},
        {&TF_SettingsNew::E_FTPPortNumber, "65536", "Invalid value on Tab: FTP Profiles", "1 .. 65535"},
        {&TF_SettingsNew::E_FTPConnTimeout, "121", "Invalid value on Tab: FTP Profiles -> Protocol", "1 .. 120"},
        {&TF_SettingsNew::E_FTPReadTimeout, "0", "Invalid value on Tab: FTP Profiles -> Protocol", "1 .. 120"},
        // A ";" would move every later field of the record.
        {&TF_SettingsNew::E_FTPProfileName, "Wo;rk", " Save FTP Profile ", semicolon},
        {&TF_SettingsNew::E_FTPServerName, "h;21", " Save FTP Profile ", semicolon},
        {&TF_SettingsNew::E_FTPUserName, "bob;x", " Save FTP Profile ", semicolon},
    };
    TF_SettingsNew& d = dialog();
    for (const Case& c : cases) {
        // "New" drops the refused edits of the case before.
        sink_.answers = {config::mrNo};
        typeNew(d, "Work", "h", "bob");
        type(d.E_FTPConnTimeout, "20");
        type(d.E_FTPReadTimeout, "60");
        type(d.*c.field, c.text);
        sink_.asked.clear();
        sink_.answers.clear();
        click(d.B_SaveProfile);
        EXPECT_TRUE(stored(0).isEmpty()) << c.text.toStdString();
        EXPECT_EQ(d.LB_FTPProfiles->count(), 0);
        ASSERT_EQ(sink_.asked.size(), 1u) << c.text.toStdString();
        EXPECT_EQ(sink_.asked[0].caption, c.caption);
        EXPECT_TRUE(sink_.asked[0].text.contains(c.message)) << sink_.asked[0].text.toStdString();
        // The edits stay for the user to mend.
        EXPECT_TRUE(d.B_SaveProfile->Enabled());
    }
}

TEST_F(FtpProfilePagesTest, ASameNameSaveAsksAndOverwritesThatSlot) {
    auto& s = config::AppSettings();
    s.FTPProfile[0] = record("A", "a", "u", "21");
    s.FTPProfile[1] = record("B", "b", "u", "21");
    TF_SettingsNew& d = dialog();

    typeNew(d, "A", "new", "v");
    sink_.answers = {config::mrNo};
    click(d.B_SaveProfile);
    ASSERT_EQ(sink_.asked.size(), 1u);
    EXPECT_EQ(sink_.asked[0].caption, QStringLiteral(" Save FTP Profile "));
    EXPECT_EQ(sink_.asked[0].text,
              QStringLiteral("A FTP Profile with the same Profilename already exist!\r\rOverwrite this existing profile?"));
    EXPECT_EQ(sink_.asked[0].defaultResult, config::mrNo);
    EXPECT_EQ(stored(0), record("A", "a", "u", "21"));
    EXPECT_TRUE(stored(2).isEmpty());

    sink_.answers = {config::mrYes};
    click(d.B_SaveProfile);
    EXPECT_EQ(config::FtpProfileField(0, 1), QStringLiteral("new"));
    EXPECT_EQ(items(d), (QStringList{" 1: A: [v@new]", " 2: B: [u@b]"}));
    EXPECT_EQ(d.LB_FTPProfiles->currentRow(), 0);
    EXPECT_EQ(s.FTPProfIdx, 0);
}

TEST_F(FtpProfilePagesTest, DeleteAsksWhenConfirmationsAreOnAndMovesTheLaterProfilesDown) {
    auto& s = config::AppSettings();
    for (int i = 0; i < 3; ++i) s.FTPProfile[size_t(i)] = record(QString("P%1").arg(i), "h", "u", "21");
    s.FTPProfIdx = 1;
    TF_SettingsNew& d = dialog();
    ASSERT_EQ(d.LB_FTPProfiles->currentRow(), 1);

    sink_.answers = {config::mrNo};
    click(d.fbFTPDelProfile);
    ASSERT_EQ(sink_.asked.size(), 1u);
    EXPECT_EQ(sink_.asked[0].caption, QStringLiteral(" Delete FTP Profile "));
    EXPECT_EQ(sink_.asked[0].text, QStringLiteral("Delete this FTP Profile?"));
    EXPECT_EQ(d.LB_FTPProfiles->count(), 3);

    sink_.answers = {config::mrYes};
    click(d.fbFTPDelProfile);
    EXPECT_EQ(config::FtpProfileField(1, 0), QStringLiteral("P2"));
    EXPECT_TRUE(stored(2).isEmpty());
    EXPECT_EQ(d.E_FTPProfileName->text(), QStringLiteral("P2"));

    // Without confirmations the last one goes at once; the list ends empty.
    s.CFDelConfig = false;
    sink_.asked.clear();
    click(d.fbFTPDelProfile);
    click(d.fbFTPDelProfile);
    EXPECT_TRUE(sink_.asked.empty());
    EXPECT_EQ(d.LB_FTPProfiles->count(), 0);
    EXPECT_FALSE(d.fbFTPDelProfile->Enabled());
    EXPECT_EQ(d.ftpTestState, 0);
}

TEST_F(FtpProfilePagesTest, EncryptionAndAnonymousChoicesSetTheirControls) {
    TF_SettingsNew& d = dialog();
    typeNew(d, "Work", "h", "bob", "2121");
    EXPECT_FALSE(d.CB_DataEncryption->isEnabled());

    d.CB_FTPEncryption->setCurrentIndex(1);  // "Implicit SSL/TLS"
    EXPECT_EQ(d.E_FTPPortNumber->text(), QStringLiteral("990"));
    EXPECT_TRUE(d.CB_DataEncryption->isChecked());
    EXPECT_TRUE(d.CB_DataEncryption->isEnabled());
    type(d.E_FTPPortNumber, "2121");
    d.CB_FTPEncryption->setCurrentIndex(0);  // "No encryption"
    EXPECT_EQ(d.E_FTPPortNumber->text(), QStringLiteral("21"));
    EXPECT_FALSE(d.CB_DataEncryption->isChecked());

    // Another protocol hides the encryption and says it is not there yet.
    d.CB_FTPEncryption->setCurrentIndex(3);
    d.CB_FTPProtocol->setCurrentIndex(1);
    EXPECT_TRUE(d.CB_FTPEncryption->isHidden());
    EXPECT_FALSE(d.L_ProtocoolNotAvailable->isHidden());
    d.CB_FTPProtocol->setCurrentIndex(0);
    EXPECT_EQ(d.CB_FTPEncryption->currentIndex(), 0);
    EXPECT_FALSE(d.CB_DataEncryption->isChecked());

    // Anonymous logins need no user name and take the common address.
    type(d.E_FTPUserName, "");
    EXPECT_FALSE(d.B_SaveProfile->Enabled());
    click(d.CB_FTPAnonymous);
    ASSERT_TRUE(d.CB_FTPAnonymous->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{d.E_FTPUserName, d.E_FTPPassWord, d.L_FTPUserName,
                                                      d.L_FTPPassWord})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    ASSERT_TRUE(d.B_SaveProfile->Enabled());
    click(d.B_SaveProfile);
    EXPECT_EQ(config::FtpProfileField(0, 10), QStringLiteral("1"));
    EXPECT_EQ(items(d), QStringList{QStringLiteral(" 1: Work: [anonymous@h]")});
}

TEST_F(FtpProfilePagesTest, TwentyProfilesLeaveNoNewButRenamingStays) {
    auto& s = config::AppSettings();
    for (int i = 0; i < config::FtpProfileCount; ++i)
        s.FTPProfile[size_t(i)] = record(QString("P%1").arg(i + 1), "h", "u", "21");
    s.FTPProfIdx = 12;
    TF_SettingsNew& d = dialog();
    EXPECT_EQ(d.LB_FTPProfiles->count(), 20);
    EXPECT_FALSE(d.fbNewProfile->Enabled());
    d.SelectPage(13, 0);
    tandex::testing::GrabToPng(&d, QStringLiteral("Settings.FtpFullList"));
    // Two columns of ten.
    EXPECT_EQ(d.LB_FTPProfiles->visualItemRect(d.LB_FTPProfiles->item(10)).top(),
              d.LB_FTPProfiles->visualItemRect(d.LB_FTPProfiles->item(0)).top());

    type(d.E_FTPProfileName, "Renamed");
    EXPECT_TRUE(d.L_MaxReached->isHidden());
    click(d.B_SaveProfile);
    EXPECT_EQ(config::FtpProfileField(12, 0), QStringLiteral("Renamed"));
    EXPECT_EQ(config::FtpProfileField(19, 0), QStringLiteral("P20"));
}

TEST_F(FtpProfilePagesTest, SelectingAnotherProfileAsksAboutUnsavedEdits) {
    auto& s = config::AppSettings();
    s.FTPProfile[0] = record("A", "a", "u", "21");
    s.FTPProfile[1] = record("B", "b", "u", "21");
    TF_SettingsNew& d = dialog();

    type(d.E_FTPServerName, "a2");
    sink_.answers = {config::mrCancel};
    d.LB_FTPProfiles->setCurrentRow(1);
    ASSERT_EQ(sink_.asked.size(), 1u);
    EXPECT_EQ(sink_.asked[0].caption, QStringLiteral("FTP Profile not saved!"));
    EXPECT_EQ(sink_.asked[0].text, QStringLiteral("Save the profile now?"));
    EXPECT_EQ(d.LB_FTPProfiles->currentRow(), 0);
    EXPECT_EQ(d.E_FTPServerName->text(), QStringLiteral("a2"));

    // Yes saves the edits into the profile they were made on.
    sink_.answers = {config::mrYes};
    d.LB_FTPProfiles->setCurrentRow(1);
    EXPECT_EQ(config::FtpProfileField(0, 1), QStringLiteral("a2"));
    EXPECT_EQ(config::FtpProfileField(1, 1), QStringLiteral("b"));
    EXPECT_EQ(d.E_FTPServerName->text(), QStringLiteral("b"));
    EXPECT_EQ(s.FTPProfIdx, 1);

    // An incomplete profile can only be dropped.
    sink_.asked.clear();
    type(d.E_FTPServerName, "");
    sink_.answers = {config::mrOk};
    d.LB_FTPProfiles->setCurrentRow(0);
    ASSERT_EQ(sink_.asked.size(), 1u);
    EXPECT_EQ(sink_.asked[0].text, QStringLiteral("The Profile is incomplete!\rDiscard all changes?"));
    EXPECT_EQ(config::FtpProfileField(1, 1), QStringLiteral("b"));
    EXPECT_EQ(d.E_FTPServerName->text(), QStringLiteral("a2"));
}

TEST_F(FtpProfilePagesTest, WithoutTheTlsLibraryTheEncryptionIsOff) {
    fz::FZForceSslUnavailable(true);
    config::AppSettings().FTPProfile[0] = record("A", "a", "u", "21");
    TF_SettingsNew& d = dialog();
    fz::FZForceSslUnavailable(false);
    EXPECT_FALSE(d.CB_FTPEncryption->isEnabled());
    EXPECT_FALSE(d.L_SSHDLLsNotFound1->isHidden());
    EXPECT_FALSE(d.L_SSLDLLsNotFound2->isHidden());
    EXPECT_FALSE(d.RB_SSLVAuto->isEnabled());
}

// ---- the connection test ----------------------------------------------------------------

TEST_F(FtpProfilePagesTest, TheConnectionTestShowsEachOutcome) {
    const int closed = tandex::testing::FreePort();
    const int plain = serve({}).port();
    const int silent = serve({QStringLiteral("--silent")}).port();
    struct Case {
        const char* what;
        QString profile;
        quint8 state;
        QString text;  // the label's beginning
        quint32 colour;
    };
    const Case cases[] = {
        {"valid", bobAt(plain), 3, "\nFTP connection OK!", 0x008000},
        {"closed port", bobAt(closed), 6, "FTP connection failed!\nError ", 0x0000FF},
        {"wrong password", bobAt(plain, {{4, config::ScrambleText("wrong")}}), 6, "FTP connection failed!\n",
         0x0000FF},
    };
    for (const Case& c : cases) {
        config::AppSettings().FTPProfile[0] = c.profile;
        TF_SettingsNew& d = dialog();
        ASSERT_EQ(d.ftpTestState, 1);
        EXPECT_EQ(test(d), c.state) << c.what;
        EXPECT_TRUE(d.L_FTPTestResult->text().startsWith(c.text)) << c.what << ": "
                                                                  << d.L_FTPTestResult->text().toStdString();
        EXPECT_EQ(d.L_FTPTestResult->palette().color(QPalette::WindowText),
                  QColor(int(c.colour & 0xFF), int((c.colour >> 8) & 0xFF), int(c.colour >> 16)))
            << c.what;
        EXPECT_TRUE(d.L_FTPTestResult->font().bold());
        EXPECT_EQ(d.fbFTPTest->Caption(), QStringLiteral("Test connection"));
        EXPECT_TRUE(d.GB_FTPProfileData->isEnabled());
        // The label is the only report; no box on top of it.
        EXPECT_TRUE(sink_.asked.empty()) << c.what;
        d.SelectPage(13, 0);
        tandex::testing::GrabToPng(&d, QStringLiteral("Settings.FtpTest.%1").arg(int(c.state)));
        d.fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A server that never greets waits until "Abort" is clicked.
    config::AppSettings().FTPProfile[0] = bobAt(silent, {{11, "30"}});
    TF_SettingsNew& d = dialog();
    bool sawAbort = false, dataLocked = false;
    QTimer::singleShot(300, &d, [&] {
        sawAbort = d.fbFTPTest->Caption() == QStringLiteral("Abort");
        dataLocked = !d.GB_FTPProfileData->isEnabled() && !d.LB_FTPProfiles->isEnabled();
        click(d.fbFTPTest);
    });
    EXPECT_EQ(test(d), 7);
    EXPECT_TRUE(sawAbort);
    EXPECT_TRUE(dataLocked);
    EXPECT_EQ(d.L_FTPTestResult->text(), QStringLiteral("\nAborted by user!"));
    EXPECT_TRUE(d.GB_FTPProfileData->isEnabled());
}

TEST_F(FtpProfilePagesTest, TheConnectionTestOverTls) {
    QTemporaryDir certs;
    ASSERT_TRUE(tandex::testing::MakeCertificates(certs.path(), "ftp"));
    fz::FZAddCaCertificates(QSslCertificate::fromPath(certs.path() + "/ftp-ca.pem"));
    const int tls = serve({"--tls", certs.path() + "/ftp.pem", certs.path() + "/ftp.key"}).port();
    const int plain = serve({}).port();

    // Required TLS against a TLS server.
    config::AppSettings().FTPProfile[0] = bobAt(tls, {{6, "3"}, {9, "1"}});
    {
        TF_SettingsNew& d = dialog();
        EXPECT_EQ(test(d), 3) << d.L_FTPTestResult->text().toStdString();
        d.fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // TLS if the server has it, against one that has not: the data channel
    // encryption is turned off and saved.
    config::AppSettings().FTPProfile[0] = bobAt(plain, {{6, "2"}, {9, "1"}});
    TF_SettingsNew& d = dialog();
    EXPECT_EQ(test(d), 5) << d.L_FTPTestResult->text().toStdString();
    EXPECT_EQ(config::FtpProfileField(0, 9), QStringLiteral("0"));
    EXPECT_EQ(config::FtpProfileField(0, 6), QStringLiteral("2"));
    EXPECT_FALSE(d.CB_DataEncryption->isChecked());
    d.SelectPage(13, 0);
    tandex::testing::GrabToPng(&d, QStringLiteral("Settings.FtpTest.5"));
    EXPECT_EQ(d.L_FTPTestResult->text(),
              QStringLiteral("\nFTP connection OK -  but without encryption!\n\u2022 'Data channel encryption' is turned "
                             "off!"));
}

TEST_F(FtpProfilePagesTest, AMissingPasswordIsAskedFor) {
    const int port = serve({}, QStringLiteral("bob@example.org:secret")).port();
    config::AppSettings().FTPProfile[0] = record("Mail", "127.0.0.1", "bob@example.org", QString::number(port));
    TF_SettingsNew& d = dialog();
    promptAnswer = QStringLiteral("secret");
    EXPECT_EQ(test(d), 3) << d.L_FTPTestResult->text().toStdString();
    EXPECT_EQ(prompts, QStringList{QStringLiteral(" FTP: Password required!")});
}

// ---- the server capabilities --------------------------------------------------------------

TEST_F(FtpProfilePagesTest, CapabilitiesAreDescribedWhereTheDescriptionFileKnowsThem) {
    const int port = serve({}).port();
    config::AppSettings().FTPProfile[0] = bobAt(port);
    const auto view = [this](bool commands) {
        TF_SettingsNew& d = dialog();
        d.SelectPage(14, 0);
        click(commands ? d.fbFTPHelp : d.fbFTPCapabilities);
        const QString text = d.reFTPCapabilities->toPlainText();
        tandex::testing::GrabToPng(&d, QStringLiteral("Settings.FtpCapabilities.%1").arg(commands));
        EXPECT_TRUE(d.fbFTPHelp->Enabled());
        EXPECT_TRUE(d.fbFTPCapabilities->Enabled());
        d.fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return text.split('\n');
    };

    // Without the resource archive every line comes raw.
    const QStringList raw = view(false);
    EXPECT_TRUE(raw.contains(QStringLiteral("SIZE"))) << raw.join('|').toStdString();
    EXPECT_TRUE(raw.contains(QStringLiteral("REST STREAM"))) << raw.join('|').toStdString();

    withPictures();
    const QStringList described = view(false);
    EXPECT_EQ(described.size(), raw.size());
    EXPECT_TRUE(described.contains(QStringLiteral("SIZE\tSize of a file"))) << described.join('|').toStdString();
    EXPECT_TRUE(described.contains(QStringLiteral("REST\tRestart a transfer at a position (resume)")));
    for (const QString& line : described) EXPECT_TRUE(line.contains('\t')) << line.toStdString();

    // The command help lists several words a line; each gets its own.
    const QStringList commands = view(true);
    EXPECT_TRUE(commands.contains(QStringLiteral("ABOR\tAbort the running data transfer")))
        << commands.join('|').toStdString();
    EXPECT_TRUE(commands.contains(QStringLiteral("XPWD\tPrint the working folder (old form of PWD)")));

    // A failed connection shows its one error line.
    config::AppSettings().FTPProfile[0] = bobAt(tandex::testing::FreePort());
    const QStringList failed = view(false);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0].contains(QStringLiteral("10061"))) << failed[0].toStdString();
}

TEST(FtpReplyDescriptions, ProseLinesOfTheCommandHelpStayWhole) {
    const QStringList descriptions{"CWD\tChange the working folder", "MKD\tMake a folder"};
    EXPECT_EQ(settings::DescribeFtpReplyLines({"CWD  MKD  SMNT*", "Direct comments to root@example.org."},
                                              descriptions, true),
              (QStringList{"CWD\tChange the working folder", "MKD\tMake a folder", "SMNT*",
                           "Direct comments to root@example.org."}));
    // A feature line is known by its first word only.
    EXPECT_EQ(settings::DescribeFtpReplyLines({"CWD MKD", " MKD"}, descriptions, false),
              (QStringList{"CWD\tChange the working folder", " MKD"}));
}

}  // namespace
