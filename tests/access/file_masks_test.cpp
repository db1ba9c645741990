#include "access/file_masks.h"

#include <gtest/gtest.h>
#include <QStringList>

using namespace tandex::access;

TEST(FileMasks, FileNamesAgainstIncludeAndExcludeLists) {
    struct Case {
        const char* include;
        const char* exclude;
        const char* name;
        bool passes;
    };
    const Case cases[] = {
        {"readme", "", "README", true},
        {"readme", "", "readme.txt", false},
        {"*.txt;*.log", "old*.*", "a.txt", true},
        {"*.txt;*.log", "old*.*", "old1.log", false},
        {"*.txt;*.log", "old*.*", "a.doc", false},
        {"ab*cd.txt", "", "abxyz.txt", true},  // the text after the first "*" is ignored
        {"ab*cd.txt", "", "xabcd.txt", false},
        {"*.TXT", "", "Notes.txt", true},
        {"a?c.*", "", "abc.cpp", true},
        {"a?c.*", "", "ac.cpp", false},
        {"*ell*.*", "", "hello.cpp", true},    // text anywhere inside the name
        {"*ell*.*", "", "help.cpp", false},
        {"*lo.c", "", "hello.c", true},        // name ends with the text
        {"*lo.c", "", "hello.cc", false},
        {"*.", "", "Makefile", true},          // empty extension part
        {"*.", "", "a.b", false},
        {"archive.tar.*", "", "archive.tar.gz", true},  // split at the last "."
        {"*", "", "anything.at.all", true},
        {"*.*", "*.bak", "a.bak", false},      // "*.*" leaves only the exclude list
        {"*.*", "*.bak", "a.b", true},
        {"", "", "x", true},
        {";;*.txt;", "", "x.txt", true},
    };
    for (const auto& c : cases) {
        FZSetMasks(c.include, c.exclude, "");
        EXPECT_EQ(FZMatchFileMasks(c.name), c.passes) << c.include << " / " << c.exclude << " : " << c.name;
    }
}

TEST(FileMasks, FolderNames) {
    struct Case {
        const char* folders;
        const char* name;
        bool passes;
    };
    const Case cases[] = {
        {"", "..", false}, {"", ".git", true},     {".git;build*", ".GIT", false},
        {".git;build*", "build-asan", false},      {".git;build*", "src", true},
        {"*tmp*", "my.tmp.d", false},              {"a.b", "a.b", false},
    };
    for (const auto& c : cases) {
        FZSetMasks("", "", c.folders);
        EXPECT_EQ(FZMatchFolderMasks(c.name), c.passes) << c.folders << " : " << c.name;
    }
}

TEST(FileMasks, ListsKeepTwentyMasksOfAtMost127Characters) {
    QStringList masks;
    for (int i = 0; i < 20; ++i)
        masks << QStringLiteral("m%1.txt").arg(i);
    masks << QStringLiteral("late.txt");
    TFZMasks set;
    set.set(masks.join(';'), "", masks.join(';'));
    EXPECT_EQ(set.includeCount(), 20);
    EXPECT_EQ(set.folderCount(), 20);
    EXPECT_TRUE(set.matchFile("m19.txt"));
    EXPECT_FALSE(set.matchFile("late.txt"));  // the twenty-first has no effect
    EXPECT_TRUE(set.matchFolder("late.txt"));

    // A part is cut after 127 characters: the rest of a long name is not
    // compared.
    const QString longName = QString(127, 'n');
    set.set(longName + "xyz.txt", "", "");
    EXPECT_TRUE(set.matchFile(longName + ".txt"));
    EXPECT_FALSE(set.matchFile(longName + "xyz.txt"));
}

TEST(FileMasks, EachSetIsItsOwn) {
    // A worker's own set never changes what the user-interface thread's
    // functions answer.
    FZSetMasks("*.cpp", "", "");
    TFZMasks worker;
    worker.set("*.h", "", "");
    EXPECT_TRUE(FZMatchFileMasks("a.cpp"));
    EXPECT_FALSE(FZMatchFileMasks("a.h"));
    EXPECT_TRUE(worker.matchFile("a.h"));
    EXPECT_FALSE(worker.matchFile("a.cpp"));
    FZSetMasks("", "", "");
}
