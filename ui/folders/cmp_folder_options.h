#pragma once
// What the folder window's options view decides without a widget: the
// session record that keeps a named option set, the comma text of the
// Params memo, the names and hints of the content modes and buffer sizes,
// the history shifts that keep data entries beside their names, the texts
// of the pre-scan counts and of failed roots, and where the panels sit.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tandex::folders {

// ---- sessions -----------------------------------------------------------------

// A session record is "X->", then every field followed by this separator,
// then "X".
inline constexpr QChar kSessionSeparator{0x1E};
inline constexpr int kSessionFieldCount = 38;

// Field numbers of a session record.
enum TSessionField : int {
    sfFolderL = 0,
    sfFolderR = 1,
    sfIncludeMasks = 2,
    sfExcludeMasks = 3,
    sfPairList = 4,
    sfPairListParams = 5,
    sfDateTime = 6,
    sfAttributes = 7,
    sfSubFolders = 8,
    sfExcludedFolders = 9,
    sfLeftOnly = 10,
    sfUsePairList = 11,
    sfDisableReadCache = 12,
    sfRateGraph = 13,
    sfContentMode = 14,
    sfBufferSize = 15,
    sfExclSmaller = 16,  // 16..35: the more-filters values
    sfOlderTS = 34,
    sfNewerTS = 35,
    sfLimitRecScan = 36,
    sfMaxDepth = 37,
};

// The record of kSessionFieldCount field texts.
QString JoinSessionFields(const QStringList& fields);
// Field n: counted from behind "X->", or from the first character of an
// older record without the marker; empty when the record has fewer fields.
QString SessionField(const QString& session, int n);
// "1" only is true; an empty field or one that is no number reads 0.
bool SessionBool(const QString& session, int n);
int SessionInt(const QString& session, int n);
qint64 SessionInt64(const QString& session, int n);
// The excluded folders: older records kept a switch in that field, so "0"
// and "1" read as no folders.
QString SessionExcludedFolders(const QString& session);

// The Params memo's lines as one text: items separated by ",", an item that
// holds blanks, control characters, "," or '"' enclosed in '"' with inner
// quotes doubled. Reading it back also splits unquoted items at blanks.
QString CommaText(const QStringList& lines);
QStringList LinesOfCommaText(const QString& text);

// ---- content and buffers ------------------------------------------------------

inline constexpr int kContentModeMax = 8;
inline constexpr int kBufferSizeMax = 7;

// ContentModeName lives with the run, which logs it too (folder_compare.h).
QString ContentModeName(int mode);
// What the mode compares; mode 0 names what is compared instead.
QString ContentModeHint(int mode, bool withDate, bool withAttributes);
// "32KiB" .. "4MiB"; empty outside 0..7.
QString BufferSizeName(int index);

// Bits of the attribute boxes, as the settings keep them.
enum TAttrBox : int { abReadOnly = 1, abHidden = 2, abSystem = 4, abArchive = 32 };

// ---- histories ----------------------------------------------------------------

// The data entries that travel with a history's names when the entry found
// at `found` (count or more: not found) goes to the top: entries 0..k-1
// move down one place, k the smaller of found and count - 1, so the last of
// the count entries falls out when nothing was found; entry 0 := top, which
// may be a copy of one of the entries.
void ShiftHistoryData(QString* entries, int count, int found, QString top);

// ---- texts ----------------------------------------------------------------------

struct TPreScanCountTexts {
    QString files, folders, bytes, average;
};
TPreScanCountTexts PreScanCountTexts(int files, int folders, qint64 bytes);

// The error line after the left root's check failed with code.
QString LeftRootErrorText(int code, const QString& folder);
// The message when the right root cannot be reached at "Start".
QString RightRootErrorText(int code, const QString& folder);

// ---- layout -------------------------------------------------------------------

// Tops and heights in 96-dpi pixels; the heights are the window's client
// heights.
struct TOptionsLayout {
    int settingsTop = 0;
    int attributesTop = 0;
    int controlTop = 0;
    int formHeight = 0;
};
inline constexpr int kFormWidth = 575;
inline constexpr int kInfoHeight = 81;
inline constexpr int kSettingsHeight = 336;
inline constexpr int kControlHeight = 158;
// The "More Settings" bar, relative to the settings panel.
inline constexpr int kMoreBarTop = 188;
inline constexpr int kMoreBarHeight = 18;

TOptionsLayout OptionsLayout(bool optionsOnly, bool moreSettings);

}  // namespace tandex::folders
