// Extraction of zip items made by the common tools and by third parties,
// and the password, error and damage paths of the extraction routines.

#include "archive/zip_extract.h"

#include "archive/deflate.h"
#include "archive/spill_streams.h"

#include "zip_test_support.h"

#include <QDirIterator>
#include <QFileInfo>
#include <cmath>

namespace {

using namespace zip_test;

const QStringList kSources = {QStringLiteral("text.txt"), QStringLiteral("noise.bin"),
                              QStringLiteral("empty.txt")};

QByteArray wordyText(int size) {
    static const char* words[] = {"member ", "header ", "window ", "the ", "of ", "deflate ", "\n"};
    QByteArray out;
    uint32_t x = 99;
    while (out.size() < size) {
        x = x * 1103515245 + 12345;
        out += words[(x >> 16) % 7];
    }
    out.truncate(size);
    return out;
}

class ZipExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        writeFile(path("text.txt"), wordyText(200000));
        writeFile(path("noise.bin"), noise(70000, 3));
        writeFile(path("empty.txt"), {});
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // Extracts every file item to memory and compares it with its source;
    // returns the first failure's message, empty when all matched.
    static QString extractAll(TArcZipArchive& archive, const QString& sourceDir) {
        for (int i = 0; i < archive.GetCount(); ++i) {
            TArcZipItem& item = *archive.ZipItem(i);
            if (item.GetIsDirectory()) continue;
            MemoryStream out;
            try {
                UnzipToStream(archive, item, &out);
            } catch (const Exception& e) {
                return item.GetFileName() + QStringLiteral(": ") + e.Message();
            }
            const QByteArray expected = readFile(sourceDir + u'/' + item.GetFileName());
            if (out.Memory() != expected) return item.GetFileName() + QStringLiteral(": bytes differ");
        }
        return {};
    }
    static QString testAll(TArcZipArchive& archive) {
        for (int i = 0; i < archive.GetCount(); ++i) {
            try {
                TestZipItem(archive, *archive.ZipItem(i));
            } catch (const Exception& e) {
                return e.Message();
            }
        }
        return {};
    }

    QTemporaryDir dir;
};

TEST_F(ZipExtractTest, ToolMadeArchivesExtractByteIdentical) {
    const QString lzmaScript = QStringLiteral(
        "/usr/bin/python3 -c \"import zipfile\nz = zipfile.ZipFile('out.zip', 'w', zipfile.ZIP_LZMA)\n"
        "for f in ['text.txt', 'noise.bin', 'empty.txt']: z.write(f)\nz.close()\"");
    struct Case {
        const char* tool;
        QString command;
        QByteArray password;
        QString testResult;  // what TestZipItem says, empty when it passes
        QString extractResult;
    };
    const QString lfh = QStringLiteral("Invalid Local File Header entry");
    const QString files = QStringLiteral(" text.txt noise.bin empty.txt");
    const std::vector<Case> cases = {
        {"zip", "zip -q -X -0 out.zip" + files, {}, {}, {}},
        {"zip", "zip -q -X out.zip" + files, {}, {}, {}},
        {"zip", "zip -q -X -Z bzip2 out.zip" + files, {}, {}, {}},
        {"zip", "zip -q -X -P pw out.zip" + files, "pw", {}, {}},
        {"zip", "zip -q -X -P pw -" + files + " | cat > out.zip", "pw", lfh, {}},
        {"zip", "zip -q -X -" + files + " | cat > out.zip", {}, lfh, {}},
        {"7z", "7z a -tzip -mm=Deflate64 out.zip" + files + " >/dev/null", {}, {}, {}},
        {"7z", "7z a -tzip -mm=LZMA out.zip" + files + " >/dev/null", {}, {}, {}},
        {"7z", "7z a -tzip -ppw out.zip" + files + " >/dev/null", "pw", {}, {}},
        {"7z", "7z a -tzip -mm=PPMd out.zip" + files + " >/dev/null", {}, {}, {}},
        {"bsdtar", "bsdtar --format zip -cf out.zip" + files, {}, lfh, {}},
        {"python3", lzmaScript, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.toStdString());
        if (!haveTool(QString::fromLatin1(c.tool))) continue;
        QFile::remove(path("out.zip"));
        ASSERT_EQ(shell(c.command, dir.path()).exitCode, 0);
        TArcZipArchive archive(path("out.zip"), fmOpenRead);
        archive.Load();
        archive.Password = c.password;
        ASSERT_EQ(archive.GetCount(), 3);
        const QString extracted = extractAll(archive, dir.path());
        if (c.extractResult.isEmpty())
            EXPECT_EQ(extracted, QString());
        else
            EXPECT_TRUE(extracted.endsWith(c.extractResult)) << extracted.toStdString();
        if (c.extractResult.isEmpty()) {
            EXPECT_EQ(testAll(archive), c.testResult);
        }
    }
}

