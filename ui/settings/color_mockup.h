#pragma once
// The miniature main window of the colour dialog. Every part a colour of
// the set paints is an item here: a label shows a text colour, a shape a
// background, the two halves of the tool bar its gradient. Each item keeps
// the number of the colour it edits and the hint that names it; a click on
// an item is handed to the dialog, which asks for the new colour.

#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "config/app_settings.h"

namespace tandex::settings {

enum TMockKind { mkShape, mkLabel, mkImage };

struct TMockItem {
    QString name;
    int entry = 0;  // the colour of the set it edits
    TMockKind kind = mkShape;
    QRect rect;     // 96-dpi pixels inside the mock-up
    QString text;   // a label's lines, one per row of the rectangle
    QString hint;
    bool alignRight = false;
    int textEntry = -1;  // a label whose text has another colour than it edits
};

class TColorMockup : public QWidget {
    Q_OBJECT

public:
    explicit TColorMockup(QWidget* parent = nullptr);

    const std::vector<TMockItem>& Items() const { return items_; }
    const TMockItem* Item(const QString& name) const;
    // Where an item is painted, in widget pixels; a label's is the part its
    // text covers, which is also where it takes clicks.
    QRect ItemRect(const QString& name) const;
    const TMockItem* ItemAt(QPoint pos) const;
    void SetHint(const QString& name, const QString& hint);

    const config::TColorSet& Colors() const { return colors_; }
    void SetColors(const config::TColorSet& colors);
    void SetColor(int entry, quint32 color);
    // The flat look's tool bar is one colour, the end colour; the start
    // colour is kept for the classic look all the same.
    void SetFlatToolbar(bool flat);
    // The colour the item shows, a system colour resolved: what the picker
    // starts with.
    quint32 ItemColor(const TMockItem& item) const;

    std::function<void(const TMockItem& item)> OnItemClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect scaled(const QRect& r) const;
    // Each text row of a label and the rectangle its text takes.
    std::vector<std::pair<QString, QRect>> labelRows(const TMockItem& item) const;
    quint32 entryColor(int entry) const;

    std::vector<TMockItem> items_;
    config::TColorSet colors_{};
    bool flatToolbar_ = false;
};

}  // namespace tandex::settings
