#include "archive/zip_archive.h"

#include "killed_child.h"
#include "zip_test_support.h"

#include <QDirIterator>
#include <sys/stat.h>

using namespace tandex::archive;
using namespace zip_test;

namespace {

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(haveTool("zip") && haveTool("unzip") && haveTool("zipinfo"));
        path_ = dir_.path();
        writeFile(path_ + "/a.txt", QByteArray("hello, world\n").repeated(40));
        writeFile(path_ + "/b.bin", noise(70000, 1));
        QDir(path_).mkdir("sub");
        writeFile(path_ + "/sub/c.txt", QByteArray("third member\n").repeated(900));
        writeFile(path_ + "/empty.txt", {});
        // Even seconds: DOS times keep two-second steps only, and the tools
        // would show the finer stamp of their own extra field otherwise.
        ASSERT_EQ(shell("touch -d '2024-03-04 05:06:08' a.txt b.bin sub/c.txt empty.txt sub", path_)
                      .exitCode,
                  0);
    }

    QString file(const QString& name) const { return path_ + "/" + name; }

    // A copy of the members as the tool extracts them.
    QByteArray extracted(const QString& zip, const QString& member) const {
        return shell(QStringLiteral("unzip -p '%1' '%2'").arg(zip, member), path_).out;
    }

    void expectToolsAccept(const QString& zip) const {
        const ToolRun t = shell(QStringLiteral("unzip -t '%1'").arg(zip), path_);
        EXPECT_EQ(t.exitCode, 0) << t.out.toStdString() << t.err.toStdString();
        const ToolRun z = shell(QStringLiteral("zip -T '%1'").arg(zip), path_);
        EXPECT_EQ(z.exitCode, 0) << z.out.toStdString() << z.err.toStdString();
    }

    QTemporaryDir dir_;
    QString path_;
};

std::unique_ptr<TArcZipArchive> openZip(const QString& name, uint16_t mode = fmOpenReadWrite) {
    auto archive = std::make_unique<TArcZipArchive>(name, mode);
    archive->Load();
    return archive;
}

}  // namespace

// ------------------------------------------------------------- reading

TEST_F(ZipArchiveTest, ArchivesOfOtherToolsListLikeZipinfo) {
    struct Case {
        const char* zip;
        const char* command;
        bool needs;  // whether the tool is there
    };
    const Case cases[] = {
        {"plain.zip", "zip -q -X plain.zip a.txt b.bin sub/c.txt empty.txt", true},
        {"forced64.zip", "zip -q -fz forced64.zip a.txt b.bin sub/c.txt", true},
        {"comment.zip", "echo 'an archive comment' | zip -q -z comment.zip a.txt b.bin", true},
        {"stream.zip", "zip -q - a.txt b.bin sub/c.txt | cat > stream.zip", true},
        {"stdin.zip", "cat a.txt | zip -q > stdin.zip", true},
        {"sfx.zip",
         "head -c 1000 /dev/urandom > stub && printf MZ | dd of=stub conv=notrunc 2>/dev/null && "
         "zip -q inner.zip a.txt sub/c.txt && cat stub inner.zip > sfx.zip && zip -q -A sfx.zip",
         true},
        {"sevenzip.zip", "7z a -tzip -bd sevenzip.zip a.txt b.bin sub/c.txt >/dev/null", haveTool("7z")},
        {"bsd.zip", "bsdtar --format zip -cf bsd.zip a.txt b.bin sub/c.txt", haveTool("bsdtar")},
        {"python.zip",
         "/usr/bin/python3 -c \"import zipfile\n"
         "with zipfile.ZipFile('python.zip','w',zipfile.ZIP_DEFLATED) as z:\n"
         "  z.write('a.txt'); z.write('b.bin', compress_type=zipfile.ZIP_STORED)\n"
         "  z.write('sub/c.txt', compress_type=zipfile.ZIP_BZIP2)\"",
         QFile::exists("/usr/bin/python3")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zip);
        if (!c.needs) continue;
        ASSERT_EQ(shell(c.command, path_).exitCode, 0);
        const std::vector<Listed> expected = toolListing(file(c.zip));
        ASSERT_FALSE(expected.empty());
        auto archive = openZip(file(c.zip), fmOpenRead);
        EXPECT_EQ(ourListing(*archive), expected);
        FileStream stream(file(c.zip), fmOpenRead);
        const TArchiveType type = QByteArray(c.zip) == "sfx.zip" ? VerifySelfExtractingZip(stream)
                                                                 : VerifyZip(stream);
        EXPECT_EQ(type, QByteArray(c.zip) == "sfx.zip" ? ArcSelfExtractingZip : ArcZip);
        EXPECT_EQ(archive->IsExecutable, QByteArray(c.zip) == "sfx.zip");
        if (QByteArray(c.zip) == "comment.zip") {
            EXPECT_EQ(archive->Footer().ZipfileComment, "an archive comment");
        }
    }
}

