#pragma once
// zlib as the independent check of the deflate engine, shared by the codec
// tests and the inflate fuzz target.

#include <zlib.h>
#include <QByteArray>

#include <optional>
#include <vector>

namespace codec_test {

// zlib's raw inflate; nullopt when zlib refuses the stream. `consumed`
// receives how many input bytes the stream took, which is exact for raw
// deflate: zlib gives back what it read ahead.
inline std::optional<QByteArray> zlibInflate(const QByteArray& raw, qint64* consumed = nullptr) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    QByteArray out;
    char buf[65536];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.constData()));
    z.avail_in = uInt(raw.size());
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, int(sizeof buf - z.avail_out));
    } while (rc == Z_OK);
    if (consumed) *consumed = qint64(z.total_in);
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

// A flush zlib makes after the first `at` input bytes: Z_SYNC_FLUSH or
// Z_FULL_FLUSH, each ending in an empty stored block, or Z_BLOCK, which
// ends the block where it stands (no byte boundary). With a level, zlib
// goes on at that level after it: at 0 a stored block follows directly.
struct ZlibFlush {
    qsizetype at;
    int kind;
    int level = -1;
};

// zlib's raw deflate, flushing where asked (points in ascending order).
// `marks`, when given, receives the output size right after each flush.
inline QByteArray zlibDeflate(const QByteArray& in, int level, int strategy = Z_DEFAULT_STRATEGY,
                              const std::vector<ZlibFlush>& flushes = {},
                              std::vector<qsizetype>* marks = nullptr) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy);
    QByteArray out;
    char buf[65536];
    qsizetype fed = 0;
    auto run = [&](qsizetype upTo, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData() + fed));
        z.avail_in = uInt(upTo - fed);
        fed = upTo;
        // Called again as long as zlib fills the whole buffer, as its
        // manual asks for every kind of flush.
        do {
            z.next_out = reinterpret_cast<Bytef*>(buf);
            z.avail_out = sizeof buf;
            deflate(&z, flush);
            out.append(buf, int(sizeof buf - z.avail_out));
        } while (z.avail_out == 0);
    };
    for (const ZlibFlush& f : flushes) {
        run(f.at, f.kind);
        if (f.level >= 0) {
            z.next_out = reinterpret_cast<Bytef*>(buf);
            z.avail_out = sizeof buf;
            deflateParams(&z, f.level, strategy);
            out.append(buf, int(sizeof buf - z.avail_out));
        }
        if (marks) marks->push_back(out.size());
    }
    run(in.size(), Z_FINISH);
    deflateEnd(&z);
    return out;
}

}  // namespace codec_test
