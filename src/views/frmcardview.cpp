#include "frmcardview.h"

#include "app/ui.h"

#include <QScreen>

namespace olv {

frmCardView::frmCardView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmCardView"));
    setWindowTitle(QStringLiteral("Olv :: CardView"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(tw(6435), tw(6330));
    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

} // namespace olv
