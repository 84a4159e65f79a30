#pragma once
// The table view: the objects of the current search side by side, one row per object and a
// column per property name, as read when the view was opened; "to CSV" saves what it shows.

#include "app/context.h"
#include "commands/tableview.h"

#include <QWidget>

class QPushButton;
class QTableView;

namespace olv {

class frmTableView : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCsvFilter = QStringLiteral("CSV files (*.csv)");

    frmTableView(Context& context, ObjectTable table, QWidget* parent = nullptr);

    QTableView* grid() const { return m_flxTable; }
    void cmdCSV_Click();

    // Asks where, then writes the table there: Cancel writes nothing, a failure names the file.
    static void saveAsCsv(QWidget* parent, Context& context, const ObjectTable& table);
    static QString writtenMessage(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Context& m_ctx;
    ObjectTable m_table;
    QTableView* m_flxTable = nullptr;
    QPushButton* m_cmdCSV = nullptr;
};

} // namespace olv
