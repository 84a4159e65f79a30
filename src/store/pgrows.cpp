// Reading and writing the rows of objects on the server.

#include "pgcommon.h"

#include <QHash>
#include <algorithm>

namespace olv {

using namespace pg;

void PgEngine::eachRowOf(const QStringList& ids, const char* columns,
                         const std::function<void(const QList<qsizetype>&, const Result&, int)>& each,
                         const QString& property) {
    // Past this many objects one pass over the table beats looking each up in the index.
    constexpr qsizetype kScanAbove = 40000;
    QHash<QString, QList<qsizetype>> wanted; // folded identifier -> its places in ids
    for (qsizetype i = 0; i < ids.size(); ++i) wanted[jet::fold(ids[i])] << i;
    QStringList spelt;
    bool scan = wanted.size() > kScanAbove;
    for (auto it = wanted.cbegin(); it != wanted.cend() && !scan; ++it) {
        const QStringList s = keys::spellings(ids[it->front()], kMaxSpellings);
        scan = s.isEmpty(); // too many spellings to ask for: every row is looked at
        spelt << s;
    }
    if (wanted.isEmpty()) return;
    const std::string select = std::string("SELECT o, ") + columns + " FROM data";
    const QStringList properties = property.isNull() ? QStringList() : keys::spellings(property, kMaxSpellings);
    Params params;
    std::string where = " WHERE o IS NOT NULL";
    if (!scan) {
        where = " WHERE lower(o COLLATE \"C\") = ANY ($1::text[])";
        params.texts(spelt);
    }
    if (!properties.isEmpty()) {
        where += " AND lower(p COLLATE \"C\") = ANY ($" + std::to_string(params.size() + 1) + "::text[])";
        params.texts(properties);
    }
    const Result r = exec((select + where + " ORDER BY rowid").c_str(), params);
    for (int i = 0; i < r.rows(); ++i) {
        const auto at = wanted.constFind(jet::fold(r.text(i, 0)));
        if (at != wanted.cend()) each(*at, r, i);
    }
}

QList<StoredRow> PgEngine::storedRowsOf(const QString& id) {
    QList<StoredRow> rows;
    eachRowOf({id}, "rowid, p, v", [&](const QList<qsizetype>&, const Result& r, int i) {
        rows.push_back({r.number(i, 1), {r.text(i, 0), r.text(i, 2), r.text(i, 3)}});
    });
    return rows;
}

QList<QList<Row>> PgEngine::rowsOfEach(const QStringList& ids) {
    QList<QList<Row>> result(ids.size());
    eachRowOf(ids, "p, v", [&](const QList<qsizetype>& at, const Result& r, int i) {
        const Row row{r.text(i, 0), r.text(i, 1), r.text(i, 2)};
        for (const qsizetype place : at) result[place].push_back(row);
    });
    return result;
}

QStringList PgEngine::namesOf(const QStringList& ids) {
    // Only the rows that may be names come over, not every row of every object.
    QStringList names(ids.size());
    QList<bool> found(ids.size(), false);
    eachRowOf(ids, "p, v", [&](const QList<qsizetype>& at, const Result& r, int i) {
        if (!jet::equal(r.text(i, 1), kName)) return;
        for (const qsizetype place : at)
            if (!found[place]) {
                found[place] = true;
                names[place] = r.isNull(i, 2) ? QStringLiteral("") : r.text(i, 2);
            }
    }, kName);
    return names;
}

QStringList PgEngine::propertyNamesOf(const QStringList& ids) {
    // Each spelling once, as first met in the order stored.
    QSet<QString> seen;
    QStringList names;
    eachRowOf(ids, "p", [&](const QList<qsizetype>&, const Result& r, int i) {
        if (r.isNull(i, 1)) return;
        const QString p = r.text(i, 1);
        if (seen.contains(p)) return;
        seen.insert(p);
        names << p;
    });
    return names;
}

// --- Writing -----------------------------------------------------------------------------------

namespace {
// The row still holds what was read, NULL matching NULL. Under READ COMMITTED an UPDATE that
// waited for another's commit looks at the row again, so a row changed meanwhile is left alone.
const char* const kStillAsRead =
    "rowid = $1 AND o IS NOT DISTINCT FROM $2 AND p IS NOT DISTINCT FROM $3 AND v IS NOT DISTINCT FROM $4";
Params asRead(const StoredRow& was) {
    return std::move(Params().number(was.rowid).text(was.row.o).text(was.row.p).text(was.row.v));
}
} // namespace

bool PgEngine::replaceRow(const StoredRow& was, const Row& now) {
    return writing([&] {
        Params params = asRead(was);
        params.text(now.o).text(now.p).text(now.v);
        return exec((std::string("UPDATE data SET o = $5, p = $6, v = $7 WHERE ") + kStillAsRead).c_str(), params)
                   .affected() == 1;
    });
}

bool PgEngine::removeRow(const StoredRow& was) {
    return writing([&] {
        return exec((std::string("DELETE FROM data WHERE ") + kStillAsRead).c_str(), asRead(was)).affected() == 1;
    });
}

void PgEngine::insertAll(const QList<Row>& rows, const std::function<bool(double)>& progress) {
    // Many rows to a statement, numbered in the order given.
    constexpr qsizetype kBatch = 2000;
    for (qsizetype first = 0; first < rows.size(); first += kBatch) {
        if (progress && !progress(double(first) / double(rows.size()))) throw Cancelled();
        const qsizetype n = std::min(kBatch, rows.size() - first);
        QStringList o, p, v;
        for (qsizetype i = first; i < first + n; ++i) {
            o << rows[i].o;
            p << rows[i].p;
            v << rows[i].v;
        }
        exec("INSERT INTO data (o, p, v) SELECT o, p, v FROM unnest($1::text[], $2::text[], $3::text[]) "
             "WITH ORDINALITY AS r(o, p, v, n) ORDER BY n",
             Params().texts(o).texts(p).texts(v));
    }
}

void PgEngine::appendAll(const QList<Row>& rows) {
    writing([&] { insertAll(rows); });
}

qint64 PgEngine::addMissing(const QList<TypedRow>& typed, const std::function<bool(double)>& progress) {
    // Values on the server are text: each as Olv shows it.
    QList<Row> rows;
    rows.reserve(typed.size());
    for (const TypedRow& r : typed) rows.push_back({keys::shownAs(r.o), keys::shownAs(r.p), keys::shownAs(r.v)});
    return writing([&] {
        // Rows are compared exactly as shown, NULL apart from empty text, object by object: what
        // each object holds now, less what earlier rows of the list were matched against.
        // Matching takes the first half of the progress, adding the second.
        const auto key = [](const Row& r) { return keys::rowKey(r.o, r.p, r.v); };
        QSet<QString> objects;
        bool nullObject = false;
        for (const Row& r : rows) {
            if (r.o.isNull()) nullObject = true;
            else objects.insert(r.o);
        }
        QHash<QString, int> held; // row -> how many times the database holds it
        const auto count = [&](const Result& r) {
            for (int i = 0; i < r.rows(); ++i) ++held[key({r.text(i, 0), r.text(i, 1), r.text(i, 2)})];
        };
        QStringList exact(objects.begin(), objects.end()), lowered;
        for (const QString& o : exact) lowered << keys::asciiLower(o);
        if (!exact.isEmpty())
            count(exec("SELECT o, p, v FROM data WHERE lower(o COLLATE \"C\") = ANY ($1::text[]) AND o = ANY ($2::text[])",
                       Params().texts(lowered).texts(exact)));
        if (nullObject) count(exec("SELECT o, p, v FROM data WHERE o IS NULL"));
        QList<Row> missing;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (progress && i % 500 == 0 && !progress(double(i) / double(rows.size()) / 2)) throw Cancelled();
            int& n = held[key(rows[i])];
            if (n > 0) --n;
            else missing.push_back(rows[i]);
        }
        insertAll(missing, [&](double share) { return !progress || progress(0.5 + share / 2); });
        if (progress && !progress(1.0)) throw Cancelled();
        return qint64(missing.size());
    });
}

