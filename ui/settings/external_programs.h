#pragma once
// Opening a file in one of the two external programs of the settings or in
// the program the desktop associates with it, and the menu captions that
// name the two programs. The main window, the browser and the folder
// window reach these through CommandWindowServices.

#include <QString>
#include <QStringList>

namespace tandex::settings {

enum TExternalKind : int { ekProgram1 = 1, ekProgram2 = 2, ekAssociated = 3 };

// What external program n (1 or 2) runs: the setting taken whole as the
// program, or while it is empty $VISUAL, else $EDITOR (each split as a
// command line, its words after the first preceding the file), else
// xdg-open. The program is empty only for other n.
struct TExternalProgram {
    QString program;
    QStringList arguments;
};
TExternalProgram EffectiveExternalProgram(int n);

// "Open file in external Editor/Viewer " + n + " (" + the program's file
// name up to its first "." + ")"; without the bracket part when there is
// no name.
QString ExternalViewerCaption(int n);

// Opens path with a TExternalKind; FTP, cloud and archived files are first
// copied into the temporary folder under their own name. The path reaches
// the program as one argument, never through a shell. Returns the error
// text, empty on success; any other kind does nothing.
QString RunExternalProgram(int kind, const QString& path);

// Starts program with arguments on its own, not waiting for it; a program
// without "/" is looked up on PATH. Returns 0 or the errno of the failed
// start.
int StartDetached(const QString& program, const QStringList& arguments);

// The reason shown for a start of program that failed with errno err.
QString StartFailureReason(int err, const QString& program);

}  // namespace tandex::settings
