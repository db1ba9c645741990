#pragma once
// Short texts for sizes, counts and durations, the same in every window:
// sizes with a decimal or binary unit, counts with "." between groups of
// three digits, durations as hours, minutes and seconds. Results are at most
// 63 characters. Called on the user-interface thread only.

#include <QChar>
#include <QString>
#include <QtGlobal>

namespace tandex::config {

inline constexpr int kMaxShortText = 63;

// The active size-unit set. It starts as the binary set, so a size formatted
// before the settings chose one still has non-zero factors.
void SetDecimalSizeUnits();
void SetBinarySizeUnits(bool forceDecimalNames);
// Index 1..5 (the top bit is ignored); " B" and 1 for any other index.
QString SizeUnitName(quint8 index);
quint64 SizeUnitFactor(quint8 index);

// The decimal character of the size texts: the system locale's, captured at
// the first use; tests set their own.
QChar SizeDecimalChar();
void SetSizeDecimalChar(QChar c);

// "1,50 MB", "999 Bytes". Halves round away from zero.
QString FormatSizeShort(quint64 bytes);
// "2 GiB".
QString FormatSizeRound(quint64 bytes);

// Decimal text, "." before every group of three digits when grouping, right
// aligned in `width` characters (at most 31) when width > 0.
QString IntToGroupedStr(qint32 value, int width, bool grouping);
QString Int64ToGroupedStr(qint64 value, int width, bool grouping);
// Fixed point with "," as decimal and "." as group character whatever the
// locale; halves round away from zero.
QString FloatToGroupedStr(double value, int decimals, bool grouping);

// How a number column is formatted.
struct TNumStyle {
    quint8 Kind = 0;  // 2..6, anything else plain
    QString Prefix;   // at most 63 characters
    QString Suffix;   // at most 63 characters
    int LeftWidth = 0;
    int RightWidth = 0;
};
QString FormatIntStyled(qint32 value, const TNumStyle& style);
QString FormatInt64Styled(qint64 value, const TNumStyle& style);

// " 01h:02m:03s"; ">99h:59m:59s" from 100 hours on.
QString SecondsToHMS(quint32 seconds);
// "1.024 files"; a noun starting with "+" drops the count for 0 and 1, one
// starting with "-" always drops it.
QString CountText(const QString& noun, qint32 count);
// The number with every blank removed (decimal, or hexadecimal after "$" or
// "0x"); -1 when it is not a 32-bit integer.
qint32 StrToIntNoBlanks(const QString& text);
// Two upper-case hex digits, the first the low nibble; ok false and 0 for
// anything else.
quint8 HexPairToByte(QChar first, QChar second, bool& ok);
qint64 MakeInt64(quint32 low, quint32 high);

}  // namespace tandex::config
