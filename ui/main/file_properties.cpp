#include "file_properties.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTimeEdit>
#include <QTimer>
#include <cerrno>

#include "access/access_slots.h"
#include "access/archive_paths.h"
#include "access/error_texts.h"
#include "access/file_ops.h"
#include "access/file_times.h"
#include "access/folder_totals.h"
#include "access/local_files.h"
#include "access/locations.h"
#include "config/num_format.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/main/form_layout.h"


namespace tandex::ui {

namespace {

using access::FileTime;

constexpr int kOpProperties = 19;
constexpr TColor kWaitColor = 27112;
constexpr TColor kBlack = 0x000000;
constexpr TColor kRed = 0x0000FF;
constexpr quint32 kAttrArchive = 0x20, kAttrReadOnly = 0x1, kAttrHidden = 0x2, kAttrSystem = 0x4;
const QChar kSeparator = QLatin1Char('/');

QFrame* MakeBevel(QWidget* parent, const char* name, int y) {
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QLatin1String(name));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(ScaledRect(12, y, 376, 2));
    return bevel;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(geometry);
    return edit;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const char* caption, const QRect& geometry) {
    auto* box = new QCheckBox(QLatin1String(caption), parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

// The part of path inside an archive file ("/sub/f.txt"); empty when the
// path does not run through one.
QString InnerArchivePath(const QString& path) {
    QString inner;
    if (access::FZFindArchiveInPath(path, 0)) access::FZArchiveInnerPath(path, inner);
    return inner;
}

}  // namespace

QString PropertiesSizeText(qint64 bytes) {
    if (bytes < 1024) return config::Int64ToGroupedStr(bytes, 0, true);
    config::TNumStyle style;
    style.Kind = 5;
    style.Prefix = QStringLiteral(" (");
    style.Suffix = QStringLiteral(" Bytes)");
    return config::FormatInt64Styled(bytes, style);
}

QString PropertiesContainsText(qint64 files, qint64 folders) {
    return config::Int64ToGroupedStr(files, 0, true) + QStringLiteral(" Files, ") +
           config::Int64ToGroupedStr(folders, 0, true) + QStringLiteral(" Folders");
}

QString CheckNewFileName(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("The name must not be empty.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" cannot be used as a file name.").arg(name);
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return QStringLiteral("A file name must not contain \"/\":\n%1").arg(name);
    return {};
}

TfProperties::TfProperties(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("fProperties"));
    setWindowTitle(QStringLiteral(" Properties "));
    setFixedSize(config::ScaleDpi(400), config::ScaleDpi(360));

    struct Title {
        QLabel** label;
        const char* name;
        const char* caption;
        int y;
    };
    const Title titles[] = {{&lNameTit, "lNameTit", "Name:", 16},
                            {&lLocationTit, "lLocationTit", "Location:", 42},
                            {&lSizeTit, "lSizeTit", "Size:", 82},
                            {&lTypeTit, "lTypeTit", "Type:", 104},
                            {&lContainsTit, "lContainsTit", "Contains:", 126},
                            {&lCreatedTit, "lCreatedTit", "Created:", 164},
                            {&lModifiedTit, "lModifiedTit", "Modified:", 192},
                            {&lAccessedTit, "lAccessedTit", "Accessed:", 220},
                            {&lAttributesTit, "lAttributesTit", "Attributes:", 258}};
    for (const Title& t : titles) {
        *t.label = MakeFormLabel(this, t.name, ScaledRect(12, t.y, 82, 17));
        (*t.label)->setText(QLatin1String(t.caption));
    }

    eName = MakeEdit(this, "eName", ScaledRect(96, 13, 292, 22));
    eName->setMaxLength(255);
    eLocation = MakeEdit(this, "eLocation", ScaledRect(96, 42, 292, 17));
    eLocation->setReadOnly(true);
    eLocation->setFrame(false);
    eLocation->setStyleSheet(QStringLiteral("background: transparent;"));
    Bevel1 = MakeBevel(this, "Bevel1", 70);

    lSize = MakeFormLabel(this, "lSize", ScaledRect(96, 82, 292, 17));
    lType = MakeFormLabel(this, "lType", ScaledRect(96, 104, 200, 17));
    lContains = MakeFormLabel(this, "lContains", ScaledRect(96, 126, 292, 17));
    lAborted = MakeFormLabel(this, "lAborted", ScaledRect(300, 104, 88, 17), true);
    lAborted->setText(QStringLiteral("Aborted!"));
    lAborted->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SetLabelColor(lAborted, kRed);
    lError = MakeFormLabel(this, "lError", ScaledRect(12, 82, 376, 64));
    lError->setWordWrap(true);
    SetLabelColor(lError, kRed);
    Bevel2 = MakeBevel(this, "Bevel2", 152);

    const QString longDate = QLocale().dateFormat(QLocale::LongFormat);
    struct Picker {
        QDateEdit** date;
        QTimeEdit** time;
        const char* dateName;
        const char* timeName;
        int y;
    };
    const Picker pickers[] = {{&dCreated, &tCreated, "dCreated", "tCreated", 161},
                              {&dModified, &tModified, "dModified", "tModified", 189},
                              {&dAccessed, &tAccessed, "dAccessed", "tAccessed", 217}};
    for (const Picker& p : pickers) {
        *p.date = new QDateEdit(this);
        (*p.date)->setObjectName(QLatin1String(p.dateName));
        (*p.date)->setGeometry(ScaledRect(96, p.y, 200, 22));
        (*p.date)->setDisplayFormat(longDate);
        (*p.date)->setCalendarPopup(true);
        *p.time = new QTimeEdit(this);
        (*p.time)->setObjectName(QLatin1String(p.timeName));
        (*p.time)->setGeometry(ScaledRect(302, p.y, 86, 22));
        (*p.time)->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        connect(*p.date, &QDateEdit::dateChanged, this, [this] { cbReadOnlyClick(); });
        connect(*p.time, &QTimeEdit::timeChanged, this, [this] { cbReadOnlyClick(); });
    }
    Bevel3 = MakeBevel(this, "Bevel3", 248);

    cbReadOnly = MakeCheckBox(this, "cbReadOnly", "Read-only", ScaledRect(96, 257, 140, 19));
    cbHidden = MakeCheckBox(this, "cbHidden", "Hidden", ScaledRect(244, 257, 140, 19));
    cbArchive = MakeCheckBox(this, "cbArchive", "Archive", ScaledRect(96, 279, 140, 19));
    cbSystem = MakeCheckBox(this, "cbSystem", "System", ScaledRect(244, 279, 140, 19));
    for (QCheckBox* box : {cbArchive, cbReadOnly, cbHidden, cbSystem})
        connect(box, &QCheckBox::toggled, this, [this] { cbReadOnlyClick(); });
    connect(eName, &QLineEdit::textChanged, this, [this] { cbReadOnlyClick(); });
    Bevel4 = MakeBevel(this, "Bevel4", 306);

    fbOk = new TFlatButton2(this);
    fbOk->setObjectName(QStringLiteral("fbOk"));
    fbOk->move(config::ScaleDpi(204), config::ScaleDpi(320));
    fbOk->SetCaption(QStringLiteral("OK"));
    fbOk->SetModalResult(1);
    fbCancel = new TFlatButton2(this);
    fbCancel->setObjectName(QStringLiteral("fbCancel"));
    fbCancel->move(config::ScaleDpi(300), config::ScaleDpi(320));
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbCancel->SetModalResult(2);
    for (TFlatButton2* b : {fbOk, fbCancel}) {
        b->SetWidth(88);
        b->SetHeight(27);
        b->SetFlatStyle(FS_SHOWBORDER);
    }
    fbCancel->OnClick = [this](QObject*) { bCancelClick(); };

    tWait = new QTimer(this);
    tWait->setObjectName(QStringLiteral("tWait"));
    tWait->setInterval(500);
    connect(tWait, &QTimer::timeout, this, [this] { tWaitTimer(); });
}

TfProperties::~TfProperties() {
    if (slot_ != access::FZNoSlot) access::FZClose(slot_);
}

void TfProperties::bCancelClick() {
    access::FZAbortAll();
}

void TfProperties::cbReadOnlyClick() {
    if (loading_) return;
    changed_ = true;
    fbCancel->SetEnabled(true);
    const std::pair<QCheckBox*, quint32> bits[] = {
        {cbArchive, kAttrArchive}, {cbReadOnly, kAttrReadOnly}, {cbHidden, kAttrHidden}, {cbSystem, kAttrSystem}};
    for (const auto& [box, bit] : bits) {
        if (box->isChecked())
            attributes_ |= bit;
        else
            attributes_ &= ~bit;
    }
}

void TfProperties::tWaitTimer() {
    int n = tWait->property("tag").toInt() % 10 + 1;
    tWait->setProperty("tag", n);
    const QString dots(n, QLatin1Char('.'));
    lSize->setText(QStringLiteral("Please wait ... calculating size ") + dots);
    lContains->setText(QStringLiteral("and counting files and folders ") + dots);
}

void TfProperties::setValuesVisible(bool visible) {
    for (QWidget* w : std::initializer_list<QWidget*>{
             lSizeTit, lTypeTit, lCreatedTit, lModifiedTit, lAccessedTit, lContainsTit, lAttributesTit, lSize,
             lType, lContains, dCreated, dModified, dAccessed, tCreated, tModified, tAccessed, cbArchive,
             cbReadOnly, cbHidden, cbSystem, Bevel2, Bevel3})
        w->setVisible(visible);
}

void TfProperties::setPickersEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{dCreated, dModified, dAccessed, tCreated, tModified, tAccessed})
        w->setEnabled(enabled);
}

