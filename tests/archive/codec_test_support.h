#pragma once
// Shared by the codec tests: real inputs, zlib as the independent check,
// outside tools, and the few lines of gzip and zip framing the tests need
// to find a raw deflate stream (the archive formats themselves are not
// under test here).

#include "archive/deflate.h"
#include "archive/inflate.h"
#include "archive/streams.h"
#include "zlib_check.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtEndian>

#include <optional>

namespace codec_test {

using namespace tandex::archive;

inline QByteArray readFile(const QString& name, qint64 limit = -1) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return limit < 0 ? f.readAll() : f.read(limit);
}

inline bool writeFile(const QString& name, const QByteArray& data) {
    QFile f(name);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Real text: this project's own sources, well past one window.
inline QByteArray textInput() {
    static const QByteArray text = [] {
        QByteArray t;
        const QDir dir(QStringLiteral(TANDEX_SOURCE_DIR "/archive"));
        for (const QString& name : dir.entryList({"*.cpp", "*.h"}, QDir::Files, QDir::Name))
            t += readFile(dir.filePath(name));
        return t;
    }();
    return text;
}

// Real binary: machine code of this very test.
inline QByteArray binaryInput(qint64 size = 300000) {
    return readFile("/proc/self/exe", size);
}

inline QByteArray randomInput(qint64 size, quint32 seed = 7) {
    QByteArray r(size, Qt::Uninitialized);
    QRandomGenerator gen(seed);
    for (qint64 i = 0; i < size; ++i)
        r[i] = char(gen.bounded(256));
    return r;
}

inline quint32 crcOf(const QByteArray& data) {
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

inline QByteArray ourDeflate(const QByteArray& in, TArcDeflateHelper* helper = nullptr,
                             quint32* checksum = nullptr) {
    MemoryStream src(in);
    MemoryStream dst;
    const quint32 c = Deflate(src, dst, helper);
    if (checksum) *checksum = c;
    return dst.Memory();
}

inline QByteArray ourInflate(const QByteArray& raw, TArcDeflateHelper* helper = nullptr,
                             quint32* checksum = nullptr) {
    MemoryStream src(raw);
    MemoryStream dst;
    const quint32 c = Inflate(src, dst, helper);
    if (checksum) *checksum = c;
    return dst.Memory();
}

inline TArcDeflateHelper preset(char letter) {
    TArcDeflateHelper h;
    h.SetLevelLetter('0');
    h.SetLevelLetter(letter);
    return h;
}

// Runs a tool; nullopt when it is not installed.
inline std::optional<int> runTool(const QString& program, const QStringList& args,
                                  const QString& dir, QByteArray* output = nullptr) {
    if (QStandardPaths::findExecutable(program).isEmpty()) return std::nullopt;
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(120000)) return -1;
    if (output) *output = p.readAllStandardOutput();
    return p.exitCode();
}

// The raw deflate stream of a gzip file.
inline QByteArray gzipPayload(const QByteArray& gz) {
    if (gz.size() < 18 || quint8(gz[0]) != 0x1F || quint8(gz[1]) != 0x8B) return {};
    const quint8 flags = quint8(gz[3]);
    qsizetype pos = 10;
    if (flags & 4) pos += 2 + qFromLittleEndian<quint16>(gz.constData() + pos);
    if (flags & 8) pos = gz.indexOf('\0', pos) + 1;
    if (flags & 16) pos = gz.indexOf('\0', pos) + 1;
    if (flags & 2) pos += 2;
    return gz.mid(pos, gz.size() - pos - 8);
}

struct ZipEntry {
    quint16 flags = 0;
    quint16 method = 0;
    quint16 modTime = 0;
    quint32 crc = 0;
    QByteArray data;  // as stored (compressed, maybe encrypted)
};

// The first entry of a zip file, sizes taken from the central directory.
inline std::optional<ZipEntry> firstZipEntry(const QByteArray& zip) {
    const qsizetype eocd = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (eocd < 0 || eocd + 22 > zip.size()) return std::nullopt;
    const char* z = zip.constData();
    const quint32 cd = qFromLittleEndian<quint32>(z + eocd + 16);
    if (cd + 46 > quint32(zip.size())) return std::nullopt;
    ZipEntry e;
    e.flags = qFromLittleEndian<quint16>(z + cd + 8);
    e.method = qFromLittleEndian<quint16>(z + cd + 10);
    e.modTime = qFromLittleEndian<quint16>(z + cd + 12);
    e.crc = qFromLittleEndian<quint32>(z + cd + 16);
    const quint32 csize = qFromLittleEndian<quint32>(z + cd + 20);
    const quint32 local = qFromLittleEndian<quint32>(z + cd + 42);
    const quint32 data = local + 30 + qFromLittleEndian<quint16>(z + local + 26) +
                         qFromLittleEndian<quint16>(z + local + 28);
    e.data = zip.mid(data, csize);
    return e;
}

// A one-entry zip around data that is already compressed (and perhaps
// encrypted) as the flags and method say.
inline QByteArray oneEntryZip(const QByteArray& name, const ZipEntry& e, quint32 plainSize) {
    QByteArray out;
    auto u16 = [&out](quint32 v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto u32 = [&](quint32 v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const quint16 version = e.method == 9 ? 21 : 20;
    const quint16 date = (44 << 9) | (1 << 5) | 1;  // 2024-01-01
    out.append("PK\x03\x04", 4);
    u16(version);
    u16(e.flags);
    u16(e.method);
    u16(e.modTime);
    u16(date);
    u32(e.crc);
    u32(quint32(e.data.size()));
    u32(plainSize);
    u16(quint16(name.size()));
    u16(0);
    out.append(name).append(e.data);
    const quint32 cd = quint32(out.size());
    out.append("PK\x01\x02", 4);
    u16(version);
    u16(version);
    u16(e.flags);
    u16(e.method);
    u16(e.modTime);
    u16(date);
    u32(e.crc);
    u32(quint32(e.data.size()));
    u32(plainSize);
    u16(quint16(name.size()));
    u16(0);
    u16(0);
    u16(0);
    u16(0);
    u32(0);
    u32(0);
    out.append(name);
    const quint32 cdSize = quint32(out.size()) - cd;
    out.append("PK\x05\x06", 4);
    u16(0);
    u16(0);
    u16(1);
    u16(1);
    u32(cdSize);
    u32(cd);
    u16(0);
    return out;
}

}  // namespace codec_test
