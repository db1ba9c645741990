#include <QApplication>
#include <QStringList>
#include <csignal>

#include "access/access_slots.h"
#include "ui/folders/batch_params.h"
#include "ui/folders/console_out.h"
#include "ui/folders/folder_view_services.h"
#include "ui/main/main_window.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/print_seams.h"
#include "ui/print/help_wnd.h"
#include "ui/print/online_update_window.h"
#include "ui/print/print_window.h"
#include "ui/settings/command_window_services.h"
#include "window_services.h"

int main(int argc, char** argv) {
    // Past a file-size limit the kernel would end the program in the middle
    // of a write. Ignored, the write fails with its error code and is
    // reported and cleaned up like any other failed write, in window and
    // batch runs alike.
    std::signal(SIGXFSZ, SIG_IGN);
    // A reader that closes the console pipe early must not end the run: the
    // exit code still tells the result.
    std::signal(SIGPIPE, SIG_IGN);
    tandex::folders::ConsoleAttach();

    // The parameters are kept before the application object takes away the
    // ones it understands, and they decide whether a window is needed at all.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    tandex::folders::TBatchParams params;
    tandex::ui::setCommandLine(&params);
    const bool batch = tandex::ui::DecideBatchMode(arguments);
    // A batch run needs no display.
    if (batch) qputenv("QT_QPA_PLATFORM", "offscreen");

    int exitCode = 0;
    {
        QApplication app(argc, argv);
        tandex::app::WindowServices services(batch);
        tandex::ui::TF_Main window(services.StatusWin());
        // Once the settings name the temporary folder: what a killed earlier
        // run left there goes before this run spills anything of its own.
        tandex::access::FZRemoveStaleTempFiles();
        tandex::print::THelpWindowServices help(&window);
        tandex::ui::setHelp(&help);
        tandex::folders::TFolderViewServices folders(&window);
        tandex::ui::setFolderView(&folders);
        tandex::print::TUpdateServices update(&window);
        tandex::ui::setUpdater(&update);
        tandex::print::TReportServices report;
        tandex::ui::setReport(&report);
        tandex::settings::TCommandWindowServices commandWindows;
        tandex::ui::setCommandWindows(&commandWindows);
        if (!batch) window.show();
        exitCode = QApplication::exec();
        // A window that closed itself has saved the settings and closed the
        // help window; only a quit that bypassed it leaves that to here. A
        // batch run leaves the settings file as it was: its switches change
        // settings for this run only.
        if (!batch && !window.FormClosed()) {
            help.CloseHelp();
            window.SaveSettings();
        }
        tandex::ui::setHelp(nullptr);
        tandex::ui::setFolderView(nullptr);
        tandex::ui::setUpdater(nullptr);
        tandex::ui::setReport(nullptr);
        tandex::ui::setCommandWindows(nullptr);
        // Only the command-line comparison sets the exit code, in a window
        // run for when the window is closed.
        exitCode = params.ExitCode();
    }
    tandex::ui::setCommandLine(nullptr);
    return exitCode;
}
