#include "ui/print/qt_preview_printer.h"

#include <QCoreApplication>
#include <QPrinterInfo>
#include <memory>

#include "access/error_texts.h"
#include "ui/print/preview_document.h"

namespace tandex::print {

namespace {

constexpr int kCustomPaperCode = 256;

bool isPrinterForm(const QPageSize& size, const QList<QPageSize>& forms) {
    for (const QPageSize& form : forms)
        if (form.name() == size.name()) return true;
    return false;
}

QString fileErrorText(const QString& fileName, int code, int op) {
    return fileName + QStringLiteral(": ") + access::FZErrorText(-code, op);
}

}  // namespace

DeviceMode DeviceModeOf(const QPageLayout& layout, const QList<QPageSize>& forms) {
    DeviceMode mode;
    mode.Fields = DeviceMode::kOrientation | DeviceMode::kPaperSize;
    mode.Orientation = layout.orientation() == QPageLayout::Landscape ? 2 : 1;
    const QPageSize size = layout.pageSize();
    mode.PaperSize = size.id() == QPageSize::Custom ? kCustomPaperCode : size.windowsId();
    if (mode.PaperSize <= 0) mode.PaperSize = kCustomPaperCode;
    if (mode.PaperSize == kCustomPaperCode) {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        mode.PaperWidth = qRound(mm.width() * 10);
        mode.PaperLength = qRound(mm.height() * 10);
        mode.Fields |= DeviceMode::kPaperWidth | DeviceMode::kPaperLength;
    }
    // A size of its own that Qt merely named after its measures is no form.
    if (size.id() != QPageSize::Custom || isPrinterForm(size, forms)) {
        mode.Fields |= DeviceMode::kFormName;
        mode.FormName = size.name().left(DeviceMode::kFormNameLength);
    }
    return mode;
}

QPageLayout LayoutWithDeviceMode(QPageLayout layout, const DeviceMode& mode, const QList<QPageSize>& forms) {
    if (mode.Fields & DeviceMode::kOrientation) {
        if (mode.Orientation == 1) layout.setOrientation(QPageLayout::Portrait);
        else if (mode.Orientation == 2) layout.setOrientation(QPageLayout::Landscape);
    }
    std::optional<QPageSize> size;
    if ((mode.Fields & DeviceMode::kFormName) && !mode.FormName.isEmpty()) {
        for (const QPageSize& form : forms)
            if (form.name() == mode.FormName) {
                size = form;
                break;
            }
    }
    if (!size && (mode.Fields & DeviceMode::kPaperSize)) {
        if (mode.PaperSize == kCustomPaperCode) {
            const quint32 both = DeviceMode::kPaperWidth | DeviceMode::kPaperLength;
            if ((mode.Fields & both) == both && mode.PaperWidth > 0 && mode.PaperLength > 0)
                size = QPageSize(QSizeF(mode.PaperWidth / 10.0, mode.PaperLength / 10.0), QPageSize::Millimeter,
                                 QString(), QPageSize::ExactMatch);
        } else if (const QPageSize::PageSizeId id = QPageSize::id(mode.PaperSize); id != QPageSize::Custom) {
            size = QPageSize(id);
        }
    }
    if (size && size->isValid()) layout.setPageSize(*size, layout.minimumMargins());
    return layout;
}

// ---- the printer ---------------------------------------------------------

QtPreviewPrinter::QtPreviewPrinter(QPrinter& printer) : printer_(printer), wanted_(printer.pageLayout()) {}

QtPreviewPrinter::~QtPreviewPrinter() {
    if (painter_.isActive()) Abort();
}

bool QtPreviewPrinter::Installed() const {
    if (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty()) return true;
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

QList<QPageSize> QtPreviewPrinter::supportedPageSizes() const {
    return QPrinterInfo(printer_).supportedPageSizes();
}

DeviceMode QtPreviewPrinter::GetDeviceMode() const {
    return DeviceModeOf(printer_.pageLayout(), supportedPageSizes());
}

void QtPreviewPrinter::SetDeviceMode(const DeviceMode& mode) {
    wanted_ = LayoutWithDeviceMode(printer_.pageLayout(), mode, supportedPageSizes());
    ResetDC();
}

void QtPreviewPrinter::ResetDC() {
    // A queue's job keeps the layout it started with; a PDF takes a new
    // one from the next page on.
    if (painter_.isActive() && printer_.outputFormat() != QPrinter::PdfFormat) return;
    if (!printer_.pageLayout().isEquivalentTo(wanted_)) printer_.setPageLayout(wanted_);
}

QList<PrinterForm> QtPreviewPrinter::Forms() const {
    QList<PrinterForm> forms;
    for (const QPageSize& size : supportedPageSizes()) {
        const QSizeF mm = size.size(QPageSize::Millimeter);
        forms.append({size.name(), QSize(qRound(mm.width() * 1000), qRound(mm.height() * 1000))});
    }
    return forms;
}

int QtPreviewPrinter::DpiX() const {
    return printer_.resolution();
}

int QtPreviewPrinter::DpiY() const {
    return printer_.resolution();
}

QRect QtPreviewPrinter::PaperRect() const {
    return printer_.paperRect(QPrinter::DevicePixel).toRect();
}

QRect QtPreviewPrinter::PageRect() const {
    return printer_.pageRect(QPrinter::DevicePixel).toRect();
}

TPrinterOrientation QtPreviewPrinter::Orientation() const {
    return printer_.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
}

void QtPreviewPrinter::SetOrientation(TPrinterOrientation orientation) {
    wanted_ = printer_.pageLayout();
    wanted_.setOrientation(orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    ResetDC();
}

QString QtPreviewPrinter::Title() const {
    return printer_.docName();
}

void QtPreviewPrinter::SetTitle(const QString& title) {
    // Qt takes a document's name only before it starts.
    if (!painter_.isActive()) printer_.setDocName(title);
}

void QtPreviewPrinter::BeginDoc() {
    if (painter_.isActive()) throw EPrinterError(QStringLiteral("The printer is printing another document"));
    if (printer_.outputFormat() == QPrinter::PdfFormat && !printer_.outputFileName().isEmpty()) {
        const QString fileName = printer_.outputFileName();
        if (const int r = pdfTarget_.begin(fileName)) throw EPrinterError(fileErrorText(fileName, r, access::eoOpenWrite));
        // The new file has no name of its own yet; the PDF engine reaches
        // it through the descriptor's link.
        pdfFileName_ = fileName;
        printer_.setOutputFileName(QStringLiteral("/proc/self/fd/%1").arg(pdfTarget_.fd()));
    }
    if (!painter_.begin(&printer_)) {
        const QString target = pdfFileName_.isEmpty() ? printer_.printerName() : pdfFileName_;
        restoreOutputFile();
        pdfTarget_.abandon();
        throw EPrinterError(QStringLiteral("Printing on %1 could not be started").arg(target));
    }
}

void QtPreviewPrinter::NewPage() {
    if (!painter_.isActive() || !printer_.newPage())
        throw EPrinterError(QStringLiteral("The printer could not start a new page"));
}

void QtPreviewPrinter::EndDoc() {
    if (!painter_.isActive()) return;
    const bool ended = painter_.end();
    const QString fileName = pdfFileName_;
    restoreOutputFile();
    if (!ended) {
        pdfTarget_.abandon();
        throw EPrinterError(QStringLiteral("The document could not be completed on %1")
                                .arg(fileName.isEmpty() ? printer_.printerName() : fileName));
    }
    if (fileName.isEmpty()) return;
    if (const int r = pdfTarget_.commit()) throw EPrinterError(fileErrorText(fileName, r, access::eoCloseWrite));
}

void QtPreviewPrinter::Abort() {
    if (!painter_.isActive()) return;
    // Neither Qt engine can drop a started document: a PDF job's new file
    // is dropped here; a queue receives the pages drawn so far when the
    // painter ends.
    printer_.abort();
    painter_.end();
    if (!pdfFileName_.isEmpty()) {
        restoreOutputFile();
        pdfTarget_.abandon();
    }
}

bool QtPreviewPrinter::Printing() const {
    return painter_.isActive();
}

QPainter* QtPreviewPrinter::Canvas() {
    return painter_.isActive() ? &painter_ : nullptr;
}

void QtPreviewPrinter::restoreOutputFile() {
    if (pdfFileName_.isEmpty()) return;
    printer_.setOutputFileName(pdfFileName_);
    pdfFileName_.clear();
}

// ---- the program's printer -----------------------------------------------

namespace {

struct SystemPrinterHolder {
    std::unique_ptr<QPrinter> printer;
    std::unique_ptr<QtPreviewPrinter> preview;
};

SystemPrinterHolder& systemPrinterHolder() {
    static SystemPrinterHolder holder;
    return holder;
}

// Qt's printing must be gone before the application is.
void dropSystemPrinter() {
    SystemPrinterHolder& holder = systemPrinterHolder();
    holder.preview.reset();
    holder.printer.reset();
}

}  // namespace

QtPreviewPrinter& SystemPrinter() {
    SystemPrinterHolder& holder = systemPrinterHolder();
    if (!holder.preview) {
        holder.printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        holder.preview = std::make_unique<QtPreviewPrinter>(*holder.printer);
        qAddPostRoutine(dropSystemPrinter);
    }
    return *holder.preview;
}

}  // namespace tandex::print
