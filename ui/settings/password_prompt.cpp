#include "password_prompt.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QThread>

#include "config/scrambler.h"
#include "config/sys_helpers.h"
#include "ui/main/flat_button.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window_seams.h"
#include "ui/main/window_helpers.h"

namespace tandex::settings {

TPasswordPlace& passwordPlace() {
    static TPasswordPlace place;
    return place;
}

TF_Password::TF_Password(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("F_Password"));
    setWindowTitle(QStringLiteral(" FTP Password required "));
    setFixedSize(config::ScaleDpi(300), config::ScaleDpi(116));

    L_Password = ui::MakeFormLabel(this, "L_Password", ui::ScaledRect(12, 17, 70, 17));
    L_Password->setText(QStringLiteral("Password:"));
    E_Password = new QLineEdit(this);
    E_Password->setObjectName(QStringLiteral("E_Password"));
    E_Password->setGeometry(ui::ScaledRect(84, 14, 204, 22));
    E_Password->installEventFilter(this);
    connect(E_Password, &QLineEdit::textChanged, this, [this] { E_PasswordChange(); });
    CB_HidePW = new QCheckBox(QStringLiteral("Hide Password"), this);
    CB_HidePW->setObjectName(QStringLiteral("CB_HidePW"));
    CB_HidePW->setGeometry(ui::ScaledRect(84, 42, 204, 18));
    connect(CB_HidePW, &QCheckBox::toggled, this, [this] { CB_HidePWClick(); });

    P_Buttons = new QWidget(this);
    P_Buttons->setObjectName(QStringLiteral("P_Buttons"));
    P_Buttons->setGeometry(ui::ScaledRect(0, 74, 300, 42));
    fbOk = new ui::TFlatButton2(P_Buttons);
    fbOk->setObjectName(QStringLiteral("fbOk"));
    fbOk->move(config::ScaleDpi(104), config::ScaleDpi(8));
    fbOk->SetCaption(QStringLiteral("OK"));
    fbOk->SetModalResult(QDialog::Accepted);
    fbCancel = new ui::TFlatButton2(P_Buttons);
    fbCancel->setObjectName(QStringLiteral("fbCancel"));
    fbCancel->move(config::ScaleDpi(200), config::ScaleDpi(8));
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbCancel->SetModalResult(2);
    for (ui::TFlatButton2* b : {fbOk, fbCancel}) {
        b->SetWidth(88);
        b->SetHeight(27);
        b->SetFlatStyle(ui::FS_SHOWBORDER);
    }
}

QString TF_Password::Ask(const QString& caption) {
    const TPasswordPlace& place = passwordPlace();
    if (place.PasswordTop != -1) move(place.PasswordLeft, place.PasswordTop);
    setWindowTitle(caption);
    E_Password->clear();
    CB_HidePW->setChecked(true);
    CB_HidePWClick();
    fbOk->SetEnabled(false);
    const bool flat = config::FlatLook() != 0;
    for (ui::TFlatButton2* b : {fbOk, fbCancel}) {
        b->SetFlat(flat);
        b->ResetSize();
    }
    ui::SetPanelColor(P_Buttons, flat ? 0xF0F0F0 : 0xE0E0E0);
    E_Password->setFocus();

    QString answer;
    Cancelled = exec() != QDialog::Accepted;
    // The scrambler takes the text as UTF-8: every character the user can
    // type survives, and ASCII passwords scramble as they always did.
    if (!Cancelled) answer = config::ScrambleText(E_Password->text());
    // The clear text is not left lying in the dialog.
    E_Password->clear();
    passwordPlace() = {x(), y()};
    return answer;
}

void TF_Password::E_PasswordChange() {
    fbOk->SetEnabled(!E_Password->text().isEmpty());
}

void TF_Password::CB_HidePWClick() {
    E_Password->setEchoMode(CB_HidePW->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

bool TF_Password::eventFilter(QObject* watched, QEvent* event) {
    if (watched == E_Password && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Click does nothing while OK is disabled: an empty field stays open.
            fbOk->Click();
            return true;
        }
        if (key == Qt::Key_Escape) {
            fbCancel->Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TF_Password::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    E_Password->setFocus();
}

access::TPasswordAnswer AskPassword(const QString& caption) {
    access::TPasswordAnswer answer;
    answer.cancelled = true;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || ui::commandLine().BatchMode()) return answer;
    auto ask = [&answer, &caption] {
        QWidget* owner = QApplication::activeWindow();
        if (!owner) owner = ui::MainForm();
        TF_Password prompt(owner);
        answer.scrambled = prompt.Ask(caption);
        answer.cancelled = prompt.Cancelled;
    };
    if (QThread::currentThread() == app->thread())
        ask();
    else
        // The user-interface thread waits for workers only with its events
        // pumped, so it gets to this while the worker waits.
        QMetaObject::invokeMethod(app, ask, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace tandex::settings