void TfProperties::setCheckBoxesEnabled(bool enabled) {
    for (QCheckBox* box : {cbArchive, cbReadOnly, cbHidden, cbSystem}) box->setEnabled(enabled);
}

int TfProperties::Execute(QPoint position, int tag, const QString& path, bool folder) {
    access::FZResetAbort();
    lError->hide();
    tag_ = tag;
    folder_ = folder;
    path_ = path;
    changed_ = false;
    loading_ = true;

    // A file is looked for as it is only inside an archive; a local one is
    // reopened for reading below.
    bool detectArchives = !InnerArchivePath(path_).isEmpty();
    if (folder) {
        access::FZNormalizeFolder(path_);
        detectArchives = true;
    }

    setValuesVisible(true);
    setPickersEnabled(false);
    setCheckBoxesEnabled(false);
    eName->setReadOnly(true);
    lAborted->hide();
    fbOk->SetEnabled(false);
    fbCancel->SetEnabled(true);
    const bool flat = config::FlatLook() != 0;
    for (TFlatButton2* b : {fbOk, fbCancel}) {
        b->SetFlat(flat);
        b->ResetSize();
    }


    eName->clear();
    eLocation->clear();
    lSize->setText(QStringLiteral("Please wait ... "));
    lContains->clear();
    SetLabelColor(lSize, kWaitColor);
    SetLabelColor(lContains, kWaitColor);
    move(position);
    show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    // The whole dialog, frame included, stays inside the work area of the
    // screen it opens on; the frame is known once the dialog is shown.
    QScreen* screen = QGuiApplication::screenAt(position);
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(position, size());
    const QSize frame = frameGeometry().size().expandedTo(size());
    const int left = qMax(area.left(), qMin(position.x(), area.right() + 1 - frame.width()));
    const int top = qMax(area.top(), qMin(position.y(), area.bottom() + 1 - frame.height()));
    move(left, top);

    int result = access::FZOpen(path_, access::twGenAccess, detectArchives, slot_);
    kind_ = result == 0 ? access::FZSlotAccessKind(slot_) : 0;
    if (result)
        showError(result);
    else if (folder)
        ShowFolder();
    else
        ShowFile();

    SetLabelColor(lSize, kBlack);
    SetLabelColor(lContains, kBlack);
    lAborted->setVisible(access::FZAbortRequested());
    loadedAttributes_ = attributes_;
    loadedName_ = eName->text();
    for (int i = 0; i < 3; ++i) shownTimes_[size_t(i)] = pickerTime(i);
    fbOk->SetEnabled(true);
    fbCancel->SetEnabled(false);
    changed_ = false;
    loading_ = false;
    QApplication::restoreOverrideCursor();
    hide();

    const int modalResult = exec();
    if (modalResult == 1 && slot_ != access::FZNoSlot) applyChanges();
    // Closing saves a changed archive: its failure is the changes' failure.
    if (slot_ != access::FZNoSlot) {
        if (const int r = access::FZClose(slot_)) access::FZErrorText(r, kOpProperties);
    }
    slot_ = access::FZNoSlot;
    return modalResult;
}

