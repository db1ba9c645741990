#include "archive/tar_items.h"

#include "archive/archive_errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace tandex::archive;

namespace {

int64_t readField(const char* text, int length) {
    uint8_t field[16] = {};
    std::memcpy(field, text, std::min<size_t>(std::strlen(text), size_t(length)));
    return ReadTarNumber(field, length);
}

std::string writeField(int64_t value, int length) {
    uint8_t field[16] = {};
    WriteTarNumber(field, length, value);
    return std::string(reinterpret_cast<char*>(field), size_t(length));
}

TEST(TarItemsTest, NumbersReadTheSameWhateverTheirPadding) {
    struct Case {
        const char* text;
        int length;
        int64_t value;
    };
    const Case cases[] = {
        {"   644 ", 8, 420}, {"0000644", 8, 420}, {"644\0\0\0\0", 8, 420}, {"644 ", 8, 420},
        {"            ", 12, 0}, {"", 12, 0}, {"77777777777", 12, 8589934591},
        {"777777777777", 12, 68719476735},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readField(c.text, c.length), c.value) << c.text;
}

TEST(TarItemsTest, GnuBase256NumbersAreDecoded) {
    uint8_t size[12] = {0x80, 0, 0, 0, 0, 0, 0, 0x02, 0, 0, 0, 0};  // 8 GiB
    EXPECT_EQ(ReadTarNumber(size, 12), int64_t(1) << 33);
    uint8_t negative[12];
    std::memset(negative, 0xFF, 12);
    EXPECT_EQ(ReadTarNumber(negative, 12), -1);
    uint8_t huge[12];
    std::memset(huge, 0x7F, 12);
    huge[0] = 0x80;
    EXPECT_EQ(ReadTarNumber(huge, 12), -1);  // beyond 63 bits
}

TEST(TarItemsTest, NumbersAreWrittenRightAlignedAndTooLargeOnesRefused) {
    EXPECT_EQ(writeField(420, 8), "    644 ");
    EXPECT_EQ(writeField(0, 8), "      0 ");
    EXPECT_EQ(writeField(0, 12), "          0 ");
    EXPECT_EQ(writeField(8589934591, 12), "77777777777 ");
    EXPECT_EQ(writeField(68719476735, 12), "777777777777");  // exactly full: no space
    EXPECT_THROW(writeField(68719476736, 12), EArcTarBadOp);  // 64 GiB
    EXPECT_THROW(writeField(16777216, 8), EArcTarBadOp);
    EXPECT_THROW(writeField(-1, 8), EArcTarBadOp);
}

TEST(TarItemsTest, HeaderSumCountsTheChecksumFieldAsSpaces) {
    TTarBlock block{};
    EXPECT_EQ(TarHeaderSum(block), 8u * ' ');
    block.fill(0xFF);
    EXPECT_EQ(TarHeaderSum(block), 504u * 0xFF + 8u * ' ');
    block[tarfield::Checksum - 1] = 1;
    block[tarfield::Checksum + 8] = 2;
    EXPECT_EQ(TarHeaderSum(block), 502u * 0xFF + 3u + 8u * ' ');
}

TEST(TarItemsTest, NewItemHeaderFields) {
    TArcTarItem item;
    const TTarBlock& h = item.MainHeader();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data() + tarfield::Mode), 8), "    644 ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data() + tarfield::Uid), 8), "      0 ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(h.data() + tarfield::DevMinor), 8), "      0 ");
    EXPECT_EQ(item.Rec.Mode, 0644u);
    EXPECT_TRUE(item.Rec.Dirty);
}

TEST(TarItemsTest, HundredByteNameFillsTheFieldAndLeavesModeIntact) {
    TArcTarItem item;
    item.Rec.Format = tfOld;
    item.SetFileName(QString(100, u'a'));
    EXPECT_EQ(std::memcmp(item.MainHeader().data(), QByteArray(100, 'a').constData(), 100), 0);
    EXPECT_EQ(ReadTarNumber(item.MainHeader().data() + tarfield::Mode, 8), 0644);
}

