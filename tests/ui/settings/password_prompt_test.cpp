// The password prompt, driven as a user would: typing, Enter, the
// buttons; asked directly, from a worker thread, in a batch run and
// through the access layer's hook by a pane loading an encrypted member.

#include "ui/settings/password_prompt.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>

#include "access/password_prompt.h"
#include "config/scrambler.h"
#include "engine/pane_stores.h"
#include "tests/ui/main/compared_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/main_window_seams.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using namespace tandex::settings;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

// Types text as key events carrying each character; QTest's own typing
// knows only the keys of a Latin keyboard.
void typeText(QWidget* field, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(field, &release);
    }
}

class PasswordPromptTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override { passwordPlace() = {}; }
    void TearDown() override {
        WidgetTest::TearDown();
        passwordPlace() = {};
        ui::commandLine().SetBatchMode(false);
    }
    TF_Password prompt_;
};

TEST_F(PasswordPromptTest, TypedPasswordComesBackScrambledAsTyped) {
    // The last lies outside every single-byte code page.
    for (const QString& typed : {QStringLiteral("pw"), QStringLiteral("Grüße€"), QStringLiteral("Пароль密")}) {
        QString title;
        bool hidden = false, okAtFirst = true, shownWhenUnticked = false;
        OnNextModal([&](QWidget* form) {
            title = form->windowTitle();
            hidden = prompt_.E_Password->echoMode() == QLineEdit::Password && prompt_.CB_HidePW->isChecked();
            okAtFirst = prompt_.fbOk->Enabled();
            typeText(prompt_.E_Password, typed);
            tandex::testing::GrabToPng(form, QStringLiteral("PasswordPrompt-typed"));
            prompt_.CB_HidePW->click();
            shownWhenUnticked = prompt_.E_Password->echoMode() == QLineEdit::Normal;
            PressFlatButton(form, "fbOk");
        });
        const QString answer = prompt_.Ask(QStringLiteral("Zip decryption: Password required!"));
        EXPECT_EQ(title, QStringLiteral("Zip decryption: Password required!"));
        EXPECT_TRUE(hidden);
        EXPECT_FALSE(okAtFirst);
        EXPECT_TRUE(shownWhenUnticked);
        EXPECT_FALSE(prompt_.Cancelled);
        EXPECT_NE(answer, typed);
        EXPECT_EQ(config::UnscrambleText(answer), typed);
    }
}

TEST_F(PasswordPromptTest, CancelAndClosingGiveNothingAndTheNextPromptOpensWhereTheLastWasLeft) {
    struct Case {
        const char* how;
    } cases[] = {{"fbCancel"}, {"escape"}, {"close"}};
    QPoint opened;
    int n = 0;
    for (const Case& c : cases) {
        OnNextModal([&](QWidget* form) {
            opened = form->pos();
            QTest::keyClicks(prompt_.E_Password, QStringLiteral("secret"));
            form->move(200 + 10 * n, 150 + 10 * n);
            if (c.how == std::string("fbCancel"))
                PressFlatButton(form, "fbCancel");
            else if (c.how == std::string("escape"))
                QTest::keyClick(prompt_.E_Password, Qt::Key_Escape);
            else
                form->close();
        });
        EXPECT_EQ(prompt_.Ask(QStringLiteral(" FTP: Password required!")), QString()) << c.how;
        EXPECT_TRUE(prompt_.Cancelled) << c.how;
        if (n > 0) {
            EXPECT_EQ(opened, QPoint(200 + 10 * (n - 1), 150 + 10 * (n - 1))) << c.how;
        }
        EXPECT_EQ(passwordPlace().PasswordLeft, 200 + 10 * n);
        EXPECT_EQ(passwordPlace().PasswordTop, 150 + 10 * n);
        ++n;
    }
    // A fresh prompt opens there too.
    TF_Password again;
    OnNextModal([&](QWidget* form) {
        opened = form->pos();
        PressFlatButton(form, "fbCancel");
    });
    again.Ask(QStringLiteral("x"));
    EXPECT_EQ(opened, QPoint(220, 170));
}

