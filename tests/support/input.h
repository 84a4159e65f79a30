#pragma once
// Keys as a user presses them: they go where the focus is, and a box is typed into after a click
// into it, as from the keyboard. Screenshots of windows, on request.

#include <QApplication>
#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <QWidget>
#include <QtTest>

namespace olv::test {

// The name of the control that has the focus.
inline QString focused() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// Where the next key goes. A window that just closed leaves none active for a moment, until the
// window system activates the one beneath; a user's next key comes after that, and so does ours.
// The offscreen platform has no window manager and, when busy, may never do it: with one window
// left to type into, that one is activated as a desktop would.
inline QWidget* keyTarget() {
    if (QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 1000)) return QApplication::focusWidget();
    QWidget* left = QApplication::activeModalWidget();
    if (!left) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible() || (w->windowType() & Qt::Popup) == Qt::Popup) continue;
            if (left) return nullptr; // more than one: nobody can tell which
            left = w;
        }
    }
    if (left) {
        left->activateWindow();
        (void)QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; });
    }
    return QApplication::focusWidget();
}

inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, int times = 1) {
    for (int i = 0; i < times; ++i) QTest::keyClick(keyTarget(), key, modifiers);
}

// Types text where the focus is; letters beyond ASCII come as a keyboard layout or input method
// sends them, as key events that carry their text.
inline void typeKeys(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(keyTarget(), char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, keyTarget(), Qt::Key_unknown, QString(c), {});
    }
}

// Clicks into the control (a text edit's page, a box itself), deletes what it holds (Ctrl+A, as it
// may have had the focus already) and types text.
inline void typeInto(QWidget* target, const QString& text) {
    QTest::mouseClick(target, Qt::LeftButton);
    QCoreApplication::processEvents(); // what the click set off, before the next key comes in
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_Delete);
    typeKeys(text);
}

// Saves a picture of the window as NAME.png in the folder OLV_SCREENSHOTS names, if it is set.
inline void screenshot(QWidget* window, const QString& name) {
    if (const QString folder = qEnvironmentVariable("OLV_SCREENSHOTS"); !folder.isEmpty())
        window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// A picture of one colour saved as format: its path, or an empty one when that failed.
inline QString pictureFile(const QString& path, QSize size = {40, 30}, const QColor& colour = Qt::darkGreen,
                           const char* format = "JPG") {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture.save(path, format) ? path : QString();
}

} // namespace olv::test
