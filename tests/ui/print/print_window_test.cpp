// The report print window offscreen, with test callbacks that draw
// numbered lines: its pages and their frame, the page limit, the abort
// question, the texts of its panels and buttons, page file round trips,
// page setup, printing to PDF files read back with poppler's tools, and
// what closing it keeps.

#include "ui/print/print_window.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <climits>

#include "config/app_settings.h"
#include "config/services.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/print/pdf_tools.h"
#include "tests/ui/widget_harness.h"
#include "ui/print/qt_preview_printer.h"
#include "ui/print/thumbnail_preview.h"

using namespace tandex;
using namespace tandex::print;
using tandex::testing::OnNextModal;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

using tandex::testing::pageText;
using tandex::testing::pdfPages;
using tandex::testing::pdfSize;

QString run(const QString& program, const QStringList& args) { return tandex::testing::runTool(program, args); }

// Draws lines "Line n" from position on, perPage to a page.
ui::TRenderPageEvent Lines(int perPage, int* calls = nullptr) {
    return [perPage, calls](QPainter& canvas, const ui::TPrintArea& area, int position, int, quint8) {
        if (calls) ++*calls;
        for (int i = 0; i < perPage; ++i)
            canvas.drawText(area.Left, area.Top + (i + 1) * 6 * area.MmY, QStringLiteral("Line %1").arg(position + i));
        return position + perPage;
    };
}

// Answers every question with one answer and keeps what was asked.
class AnsweringSink : public config::MessageSink {
public:
    explicit AnsweringSink(int answer) : answer_(answer) { config::setMessageSink(this); }
    ~AnsweringSink() override { config::setMessageSink(nullptr); }
    int showMessage(const config::MessageRequest& request) override {
        asked.push_back(request);
        return answer_;
    }
    std::vector<config::MessageRequest> asked;

private:
    int answer_;
};

class PrintWindowTest : public tandex::testing::WidgetTest {
protected:
    PrintWindowTest() {
        config::AppSettings() = config::TAppSettings();
        config::CurrentVersion() = QStringLiteral("4.5.6");
        QPrinter& printer = SystemPrinter().printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageOrientation(QPageLayout::Portrait);
        ui::PrintLandscape = 0;
    }

    // Renders a report; while the window runs modally, inside runs and the
    // window is closed.
    void Render(TF_Print& w, int end, const std::function<void()>& inside = {}) {
        bool ran = false;
        OnNextModal([&w, &ran, inside](QWidget* modal) {
            EXPECT_EQ(modal, &w);
            ran = true;
            if (inside) inside();
            w.close();
        });
        w.RenderReport(QStringLiteral("left.txt"), QStringLiteral("right.txt"), end, 2, 0);
        EXPECT_TRUE(ran);
    }

    // Accepts the next print or page-setup dialog, first changing its
    // printer's orientation when asked.
    static void AcceptPrinterDialog(std::optional<QPageLayout::Orientation> orientation = std::nullopt) {
        OnNextModal([orientation](QWidget* modal) {
            auto* dialog = qobject_cast<QPrintDialog*>(modal);
            ASSERT_TRUE(dialog) << modal->metaObject()->className();
            if (orientation) dialog->printer()->setPageOrientation(*orientation);
            dialog->done(QDialog::Accepted);
        });
    }

