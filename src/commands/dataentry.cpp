#include "dataentry.h"

#include "search.h"

#include <QDir>

#include <algorithm>

namespace olv {

QList<StoredRow> DataEntryCommands::rows(const QString& id) {
    QList<StoredRow> rows = m_store.open().storedRowsOf(id);
    std::stable_sort(rows.begin(), rows.end(), [](const StoredRow& a, const StoredRow& b) {
        return jet::less(a.row.p, b.row.p);
    });
    return rows;
}

DataEntryCommands::Outcome DataEntryCommands::change(const StoredRow& shown, const QString& property,
                                                     const QString& value) {
    return m_store.open().step(QStringLiteral("edit of ") + shown.row.p).replaceRow(shown, {shown.row.o, property, value})
               ? Outcome::Done
               : Outcome::Changed;
}

DataEntryCommands::Outcome DataEntryCommands::remove(const StoredRow& shown) {
    return m_store.open().step(QStringLiteral("delete of ") + shown.row.p).removeRow(shown) ? Outcome::Done
                                                                                            : Outcome::Changed;
}

DataEntryCommands::Outcome DataEntryCommands::add(const QString& id, const QString& property, const QString& value) {
    if (!standsForAnObject(id)) return Outcome::NoObject;
    m_store.open().step(QStringLiteral("new property ") + property).append(id, property, value);
    return Outcome::Done;
}

QString DataEntryCommands::changedMeanwhileIn(const QString& file) {
    return QStringLiteral("Another program changed or removed this row in %1 meanwhile.")
        .arg(displayNameOf(file));
}

} // namespace olv
