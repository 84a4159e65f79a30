// Reading and writing the rows of objects.

#include "sqlitecommon.h"

#include <QHash>
#include <sqlite3.h>
#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace olv {

using namespace sqlite;

QStringList SqliteEngine::namesOf(const QStringList& ids) {
    QStringList names;
    names.reserve(ids.size());
    // Past a few thousand objects one pass over every name beats a lookup per object.
    if (ids.size() < 20000) {
        for (const QString& id : ids) names << valueOf(id, kName);
        return names;
    }
    QHash<QString, QString> first;
    guarded([&] {
        SQLite::Statement& q = statement("SELECT O, V FROM DATA WHERE P COLLATE NOCASE = 'name' ORDER BY rowid");
        while (q.executeStep()) {
            const QString key = jet::fold(text(q.getColumn(0)));
            if (!first.contains(key)) {
                const QString v = text(q.getColumn(1));
                first.insert(key, v.isNull() ? QStringLiteral("") : v);
            }
        }
        q.tryReset();
    });
    for (const QString& id : ids) names << first.value(jet::fold(id));
    return names;
}

QList<QList<qsizetype>> SqliteEngine::eachRowOf(const QStringList& ids, const std::string& columns,
                                            const std::function<void(const QList<qsizetype>&, SQLite::Statement&)>& each) {
    // Spellings asked for in one statement; unbound places stay NULL and match nothing.
    constexpr int kBatch = 999;
    // Past this many objects one pass over the table beats looking each up in the index.
    constexpr qsizetype kScanAbove = 40000;
    QHash<QString, QList<qsizetype>> wanted; // folded identifier -> its places in ids
    wanted.reserve(ids.size());
    for (qsizetype i = 0; i < ids.size(); ++i) wanted[jet::fold(ids[i])] << i;
    // Most rows spell their object as it was found: those are matched by their bytes, unfolded.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, const QList<qsizetype>*, Hash, std::equal_to<>> exact;
    exact.reserve(size_t(ids.size()));
    for (const QString& id : ids) exact.emplace(id.toStdString(), &*wanted.constFind(jet::fold(id)));
    const auto take = [&](SQLite::Statement& q) {
        while (q.executeStep()) {
            const SQLite::Column o = q.getColumn(0);
            const char* utf8 = o.getText(nullptr);
            if (!utf8) continue;
            const std::string_view bytes(utf8, size_t(o.getBytes()));
            if (const auto hit = exact.find(bytes); hit != exact.end()) {
                each(*hit->second, q);
                continue;
            }
            const auto at = wanted.constFind(jet::fold(QString::fromUtf8(bytes.data(), qsizetype(bytes.size()))));
            if (at != wanted.cend()) each(*at, q);
        }
        q.tryReset();
    };

    bool indexed = false;
    {
        SQLite::Statement& q = statement("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'DATA_O_NOCASE'");
        indexed = q.executeStep();
        q.tryReset();
    }
    if (!indexed || wanted.size() > kScanAbove) {
        take(statement("SELECT O, " + columns + " FROM DATA NOT INDEXED ORDER BY rowid"));
        return {};
    }
    std::string in = "IN (?";
    for (int i = 1; i < kBatch; ++i) in += ", ?";
    const std::string sql = "SELECT O, " + columns + " FROM DATA WHERE O COLLATE NOCASE " + in + ") ORDER BY rowid";
    SQLite::Statement* q = &statement(sql);
    int bound = 0;
    QList<QList<qsizetype>> unspellable;
    // Every spelling of one object goes into the same statement, so its rows come in order.
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const QStringList spelt = spellings(ids[it->front()], kMaxSpellings);
        if (spelt.isEmpty()) {
            unspellable << *it;
            continue;
        }
        if (bound + spelt.size() > kBatch) {
            take(*q);
            q = &statement(sql);
            bound = 0;
        }
        for (const QString& s : spelt) q->bind(++bound, s.toStdString());
    }
    if (bound > 0) take(*q);
    return unspellable;
}

QList<QList<Row>> SqliteEngine::rowsOfEach(const QStringList& ids) {
    return guarded([&] {
        QList<QList<Row>> result(ids.size());
        const auto unspellable = eachRowOf(ids, "P, V", [&](const QList<qsizetype>& at, SQLite::Statement& q) {
            const Row row{text(q.getColumn(0)), text(q.getColumn(1)), text(q.getColumn(2))};
            for (const qsizetype i : at) result[i].push_back(row);
        });
        for (const QList<qsizetype>& at : unspellable) {
            const QList<Row> rows = rowsOf(ids[at.front()]);
            for (const qsizetype i : at) result[i] = rows;
        }
        return result;
    });
}

