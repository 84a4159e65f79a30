#include "store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QSet>
#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>
#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>

namespace olv {

namespace {

// Helpers that make searches fast. Everything here is built into SQLite, so the stock sqlite3
// shell keeps reading and writing the file, and its writes keep the trigram index in step.
const char* const kTrigramTable = "DATA_V_TRIGRAMS";
enum class Kind { Trigrams, Index };
struct Helper {
    const char* name;
    const char* sql;
    Kind kind;
};
const Helper kHelpers[] = {
    {"DATA_V_TRIGRAMS",
     "CREATE VIRTUAL TABLE DATA_V_TRIGRAMS USING fts5("
     "V, content='DATA', content_rowid='rowid', tokenize='trigram', detail='none')",
     Kind::Trigrams},
    {"DATA_V_TRIGRAMS_AI",
     "CREATE TRIGGER DATA_V_TRIGRAMS_AI AFTER INSERT ON DATA BEGIN "
     "INSERT INTO DATA_V_TRIGRAMS(rowid, V) VALUES (new.rowid, new.V); END",
     Kind::Trigrams},
    {"DATA_V_TRIGRAMS_AD",
     "CREATE TRIGGER DATA_V_TRIGRAMS_AD AFTER DELETE ON DATA BEGIN "
     "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS, rowid, V) VALUES ('delete', old.rowid, old.V); "
     "END",
     Kind::Trigrams},
    {"DATA_V_TRIGRAMS_AU",
     "CREATE TRIGGER DATA_V_TRIGRAMS_AU AFTER UPDATE ON DATA BEGIN "
     "INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS, rowid, V) VALUES ('delete', old.rowid, old.V); "
     "INSERT INTO DATA_V_TRIGRAMS(rowid, V) VALUES (new.rowid, new.V); END",
     Kind::Trigrams},
    {"DATA_O_NOCASE", "CREATE INDEX DATA_O_NOCASE ON DATA(O COLLATE NOCASE)", Kind::Index},
    {"DATA_V_NOCASE", "CREATE INDEX DATA_V_NOCASE ON DATA(V COLLATE NOCASE)", Kind::Index},
    // Identifiers with other than ASCII characters, which NOCASE cannot fold; few or none.
    {"DATA_O_NONASCII",
     "CREATE INDEX DATA_O_NONASCII ON DATA(O) WHERE length(O) <> length(CAST(O AS BLOB))",
     Kind::Index},
    // Values other programs stored as numbers or blobs; few or none. Exact searches compare
    // them as text.
    {"DATA_V_NONTEXT", "CREATE INDEX DATA_V_NONTEXT ON DATA(O) WHERE typeof(V) NOT IN ('text', 'null')",
     Kind::Index},
};
// The schema version at which the trigram index was last found in step with DATA. Any change of
// the schema (a VACUUM, dropped or added indexes) makes the next open look again.
const char* const kStateTable = "DATA_HELPERS";
const char* const kNonTextWhere = "typeof(V) NOT IN ('text', 'null')";

// At most this many trigrams narrow one search; more rarely helps and costs index reads.
constexpr int kMaxTrigrams = 12;
// Bounds on the spellings asked for at once (see spellings()).
constexpr qsizetype kMaxSpellings = 64;
constexpr qsizetype kMaxTrigramSpellings = 27;
// Below this many rows the indexes are made in well under a second, without a word.
constexpr qint64 kQuickRepairRows = 50000;

QString text(const SQLite::Column& c) {
    // The text first, then its length: in a UTF-16 file the length is only right for the UTF-8 form.
    const char* utf8 = c.getText(nullptr);
    return utf8 ? QString::fromUtf8(utf8, c.getBytes()) : QString();
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

const QString kBusy = QStringLiteral("the database is locked by another program");

// A Jet file, as Olv's data was first kept: it can be brought in, but not used as it is.
bool isJetFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(19);
    return head.size() == 19 && head.mid(4) == "Standard Jet DB";
}

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

// V is like one of n patterns, bound from parameter first on. LIKE passes over blobs, which
// other programs may have stored: where the file may hold any, they are compared as their text.
std::string likeAny(qsizetype n, bool blobs, int first = 1) {
    const auto any = [&](const std::string& value) {
        std::string sql;
        for (qsizetype i = 0; i < n; ++i)
            sql += (i ? " OR " : "") + value + " LIKE ?" + std::to_string(first + i) + " ESCAPE '\\'";
        return sql;
    };
    if (!blobs) return "(" + any("V") + ")";
    return "(" + any("V") + " OR (typeof(V) = 'blob' AND (" + any("CAST(V AS TEXT)") + ")))";
}

QString escapeLike(QString s) {
    return s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('%'), QStringLiteral("\\%"))
        .replace(QLatin1Char('_'), QStringLiteral("\\_"));
}

void bindAll(SQLite::Statement& q, const QStringList& values, int first = 1) {
    for (int i = 0; i < values.size(); ++i) q.bind(first + i, values[i].toStdString());
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

// Identifiers in the order given, each object once: NOCASE has already merged ASCII letter case
// where alreadyAsciiDistinct, so only identifiers with other letters need folding here.
QStringList distinctObjects(QStringList ids, bool alreadyAsciiDistinct) {
    if (alreadyAsciiDistinct && std::all_of(ids.begin(), ids.end(), isAscii)) return ids;
    QSet<QString> seen;
    seen.reserve(ids.size());
    QStringList result;
    result.reserve(ids.size());
    for (QString& id : ids) {
        const QString key = jet::fold(id);
        if (seen.contains(key)) continue;
        seen.insert(key);
        result << std::move(id);
    }
    return result;
}

// Files whose trigram index was found in step at a schema version that could not be recorded
// (a file opened read-only), so the check is not repeated on every open.
QHash<QString, int>& agreedThisRun() {
    static QHash<QString, int> agreed;
    return agreed;
}

int schemaVersion(SQLite::Database& db) {
    SQLite::Statement q(db, "PRAGMA schema_version");
    q.executeStep();
    return q.getColumn(0).getInt();
}

// The trigram index holds one entry per row of DATA exactly when their rowids agree; a VACUUM
// without our indexes in place renumbers DATA and leaves the index pointing at other rows.
bool trigramRowsAgree(SQLite::Database& db) {
    SQLite::Statement rows(db, "SELECT rowid FROM DATA ORDER BY rowid");
    SQLite::Statement indexed(db, std::string("SELECT id FROM ") + kTrigramTable + "_docsize ORDER BY id");
    for (;;) {
        const bool a = rows.executeStep(), b = indexed.executeStep();
        if (a != b) return false;
        if (!a) return true;
        if (rows.getColumn(0).getInt64() != indexed.getColumn(0).getInt64()) return false;
    }
}

// What a file's search helpers need, read from the file; throws StoreError for a file that
// cannot be used.
struct Plan {
    std::vector<std::string> statements; // helpers to make
    bool rebuildTrigrams = false;
    bool record = false; // the trigram index was checked and found sound: remember it
    bool trigramsUsable = false;
    bool nonAsciiIndex = false;
    bool nonTextIndex = false;
    bool needed() const { return !statements.empty() || rebuildTrigrams || record; }
};

Plan planFor(SQLite::Database& db, const QString& path) {
    bool hasData = false;
    QSet<QString> present;
    {
        // Names in SQL ignore letter case: a table "data" is the table DATA.
        SQLite::Statement q(db, "SELECT type, name FROM sqlite_master");
        while (q.executeStep()) {
            const QString name = text(q.getColumn(1)).toUpper();
            present << name;
            if (name == QLatin1String("DATA") && text(q.getColumn(0)) == QLatin1String("table"))
                hasData = true;
        }
    }
    if (!hasData) throw StoreError(path, QStringLiteral("it has no table DATA"));
    QSet<QString> columns;
    {
        SQLite::Statement cols(db, "PRAGMA table_info(DATA)");
        while (cols.executeStep()) columns << text(cols.getColumn(1)).toUpper();
    }
    if (!columns.contains("O") || !columns.contains("P") || !columns.contains("V"))
        throw StoreError(path, QStringLiteral("its table DATA lacks the columns O, P and V"));
    try {
        // Rows are told apart, edited and indexed by their rowid.
        SQLite::Statement(db, "SELECT rowid FROM DATA LIMIT 0");
    } catch (const SQLite::Exception&) {
        throw StoreError(path, QStringLiteral("its table DATA has no row numbers (WITHOUT ROWID), "
                                              "which Olv needs to search and edit it"));
    }

    Plan plan;
    bool trigramsComplete = true;
    for (const Helper& h : kHelpers) {
        if (present.contains(QString::fromLatin1(h.name))) continue;
        plan.statements.push_back(h.sql);
        if (h.kind == Kind::Trigrams) trigramsComplete = false;
    }
    plan.nonAsciiIndex = present.contains(QStringLiteral("DATA_O_NONASCII"));
    plan.nonTextIndex = present.contains(QStringLiteral("DATA_V_NONTEXT"));
    if (!trigramsComplete) {
        // Rows written while a trigger was missing are not in the index.
        plan.rebuildTrigrams = true;
    } else {
        const int version = schemaVersion(db);
        int verified = -1;
        if (present.contains(QString::fromLatin1(kStateTable))) {
            SQLite::Statement q(db, std::string("SELECT SCHEMA_VERSION FROM ") + kStateTable);
            if (q.executeStep()) verified = q.getColumn(0).getInt();
        }
        if (verified != version && agreedThisRun().value(path, -1) != version) {
            if (trigramRowsAgree(db)) {
                agreedThisRun().insert(path, version);
                plan.record = true;
            } else {
                plan.rebuildTrigrams = true;
            }
        } else if (verified != version) {
            plan.record = true;
        }
    }
    plan.trigramsUsable = trigramsComplete && !plan.rebuildTrigrams;
    return plan;
}

// What each step of making the helpers costs: its share of the time (measured on a million
// rows), the virtual machine steps it takes per row, for progress while it runs, and what it adds
// to the file as a share of the rows' size.
struct StepCost {
    double weight;
    double opsPerRow;
    double growth;
};
StepCost costOf(const std::string& sql) {
    if (sql.find("COLLATE NOCASE)") != std::string::npos) return {1.0, 9, 0.5};
    if (sql.rfind("CREATE INDEX", 0) == 0) return {0.1, 7, 0.0}; // partial: few rows
    if (sql.rfind("CREATE VIRTUAL TABLE", 0) == 0) return {0.01, 1e9, 0.55};
    return {0.01, 1e9, 0.0};
}
// The trigram index is filled in slices of rows, in rowid order: far faster than letting it pick
// its own way through DATA (with DATA's indexes in place it reads the rows in value order), and a
// slice done is progress that can be shown.
constexpr qint64 kTrigramSlice = 50000;
constexpr double kTrigramWeight = 2.0;
constexpr double kTrigramOpsPerRow = 27;

} // namespace

StoreError::StoreError(const QString& file, const QString& reason)
    : std::runtime_error((file + QStringLiteral(": ") + reason).toStdString()), m_file(file),
      m_reason(reason) {}

QString StoreError::message() const {
    return QStringLiteral("The database %1 cannot be used: %2.").arg(QDir::toNativeSeparators(m_file), m_reason);
}

bool isObjectId(const QString& value) { return value.startsWith(kObjectPrefix); }

// --- Making the search helpers ---------------------------------------------------------------

qint64 IndexRepair::growthBytes() const {
    // Measured on large files: what each helper takes beside the rows themselves.
    double share = 0;
    for (const std::string& s : m_statements) share += costOf(s).growth;
    return qint64(double(fileBytes) * share);
}

bool IndexRepair::large() const {
    const bool heavy = m_rebuildTrigrams || std::any_of(m_statements.begin(), m_statements.end(), [](const std::string& s) {
                           return costOf(s).weight >= 1;
                       });
    return heavy && rows >= kQuickRepairRows;
}

void IndexRepair::run(const std::function<bool(double)>& progress) const {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE, 5000);
        SQLite::Transaction t(db, SQLite::TransactionBehavior::IMMEDIATE);
        // Looked at again inside the transaction: another program may have made them meanwhile.
        const Plan plan = planFor(db, path);
        qint64 lastRow = 0;
        {
            SQLite::Statement last(db, "SELECT max(rowid) FROM DATA");
            last.executeStep();
            lastRow = last.getColumn(0).getInt64();
        }
        struct Step {
            std::string sql;
            double weight, expectedOps;
        };
        std::vector<Step> steps;
        for (const std::string& sql : plan.statements) {
            const StepCost cost = costOf(sql);
            steps.push_back({sql, cost.weight, cost.opsPerRow * double(std::max<qint64>(lastRow, 1))});
        }
        if (plan.rebuildTrigrams) {
            const std::string table = kTrigramTable;
            steps.push_back({"INSERT INTO " + table + "(" + table + ") VALUES('delete-all')", 0.01, 1e9});
            for (qint64 from = 0; from < lastRow; from += kTrigramSlice) {
                const qint64 to = std::min(from + kTrigramSlice, lastRow);
                steps.push_back({"INSERT INTO " + table + "(rowid, V) SELECT rowid, V FROM DATA NOT INDEXED WHERE rowid > " +
                                     std::to_string(from) + " AND rowid <= " + std::to_string(to) + " ORDER BY rowid",
                                 kTrigramWeight * double(to - from) / double(lastRow),
                                 kTrigramOpsPerRow * double(to - from)});
            }
        }
        const std::string state = kStateTable;
        for (const std::string& sql : {"CREATE TABLE IF NOT EXISTS " + state + " (SCHEMA_VERSION INTEGER)",
                                       "DELETE FROM " + state,
                                       "INSERT INTO " + state + " SELECT schema_version FROM pragma_schema_version"})
            steps.push_back({sql, 0.01, 1e9});

