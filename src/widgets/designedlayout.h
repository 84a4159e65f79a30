#pragma once
// A window's controls at their designed places, each written once with how it follows the window
// when the user makes it larger. The designed size is the smallest.

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

namespace olv {

// How far an edge moves when the container is larger than designed: not at all, by half the spare
// room (two columns or two rows sharing it), or by all of it.
enum class Share : unsigned char { None, Half, All };

// A top edge that rises into the spare height: by all of it, but no more than a top designed at
// `from` needs to reach `to` (twips). Controls that rise together share one, and stay level.
struct Rise {
    int from = 0, to = 0;
};

struct Stretch {
    Share left = Share::None, top = Share::None, right = Share::None, bottom = Share::None;
    Rise rise{};
};

inline constexpr Stretch kFixed{};
inline constexpr Stretch kGrowsRight{.right = Share::All};
inline constexpr Stretch kGrowsDown{.bottom = Share::All};
inline constexpr Stretch kGrowsBoth{.right = Share::All, .bottom = Share::All};
// Moves down with the bottom edge, keeping its size.
inline constexpr Stretch kKeepsToBottom{.top = Share::All, .bottom = Share::All};

class DesignedLayout {
public:
    // Makes the designed size (twips) the container's smallest, and gives it that size.
    DesignedLayout(QWidget* container, QSize designedTwips);

    // Places w at its designed rectangle (twips, in the container) for the container's size now,
    // and again at every place().
    template <class W> W* add(W* w, QRect twips, Stretch how = kFixed) {
        addControl(w, twips, how);
        return w;
    }

    // Places every control for the container's current size; windows call it on a resize.
    void place() const;

private:
    struct Control {
        QWidget* widget;
        QRect twips;
        Stretch how;
    };
    void addControl(QWidget* w, QRect twips, Stretch how);
    void place(const Control& control, QSize extra) const;
    QSize extra() const;

    QWidget* m_container;
    QList<Control> m_controls;
};

} // namespace olv
