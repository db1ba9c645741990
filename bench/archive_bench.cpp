// archive-bench: the archive library as a command-line tool, so its
// listing and extraction can be timed against, and checked by, tar.
//
//   archive-bench list ARCHIVE           SIZE<TAB>NAME per member (uncompressed
//                                        bytes, the name in UTF-8)
//   archive-bench cat ARCHIVE MEMBER     the member's data to stdout
//   archive-bench ppmd IN OUT SIZE       decode a zip method-98 entry's data
//
// Exit code 0 on success; otherwise 1 and the error's text on stderr
// (2 and a usage line for bad arguments).

#include "archive/tar_archive.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <unistd.h>

using namespace tandex::archive;

namespace {

int usage() {
    std::fprintf(stderr, "usage: archive-bench list ARCHIVE | cat ARCHIVE MEMBER | ppmd IN OUT SIZE\n");
    return 2;
}

int list(const QString& name) {
    TArcTarArchive archive(name, fmOpenRead);
    archive.Load();
    QByteArray out;
    for (int i = 0; i < archive.GetCount(); ++i) {
        const TArcTarItem* item = archive.TarItem(i);
        out += QByteArray::number(qulonglong(item->GetUncompressedSize())) + '\t' +
               item->GetFileName().toUtf8() + '\n';
        if (out.size() > 65536) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.clear();
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

int cat(const QString& name, const QString& member) {
    TArcTarArchive archive(name, fmOpenRead);
    archive.Load();
    for (int i = 0; i < archive.GetCount(); ++i) {
        if (archive.TarItem(i)->GetFileName() != member) continue;
        std::fflush(stdout);
        FileStream out(::dup(STDOUT_FILENO), QStringLiteral("stdout"));
        archive.ExtractItemToStreamAt(i, out);
        return 0;
    }
    std::fprintf(stderr, "%s\n", ArcMessage(EArcFileNotFound::Code_).toUtf8().constData());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    try {
        if (command == "list" && argc == 3) return list(QString::fromLocal8Bit(argv[2]));
        if (command == "cat" && argc == 4)
            return cat(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]));
        if (command == "ppmd" && argc == 5) {
            // The library has no method-98 decoder yet.
            std::fprintf(stderr, "%s\n", EArcZipInvalidMethod().what());
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return usage();
}
