// The select buttons' Tag steps: toggles, forced selects from menu items,
// and the buttons each press releases.

#include "ui/main/select_buttons.h"

#include <gtest/gtest.h>

namespace ui = tandex::ui;

TEST(SelectButtonsTest, SelectAllTogglesAndMenuItemsForceTheSelect) {
    struct Case {
        int tag;
        bool right, force, plain;
        int newTag, mask, kind;
    } cases[] = {
        {2, false, false, true, 4, 11, ui::skEveryRow},    // released -> pressed
        {4, false, false, true, 2, 11, ui::skClear},       // pressed -> released
        {4, false, true, true, 4, 11, ui::skEveryRow},     // "in left pane" always selects
        {4, false, true, false, 4, 11, ui::skAllFiles},    // "Select all files": files only
        {258, true, false, true, 260, 7, ui::skEveryRow},
        {260, true, false, false, 258, 7, ui::skClear},
        {260, true, true, true, 260, 7, ui::skEveryRow},
    };
    for (const Case& c : cases) {
        const ui::TSelectStep s = ui::selectAllStep(c.tag, c.right, c.force, c.plain);
        EXPECT_EQ(s.tag, c.newTag) << c.tag;
        EXPECT_EQ(s.releaseMask, c.mask) << c.tag;
        EXPECT_EQ(s.kind, c.kind) << c.tag;
        // Other parts read "pressed" as Tag & 6 == 4 on both sides.
        EXPECT_EQ((s.tag & 6) == 4, s.kind != ui::skClear) << c.tag;
    }
}

TEST(SelectButtonsTest, SelectNewAlternatesNewerOrDifferentAndEqual) {
    struct Case {
        int tag;
        bool right, fromItem, folder;
        int newTag, mask, kind;
    } cases[] = {
        {0, false, false, false, 1, 14, ui::skDifferent},
        {1, false, false, false, 0, 14, ui::skEqual},
        {1, false, true, true, 1, 14, ui::skNewer},        // the item starts from the base
        {0, false, false, true, 1, 14, ui::skNewer},
        {256, true, false, false, 257, 13, ui::skDifferent},
        {257, true, false, true, 256, 13, ui::skEqual},
        {257, true, true, false, 257, 13, ui::skDifferent},
    };
    for (const Case& c : cases) {
        const ui::TSelectStep s = ui::selectNewStep(c.tag, c.right, c.fromItem, c.folder);
        EXPECT_EQ(s.tag, c.newTag) << c.tag;
        EXPECT_EQ(s.releaseMask, c.mask) << c.tag;
        EXPECT_EQ(s.kind, c.kind) << c.tag;
    }
}
