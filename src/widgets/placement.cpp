#include "placement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace olv {

void placeBeside(QWidget* window, const QWidget* anchor) {
    const QScreen* screen = anchor->screen();
    if (!screen) return;
    const QRect room = screen->availableGeometry();
    const QRect outer = anchor->frameGeometry(), inner = anchor->geometry();
    // A window's frame is known only once it is shown: taken to be as wide as the anchor's.
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const QSize size = window->size().grownBy(frame);
    if (size.width() > room.width() || size.height() > room.height()) return;
    if (outer.right() + size.width() <= room.right()) {
        window->move(outer.right() + 1, std::clamp(outer.top(), room.top(), room.bottom() + 1 - size.height()));
    } else if (outer.bottom() + size.height() <= room.bottom()) {
        window->move(std::clamp(outer.left(), room.left(), room.right() + 1 - size.width()), outer.bottom() + 1);
    }
}

} // namespace olv