TEST_F(ZipExtractTest, WavPackEntryRestoresTheWaveFile) {
    if (!haveTool(QStringLiteral("wavpack"))) GTEST_SKIP() << "wavpack is not installed";
    QByteArray samples;
    for (int i = 0; i < 40000; ++i) {
        const auto v = static_cast<int16_t>(std::sin(i / 25.0) * 8000 + (i % 7));
        samples.append(reinterpret_cast<const char*>(&v), 2);
    }
    QByteArray wave("RIFF");
    auto u32 = [&wave](uint32_t v) { wave.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&wave](uint16_t v) { wave.append(reinterpret_cast<const char*>(&v), 2); };
    u32(static_cast<uint32_t>(36 + samples.size()));
    wave.append("WAVEfmt ");
    u32(16), u16(1), u16(1), u32(44100), u32(88200), u16(2), u16(16);
    wave.append("data");
    u32(static_cast<uint32_t>(samples.size()));
    wave += samples;
    writeFile(path("t.wav"), wave);
    ASSERT_EQ(shell(QStringLiteral("wavpack -q -y t.wav"), dir.path()).exitCode, 0);
    const QByteArray packed = readFile(path("t.wv"));
    {
        TArcZipArchive archive(path("wv.zip"), fmCreate);
        archive.InsertFromStreamHelper = [&](TArcZipItem& item, Stream& out, Stream&) {
            out.WriteBuffer(packed.constData(), packed.size());
            item.SetCompressionMethod(97);
            item.SetCRC32(Crc32OfString(wave));
            item.SetUncompressedSize(static_cast<uint64_t>(wave.size()));
            item.SetCompressedSize(static_cast<uint64_t>(packed.size()));
            item.SetLastModFileDate(kTestDate);
            item.SetLastModFileTime(kTestTime);
        };
        archive.Load();
        archive.AddFromStream(QStringLiteral("t.wav"), memoryOf({}));
    }
    TArcZipArchive archive(path("wv.zip"), fmOpenRead);
    archive.Load();
    MemoryStream out;
    UnzipToStream(archive, *archive.ZipItem(0), &out);
    EXPECT_EQ(out.Memory(), wave);
    EXPECT_NO_THROW(TestZipItem(archive, *archive.ZipItem(0)));
}

struct PeerCase {
    const char* file;
    QByteArray password;
    QString testResult;
    QString extractResult;
};

