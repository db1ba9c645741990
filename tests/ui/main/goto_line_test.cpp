#include "ui/main/goto_line.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "config/app_settings.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "tests/ui/modal_driver.h"
#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace config = tandex::config;
namespace engine = tandex::engine;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

class GotoLineTest : public tandex::testing::WidgetTest {
protected:
    void SetUp() override {
        config::AppSettings() = config::TAppSettings();
        SetDisabledAlpha(80);  // what the main window sets for the classic look
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        Watch(&dlg);
    }
    void TearDown() override {
        WidgetTest::TearDown();
        SetDisabledAlpha(0);
        engine::paneStores().InitCompareData();
        engine::rows().InitRows();
        config::AppSettings() = config::TAppSettings();
    }

    // A binary view of rowCount rows of 16 bytes on both sides; the rows
    // listed in gaps are gaps on the left.
    static void binaryRows(int rowCount, std::initializer_list<int> gaps = {}) {
        auto& st = engine::paneStores();
        st.BinaryMode = 1;
        qint64 offset[3] = {0, 0, 0};
        auto& rows = engine::rows();
        rows.BinaryRowMap.clear();
        for (int i = 0; i < rowCount; ++i) {
            for (int pane = 1; pane <= 2; ++pane) {
                if (pane == 1 && std::find(gaps.begin(), gaps.end(), i) != gaps.end()) continue;
                st.BinaryLines[size_t(pane)].New(i)->Offset = offset[pane];
                offset[pane] += 16;
            }
            rows.BinaryRowMap.push_back(i);
        }
        rows.BinaryRowCount = rowCount;
    }

    // Text lines 1..count on both sides; hidden lines get no row.
    static void textRows(int count, std::initializer_list<int> hidden = {}) {
        auto& st = engine::paneStores();
        auto& rows = engine::rows();
        rows.TextRowMap.clear();
        for (int i = 0; i < count; ++i) {
            for (int pane = 1; pane <= 2; ++pane) st.TextLines[size_t(pane)].New(i)->LineNumber = i + 1;
            if (std::find(hidden.begin(), hidden.end(), i + 1) == hidden.end()) rows.TextRowMap.push_back(i);
        }
        rows.TextRowCount = int(rows.TextRowMap.size());
    }

    TfGotoLine dlg;
};

TEST_F(GotoLineTest, FindAddressLooksUpTheRowHoldingTheAddress) {
    binaryRows(6, {2});
    struct Case {
        const char* text;
        bool hex;
        int side;
        int row;
        qint64 offset;
    } cases[] = {
        {"25", true, 2, 2, 5},   // 0x25 on the side without gaps
        {"37", false, 2, 2, 5},  // the same in decimal
        {"25", true, 1, 3, 5},   // row 2 is a gap on the left: its bytes sit one row lower
        {"0", true, 1, 0, 0},
        {"fff", true, 2, 5, 0xFFF - 80},
        {"2g", true, 1, -2, -7},
        {"1f", false, 1, -2, -7},
    };
    for (const Case& c : cases) {
        qint64 offset = -7;
        EXPECT_EQ(FindAddress(c.text, c.hex, c.side, offset), c.row) << c.text << " side " << c.side;
        EXPECT_EQ(offset, c.offset) << c.text;
    }
    engine::rows().BinaryRowCount = 0;
    qint64 offset = 0;
    EXPECT_EQ(FindAddress("10", true, 1, offset), -1);
}

TEST_F(GotoLineTest, RangeAndConversionTexts) {
    EXPECT_EQ(GotoRange(true, true, 255).lowest + " .. " + GotoRange(true, true, 255).highest, "0 .. 00FF");
    EXPECT_EQ(GotoRange(true, true, 0x12345).highest, "12345");
    EXPECT_EQ(GotoRange(true, false, 255).highest, "255");
    EXPECT_EQ(GotoRange(false, false, 10000).lowest, "1");
    struct Case {
        const char* text;
        bool toHex;
        const char* converted;
    } cases[] = {
        {"100", true, "64"}, {"64", false, "100"}, {"ff", false, "255"}, {"0", true, "0"},
        {"", true, "1"},     {"xy", false, "1"},
    };
    for (const Case& c : cases) EXPECT_EQ(ConvertGotoText(c.text, c.toHex, "1"), c.converted) << c.text;
}

