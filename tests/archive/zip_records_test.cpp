#include "archive/zip_records.h"

#include "archive/zip_archive.h"
#include "zip_test_support.h"

using namespace tandex::archive;
using namespace zip_test;

namespace {

// A one-entry stored zip built by hand, with a comment.
QByteArray smallZip(const QByteArray& comment = {}, uint16_t disk = 0) {
    TArcZipItem item;
    item.SetFileName(QStringLiteral("a.txt"));
    item.SetCRC32(Crc32OfString("hello"));
    item.SetCompressionMethod(0);
    item.SetUncompressedSize(5);
    item.SetCompressedSize(5);
    MemoryStream out;
    item.SaveLocalHeader(out);
    out.WriteBuffer("hello", 5);
    TArcZipDirectoryFileFooter footer;
    footer.CentralDirectoryOffset = static_cast<uint64_t>(out.Position());
    item.SaveCentralHeader(out);
    footer.CentralDirectorySize = static_cast<uint64_t>(out.Position()) - footer.CentralDirectoryOffset;
    footer.EntriesOnThisDisk = footer.TotalEntries = 1;
    footer.NumberOfThisDisk = footer.DiskWithCentralDirectory = disk;
    footer.ZipfileComment = comment;
    footer.SaveToStream(out, -1);
    return out.Memory();
}

int64_t tailOf(const QByteArray& bytes) {
    MemoryStream s(bytes);
    return FindCentralDirectoryTail(s);
}

}  // namespace

TEST(ZipRecords, EndRecordIsFoundWithinTheLongestComment) {
    const QByteArray plain = smallZip();
    EXPECT_EQ(tailOf(plain), plain.size() - 22);

    // The growing windows reach a record 65,535 comment bytes back.
    const QByteArray longest = smallZip(noise(65535, 3).replace("PK", "pk"));
    EXPECT_EQ(tailOf(longest), longest.size() - 22 - 65535);

    // A signature inside the comment whose own comment length would run
    // past the end is not the record.
    QByteArray fake("PK\x05\x06", 4);
    fake += QByteArray(16, '\0') + QByteArray("\xff\x00", 2) + "tail";
    const QByteArray tricked = smallZip(fake);
    EXPECT_EQ(tailOf(tricked), tricked.size() - 22 - fake.size());

    // Further back than any comment can reach, nothing is searched.
    const QByteArray buried = plain + QByteArray(70000, 'x');
    EXPECT_EQ(tailOf(buried), -1);
    EXPECT_EQ(tailOf(QByteArray("PK\x05\x06", 4) + QByteArray(17, '\0')), -1);

    MemoryStream s(buried);
    s.Seek(123, soBeginning);
    EXPECT_EQ(FindCentralDirectoryTail(s), -1);
    EXPECT_EQ(s.Position(), 123);
}