void TfProperties::showError(int code) {
    setValuesVisible(false);
    lError->setText(access::FZErrorText(-code, kOpProperties));
    lError->show();
}

void TfProperties::showTimes(FileTime created, FileTime modified, FileTime accessed) {
    loadedTimes_ = {created, modified, accessed};
    const std::pair<QDateEdit*, QTimeEdit*> pairs[] = {
        {dCreated, tCreated}, {dModified, tModified}, {dAccessed, tAccessed}};
    for (int i = 0; i < 3; ++i) {
        const QDateTime time = access::FZFileTimeToDateTime(loadedTimes_[size_t(i)]);
        pairs[i].first->setDate(time.date());
        pairs[i].second->setTime(time.time());
    }
}

void TfProperties::showAttributes() {
    cbArchive->setChecked(attributes_ & kAttrArchive);
    cbReadOnly->setChecked(attributes_ & kAttrReadOnly);
    cbHidden->setChecked(attributes_ & kAttrHidden);
    cbSystem->setChecked(attributes_ & kAttrSystem);
}

QDateTime TfProperties::pickerTime(int which) const {
    const std::pair<QDateEdit*, QTimeEdit*> pairs[] = {
        {dCreated, tCreated}, {dModified, tModified}, {dAccessed, tAccessed}};
    return QDateTime(pairs[which].first->date(), pairs[which].second->time(), Qt::LocalTime);
}

