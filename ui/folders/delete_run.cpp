#include "delete_run.h"

#include <QFile>
#include <QFileInfo>

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/locations.h"
#include "config/num_format.h"
#include "config/services.h"
#include "engine/folder_rows.h"
#include "engine/pane_stores.h"

namespace tandex::folders {

namespace {

constexpr quint32 kAttrSystem = 0x4;
const QString kCaption = QStringLiteral("Tandex");

bool isReadOnlyMedium(const QString& type) {
    return type == QLatin1String("iso9660") || type == QLatin1String("udf") || type == QLatin1String("squashfs");
}

// The kernel marks removable disks in sysfs; a partition's flag sits on its
// disk, one level up.
bool isRemovableDevice(const QString& source) {
    if (!source.startsWith(QLatin1String("/dev/"))) return false;
    const QString device = QFileInfo(source).canonicalFilePath();
    const QString name = QFileInfo(device.isEmpty() ? source : device).fileName();
    const QString sys = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (sys.isEmpty()) return false;
    for (const QString& flag : {sys + QStringLiteral("/removable"), sys + QStringLiteral("/../removable")}) {
        QFile f(flag);
        if (f.open(QIODevice::ReadOnly)) return f.read(1) == "1";
    }
    return false;
}

QString archiveFileOf(const QString& path) {
    QString file;
    access::FZArchiveFilePath(path, file);
    return file;
}

QString folderOf(const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('/')) + 1); }

struct TCategory {
    quint32 attribute;
    int category;
    const char* note;
};
// In the order the questions come.
const TCategory kCategories[] = {
    {access::FZAttrReadOnly, rcWriteProtected, "       ==> Write protected file, canceled by user <=="},
    {access::FZAttrHidden, rcHidden, "       ==> Hidden file, canceled by user <=="},
    {kAttrSystem, rcSystem, "       ==> System file, canceled by user <=="},
};

}  // namespace

QString DriveClassMarker(int driveClass) {
    switch (driveClass) {
    case dcLocal:
        return QStringLiteral(": ");
    case dcRemote:
        return QStringLiteral("::");
    default:
        return QStringLiteral(":-");
    }
}

QString DriveKeyOf(const QString& path) {
    const QString archive = archiveFileOf(path);
    if (!archive.isEmpty()) return archive;
    if (!path.startsWith(QLatin1Char('/')) || access::FZIsUncPath(path)) return access::FZPathRoot(path);
    access::TFZMount mount;
    return access::FZMountOf(path, mount) ? mount.mountPoint : QString();
}

int DriveClassOf(const QString& path) {
    if (!archiveFileOf(path).isEmpty()) return dcReadOnly;
    if (!path.startsWith(QLatin1Char('/')) || access::FZIsUncPath(path)) return dcRemote;
    access::TFZMount mount;
    if (!access::FZMountOf(path, mount)) return dcRemote;
    if (isReadOnlyMedium(mount.fsType)) return dcReadOnly;
    if (access::FZIsNetworkFileSystem(mount.fsType) || isRemovableDevice(mount.source)) return dcRemote;
    return dcLocal;
}

QString DeleteLine(int row, const QString& marker, const QString& path) {
    return config::IntToGroupedStr(row + 1, 5, false) + marker + path;
}

TDeleteList::TDeleteList(TDeleteHost* host) : host_(host ? host : &fallback_) {}

void TDeleteList::Prepare(int side, int expectedCount) {
    // No mount point looks like this, so the first item always classifies.
    LastDrive = QStringLiteral(" :\\");
    DriveClass = dcLocal;
    DriveMarker = DriveClassMarker(dcLocal);
    ExpectedCount = expectedCount;
    TrashAllowed = true;
    DeleteFailed = false;
    Items.clear();
    Shown.clear();
    DeletedFolders.clear();
    ActionText.clear();
    FolderCountText.clear();
    DelFoldersText.clear();
    DeletedCount = FailedCount = FolderCount = 0;
    Side = side;
    DelState = dsIdle;
}

