// The after-upgrade check at start: what it reports, where the previous
// settings and program go, and the version comparison it relies on. The
// update check against a real HTTPS server, driven through a fake window.

#include "ui/print/online_update.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTextDocument>

#include <sys/stat.h>
#include <unistd.h>

#include "access/ini_file_adapter.h"
#include "config/app_settings.h"
#include "config/ini_file_access.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "config/settings_file.h"
#include "tests/access/as_nobody.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/print/update_server_fixture.h"
#include "ui/main/rtf_reader.h"

namespace config = tandex::config;
using namespace tandex::print;

namespace {

class AfterUpgradeTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QDir().mkpath(tmp_.filePath("bin"));
        QDir().mkpath(config::PrgDir().GetWritableRoot());
        config::setMessageSink(&sink_);
        config::SetIniFileAccess(&files_);
    }
    void TearDown() override {
        config::setMessageSink(nullptr);
        config::SetIniFileAccess(nullptr);
        F_Update().FileVersion = config::GetFileVersionText;
        MainWindowFixture::TearDown();
    }
    // Starts with a settings file that the version given wrote (none for a
    // null text) and runs the check.
    void start(const char* writtenBy) {
        const QString ini = config::PrgDir().GetIniPath();
        QFile::remove(ini);
        if (writtenBy) write(ini, QByteArray("[Tandex]\r\nAFIniVersion=") + writtenBy + "\r\nTETabSize=5\r\n");
        config::LoadSettings();
        sink_.clear();
        F_Update().AfterUpgrade(QStringLiteral("Tandex"), QStringLiteral("  Tandex Compare"));
    }
    static void write(const QString& path, const QByteArray& data) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(data);
    }
    static QString backups() { return config::AppBackupsFolder(); }
    std::string report() const {
        const auto shown = sink_.messages();
        return (shown.size() == 1 ? shown[0].text : QStringLiteral("<%1 messages>").arg(shown.size())).toStdString();
    }

    config::RecordingMessageSink sink_;
    tandex::access::TIniFileAdapter files_;
};

