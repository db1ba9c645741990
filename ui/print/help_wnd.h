#pragma once
// The help window: a title panel with the topic's name and the Prev, Next
// and Welcome buttons over a read-only rich-text view of the topic. It is
// not modal, made on first use and forgotten when closed; its place is
// kept in the settings. THelpWindowServices is what the other windows
// reach through ShowHelpTopic.

#include <QWidget>

#include "ui/main/print_seams.h"

class QLabel;
class QMenu;
class QTextEdit;
class QTimer;

namespace tandex::ui {
class TF_Main;
class TFlatButton2;
}  // namespace tandex::ui

namespace tandex::print {

class TF_Help : public QWidget {
    Q_OBJECT

public:
    // main gives the default place and the button images; may be nullptr.
    explicit TF_Help(ui::TF_Main* main = nullptr);
    ~TF_Help() override;

    // Shows "Topic" or "Topic => Anchor"; the anchor line is selected.
    void ShowTopic(const QString& requested);
    void ApplyTheme();
    void Copy1Click();
    void fbPrevClick();
    void fbNextClick();
    void fbHelpClick();

    QWidget* P_Title = nullptr;
    QLabel* L_Title = nullptr;
    ui::TFlatButton2 *fbPrev = nullptr, *fbNext = nullptr, *fbHelp = nullptr;
    QTextEdit* reHelp = nullptr;
    QMenu* pmHelp = nullptr;
    QTimer* timHover = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeTitle();
    void suspendHover();
    void timHoverTimer();
};

// ShowHelpTopic and the main window's calls into the help window.
class THelpWindowServices : public ui::HelpServices {
public:
    explicit THelpWindowServices(ui::TF_Main* main = nullptr) : main_(main) {}
    ~THelpWindowServices() override;
    THelpWindowServices(const THelpWindowServices&) = delete;
    THelpWindowServices& operator=(const THelpWindowServices&) = delete;

    void ShowHelpTopic(const QString& topic) override;
    void ApplyTheme() override;
    void CloseHelp() override;
    bool CopyFocusedText() override;

private:
    ui::TF_Main* main_;
};

}  // namespace tandex::print
