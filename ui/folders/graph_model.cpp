#include "ui/folders/graph_model.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tandex::ui {

namespace {
constexpr float kInf = std::numeric_limits<float>::infinity();
}

int TGraphModel::AddSeries(quint32 color, const QString& unit, float scaleBottom, float scaleTop, float gridStep,
                           int flags, int scaleLink) {
    int place = 0;
    while (place < kPlaces && Series[size_t(place)].InUse) ++place;
    if (place >= kPlaces) return -1;
    TGraphSeries& s = Series[size_t(place)];
    s = TGraphSeries{};
    s.ShowScale = (flags & 8) != 0;
    s.ScaleLink = scaleLink;
    s.ScaleMin = scaleBottom;
    s.ScaleMax = scaleTop;
    s.GridStep = gridStep;
    s.Color = color;
    s.PenWidth = 1;
    s.Unit = unit.left(15);
    s.MinSeen = kInf;
    UpdatePixelsPerUnit(place);
    s.Visible = true;
    s.InUse = true;
    return place;
}

void TGraphModel::UpdatePixelsPerUnit(int place) {
    TGraphSeries& s = Series[size_t(place)];
    const float span = s.ScaleMax - s.ScaleMin;
    // A degenerate scale would divide by zero; it draws flat instead.
    s.PixelsPerUnit = span > 0 ? float(BaseLine()) / span : 0.0f;
}

int TGraphModel::RowOf(int place, float value) const {
    const TGraphSeries& s = Series[size_t(place)];
    const double px = double(value - s.ScaleMin) * double(s.PixelsPerUnit);
    // Huge values would overflow the int conversion; the painter clips anyway.
    const double clamped = std::clamp(std::round(px), -1.0e6, 1.0e6);
    return BaseLine() - int(clamped);
}

float TGraphModel::SmoothedValue(int place, int index) const {
    if (!Valid(place) || index < SmoothWindow || index >= Series[size_t(place)].Count) return 0;
    const auto& samples = Series[size_t(place)].Samples;
    float sum = 0;
    for (int i = index - SmoothWindow + 1; i <= index; ++i) sum += samples[size_t(i)].Value;
    return sum / float(SmoothWindow);
}

float TGraphModel::PlotValue(int place, int index) const {
    return SmoothWindow > 0 ? SmoothedValue(place, index) : Series[size_t(place)].Samples[size_t(index)].Value;
}

float TGraphModel::RaisedTop(float value) {
    const qint64 above = qint64(std::trunc(double(value) + 1)) + 1;
    return float(5 * (above / 5 + 1));
}

void TGraphModel::SetScale(int place, float top, float gridStep) {
    if (!Valid(place)) return;
    TGraphSeries& s = Series[size_t(place)];
    s.ScaleMax = top;
    s.GridStep = gridStep;
    UpdatePixelsPerUnit(place);
}

bool TGraphModel::SetMaxLabel(int place, int index, float value) {
    TGraphSeries& s = Series[size_t(place)];
    s.MaxSeen = value;
    s.MaxIndex = index;
    if (s.ScaleLink != -1 || value <= s.ScaleMax) return false;
    const float top = RaisedTop(value);
    SetScale(place, top, top / 5);
    for (int p = 0; p < kPlaces; ++p)
        if (p != place && Series[size_t(p)].InUse && Series[size_t(p)].ScaleLink == place) SetScale(p, top, top / 5);
    return true;
}

void TGraphModel::SetMinLabel(int place, int index, float value) {
    TGraphSeries& s = Series[size_t(place)];
    s.MinSeen = value;
    s.MinIndex = index;
}

TGraphModel::TAddResult TGraphModel::Append(int place, float value, double timeOfDay) {
    TAddResult r;
    if (!Valid(place)) return r;
    TGraphSeries& s = Series[size_t(place)];
    if (s.Count >= kMaxSamples) return r;
    const int index = s.Count;
    s.Samples.push_back({timeOfDay, value, 0});
    ++s.Count;
    r.Stored = true;
    float v = value;
    r.Drawable = index >= SmoothWindow;
    if (SmoothWindow > 0 && r.Drawable) v = SmoothedValue(place, index);
    s.LastY = RowOf(place, v);
    s.Sum += v;
    s.Samples[size_t(index)].Mean = s.Sum / float(s.Count);
    if (r.Drawable) {
        if (v > s.MaxSeen) {
            r.ScaleRaised = SetMaxLabel(place, index, v);
            r.NewExtreme = true;
        }
        if (v < s.MinSeen) {
            SetMinLabel(place, index, v);
            r.NewExtreme = true;
        }
        if (r.ScaleRaised) s.LastY = RowOf(place, v);
    }
    return r;
}

void TGraphModel::Recompute() {
    for (int p = 0; p < kPlaces; ++p) {
        TGraphSeries& s = Series[size_t(p)];
        if (!s.InUse) continue;
        s.Sum = 0;
        s.MinSeen = kInf;
        s.MaxSeen = 0;
        if (s.ScaleLink != -2) s.ScaleMax = 1.5f;
    }
    for (int p = 0; p < kPlaces; ++p) {
        TGraphSeries& s = Series[size_t(p)];
        if (!s.InUse) continue;
        for (int j = 0; j < s.Count; ++j) {
            TGraphSample& sample = s.Samples[size_t(j)];
            if (SmoothWindow > 0 && j < SmoothWindow) {
                sample.Mean = 0;
                continue;
            }
            const float v = PlotValue(p, j);
            s.Sum += v;
            if (v > s.MaxSeen) SetMaxLabel(p, j, v);
            if (v < s.MinSeen) SetMinLabel(p, j, v);
            sample.Mean = s.Sum / float(j + 1);
        }
    }
}

void TGraphModel::Reset() {
    for (int p = 0; p < kPlaces; ++p) {
        TGraphSeries& s = Series[size_t(p)];
        if (s.InUse) UpdatePixelsPerUnit(p);
        s.Samples.clear();
        s.Samples.shrink_to_fit();
        s.MinSeen = kInf;
        s.MaxSeen = 0;
        s.Count = 0;
        s.Sum = 0;
        s.MinIndex = s.MaxIndex = 0;
    }
}

}  // namespace tandex::ui