TEST_F(AfterUpgradeTest, ReportsTheVersionChangeAndKeepsThePreviousSettings) {
    const QString running = config::CurrentVersion();
    const QString marker = config::PrgDir().GetWritableRoot() + "tdxupgrade.tdxu";
    struct Case {
        const char* writtenBy;
        bool selfUpdated;  // the updater left its marker
        QString firstLine;
        QString folder;  // below the backup folder
    } cases[] = {
        {"0.0.1", false, "You have upgraded to a newer version of Tandex (v" + running + ")!", "0.0.1"},
        {"999.1", true, "The downgrade of Tandex to version " + running + " is now complete!", "999.1"},
        {"0.0.1", true, "The upgrade of Tandex to version " + running + " is now complete!", "0.0.1"},
        // No version stored counts as an upgrade; the copy lands in the folder itself.
        {"", false, "You have upgraded to a newer version of Tandex (v" + running + ")!", ""},
        // A version that is not a number is not newer.
        {"x", false, "You have downgraded to an older version of Tandex (v" + running + ")!", "x"},
        // A stored version cannot lead the copy out of the backup folder.
        {"../../escaped", false, "You have downgraded to an older version of Tandex (v" + running + ")!",
         ".._.._escaped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.writtenBy);
        if (c.selfUpdated) write(marker, "tandex.outdated\r\n");
        start(c.writtenBy);
        EXPECT_EQ(report(), (c.firstLine + "\n\nThe previous configuration file (Tandex.ini) has been saved in folder: " +
                             backups() + c.folder)
                                .toStdString());
        ASSERT_EQ(sink_.messages().size(), 1u);
        EXPECT_EQ(sink_.messages()[0].caption, "Tandex installation");
        EXPECT_EQ(sink_.messages()[0].kind, config::MsgKind::Information);
        EXPECT_FALSE(QFile::exists(marker));
        QFile copy(backups() + (c.folder.isEmpty() ? QString() : c.folder + "/") + "Tandex.ini");
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_TRUE(copy.readAll().contains(QByteArray("AFIniVersion=") + c.writtenBy + "\r\n"));
        EXPECT_EQ(config::AppSettings().AFIniVersion, running);
        EXPECT_TRUE(F_Update().Initialized);
        EXPECT_EQ(F_Update().AppTitle, "Tandex Compare");
    }
    EXPECT_FALSE(QFile::exists(tmp_.filePath("escaped")));
    EXPECT_FALSE(QFile::exists(QDir(backups()).filePath("../../escaped")));
}

TEST_F(AfterUpgradeTest, SameVersionOrNoSettingsFileReportsNothing) {
    const QString running = config::CurrentVersion();
    start(running.toUtf8().constData());
    EXPECT_TRUE(sink_.messages().empty());
    start(nullptr);
    EXPECT_TRUE(sink_.messages().empty());
    // The next save then records the running version.
    EXPECT_EQ(config::AppSettings().AFIniVersion, running);
    EXPECT_TRUE(QDir(backups()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(AfterUpgradeTest, ReplacedProgramMovesWithTheSettingsIntoItsVersionFolder) {
    const QString outdated = config::PrgDir().GetProgramFolder() + "tandex.outdated";
    write(outdated, "old program");
    F_Update().FileVersion = [&](const QString& path) { return path == outdated ? QString("1.2.3") : QString(); };
    start("1.2.3");
    const QString folder = backups() + "r1.2.3/";
    EXPECT_EQ(report(), ("You have downgraded to an older version of Tandex (v" + config::CurrentVersion() +
                         ")!\n\nThe previous version of tandex has been saved together with the "
                         "configuration file (Tandex.ini) in folder: " +
                         folder + "\n")
                            .toStdString());
    EXPECT_FALSE(QFile::exists(outdated));
    QFile moved(folder + "tandex");
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), "old program");
    EXPECT_TRUE(QFile::exists(folder + "Tandex.ini"));
    EXPECT_FALSE(QFile::exists(backups() + "1.2.3"));
}

TEST_F(AfterUpgradeTest, UpgradeByTheUpdaterReadsTheReplacedProgramsVersionFromItsFile) {
    const QString outdated = config::PrgDir().GetProgramFolder() + "tandex.outdated";
    const QByteArray old = "#!/bin/sh\n# " + config::VersionMarker("2.3.6.251") + "\necho old\n";
    write(outdated, old);
    write(config::PrgDir().GetWritableRoot() + "tdxupgrade.tdxu", "tandex.outdated\n");
    write(config::PrgDir().GetIniPath(), "[Tandex]\r\nAFIniVersion=2.3.6.251\r\n");
    config::LoadSettings();
    config::CurrentVersion() = "2.3.7.1";
    F_Update().AfterUpgrade(QStringLiteral("Tandex"), QStringLiteral("Tandex"));
    const QString folder = backups() + "r2.3.6.251/";
    EXPECT_EQ(report(), ("The upgrade of Tandex to version 2.3.7.1 is now complete!\n\nThe previous version of "
                         "tandex has been saved together with the configuration file (Tandex.ini) in folder: " +
                         folder + "\n")
                            .toStdString());
    QFile moved(folder + "tandex");
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), old);
    EXPECT_TRUE(QFile::exists(folder + "Tandex.ini"));
    EXPECT_FALSE(QFile::exists(outdated));
    EXPECT_FALSE(QFile::exists(config::PrgDir().GetWritableRoot() + "tdxupgrade.tdxu"));
    config::CurrentVersion() = config::GetProgramVersion();
}

TEST(ProgramVersionTest, TheBuiltProgramCarriesItsVersion) {
    EXPECT_EQ(config::GetFileVersionText(TANDEX_EXE), config::GetProgramVersion());
}

TEST(IsNewerVersionTest, NewerOnlyWhenGreaterAtTheFirstDifference) {
    const struct {
        const char* candidate;
        bool newer;
        bool valid;
    } cases[] = {{"2.3.7.1", true, true},    {"2.3.6.251", false, true}, {"2.3.6.251.1", false, true},
                 {"2.4", true, true},        {"2.3", false, true},       {"3.0.0.0", true, true},
                 {"2.2.9.999", false, true}, {"", false, false},         {"2.x", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.candidate);
        bool valid = false;
        EXPECT_EQ(IsNewerVersion("2.3.6.251", c.candidate, valid), c.newer);
        EXPECT_EQ(valid, c.valid);
    }
}

// Records what the check shows; a modal run returns at once unless the
// test acts inside it.
class FakeUpdateWindow : public TUpdateWindow {
public:
    void Prepare(int height) override { preparedHeight = height; }
    void ViewChanged(const TUpdateView& view) override {
        views.push_back(view);
        if (onView) onView(view);
    }
    void LoadHistory(const QByteArray& rtf) override {
        QTextDocument doc;
        tandex::ui::ReadRtf(rtf, doc);
        history = doc.toPlainText();
    }
    void MoveTo(const QPoint& position) override { at = position; }
    void SetVisible(bool visible) override { everVisible = everVisible || visible; }
    void ShowModal() override {
        ++modalRuns;
        modalView = F_Update().View;
        modalState = F_Update().UpdateState;
        if (onModal) onModal();
    }
    void EndModal(int result) override { endedWith = result; }
    void SetRepaintTimer(bool) override {}