    static void AnswerFileDialog(const QString& file) {
        OnNextModal([file](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_TRUE(dialog);
            dialog->selectFile(file);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    }

    QTemporaryDir dir;
    QString pdf = dir.filePath(QStringLiteral("report.pdf"));
};

TEST_F(PrintWindowTest, OneCallOrNoCallbackGivesOnePage) {
    struct Case {
        const char* name;
        ui::TRenderPageEvent callback;
        QString body;
    };
    const std::vector<Case> cases = {
        {"ends at once", [](QPainter& c, const ui::TPrintArea& a, int, int, quint8) {
             c.drawText(a.Left, a.Top + 50, QStringLiteral("Only body"));
             return 7;
         }, QStringLiteral("Only body")},
        {"no callback", nullptr, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TF_Print w;
        Watch(&w);
        w.OnRenderPage = c.callback;
        w.SetupPage(false);
        Render(w, 7, [&] {
            EXPECT_EQ(w.PrintPreview().Document().TotalPages(), 1);
            w.PrintPreview().Document().PrintAll();
        });
        EXPECT_EQ(pdfPages(pdf), 1);
        const QString text = pageText(pdf, 1);
        for (const char* part : {"Tandex Version 4.5.6 ", "Page 1", "left.txt", "right.txt"})
            EXPECT_TRUE(text.contains(QLatin1String(part))) << part << " in " << text.toStdString();
        if (!c.body.isEmpty()) EXPECT_TRUE(text.contains(c.body));
        else EXPECT_FALSE(text.contains(QStringLiteral("Line")));
    }
}

TEST_F(PrintWindowTest, ThreePagesPrintWithTheirFrameAndFooterAndTexts) {
    TF_Print w;
    Watch(&w);
    w.OnRenderPage = Lines(10);
    w.FooterText = QStringLiteral("Footer of the report");
    w.SetupPage(false);
    QStringList states;
    PreviewDocument& doc = w.PrintPreview().Document();
    const auto stateChange = doc.OnStateChange;
    doc.OnStateChange = [&] {
        stateChange();
        states << w.StatusPanel(4)->text();
    };
    QStringList progress;
    doc.OnPrintAnnotation = [&](int, QPainter&) { progress << w.StatusPanel(4)->text(); };
    Render(w, 30, [&] {
        EXPECT_EQ(doc.TotalPages(), 3);
        EXPECT_EQ(w.StatusPanel(0)->text(), QStringLiteral("Page 1 of 3"));
        EXPECT_EQ(w.StatusPanel(2)->text(), doc.FormName());
        EXPECT_EQ(w.StatusPanel(3)->text(), QStringLiteral("Portrait"));
        EXPECT_EQ(w.StatusPanel(4)->text(), QStringLiteral("Zoom: Ctrl+MouseWheel | Scroll: Shift+MouseWheel"));
        w.PrintPreview().SetZoom(100);
        EXPECT_EQ(w.StatusPanel(1)->text(), QStringLiteral("%100"));
        w.resize(1000, 760);
        tandex::testing::GrabToPng(&w, QStringLiteral("print_window_three_pages"));
        AcceptPrinterDialog();
        w.btnPrintClick();
        const QString saved = dir.filePath(QStringLiteral("r.ppv"));
        AnswerFileDialog(saved);
        w.btnSaveClick();
        AnswerFileDialog(saved);
        w.btnOpenClick();
    });
    const QString hint = QStringLiteral("Zoom: Ctrl+MouseWheel | Scroll: Shift+MouseWheel");
    EXPECT_EQ(states, (QStringList{"Creating pages...", hint, "Printing pages...", hint, "Saving pages to file...",
                                   hint, "Loading pages from file...", hint}));
    EXPECT_TRUE(progress.contains(QStringLiteral("Printing page: 2 of 3"))) << progress.join('|').toStdString();
    ASSERT_EQ(pdfPages(pdf), 3);
    const QString first = pageText(pdf, 1), last = pageText(pdf, 3);
    for (const char* part : {"Tandex Version 4.5.6 ", "Page 1", "left.txt", "right.txt", "Line 0", "Line 9"})
        EXPECT_TRUE(first.contains(QLatin1String(part))) << part;
    EXPECT_FALSE(first.contains(QStringLiteral("Line 10")));
    EXPECT_TRUE(pageText(pdf, 2).contains(QStringLiteral("Page 2")));
    EXPECT_TRUE(last.contains(QStringLiteral("Page 3")) && last.contains(QStringLiteral("Line 29")));
    for (int page : {1, 2}) EXPECT_FALSE(pageText(pdf, page).contains(QStringLiteral("Footer")));
    EXPECT_TRUE(last.contains(QStringLiteral("Line 29 Footer of the report"))) << last.toStdString();
}

TEST_F(PrintWindowTest, PageFileRoundTripKeepsTheReport) {
    const QString first = dir.filePath(QStringLiteral("first.ppv")), second = dir.filePath(QStringLiteral("second"));
    QStringList printed;
    {
        TF_Print w;
        w.OnRenderPage = Lines(10);
        w.SetupPage(false);
        Render(w, 30, [&] {
            w.PrintPreview().Document().PrintAll();
            AnswerFileDialog(first);
            w.btnSaveClick();
        });
        for (int page = 1; page <= 3; ++page) printed << pageText(pdf, page);
    }
    QFile::remove(pdf);
    TF_Print w;
    Watch(&w);
    w.SetupPage(false);
    Render(w, 1, [&] {
        AnswerFileDialog(first);
        w.btnOpenClick();
        EXPECT_EQ(w.PrintPreview().Document().TotalPages(), 3);
        EXPECT_EQ(w.StatusPanel(0)->text(), QStringLiteral("Page 1 of 3"));
        w.PrintPreview().Document().PrintAll();
        // The dialog adds the suffix to a name without one.
        AnswerFileDialog(second);
        w.btnSaveClick();
    });
    for (int page = 1; page <= 3; ++page) EXPECT_EQ(pageText(pdf, page), printed[page - 1]);
    EXPECT_EQ(run(QStringLiteral("cmp"), {first, second + QStringLiteral(".ppv")}), QString());
}

TEST_F(PrintWindowTest, LoadingAFileThatIsNoPageFileSaysSoAndKeepsThePages) {
    const QString bad = dir.filePath(QStringLiteral("bad.ppv"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not pages at all");
    file.close();
    AnsweringSink sink(config::mrOk);
    TF_Print w;
    w.OnRenderPage = Lines(10);
    w.SetupPage(false);
    Render(w, 20, [&] {
        AnswerFileDialog(bad);
        w.btnOpenClick();
    });
    ASSERT_EQ(sink.asked.size(), 1u);
    EXPECT_EQ(sink.asked[0].text, QStringLiteral("The content cannot be loaded"));
    EXPECT_EQ(sink.asked[0].kind, config::MsgKind::Error);
}

TEST_F(PrintWindowTest, EndlessCallbacksStopAtThePageLimit) {
    for (bool honours : {true, false}) {
        SCOPED_TRACE(honours ? "honours Aborted" : "ignores Aborted");
        TF_Print w;
        w.OnRenderPage = [&w, honours](QPainter&, const ui::TPrintArea&, int position, int, quint8) {
            return honours && w.Aborted ? INT_MAX : position + 1;
        };
        w.SetupPage(false);
        Render(w, INT_MAX, [&] { EXPECT_EQ(w.PrintPreview().Document().TotalPages(), 10002); });
    }
}

TEST_F(PrintWindowTest, AbortQuestionSetsBothStopFlagsOnYes) {
    for (int answer : {config::mrYes, config::mrNo}) {
        AnsweringSink sink(answer);
        TF_Print w;
        int pagesAtAbort = 0;
        w.OnRenderPage = [&](QPainter&, const ui::TPrintArea&, int position, int, quint8) {
            if (position == 3) {
                w.fbAbortClick();
                pagesAtAbort = w.PrintPreview().Document().TotalPages();
            }
            return w.Aborted ? INT_MAX : position + 1;
        };
        w.SetupPage(false);
        Render(w, 10, [&] {
            EXPECT_EQ(w.PrintPreview().Document().TotalPages(), answer == config::mrYes ? 4 : 10);
            EXPECT_EQ(w.PrintPreview().Document().AbortPrinting, answer == config::mrYes);
        });
        ASSERT_EQ(sink.asked.size(), 1u);
        EXPECT_EQ(sink.asked[0].caption, QStringLiteral(" Tandex Print "));
        EXPECT_EQ(sink.asked[0].text, QStringLiteral(" Abort preview rendering? "));
        EXPECT_EQ(sink.asked[0].kind, config::MsgKind::Question);
        EXPECT_EQ(pagesAtAbort, 3);
    }
}

TEST_F(PrintWindowTest, ZoomButtonCyclesAndAnnouncesItsNextStep) {
    TF_Print w;
    w.SetupPage(false);
    Render(w, 1, [&] {
        TPrintPreview& p = w.PrintPreview();
        p.SetZoom(100);
        EXPECT_EQ(p.ZoomState(), zsZoomOther);
        const std::vector<std::pair<TZoomState, QString>> cycle = {
            {zsZoomToWidth, "Zoom to page height"},
            {zsZoomToHeight, "Zoom to whole page"},
            {zsZoomToFit, "Zoom to actual size"},
            {zsZoomOther, "Zoom to page width"},
        };
        EXPECT_EQ(w.ZoomButton()->toolTip(), QStringLiteral("Zoom to page width"));
        for (const auto& [state, hint] : cycle) {
            w.btnZoomClick();
            EXPECT_EQ(p.ZoomState(), state);
            EXPECT_EQ(w.ZoomButton()->toolTip(), hint);
        }
        EXPECT_EQ(p.Zoom(), 100);
        EXPECT_EQ(w.StatusPanel(1)->text(), QStringLiteral("%100"));
        p.SetZoom(50);
        EXPECT_EQ(w.ZoomButton()->toolTip(), QStringLiteral("Zoom to actual size"));
        for (QAction* item : w.ZoomButton()->menu()->actions()) EXPECT_FALSE(item->isChecked());
        w.btnZoomClick();
        EXPECT_EQ(p.Zoom(), 100);
    });
}

TEST_F(PrintWindowTest, MarginsBelowTheMinimumAreRaisedOnlyByPageSetup) {
    config::AppSettings().PRLeft = config::AppSettings().PRTop = 5;
    config::AppSettings().PRRight = config::AppSettings().PRBottom = 5;
    TF_Print w;
    w.SetupPage(false);
    Render(w, 1, [&] {
        EXPECT_EQ(w.TextRect(), QRect(50, 50, 2100 - 100, 2970 - 100));
        OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        w.btnPageSetupClick();
        const TPageSetupRecord& r = w.PageSetup;
        EXPECT_EQ(QList<int>({r.MarginLeft, r.MarginTop, r.MarginRight, r.MarginBottom}),
                  QList<int>({500, 1200, 500, 500}));
        EXPECT_EQ(w.TextRect().top(), 50) << "a cancelled dialog renders nothing again";
        OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->done(QDialog::Accepted); });
        w.btnPageSetupClick();
        EXPECT_EQ(w.TextRect(), QRect(50, 120, 2100 - 100, 2970 - 170));
    });
}

TEST_F(PrintWindowTest, ThumbnailPaneSizes) {
    config::AppSettings().PRTPZoom = 1;
    TF_Print w;
    w.SetupPage(false);
    Render(w, 1, [&] {
        w.ReduceThumbnailSizeMenuItemClick();
        EXPECT_EQ(w.ThumbnailPreview().Zoom(), 1);
        w.SizeThumbnailPane(10);
        const int bar = w.ThumbnailPreview().VerticalScrollBarShown()
                            ? w.style()->pixelMetric(QStyle::PM_ScrollBarExtent)
                            : 0;
        // 79 pixels of paper at a tenth, and room for the list's own margin.
        EXPECT_EQ(w.ThumbnailPreview().Widget()->width(), 79 + qMax(15, w.ThumbnailPreview().ItemMargin()) + bar);
        EXPECT_GE(w.ThumbnailPreview().ItemMargin(), 15);
        w.EnlargeThumbnailSizeMenuItemClick();
        EXPECT_EQ(w.ThumbnailPreview().Zoom(), 2);
    });
}

TEST_F(PrintWindowTest, ChangedOrientationInThePrinterDialogRendersAgainBeforePrinting) {
    for (bool change : {false, true}) {
        SCOPED_TRACE(change ? "changed" : "unchanged");
        TF_Print w;
        int calls = 0;
        w.OnRenderPage = Lines(10, &calls);
        w.SetupPage(false);
        Render(w, 20, [&] {
            EXPECT_EQ(calls, 2);
            if (change) AcceptPrinterDialog(QPageLayout::Landscape);
            else AcceptPrinterDialog();
            w.btnPrintClick();
            EXPECT_EQ(calls, change ? 4 : 2);
            EXPECT_EQ(w.StatusPanel(3)->text(), change ? QStringLiteral("Landscape") : QStringLiteral("Portrait"));
        });
        EXPECT_EQ(pdfPages(pdf), 2);
        EXPECT_EQ(pdfSize(pdf), change ? QStringLiteral("842 x 595 pts (A4)") : QStringLiteral("595 x 842 pts (A4)"));
        EXPECT_EQ(ui::PrintLandscape, change ? 1 : 0);
    }
}

TEST_F(PrintWindowTest, CloseIsRefusedWhilePagesAreMadeAndOtherwiseKeepsTheWindowsState) {
    TF_Print w;
    bool closedDuringRender = true;
    bool menusDuringRender = false;
    w.OnRenderPage = [&](QPainter&, const ui::TPrintArea&, int position, int, quint8) {
        if (position == 1) {
            closedDuringRender = w.close();
            for (QAction* item : w.ThumbnailPreview().Widget()->actions()) menusDuringRender |= item->isEnabled();
        }
        return position + 1;
    };
    w.SetupPage(true);
    Render(w, 3, [&] {
        EXPECT_EQ(w.PrintPreview().Document().TotalPages(), 3);
        w.move(40, 30);
        w.resize(820, 640);
        w.ReduceThumbnailSizeMenuItemClick();
        w.PrintPreview().SetZoomState(zsZoomToWidth);
    });
    EXPECT_FALSE(closedDuringRender);
    EXPECT_FALSE(menusDuringRender);
    const config::TAppSettings& s = config::AppSettings();
    EXPECT_EQ(QList<int>({s.APL, s.APT, s.APW, s.APH}), QList<int>({40, 30, 820, 640}));
    EXPECT_EQ(s.PRTPZoom, 9);
    EXPECT_EQ(s.PRPPZoomState, int(zsZoomToWidth));
    EXPECT_EQ(ui::PrintLandscape, 1);
    EXPECT_EQ(w.PrintPreview().Document().TotalPages(), 0);
}

TEST_F(PrintWindowTest, CopyPutsThePageAsEmfAndPicture) {
    TF_Print w;
    w.OnRenderPage = Lines(5);
    w.SetupPage(false);
    Render(w, 10, [&] {
        w.PrintPreview().Document().SetCurrentPage(2);
        w.CopyCurrentClick();
        const QMimeData* data = QApplication::clipboard()->mimeData();
        ASSERT_TRUE(data);
        EXPECT_EQ(data->data(QStringLiteral("image/x-emf")), w.PrintPreview().Document().Pages(2));
        const QImage image = qvariant_cast<QImage>(data->imageData());
        EXPECT_EQ(image.size(), w.PrintPreview().Document().PageScreenSize());
        // The header band holds the version line and the rule.
        int inked = 0;
        for (int y = 0; y < image.height() / 10; ++y)
            for (int x = 0; x < image.width(); ++x) inked += image.pixel(x, y) != qRgb(255, 255, 255);
        EXPECT_GT(inked, 100);
    });
}

TEST_F(PrintWindowTest, PrintsOnePageAndDeletesPages) {
    TF_Print w;
    w.OnRenderPage = Lines(5);
    w.SetupPage(false);
    Render(w, 15, [&] {
        PreviewDocument& doc = w.PrintPreview().Document();
        doc.SetCurrentPage(2);
        w.Printthispage1Click();
        EXPECT_EQ(pdfPages(pdf), 1);
        EXPECT_TRUE(pageText(pdf, 1).contains(QStringLiteral("Page 2")));
        w.DeleteCurrentClick();
        EXPECT_EQ(doc.TotalPages(), 2);
        EXPECT_EQ(w.StatusPanel(0)->text(), QStringLiteral("Page 2 of 2"));
        w.DeleteAllMenuItemClick();
        EXPECT_EQ(doc.TotalPages(), 0);
        EXPECT_FALSE(w.findChild<QAction*>(QStringLiteral("btnPrint"))->isEnabled());
        EXPECT_FALSE(w.findChild<QAction*>(QStringLiteral("btnSave"))->isEnabled());
    });
}

TEST_F(PrintWindowTest, ThumbnailMenuOverAPageActsOnTheSelectedPages) {
    TF_Print w;
    Watch(&w);
    w.OnRenderPage = Lines(5);
    w.SetupPage(false);
    Render(w, 15, [&] {
        auto* list = dynamic_cast<TThumbnailPreview*>(w.ThumbnailPreview().Widget());
        ASSERT_TRUE(list);
        ASSERT_EQ(list->model()->rowCount(), 3);
        QStringList shown;
        QTimer::singleShot(0, [&shown] {
            QWidget* popup = QApplication::activePopupWidget();
            if (!popup) return;
            for (QAction* item : popup->actions()) shown << item->text();
            popup->close();
        });
        const QPoint at = list->ThumbnailRectOf(1).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &click);
        EXPECT_EQ(shown, (QStringList{"Reduce Thumbnail Size", "Enlarge Thumbnail Size", "Print selected page(s)",
                                      "Delete the selected page(s)", "Delete all pages"}));

        QItemSelectionModel* selection = list->selectionModel();
        selection->select(list->model()->index(2, 0), QItemSelectionModel::ClearAndSelect);
        selection->select(list->model()->index(0, 0), QItemSelectionModel::Select);
        EXPECT_EQ(w.ThumbnailPreview().SelectedPages(), (QList<int>{1, 3}));
        w.Printselectedpages1Click();
        ASSERT_EQ(pdfPages(pdf), 2);
        EXPECT_TRUE(pageText(pdf, 1).contains(QStringLiteral("Page 1")));
        EXPECT_TRUE(pageText(pdf, 2).contains(QStringLiteral("Page 3")));
        w.DeleteCurrentClick();
        EXPECT_EQ(w.PrintPreview().Document().TotalPages(), 1);
        w.PrintPreview().Document().PrintAll();
        EXPECT_TRUE(pageText(pdf, 1).contains(QStringLiteral("Page 2")));
    });
}

TEST_F(PrintWindowTest, GrayscaleShowsItsPanelAndPassesTheTrackBars) {
    TF_Print w;
    w.SetupPage(false);
    Render(w, 1, [&] {
        TPrintPreview& p = w.PrintPreview();
        w.btnGrayscaleClick();
        EXPECT_TRUE(w.GrayPanel()->isVisible());
        EXPECT_EQ(p.Grayscale(), gsPreview | gsPrint);
        EXPECT_EQ(w.Brightness()->minimum(), -100);
        EXPECT_EQ(w.Contrast()->maximum(), 100);
        w.Brightness()->setValue(30);
        w.Contrast()->setValue(-40);
        EXPECT_EQ(p.GrayBrightness(), 30);
        EXPECT_EQ(p.GrayContrast(), -40);
        w.btnGrayResetClick();
        EXPECT_EQ(p.GrayBrightness(), 0);
        EXPECT_EQ(p.GrayContrast(), 0);
        w.btnGrayscaleClick();
        EXPECT_FALSE(w.GrayPanel()->isVisible());
        EXPECT_EQ(p.Grayscale(), 0);
    });
}

}  // namespace
