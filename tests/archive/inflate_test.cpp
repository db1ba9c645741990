#include "archive/inflate.h"

#include "codec_test_support.h"

#include <QDirIterator>
#include <QTemporaryDir>

#include <algorithm>
#include <set>

using namespace codec_test;

namespace {

// Packs fields least significant bit first, as deflate does.
class BitPacker {
public:
    BitPacker& bits(quint32 value, int count) {
        for (int i = 0; i < count; ++i) {
            if (used_ == 0) out_.append('\0');
            if (value >> i & 1) out_[out_.size() - 1] = char(quint8(out_.back()) | (1 << used_));
            used_ = (used_ + 1) & 7;
        }
        return *this;
    }
    QByteArray bytes() const { return out_; }

private:
    QByteArray out_;
    int used_ = 0;
};

std::string inflateError(const QByteArray& raw, qint32 options = 0) {
    TArcDeflateHelper h;
    h.SetOptionBits(h.OptionBits() | options);
    try {
        ourInflate(raw, &h);
    } catch (const EArcInflateError& e) {
        return e.what();
    }
    return "no error";
}

std::string cause(const char* text) {
    return std::string(
               "Archive inflate error, possibly a corrupted compressed stream. (Internal cause: ") +
           text + ")";
}

}  // namespace

TEST(Inflate, ReadsZlibStreamsOfEveryKind) {
    const QByteArray inputs[] = {textInput(),        binaryInput(),
                                 randomInput(70000), QByteArray(100000, 'a'),
                                 QByteArray("x"),    QByteArray()};
    struct Mode {
        int level, strategy;
    };
    const Mode modes[] = {{0, Z_DEFAULT_STRATEGY},
                          {1, Z_DEFAULT_STRATEGY},
                          {6, Z_DEFAULT_STRATEGY},
                          {9, Z_DEFAULT_STRATEGY},
                          {6, Z_FIXED},
                          {6, Z_HUFFMAN_ONLY},
                          {6, Z_RLE}};
    for (const QByteArray& in : inputs) {
        for (const Mode& m : modes) {
            SCOPED_TRACE(testing::Message() << "size " << in.size() << " level " << m.level
                                            << " strategy " << m.strategy);
            const QByteArray raw = zlibDeflate(in, m.level, m.strategy);
            TArcDeflateHelper h;
            quint32 crc = 0;
            ASSERT_EQ(ourInflate(raw, &h, &crc), in);
            EXPECT_EQ(crc, crcOf(in));
            EXPECT_EQ(h.PlainBytes(), in.size());
            EXPECT_EQ(h.PackedBytes(), raw.size());
        }
    }
}

TEST(Inflate, ReadsGzipAndInfoZipOutput) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray text = textInput();
    const QByteArray binary = binaryInput(200000);
    ASSERT_TRUE(writeFile(dir.filePath("text.txt"), text));
    ASSERT_TRUE(writeFile(dir.filePath("binary.bin"), binary));

    for (const char* level : {"-1", "-9"}) {
        auto rc = runTool("gzip", {"-k", "-f", "-n", level, "text.txt"}, dir.path());
        if (!rc) GTEST_SKIP() << "gzip is not installed";
        ASSERT_EQ(*rc, 0);
        const QByteArray raw = gzipPayload(readFile(dir.filePath("text.txt.gz")));
        EXPECT_EQ(ourInflate(raw), text) << "gzip " << level;
    }
    for (const char* name : {"text.txt", "binary.bin"}) {
        QFile::remove(dir.filePath("one.zip"));
        auto rc = runTool("zip", {"-q", "-9", "one.zip", name}, dir.path());
        if (!rc) GTEST_SKIP() << "zip is not installed";
        ASSERT_EQ(*rc, 0);
        auto entry = firstZipEntry(readFile(dir.filePath("one.zip")));
        ASSERT_TRUE(entry);
        ASSERT_EQ(entry->method, 8);
        quint32 crc = 0;
        EXPECT_EQ(ourInflate(entry->data, nullptr, &crc), readFile(dir.filePath(name))) << name;
        EXPECT_EQ(crc, entry->crc);
    }
}

