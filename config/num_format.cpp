#include "config/num_format.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>

namespace tandex::config {

namespace {

struct FormatState {
    std::array<quint64, 6> factors{};
    std::array<QString, 6> names;
    QChar decimalChar;

    FormatState() {
        setBinary(false);
        const QString point = QLocale::system().decimalPoint();
        decimalChar = point.isEmpty() ? QChar(u'.') : point.at(0);
    }
    void setFactors(quint64 base) {
        quint64 f = 1;
        for (int i = 1; i <= 5; ++i)
            factors[i] = f *= base;
    }
    void setNames(bool binaryNames) {
        static const char* const decimal[] = {"kB", "MB", "GB", "TB", "PB"};
        static const char* const binary[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
        for (int i = 1; i <= 5; ++i)
            names[i] = QLatin1String(binaryNames ? binary[i - 1] : decimal[i - 1]);
    }
    void setBinary(bool forceDecimalNames) {
        setFactors(1024);
        setNames(!forceDecimalNames);
    }
};

FormatState& state() {
    static FormatState s;
    return s;
}

QString cut(QString s) {
    if (s.size() > kMaxShortText) s.truncate(kMaxShortText);
    return s;
}

// Size with `decimals` (0 or 2) digits, computed in integers so that a half
// rounds away from zero exactly, whatever the size.
QString formatSize(quint64 bytes, int decimals) {
    const FormatState& s = state();
    if (bytes < s.factors[1]) return cut(QString::number(bytes) + QStringLiteral(" Bytes"));
    int unit = 5;
    for (int i = 1; i < 5; ++i)
        if (bytes < s.factors[i + 1]) {
            unit = i;
            break;
        }
    using u128 = unsigned __int128;
    const u128 scale = decimals == 2 ? 100 : 1;
    const u128 factor = s.factors[unit];
    const u128 scaled = (u128(bytes) * scale * 2 + factor) / (factor * 2);
    QString text = QString::number(quint64(scaled / scale));
    if (decimals == 2)
        text +=
            s.decimalChar + QStringLiteral("%1").arg(quint64(scaled % scale), 2, 10, QChar(u'0'));
    return cut(text + u' ' + s.names[unit]);
}

QString groupDigits(QString digits) {
    const qsizetype first = digits.startsWith(u'-') ? 1 : 0;
    for (qsizetype i = digits.size() - 3; i > first; i -= 3)
        digits.insert(i, u'.');
    return digits;
}

QString grouped(qint64 value, int width, bool grouping) {
    QString text = QString::number(value);
    if (grouping) text = groupDigits(text);
    if (width > 0) text = text.rightJustified(std::min(width, 31), u' ');
    return cut(text);
}

QString styled(qint64 value, const TNumStyle& style, bool wide) {
    const QString prefix = style.Prefix.left(kMaxShortText);
    const QString suffix = style.Suffix.left(kMaxShortText);
    // Sizes are never negative: the bits are taken as they stand.
    const quint64 size = quint64(value);
    QString text;
    switch (style.Kind) {
        case 2:
            text = grouped(value, 0, true);
            break;
        case 3:
            text = prefix + FormatSizeShort(size) + suffix;
            break;
        case 4:
            text = grouped(value, 0, true) + prefix + FormatSizeShort(size) + suffix;
            break;
        case 5:
            if (wide) {
                text = value < 1024
                           ? FormatSizeShort(size)
                           : FormatSizeShort(size) + prefix + grouped(value, 0, true) + suffix;
                break;
            }
            text = QString::number(value);
            break;
        case 6:
            text = prefix + FormatSizeRound(size) + suffix;
            break;
        default:
            text = QString::number(value);
            break;
    }
    if (style.LeftWidth > 0)
        text = text.rightJustified(std::min(style.LeftWidth, kMaxShortText), u' ');
    if (style.RightWidth > 0)
        text = text.leftJustified(std::min(style.RightWidth, kMaxShortText), u' ');
    return cut(text);
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= u'A' && u <= u'F') return u - u'A' + 10;
    return -1;
}

}  // namespace

void SetDecimalSizeUnits() {
    state().setFactors(1000);
    state().setNames(false);
}

void SetBinarySizeUnits(bool forceDecimalNames) {
    state().setBinary(forceDecimalNames);
}

QString SizeUnitName(quint8 index) {
    index &= 0x7F;
    return index >= 1 && index <= 5 ? state().names[index] : QStringLiteral(" B");
}

quint64 SizeUnitFactor(quint8 index) {
    index &= 0x7F;
    return index >= 1 && index <= 5 ? state().factors[index] : 1;
}

QChar SizeDecimalChar() {
    return state().decimalChar;
}
void SetSizeDecimalChar(QChar c) {
    state().decimalChar = c;
}

QString FormatSizeShort(quint64 bytes) {
    return formatSize(bytes, 2);
}
QString FormatSizeRound(quint64 bytes) {
    return formatSize(bytes, 0);
}

QString IntToGroupedStr(qint32 value, int width, bool grouping) {
    return grouped(value, width, grouping);
}
QString Int64ToGroupedStr(qint64 value, int width, bool grouping) {
    return grouped(value, width, grouping);
}

QString FloatToGroupedStr(double value, int decimals, bool grouping) {
    decimals = std::clamp(decimals, 1, 15);
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("NAN")
               : value < 0       ? QStringLiteral("-INF")
                                 : QStringLiteral("INF");
    QString integral, fraction;
    bool negative = false;
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (std::fabs(scaled) < 9e15) {
        // std::round takes halves away from zero.
        const qint64 r = qint64(std::round(scaled));
        negative = r < 0;
        const quint64 a = negative ? quint64(-r) : quint64(r);
        const quint64 p = quint64(scale);
        integral = QString::number(a / p);
        fraction = QStringLiteral("%1").arg(a % p, decimals, 10, QChar(u'0'));
    } else {
        const QString fixed = QString::asprintf("%.*f", decimals, value);
        negative = fixed.startsWith(u'-');
        const QString digits = negative ? fixed.mid(1) : fixed;
        const qsizetype point = digits.indexOf(u'.');
        integral = digits.left(point);
        fraction = digits.mid(point + 1);
    }
    if (grouping) integral = groupDigits(integral);
    return cut((negative ? QStringLiteral("-") : QString()) + integral + u',' + fraction);
}

QString FormatIntStyled(qint32 value, const TNumStyle& style) {
    return styled(value, style, false);
}
QString FormatInt64Styled(qint64 value, const TNumStyle& style) {
    return styled(value, style, true);
}

QString SecondsToHMS(quint32 seconds) {
    if (seconds >= 360000) return QStringLiteral(">99h:59m:59s");
    return QString::asprintf(" %02uh:%02um:%02us", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

QString CountText(const QString& noun, qint32 count) {
    QString text;
    if (noun.startsWith(u'+')) {
        const QString rest = noun.mid(1);
        text = count == 0 || count == 1 ? rest.mid(1) : grouped(count, 0, true) + rest;
    } else if (noun.startsWith(u'-')) {
        text = noun.mid(1);
    } else {
        text = grouped(count, 0, true) + noun;
    }
    if (count > 1) text += u's';
    return cut(text);
}

qint32 StrToIntNoBlanks(const QString& text) {
    QString s = text;
    s.remove(u' ');
    qsizetype i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
    int base = 10;
    if (i < s.size() && s[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size()) return -1;
    qint64 value = 0;
    for (; i < s.size(); ++i) {
        const char16_t c = s[i].toUpper().unicode();
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (base == 16 && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        if (d < 0) return -1;
        value = value * base + d;
        if (value > qint64(1) << 31) return -1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return -1;
    return qint32(value);
}

quint8 HexPairToByte(QChar first, QChar second, bool& ok) {
    const int low = hexDigit(first);
    const int high = hexDigit(second);
    ok = low >= 0 && high >= 0;
    return ok ? quint8(low + 16 * high) : 0;
}

qint64 MakeInt64(quint32 low, quint32 high) {
    return qint64((quint64(high) << 32) | low);
}

}  // namespace tandex::config