Engine::Creation PgEngine::tryCreate(const QString& candidate,
                                     const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) {
    Creation outcome = Creation::Taken;
    transaction([&] {
        // One connection at a time picks an identifier, until its transaction ends: the next one
        // then sees the identifier taken.
        exec("SELECT pg_advisory_xact_lock($1)", Params().number(kIdentifierLock));
        if (exists(candidate)) return;
        const std::optional<QList<Row>> rows = rowsFor(candidate);
        outcome = Creation::Refused;
        if (!rows) return;
        const qint64 step = beginStep(Step::Kind::Do, std::exchange(m_nextStep, QString()));
        insertAll(*rows);
        endStep(step);
        outcome = Creation::Made;
    });
    return outcome;
}

QList<TypedRow> PgEngine::allRows(const std::function<bool(double)>& progress) {
    if (progress && !progress(0)) throw Cancelled();
    const Result r = exec("SELECT o, p, v FROM data ORDER BY rowid");
    QList<TypedRow> rows;
    rows.reserve(r.rows());
    for (int i = 0; i < r.rows(); ++i) {
        if (progress && i % 1000 == 0 && !progress(double(i) / double(r.rows()))) throw Cancelled();
        const auto value = [&](int c) { return r.isNull(i, c) ? QVariant() : QVariant(r.text(i, c)); };
        rows.push_back({value(0), value(1), value(2)});
    }
    return rows;
}

} // namespace olv
