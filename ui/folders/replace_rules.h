#pragma once
// What the replace dialog decides without showing itself: the answers it
// keeps per kind of destination file for the rest of a copy run, the rules
// by which the copy writer reads them, and the texts and warning colour of
// the dialog. The dialog (replace_dlg.h) only shows what these say.

#include <QString>
#include <atomic>

#include "access/access_types.h"
#include "ui/main/main_window_seams.h"

namespace tandex::ui {
// As the flat button declares it; spelled here so that the copy engine's
// core builds need no widget header.
using TColor = quint32;
}  // namespace tandex::ui

namespace tandex::folders {

// Why a destination file needs the user's word.
enum TReplaceCategory : int {
    rcExisting = 0,
    rcWriteProtected = 1,
    rcHidden = 2,
    rcSystem = 3,
};
inline constexpr int kReplaceCategories = 4;

// What the writer does with a destination file of one category.
enum TReplaceStep : int {
    rsAsk,      // post the question and wait for the dialog
    rsSkip,     // leave the destination as it is and skip the file
    rsReplace,  // go on and overwrite (clear the attribute)
};

// One answer (a ui::TErrorAnswer) per category. The user-interface thread
// stores while the writer waits for its mailbox to be served, and the writer
// reads afterwards; each byte is atomic so that neither side ever sees a
// torn or stale value.
class TReplaceAnswers {
public:
    TReplaceAnswers() { ResetAnswers(); }

    // Every category back to No: the start of a copy run.
    void ResetAnswers();
    int Answer(int category) const;
    // Sets one category without the Cancel-all rule; the copy engine gives
    // existing files Yes to all when the user chose to overwrite them.
    void SetAnswer(int category, int answer);
    // The dialog's answer: Cancel all stops every category, any other answer
    // holds for its own category only. A category outside 0..3 is ignored.
    void StoreAnswer(int category, int answer);

    // Before the question: only No or Yes, which hold for one file, ask again.
    TReplaceStep StepBeforeAsking(int category) const;
    // After the question was answered (or not needed): only Yes and Yes to
    // all let the file be replaced.
    TReplaceStep StepAfterAsking(int category) const;

private:
    std::atomic<quint8> answers_[kReplaceCategories];
};

// The line "already contains a " + txt2 + txt3; categories other than the
// existing file stand out in bold, underlined red.
struct TReplaceCategoryTexts {
    QString txt2;
    QString txt3;
    bool highlighted = false;
};
TReplaceCategoryTexts ReplaceCategoryTexts(int category);

// "1.048.576 Byte".
QString ReplaceSizeText(qint64 size);
// "last modified:  " and the time; nothing after the lead-in for a time that
// could not be read (0, which would otherwise read as a date in 1601).
QString ReplaceDateText(access::FileTime time);

// How the replacing file compares with the one it would replace, by their
// last-write times under the program's time tolerance.
struct TReplaceVerdict {
    QString attrText;        // "with this OLDER file:" ...
    ui::TColor color = 0;    // of the replacing file's three labels
    bool flashing = false;   // the warning blinks while the dialog is open
};
TReplaceVerdict ReplaceTimeVerdict(access::FileTime replacing, access::FileTime existing);

}  // namespace tandex::folders
