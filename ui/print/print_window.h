#pragma once
// The report print window: a comparison laid out as pages by the main
// window's page callback, framed here with the version line, the page
// number, a rule and the titles; the user looks at the pages, saves and
// loads them, sets up page and printer, prints, zooms and grays them.
//
// print_window.cpp holds the window and its commands,
// print_window_report.cpp the rendering of a report.

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

#include "ui/main/print_seams.h"
#include "ui/print/page_setup.h"
#include "ui/print/print_preview.h"

class QAction;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;
class QWidget;

namespace tandex::print {

// The page list on the window's left, as the window uses it.
class ReportThumbnailPane {
public:
    virtual ~ReportThumbnailPane() = default;
    virtual QWidget* Widget() = 0;
    virtual int Zoom() const = 0;
    virtual void SetZoom(int value) = 0;
    virtual bool VerticalScrollBarShown() const = 0;
    // Pixels the list lays beside each page picture in a row: frame,
    // shadow, spacing and the list's own frame.
    virtual int ItemMargin() const = 0;
    // Ascending page numbers.
    virtual QList<int> SelectedPages() const = 0;
    virtual void ClearSelection() = 0;
    virtual void SetColor(const QColor& color) = 0;
};

// The one place that makes the page list for a window's preview.
std::unique_ptr<ReportThumbnailPane> MakeReportThumbnailPane(TPrintPreview& preview, QWidget* parent);

class TF_Print : public QDialog {
public:
    explicit TF_Print(QWidget* parent = nullptr);
    ~TF_Print() override;

    TPrintPreview& PrintPreview() { return *preview_; }
    ReportThumbnailPane& ThumbnailPreview() { return *thumbnails_; }

    ui::TRenderPageEvent OnRenderPage;
    // Runs once the pages of a rendering are closed, however it ended: the
    // owner of the page callback puts back what it changed for the report.
    std::function<void()> OnReportEnd;
    QString LeftTitle, RightTitle;
    quint8 SelectionOnly = 0;
    int PrintMode = 0;
    int EndPosition = 0;
    // Read by the page callback: set, it ends the report after its page.
    bool Aborted = false;
    QString AbortQuestion;
    QString HeaderText;
    QString FooterText;
    // The page-setup dialog's values, in 0.01 mm.
    TPageSetupRecord PageSetup;

    void SetupPage(bool landscape);
    // Renders the report and, unless the window already runs modally,
    // shows it modally until the user closes it.
    void RenderReport(const QString& leftTitle, const QString& rightTitle, int endPosition, int mode,
                      quint8 selectionOnly);
    void SizeThumbnailPane(int zoom);
    void ClampMargins();
    QRect TextRect() const { return textRect_; }

    // The commands of the buttons and menus.
    void btnOpenClick();
    void btnSaveClick();
    void btnPageSetupClick();
    void btnPrinterSetupClick();
    void btnPrintClick();
    void btnZoomClick();
    void btnGrayscaleClick();
    void btnGrayResetClick();
    void fbAbortClick();
    void ReduceThumbnailSizeMenuItemClick();
    void EnlargeThumbnailSizeMenuItemClick();
    void Printselectedpages1Click();
    void DeleteCurrentClick();
    void DeleteAllMenuItemClick();
    void Printthispage1Click();
    void CopyCurrentClick();

    QLabel* StatusPanel(int index) const { return panels_[index]; }
    QToolButton* ZoomButton() const { return btnZoom_; }
    QSlider* Brightness() const { return brightness_; }
    QSlider* Contrast() const { return contrast_; }
    QWidget* GrayPanel() const { return grayPanel_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void BuildToolBar(QWidget* bar);
    void BuildMenus();
    void RenderPages();
    int DrawPageHeader(int position);
    void ReRender();
    void PrintPreviewChange();
    void PrintPreviewStateChange();
    void PrintPreviewZoomChange();
    void PrintPreviewNewPage();
    void SetAbortShown(bool shown);
    void SetZoomItem(QAction* item);
    bool RunPageSetupDialog();

    TPrintPreview* preview_ = nullptr;
    std::unique_ptr<ReportThumbnailPane> thumbnails_;
    QLabel* panels_[5] = {};
    QToolButton* btnZoom_ = nullptr;
    QAction *btnOpen_ = nullptr, *btnSave_ = nullptr, *btnPageSetup_ = nullptr, *btnPrinterSetup_ = nullptr,
            *btnPrintableArea_ = nullptr, *btnPrint_ = nullptr, *btnZoomOut_ = nullptr, *btnZoomIn_ = nullptr,
            *btnGrayscale_ = nullptr, *btnFirstPage_ = nullptr, *btnPriorPage_ = nullptr,
            *btnNextPage_ = nullptr, *btnLastPage_ = nullptr, *fbAbort_ = nullptr;
    QAction *zoomActualSize_ = nullptr, *zoomPageWidth_ = nullptr, *zoomPageHeight_ = nullptr,
            *zoomWholePage_ = nullptr;
    QMenu* pageMenu_ = nullptr;
    QWidget* grayPanel_ = nullptr;
    QSlider* brightness_ = nullptr;
    QSlider* contrast_ = nullptr;

    QRect textRect_;
    ui::TPrintArea area_;
    int centre_ = 0;
    int headerHeight_ = 0;
    int scrollBarWidth_ = 0;
    bool modal_ = false;
    bool cursorActive_ = false;
};

// The window behind the main window's print commands, made on first use
// and kept for the next report.
class TReportServices : public ui::ReportServices {
public:
    TReportServices();
    ~TReportServices() override;
    TReportServices(const TReportServices&) = delete;
    TReportServices& operator=(const TReportServices&) = delete;

    bool CanPrint() const override { return true; }
    void CreateReportWindow(QWidget* owner, const QRect& bounds) override;
    void SetRenderPage(ui::TRenderPageEvent callback) override;
    void SetReportEnded(std::function<void()> callback) override;
    void SetupPage(bool landscape) override;
    void SetThumbnailColor(const QColor& color) override;
    void SetFooterText(const QString& text) override;
    void RenderReport(const QString& leftTitle, const QString& rightTitle, int endPosition, int mode,
                      quint8 selectionOnly) override;
    bool Aborted() const override;
    QPoint ScreenToUnits(int x, int y) const override;
    std::optional<QRect> DrawGraphicFit(const QRect& r, const QImage& picture, bool proportional, bool shrinkOnly,
                                        bool center) override;
    TF_Print* Window() const { return window_; }

private:
    QPointer<TF_Print> window_;
};

}  // namespace tandex::print
