#include "archive/deflate.h"

#include "codec_test_support.h"

#include <QTemporaryDir>

using namespace codec_test;

namespace {

struct Input {
    const char* name;
    QByteArray data;
};

std::vector<Input> inputs() {
    return {{"empty", QByteArray()},
            {"one byte", QByteArray("Q")},
            {"text", textInput()},
            {"binary", binaryInput()},
            {"incompressible", randomInput(100000)}};
}

// Checks one run: zlib (or our own inflate for Deflate64) gives the input
// back, the checksum is its CRC-32 and the sizes are reported.
void checkRoundTrip(const QByteArray& in, TArcDeflateHelper& h) {
    quint32 crc = 0;
    const QByteArray raw = ourDeflate(in, &h, &crc);
    EXPECT_EQ(crc, crcOf(in));
    EXPECT_EQ(h.PlainBytes(), in.size());
    EXPECT_EQ(h.PackedBytes(), raw.size());
    if (h.OptionBits() & Deflate64Format) {
        TArcDeflateHelper d;
        d.SetOptionBits(d.OptionBits() | Deflate64Format);
        EXPECT_EQ(ourInflate(raw, &d), in);
    } else {
        EXPECT_EQ(zlibInflate(raw), in);
        EXPECT_EQ(ourInflate(raw), in);
    }
}

class CountingSink : public Stream {
public:
    explicit CountingSink(int64_t room) : room_(room) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override {
        const int64_t n = std::min(count, room_ - written_);
        written_ += n;
        return n;
    }
    int64_t Seek(int64_t, int) override { return written_; }

private:
    int64_t room_;
    int64_t written_ = 0;
};

}  // namespace

TEST(Deflate, EveryPresetRoundTripsThroughZlib) {
    for (const Input& in : inputs()) {
        for (char letter : {'0', '2', 'f', 'n', 's', 'x'}) {
            SCOPED_TRACE(testing::Message() << in.name << " preset " << letter);
            TArcDeflateHelper h = preset(letter);
            checkRoundTrip(in.data, h);
        }
    }
}

TEST(Deflate, EveryStrategyWithAndWithoutLazyMatchingAndDeflate64) {
    const qint32 strategies[] = {StoredOnly, StaticOnly, DynamicOnly, BestOfThree};
    for (const Input& in : inputs()) {
        for (qint32 strategy : strategies) {
            for (qint32 lazy : {0, LazyMatching}) {
                for (qint32 format : {0, Deflate64Format}) {
                    SCOPED_TRACE(testing::Message() << in.name << " strategy " << strategy
                                                    << " lazy " << lazy << " format " << format);
                    TArcDeflateHelper h;
                    h.SetOptionBits(strategy | lazy | format);
                    checkRoundTrip(in.data, h);
                }
            }
        }
    }
}

TEST(Deflate, EmptyInputGivesOneFixedEndOfBlock) {
    quint32 crc = 1;
    EXPECT_EQ(ourDeflate(QByteArray(), nullptr, &crc), QByteArray("\x03\x00", 2));
    EXPECT_EQ(crc, 0u);
}

TEST(Deflate, RepeatedByteBecomesOneLiteralAndDistanceOneMatches) {
    // 'a' then 999 bytes of distance-1 matches (3 x 258 + 225) with the
    // fixed codes: 3 + 8 + 3 x (8 + 5) + (8 + 5 + 5) + 7 = 75 bits.
    TArcDeflateHelper h;
    h.SetOptionBits(StaticOnly | LazyMatching);
    const QByteArray raw = ourDeflate(QByteArray(1000, 'a'), &h);
    EXPECT_EQ(raw.size(), 10);
    EXPECT_EQ(zlibInflate(raw), QByteArray(1000, 'a'));
}

// Plain deflate's length 258 (symbol 285) has no extra bits although the
// shared fixed table gives it Deflate64's sixteen; zlib rejects or
// misreads a stream that writes them.
TEST(Deflate, Length258CarriesNoExtraBitsInPlainDeflate) {
    const QByteArray pattern("0123456789abcdefghij");
    const QByteArray in = pattern.repeated(5000);
    for (qint32 strategy : {StaticOnly, DynamicOnly, BestOfThree}) {
        TArcDeflateHelper h;
        h.SetOptionBits(strategy | LazyMatching);
        const QByteArray raw = ourDeflate(in, &h);
        EXPECT_LT(raw.size(), 2000) << strategy;
        EXPECT_EQ(zlibInflate(raw), in) << strategy;
    }
}

