#pragma once
// What the page-file fuzz target and the replay of its kept inputs check:
// any bytes either raise EPreviewLoadError or load into pages that save
// back to the bytes they came from (the tags' last two bytes, which the
// reader does not compare, written as they should be); nothing else may
// happen.

#include <QBuffer>

#include "ui/print/preview_document.h"

namespace page_file_fuzz {

inline bool loadsCleanly(QByteArray bytes) {
    try {
        tandex::print::PreviewDocument preview;
        // A small cache sends most pages through the temporary file.
        preview.SetCacheSize(2);
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        preview.LoadFromStream(in);
        for (int i = 1; i <= preview.TotalPages(); ++i)
            if (preview.Pages(i).isEmpty()) return false;
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        preview.SaveToStream(buffer);
        QByteArray expected = bytes.left(out.size());
        if (expected.size() >= 28) {
            expected.replace(4, 2, QByteArray("P\x05", 2));
            expected.replace(26, 2, QByteArray("P\x05", 2));
        }
        return out == expected;
    } catch (const tandex::print::EPreviewLoadError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace page_file_fuzz
