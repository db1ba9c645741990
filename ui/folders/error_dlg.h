#pragma once
// The modal " Critical Error! " dialog: after a failed file operation it
// asks whether to retry, skip, retry or skip every later failure without
// asking, or cancel the whole run; its second form asks whether a partly
// copied file stays at its destination. It owns the program's retry policy
// and is what app/ installs as the main window's error dialog.

#include <QDialog>

#include "ui/folders/error_retry.h"
#include "ui/main/flat_button.h"
#include "ui/main/main_window_seams.h"

class QLabel;
class QTimer;

namespace tandex::folders {

class TF_ErrorDlg : public QDialog, public ui::ErrorDialogServices {
    Q_OBJECT

public:
    explicit TF_ErrorDlg(QWidget* parent = nullptr);

    // ui::ErrorDialogServices
    int Ask(const QString& name, const QString& errorText, bool partly, int side, bool allButtons) override;
    int ErrorAnswer() const override { return policy_.ErrorAnswer; }
    int PartlyAnswer() const override { return policy_.PartlyAnswer; }
    void Reset() override { policy_.Reset(); }
    void ResetRetries(int side) override { policy_.ResetRetries(side); }
    void CountRetry(int side) override { policy_.CountRetry(side); }
    bool RetriesExhausted(int side) const override { return policy_.RetriesExhausted(side); }
    void RetryDelay() override { policy_.RetryDelay(); }

    int RetryCount(int side) const override { return policy_.RetryCount(side); }
    void ExhaustRetries(int side) override { policy_.ExhaustRetries(side); }
    TErrorRetryPolicy& Policy() { return policy_; }

    void timFlashTimer();

    // Where the dialog was when it last closed; kept for the program's
    // lifetime only.
    int ErrorDlgTop = 0;
    int ErrorDlgLeft = 0;
    bool FirstShow = true;

    QLabel* L_ErrorTxt = nullptr;
    QLabel *L_Txt1 = nullptr, *L_Txt2 = nullptr, *L_Txt3 = nullptr;
    QLabel* L_Filename = nullptr;
    QLabel* L_Txt4 = nullptr;
    QLabel* L_AskKeep = nullptr;
    QLabel* L_RetryCount = nullptr;
    QLabel *IMG_Attention = nullptr, *IMG_Q1 = nullptr, *IMG_Q2 = nullptr;
    QWidget *P_Sep1 = nullptr, *P_Sep2 = nullptr;
    QTimer* timFlash = nullptr;
    ui::TFlatButton2 *fbYes = nullptr, *fbYesAll = nullptr, *fbNo = nullptr, *fbNoAll = nullptr,
                     *fbCancel = nullptr;

private:
    void FormCreate();
    void arrangeTexts(const QString& errorText, bool partly, int side);
    void setBackground(ui::TColor color);

    TErrorRetryPolicy policy_;
    bool flashRed_ = false;
};

// The row of five answer buttons that the questions of a run share ("Yes",
// "Yes, all", "No", "No, all", "Cancel, all"), at y in 96-dpi pixels; each
// ends the dialog with its answer's modal result.
void MakeAnswerButtons(QWidget* form, int y, ui::TFlatButton2*& yes, ui::TFlatButton2*& yesAll,
                       ui::TFlatButton2*& no, ui::TFlatButton2*& noAll, ui::TFlatButton2*& cancel);

}  // namespace tandex::folders
