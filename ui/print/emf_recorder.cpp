// The recorder keeps a shadow of what the metafile's device context holds
// (selected pen, brush and font, colours, modes, clip) and writes a record
// only when a drawing call needs something different. Qt's world
// transform is applied here, so the page holds plain logical coordinates
// and needs no world-transform records; the mapping to reference pixels
// is the metafile's own anisotropic mapping.
//
// Clipping uses the device context's save stack: right after the mapping
// the context is saved once, and a clip that is not a narrowing of the
// current one restores that clean state and intersects again. A restore
// also drops the selected objects, so the shadow forgets them.

#include "ui/print/emf_recorder.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTextLayout>
#include <QTransform>
#include <cmath>
#include <optional>
#include <vector>

#include "ui/print/emf_records.h"
#include "ui/print/preview_units.h"

namespace tandex::print {

using namespace emf;

namespace {

// Coordinates beyond this are clamped: a recorded page never needs them,
// and rounding a larger double into 32 bits would be undefined.
constexpr qreal kCoordLimit = 1 << 28;

qint32 roundCoord(qreal v) {
    if (!(v == v)) return 0;  // NaN
    return qint32(std::lround(qBound(-kCoordLimit, v, kCoordLimit)));
}

quint32 colorRef(const QColor& c) {
    const QRgb rgb = c.rgb();
    return quint32(qRed(rgb)) | (quint32(qGreen(rgb)) << 8) | (quint32(qBlue(rgb)) << 16);
}

// The largest picture a record carries; larger ones are scaled down to it,
// which keeps the 32-bit size fields and the reader's limits safe.
constexpr qint64 kMaxBitmapBytes = qint64(256) << 20;

bool isAxisAligned(const QTransform& t) {
    return t.type() <= QTransform::TxScale;
}

}  // namespace

class EmfPaintEngine : public QPaintEngine {
public:
    EmfPaintEngine(QSize extent, int dpiX, int dpiY, const QString& creator, const QString& title)
        : QPaintEngine(AllFeatures), extent_(extent.expandedTo(QSize(1, 1))),
          dpiX_(qMax(1, dpiX)), dpiY_(qMax(1, dpiY)), creator_(creator), title_(title) {
        windowExt_ = extent_;
        viewportExt_ = extent_;
    }

    bool begin(QPaintDevice*) override {
        ensureBaseline();
        return true;
    }
    bool end() override { return true; }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& state) override;
    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override {
        drawImage(r, pm.toImage(), sr, Qt::AutoColor);
    }
    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags flags) override;
    void drawPath(const QPainterPath& path) override;
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
    void drawRects(const QRectF* rects, int count) override;
    void drawLines(const QLineF* lines, int count) override;
    void drawTextItem(const QPointF& p, const QTextItem& ti) override;

    void setMapping(QSize windowExt, QSize viewportExt, QPoint viewportOrg);
    QByteArray bits() const;

    QSize extent_;
    int dpiX_;
    int dpiY_;
    QSize windowExt_;
    QSize viewportExt_;
    QPoint viewportOrg_;
    bool mapped_ = false;

private:
    void emitRecord(QByteArray record) {
        body_.append(record);
        ++records_;
    }
    void ensureBaseline();
    void writeMapping();
    void forgetContext();
    void syncClip();
    void syncPen();
    void syncNullPen();
    void syncBrush();
    void syncNullBrush();
    void syncModes();
    void selectObject(std::optional<QByteArray>& current, quint32& handle, const QByteArray& key,
                      quint32 stock);
    quint32 allocHandle();
    void freeHandle(quint32 h);
    QRect deviceBounds(const QRectF& logical) const;
    void addBounds(const QRect& device);
    RecordBuilder polyRecord(quint32 type, const QRect& bounds);
    QByteArray penKey() const;
    QByteArray brushKey() const;
    QByteArray fontKey(const QFont& font, qreal emHeight, int escapement) const;
    qreal logicalPerDevicePixel() const {
        return windowExt_.width() / qreal(qMax(1, viewportExt_.width()));
    }

    QString creator_;
    QString title_;
    QByteArray body_;
    quint32 records_ = 0;
    bool baseline_ = false;
    QRect bounds_;  // device units, null until something is drawn

    // Handles: index 0 is the metafile itself.
    std::vector<quint32> freeHandles_;
    quint32 nextHandle_ = 1;

    // The shadow of the device context; nullopt means unknown.
    std::optional<QByteArray> pen_, brush_, font_;
    quint32 penHandle_ = 0, brushHandle_ = 0, fontHandle_ = 0;
    std::optional<quint32> textColor_, bkColor_, bkMode_, fillMode_;
    std::vector<QRect> clipInContext_;

    // What the painter asks for.
    QPen qpen_;
    QBrush qbrush_;
    QTransform xform_;
    QColor background_ = Qt::white;
    Qt::BGMode bgMode_ = Qt::TransparentMode;
    bool clipEnabled_ = false;
    std::vector<QRect> clip_;  // logical rectangles, intersected
};

