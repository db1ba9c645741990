#pragma once
// The modal " Replace file? " dialog of the copy engine: before the writer
// overwrites a destination file that exists, or one that is write-protected,
// hidden or a system file, it shows both files with size and time, warns
// when the replacing file is the older one, and keeps the answer per kind
// of file so that "Yes, all" and "No, all" hold for the rest of the run.
// The copy engine places it before asking; it has no position of its own.

#include <QDialog>

#include "ui/folders/replace_rules.h"
#include "ui/main/flat_button.h"

class QLabel;
class QTimer;

namespace tandex::folders {

class TF_FileReplaceDlg : public QDialog {
    Q_OBJECT

public:
    explicit TF_FileReplaceDlg(QWidget* parent = nullptr);

    // All four answers back to No; called at the start of every copy run.
    void ResetAnswers() { answers_.ResetAnswers(); }
    // Asks about destFolder/fileName, which srcFolder/fileName would
    // replace, and stores the answer for category (a TReplaceCategory).
    void Ask(const QString& destFolder, const QString& srcFolder, int category, const QString& fileName);
    TReplaceAnswers& Answers() { return answers_; }

    void timWarningTimer();

    bool FirstShow = true;

    QLabel *Image1 = nullptr, *IMG_Questionmark = nullptr;
    QLabel *L_FolderTxt = nullptr, *L_Folder = nullptr;
    QLabel *L_Txt1 = nullptr, *L_Txt2 = nullptr, *L_Txt3 = nullptr;
    QLabel* L_Filename = nullptr;
    QLabel *L_ReplaceTxt = nullptr, *L_File1Size = nullptr, *L_File1Date = nullptr;
    QLabel *L_File2AttrTxt = nullptr, *L_File2Size = nullptr, *L_File2Date = nullptr;
    QWidget *P_Sep1 = nullptr, *P_Sep2 = nullptr, *P_Sep3 = nullptr;
    QTimer* timWarning = nullptr;
    ui::TFlatButton2 *fbYes = nullptr, *fbYesAll = nullptr, *fbNo = nullptr, *fbNoAll = nullptr,
                     *fbCancel = nullptr;

private:
    void FormCreate();
    void arrangeCategory(int category);
    void showFiles(const QString& destFolder, const QString& srcFolder, const QString& fileName);

    TReplaceAnswers answers_;
};

}  // namespace tandex::folders
