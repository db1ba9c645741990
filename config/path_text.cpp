#include "config/path_text.h"

#include <algorithm>

namespace tandex::config {

QString ExtractPathWithDelim(const QString& path) {
    return path.left(path.lastIndexOf(u'/') + 1);
}

QString ExtractPathNoDelim(const QString& path) {
    const qsizetype i = path.lastIndexOf(u'/');
    return i < 0 ? QString() : path.left(i);
}

QString ExtractNamePart(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString ExtractLastComponent(const QString& path) {
    const QString last = ExtractNamePart(path);
    return last.isEmpty() ? path : last;
}

QString ExtractExtension(const QString& name) {
    const qsizetype i = name.lastIndexOf(u'.');
    return i < 0 ? QString() : name.mid(i);
}

void BackslashesToSlashes(QString& text) {
    text.replace(u'\\', u'/');
}
void SlashesToBackslashes(QString& text) {
    text.replace(u'/', u'\\');
}

void SlashesToBackslashesBuf(QChar* buffer, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        if (buffer[i] == u'/') buffer[i] = u'\\';
}

QString ReplaceCharFrom(const QString& text, QChar from, QChar to, qsizetype start) {
    QString result = text;
    if (from == to || text.size() < start) return result;
    for (qsizetype i = std::max<qsizetype>(start, 1) - 1; i < result.size(); ++i)
        if (result[i] == from) result[i] = to;
    return result;
}

qsizetype CountChar(QChar c, const QString& text) {
    return text.count(c);
}

QString TrimTrailingBlanks(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text[n - 1] == u' ')
        --n;
    return text.left(n);
}

namespace {

const QString kMarker = QStringLiteral("...");

// The folder part while it shrinks. The marker is known by a flag, not by
// its dots, because "..." and ".x" are ordinary folder names here.
struct ShrinkingFolder {
    bool lead = false;    // begins with "/"
    bool marked = false;  // "..." + "/" stands after the lead
    QString rest;         // the folders still shown, each with its "/"

    QString text() const {
        return (lead ? QStringLiteral("/") : QString()) + (marked ? kMarker + u'/' : QString()) +
               rest;
    }
    bool isEmpty() const { return !lead && !marked && rest.isEmpty(); }
    bool isLoneMarker() const { return lead && marked && rest.isEmpty(); }

    // One leading folder gives way to the marker: "/a/b/c/" becomes
    // "/.../b/c/", then "/.../c/", then "/.../".
    void ShortenLeadingFolder() {
        if (lead && !marked && rest.isEmpty()) {
            lead = false;
            return;
        }
        const qsizetype sep = rest.indexOf(u'/');
        if (sep < 0) {
            // Nothing left to give but the marker: the folder goes.
            lead = marked = false;
            rest.clear();
            return;
        }
        rest.remove(0, sep + 1);
        marked = true;
    }
};

qsizetype schemeLength(const QString& folder) {
    static const struct {
        const char* scheme;
        qsizetype length;
    } schemes[] = {{"ftp://", 6}, {"dbox://", 7}, {"http://", 7}, {"https://", 8}};
    for (const auto& s : schemes)
        if (folder.startsWith(QLatin1String(s.scheme), Qt::CaseSensitive)) return s.length;
    return 0;
}

}  // namespace

QString ShortenPathPartsToWidth(const TextWidthFn& textWidth, const QString& folder,
                                const QString& name, int width) {
    width = std::max(width, 30);
    const qsizetype k = schemeLength(folder);
    QString result = folder + name;

    QString head;
    if (k > 0) {
        const qsizetype hostEnd = folder.indexOf(u'/', k);
        head = hostEnd < 0 ? folder : folder.left(hostEnd);
    } else if (folder.startsWith(QStringLiteral("//"))) {
        // A share keeps "//host/share" in front as long as possible.
        qsizetype end = folder.indexOf(u'/', 2);
        if (end >= 0) end = folder.indexOf(u'/', end + 1);
        head = end < 0 ? folder : folder.left(end);
    }
    ShrinkingFolder shown;
    shown.rest = folder.mid(head.size());
    if (shown.rest.startsWith(u'/')) {
        shown.lead = true;
        shown.rest.remove(0, 1);
    }

    while ((!shown.isEmpty() || !head.isEmpty()) && textWidth(result) > width) {
        if (shown.isLoneMarker()) {
            if (k > 0 && head.size() > k) {
                // "ftp://host" + "/.../" becomes "ftp://.../": the marker
                // supplies the scheme's last "/".
                head = head.left(k - 1);
            } else {
                head.clear();
                shown.lead = false;
            }
        } else if (shown.isEmpty()) {
            head.clear();
        } else {
            shown.ShortenLeadingFolder();
        }
        result = head + shown.text() + name;
    }

    // Still too wide: cut the middle, keeping "..." there.
    while (textWidth(result) > width) {
        const qsizetype g = result.size() / 2 - 2;
        if (g < 4) break;
        result.remove(g - 1, 1);
        result.replace(g - 1, 3, kMarker);
    }
    return result;
}

QString ShortenPathToWidth(const TextWidthFn& textWidth, const QString& path, int width) {
    if (path.isEmpty()) return QString();
    return ShortenPathPartsToWidth(textWidth, ExtractPathWithDelim(path), ExtractNamePart(path),
                                   width);
}

}  // namespace tandex::config
