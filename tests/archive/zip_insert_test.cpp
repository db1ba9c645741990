// Compression of zip items on save: archives we write pass the common
// tools, and the item fields come out as the tools expect them.

#include "archive/zip_insert.h"

#include "archive/zip_extract.h"

#include "zip_test_support.h"

#include <QDateTime>

namespace {

using namespace zip_test;

QByteArray wordyText(int size) {
    static const char* words[] = {"insert ", "item ", "stored ", "the ", "deflated ", "\n"};
    QByteArray out;
    uint32_t x = 7;
    while (out.size() < size) {
        x = x * 1103515245 + 12345;
        out += words[(x >> 16) % 6];
    }
    out.truncate(size);
    return out;
}

class ZipInsertTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("src"));
        QDir(dir.path()).mkdir(QStringLiteral("src/folder"));
        writeFile(path("src/text.txt"), wordyText(150000));
        writeFile(path("src/noise.bin"), noise(40000, 11));
        writeFile(path("src/empty.txt"), {});
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Adds the source files (relative to the base folder) and saves.
    void build(const QString& zipName, const QByteArray& password, TArcZipSupportedMethod method,
               TArcZipDeflationOption option) {
        TArcZipArchive archive(path(zipName), fmCreate);
        InstallZipHooks(archive);
        archive.SetBaseDirectory(path("src"));
        archive.Password = password;
        archive.CompressionMethodToUse = method;
        archive.DeflationOption = option;
        archive.Load();
        for (const char* name : {"text.txt", "noise.bin", "empty.txt", "folder"})
            archive.Add(archive.CreateItem(QString::fromLatin1(name)));
        archive.SaveIfChanged();
    }

    QTemporaryDir dir;
};

