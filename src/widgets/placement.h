#pragma once
// Where a new window goes: beside the main window, so that it does not cover the tree.

class QWidget;

namespace olv {

// Moves a window that is about to be shown to the right of anchor, level with its top, where the
// screen has room for it; else below it; else it stays where it is.
void placeBeside(QWidget* window, const QWidget* anchor);

template <class W> W* placedBeside(W* window, const QWidget* anchor) {
    placeBeside(window, anchor);
    return window;
}

} // namespace olv
