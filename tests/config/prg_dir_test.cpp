#include "config/prg_dir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace tandex::config;

namespace {

struct PrgDirFixture : ::testing::Test {
    QTemporaryDir tmp;
    QString bin() const { return tmp.path() + QStringLiteral("/bin/"); }
    TPrgDirSources sources(QStringList extraArgs = {}) const {
        TPrgDirSources s;
        s.executablePath = bin() + QStringLiteral("tandex");
        s.arguments = QStringList{s.executablePath} + extraArgs;
        s.configHome = tmp.path() + QStringLiteral("/cfg");
        s.home = tmp.path() + QStringLiteral("/home");
        return s;
    }
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(QDir().mkpath(bin()));
    }
};

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

}  // namespace

TEST_F(PrgDirFixture, InstalledProgramWritesUnderConfigHomeMadeOnFirstStart) {
    TPrgDir d(sources());
    EXPECT_EQ(d.ProgramFolder, bin());
    EXPECT_FALSE(d.IsPortable());
    EXPECT_EQ(d.GetWritableRoot(), tmp.path() + QStringLiteral("/cfg/tandex/"));
    EXPECT_TRUE(QFileInfo(d.GetWritableRoot()).isDir());
    EXPECT_EQ(d.IniPath, d.GetWritableRoot() + QStringLiteral("Tandex.ini"));
    EXPECT_EQ(d.GetLogPath(), d.GetWritableRoot() + QStringLiteral("Tandex.log"));
    EXPECT_EQ(d.GetTmpPath(), d.GetWritableRoot() + QStringLiteral("Tandex.tmp"));
    EXPECT_EQ(d.GetErtPath(), d.GetWritableRoot() + QStringLiteral("Tandex.ert"));
}

TEST_F(PrgDirFixture, ConfigHomeFallsBackToDotConfigWhenUnsetOrRelative) {
    for (const QString& configHome : {QString(), QStringLiteral("relative/cfg")}) {
        auto s = sources();
        s.configHome = configHome;
        EXPECT_EQ(TPrgDir(s).GetWritableRoot(),
                  tmp.path() + QStringLiteral("/home/.config/tandex/"));
    }
}

TEST_F(PrgDirFixture, WritableProgramFolderWithSettingsFileIsPortable) {
    touch(bin() + QStringLiteral("Tandex.ini"));
    TPrgDir d(sources());
    EXPECT_TRUE(d.IsPortable());
    EXPECT_EQ(d.GetWritableRoot(), bin());
    EXPECT_EQ(d.IniPath, bin() + QStringLiteral("Tandex.ini"));
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + QStringLiteral("/cfg/tandex")));
}

TEST_F(PrgDirFixture, IniFileSwitchIsCaseSensitiveAndLastOneWins) {
    TPrgDir d(sources({QStringLiteral("/inifile=/x/lower.ini"), QStringLiteral("/IniFile=/x/a.ini"),
                       QStringLiteral("/IniFile=/y/b.cfg"), QStringLiteral("/IniFile=")}));
    EXPECT_EQ(d.IniPath, QStringLiteral("/y/b.cfg"));
    EXPECT_EQ(d.GetLogPath(), QStringLiteral("/y/b.log"));
    EXPECT_EQ(d.ProgramFolder, bin());
}