void TDeleteList::AddItem(int row, const QString& path) {
    const QString drive = DriveKeyOf(path);
    if (Items.empty() || drive != LastDrive) {
        LastDrive = drive;
        DriveClass = DriveClassOf(path);
        DriveMarker = DriveClassMarker(DriveClass);
    }
    if (DriveClass != dcLocal) TrashAllowed = false;
    Items.push_back({row, path, DeleteLine(row, DriveMarker, path)});
}

bool TDeleteList::Start(int storeSide) {
    StoreSide = storeSide;
    const int n = int(Items.size());
    ActionText = n < 2 ? QStringLiteral("Delete the following file?")
                       : QStringLiteral("Delete the following ") + config::IntToGroupedStr(n, 0, true) +
                             QStringLiteral(" files?");
    Shown.clear();
    for (const TDeleteItem& item : Items) Shown << item.Line;
    if (Items.empty()) {
        DelState = dsIdle;
        config::showMessage(kCaption, QStringLiteral("Nothing is selected!"), config::MsgKind::Information);
        return false;
    }
    DelState = dsWaiting;
    return true;
}

void TDeleteList::Cancel() {
    switch (DelState) {
    case dsWaiting:
    case dsFinished:
        DelState = dsIdle;
        break;
    case dsDeleting:
        DelState = dsStopRequested;
        break;
    default:
        break;
    }
}

int TDeleteList::deleteItem(int slot, const TDeleteItem& item, bool toTrash, bool& lastOk) {
    // A link goes itself: its target's attributes are neither asked about
    // nor changed.
    const bool link = access::FZSlotAccessKind(slot) == access::akLocal && QFileInfo(item.Path).isSymLink();
    quint32 attributes = 0;
    if (!link && access::FZGetAttributes(slot, attributes) == 0) {
        for (const TCategory& c : kCategories) {
            if (!(attributes & c.attribute)) continue;
            if (answers_.StepBeforeAsking(c.category) == rsAsk)
                answers_.StoreAnswer(c.category, host_->AskDelete(item.Path, c.category));
            const int answer = answers_.Answer(c.category);
            if (answer == ui::eaCancelAll) {
                DelState = dsStopRequested;
                return 3;
            }
            if (answer != ui::eaYes && answer != ui::eaYesAll) {
                ++FailedCount;
                Shown << item.Line + QStringLiteral(" => NOT deleted!") << QLatin1String(c.note);
                return 1;
            }
            // Hidden has no bit to clear here; Yes deletes the file as it is.
            attributes &= ~c.attribute;
            access::FZSetAttributes(slot, attributes);
        }
    }
    const int code = access::FZDelete(slot, toTrash);
    lastOk = code == 0;
    if (code != 0) {
        DeleteFailed = true;
        ++FailedCount;
        Shown << item.Line + QStringLiteral(" => NOT deleted!")
              << QStringLiteral("       ==> ") + access::FZErrorText(-code, access::eoDelete) + QStringLiteral(" <==");
        return 2;
    }
    ++DeletedCount;
    Shown << item.Line;
    host_->markEntryDeleted(item.Row, Side);
    return 0;
}

