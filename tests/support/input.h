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

inline void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, int times = 1) {
    for (int i = 0; i < times; ++i) QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// Types text where the focus is; letters beyond ASCII come as a keyboard layout or input method
// sends them, as key events that carry their text.
inline void typeKeys(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(QApplication::focusWidget(), char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(c), {});
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
