#include "designedlayout.h"

#include "ui.h"

#include <QWidget>

#include <algorithm>

namespace olv {

namespace {

int moved(Share share, int extra) {
    switch (share) {
    case Share::None:
        return 0;
    case Share::Half:
        return extra / 2; // the same half for every edge that takes one, so neighbours meet
    case Share::All:
        return extra;
    }
    return 0;
}

} // namespace

DesignedLayout::DesignedLayout(QWidget* container, QSize designedTwips) : m_container(container) {
    container->setMinimumSize(tw(designedTwips.width()), tw(designedTwips.height()));
    container->resize(container->minimumSize());
}

void DesignedLayout::addControl(QWidget* w, QRect twips, Stretch how) {
    m_controls.append({w, twips, how});
    place(m_controls.constLast(), extra());
}

void DesignedLayout::place() const {
    const QSize room = extra();
    for (const Control& control : m_controls) place(control, room);
}

QSize DesignedLayout::extra() const {
    // Never less than none: the container does not get smaller than designed.
    return (m_container->size() - m_container->minimumSize()).expandedTo(QSize(0, 0));
}

void DesignedLayout::place(const Control& control, QSize extra) const {
    const Stretch& how = control.how;
    const QRect& at = control.twips;
    // Reckoned in pixels from the designed rectangle, so that controls designed to meet still
    // meet after rounding.
    const int rise = std::min(extra.height(), tw(how.rise.from) - tw(how.rise.to));
    control.widget->setGeometry(twRect(at.x(), at.y(), at.width(), at.height())
                                    .adjusted(moved(how.left, extra.width()),
                                              moved(how.top, extra.height()) - rise,
                                              moved(how.right, extra.width()),
                                              moved(how.bottom, extra.height())));
}

} // namespace olv
