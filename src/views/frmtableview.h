#pragma once
// The table view: the objects of the current search side by side, one row per object and a
// column per property name. The objects and columns are those found when the view was opened;
// the cells are read as they come into view. "to CSV" saves the same table.

#include "commands/tableview.h"
#include "widgets/context.h"
#include "widgets/designedlayout.h"

#include <QWidget>
#include <memory>

class QPushButton;
class QTableView;

namespace olv {

class frmTableView : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCsvFilter = QStringLiteral("CSV files (*.csv)");

    frmTableView(Context& context, TableLayout table, QWidget* parent = nullptr);

    QTableView* grid() const { return m_flxTable; }
    void cmdCSV_Click();

    // Asks where, then writes the table there, its cells read from store: Cancel writes
    // nothing, a failure names the file.
    static void saveAsCsv(QWidget* parent, Context& context, const Store& store, const TableLayout& table);
    static QString writtenMessage(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Context& m_ctx;
    Store m_store; // the file the table was found in, also after File, Set Database
    std::shared_ptr<const TableLayout> m_table;
    DesignedLayout m_layout; // the designed size is the smallest
    QTableView* m_flxTable = nullptr;
    QPushButton* m_cmdCSV = nullptr;
};

} // namespace olv