    bool showedStatus(const QString& prefix) const {
        for (const auto& v : views)
            if (v.Status1.startsWith(prefix)) return true;
        return false;
    }

    int preparedHeight = 0;
    std::vector<TUpdateView> views;
    std::function<void(const TUpdateView&)> onView;
    std::function<void()> onModal;
    QString history;
    QPoint at;
    bool everVisible = false;
    int modalRuns = 0;
    TUpdateView modalView;
    int modalState = -1;
    int endedWith = -1;
};

class UpdateCheckTest : public tandex::testing::UpdateServerFixture {
protected:
    void SetUp() override {
        UpdateServerFixture::SetUp();
        fake_ = std::make_unique<FakeUpdateWindow>();
        F_Update().Window = fake_.get();
        // Every hidden check is due unless a test says otherwise.
        config::AppSettings().SUAutoUpdate = 1;
    }
    int check(bool shown) { return F_Update().CheckForUpdate(QPoint(30, 40), shown); }
    static void writeLastCheck(const QByteArray& line) {
        QFile f(root() + "Tandex.lastUpdateCheck");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(line + "\n");
    }
    static QByteArray hoursAgo(int hours) {
        return QDateTime::currentDateTime().addSecs(-3600 * hours).toString(Qt::ISODate).toLatin1();
    }
    std::unique_ptr<FakeUpdateWindow> fake_;
};

TEST_F(UpdateCheckTest, HiddenCheckRunsOnlyWhenDue) {
    offer("2.3.6.251");
    struct Case {
        int autoUpdate;
        const char* lastCheck;  // nullptr: no file; "" an hour ago; else the line
        int hoursAgo;
        bool due;
    } cases[] = {
        {2, "", 1, false},        {2, "", 25, true},      {1, "", 1, true},
        {3, "", 6 * 24, false},   {3, "", 8 * 24, true},  {4, "", 29 * 24, false},
        {2, "yesterday", 0, true}, {2, nullptr, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.autoUpdate << " " << (c.lastCheck ? c.lastCheck : "none") << " "
                                        << c.hoursAgo);
        config::AppSettings().SUAutoUpdate = c.autoUpdate;
        QFile::remove(root() + "Tandex.lastUpdateCheck");
        clearRequests();
        if (c.lastCheck) writeLastCheck(*c.lastCheck ? QByteArray(c.lastCheck) : hoursAgo(c.hoursAgo));
        EXPECT_EQ(F_Update().UpdateDue(), c.due);
        EXPECT_EQ(check(false), 2);
        EXPECT_EQ(requestedPaths().contains("/Downloads/version-check.php"), c.due);
        EXPECT_EQ(fake_->modalRuns, 0);
        EXPECT_FALSE(fake_->everVisible);
        EXPECT_EQ(F_Update().UpdateState, 10);
    }
}

TEST_F(UpdateCheckTest, FailedVersionDownloadIsSilentWhenHiddenAndShownInRedOtherwise) {
    struct Case {
        const char* prefix;
        const char* error;
    } cases[] = {{"", "Socket Error 404: File not found at the specified URL!"},
                 {"/error500", "Socket Error 500: Error: 500"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix);
        useServer(c.prefix);
        *fake_ = FakeUpdateWindow();
        EXPECT_EQ(check(false), 7);
        EXPECT_EQ(fake_->modalRuns, 0);
        EXPECT_FALSE(fake_->everVisible);
        EXPECT_TRUE(F_Update().UpdateFailed());
        EXPECT_FALSE(QFile::exists(root() + "Tandex.ver"));
        EXPECT_FALSE(QFile::exists(root() + "Tandex.lastUpdateCheck"));

        *fake_ = FakeUpdateWindow();
        EXPECT_EQ(check(true), 7);
        // A shown check is no hidden one: the status bar stays quiet.
        EXPECT_FALSE(F_Update().UpdateFailed());
        ASSERT_EQ(fake_->modalRuns, 1);
        EXPECT_EQ(fake_->modalView.Status1, "Download failed - Please try again!");
        EXPECT_EQ(fake_->modalView.Status2, c.error);
        EXPECT_TRUE(fake_->modalView.Status2Error);
        EXPECT_TRUE(fake_->modalView.Action2.Visible);
        EXPECT_EQ(fake_->modalView.Action2.Caption, "Cancel");
    }
}

