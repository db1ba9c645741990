#include "access/file_times.h"

#include "access/access_slots.h"
#include "access/error_texts.h"
#include "access/local_files.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>
#include <ctime>

using namespace tandex::access;

namespace {

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

void setZone(const char* zone) {
    qputenv("TZ", zone);
    ::tzset();
}

// 2011-12-05 09:07:03 UTC (winter) and 2011-07-05 09:07:03 UTC (summer).
constexpr FileTime kWinter = 129675496230000000ull;
constexpr FileTime kSummer = kWinter - FileTime(153) * 86400 * 10000000;
// 2011-03-27 01:00:00 UTC, when Berlin moved from 02:00 CET to 03:00 CEST.
constexpr FileTime kSpringForward = 129456612000000000ull;

FileTime mtimeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return FZFileTimeOf(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

FileTime atimeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return FZFileTimeOf(st.st_atim.tv_sec, st.st_atim.tv_nsec);
}

}  // namespace

TEST(FileTimes, TextsInEveryFormatAndZone) {
    const QByteArray saved = qgetenv("TZ");
    struct Case {
        const char* zone;
        FileTime time;
        const char* texts[4];
    };
    const Case cases[] = {
        {"UTC", kWinter,
         {"05.12.2011 09:07:03", "2011.12.05 09:07:03", "2011-12-05 09:07:03", "12/05/2011 09:07:03"}},
        {"Europe/Berlin", kWinter,
         {"05.12.2011 10:07:03", "2011.12.05 10:07:03", "2011-12-05 10:07:03", "12/05/2011 10:07:03"}},
        {"Europe/Berlin", kSummer,
         {"05.07.2011 11:07:03", "2011.07.05 11:07:03", "2011-07-05 11:07:03", "07/05/2011 11:07:03"}},
        {"Europe/Berlin", kSpringForward - 10000000,
         {"27.03.2011 01:59:59", "2011.03.27 01:59:59", "2011-03-27 01:59:59", "03/27/2011 01:59:59"}},
        {"Europe/Berlin", kSpringForward,
         {"27.03.2011 03:00:00", "2011.03.27 03:00:00", "2011-03-27 03:00:00", "03/27/2011 03:00:00"}},
        {"UTC", kSummer + 9999999,  // the fraction of a second is dropped
         {"05.07.2011 09:07:03", "2011.07.05 09:07:03", "2011-07-05 09:07:03", "07/05/2011 09:07:03"}},
    };
    for (const auto& c : cases) {
        setZone(c.zone);
        for (int f = 0; f < 4; ++f) {
            FZSetDateFormat(f);
            EXPECT_EQ(FZFileTimeText(c.time), c.texts[f]) << c.zone << " " << f;
            // The explicit pattern ignores the selected one.
            EXPECT_EQ(FZFileTimeTextIn(c.time, f), c.texts[f]) << c.zone << " " << f;
            EXPECT_EQ(FZFileTimeTextIn(c.time, (f + 1) % 4), c.texts[(f + 1) % 4]) << c.zone << " " << f;
        }
    }
    FZSetDateFormat(0);
    EXPECT_EQ(FZSetDateFormat(4), -1);
    EXPECT_EQ(FZSetDateFormat(-1), -1);
    EXPECT_EQ(FZSetDateFormat(2), 0);
    EXPECT_EQ(FZSetDateFormat(0), 2);
    EXPECT_EQ(FZFileTimeText(FZUnreadableTime), "");
    EXPECT_EQ(FZFileTimeTextIn(kWinter, 4), "");
    EXPECT_EQ(FZFileTimeText(FileTimeNone), "");
    EXPECT_EQ(FZFileTimeText(FileTime(1) << 63), "");

    setZone("Europe/Berlin");
    const QDateTime local = FZFileTimeToDateTime(kSummer + 5000000);
    EXPECT_EQ(local.time(), QTime(11, 7, 3));
    EXPECT_EQ(local.time().msec(), 0);
    EXPECT_EQ(FZDateTimeToFileTime(local), kSummer);
    EXPECT_EQ(FZFileTimeToDateTime(FileTimeNone), FZFileTimeToDateTime(0));
    if (saved.isEmpty())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    ::tzset();
}

