#include "store.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>
#include <algorithm>

namespace olv {

namespace {

// Values are searched through a trigram index kept by triggers. Everything here is built into
// SQLite, so the stock sqlite3 shell keeps reading and writing the file (and the index).
const char* const kIndexSql[] = {
    "CREATE VIRTUAL TABLE DATA_V_TRIGRAMS USING fts5("
    "V, content='DATA', content_rowid='rowid', tokenize='trigram', detail='none')",
    "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS) VALUES('rebuild')",
    "CREATE TRIGGER DATA_V_TRIGRAMS_AI AFTER INSERT ON DATA BEGIN "
    "INSERT INTO DATA_V_TRIGRAMS(rowid, V) VALUES (new.rowid, new.V); END",
    "CREATE TRIGGER DATA_V_TRIGRAMS_AD AFTER DELETE ON DATA BEGIN "
    "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS, rowid, V) VALUES ('delete', old.rowid, old.V); "
    "END",
    "CREATE TRIGGER DATA_V_TRIGRAMS_AU AFTER UPDATE ON DATA BEGIN "
    "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS, rowid, V) VALUES ('delete', old.rowid, old.V); "
    "INSERT INTO DATA_V_TRIGRAMS(rowid, V) VALUES (new.rowid, new.V); END",
    "CREATE INDEX IF NOT EXISTS DATA_O_NOCASE ON DATA(O COLLATE NOCASE)",
};

// At most this many trigrams narrow one search; more rarely helps and costs index reads.
constexpr int kMaxTrigrams = 12;

QString text(const SQLite::Column& c) {
    return QString::fromUtf8(static_cast<const char*>(c.getBlob()), c.getBytes());
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString reasonFor(const SQLite::Exception& e) {
    switch (e.getErrorCode()) {
    case SQLITE_NOTADB:
        return QStringLiteral("the file is not a database");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("the database is locked by another program");
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

// FTS5 query that every value containing all of the runs satisfies.
QString trigramQuery(const QStringList& runs) {
    QStringList terms;
    for (const QString& run : runs) {
        const std::u32string r = run.toStdU32String();
        if (r.size() < 3) continue;
        const size_t n = r.size() - 2;
        const size_t step = std::max<size_t>(1, (n + kMaxTrigrams - 1) / kMaxTrigrams);
        for (size_t i = 0; i < n; i += step) {
            QString tri = QString::fromStdU32String(r.substr(i, 3));
            tri.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            terms << QLatin1Char('"') + tri + QLatin1Char('"');
        }
    }
    return terms.join(QStringLiteral(" AND "));
}

} // namespace

StoreError::StoreError(const QString& file, const QString& reason)
    : std::runtime_error((file + QStringLiteral(": ") + reason).toStdString()), m_file(file),
      m_reason(reason) {}

QString StoreError::message() const {
    return QStringLiteral("The database %1 cannot be used: %2.").arg(QDir::toNativeSeparators(m_file), m_reason);
}

bool isObjectId(const QString& value) { return value.startsWith(kObjectPrefix); }

template <class F> auto Database::guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const SQLite::Exception& e) {
        throw StoreError(m_path, reasonFor(e));
    }
}

Database::Database(const QString& path) : m_path(path) {
    const QFileInfo info(path);
    if (!info.exists()) throw StoreError(path, QStringLiteral("the file does not exist"));
    if (!info.isFile()) throw StoreError(path, QStringLiteral("it is not a file"));
    guarded([&] {
        // Never create: a missing or foreign file must stay untouched.
        m_db = std::make_unique<SQLite::Database>(path.toStdString(), SQLite::OPEN_READWRITE, 5000);
        checkSchema();
    });
}

Database::~Database() = default;
Database::Database(Database&&) noexcept = default;

void Database::checkSchema() {
    bool hasData = false;
    SQLite::Statement q(*m_db, "SELECT name FROM sqlite_master WHERE name IN "
                               "('DATA', 'DATA_V_TRIGRAMS') COLLATE NOCASE");
    while (q.executeStep()) {
        const QString name = text(q.getColumn(0));
        if (name.compare(QLatin1String("DATA"), Qt::CaseInsensitive) == 0) hasData = true;
        else m_hasTrigrams = true;
    }
    if (!hasData) throw StoreError(m_path, QStringLiteral("it has no table DATA"));
    QSet<QString> columns;
    SQLite::Statement cols(*m_db, "PRAGMA table_info(DATA)");
    while (cols.executeStep()) columns << text(cols.getColumn(1)).toUpper();
    if (!columns.contains("O") || !columns.contains("P") || !columns.contains("V"))
        throw StoreError(m_path, QStringLiteral("its table DATA lacks the columns O, P and V"));
    if (!m_hasTrigrams) ensureIndexes();
}

void Database::ensureIndexes() {
    // A file we may not write to is still searched, only more slowly.
    try {
        SQLite::Transaction t(*m_db);
        for (const char* sql : kIndexSql) m_db->exec(sql);
        t.commit();
        m_hasTrigrams = true;
    } catch (const SQLite::Exception& e) {
        if (e.getErrorCode() == SQLITE_BUSY || e.getErrorCode() == SQLITE_LOCKED) throw;
        m_hasTrigrams = false;
    }
}

QList<Database::Hit> Database::candidates(const QStringList& literalRuns) {
    QList<Hit> hits;
    const QString match = m_hasTrigrams ? trigramQuery(literalRuns) : QString();
    std::unique_ptr<SQLite::Statement> q;
    if (match.isEmpty()) {
        q = std::make_unique<SQLite::Statement>(*m_db, "SELECT rowid, O, P, V FROM DATA ORDER BY rowid");
    } else {
        q = std::make_unique<SQLite::Statement>(
            *m_db, "SELECT rowid, O, P, V FROM DATA WHERE rowid IN (SELECT rowid FROM "
                   "DATA_V_TRIGRAMS WHERE DATA_V_TRIGRAMS MATCH ?) ORDER BY rowid");
        q->bind(1, match.toStdString());
    }
    while (q->executeStep())
        hits.push_back({q->getColumn(0).getInt64(), text(q->getColumn(1)), text(q->getColumn(2)),
                        text(q->getColumn(3))});
    return hits;
}

QList<Database::Hit> Database::rowsWithValue(const QString& value) {
    QList<Hit> hits = candidates({jet::fold(value)});
    hits.removeIf([&](const Hit& h) { return !jet::equal(h.v, value); });
    return hits;
}

QList<Database::Hit> Database::rowsMatching(const QString& pattern) {
    const jet::Pattern p(pattern);
    QList<Hit> hits = candidates(p.literalRuns());
    hits.removeIf([&](const Hit& h) { return !p.matches(h.v); });
    return hits;
}


QStringList Database::findObjects(const QString& text, bool containing) {
    return guarded([&] {
        const QList<Hit> hits = containing
                                    ? rowsMatching(QStringLiteral("*") + text + QStringLiteral("*"))
                                    : rowsWithValue(text);
        QStringList ids;
        QSet<QString> seen;
        for (const Hit& h : hits)
            if (!seen.contains(jet::fold(h.o))) {
                seen.insert(jet::fold(h.o));
                ids << h.o;
            }
        return ids;
    });
}

QList<Row> Database::rowsOf(const QString& id) {
    return guarded([&] {
        QList<Row> rows;
        if (isAscii(id)) {
            if (!m_rowsOf)
                m_rowsOf = std::make_unique<SQLite::Statement>(
                    *m_db, "SELECT O, P, V FROM DATA WHERE O = ? COLLATE NOCASE ORDER BY rowid");
            m_rowsOf->reset();
            m_rowsOf->bind(1, id.toStdString());
            while (m_rowsOf->executeStep())
                rows.push_back({text(m_rowsOf->getColumn(0)), text(m_rowsOf->getColumn(1)),
                                text(m_rowsOf->getColumn(2))});
        } else {
            // Identifiers outside ASCII are rare; the index only folds ASCII letters.
            SQLite::Statement q(*m_db, "SELECT O, P, V FROM DATA ORDER BY rowid");
            while (q.executeStep()) {
                const QString o = text(q.getColumn(0));
                if (jet::equal(o, id))
                    rows.push_back({o, text(q.getColumn(1)), text(q.getColumn(2))});
            }
        }
        return rows;
    });
}

QString Database::valueOf(const QString& id, const QString& property) {
    for (const Row& r : rowsOf(id))
        if (jet::equal(r.p, property)) return r.v.isNull() ? QStringLiteral("") : r.v;
    return QString();
}

QString Database::GetPropertyValue(const QString& id, const QString& property) {
    const QString v = valueOf(id, property);
    return v.isNull() ? kNotAvailable : v;
}

QString Database::FindClassId(const QString& className) {
    const QStringList named = guarded([&] {
        QStringList ids;
        for (const Hit& h : rowsWithValue(className))
            if (jet::equal(h.p, kName)) ids << h.o;
        return ids;
    });
    for (const QString& id : named)
        for (const Row& r : rowsOf(id))
            if (jet::equal(r.p, kTOO) && jet::equal(r.v, kClassValue)) return r.o;
    return kNotAvailable;
}

QStringList Database::classNames() {
    const QList<Hit> classRows = guarded([&] { return rowsWithValue(kClassValue); });
    QStringList names;
    QSet<QString> seenIds, seenNames;
    for (const Hit& h : classRows) {
        if (!jet::equal(h.p, kTOO) || seenIds.contains(jet::fold(h.o))) continue;
        seenIds.insert(jet::fold(h.o));
        for (const Row& r : rowsOf(h.o))
            if (jet::equal(r.p, kName) && !seenNames.contains(jet::fold(r.v))) {
                seenNames.insert(jet::fold(r.v));
                names << r.v;
            }
    }
    std::sort(names.begin(), names.end(), jet::less);
    return names;
}

bool Database::exists(const QString& id) { return !rowsOf(id).isEmpty(); }

QString Database::NewObjectId(Clock& clock) {
    for (;;) {
        const QDateTime now = clock.now();
        const QString candidate = kObjectPrefix + now.toString(QStringLiteral("yyyyMMddHHmmss"));
        if (!exists(candidate)) return candidate;
        // Identifiers have a resolution of one second: wait for the next one.
        clock.sleepMs(1000 - now.time().msec());
    }
}

qint64 Database::countObjects() {
    return guarded([&] {
        // The index groups ASCII letters case-blind; other alphabets are folded here.
        qint64 groups = 0;
        QSet<QString> foreign;
        qint64 foreignGroups = 0;
        SQLite::Statement q(*m_db, "SELECT O FROM DATA GROUP BY O COLLATE NOCASE");
        while (q.executeStep()) {
            ++groups;
            const SQLite::Column c = q.getColumn(0);
            const char* s = static_cast<const char*>(c.getBlob());
            const int n = c.getBytes();
            if (std::any_of(s, s + n, [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; })) {
                ++foreignGroups;
                foreign.insert(jet::fold(QString::fromUtf8(s, n)));
            }
        }
        return groups - (foreignGroups - foreign.size());
    });
}

void Database::append(const QString& o, const QString& p, const QString& v) {
    guarded([&] {
        if (!m_insert)
            m_insert = std::make_unique<SQLite::Statement>(*m_db, "INSERT INTO DATA (O, P, V) VALUES (?, ?, ?)");
        m_insert->reset();
        m_insert->bind(1, o.toStdString());
        m_insert->bind(2, p.toStdString());
        m_insert->bind(3, v.toStdString());
        m_insert->exec();
    });
}

void Database::appendAll(const QList<Row>& rows) {
    guarded([&] {
        SQLite::Transaction t(*m_db);
        for (const Row& r : rows) append(r.o, r.p, r.v);
        t.commit();
    });
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
        throw StoreError(path, reasonFor(e));
    }
}

} // namespace olv