TEST_F(UpdateCheckTest, NewerReleaseIsOfferedWithItsHistoryEvenFromAHiddenCheck) {
    offer("2.3.7.1", "What is new in 2.3.7.1");
    config::AppSettings().UFH = 456;
    EXPECT_EQ(check(false), 1);
    ASSERT_EQ(fake_->modalRuns, 1);
    EXPECT_EQ(fake_->modalState, 1);
    const TUpdateView& v = fake_->modalView;
    EXPECT_EQ(v.Caption, " Update Tandex");
    EXPECT_EQ(v.Status1, "There is an updated version of Tandex available!");
    EXPECT_EQ(v.Status2, "Your version: 2.3.6.251  -  Available update version: 2.3.7.1");
    EXPECT_FALSE(v.Status2Error);
    EXPECT_TRUE(v.Action1.Visible);
    EXPECT_EQ(v.Action1.Caption, " Update to latest release");
    EXPECT_EQ(v.Action2.Caption, "Cancel");
    EXPECT_EQ(fake_->history, "What is new in 2.3.7.1\n");
    EXPECT_EQ(fake_->preparedHeight, 456);
    EXPECT_EQ(fake_->at, QPoint(30, 40));
    // The progress of a transfer whose length is known.
    EXPECT_TRUE(fake_->showedStatus("Downloading ... 100%"));
    EXPECT_FALSE(F_Update().UpdateFailed());
    EXPECT_EQ(F_Update().ReleaseVersion, "2.3.7.1");
    EXPECT_EQ(F_Update().InstallerPath, "download-tandex-tdx.php");

    EXPECT_FALSE(QFile::exists(root() + "Tandex.ver"));
    EXPECT_FALSE(QFile::exists(root() + "TandexHistory.txt"));
    QFile last(root() + "Tandex.lastUpdateCheck");
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    const QDateTime written = QDateTime::fromString(QString::fromLatin1(last.readLine()).trimmed(), Qt::ISODate);
    ASSERT_TRUE(written.isValid());
    EXPECT_LE(qAbs(written.secsTo(QDateTime::currentDateTime())), 60);

    // No beta is looked for once a release is newer; every request asks
    // past the caches.
    const QString headers = " cache=no-cache pragma=no-cache accept=text/html, */*";
    EXPECT_EQ(requests(), QStringList({"GET /Downloads/version-check.php" + headers,
                                       "GET /Downloads/TandexHistoryE.txt" + headers}));
}

TEST_F(UpdateCheckTest, UpToDateWithBetasOffPointsToTheBetaSetting) {
    offer("2.3.6.251");
    config::AppSettings().SUBetaVers = false;
    EXPECT_EQ(check(true), 2);
    ASSERT_EQ(fake_->modalRuns, 1);
    const TUpdateView& v = fake_->modalView;
    EXPECT_EQ(v.Status1, "Your version (2.3.6.251) of Tandex is up-to-date!");
    EXPECT_EQ(v.Status2,
              "The check for beta versions is currently disabled, you can enable it under:\n"
              "Settings->Startup->Check for beta versions");
    EXPECT_FALSE(v.Action1.Visible);
    EXPECT_EQ(v.Action2.Caption, "  OK  ");
    EXPECT_EQ(v.Action2.ModalResult, config::mrOk);
    EXPECT_FALSE(requestedPaths().join(' ').contains("beta/"));
    EXPECT_TRUE(QFile::exists(root() + "Tandex.lastUpdateCheck"));
}

TEST_F(UpdateCheckTest, BetasOnOfferANewerBetaAndAMissingBetaStaysSilent) {
    config::AppSettings().SUBetaVers = true;
    offer("2.3.6.251", "Release history");
    EXPECT_EQ(check(true), 2);
    EXPECT_EQ(fake_->modalView.Status1, "Your version (2.3.6.251) of Tandex is up-to-date!");
    EXPECT_EQ(fake_->modalView.Status2, "");
    EXPECT_FALSE(fake_->modalView.Status2Error);
    EXPECT_EQ(fake_->history, "Release history\n");
    EXPECT_TRUE(requestedPaths().contains("/Downloads/beta/Tandex.ver"));

    serve("beta/Tandex.ver", "2.3.7.0\n");
    serve("beta/TandexHistoryE.txt", "#hbegin:History\r\nBeta history\r\n#hend\r\n");
    *fake_ = FakeUpdateWindow();
    EXPECT_EQ(check(true), 1);
    const TUpdateView& v = fake_->modalView;
    EXPECT_EQ(v.Status1, "There is a new beta version of Tandex available!");
    EXPECT_EQ(v.Status2, "Your release version: 2.3.6.251  -  Available beta version: 2.3.7.0");
    EXPECT_EQ(v.Action1.Caption, " Update to latest beta");
    EXPECT_TRUE(v.Action1.Visible);
    EXPECT_TRUE(F_Update().BetaAvailable);
    EXPECT_EQ(fake_->history, "Beta history\n");
    EXPECT_FALSE(QFile::exists(root() + "Tandex.bver"));
}

