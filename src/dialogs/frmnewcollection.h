#pragma once
// Makes one collection per press of its button: an object of the class "collection" with a
// name and an optional topic and description.

#include "widgets/context.h"

#include <QWidget>

class QLineEdit;

namespace olv {

class frmNewCollection : public QWidget {
    Q_OBJECT
public:
    explicit frmNewCollection(Context& context, QWidget* parent = nullptr);

private:
    void cmdAdd_Click();

    Context& m_ctx;
    QLineEdit* m_txtTopic = nullptr;
    QLineEdit* m_txtDescription = nullptr;
    QLineEdit* m_txtName = nullptr;
};

} // namespace olv
