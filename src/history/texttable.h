#pragma once
// A grid of text read once: the history's windows fill it from what a command answered, so
// showing a thousand changes asks the file nothing more.

#include <QAbstractTableModel>
#include <QStringList>

class QTableView;

namespace olv {

class TextTable : public QAbstractTableModel {
    Q_OBJECT
public:
    TextTable(QStringList headers, QObject* parent = nullptr);

    void setRows(QList<QStringList> rows);
    const QStringList& row(int r) const { return m_rows.at(r); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList m_headers;
    QList<QStringList> m_rows;
};

// A read-only grid of whole rows, one selected at a time, as the history's windows show them;
// Tab leaves it for the next control.
QTableView* rowGrid(QWidget* parent, TextTable* model, const char* name, const QString& description);

} // namespace olv
