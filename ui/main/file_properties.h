#pragma once
// The properties dialog of one file or folder of a comparison: name,
// location, size, type, the three time stamps, the attributes and, for a
// folder, what it contains. The user may rename a file and change time
// stamps and attributes where the location allows it; the main window
// learns of each change through three callbacks, so that it can update the
// row. A folder is counted while the dialog shows itself; the modal phase
// starts once the count is done or cancelled.

#include <QDateTime>
#include <QDialog>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>

#include "access/access_types.h"
#include "ui/main/flat_button.h"

class QCheckBox;
class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;
class QTimeEdit;
class QTimer;

namespace tandex::ui {

// "500" below 1024 bytes, else the short size and the grouped byte count:
// "2,00 KB (2.048 Bytes)".
QString PropertiesSizeText(qint64 bytes);
// "3 Files, 1 Folders", counts grouped with ".".
QString PropertiesContainsText(qint64 files, qint64 folders);
// Empty when name can be a file's new name in its own folder; else the
// message that refuses it. A "/" or the names "." and ".." would move the
// file out of its folder.
QString CheckNewFileName(const QString& name);

class TfProperties : public QDialog {
    Q_OBJECT

public:
    explicit TfProperties(QWidget* parent = nullptr);
    ~TfProperties() override;

    // Shows the item at path (a file, or a folder when folder is set) at
    // position, kept inside the screen's available area, and applies the
    // user's changes after OK. Returns the dialog's modal result.
    int Execute(QPoint position, int tag, const QString& path, bool folder);

    // Each gets Execute's tag first; unset ones are skipped.
    std::function<void(int tag, access::FileTime modified)> OnTimeChanged;
    std::function<void(int tag, quint32 attributes)> OnAttributesChanged;
    std::function<void(int tag, const QString& name)> OnRenamed;
    // Told when a folder count starts (true) and ends, so that the window
    // can refuse what must not run meanwhile.
    std::function<void(bool counting)> OnCounting;

    // The item's path after Execute (the new one after a rename).
    QString Path() const { return path_; }
    bool Counting() const { return counting_; }

    void bCancelClick();
    // Any change of a check box, the name or a picker.
    void cbReadOnlyClick();
    void tWaitTimer();

    QLabel *lNameTit = nullptr, *lLocationTit = nullptr, *lSizeTit = nullptr, *lTypeTit = nullptr,
           *lCreatedTit = nullptr, *lModifiedTit = nullptr, *lAccessedTit = nullptr,
           *lContainsTit = nullptr, *lAttributesTit = nullptr;
    QLabel *lSize = nullptr, *lType = nullptr, *lContains = nullptr, *lError = nullptr, *lAborted = nullptr;
    QLineEdit *eName = nullptr, *eLocation = nullptr;
    QDateEdit *dCreated = nullptr, *dModified = nullptr, *dAccessed = nullptr;
    QTimeEdit *tCreated = nullptr, *tModified = nullptr, *tAccessed = nullptr;
    QCheckBox *cbArchive = nullptr, *cbReadOnly = nullptr, *cbHidden = nullptr, *cbSystem = nullptr;
    QFrame *Bevel1 = nullptr, *Bevel2 = nullptr, *Bevel3 = nullptr, *Bevel4 = nullptr;
    TFlatButton2 *fbOk = nullptr, *fbCancel = nullptr;
    QTimer* tWait = nullptr;

private:
    enum { kCreated, kModified, kAccessed };

    void ShowFile();
    void ShowFolder();
    void showError(int code);
    void setValuesVisible(bool visible);
    void setPickersEnabled(bool enabled);
    void setCheckBoxesEnabled(bool enabled);
    void showTimes(access::FileTime created, access::FileTime modified, access::FileTime accessed);
    void showAttributes();
    QDateTime pickerTime(int which) const;
    void applyChanges();
    void applyTimes();

    int slot_ = 4;
    int kind_ = 0;
    int tag_ = 0;
    QString path_;
    bool folder_ = false;
    bool root_ = false;
    bool changed_ = false;
    bool loading_ = false;
    bool counting_ = false;
    quint32 attributes_ = 0, loadedAttributes_ = 0;
    QString loadedName_;
    std::array<access::FileTime, 3> loadedTimes_{};
    // What the pickers showed after loading: a stamp counts as changed only
    // when its picker now shows something else, so untouched stamps keep
    // their sub-second parts.
    std::array<QDateTime, 3> shownTimes_;
};

}  // namespace tandex::ui
