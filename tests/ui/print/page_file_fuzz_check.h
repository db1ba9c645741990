#pragma once
// What the page-file fuzz target and the replay of its kept inputs check:
// any bytes either raise EPreviewLoadError or load into pages that save
// back to the very bytes they came from; nothing else may happen.

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
        return out == bytes.left(out.size());
    } catch (const tandex::print::EPreviewLoadError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace page_file_fuzz