TEST(Deflate, StoredOnlyAlwaysEndsTheStreamAndInsistsOnTheAnnouncedSize) {
    TArcDeflateHelper h = preset('0');
    EXPECT_EQ(ourDeflate(QByteArray(), &h), QByteArray("\x01\x00\x00\xFF\xFF", 5));

    // A piece of exactly 65535 bytes, then one of 1.
    const QByteArray in = randomInput(65536);
    const QByteArray raw = ourDeflate(in, &h);
    ASSERT_EQ(raw.size(), 65536 + 10);
    EXPECT_EQ(raw.left(5), QByteArray("\x00\xFF\xFF\x00\x00", 5));
    EXPECT_EQ(raw.mid(5 + 65535, 5), QByteArray("\x01\x01\x00\xFE\xFF", 5));
    EXPECT_EQ(zlibInflate(raw), in);

    TArcDeflateHelper shortSource = preset('0');
    shortSource.SetInputSize(70000);  // only a run with progress keeps it
    shortSource.SetProgressHandler([](qint32) {});
    try {
        ourDeflate(in, &shortSource);
        FAIL() << "a short source was accepted";
    } catch (const EArcDeflateError& e) {
        EXPECT_STREQ(e.what(),
                     "Archive deflate error. (Internal cause: the source stream ended before the "
                     "announced size [DeflateStoredOnly])");
    }
}

TEST(Deflate, UnwritableDestinationRaisesTheDeflateError) {
    MemoryStream src(textInput());
    CountingSink sink(1000);
    try {
        Deflate(src, sink);
        FAIL() << "a failing destination was not noticed";
    } catch (const EArcDeflateError& e) {
        EXPECT_STREQ(e.what(),
                     "Archive deflate error. (Internal cause: could not write to the output stream "
                     "[TArcDfInBitStream.obsEmptyBuffer])");
    }
}

TEST(Deflate, ChecksumOptionsProgressAndLog) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray in = binaryInput(100000);
    TArcDeflateHelper h = preset('n');
    h.SetOptionBits(h.OptionBits() | Adler32Check);
    h.SetLogFileName(dir.filePath("deflate.log"));
    std::vector<int> percents;
    h.SetInputSize(-1);
    h.SetProgressHandler([&percents](qint32 p) { percents.push_back(p); });
    quint32 adler = 0;
    const QByteArray raw = ourDeflate(in, &h, &adler);
    EXPECT_EQ(adler,
              quint32(adler32(1, reinterpret_cast<const Bytef*>(in.constData()), uInt(in.size()))));
    EXPECT_EQ(zlibInflate(raw), in);
    ASSERT_GE(percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
    EXPECT_EQ(
        readFile(dir.filePath("deflate.log")),
        QByteArray(
            "DEFLATING STREAM...\r\nNeed to recompile the app with UseLogging turned on\r\n"));
}

TEST(Deflate, SevenZipReadsOurDeflate64) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray block = randomInput(50000, 3);
    const QByteArray in = block + textInput() + block + QByteArray(100000, 'k') + block;
    TArcDeflateHelper h = preset('x');
    h.SetOptionBits(h.OptionBits() | Deflate64Format);
    h.SetWindowBytes(65536);
    ZipEntry e;
    e.method = 9;
    e.crc = crcOf(in);
    e.data = ourDeflate(in, &h);
    EXPECT_LT(e.data.size(), in.size() / 2);
    ASSERT_TRUE(
        writeFile(dir.filePath("ours.zip"), oneEntryZip("data.bin", e, quint32(in.size()))));
    QByteArray listing;
    auto rc = runTool("7z", {"t", "ours.zip"}, dir.path(), &listing);
    if (!rc) GTEST_SKIP() << "7z is not installed";
    EXPECT_EQ(*rc, 0) << listing.toStdString();
}

TEST(Deflate, CompressesTheRestOfTheSourceFromItsPosition) {
    // Stored blocks re-read their bytes from the source: relative to where
    // the run started, not to the start of the stream.
    const QByteArray prefix("header that is not compressed");
    const QByteArray rest = randomInput(150000, 21) + textInput();
    MemoryStream src(prefix + rest);
    src.SetPosition(prefix.size());
    MemoryStream dst;
    TArcDeflateHelper h;
    EXPECT_EQ(Deflate(src, dst, &h), crcOf(rest));
    EXPECT_EQ(h.PlainBytes(), rest.size());
    EXPECT_EQ(zlibInflate(dst.Memory()), rest);
}

TEST(Deflate, Deflate64RoundTripsLongRuns) {
    // Runs far longer than one copy give longest copies back to back.
    const QByteArray in = QByteArray(3000000, '\0') + textInput() + QByteArray(700000, 'r');
    for (qint32 strategy : {StaticOnly, BestOfThree}) {
        TArcDeflateHelper h;
        h.SetOptionBits(strategy | LazyMatching | Deflate64Format);
        checkRoundTrip(in, h);
    }
}