void TDeleteList::Delete(bool toTrash) {
    if (DelState != dsWaiting) return;
    answers_.ResetAnswers();
    DelState = dsDeleting;
    DeletedCount = FailedCount = FolderCount = 0;
    DeleteFailed = false;
    if (!TrashAllowed) toTrash = false;
    host_->SetWaitText(QStringLiteral("Deleting files, please wait ..."));
    Shown.clear();
    DeletedFolders.clear();

    int slot = access::FZNoSlot;
    bool lastOk = false;
    bool archiveSlot = false;
    const int n = int(Items.size());
    for (int i = 0; i < n; ++i) {
        config::eventPump().processEvents();
        if (DelState == dsStopRequested) break;
        host_->SetProgress(i, n);
        const TDeleteItem& item = Items[size_t(i)];
        const bool inArchive = !archiveFileOf(item.Path).isEmpty();
        int code = 0;
        if (slot == access::FZNoSlot) {
            code = access::FZOpen(item.Path, access::twGenAccess, inArchive, slot);
            if (code != 0) {
                // Positive: the access layer shows the text in its box.
                access::FZErrorText(code, access::eoSocket);
                slot = access::FZNoSlot;
                lastOk = false;
                break;
            }
        } else {
            access::FZSetArchiveDetect(slot, inArchive);
            code = access::FZSetPath(slot, item.Path);
        }
        archiveSlot = access::FZSlotAccessKind(slot) == access::akArchive;
        if (code != 0) {
            lastOk = false;
            DeleteFailed = true;
            ++FailedCount;
            Shown << item.Line + QStringLiteral(" => NOT deleted!")
                  << QStringLiteral("       ==> ") + access::FZErrorText(-code, access::eoDelete) +
                         QStringLiteral(" <==");
            continue;
        }
        if (deleteItem(slot, item, toTrash, lastOk) == 3) break;
    }

    FolderCount = 0;
    if (DelState == dsDeleting && DeleteEmptyFolders && lastOk && !archiveSlot && slot != access::FZNoSlot) {
        host_->SetWaitText(QStringLiteral("Deleting folders, please wait ..."));
        removeEmptyFolders(slot);
    }
    if (slot != access::FZNoSlot) access::FZClose(slot);
    host_->SetWaitText(QString());
    host_->SetProgress(n, n);
    finishTexts();
    host_->markEntryDeleted(-1, 3);
    if (DeleteFailed)
        config::showMessage(kCaption,
                            n == 1 ? QStringLiteral("The file couldn't be deleted!")
                                   : QStringLiteral("One or more files couldn't be deleted!\r(these files are "
                                                    "still selected)"),
                            config::MsgKind::Warning);
    DelState = dsFinished;
}

void TDeleteList::removeEmptyFolders(int slot) {
    // Nothing at or above the side's comparison root is ever removed: the
    // root is what the user compared, and what lies above it was never
    // part of the comparison.
    QString root = engine::paneStores().FolderRoots[size_t(StoreSide == 2 ? 2 : 1)];
    if (root.isEmpty()) return;
    if (!root.endsWith(QLatin1Char('/'))) root += QLatin1Char('/');
    auto& rows = engine::folderRows();
    auto& entries = engine::paneStores().FolderEntries[size_t(StoreSide == 2 ? 2 : 1)];

    QString previous;
    for (const TDeleteItem& item : Items) {
        config::eventPump().processEvents();
        if (DelState == dsStopRequested) break;
        QString folder = folderOf(item.Path);
        if (folder == previous) continue;
        previous = folder;
        int entry = rows.FolderRowEntry(item.Row);
        while (folder.size() > root.size() && folder.startsWith(root)) {
            if (access::FZSetPath(slot, folder) != 0 || access::FZRemoveFolder(slot) != 0) break;
            entry = rows.FolderEntryParent(StoreSide, entry);
            if (entry >= 0 && !entries.IsGap(entry)) entries[entry]->Status = 3;
            ++FolderCount;
            DeletedFolders << folder;
            folder = folderOf(folder.left(folder.size() - 1));
        }
    }
    FolderCountText = config::IntToGroupedStr(FolderCount, 0, true) + QStringLiteral(" folders deleted");
    DelFoldersText = QStringLiteral("Following ") + FolderCountText + QStringLiteral(":");
}

void TDeleteList::finishTexts() {
    const auto num = [](int v) { return config::IntToGroupedStr(v, 0, true); };
    if (Items.size() == 1)
        ActionText = FailedCount > 0 ? QStringLiteral("Didn't delete the following file:")
                                     : QStringLiteral("Deleted the following file:");
    else if (FailedCount > 0)
        ActionText = QStringLiteral("Following ") + num(DeletedCount) + QStringLiteral(" files deleted, but ") +
                     num(FailedCount) + QStringLiteral(" not deleted:");
    else
        ActionText = QStringLiteral("Following ") + num(DeletedCount) + QStringLiteral(" files deleted:");
}

QString TDeleteList::ShownCountText(bool foldersShown) const {
    return foldersShown ? config::IntToGroupedStr(FolderCount, 0, true) + QStringLiteral(" folders deleted")
                        : config::IntToGroupedStr(DeletedCount, 0, true) + QStringLiteral(" files deleted");
}

}  // namespace tandex::folders
