#include "ui/folders/graph_win.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QTime>
#include <algorithm>
#include <cmath>

#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/sys_helpers.h"
#include "ui/main/flat_button.h"

namespace tandex::ui {

namespace {

const QColor kGridGrey(192, 192, 192);
const QColor kHoverRed(255, 224, 224);
const char* const kSmoothNames[5] = {"Off", "Low", "Mean", "High", "Max"};

QColor FromBgr(quint32 c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// Flat buttons take their size in 96-dpi units.
void PlaceButton(TFlatButton2* b, int x, int y, int w, int h) {
    const int per100 = std::max(1, config::ScaleDpi(100));
    b->move(x, y);
    b->SetWidth(w * 100 / per100);
    b->SetHeight(h * 100 / per100);
}

double NowOfDay() { return QTime::currentTime().msecsSinceStartOfDay() / 86'400'000.0; }

}  // namespace

TGraphPlot::TGraphPlot(QWidget* parent, const QPixmap& plot) : QWidget(parent), plot_(plot) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGraphPlot::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.drawPixmap(event->rect(), plot_, event->rect());
}

QPointer<TF_Graph>& F_Graph() {
    static QPointer<TF_Graph> instance;
    return instance;
}

void CloseGraphWindow() {
    QPointer<TF_Graph>& g = F_Graph();
    if (!g) return;
    g->close();
    delete g.data();
    g = nullptr;
}

TF_Graph* OpenRateGraph(QWidget* owner, const QString& caption, int gap, int& rateSeries, int& averageSeries) {
    CloseGraphWindow();
    auto* g = new TF_Graph(owner);
    F_Graph() = g;
    g->SetDigits(3, 0);
    const QString unit = QLatin1Char(' ') + config::SizeUnitName(2) + QStringLiteral("/s");
    rateSeries = g->AddSeries(0x008000, unit, 0, 1.5f, 1.0f, 15, -1);
    averageSeries = g->AddSeries(255, unit, 0, 1.5f, 1.0f, 0, rateSeries);
    g->SetPenWidth(averageSeries, 2);
    g->SetGraphSize(owner->width(), owner->height() / 2, true);
    // The window manager may place it elsewhere.
    const QRect frame = owner->frameGeometry();
    g->SetPosition(frame.right() + gap, frame.top());
    g->setWindowTitle(caption);
    g->Reset();
    return g;
}

TF_Graph::TF_Graph(QWidget* owner) : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint), TimeOfDay(NowOfDay) {
    setObjectName(QStringLiteral("F_Graph"));
    FormCreate();
}

TF_Graph::~TF_Graph() = default;

