// The colour-scheme dialog on an offscreen main window whose settings file
// lies in a temporary folder: the buttons' states, editing on the mock-up
// with the colour picker answered from a queued step, saving and deleting
// sets, and the main window's "Colors..." command around it.

#include "ui/settings/colors_dlg.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/prg_dir.h"
#include "config/services.h"
#include "config/settings_file.h"
#include "config/sys_helpers.h"
#include "tests/ui/main/main_window_fixture.h"
#include "tests/ui/modal_driver.h"
#include "ui/main/details_panel.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window.h"
#include "ui/main/row_area.h"
#include "ui/settings/color_mockup.h"
#include "ui/settings/command_window_services.h"

namespace config = tandex::config;
namespace ui = tandex::ui;
using namespace tandex::settings;
using tandex::testing::OnNextModal;
using tandex::testing::PressFlatButton;

namespace {

// Answers the questions in turn; once they run out, with the default.
class AnsweringSink : public config::RecordingMessageSink {
public:
    int showMessage(const config::MessageRequest& request) override {
        const int fallback = RecordingMessageSink::showMessage(request);
        if (answers.empty()) return fallback;
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::vector<int> answers;
};

class ColorsDialogTest : public tandex::testing::MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        QDir().mkpath(tmp_.filePath(QStringLiteral("bin")));
#ifdef TANDEX_RESOURCE_ARCHIVE
        // The pictures of Save and Delete come from the archive beside the
        // program.
        QFile::copy(QStringLiteral(TANDEX_RESOURCE_ARCHIVE), tmp_.filePath(QStringLiteral("bin/TandexRes.zipx")));
#endif
        config::setMessageSink(&sink_);
        ui::setCommandWindows(&services_);
    }
    void TearDown() override {
        // The grabs of a failed test first, while the windows still exist.
        WidgetTest::TearDown();
        window_.reset();
        ui::setCommandWindows(nullptr);
        config::setMessageSink(nullptr);
        MainWindowFixture::TearDown();
    }

    // A started window in the given look (0 classic, 1 flat).
    ui::TF_Main& makeWindow(int style) {
        window_ = std::make_unique<ui::TF_Main>();
        ui::TF_Main& w = *window_;
        config::AppSettings().GSGUIStyle = style;
        w.loadIconSets();
        w.applyColorScheme();
        w.resize(900, 520);
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.firePendingJobs();
        Watch(&w);
        if (dialog()) Watch(dialog());
        return w;
    }
    TfColors* dialog() const { return services_.Colors(); }
    void openColors() { window_->findChild<QAction*>(QStringLiteral("mmColors1"))->trigger(); }