        struct Meter {
            const std::function<bool(double)>* progress;
            double done = 0, weight = 0, total = 0, expectedOps = 1, ops = 0;
        } meter{&progress};
        for (const Step& step : steps) meter.total += step.weight;
        if (progress) {
            sqlite3_progress_handler(
                db.getHandle(), 10000,
                [](void* p) {
                    auto m = static_cast<Meter*>(p);
                    m->ops += 10000;
                    const double within = std::min(0.98, m->ops / m->expectedOps);
                    return (*m->progress)((m->done + m->weight * within) / m->total) ? 0 : 1;
                },
                &meter);
        }
        for (const Step& step : steps) {
            meter.weight = step.weight;
            meter.expectedOps = step.expectedOps;
            meter.ops = 0;
            db.exec(step.sql);
            meter.done += step.weight;
        }
        if (progress && !progress(1.0)) throw Cancelled();
        t.commit();
    } catch (const SQLite::Exception& e) {
        if (interrupted(e)) throw Cancelled();
        throw StoreError(path, reasonFor(e, path));
    }
}

// --- One command's database --------------------------------------------------------------------

template <class F> auto Database::guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const SQLite::Exception& e) {
        if (interrupted(e)) throw Cancelled();
        throw StoreError(m_path, reasonFor(e, m_path));
    }
}

