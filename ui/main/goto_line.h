#pragma once
// The modal dialog that asks for the line to jump to in the text or folder
// view, or for the byte address in the binary view when its rows are
// labelled with byte offsets. It checks the input while it is typed (range,
// visibility in the current row filter, hexadecimal digits) and offers Go
// To only for a valid target. The main window keeps the last target per
// view kind (TEGotoTL, TEGotoDL, TEGotoBL; negative for the right pane).

#include <QDialog>
#include <QPoint>
#include <QString>

#include "ui/main/flat_button.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QValidator;

namespace tandex::ui {

// The row of the binary view holding address on the pane's side: the last
// visible row whose first byte is at or before the address. -1 when no row
// does, -2 when text is no number (hex: hexadecimal digits only). offset
// gets the address's place inside the row.
int FindAddress(const QString& text, bool hex, int side, qint64& offset);

// The lowest and highest target of the range line: "0" in address mode,
// "1" for lines; the maximum in decimal, or in hexadecimal with at least
// four digits.
struct TGotoRange {
    QString lowest, highest;
};
TGotoRange GotoRange(bool addressMode, bool hex, qint64 maximum);

// text read in one base and written in the other; lowest when it does not
// read as a number.
QString ConvertGotoText(const QString& text, bool toHex, const QString& lowest);

// The state of a typed target: above 0 valid (in address mode the row),
// 0 out of range, -1 hidden by the row filter, below -1 not a number.
// offset gets the address's place inside its row.
int GotoTargetState(const QString& text, bool addressMode, bool hex, int side, qint64 maximum, qint64& offset);
// What the dialog says about a state that is not valid.
QString GotoStateMessage(int state, bool addressMode);

class TfGotoLine : public QDialog {
    Q_OBJECT

public:
    explicit TfGotoLine(QWidget* parent = nullptr);

    // Shows the dialog at position. Returns -1 when cancelled; the line
    // number in line mode; in address mode the found row + 1 (0 for an
    // address in no row).
    int Execute(QPoint position, qint64 leftMaximum, bool rightAllowed, qint64 rightMaximum);
    // The place of the last looked-up address inside its row.
    qint64 AddressOffset() const { return addressOffset_; }
    // 1 left, 2 right.
    int SelectedSide() const;
    bool AddressMode() const { return addressMode_; }
    // Looks up the typed address on the selected side (see the free
    // routine of that name).
    int FindAddress();

    void eLineNoChange();
    void rbGTLClick();
    void rbGTRClick();
    void RB_DecClick();

    QLabel* lLineNo = nullptr;
    QLineEdit* eLineNo = nullptr;
    QLabel* L_Range = nullptr;
    QLabel* L_NotInView = nullptr;
    QGroupBox* GB_Side = nullptr;
    QRadioButton *rbGTL = nullptr, *rbGTR = nullptr;
    QGroupBox* GB_Input = nullptr;
    QRadioButton *RB_Dec = nullptr, *RB_Hex = nullptr;
    QWidget* pControl = nullptr;
    TFlatButton2 *fbGoto = nullptr, *fbCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refreshFormat();
    // Side changes refresh the format without converting the text.
    void refreshFormatKeepingText();
    void setEditColor(QLabel* label, bool red);
    void setEditTextRed(bool red);

    QValidator* digitsOnly_ = nullptr;
    bool addressMode_ = false;
    bool converting_ = false;
    bool lastUseNotAddress_ = true;
    qint64 leftMaximum_ = 0, rightMaximum_ = 0, maximum_ = 0;
    qint64 addressOffset_ = 0;
    // The text as the last change left it, for taking back a bad key.
    QString shownText_;
    int shownCursor_ = 0;
};

}  // namespace tandex::ui