    void choose(int position) {
        dialog()->CB_ColorSet->setCurrentIndex(position);
        emit dialog()->CB_ColorSet->activated(position);
    }
    void typeName(const QString& name) {
        QLineEdit* edit = dialog()->CB_ColorSet->lineEdit();
        edit->selectAll();
        QTest::keyClicks(edit, name);
        ASSERT_EQ(dialog()->CB_ColorSet->currentText(), name);
    }
    // Clicks the mock-up item; the picker that opens starts at the colour
    // it shows and is answered with answer (an invalid colour cancels).
    // Returns the picker's title and its start colour.
    std::pair<QString, QColor> pick(const char* item, const QColor& answer) {
        QString title;
        QColor start;
        OnNextModal([&](QWidget* modal) {
            auto* picker = qobject_cast<QColorDialog*>(modal);
            if (!picker) return;
            title = picker->windowTitle();
            start = picker->currentColor();
            if (answer.isValid()) {
                picker->setCurrentColor(answer);
                picker->accept();
            } else {
                picker->reject();
            }
        });
        TColorMockup* mockup = dialog()->Mockup;
        // A point where the item is on top (labels cover parts of shapes);
        // the corner (0, 0) would stand for the widget's centre.
        const QRect r = mockup->ItemRect(QLatin1String(item));
        QPoint at(-1, -1);
        for (int y = r.top() + 1; y <= r.bottom() && at.y() < 0; ++y)
            for (int x = r.left() + 1; x <= r.right() && at.y() < 0; ++x) {
                const TMockItem* hit = mockup->ItemAt(QPoint(x, y));
                if (hit && hit->name == QLatin1String(item)) at = QPoint(x, y);
            }
        EXPECT_GE(at.y(), 0) << item;
        QTest::mouseClick(mockup, Qt::LeftButton, {}, at);
        return {title, start};
    }
    bool enabled(const char* button) const {
        return dialog()->findChild<ui::TFlatButton2*>(QLatin1String(button))->Enabled();
    }
    // Names the five user storages; the colours are the defaults.
    static void useStorages(const QStringList& names) {
        auto& s = config::AppSettings();
        for (int i = 0; i < 5; ++i) {
            s.COSetName[size_t(config::kFirstUserSet + i)] = names.value(i, QStringLiteral("-"));
            s.ColorSets[size_t(config::kFirstUserSet + i)] = config::UserColorSetDefaults();
        }
    }
    bool copyShortcutOn() const {
        return !window_->findChild<QAction*>(QStringLiteral("Copy1"))->shortcut().isEmpty();
    }
    QString settingsFileText() const {
        QFile f(config::PrgDir().GetIniPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // A pixel of the empty pane area, far from any row.
    QRgb paneColor() {
        window_->invalidatePanes(true);
        QApplication::processEvents();
        const QImage image = window_->RowArea()->grab().toImage();
        return image.pixel(image.width() / 2, image.height() - 4);
    }
    static QRgb rgbOf(quint32 bgr) { return ui::colorOfBgr(bgr).rgb(); }

    AnsweringSink sink_;
    TCommandWindowServices services_;
    std::unique_ptr<ui::TF_Main> window_;
};

TEST_F(ColorsDialogTest, ClassicLookKeepsBuiltInNamesFromChangeAndApplyFollowsApplyAllowed) {
    makeWindow(0);
    ASSERT_NE(dialog(), nullptr);
    EXPECT_FALSE(dialog()->isVisible());
    config::AppSettings().COSetIdx = 0;
    openColors();
    ASSERT_TRUE(dialog()->isVisible());
    EXPECT_EQ(dialog()->CB_ColorSet->itemText(2), QStringLiteral("Sky Blue"));
    std::printf("grab: %s\n", qPrintable(tandex::testing::GrabToPng(dialog(), QStringLiteral("ColorsDialog.Classic"))));

    typeName(QStringLiteral("SKY BLUE"));
    EXPECT_FALSE(enabled("fbSaveColSet"));
    EXPECT_FALSE(enabled("fbDelColSet"));
    EXPECT_TRUE(enabled("fbOk"));
    EXPECT_TRUE(enabled("fbApply"));
    pick("shTextBG", QColor(10, 20, 30));
    EXPECT_TRUE(dialog()->SetModified);
    EXPECT_FALSE(enabled("fbOk"));
    EXPECT_FALSE(enabled("fbApply"));
    EXPECT_FALSE(enabled("fbSaveColSet"));
    typeName(QStringLiteral("Sky Blue 2"));
    EXPECT_TRUE(enabled("fbOk"));
    EXPECT_TRUE(enabled("fbSaveColSet"));
    EXPECT_TRUE(enabled("fbApply"));

    // Opened without apply allowed, Apply stays off while OK is on.
    dialog()->ShowDialog(dialog()->pos(), false, false);
    choose(3);
    EXPECT_TRUE(enabled("fbOk"));
    EXPECT_FALSE(enabled("fbApply"));
}

TEST_F(ColorsDialogTest, EditingChangesEveryItemOfTheColourAndNothingOnCancelOrTheSameColour) {
    makeWindow(1);
    openColors();
    TColorMockup* mockup = dialog()->Mockup;
    const config::TColorSet before = mockup->Colors();

    const QColor red(200, 0, 0);
    const auto [title, start] = pick("lModTextColorL", red);
    EXPECT_EQ(title, QStringLiteral(" Text color of modified lines "));
    EXPECT_EQ(start.rgb(), rgbOf(before[config::DiffCol]));
    EXPECT_EQ(mockup->Colors()[config::DiffCol], ui::bgrOfColor(red));
    EXPECT_EQ(mockup->ItemColor(*mockup->Item(QStringLiteral("lModTextColorR"))), ui::bgrOfColor(red));
    // Both labels paint it.
    const QImage painted = mockup->grab().toImage();
    for (const char* label : {"lModTextColorL", "lModTextColorR"}) {
        const QRect r = mockup->ItemRect(QLatin1String(label));
        bool found = false;
        for (int x = r.left(); x <= r.right() && !found; ++x)
            for (int y = r.top(); y <= r.bottom() && !found; ++y) found = painted.pixel(x, y) == red.rgb();
        EXPECT_TRUE(found) << label;
    }
    EXPECT_TRUE(dialog()->SetModified);

    const QColor ruler(0, 90, 0);
    EXPECT_EQ(pick("shRulerBgColT", ruler).first, QStringLiteral(" Background color of rulers "));
    EXPECT_EQ(mockup->Colors()[config::RulerBgCol], ui::bgrOfColor(ruler));

    // The flat tool bar: either half starts at the end colour and sets both.
    const QColor bar(0, 0, 150);
    const auto [barTitle, barStart] = pick("imgToolbarStart", bar);
    EXPECT_EQ(barTitle, QStringLiteral(" Color of header/toolbar "));
    EXPECT_EQ(barStart.rgb(), rgbOf(before[config::TBEndCol]));
    EXPECT_EQ(mockup->Colors()[config::TBStartCol], ui::bgrOfColor(bar));
    EXPECT_EQ(mockup->Colors()[config::TBEndCol], ui::bgrOfColor(bar));
    // In the classic look each half is its own colour.
    config::AppSettings().GSGUIStyle = 0;
    pick("imgToolbarEnd", QColor(1, 2, 3));
    EXPECT_EQ(mockup->Colors()[config::TBStartCol], ui::bgrOfColor(bar));
    EXPECT_EQ(mockup->Colors()[config::TBEndCol], ui::bgrOfColor(QColor(1, 2, 3)));
    config::AppSettings().GSGUIStyle = 1;

    // The same colour confirmed, or the picker cancelled, change nothing.
    dialog()->ShowColorSet();
    ASSERT_FALSE(dialog()->SetModified);
    pick("shTextBG", ui::colorOfBgr(mockup->Colors()[config::TextBgCol]));
    pick("lLineNoL", QColor());
    EXPECT_EQ(mockup->Colors(), before);
    EXPECT_FALSE(dialog()->SetModified);
}

TEST_F(ColorsDialogTest, SaveTakesAFreeStorageAtOnceAndAsksBeforeReplacingAUserSet) {
    makeWindow(1);
    useStorages({QStringLiteral("A"), QStringLiteral("-"), QStringLiteral("C")});
    openColors();
    typeName(QStringLiteral("Mine"));
    pick("shTextBG", QColor(1, 2, 3));
    const config::TColorSet edited = dialog()->Mockup->Colors();
    PressFlatButton(dialog(), "fbSaveColSet");
    auto& s = config::AppSettings();
    EXPECT_TRUE(sink_.messages().empty());
    EXPECT_EQ(s.COSetName[6], QStringLiteral("Mine"));
    EXPECT_EQ(s.ColorSets[6], edited);
    EXPECT_EQ(dialog()->SelectedSet, 6);
    EXPECT_EQ(dialog()->CB_ColorSet->itemText(6), QStringLiteral("Mine"));
    EXPECT_FALSE(dialog()->SetModified);
    EXPECT_TRUE(enabled("fbDelColSet"));

    // All five in use: the selected user set is offered for replacing.
    useStorages({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                 QStringLiteral("E")});
    s.COSetIdx = 7;
    openColors();
    typeName(QStringLiteral("New"));
    pick("shDiffTextCol", QColor(4, 5, 6));
    const config::TColorSet replacing = dialog()->Mockup->Colors();
    sink_.answers = {config::mrNo};
    PressFlatButton(dialog(), "fbSaveColSet");
    const auto asked = sink_.messages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, QStringLiteral("Replace color set?"));
    EXPECT_EQ(asked[0].kind, config::MsgKind::Warning);
    EXPECT_EQ(asked[0].buttons, config::mbYes | config::mbNo);
    EXPECT_EQ(asked[0].text, QStringLiteral("All color set storages are already in use!\n\nDo you want to replace old "
                                            "color set named: \"C\"\nwith the new color set named: \"New\"?"));
    EXPECT_EQ(s.COSetName[7], QStringLiteral("C"));
    EXPECT_EQ(s.ColorSets[7], config::UserColorSetDefaults());
    EXPECT_EQ(dialog()->CB_ColorSet->itemText(7), QStringLiteral("C"));

    sink_.answers = {config::mrYes};
    PressFlatButton(dialog(), "fbSaveColSet");
    EXPECT_EQ(sink_.messages().size(), 2u);
    EXPECT_EQ(s.COSetName[7], QStringLiteral("New"));
    EXPECT_EQ(s.ColorSets[7], replacing);
    EXPECT_EQ(dialog()->CB_ColorSet->itemText(7), QStringLiteral("New"));
    for (int set : {5, 6, 8, 9}) EXPECT_EQ(s.ColorSets[size_t(set)], config::UserColorSetDefaults()) << set;

    // A pasted line break becomes a blank: the name heads a section.
    dialog()->CB_ColorSet->setEditText(QStringLiteral("Two\nLines"));
    sink_.answers = {config::mrYes};
    PressFlatButton(dialog(), "fbSaveColSet");
    EXPECT_EQ(s.COSetName[7], QStringLiteral("Two Lines"));
}

TEST_F(ColorsDialogTest, FullStoragesWithABuiltInSetSelectedStoreNothingAndKeepTheDialogOpen) {
    makeWindow(1);
    useStorages({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
                 QStringLiteral("E")});
    auto& s = config::AppSettings();
    const auto names = s.COSetName;
    const auto sets = s.ColorSets;
    s.COSetIdx = 1;
    openColors();
    typeName(QStringLiteral("New"));
    pick("shTextBG", QColor(7, 8, 9));
    for (const char* button : {"fbSaveColSet", "fbApply", "fbOk"}) {
        sink_.clear();
        PressFlatButton(dialog(), button);
        const auto shown = sink_.messages();
        ASSERT_EQ(shown.size(), 1u) << button;
        EXPECT_EQ(shown[0].caption, QStringLiteral(" Tandex "));
        EXPECT_EQ(shown[0].kind, config::MsgKind::Warning);
        EXPECT_EQ(shown[0].text, QStringLiteral("All color set storages are already in use!\n\n"
                                                "Please select the user color set that you want to replace."));
        EXPECT_TRUE(dialog()->isVisible()) << button;
        EXPECT_EQ(s.COSetName, names);
        EXPECT_EQ(s.ColorSets, sets);
        EXPECT_EQ(s.COSetIdx, 1);
        EXPECT_EQ(dialog()->CB_ColorSet->itemText(1), QStringLiteral("Desert Sand"));
        EXPECT_TRUE(dialog()->SetModified);
    }
}

TEST_F(ColorsDialogTest, DeleteRemovesTheSetsSectionFromTheFileAtOnceAndAppliesTheFirstSet) {
    makeWindow(1);
    useStorages({QStringLiteral("-"), QStringLiteral("Mine")});
    auto& s = config::AppSettings();
    s.ColorSets[6][config::TextBgCol] = 0x123456;
    s.COSetIdx = 6;
    config::SaveSettings();
    ASSERT_TRUE(settingsFileText().contains(QStringLiteral("[ColorSet:Mine]")));
    openColors();
    EXPECT_EQ(dialog()->CB_ColorSet->currentIndex(), 6);
    ASSERT_TRUE(enabled("fbDelColSet"));

    sink_.answers = {config::mrNo};
    PressFlatButton(dialog(), "fbDelColSet");
    EXPECT_EQ(s.COSetName[6], QStringLiteral("Mine"));
    EXPECT_TRUE(settingsFileText().contains(QStringLiteral("[ColorSet:Mine]")));

    sink_.answers = {config::mrYes};
    PressFlatButton(dialog(), "fbDelColSet");
    const auto asked = sink_.messages();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].caption, QStringLiteral("Delete color set?"));
    EXPECT_EQ(asked[1].text, QStringLiteral("Do you really want to delete the color set \"Mine\"?"));
    EXPECT_EQ(asked[1].buttons, config::mbYes | config::mbNo);
    const QString file = settingsFileText();
    EXPECT_FALSE(file.contains(QStringLiteral("[ColorSet:Mine]")));
    EXPECT_TRUE(file.contains(QStringLiteral("[ColorSets]")));
    EXPECT_EQ(s.COSetName[6], QStringLiteral("-"));
    EXPECT_EQ(dialog()->CB_ColorSet->itemText(6), QStringLiteral("-"));
    EXPECT_EQ(dialog()->CB_ColorSet->currentIndex(), 0);
    EXPECT_EQ(dialog()->SelectedSet, 0);
    // Applied: the main window shows the first set.
    EXPECT_EQ(s.COSetIdx, 0);
    EXPECT_EQ(paneColor(), rgbOf(s.ColorSets[0][config::TextBgCol]));
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_FALSE(enabled("fbDelColSet"));
}

