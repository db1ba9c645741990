#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "app/main_window_shell.h"

TEST(AppSmoke, MainWindowShowsWithCaptionAndCloses) {
    int argc = 1;
    char name[] = "smoke";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    auto window = tandex::app::createMainWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->windowTitle(), "Tandex");
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
}
