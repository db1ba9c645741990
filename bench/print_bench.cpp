// Timing of a printed comparison: the window compares two text files with
// the default settings, renders the report of both panes in the report
// window and prints it to a PDF file, offscreen.
//
//   print-bench LEFT RIGHT OUT.pdf
//
// prints one line "pages=N render_ms=T print_ms=T peak_kb=N": the pages of
// the report, the rendering of all its pages, the printing of them to
// OUT.pdf, and the process's peak resident memory. The size of the page
// store's temporary file goes to stderr as "temp_file_kb=N". Exits 0 on
// success, else non-zero with the reason on stderr.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

#include "config/services.h"
#include "engine/pane_stores.h"
#include "ui/main/main_window.h"
#include "ui/main/print_seams.h"
#include "ui/print/print_window.h"
#include "ui/print/qt_preview_printer.h"

using namespace tandex;

namespace {

// No box can be answered here: a message ends the run as a failure.
class FailOnMessage : public config::MessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        failure = request.text;
        return config::mrOk;
    }
    QString failure;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: print-bench LEFT RIGHT OUT.pdf\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    FailOnMessage messages;
    config::setMessageSink(&messages);
    const QString left = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString right = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    const QString out = QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath();

    QPrinter& printer = print::SystemPrinter().printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(out);

    int exitCode = 0;
    {
        print::TReportServices report;
        ui::setReport(&report);
        ui::TF_Main window;
        window.resize(1200, 800);
        window.show();
        window.firePendingJobs();
        QApplication::processEvents();
        window.loadAndCompare(3, left, right);
        const auto& stores = engine::paneStores();
        for (int pane = 1; pane <= 2; ++pane) {
            if (stores.FileErrors[size_t(pane)] != 0) {
                std::fprintf(stderr, "print-bench: %s: %s\n", argv[pane],
                             qPrintable(window.openErrorText(pane, stores.FileErrors[size_t(pane)])));
                ui::setReport(nullptr);
                return 1;
            }
        }

        QElapsedTimer clock;
        qint64 renderNs = -1, printNs = -1, tempBytes = -1;
        int pages = 0;
        // The window renders its pages, then runs modally: from there the
        // pages are printed and the window is closed.
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            print::TF_Print* w = report.Window();
            if (!w || QApplication::activeModalWidget() != w) return;
            poll.stop();
            renderNs = clock.nsecsElapsed();
            auto& doc = w->PrintPreview().Document();
            pages = doc.TotalPages();
            tempBytes = doc.Store().TempFileSize();
            QElapsedTimer printing;
            printing.start();
            doc.PrintAll();
            printNs = printing.nsecsElapsed();
            w->close();
        });
        poll.start();
        clock.start();
        window.mPrintClick(window.findChild<QAction*>(QStringLiteral("PrintBoth1")));
        ui::setReport(nullptr);
        if (!messages.failure.isEmpty()) {
            std::fprintf(stderr, "print-bench: %s\n", qPrintable(messages.failure));
            exitCode = 1;
        } else if (renderNs < 0 || pages == 0 || !QFileInfo(out).isFile() || QFileInfo(out).size() == 0) {
            std::fprintf(stderr, "print-bench: the report was not printed to %s\n", qPrintable(out));
            exitCode = 1;
        } else {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("pages=%d render_ms=%lld print_ms=%lld peak_kb=%ld\n", pages, renderNs / 1000000,
                        printNs / 1000000, usage.ru_maxrss);
            std::fprintf(stderr, "temp_file_kb=%lld\n", tempBytes < 0 ? 0LL : tempBytes / 1024);
        }
    }
    config::setMessageSink(nullptr);
    return exitCode;
}
