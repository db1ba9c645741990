// zip-bench: the zip archive against Info-ZIP on the three jobs that grow
// with archive size.
//
//   zip-bench [FOLDER]    timed runs in FOLDER (default: a new temporary
//                         folder, removed afterwards); needs about 4 GiB
//
// 1. Listing an archive of 100,000 entries: load vs `unzip -Z1`.
// 2. The type test on a 1 GiB file that is no zip: VerifyZip vs `unzip -l`
//    failing on it.
// 3. Adding one small member to a 1 GiB archive: our save (which rewrites
//    the archive beside itself, as Info-ZIP does) vs `zip -q` adding it to
//    a copy.
// Each time is the best of three runs; the ratio is ours over Info-ZIP's.

#include "archive/archive_utils.h"
#include "archive/zip_archive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <functional>

using namespace tandex::archive;

namespace {

double seconds(const std::function<void()>& job) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        job();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

void run(const QString& folder, const QString& command) {
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    p.waitForFinished(-1);
}

// Stores a file's bytes as they are, a chunk at a time.
void storeFile(TArcZipItem& item, Stream& output) {
    FileStream in(item.DiskFileName, fmOpenRead);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    uint32_t crc = 0xFFFFFFFF;
    int64_t total = 0;
    for (;;) {
        const int64_t n = in.Read(chunk.data(), chunk.size());
        if (n <= 0) break;
        crc = Crc32Update(crc, chunk.constData(), static_cast<size_t>(n));
        output.WriteBuffer(chunk.constData(), n);
        total += n;
    }
    item.SetCompressionMethod(0);
    item.SetCRC32(~crc);
    item.SetUncompressedSize(static_cast<uint64_t>(total));
    item.SetCompressedSize(static_cast<uint64_t>(total));
}

void report(const char* job, double ours, double theirs) {
    std::printf("%-40s ours %8.3f s   Info-ZIP %8.3f s   ratio %.2f\n", job, ours, theirs,
                ours / theirs);
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    QDir().mkpath(folder);
    const QString many = folder + "/many.zip";
    const QString big = folder + "/big.zip";

    {
        QFile::remove(many);
        TArcZipArchive archive(many, fmCreate);
        archive.InsertHelper = [](TArcZipItem& item, Stream& output) {
            output.WriteBuffer("x", 1);
            item.SetCompressionMethod(0);
            item.SetCRC32(Crc32OfString("x"));
            item.SetUncompressedSize(1);
            item.SetCompressedSize(1);
        };
        archive.Load();
        for (int i = 0; i < 100000; ++i)
            archive.Add(archive.CreateItem(QStringLiteral("folder%1/entry%2.txt").arg(i / 1000).arg(i)));
        archive.SaveIfChanged();
    }
    const double listOurs = seconds([&] {
        TArcZipArchive archive(many, fmOpenRead);
        archive.Load();
    });
    const double listTheirs = seconds([&] { run(folder, QStringLiteral("unzip -Z1 many.zip")); });
    report("list 100,000 entries", listOurs, listTheirs);

    const QString plain = folder + "/plain.bin";
    {
        QFile f(plain);
        f.open(QIODevice::WriteOnly);
        QByteArray chunk(1 << 20, 'p');
        for (int i = 0; i < 1024; ++i) f.write(chunk);
    }
    const double typeOurs = seconds([&] {
        FileStream s(plain, fmOpenRead);
        if (VerifyZip(s) != ArcUnknown) std::printf("unexpected: a zip\n");
    });
    const double typeTheirs = seconds([&] { run(folder, QStringLiteral("unzip -l plain.bin")); });
    report("type test of a 1 GiB non-zip", typeOurs, typeTheirs);

    {
        QFile::remove(big);
        TArcZipArchive archive(big, fmCreate);
        archive.InsertHelper = storeFile;
        archive.Load();
        archive.Add(archive.CreateItem(plain));
        archive.SaveIfChanged();
    }
    QFile small(folder + "/small.txt");
    small.open(QIODevice::WriteOnly);
    small.write("one small member\n");
    small.close();
    const double saveOurs = seconds([&] {
        QFile::remove(folder + "/ours.zip");
        QFile::copy(big, folder + "/ours.zip");
        TArcZipArchive archive(folder + "/ours.zip", fmOpenReadWrite);
        archive.InsertHelper = storeFile;
        archive.Load();
        archive.Add(archive.CreateItem(folder + "/small.txt"));
        archive.SaveIfChanged();
    });
    const double copyOnly = seconds([&] {
        QFile::remove(folder + "/ours.zip");
        QFile::copy(big, folder + "/ours.zip");
    });
    const double saveTheirs = seconds([&] {
        QFile::remove(folder + "/theirs.zip");
        QFile::copy(big, folder + "/theirs.zip");
        run(folder, QStringLiteral("zip -q -0 theirs.zip small.txt"));
    });
    report("add a member to a 1 GiB archive", saveOurs - copyOnly, saveTheirs - copyOnly);
    for (const char* name : {"ours.zip", "theirs.zip", "big.zip", "plain.bin", "many.zip"})
        QFile::remove(folder + "/" + name);
    return 0;
}
