#include "replace_rules.h"

#include "access/file_times.h"
#include "config/num_format.h"

namespace tandex::folders {

namespace {

constexpr ui::TColor kBlack = 0x000000;
constexpr ui::TColor kRed = 0x0000FF;

bool validCategory(int category) { return category >= 0 && category < kReplaceCategories; }

}  // namespace

void TReplaceAnswers::ResetAnswers() {
    for (auto& a : answers_) a.store(ui::eaNo);
}

int TReplaceAnswers::Answer(int category) const {
    return validCategory(category) ? answers_[category].load() : int(ui::eaNo);
}

void TReplaceAnswers::SetAnswer(int category, int answer) {
    if (validCategory(category)) answers_[category].store(quint8(answer));
}

void TReplaceAnswers::StoreAnswer(int category, int answer) {
    if (answer == ui::eaCancelAll) {
        for (auto& a : answers_) a.store(ui::eaCancelAll);
        return;
    }
    SetAnswer(category, answer);
}

TReplaceStep TReplaceAnswers::StepBeforeAsking(int category) const {
    switch (Answer(category)) {
    case ui::eaNo:
    case ui::eaYes:
        return rsAsk;
    case ui::eaYesAll:
        return rsReplace;
    default:
        return rsSkip;
    }
}

TReplaceStep TReplaceAnswers::StepAfterAsking(int category) const {
    const int answer = Answer(category);
    return answer == ui::eaYes || answer == ui::eaYesAll ? rsReplace : rsSkip;
}

TReplaceCategoryTexts ReplaceCategoryTexts(int category) {
    static const char* const names[kReplaceCategories] = {"", "write protected", "hidden", "system"};
    if (category <= rcExisting || category >= kReplaceCategories)
        return {QString(), QStringLiteral("file:"), false};
    return {QLatin1String(names[category]), QStringLiteral(" file:"), true};
}

QString ReplaceSizeText(qint64 size) { return config::Int64ToGroupedStr(size, 0, true) + QStringLiteral(" Byte"); }

QString ReplaceDateText(access::FileTime time) {
    return QStringLiteral("last modified:  ") + (time == 0 ? QString() : access::FZFileTimeText(time));
}

TReplaceVerdict ReplaceTimeVerdict(access::FileTime replacing, access::FileTime existing) {
    const int order = access::FZCompareFileTimes(replacing, existing);
    if (order > 0) return {QStringLiteral("with this OLDER file:"), kRed, true};
    if (order < 0) return {QStringLiteral("with this newer file:"), kBlack, false};
    return {QStringLiteral("with this file:"), kBlack, false};
}

}  // namespace tandex::folders