void TfProperties::ShowFile() {
    root_ = false;
    lType->setText(QStringLiteral("File"));
    eName->setReadOnly(false);
    lContainsTit->hide();
    lContains->clear();
    lContains->hide();
    if (kind_ == access::akLocal) {
        if (const int r = access::FZReopen(slot_, path_, access::twReadAccess)) {
            showError(r);
            return;
        }
    }

    const int cut = path_.lastIndexOf(kSeparator);
    eName->setText(path_.mid(cut + 1));
    eLocation->setText(cut < 0 ? QString() : path_.left(cut));

    qint64 size = 0;
    FileTime modified = 0, created = 0, accessed = 0;
    attributes_ = 0;
    if (const int r = access::FZGetFileDetails(slot_, size, modified, attributes_, created, accessed)) {
        showError(r);
        return;
    }
    lSize->setText(PropertiesSizeText(size));
    showTimes(created, modified, accessed);
    showAttributes();

    // Local files: the birth time cannot be set, nor can the hidden bit
    // (it is the leading "."), and the archive and system bits have no
    // meaning. Archive members keep only a modified time.
    dModified->setEnabled(true);
    tModified->setEnabled(true);
    if (kind_ == access::akLocal) {
        dAccessed->setEnabled(true);
        tAccessed->setEnabled(true);
        cbReadOnly->setEnabled(true);
    } else {
        setCheckBoxesEnabled(kind_ != access::akFtp);
    }
}

void TfProperties::ShowFolder() {
    tWait->setProperty("tag", 1);
    tWait->start();
    root_ = access::FZPathRoot(path_) == path_;
    lType->setText(root_ ? QStringLiteral("Root") : QStringLiteral("Folder"));
    eName->setReadOnly(true);
    lContainsTit->show();
    lContains->show();

    QString trimmed = path_;
    if (trimmed.endsWith(kSeparator)) trimmed.chop(1);
    const int cut = trimmed.lastIndexOf(kSeparator);
    eName->setText(trimmed.mid(cut + 1).left(100));
    eLocation->setText(cut < 0 ? QString() : trimmed.left(cut));

    access::TFZFolderTotals totals;
    int result = 0;
    counting_ = true;
    if (OnCounting) OnCounting(true);
    if (kind_ == access::akLocal)
        result = access::FZLocalFolderTotals(path_, totals);
    else if (kind_ == access::akArchive)
        result = access::FZRemoteFolderTotals(slot_, InnerArchivePath(path_), totals);
    // Network sources: FTP and cloud folders are walked by their location.
    else if (kind_ == access::akFtp || kind_ == access::akCloud)
        result = access::FZRemoteFolderTotals(slot_, path_, totals);
    else
        result = 10;
    counting_ = false;
    if (OnCounting) OnCounting(false);
    tWait->stop();
    if (result && !access::FZAbortRequested()) {
        showError(result);
        return;
    }

    lSize->setText(PropertiesSizeText(totals.Bytes));
    lContains->setText(PropertiesContainsText(totals.Files, totals.Folders));
    showTimes(totals.CreationTime, totals.LastWriteTime, totals.LastAccessTime);
    attributes_ = totals.Attributes & ~kAttrArchive;
    showAttributes();
    if (root_) return;

    // A time the location does not keep cannot be edited.
    const std::pair<QDateEdit*, QTimeEdit*> pairs[] = {
        {dCreated, tCreated}, {dModified, tModified}, {dAccessed, tAccessed}};
    for (int i = 0; i < 3; ++i) {
        bool editable = loadedTimes_[size_t(i)] != 0;
        if (i == kCreated && kind_ == access::akLocal) editable = false;
        if (i != kModified && kind_ != access::akLocal) editable = false;
        if (kind_ == access::akFtp) editable = false;
        pairs[i].first->setEnabled(editable);
        pairs[i].second->setEnabled(editable);
    }
    cbReadOnly->setEnabled(kind_ == access::akLocal);
}

