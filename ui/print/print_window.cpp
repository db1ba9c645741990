#include "ui/print/print_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <optional>

#include "config/app_settings.h"
#include "config/services.h"
#include "ui/main/window_helpers.h"
#include "ui/print/qt_preview_printer.h"
#include "ui/print/thumbnail_preview.h"

namespace tandex::print {

namespace {

const QString kPrintCaption = QStringLiteral(" Tandex Print ");
const QString kFileFilter = QStringLiteral("Print Preview Files (*.ppv);;All Files (*)");

// The window's page list is the thumbnail list; the window sees only what
// it uses of it.
class ThumbnailListPane : public ReportThumbnailPane {
public:
    ThumbnailListPane(TPrintPreview& preview, QWidget* parent) : list_(new TThumbnailPreview(parent)) {
        list_->SetPrintPreview(&preview);
        list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    QWidget* Widget() override { return list_; }
    int Zoom() const override { return list_->Zoom(); }
    void SetZoom(int value) override { list_->SetZoom(value); }
    bool VerticalScrollBarShown() const override { return list_->verticalScrollBar()->isVisible(); }
    int ItemMargin() const override {
        const TPaperPreviewOptions& paper = list_->PaperView();
        return 2 * paper.BorderWidth() + paper.ShadowWidth() + list_->SpacingHorizontal() + 2 * list_->frameWidth();
    }
    QList<int> SelectedPages() const override {
        QList<int> pages;
        list_->GetSelectedPages(pages);
        return pages;
    }
    void ClearSelection() override { list_->clearSelection(); }
    void SetColor(const QColor& color) override {
        QPalette p = list_->palette();
        p.setColor(QPalette::Base, color);
        list_->setPalette(p);
    }

private:
    TThumbnailPreview* list_;  // a child of the window
};

// The window's busy cursor: restored before another is set, so that the
// states never stack their cursors.
void SetOverrideCursor(bool& active, std::optional<Qt::CursorShape> shape) {
    if (active) QApplication::restoreOverrideCursor();
    active = shape.has_value();
    if (active) QApplication::setOverrideCursor(*shape);
}

}  // namespace

std::unique_ptr<ReportThumbnailPane> MakeReportThumbnailPane(TPrintPreview& preview, QWidget* parent) {
    return std::make_unique<ThumbnailListPane>(preview, parent);
}

TF_Print::TF_Print(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Print Preview"));
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    layout->addWidget(bar);

    grayPanel_ = new QWidget(this);
    grayPanel_->setAutoFillBackground(true);
    auto* grayLayout = new QHBoxLayout(grayPanel_);
    const auto makeSlider = [this](const QString& name) {
        auto* slider = new QSlider(Qt::Horizontal, grayPanel_);
        slider->setObjectName(name);
        slider->setRange(-100, 100);
        slider->setPageStep(10);
        slider->setTickInterval(10);
        slider->setTickPosition(QSlider::TicksBelow);
        return slider;
    };
    brightness_ = makeSlider(QStringLiteral("Brightness"));
    contrast_ = makeSlider(QStringLiteral("Contrast"));
    auto* reset = new QPushButton(QStringLiteral("Reset"), grayPanel_);
    reset->setObjectName(QStringLiteral("btnGrayReset"));
    reset->setToolTip(QStringLiteral(" Reset Brightness & Contrast "));
    grayLayout->addWidget(new QLabel(QStringLiteral("Brightness"), grayPanel_));
    grayLayout->addWidget(brightness_, 1);
    grayLayout->addWidget(new QLabel(QStringLiteral("Contrast"), grayPanel_));
    grayLayout->addWidget(contrast_, 1);
    grayLayout->addWidget(reset);
    grayPanel_->hide();
    layout->addWidget(grayPanel_);

    auto* body = new QHBoxLayout;
    preview_ = new TPrintPreview(this);
    preview_->setObjectName(QStringLiteral("PrintPreview"));
    thumbnails_ = MakeReportThumbnailPane(*preview_, this);
    thumbnails_->Widget()->setObjectName(QStringLiteral("ThumbnailPreview"));
    body->addWidget(thumbnails_->Widget());
    body->addWidget(preview_, 1);
    layout->addLayout(body, 1);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    const int widths[4] = {150, 80, 200, 120};
    for (int i = 0; i < 5; ++i) {
        panels_[i] = new QLabel(status);
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        if (i < 4) {
            panels_[i]->setAlignment(Qt::AlignCenter);
            panels_[i]->setFixedWidth(widths[i]);
            status->addWidget(panels_[i]);
        } else {
            panels_[i]->setMinimumWidth(50);
            status->addWidget(panels_[i], 1);
        }
    }
    layout->addWidget(status);

    PreviewDocument& doc = preview_->Document();
    doc.SetUnits(mmLoMetric);
    doc.SetCacheSize(100);
    doc.PrintJobTitle = QStringLiteral("Tandex");
    doc.Grayscale = 0;
    doc.SetPrinter(&SystemPrinter());
    preview_->PaperView().SetBorderWidth(3);
    preview_->PaperView().SetBorderColor(QColor(166, 202, 240));
    preview_->SetPrintableAreaColor(Qt::red);
    preview_->HostWindowHandle = this;
    PageSetup.MeasureUnits = pmuMillimeters;
    PageSetup.PageWidth = 21000;
    PageSetup.PageHeight = 29700;
    doc.FillPageSetupDialog(PageSetup);

    BuildToolBar(bar);
    BuildMenus();
    connect(brightness_, &QSlider::valueChanged, this, [this](int v) { preview_->SetGrayBrightness(v); });
    connect(contrast_, &QSlider::valueChanged, this, [this](int v) { preview_->SetGrayContrast(v); });
    connect(reset, &QPushButton::clicked, this, [this] { btnGrayResetClick(); });

    doc.OnChange = [this] { PrintPreviewChange(); };
    doc.OnStateChange = [this] { PrintPreviewStateChange(); };
    doc.OnNewPage = [this] { PrintPreviewNewPage(); };
    doc.OnProgress = [this](int done, int total) {
        panels_[4]->setText(QStringLiteral("Printing page: %1 of %2").arg(done).arg(total));
    };
    preview_->OnZoomChange = [this] { PrintPreviewZoomChange(); };

    scrollBarWidth_ = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int zoom = config::AppSettings().PRTPZoom;
    SizeThumbnailPane(zoom + 1);
    thumbnails_->SetZoom(zoom);
    PrintPreviewStateChange();
    PrintPreviewZoomChange();
}

TF_Print::~TF_Print() {
    SetOverrideCursor(cursorActive_, std::nullopt);
    PreviewDocument& doc = preview_->Document();
    doc.OnChange = nullptr;
    doc.OnStateChange = nullptr;
    doc.OnNewPage = nullptr;
    doc.OnProgress = nullptr;
    preview_->OnZoomChange = nullptr;
    doc.SetPrinter(nullptr);
}

void TF_Print::BuildToolBar(QWidget* barWidget) {
    auto* bar = static_cast<QToolBar*>(barWidget);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto add = [this, bar](const char* name, const QString& caption, const QString& hint, auto handler) {
        QAction* action = bar->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (!hint.isEmpty()) action->setToolTip(hint);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    btnOpen_ = add("btnOpen", QStringLiteral("Open"), QStringLiteral(" Load pages from file... "),
                   [this] { btnOpenClick(); });
    btnSave_ = add("btnSave", QStringLiteral("Save"), QStringLiteral(" Save all pages to file... "),
                   [this] { btnSaveClick(); });
    bar->addSeparator();
    btnPageSetup_ = add("btnPageSetup", QStringLiteral("Page Setup"), QString(), [this] { btnPageSetupClick(); });
    btnPrinterSetup_ =
        add("btnPrinterSetup", QStringLiteral("Printer Setup"), QString(), [this] { btnPrinterSetupClick(); });
    btnPrintableArea_ = add("btnPrintableArea", QStringLiteral("Printable Area"), QString(),
                            [this] { preview_->SetShowPrintableArea(btnPrintableArea_->isChecked()); });
    btnPrintableArea_->setCheckable(true);
    btnPrint_ = add("btnPrint", QStringLiteral("Print"), QStringLiteral(" Print all pages... "),
                    [this] { btnPrintClick(); });
    bar->addSeparator();
    btnZoomOut_ = add("btnZoomOut", QStringLiteral("-"), QString(),
                      [this] { preview_->SetZoom(preview_->Zoom() - preview_->ZoomStep); });
    btnZoom_ = new QToolButton(bar);
    btnZoom_->setObjectName(QStringLiteral("btnZoom"));
    btnZoom_->setText(QStringLiteral("Zoom"));
    btnZoom_->setPopupMode(QToolButton::MenuButtonPopup);
    connect(btnZoom_, &QToolButton::clicked, this, [this] { btnZoomClick(); });
    bar->addWidget(btnZoom_);
    btnZoomIn_ = add("btnZoomIn", QStringLiteral("+"), QString(),
                     [this] { preview_->SetZoom(preview_->Zoom() + preview_->ZoomStep); });
    bar->addSeparator();
    btnGrayscale_ = add("btnGrayscale", QStringLiteral("Gray"), QStringLiteral(" Toggle grayscale mode on/off "),
                        [this] { btnGrayscaleClick(); });
    bar->addSeparator();
    btnFirstPage_ = add("btnFirstPage", QStringLiteral("|<"), QString(), [this] {
        thumbnails_->ClearSelection();
        preview_->Document().SetCurrentPage(1);
    });
    btnPriorPage_ = add("btnPriorPage", QStringLiteral("<"), QString(), [this] {
        thumbnails_->ClearSelection();
        preview_->Document().SetCurrentPage(preview_->Document().CurrentPage() - 1);
    });
    btnNextPage_ = add("btnNextPage", QStringLiteral(">"), QString(), [this] {
        thumbnails_->ClearSelection();
        preview_->Document().SetCurrentPage(preview_->Document().CurrentPage() + 1);
    });
    btnLastPage_ = add("btnLastPage", QStringLiteral(">|"), QString(), [this] {
        thumbnails_->ClearSelection();
        preview_->Document().SetCurrentPage(preview_->Document().TotalPages());
    });
    bar->addSeparator();
    fbAbort_ = add("fbAbort", QStringLiteral("Abort"), QString(), [this] { fbAbortClick(); });
    fbAbort_->setVisible(false);
}

void TF_Print::BuildMenus() {
    auto* zoomMenu = new QMenu(this);
    auto* group = new QActionGroup(zoomMenu);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const auto item = [&](const char* name, const QString& caption, auto handler) {
        QAction* action = zoomMenu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    zoomActualSize_ = item("ZoomActualSize", QStringLiteral("Actual Size"), [this] { preview_->SetZoom(100); });
    zoomPageWidth_ =
        item("ZoomPageWidth", QStringLiteral("Page Width"), [this] { preview_->SetZoomState(zsZoomToWidth); });
    zoomPageHeight_ =
        item("ZoomPageHeight", QStringLiteral("Page Height"), [this] { preview_->SetZoomState(zsZoomToHeight); });
    zoomWholePage_ =
        item("ZoomWholePage", QStringLiteral("Whole Page"), [this] { preview_->SetZoomState(zsZoomToFit); });
    btnZoom_->setMenu(zoomMenu);

    QWidget* pane = thumbnails_->Widget();
    pane->setContextMenuPolicy(Qt::ActionsContextMenu);
    const auto paneItem = [this, pane](const QString& caption, auto handler) {
        auto* action = new QAction(caption, pane);
        connect(action, &QAction::triggered, this, handler);
        pane->addAction(action);
    };
    paneItem(QStringLiteral("Reduce Thumbnail Size"), [this] { ReduceThumbnailSizeMenuItemClick(); });
    paneItem(QStringLiteral("Enlarge Thumbnail Size"), [this] { EnlargeThumbnailSizeMenuItemClick(); });
    paneItem(QStringLiteral("Print selected page(s)"), [this] { Printselectedpages1Click(); });
    paneItem(QStringLiteral("Delete the selected page(s)"), [this] { DeleteCurrentClick(); });
    paneItem(QStringLiteral("Delete all pages"), [this] { DeleteAllMenuItemClick(); });

    pageMenu_ = new QMenu(this);
    QMenu* pageMenu = pageMenu_;
    connect(pageMenu->addAction(QStringLiteral("Print this page")), &QAction::triggered, this,
            [this] { Printthispage1Click(); });
    connect(pageMenu->addAction(QStringLiteral("Copy to clipboard")), &QAction::triggered, this,
            [this] { CopyCurrentClick(); });
    connect(pageMenu->addAction(QStringLiteral("Delete this page")), &QAction::triggered, this,
            [this] { DeleteCurrentClick(); });
    preview_->PaperView().SetPopupMenu(pageMenu);
}

void TF_Print::SetAbortShown(bool shown) {
    fbAbort_->setToolTip(AbortQuestion);
    fbAbort_->setVisible(shown);
}

// ---- preview events ---------------------------------------------------------

void TF_Print::PrintPreviewChange() {
    const PreviewDocument& doc = preview_->Document();
    const int page = doc.CurrentPage(), total = doc.TotalPages();
    panels_[0]->setText(QStringLiteral("Page %1 of %2").arg(page).arg(total));
    btnFirstPage_->setEnabled(page > 1);
    btnPriorPage_->setEnabled(page > 1);
    btnNextPage_->setEnabled(page < total);
    btnLastPage_->setEnabled(page < total);
    // The Abort button works while the pages are made.
    if (doc.State() == psCreating) QCoreApplication::processEvents();
}

void TF_Print::PrintPreviewStateChange() {
    PreviewDocument& doc = preview_->Document();
    const TPreviewState state = doc.State();
    const bool ready = state == psReady;
    const bool hasPages = doc.TotalPages() > 0;
    btnOpen_->setEnabled(ready);
    btnPageSetup_->setEnabled(ready);
    // A printer chosen while pages are made would start a second rendering.
    btnPrinterSetup_->setEnabled(ready);
    btnSave_->setEnabled(ready && hasPages);
    btnPrint_->setEnabled(ready && hasPages && doc.Printer() && doc.Printer()->Installed());
    // Pages deleted or printed from the menus while others are recorded
    // would tear the report apart.
    for (QAction* item : thumbnails_->Widget()->actions() + pageMenu_->actions()) item->setEnabled(ready);
    switch (state) {
    case psReady:
        SetOverrideCursor(cursorActive_, std::nullopt);
        PrintPreviewChange();
        panels_[4]->setText(QStringLiteral("Zoom: Ctrl+MouseWheel | Scroll: Shift+MouseWheel"));
        break;
    case psCreating:
        SetOverrideCursor(cursorActive_, Qt::BusyCursor);
        panels_[2]->setText(doc.FormName());
        panels_[3]->setText(doc.IsLandscape() ? QStringLiteral("Landscape") : QStringLiteral("Portrait"));
        panels_[4]->setText(QStringLiteral("Creating pages..."));
        break;
    case psPrinting:
        SetOverrideCursor(cursorActive_, Qt::WaitCursor);
        panels_[4]->setText(QStringLiteral("Printing pages..."));
        break;
    case psLoading:
        SetOverrideCursor(cursorActive_, Qt::WaitCursor);
        panels_[4]->setText(QStringLiteral("Loading pages from file..."));
        break;
    case psSaving:
        SetOverrideCursor(cursorActive_, Qt::WaitCursor);
        panels_[4]->setText(QStringLiteral("Saving pages to file..."));
        break;
    }
    if (isVisible()) repaint();
}

void TF_Print::PrintPreviewZoomChange() {
    const int zoom = preview_->Zoom();
    panels_[1]->setText(QStringLiteral("%") + QString::number(zoom));
    btnZoomOut_->setEnabled(preview_->ZoomMin() < zoom);
    btnZoomIn_->setEnabled(zoom < preview_->ZoomMax());
    switch (preview_->ZoomState()) {
    case zsZoomToWidth:
        SetZoomItem(zoomPageWidth_);
        btnZoom_->setToolTip(QStringLiteral("Zoom to page height"));
        break;
    case zsZoomToHeight:
        SetZoomItem(zoomPageHeight_);
        btnZoom_->setToolTip(QStringLiteral("Zoom to whole page"));
        break;
    case zsZoomToFit:
        SetZoomItem(zoomWholePage_);
        btnZoom_->setToolTip(QStringLiteral("Zoom to actual size"));
        break;
    case zsZoomOther:
        if (zoom == 100) {
            SetZoomItem(zoomActualSize_);
            btnZoom_->setToolTip(QStringLiteral("Zoom to page width"));
        } else {
            SetZoomItem(nullptr);
            btnZoom_->setToolTip(QStringLiteral("Zoom to actual size"));
        }
        break;
    }
}

void TF_Print::SetZoomItem(QAction* item) {
    for (QAction* a : {zoomActualSize_, zoomPageWidth_, zoomPageHeight_, zoomWholePage_}) a->setChecked(a == item);
}

// ---- commands ---------------------------------------------------------------

void TF_Print::btnZoomClick() {
    switch (preview_->ZoomState()) {
    case zsZoomToWidth: preview_->SetZoomState(zsZoomToHeight); break;
    case zsZoomToHeight: preview_->SetZoomState(zsZoomToFit); break;
    case zsZoomToFit: preview_->SetZoom(100); break;
    case zsZoomOther:
        if (preview_->Zoom() == 100) preview_->SetZoomState(zsZoomToWidth);
        else preview_->SetZoom(100);
        break;
    }
}

void TF_Print::btnGrayscaleClick() {
    ui::LockWindowRedraw(this);
    if (preview_->Grayscale() != 0) {
        grayPanel_->hide();
        preview_->SetGrayscale(0);
    } else {
        QPalette p = grayPanel_->palette();
        p.setColor(QPalette::Window, thumbnails_->Widget()->palette().color(QPalette::Base));
        grayPanel_->setPalette(p);
        grayPanel_->show();
        preview_->SetGrayscale(gsPreview | gsPrint);
    }
    ui::UnlockWindowRedraw(this, ui::RDW_INVALIDATE | ui::RDW_ALLCHILDREN);
}

void TF_Print::btnGrayResetClick() {
    brightness_->setValue(0);
    contrast_->setValue(0);
}

void TF_Print::fbAbortClick() {
    const bool yes = config::showMessage(kPrintCaption, AbortQuestion, config::MsgKind::Question,
                                         config::mbYes | config::mbNo, config::mrNo) == config::mrYes;
    Aborted = yes;
    preview_->Document().AbortPrinting = yes;
}

void TF_Print::btnOpenClick() {
    QFileDialog dialog(this, QStringLiteral("Load From File"), QString(), kFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("ppv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    try {
        preview_->Document().LoadFromFile(dialog.selectedFiles().first());
    } catch (const std::exception& e) {
        config::showMessage(kPrintCaption, QString::fromStdString(e.what()), config::MsgKind::Error);
    }
}

void TF_Print::btnSaveClick() {
    QFileDialog dialog(this, QStringLiteral("Save To File"), QString(), kFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("ppv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    try {
        preview_->Document().SaveToFile(dialog.selectedFiles().first());
    } catch (const std::exception& e) {
        config::showMessage(kPrintCaption, QString::fromStdString(e.what()), config::MsgKind::Error);
    }
}

bool TF_Print::RunPageSetupDialog() {
    QPrinter& printer = SystemPrinter().printer();
    const bool landscape = PageSetup.PageWidth > PageSetup.PageHeight;
    const QSizeF portrait(qMin(PageSetup.PageWidth, PageSetup.PageHeight) / 100.0,
                          qMax(PageSetup.PageWidth, PageSetup.PageHeight) / 100.0);
    const QPageSize size(portrait, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
    const QMarginsF margins(PageSetup.MarginLeft / 100.0, PageSetup.MarginTop / 100.0,
                            PageSetup.MarginRight / 100.0, PageSetup.MarginBottom / 100.0);
    QPageLayout layout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait, margins,
                       QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    printer.setPageLayout(layout);
    QPageSetupDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QPageLayout chosen = printer.pageLayout();
    const QRectF page = chosen.fullRect(QPageLayout::Millimeter);
    const QMarginsF m = chosen.margins(QPageLayout::Millimeter);
    PageSetup.MeasureUnits = pmuMillimeters;
    PageSetup.PageWidth = qRound(page.width() * 100);
    PageSetup.PageHeight = qRound(page.height() * 100);
    PageSetup.MarginLeft = qRound(m.left() * 100);
    PageSetup.MarginTop = qRound(m.top() * 100);
    PageSetup.MarginRight = qRound(m.right() * 100);
    PageSetup.MarginBottom = qRound(m.bottom() * 100);
    return true;
}

void TF_Print::btnPageSetupClick() {
    ClampMargins();
    if (!RunPageSetupDialog()) return;
    ClampMargins();
    ReRender();
}

void TF_Print::btnPrinterSetupClick() {
    QPrintDialog dialog(&SystemPrinter().printer(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    PreviewDocument& doc = preview_->Document();
    doc.ReadPrinterOptions();
    doc.FillPageSetupDialog(PageSetup);
    ReRender();
}

void TF_Print::btnPrintClick() {
    PreviewDocument& doc = preview_->Document();
    const bool wasLandscape = doc.IsLandscape();
    doc.ApplyPrinterOptions();
    QPrintDialog dialog(&SystemPrinter().printer(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    doc.ReadPrinterOptions();
    doc.FillPageSetupDialog(PageSetup);
    if (doc.IsLandscape() != wasLandscape) ReRender();
    doc.AbortPrinting = false;
    AbortQuestion = QStringLiteral(" Abort printing? ");
    SetAbortShown(true);
    try {
        doc.PrintAll();
    } catch (const std::exception& e) {
        config::showMessage(kPrintCaption, QString::fromStdString(e.what()), config::MsgKind::Error);
    }
    SetAbortShown(false);
    Aborted = false;
}

void TF_Print::Printselectedpages1Click() {
    PreviewDocument& doc = preview_->Document();
    doc.AbortPrinting = false;
    try {
        doc.PrintPageList(thumbnails_->SelectedPages());
    } catch (const std::exception& e) {
        config::showMessage(kPrintCaption, QString::fromStdString(e.what()), config::MsgKind::Error);
    }
}

void TF_Print::Printthispage1Click() {
    PreviewDocument& doc = preview_->Document();
    doc.AbortPrinting = false;
    try {
        doc.PrintPages(doc.CurrentPage(), doc.CurrentPage());
    } catch (const std::exception& e) {
        config::showMessage(kPrintCaption, QString::fromStdString(e.what()), config::MsgKind::Error);
    }
}

void TF_Print::ReduceThumbnailSizeMenuItemClick() {
    const int zoom = thumbnails_->Zoom() - 1;
    if (zoom < 1) return;
    thumbnails_->SetZoom(zoom);
    SizeThumbnailPane(thumbnails_->Zoom());
}

void TF_Print::EnlargeThumbnailSizeMenuItemClick() {
    SizeThumbnailPane(thumbnails_->Zoom() + 1);
    thumbnails_->SetZoom(thumbnails_->Zoom() + 1);
}

void TF_Print::DeleteCurrentClick() {
    const QList<int> pages = thumbnails_->SelectedPages();
    PreviewDocument& doc = preview_->Document();
    // From the back, so that the numbers still to go keep their pages.
    for (auto it = pages.crbegin(); it != pages.crend(); ++it) doc.Delete(*it);
    thumbnails_->ClearSelection();
    preview_->SetShowPrintableArea(!preview_->ShowPrintableArea());
    preview_->SetShowPrintableArea(!preview_->ShowPrintableArea());
    PrintPreviewStateChange();
}

void TF_Print::DeleteAllMenuItemClick() {
    preview_->Document().Clear();
    PrintPreviewStateChange();
}

void TF_Print::CopyCurrentClick() {
    PreviewDocument& doc = preview_->Document();
    const QByteArray emf = doc.Pages(doc.CurrentPage());
    if (emf.isEmpty()) return;
    const QSize size = doc.PageScreenSize();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        preview_->RenderPage(doc.CurrentPage(), painter, QRect(QPoint(0, 0), size), false);
    }
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/x-emf"), emf);
    data->setImageData(image);
    QApplication::clipboard()->setMimeData(data.release());
}

// ---- closing ----------------------------------------------------------------

void TF_Print::closeEvent(QCloseEvent* event) {
    if (preview_->Document().State() == psCreating) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TF_Print::reject() {
    PreviewDocument& doc = preview_->Document();
    if (doc.State() == psCreating) return;
    config::TAppSettings& s = config::AppSettings();
    s.APL = x();
    s.APT = y();
    s.APW = width();
    s.APH = height();
    s.PRTPZoom = thumbnails_->Zoom();
    ui::PrintLandscape = doc.IsLandscape() ? 1 : 0;
    s.PRPPZoomState = preview_->ZoomState();
    doc.Clear();
    QDialog::reject();
}

}  // namespace tandex::print
