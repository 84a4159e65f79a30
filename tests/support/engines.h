#pragma once
// Tests that run once on a file and once on a server database: a fresh database of either kind,
// straight SQL past the store as another program writes it, and a main() that runs each test
// class in turn.

#include "pgserver.h"
#include "store/store.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <initializer_list>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace olv::test {

// The role a person using a shared database has: rows and history, nothing more.
inline constexpr const char* kUserRole = "olv_user";

// An empty database for one test: a new one on the server, its table made as an administrator
// would make it and used as a person's role (see kUserRole), or the file at path made afresh.
// Answers its connection.
inline QString freshDatabase(bool server, const QString& path) {
    if (server) {
        const QString made = PgServer::instance().newDatabase();
        Database{made};
        PgServer::instance().exec(made, QStringLiteral("DO $$ BEGIN CREATE ROLE %1 LOGIN; EXCEPTION WHEN duplicate_object THEN NULL; END $$; "
                                                       "GRANT SELECT, INSERT, UPDATE, DELETE ON data, data_steps, data_history TO %1; "
                                                       "GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(kUserRole));
        return QString(made).replace(QRegularExpression(QStringLiteral("user=\\S+")), QStringLiteral("user=") + kUserRole);
    }
    QFile::remove(path);
    Store::createIfMissing(path);
    return path;
}

// The same server database as its owner, who may change its tables.
inline QString ownerOf(const QString& connection) {
    return PgServer::instance().connection(connection.section(QStringLiteral("dbname="), 1).section(QLatin1Char(' '), 0, 0));
}

// Runs statements straight on the database, as another program does: on a file through a handle
// of its own, on a server through a connection of its own. $1, $2... in a single statement take
// args. Answers the rows of the last statement, a list of columns each; NULL is a null QString.
// Fails the test on an error.
inline QList<QStringList> rawSql(const QString& connection, const QString& sql, const QStringList& args = {}) {
    QList<QStringList> rows;
    if (isServerConnection(connection)) {
        PGconn* conn = PQconnectdb(connection.toUtf8().constData());
        QList<QByteArray> values;
        QList<const char*> pointers;
        for (const QString& a : args) values << a.toUtf8();
        for (const QByteArray& v : values) pointers << v.constData();
        PGresult* r = args.isEmpty() ? PQexec(conn, sql.toUtf8().constData())
                                     : PQexecParams(conn, sql.toUtf8().constData(), int(args.size()), nullptr,
                                                    pointers.constData(), nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
            QTest::qFail(PQerrorMessage(conn), __FILE__, __LINE__);
        for (int i = 0; i < PQntuples(r); ++i) {
            QStringList columns;
            for (int c = 0; c < PQnfields(r); ++c)
                columns << (PQgetisnull(r, i, c) ? QString() : QString::fromUtf8(PQgetvalue(r, i, c)));
            rows << columns;
        }
        PQclear(r);
        PQfinish(conn);
        return rows;
    }
    sqlite3* db = nullptr;
    sqlite3_open_v2(connection.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(db, 10000);
    const QByteArray text = sql.toUtf8();
    const char* rest = text.constData();
    QList<QByteArray> values;
    for (const QString& a : args) values << a.toUtf8();
    while (rest && *rest) {
        sqlite3_stmt* q = nullptr;
        if (sqlite3_prepare_v2(db, rest, -1, &q, &rest) != SQLITE_OK) {
            QTest::qFail(sqlite3_errmsg(db), __FILE__, __LINE__);
            break;
        }
        if (!q) continue; // white space after the last statement
        rows.clear();
        for (int i = 0; i < sqlite3_bind_parameter_count(q) && i < values.size(); ++i)
            sqlite3_bind_text(q, i + 1, values[i].constData(), int(values[i].size()), SQLITE_TRANSIENT);
        int step;
        while ((step = sqlite3_step(q)) == SQLITE_ROW) {
            QStringList columns;
            for (int c = 0; c < sqlite3_column_count(q); ++c)
                columns << (sqlite3_column_type(q, c) == SQLITE_NULL
                                ? QString()
                                : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q, c))));
            rows << columns;
        }
        if (step != SQLITE_DONE) QTest::qFail(sqlite3_errmsg(db), __FILE__, __LINE__);
        sqlite3_finalize(q);
        if (step != SQLITE_DONE) break;
    }
    sqlite3_close(db);
    return rows;
}

// Every row as stored, in the order stored, with its number.
inline QList<StoredRow> storedRows(const QString& connection) {
    QList<StoredRow> all;
    for (const QStringList& r : rawSql(connection, QStringLiteral("SELECT rowid, O, P, V FROM DATA ORDER BY rowid")))
        all.push_back({r[0].toLongLong(), {r[1], r[2], r[3]}});
    return all;
}

// Runs each test class in turn; test functions named on the command line run in the classes
// that have them.
inline int runEach(int argc, char* argv[], std::initializer_list<QObject*> tests) {
    QStringList named;
    static const QRegularExpression function(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*(:.*)?$"));
    const QStringList valued{"-o", "-maxwarnings", "-eventdelay", "-keydelay", "-mousedelay", "-seed"};
    for (int i = 1; i < argc; ++i)
        if (function.match(QString::fromLocal8Bit(argv[i])).hasMatch() && !valued.contains(QString::fromLocal8Bit(argv[i - 1])))
            named << QString::fromLocal8Bit(argv[i]).section(QLatin1Char(':'), 0, 0);
    int status = 0;
    for (QObject* test : tests) {
        const QMetaObject* meta = test->metaObject();
        const bool has = std::all_of(named.begin(), named.end(), [&](const QString& f) {
            return meta->indexOfMethod(QMetaObject::normalizedSignature(qPrintable(f + QStringLiteral("()")))) >= 0;
        });
        if (has) status |= QTest::qExec(test, argc, argv);
    }
    return status;
}

} // namespace olv::test

// What hangs on a file alone (its path, its bytes, SQLite's own SQL) runs in the file's run.
#define OLV_FILE_ONLY()                                                                                \
    do {                                                                                               \
        if (m_server) QSKIP("checked on the file");                                                           \
    } while (false)
