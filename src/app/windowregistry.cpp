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
