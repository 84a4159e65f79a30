#pragma once
// Layout units and the look shared by every window.

#include <QRect>
#include <QString>

class QApplication;
class QIcon;
class QWidget;

namespace olv {

// Window layouts are designed in twips (1/1440 inch).
int tw(int twips);
QRect twRect(int left, int top, int width, int height);

// A small font and one widget style, so every caption fits its designed place; the program's
// icon on every window.
void applyLook(QApplication& app);
QIcon programIcon();

// Names a control with a caption (label, button, check box, frame). Screen readers get the
// caption it shows from Qt, also after the caption changes.
template <class W> W* named(W* w, const char* objectName) {
    w->setObjectName(QString::fromLatin1(objectName));
    return w;
}

// Names a control without a caption of its own (box, tree, grid) and describes it briefly for
// screen readers.
template <class W> W* named(W* w, const char* objectName, const QString& description) {
    w->setObjectName(QString::fromLatin1(objectName));
    w->setAccessibleName(description);
    return w;
}

// Lets screen readers tell the program's windows from its panes and reach open context menus.
// Called before the first window is made.
void exposeToScreenReaders();

// Shows a busy cursor for as long as it lives.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
    // Back to the normal cursor early, e.g. before a question to the user.
    void release();

private:
    bool m_active = true;
};

} // namespace olv

class QLineEdit;
namespace olv {
// Makes a text box select its whole text whenever it receives focus, by keyboard or mouse and
// when its window first shows, so that typing replaces a hint such as "find". Coming back to the
// window or out of a popup leaves half-typed text as it was.
void selectAllOnFocus(QLineEdit* box);
} // namespace olv
