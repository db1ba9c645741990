// The main window's commands on a pane's file: its properties dialog and
// the three callbacks through which the dialog reports changes, locating
// the file in the file manager, and the file-name fields' menu that
// locates the file or copies its path; opening the file in an external
// program.

#include "main_window.h"
#include "main_window_files.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QUrl>

#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/locations.h"
#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "engine/editor.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"
#include "engine/rows.h"
#include "ui/main/command_windows.h"
#include "ui/main/file_properties.h"
#include "ui/main/flat_button.h"


namespace tandex::ui {

namespace {

constexpr int kOpProperties = 19;

TColor ToTColor(const QColor& c) {
    return TColor(c.red()) | (TColor(c.green()) << 8) | (TColor(c.blue()) << 16);
}

void SetFieldColor(QLineEdit* field, TColor color) {
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, ToQColor(color));
    field->setPalette(palette);
}

int PaneOfSender(QObject* sender) {
    return sender && sender->property("Tag").toInt() == 2 ? 2 : 1;
}

// Tells the window when the mouse enters or leaves a file-name field.
class FileNameFieldWatcher : public QObject {
public:
    explicit FileNameFieldWatcher(TF_Main* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Enter) window_->eFNMouseEnter(watched);
        if (event->type() == QEvent::Leave) window_->eFNMouseLeave(watched);
        if (event->type() == QEvent::ContextMenu && watched->property("FNMenu").toBool()) {
            const QPoint at = static_cast<QContextMenuEvent*>(event)->globalPos();
            window_->menuPopupPos = at;
            window_->pmFNEdit->popup(at);
            return true;
        }
        return false;
    }

private:
    TF_Main* window_;
};

}  // namespace

QString LocateFolder(const QString& path, bool isFolder) {
    if (path.isEmpty()) return {};
    // The file manager cannot look into an archive: it shows the archive
    // file instead.
    if (access::FZFindArchiveInPath(path, 0)) {
        QString archiveFile;
        access::FZArchiveFilePath(path, archiveFile);
        while (archiveFile.endsWith(QLatin1Char('/'))) archiveFile.chop(1);
        if (!archiveFile.isEmpty() && archiveFile != path) return LocateFolder(archiveFile, false);
    }
    const access::TFZLocation location = access::FZClassifyPath(path);
    if (location != access::locLocal && location != access::locShare) return {};
    if (access::FZExistsPath(path) != 0) return {};
    QString local;
    if (!access::FZLocalPathOf(path, local)) return {};
    if (isFolder) return access::FZNormalizedFolder(local);
    const int cut = local.lastIndexOf(QLatin1Char('/'));
    return cut <= 0 ? QStringLiteral("/") : local.left(cut + 1);
}

