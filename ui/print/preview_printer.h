#pragma once
// The printer as the print preview sees it: the few calls a print job
// makes, the printer's settings as one device-mode record, its forms and
// the geometry of its page. The preview prints only through this; the
// program's printers are Qt's (qt_preview_printer.h), the tests use fakes
// that record what was asked of them.

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <stdexcept>

class QPainter;

namespace tandex::print {

enum TPrinterOrientation : int;

// A print job that could not be started or completed.
class EPrinterError : public std::runtime_error {
public:
    explicit EPrinterError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The printer's paper, orientation and form. Fields says which members
// hold a value the printer is to take or has reported.
struct DeviceMode {
    static constexpr quint32 kOrientation = 0x1;
    static constexpr quint32 kPaperSize = 0x2;
    static constexpr quint32 kPaperLength = 0x4;
    static constexpr quint32 kPaperWidth = 0x8;
    static constexpr quint32 kFormName = 0x10000;
    // The form name field holds 32 characters with its terminator.
    static constexpr int kFormNameLength = 31;

    quint32 Fields = 0;
    int Orientation = 1;  // 1 portrait, 2 landscape
    int PaperSize = 0;    // a paper-size code; 256 for a size of its own
    int PaperLength = 0;  // 0.1 mm, in portrait order
    int PaperWidth = 0;   // 0.1 mm
    QString FormName;

    bool operator==(const DeviceMode&) const = default;
};

// One paper the printer offers: its name and its size in 0.001 mm.
struct PrinterForm {
    QString Name;
    QSize Size;
};

class PreviewPrinter {
public:
    virtual ~PreviewPrinter() = default;

    // Whether there is a printer to print on at all.
    virtual bool Installed() const = 0;

    virtual DeviceMode GetDeviceMode() const = 0;
    // Takes the record's paper, orientation and form for the next job.
    virtual void SetDeviceMode(const DeviceMode& mode) = 0;
    // Brings the running job's page in line with the device mode.
    virtual void ResetDC() = 0;
    virtual QList<PrinterForm> Forms() const = 0;

    // Pixels per inch of the printer's pages.
    virtual int DpiX() const = 0;
    virtual int DpiY() const = 0;
    // The physical page in device pixels, at (0, 0), in the printer's
    // orientation.
    virtual QRect PaperRect() const = 0;
    // The printable area in device pixels on the physical page: its corner
    // is the physical offset, and the corner of the canvas.
    virtual QRect PageRect() const = 0;
    virtual TPrinterOrientation Orientation() const = 0;
    virtual void SetOrientation(TPrinterOrientation orientation) = 0;

    virtual QString Title() const = 0;
    virtual void SetTitle(const QString& title) = 0;

    // The job. BeginDoc raises EPrinterError when it cannot start, EndDoc
    // when the document could not be completed; Abort drops what the job
    // printed as far as the printer allows.
    virtual void BeginDoc() = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    virtual void Abort() = 0;
    virtual bool Printing() const = 0;
    // The painter of the running job's page; null while no job runs.
    virtual QPainter* Canvas() = 0;
};

}  // namespace tandex::print
