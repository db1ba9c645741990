#pragma once
// The modeless find and replace window. It searches nothing itself: its
// buttons raise events that the main window serves, and that search reads
// the texts, options and side from here, counts its hits here and polls the
// abort flag that the Abort button sets while the search pumps events.

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <functional>

#include "ui/main/flat_button.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace tandex::ui {

// Flags of MatchText.
enum TMatchFlags { mfDown = 1, mfMatchCase = 2, mfWholeWord = 4 };

// The bits of TfReplace::getOptions.
enum TFindOptions { foDown = 1, foFindOnly = 2, foMatchCase = 4, foAll = 16, foWholeWord = 32 };

// The matcher flags for a dialog options word.
int MatchFlagsFromOptions(int options);

// Index of the first match of pattern in text, -1 for none. Down tries the
// candidates start, start + 1, ...; up tries start - length of pattern
// first and moves left to 0. Without match case both sides are compared
// upper-cased per UTF-16 unit, so that indexes stay those of text. Whole
// word moves every candidate after the first to the start of the next word
// (letters and digits) in the search direction, and takes no match that a
// letter or digit follows.
int MatchText(const QString& text, int start, const QString& pattern, int flags);

class TfReplace : public QWidget {
    Q_OBJECT

public:
    explicit TfReplace(QWidget* parent = nullptr);

    // Shows the window for replacing or, replaceMode false, for finding.
    void show(bool replaceMode);
    using QWidget::show;
    bool ReplaceMode() const { return replaceMode_; }

    QString getFindText() const;
    // An empty text shows the newest history entry.
    void setFindText(const QString& text);
    QString getReplaceText() const;
    int getOptions() const;
    // 1 left, 2 right, 3 both panes.
    int getSide() const;
    void setSide(int side);
    void countHit() { ++counter_; }
    // A search that no button started (F3) counts and aborts on its own.
    void resetAction() {
        counter_ = 0;
        aborted_ = false;
    }
    int Counter() const { return counter_; }
    void notFound();
    bool Aborted() const { return aborted_; }
    // Shows the count reached so far and lets the Abort button in, once
    // ProgressIntervalMs have passed since the last display.
    void ShowProgress();
    int ProgressIntervalMs = 1000;
    QString StatusText() const;

    // History entry n, empty past the end.
    QString GetFindHistory(int n) const;
    QString GetReplaceHistory(int n) const;
    void AddFindHistory(const QString& text);
    void AddReplaceHistory(const QString& text);
    // Hands the check boxes, histories and position back to the settings.
    void storeSettings() const;

    // The buttons' handlers.
    void sbFindClick();
    void sbReplaceClick();
    void sbReplaceAllClick();
    void sbCloseClick();

    std::function<void()> OnFind, OnReplace, OnClose, OnShow;
    // The default beep; tests count it.
    std::function<void()> Beep;
    // True while a search of a button runs.
    bool Searching() const { return searching_; }

    QLabel *lFind = nullptr, *lReplace = nullptr, *pStatus = nullptr;
    QComboBox *cbFind = nullptr, *cbReplace = nullptr;
    QCheckBox *cbWordOnly = nullptr, *cbMatchCase = nullptr;
    QGroupBox *gbDir = nullptr, *gbSide = nullptr;
    QRadioButton *rbUp = nullptr, *rbDown = nullptr, *rbLeft = nullptr, *rbRight = nullptr, *rbBoth = nullptr;
    TFlatButton2 *fbFind = nullptr, *fbReplace = nullptr, *fbReplaceAll = nullptr, *fbClose = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    // Takes Esc and Enter; true when the key was one of them.
    bool FormKeyDown(int key);
    void runAction(const QString& waitText, bool replaceHistory, bool all, const std::function<void()>& action);
    void setControlsEnabled(bool enabled);
    void showResult();
    QString occurrenceText() const;

    bool replaceMode_ = false;
    bool replaceAll_ = false;
    bool aborted_ = false;
    bool notFound_ = false;
    bool searching_ = false;
    int counter_ = 0;
    QElapsedTimer lastProgress_;
};

}  // namespace tandex::ui
