#include "replace_dlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QStyle>
#include <QTimer>

#include "access/file_times.h"
#include "config/path_text.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/folders/error_dlg.h"
#include "ui/main/form_layout.h"

namespace tandex::folders {

using ui::PlaceRightOf;
using ui::ScaledRect;
using ui::SetLabelColor;

namespace {

constexpr ui::TColor kBackground = 0xFFF4F2;
constexpr ui::TColor kBlack = 0x000000;
constexpr ui::TColor kRed = 0x0000FF;
constexpr ui::TColor kSeparator = 0xC0C0C0;

QWidget* MakeSeparator(QWidget* parent, const char* name, int y) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setGeometry(ScaledRect(8, y, 450, 1));
    ui::SetPanelColor(panel, kSeparator);
    return panel;
}

}  // namespace

TF_FileReplaceDlg::TF_FileReplaceDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("F_FileReplaceDlg"));
    setWindowTitle(QStringLiteral(" Replace file? "));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(config::ScaleDpi(466), config::ScaleDpi(242));
    ui::SetPanelColor(this, kBackground);

    Image1 = ui::MakeFormImage(this, "Image1", ScaledRect(14, 10, 32, 32));
    L_FolderTxt = ui::MakeFormLabel(this, "L_FolderTxt", ScaledRect(58, 8, 396, 17));
    L_FolderTxt->setText(QStringLiteral("The folder:"));
    L_Folder = ui::MakeFormLabel(this, "L_Folder", ScaledRect(58, 25, 396, 17), true);
    L_Txt1 = ui::MakeFormLabel(this, "L_Txt1", ScaledRect(58, 44, 120, 17));
    L_Txt1->setText(QStringLiteral("already contains a "));
    ui::FitLabelWidth(L_Txt1);
    L_Txt2 = ui::MakeFormLabel(this, "L_Txt2", ScaledRect(178, 44, 100, 17));
    L_Txt3 = ui::MakeFormLabel(this, "L_Txt3", ScaledRect(278, 44, 60, 17));
    L_Filename = ui::MakeFormLabel(this, "L_Filename", ScaledRect(58, 61, 396, 17), true);

    P_Sep1 = MakeSeparator(this, "P_Sep1", 86);

    IMG_Questionmark = ui::MakeFormImage(this, "IMG_Questionmark", ScaledRect(10, 98, 32, 32));
    const int icon = config::ScaleDpi(32);
    IMG_Questionmark->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(icon, icon));

    // The two files' captions end at one edge, so that their sizes and
    // dates start in one column whichever caption is longer.
    L_ReplaceTxt = ui::MakeFormLabel(this, "L_ReplaceTxt", ScaledRect(50, 94, 150, 17));
    L_ReplaceTxt->setText(QStringLiteral("Replace the existing file:"));
    L_ReplaceTxt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    L_File1Size = ui::MakeFormLabel(this, "L_File1Size", ScaledRect(204, 94, 256, 17), true);
    L_File1Date = ui::MakeFormLabel(this, "L_File1Date", ScaledRect(204, 111, 256, 17), true);

    P_Sep2 = MakeSeparator(this, "P_Sep2", 135);

    L_File2AttrTxt = ui::MakeFormLabel(this, "L_File2AttrTxt", ScaledRect(50, 143, 150, 17), true);
    L_File2AttrTxt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    L_File2Size = ui::MakeFormLabel(this, "L_File2Size", ScaledRect(204, 143, 256, 17));
    L_File2Date = ui::MakeFormLabel(this, "L_File2Date", ScaledRect(204, 160, 256, 17));

    P_Sep3 = MakeSeparator(this, "P_Sep3", 188);

    MakeAnswerButtons(this, 203, fbYes, fbYesAll, fbNo, fbNoAll, fbCancel);
    for (ui::TFlatButton2* b : {fbYes, fbYesAll, fbNo, fbNoAll, fbCancel}) b->SetBgColorFlat(kBackground);

    timWarning = new QTimer(this);
    timWarning->setObjectName(QStringLiteral("timWarning"));
    timWarning->setSingleShot(true);
    connect(timWarning, &QTimer::timeout, this, &TF_FileReplaceDlg::timWarningTimer);

    FormCreate();
}

void TF_FileReplaceDlg::FormCreate() {
    ResetAnswers();
    FirstShow = true;
}

void TF_FileReplaceDlg::arrangeCategory(int category) {
    const TReplaceCategoryTexts t = ReplaceCategoryTexts(category);
    QFont f = L_Txt1->font();
    f.setBold(t.highlighted);
    f.setUnderline(t.highlighted);
    L_Txt2->setFont(f);
    SetLabelColor(L_Txt2, t.highlighted ? kRed : kBlack);
    L_Txt2->setText(t.txt2);
    PlaceRightOf(L_Txt2, L_Txt1);
    L_Txt3->setText(t.txt3);
    PlaceRightOf(L_Txt3, L_Txt2);
}

void TF_FileReplaceDlg::showFiles(const QString& destFolder, const QString& srcFolder, const QString& fileName) {
    // A file that cannot be read reports size and time 0; the texts show
    // an empty date then rather than one in 1601.
    qint64 size = 0;
    access::FileTime existing = 0, replacing = 0;
    access::FZGetPathLastWriteTime(destFolder, fileName, size, existing);
    L_File1Size->setText(ReplaceSizeText(size));
    L_File1Date->setText(ReplaceDateText(existing));
    access::FZGetPathLastWriteTime(srcFolder, fileName, size, replacing);
    L_File2Size->setText(ReplaceSizeText(size));
    L_File2Date->setText(ReplaceDateText(replacing));

    const TReplaceVerdict verdict = ReplaceTimeVerdict(replacing, existing);
    for (QLabel* l : {L_File2Size, L_File2Date, L_File2AttrTxt}) SetLabelColor(l, verdict.color);
    L_File2AttrTxt->setText(verdict.attrText);
    L_File2AttrTxt->setVisible(true);
    if (verdict.flashing)
        timWarning->start(500);
    else
        timWarning->stop();
}

void TF_FileReplaceDlg::Ask(const QString& destFolder, const QString& srcFolder, int category,
                            const QString& fileName) {
    const int icon = config::ScaleDpi(32);
    Image1->setPixmap(QApplication::windowIcon().pixmap(icon, icon));
    L_Filename->setText(fileName);
    for (ui::TFlatButton2* b : {fbYes, fbYesAll, fbNo, fbNoAll, fbCancel}) {
        b->SetFlat(config::FlatLook() != 0);
        b->ResetSize();
    }
    arrangeCategory(category);
    showFiles(destFolder, srcFolder, fileName);

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
        [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }, destFolder,
        L_Filename->width()));

    const int result = exec();
    timWarning->stop();
    answers_.StoreAnswer(category, ErrorAnswerOfResult(result));
}

void TF_FileReplaceDlg::timWarningTimer() {
    L_File2AttrTxt->setHidden(!L_File2AttrTxt->isHidden());
    if (isVisible()) timWarning->start(L_File2AttrTxt->isHidden() ? 100 : 500);
}

}  // namespace tandex::folders
