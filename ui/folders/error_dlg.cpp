#include "error_dlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include "config/app_settings.h"
#include "config/path_text.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/main/form_layout.h"
#include "ui/main/window_helpers.h"

namespace tandex::folders {

using ui::FitLabelWidth;
using ui::PlaceRightOf;
using ui::ScaledRect;
using ui::SetLabelColor;

namespace {

constexpr ui::TColor kErrorBackground = 0xF2F9FF;
constexpr ui::TColor kPartlyBackground = 0xFFFFEC;
constexpr ui::TColor kRed = 0x0000FF;
constexpr ui::TColor kOrange = 4227327;

QLabel* MakeIcon(QWidget* parent, const char* name, const QRect& r, const QPixmap& picture) {
    QLabel* image = ui::MakeFormImage(parent, name, r);
    image->setPixmap(picture);
    return image;
}

}  // namespace

void MakeAnswerButtons(QWidget* form, int y, ui::TFlatButton2*& yes, ui::TFlatButton2*& yesAll,
                       ui::TFlatButton2*& no, ui::TFlatButton2*& noAll, ui::TFlatButton2*& cancel) {
    struct ButtonDef {
        ui::TFlatButton2*& button;
        const char* name;
        const char* caption;
        int result;
    };
    const ButtonDef buttons[] = {
        {yes, "fbYes", "Yes", erYes},
        {yesAll, "fbYesAll", "Yes, all", erYesToAll},
        {no, "fbNo", "No", erNo},
        {noAll, "fbNoAll", "No, all", erNoToAll},
        {cancel, "fbCancel", "Cancel, all", erCancel},
    };
    int x = 12;
    for (const ButtonDef& def : buttons) {
        def.button = new ui::TFlatButton2(form);
        def.button->setObjectName(QLatin1String(def.name));
        def.button->move(config::ScaleDpi(x), config::ScaleDpi(y));
        def.button->SetWidth(84);
        def.button->SetHeight(27);
        def.button->SetFlatStyle(ui::FS_SHOWBORDER);
        def.button->SetCaption(QLatin1String(def.caption));
        def.button->SetModalResult(def.result);
        x += 90;
    }
}

TF_ErrorDlg::TF_ErrorDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("F_ErrorDlg"));
    setWindowTitle(QStringLiteral(" Critical Error! "));
    setFixedSize(config::ScaleDpi(466), config::ScaleDpi(229));
    setAutoFillBackground(true);

    const int icon = config::ScaleDpi(32);
    IMG_Attention = MakeIcon(this, "IMG_Attention", ScaledRect(14, 12, 32, 32),
                             style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(icon, icon));
    L_ErrorTxt = ui::MakeFormLabel(this, "L_ErrorTxt", ScaledRect(58, 8, 396, 40), true);
    L_ErrorTxt->setWordWrap(true);
    SetLabelColor(L_ErrorTxt, kRed);

    P_Sep1 = new QWidget(this);
    P_Sep1->setObjectName(QStringLiteral("P_Sep1"));
    P_Sep1->setGeometry(ScaledRect(8, 54, 450, 1));
    ui::SetPanelColor(P_Sep1, 0xC0C0C0);

    L_Txt1 = ui::MakeFormLabel(this, "L_Txt1", ScaledRect(58, 62, 120, 17), false);
    L_Txt2 = ui::MakeFormLabel(this, "L_Txt2", ScaledRect(178, 62, 60, 17), true);
    L_Txt3 = ui::MakeFormLabel(this, "L_Txt3", ScaledRect(238, 62, 120, 17), false);
    L_Filename = ui::MakeFormLabel(this, "L_Filename", ScaledRect(58, 80, 396, 17), true);
    L_Txt4 = ui::MakeFormLabel(this, "L_Txt4", ScaledRect(58, 102, 396, 17), true);
    L_Txt4->setText(QStringLiteral("The file was only partly copied to its destination!"));
    SetLabelColor(L_Txt4, kOrange);

    P_Sep2 = new QWidget(this);
    P_Sep2->setObjectName(QStringLiteral("P_Sep2"));
    P_Sep2->setGeometry(ScaledRect(8, 126, 450, 1));
    ui::SetPanelColor(P_Sep2, 0xC0C0C0);

    const QPixmap question = style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(icon, icon);
    IMG_Q1 = MakeIcon(this, "IMG_Q1", ScaledRect(14, 134, 32, 32), question);
    IMG_Q2 = MakeIcon(this, "IMG_Q2", ScaledRect(420, 134, 32, 32), QPixmap());
    L_AskKeep = ui::MakeFormLabel(this, "L_AskKeep", ScaledRect(58, 136, 356, 17), true, true);
    L_RetryCount = ui::MakeFormLabel(this, "L_RetryCount", ScaledRect(58, 156, 356, 17), true);
    SetLabelColor(L_RetryCount, kOrange);

    MakeAnswerButtons(this, 190, fbYes, fbYesAll, fbNo, fbNoAll, fbCancel);

    timFlash = new QTimer(this);
    timFlash->setObjectName(QStringLiteral("timFlash"));
    timFlash->setSingleShot(true);
    connect(timFlash, &QTimer::timeout, this, &TF_ErrorDlg::timFlashTimer);

    FormCreate();
    setBackground(kErrorBackground);
}

