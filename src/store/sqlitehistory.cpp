// The history of every row: triggers keep each change in DATA_HISTORY, whoever makes it, and the
// steps Olv's commands take in DATA_STEPS. Undo, redo and the recently deleted are read from them.
//
// Triggers are plain SQL, so the stock sqlite3 shell keeps reading and writing the file and its
// writes are kept too (with no step). Olv names the step its write belongs to in DATA_STEP_NOW,
// which holds a row only inside Olv's own write transactions.

#include "sqlitecommon.h"

#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QTimeZone>
#include <sqlite3.h>
#include <algorithm>

namespace olv {

using namespace sqlite;

namespace {

const char* const kNow = "strftime('%Y-%m-%d %H:%M:%f', 'now')";

// The history's tables, indexes and triggers, in the order they are made; each name is checked
// on open.
struct Part {
    const char* name;
    std::string sql;
};
const std::vector<Part>& historyParts() {
    static const std::vector<Part> parts = [] {
        // The step Olv names, or for another program no step and the time.
        const std::string stepAndTime = "VALUES ((SELECT STEP FROM DATA_STEP_NOW), CASE WHEN (SELECT STEP FROM "
                                        "DATA_STEP_NOW) IS NULL THEN " + std::string(kNow) + " END, ";
        const std::string fromStep = "); END";
        return std::vector<Part>{
            // A step's changes are the records FIRST_SEQ to LAST_SEQ: one write transaction, which
            // nobody else can write in between.
            {"DATA_STEPS",
             "CREATE TABLE IF NOT EXISTS DATA_STEPS (STEP INTEGER PRIMARY KEY, WHAT TEXT NOT NULL, "
             "KIND TEXT NOT NULL, TARGET INTEGER, UNDONE_BY INTEGER, AT TEXT NOT NULL, WHO TEXT, "
             "FIRST_SEQ INTEGER, LAST_SEQ INTEGER)"},
            // Values are kept as held (no column type), so NULLs, numbers and bytes come back as
            // they were. AT is the step's time where there is a step, so it is kept only for the
            // changes of other programs.
            {"DATA_HISTORY",
             "CREATE TABLE IF NOT EXISTS DATA_HISTORY (SEQ INTEGER PRIMARY KEY, STEP INTEGER, AT TEXT, "
             "ROW INTEGER NOT NULL, KIND TEXT NOT NULL, OLD_O, OLD_P, OLD_V, NEW_O, NEW_P, NEW_V)"},
            {"DATA_STEP_NOW", "CREATE TABLE IF NOT EXISTS DATA_STEP_NOW (STEP INTEGER)"},
            {"DATA_HISTORY_NEW_O", "CREATE INDEX IF NOT EXISTS DATA_HISTORY_NEW_O ON DATA_HISTORY(NEW_O COLLATE NOCASE)"},
            // Rows that left an object: deleted, or moved to another.
            {"DATA_HISTORY_OLD_O",
             "CREATE INDEX IF NOT EXISTS DATA_HISTORY_OLD_O ON DATA_HISTORY(OLD_O COLLATE NOCASE) "
             "WHERE OLD_O IS NOT NULL AND OLD_O IS NOT NEW_O"},
            {"DATA_HISTORY_AI",
             "CREATE TRIGGER IF NOT EXISTS DATA_HISTORY_AI AFTER INSERT ON DATA BEGIN "
             "INSERT INTO DATA_HISTORY (STEP, AT, ROW, KIND, NEW_O, NEW_P, NEW_V) " + stepAndTime +
                 "new.rowid, 'insert', new.O, new.P, new.V" + fromStep},
            {"DATA_HISTORY_AU",
             "CREATE TRIGGER IF NOT EXISTS DATA_HISTORY_AU AFTER UPDATE ON DATA "
             "WHEN old.O IS NOT new.O OR old.P IS NOT new.P OR old.V IS NOT new.V BEGIN "
             "INSERT INTO DATA_HISTORY (STEP, AT, ROW, KIND, OLD_O, OLD_P, OLD_V, NEW_O, NEW_P, NEW_V) " +
                 stepAndTime + "new.rowid, 'update', old.O, old.P, old.V, new.O, new.P, new.V" + fromStep},
            {"DATA_HISTORY_AD",
             "CREATE TRIGGER IF NOT EXISTS DATA_HISTORY_AD AFTER DELETE ON DATA BEGIN "
             "INSERT INTO DATA_HISTORY (STEP, AT, ROW, KIND, OLD_O, OLD_P, OLD_V) " + stepAndTime +
                 "old.rowid, 'delete', old.O, old.P, old.V" + fromStep},
        };
    }();
    return parts;
}

const char* kindName(Step::Kind kind) {
    switch (kind) {
    case Step::Kind::Undo: return "undo";
    case Step::Kind::Redo: return "redo";
    case Step::Kind::Do: break;
    }
    return "do";
}

QString account() {
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
}

} // namespace

namespace sqlite {

QDateTime timeOf(const SQLite::Column& c) {
    QDateTime at = QDateTime::fromString(text(c), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    at.setTimeSpec(Qt::UTC);
    return at;
}

std::string timeText(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toStdString();
}

Step::Kind stepKind(const QString& kind) {
    if (kind == QLatin1String("undo")) return Step::Kind::Undo;
    if (kind == QLatin1String("redo")) return Step::Kind::Redo;
    return Step::Kind::Do;
}

} // namespace sqlite

// --- Keeping it ---------------------------------------------------------------------------------

void SqliteEngine::checkHistory() {
    QSet<QString> present;
    {
        SQLite::Statement q(*m_db, "SELECT name FROM sqlite_master");
        while (q.executeStep()) present << text(q.getColumn(0)).toUpper();
    }
    const auto& parts = historyParts();
    m_history = std::all_of(parts.begin(), parts.end(),
                            [&](const Part& p) { return present.contains(QString::fromLatin1(p.name)); });
    // A file we may not write to stays as it is; it shows what history it has.
    if (m_history || sqlite3_db_readonly(m_db->getHandle(), "main") == 1) return;
    try {
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        // Where the search indexes were found in step with this schema, they stay so: the
        // history changes nothing they index.
        const auto version = [&] {
            SQLite::Statement q(*m_db, "PRAGMA schema_version");
            q.executeStep();
            return q.getColumn(0).getInt();
        };
        const int before = version();
        for (const Part& p : parts) m_db->exec(p.sql);
        if (present.contains(QStringLiteral("DATA_HELPERS"))) {
            SQLite::Statement q(*m_db, "UPDATE DATA_HELPERS SET SCHEMA_VERSION = ?1 WHERE SCHEMA_VERSION = ?2");
            q.bind(1, version());
            q.bind(2, before);
            q.exec();
        }
        t.commit();
        m_history = true;
    } catch (const SQLite::Exception& e) {
        // Busy: the command waits no longer. Anything else (a full disk, say) only means this
        // command's changes are not kept; the next open tries again.
        if ((e.getErrorCode() & 0xff) == SQLITE_BUSY) throw;
    }
}

qint64 SqliteEngine::beginStep(Step::Kind kind, const QString& what, qint64 target) {
    if (!m_history) return 0;
    SQLite::Statement& q = statement(std::string("INSERT INTO DATA_STEPS (WHAT, KIND, TARGET, AT, WHO) VALUES (?1, ?2, ?3, ") +
                                     kNow + ", ?4)");
    q.bind(1, (what.isEmpty() ? QStringLiteral("change") : what).toStdString());
    q.bind(2, kindName(kind));
    if (target) q.bind(3, static_cast<int64_t>(target));
    q.bind(4, account().toStdString());
    q.exec();
    const qint64 step = m_db->getLastInsertRowid();
    m_stepFirstSeq = lastSeq() + 1;
    m_db->exec("DELETE FROM DATA_STEP_NOW");
    SQLite::Statement& now = statement("INSERT INTO DATA_STEP_NOW (STEP) VALUES (?1)");
    now.bind(1, static_cast<int64_t>(step));
    now.exec();
    return step;
}

void SqliteEngine::endStep(qint64 step) {
    if (!step) return;
    m_db->exec("DELETE FROM DATA_STEP_NOW");
    const qint64 last = lastSeq();
    // A write that changed nothing (a row found changed, say) is no step to undo.
    SQLite::Statement& q = last < m_stepFirstSeq
                               ? statement("DELETE FROM DATA_STEPS WHERE STEP = ?1")
                               : statement("UPDATE DATA_STEPS SET FIRST_SEQ = ?2, LAST_SEQ = ?3 WHERE STEP = ?1");
    q.bind(1, static_cast<int64_t>(step));
    if (last >= m_stepFirstSeq) {
        q.bind(2, static_cast<int64_t>(m_stepFirstSeq));
        q.bind(3, static_cast<int64_t>(last));
    }
    q.exec();
}

qint64 SqliteEngine::lastSeq() {
    SQLite::Statement& q = statement("SELECT coalesce(max(SEQ), 0) FROM DATA_HISTORY");
    q.executeStep();
    const qint64 last = q.getColumn(0).getInt64();
    q.tryReset();
    return last;
}

// --- Undo and redo ------------------------------------------------------------------------------

std::optional<Step> SqliteEngine::readStep(SQLite::Statement& q) {
    std::optional<Step> step;
    if (q.executeStep())
        step = Step{q.getColumn(0).getInt64(), text(q.getColumn(1)), stepKind(text(q.getColumn(2))),
                    timeOf(q.getColumn(3)), text(q.getColumn(4))};
    q.tryReset();
    return step;
}

std::optional<Step> SqliteEngine::stepToUndo() {
    if (!m_history) return std::nullopt;
    return guarded([&] {
        return readStep(statement("SELECT STEP, WHAT, KIND, AT, WHO FROM DATA_STEPS WHERE KIND = 'do' "
                                  "AND UNDONE_BY IS NULL ORDER BY STEP DESC LIMIT 1"));
    });
}

std::optional<Step> SqliteEngine::stepToRedo() {
    if (!m_history) return std::nullopt;
    return guarded([&] {
        // The step undone last, while no new step was done after its undo.
        return readStep(statement(
            "SELECT STEP, WHAT, KIND, AT, WHO FROM DATA_STEPS s WHERE KIND = 'do' AND UNDONE_BY IS NOT NULL "
            "AND NOT EXISTS (SELECT 1 FROM DATA_STEPS d WHERE d.KIND = 'do' AND d.STEP > s.UNDONE_BY) "
            "ORDER BY UNDONE_BY DESC LIMIT 1"));
    });
}

void SqliteEngine::takeBack(qint64 step, const std::function<bool(double)>& progress) {
    // The step's records newest first, in runs of one kind over distinct rows, each run taken back
    // by a few statements: the trigram index writes out at the end of every statement, so a
    // statement per row would take many times as long for a large import.
    struct Record {
        qint64 seq, row;
        QString kind;
    };
    QList<Record> records;
    {
        SQLite::Statement& q = statement("SELECT h.SEQ, h.ROW, h.KIND FROM DATA_STEPS s JOIN DATA_HISTORY h ON h.SEQ "
                                         "BETWEEN s.FIRST_SEQ AND s.LAST_SEQ WHERE s.STEP = ?1 ORDER BY h.SEQ DESC");
        q.bind(1, static_cast<int64_t>(step));
        while (q.executeStep())
            records.push_back({q.getColumn(0).getInt64(), q.getColumn(1).getInt64(), text(q.getColumn(2))});
        q.tryReset();
    }
    // Rows not as the run's records left them; none, or undo would overwrite later work.
    const char* const kNotAsLeft =
        "SELECT CAST(h.NEW_O AS TEXT), CAST(h.NEW_P AS TEXT) FROM DATA_HISTORY h WHERE h.SEQ BETWEEN ?1 AND ?2 "
        "AND NOT EXISTS (SELECT 1 FROM DATA d WHERE d.rowid = h.ROW AND d.O IS h.NEW_O AND d.P IS h.NEW_P "
        "AND d.V IS h.NEW_V) LIMIT 1";
    constexpr qsizetype kChunk = 5000;
    QSet<qint64> rows;
    for (qsizetype first = 0; first < records.size();) {
        if (progress && !progress(double(first) / double(records.size()))) throw Cancelled();
        const QString& kind = records[first].kind;
        qsizetype end = first;
        rows.clear();
        while (end < records.size() && end - first < kChunk && records[end].kind == kind &&
               !rows.contains(records[end].row))
            rows.insert(records[end++].row);
        const auto run = [&](SQLite::Statement& q) -> SQLite::Statement& {
            q.bind(1, static_cast<int64_t>(records[end - 1].seq));
            q.bind(2, static_cast<int64_t>(records[first].seq));
            return q;
        };
        if (kind == QLatin1String("delete")) {
            // A row comes back in its place; where another row has taken it, after those that
            // could, in a place of its own.
            m_db->exec("CREATE TEMP TABLE IF NOT EXISTS OLV_TAKEN (SEQ INTEGER PRIMARY KEY)");
            m_db->exec("DELETE FROM temp.OLV_TAKEN");
            run(statement("INSERT INTO temp.OLV_TAKEN SELECT h.SEQ FROM DATA_HISTORY h WHERE h.SEQ BETWEEN ?1 AND ?2 "
                          "AND EXISTS (SELECT 1 FROM DATA WHERE rowid = h.ROW)"))
                .exec();
            run(statement("INSERT INTO DATA (rowid, O, P, V) SELECT h.ROW, h.OLD_O, h.OLD_P, h.OLD_V FROM DATA_HISTORY "
                          "h WHERE h.SEQ BETWEEN ?1 AND ?2 AND h.SEQ NOT IN temp.OLV_TAKEN ORDER BY h.SEQ DESC"))
                .exec();
            run(statement("INSERT INTO DATA (O, P, V) SELECT h.OLD_O, h.OLD_P, h.OLD_V FROM DATA_HISTORY h "
                          "WHERE h.SEQ BETWEEN ?1 AND ?2 AND h.SEQ IN temp.OLV_TAKEN ORDER BY h.SEQ DESC"))
                .exec();
        } else {
            SQLite::Statement& check = run(statement(kNotAsLeft));
            if (check.executeStep()) {
                UndoConflict conflict(UndoConflict::Why::RowChanged, text(check.getColumn(0)), text(check.getColumn(1)));
                check.tryReset();
                throw conflict;
            }
            check.tryReset();
            if (kind == QLatin1String("insert"))
                run(statement("DELETE FROM DATA WHERE rowid IN (SELECT ROW FROM DATA_HISTORY WHERE SEQ BETWEEN ?1 AND ?2)"))
                    .exec();
            else
                run(statement("UPDATE DATA SET O = h.OLD_O, P = h.OLD_P, V = h.OLD_V FROM (SELECT ROW, OLD_O, OLD_P, "
                              "OLD_V FROM DATA_HISTORY WHERE SEQ BETWEEN ?1 AND ?2) h WHERE DATA.rowid = h.ROW"))
                    .exec();
        }
        first = end;
    }
    if (progress && !progress(1.0)) throw Cancelled();
}

void SqliteEngine::undo(const Step& step, const std::function<bool(double)>& progress) {
    guarded([&] {
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        const std::optional<Step> current = stepToUndo();
        if (!current || current->id != step.id) throw UndoConflict(UndoConflict::Why::StepGone);
        // What the step last did: the step itself, or the latest redo of it.
        SQLite::Statement& last =
            statement("SELECT max(STEP) FROM DATA_STEPS WHERE STEP = ?1 OR (KIND = 'redo' AND TARGET = ?1)");
        last.bind(1, static_cast<int64_t>(step.id));
        last.executeStep();
        const qint64 source = last.getColumn(0).getInt64();
        last.tryReset();
        const qint64 undoing = beginStep(Step::Kind::Undo, current->what, step.id);
        takeBack(source, progress);
        endStep(undoing);
        SQLite::Statement& mark = statement("UPDATE DATA_STEPS SET UNDONE_BY = ?2 WHERE STEP = ?1");
        mark.bind(1, static_cast<int64_t>(step.id));
        mark.bind(2, static_cast<int64_t>(undoing));
        mark.exec();
        t.commit();
    });
}

void SqliteEngine::redo(const Step& step, const std::function<bool(double)>& progress) {
    guarded([&] {
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        const std::optional<Step> current = stepToRedo();
        if (!current || current->id != step.id) throw UndoConflict(UndoConflict::Why::StepGone);
        SQLite::Statement& undone = statement("SELECT UNDONE_BY FROM DATA_STEPS WHERE STEP = ?1");
        undone.bind(1, static_cast<int64_t>(step.id));
        undone.executeStep();
        const qint64 source = undone.getColumn(0).getInt64();
        undone.tryReset();
        const qint64 redoing = beginStep(Step::Kind::Redo, current->what, step.id);
        takeBack(source, progress);
        endStep(redoing);
        SQLite::Statement& mark = statement("UPDATE DATA_STEPS SET UNDONE_BY = NULL WHERE STEP = ?1");
        mark.bind(1, static_cast<int64_t>(step.id));
        mark.exec();
        t.commit();
    });
}

} // namespace olv
