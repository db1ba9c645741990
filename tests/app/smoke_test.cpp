#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "ui/main/main_window.h"

TEST(AppSmoke, MainWindowShowsWithCaptionAndCloses) {
    int argc = 1;
    char name[] = "smoke";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    tandex::ui::TF_Main window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Tandex");
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}
