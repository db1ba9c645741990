#pragma once
// The smooth page drawing of the preview. The platform's optional
// high-quality renderer becomes QPainter's own antialiasing here, which is
// always there: `Available` is true unless a test switches it off, and
// `Draw` then plays the page with plain, unsmoothed drawing. Source and
// target share one resolution, so the resolution correction is 1 and the
// page fills exactly the rectangle it is given.

#include <QByteArray>
#include <QRect>

class QPainter;

namespace tandex::print {

class TGDIPlusSubset {
public:
    TGDIPlusSubset();
    TGDIPlusSubset(const TGDIPlusSubset&) = delete;
    TGDIPlusSubset& operator=(const TGDIPlusSubset&) = delete;

    bool Available() const;
    // Draws an EMF page into rect of canvas; a malformed page raises
    // EEmfError before anything is drawn.
    void Draw(QPainter& canvas, const QRect& rect, const QByteArray& metafile) const;

    // Tests take the plain path with this.
    static void SetUnavailableForTesting(bool unavailable);
};

// Plays a page without smoothing of lines, text or pictures.
void DrawMetafilePlain(QPainter& canvas, const QRect& rect, const QByteArray& metafile);

}  // namespace tandex::print
