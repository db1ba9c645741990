#include "ui/main/main_window_settings.h"

#include "access/program_log.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/find_settings.h"
#include "config/prg_dir.h"
#include "tests/ui/widget_harness.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QTemporaryDir>

namespace config = tandex::config;

namespace {

using ProgramSettingsTest = tandex::testing::WidgetTest;

TEST_F(ProgramSettingsTest, StartReadsTheSettingsFileAndSaveWritesItAnew) {
    QTemporaryDir tmp;
    config::TPrgDirSources sources;
    sources.executablePath = tmp.filePath("bin/tandex");
    sources.configHome = tmp.filePath("cfg");
    config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
    tandex::access::FZSetLogFile(tmp.filePath("TDXLog.txt"));
    const QString ini = config::PrgDir().GetIniPath();
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "[Tandex]\r\nGSGUIStyle=0\r\nAFH=612\r\n[ColorSets]\r\nCOSetName5=Mine\r\n"
            "[FindReplace]\r\nFind0=needle\r\n");
    }
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    QApplication::setPalette(palette);
    {
        tandex::ui::ProgramSettings settings;
        EXPECT_EQ(config::AppSettings().AFH, 612);
        EXPECT_EQ(config::AppSettings().GSGUIStyle, 0);
        EXPECT_EQ(config::FindReplaceSettings().FindHistory, QStringList({"needle"}));
        // A user set's missing window colour comes from the palette.
        EXPECT_EQ(config::AppSettings().ColorSets[5][config::TextBgCol], 0x030201u);
        config::AppSettings().AFH = 640;
        settings.Save();
    }
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF[Tandex]\r\nAFH=640\r\n"));
    EXPECT_TRUE(saved.contains("\r\nFind0=needle\r\n"));
    EXPECT_TRUE(saved.contains("\r\n[ColorSet:Mine]\r\n"));
    tandex::access::FZSetLogFile(QString());
    config::SetPrgDir(nullptr);
    config::AppSettings().SetDefaults(config::PrgDir().GetWritableRoot());
    config::FindReplaceSettings() = config::TFindReplaceSettings();
}

}  // namespace
