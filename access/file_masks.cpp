#include "access/file_masks.h"

#include <QStringList>

namespace tandex::access {

namespace {

// Lower case per code unit, so that positions never move.
QString lowered(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        c = c.toLower();
    return out;
}

bool sameOrAny(QChar pattern, QChar c) {
    return pattern == c || pattern == QLatin1Char('?');
}

// Whether pattern[from, to) occurs in name at position at.
bool occursAt(const QString& pattern, qsizetype from, qsizetype to, const QString& name,
              qsizetype at) {
    for (qsizetype k = from; k < to; ++k)
        if (!sameOrAny(pattern[k], name[at + k - from])) return false;
    return true;
}

// One mask part against name[begin, end).
bool matchSegment(const QString& pattern, const QString& name, qsizetype begin, qsizetype end) {
    const qsizetype plen = pattern.size();
    qsizetype i = 0, j = begin;
    while (i < plen && j < end && sameOrAny(pattern[i], name[j])) {
        ++i;
        ++j;
    }
    if (i > 0 || plen == 0 || pattern[0] != QLatin1Char('*'))
        return (i == plen && j == end) || (i < plen && pattern[i] == QLatin1Char('*'));
    if (plen == 1) return true;
    const qsizetype second = pattern.indexOf(QLatin1Char('*'), 1);
    if (second >= 0) {
        // "*text*": the text anywhere inside the segment.
        const qsizetype len = second - 1;
        for (qsizetype at = begin; at + len <= end; ++at)
            if (occursAt(pattern, 1, second, name, at)) return true;
        return false;
    }
    // "*text": the segment ends with the text.
    const qsizetype len = plen - 1;
    return end - begin >= len && occursAt(pattern, 1, plen, name, end - len);
}

TFZMasks& uiMasks() {
    static TFZMasks masks;
    return masks;
}

}  // namespace

void TFZMasks::load(List& list, const QString& text, bool split) {
    list.count = 0;
    const QString low = lowered(text);
    for (const QString& mask : low.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (list.count == MaxMasks) break;
        const int n = list.count++;
        const qsizetype dot = split ? mask.lastIndexOf(QLatin1Char('.')) : -1;
        if (dot < 0) {
            list.names[n] = mask.left(MaxMaskLength);
            list.extensions[n].clear();
        } else {
            list.names[n] = mask.left(dot).left(MaxMaskLength);
            list.extensions[n] = mask.mid(dot + 1).left(MaxMaskLength);
        }
    }
}

void TFZMasks::set(const QString& include, const QString& exclude, const QString& folders) {
    include_.active = !include.isEmpty() && include != QLatin1String("*") &&
                      include != QLatin1String("*.*");
    exclude_.active = !exclude.isEmpty();
    folders_.active = !folders.isEmpty();
    include_.count = exclude_.count = folders_.count = 0;
    if (include_.active) load(include_, include, true);
    if (exclude_.active) load(exclude_, exclude, true);
    if (folders_.active) load(folders_, folders, false);
}

bool TFZMasks::matchesAny(const List& list, const QString& name, qsizetype dot) {
    const qsizetype nameEnd = dot < 0 ? name.size() : dot;
    const qsizetype extBegin = dot < 0 ? name.size() : dot + 1;
    for (int i = 0; i < list.count; ++i)
        if (matchSegment(list.names[i], name, 0, nameEnd) &&
            matchSegment(list.extensions[i], name, extBegin, name.size()))
            return true;
    return false;
}

bool TFZMasks::matchFile(const QString& name) const {
    if (!include_.active && !exclude_.active) return true;
    const QString low = lowered(name);
    const qsizetype dot = low.lastIndexOf(QLatin1Char('.'));
    if (include_.active && !matchesAny(include_, low, dot)) return false;
    return !(exclude_.active && matchesAny(exclude_, low, dot));
}

bool TFZMasks::matchFolder(const QString& name) const {
    if (name == QLatin1String("..")) return false;
    if (!folders_.active) return true;
    const QString low = lowered(name);
    for (int i = 0; i < folders_.count; ++i)
        if (matchSegment(folders_.names[i], low, 0, low.size())) return false;
    return true;
}

void FZSetMasks(const QString& include, const QString& exclude, const QString& folders) {
    uiMasks().set(include, exclude, folders);
}

bool FZMatchFileMasks(const QString& name) {
    return uiMasks().matchFile(name);
}

bool FZMatchFolderMasks(const QString& name) {
    return uiMasks().matchFolder(name);
}

}  // namespace tandex::access
