#pragma once

#include "app/context.h"

#include <QWidget>

namespace olv {

class frmNewCollection : public QWidget {
    Q_OBJECT
public:
    explicit frmNewCollection(Context& context, QWidget* parent = nullptr);

private:
    Context& m_ctx;
};

} // namespace olv