template <class F> auto Database::writing(F&& f) -> decltype(f()) {
    return guarded([&] {
        // Immediate: the write lock is taken at the start, so a busy file is waited for (a
        // deferred transaction that finds the file busy when it first writes fails at once).
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            t.commit();
        } else {
            auto result = f();
            t.commit();
            return result;
        }
    });
}

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

// --- Searching ---------------------------------------------------------------------------------

bool Database::mayHoldBlobs() {
    if (!m_hasNonTextIndex) return true; // nobody keeps count: assume some
    if (m_mayHoldBlobs < 0) {
        SQLite::Statement& q = statement(std::string("SELECT 1 FROM DATA INDEXED BY DATA_V_NONTEXT WHERE ") +
                                         kNonTextWhere + " AND typeof(V) = 'blob' LIMIT 1");
        m_mayHoldBlobs = q.executeStep() ? 1 : 0;
        q.tryReset();
    }
    return m_mayHoldBlobs == 1;
}

QStringList Database::scanObjects(const std::string& where, const QStringList& values) {
    // A plain scan in the order rows were stored; DISTINCT keeps each object's first appearance.
    SQLite::Statement& q = statement("SELECT DISTINCT O COLLATE NOCASE FROM DATA NOT INDEXED WHERE " + where);
    bindAll(q, values);
    QStringList ids;
    while (q.executeStep()) ids << text(q.getColumn(0));
    q.tryReset(); // let go of the read
    return distinctObjects(std::move(ids), true);
}

