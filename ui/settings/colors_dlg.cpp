#include "colors_dlg.h"

#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "color_mockup.h"
#include "color_rules.h"
#include "config/app_settings.h"
#include "config/color_sets.h"
#include "config/services.h"
#include "config/sys_helpers.h"
#include "ui/main/details_panel.h"
#include "ui/main/flat_button.h"
#include "ui/main/form_layout.h"
#include "ui/main/main_window.h"

namespace tandex::settings {

namespace {

constexpr int kButtonList = 24;
constexpr int kSaveImage = 28;
constexpr int kDeleteImage = 29;
constexpr int kNameLimit = 255;
const QString kFree = QStringLiteral("-");

bool isUserSet(int set) {
    return set >= config::kFirstUserSet && set <= config::kLastUserSet;
}

}  // namespace

TfColors::TfColors(ui::TF_Main* main, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), main_(main) {
    setObjectName(QStringLiteral("fColors"));
    setWindowTitle(QStringLiteral(" Color Scheme "));
    setModal(false);
    setFixedSize(config::ScaleDpi(504), config::ScaleDpi(394));
    // Not placed yet: the main window's default place applies at the
    // first opening.
    move(0, -1);

    Pulse = new TColorPulse(this);

    Mockup = new TColorMockup(this);
    Mockup->move(config::ScaleDpi(8), config::ScaleDpi(8));
    Mockup->OnItemClick = [this](const TMockItem& item) {
        if (item.kind == mkLabel)
            lTxtColorClick(item);
        else if (item.kind == mkImage)
            imgToolbarStartClick(item);
        else
            shTextBGMouseUp(item);
    };

    L_ColorSet = ui::MakeFormLabel(this, "L_ColorSet", ui::ScaledRect(8, 325, 66, 17));
    L_ColorSet->setText(QStringLiteral("Color set:"));
    CB_ColorSet = new QComboBox(this);
    CB_ColorSet->setObjectName(QStringLiteral("CB_ColorSet"));
    CB_ColorSet->setEditable(true);
    // A typed name becomes an entry only through Save.
    CB_ColorSet->setInsertPolicy(QComboBox::NoInsert);
    CB_ColorSet->setGeometry(ui::ScaledRect(76, 322, 240, 24));
    CB_ColorSet->lineEdit()->setMaxLength(kNameLimit);
    connect(CB_ColorSet, &QComboBox::activated, this, [this](int position) { CB_ColorSetSelect(position); });
    connect(CB_ColorSet, &QComboBox::editTextChanged, this, [this] { CB_ColorSetChange(); });

    P_Buttons = new QWidget(this);
    P_Buttons->setObjectName(QStringLiteral("P_Buttons"));
    P_Buttons->setGeometry(ui::ScaledRect(0, 354, 504, 40));
    auto button = [this](const char* name, const QString& caption, int x, int width, int image) {
        auto* b = new ui::TFlatButton2(P_Buttons);
        b->setObjectName(QLatin1String(name));
        b->move(config::ScaleDpi(x), config::ScaleDpi(6));
        b->SetCaption(caption);
        b->SetWidth(width);
        b->SetHeight(28);
        b->SetFlatStyle(ui::FS_SHOWBORDER);
        if (image >= 0) {
            if (main_)
                b->LoadBMPFunc = [main = main_](int size, int index, QImage& bitmap) {
                    return main->loadBMPFunc(size, index, bitmap);
                };
            b->SetListID(kButtonList);
            b->SetImageID(image);
        }
        return b;
    };
    fbSaveColSet = button("fbSaveColSet", QStringLiteral("Save ColorSet"), 8, 124, kSaveImage);
    fbDelColSet = button("fbDelColSet", QStringLiteral("Delete ColorSet"), 136, 130, kDeleteImage);
    fbOk = button("fbOk", QStringLiteral("OK"), 274, 70, -1);
    fbApply = button("fbApply", QStringLiteral("Apply"), 348, 70, -1);
    fbCancel = button("fbCancel", QStringLiteral("Cancel"), 422, 74, -1);
    fbSaveColSet->OnClick = [this](QObject* sender) { fbSaveColSetClick(sender); };
    fbDelColSet->OnClick = [this](QObject* sender) { fbDelColSetClick(sender); };
    fbOk->OnClick = [this](QObject* sender) { fbOkClick(sender); };
    fbApply->OnClick = [this](QObject* sender) { fbApplyClick(sender); };
    fbCancel->OnClick = [this](QObject* sender) { fbCancelClick(sender); };
}

void TfColors::ShowDialog(QPoint position, bool applyAllowed, bool restoreShortcuts) {
    move(position);
    ApplyAllowed = applyAllowed;
    RestoreShortcuts = restoreShortcuts;
    const auto& s = config::AppSettings();
    CB_ColorSet->clear();
    CB_ColorSet->addItems(ColorSetListNames());
    // A set the list does not show (Flat Blue in the classic look) stays
    // current without an entry.
    const int listPosition = ColorSetSlot(s.COSetIdx);
    CB_ColorSet->setCurrentIndex(listPosition < CB_ColorSet->count() ? listPosition : -1);
    SelectedSet = qBound(0, s.COSetIdx, config::kColorSetCount - 1);
    ShowColorSet();
    UpdateButtons();
    SetModified = false;

    const bool flat = config::FlatLook() != 0;
    if (flat) {
        Mockup->SetHint(QStringLiteral("imgToolbarStart"), QStringLiteral(" Color of header/toolbar "));
        Mockup->SetHint(QStringLiteral("imgToolbarEnd"), QStringLiteral(" Color of header/toolbar "));
    } else {
        Mockup->SetHint(QStringLiteral("imgToolbarStart"), QStringLiteral(" Start color of toolbar "));
        Mockup->SetHint(QStringLiteral("imgToolbarEnd"), QStringLiteral(" End color of toolbar "));
    }
    const ui::TColor panel = flat ? 0xF0F0F0 : 0xE0E0E0;
    ui::SetPanelColor(P_Buttons, panel);
    for (ui::TFlatButton2* b : {fbSaveColSet, fbDelColSet, fbOk, fbApply, fbCancel}) {
        b->SetBgColorFlat(panel);
        b->SetFlat(flat);
        b->ResetSize();
    }
    show();
    raise();
    activateWindow();
}

QString TfColors::entryOfSet(int set) const {
    const int position = ColorSetSlot(set);
    return position >= 0 && position < CB_ColorSet->count() ? CB_ColorSet->itemText(position) : QString();
}

void TfColors::ShowColorSet() {
    const auto& s = config::AppSettings();
    Mockup->SetFlatToolbar(s.GSGUIStyle > 0);
    Mockup->SetColors(s.ColorSets[size_t(SelectedSet)]);
    SetModified = false;
}

void TfColors::StoreColorSet() {
    config::AppSettings().ColorSets[size_t(SelectedSet)] = Mockup->Colors();
    SetModified = false;
}

void TfColors::UpdateButtons() {
    const TColorButtonStates b =
        ColorButtonStates(CB_ColorSet->currentText(), SetModified, ApplyAllowed, entryOfSet(SelectedSet));
    fbOk->SetEnabled(b.ok);
    fbApply->SetEnabled(b.apply);
    fbSaveColSet->SetEnabled(b.save);
    fbDelColSet->SetEnabled(b.del);
}

void TfColors::CB_ColorSetSelect(int position) {
    if (position < 0 || position >= CB_ColorSet->count()) return;
    SelectedSet = ColorSetSlot(position);
    if (CB_ColorSet->itemText(position) != kFree) ShowColorSet();
    UpdateButtons();
}

void TfColors::CB_ColorSetChange() {
    UpdateButtons();
}

void TfColors::lTxtColorClick(const TMockItem& item) {
    pickColor(item);
}

void TfColors::shTextBGMouseUp(const TMockItem& item) {
    pickColor(item);
}

void TfColors::imgToolbarStartClick(const TMockItem& item) {
    pickColor(item);
}

void TfColors::pickColor(const TMockItem& item) {
    PickerTitle = item.hint;
    // The flat look's tool bar has one colour: either half edits both.
    const bool bothHalves = item.kind == mkImage && config::AppSettings().GSGUIStyle > 0;
    const quint32 current = Mockup->ItemColor(item);
    const QColor picked = QColorDialog::getColor(ui::colorOfBgr(current), this, PickerTitle);
    if (!picked.isValid()) return;
    const quint32 color = ui::bgrOfColor(picked);
    if (color == current) return;
    if (bothHalves) {
        Mockup->SetColor(config::TBStartCol, color);
        Mockup->SetColor(config::TBEndCol, color);
    } else {
        Mockup->SetColor(item.entry, color);
    }
    SetModified = true;
    UpdateButtons();
}

bool TfColors::saveColorSet() {
    // A pasted line break would split the set's section header in the
    // settings file.
    QString name = CB_ColorSet->currentText().left(kNameLimit);
    for (QChar& c : name)
        if (c == u'\r' || c == u'\n') c = u' ';
    if (!IsNewSetName(name)) return true;
    QStringList entries;
    for (int p = 0; p < CB_ColorSet->count(); ++p) entries << CB_ColorSet->itemText(p);
    const int target = ColorSetSaveTarget(entries, name);
    if (target >= config::kFirstUserSet) SelectedSet = ColorSetSlot(target);
    const QString entry = entryOfSet(SelectedSet);
    if (entry != name) {
        // Every storage is taken and a built-in set is selected: the
        // settings never store a built-in set, so renaming and recolouring
        // it would lose the user's colours at the next start.
        if (!isUserSet(SelectedSet)) {
            config::showMessage(QStringLiteral(" Tandex "),
                                QStringLiteral("All color set storages are already in use!\n\n"
                                               "Please select the user color set that you want to replace."),
                                config::MsgKind::Warning);
            return false;
        }
        if (entry != kFree &&
            config::showMessage(QStringLiteral("Replace color set?"), ReplaceColorSetText(entry, name),
                                config::MsgKind::Warning, config::mbYes | config::mbNo,
                                config::mrNo) != config::mrYes)
            return true;
        const int position = ColorSetSlot(SelectedSet);
        CB_ColorSet->setItemText(position, name);
        CB_ColorSet->setCurrentIndex(position);
    }
    config::AppSettings().COSetName[size_t(SelectedSet)] = name;
    StoreColorSet();
    UpdateButtons();
    return true;
}

void TfColors::fbSaveColSetClick(QObject*) {
    saveColorSet();
}

void TfColors::fbDelColSetClick(QObject*) {
    if (!isUserSet(SelectedSet)) return;
    auto& s = config::AppSettings();
    const QString name = s.COSetName[size_t(SelectedSet)];
    if (config::showMessage(QStringLiteral("Delete color set?"),
                            QStringLiteral("Do you really want to delete the color set \"") + name +
                                QStringLiteral("\"?"),
                            config::MsgKind::Warning, config::mbYes | config::mbNo, config::mrNo) != config::mrYes)
        return;
    config::DeleteColorSetSection(config::ColorSetSection(SelectedSet));
    CB_ColorSet->setItemText(ColorSetSlot(SelectedSet), kFree);
    s.COSetName[size_t(SelectedSet)] = kFree;
    SelectedSet = 0;
    CB_ColorSet->setCurrentIndex(0);
    CB_ColorSetSelect(0);
    fbApplyClick(nullptr);
    UpdateButtons();
}

void TfColors::fbOkClick(QObject*) {
    if (!saveColorSet()) return;
    hide();
    if (OnApply) OnApply(SelectedSet);
    if (RestoreShortcuts && main_) main_->restoreEditShortcuts();
}

void TfColors::fbApplyClick(QObject*) {
    if (!saveColorSet()) return;
    if (OnApply) OnApply(SelectedSet);
    raise();
    activateWindow();
}

void TfColors::fbCancelClick(QObject*) {
    hide();
    if (OnApply) OnApply(config::AppSettings().COSetIdx);
    if (RestoreShortcuts && main_) main_->restoreEditShortcuts();
}

void TfColors::reject() {
    fbCancelClick(nullptr);
}

void TfColors::SetPulse(quint32 base, quint8 redStep, quint8 greenStep, quint8 blueStep, int halfCycleTicks) {
    Pulse->SetPulse(base, redStep, greenStep, blueStep, halfCycleTicks);
}

void TfColors::EnablePulse(bool on) {
    Pulse->EnablePulse(on);
}

}  // namespace tandex::settings
