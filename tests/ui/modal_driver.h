#pragma once
// Drives a modal dialog from inside its own event loop: a queued timer
// waits for the dialog to become the active modal widget, then runs the
// test's action on it (grab it, type, press a button). A dialog that never
// appears, or that the action leaves open, is rejected after a few seconds
// so that a broken test fails instead of hanging.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/main/flat_button.h"

namespace tandex::testing {

inline void OnNextModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    auto done = std::make_shared<bool>(false);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, done, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!*done && modal) {
            *done = true;
            action(modal);
            return;
        }
        const bool late = clock->elapsed() > 5000;
        if (late) {
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
        }
        if (late || (*done && !modal)) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

// Presses the flat button with the mouse, the way a user ends the dialog.
inline void PressFlatButton(QWidget* form, const char* name) {
    auto* button = form->findChild<ui::TFlatButton2*>(QLatin1String(name));
    if (!button) return;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() / 2, button->height() / 2));
}

}  // namespace tandex::testing
