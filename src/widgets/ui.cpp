#include "ui.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QStyleFactory>
#include <cmath>

namespace olv {

int tw(int twips) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

QRect twRect(int left, int top, int width, int height) {
    return QRect(tw(left), tw(top), tw(width), tw(height));
}

QIcon programIcon() {
    // Drawn from the SVG the menu entry shows, at the sizes window frames and About ask for.
    QSvgRenderer svg(QStringLiteral(":/org.olvproject.Olv.svg"));
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap picture(size, size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        svg.render(&painter);
        painter.end();
        icon.addPixmap(picture);
    }
    return icon;
}

void applyLook(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(7.5);
    app.setFont(font);
    // Every window shows the program's icon, and belongs to its menu entry.
    QApplication::setWindowIcon(programIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("org.olvproject.Olv"));
}

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

BusyCursor::~BusyCursor() { release(); }

void BusyCursor::release() {
    if (m_active) QApplication::restoreOverrideCursor();
    m_active = false;
}

} // namespace olv

#include <QFocusEvent>
#include <QLineEdit>
#include <QTimer>

namespace olv {

namespace {
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
            if (!event->spontaneous()) m_windowLeft = false; // shown afresh, not restored
            break;
        case QEvent::WindowDeactivate:
            m_windowLeft = true;
            break;
        case QEvent::FocusIn: {
            // Not when the window or a menu merely gives the focus back: half-typed text stays.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason ||
                (reason == Qt::ActiveWindowFocusReason && m_windowLeft))
                break;
            auto box = static_cast<QLineEdit*>(watched);
            // Selected backwards, so the caret stands at position 0.
            const auto select = [box] {
                box->setSelection(int(box->text().size()), -int(box->text().size()));
            };
            // A click places the caret after the focus arrives: select once the press is done.
            if (reason == Qt::MouseFocusReason) QTimer::singleShot(0, box, select);
            else select();
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    bool m_windowLeft = false;
};
} // namespace

void selectAllOnFocus(QLineEdit* box) { box->installEventFilter(new SelectAllOnFocus(box)); }

} // namespace olv

#include <QAccessible>
#include <QAccessibleApplication>
#include <QAccessibleWidget>
#include <QMenu>

namespace olv {

namespace {

// Qt leaves popups out of the application's windows. A context menu hangs from no menu bar, so it
// is listed here while open; its own way up is the application already.
class Application : public QAccessibleApplication {
public:
    int childCount() const override {
        return QAccessibleApplication::childCount() + int(openMenus().size());
    }
    QAccessibleInterface* child(int index) const override {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows) return QAccessibleApplication::child(index);
        const QList<QMenu*> menus = openMenus();
        return index - windows < menus.size()
                   ? QAccessible::queryAccessibleInterface(menus[index - windows])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const int index = QAccessibleApplication::indexOfChild(child);
        if (index >= 0 || !child) return index;
        const qsizetype menu = openMenus().indexOf(qobject_cast<QMenu*>(child->object()));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + int(menu);
    }

private:
    static QList<QMenu*> openMenus() {
        QList<QMenu*> menus;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto menu = qobject_cast<QMenu*>(w);
            if (!menu || !menu->isVisible()) continue;
            // Menus of a menu bar or of another menu are reached through it.
            const QAccessibleInterface* up = QAccessible::queryAccessibleInterface(menu)->parent();
            if (up && up->object() == qApp) menus << menu;
        }
        return menus;
    }
};

QAccessibleInterface* windowInterface(const QString& className, QObject* object) {
    if (object && object == qApp) return new Application;
    auto w = qobject_cast<QWidget*>(object);
    // Asked for each class from the most derived up; only the window's own class is answered.
    if (!w || !w->isWindow() || className != QLatin1String(w->metaObject()->className()))
        return nullptr;
    // The program's windows besides the main one are built on a plain QWidget, which Qt would
    // announce as a pane. Named by the caption, as every window.
    const Qt::WindowType type = w->windowType();
    if (w->metaObject()->superClass() == &QWidget::staticMetaObject &&
        (type == Qt::Window || type == Qt::Dialog))
        return new QAccessibleWidget(w, QAccessible::Dialog);
    return nullptr;
}

} // namespace

void exposeToScreenReaders() { QAccessible::installFactory(windowInterface); }

} // namespace olv