TEST(ZipRecords, TypeTestTellsZipsApart) {
    struct Case {
        const char* label;
        QByteArray bytes;
        TArchiveType zip;
        TArchiveType sfx;
    };
    const Case cases[] = {
        {"plain", smallZip(), ArcZip, ArcUnknown},
        {"spanned marker", QByteArray("PK\x07\x08", 4) + "no end record", ArcSpannedZip, ArcUnknown},
        {"later disk", smallZip({}, 2), ArcSpannedZip, ArcUnknown},
        {"stub", QByteArray("MZ") + QByteArray(200, 's') + smallZip(), ArcZip, ArcSelfExtractingZip},
        {"elf stub", QByteArray("\x7f" "ELF") + QByteArray(20, 's') + smallZip(), ArcZip,
         ArcSelfExtractingZip},
        {"stub only", QByteArray("MZ") + QByteArray(200, 's'), ArcUnknown, ArcUnknown},
        {"short", QByteArray("PK\x03\x04"), ArcUnknown, ArcUnknown},
        {"empty", QByteArray(), ArcUnknown, ArcUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemoryStream s(c.bytes);
        s.Seek(1, soBeginning);
        EXPECT_EQ(VerifyZip(s), c.zip);
        EXPECT_EQ(VerifySelfExtractingZip(s), c.sfx);
        EXPECT_EQ(s.Position(), 1);
    }
}

TEST(ZipRecords, NamesAreEncodedInTheNarrowestForm) {
    struct Case {
        QString name;
        QByteArray raw;
        bool utf8;
        uint8_t host;
        bool unicodePath;
    };
    const Case cases[] = {
        {QStringLiteral("dir/a.txt"), "dir/a.txt", false, kHostMsDos, false},
        {QStringLiteral("ä.txt"), "\x84.txt", false, kHostMsDos, true},    // OEM has it
        {QStringLiteral("€.txt"), "\x80.txt", false, kHostNtfs, true},     // only ANSI has it
        {QStringLiteral("ā.txt"), "a.txt", false, kHostMsDos, true},       // OEM's closest letter
        {QStringLiteral("日本.txt"), "\xe6\x97\xa5\xe6\x9c\xac.txt", true, kHostNtfs, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        TArcZipItem item;
        item.CentralHeader().ExtraField.Put(kUnicodeNameTag, "NUCX", 4);
        item.SetFileName(c.name);
        EXPECT_EQ(item.RawFileName(), c.raw);
        EXPECT_EQ((item.GeneralPurposeBitFlag() & kZipFlagUtf8) != 0, c.utf8);
        EXPECT_EQ(item.HostSystem(), c.host);
        EXPECT_EQ(item.CentralHeader().ExtraField.Has(kUnicodePathTag), c.unicodePath);
        EXPECT_FALSE(item.CentralHeader().ExtraField.Has(kUnicodeNameTag));

        // Read back from its own central header, the name is the same.
        MemoryStream s;
        item.SaveCentralHeader(s);
        s.Seek(0, soBeginning);
        TArcZipItem back;
        back.LoadFromStream(s);
        EXPECT_EQ(back.GetFileName(), c.name);
    }
}

TEST(ZipRecords, StoredNamesAreDecodedByTheFirstRuleThatApplies) {
    auto unicodePath = [](const QByteArray& raw, const QString& name, uint32_t crcDelta) {
        QByteArray d("\x01");
        ZipPut32(d, Crc32OfString(raw) + crcDelta);
        return d + name.toUtf8();
    };
    auto xceed = [](const QString& name, uint32_t count) {
        QByteArray d("NUCX");
        ZipPut32(d, count);
        for (QChar ch : name) ZipPut16(d, ch.unicode());
        return d;
    };
    struct Case {
        const char* label;
        QByteArray raw;
        uint8_t host;
        uint16_t tag;
        QByteArray field;
        QString expected;
    };
    const Case cases[] = {
        {"raw UTF-8", "\xc3\xa4.txt", kHostNtfs, 0, {}, QStringLiteral("ä.txt")},
        {"0x7075", "\x84.txt", kHostUnix, kUnicodePathTag,
         unicodePath("\x84.txt", QStringLiteral("ω.txt"), 0), QStringLiteral("ω.txt")},
        {"0x7075 with a stale CRC", "\x84.txt", kHostMsDos, kUnicodePathTag,
         unicodePath("\x84.txt", QStringLiteral("ω.txt"), 1), QStringLiteral("ä.txt")},
        {"0x554E", "x.txt", kHostMsDos, kUnicodeNameTag, xceed(QStringLiteral("ωω.txt"), 6),
         QStringLiteral("ωω.txt")},
        {"0x554E of the wrong size", "x.txt", kHostMsDos, kUnicodeNameTag,
         xceed(QStringLiteral("ωω.txt"), 7), QStringLiteral("x.txt")},
        {"MS-DOS host: OEM", "\x84\x94.txt", kHostMsDos, 0, {}, QStringLiteral("äö.txt")},
        {"other host: ANSI", "\xe4\xf6.txt", kHostUnix, 0, {}, QStringLiteral("äö.txt")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TArcZipDirectoryFileHeader h;
        h.Signature = kZipCentralHeaderSignature;
        h.VersionMadeBy = static_cast<uint16_t>(c.host << 8 | 20);
        h.FileName = c.raw;
        if (c.tag) h.ExtraField.Put(c.tag, c.field.constData(), c.field.size());
        MemoryStream s;
        h.SaveToStream(s);
        s.Seek(0, soBeginning);
        TArcZipItem item;
        item.LoadFromStream(s);
        EXPECT_EQ(item.GetFileName(), c.expected);
    }
}

TEST(ZipRecords, SizesAtTheirMaximumGoThroughTheZip64Field) {
    TArcZipItem item;
    item.SetFileName(QStringLiteral("big"));
    EXPECT_EQ(item.VersionNeededToExtract(), 10);
    item.SetUncompressedSize(0x100000000ull);
    item.SetCompressedSize(0xFFFFFFFFull);
    item.SetRelativeOffset(7);
    EXPECT_EQ(item.VersionNeededToExtract(), 45);
    EXPECT_EQ(item.VersionMadeBy() & 0xFF, 45);

    MemoryStream s;
    item.SaveLocalHeader(s);
    TArcZipLocalFileHeader local;
    s.Seek(0, soBeginning);
    local.LoadFromStream(s);
    EXPECT_EQ(local.CompressedSize, 0xFFFFFFFFu);
    EXPECT_EQ(local.UncompressedSize, 0xFFFFFFFFu);
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    ASSERT_TRUE(local.ExtraField.Get(kZip64ExtraTag, data, size));
    ASSERT_EQ(size, 16);
    EXPECT_EQ(ZipGet64(data), 0x100000000ull);
    EXPECT_EQ(ZipGet64(data + 8), 0xFFFFFFFFull);

    MemoryStream c;
    item.SaveCentralHeader(c);
    c.Seek(0, soBeginning);
    TArcZipItem back;
    back.LoadFromStream(c);
    EXPECT_EQ(back.GetUncompressedSize(), 0x100000000ull);
    EXPECT_EQ(back.GetCompressedSize(), 0xFFFFFFFFull);
    EXPECT_EQ(back.RelativeOffset(), 7u);

    MemoryStream d;
    item.SaveDataDescriptor(d);
    EXPECT_EQ(d.Size(), 4 + 4 + 8 + 8);
}

TEST(ZipRecords, FooterWritesZip64RecordsOnlyWhenNeeded) {
    TArcZipDirectoryFileFooter footer;
    footer.TotalEntries = footer.EntriesOnThisDisk = 70000;
    footer.CentralDirectoryOffset = 0x123456789ull;
    footer.CentralDirectorySize = 99;
    MemoryStream s;
    s.WriteBuffer("xxxx", 4);
    footer.SaveToStream(s, -1);
    ASSERT_EQ(s.Size(), 4 + 56 + 20 + 22);
    s.Seek(4 + 56, soBeginning);
    TArcZip64Locator locator;
    ASSERT_TRUE(ReadZip64Locator(s, locator));
    EXPECT_EQ(locator.Offset, 4u);
    EXPECT_EQ(locator.TotalDisks, 1u);
    TArcZipDirectoryFileFooter back;
    back.LoadFromStream(s);
    EXPECT_TRUE(back.IsZip64());
    EXPECT_EQ(back.TotalEntries, 0xFFFFu);
    s.Seek(4, soBeginning);
    back.LoadZip64FromStream(s);
    EXPECT_EQ(back.TotalEntries, 70000u);
    EXPECT_EQ(back.CentralDirectoryOffset, 0x123456789ull);
    EXPECT_EQ(back.CentralDirectorySize, 99u);

    TArcZipDirectoryFileFooter small;
    MemoryStream plain;
    small.SaveToStream(plain, -1);
    EXPECT_EQ(plain.Memory(), QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
}

TEST(ZipRecords, DamagedRecordsAreRefusedBeforeTheyAreUsed) {
    const char* files[] = {
        "zip-name-length-past-end.bin",
        "zip-zip64-locator-offset-beyond-stream.bin",
        "zip-zip64-field-missing.bin",
        "zip-compressed-size-beyond-stream.bin",
        "zip-entry-count-beyond-directory.bin",
    };
    for (const char* f : files) {
        SCOPED_TRACE(f);
        MemoryStream s(readFile(QStringLiteral(TANDEX_TEST_DATA "/") + f));
        TArcZipArchive archive(&s, QString());
        EXPECT_THROW(archive.Load(), EArcZipInvalid);
    }
    // A header cut short is damage, not a row of zero fields.
    const QByteArray zip = smallZip();
    MemoryStream cut(zip.left(zip.indexOf("PK\x01\x02") + 30));
    cut.Seek(zip.indexOf("PK\x01\x02"), soBeginning);
    TArcZipItem item;
    EXPECT_THROW(item.LoadFromStream(cut), EArcZipInvalid);
}
