// The server engine's connection: finding which database a connection names, connecting, running
// a statement with its values bound, errors in words, and the table and indexes Olv needs.

#include "pgcommon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <poll.h>

namespace olv {

using namespace pg;

// --- Naming the database ------------------------------------------------------------------------

bool isServerConnection(const QString& connection) {
    // libpq's URIs, and its key=value form ("host=... dbname=olv", "service=olv"); a path never
    // begins with a keyword and "=".
    static const QRegularExpression keyword(QStringLiteral("^\\s*[A-Za-z_]+\\s*="));
    return connection.startsWith(QLatin1String("postgresql://")) || connection.startsWith(QLatin1String("postgres://")) ||
           keyword.match(connection).hasMatch();
}

namespace {

QString nameOf(const QString& user, const QString& host, const QString& dbname) {
    return QStringLiteral("%1@%2/%3").arg(user, host.isEmpty() ? QStringLiteral("localhost") : host, dbname);
}

} // namespace

QString displayNameOf(const QString& connection) {
    if (!isServerConnection(connection)) return QDir::toNativeSeparators(connection);
    char* error = nullptr;
    PQconninfoOption* given = PQconninfoParse(connection.toUtf8().constData(), &error);
    if (!given) {
        PQfreemem(error);
        return QStringLiteral("(unreadable connection)"); // libpq's words on it would quote it
    }
    // What is not given comes from the environment and libpq's defaults, as when connecting.
    PQconninfoOption* defaults = PQconndefaults();
    const auto option = [&](const char* keyword) {
        for (const PQconninfoOption* o = given; o->keyword; ++o)
            if (qstrcmp(o->keyword, keyword) == 0 && o->val && *o->val) return QString::fromUtf8(o->val);
        for (const PQconninfoOption* o = defaults; o && o->keyword; ++o)
            if (qstrcmp(o->keyword, keyword) == 0 && o->val && *o->val) return QString::fromUtf8(o->val);
        return QString();
    };
    const QString user = option("user"), dbname = option("dbname");
    const QString name = nameOf(user, option("host"), dbname.isEmpty() ? user : dbname);
    PQconninfoFree(given);
    PQconninfoFree(defaults);
    return name;
}

// --- Values and answers -------------------------------------------------------------------------

namespace pg {

Params& Params::text(const QString& value) {
    m_values.push_back(value.toUtf8());
    m_null.push_back(value.isNull());
    return *this;
}

Params& Params::number(qint64 value) {
    m_values.push_back(QByteArray::number(value));
    m_null.push_back(false);
    return *this;
}

Params& Params::texts(const QStringList& values) {
    // An array in the server's own text form: every element quoted, NULL bare.
    QByteArray a = "{";
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i) a += ',';
        if (values[i].isNull()) {
            a += "NULL";
            continue;
        }
        a += '"';
        for (const char c : values[i].toUtf8()) {
            if (c == '"' || c == '\\') a += '\\';
            a += c;
        }
        a += '"';
    }
    a += '}';
    m_values.push_back(std::move(a));
    m_null.push_back(false);
    return *this;
}

std::vector<const char*> Params::pointers() const {
    std::vector<const char*> p;
    for (size_t i = 0; i < m_values.size(); ++i) p.push_back(m_null[i] ? nullptr : m_values[i].constData());
    return p;
}

Result::~Result() { PQclear(m_r); }
int Result::rows() const { return PQntuples(m_r); }
bool Result::isNull(int row, int column) const { return PQgetisnull(m_r, row, column); }
QString Result::text(int row, int column) const {
    if (PQgetisnull(m_r, row, column)) return QString();
    const int length = PQgetlength(m_r, row, column);
    return length ? QString::fromUtf8(PQgetvalue(m_r, row, column), length) : QStringLiteral("");
}
qint64 Result::number(int row, int column) const { return QByteArray(PQgetvalue(m_r, row, column)).toLongLong(); }
qint64 Result::affected() const { return QByteArray(PQcmdTuples(m_r)).toLongLong(); }

} // namespace pg

// --- Connections kept between commands -----------------------------------------------------------