TEST_F(ZipArchiveTest, FullDirectoryWithoutZip64AndLongestCommentLoad) {
    ASSERT_TRUE(QFile::exists("/usr/bin/python3"));
    // Exactly 65,535 entries need no zip64 records, so the counts sit at
    // their 16-bit maximum without a locator; the comment is the longest
    // there can be.
    ASSERT_EQ(shell("/usr/bin/python3 -c \"import zipfile\n"
                    "with zipfile.ZipFile('many.zip','w') as z:\n"
                    "  z.comment = bytes(i % 251 for i in range(65535))\n"
                    "  for i in range(65535): z.writestr('f%05d' % i, b'')\"",
                    path_)
                  .exitCode,
              0);
    auto archive = openZip(file("many.zip"), fmOpenRead);
    ASSERT_EQ(archive->GetCount(), 65535);
    EXPECT_EQ(archive->ZipItem(0)->GetFileName(), "f00000");
    EXPECT_EQ(archive->ZipItem(65534)->GetFileName(), "f65534");
    EXPECT_EQ(archive->Footer().ZipfileComment.size(), 65535);
    EXPECT_EQ(static_cast<uint8_t>(archive->Footer().ZipfileComment[65534]), 65534 % 251);
}

// ------------------------------------------------------------- writing

TEST_F(ZipArchiveTest, NewNamesReadRightInUnzip) {
    {
        TArcZipArchive archive(file("names.zip"), fmCreate);
        installStoredHooks(archive);
        archive.Load();
        archive.AddFromStream(QStringLiteral("a.txt"), memoryOf("one"));
        archive.AddFromStream(QStringLiteral("ä.txt"), memoryOf("two"));
        archive.AddFromStream(QStringLiteral("日本.txt"), memoryOf("three"));
        ASSERT_EQ(archive.GetCount(), 3);
        const TArcZipItem& umlaut = *archive.ZipItem(1);
        EXPECT_EQ(umlaut.RawFileName(), QByteArray("\x84.txt"));
        EXPECT_EQ(umlaut.GeneralPurposeBitFlag() & kZipFlagUtf8, 0);
        EXPECT_TRUE(const_cast<TArcZipItem&>(umlaut).CentralHeader().ExtraField.Has(kUnicodePathTag));
        EXPECT_EQ(archive.ZipItem(2)->GeneralPurposeBitFlag() & kZipFlagUtf8, kZipFlagUtf8);
    }
    const ToolRun list = shell("unzip -l names.zip", path_);
    ASSERT_EQ(list.exitCode, 0);
    const QString text = QString::fromUtf8(list.out);
    EXPECT_TRUE(text.contains(QStringLiteral(" a.txt\n")));
    EXPECT_TRUE(text.contains(QStringLiteral(" ä.txt\n"))) << list.out.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral(" 日本.txt\n"))) << list.out.toStdString();
    expectToolsAccept("names.zip");
    auto again = openZip(file("names.zip"), fmOpenRead);
    EXPECT_EQ(again->ZipItem(1)->GetFileName(), QStringLiteral("ä.txt"));
    EXPECT_EQ(again->ZipItem(2)->GetFileName(), QStringLiteral("日本.txt"));
}

