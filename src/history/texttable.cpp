#include "texttable.h"

#include "widgets/ui.h"

#include <QHeaderView>
#include <QTableView>

namespace olv {

TextTable::TextTable(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers)) {}

void TextTable::setRows(QList<QStringList> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int TextTable::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int TextTable::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_headers.size()); }

QVariant TextTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    return m_rows.at(index.row()).value(index.column());
}

QVariant TextTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) return m_headers.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QTableView* rowGrid(QWidget* parent, TextTable* model, const char* name, const QString& description) {
    auto grid = named(new QTableView(parent), name, description);
    grid->setModel(model);
    model->setParent(grid);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    grid->setWordWrap(false);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(tw(240));
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    return grid;
}

} // namespace olv
