#pragma once
// The table view: the objects of the current search side by side, one row per object and a
// column per property name, as read when the view was opened.

#include "commands/tableview.h"

#include <QWidget>

class QTableView;

namespace olv {

class frmTableView : public QWidget {
    Q_OBJECT
public:
    explicit frmTableView(ObjectTable table, QWidget* parent = nullptr);

    QTableView* grid() const { return m_flxTable; }

private:
    QTableView* m_flxTable = nullptr;
};

} // namespace olv
