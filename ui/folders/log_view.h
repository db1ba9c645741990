#pragma once
// The log viewer: shows a run log (run_logs.h) with its totals on four
// buttons, and narrows it to the successful, skipped or failed entries or
// to those holding a free text, through a filtered copy of the log that is
// deleted again once shown. It is one window for the whole program, shown
// on request and not modal.

#include <QWidget>

#include "ui/main/flat_button.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QTextEdit;

namespace tandex::folders {

// The largest log the viewer reads; a long run's log passes the size the
// help text is limited to.
inline constexpr qsizetype kLogViewMaxSize = 0x40000000;

class TfLogView : public QWidget {
    Q_OBJECT

public:
    // loadBitmap fetches the main window's images (the window icon).
    explicit TfLogView(QWidget* parent = nullptr, ui::TLoadBitmap loadBitmap = {});

    // Log n, or with fromFilter the filter result; the totals always come
    // from log n.
    void ShowLog(int n, bool fromFilter);
    void FilterLog(int n, const QString& text, bool freeText);
    void ApplyTheme(bool flat);
    // The selected text, as plain text.
    void CopyToClipboard();

    void fbTotalClick();
    void fbSuccessfulClick();
    void fbSkippedClick();
    void fbErrorsClick();
    void fbFreeTextFilterClick();
    void eSearchChange();
    // Ctrl+A selects the whole log; true when the key was used.
    bool RE_LogViewKeyDown(const QKeyEvent& key);

    int CurrentLog = 0;
    // The access layer's result of the last reading or filtering.
    int LogResult = 0;

    QWidget* P_Head = nullptr;
    ui::TFlatButton2 *fbTotal = nullptr, *fbSuccessful = nullptr, *fbSkipped = nullptr, *fbErrors = nullptr,
                     *fbFreeTextFilter = nullptr;
    QLineEdit* eSearch = nullptr;
    QLabel* lFreeTextCount = nullptr;
    QTextEdit* RE_LogView = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    ui::TFlatButton2* makeButton(const char* name, int x, int y, int width);

    ui::TLoadBitmap loadBitmap_;
};

}  // namespace tandex::folders
