#pragma once
// What the player's fuzz target and the replay of its kept inputs check:
// any bytes either raise EEmfError when the player is made, or play into
// a small image; nothing else may happen.

#include <QImage>
#include <QPainter>

#include "ui/print/emf_player.h"

namespace emf_fuzz {

inline bool playsCleanly(const QByteArray& bytes) {
    try {
        const tandex::print::EmfPlayer player(bytes);
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        player.play(p, QRectF(0, 0, 64, 48));
        return true;
    } catch (const tandex::print::EEmfError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace emf_fuzz
