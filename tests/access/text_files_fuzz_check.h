#pragma once
// One run of kind detection, the line reader and the text writer over
// hostile bytes, shared by the libFuzzer target and the test that replays
// the inputs in data/ that once broke them.
//
// The first byte picks the run: bits 0-3 the kind (0 and 10-15 detect it,
// else 5, 7, 8, 9, 10, 11, 12, 1, 3 forced), bits 4-5 the tab width (4, 0,
// 3, 16), bit 6 a line limit of 64 instead of none, bit 7 the rest repeated
// past the slot's 128 KB buffer, so that every byte of it meets the buffer's
// edge once. Every line must keep to the limit, the reader must end, and
// where a text is kept byte for byte (no limit, a line break at the end, no
// SUB, a mark where the kind has one, whole UTF-16 units none of which is the
// DEL stand-in) the written file must equal the input.

#include "access/access_slots.h"
#include "access/text_files.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace tandex::access::fuzz {

inline QByteArray readBack(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Whether the reader and writer promise to give these bytes back unchanged.
inline bool keptByteForByte(const QByteArray& data, int kind) {
    const auto* b = reinterpret_cast<const quint8*>(data.constData());
    const qsizetype n = data.size();
    if (n == 0) return false;
    if (kind == fkAnsi || kind == fkUtf8 || kind == fkUtf8Bom) {
        if (b[n - 1] != 10 && b[n - 1] != 13) return false;
        if (data.contains('\x1a')) return false;
        return kind != fkUtf8Bom || data.startsWith("\xEF\xBB\xBF");
    }
    if (n % 2) return false;
    const bool big = kind == fkUtf16Be || kind == fkUtf16BeBom;
    for (qsizetype i = 0; i < n; i += 2) {
        const char16_t c = big ? char16_t((b[i] << 8) | b[i + 1]) : char16_t(b[i] | (b[i + 1] << 8));
        if (c == 26 || c == FZDelChar) return false;
        if (i + 2 == n && c != 10 && c != 13) return false;
    }
    if (kind == fkUtf16LeBom) return data.startsWith("\xFF\xFE");
    if (kind == fkUtf16BeBom) return data.startsWith("\xFE\xFF");
    return true;
}

// Empty when the run was clean, else what went wrong.
inline QString runText(const QByteArray& input, const QString& folder) {
    if (input.isEmpty()) return {};
    const quint8 mode = quint8(input[0]);
    QByteArray data = input.mid(1);
    if ((mode & 0x80) && !data.isEmpty()) {
        const QByteArray unit = data;
        while (data.size() < qsizetype(FZTextBufferSize) + unit.size() + 1)
            data += unit;
    }
    static constexpr int forced[] = {0, fkAnsi, fkUtf8Bom, fkUtf8, fkUtf16LeBom, fkUtf16Le,
                                     fkUtf16BeBom, fkUtf16Be, fkBinary, fkImage};
    static constexpr int widths[] = {4, 0, 3, 16};
    const int limit = (mode & 0x40) ? 64 : 0;

    const QString in = folder + QStringLiteral("/in.txt");
    const QString out = folder + QStringLiteral("/out.txt");
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
            return QStringLiteral("cannot write the input");
    }
    int src = FZNoSlot, dst = FZNoSlot;
    if (FZOpen(in, twReadAccess, false, src) != 0) return QStringLiteral("cannot open the input");
    int kind = 0, byRule = 0;
    if (FZDetectFileKind(src, kind, byRule) != 0) {
        FZClose(src);
        return QStringLiteral("detection failed");
    }
    if ((mode & 15) >= 1 && (mode & 15) <= 9) kind = forced[mode & 15];
    FZSetFileKind(src, kind);
    FZSetSlotTextOptions(src, widths[(mode >> 4) & 3], limit, -1);
    if (FZOpen(out, twWriteAccess, false, dst) != 0) {
        FZClose(src);
        return QStringLiteral("cannot open the output");
    }
    FZSetFileKind(dst, kind);
    FZSetSlotTextOptions(dst, widths[(mode >> 4) & 3], limit, 0);

    QString failure;
    QString text;
    // Every line takes at least one byte, so more reads than bytes mean the
    // reader stopped moving.
    for (qsizetype reads = 0;; ++reads) {
        if (reads > data.size() + 1) {
            failure = QStringLiteral("the reader does not end");
            break;
        }
        const int r = FZReadLine(src, text);
        if (limit && text.size() > limit) {
            failure = QStringLiteral("a line of %1 characters over the limit").arg(text.size());
            break;
        }
        if (r != 0 && r != 38) {
            if (FZIsTextKind(kind) || r != 87) failure = QStringLiteral("read result %1").arg(r);
            break;
        }
        if (r == 38 && FZReadLineAtEnd(src)) break;
        FZSetLineBreakKind(dst, FZLineBreakKind(src));
        if (const int w = FZWriteText(dst, text)) {
            failure = QStringLiteral("write result %1").arg(w);
            break;
        }
        if (r == 38) break;
    }
    FZClose(src);
    if (const int r = FZClose(dst); r && failure.isEmpty())
        failure = QStringLiteral("close result %1").arg(r);
    if (failure.isEmpty() && !limit && FZIsTextKind(kind) && keptByteForByte(data, kind) &&
        readBack(out) != data)
        failure = QStringLiteral("kind %1 not written back byte for byte").arg(kind);
    return failure;
}

}  // namespace tandex::access::fuzz