TEST(Inflate, ReadsDeflate64EntriesOf7Zip) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Repeats 40,000 bytes apart need the 64 KiB window, and runs longer
    // than 258 bytes give Deflate64's long lengths.
    const QByteArray block = randomInput(40000, 11);
    const QByteArray data =
        block + textInput() + block + QByteArray(200000, 'z') + block + binaryInput(100000);
    ASSERT_TRUE(writeFile(dir.filePath("data.bin"), data));
    auto rc =
        runTool("7z", {"a", "-tzip", "-mm=Deflate64", "-mx=9", "d64.zip", "data.bin"}, dir.path());
    if (!rc) GTEST_SKIP() << "7z is not installed";
    ASSERT_EQ(*rc, 0);
    auto entry = firstZipEntry(readFile(dir.filePath("d64.zip")));
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->method, 9);
    TArcDeflateHelper h;
    h.SetOptionBits(h.OptionBits() | Deflate64Format);
    quint32 crc = 0;
    EXPECT_EQ(ourInflate(entry->data, &h, &crc), data);
    EXPECT_EQ(crc, entry->crc);
    // Read as plain deflate the same data must fail cleanly.
    EXPECT_NE(inflateError(entry->data), "no error");
}

TEST(Inflate, EdgeCasesOfTheFormat) {
    // An empty stored final block: nothing out, the checksum of nothing.
    quint32 crc = 1;
    EXPECT_TRUE(ourInflate(QByteArray("\x01\x00\x00\xFF\xFF", 5), nullptr, &crc).isEmpty());
    EXPECT_EQ(crc, 0u);

    // Distance 1, length 258 repeats the previous byte 258 times: fixed
    // block, literal 'a' (0x61 -> code 0x91 in 8 bits), symbol 285 (code
    // 11000101) with no extra bits, distance code 0, end of block.
    auto reversed = [](quint32 code, int len) {
        quint32 r = 0;
        for (int i = 0; i < len; ++i)
            r |= ((code >> i) & 1) << (len - 1 - i);
        return r;
    };
    BitPacker fixed;
    fixed.bits(1, 1).bits(1, 2);
    fixed.bits(reversed(0x30 + 'a', 8), 8);
    fixed.bits(reversed(0xC5, 8), 8).bits(0, 5);
    fixed.bits(0, 7);
    EXPECT_EQ(ourInflate(fixed.bytes()), QByteArray(259, 'a'));
    ASSERT_EQ(zlibInflate(fixed.bytes()), QByteArray(259, 'a'));

    // Deflate64 reads 16 extra bits after the same symbol: base 3 + 65535.
    BitPacker long64;
    long64.bits(1, 1).bits(1, 2).bits(reversed(0x30 + 'a', 8), 8);
    long64.bits(reversed(0xC5, 8), 8).bits(65535, 16).bits(0, 5).bits(0, 7);
    TArcDeflateHelper h64;
    h64.SetOptionBits(h64.OptionBits() | Deflate64Format);
    EXPECT_EQ(ourInflate(long64.bytes(), &h64), QByteArray(1 + 65538, 'a'));

    // Longest copies back to back end far past the write point; each must
    // again start below it (this input once ran past the window's buffer).
    const QByteArray runs = readFile(
        QStringLiteral(TANDEX_TEST_DATA "/inflate64-valid-long-copies-overrun-window.bin"));
    ASSERT_FALSE(runs.isEmpty());
    EXPECT_EQ(ourInflate(runs, &h64), QByteArray(1 + 24 * 65538, 'a'));
}

