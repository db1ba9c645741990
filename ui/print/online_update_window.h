#pragma once
// The update window: a header panel in the colour set's header colour with
// the program image and two status lines, the version history as a
// read-only rich-text view whose web and mail links work as in the help
// window, a progress bar and the Update and Cancel buttons. It only shows
// what TF_Update puts into its view and hands the buttons back to it.
// TUpdateServices is what the main window reaches of the update.

#include <QDialog>

#include <memory>

#include "online_update.h"
#include "ui/main/print_seams.h"

class QLabel;
class QProgressBar;
class QTextEdit;
class QTimer;

namespace tandex::ui {
class TF_Main;
class TFlatButton2;
}  // namespace tandex::ui

namespace tandex::print {

class TF_UpdateWindow : public QDialog, public TUpdateWindow {
    Q_OBJECT

public:
    // main gives the header image; may be nullptr.
    explicit TF_UpdateWindow(TF_Update& update, ui::TF_Main* main = nullptr);
    ~TF_UpdateWindow() override;

    void Prepare(int height) override;
    void ViewChanged(const TUpdateView& view) override;
    void LoadHistory(const QByteArray& rtf) override;
    void MoveTo(const QPoint& position) override;
    void SetVisible(bool visible) override;
    void ShowModal() override;
    void EndModal(int result) override;
    void SetRepaintTimer(bool running) override;

    void Timer1Timer();

    QWidget* P_Header = nullptr;
    QLabel* I_Header = nullptr;
    QLabel *L_Status1 = nullptr, *L_Status2 = nullptr;
    QTextEdit* reHistory = nullptr;
    QWidget* P_Bottom = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    ui::TFlatButton2 *fbAction1 = nullptr, *fbAction2 = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    void reject() override;
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void suspendHover();
    void placeBottom();

    TF_Update& update_;
    ui::TF_Main* main_;
};

// The main window's calls into the update; the window is made on first
// use and kept.
class TUpdateServices : public ui::UpdateServices {
public:
    explicit TUpdateServices(ui::TF_Main* main = nullptr);
    ~TUpdateServices() override;
    TUpdateServices(const TUpdateServices&) = delete;
    TUpdateServices& operator=(const TUpdateServices&) = delete;

    void AfterUpgrade(const QString& name, const QString& displayName) override;
    int CheckForUpdate(bool shown) override;
    bool CanCheck() const override;
    bool UpdateFailed() const override;
    int State() const override;
    void RequestAbort() override;

private:
    ui::TF_Main* main_;
    std::unique_ptr<TF_UpdateWindow> window_;
};

}  // namespace tandex::print