template <class Keep> QStringList Database::narrowedObjects(const QStringList& runs, Keep&& keep) {
    const auto collect = [&](SQLite::Statement& q) {
        QStringList ids;
        while (q.executeStep()) {
            const SQLite::Column v = q.getColumn(1);
            if (!v.isNull() && keep(text(v))) ids << text(q.getColumn(0));
        }
        q.tryReset();
        return distinctObjects(std::move(ids), false);
    };
    const QString match = m_hasTrigrams ? trigramQuery(runs) : QString();
    if (!match.isEmpty()) {
        SQLite::Statement& q = statement(std::string("SELECT O, V FROM DATA WHERE rowid IN (SELECT rowid FROM ") +
                                         kTrigramTable + " WHERE " + kTrigramTable + " MATCH ?) ORDER BY rowid");
        q.bind(1, match.toStdString());
        return collect(q);
    }
    // Too short for trigrams (or no index): SQLite's LIKE, which folds ASCII letters, passes
    // on only the rows holding the longest run in one of its spellings.
    QString longest;
    for (const QString& run : runs)
        if (run.size() > longest.size()) longest = run;
    QStringList likes;
    for (const QString& s : longest.isEmpty() ? QStringList() : spellings(longest, kMaxSpellings))
        likes << QLatin1Char('%') + escapeLike(s) + QLatin1Char('%');
    SQLite::Statement& q = statement("SELECT O, V FROM DATA NOT INDEXED" +
                                     (likes.isEmpty() ? std::string() : " WHERE " + likeAny(likes.size(), mayHoldBlobs())));
    bindAll(q, likes);
    return collect(q);
}