TEST_F(UpdateCheckTest, VersionLineThatIsNoVersionGivesState8) {
    offer("2.3.x");
    config::AppSettings().SUBetaVers = false;
    EXPECT_EQ(check(false), 8);
    EXPECT_EQ(fake_->modalRuns, 0);
    EXPECT_TRUE(F_Update().UpdateFailed());
    EXPECT_EQ(fake_->views.back().Status1, "Error: Invalid version string!");
    EXPECT_FALSE(QFile::exists(root() + "Tandex.lastUpdateCheck"));
}

TEST_F(UpdateCheckTest, TransfersFollowRedirectsShowNoProgressWithoutALengthAndStopOnAbort) {
    offer("2.3.7.1");
    useServer("/redirect");
    EXPECT_EQ(check(false), 1);
    EXPECT_TRUE(requestedPaths().contains("/redirect/Downloads/version-check.php"));
    EXPECT_TRUE(requestedPaths().contains("/Downloads/version-check.php"));

    useServer("/nolength");
    *fake_ = FakeUpdateWindow();
    EXPECT_EQ(check(false), 1);
    EXPECT_EQ(fake_->history, "Version history line\n");
    EXPECT_FALSE(fake_->showedStatus("Downloading"));

    // Long enough to arrive in several pieces.
    serve("version-check.php", "2.3.7.1\n" + QByteArray(200, '#') + "\n");
    useServer("/slow");
    *fake_ = FakeUpdateWindow();
    fake_->onView = [](const TUpdateView& v) {
        if (v.Status1.startsWith("Downloading")) F_Update().UpdateAbort = true;
    };
    EXPECT_EQ(check(false), 6);
    EXPECT_EQ(fake_->views.back().Status1, "Download aborted!");
    EXPECT_EQ(fake_->modalRuns, 0);
    EXPECT_FALSE(F_Update().UpdateFailed());
    EXPECT_FALSE(QFile::exists(root() + "Tandex.ver"));
    // A stopped check asks for nothing more.
    EXPECT_FALSE(requestedPaths().contains("/slow/Downloads/TandexHistoryE.txt"));
}

TEST_F(UpdateCheckTest, CancelEndsTheWindowAndAbortsARunningTransfer) {
    offer("2.3.7.1");
    fake_->onModal = [] { F_Update().fbAction2Click(); };
    EXPECT_EQ(check(true), 6);
    EXPECT_EQ(fake_->endedWith, config::mrCancel);

    offer("2.3.6.251");
    config::AppSettings().SUBetaVers = false;
    *fake_ = FakeUpdateWindow();
    fake_->onModal = [] { F_Update().fbAction2Click(); };
    EXPECT_EQ(check(true), 2);
    EXPECT_EQ(fake_->endedWith, config::mrOk);

    // During the check the button stops the transfer and keeps the window.
    *fake_ = FakeUpdateWindow();
    fake_->onView = [](const TUpdateView& v) {
        if (v.Status1.startsWith("Downloading") && !F_Update().UpdateAbort) F_Update().fbAction2Click();
    };
    EXPECT_EQ(check(true), 6);
    EXPECT_EQ(fake_->endedWith, -1);
    EXPECT_EQ(fake_->modalView.Status1, "Download aborted!");
    EXPECT_FALSE(fake_->modalView.Action1.Visible);
}

TEST_F(UpdateCheckTest, UninitializedUpdateSaysSo) {
    config::RecordingMessageSink sink;
    config::setMessageSink(&sink);
    F_Update().Initialized = false;
    EXPECT_EQ(check(true), 9);
    config::setMessageSink(nullptr);
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].caption, "Update error");
    EXPECT_EQ(sink.messages()[0].text, "Update not initialized!");
    EXPECT_TRUE(requests().isEmpty());
}

// Answers questions as told; records every message.
class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        RecordingMessageSink::showMessage(request);
        return request.kind == config::MsgKind::Question ? answer : config::mrOk;
    }
    int answer = config::mrNo;
};

// Where the desktop was asked to open a folder.
class UrlCatcher : public QObject {
    Q_OBJECT

public slots:
    void open(const QUrl& url) { opened << url; }

public:
    QList<QUrl> opened;
};

