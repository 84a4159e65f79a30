#pragma once
// Adds one row (property, value) per press to the object of the data-entry window, which then
// shows it. Stays open for the next one.

#include "widgets/context.h"

#include <QWidget>

class QLineEdit;

namespace olv {

class frmNewPV : public QWidget {
    Q_OBJECT
public:
    explicit frmNewPV(Context& context, QWidget* parent = nullptr);

    void cmdNewPV_Click();

private:
    Context& m_ctx;
    QLineEdit* m_txtProperty = nullptr;
    QLineEdit* m_txtValue = nullptr;
};

} // namespace olv
