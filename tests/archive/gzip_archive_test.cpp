#include "archive/gzip_archive.h"

#include "codec_test_support.h"

#include <QDir>
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

QByteArray extracted(TArcArchive& a, int index) {
    MemoryStream out;
    a.ExtractItemToStreamAt(index, out);
    return out.Memory();
}

// A gzip member with the given header flags and fields, around real data.
QByteArray member(uint8_t flags, const QByteArray& fields, const QByteArray& plain) {
    QByteArray gz("\x1f\x8b\x08", 3);
    gz.append(char(flags));
    gz.append(QByteArray("\x00\x00\x00\x00\x00\x03", 6));
    gz += fields;
    gz += ourDeflate(plain);
    const quint32 crc = crcOf(plain);
    for (int i = 0; i < 4; ++i)
        gz.append(char(crc >> (8 * i)));
    for (int i = 0; i < 4; ++i)
        gz.append(char(quint32(plain.size()) >> (8 * i)));
    return gz;
}

class GzipArchiveTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(GzipArchiveTest, ListsOneItemAsGzipStoredIt) {
    ASSERT_TRUE(writeFile(path("report.txt"), textInput()));
    const QByteArray named = toolOutput("gzip", {"-c", "report.txt"}, dir.path());
    const QByteArray nameless = toolOutput("gzip", {"-cn", "report.txt"}, dir.path());
    struct Case {
        QByteArray data;
        QString name;
    } cases[] = {{named, "report.txt"}, {nameless, "unknown"}};
    for (auto& c : cases) {
        MemoryStream s(c.data);
        TArcGzipArchive a(&s, "x.gz");
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        EXPECT_EQ(a.ItemList().Items(0)->GetFileName(), c.name);
        EXPECT_EQ(a.ItemList().Items(0)->GetUncompressedSize(), uint64_t(textInput().size()));
        EXPECT_EQ(extracted(a, 0), textInput());
        EXPECT_NO_THROW(a.TestItemAt(0));
    }
}

