#include "tests/ui/widget_harness.h"

#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

namespace {

using WidgetHarnessTest = tandex::testing::WidgetTest;

TEST_F(WidgetHarnessTest, GrabWritesThePngWhereTheEnvironmentSays) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("TANDEX_GRAB_DIR", dir.path().toUtf8());
    QWidget widget;
    widget.resize(64, 32);
    widget.setStyleSheet("background: #ff0000");
    const QString path = tandex::testing::GrabToPng(&widget, "sample");
    qunsetenv("TANDEX_GRAB_DIR");
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(64, 32));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::red));
}

TEST_F(WidgetHarnessTest, CountingPumpIsInstalledForItsLifetime) {
    {
        tandex::testing::CountingEventPump pump;
        tandex::config::eventPump().processEvents();
        tandex::config::eventPump().processEvents();
        EXPECT_EQ(pump.count, 2);
    }
    EXPECT_EQ(dynamic_cast<tandex::testing::CountingEventPump*>(&tandex::config::eventPump()),
              nullptr);
}

}  // namespace
