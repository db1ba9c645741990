#pragma once
// The modal password prompt. Its answer leaves it already scrambled, so the
// typed password is never handed around in the clear. AskPassword is the
// access layer's password hook: archives, FTP logins and the copy engine
// ask it, from the user-interface thread or from a worker.

#include <QDialog>

#include "access/password_prompt.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace tandex::ui {
class TFlatButton2;
}

namespace tandex::settings {

// Where the prompt was last left; top -1 until it has been shown once.
struct TPasswordPlace {
    int PasswordLeft = 0;
    int PasswordTop = -1;
};
TPasswordPlace& passwordPlace();

class TF_Password : public QDialog {
    Q_OBJECT

public:
    explicit TF_Password(QWidget* parent = nullptr);

    // Shows the prompt captioned caption; the typed password scrambled, or
    // empty when the user cancelled (Cancelled tells which).
    QString Ask(const QString& caption);
    bool Cancelled = false;

    void E_PasswordChange();
    void CB_HidePWClick();

    QLabel* L_Password = nullptr;
    QLineEdit* E_Password = nullptr;
    QCheckBox* CB_HidePW = nullptr;
    QWidget* P_Buttons = nullptr;
    ui::TFlatButton2 *fbOk = nullptr, *fbCancel = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
};

// The prompt on the user-interface thread, whichever thread asks; a batch
// run has nobody to ask and answers cancelled at once.
access::TPasswordAnswer AskPassword(const QString& caption);

}  // namespace tandex::settings