namespace {

// Every command opens the database afresh. On a server that would be a new connection each time,
// with its log-in and the schema's checks, which take longer than most commands' statements; so a
// command's connection is kept, idle, for the next command on the same database.
struct IdleConnection {
    pg_conn* conn;
    QString name;
    Engine::Abilities abilities;
    bool history;
    bool prepared;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
};

class IdleConnections {
public:
    // Few commands of one program run at once; more kept idle would only take up connections
    // the server allows others.
    static constexpr qsizetype kKeep = 4;
    // Past this, an idle connection is not trusted: a network that dropped it says nothing, and
    // what the user may do there (or whether the history exists) may have changed meanwhile.
    static constexpr std::chrono::seconds kIdleFor{60};

    static IdleConnections& instance() {
        static IdleConnections idle;
        return idle;
    }
    // Not after the program's end has closed them all.
    static bool open() { return !s_closed; }

    std::optional<IdleConnection> take(const QString& connection) {
        QList<IdleConnection> stale;
        std::optional<IdleConnection> taken;
        {
            const std::lock_guard lock(m_mutex);
            auto it = m_idle.find(connection);
            if (it == m_idle.end()) return std::nullopt;
            // Kept in the order given back: the oldest first.
            const auto old = std::chrono::steady_clock::now() - kIdleFor;
            while (!it->isEmpty() && it->first().since < old) stale.push_back(it->takeFirst());
            if (!it->isEmpty()) taken = it->takeLast();
        }
        for (const IdleConnection& idle : stale) PQfinish(idle.conn);
        return taken;
    }
    void give(const QString& connection, const IdleConnection& idle) {
        {
            const std::lock_guard lock(m_mutex);
            QList<IdleConnection>& kept = m_idle[connection];
            if (kept.size() < kKeep) {
                kept.push_back(idle);
                return;
            }
        }
        PQfinish(idle.conn);
    }
    void closeAll() {
        s_closed = true;
        QHash<QString, QList<IdleConnection>> idle;
        {
            const std::lock_guard lock(m_mutex);
            idle.swap(m_idle);
        }
        for (const QList<IdleConnection>& kept : std::as_const(idle))
            for (const IdleConnection& one : kept) PQfinish(one.conn);
    }
    ~IdleConnections() { closeAll(); }

private:
    IdleConnections() = default;
    std::mutex m_mutex;
    QHash<QString, QList<IdleConnection>> m_idle;
    static inline std::atomic<bool> s_closed = false;
};

// Whether a connection that lay idle is still open, without a round trip. Nothing is sent to an
// idle connection of ours (it listens for nothing) unless the server ends it: its last words, then
// the end of the stream. A server that went away without a word is found by the command's first
// statement, which then fails as any lost connection does; the command after connects anew.
bool stillConnected(pg_conn* conn) {
    if (PQstatus(conn) != CONNECTION_OK || PQtransactionStatus(conn) != PQTRANS_IDLE) return false;
    pollfd fd{PQsocket(conn), POLLIN, 0};
    return poll(&fd, 1, 0) == 0;
}

} // namespace

bool PgEngine::takeIdle(bool prepare) {
    while (std::optional<IdleConnection> idle = IdleConnections::instance().take(m_connection)) {
        if (!stillConnected(idle->conn)) {
            PQfinish(idle->conn);
            continue;
        }
        m_conn = idle->conn;
        m_name = idle->name;
        m_abilities = idle->abilities;
        m_history = idle->history;
        m_prepared = idle->prepared;
        if (prepare && !m_prepared) {
            try {
                checkSchema(true);
            } catch (...) {
                PQfinish(m_conn);
                m_conn = nullptr;
                throw;
            }
            m_prepared = true;
        }
        return true;
    }
    return false;
}

void PgEngine::closeIdleConnections() { IdleConnections::instance().closeAll(); }

void PgEngine::giveBack() {
    // Cancel answers are for this command alone.
    m_keepGoing = {};
    // A connection that only looked (an import's source, a check) is not needed again.
    if (m_prepared && IdleConnections::open() && PQstatus(m_conn) == CONNECTION_OK &&
        PQtransactionStatus(m_conn) == PQTRANS_IDLE)
        IdleConnections::instance().give(m_connection, {m_conn, m_name, m_abilities, m_history, m_prepared});
    else
        PQfinish(m_conn);
    m_conn = nullptr;
}

// --- Connecting ---------------------------------------------------------------------------------

namespace {

// libpq's connect_timeout in milliseconds (at least two seconds, as libpq takes it), or 0 for none.
int connectTimeoutOf(PGconn* conn) {
    int seconds = 0;
    if (PQconninfoOption* options = PQconninfo(conn)) {
        for (const PQconninfoOption* o = options; o->keyword; ++o)
            if (qstrcmp(o->keyword, "connect_timeout") == 0 && o->val) seconds = QByteArray(o->val).trimmed().toInt();
        PQconninfoFree(options);
    }
    return seconds <= 0 ? 0 : std::max(seconds, 2) * 1000;
}

} // namespace

