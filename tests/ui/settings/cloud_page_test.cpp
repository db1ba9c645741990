// The cloud login page against the service's emulation on 127.0.0.1: the
// grant through a stand-in browser (first on PATH) that records the
// address and, to approve, fetches it; the refusal, the user's Cancel, the
// browser failures, the account text, the revoke and a missing TLS library.

#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "access/access_slots.h"
#include "access/cloud_client.h"
#include "access/cloud_files.h"
#include "access/http_requests.h"
#include "access/ini_file_adapter.h"
#include "config/app_settings.h"
#include "config/ini_file_access.h"
#include "config/prg_dir.h"
#include "config/scrambler.h"
#include "config/settings_file.h"
#include "tests/access/local_servers.h"
#include "tests/ui/settings/answering_sink.h"
#include "tests/ui/settings/settings_dialog_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/print_seams.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
namespace settings = tandex::settings;
using settings::TF_SettingsNew;
using tandex::testing::CloudEmulator;

namespace {

class RecordingHelp : public ui::HelpServices {
public:
    void ShowHelpTopic(const QString& topic) override { topics << topic; }
    void ApplyTheme() override {}
    void CloseHelp() override {}
    QStringList topics;
};

class CloudPageTest : public tandex::testing::SettingsDialogFixture {
protected:
    static void SetUpTestSuite() {
        certificates_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(tandex::testing::MakeCertificates(certificates_->path(), "cloud"));
        tandex::access::FZAddCaCertificates(QSslCertificate::fromPath(certificates_->path() + "/cloud-ca.pem"));
    }
    static void TearDownTestSuite() { certificates_.reset(); }

    void SetUp() override {
        SettingsDialogFixture::SetUp();
        emulator_ = std::make_unique<CloudEmulator>(certificates_->path(), "cloud");
        ASSERT_GT(emulator_->port(), 0);
        QFile::remove(certificates_->path() + "/cloud-requests.log");
        tandex::access::TDropbox1& client = tandex::access::FZCloudClient();
        client.SetAppKey(CloudEmulator::AppKey);
        client.SetAppSecret(CloudEmulator::AppSecret);
        savedEndpoints_ = client.Endpoints();
        tandex::access::TDropboxEndpoints e;
        e.api = e.content = e.authorize = emulator_->base();
        client.SetEndpoints(e);
        tandex::access::FZSetCloudGranted(false);
        client.SetToken(QString(), QString());

        config::setMessageSink(&answers_);
        path_ = qgetenv("PATH");
        browser_ = qgetenv("BROWSER");
        qunsetenv("BROWSER");
        QDir().mkpath(tmp_.filePath("fake"));
        qputenv("PATH", tmp_.filePath("fake").toLocal8Bit() + ":" + path_);
    }
    void TearDown() override {
        qputenv("PATH", path_);
        if (!browser_.isEmpty()) qputenv("BROWSER", browser_);
        SettingsDialogFixture::TearDown();
        tandex::access::FZForceSslUnavailable(false);
        tandex::access::FZSetCloudLoginStepHook(nullptr);
        tandex::access::FZSetCloudGranted(false);
        tandex::access::FZCloudClient().SetToken(QString(), QString());
        tandex::access::FZCloudClient().SetEndpoints(savedEndpoints_);
        tandex::access::FZForgetTrustedCertificates();
        emulator_.reset();
    }

