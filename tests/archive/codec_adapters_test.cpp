#include "archive/codec_adapters.h"
#include "archive/tar_archive.h"

#include "codec_test_support.h"

#include <QTemporaryDir>

using namespace codec_test;

namespace {

QByteArray ourBzip2(const QByteArray& in) {
    MemoryStream out;
    {
        TBZCompressionStream bz(8, out);
        if (!in.isEmpty()) bz.WriteBuffer(in.constData(), in.size());
    }
    return out.Memory();
}

QByteArray readAllBzip2(const QByteArray& bz2, int64_t piece = 65536) {
    MemoryStream src(bz2);
    TBZDecompressionStream bz(src);
    QByteArray out;
    QByteArray buf(int(piece), Qt::Uninitialized);
    for (int64_t n; (n = bz.Read(buf.data(), piece)) > 0;)
        out.append(buf.constData(), n);
    return out;
}

class CodecAdaptersTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(CodecAdaptersTest, Bzip2OutputPassesBzip2AndReadsBack) {
    const QByteArray text = textInput();
    const QByteArray empty = ourBzip2({});
    EXPECT_EQ(empty.size(), 14);
    for (const QByteArray& input : {text, binaryInput(), QByteArray()}) {
        const QByteArray bz2 = ourBzip2(input);
        ASSERT_TRUE(writeFile(path("x.bz2"), bz2));
        EXPECT_EQ(runTool("bzip2", {"-t", "x.bz2"}, dir.path()), 0);
        QByteArray plain;
        ASSERT_EQ(runTool("bzip2", {"-dc", "x.bz2"}, dir.path(), &plain), 0);
        EXPECT_EQ(plain, input);
        EXPECT_EQ(readAllBzip2(bz2), input);
    }
}

TEST_F(CodecAdaptersTest, ConcatenatedBzip2StreamsDecodeWholeThenReadZero) {
    const QByteArray a = textInput().left(300000), b = binaryInput(200000);
    ASSERT_TRUE(writeFile(path("a"), a));
    ASSERT_TRUE(writeFile(path("b"), b));
    ASSERT_EQ(runTool("bzip2", {"-k", "a", "b"}, dir.path()), 0);
    const QByteArray joined = readFile(path("a.bz2")) + readFile(path("b.bz2")) + ourBzip2("tail");
    ASSERT_TRUE(writeFile(path("joined.bz2"), joined));
    QByteArray expected;
    ASSERT_EQ(runTool("bzip2", {"-dc", "joined.bz2"}, dir.path(), &expected), 0);
    EXPECT_EQ(expected, a + b + "tail");
    for (int64_t piece : {1, 7, 65536})
        EXPECT_EQ(readAllBzip2(joined, piece), expected) << piece;

    MemoryStream src(joined);
    TBZDecompressionStream bz(src);
    QByteArray first(1000, Qt::Uninitialized);
    ASSERT_EQ(bz.Read(first.data(), 1000), 1000);
    EXPECT_EQ(bz.Seek(0, soBeginning), 0);
    QByteArray again(1000, Qt::Uninitialized);
    ASSERT_EQ(bz.Read(again.data(), 1000), 1000);
    EXPECT_EQ(again, first);
    EXPECT_EQ(bz.Seek(5000, soBeginning), 5000);
    ASSERT_EQ(bz.Read(again.data(), 1000), 1000);
    EXPECT_EQ(again, expected.mid(5000, 1000));
    EXPECT_THROW(bz.Seek(10, soBeginning), EBZDecompressionError);
    EXPECT_THROW(bz.Write("x", 1), EBZDecompressionError);
    bz.Seek(expected.size(), soBeginning);
    EXPECT_EQ(bz.Read(again.data(), 1000), 0);
    EXPECT_EQ(bz.Read(again.data(), 1000), 0);  // never "error -1"
}

TEST_F(CodecAdaptersTest, Bzip2DamageRaisesItsCode) {
    QByteArray bz2 = ourBzip2(textInput().left(100000));
    bz2[bz2.size() / 2] = char(bz2[bz2.size() / 2] ^ 0x55);
    try {
        readAllBzip2(bz2);
        FAIL() << "no error";
    } catch (const EBZDecompressionError& e) {
        EXPECT_TRUE(QString(e.Message()).startsWith("error -")) << e.what();
    }
}

TEST_F(CodecAdaptersTest, PeerBzip2TarAndZipxEntries) {
    MemoryStream tbz(readFile(TANDEX_TEST_DATA "/peer/test_compat_bzip2_1.tbz"));
    MemoryStream tar;
    {
        TBZDecompressionStream bz(tbz);
        QByteArray buf(61440, Qt::Uninitialized);
        for (int64_t n; (n = bz.Read(buf.data(), buf.size())) > 0;)
            tar.WriteBuffer(buf.constData(), n);
    }
    TArcTarArchive a(&tar, "t.tar");
    a.Load();
    ASSERT_GE(a.GetCount(), 3);
    EXPECT_EQ(a.TarItem(0)->GetFileName(), "f1");

    // Damaged on purpose: an error, or a short result, never a hang.
    for (const char* file : {"test_compat_bzip2_2.tbz"}) {
        MemoryStream src(readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/") + file));
        try {
            readAllBzip2(src.Memory());
        } catch (const EBZDecompressionError&) {
        }
    }

    struct Case {
        const char* file;
        quint32 crc;
        qint64 size;
    };
    for (const Case& c : {Case{"test_read_format_zip_bzip2.zipx", 0xBA8E3BAA, 912},
                          Case{"test_read_format_zip_bzip2_multi.zipx", 0x8DD7379E, 6699}}) {
        const auto entry = firstZipEntry(readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/") + c.file));
        ASSERT_TRUE(entry && entry->method == 12);
        const QByteArray plain = readAllBzip2(entry->data);
        EXPECT_EQ(plain.size(), c.size);
        EXPECT_EQ(crcOf(plain), c.crc) << c.file;
    }
}

QByteArray lzmaDecode(const QByteArray& entryData, uint64_t size, uint64_t maxOutput = ~0ull) {
    // The method's header: version (2 bytes), properties size (2 bytes).
    const int propSize = quint8(entryData[2]) | quint8(entryData[3]) << 8;
    MemoryStream src(entryData.mid(4 + propSize));
    MemoryStream out;
    DecompressLzma(reinterpret_cast<const uint8_t*>(entryData.constData() + 4), propSize, src, size,
                   out, maxOutput);
    return out.Memory();
}

TEST_F(CodecAdaptersTest, LzmaEntriesOfSevenZipDecode) {
    const QByteArray input = textInput();
    ASSERT_TRUE(writeFile(path("in.txt"), input));
    if (runTool("7z", {"a", "-tzip", "-mm=LZMA", "l.zip", "in.txt"}, dir.path()) != 0)
        GTEST_SKIP() << "7z is not installed";
    const auto entry = firstZipEntry(readFile(path("l.zip")));
    ASSERT_TRUE(entry && entry->method == 14);
    EXPECT_EQ(lzmaDecode(entry->data, input.size()), input);
    // A known size stops there, whatever follows.
    EXPECT_EQ(lzmaDecode(entry->data + QByteArray(5000, 'z'), 1000), input.left(1000));
    // Unknown size: the end marker decides, the caller's bound holds.
    EXPECT_THROW(lzmaDecode(entry->data, kLzmaUnknownSize, 4096), EArcLZMAException);
    for (const char* file : {"test_read_format_zip_lzma.zipx", "test_read_format_zip_lzma_multi.zipx"}) {
        const auto peer = firstZipEntry(readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/") + file));
        ASSERT_TRUE(peer && peer->method == 14);
        const QByteArray plain = lzmaDecode(peer->data, kLzmaUnknownSize, 1 << 20);
        EXPECT_EQ(crcOf(plain), peer->crc) << file;
    }
}

TEST_F(CodecAdaptersTest, LzmaErrorsCarryTheirMessages) {
    const uint8_t badProps[5] = {225, 0, 0, 1, 0};
    MemoryStream src(QByteArray(10, '\0'));
    MemoryStream out;
    try {
        DecompressLzma(badProps, 5, src, 10, out, 10);
        FAIL();
    } catch (const EArcLZMAException& e) {
        EXPECT_EQ(e.Message(), "LZMA \"Unsupported\" Error.");
    }
    EXPECT_EQ(LzmaErrorText(17), "LZMA \"No Archive\" Error.");
    EXPECT_EQ(LzmaErrorText(13), "Unknown LZMA error (13)");
    // Garbage after valid properties: a data error.
    const uint8_t props[5] = {93, 0, 0, 1, 0};
    MemoryStream garbage(randomInput(4096));
    EXPECT_THROW(DecompressLzma(props, 5, garbage, 100000, out, 100000), EArcLZMAException);
}

QByteArray waveFile(int bits, int channels, int frames) {
    const int bytes = (bits + 7) / 8;
    QByteArray data;
    QRandomGenerator gen(bits * 10 + channels);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const qint64 range = qint64(1) << (bits - 2);
            // A tone with noise; the first stretch is silence.
            qint64 v = f < 1000 ? 0 : qint64(std::sin(f / 20.0 + c) * double(range)) + gen.bounded(16);
            if (bits == 8) v += 128;
            for (int b = 0; b < bytes; ++b)
                data.append(char(quint64(v) >> (8 * b)));
        }
    QByteArray w;
    auto u32 = [&w](quint32 v) { w.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&w](quint16 v) { w.append(reinterpret_cast<const char*>(&v), 2); };
    w.append("RIFF");
    u32(quint32(36 + data.size()));
    w.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(quint16(channels));
    u32(44100);
    u32(quint32(44100 * channels * bytes));
    u16(quint16(channels * bytes));
    u16(quint16(bits));
    w.append("data");
    u32(quint32(data.size()));
    return w + data;
}

TEST_F(CodecAdaptersTest, WavPackRestoresTheWaveFile) {
    for (int bits : {8, 16, 24, 32})
        for (int channels : {1, 2}) {
            SCOPED_TRACE(bits * 10 + channels);
            const QByteArray wave = waveFile(bits, channels, 30000);
            ASSERT_TRUE(writeFile(path("t.wav"), wave));
            QFile::remove(path("t.wv"));
            if (runTool("wavpack", {"-q", "-y", "t.wav"}, dir.path()) != 0)
                GTEST_SKIP() << "wavpack is not installed";
            MemoryStream src(readFile(path("t.wv")));
            MemoryStream out;
            DecompressWavPack(src, out, wave.size());
            EXPECT_EQ(out.Memory(), wave);
            if (bits == 8) {
                EXPECT_EQ(quint8(out.Memory()[44]), 0x80);  // silence
            }
            MemoryStream again(readFile(path("t.wv")));
            MemoryStream bounded;
            DecompressWavPack(again, bounded, 1000);
            EXPECT_EQ(bounded.Memory(), wave.left(1000));
        }
}

TEST_F(CodecAdaptersTest, WavPackOpenFailureNamesTheCause) {
    MemoryStream src(QByteArray("not a wavpack stream at all"));
    MemoryStream out;
    try {
        DecompressWavPack(src, out, 100);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith("WavPack decompression failed: ")) << e.what();
    }
}

}  // namespace
