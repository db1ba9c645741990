#include "config/app_settings.h"
#include "config/prg_dir.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace tandex::config;

TEST(AppSettings, MissingFileDefaultsSelectFlatStyleAndFlatBlue) {
    TAppSettings s;
    EXPECT_EQ(s.GSGUIStyle, 1);
    EXPECT_EQ(s.COSetIdx, 10);
    EXPECT_EQ(s.GSTNBarWidth, 21);
    EXPECT_EQ(s.TEMaxColumns, 1024);
    EXPECT_FALSE(s.TCIgnCase);
    EXPECT_TRUE(s.TCIgnAllBl);
    EXPECT_EQ(s.TCIgnLnComPat, QStringLiteral("//"));
    EXPECT_EQ(s.ICBgCol, 15790320);
    EXPECT_EQ(s.SFT, -1);
    EXPECT_EQ(s.AFFont.Size, 9);
    EXPECT_EQ(s.APFont.Size, 8);
    EXPECT_EQ(s.COSetName[5], QStringLiteral("-"));
    EXPECT_EQ(s.COSetName[9], QStringLiteral("-"));
    // Empty means $VISUAL, $EDITOR or xdg-open, never a Windows program.
    EXPECT_TRUE(s.TEExtEditor.isEmpty());
}

TEST(AppSettings, OptionsOnlySessionStartsWithTheDefaultRecord) {
    TAppSettings s;
    QString expected = QStringLiteral("X->||||||1|0|1||0|0|0|0|0|3|") +
                       QStringLiteral("0|").repeated(20) + QStringLiteral("X");
    expected.replace(u'|', QChar(30));
    EXPECT_EQ(s.FCSessData[20], expected);
    EXPECT_EQ(s.FCSessData[20].split(QChar(30)).size(), 37);
    EXPECT_TRUE(s.FCSessions[20].isEmpty());
    EXPECT_TRUE(s.FCSessData[19].isEmpty());
}

TEST(AppSettings, BuiltInConvertersNameDebianProgramsAndStartDisabled) {
    TAppSettings s;
    const char* programs[] = {"pdftotext", "catdoc",     "catppt", "xls2csv",
                              "objdump",   "xmlstarlet", "tidy"};
    for (int i = 0; i < kBuiltInConverters; ++i) {
        const QStringList fields = s.PIConfig[i].split(u';');
        ASSERT_GE(fields.size(), 8) << i;
        EXPECT_EQ(fields[3], QLatin1String(programs[i])) << i;
        EXPECT_EQ(fields[7], QStringLiteral("0")) << i;
        EXPECT_FALSE(s.PIConfig[i].contains(QStringLiteral(".exe;"))) << i;
    }
    EXPECT_TRUE(s.PIConfig[7].isEmpty());
}

TEST(AppSettings, FoldersLieUnderTheWritableRoot) {
    TAppSettings s;
    s.TCIgnCase = true;
    s.SetDefaults(QStringLiteral("/home/u/.config/tandex/"));
    EXPECT_FALSE(s.TCIgnCase);
    EXPECT_EQ(s.GSTempPath, QStringLiteral("/home/u/.config/tandex/TDX_Temp"));
    EXPECT_EQ(s.BKFolder, QStringLiteral("/home/u/.config/tandex/TDX_Backups"));
    EXPECT_EQ(s.BKDBOFolder, QStringLiteral("/home/u/.config/tandex/TDX_DBOBackups"));
}

TEST(AppSettings, AccessorPlacesFoldersUnderInstalledPrgDir) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    TPrgDirSources src;
    src.executablePath = tmp.path() + QStringLiteral("/bin/tandex");
    src.configHome = tmp.path() + QStringLiteral("/cfg");
    SetPrgDir(std::make_unique<TPrgDir>(src));
    EXPECT_EQ(AppSettings().GSTempPath, tmp.path() + QStringLiteral("/cfg/tandex/TDX_Temp"));
    EXPECT_EQ(AppBackupsFolder(), tmp.path() + QStringLiteral("/cfg/tandex/TDX_AppBackups/"));
    EXPECT_EQ(CurrentVersion(), GetProgramVersion());
    AppSettings().TCIgnCase = true;
    EXPECT_TRUE(AppSettings().TCIgnCase);
    SetPrgDir(nullptr);
}
