#pragma once
// The range check of the settings dialog's number fields. Every number
// field carries its range inside a text, most often its label's caption or
// its hint, as "(Range: " lower " .. " upper ")"; one routine reads the
// bounds and the field's name from that text, so the range a user reads is
// the range that is checked.

#include <QString>

namespace tandex::settings {

struct TRangeCheck {
    // The value, or -1 when it was refused; every range starts at 0 or
    // above, so -1 is never a valid value.
    int value = -1;
    // Why it was refused, for a warning box with an OK button; empty when
    // the value passed.
    QString message;
    QString caption;
};

// Checks valueText against the range written in rangeText. tabName goes
// into the caption ("Invalid value on Tab: " + tabName). A range text
// without a usable "(Range: a .. b)" refuses every value with the
// internal-error text.
TRangeCheck getValue(const QString& valueText, const QString& tabName, const QString& rangeText);

}  // namespace tandex::settings
