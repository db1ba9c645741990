#include "qt_services.h"

#include <QApplication>
#include <QMessageBox>
#include <QPalette>
#include <QThread>

#include "config/color_sets.h"
#include "ui/main/window_helpers.h"

namespace tandex::ui {

namespace {

struct ButtonMap {
    int button;
    int result;
    QMessageBox::StandardButton standard;
};

constexpr ButtonMap buttonMap[] = {
    {config::mbOK, config::mrOk, QMessageBox::Ok},
    {config::mbCancel, config::mrCancel, QMessageBox::Cancel},
    {config::mbYes, config::mrYes, QMessageBox::Yes},
    {config::mbNo, config::mrNo, QMessageBox::No},
    {config::mbAbort, config::mrAbort, QMessageBox::Abort},
    {config::mbRetry, config::mrRetry, QMessageBox::Retry},
    {config::mbIgnore, config::mrIgnore, QMessageBox::Ignore},
};

QMessageBox::Icon IconOf(config::MsgKind kind) {
    switch (kind) {
        case config::MsgKind::Warning:
            return QMessageBox::Warning;
        case config::MsgKind::Error:
            return QMessageBox::Critical;
        case config::MsgKind::Question:
            return QMessageBox::Question;
        case config::MsgKind::Information:
            break;
    }
    return QMessageBox::Information;
}

int ShowBox(const config::MessageRequest& request) {
    QWidget* owner = QApplication::activeWindow();
    if (!owner) owner = MainForm();
    // The program's texts break their lines with a carriage return, which a
    // label would show as nothing.
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(IconOf(request.kind), request.caption, text, QMessageBox::NoButton, owner);
    const int buttons = request.buttons != 0 ? request.buttons : int(config::mbOK);
    for (const ButtonMap& m : buttonMap) {
        if (!(buttons & m.button)) continue;
        box.addButton(m.standard);
        if (m.result == request.defaultResult) box.setDefaultButton(m.standard);
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const ButtonMap& m : buttonMap)
        if (m.standard == clicked) return m.result;
    // Closed without a button: as the Cancel button when there is one.
    return (buttons & config::mbCancel) ? int(config::mrCancel) : request.defaultResult;
}

}  // namespace

void QtEventPump::processEvents() {
    QCoreApplication::processEvents();
}

void QtEventPump::setBusyCursor(bool busy) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QGuiApplication::restoreOverrideCursor();
}

int QtMessageSink::showMessage(const config::MessageRequest& request) {
    auto* app = QCoreApplication::instance();
    if (!app) return request.defaultResult;
    if (QThread::currentThread() == app->thread()) return ShowBox(request);
    int result = request.defaultResult;
    QMetaObject::invokeMethod(
        app, [&] { result = ShowBox(request); }, Qt::BlockingQueuedConnection);
    return result;
}

quint32 PaletteSystemColor(int index) {
    const QPalette palette = QApplication::palette();
    QColor color;
    switch (index) {
        case config::scWindow:
            color = palette.color(QPalette::Base);
            break;
        case config::scScrollBar:
            color = palette.color(QPalette::Midlight);
            break;
        case config::scHighlight:
        case config::scActiveCaption:
            color = palette.color(QPalette::Highlight);
            break;
        case config::scGradientActiveCaption:
            color = palette.color(QPalette::Highlight).lighter(150);
            break;
        case config::scHighlightText:
            color = palette.color(QPalette::HighlightedText);
            break;
        case config::scBtnFace:
            color = palette.color(QPalette::Button);
            break;
        case config::scBtnShadow:
            color = palette.color(QPalette::Mid);
            break;
        case config::scInfoBk:
            color = palette.color(QPalette::ToolTipBase);
            break;
        default:
            color = palette.color(QPalette::WindowText);
            break;
    }
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

}  // namespace tandex::ui