TEST_F(ZipExtractTest, ThirdPartyEntriesExtractToTheirCrcs) {
    const std::vector<PeerCase> cases = {
        {"test_read_format_zip_implode.zip", {}, {}, {}},
        {"test_read_format_zip_bzip2.zipx", {}, {}, {}},
        {"test_read_format_zip_bzip2_multi.zipx", {}, {}, {}},
        {"test_read_format_zip_lzma.zipx", {}, {}, {}},
        {"test_read_format_zip_lzma_multi.zipx", {}, {}, {}},
        {"test_read_format_zip_traditional_encryption_data.zip", "12345678", {}, {}},
        {"test_read_format_zip_deflate64.zip", {}, QStringLiteral("Invalid Local File Header entry"), {}},
        {"test_read_format_zip_ppmd8.zipx", {}, {}, {}},
        {"test_read_format_zip_ppmd8_multi.zipx", {}, {}, {}},
    };
    for (const PeerCase& c : cases) {
        SCOPED_TRACE(c.file);
        TArcZipArchive archive(QStringLiteral(TANDEX_TEST_DATA "/peer/") + QLatin1String(c.file),
                               fmOpenRead);
        archive.Load();
        archive.Password = c.password;
        ASSERT_GT(archive.GetCount(), 0);
        for (int i = 0; i < archive.GetCount(); ++i) {
            TArcZipItem& item = *archive.ZipItem(i);
            if (item.GetIsDirectory()) continue;
            MemoryStream out;
            try {
                UnzipToStream(archive, item, &out);
                EXPECT_EQ(c.extractResult, QString());
                EXPECT_EQ(Crc32OfString(out.Memory()), item.GetCRC32());
                EXPECT_EQ(static_cast<uint64_t>(out.Size()), item.GetUncompressedSize());
            } catch (const Exception& e) {
                EXPECT_EQ(e.Message(), c.extractResult);
            }
        }
        if (c.extractResult.isEmpty()) {
            EXPECT_EQ(testAll(archive), c.testResult);
        }
    }
}

TEST_F(ZipExtractTest, EveryPeerZipExtractsOrEndsInAnError) {
    // The README says which archives 7-Zip reads: those must extract every
    // item to its CRC; the damaged
    // ones must end in an error or a result, never a crash or a hang.
    const QByteArray readme = readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/README.md"));
    int readable = 0;
    for (const QByteArray& line : readme.split('\n')) {
        const QList<QByteArray> cells = line.split('|');
        if (cells.size() < 3) continue;
        const QString file = QString::fromUtf8(cells[1].trimmed());
        if (!file.contains(QStringLiteral("_zip_"))) continue;
        const bool ok = cells[2].trimmed() == "7z-ok";
        SCOPED_TRACE(file.toStdString());
        try {
            TArcZipArchive archive(QStringLiteral(TANDEX_TEST_DATA "/peer/") + file, fmOpenRead);
            archive.Load();
            archive.Password = "12345678";
            for (int i = 0; i < archive.GetCount(); ++i) {
                TArcZipItem& item = *archive.ZipItem(i);
                if (item.GetIsDirectory()) continue;
                MemoryStream out;
                try {
                    UnzipToStream(archive, item, &out);
                    EXPECT_EQ(Crc32OfString(out.Memory()), item.GetCRC32());
                } catch (const Exception& e) {
                    if (ok) ADD_FAILURE() << e.what();
                }
            }
            readable += ok;
        } catch (const Exception& e) {
            EXPECT_FALSE(ok) << e.what();
        }
    }
    EXPECT_GT(readable, 15);
}

// ---------------------------------------------------- passwords and errors

// A one-member archive written by our own insertion.
void writeArchive(const QString& name, const QByteArray& data, const QByteArray& password,
                  TArcZipSupportedMethod method = smBestMethod) {
    TArcZipArchive archive(name, fmCreate);
    InstallZipHooks(archive);
    archive.Password = password;
    archive.CompressionMethodToUse = method;
    archive.Load();
    archive.AddFromStream(QStringLiteral("member.txt"), memoryOf(data));
}

