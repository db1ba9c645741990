#include "archive/deflate_support.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

#include <numeric>

using namespace tandex::archive;

TEST(DeflateSupport, LimitSettersKeepTheirRules) {
    TArcDeflateHelper h;
    h.SetChainLimit(32);
    EXPECT_EQ(h.LevelLetter(), 'n');  // the current value changes nothing
    h.SetSufficientMatch(2);
    EXPECT_EQ(h.SufficientMatch(), 4);
    EXPECT_EQ(h.LevelLetter(), '?');
    h.SetLazyLimit(-1);
    EXPECT_EQ(h.LazyLimit(), -1);
    TArcDeflateHelper bits;
    bits.SetOptionBits(0x0F);
    EXPECT_EQ(bits.LevelLetter(), 'n');
    bits.SetOptionBits(0x07);
    EXPECT_EQ(bits.LevelLetter(), '?');
}

TEST(DeflateSupport, PresetLetters) {
    TArcDeflateHelper fresh;
    fresh.SetLevelLetter('N');  // already the letter: the 'n' row is not applied
    EXPECT_EQ(fresh.SufficientMatch(), 8);
    EXPECT_EQ(fresh.ChainLimit(), 32);
    EXPECT_EQ(fresh.LazyLimit(), 16);

    struct Row {
        char letter;
        qint32 bits, sufficient, chain, lazy;
    };
    const Row rows[] = {{'0', 0x01, 8, 32, 16}, {'2', 0x0F, 8, 32, 16},
                        {'f', 0x07, 4, 32, 6},  {'n', 0x0F, 16, 32, 24},
                        {'s', 0x07, 4, 4, 4},   {'x', 0x0F, 64, 4096, 258}};
    for (const Row& r : rows) {
        TArcDeflateHelper h;
        h.SetOptionBits(0x30);  // Deflate64 and Adler-32 survive a preset
        h.SetLevelLetter('0');
        h.SetLevelLetter(char(r.letter - ('a' <= r.letter ? 32 : 0)));
        EXPECT_EQ(h.LevelLetter(), r.letter);
        EXPECT_EQ(h.OptionBits(), r.bits | 0x30) << r.letter;
        EXPECT_EQ(h.SufficientMatch(), r.sufficient) << r.letter;
        EXPECT_EQ(h.ChainLimit(), r.chain) << r.letter;
        EXPECT_EQ(h.LazyLimit(), r.lazy) << r.letter;
    }
    TArcDeflateHelper other;
    other.SetLevelLetter('q');
    EXPECT_EQ(other.LevelLetter(), 'n');

    TArcDeflateHelper source;
    source.SetLevelLetter('0');
    source.SetLevelLetter('x');
    source.SetOutputLimit(512);
    source.SetPlainBytes(99);
    TArcDeflateHelper copy;
    copy.Assign(source);
    EXPECT_EQ(copy.ChainLimit(), 4096);
    EXPECT_EQ(copy.OutputLimit(), 512);
    EXPECT_EQ(copy.LevelLetter(), 'x');
    EXPECT_EQ(copy.PlainBytes(), 0);
}

TEST(DeflateSupport, ChecksumCheckValues) {
    const char text[] = "123456789";
    quint32 crc = 0xFFFFFFFF;
    UpdateCrc32(crc, text, 9);
    EXPECT_EQ(~crc, 0xCBF43926u);
    quint32 adler = 1;
    UpdateAdler32(adler, text, 9);
    EXPECT_EQ(adler, 0x091E01DEu);
    // Long runs cross the reduction points.
    std::vector<quint8> ff(100000, 0xFF);
    adler = 1;
    UpdateAdler32(adler, ff.data(), qint64(ff.size()));
    EXPECT_EQ(adler, 0x149A302Cu);
}