void TF_Graph::FormCreate() {
    using config::ScaleDpi;
    bottomMargin_ = ScaleDpi(20);
    graphMargin_ = ScaleDpi(40);
    model_.BottomMargin = bottomMargin_;
    pixmap_ = QPixmap(ScaleDpi(400), ScaleDpi(160));
    model_.PlotHeight = pixmap_.height();
    ImgGraph = new TGraphPlot(this, pixmap_);
    ImgGraph->setObjectName(QStringLiteral("ImgGraph"));

    SBGraph = new QScrollBar(Qt::Horizontal, this);
    SBGraph->setObjectName(QStringLiteral("SBGraph"));
    SBGraph->setRange(0, 0);
    connect(SBGraph, &QScrollBar::valueChanged, this, [this] { SBGraphScroll(); });

    auto flat = [this](const char* name, const QString& caption, void (TF_Graph::*handler)()) {
        auto* b = new TFlatButton2(this);
        b->setObjectName(QString::fromLatin1(name));
        b->SetCaption(caption);
        b->SetFlatStyle(FS_SHOWBORDER);
        b->OnClick = [this, handler](QObject*) { (this->*handler)(); };
        return b;
    };
    fbStart = flat("fbStart", QStringLiteral("|<"), &TF_Graph::fbStartClick);
    fbEnd = flat("fbEnd", QStringLiteral(">|"), &TF_Graph::fbEndClick);
    fbClear = flat("fbClear", QStringLiteral("Clear"), &TF_Graph::fbClearClick);
    fbClear->SetFlat(config::FlatLook() != 0);

    auto title = [this](const QString& text) {
        auto* l = new QLabel(text, this);
        l->adjustSize();
        return l;
    };
    L_MaxTit = title(QStringLiteral("Max:"));
    L_MeanTit = title(QStringLiteral("Mean:"));
    L_MinTit = title(QStringLiteral("Min:"));
    for (int i = 0; i < TGraphModel::kPlaces; ++i) {
        auto label = [this, i](const char* stem) {
            auto* l = new QLabel(this);
            l->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(i));
            l->setAutoFillBackground(true);
            l->setProperty("Tag", i);
            l->hide();
            return l;
        };
        L_MaxValue[size_t(i)] = label("L_MaxValue");
        L_MeanValue[size_t(i)] = label("L_MeanValue");
        L_MinValue[size_t(i)] = label("L_MinValue");
        for (QLabel* l : {L_MaxValue[size_t(i)], L_MinValue[size_t(i)]}) {
            l->installEventFilter(this);
            l->setCursor(Qt::PointingHandCursor);
        }
        auto* box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("CB_Show%1").arg(i));
        box->setProperty("Tag", i);
        box->setChecked(true);
        box->hide();
        connect(box, &QCheckBox::clicked, this, [this, i] { CB_Show0Click(i); });
        CB_Show[size_t(i)] = box;
    }

    TB_Smooth = new QSlider(Qt::Horizontal, this);
    TB_Smooth->setObjectName(QStringLiteral("TB_Smooth"));
    TB_Smooth->setRange(0, 4);
    TB_Smooth->setPageStep(1);
    TB_Smooth->setTickPosition(QSlider::TicksBelow);
    L_Smooth = new QLabel(this);
    L_Smooth->setAlignment(Qt::AlignCenter);
    CB_ShowTime = new QCheckBox(QStringLiteral("Time"), this);
    CB_ShowIndex = new QCheckBox(QStringLiteral("Sample"), this);

    const auto& s = config::AppSettings();
    {
        const QSignalBlocker quiet(TB_Smooth);
        // A stored position out of range (hand-edited settings) takes the nearest.
        TB_Smooth->setValue(std::clamp(s.PGSmoothVal, 0, 4));
    }
    TB_SmoothChange(false);
    CB_ShowTime->setChecked((s.PGOpt & 1) != 0);
    CB_ShowIndex->setChecked((s.PGOpt & 2) != 0);
    connect(TB_Smooth, &QSlider::valueChanged, this, [this] { TB_SmoothChange(true); });
    connect(CB_ShowTime, &QCheckBox::clicked, this, [this] { CB_ShowTimeClick(); });
    connect(CB_ShowIndex, &QCheckBox::clicked, this, [this] { CB_ShowIndexClick(); });

    LayoutControls();
    overheadW_ = width() - pixmap_.width();
    overheadH_ = height() - pixmap_.height();
    Reset();
    EmptyLabels();
}

