#pragma once
// The program's one progress window: up to three text lines, a bar and a
// Cancel button. Long operations on the user-interface thread report to it
// and rely on its progress calls to process pending events at a fixed
// rhythm, so that Cancel and the rest of the program stay responsive while
// they run. Its visibility is the callers' business; Cancel hides it.
//
// It is also the window-backed progress sink of the core libraries, which
// know it only through that interface.

#include <QWidget>

#include "config/services.h"
#include "ui/main/flat_button.h"

class QLabel;
class QProgressBar;

namespace tandex::ui {

class TStatusWin : public QWidget, public config::ProgressSink {
    Q_OBJECT

public:
    explicit TStatusWin(QWidget* parent = nullptr);

    // Called with the window as sender when the user presses Cancel.
    TNotifyEvent OnCancel;

    void SetPercentMode(bool on);
    void SetText(const QString& text);
    void StartProgress(qint64 total);
    void SetProgress(qint64 position);
    void fbCancelClick(QObject* sender);

    bool PercentMode() const { return percentMode_; }
    bool Active() const { return active_; }
    float Factor() const { return factor_; }
    bool Marquee() const;

    // config::ProgressSink
    void setTextLine(int line, const QString& text) override;
    void startProgress(qint64 total) override;
    void setProgress(qint64 position) override;
    bool cancelRequested() const override { return cancelled_; }
    void showProgress() override;
    void hideProgress() override;

    QLabel* L_TextLine1 = nullptr;
    QLabel* L_TextLine2 = nullptr;
    QProgressBar* PBar1 = nullptr;
    QLabel* L_TextLine3 = nullptr;
    TFlatButton2* fbCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void SetMarquee(bool on);

    bool percentMode_ = false;
    bool active_ = false;
    float factor_ = 0;
    qint32 lastPercent_ = 0;
    qint32 callCount_ = 0;
    bool cancelled_ = false;
};

}  // namespace tandex::ui
