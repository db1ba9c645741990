#include "ui/folders/graph_win.h"

#include <QCheckBox>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include <cmath>

#include "config/app_settings.h"
#include "tests/ui/widget_harness.h"

namespace config = tandex::config;
namespace ui = tandex::ui;

namespace {

const QRgb kGrey = qRgb(192, 192, 192);

class GraphWin : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        auto& s = config::AppSettings();
        s.PGOpt = 1;
        s.PGSmoothVal = 0;
        g = std::make_unique<ui::TF_Graph>();
        Watch(g.get());
        // A fixed clock: 12:34:56 plus one second per sample.
        g->TimeOfDay = [this] { return (45296.0 + ticks++) / 86400.0; };
        g->SetDigits(3, 0);
        a = g->AddSeries(0x008000, QStringLiteral(" MB/s"), 0, 1.5f, 1.0f, 15, -1);
        b = g->AddSeries(0x0000FF, QStringLiteral(" MB/s"), 0, 1.5f, 1.0f, 0, a);
        g->SetPenWidth(b, 2);
        g->SetGraphSize(300, 120, false);
        g->show();
    }
    void TearDown() override {
        WidgetTest::TearDown();
        g.reset();
    }
    QImage Inner() const {
        const QImage img = g->PlotPixmap().toImage();
        const int m = g->GraphMargin();
        return img.copy(m, 0, img.width() - 2 * m - 1, g->Model().BaseLine() + 1);
    }
    // Where two plots part, for a readable failure. A time mark crossing a
    // grid line may lie above or below it, so grey pixels do not count.
    static std::string FirstDifference(const QImage& x, const QImage& y) {
        if (x.size() != y.size()) return "sizes differ";
        for (int c = 0; c < x.width(); ++c)
            for (int r = 0; r < x.height(); ++r)
                if (x.pixel(c, r) != y.pixel(c, r) && x.pixel(c, r) != kGrey && y.pixel(c, r) != kGrey)
                    return QStringLiteral("column %1 row %2: %3 against %4")
                        .arg(c)
                        .arg(r)
                        .arg(x.pixel(c, r), 0, 16)
                        .arg(y.pixel(c, r), 0, 16)
                        .toStdString();
        return {};
    }
    // A gentle wave whose extremes lie in the first two samples.
    static float Wave(int i) { return i == 0 ? 1.4f : i == 1 ? 0.1f : 0.7f + 0.01f * std::sin(float(i) / 10); }

    std::unique_ptr<ui::TF_Graph> g;
    int a = -1, b = -1;
    int ticks = 0;
};

TEST_F(GraphWin, LiveSamplesScrollOnePixelEachAndMatchAFullRepaint) {
    const int n = 700;
    const int m = g->GraphMargin();
    const int stop = g->PlotWidth() - m - 3;
    int repaints = 0;
    for (int i = 0; i < n; ++i) {
        if (i == 10) repaints = g->FullRepaints;
        g->AddSample(a, true, Wave(i));
    }
    EXPECT_EQ(g->FullRepaints, repaints) << "the live path repainted the whole plot";
    EXPECT_EQ(g->ScrollOffset(), n - 1 - (stop - m));
    EXPECT_EQ(g->SBGraph->maximum(), g->ScrollOffset());
    EXPECT_EQ(g->SBGraph->value(), g->ScrollOffset());
    // Time marks every 100 samples: sample k sits at column GraphMargin + k - ScrollOffset.
    const QImage img = g->PlotPixmap().toImage();
    for (int k = 100; k < n; k += 100) {
        const int x = m + k - g->ScrollOffset();
        if (x <= m || x >= stop) continue;
        EXPECT_EQ(img.pixel(x, 2), kGrey) << k;
        EXPECT_NE(img.pixel(x + 1, 2), kGrey) << k;
    }
    const QImage live = Inner();
    g->ImgGraphPaint();
    EXPECT_EQ(FirstDifference(live, Inner()), "") << "incremental drawing differs from a full repaint";
}

TEST_F(GraphWin, ScrolledBackGrowsTheRangeWithoutDrawingAndEndGoesLive) {
    for (int i = 0; i < 500; ++i) g->AddSample(a, true, Wave(i));
    const int live = g->ScrollOffset();
    g->fbStartClick();
    EXPECT_EQ(g->ScrollOffset(), 0);
    const QImage before = g->PlotPixmap().toImage();
    for (int i = 500; i < 520; ++i) g->AddSample(a, true, Wave(i));
    EXPECT_EQ(g->SBGraph->maximum(), live + 20);
    EXPECT_EQ(g->ScrollOffset(), 0);
    EXPECT_EQ(g->PlotPixmap().toImage(), before);
    g->fbEndClick();
    EXPECT_EQ(g->ScrollOffset(), live + 20);
    g->AddSample(a, true, Wave(520));
    EXPECT_EQ(g->ScrollOffset(), live + 21);
}