TEST_F(ZipExtractTest, PasswordRequestsFollowTheRetries) {
    const QByteArray data = wordyText(5000);
    // The header check is one byte over ten random ones: a wrong password
    // passes it one time in 256. Write the archive until both wrong
    // passwords of the cases fail it, so the counts below are exact.
    const auto refuses = [&](const QByteArray& password) {
        TArcZipArchive archive(path("p.zip"), fmOpenRead);
        archive.Load();
        archive.Password = password;
        archive.PasswordRetries = 0;
        try {
            OpenItemData(archive, *archive.ZipItem(0));
        } catch (const EArcZipInvalidPassword&) {
            return true;
        }
        return false;
    };
    do {
        writeArchive(path("p.zip"), data, "right");
    } while (!refuses("wrong") || !refuses("bad"));
    struct Case {
        QByteArray preset;
        std::vector<QByteArray> answers;  // the handler's answers in turn; none: no handler
        int expectedRequests;
        QString result;
    };
    const QString invalid = QStringLiteral("Cannot extract file - invalid password");
    const std::vector<Case> cases = {
        {"wrong", {"bad", "bad", "bad", "bad"}, 3, invalid},
        {"wrong", {"bad", "right"}, 2, {}},
        {"wrong", {""}, 1, QStringLiteral("Process aborted by user")},
        {{}, {""}, 1, invalid},
        {{}, {}, 0, invalid},
        {"wrong", {}, 0, invalid},
        {"right", {}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset.toStdString() + " " + std::to_string(c.answers.size()));
        TArcZipArchive archive(path("p.zip"), fmOpenRead);
        archive.Load();
        archive.Password = c.preset;
        int requests = 0;
        if (!c.answers.empty())
            archive.OnNeedPassword = [&](TArcArchive&, QByteArray& answer) {
                answer = c.answers[static_cast<size_t>(std::min<int>(requests, c.answers.size() - 1))];
                ++requests;
            };
        MemoryStream out;
        QString result;
        try {
            UnzipToStream(archive, *archive.ZipItem(0), &out);
        } catch (const Exception& e) {
            result = e.Message();
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(requests, c.expectedRequests);
        if (c.result.isEmpty()) {
            EXPECT_EQ(out.Memory(), data);
        }
    }
}

// Rewrites bytes of the archive file in place.
void patch(const QString& name, int64_t offset, const QByteArray& bytes) {
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(offset);
    f.write(bytes);
}

QByteArray le16(uint16_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 2);
}

// The offset of the central header of the only member.
int64_t centralOffset(const QString& name) {
    const QByteArray data = readFile(name);
    return data.lastIndexOf(QByteArray("PK\x01\x02", 4));
}

TEST_F(ZipExtractTest, DamageAndUnknownMethodsRaiseTheirErrors) {
    const QByteArray data = wordyText(3000);
    struct Case {
        const char* what;
        std::function<void(const QString&)> damage;
        QString result;
    };
    const std::vector<Case> cases = {
        {"method 13",
         [](const QString& n) {
             patch(n, 8, le16(13));
             patch(n, centralOffset(n) + 10, le16(13));
         },
         QStringLiteral("Cannot extract file - unsupported compression method")},
        {"version 6.4", [](const QString& n) { patch(n, centralOffset(n) + 6, le16(64)); },
         QStringLiteral("Cannot extract file - newer version required")},
        {"flipped data byte", [](const QString& n) { patch(n, 30 + 10 + 100, "?"); },
         QStringLiteral("Failed CRC Check")},
        {"local signature", [](const QString& n) { patch(n, 0, "XX"); },
         QStringLiteral("Invalid file - not a PKZip file")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeArchive(path("d.zip"), data, {}, smStored);
        c.damage(path("d.zip"));
        TArcZipArchive archive(path("d.zip"), fmOpenRead);
        archive.Load();
        MemoryStream out;
        try {
            UnzipToStream(archive, *archive.ZipItem(0), &out);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.result);
        }
    }
}

// ---------------------------------------------------- hand-laid archives

