#pragma once
// The copy window's arithmetic, kept apart from its widgets: the writer
// priority with its hysteresis, the error counter texts, the remaining
// time, the progress percentages and the set-up view's space texts.

#include <QString>
#include <QtGlobal>

#include "ui/main/flat_button.h"

namespace tandex::folders {

// Writer priorities (the thread-priority values the rule works with).
enum TWriterPrio : int { wpIdle = 0, wpLower = 2, wpNormal = 3, wpHigher = 4 };

// The priority after the ring's fill changed to filled; d is the ring
// size / 10. While the reader reads and no archive is being compressed or
// updated (archive states 3 and 4) the fill steers it; otherwise normal.
int WriterPrioRule(int filled, int d, int prio, bool readingDone, int archiveWriteState);
QString PrioText(int prio);
ui::TColor PrioColor(int prio);
// The nice value of a priority: idle 19, lower 10, normal 0, higher -5.
int NiceOfPrio(int prio);
// Whether this process may lower a thread's nice value to nice.
bool MayLowerNiceTo(int nice);
// Gives the thread tid the nice value of prio. A nice value that could not
// be lowered again later (no privilege) is not set: the thread stays at
// normal, so that it never sticks at idle. Returns the nice value set.
int ApplyWriterPriority(int tid, int prio);

// "1 Read\rerror", "3 Read\rerrors", "2 Write\rerrors", "" for 0: a
// negative counter counts read errors, a positive one write errors.
QString ErrorCountText(int counter);

// Remaining seconds of a run: -1 while nothing was written (unknown);
// 0 once the run no longer copies; kRemainingUnknown for a rate of 0.
inline constexpr qint64 kRemainingUnknown = 2147483647;
qint64 RemainingSeconds(qint64 totalBytes, qint64 written, double bytesPerSecond, bool running);

// One progress bar's percentage: rounding (a file's read and write) or
// truncating and stopping at 100 (the run's total).
struct TProgressCalc {
    bool Truncate = false;
    double Factor = 0;
    int Position = 0;
    bool Moving = false;
    void Start(qint64 total);
    // True when the percentage changed.
    bool Set(qint64 value);
};

// " - 99%" for the caption and the application title.
QString TitleSuffixOf(int percent);
// " Copy " + text + suffix, warned while the run only finishes (state 2).
QString CopyCaptionText(const QString& text, const QString& suffix, int copyState);
QString CopyAppTitle(const QString& suffix);

// The set-up view's destination text: the root without one trailing
// separator, or which side's folders for an empty root.
QString DestinationText(const QString& root, int sourceSide);
// "32KiB" .. "4MiB" by buffer-size index 0..7.
QString BufSizeName(int index);

// The needed-space line of the set-up view.
struct TNeededSpace {
    QString Caption;
    QString Value;
    ui::TColor Color = 0;
};
TNeededSpace NeededSpaceText(qint64 needed, bool attrOnly);

}  // namespace tandex::folders
