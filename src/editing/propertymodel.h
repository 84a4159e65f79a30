#pragma once
// The data-entry grid's rows: one object's rows of DATA, columns "O", "P" and "V". An edited name
// or value is written to the very row it came from before the grid shows it; when the store
// refuses, or another program changed the row meanwhile, the grid shows nothing new and the
// model says why.

#include "commands/dataentry.h"

#include <QAbstractTableModel>

#include <optional>
#include <utility>

namespace olv {

class PropertyModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { O, P, V };

    explicit PropertyModel(const Store& store, QObject* parent = nullptr);

    // Reads the object's rows afresh; throws StoreError.
    void load(const QString& id);
    void reload() { load(m_id); }
    const QString& objectId() const { return m_id; }
    const StoredRow& storedRow(int row) const { return m_rows.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Why the last edit was not stored, when that has not been told yet.
    struct Failure {
        QString message; // for a message box once the edit is over
        QString reason;  // what failed, and in which file, for a question at close
    };
    // Takes the untold failure, if any, so that only its taker tells it: the window asks at close,
    // otherwise writeFailed tells it once the edit is over.
    std::optional<Failure> takeFailure() { return std::exchange(m_failure, std::nullopt); }

signals:
    // A write did not happen; the message says why. Sent after the edit is over.
    void writeFailed(const QString& message);

private:
    DataEntryCommands m_commands;
    std::optional<Failure> m_failure;
    QString m_id;
    QList<StoredRow> m_rows;
};

} // namespace olv