QByteArray le32(uint32_t v) {
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

struct RawEntry {
    QByteArray name;
    uint16_t method;
    uint32_t crc, packed, plain;
};

QByteArray localHeader(const RawEntry& e) {
    return le32(0x04034B50) + le16(20) + le16(0) + le16(e.method) + le16(kTestTime) + le16(kTestDate) +
           le32(e.crc) + le32(e.packed) + le32(e.plain) + le16(uint16_t(e.name.size())) + le16(0) + e.name;
}

QByteArray centralHeader(const RawEntry& e, uint32_t offset) {
    return le32(0x02014B50) + le16(20) + le16(20) + le16(0) + le16(e.method) + le16(kTestTime) +
           le16(kTestDate) + le32(e.crc) + le32(e.packed) + le32(e.plain) + le16(uint16_t(e.name.size())) +
           le16(0) + le16(0) + le16(0) + le16(0) + le32(0) + le32(offset) + e.name;
}

// The local part as given, then a central header per (entry, offset).
QByteArray rawZip(const QByteArray& local, const std::vector<std::pair<RawEntry, uint32_t>>& central) {
    QByteArray directory;
    for (const auto& [entry, offset] : central) directory += centralHeader(entry, offset);
    const auto count = uint16_t(central.size());
    return local + directory + le32(0x06054B50) + le16(0) + le16(0) + le16(count) + le16(count) +
           le32(uint32_t(directory.size())) + le32(uint32_t(local.size())) + le16(0);
}

TEST_F(ZipExtractTest, EntriesSharingTheirDataAreRefusedBeforeAnyIsRead) {
    // Overlapping entries turn a small zip into any amount of output: 2,000
    // entries of one deflated block of 10 MiB, and an entry whose data holds
    // the next entry's header. Listing shows them; test and extraction
    // refuse each as damaged before unpacking a byte.
    MemoryStream zeros(QByteArray(10 << 20, '\0'));
    MemoryStream packed;
    const uint32_t zerosCrc = Deflate(zeros, packed);
    const RawEntry block{"bomb", 8, zerosCrc, uint32_t(packed.Size()), uint32_t(10 << 20)};
    const std::vector<std::pair<RawEntry, uint32_t>> shared(2000, {block, 0});
    const QByteArray sharedZip = rawZip(localHeader(block) + packed.Memory(), shared);

    const QByteArray inner = "inner data";
    const RawEntry innerEntry{"b", 0, Crc32OfString(inner), uint32_t(inner.size()), uint32_t(inner.size())};
    const QByteArray innerPart = localHeader(innerEntry) + inner;
    const RawEntry outerEntry{"a", 0, Crc32OfString(innerPart), uint32_t(innerPart.size()),
                              uint32_t(innerPart.size())};
    const QByteArray nestedZip = rawZip(localHeader(outerEntry) + innerPart,
                                        {{outerEntry, 0}, {innerEntry, uint32_t(30 + 1)}});

    for (const auto& [what, zip, count] : {std::tuple{"shared block", sharedZip, 2000},
                                           std::tuple{"nested header", nestedZip, 2}}) {
        SCOPED_TRACE(what);
        writeFile(path("o.zip"), zip);
        TArcZipArchive archive(path("o.zip"), fmOpenRead);
        archive.Load();
        ASSERT_EQ(archive.GetCount(), count);
        for (int i = 0; i < count; ++i) {
            EXPECT_THROW(TestZipItem(archive, *archive.ZipItem(i)), EArcZipInvalid) << i;
            EXPECT_THROW(UnzipToFile(archive, *archive.ZipItem(i), path("out")), EArcZipInvalid) << i;
        }
        EXPECT_FALSE(QFileInfo::exists(path("out")));
    }

    // Names stored twice, each with its own data, are no overlap.
    const QByteArray one = "first copy", two = "second copy!";
    const RawEntry first{"same.txt", 0, Crc32OfString(one), uint32_t(one.size()), uint32_t(one.size())};
    const RawEntry second{"same.txt", 0, Crc32OfString(two), uint32_t(two.size()), uint32_t(two.size())};
    const QByteArray firstPart = localHeader(first) + one;
    writeFile(path("d.zip"), rawZip(firstPart + localHeader(second) + two,
                                    {{first, 0}, {second, uint32_t(firstPart.size())}}));
    TArcZipArchive archive(path("d.zip"), fmOpenRead);
    archive.Load();
    ASSERT_EQ(archive.GetCount(), 2);
    EXPECT_EQ(testAll(archive), QString());
    for (const auto& [index, data] : {std::pair{0, one}, std::pair{1, two}}) {
        MemoryStream out;
        UnzipToStream(archive, *archive.ZipItem(index), &out);
        EXPECT_EQ(out.Memory(), data);
    }
}

TEST_F(ZipExtractTest, CrcFailureGoesToTheFailureEventWhenThereIsOne) {
    writeArchive(path("d.zip"), wordyText(3000), {}, smStored);
    patch(path("d.zip"), 30 + 10 + 100, "?");
    TArcZipArchive archive(path("d.zip"), fmOpenRead);
    archive.Load();
    std::vector<std::tuple<int, int, int>> reports;
    archive.OnProcessItemFailure = [&](TArcArchive&, TArcArchiveItem*, TArcProcessType type,
                                       TArcErrorClass cls, int32_t code) {
        reports.emplace_back(type, cls, code);
    };
    MemoryStream out;
    EXPECT_NO_THROW(UnzipToStream(archive, *archive.ZipItem(0), &out));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::make_tuple(int(ptExtract), int(ecArchive), 19));
}