// The Update button and the installation: stand-in programs (shell scripts
// that log their start) in the program folder and on the server, a stand-in
// process for the running program, and the install script run for real.
class UpdateInstallTest : public UpdateCheckTest {
protected:
    void SetUp() override {
        UpdateCheckTest::SetUp();
        config::setMessageSink(&sink_);
        writeProgram(program(), standIn("2.3.6.251", "old"));
        oldBytes_ = contentOf(program());
        newBytes_ = standIn("2.3.7.1", "new");
        auto& u = F_Update();
        realStart_ = u.StartDetached;
        u.StartDetached = [this](const QString& p, const QStringList& a, const QString& f) {
            ++started_;
            startedWith_ = a;
            return realStart_(p, a, f);
        };
        u.CloseMainWindow = [this] {
            ++closes_;
            if (beforeClose_) beforeClose_();
            return mayClose_;
        };
        QDesktopServices::setUrlHandler("file", &urls_, "open");
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("file");
        endStandIn();
        ::chmod(QFile::encodeName(programFolder()).constData(), 0755);
        auto& u = F_Update();
        u.StartDetached = realStart_;
        u.CloseMainWindow = nullptr;
        u.InstallWaitsFor = 0;
        u.InstallWaitSeconds = 60;
        config::setMessageSink(nullptr);
        UpdateCheckTest::TearDown();
    }
    // A shown check that finds the offer; Update is pressed in its window
    // and the install question answered.
    int update(int answer) {
        sink_.answer = answer;
        fake_->onModal = [] { F_Update().fbAction1Click(); };
        return check(true);
    }
    // The install up to the script's start, which then finds the program
    // ended.
    void installAndLetGo() {
        F_Update().InstallWaitsFor = startStandIn();
        EXPECT_EQ(update(config::mrYes), 5);
        EXPECT_EQ(started_, 1);
        endStandIn();
    }
    qint64 startStandIn() {
        standInProcess_.start("sleep", {"60"});
        EXPECT_TRUE(standInProcess_.waitForStarted());
        return standInProcess_.processId();
    }
    void endStandIn() {
        if (standInProcess_.state() == QProcess::NotRunning) return;
        standInProcess_.kill();
        standInProcess_.waitForFinished();
    }
    bool waitForRuns(const QByteArray& expected) {
        return QTest::qWaitFor([&] { return runs() == expected; }, 20000);
    }
    QString program() const { return programFolder() + "tandex"; }
    QString replaced() const { return programFolder() + "tandex.outdated"; }
    QString download() const { return programFolder() + "tandex.update"; }
    QString marker() const { return root() + "tdxupgrade.tdxu"; }
    static void setMode(const QString& folder, mode_t mode) {
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode), 0);
    }

    AnsweringSink sink_;
    UrlCatcher urls_;
    QProcess standInProcess_;
    QByteArray oldBytes_, newBytes_;
    std::function<bool(const QString&, const QStringList&, const QString&)> realStart_;
    int started_ = 0, closes_ = 0;
    QStringList startedWith_;
    bool mayClose_ = true;
    std::function<void()> beforeClose_;
};

TEST_F(UpdateInstallTest, UpdateDownloadsAndVerifiesTheProgramBeforeAskingToInstall) {
    offerProgram("2.3.7.1", newBytes_);
    std::vector<std::pair<int, TUpdateView>> shown;
    fake_->onView = [&](const TUpdateView& v) { shown.emplace_back(F_Update().UpdateState, v); };
    fake_->onModal = [&] {
        F_Update().fbAction1Click();
        EXPECT_EQ(F_Update().UpdateState, 5);
        EXPECT_EQ(contentOf(download()), newBytes_);
        EXPECT_TRUE(QFileInfo(download()).isExecutable());
        // Cancel throws the new program away.
        F_Update().fbAction2Click();
        EXPECT_FALSE(QFile::exists(download()));
    };
    sink_.answer = config::mrNo;
    EXPECT_EQ(check(true), 6);
    EXPECT_EQ(fake_->endedWith, config::mrCancel);

    bool downloading = false;
    for (const auto& [state, v] : shown)
        if (state == 4 && v.Action2.Kind == 2 && v.Status1.startsWith("Downloading")) {
            downloading = true;
            EXPECT_EQ(v.Action2.Caption, " Abort");
            EXPECT_FALSE(v.Action1.Enabled);
            EXPECT_TRUE(v.ProgressVisible);
        }
    EXPECT_TRUE(downloading);
    const TUpdateView& ready = F_Update().View;
    EXPECT_EQ(ready.Action1.Caption, "   Install Tandex");
    EXPECT_TRUE(ready.Action1.Enabled);
    EXPECT_EQ(ready.Action2.Caption, "Cancel");

    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_EQ(sink_.messages()[0].caption, " Installing Tandex version 2.3.7.1");
    EXPECT_EQ(sink_.messages()[0].text,
              "Tandex will now be closed in order to allow the new version to be installed. After installation, "
              "the new version will be started automatically.\n\nHint:\nFor any roll-back purposes, the "
              "installation process saves your current version of tandex and Tandex.ini to folder: " +
                  config::AppBackupsFolder() + "\n\nDo you want to continue?");
    EXPECT_EQ(closes_, 0);
    EXPECT_EQ(started_, 0);
    EXPECT_FALSE(QFile::exists(marker()));
}

