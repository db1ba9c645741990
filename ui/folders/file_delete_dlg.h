#pragma once
// The modal " Delete file? " dialog of the delete list: before a
// write-protected, hidden or system file is deleted it names the file and
// its folder and asks whether to delete it anyway. The answers are kept per
// kind of file, so that "Yes, all" and "No, all" hold for the rest of the
// run. The delete list places it before the run.

#include <QDialog>

#include "ui/folders/replace_rules.h"
#include "ui/main/flat_button.h"

class QLabel;

namespace tandex::folders {

// The category names the dialog shows: "normal", "write protected",
// "hidden", "system".
QString DeleteCategoryName(int category);

class TF_FileDeleteDlg : public QDialog {
    Q_OBJECT

public:
    explicit TF_FileDeleteDlg(QWidget* parent = nullptr);

    // All four answers back to No: the start of every deletion run.
    void ResetAnswers() { answers_.ResetAnswers(); }
    // Asks about path (a TReplaceCategory) and returns the answer (a
    // ui::TErrorAnswer), which is also kept for the category; Cancel all
    // is kept for every category.
    int Ask(const QString& path, int category);
    TReplaceAnswers& DeleteAnswer() { return answers_; }

    bool FirstShow = true;

    QLabel *IMG_Q1 = nullptr, *IMG_Q2 = nullptr;
    QLabel *L_FileTxt = nullptr, *L_Filename = nullptr, *L_FolderTxt = nullptr, *L_Folder = nullptr;
    QLabel *L_Txt1 = nullptr, *L_Txt2 = nullptr, *L_Txt3 = nullptr, *L_Question = nullptr;
    QWidget* P_Sep1 = nullptr;
    ui::TFlatButton2 *fbYes = nullptr, *fbYesAll = nullptr, *fbNo = nullptr, *fbNoAll = nullptr,
                     *fbCancel = nullptr;

private:
    void FormCreate();
    void arrangeCategory(int category);

    TReplaceAnswers answers_;
};

}  // namespace tandex::folders
