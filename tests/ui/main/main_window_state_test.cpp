#include "ui/main/main_window_state.h"

#include <gtest/gtest.h>

#include "access/file_times.h"
#include "config/num_format.h"
#include "engine/rows.h"
#include "tests/engine/pane_fixture.h"
#include "ui/main/main_window_layout.h"

namespace config = tandex::config;
namespace engine = tandex::engine;
namespace ui = tandex::ui;
using ui::TControlSnapshot;

namespace {

const ui::TItemState& at(const ui::TControlState& st, const char* name) {
    static const ui::TItemState none;
    const auto it = st.find(QLatin1String(name));
    return it == st.end() ? none : it->second;
}

TControlSnapshot textView() {
    TControlSnapshot s;
    s.viewType = ui::vtText;
    s.caretViewActive = true;
    s.tabInUse = true;
    s.rowCount = 10;
    s.fileNames = {"", "a.txt", "b.txt"};
    s.leftHasDisplayPath = true;
    s.fileSizes = {-1, 10, 12};
    s.lineCounts = {0, 5, 6};
    return s;
}

TControlSnapshot folderView() {
    TControlSnapshot s;
    s.viewType = ui::vtFolder;
    s.tabInUse = true;
    s.rowCount = 8;
    s.folderCount = 2;
    s.storeEntryCount = 8;
    s.fileEntryCount = 6;
    return s;
}

TEST(ControlState, WindowCaptionFollowsTheShownViewsFilter) {
    struct Case {
        int view, filter;
        const char* caption;
    } cases[] = {
        {ui::vtText, 0, "Tandex"},
        {ui::vtText, 3, "Tandex  -   Show different lines "},
        {ui::vtText, 1, "Tandex  -   Show equal lines "},
        {ui::vtBinary, 5, "Tandex  -   Hide different lines "},
        {ui::vtFolder, 4, "Tandex  -   Show orphaned files "},
        {ui::vtFolder, 0, "Tandex"},
    };
    for (const auto& c : cases) {
        TControlSnapshot s = c.view == ui::vtFolder ? folderView() : textView();
        s.viewType = c.view;
        s.binaryMode = c.view == ui::vtBinary;
        s.textViewFilter = s.binaryViewFilter = s.folderViewFilter = c.filter;
        if (c.view == ui::vtBinary) s.textViewFilter = 0;  // the binary filter is the one read
        EXPECT_EQ(at(ui::controlState(s), "F_Main").caption, QLatin1String(c.caption)) << c.view << "/" << c.filter;
    }
}

TEST(ControlState, CloseViewCaptionNamesTheViewAndMode) {
    struct Case {
        int view;
        bool single;
        const char* caption;
    } cases[] = {
        {ui::vtText, false, "Close \"Text Compare\" view"},
        {ui::vtText, true, "Close \"Text view\""},
        {ui::vtBinary, false, "Close \"Binary Compare\" view"},
        {ui::vtImage, false, "Close \"Image Compare\" view"},
        {ui::vtImage, true, "Close \"Image view\""},
    };
    for (const auto& c : cases) {
        TControlSnapshot s = textView();
        s.viewType = c.view;
        s.singlePaneView = c.single;
        EXPECT_EQ(at(ui::controlState(s), "pmCloseView").caption, QLatin1String(c.caption));
    }
}

TEST(ControlState, DeleteButtonShowsInTheFolderViewWithItsCountedHint) {
    TControlSnapshot s = folderView();
    s.selectedCount = 0;
    auto st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_DELETE").visible, true);
    EXPECT_EQ(at(st, "TB_DELETE").enabled, false);
    s.selectedCount = 1;
    st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_DELETE").enabled, true);
    EXPECT_EQ(at(st, "TB_DELETE").hint, QStringLiteral(" Delete selected file... "));
    EXPECT_EQ(at(st, "TB_DELETE").image, 8);
    s.selectedCount = 3;
    st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_DELETE").hint, QStringLiteral(" Delete selected files... "));
    EXPECT_EQ(at(st, "TB_DELETE").image, 9);
    EXPECT_EQ(at(ui::controlState(textView()), "TB_DELETE").visible, false);
}

TEST(ControlState, HexButtonNeedsOneRealFileBesideANewText) {
    struct Case {
        QString left, right;
        bool binary, enabled;
    } cases[] = {
        {"NewL.txt", "real.txt", false, true},
        {"real.txt", "NewR.txt", false, true},
        {"NewL.txt", "NewR.txt", false, false},
        {"", "", false, false},
        {"a.txt", "b.txt", true, false},  // already binary
    };
    for (const auto& c : cases) {
        TControlSnapshot s = textView();
        s.fileNames = {"", c.left, c.right};
        s.binaryMode = c.binary;
        const auto st = ui::controlState(s);
        EXPECT_EQ(at(st, "TB_HEX").enabled, c.enabled) << c.left.toStdString() << " " << c.right.toStdString();
        EXPECT_EQ(at(st, "TB_HEX").hint, QStringLiteral(" Compare the current files in HEX mode (Binary Compare) "));
        EXPECT_EQ(at(st, "TB_HEX").showHint, true);  // GSShowHintDB shows hints of disabled buttons too
    }
    TControlSnapshot s = textView();
    s.fileNames = {"", "", ""};
    s.showHintDB = false;
    EXPECT_EQ(at(ui::controlState(s), "TB_HEX").showHint, false);
}

TEST(ControlState, SwapIsRefusedBesideAnOpenError) {
    TControlSnapshot s = textView();
    EXPECT_EQ(at(ui::controlState(s), "fbSWAP").enabled, true);
    s.fileSizes[2] = -2;
    EXPECT_EQ(at(ui::controlState(s), "fbSWAP").enabled, false);
    s = folderView();
    s.fileSizes = {-2, -2, -2};  // not read in the folder view
    EXPECT_EQ(at(ui::controlState(s), "fbSWAP").enabled, true);
    s.singlePaneView = true;
    EXPECT_EQ(at(ui::controlState(s), "fbSWAP").visible, false);
}

TEST(ControlState, SaveButtonsOnlyInTheTextView) {
    for (int view : {ui::vtFolder, ui::vtBinary, ui::vtImage, ui::vtFree}) {
        TControlSnapshot s = view == ui::vtFolder ? folderView() : textView();
        s.viewType = view;
        const auto st = ui::controlState(s);
        EXPECT_NE(at(st, "fbSaveFileL").enabled, true) << view;
        EXPECT_NE(at(st, "fbSaveFileR").enabled, true) << view;
    }
    const auto st = ui::controlState(textView());
    EXPECT_EQ(at(st, "fbSaveFileL").enabled, true);
    EXPECT_EQ(at(st, "fbSaveFileR").enabled, true);
}

TEST(ControlState, FileSteppingStopsAtTheLastFolderRow) {
    TControlSnapshot s = textView();
    s.folderTabExists = true;
    s.folderRowCount = 5;
    s.prevFileName = "p.txt";
    s.nextFileName = "n.txt";
    s.folderListPos = 2;
    auto st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_PREVFILE").enabled, true);
    EXPECT_EQ(at(st, "TB_NEXTFILE").enabled, true);
    EXPECT_EQ(at(st, "TB_NEXTFILE").hint,
              QStringLiteral(" Load & compare the next file pair from a Folder Compare view:    Ctrl+N \n n.txt "));
    s.folderListPos = 4;  // the last row
    st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_PREVFILE").enabled, false);
    EXPECT_EQ(at(st, "TB_PREVFILE").hint,
              QStringLiteral(" Load & compare the previous file pair from a Folder Compare view:    Ctrl+B "));
    s.folderListPos = 2;
    s.folderTabExists = false;
    EXPECT_EQ(at(ui::controlState(s), "TB_NEXTFILE").enabled, false);
    EXPECT_EQ(ui::stepFileHint(false, true, {}), " Load the previous file from a Folder Compare view:    Ctrl+B ");
}

TEST(ControlState, CopyButtonPointsAtTheOtherPane) {
    TControlSnapshot s = textView();
    s.selectedCount = 3;
    s.activePane = 1;
    auto st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_COPYTO").enabled, true);
    EXPECT_EQ(at(st, "TB_COPYTO").image, 6);
    EXPECT_EQ(at(st, "TB_COPYTO").hint, QStringLiteral(" Copy the 3 selected lines to the right pane... "));
    s.activePane = 2;
    s.selectedCount = 1;
    s.cfCopyLines = false;
    st = ui::controlState(s);
    EXPECT_EQ(at(st, "TB_COPYTO").image, 7);
    EXPECT_EQ(at(st, "TB_COPYTO").hint, QStringLiteral(" Copy the selected line to the left pane "));
    s.binaryMode = true;
    EXPECT_EQ(at(ui::controlState(s), "TB_COPYTO").enabled, false);
}

TEST(ControlState, FilterHintAndImagesFollowTheFilterShown) {
    for (int f = 0; f < 7; ++f) EXPECT_EQ(ui::filterOfImage(ui::filterImage(f)), f);
    TControlSnapshot s = textView();
    s.filterImage = 17;
    EXPECT_EQ(at(ui::controlState(s), "TB_FILTER").hint, QStringLiteral(" Show different lines "));
    s = folderView();
    s.filterImage = 26;
    EXPECT_EQ(at(ui::controlState(s), "TB_FILTER").hint, QStringLiteral(" Show different and orphaned files "));
}

TEST(ControlState, ImageViewTurnsSelectButtonsIntoFrameSteppers) {
    TControlSnapshot s = textView();
    s.viewType = ui::vtImage;
    s.extraFrames = {0, 3, 0};
    const auto st = ui::controlState(s);
    EXPECT_EQ(at(st, "fbLSelAll").hint, QStringLiteral(" Show prev/next icon frame "));
    EXPECT_EQ(at(st, "fbLSelAll").enabled, true);
    EXPECT_EQ(at(st, "fbRSelAll").enabled, false);
    EXPECT_EQ(at(st, "fbLSelNew").visible, false);
    EXPECT_EQ(at(st, "TB_1to1").visible, true);
    EXPECT_EQ(at(st, "Navigation1").enabled, false);
    EXPECT_EQ(at(st, "Edit1").enabled, false);
    EXPECT_EQ(at(st, "TB_FILTER").enabled, false);
}

TEST(ControlState, SelectButtonFacesFollowTheirTags) {
    struct Case {
        int tag;
        bool folder;
        const char *hint, *caption;
        int image;
    } cases[] = {
        {0, true, " Select all newer files in left pane ", "new", 68},
        {256, false, " Select all different lines in right pane ", "diff", 69},
        {1, true, " Select all equal files in left pane ", "equal", 83},
        {257, false, " Select all equal lines in right pane ", "equal", 83},
        {2, false, " Select all items in left pane ", "all", 67},
        {260, true, " Deselect all items in right pane ", "none", 84},
    };
    for (const auto& c : cases) {
        const auto face = ui::selectButtonFace(c.tag, c.folder);
        EXPECT_EQ(face.hint, QLatin1String(c.hint));
        EXPECT_EQ(face.caption, QLatin1String(c.caption));
        EXPECT_EQ(face.image, c.image);
    }
}

TEST(ControlState, AppTitleNeverNarrowerThan215) {
    EXPECT_EQ(ui::appTitleWidth(1000, 500), 480);
    EXPECT_EQ(ui::appTitleWidth(600, 500), 215);
    EXPECT_EQ(ui::appTitleWidth(400, 500), 215);  // buttons reach past the edge
    EXPECT_EQ(ui::appTitleWidth(1000, 0), 215);   // no end button: no free width
    EXPECT_EQ(ui::titleEndButton(ui::vtFolder), "TB_DELETE");
    EXPECT_EQ(ui::titleEndButton(ui::vtBinary), "TB_PREVFILE");
    EXPECT_EQ(ui::titleEndButton(ui::vtImage), "TB_1to1");
    EXPECT_EQ(ui::titleEndButton(ui::vtText), "TB_UNDOR");
}

TEST(ControlState, FolderNavigationNeedsFewerDifferencesThanFilesAndAnOpenFilter) {
    struct Case {
        int diffs, filter;
        bool enabled;
    } cases[] = {{0, 0, false}, {2, 0, true}, {6, 0, false}, {2, 5, true}, {2, 6, true}, {2, 3, false}};
    for (const auto& c : cases) {
        TControlSnapshot s = folderView();
        s.diffCount = c.diffs;
        s.folderViewFilter = c.filter;
        const auto st = ui::controlState(s);
        EXPECT_EQ(at(st, "TB_DIFNEXT").enabled, c.enabled) << c.diffs << "/" << c.filter;
        EXPECT_EQ(at(st, "NextDifference1").enabled, c.enabled);
    }
}

// ---- menu popup rules -------------------------------------------------------

TEST(MenuRules, PerViewPopupStates) {
    struct Case {
        int view;
        bool hasRows;
        bool saveAs, replace, swap, visibleWS, ignore, orphans;
        const char *gotoCaption, *swapCaption, *copyCaption;
    } cases[] = {
        {ui::vtFree, false, true, false, false, false, false, false, " Go to Line...", "Swap files", "Copy"},
        {ui::vtFolder, true, false, false, true, false, false, true, " Go to Line...", "Swap folders",
         "Copy file name(s)"},
        {ui::vtText, true, true, true, true, true, true, true, " Go to Line...", "Swap files", "Copy"},
        {ui::vtBinary, true, false, false, true, true, false, true, " Go to Byte Address...", "Swap files", "Copy"},
        {ui::vtImage, false, true, false, false, false, false, false, " Go to Line...", "Swap files", "Copy"},
    };
    for (const auto& c : cases) {
        ui::TMenuSnapshot m;
        m.viewType = c.view;
        m.hasRows = c.hasRows;
        m.lineCounts = {0, 3, 3};
        m.selectAllEnabled = true;
        const auto file = ui::menuState("File1", m);
        const auto edit = ui::menuState("Edit1", m);
        const auto search = ui::menuState("Navigation1", m);
        const auto view = ui::menuState("mmVisibleTabs1", m);
        const auto options = ui::menuState("Options1", m);
        EXPECT_EQ(at(file, "SaveLeftFileAs1").enabled, c.saveAs) << c.view;
        EXPECT_EQ(at(search, "Replace1").enabled, c.replace) << c.view;
        EXPECT_EQ(at(search, "GotoLine1").caption, QLatin1String(c.gotoCaption));
        EXPECT_EQ(at(search, "Find1").enabled, c.hasRows);
        EXPECT_EQ(at(view, "mmSwapFiles1").enabled, c.swap) << c.view;
        EXPECT_EQ(at(view, "mmSwapFiles1").caption, QLatin1String(c.swapCaption));
        EXPECT_EQ(at(view, "miVisibleWS").enabled, c.visibleWS) << c.view;
        EXPECT_EQ(at(options, "mmIgnoreCase1").enabled, c.ignore) << c.view;
        EXPECT_EQ(at(edit, "Copy1").caption, QLatin1String(c.copyCaption));
        EXPECT_EQ(at(edit, "SelectAllOrphans").enabled, c.orphans) << c.view;
        EXPECT_EQ(at(edit, "Cut1").visible, c.view == ui::vtText);
    }
}

TEST(MenuRules, EditItemsFollowFocusSelectionAndClipboard) {
    ui::TMenuSnapshot m;
    m.viewType = ui::vtText;
    m.hasRows = true;
    auto edit = ui::menuState("Edit1", m);
    EXPECT_EQ(at(edit, "Copy1").enabled, false);
    EXPECT_EQ(at(edit, "Paste1").enabled, false);
    m.selectionExists = true;
    m.clipboardText = true;
    m.activeUndo = true;
    edit = ui::menuState("Edit1", m);
    EXPECT_EQ(at(edit, "Copy1").enabled, true);
    EXPECT_EQ(at(edit, "Cut1").enabled, true);
    EXPECT_EQ(at(edit, "Paste1").enabled, true);
    EXPECT_EQ(at(edit, "Undo1").enabled, true);
    m.detailsFocus = true;  // a details field takes the keys
    edit = ui::menuState("Edit1", m);
    EXPECT_EQ(at(edit, "Undo1").enabled, false);
    EXPECT_EQ(at(edit, "Cut1").visible, false);
    m.detailsFocus = false;
    m.singlePaneView = true;
    m.selectNewEnabled = true;
    EXPECT_EQ(at(ui::menuState("Edit1", m), "SelectAllNewer").enabled, false);
}

TEST(MenuRules, ViewAndOptionChecksFollowTheSettings) {
    ui::TMenuSnapshot m;
    m.viewType = ui::vtText;
    m.lineNumbers = false;
    m.diffBar = true;
    m.singlePaneView = true;
    m.ignoreCase = true;
    const auto view = ui::menuState("mmVisibleTabs1", m);
    EXPECT_EQ(at(view, "LineNumbers1").checked, false);
    EXPECT_EQ(at(view, "Thumbnailbar1").checked, true);
    EXPECT_EQ(at(view, "Thumbnailbar1").enabled, false);
    const auto options = ui::menuState("Options1", m);
    EXPECT_EQ(at(options, "mmIgnoreCase1").checked, true);
    EXPECT_EQ(at(options, "mmIgnoreWS1").checked, false);
}

// ---- differing rows ---------------------------------------------------------

class DifferingRows : public ::testing::Test {
protected:
    void SetUp() override { engine::testing::resetEngineState(); }
    void TearDown() override { engine::testing::resetEngineState(); }
};

TEST_F(DifferingRows, EachIgnoreOptionDecidesWhatCounts) {
    struct Case {
        const char* name;
        void (*set)(config::TAppSettings&);
        int count;
    } cases[] = {
        // Rows: case only, inner blanks, leading blanks, trailing blanks, a gap.
        {"nothing ignored", [](config::TAppSettings& s) { s.TCIgnAllBl = s.TCIgnTrailBl = false; }, 5},
        {"case", [](config::TAppSettings& s) { s.TCIgnAllBl = s.TCIgnTrailBl = false; s.TCIgnCase = true; }, 4},
        {"all blanks", [](config::TAppSettings& s) { s.TCIgnAllBl = true; }, 2},
        {"leading", [](config::TAppSettings& s) { s.TCIgnAllBl = s.TCIgnTrailBl = false; s.TCIgnLeadBl = true; }, 4},
        {"trailing", [](config::TAppSettings& s) { s.TCIgnAllBl = false; s.TCIgnTrailBl = true; }, 4},
    };
    for (const auto& c : cases) {
        config::AppSettings() = config::TAppSettings();
        c.set(config::AppSettings());
        engine::testing::loadPanes({"Hello", "a b", "  x", "y  ", "same", std::nullopt},
                                   {"hello", "ab", "x", "y", "same", "extra"});
        EXPECT_EQ(ui::markDifferingRows(), c.count) << c.name;
        EXPECT_FALSE(engine::rows().TextRowDiffers(4)) << c.name;
        // The comparison marked the case-only row; ignoring case clears it.
        EXPECT_EQ(engine::rows().TextRowDiffers(0), !config::AppSettings().TCIgnCase) << c.name;
        EXPECT_TRUE(engine::rows().TextRowDiffers(5)) << c.name;
    }
}

TEST_F(DifferingRows, IgnoredColumnsAreTakenFromTheFilesOwnColumns) {
    auto& s = config::AppSettings();
    auto& stores = engine::paneStores();
    stores.IgnoredColumnsActive = 1;
    stores.IgnoredColumns[3] = 1;
    engine::testing::loadPanes({"ab c d"}, {"abxcd"});
    s.TCIgnAllBl = true;
    EXPECT_EQ(ui::rowCompareText(1, 0), "abcd");
    EXPECT_EQ(ui::rowCompareText(2, 0), "abcd");
    EXPECT_EQ(ui::markDifferingRows(), 0);
    // Leading blanks go after the columns are blanked, so column 3 is the
    // file's column 3 and not the third character left after stripping.
    s.TCIgnAllBl = false;
    s.TCIgnLeadBl = true;
    s.TCIgnTrailBl = false;
    engine::testing::loadPanes({"  Xyz"}, {"  Qyz"});
    EXPECT_EQ(ui::rowCompareText(1, 0), "yz");
    EXPECT_EQ(ui::markDifferingRows(), 0);
}

}  // namespace