TEST_F(ZipExtractTest, EmptyEntryWithWrongCrcExtractsToNothing) {
    writeArchive(path("e.zip"), {}, {});
    patch(path("e.zip"), centralOffset(path("e.zip")) + 16, "\x01\x02\x03\x04");
    TArcZipArchive archive(path("e.zip"), fmOpenRead);
    archive.Load();
    ASSERT_EQ(archive.ZipItem(0)->GetCRC32(), 0x04030201u);
    writeFile(path("target"), "old");
    EXPECT_NO_THROW(UnzipToFile(archive, *archive.ZipItem(0), path("target")));
    EXPECT_EQ(readFile(path("target")), QByteArray());
}

TEST_F(ZipExtractTest, DataBeyondTheDeclaredSizeFailsAfterAtMostThatSize) {
    const QByteArray data = wordyText(100000);
    writeArchive(path("o.zip"), data, {}, smDeflated);
    // Halve the declared size in the central header; the deflate data
    // still yields all of it.
    const int64_t central = centralOffset(path("o.zip"));
    const uint32_t half = 50000;
    patch(path("o.zip"), central + 24, QByteArray(reinterpret_cast<const char*>(&half), 4));
    TArcZipArchive archive(path("o.zip"), fmOpenRead);
    archive.Load();
    MemoryStream out;
    try {
        UnzipToStream(archive, *archive.ZipItem(0), &out);
        ADD_FAILURE() << "no error";
    } catch (const EArcZipBadCRC&) {
    }
    EXPECT_LE(out.Size(), 50000);
}

TEST_F(ZipExtractTest, DamagedItemNeverReplacesTheTargetFile) {
    writeArchive(path("d.zip"), wordyText(3000), {}, smStored);
    patch(path("d.zip"), 30 + 10 + 100, "?");
    TArcZipArchive archive(path("d.zip"), fmOpenRead);
    archive.Load();
    writeFile(path("target.txt"), "precious");
    EXPECT_THROW(UnzipToFile(archive, *archive.ZipItem(0), path("target.txt")), EArcZipBadCRC);
    EXPECT_EQ(readFile(path("target.txt")), QByteArray("precious"));
    // With a failure handler the extraction counts as done, yet the target
    // still keeps its content.
    archive.OnProcessItemFailure = [](TArcArchive&, TArcArchiveItem*, TArcProcessType, TArcErrorClass,
                                      int32_t) {};
    EXPECT_FALSE(UnzipToFile(archive, *archive.ZipItem(0), path("target.txt")));
    EXPECT_EQ(readFile(path("target.txt")), QByteArray("precious"));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("VMS*")}, QDir::Files).size(), 0);
}

