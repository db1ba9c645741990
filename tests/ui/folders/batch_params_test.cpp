#include "ui/folders/batch_params.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include "ui/main/main_window_seams.h"

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

TEST(BatchParams, BatchJobNotYetAvailableEndsWithCodeNine) {
    QBuffer console;
    console.open(QIODevice::WriteOnly);
    TBatchParams p(&console);
    p.StoreParams(args({"/f", "a", "b"}));
    p.RunBatch();
    EXPECT_EQ(p.ExitCode(), 9);
    EXPECT_TRUE(console.data().startsWith("ERROR: "));
    EXPECT_EQ(console.data().count('\n'), 1);
}

}  // namespace
