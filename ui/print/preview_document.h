#pragma once
// What the print preview is without its window: the paper in its length
// units, the conversions, the recording of pages through a canvas, the
// page store with the current page, the page file and the states. The
// preview widget holds one (a subclass that fills in the view hooks); the
// tests drive it without a screen.
//
// The screen is the reference device of the recorded pages: pages are
// sized in its pixels, and the canvas maps the preview's units onto them.

#include <QByteArray>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "ui/print/metafile_list.h"
#include "ui/print/preview_units.h"

class QIODevice;
class QPainter;

namespace tandex::print {

class EmfPaintDevice;
struct TGraphic;

enum TPrinterOrientation : int { poPortrait = 0, poLandscape = 1 };
enum TPreviewState : int { psReady, psCreating, psPrinting, psLoading, psSaving };
enum TGrayscaleOption : int { gsPreview = 1, gsPrint = 2 };

// A page canvas that could not be made or completed.
class EOutOfMemory : public std::runtime_error {
public:
    explicit EOutOfMemory(const QString& message) : std::runtime_error(message.toStdString()) {}
};
inline constexpr const char* kPageMemoryErrorText = "There is not enough memory to create a new page";

class PreviewDocument {
public:
    PreviewDocument();
    virtual ~PreviewDocument();
    PreviewDocument(const PreviewDocument&) = delete;
    PreviewDocument& operator=(const PreviewDocument&) = delete;

    // "TPrintPreview - " and the build's web address: the creator text of
    // every recorded page.
    static QString CreatorText();

    // ---- conversions ----
    int ConvertX(int value, TUnits inUnits, TUnits outUnits) const;
    int ConvertY(int value, TUnits inUnits, TUnits outUnits) const;
    QPoint ConvertXY(int x, int y, TUnits inUnits, TUnits outUnits) const;
    void ConvertPoints(QPoint* points, int count, TUnits inUnits, TUnits outUnits) const;
    int ConvertToUnitsX(TUnits inUnits, int value) const;
    QPoint ConvertToUnitsXY(TUnits inUnits, int x, int y) const;
    // A size in screen pixels in Units.
    QPoint ScreenToUnits(int x, int y) const;
    TPaperType FindPaperTypeBySize(int width, int height) const;
    // Draws a picture fitted into r on Canvas; the rectangle used, nothing
    // for no picture.
    std::optional<QRect> DrawGraphicFit(const QRect& r, const TGraphic* graphic, bool proportional,
                                        bool shrinkOnly, bool center);

    // ---- paper ----
    TUnits Units() const { return units_; }
    void SetUnits(TUnits units);
    TPrinterOrientation Orientation() const { return orientation_; }
    void SetOrientation(TPrinterOrientation orientation);
    bool IsLandscape() const { return orientation_ == poLandscape; }
    TPaperType PaperType() const { return paperType_; }
    void SetPaperType(TPaperType type);
    int PaperWidth() const { return paperWidth_; }
    int PaperHeight() const { return paperHeight_; }
    void SetPaperWidth(int width) { SetPaperSize(width, paperHeight_); }
    void SetPaperHeight(int height) { SetPaperSize(paperWidth_, height); }
    void SetPaperSize(int width, int height);
    void SetPaperSizeOrientation(int width, int height, TPrinterOrientation orientation);
    QRect PageBounds() const { return QRect(0, 0, paperWidth_, paperHeight_); }
    // The paper in reference pixels, and that on screen at 100 %.
    QSize PageExtent() const { return pageExtent_; }
    QSize PageScreenSize() const { return pageScreenSize_; }

    // ---- other properties ----
    int CacheSize() const { return pages_.CacheSize(); }
    void SetCacheSize(int value) { pages_.SetCacheSize(value); }
    int GrayBrightness() const { return grayBrightness_; }
    void SetGrayBrightness(int value) { grayBrightness_ = qBound(-100, value, 100); }
    int GrayContrast() const { return grayContrast_; }
    void SetGrayContrast(int value) { grayContrast_ = qBound(-100, value, 100); }
    int Grayscale = 0;  // TGrayscaleOption bits
    // Direct printing needs the printer: until printing is built, pages
    // are always recorded.
    bool DirectPrint = false;
    bool UsePrinterOptions = false;
    QString PrintJobTitle;
    QFont Font;

    // ---- the document ----
    void BeginDoc();
    void NewPage();
    void EndDoc();
    void Clear() { pages_.Clear(); }
    bool Delete(int pageNo);
    bool Move(int pageNo, int newPageNo);
    int CurrentPage() const { return currentPage_; }
    void SetCurrentPage(int pageNo);
    int TotalPages() const { return pages_.Count(); }
    TPreviewState State() const { return state_; }
    // The canvas of the page being recorded; null otherwise.
    QPainter* Canvas() const { return canvas_.get(); }
    // A page's EMF; empty outside 1 .. TotalPages.
    QByteArray Pages(int pageNo);
    TMetafileList& Store() { return pages_; }

    // ---- the page file ----
    // Raises EPreviewLoadError "The content cannot be loaded" for anything
    // that is not a sound page file.
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream);
    void LoadFromFile(const QString& name);
    // The file is replaced only once the whole page file was written.
    void SaveToFile(const QString& name);

    // ---- events ----
    std::function<void()> OnBeginDoc, OnEndDoc, OnNewPage, OnEndPage, OnChange, OnStateChange,
        OnPaperChange;

protected:
    virtual int ReferenceDpiX() const;
    virtual int ReferenceDpiY() const;
    virtual void PaperChanged();
    virtual void ComputePageExtents();
    virtual void OpenMetafileCanvas();
    virtual QByteArray FinishMetafileCanvas();
    // The canvas draws in Units with (0, 0) at the paper's corner, and
    // fonts given in points keep their size in those units.
    virtual void MapCanvasToUnits(QPainter& canvas);
    virtual bool ReadPageSetupHeader(QIODevice& stream);
    virtual void WritePageSetupHeader(QIODevice& stream);

    // What the window does: the preview widget fills these in.
    virtual void LayoutPaper() {}
    virtual void ShowPaper(bool /*shown*/) {}
    virtual void RepaintPaper() {}
    virtual void UpdateView() {}
    virtual void RenderBackground(int /*pageNo*/) {}
    virtual void RenderAnnotation(int /*pageNo*/) {}
    virtual void RebuildThumbnailViews() {}
    virtual void RefreshThumbnailRange(int /*first*/, int /*last*/) {}
    virtual void RepaintThumbnailRange(int /*first*/, int /*last*/) {}
    virtual void SyncThumbnailViews() {}
    // What printing does.
    virtual void ReadPrinterOptions() {}
    virtual void ClearFormNames() {}

    void SetState(TPreviewState state);

private:
    void PagesRangeChanged(int first, int last);
    void PageChanged(int index);
    void FinishPage();

    TUnits units_ = mmHiMetric;
    TPrinterOrientation orientation_ = poPortrait;
    TPaperType paperType_ = pCustom;
    int paperWidth_ = 0;
    int paperHeight_ = 0;
    QSize pageExtent_;
    QSize pageScreenSize_;
    int grayBrightness_ = 0;
    int grayContrast_ = 0;
    TPreviewState state_ = psReady;
    int currentPage_ = 0;
    TMetafileList pages_;
    std::unique_ptr<EmfPaintDevice> device_;
    std::unique_ptr<QPainter> canvas_;
};

}  // namespace tandex::print
