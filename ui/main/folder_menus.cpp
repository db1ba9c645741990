#include "folder_menus.h"

#include "config/num_format.h"

namespace tandex::ui {

namespace {

constexpr int kCopyImageLeftToRight = 35, kCopyImageRightToLeft = 36;
constexpr int kDeleteImageOne = 31, kDeleteImageMany = 32;

QString sideName(int activePane) { return activePane == 1 ? QStringLiteral("right") : QStringLiteral("left"); }

TItemState item(bool enabled, bool visible = true) {
    TItemState st;
    st.enabled = enabled;
    st.visible = visible;
    return st;
}

// Copy and delete read alike on both menus.
void addCopyAndDelete(TControlState& out, const TFolderMenuSnapshot& s, const QString& copyName,
                      const QString& deleteName) {
    const QString count = FolderMenuCountText(s.files, s.all);
    TItemState copy = item(s.all > 0);
    copy.caption = QStringLiteral("Copy ") + count + QStringLiteral(" to ") + sideName(s.activePane) +
                   QStringLiteral("...");
    copy.image = s.activePane == 1 ? kCopyImageLeftToRight : kCopyImageRightToLeft;
    out[copyName] = copy;
    TItemState del = item(s.all > 0);
    del.caption = QStringLiteral("Delete ") + count + QStringLiteral("...");
    del.image = s.all > 1 ? kDeleteImageMany : kDeleteImageOne;
    out[deleteName] = del;
}

}  // namespace

QString FolderMenuCountText(int files, int all) {
    const int folders = all - files;
    if (files == 0) return config::CountText(QStringLiteral(" folder"), folders);
    if (folders == 0) return config::CountText(QStringLiteral(" file"), files);
    return QStringLiteral(" folders and files");
}

TControlState FolderMenuState(const TFolderMenuSnapshot& s) {
    TControlState out;
    addCopyAndDelete(out, s, QStringLiteral("pmCopyFolder"), QStringLiteral("pmDeleteFolder"));
    const bool oneFolder = s.all - s.files == 1;
    for (const char* name : {"pmCompareFolderTo1", "Selectallfilesinthisfolder1", "pmSelectAllInFolderAndSubfolders1",
                             "pmFolderProperties", "pmCloseAllSubFolders", "pmOpenAllSubFolders", "pmExploreFolder"})
        out[QLatin1String(name)] = item(oneFolder);
    out[QStringLiteral("pmCloseAllFolders")] = item(s.treeView);
    out[QStringLiteral("pmOpenAllFolders")] = item(s.treeView);
    return out;
}

TControlState FileMenuState(const TFolderMenuSnapshot& s) {
    TControlState out;
    const bool oneFile = s.files == 1;
    for (const char* name : {"pmFileProperties", "pmCompareFiles", "pmExploreFile", "pmCompareFileTo1"})
        out[QLatin1String(name)] = item(oneFile);
    out[QStringLiteral("pmOpenWithApp1")] = item(oneFile, s.launcher);
    addCopyAndDelete(out, s, QStringLiteral("pmCopyFile"), QStringLiteral("pmDeleteFile"));
    for (int n = 1; n <= 2; ++n) {
        // An empty setting falls back to the desktop's editor: with the
        // launcher there both items always have a program.
        TItemState external = item(oneFile && s.launcher, s.launcher);
        if (s.launcher) external.caption = s.externalCaptions[size_t(n)];
        out[QStringLiteral("pmOpeninexternalEditor1") + QString::number(n)] = external;
    }
    out[QStringLiteral("pmCloseAllFolders1")] = item(s.treeView);
    out[QStringLiteral("pmOpenAllFolders1")] = item(s.treeView);
    const bool archive = oneFile && s.rowIsArchive;
    out[QStringLiteral("pmBrowseArchive1")] = item(archive);
    out[QStringLiteral("pmCompareArchives")] = item(archive && s.rowOnBothSides);
    out[QStringLiteral("pmCompareArchiveTo1")] = item(archive);
    return out;
}

}  // namespace tandex::ui
