// The handle the commands hold, over whichever engine keeps the rows, and what it answers
// from the rows alone.

#include "pgengine.h"
#include "sqlitecommon.h"

#include <QDir>
#include <QMap>
#include <algorithm>

namespace olv {

StoreError::StoreError(const QString& file, const QString& reason)
    : std::runtime_error((file + QStringLiteral(": ") + reason).toStdString()), m_file(file),
      m_reason(reason) {}

QString StoreError::message() const {
    return QStringLiteral("The database %1 cannot be used: %2.").arg(QDir::toNativeSeparators(m_file), m_reason);
}

bool isObjectId(const QString& value) { return value.startsWith(kObjectPrefix); }

namespace {
std::unique_ptr<Engine> engineFor(const QString& connection, Database::Indexes indexes, KeepGoing keepGoing) {
    if (isServerConnection(connection)) return std::make_unique<PgEngine>(connection, true, std::move(keepGoing));
    auto engine = std::make_unique<SqliteEngine>(connection, indexes == Database::Indexes::Repair);
    if (keepGoing) engine->setKeepGoing(std::move(keepGoing));
    return engine;
}
} // namespace

Database::Database(const QString& connection, Indexes indexes, KeepGoing keepGoing)
    : m_connection(connection), m_engine(engineFor(connection, indexes, std::move(keepGoing))) {}

Database::~Database() = default;
Database::Database(Database&&) noexcept = default;

QList<Row> Engine::rowsOf(const QString& id) {
    QList<Row> rows;
    for (StoredRow& stored : storedRowsOf(id)) rows.push_back(std::move(stored.row));
    return rows;
}

QString Engine::createObject(Clock& clock,
                             const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) {
    for (;;) {
        const QDateTime now = clock.now();
        const QString candidate = kObjectPrefix + now.toString(QStringLiteral("yyyyMMddHHmmss"));
        switch (tryCreate(candidate, rowsFor)) {
        case Creation::Made: return candidate;
        case Creation::Refused: return QString();
        case Creation::Taken: break;
        }
        // Identifiers have a resolution of one second: wait for the next one, without the lock.
        clock.sleepMs(1000 - now.time().msec());
    }
}

QList<Change> Engine::historyOf(const QString& id) {
    QList<Change> changes;
    eachChangeOf(id, [&](Change& c) {
        changes.push_back(std::move(c));
        return true;
    });
    return changes;
}

QList<StoredRow> Engine::rowsAsOf(const QString& id, const QDateTime& at) {
    QMap<qint64, Row> rows;
    for (const StoredRow& r : storedRowsOf(id)) rows.insert(r.rowid, r.row);
    // Back from now, undoing in memory each change made after the time.
    eachChangeOf(id, [&](const Change& c) {
        if (c.at <= at) return false;
        if (c.kind != Change::Kind::Removed && jet::equal(c.afterO, id)) rows.remove(c.rowid);
        if (c.kind != Change::Kind::Added && jet::equal(c.beforeO, id)) rows.insert(c.rowid, {c.beforeO, c.beforeP, c.beforeV});
        return true;
    });
    QList<StoredRow> result;
    for (auto it = rows.cbegin(); it != rows.cend(); ++it) result.push_back({it.key(), it.value()});
    return result;
}

DeletedObject Engine::lostRowsOf(const QString& id) {
    DeletedObject object;
    object.id = id;
    QMap<qint64, std::pair<Row, qint64>> lost; // row -> what it held, and its record
    eachChangeOf(id, [&](const Change& c) {
        const bool added = c.kind != Change::Kind::Removed && jet::equal(c.afterO, id) &&
                           (c.kind == Change::Kind::Added || !jet::equal(c.beforeO, id));
        if (added) return false; // it had rows again from here on
        if (!object.at.isValid()) {
            object.at = c.at;
            object.madeBy = c.stepWhat;
        }
        if (c.kind == Change::Kind::Removed || !jet::equal(c.afterO, id))
            lost.insert(c.rowid, {{c.beforeO, c.beforeP, c.beforeV}, c.seq});
        return true;
    });
    for (auto it = lost.cbegin(); it != lost.cend(); ++it) {
        object.rows.push_back(it->first);
        object.changes.push_back(it->second);
    }
    return object;
}

QString Engine::valueOf(const QString& id, const QString& property) {
    for (const Row& r : rowsOf(id))
        if (jet::equal(r.p, property)) return r.v.isNull() ? QStringLiteral("") : r.v;
    return QString();
}

QString Database::GetPropertyValue(const QString& id, const QString& property) {
    const QString v = valueOf(id, property);
    return v.isNull() ? kNotAvailable : v;
}

QString Database::FindClassId(const QString& className) {
    // Objects holding the name as a value, first stored first: the first that is a class named so.
    for (const QString& id : findObjects(className, false)) {
        const QList<Row> rows = rowsOf(id);
        const auto find = [&](const QString& p, const QString& v) {
            return std::find_if(rows.begin(), rows.end(),
                                [&](const Row& r) { return jet::equal(r.p, p) && jet::equal(r.v, v); });
        };
        const auto classRow = find(kTOO, kClassValue);
        if (classRow != rows.end() && find(kName, className) != rows.end()) return classRow->o;
    }
    return kNotAvailable;
}

QStringList Database::classNames() {
    const QStringList classes = findObjects(kClassValue, false);
    QStringList names;
    QSet<QString> seenNames;
    for (const QString& id : classes) {
        const QList<Row> rows = rowsOf(id);
        const bool isClass = std::any_of(rows.begin(), rows.end(), [](const Row& r) {
            return jet::equal(r.p, kTOO) && jet::equal(r.v, kClassValue);
        });
        if (!isClass) continue;
        for (const Row& r : rows)
            if (jet::equal(r.p, kName) && !seenNames.contains(jet::fold(r.v))) {
                seenNames.insert(jet::fold(r.v));
                names << r.v;
            }
    }
    std::sort(names.begin(), names.end(), jet::less);
    return names;
}

qint64 Database::addMissing(const QList<Row>& rows, const std::function<bool(double)>& progress) {
    QList<TypedRow> typed;
    typed.reserve(rows.size());
    for (const Row& r : rows) typed.push_back({r.o, r.p, r.v});
    return addMissing(typed, progress);
}

QList<TypedRow> readAllRows(const QString& connection, const std::function<bool(double)>& progress) {
    if (!isServerConnection(connection)) return sqlite::readAllRows(connection, progress);
    // Reaching the server may take a while too; Cancel is heard meanwhile.
    return PgEngine(connection, false, [&progress] { return !progress || progress(0); }).allRows(progress);
}

void reachServer(const QString& connection, KeepGoing keepGoing) { PgEngine(connection, false, std::move(keepGoing)); }

// --- The database in use -----------------------------------------------------------------------

Database Store::open() const {
    if (!m_indexMaker) return Database(m_path);
    Database db(m_path, Database::Indexes::Leave);
    const IndexRepair& repair = db.repair();
    // An engine without index upkeep (a server minding its own) needs no repair.
    if (!db.abilities().indexUpkeep || !repair.needed() || m_scanOnly.contains(m_path)) return db;
    if (!repair.large()) {
        try {
            repair.run(nullptr);
        } catch (const StoreError& e) {
            if (e.busy()) throw;
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

QString Store::defaultPath() { return QDir::homePath() + QStringLiteral("/Olv/Olv.mdb"); }

void Store::createIfMissing(const QString& path) {
    // A server database is made by its administrator, never on the way.
    if (!isServerConnection(path)) SqliteEngine::createIfMissing(path);
}

} // namespace olv