TEST_F(ZipExtractTest, ProgressAbortKeepsTheTargetAndMarksTheArchive) {
    const QByteArray data = noise(300000, 9);
    writeArchive(path("a.zip"), data, {}, smDeflated);
    TArcZipArchive archive(path("a.zip"), fmOpenRead);
    archive.Load();
    writeFile(path("target.bin"), "old");
    std::vector<int> seen;
    archive.OnProgress = [&](TArcArchive&, uint8_t percent, bool& abort) {
        seen.push_back(percent);
        abort = percent >= 50;
    };
    EXPECT_THROW(UnzipToFile(archive, *archive.ZipItem(0), path("target.bin")), EArcUserAbort);
    EXPECT_EQ(archive.Status, StatusInvalid);
    EXPECT_EQ(readFile(path("target.bin")), QByteArray("old"));
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());  // only changes
}

TEST_F(ZipExtractTest, FileTargetGetsTimeAndReadOnlyBitFolderIsCreated) {
    writeFile(path("src.txt"), "content");
    QFile::setPermissions(path("src.txt"), QFile::ReadOwner | QFile::ReadGroup);
    {
        TArcZipArchive archive(path("f.zip"), fmCreate);
        InstallZipHooks(archive);
        archive.SetBaseDirectory(dir.path());
        archive.Load();
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        archive.Add(archive.CreateItem(QStringLiteral("src.txt")));
        archive.Add(archive.CreateItem(QStringLiteral("folder")));
        archive.SaveIfChanged();
    }
    TArcZipArchive archive(path("f.zip"), fmOpenRead);
    archive.Load();
    ASSERT_EQ(archive.GetCount(), 2);
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    EXPECT_TRUE(UnzipToFile(archive, *archive.ZipItem(0), path("out/src.txt")));
    EXPECT_EQ(readFile(path("out/src.txt")), QByteArray("content"));
    EXPECT_FALSE(QFileInfo(path("out/src.txt")).permissions() & QFile::WriteOwner);
    EXPECT_EQ(DateTimeToDosDateTime(GetFileDateTime(path("out/src.txt"))),
              DateTimeToDosDateTime(GetFileDateTime(path("src.txt"))));
    ASSERT_TRUE(archive.ZipItem(1)->GetIsDirectory());
    UnzipToFile(archive, *archive.ZipItem(1), path("out/a/b/folder"));
    EXPECT_TRUE(QFileInfo(path("out/a/b/folder")).isDir());
}

TEST_F(ZipExtractTest, NullTargetStreamIsRefused) {
    writeArchive(path("n.zip"), "x", {});
    TArcZipArchive archive(path("n.zip"), fmOpenRead);
    archive.Load();
    EXPECT_THROW(UnzipToStream(archive, *archive.ZipItem(0), nullptr), EArcBadStream);
}

TEST(ZipSubsetStream, WindowClampsAndRefusesWrites) {
    MemoryStream base(QByteArray("0123456789"));
    base.Seek(2, soBeginning);
    TArcUnzipSubsetStream window(base, 5);
    char buf[16] = {};
    EXPECT_EQ(window.Read(buf, 16), 5);
    EXPECT_EQ(QByteArray(buf, 5), QByteArray("23456"));
    EXPECT_EQ(window.Seek(-100, soCurrent), 0);
    EXPECT_EQ(window.Seek(100, soBeginning), 5);
    EXPECT_EQ(window.Seek(-2, soEnd), 3);
    EXPECT_EQ(window.Read(buf, 16), 2);
    EXPECT_EQ(QByteArray(buf, 2), QByteArray("56"));
    EXPECT_THROW(window.Write("x", 1), EArcException);
}

}  // namespace