TEST_F(ZipArchiveTest, DeletedMemberLeavesTheRestByteIdentical) {
    struct Case {
        const char* zip;
        const char* command;
    };
    const Case cases[] = {
        {"plain.zip", "zip -q plain.zip a.txt b.bin sub/c.txt empty.txt"},
        // Streamed: every member has flag bit 3 and a descriptor.
        {"stream.zip", "zip -q - a.txt b.bin sub/c.txt empty.txt | cat > stream.zip"},
        {"forced64.zip", "zip -q -fz forced64.zip a.txt b.bin sub/c.txt empty.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zip);
        ASSERT_EQ(shell(c.command, path_).exitCode, 0);
        std::vector<Listed> before = toolListing(file(c.zip));
        {
            auto archive = openZip(file(c.zip));
            archive->DeleteAt(archive->FindFile("b.bin"));
            archive->SaveIfChanged();
            EXPECT_EQ(archive->GetCount(), 3);
        }
        expectToolsAccept(c.zip);
        before.erase(before.begin() + 1);
        EXPECT_EQ(toolListing(file(c.zip)), before);
        EXPECT_EQ(extracted(c.zip, "a.txt"), readFile(file("a.txt")));
        EXPECT_EQ(extracted(c.zip, "sub/c.txt"), readFile(file("sub/c.txt")));
    }
}

TEST_F(ZipArchiveTest, KeptBitThreeMembersGetOneDescriptorEach) {
    ASSERT_EQ(shell("zip -q - a.txt sub/c.txt | cat > stream.zip", path_).exitCode, 0);
    for (int round = 0; round < 2; ++round) {
        auto archive = openZip(file("stream.zip"));
        archive->SetZipfileComment(QByteArray("round ") + QByteArray::number(round));
        archive->SaveIfChanged();
        const QByteArray bytes = readFile(file("stream.zip"));
        for (int i = 0; i < archive->GetCount(); ++i) {
            TArcZipItem& item = *archive->ZipItem(i);
            ASSERT_TRUE(item.GeneralPurposeBitFlag() & kZipFlagDataDescriptor);
            TArcZipLocalFileHeader local;
            MemoryStream m(bytes);
            m.Seek(static_cast<int64_t>(item.RelativeOffset()), soBeginning);
            local.LoadFromStream(m);
            const qsizetype after = static_cast<qsizetype>(item.RelativeOffset() + local.RecordSize() +
                                                           item.GetCompressedSize());
            EXPECT_EQ(bytes.mid(after, 4), QByteArray("PK\x07\x08", 4));
            EXPECT_NE(bytes.mid(after + 16, 4), QByteArray("PK\x07\x08", 4));
        }
        expectToolsAccept("stream.zip");
    }
    // A streaming reader finds every member from the local records alone.
    if (haveTool("bsdtar")) {
        const ToolRun t = shell("cat stream.zip | bsdtar -xOf - sub/c.txt", path_);
        EXPECT_EQ(t.out, readFile(file("sub/c.txt")));
    }
}

TEST_F(ZipArchiveTest, DeletingEveryMemberLeavesAnEmptyDirectory) {
    ASSERT_EQ(shell("zip -q all.zip a.txt b.bin", path_).exitCode, 0);
    {
        auto archive = openZip(file("all.zip"));
        archive->DeleteAt(0);
        archive->DeleteAt(1);
        archive->SaveIfChanged();
        EXPECT_EQ(archive->GetCount(), 0);
    }
    EXPECT_EQ(readFile(file("all.zip")), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
}

TEST_F(ZipArchiveTest, ExecutableStubSurvivesASave) {
    ASSERT_EQ(shell("head -c 1000 /dev/urandom > stub && printf MZ | dd of=stub conv=notrunc "
                    "2>/dev/null && zip -q inner.zip a.txt b.bin sub/c.txt && cat stub inner.zip > "
                    "sfx.zip && zip -q -A sfx.zip",
                    path_)
                  .exitCode,
              0);
    const QByteArray stub = readFile(file("stub"));
    {
        auto archive = openZip(file("sfx.zip"));
        EXPECT_TRUE(archive->IsExecutable);
        EXPECT_EQ(archive->StubSize, 1000u);
        archive->DeleteAt(archive->FindFile("b.bin"));
        archive->AddFromStream(QStringLiteral("new.txt"), memoryOf("added behind the stub"));
    }
    const QByteArray saved = readFile(file("sfx.zip"));
    EXPECT_EQ(saved.left(1000), stub);
    const ToolRun t = shell("unzip -t sfx.zip", path_);
    EXPECT_EQ(t.exitCode, 0) << t.out.toStdString() << t.err.toStdString();
    EXPECT_FALSE(t.err.contains("extra bytes")) << t.err.toStdString();
}

TEST_F(ZipArchiveTest, StubNeverReachesPastTheDirectory) {
    // A stub with no member behind it: only the (empty) directory follows,
    // and a save must not take the old end record for part of the stub.
    QByteArray end("PK\x05\x06", 4);
    end += QByteArray(12, '\0') + QByteArray("\x0d\0\0\0\0\0", 6);
    const QByteArray stub("MZ stub bytes");
    ASSERT_TRUE(writeFile(file("only.zip"), stub + end));
    {
        auto archive = openZip(file("only.zip"));
        EXPECT_EQ(archive->GetCount(), 0);
        EXPECT_TRUE(archive->IsExecutable);
        EXPECT_EQ(archive->StubSize, 13u);
        installStoredHooks(*archive);
        archive->AddFromStream(QStringLiteral("x.txt"), memoryOf("x"));
    }
    const QByteArray saved = readFile(file("only.zip"));
    EXPECT_EQ(saved.left(14), stub + "P");
    EXPECT_EQ(saved.count("PK\x05\x06"), 1);
    const ToolRun t = shell("unzip -t only.zip", path_);
    EXPECT_EQ(t.exitCode, 0) << t.out.toStdString() << t.err.toStdString();
}

TEST_F(ZipArchiveTest, SevenZipPpmdMembersSurviveADeletion) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z not installed";
    ASSERT_EQ(shell("7z a -tzip -mm=PPMd -bd ppmd.zip a.txt b.bin sub/c.txt >/dev/null", path_).exitCode,
              0);
    {
        auto archive = openZip(file("ppmd.zip"));
        ASSERT_EQ(archive->ZipItem(0)->CompressionMethod(), 98);
        archive->DeleteAt(archive->FindFile("b.bin"));
        archive->SaveIfChanged();
    }
    const ToolRun t = shell("7z t ppmd.zip", path_);
    EXPECT_EQ(t.exitCode, 0) << t.out.toStdString();
    EXPECT_EQ(shell("7z x -so ppmd.zip sub/c.txt 2>/dev/null", path_).out, readFile(file("sub/c.txt")));
}

// ------------------------------------------------------- failing saves

TEST_F(ZipArchiveTest, SaveStoppedPartWayLeavesTheOldFileAndItems) {
    ASSERT_EQ(shell("zip -q keep.zip a.txt b.bin sub/c.txt", path_).exitCode, 0);
    const QByteArray original = readFile(file("keep.zip"));
    auto archive = openZip(file("keep.zip"));
    installStoredHooks(*archive);
    const uint64_t offset = archive->ZipItem(2)->RelativeOffset();
    archive->DeleteAt(0);
    int calls = 0;
    archive->OnArchiveSaveProgress = [&](TArcArchive&, uint8_t, bool& abort) { abort = ++calls == 2; };
    EXPECT_THROW(archive->SaveIfChanged(), EArcUserAbort);
    EXPECT_EQ(readFile(file("keep.zip")), original);
    EXPECT_EQ(archive->ZipItem(2)->RelativeOffset(), offset);
    EXPECT_EQ(archive->ZipItem(0)->Action, iaDelete);
    const QStringList left = QDir(path_).entryList({"VMS*"}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();

    // The same archive object still saves correctly afterwards.
    archive->OnArchiveSaveProgress = nullptr;
    archive->SaveIfChanged();
    expectToolsAccept("keep.zip");
    EXPECT_EQ(extracted("keep.zip", "sub/c.txt"), readFile(file("sub/c.txt")));
}

TEST_F(ZipArchiveTest, SaveKilledPartWayLeavesNothingBesideTheArchive) {
    // The new archive has no name until it replaces the old one: a program
    // killed while writing it leaves only the old archive.
    ASSERT_EQ(shell("zip -q keep.zip a.txt b.bin sub/c.txt", path_).exitCode, 0);
    const QByteArray original = readFile(file("keep.zip"));
    const QStringList before = QDir(path_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_TRUE(tandex::testing::KilledWhere([&](const std::function<void()>& reached) {
        auto archive = openZip(file("keep.zip"));
        installStoredHooks(*archive);
        archive->DeleteAt(0);
        archive->OnArchiveSaveProgress = [&](TArcArchive&, uint8_t, bool&) { reached(); };
        archive->SaveIfChanged();
    }));
    EXPECT_EQ(QDir(path_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    EXPECT_EQ(readFile(file("keep.zip")), original);
}

TEST_F(ZipArchiveTest, AbortedCompressionStopsTheSaveAndKeepsTheHeader) {
    ASSERT_EQ(shell("zip -q keep.zip a.txt b.bin", path_).exitCode, 0);
    const QByteArray original = readFile(file("keep.zip"));
    auto archive = openZip(file("keep.zip"));
    TArcZipItem& item = *archive->ZipItem(0);
    const uint64_t packed = item.GetCompressedSize();
    const uint32_t crc = item.GetCRC32();
    archive->InsertHelper = [&](TArcZipItem& it, Stream& out) {
        // The compressor has already changed the header when the user stops.
        it.SetCompressionMethod(0);
        it.SetCompressedSize(123);
        it.SetCRC32(0xDEADBEEF);
        out.WriteBuffer("partial", 7);
        archive->DoDeflateProgress(50);
    };
    archive->OnArchiveItemProgress = [](TArcArchive&, TArcArchiveItem*, uint8_t, bool& abort) {
        abort = true;
    };
    archive->ReplaceAt(0);
    EXPECT_THROW(archive->SaveIfChanged(), EArcAbortProgress);
    EXPECT_EQ(readFile(file("keep.zip")), original);
    EXPECT_EQ(item.CompressionMethod(), 8);
    EXPECT_EQ(item.GetCompressedSize(), packed);
    EXPECT_EQ(item.GetCRC32(), crc);

    // Given up, the replacement leaves the member as it was.
    item.Action = iaNone;
    archive->SetZipfileComment("saved");
    archive->SaveIfChanged();
    expectToolsAccept("keep.zip");
    EXPECT_EQ(extracted("keep.zip", "a.txt"), readFile(file("a.txt")));
}

TEST_F(ZipArchiveTest, FailedReplacementKeepsTheOldMemberAndIsReported) {
    ASSERT_EQ(shell("zip -q keep.zip a.txt b.bin", path_).exitCode, 0);
    auto archive = openZip(file("keep.zip"));
    // Half-way through its new data, the source becomes unreadable.
    archive->InsertHelper = [](TArcZipItem& item, Stream& out) {
        item.SetCompressedSize(5);
        out.WriteBuffer("bytes", 5);
        throw FileOpenError(QStringLiteral("Cannot open file"));
    };
    std::vector<std::pair<TArcProcessType, TArcErrorClass>> failures;
    archive->OnProcessItemFailure = [&](TArcArchive&, TArcArchiveItem*, TArcProcessType type,
                                        TArcErrorClass errorClass, int32_t) {
        failures.emplace_back(type, errorClass);
    };
    archive->ReplaceAt(0);
    std::unique_ptr<TArcArchiveItem> fresh = archive->CreateItem(file("new.txt"));
    archive->Add(std::move(fresh));
    archive->SaveIfChanged();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], std::make_pair(ptAdd, ecFileOpenError));
    // The replaced member is still there with its old data; the new one,
    // which never had data, is gone.
    EXPECT_EQ(archive->GetCount(), 2);
    expectToolsAccept("keep.zip");
    EXPECT_EQ(extracted("keep.zip", "a.txt"), readFile(file("a.txt")));
}

TEST_F(ZipArchiveTest, ReadOnlyArchiveRefusesTheSave) {
    ASSERT_EQ(shell("zip -q ro.zip a.txt b.bin && chmod 0444 ro.zip", path_).exitCode, 0);
    const QByteArray original = readFile(file("ro.zip"));
    auto archive = openZip(file("ro.zip"), fmOpenRead);
    archive->DeleteAt(0);
    EXPECT_THROW(archive->SaveIfChanged(), FileOpenError);
    EXPECT_EQ(readFile(file("ro.zip")), original);
}

TEST_F(ZipArchiveTest, SaveKeepsPermissionsAndFollowsALink) {
    ASSERT_EQ(shell("zip -q real.zip a.txt b.bin && chmod 0640 real.zip && ln -s real.zip link.zip",
                    path_)
                  .exitCode,
              0);
    {
        auto archive = openZip(file("link.zip"));
        archive->DeleteAt(0);
        archive->SaveIfChanged();
    }
    EXPECT_TRUE(QFileInfo(file("link.zip")).isSymLink());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file("real.zip")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    expectToolsAccept("real.zip");
}

TEST_F(ZipArchiveTest, StreamArchiveGetsTheResultCopiedIn) {
    ASSERT_EQ(shell("zip -q mem.zip a.txt b.bin", path_).exitCode, 0);
    MemoryStream memory(readFile(file("mem.zip")));
    TArcZipArchive archive(&memory, QString());
    installStoredHooks(archive);
    archive.Load();
    archive.AddFromStream(QStringLiteral("third.txt"), memoryOf("3"));
    ASSERT_TRUE(writeFile(file("out.zip"), memory.Memory()));
    expectToolsAccept("out.zip");
    EXPECT_EQ(extracted("out.zip", "third.txt"), "3");
}

TEST_F(ZipArchiveTest, MissingHooksRaise) {
    ASSERT_EQ(shell("zip -q h.zip a.txt", path_).exitCode, 0);
    auto archive = openZip(file("h.zip"), fmOpenRead);
    MemoryStream out;
    EXPECT_THROW(archive->ExtractItemToStreamAt(0, out), EArcZipNoExtraction);
    EXPECT_THROW(archive->ExtractItemAt(0, file("x")), EArcZipNoExtraction);
    EXPECT_THROW(archive->TestItemAt(0), EArcZipNoExtraction);
}

// --------------------------------------------------- hostile archives

namespace {

struct PeerEntry {
    QString name;
    uint64_t size = 0;
    QString crc;
};

// The members MANIFEST.txt lists for one file.
std::vector<PeerEntry> manifestOf(const QString& fileName) {
    std::vector<PeerEntry> out;
    const QByteArray text = readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/MANIFEST.txt"));
    bool inside = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(QStringLiteral("## "))) {
            inside = line.mid(3) == fileName;
            continue;
        }
        if (!inside) continue;
        if (line.startsWith(QStringLiteral("Path = "))) out.push_back({line.mid(7), 0, {}});
        if (line.startsWith(QStringLiteral("Size = ")) && !out.empty())
            out.back().size = line.mid(7).toULongLong();
        if (line.startsWith(QStringLiteral("CRC = ")) && !out.empty()) out.back().crc = line.mid(6);
    }
    return out;
}

}  // namespace

TEST(ZipPeerArchives, ListedMembersMatchTheManifest) {
    // Names stored in a code page are read through this machine's pair
    // (437 for MS-DOS hosts, 1252 otherwise), not as the other reader
    // guessed them; field 0x7075 counts only with the CRC of the raw name.
    struct Case {
        const char* file;
        std::vector<QString> names;  // empty: as listed in the manifest
    };
    const Case cases[] = {
        {"test_read_format_zip_7075_utf8_paths.zip",
         {QStringLiteral("File 1.txt"), QStringLiteral("File 2 - ö.txt"), QStringLiteral("File 3 - ä.txt"), QStringLiteral("File 4 - å.txt")}},
        {"test_read_format_zip_comment_stored_1.zip", {}},
        {"test_read_format_zip_comment_stored_2.zip", {}},
        {"test_read_format_zip_filename_cp866.zip",
         {QStringLiteral("ÅÉêéàÆ"), QStringLiteral("¯à¨¢¥â")}},
        {"test_read_format_zip_filename_cp932.zip",
         {QStringLiteral("•\\‚¾‚æ/ˆê——•\\.txt"), QStringLiteral("•\\‚¾‚æ/Š¿Žš.txt")}},
        {"test_read_format_zip_filename_koi8r.zip",
         {QStringLiteral("ÐÒÉ×ÅÔ"), QStringLiteral("ðòé÷åô")}},
        {"test_read_format_zip_filename_utf8_jp.zip", {}},
        {"test_read_format_zip_high_compression.zip", {}},
        {"test_read_format_zip_implode.zip", {}},
        {"test_read_format_zip_length_at_end.zip", {}},
        {"test_read_format_zip_msdos.zip", {}},
        {"test_read_format_zip_nested.zip", {}},
        {"test_read_format_zip_sfx", {}},
        {"test_read_format_zip_traditional_encryption_data.zip", {}},
        {"test_read_format_zip_ux.zip", {}},
        {"test_read_format_zip_with_invalid_traditional_eocd.zip", {}},
        {"test_read_format_zip_zip64a.zip", {}},
        {"test_read_format_zip_zip64b.zip", {}},
        {"test_read_format_zip_bzip2.zipx", {}},
        {"test_read_format_zip_bzip2_multi.zipx", {}},
        {"test_read_format_zip_lzma.zipx", {}},
        {"test_read_format_zip_lzma_multi.zipx", {}},
        {"test_read_format_zip_ppmd8.zipx", {}},
        {"test_read_format_zip_ppmd8_multi.zipx", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString name = QStringLiteral(TANDEX_TEST_DATA "/peer/") + c.file;
        const std::vector<PeerEntry> expected = manifestOf(c.file);
        ASSERT_FALSE(expected.empty());
        TArcZipArchive archive(name, fmOpenRead);
        archive.Load();
        ASSERT_EQ(archive.GetCount(), static_cast<int>(expected.size()));
        for (int i = 0; i < archive.GetCount(); ++i) {
            const TArcZipItem& item = *archive.ZipItem(i);
            QString listed = item.GetFileName();
            if (listed.endsWith(u'/')) listed.chop(1);
            const QString expectedName = c.names.empty() ? expected[static_cast<size_t>(i)].name
                                                         : c.names[static_cast<size_t>(i)];
            EXPECT_EQ(listed, expectedName) << i;
            EXPECT_EQ(item.GetUncompressedSize(), expected[static_cast<size_t>(i)].size) << i;
            if (!expected[static_cast<size_t>(i)].crc.isEmpty()) {
                EXPECT_EQ(QString::asprintf("%08X", item.GetCRC32()), expected[static_cast<size_t>(i)].crc)
                    << i;
            }
        }
    }
}

TEST(ZipPeerArchives, DamagedArchivesLoadOrRaiseALibraryError) {
    const char* files[] = {
        "test_read_format_zip_bz2_hang.zip",   "test_read_format_zip_deflate64.zip",
        "test_read_format_zip_malformed1.zip", "test_read_format_zip_padded1.zip",
        "test_read_format_zip_ppmd8_crash_1.zipx", "test_read_format_zip_ppmd8_crash_2.zipx",
    };
    for (const char* f : files) {
        SCOPED_TRACE(f);
        TArcZipArchive archive(QStringLiteral(TANDEX_TEST_DATA "/peer/") + f, fmOpenRead);
        try {
            archive.Load();
        } catch (const Exception&) {
            EXPECT_EQ(archive.Status, StatusInvalid);
        }
    }
}

// Every input that once broke the loader stays here and must load or be
// refused with a library error.
TEST(ZipHostileInputs, KeptCrashersLoadOrRaise) {
    QDirIterator it(QStringLiteral(TANDEX_TEST_DATA), {"zip-*.bin"}, QDir::Files);
    int seen = 0;
    while (it.hasNext()) {
        const QString name = it.next();
        SCOPED_TRACE(name.toStdString());
        ++seen;
        MemoryStream stream(readFile(name));
        VerifySelfExtractingZip(stream);
        VerifyZip(stream);
        TArcZipArchive archive(&stream, QString());
        try {
            archive.Load();
        } catch (const Exception&) {
        }
    }
    EXPECT_GT(seen, 0);
}
