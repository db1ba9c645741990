#pragma once
// The image comparison without its window: from the left and the right
// picture it computes a third that shows how they differ, in one of four
// modes (ICID): 0 Pixels (same, tolerated and different pixels painted in
// their colours and counted), 1 Intensity (the per-channel difference as
// brightness), 2 Blend (the right picture laid over the left) and 3 Boolean
// (a bitwise combination). The right picture may be shifted by an offset.
//
// Pictures are QImage::Format_ARGB32, worked on as 32-bit values whose
// bytes are blue, green, red and a fourth byte in memory order. Painted
// pixels get a fourth byte of 0, as do all Intensity pixels; the fourth
// byte becomes 0xFF only where a picture is shown or leaves the program
// (OpaqueForDisplay).
//
// Settings read at each computation: ICDifTol, ICEqCol, ICTolCol, ICDifCol,
// ICOverlay, ICTinted, ICRelaxed, ICDVType, ICBOType, ICBlend; ICID is set
// to the mode of each successful computation.

#include <QImage>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace tandex::ui {

class ImgCompare {
public:
    // Both reset the offset to (0, 0).
    void SetLeftPicture(const QImage& picture);
    void SetRightPicture(const QImage& picture);
    const QImage& LeftPicture() const { return imgFileL; }
    const QImage& RightPicture() const { return imgFileR; }
    const QImage& Result() const { return imgResult; }

    // The right picture's offset in pixels, rounded for each computation.
    void SetOffset(double x, double y);
    double OffsetX() const { return offsetX; }
    double OffsetY() const { return offsetY; }

    // Intensity amplification: 0 none, 1 x2, 2 x4, 3 x8; not stored.
    void SetAmplification(int level);
    int Amplification() const { return amplification; }

    // Computes Result() for the mode and returns its mode text, such as
    // "[Blend mode: 50%]". Returns nothing when it cannot compute (a picture
    // without pixels, an unknown mode): the window then keeps its previous
    // status, and the result shows the left picture.
    std::optional<QString> Compute(int mode);

    // "xofs: <x>" and "yofs: <y>" on two lines, for the last computation.
    QString OffsetText() const;

    // Changes graphic in place: 0 rotate 90 degrees clockwise, 1 counter-
    // clockwise, 2 flip vertically, 3 mirror horizontally, 4 5 6 stretch to
    // the other picture's size (4 both dimensions, 5 height, 6 width): to the
    // right picture's when graphic has the left one's, else to the left's.
    void TransformImage(QImage& graphic, int kind) const;

private:
    void CopyLeftIntoResult();

    QImage imgFileL, imgFileR, imgResult;
    double offsetX = 0, offsetY = 0;
    int xofs = 0, yofs = 0;
    int amplification = 0;
};

// Counts of the last Pixels computation, program-wide (the batch mode reads
// them after a comparison).
void GetImageCompareCounts(qint32& same, qint32& tolerated, qint32& different);

// Blend's constant alpha for ICBlend percent: percent x 255 / 100 rounded
// half to even, so 50 gives 128.
int BlendAlpha(int percent);

// A copy with every fourth byte 0xFF, for showing or exporting a picture
// whose fourth bytes are not an alpha channel.
QImage OpaqueForDisplay(const QImage& picture);

// Puts the picture on the clipboard (opaque, as shown).
void CopyGraphicToClipboard(const QImage& graphic);

}  // namespace tandex::ui