void TfProperties::applyChanges() {
    if (!root_ && attributes_ != loadedAttributes_) {
        if (const int r = access::FZSetAttributes(slot_, attributes_))
            access::FZErrorText(r, kOpProperties);
        else if (OnAttributesChanged)
            OnAttributesChanged(tag_, attributes_);
    }

    const QString name = eName->text();
    if (!folder_ && name != loadedName_) {
        const QString refusal = CheckNewFileName(name);
        if (!refusal.isEmpty()) {
            config::showMessage(windowTitle().trimmed(), refusal, config::MsgKind::Warning);
        } else {
            const QString newPath = access::FZJoinPath(eLocation->text(), name, kSeparator);
            if (newPath != path_) {
                if (const int r = access::FZRename(slot_, newPath)) {
                    access::FZErrorText(r, kOpProperties);
                } else {
                    // The time stamps below are written to the file under
                    // its new name.
                    path_ = newPath;
                    if (const int c = access::FZClose(slot_)) access::FZErrorText(c, kOpProperties);
                    slot_ = access::FZNoSlot;
                    access::FZOpen(path_, access::twGenAccess, kind_ != access::akLocal, slot_);
                    if (OnRenamed) OnRenamed(tag_, name);
                }
            }
        }
    }
    applyTimes();
}

void TfProperties::applyTimes() {
    std::array<bool, 3> differs{};
    std::array<FileTime, 3> times = loadedTimes_;
    bool any = false;
    for (int i = 0; i < 3; ++i) {
        const QDateTime shown = pickerTime(i);
        differs[size_t(i)] = shown != shownTimes_[size_t(i)];
        if (differs[size_t(i)]) times[size_t(i)] = access::FZDateTimeToFileTime(shown);
        any = any || differs[size_t(i)];
    }
    if (!any) return;

    int result = 0;
    if (kind_ == access::akLocal) {
        // Only the stamps the user changed are written: the others keep
        // every digit the file system holds. The birth time cannot be set.
        QString local;
        if (!access::FZLocalPathOf(path_, local)) local = path_;
        if (local.endsWith(kSeparator) && local.size() > 1) local.chop(1);
        const timespec stamps[2] = {
            differs[kAccessed] ? access::FZTimespecOf(times[kAccessed]) : timespec{0, UTIME_OMIT},
            differs[kModified] ? access::FZTimespecOf(times[kModified]) : timespec{0, UTIME_OMIT}};
        if (::utimensat(AT_FDCWD, QFile::encodeName(local).constData(), stamps, 0) != 0)
            result = access::FZCodeForPath(errno, local);
    } else if (slot_ != access::FZNoSlot) {
        result = access::FZSetFileTime(slot_, times[kCreated], times[kAccessed], times[kModified]);
    } else {
        result = access::errInvalidHandle;
    }
    if (result) {
        access::FZErrorText(result, kOpProperties);
        return;
    }
    if (differs[kModified] && OnTimeChanged) OnTimeChanged(tag_, times[kModified]);
}

}  // namespace tandex::ui
