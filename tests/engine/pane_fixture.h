#pragma once
// Small text panes for the engine tests: each line a text, or nullopt for a
// gap row. Lines are numbered per pane; a row is marked as differing when
// its two texts differ or one side is a gap.

#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/undo_stack.h"

#include <optional>
#include <vector>

namespace tandex::engine::testing {

using PaneLines = std::vector<std::optional<QString>>;

inline void resetEngineState() {
    config::AppSettings() = config::TAppSettings();
    paneStores().InitCompareData();
}

inline void fillPane(int pane, const PaneLines& lines) {
    auto& s = paneStores();
    s.TextLines[size_t(pane)].Clear();
    qint32 number = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i]) continue;
        TTextLine* line = s.TextLines[size_t(pane)].New(int(i));
        line->Text = *lines[i];
        line->LineNumber = ++number;
    }
    s.LineCount[size_t(pane)] = int(lines.size());
    s.UpdateMaxLineCount();
}

// Both panes, differences marked, all rows shown.
inline void loadPanes(const PaneLines& left, const PaneLines& right) {
    fillPane(1, left);
    fillPane(2, right);
    auto& s = paneStores();
    for (int i = 0; i < s.MaxLineCount; ++i) {
        TTextLine* l = s.TextLines[1][i];
        TTextLine* r = s.TextLines[2][i];
        const bool differs = l->Gap || r->Gap || l->Text != r->Text;
        if (!l->Gap) l->Differs = differs;
        if (!r->Gap) r->Differs = differs;
    }
    rows().FilterTextRows(0);
}

inline QString fill(int n) { return QString(n, QChar(kTabFill)); }

}  // namespace tandex::engine::testing
