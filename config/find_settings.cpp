#include "config/find_settings.h"

#include "config/app_settings.h"
#include "config/ini_store.h"

namespace tandex::config {

namespace {

const QString kSection = QStringLiteral("FindReplace");

QString indexed(const char* text, int i) {
    return QLatin1String(text) + QString::number(i);
}

void readHistory(const char* key, QStringList& history) {
    history.clear();
    for (int i = 0; i < kFindHistorySize; ++i) {
        const QString text = IniReadString(kSection, indexed(key, i), QString());
        if (!text.isEmpty()) history.append(text);
    }
}

bool writeHistory(const char* key, const QStringList& history) {
    for (int i = 0; i < kFindHistorySize; ++i)
        if (!IniWriteString(kSection, indexed(key, i), history.value(i))) return false;
    return true;
}

}  // namespace

TFindReplaceSettings& FindReplaceSettings() {
    static TFindReplaceSettings settings;
    return settings;
}

void LoadFindReplaceSettings() {
    TAppSettings& app = AppSettings();
    TFindReplaceSettings& find = FindReplaceSettings();
    app.FFL = IniReadInt(kSection, QStringLiteral("FFL"), 0);
    app.FFT = IniReadInt(kSection, QStringLiteral("FFT"), -1);
    find.WholeWord = IniReadBool(kSection, QStringLiteral("WholeWord"), false);
    find.MatchCase = IniReadBool(kSection, QStringLiteral("MatchCase"), false);
    readHistory("Find", find.FindHistory);
    readHistory("Replace", find.ReplaceHistory);
    IniFreeLines();
}

bool WriteFindReplaceSettings() {
    const TAppSettings& app = AppSettings();
    const TFindReplaceSettings& find = FindReplaceSettings();
    return IniWriteInt(kSection, QStringLiteral("FFL"), app.FFL) &&
           IniWriteInt(kSection, QStringLiteral("FFT"), app.FFT) &&
           IniWriteBool(kSection, QStringLiteral("WholeWord"), find.WholeWord) &&
           IniWriteBool(kSection, QStringLiteral("MatchCase"), find.MatchCase) &&
           writeHistory("Find", find.FindHistory) && writeHistory("Replace", find.ReplaceHistory);
}

}  // namespace tandex::config
