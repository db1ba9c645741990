#include "show_del.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "config/app_settings.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/file_delete_dlg.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window.h"
#include "ui/main/window_helpers.h"

namespace tandex::folders {

using ui::ScaledRect;

namespace {

constexpr int kFormWidth = 600;
constexpr int kFormHeight = 444;
constexpr int kButtonList = 48;
constexpr int kGlyphCancel = 1;
constexpr int kGlyphDelete = 6;
constexpr int kGlyphTrash = 7;

QPlainTextEdit* makeMemo(QWidget* parent, const char* name) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    memo->setGeometry(ScaledRect(8, 48, kFormWidth - 16, 272));
    return memo;
}

}  // namespace

TF_ShowDel::TF_ShowDel(ui::TF_Main* main, ui::TLoadBitmap loadBitmap)
    : QWidget(main, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      main_(main),
      loadBitmap_(std::move(loadBitmap)),
      list_(this) {
    setObjectName(QStringLiteral("F_ShowDel"));
    setWindowTitle(QStringLiteral("Tandex"));
    setFixedSize(config::ScaleDpi(kFormWidth), config::ScaleDpi(kFormHeight));

    P_Info = new QWidget(this);
    P_Info->setObjectName(QStringLiteral("P_Info"));
    P_Info->setGeometry(ScaledRect(0, 0, kFormWidth, 40));
    L_Action = ui::MakeFormLabel(P_Info, "L_Action", ScaledRect(10, 12, 430, 17), true);
    L_DelFolders = ui::MakeFormLabel(P_Info, "L_DelFolders", ScaledRect(10, 12, 430, 17), true);
    L_NumOfDelFolder = ui::MakeFormLabel(P_Info, "L_NumOfDelFolder", ScaledRect(440, 12, 150, 17));
    L_NumOfDelFolder->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    M_DelFiles = makeMemo(this, "M_DelFiles");
    M_DelFiles->hide();
    M_DelFolders = makeMemo(this, "M_DelFolders");
    M_ShowDel = makeMemo(this, "M_ShowDel");

    P_PleaseWait = ui::MakeFormLabel(this, "P_PleaseWait", ScaledRect(150, 160, 300, 40), true);
    P_PleaseWait->setAlignment(Qt::AlignCenter);
    P_PleaseWait->setFrameShape(QFrame::Box);
    P_PleaseWait->setAutoFillBackground(true);
    ui::SetPanelColor(P_PleaseWait, 0xE1FFFF);

    PB_Delete = new QProgressBar(this);
    PB_Delete->setObjectName(QStringLiteral("PB_Delete"));
    PB_Delete->setGeometry(ScaledRect(8, 326, kFormWidth - 16, 12));
    PB_Delete->setTextVisible(false);

    CB_DelEmptyFolder = new QCheckBox(QStringLiteral("Delete empty folders"), this);
    CB_DelEmptyFolder->setObjectName(QStringLiteral("CB_DelEmptyFolder"));
    CB_DelEmptyFolder->setGeometry(ScaledRect(8, 346, 300, 20));
    connect(CB_DelEmptyFolder, &QCheckBox::clicked, this, [this] { CB_DelEmptyFolderClick(); });

    B_ToTrash = makeButton("B_ToTrash", kGlyphTrash);
    B_Yes = makeButton("B_Yes", kGlyphDelete);
    B_ShowDelFiles = makeButton("B_ShowDelFiles", -1);
    B_ShowDelFolders = makeButton("B_ShowDelFolders", -1);
    B_No = makeButton("B_No", kGlyphCancel);
    B_ToTrash->OnClick = [this](QObject* sender) { B_YesClick(sender); };
    B_Yes->OnClick = [this](QObject* sender) { B_YesClick(sender); };
    B_No->OnClick = [this](QObject*) { B_NoClick(); };
    B_ShowDelFiles->OnClick = [this](QObject*) { L_NumOfDelFolderClick(); };
    B_ShowDelFolders->OnClick = [this](QObject*) { L_NumOfDelFolderClick(); };
    arrangeButtons();

    fileDeleteDlg_ = new TF_FileDeleteDlg(this);
}

TF_ShowDel::~TF_ShowDel() = default;

ui::TFlatButton2* TF_ShowDel::makeButton(const char* name, int imageIndex) {
    auto* b = new ui::TFlatButton2(this);
    b->setObjectName(QLatin1String(name));
    b->SetFlatStyle(ui::FS_SHOWBORDER);
    b->SetWidth(124);
    b->SetHeight(62);
    if (imageIndex >= 0 && loadBitmap_) {
        b->LoadBMPFunc = loadBitmap_;
        b->SetListID(kButtonList);
        b->SetImageID(imageIndex);
    }
    return b;
}

void TF_ShowDel::arrangeButtons() {
    const int y = 374;
    B_ToTrash->move(config::ScaleDpi(8), config::ScaleDpi(y));
    B_Yes->move(config::ScaleDpi(138), config::ScaleDpi(y));
    // The folder button sits on the file button's right; only one of them
    // shows at a time.
    B_ShowDelFiles->move(config::ScaleDpi(272), config::ScaleDpi(y));
    B_ShowDelFolders->move(config::ScaleDpi(338), config::ScaleDpi(y));
    B_No->move(config::ScaleDpi(468), config::ScaleDpi(y));
}

void TF_ShowDel::Prepare(const QPoint& position, int side, int expectedCount) {
    setWindowTitle(QStringLiteral("Tandex"));
    L_NumOfDelFolder->clear();
    L_DelFolders->move(L_Action->x(), L_DelFolders->y());
    L_DelFolders->hide();
    L_Action->show();
    B_ToTrash->SetCaption(QStringLiteral("Move to\rTrashcan"));
    B_Yes->SetCaption(QStringLiteral("Delete\rfinally"));
    B_ShowDelFolders->SetCaption(QStringLiteral("Show\rdeleted\rfolders"));
    B_ShowDelFiles->SetCaption(QStringLiteral("Show\rdeleted\rfiles"));
    B_No->SetCaption(QStringLiteral("Cancel"));
    B_ShowDelFolders->hide();
    B_ShowDelFiles->hide();
    for (ui::TFlatButton2* b : {B_ToTrash, B_Yes, B_ShowDelFolders, B_ShowDelFiles, B_No}) {
        b->SetFlat(config::FlatLook() != 0);
        b->ResetSize();
    }
    ui::SetPanelColor(P_Info, config::AppSettings().GSGUIStyle == 0 ? 0xC6F5FF : 0xF0F0F0);
    PB_Delete->setRange(0, qMax(1, expectedCount));
    PB_Delete->setValue(0);
    B_ToTrash->SetEnabled(true);
    B_Yes->SetEnabled(true);
    P_PleaseWait->setText(QStringLiteral("Populating file list, please wait ..."));
    P_PleaseWait->show();
    P_PleaseWait->raise();
    for (QPlainTextEdit* memo : {M_DelFiles, M_ShowDel, M_DelFolders}) memo->clear();
    M_DelFolders->hide();
    M_ShowDel->show();
    QFont f = CB_DelEmptyFolder->font();
    f.setBold(CB_DelEmptyFolder->isChecked());
    CB_DelEmptyFolder->setFont(f);
    CB_DelEmptyFolder->setEnabled(true);
    list_.Prepare(side, expectedCount);
    move(position);
    ui::DisableSystemMenuClose(this);
}

void TF_ShowDel::AddItem(int row, const QString& path) {
    if (list_.Items.empty()) {
        show();
        raise();
        config::eventPump().processEvents();
        B_ToTrash->setFocus();
    }
    const bool trashBefore = list_.TrashAllowed;
    list_.AddItem(row, path);
    M_DelFiles->appendPlainText(list_.Items.back().Line);
    if (trashBefore && !list_.TrashAllowed) {
        B_ToTrash->SetEnabled(false);
        B_No->setFocus();
    }
    config::eventPump().processEvents();
}

void TF_ShowDel::Run(int storeSide) {
    PB_Delete->setRange(0, qMax(1, int(list_.Items.size())));
    const bool listed = list_.Start(storeSide);
    L_Action->setText(list_.ActionText);
    M_ShowDel->setPlainText(list_.Shown.join(QLatin1Char('\n')));
    P_PleaseWait->hide();
    if (listed) {
        show();
        QEventLoop loop;
        loop_ = &loop;
        while (list_.DelState != dsIdle) loop.exec();
        loop_ = nullptr;
    }
    M_DelFolders->hide();
    B_ShowDelFolders->hide();
    B_ShowDelFiles->hide();
    hide();
}

void TF_ShowDel::B_YesClick(QObject* sender) {
    if (list_.DelState != dsWaiting) return;
    // The question comes up beside the list, where the eye already is.
    fileDeleteDlg_->move(x() + config::ScaleDpi(50), y() + (height() - fileDeleteDlg_->height()) / 2);
    fileDeleteDlg_->ResetAnswers();
    B_ToTrash->SetEnabled(false);
    B_Yes->SetEnabled(false);
    CB_DelEmptyFolder->setEnabled(false);
    list_.DeleteEmptyFolders = CB_DelEmptyFolder->isChecked();
    M_ShowDel->clear();
    M_ShowDel->setUpdatesEnabled(false);
    list_.Delete(sender == B_ToTrash);
    M_ShowDel->setUpdatesEnabled(true);
    showResults();
}

void TF_ShowDel::showResults() {
    M_ShowDel->setPlainText(list_.Shown.join(QLatin1Char('\n')));
    M_DelFolders->setPlainText(list_.DeletedFolders.join(QLatin1Char('\n')));
    L_Action->setText(list_.ActionText);
    if (!list_.FolderCountText.isEmpty()) {
        L_NumOfDelFolder->setText(list_.FolderCountText);
        L_DelFolders->setText(list_.DelFoldersText);
        B_ShowDelFolders->setVisible(list_.FolderCount > 0);
    }
    B_No->SetCaption(QStringLiteral("Close"));
    B_No->setFocus();
}

void TF_ShowDel::B_NoClick() {
    list_.Cancel();
    if (list_.DelState == dsIdle && loop_) loop_->quit();
}

void TF_ShowDel::CB_DelEmptyFolderClick() {
    QFont f = CB_DelEmptyFolder->font();
    f.setBold(CB_DelEmptyFolder->isChecked());
    CB_DelEmptyFolder->setFont(f);
}

void TF_ShowDel::L_NumOfDelFolderClick() {
    const bool showFolders = !M_DelFolders->isVisible();
    M_DelFolders->setVisible(showFolders);
    L_DelFolders->setVisible(showFolders);
    M_ShowDel->setVisible(!showFolders);
    L_Action->setVisible(!showFolders);
    B_ShowDelFolders->setVisible(!showFolders);
    B_ShowDelFiles->setVisible(showFolders);
    L_NumOfDelFolder->setText(list_.ShownCountText(B_ShowDelFolders->isVisible()));
}

void TF_ShowDel::closeEvent(QCloseEvent* event) {
    if (list_.DelState != dsIdle) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

int TF_ShowDel::AskDelete(const QString& path, int category) { return fileDeleteDlg_->Ask(path, category); }

void TF_ShowDel::markEntryDeleted(int row, int side) {
    if (main_) main_->markEntryDeleted(row, side);
}

void TF_ShowDel::SetWaitText(const QString& text) {
    P_PleaseWait->setText(text);
    P_PleaseWait->setVisible(!text.isEmpty());
    if (!text.isEmpty()) P_PleaseWait->raise();
}

void TF_ShowDel::SetProgress(int position, int maximum) {
    PB_Delete->setRange(0, qMax(1, maximum));
    PB_Delete->setValue(position);
}

}  // namespace tandex::folders
