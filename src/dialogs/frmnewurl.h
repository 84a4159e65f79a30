#pragma once

#include "app/context.h"

#include <QWidget>

namespace olv {

class frmNewURL : public QWidget {
    Q_OBJECT
public:
    explicit frmNewURL(Context& context, QWidget* parent = nullptr);

private:
    Context& m_ctx;
};

} // namespace olv