TEST_F(PasswordPromptTest, EnterInTheEmptyFieldKeepsThePromptOpen) {
    bool openAfterEmptyEnter = false;
    OnNextModal([&](QWidget* form) {
        QTest::keyClick(prompt_.E_Password, Qt::Key_Return);
        QTest::qWait(20);
        openAfterEmptyEnter = form->isVisible();
        QTest::keyClicks(prompt_.E_Password, QStringLiteral("k"));
        QTest::keyClick(prompt_.E_Password, Qt::Key_Return);
    });
    const QString answer = prompt_.Ask(QStringLiteral("p"));
    EXPECT_TRUE(openAfterEmptyEnter);
    EXPECT_FALSE(prompt_.Cancelled);
    EXPECT_EQ(config::UnscrambleText(answer), QStringLiteral("k"));
}

TEST_F(PasswordPromptTest, WorkerThreadsAreAnsweredOnTheUserInterfaceThread) {
    bool onUiThread = false;
    OnNextModal([&](QWidget* form) {
        onUiThread = QThread::currentThread() == QApplication::instance()->thread();
        QTest::keyClicks(form->findChild<QLineEdit*>(QStringLiteral("E_Password")), QStringLiteral("pw"));
        PressFlatButton(form, "fbOk");
    });
    tandex::access::TPasswordAnswer answer;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer = AskPassword(QStringLiteral("Zip encryption: Password required!"));
        done = true;
    });
    // As the program does: the user-interface thread waits with its events pumped.
    for (int i = 0; i < 1000 && !done; ++i) QTest::qWait(10);
    worker.join();
    EXPECT_TRUE(onUiThread);
    EXPECT_FALSE(answer.cancelled);
    EXPECT_EQ(config::UnscrambleText(answer.scrambled), QStringLiteral("pw"));
}

TEST_F(PasswordPromptTest, BatchRunAnswersCancelledWithoutAWindow) {
    ui::commandLine().SetBatchMode(true);
    // A prompt would block the call: this closes it and tells.
    bool shown = false;
    QTimer::singleShot(50, [&shown] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shown = true;
            modal->close();
        }
    });
    const tandex::access::TPasswordAnswer answer = AskPassword(QStringLiteral("Zip decryption: Password required!"));
    QTest::qWait(100);
    EXPECT_TRUE(answer.cancelled);
    EXPECT_EQ(answer.scrambled, QString());
    EXPECT_FALSE(shown);
}

class PasswordHookTest : public tandex::testing::ComparedWindowFixture {
protected:
    void SetUp() override {
        ComparedWindowFixture::SetUp();
        tandex::access::SetPasswordPromptHook(AskPassword);
    }
    void TearDown() override {
        tandex::access::SetPasswordPromptHook(nullptr);
        tandex::access::SetLastZipPassword(QString());
        ComparedWindowFixture::TearDown();
    }
};

TEST_F(PasswordHookTest, EncryptedMemberLoadsIntoAPaneOnceThePasswordIsGiven) {
    ui::TF_Main& w = makeWindow();
    QTemporaryDir dir;
    const auto write = [&dir](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(QLatin1String(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QString plain = write("plain.txt", "one\nhidden\n");
    write("secret.txt", "one\nhidden\n");
    QProcess zip;
    zip.setWorkingDirectory(dir.path());
    zip.start(QStringLiteral("zip"), {QStringLiteral("-q"), QStringLiteral("-P"), QStringLiteral("Grüße"),
                                      QStringLiteral("locked.zip"), QStringLiteral("secret.txt")});
    ASSERT_TRUE(zip.waitForFinished(10000));
    ASSERT_EQ(zip.exitCode(), 0);
    w.loadAndCompare(3, plain, plain);

    QString asked;
    OnNextModal([&](QWidget* form) {
        asked = form->windowTitle();
        typeText(form->findChild<QLineEdit*>(QStringLiteral("E_Password")), QStringLiteral("Grüße"));
        PressFlatButton(form, "fbOk");
    });
    w.editedPathRight = dir.filePath(QStringLiteral("locked.zip/secret.txt"));
    w.LoadDirect(2);
    const auto& stores = engine::paneStores();
    EXPECT_EQ(asked, QStringLiteral("Zip decryption: Password required!"));
    EXPECT_EQ(stores.FileErrors[2], 0);
    EXPECT_EQ(stores.FileNames[2], QStringLiteral("secret.txt"));
    EXPECT_EQ(w.LastDiffCount, 0);
    ASSERT_EQ(stores.LineCount[2], 2);
    EXPECT_EQ(stores.TextLines[2][1]->Text, QStringLiteral("hidden"));
    w.invalidatePanes(true);
    QTest::qWait(20);
    std::printf("grab: %s\n", qPrintable(tandex::testing::GrabToPng(&w, QStringLiteral("PasswordHook.MemberLoaded"))));
}

}  // namespace
