#include "ui/main/image_compare.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/sys_helpers.h"

namespace tandex::ui {

namespace {

struct PixelCounts {
    qint32 same = 0, tolerated = 0, different = 0;
};

PixelCounts& LastCounts() {
    static PixelCounts counts;
    return counts;
}

// Settings hold colours as 0x00BBGGRR; a pixel value holds red where the
// colour holds blue.
quint32 ColorToPixel(quint32 color) {
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}

int RoundOffset(double v) {
    // Round half to even, and keep absurd offsets from overflowing: beyond
    // the pictures' sizes they all mean "no overlap".
    return int(std::clamp(std::nearbyint(v), -1e9, 1e9));
}

// Runs fn(resultPixels, rightPixels, count) over each row of the overlap,
// where result pixel (x, y) meets right pixel (x - xofs, y - yofs).
template <class RowFn>
void ForEachOverlapRow(QImage& result, const QImage& right, int xofs, int yofs, RowFn fn) {
    const qint64 w = std::min<qint64>(qint64(result.width()) - xofs, right.width());
    const qint64 h = std::min<qint64>(qint64(result.height()) - yofs, right.height());
    const qint64 x0 = std::max(xofs, 0), x1 = std::min<qint64>(xofs + w - 1, result.width() - 1);
    const qint64 y0 = std::max(yofs, 0), y1 = std::min<qint64>(yofs + h - 1, result.height() - 1);
    if (x0 > x1 || y0 > y1)
        return;
    for (qint64 y = y0; y <= y1; ++y) {
        auto* res = reinterpret_cast<quint32*>(result.scanLine(int(y))) + x0;
        auto* rgt = reinterpret_cast<const quint32*>(right.constScanLine(int(y - yofs))) + (x0 - xofs);
        fn(res, rgt, int(x1 - x0 + 1));
    }
}

inline int AbsDiff(quint32 a, quint32 b, int shift) {
    return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
}

// Branch-free over a row so that the compiler can vectorise it: a pixel is
// same when its largest channel difference is 0, different when it is above
// the tolerance, tolerated otherwise.
template <bool Tinted>
void PixelsRow(quint32* res, const quint32* rgt, int n, int t, const quint32 colors[3], const bool paint[3],
               PixelCounts& counts) {
    qint32 same = 0, different = 0;
    for (int i = 0; i < n; ++i) {
        const quint32 l = res[i], r = rgt[i];
        const int m = std::max({AbsDiff(l, r, 0), AbsDiff(l, r, 8), AbsDiff(l, r, 16)});
        const int cls = (m != 0) + (m > t);
        same += m == 0;
        different += m > t;
        quint32 color = colors[cls];
        if constexpr (Tinted) {
            const quint32 dark = 191 - ((l & 0xFF) + ((l >> 8) & 0xFF) + ((l >> 16) & 0xFF)) / 4;
            color = config::ColorSubSat(color, dark * 0x010101u);
        }
        res[i] = paint[cls] ? color : l;
    }
    counts.same += same;
    counts.different += different;
    counts.tolerated += n - same - different;
}

PixelCounts PixelsRoutine(QImage& result, const QImage& right, int xofs, int yofs) {
    const auto& s = config::AppSettings();
    const quint32 eqCol = ColorToPixel(quint32(s.ICEqCol));
    const quint32 colors[3] = {eqCol, s.ICRelaxed ? eqCol : ColorToPixel(quint32(s.ICTolCol)),
                               ColorToPixel(quint32(s.ICDifCol))};
    // An unpainted pixel keeps the left picture.
    const bool paint[3] = {!s.ICOverlay, !(s.ICOverlay && s.ICRelaxed), true};
    const int t = std::clamp(s.ICDifTol, 0, 255);
    PixelCounts counts;
    ForEachOverlapRow(result, right, xofs, yofs, [&](quint32* res, const quint32* rgt, int n) {
        if (s.ICTinted)
            PixelsRow<true>(res, rgt, n, t, colors, paint, counts);
        else
            PixelsRow<false>(res, rgt, n, t, colors, paint, counts);
    });
    return counts;
}

void IntensityRoutine(QImage& result, const QImage& right, int xofs, int yofs, int type, int level) {
    ForEachOverlapRow(result, right, xofs, yofs, [&](quint32* res, const quint32* rgt, int n) {
        for (int i = 0; i < n; ++i) {
            const quint32 l = res[i], r = rgt[i];
            const int db = std::min(AbsDiff(l, r, 0) << level, 255);
            const int dg = std::min(AbsDiff(l, r, 8) << level, 255);
            const int dr = std::min(AbsDiff(l, r, 16) << level, 255);
            quint32 v = 0;
            switch (type) {
            case 0: v = quint32(db | dg << 8 | dr << 16); break;
            case 1: {
                const quint32 grey = quint32(db + dg + dr) / 3;  // a yellow scale
                v = grey << 8 | grey << 16;
                break;
            }
            case 2: v = quint32(dr) << 16; break;
            case 3: v = quint32(dg) << 8; break;
            default: v = quint32(db); break;
            }
            res[i] = v;
        }
    });
}

void BlendRoutine(QImage& result, const QImage& right, int xofs, int yofs, int alpha) {
    const quint32 a = quint32(alpha), na = 255 - a;
    ForEachOverlapRow(result, right, xofs, yofs, [&](quint32* res, const quint32* rgt, int n) {
        for (int i = 0; i < n; ++i) {
            const quint32 d = res[i], s = rgt[i];
            quint32 out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const quint32 c = (((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * na + 127) / 255;
                out |= c << shift;
            }
            res[i] = out;
        }
    });
}

template <class Op>
void CombineRoutine(QImage& result, const QImage& right, int xofs, int yofs, Op op) {
    ForEachOverlapRow(result, right, xofs, yofs, [&](quint32* res, const quint32* rgt, int n) {
        for (int i = 0; i < n; ++i)
            res[i] = op(res[i], rgt[i]);
    });
}

const char* const kIntensityNames[] = {"RGB", "Combined RGB", "RED component", "GREEN component",
                                       "BLUE component"};
const char* const kBooleanNames[] = {"Left XOR Right", "Left AND Right", "Left OR Right",
                                     "Left AND (NOT Right)", "(NOT Left) AND (NOT Right)"};

void BooleanRoutine(QImage& result, const QImage& right, int xofs, int yofs, int type) {
    switch (type) {
    case 0: CombineRoutine(result, right, xofs, yofs, [](quint32 l, quint32 r) { return l ^ r; }); break;
    case 1: CombineRoutine(result, right, xofs, yofs, [](quint32 l, quint32 r) { return l & r; }); break;
    case 2: CombineRoutine(result, right, xofs, yofs, [](quint32 l, quint32 r) { return l | r; }); break;
    case 3: CombineRoutine(result, right, xofs, yofs, [](quint32 l, quint32 r) { return l & ~r; }); break;
    default: CombineRoutine(result, right, xofs, yofs, [](quint32 l, quint32 r) { return ~l & ~r; }); break;
    }
}

QString Grouped(qint32 v) {
    return config::IntToGroupedStr(v, 0, true);
}

QImage As32Bit(const QImage& picture) {
    return picture.format() == QImage::Format_ARGB32 ? picture : picture.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

void ImgCompare::SetLeftPicture(const QImage& picture) {
    imgFileL = As32Bit(picture);
    offsetX = offsetY = 0;
}

void ImgCompare::SetRightPicture(const QImage& picture) {
    imgFileR = As32Bit(picture);
    offsetX = offsetY = 0;
}

void ImgCompare::SetOffset(double x, double y) {
    offsetX = x;
    offsetY = y;
}

void ImgCompare::SetAmplification(int level) {
    amplification = std::clamp(level, 0, 3);
}

std::optional<QString> ImgCompare::Compute(int mode) {
    CopyLeftIntoResult();
    xofs = RoundOffset(offsetX);
    yofs = RoundOffset(offsetY);
    if (imgResult.isNull() || imgFileR.isNull() || mode < 0 || mode > 3)
        return std::nullopt;
    auto& s = config::AppSettings();
    QString text;
    switch (mode) {
    case 0: {
        LastCounts() = PixelsRoutine(imgResult, imgFileR, xofs, yofs);
        const PixelCounts& c = LastCounts();
        text = QStringLiteral("[Pixels mode: Tolerance=%1 | Same=%2 | Tol=%3 | Diff=%4")
                   .arg(s.ICDifTol)
                   .arg(Grouped(c.same), Grouped(c.tolerated), Grouped(c.different));
        break;
    }
    case 1: {
        const int type = std::clamp(s.ICDVType, 0, 4);
        IntensityRoutine(imgResult, imgFileR, xofs, yofs, type, amplification);
        text = QStringLiteral("[Intensity mode: ") + QLatin1String(kIntensityNames[type]);
        if (amplification > 0)
            text += QStringLiteral("  (Amplified %1x)").arg(1 << amplification);
        break;
    }
    case 2:
        BlendRoutine(imgResult, imgFileR, xofs, yofs, BlendAlpha(s.ICBlend));
        text = QStringLiteral("[Blend mode: %1%").arg(s.ICBlend);
        break;
    case 3: {
        const int type = std::clamp(s.ICBOType, 0, 4);
        BooleanRoutine(imgResult, imgFileR, xofs, yofs, type);
        text = QStringLiteral("[Boolean mode: ") + QLatin1String(kBooleanNames[type]);
        break;
    }
    }
    text += QLatin1Char(']');
    s.ICID = mode;
    return text;
}

// Each computation starts from a fresh copy of the left picture. The copy
// goes into the last result's own pixels when nobody else holds them:
// allocating and copying a new picture costs far more than the comparison.
void ImgCompare::CopyLeftIntoResult() {
    if (imgFileL.isNull()) {
        imgResult = QImage();
        return;
    }
    if (imgResult.size() != imgFileL.size() || imgResult.format() != imgFileL.format() || !imgResult.isDetached())
        imgResult = QImage(imgFileL.size(), imgFileL.format());
    for (int y = 0; y < imgFileL.height(); ++y)
        std::memcpy(imgResult.scanLine(y), imgFileL.constScanLine(y), size_t(imgFileL.width()) * 4);
}

QString ImgCompare::OffsetText() const {
    return QStringLiteral("xofs: %1\nyofs: %2").arg(xofs).arg(yofs);
}

void ImgCompare::TransformImage(QImage& graphic, int kind) const {
    if (graphic.isNull())
        return;
    const QImage old = As32Bit(graphic);
    const int w = old.width(), h = old.height();
    auto px = [&](const QImage& img, int x, int y) {
        return reinterpret_cast<const quint32*>(img.constScanLine(y))[x];
    };
    auto stretch = [&](QSize target) {
        if (target == old.size() || target.isEmpty())
            return;
        QImage out(target, QImage::Format_ARGB32);
        for (int y = 0; y < target.height(); ++y) {
            auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
            const int sy = int(qint64(y) * h / target.height());
            for (int x = 0; x < target.width(); ++x)
                row[x] = px(old, int(qint64(x) * w / target.width()), sy);
        }
        graphic = out;
    };
    switch (kind) {
    case 0:
    case 1: {
        QImage out(h, w, QImage::Format_ARGB32);
        for (int y = 0; y < w; ++y) {
            auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
            for (int x = 0; x < h; ++x)
                row[x] = kind == 0 ? px(old, y, h - 1 - x) : px(old, w - 1 - y, x);
        }
        graphic = out;
        break;
    }
    case 2: graphic = old.mirrored(false, true); break;
    case 3: graphic = old.mirrored(true, false); break;
    case 4:
    case 5:
    case 6: {
        const QSize left = imgFileL.size(), right = imgFileR.size();
        const bool hasLeftSize = kind == 4 ? old.size() == left
                               : kind == 5 ? h == left.height()
                                           : w == left.width();
        const QSize target = hasLeftSize ? right : left;
        stretch(kind == 4 ? target : kind == 5 ? QSize(w, target.height()) : QSize(target.width(), h));
        break;
    }
    default: break;
    }
}

void GetImageCompareCounts(qint32& same, qint32& tolerated, qint32& different) {
    const PixelCounts& c = LastCounts();
    same = c.same;
    tolerated = c.tolerated;
    different = c.different;
}

int BlendAlpha(int percent) {
    const int n = std::clamp(percent, 0, 100) * 255;
    int q = n / 100;
    const int r = n % 100;
    if (r > 50 || (r == 50 && q % 2 == 1))
        ++q;
    return q;
}

QImage OpaqueForDisplay(const QImage& picture) {
    QImage out = As32Bit(picture).copy();
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<quint32*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] |= 0xFF000000u;
    }
    return out;
}

void CopyGraphicToClipboard(const QImage& graphic) {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(OpaqueForDisplay(graphic));
}

}  // namespace tandex::ui
