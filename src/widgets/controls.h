#pragma once
// Building the creation dialogs' controls at their designed places, in twips.

#include "widgets/ui.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <algorithm>

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

// Makes a caption's font a little smaller where the shared font would overrun the designed width,
// on a system whose fonts run wider than ours. The size it had is kept in "shrunkFrom", so a
// caption that shrinks with our own font shows up in the tests.
inline void shrinkToFit(QWidget* w, const QString& caption, int room) {
    QFont font = w->font();
    while (QFontMetrics(font).horizontalAdvance(caption) > room && font.pointSizeF() > 6.0)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    if (font == w->font()) return;
    w->setProperty("shrunkFrom", w->font().pointSizeF());
    w->setFont(font);
}

// A label at its designed place. Where nothing stands to its right, spillTo is how far its caption
// may run on (in pixels, from the window's left) before the font shrinks instead.
inline QLabel* addLabel(QWidget* parent, const char* name, const QString& caption, QRect place, int spillTo = 0) {
    auto label = named(new QLabel(caption, parent), name);
    const int needed = QFontMetrics(label->font()).horizontalAdvance(caption) + 2;
    if (spillTo > place.right() && needed > place.width())
        place.setWidth(std::min(needed, spillTo - place.left()));
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

// A button at its designed place, or without one for a DesignedLayout to place.
inline QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                              QRect place = {}) {
    auto button = named(new QPushButton(caption, parent), name);
    if (place.isValid()) button->setGeometry(place);
    button->setAutoDefault(true); // Enter presses a focused button, as Space does
    return button;
}

} // namespace olv::dialogs
