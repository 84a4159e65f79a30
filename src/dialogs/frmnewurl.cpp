#include "frmnewurl.h"

namespace olv {

frmNewURL::frmNewURL(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context) {
    setObjectName(QStringLiteral("frmNewURL"));
    setWindowTitle(QStringLiteral("Olv - New URL"));
}

} // namespace olv
