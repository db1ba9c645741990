#include "ui/print/page_setup.h"

#include "ui/print/preview_document.h"

namespace tandex::print {

namespace {

std::optional<QLocale::MeasurementSystem>& measurementOverride() {
    static std::optional<QLocale::MeasurementSystem> system;
    return system;
}

}  // namespace

TUnits LocaleMeasureUnits() {
    const QLocale::MeasurementSystem system =
        measurementOverride().value_or(QLocale::system().measurementSystem());
    return system == QLocale::MetricSystem ? mmHiMetric : mmHiEnglish;
}

void SetLocaleMeasurementSystemForTesting(std::optional<QLocale::MeasurementSystem> system) {
    measurementOverride() = system;
}

TUnits PageSetupUnits(TPageMeasureUnits units) {
    switch (units) {
    case pmuMillimeters: return mmHiMetric;
    case pmuInches: return mmHiEnglish;
    case pmuDefault: break;
    }
    return LocaleMeasureUnits();
}

void PreviewDocument::FillPageSetupDialog(TPageSetupRecord& dialog) {
    const TUnits u = PageSetupUnits(dialog.MeasureUnits);
    // The record's page is the page as it lies, so the printer is turned
    // to the paper's orientation and the size given as the preview has it.
    if (HasPrinter() && printer_->Orientation() != orientation_) printer_->SetOrientation(orientation_);
    dialog.PageWidth = ConvertX(paperWidth_, units_, u);
    dialog.PageHeight = ConvertY(paperHeight_, units_, u);
}

QRect PreviewDocument::ApplyPageSetupDialog(const TPageSetupRecord& dialog) {
    const TUnits u = PageSetupUnits(dialog.MeasureUnits);
    const TPrinterOrientation orientation = HasPrinter() ? printer_->Orientation() : orientation_;
    SetPaperSizeOrientation(ConvertX(dialog.PageWidth, u, units_), ConvertY(dialog.PageHeight, u, units_),
                            orientation);
    const int left = ConvertX(dialog.MarginLeft, u, units_);
    const int top = ConvertY(dialog.MarginTop, u, units_);
    const int right = paperWidth_ - ConvertX(dialog.MarginRight, u, units_);
    const int bottom = paperHeight_ - ConvertY(dialog.MarginBottom, u, units_);
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace tandex::print