TEST(TarItemsTest, UstarSplitAtTheLastUsableSlash) {
    TArcTarItem item;
    item.Rec.Format = tfUstar;
    const QString name = QString(19, u'p') + "/" + QString(100, u'n');
    item.SetFileName(name);
    const TTarBlock& h = item.MainHeader();
    EXPECT_EQ(qstrnlen(reinterpret_cast<const char*>(h.data() + tarfield::Prefix), 155), 19u);
    EXPECT_EQ(std::memcmp(h.data(), QByteArray(100, 'n').constData(), 100), 0);
    EXPECT_THROW(item.SetFileName(QString(19, u'p') + "/" + QString(101, u'n')), EArcTarBadFileName);
    EXPECT_THROW(item.SetFileName(QString(257, u'x')), EArcTarBadFileName);
}

TEST(TarItemsTest, GnuLongNamesUseExactlyTheBlocksTheyNeed) {
    TArcTarItem item;
    item.Rec.Format = tfGnu;
    item.SetFileName(QString(1023, u'l'));  // 1024 bytes with its NUL
    ASSERT_EQ(item.Blocks.size(), 4u);
    EXPECT_EQ(item.Blocks[0][tarfield::TypeFlag], 'L');
    EXPECT_EQ(ReadTarNumber(item.Blocks[0].data() + tarfield::Size, 12), 1024);
    item.SetFileName(QString(300, u'm'));
    EXPECT_EQ(item.Blocks.size(), 2u + 1u);
}

TEST(TarItemsTest, TimeSettersKeepTheOtherHalf) {
    TArcTarItem item;
    item.SetLastModTimeAsDateTime(45000.5 + 13.0 / 86400 * 2);  // 2023-03-15 12:00:26
    const uint16_t time = item.GetLastModFileTime();
    item.SetLastModFileDate((44 << 9) | (2 << 5) | 29);  // 2024-02-29
    EXPECT_EQ(item.GetLastModFileTime(), time);
    EXPECT_EQ(item.GetLastModFileDate(), (44 << 9) | (2 << 5) | 29);
    item.SetLastModFileTime((8 << 11) | (30 << 5) | 5);
    EXPECT_EQ(item.GetLastModFileDate(), (44 << 9) | (2 << 5) | 29);
    EXPECT_EQ(item.GetLastModFileTime(), (8 << 11) | (30 << 5) | 5);
}

TEST(TarItemsTest, ExtendedHeaderDataIsReadOnlyAfterItsChecksumAndBounded) {
    // A pax header that claims 2 MiB of data: unhandled, and nothing of
    // the claimed data is read (the stream holds none of it).
    TTarBlock h{};
    std::memcpy(h.data(), "big", 3);
    h[tarfield::TypeFlag] = 'x';
    WriteTarNumber(h.data() + tarfield::Size, 12, 2 << 20);
    WriteTarNumber(h.data() + tarfield::Checksum, 8, TarHeaderSum(h));
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(h.data()), 512));
    TArcTarItem item;
    item.LoadTarHeaderFromStream(stream);
    EXPECT_EQ(item.Rec.ItemType, 2);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(VerifyTar(stream), 0);
    // The same header with a wrong checksum is not trusted either.
    WriteTarNumber(h.data() + tarfield::Size, 12, 100);
    MemoryStream bad(QByteArray(reinterpret_cast<const char*>(h.data()), 512));
    item.LoadTarHeaderFromStream(bad);
    EXPECT_EQ(item.Rec.ItemType, 2);
}

