#include "main_window_state.h"

#include <algorithm>

#include "access/file_times.h"
#include "access/text_files.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "main_window_layout.h"

namespace tandex::ui {

namespace {

const QString kNewLeft = QStringLiteral("NewL.txt");
const QString kNewRight = QStringLiteral("NewR.txt");

bool untitled(const TControlSnapshot& s, int pane) {
    const QString& name = s.fileNames[size_t(pane)];
    return name.isEmpty() || name == (pane == 1 ? kNewLeft : kNewRight);
}

void enable(TControlState& st, const QString& name, bool on) { st[name].enabled = on; }
void show(TControlState& st, const QString& name, bool on) { st[name].visible = on; }

void setTool(TControlState& st, const QString& name, bool enabled, bool showHintDB) {
    const TItemState t = toolState(enabled, showHintDB);
    st[name].enabled = t.enabled;
    st[name].showHint = t.showHint;
}

void applyFace(TItemState& item, const TItemState& face) {
    item.hint = face.hint;
    item.caption = face.caption;
    item.image = face.image;
}

// Open buttons show where their pane's file comes from.
int openButtonImage(int accessKind) {
    switch (accessKind) {
    case 2: return 1;  // FTP
    case 3: return 2;  // archive
    case 4: return 3;  // cloud
    case 5: return 4;  // web page
    default: return 0;
    }
}

}  // namespace

TItemState selectButtonFace(int tag, bool folderView) {
    TItemState face;
    QString hint;
    switch (tag & 0xFF) {
    case 0:
        hint = folderView ? QStringLiteral(" Select all newer files in") : QStringLiteral(" Select all different lines in");
        face.caption = folderView ? QStringLiteral("new") : QStringLiteral("diff");
        face.image = folderView ? 68 : 69;
        break;
    case 1:
        hint = folderView ? QStringLiteral(" Select all equal files in") : QStringLiteral(" Select all equal lines in");
        face.caption = QStringLiteral("equal");
        face.image = 83;
        break;
    case 2:
        hint = QStringLiteral(" Select all items in");
        face.caption = QStringLiteral("all");
        face.image = 67;
        break;
    default:
        hint = QStringLiteral(" Deselect all items in");
        face.caption = QStringLiteral("none");
        face.image = 84;
        break;
    }
    face.hint = hint + ((tag & 0x100) ? QStringLiteral(" right pane ") : QStringLiteral(" left pane "));
    return face;
}

TItemState toolState(bool enabled, bool showHintDB) {
    TItemState t;
    t.enabled = enabled;
    t.showHint = showHintDB || enabled;
    return t;
}

QString filterItemCaption(int filter, bool folderView) {
    static const std::array<QString, 7> files{
        QStringLiteral(" Show all files "),      QStringLiteral(" Show equal files "),
        QStringLiteral(" Show different and orphaned files "), QStringLiteral(" Show different files "),
        QStringLiteral(" Show orphaned files "), QStringLiteral(" Hide different files "),
        QStringLiteral(" Hide orphaned files ")};
    static const std::array<QString, 7> lines{
        QStringLiteral(" Show all lines "),      QStringLiteral(" Show equal lines "),
        QStringLiteral(" Show different, inserted and deleted lines "), QStringLiteral(" Show different lines "),
        QStringLiteral(" Show inserted and deleted lines "), QStringLiteral(" Hide different lines "),
        QStringLiteral(" Hide inserted and deleted lines ")};
    if (filter < 0 || filter > 6) return {};
    return folderView ? files[size_t(filter)] : lines[size_t(filter)];
}

namespace {
constexpr std::array<int, 7> kFilterImages{16, 18, 26, 17, 19, 27, 20};
}

int filterImage(int filter) { return filter >= 0 && filter < 7 ? kFilterImages[size_t(filter)] : 16; }

int filterOfImage(int image) {
    const auto it = std::find(kFilterImages.begin(), kFilterImages.end(), image);
    return it == kFilterImages.end() ? -1 : int(it - kFilterImages.begin());
}

QString windowCaption(int filter, bool folderView) {
    if (filter < 1 || filter > 6) return QStringLiteral("Tandex");
    return QStringLiteral("Tandex  -  ") + filterItemCaption(filter, folderView);
}

QString closeViewCaption(int viewType, bool singlePaneView) {
    const QString word = viewType == vtImage    ? QStringLiteral("Image")
                         : viewType == vtBinary ? QStringLiteral("Binary")
                                                : QStringLiteral("Text");
    return singlePaneView ? QStringLiteral("Close \"%1 view\"").arg(word)
                          : QStringLiteral("Close \"%1 Compare\" view").arg(word);
}

QString copyHint(int selectedCount, bool folderView, int activePane, bool confirm) {
    const QString noun = folderView ? QStringLiteral("+ selected file") : QStringLiteral("+ selected line");
    return QStringLiteral(" Copy the ") + config::CountText(noun, selectedCount) + QStringLiteral(" to the ") +
           (activePane == 1 ? QStringLiteral("right") : QStringLiteral("left")) + QStringLiteral(" pane") +
           (confirm ? QStringLiteral("...") : QString()) + QLatin1Char(' ');
}

QString stepFileHint(bool next, bool singlePaneView, const QString& target) {
    QString hint = (singlePaneView ? QStringLiteral(" Load the ") : QStringLiteral(" Load & compare the ")) +
                   (next ? QStringLiteral("next") : QStringLiteral("previous")) +
                   (singlePaneView ? QStringLiteral(" file") : QStringLiteral(" file pair")) +
                   QStringLiteral(" from a Folder Compare view:    Ctrl+") +
                   (next ? QLatin1Char('N') : QLatin1Char('B')) + QLatin1Char(' ');
    if (!target.isEmpty()) hint += QStringLiteral("\n ") + target + QLatin1Char(' ');
    return hint;
}

bool fileSteppingPossible(const TControlSnapshot& s) {
    return s.folderListPos < s.folderRowCount - 1 && s.viewType != vtFree && s.viewType != vtFolder &&
           s.folderTabExists;
}

QString titleEndButton(int viewType) {
    switch (viewType) {
    case vtFolder: return QStringLiteral("TB_DELETE");
    case vtBinary: return QStringLiteral("TB_PREVFILE");
    case vtImage: return QStringLiteral("TB_1to1");
    case vtText: return QStringLiteral("TB_UNDOR");
    default: return {};
    }
}

int appTitleWidth(int toolbarWidth, int endButtonRight) {
    const int free = endButtonRight > 0 ? toolbarWidth - endButtonRight : 0;
    return std::max(free - 20, 215);
}

TControlState controlState(const TControlSnapshot& s) {
    TControlState st;
    const bool folder = s.viewType == vtFolder, image = s.viewType == vtImage, text = s.viewType == vtText;
    const bool freeView = s.viewType == vtFree;
    const bool single = s.singlePaneView;
    const int I = s.selectedCount;

    // 1
    st[QStringLiteral("hScrollBar")].hint = image ? QStringLiteral(" Image zoom ") : QString();
    if (single) st[QStringLiteral("eLine2")].caption = QString();
    for (const char* name : {"pmInRightPane1", "SelectallDifLines1", "Selectalladdedlines1"})
        enable(st, QLatin1String(name), !single);
    // 2
    for (const char* name : {"TB_Sep3", "TB_NEXTFILE", "TB_PREVFILE"}) show(st, QLatin1String(name), !folder);
    const bool undoShown = !s.binaryMode && (s.caretViewActive || !s.tabInUse);
    for (const char* name : {"TB_Sep4", "TB_UNDOL", "TB_UNDOR"}) show(st, QLatin1String(name), undoShown);
    // 3
    for (int i = 0; i < 4; ++i) applyFace(st[kSelectButtonNames[size_t(i)]], selectButtonFace(s.selectTags[size_t(i)], folder));
    for (const char* name : {"fbLSelNew", "fbRSelNew", "fbSaveFileL", "fbSaveFileR"}) show(st, QLatin1String(name), !image);
    if (image)
        for (const char* name : {"fbLSelAll", "fbRSelAll"}) {
            auto& b = st[QLatin1String(name)];
            b.hint = QStringLiteral(" Show prev/next icon frame ");
            b.caption.reset();
            b.image.reset();
        }
    enable(st, QStringLiteral("Navigation1"), !image);
    // 4
    enable(st, QStringLiteral("fbRSelNew"), !freeView);
    enable(st, QStringLiteral("fbLSelNew"), !freeView && !single);
    enable(st, QStringLiteral("fbSaveFileL"), text);
    enable(st, QStringLiteral("fbSaveFileR"), text);
    setTool(st, QStringLiteral("TB_FILTER"), s.tabInUse, s.showHintDB);
    setTool(st, QStringLiteral("TB_VIEWMODE"), s.tabInUse, s.showHintDB);
    // 5
    show(st, QStringLiteral("fbSWAP"), !single);
    if (!single)
        enable(st, QStringLiteral("fbSWAP"),
               (s.rowCount > 0 || image) && (folder || (s.fileSizes[1] != -2 && s.fileSizes[2] != -2)));
    show(st, QStringLiteral("TB_COLLAPSE"), folder);
    enable(st, QStringLiteral("fbAlignDetails"), !folder && s.viewType != vtBinary);
    st[QStringLiteral("fbOpenFolderL")].image = openButtonImage(s.accessKinds[1]);
    st[QStringLiteral("fbOpenFolderR")].image = openButtonImage(s.accessKinds[2]);

    const QStringList navigation{QStringLiteral("FirstDifference1"), QStringLiteral("NextDifference1"),
                                 QStringLiteral("PrevDifference1"), QStringLiteral("LastDifference1")};
    auto setNavigation = [&](bool on) {
        setTool(st, QStringLiteral("TB_DIFNEXT"), on, s.showHintDB);
        setTool(st, QStringLiteral("TB_DIFPREV"), on, s.showHintDB);
        for (const QString& name : navigation) enable(st, name, on);
    };

    if (folder) {
        // 6
        for (int f = 0; f < 7; ++f) st[kFilterItemNames[size_t(f)]].hint = filterItemCaption(f, true);
        st[QStringLiteral("SelectAllNewer")].caption = QStringLiteral("Select all newer files");
        st[QStringLiteral("SelectAllNewer")].image = 68;
        st[QStringLiteral("SelectAllOrphans")].caption = QStringLiteral("Select all orphaned files");
        auto& hex = st[QStringLiteral("TB_HEX")];
        hex.image = 21;
        hex.visible = s.fcTreeView;
        show(st, QStringLiteral("TB_COLLAPSE"), s.fcTreeView);
        st[QStringLiteral("TB_RELOAD")].hint = QStringLiteral(" Recompare folders   (F5) ");
        auto& mode = st[QStringLiteral("TB_VIEWMODE")];
        if (s.fcTreeView) {
            mode.image = 14;
            mode.hint = QStringLiteral(" Switch to list view ");
            hex.hint = QStringLiteral(" Expand all folders ");
            setTool(st, QStringLiteral("TB_HEX"), s.folderCount > 0, s.showHintDB);
            setTool(st, QStringLiteral("TB_COLLAPSE"), s.folderCount > 0, s.showHintDB);
        } else {
            mode.image = 13;
            mode.hint = QStringLiteral(" Switch to tree view ");
        }
        setTool(st, QStringLiteral("TB_VIEWMODE"), true, s.showHintDB);
        setTool(st, QStringLiteral("TB_FILTER"), s.storeEntryCount > 0, s.showHintDB);
        setTool(st, QStringLiteral("TB_RELOAD"), s.storeEntryCount > 0, s.showHintDB);
        st[QStringLiteral("F_Main")].caption = windowCaption(s.folderViewFilter, true);
        const int f = s.folderViewFilter;
        setNavigation(s.diffCount >= 1 && s.diffCount < s.fileEntryCount && (f == 0 || f == 5 || f == 6));
        auto& del = st[QStringLiteral("TB_DELETE")];
        del.visible = true;
        setTool(st, QStringLiteral("TB_DELETE"), I > 0, s.showHintDB);
        del.image = I == 1 ? 8 : 9;
        del.hint = I == 1 ? QStringLiteral(" Delete selected file... ") : QStringLiteral(" Delete selected files... ");
        setTool(st, QStringLiteral("TB_COPYTO"), I > 0 && s.caretRowResult != 4, s.showHintDB);
        for (const QString& name : kSelectButtonNames) enable(st, name, s.rowCount > 0);
    } else {
        // 7
        if (image) {
            setTool(st, QStringLiteral("TB_FILTER"), false, s.showHintDB);
        } else {
            if (undoShown) {
                setTool(st, QStringLiteral("TB_UNDOL"), s.teEnabled && s.hasUndo[1], s.showHintDB);
                setTool(st, QStringLiteral("TB_UNDOR"), s.teEnabled && s.hasUndo[2], s.showHintDB);
            }
            for (int f = 0; f < 7; ++f) st[kFilterItemNames[size_t(f)]].hint = filterItemCaption(f, false);
            setTool(st, QStringLiteral("TB_FILTER"), !single && s.tabInUse, s.showHintDB);
            st[QStringLiteral("F_Main")].caption =
                windowCaption(s.binaryMode ? s.binaryViewFilter : s.textViewFilter, false);
            st[QStringLiteral("SelectAllNewer")].caption = QStringLiteral("Select all different lines");
            st[QStringLiteral("SelectAllNewer")].image = 69;
            st[QStringLiteral("SelectAllOrphans")].caption = QStringLiteral("Select all additional lines");
            if (s.fileNames[1].isEmpty() || s.fileNames[2].isEmpty()) {
                enable(st, QStringLiteral("fbLSelNew"), false);
                enable(st, QStringLiteral("fbRSelNew"), false);
            }
        }
        auto& hex = st[QStringLiteral("TB_HEX")];
        hex.hint = QStringLiteral(" Compare the current files in HEX mode (Binary Compare) ");
        hex.image = 3;
        hex.visible = true;
        setTool(st, QStringLiteral("TB_HEX"), !s.binaryMode && s.tabInUse && !(untitled(s, 1) && untitled(s, 2)),
                s.showHintDB);

        const bool stepping = fileSteppingPossible(s);
        setTool(st, QStringLiteral("TB_PREVFILE"), stepping && !s.prevFileName.isEmpty(), s.showHintDB);
        setTool(st, QStringLiteral("TB_NEXTFILE"), stepping && !s.nextFileName.isEmpty(), s.showHintDB);
        st[QStringLiteral("TB_PREVFILE")].hint = stepFileHint(false, single, stepping ? s.prevFileName : QString());
        st[QStringLiteral("TB_NEXTFILE")].hint = stepFileHint(true, single, stepping ? s.nextFileName : QString());

        auto& mode = st[QStringLiteral("TB_VIEWMODE")];
        if (text) setTool(st, QStringLiteral("TB_VIEWMODE"), s.leftHasDisplayPath && s.textViewFilter == 0, s.showHintDB);
        if (s.viewType == vtBinary)
            setTool(st, QStringLiteral("TB_VIEWMODE"), s.leftHasDisplayPath && s.binaryViewFilter == 0, s.showHintDB);
        mode.image = single ? 15 : 2;
        mode.hint = single ? QStringLiteral(" Switch to \"File Compare\" mode ")
                           : QStringLiteral(" Switch to \"File View\" mode ");
        setTool(st, QStringLiteral("TB_RELOAD"), s.tabInUse && mode.enabled.value_or(false), s.showHintDB);
        st[QStringLiteral("TB_RELOAD")].hint =
            single ? QStringLiteral(" Reload file   (F5) ") : QStringLiteral(" Reload & compare files    F5 ");
        setNavigation(s.diffCount >= 1 && s.diffCount < s.rowCount && !single);
        show(st, QStringLiteral("TB_DELETE"), false);
        st[QStringLiteral("pmCloseView")].caption = closeViewCaption(s.viewType, single);
        setTool(st, QStringLiteral("TB_COPYTO"), I >= 1 && !s.binaryMode && !single && !image, s.showHintDB);
        // updateSaveCommands: a pane is saved from the text view, once it holds lines.
        enable(st, QStringLiteral("fbSaveFileL"), text && s.lineCounts[1] > 0);
        enable(st, QStringLiteral("fbSaveFileR"), text && s.lineCounts[2] > 0);
        enable(st, QStringLiteral("fbLSelAll"), (!freeView && !image) || (image && s.extraFrames[1] > 0));
        enable(st, QStringLiteral("fbRSelAll"), (!freeView && !image) || (image && s.extraFrames[2] > 0));
    }
    // 8
    const int shown = filterOfImage(s.filterImage);
    if (shown >= 0) st[QStringLiteral("TB_FILTER")].hint = filterItemCaption(shown, folder);
    // 9
    enable(st, QStringLiteral("Edit1"), !image);
    if (!image) {
        auto& copy = st[QStringLiteral("TB_COPYTO")];
        copy.image = s.activePane == 2 ? 7 : 6;
        copy.hint = copyHint(I, folder, s.activePane, s.cfCopyLines);
    }
    // 10
    show(st, QStringLiteral("TB_1to1"), image);
    return st;
}

// ---- menus ------------------------------------------------------------------

TControlState menuState(const QString& menu, const TMenuSnapshot& s) {
    TControlState st;
    const bool folder = s.viewType == vtFolder, text = s.viewType == vtText, binary = s.viewType == vtBinary;
    if (menu == QLatin1String("File1")) {
        const bool lines = !folder && !binary;
        enable(st, QStringLiteral("SaveLeftFileAs1"), lines && s.lineCounts[1] > 0);
        enable(st, QStringLiteral("SaveRightFileAs1"), lines && s.lineCounts[2] > 0);
    } else if (menu == QLatin1String("Edit1")) {
        const bool copyOn = s.detailsFocus || s.selectionExists || s.helpTextFocus;
        auto& copy = st[QStringLiteral("Copy1")];
        copy.caption = folder ? QStringLiteral("Copy file name(s)") : QStringLiteral("Copy");
        copy.enabled = copyOn;
        enable(st, QStringLiteral("Undo1"), s.activeUndo && !s.detailsFocus);
        const bool editing = text && !s.detailsFocus;
        for (const char* name : {"Cut1", "Paste1", "Delete1"}) show(st, QLatin1String(name), editing);
        if (editing) {
            enable(st, QStringLiteral("Cut1"), copyOn);
            enable(st, QStringLiteral("Paste1"), s.clipboardText);
        }
        const bool find = s.hasRows;
        enable(st, QStringLiteral("Selectalllines1"), find && s.selectAllEnabled);
        enable(st, QStringLiteral("SelectAllNewer"), find && !s.singlePaneView && s.selectNewEnabled);
        const bool orphans = find && s.viewType != vtFree && s.viewType != vtImage;
        enable(st, QStringLiteral("SelectAllOrphans"), orphans);
        enable(st, QStringLiteral("InvertSelection"), orphans);
    } else if (menu == QLatin1String("Navigation1")) {
        enable(st, QStringLiteral("Find1"), s.hasRows);
        enable(st, QStringLiteral("FindNext1"), s.hasRows && s.searchTextExists);
        enable(st, QStringLiteral("Replace1"), text);
        auto& go = st[QStringLiteral("GotoLine1")];
        go.caption = binary ? QStringLiteral(" Go to Byte Address...") : QStringLiteral(" Go to Line...");
        go.enabled = s.hasRows;
    } else if (menu == QLatin1String("mmVisibleTabs1")) {
        auto& swap = st[QStringLiteral("mmSwapFiles1")];
        swap.enabled = s.hasRows;
        swap.caption = folder ? QStringLiteral("Swap folders") : QStringLiteral("Swap files");
        st[QStringLiteral("LineNumbers1")].checked = s.lineNumbers;
        st[QStringLiteral("Thumbnailbar1")].checked = s.diffBar;
        enable(st, QStringLiteral("Thumbnailbar1"), !s.singlePaneView);
        st[QStringLiteral("Statusbar1")].checked = s.statusBar;
        st[QStringLiteral("mmDetailsPanel1")].checked = s.detailPanel;
        st[QStringLiteral("miVisibleWS")].checked = s.visibleWS;
        st[QStringLiteral("mmVisibleTabs")].checked = s.visibleTabs;
        enable(st, QStringLiteral("miVisibleWS"), text || binary);
        enable(st, QStringLiteral("mmVisibleTabs"), text || binary);
    } else if (menu == QLatin1String("Options1")) {
        const std::pair<const char*, bool> items[] = {
            {"mmIgnoreWS1", s.ignoreAllBlanks}, {"mmIgnoreCase1", s.ignoreCase}, {"mmIgnoreEmptyLines1", s.ignoreEmptyLines}};
        for (const auto& [name, on] : items) {
            st[QLatin1String(name)].checked = on;
            enable(st, QLatin1String(name), text);
        }
    }
    return st;
}

// ---- head fields ------------------------------------------------------------

QString paneInfoText(const TPaneInfo& p) {
    if (p.folderView ? p.size < 0 : p.fileName.isEmpty()) return {};
    QString text;
    if (p.size >= 0) {
        config::TNumStyle style;
        style.Kind = 3;
        text = config::FormatInt64Styled(p.size, style) + QLatin1Char('|');
    }
    // An unset time is 0 here, or a day of 1899 where a time came from a
    // day count.
    const QString time = p.fileTime ? access::FZFileTimeText(p.fileTime) : QString();
    if (!time.isEmpty() && !time.contains(QLatin1String(".1899"))) text += time;
    // A part that is missing leaves no empty field behind.
    auto separate = [&text] {
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('|'))) text += QLatin1Char('|');
    };
    if (p.folderView) {
        if (text.endsWith(QLatin1Char('|'))) text.chop(1);
        return text;
    }
    if (p.image) {
        separate();
        text += QString::number(p.width) + QStringLiteral(" x ") + QString::number(p.height);
        if (p.bitsPerPixel > 0) text += QStringLiteral(" x ") + QString::number(p.bitsPerPixel);
        if (p.frameCount > 1)
            text += QStringLiteral("|Frame ") + QString::number(p.frame + 1) + QStringLiteral(" of ") +
                    QString::number(p.frameCount);
        return text;
    }
    separate();
    text += config::IntToGroupedStr(p.lineCount, 0, true) + QStringLiteral(" Lines|") +
            access::FZFileKindName(p.fileKind);
    if (p.forcedKind) text += QStringLiteral("(F)");
    static const char* endings[] = {"", "|WIN", "|UNIX", "|MAC"};
    if (p.lineEnding >= 1 && p.lineEnding <= 3) text += QLatin1String(endings[p.lineEnding]);
    return text;
}

