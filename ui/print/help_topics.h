#pragma once
// Help topics: the help file, "Tandex.zhlp" beside the program, is a zip
// whose first member is Windows-1252 text. A topic runs from a line
// "#hbegin:" + name to a line "#hend" (or the end of the file); every
// other line is a piece of RTF and becomes one paragraph. The renderer
// cuts a topic out and wraps it as an RTF document; the help window and
// the update's version history show what it returns. The renderer and the
// unit's state need no widget.

#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <functional>

namespace tandex::print {

class TF_Help;

inline constexpr const char* kWelcomeTopic = "Welcome to Tandex";
inline constexpr const char* kHelpFileName = "Tandex.zhlp";

// HoverLinkKind values.
enum THelpLinkKind : int { lkNone = 0, lkTopic = 1, lkSettingsTopic = 2, lkAddress = 3 };

// The program-wide state of the help unit.
struct THelpState {
    TF_Help* F_Help = nullptr;
    QString CurrentTopic;
    // The last entry is the next to visit.
    QStringList HelpBack;
    QStringList HelpForward;
    int HoverLinkKind = lkNone;
    QString LinkText;
    QPoint LastMousePos{-1, -1};
    // The word of the renderer's error lines: "Help" or "History".
    QString HelpFileLabel = QStringLiteral("Help");
    // Link hovering waits while a view scrolls or resizes.
    bool HoverSuspended = false;
    // The help file the window reads; empty means kHelpFileName in the
    // program folder.
    QString HelpFile;
};

THelpState& HelpState();

// The prologue of every rendered topic: \f0 is fontName, \f1 Calibri, the
// colour table of the help texts, 9 points.
QString HelpRtfHeader(const QString& fontName);

// Reads one line of a slot: FZReadLine's contract (0, 38 at the end).
using THelpLineReader = std::function<int(int slot, QString& line)>;

// Renders topic from the help file at path as RTF (Windows-1252 bytes) into
// rtf. Returns 0, also for a missing file or topic, whose red line is then
// the text; any other failure returns its non-zero code and leaves rtf
// empty. readLine stands in for the access layer's line reader in tests.
int RenderHelpTopic(const QString& topic, const QString& fontName, const QString& path, QByteArray& rtf);
int RenderHelpTopic(const QString& topic, const QString& fontName, const QString& path, QByteArray& rtf,
                    const THelpLineReader& readLine);

}  // namespace tandex::print
