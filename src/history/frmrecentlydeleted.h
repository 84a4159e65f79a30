#pragma once
// Recently deleted: the objects that lost all their rows, by whatever means, with their name,
// class, when and by whom; "Restore" brings every row of the selected one back.

#include "widgets/context.h"
#include "commands/history.h"

#include <QWidget>

class QPushButton;
class QTableView;

namespace olv {

class TextTable;

class frmRecentlyDeleted : public QWidget {
    Q_OBJECT
public:
    frmRecentlyDeleted(Context& context, QList<HistoryCommands::DeletedEntry> entries, bool writable,
                       QWidget* parent = nullptr);

    // Shows the entries just read from store.
    void showEntries(const Store& store, QList<HistoryCommands::DeletedEntry> entries, bool writable);
    // Reads the list again.
    void reload();

    void cmdRestore_Click();

signals:
    // Restore brought an object back.
    void changed();

private:
    void fill(QList<HistoryCommands::DeletedEntry> entries);
    int selectedEntry() const;
    void selectionMoved();

    Context& m_ctx;
    Store m_store; // the file the list was read from
    bool m_writable = false;
    QList<HistoryCommands::DeletedEntry> m_entries;
    TextTable* m_list = nullptr;
    QTableView* m_flxDeleted = nullptr;
    QPushButton* m_cmdRestore = nullptr;
};

} // namespace olv
