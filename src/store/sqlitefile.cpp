// The file-level work: what kind of file this is, opening it, and errors that name it.

#include "sqlitecommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

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
const QString kBusy = QStringLiteral("the database is locked by another program");

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
        return kBusy;
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

bool busy(const StoreError& e) { return e.reason() == kBusy; }

bool interrupted(const SQLite::Exception& e) { return (e.getErrorCode() & 0xff) == SQLITE_INTERRUPT; }

} // namespace sqlite

using namespace sqlite;

StoreError::StoreError(const QString& file, const QString& reason)
    : std::runtime_error((file + QStringLiteral(": ") + reason).toStdString()), m_file(file),
      m_reason(reason) {}

QString StoreError::message() const {
    return QStringLiteral("The database %1 cannot be used: %2.").arg(QDir::toNativeSeparators(m_file), m_reason);
}

bool isObjectId(const QString& value) { return value.startsWith(kObjectPrefix); }

// --- One command's database --------------------------------------------------------------------

Database::Database(const QString& path, Indexes indexes) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists()) throw StoreError(path, QStringLiteral("the file does not exist"));
    if (!info.isFile()) throw StoreError(path, QStringLiteral("it is not a file"));
    guarded([&] {
        // Never create: a missing or foreign file must stay untouched.
        m_db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE, 5000);
        checkSchema(indexes);
    });
}

Database::~Database() = default;
Database::Database(Database&&) noexcept = default;

void Database::checkSchema(Indexes indexes) {
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
    if (indexes == Indexes::Leave) return;
    try {
        m_repair.run(nullptr);
    } catch (const StoreError& e) {
        // Busy: the command waits no longer. Anything else (no room for the journal, say) only
        // means the file is searched without the help.
        if (busy(e)) throw;
        return;
    }
    m_repair = IndexRepair();
    m_statements.clear();
    const Plan after = planFor(*m_db, m_path);
    m_hasTrigrams = after.trigramsUsable;
    m_hasNonAsciiIndex = after.nonAsciiIndex;
    m_hasNonTextIndex = after.nonTextIndex;
}

void Database::setKeepGoing(KeepGoing keepGoing) {
    m_keepGoing = std::move(keepGoing);
    if (!m_keepGoing) {
        sqlite3_progress_handler(m_db->getHandle(), 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        m_db->getHandle(), 50000, [](void* self) { return static_cast<Database*>(self)->m_keepGoing() ? 0 : 1; },
        this);
}

SQLite::Statement& Database::statement(const std::string& sql) {
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

// --- The database in use -----------------------------------------------------------------------

Database Store::open() const {
    if (!m_indexMaker) return Database(m_path);
    Database db(m_path, Database::Indexes::Leave);
    const IndexRepair& repair = db.repair();
    if (!repair.needed() || m_scanOnly.contains(m_path)) return db;
    if (!repair.large()) {
        try {
            repair.run(nullptr);
        } catch (const StoreError& e) {
            if (busy(e)) throw;
            m_scanOnly.insert(m_path);
            return db;
        }
    } else if (!m_indexMaker(repair)) {
        // Declined or called off: the file stays as it was and is searched by scanning.
        m_scanOnly.insert(m_path);
        return db;
    }
    return Database(m_path, Database::Indexes::Leave);
}

QString Store::FindClassId(const QString& className) const { return open().FindClassId(className); }

QString Store::GetPropertyValue(const QString& id, const QString& property) const {
    return open().GetPropertyValue(id, property);
}

QString Store::defaultPath() { return QDir::homePath() + QStringLiteral("/Olv/Olv.mdb"); }

void Store::createIfMissing(const QString& path) {
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
