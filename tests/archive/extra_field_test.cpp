#include "archive/extra_field.h"

#include <gtest/gtest.h>

using namespace tandex::archive;

namespace {

QByteArray rec(uint16_t tag, const QByteArray& data, int claimed = -1) {
    const int n = claimed < 0 ? data.size() : claimed;
    QByteArray b;
    b.append(char(tag & 0xFF)).append(char(tag >> 8)).append(char(n & 0xFF)).append(char(n >> 8));
    return b + data;
}

class CountingField : public TArcExtraField {
public:
    int changes = 0;

protected:
    void Changed() override { ++changes; }
};

}  // namespace

TEST(ExtraField, ShortBlockHoldsNoRecord) {
    TArcExtraField f;
    f.SetBuffer(QByteArray("\x01\x00\x00", 3));
    EXPECT_EQ(f.Count(), 0);
    EXPECT_FALSE(f.Has(0x0001));
    const uint8_t* data = reinterpret_cast<const uint8_t*>(1);
    uint16_t size = 7;
    EXPECT_FALSE(f.Get(0x0001, data, size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0);
}

TEST(ExtraField, TruncatedLastRecordIsReadWithWhatIsThereAndRepaired) {
    TArcExtraField f;
    f.SetBuffer(rec(0x0001, "ab") + rec(0x5455, "xyz", 40));
    EXPECT_EQ(f.Count(), 2);
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    ASSERT_TRUE(f.Get(0x5455, data, size));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(data), size), "xyz");
    EXPECT_EQ(f.Buffer(), rec(0x0001, "ab") + rec(0x5455, "xyz"));
    std::unique_ptr<MemoryStream> s;
    ASSERT_TRUE(f.GetStream(0x5455, s));
    EXPECT_EQ(s->Memory(), "xyz");
    EXPECT_EQ(s->Position(), 0);
}

TEST(ExtraField, PutKeepsPositionOnlyForTheSameLength) {
    CountingField f;
    f.SetBuffer(rec(1, "aa") + rec(2, "bb") + rec(3, "cc"));
    f.Put(2, "BB", 2);
    EXPECT_EQ(f.Buffer(), rec(1, "aa") + rec(2, "BB") + rec(3, "cc"));
    f.Put(2, "BBB", 3);
    EXPECT_EQ(f.Buffer(), rec(1, "aa") + rec(3, "cc") + rec(2, "BBB"));
    f.Put(9, "", 0);
    EXPECT_EQ(f.Buffer(), rec(1, "aa") + rec(3, "cc") + rec(2, "BBB") + rec(9, ""));
    EXPECT_EQ(f.changes, 4);

    // Data taken from the block itself survives the record's move.
    const uint8_t* data = nullptr;
    uint16_t size = 0;
    ASSERT_TRUE(f.Get(3, data, size));
    ASSERT_EQ(size, 2);
    f.Put(3, data, 1);
    EXPECT_EQ(f.Buffer(), rec(1, "aa") + rec(2, "BBB") + rec(9, "") + rec(3, "c"));
}

TEST(ExtraField, DeleteMiddleRecordKeepsOthersInOrder) {
    CountingField f;
    f.SetBuffer(rec(1, "a") + rec(2, "bb") + rec(3, "ccc"));
    f.Delete(2);
    EXPECT_EQ(f.Buffer(), rec(1, "a") + rec(3, "ccc"));
    f.Delete(7);  // absent: no change, no notification
    EXPECT_EQ(f.changes, 2);
}

TEST(ExtraField, CloneFromCopiesOrRemovesTheTag) {
    TArcExtraField from, to;
    from.SetBuffer(rec(5, "five"));
    to.SetBuffer(rec(6, "six") + rec(7, "x"));
    to.CloneFrom(from, 5);
    to.CloneFrom(from, 6);
    EXPECT_EQ(to.Buffer(), rec(7, "x") + rec(5, "five"));
}

TEST(ExtraField, OversizedPutRaisesAndLeavesTheBlockUnchanged) {
    TArcExtraField f;
    f.SetBuffer(rec(1, QByteArray(60000, 'a')) + rec(2, "bb"));
    const QByteArray before = f.Buffer();
    const QByteArray big(70000, 'x');
    EXPECT_THROW(f.Put(3, big.constData(), big.size()), EArcException);
    EXPECT_THROW(f.Put(3, big.constData(), 6000), EArcException);
    EXPECT_THROW(f.Put(2, big.constData(), 6000), EArcException);
    EXPECT_EQ(f.Buffer(), before);
    // Replacing a record may use the room its old bytes free.
    f.Put(1, big.constData(), 65535 - 6 - 4);
    EXPECT_THROW(f.Put(1, big.constData(), 65535 - 6 - 3), EArcException);
    EXPECT_EQ(f.Buffer().size(), 65535);
}

TEST(ExtraField, LoadFromStreamTakesExactlyTheSizeWithoutNotifying) {
    MemoryStream s(rec(1, "abc") + "tail");
    CountingField f;
    f.LoadFromStream(s, 7);
    EXPECT_EQ(f.Buffer(), rec(1, "abc"));
    EXPECT_EQ(f.changes, 0);
    EXPECT_THROW(f.LoadFromStream(s, 5), StreamFilerError);
}
