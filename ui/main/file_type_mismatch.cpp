#include "file_type_mismatch.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>

#include "config/app_settings.h"
#include "config/sys_helpers.h"
#include "engine/tab_slots.h"
#include "ui/main/form_layout.h"
#include "ui/main/window_helpers.h"

namespace tandex::ui {

namespace {

// Folder and name of a pane of a tab; empty when the pane holds no file.
QString TabFile(int tab, int pane) {
    QString folder, name;
    engine::fccTabs().GetTabFileName(tab, pane, name);
    if (name.isEmpty()) return {};
    engine::fccTabs().GetTabFilePath(tab, pane, folder);
    return folder + name;
}

constexpr int kLeftMargin = 16;
constexpr int kResultIndent = 40;

}  // namespace

TMismatchResultTexts MismatchResultTexts(bool binary, int needed, int openTab, const QString& path, int other) {
    const QString newPane = other == 1 ? QStringLiteral("right") : QStringLiteral("left");
    const QString view = TfFTMismatch::ViewName(needed);
    TMismatchResultTexts t;
    if (!binary && openTab < 0) {
        t.lResult2 = QStringLiteral("Load the file: ") + path;
        t.lResult4 = QStringLiteral("into the ") + newPane + QStringLiteral(" pane of a new ") + view +
                     QStringLiteral("comparison tab");
        return t;
    }
    const int tab = openTab < 0 || binary ? engine::fccTabs().GetCurrentTab() : openTab;
    QString left = other == 1 ? TabFile(tab, 1) : path;
    QString right = other == 1 ? path : TabFile(tab, 2);
    if (left.isEmpty() || right.isEmpty()) {
        if (left.isEmpty()) std::swap(left, right);
        t.lResult2 = QStringLiteral("Load the file ");
    } else {
        t.lResult2 = binary ? QStringLiteral("BINARY comparison of ") : view + QStringLiteral("comparison of ");
    }
    t.lResult3 = left;
    if (!right.isEmpty()) {
        t.lResult4 = QStringLiteral("and ");
        t.result4BeforeResult3 = true;
        t.lResult5 = right;
    } else {
        t.lResult4 = QStringLiteral("into the ") + newPane + QStringLiteral(" pane of the already open ") + view +
                     QStringLiteral("comparison tab");
    }
    return t;
}

TfFTMismatch::TfFTMismatch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fFTMismatch"));
    setWindowTitle(QStringLiteral(" Tandex -  Cannot compare the file in current tab"));
    setFixedSize(config::ScaleDpi(606), config::ScaleDpi(342));
    SetPanelColor(this, 0xFFFFFF);

    pHeader = new QWidget(this);
    pHeader->setObjectName(QStringLiteral("pHeader"));
    pHeader->setGeometry(ScaledRect(0, 0, 606, 44));
    lHeadline = MakeFormLabel(pHeader, "lHeadline", ScaledRect(kLeftMargin, 8, 570, 28), true);
    QFont headline = lHeadline->font();
    headline.setPixelSize(config::ScaleDpi(18));
    lHeadline->setFont(headline);
    lHeadline->setText(QStringLiteral("Compare mode conflict!"));
    SetLabelColor(lHeadline, 0xFFFFFF);

    lDifDetail1 = MakeFormLabel(this, "lDifDetail1", ScaledRect(kLeftMargin, 56, 200, 17));
    lDifDetail1->setText(QStringLiteral("In the currently active tab only "));
    FitLabelWidth(lDifDetail1);
    lCurrTabMode = MakeFormLabel(this, "lCurrTabMode", ScaledRect(216, 56, 60, 17), true);
    lDifDetail2 = MakeFormLabel(this, "lDifDetail2", ScaledRect(276, 56, 200, 17));
    lDifDetail2->setText(QStringLiteral("comparisons can be performed,"));
    lDifDetail3 = MakeFormLabel(this, "lDifDetail3", ScaledRect(kLeftMargin, 74, 220, 17));
    lDifDetail3->setText(QStringLiteral("but the just-opened file is of type "));
    FitLabelWidth(lDifDetail3);
    lNewTypeMode = MakeFormLabel(this, "lNewTypeMode", ScaledRect(236, 74, 60, 17), true);
    lTxt1 = MakeFormLabel(this, "lTxt1", ScaledRect(kLeftMargin, 102, 570, 17), true);
    lTxt1->setText(QStringLiteral("What would you like to do now?"));

