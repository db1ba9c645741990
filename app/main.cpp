#include <QApplication>
#include <csignal>

#include "main_window_shell.h"
#include "program_settings.h"
#include "ui/main/window_helpers.h"
#include "window_services.h"

int main(int argc, char** argv) {
    // Past a file-size limit the kernel would end the program in the middle
    // of a write. Ignored, the write fails with its error code and is
    // reported and cleaned up like any other failed write, in window and
    // batch runs alike.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tandex"));
    tandex::app::ProgramSettings settings;
    tandex::app::WindowServices services;
    auto window = tandex::app::createMainWindow();
    tandex::ui::SetMainForm(window.get());
    window->show();
    const int exitCode = QApplication::exec();
    settings.Save();
    return exitCode;
}