TEST_F(ZipInsertTest, WrittenArchivesPassTheToolsAndDecryptWithThePassword) {
    struct Case {
        TArcZipSupportedMethod method;
        TArcZipDeflationOption option;
        QByteArray password;
        const char* subType;  // zipinfo's deflation sub-type of text.txt
    };
    const std::vector<Case> cases = {
        {smBestMethod, doNormal, {}, "normal"},   {smDeflated, doMaximum, {}, "maximum"},
        {smDeflated, doFast, {}, "fast"},         {smDeflated, doSuperFast, {}, "superfast"},
        {smStored, doNormal, {}, nullptr},        {smDeflated, doInvalid, {}, "normal"},
        {smBestMethod, doNormal, "secret", "normal"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString name = QStringLiteral("out%1.zip").arg(n++);
        SCOPED_TRACE(name.toStdString());
        build(name, c.password, c.method, c.option);
        const QString pw = c.password.isEmpty() ? QString() : QStringLiteral(" -P secret");
        const ToolRun unzipTest = shell(QStringLiteral("unzip -t%1 %2").arg(pw, name), dir.path());
        EXPECT_EQ(unzipTest.exitCode, 0) << unzipTest.out.toStdString();
        const QString sevenPw = c.password.isEmpty() ? QString() : QStringLiteral(" -psecret");
        const ToolRun sevenTest = shell(QStringLiteral("7z t%1 %2").arg(sevenPw, name), dir.path());
        EXPECT_EQ(sevenTest.exitCode, 0) << sevenTest.out.toStdString();
        EXPECT_EQ(shell(QStringLiteral("bsdtar -tf %1").arg(name), dir.path()).exitCode, 0);
        for (const char* file : {"text.txt", "noise.bin"}) {
            const ToolRun cat =
                shell(QStringLiteral("unzip%1 -p %2 %3").arg(pw, name, QLatin1String(file)), dir.path());
            EXPECT_EQ(cat.out, readFile(path("src/") + QLatin1String(file))) << file;
        }
        const QByteArray info =
            shell(QStringLiteral("zipinfo -v %1 text.txt").arg(name), dir.path()).out.simplified();
        if (c.subType) {
            EXPECT_TRUE(info.contains(QByteArray("(deflation): ") + c.subType + ' ')) << info.toStdString();
        } else {
            EXPECT_FALSE(info.contains("(deflation)"));
        }
        if (!c.password.isEmpty()) {
            EXPECT_NE(shell(QStringLiteral("unzip -P wrong -t %1").arg(name), dir.path()).exitCode, 0);
        }
    }
}

TEST_F(ZipInsertTest, ItemFieldsFollowTheCases) {
    struct Case {
        const char* what;
        QByteArray password;
        TArcZipSupportedMethod method;
        const char* member;
        uint8_t expectedMethod;
        uint64_t compressed;  // 0: not checked
        uint16_t flags;
        uint32_t crc;
        uint32_t attributeBits;
    };
    const std::vector<Case> cases = {
        {"empty file stored", {}, smDeflated, "empty.txt", 0, 0, 0, 0, 0},
        {"encrypted empty file", "pw", smDeflated, "empty.txt", 0, 12, 0x0009, 0, 0},
        {"random data", {}, smBestMethod, "noise.bin", 0, 40000, 0, Crc32OfString(noise(40000, 11)), 0},
        {"folder", {}, smBestMethod, "folder", 0, 0, 0, 0, 0x10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path("f.zip"));
        build(QStringLiteral("f.zip"), c.password, c.method, doNormal);
        TArcZipArchive archive(path("f.zip"), fmOpenRead);
        archive.Load();
        const int at = archive.FindFile(QString::fromLatin1(c.member));
        ASSERT_GE(at, 0);
        const TArcZipItem& item = *archive.ZipItem(at);
        EXPECT_EQ(item.CompressionMethod(), c.expectedMethod);
        EXPECT_EQ(item.GetCompressedSize(), c.compressed);
        EXPECT_EQ(item.GeneralPurposeBitFlag() & 0x0FFF, c.flags);
        EXPECT_EQ(item.GetCRC32(), c.crc);
        EXPECT_EQ(item.GetExternalFileAttributes() & c.attributeBits, c.attributeBits);
        if (!c.password.isEmpty()) {
            // One descriptor per encrypted item: four of them here.
            EXPECT_EQ(readFile(path("f.zip")).count(QByteArray("PK\x07\x08", 4)), 4);
            EXPECT_EQ(shell(QStringLiteral("unzip -P pw -t f.zip"), dir.path()).exitCode, 0);
        }
    }
}

TEST_F(ZipInsertTest, StreamItemAtMidnightGetsTheCurrentTime) {
    TArcZipArchive archive(path("s.zip"), fmCreate);
    InstallZipHooks(archive);
    archive.Load();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    archive.AddFromStream(QStringLiteral("s.txt"), memoryOf("stream data"));
    const TArcZipItem& item = *archive.ZipItem(0);
    ASSERT_NE(item.GetLastModFileTime(), 0);
    const TDateTimeParts p = DecodeDateTime(item.GetLastModTimeAsDateTime());
    const QDateTime stamped(QDate(p.Year, p.Month, p.Day), QTime(p.Hour, p.Minute, p.Second));
    EXPECT_GE(stamped, before.addSecs(-2));
    EXPECT_LE(stamped, QDateTime::currentDateTime().addSecs(2));
    EXPECT_EQ(shell(QStringLiteral("unzip -p s.zip"), dir.path()).out, QByteArray("stream data"));
}

TEST_F(ZipInsertTest, MissingFileAndMissingStreamRaise) {
    TArcZipArchive archive(path("m.zip"), fmCreate);
    archive.Load();
    TArcZipItem item;
    item.DiskFileName = path("src/absent.txt");
    MemoryStream out;
    EXPECT_THROW(ZipFromFile(archive, item, out), EArcFileNotFound);
    EXPECT_THROW(ZipFromStream(archive, item, out, nullptr), EArcZipNoInsertion);
}

TEST_F(ZipInsertTest, FileChangedWhileCompressedIsDroppedNotStored) {
    TArcZipArchive archive(path("c.zip"), fmCreate);
    InstallZipHooks(archive);
    archive.SetBaseDirectory(path("src"));
    archive.CompressionMethodToUse = smStored;
    archive.Load();
    bool grown = false;
    // Another program appends to the file while it is being read.
    archive.OnProgress = [&](TArcArchive&, uint8_t, bool&) {
        if (grown) return;
        grown = true;
        QFile f(path("src/text.txt"));
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("appended meanwhile");
    };
    std::vector<int> failures;
    archive.OnProcessItemFailure = [&](TArcArchive&, TArcArchiveItem*, TArcProcessType type,
                                       TArcErrorClass, int32_t) { failures.push_back(type); };
    archive.Add(archive.CreateItem(QStringLiteral("text.txt")));
    archive.Add(archive.CreateItem(QStringLiteral("noise.bin")));
    archive.SaveIfChanged();
    EXPECT_EQ(failures, std::vector<int>{ptAdd});
    TArcZipArchive reread(path("c.zip"), fmOpenRead);
    reread.Load();
    ASSERT_EQ(reread.GetCount(), 1);
    EXPECT_EQ(reread.ZipItem(0)->GetFileName(), QStringLiteral("noise.bin"));
    EXPECT_EQ(shell(QStringLiteral("unzip -t c.zip"), dir.path()).exitCode, 0);
}

TEST_F(ZipInsertTest, StoreProgressAbortStopsTheSave) {
    TArcZipArchive archive(path("a.zip"), fmCreate);
    InstallZipHooks(archive);
    archive.SetBaseDirectory(path("src"));
    archive.CompressionMethodToUse = smStored;
    archive.Load();
    std::vector<int> seen;
    archive.OnProgress = [&](TArcArchive&, uint8_t percent, bool& abort) {
        seen.push_back(percent);
        abort = percent >= 50;
    };
    archive.Add(archive.CreateItem(QStringLiteral("text.txt")));
    EXPECT_THROW(archive.SaveIfChanged(), EArcUserAbort);
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.front(), 50);
    EXPECT_GE(seen.back(), 50);
}

TEST_F(ZipInsertTest, OurArchiveRoundTripsThroughOurExtraction) {
    build(QStringLiteral("r.zip"), "secret", smBestMethod, doMaximum);
    TArcZipArchive archive(path("r.zip"), fmOpenRead);
    InstallZipHooks(archive);
    archive.Password = "secret";
    archive.Load();
    for (int i = 0; i < archive.GetCount(); ++i) {
        TArcZipItem& item = *archive.ZipItem(i);
        SCOPED_TRACE(item.GetFileName().toStdString());
        EXPECT_NO_THROW(archive.TestItemAt(i));
        if (item.GetIsDirectory()) continue;
        MemoryStream out;
        archive.ExtractItemToStreamAt(i, out);
        EXPECT_EQ(out.Memory(), readFile(path("src/") + item.GetFileName()));
    }
}

}  // namespace
