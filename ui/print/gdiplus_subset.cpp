#include "ui/print/gdiplus_subset.h"

#include <QPainter>
#include <atomic>

#include "ui/print/emf_player.h"

namespace tandex::print {

namespace {

std::atomic<bool> unavailableForTesting{false};

void drawWithHints(QPainter& canvas, const QRect& rect, const QByteArray& metafile, bool smooth) {
    const EmfPlayer player(metafile);
    canvas.save();
    canvas.setRenderHint(QPainter::Antialiasing, smooth);
    canvas.setRenderHint(QPainter::TextAntialiasing, smooth);
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    try {
        player.play(canvas, QRectF(rect));
    } catch (...) {
        canvas.restore();
        throw;
    }
    canvas.restore();
}

}  // namespace

TGDIPlusSubset::TGDIPlusSubset() = default;

bool TGDIPlusSubset::Available() const {
    return !unavailableForTesting.load();
}

void TGDIPlusSubset::Draw(QPainter& canvas, const QRect& rect, const QByteArray& metafile) const {
    drawWithHints(canvas, rect, metafile, Available());
}

void TGDIPlusSubset::SetUnavailableForTesting(bool unavailable) {
    unavailableForTesting.store(unavailable);
}

void DrawMetafilePlain(QPainter& canvas, const QRect& rect, const QByteArray& metafile) {
    drawWithHints(canvas, rect, metafile, false);
}

}  // namespace tandex::print
