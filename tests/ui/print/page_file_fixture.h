#pragma once
// Pages and page files for the page-store and preview tests.

#include <QBuffer>
#include <QtEndian>
#include <optional>
#include <vector>

#include "emf_test_pages.h"

namespace page_file {

// A small page whose bytes differ with n.
inline QByteArray smallPage(int n) {
    return emf_test::recordPage(
        [n](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(n % 256, 0, 0));
            p.drawRect(QRectF(n % 50, 3, 10, 10));
        },
        QSize(64, 48), QSize());
}

inline void putI32(QByteArray& out, qint32 v) {
    const qint32 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

// The page-setup header: A4 portrait unless told otherwise.
inline QByteArray setupHeader(qint32 orientation = 0, qint32 type = 8, qint32 width = 21000,
                              qint32 height = 29700) {
    QByteArray out("TXPIP\x05", 6);
    putI32(out, orientation);
    putI32(out, type);
    putI32(out, width);
    putI32(out, height);
    return out;
}

// The page-list block with the offsets the pages give, unless offsets or
// the length are given.
inline QByteArray pageList(const std::vector<QByteArray>& pages, std::vector<qint32> offsets = {},
                           std::optional<qint32> length = {}, std::optional<qint32> count = {}) {
    QByteArray data;
    std::vector<qint32> natural;
    for (const QByteArray& p : pages) {
        natural.push_back(qint32(data.size()));
        data.append(p);
    }
    if (offsets.empty() && !count) offsets = natural;
    QByteArray out("TXPLP\x05", 6);
    putI32(out, length ? *length : qint32(data.size()));
    putI32(out, count ? *count : qint32(offsets.size()));
    for (qint32 o : offsets) putI32(out, o);
    out.append(data);
    return out;
}

inline QByteArray pageFile(const std::vector<QByteArray>& pages) {
    return setupHeader() + pageList(pages);
}

inline std::vector<QByteArray> smallPages(int count) {
    std::vector<QByteArray> out;
    for (int i = 0; i < count; ++i) out.push_back(smallPage(i));
    return out;
}

}  // namespace page_file
