#include "archive/zip_spans.h"

#include "config/services.h"
#include "zip_test_support.h"

using namespace tandex::archive;
using namespace zip_test;

namespace {

class ZipSpansTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.path();
    }
    QString file(const QString& name) const { return path_ + "/" + name; }

    // A new split set of the files, written by our save.
    void writeSet(const QString& zip, int64_t threshold, const std::vector<QByteArray>& contents) {
        TArcZipArchive archive(file(zip), fmCreate);
        archive.SetBaseDirectory(path_);
        archive.SetSpanningThreshold(threshold);
        installStoredHooks(archive);
        archive.Load();
        for (size_t i = 0; i < contents.size(); ++i) {
            const QString name = QStringLiteral("member%1.bin").arg(i);
            ASSERT_TRUE(writeFile(file(name), contents[i]));
            archive.Add(archive.CreateItem(name));
        }
        archive.SaveIfChanged();
    }

    QTemporaryDir dir_;
    QString path_;
};

// Answers every message box with one button.
class AnsweringSink : public tandex::config::MessageSink {
public:
    explicit AnsweringSink(int answer) : answer_(answer) {}
    int showMessage(const tandex::config::MessageRequest& request) override {
        requests.push_back(request);
        return answer_;
    }
    std::vector<tandex::config::MessageRequest> requests;

private:
    int answer_;
};

}  // namespace