// ---- context shadow -----------------------------------------------------

void EmfPaintEngine::writeMapping() {
    emitRecord(RecordBuilder(EMR_SETMAPMODE).u32(MM_ANISOTROPIC).finish());
    emitRecord(RecordBuilder(EMR_SETWINDOWEXTEX).i32(windowExt_.width()).i32(windowExt_.height()).finish());
    emitRecord(RecordBuilder(EMR_SETWINDOWORGEX).i32(0).i32(0).finish());
    emitRecord(
        RecordBuilder(EMR_SETVIEWPORTEXTEX).i32(viewportExt_.width()).i32(viewportExt_.height()).finish());
    emitRecord(RecordBuilder(EMR_SETVIEWPORTORGEX).i32(viewportOrg_.x()).i32(viewportOrg_.y()).finish());
}

void EmfPaintEngine::ensureBaseline() {
    if (baseline_) return;
    baseline_ = true;
    if (mapped_) writeMapping();
    emitRecord(RecordBuilder(EMR_SAVEDC).finish());
}

void EmfPaintEngine::setMapping(QSize windowExt, QSize viewportExt, QPoint viewportOrg) {
    windowExt_ = windowExt.expandedTo(QSize(1, 1));
    viewportExt_ = viewportExt.expandedTo(QSize(1, 1));
    viewportOrg_ = viewportOrg;
    mapped_ = true;
    if (!baseline_) return;
    // The saved clean state holds the old mapping: replace it.
    emitRecord(RecordBuilder(EMR_RESTOREDC).i32(-1).finish());
    forgetContext();
    writeMapping();
    emitRecord(RecordBuilder(EMR_SAVEDC).finish());
}

// After a restore the context holds the stock objects again; ours are no
// longer selected and can go.
void EmfPaintEngine::forgetContext() {
    for (quint32* h : {&penHandle_, &brushHandle_, &fontHandle_}) {
        if (*h) {
            emitRecord(RecordBuilder(EMR_DELETEOBJECT).u32(*h).finish());
            freeHandle(*h);
            *h = 0;
        }
    }
    pen_.reset();
    brush_.reset();
    font_.reset();
    textColor_.reset();
    bkColor_.reset();
    bkMode_.reset();
    fillMode_.reset();
    clipInContext_.clear();
}

quint32 EmfPaintEngine::allocHandle() {
    if (!freeHandles_.empty()) {
        const quint32 h = freeHandles_.back();
        freeHandles_.pop_back();
        return h;
    }
    return nextHandle_++;
}

void EmfPaintEngine::freeHandle(quint32 h) {
    freeHandles_.push_back(h);
}

