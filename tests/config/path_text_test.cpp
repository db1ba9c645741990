#include "config/path_text.h"
#include "qt_print.h"

#include <gtest/gtest.h>

using namespace tandex::config;

namespace {
QString q(const char* s) {
    return QString::fromUtf8(s);
}
// Every character 10 pixels wide.
const TextWidthFn tenPx = [](const QString& s) { return int(s.size()) * 10; };
const TextWidthFn onePx = [](const QString& s) { return int(s.size()); };
}  // namespace

TEST(PathText, SplittingUsesSlashOnly) {
    struct Case {
        const char* path;
        const char* withDelim;
        const char* noDelim;
        const char* name;
        const char* last;
    };
    const Case cases[] = {
        {"ftp://host/dir/file.txt", "ftp://host/dir/", "ftp://host/dir", "file.txt", "file.txt"},
        {"C:file", "", "", "C:file", "C:file"},
        {"/a/b\\c", "/a/", "/a", "b\\c", "b\\c"},
        {"/a/b/", "/a/b/", "/a/b", "", "/a/b/"},
        {"name", "", "", "name", "name"},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractPathWithDelim(q(c.path)), q(c.withDelim)) << c.path;
        EXPECT_EQ(ExtractPathNoDelim(q(c.path)), q(c.noDelim)) << c.path;
        EXPECT_EQ(ExtractNamePart(q(c.path)), q(c.name)) << c.path;
        EXPECT_EQ(ExtractLastComponent(q(c.path)), q(c.last)) << c.path;
    }
    EXPECT_EQ(ExtractExtension(q("archive.tar.gz")), q(".gz"));
    EXPECT_EQ(ExtractExtension(q("Makefile")), QString());
}

TEST(PathText, CharacterRoutines) {
    QString s = q("a\\b/c\\");
    BackslashesToSlashes(s);
    EXPECT_EQ(s, q("a/b/c/"));
    SlashesToBackslashes(s);
    EXPECT_EQ(s, q("a\\b\\c\\"));
    QString buf = q("x/y/z");
    SlashesToBackslashesBuf(buf.data(), 3);
    EXPECT_EQ(buf, q("x\\y/z"));

    EXPECT_EQ(ReplaceCharFrom(q("a.b.c.d"), u'.', u'_', 3), q("a.b_c_d"));
    EXPECT_EQ(ReplaceCharFrom(q("a.b.c"), u'.', u'_', 1), q("a_b_c"));
    EXPECT_EQ(ReplaceCharFrom(q("a.b"), u'.', u'_', 4), q("a.b"));
    EXPECT_EQ(ReplaceCharFrom(q("a.b"), u'.', u'.', 1), q("a.b"));
    EXPECT_EQ(CountChar(u'/', q("/a/b/")), 3);
    EXPECT_EQ(TrimTrailingBlanks(q("ab \t  ")), q("ab \t"));
}

TEST(PathShortening, FittingPathIsUnchanged) {
    EXPECT_EQ(ShortenPathToWidth(tenPx, q("/a/b.txt"), 1000), q("/a/b.txt"));
    EXPECT_EQ(ShortenPathToWidth(tenPx, QString(), 10), QString());
    // Widths below 30 count as 30.
    const QString thirtyChars = q("/a/b/c/d/e/f/g/h/i/j/k/lm.txt1");
    ASSERT_EQ(thirtyChars.size(), 30);
    EXPECT_EQ(ShortenPathToWidth(onePx, thirtyChars, 1), thirtyChars);
}

TEST(PathShortening, LeadingFoldersGiveWayFirst) {
    struct Case {
        const char* path;
        int chars;
        const char* result;
    };
    const Case cases[] = {
        {"/home/user/docs/file.txt", 20, "/.../docs/file.txt"},
        {"/home/user/docs/file.txt", 15, "/.../file.txt"},
        {"/home/user/docs/file.txt", 9, "file.txt"},
        // Remote: the host stays until all folders are one marker.
        {"ftp://host/a/bb/cc/f.txt", 21, "ftp://host/.../f.txt"},
        {"ftp://host/a/b/f.txt", 19, "ftp://.../f.txt"},
        {"https://example.org/x/y/z/page.html", 33, "https://example.org/.../page.html"},
        {"https://example.org/x/y/z/page.html", 32, "https://.../page.html"},
        // A share keeps "//host/share" in front.
        {"//srv/share/a/bb/n.txt", 21, "//srv/share/.../n.txt"},
        {"//srv/share/a/b/n.txt", 10, ".../n.txt"},
        // Folders named like the marker are ordinary names.
        {"/.../.x/y/n.txt", 14, "/.../y/n.txt"},
        // The root folder goes as a whole.
        {"/name-of-file", 12, "name-of-file"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShortenPathToWidth(tenPx, q(c.path), c.chars * 10), q(c.result))
            << c.path << " in " << c.chars;
}

TEST(PathShortening, TooWideNameIsCutInItsMiddle) {
    EXPECT_EQ(ShortenPathToWidth(tenPx, q("/x/abcdefghijklmnopqrstuvwxyz"), 200),
              q("abcdefg...qrstuvwxyz"));
    // Texts below 12 characters are never cut.
    EXPECT_EQ(ShortenPathToWidth(tenPx, q("/x/abcdefghijklmnopqrstuvwxyz"), 30), q("abc...vwxyz"));
}
