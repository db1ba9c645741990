// Timings of the copy engine on real files.
//
//   copy-bench SRCFOLDER DSTFOLDER [BUFSIZE-INDEX] [BUFFERS]
//       copies every regular file of SRCFOLDER (not its subfolders) into
//       DSTFOLDER through the reader, the ring and the writer thread, with a
//       scripted host that starts at once and asks nobody; then copies them
//       again with a plain read/write/fdatasync loop of the same buffer
//       size into DSTFOLDER/plain/ as the baseline. Prints
//       files=N bytes=N engine_ms=T plain_ms=T ratio=R
//
// Exits 0 on success, else non-zero with the error on stderr.

#include "ui/folders/copy_engine.h"

#include "config/app_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>
#include <cstdio>
#include <vector>

using namespace tandex::folders;

namespace {

class BenchHost : public TCopyHost {
public:
    void WaitForStart(TCopyEngine& engine) override { engine.Start(); }
};

bool plainCopy(const QString& from, const QString& to, int bufSize) {
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return false;
    std::vector<char> buf(static_cast<size_t>(bufSize));
    for (;;) {
        const qint64 n = in.read(buf.data(), bufSize);
        if (n < 0) return false;
        if (n == 0) break;
        if (out.write(buf.data(), n) != n) return false;
    }
    // The engine's commit syncs the data before the rename; so does this.
    return out.flush() && ::fdatasync(out.handle()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: copy-bench SRCFOLDER DSTFOLDER [BUFSIZE-INDEX] [BUFFERS]\n");
        return 2;
    }
    const QString src = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + "/";
    const QString dst = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + "/";
    auto& s = tandex::config::AppSettings();
    s.CSBufSize = argc > 3 ? std::atoi(argv[3]) : 5;
    s.CSNumDatBuf = argc > 4 ? std::atoi(argv[4]) : 64;
    s.CSOverWrite = true;
    s.ESMaxRetry = 0;
    QDir().mkpath(dst + "plain");

    const QFileInfoList files = QDir(src).entryInfoList(QDir::Files, QDir::Name);
    BenchHost host;
    TCopyEngine engine(&host);
    engine.Prepare(1);
    qint64 bytes = 0;
    for (const QFileInfo& f : files) {
        engine.AddJob(src, f.fileName(), f.size(), 0, f.fileName(), dst);
        bytes += f.size();
    }
    engine.TotalBytes = bytes;
    QElapsedTimer t;
    t.start();
    engine.Execute(1, dst);
    const qint64 engineMs = t.elapsed();
    if (engine.FilesCopied.load() != files.size()) {
        std::fprintf(stderr, "copied %d of %d files\n", engine.FilesCopied.load(), int(files.size()));
        return 1;
    }
    t.restart();
    for (const QFileInfo& f : files)
        if (!plainCopy(f.filePath(), dst + "plain/" + f.fileName(), CopyBufSizeOf(s.CSBufSize))) {
            std::fprintf(stderr, "plain copy of %s failed\n", qPrintable(f.fileName()));
            return 1;
        }
    const qint64 plainMs = t.elapsed();
    std::printf("files=%d bytes=%lld engine_ms=%lld plain_ms=%lld ratio=%.2f\n", int(files.size()),
                static_cast<long long>(bytes), static_cast<long long>(engineMs), static_cast<long long>(plainMs),
                plainMs > 0 ? double(engineMs) / double(plainMs) : 0.0);
    return 0;
}
