#pragma once
// The numbers behind the rate graph: up to nine series of time-stamped
// samples with their running mean, extremes, smoothing and vertical scale.
// Kept apart from the window so that scaling and smoothing can be checked
// without painting anything.

#include <QString>
#include <QtGlobal>
#include <array>
#include <vector>

namespace tandex::ui {

struct TGraphSample {
    double Time = 0;  // local time of day as a fraction of a day
    float Value = 0;
    float Mean = 0;  // Sum / samples so far
};

struct TGraphSeries {
    bool InUse = false;
    bool Visible = false;
    bool ShowScale = false;
    qint32 Count = 0;
    qint32 X = 0;
    qint32 LastY = 0;
    qint32 MinIndex = 0, MaxIndex = 0;
    qint32 ScaleLink = -1;  // -1 own scale raised on demand, -2 fixed, 0..8 follows that place
    float ScaleMin = 0, ScaleMax = 1.5f;
    float GridStep = 1;
    float PixelsPerUnit = 0;
    float MinSeen = 0;
    float Sum = 0;
    float MaxSeen = 0;
    quint32 Color = 0;  // 0x00BBGGRR
    qint32 PenWidth = 1;
    QString Unit;
    // Grows with the run instead of reserving the whole store up front.
    std::vector<TGraphSample> Samples;
};

class TGraphModel {
public:
    static constexpr int kPlaces = 9;
    static constexpr qint32 kMaxSamples = 999'999;
    static constexpr int kSmoothWindows[5] = {0, 2, 5, 9, 19};

    // What one sample changed, for the window to redraw.
    struct TAddResult {
        bool Stored = false;
        bool Drawable = false;    // past the smoothing window
        bool NewExtreme = false;  // minimum or maximum moved
        bool ScaleRaised = false;
    };

    std::array<TGraphSeries, kPlaces> Series;
    int SmoothWindow = 0;
    int PlotHeight = 200;
    int BottomMargin = 20;

    int AddSeries(quint32 color, const QString& unit, float scaleBottom, float scaleTop, float gridStep,
                  int flags, int scaleLink);
    TAddResult Append(int place, float value, double timeOfDay);
    float SmoothedValue(int place, int index) const;
    void Recompute();
    void SetScale(int place, float top, float gridStep);
    // Returns true when the scale of the place (and its linked series) rose.
    bool SetMaxLabel(int place, int index, float value);
    void SetMinLabel(int place, int index, float value);
    void UpdatePixelsPerUnit(int place);
    void Reset();
    int BaseLine() const { return PlotHeight - BottomMargin; }
    int RowOf(int place, float value) const;
    // The value plotted for sample index: smoothed or raw.
    float PlotValue(int place, int index) const;
    bool Valid(int place) const { return place >= 0 && place < kPlaces && Series[size_t(place)].InUse; }

    // The top a new maximum lifts an own scale to: the smallest multiple
    // of five above trunc(value + 1) + 1.
    static float RaisedTop(float value);
};

}  // namespace tandex::ui
