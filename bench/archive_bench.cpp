// archive-bench: the archive library as a command-line tool, so its
// listing, extraction and (for zip) compression can be timed against, and
// checked by, tar, unzip, zip and 7z. Zip archives are told apart from tar
// by their content.
//
//   archive-bench list ARCHIVE           SIZE<TAB>NAME per member (uncompressed
//                                        bytes, the name in UTF-8)
//   archive-bench cat ARCHIVE MEMBER     the member's data to stdout
//   archive-bench extract ARCHIVE DIR    every member below DIR, silently
//   archive-bench test ARCHIVE           test every member (zip)
//   archive-bench add ARCHIVE DIR        a new zip of DIR's tree, normal deflate
//   archive-bench ppmd IN OUT SIZE       decode a zip method-98 entry's data
//
// Exit code 0 on success; otherwise 1 and the error's text on stderr
// (2 and a usage line for bad arguments).

#include "archive/local_targets.h"
#include "archive/tar_archive.h"
#include "archive/zip_extract.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <memory>

#include <cstdio>
#include <cstring>
#include <exception>
#include <unistd.h>

using namespace tandex::archive;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: archive-bench list ARCHIVE | cat ARCHIVE MEMBER | extract ARCHIVE DIR |"
                 " test ARCHIVE | add ARCHIVE DIR | ppmd IN OUT SIZE\n");
    return 2;
}

std::unique_ptr<TArcArchive> openArchive(const QString& name) {
    bool zip = false;
    {
        FileStream probe(name, fmOpenRead);
        zip = VerifyZip(probe) != ArcUnknown || VerifySelfExtractingZip(probe) != ArcUnknown;
    }
    std::unique_ptr<TArcArchive> archive;
    if (zip) {
        auto z = std::make_unique<TArcZipArchive>(name, fmOpenRead);
        InstallZipHooks(*z);
        archive = std::move(z);
    } else {
        archive = std::make_unique<TArcTarArchive>(name, fmOpenRead);
    }
    archive->Load();
    return archive;
}

int list(const QString& name) {
    const std::unique_ptr<TArcArchive> opened = openArchive(name);
    TArcArchive& archive = *opened;
    QByteArray out;
    for (int i = 0; i < archive.GetCount(); ++i) {
        const TArcArchiveItem* item = archive.ItemList().Items(i);
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
    const std::unique_ptr<TArcArchive> opened = openArchive(name);
    TArcArchive& archive = *opened;
    for (int i = 0; i < archive.GetCount(); ++i) {
        if (archive.ItemList().Items(i)->GetFileName() != member) continue;
        std::fflush(stdout);
        FileStream out(::dup(STDOUT_FILENO), QStringLiteral("stdout"));
        archive.ExtractItemToStreamAt(i, out);
        return 0;
    }
    std::fprintf(stderr, "%s\n", ArcMessage(EArcFileNotFound::Code_).toUtf8().constData());
    return 1;
}

int extract(const QString& name, const QString& folder) {
    const std::unique_ptr<TArcArchive> opened = openArchive(name);
    TArcArchive& archive = *opened;
    int failed = 0;
    for (int i = 0; i < archive.GetCount(); ++i) {
        const TArcArchiveItem* item = archive.ItemList().Items(i);
        const std::optional<QString> target = MemberTargetPath(folder, item->GetFileName());
        if (!target) continue;
        if (item->GetIsDirectory()) {
            CreateFolderPath(*target);
            continue;
        }
        CreateFolderPath(QFileInfo(*target).path());
        try {
            archive.ExtractItemAt(i, *target);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", item->GetFileName().toUtf8().constData(), e.what());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

int test(const QString& name) {
    const std::unique_ptr<TArcArchive> opened = openArchive(name);
    for (int i = 0; i < opened->GetCount(); ++i) opened->TestItemAt(i);
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
    for (QDirIterator it(archive.BaseDirectory(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();)
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