QStringList Database::objectsWithValue(const QString& value) {
    const QStringList spelt = spellings(value, kMaxSpellings);
    if (spelt.isEmpty()) return narrowedObjects({jet::fold(value)}, [&](const QString& v) { return jet::equal(v, value); });
    if (!m_hasNonTextIndex) {
        // No indexes to help: one scan, numbers and blobs compared as their text.
        return scanObjects("CAST(V AS TEXT) COLLATE NOCASE " + oneOf(spelt.size()), spelt);
    }
    // Text values through the index, and the few numbers and blobs by their text, merged in the
    // order the rows were stored.
    QList<std::pair<qint64, QString>> hits;
    SQLite::Statement& q =
        statement("SELECT rowid, O FROM DATA WHERE V COLLATE NOCASE " + oneOf(spelt.size()) + " ORDER BY rowid");
    bindAll(q, spelt);
    while (q.executeStep()) hits.push_back({q.getColumn(0).getInt64(), text(q.getColumn(1))});
    q.tryReset();
    SQLite::Statement& other = statement(std::string("SELECT rowid, O, CAST(V AS TEXT) FROM DATA INDEXED BY "
                                                     "DATA_V_NONTEXT WHERE ") + kNonTextWhere);
    bool more = false;
    while (other.executeStep())
        if (jet::equal(text(other.getColumn(2)), value)) {
            hits.push_back({other.getColumn(0).getInt64(), text(other.getColumn(1))});
            more = true;
        }
    other.tryReset();
    if (more) std::stable_sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList ids;
    ids.reserve(hits.size());
    for (auto& h : hits) ids << std::move(h.second);
    return distinctObjects(std::move(ids), false);
}

