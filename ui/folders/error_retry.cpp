#include "error_retry.h"

#include <QRandomGenerator>

#include "config/app_settings.h"
#include "config/sys_helpers.h"

namespace tandex::folders {

void TErrorRetryPolicy::Reset() {
    ErrorAnswer = ui::eaNo;
    PartlyAnswer = ui::eaNo;
    retries_[0] = retries_[1] = 0;
}

void TErrorRetryPolicy::ResetRetries(int side) {
    retries_[side & 1] = 0;
}

void TErrorRetryPolicy::CountRetry(int side) {
    ++retries_[side & 1];
}

int TErrorRetryPolicy::RetryCount(int side) const {
    return retries_[side & 1];
}

bool TErrorRetryPolicy::RetriesExhausted(int side) const {
    return config::AppSettings().ESMaxRetry <= retries_[side & 1];
}

void TErrorRetryPolicy::ExhaustRetries(int side) {
    retries_[side & 1] = config::AppSettings().ESMaxRetry;
}

void TErrorRetryPolicy::RetryDelay() {
    const auto& s = config::AppSettings();
    config::WaitWithMessages(RetryDelayMs(s.ESMinRDelay, s.ESMaxRDelay, QRandomGenerator::global()->generate()));
}

void TErrorRetryPolicy::StoreAnswer(bool partly, int answer) {
    (partly ? PartlyAnswer : ErrorAnswer) = answer;
}

int RetryDelayMs(int minDelay, int maxDelay, quint32 random) {
    const int base = qMax(minDelay, 0);
    if (maxDelay <= base) return base;
    return base + int(random % quint32(maxDelay - base));
}

int ErrorAnswerOfResult(int modalResult) {
    switch (modalResult) {
    case erYes:
        return ui::eaYes;
    case erNo:
        return ui::eaNo;
    case erNoToAll:
        return ui::eaNoAll;
    case erYesToAll:
        return ui::eaYesAll;
    default:
        return ui::eaCancelAll;
    }
}

TErrorDlgTexts ArrangeErrorTexts(const QString& errorText, bool partly, int remainingRetries) {
    TErrorDlgTexts t;
    const qsizetype blank = errorText.indexOf(QLatin1Char(' '));
    const QString operation = blank < 0 ? QString() : errorText.left(blank);
    const bool checkDrive = operation == QLatin1String("CheckDrive");
    t.txt1 = QStringLiteral("was indicated by the ");
    t.txt2 = operation;
    t.txt3 = QStringLiteral(" operation for ") +
             (checkDrive ? QStringLiteral("folder:") : QStringLiteral("file:"));
    t.partlyNotice = partly;
    t.retryCountVisible = !partly;
    if (partly) {
        t.askKeep = QStringLiteral("Keep the partly file at the destination");
    } else {
        t.retryCount = QStringLiteral("Remaining Retries: ") + QString::number(remainingRetries);
        t.askKeep = (checkDrive ? QStringLiteral("Retry ") : QStringLiteral("Retry file ")) + operation;
    }
    return t;
}

}  // namespace tandex::folders