void TF_Graph::LayoutControls() {
    using config::ScaleDpi;
    const int w = pixmap_.width();
    const int h = pixmap_.height();
    ImgGraph->setGeometry(0, 0, w, h);
    const int sbH = ScaleDpi(17);
    PlaceButton(fbStart, 0, h, graphMargin_, sbH);
    PlaceButton(fbEnd, w - graphMargin_, h, graphMargin_, sbH);
    SBGraph->setGeometry(graphMargin_, h, std::max(1, w - 2 * graphMargin_), sbH);
    SBGraph->setPageStep(std::max(1, (w - 2 * graphMargin_) / 2));

    const int row = QFontMetrics(font()).height() + ScaleDpi(2);
    const int top = h + sbH + ScaleDpi(4);
    const int titleW = std::max({L_MaxTit->width(), L_MeanTit->width(), L_MinTit->width()});
    const int x0 = ScaleDpi(6);
    L_MaxTit->move(x0, top);
    L_MeanTit->move(x0, top + row);
    L_MinTit->move(x0, top + 2 * row);
    labelColumn_ = x0 + titleW + ScaleDpi(4);
    int right = labelColumn_;
    for (int i = 0; i < TGraphModel::kPlaces; ++i) {
        if (!model_.Series[size_t(i)].InUse) continue;
        const int lw = LabelWidth(i);
        const int x = labelColumn_ + i * lw;
        L_MaxValue[size_t(i)]->setGeometry(x, top, lw, row);
        L_MeanValue[size_t(i)]->setGeometry(x, top + row, lw, row);
        L_MinValue[size_t(i)]->setGeometry(x, top + 2 * row, lw, row);
        QCheckBox* box = CB_Show[size_t(i)];
        box->adjustSize();
        box->move(x + (lw - box->width()) / 2, top + 3 * row);
        right = std::max(right, x + lw);
    }
    const int boxH = CB_ShowTime->sizeHint().height();
    const int panelH = std::max(4 * row + ScaleDpi(6), 2 * boxH + ScaleDpi(8));
    const int optW = ScaleDpi(70);
    const int optX = std::max(right + ScaleDpi(8), w - 3 * optW - ScaleDpi(6));
    L_Smooth->setGeometry(optX, top, optW, 2 * row);
    TB_Smooth->setGeometry(optX, top + 2 * row, optW, ScaleDpi(22));
    CB_ShowTime->setGeometry(optX + optW + ScaleDpi(4), top, optW, boxH);
    CB_ShowIndex->setGeometry(optX + optW + ScaleDpi(4), top + boxH + ScaleDpi(2), optW, boxH);
    PlaceButton(fbClear, optX + 2 * optW + ScaleDpi(6), top + ScaleDpi(4), optW - ScaleDpi(8), ScaleDpi(24));
    resize(std::max(w, optX + 3 * optW + ScaleDpi(6)), top + panelH);
}

int TF_Graph::LabelWidth(int place) const {
    const QFontMetrics fm(font());
    const QString probe = QStringLiteral("0") + QString(intDigits_ + fracDigits_, QLatin1Char('0')) +
                          model_.Series[size_t(place)].Unit;
    return fm.horizontalAdvance(probe) + 14 + fm.horizontalAdvance(QStringLiteral(".00"));
}

void TF_Graph::GrowMargin(int place) {
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(QStringLiteral("0") + QString(intDigits_ + fracDigits_, QLatin1Char('0')) +
                                       model_.Series[size_t(place)].Unit) +
                  14;
    graphMargin_ = std::max(graphMargin_, w);
}

void TF_Graph::SetDigits(int integerDigits, int fractionDigits) {
    intDigits_ = std::clamp(integerDigits, 0, 15);
    fracDigits_ = std::clamp(fractionDigits, 0, 6);
}

int TF_Graph::AddSeries(quint32 color, const QString& unit, float scaleBottom, float scaleTop, float gridStep,
                        int flags, int scaleLink) {
    const int place = model_.AddSeries(color, unit, scaleBottom, scaleTop, gridStep, flags, scaleLink);
    if (place < 0) return -1;
    GrowMargin(place);
    TGraphSeries& s = model_.Series[size_t(place)];
    s.X = graphMargin_;
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, FromBgr(color));
    for (QLabel* l : {L_MaxValue[size_t(place)], L_MeanValue[size_t(place)], L_MinValue[size_t(place)]})
        l->setPalette(pal);
    L_MaxValue[size_t(place)]->setVisible((flags & 1) != 0);
    L_MeanValue[size_t(place)]->setVisible((flags & 2) != 0);
    L_MinValue[size_t(place)]->setVisible((flags & 4) != 0);
    CB_Show[size_t(place)]->setVisible((flags & 16) != 0);
    LayoutControls();
    return place;
}

void TF_Graph::SetPenWidth(int place, int width) {
    if (model_.Valid(place)) model_.Series[size_t(place)].PenWidth = std::max(1, width);
}

void TF_Graph::SetGraphSize(int width, int height, bool wholeWindow) {
    int pw = 0, ph = 0;
    if (wholeWindow) {
        pw = width - overheadW_;
        ph = height - overheadH_;
    } else {
        pw = width + 2 * graphMargin_ + 1;
        ph = height + bottomMargin_;
    }
    // The plot keeps room for its margins and a few columns whatever the owner asks.
    pw = std::max(pw, 2 * graphMargin_ + config::ScaleDpi(20));
    ph = std::max(ph, bottomMargin_ + config::ScaleDpi(30));
    pixmap_ = QPixmap(pw, ph);
    model_.PlotHeight = ph;
    LayoutControls();
    if (wholeWindow) resize(std::max(width, this->width()), std::max(height, this->height()));
    Reset();
}

