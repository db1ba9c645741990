// deflate-bench: the deflate engine against zlib, and a file tool whose
// output other programs can check.
//
//   deflate-bench deflate LEVEL IN OUT    raw deflate stream; LEVEL 0-9 picks
//                                         the preset 0 '0', 1 's', 2-3 'f',
//                                         4-6 'n', 7-9 'x' (letters s f n x too)
//   deflate-bench inflate IN OUT          decode a raw deflate stream
//   deflate-bench inflate64 IN OUT        decode a raw Deflate64 stream
//   deflate-bench [FILE|FOLDER ...]       timed runs over a corpus (default:
//                                         the Qt 6 libraries and headers)

#include "archive/deflate.h"
#include "archive/inflate.h"
#include "archive/streams.h"

#include <zlib.h>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace tandex::archive;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: deflate-bench deflate LEVEL IN OUT | inflate IN OUT | inflate64 IN OUT | "
                 "[PATH ...]\n");
    return 2;
}

bool presetOf(const std::string& level, char& letter) {
    if (level.size() != 1) return false;
    const char c = level[0];
    switch (c) {
        case '0':
            letter = '0';
            return true;
        case '1':
            letter = 's';
            return true;
        case '2':
        case '3':
            letter = 'f';
            return true;
        case '4':
        case '5':
        case '6':
            letter = 'n';
            return true;
        case '7':
        case '8':
        case '9':
            letter = 'x';
            return true;
        case 's':
        case 'f':
        case 'n':
        case 'x':
            letter = c;
            return true;
        default:
            return false;
    }
}

// The zip insertion's way: '0' first, so the preset is applied even when
// it is the letter a new helper already carries.
TArcDeflateHelper helperFor(char letter) {
    TArcDeflateHelper h;
    h.SetLevelLetter('0');
    h.SetLevelLetter(letter);
    return h;
}

int fileTool(int argc, char** argv) {
    const std::string cmd = argv[1];
    // A failed run removes what it wrote, so no partial output can pass for a
    // result; an output that could not be created is left alone.
    QString outName;
    bool created = false;
    try {
        if (cmd == "deflate" && argc == 5) {
            char letter;
            if (!presetOf(argv[2], letter)) return usage();
            FileStream in(QString::fromLocal8Bit(argv[3]), fmOpenRead);
            outName = QString::fromLocal8Bit(argv[4]);
            FileStream out(outName, fmCreate);
            created = true;
            TArcDeflateHelper h = helperFor(letter);
            Deflate(in, out, &h);
            return 0;
        }
        if ((cmd == "inflate" || cmd == "inflate64") && argc == 4) {
            FileStream in(QString::fromLocal8Bit(argv[2]), fmOpenRead);
            outName = QString::fromLocal8Bit(argv[3]);
            FileStream out(outName, fmCreate);
            created = true;
            TArcDeflateHelper h;
            if (cmd == "inflate64") h.SetOptionBits(h.OptionBits() | Deflate64Format);
            Inflate(in, out, &h);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "deflate-bench: %s\n", e.what());
        if (created) QFile::remove(outName);
        return 1;
    }
    return usage();
}

// ---- timed runs -------------------------------------------------------------

using Clock = std::chrono::steady_clock;

struct Totals {
    double seconds = 0;
    qint64 bytes = 0;
};