TEST(FileTimes, ComparisonWithToleranceAndHourOffset) {
    constexpr FileTime s = 10000000;
    const FileTime t = kWinter;
    struct Case {
        int seconds, hours;
        FileTime a, b;
        int result;
    };
    const Case cases[] = {
        {2, 1, t, t + 2 * s, 0},           {2, 1, t, t + 5 * s / 2, 1},
        {2, 1, t + 5 * s / 2, t, -1},      {2, 1, t, t + 3600 * s, 0},
        {2, 1, t + 3601 * s, t, 0},        {2, 1, t, t + 3603 * s, 1},
        {2, 0, t, t + 3600 * s, 1},        {2, 0, t + 3600 * s, t, -1},
        {0, 0, t, t, 0},                   {0, 0, t, t + 1, 0},               {0, 0, t, t + 2, 1},
    };
    for (const auto& c : cases) {
        FZSetTimeTolerance(c.seconds, c.hours);
        EXPECT_EQ(FZCompareFileTimes(c.a, c.b), c.result)
            << c.seconds << " " << c.hours << " " << qint64(c.b - c.a);
    }
    FZSetTimeTolerance(2, 1);
}

TEST(FileTimes, AttributeTexts) {
    const std::pair<qint64, const char*> cases[] = {
        {33, " ar--"}, {0, " ----"}, {7, " -rhs"}, {32 | 16, " a---"}, {-1, ""}};
    for (const auto& [attr, text] : cases)
        EXPECT_EQ(FZAttrText(attr), text) << attr;
}

class FileTimeSlots : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(FileTimeSlots, InformationOfOpenFilesOnly) {
    writeFile(path(".hidden.txt"), "12345");
    int slot = FZNoSlot;
    qint64 size = -1;
    TFZFileInfo info;
    ASSERT_EQ(FZOpen(path(".hidden.txt"), twGenAccess, false, slot), 0);
    EXPECT_EQ(FZGetFileTime(slot, size, info), errInvalidHandle);
    FileTime write = 1;
    quint32 attr = 1;
    FileTime creation = 1, access = 1;
    EXPECT_EQ(FZGetFileDetails(slot, size, write, attr, creation, access), errInvalidHandle);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(write, 0u);
    EXPECT_EQ(attr, 0u);
    ASSERT_EQ(FZOpenFile(slot, twReadAccess), 0);
    ASSERT_EQ(FZGetFileTime(slot, size, info), 0);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(info.Attributes, FZAttrArchive | FZAttrHidden);
    EXPECT_EQ(info.LastWriteTime, mtimeOf(path(".hidden.txt")));
    EXPECT_NE(info.CreationTime, 0u);
    EXPECT_EQ(FZGetFileInformation(slot, info), 0);
    FZClose(slot);

    EXPECT_EQ(FZGetPathLastWriteTime(dir_.path() + "/", "/.hidden.txt", size, write), 0);
    EXPECT_EQ(size, 5);
    EXPECT_EQ(write, mtimeOf(path(".hidden.txt")));
    EXPECT_EQ(FZGetPathFileTime(path("missing"), size, info), errFileNotFound);
    EXPECT_EQ(FZGetFileTime(FZNoSlot, size, info), errInvalidHandle);

    // Kinds that cannot answer refuse, each with its own code: an FTP slot
    // without a connection.
    EXPECT_EQ(FZKindHandler(akFtp).fileInfo(0, info), errInvalidHandle);
    // An archive slot without a current member has nothing to answer for.
    EXPECT_EQ(FZKindHandler(akArchive).setFileTime(0, 0, 0, 0), errFileNotFound);
    EXPECT_EQ(FZKindHandler(akArchive).getAttributes(0, attr), errFileNotFound);
    EXPECT_EQ(FZKindHandler(akCloud).checkLocation(0), errCloudNotGranted);
}

