#include "archive/name_charsets.h"

#include <gtest/gtest.h>

#include <iconv.h>

using namespace tandex::archive;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

// One byte through glibc's converter; -1 when it calls the byte undefined.
int iconvByte(const char* page, uint8_t byte) {
    iconv_t cd = iconv_open("UTF-32LE", page);
    if (cd == reinterpret_cast<iconv_t>(-1)) return -2;
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* inp = in;
    char* outp = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    iconv(cd, nullptr, nullptr, &outp, &outLeft);  // flush a held-back character
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || sizeof out - outLeft != 4) return -1;
    return out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
}

}  // namespace

TEST(NameCharsets, BuiltInTablesAgreeWithIconv) {
    const int pages[] = {437,  737,  775,  850,  852,  855,  857,  862, 866,
                         1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257};
    for (int page : pages) {
        const QByteArray name = "CP" + QByteArray::number(page);
        ASSERT_TRUE(HasCodePage(page));
        for (int b = 0; b < 256; ++b) {
            const int expected = iconvByte(name.constData(), uint8_t(b));
            ASSERT_NE(expected, -2) << name.constData();
            const QString got = DecodeCodePage(bytes({b}), page);
            ASSERT_EQ(got.size(), 1);
            if (expected >= 0) {
                EXPECT_EQ(got[0].unicode(), expected) << name.constData() << " byte " << b;
            } else {
                EXPECT_EQ(got[0].unicode(), b < 0xA0 ? b : 0xFFFD)
                    << name.constData() << " byte " << b;
            }
        }
    }
}

TEST(NameCharsets, Cp720WhichIconvLacksIsBuiltIn) {
    EXPECT_EQ(DecodeCodePage(bytes({0x82, 0x98, 0xC7, 0xE0, 0xFD}), 720),
              QString::fromUtf16(u"\u00E9\u0621\u255F\u0636\u00B2"));
}

TEST(NameCharsets, DetectsCharsetByUtf8Structure) {
    struct Case {
        QByteArray name;
        TNameCharset expected;
    };
    const Case cases[] = {
        {"abc", TNameCharset::Ascii},
        {"", TNameCharset::Ascii},
        {"abc" + bytes({0xC3, 0xA9}), TNameCharset::Utf8},
        {"abc" + bytes({0xE9}), TNameCharset::Ansi},
        {"abc" + bytes({0xE2, 0x82}), TNameCharset::Ansi},  // ends inside a sequence
        {bytes({0xC0, 0x80}), TNameCharset::Ansi},
        {bytes({0xF5, 0x80, 0x80, 0x80}), TNameCharset::Ansi},
        {bytes({0xF0, 0x9F, 0x98, 0x80}), TNameCharset::Utf8},
        {bytes({0xC3, 0x41}), TNameCharset::Ansi},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectNameCharset(c.name), c.expected) << c.name.toHex().constData();
}

TEST(NameCharsets, DecodesOemNamesOnlyWhenEveryHighByteIsAnOemLetter) {
    const TCodePages cp850{850, 1252};
    // 0x81 is an OEM letter (u-umlaut in 850) and no ANSI letter.
    EXPECT_TRUE(LooksLikeOemName(bytes({'a', 0x81, 0x81}), 850));
    EXPECT_EQ(DecodeStoredName(bytes({'a', 0x81, 0x81}), cp850),
              QString::fromUtf16(u"a\u00FC\u00FC"));
    // 0xE9 is an ANSI letter: read from the ANSI page.
    EXPECT_FALSE(LooksLikeOemName(bytes({'x', 0xE9}), 850));
    EXPECT_EQ(DecodeStoredName(bytes({'x', 0xE9}), cp850), QString::fromUtf16(u"x\u00E9"));
    // 0xB0 is neither: not an OEM name.
    EXPECT_FALSE(LooksLikeOemName(bytes({0x81, 0xB0}), 850));
    // Pages without letter sets never look like OEM names.
    EXPECT_FALSE(LooksLikeOemName(bytes({0x81}), 1252));
    // The machine's pair decodes 437 OEM names and UTF-8.
    EXPECT_EQ(DecodeStoredName(bytes({0x84, 'r'})), QString::fromUtf16(u"\u00E4r"));
    EXPECT_EQ(DecodeStoredName(QByteArray("\xC3\xA4r")), QString::fromUtf16(u"\u00E4r"));
    // Russian in 866 with its ANSI partner 1251: bytes that are letters in
    // both pages read as ANSI; one OEM-only letter (0xAD) makes it OEM.
    EXPECT_EQ(DecodeStoredName(bytes({0x8F, 0xE0, 0xA8}), {866, 1251}),
              QString::fromUtf16(u"\u040F\u0430\u0401"));
    EXPECT_EQ(DecodeStoredName(bytes({0x8F, 0xE0, 0xA8, 0xAD}), {866, 1251}),
              QString::fromUtf16(u"\u041F\u0440\u0438\u043D"));
    EXPECT_EQ(AnsiCodePageOfOem(866), 1251);
    EXPECT_EQ(AnsiCodePageOfOem(1252), 0);
}

TEST(NameCharsets, EncodesExactlyOrWithBestFit) {
    QByteArray out;
    EXPECT_TRUE(TryEncodeName(QString::fromUtf16(u"\u00E4.txt"), 437, false, out));
    EXPECT_EQ(out, bytes({0x84}) + ".txt");
    EXPECT_TRUE(TryEncodeName(QString::fromUtf16(u"\u00E4"), 1252, false, out));
    EXPECT_EQ(out, bytes({0xE4}));
    // "a" with macron is in neither page; best fit gives its base letter.
    EXPECT_FALSE(TryEncodeName(QString::fromUtf16(u"\u0101"), 1252, false, out));
    EXPECT_TRUE(TryEncodeName(QString::fromUtf16(u"\u0101"), 1252, true, out));
    EXPECT_EQ(out, "a");
    EXPECT_FALSE(TryEncodeName(QString::fromUtf16(u"\u4E2D"), 1252, true, out));
    EXPECT_FALSE(TryEncodeName("a", 9999, false, out));
    // Every decodable high byte of a page round-trips.
    for (int b = 0x80; b < 0x100; ++b) {
        const QString c = DecodeCodePage(bytes({b}), 1251);
        if (c[0].unicode() == 0xFFFD) continue;
        ASSERT_TRUE(TryEncodeName(c, 1251, false, out)) << b;
        EXPECT_EQ(out, bytes({b}));
    }
    EXPECT_EQ(EncodeUtf8Name(QString::fromUtf16(u"\u00E9")), QByteArray("\xC3\xA9"));
}