// key is the object's creation record with handle 0; an empty key selects
// the stock object.
void EmfPaintEngine::selectObject(std::optional<QByteArray>& current, quint32& handle,
                                  const QByteArray& key, quint32 stock) {
    if (current && *current == key) return;
    const quint32 old = handle;
    if (key.isEmpty()) {
        emitRecord(RecordBuilder(EMR_SELECTOBJECT).u32(STOCK_OBJECT | stock).finish());
        handle = 0;
    } else {
        handle = allocHandle();
        QByteArray record = key;
        const quint32 le = qToLittleEndian(handle);
        std::memcpy(record.data() + 8, &le, 4);
        emitRecord(record);
        emitRecord(RecordBuilder(EMR_SELECTOBJECT).u32(handle).finish());
    }
    // Deleted only once something else is selected.
    if (old) {
        emitRecord(RecordBuilder(EMR_DELETEOBJECT).u32(old).finish());
        freeHandle(old);
    }
    current = key;
}

QByteArray EmfPaintEngine::penKey() const {
    const QColor color = qpen_.color();
    if (qpen_.style() == Qt::NoPen || qpen_.brush().style() == Qt::NoBrush || color.alpha() == 0)
        return {};
    quint32 dash = PS_SOLID;
    switch (qpen_.style()) {
    case Qt::DashLine:
    case Qt::CustomDashLine: dash = PS_DASH; break;
    case Qt::DotLine: dash = PS_DOT; break;
    case Qt::DashDotLine: dash = PS_DASHDOT; break;
    case Qt::DashDotDotLine: dash = PS_DASHDOTDOT; break;
    default: break;
    }
    quint32 style = dash;
    quint32 width = 1;
    const qreal w = qpen_.widthF();
    bool cosmetic = qpen_.isCosmetic() || w == 0;
    qreal logical = 0;
    if (cosmetic) {
        // A cosmetic pen wider than a pixel keeps its width in reference
        // pixels, which only a geometric pen can say.
        if (w > 1) logical = w * logicalPerDevicePixel();
    } else {
        const qreal scale = std::sqrt(std::abs(xform_.determinant()));
        logical = w * scale;
    }
    if (logical > 0) {
        cosmetic = false;
        width = quint32(qMax<qint32>(1, roundCoord(logical)));
    }
    if (!cosmetic) {
        style |= PS_GEOMETRIC;
        switch (qpen_.capStyle()) {
        case Qt::FlatCap: style |= PS_ENDCAP_FLAT; break;
        case Qt::SquareCap: style |= PS_ENDCAP_SQUARE; break;
        default: style |= PS_ENDCAP_ROUND; break;
        }
        switch (qpen_.joinStyle()) {
        case Qt::MiterJoin:
        case Qt::SvgMiterJoin: style |= PS_JOIN_MITER; break;
        case Qt::RoundJoin: style |= PS_JOIN_ROUND; break;
        default: style |= PS_JOIN_BEVEL; break;
        }
    }
    return RecordBuilder(EMR_EXTCREATEPEN)
        .u32(0)  // handle
        .u32(0).u32(0).u32(0).u32(0)  // no pattern bitmap
        .u32(style).u32(width).u32(BS_SOLID).u32(colorRef(color)).u32(0).u32(0)
        .finish();
}

QByteArray EmfPaintEngine::brushKey() const {
    const Qt::BrushStyle s = qbrush_.style();
    if (s == Qt::NoBrush) return {};
    QColor color = qbrush_.color();
    if (const QGradient* g = qbrush_.gradient(); g && !g->stops().isEmpty())
        color = g->stops().first().second;
    else if (s == Qt::TexturePattern)
        color = Qt::gray;
    if (color.alpha() == 0) return {};
    quint32 style = BS_SOLID;
    quint32 hatch = 0;
    switch (s) {
    case Qt::HorPattern: style = BS_HATCHED, hatch = HS_HORIZONTAL; break;
    case Qt::VerPattern: style = BS_HATCHED, hatch = HS_VERTICAL; break;
    case Qt::CrossPattern: style = BS_HATCHED, hatch = HS_CROSS; break;
    case Qt::BDiagPattern: style = BS_HATCHED, hatch = HS_BDIAGONAL; break;
    case Qt::FDiagPattern: style = BS_HATCHED, hatch = HS_FDIAGONAL; break;
    case Qt::DiagCrossPattern: style = BS_HATCHED, hatch = HS_DIAGCROSS; break;
    default: break;
    }
    return RecordBuilder(EMR_CREATEBRUSHINDIRECT).u32(0).u32(style).u32(colorRef(color)).u32(hatch).finish();
}

