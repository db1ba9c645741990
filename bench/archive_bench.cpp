// archive-bench: the archive library as a command-line tool, so its
// listing, extraction and zip compression can be timed against, and
// checked by, unzip, zip, 7z, tar, gzip and bzip2. Archives open through
// the component, their type told by content.
//
//   archive-bench list ARCHIVE           SIZE<TAB>NAME per member (uncompressed
//                                        bytes, the name in UTF-8)
//   archive-bench cat ARCHIVE MEMBER     the member's data to stdout
//   archive-bench extract ARCHIVE DIR    every member below DIR, silently
//   archive-bench test ARCHIVE           test every member
//   archive-bench add ZIP DIR            a new zip of DIR's tree, normal deflate
//   archive-bench ppmd IN OUT SIZE       decode a zip method-98 entry's data
//
// Exit code 0 on success; otherwise 1 and the error's text on stderr
// (2 and a usage line for bad arguments).

#include "archive/local_targets.h"
#include "archive/ppmd_decoder.h"
#include "archive/zip_extract.h"
#include "archive/zip_kit.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <unistd.h>

using namespace tandex::archive;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: archive-bench list ARCHIVE | cat ARCHIVE MEMBER | extract ARCHIVE DIR |"
                 " test ARCHIVE | add ZIP DIR | ppmd IN OUT SIZE\n");
    return 2;
}

// The component over the named file, opened by content.
struct OpenedKit {
    explicit OpenedKit(const QString& name) : file(name, fmOpenRead | fmShareDenyNone) {
        kit.OpenStream(&file);
    }
    FileStream file;
    TArcZipKit kit;
};

int list(const QString& name) {
    OpenedKit opened(name);
    TArcZipKit& kit = opened.kit;
    QByteArray out;
    for (int i = 0; i < kit.GetCount(); ++i) {
        const TArcArchiveItem* item = kit.GetItem(i);
        out.append(QByteArray::number(qulonglong(item->GetUncompressedSize())));
        out.append('\t');
        out.append(item->GetFileName().toUtf8());
        out.append('\n');
        if (out.size() > 65536) {
            std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
            out.resize(0);  // keeps the buffer, where clear() would free it
        }
    }
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return 0;
}

int cat(const QString& name, const QString& member) {
    OpenedKit opened(name);
    TArcZipKit& kit = opened.kit;
    if (!kit.Archive() || kit.Archive()->FindFile(member) < 0) {
        std::fprintf(stderr, "%s\n", ArcMessage(EArcFileNotFound::Code_).toUtf8().constData());
        return 1;
    }
    // Extraction reports its failures as events, not exceptions.
    QString failure;
    kit.OnProcessItemFailure = [&](TArcBaseBrowser&, TArcArchiveItem*, TArcProcessType,
                                   TArcErrorClass errorClass, int32_t code) {
        failure = QStringLiteral("extraction failed (class %1, code %2)").arg(int(errorClass)).arg(code);
    };
    std::fflush(stdout);
    FileStream out(::dup(STDOUT_FILENO), QStringLiteral("stdout"));
    kit.ExtractToStream(member, out);
    if (failure.isEmpty()) return 0;
    std::fprintf(stderr, "%s\n", failure.toUtf8().constData());
    return 1;
}

int ppmd(const QString& in, const QString& out, const char* sizeText) {
    char* end = nullptr;
    const unsigned long long size = std::strtoull(sizeText, &end, 10);
    if (end == sizeText || *end != '\0') return usage();
    FileStream source(in, fmOpenRead);
    FileStream destination(out, fmCreate);
    DecompressPPMd(source, destination, uint64_t(source.Size()), size);
    return 0;
}

int extract(const QString& name, const QString& folder) {
    OpenedKit opened(name);
    TArcArchive* archive = opened.kit.Archive();
    if (!archive) throw EArcNoArchive();
    int failed = 0;
    for (int i = 0; i < archive->GetCount(); ++i) {
        const TArcArchiveItem* item = archive->ItemList().Items(i);
        const std::optional<QString> target = MemberTargetPath(folder, item->GetFileName());
        if (!target) continue;
        if (item->GetIsDirectory()) {
            CreateFolderPath(*target);
            continue;
        }
        CreateFolderPath(QFileInfo(*target).path());
        try {
            archive->ExtractItemAt(i, *target);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", item->GetFileName().toUtf8().constData(), e.what());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

int test(const QString& name) {
    OpenedKit opened(name);
    TArcArchive* archive = opened.kit.Archive();
    if (!archive) throw EArcNoArchive();
    for (int i = 0; i < archive->GetCount(); ++i) archive->TestItemAt(i);
    return 0;
}

int add(const QString& name, const QString& folder) {
    TArcZipArchive archive(name, fmCreate);
    InstallZipHooks(archive);
    archive.SetBaseDirectory(QFileInfo(folder).absoluteFilePath());
    int failed = 0;
    archive.OnProcessItemFailure = [&failed](TArcArchive&, TArcArchiveItem* item, TArcProcessType,
                                             TArcErrorClass, int32_t code) {
        std::fprintf(stderr, "%s: not added (%d)\n", item->GetFileName().toUtf8().constData(), code);
        ++failed;
    };
    archive.Load();
    const QDir base(archive.BaseDirectory());
    for (QDirIterator it(archive.BaseDirectory(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        archive.Add(archive.CreateItem(base.relativeFilePath(it.next())));
    archive.SaveIfChanged();
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    try {
        if (command == "list" && argc == 3) return list(QString::fromLocal8Bit(argv[2]));
        if (command == "cat" && argc == 4)
            return cat(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(argv[3]));
        if (command == "extract" && argc == 4)
            return extract(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        if (command == "test" && argc == 3) return test(QString::fromLocal8Bit(argv[2]));
        if (command == "add" && argc == 4)
            return add(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
        if (command == "ppmd" && argc == 5)
            return ppmd(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                        argv[4]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return usage();
}
