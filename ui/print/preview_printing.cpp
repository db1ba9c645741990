// The printer side of the preview: its paper and form on the printer and
// back, the printable area, print runs over a list of pages, and pages
// drawn straight onto the printer.

#include <QPainter>
#include <exception>

#include "ui/print/emf_recorder.h"
#include "ui/print/picture_routines.h"
#include "ui/print/preview_document.h"

namespace tandex::print {

namespace {

const char kRotatedText[] = "Rotated";

// How a number of whole inches with one decimal reads in a paper's name:
// 8.5 and 11, not 8.50 and 11.0.
QString inchText(int tenths) {
    return QString::number(tenths / 10.0, 'g', 15) + QLatin1Char('"');
}

}  // namespace

void PreviewDocument::SetPrinter(PreviewPrinter* printer) {
    // A running job keeps the printer it started on.
    if (printer == printer_ || state_ == psPrinting) return;
    printer_ = printer;
    ClearFormNames();
    SetDirectPrint(directPrint_);
}

void PreviewDocument::SetDirectPrint(bool value) {
    directPrint_ = value;
    // A recording keeps its reference device until it ends.
    if (state_ != psReady) return;
    referenceIsPrinter_ = directPrint_ && HasPrinter();
    ComputePageExtents();
}

void PreviewDocument::ClearFormNames() {
    formName_.clear();
    synthesizedFormName_.clear();
}

bool PreviewDocument::GetPaperTypeSize(TPaperType type, TUnits outUnits, int& width, int& height) const {
    if (type == pCustom) return false;
    const TPaperSizeInfo& row = PaperSizes(type);
    width = ConvertX(row.Width, row.Units, outUnits);
    height = ConvertY(row.Height, row.Units, outUnits);
    return true;
}

// ---- form names ---------------------------------------------------------

QString PreviewDocument::FormName() {
    if (!formName_.isEmpty()) return formName_;
    if (synthesizedFormName_.isEmpty() && HasPrinter()) {
        bool landscape = IsLandscape();
        // The size in portrait order, as the printer's forms are given.
        QPoint size;
        if (paperType_ != pCustom) {
            const TPaperSizeInfo& row = PaperSizes(paperType_);
            size = ConvertXY(row.Width, row.Height, row.Units, mmHiMetric);
        } else if (landscape) {
            size = ConvertXY(paperHeight_, paperWidth_, units_, mmHiMetric);
        } else {
            size = ConvertXY(paperWidth_, paperHeight_, units_, mmHiMetric);
        }
        int wmm = DivRoundEven(size.x(), 100), hmm = DivRoundEven(size.y(), 100);
        bool rotatedForm = false;
        for (const PrinterForm& form : printer_->Forms()) {
            const int fw = DivRoundEven(form.Size.width(), 1000), fh = DivRoundEven(form.Size.height(), 1000);
            if (fw == wmm && fh == hmm) {
                formName_ = form.Name;
                synthesizedFormName_.clear();
                return formName_;
            }
            if (fw == hmm && fh == wmm) {
                synthesizedFormName_ = form.Name;
                rotatedForm = true;
            }
        }
        if (rotatedForm) {
            landscape = !landscape;
        } else {
            const bool metric = units_ == mmLoMetric || units_ == mmHiMetric ||
                                (units_ != mmLoEnglish && units_ != mmHiEnglish && LocaleMeasureUnits() == mmHiMetric);
            if (metric) {
                if (landscape) std::swap(wmm, hmm);
                synthesizedFormName_ = QStringLiteral("%1mm x %2mm").arg(wmm).arg(hmm);
            } else {
                const QPoint inches = ConvertXY(size.x(), size.y(), mmHiMetric, mmHiEnglish);
                synthesizedFormName_ = inchText(DivRoundEven(inches.x(), 100)) + QStringLiteral(" x ") +
                                       inchText(DivRoundEven(inches.y(), 100));
            }
        }
        if (landscape) synthesizedFormName_ += QLatin1Char(' ') + QLatin1String(kRotatedText);
    }
    return synthesizedFormName_;
}

bool PreviewDocument::IsSynthesizedFormName() {
    return FormName() == synthesizedFormName_;
}

// ---- printer options ----------------------------------------------------

void PreviewDocument::ApplyPrinterOptions() {
    if (!HasPrinter()) return;
    DeviceMode mode = printer_->GetDeviceMode();
    mode.Fields &= ~(DeviceMode::kPaperSize | DeviceMode::kPaperLength | DeviceMode::kPaperWidth |
                     DeviceMode::kFormName);
    if (!IsSynthesizedFormName()) {
        mode.Fields |= DeviceMode::kFormName;
        mode.FormName = FormName().left(DeviceMode::kFormNameLength);
    }
    if (paperType_ == pCustom) {
        QPoint size = ConvertXY(paperWidth_, paperHeight_, units_, mmLoMetric);
        if (IsLandscape()) size = size.transposed();
        mode.PaperSize = PaperSizes(pCustom).ID;
        mode.PaperWidth = size.x();
        mode.PaperLength = size.y();
        mode.Fields |= DeviceMode::kPaperSize | DeviceMode::kPaperLength | DeviceMode::kPaperWidth;
    } else {
        mode.PaperSize = PaperSizes(paperType_).ID;
        mode.Fields |= DeviceMode::kPaperSize;
    }
    mode.Fields |= DeviceMode::kOrientation;
    mode.Orientation = IsLandscape() ? 2 : 1;
    printer_->SetDeviceMode(mode);
}

void PreviewDocument::ReadPrinterOptions() {
    if (!HasPrinter()) return;
    const DeviceMode mode = printer_->GetDeviceMode();
    TPrinterOrientation orientation = orientation_;
    if (mode.Fields & DeviceMode::kOrientation) {
        if (mode.Orientation == 1) orientation = poPortrait;
        else if (mode.Orientation == 2) orientation = poLandscape;
    }
    TPaperType type = pCustom;
    if (mode.Fields & DeviceMode::kPaperSize) type = FindPaperTypeById(mode.PaperSize);
    int width = 0, height = 0;
    if (type == pCustom || !GetPaperTypeSize(type, units_, width, height)) {
        // The physical page is already in the printer's orientation.
        const QRect paper = printer_->PaperRect();
        width = ConvertUnits(paper.width(), printer_->DpiX(), mmPixel, units_);
        height = ConvertUnits(paper.height(), printer_->DpiY(), mmPixel, units_);
    } else if (orientation == poLandscape) {
        std::swap(width, height);
    }
    SetPaperSizeOrientation(width, height, orientation);
    if (mode.Fields & DeviceMode::kFormName) {
        formName_ = mode.FormName;
        synthesizedFormName_.clear();
    }
}

void PreviewDocument::ResetPrinterDC() {
    if (HasPrinter()) printer_->ResetDC();
}

// ---- geometry -----------------------------------------------------------

QRect PreviewDocument::PrintableAreaBounds() const {
    if (!HasPrinter()) return PageBounds();
    const QRect area = printer_->PageRect();
    const int dpiX = printer_->DpiX(), dpiY = printer_->DpiY();
    return QRect(ConvertUnits(area.x(), dpiX, mmPixel, units_), ConvertUnits(area.y(), dpiY, mmPixel, units_),
                 ConvertUnits(area.width(), dpiX, mmPixel, units_),
                 ConvertUnits(area.height(), dpiY, mmPixel, units_));
}

QRect PreviewDocument::PrinterPageBounds() const {
    if (!HasPrinter()) return QRect(0, 0, 0, 0);
    QRect bounds;
    if (UsePrinterOptions)
        bounds = QRect(QPoint(0, 0), printer_->PaperRect().size());
    else
        bounds = QRect(0, 0, ConvertUnits(paperWidth_, printer_->DpiX(), units_, mmPixel),
                       ConvertUnits(paperHeight_, printer_->DpiY(), units_, mmPixel));
    // The canvas starts at the corner of the printable area.
    return bounds.translated(-printer_->PageRect().topLeft());
}

// ---- print runs ---------------------------------------------------------

void PreviewDocument::PrintPages(int fromPage, int toPage) {
    fromPage = qMax(1, fromPage);
    toPage = qMin(toPage, TotalPages());
    if (TotalPages() < fromPage) return;
    QList<int> pages;
    for (int n = fromPage; n <= toPage && !AbortPrinting; ++n) pages.append(n);
    PrintPageList(pages);
}

void PreviewDocument::PrintPageList(const QList<int>& pages) {
    if (state_ != psReady || !HasPrinter() || pages.isEmpty()) return;
    SetState(psPrinting);
    bool succeeded = false;
    try {
        BeginPrintJob();
        const QRect r = PrinterPageBounds();
        bool started = false;
        bool cancelled = false;
        const int count = int(pages.size());
        for (int i = 0; i < count && !AbortPrinting; ++i) {
            DoProgress(i + 1, count);
            const TPageProcessingChoice choice = DoPageProcessing(pages[i]);
            if (choice == pcCancellAll) {
                cancelled = true;
                break;
            }
            if (choice != pcAccept) continue;
            if (started) printer_->NewPage();
            QPainter* canvas = printer_->Canvas();
            if (!canvas) throw EPrinterError(QStringLiteral("The printer has no page to draw on"));
            DrawPrinterPage(pages[i], *canvas, r);
            started = true;
        }
        if (!cancelled) {
            DoProgress(count, count);
            succeeded = true;
        }
    } catch (...) {
        // The job ends however the run failed; the run's own fault is the
        // one the caller hears of.
        try {
            EndPrintJob(false);
        } catch (...) {
        }
        AbortPrinting = false;
        SetState(psReady);
        throw;
    }
    // A stop asked of this run must not stop the next one before it starts.
    AbortPrinting = false;
    try {
        EndPrintJob(succeeded);
    } catch (...) {
        SetState(psReady);
        throw;
    }
    SetState(psReady);
}

void PreviewDocument::DoProgress(int done, int total) {
    if (OnProgress) OnProgress(done, total);
}

TPageProcessingChoice PreviewDocument::DoPageProcessing(int pageNo) {
    TPageProcessingChoice choice = pcAccept;
    if (OnPageProcessing) OnPageProcessing(pageNo, choice);
    return choice;
}

void PreviewDocument::DrawPrinterPage(int pageNo, QPainter& canvas, const QRect& r) {
    if (OnPrintBackground) OnPrintBackground(pageNo, canvas);
    const TGraphic page = TGraphic::FromMetafile(Pages(pageNo));
    if (Grayscale & gsPrint) DrawGraphicGray(canvas, r, page, grayBrightness_, grayContrast_);
    else DrawGraphic(canvas, r, page);
    if (OnPrintAnnotation) OnPrintAnnotation(pageNo, canvas);
}

void PreviewDocument::BeginPrintJob() {
    if (OnBeforePrint) OnBeforePrint();
    if (!UsePrinterOptions) ApplyPrinterOptions();
    printer_->SetTitle(PrintJobTitle);
    printer_->BeginDoc();
    if (!UsePrinterOptions) ResetPrinterDC();
}

void PreviewDocument::EndPrintJob(bool succeeded) {
    std::exception_ptr failure;
    try {
        if (!succeeded && printer_->Printing()) printer_->Abort();
        if (printer_->Printing()) printer_->EndDoc();
    } catch (...) {
        failure = std::current_exception();
    }
    printer_->SetTitle(QString());
    if (OnAfterPrint) OnAfterPrint();
    if (failure) std::rethrow_exception(failure);
}

// ---- straight to the printer --------------------------------------------
//
// Qt sizes a font in points by the resolution of the device a painter is
// on, so a painter on the printer mapped to the preview's units would
// shrink every font the owner sets. Each page is therefore recorded as the
// preview records pages, with the printer as the reference device, and
// played onto the printer's page when it is done.

void PreviewDocument::OpenPrinterCanvas() {
    OpenMetafileCanvas();
}

void PreviewDocument::ReleasePrinterCanvas() {
    const QByteArray page = FinishMetafileCanvas();
    QPainter* canvas = printer_->Canvas();
    if (!canvas) throw EPrinterError(QStringLiteral("The printer has no page to draw on"));
    DrawGraphic(*canvas, PrinterPageBounds(), TGraphic::FromMetafile(page));
}

void PreviewDocument::BeginDirectPrint() {
    SetState(psPrinting);
    directPrinting_ = true;
    printedPages_ = 0;
    try {
        if (UsePrinterOptions) ReadPrinterOptions();
        else ApplyPrinterOptions();
        printer_->SetTitle(PrintJobTitle);
        printer_->BeginDoc();
    } catch (...) {
        directPrinting_ = false;
        SetState(psReady);
        throw;
    }
}

void PreviewDocument::NewDirectPage() {
    try {
        if (canvas_) {
            if (OnEndPage) OnEndPage();
            ++printedPages_;
            ReleasePrinterCanvas();
            printer_->NewPage();
        }
        OpenPrinterCanvas();
    } catch (...) {
        AbandonDirectPrint();
        throw;
    }
}

void PreviewDocument::EndDirectPrint() {
    try {
        if (canvas_) {
            if (OnEndPage) OnEndPage();
            ++printedPages_;
            ReleasePrinterCanvas();
        }
        printer_->EndDoc();
    } catch (...) {
        AbandonDirectPrint();
        throw;
    }
    directPrinting_ = false;
}

void PreviewDocument::AbandonDirectPrint() {
    // Nothing half-printed goes out, and the preview is ready again rather
    // than stuck in a job nobody can end.
    if (canvas_) canvas_->end();
    canvas_.reset();
    device_.reset();
    try {
        if (printer_->Printing()) printer_->Abort();
    } catch (...) {
    }
    directPrinting_ = false;
    SetState(psReady);
}

}  // namespace tandex::print