TTarBlock ustarHeader(const QByteArray& name, const QByteArray& owner, const QByteArray& prefix = {},
                      const QByteArray& link = {}) {
    TTarBlock h{};
    std::memcpy(h.data() + tarfield::Name, name.constData(), size_t(name.size()));
    std::memcpy(h.data() + tarfield::Prefix, prefix.constData(), size_t(prefix.size()));
    std::memcpy(h.data() + tarfield::LinkName, link.constData(), size_t(link.size()));
    std::memcpy(h.data() + tarfield::UName, owner.constData(), size_t(owner.size()));
    std::memcpy(h.data() + tarfield::GName, "staff", 5);
    std::memcpy(h.data() + tarfield::Magic, "ustar\0" "00", 8);
    h[tarfield::TypeFlag] = link.isEmpty() ? '0' : '2';
    WriteTarNumber(h.data() + tarfield::Size, 12, 0);
    WriteTarNumber(h.data() + tarfield::Checksum, 8, TarHeaderSum(h));
    return h;
}

std::unique_ptr<TArcTarItem> loadHeader(const TTarBlock& h) {
    MemoryStream stream(QByteArray(reinterpret_cast<const char*>(h.data()), 512));
    auto item = std::make_unique<TArcTarItem>();
    item->LoadTarHeaderFromStream(stream);
    return item;
}

TEST(TarItemsTest, TextFieldsAreDecodedForEachMemberOfAListing) {
    // Loaded one after another, as a listing does: owner names repeat,
    // change and come back, and every member keeps its own.
    struct Case {
        QByteArray name, owner, prefix, link;
        QString fullName, userName, linkName;
    };
    const Case cases[] = {
        {"a.txt", "root", {}, {}, u"a.txt"_qs, u"root"_qs, u""_qs},
        {"b.txt", "root", "dir", {}, u"dir/b.txt"_qs, u"root"_qs, u""_qs},
        {"caf\xC3\xA9", "jos\xE9", {}, {}, u"caf\u00E9"_qs, u"jos\u00E9"_qs, u""_qs},
        {"na\xEFve", "root", {}, "a.txt", u"na\u00EFve"_qs, u"root"_qs, u"a.txt"_qs},
    };
    std::vector<std::unique_ptr<TArcTarItem>> items;
    for (const Case& c : cases)
        items.push_back(loadHeader(ustarHeader(c.name, c.owner, c.prefix, c.link)));
    for (size_t i = 0; i < items.size(); ++i) {
        const TArcTarItemRec& rec = items[i]->Rec;
        EXPECT_EQ(rec.ItemType, 0) << i;
        EXPECT_TRUE(rec.ChecksumOK) << i;
        EXPECT_EQ(rec.FullName, cases[i].fullName) << i;
        EXPECT_EQ(rec.UserName, cases[i].userName) << i;
        EXPECT_EQ(rec.GroupName, u"staff"_qs) << i;
        EXPECT_EQ(rec.LinkName, cases[i].linkName) << i;
        EXPECT_EQ(rec.Magic, QByteArray("ustar")) << i;
    }
}

TEST(TarItemsTest, ItemsSurviveTheirNeighboursComingAndGoing) {
    // Enough items to need more than one chunk of item memory, with freed
    // ones reused in between.
    std::vector<std::unique_ptr<TArcTarItem>> items;
    for (int i = 0; i < 600; ++i)
        items.push_back(loadHeader(ustarHeader(QByteArray::number(i), "root")));
    for (size_t i = 0; i < items.size(); i += 2)
        items[i] = loadHeader(ustarHeader("again" + QByteArray::number(qulonglong(i)), "root"));
    for (size_t i = 0; i < items.size(); ++i) {
        const QString expected = (i % 2 ? u""_qs : u"again"_qs) + QString::number(i);
        ASSERT_EQ(items[i]->GetFileName(), expected);
        ASSERT_EQ(items[i]->Blocks.size(), 1u);
        ASSERT_EQ(items[i]->MainHeader()[0], uint8_t(expected.at(0).unicode()));
    }
}

}  // namespace