void TF_ErrorDlg::FormCreate() {
    IMG_Q2->setPixmap(IMG_Q1->pixmap());
    FirstShow = true;
}

void TF_ErrorDlg::setBackground(ui::TColor color) {
    ui::SetPanelColor(this, color);
    for (ui::TFlatButton2* b : {fbYes, fbYesAll, fbNo, fbNoAll, fbCancel}) b->SetBgColorFlat(color);
}

int TF_ErrorDlg::Ask(const QString& name, const QString& errorText, bool partly, int side, bool allButtons) {
    const QFontMetrics metrics(L_Filename->font());
    L_Filename->setText(config::ShortenPathToWidth(
        [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }, name, L_Filename->width()));
    L_ErrorTxt->setText(errorText);

    fbYesAll->SetEnabled(allButtons);
    fbNoAll->SetEnabled(allButtons);
    fbCancel->SetEnabled(allButtons);
    for (ui::TFlatButton2* b : {fbYes, fbYesAll, fbNo, fbNoAll, fbCancel}) {
        b->SetFlat(config::FlatLook() != 0);
        b->ResetSize();
    }

    if (FirstShow) {
        // Centred on the main window, or on the screen before there is one.
        const QWidget* main = ui::MainForm();
        const QRect area = main ? main->frameGeometry() : screen()->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    } else {
        move(ErrorDlgLeft, ErrorDlgTop);
    }

    arrangeTexts(errorText, partly, side);
    config::eventPump().processEvents();
    const int result = exec();

    FirstShow = false;
    ErrorDlgTop = y();
    ErrorDlgLeft = x();
    timFlash->stop();
    const int answer = ErrorAnswerOfResult(result);
    policy_.StoreAnswer(partly, answer);
    return answer;
}

void TF_ErrorDlg::arrangeTexts(const QString& errorText, bool partly, int side) {
    const TErrorDlgTexts t =
        ArrangeErrorTexts(errorText, partly, config::AppSettings().ESMaxRetry - policy_.RetryCount(side));
    L_Txt4->setVisible(t.partlyNotice);
    if (t.partlyNotice) {
        flashRed_ = false;
        SetLabelColor(L_Txt4, kOrange);
        timFlash->start(500);
    } else {
        timFlash->stop();
    }
    L_RetryCount->setVisible(t.retryCountVisible);

    L_Txt1->setText(t.txt1);
    FitLabelWidth(L_Txt1);
    L_Txt2->setText(t.txt2);
    PlaceRightOf(L_Txt2, L_Txt1);
    L_Txt3->setText(t.txt3);
    PlaceRightOf(L_Txt3, L_Txt2);

    setBackground(partly ? kPartlyBackground : kErrorBackground);
    L_AskKeep->setText(t.askKeep);
    L_RetryCount->setText(t.retryCount);
}

void TF_ErrorDlg::timFlashTimer() {
    // Red for a blink, orange for the pause between blinks.
    flashRed_ = !flashRed_;
    SetLabelColor(L_Txt4, flashRed_ ? kRed : kOrange);
    if (!L_Txt4->isHidden()) timFlash->start(flashRed_ ? 100 : 500);
}

}  // namespace tandex::folders