    rbNTBC = new QRadioButton(this);
    rbNTBC->setObjectName(QStringLiteral("rbNTBC"));
    rbNTBC->setGeometry(ScaledRect(24, 124, 578, 20));
    rbNTNC = new QRadioButton(this);
    rbNTNC->setObjectName(QStringLiteral("rbNTNC"));
    rbNTNC->setGeometry(ScaledRect(24, 146, 578, 20));
    connect(rbNTBC, &QRadioButton::clicked, this, [this] { rbNTBCClick(rbNTBC); });
    connect(rbNTNC, &QRadioButton::clicked, this, [this] { rbNTNCClick(rbNTNC); });

    lResult1 = MakeFormLabel(this, "lResult1", ScaledRect(kLeftMargin, 176, 570, 17), true);
    lResult1->setText(QStringLiteral("Performed action:"));
    lResult2 = MakeFormLabel(this, "lResult2", ScaledRect(kResultIndent, 196, 160, 17));
    lResult3 = MakeFormLabel(this, "lResult3", ScaledRect(200, 196, 380, 17), true);
    lResult4 = MakeFormLabel(this, "lResult4", ScaledRect(kResultIndent, 214, 160, 17));
    lResult5 = MakeFormLabel(this, "lResult5", ScaledRect(200, 214, 380, 17), true);

    cbSetDefault = new QCheckBox(this);
    cbSetDefault->setObjectName(QStringLiteral("cbSetDefault"));
    cbSetDefault->setGeometry(ScaledRect(kLeftMargin, 242, 570, 20));
    cbSetDefault->setText(QStringLiteral("Set this as a default option and do not ask again"));
    lHint = MakeFormLabel(this, "lHint", ScaledRect(kLeftMargin, 264, 574, 34));
    lHint->setWordWrap(true);
    lHint->setText(QStringLiteral("You can change this at any time in Settings->General->Confirmations: "
                                  "Ask me in case of compare mode conflicts"));
    SetLabelColor(lHint, 0x808080);

    pControl = new QWidget(this);
    pControl->setObjectName(QStringLiteral("pControl"));
    pControl->setGeometry(ScaledRect(0, 302, 606, 40));
    fbOk = new TFlatButton2(pControl);
    fbOk->setObjectName(QStringLiteral("fbOk"));
    fbOk->move(config::ScaleDpi(406), config::ScaleDpi(7));
    fbOk->SetCaption(QStringLiteral("Ok"));
    fbOk->SetModalResult(1);
    fbCancel = new TFlatButton2(pControl);
    fbCancel->setObjectName(QStringLiteral("fbCancel"));
    fbCancel->move(config::ScaleDpi(504), config::ScaleDpi(7));
    fbCancel->SetCaption(QStringLiteral("Cancel"));
    fbCancel->SetModalResult(2);
    for (TFlatButton2* b : {fbOk, fbCancel}) {
        b->SetWidth(90);
        b->SetHeight(27);
        b->SetFlatStyle(FS_SHOWBORDER);
    }
}

QString TfFTMismatch::ViewName(int view) {
    switch (view) {
    case 2:
        return QStringLiteral("TEXT ");
    case 3:
        return QStringLiteral("BINARY ");
    case 4:
        return QStringLiteral("IMAGE ");
    default:
        return QStringLiteral("UNKOWN ");
    }
}

QPoint TfFTMismatch::fallbackPos() const {
    const QWidget* main = MainForm();
    const QRect area = main ? main->frameGeometry() : screen()->availableGeometry();
    return area.center() - QPoint(width() / 2, height() / 2);
}

void TfFTMismatch::applyLook() {
    const bool flat = config::FlatLook() != 0;
    for (TFlatButton2* b : {fbOk, fbCancel}) {
        b->SetFlat(flat);
        b->ResetSize();
    }
    const auto& s = config::AppSettings();
    const int set = qBound(0, s.COSetIdx, int(s.ColorSets.size()) - 1);
    SetPanelColor(pHeader, s.ColorSets[size_t(set)][16]);
    SetPanelColor(pControl, flat ? 0xF0F0F0 : 0xE0E0E0);
}