TEST_F(UpdateInstallTest, ADownloadThatIsNotTheOfferedProgramIsDeletedAndOfferedAgain) {
    const QByteArray wrongSum(64, 'a'), noSum;
    struct Case {
        const char* name;
        QByteArray program;
        const QByteArray* checksumLine;
        QString reason;
    } cases[] = {
        {"missing", {}, nullptr, "Socket Error 404: File not found at the specified URL!"},
        {"checksum", newBytes_, &wrongSum, "The downloaded file does not match its checksum!"},
        {"no line 2", newBytes_, &noSum, "The version file gives no checksum of the new program!"},
        {"version", standIn("2.3.7.0", "new"), nullptr, "The downloaded file is not version 2.3.7.1 but 2.3.7.0!"},
        {"unmarked", "#!/bin/sh\necho new\n", nullptr, "The downloaded file is not version 2.3.7.1!"},
        {"empty", "", nullptr, "The downloaded file is empty!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        offerProgram("2.3.7.1", c.program, c.checksumLine);
        if (std::string(c.name) == "missing") QFile::remove(downloads() + "download-tandex-tdx.php");
        *fake_ = FakeUpdateWindow();
        int state = -1;
        TUpdateView after;
        fake_->onModal = [&] {
            F_Update().fbAction1Click();
            state = F_Update().UpdateState;
            after = F_Update().View;
        };
        EXPECT_EQ(check(true), 1);
        EXPECT_EQ(state, 1);
        EXPECT_EQ(after.Status1, "Download failed - Please try again!");
        EXPECT_EQ(after.Status2, c.reason);
        EXPECT_TRUE(after.Status2Error);
        EXPECT_TRUE(after.Action1.Enabled);
        EXPECT_EQ(after.Action2.Kind, 0);
        EXPECT_FALSE(F_Update().UpdateAbort);
        EXPECT_FALSE(QFile::exists(download()));
        EXPECT_TRUE(sink_.messages().empty());
    }
}

TEST_F(UpdateInstallTest, InstallWaitsForTheProgramToEndThenSwapsAndStartsTheNewOne) {
    offerProgram("2.3.7.1", newBytes_);
    // The main window stays open: nothing is written or started.
    mayClose_ = false;
    EXPECT_EQ(update(config::mrYes), 6);
    EXPECT_EQ(closes_, 1);
    EXPECT_EQ(started_, 0);
    EXPECT_FALSE(QFile::exists(marker()));
    EXPECT_FALSE(QFile::exists(download()));
    EXPECT_EQ(contentOf(program()), oldBytes_);

    mayClose_ = true;
    const qint64 standIn = startStandIn();
    F_Update().InstallWaitsFor = standIn;
    *fake_ = FakeUpdateWindow();
    EXPECT_EQ(update(config::mrYes), 5);
    EXPECT_EQ(fake_->endedWith, config::mrOk);
    EXPECT_EQ(closes_, 2);
    ASSERT_EQ(started_, 1);
    EXPECT_EQ(startedWith_.mid(3), QStringList({QString::number(standIn), "60", "tandex", "tandex.update",
                                                "tandex.outdated", marker()}));
    EXPECT_EQ(contentOf(marker()), "tandex.outdated\n");
    // While that process lives, nothing changes.
    QTest::qWait(500);
    EXPECT_EQ(contentOf(program()), oldBytes_);
    EXPECT_EQ(contentOf(download()), newBytes_);
    EXPECT_FALSE(QFile::exists(replaced()));
    EXPECT_TRUE(runs().isEmpty());

    endStandIn();
    ASSERT_TRUE(waitForRuns("new\n")) << runs().constData();
    EXPECT_EQ(contentOf(program()), newBytes_);
    EXPECT_EQ(contentOf(replaced()), oldBytes_);
    EXPECT_FALSE(QFile::exists(download()));
    // The next start reports the upgrade.
    EXPECT_TRUE(QFile::exists(marker()));
}

TEST_F(UpdateInstallTest, ANewProgramThatCannotRunGivesThePlaceBackToTheOldOne) {
    offerProgram("2.3.7.1", standIn("2.3.7.1", "new", "/nonexistent/interpreter"));
    installAndLetGo();
    ASSERT_TRUE(waitForRuns("old\n")) << runs().constData();
    EXPECT_EQ(contentOf(program()), oldBytes_);
    EXPECT_FALSE(QFile::exists(replaced()));
    EXPECT_FALSE(QFile::exists(marker()));
}

TEST_F(UpdateInstallTest, AProgramFolderThatTurnedReadOnlyKeepsTheOldProgram) {
    if (::geteuid() == 0) {
        tandex::testing::RunAsNobody();
        return;
    }
    offerProgram("2.3.7.1", newBytes_);
    beforeClose_ = [this] { setMode(programFolder(), 0555); };
    installAndLetGo();
    ASSERT_TRUE(waitForRuns("old\n")) << runs().constData();
    EXPECT_EQ(contentOf(program()), oldBytes_);
    EXPECT_FALSE(QFile::exists(replaced()));
    EXPECT_FALSE(QFile::exists(marker()));
}

TEST_F(UpdateInstallTest, AProgramThatDoesNotEndInTimeIsLeftAlone) {
    offerProgram("2.3.7.1", newBytes_);
    F_Update().InstallWaitSeconds = 1;
    F_Update().InstallWaitsFor = startStandIn();
    EXPECT_EQ(update(config::mrYes), 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(marker()); }, 20000));
    EXPECT_EQ(contentOf(program()), oldBytes_);
    EXPECT_EQ(contentOf(download()), newBytes_);
    EXPECT_FALSE(QFile::exists(replaced()));
    EXPECT_TRUE(runs().isEmpty());
}

