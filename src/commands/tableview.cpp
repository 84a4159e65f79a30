#include "tableview.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace olv {

namespace {

// Objects between two looks at keepGoing.
constexpr qsizetype kPollEvery = 256;

// A stored NULL reads as empty text, as the lookups give it.
QString shown(const QString& v) { return v.isNull() ? QStringLiteral("") : v; }

// Folded property names, kept: a search touches few distinct names but many rows.
class Folds {
public:
    const QString& of(const QString& p) {
        auto it = m_folds.constFind(p);
        if (it == m_folds.cend()) it = m_folds.insert(p, jet::fold(p));
        return *it;
    }

private:
    QHash<QString, QString> m_folds;
};

bool ownColumn(const QString& p) { return !p.isNull() && p != kTOO && p != kName; }

} // namespace

TableCommand::TableCommand(const Store& store, KeepGoing keepGoing)
    : m_db(store, std::move(keepGoing)) {}

Database& TableCommand::db() { return m_db.get(); }

void TableCommand::keepGoing() {
    if (m_db.keepGoing() && !m_db.keepGoing()()) throw Cancelled();
}

QString TableCommand::nameOf(const QString& id) { return db().GetPropertyValue(id, kName); }

ObjectTable TableCommand::build(const QString& text, bool containing, Links links) {
    ObjectTable table;
    const QStringList ids = db().findObjects(text, containing);
    keepGoing();
    const QList<QList<Row>> rows = db().rowsOfEach(ids);
    keepGoing();

    // The columns: each property name once, spelt as first met.
    Folds folds;
    QHash<QString, QString> spelling; // folded -> as first met
    for (const QList<Row>& object : rows)
        for (const Row& r : object)
            if (ownColumn(r.p) && !spelling.contains(folds.of(r.p))) spelling.insert(folds.of(r.p), r.p);
    table.columns = spelling.values();
    std::sort(table.columns.begin(), table.columns.end(), jet::less);
    QHash<QString, int> columnOf;
    for (int c = 0; c < table.columns.size(); ++c) columnOf.insert(folds.of(table.columns[c]), c + 2);

    // The cells: the first row of each property; null marks one not met yet.
    QSet<QString> linked;
    const auto link = [&](const QString& v) {
        if (isObjectId(v)) linked.insert(v);
    };
    table.rows.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (i % kPollEvery == kPollEvery - 1) keepGoing();
        QStringList cells(2 + table.columns.size());
        for (const Row& r : rows[i]) {
            // The class is exactly TOO, as the property grid reads it; a "too" row is the user's.
            // The name is read in any letter case, as the tree reads it.
            if (r.p == kTOO) {
                if (cells[0].isNull()) cells[0] = shown(r.v);
            } else if (jet::equal(r.p, kName) && cells[1].isNull()) {
                cells[1] = shown(r.v);
            }
            if (ownColumn(r.p)) {
                QString& cell = cells[columnOf.value(folds.of(r.p))];
                if (cell.isNull()) cell = shown(r.v);
            }
        }
        link(cells[0]);
        if (links == Links::ByName)
            for (qsizetype c = 2; c < cells.size(); ++c) link(cells[c]);
        table.rows.push_back(std::move(cells));
    }

    // Names of the linked objects (classes, and for the report any linked value), read at once.
    const QStringList targets(linked.cbegin(), linked.cend());
    const QList<QList<Row>> targetRows = db().rowsOfEach(targets);
    keepGoing();
    QHash<QString, QString> nameOfTarget;
    for (qsizetype t = 0; t < targets.size(); ++t) {
        QString name = kNotAvailable;
        for (const Row& r : targetRows[t])
            if (jet::equal(r.p, kName)) {
                name = shown(r.v);
                break;
            }
        nameOfTarget.insert(targets[t], name);
    }
    for (QStringList& cells : table.rows) {
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (cells[c].isNull()) cells[c] = kNotAvailable;
            else if ((c == 0 || (c >= 2 && links == Links::ByName)) && isObjectId(cells[c]))
                cells[c] = nameOfTarget.value(cells[c]);
        }
    }
    return table;
}

} // namespace olv
