#include "tableview.h"

#include <QSet>
#include <algorithm>

namespace olv {

namespace {

// A stored NULL reads as empty text, as the lookups give it.
QString shown(const QString& v) { return v.isNull() ? QStringLiteral("") : v; }

const QString& foldedTOO() {
    static const QString folded = jet::fold(kTOO);
    return folded;
}
const QString& foldedName() {
    static const QString folded = jet::fold(kName);
    return folded;
}

} // namespace

void TableLayout::setColumns(QStringList names) {
    columns = std::move(names);
    m_columnOf.clear();
    for (int c = 0; c < columns.size(); ++c) m_columnOf.insert(jet::fold(columns[c]), c + 2);
}

QString TableRow::cell(int column) const {
    const auto it = std::lower_bound(m_cells.begin(), m_cells.end(), column,
                                     [](const std::pair<int, QString>& c, int column) { return c.first < column; });
    return it != m_cells.end() && it->first == column ? it->second : kNotAvailable;
}

QStringList TableRow::cells(int columnCount) const {
    QStringList all;
    all.reserve(columnCount);
    auto held = m_cells.cbegin();
    for (int c = 0; c < columnCount; ++c) {
        if (held != m_cells.cend() && held->first == c) all << (held++)->second;
        else all << kNotAvailable;
    }
    return all;
}

const QString& TableRows::folded(const QString& p) {
    auto it = m_folds.constFind(p);
    if (it == m_folds.cend()) it = m_folds.insert(p, jet::fold(p));
    return *it;
}

QList<TableRow> TableRows::read(Database& db, qsizetype first, qsizetype count) {
    const QStringList ids = m_layout.ids.mid(first, count);
    const QList<QList<Row>> rows = db.rowsOfEach(ids);
    QList<TableRow> table(ids.size());
    QSet<QString> unnamed;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        QList<std::pair<int, QString>>& cells = table[i].m_cells;
        // The first row of each name in any letter case, as the lookup reads it; class and Name
        // are looked up like any other property.
        for (const Row& r : rows[i]) {
            if (r.p.isNull()) continue;
            const QString& p = folded(r.p);
            const int column = p == foldedTOO() ? 0 : p == foldedName() ? 1 : -1;
            for (const int c : {column, m_layout.columnOf(p)}) {
                if (c < 0 || std::any_of(cells.cbegin(), cells.cend(), [c](const auto& cell) { return cell.first == c; }))
                    continue;
                cells.push_back({c, shown(r.v)});
                if (isObjectId(r.v) && (c == 0 || (c >= 2 && m_links == TableLinks::ByName)) && !m_names.contains(r.v))
                    unnamed.insert(r.v);
            }
        }
        std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }

    // The Names of linked objects (classes, and for the report any linked value), read at once.
    const QStringList targets(unnamed.cbegin(), unnamed.cend());
    const QList<QList<Row>> targetRows = db.rowsOfEach(targets);
    for (qsizetype t = 0; t < targets.size(); ++t) {
        QString name = kNotAvailable;
        for (const Row& r : targetRows[t])
            if (!r.p.isNull() && folded(r.p) == foldedName()) {
                name = shown(r.v);
                break;
            }
        m_names.insert(targets[t], name);
    }
    for (TableRow& row : table)
        for (auto& [c, value] : row.m_cells)
            if ((c == 0 || (c >= 2 && m_links == TableLinks::ByName)) && isObjectId(value)) value = m_names.value(value);
    return table;
}

TableCommand::TableCommand(const Store& store, KeepGoing keepGoing) : m_db(store, std::move(keepGoing)) {}

Database& TableCommand::db() { return m_db.get(); }

void TableCommand::keepGoing() {
    if (m_db.keepGoing() && !m_db.keepGoing()()) throw Cancelled();
}

QString TableCommand::nameOf(const QString& id) { return db().GetPropertyValue(id, kName); }

TableLayout TableCommand::layout(const QString& text, bool containing) {
    TableLayout layout;
    layout.ids = db().findObjects(text, containing);
    keepGoing();
    // Each name once, spelt as first stored; exactly TOO and Name are the class and name columns.
    QHash<QString, QString> spelling; // folded -> as first stored
    for (const QString& p : db().propertyNamesOf(layout.ids)) {
        const QString folded = jet::fold(p);
        if (p != kTOO && p != kName && !spelling.contains(folded)) spelling.insert(folded, p);
    }
    keepGoing();
    QStringList columns = spelling.values();
    std::sort(columns.begin(), columns.end(), jet::less);
    layout.setColumns(std::move(columns));
    return layout;
}

void TableCommand::eachRow(const TableLayout& layout, TableLinks links, const std::function<void(const TableRow&)>& each,
                           const std::function<void(double)>& share) {
    TableRows reader(layout, links);
    const qsizetype total = layout.ids.size();
    for (qsizetype first = 0; first < total; first += kBlock) {
        keepGoing();
        for (const TableRow& row : reader.read(db(), first, kBlock)) each(row);
        if (share) share(double(std::min(first + kBlock, total)) / double(total));
    }
}

} // namespace olv