TEST_F(UpdateInstallTest, OverPlainHttpTheVerifiedDownloadIsHandedToTheUser) {
    offerProgram("2.3.7.1", newBytes_);
    usePlainServer();
    int state = -1;
    fake_->onModal = [&] {
        F_Update().fbAction1Click();
        state = F_Update().UpdateState;
        // Cancel leaves what the user was given.
        F_Update().fbAction2Click();
    };
    EXPECT_EQ(check(true), 6);
    EXPECT_EQ(state, 5);
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_EQ(sink_.messages()[0].kind, config::MsgKind::Information);
    EXPECT_TRUE(sink_.messages()[0].text.contains("\n" + download() + "\n")) << sink_.messages()[0].text.toStdString();
    EXPECT_TRUE(sink_.messages()[0].text.contains("It was not downloaded from a verified https address"));
    EXPECT_EQ(urls_.opened, QList<QUrl>({QUrl::fromLocalFile(QFileInfo(download()).absolutePath())}));
    EXPECT_EQ(contentOf(download()), newBytes_);
    EXPECT_EQ(closes_, 0);
    EXPECT_EQ(started_, 0);
    EXPECT_FALSE(QFile::exists(marker()));
}

TEST_F(UpdateInstallTest, FromAProgramFolderTheUserCannotWriteTheDownloadIsHandedToThem) {
    if (::geteuid() == 0) {
        tandex::testing::RunAsNobody();
        return;
    }
    offerProgram("2.3.7.1", newBytes_);
    setMode(programFolder(), 0555);
    sink_.answer = config::mrYes;
    fake_->onModal = [] { F_Update().fbAction1Click(); };
    EXPECT_EQ(check(true), 5);
    const QString handed = root() + "tandex.update";
    EXPECT_EQ(contentOf(handed), newBytes_);
    EXPECT_FALSE(QFile::exists(download()));
    ASSERT_EQ(sink_.messages().size(), 1u);
    EXPECT_TRUE(sink_.messages()[0].text.contains("\n" + handed + "\n"));
    EXPECT_TRUE(sink_.messages()[0].text.contains("The program folder " + programFolder() + " cannot be written"));
    EXPECT_EQ(urls_.opened, QList<QUrl>({QUrl::fromLocalFile(QFileInfo(handed).absolutePath())}));
    EXPECT_EQ(closes_, 0);
    EXPECT_EQ(started_, 0);
    EXPECT_EQ(contentOf(program()), oldBytes_);
}

}  // namespace

#include "online_update_test.moc"
