#include "ui/folders/batch_params.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

#include "engine/pane_stores.h"
#include "ui/main/image_compare.h"
#include "ui/main/main_window_seams.h"

using tandex::folders::BatchBanner;
using tandex::folders::BatchUsageText;
using tandex::folders::TBatchParams;
namespace ui = tandex::ui;

namespace {

QStringList args(std::initializer_list<const char*> params) {
    QStringList list{QStringLiteral("/usr/bin/tandex")};
    for (const char* p : params) list << QString::fromUtf8(p);
    return list;
}

TEST(BatchParams, BatchModeFromTheCommandLine) {
    struct Case {
        QStringList arguments;
        bool batch, gui;
    } cases[] = {
        {args({}), false, false},
        {args({"tweak"}), false, false},
        {args({"/f", "a", "b", "/gui"}), false, true},
        {args({"/GUI", "a", "b"}), false, true},
        {args({"/IniFile=x"}), true, false},
        {args({"/f", "a", "b"}), true, false},
    };
    for (const Case& c : cases) {
        TBatchParams params;
        ui::setCommandLine(&params);
        EXPECT_EQ(ui::DecideBatchMode(c.arguments), c.batch) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(params.GuiRequested(), c.gui) << c.arguments.join(' ').toStdString();
        ui::setCommandLine(nullptr);
    }
}

TEST(BatchParams, TableKeepsNineteenParametersAndLowerCasesOnlyAToZ) {
    TBatchParams p;
    QStringList list = args({});
    for (int i = 1; i <= 19; ++i) list << QStringLiteral("P%1").arg(i);
    list << QStringLiteral("/gui");  // the 20th parameter is not seen
    p.StoreParams(list);
    EXPECT_EQ(p.ParamCount(), 19);
    EXPECT_EQ(p.GetParam(19), "p19");
    EXPECT_FALSE(p.FindSwitch("/gui"));
    EXPECT_EQ(p.SwitchPos, -1);
    p.StoreParams(args({"/F", "ÄB.TXT"}));
    EXPECT_EQ(p.GetParam(1), "/f");
    EXPECT_EQ(p.GetParam(2), "Äb.txt");
    EXPECT_EQ(p.GetParam(25), "");
}

TEST(BatchParams, SwitchLookUp) {
    TBatchParams p;
    p.StoreParams(args({"/f", "a", "b", "/TOL:7", "/tol:9", "/ic", "/ifl:x", "/icr:1-3;5"}));
    // First match wins, wherever it stands; the name before ":" is
    // compared case-insensitively.
    ASSERT_TRUE(p.FindSwitch("/tol"));
    EXPECT_EQ(p.SwitchPos, 4);
    EXPECT_EQ(p.SwitchValue, "7");
    EXPECT_EQ(p.SwitchNumber, 7);
    // A switch without a value keeps the last value.
    ASSERT_TRUE(p.FindSwitch("/ic"));
    EXPECT_EQ(p.SwitchPos, 6);
    EXPECT_EQ(p.SwitchValue, "7");
    EXPECT_EQ(p.SwitchNumber, 7);
    ASSERT_TRUE(p.FindSwitch("/ifl"));
    EXPECT_EQ(p.SwitchNumber, -1);
    ASSERT_TRUE(p.FindSwitch("/icr"));
    EXPECT_TRUE(p.CheckSwitchChars("0123456789-;"));
    EXPECT_FALSE(p.CheckSwitchChars("0123456789"));
    EXPECT_FALSE(p.FindSwitch("/x"));
    EXPECT_EQ(p.SwitchPos, -1);
}

TEST(BatchParams, IntSwitchesAndErrors) {
    QBuffer console;
    console.open(QIODevice::WriteOnly);
    TBatchParams p(&console);
    p.StoreParams(args({"/f", "a", "b", "/tol:300", "/ifl:12"}));
    int target = 5;
    EXPECT_TRUE(p.FindIntSwitch("/ill", 10, target));
    EXPECT_EQ(target, 5);
    EXPECT_TRUE(p.FindIntSwitch("/ifl", 2147483647, target));
    EXPECT_EQ(target, 12);
    EXPECT_EQ(p.ExitCode(), 0);
    EXPECT_FALSE(p.FindIntSwitch("/tol", 255, target));
    EXPECT_EQ(target, 12);
    EXPECT_EQ(p.ExitCode(), 9);
    EXPECT_EQ(console.data(), "ERROR: Parameter out of range: /tol:300\n");
}

TEST(BatchParams, RunBatchWithoutAFileJob) {
    const QByteArray usage = BatchBanner().toUtf8() + "\n" + BatchUsageText().toUtf8() + "\n";
    struct Case {
        QStringList arguments;
        QByteArray console;
        int code;
    } cases[] = {
        {args({"/?"}), usage, 0},
        {args({"/x", "a", "b"}), usage, 9},
        // Any parameter makes a batch run, a settings file too.
        {args({"/IniFile=x"}), usage, 9},
        // A folder job runs in the main window's folder comparison, as the
        // file job does; the program's own runs (tests/app) check its roots.
        {args({"/D", "/no/such/a", "/no/such/b"}),
         BatchBanner().toUtf8() + "\nERROR: The main window is missing\n", 9},
        {args({"/d", "a"}), BatchBanner().toUtf8() + "\nERROR: Invalid or missing foldername!\n", 9},
    };
    for (const Case& c : cases) {
        QBuffer console;
        console.open(QIODevice::WriteOnly);
        TBatchParams p(&console);
        p.StoreParams(c.arguments);
        p.RunBatch();
        EXPECT_EQ(console.data(), c.console) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(p.ExitCode(), c.code) << c.arguments.join(' ').toStdString();
    }
}

TEST(BatchParams, BannerAndUsageText) {
    EXPECT_TRUE(BatchBanner().startsWith("\nTandex "));
    EXPECT_TRUE(BatchBanner().endsWith(" - compares files and folders\n"));
    const QStringList lines = BatchUsageText().split('\n');
    ASSERT_EQ(lines.size(), 47);  // 46 lines, each ended by LF
    EXPECT_EQ(lines[0], "Commandline usage:");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[21], "    /iic:\"xx\" = Ignore Inline Comments, xx = SPACE-separated list of inline");
    EXPECT_EQ(lines[22], "                comments. Example: /iic:\"// /* REM\"");
    EXPECT_EQ(lines[37], "    /ef:\"Exclude Folders\" =  semicolon separated exclude folders list");
    EXPECT_EQ(lines[45], "    9 = Invalid parameters");
    EXPECT_EQ(lines[46], "");
}