TEST_F(GotoLineTest, TargetStatesAndTheirMessages) {
    textRows(50, {20});
    struct Case {
        const char* text;
        int state;
        const char* message;
    } cases[] = {
        {"19", 19, nullptr},
        {"", 0, "Line number is out of range!"},
        {"51", 0, "Line number is out of range!"},
        {"20", -1, "Line number is not available in current filter!"},
    };
    for (const Case& c : cases) {
        qint64 offset = 0;
        const int state = GotoTargetState(c.text, false, false, 1, 50, offset);
        EXPECT_EQ(state, c.state) << c.text;
        if (c.message) {
            EXPECT_EQ(GotoStateMessage(state, false), c.message);
        }
    }

    binaryRows(4);  // bytes 0 .. 63
    struct AddressCase {
        const char* text;
        int state;
    } addressCases[] = {
        {"5", 1}, {"25", 2}, {"3f", 3}, {"40", -1}, {"3f", 3}, {"q", -2},
    };
    for (const AddressCase& c : addressCases) {
        qint64 offset = 0;
        EXPECT_EQ(GotoTargetState(c.text, true, true, 1, 63, offset), c.state) << c.text;
    }
    qint64 offset = 0;
    EXPECT_EQ(GotoTargetState("30", true, true, 1, 0x2F, offset), 0);  // in a row, but above the maximum
    EXPECT_EQ(GotoStateMessage(0, true), "Address is out of range!");
    EXPECT_EQ(GotoStateMessage(-1, true), "Address is not available in current filter!");
    EXPECT_EQ(GotoStateMessage(-2, true), "Invalid key! (valid keys: 0..9, a..f)");
}

TEST_F(GotoLineTest, AddressModeFindsTheRowAndItsOffset) {
    binaryRows(20);
    config::AppSettings().TEGotoBL = 0x25;
    QString caption, range, label, text;
    OnNextModal([&](QWidget* form) {
        tandex::testing::GrabToPng(form, "GotoLine-address");
        caption = form->windowTitle();
        range = dlg.L_Range->text();
        label = dlg.lLineNo->text();
        text = dlg.eLineNo->text();
        EXPECT_TRUE(dlg.GB_Input->isVisible());
        EXPECT_TRUE(dlg.RB_Hex->isChecked());
        PressFlatButton(form, "fbGoto");
    });
    EXPECT_EQ(dlg.Execute(QPoint(50, 50), 255, true, 255), 3);
    EXPECT_EQ(dlg.AddressOffset(), 5);
    EXPECT_EQ(dlg.SelectedSide(), 1);
    EXPECT_EQ(caption, " Go to Byte Address ");
    EXPECT_EQ(label, "Address:");
    EXPECT_EQ(text, "25");
    EXPECT_EQ(range, "Range: 0 .. 00FF");
}

TEST_F(GotoLineTest, AnInvalidHexKeyIsTakenBackWithAMessage) {
    binaryRows(20);
    config::AppSettings().TEGotoBL = 0x25;
    QString message, text;
    bool gotoEnabled = true;
    OnNextModal([&](QWidget* form) {
        dlg.eLineNo->setCursorPosition(2);
        QTest::keyClicks(dlg.eLineNo, "g");
        message = dlg.L_NotInView->isVisible() ? dlg.L_NotInView->text() : QString();
        text = dlg.eLineNo->text();
        gotoEnabled = dlg.fbGoto->Enabled();
        tandex::testing::GrabToPng(form, "GotoLine-invalid-key");
        QTest::keyClick(dlg.eLineNo, Qt::Key_Escape);
    });
    EXPECT_EQ(dlg.Execute(QPoint(50, 50), 255, true, 255), -1);
    EXPECT_EQ(message, "Invalid key! (valid keys: 0..9, a..f)");
    EXPECT_EQ(text, "25");
    EXPECT_FALSE(gotoEnabled);
}