void TF_Graph::SetPosition(int left, int top) { move(left, top); }

void TF_Graph::Reset() {
    model_.Reset();
    for (TGraphSeries& s : model_.Series)
        if (s.InUse) s.X = graphMargin_;
    scrollOffset_ = 0;
    {
        const QSignalBlocker quiet(SBGraph);
        SBGraph->setRange(0, 0);
        SBGraph->setValue(0);
    }
    ImgGraphPaint();
}

void TF_Graph::SetScale(int place, float top, float gridStep) {
    if (!model_.Valid(place)) return;
    model_.SetScale(place, top, gridStep);
    GrowMargin(place);
    ImgGraphPaint();
}

QString TF_Graph::ValueText(int place, float value) const {
    return QString::number(double(value), 'f', 2) + model_.Series[size_t(place)].Unit;
}

QPen TF_Graph::SeriesPen(int place) const {
    const TGraphSeries& s = model_.Series[size_t(place)];
    return QPen(FromBgr(s.Color), s.PenWidth);
}

void TF_Graph::AddSample(int place, bool advance, float value) {
    if (!model_.Valid(place)) return;
    TGraphSeries& s = model_.Series[size_t(place)];
    if (s.Count >= TGraphModel::kMaxSamples) return;
    const bool live = SBGraph->value() == SBGraph->maximum();
    const int stop = pixmap_.width() - graphMargin_ - 3;
    if (live && advance) {
        // Scroll only once the last column holds a sample: the first sample
        // that reaches it must not shift its predecessor a column too far.
        if (s.X >= stop && graphMargin_ + s.Count - scrollOffset_ > stop) ScrollPlot();
        if ((s.Count - 1) % 100 == 0 && s.Count > 0) {
            QPainter p(&pixmap_);
            DrawTimeMark(p, s.X - 1, s.Count - 1);
            ImgGraph->update(graphMargin_, 0, Span(), pixmap_.height());
        }
    } else if (!live && advance) {
        const QSignalBlocker quiet(SBGraph);
        SBGraph->setMaximum(SBGraph->maximum() + 1);
    }
    const int previousY = s.LastY;
    const TGraphModel::TAddResult r = model_.Append(place, value, TimeOfDay());
    const bool draws = live && r.Drawable;
    if (r.NewExtreme) {
        UpdateMaxLabel(place);
        UpdateMinLabel(place);
        repaintCountdown_ = 3;
    }
    if (advance && repaintCountdown_ >= 0) --repaintCountdown_;
    if (r.ScaleRaised) GrowMargin(place);
    if (repaintCountdown_ == 0 || (r.ScaleRaised && live)) {
        ImgGraphPaint();
    } else if (draws && s.Visible) {
        if (s.X > graphMargin_ && s.Count > 1 && (model_.SmoothWindow == 0 || s.Count - 1 > model_.SmoothWindow)) {
            QPainter p(&pixmap_);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(SeriesPen(place));
            p.drawLine(s.X - 1, previousY, s.X, s.LastY);
            const int pad = s.PenWidth + 1;
            ImgGraph->update(QRect(QPoint(s.X - 1, std::min(previousY, s.LastY)),
                                   QPoint(s.X, std::max(previousY, s.LastY)))
                                 .adjusted(-pad, -pad, pad, pad));
        }
    }
    if (s.X < stop) ++s.X;
}