TEST_F(GraphWin, MaxLabelBringsAFarSampleIntoView) {
    for (int i = 0; i < 2000; ++i) g->AddSample(a, true, i == 700 ? 4.2f : Wave(i % 2 + 2));
    ASSERT_EQ(g->Model().Series[size_t(a)].MaxIndex, 700);
    EXPECT_FLOAT_EQ(g->Model().Series[size_t(a)].ScaleMax, 10);
    EXPECT_EQ(g->L_MaxValue[size_t(a)]->text(), QStringLiteral("4.20 MB/s"));
    QTest::mouseClick(g->L_MaxValue[size_t(a)], Qt::LeftButton);
    EXPECT_EQ(g->ScrollOffset(), 600);
    EXPECT_EQ(g->SBGraph->value(), 600);
    // Already well inside the view: nothing moves.
    QTest::mouseClick(g->L_MaxValue[size_t(a)], Qt::LeftButton);
    EXPECT_EQ(g->ScrollOffset(), 600);
    // Near the end the view stops at the last full page.
    g->AddSample(a, true, 9.0f);
    QTest::mouseClick(g->L_MaxValue[size_t(a)], Qt::LeftButton);
    const int span = g->PlotWidth() - 2 * g->GraphMargin();
    EXPECT_EQ(g->ScrollOffset(), 2001 - span);
}

TEST_F(GraphWin, HoverShowsExtremeLabelsBoldOnLightRed) {
    g->AddSample(a, true, 1.0f);
    QLabel* label = g->L_MinValue[size_t(a)];
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(label, &enter);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->palette().color(QPalette::Window), QColor(255, 224, 224));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(label, &leave);
    EXPECT_FALSE(label->font().bold());
    EXPECT_EQ(label->palette().color(QPalette::Window), g->palette().color(QPalette::Window));
}

TEST_F(GraphWin, ShowBoxHidesItsCurve) {
    for (int i = 0; i < 50; ++i) {
        g->AddSample(a, false, 1.0f);
        g->AddSample(b, true, 0.5f);
    }
    auto countRed = [this] {
        const QImage img = Inner();
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixel(x, y) == qRgb(255, 0, 0);
        return n;
    };
    g->ImgGraphPaint();
    EXPECT_GT(countRed(), 50);
    g->CB_Show[size_t(b)]->setChecked(false);
    g->CB_Show0Click(b);
    EXPECT_EQ(countRed(), 0);
    EXPECT_FALSE(g->Model().Series[size_t(b)].Visible);
}

TEST_F(GraphWin, SmoothPositionsAndOptionsPersist) {
    const char* names[] = {"Off", "Low", "Mean", "High", "Max"};
    const int windows[] = {0, 2, 5, 9, 19};
    for (int pos : {4, 0, 2, 3, 1}) {
        g->TB_Smooth->setValue(pos);
        EXPECT_EQ(g->L_Smooth->text(), QStringLiteral("Smooth\n") + QLatin1String(names[pos]));
        EXPECT_EQ(config::AppSettings().PGSmoothVal, pos);
        EXPECT_EQ(g->Model().SmoothWindow, windows[pos]);
    }
    EXPECT_TRUE(g->CB_ShowTime->isChecked());
    EXPECT_FALSE(g->CB_ShowIndex->isChecked());
    g->CB_ShowTime->setChecked(false);
    g->CB_ShowIndex->setChecked(true);
    g->close();
    EXPECT_EQ(config::AppSettings().PGOpt, 2);

    config::AppSettings().PGOpt = 3;
    config::AppSettings().PGSmoothVal = 7;  // out of range in a hand-edited file
    ui::TF_Graph again;
    EXPECT_TRUE(again.CB_ShowTime->isChecked());
    EXPECT_TRUE(again.CB_ShowIndex->isChecked());
    EXPECT_EQ(again.TB_Smooth->value(), 4);
}

TEST_F(GraphWin, CloseGraphWindowFreesTheInstance) {
    ui::F_Graph() = new ui::TF_Graph();
    QPointer<ui::TF_Graph> seen = ui::F_Graph();
    ui::CloseGraphWindow();
    EXPECT_TRUE(ui::F_Graph().isNull());
    EXPECT_TRUE(seen.isNull());
    ui::CloseGraphWindow();  // nothing open: no harm
}

// A simulated compare run, saved for a developer to look at.
TEST_F(GraphWin, SimulatedRunGrab) {
    g->SetGraphSize(575, 260, true);
    g->CB_ShowIndex->setChecked(true);
    double total = 0;
    for (int i = 0; i < 460; ++i) {
        const float rate = float(6 + 3 * std::sin(i / 25.0) + (i % 37 == 0 ? 4 : 0) - (i % 53 == 0 ? 5 : 0));
        total += rate;
        g->AddSample(a, false, rate);
        g->AddSample(b, true, float(total / (i + 1)));
    }
    g->ImgGraphPaint();
    EXPECT_FLOAT_EQ(g->Model().Series[size_t(a)].ScaleMax, 15);
    EXPECT_FALSE(tandex::testing::GrabToPng(g.get(), QStringLiteral("GraphWin.SimulatedRun")).isEmpty());
}

}  // namespace
