#include "color_rules.h"

#include "config/app_settings.h"
#include "config/color_sets.h"

namespace tandex::settings {

namespace {

// Only ASCII letters fold: a stored set's name is compared as the user
// typed it otherwise.
QString asciiLower(const QString& text) {
    QString lower = text;
    for (QChar& c : lower)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
    return lower;
}

const QString kFree = QStringLiteral("-");

}  // namespace

int ColorSetSlot(int p) {
    if (config::AppSettings().GSGUIStyle == 0) return p;
    if (p == 2) return config::kFlatBlueSet;
    if (p == config::kFlatBlueSet) return 2;
    return p;
}

QStringList ColorSetListNames() {
    const auto& names = config::AppSettings().COSetName;
    QStringList list;
    for (int p = 0; p < kColorListSize; ++p) list << names[size_t(ColorSetSlot(p))];
    return list;
}

bool IsNewSetName(const QString& name) {
    const QString lower = asciiLower(name);
    const auto& names = config::AppSettings().COSetName;
    for (int p = 0; p < config::kFirstUserSet; ++p)
        if (asciiLower(names[size_t(ColorSetSlot(p))]) == lower) return false;
    return true;
}

TColorButtonStates ColorButtonStates(const QString& name, bool setModified, bool applyAllowed,
                                     const QString& selectedEntry) {
    TColorButtonStates b;
    const bool isNew = IsNewSetName(name);
    b.ok = !name.isEmpty() && name != kFree && (isNew || !setModified);
    b.apply = b.ok && applyAllowed;
    b.save = b.ok && isNew;
    b.del = b.save && selectedEntry != kFree && selectedEntry == name;
    return b;
}

int ColorSetSaveTarget(const QStringList& entries, const QString& name) {
    const int named = int(entries.indexOf(name));
    if (named >= 0) return named;
    for (int p = config::kFirstUserSet; p <= config::kLastUserSet && p < entries.size(); ++p)
        if (entries[p] == kFree) return p;
    return -1;
}

QString ReplaceColorSetText(const QString& oldName, const QString& newName) {
    return QStringLiteral("All color set storages are already in use!\n\n"
                          "Do you want to replace old color set named: \"") +
           oldName + QStringLiteral("\"\nwith the new color set named: \"") + newName + QStringLiteral("\"?");
}

}  // namespace tandex::settings
