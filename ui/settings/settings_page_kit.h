#pragma once
// Small builders the settings pages share: named controls in layouts, so a
// page reads as the list of its controls. Sizes are 96-dpi pixels.

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QString>

#include "config/sys_helpers.h"
#include "ui/main/flat_button.h"

namespace tandex::settings::kit {

template <class T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A page's own column: small margins, tight rows, the rest of the height
// left empty at the bottom.
inline QVBoxLayout* PageColumn(QWidget* page) {
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(config::ScaleDpi(10), config::ScaleDpi(8), config::ScaleDpi(10), config::ScaleDpi(6));
    column->setSpacing(config::ScaleDpi(4));
    return column;
}

inline QGroupBox* Group(QBoxLayout* into, const char* name, const QString& caption) {
    auto* group = named(new QGroupBox(caption), name);
    into->addWidget(group);
    return group;
}

inline QVBoxLayout* GroupColumn(QGroupBox* group) {
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(config::ScaleDpi(8), config::ScaleDpi(4), config::ScaleDpi(8), config::ScaleDpi(6));
    column->setSpacing(config::ScaleDpi(2));
    return column;
}

inline QHBoxLayout* Row(QBoxLayout* into, int indent = 0) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(config::ScaleDpi(indent), 0, 0, 0);
    row->setSpacing(config::ScaleDpi(5));
    into->addLayout(row);
    return row;
}

inline QCheckBox* Check(QBoxLayout* into, const char* name, const QString& caption, const QString& hint = {}) {
    auto* box = named(new QCheckBox(caption), name);
    if (!hint.isEmpty()) box->setToolTip(hint);
    into->addWidget(box);
    return box;
}

inline QRadioButton* Radio(QBoxLayout* into, const char* name, const QString& caption, int tag = 0) {
    auto* button = named(new QRadioButton(caption), name);
    button->setProperty("Tag", tag);
    into->addWidget(button);
    return button;
}

inline QLabel* Label(QBoxLayout* into, const char* name, const QString& caption, const QString& hint = {}) {
    auto* label = named(new QLabel(caption), name);
    label->setTextFormat(Qt::PlainText);
    if (!hint.isEmpty()) label->setToolTip(hint);
    into->addWidget(label);
    return label;
}

// A label that takes the lines it needs within the page's width.
inline QLabel* WrappedLabel(QBoxLayout* into, const char* name, const QString& caption) {
    QLabel* label = Label(into, name, caption);
    label->setWordWrap(true);
    return label;
}

// width 0: the field takes the rest of its row.
inline QLineEdit* Edit(QBoxLayout* into, const char* name, int width = 0, const QString& hint = {}) {
    auto* edit = named(new QLineEdit, name);
    if (width > 0) edit->setFixedWidth(config::ScaleDpi(width));
    if (!hint.isEmpty()) edit->setToolTip(hint);
    into->addWidget(edit);
    return edit;
}

inline QComboBox* Combo(QBoxLayout* into, const char* name, const QStringList& items, int width = 0) {
    auto* box = named(new QComboBox, name);
    box->addItems(items);
    if (width > 0) box->setFixedWidth(config::ScaleDpi(width));
    into->addWidget(box);
    return box;
}

inline ui::TFlatButton2* Button(QBoxLayout* into, const char* name, const QString& caption, int width,
                                const QString& hint = {}) {
    auto* button = named(new ui::TFlatButton2, name);
    button->SetCaption(caption);
    button->SetWidth(width);
    button->SetHeight(23);
    button->SetFlatStyle(ui::FS_SHOWBORDER);
    if (!hint.isEmpty()) button->setToolTip(hint);
    into->addWidget(button);
    return button;
}

// A colour panel: a framed square that opens the colour dialog on a click.
inline QLabel* ColorPanel(QBoxLayout* into, const char* name) {
    auto* panel = named(new QLabel, name);
    panel->setFrameShape(QFrame::Box);
    panel->setFixedSize(config::ScaleDpi(40), config::ScaleDpi(18));
    panel->setCursor(Qt::PointingHandCursor);
    panel->setProperty("ColorPanel", true);
    into->addWidget(panel);
    return panel;
}

}  // namespace tandex::settings::kit
