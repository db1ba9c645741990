#include "archive/archive_detection.h"

#include "codec_test_support.h"

#include <QTemporaryDir>

using namespace codec_test;

namespace {

class ArchiveDetectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeFile(path("f.txt"), textInput()));
        ASSERT_EQ(runTool("tar", {"cf", "plain.tar", "f.txt"}, dir.path()), 0);
        ASSERT_EQ(runTool("tar", {"czf", "packed.tgz", "f.txt"}, dir.path()), 0);
        ASSERT_EQ(runTool("tar", {"cjf", "packed.tbz", "f.txt"}, dir.path()), 0);
        ASSERT_EQ(runTool("zip", {"-q", "plain.zip", "f.txt"}, dir.path()), 0);
        ASSERT_EQ(runTool("gzip", {"-k", "f.txt"}, dir.path()), 0);
        ASSERT_EQ(runTool("bzip2", {"-k", "f.txt"}, dir.path()), 0);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray bytes(const char* name) const { return readFile(path(name)); }
    QTemporaryDir dir;
};

QByteArray cabinetHeader() {
    QByteArray h(36, '\0');
    h.replace(0, 4, "MSCF");
    h[8] = char(200);   // cabinet size
    h[16] = char(44);   // first file entry
    h[24] = 3;
    h[25] = 1;
    return h + QByteArray(164, 'c');
}

TEST_F(ArchiveDetectionTest, ByNameAndContent) {
    struct Case {
        QString name;
        QByteArray content;  // null: the file does not exist
        TArchiveType byName;
        TArchiveType byContent;
    } cases[] = {
        {"x.zip", bytes("plain.tar"), ArcUnknown, ArcTar},
        {"a.tgz", QByteArray(), ArcGzippedTar, ArcUnknown},
        {"a.tar", QByteArray(""), ArcTar, ArcUnknown},
        {"x.tar.gz", bytes("packed.tgz"), ArcGzippedTar, ArcGzippedTar},
        {"f.txt.gz", bytes("f.txt.gz"), ArcGzip, ArcGzip},
        {"LIB.JAR", bytes("plain.zip"), ArcZip, ArcZip},
        {"setup.exe", QByteArray("MZ stub of a program") + bytes("plain.zip"), ArcSelfExtractingZip,
         ArcSelfExtractingZip},
        {"x.zip", QByteArray("MZ stub of a program") + bytes("plain.zip"), ArcZip, ArcSelfExtractingZip},
        {"a.cab", cabinetHeader(), ArcCab, ArcCab},
        {"a.bz2", bytes("f.txt.bz2"), ArcBzip2, ArcBzip2},
        {"a.tbz", bytes("packed.tbz"), ArcBzippedTar, ArcBzippedTar},
        {"a.gz", bytes("packed.tbz"), ArcUnknown, ArcBzippedTar},
        {"notes", QByteArray("just text"), ArcUnknown, ArcUnknown},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString file = path("case/") + c.name;
        QDir().mkpath(path("case"));
        QFile::remove(file);
        if (!c.content.isNull()) {
            ASSERT_TRUE(writeFile(file, c.content));
        }
        EXPECT_EQ(DetectArchiveTypeByName(file), c.byName);
        MemoryStream s(c.content);
        s.SetPosition(c.content.size() / 2);
        EXPECT_EQ(DetectArchiveTypeByContent(s), c.byContent);
        EXPECT_EQ(s.Position(), c.content.size() / 2);
    }
}

TEST_F(ArchiveDetectionTest, AssumedTypeIsCheckedAgainstContent) {
    EXPECT_EQ(DetectArchiveTypeByName(path("plain.tar"), ArcZip), ArcUnknown);
    EXPECT_EQ(DetectArchiveTypeByName(path("plain.tar"), ArcSpannedZip), ArcSpannedZip);
    EXPECT_EQ(DetectArchiveTypeByName(path("f.txt.gz"), ArcGzippedTar), ArcGzip);
}

TEST_F(ArchiveDetectionTest, CabinetNeedsItsHeaderFields) {
    QByteArray wrongVersion = cabinetHeader();
    wrongVersion[25] = 2;
    for (const QByteArray& data : {QByteArray("MSCF"), wrongVersion}) {
        MemoryStream s(data);
        EXPECT_EQ(IsCabinet(s), ArcUnknown);
    }
}

}  // namespace
