#include "archive/local_targets.h"

#include "codec_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace codec_test;

namespace {

TEST(LocalTargetsTest, MemberNamesStayInsideTheTargetFolder) {
    struct Case {
        QString stored;
        std::optional<QString> relative;
    };
    const Case cases[] = {
        {"a/b.txt", QString("a/b.txt")},
        {"a\\b.txt", QString("a/b.txt")},
        {"/etc/passwd", QString("etc/passwd")},
        {"../../x", QString("x")},
        {"a/../../b", QString("a/b")},
        {"./a//b/./", QString("a/b")},
        {"\\\\host\\share\\f", QString("host/share/f")},
        {"..", std::nullopt},
        {"", std::nullopt},
        {"/", std::nullopt},
        {QString("a") + QChar(0) + "b", std::nullopt},
        {"line\nbreak", std::nullopt},
        {QString("del") + QChar(0x7F), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MemberRelativePath(c.stored), c.relative) << c.stored.toStdString();
    EXPECT_EQ(MemberTargetPath("/tmp/out", "../evil"), QString("/tmp/out/evil"));
    EXPECT_EQ(MemberTargetPath("/tmp/out/", "ok"), QString("/tmp/out/ok"));
}

TEST(LocalTargetsTest, ReplacingFileTouchesTheTargetOnlyOnCommit) {
    QTemporaryDir dir;
    const QString target = dir.filePath("t");
    ASSERT_TRUE(writeFile(target, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0604), 0);
    {
        TReplacingFile file(target);
        file.Data().WriteBuffer("new", 3);
    }  // abandoned
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"t"});
    {
        TReplacingFile file(target);
        file.Data().WriteBuffer("new", 3);
        file.Commit();
    }
    EXPECT_EQ(readFile(target), "new");
    struct stat st {};
    ::stat(QFile::encodeName(target).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    // A link as target: the file it names is replaced, the link stays.
    const QString link = dir.filePath("link");
    ASSERT_TRUE(QFile::link(target, link));
    {
        TReplacingFile file(link);
        file.Data().WriteBuffer("via link", 8);
        file.Commit();
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readFile(target), "via link");
    EXPECT_THROW(TReplacingFile(dir.filePath("missing/dir/f")), FileCreateError);
}

}  // namespace