TEST_F(GzipArchiveTest, ReadsHandMadeHeaderFields) {
    const QByteArray plain("hello gzip fields\n");
    QByteArray extra("\x06\x00" "AB\x02\x00xy", 8);
    struct Case {
        uint8_t flags;
        QByteArray fields;
        QString name;
        QByteArray comment;
    } cases[] = {
        {kGzipName | kGzipHeaderCrc, QByteArray("n.txt\0\x12\x34", 8), "n.txt", {}},
        {kGzipExtra | kGzipName, extra + QByteArray("e.txt\0", 6), "e.txt", {}},
        {kGzipComment, QByteArray("a remark\0", 9), "unknown", "a remark"},
        {kGzipExtra | kGzipName | kGzipComment | kGzipHeaderCrc,
         extra + QByteArray("all\0c\0\xAA\xBB", 8), "all", "c"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(int(c.flags));
        MemoryStream s(member(c.flags, c.fields, plain));
        TArcGzipArchive a(&s, "x.gz");
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        auto* item = a.GzipItem(0);
        EXPECT_EQ(item->GetFileName(), c.name);
        EXPECT_EQ(item->Comment, c.comment);
        EXPECT_EQ(item->ExtraField.Has(0x4241), (c.flags & kGzipExtra) != 0);
        EXPECT_EQ(extracted(a, 0), plain);
    }
}

TEST_F(GzipArchiveTest, ExtraFieldChangesSetTheFlag) {
    TArcGzipItem item;
    item.ExtraField.Put(0x4142, "xy", 2);
    EXPECT_TRUE(item.Flags() & kGzipExtra);
    item.ExtraField.Delete(0x4142);
    EXPECT_FALSE(item.Flags() & kGzipExtra);
}

TEST_F(GzipArchiveTest, ConcatenatedMembersExtractAsGzipDoes) {
    ASSERT_TRUE(writeFile(path("a"), "first part\n"));
    ASSERT_TRUE(writeFile(path("b"), binaryInput(70000)));
    const QByteArray both = toolOutput("gzip", {"-c", "a"}, dir.path()) +
                            toolOutput("gzip", {"-c", "b"}, dir.path());
    ASSERT_TRUE(writeFile(path("ab.gz"), both));
    for (const QString& file : {path("ab.gz"), peer("test_compat_gzip_1.tgz"), peer("test_compat_gzip_2.tgz")}) {
        SCOPED_TRACE(file.toStdString());
        TArcGzipArchive a(file, fmOpenRead);
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        EXPECT_EQ(extracted(a, 0), toolOutput("gzip", {"-dc", file}));
        EXPECT_NO_THROW(a.TestItemAt(0));
    }
}

TEST_F(GzipArchiveTest, DamageIsReportedNotReturned) {
    const QByteArray good = member(0, {}, textInput());
    QByteArray badSize = good;
    badSize[badSize.size() - 1] = char(badSize.at(badSize.size() - 1) ^ 1);
    QByteArray badCrc = good;
    badCrc[badCrc.size() - 8] = char(badCrc.at(badCrc.size() - 8) ^ 1);
    struct Case {
        QByteArray data;
        QString message;
    } cases[] = {
        {badSize, "Bad File Size"},
        {badCrc, "Bad CRC"},
        {readFile(peer("test_read_filter_gzip_recursive.gz")), "Bad CRC"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        MemoryStream s(c.data);
        TArcGzipArchive a(&s, "x.gz");
        a.Load();
        ASSERT_EQ(a.GetCount(), 1);
        for (int pass = 0; pass < 2; ++pass) {
            try {
                if (pass == 0) {
                    TArcBitBucketStream sink(32768);
                    a.ExtractItemToStreamAt(0, sink);
                } else {
                    a.TestItemAt(0);
                }
                ADD_FAILURE() << "no error";
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message(), c.message);
            }
        }
        // Through the base the failure reaches the owner as an item failure.
        int failures = 0;
        a.OnProcessItemFailure = [&](TArcArchive&, TArcArchiveItem*, TArcProcessType, TArcErrorClass, int32_t) {
            ++failures;
        };
        MemoryStream out;
        a.ExtractToStream(a.ItemList().Items(0)->GetFileName(), out);
        EXPECT_EQ(failures, 1);
    }
}

TEST_F(GzipArchiveTest, RefusesNonGzipAndBrokenHeaders) {
    struct Case {
        QByteArray data;
    } cases[] = {
        {QByteArray("plain text, not gzip at all")},
        {QByteArray("\x1f\x8b\x08\x08\0\0\0\0\0\3name-without-end", 26)},
        {QByteArray("\x1f\x8b\x08\x10\0\0\0\0\0\3comment", 17)},
        {QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\3\x03", 11)},
    };
    for (auto& c : cases) {
        MemoryStream s(c.data);
        EXPECT_EQ(VerifyGzip(s), ArcUnknown);
        TArcGzipArchive a(&s, "x.gz");
        if (c.data.startsWith("plain")) {
            a.Load();
            EXPECT_EQ(a.GetCount(), 0);
            continue;
        }
        try {
            a.Load();
            ADD_FAILURE() << "loaded";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Invalid Gzip");
        }
    }
}

// Counts what a type test reads of its source.
class CountingStream : public MemoryStream {
public:
    using MemoryStream::MemoryStream;
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t n = MemoryStream::Read(buffer, count);
        read += n;
        return n;
    }
    int64_t read = 0;
};

TEST_F(GzipArchiveTest, TypeTestUnpacksOnlyTheStart) {
    ASSERT_TRUE(writeFile(path("random"), randomInput(8 << 20)));
    CountingStream s(toolOutput("gzip", {"-1c", "random"}, dir.path()));
    s.SetPosition(77);
    EXPECT_EQ(VerifyGzip(s), ArcGzip);
    EXPECT_EQ(s.Position(), 77);
    EXPECT_LT(s.read, 100000);
}

TEST_F(GzipArchiveTest, TarInsideIsTypeSixAndListsInTarMode) {
    ASSERT_TRUE(QDir().mkpath(path("t/sub")));
    ASSERT_TRUE(writeFile(path("t/one.txt"), "one\n"));
    ASSERT_TRUE(writeFile(path("t/sub/two.bin"), binaryInput(20000)));
    ASSERT_EQ(runTool("tar", {"czf", "t.tgz", "t"}, dir.path()), 0);
    MemoryStream s(readFile(path("t.tgz")));
    EXPECT_EQ(VerifyGzip(s), ArcGzippedTar);
    for (const QString& file : {path("t.tgz"), peer("test_compat_gzip_1.tgz"), peer("test_compat_gzip_2.tgz")}) {
        SCOPED_TRACE(file.toStdString());
        TArcGzipArchive a(file, fmOpenRead);
        a.TarFlag = true;
        a.SetTarSwitch(true);
        a.Load();
        QStringList names;
        for (int i = 0; i < a.GetCount(); ++i)
            names << a.ItemList().Items(i)->GetFileName();
        QStringList expected = QString::fromUtf8(toolOutput("tar", {"-tf", file})).split(u'\n', Qt::SkipEmptyParts);
        for (QString& n : expected)
            if (n.endsWith(u'/')) n.chop(1);
        for (QString& n : names)
            if (n.endsWith(u'/')) n.chop(1);
        EXPECT_EQ(names, expected);
        a.SetTarSwitch(false);
        EXPECT_EQ(a.GetCount(), 1);
    }
}

TEST_F(GzipArchiveTest, SavesThatGzipAccepts) {
    const QString gz = path("out.gz");
    {
        TArcGzipArchive a(gz, fmCreate);
        a.Load();
        a.AddFromStream("dir/data.bin", std::make_shared<MemoryStream>(binaryInput(90000)));
        ASSERT_EQ(a.GetCount(), 1);
        EXPECT_EQ(a.ItemList().Items(0)->GetFileName(), "data.bin");
    }
    EXPECT_EQ(runTool("gzip", {"-t", gz}, dir.path()), 0);
    EXPECT_EQ(toolOutput("gzip", {"-dc", gz}), binaryInput(90000));
    EXPECT_EQ(toolOutput("gzip", {"-l", "-N", gz}).contains("data.bin"), true);

    // An unchanged item keeps every member behind it; a renamed one too.
    const QByteArray twoMembers = readFile(gz) + toolOutput("gzip", {"-c", gz});
    ASSERT_TRUE(writeFile(gz, twoMembers));
    const QByteArray before = toolOutput("gzip", {"-dc", gz});
    {
        TArcGzipArchive a(gz, fmOpenReadWrite);
        a.Load();
        a.Move(a.ItemList().Items(0), "renamed.bin");
        a.SaveIfChanged();
    }
    EXPECT_EQ(toolOutput("gzip", {"-dc", gz}), before);
    TArcGzipArchive again(gz, fmOpenRead);
    again.Load();
    EXPECT_EQ(again.ItemList().Items(0)->GetFileName(), "renamed.bin");
}

TEST_F(GzipArchiveTest, SavesTarModeAndDiskItemsFromBaseDirectory) {
    ASSERT_TRUE(QDir().mkpath(path("t")));
    ASSERT_TRUE(writeFile(path("t/one.txt"), "one\n"));
    ASSERT_EQ(runTool("tar", {"czf", "t.tgz", "t"}, dir.path()), 0);
    {
        TArcGzipArchive a(path("t.tgz"), fmOpenReadWrite);
        a.TarFlag = true;
        a.SetTarSwitch(true);
        a.Load();
        a.AddFromStream("t/added.txt", std::make_shared<MemoryStream>(QByteArray("added\n")));
    }
    EXPECT_EQ(runTool("gzip", {"-t", path("t.tgz")}, dir.path()), 0);
    EXPECT_EQ(toolOutput("tar", {"-xOzf", path("t.tgz"), "t/added.txt"}), "added\n");

    ASSERT_TRUE(writeFile(path("t/disk.txt"), "from disk\n"));
    const QString cwd = QDir::currentPath();
    TArcGzipArchive a(path("d.gz"), fmCreate);
    a.SetBaseDirectory(path("t"));
    a.Load();
    a.Add(a.CreateItem("disk.txt"));
    a.SaveIfChanged();
    EXPECT_EQ(QDir::currentPath(), cwd);
    EXPECT_EQ(toolOutput("gzip", {"-dc", path("d.gz")}), "from disk\n");
}

TEST_F(GzipArchiveTest, ExtractItemAtReplacesOnlyOnSuccess) {
    ASSERT_TRUE(writeFile(path("target"), "keep me"));
    QByteArray bad = member(0, {}, textInput());
    bad[bad.size() - 8] = char(bad.at(bad.size() - 8) ^ 1);
    MemoryStream s(bad);
    TArcGzipArchive a(&s, "x.gz");
    a.Load();
    EXPECT_THROW(a.ExtractItemAt(0, path("target")), EArcGzipBadCRC);
    EXPECT_EQ(readFile(path("target")), "keep me");
    MemoryStream good(member(0, {}, textInput()));
    TArcGzipArchive b(&good, "x.gz");
    b.Load();
    b.ExtractItemAt(0, path("target"));
    EXPECT_EQ(readFile(path("target")), textInput());
    EXPECT_EQ(QDir(path("")).entryList(QDir::Files).size(), 1);
}

TEST_F(GzipArchiveTest, EveryCutFailsTestAndExtractionWithTheGzipError) {
    // A member cut before the end of its trailer is damaged: neither the
    // plain member nor a tar inside may pass for whole.
    ASSERT_TRUE(writeFile(path("data.bin"), randomInput(9000)));
    ASSERT_EQ(runTool("tar", {"czf", "t.tgz", "data.bin"}, dir.path()), 0);
    struct Case {
        const char* name;
        QByteArray data;
        bool tar;
    } cases[] = {{"gz", member(0, {}, randomInput(9000)), false}, {"tgz", readFile(path("t.tgz")), true}};
    for (const Case& c : cases) {
        ASSERT_GT(c.data.size(), 4096) << c.name;
        for (qsizetype cut = 1024; cut < c.data.size(); cut += 1024) {
            SCOPED_TRACE(std::string(c.name) + " cut at " + std::to_string(cut));
            MemoryStream s(c.data.left(cut));
            TArcGzipArchive a(&s, "x.gz");
            a.TarFlag = c.tar;
            a.SetTarSwitch(c.tar);
            const auto expectGzipError = [](const std::function<void()>& step) {
                try {
                    step();
                    ADD_FAILURE() << "no error";
                } catch (const EArcException& e) {
                    EXPECT_EQ(e.ErrorCode(), 200);
                    EXPECT_TRUE(e.Message().startsWith("Invalid Gzip - ")) << e.Message().toStdString();
                }
            };
            if (c.tar) {
                expectGzipError([&] { a.Load(); });
                continue;
            }
            a.Load();
            ASSERT_EQ(a.GetCount(), 1);
            expectGzipError([&] { a.TestItemAt(0); });
            expectGzipError([&] { a.ExtractItemAt(0, path("out.bin")); });
            EXPECT_FALSE(QFileInfo::exists(path("out.bin")));
        }
    }
}

}  // namespace