    // The stand-in browser: records its arguments, fetches the address when
    // approving, and ends with exitCode.
    void fakeBrowser(bool approve, int exitCode = 0, const char* name = "xdg-open") {
        const QString path = tmp_.filePath(QStringLiteral("fake/") + QLatin1String(name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QString script = QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > '%1'\n").arg(visitedFile());
        if (approve)
            script += QStringLiteral("curl -s -o /dev/null --cacert '%1' \"$1\" || exit 9\n")
                          .arg(certificates_->path() + "/cloud-ca.pem");
        script += QStringLiteral("exit %1\n").arg(exitCode);
        f.write(script.toUtf8());
        f.close();
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    }
    QString visitedFile() const { return tmp_.filePath("visited.txt"); }
    // The argument count and the address the browser got.
    QStringList visited() const {
        QFile f(visitedFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }

    TF_SettingsNew& page() {
        TF_SettingsNew& d = dialog();
        d.SelectPage(18, 0);
        return d;
    }
    // The settings file as SaveSettings writes it.
    QString savedFile() {
        tandex::access::TIniFileAdapter files;
        config::SetIniFileAccess(&files);
        config::SaveSettings();
        config::SetIniFileAccess(nullptr);
        QFile f(config::PrgDir().GetIniPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static QString status(const TF_SettingsNew& d) { return d.lDBStatus->text(); }
    static quint32 bar(const TF_SettingsNew& d) { return d.fbDBLogin->BarColor(); }
    void grantAccess(TF_SettingsNew& d) {
        fakeBrowser(true);
        d.fbDBLoginClick();
        ASSERT_TRUE(tandex::access::FZCloudGranted());
    }

    static std::unique_ptr<QTemporaryDir> certificates_;
    std::unique_ptr<CloudEmulator> emulator_;
    tandex::access::TDropboxEndpoints savedEndpoints_;
    tandex::testing::AnsweringSink answers_;
    QByteArray path_, browser_;
};

std::unique_ptr<QTemporaryDir> CloudPageTest::certificates_;

TEST_F(CloudPageTest, AGrantInTheBrowserStoresTheScrambledTokenAndShowsEachStep) {
    TF_SettingsNew& d = page();
    EXPECT_EQ(status(d), QStringLiteral("Access status: Not authorized"));
    EXPECT_TRUE(d.fbDBLogin->Enabled());
    EXPECT_FALSE(d.fbDBOInfo->Enabled());
    EXPECT_FALSE(d.fbRevokeAccess->Enabled());
    fakeBrowser(true);
    QString captionAtBox;
    answers_.onAsk = [&](const config::MessageRequest&) { captionAtBox = d.fbDBLogin->Caption(); };
    // Every caption the button shows while the requests and the browser
    // keep the events running.
    QStringList captions;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (captions.isEmpty() || captions.back() != d.fbDBLogin->Caption()) captions << d.fbDBLogin->Caption();
    });
    watch.start(0);
    d.fbDBLoginClick();
    watch.stop();

    ASSERT_EQ(answers_.asked.size(), 1u);
    EXPECT_EQ(answers_.asked[0].caption, QStringLiteral(" Tandex "));
    EXPECT_EQ(answers_.asked[0].text, QStringLiteral("Please grant access in your browser,\rthen click OK."));
    EXPECT_EQ(answers_.asked[0].buttons, config::mbOK | config::mbCancel);
    EXPECT_EQ(captionAtBox, QStringLiteral("Authorize"));
    const QStringList browser = visited();
    ASSERT_EQ(browser.size(), 2);
    EXPECT_EQ(browser[0], QStringLiteral("1"));
    EXPECT_TRUE(browser[1].startsWith(emulator_->base() + "/1/oauth/authorize?oauth_token=")) << qPrintable(browser[1]);
    EXPECT_EQ(captions, (QStringList{"Get Request Token", "Authorize", "Get Access Token"}));

    EXPECT_EQ(d.fbDBLogin->Caption(), QStringLiteral("Access Successful"));
    EXPECT_EQ(bar(d), 0x7FBF7Fu);
    EXPECT_EQ(status(d), QStringLiteral("Access status: Authorized"));
    EXPECT_EQ(d.lDBStatus->palette().color(QPalette::WindowText), ui::ToQColor(0x008000));
    EXPECT_TRUE(tandex::access::FZCloudGranted());
    EXPECT_TRUE(d.fbDBOInfo->Enabled());
    EXPECT_TRUE(d.fbRevokeAccess->Enabled());
    const auto& s = config::AppSettings();
    EXPECT_FALSE(s.DBOKey.isEmpty());
    EXPECT_FALSE(s.DBOSecret.isEmpty());
    const tandex::access::TOAuthToken token = tandex::access::FZCloudClient().Token();
    EXPECT_EQ(config::UnscrambleText(s.DBOKey), token.Key);
    EXPECT_EQ(config::UnscrambleText(s.DBOSecret), token.Secret);
    EXPECT_NE(s.DBOKey, token.Key);
    EXPECT_TRUE(d.timDBLogin->isActive());
    EXPECT_EQ(d.timDBLogin->interval(), 10000);
    EXPECT_FALSE(tandex::testing::GrabToPng(&d, QStringLiteral("CloudPage.Granted")).isEmpty());

    d.timDBLoginTimer();
    EXPECT_EQ(d.fbDBLogin->Caption(), QStringLiteral("Grant access"));
    EXPECT_EQ(d.fbDBLogin->Position(), 0);
    EXPECT_EQ(bar(d), 0x008000u);
    EXPECT_FALSE(d.timDBLogin->isActive());
}

// A browser closed without approving and the user's Cancel both fail the
// same way; a Cancel does not even ask the service for the token.
TEST_F(CloudPageTest, ARefusalOrACancelFailsAndDropsTheStoredToken) {
    const struct {
        bool approve;
        int answer;
    } cases[] = {{false, config::mrOk}, {true, config::mrCancel}};
    for (const auto& c : cases) {
        config::AppSettings().DBOKey = config::ScrambleText(QStringLiteral("oldkey"));
        config::AppSettings().DBOSecret = config::ScrambleText(QStringLiteral("oldsecret"));
        QFile::remove(certificates_->path() + "/cloud-requests.log");
        TF_SettingsNew& d = page();
        fakeBrowser(c.approve);
        answers_.answers = {c.answer};
        d.fbDBLoginClick();
        EXPECT_EQ(d.fbDBLogin->Caption(), QStringLiteral("Failed!")) << c.approve;
        EXPECT_EQ(d.fbDBLogin->Position(), 3);
        EXPECT_EQ(bar(d), 0xA0A0FFu);
        EXPECT_TRUE(d.fbDBLogin->Enabled());
        EXPECT_EQ(status(d), QStringLiteral("Access status: Not authorized"));
        EXPECT_EQ(d.timDBLogin->interval(), 5000);
        EXPECT_FALSE(tandex::access::FZCloudGranted());
        EXPECT_TRUE(config::AppSettings().DBOKey.isEmpty());
        EXPECT_TRUE(config::AppSettings().DBOSecret.isEmpty());
        const QStringList requests = emulator_->requests();
        EXPECT_TRUE(requests.contains(QStringLiteral("/1/oauth/request_token")));
        EXPECT_EQ(requests.contains(QStringLiteral("/1/oauth/access_token")), c.answer == config::mrOk)
            << requests.join(' ').toStdString();
        d.fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Without a browser nothing is asked of the service; a browser that fails
// leaves the grant held before as it was.
TEST_F(CloudPageTest, BrowserFailuresAreToldAndKeepTheGrantHeldBefore) {
    const struct {
        const char* browser;  // BROWSER, or nullptr
        bool fake;            // a failing xdg-open on PATH
        QString message;
        bool asksService;
    } cases[] = {
        {nullptr, false, "No browser found!", false},
        {nullptr, true, "Unable to open the browser!", true},
        {"/nonexistent/browser", true, "Unable to open the browser!", true},
    };
    for (const auto& c : cases) {
        qputenv("PATH", tmp_.filePath("fake").toLocal8Bit());
        QFile::remove(tmp_.filePath("fake/xdg-open"));
        if (c.fake) fakeBrowser(true, 4);
        if (c.browser) qputenv("BROWSER", c.browser);
        else qunsetenv("BROWSER");
        QFile::remove(certificates_->path() + "/cloud-requests.log");
        config::AppSettings().DBOKey = config::ScrambleText(QStringLiteral("oldkey"));
        config::AppSettings().DBOSecret = config::ScrambleText(QStringLiteral("oldsecret"));
        tandex::access::FZCloudLoadToken();
        TF_SettingsNew& d = page();
        answers_.asked.clear();
        d.fbDBLoginClick();
        ASSERT_EQ(answers_.asked.size(), 1u) << c.message.toStdString();
        EXPECT_EQ(answers_.asked[0].text, c.message);
        EXPECT_EQ(emulator_->requests().contains(QStringLiteral("/1/oauth/request_token")), c.asksService);
        EXPECT_FALSE(emulator_->requests().contains(QStringLiteral("/1/oauth/access_token")));
        EXPECT_EQ(config::UnscrambleText(config::AppSettings().DBOKey), QStringLiteral("oldkey"));
        EXPECT_EQ(tandex::access::FZCloudClient().Token().Key, QStringLiteral("oldkey"));
        EXPECT_TRUE(tandex::access::FZCloudGranted());
        EXPECT_EQ(status(d), QStringLiteral("Access status: Authorized"));
        d.fbCancelClick();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    qunsetenv("BROWSER");
}

TEST_F(CloudPageTest, AccountInfoShowsTheAccountOrTheErrorText) {
    TF_SettingsNew& d = page();
    grantAccess(d);
    d.fbDBOInfoClick();
    const QString text = d.mAccountInfo->toPlainText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Name:    Test User\nUserID:  12345\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("E-Mail:  test@example.org"))) << qPrintable(text);
    EXPECT_TRUE(d.fbCancel->Enabled());
    EXPECT_FALSE(d.fbOk->Enabled());  // the apply decides it, not the page
    EXPECT_TRUE(d.fbDBOInfo->Enabled());
    EXPECT_EQ(d.mAccountInfo->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());

    emulator_.reset();
    d.fbDBOInfoClick();
    const QString error = d.mAccountInfo->toPlainText();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.startsWith(QStringLiteral("Name:")));
    EXPECT_NE(error, QStringLiteral("Please wait..."));
    EXPECT_TRUE(tandex::access::FZCloudGranted());  // a service out of reach takes nothing away
}

TEST_F(CloudPageTest, RevokeAsksAndThenForgetsTheStoredToken) {
    TF_SettingsNew& d = page();
    grantAccess(d);
    d.fbDBOInfoClick();
    ASSERT_FALSE(d.mAccountInfo->toPlainText().isEmpty());
    answers_.asked.clear();
    answers_.answers = {config::mrNo};
    d.fbRevokeAccessClick();
    ASSERT_EQ(answers_.asked.size(), 1u);
    EXPECT_EQ(answers_.asked[0].caption, QStringLiteral(" Tandex "));
    EXPECT_EQ(answers_.asked[0].text,
              QStringLiteral("Do you really want to revoke the permission to access your dropbox files?"));
    EXPECT_EQ(answers_.asked[0].buttons, config::mbYes | config::mbNo);
    EXPECT_TRUE(tandex::access::FZCloudGranted());
    EXPECT_FALSE(d.mAccountInfo->toPlainText().isEmpty());

    answers_.answers = {config::mrYes};
    d.fbRevokeAccessClick();
    EXPECT_TRUE(d.mAccountInfo->toPlainText().isEmpty());
    EXPECT_FALSE(tandex::access::FZCloudGranted());
    EXPECT_EQ(status(d), QStringLiteral("Access status: Not authorized"));
    EXPECT_TRUE(d.fbDBLogin->Enabled());
    const QString file = savedFile();
    EXPECT_TRUE(file.contains(QStringLiteral("\nDBOKey=\r")) || file.contains(QStringLiteral("\nDBOKey=\n")))
        << qPrintable(file.left(400));
    EXPECT_TRUE(file.contains(QStringLiteral("\nDBOSecret=\r")) || file.contains(QStringLiteral("\nDBOSecret=\n")));
}

TEST_F(CloudPageTest, WithoutTheTlsLibraryTheButtonsStayDisabledAndTheLabelShows) {
    tandex::access::FZForceSslUnavailable(true);
    tandex::access::FZSetCloudGranted(true);
    TF_SettingsNew& d = page();
    EXPECT_FALSE(d.fbDBLogin->Enabled());
    EXPECT_FALSE(d.fbDBOInfo->Enabled());
    EXPECT_FALSE(d.fbRevokeAccess->Enabled());
    EXPECT_TRUE(d.L_SSLDLLsNotFound3->isVisible());
    EXPECT_EQ(d.L_SSLDLLsNotFound3->text(), QStringLiteral(" OpenSSL libraries not found! "));
    RecordingHelp help;
    ui::setHelp(&help);
    QTest::mouseClick(d.L_SSLDLLsNotFound3, Qt::LeftButton);
    ui::setHelp(nullptr);
    EXPECT_EQ(help.topics, QStringList{QStringLiteral("OpenSSL libraries not found!")});
}

// The hook that shows the steps goes with the dialog.
TEST_F(CloudPageTest, ClosingTheDialogRemovesTheStepHook) {
    TF_SettingsNew& d = page();
    bool called = false;
    tandex::access::FZSetCloudLoginStepHook([&](int) { called = true; });
    d.fbCancelClick();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QString url;
    tandex::access::FZCloudAuthorize(url);
    EXPECT_FALSE(called);
}

}  // namespace
