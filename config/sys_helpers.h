#pragma once
// Small program-wide services shared by the windows and the engines: the
// screen scale of a 96-dpi design, the tick clock that every elapsed-time
// limit uses, waits that keep the user interface alive, the processor
// feature that selects the CRC-32C instruction, and colour, window and time
// routines. Everything here runs on the user-interface thread.

#include <QRect>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace tandex::config {

struct THelperValues {
    // Screen scale: pixels per inch / 96, and pixels per inch - 96.
    double DpiFactor = 1.0;
    int DpiDelta = 0;
    int DpiPx2 = 2, DpiPx3 = 3, DpiPx4 = 4, DpiPx5 = 5, DpiPx10 = 10;

    // Tick clock. Ticks are nanoseconds of the steady clock, so the values
    // hold before the calibration too.
    int CpuCalibrations = 0;
    double CpuGHzSum = 0.0;
    double CpuGHz = 1.0;  // ticks per nanosecond
    double CpuTicksPerUs = 1000.0;
    qint64 CpuTicksPerMs = 1000000;
    quint64 TickMark = 0;

    // Processor identification leaf 1: EDX, ECX (0 when not reported).
    quint32 CpuIdLeaf1[2] = {0, 0};
    // The SSE4.2 bit at start; the settings dialog may switch it off.
    quint8 UseSSE42 = 0;
    // 1 while the flat look is in force.
    quint8 FlatLook = 0;
    // Copy of AppSettings().GSShowHintDB taken by InitButtonHints at start.
    bool ShowButtonHints = true;

    bool WaitRunning = false;
};

// The program's values; the first call reads the processor features.
THelperValues& Helpers();

// Shorthands for the values read everywhere.
inline qint64 CpuTicksPerMs() {
    return Helpers().CpuTicksPerMs;
}
inline quint8& UseSSE42() {
    return Helpers().UseSSE42;
}
inline quint8& FlatLook() {
    return Helpers().FlatLook;
}
inline bool& ShowButtonHints() {
    return Helpers().ShowButtonHints;
}

// ---- screen scale -----------------------------------------------------------

// `dpi` is the screen's logical dots per inch; the toolkit already applies
// the device pixel ratio, so 96 means no scaling.
void InitDpiScale(int dpi);
int ScaleDpi(int pixels);

// ---- clock and waits --------------------------------------------------------

quint64 ReadTsc();
// One calibration; `text` gets the average ("1.0 GHz" once `runs` were made).
void MeasureCpuGHz(int runs, QString& text);
// Adds one calibration result and sets the derived tick rates.
void AddCpuCalibration(double ghz, int runs, QString& text);
// "12.345ms".
QString TscTicksToMsText(qint64 ticks);
void MarkTsc();
// Waits until `microseconds` have passed since the mark, then marks again;
// true when it had to wait.
bool WaitMicrosecondsSinceMark(int microseconds);
// Waits `milliseconds` while the event pump keeps running.
void WaitWithMessages(int milliseconds);
// Ends a running WaitWithMessages after its current round.
void CancelWaitWithMessages();

// ---- processor features -----------------------------------------------------

// Leaves the out values unchanged when the processor cannot answer.
void CpuId(quint32 leaf, quint32& eax, quint32& ebx, quint32& ecx, quint32& edx);
void ReadCpuFeatures();
// Copies AppSettings().GSShowHintDB into ShowButtonHints.
void InitButtonHints();

// ---- small routines ---------------------------------------------------------

inline int MinOf(int a, int b) {
    return a < b ? a : b;
}
inline int MaxOf(int a, int b) {
    return a > b ? a : b;
}

// The main window's frame on the screen, or nothing while there is none;
// the windows install the source.
using MainFormRectSource = std::function<std::optional<QRect>()>;
void SetMainFormRectSource(MainFormRectSource source);
// 0 left + 5, 1 centred for `width`, 2 right - width - 5, 3 top; 0 without a
// main window.
int MainFormRelativePos(int kind, int width);

// Colours are 0x00BBGGRR values.
quint32 ColorAddSat(quint32 c1, quint32 c2);
quint32 ColorSubSat(quint32 c1, quint32 c2);
quint32 BlendColors(quint32 c1, quint32 c2, int alpha);

bool IsWindows7OrLater();
// Physical memory in use, in percent, from /proc/meminfo.
int MemoryLoadPercent();
// 100-ns units since 1601-01-01 UTC.
qint64 GetUtcNowFileTime();
// The local date and time `days` ago, as a UTC file time.
qint64 FileTimeDaysAgoUtc(int days);

}  // namespace tandex::config
