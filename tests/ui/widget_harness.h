#pragma once
// What every widget test shares: one QApplication per test process on the
// offscreen platform, a fixture that saves the watched widgets as PNG files
// when a test fails (so a developer can look at what the test saw), and an
// event pump that counts how often code asked to process events.
//
// Grabs go to $TANDEX_GRAB_DIR, else to "widget-grabs" in the working
// folder (the test's build folder under ctest), named
// <suite>.<test>-<n>.png.

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <vector>

#include "config/services.h"

namespace tandex::testing {

inline std::unique_ptr<QApplication>& TestAppHolder() {
    static std::unique_ptr<QApplication> app;
    return app;
}

inline QApplication& TestApp() {
    auto& app = TestAppHolder();
    if (!app) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "tandex-widget-test";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    return *app;
}

// The application must end before main returns: Qt's own statics (the test
// input devices among them) are gone by the time static objects die.
class TestAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { TestApp(); }
    void TearDown() override { TestAppHolder().reset(); }
};

// GoogleTest owns the environment.
inline const bool testAppEnvironmentAdded =
    (::testing::AddGlobalTestEnvironment(new TestAppEnvironment), true);

inline QString GrabFolder() {
    const QString folder = qEnvironmentVariableIsEmpty("TANDEX_GRAB_DIR")
                               ? QDir::current().filePath(QStringLiteral("widget-grabs"))
                               : qEnvironmentVariable("TANDEX_GRAB_DIR");
    QDir().mkpath(folder);
    return folder;
}

// Saves the widget's current look; returns the file's path, empty when it
// could not be written.
inline QString GrabToPng(QWidget* widget, const QString& name) {
    if (!widget) return {};
    const QString path = QDir(GrabFolder()).filePath(name + QStringLiteral(".png"));
    return widget->grab().save(path, "PNG") ? path : QString();
}

class WidgetTest : public ::testing::Test {
protected:
    WidgetTest() { TestApp(); }

    // Widgets to grab when the test fails.
    void Watch(QWidget* widget) { watched_.emplace_back(widget); }

    void TearDown() override {
        if (!HasFailure()) return;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const QString base = QString::fromUtf8(info->test_suite_name()) + QLatin1Char('.') +
                             QString::fromUtf8(info->name());
        int n = 0;
        for (const auto& widget : watched_) {
            if (!widget) continue;
            const QString path = GrabToPng(widget, base + QLatin1Char('-') + QString::number(++n));
            std::printf("widget grabbed to %s\n", qPrintable(path));
        }
    }

private:
    std::vector<QPointer<QWidget>> watched_;
};

// Counts the requests to process events; installed for its lifetime.
class CountingEventPump : public config::EventPump {
public:
    CountingEventPump() { config::setEventPump(this); }
    ~CountingEventPump() override { config::setEventPump(nullptr); }
    CountingEventPump(const CountingEventPump&) = delete;
    CountingEventPump& operator=(const CountingEventPump&) = delete;

    void processEvents() override { ++count; }
    int count = 0;
};

}  // namespace tandex::testing
