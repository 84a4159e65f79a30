#pragma once
// The card view: a window of the views group kept for a later way of showing objects; it reads
// nothing yet.

#include <QWidget>

namespace olv {

class frmCardView : public QWidget {
    Q_OBJECT
public:
    explicit frmCardView(QWidget* parent = nullptr);
};

} // namespace olv