void OpenInFileManager(const QString& folder) {
    if (!folder.isEmpty()) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void TF_Main::createFileNameMenu() {
    pmFNEdit = new QMenu(this);
    pmFNEdit->setObjectName(QStringLiteral("pmFNEdit"));
    pmOpenContainingFolder = pmFNEdit->addAction(QStringLiteral("Locate file in Explorer"));
    pmOpenContainingFolder->setObjectName(QStringLiteral("pmOpenContainingFolder"));
    connect(pmOpenContainingFolder, &QAction::triggered, this,
            [this] { pmOpenContainingFolderClick(pmOpenContainingFolder); });
    pmCopyFilePathName = pmFNEdit->addAction(QStringLiteral("Copy path to clipboard"));
    pmCopyFilePathName->setObjectName(QStringLiteral("pmCopyFilePathName"));
    connect(pmCopyFilePathName, &QAction::triggered, this,
            [this] { pmCopyFilePathNameClick(pmCopyFilePathName); });
    auto* watcher = new FileNameFieldWatcher(this);
    eFN1->setProperty("Tag", 1);
    eFN2->setProperty("Tag", 2);
    for (QLineEdit* field : {eFN1, eFN2}) field->installEventFilter(watcher);
}

void TF_Main::setFNMenuTarget(int pane) {
    for (QAction* item : {pmOpenContainingFolder, pmCopyFilePathName}) item->setProperty("Tag", pane);
    pmOpenContainingFolder->setText(viewType_ == vtFolder ? QStringLiteral("Locate folder in Explorer")
                                                          : QStringLiteral("Locate file in Explorer"));
}

void TF_Main::eFNMouseEnter(QObject* sender) {
    auto* field = qobject_cast<QLineEdit*>(sender);
    if (!field || field->hasFocus()) return;
    const QPalette info = pAI1->palette();
    SetFieldColor(field, config::BlendColors(ToTColor(info.color(pAI1->backgroundRole())),
                                             ToTColor(info.color(pAI1->foregroundRole())), 24));
    field->setProperty("FNMenu", true);
    setFNMenuTarget(PaneOfSender(field));
}

void TF_Main::eFNMouseLeave(QObject* sender) {
    auto* field = qobject_cast<QLineEdit*>(sender);
    if (!field || field->hasFocus()) return;
    SetFieldColor(field, ToTColor(pAI1->palette().color(pAI1->backgroundRole())));
    if (fbLoad->property("Tag").toInt() == PaneOfSender(field)) fbLoad->hide();
}

void TF_Main::pmCopyFilePathNameClick(QObject* sender) {
    QGuiApplication::clipboard()->setText(engine::paneStores().SideDisplayPath(PaneOfSender(sender)));
}

void TF_Main::pmOpenContainingFolderClick(QObject* sender) {
    const int pane = PaneOfSender(sender);
    setActivePane(viewType_, pane);
    if (viewType_ != vtFolder) {
        pmExploreFolderClick(sender);
        return;
    }
    const QString root = engine::paneStores().FolderRoots[size_t(pane)];
    if (!root.isEmpty() && access::FZCheckPath(access::FZNormalizedFolder(root)) == 0)
        OpenInFileManager(LocateFolder(root, true));
}

QString TF_Main::caretRowPath() const {
    const int row = engine::editor().Caret.Row;
    const auto& f = engine::folderRows();
    if (row < 0 || row >= f.FolderRowCount) return {};
    const int pane = getActivePane(vtFolder);
    return engine::paneStores().FolderRoots[size_t(pane)] + f.FolderRowPath(pane, row);
}

void TF_Main::pmExploreFolderClick(QObject* sender) {
    pickMode(2);
    if (viewType_ != vtFolder) {
        const int pane = getActivePane(viewType_);
        OpenInFileManager(LocateFolder(engine::paneStores().SideDisplayPath(pane), false));
        return;
    }
    // A file row's file is selected in its folder; a folder row's folder
    // is opened.
    OpenInFileManager(LocateFolder(caretRowPath(), sender == pmExploreFolder));
}

void TF_Main::pmOpeninexternalEditor11Click(QObject* sender) {
    if (!sender) return;
    const int kind = sender->property("Tag").toInt();
    QString path;
    if (viewType_ == vtFolder) {
        const int row = engine::editor().Caret.Row;
        const auto& f = engine::folderRows();
        if (row < 0 || row >= f.FolderRowCount || f.RowFolderState(row) != 0) return;
        const int pane = getActivePane(vtFolder);
        path = engine::paneStores().FolderRoots[size_t(pane)] + engine::rows().RowCopyText(pane, row);
    } else {
        const int pane = getActivePane(viewType_);
        if (engine::paneStores().FileNames[size_t(pane)].isEmpty()) return;
        path = engine::paneStores().SideFileName(pane);
    }
    const QString error = commandWindows().RunExternalProgram(kind, path);
    if (!error.isEmpty()) config::showMessage(QStringLiteral("Tandex"), error, config::MsgKind::Error);
}

void TF_Main::pmFilePropertiesClick(QObject* sender) {
    pickMode(2);
    QString path;
    int row = -1;
    bool folder = false;
    if (viewType_ == vtFolder) {
        row = engine::editor().Caret.Row;
        path = caretRowPath();
        if (path.isEmpty()) return;
        folder = sender == pmFolderProperties;
    } else {
        const int pane = getActivePane(viewType_);
        path = engine::paneStores().SideFileName(pane);
        if (engine::paneStores().FileNames[size_t(pane)].isEmpty()) return;
    }
    if (!fProperties) {
        fProperties = new TfProperties(this);
        fProperties->OnRenamed = [this](int row, const QString& name) { propertiesRenamed(row, name); };
        fProperties->OnTimeChanged = [this](int row, access::FileTime time) { propertiesTimeChanged(row, time); };
        fProperties->OnAttributesChanged = [this](int row, quint32 attributes) {
            propertiesAttrChanged(row, attributes);
        };
        // The count of a folder lets events through: the window is busy
        // meanwhile.
        fProperties->OnCounting = [this](bool counting) { busyDepth_ += counting ? 1 : -1; };
        const QList<QImage>* icons = ImageList(16);
        if (icons && icons->size() > 28) fProperties->setWindowIcon(QIcon(QPixmap::fromImage(icons->at(28))));
    }
    // A file of the text view has no folder row (-1).
    fProperties->Execute(menuPopupPos, row, path, folder);
}

void TF_Main::propertiesRenamed(int row, const QString& name) {
    auto& stores = engine::paneStores();
    if (viewType_ != vtFolder) {
        const int pane = getActivePane(viewType_);
        stores.FileNames[size_t(pane)] = name;
        showFileNames();
    }
    if (row < 0) return;
    auto& f = engine::folderRows();
    const int pane = getActivePane(vtFolder);
    if (!f.RenameFolderEntry(pane, row, name)) return;
    auto nameOf = [&f, row](int side) {
        const QString path = f.FolderRowPath(side, row);
        return path.mid(path.lastIndexOf(u'/') + 1);
    };
    markFolderRowResult(4, row, nameOf(1) != nameOf(2), true);
    if (viewType_ == vtFolder) {
        refreshSelection();
        updateControls();
    }
}

void TF_Main::propertiesTimeChanged(int row, quint64 time) {
    auto& stores = engine::paneStores();
    if (row >= 0) {
        const int pane = getActivePane(vtFolder);
        const int entry = engine::folderRows().FolderRowEntry(row);
        engine::TFolderEntry* e = stores.FolderEntries[size_t(pane)][entry];
        if (entry < 0 || e->Empty) return;
        e->Time = time;
        const engine::TFolderEntry* other = stores.FolderEntries[size_t(engine::PaneStores::OtherSide(pane))][entry];
        const bool differ = other->Empty || access::FZCompareFileTimes(e->Time, other->Time) != 0;
        markFolderRowResult(3, row, differ, config::AppSettings().FCDateTime);
        if (viewType_ == vtFolder) refreshSelection();
        return;
    }
    if (viewType_ == vtFolder) return;
    const int pane = getActivePane(viewType_);
    qint64 size = 0;
    access::TFZFileInfo info;
    if (const int r = access::FZGetPathFileTime(stores.SideDisplayPath(pane), size, info)) {
        access::FZErrorText(r, kOpProperties);
        return;
    }
    stores.FileSizes[size_t(pane)] = size;
    stores.FileTimes[size_t(pane)] = info.LastWriteTime;
    refreshView();
}

void TF_Main::propertiesAttrChanged(int row, quint32 attributes) {
    // Only folder rows keep attributes; a pane's file shows none.
    if (row < 0) return;
    auto& stores = engine::paneStores();
    const int pane = getActivePane(vtFolder);
    const int entry = engine::folderRows().FolderRowEntry(row);
    engine::TFolderEntry* e = stores.FolderEntries[size_t(pane)][entry];
    if (entry < 0 || e->Empty) return;
    e->Attributes = attributes;
    // Read-only, hidden and system count; the archive bit never does.
    constexpr quint32 kCompared = 7;
    const engine::TFolderEntry* other = stores.FolderEntries[size_t(engine::PaneStores::OtherSide(pane))][entry];
    const bool differ = (e->Attributes & kCompared) != (other->Attributes & kCompared);
    markFolderRowResult(1, row, differ, config::AppSettings().FCAttr != 0);
    if (viewType_ == vtFolder) refreshSelection();
}

}  // namespace tandex::ui