TEST(DeflateSupport, CodeLengthsStayWithinTheLimit) {
    quint8 lengths[40];
    qint32 none[19] = {};
    BuildCodeLengths(7, none, 18, nullptr, lengths, 0);
    EXPECT_EQ(lengths[0], 1);
    EXPECT_EQ(std::accumulate(lengths, lengths + 19, 0), 1);

    qint32 one[19] = {};
    one[7] = 5;
    BuildCodeLengths(7, one, 18, nullptr, lengths, 2);
    EXPECT_EQ(lengths[2 + 7], 1);
    EXPECT_EQ(std::accumulate(lengths + 2, lengths + 21, 0), 1);

    // Fibonacci counts would give an unlimited code of depth n - 1.
    for (int maxBits : {7, 15}) {
        const int n = maxBits == 7 ? 19 : 30;
        std::vector<qint32> fib(size_t(n), 1);
        for (int i = 2; i < n; ++i)
            fib[size_t(i)] = fib[size_t(i - 1)] + fib[size_t(i - 2)];
        BuildCodeLengths(maxBits, fib.data(), n - 1, nullptr, lengths, 0);
        double kraft = 0;
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(lengths[i], 1);
            EXPECT_LE(lengths[i], maxBits);
            kraft += std::ldexp(1.0, -lengths[i]);
        }
        EXPECT_DOUBLE_EQ(kraft, 1.0) << maxBits;
        for (int i = 1; i < n; ++i)
            EXPECT_GE(lengths[i - 1], lengths[i]);  // heavier symbols never get longer codes
    }
}

TEST(DeflateSupport, CodeTables) {
    // Incomplete code: symbol 0 length 1 (code 0), symbol 2 length 2 (code
    // 10, reversed 01). Index 3 (code 11) is reached by no code.
    const quint8 lengths[3] = {1, 0, 2};
    TArcDfDecodeHuffmanTree t(3, TArcDfDecodeHuffmanTree::EncodeAndDecode, 7);
    ASSERT_TRUE(t.Build(lengths, 0xFFFF, nullptr, 3, 0));
    ASSERT_EQ(t.MaxLength(), 2);
    const quint32* d = t.DecodeTable();
    EXPECT_EQ(d[0], 0x00010000u);
    EXPECT_EQ(d[1], 0x00020002u);
    EXPECT_EQ(d[2], 0x00010000u);
    EXPECT_EQ(d[3], 0u);
    EXPECT_EQ(t.EncodeTable()[1], 0xFFFFFFFFu);
    EXPECT_EQ(t.EncodeTable()[2], 0x00020001u);

    const quint8 over[3] = {1, 1, 1};
    EXPECT_FALSE(t.Build(over, 0xFFFF, nullptr, 3, 0));
    EXPECT_EQ(t.DecodeTable()[3], 0u);  // untouched

    // The fixed codes: 'a' is 8 bits, 285 carries Deflate64's 16 extra bits.
    const quint32 a = StaticLiteralTree().EncodeTable()[int('a')];
    EXPECT_EQ((a >> 16) & 0xFF, 8u);
    EXPECT_EQ(StaticLiteralTree().EncodeTable()[285] >> 24, 16u);
    EXPECT_EQ(StaticDistanceTree().EncodeTable()[31] >> 24, 14u);
}

TEST(DeflateSupport, TranslatorCoversEveryLengthAndDistance) {
    for (int length = 3; length <= 258; ++length) {
        const int code = Translator().lengthCode[length - 3];
        // Symbol 285's base 3 is Deflate64's; in plain deflate it is 258 alone.
        const int next = code == 28 ? 259 : code == 27 ? 258 : LengthBase[code + 1];
        EXPECT_TRUE(LengthBase[code] <= length && length < next) << length;
    }
    for (quint32 distance = 1; distance <= 65536; ++distance) {
        const int sym = DistanceSymbolOf(distance);
        const quint32 next = sym == 31 ? 65537 : DistanceBase[sym + 1];
        ASSERT_TRUE(DistanceBase[sym] <= distance && distance < next) << distance;
    }
}

TEST(DeflateSupport, NodeManagerAndLogger) {
    TArcNodeManager nodes(13);
    EXPECT_EQ(nodes.NodeSize(), 16);
    EXPECT_EQ(nodes.NodesPerPage(), 8188 / 16);
    std::set<void*> seen;
    for (int i = 0; i < 2000; ++i)
        EXPECT_TRUE(seen.insert(nodes.AllocNode()).second);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath("run.log");
    {
        TArcLogger log(name);
        log.WriteLine(QStringLiteral("first"));
        const std::string big(5000, 'x');
        EXPECT_EQ(log.Write(big.data(), int64_t(big.size())), int64_t(big.size()));
        EXPECT_EQ(log.Seek(0, soCurrent), 7 + 5000);
        EXPECT_EQ(log.Seek(5, soBeginning), 0);
        char c;
        EXPECT_EQ(log.Read(&c, 1), 0);
    }
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray content = f.readAll();
    EXPECT_EQ(content.size(), 7 + 5000);
    EXPECT_TRUE(content.startsWith("first\r\nxxx"));
}
