#include "access/archive_paths.h"

#include "access/archive_options.h"

#include <gtest/gtest.h>
#include <atomic>
#include <thread>

using namespace tandex::access;

namespace {

const char* const kDefaultMasks = "*.zip;*.zipx;*.jar;*.tar;*.gz";

TEST(ArchivePaths, FindsArchivesInPaths) {
    FZSetArchiveOptions(false, true, 1, kDefaultMasks, QString());
    struct Case {
        const char* path;
        bool found;
        int depth, index;
        const char* file;
        const char* inner;
    };
    const Case cases[] = {
        {"/d/A.ZIP/sub/f.txt", true, 1, 0, "/d/A.ZIP", "/sub/f.txt"},
        {"/d/a.zip.old", false, 0, -1, "", ""},
        {"/d/a.zip/b.tar/c", true, 2, 0, "/d/a.zip", "/b.tar/c"},
        // Every occurrence counts, not only the first.
        {"/d/a.zip_old/b.zip/x", true, 1, 0, "/d/a.zip_old/b.zip", "/x"},
        {"/d/x.gz", true, 1, 4, "/d/x.gz", ""},
        {"/d/lib.jar/META-INF/x", true, 1, 2, "/d/lib.jar", "/META-INF/x"},
        // "\" is part of a local name: it does not end the archive's name.
        {"/d/a.zip\\x", false, 0, -1, "", ""},
        // The nearest end wins, whatever the list order.
        {"/d/a.tar/b.zip", true, 2, 3, "/d/a.tar", "/b.zip"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FZFindArchiveInPath(c.path, 0), c.found) << c.path;
        EXPECT_EQ(FZArchiveDepth(), c.depth) << c.path;
        EXPECT_EQ(FZArchiveExtIndex(), c.index) << c.path;
        QString file, inner;
        FZArchiveFilePath(c.path, file);
        FZArchiveInnerPath(c.path, inner);
        EXPECT_EQ(file, c.file) << c.path;
        EXPECT_EQ(inner, c.inner) << c.path;
    }
    // Mode 1 looks at the end of the path only.
    EXPECT_TRUE(FZFindArchiveInPath("/d/A.TAR", 1));
    EXPECT_EQ(FZArchiveExtIndex(), 3);
    EXPECT_FALSE(FZFindArchiveInPath("/d/a.zip/x", 1));

    EXPECT_TRUE(FZIsInsideArchive("/d/a.zip/x"));
    EXPECT_FALSE(FZIsInsideArchive("/d/a.zip/"));
    EXPECT_TRUE(FZIsArchiveFile("/d/B.Jar"));
    EXPECT_FALSE(FZIsArchiveFile("/d/b.jar.txt"));

    FZSetArchiveOptions(false, true, 1, "*.zip;*.bz2", QString());
    EXPECT_TRUE(FZFindArchiveInPath("/d/f.txt.bz2", 0));
    EXPECT_FALSE(FZFindArchiveInPath("/d/a.tar/x", 0));
    FZSetArchiveOptions(false, true, 1, kDefaultMasks, QString());
}

TEST(ArchivePaths, EachThreadKeepsItsOwnResults) {
    FZSetArchiveOptions(false, true, 1, kDefaultMasks, QString());
    std::atomic<int> wrong{0};
    auto run = [&wrong](const QString& path, int depth, int index) {
        for (int i = 0; i < 2000; ++i) {
            FZFindArchiveInPath(path, 0);
            std::this_thread::yield();
            if (FZArchiveDepth() != depth || FZArchiveExtIndex() != index) ++wrong;
        }
    };
    std::thread a(run, QStringLiteral("/d/a.zip/b.tar/c"), 2, 0);
    std::thread b(run, QStringLiteral("/d/x.gz"), 1, 4);
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
