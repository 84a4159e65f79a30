#pragma once
// Layout units and the look shared by every window.

#include <QRect>
#include <QString>

class QApplication;
class QWidget;

namespace olv {

// Window layouts are designed in twips (1/1440 inch).
int tw(int twips);
QRect twRect(int left, int top, int width, int height);

// A small font and one widget style, so every caption fits its designed place.
void applyLook(QApplication& app);

// Sets the object name and the accessible name of a control in one go.
template <class W> W* named(W* w, const char* objectName, const QString& accessibleName) {
    w->setObjectName(QString::fromLatin1(objectName));
    w->setAccessibleName(accessibleName);
    return w;
}

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
// Makes a text box select its whole text whenever it receives focus, by keyboard or mouse, so
// that typing replaces a hint such as "find".
void selectAllOnFocus(QLineEdit* box);
} // namespace olv
