#include "window_helpers.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <algorithm>

#include "config/services.h"
#include "config/sys_helpers.h"

namespace tandex::ui {

namespace {

QPointer<QWidget>& mainFormRef() {
    static QPointer<QWidget> form;
    return form;
}

QString LowerAsciiLetters(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = QChar(c.unicode() + 32);
    return result;
}

// Per code unit, so that a folded text keeps its length.
QString LowerCodeUnits(const QString& text) {
    QString result = text;
    for (QChar& c : result)
        c = c.toLower();
    return result;
}

constexpr char frameCloseBlockerName[] = "frameCloseBlocker";

// Refuses the close requests of the window frame (its button, the window
// manager's menu and keys), as a greyed Close command does; the program's
// own close() still closes the window.
class FrameCloseBlocker : public QObject {
public:
    explicit FrameCloseBlocker(QObject* parent) : QObject(parent) {
        setObjectName(QLatin1String(frameCloseBlockerName));
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Close || !event->spontaneous()) return false;
        event->ignore();
        return true;
    }
};

void MoveToTop(QComboBox* box, int index) {
    const QString text = box->itemText(index);
    const QVariant data = box->itemData(index);
    const QIcon icon = box->itemIcon(index);
    box->removeItem(index);
    box->insertItem(0, icon, text, data);
}

void ShowText(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
    if (box->isEditable()) box->setEditText(text);
}

}  // namespace

void SetMainForm(QWidget* form) {
    mainFormRef() = form;
    config::SetMainFormRectSource([]() -> std::optional<QRect> {
        if (const QWidget* main = MainForm()) return main->frameGeometry();
        return std::nullopt;
    });
}

QWidget* MainForm() {
    return mainFormRef().data();
}

void AddComboHistory(QComboBox* box, const QString& text, bool caseInsensitive) {
    int found = -1;
    const QString key = caseInsensitive ? LowerAsciiLetters(text) : text;
    for (int i = 0; i < box->count() && found < 0; ++i) {
        const QString item = box->itemText(i);
        if ((caseInsensitive ? LowerAsciiLetters(item) : item) == key) found = i;
    }
    if (found > 0)
        MoveToTop(box, found);
    else if (found < 0)
        box->insertItem(0, text);
    ShowText(box, text);
}

// Searches only items that exist, however large maxIndex is, and caps the
// list afterwards so that a history never grows past maxIndex + 1 items.
int UpdateComboHistory(QComboBox* box, int maxIndex, bool caseInsensitive) {
    const QString text = box->currentText();
    const QString key = caseInsensitive ? LowerCodeUnits(text) : text;
    const int last = std::min(maxIndex, box->count() - 1);
    int found = maxIndex + 1;
    for (int i = 0; i <= last; ++i) {
        const QString item = box->itemText(i);
        if ((caseInsensitive ? LowerCodeUnits(item) : item) == key) {
            found = i;
            break;
        }
    }
    if (found > maxIndex)
        box->insertItem(0, text);
    else if (found > 0)
        MoveToTop(box, found);
    const int keep = std::max(maxIndex + 1, 1);
    while (box->count() > keep)
        box->removeItem(box->count() - 1);
    ShowText(box, box->itemText(0));
    return found;
}

int UpdateComboHistoryNoCase(QComboBox* box, int maxIndex) {
    return UpdateComboHistory(box, maxIndex, true);
}

void LockWindowRedraw(QWidget* window) {
    if (window) window->setUpdatesEnabled(false);
}

void UnlockWindowRedraw(QWidget* window, int flags) {
    if (!window) return;
    window->setUpdatesEnabled(true);
    if (flags & RDW_INVALIDATE) window->update();
    if (flags & RDW_UPDATENOW) window->repaint();
}

void ShowMessageBoxOk(const QString& caption, const QString& text) {
    config::showMessage(caption, text, config::MsgKind::Information, config::mbOK, config::mrOk);
}

void DisableSystemMenuClose(QWidget* window) {
    if (!window) return;
    if (!window->findChild<QObject*>(QLatin1String(frameCloseBlockerName),
                                     Qt::FindDirectChildrenOnly))
        window->installEventFilter(new FrameCloseBlocker(window));  // owned by window
    // The flags already hold the hints the window type gets by default;
    // customising keeps exactly those, less the close button (a dialog
    // must not grow minimise and maximise buttons here).
    Qt::WindowFlags flags = window->windowFlags() | Qt::CustomizeWindowHint;
    flags &= ~Qt::WindowCloseButtonHint;
    // Changing the flags of a shown window hides it; show it again.
    const bool visible = window->isVisible();
    window->setWindowFlags(flags);
    if (visible) window->show();
}

void CopyPopupMenuItems(QMenu* target, QMenu* popup) {
    if (!target || !popup) return;
    for (QAction* source : popup->actions()) {
        auto* copy = new QAction(source->icon(), source->text(), target);  // owned by target
        copy->setData(source->data());
        copy->setSeparator(source->isSeparator());
        // The copy runs the source's click handlers, which see the same tag.
        QObject::connect(copy, &QAction::triggered, source, &QAction::triggered);
        target->addAction(copy);
    }
}

QFont FontOfDesc(const config::TFontDesc& d) {
    QFont font(d.Name.isEmpty() ? QStringLiteral("Monospace") : d.Name);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(qMax(1, d.Size));
    font.setBold(d.Style & config::fsBold);
    font.setItalic(d.Style & config::fsItalic);
    font.setUnderline(d.Style & config::fsUnderline);
    font.setStrikeOut(d.Style & config::fsStrikeOut);
    return font;
}

config::TFontDesc DescOfFont(const QFont& font) {
    config::TFontDesc d;
    d.Name = font.family();
    d.Size = font.pointSize() > 0 ? font.pointSize() : 9;
    d.Style = (font.bold() ? config::fsBold : 0) | (font.italic() ? config::fsItalic : 0) |
              (font.underline() ? config::fsUnderline : 0) | (font.strikeOut() ? config::fsStrikeOut : 0);
    return d;
}

}  // namespace tandex::ui