QStringList Database::objectsMatching(const QString& pattern) {
    const jet::Pattern p(pattern);
    const std::optional<QStringList> likes = p.likeForms(kMaxSpellings);
    if (!likes) return narrowedObjects(p.literalRuns(), [&](const QString& v) { return p.matches(v); });
    // LIKE says exactly what matches; the trigram index, where the text is long enough, says
    // where to look.
    const QString match = m_hasTrigrams ? trigramQuery(p.literalRuns()) : QString();
    if (match.isEmpty()) return scanObjects(likeAny(likes->size(), mayHoldBlobs()), *likes);
    SQLite::Statement& q = statement(std::string("SELECT O FROM DATA WHERE rowid IN (SELECT rowid FROM ") +
                                     kTrigramTable + " WHERE " + kTrigramTable + " MATCH ?1) AND " +
                                     likeAny(likes->size(), mayHoldBlobs(), 2) + " ORDER BY rowid");
    q.bind(1, match.toStdString());
    bindAll(q, *likes, 2);
    QStringList ids;
    while (q.executeStep()) ids << text(q.getColumn(0));
    q.tryReset();
    return distinctObjects(std::move(ids), false);
}

QStringList Database::findObjects(const QString& text, bool containing) {
    return guarded([&] {
        return containing ? objectsMatching(QStringLiteral("*") + text + QStringLiteral("*"))
                          : objectsWithValue(text);
    });
}

QList<Row> Database::rowsOf(const QString& id) {
    QList<Row> rows;
    for (StoredRow& stored : storedRowsOf(id)) rows.push_back(std::move(stored.row));
    return rows;
}

QString Database::valueOf(const QString& id, const QString& property) {
    for (const Row& r : rowsOf(id))
        if (jet::equal(r.p, property)) return r.v.isNull() ? QStringLiteral("") : r.v;
    return QString();
}

