#pragma once

#include "app/context.h"

#include <QWidget>

namespace olv {

class frmNewObjectClass : public QWidget {
    Q_OBJECT
public:
    explicit frmNewObjectClass(Context& context, QWidget* parent = nullptr);

private:
    Context& m_ctx;
};

} // namespace olv
