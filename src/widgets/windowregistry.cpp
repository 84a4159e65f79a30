#include "windowregistry.h"

#include <QKeyEvent>

namespace olv {

namespace {
// Esc that reaches the window itself closes it, as its close button does. A control that uses
// the key first keeps it: a grid cancelling an edit, a list closing its popup.
class CloseOnEscape : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent() || event->type() != QEvent::KeyPress) return false;
        const auto key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Escape || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        static_cast<QWidget*>(watched)->close();
        return true;
    }
};
} // namespace

void WindowRegistry::closeOnEscape(QWidget* w) { w->installEventFilter(new CloseOnEscape(w)); }

void WindowRegistry::add(QWidget* window) {
    m_windows.removeIf([](const QPointer<QWidget>& w) { return w.isNull(); });
    m_windows.append(window);
    connect(window, &QObject::destroyed, this, [this] {
        m_windows.removeIf([](const QPointer<QWidget>& w) { return w.isNull(); });
    });
}

QList<QWidget*> WindowRegistry::windows() const {
    QList<QWidget*> list;
    for (const auto& w : m_windows)
        if (w) list << w.data();
    return list;
}

bool WindowRegistry::unloadAllBut(QWidget* keep) {
    const QList<QWidget*> open = windows();
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        QPointer<QWidget> w = *it;
        if (w == keep || !w) continue;
        emit unloading(w);
        if (!w->close() && w) return false;
        // A window that keeps itself alive once closed is taken down all the same.
        if (w && !w->testAttribute(Qt::WA_DeleteOnClose)) delete w.data();
    }
    return true;
}

void WindowRegistry::bringToFront(QWidget* w) {
    if (w->isMinimized()) w->showNormal();
    w->raise();
    w->activateWindow();
}

} // namespace olv
