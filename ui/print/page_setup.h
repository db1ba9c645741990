#pragma once
// The values the page-setup dialog shows and returns, as a plain record:
// the report window copies it to and from Qt's dialog, the preview
// translates it to and from its paper.

#include <QLocale>
#include <optional>

#include "ui/print/preview_units.h"

namespace tandex::print {

enum TPageMeasureUnits : int { pmuDefault, pmuMillimeters, pmuInches };

// Page size and margins in hundredths of a millimetre (pmuMillimeters) or
// thousandths of an inch (pmuInches); pmuDefault takes the user's measure.
// The page size is given in the page's orientation.
struct TPageSetupRecord {
    TPageMeasureUnits MeasureUnits = pmuDefault;
    int PageWidth = 0;
    int PageHeight = 0;
    int MarginLeft = 0;
    int MarginTop = 0;
    int MarginRight = 0;
    int MarginBottom = 0;
};

// mmHiMetric where the user measures in metres, else mmHiEnglish.
TUnits LocaleMeasureUnits();
// Tests put a measurement system in place of the user's; an empty value
// gives the user's back.
void SetLocaleMeasurementSystemForTesting(std::optional<QLocale::MeasurementSystem> system);

// The unit a page-setup record's values are in.
TUnits PageSetupUnits(TPageMeasureUnits units);

}  // namespace tandex::print
