#include "help_links.h"

#include "help_topics.h"

#include <QDesktopServices>
#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QUrl>
#include <vector>

namespace tandex::print {

namespace {

// How far below the top of a character the mouse still counts as on it;
// further down it is below the last line.
constexpr int kCharReach = 18;

QColor colourOf(const QTextCharFormat& format) {
    return format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : QColor();
}

// The characters of a block with their colours, fragment by fragment.
struct TColourRun {
    int start = 0;
    int length = 0;
    QColor colour;
};

std::vector<TColourRun> colourRuns(const QTextBlock& block) {
    std::vector<TColourRun> runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        runs.push_back({f.position() - block.position(), f.length(), colourOf(f.charFormat())});
    }
    return runs;
}

int caretX(const QTextEdit* view, int position) {
    QTextCursor c(view->document());
    c.setPosition(position);
    return view->cursorRect(c).x();
}

}  // namespace

int HelpLinkKindOf(const QColor& color) {
    if (!color.isValid() || color.red() != 0 || color.green() != 0) return lkNone;
    switch (color.blue()) {
    case 250:
        return lkTopic;
    case 251:
        return lkSettingsTopic;
    case 192:
        return lkAddress;
    default:
        return lkNone;
    }
}

bool HelpLinkHover(QTextEdit* view, Qt::MouseButtons buttons, int x, int y) {
    THelpState& st = HelpState();
    const QPoint mouse(x, y);
    if (st.HoverSuspended || mouse == st.LastMousePos || (buttons & Qt::LeftButton) ||
        view->textCursor().hasSelection())
        return false;
    st.LastMousePos = mouse;

    int kind = lkNone;
    QString text;
    const QTextCursor near = view->cursorForPosition(mouse);
    const QTextBlock block = near.block();
    const QRect caret = view->cursorRect(near);
    // The nearest caret place lies left or right of the character under
    // the mouse; the character is the one whose two edges enclose it.
    int at = near.position() - block.position();
    if (x < caret.x() && at > 0) --at;
    const int position = block.position() + at;
    if (at < block.length() - 1 && y - caret.top() <= kCharReach && caretX(view, position) <= x &&
        x < caretX(view, position + 1)) {
        const auto runs = colourRuns(block);
        size_t hit = 0;
        while (hit < runs.size() && at >= runs[hit].start + runs[hit].length) ++hit;
        if (hit < runs.size()) kind = HelpLinkKindOf(runs[hit].colour);
        if (kind != lkNone) {
            // The link is the whole run of its exact colour in this line.
            size_t first = hit, last = hit;
            while (first > 0 && runs[first - 1].colour == runs[hit].colour) --first;
            while (last + 1 < runs.size() && runs[last + 1].colour == runs[hit].colour) ++last;
            text = block.text().mid(runs[first].start, runs[last].start + runs[last].length - runs[first].start);
        }
    }
    st.HoverLinkKind = kind;
    st.LinkText = kind != lkNone ? text : QString();
    view->viewport()->setCursor(kind != lkNone ? Qt::PointingHandCursor : Qt::ArrowCursor);
    view->viewport()->update();
    return true;
}

void HelpLinkClick(QTextEdit* /*view*/, Qt::MouseButton button, QString& topic) {
    topic.clear();
    THelpState& st = HelpState();
    if (button != Qt::LeftButton || st.HoverLinkKind == lkNone) return;
    if (st.HoverLinkKind == lkAddress) {
        OpenHelpAddress(st.LinkText);
        return;
    }
    topic = st.LinkText;
    topic.replace(QLatin1Char('_'), QLatin1Char(' '));
    if (st.HoverLinkKind == lkSettingsTopic) topic.prepend(QStringLiteral("Settings: "));
    if (topic != st.CurrentTopic) {
        st.HelpBack.append(st.CurrentTopic);
        st.HelpForward.clear();
    }
}

QString HelpFontFamily(const QString& rtfName) {
    if (rtfName == QLatin1String("Segoe UI") || rtfName == QLatin1String("Calibri") ||
        rtfName == QLatin1String("Tahoma"))
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    return rtfName;
}

bool OpenHelpAddress(const QString& text) {
    QString address = text.trimmed();
    // A bare mail address; one that names its scheme keeps it.
    if (address.contains(QLatin1Char('@')) && !address.contains(QLatin1String("://")) &&
        !address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        address.prepend(QStringLiteral("mailto:"));
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid()) return false;
    const bool web = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    if (!(web && !url.host().isEmpty()) && !(scheme == QLatin1String("mailto") && !url.path().isEmpty()))
        return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace tandex::print