QStringList SqliteEngine::propertyNamesOf(const QStringList& ids) {
    return guarded([&] {
        // Each spelling with the row that first holds it; a search touches few distinct names
        // but many rows, so the bytes are looked at before any text is made.
        struct Hash {
            using is_transparent = void;
            size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
        };
        std::unordered_map<std::string, qint64, Hash, std::equal_to<>> first;
        const auto met = [&](std::string_view p, qint64 rowid) {
            const auto it = first.find(p);
            if (it == first.end()) first.emplace(std::string(p), rowid);
            else if (rowid < it->second) it->second = rowid;
        };
        const auto unspellable = eachRowOf(ids, "P, rowid", [&](const QList<qsizetype>&, SQLite::Statement& q) {
            const SQLite::Column p = q.getColumn(1);
            const char* utf8 = p.getText(nullptr);
            if (utf8) met(std::string_view(utf8, size_t(p.getBytes())), q.getColumn(2).getInt64());
        });
        for (const QList<qsizetype>& at : unspellable)
            for (const StoredRow& r : storedRowsOf(ids[at.front()]))
                if (!r.row.p.isNull()) met(r.row.p.toStdString(), r.rowid);
        std::vector<std::pair<qint64, QString>> names;
        names.reserve(first.size());
        for (const auto& [p, rowid] : first) names.emplace_back(rowid, QString::fromStdString(p));
        std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        QStringList result;
        result.reserve(qsizetype(names.size()));
        for (auto& [rowid, p] : names) result << std::move(p);
        return result;
    });
}

// --- Writing -----------------------------------------------------------------------------------

namespace {
// A null text stays NULL, so that a row holding NULL is matched and kept as it was.
void bindText(SQLite::Statement& q, int index, const QString& text) {
    if (text.isNull()) q.bind(index);
    else q.bind(index, text.toStdString());
}
// The row still holds what was read: compared as text, as it was shown.
const char* const kStillAsRead =
    "rowid = ?1 AND CAST(O AS TEXT) IS ?2 AND CAST(P AS TEXT) IS ?3 AND CAST(V AS TEXT) IS ?4";
void bindAsRead(SQLite::Statement& q, const StoredRow& was) {
    q.bind(1, static_cast<int64_t>(was.rowid));
    bindText(q, 2, was.row.o);
    bindText(q, 3, was.row.p);
    bindText(q, 4, was.row.v);
}
} // namespace

QList<StoredRow> SqliteEngine::storedRowsOf(const QString& id) {
    return guarded([&] {
        QList<StoredRow> rows;
        const QStringList spelt = spellings(id, kMaxSpellings);
        SQLite::Statement& q =
            spelt.isEmpty() ? statement("SELECT rowid, O, P, V FROM DATA ORDER BY rowid")
                            : statement("SELECT rowid, O, P, V FROM DATA WHERE O COLLATE NOCASE " +
                                        oneOf(spelt.size()) + " ORDER BY rowid");
        bindAll(q, spelt);
        while (q.executeStep()) {
            QString o = text(q.getColumn(1));
            if (jet::equal(o, id))
                rows.push_back({q.getColumn(0).getInt64(), {std::move(o), text(q.getColumn(2)), text(q.getColumn(3))}});
        }
        q.tryReset();
        return rows;
    });
}

bool SqliteEngine::replaceRow(const StoredRow& was, const Row& now) {
    return writing([&] {
        SQLite::Statement& q = statement(std::string("UPDATE DATA SET O = ?5, P = ?6, V = ?7 WHERE ") + kStillAsRead);
        bindAsRead(q, was);
        bindText(q, 5, now.o);
        bindText(q, 6, now.p);
        bindText(q, 7, now.v);
        return q.exec() == 1;
    });
}

bool SqliteEngine::removeRow(const StoredRow& was) {
    return writing([&] {
        SQLite::Statement& q = statement(std::string("DELETE FROM DATA WHERE ") + kStillAsRead);
        bindAsRead(q, was);
        return q.exec() == 1;
    });
}

