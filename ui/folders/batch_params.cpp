#include "batch_params.h"

#include "console_out.h"

namespace tandex::folders {

namespace {

// Only A to Z fold: parameters are paths and values, not words.
QString lowerAscii(const QString& text) {
    QString s = text;
    for (QChar& c : s)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    return s;
}

}  // namespace

TBatchParams::TBatchParams(QIODevice* console) : console_(console) {}

void TBatchParams::StoreParams(const QStringList& arguments) {
    CmdParams.fill(QString());
    const int n = qMin(int(arguments.size()), kCmdParamCount);
    for (int i = 0; i < n; ++i) CmdParams[size_t(i)] = arguments[i];
    paramCount_ = qMax(0, n - 1);
}

QString TBatchParams::GetParam(int index) const {
    if (index < 0 || index >= kCmdParamCount) return {};
    return lowerAscii(CmdParams[size_t(index)]);
}

QString TBatchParams::GetParamAsTyped(int index) const {
    if (index < 0 || index >= kCmdParamCount) return {};
    return CmdParams[size_t(index)];
}

bool TBatchParams::FindSwitch(const QString& name) {
    for (int i = 1; i < kCmdParamCount; ++i) {
        const QString& param = CmdParams[size_t(i)];
        if (param.isEmpty()) continue;
        const qsizetype colon = param.indexOf(u':');
        if (lowerAscii(colon < 0 ? param : param.left(colon)) != name) continue;
        SwitchPos = i;
        if (colon >= 0) {
            SwitchValue = param.mid(colon + 1);
            bool ok = false;
            const int number = SwitchValue.toInt(&ok);
            SwitchNumber = ok ? number : -1;
        }
        return true;
    }
    SwitchPos = -1;
    return false;
}

bool TBatchParams::FindIntSwitch(const QString& name, int upperBound, int& target) {
    if (!FindSwitch(name)) return true;
    if (SwitchNumber < 0 || SwitchNumber > upperBound) {
        BatchError(QStringLiteral("Parameter out of range"), SwitchPos);
        return false;
    }
    target = SwitchNumber;
    return true;
}

bool TBatchParams::CheckSwitchChars(const QString& allowed) const {
    for (QChar c : SwitchValue)
        if (!allowed.contains(c)) return false;
    return true;
}

void TBatchParams::BatchError(const QString& message, int index) {
    QString line = QStringLiteral("ERROR: ") + message;
    if (index > 0 && index < kCmdParamCount) line += QStringLiteral(": ") + CmdParams[size_t(index)];
    ConsoleWriteLn(line);
    exitCode_ = 9;
}

bool TBatchParams::ConsoleAttached() const {
    return console_ ? console_->isWritable() : folders::ConsoleAttached();
}

void TBatchParams::ConsoleWriteLn(const QString& text) {
    if (!console_) {
        folders::ConsoleWriteLn(text);
        return;
    }
    if (console_->isWritable()) console_->write(text.toUtf8() + '\n');
}

}  // namespace tandex::folders
