#pragma once
// Building the creation dialogs' controls at their designed places, in twips.

#include "app/ui.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

namespace olv::dialogs {

inline const QColor kRed(255, 0, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kGrey(128, 128, 128);
inline const QColor kLightGreen(192, 255, 192);

// Colours a label's caption or a text box's text.
inline void setTextColor(QWidget* w, const QColor& color) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    w->setPalette(palette);
}

// Makes a caption's font a little smaller where the shared font would overrun the designed width.
inline void shrinkToFit(QWidget* w, const QString& caption, int room) {
    QFont font = w->font();
    while (QFontMetrics(font).horizontalAdvance(caption) > room && font.pointSizeF() > 6.0)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    if (font != w->font()) w->setFont(font);
}

inline QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto label = named(new QLabel(caption, parent), name);
    label->setGeometry(place);
    shrinkToFit(label, caption, place.width());
    return label;
}

inline QLineEdit* addBox(QWidget* parent, const char* name, const QString& text,
                         const QString& what, QRect place) {
    auto box = named(new QLineEdit(text, parent), name, what);
    box->setGeometry(place);
    box->setCursorPosition(0); // show the start of a long hint
    return box;
}

inline QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                              QRect place) {
    auto button = named(new QPushButton(caption, parent), name);
    button->setGeometry(place);
    button->setAutoDefault(true); // Enter presses a focused button, as Space does
    return button;
}

} // namespace olv::dialogs
