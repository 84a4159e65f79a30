#include "ui.h"

#include <QApplication>
#include <QFont>
#include <QScreen>
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

void applyLook(QApplication& app) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(7.5);
    app.setFont(font);
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
        // Not when the window or a menu merely gives the focus back: half-typed text stays.
        const auto reason = event->type() == QEvent::FocusIn ? static_cast<QFocusEvent*>(event)->reason()
                                                              : Qt::OtherFocusReason;
        if (event->type() == QEvent::FocusIn && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason) {
            auto box = static_cast<QLineEdit*>(watched);
            // After the mouse press that gave the focus has placed the caret.
            QTimer::singleShot(0, box, [box] {
                // Selected backwards, so the caret stands at position 0.
                box->setSelection(int(box->text().size()), -int(box->text().size()));
            });
        }
        return false;
    }
};
} // namespace

void selectAllOnFocus(QLineEdit* box) { box->installEventFilter(new SelectAllOnFocus(box)); }

} // namespace olv