void PgEngine::connect(const QString& connection) {
    // libpq's own words on a string it cannot read quote the string, which may hold a password.
    char* unreadable = nullptr;
    if (PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &unreadable)) {
        PQconninfoFree(options);
    } else {
        PQfreemem(unreadable);
        throw StoreError(m_name, QStringLiteral("the connection is not written as libpq reads it (postgresql://user@host/dbname, "
                                                "host=... dbname=... or service=...)"));
    }
    // Step by step rather than PQconnectdb, which blocks until the server answers or the timeout
    // ends: a host that never answers would freeze the window with no way out. With several hosts
    // given, a timeout ends the attempt rather than moving on to the next.
    m_conn = PQconnectStart(connection.toUtf8().constData());
    if (!m_conn) throw StoreError(m_name, QStringLiteral("there is not enough memory to connect"));
    const auto giveUp = [&] {
        PQfinish(m_conn);
        m_conn = nullptr;
    };
    PostgresPollingStatusType state = PQstatus(m_conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    const int timeout = connectTimeoutOf(m_conn);
    QElapsedTimer waited;
    int socket = -1;
    bool timedOut = false;
    while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        // The timeout counts for each server tried, as libpq counts it.
        if (PQsocket(m_conn) != socket) {
            socket = PQsocket(m_conn);
            waited.start();
        }
        pollfd fd{socket, short(state == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        if (socket < 0 || poll(&fd, 1, 100) != 0) state = PQconnectPoll(m_conn);
        if (state == PGRES_POLLING_OK || state == PGRES_POLLING_FAILED) break;
        if (m_keepGoing && !m_keepGoing()) {
            giveUp();
            throw Cancelled();
        }
        if (timeout && waited.elapsed() >= timeout) {
            timedOut = true;
            break;
        }
    }
    if (state == PGRES_POLLING_OK) return;
    if (!timedOut && PQconnectionNeedsPassword(m_conn)) {
        giveUp();
        throw StoreError(m_name, StoreError::kNeedsPassword);
    }
    // libpq's words, first line only; they never hold the password.
    const QString why = timedOut ? QStringLiteral("timeout expired")
                                 : QString::fromUtf8(PQerrorMessage(m_conn)).trimmed().section(QLatin1Char('\n'), 0, 0);
    giveUp();
    throw StoreError(m_name, QStringLiteral("the server cannot be reached (%1)").arg(why));
}

PgEngine::PgEngine(const QString& connection, bool prepare, KeepGoing keepGoing)
    : m_connection(connection), m_name(displayNameOf(connection)), m_keepGoing(std::move(keepGoing)) {
    if (takeIdle(prepare)) return;
    connect(connection);
    m_name = nameOf(QString::fromUtf8(PQuser(m_conn)), QString::fromUtf8(PQhost(m_conn)), QString::fromUtf8(PQdb(m_conn)));
    try {
        // Quiet: notices ("already exists, skipping") are no business of the user's.
        exec("SET client_min_messages = warning");
        checkSchema(prepare);
        m_prepared = prepare;
    } catch (...) {
        PQfinish(m_conn);
        m_conn = nullptr;
        throw;
    }
}

PgEngine::~PgEngine() {
    if (m_conn) giveBack();
}

Result PgEngine::exec(const char* sql, const Params& params) {
    const std::vector<const char*> values = params.pointers();
    if (!PQsendQueryParams(m_conn, sql, params.size(), nullptr, values.data(), nullptr, nullptr, 0)) fail(nullptr);
    // Waited for in slices, so that keepGoing may call a long statement off.
    bool cancelled = false;
    while (PQisBusy(m_conn)) {
        pollfd fd{PQsocket(m_conn), POLLIN, 0};
        poll(&fd, 1, 100);
        if (!PQconsumeInput(m_conn)) break;
        if (!cancelled && m_keepGoing && !m_keepGoing()) {
            cancelled = true;
            if (PGcancel* cancel = PQgetCancel(m_conn)) {
                char error[256];
                PQcancel(cancel, error, sizeof error);
                PQfreeCancel(cancel);
            }
        }
    }
    PGresult* last = nullptr;
    while (PGresult* r = PQgetResult(m_conn)) {
        PQclear(last);
        last = r;
    }
    const ExecStatusType status = last ? PQresultStatus(last) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return Result(last);
    if (cancelled && last && qstrcmp(PQresultErrorField(last, PG_DIAG_SQLSTATE), "57014") == 0) {
        PQclear(last);
        throw Cancelled();
    }
    fail(last);
}

void PgEngine::fail(PGresult* r) {
    const QByteArray state = r ? QByteArray(PQresultErrorField(r, PG_DIAG_SQLSTATE)) : QByteArray();
    QString reason = r ? QString::fromUtf8(PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY)) : QString();
    PQclear(r);
    if (PQstatus(m_conn) != CONNECTION_OK || state.startsWith("08") || state.startsWith("57P"))
        reason = QStringLiteral("the connection to the server was lost, and nothing of this command was kept");
    else if (state == "42501")
        reason = QStringLiteral("the database user may not do this (%1)").arg(reason);
    else if (state == "25006")
        reason = QStringLiteral("the database may only be read");
    else if (state == "55P03" || state == "40P01" || state == "40001")
        reason = StoreError::kBusy;
    else if (reason.isEmpty())
        reason = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    throw StoreError(m_name, reason);
}

