#include "file_delete_dlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStyle>

#include "config/path_text.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/error_dlg.h"
#include "ui/folders/error_retry.h"
#include "ui/main/form_layout.h"

namespace tandex::folders {

using ui::PlaceRightOf;
using ui::ScaledRect;
using ui::SetLabelColor;

namespace {

constexpr ui::TColor kBackground = 0xFFF4F2;
constexpr ui::TColor kBlack = 0x000000;
constexpr ui::TColor kDarkRed = 0x0000B0;

}  // namespace

QString DeleteCategoryName(int category) {
    // The protected categories read as in the replace question.
    const QString name = ReplaceCategoryTexts(category).txt2;
    return name.isEmpty() ? QStringLiteral("normal") : name;
}

TF_FileDeleteDlg::TF_FileDeleteDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("F_FileDeleteDlg"));
    setWindowTitle(QStringLiteral(" Delete file? "));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(config::ScaleDpi(466), config::ScaleDpi(176));
    ui::SetPanelColor(this, kBackground);

    IMG_Q1 = ui::MakeFormImage(this, "IMG_Q1", ScaledRect(14, 12, 32, 32));
    L_FileTxt = ui::MakeFormLabel(this, "L_FileTxt", ScaledRect(58, 8, 396, 17));
    L_FileTxt->setText(QStringLiteral("The file:"));
    L_Filename = ui::MakeFormLabel(this, "L_Filename", ScaledRect(58, 25, 396, 17), true);
    L_FolderTxt = ui::MakeFormLabel(this, "L_FolderTxt", ScaledRect(58, 44, 396, 17));
    L_FolderTxt->setText(QStringLiteral("in folder:"));
    L_Folder = ui::MakeFormLabel(this, "L_Folder", ScaledRect(58, 61, 396, 17), true);
    L_Txt1 = ui::MakeFormLabel(this, "L_Txt1", ScaledRect(58, 80, 40, 17));
    L_Txt1->setText(QStringLiteral("is a "));
    ui::FitLabelWidth(L_Txt1);
    L_Txt2 = ui::MakeFormLabel(this, "L_Txt2", ScaledRect(98, 80, 100, 17));
    L_Txt3 = ui::MakeFormLabel(this, "L_Txt3", ScaledRect(198, 80, 40, 17));
    L_Txt3->setText(QStringLiteral(" file"));

    P_Sep1 = new QWidget(this);
    P_Sep1->setObjectName(QStringLiteral("P_Sep1"));
    P_Sep1->setGeometry(ScaledRect(8, 104, 450, 1));
    ui::SetPanelColor(P_Sep1, 0xC0C0C0);

    IMG_Q2 = ui::MakeFormImage(this, "IMG_Q2", ScaledRect(14, 108, 32, 32));
    L_Question = ui::MakeFormLabel(this, "L_Question", ScaledRect(58, 116, 356, 17), true);
    L_Question->setText(QStringLiteral("Delete it anyway"));

    MakeAnswerButtons(this, 142, fbYes, fbYesAll, fbNo, fbNoAll, fbCancel);
    for (ui::TFlatButton2* b : {fbYes, fbYesAll, fbNo, fbNoAll, fbCancel}) b->SetBgColorFlat(kBackground);

    FormCreate();
}

void TF_FileDeleteDlg::FormCreate() {
    // The error dialog's question mark, so that both questions of a run
    // look alike.
    const int icon = config::ScaleDpi(32);
    const QPixmap question = style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(icon, icon);
    IMG_Q1->setPixmap(question);
    IMG_Q2->setPixmap(question);
    ResetAnswers();
    FirstShow = true;
}

void TF_FileDeleteDlg::arrangeCategory(int category) {
    const bool highlighted = category >= rcWriteProtected && category <= rcSystem;
    QFont f = L_Txt1->font();
    f.setBold(highlighted);
    f.setUnderline(highlighted);
    L_Txt2->setFont(f);
    SetLabelColor(L_Txt2, highlighted ? kDarkRed : kBlack);
    L_Txt2->setText(DeleteCategoryName(category));
    PlaceRightOf(L_Txt2, L_Txt1);
    PlaceRightOf(L_Txt3, L_Txt2);
}

int TF_FileDeleteDlg::Ask(const QString& path, int category) {
    L_Filename->setText(config::ExtractNamePart(path));
    for (ui::TFlatButton2* b : {fbYes, fbYesAll, fbNo, fbNoAll, fbCancel}) {
        b->SetFlat(config::FlatLook() != 0);
        b->ResetSize();
    }
    arrangeCategory(category);
    if (FirstShow) {
        // Shown once so that the fonts and label sizes of the window settle
        // before the first real showing measures them.
        setVisible(true);
        config::eventPump().processEvents();
        setVisible(false);
        FirstShow = false;
    }
    const QFontMetrics metrics(L_Folder->font());
    L_Folder->setText(config::ShortenPathToWidth(
        [&metrics](const QString& text) { return metrics.horizontalAdvance(text); },
        config::ExtractPathWithDelim(path), L_Folder->width()));
    const int answer = ErrorAnswerOfResult(exec());
    answers_.StoreAnswer(category, answer);
    return answer;
}

}  // namespace tandex::folders
