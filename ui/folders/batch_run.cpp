// The command-line jobs of the batch unit. A job runs the same loading and
// comparison as the window (the main window's loadAndCompare), so a script
// gets exactly the result a user would see; in a batch run that window is
// never shown and nothing asks a question. The result goes to the console,
// and the exit code tells it: 0 equal, 1 different, 2 and 3 the first or
// second file could not be opened, 9 invalid parameters or a text
// comparison cut at the row limit without a difference in its rows.

#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>

#include <algorithm>
#include <climits>
#include <memory>

#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/locations.h"
#include "batch_params.h"
#include "config/app_settings.h"
#include "config/num_format.h"
#include "console_out.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "engine/tab_slots.h"
#include "engine/text_compare.h"
#include "ui/main/image_compare.h"
#include "ui/main/main_window.h"
#include "ui/main/window_helpers.h"
#include "ui/folders/cmp_folder.h"
#include "ui/folders/folder_compare.h"
#include "ui/folders/folder_view_services.h"
#include "ui/main/folder_view_seam.h"

namespace tandex::folders {

QString BatchBanner() {
    return QStringLiteral("\nTandex ") + config::CurrentVersion() + QStringLiteral(" - compares files and folders\n");
}

QString BatchUsageText() {
    return QStringLiteral(R"(Commandline usage:
Tandex cmd f1 f2 [options]

   cmd f1      f2
    /?                  This helptext
    /f file1   file2    Compare file1 with file2
    /d folder1 folder2  Compare folder1 with folder2

 General options:
    /ld  = List Different lines/files/pixels
    /gui = Show the GUI

 Text Compare options:
    /ic = Ignore Case
    /iw = Ignore all White spaces
    /il = Ignore Leading white spaces
    /it = Ignore Trailing white spaces
    /ie = Ignore Empty lines
    /ifl:xx = Ignore First Lines, xx = ignored number of lines at start of file
    /ill:xx = Ignore Last Lines, xx = ignored number of lines at end of file
    /icr:xx = Ignore Column Ranges. Example: /icr:14-18;32-50;54
    /iic:"xx" = Ignore Inline Comments, xx = SPACE-separated list of inline
                comments. Example: /iic:"// /* REM"

 Image Compare options:
    /tol:xx = Set tolerated difference value, xx = 0..255

 Folder Compare options:
    /cs = Check Subfolders
    /cc = Compare Complete file content
    /ol = consider Only files in the Left folder
    /ia = Ignore (file) Attributes
    /it = Ignore (file) Timestamp
    /ip:"Include Patterns" = semicolon separated include pattern list
                             Example: /ip:"*.pas;p1*.ini"
    /ep:"Exclude Patterns" = semicolon separated exclude pattern list
                             Example: /ep:"*.bak;test*.~*"
    /ef:"Exclude Folders" =  semicolon separated exclude folders list
                             Example: /ef:"Temp;test*;dummy*"

Return values (DOS Error Levels set on exit):
    0 = Files or Folders are equal (no error)
    1 = Files or Folders are different
    2 = File1 or Folder1 not found
    3 = File2 or Folder2 not found
    9 = Invalid parameters
)");
}

void TBatchParams::RunBatch() {
    ConsoleWriteLn(BatchBanner());
    const QString command = GetParam(1);
    if (command == QLatin1String("/f")) {
        BatchCompareFiles();
    } else if (command == QLatin1String("/d")) {
        BatchCompareFolders(-2);
    } else {
        ConsoleWriteLn(BatchUsageText());
        exitCode_ = command == QLatin1String("/?") ? 0 : 9;
    }
    ConsoleDetach();
}

bool TBatchParams::SetBatchFile(int side, int n) {
    auto& stores = engine::paneStores();
    const auto p = size_t(side);
    SwitchPos = n;
    const QString operand = n >= 0 && n < kCmdParamCount ? CmdParams[size_t(n)] : QString();
    // Only "/" separates folders here: "\" and ":" are ordinary characters
    // of a Linux file name.
    const qsizetype cut = operand.lastIndexOf(QLatin1Char('/')) + 1;
    QString folder = operand.left(cut);
    if (folder.isEmpty()) {
        folder = QDir::currentPath();
        if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    }
    stores.FilePaths[p] = folder;
    stores.FileNames[p] = operand.mid(cut);
    return !stores.FilePaths[p].isEmpty() && !stores.FileNames[p].isEmpty();
}

void TBatchParams::WritePixelCounts() {
    if (!FindSwitch(QStringLiteral("/ld"))) return;
    qint32 same = 0, tolerated = 0, different = 0;
    ui::GetImageCompareCounts(same, tolerated, different);
    ConsoleWriteLn(QStringLiteral("-> Pixels: Same=") + config::IntToGroupedStr(same, 0, true) +
                   QStringLiteral(" | Tol=") + config::IntToGroupedStr(tolerated, 0, true) +
                   QStringLiteral(" | Diff=") + config::IntToGroupedStr(different, 0, true));
}

void TBatchParams::BatchCompareFiles() {
    auto& stores = engine::paneStores();
    if (!SetBatchFile(1, 2) || !SetBatchFile(2, 3)) {
        BatchError(QStringLiteral("Invalid Filename!"), SwitchPos);
        return;
    }
    const QString leftName = stores.FilePaths[1] + stores.FileNames[1];
    const QString rightName = stores.FilePaths[2] + stores.FileNames[2];

    auto& s = config::AppSettings();
    if (BatchMode()) {
        s.TCDifOnly = true;
        // The hex view shows only its differing rows too, so that "/ld"
        // lists those and not the first rows of the dump.
        s.BCDifOnly = true;
    }
    s.TCIgnCase = FindSwitch(QStringLiteral("/ic"));
    s.TCIgnAllBl = FindSwitch(QStringLiteral("/iw"));
    s.TCIgnLeadBl = FindSwitch(QStringLiteral("/il"));
    s.TCIgnTrailBl = FindSwitch(QStringLiteral("/it"));
    s.TCIgnEmptyLn = FindSwitch(QStringLiteral("/ie"));
    if (!FindIntSwitch(QStringLiteral("/tol"), 255, s.ICDifTol)) return;
    if (!FindIntSwitch(QStringLiteral("/ifl"), INT_MAX, s.TCIgnLnStart)) return;
    if (!FindIntSwitch(QStringLiteral("/ill"), INT_MAX, s.TCIgnLnEnd)) return;
    s.TCIgnColRange = FindSwitch(QStringLiteral("/icr"));
    if (s.TCIgnColRange) {
        if (!CheckSwitchChars(QStringLiteral("0123456789-;"))) {
            BatchError(QStringLiteral("Invalid paramter"), SwitchPos);
            return;
        }
        s.TCIgnColumns = SwitchValue;
    }
    s.TCIgnLineCom = FindSwitch(QStringLiteral("/iic"));
    if (s.TCIgnLineCom) s.TCIgnLnComPat = SwitchValue;

    auto* window = qobject_cast<ui::TF_Main*>(ui::MainForm());
    if (!window) {
        BatchError(QStringLiteral("The main window is missing"), 0);
        return;
    }
    window->loadAndCompare(3, QString(), QString());

    // The memos stand in hidden panels while the window is not shown (a
    // batch run), so they are asked relative to the window.
    for (int side = 1; side <= 2; ++side) {
        const QPlainTextEdit* memo = side == 1 ? window->M_LOpenErr : window->M_ROpenErr;
        if (!memo->isVisibleTo(window)) continue;
        ConsoleWriteLn(QStringLiteral("ERROR: File%1 (").arg(side) + (side == 1 ? leftName : rightName) +
                       QStringLiteral(") not found!"));
        // Negative: the text only, no message box.
        const int code = stores.FileErrors[size_t(side)];
        ConsoleWriteLn(QStringLiteral("ERROR: ") + access::FZErrorText(-qAbs(code), access::eoOpenRead));
        exitCode_ = side == 1 ? 2 : 3;
        return;
    }

    const auto& tabs = engine::fccTabs();
    const int count = tabs.GetTabDiffCount();
    const bool image = tabs.GetCurrentViewType() == engine::tvImage;
    if (count == 0 && !image && window->CompareCut()) {
        // Nothing differed in the rows the comparison holds, yet the files
        // go on past them: that is no verdict, and never "equal".
        ConsoleWriteLn(QStringLiteral("ERROR: ") + engine::RowLimitMessage());
        exitCode_ = 9;
        return;
    }
    if (count == 0) {
        ConsoleWriteLn(QStringLiteral("Files are equal"));
        if (image) WritePixelCounts();
        exitCode_ = 0;
        return;
    }
    exitCode_ = 1;
    if (image) {
        ConsoleWriteLn(QStringLiteral("Images are different!"));
        WritePixelCounts();
        return;
    }
    ConsoleWriteLn(QStringLiteral("Files are different: %1 different lines!").arg(count));
    if (!BatchMode() || !FindSwitch(QStringLiteral("/ld"))) return;
    ConsoleWriteLn(QStringLiteral("File1: ") + leftName);
    ConsoleWriteLn(QStringLiteral("File2: ") + rightName);
    const auto& r = engine::rows();
    for (int row = 0; row < count; ++row)
        for (int side = 1; side <= 2; ++side)
            ConsoleWriteLn(QString::number(side) + QStringLiteral(": ") + r.RowNumberText(side, row) +
                           QStringLiteral(": ") + (r.IsRowMissing(side, row) ? QString() : r.RowText(side, row)));
}

// "/ip", "/ep" and "/ef": the value of their own parameter only, so that a
// switch given without one never takes another switch's patterns.
QString TBatchParams::OwnSwitchValue(const QString& name, const QString& absent) {
    if (!FindSwitch(name)) return absent;
    const QString& param = CmdParams[size_t(SwitchPos)];
    const qsizetype colon = param.indexOf(u':');
    return colon < 0 ? absent : param.mid(colon + 1);
}

void TBatchParams::BatchCompareFolders(int mode) {
    auto& roots = engine::paneStores().FolderRoots;
    roots[1] = CmdParams[2];
    roots[2] = CmdParams[3];
    if (roots[1].isEmpty() || roots[2].isEmpty()) {
        BatchError(QStringLiteral("Invalid or missing foldername!"), 0);
        return;
    }
    auto* window = qobject_cast<ui::TF_Main*>(ui::MainForm());
    if (!window) {
        BatchError(QStringLiteral("The main window is missing"), 0);
        return;
    }
    // The folder window runs the job as it runs the user's comparisons. It
    // is made before the switches are set: making it applies the stored
    // session to the settings.
    std::unique_ptr<TFolderViewServices> own;
    auto* services = dynamic_cast<TFolderViewServices*>(&ui::folderView());
    if (!services) {
        own = std::make_unique<TFolderViewServices>(window);
        ui::setFolderView(own.get());
        services = own.get();
    }
    TCmpFolder& cmpFolder = *services->CmpFolder();
    const bool batch = mode == -2;
    auto& s = config::AppSettings();
    s.FCUseFPL = false;
    s.FCAutoClose = true;
    if (batch) {
        s.FCDifOnly = true;
        s.FCTreeView = false;
    }
    s.FCShowSize = s.FCShowDT = s.FCShowAttr = true;
    s.FCContent = FindSwitch(QStringLiteral("/cc")) ? cmWhole : cmNone;
    s.FCAttr = FindSwitch(QStringLiteral("/ia")) ? 0 : 7;
    s.FCDateTime = !FindSwitch(QStringLiteral("/it"));
    s.FCSubDir = FindSwitch(QStringLiteral("/cs"));
    s.FCChkBoth = !FindSwitch(QStringLiteral("/ol"));
    const QString include = OwnSwitchValue(QStringLiteral("/ip"), QStringLiteral("*"));
    const QString exclude = OwnSwitchValue(QStringLiteral("/ep"), QString());
    const QString excludedFolders = OwnSwitchValue(QStringLiteral("/ef"), QString());
    auto& view = engine::folderRows();
    view.UpdateInfoColumns();

    cmpFolder.CB_IncludePat->setEditText(include);
    cmpFolder.CB_ExcludePat->setEditText(exclude);
    cmpFolder.CB_FCExclFolders->setEditText(excludedFolders);
    FolderCompare().FCErrorCode = 0;
    engine::fccTabs().SetTabDiffCount(0);
    window->runFolderCompare(false, mode);
    if (own) ui::setFolderView(nullptr);
    const int count = engine::fccTabs().GetTabDiffCount();
    const int code = FolderCompare().FCErrorCode;
    if (code != 0) {
        ConsoleWriteLn(QStringLiteral("ERROR: ") + access::FZErrorText(-qAbs(code), access::eoNone));
        exitCode_ = 9;
        return;
    }
    exitCode_ = count > 0 ? 1 : 0;
    if (!batch) return;
    if (count == 0) {
        ConsoleWriteLn(QStringLiteral("Folders are equal"));
        return;
    }
    ConsoleWriteLn(QStringLiteral("Folders are NOT equal: %1 different files!").arg(count));
    if (!FindSwitch(QStringLiteral("/ld"))) return;
    ConsoleWriteLn(QStringLiteral("Folder1: ") + roots[1]);
    ConsoleWriteLn(QStringLiteral("Folder2: ") + roots[2]);
    // The flat list of differing files, as the folder view shows it.
    engine::paneStores().FolderMode = 1;
    view.TreeViewActive = 0;
    view.FolderViewFilter = 2;
    view.RebuildFolderRows();
    const auto& r = engine::rows();
    const int listed = std::min(count, view.FolderRowCount);
    for (int row = 0; row < listed; ++row)
        for (int side = 1; side <= 2; ++side)
            ConsoleWriteLn(QString::number(side) + QStringLiteral(": ") + r.RowNumberText(side, row) +
                           QStringLiteral(": ") + r.RowText(side, row));
}

}  // namespace tandex::folders
