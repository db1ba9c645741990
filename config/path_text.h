#pragma once
// Splitting and shortening of locations. Local, remote and archive paths are
// all split on "/" alone: "\" and ":" are ordinary characters in Linux names.

#include <QString>
#include <functional>

namespace tandex::config {

// Up to and including the last "/" (empty when there is none).
QString ExtractPathWithDelim(const QString& path);
// Before the last "/" (empty when there is none).
QString ExtractPathNoDelim(const QString& path);
// Behind the last "/" (the whole text when there is none).
QString ExtractNamePart(const QString& path);
// Behind the last "/"; the whole text when it ends with "/".
QString ExtractLastComponent(const QString& path);
// From the last "." on, the dot included; empty without a ".".
QString ExtractExtension(const QString& name);

void BackslashesToSlashes(QString& text);
void SlashesToBackslashes(QString& text);
void SlashesToBackslashesBuf(QChar* buffer, qsizetype n);
// A copy in which every `from` at 1-based position `start` or later is `to`.
QString ReplaceCharFrom(const QString& text, QChar from, QChar to, qsizetype start);
qsizetype CountChar(QChar c, const QString& text);
// Drops trailing blanks (character 32 only).
QString TrimTrailingBlanks(const QString& text);

// Pixel width of a text in the font the caller draws with; the windows pass
// one built on their font metrics.
using TextWidthFn = std::function<int(const QString&)>;

// Folder + name shortened with "..." to fit `width` pixels (at least 30):
// leading folders give way first, then the head (the scheme and host of a
// remote location, "//host/share" of a share), then the name's middle.
QString ShortenPathPartsToWidth(const TextWidthFn& textWidth, const QString& folder,
                                const QString& name, int width);
// The same for a whole path, split at its last "/"; empty for an empty path.
QString ShortenPathToWidth(const TextWidthFn& textWidth, const QString& path, int width);

}  // namespace tandex::config
