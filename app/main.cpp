#include <QApplication>

#include "main_window_shell.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandex"));
    auto window = tandex::app::createMainWindow();
    window->show();
    return QApplication::exec();
}
