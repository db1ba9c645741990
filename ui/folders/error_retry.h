#pragma once
// The retry policy that the copy engine, the folder comparison and the main
// window's load and save share, and the texts of the error dialog that asks
// about a failure. Nothing here needs a widget: the dialog (error_dlg.h)
// only shows what these routines decide.
//
// Answers and counters hold from one Reset to the next, so "Yes, all" or
// "No, all" given once apply to the rest of that run.

#include <QString>

#include "ui/main/main_window_seams.h"

namespace tandex::folders {

using ui::TErrorAnswer;

class TErrorRetryPolicy {
public:
    // Forgets both answers and both counters.
    void Reset();
    // side: 0 reading, 1 writing (any odd value counts as writing).
    void ResetRetries(int side);
    void CountRetry(int side);
    int RetryCount(int side) const;
    // True once the side has used up ESMaxRetry retries, so always with
    // ESMaxRetry 0.
    bool RetriesExhausted(int side) const;
    void ExhaustRetries(int side);
    // Waits RetryDelayMs of the settings while the event pump keeps the
    // windows responsive.
    void RetryDelay();
    // Keeps the answer of a partly-file question or of an error question.
    void StoreAnswer(bool partly, int answer);

    int ErrorAnswer = ui::eaNo;
    int PartlyAnswer = ui::eaNo;

private:
    int retries_[2] = {0, 0};
};

// The pause before an automatic retry: minDelay + random % (maxDelay -
// minDelay) milliseconds, so at least the minimum and below the maximum.
// A range that is empty or reversed waits the minimum; a negative minimum
// waits nothing.
int RetryDelayMs(int minDelay, int maxDelay, quint32 random);

// Modal results of the dialog's buttons.
enum TErrorDlgResult : int {
    erCancel = 2,
    erYes = 6,
    erNo = 7,
    erNoToAll = 9,
    erYesToAll = 10,
};

// The answer a closed dialog gives: anything but the four answer buttons,
// closing the window among them, cancels all.
int ErrorAnswerOfResult(int modalResult);

// What the dialog says about one failure.
struct TErrorDlgTexts {
    QString txt1;       // "was indicated by the "
    QString txt2;       // the operation's name
    QString txt3;       // " operation for file:" or "... folder:"
    QString askKeep;    // the question beside the buttons
    QString retryCount; // "Remaining Retries: n"; empty for the partly form
    bool partlyNotice = false;
    bool retryCountVisible = false;
};

// The operation is errorText up to its first blank (none without a blank);
// remainingRetries is ESMaxRetry minus the side's counter.
TErrorDlgTexts ArrangeErrorTexts(const QString& errorText, bool partly, int remainingRetries);

}  // namespace tandex::folders
