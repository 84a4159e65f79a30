#pragma once
// The History window: every change to one object's rows, newest first, with when, what and who;
// "Restore" brings back the value the selected change took away, and "show as it was" lists the
// object's rows at a chosen date and time.

#include "widgets/context.h"
#include "commands/history.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace olv {

class TextTable;

class frmHistory : public QWidget {
    Q_OBJECT
public:
    frmHistory(Context& context, HistoryCommands::ObjectHistory history, QWidget* parent = nullptr);

    const QString& objectId() const { return m_history.id; }
    // Shows a history just read from store, e.g. of another object asked for while the window
    // is open.
    void showHistory(const Store& store, HistoryCommands::ObjectHistory history);
    // Reads the shown object's history again.
    void reload();

    void cmdRestore_Click();
    void cmdShowAsOf_Click();

signals:
    // Restore changed the object's rows.
    void changed();

private:
    void fill(HistoryCommands::ObjectHistory history);
    int selectedLine() const;
    void selectionMoved();

    Context& m_ctx;
    Store m_store; // the file the history was read from, also after File, Set Database
    HistoryCommands::ObjectHistory m_history;
    QLabel* m_lblObject = nullptr;
    TextTable* m_lines = nullptr;
    QTableView* m_flxHistory = nullptr;
    QPushButton* m_cmdRestore = nullptr;
    QLineEdit* m_txtAsOf = nullptr;
    QPushButton* m_cmdShowAsOf = nullptr;
    QLabel* m_lblAsOf = nullptr;
    TextTable* m_asOfRows = nullptr;
    QTableView* m_flxAsOf = nullptr;
};

} // namespace olv
