#include "propertymodel.h"

#include <QTimer>

namespace olv {

PropertyModel::PropertyModel(const Store& store, QObject* parent)
    : QAbstractTableModel(parent), m_commands(store) {}

void PropertyModel::load(const QString& id) {
    QList<StoredRow> rows = m_commands.rows(id);
    beginResetModel();
    m_id = id;
    m_rows = std::move(rows);
    endResetModel();
}

int PropertyModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int PropertyModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant PropertyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    const Row& r = m_rows.at(index.row()).row;
    return index.column() == O ? r.o : index.column() == P ? r.p : r.v;
}

QVariant PropertyModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
    return section == O ? QStringLiteral("O") : section == P ? QStringLiteral("P") : QStringLiteral("V");
}

Qt::ItemFlags PropertyModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() != O) f |= Qt::ItemIsEditable;
    return f;
}

bool PropertyModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() == O) return false;
    const StoredRow shown = m_rows.at(index.row());
    const QString text = value.toString();
    const QString property = index.column() == P ? text : shown.row.p;
    const QString v = index.column() == V ? text : shown.row.v;
    if (property == shown.row.p && v == shown.row.v) return true; // left as it was: nothing to write
    std::optional<Failure> failure;
    try {
        if (m_commands.change(shown, property, v) == DataEntryCommands::Outcome::Changed)
            failure = Failure{DataEntryCommands::kChangedMeanwhile,
                              DataEntryCommands::changedMeanwhileIn(m_commands.path())};
    } catch (const StoreError& e) {
        failure = Failure{e.message(), e.message()};
    }
    if (failure) {
        m_failure = failure;
        // Told once the editor has closed, so the grid can be read again safely; unless a
        // window closing meanwhile took it to ask about it at once.
        QTimer::singleShot(0, this, [this] {
            if (const std::optional<Failure> untold = takeFailure()) emit writeFailed(untold->message);
        });
        return false;
    }
    m_rows[index.row()].row = {shown.row.o, property, v};
    emit dataChanged(index, index);
    return true;
}

} // namespace olv