TEST(Inflate, LeavesTheSourceRightAfterTheStream) {
    // Sizes that are not a multiple of four, and streams whose last byte
    // is only partly used.
    const QByteArray trailer("TRAILER!");
    for (int size : {0, 1, 2, 3, 5, 17, 1000, 40001}) {
        const QByteArray in = textInput().left(size);
        for (int level : {0, 1, 9}) {
            const QByteArray raw = zlibDeflate(in, level);
            MemoryStream src(raw + trailer);
            MemoryStream dst;
            TArcDeflateHelper h;
            Inflate(src, dst, &h);
            EXPECT_EQ(src.Position(), raw.size()) << size << " level " << level;
            EXPECT_EQ(h.PackedBytes(), raw.size());
            EXPECT_EQ(dst.Memory(), in);
        }
    }
}

namespace {

// Decodes raw deflate (and Deflate64 where asked) with nothing after it,
// checking the output, the checksum and where the source was left.
void expectDecodes(const QByteArray& raw, const QByteArray& plain, qint32 options = 0) {
    MemoryStream src(raw);
    MemoryStream dst;
    TArcDeflateHelper h;
    h.SetOptionBits(h.OptionBits() | options);
    quint32 crc = 0;
    try {
        crc = Inflate(src, dst, &h);
    } catch (const EArcInflateError& e) {
        ADD_FAILURE() << e.what();
        return;
    }
    EXPECT_EQ(dst.Memory(), plain);
    EXPECT_EQ(crc, crcOf(plain));
    EXPECT_EQ(src.Position(), raw.size());
    EXPECT_EQ(h.PackedBytes(), raw.size());
}

}  // namespace

TEST(Inflate, ReadsStoredBlocksThatStartNearTheEnd) {
    // Three literals in a fixed block, then an empty final stored block
    // whose header sits in the fifth byte from the end; valid Deflate64 too.
    const QByteArray nine("\x3a\x71\xe2\x04\x20\x00\x00\xff\xff", 9);
    ASSERT_EQ(zlibInflate(nine), QByteArray("\xc8\xc8\xc8"));
    expectDecodes(nine, "\xc8\xc8\xc8");
    expectDecodes(nine, "\xc8\xc8\xc8", Deflate64Format);

    // Streams whose last block is stored and starts within the last 8
    // bytes (a stored block's header is at least 5 bytes from the end, its
    // length fields follow it): zlib switches to level 0 before the last
    // `tail` bytes, so that block follows a Huffman block without a byte
    // boundary, as above; or it flushes before them, which ends in an empty
    // stored block, then a short final block.
    struct Row {
        int level, strategy;
    };
    const Row rows[] = {{1, Z_DEFAULT_STRATEGY}, {6, Z_DEFAULT_STRATEGY}, {9, Z_DEFAULT_STRATEGY},
                        {6, Z_HUFFMAN_ONLY},     {9, Z_FIXED}};
    const QByteArray text = textInput();
    const QByteArray noise = randomInput(100, 3);
    std::set<qsizetype> starts;
    for (int kind : {Z_BLOCK, Z_SYNC_FLUSH, Z_FULL_FLUSH}) {
        for (const Row& r : rows) {
            for (int tail = 0; tail <= 3; ++tail) {
                // Short bodies of each kind of data put the end of the last
                // Huffman block at every bit position of the last bytes.
                for (int n = 0; n < 20; ++n) {
                    for (const QByteArray& in :
                         {text.left(tail + n), noise.left(tail + n), QByteArray(40 * n + tail, 'z')}) {
                        SCOPED_TRACE(testing::Message()
                                     << "size " << in.size() << " level " << r.level << " strategy "
                                     << r.strategy << " flush " << kind << " tail " << tail);
                        const qsizetype body = in.size() - tail;
                        std::vector<qsizetype> marks;
                        const QByteArray raw =
                            zlibDeflate(in, r.level, r.strategy,
                                        {{body, kind, kind == Z_BLOCK ? 0 : -1}}, &marks);
                        // The header of the stored block starts the byte after the
                        // switch, and ends the bytes of a flush ahead of its
                        // length fields.
                        starts.insert(raw.size() - marks[0] + (kind == Z_BLOCK ? 0 : 5));
                        expectDecodes(raw, in);
                        // Without copies the same stream is valid Deflate64.
                        if (r.strategy == Z_HUFFMAN_ONLY) expectDecodes(raw, in, Deflate64Format);
                    }
                }
            }
        }
    }
    for (qsizetype fromEnd = 5; fromEnd <= 8; ++fromEnd)
        EXPECT_TRUE(starts.count(fromEnd))
            << "no stored block starts " << fromEnd << " bytes from the end";
}

