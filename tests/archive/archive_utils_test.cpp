#include "archive/archive_utils.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <random>

using namespace tandex::archive;

namespace {

// Runs a test in a fixed zone with daylight saving (switch to summer time
// on 2021-03-28 at 01:00 UTC, back on 2021-10-31 at 01:00 UTC).
class ZoneScope {
public:
    explicit ZoneScope(const char* tz) {
        const char* old = std::getenv("TZ");
        had_ = old != nullptr;
        if (had_) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool had_ = false;
    std::string old_;
};

constexpr const char* kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

TDateTime dt(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    TDateTime v = 0;
    EXPECT_TRUE(TryEncodeDateTime(y, m, d, h, n, s, v));
    return v;
}

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

}  // namespace

TEST(ArchiveUtils, Crc32MatchesCheckValuesAndTheByteLoop) {
    EXPECT_EQ(Crc32OfString("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32OfString(""), 0u);
    EXPECT_EQ(Crc32OfString("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    EXPECT_EQ(Crc32Table()[1], 0x77073096u);
    EXPECT_EQ(Crc32Table()[255], 0x2D02EF8Du);
    std::mt19937 rng(7);
    QByteArray data(1000, Qt::Uninitialized);
    for (char& c : data)
        c = static_cast<char>(rng());
    for (int len : {0, 1, 7, 8, 9, 63, 1000}) {
        uint32_t slow = 0x12345678;
        for (int i = 0; i < len; ++i)
            slow = Crc32UpdateByte(uint8_t(data[i]), slow);
        EXPECT_EQ(Crc32Update(0x12345678, data.constData(), size_t(len)), slow) << len;
    }
}

TEST(ArchiveUtils, DosDateTimeConversions) {
    const uint32_t dos = DateTimeToDosDateTime(dt(2023, 7, 14, 13, 45, 31));
    EXPECT_EQ(dos >> 16, uint32_t((43 << 9) | (7 << 5) | 14));
    EXPECT_EQ(dos & 0xFFFF, uint32_t((13 << 11) | (45 << 5) | 15));  // two-second steps
    EXPECT_DOUBLE_EQ(DosDateTimeToDateTime(dos >> 16, dos & 0xFFFF), dt(2023, 7, 14, 13, 45, 30));
    EXPECT_EQ(DateTimeToDosDateTime(dt(1979, 12, 31, 23, 59, 59)), 0u);
    EXPECT_EQ(DateTimeToDosDateTime(dt(1979, 1, 1)), 0u);
    EXPECT_EQ(DateTimeToDosDateTime(dt(2108, 1, 1)), 0u);
    EXPECT_NE(DateTimeToDosDateTime(dt(2107, 12, 31, 23, 59, 58)), 0u);
    // Impossible date words (month 0, 31 February, 0 itself) read as "no date".
    EXPECT_EQ(DosDateTimeToDateTime(0, 0), 0.0);
    EXPECT_EQ(DosDateTimeToDateTime((1 << 9) | (2 << 5) | 31, 0), 0.0);
    // An impossible time keeps the date.
    EXPECT_DOUBLE_EQ(DosDateTimeToDateTime((1 << 9) | (2 << 5) | 3, 31), dt(1981, 2, 3));
}

TEST(ArchiveUtils, UnixTimesFollowEachDatesOwnDaylightRule) {
    ZoneScope zone(kBerlin);
    // 2021-03-28 00:30 UTC is 01:30 CET; an hour later it is 03:30 CEST.
    const int64_t beforeSwitch = 1616891400;
    EXPECT_DOUBLE_EQ(UnixTimeToLocal(beforeSwitch), dt(2021, 3, 28, 1, 30));
    EXPECT_DOUBLE_EQ(UnixTimeToLocal(beforeSwitch + 3600), dt(2021, 3, 28, 3, 30));
    // Winter and summer dates convert with their own offsets whatever the
    // date of today.
    EXPECT_EQ(LocalToUnixTime(dt(2021, 1, 15, 12)), 1610708400);
    EXPECT_EQ(LocalToUnixTime(dt(2021, 7, 15, 12)), 1626343200);
    // Beyond 2038 without wrapping.
    EXPECT_EQ(LocalToUnixTime(dt(2040, 7, 1, 2)), 2224713600);
    EXPECT_DOUBLE_EQ(UnixTimeToLocal(2224713600), dt(2040, 7, 1, 2));
    // Round trips through the DOS form on both sides of both switches.
    for (int64_t s : {beforeSwitch, beforeSwitch + 3600, int64_t(1635640200), int64_t(1635651000),
                      int64_t(2224713600)}) {
        const uint32_t dos = DateTimeToDosDateTime(UnixTimeToLocal(s));
        EXPECT_EQ(LocalToUnixTime(DosDateTimeToDateTime(dos >> 16, dos & 0xFFFF)), s) << s;
    }
    EXPECT_EQ(UnixTimeToLocal(-86400 * 400), 0.0);
    const int32_t bias = TimeZoneBiasSeconds();
    EXPECT_TRUE(bias == -3600 || bias == -7200) << bias;
}

TEST(ArchiveUtils, AttributeAndModeConversions) {
    EXPECT_EQ(UnixModeToDosAttr(0100444), faReadOnly);
    EXPECT_EQ(UnixModeToDosAttr(0100644), 0);
    EXPECT_EQ(UnixModeToDosAttr(040755), faDirectory);
    EXPECT_EQ(UnixModeToDosAttr(0120777), faSysFile);
    EXPECT_EQ(UnixModeToDosAttr(0010600), faSysFile);
    EXPECT_EQ(UnixModeToDosAttr(0444), faReadOnly);
    EXPECT_EQ(UnixModeToDosAttr(0070000), faReadOnly);
    EXPECT_EQ(DosAttrToUnixMode(faReadOnly), 0444u);
    EXPECT_EQ(DosAttrToUnixMode(0), 0644u);
    EXPECT_EQ(DosAttrToUnixMode(faDirectory), 040744u);
    EXPECT_EQ(PercentOf(0, 5), 0);
    EXPECT_EQ(PercentOf(10, 15), 100);
    EXPECT_EQ(PercentOf(3, 1), 33);
    EXPECT_EQ(PercentOf(INT64_MAX, INT64_MAX / 2), 49);
}

TEST(ArchiveUtils, WildcardMatching) {
    struct Case {
        const char* text;
        const char* pattern;
        bool match;
    };
    const Case cases[] = {
        {"README", "*.*", true},  {"README", "*", true},      {"", "", true},
        {"", "*", false},         {"ABC", "A?C", true},       {"AB", "A?C", false},
        {"AX", "*X", true},       {"X", "*X", true},          {"XA", "*X", false},
        {"A.TXT", "*.TXT", true}, {"A.TXTX", "*.TXT", false}, {"ABC", "", false},
        {"AB", "A*B*", true},     {"AXBYB", "A*B", true},     {"AXBY", "A*B", false},
        {"A", "A*", true},        {"ABC", "ABC", true},       {"ABC", "ABD", false},
        {"A", "??", false},       {"AB", "*?", true},         {"MISSISSIPPI", "M*SS*PI", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchWildcard(c.text, 1, c.pattern, 1), c.match) << c.text << " / " << c.pattern;
    // Starting positions other than the first.
    EXPECT_TRUE(MatchWildcard("XXABC", 3, "ZA?C", 2));
    // A hostile pattern stays fast: no exponential search.
    const QString text(5000, u'A');
    EXPECT_FALSE(MatchWildcard(text, 1, QString("*A").repeated(40) + "B", 1));
}

TEST(ArchiveUtils, PathRoutines) {
    EXPECT_EQ(AppendBackslash(""), "");
    EXPECT_EQ(AppendBackslash("/a"), "/a/");
    EXPECT_EQ(AppendBackslash("/a/"), "/a/");
    struct KindCase {
        const char* name;
        TPathKind kind;
    };
    for (auto c :
         {KindCase{"/a/b", TPathKind::AbsolutePath}, KindCase{"\\a", TPathKind::AbsolutePath},
          KindCase{"C:x", TPathKind::AbsolutePath}, KindCase{"a/b", TPathKind::RelativePath},
          KindCase{"a\\b", TPathKind::RelativePath}, KindCase{"ab", TPathKind::NoPath},
          KindCase{"", TPathKind::NoPath}})
        EXPECT_EQ(PathKind(c.name), c.kind) << c.name;
    EXPECT_EQ(NthBackslashPos("/ab/cd/e", 2), 3);
    EXPECT_EQ(NthBackslashPos("/ab/cd/e", 4), 8);
    auto parts = SplitFileSpec("/home/u/a.txt");
    EXPECT_EQ(parts.Drive, "");
    EXPECT_EQ(parts.Path, "/home/u/");
    EXPECT_EQ(parts.Name, "a.txt");
    parts = SplitFileSpec("//srv/share/d/e/f.txt");
    EXPECT_EQ(parts.Drive, "//srv/share");
    EXPECT_EQ(parts.Path, "d/e/");
    EXPECT_EQ(StripDrive("//srv/share/d/f"), "d/f");
    EXPECT_EQ(StripDrive("/x/y"), "/x/y");
    EXPECT_EQ(SplitFolders("/a/b/c/"), QStringList({"a", "b", "c"}));
    EXPECT_EQ(StripLeadingDotDots("../..\\../a/../b"), "a/../b");
    EXPECT_EQ(StripLeadingDotDots("..a"), "..a");
    QString p = "a\\b/c";
    ToForwardSlashes(p);
    EXPECT_EQ(p, "a/b/c");
    ToBackslashes(p);
    EXPECT_EQ(p, "a\\b\\c");
    EXPECT_EQ(DriveLetterOf("/x"), "A");
    EXPECT_FALSE(IsRemovableDrive("/x"));
    EXPECT_EQ(WriteSpanVolumeLabel("A", 3), kErrorNotSupported);
}

TEST(ArchiveUtils, FolderCreationAndShortNames) {
    QTemporaryDir dir;
    const QString deep = dir.path() + "/a/b/c";
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(QDir(deep).exists());
    EXPECT_TRUE(CreateFolderPath(deep + "/"));
    touch(deep + "/f.txt");
    EXPECT_EQ(ToShortPathName(deep + "/f.txt"), deep + "/f.txt");
    try {
        ToShortPathName(dir.path() + "/a/x/f.txt");
        FAIL() << "missing folder accepted";
    } catch (const EArcException& e) {
        EXPECT_EQ(e.Message(), "Path not found");
        EXPECT_EQ(e.ErrorCode(), 0);
    }
    EXPECT_THROW(ToShortPathName(deep + "/g.txt"), EArcFileNotFound);
    EXPECT_THROW(ToShortPathName(dir.path() + "/a/b"), EArcFileNotFound);  // a folder
}

TEST(ArchiveUtils, FindMatchingFilesHonoursAttributesAndNeverLoops) {
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir(root).mkpath("sub/deeper");
    QDir(root).mkpath(".hid");
    touch(root + "/a.txt");
    touch(root + "/B.TXT");
    touch(root + "/c.doc");
    touch(root + "/.h.txt");
    touch(root + "/sub/d.txt");
    touch(root + "/sub/deeper/e.txt");
    touch(root + "/.hid/f.txt");
    ASSERT_EQ(
        ::symlink(root.toLocal8Bit().constData(), (root + "/sub/loop").toLocal8Bit().constData()),
        0);

    QStringList found;
    FindMatchingFiles(root + "/*.txt", faAnyFile & ~(faHidden | faDirectory), found, false);
    EXPECT_EQ(found, QStringList({root + "/B.TXT", root + "/a.txt"}));

    found.clear();
    FindMatchingFiles(root + "/*.txt", faArchive, found, true);
    EXPECT_EQ(found, QStringList({root + "/B.TXT", root + "/a.txt", root + "/sub/d.txt",
                                  root + "/sub/deeper/e.txt"}));

    found.clear();
    FindMatchingFiles(root + "/*.txt", faAnyFile, found, true);
    EXPECT_TRUE(found.contains(root + "/.h.txt"));
    EXPECT_TRUE(found.contains(root + "/.hid/f.txt"));
    EXPECT_EQ(found.size(), 6);

    found.clear();
    FindMatchingFiles(root + "/s*", faAnyFile, found, false);
    EXPECT_EQ(found, QStringList({root + "/sub/"}));
}

TEST(ArchiveUtils, FileQueriesAndTemporaryFiles) {
    ZoneScope zone(kBerlin);
    QTemporaryDir dir;
    const QString name = dir.path() + "/f.bin";
    {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("12345");
    }
    const TDateTime summer = dt(2022, 6, 1, 10, 20, 31);
    ASSERT_TRUE(SetFileDateTime(name, summer));
    TFileAttrInfo info;
    ASSERT_TRUE(GetFileAttrEx(name, info));
    EXPECT_DOUBLE_EQ(info.Time, dt(2022, 6, 1, 10, 20, 30));
    EXPECT_EQ(info.Size, 5);
    EXPECT_EQ(info.Attr, faArchive);
    EXPECT_EQ(info.Mode, 0644u);
    EXPECT_EQ(GetFileSize64(name), 5);
    EXPECT_EQ(GetFileSize64(dir.path() + "/none"), -1);
    TFileAttrInfo none;
    EXPECT_FALSE(GetFileAttrEx(dir.path() + "/none", none));
    EXPECT_EQ(none.Size, -1);
    EXPECT_EQ(none.Attr, -1);

    ASSERT_TRUE(SetFileAttr(name, faReadOnly));
    ASSERT_TRUE(GetFileAttrEx(name, info));
    EXPECT_EQ(info.Attr, faArchive | faReadOnly);
    ASSERT_TRUE(SetFileAttr(name, 0));

    int fd = -1;
    const QString temp = CreateTempFileIn(dir.path(), &fd);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(temp.startsWith(dir.path() + "/VMS"));
    struct stat st {};
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ::close(fd);
    const QString fallback = CreateTempFileIn(dir.path() + "/missing");
    EXPECT_TRUE(fallback.startsWith(QDir::tempPath() + "/VMS")) << fallback.toStdString();
    QFile::remove(fallback);

    EXPECT_GT(DriveFreeSpace(name), 0);
    EXPECT_EQ(DriveFreeSpace("/no/such/folder/x"), -1);
}

TEST(ArchiveUtils, StaleTemporaryFilesOfEndedProcessesAreRemoved) {
    QTemporaryDir dir;
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const QString dead = QStringLiteral("VMS%1-abc123").arg(ended);
    const QStringList kept = {QStringLiteral("VMS%1-abc123").arg(::getpid()),  // this process
                              QStringLiteral("VMS1-abc123"),                   // running, not ours
                              QStringLiteral("VMSabc123"),                     // no owner to tell
                              QStringLiteral("VMS%1-abc123.txt").arg(ended), QStringLiteral("notes.txt")};
    for (const QString& name : kept + QStringList{dead}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // A folder of that name is none of ours either.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("VMS%1-folder").arg(ended)));
    EXPECT_EQ(RemoveStaleTempFiles(dir.path()), 1);
    QStringList left = kept + QStringList{QStringLiteral("VMS%1-folder").arg(ended)};
    left.sort();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), left);

    // A file made by CreateTempFileIn of a process that ended goes too.
    const pid_t maker = ::fork();
    ASSERT_GE(maker, 0);
    if (maker == 0) ::_exit(CreateTempFileIn(dir.path()).isEmpty() ? 1 : 0);
    int status = 0;
    ASSERT_EQ(::waitpid(maker, &status, 0), maker);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(RemoveStaleTempFiles(dir.path()), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name), left);
}
