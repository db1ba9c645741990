// Page 18 "Dropbox": grants the program access to the user's cloud account
// through the user's browser, shows the account and gives the access up.
// The login's requests are the access layer's (cloud_files.h); the page
// starts the browser, waits for the user and shows each step.

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPointer>
#include <functional>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>

#include "access/access_slots.h"
#include "access/cloud_files.h"
#include "config/services.h"
#include "settings_dialog.h"
#include "settings_page_kit.h"
#include "ui/main/form_layout.h"

namespace tandex::settings {

using namespace kit;

namespace {

constexpr int kLoginSteps = 3;
constexpr int kBrowserPollMs = 50;
constexpr ui::TColor kBarGreen = 0x008000;
constexpr ui::TColor kBarSuccess = 0x7FBF7F;
constexpr ui::TColor kBarFailure = 0xA0A0FF;
constexpr int kShowSuccessMs = 10000;
constexpr int kShowFailureMs = 5000;

const QString kTandexCaption = QStringLiteral(" Tandex ");

// A left click on a label runs its handler.
class LabelClick : public QObject {
public:
    LabelClick(QLabel* label, std::function<void()> onClick) : QObject(label), onClick_(std::move(onClick)) {
        label->installEventFilter(this);
        label->setCursor(Qt::PointingHandCursor);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress ||
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        onClick_();
        return true;
    }

private:
    std::function<void()> onClick_;
};

// The account text comes with CR line ends; the memo breaks at "\n".
QString memoText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

void TF_SettingsNew::createPageCloud() {
    QWidget* panel = newPage(18, "P_Dropbox");
    QVBoxLayout* page = PageColumn(panel);

    QVBoxLayout* access = GroupColumn(Group(page, "GB_DBAccess", QStringLiteral(" Dropbox access: ")));
    lDBStatus = Label(access, "lDBStatus", QString());
    QFont bold = lDBStatus->font();
    bold.setBold(true);
    lDBStatus->setFont(bold);
    QHBoxLayout* buttons = Row(access);
    buttons->setSpacing(config::ScaleDpi(8));
    fbDBLogin = Button(buttons, "fbDBLogin", QStringLiteral("Grant access"), 150,
                       QStringLiteral(" Grant Tandex access to your Dropbox account "));
    fbDBLogin->SetMaxPos(kLoginSteps);
    fbDBLogin->SetBarColor(kBarGreen);
    fbRevokeAccess = Button(buttons, "fbRevokeAccess", QStringLiteral("Revoke access"), 120,
                            QStringLiteral(" Revoke the permission to access your dropbox files "));
    fbDBOInfo = Button(buttons, "fbDBOInfo", QStringLiteral("Account info"), 120,
                       QStringLiteral(" Show some Dropbox account information "));
    buttons->addStretch();
    L_SSLDLLsNotFound3 = Label(access, "L_SSLDLLsNotFound3", QStringLiteral(" OpenSSL libraries not found! "),
                               QStringLiteral(" Please click to get more information "));
    ui::SetLabelColor(L_SSLDLLsNotFound3, 0x0000FF);
    L_SSLDLLsNotFound3->hide();
    new LabelClick(L_SSLDLLsNotFound3, [this] { L_SSLDLLsNotFoundClick(); });

    QVBoxLayout* info = GroupColumn(Group(page, "GB_DBOInfo", QStringLiteral(" Account information: ")));
    mAccountInfo = named(new QPlainTextEdit, "mAccountInfo");
    mAccountInfo->setReadOnly(true);
    mAccountInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(config::ScaleDpi(12));
    mAccountInfo->setFont(fixed);
    mAccountInfo->setFixedHeight(config::ScaleDpi(190));
    info->addWidget(mAccountInfo);
    page->addStretch();

    fbDBLogin->OnClick = [this](QObject*) { fbDBLoginClick(); };
    fbRevokeAccess->OnClick = [this](QObject*) { fbRevokeAccessClick(); };
    fbDBOInfo->OnClick = [this](QObject*) { fbDBOInfoClick(); };
}

void TF_SettingsNew::openCloudPage() {
    timDBLogin->setInterval(1000);
    timDBLogin->setSingleShot(false);
    connect(timDBLogin, &QTimer::timeout, this, &TF_SettingsNew::timDBLoginTimer, Qt::UniqueConnection);
    mAccountInfo->clear();
    L_SSLDLLsNotFound3->setVisible(!access::FZSslAvailable());
    showCloudState();
}

void TF_SettingsNew::showCloudState() {
    setCloudStatus(access::FZCloudGranted() ? 1 : 0);
}

void TF_SettingsNew::setCloudStatus(quint8 status) {
    static const struct {
        const char* text;
        ui::TColor color;
    } kStates[] = {
        {"Access status: Not authorized", 0x000080},
        {"Access status: Authorized", 0x008000},
        {"Access status: Pending - Please wait...", 0xFF0000},
    };
    const auto& state = kStates[qMin<int>(status, 2)];
    lDBStatus->setText(QLatin1String(state.text));
    ui::SetLabelColor(lDBStatus, state.color);
    const bool tls = access::FZSslAvailable();
    fbDBOInfo->SetEnabled(status == 1 && tls);
    fbRevokeAccess->SetEnabled(fbDBOInfo->Enabled());
    fbDBLogin->SetEnabled(!fbDBOInfo->Enabled() && tls);
}

void TF_SettingsNew::cloudLoginStep(int step) {
    fbDBLogin->SetPosition(step);
    switch (step) {
        case 0: fbDBLogin->SetCaption(QStringLiteral("Get Request Token")); break;
        case 1: fbDBLogin->SetCaption(QStringLiteral("Authorize")); break;
        case 2: fbDBLogin->SetCaption(QStringLiteral("Get Access Token")); break;
        case 3:
            access::FZSetCloudGranted(true);
            fbDBLogin->SetCaption(QStringLiteral("Access Successful"));
            fbDBLogin->SetBarColor(kBarSuccess);
            fbDBLogin->SetEnabled(true);
            break;
        default: break;
    }
}

QString TF_SettingsNew::BrowserCommand() {
    const QString browser = qEnvironmentVariable("BROWSER");
    if (!browser.isEmpty()) return browser;
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

bool TF_SettingsNew::runBrowser(const QString& program, const QString& address) {
    QProcess browser;
    browser.setProgram(program);
    browser.setArguments({address});
    browser.setProcessChannelMode(QProcess::ForwardedChannels);
    browser.setStandardInputFile(QProcess::nullDevice());
    browser.start();
    if (!browser.waitForStarted()) return false;
    // Events keep running: the browser may take as long as the user likes.
    while (!browser.waitForFinished(kBrowserPollMs)) {
        if (browser.state() == QProcess::NotRunning) break;
        config::eventPump().processEvents();
    }
    return browser.exitStatus() == QProcess::NormalExit && browser.exitCode() == 0;
}

void TF_SettingsNew::fbDBLoginClick() {
    const QString browser = BrowserCommand();
    if (browser.isEmpty()) {
        config::showMessage(QStringLiteral("Tandex"), QStringLiteral("No browser found!"), config::MsgKind::Warning);
        return;
    }
    timDBLoginTimer();
    setCloudStatus(2);
    fbDBLogin->SetEnabled(false);
    QPointer<TF_SettingsNew> self(this);
    // The hook stays only while this dialog runs the grant: the events the
    // waits process may close the dialog.
    const auto gone = [&self] { return !self || self->closed_; };
    access::FZSetCloudLoginStepHook([self](int step) {
        if (self && !self->closed_) self->cloudLoginStep(step);
    });

    QString url;
    const int authorized = access::FZCloudAuthorize(url);
    const bool opened = authorized == 0 && !gone() && runBrowser(browser, url);
    bool exchanged = false;
    int result = -1;
    if (gone()) {
        // Nobody is left to approve: the stored grant is taken up again.
        access::FZSetCloudLoginStepHook(nullptr);
        access::FZCloudLoadToken();
        return;
    }
    if (authorized != 0) {
        // The request token never came; the grant held before stays.
        access::FZCloudLoadToken();
    } else if (!opened) {
        config::showMessage(QStringLiteral("Tandex"), QStringLiteral("Unable to open the browser!"),
                            config::MsgKind::Error);
        // The client holds the unused request token; the stored grant is
        // its own again, so that the next request is not refused.
        access::FZCloudLoadToken();
    } else if (config::showMessage(kTandexCaption, QStringLiteral("Please grant access in your browser,\rthen click OK."),
                                   config::MsgKind::Information, config::mbOK | config::mbCancel,
                                   config::mrOk) == config::mrOk &&
               !gone()) {
        cloudLoginStep(2);
        result = access::FZCloudGrant();
        exchanged = true;
    }
    access::FZSetCloudLoginStepHook(nullptr);
    if (gone()) {
        if (!exchanged)
            access::FZCloudLoadToken();
        else if (result != 0)
            access::FZCloudCheckAuth(401);
        return;
    }
    if (authorized != 0 || (opened && (!exchanged || result != 0))) {
        fbDBLogin->SetCaption(QStringLiteral("Failed!"));
        fbDBLogin->SetPosition(kLoginSteps);
        fbDBLogin->SetBarColor(kBarFailure);
        fbDBLogin->SetEnabled(true);
        timDBLogin->setInterval(kShowFailureMs);
        if (authorized == 0) access::FZCloudCheckAuth(401);
    } else if (exchanged) {
        cloudLoginStep(3);
        timDBLogin->setInterval(kShowSuccessMs);
    }
    showCloudState();
    timDBLogin->start();
}

void TF_SettingsNew::timDBLoginTimer() {
    timDBLogin->stop();
    fbDBLogin->SetPosition(0);
    fbDBLogin->SetBarColor(kBarGreen);
    fbDBLogin->SetCaption(QStringLiteral("Grant access"));
}

void TF_SettingsNew::fbDBOInfoClick() {
    const config::BusyCursor busy;
    mAccountInfo->setPlainText(QStringLiteral("Please wait..."));
    config::eventPump().processEvents();
    // "Ok" and "Apply" get back the state they had; the apply decides it.
    const bool ok = fbOk->Enabled(), apply = fbApply->Enabled();
    for (ui::TFlatButton2* b : {fbOk, fbApply, fbCancel, fbDBLogin, fbRevokeAccess, fbDBOInfo}) b->SetEnabled(false);
    QPointer<TF_SettingsNew> self(this);
    QString text;
    access::FZCloudAccountInfo(text);
    if (!self || closed_) return;
    mAccountInfo->setPlainText(memoText(text));
    fbOk->SetEnabled(ok);
    fbApply->SetEnabled(apply);
    fbCancel->SetEnabled(true);
    showCloudState();
}

void TF_SettingsNew::fbRevokeAccessClick() {
    if (config::showMessage(kTandexCaption,
                            QStringLiteral("Do you really want to revoke the permission to access your dropbox files?"),
                            config::MsgKind::Question, config::mbYes | config::mbNo, config::mrNo) != config::mrYes)
        return;
    mAccountInfo->clear();
    // The stored token pair goes too; kept, it would grant the access
    // again at the next start.
    access::FZCloudCheckAuth(401);
    showCloudState();
}

}  // namespace tandex::settings
