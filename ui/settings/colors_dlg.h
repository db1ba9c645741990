#pragma once
// The colour-scheme dialog: pick one of the ten named colour sets, edit its
// colours on a miniature of the main window, keep it under a name in one of
// the five user storages, delete a user set, and hand the choice to the
// main window. It is not modal; made once when the window run starts and
// kept, it also owns the colour pulse, which runs whether it is shown or
// not.

#include <QDialog>
#include <QPoint>
#include <functional>

#include "color_pulse.h"

class QComboBox;
class QLabel;

namespace tandex::ui {
class TF_Main;
class TFlatButton2;
}  // namespace tandex::ui

namespace tandex::settings {

class TColorMockup;
struct TMockItem;

class TfColors : public QDialog {
    Q_OBJECT

public:
    // main gives the button images and takes its edit shortcuts back when
    // the dialog closes; may be nullptr.
    explicit TfColors(ui::TF_Main* main = nullptr, QWidget* parent = nullptr);

    void ShowDialog(QPoint position, bool applyAllowed, bool restoreShortcuts);
    void ShowColorSet();
    void StoreColorSet();
    void UpdateButtons();

    void CB_ColorSetSelect(int position);
    void CB_ColorSetChange();
    // A click on a label edits its text colour, on a shape its background,
    // on a tool bar half its gradient colour.
    void lTxtColorClick(const TMockItem& item);
    void shTextBGMouseUp(const TMockItem& item);
    void imgToolbarStartClick(const TMockItem& item);
    void fbSaveColSetClick(QObject* sender);
    void fbDelColSetClick(QObject* sender);
    void fbOkClick(QObject* sender);
    void fbApplyClick(QObject* sender);
    void fbCancelClick(QObject* sender);

    void SetPulse(quint32 base, quint8 redStep, quint8 greenStep, quint8 blueStep, int halfCycleTicks);
    void EnablePulse(bool on);

    int SelectedSet = 0;
    bool SetModified = false;
    bool ApplyAllowed = false;
    bool RestoreShortcuts = false;
    QString PickerTitle;
    std::function<void(int set)> OnApply;
    TColorPulse* Pulse = nullptr;

    TColorMockup* Mockup = nullptr;
    QLabel* L_ColorSet = nullptr;
    QComboBox* CB_ColorSet = nullptr;
    QWidget* P_Buttons = nullptr;
    ui::TFlatButton2 *fbSaveColSet = nullptr, *fbDelColSet = nullptr, *fbOk = nullptr, *fbApply = nullptr,
                     *fbCancel = nullptr;

public slots:
    // Escape and the frame's close button cancel like the Cancel button.
    void reject() override;

private:
    // Save ColorSet; false when nothing may be stored and Ok or Apply must
    // not go on.
    bool saveColorSet();
    // The list entry of set, empty when the list shows none for it.
    QString entryOfSet(int set) const;
    void pickColor(const TMockItem& item);

    ui::TF_Main* main_;
};

}  // namespace tandex::settings