// --- What Olv needs in the database -------------------------------------------------------------

namespace {

// Each part, with the name it is known by once made.
struct Part {
    const char* name;
    const char* sql;
};
// Rows keep the order they were stored in by their number. Exact searches ignore ASCII letter
// case through lower() in the "C" collation, which folds ASCII alone whatever the database's
// locale, as SQLite's NOCASE does; other alphabets are spelt out in the search. Hash indexes
// take values of any length, where a B-tree refuses long ones. The trigram index narrows
// searches for what a value contains.
const Part kParts[] = {
    {"data", "CREATE TABLE IF NOT EXISTS data (rowid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
             "o text, p text, v text)"},
    {"pg_trgm", "CREATE EXTENSION IF NOT EXISTS pg_trgm"},
    {"data_o_lower", "CREATE INDEX IF NOT EXISTS data_o_lower ON data USING hash (lower(o COLLATE \"C\"))"},
    {"data_v_lower", "CREATE INDEX IF NOT EXISTS data_v_lower ON data USING hash (lower(v COLLATE \"C\"))"},
    {"data_v_trigrams", "CREATE INDEX IF NOT EXISTS data_v_trigrams ON data USING gin (v gin_trgm_ops)"},
    // The history: the steps Olv's commands take, and every change to a row, whoever makes it,
    // kept by a trigger. Olv names the step its write belongs to in a setting local to the
    // transaction. Writers interleave, so a step's changes are found by its number, not a range.
    // The time is the step's where there is one, else the change's own.
    {"data_steps", "CREATE TABLE IF NOT EXISTS data_steps (step bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
                   "what text NOT NULL, kind text NOT NULL, target bigint, undone_by bigint, "
                   "at timestamptz NOT NULL DEFAULT clock_timestamp(), who text NOT NULL DEFAULT current_user)"},
    {"data_history", "CREATE TABLE IF NOT EXISTS data_history (seq bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
                     "step bigint, at timestamptz, who text NOT NULL DEFAULT current_user, data_row bigint NOT NULL, "
                     "kind text NOT NULL, old_o text, old_p text, old_v text, new_o text, new_p text, new_v text)"},
    {"data_history_step", "CREATE INDEX IF NOT EXISTS data_history_step ON data_history (step)"},
    {"data_history_new_o",
     "CREATE INDEX IF NOT EXISTS data_history_new_o ON data_history USING hash (lower(new_o COLLATE \"C\"))"},
    // Rows that left an object: deleted, or moved to another.
    {"data_history_old_o", "CREATE INDEX IF NOT EXISTS data_history_old_o ON data_history USING hash "
                           "(lower(old_o COLLATE \"C\")) WHERE old_o IS NOT NULL AND old_o IS DISTINCT FROM new_o"},
    {"data_keep_history",
     "CREATE OR REPLACE FUNCTION data_keep_history() RETURNS trigger LANGUAGE plpgsql AS $$ "
     "DECLARE s bigint := nullif(current_setting('olv.step', true), '')::bigint; "
     "t timestamptz := CASE WHEN s IS NULL THEN clock_timestamp() END; "
     "BEGIN "
     "IF TG_OP = 'INSERT' THEN "
     "INSERT INTO data_history (step, at, data_row, kind, new_o, new_p, new_v) "
     "VALUES (s, t, new.rowid, 'insert', new.o, new.p, new.v); "
     "ELSIF TG_OP = 'UPDATE' THEN "
     "IF old.o IS DISTINCT FROM new.o OR old.p IS DISTINCT FROM new.p OR old.v IS DISTINCT FROM new.v THEN "
     "INSERT INTO data_history (step, at, data_row, kind, old_o, old_p, old_v, new_o, new_p, new_v) "
     "VALUES (s, t, new.rowid, 'update', old.o, old.p, old.v, new.o, new.p, new.v); END IF; "
     "ELSE "
     "INSERT INTO data_history (step, at, data_row, kind, old_o, old_p, old_v) "
     "VALUES (s, t, old.rowid, 'delete', old.o, old.p, old.v); "
     "END IF; RETURN NULL; END $$"},
    {"data_history_kept", "CREATE OR REPLACE TRIGGER data_history_kept AFTER INSERT OR UPDATE OR DELETE ON data "
                          "FOR EACH ROW EXECUTE FUNCTION data_keep_history()"},
};
const char* const kHistoryParts[] = {"data_steps", "data_history", "data_keep_history", "data_history_kept"};

} // namespace

