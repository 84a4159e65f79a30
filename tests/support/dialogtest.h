#pragma once
// Helpers for driving the creation dialogs as a user does.

#include "app/ui.h"
#include "harness.h"

#include <QDir>
#include <QLineEdit>
#include <QWidget>
#include <QtTest>

namespace olv::test {

// Opens window W the way the main window does and waits until it has the focus.
template <class W> W* openWindow(Harness& h) {
    W* w = h.windows.open<W>([&h] { return new W(h.ctx); });
    if (!QTest::qWaitForWindowActive(w)) qWarning("window did not become active");
    return w;
}

template <class T> T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) qWarning("no control %s", name);
    return found;
}

// Clicks into the box, selects what it holds and types text over it (an empty text deletes).
inline void retype(QLineEdit* box, const QString& text) {
    QTest::mouseClick(box, Qt::LeftButton);
    QCoreApplication::processEvents(); // focus handlers that run after the click
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        QTest::keyClicks(box, text);
}

// The name of the control that has the focus (the box inside a combo box counts as the combo).
inline QString focusName() {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return {};
}

// The names of the controls the focus visits, pressing Tab count times from where it is.
inline QStringList tabWalk(QWidget* window, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                        Qt::Key_Tab);
        names << focusName();
    }
    return names;
}

// A picture of the window for checking the layout by eye, when OLV_SCREENSHOTS names a folder.
inline void screenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariable("OLV_SCREENSHOTS");
    if (!folder.isEmpty())
        window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

} // namespace olv::test
