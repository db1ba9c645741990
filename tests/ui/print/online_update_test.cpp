// The after-upgrade check at start: what it reports, where the previous
// settings and program go, and the version comparison it relies on.

#include "ui/print/online_update.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

#include "access/ini_file_adapter.h"
#include "config/app_settings.h"
#include "config/ini_file_access.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "config/settings_file.h"
#include "tests/ui/main/main_window_fixture.h"

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

}  // namespace