TEST_F(ColorsDialogTest, ColorsCommandShowsTheDialogAtTheDefaultPlaceAndOkAppliesTheSet) {
    ui::TF_Main& w = makeWindow(1);
    ASSERT_TRUE(w.findChild<QAction*>(QStringLiteral("mmColors1"))->isVisible());
    ASSERT_LT(dialog()->y(), 0);
    const QPoint place = w.defaultFormPos(dialog());
    ASSERT_TRUE(copyShortcutOn());
    openColors();
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(dialog()->pos(), place);
    EXPECT_FALSE(copyShortcutOn());
    // The flat look offers Flat Blue, the set a new settings file selects.
    EXPECT_EQ(dialog()->CB_ColorSet->currentIndex(), 2);
    EXPECT_EQ(dialog()->CB_ColorSet->currentText(), QStringLiteral("Flat Blue"));
    std::printf("grab: %s\n", qPrintable(tandex::testing::GrabToPng(dialog(), QStringLiteral("ColorsDialog.Flat"))));

    // "Colors..." again while the dialog is open still gives the
    // shortcuts back at the end.
    openColors();
    choose(3);
    EXPECT_EQ(dialog()->SelectedSet, 3);
    PressFlatButton(dialog(), "fbOk");
    auto& s = config::AppSettings();
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_EQ(s.COSetIdx, 3);
    EXPECT_EQ(paneColor(), rgbOf(s.ColorSets[3][config::TextBgCol]));
    EXPECT_TRUE(copyShortcutOn());
    EXPECT_TRUE(sink_.messages().empty());
}

