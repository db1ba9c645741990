#include "archive/zip_kit.h"

#include "archive/gzip_archive.h"
#include "codec_test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace codec_test;

namespace {

QByteArray toolOutput(const QString& tool, const QStringList& args, const QString& dir = {}) {
    QByteArray out;
    EXPECT_TRUE(runTool(tool, args, dir, &out).has_value()) << tool.toStdString();
    return out;
}

QStringList names(TArcZipKit& kit) {
    QStringList out;
    for (int i = 0; i < kit.GetCount(); ++i)
        out << kit.GetItem(i)->GetFileName();
    return out;
}

QByteArray extract(TArcZipKit& kit, const QString& name) {
    MemoryStream out;
    kit.ExtractToStream(name, out);
    return out.Memory();
}

class ZipKitTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(writeFile(path("f.txt"), textInput()));
        ASSERT_TRUE(writeFile(path("g.bin"), binaryInput(30000)));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(ZipKitTest, MissingFilesAreCreatedOrRefusedByType) {
    TArcZipKit kit;
    int changes = 0;
    kit.OnChange = [&](TArcBaseBrowser&) { ++changes; };
    kit.SetFileName(path("new.zip"));
    EXPECT_TRUE(QFileInfo(path("new.zip")).isFile());
    EXPECT_EQ(QFileInfo(path("new.zip")).size(), 0);
    EXPECT_EQ(kit.GetCount(), 0);
    EXPECT_EQ(kit.ArchiveType, ArcZip);
    EXPECT_EQ(changes, 1);
    try {
        kit.SetFileName(path("a.exe"));
        ADD_FAILURE() << "opened";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unhandled Archive Type");
    }
    EXPECT_EQ(kit.Archive(), nullptr);
    EXPECT_FALSE(QFileInfo::exists(path("a.exe")));
}

TEST_F(ZipKitTest, ClosingByNullStreamLeavesNothingToWorkOn) {
    TArcZipKit kit;
    ASSERT_EQ(runTool("tar", {"czf", "t.tgz", "f.txt"}, dir.path()), 0);
    MemoryStream tgz(readFile(path("t.tgz")));
    kit.OpenStream(&tgz);
    EXPECT_EQ(kit.ArchiveType, ArcGzippedTar);
    EXPECT_EQ(kit.GetCount(), 1);
    int changes = 0;
    kit.OnChange = [&](TArcBaseBrowser&) { ++changes; };
    kit.OpenStream(nullptr);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(kit.GetCount(), 0);
    try {
        kit.AddFromStream("x", std::make_shared<MemoryStream>(QByteArray("x")));
        ADD_FAILURE() << "added";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Archive does not exist - Filename is blank");
    }
    MemoryStream text(QByteArray("no archive in here"));
    EXPECT_THROW(kit.OpenStream(&text), EArcUnhandledType);
    EXPECT_EQ(kit.Archive(), nullptr);
}

TEST_F(ZipKitTest, OptionsReachTheArchiveAtOnce) {
    ASSERT_EQ(runTool("zip", {"-q", "z.zip", "f.txt"}, dir.path()), 0);
    TArcZipKit kit;
    kit.SetFileName(path("z.zip"));
    ASSERT_EQ(kit.ArchiveType, ArcZip);
    auto* zip = dynamic_cast<TArcZipArchive*>(kit.Archive());
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(names(kit), QStringList{"f.txt"});
    kit.SetPassword("secret");
    EXPECT_EQ(zip->Password, "secret");
    kit.SetPasswordRetries(5);
    EXPECT_EQ(zip->PasswordRetries, 5);
    EXPECT_EQ(kit.Version(), "5.0");

    ASSERT_EQ(runTool("tar", {"cf", "t.tar", "f.txt"}, dir.path()), 0);
    kit.SetFileName(path("t.tar"));
    EXPECT_NO_THROW(kit.SetPasswordRetries(2));  // only zip archives take it
    kit.SetLogFile(path("log.txt"));
    EXPECT_TRUE(kit.Logging());
    kit.SetLogFile(QString());
    EXPECT_FALSE(kit.Logging());
}

TEST_F(ZipKitTest, EveryPackedFormatEditsAsItsToolsExpect) {
    ASSERT_EQ(runTool("tar", {"cf", "t.tar", "f.txt", "g.bin"}, dir.path()), 0);
    ASSERT_EQ(runTool("gzip", {"-k", "f.txt"}, dir.path()), 0);
    ASSERT_EQ(runTool("bzip2", {"-k", "f.txt"}, dir.path()), 0);
    struct Case {
        QString file;
        TArchiveType type;
        QString item;
        QString check;
        QStringList checkArgs;
    } cases[] = {
        {"t.tar", ArcTar, "g.bin", "tar", {"-tvf"}},
        {"f.txt.gz", ArcGzip, "f.txt", "gzip", {"-t"}},
        {"f.txt.bz2", ArcBzip2, "f.txt", "bzip2", {"-t"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        TArcZipKit kit;
        kit.SetStoreOptions(kit.StoreOptions() | soFreshen);
        int failures = 0;
        kit.OnProcessItemFailure = [&](TArcBaseBrowser&, TArcArchiveItem*, TArcProcessType, TArcErrorClass,
                                       int32_t) { ++failures; };
        kit.SetFileName(path(c.file));
        ASSERT_EQ(kit.ArchiveType, c.type);
        ASSERT_TRUE(names(kit).contains(c.item));
        const QByteArray before = extract(kit, c.item);
        EXPECT_FALSE(before.isEmpty());
        kit.AddFromStream(c.item, std::make_shared<MemoryStream>(QByteArray("replaced\n")));
        kit.Save();
        EXPECT_EQ(extract(kit, c.item), "replaced\n");
        EXPECT_EQ(runTool(c.check, c.checkArgs + QStringList{path(c.file)}, dir.path()), 0);
        if (c.type == ArcTar) {
            kit.DeleteAt(names(kit).indexOf(c.item));
            kit.Save();
            EXPECT_EQ(toolOutput("tar", {"-tf", path(c.file)}), "f.txt\n");
        }
        EXPECT_EQ(failures, 0);
    }
}

TEST_F(ZipKitTest, ReadOnlyArchivesBrowseButRefuseChanges) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    ASSERT_EQ(runTool("tar", {"czf", "t.tgz", "f.txt"}, dir.path()), 0);
    ASSERT_EQ(runTool("tar", {"cf", "t.tar", "f.txt"}, dir.path()), 0);
    for (const char* file : {"t.tgz", "t.tar"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(::chmod(QFile::encodeName(path(file)).constData(), 0444), 0);
        const QByteArray before = readFile(path(file));
        TArcZipKit kit;
        kit.PackedTarSwitch = true;
        kit.SetFileName(path(file));
        ASSERT_EQ(names(kit), QStringList{"f.txt"});
        EXPECT_EQ(extract(kit, "f.txt"), textInput());
        EXPECT_THROW(kit.AddFromStream("new.txt", std::make_shared<MemoryStream>(QByteArray("n"))),
                     FileOpenError);
        EXPECT_EQ(readFile(path(file)), before);
    }
}

TEST_F(ZipKitTest, OpenStreamReportsAFailedSaveOfThePreviousArchive) {
    ASSERT_EQ(runTool("tar", {"cf", "t.tar", "f.txt"}, dir.path()), 0);
    TArcZipKit kit;
    kit.SetFileName(path("t.tar"));
    kit.OnConfirmSave = [](TArcBaseBrowser&, bool&) { throw EArcException(QStringLiteral("refused")); };
    kit.SetAutoSave(false);
    kit.Archive()->DeleteAt(0);
    MemoryStream other(readFile(path("t.tar")));
    EXPECT_THROW(kit.OpenStream(&other), EArcException);
    EXPECT_NE(kit.Archive(), nullptr);  // the old archive stays open with its change
    EXPECT_TRUE(kit.Archive()->IsDirty);
}

}  // namespace

namespace {

TEST_F(ZipKitTest, ZipMembersAreCompressedAndExtractedWithPasswordsAskedOfTheKit) {
    const QByteArray data = textInput();
    {
        TArcZipKit kit;
        kit.SetFileName(path("p.zip"));
        kit.SetPassword("secret");
        kit.AddFromStream(QStringLiteral("member.txt"), std::make_shared<MemoryStream>(data));
    }
    QByteArray out;
    EXPECT_EQ(runTool(QStringLiteral("unzip"), {"-P", "secret", "-p", "p.zip"}, dir.path(), &out), 0);
    EXPECT_EQ(out, data);

    TArcZipKit kit;
    kit.SetFileName(path("p.zip"));
    int asked = 0;
    kit.OnNeedPassword = [&](TArcBaseBrowser&, QByteArray& password) {
        ++asked;
        password = "secret";
    };
    EXPECT_EQ(extract(kit, QStringLiteral("member.txt")), data);
    EXPECT_EQ(asked, 1);
}

}  // namespace
