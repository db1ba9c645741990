#include "ui/folders/graph_model.h"

#include <gtest/gtest.h>

#include <cmath>

using tandex::ui::TGraphModel;

namespace {

// The rate graph's owners add their two series like this.
void AddRatePair(TGraphModel& m) {
    ASSERT_EQ(m.AddSeries(0x008000, QStringLiteral(" MB/s"), 0, 1.5f, 1.0f, 15, -1), 0);
    ASSERT_EQ(m.AddSeries(0x0000FF, QStringLiteral(" MB/s"), 0, 1.5f, 1.0f, 0, 0), 1);
}

TEST(GraphModel, NineSeriesAtMostAndCountCapped) {
    TGraphModel m;
    for (int i = 0; i < 9; ++i) EXPECT_EQ(m.AddSeries(0, QString(), 0, 1.5f, 1, 0, -2), i);
    EXPECT_EQ(m.AddSeries(0, QString(), 0, 1.5f, 1, 0, -2), -1);
    EXPECT_EQ(m.AddSeries(0, QStringLiteral("a unit longer than fifteen"), 0, 1, 1, 0, -2), -1);

    TGraphModel big;
    big.AddSeries(0, QStringLiteral("0123456789abcdefgh"), 0, 1.5f, 1, 0, -2);
    EXPECT_EQ(big.Series[0].Unit, QStringLiteral("0123456789abcde"));
    for (int i = 0; i < TGraphModel::kMaxSamples; ++i) big.Append(0, 1.0f, 0.5);
    EXPECT_FALSE(big.Append(0, 1.0f, 0.5).Stored);
    EXPECT_EQ(big.Series[0].Count, 999'999);
    EXPECT_EQ(big.Series[0].Samples.size(), 999'999u);
    // Places not in use or out of range take nothing.
    EXPECT_FALSE(big.Append(1, 1.0f, 0.5).Stored);
    EXPECT_FALSE(big.Append(9, 1.0f, 0.5).Stored);
    EXPECT_FALSE(big.Append(-1, 1.0f, 0.5).Stored);
    big.Reset();
    EXPECT_EQ(big.Series[0].Count, 0);
    EXPECT_TRUE(big.Series[0].Samples.empty());
}

TEST(GraphModel, ScaleRaiseTable) {
    struct Case {
        float first;
        float top, step;
    };
    const Case cases[] = {{4.2f, 10, 2}, {9.5f, 15, 3}, {3.5f, 10, 2}, {2.9f, 5, 1}, {1.2f, 1.5f, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        TGraphModel m;
        AddRatePair(m);
        const auto r = m.Append(0, c.first, 0.5);
        EXPECT_EQ(r.ScaleRaised, c.top != 1.5f);
        EXPECT_FLOAT_EQ(m.Series[0].ScaleMax, c.top);
        EXPECT_FLOAT_EQ(m.Series[0].GridStep, c.step);
        // The linked average follows the current rate's scale.
        EXPECT_FLOAT_EQ(m.Series[1].ScaleMax, c.top);
        EXPECT_FLOAT_EQ(m.Series[1].GridStep, c.step);
        EXPECT_FLOAT_EQ(m.Series[1].PixelsPerUnit, float(m.BaseLine()) / c.top);
    }
    // A linked or fixed series never raises a scale by itself.
    TGraphModel m;
    AddRatePair(m);
    m.Append(1, 40.0f, 0.5);
    EXPECT_FLOAT_EQ(m.Series[0].ScaleMax, 1.5f);
    EXPECT_FLOAT_EQ(m.Series[1].ScaleMax, 1.5f);
}

TEST(GraphModel, ExtremesMeansAndTies) {
    TGraphModel m;
    AddRatePair(m);
    for (float v : {-2.0f, -1.0f}) m.Append(0, v, 0.5);
    EXPECT_FLOAT_EQ(m.Series[0].MaxSeen, 0);  // negatives never become the maximum at 0
    EXPECT_FLOAT_EQ(m.Series[0].MinSeen, -2);
    EXPECT_EQ(m.Series[0].MinIndex, 0);
    for (float v : {1.0f, 1.0f, -2.0f}) m.Append(0, v, 0.5);
    EXPECT_EQ(m.Series[0].MaxIndex, 2);  // the earlier of two equal maxima
    EXPECT_EQ(m.Series[0].MinIndex, 0);  // and of two equal minima
    float sum = 0;
    const float raw[] = {-2, -1, 1, 1, -2};
    for (int i = 0; i < 5; ++i) {
        sum += raw[i];
        EXPECT_FLOAT_EQ(m.Series[0].Samples[size_t(i)].Mean, sum / float(i + 1)) << i;
    }
}

TEST(GraphModel, SmoothingMeanSkipsItsWindow) {
    TGraphModel m;
    AddRatePair(m);
    m.SmoothWindow = 5;
    const float raw[] = {9, 1, 1, 1, 1, 2, 1.2f};
    for (int i = 0; i < 5; ++i) {
        const auto r = m.Append(0, raw[i], 0.5);
        EXPECT_FALSE(r.Drawable) << i;
        EXPECT_FALSE(r.NewExtreme) << i;
    }
    EXPECT_FLOAT_EQ(m.Series[0].MaxSeen, 0);  // the 9 inside the window is not an extreme
    EXPECT_TRUE(std::isinf(m.Series[0].MinSeen));
    EXPECT_TRUE(m.Append(0, raw[5], 0.5).Drawable);
    EXPECT_FLOAT_EQ(m.SmoothedValue(0, 5), (1 + 1 + 1 + 1 + 2) / 5.0f);
    EXPECT_FLOAT_EQ(m.SmoothedValue(0, 4), 0);
    EXPECT_FLOAT_EQ(m.Series[0].MaxSeen, 1.2f);
    EXPECT_EQ(m.Series[0].MaxIndex, 5);
    m.Append(0, raw[6], 0.5);

    // Recompute with smoothing off sees the raw values again.
    m.SmoothWindow = 0;
    m.Recompute();
    EXPECT_FLOAT_EQ(m.Series[0].MaxSeen, 9);
    EXPECT_EQ(m.Series[0].MaxIndex, 0);
    EXPECT_FLOAT_EQ(m.Series[0].ScaleMax, 15);
    EXPECT_FLOAT_EQ(m.Series[0].MinSeen, 1);
    EXPECT_EQ(m.Series[0].MinIndex, 1);
    // And back on: samples below the window keep a mean of 0, the rest Sum / (j + 1).
    m.SmoothWindow = 5;
    m.Recompute();
    EXPECT_FLOAT_EQ(m.Series[0].ScaleMax, 1.5f);
    EXPECT_FLOAT_EQ(m.Series[0].Samples[4].Mean, 0);
    const float s5 = m.SmoothedValue(0, 5), s6 = m.SmoothedValue(0, 6);
    EXPECT_FLOAT_EQ(m.Series[0].Samples[5].Mean, s5 / 6);
    EXPECT_FLOAT_EQ(m.Series[0].Samples[6].Mean, (s5 + s6) / 7);
}

}  // namespace