TEST_F(GotoLineTest, SwitchingToHexConvertsTheNumber) {
    binaryRows(20);
    config::AppSettings().TEGotoBL = 0x25;
    QString converted, range;
    OnNextModal([&](QWidget* form) {
        dlg.RB_Dec->click();
        dlg.eLineNo->setText("100");
        dlg.RB_Hex->click();
        converted = dlg.eLineNo->text();
        range = dlg.L_Range->text();
        PressFlatButton(form, "fbCancel");
    });
    EXPECT_EQ(dlg.Execute(QPoint(50, 50), 1000, true, 1000), -1);
    EXPECT_EQ(converted, "64");
    EXPECT_EQ(range, "Range: 0 .. 03E8");
}

TEST_F(GotoLineTest, AddressModeKeepsDecimalAndShowsTheStartValueInIt) {
    binaryRows(20);
    config::AppSettings().TEGotoBL = 0x25;
    OnNextModal([&](QWidget* form) {
        dlg.RB_Dec->click();
        PressFlatButton(form, "fbCancel");
    });
    EXPECT_EQ(dlg.Execute(QPoint(50, 50), 255, true, 255), -1);

    QString text;
    bool dec = false;
    OnNextModal([&](QWidget* form) {
        text = dlg.eLineNo->text();
        dec = dlg.RB_Dec->isChecked();
        PressFlatButton(form, "fbGoto");
    });
    EXPECT_EQ(dlg.Execute(QPoint(50, 50), 255, true, 255), 3);
    EXPECT_TRUE(dec);
    EXPECT_EQ(text, "37");
    EXPECT_EQ(dlg.AddressOffset(), 5);
}

TEST_F(GotoLineTest, LineModeRefusesLinesOutOfRangeOrHiddenAndOpensOnTheStoredSide) {
    textRows(100, {42});
    config::AppSettings().TEGotoTL = -7;
    QString caption, start, outOfRange, hidden;
    bool rightChecked = false, inputShown = true, enabledOut = true, enabledHidden = true;
    OnNextModal([&](QWidget* form) {
        caption = form->windowTitle();
        start = dlg.eLineNo->text();
        rightChecked = dlg.rbGTR->isChecked();
        inputShown = dlg.GB_Input->isVisible();
        dlg.eLineNo->selectAll();
        QTest::keyClicks(dlg.eLineNo, "1500x");
        // The edit takes no more digits than the largest line has, and
        // digits only.
        EXPECT_EQ(dlg.eLineNo->text(), "150");
        outOfRange = dlg.L_NotInView->text();
        enabledOut = dlg.fbGoto->Enabled();
        tandex::testing::GrabToPng(form, "GotoLine-out-of-range");
        dlg.eLineNo->setText("42");
        hidden = dlg.L_NotInView->text();
        enabledHidden = dlg.fbGoto->Enabled();
        dlg.eLineNo->setText("43");
        QTest::keyClick(dlg.eLineNo, Qt::Key_Return);
    });
    EXPECT_EQ(dlg.Execute(QPoint(50, 50), 100, true, 100), 43);
    EXPECT_EQ(caption, " Go to Line ");
    EXPECT_EQ(start, "7");
    EXPECT_TRUE(rightChecked);
    EXPECT_EQ(dlg.SelectedSide(), 2);
    EXPECT_FALSE(inputShown);
    EXPECT_EQ(outOfRange, "Line number is out of range!");
    EXPECT_FALSE(enabledOut);
    EXPECT_EQ(hidden, "Line number is not available in current filter!");
    EXPECT_FALSE(enabledHidden);
}

}  // namespace
