#pragma once
// Links in a help text are runs of text in one of three exact colours: a
// topic (RGB 0, 0, 250), a settings topic (0, 0, 251) and a web or mail
// address (0, 0, 192). The hover routine finds the run under the mouse and
// shows the hand; the click routine turns it into a topic or opens the
// address. The help window and the update's version history both use
// them on their rich-text views.

#include <QColor>
#include <QString>
#include <Qt>

class QTextEdit;

namespace tandex::print {

// The THelpLinkKind of a text colour.
int HelpLinkKindOf(const QColor& color);

// Updates HoverLinkKind and LinkText for the mouse at x, y of the view's
// viewport, and the view's cursor. Nothing happens while hovering is
// suspended, when the mouse has not moved, while the left button is down
// or while text is selected. True when the view was looked at again.
bool HelpLinkHover(QTextEdit* view, Qt::MouseButtons buttons, int x, int y);

// A left click on a hovered link: a topic link gives its topic (the link
// text with "_" read as blanks, "Settings: " in front for a settings link)
// and, when it differs from the shown one, a step in the history; an
// address is opened. topic is empty otherwise.
void HelpLinkClick(QTextEdit* view, Qt::MouseButton button, QString& topic);

// The help texts name the fonts of another desktop; here they are the
// system's general font. Other names stay.
QString HelpFontFamily(const QString& rtfName);

// Opens a link's address with the desktop's handler: only "http:",
// "https:" and "mailto:" addresses ("mailto:" put in front of a bare
// address with "@"); anything else, a local file or program among them,
// opens nothing. True when it was handed on.
bool OpenHelpAddress(const QString& text);

}  // namespace tandex::print
