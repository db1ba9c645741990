#include "settings_range.h"

#include "config/num_format.h"

namespace tandex::settings {

namespace {

const QString kRangeStart = QStringLiteral("(Range: ");

TRangeCheck refuse(const QString& tabName, const QString& message) {
    TRangeCheck r;
    r.message = message;
    r.caption = QStringLiteral("Invalid value on Tab: ") + tabName;
    return r;
}

// Shows the text as far as the reading got, which tells a developer where
// the pattern broke.
TRangeCheck internalError(const QString& tabName, const QString& cut) {
    return refuse(tabName, QStringLiteral("Internal error!\rThe correct range pattern is missing for:\r") + cut);
}

}  // namespace

TRangeCheck getValue(const QString& valueText, const QString& tabName, const QString& rangeText) {
    const qsizetype p = rangeText.indexOf(kRangeStart);
    if (p < 0) return internalError(tabName, rangeText);
    QString bounds = rangeText.mid(p + kRangeStart.size(), 50);

    // The name is what stands before the blank (or ":") in front of the
    // pattern, closed by a quote and that character, so that the message
    // reads: in field: "Name" ...
    QString fieldName = rangeText.left(qMax<qsizetype>(p - 1, 0)) + QLatin1Char('"');
    if (p >= 1) fieldName += rangeText.at(p - 1);
    if (const qsizetype colon = fieldName.indexOf(QLatin1Char(':')); colon >= 0) fieldName.remove(colon, 1);

    const qsizetype q = bounds.indexOf(QLatin1String(".."));
    if (q < 0) return internalError(tabName, bounds);
    const qint32 lower = config::StrToIntNoBlanks(bounds.left(q));
    const qsizetype r = bounds.indexOf(QLatin1Char(')'));
    if (r < q + 2) return internalError(tabName, bounds);
    bounds.truncate(r);
    const qint32 upper = config::StrToIntNoBlanks(bounds.mid(q + 2, 10));
    // A bound that is not a number reads as -1; taken as it is, a typed
    // "-1" would then pass as a value and still mean "refused".
    if (lower < 0 || upper < lower) return internalError(tabName, bounds);

    bool ok = false;
    int value = valueText.trimmed().toInt(&ok);
    if (!ok) value = lower - 1;
    if (value >= lower && value <= upper) {
        TRangeCheck passed;
        passed.value = value;
        return passed;
    }
    return refuse(tabName, QStringLiteral("Invalid value (") + valueText + QStringLiteral(") in field:\r\"") +
                               fieldName + QStringLiteral("\r\rThe valid range is: ") + bounds);
}

}  // namespace tandex::settings