TEST_F(FileTimeSlots, SetTimesByPathAndAtCommit) {
    writeFile(path("a.txt"), "a");
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(path("a.txt"), twGenWrAccess, false, slot), 0);
    EXPECT_EQ(FZSetFileTime(slot, 0, kWinter, kWinter), 0);
    EXPECT_EQ(mtimeOf(path("a.txt")), kWinter);
    EXPECT_EQ(atimeOf(path("a.txt")), kWinter);
    // A last-access time of 0 leaves the file's own.
    EXPECT_EQ(FZSetFileTime(slot, 0, 0, kSummer), 0);
    EXPECT_EQ(mtimeOf(path("a.txt")), kSummer);
    EXPECT_EQ(atimeOf(path("a.txt")), kWinter);
    // An empty last-write time stamps the file with now.
    const FileTime before = FZDateTimeToFileTime(QDateTime::currentDateTimeUtc()) - 10000000;
    EXPECT_EQ(FZSetFileTime(slot, 0, 0, 0), 0);
    EXPECT_GE(mtimeOf(path("a.txt")), before);
    FZClose(slot);

    ASSERT_EQ(FZOpen(path("a.txt"), twReadAccess, false, slot), 0);
    EXPECT_EQ(FZSetFileTime(slot, 0, kSummer, kSummer), errInvalidAccessCode);
    FZClose(slot);

    // Set before the last write: the flush on close must not undo it.
    ASSERT_EQ(FZOpen(path("b.txt"), twWriteAccess, false, slot), 0);
    qint64 done = 0;
    ASSERT_EQ(FZWrite(slot, "first", 5, done), 0);
    EXPECT_EQ(FZSetFileTime(slot, 0, kSummer, kSummer), 0);
    ASSERT_EQ(FZWrite(slot, " second", 7, done), 0);
    EXPECT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(mtimeOf(path("b.txt")), kSummer);
    EXPECT_EQ(atimeOf(path("b.txt")), kSummer);
    ASSERT_EQ(FZOpenFile(slot, twWriteAccess), 0);
    ASSERT_EQ(FZWrite(slot, "third", 5, done), 0);
    EXPECT_EQ(FZSetFileTime(slot, 0, 0, kWinter), 0);
    EXPECT_EQ(FZCloseFile(slot), 0);
    EXPECT_EQ(mtimeOf(path("b.txt")), kWinter);
    EXPECT_NE(atimeOf(path("b.txt")), FileTime(0));
    FZClose(slot);
}

TEST_F(FileTimeSlots, ReadOnlySetAndCleared) {
    writeFile(path("r.txt"), "r");
    int slot = FZNoSlot;
    quint32 attr = 0;
    ASSERT_EQ(FZOpen(path("r.txt"), twGenAccess, false, slot), 0);
    EXPECT_EQ(FZSetAttributes(slot, FZAttrReadOnly | FZAttrArchive | FZAttrHidden), 0);
    EXPECT_EQ(FZGetAttributes(slot, attr), 0);
    EXPECT_EQ(attr, FZAttrReadOnly | FZAttrArchive);
    EXPECT_FALSE(QFileInfo(path("r.txt")).permissions() & QFile::WriteOwner);
    EXPECT_EQ(FZSetAttributes(slot, FZAttrArchive), 0);
    EXPECT_EQ(FZGetAttributes(slot, attr), 0);
    EXPECT_EQ(attr, FZAttrArchive);
    FZClose(slot);
    ASSERT_EQ(FZOpen(path("gone.txt"), twGenAccess, false, slot), 0);
    EXPECT_EQ(FZSetAttributes(slot, FZAttrReadOnly), 501);
    EXPECT_EQ(FZGetAttributes(slot, attr), errFileNotFound);
    FZClose(slot);
}

TEST(FileTimePermissions, ChildRun) {
    const QByteArray file = qgetenv("TANDEX_TIMES_FOREIGN_FILE");
    if (file.isEmpty()) GTEST_SKIP() << "run by FileTimePermissions.ForeignFileGives501";
    int slot = FZNoSlot;
    ASSERT_EQ(FZOpen(QString::fromLocal8Bit(file), twGenAccess, false, slot), 0);
    EXPECT_EQ(FZSetAttributes(slot, FZAttrReadOnly), 501);
    FZClose(slot);
}

TEST(FileTimePermissions, ForeignFileGives501) {
    // Only the owner may change a file's mode: as root the test runs itself
    // again as nobody on a file root owns.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a second user";
    QTemporaryDir dir(QStringLiteral("/tmp/tandex-times-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    writeFile(dir.filePath("root.txt"), "x");
    ::chmod(QFile::encodeName(dir.filePath("root.txt")).constData(), 0666);
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    const QString copy = dir.filePath("times_test");
    ASSERT_TRUE(QFile::copy(QString::fromLocal8Bit(self, n), copy));
    ::chmod(QFile::encodeName(copy).constData(), 0755);
    QProcess child;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("TANDEX_TIMES_FOREIGN_FILE", dir.filePath("root.txt"));
    env.insert("HOME", dir.path());
    env.insert("TMPDIR", dir.path());
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(dir.path());
    child.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", copy,
                            "--gtest_filter=FileTimePermissions.ChildRun"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output =
        QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    EXPECT_FALSE(output.contains("SKIPPED")) << output.toStdString();
}