// zlib at every level and strategy, with sync and full flushes at random
// points (often right before the end), on random and real data; each
// stream is decoded with nothing after it.
TEST(Inflate, DecodesWhatZlibMakesWithRandomFlushes) {
    QRandomGenerator gen(20261211);
    auto alphabet = [&gen](qsizetype size) {
        QByteArray r(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            r[i] = "abcd \n"[gen.bounded(6)];
        return r;
    };
    auto runs = [&gen](qsizetype size) {
        QByteArray r;
        while (r.size() < size)
            r += QByteArray(1 + gen.bounded(600), char(gen.bounded(4)));
        return r.left(size);
    };
    const QByteArray inputs[] = {randomInput(30000, 5), alphabet(60000), runs(70000),
                                 textInput().left(80000), binaryInput(90000), QByteArray("q")};
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (const QByteArray& in : inputs) {
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : strategies) {
                std::vector<ZlibFlush> flushes;
                for (int k = gen.bounded(8); k > 0; --k)
                    flushes.push_back({qsizetype(gen.bounded(int(in.size()) + 1)),
                                       gen.bounded(2) ? Z_SYNC_FLUSH : Z_FULL_FLUSH});
                std::sort(flushes.begin(), flushes.end(),
                          [](const ZlibFlush& a, const ZlibFlush& b) { return a.at < b.at; });
                // Often a last flush a few bytes before the end, or a switch
                // to storing the last few bytes.
                const qsizetype nearEnd = in.size() - gen.bounded(std::min<int>(4, int(in.size())));
                switch (gen.bounded(4)) {
                    case 0:
                        flushes.push_back({nearEnd, Z_SYNC_FLUSH});
                        break;
                    case 1:
                        flushes.push_back({nearEnd, Z_FULL_FLUSH});
                        break;
                    case 2:
                        flushes.push_back({nearEnd, Z_BLOCK, 0});
                        break;
                }
                SCOPED_TRACE(testing::Message() << "size " << in.size() << " level " << level
                                                << " strategy " << strategy << " flushes "
                                                << flushes.size());
                const QByteArray raw = zlibDeflate(in, level, strategy, flushes);
                ASSERT_EQ(zlibInflate(raw), in);
                expectDecodes(raw, in);
                if (level == 0 || strategy == Z_HUFFMAN_ONLY)
                    expectDecodes(raw, in, Deflate64Format);
            }
        }
    }
}

TEST(Inflate, StopsQuietlyAtTheOutputLimit) {
    const QByteArray big = textInput().repeated(8);
    for (int level : {0, 6}) {
        SCOPED_TRACE(level);
        // Stored blocks obey the limit as well: a look at the start of a
        // member never inflates the whole member.
        const QByteArray raw = zlibDeflate(big, level);
        TArcDeflateHelper h;
        h.SetOutputLimit(512);
        quint32 crc = 1;
        const QByteArray out = ourInflate(raw, &h, &crc);
        EXPECT_EQ(crc, 0u);
        EXPECT_GE(out.size(), 512);
        EXPECT_LT(out.size(), 65536 + 65535);
        EXPECT_EQ(out, big.left(out.size()));
    }
}

TEST(Inflate, TestOnlyCountsAndAdlerOption) {
    const QByteArray in = binaryInput(150000);
    const QByteArray raw = zlibDeflate(in, 6);
    TArcDeflateHelper h;
    h.SetOptionBits(h.OptionBits() | TestOnly);
    quint32 crc = 0;
    EXPECT_TRUE(ourInflate(raw, &h, &crc).isEmpty());
    EXPECT_EQ(crc, crcOf(in));
    EXPECT_EQ(h.PlainBytes(), in.size());

    TArcDeflateHelper a;
    a.SetOptionBits(a.OptionBits() | Adler32Check);
    quint32 adler = 0;
    ourInflate(raw, &a, &adler);
    EXPECT_EQ(adler,
              quint32(adler32(1, reinterpret_cast<const Bytef*>(in.constData()), uInt(in.size()))));
}

