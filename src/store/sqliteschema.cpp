// The search helpers beside DATA: which a file lacks or holds out of step, and making them.

#include "sqlitecommon.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <sqlite3.h>
#include <algorithm>

namespace olv {

using namespace sqlite;

namespace {

// Helpers that make searches fast. Everything here is built into SQLite, so the stock sqlite3
// shell keeps reading and writing the file, and its writes keep the trigram index in step.
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

// Below this many rows the indexes are made in well under a second, without a word.
constexpr qint64 kQuickRepairRows = 50000;

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

} // namespace

Plan sqlite::planFor(SQLite::Database& db, const QString& path) {
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
namespace {

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

} // namespace olv