TEST(PrgDirDerivedNames, ExtensionReplacedOrAppended) {
    struct Case {
        const char* ini;
        const char* log;
    };
    const Case cases[] = {
        {"/a/x.cfg", "/a/x.log"},
        {"/a/x.conf", "/a/x.clog"},  // the last three characters give way
        {"/a/settings", "/a/settings.log"},
        {"/a.d/settings", "/a.d/settings.log"},
        {"/a/.tandexrc", "/a/.tandexrc.log"},
        {"/a/x.c", "/a/x.log"},
        {"/a/x.", "/a/x.log"},
        {"ab", "ab.log"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DeriveFromIniPath(QString::fromUtf8(c.ini), QStringLiteral("log")),
                  QString::fromUtf8(c.log))
            << c.ini;
}

TEST_F(PrgDirFixture, ExpandAppDirOnlyForExactLowerCasePrefix) {
    TPrgDir d(sources());
    EXPECT_EQ(d.ExpandAppDir(QStringLiteral("$appdir/tools/conv")),
              bin() + QStringLiteral("tools/conv"));
    EXPECT_EQ(d.ExpandAppDir(QStringLiteral("$appdir\\tools\\conv.exe")),
              bin() + QStringLiteral("tools\\conv.exe"));
    EXPECT_EQ(d.ExpandAppDir(QStringLiteral("$APPDIR\\conv.exe")),
              QStringLiteral("$APPDIR\\conv.exe"));
    EXPECT_EQ(d.ExpandAppDir(QStringLiteral("pdftotext")), QStringLiteral("pdftotext"));
}

TEST_F(PrgDirFixture, DeleteIniFileReportsSuccess) {
    TPrgDir d(sources({QStringLiteral("/IniFile=") + tmp.path() + QStringLiteral("/my.ini")}));
    EXPECT_FALSE(d.DeleteIniFile());
    touch(d.IniPath);
    EXPECT_TRUE(d.DeleteIniFile());
    EXPECT_FALSE(QFileInfo::exists(d.IniPath));
}

TEST_F(PrgDirFixture, AccessorServesInstalledInstance) {
    SetPrgDir(std::make_unique<TPrgDir>(sources()));
    EXPECT_EQ(PrgDir().ProgramFolder, bin());
    SetPrgDir(nullptr);
}

TEST(VersionRecord, ProgramVersionFromBuildOrUnknown) {
    EXPECT_EQ(GetProgramVersion(TVersInfo()), QStringLiteral("Unknown!"));
    TVersInfo noFileVersion;
    noFileVersion.Count = 1;
    noFileVersion.Keys[0] = QStringLiteral("ProductName");
    noFileVersion.Values[0] = QStringLiteral("Tandex");
    EXPECT_EQ(GetProgramVersion(noFileVersion), QStringLiteral("Unknown!"));

    const QString v = GetProgramVersion();
    EXPECT_EQ(v.split(u'.').size(), 4) << v.toStdString();
    EXPECT_TRUE(GetFileVersionText(QStringLiteral("/bin/sh")).isEmpty());
    // This program carries the version it runs as.
    EXPECT_EQ(GetFileVersionText(QStringLiteral("/proc/self/exe")), v);
}

TEST_F(PrgDirFixture, FileVersionIsReadFromTheMarkerInTheFile) {
    const QByteArray filler(3 << 20, 'x');
    struct Case {
        const char* name;
        QByteArray content;
        QString version;
    } cases[] = {
        {"marked", "\x7f" "ELF..." + VersionMarker("2.3.7.1") + QByteArray(1, '\0') + "rest", "2.3.7.1"},
        {"script", "#!/bin/sh\n# " + VersionMarker("2.3.6.251") + "\necho old\n", "2.3.6.251"},
        {"unmarked", "#!/bin/sh\necho TandexProgramVersion 9.9\n", ""},
        {"empty", "", ""},
        // A marker followed by no version is passed over for the next one.
        {"bad first", VersionMarker("") + "\n" + VersionMarker("1..2") + "\n" + VersionMarker("4.5"), "4.5"},
        {"too long", VersionMarker(QString(70, '1')), ""},
        // Across the pieces the file is read in, and at its very end.
        {"late", filler + VersionMarker("7.8.9.10"), "7.8.9.10"},
        {"split", filler.left((1 << 20) - 10) + VersionMarker("1.2.3.4") + filler.left(100), "1.2.3.4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = bin() + QString::fromLatin1(c.name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        EXPECT_EQ(GetFileVersionText(path), c.version);
    }
    EXPECT_EQ(GetFileVersionText(bin() + "missing"), "");
}