TEST(Inflate, ProgressAbortEndsQuietly) {
    const QByteArray raw = zlibDeflate(randomInput(100000), 1);
    TArcDeflateHelper h;
    std::vector<int> seen;
    h.SetInputSize(-1);
    h.SetProgressHandler([&seen](qint32 percent) {
        seen.push_back(percent);
        throw EArcAbortProgress();
    });
    quint32 crc = 1;
    EXPECT_NO_THROW(ourInflate(raw, &h, &crc));
    EXPECT_EQ(crc, 0u);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), qRound(16384 * 100.0 / raw.size()));
}

TEST(Inflate, CorruptStreamsRaiseTheInflateError) {
    struct Case {
        const char* name;
        QByteArray raw;
        qint32 options;
        const char* cause;
    };
    const Case cases[] = {
        {"block type 3", QByteArray("\x07", 1), 0,
         "starting new block, but invalid block type [Inflate]"},
        {"stored length", QByteArray("\x01\x05\x00\x00\x00", 5), 0,
         "invalid stored block (length and NOT length do not match) [InflateStoredBlock]"},
        {"287 literal codes",
         BitPacker().bits(1, 1).bits(2, 2).bits(30, 5).bits(0, 5).bits(0, 4).bytes(), 0,
         "count of literal codes in dynamic block is greater than 286 [InflateDynamicBlock]"},
        {"31 distance codes",
         BitPacker().bits(1, 1).bits(2, 2).bits(0, 5).bits(30, 5).bits(0, 4).bytes(), 0,
         "count of distance codes in dynamic block is greater than 30 [InflateDynamicBlock]"},
        {"repeat first",
         BitPacker()
             .bits(1, 1)
             .bits(2, 2)
             .bits(0, 5)
             .bits(0, 5)
             .bits(0, 4)
             .bits(1, 3)
             .bits(0, 3)
             .bits(0, 3)
             .bits(1, 3)
             .bits(1, 1)
             .bits(0, 2)
             .bytes(),
         0, "repeat of a code length with no previous length {ReadLitDistCodeLengths}"},
        {"over-subscribed",
         BitPacker()
             .bits(1, 1)
             .bits(2, 2)
             .bits(0, 5)
             .bits(0, 5)
             .bits(0, 4)
             .bits(1, 3)
             .bits(1, 3)
             .bits(1, 3)
             .bits(1, 3)
             .bits(0, 8)
             .bytes(),
         0, "over-subscribed set of code lengths [TArcDfDecodeHuffmanTree.Build]"},
        {"distance 30",
         BitPacker().bits(1, 1).bits(1, 2).bits(0x40, 7).bits(0b01111, 5).bits(0, 7).bytes(), 0,
         "decoded an invalid distance symbol: greater than 29 [DecodeData]"},
        {"distance before start",
         BitPacker().bits(1, 1).bits(1, 2).bits(0x40, 7).bits(0, 5).bits(0, 7).bytes(), 0,
         "copy distance reaches before the start of the output [DecodeData]"},
        {"truncated", zlibDeflate(textInput(), 6).left(1000), 0,
         "no more compressed data in stream"},
        {"empty", QByteArray(), 0, "no more compressed data in stream [TArcDfInBitStream.ReadBit]"},
    };
    for (const Case& c : cases) {
        const std::string got = inflateError(c.raw, c.options);
        EXPECT_TRUE(got.rfind(cause(c.cause).substr(0, cause(c.cause).size() - 1), 0) == 0)
            << c.name << ": " << got;
    }
    // Deflate64 allows 32 distance codes.
    EXPECT_EQ(inflateError(cases[3].raw, Deflate64Format).find("greater than 30"),
              std::string::npos);
}