QByteArray EmfPaintEngine::fontKey(const QFont& font, qreal emHeight, int escapement) const {
    RecordBuilder b(EMR_EXTCREATEFONTINDIRECTW);
    b.u32(0);  // handle
    b.i32(-qMax<qint32>(1, roundCoord(emHeight)));
    b.i32(0);           // width: natural
    b.i32(escapement);  // tenths of a degree
    b.i32(escapement);  // orientation
    b.i32(qBound(1, int(font.weight()), 1000));
    // Underline and strike-out are drawn by the painter as lines.
    b.u8(font.style() != QFont::StyleNormal ? 1 : 0).u8(0).u8(0);
    b.u8(1);  // DEFAULT_CHARSET
    b.u8(0).u8(0).u8(0);  // precisions, quality
    b.u8(font.fixedPitch() ? 0x31 : 0);
    const QString family = font.family().left(kFaceNameChars - 1);
    for (int i = 0; i < kFaceNameChars; ++i) b.u16(i < family.size() ? family.at(i).unicode() : 0);
    // The full name, the style and the PANOSE part that readers expect
    // after the plain LOGFONT.
    for (int i = 0; i < 64; ++i) b.u16(i < family.size() ? family.at(i).unicode() : 0);
    b.zeros(64);   // style
    b.zeros(16);   // version, style size, match, reserved
    b.zeros(4);    // vendor
    b.zeros(4);    // culture
    b.zeros(12);   // PANOSE and padding
    return b.finish();
}

void EmfPaintEngine::syncPen() {
    selectObject(pen_, penHandle_, penKey(), NULL_PEN);
}
void EmfPaintEngine::syncNullPen() {
    selectObject(pen_, penHandle_, {}, NULL_PEN);
}
void EmfPaintEngine::syncBrush() {
    selectObject(brush_, brushHandle_, brushKey(), NULL_BRUSH);
}
void EmfPaintEngine::syncNullBrush() {
    selectObject(brush_, brushHandle_, {}, NULL_BRUSH);
}

void EmfPaintEngine::syncModes() {
    const quint32 mode = bgMode_ == Qt::OpaqueMode ? BK_OPAQUE : BK_TRANSPARENT;
    if (bkMode_ != mode) {
        emitRecord(RecordBuilder(EMR_SETBKMODE).u32(mode).finish());
        bkMode_ = mode;
    }
    const quint32 bk = colorRef(background_);
    if (bkColor_ != bk) {
        emitRecord(RecordBuilder(EMR_SETBKCOLOR).u32(bk).finish());
        bkColor_ = bk;
    }
}

void EmfPaintEngine::syncClip() {
    static const std::vector<QRect> none;
    const std::vector<QRect>& want = clipEnabled_ ? clip_ : none;
    if (want == clipInContext_) return;
    const bool narrowing = want.size() > clipInContext_.size() &&
                           std::equal(clipInContext_.begin(), clipInContext_.end(), want.begin());
    size_t from = clipInContext_.size();
    if (!narrowing) {
        emitRecord(RecordBuilder(EMR_RESTOREDC).i32(-1).finish());
        forgetContext();
        emitRecord(RecordBuilder(EMR_SAVEDC).finish());
        from = 0;
    }
    for (size_t i = from; i < want.size(); ++i) {
        const QRect& r = want[i];
        emitRecord(RecordBuilder(EMR_INTERSECTCLIPRECT)
                       .i32(r.left()).i32(r.top()).i32(r.left() + r.width()).i32(r.top() + r.height())
                       .finish());
    }
    clipInContext_ = want;
}

// ---- state --------------------------------------------------------------

