// The update window and the main window's side of the update: the Help
// menu's check against a real HTTPS server, the hidden check at start-up,
// and a close while that check runs.

#include "ui/print/online_update_window.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/tab_slots.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/print/update_server_fixture.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"
#include "ui/main/print_seams.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
using namespace tandex::print;

namespace {

// The install question is answered Yes, any other question with answer.
class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        if (request.caption.startsWith(" Installing")) return config::mrYes;
        return request.kind == config::MsgKind::Question || request.buttons != config::mbOK ? answer
                                                                                            : config::mrOk;
    }
    int answer = config::mrCancel;
};

class UpdateWindowTest : public tandex::testing::UpdateServerFixture {
protected:
    void SetUp() override {
        UpdateServerFixture::SetUp();
        config::setMessageSink(&sink_);
        realStart_ = F_Update().StartDetached;
        // The main window's pictures, the header image among them.
        QFile::copy(TANDEX_RESOURCE_ARCHIVE, config::PrgDir().GetProgramFolder() + "TandexRes.zipx");
    }
    void TearDown() override {
        F_Update().StartDetached = realStart_;
        ui::setUpdater(nullptr);
        services_.reset();
        main_.reset();
        config::setMessageSink(nullptr);
        UpdateServerFixture::TearDown();
    }
    // A main window with the update installed, past its start-up.
    ui::TF_Main& makeMain() {
        main_ = std::make_unique<ui::TF_Main>();
        services_ = std::make_unique<TUpdateServices>(main_.get());
        ui::setUpdater(services_.get());
        Watch(main_.get());
        main_->resize(900, 600);
        main_->move(100, 80);
        main_->show();
        main_->firePendingJobs();
        return *main_;
    }
    // The settings the main window reads at its start.
    static void startWith(int autoUpdate) {
        QFile ini(config::PrgDir().GetIniPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        // Written by the running version: no upgrade to report.
        ini.write("[Tandex]\r\nAFIniVersion=" + config::GetProgramVersion().toLatin1() +
                  "\r\nSUAutoUpdate=" + QByteArray::number(autoUpdate) + "\r\n");
    }
    QAction* checkItem() const { return main_->findChild<QAction*>("CheckforUpdates1"); }
    // The Help menu as the user opens it.
    bool checkItemShown() const {
        QAction* item = checkItem();
        if (!item) return false;
        for (QObject* o : item->associatedObjects())
            if (auto* menu = qobject_cast<QMenu*>(o)) emit menu->aboutToShow();
        return item->isVisible();
    }

    AnsweringSink sink_;
    std::function<bool(const QString&, const QStringList&, const QString&)> realStart_;
    std::unique_ptr<ui::TF_Main> main_;
    std::unique_ptr<TUpdateServices> services_;
};

TEST_F(UpdateWindowTest, HelpMenuShowsTheOfferWithTheHistory) {
    startWith(0);
    offer("2.3.7.1", "{\\b Version 2.3.7.1}\r\n - Folder comparison is faster\r\n - Fixed: the ruler");
    ui::TF_Main& main = makeMain();
    // The start has read the program's own version.
    config::CurrentVersion() = "2.3.6.251";
    ASSERT_TRUE(checkItemShown());

    bool seen = false;
    tandex::testing::OnNextModal([&](QWidget* modal) {
        auto* w = qobject_cast<TF_UpdateWindow*>(modal);
        ASSERT_NE(w, nullptr);
        seen = true;
        QTest::qWait(600);  // the repaint timer
        tandex::testing::GrabToPng(w, "update-window-offer");
        EXPECT_EQ(w->windowTitle(), " Update Tandex");
        EXPECT_EQ(w->L_Status1->text(), "There is an updated version of Tandex available!");
        EXPECT_EQ(w->L_Status2->text(), "Your version: 2.3.6.251  -  Available update version: 2.3.7.1");
        EXPECT_EQ(w->L_Status2->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_TRUE(w->reHistory->toPlainText().startsWith("Version 2.3.7.1\n - Folder comparison is faster"));
        EXPECT_TRUE(w->fbAction1->isVisible());
        EXPECT_EQ(w->fbAction1->Caption(), " Update to latest release");
        EXPECT_EQ(w->fbAction2->Caption(), "Cancel");
        EXPECT_FALSE(w->ProgressBar1->isVisible());
        EXPECT_FALSE(w->I_Header->pixmap().isNull());
        EXPECT_EQ(w->width(), config::ScaleDpi(640));
        // Never placed: the main window's default place.
        QWidget probe;
        probe.resize(w->size());
        probe.move(0, -1);
        EXPECT_EQ(w->pos(), main.defaultFormPos(&probe));
        // No check interferes with the main window's caret meanwhile.
        EXPECT_EQ(ui::updater().State(), 1);
        w->resize(w->width(), 450);
        tandex::testing::PressFlatButton(w, "fbAction2");
    });
    checkItem()->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(ui::updater().State(), ui::UpdateServices::kUpdateIdle);
    EXPECT_EQ(config::AppSettings().UFH, 450);
    EXPECT_FALSE(ui::updater().UpdateFailed());
}

TEST_F(UpdateWindowTest, InstallClosesTheMainWindowThroughItsSaveQuestion) {
    startWith(0);
    ui::TF_Main& main = makeMain();
    config::CurrentVersion() = "2.3.6.251";
    writeProgram(programFolder() + "tandex", standIn("2.3.6.251", "old"));
    offerProgram("2.3.7.1", standIn("2.3.7.1", "new"));
    const QString left = tmp_.filePath("l.txt"), right = tmp_.filePath("r.txt");
    writeProgram(left, "a\nb\n");
    writeProgram(right, "a\nc\n");
    main.loadAndCompare(3, left, right);
    tandex::engine::fccTabs().MarkPaneModified(1);
    QStringList started;
    F_Update().StartDetached = [&](const QString& program, const QStringList& arguments, const QString& folder) {
        started << program << arguments.mid(3) << folder;
        return true;
    };
    const QString marker = root() + "tdxupgrade.tdxu";

    // Cancel at the save question: the window stays and nothing happens.
    for (const int answer : {int(config::mrCancel), int(config::mrNo)}) {
        SCOPED_TRACE(answer);
        sink_.clear();
        sink_.answer = answer;
        tandex::testing::OnNextModal([](QWidget* w) { tandex::testing::PressFlatButton(w, "fbAction1"); });
        checkItem()->trigger();
        ASSERT_EQ(sink_.messages().size(), 2u);
        EXPECT_TRUE(sink_.messages()[0].caption.startsWith(" Installing"));
        EXPECT_TRUE(sink_.messages()[1].text.startsWith("The file in the left text compare pane is modified!"));
        if (answer == config::mrCancel) {
            EXPECT_TRUE(main.isVisible());
            EXPECT_FALSE(main.FormClosed());
            EXPECT_TRUE(started.isEmpty());
            EXPECT_FALSE(QFile::exists(marker));
            EXPECT_FALSE(QFile::exists(programFolder() + "tandex.update"));
            EXPECT_EQ(ui::updater().State(), ui::UpdateServices::kUpdateIdle);
        }
    }
    EXPECT_TRUE(main.FormClosed());
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(QFile::exists(config::PrgDir().GetIniPath()));
    EXPECT_EQ(contentOf(marker), "tandex.outdated\n");
    EXPECT_EQ(started, QStringList({"/bin/sh", QString::number(QCoreApplication::applicationPid()), "60", "tandex",
                                    "tandex.update", "tandex.outdated", marker, programFolder()}));
    EXPECT_EQ(contentOf(programFolder() + "tandex.update"), standIn("2.3.7.1", "new"));
}

TEST_F(UpdateWindowTest, WithoutAnAddressThereIsNoCheck) {
    qputenv("TANDEX_UPDATE_URL", "");
    startWith(1);
    makeMain();
    EXPECT_FALSE(checkItemShown());
    EXPECT_TRUE(requests().isEmpty());
}

TEST_F(UpdateWindowTest, FailedHiddenCheckAtStartReachesTheStatusBar) {
    startWith(1);
    ui::TF_Main& main = makeMain();
    EXPECT_TRUE(requestedPaths().contains("/Downloads/version-check.php"));
    EXPECT_EQ(ui::updater().State(), ui::UpdateServices::kUpdateIdle);
    EXPECT_TRUE(main.statusSnapshot().updateFailed);
    EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(UpdateWindowTest, CloseDuringAHiddenCheckStopsItAndClosesOnceItEnded) {
    startWith(1);
    // A version file that takes a while to arrive.
    serve("version-check.php", "2.3.7.1\n" + QByteArray(400, '#') + "\n");
    useServer("/slow");
    bool refused = false, abortAsked = false, busyCursor = false;
    ui::TF_Main* window = nullptr;
    QTimer::singleShot(100, [&] {
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(ui::updater().State(), 0);
        refused = !window->close();
        abortAsked = F_Update().UpdateAbort;
        busyCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    });
    main_ = std::make_unique<ui::TF_Main>();
    window = main_.get();
    services_ = std::make_unique<TUpdateServices>(window);
    ui::setUpdater(services_.get());
    window->resize(900, 600);
    window->show();
    window->firePendingJobs();
    EXPECT_TRUE(refused);
    EXPECT_TRUE(abortAsked);
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(ui::updater().State(), ui::UpdateServices::kUpdateIdle);
    // The close job asks again and now the window closes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->FormClosed(); }, 10000));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(requestedPaths().contains("/slow/Downloads/TandexHistoryE.txt"));
}

}  // namespace
