// Looking back at the history: an object's changes and how it stood at a time, values and
// deleted objects brought back, deleting an object, and what the history takes.

#include "sqlitecommon.h"

#include <QMap>

namespace olv {

using namespace sqlite;

// --- Looking back -------------------------------------------------------------------------------

void SqliteEngine::eachChangeOf(const QString& id, const std::function<bool(Change&)>& each) {
    if (m_history) guarded([&] { eachChangeIn(id, each); });
}

void SqliteEngine::eachChangeIn(const QString& id, const std::function<bool(Change&)>& each) {
    const QStringList spelt = spellings(id, kMaxSpellings);
    // Too many spellings to ask for: every record is looked at.
    const std::string where =
        spelt.isEmpty() ? std::string("1")
                        : "h.SEQ IN (SELECT SEQ FROM DATA_HISTORY WHERE NEW_O COLLATE NOCASE " + oneOf(spelt.size()) +
                              " UNION ALL SELECT SEQ FROM DATA_HISTORY WHERE OLD_O IS NOT NULL AND OLD_O IS NOT "
                              "NEW_O AND OLD_O COLLATE NOCASE " +
                              oneOf(spelt.size()) + ")";
    SQLite::Statement& q = statement(
        "SELECT h.SEQ, coalesce(h.AT, s.AT), h.KIND, h.ROW, CAST(h.OLD_O AS TEXT), CAST(h.OLD_P AS TEXT), CAST(h.OLD_V AS TEXT), "
        "CAST(h.NEW_O AS TEXT), CAST(h.NEW_P AS TEXT), CAST(h.NEW_V AS TEXT), h.STEP, s.WHAT, s.KIND, s.WHO "
        "FROM DATA_HISTORY h LEFT JOIN DATA_STEPS s ON s.STEP = h.STEP WHERE " +
        where + " ORDER BY h.SEQ DESC");
    bindAll(q, spelt);
    bindAll(q, spelt, int(spelt.size()) + 1);
    while (q.executeStep()) {
        Change c;
        c.seq = q.getColumn(0).getInt64();
        c.at = timeOf(q.getColumn(1));
        const QString kind = text(q.getColumn(2));
        c.kind = kind == QLatin1String("insert")   ? Change::Kind::Added
                 : kind == QLatin1String("delete") ? Change::Kind::Removed
                                                   : Change::Kind::Changed;
        c.rowid = q.getColumn(3).getInt64();
        c.beforeO = text(q.getColumn(4));
        c.beforeP = text(q.getColumn(5));
        c.beforeV = text(q.getColumn(6));
        c.afterO = text(q.getColumn(7));
        c.afterP = text(q.getColumn(8));
        c.afterV = text(q.getColumn(9));
        if (!q.getColumn(10).isNull()) {
            c.step = q.getColumn(10).getInt64();
            const QString what = text(q.getColumn(11));
            const Step::Kind stepKindOf = stepKind(text(q.getColumn(12)));
            c.stepWhat = stepKindOf == Step::Kind::Undo   ? QStringLiteral("undo of ") + what
                         : stepKindOf == Step::Kind::Redo ? QStringLiteral("redo of ") + what
                                                          : what;
            c.who = text(q.getColumn(13));
        }
        const bool before = c.kind != Change::Kind::Added && jet::equal(c.beforeO, id);
        const bool after = c.kind != Change::Kind::Removed && jet::equal(c.afterO, id);
        if ((before || after) && !each(c)) break;
    }
    q.tryReset();
}

// --- Restoring and deleting ---------------------------------------------------------------------

bool SqliteEngine::restoreValue(const Change& change, qint64 newestSeen) {
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
            SQLite::Statement& q = statement(
                "UPDATE DATA SET (O, P, V) = (SELECT OLD_O, OLD_P, OLD_V FROM DATA_HISTORY WHERE SEQ = ?1) "
                "WHERE rowid = ?2 AND EXISTS (SELECT 1 FROM DATA_HISTORY h WHERE h.SEQ = ?1 AND DATA.O = h.OLD_O "
                "COLLATE NOCASE AND (DATA.P = h.OLD_P COLLATE NOCASE OR DATA.P = h.NEW_P COLLATE NOCASE))");
            q.bind(1, static_cast<int64_t>(change.seq));
            q.bind(2, static_cast<int64_t>(change.rowid));
            if (q.exec() == 1) return true;
        }
        SQLite::Statement& q = statement(kPutBack);
        q.bind(1, static_cast<int64_t>(change.seq));
        return q.exec() == 1;
    });
}

