#include "frmnewobjectclass.h"

namespace olv {

frmNewObjectClass::frmNewObjectClass(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewObjectClass"));
    setWindowTitle(QStringLiteral("Olv :: create New Object / Class"));
}

} // namespace olv