TEST(BatchParams, SetBatchFileSplitsAtTheLastSlash) {
    const QString here = QDir::currentPath() + (QDir::currentPath().endsWith('/') ? "" : "/");
    struct Case {
        const char* operand;
        QString folder, name;
        bool ok;
    } cases[] = {
        {"/tmp/a.txt", "/tmp/", "a.txt", true},
        {"a.txt", here, "a.txt", true},
        {"sub/a.txt", "sub/", "a.txt", true},
        {"sub/", "sub/", "", false},
        {"", here, "", false},
        // Backslashes and colons belong to Linux file names.
        {"C:\\x\\a.txt", here, "C:\\x\\a.txt", true},
        {"ftp://host/dir/f.txt", "ftp://host/dir/", "f.txt", true},
        {"/x/Git/a.txt", "/x/Git/", "a.txt", true},
    };
    auto& stores = tandex::engine::paneStores();
    for (const Case& c : cases) {
        TBatchParams p;
        p.StoreParams(args({"/f", "left", c.operand}));
        EXPECT_EQ(p.SetBatchFile(2, 3), c.ok) << c.operand;
        EXPECT_EQ(p.SwitchPos, 3);
        EXPECT_EQ(stores.FilePaths[2], c.folder) << c.operand;
        EXPECT_EQ(stores.FileNames[2], c.name) << c.operand;
    }
    stores.InitCompareData();
}

TEST(BatchParams, PixelCountsOnlyWithListing) {
    QImage left(40, 30, QImage::Format_ARGB32);
    left.fill(Qt::white);
    QImage right = left;
    right.setPixel(3, 4, qRgb(0, 0, 0));
    right.setPixel(5, 6, qRgb(0, 0, 0));
    tandex::ui::ImgCompare images;
    images.SetLeftPicture(left);
    images.SetRightPicture(right);
    ASSERT_TRUE(images.Compute(0));
    for (const char* ld : {"", "/LD"}) {
        QBuffer console;
        console.open(QIODevice::WriteOnly);
        TBatchParams p(&console);
        p.StoreParams(args({"/f", "a.png", "b.png", ld}));
        p.WritePixelCounts();
        EXPECT_EQ(console.data(), *ld ? QByteArray("-> Pixels: Same=1.198 | Tol=0 | Diff=2\n") : QByteArray());
    }
}

}  // namespace
