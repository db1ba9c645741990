#pragma once
// A small stay-on-top window that plots up to nine series live while a
// long run goes on (the folder comparison's and the copy's rate graphs).
// The owner creates it for each run and frees it with CloseGraphWindow.

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "ui/folders/graph_model.h"

class QCheckBox;
class QLabel;
class QScrollBar;
class QSlider;

namespace tandex::ui {

class TFlatButton2;

// The paint box: shows the window's backing pixmap and nothing else.
class TGraphPlot : public QWidget {
    Q_OBJECT
public:
    explicit TGraphPlot(QWidget* parent, const QPixmap& plot);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QPixmap& plot_;
};

class TF_Graph : public QWidget {
    Q_OBJECT

public:
    explicit TF_Graph(QWidget* owner = nullptr);
    ~TF_Graph() override;

    void SetDigits(int integerDigits, int fractionDigits);
    int AddSeries(quint32 color, const QString& unit, float scaleBottom, float scaleTop, float gridStep, int flags,
                  int scaleLink);
    void SetPenWidth(int place, int width);
    void SetGraphSize(int width, int height, bool wholeWindow);
    void SetPosition(int left, int top);
    void Reset();
    void AddSample(int place, bool advance, float value);
    void SetScale(int place, float top, float gridStep);

    // Handlers.
    void ImgGraphPaint();
    void SBGraphScroll();
    void fbStartClick();
    void fbEndClick();
    void fbClearClick();
    void TB_SmoothChange(bool byUser = true);
    void CB_ShowTimeClick();
    void CB_ShowIndexClick();
    void CB_Show0Click(int place);
    void L_MinValue0Click(int place);
    void L_MaxValue0Click(int place);
    void L_MinValue0MouseEnter(int place);
    void L_MinValue0MouseLeave(int place);
    void L_MaxValue0MouseEnter(int place);
    void L_MaxValue0MouseLeave(int place);

    const TGraphModel& Model() const { return model_; }
    int ScrollOffset() const { return scrollOffset_; }
    int GraphMargin() const { return graphMargin_; }
    int RepaintCountdown() const { return repaintCountdown_; }
    int PlotWidth() const { return pixmap_.width(); }
    const QPixmap& PlotPixmap() const { return pixmap_; }
    QScrollBar* SBGraph = nullptr;
    QSlider* TB_Smooth = nullptr;
    QLabel* L_Smooth = nullptr;
    QCheckBox *CB_ShowTime = nullptr, *CB_ShowIndex = nullptr;
    TFlatButton2 *fbStart = nullptr, *fbEnd = nullptr, *fbClear = nullptr;
    TGraphPlot* ImgGraph = nullptr;
    std::array<QLabel*, TGraphModel::kPlaces> L_MaxValue{}, L_MeanValue{}, L_MinValue{};
    std::array<QCheckBox*, TGraphModel::kPlaces> CB_Show{};
    // Local time of day as a fraction of a day; tests fix it.
    std::function<double()> TimeOfDay;
    // Counts full repaints, so that tests see the live path stay incremental.
    int FullRepaints = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void ScrollPlot();
    void DrawTimeMark(QPainter& p, int x, int index);
    void DrawScale(QPainter& p, int place);
    void DrawExtremeMarks(QPainter& p, int place, int f, int y);
    void DrawAxes(QPainter& p);
    void GrowMargin(int place);
    int LabelWidth(int place) const;
    void LayoutControls();
    void UpdateMinLabel(int place);
    void UpdateMaxLabel(int place);
    void ShowMeans();
    void EmptyLabels();
    void JumpTo(int place, int index);
    void SetHover(QLabel* label, bool on);
    int Span() const { return pixmap_.width() - 2 * graphMargin_; }
    QString ValueText(int place, float value) const;
    QPen SeriesPen(int place) const;

    TGraphModel model_;
    QPixmap pixmap_;
    QLabel *L_MaxTit = nullptr, *L_MeanTit = nullptr, *L_MinTit = nullptr;
    int graphMargin_ = 40;
    int bottomMargin_ = 20;
    int scrollOffset_ = 0;
    int intDigits_ = 2, fracDigits_ = 1;
    int repaintCountdown_ = -1;
    int overheadW_ = 0, overheadH_ = 0;
    int labelColumn_ = 0;
};

// The open graph window; empty while there is none.
QPointer<TF_Graph>& F_Graph();
// Closes and frees the window when one exists.
void CloseGraphWindow();
// Opens the transfer-rate graph of a run beside its owner, gap pixels to the
// right: the current rate and its average in the size unit per second. The
// caller shows it.
TF_Graph* OpenRateGraph(QWidget* owner, const QString& caption, int gap, int& rateSeries, int& averageSeries);

}  // namespace tandex::ui
