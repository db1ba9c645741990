#pragma once
// Pages for the recorder, player and page-store tests: recorded through a
// QPainter as the preview records them, and played into images.

#include <gtest/gtest.h>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "ui/print/emf_player.h"
#include "ui/print/emf_recorder.h"

namespace emf_test {

using tandex::print::EmfPaintDevice;
using tandex::print::EmfPlayer;

// Fonts and pictures need the GUI application; the sanitizer build has no
// widgets, so the tests bring their own on the offscreen platform.
class GuiAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance()) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "print-pages-test";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QGuiApplication>(argc, argv);
    }
    void TearDown() override { app_.reset(); }

private:
    std::unique_ptr<QGuiApplication> app_;
};

inline const bool environmentAdded = (::testing::AddGlobalTestEnvironment(new GuiAppEnvironment), true);

// A4 in 0.01 mm on a 96-dpi reference, as the preview records it.
inline const QSize kA4Units(21000, 29700);
inline const QSize kA4Pixels(794, 1123);

// Records one page; with an empty window extent the painter draws in
// reference pixels.
inline QByteArray recordPage(const std::function<void(QPainter&)>& draw, QSize extent = kA4Pixels,
                             QSize windowExtent = kA4Units, int dpi = 96,
                             const QString& title = QStringLiteral("Test page")) {
    EmfPaintDevice device(extent, dpi, dpi, QStringLiteral("TPrintPreview - "), title);
    if (!windowExtent.isEmpty()) device.setMapping(windowExtent, extent);
    {
        QPainter p(&device);
        draw(p);
    }
    return device.metafileBits();
}

inline QFont testFont(const QString& family, qreal points) {
    QFont f(family);
    f.setPointSizeF(points);
    return f;
}

// The page the independent checks read: texts in two fonts and colours,
// 0.3 mm lines, filled rectangles, a picture and a clip. Units: 0.01 mm.
inline QByteArray samplePage() {
    return recordPage([](QPainter& p) {
        p.setFont(testFont(QStringLiteral("DejaVu Sans"), 12));
        p.setPen(Qt::black);
        p.drawText(QPointF(2000, 3000), QStringLiteral("Tandex sample page"));
        p.setFont(testFont(QStringLiteral("DejaVu Serif"), 10));
        p.setPen(QColor(0, 0, 200));
        p.drawText(QPointF(2000, 4000), QStringLiteral("Grüße ⇒"));
        p.setPen(QPen(Qt::black, 30));
        p.drawLine(QPointF(2000, 5000), QPointF(19000, 5000));
        p.drawLine(QPointF(2000, 5000), QPointF(2000, 15000));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 200, 0));
        p.drawRect(QRectF(3000, 6000, 5000, 3000));
        p.setBrush(QColor(0, 160, 0));
        p.drawRect(QRectF(9000, 6000, 5000, 3000));
        QImage picture(40, 20, QImage::Format_RGB32);
        picture.fill(QColor(200, 0, 0));
        for (int x = 0; x < 20; ++x)
            for (int y = 0; y < 20; ++y) picture.setPixel(x, y, qRgb(0, 0, 255));
        p.drawImage(QRectF(3000, 10000, 4000, 2000), picture);
        p.save();
        p.setClipRect(QRectF(9000, 10000, 3000, 2000));
        p.setBrush(QColor(128, 0, 128));
        p.drawEllipse(QRectF(8000, 9000, 6000, 6000));
        p.restore();
        p.setPen(Qt::darkGray);
        p.setFont(testFont(QStringLiteral("DejaVu Sans"), 8));
        p.drawText(QPointF(2000, 28000), QStringLiteral("Page 1"));
    });
}

inline QImage playToImage(const QByteArray& page, QSize size, int dpi, bool smooth = true) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, smooth);
    p.setRenderHint(QPainter::TextAntialiasing, smooth);
    EmfPlayer(page).play(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// With $TANDEX_GRAB_DIR set, played pages are kept there as PNG files so
// that a developer can look at them.
inline void keepForLooking(const QImage& image, const QString& name) {
    const QString dir = qEnvironmentVariable("TANDEX_GRAB_DIR");
    if (!dir.isEmpty()) image.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

inline QString tempFileWith(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return {};
    return path;
}

// Converts a page with emf2svg-conv; the SVG text, or empty with the
// reason in error.
inline QByteArray emfToSvg(const QByteArray& page, QString* error) {
    QTemporaryDir dir;
    const QString in = tempFileWith(dir, QStringLiteral("page.emf"), page);
    const QString out = dir.filePath(QStringLiteral("page.svg"));
    QProcess conv;
    conv.start(QStringLiteral("emf2svg-conv"), {QStringLiteral("-i"), in, QStringLiteral("-o"), out});
    if (!conv.waitForFinished(60000) || conv.exitStatus() != QProcess::NormalExit || conv.exitCode() != 0) {
        *error = QStringLiteral("emf2svg-conv failed: ") + conv.errorString() +
                 QString::fromUtf8(conv.readAllStandardError());
        return {};
    }
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no SVG written");
        return {};
    }
    return f.readAll();
}

}  // namespace emf_test
