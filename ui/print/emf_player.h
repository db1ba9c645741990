#pragma once
// The page player: reads one enhanced metafile and draws it through any
// QPainter (a widget, a QImage, a printer), the page's frame scaled into
// a target rectangle. Pages come from files of unknown origin, so the
// constructor walks every record once and raises EEmfError, naming the
// fault, before anything is drawn; nothing outside the page's bytes is
// ever read. Records the player does not know are skipped.

#include <QByteArray>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <stdexcept>

class QPainter;

namespace tandex::print {

class EEmfError : public std::runtime_error {
public:
    explicit EEmfError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class EmfPlayer {
public:
    explicit EmfPlayer(const QByteArray& page);

    // The picture's frame in 0.01 mm, as its header gives it: corners from
    // the file, whose width may not fit an int.
    QRect frame() const { return frame_; }
    // The creator text and the title of the header's description.
    QString creator() const { return creator_; }
    QString title() const { return title_; }
    // The frame's size in pixels of a device with the given resolution.
    QSize naturalSize(qreal dpiX, qreal dpiY) const;

    // Draws the page so that its frame fills target (in the painter's
    // coordinates). The painter's render hints decide smoothing; its state
    // is the same afterwards.
    void play(QPainter& painter, const QRectF& target) const;

private:
    friend class EmfPlayback;
    QByteArray page_;
    QRect frame_;
    QSizeF devicePerMm100_;  // reference pixels per 0.01 mm
    quint32 handles_ = 0;
    QString creator_;
    QString title_;
};

}  // namespace tandex::print
