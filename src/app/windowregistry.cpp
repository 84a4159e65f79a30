#include "windowregistry.h"

namespace olv {

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

void WindowRegistry::unloadAllBut(QWidget* keep) {
    const QList<QWidget*> open = windows();
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        QWidget* w = *it;
        if (w == keep) continue;
        emit unloading(w);
        w->close();
        // A window that refused to close, or keeps itself alive, is taken down all the same.
        if (QPointer<QWidget> alive = w; alive && !alive->testAttribute(Qt::WA_DeleteOnClose))
            delete alive.data();
    }
}

void WindowRegistry::bringToFront(QWidget* w) {
    if (w->isMinimized()) w->showNormal();
    w->raise();
    w->activateWindow();
}

} // namespace olv
