#include "main_window_shell.h"

namespace tandex::app {

std::unique_ptr<QMainWindow> createMainWindow() {
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Tandex"));
    window->resize(1000, 700);
    return window;
}

}  // namespace tandex::app