QStringList PgEngine::schemaStatements() {
    QStringList statements;
    for (const Part& p : kParts) statements << QString::fromLatin1(p.sql) + QLatin1Char(';');
    return statements;
}

void PgEngine::checkSchema(bool prepare) {
    const auto present = [&] {
        QStringList names;
        for (const Part& p : kParts) names << QString::fromLatin1(p.name);
        const Result r = exec("SELECT n FROM unnest($1::text[]) n WHERE to_regclass(n) IS NOT NULL "
                              "OR n IN (SELECT extname FROM pg_extension) OR to_regprocedure(n || '()') IS NOT NULL "
                              "OR n IN (SELECT tgname FROM pg_trigger WHERE tgrelid = to_regclass('data'))",
                              Params().texts(names));
        QStringList found;
        for (int i = 0; i < r.rows(); ++i) found << r.text(i, 0);
        return found;
    };
    QStringList found = present();
    if (!prepare && !found.contains(QStringLiteral("data"))) throw StoreError(m_name, QStringLiteral("it has no table data"));
    if (prepare && found.size() < qsizetype(std::size(kParts))) {
        try {
            transaction([&] {
                exec("SELECT pg_advisory_xact_lock($1)", Params().number(kSchemaLock));
                for (const Part& p : kParts) exec(p.sql);
            });
            found = present();
        } catch (const StoreError&) {
            if (PQstatus(m_conn) != CONNECTION_OK) throw;
            // Not allowed: without the indexes searches are slower, but without the table
            // there is nothing to work on.
            if (!found.contains(QStringLiteral("data")))
                throw StoreError(m_name, QStringLiteral("it has no table data, and this database user may not make "
                                                        "it; an administrator can make it with: %1")
                                             .arg(schemaStatements().join(QLatin1Char(' '))));
        }
    }
    const Result columns = exec("SELECT count(*) FROM pg_attribute WHERE attrelid = 'data'::regclass AND NOT attisdropped "
                                "AND attname IN ('rowid', 'o', 'p', 'v')");
    if (columns.number(0, 0) != 4) throw StoreError(m_name, QStringLiteral("its table data lacks the columns rowid, o, p and v"));
    m_history = std::all_of(std::begin(kHistoryParts), std::end(kHistoryParts),
                            [&](const char* part) { return found.contains(QString::fromLatin1(part)); });
    // Writing takes the rows, and where there is a history, its steps and records too.
    const Result can = exec(
        "SELECT has_table_privilege('data', 'INSERT') AND has_table_privilege('data', 'UPDATE') "
        "AND has_table_privilege('data', 'DELETE') AND current_setting('transaction_read_only') = 'off' "
        "AND (NOT $1 OR (has_table_privilege('data_steps', 'INSERT') AND has_table_privilege('data_steps', 'UPDATE') "
        "AND has_table_privilege('data_history', 'INSERT')))",
        Params().text(m_history ? QStringLiteral("true") : QStringLiteral("false")));
    m_abilities = {.indexUpkeep = false, .writable = can.text(0, 0) == QLatin1String("t"), .history = m_history};
}

} // namespace olv