namespace {

TEST(PaneInfo, InformationLineByViewAndPane) {
    const quint64 time = 130000000000000000ull;
    const QString timeText = tandex::access::FZFileTimeText(time);
    ui::TPaneInfo text;
    text.fileName = "a.txt";
    text.size = 18;
    text.lineCount = 1234;
    text.fileKind = 8;
    text.lineEnding = 2;
    ui::TPaneInfo forced = text;
    forced.forcedKind = true;
    forced.fileTime = time;
    forced.lineEnding = 1;
    ui::TPaneInfo noSize = text;
    noSize.size = -1;
    ui::TPaneInfo image = text;
    image.image = true;
    image.width = 640;
    image.height = 480;
    image.bitsPerPixel = 24;
    image.frame = 1;
    image.frameCount = 3;
    ui::TPaneInfo folder;
    folder.folderView = true;
    folder.size = 2048;
    folder.fileTime = time;
    ui::TPaneInfo emptyFolder = folder;
    emptyFolder.size = -1;
    ui::TPaneInfo noName = text;
    noName.fileName.clear();
    struct Case {
        const char* name;
        ui::TPaneInfo pane;
        QString text;
    } cases[] = {
        {"text", text, tandex::config::FormatSizeShort(18) + "|1.234 Lines|U8|UNIX"},
        {"forced", forced, tandex::config::FormatSizeShort(18) + "|" + timeText + "|1.234 Lines|U8(F)|WIN"},
        {"no size", noSize, "1.234 Lines|U8|UNIX"},
        {"image", image, tandex::config::FormatSizeShort(18) + "|640 x 480 x 24|Frame 2 of 3"},
        {"folder", folder, tandex::config::FormatSizeShort(2048) + "|" + timeText},
        {"empty folder", emptyFolder, ""},
        {"no file", noName, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(ui::paneInfoText(c.pane), c.text) << c.name;
}

}  // namespace
