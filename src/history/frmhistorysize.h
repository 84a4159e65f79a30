#pragma once
// History size: how much room the history takes in the file, and "Forget older", which forgets
// what was kept before a chosen day once the user agrees that it cannot be undone.

#include "widgets/context.h"
#include "commands/history.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace olv {

class frmHistorySize : public QWidget {
    Q_OBJECT
public:
    frmHistorySize(Context& context, HistoryCommands::Size size, QWidget* parent = nullptr);

    void showSize(const Store& store, HistoryCommands::Size size);
    void reload();

    void cmdForget_Click();

signals:
    // Forgetting took steps away from Undo.
    void changed();

private:
    void fill(HistoryCommands::Size size);

    Context& m_ctx;
    Store m_store; // the file measured
    QLabel* m_lblSize = nullptr;
    QLineEdit* m_txtForgetBefore = nullptr;
    QPushButton* m_cmdForget = nullptr;
};

} // namespace olv