void TF_Graph::ScrollPlot() {
    const int left = graphMargin_;
    const int right = pixmap_.width() - graphMargin_ - 1;  // the right axis stays
    const int base = model_.BaseLine();
    const QRect plot(left, 0, right - left, base + 1);
    // The time labels below the base line may reach into the right margin.
    const QRect labels(left, base + 1, pixmap_.width() - left, pixmap_.height() - base - 1);
    pixmap_.scroll(-1, 0, plot);
    pixmap_.scroll(-1, 0, labels);
    {
        QPainter p(&pixmap_);
        const int x = right - 1;
        p.setPen(Qt::white);
        p.drawLine(x, 0, x, base);
        p.drawLine(pixmap_.width() - 1, base + 1, pixmap_.width() - 1, pixmap_.height() - 1);
        // Keep the grid and base line running through the fresh column.
        for (int place = 0; place < TGraphModel::kPlaces; ++place) {
            const TGraphSeries& s = model_.Series[size_t(place)];
            if (!s.InUse || !s.Visible || !s.ShowScale || s.GridStep <= 0) continue;
            p.setPen(FromBgr(config::ColorAddSat(s.Color, 200)));
            for (float v = (std::floor(s.ScaleMin / s.GridStep) + 1) * s.GridStep; model_.RowOf(place, v) > 0;
                 v += s.GridStep)
                p.drawPoint(x, model_.RowOf(place, v));
        }
        p.setPen(kGridGrey);
        p.drawPoint(x, model_.BaseLine());
    }
    ++scrollOffset_;
    {
        const QSignalBlocker quiet(SBGraph);
        SBGraph->setMaximum(scrollOffset_);
        SBGraph->setValue(scrollOffset_);
    }
    ImgGraph->update(QRect(left, 0, pixmap_.width() - left, pixmap_.height()));
}

void TF_Graph::DrawAxes(QPainter& p) {
    const int w = pixmap_.width();
    const int base = model_.BaseLine();
    p.setPen(QPen(kGridGrey, 1));
    p.setBrush(Qt::NoBrush);
    p.drawLine(graphMargin_ - 1, config::ScaleDpi(5), graphMargin_ - 1, base);
    p.drawLine(w - graphMargin_ - 1, config::ScaleDpi(5), w - graphMargin_ - 1, base);
    p.drawLine(graphMargin_ - 5, base, w - graphMargin_ + 5, base);
}

void TF_Graph::DrawTimeMark(QPainter& p, int x, int index) {
    const int base = model_.BaseLine();
    p.save();
    p.setClipRect(QRect(graphMargin_, 0, pixmap_.width() - graphMargin_, pixmap_.height()));
    p.setPen(QPen(kGridGrey, 1));
    p.drawLine(x, 1, x, base + 5);
    const TGraphSeries& s0 = model_.Series[0];
    if (index > 0 && index < s0.Count && s0.Samples[size_t(index)].Time > 0) {
        QString text;
        if (CB_ShowTime->isChecked()) {
            const int ms = int(std::lround(s0.Samples[size_t(index)].Time * 86'400'000.0)) % 86'400'000;
            text = QTime::fromMSecsSinceStartOfDay(ms).toString(QStringLiteral("HH:mm:ss"));
        }
        if (CB_ShowIndex->isChecked()) text += QStringLiteral(" (") + config::IntToGroupedStr(index, 0, true) + ')';
        if (!text.isEmpty()) {
            const QFontMetrics fm(p.font());
            const int tw = fm.horizontalAdvance(text);
            p.setPen(Qt::black);
            p.drawText(x - tw / 2, base + 5 + fm.ascent(), text);
        }
    }
    p.restore();
    ShowMeans();
}

void TF_Graph::ShowMeans() {
    for (int place = 0; place < TGraphModel::kPlaces; ++place) {
        const TGraphSeries& s = model_.Series[size_t(place)];
        if (s.InUse && s.Count > 0) L_MeanValue[size_t(place)]->setText(ValueText(place, s.Samples.back().Mean));
    }
}