TEST_F(ColorsDialogTest, CancelAndClosingTheMainWindowGiveTheCurrentSetBack) {
    ui::TF_Main& w = makeWindow(1);
    auto& s = config::AppSettings();
    openColors();
    choose(0);
    PressFlatButton(dialog(), "fbApply");
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(s.COSetIdx, 0);
    choose(4);
    pick("shTextBG", QColor(9, 9, 9));
    PressFlatButton(dialog(), "fbCancel");
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_EQ(s.COSetIdx, 0);
    EXPECT_EQ(paneColor(), rgbOf(s.ColorSets[0][config::TextBgCol]));
    EXPECT_NE(s.ColorSets[4][config::TextBgCol], ui::bgrOfColor(QColor(9, 9, 9)));
    EXPECT_TRUE(copyShortcutOn());

    // Escape cancels too.
    openColors();
    QTest::keyClick(dialog(), Qt::Key_Escape);
    EXPECT_FALSE(dialog()->isVisible());
    EXPECT_TRUE(copyShortcutOn());

    openColors();
    choose(3);
    QPointer<TfColors> open = dialog();
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(!open || !open->isVisible());
    EXPECT_EQ(s.COSetIdx, 0);
    EXPECT_TRUE(settingsFileText().contains(QStringLiteral("COSetIdx=0")));
}

