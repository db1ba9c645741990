// Copies one file with the copy engine and kills itself without warning
// once the writer has counted a given number of bytes, so a test can look
// at what a crash at that moment leaves behind.
//
//   copy_kill_drill SRCFOLDER NAME DSTFOLDER CONFIGDIR KILL-AT-BYTES
//
// Exits 3 when the copy ended before the count was reached.

#include "ui/folders/copy_engine.h"

#include "config/app_settings.h"
#include "config/prg_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <memory>

using namespace tandex;

namespace {

class KillingHost : public folders::TCopyHost {
public:
    explicit KillingHost(qint64 at) : at_(at) {}
    void WaitForStart(folders::TCopyEngine& engine) override { engine.Start(); }
    void UpdateDisplay(const folders::TCopyEngine& engine) override {
        if (engine.TotalBytesWritten.load() >= at_) std::raise(SIGKILL);
    }

private:
    qint64 at_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fprintf(stderr, "usage: copy_kill_drill SRCFOLDER NAME DSTFOLDER CONFIGDIR KILL-AT-BYTES\n");
        return 2;
    }
    config::TPrgDirSources sources;
    sources.executablePath = args[4] + "/bin/tandex";
    sources.configHome = args[4] + "/cfg";
    config::SetPrgDir(std::make_unique<config::TPrgDir>(sources));
    QDir().mkpath(config::PrgDir().GetWritableRoot());
    auto& s = config::AppSettings();
    s.CSBufSize = 5;
    s.CSNumDatBuf = 16;
    s.CSOverWrite = true;
    s.CSZeroBytes = true;
    s.BKBeforeCopy = false;
    s.ESMaxRetry = 0;

    KillingHost host(args[5].toLongLong());
    folders::TCopyEngine engine(&host);
    const qint64 size = QFileInfo(args[1] + args[2]).size();
    engine.Prepare(1);
    engine.TotalBytes = size;
    engine.AddJob(args[1], args[2], size, 0, args[2], args[3]);
    engine.Execute(1, args[3]);
    return 3;
}
