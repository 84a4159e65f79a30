#pragma once
// A throwaway PostgreSQL server for the tests: made with initdb in a temporary folder the first
// time a test asks for it, listening only on a Unix socket inside that folder, and stopped and
// removed when the test program ends. initdb and postgres refuse to run as root, so as root they
// run as the account scripts/setup makes (olv-pgtest).
//
// Where the server cannot be had (no binaries, no account), tests that need it skip with one line
// saying why, unless OLV_SERVER_REQUIRED is set (as CI does): then they fail. Skips are logged to
// OLV_SKIP_LOG for ./test's summary.

#include <QString>
#include <QtTest>

namespace olv::test {

// The one role the test server asks a password of; the tests make it.
inline constexpr const char* kPasswordRole = "olv_password";

class PgServer {
public:
    // The one server of this test program, started on first use.
    static PgServer& instance();
    ~PgServer();

    // Empty when the server runs; otherwise why it does not.
    QString missing() const { return m_missing; }
    // A new empty database on the server, and the connection string that names it.
    QString newDatabase();
    // The connection string of a database on the server (host=... port=... user=... dbname=...).
    QString connection(const QString& dbname) const;
    // Runs statements on the database as the server's superuser; answers the first column of
    // the last statement's rows, one line each (empty for none). Fails the test on an error.
    QString exec(const QString& connection, const QString& sql) const;

private:
    PgServer();
    bool run(const QString& program, const QStringList& args, QString* output = nullptr) const;
    // Stops the servers of test programs that were killed before they could, and removes them.
    void stopLeftovers(const QString& bin) const;

    QString m_folder; // removed at the end
    QString m_missing;
    QString m_runAs; // empty: this account
    int m_databases = 0;
    bool m_started = false;
};

inline bool serverRequired() { return !qEnvironmentVariable("OLV_SERVER_REQUIRED").isEmpty(); }

// Adds the skip to the list ./test prints at the end.
void logServerSkip(const QString& reason);

} // namespace olv::test

// Skips the test (or fails it where a server is required) when there is no server to test on.
#define OLV_NEEDS_SERVER()                                                                             \
    do {                                                                                               \
        const QString olvWhy = ::olv::test::PgServer::instance().missing();                           \
        if (!olvWhy.isEmpty()) {                                                                       \
            if (::olv::test::serverRequired()) QFAIL(qPrintable(olvWhy));                              \
            ::olv::test::logServerSkip(olvWhy);                                                        \
            QSKIP(qPrintable(olvWhy));                                                                 \
        }                                                                                              \
    } while (false)
