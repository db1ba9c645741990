#pragma once
// The delete list window: the numbered list of the files about to be
// deleted, the choice between deleting them for good, moving them to the
// trash and cancelling, and afterwards each item's result and the folders
// that went with them. What it decides lives in TDeleteList (delete_run.h);
// the window shows it and answers its questions. It lives for the whole
// program and runs one list at a time.

#include <QPointer>
#include <QWidget>

#include "ui/folders/delete_run.h"
#include "ui/main/flat_button.h"

class QCheckBox;
class QEventLoop;
class QLabel;
class QPlainTextEdit;
class QProgressBar;

namespace tandex::ui {
class TF_Main;
}

namespace tandex::folders {

class TF_FileDeleteDlg;

class TF_ShowDel : public QWidget, private TDeleteHost {
    Q_OBJECT

public:
    // main receives the deleted entries and gives the glyphs; without one
    // (tests) the window is one of its own.
    explicit TF_ShowDel(ui::TF_Main* main = nullptr, ui::TLoadBitmap loadBitmap = {});
    ~TF_ShowDel() override;

    void Prepare(const QPoint& position, int side, int expectedCount);
    void AddItem(int row, const QString& path);
    // Shows the list and returns once the user closed it.
    void Run(int storeSide);

    void B_YesClick(QObject* sender);
    void B_NoClick();
    void CB_DelEmptyFolderClick();
    void L_NumOfDelFolderClick();

    TDeleteList& List() { return list_; }
    int DelState() const { return list_.DelState; }
    TF_FileDeleteDlg* FileDeleteDlg() const { return fileDeleteDlg_; }

    QWidget* P_Info = nullptr;
    QLabel *L_Action = nullptr, *L_DelFolders = nullptr, *L_NumOfDelFolder = nullptr;
    QLabel* P_PleaseWait = nullptr;
    QPlainTextEdit *M_DelFiles = nullptr, *M_ShowDel = nullptr, *M_DelFolders = nullptr;
    QProgressBar* PB_Delete = nullptr;
    QCheckBox* CB_DelEmptyFolder = nullptr;
    ui::TFlatButton2 *B_ToTrash = nullptr, *B_Yes = nullptr, *B_ShowDelFolders = nullptr,
                     *B_ShowDelFiles = nullptr, *B_No = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // TDeleteHost
    int AskDelete(const QString& path, int category) override;
    void markEntryDeleted(int row, int side) override;
    void SetWaitText(const QString& text) override;
    void SetProgress(int position, int maximum) override;

    ui::TFlatButton2* makeButton(const char* name, int imageIndex);
    void arrangeButtons();
    void showResults();

    QPointer<ui::TF_Main> main_;
    ui::TLoadBitmap loadBitmap_;
    TDeleteList list_;
    TF_FileDeleteDlg* fileDeleteDlg_ = nullptr;
    QEventLoop* loop_ = nullptr;
};

}  // namespace tandex::folders