template <class Rows, class Bind>
void SqliteEngine::insertRows(const Rows& rows, Bind&& bind, const std::function<bool(double)>& progress) {
    // Builds limited to fewer bound values get smaller batches.
    const qsizetype batch =
        std::clamp<qsizetype>(sqlite3_limit(m_db->getHandle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1) / 3, 1, 500);
    const auto statementFor = [&](qsizetype n) -> SQLite::Statement& {
        std::string sql = "INSERT INTO DATA (O, P, V) VALUES (?, ?, ?)";
        for (qsizetype i = 1; i < n; ++i) sql += ", (?, ?, ?)";
        return statement(sql);
    };
    for (qsizetype first = 0; first < rows.size(); first += batch) {
        if (progress && !progress(double(first) / double(rows.size()))) throw Cancelled();
        const qsizetype n = std::min(batch, rows.size() - first);
        SQLite::Statement& q = statementFor(n);
        for (qsizetype i = 0; i < n; ++i) bind(q, int(3 * i + 1), rows[first + i]);
        q.exec();
    }
}

void SqliteEngine::insertAll(const QList<Row>& rows, const std::function<bool(double)>& progress) {
    insertRows(
        rows,
        [](SQLite::Statement& q, int at, const Row& row) {
            q.bind(at, row.o.toStdString());
            q.bind(at + 1, row.p.toStdString());
            q.bind(at + 2, row.v.toStdString());
        },
        progress);
}

namespace {
// As held: NULL, a number of either kind, bytes or text.
void bindValue(SQLite::Statement& q, int index, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType: q.bind(index); break;
    case QMetaType::LongLong: q.bind(index, static_cast<int64_t>(value.toLongLong())); break;
    case QMetaType::Double: q.bind(index, value.toDouble()); break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        q.bind(index, bytes.constData(), int(bytes.size()));
        break;
    }
    default: q.bind(index, value.toString().toStdString()); break;
    }
}

} // namespace

void SqliteEngine::insertAll(const QList<TypedRow>& rows, const std::function<bool(double)>& progress) {
    insertRows(
        rows,
        [](SQLite::Statement& q, int at, const TypedRow& row) {
            bindValue(q, at, row.o);
            bindValue(q, at + 1, row.p);
            bindValue(q, at + 2, row.v);
        },
        progress);
}

void SqliteEngine::appendAll(const QList<Row>& rows) {
    writing([&] { insertAll(rows); });
}

qint64 SqliteEngine::addMissing(const QList<TypedRow>& rows, const std::function<bool(double)>& progress) {
    return writing([&] {
        // Rows are compared exactly as shown, NULL apart from empty text, object by object: what
        // each object holds now, less what earlier rows of the list were matched against.
        // Matching takes the first half of the progress, adding the second.
        const auto field = [](const QString& text) { return text.isNull() ? QString(QChar(1)) : QChar(2) + text; };
        // The rows of an object, or of none (O is NULL).
        const auto storedRowsOfObject = [&](const QString& o) {
            if (!o.isNull()) return storedRowsOf(o);
            QList<StoredRow> rows;
            SQLite::Statement& q = statement("SELECT rowid, O, P, V FROM DATA WHERE O IS NULL ORDER BY rowid");
            while (q.executeStep())
                rows.push_back({q.getColumn(0).getInt64(), {QString(), text(q.getColumn(2)), text(q.getColumn(3))}});
            q.tryReset();
            return rows;
        };
        QHash<QString, QHash<QString, int>> held; // identifier -> row -> count
        QList<TypedRow> missing;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (progress && i % 500 == 0 && !progress(double(i) / double(rows.size()) / 2)) throw Cancelled();
            const TypedRow& r = rows[i];
            const QString o = keys::shownAs(r.o);
            auto object = held.find(field(o));
            if (object == held.end()) {
                object = held.insert(field(o), {});
                for (const StoredRow& s : storedRowsOfObject(o))
                    if (field(s.row.o) == field(o)) ++(*object)[keys::rowKey(s.row.o, s.row.p, s.row.v)];
            }
            int& count = (*object)[keys::rowKey(o, keys::shownAs(r.p), keys::shownAs(r.v))];
            if (count > 0) {
                --count;
                continue;
            }
            missing.push_back(r);
        }
        insertAll(missing, [&](double share) { return !progress || progress(0.5 + share / 2); });
        if (progress && !progress(1.0)) throw Cancelled();
        return qint64(missing.size());
    });
}

Engine::Creation SqliteEngine::tryCreate(const QString& candidate,
                                         const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) {
    return guarded([&] {
        // The identifier is checked and used under one write lock, so no other program can take
        // it in between.
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        if (isTaken(candidate)) return Creation::Taken;
        const std::optional<QList<Row>> rows = rowsFor(candidate);
        if (!rows) return Creation::Refused;
        const qint64 step = beginStep(Step::Kind::Do, std::exchange(m_nextStep, QString()));
        insertAll(*rows);
        endStep(step);
        t.commit();
        return Creation::Made;
    });
}

} // namespace olv