QByteArray zlibDeflate(const QByteArray& in, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(in.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(int(z.total_out));
    deflateEnd(&z);
    return out;
}

bool zlibInflate(const QByteArray& in, QByteArray& out, qsizetype expected) {
    z_stream z{};
    inflateInit2(&z, -15);
    out.resize(expected);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return rc == Z_STREAM_END && qsizetype(z.total_out) == expected;
}

std::vector<QByteArray> loadCorpus(int argc, char** argv) {
    QStringList roots;
    for (int i = 1; i < argc; ++i)
        roots << QString::fromLocal8Bit(argv[i]);
    if (roots.isEmpty())
        roots << "/usr/include/x86_64-linux-gnu/qt6"
              << "/usr/lib/x86_64-linux-gnu";
    std::vector<QByteArray> files;
    for (const QString& root : roots) {
        QFileInfo info(root);
        QStringList names;
        if (info.isFile()) {
            names << root;
        } else {
            QDirIterator it(root, QDir::Files | QDir::NoSymLinks,
                            root.endsWith("lib/x86_64-linux-gnu") ? QDirIterator::NoIteratorFlags
                                                                  : QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString name = it.next();
                // From the library folder only Qt's own shared libraries.
                if (root.endsWith("lib/x86_64-linux-gnu") &&
                    !QFileInfo(name).fileName().startsWith("libQt6"))
                    continue;
                names << name;
            }
        }
        names.sort();
        for (const QString& name : names) {
            QFile f(name);
            if (f.open(QIODevice::ReadOnly)) files.push_back(f.readAll());
        }
    }
    return files;
}

int timedRuns(int argc, char** argv) {
    const std::vector<QByteArray> files = loadCorpus(argc, argv);
    qint64 total = 0;
    for (const QByteArray& f : files)
        total += f.size();
    std::printf("corpus: %zu files, %.1f MB\n", files.size(), double(total) / 1e6);
    if (total == 0) return 1;

    struct Row {
        const char* name;
        char letter;  // 0 for zlib
        int level;
    };
    const Row rows[] = {{"ours 's'", 's', 0}, {"zlib 1", 0, 1},     {"ours 'n'", 'n', 0},
                        {"zlib 6", 0, 6},     {"ours 'x'", 'x', 0}, {"zlib 9", 0, 9}};
    double compSpeed[6] = {}, decompSpeed[6] = {}, packed[6] = {};
    bool ok = true;
    for (int r = 0; r < 6; ++r) {
        Totals comp, decomp;
        qint64 packedBytes = 0;
        for (const QByteArray& f : files) {
            QByteArray out;
            auto t0 = Clock::now();
            if (rows[r].letter) {
                MemoryStream in(f);
                MemoryStream dst;
                TArcDeflateHelper h = helperFor(rows[r].letter);
                Deflate(in, dst, &h);
                out = dst.Memory();
            } else {
                out = zlibDeflate(f, rows[r].level);
            }
            comp.seconds += std::chrono::duration<double>(Clock::now() - t0).count();
            packedBytes += out.size();

            // Each side decodes its own output: ours with ours, zlib's with
            // zlib, and the other decoder checks the bytes.
            QByteArray back;
            t0 = Clock::now();
            if (rows[r].letter) {
                MemoryStream in(out);
                MemoryStream dst;
                Inflate(in, dst);
                back = dst.Memory();
            } else {
                zlibInflate(out, back, f.size());
            }
            decomp.seconds += std::chrono::duration<double>(Clock::now() - t0).count();
            QByteArray check;
            if (rows[r].letter) {
                if (!zlibInflate(out, check, f.size()) || check != f) ok = false;
            } else {
                MemoryStream in(out);
                MemoryStream dst;
                Inflate(in, dst);
                if (dst.Memory() != f) ok = false;
            }
            if (back != f) ok = false;
        }
        compSpeed[r] = double(total) / comp.seconds / 1e6;
        decompSpeed[r] = double(total) / decomp.seconds / 1e6;
        packed[r] = double(packedBytes);
        std::printf("%-9s deflate %7.1f MB/s  inflate %7.1f MB/s  size %11lld (%.2f%%)\n",
                    rows[r].name, compSpeed[r], decompSpeed[r], static_cast<long long>(packedBytes),
                    100.0 * packed[r] / double(total));
    }
    std::printf("\nratios ours / zlib          deflate speed  inflate speed  size\n");
    const char* pairs[] = {"'s' vs 1", "'n' vs 6", "'x' vs 9"};
    for (int p = 0; p < 3; ++p) {
        const int a = 2 * p, b = 2 * p + 1;
        std::printf("%-27s %13.2f  %13.2f  %.4f\n", pairs[p], compSpeed[a] / compSpeed[b],
                    decompSpeed[a] / decompSpeed[b], packed[a] / packed[b]);
    }
    if (!ok) {
        std::fprintf(stderr, "deflate-bench: a round trip gave different bytes\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2) {
        const std::string cmd = argv[1];
        if (cmd == "deflate" || cmd == "inflate" || cmd == "inflate64") return fileTool(argc, argv);
        if (cmd == "-h" || cmd == "--help") return usage();
    }
    return timedRuns(argc, argv);
}
