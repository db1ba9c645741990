#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <climits>

#include "config/app_settings.h"
#include "config/services.h"
#include "ui/main/window_helpers.h"
#include "ui/print/picture_routines.h"
#include "ui/print/print_window.h"

namespace tandex::print {

namespace {

// The pages a report may have; the callback's next page ends it.
constexpr int kPageLimit = 10000;

// Draws text with its top at y, the way the page's header lines are placed.
void TextOut(QPainter& canvas, int x, int y, const QString& text) {
    canvas.drawText(QPoint(x, y + canvas.fontMetrics().ascent()), text);
}

}  // namespace

void TF_Print::SetupPage(bool landscape) {
    PreviewDocument& doc = preview_->Document();
    const TPrinterOrientation orientation = landscape ? poLandscape : poPortrait;
    doc.SetOrientation(orientation);
    if (doc.Printer()) doc.Printer()->SetOrientation(orientation);
    PageSetup.MeasureUnits = pmuMillimeters;
    PageSetup.PageWidth = landscape ? 29700 : 21000;
    PageSetup.PageHeight = landscape ? 21000 : 29700;
    const config::TAppSettings& s = config::AppSettings();
    PageSetup.MarginLeft = s.PRLeft * 100;
    PageSetup.MarginTop = s.PRTop * 100;
    PageSetup.MarginRight = s.PRRight * 100;
    PageSetup.MarginBottom = s.PRBottom * 100;
    preview_->SetZoomState(TZoomState(qBound(int(zsZoomOther), s.PRPPZoomState, int(zsZoomToFit))));
}

void TF_Print::ClampMargins() {
    PageSetup.MarginLeft = qMax(PageSetup.MarginLeft, 400);
    PageSetup.MarginTop = qMax(PageSetup.MarginTop, 1200);
    PageSetup.MarginRight = qMax(PageSetup.MarginRight, 500);
    PageSetup.MarginBottom = qMax(PageSetup.MarginBottom, 400);
}

void TF_Print::SizeThumbnailPane(int zoom) {
    int width = zoom * preview_->Document().PageScreenSize().width() / 100;
    if (thumbnails_->VerticalScrollBarShown()) width += scrollBarWidth_;
    // The 15 pixels fit a narrow list's frame; where this list lays more
    // beside a page, the pane grows so that no thumbnail is cut off.
    thumbnails_->Widget()->setFixedWidth(width + qMax(15, thumbnails_->ItemMargin()));
}

void TF_Print::RenderReport(const QString& leftTitle, const QString& rightTitle, int endPosition, int mode,
                            quint8 selectionOnly) {
    LeftTitle = leftTitle;
    RightTitle = rightTitle;
    PrintMode = mode;
    SelectionOnly = selectionOnly;
    EndPosition = endPosition;
    if (!modal_) show();
    RenderPages();
    if (modal_) return;
    SizeThumbnailPane(config::AppSettings().PRTPZoom);
    hide();
    modal_ = true;
    exec();
    modal_ = false;
}

void TF_Print::ReRender() {
    RenderReport(LeftTitle, RightTitle, EndPosition, PrintMode, SelectionOnly);
    SizeThumbnailPane(thumbnails_->Zoom());
}

void TF_Print::RenderPages() {
    AbortQuestion = QStringLiteral(" Abort preview rendering? ");
    Aborted = false;
    SetAbortShown(true);
    repaint();
    PreviewDocument& doc = preview_->Document();
    textRect_ = doc.ApplyPageSetupDialog(PageSetup);
    QString failure;
    doc.BeginDoc();
    try {
        const QPoint mm = doc.ConvertToUnitsXY(mmLoMetric, 10, 10);
        area_ = {textRect_.left(), textRect_.top(), textRect_.left() + textRect_.width(),
                 textRect_.top() + textRect_.height(), mm.x(), mm.y()};
        HeaderText = QStringLiteral("Tandex Version ") + config::CurrentVersion();
        centre_ = area_.Left + (area_.Right - area_.Left) / 2;
        int position = 0;
        for (;;) {
            // A callback that goes on after the abort would never end the
            // report: the page it draws then is the last all the same.
            const bool abortedBefore = Aborted;
            position = DrawPageHeader(position);
            if (position >= EndPosition || abortedBefore) break;
            doc.NewPage();
            if (Aborted || PreviewDrawError != 0 || doc.TotalPages() > kPageLimit) Aborted = true;
        }
    } catch (const std::exception& e) {
        failure = QString::fromStdString(e.what());
    }
    if (!FooterText.isEmpty() && doc.Canvas()) TextOut(*doc.Canvas(), area_.Left, area_.Bottom, FooterText);
    try {
        doc.EndDoc();
    } catch (const std::exception& e) {
        if (failure.isEmpty()) failure = QString::fromStdString(e.what());
    }
    SetAbortShown(false);
    if (OnReportEnd) OnReportEnd();
    if (!failure.isEmpty())
        config::showMessage(QStringLiteral(" Tandex Print "), failure, config::MsgKind::Error);
}

int TF_Print::DrawPageHeader(int position) {
    PreviewDocument& doc = preview_->Document();
    QPainter* canvas = doc.Canvas();
    if (!canvas) return INT_MAX;
    QFont font = ui::FontOfDesc(config::AppSettings().APFont);
    const qreal savedSize = font.pointSizeF();
    font.setPointSize(8);
    canvas->setFont(font);
    const int h = canvas->fontMetrics().height();
    int y = h;
    TextOut(*canvas, area_.Left, y, HeaderText);
    const QString pageText = QStringLiteral("Page ") + QString::number(doc.TotalPages() + 1);
    TextOut(*canvas, centre_ - canvas->fontMetrics().horizontalAdvance(pageText) / 2, y, pageText);
    y = 2 * h;
    canvas->drawLine(area_.Left, y, area_.Right, y);
    y += h / 3;
    if (PrintMode == 1) {
        TextOut(*canvas, area_.Left, y, RightTitle);
    } else {
        TextOut(*canvas, area_.Left, y, LeftTitle);
        if (PrintMode != 0) TextOut(*canvas, centre_, y, RightTitle);
    }
    if (savedSize > 0) font.setPointSizeF(savedSize);
    canvas->setFont(font);
    if (!OnRenderPage) return INT_MAX;
    return OnRenderPage(*canvas, area_, position, PrintMode, SelectionOnly);
}

void TF_Print::PrintPreviewNewPage() {
    QPainter* canvas = preview_->Document().Canvas();
    if (!canvas) return;
    QPen pen(Qt::black);
    pen.setWidth(preview_->Document().ConvertToUnitsX(mmLoMetric, 3));
    canvas->setPen(pen);
    canvas->setBrush(Qt::NoBrush);
}

// ---- the main window's side ----------------------------------------------------

TReportServices::TReportServices() = default;

TReportServices::~TReportServices() { delete window_.data(); }

void TReportServices::CreateReportWindow(QWidget* owner, const QRect& bounds) {
    if (!window_) window_ = new TF_Print(owner);
    // A window that was never placed keeps where the system puts it.
    if (bounds.width() > 0 && bounds.height() > 0) window_->setGeometry(bounds);
}

void TReportServices::SetRenderPage(ui::TRenderPageEvent callback) {
    if (window_) window_->OnRenderPage = std::move(callback);
}

void TReportServices::SetReportEnded(std::function<void()> callback) {
    if (window_) window_->OnReportEnd = std::move(callback);
}

void TReportServices::SetupPage(bool landscape) {
    if (window_) window_->SetupPage(landscape);
}

void TReportServices::SetThumbnailColor(const QColor& color) {
    if (window_) window_->ThumbnailPreview().SetColor(color);
}

void TReportServices::SetFooterText(const QString& text) {
    if (window_) window_->FooterText = text;
}

void TReportServices::RenderReport(const QString& leftTitle, const QString& rightTitle, int endPosition, int mode,
                                   quint8 selectionOnly) {
    if (window_) window_->RenderReport(leftTitle, rightTitle, endPosition, mode, selectionOnly);
}

bool TReportServices::Aborted() const { return window_ && window_->Aborted; }

QPoint TReportServices::ScreenToUnits(int x, int y) const {
    return window_ ? window_->PrintPreview().Document().ScreenToUnits(x, y) : QPoint(x, y);
}

std::optional<QRect> TReportServices::DrawGraphicFit(const QRect& r, const QImage& picture, bool proportional,
                                                     bool shrinkOnly, bool center) {
    if (!window_ || picture.isNull()) return std::nullopt;
    const TGraphic graphic = TGraphic::FromBitmap(picture);
    return window_->PrintPreview().Document().DrawGraphicFit(r, &graphic, proportional, shrinkOnly, center);
}

}  // namespace tandex::print
