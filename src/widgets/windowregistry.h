#pragma once
// The program's open windows in the order they were loaded. Each window class has one instance:
// asking for an open one brings it to the front instead of loading it again.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace olv {

class WindowRegistry : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    template <class W> W* find() const {
        for (const auto& w : m_windows)
            if (auto typed = qobject_cast<W*>(w.data()); typed && !closing(typed)) return typed;
        return nullptr;
    }

    // Shows the open instance of W, or makes one with make() and shows it. Windows opened here
    // close on Esc, as dialogs do; the main window, only added, does not.
    template <class W> W* open(const std::function<W*()>& make) {
        if (W* open = find<W>()) {
            bringToFront(open);
            return open;
        }
        W* w = make();
        add(w);
        closeOnEscape(w);
        w->show();
        bringToFront(w);
        return w;
    }

    void add(QWidget* window);
    QList<QWidget*> windows() const;
    // Closes every window but keep, newest first, each through its own close handling. A window
    // that stays open (its user chose to keep what could not be stored) stops it: false, and it
    // and the older windows stay.
    bool unloadAllBut(QWidget* keep);

signals:
    void unloading(QWidget* window);

private:
    static void bringToFront(QWidget* w);
    static void closeOnEscape(QWidget* w);
    // Shown once and closed since, only waiting to be deleted: it counts as gone.
    static bool closing(const QWidget* w) { return w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide); }
    QList<QPointer<QWidget>> m_windows;
};

} // namespace olv
