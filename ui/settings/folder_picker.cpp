#include "folder_picker.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

#include "ui/main/window_helpers.h"

namespace tandex::settings {

namespace {

bool isInside(const QString& path, const QString& root) {
    const QString r = QDir::cleanPath(root);
    const QString p = QDir::cleanPath(path);
    return p == r || p.startsWith(r.endsWith(QLatin1Char('/')) ? r : r + QLatin1Char('/'));
}

}  // namespace

TPickerPlace& pickerPlace() {
    static TPickerPlace place;
    return place;
}

bool SelectFolderDialog(const QString& title, const QString& root, QString& folder, bool editBox,
                        bool includeFiles, bool newFolderButton) {
    QString start = folder;
    if (!start.isEmpty() && !QFileInfo(start).isDir()) start.clear();
    const QString base = root.isEmpty() ? QString() : QFileInfo(root).absoluteFilePath();
    if (!base.isEmpty() && !start.isEmpty() && !isInside(QFileInfo(start).absoluteFilePath(), base)) start.clear();

    QWidget* owner = QApplication::activeWindow();
    if (!owner) owner = ui::MainForm();
    QFileDialog dialog(owner, title);
    dialog.setObjectName(QStringLiteral("SelectFolderDialog"));
    // The same picker on every desktop, and one whose place can be kept.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, !includeFiles);
    dialog.setOption(QFileDialog::ReadOnly, !newFolderButton);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (!editBox) {
        for (const char* name : {"fileNameEdit", "fileNameLabel"})
            if (auto* w = dialog.findChild<QWidget*>(QLatin1String(name))) w->hide();
    }
    if (!base.isEmpty()) {
        dialog.setSidebarUrls({QUrl::fromLocalFile(base)});
        QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&dialog, base](const QString& entered) {
            if (!isInside(entered, base)) dialog.setDirectory(base);
        });
    }
    if (!start.isEmpty())
        dialog.selectFile(QFileInfo(start).absoluteFilePath());
    else
        dialog.setDirectory(base.isEmpty() ? QDir::homePath() : base);

    TPickerPlace& place = pickerPlace();
    if (place.PickerLeft + place.PickerTop >= 0) dialog.move(place.PickerLeft, place.PickerTop);
    const bool chosen = dialog.exec() == QDialog::Accepted;
    place = {dialog.x(), dialog.y()};
    if (!chosen) return false;
    const QString result = dialog.selectedFiles().value(0);
    // A path typed into the field may lead out of the root.
    if (result.isEmpty() || (!base.isEmpty() && !isInside(result, base))) return false;
    folder = result;
    return true;
}

}  // namespace tandex::settings
