// The colour dialog's rules without a window: list positions and set
// indices in both looks, the names the built-in sets keep, the buttons'
// states and where a set is saved.

#include "ui/settings/color_rules.h"

#include <gtest/gtest.h>

#include "config/app_settings.h"
#include "config/color_sets.h"

namespace config = tandex::config;
using namespace tandex::settings;

namespace {

class ColorRulesTest : public ::testing::Test {
protected:
    void SetUp() override { config::FillBuiltInColorSets(config::AppSettings()); }
    void TearDown() override { config::AppSettings().GSGUIStyle = 1; }
    static void look(int style) { config::AppSettings().GSGUIStyle = style; }
};

TEST_F(ColorRulesTest, SlotIsItsOwnInverseAndSwapsSkyBlueForFlatBlueOnlyInTheFlatLook) {
    for (int style : {0, 1, 2}) {
        look(style);
        for (int p = 0; p <= 10; ++p) EXPECT_EQ(ColorSetSlot(ColorSetSlot(p)), p) << style << " " << p;
        EXPECT_EQ(ColorSetSlot(2), style == 0 ? 2 : 10);
        EXPECT_EQ(ColorSetSlot(10), style == 0 ? 10 : 2);
        EXPECT_EQ(ColorSetSlot(5), 5);
    }
}

TEST_F(ColorRulesTest, FlatLookListsFlatBlueWhereTheClassicLookListsSkyBlue) {
    look(1);
    QStringList flat = ColorSetListNames();
    ASSERT_EQ(flat.size(), 10);
    EXPECT_EQ(flat[2], QStringLiteral("Flat Blue"));
    EXPECT_FALSE(flat.contains(QStringLiteral("Sky Blue")));
    EXPECT_EQ(flat.mid(5), QStringList(5, QStringLiteral("-")));
    EXPECT_FALSE(IsNewSetName(QStringLiteral("FLAT blue")));
    EXPECT_TRUE(IsNewSetName(QStringLiteral("Sky Blue")));

    look(0);
    const QStringList classic = ColorSetListNames();
    EXPECT_EQ(classic[2], QStringLiteral("Sky Blue"));
    EXPECT_FALSE(classic.contains(QStringLiteral("Flat Blue")));
    EXPECT_FALSE(IsNewSetName(QStringLiteral("SKY BLUE")));
    EXPECT_FALSE(IsNewSetName(QStringLiteral("dull silver")));
    EXPECT_TRUE(IsNewSetName(QStringLiteral("Flat Blue")));
    EXPECT_TRUE(IsNewSetName(QStringLiteral("Sky Blue ")));
    // Only ASCII letters fold.
    config::AppSettings().COSetName[0] = QStringLiteral("Äpfel");
    EXPECT_TRUE(IsNewSetName(QStringLiteral("äpfel")));
    EXPECT_FALSE(IsNewSetName(QStringLiteral("ÄPFEL")));
}

TEST_F(ColorRulesTest, ButtonsFollowNameModificationAndSelectedEntry) {
    look(0);
    struct Case {
        const char* name;
        bool modified;
        bool applyAllowed;
        const char* selectedEntry;
        bool ok, apply, save, del;
    };
    const Case cases[] = {
        {"", false, true, "Mine", false, false, false, false},
        {"-", false, true, "-", false, false, false, false},
        // A built-in set may be chosen, not changed under its own name.
        {"Sky Blue", false, true, "Sky Blue", true, true, false, false},
        {"SKY BLUE", true, true, "Sky Blue", false, false, false, false},
        {"Mine", true, true, "-", true, true, true, false},
        {"Mine", false, false, "Mine", true, false, true, true},
        {"Mine", true, true, "Other", true, true, true, false},
    };
    for (const Case& c : cases) {
        const TColorButtonStates b = ColorButtonStates(QString::fromUtf8(c.name), c.modified, c.applyAllowed,
                                                       QString::fromUtf8(c.selectedEntry));
        EXPECT_EQ(b.ok, c.ok) << c.name << " " << c.modified;
        EXPECT_EQ(b.apply, c.apply) << c.name << " " << c.modified;
        EXPECT_EQ(b.save, c.save) << c.name << " " << c.modified;
        EXPECT_EQ(b.del, c.del) << c.name << " " << c.modified;
    }
}

TEST_F(ColorRulesTest, SaveTargetIsTheNamedEntryElseTheFirstFreeStorage) {
    QStringList entries = {"Dull Silver", "Desert Sand", "Flat Blue", "Mars Storm", "Dark Night",
                           "A", "-", "B", "-", "C"};
    EXPECT_EQ(ColorSetSaveTarget(entries, QStringLiteral("B")), 7);
    EXPECT_EQ(ColorSetSaveTarget(entries, QStringLiteral("New")), 6);
    entries[6] = entries[8] = QStringLiteral("D");
    EXPECT_EQ(ColorSetSaveTarget(entries, QStringLiteral("New")), -1);
    EXPECT_EQ(ReplaceColorSetText(QStringLiteral("C"), QStringLiteral("New")),
              QStringLiteral("All color set storages are already in use!\n\nDo you want to replace old color set "
                             "named: \"C\"\nwith the new color set named: \"New\"?"));
}

}  // namespace