// ---- differing rows ---------------------------------------------------------

QString rowCompareText(int pane, int row) {
    const auto& stores = engine::paneStores();
    QString text = engine::rows().RowPlainText(pane, row);
    if (stores.BinaryMode) return text;
    const auto& s = config::AppSettings();
    const bool masked = stores.IgnoredColumnsActive != 0;
    auto ignoredColumn = [&](qsizetype i) {
        return masked && i + 1 <= engine::kMaskColumns && stores.IgnoredColumns[size_t(i + 1)] != 0;
    };
    if (s.TCIgnAllBl) {
        QString kept;
        kept.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i)
            if (text[i] != u' ' && !ignoredColumn(i)) kept += text[i];
        text = kept;
    } else {
        // Columns are the file's own: they are blanked before any blank is
        // stripped, which would shift them.
        for (qsizetype i = 0; i < text.size(); ++i)
            if (ignoredColumn(i)) text[i] = u' ';
        if (s.TCIgnLeadBl) {
            qsizetype first = 0;
            while (first < text.size() && text[first] == u' ') ++first;
            text.remove(0, first);
        }
        if (s.TCIgnTrailBl) {
            qsizetype end = text.size();
            while (end > 0 && text[end - 1] == u' ') --end;
            text.truncate(end);
        }
    }
    if (s.TCIgnCase) text = text.toLower();
    return text;
}

int markDifferingRows() {
    auto& r = engine::rows();
    const int rowCount = engine::paneStores().BinaryMode ? r.BinaryRowCount : r.TextRowCount;
    int count = 0;
    for (int row = 0; row < rowCount; ++row) {
        // A row an edit made equal loses its mark, or the count and the
        // marks would disagree.
        const bool differs =
            r.IsGapLine(1, row) || r.IsGapLine(2, row) || rowCompareText(1, row) != rowCompareText(2, row);
        r.SetRowDiffers(row, differs);
        if (differs) ++count;
    }
    return count;
}

}  // namespace tandex::ui
