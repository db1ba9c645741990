#include "config/num_format.h"
#include "qt_print.h"

#include <gtest/gtest.h>

using namespace tandex::config;

namespace {
QString q(const char* s) {
    return QString::fromUtf8(s);
}

struct CommaDecimal : ::testing::Test {
    void SetUp() override { SetSizeDecimalChar(u','); }
    void TearDown() override { SetBinarySizeUnits(false); }
};
}  // namespace

TEST(SizeUnits, StartBinarySoEarlyCallsNeverDivideByZero) {
    // Runs before anything selected a set.
    EXPECT_EQ(SizeUnitFactor(1), 1024u);
    EXPECT_EQ(SizeUnitName(5), q("PiB"));
    SetSizeDecimalChar(u',');
    EXPECT_EQ(FormatSizeShort(2048), q("2,00 KiB"));
}

TEST_F(CommaDecimal, SizeTextsFollowTheActiveSet) {
    struct Case {
        int set;
        quint64 bytes;
        const char* shortText;
        const char* roundText;
    };
    enum { Decimal, Binary, Forced };
    const Case cases[] = {
        {Decimal, 0, "0 Bytes", "0 Bytes"},
        {Decimal, 999, "999 Bytes", "999 Bytes"},
        {Decimal, 1000, "1,00 kB", "1 kB"},
        {Decimal, 1500000, "1,50 MB", "2 MB"},
        {Binary, 1023, "1023 Bytes", "1023 Bytes"},
        {Binary, 1024, "1,00 KiB", "1 KiB"},
        {Forced, 1024, "1,00 kB", "1 kB"},
        {Binary, 2ULL << 30, "2,00 GiB", "2 GiB"},
        {Decimal, 18446744073709551615ULL, "18446,74 PB", "18447 PB"},
        {Binary, 18446744073709551615ULL, "16384,00 PiB", "16384 PiB"},
    };
    for (const auto& c : cases) {
        if (c.set == Decimal)
            SetDecimalSizeUnits();
        else
            SetBinarySizeUnits(c.set == Forced);
        EXPECT_EQ(FormatSizeShort(c.bytes), q(c.shortText)) << c.bytes;
        EXPECT_EQ(FormatSizeRound(c.bytes), q(c.roundText)) << c.bytes;
    }
}

TEST_F(CommaDecimal, SizeHalvesRoundAwayFromZero) {
    SetDecimalSizeUnits();
    EXPECT_EQ(FormatSizeShort(1005), q("1,01 kB"));
    EXPECT_EQ(FormatSizeShort(1004), q("1,00 kB"));
    EXPECT_EQ(FormatSizeRound(2500), q("3 kB"));
    EXPECT_EQ(FormatSizeRound(3500), q("4 kB"));
    SetSizeDecimalChar(u'.');
    EXPECT_EQ(FormatSizeShort(1005), q("1.01 kB"));
}

TEST(SizeUnits, IndexOutsideOneToFive) {
    for (quint8 i : {quint8(0), quint8(6), quint8(0xFF)}) {
        EXPECT_EQ(SizeUnitName(i), q(" B")) << int(i);
        EXPECT_EQ(SizeUnitFactor(i), 1u) << int(i);
    }
    SetDecimalSizeUnits();
    EXPECT_EQ(SizeUnitFactor(0x82), 1000000u);  // top bit ignored
    SetBinarySizeUnits(false);
}

TEST(GroupedNumbers, GroupsPadsAndCaps) {
    EXPECT_EQ(IntToGroupedStr(1234567, 0, true), q("1.234.567"));
    EXPECT_EQ(IntToGroupedStr(123, 0, true), q("123"));
    EXPECT_EQ(IntToGroupedStr(-123456, 0, true), q("-123.456"));
    EXPECT_EQ(IntToGroupedStr(1000, 0, true), q("1.000"));
    EXPECT_EQ(IntToGroupedStr(1000, 8, true), q("   1.000"));
    EXPECT_EQ(IntToGroupedStr(1000, 40, true).size(), 31);
    EXPECT_EQ(IntToGroupedStr(1000, -5, false), q("1000"));
    EXPECT_EQ(Int64ToGroupedStr(INT64_MIN, 0, true), q("-9.223.372.036.854.775.808"));
}

