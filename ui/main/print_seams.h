#pragma once
// What the windows use of the printing, help and update subsystem, which
// links this library and installs its implementation at start. Until it
// is installed, asking for help shows nothing and no update runs.

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

class QImage;
class QPainter;
class QWidget;

namespace tandex::ui {

// The page a report page callback draws on: the text rectangle (the page
// less the margins) and the length of 1 mm across and down, all in the
// page's units (0.1 mm, origin at the paper's top left, y downward).
struct TPrintArea {
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;
    qint32 MmX = 0;
    qint32 MmY = 0;
};

// Draws one report page from position on (0 on the first call) and
// returns the position of the next page; a result at or above the
// report's end position ends it. printMode: 0 left pane, 1 right pane,
// 2 both, 3 an image comparison; selectionOnly 1 prints the selected rows.
using TRenderPageEvent =
    std::function<int(QPainter& canvas, const TPrintArea& area, int position, int printMode, quint8 selectionOnly)>;

// Landscape orientation of the last report preview: the report window
// writes it when it closes, the main window starts its next report with it.
extern quint8 PrintLandscape;

class HelpServices {
public:
    virtual ~HelpServices() = default;
    // Opens the help window on a topic ("Name" or "Name => Anchor"); the
    // window is made on first use.
    virtual void ShowHelpTopic(const QString& topic) = 0;
    // The look changed: the help window, when there is one, follows it.
    virtual void ApplyTheme() = 0;
    // Closes the help window, when there is one, keeping its place.
    virtual void CloseHelp() = 0;
    // Copies the help text's selection when the help text has the focus;
    // false (nothing copied) otherwise.
    virtual bool CopyFocusedText() { return false; }
};

HelpServices& help();
// Installing nullptr restores the default; the caller keeps ownership.
void setHelp(HelpServices* services);

// The entry point every window's help button and key use; an empty topic
// opens nothing.
void ShowHelpTopic(const QString& topic);

// The online update. Until it is installed nothing happens after an
// upgrade and no check is made.
class UpdateServices {
public:
    virtual ~UpdateServices() = default;
    // At every start in window mode, with the program's short and display
    // name: notices that another version wrote the settings, reports it and
    // keeps the previous settings file.
    virtual void AfterUpgrade(const QString& name, const QString& displayName) = 0;
    // The update check: shown from the menu, hidden at start (the update
    // then decides whether a check is due). The final state of the update,
    // kUpdateReadyToInstall when the new program waits for installation.
    virtual int CheckForUpdate(bool /*shown*/) { return kUpdateIdle; }
    // Whether there is an update check to offer in the Help menu.
    virtual bool CanCheck() const { return false; }
    // A hidden check failed (the status bar says so).
    virtual bool UpdateFailed() const { return false; }
    // The update's state: kUpdateIdle when no check runs; any value but
    // that and kUpdateReadyToInstall means it is busy.
    virtual int State() const { return kUpdateIdle; }
    // Asks a busy update to stop (the main window wants to close).
    virtual void RequestAbort() {}

    static constexpr int kUpdateReadyToInstall = 5;
    static constexpr int kUpdateIdle = 10;
};

UpdateServices& updater();
// Installing nullptr restores the default; the caller keeps ownership.
void setUpdater(UpdateServices* services);

// The report print window as the main window drives it. Until it is
// installed nothing can be printed and the print commands stay hidden.
class ReportServices {
public:
    virtual ~ReportServices() = default;
    virtual bool CanPrint() const { return false; }
    // Makes the window on first use, owned by owner, at bounds (left, top,
    // width, height as the settings keep them).
    virtual void CreateReportWindow(QWidget* /*owner*/, const QRect& /*bounds*/) {}
    // The page callback, and what runs when a report ends whichever way
    // (after its last page was stored or after a failure).
    virtual void SetRenderPage(TRenderPageEvent /*callback*/) {}
    virtual void SetReportEnded(std::function<void()> /*callback*/) {}
    virtual void SetupPage(bool /*landscape*/) {}
    virtual void SetThumbnailColor(const QColor& /*color*/) {}
    virtual void SetFooterText(const QString& /*text*/) {}
    // Renders the report and shows the window modally until it is closed.
    virtual void RenderReport(const QString& /*leftTitle*/, const QString& /*rightTitle*/, int /*endPosition*/,
                              int /*mode*/, quint8 /*selectionOnly*/) {}
    // For the page callback: the user stopped the report or it reached its
    // page limit; a size in screen pixels in page units; a picture fitted
    // into r on the page being drawn (the rectangle used).
    virtual bool Aborted() const { return false; }
    virtual QPoint ScreenToUnits(int x, int y) const { return QPoint(x, y); }
    virtual std::optional<QRect> DrawGraphicFit(const QRect& /*r*/, const QImage& /*picture*/, bool /*proportional*/,
                                                bool /*shrinkOnly*/, bool /*center*/) {
        return std::nullopt;
    }
};

ReportServices& report();
// Installing nullptr restores the default; the caller keeps ownership.
void setReport(ReportServices* services);

}  // namespace tandex::ui
