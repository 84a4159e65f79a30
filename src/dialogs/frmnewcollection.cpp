#include "frmnewcollection.h"

namespace olv {

frmNewCollection::frmNewCollection(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewCollection"));
    setWindowTitle(QStringLiteral("Olv - New Collection"));
}

} // namespace olv