void EmfPaintEngine::updateState(const QPaintEngineState& state) {
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) xform_ = state.transform();
    if (flags & DirtyPen) qpen_ = state.pen();
    if (flags & DirtyBrush) qbrush_ = state.brush();
    if (flags & DirtyBackground) background_ = state.backgroundBrush().color();
    if (flags & DirtyBackgroundMode) bgMode_ = state.backgroundMode();
    if (flags & DirtyClipEnabled) clipEnabled_ = state.isClipEnabled();
    if (flags & (DirtyClipPath | DirtyClipRegion)) {
        QRectF area;
        if (flags & DirtyClipPath) {
            // A clip that is not a rectangle keeps its bounding rectangle:
            // the pages clip to cells and columns only.
            area = state.transform().map(state.clipPath()).boundingRect();
        } else {
            area = state.transform().mapRect(QRectF(state.clipRegion().boundingRect()));
        }
        const QRect r(QPoint(roundCoord(area.left()), roundCoord(area.top())),
                      QPoint(roundCoord(area.right()) - 1, roundCoord(area.bottom()) - 1));
        switch (state.clipOperation()) {
        case Qt::NoClip: clip_.clear(); break;
        case Qt::ReplaceClip:
            clip_.assign(1, r);
            clipEnabled_ = true;
            break;
        case Qt::IntersectClip:
            clip_.push_back(r);
            clipEnabled_ = true;
            break;
        }
    }
}

// ---- bounds -------------------------------------------------------------

QRect EmfPaintEngine::deviceBounds(const QRectF& logical) const {
    const qreal sx = viewportExt_.width() / qreal(windowExt_.width());
    const qreal sy = viewportExt_.height() / qreal(windowExt_.height());
    const QRectF d(logical.left() * sx + viewportOrg_.x(), logical.top() * sy + viewportOrg_.y(),
                   logical.width() * sx, logical.height() * sy);
    return QRect(QPoint(roundCoord(std::floor(d.left())), roundCoord(std::floor(d.top()))),
                 QPoint(roundCoord(std::ceil(d.right())), roundCoord(std::ceil(d.bottom()))));
}

void EmfPaintEngine::addBounds(const QRect& device) {
    bounds_ = bounds_.isNull() ? device : bounds_.united(device);
}

RecordBuilder EmfPaintEngine::polyRecord(quint32 type, const QRect& bounds) {
    RecordBuilder b(type);
    b.i32(bounds.left()).i32(bounds.top()).i32(bounds.right()).i32(bounds.bottom());
    return b;
}

// ---- drawing ------------------------------------------------------------

void EmfPaintEngine::drawRects(const QRectF* rects, int count) {
    if (!isAxisAligned(xform_)) {
        for (int i = 0; i < count; ++i) drawPolygon(QPolygonF(rects[i]).constData(), 4, OddEvenMode);
        return;
    }
    syncClip();
    syncModes();
    syncPen();
    syncBrush();
    for (int i = 0; i < count; ++i) {
        const QRectF m = xform_.mapRect(rects[i].normalized());
        const QRect box(QPoint(roundCoord(m.left()), roundCoord(m.top())),
                        QPoint(roundCoord(m.right()), roundCoord(m.bottom())));
        addBounds(deviceBounds(m));
        emitRecord(RecordBuilder(EMR_RECTANGLE)
                       .i32(box.left()).i32(box.top()).i32(box.right()).i32(box.bottom())
                       .finish());
    }
}

void EmfPaintEngine::drawLines(const QLineF* lines, int count) {
    if (count <= 0) return;
    syncClip();
    syncModes();
    syncPen();
    if (!pen_ || pen_->isEmpty()) return;
    std::vector<QPointF> ends;
    ends.reserve(size_t(count) * 2);
    QRectF area;
    for (int i = 0; i < count; ++i) {
        ends.push_back(xform_.map(lines[i].p1()));
        ends.push_back(xform_.map(lines[i].p2()));
        area = area.united(QRectF(ends[ends.size() - 2], ends.back()).normalized());
    }
    const QRect dev = deviceBounds(area);
    addBounds(dev);
    RecordBuilder r = polyRecord(EMR_POLYPOLYLINE, dev);
    r.u32(quint32(count)).u32(quint32(count) * 2);
    for (int i = 0; i < count; ++i) r.u32(2);
    for (const QPointF& p : ends) r.i32(roundCoord(p.x())).i32(roundCoord(p.y()));
    emitRecord(r.finish());
}

void EmfPaintEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) {
    if (count <= 0) return;
    syncClip();
    syncModes();
    const bool polyline = mode == PolylineMode;
    syncPen();
    if (polyline) {
        if (!pen_ || pen_->isEmpty()) return;
    } else {
        syncBrush();
        const quint32 fill = mode == WindingMode ? WINDING : ALTERNATE;
        if (fillMode_ != fill) {
            emitRecord(RecordBuilder(EMR_SETPOLYFILLMODE).u32(fill).finish());
            fillMode_ = fill;
        }
    }
    QPolygonF mapped = xform_.map(QPolygonF(QList<QPointF>(points, points + count)));
    const QRect dev = deviceBounds(mapped.boundingRect());
    addBounds(dev);
    RecordBuilder r = polyRecord(polyline ? EMR_POLYLINE : EMR_POLYGON, dev);
    r.u32(quint32(count));
    for (const QPointF& p : mapped) r.i32(roundCoord(p.x())).i32(roundCoord(p.y()));
    emitRecord(r.finish());
}

void EmfPaintEngine::drawPath(const QPainterPath& path) {
    if (path.isEmpty()) return;
    syncClip();
    syncModes();
    auto polyPoly = [&](quint32 type, const QList<QPolygonF>& polys) {
        if (polys.isEmpty()) return;
        QRectF area;
        quint32 total = 0;
        for (const QPolygonF& p : polys) {
            area = area.united(p.boundingRect());
            total += quint32(p.size());
        }
        const QRect dev = deviceBounds(area);
        addBounds(dev);
        RecordBuilder r = polyRecord(type, dev);
        r.u32(quint32(polys.size())).u32(total);
        for (const QPolygonF& p : polys) r.u32(quint32(p.size()));
        for (const QPolygonF& p : polys)
            for (const QPointF& pt : p) r.i32(roundCoord(pt.x())).i32(roundCoord(pt.y()));
        emitRecord(r.finish());
    };
    if (!brushKey().isEmpty()) {
        syncNullPen();
        syncBrush();
        const quint32 fill = path.fillRule() == Qt::WindingFill ? WINDING : ALTERNATE;
        if (fillMode_ != fill) {
            emitRecord(RecordBuilder(EMR_SETPOLYFILLMODE).u32(fill).finish());
            fillMode_ = fill;
        }
        polyPoly(EMR_POLYPOLYGON, path.toFillPolygons(xform_));
    }
    if (!penKey().isEmpty()) {
        syncPen();
        polyPoly(EMR_POLYPOLYLINE, path.toSubpathPolygons(xform_));
    }
}

void EmfPaintEngine::drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                               Qt::ImageConversionFlags) {
    if (image.isNull() || r.isEmpty()) return;
    QImage part = sr.toAlignedRect() == image.rect() ? image : image.copy(sr.toAlignedRect());
    if (part.isNull()) return;
    while (qint64(part.width()) * part.height() * 4 > kMaxBitmapBytes)
        part = part.scaled(qMax(1, part.width() / 2), qMax(1, part.height() / 2));
    // The bitmap record has no alpha: transparent parts show the paper.
    QImage flat(part.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter p(&flat);
        p.drawImage(0, 0, part);
    }
    syncClip();
    const QRectF m = xform_.mapRect(r);
    const QRect dest(QPoint(roundCoord(m.left()), roundCoord(m.top())),
                     QPoint(roundCoord(m.right()) - 1, roundCoord(m.bottom()) - 1));
    const QRect dev = deviceBounds(m);
    addBounds(dev);
    const int w = flat.width(), h = flat.height();
    const quint32 bitsSize = quint32(w) * quint32(h) * 4;
    RecordBuilder b = polyRecord(EMR_STRETCHDIBITS, dev);
    b.i32(dest.left()).i32(dest.top()).i32(0).i32(0).i32(w).i32(h);
    b.u32(kStretchDIBitsFixed).u32(kBitmapInfoHeaderSize)
        .u32(kStretchDIBitsFixed + kBitmapInfoHeaderSize).u32(bitsSize);
    b.u32(DIB_RGB_COLORS).u32(SRCCOPY).i32(dest.width()).i32(dest.height());
    b.u32(kBitmapInfoHeaderSize).i32(w).i32(h).u16(1).u16(32).u32(BI_RGB).u32(bitsSize)
        .i32(0).i32(0).u32(0).u32(0);
    // Bottom-up rows of blue, green, red and an unused byte.
    QByteArray pixels(qsizetype(bitsSize), Qt::Uninitialized);
    char* out = pixels.data();
    for (int y = h - 1; y >= 0; --y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(flat.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            *out++ = char(qBlue(line[x]));
            *out++ = char(qGreen(line[x]));
            *out++ = char(qRed(line[x]));
            *out++ = 0;
        }
    }
    b.raw(pixels);
    emitRecord(b.finish());
}

