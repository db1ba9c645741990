#include "archive/deflate_blocks.h"

#include "archive/deflate.h"
#include "codec_test_support.h"

using namespace codec_test;

TEST(DeflateBlocks, CodeLengthsAreRunLengthCoded) {
    struct Case {
        std::vector<quint8> lengths;
        std::vector<quint8> coded;
    };
    const Case cases[] = {
        {std::vector<quint8>(10, 8), {8, 16, 3, 16, 0}},
        {std::vector<quint8>(140, 0), {18, 127, 0, 0}},
        {{5, 5, 0, 0, 0, 7, 7, 7}, {5, 5, 17, 0, 7, 7, 7}},
        {{3, 3, 3, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {3, 16, 0, 18, 0}},
    };
    for (const Case& c : cases) {
        TArcDfCodeLenStream s;
        s.EncodeLengths(c.lengths.data(), int(c.lengths.size()));
        const std::vector<quint8> got = s.Coded();
        EXPECT_EQ(got, c.coded);
    }
}

TEST(DeflateBlocks, BlockIsFullAtTheSymbolLimit) {
    MemoryStream empty;
    TArcDfInputWindow window(empty, true, false, 32, 32768, 0, nullptr);
    TArcDfLZStream symbols(window, false, nullptr);
    QRandomGenerator gen(5);
    for (int i = 1; i < 32768; ++i)
        ASSERT_FALSE(symbols.RecordLiteral(quint8(gen.bounded(256)))) << i;
    EXPECT_TRUE(symbols.RecordLiteral(1));
    EXPECT_EQ(symbols.InputBytes(), 32768);
}

TEST(DeflateBlocks, BlockWithoutMatchesStillHasOneDistanceCode) {
    // Text of distinct bytes gives no match; the dynamic block's header
    // then says HDIST = 1 and zlib accepts the one-bit distance code.
    QByteArray in;
    for (int i = 0; i < 200; ++i)
        in.append(char(i));
    TArcDeflateHelper h;
    h.SetOptionBits(DynamicOnly | LazyMatching);
    const QByteArray raw = ourDeflate(in, &h);
    ASSERT_GE(raw.size(), 3);
    const quint32 header = quint8(raw[0]) | (quint8(raw[1]) << 8) | (quint8(raw[2]) << 16);
    EXPECT_EQ(header & 7, 5u);            // final, dynamic
    EXPECT_EQ((header >> 8) & 0x1F, 0u);  // HDIST - 1
    EXPECT_EQ(zlibInflate(raw), in);
}

TEST(DeflateBlocks, IncompressibleDataGoesOutAsStoredBlocks) {
    // Only the last stored block carries the final bit, and the lengths
    // add up to the input.
    const QByteArray in = randomInput(200000, 9);
    const QByteArray raw = ourDeflate(in);
    qsizetype pos = 0;
    qint64 total = 0;
    bool final = false;
    while (!final) {
        ASSERT_LE(pos + 5, raw.size());
        const quint8 head = quint8(raw[pos]);
        ASSERT_EQ(head & 6, 0) << "not a stored block at " << pos;
        final = head & 1;
        const int len = quint8(raw[pos + 1]) | (quint8(raw[pos + 2]) << 8);
        const int nlen = quint8(raw[pos + 3]) | (quint8(raw[pos + 4]) << 8);
        ASSERT_EQ(len ^ 0xFFFF, nlen);
        EXPECT_EQ(raw.mid(pos + 5, len), in.mid(total, len));
        total += len;
        pos += 5 + len;
    }
    EXPECT_EQ(pos, raw.size());
    EXPECT_EQ(total, in.size());
}
