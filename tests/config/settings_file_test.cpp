#include "config/settings_file.h"

#include "config/color_sets.h"
#include "config/sys_helpers.h"
#include "ini_fixture.h"

#include <sys/stat.h>
#include <QDir>
#include <QFileInfo>
#include <functional>

using namespace tandex::config;
using tandex::testing::FileSizeLimit;
using tandex::testing::IniFixture;
using tandex::testing::readBytes;
using tandex::testing::savedLines;
using tandex::testing::writeBytes;

namespace {

int sectionCount(const QStringList& lines) {
    int n = 0;
    for (const QString& line : lines)
        if (line.startsWith(u'[')) ++n;
    return n;
}

int keyCount(const QStringList& lines, const QString& prefix) {
    int n = 0;
    for (const QString& line : lines)
        if (line.startsWith(prefix)) ++n;
    return n;
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

class SettingsFile : public IniFixture {
protected:
    // Start and exit of the program: load, the find dialog takes its
    // section, save.
    void loadAll() {
        LoadSettings();
        LoadFindReplaceSettings();
    }
    void writeIni(const QString& text) {
        QByteArray data = text.toUtf8();
        data.replace("\n", "\r\n");
        writeBytes(iniPath, data);
    }
    void useFiveUserSets() {
        for (int i = kFirstUserSet; i <= kLastUserSet; ++i) {
            AppSettings().COSetName[size_t(i)] = QStringLiteral("User%1").arg(i);
            AppSettings().ColorSets[size_t(i)] = BuiltInColorSet(i - kFirstUserSet);
        }
    }
};

TEST_F(SettingsFile, WithoutAFileTheSaveWritesTheDefaultsInNineSections) {
    loadAll();
    EXPECT_EQ(AppSettings().GSGUIStyle, 1);
    EXPECT_EQ(AppSettings().COSetIdx, 10);
    EXPECT_TRUE(QFileInfo(AppBackupsFolder()).isDir());
    SaveSettings();
    EXPECT_TRUE(readBytes(iniPath).startsWith("\xEF\xBB\xBF[Tandex]\r\nAFH=700\r\n"));
    const QStringList lines = savedLines(iniPath);
    EXPECT_EQ(lines.size(), 689);
    EXPECT_EQ(sectionCount(lines), 9);
    EXPECT_TRUE(lines.contains("GSGUIStyle=1"));
    EXPECT_TRUE(lines.contains("COSetIdx=10"));
    EXPECT_TRUE(lines.contains("GSTempPath=" + root + "TDX_Temp"));
    EXPECT_EQ(lines.last(), "Replace19=");
    // It holds scrambled passwords and tokens: the owner's alone.
    EXPECT_EQ(modeOf(iniPath), mode_t(0600));
}

TEST_F(SettingsFile, FiveUserSetsAddTheirSectionsBehindColorSets) {
    loadAll();
    useFiveUserSets();
    SaveSettings();
    const QStringList lines = savedLines(iniPath);
    EXPECT_EQ(lines.size(), 894);
    EXPECT_EQ(sectionCount(lines), 14);
    const qsizetype sets = lines.indexOf("[ColorSets]");
    ASSERT_GE(sets, 0);
    EXPECT_EQ(lines.mid(sets + 1, 6),
              QStringList({"COSetName5=User5", "COSetName6=User6", "COSetName7=User7",
                           "COSetName8=User8", "COSetName9=User9", "COSetIdx=10"}));
    EXPECT_EQ(lines[sets + 7], "[ColorSet:User5]");
    EXPECT_EQ(lines[sets + 8], "TextColL=16711680");  // 0,0,255 of "Dull Silver"
    EXPECT_EQ(lines.indexOf("[Dialog]"), sets + 7 + 5 * 41);

    // The next start reads them back.
    AppSettings().SetDefaults(root);
    loadAll();
    for (int i = kFirstUserSet; i <= kLastUserSet; ++i) {
        EXPECT_EQ(AppSettings().COSetName[size_t(i)], QStringLiteral("User%1").arg(i));
        EXPECT_EQ(AppSettings().ColorSets[size_t(i)], BuiltInColorSet(i - kFirstUserSet)) << i;
    }
}

TEST_F(SettingsFile, LoadAppliesItsBoundsAndSpecialCases) {
    const QString current = GetProgramVersion();
    struct Case {
        const char* what;
        QString ini;
        std::function<void(const TAppSettings&)> check;
        QStringList saved;     // lines the save writes
        QStringList notSaved;  // lines it does not write
    } cases[] = {
        {"bar width below",
         "[Tandex]\nGSTNBarWidth=5\n",
         [](auto& s) { EXPECT_EQ(s.GSTNBarWidth, 10); },
         {"GSTNBarWidth=10"},
         {}},
        {"bar width above",
         "[Tandex]\nGSTNBarWidth=99\n",
         [](auto& s) { EXPECT_EQ(s.GSTNBarWidth, 43); },
         {},
         {}},
        {"columns cut",
         "[Tandex]\nTEMaxColumns=20000\n",
         [](auto& s) { EXPECT_EQ(s.TEMaxColumns, 8192); },
         {"TEMaxColumns=8192"},
         {}},
        {"columns 0 stays",
         "[Tandex]\nTEMaxColumns=0\n",
         [](auto& s) { EXPECT_EQ(s.TEMaxColumns, 0); },
         {"TEMaxColumns=0"},
         {}},
        {"printer window off screen",
         "[Printer]\nAPW=900\nAPL=-900\n",
         [](auto& s) { EXPECT_EQ(s.APL, 0); },
         {"APL=0"},
         {}},
        {"printer window just on screen",
         "[Printer]\nAPL=-890\n",
         [](auto& s) { EXPECT_EQ(s.APL, -890); },
         {"APL=-890"},
         {}},
        {"no style: Flat Blue",
         "[Tandex]\nGSLineNr=0\n[ColorSets]\nCOSetIdx=3\n",
         [](auto& s) {
             EXPECT_EQ(s.COSetIdx, 10);
             EXPECT_EQ(s.GSGUIStyle, 1);
         },
         {"COSetIdx=10", "GSGUIStyle=1"},
         {}},
        {"style present: the stored set",
         "[Tandex]\nGSGUIStyle=0\n[ColorSets]\nCOSetIdx=3\n",
         [](auto& s) { EXPECT_EQ(s.COSetIdx, 3); },
         {"COSetIdx=3", "GSGUIStyle=0"},
         {}},
        {"same version keeps an edited converter",
         "[Tandex]\nAFIniVersion=" + current + "\nPIConfig[2]=mine\nPIConfig[7]=extra\n",
         [](auto& s) {
             EXPECT_EQ(s.PIConfig[2], "mine");
             EXPECT_EQ(s.PIConfig[7], "extra");
         },
         {"PIConfig[2]=mine", "AFIniVersion=" + current},
         {}},
        {"another version brings the built-in one back",
         "[Tandex]\nAFIniVersion=0.9\nPIConfig[2]=mine\nPIConfig[7]=extra\n",
         [](auto& s) {
             EXPECT_EQ(s.PIConfig[2], BuiltInConverters()[2]);
             EXPECT_EQ(s.PIConfig[7], "extra");
         },
         {"PIConfig[7]=extra", "AFIniVersion=0.9"},
         {"PIConfig[2]=mine"}},
        {"time stamp not a number",
         "[Tandex]\nFCOlderTS=abc\nFCNewerTS=133485408000000000\n",
         [](auto& s) {
             EXPECT_EQ(s.FCOlderTS, 0);
             EXPECT_EQ(s.FCNewerTS, 133485408000000000);
         },
         {"FCOlderTS=0", "FCNewerTS=133485408000000000"},
         {}},
        {"unknown and lower-case keys",
         "[Tandex]\nNoSuchKey=1\ngslinenr=0\n; note\n",
         [](auto& s) { EXPECT_TRUE(s.GSLineNr); },
         {"GSLineNr=1"},
         {"NoSuchKey=1", "gslinenr=0", "; note"}},
        {"empty set name",
         "[ColorSets]\nCOSetName6=\n",
         [](auto& s) { EXPECT_EQ(s.COSetName[6], "-"); },
         {"COSetName6=-"},
         {}},
        {"system colour reference",
         "[ColorSets]\nCOSetName5=Mine\n[ColorSet:Mine]\nHeadLnBgCol=-16777201\n",
         [](auto& s) {
             EXPECT_EQ(s.ColorSets[5][HeadLnBgCol], SysColorRef(scBtnFace));
             // The missing ones take the user-set defaults.
             EXPECT_EQ(s.ColorSets[5][TextColL], 0xFF0000u);
             EXPECT_EQ(s.ColorSets[5][TextBgCol], SystemColor(scWindow));
             EXPECT_EQ(s.ColorSets[5][SelLnCol], SysColorRef(scHighlightText));
         },
         {"HeadLnBgCol=-16777201", "SelLnCol=-16777202"},
         {}},
        {"two user sets of one name share a section",
         "[ColorSets]\nCOSetName5=Same\nCOSetName8=Same\n[ColorSet:Same]\nDiffCol=7\n",
         [](auto& s) {
             EXPECT_EQ(s.ColorSets[5][DiffCol], 7u);
             EXPECT_EQ(s.ColorSets[8][DiffCol], 7u);
         },
         {"[ColorSet:Same]", "DiffCol=7"},
         {}},
        {"three find texts",
         "[FindReplace]\nFFT=40\nMatchCase=1\nFind0=a\nFind1=\nFind2=b\nFind7=c\nReplace3=r\n",
         [](auto& s) {
             EXPECT_EQ(s.FFT, 40);
             EXPECT_EQ(FindReplaceSettings().FindHistory, QStringList({"a", "b", "c"}));
             EXPECT_EQ(FindReplaceSettings().ReplaceHistory, QStringList({"r"}));
             EXPECT_TRUE(FindReplaceSettings().MatchCase);
         },
         {"FFT=40", "MatchCase=1", "Find0=a", "Find1=b", "Find2=c",
          "Find3=", "Find19=", "Replace0=r", "Replace19="},
         {"Find7=c"}},
        {"tabs, trailing blanks and long values",
         "[LogView]\nLFSearch=a\tb  \n",
         [](auto& s) { EXPECT_EQ(s.LFSearch, "a\tb  "); },
         {"LFSearch=a\tb  "},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AppSettings().SetDefaults(root);
        FindReplaceSettings() = TFindReplaceSettings();
        writeIni(c.ini);
        loadAll();
        c.check(AppSettings());
        SaveSettings();
        const QStringList lines = savedLines(iniPath);
        for (const QString& line : c.saved)
            EXPECT_TRUE(lines.contains(line)) << line.toStdString();
        for (const QString& line : c.notSaved)
            EXPECT_FALSE(lines.contains(line)) << line.toStdString();
        EXPECT_EQ(keyCount(lines, "Find"), 20);
        EXPECT_EQ(keyCount(lines, "Replace"), 20);
    }
}

TEST_F(SettingsFile, FontSizeIsStoredInPointsAtAnyScreenScale) {
    writeIni("[Tandex]\nAFFontName=Mono\nAFFontSize=11\nAFFontStyle=3\n[Printer]\nAPFontSize=7\n");
    InitDpiScale(120);
    loadAll();
    EXPECT_EQ(AppSettings().AFFont.Name, "Mono");
    EXPECT_EQ(AppSettings().AFFont.Size, 11);
    EXPECT_EQ(AppSettings().AFFont.Style, fsBold | fsItalic);
    SaveSettings();
    InitDpiScale(96);
    const QStringList lines = savedLines(iniPath);
    EXPECT_TRUE(lines.contains("AFFontSize=11"));
    EXPECT_TRUE(lines.contains("APFontSize=7"));
}

TEST_F(SettingsFile, DeletingAUserSetRemovesItsSectionAtOnce) {
    AppSettings().COSetName[5] = "Five";
    AppSettings().COSetName[7] = "Seven";
    SaveSettings();
    ASSERT_TRUE(savedLines(iniPath).contains("[ColorSet:Seven]"));
    DeleteColorSetSection(ColorSetSection(7));
    const QStringList lines = savedLines(iniPath);
    EXPECT_FALSE(lines.contains("[ColorSet:Seven]"));
    EXPECT_TRUE(lines.contains("[ColorSet:Five]"));
    EXPECT_TRUE(lines.contains("COSetName7=Seven"));  // until the next save
    EXPECT_EQ(lines.size(), 689 + 41);
}

TEST_F(SettingsFile, AnExistingFileKeepsItsPermissions) {
    writeIni("[Tandex]\nAFH=600\n");
    ::chmod(QFile::encodeName(iniPath).constData(), 0640);
    loadAll();
    SaveSettings();
    EXPECT_TRUE(savedLines(iniPath).contains("AFH=600"));
    EXPECT_EQ(modeOf(iniPath), mode_t(0640));
}

TEST_F(SettingsFile, ASaveFailingMidwayLeavesTheOldFileByteForByte) {
    writeIni("[Tandex]\nAFH=600\nhand-written=1\n");
    const QByteArray old = readBytes(iniPath);
    loadAll();
    // Beyond the writer's buffer, so the disk fills while lines go out.
    AppSettings().LFSearch = QString(200000, u's');
    {
        FileSizeLimit limit(32768);
        SaveSettings();
    }
    EXPECT_EQ(readBytes(iniPath), old);
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden), QStringList({"Tandex.ini"}));
    // With room again the same values are written whole.
    SaveSettings();
    EXPECT_TRUE(savedLines(iniPath).contains("LFSearch=" + QString(200000, u's')));
}

TEST_F(SettingsFile, ARebuildFailingPartWayKeepsTheOldFileAndLogs) {
    writeIni("[Tandex]\nAFH=600\n");
    const QByteArray old = readBytes(iniPath);
    loadAll();
    IniStore().LineCapacity = 300;
    SaveSettings();
    EXPECT_EQ(readBytes(iniPath), old);
    EXPECT_TRUE(log().contains("FI3")) << log().toStdString();
    EXPECT_TRUE(log().contains("FI4")) << log().toStdString();
    EXPECT_EQ(IniStore().IniLineCount(), 0);
}

TEST_F(SettingsFile, BackupCopiesTheFileIntoTheAppBackupsFolder) {
    writeIni("[Tandex]\nAFH=600\nkept=1\n");
    loadAll();
    BackupSettingsFile("1.0.0.0");
    EXPECT_EQ(savedLines(AppBackupsFolder() + "1.0.0.0/Tandex.ini"),
              QStringList({"[Tandex]", "AFH=600", "kept=1"}));
    EXPECT_EQ(IniStore().IniLineCount(), 0);
}

TEST_F(SettingsFile, BackupOfAnUnreadableFileKeepsTheEarlierBackup) {
    writeIni("[Tandex]\nAFH=600\n");
    loadAll();
    BackupSettingsFile("v1");
    const QString copy = AppBackupsFolder() + "v1/Tandex.ini";
    const QByteArray before = readBytes(copy);
    QFile::remove(iniPath);
    BackupSettingsFile("v1");
    EXPECT_EQ(readBytes(copy), before);
}

TEST_F(SettingsFile, BackupIntoAFolderThatCannotBeMadeLogsAD2AndWritesNothing) {
    writeIni("[Tandex]\nAFH=600\n");
    loadAll();
    writeBytes(AppBackupsFolder() + "blocker", "a file, not a folder");
    BackupSettingsFile("blocker/sub");
    EXPECT_TRUE(log().contains("AD2")) << log().toStdString();
    EXPECT_FALSE(QFileInfo::exists(AppBackupsFolder() + "blocker/sub/Tandex.ini"));
    EXPECT_EQ(QDir(AppBackupsFolder()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              QStringList({"blocker"}));
}

TEST_F(SettingsFile, AnAppBackupsFolderThatCannotBeMadeLogsAD1AndLoadingGoesOn) {
    writeBytes(root + "TDX_AppBackups", "in the way");
    writeIni("[Tandex]\nAFH=600\n");
    loadAll();
    EXPECT_TRUE(log().contains("AD1")) << log().toStdString();
    EXPECT_EQ(AppSettings().AFH, 600);
}

// Every key off its default, in the encodings a user's editor may leave.
// The save gives back the same keys and values, as UTF-8 with a mark.
TEST_F(SettingsFile, AHandWrittenFileSavesBackTheSameKeysAndValues) {
    loadAll();
    useFiveUserSets();
    SaveSettings();
    QStringList expected;
    for (const QString& line : savedLines(iniPath)) {
        if (line.startsWith(u'[')) {
            expected << (line.startsWith(u"[ColorSet:") ? line.chopped(1) + QString::fromUtf8("é]")
                                                        : line);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        bool isNumber = false;
        const qint64 n = value.toLongLong(&isNumber);
        QString changed;
        if (key == u"AFIniVersion")
            changed = GetProgramVersion();
        else if (key == u"COSetIdx")
            changed = QStringLiteral("7");
        else if (value == u"0" || value == u"1")
            changed = value == u"0" ? QStringLiteral("1") : QStringLiteral("0");
        else if (isNumber)
            changed = QString::number(n + 1);
        else
            changed = value + QString::fromUtf8("é");
        expected << key + u'=' + changed;
    }
    const QString text = expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    struct Encoding {
        const char* what;
        QByteArray bytes;
    } encodings[] = {
        {"UTF-16 LE with BOM",
         QByteArray("\xFF\xFE") +
             QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)},
        {"UTF-16 LE", QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)},
        {"ANSI", text.toLatin1()},
    };
    for (const Encoding& e : encodings) {
        SCOPED_TRACE(e.what);
        writeBytes(iniPath, e.bytes);
        AppSettings().SetDefaults(root);
        FindReplaceSettings() = TFindReplaceSettings();
        loadAll();
        EXPECT_EQ(AppSettings().COSetName[5], QString::fromUtf8("User5é"));
        SaveSettings();
        EXPECT_EQ(savedLines(iniPath), expected);
    }
}

}  // namespace
