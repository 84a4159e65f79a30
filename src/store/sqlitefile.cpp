// The file-level work: what kind of file this is, opening it, and errors that name it.

#include "sqlitecommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <algorithm>

namespace olv {

namespace sqlite {

QString text(const SQLite::Column& c) {
    // The text first, then its length: in a UTF-16 file the length is only right for the UTF-8 form.
    const char* utf8 = c.getText(nullptr);
    return utf8 ? QString::fromUtf8(utf8, c.getBytes()) : QString();
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

namespace {

// A Jet file, as Olv's data was first kept: it can be brought in, but not used as it is.
bool isJetFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(19);
    return head.size() == 19 && head.mid(4) == "Standard Jet DB";
}

} // namespace

QString reasonFor(const SQLite::Exception& e, const QString& path) {
    switch (e.getErrorCode() & 0xff) {
    case SQLITE_NOTADB:
        if (isJetFile(path))
            return QStringLiteral("it is a Jet (.mdb) database of the earlier kind, which Olv only reads through "
                                  "File, Import: choose an Olv database with File, Set Database, then import this "
                                  "file into it");
        return QStringLiteral("the file is not a database");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreError::kBusy;
    case SQLITE_CANTOPEN:
        return QStringLiteral("the file cannot be opened");
    case SQLITE_READONLY:
        return QStringLiteral("the file is read-only");
    case SQLITE_CORRUPT:
        return QStringLiteral("the database file is damaged");
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    default:
        return QString::fromUtf8(e.what());
    }
}

bool interrupted(const SQLite::Exception& e) { return (e.getErrorCode() & 0xff) == SQLITE_INTERRUPT; }

} // namespace sqlite

using namespace sqlite;

// --- The open file -----------------------------------------------------------------------------

SqliteEngine::SqliteEngine(const QString& path, bool repairIndexes) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists()) throw StoreError(path, QStringLiteral("the file does not exist"));
    if (!info.isFile()) throw StoreError(path, QStringLiteral("it is not a file"));
    guarded([&] {
        // Never create: a missing or foreign file must stay untouched.
        m_db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE, 5000);
        checkSchema(repairIndexes);
        checkHistory();
    });
}

SqliteEngine::~SqliteEngine() = default;

Engine::Abilities SqliteEngine::abilities() const {
    return {.indexUpkeep = true,
            .writable = sqlite3_db_readonly(m_db->getHandle(), "main") != 1,
            .history = m_history};
}

void SqliteEngine::checkSchema(bool repairIndexes) {
    Plan plan = planFor(*m_db, m_path);
    m_hasTrigrams = plan.trigramsUsable;
    m_hasNonAsciiIndex = plan.nonAsciiIndex;
    m_hasNonTextIndex = plan.nonTextIndex;
    // A file we may not write to is searched without what it lacks.
    if (!plan.needed() || sqlite3_db_readonly(m_db->getHandle(), "main") == 1) return;

    m_repair.path = m_path;
    m_repair.fileBytes = QFileInfo(m_path).size();
    m_repair.m_statements = plan.statements;
    m_repair.m_rebuildTrigrams = plan.rebuildTrigrams;
    m_repair.m_record = plan.record;
    {
        SQLite::Statement last(*m_db, "SELECT max(rowid) FROM DATA");
        last.executeStep();
        m_repair.rows = last.getColumn(0).getInt64();
    }
    if (!repairIndexes) return;
    try {
        m_repair.run(nullptr);
    } catch (const StoreError& e) {
        // Busy: the command waits no longer. Anything else (no room for the journal, say) only
        // means the file is searched without the help.
        if (e.busy()) throw;
        return;
    }
    m_repair = IndexRepair();
    m_statements.clear();
    const Plan after = planFor(*m_db, m_path);
    m_hasTrigrams = after.trigramsUsable;
    m_hasNonAsciiIndex = after.nonAsciiIndex;
    m_hasNonTextIndex = after.nonTextIndex;
}

void SqliteEngine::setKeepGoing(KeepGoing keepGoing) {
    m_keepGoing = std::move(keepGoing);
    if (!m_keepGoing) {
        sqlite3_progress_handler(m_db->getHandle(), 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        m_db->getHandle(), 50000, [](void* self) { return static_cast<SqliteEngine*>(self)->m_keepGoing() ? 0 : 1; },
        this);
}

SQLite::Statement& SqliteEngine::statement(const std::string& sql) {
    std::unique_ptr<SQLite::Statement>& q = m_statements[sql];
    if (!q) {
        q = std::make_unique<SQLite::Statement>(*m_db, sql);
    } else {
        // A step that failed last time leaves its error behind for reset() to throw again.
        q->tryReset();
        q->clearBindings();
    }
    return *q;
}

namespace {
// The value as the file holds it: NULL, a number, bytes or text.
QVariant value(const SQLite::Column& c) {
    if (c.isNull()) return {};
    if (c.isInteger()) return QVariant::fromValue(qint64(c.getInt64()));
    if (c.isFloat()) return c.getDouble();
    if (c.isBlob()) return QByteArray(static_cast<const char*>(c.getBlob()), c.getBytes());
    const char* utf8 = c.getText(); // before its length, which is only then that of the UTF-8 form
    return QString::fromUtf8(utf8, c.getBytes());
}
} // namespace

QList<TypedRow> sqlite::readAllRows(const QString& path, const std::function<bool(double)>& progress) {
    try {
        // Read-only: the other file is never written, not even with indexes.
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, 5000);
        SQLite::Statement names(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'DATA' COLLATE NOCASE");
        if (!names.executeStep()) throw StoreError(path, QStringLiteral("it has no table DATA"));
        // Progress goes by row number, read in order: the last one is found at once, where
        // counting the rows would read the whole table before the first is copied.
        double last = 1;
        {
            SQLite::Statement q(db, "SELECT max(rowid) FROM DATA");
            if (q.executeStep()) last = std::max(1.0, double(q.getColumn(0).getInt64()));
        }
        SQLite::Statement q(db, "SELECT rowid, O, P, V FROM DATA ORDER BY rowid");
        QList<TypedRow> rows;
        while (q.executeStep()) {
            if (progress && rows.size() % 1000 == 0 &&
                !progress(std::clamp(double(q.getColumn(0).getInt64()) / last, 0.0, 1.0)))
                throw Cancelled();
            rows.push_back({value(q.getColumn(1)), value(q.getColumn(2)), value(q.getColumn(3))});
        }
        return rows;
    } catch (const SQLite::Exception& e) {
        // The table may lack a column, or the file be damaged.
        throw StoreError(path, QString::fromUtf8(e.what()));
    }
}

void SqliteEngine::createIfMissing(const QString& path) {
    if (QFileInfo::exists(path)) return;
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        throw StoreError(path, QStringLiteral("its folder cannot be made"));
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        db.exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT)");
    } catch (const SQLite::Exception& e) {
        throw StoreError(path, reasonFor(e, path));
    }
}

} // namespace olv
