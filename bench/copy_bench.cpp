// The copy engine on a real tree, for bench/copy_bench.sh.
//
//   copy-bench SRC DST [BUFSIZE] [BUFFERS]
//
// Copies every regular file under SRC to the same relative path under DST
// through the reader, the ring and the writer thread, with "Overwrite
// existing files!" and "Copy empty files" on; BUFSIZE is the buffer-size
// index 0..7 (32 KiB << index, default 2), BUFFERS the number of buffers
// (default 200). Prints
//   files=N bytes=N errors=N ms=T
// and exits 0 when every file was copied, else non-zero with the error on
// stderr.

#include "ui/folders/copy_engine.h"

#include "config/app_settings.h"
#include "config/prg_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace tandex;

namespace {

class BenchHost : public folders::TCopyHost {
public:
    void WaitForStart(folders::TCopyEngine& engine) override { engine.Start(); }
    // The finished window is closed at once.
    void WaitForClose(folders::TCopyEngine& engine) override { engine.Cancel(); }
    void ShowMessage(const QString& text, const QString& caption, int) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption.trimmed()), qPrintable(text));
    }
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: copy-bench SRC DST [BUFSIZE] [BUFFERS]\n");
        return 2;
    }
    const QString src = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + "/";
    const QString dst = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + "/";
    if (!QFileInfo(src).isDir()) {
        std::fprintf(stderr, "copy-bench: %s is no folder\n", argv[1]);
        return 2;
    }
    // The copy log goes to a folder of its own, not the user's.
    QTemporaryDir config;
    config::TPrgDirSources sources;
    sources.executablePath = config.filePath("bin/tandex");
    sources.configHome = config.filePath("cfg");
    config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
    QDir().mkpath(config::PrgDir().GetWritableRoot());

    auto& s = config::AppSettings();
    s.CSBufSize = argc > 3 ? std::atoi(argv[3]) : 2;
    s.CSNumDatBuf = argc > 4 ? std::atoi(argv[4]) : 200;
    if (s.CSBufSize < 0 || s.CSBufSize > 7 || s.CSNumDatBuf < 1 || s.CSNumDatBuf > folders::kMaxCopyBuffers) {
        std::fprintf(stderr, "copy-bench: BUFSIZE is 0..7, BUFFERS 1..%d\n", folders::kMaxCopyBuffers);
        return 2;
    }
    s.CSOverWrite = true;
    s.CSZeroBytes = true;
    s.CSAutoClose = true;
    s.CSGenLog = false;
    s.BKBeforeCopy = false;
    s.ESMaxRetry = 0;

    BenchHost host;
    folders::TCopyEngine engine(&host);
    engine.Prepare(1);
    qint64 bytes = 0;
    int files = 0;
    QDirIterator it(src, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo f = it.fileInfo();
        if (f.isSymLink() || !f.isFile()) continue;
        const QString rel = f.absolutePath().mid(src.size() - 1);
        const QString folder = rel.isEmpty() ? QString() : rel.mid(1) + "/";
        engine.AddJob(src + folder, f.fileName(), f.size(), files, f.fileName(), dst + folder);
        bytes += f.size();
        ++files;
    }
    engine.TotalBytes = bytes;
    QElapsedTimer t;
    t.start();
    if (files > 0) engine.Execute(1, dst);
    const qint64 ms = t.elapsed();
    const int errors = files - engine.FilesCopied.load();
    std::printf("files=%d bytes=%lld errors=%d ms=%lld\n", files, static_cast<long long>(bytes), errors,
                static_cast<long long>(ms));
    if (errors) {
        std::fprintf(stderr, "copy-bench: %d of %d files were not copied (%d errors)\n", errors, files,
                     engine.ErrorCount);
        return 1;
    }
    return 0;
}
