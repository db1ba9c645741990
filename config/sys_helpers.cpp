#include "config/sys_helpers.h"

#include "config/app_settings.h"
#include "config/num_format.h"
#include "config/services.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace tandex::config {

namespace {

void readLeaf1(THelperValues& v) {
    quint32 a = 0, b = 0, c = 0, d = 0;
    CpuId(1, a, b, c, d);
    v.CpuIdLeaf1[0] = d;
    v.CpuIdLeaf1[1] = c;
}

struct HelperObjects {
    THelperValues values;
    MainFormRectSource mainFormRect;
    HelperObjects() {
        readLeaf1(values);
        values.UseSSE42 = (values.CpuIdLeaf1[1] >> 20) & 1;
    }
};

HelperObjects& objects() {
    static HelperObjects o;
    return o;
}

// Seconds between 1601-01-01 and 1970-01-01.
constexpr qint64 kUnixToFileTimeSeconds = 11644473600;

qint64 toFileTime(const QDateTime& utc) {
    return (utc.toMSecsSinceEpoch() + kUnixToFileTimeSeconds * 1000) * 10000;
}

}  // namespace

THelperValues& Helpers() {
    return objects().values;
}

// ---- screen scale -----------------------------------------------------------

void InitDpiScale(int dpi) {
    THelperValues& v = Helpers();
    v.DpiFactor = dpi / 96.0;
    v.DpiDelta = dpi - 96;
    v.DpiPx2 = ScaleDpi(2);
    v.DpiPx3 = ScaleDpi(3);
    v.DpiPx4 = ScaleDpi(4);
    v.DpiPx5 = ScaleDpi(5);
    v.DpiPx10 = ScaleDpi(10);
}

int ScaleDpi(int pixels) {
    const THelperValues& v = Helpers();
    if (v.DpiDelta == 0) return pixels;
    // The added half together with ties to even gives the sizes every
    // window was laid out with: 3 -> 5 at 144 dpi, 3 -> 6 at 192 dpi.
    const double x = pixels * v.DpiFactor + 0.5;
    const double lower = std::floor(x);
    const double diff = x - lower;
    double r = diff > 0.5 ? lower + 1 : lower;
    if (diff == 0.5 && std::fmod(lower, 2.0) != 0.0) r = lower + 1;
    return int(r);
}

// ---- clock and waits --------------------------------------------------------

quint64 ReadTsc() {
    return quint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::steady_clock::now().time_since_epoch())
                       .count());
}

void MeasureCpuGHz(int runs, QString& text) {
    // The steady clock counts nanoseconds: one tick per nanosecond, known
    // without spinning.
    AddCpuCalibration(1.0, runs, text);
}

void AddCpuCalibration(double ghz, int runs, QString& text) {
    THelperValues& v = Helpers();
    ++v.CpuCalibrations;
    v.CpuGHzSum += ghz;
    v.CpuGHz = v.CpuGHzSum / v.CpuCalibrations;
    v.CpuTicksPerUs = v.CpuGHz * 1000.0;
    v.CpuTicksPerMs = std::max<qint64>(1, qint64(std::llround(v.CpuGHz * 1000000.0)));
    text = QString::number(v.CpuGHz, 'f', 2);
    if (text.endsWith(u'0')) text.chop(1);
    // The same decimal character as the millisecond and size texts.
    text.replace(u'.', SizeDecimalChar());
    if (v.CpuCalibrations >= runs) text += QStringLiteral(" GHz");
}

QString TscTicksToMsText(qint64 ticks) {
    QString text = QString::number(double(ticks) / double(CpuTicksPerMs()), 'f', 3);
    text.replace(u'.', SizeDecimalChar());
    return text + QStringLiteral("ms");
}

void MarkTsc() {
    Helpers().TickMark = ReadTsc();
}

bool WaitMicrosecondsSinceMark(int microseconds) {
    THelperValues& v = Helpers();
    bool waited = false;
    while (microseconds > 0) {
        const double elapsed = std::round(double(ReadTsc() - v.TickMark) / v.CpuTicksPerUs);
        const double remaining = microseconds - elapsed;
        if (remaining <= 0) break;
        if (remaining > 9999) {
            eventPump().processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } else {
            std::this_thread::yield();
        }
        waited = true;
    }
    // Re-marking paces a loop of calls at a fixed interval.
    MarkTsc();
    return waited;
}

