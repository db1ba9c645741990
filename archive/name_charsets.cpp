#include "archive/name_charsets.h"

#include "archive/code_page_tables.h"

#include <array>
#include <bitset>

namespace tandex::archive {

namespace {

const char16_t* highHalf(int codePage) {
    for (int i = 0; i < detail::kCodePageTableCount; ++i)
        if (detail::kCodePageTables[i].CodePage == codePage) return detail::kCodePageTables[i].High;
    return nullptr;
}

char16_t decodeHigh(const char16_t* high, uint8_t byte) {
    const char16_t c = high[byte - 0x80];
    if (c != 0) return c;
    return byte < 0xA0 ? char16_t(byte) : char16_t(0xFFFD);
}

// Letter sets of the high half, given as the byte values they hold.
struct LetterSets {
    int Oem;
    const char* AnsiLetters;
    const char* OemLetters;
};

constexpr LetterSets kLetterSets[] = {
    {437, "8A 8C 8E 9A 9C 9E-9F B5 C0-D6 D8-F6 F8-FF", "80-9A A0-A5 E0-EB ED-EE"},
    {720, "81 8A 8C-90 98 9A 9C 9F AA B5 C0-D6 D8-EF F4 F9 FB-FC FF",
     "82-83 85 87-8C 93 95-9B 9D-AD E0-EF"},
    {737, "A2 B5 B8-BA BC BE-D1 D3-FE", "80-AF E0-F0 F4-F5"},
    {775, "A8 AA AF B8 BA BF-D6 D8-F6 F8-FE",
     "80-95 97-9B 9D A0-A5 AD B5-B8 BD-BE C6-C7 CF-D8 E0-EE"},
    {850, "8A 8C 8E 9A 9C 9E-9F C0-D6 D8-F6 F8-FF", "80-9B 9D A0-A5 B5-B7 C6-C7 D0-D8 DE E0-ED"},
    {852, "8A 8C-8F 9A 9C-9F A3 A5 AA AF B3 B9-BA BC BE-D6 D8-F6 F8-FE",
     "80-9D 9F-A9 AB-AD B5-B8 BD-BE C6-C7 D0-D8 DD-DE E0-EE FB-FD"},
    {855, "80-81 83 8A 8C-90 9A 9C-9F A1-A3 A5 A8 AA AF B2-B4 B8 BA BC-FF",
     "80-AD B5-B8 BD-BE C6-C7 D0-D8 DD-DE E0-EE F1-FC"},
    {857, "8A 8C 9A 9C 9F C0-D6 D8-F6 F8-FF", "80-9B 9D-A7 B5-B7 C6-C7 D2-D4 D6-D8 DE E0-E6 E9-ED"},
    {862, "B5 D4-D6 E0-FA", "80-9A A0-A5 E0-EB ED-EE"},
    {866, "80-81 83 8A 8C-90 9A 9C-9F A1-A3 A5 A8 AA AF B2-B5 B8 BA BC-FF", "80-AF E0-F7"},
};

constexpr std::pair<int, int> kAnsiOfOem[] = {
    {437, 1252}, {720, 1256}, {737, 1253}, {775, 1257}, {850, 1252},
    {852, 1250}, {855, 1251}, {857, 1254}, {862, 1255}, {866, 1251},
};

int hexDigit(char c) {
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// "8A 9E-9F" to the bits of those bytes above 0x80.
std::bitset<128> parseSet(const char* text) {
    std::bitset<128> set;
    for (const char* p = text; *p;) {
        const int lo = hexDigit(p[0]) * 16 + hexDigit(p[1]);
        int hi = lo;
        p += 2;
        if (*p == '-') {
            hi = hexDigit(p[1]) * 16 + hexDigit(p[2]);
            p += 3;
        }
        for (int b = lo; b <= hi; ++b)
            set.set(b - 0x80);
        while (*p == ' ')
            ++p;
    }
    return set;
}

struct ParsedSets {
    std::bitset<128> Ansi;
    std::bitset<128> Oem;
};

const ParsedSets* lettersOf(int oemCodePage) {
    static const auto parsed = [] {
        std::array<ParsedSets, std::size(kLetterSets)> out;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = {parseSet(kLetterSets[i].AnsiLetters), parseSet(kLetterSets[i].OemLetters)};
        return out;
    }();
    for (size_t i = 0; i < std::size(kLetterSets); ++i)
        if (kLetterSets[i].Oem == oemCodePage) return &parsed[i];
    return nullptr;
}

// The byte for one character, or -1.
int encodeChar(char16_t c, const char16_t* high) {
    if (c < 0x80) return c;
    for (int b = 0x80; b < 0x100; ++b)
        if (decodeHigh(high, uint8_t(b)) == c && c != 0xFFFD) return b;
    return -1;
}

}  // namespace

int AnsiCodePageOfOem(int oemCodePage) {
    for (auto [oem, ansi] : kAnsiOfOem)
        if (oem == oemCodePage) return ansi;
    return 0;
}

bool HasCodePage(int codePage) {
    return highHalf(codePage) != nullptr;
}

QString DecodeCodePage(QByteArrayView bytes, int codePage) {
    const char16_t* high = highHalf(codePage);
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        dst[i] = QChar(b < 0x80 || !high ? char16_t(b) : decodeHigh(high, b));
    }
    return out;
}

TNameCharset DetectNameCharset(QByteArrayView bytes) {
    bool high = false;
    int pending = 0;
    for (const char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        if (b >= 0x80) high = true;
        if (pending == 0) {
            if (b < 0x80) continue;
            if (b >= 0xC2 && b <= 0xDF)
                pending = 1;
            else if (b >= 0xE0 && b <= 0xEF)
                pending = 2;
            else if (b >= 0xF0 && b <= 0xF4)
                pending = 3;
            else
                return TNameCharset::Ansi;
        } else {
            if (b < 0x80 || b > 0xBF) return TNameCharset::Ansi;
            --pending;
        }
    }
    if (pending != 0) return TNameCharset::Ansi;
    return high ? TNameCharset::Utf8 : TNameCharset::Ascii;
}

bool LooksLikeOemName(QByteArrayView bytes, int oemCodePage) {
    const ParsedSets* sets = lettersOf(oemCodePage);
    if (!sets) return false;
    bool ansiLetters = true;
    bool oemLetters = true;
    for (const char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        if (b < 0x80) continue;
        if (ansiLetters) ansiLetters = sets->Ansi.test(b - 0x80);
        if (oemLetters) oemLetters = sets->Oem.test(b - 0x80);
        if (!ansiLetters && !oemLetters) break;
    }
    return !ansiLetters && oemLetters;
}

QString DecodeStoredName(QByteArrayView bytes, const TCodePages& pages) {
    switch (DetectNameCharset(bytes)) {
        case TNameCharset::Utf8:
            return QString::fromUtf8(bytes);
        case TNameCharset::Ansi:
            if (LooksLikeOemName(bytes, pages.Oem)) return DecodeCodePage(bytes, pages.Oem);
            return DecodeCodePage(bytes, pages.Ansi);
        case TNameCharset::Ascii:
            break;
    }
    return DecodeCodePage(bytes, pages.Ansi);
}

QByteArray EncodeUtf8Name(const QString& name) {
    return name.toUtf8();
}

bool TryEncodeName(const QString& name, int codePage, bool allowBestFit, QByteArray& out) {
    out.clear();
    const char16_t* high = highHalf(codePage);
    if (!high) return false;
    out.reserve(name.size());
    bool exact = true;
    for (const QChar qc : name) {
        int b = encodeChar(qc.unicode(), high);
        if (b < 0 && allowBestFit) {
            // A close substitute: the base letter of a decomposable
            // character ("ā" to "a").
            const QString decomposed = QString(qc).normalized(QString::NormalizationForm_KD);
            if (!decomposed.isEmpty() && decomposed[0] != qc)
                b = encodeChar(decomposed[0].unicode(), high);
        }
        if (b < 0) {
            exact = false;
            b = '?';
        }
        out.append(static_cast<char>(b));
    }
    return exact;
}

}  // namespace tandex::archive