QStringList Database::namesOf(const QStringList& ids) {
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

QList<QList<qsizetype>> Database::eachRowOf(const QStringList& ids, const std::string& columns,
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

QList<QList<Row>> Database::rowsOfEach(const QStringList& ids) {
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

QStringList Database::propertyNamesOf(const QStringList& ids) {
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

QString Database::GetPropertyValue(const QString& id, const QString& property) {
    const QString v = valueOf(id, property);
    return v.isNull() ? kNotAvailable : v;
}

QString Database::FindClassId(const QString& className) {
    // Objects holding the name as a value, first stored first: the first that is a class named so.
    for (const QString& id : guarded([&] { return objectsWithValue(className); })) {
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
    const QStringList classes = guarded([&] { return objectsWithValue(kClassValue); });
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

bool Database::isTaken(const QString& id) {
    const QStringList spelt = spellings(id, kMaxSpellings);
    if (spelt.isEmpty()) return !rowsOf(id).isEmpty();
    SQLite::Statement& q = statement("SELECT O FROM DATA WHERE O COLLATE NOCASE " + oneOf(spelt.size()));
    bindAll(q, spelt);
    bool taken = false;
    while (!taken && q.executeStep()) taken = jet::equal(text(q.getColumn(0)), id);
    q.tryReset();
    return taken;
}

bool Database::exists(const QString& id) {
    return guarded([&] { return isTaken(id); });
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
        others.tryReset();
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

QList<StoredRow> Database::storedRowsOf(const QString& id) {
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

bool Database::replaceRow(const StoredRow& was, const Row& now) {
    return writing([&] {
        SQLite::Statement& q = statement(std::string("UPDATE DATA SET O = ?5, P = ?6, V = ?7 WHERE ") + kStillAsRead);
        bindAsRead(q, was);
        bindText(q, 5, now.o);
        bindText(q, 6, now.p);
        bindText(q, 7, now.v);
        return q.exec() == 1;
    });
}

bool Database::removeRow(const StoredRow& was) {
    return writing([&] {
        SQLite::Statement& q = statement(std::string("DELETE FROM DATA WHERE ") + kStillAsRead);
        bindAsRead(q, was);
        return q.exec() == 1;
    });
}

template <class Rows, class Bind>
void Database::insertRows(const Rows& rows, Bind&& bind, const std::function<bool(double)>& progress) {
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

void Database::insertAll(const QList<Row>& rows, const std::function<bool(double)>& progress) {
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

// A value as Olv shows it, the way SQLite gives it as text; null for NULL.
QString shownAs(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType: return QString();
    case QMetaType::LongLong: return QString::number(value.toLongLong());
    case QMetaType::Double: {
        char* text = sqlite3_mprintf("%!.15g", value.toDouble()); // as SQLite turns a real into text
        const QString shown = QString::fromUtf8(text);
        sqlite3_free(text);
        return shown;
    }
    case QMetaType::QByteArray: return QString::fromUtf8(value.toByteArray());
    default: {
        QString text = value.toString();
        if (text.isNull()) text = QLatin1String(""); // text, even when empty, is no NULL
        return text;
    }
    }
}
} // namespace

void Database::insertAll(const QList<TypedRow>& rows, const std::function<bool(double)>& progress) {
    insertRows(
        rows,
        [](SQLite::Statement& q, int at, const TypedRow& row) {
            bindValue(q, at, row.o);
            bindValue(q, at + 1, row.p);
            bindValue(q, at + 2, row.v);
        },
        progress);
}

void Database::appendAll(const QList<Row>& rows) {
    writing([&] { insertAll(rows); });
}

qint64 Database::addMissing(const QList<TypedRow>& rows, const std::function<bool(double)>& progress) {
    return writing([&] {
        // Rows are compared exactly as shown, NULL apart from empty text, object by object: what
        // each object holds now, less what earlier rows of the list were matched against.
        // Matching takes the first half of the progress, adding the second.
        const auto field = [](const QString& text) { return text.isNull() ? QString(QChar(1)) : QChar(2) + text; };
        const auto key = [&](const QString& o, const QString& p, const QString& v) {
            return field(o) + QChar(0) + field(p) + QChar(0) + field(v);
        };
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
            const QString o = shownAs(r.o);
            auto object = held.find(field(o));
            if (object == held.end()) {
                object = held.insert(field(o), {});
                for (const StoredRow& s : storedRowsOfObject(o))
                    if (field(s.row.o) == field(o)) ++(*object)[key(s.row.o, s.row.p, s.row.v)];
            }
            int& count = (*object)[key(o, shownAs(r.p), shownAs(r.v))];
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

qint64 Database::addMissing(const QList<Row>& rows, const std::function<bool(double)>& progress) {
    QList<TypedRow> typed;
    typed.reserve(rows.size());
    for (const Row& r : rows) typed.push_back({r.o, r.p, r.v});
    return addMissing(typed, progress);
}

QString Database::createObject(Clock& clock,
                               const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) {
    for (;;) {
        const QDateTime now = clock.now();
        const QString candidate = kObjectPrefix + now.toString(QStringLiteral("yyyyMMddHHmmss"));
        enum { Taken, Refused, Made } outcome = Taken;
        guarded([&] {
            // The identifier is checked and used under one write lock, so no other program can
            // take it in between.
            SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
            if (isTaken(candidate)) return;
            const std::optional<QList<Row>> rows = rowsFor(candidate);
            outcome = Refused;
            if (!rows) return;
            insertAll(*rows);
            t.commit();
            outcome = Made;
        });
        if (outcome == Made) return candidate;
        if (outcome == Refused) return QString();
        // Identifiers have a resolution of one second: wait for the next one, without the lock.
        clock.sleepMs(1000 - now.time().msec());
    }
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
