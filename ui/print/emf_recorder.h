#pragma once
// The page recorder: a paint device whose engine writes every QPainter
// call as enhanced-metafile records, so that any drawing routine that
// paints through a QPainter records a page. A page is one complete EMF in
// a QByteArray, header first and end record last; that is the form the
// page store, the page file and the clipboard keep.
//
// The page is sized in pixels of a reference device. An anisotropic
// mapping (setMapping) lets the painter draw in any length unit: the
// device then reports the window extent as its size and a resolution in
// logical units per inch, so fonts given in points come out right in
// those units.

#include <QByteArray>
#include <QPaintDevice>
#include <QPoint>
#include <QSize>
#include <QString>
#include <memory>

namespace tandex::print {

class EmfPaintEngine;

class EmfPaintDevice : public QPaintDevice {
public:
    // extent: the page in reference pixels; dpiX, dpiY: the reference
    // device's pixels per inch. The description is stored in the header as
    // the creator text and the title.
    EmfPaintDevice(QSize extent, int dpiX, int dpiY, const QString& creator = {},
                   const QString& title = {});
    ~EmfPaintDevice() override;
    EmfPaintDevice(const EmfPaintDevice&) = delete;
    EmfPaintDevice& operator=(const EmfPaintDevice&) = delete;

    // Logical units from here on: windowExtent logical units span
    // viewportExtent reference pixels, the logical origin sits at
    // viewportOrigin. May be called while a painter is active; the
    // painter's font must then be set again to take the new resolution.
    void setMapping(QSize windowExtent, QSize viewportExtent, QPoint viewportOrigin = {});

    QSize extent() const;
    int referenceDpiX() const;
    int referenceDpiY() const;

    // The complete page; empty while a painter is active on the device.
    QByteArray metafileBits() const;

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    std::unique_ptr<EmfPaintEngine> engine_;
};

}  // namespace tandex::print
