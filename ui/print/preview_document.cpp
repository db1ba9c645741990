#include "ui/print/preview_document.h"

#include <QBuffer>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <cstring>
#include <unistd.h>

#include "access/error_texts.h"
#include "access/local_files.h"
#include "ui/print/emf_recorder.h"
#include "ui/print/emf_records.h"
#include "ui/print/picture_routines.h"

#ifndef TANDEX_WEB_ADDRESS
#define TANDEX_WEB_ADDRESS ""
#endif

namespace tandex::print {

namespace {

const char kPageSetupTag[6] = {'T', 'X', 'P', 'I', 'P', 0x05};

// The state for the length of a load or save, back to ready however it
// ends.
class StateScope {
public:
    StateScope(std::function<void(TPreviewState)> set, TPreviewState state) : set_(std::move(set)) {
        set_(state);
    }
    ~StateScope() { set_(psReady); }

private:
    std::function<void(TPreviewState)> set_;
};

void writeI32(QIODevice& stream, qint32 v) {
    const qint32 le = qToLittleEndian(v);
    if (stream.write(reinterpret_cast<const char*>(&le), 4) != 4)
        throw EPrintPreviewError(QStringLiteral("Stream write error"));
}

}  // namespace

PreviewDocument::PreviewDocument() {
    // The system's general font stands for the component's "Arial", 8 points.
    Font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    Font.setPointSize(8);
    pages_.OnRangeChanged = [this](int first, int last) { PagesRangeChanged(first, last); };
    pages_.OnItemChanged = [this](int index) { PageChanged(index); };
    // pA4, as the constructor applies it: the setter needs a change.
    SetPaperType(pA4);
    ComputePageExtents();
}

PreviewDocument::~PreviewDocument() {
    pages_.OnRangeChanged = nullptr;
    pages_.OnItemChanged = nullptr;
    if (canvas_) canvas_->end();
}

QString PreviewDocument::CreatorText() {
    return QStringLiteral("TPrintPreview - ") + QString::fromUtf8(TANDEX_WEB_ADDRESS);
}

// ---- conversions --------------------------------------------------------

int PreviewDocument::ReferenceDpiX() const {
    return ScreenPixelsPerInch();
}
int PreviewDocument::ReferenceDpiY() const {
    return ScreenPixelsPerInch();
}

int PreviewDocument::ConvertX(int value, TUnits inUnits, TUnits outUnits) const {
    return ConvertUnits(value, ReferenceDpiX(), inUnits, outUnits);
}
int PreviewDocument::ConvertY(int value, TUnits inUnits, TUnits outUnits) const {
    return ConvertUnits(value, ReferenceDpiY(), inUnits, outUnits);
}
QPoint PreviewDocument::ConvertXY(int x, int y, TUnits inUnits, TUnits outUnits) const {
    return QPoint(ConvertX(x, inUnits, outUnits), ConvertY(y, inUnits, outUnits));
}
void PreviewDocument::ConvertPoints(QPoint* points, int count, TUnits inUnits, TUnits outUnits) const {
    for (int i = 0; i < count; ++i) points[i] = ConvertXY(points[i].x(), points[i].y(), inUnits, outUnits);
}
int PreviewDocument::ConvertToUnitsX(TUnits inUnits, int value) const {
    return ConvertX(value, inUnits, units_);
}
QPoint PreviewDocument::ConvertToUnitsXY(TUnits inUnits, int x, int y) const {
    return ConvertXY(x, y, inUnits, units_);
}

QPoint PreviewDocument::ScreenToUnits(int x, int y) const {
    const int screen = ScreenPixelsPerInch();
    return QPoint(ConvertX(MulDiv(x, ReferenceDpiX(), screen), mmPixel, units_),
                  ConvertY(MulDiv(y, ReferenceDpiY(), screen), mmPixel, units_));
}

TPaperType PreviewDocument::FindPaperTypeBySize(int width, int height) const {
    // Whole millimetres: hundredths of a millimetre ÷ 100, halves to even.
    auto toMm = [](int hiMetric) {
        const int q = hiMetric / 100, r = hiMetric % 100;
        const int twice = 2 * (r < 0 ? -r : r);
        const int away = hiMetric < 0 ? -1 : 1;
        return twice > 100 || (twice == 100 && q % 2 != 0) ? q + away : q;
    };
    const QPoint size = ConvertXY(width, height, units_, mmHiMetric);
    const int w = toMm(size.x()), h = toMm(size.y());
    for (int t = 0; t < kPaperTypeCount; ++t) {
        const TPaperSizeInfo& row = PaperSizes(TPaperType(t));
        const QPoint rowSize = ConvertXY(row.Width, row.Height, row.Units, mmHiMetric);
        if (toMm(rowSize.x()) == w && toMm(rowSize.y()) == h) return TPaperType(t);
    }
    return pCustom;
}

std::optional<QRect> PreviewDocument::DrawGraphicFit(const QRect& r, const TGraphic* graphic, bool proportional,
                                                     bool shrinkOnly, bool center) {
    if (!graphic || graphic->isNull()) return std::nullopt;
    const QSize natural = graphic->size();
    const QPoint g = ScreenToUnits(natural.width(), natural.height());
    const int gw = g.x(), gh = g.y();
    const int rw = r.width(), rh = r.height();
    QSize size;
    if (shrinkOnly && gw <= rw && gh <= rh) {
        size = QSize(gw, gh);
    } else if (proportional && gw > 0 && gh > 0) {
        if (double(rh) / gh > double(rw) / gw) size = QSize(rw, MulDiv(gh, rw, gw));
        else size = QSize(MulDiv(gw, rh, gh), rh);
    } else {
        size = QSize(rw, rh);
    }
    QPoint corner = r.topLeft();
    if (center) corner += QPoint((rw - size.width()) / 2, (rh - size.height()) / 2);
    const QRect used(corner, size);
    if (canvas_) DrawGraphic(*canvas_, used, *graphic);
    return used;
}

// ---- paper --------------------------------------------------------------

void PreviewDocument::SetUnits(TUnits units) {
    if (units == units_) return;
    if (paperType_ != pCustom) {
        const TPaperSizeInfo& row = PaperSizes(paperType_);
        const QPoint size = ConvertXY(row.Width, row.Height, row.Units, units);
        paperWidth_ = IsLandscape() ? size.y() : size.x();
        paperHeight_ = IsLandscape() ? size.x() : size.y();
    } else {
        QPoint size(paperWidth_, paperHeight_);
        ConvertPoints(&size, 1, units_, units);
        paperWidth_ = size.x();
        paperHeight_ = size.y();
    }
    if (canvas_) {
        QPen pen = canvas_->pen();
        pen.setWidth(ConvertX(pen.width(), units_, units));
        canvas_->setPen(pen);
        units_ = units;
        MapCanvasToUnits(*canvas_);
    } else {
        units_ = units;
    }
}

void PreviewDocument::SetOrientation(TPrinterOrientation orientation) {
    if (state_ != psReady || orientation == orientation_) return;
    orientation_ = orientation;
    std::swap(paperWidth_, paperHeight_);
    PaperChanged();
}

void PreviewDocument::SetPaperType(TPaperType type) {
    if (state_ != psReady || type == paperType_) return;
    paperType_ = type;
    if (type == pCustom) return;
    const TPaperSizeInfo& row = PaperSizes(type);
    const QPoint size = ConvertXY(row.Width, row.Height, row.Units, units_);
    paperWidth_ = IsLandscape() ? size.y() : size.x();
    paperHeight_ = IsLandscape() ? size.x() : size.y();
    PaperChanged();
}

void PreviewDocument::SetPaperSize(int width, int height) {
    if (state_ != psReady) return;
    width = qMax(1, width);
    height = qMax(1, height);
    if (width == paperWidth_ && height == paperHeight_) return;
    paperWidth_ = width;
    paperHeight_ = height;
    paperType_ = IsLandscape() ? FindPaperTypeBySize(height, width) : FindPaperTypeBySize(width, height);
    PaperChanged();
}

void PreviewDocument::SetPaperSizeOrientation(int width, int height, TPrinterOrientation orientation) {
    width = qMax(1, width);
    height = qMax(1, height);
    if (orientation == orientation_ && width == paperWidth_ && height == paperHeight_) return;
    orientation_ = orientation;
    paperWidth_ = width;
    paperHeight_ = height;
    paperType_ = orientation == poPortrait ? FindPaperTypeBySize(width, height) : FindPaperTypeBySize(height, width);
    PaperChanged();
}

void PreviewDocument::PaperChanged() {
    ClearFormNames();
    ComputePageExtents();
    LayoutPaper();
    if (OnPaperChange) OnPaperChange();
}

void PreviewDocument::ComputePageExtents() {
    pageExtent_ = QSize(ConvertX(paperWidth_, units_, mmPixel), ConvertY(paperHeight_, units_, mmPixel));
    const int screen = ScreenPixelsPerInch();
    pageScreenSize_ = QSize(MulDiv(pageExtent_.width(), screen, ReferenceDpiX()),
                            MulDiv(pageExtent_.height(), screen, ReferenceDpiY()));
}

// ---- recording ----------------------------------------------------------

void PreviewDocument::SetState(TPreviewState state) {
    if (state == state_) return;
    state_ = state;
    if (OnStateChange) OnStateChange();
}

void PreviewDocument::BeginDoc() {
    if (state_ != psReady) return;
    canvas_.reset();
    device_.reset();
    Clear();
    SetState(psCreating);
    if (UsePrinterOptions) ReadPrinterOptions();
    ComputePageExtents();
    if (OnBeginDoc) OnBeginDoc();
    NewPage();
}

void PreviewDocument::OpenMetafileCanvas() {
    auto device = std::make_unique<EmfPaintDevice>(pageExtent_, ReferenceDpiX(), ReferenceDpiY(), CreatorText(),
                                                   PrintJobTitle);
    auto canvas = std::make_unique<QPainter>();
    if (!canvas->begin(device.get())) throw EOutOfMemory(QString::fromLatin1(kPageMemoryErrorText));
    canvas->setFont(Font);
    device_ = std::move(device);
    canvas_ = std::move(canvas);
    MapCanvasToUnits(*canvas_);
    canvas_->setBackground(Qt::white);
    canvas_->setBackgroundMode(Qt::TransparentMode);
}

QByteArray PreviewDocument::FinishMetafileCanvas() {
    canvas_->end();
    canvas_.reset();
    const QByteArray page = device_->metafileBits();
    device_.reset();
    if (page.isEmpty()) throw EOutOfMemory(QString::fromLatin1(kPageMemoryErrorText));
    return page;
}

void PreviewDocument::MapCanvasToUnits(QPainter& canvas) {
    auto* device = dynamic_cast<EmfPaintDevice*>(canvas.device());
    if (!device) return;
    const int w = paperWidth_, h = paperHeight_;
    const int dw = ConvertUnits(w, device->referenceDpiX(), units_, mmPixel);
    const int dh = ConvertUnits(h, device->referenceDpiY(), units_, mmPixel);
    device->setMapping(QSize(w, h), QSize(dw, dh));
    // The font takes the device's new resolution: logical units per inch.
    canvas.setFont(canvas.font());
}

void PreviewDocument::FinishPage() {
    if (OnEndPage) OnEndPage();
    // The store keeps its own copy; the recorded page goes either way.
    const QByteArray page = FinishMetafileCanvas();
    pages_.Add(page);
}

void PreviewDocument::NewPage() {
    if (state_ != psCreating) return;
    if (canvas_) FinishPage();
    OpenMetafileCanvas();
    if (OnNewPage) OnNewPage();
}

void PreviewDocument::EndDoc() {
    if (state_ != psCreating) return;
    if (canvas_) FinishPage();
    if (OnEndDoc) OnEndDoc();
    SetState(psReady);
}

// ---- pages --------------------------------------------------------------

void PreviewDocument::PagesRangeChanged(int first, int last) {
    if (last == -1) {
        currentPage_ = 0;
        ShowPaper(false);
        UpdateView();
    } else {
        bool rebuild = false;
        if (currentPage_ == 0) {
            currentPage_ = 1;
            LayoutPaper();
            ShowPaper(true);
            rebuild = true;
        } else if (currentPage_ >= first + 1 && currentPage_ <= last + 1) {
            RenderBackground(currentPage_);
            RenderAnnotation(currentPage_);
            RepaintPaper();
        }
        UpdateView();
        if (rebuild) RebuildThumbnailViews();
        else RefreshThumbnailRange(first, last);
    }
    // Only every 32nd page: recording long documents stays fast.
    if (TotalPages() % 32 == 0 && OnChange) OnChange();
}

void PreviewDocument::PageChanged(int index) {
    if (index + 1 == currentPage_) {
        RenderBackground(currentPage_);
        RenderAnnotation(currentPage_);
        RepaintPaper();
    }
    RepaintThumbnailRange(index, index);
    if (OnChange) OnChange();
}

void PreviewDocument::SetCurrentPage(int pageNo) {
    if (TotalPages() == 0) return;
    pageNo = qBound(1, pageNo, TotalPages());
    if (pageNo == currentPage_) return;
    currentPage_ = pageNo;
    RenderBackground(pageNo);
    RenderAnnotation(pageNo);
    RepaintPaper();
    SyncThumbnailViews();
    if (OnChange) OnChange();
}

QByteArray PreviewDocument::Pages(int pageNo) {
    if (pageNo < 1 || pageNo > TotalPages()) return {};
    return pages_.Metafiles(pageNo - 1);
}

bool PreviewDocument::Delete(int pageNo) {
    if (state_ != psReady || pageNo < 1 || pageNo > TotalPages()) return false;
    if (pageNo < currentPage_ || (pageNo == currentPage_ && pageNo == TotalPages())) --currentPage_;
    pages_.Delete(pageNo - 1);
    return true;
}

bool PreviewDocument::Move(int pageNo, int newPageNo) {
    if (state_ != psReady || pageNo == newPageNo || pageNo < 1 || pageNo > TotalPages() || newPageNo < 1 ||
        newPageNo > TotalPages())
        return false;
    if (pageNo == currentPage_ || newPageNo == currentPage_) currentPage_ = newPageNo;
    pages_.Move(pageNo - 1, newPageNo - 1);
    return true;
}

// ---- the page file ------------------------------------------------------

void PreviewDocument::WritePageSetupHeader(QIODevice& stream) {
    if (stream.write(kPageSetupTag, 6) != 6) throw EPrintPreviewError(QStringLiteral("Stream write error"));
    writeI32(stream, orientation_);
    writeI32(stream, paperType_);
    writeI32(stream, ConvertX(paperWidth_, units_, mmHiMetric));
    writeI32(stream, ConvertY(paperHeight_, units_, mmHiMetric));
}

bool PreviewDocument::ReadPageSetupHeader(QIODevice& stream) {
    char head[22];
    if (stream.read(head, 6) != 6 || std::memcmp(head, kPageSetupTag, 4) != 0) return false;
    if (stream.read(head + 6, 16) != 16) throw EPreviewLoadError(QString::fromLatin1(kLoadErrorText));
    const qint32 orientation = emf::I32At(head + 6);
    const qint32 type = emf::I32At(head + 10);
    const qint32 width = emf::I32At(head + 14);
    const qint32 height = emf::I32At(head + 18);
    // A file from anywhere: only values the preview can hold.
    if ((orientation != poPortrait && orientation != poLandscape) || type < 0 || type >= kPaperTypeCount ||
        width <= 0 || height <= 0)
        throw EPreviewLoadError(QString::fromLatin1(kLoadErrorText));
    orientation_ = TPrinterOrientation(orientation);
    paperType_ = TPaperType(type);
    paperWidth_ = ConvertX(width, mmHiMetric, units_);
    paperHeight_ = ConvertY(height, mmHiMetric, units_);
    ComputePageExtents();
    return true;
}

void PreviewDocument::LoadFromStream(QIODevice& stream) {
    const StateScope scope([this](TPreviewState s) { SetState(s); }, psLoading);
    // The checks measure the bytes left: a stream that cannot tell is
    // read whole first.
    QBuffer whole;
    QIODevice* source = &stream;
    if (stream.isSequential()) {
        whole.setData(stream.readAll());
        whole.open(QIODevice::ReadOnly);
        source = &whole;
    }
    if (!ReadPageSetupHeader(*source) || !pages_.LoadFromStream(*source))
        throw EPreviewLoadError(QString::fromLatin1(kLoadErrorText));
}

void PreviewDocument::SaveToStream(QIODevice& stream) {
    const StateScope scope([this](TPreviewState s) { SetState(s); }, psSaving);
    WritePageSetupHeader(stream);
    pages_.SaveToStream(stream);
}

void PreviewDocument::LoadFromFile(const QString& name) {
    int fd = -1;
    if (const int r = access::FZOpenLocalRead(name, fd))
        throw EPrintPreviewError(access::FZErrorText(-r, access::eoOpenRead));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EPrintPreviewError(QStringLiteral("Stream read error"));
    }
    LoadFromStream(file);
}

void PreviewDocument::SaveToFile(const QString& name) {
    access::TFZLocalWrite target;
    if (const int r = target.begin(name)) throw EPrintPreviewError(access::FZErrorText(-r, access::eoOpenWrite));
    {
        QFile file;
        if (!file.open(target.fd(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
            throw EPrintPreviewError(QStringLiteral("Stream write error"));
        SaveToStream(file);
        if (!file.flush() || file.error() != QFileDevice::NoError)
            throw EPrintPreviewError(QStringLiteral("Stream write error"));
    }
    if (const int r = target.commit()) throw EPrintPreviewError(access::FZErrorText(-r, access::eoOpenWrite));
}

}  // namespace tandex::print
