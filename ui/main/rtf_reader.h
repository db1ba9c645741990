#pragma once
// A small RTF reader: one pass over the bytes fills a QTextDocument, one
// character format per run of equal formatting, one block per paragraph.
// It knows the words the program's own RTF uses (help topics, run logs and
// the update's version history): groups, the font and colour tables,
// colour, font, size, bold, italic, underline, paragraphs, line breaks,
// tabs, the escaped braces and backslash, Unicode characters with their
// fallback (a \u10 reads as a line break) and Windows-1252 bytes. A {\*...} group is skipped; any other
// control word is ignored. It needs no widget.
//
// The version history comes from a server, so the input is hostile: the
// size read and the group nesting are bounded, numbers are clamped, and no
// input makes it crash or loop.

#include <QByteArrayView>
#include <QString>
#include <functional>

class QTextDocument;

namespace tandex::ui {

// The family the document uses for a font named in the font table.
using TRtfFontMap = std::function<QString(const QString& rtfName)>;

// Bytes past this are not read, unless the caller names its own limit.
inline constexpr qsizetype RtfMaxSize = 16 * 1024 * 1024;
// Groups nested deeper than this are skipped whole.
inline constexpr int RtfMaxDepth = 100;

// Replaces the document's content with the text of rtf, reading at most
// maxSize bytes. Returns false when a limit cut the reading short (what was
// read stays in the document).
bool ReadRtf(QByteArrayView rtf, QTextDocument& document, const TRtfFontMap& mapFont = {},
             qsizetype maxSize = RtfMaxSize);

}  // namespace tandex::ui
