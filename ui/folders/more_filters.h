#pragma once
// The "More Filters" panel of the folder window: size, date, attribute and
// excluded-folder filters that do not fit on the window itself. It slides
// out from behind the window's right edge and writes every change into the
// settings at once, so that the window's pre-scan is rebuilt with it.

#include <QDate>
#include <QString>
#include <QTime>
#include <QWidget>

#include <functional>

#include "config/app_settings.h"
#include "ui/main/flat_button.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTimeEdit;
class QTimer;
class QToolButton;

namespace tandex::folders {

extern const QString kSizeWarningHint;
extern const QString kDaysWarningHint;
extern const QString kDatesWarningHint;

// The filter values as the settings hold them, judged without widgets.
struct TMoreFilterValue {
    QString ExcludedFolders;
    bool ExclSmaller = false, ExclLarger = false, ExclOlder = false, ExclNewer = false, UseDaysAgo = false;
    int Smaller = 0, SmallerUnit = 0, Larger = 0, LargerUnit = 0, OlderDays = 0, NewerDays = 0;
    qint64 OlderTS = 0, NewerTS = 0;
    // Archive, read-only, hidden, system of files; read-only, hidden,
    // system of folders: 0 ignore, 1 exclude if set, 2 exclude if not set.
    int Attributes[7] = {};

    static TMoreFilterValue FromSettings(const config::TAppSettings& s, const QString& excludedFolders);

    qint64 SmallerBytes() const;
    qint64 LargerBytes() const;
    // The size filters together exclude every file.
    bool SizeWarning() const;
    // The date filters together exclude every file.
    bool DateWarning() const;
    QString DateWarningHint() const;
    bool HasActiveFilter() const;
    // "(< 1.024 Bytes)" and "(> ... Bytes)".
    QString SmallerText() const;
    QString LargerText() const;
};

// A local date and time as a UTC file time, by the daylight-saving rule of
// that date (not of today).
qint64 LocalDateTimeToFileTimeUtc(const QDate& date, const QTime& time);

class TCmpFolder;

class TF_CmpSettingsExt : public QWidget {
    Q_OBJECT

public:
    // The panel adopts the window's excluded-folder combo: the window keeps
    // its history and sessions, the panel shows and edits it.
    TF_CmpSettingsExt(QWidget* owner, QComboBox* excludedFolders);

    void SlideIn();
    // atOnce hides the panel without animation.
    void SlideOut(bool atOnce);
    void CancelSlide() { slideCancel_ = true; }
    bool IsShown() const { return shown_; }
    bool Sliding() const { return slidingIn_ || slidingOut_; }
    void LoadControls();
    // False when a number cannot be read; what was written before stays.
    bool ApplyControls();
    // True when no warning shows.
    bool ShowFilterInfo();
    bool HasActiveFilter() const;
    // Called with an empty text after every applied change.
    std::function<void(const QString&)> OnFiltersChanged;
    // The program's pictures (the warning's frames).
    ui::TLoadBitmap LoadBMPFunc;

    // The docked left edge and top beside the owner.
    int DockedLeft() const;
    int DockedTop() const;

    // Handlers.
    void PerformChange(QLineEdit* edit);
    // True when the edit's text changed.
    bool StepNumberEdit(QLineEdit* edit, int delta);
    void NotifyChange();
    void CB_FCUseDaysAgoClick();
    void timCancelSlideTimer();

    QLabel *L_SettingsTit = nullptr, *Label1 = nullptr, *L_SmalerSize = nullptr, *L_LargerSize = nullptr,
           *L_ODays = nullptr, *L_NDays = nullptr, *I_SizeWarning = nullptr, *I_DaysWarning = nullptr;
    ui::TFlatButton2* fbHelp = nullptr;
    QGroupBox *GB_FolderFilter = nullptr, *GB_SizeFilter = nullptr, *GB_DateFilter = nullptr,
              *GB_AttributeFilter = nullptr;
    QComboBox *CB_FCExclFolders = nullptr, *CB_SmallerUnits = nullptr, *CB_LargerUnits = nullptr;
    QCheckBox *CB_FCExclSmaller = nullptr, *CB_FCExclLarger = nullptr, *CB_FCUseDaysAgo = nullptr,
              *CB_FCExclOlder = nullptr, *CB_FCExclNewer = nullptr;
    QLineEdit *E_SmallerSize = nullptr, *E_LargerSize = nullptr, *E_FCOlderDays = nullptr, *E_FCNewerDays = nullptr;
    QWidget *UD_Smaller = nullptr, *UD_Larger = nullptr, *UD_Older = nullptr, *UD_Newer = nullptr;
    QDateEdit *dFCOlderTS = nullptr, *dFCNewerTS = nullptr;
    QTimeEdit *tFCOlderTS = nullptr, *tFCNewerTS = nullptr;
    // RB_I.., RB_S.., RB_N.. of FA, FR, FH, FS, DR, DH, DS.
    QRadioButton* AttrRadios[7][3] = {};
    QTimer* timCancelSlide = nullptr;

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* makeUpDown(QWidget* parent, const char* name, QLineEdit* edit, int x, int y);
    void RefreshEnabledStates();
    void ShowDaysMode(bool on);
    int AttrRadioChoice(int group) const;
    void SetAttrRadios(int group, int choice);
    // Moves the left edge towards target while the slide flag holds.
    void SlideTo(bool right, int target, int frameMicroseconds, int step, const bool& active);
    void setWarning(QLabel* picture, QGroupBox* group, bool on, const QString& hint);
    void nextWarningFrame();

    QWidget* owner_;
    bool slidingIn_ = false, slidingOut_ = false, slideCancel_ = false, shown_ = false, notifyEnabled_ = false;
    bool pendingAtOnce_ = false;
    int warningFrame_ = 0;
    QTimer* warningTimer_ = nullptr;
};

}  // namespace tandex::folders
