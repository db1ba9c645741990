#pragma once
// Shared by the zip tests: temporary folders, outside tools run with a
// fixed time zone and locale, the listing Info-ZIP's zipinfo and unzip
// give of an archive, and the small stored-data insertion hook that
// stands in for the component's compression.

#include "archive/archive_utils.h"
#include "archive/zip_archive.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <optional>
#include <vector>

namespace zip_test {

using namespace tandex::archive;

inline QByteArray readFile(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& name, const QByteArray& data) {
    QFile f(name);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

inline bool haveTool(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// A shell command in the folder, with UTC and a UTF-8 locale so listings
// compare exactly.
inline ToolRun shell(const QString& command, const QString& dir) {
    QProcess p;
    p.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    ToolRun r;
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

struct Listed {
    QString name;
    uint64_t size = 0;
    uint64_t packed = 0;
    QString method;  // zipinfo's short form: stor, defN, bzp2, ...
    QString stamp;   // yyyymmdd.hhmmss of the DOS date and time
    uint32_t crc = 0;
    bool operator==(const Listed&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Listed& e) {
    return os << e.name.toStdString() << " " << e.size << " " << e.packed << " "
              << e.method.toStdString() << " " << e.stamp.toStdString() << " " << std::hex << e.crc
              << std::dec;
}

// zipinfo's listing with unzip's CRCs (zipinfo shows none), entry by entry.
inline std::vector<Listed> toolListing(const QString& zipPath) {
    std::vector<Listed> out;
    const QFileInfo info(zipPath);
    const ToolRun zi = shell(QStringLiteral("zipinfo -T -l '%1'").arg(info.fileName()), info.path());
    const ToolRun uv = shell(QStringLiteral("unzip -v '%1'").arg(info.fileName()), info.path());
    std::vector<uint32_t> crcs;
    for (const QByteArray& line : uv.out.split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() >= 8 && f[6].size() == 8 && f[0] != "--------") {
            bool ok = false;
            const uint32_t crc = f[6].toUInt(&ok, 16);
            bool numeric = false;
            f[0].toULongLong(&numeric);
            if (ok && numeric) crcs.push_back(crc);
        }
    }
    for (const QByteArray& raw : zi.out.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.size() < 10 || !(line[0] == u'-' || line[0] == u'd' || line[0] == u'?' || line[0] == u'p' ||
                                  line[0] == u'l'))
            continue;
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        if (f.size() < 9) continue;
        Listed e;
        e.size = f[3].toULongLong();
        e.packed = f[5].toULongLong();
        e.method = f[6];
        e.stamp = f[7];
        // The name is the rest of the line after the stamp.
        e.name = line.mid(line.indexOf(f[7]) + f[7].size() + 1);
        out.push_back(e);
    }
    for (size_t i = 0; i < out.size() && i < crcs.size(); ++i) out[i].crc = crcs[i];
    return out;
}

inline QString methodName(const TArcZipItem& item) {
    switch (item.CompressionMethod()) {
        case 0:
            return QStringLiteral("stor");
        case 1:
            return QStringLiteral("shrk");
        case 6:
            return QStringLiteral("i%1:%2")
                .arg(item.ImplodeDictionarySize() / 1024)
                .arg(item.ImplodeTreeCount());
        case 8: {
            static const char* kinds[] = {"defN", "defX", "defF", "defS"};
            return QString::fromLatin1(kinds[(item.GeneralPurposeBitFlag() >> 1) & 3]);
        }
        case 9:
            return QStringLiteral("def64");
        case 12:
            return QStringLiteral("bzp2");
        case 14:
            return QStringLiteral("lzma");
        case 98:
            return QStringLiteral("ppmd");
        default:
            return QStringLiteral("u%1").arg(item.CompressionMethod(), 3, 10, QLatin1Char('0'));
    }
}

inline QString dosStamp(uint16_t date, uint16_t time) {
    return QString::asprintf("%04d%02d%02d.%02d%02d%02d", 1980 + (date >> 9), (date >> 5) & 15,
                             date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
}

inline std::vector<Listed> ourListing(TArcZipArchive& archive) {
    std::vector<Listed> out;
    for (int i = 0; i < archive.GetCount(); ++i) {
        const TArcZipItem& item = *archive.ZipItem(i);
        out.push_back({item.GetFileName(), item.GetUncompressedSize(), item.GetCompressedSize(),
                       methodName(item), dosStamp(item.GetLastModFileDate(), item.GetLastModFileTime()),
                       item.GetCRC32()});
    }
    return out;
}

// 2024-01-02 03:04:06 local time.
constexpr uint16_t kTestDate = (44 << 9) | (1 << 5) | 2;
constexpr uint16_t kTestTime = (3 << 11) | (4 << 5) | 3;

inline void storeInto(TArcZipItem& item, Stream& output, const QByteArray& data) {
    output.WriteBuffer(data.constData(), data.size());
    item.SetCompressionMethod(0);
    item.SetCRC32(Crc32OfString(data));
    item.SetUncompressedSize(static_cast<uint64_t>(data.size()));
    item.SetCompressedSize(static_cast<uint64_t>(data.size()));
    item.SetLastModFileDate(kTestDate);
    item.SetLastModFileTime(kTestTime);
}

inline QByteArray readAll(Stream& source) {
    source.Seek(0, soBeginning);
    QByteArray data(static_cast<qsizetype>(source.Size()), Qt::Uninitialized);
    source.ReadBuffer(data.data(), data.size());
    return data;
}

// Stores new data uncompressed: from the item's file, or from its stream.
inline void installStoredHooks(TArcZipArchive& archive) {
    archive.InsertHelper = [](TArcZipItem& item, Stream& output) {
        FileStream file(item.DiskFileName, fmOpenRead);
        storeInto(item, output, readAll(file));
    };
    archive.InsertFromStreamHelper = [](TArcZipItem& item, Stream& output, Stream& source) {
        storeInto(item, output, readAll(source));
    };
}

inline std::shared_ptr<Stream> memoryOf(const QByteArray& data) {
    return std::make_shared<MemoryStream>(data);
}

// Fixed pseudo-random bytes; the generator is ours so the data never
// changes between library versions.
inline QByteArray noise(int size, uint32_t seed) {
    QByteArray out(size, Qt::Uninitialized);
    uint32_t x = seed * 2654435761u + 1;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x >> 24);
    }
    return out;
}

}  // namespace zip_test