TEST(GroupedNumbers, FloatUsesCommaAndRoundsHalvesAwayFromZero) {
    EXPECT_EQ(FloatToGroupedStr(1234567.891, 2, true), q("1.234.567,89"));
    EXPECT_EQ(FloatToGroupedStr(1234567.891, 2, false), q("1234567,89"));
    EXPECT_EQ(FloatToGroupedStr(0.125, 2, false), q("0,13"));
    EXPECT_EQ(FloatToGroupedStr(-0.125, 2, false), q("-0,13"));
    EXPECT_EQ(FloatToGroupedStr(-0.001, 2, false), q("0,00"));
    EXPECT_EQ(FloatToGroupedStr(1e20, 2, true), q("100.000.000.000.000.000.000,00"));
    EXPECT_EQ(FloatToGroupedStr(1e300, 2, false).size(), kMaxShortText);
}

TEST_F(CommaDecimal, StyledNumbers) {
    SetDecimalSizeUnits();
    TNumStyle s;
    s.Prefix = q(" (");
    s.Suffix = q(")");
    struct Case {
        quint8 kind;
        qint64 value;
        const char* wide;
        const char* narrow;
    };
    const Case cases[] = {
        {2, 1269760, "1.269.760", "1.269.760"},
        {3, 1269760, " (1,27 MB)", " (1,27 MB)"},
        {4, 1269760, "1.269.760 (1,27 MB)", "1.269.760 (1,27 MB)"},
        {5, 1269760, "1,27 MB (1.269.760)", "1269760"},
        {5, 1023, "1,02 kB", "1023"},  // below 1024: the size alone
        {5, -5, "18446,74 PB", "-5"},
        {6, 1269760, " (1 MB)", " (1 MB)"},
        {0, 1269760, "1269760", "1269760"},
        {9, -1269760, "-1269760", "-1269760"},
    };
    for (const auto& c : cases) {
        s.Kind = c.kind;
        EXPECT_EQ(FormatInt64Styled(c.value, s), q(c.wide)) << int(c.kind) << " " << c.value;
        EXPECT_EQ(FormatIntStyled(qint32(c.value), s), q(c.narrow))
            << int(c.kind) << " " << c.value;
    }
    s.Kind = 2;
    s.LeftWidth = 6;
    s.RightWidth = 8;
    EXPECT_EQ(FormatIntStyled(1000, s), q(" 1.000  "));
    s.LeftWidth = 100;
    EXPECT_EQ(FormatIntStyled(1000, s).size(), 63);
}

TEST(Durations, HoursMinutesSeconds) {
    EXPECT_EQ(SecondsToHMS(3723), q(" 01h:02m:03s"));
    EXPECT_EQ(SecondsToHMS(0), q(" 00h:00m:00s"));
    EXPECT_EQ(SecondsToHMS(359999), q(" 99h:59m:59s"));
    EXPECT_EQ(SecondsToHMS(360000), q(">99h:59m:59s"));
    EXPECT_EQ(SecondsToHMS(4294967295u), q(">99h:59m:59s"));
}

TEST(Counts, NounPrefixes) {
    struct Case {
        const char* noun;
        qint32 count;
        const char* text;
    };
    const Case cases[] = {
        {" file", 1, "1 file"},  {" file", 1024, "1.024 files"}, {" file", 0, "0 file"},
        {"+ file", 1, "file"},   {"+ file", 0, "file"},          {"+ file", 3, "3 files"},
        {"- file", 3, " files"}, {"- file", 1, " file"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountText(q(c.noun), c.count), q(c.text)) << c.noun << c.count;
}

TEST(Parsers, StrToIntNoBlanks) {
    struct Case {
        const char* text;
        qint32 value;
    };
    const Case cases[] = {
        {"1 000", 1000},
        {" 42 ", 42},
        {"-17", -17},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X10", 16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", -1},
        {"", -1},
        {"   ", -1},
        {"12a", -1},
        {"$", -1},
        {"0x", -1},
        {"1.5", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StrToIntNoBlanks(q(c.text)), c.value) << c.text;
}

TEST(Parsers, HexPairLowNibbleFirstUpperCaseOnly) {
    bool ok = false;
    EXPECT_EQ(HexPairToByte(u'F', u'0', ok), 15);
    EXPECT_TRUE(ok);
    EXPECT_EQ(HexPairToByte(u'0', u'F', ok), 240);
    EXPECT_TRUE(ok);
    for (auto [a, b] : {std::pair{u':', u'0'}, std::pair{u'a', u'0'}, std::pair{u'0', u'g'}}) {
        EXPECT_EQ(HexPairToByte(a, b, ok), 0);
        EXPECT_FALSE(ok);
    }
    EXPECT_EQ(MakeInt64(0xFFFFFFFFu, 1), 0x1FFFFFFFFLL);
    EXPECT_EQ(MakeInt64(0, 0x80000000u), INT64_MIN);
}