namespace {

// The program's wait flag belongs to the user-interface thread (the one
// that owns the application object, or any thread while there is none). A
// worker that waits as well, such as the pre-scan connecting an FTP slot,
// keeps a flag of its own: its wait must neither end the windows' wait nor
// race with it.
bool& waitFlag() {
    thread_local bool workerFlag = false;
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) return workerFlag;
    return Helpers().WaitRunning;
}

}  // namespace

void WaitWithMessages(int milliseconds) {
    using clock = std::chrono::steady_clock;
    bool& running = waitFlag();
    running = true;
    // One flag per thread: a nested wait that ends clears it, which also
    // ends the outer wait at its next check.
    struct ClearRunning {
        bool& running;
        ~ClearRunning() { running = false; }
    } clear{running};
    const auto deadline = clock::now() + std::chrono::milliseconds(std::max(milliseconds, 0));
    while (running) {
        eventPump().processEvents();
        const auto now = clock::now();
        if (!running || now >= deadline) break;
        std::this_thread::sleep_for(
            std::min<clock::duration>(deadline - now, std::chrono::milliseconds(5)));
    }
}

void CancelWaitWithMessages() {
    waitFlag() = false;
}

// ---- processor features -----------------------------------------------------

void CpuId(quint32 leaf, quint32& eax, quint32& ebx, quint32& ecx, quint32& edx) {
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(leaf, &a, &b, &c, &d)) {
        eax = a;
        ebx = b;
        ecx = c;
        edx = d;
    }
#else
    Q_UNUSED(leaf);
    Q_UNUSED(eax);
    Q_UNUSED(ebx);
    Q_UNUSED(ecx);
    Q_UNUSED(edx);
#endif
}

void ReadCpuFeatures() {
    readLeaf1(Helpers());
}

void InitButtonHints() {
    Helpers().ShowButtonHints = AppSettings().GSShowHintDB;
}

// ---- small routines ---------------------------------------------------------

void SetMainFormRectSource(MainFormRectSource source) {
    objects().mainFormRect = std::move(source);
}

int MainFormRelativePos(int kind, int width) {
    const auto& source = objects().mainFormRect;
    const std::optional<QRect> frame = source ? source() : std::nullopt;
    if (!frame) return 0;
    // Right and bottom lie just outside the frame.
    const int left = frame->x(), top = frame->y(), right = frame->x() + frame->width();
    switch (kind) {
        case 0:
            return left + 5;
        case 1:
            return left + (right - left) / 2 - width / 2;
        case 2:
            return right - width - 5;
        case 3:
            return top;
        default:
            return 1;
    }
}

quint32 ColorAddSat(quint32 c1, quint32 c2) {
    quint32 r = 0;
    for (int shift = 0; shift < 32; shift += 8)
        r |= std::min<quint32>(((c1 >> shift) & 0xFF) + ((c2 >> shift) & 0xFF), 0xFF) << shift;
    return r;
}

quint32 ColorSubSat(quint32 c1, quint32 c2) {
    quint32 r = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = int((c1 >> shift) & 0xFF) - int((c2 >> shift) & 0xFF);
        r |= quint32(std::max(d, 0)) << shift;
    }
    return r;
}

quint32 BlendColors(quint32 c1, quint32 c2, int alpha) {
    alpha = std::clamp(alpha, 0, 255);
    quint32 r = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const quint32 a = (c1 >> shift) & 0xFF, b = (c2 >> shift) & 0xFF;
        r |= ((a * quint32(255 - alpha) + b * quint32(alpha)) / 255) << shift;
    }
    return r;
}

bool IsWindows7OrLater() {
    return true;
}

int MemoryLoadPercent() {
    QFile f(QStringLiteral("/proc/meminfo"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    qint64 total = -1, available = -1;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(256);
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 2) continue;
        if (parts[0] == "MemTotal:")
            total = parts[1].toLongLong();
        else if (parts[0] == "MemAvailable:")
            available = parts[1].toLongLong();
    }
    if (total <= 0 || available < 0 || available > total) return 0;
    return int((total - available) * 100 / total);
}

qint64 GetUtcNowFileTime() {
    return toFileTime(QDateTime::currentDateTimeUtc());
}

qint64 FileTimeDaysAgoUtc(int days) {
    // Going back in local time keeps the wall-clock time across a change of
    // daylight-saving time; the conversion then uses that date's own rule.
    return toFileTime(QDateTime::currentDateTime().addDays(-days).toUTC());
}

}  // namespace tandex::config
