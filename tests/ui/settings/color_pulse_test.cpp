// The colour pulse, its ticks fired by the test, and the pulse as other
// subsystems reach it through the command-window seam.

#include "ui/settings/color_pulse.h"

#include <QTimer>
#include <vector>

#include "tests/ui/widget_harness.h"
#include "ui/settings/colors_dlg.h"
#include "ui/settings/command_window_services.h"

namespace ui = tandex::ui;
using tandex::settings::TColorPulse;
using tandex::settings::TCommandWindowServices;

namespace {

constexpr quint32 kBase = 0x80C0F0;  // blue 0x80, green 0xC0, red 0xF0
constexpr quint32 kStep = 0x060600;

class ColorPulseTest : public tandex::testing::WidgetTest {
protected:
    void listen(TColorPulse& pulse) {
        pulse.OnPulse = [this](quint32 c) { seen.push_back(c); };
    }
    std::vector<quint32> seen;
};

TEST_F(ColorPulseTest, DarkensForOneTickMoreThanAHalfCycleThenTurnsEveryHalfCycle) {
    TColorPulse pulse;
    listen(pulse);
    pulse.SetPulse(kBase, 0, 6, 6, 8);
    pulse.EnablePulse(true);
    EXPECT_TRUE(pulse.Running());
    EXPECT_EQ(pulse.T_Flash->interval(), 50);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], kBase - kStep);
    for (int i = 0; i < 8 + 8 + 8 + 3; ++i) pulse.T_FlashTimer();
    ASSERT_EQ(seen.size(), 28u);
    // 9 darkening ticks, 8 lightening, 8 darkening, then lightening again.
    std::vector<quint32> expected;
    quint32 c = kBase;
    const int runs[] = {9, -8, 8, -3};
    for (int run : runs)
        for (int i = 0; i < std::abs(run); ++i) {
            c = run > 0 ? c - kStep : c + kStep;
            expected.push_back(c);
        }
    EXPECT_EQ(seen, expected);

    pulse.EnablePulse(false);
    EXPECT_FALSE(pulse.Running());
    EXPECT_EQ(seen.back(), kBase);
    EXPECT_EQ(seen.size(), 29u);
}

TEST_F(ColorPulseTest, ChannelsSaturateAndOffAlwaysEndsOnTheBase) {
    TColorPulse pulse;
    listen(pulse);
    // Blue and green bottom out at 0 while darkening and so climb past
    // their base afterwards, blue up to 255; red never moves.
    const quint32 base = 0x041020;
    pulse.SetPulse(base, 0, 8, 0x80, 2);
    pulse.EnablePulse(true);
    for (int i = 0; i < 5; ++i) pulse.T_FlashTimer();
    const std::vector<quint32> expected = {0x000820, 0x000020, 0x000020, 0x800820, 0xFF1020, 0x7F0820};
    EXPECT_EQ(seen, expected);
    pulse.EnablePulse(false);
    EXPECT_EQ(seen.back(), base);
    // Off while already off still hands the base out.
    pulse.EnablePulse(false);
    EXPECT_EQ(seen.back(), base);
    EXPECT_EQ(seen.size(), expected.size() + 2);
}

TEST_F(ColorPulseTest, NothingIsEmittedWithoutACallback) {
    TColorPulse pulse;
    pulse.SetPulse(kBase, 0, 6, 6, 8);
    pulse.EnablePulse(true);
    EXPECT_FALSE(pulse.Running());
    pulse.T_FlashTimer();
    listen(pulse);
    EXPECT_TRUE(seen.empty());
    // A callback taken away while running silences the ticks.
    pulse.EnablePulse(true);
    pulse.OnPulse = nullptr;
    pulse.T_FlashTimer();
    pulse.EnablePulse(false);
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(ColorPulseTest, SeamPulsesOnlyOnceTheDialogExistsAndTicksOnItsTimer) {
    TCommandWindowServices services;
    ui::setCommandWindows(&services);
    ui::CommandWindowServices& seam = ui::commandWindows();
    seam.SetOnPulse([this](quint32 c) { seen.push_back(c); });
    seam.SetPulse(kBase, 0, 6, 6, 8);
    seam.EnablePulse(true);
    seam.EnablePulse(false);
    EXPECT_TRUE(seen.empty());

    seam.CreateColors();
    ASSERT_NE(services.Colors(), nullptr);
    EXPECT_FALSE(services.Colors()->isVisible());
    seam.SetOnPulse([this](quint32 c) { seen.push_back(c); });
    seam.SetPulse(kBase, 0, 6, 6, 8);
    seam.EnablePulse(true);
    // The real timer, with the dialog hidden.
    EXPECT_TRUE(QTest::qWaitFor([this] { return seen.size() >= 3; }, 5000));
    seam.EnablePulse(false);
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[0], kBase - kStep);
    EXPECT_EQ(seen[1], kBase - 2 * kStep);
    EXPECT_EQ(seen.back(), kBase);
    EXPECT_FALSE(services.Colors()->Pulse->Running());
    ui::setCommandWindows(nullptr);
}

}  // namespace