bool SqliteEngine::removeObject(const QString& id, const QList<StoredRow>& shown) {
    return writing([&] {
        if (storedRowsOf(id) != shown) return false;
        SQLite::Statement& q = statement("DELETE FROM DATA WHERE rowid = ?1");
        for (const StoredRow& r : shown) {
            q.bind(1, static_cast<int64_t>(r.rowid));
            q.exec();
            q.reset();
        }
        return true;
    });
}

QList<DeletedObject> SqliteEngine::recentlyDeleted() {
    QList<DeletedObject> objects;
    if (!m_history) return objects;
    guarded([&] {
        // Objects that ever lost a row, the latest loss first.
        QStringList candidates;
        {
            SQLite::Statement& q = statement(
                "SELECT CAST(OLD_O AS TEXT), max(SEQ) AS LAST FROM DATA_HISTORY WHERE OLD_O IS NOT NULL AND "
                "OLD_O IS NOT NEW_O GROUP BY OLD_O COLLATE NOCASE ORDER BY LAST DESC");
            while (q.executeStep()) candidates << text(q.getColumn(0));
            q.tryReset();
        }
        for (const QString& id : candidates) {
            if (exists(id)) continue;
            DeletedObject object = lostRowsOf(id);
            if (!object.rows.isEmpty()) objects.push_back(std::move(object));
        }
    });
    return objects;
}

bool SqliteEngine::restoreObject(const DeletedObject& object) {
    if (!m_history) return false;
    return writing([&] {
        if (exists(object.id)) return false;
        SQLite::Statement& q = statement(kPutBack);
        for (const qint64 seq : object.changes) {
            q.bind(1, static_cast<int64_t>(seq));
            // A record forgotten meanwhile: the object cannot be brought back whole.
            if (q.exec() != 1) throw UndoConflict(UndoConflict::Why::StepGone);
            q.reset();
        }
        return true;
    });
}

// --- Its size -----------------------------------------------------------------------------------

HistorySize SqliteEngine::historySize() {
    HistorySize size;
    if (!m_history) return size;
    return guarded([&] {
        SQLite::Statement& q = statement("SELECT count(*), (SELECT min(AT) FROM (SELECT AT FROM DATA_HISTORY WHERE AT IS NOT "
                                         "NULL UNION ALL SELECT AT FROM DATA_STEPS)) FROM DATA_HISTORY");
        q.executeStep();
        size.changes = q.getColumn(0).getInt64();
        if (!q.getColumn(1).isNull()) size.oldest = timeOf(q.getColumn(1));
        q.tryReset();
        SQLite::Statement& steps = statement("SELECT count(*) FROM DATA_STEPS");
        steps.executeStep();
        size.steps = steps.getColumn(0).getInt64();
        steps.tryReset();
        try {
            SQLite::Statement& bytes = statement(
                "SELECT sum(pgsize) FROM dbstat WHERE name IN ('DATA_HISTORY', 'DATA_STEPS', 'DATA_STEP_NOW', "
                "'DATA_HISTORY_NEW_O', 'DATA_HISTORY_OLD_O')");
            bytes.executeStep();
            size.bytes = bytes.getColumn(0).getInt64();
            bytes.tryReset();
        } catch (const SQLite::Exception&) {
            // An SQLite without the page statistics: the rows' own size, roughly.
            SQLite::Statement& rough = statement(
                "SELECT sum(40 + length(CAST(OLD_O AS BLOB)) + length(CAST(OLD_P AS BLOB)) + length(CAST(OLD_V AS BLOB)) + "
                "length(CAST(NEW_O AS BLOB)) + length(CAST(NEW_P AS BLOB)) + length(CAST(NEW_V AS BLOB))) FROM DATA_HISTORY");
            rough.executeStep();
            size.bytes = rough.getColumn(0).getInt64();
            rough.tryReset();
        }
        return size;
    });
}

void SqliteEngine::forgetBefore(const QDateTime& at) {
    if (!m_history) return;
    guarded([&] {
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        // Whole steps go, so that no step is left half known.
        SQLite::Statement changes(*m_db, "DELETE FROM DATA_HISTORY WHERE STEP IN (SELECT STEP FROM DATA_STEPS WHERE AT < ?1) "
                                         "OR (STEP IS NULL AND AT < ?1) OR (STEP IS NOT NULL AND STEP NOT IN "
                                         "(SELECT STEP FROM DATA_STEPS))");
        changes.bind(1, timeText(at));
        changes.exec();
        SQLite::Statement steps(*m_db, "DELETE FROM DATA_STEPS WHERE AT < ?1");
        steps.bind(1, timeText(at));
        steps.exec();
        t.commit();
    });
}

} // namespace olv