TEST(Inflate, LogsTheRunAndItsFailure) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TArcDeflateHelper h;
    h.SetLogFileName(dir.filePath("inflate.log"));
    EXPECT_THROW(ourInflate(QByteArray("\x07", 1), &h), EArcInflateError);
    EXPECT_EQ(
        readFile(dir.filePath("inflate.log")),
        QByteArray(
            "INFLATING STREAM...\r\nNeed to recompile the app with UseLogging turned on\r\n"
            "Internal exception raised: starting new block, but invalid block type [Inflate]\r\n"));
}

// Hostile input: bounded randomized corruption of valid streams of every
// block kind, and every input that once broke the decoder. Each run must
// end in success or the inflate error, with bounded output; the sanitizer
// build catches any memory fault on the way.
TEST(Inflate, SurvivesCorruptedStreams) {
    const QByteArray text = textInput().left(60000);
    std::vector<std::pair<QByteArray, qint32>> seeds = {
        {zlibDeflate(text, 6), 0},
        {zlibDeflate(text, 6, Z_FIXED), 0},
        {zlibDeflate(text.left(3000), 0), 0},
        {zlibDeflate(QByteArray(5000, 'q') + text.left(2000), 9, Z_RLE), 0},
    };
    {
        TArcDeflateHelper h = preset('n');
        h.SetOptionBits(h.OptionBits() | Deflate64Format);
        seeds.push_back({ourDeflate(text + text, &h), Deflate64Format});
    }
    QRandomGenerator gen(20261210);
    int failures = 0;
    auto tryOne = [&](const QByteArray& raw, qint32 options) {
        TArcDeflateHelper h;
        h.SetOptionBits(h.OptionBits() | options);
        MemoryStream src(raw);
        MemoryStream dst;
        bool failed = false;
        try {
            Inflate(src, dst, &h);
        } catch (const EArcInflateError&) {
            ++failures;
            failed = true;
        }
        // Every bit yields at most one longest copy.
        EXPECT_LE(dst.Size(), (raw.size() * 8 + 1) * 65538LL);
        return failed;
    };
    for (int round = 0; round < 1500; ++round) {
        const auto& [seed, options] = seeds[size_t(round) % seeds.size()];
        QByteArray raw = seed;
        switch (gen.bounded(4)) {
            case 0:  // flip a few bits
                for (int k = 0, n = 1 + gen.bounded(4); k < n; ++k) {
                    const int at = gen.bounded(int(raw.size()));
                    raw[at] = char(raw[at] ^ (1 << gen.bounded(8)));
                }
                break;
            case 1:  // overwrite a stretch with noise
            {
                const int at = gen.bounded(int(raw.size()));
                for (int k = at; k < std::min<int>(int(raw.size()), at + 1 + gen.bounded(16)); ++k)
                    raw[k] = char(gen.bounded(256));
                break;
            }
            case 2:  // cut
                raw.truncate(gen.bounded(int(raw.size())));
                break;
            default:  // noise only, with the seed's options
                raw = randomInput(1 + gen.bounded(2000), gen.generate());
                break;
        }
        tryOne(raw, options);
    }
    EXPECT_GT(failures, 0);

    QDirIterator it(QStringLiteral(TANDEX_TEST_DATA), {"inflate-*.bin", "inflate64-*.bin"},
                    QDir::Files);
    int replayed = 0;
    while (it.hasNext()) {
        ++replayed;
        const QString name = it.next();
        SCOPED_TRACE(name.toStdString());
        // "-valid-" inputs are sound streams that once broke the decoder;
        // those in plain deflate must decode as zlib decodes them.
        const QByteArray raw = readFile(name);
        const bool deflate64 = name.contains("inflate64-");
        const bool valid = name.contains("-valid-");
        EXPECT_EQ(tryOne(raw, deflate64 ? Deflate64Format : 0), !valid);
        if (valid && !deflate64) {
            const std::optional<QByteArray> plain = zlibInflate(raw);
            ASSERT_TRUE(plain);
            expectDecodes(raw, *plain);
        }
    }
    EXPECT_GE(replayed, 9);
}
