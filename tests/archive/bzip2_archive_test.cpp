#include "archive/bzip2_archive.h"

#include "archive/codec_adapters.h"
#include "codec_test_support.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

using namespace codec_test;

namespace {

QString peer(const char* name) {
    return QStringLiteral(TANDEX_TEST_DATA "/peer/") + QString::fromLatin1(name);
}

QByteArray toolOutput(const QString& tool, const QStringList& args, const QString& dir = {}) {
    QByteArray out;
    EXPECT_TRUE(runTool(tool, args, dir, &out).has_value()) << tool.toStdString();
    return out;
}

QByteArray bzipped(const QByteArray& plain, const QString& dir) {
    writeFile(dir + "/plain", plain);
    return toolOutput("bzip2", {"-c", "plain"}, dir);
}

class Bzip2ArchiveTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(Bzip2ArchiveTest, NamesTheItemAfterTheArchive) {
    const QByteArray data = bzipped(textInput(), dir.path());
    struct Case {
        QString archive;
        QString item;
    } cases[] = {{"report.txt.bz2", "report.txt"}, {"DATA.TBZ2", "DATA.tar"}, {"x.tbz", "x.tar"}, {"", "unknown"}};
    for (auto& c : cases) {
        MemoryStream s(data);
        TArcBzip2Archive a(&s, c.archive);
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        EXPECT_EQ(a.ItemList().Items(0)->GetFileName(), c.item);
        for (int twice = 0; twice < 2; ++twice) {
            MemoryStream out;
            a.ExtractItemToStreamAt(0, out);
            EXPECT_EQ(out.Memory(), textInput());
        }
    }
}

TEST_F(Bzip2ArchiveTest, DetectsShortContentAndTarInside) {
    MemoryStream small(bzipped("tiny", dir.path()));
    small.SetPosition(3);
    EXPECT_EQ(VerifyBzip2(small), ArcBzip2);
    EXPECT_EQ(small.Position(), 3);
    ASSERT_TRUE(writeFile(path("f.txt"), "f\n"));
    ASSERT_EQ(runTool("tar", {"cjf", "t.tbz2", "f.txt"}, dir.path()), 0);
    MemoryStream tar(readFile(path("t.tbz2")));
    EXPECT_EQ(VerifyBzip2(tar), ArcBzippedTar);
    MemoryStream text(QByteArray("BZh9 but no block magic follows"));
    EXPECT_EQ(VerifyBzip2(text), ArcUnknown);
    TArcBzip2Archive a(&text, "x.bz2");
    a.Load();
    try {
        a.TestItemAt(0);
        ADD_FAILURE() << "tested";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid Gzip");
    }
}

TEST_F(Bzip2ArchiveTest, PeerFilesReadAsBzip2AndTarDo) {
    for (const char* file : {"test_compat_bzip2_1.tbz", "test_compat_bzip2_2.tbz"}) {
        SCOPED_TRACE(file);
        const QByteArray expected = toolOutput("bzip2", {"-dc", peer(file)});
        TArcBzip2Archive a(peer(file), fmOpenRead);
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        MemoryStream out;
        try {
            a.ExtractItemToStreamAt(0, out);
        } catch (const Exception&) {
        }
        EXPECT_EQ(out.Memory(), expected);
        const QStringList listed = QString::fromUtf8(toolOutput("tar", {"-tf", peer(file)})).split(u'\n', Qt::SkipEmptyParts);
        TArcBzip2Archive t(peer(file), fmOpenRead);
        t.TarFlag = true;
        t.SetTarSwitch(true);
        try {
            t.Load();
        } catch (const Exception&) {
        }
        QStringList names;
        for (int i = 0; i < t.GetCount(); ++i)
            names << t.ItemList().Items(i)->GetFileName();
        EXPECT_EQ(names, listed);
    }
}

TEST_F(Bzip2ArchiveTest, SavesThatBzip2Accepts) {
    const QString bz = path("out.bz2");
    {
        TArcBzip2Archive a(bz, fmCreate);
        a.Load();
        a.AddFromStream("data.bin", std::make_shared<MemoryStream>(binaryInput(120000)));
    }
    EXPECT_EQ(runTool("bzip2", {"-t", bz}, dir.path()), 0);
    EXPECT_TRUE(readFile(bz).startsWith("BZh9"));
    EXPECT_EQ(toolOutput("bzip2", {"-dc", bz}), binaryInput(120000));

    // Deleting the only item writes nothing.
    const QByteArray before = readFile(bz);
    TArcBzip2Archive a(bz, fmOpenReadWrite);
    a.Load();
    a.DeleteAt(0);
    a.SaveIfChanged();
    EXPECT_EQ(readFile(bz), before);

    // A failed compression leaves the archive whole.
    TArcBzip2Archive b(bz, fmOpenReadWrite);
    b.Load();
    b.ItemList().Items(0)->DiskFileName = path("missing");
    b.ReplaceAt(0);
    EXPECT_ANY_THROW(b.SaveIfChanged());
    EXPECT_EQ(readFile(bz), before);
}

TEST_F(Bzip2ArchiveTest, TarModeSavesAWholeTar) {
    ASSERT_TRUE(writeFile(path("f.txt"), "f\n"));
    ASSERT_EQ(runTool("tar", {"cjf", "t.tbz2", "f.txt"}, dir.path()), 0);
    {
        TArcBzip2Archive a(path("t.tbz2"), fmOpenReadWrite);
        a.TarFlag = true;
        a.SetTarSwitch(true);
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        a.AddFromStream("g.txt", std::make_shared<MemoryStream>(QByteArray("g\n")));
    }
    EXPECT_EQ(runTool("bzip2", {"-t", path("t.tbz2")}, dir.path()), 0);
    EXPECT_EQ(toolOutput("tar", {"-tjf", path("t.tbz2")}), "f.txt\ng.txt\n");
}

TEST_F(Bzip2ArchiveTest, EveryCutFailsTestAndExtractionWithTheBzip2Error) {
    // Input that ends before the stream's end marker is a cut file, not an
    // empty or short member: bzip2 -t says the same.
    ASSERT_TRUE(writeFile(path("data.bin"), randomInput(9000)));
    ASSERT_EQ(runTool("tar", {"cjf", "t.tbz2", "data.bin"}, dir.path()), 0);
    struct Case {
        const char* name;
        QByteArray data;
        bool tar;
    } cases[] = {{"bz2", bzipped(randomInput(9000), dir.path()), false},
                 {"tbz2", readFile(path("t.tbz2")), true}};
    for (const Case& c : cases) {
        ASSERT_GT(c.data.size(), 4096) << c.name;
        for (qsizetype cut = 1024; cut < c.data.size(); cut += 1024) {
            SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(cut));
            MemoryStream s(c.data.left(cut));
            EXPECT_EQ(VerifyBzip2(s), ArcBzip2);
            TArcBzip2Archive a(&s, "x.bz2");
            a.TarFlag = c.tar;
            a.SetTarSwitch(c.tar);
            const auto expectCut = [](const std::function<void()>& step) {
                try {
                    step();
                    ADD_FAILURE() << "no error";
                } catch (const EBZip2Error& e) {
                    EXPECT_EQ(e.Message(), "error -7");
                }
            };
            if (c.tar) {
                expectCut([&] { a.Load(); });
                continue;
            }
            a.Load();
            ASSERT_EQ(a.GetCount(), 1);
            expectCut([&] { a.TestItemAt(0); });
            expectCut([&] { a.ExtractItemAt(0, path("out.bin")); });
            EXPECT_FALSE(QFileInfo::exists(path("out.bin")));
        }
    }
}

}  // namespace