int TfFTMismatch::Ask(int current, int needed, const QString& path, int other) {
    auto& s = config::AppSettings();
    if (s.FMT < 0) {
        // The main window's placing reads a top below 0 as never placed.
        move(s.FML, s.FMT);
        const QPoint p = DefaultPos ? DefaultPos(this) : fallbackPos();
        s.FML = p.x();
        s.FMT = p.y();
    }
    move(s.FML, s.FMT);
    applyLook();

    other_ = other;
    path_ = path;
    needed_ = needed;
    currentPaneName_ = other == 1 ? QStringLiteral("left") : QStringLiteral("right");
    newPaneName_ = other == 1 ? QStringLiteral("right") : QStringLiteral("left");
    openTab_ = engine::fccTabs().FindTabByViewType(needed);

    lCurrTabMode->setText(ViewName(current));
    PlaceRightOf(lCurrTabMode, lDifDetail1);
    PlaceRightOf(lDifDetail2, lCurrTabMode);
    lNewTypeMode->setText(ViewName(needed));
    PlaceRightOf(lNewTypeMode, lDifDetail3);

    rbNTBC->setText(QStringLiteral("Perform a BINARY comparison with the current file in the ") +
                    currentPaneName_ + QStringLiteral(" pane and the now opened ") + ViewName(needed) +
                    QStringLiteral("file"));
    // The indicator and its gap take about 24 pixels of the button.
    FitFontToWidth(rbNTBC, rbNTBC->text(), rbNTBC->width() - config::ScaleDpi(24));
    QString otherFile;
    engine::fccTabs().GetTabFileName(engine::fccTabs().GetCurrentTab(), other, otherFile);
    rbNTBC->setEnabled(!otherFile.isEmpty());

    cbSetDefault->setChecked(!s.CFCMConflict);
    if (!s.CFCMCDefault && rbNTBC->isEnabled()) {
        rbNTBC->setChecked(true);
        rbNTBCClick(rbNTBC);
    } else {
        rbNTNC->setChecked(true);
        rbNTNCClick(nullptr);
    }

    rbNTNC->setText(openTab_ < 0 ? QStringLiteral("Load the file into a new fitting tab (a new ") + ViewName(needed) +
                                       QStringLiteral("comparison tab in this case)")
                                 : QStringLiteral("Load the file in the already open ") + ViewName(needed) +
                                       QStringLiteral("comparison tab"));
    FitFontToWidth(rbNTNC, rbNTNC->text(), rbNTNC->width() - config::ScaleDpi(24));

    if (s.CFCMConflict && rbNTBC->isEnabled() && exec() != 1) {
        s.FML = x();
        s.FMT = y();
        return 0;
    }
    s.CFCMConflict = !cbSetDefault->isChecked();
    const int answer = rbNTBC->isChecked() ? 2 : 1;
    // A default kept from here on never turns a binary default into a
    // fitting-tab one: the choice may only have been forced.
    bool loadIntoTab = rbNTNC->isChecked();
    if (cbSetDefault->isChecked()) loadIntoTab = loadIntoTab && s.CFCMCDefault;
    s.CFCMCDefault = loadIntoTab;
    s.FML = x();
    s.FMT = y();
    return answer;
}

void TfFTMismatch::rbNTBCClick(QObject* sender) {
    const TMismatchResultTexts t = MismatchResultTexts(sender != nullptr, needed_, openTab_, path_, other_);
    lResult2->setText(t.lResult2);
    FitLabelWidth(lResult2);
    lResult3->setText(t.lResult3);
    PlaceRightOf(lResult3, lResult2);
    lResult4->setText(t.lResult4);
    FitLabelWidth(lResult4);
    // "and " ends where the first file begins, so both files line up.
    lResult4->move(t.result4BeforeResult3 ? lResult3->x() - lResult4->width() : lResult2->x(), lResult4->y());
    lResult5->setText(t.lResult5);
    lResult5->setGeometry(lResult3->x(), lResult5->y(), LabelTextWidth(lResult5), lResult5->height());
}

void TfFTMismatch::rbNTNCClick(QObject*) {
    rbNTBCClick(nullptr);
}

}  // namespace tandex::ui
