// Playback keeps the device context that a metafile's records change: the
// mapping mode with its extents and origins, the world transform, the
// selected objects, colours, modes, the clip (in reference pixels, as
// the records' regions are) and the save stack. Geometry is drawn in the
// page's logical coordinates with the painter's world transform set to
// world × mapping × frame-to-target; text is drawn in target pixels, a
// character cluster at a time at the place its recorded advances give,
// so that it never re-flows.
//
// Every read goes through the record's own bounds checks, and the walk
// runs once without a painter when the player is made: a page that would
// fail does so before anything is drawn.

#include "ui/print/emf_player.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>
#include <QTransform>
#include <cmath>
#include <optional>
#include <variant>
#include <vector>

#include "ui/print/emf_records.h"

namespace tandex::print {

using namespace emf;

namespace {

// Text whose characters are smaller or larger than this many target
// pixels is not drawn: it could not be read, or no page holds it.
constexpr qreal kMinTextPixels = 0.5;
constexpr qreal kMaxTextPixels = 20000;
// The largest bitmap a record may make: more is not drawn.
constexpr qint64 kMaxBitmapPixels = qint64(64) << 20;
// "Everything" for clip arithmetic, in reference pixels.
constexpr qreal kHuge = 1 << 27;
constexpr int kMaxClipElements = 4096;

QColor fromColorRef(quint32 c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

struct Pen {
    bool null = false;
    bool cosmetic = true;
    qreal width = 0;  // logical units for a geometric pen
    QColor color = Qt::black;
    Qt::PenStyle style = Qt::SolidLine;
    Qt::PenCapStyle cap = Qt::RoundCap;
    Qt::PenJoinStyle join = Qt::RoundJoin;
};

struct Brush {
    bool null = false;
    QColor color = Qt::white;
    Qt::BrushStyle style = Qt::SolidPattern;
};

struct Font {
    QString family;
    qint32 height = 0;
    qint32 escapement = 0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

using Object = std::variant<std::monostate, Pen, Brush, Font>;

struct DC {
    quint32 mapMode = MM_TEXT;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    QTransform world;
    Pen pen;
    Brush brush;
    Font font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    quint32 bkMode = BK_OPAQUE;
    quint32 textAlign = 0;
    quint32 fillMode = ALTERNATE;
    std::optional<QPainterPath> clip;  // reference pixels; none = everything
    QPointF current;                   // logical
};

}  // namespace

class EmfPlayback {
public:
    EmfPlayback(const EmfPlayer& player, QPainter* painter, const QRectF& target)
        : player_(player), data_(player.page_.constData()), p_(painter),
          objects_(player.handles_) {
        if (!p_) return;
        base_ = p_->worldTransform();
        const QTransform device = p_->deviceTransform();
        bool invertible = false;
        const QTransform baseInverse = base_.inverted(&invertible);
        viewport_ = invertible ? baseInverse * device : QTransform();
        viewportInverse_ = viewport_.inverted(&invertible);
        if (!invertible) viewportInverse_ = QTransform();
        originalClip_ = p_->hasClipping() ? std::optional(p_->clipPath()) : std::nullopt;

        // The frame's corners come from the file: 64-bit widths.
        const QRect f = player.frame_;
        const QRectF frameDev(f.left() * player.devicePerMm100_.width(),
                              f.top() * player.devicePerMm100_.height(),
                              qreal(qint64(f.right()) - f.left()) * player.devicePerMm100_.width(),
                              qreal(qint64(f.bottom()) - f.top()) * player.devicePerMm100_.height());
        if (frameDev.width() > 0 && frameDev.height() > 0) {
            const qreal sx = target.width() / frameDev.width();
            const qreal sy = target.height() / frameDev.height();
            frame_ = QTransform(sx, 0, 0, sy, target.left() - frameDev.left() * sx,
                                target.top() - frameDev.top() * sy);
        } else {
            drawable_ = false;
        }
    }

    void run();

private:
    // ---- reading ----
    [[noreturn]] void fail(const QString& what) const {
        throw EEmfError(QStringLiteral("Page record %1 (type %2) at offset %3: %4")
                            .arg(index_).arg(type_).arg(offset_).arg(what));
    }
    void need(qint64 bytes) const {
        if (bytes > size_) fail(QStringLiteral("the record is too short for its fields"));
    }
    quint32 u32(qint64 off) const {
        need(off + 4);
        return U32At(rec_ + off);
    }
    qint32 i32(qint64 off) const {
        need(off + 4);
        return I32At(rec_ + off);
    }
    float f32(qint64 off) const {
        need(off + 4);
        return F32At(rec_ + off);
    }
    QPointF point(qint64 off) const { return QPointF(i32(off), i32(off + 4)); }
    QRectF rectl(qint64 off) const {
        const qreal l = i32(off), t = i32(off + 4), r = i32(off + 8), b = i32(off + 12);
        return QRectF(QPointF(l, t), QPointF(r, b));
    }
    // An area inside the record: offset and length from the record's fields.
    void needArea(quint32 off, qint64 length, const char* what) const {
        if (qint64(off) + length > size_ || length < 0)
            fail(QStringLiteral("the %1 lies outside the record").arg(QLatin1String(what)));
    }
    quint32 objectIndex(qint64 off) const {
        const quint32 ih = u32(off);
        if (ih == 0 || ih >= objects_.size())
            fail(QStringLiteral("object index %1 is out of range (the header has %2 handles)")
                     .arg(ih).arg(objects_.size()));
        return ih;
    }

    // ---- transforms ----
    QTransform pageTransform() const;
    QTransform geometry() const { return dc_.world * pageTransform() * frame_ * base_; }
    QTransform logicalToReference() const { return dc_.world * pageTransform(); }

    // ---- drawing ----
    bool drawing() const { return p_ && drawable_; }
    void applyClip();
    void prepare(bool withPen, bool withBrush);
    QPen qpen() const;
    QBrush qbrush() const;
    void drawShape(const QPainterPath& path, bool fill, bool stroke);
    void polys(bool sixteen, bool closed, bool multi);
    void polyTo(bool sixteen, bool bezier);
    void bezier(bool sixteen);
    void text();
    void stretchDIBits();
    void blt(bool stretch);
    void selectClipRegion();
    void combineClip(const QPainterPath& area, quint32 mode);
    void drawImage(const QRectF& dest, QImage image, QRectF source);
    QImage dib(quint32 offBmi, quint32 cbBmi, quint32 offBits, quint32 cbBits, quint32 usage,
               bool* bottomUp);
    void setWorld(const QTransform& t, quint32 mode);

    const EmfPlayer& player_;
    const char* data_;
    QPainter* p_;
    bool drawable_ = true;
    QTransform base_, viewport_, viewportInverse_, frame_;
    std::optional<QPainterPath> originalClip_;

    std::vector<Object> objects_;
    DC dc_;
    std::vector<DC> saved_;
    std::optional<QPainterPath> path_;  // being built, reference pixels
    bool inPath_ = false;
    std::optional<QPainterPath> appliedClip_;
    bool clipApplied_ = false;

    const char* rec_ = nullptr;
    qint64 size_ = 0;
    quint32 type_ = 0;
    qint64 offset_ = 0;
    int index_ = 0;
};

// ---- header -------------------------------------------------------------

EmfPlayer::EmfPlayer(const QByteArray& page) : page_(page) {
    const qint64 length = page_.size();
    const char* d = page_.constData();
    auto fault = [](const QString& what) { throw EEmfError(QStringLiteral("The page header ") + what); };
    if (length < kMinHeaderSize) fault(QStringLiteral("is truncated (%1 bytes)").arg(length));
    if (U32At(d) != EMR_HEADER) fault(QStringLiteral("is missing: the first record has type %1").arg(U32At(d)));
    if (U32At(d + kHdrSignature) != kSignature) fault(QStringLiteral("has a wrong signature"));
    const quint32 headerSize = U32At(d + 4);
    if (headerSize < kMinHeaderSize || headerSize % 4 || headerSize > length)
        fault(QStringLiteral("size %1 does not fit the page of %2 bytes").arg(headerSize).arg(length));
    const quint32 bytes = U32At(d + kHdrBytes);
    if (bytes != length)
        fault(QStringLiteral("gives the page as %1 bytes, but it has %2").arg(bytes).arg(length));
    auto rect = [&](int off) {
        return QRect(QPoint(I32At(d + off), I32At(d + off + 4)), QPoint(I32At(d + off + 8), I32At(d + off + 12)));
    };
    frame_ = rect(kHdrFrame);
    handles_ = U16At(d + kHdrHandles);

    const quint32 descChars = U32At(d + kHdrDescriptionCount);
    const quint32 descOff = U32At(d + kHdrDescriptionOffset);
    if (descChars) {
        if (descOff < kMinHeaderSize || qint64(descOff) + qint64(descChars) * 2 > headerSize)
            fault(QStringLiteral("has a description outside the header"));
        QString desc;
        desc.reserve(qsizetype(descChars));
        for (quint32 i = 0; i < descChars; ++i) desc.append(QChar(U16At(d + descOff + 2 * i)));
        const QStringList parts = desc.split(QChar(0));
        creator_ = parts.value(0);
        title_ = parts.value(1);
    }

    // Reference pixels per 0.01 mm: the micrometre extension is exact,
    // the millimetres are what every writer fills.
    qint32 devW = I32At(d + kHdrDevice), devH = I32At(d + kHdrDevice + 4);
    qreal mmW = I32At(d + kHdrMillimeters), mmH = I32At(d + kHdrMillimeters + 4);
    // The extensions are there when the header is long enough and the
    // description does not sit where they would be.
    if (headerSize >= kHeaderSize && (descChars == 0 || descOff >= kHeaderSize)) {
        const qint32 umW = I32At(d + kHdrMicrometers), umH = I32At(d + kHdrMicrometers + 4);
        if (umW > 0 && umH > 0) mmW = umW / 1000.0, mmH = umH / 1000.0;
    }
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0)
        devicePerMm100_ = QSizeF(devW / (mmW * 100), devH / (mmH * 100));
    else
        devicePerMm100_ = QSizeF(96 / 2540.0, 96 / 2540.0);

    EmfPlayback(*this, nullptr, QRectF()).run();
}

QSize EmfPlayer::naturalSize(qreal dpiX, qreal dpiY) const {
    const qreal w = qBound(0.0, qreal(qint64(frame_.right()) - frame_.left()) * dpiX / 2540.0, 1e6);
    const qreal h = qBound(0.0, qreal(qint64(frame_.bottom()) - frame_.top()) * dpiY / 2540.0, 1e6);
    return QSize(int(std::lround(w)), int(std::lround(h)));
}

void EmfPlayer::play(QPainter& painter, const QRectF& target) const {
    painter.save();
    try {
        EmfPlayback(*this, &painter, target).run();
    } catch (...) {
        painter.restore();
        throw;
    }
    painter.restore();
}

// ---- the walk -----------------------------------------------------------

void EmfPlayback::run() {
    const qint64 length = player_.page_.size();
    qint64 pos = U32At(data_ + 4);
    index_ = 1;
    while (true) {
        ++index_;
        offset_ = pos;
        type_ = 0;
        if (length - pos < 8) {
            rec_ = nullptr;
            throw EEmfError(QStringLiteral("Page record %1 at offset %2: the page ends before its end record")
                                .arg(index_).arg(pos));
        }
        rec_ = data_ + pos;
        type_ = U32At(rec_);
        const quint32 size = U32At(rec_ + 4);
        if (size < 8) fail(QStringLiteral("size %1 is smaller than a record").arg(size));
        if (size % 4) fail(QStringLiteral("size %1 is not a multiple of 4").arg(size));
        if (size > length - pos) fail(QStringLiteral("size %1 runs past the end of the page").arg(size));
        size_ = size;
        pos += size;

        switch (type_) {
        case EMR_EOF:
            if (pos != length) fail(QStringLiteral("the end record is followed by more data"));
            return;
        case EMR_HEADER: fail(QStringLiteral("a second header"));

        case EMR_SETMAPMODE: {
            const quint32 m = u32(8);
            if (m >= MM_TEXT && m <= MM_ANISOTROPIC) dc_.mapMode = m;
            break;
        }
        case EMR_SETWINDOWEXTEX:
            if (i32(8) && i32(12)) dc_.windowExt = QSizeF(i32(8), i32(12));
            break;
        case EMR_SETWINDOWORGEX: dc_.windowOrg = point(8); break;
        case EMR_SETVIEWPORTEXTEX:
            if (i32(8) && i32(12)) dc_.viewportExt = QSizeF(i32(8), i32(12));
            break;
        case EMR_SETVIEWPORTORGEX: dc_.viewportOrg = point(8); break;
        case EMR_SCALEVIEWPORTEXTEX:
        case EMR_SCALEWINDOWEXTEX: {
            const qreal xn = i32(8), xd = i32(12), yn = i32(16), yd = i32(20);
            if (xn == 0 || xd == 0 || yn == 0 || yd == 0) break;
            QSizeF& ext = type_ == EMR_SCALEVIEWPORTEXTEX ? dc_.viewportExt : dc_.windowExt;
            ext = QSizeF(ext.width() * xn / xd, ext.height() * yn / yd);
            break;
        }
        case EMR_SETWORLDTRANSFORM:
            setWorld(QTransform(f32(8), f32(12), f32(16), f32(20), f32(24), f32(28)), MWT_SET);
            break;
        case EMR_MODIFYWORLDTRANSFORM:
            setWorld(QTransform(f32(8), f32(12), f32(16), f32(20), f32(24), f32(28)), u32(32));
            break;

        case EMR_SETBKMODE: dc_.bkMode = u32(8); break;
        case EMR_SETBKCOLOR: dc_.bkColor = fromColorRef(u32(8)); break;
        case EMR_SETTEXTCOLOR: dc_.textColor = fromColorRef(u32(8)); break;
        case EMR_SETTEXTALIGN: dc_.textAlign = u32(8); break;
        case EMR_SETPOLYFILLMODE: dc_.fillMode = u32(8); break;
        case EMR_MOVETOEX: dc_.current = point(8); break;

        case EMR_SAVEDC:
            // A stack deeper than the page has records cannot be restored
            // anyway; the bound keeps a hostile page small.
            if (saved_.size() < 4096) saved_.push_back(dc_);
            break;
        case EMR_RESTOREDC: {
            const qint32 rel = i32(8);
            qint64 level = rel < 0 ? qint64(saved_.size()) + rel : qint64(rel) - 1;
            if (level < 0 || level >= qint64(saved_.size())) break;
            dc_ = saved_[size_t(level)];
            saved_.resize(size_t(level));
            break;
        }

        case EMR_CREATEPEN: {
            const quint32 ih = objectIndex(8);
            Pen pen;
            const quint32 style = u32(12);
            const qint32 width = i32(16);
            pen.color = fromColorRef(u32(24));
            pen.null = (style & PS_STYLE_MASK) == PS_NULL;
            pen.cosmetic = width <= 1;
            pen.width = qMax(0, width);
            switch (style & PS_STYLE_MASK) {
            case PS_DASH: pen.style = Qt::DashLine; break;
            case PS_DOT: pen.style = Qt::DotLine; break;
            case PS_DASHDOT: pen.style = Qt::DashDotLine; break;
            case PS_DASHDOTDOT: pen.style = Qt::DashDotDotLine; break;
            default: break;
            }
            objects_[ih] = pen;
            break;
        }
        case EMR_EXTCREATEPEN: {
            const quint32 ih = objectIndex(8);
            Pen pen;
            const quint32 style = u32(28);
            const quint32 width = u32(32);
            const quint32 brushStyle = u32(36);
            pen.color = fromColorRef(u32(40));
            pen.null = (style & PS_STYLE_MASK) == PS_NULL || brushStyle == BS_NULL;
            pen.cosmetic = !(style & PS_GEOMETRIC);
            pen.width = pen.cosmetic ? 0 : qreal(width);
            switch (style & PS_STYLE_MASK) {
            case PS_DASH:
            case 7:  // user style
                pen.style = Qt::DashLine;
                break;
            case PS_DOT: pen.style = Qt::DotLine; break;
            case PS_DASHDOT: pen.style = Qt::DashDotLine; break;
            case PS_DASHDOTDOT: pen.style = Qt::DashDotDotLine; break;
            default: break;
            }
            switch (style & PS_ENDCAP_MASK) {
            case PS_ENDCAP_SQUARE: pen.cap = Qt::SquareCap; break;
            case PS_ENDCAP_FLAT: pen.cap = Qt::FlatCap; break;
            default: break;
            }
            switch (style & PS_JOIN_MASK) {
            case PS_JOIN_BEVEL: pen.join = Qt::BevelJoin; break;
            case PS_JOIN_MITER: pen.join = Qt::MiterJoin; break;
            default: break;
            }
            objects_[ih] = pen;
            break;
        }
        case EMR_CREATEBRUSHINDIRECT: {
            const quint32 ih = objectIndex(8);
            Brush brush;
            const quint32 style = u32(12);
            brush.color = fromColorRef(u32(16));
            const quint32 hatch = u32(20);
            brush.null = style == BS_NULL;
            if (style == BS_HATCHED) {
                static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                         Qt::FDiagPattern, Qt::BDiagPattern,
                                                         Qt::CrossPattern, Qt::DiagCrossPattern};
                brush.style = hatch < 6 ? hatches[hatch] : Qt::SolidPattern;
            }
            objects_[ih] = brush;
            break;
        }
        case 93:  // EMR_CREATEMONOBRUSH
        case 94: {  // EMR_CREATEDIBPATTERNBRUSHPT: a pattern shows as gray
            const quint32 ih = objectIndex(8);
            Brush brush;
            brush.color = Qt::gray;
            objects_[ih] = brush;
            break;
        }
        case 49: {  // EMR_CREATEPALETTE: only its handle matters here
            objects_[objectIndex(8)] = std::monostate();
            break;
        }
        case EMR_EXTCREATEFONTINDIRECTW: {
            const quint32 ih = objectIndex(8);
            need(12 + kLogFontSize);
            Font font;
            font.height = i32(12);
            font.escapement = i32(20);
            font.weight = i32(28);
            font.italic = rec_[32] != 0;
            font.underline = rec_[33] != 0;
            font.strikeOut = rec_[34] != 0;
            for (int i = 0; i < kFaceNameChars; ++i) {
                const quint16 c = U16At(rec_ + 40 + 2 * i);
                if (!c) break;
                font.family.append(QChar(c));
            }
            objects_[ih] = font;
            break;
        }
        case EMR_SELECTOBJECT: {
            const quint32 ih = u32(8);
            if (ih & STOCK_OBJECT) {
                const quint32 stock = ih & ~STOCK_OBJECT;
                Brush b;
                Pen p;
                switch (stock) {
                case WHITE_BRUSH: dc_.brush = b; break;
                case LTGRAY_BRUSH: b.color = QColor(0xC0, 0xC0, 0xC0), dc_.brush = b; break;
                case GRAY_BRUSH: b.color = QColor(0x80, 0x80, 0x80), dc_.brush = b; break;
                case DKGRAY_BRUSH: b.color = QColor(0x40, 0x40, 0x40), dc_.brush = b; break;
                case BLACK_BRUSH: b.color = Qt::black, dc_.brush = b; break;
                case NULL_BRUSH: b.null = true, dc_.brush = b; break;
                case DC_BRUSH: dc_.brush = b; break;
                case WHITE_PEN: p.color = Qt::white, dc_.pen = p; break;
                case BLACK_PEN:
                case DC_PEN: dc_.pen = p; break;
                case NULL_PEN: p.null = true, dc_.pen = p; break;
                default:
                    if (stock >= 10 && stock <= 17) dc_.font = Font();
                    break;
                }
                break;
            }
            const quint32 i = objectIndex(8);
            if (const Pen* pen = std::get_if<Pen>(&objects_[i])) dc_.pen = *pen;
            else if (const Brush* brush = std::get_if<Brush>(&objects_[i])) dc_.brush = *brush;
            else if (const Font* font = std::get_if<Font>(&objects_[i])) dc_.font = *font;
            break;
        }
        case EMR_DELETEOBJECT: objects_[objectIndex(8)] = std::monostate(); break;

        case EMR_INTERSECTCLIPRECT:
        case EMR_EXCLUDECLIPRECT: {
            QPainterPath area;
            area.addPolygon(logicalToReference().map(QPolygonF(rectl(8))));
            area.closeSubpath();
            combineClip(area, type_ == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF);
            break;
        }
        case EMR_OFFSETCLIPRGN:
            if (dc_.clip) {
                const QTransform t = logicalToReference();
                const QPointF d = t.map(point(8)) - t.map(QPointF(0, 0));
                dc_.clip = dc_.clip->translated(d);
            }
            break;
        case EMR_EXTSELECTCLIPRGN: selectClipRegion(); break;

        case EMR_RECTANGLE:
        case EMR_ELLIPSE:
        case EMR_ROUNDRECT: {
            const QRectF r = rectl(8).normalized();
            QPainterPath path;
            if (type_ == EMR_RECTANGLE) path.addRect(r);
            else if (type_ == EMR_ELLIPSE) path.addEllipse(r);
            else path.addRoundedRect(r, i32(24) / 2.0, i32(28) / 2.0);
            drawShape(path, true, true);
            break;
        }
        case EMR_LINETO: {
            const QPointF to = point(8);
            QPainterPath path(dc_.current);
            path.lineTo(to);
            dc_.current = to;
            drawShape(path, false, true);
            break;
        }
        case EMR_SETPIXELV: {
            const QPointF at = point(8);
            if (drawing() && !inPath_) {
                applyClip();
                p_->setWorldTransform(geometry());
                p_->setPen(QPen(fromColorRef(u32(16)), 0));
                p_->drawPoint(at);
            }
            break;
        }
        case EMR_POLYGON: polys(false, true, false); break;
        case EMR_POLYGON16: polys(true, true, false); break;
        case EMR_POLYLINE: polys(false, false, false); break;
        case EMR_POLYLINE16: polys(true, false, false); break;
        case EMR_POLYPOLYGON: polys(false, true, true); break;
        case EMR_POLYPOLYGON16: polys(true, true, true); break;
        case EMR_POLYPOLYLINE: polys(false, false, true); break;
        case EMR_POLYPOLYLINE16: polys(true, false, true); break;
        case EMR_POLYLINETO: polyTo(false, false); break;
        case EMR_POLYLINETO16: polyTo(true, false); break;
        case EMR_POLYBEZIERTO: polyTo(false, true); break;
        case EMR_POLYBEZIERTO16: polyTo(true, true); break;
        case EMR_POLYBEZIER: bezier(false); break;
        case EMR_POLYBEZIER16: bezier(true); break;

        case 59:  // EMR_BEGINPATH
            inPath_ = true;
            path_ = QPainterPath();
            break;
        case 60:  // EMR_ENDPATH
            inPath_ = false;
            break;
        case 61:  // EMR_CLOSEFIGURE
            if (path_) path_->closeSubpath();
            break;
        case 68:  // EMR_ABORTPATH
            inPath_ = false;
            path_.reset();
            break;
        case 62:    // EMR_FILLPATH
        case 63:    // EMR_STROKEANDFILLPATH
        case 64: {  // EMR_STROKEPATH
            if (!path_ || inPath_) break;
            const QPainterPath path = *path_;
            path_.reset();
            // The path is in reference pixels: draw it without the logical
            // mapping, but keep the pen's width in logical units.
            if (drawing()) {
                applyClip();
                const QTransform saveWorld = dc_.world;
                const quint32 saveMode = dc_.mapMode;
                const QSizeF we = dc_.windowExt, ve = dc_.viewportExt;
                const QPointF wo = dc_.windowOrg, vo = dc_.viewportOrg;
                const QTransform l2r = logicalToReference();
                const qreal scale = std::sqrt(std::abs(l2r.determinant()));
                Pen pen = dc_.pen;
                pen.width *= scale;
                dc_.world = QTransform();
                dc_.mapMode = MM_TEXT;
                dc_.windowOrg = dc_.viewportOrg = QPointF();
                std::swap(dc_.pen, pen);
                drawShape(path, type_ != 64, type_ != 62);
                std::swap(dc_.pen, pen);
                dc_.world = saveWorld;
                dc_.mapMode = saveMode;
                dc_.windowExt = we, dc_.viewportExt = ve, dc_.windowOrg = wo, dc_.viewportOrg = vo;
            }
            break;
        }
        case 67: {  // EMR_SELECTCLIPPATH
            if (!path_ || inPath_) break;
            QPainterPath area = *path_;
            path_.reset();
            combineClip(area, u32(8));
            break;
        }

        case EMR_EXTTEXTOUTW: text(); break;
        case EMR_STRETCHDIBITS: stretchDIBits(); break;
        case EMR_BITBLT: blt(false); break;
        case EMR_STRETCHBLT: blt(true); break;
        case EMR_GDICOMMENT: {
            const quint32 cb = u32(8);
            needArea(12, cb, "comment");
            break;
        }
        default: break;  // records the pages do not need
        }
    }
}

// ---- transforms ---------------------------------------------------------

QTransform EmfPlayback::pageTransform() const {
    qreal sx = 1, sy = 1;
    const QSizeF perMm(player_.devicePerMm100_.width() * 100, player_.devicePerMm100_.height() * 100);
    switch (dc_.mapMode) {
    case MM_LOMETRIC: sx = perMm.width() / 10, sy = -perMm.height() / 10; break;
    case MM_HIMETRIC: sx = perMm.width() / 100, sy = -perMm.height() / 100; break;
    case MM_LOENGLISH: sx = perMm.width() * 0.254, sy = -perMm.height() * 0.254; break;
    case MM_HIENGLISH: sx = perMm.width() * 0.0254, sy = -perMm.height() * 0.0254; break;
    case MM_TWIPS: sx = perMm.width() * 25.4 / 1440, sy = -perMm.height() * 25.4 / 1440; break;
    case MM_ISOTROPIC:
    case MM_ANISOTROPIC:
        sx = dc_.viewportExt.width() / dc_.windowExt.width();
        sy = dc_.viewportExt.height() / dc_.windowExt.height();
        if (dc_.mapMode == MM_ISOTROPIC) {
            const qreal s = qMin(std::abs(sx), std::abs(sy));
            sx = sx < 0 ? -s : s;
            sy = sy < 0 ? -s : s;
        }
        break;
    default: break;
    }
    return QTransform(sx, 0, 0, sy, dc_.viewportOrg.x() - dc_.windowOrg.x() * sx,
                      dc_.viewportOrg.y() - dc_.windowOrg.y() * sy);
}

void EmfPlayback::setWorld(const QTransform& t, quint32 mode) {
    for (qreal v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
        if (!std::isfinite(v)) return;
    switch (mode) {
    case MWT_IDENTITY: dc_.world = QTransform(); break;
    case MWT_LEFTMULTIPLY: dc_.world = t * dc_.world; break;
    case MWT_RIGHTMULTIPLY: dc_.world = dc_.world * t; break;
    case MWT_SET: dc_.world = t; break;
    default: break;
    }
}

// ---- clip ---------------------------------------------------------------

void EmfPlayback::combineClip(const QPainterPath& area, quint32 mode) {
    // Only drawing needs the clip; the checking walk skips the arithmetic.
    if (!p_) return;
    QPainterPath everything;
    everything.addRect(QRectF(-kHuge, -kHuge, 2 * kHuge, 2 * kHuge));
    const QPainterPath current = dc_.clip ? *dc_.clip : everything;
    switch (mode) {
    case RGN_AND: dc_.clip = current.intersected(area); break;
    case RGN_OR: dc_.clip = dc_.clip ? current.united(area) : current; break;
    case RGN_XOR: dc_.clip = current.united(area).subtracted(current.intersected(area)); break;
    case RGN_DIFF: dc_.clip = current.subtracted(area); break;
    case RGN_COPY: dc_.clip = area; break;
    default: break;
    }
    // A region built from very many pieces is kept as its outline: exact
    // clipping of such a page is not worth unbounded path arithmetic.
    if (dc_.clip && dc_.clip->elementCount() > kMaxClipElements) {
        QPainterPath outline;
        outline.addRect(dc_.clip->boundingRect());
        dc_.clip = outline;
    }
}

void EmfPlayback::selectClipRegion() {
    const quint32 cb = u32(8);
    const quint32 mode = u32(12);
    needArea(16, cb, "region");
    if (cb == 0) {
        // Only a copy of nothing is meaningful: the clip is removed.
        if (mode == RGN_COPY) dc_.clip.reset();
        return;
    }
    if (cb < quint32(kRgnDataHeaderSize)) fail(QStringLiteral("the region's header is truncated"));
    const quint32 count = u32(16 + 8);
    if (qint64(count) * 16 > qint64(cb) - kRgnDataHeaderSize)
        fail(QStringLiteral("the region holds more rectangles than its data"));
    QPainterPath area;
    area.setFillRule(Qt::WindingFill);
    for (quint32 i = 0; i < count; ++i) area.addRect(rectl(16 + kRgnDataHeaderSize + 16 * qint64(i)).normalized());
    if (drawing()) area = area.simplified();
    combineClip(area, mode);
}

void EmfPlayback::applyClip() {
    const bool want = dc_.clip.has_value();
    if (!want && !clipApplied_) return;
    if (want && clipApplied_ && appliedClip_ && *appliedClip_ == *dc_.clip) return;
    if (!want) {
        p_->setWorldTransform(base_);
        if (originalClip_) p_->setClipPath(*originalClip_);
        else p_->setClipping(false);
        clipApplied_ = false;
        appliedClip_.reset();
        return;
    }
    p_->setWorldTransform(base_);
    if (originalClip_) p_->setClipPath(*originalClip_);
    p_->setWorldTransform(frame_ * base_);
    p_->setClipPath(*dc_.clip, originalClip_ ? Qt::IntersectClip : Qt::ReplaceClip);
    clipApplied_ = true;
    appliedClip_ = dc_.clip;
}

// ---- shapes -------------------------------------------------------------

QPen EmfPlayback::qpen() const {
    const Pen& pen = dc_.pen;
    if (pen.null) return QPen(Qt::NoPen);
    QPen q(pen.color);
    q.setStyle(pen.style);
    q.setCapStyle(pen.cap);
    q.setJoinStyle(pen.join);
    // A line never gets thinner than a pixel of the target.
    const qreal deviceScale = std::sqrt(std::abs((geometry() * viewport_).determinant()));
    if (pen.cosmetic || !(pen.width * deviceScale >= 1)) {
        q.setWidthF(0);
        q.setCosmetic(true);
    } else {
        q.setWidthF(pen.width);
    }
    return q;
}

QBrush EmfPlayback::qbrush() const {
    const Brush& b = dc_.brush;
    if (b.null) return QBrush(Qt::NoBrush);
    return QBrush(b.color, b.style);
}

void EmfPlayback::drawShape(const QPainterPath& path, bool fill, bool stroke) {
    if (inPath_) {
        if (path_) path_->addPath(logicalToReference().map(path));
        return;
    }
    if (!drawing()) return;
    applyClip();
    p_->setWorldTransform(geometry());
    if (fill && (dc_.brush.style != Qt::SolidPattern && dc_.bkMode == BK_OPAQUE)) {
        p_->setBackgroundMode(Qt::OpaqueMode);
        p_->setBackground(dc_.bkColor);
    } else {
        p_->setBackgroundMode(Qt::TransparentMode);
    }
    QPainterPath filled = path;
    filled.setFillRule(dc_.fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    p_->setPen(stroke ? qpen() : QPen(Qt::NoPen));
    p_->setBrush(fill ? qbrush() : QBrush(Qt::NoBrush));
    p_->drawPath(filled);
}

void EmfPlayback::polys(bool sixteen, bool closed, bool multi) {
    const int pointSize = sixteen ? 4 : 8;
    QPainterPath path;
    if (multi) {
        const quint32 nPolys = u32(24);
        const quint32 total = u32(28);
        const qint64 countsAt = 32;
        needArea(quint32(countsAt), qint64(nPolys) * 4, "polygon counts");
        const qint64 pointsAt = countsAt + qint64(nPolys) * 4;
        need(pointsAt + qint64(total) * pointSize);
        qint64 at = pointsAt;
        qint64 used = 0;
        for (quint32 i = 0; i < nPolys; ++i) {
            const quint32 n = u32(countsAt + 4 * qint64(i));
            used += n;
            if (used > total) fail(QStringLiteral("the polygon counts exceed the point count"));
            QPolygonF poly;
            poly.reserve(n);
            for (quint32 k = 0; k < n; ++k, at += pointSize)
                poly << (sixteen ? QPointF(I16At(rec_ + at), I16At(rec_ + at + 2)) : point(at));
            if (closed) path.addPolygon(poly), path.closeSubpath();
            else path.addPolygon(poly);
        }
    } else {
        const quint32 n = u32(24);
        need(28 + qint64(n) * pointSize);
        QPolygonF poly;
        poly.reserve(n);
        for (quint32 k = 0; k < n; ++k) {
            const qint64 at = 28 + qint64(k) * pointSize;
            poly << (sixteen ? QPointF(I16At(rec_ + at), I16At(rec_ + at + 2)) : point(at));
        }
        path.addPolygon(poly);
        if (closed) path.closeSubpath();
    }
    drawShape(path, closed, true);
}

void EmfPlayback::polyTo(bool sixteen, bool isBezier) {
    const int pointSize = sixteen ? 4 : 8;
    const quint32 n = u32(24);
    need(28 + qint64(n) * pointSize);
    auto at = [&](quint32 k) {
        const qint64 o = 28 + qint64(k) * pointSize;
        return sixteen ? QPointF(I16At(rec_ + o), I16At(rec_ + o + 2)) : point(o);
    };
    QPainterPath path(dc_.current);
    if (isBezier) {
        for (quint32 k = 0; k + 2 < n; k += 3) path.cubicTo(at(k), at(k + 1), at(k + 2));
    } else {
        for (quint32 k = 0; k < n; ++k) path.lineTo(at(k));
    }
    dc_.current = path.currentPosition();
    drawShape(path, false, true);
}

void EmfPlayback::bezier(bool sixteen) {
    const int pointSize = sixteen ? 4 : 8;
    const quint32 n = u32(24);
    need(28 + qint64(n) * pointSize);
    if (n < 4) return;
    auto at = [&](quint32 k) {
        const qint64 o = 28 + qint64(k) * pointSize;
        return sixteen ? QPointF(I16At(rec_ + o), I16At(rec_ + o + 2)) : point(o);
    };
    QPainterPath path(at(0));
    for (quint32 k = 1; k + 2 < n; k += 3) path.cubicTo(at(k), at(k + 1), at(k + 2));
    drawShape(path, false, true);
}

// ---- text ---------------------------------------------------------------

void EmfPlayback::text() {
    const quint32 mode = u32(24);
    (void)mode;
    QPointF ref = point(36);
    const quint32 n = u32(44);
    const quint32 offString = u32(48);
    const quint32 options = u32(52);
    qint64 at = 56;
    QRectF rcl;
    if (!(options & ETO_NO_RECT)) {
        rcl = rectl(56).normalized();
        at = 72;
    }
    const quint32 offDx = u32(at);
    needArea(offString, qint64(n) * 2, "text");
    const int dxStep = (options & ETO_PDY) ? 8 : 4;
    const bool haveDx = offDx != 0 && n != 0;
    if (haveDx) needArea(offDx, qint64(n) * dxStep, "advance list");
    if (!drawing() || inPath_ || n == 0) return;

    QString text;
    text.reserve(qsizetype(n));
    for (quint32 i = 0; i < n; ++i) text.append(QChar(U16At(rec_ + offString + 2 * qint64(i))));
    applyClip();

    const Font& lf = dc_.font;
    QFont font;
    if (!lf.family.isEmpty()) font.setFamily(lf.family);
    font.setWeight(QFont::Weight(qBound(1, lf.weight ? lf.weight : 400, 1000)));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    if (!p_->testRenderHint(QPainter::TextAntialiasing)) font.setStyleStrategy(QFont::NoAntialias);

    const QTransform l2r = logicalToReference();
    const QTransform toDevice = l2r * frame_ * base_ * viewport_;
    const qreal theta = (lf.escapement / 10.0) * M_PI / 180;
    const QPointF dir(std::cos(theta), -std::sin(theta));
    const QLineF unitDir = toDevice.map(QLineF(QPointF(0, 0), dir));
    const QLineF unitUp = toDevice.map(QLineF(QPointF(0, 0), QPointF(-dir.y(), dir.x())));
    const qreal perpScale = unitUp.length();
    const qreal dirScale = unitDir.length();
    if (!(perpScale > 0) || !(dirScale > 0)) return;

    // The character height in logical units: a negative height is the
    // em, a positive one the whole cell.
    qreal em;
    if (lf.height < 0) {
        em = -qreal(lf.height);
    } else if (lf.height > 0) {
        QFont probe = font;
        probe.setPixelSize(100);
        const QFontMetricsF fm(probe);
        em = qreal(lf.height) * 100 / qMax<qreal>(1, fm.ascent() + fm.descent());
    } else {
        em = 16 / qMax<qreal>(1e-9, std::sqrt(std::abs(l2r.determinant())));
    }
    const qreal emPixels = em * perpScale;
    if (!(emPixels >= kMinTextPixels) || emPixels > kMaxTextPixels) return;
    const qreal dpi = qMax(1, p_->device()->logicalDpiY());
    font.setPointSizeF(emPixels * 72 / dpi);
    const QFontMetricsF fm(font, p_->device());

    // Advances along the baseline, in logical units.
    std::vector<qreal> advance(n);
    if (haveDx) {
        for (quint32 i = 0; i < n; ++i) advance[i] = I32At(rec_ + offDx + qint64(i) * dxStep);
    } else {
        for (quint32 i = 0; i < n; ++i) advance[i] = fm.horizontalAdvance(text.at(qsizetype(i))) / dirScale;
    }
    qreal total = 0;
    for (qreal a : advance) total += a;

    if (dc_.textAlign & TA_UPDATECP) ref = dc_.current;
    QPointF start = ref;
    switch (dc_.textAlign & TA_HORIZONTAL_MASK) {
    case TA_RIGHT: start = ref - dir * total; break;
    case TA_CENTER: start = ref - dir * (total / 2); break;
    default: break;
    }
    if (dc_.textAlign & TA_UPDATECP)
        dc_.current = (dc_.textAlign & TA_HORIZONTAL_MASK) == TA_RIGHT ? start : start + dir * total;

    qreal shift = 0;  // device pixels from the reference line down to the baseline
    switch (dc_.textAlign & TA_VERTICAL_MASK) {
    case TA_BASELINE: shift = 0; break;
    case TA_BOTTOM: shift = -fm.descent(); break;
    default: shift = fm.ascent(); break;
    }
    const QPointF down = QPointF(unitUp.dx(), unitUp.dy()) / perpScale;
    const qreal angle = std::atan2(unitDir.dy(), unitDir.dx()) * 180 / M_PI;

    const QTransform geom = geometry();
    if (options & ETO_OPAQUE && !rcl.isEmpty()) {
        p_->setWorldTransform(geom);
        p_->fillRect(rcl, dc_.bkColor);
    }
    p_->save();
    if (options & ETO_CLIPPED && !rcl.isNull()) {
        p_->setWorldTransform(geom);
        p_->setClipRect(rcl, Qt::IntersectClip);
    }
    if (dc_.bkMode == BK_OPAQUE && !(options & ETO_OPAQUE)) {
        // The character cells take the background colour.
        const QPointF o = toDevice.map(start) + down * (shift - fm.ascent());
        QTransform cell;
        cell.translate(o.x(), o.y());
        cell.rotate(angle);
        p_->setWorldTransform(cell * viewportInverse_);
        p_->fillRect(QRectF(0, 0, total * dirScale, fm.ascent() + fm.descent()), dc_.bkColor);
    }
    p_->setFont(font);
    p_->setPen(dc_.textColor);
    QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
    qsizetype from = 0;
    qreal done = 0;
    while (from < text.size()) {
        clusters.setPosition(from);
        qsizetype to = clusters.toNextBoundary();
        if (to <= from || to > text.size()) to = text.size();
        const QPointF o = toDevice.map(start + dir * done) + down * shift;
        QTransform t;
        t.translate(o.x(), o.y());
        t.rotate(angle);
        p_->setWorldTransform(t * viewportInverse_);
        p_->drawText(QPointF(0, 0), text.mid(from, to - from));
        for (qsizetype i = from; i < to; ++i) done += advance[size_t(i)];
        from = to;
    }
    p_->restore();
}

// ---- bitmaps ------------------------------------------------------------

QImage EmfPlayback::dib(quint32 offBmi, quint32 cbBmi, quint32 offBits, quint32 cbBits, quint32 usage,
                        bool* bottomUp) {
    needArea(offBmi, cbBmi, "bitmap header");
    needArea(offBits, cbBits, "bitmap");
    if (cbBmi < quint32(kBitmapInfoHeaderSize)) fail(QStringLiteral("the bitmap header is truncated"));
    const char* h = rec_ + offBmi;
    const quint32 headerSize = U32At(h);
    const qint32 width = I32At(h + 4);
    const qint32 height = I32At(h + 8);
    const quint16 bpp = U16At(h + 14);
    const quint32 compression = U32At(h + 16);
    quint32 colors = U32At(h + 32);
    if (headerSize < quint32(kBitmapInfoHeaderSize) || headerSize > cbBmi)
        fail(QStringLiteral("the bitmap header's size %1 does not fit").arg(headerSize));
    if (width <= 0 || height == 0 || height == INT32_MIN) return {};
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    *bottomUp = height > 0;
    if (qint64(width) * rows > kMaxBitmapPixels) return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return {};
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return {};
    const qint64 stride = ((qint64(width) * bpp + 31) / 32) * 4;
    if (stride * rows > cbBits) fail(QStringLiteral("the bitmap's pixels exceed its data"));

    std::vector<QRgb> palette;
    quint32 masksAt = headerSize;
    if (bpp <= 8) {
        if (colors == 0 || colors > (1u << bpp)) colors = 1u << bpp;
        if (qint64(headerSize) + qint64(colors) * (usage == DIB_RGB_COLORS ? 4 : 2) > cbBmi)
            fail(QStringLiteral("the bitmap's colour table lies outside its header"));
        palette.resize(1u << bpp, qRgb(0, 0, 0));
        for (quint32 i = 0; i < colors; ++i) {
            if (usage == DIB_RGB_COLORS) {
                const char* q = h + headerSize + 4 * i;
                palette[i] = qRgb(quint8(q[2]), quint8(q[1]), quint8(q[0]));
            } else {
                const int g = int(i * 255 / qMax(1u, colors - 1));
                palette[i] = qRgb(g, g, g);
            }
        }
    }
    quint32 rMask = 0x7C00, gMask = 0x03E0, bMask = 0x001F;
    if (compression == BI_BITFIELDS) {
        if (headerSize == quint32(kBitmapInfoHeaderSize) && qint64(masksAt) + 12 > cbBmi)
            fail(QStringLiteral("the bitmap's colour masks lie outside its header"));
        if (headerSize == quint32(kBitmapInfoHeaderSize) || headerSize >= 52) {
            const char* m = h + (headerSize == quint32(kBitmapInfoHeaderSize) ? masksAt : 40);
            rMask = U32At(m), gMask = U32At(m + 4), bMask = U32At(m + 8);
        }
    }
    auto channel = [](quint32 v, quint32 mask) -> int {
        if (!mask) return 0;
        int shift = 0;
        while (!((mask >> shift) & 1)) ++shift;
        const quint32 max = mask >> shift;
        return int((((v & mask) >> shift) * 255 + max / 2) / max);
    };

    if (!p_) return {};
    QImage image(width, int(rows), QImage::Format_RGB32);
    if (image.isNull()) return {};
    const char* bits = rec_ + offBits;
    for (qint64 y = 0; y < rows; ++y) {
        const uchar* src = reinterpret_cast<const uchar*>(bits + y * stride);
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (qint32 x = 0; x < width; ++x) {
            switch (bpp) {
            case 1: out[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1]; break;
            case 4: out[x] = palette[(src[x / 2] >> (x % 2 ? 0 : 4)) & 0xF]; break;
            case 8: out[x] = palette[src[x]]; break;
            case 16: {
                const quint32 v = quint32(src[2 * x]) | (quint32(src[2 * x + 1]) << 8);
                out[x] = qRgb(channel(v, rMask), channel(v, gMask), channel(v, bMask));
                break;
            }
            case 24: out[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]); break;
            default:
                if (compression == BI_BITFIELDS) {
                    const quint32 v = U32At(reinterpret_cast<const char*>(src) + 4 * x);
                    out[x] = qRgb(channel(v, rMask), channel(v, gMask), channel(v, bMask));
                } else {
                    out[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
                }
                break;
            }
        }
    }
    return *bottomUp ? image.mirrored(false, true) : image;
}

void EmfPlayback::drawImage(const QRectF& dest, QImage image, QRectF source) {
    if (!drawing() || inPath_ || image.isNull()) return;
    source = source.intersected(QRectF(image.rect()));
    if (source.isEmpty() || dest.width() == 0 || dest.height() == 0) return;
    if (dest.width() < 0 || dest.height() < 0) {
        image = image.mirrored(dest.width() < 0, dest.height() < 0);
        source = QRectF(dest.width() < 0 ? image.width() - source.right() : source.left(),
                        dest.height() < 0 ? image.height() - source.bottom() : source.top(),
                        source.width(), source.height());
    }
    applyClip();
    p_->setWorldTransform(geometry());
    p_->drawImage(dest.normalized(), image, source);
}

void EmfPlayback::stretchDIBits() {
    const QRectF dest(i32(24), i32(28), i32(72), i32(76));
    const qreal xSrc = i32(32), ySrc = i32(36), cxSrc = i32(40), cySrc = i32(44);
    const quint32 offBmi = u32(48), cbBmi = u32(52), offBits = u32(56), cbBits = u32(60);
    const quint32 usage = u32(64);
    bool bottomUp = false;
    const QImage image = dib(offBmi, cbBmi, offBits, cbBits, usage, &bottomUp);
    if (image.isNull()) return;
    // A bottom-up bitmap counts its source rows from the bottom.
    const qreal top = bottomUp ? image.height() - ySrc - cySrc : ySrc;
    drawImage(dest, image, QRectF(xSrc, top, cxSrc, cySrc));
}

void EmfPlayback::blt(bool stretch) {
    const QRectF dest(i32(24), i32(28), i32(32), i32(36));
    const quint32 rop = u32(40);
    const qint64 fields = stretch ? kStretchBltFixed : kBitBltFixed;
    need(fields);
    const quint32 usage = u32(80);
    const quint32 offBmi = u32(84), cbBmi = u32(88), offBits = u32(92), cbBits = u32(96);
    if (cbBmi == 0 || cbBits == 0) {
        // No source: the operation fills with the brush or a fixed colour.
        QPainterPath path;
        path.addRect(dest.normalized());
        if (inPath_ || !drawing()) return;
        applyClip();
        p_->setWorldTransform(geometry());
        if (rop == BLACKNESS) p_->fillPath(path, Qt::black);
        else if (rop == WHITENESS) p_->fillPath(path, Qt::white);
        else if (!dc_.brush.null) p_->fillPath(path, qbrush());
        return;
    }
    bool bottomUp = false;
    const QImage image = dib(offBmi, cbBmi, offBits, cbBits, usage, &bottomUp);
    if (image.isNull()) return;
    QRectF source(0, 0, image.width(), image.height());
    if (!stretch) source.setSize(QSizeF(qAbs(dest.width()), qAbs(dest.height())));
    drawImage(dest, image, source);
}

}  // namespace tandex::print
