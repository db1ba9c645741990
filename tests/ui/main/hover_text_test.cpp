#include "ui/main/hover_text.h"

#include <QCursor>
#include <QFontMetrics>
#include <QTimer>

#include "config/sys_helpers.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;

namespace {

// Every character is 7 pixels wide.
int FakeWidth(const QString& text) {
    return int(text.size()) * 7;
}

TEST(HoverTextWrap, FittingTextIsOneLineOfItsWidthPlusMargin) {
    const THoverPlacement p = PlaceHoverText(QStringLiteral("abcdefghij"), 100, 800, 5, 200, FakeWidth);
    EXPECT_EQ(p.left, 100);
    EXPECT_EQ(p.width, 75);
    EXPECT_EQ(p.lines, QStringList{QStringLiteral("abcdefghij")});
}

TEST(HoverTextWrap, NearTheEdgeLinesFitTheRoomLeftAndStopAtForty) {
    struct Case {
        int chars;
        int x;
        int left;
        int width;
        qsizetype lines;
    };
    const Case cases[] = {
        {300, 400, 400, 400, 6},      // 55 characters (385 pixels) a line
        {20000, 700, 600, 200, 40},   // room of 100 pixels widened to 200
        {300, 797, 600, 200, 12},     // 3 pixels left: moved, 27 a line
        {20, 795, 655, 145, 1},       // short text: moved left, not wrapped
    };
    for (const Case& c : cases) {
        const QString text(c.chars, QLatin1Char('x'));
        const THoverPlacement p = PlaceHoverText(text, c.x, 800, 5, 200, FakeWidth);
        EXPECT_EQ(p.left, c.left) << c.chars << " at " << c.x;
        EXPECT_EQ(p.width, c.width) << c.chars << " at " << c.x;
        EXPECT_EQ(p.lines.size(), c.lines) << c.chars << " at " << c.x;
        for (const QString& line : p.lines) {
            EXPECT_FALSE(line.isEmpty());
            if (c.lines > 1) {
                EXPECT_LE(FakeWidth(line), p.width - 5);
            }
        }
        if (p.lines.size() < kHoverMaxLines) {
            EXPECT_EQ(p.lines.join(QString()), text);
        }
    }
}

TEST(HoverTextWrap, KeepsSurrogatePairsWhole) {
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QString::fromUcs4(U"\U0001F600");
    const QStringList lines = WrapHoverText(text, 100, FakeWidth);
    ASSERT_GT(lines.size(), 1);
    for (const QString& line : lines)
        EXPECT_FALSE(line.back().isHighSurrogate());
    EXPECT_EQ(lines.join(QString()), text);
}

class HoverTextTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        Watch(&hover);
        hover.Timer1->setInterval(1);
    }

    // Waits until the show timer has run.
    void WaitForTimer() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !hover.Timer1->isActive(); }, 2000));
        QCoreApplication::processEvents();
    }

    TF_HoverText hover;
};

TEST_F(HoverTextTest, RowTextAppearsAfterTheDelayWhileThePointerRestsOnIt) {
    hover.SetFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    const QString text = QStringLiteral("A cut-off row of text");
    QCursor::setPos(120, 105);
    hover.HoveredRow = 7;
    hover.ShowText(100, 100, text);
    EXPECT_FALSE(hover.isVisible());
    EXPECT_EQ(hover.TimerTag(), 0);
    WaitForTimer();
    EXPECT_TRUE(hover.isVisible());
    EXPECT_EQ(hover.Lines(), QStringList{text});
    EXPECT_EQ(hover.geometry(),
              QRect(100, 99,
                    QFontMetrics(QFont(QStringLiteral("DejaVu Sans"), 10)).horizontalAdvance(text) +
                        tandex::config::Helpers().DpiPx5,
                    hover.LineHeight() + tandex::config::Helpers().DpiPx2));
    EXPECT_EQ(hover.HoveredRow, 7);
    tandex::testing::GrabToPng(&hover, QStringLiteral("HoverText.Row"));
    hover.Hide();
    EXPECT_FALSE(hover.isVisible());
    EXPECT_EQ(hover.HoveredRow, -1);
}

TEST_F(HoverTextTest, PointerGoneBeforeTheDelayShowsNothing) {
    QCursor::setPos(500, 500);
    hover.HoveredRow = 3;
    hover.ShowText(100, 100, QStringLiteral("gone"));
    WaitForTimer();
    EXPECT_FALSE(hover.isVisible());
    EXPECT_EQ(hover.HoveredRow, -1);
}

TEST_F(HoverTextTest, NoteStaysThroughTheFirstHide) {
    hover.ShowLines(50, 60, QStringLiteral("Similarity: 87%\rLeft: 120 chars\rRight: 131 chars"));
    EXPECT_TRUE(hover.isVisible());
    EXPECT_EQ(hover.Lines().size(), 3);
    EXPECT_EQ(hover.height(), 3 * hover.LineHeight() + tandex::config::Helpers().DpiPx2);
    tandex::testing::GrabToPng(&hover, QStringLiteral("HoverText.Note"));
    hover.Hide();
    EXPECT_TRUE(hover.isVisible());
    EXPECT_FALSE(hover.Sticky());
    hover.Hide();
    EXPECT_FALSE(hover.isVisible());
}

TEST_F(HoverTextTest, MouseGoesOnToTheMainWindowInScreenCoordinates) {
    QPoint down, move;
    hover.OnMouseDown = [&](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) { down = {x, y}; };
    hover.OnMouseMove = [&](Qt::KeyboardModifiers, int x, int y) { move = {x, y}; };
    hover.ShowLines(50, 60, QStringLiteral("one\rtwo"));
    QTest::mousePress(&hover, Qt::LeftButton, {}, QPoint(10, 3));
    EXPECT_EQ(down, QPoint(60, 63));
    EXPECT_TRUE(hover.Timer1->isActive());
    EXPECT_EQ(hover.TimerTag(), 1);
    QTest::mouseMove(&hover, QPoint(12, 2));
    EXPECT_EQ(move, QPoint());  // over the first line
    QTest::mouseMove(&hover, QPoint(12, hover.LineHeight() + 3));
    EXPECT_EQ(move, QPoint(62, 63 + hover.LineHeight()));
}

}  // namespace
