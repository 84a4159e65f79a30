#pragma once
// Makes one object of a chosen class, or a new class, per press of its button; the object
// belongs to the owner handed over by the main window when there is one.

#include "widgets/context.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace olv {

class frmNewObjectClass : public QWidget {
    Q_OBJECT
public:
    explicit frmNewObjectClass(Context& context, QWidget* parent = nullptr);

private:
    void cmdAddNewObject_Click();
    void buildControls();
    void Form_Load();
    void chkClass_Click();

    Context& m_ctx;
    QLabel* m_lblObjectName = nullptr;
    QCheckBox* m_chkClass = nullptr;
    QLabel* m_lblTOO = nullptr;
    QComboBox* m_cmbTOO = nullptr;
    QLineEdit* m_txtName = nullptr;
    QLineEdit* m_txtP1 = nullptr;
    QLineEdit* m_txtV1 = nullptr;
    QLineEdit* m_txtP2 = nullptr;
    QLineEdit* m_txtV2 = nullptr;
    QPushButton* m_cmdAddNewObject = nullptr;
};

} // namespace olv
