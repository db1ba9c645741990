#include "ui/folders/adv_copy_rules.h"

#include "config/num_format.h"

#include <QFile>

#include <sys/resource.h>
#include <algorithm>
#include <cerrno>
#include <cmath>

namespace tandex::folders {

namespace {
constexpr ui::TColor kRed = 255;
constexpr ui::TColor kDarkRed = 128;
constexpr ui::TColor kGreen = 0x8000;
constexpr ui::TColor kPurple = 0x800080;
constexpr ui::TColor kTeal = 0x808000;
constexpr int kCapSysNice = 23;

bool hasCapSysNice() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.startsWith("CapEff:")) {
            bool ok = false;
            const quint64 caps = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (caps >> kCapSysNice & 1);
        }
    }
    return false;
}
}  // namespace

int WriterPrioRule(int f, int d, int p, bool readingDone, int archiveWriteState) {
    if (readingDone || archiveWriteState == 3 || archiveWriteState == 4) return wpNormal;
    if (f <= d && p != wpIdle) return wpIdle;
    if ((f < 4 * d && p == wpNormal) || (f > 2 * d && p < wpLower)) return wpLower;
    if ((f < 7 * d && p == wpHigher) || (f > 5 * d && p < wpNormal)) return wpNormal;
    if (f > 19 * d && p != wpHigher) return wpHigher;
    return p;
}

QString PrioText(int prio) {
    switch (prio) {
        case wpIdle: return QStringLiteral("Idle");
        case wpLower: return QStringLiteral("Low");
        case wpHigher: return QStringLiteral("High");
        default: return QStringLiteral("Normal");
    }
}

ui::TColor PrioColor(int prio) {
    switch (prio) {
        case wpIdle:
        case wpHigher: return kRed;
        case wpLower: return kDarkRed;
        default: return kGreen;
    }
}

int NiceOfPrio(int prio) {
    switch (prio) {
        case wpIdle: return 19;
        case wpLower: return 10;
        case wpHigher: return -5;
        default: return 0;
    }
}

bool MayLowerNiceTo(int nice) {
    // RLIMIT_NICE's ceiling is 20 - rlim_cur.
    struct rlimit lim {};
    if (::getrlimit(RLIMIT_NICE, &lim) == 0 &&
        (lim.rlim_cur == RLIM_INFINITY || 20 - qint64(lim.rlim_cur) <= nice))
        return true;
    return hasCapSysNice();
}

int ApplyWriterPriority(int tid, int prio) {
    int nice = NiceOfPrio(prio);
    // Going below normal is only safe when the way back is open: an
    // unprivileged thread can raise its nice value but never lower it.
    if (nice > 0 && !MayLowerNiceTo(0)) nice = 0;
    if (nice < 0 && !MayLowerNiceTo(nice)) nice = 0;
    if (tid <= 0) return nice;
    if (::setpriority(PRIO_PROCESS, id_t(tid), nice) != 0) {
        ::setpriority(PRIO_PROCESS, id_t(tid), 0);
        return 0;
    }
    return nice;
}

QString ErrorCountText(int counter) {
    if (counter == 0) return {};
    QString text = counter < 0 ? QString::number(-qint64(counter)) + QStringLiteral(" Read\rerrors")
                               : QString::number(counter) + QStringLiteral(" Write\rerrors");
    if (counter == 1 || counter == -1) text.chop(1);
    return text;
}

qint64 RemainingSeconds(qint64 totalBytes, qint64 written, double bytesPerSecond, bool running) {
    if (written == 0) return -1;
    if (!(bytesPerSecond > 0) || !std::isfinite(bytesPerSecond)) return kRemainingUnknown;
    if (!running) return 0;
    const double seconds = double(totalBytes - written) / bytesPerSecond + 0.5;
    return std::clamp<qint64>(std::llround(seconds), 0, kRemainingUnknown);
}

void TProgressCalc::Start(qint64 total) {
    Factor = total > 0 ? 100.0 / double(total) : 0.0;
    Position = 0;
    Moving = true;
}

bool TProgressCalc::Set(qint64 value) {
    if (!Moving) return false;
    const double exact = double(value) * Factor;
    int percent = Truncate ? int(std::min(exact, 100.0)) : int(std::lround(exact));
    percent = std::clamp(percent, 0, 100);
    if (percent >= 100) Moving = false;
    if (percent == Position) return false;
    Position = percent;
    return true;
}

QString TitleSuffixOf(int percent) {
    return QStringLiteral(" - ") + QString::number(percent) + QLatin1Char('%');
}

QString CopyCaptionText(const QString& text, const QString& suffix, int copyState) {
    QString caption = QStringLiteral(" Copy ") + text + suffix;
    if (copyState == 2) caption += QStringLiteral(" >> Terminate if buffer is empty! <<");
    return caption;
}

QString CopyAppTitle(const QString& suffix) {
    return QStringLiteral("TDX (copy") + suffix + QLatin1Char(')');
}

QString DestinationText(const QString& root, int sourceSide) {
    QString text = root;
    if (text.endsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('\\'))) text.chop(1);
    if (text.isEmpty())
        text = sourceSide == 1 ? QStringLiteral("[Left side folders]") : QStringLiteral("[Right side folders]");
    return text;
}

QString BufSizeName(int index) {
    static const char* const names[] = {"32KiB", "64KiB", "128KiB", "256KiB", "512KiB", "1MiB", "2MiB", "4MiB"};
    return QLatin1String(names[std::clamp(index, 0, 7)]);
}

TNeededSpace NeededSpaceText(qint64 needed, bool attrOnly) {
    if (attrOnly) needed = 0;
    TNeededSpace n;
    if (needed < 0) {
        n.Caption = QStringLiteral("Released space at destination volume:");
        n.Value = config::FormatSizeShort(quint64(-needed));
        n.Color = kTeal;
    } else {
        n.Caption = QStringLiteral("Needed space at destination volume:");
        n.Value = needed == 0 ? QStringLiteral("0 Byte") : config::FormatSizeShort(quint64(needed));
        n.Color = kPurple;
    }
    return n;
}

}  // namespace tandex::folders