void TF_Graph::DrawScale(QPainter& p, int place) {
    const TGraphSeries& s = model_.Series[size_t(place)];
    if (s.GridStep <= 0) return;
    const int w = pixmap_.width();
    const QFontMetrics fm(p.font());
    const int half = fm.height() / 2;
    const QColor text = FromBgr(s.Color);
    const QColor line = FromBgr(config::ColorAddSat(s.Color, 200));
    p.save();
    p.setClipRect(pixmap_.rect());
    for (float v = (std::floor(s.ScaleMin / s.GridStep) + 1) * s.GridStep;; v += s.GridStep) {
        const int y = model_.RowOf(place, v);
        if (y <= 0) break;
        p.setPen(line);
        p.drawLine(graphMargin_ - 5, y, w - graphMargin_ + 5, y);
        const QString label = QStringLiteral("%1").arg(double(v), intDigits_, 'f', fracDigits_) + s.Unit;
        const int tw = fm.horizontalAdvance(label);
        p.setPen(text);
        p.drawText(QRect(graphMargin_ - 7 - tw, y - half, tw, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   label);
        p.drawText(QRect(w - graphMargin_ + 7, y - half, tw, fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   label);
    }
    p.restore();
}

void TF_Graph::DrawExtremeMarks(QPainter& p, int place, int f, int y) {
    const TGraphSeries& s = model_.Series[size_t(place)];
    const int index = scrollOffset_ + f;
    const int x = graphMargin_ + f;
    const bool isMin = index == s.MinIndex && !std::isinf(s.MinSeen);
    const bool isMax = index == s.MaxIndex && s.MaxSeen > 0;
    if (!isMin && !isMax) return;
    const QPen pen = p.pen();
    p.setPen(QPen(FromBgr(s.Color), 1));
    if (isMin) {
        const int end = std::min(y + 30, model_.BaseLine());
        p.drawLine(x, y + 2, x, end);
        p.drawText(x - 15, end - 5, QStringLiteral("min"));
    }
    if (isMax) {
        const int top = std::max(y - 30, 0);
        p.drawLine(x, y - 2, x, top + 10);
        p.drawText(x - 20, top, QStringLiteral("max"));
    }
    p.setPen(pen);
}

void TF_Graph::ImgGraphPaint() {
    ++FullRepaints;
    pixmap_.fill(Qt::white);
    QPainter p(&pixmap_);
    p.setFont(font());
    DrawAxes(p);
    const int span = Span();
    for (int d = 1; d <= span - 1; ++d)
        if ((scrollOffset_ + d) % 100 == 0) DrawTimeMark(p, graphMargin_ + d, scrollOffset_ + d);
    for (int place = 0; place < TGraphModel::kPlaces; ++place) {
        const TGraphSeries& s = model_.Series[size_t(place)];
        if (s.InUse && s.Visible && s.ShowScale) DrawScale(p, place);
    }
    const int smooth = model_.SmoothWindow;
    for (int place = 0; place < TGraphModel::kPlaces; ++place) {
        TGraphSeries& s = model_.Series[size_t(place)];
        if (!s.InUse || !s.Visible || scrollOffset_ >= s.Count) continue;
        p.setPen(SeriesPen(place));
        bool started = false;
        int lastY = 0;
        for (int f = 0; f <= span && scrollOffset_ + f < s.Count; ++f) {
            const int index = scrollOffset_ + f;
            if (smooth > 0 && index < smooth) continue;
            const int y = model_.RowOf(place, model_.PlotValue(place, index));
            if (started) p.drawLine(graphMargin_ + f - 1, lastY, graphMargin_ + f, y);
            started = true;
            lastY = y;
            DrawExtremeMarks(p, place, f, y);
        }
        if (started) s.LastY = lastY;
    }
    p.end();
    ImgGraph->update();
}

void TF_Graph::SBGraphScroll() {
    scrollOffset_ = SBGraph->value();
    ImgGraphPaint();
}

void TF_Graph::fbStartClick() {
    const QSignalBlocker quiet(SBGraph);
    SBGraph->setValue(0);
    scrollOffset_ = 0;
    ImgGraphPaint();
}

void TF_Graph::fbEndClick() {
    const QSignalBlocker quiet(SBGraph);
    SBGraph->setValue(SBGraph->maximum());
    scrollOffset_ = SBGraph->maximum();
    ImgGraphPaint();
}

void TF_Graph::fbClearClick() {
    Reset();
    EmptyLabels();
}

void TF_Graph::EmptyLabels() {
    for (int i = 0; i < TGraphModel::kPlaces; ++i)
        for (QLabel* l : {L_MaxValue[size_t(i)], L_MeanValue[size_t(i)], L_MinValue[size_t(i)]}) l->clear();
}

void TF_Graph::TB_SmoothChange(bool byUser) {
    const int pos = std::clamp(TB_Smooth->value(), 0, 4);
    model_.SmoothWindow = TGraphModel::kSmoothWindows[pos];
    L_Smooth->setText(QStringLiteral("Smooth\n") + QLatin1String(kSmoothNames[pos]));
    config::AppSettings().PGSmoothVal = pos;
    if (!byUser) return;
    model_.Recompute();
    for (int place = 0; place < TGraphModel::kPlaces; ++place) {
        if (!model_.Series[size_t(place)].InUse) continue;
        UpdateMaxLabel(place);
        UpdateMinLabel(place);
    }
    ImgGraphPaint();
}

void TF_Graph::CB_ShowTimeClick() { ImgGraphPaint(); }
void TF_Graph::CB_ShowIndexClick() { ImgGraphPaint(); }

void TF_Graph::CB_Show0Click(int place) {
    if (!model_.Valid(place)) return;
    model_.Series[size_t(place)].Visible = CB_Show[size_t(place)]->isChecked();
    ImgGraphPaint();
}

void TF_Graph::UpdateMaxLabel(int place) {
    const TGraphSeries& s = model_.Series[size_t(place)];
    L_MaxValue[size_t(place)]->setText(s.MaxSeen > 0 ? ValueText(place, s.MaxSeen) : QString());
}

void TF_Graph::UpdateMinLabel(int place) {
    const TGraphSeries& s = model_.Series[size_t(place)];
    L_MinValue[size_t(place)]->setText(std::isinf(s.MinSeen) ? QString() : ValueText(place, s.MinSeen));
}

void TF_Graph::JumpTo(int place, int index) {
    const TGraphSeries& s = model_.Series[size_t(place)];
    const int span = Span();
    if (index >= scrollOffset_ + 50 && index <= scrollOffset_ + span - 50) return;
    const int offset = std::max(0, std::min(index - 100, s.Count - span));
    {
        const QSignalBlocker quiet(SBGraph);
        // The range may lag behind a run that was scrolled back; the offset wins.
        SBGraph->setMaximum(std::max(SBGraph->maximum(), offset));
        SBGraph->setValue(offset);
    }
    scrollOffset_ = offset;
    ImgGraphPaint();
}

void TF_Graph::L_MinValue0Click(int place) {
    if (model_.Valid(place) && model_.Series[size_t(place)].Visible && !std::isinf(model_.Series[size_t(place)].MinSeen))
        JumpTo(place, model_.Series[size_t(place)].MinIndex);
}

void TF_Graph::L_MaxValue0Click(int place) {
    if (model_.Valid(place) && model_.Series[size_t(place)].Visible && model_.Series[size_t(place)].MaxSeen > 0)
        JumpTo(place, model_.Series[size_t(place)].MaxIndex);
}

void TF_Graph::SetHover(QLabel* label, bool on) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, on ? kHoverRed : palette().color(QPalette::Window));
    label->setPalette(pal);
    QFont f = label->font();
    f.setBold(on);
    label->setFont(f);
}

