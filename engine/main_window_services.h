#pragma once
// What the engine calls of the main window. The window implements this
// interface and installs it at start; headless code keeps the default,
// which does nothing except the plain line numbering, so that edits made
// without a window still number their lines.

namespace tandex::engine {

class MainWindowServices {
public:
    virtual ~MainWindowServices() = default;

    // Refresh hints, captions and enabled states (the undo command became
    // available).
    virtual void updateControls() {}

    // A pane's image panel and open-error memo.
    virtual void clearPanePicture(int /*pane*/) {}
    virtual bool openErrorShown(int /*pane*/) const { return false; }
    virtual void hideImagePanel(int /*pane*/) {}

    // Number every real line of a pane 1, 2, 3 ... in row order.
    virtual void renumberLines(int pane);

    // The line number the window keeps across an inserted line.
    virtual void rememberEditLine(int /*lineNumber*/) {}

    // The folder rows were rebuilt: expanding and collapsing all folders
    // is offered only in the tree view.
    virtual void enableFolderMenus() {}
};

// Gives every real text line of the pane, over the rows in use, the line
// numbers 1, 2, 3 ... in order; gap rows are passed over.
void RenumberTextLines(int pane);

MainWindowServices& mainWindow();
// Installing nullptr restores the headless default; the caller keeps ownership.
void setMainWindow(MainWindowServices* services);

}  // namespace tandex::engine