TEST_F(ZipSpansTest, OurSplitSetMergesIntoAnArchiveUnzipAccepts) {
    const std::vector<QByteArray> contents = {noise(50000, 1), noise(70000, 2), noise(30000, 3),
                                              QByteArray("small")};
    writeSet("data.zip", 65536, contents);
    const QStringList parts = QDir(path_).entryList({"data.*"}, QDir::Files, QDir::Name);
    ASSERT_EQ(parts, QStringList({"data.z01", "data.z02", "data.zip"}));
    for (const QString& part : parts) EXPECT_LE(QFileInfo(file(part)).size(), 65536) << part.toStdString();
    EXPECT_EQ(readFile(file("data.z01")).left(4), QByteArray("PK\x07\x08", 4));

    ASSERT_EQ(shell("zip -q -s 0 data.zip --out merged.zip", path_).exitCode, 0);
    const ToolRun t = shell("unzip -t merged.zip", path_);
    EXPECT_EQ(t.exitCode, 0) << t.out.toStdString() << t.err.toStdString();
    for (size_t i = 0; i < contents.size(); ++i)
        EXPECT_EQ(shell(QStringLiteral("unzip -p merged.zip member%1.bin").arg(i), path_).out,
                  contents[i]);

    // Read back as a set, and refused as a target of another save.
    TArcZipArchive archive(file("data.zip"), fmOpenRead);
    archive.Load();
    EXPECT_TRUE(archive.Spanned);
    ASSERT_EQ(archive.GetCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(archive.ZipItem(i)->GetCRC32(), Crc32OfString(contents[static_cast<size_t>(i)]));
    archive.DeleteAt(0);
    EXPECT_THROW(archive.SaveIfChanged(), EArcZipSpanOverwrite);
    EXPECT_EQ(archive.ZipItem(0)->Action, iaNone);
}

TEST_F(ZipSpansTest, SetThatFitsOneVolumeIsMarkedAsSuch) {
    writeSet("one.zip", 65536, {QByteArray("just a little")});
    EXPECT_FALSE(QFile::exists(file("one.z01")));
    const QByteArray bytes = readFile(file("one.zip"));
    EXPECT_EQ(bytes.left(4), QByteArray("PK00"));
    const ToolRun t = shell("unzip -t one.zip", path_);
    EXPECT_EQ(t.exitCode, 0) << t.out.toStdString() << t.err.toStdString();
    TArcZipArchive archive(file("one.zip"), fmOpenRead);
    archive.Load();
    EXPECT_FALSE(archive.Spanned);
    ASSERT_EQ(archive.GetCount(), 1);
    EXPECT_EQ(archive.ZipItem(0)->RelativeOffset(), 4u);
}

TEST_F(ZipSpansTest, InfoZipSplitSetListsLikeItsMergedForm) {
    ASSERT_TRUE(writeFile(file("big.bin"), noise(150000, 9)));
    ASSERT_TRUE(writeFile(file("text.txt"), QByteArray("some text\n").repeated(5000)));
    ASSERT_EQ(shell("touch -d '2024-03-04 05:06:08' big.bin text.txt && "
                    "zip -q -s 64k split.zip big.bin text.txt && zip -q -s 0 split.zip --out whole.zip",
                    path_)
                  .exitCode,
              0);
    ASSERT_TRUE(QFile::exists(file("split.z02")));
    TArcZipArchive archive(file("split.zip"), fmOpenRead);
    archive.Load();
    EXPECT_TRUE(archive.Spanned);
    EXPECT_EQ(ourListing(archive), toolListing(file("whole.zip")));
}

TEST_F(ZipSpansTest, PartNamesFollowTheArchiveName) {
    struct Case {
        const char* archive;
        int number;
        const char* part;
    };
    const Case cases[] = {
        {"/x/data.zip", 1, "/x/data.z01"},
        {"/x/data.zip", 12, "/x/data.z12"},
        {"/x/data", 2, "/x/data.02"},
        {"/x.v/data", 3, "/x.v/data.03"},
        {"/x/data.", 1, "/x/data.01"},
    };
    for (const Case& c : cases) {
        TArcSpanWriteStream s(QString::fromLatin1(c.archive), nullptr, 1);
        EXPECT_EQ(s.GetImageName(c.number), QString::fromLatin1(c.part)) << c.archive;
    }
    TArcSpanWriteStream hooked(QStringLiteral("/x/data.zip"), nullptr, 1);
    hooked.OnRequestImage = [](void*, int32_t n, QString& name, bool& abort) {
        name = QStringLiteral("/y/part%1").arg(n);
        abort = n > 2;
    };
    EXPECT_EQ(hooked.GetImageName(2), "/y/part2");
    EXPECT_THROW(hooked.GetImageName(3), EArcUserAbort);
}

TEST_F(ZipSpansTest, ReadingCrossesVolumeBorders) {
    ASSERT_TRUE(writeFile(file("d.z01"), "abc"));
    ASSERT_TRUE(writeFile(file("d.z02"), "def"));
    ASSERT_TRUE(writeFile(file("d.zip"), "gh"));
    TArcSpanReadStream s(file("d.zip"), std::make_unique<FileStream>(file("d.zip"), fmOpenRead), 2);
    EXPECT_TRUE(s.IsSplit());
    s.SeekImage(0, 1);
    char buffer[16] = {};
    EXPECT_EQ(s.Read(buffer, 6), 6);
    EXPECT_EQ(QByteArray(buffer, 6), "bcdefg");
    EXPECT_EQ(s.Position(), 1);
    EXPECT_EQ(s.Read(buffer, 16), 1);
    EXPECT_THROW(s.Seek(0, soBeginning), EArcException);
    EXPECT_THROW(s.Write("x", 1), EArcException);
}

TEST_F(ZipSpansTest, HeaderThatDoesNotFitStartsTheNextVolume) {
    TArcSpanWriteStream s(file("w.zip"), std::make_unique<FileStream>(file("w.zip"), fmCreate), 10);
    s.WriteBuffer("123456", 6);
    EXPECT_FALSE(s.WriteUnsplit("ABCDEFGH", 8, true));
    EXPECT_EQ(s.CurrentImage(), 1);
    EXPECT_TRUE(s.WriteUnsplit("ABCDEFGH", 8, false));
    s.WriteBuffer("xyz", 3);  // two fit, the third begins another volume
    EXPECT_EQ(s.CurrentImage(), 2);
    EXPECT_TRUE(s.WriteUnsplit("1234567890", 10, false));
    EXPECT_EQ(s.CurrentImage(), 3);
    s.ReleaseStream().reset();
    EXPECT_EQ(readFile(file("w.z01")), "123456");
    EXPECT_EQ(readFile(file("w.z02")), "ABCDEFGHxy");
    EXPECT_EQ(readFile(file("w.z03")), "z");
    EXPECT_EQ(readFile(file("w.zip")), "1234567890");
    EXPECT_THROW(s.Read(nullptr, 1), EArcException);
}

TEST_F(ZipSpansTest, DiskRequestsAskTheUserWithoutAHandler) {
    MemoryStream empty;
    TArcZipArchive archive(&empty, QString());
    AnsweringSink cancel(tandex::config::mrCancel);
    tandex::config::setMessageSink(&cancel);
    bool abort = false;
    archive.DoRequestNthDisk(3, abort);
    EXPECT_TRUE(abort);
    ASSERT_EQ(cancel.requests.size(), 1u);
    EXPECT_EQ(cancel.requests[0].caption, "Insert floppy");
    EXPECT_EQ(cancel.requests[0].text, "Insert disk number 3 of the spanned disk set");
    EXPECT_EQ(cancel.requests[0].buttons, tandex::config::mbOK | tandex::config::mbCancel);
    EXPECT_EQ(cancel.requests[0].defaultResult, tandex::config::mrCancel);

    AnsweringSink ok(tandex::config::mrOk);
    tandex::config::setMessageSink(&ok);
    archive.DoRequestLastDisk(abort);
    EXPECT_FALSE(abort);
    archive.DoRequestBlankDisk(abort);
    EXPECT_FALSE(abort);
    EXPECT_TRUE(archive.Spanned);
    ASSERT_EQ(ok.requests.size(), 2u);
    EXPECT_EQ(ok.requests[0].text, "Insert the last disk in the spanned disk set");
    EXPECT_EQ(ok.requests[1].text, "Insert a blank floppy disk");
    tandex::config::setMessageSink(nullptr);

    // A handler answers instead of the user.
    archive.OnRequestNthDisk = [](TArcArchive&, int disk, bool& a) { a = disk != 4; };
    archive.DoRequestNthDisk(4, abort);
    EXPECT_FALSE(abort);
}