void TF_Graph::L_MinValue0MouseEnter(int place) { SetHover(L_MinValue[size_t(place)], true); }
void TF_Graph::L_MinValue0MouseLeave(int place) { SetHover(L_MinValue[size_t(place)], false); }
void TF_Graph::L_MaxValue0MouseEnter(int place) { SetHover(L_MaxValue[size_t(place)], true); }
void TF_Graph::L_MaxValue0MouseLeave(int place) { SetHover(L_MaxValue[size_t(place)], false); }

bool TF_Graph::eventFilter(QObject* watched, QEvent* event) {
    auto* label = qobject_cast<QLabel*>(watched);
    if (!label) return QWidget::eventFilter(watched, event);
    const int place = label->property("Tag").toInt();
    const bool isMax = L_MaxValue[size_t(place)] == label;
    switch (event->type()) {
    case QEvent::Enter:
        isMax ? L_MaxValue0MouseEnter(place) : L_MinValue0MouseEnter(place);
        break;
    case QEvent::Leave:
        isMax ? L_MaxValue0MouseLeave(place) : L_MinValue0MouseLeave(place);
        break;
    case QEvent::MouseButtonRelease:
        isMax ? L_MaxValue0Click(place) : L_MinValue0Click(place);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TF_Graph::FormClose() {
    config::AppSettings().PGOpt = (CB_ShowTime->isChecked() ? 1 : 0) + 2 * (CB_ShowIndex->isChecked() ? 1 : 0);
}

void TF_Graph::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
}

}  // namespace tandex::ui
