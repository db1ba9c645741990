#pragma once
// The preview's printer on Qt's printing: a CUPS queue, or a PDF file
// when the printer's output is one. The device mode is the printer's page
// layout: a paper code is a QPageSize by its Windows number (256 a size
// of its own in millimetres), orientation 1 and 2 are portrait and
// landscape, the form name is the page size's name.

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include "access/local_files.h"
#include "ui/print/preview_printer.h"

namespace tandex::print {

// The printer's layout as a device mode; forms are the printer's papers,
// whose names count as form names where Qt knows no standard size.
DeviceMode DeviceModeOf(const QPageLayout& layout, const QList<QPageSize>& forms);
// layout with what the device mode sets: a form of the printer's by its
// name, else the paper code, and the orientation.
QPageLayout LayoutWithDeviceMode(QPageLayout layout, const DeviceMode& mode, const QList<QPageSize>& forms);

class QtPreviewPrinter : public PreviewPrinter {
public:
    // The printer stays the caller's and must outlive this.
    explicit QtPreviewPrinter(QPrinter& printer);
    // A job still running is aborted.
    ~QtPreviewPrinter() override;
    QtPreviewPrinter(const QtPreviewPrinter&) = delete;
    QtPreviewPrinter& operator=(const QtPreviewPrinter&) = delete;

    QPrinter& printer() { return printer_; }

    // A CUPS queue to print on, or a named PDF file as the output.
    bool Installed() const override;
    DeviceMode GetDeviceMode() const override;
    void SetDeviceMode(const DeviceMode& mode) override;
    void ResetDC() override;
    QList<PrinterForm> Forms() const override;
    int DpiX() const override;
    int DpiY() const override;
    QRect PaperRect() const override;
    QRect PageRect() const override;
    TPrinterOrientation Orientation() const override;
    void SetOrientation(TPrinterOrientation orientation) override;
    QString Title() const override;
    void SetTitle(const QString& title) override;
    // A PDF job writes a new file that replaces the named one only when
    // the document is complete: an aborted or failed job leaves the old
    // file, or none, and never half a document.
    void BeginDoc() override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    bool Printing() const override;
    QPainter* Canvas() override;

private:
    QList<QPageSize> supportedPageSizes() const;
    void restoreOutputFile();

    QPrinter& printer_;
    QPainter painter_;
    // The layout the device mode asked for, which a running job takes on
    // its next page where the printer allows.
    QPageLayout wanted_;
    access::TFZLocalWrite pdfTarget_;
    QString pdfFileName_;  // the user's file while the job writes the new one
};

// The program's printer, made on first use and kept until the application
// ends: the report window's print and page-setup dialogs work on it.
QtPreviewPrinter& SystemPrinter();

}  // namespace tandex::print
