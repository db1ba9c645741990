#pragma once
// The modal dialog the main window asks when a file just loaded into one
// pane needs another view than the current tab shows (an image loaded into
// a text comparison, say): compare it as binary against the file in the
// other pane, or load it into a tab of the fitting view. It describes the
// resulting action in words, can keep the choice as the default and stop
// asking, and remembers where it was.

#include <QDialog>
#include <QString>
#include <functional>

#include "ui/main/flat_button.h"

class QCheckBox;
class QLabel;
class QRadioButton;

namespace tandex::ui {

// The wording of the action the dialog's choice performs, one line
// lResult2 + lResult3 and one line lResult4 + lResult5.
struct TMismatchResultTexts {
    QString lResult2, lResult3, lResult4, lResult5;
    // lResult4 ("and ") ends where lResult3 begins; otherwise it starts
    // where lResult2 starts.
    bool result4BeforeResult3 = false;
};

// binary: the binary comparison is described (its radio button was
// clicked); openTab: the tab already showing the needed view, -1 none;
// other: the pane holding the current file (1 left, 2 right).
TMismatchResultTexts MismatchResultTexts(bool binary, int needed, int openTab, const QString& path, int other);

class TfFTMismatch : public QDialog {
    Q_OBJECT

public:
    explicit TfFTMismatch(QWidget* parent = nullptr);

    // "TEXT ", "BINARY ", "IMAGE ", anything else "UNKOWN ".
    static QString ViewName(int view);

    // 0 cancelled, 1 load into a fitting tab, 2 compare as binary. Views
    // are TabViewType values; other is the pane holding the current file,
    // the new file goes to the other one. Shows the dialog only while
    // AppSettings.CFCMConflict asks for it and a binary comparison is
    // possible at all; otherwise answers with the stored default.
    int Ask(int current, int needed, const QString& path, int other);

    void rbNTBCClick(QObject* sender);
    void rbNTNCClick(QObject* sender);

    // Where a dialog that was never placed opens (the main window's
    // defaultFormPos); without it, centred on the main form.
    std::function<QPoint(const QWidget*)> DefaultPos;

    QWidget* pHeader = nullptr;
    QLabel* lHeadline = nullptr;
    QLabel *lDifDetail1 = nullptr, *lCurrTabMode = nullptr, *lDifDetail2 = nullptr;
    QLabel *lDifDetail3 = nullptr, *lNewTypeMode = nullptr;
    QLabel* lTxt1 = nullptr;
    QRadioButton *rbNTBC = nullptr, *rbNTNC = nullptr;
    QLabel *lResult1 = nullptr, *lResult2 = nullptr, *lResult3 = nullptr, *lResult4 = nullptr,
           *lResult5 = nullptr;
    QCheckBox* cbSetDefault = nullptr;
    QLabel* lHint = nullptr;
    QWidget* pControl = nullptr;
    TFlatButton2 *fbOk = nullptr, *fbCancel = nullptr;

private:
    void applyLook();
    QPoint fallbackPos() const;

    QString currentPaneName_, newPaneName_;
    QString path_;
    int needed_ = 0;
    int openTab_ = -1;
    int other_ = 1;
};

}  // namespace tandex::ui
