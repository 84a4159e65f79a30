#include "store.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>
#include <algorithm>

namespace olv {

namespace {

// Helpers that make searches fast. Everything here is built into SQLite, so the stock sqlite3
// shell keeps reading and writing the file, and its writes keep the trigram index in step.
const char* const kTrigramTable = "DATA_V_TRIGRAMS";
struct Helper {
    const char* name;
    const char* sql;
    bool trigrams; // part of the trigram index: when missing, the index may be out of step
};
const Helper kHelpers[] = {
    {"DATA_V_TRIGRAMS",
     "CREATE VIRTUAL TABLE DATA_V_TRIGRAMS USING fts5("
     "V, content='DATA', content_rowid='rowid', tokenize='trigram', detail='none')",
     true},
    {"DATA_V_TRIGRAMS_AI",
     "CREATE TRIGGER DATA_V_TRIGRAMS_AI AFTER INSERT ON DATA BEGIN "
     "INSERT INTO DATA_V_TRIGRAMS(rowid, V) VALUES (new.rowid, new.V); END",
     true},
    {"DATA_V_TRIGRAMS_AD",
     "CREATE TRIGGER DATA_V_TRIGRAMS_AD AFTER DELETE ON DATA BEGIN "
     "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS, rowid, V) VALUES ('delete', old.rowid, old.V); "
     "END",
     true},
    {"DATA_V_TRIGRAMS_AU",
     "CREATE TRIGGER DATA_V_TRIGRAMS_AU AFTER UPDATE ON DATA BEGIN "
     "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS, rowid, V) VALUES ('delete', old.rowid, old.V); "
     "INSERT INTO DATA_V_TRIGRAMS(rowid, V) VALUES (new.rowid, new.V); END",
     true},
    {"DATA_O_NOCASE", "CREATE INDEX DATA_O_NOCASE ON DATA(O COLLATE NOCASE)", false},
    {"DATA_V_NOCASE", "CREATE INDEX DATA_V_NOCASE ON DATA(V COLLATE NOCASE)", false},
    // Identifiers with other than ASCII characters, which NOCASE cannot fold; few or none.
    {"DATA_O_NONASCII",
     "CREATE INDEX DATA_O_NONASCII ON DATA(O) WHERE length(O) <> length(CAST(O AS BLOB))", false},
};

// At most this many trigrams narrow one search; more rarely helps and costs index reads.
constexpr int kMaxTrigrams = 12;
// Bounds on the spellings asked for at once (see spellings()).
constexpr qsizetype kMaxSpellings = 64;
constexpr qsizetype kMaxTrigramSpellings = 27;

QString text(const SQLite::Column& c) {
    // The text first, then its length: in a UTF-16 file the length is only right for the UTF-8 form.
    const char* utf8 = c.getText(nullptr);
    return utf8 ? QString::fromUtf8(utf8, c.getBytes()) : QString();
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString reasonFor(const SQLite::Exception& e) {
    switch (e.getErrorCode() & 0xff) {
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

// Spellings that between them stand for every text equal to text: each character is swapped for
// the characters that equal it. ASCII letter case is left out, as SQLite's NOCASE and the trigram
// index fold it themselves; other alphabets they fold by older tables than ours, or not at all.
// Empty when there would be more than limit spellings.
QStringList spellings(const QString& text, qsizetype limit) {
    std::vector<std::u32string> all{std::u32string()};
    for (const char32_t c : text.toStdU32String()) {
        std::u32string alternatives;
        for (char32_t a : jet::sameLetters(c)) {
            if (a >= U'A' && a <= U'Z') a += U'a' - U'A';
            if (alternatives.find(a) == std::u32string::npos) alternatives.push_back(a);
        }
        if (all.size() * alternatives.size() > size_t(limit)) return {};
        std::vector<std::u32string> next;
        next.reserve(all.size() * alternatives.size());
        for (const std::u32string& s : all)
            for (const char32_t a : alternatives) next.push_back(s + a);
        all = std::move(next);
    }
    QStringList result;
    for (const std::u32string& s : all) result << QString::fromStdU32String(s);
    return result;
}

// "= ?" for one value, "IN (?, ?, ...)" for several.
std::string oneOf(qsizetype n) {
    if (n == 1) return "= ?";
    std::string sql = "IN (?";
    for (qsizetype i = 1; i < n; ++i) sql += ", ?";
    return sql + ")";
}

// FTS5 query that every value containing all of the runs satisfies; empty when no run is long
// enough for the index to help.
QString trigramQuery(const QStringList& runs) {
    std::vector<std::u32string> trigrams;
    for (const QString& run : runs) {
        const std::u32string r = run.toStdU32String();
        for (size_t i = 0; i + 3 <= r.size(); ++i) trigrams.push_back(r.substr(i, 3));
    }
    QStringList terms;
    const size_t step = std::max<size_t>(1, (trigrams.size() + kMaxTrigrams - 1) / kMaxTrigrams);
    for (size_t i = 0; i < trigrams.size(); i += step) {
        QStringList alternatives;
        for (QString s : spellings(QString::fromStdU32String(trigrams[i]), kMaxTrigramSpellings))
            alternatives << QLatin1Char('"') + s.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                                QLatin1Char('"');
        if (alternatives.size() == 1) terms << alternatives.front();
        else if (!alternatives.isEmpty())
            terms << QLatin1Char('(') + alternatives.join(QStringLiteral(" OR ")) + QLatin1Char(')');
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
    QSet<QString> present;
    {
        // Names in SQL ignore letter case: a table "data" is the table DATA.
        SQLite::Statement q(*m_db, "SELECT type, name FROM sqlite_master");
        while (q.executeStep()) {
            const QString name = text(q.getColumn(1)).toUpper();
            present << name;
            if (name == QLatin1String("DATA") && text(q.getColumn(0)) == QLatin1String("table"))
                hasData = true;
        }
    }
    if (!hasData) throw StoreError(m_path, QStringLiteral("it has no table DATA"));
    QSet<QString> columns;
    {
        SQLite::Statement cols(*m_db, "PRAGMA table_info(DATA)");
        while (cols.executeStep()) columns << text(cols.getColumn(1)).toUpper();
    }
    if (!columns.contains("O") || !columns.contains("P") || !columns.contains("V"))
        throw StoreError(m_path, QStringLiteral("its table DATA lacks the columns O, P and V"));

    QList<const char*> missing;
    bool trigramsMissing = false;
    for (const Helper& h : kHelpers)
        if (!present.contains(QString::fromLatin1(h.name).toUpper())) {
            missing << h.sql;
            trigramsMissing = trigramsMissing || h.trigrams;
        }
    m_hasTrigrams = !trigramsMissing;
    m_hasNonAsciiIndex = present.contains(QStringLiteral("DATA_O_NONASCII"));
    if (!missing.isEmpty()) addHelpers(missing, trigramsMissing);
}

void Database::addHelpers(const QList<const char*>& statements, bool rebuildTrigrams) {
    // Building the index of a large file takes seconds: let the windows repaint meanwhile
    // (user input waits, so no other command can reach the file in between).
    sqlite3_progress_handler(
        m_db->getHandle(), 200000,
        [](void*) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return 0;
        },
        nullptr);
    const auto quiet = qScopeGuard([this] { sqlite3_progress_handler(m_db->getHandle(), 0, nullptr, nullptr); });
    try {
        SQLite::Transaction t(*m_db);
        for (const char* sql : statements) m_db->exec(sql);
        // Rows written while a trigger was missing are not in the index: build it anew.
        if (rebuildTrigrams)
            m_db->exec(std::string("INSERT INTO ") + kTrigramTable + "(" + kTrigramTable +
                       ") VALUES('rebuild')");
        t.commit();
        m_hasTrigrams = true;
        m_hasNonAsciiIndex = true;
    } catch (const SQLite::Exception& e) {
        const int code = e.getErrorCode() & 0xff;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED) throw;
        // A file we may not write to is still searched, only without the help.
    }
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

template <class Keep> QList<Database::Hit> Database::collect(SQLite::Statement& q, Keep&& keep) {
    QList<Hit> hits;
    while (q.executeStep()) {
        QString v = text(q.getColumn(2));
        if (keep(v)) hits.push_back({text(q.getColumn(0)), text(q.getColumn(1)), std::move(v)});
    }
    return hits;
}

template <class Keep>
QList<Database::Hit> Database::candidates(const QStringList& runs, Keep&& keep) {
    const QString match = m_hasTrigrams ? trigramQuery(runs) : QString();
    if (!match.isEmpty()) {
        SQLite::Statement& q = statement(
            std::string("SELECT O, P, V FROM DATA WHERE rowid IN (SELECT rowid FROM ") +
            kTrigramTable + " WHERE " + kTrigramTable + " MATCH ?) ORDER BY rowid");
        q.bind(1, match.toStdString());
        return collect(q, keep);
    }
    // Too short for trigrams (or no index): SQLite's LIKE, which folds ASCII letters, passes
    // on only the rows holding the longest run in one of its spellings, at a fraction of the
    // cost of looking at every row here.
    QString longest;
    for (const QString& run : runs)
        if (run.size() > longest.size()) longest = run;
    const QStringList spelt = longest.isEmpty() ? QStringList() : spellings(longest, kMaxSpellings);
    if (spelt.isEmpty()) return collect(statement("SELECT O, P, V FROM DATA ORDER BY rowid"), keep);
    std::string sql = "SELECT O, P, V FROM DATA WHERE ";
    for (qsizetype i = 0; i < spelt.size(); ++i) sql += i ? " OR V LIKE ? ESCAPE '\\'" : "V LIKE ? ESCAPE '\\'";
    SQLite::Statement& q = statement(sql + " ORDER BY rowid");
    for (int i = 0; i < spelt.size(); ++i) {
        QString like = spelt[i];
        like.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
            .replace(QLatin1Char('%'), QStringLiteral("\\%"))
            .replace(QLatin1Char('_'), QStringLiteral("\\_"));
        q.bind(i + 1, (QLatin1Char('%') + like + QLatin1Char('%')).toStdString());
    }
    return collect(q, keep);
}

QList<Database::Hit> Database::rowsWithValue(const QString& value) {
    const auto equal = [&](const QString& v) { return jet::equal(v, value); };
    const QStringList spelt = spellings(value, kMaxSpellings);
    if (spelt.isEmpty()) return candidates({value}, equal);
    SQLite::Statement& q = statement("SELECT O, P, V FROM DATA WHERE V COLLATE NOCASE " +
                                     oneOf(spelt.size()) + " ORDER BY rowid");
    for (int i = 0; i < spelt.size(); ++i) q.bind(i + 1, spelt[i].toStdString());
    return collect(q, equal);
}

QList<Database::Hit> Database::rowsMatching(const QString& pattern) {
    const jet::Pattern p(pattern);
    return candidates(p.literalRuns(), [&](const QString& v) { return p.matches(v); });
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
        const QStringList spelt = spellings(id, kMaxSpellings);
        SQLite::Statement& q =
            spelt.isEmpty() ? statement("SELECT O, P, V FROM DATA ORDER BY rowid")
                            : statement("SELECT O, P, V FROM DATA WHERE O COLLATE NOCASE " +
                                        oneOf(spelt.size()) + " ORDER BY rowid");
        for (int i = 0; i < spelt.size(); ++i) q.bind(i + 1, spelt[i].toStdString());
        while (q.executeStep()) {
            QString o = text(q.getColumn(0));
            if (jet::equal(o, id)) rows.push_back({std::move(o), text(q.getColumn(1)), text(q.getColumn(2))});
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
        SQLite::Statement& all = statement("SELECT count(DISTINCT O COLLATE NOCASE) FROM DATA");
        all.executeStep();
        qint64 count = all.getColumn(0).getInt64();
        all.tryReset();
        // NOCASE folds ASCII letters only: identifiers with other characters are folded here,
        // and one that folds to plain ASCII ("aſ") is the same object as a group counted ("AS").
        SQLite::Statement& others = statement(
            std::string("SELECT DISTINCT O FROM DATA ") +
            (m_hasNonAsciiIndex ? "INDEXED BY DATA_O_NONASCII " : "") +
            "WHERE length(O) <> length(CAST(O AS BLOB))");
        QSet<QString> nocase, folded;
        while (others.executeStep()) {
            const QString o = text(others.getColumn(0));
            QString asciiLower = o;
            for (QChar& c : asciiLower)
                if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) c = c.toLower();
            nocase << asciiLower;
            folded << jet::fold(o);
        }
        count -= nocase.size();
        count += folded.size();
        for (const QString& f : std::as_const(folded)) {
            if (!isAscii(f)) continue;
            SQLite::Statement& asciiTwin = statement("SELECT 1 FROM DATA WHERE O = ? COLLATE NOCASE LIMIT 1");
            asciiTwin.bind(1, f.toStdString());
            if (asciiTwin.executeStep()) --count;
            asciiTwin.tryReset(); // let go of the read
        }
        return count;
    });
}

void Database::append(const QString& o, const QString& p, const QString& v) {
    guarded([&] {
        SQLite::Statement& insert = statement("INSERT INTO DATA (O, P, V) VALUES (?, ?, ?)");
        insert.bind(1, o.toStdString());
        insert.bind(2, p.toStdString());
        insert.bind(3, v.toStdString());
        insert.exec();
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
