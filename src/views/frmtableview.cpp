#include "frmtableview.h"

#include "app/ui.h"

#include <QAbstractTableModel>
#include <QFont>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>

namespace olv {

namespace {

// The table read once; its header row is the view's fixed top row.
class ObjectTableModel : public QAbstractTableModel {
public:
    ObjectTableModel(ObjectTable table, QObject* parent)
        : QAbstractTableModel(parent), m_headers(table.headers()), m_rows(std::move(table.rows)) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_headers.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
        return m_rows[index.row()][index.column()];
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= m_headers.size()) return {};
        switch (role) {
        case Qt::DisplayRole:
            return m_headers[section];
        case Qt::FontRole: {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

private:
    QStringList m_headers;
    QList<QStringList> m_rows;
};

} // namespace

frmTableView::frmTableView(ObjectTable table, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmTableView"));
    setWindowTitle(QStringLiteral("Olv :: TableView"));
    setAttribute(Qt::WA_DeleteOnClose); // "Table" builds a new one each time
    setFixedSize(tw(8100), tw(5880));

    m_flxTable = named(new QTableView(this), "flxTable", QStringLiteral("found objects"));
    m_flxTable->setGeometry(twRect(0, 120, 8055, 5655));
    m_flxTable->setModel(new ObjectTableModel(std::move(table), m_flxTable));
    m_flxTable->verticalHeader()->hide();
    m_flxTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_flxTable->verticalHeader()->setDefaultSectionSize(tw(240));
    m_flxTable->horizontalHeader()->setHighlightSections(false);
    m_flxTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flxTable->setWordWrap(false);
    m_flxTable->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_flxTable->setTabKeyNavigation(false);

    if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

} // namespace olv