TEST_F(ColorsDialogTest, SetSavedUnderANewNameIsAppliedAndOfferedAgainAfterARestart) {
    makeWindow(1);
    // The flat look shows a set's tool bar in its end colour; OK must not
    // store that over the start colour.
    const quint32 startColor = 0x00AA00;
    config::AppSettings().ColorSets[10][config::TBStartCol] = startColor;
    openColors();
    typeName(QStringLiteral("Evening"));
    pick("shTextBG", QColor(30, 40, 50));
    PressFlatButton(dialog(), "fbOk");
    auto& s = config::AppSettings();
    EXPECT_EQ(s.COSetIdx, 5);
    EXPECT_EQ(paneColor(), QColor(30, 40, 50).rgb());
    EXPECT_EQ(s.ColorSets[5][config::TBStartCol], startColor);
    window_->close();
    window_.reset();

    // The restart reads the file the close wrote.
    s.SetDefaults(config::PrgDir().GetWritableRoot());
    makeWindow(1);
    EXPECT_EQ(s.COSetIdx, 5);
    EXPECT_EQ(s.COSetName[5], QStringLiteral("Evening"));
    EXPECT_EQ(s.ColorSets[5][config::TextBgCol], ui::bgrOfColor(QColor(30, 40, 50)));
    EXPECT_EQ(s.ColorSets[5][config::TBStartCol], startColor);
    EXPECT_EQ(paneColor(), QColor(30, 40, 50).rgb());
    openColors();
    EXPECT_EQ(dialog()->CB_ColorSet->currentIndex(), 5);
    EXPECT_EQ(dialog()->CB_ColorSet->currentText(), QStringLiteral("Evening"));
    EXPECT_TRUE(enabled("fbDelColSet"));
}

}  // namespace
