// The PPMd decoder against 7-Zip's method-98 encoder: every order and
// memory size must give back the very bytes, including inputs far larger
// than the model's memory, so that the restarts happen where 7-Zip's do.

#include "archive/ppmd_decoder.h"

#include "archive/archive_errors.h"
#include "codec_test_support.h"

#include <QTemporaryDir>

namespace {

using namespace codec_test;

class PpmdDecoderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    // The raw method-98 data of input compressed by 7z with the options.
    std::optional<QByteArray> sevenZip(const QByteArray& input, const QString& options) {
        if (!writeFile(path("in.dat"), input)) return std::nullopt;
        QFile::remove(path("p.zip"));
        const auto rc = runTool("7z", {"a", "-tzip", "-mm=" + options, "p.zip", "in.dat"}, dir.path());
        if (!rc) return std::nullopt;
        EXPECT_EQ(*rc, 0) << options.toStdString();
        const auto entry = firstZipEntry(readFile(path("p.zip")));
        if (!entry || entry->method != 98) return QByteArray();
        return entry->data;
    }
};

QByteArray ppmdDecode(const QByteArray& data, uint64_t unpackedSize) {
    MemoryStream src(data);
    MemoryStream dst;
    DecompressPPMd(src, dst, uint64_t(data.size()), unpackedSize);
    return dst.Memory();
}

TEST_F(PpmdDecoderTest, SevenZipEntriesDecodeByteExact) {
    // Text and machine code past a 1 MiB model at the highest order: the
    // model runs out of memory and restarts many times over.
    const QByteArray large = textInput() + binaryInput(1500000) + textInput();
    const QByteArray run(70000, 'a');
    QByteArray letters = randomInput(200000);
    for (char& c : letters) c = char('a' + (c & 15));
    struct Case {
        const char* what;
        QByteArray input;
        const char* options;
    };
    const Case cases[] = {
        {"one byte repeated", run, "PPMd:o=6:mem=16m"},
        {"text, order 2", textInput(), "PPMd:o=2:mem=1m"},
        {"text, order 6", textInput(), "PPMd:o=6:mem=16m"},
        {"text, order 16", textInput(), "PPMd:o=16:mem=256m"},
        {"binary, order 3", binaryInput(), "PPMd:o=3:mem=16m"},
        {"binary, order 16", binaryInput(), "PPMd:o=16:mem=1m"},
        {"random letters", letters, "PPMd:o=8:mem=1m"},
        {"restarts, order 16", large, "PPMd:o=16:mem=1m"},
        {"restarts, order 4", large, "PPMd:o=4:mem=1m"},
    };
    for (const Case& c : cases) {
        const auto data = sevenZip(c.input, QString::fromLatin1(c.options));
        if (!data) GTEST_SKIP() << "7z is not installed";
        ASSERT_FALSE(data->isEmpty()) << c.what;
        // The end symbol stops the decoder before a larger expected size.
        EXPECT_TRUE(ppmdDecode(*data, uint64_t(c.input.size()) + 1000) == c.input) << c.what;
    }
}

TEST_F(PpmdDecoderTest, ExpectedSizeBoundsTheOutput) {
    const auto data = sevenZip(textInput(), QStringLiteral("PPMd:o=6:mem=16m"));
    if (!data) GTEST_SKIP() << "7z is not installed";
    EXPECT_EQ(ppmdDecode(*data, 1000), textInput().left(1000));
    EXPECT_TRUE(ppmdDecode(*data, 0).isEmpty());
}

TEST_F(PpmdDecoderTest, HeaderSelectsOrderMemoryAndMethod) {
    const QByteArray input = textInput().left(20000);
    const auto data = sevenZip(input, QStringLiteral("PPMd:o=8:mem=1m"));
    if (!data) GTEST_SKIP() << "7z is not installed";
    // Order bits 7, memory bits 255, method bits 2: order 8 and 256 MiB, a
    // model that would freeze once full and until then decodes alike.
    QByteArray freeze = *data;
    freeze[0] = char(0xF7);
    freeze[1] = char(0x2F);
    EXPECT_TRUE(ppmdDecode(freeze, uint64_t(input.size())) == input);
    // Method bits 5: a model frozen from the start, which 7-Zip never
    // writes; it decodes something else, within the size asked for.
    QByteArray frozen = freeze;
    frozen[1] = char(0x5F);
    try {
        EXPECT_LE(ppmdDecode(frozen, uint64_t(input.size())).size(), input.size());
    } catch (const EArcReadError&) {
    }
    // Order 1 is no method-98 stream.
    QByteArray order1 = *data;
    order1[0] = char(0x00);
    order1[1] = char(0x00);
    EXPECT_THROW(ppmdDecode(order1, 100), EArcZipInvalidMethod);
}

TEST_F(PpmdDecoderTest, DamagedStreamsRaiseTheReadError) {
    const auto data = sevenZip(textInput(), QStringLiteral("PPMd:o=6:mem=1m"));
    if (!data) GTEST_SKIP() << "7z is not installed";
    try {
        ppmdDecode(data->left(data->size() / 2), uint64_t(textInput().size()));
        FAIL() << "a truncated stream decoded";
    } catch (const EArcReadError& e) {
        EXPECT_STREQ(e.what(), "Error reading archive");
    }
    EXPECT_THROW(ppmdDecode(data->left(1), 10), EArcReadError);
    EXPECT_THROW(ppmdDecode(data->left(4), 10), EArcReadError);
    // Noise after a valid header: an error or at most the bytes asked for,
    // with the memory the header names.
    for (quint32 seed = 1; seed <= 20; ++seed) {
        QByteArray noise = data->left(2) + randomInput(4000, seed);
        try {
            EXPECT_LE(ppmdDecode(noise, 50000).size(), 50000);
        } catch (const EArcReadError&) {
        }
    }
}

TEST_F(PpmdDecoderTest, PeerEntriesDecode) {
    for (const char* file : {"test_read_format_zip_ppmd8.zipx", "test_read_format_zip_ppmd8_multi.zipx"}) {
        const auto entry = firstZipEntry(readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/") + file));
        ASSERT_TRUE(entry && entry->method == 98) << file;
        EXPECT_EQ(crcOf(ppmdDecode(entry->data, 1 << 20)), entry->crc) << file;
    }
    // The damaged ones end in an error or a bounded result.
    for (const char* file : {"test_read_format_zip_ppmd8_crash_1.zipx", "test_read_format_zip_ppmd8_crash_2.zipx"}) {
        const QByteArray zip = readFile(QStringLiteral(TANDEX_TEST_DATA "/peer/") + file);
        ASSERT_GT(zip.size(), 30) << file;
        try {
            EXPECT_LE(ppmdDecode(zip.mid(30), 1 << 20).size(), 1 << 20);
        } catch (const EArcException&) {
        }
    }
}

}  // namespace
