#include "ui/main/overview_bar.h"

#include <QImage>
#include <cmath>
#include <map>
#include <memory>

#include "tests/ui/widget_harness.h"

using namespace tandex::ui;

namespace {

constexpr TColor kBackground = 0xE4E4E4;
constexpr TColor kMarker = 0xB1B1B1;

class OverviewBarTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        panel.resize(20, 400);
        bar = std::make_unique<TNBar>(&panel);
        bar->SetColors(kBackground, kMarker);
        Watch(&panel);
    }

    // Colours rows by a table; rows not in it are equal.
    void ColorRows(std::map<int, quint32> rows) {
        bar->OnRowColor = [rows = std::move(rows)](int row) {
            const auto it = rows.find(row);
            return it == rows.end() ? 0u : it->second;
        };
    }

    TNBarPanel panel;
    std::unique_ptr<TNBar> bar;
};

TEST_F(OverviewBarTest, HundredRowsScaleBelowMaximumWithFrame) {
    ColorRows({{10, 0x0000FF}});
    bar->Rebuild(100, 20, 16);
    EXPECT_DOUBLE_EQ(bar->Scale(), 3.98);
    EXPECT_EQ(bar->PixelsPerRow(), 4);
    EXPECT_EQ(bar->MarkerHeight(), 80);  // Round(20 * 3.98)
    EXPECT_TRUE(bar->HasMarker());
    const auto& colors = bar->Colors();
    ASSERT_EQ(colors.size(), 400u);
    for (int i = 38; i <= 46; ++i)
        EXPECT_EQ(colors[size_t(i)], i >= 40 && i <= 44 ? 0x0000FFu : 0u) << i;
}

TEST_F(OverviewBarTest, TenRowsDrawAtMaximumScaleWithoutFrame) {
    bar->OnRowColor = [](int) { return 0x00FF00u; };
    bar->Rebuild(10, 20, 16);
    EXPECT_DOUBLE_EQ(bar->Scale(), 16);
    EXPECT_EQ(bar->PixelsPerRow(), 16);
    EXPECT_FALSE(bar->HasMarker());
    EXPECT_EQ(bar->Colors()[160], 0x00FF00u);
    EXPECT_EQ(bar->Colors()[161], 0u);
    bar->Paint(0);
    EXPECT_EQ(bar->MarkerTop(), -1);
}

TEST_F(OverviewBarTest, MillionRowsKeepsMinimumFrameAndNegatesClicksBelowQuarterPage) {
    struct Case {
        int page;
        int markerHeight;
        bool negated;
    };
    const Case cases[] = {{50, 8, true}, {10051, 8, true}, {10052, 8, false}, {40000, 16, false}};
    for (const Case& c : cases) {
        bar->Rebuild(1000000, c.page, 16);
        EXPECT_DOUBLE_EQ(bar->Scale(), 0.000398);
        EXPECT_EQ(bar->MarkerHeight(), c.markerHeight) << c.page;
        EXPECT_EQ(bar->RowsPerPixel(), 2514);
        // A click outside the frame centres the frame on it.
        const int offset = c.markerHeight / 2;
        const int expected = int(std::nearbyint((200 - offset - 1) / 0.000398));
        EXPECT_EQ(bar->RowAt(200, false), c.negated ? -expected : expected) << c.page;
        EXPECT_EQ(bar->RowAt(200, true), expected) << c.page;
    }
}

TEST_F(OverviewBarTest, FrameFollowsTopAndADragKeepsTheGrabOffset) {
    bar->Rebuild(100, 20, 16);
    bar->Paint(10);
    EXPECT_EQ(bar->MarkerTop(), 41);
    EXPECT_EQ(bar->MarkerBottom(), 123);
    // Grabbed 9 pixels below the frame's top: the frame moves with the mouse.
    EXPECT_EQ(bar->RowAt(50, false), 10);
    EXPECT_EQ(bar->RowAt(90, true), 20);
    // Past the end the row stops at the last full page.
    EXPECT_EQ(bar->RowAt(399, true), 80);
    // At the end the frame is pulled up so that it ends inside the strip.
    bar->Paint(90);
    EXPECT_EQ(bar->MarkerTop(), 320);
}

TEST_F(OverviewBarTest, DocumentShorterThanPageScrollsToRowZero) {
    bar->Rebuild(10, 30, 16);
    EXPECT_EQ(bar->RowAt(300, false), 0);
    EXPECT_EQ(bar->RowAt(300, true), 0);
    bar->Rebuild(100, 300, 30);
    bar->Paint(0);
    EXPECT_EQ(bar->RowAt(350, true), 0);
}

TEST_F(OverviewBarTest, StripWithoutHeightHasNoFrameAndRowZero) {
    for (int height : {0, 1, 2}) {
        panel.resize(20, height);
        bar->OnRowColor = [](int) { return 0x0000FFu; };
        bar->Rebuild(1000, 50, 16);
        bar->Paint(100);
        EXPECT_FALSE(bar->HasMarker()) << height;
        EXPECT_EQ(bar->RowAt(1, false), 0) << height;
        EXPECT_EQ(bar->RowAt(1, true), 0) << height;
        EXPECT_GT(bar->RowsPerPixel(), 0);
        EXPECT_FALSE(bar->Strokes(20, height).empty());
    }
}

TEST_F(OverviewBarTest, GrabShowsSidesFrameAndBackground) {
    // 1,000 rows: a left-only block, a right-only block, a changed block and
    // scattered single rows on either side.
    std::map<int, quint32> rows;
    for (int r = 100; r < 130; ++r)
        rows[r] = 0x0000FF | kOnlyLeftRow;
    for (int r = 500; r < 520; ++r)
        rows[r] = 0x00A000 | kOnlyRightRow;
    for (int r = 800; r < 810; ++r)
        rows[r] = 0xFF8000;
    for (int r = 300; r < 1000; r += 97)
        rows[r] = 0x0080FF | (r % 2 ? kOnlyLeftRow : kOnlyRightRow);
    ColorRows(rows);
    bar->Rebuild(1000, 50, 16);
    bar->Paint(600);
    ASSERT_EQ(bar->MarkerTop(), 240);
    const QImage image = panel.grab().toImage();
    tandex::testing::GrabToPng(&panel, QStringLiteral("OverviewBar.Rows1000"));

    const auto at = [&](int x, int y) { return image.pixelColor(x, y); };
    EXPECT_EQ(at(5, 0), ToQColor(0xC0C0C0));  // silver top line
    EXPECT_EQ(at(0, 30), ToQColor(kBackground));
    EXPECT_EQ(at(5, 30), ToQColor(kBackground));
    // Row 110 (pixel 45) is on the left only, row 510 (pixel 204) on the right.
    EXPECT_EQ(at(5, 45), ToQColor(0x0000FF));
    EXPECT_EQ(at(15, 45), ToQColor(kBackground));
    EXPECT_EQ(at(5, 204), ToQColor(kBackground));
    EXPECT_EQ(at(15, 204), ToQColor(0x00A000));
    // Row 805 (pixel 321) spans the strip.
    EXPECT_EQ(at(5, 321), ToQColor(0xFF8000));
    EXPECT_EQ(at(15, 321), ToQColor(0xFF8000));
    // The frame: dark edges and sides, the marker colour inside.
    const QColor dark = ToQColor(0x717171);
    EXPECT_EQ(at(10, 239), dark);
    EXPECT_EQ(at(10, 261), dark);
    EXPECT_EQ(at(1, 250), dark);
    EXPECT_EQ(at(18, 250), dark);
    EXPECT_EQ(at(10, 250), ToQColor(kMarker));
}

}  // namespace
