#pragma once
// A printer for the preview's tests: it draws on a bitmap, offers the
// forms and geometry a test gives it, and writes down every call a job
// makes, in order.

#include <QImage>
#include <QPainter>
#include <QStringList>

#include "emf_test_pages.h"
#include "ui/print/preview_document.h"
#include "ui/print/preview_printer.h"

namespace fake_printer {

using namespace tandex::print;

class FakePrinter : public PreviewPrinter {
public:
    bool installed = true;
    int dpi = 600;
    // A4 at 600 dpi with a printable area 1/6 in in from each edge.
    QRect paper{0, 0, 4961, 7016};
    QRect page{100, 100, 4761, 6816};
    DeviceMode mode;
    QList<PrinterForm> forms;
    TPrinterOrientation orientation = poPortrait;
    QString title;
    QStringList calls;
    QList<DeviceMode> sentModes;
    // Raised by BeginDoc, or by the NewPage that starts page newPageFailsAt.
    bool beginFails = false;
    int newPageFailsAt = 0;

    bool Installed() const override { return installed; }
    DeviceMode GetDeviceMode() const override { return mode; }
    void SetDeviceMode(const DeviceMode& m) override {
        mode = m;
        sentModes.append(m);
    }
    void ResetDC() override {}
    QList<PrinterForm> Forms() const override { return forms; }
    int DpiX() const override { return dpi; }
    int DpiY() const override { return dpi; }
    QRect PaperRect() const override { return paper; }
    QRect PageRect() const override { return page; }
    TPrinterOrientation Orientation() const override { return orientation; }
    void SetOrientation(TPrinterOrientation o) override { orientation = o; }
    QString Title() const override { return title; }
    void SetTitle(const QString& t) override { title = t; }

    void BeginDoc() override {
        calls << QStringLiteral("begin");
        if (beginFails) throw EPrinterError(QStringLiteral("no paper"));
        pages = 1;
        surface = QImage(64, 64, QImage::Format_ARGB32);
        painter.begin(&surface);
    }
    void NewPage() override {
        calls << QStringLiteral("new page");
        if (++pages == newPageFailsAt) throw EPrinterError(QStringLiteral("jammed"));
    }
    void EndDoc() override {
        calls << QStringLiteral("end");
        painter.end();
    }
    void Abort() override {
        calls << QStringLiteral("abort");
        painter.end();
    }
    bool Printing() const override { return painter.isActive(); }
    QPainter* Canvas() override { return painter.isActive() ? &painter : nullptr; }

private:
    int pages = 0;
    QImage surface;
    QPainter painter;
};

}  // namespace fake_printer