void EmfPaintEngine::drawTextItem(const QPointF& p, const QTextItem& ti) {
    const QString text = ti.text();
    if (text.isEmpty()) return;
    const QFont font = ti.font();
    const int dpiY = qMax(1, MulDiv(dpiY_, windowExt_.height(), viewportExt_.height()));
    const qreal em = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * dpiY / 72.0;

    // Each character's advance as Qt lays the run out, so that playback
    // places every character where it was and never re-flows the text.
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const int n = int(text.size());
    std::vector<qreal> x(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) x[size_t(i)] = line.isValid() ? line.cursorToX(i) : 0;

    const qreal ux = std::hypot(xform_.m11(), xform_.m12());
    const qreal uy = std::hypot(xform_.m21(), xform_.m22());
    const qreal angle = std::atan2(xform_.m12(), xform_.m11()) * 180 / M_PI;
    int escapement = int(std::lround(-angle * 10)) % 3600;
    if (escapement < 0) escapement += 3600;

    syncClip();
    syncModes();
    selectObject(font_, fontHandle_, fontKey(font, em * uy, escapement), 0);
    const quint32 color = colorRef(qpen_.color());
    if (textColor_ != color) {
        emitRecord(RecordBuilder(EMR_SETTEXTCOLOR).u32(color).finish());
        textColor_ = color;
    }

    const QPointF top = xform_.map(QPointF(p.x(), p.y() - ti.ascent()));
    const qreal height = (ti.ascent() + ti.descent()) * uy;
    std::vector<qint32> dx(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        dx[size_t(i)] = roundCoord(x[size_t(i) + 1] * ux) - roundCoord(x[size_t(i)] * ux);
    const qreal width = x[size_t(n)] * ux;
    const QRectF area = xform_.mapRect(QRectF(p.x(), p.y() - ti.ascent(), x[size_t(n)],
                                              ti.ascent() + ti.descent()));
    const QRect dev = deviceBounds(area);
    addBounds(dev);

    const quint32 stringBytes = quint32(n) * 2;
    const quint32 offDx = kExtTextOutFixed + ((stringBytes + 3) & ~3u);
    const qreal mm100X = 2540.0 / dpiX_ / ux * viewportExt_.width() / windowExt_.width();
    const qreal mm100Y = 2540.0 / dpiY_ / uy * viewportExt_.height() / windowExt_.height();
    RecordBuilder b = polyRecord(EMR_EXTTEXTOUTW, dev);
    b.u32(GM_COMPATIBLE).f32(float(mm100X)).f32(float(mm100Y));
    b.i32(roundCoord(top.x())).i32(roundCoord(top.y()));
    b.u32(quint32(n)).u32(kExtTextOutFixed).u32(0);
    b.i32(roundCoord(top.x())).i32(roundCoord(top.y()))
        .i32(roundCoord(top.x() + width)).i32(roundCoord(top.y() + height));
    b.u32(offDx);
    for (QChar c : text) b.u16(c.unicode());
    while (b.size() < int(offDx)) b.u8(0);
    for (qint32 d : dx) b.i32(d);
    emitRecord(b.finish());
}

// ---- the page -----------------------------------------------------------

QByteArray EmfPaintEngine::bits() const {
    QString description = creator_ + QChar(0) + title_ + QChar(0) + QChar(0);
    const quint32 descChars = quint32(description.size());
    const quint32 descBytes = (descChars * 2 + 3) & ~3u;
    const quint32 headerSize = kHeaderSize + descBytes;
    const quint32 total = headerSize + quint32(body_.size()) + kEofSize;

    const int w100 = MulDiv(extent_.width(), 2540, dpiX_);
    const int h100 = MulDiv(extent_.height(), 2540, dpiY_);
    const QRect b = bounds_.isNull() ? QRect(QPoint(0, 0), QPoint(-1, -1)) : bounds_;
    RecordBuilder h(EMR_HEADER);
    h.i32(b.left()).i32(b.top()).i32(b.right()).i32(b.bottom());
    h.i32(0).i32(0).i32(w100).i32(h100);
    h.u32(kSignature).u32(kVersion).u32(total).u32(records_ + 2);
    h.u16(quint16(qMin<quint32>(0xFFFF, nextHandle_))).u16(0);
    h.u32(descChars).u32(kHeaderSize).u32(0);
    h.i32(extent_.width()).i32(extent_.height());
    h.i32(qMax(1, MulDiv(extent_.width(), 254, dpiX_ * 10)))
        .i32(qMax(1, MulDiv(extent_.height(), 254, dpiY_ * 10)));
    h.u32(0).u32(0).u32(0);
    h.i32(MulDiv(extent_.width(), 25400, dpiX_)).i32(MulDiv(extent_.height(), 25400, dpiY_));
    for (QChar c : description) h.u16(c.unicode());
    QByteArray out = h.finish();
    out.reserve(total);
    out.append(body_);
    out.append(RecordBuilder(EMR_EOF).u32(0).u32(16).u32(kEofSize).finish());
    return out;
}

// ---- the device ---------------------------------------------------------

EmfPaintDevice::EmfPaintDevice(QSize extent, int dpiX, int dpiY, const QString& creator,
                               const QString& title)
    : engine_(std::make_unique<EmfPaintEngine>(extent, dpiX, dpiY, creator, title)) {}

EmfPaintDevice::~EmfPaintDevice() = default;

void EmfPaintDevice::setMapping(QSize windowExtent, QSize viewportExtent, QPoint viewportOrigin) {
    engine_->setMapping(windowExtent, viewportExtent, viewportOrigin);
}

QSize EmfPaintDevice::extent() const {
    return engine_->extent_;
}
int EmfPaintDevice::referenceDpiX() const {
    return engine_->dpiX_;
}
int EmfPaintDevice::referenceDpiY() const {
    return engine_->dpiY_;
}

QByteArray EmfPaintDevice::metafileBits() const {
    if (engine_->isActive()) return {};
    return engine_->bits();
}

QPaintEngine* EmfPaintDevice::paintEngine() const {
    return engine_.get();
}

int EmfPaintDevice::metric(PaintDeviceMetric metric) const {
    const EmfPaintEngine& e = *engine_;
    switch (metric) {
    case PdmWidth: return e.windowExt_.width();
    case PdmHeight: return e.windowExt_.height();
    case PdmWidthMM: return qMax(1, MulDiv(e.extent_.width(), 254, e.dpiX_ * 10));
    case PdmHeightMM: return qMax(1, MulDiv(e.extent_.height(), 254, e.dpiY_ * 10));
    case PdmNumColors: return INT_MAX;
    case PdmDepth: return 32;
    // Logical units per inch: fonts given in points take their size in
    // the page's units.
    case PdmDpiX:
    case PdmPhysicalDpiX: return qMax(1, MulDiv(e.dpiX_, e.windowExt_.width(), e.viewportExt_.width()));
    case PdmDpiY:
    case PdmPhysicalDpiY:
        return qMax(1, MulDiv(e.dpiY_, e.windowExt_.height(), e.viewportExt_.height()));
    case PdmDevicePixelRatio: return 1;
    case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
    }
    return 0;
}

}  // namespace tandex::print
