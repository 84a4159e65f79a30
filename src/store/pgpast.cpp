// Looking back at the history on the server: an object's changes and how it stood at a time,
// values and deleted objects brought back, deleting an object, and what the history takes.

#include "pgcommon.h"

#include <QMap>

namespace olv {

using namespace pg;

namespace {

QString timeParam(const QDateTime& at) { return QString::number(at.toMSecsSinceEpoch()); }
const char* const kTimeParam = "to_timestamp($1::float8 / 1000)";

} // namespace

// --- Looking back -------------------------------------------------------------------------------

void PgEngine::eachChangeOf(const QString& id, const std::function<bool(Change&)>& each) {
    if (!m_history) return;
    const QStringList spelt = keys::spellings(id, kMaxSpellings);
    // Too many spellings to ask for: every record is looked at.
    const QString where = spelt.isEmpty()
                              ? QStringLiteral("true")
                              : QStringLiteral("lower(h.new_o COLLATE \"C\") = ANY ($1::text[]) OR (h.old_o IS NOT NULL AND "
                                               "h.old_o IS DISTINCT FROM h.new_o AND lower(h.old_o COLLATE \"C\") = ANY ($1::text[]))");
    const QString sql =
        QStringLiteral("SELECT h.seq, %1, h.kind, h.data_row, h.old_o, h.old_p, h.old_v, h.new_o, h.new_p, h.new_v, h.step, "
                       "s.what, s.kind, h.who FROM data_history h LEFT JOIN data_steps s ON s.step = h.step WHERE %2 "
                       "ORDER BY h.seq DESC")
            .arg(QString::fromLatin1(kMsOf).arg(QStringLiteral("coalesce(h.at, s.at)")), where);
    Params params;
    if (!spelt.isEmpty()) params.texts(spelt);
    const Result r = exec(sql.toUtf8().constData(), params);
    for (int i = 0; i < r.rows(); ++i) {
        Change c;
        c.seq = r.number(i, 0);
        c.at = timeOf(r, i, 1);
        const QString kind = r.text(i, 2);
        c.kind = kind == QLatin1String("insert")   ? Change::Kind::Added
                 : kind == QLatin1String("delete") ? Change::Kind::Removed
                                                   : Change::Kind::Changed;
        c.rowid = r.number(i, 3);
        c.beforeO = r.text(i, 4);
        c.beforeP = r.text(i, 5);
        c.beforeV = r.text(i, 6);
        c.afterO = r.text(i, 7);
        c.afterP = r.text(i, 8);
        c.afterV = r.text(i, 9);
        if (!r.isNull(i, 10)) {
            c.step = r.number(i, 10);
            const QString what = r.text(i, 11), stepKind = r.text(i, 12);
            c.stepWhat = stepKind == QLatin1String("undo")   ? QStringLiteral("undo of ") + what
                         : stepKind == QLatin1String("redo") ? QStringLiteral("redo of ") + what
                                                             : what;
        }
        // The server knows the database user of every change, Olv's or not.
        c.who = r.text(i, 13);
        const bool before = c.kind != Change::Kind::Added && jet::equal(c.beforeO, id);
        const bool after = c.kind != Change::Kind::Removed && jet::equal(c.afterO, id);
        if ((before || after) && !each(c)) break;
    }
}

// --- Restoring and deleting ---------------------------------------------------------------------

namespace {
// The row a record removed or changed, back as the record found it: in its own place unless
// another row has it now, looked at before either goes in.
const char* const kPlaceTaken =
    "SELECT EXISTS (SELECT 1 FROM data d JOIN data_history h ON d.rowid = h.data_row WHERE h.seq = $1)";
const char* const kPutBackInPlace = "INSERT INTO data (rowid, o, p, v) SELECT h.data_row, h.old_o, h.old_p, h.old_v "
                                    "FROM data_history h WHERE h.seq = $1";
const char* const kPutBackElsewhere =
    "INSERT INTO data (o, p, v) SELECT h.old_o, h.old_p, h.old_v FROM data_history h WHERE h.seq = $1";
} // namespace

bool PgEngine::putBack(qint64 seq) {
    const Params params = std::move(Params().number(seq));
    const bool taken = exec(kPlaceTaken, params).text(0, 0) == QLatin1String("t");
    return exec(taken ? kPutBackElsewhere : kPutBackInPlace, params).affected() == 1;
}

bool PgEngine::restoreValue(const Change& change, qint64 newestSeen) {
    if (!m_history || change.kind == Change::Kind::Added) return false;
    return writing([&] {
        bool newer = false;
        eachChangeOf(change.beforeO, [&](const Change& c) {
            newer = c.seq > newestSeen;
            return false; // the newest is enough
        });
        if (newer) return false;
        if (change.kind == Change::Kind::Changed) {
            // The row itself, where it still holds that property of the object; else the value
            // comes back as a row of its own.
            if (exec("UPDATE data d SET o = h.old_o, p = h.old_p, v = h.old_v FROM data_history h WHERE h.seq = $1 "
                     "AND d.rowid = $2 AND lower(d.o COLLATE \"C\") = lower(h.old_o COLLATE \"C\") AND "
                     "(lower(d.p COLLATE \"C\") = lower(h.old_p COLLATE \"C\") OR lower(d.p COLLATE \"C\") = "
                     "lower(h.new_p COLLATE \"C\"))",
                     Params().number(change.seq).number(change.rowid))
                    .affected() == 1)
                return true;
        }
        return putBack(change.seq);
    });
}

bool PgEngine::removeObject(const QString& id, const QList<StoredRow>& shown) {
    struct NotAsShown {};
    try {
        return writing([&] {
            // Each row as shown, and none besides; else nothing is deleted.
            for (const StoredRow& r : shown)
                if (exec("DELETE FROM data WHERE rowid = $1 AND o IS NOT DISTINCT FROM $2 AND p IS NOT DISTINCT FROM $3 "
                         "AND v IS NOT DISTINCT FROM $4",
                         Params().number(r.rowid).text(r.row.o).text(r.row.p).text(r.row.v))
                        .affected() != 1)
                    throw NotAsShown();
            if (!storedRowsOf(id).isEmpty()) throw NotAsShown();
            return true;
        });
    } catch (const NotAsShown&) {
        return false;
    }
}

QList<DeletedObject> PgEngine::recentlyDeleted() {
    QList<DeletedObject> objects;
    if (!m_history) return objects;
    // Objects that ever lost a row, the latest loss first.
    QStringList candidates;
    {
        const Result r = exec("SELECT min(old_o), max(seq) AS last FROM data_history WHERE old_o IS NOT NULL AND "
                              "old_o IS DISTINCT FROM new_o GROUP BY lower(old_o COLLATE \"C\") ORDER BY last DESC");
        for (int i = 0; i < r.rows(); ++i) candidates << r.text(i, 0);
    }
    for (const QString& id : candidates) {
        if (exists(id)) continue;
        DeletedObject object = lostRowsOf(id);
        if (!object.rows.isEmpty()) objects.push_back(std::move(object));
    }
    return objects;
}

bool PgEngine::restoreObject(const DeletedObject& object) {
    if (!m_history) return false;
    return writing([&] {
        if (exists(object.id)) return false;
        for (const qint64 seq : object.changes) {
            // A record forgotten meanwhile: the object cannot be brought back whole.
            if (!putBack(seq)) throw UndoConflict(UndoConflict::Why::StepGone);
        }
        return true;
    });
}

// --- Its size -----------------------------------------------------------------------------------

HistorySize PgEngine::historySize() {
    HistorySize size;
    if (!m_history) return size;
    const Result r = exec((QStringLiteral("SELECT (SELECT count(*) FROM data_history), (SELECT count(*) FROM data_steps), "
                                          "pg_total_relation_size('data_history') + pg_total_relation_size('data_steps'), "
                                          "(SELECT %1 FROM (SELECT min(at) AS at FROM (SELECT at FROM data_history WHERE at "
                                          "IS NOT NULL UNION ALL SELECT at FROM data_steps) a) m)")
                               .arg(QString::fromLatin1(kMsOf).arg(QStringLiteral("at"))))
                              .toUtf8()
                              .constData());
    size.changes = r.number(0, 0);
    size.steps = r.number(0, 1);
    size.bytes = r.number(0, 2);
    size.oldest = timeOf(r, 0, 3);
    return size;
}

void PgEngine::forgetBefore(const QDateTime& at) {
    if (!m_history) return;
    transaction([&] {
        // Whole steps go, so that no step is left half known.
        const Params when = std::move(Params().text(timeParam(at)));
        exec((std::string("DELETE FROM data_history WHERE step IN (SELECT step FROM data_steps WHERE at < ") + kTimeParam +
              ") OR (step IS NULL AND at < " + kTimeParam +
              ") OR (step IS NOT NULL AND step NOT IN (SELECT step FROM data_steps))")
                 .c_str(),
             when);
        exec((std::string("DELETE FROM data_steps WHERE at < ") + kTimeParam).c_str(), when);
    });
}

} // namespace olv
