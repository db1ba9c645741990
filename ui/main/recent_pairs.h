#pragma once
// The recently compared file pairs kept in AppSettings().AFHist: entries
// 0..19 newest first, entry 20 the pair of the last load that was not
// cancelled. Pure list work and menu texts; the main window decides when
// to call them (main_window_recent.cpp).

#include <QString>
#include <vector>

#include "config/app_settings.h"
#include "config/path_text.h"

namespace tandex::ui {

using TRecentPairs = std::array<config::TFilePair, config::kRecentPairs>;

inline constexpr int kPendingPair = config::kRecentPairs - 1;  // 20
inline constexpr int kListedPairs = kPendingPair;               // 0..19

// Both folders and both file names are set.
bool PairComplete(const config::TFilePair& pair);
// All four strings equal, case-sensitive.
bool SamePair(const config::TFilePair& a, const config::TFilePair& b);
// The location a side of the pair names: folder and name, with a "/"
// between them when the folder has none at its end.
QString PairSidePath(const config::TFilePair& pair, int pane);

// Entry 20 := pair, when the pair is complete.
void StorePendingPair(TRecentPairs& list, const config::TFilePair& pair);

// What recording the current pair asks for.
enum TRecordAction : int {
    raNothing = 0,  // incomplete, or already the newest entry
    raNow = 1,      // further down the list, or both file names equal
    raWait = 2,     // a new pair of two different files: only when it stays loaded
};
TRecordAction RecordAction(const TRecentPairs& list, const config::TFilePair& pair);

// The pair becomes entry 0; the other entries keep their order, an equal
// one and those without both file names drop out, so entry 19 falls off
// when the list was full. Entry 20 stays. Nothing for an incomplete pair.
void StoreRecentPair(TRecentPairs& list, const config::TFilePair& pair);

struct TPairMenuItem {
    QString caption;
    int index = 0;  // the entry the item loads (its name is "FP" + index)
};

// One item per entry 0..19 that has both file names: the count of items
// shown, from 0 ("&" before it below 10, as the access key), two blanks,
// the left location and the right one, each shortened to width pixels.
// An "&" of a location is doubled, so the menu shows it as it is.
std::vector<TPairMenuItem> FilePairMenuItems(const TRecentPairs& list, const config::TextWidthFn& textWidth,
                                             int width);

// The same for the recently compared folder pairs: one item per entry
// 0..19 with both folders set (its name is "DP" + index), each folder
// shortened to width pixels.
std::vector<TPairMenuItem> FolderPairMenuItems(const std::array<QString, config::kListSize>& left,
                                               const std::array<QString, config::kListSize>& right,
                                               const config::TextWidthFn& textWidth, int width);

}  // namespace tandex::ui
