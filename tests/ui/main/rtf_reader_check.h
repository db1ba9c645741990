#pragma once
// One run of the RTF reader over hostile bytes, shared by the libFuzzer
// target and the test that feeds it random input with a fixed seed.

#include <QByteArray>
#include <QRandomGenerator>
#include <QTextDocument>

#include "ui/main/rtf_reader.h"

namespace rtf_check {

// Bytes drawn mostly from the marks and words the reader knows, so that
// random runs reach its tables, numbers and groups and not only plain text.
inline QByteArray randomRtf(QRandomGenerator& random, int maxPieces) {
    static const char* const pieces[] = {
        "{", "}", "\\", "\\'", "\\'9", "\\'95", "\\u", "\\u-", "\\uc", "\\fonttbl", "\\colortbl",
        "\\red", "\\green", "\\blue", "\\cf", "\\f", "\\fs", "\\b", "\\b0", "\\i", "\\ul", "\\ulnone",
        "\\par", "\\pard", "\\line", "\\tab", "\\*", "\\deff", ";", " ", "0", "9", "-", "12345678901",
        "a", "\xe9", "\x95", "\r\n", "\\\\", "\\{", "\\}", "?",
    };
    QByteArray out;
    const int count = int(random.bounded(maxPieces));
    for (int i = 0; i < count; ++i) out += pieces[random.bounded(int(std::size(pieces)))];
    return out;
}

// The reader must return, and every character of the document must come
// from at least one byte of the input.
inline bool readsCleanly(const QByteArray& input) {
    QTextDocument doc;
    tandex::ui::ReadRtf(input, doc);
    return doc.characterCount() <= input.size() + 1;
}

}  // namespace rtf_check
