#include "pgserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <libpq-fe.h>
#include <cerrno>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace olv::test {

namespace {

const char* const kAccount = "olv-pgtest"; // made by scripts/setup
const char* const kSuperuser = "olv";

// The newest installed server's programs; empty when there is none.
QString serverBinaries() {
    const QString set = qEnvironmentVariable("OLV_PG_BIN");
    if (!set.isEmpty()) return set;
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl"))) return bin;
    }
    return {};
}

} // namespace

void logServerSkip(const QString& reason) {
    const QString log = qEnvironmentVariable("OLV_SKIP_LOG");
    if (log.isEmpty()) return;
    QFile f(log);
    if (f.open(QIODevice::Append | QIODevice::Text))
        f.write(QStringLiteral("%1::%2: %3\n")
                    .arg(QCoreApplication::applicationName(), QString::fromLatin1(QTest::currentTestFunction()), reason)
                    .toUtf8());
}

PgServer& PgServer::instance() {
    static PgServer server;
    return server;
}

PgServer::PgServer() {
    const QString bin = serverBinaries();
    if (bin.isEmpty()) {
        m_missing = QStringLiteral("no PostgreSQL server programs in /usr/lib/postgresql (run scripts/setup as root)");
        return;
    }
    if (geteuid() == 0) {
        const passwd* account = getpwnam(kAccount);
        if (!account) {
            m_missing = QStringLiteral("no account %1 to run the test server as (run scripts/setup as root)")
                            .arg(QString::fromLatin1(kAccount));
            return;
        }
        m_runAs = QString::fromLatin1(kAccount);
        stopLeftovers(bin);
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/olv-pg-XXXXXX"));
        dir.setAutoRemove(false);
        m_folder = dir.path();
        if (!dir.isValid() || chown(QFile::encodeName(m_folder).constData(), account->pw_uid, account->pw_gid) != 0) {
            m_missing = QStringLiteral("the test server's folder cannot be made");
            return;
        }
    } else {
        stopLeftovers(bin);
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/olv-pg-XXXXXX"));
        dir.setAutoRemove(false);
        m_folder = dir.path();
    }
    // Whose server this is, for the next test program should this one be killed before its end.
    QFile owner(m_folder + QStringLiteral("/test.pid"));
    if (owner.open(QIODevice::WriteOnly)) owner.write(QByteArray::number(qint64(getpid())));
    const QString data = m_folder + QStringLiteral("/data");
    QString output;
    if (!run(bin + QStringLiteral("/initdb"),
             {QStringLiteral("--pgdata=") + data, QStringLiteral("--username=") + QString::fromLatin1(kSuperuser),
              QStringLiteral("--auth=trust"), QStringLiteral("--encoding=UTF8"), QStringLiteral("--locale=C.UTF-8"),
              QStringLiteral("--no-sync")},
             &output)) {
        m_missing = QStringLiteral("initdb failed: ") + output.trimmed().section(QLatin1Char('\n'), -1);
        return;
    }
    // One role must give a password, for the tests of a server that asks for one.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::ReadOnly)) {
        m_missing = QStringLiteral("initdb made no pg_hba.conf");
        return;
    }
    const QByteArray rules = "local all " + QByteArray(kPasswordRole) + " scram-sha-256\n" + hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) || hba.write(rules) != rules.size()) {
        m_missing = QStringLiteral("the test server's pg_hba.conf cannot be written");
        return;
    }
    hba.close();
    // Only the socket in the folder; nothing written that need survive the run.
    const QString options = QStringLiteral("-c listen_addresses='' -k %1 -c fsync=off -c full_page_writes=off "
                                           "-c synchronous_commit=off")
                                .arg(m_folder);
    if (!run(bin + QStringLiteral("/pg_ctl"),
             {QStringLiteral("--pgdata=") + data, QStringLiteral("--log=") + m_folder + QStringLiteral("/log"),
              QStringLiteral("--wait"), QStringLiteral("--silent"), QStringLiteral("-o"), options, QStringLiteral("start")},
             &output)) {
        QFile log(m_folder + QStringLiteral("/log"));
        const QString why = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : output;
        m_missing = QStringLiteral("the test server did not start: ") + why.trimmed().section(QLatin1Char('\n'), -1);
        return;
    }
    m_started = true;
}

void PgServer::stopLeftovers(const QString& bin) const {
    const QDir temp(QDir::tempPath());
    for (const QString& name : temp.entryList({QStringLiteral("olv-pg-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString folder = temp.filePath(name);
        QFile owner(folder + QStringLiteral("/test.pid"));
        if (!owner.open(QIODevice::ReadOnly)) continue; // still being made, or not ours to judge
        const pid_t pid = pid_t(owner.readAll().trimmed().toLongLong());
        if (pid <= 0 || kill(pid, 0) == 0 || errno != ESRCH) continue; // its test program runs
        QProcess p;
        p.setWorkingDirectory(folder);
        const QStringList args{QStringLiteral("--pgdata=") + folder + QStringLiteral("/data"), QStringLiteral("--mode=immediate"),
                               QStringLiteral("--wait"), QStringLiteral("--silent"), QStringLiteral("stop")};
        if (m_runAs.isEmpty()) p.start(bin + QStringLiteral("/pg_ctl"), args);
        else p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), m_runAs, QStringLiteral("--"), bin + QStringLiteral("/pg_ctl")} + args);
        p.waitForFinished(60000);
        QDir(folder).removeRecursively();
    }
}

PgServer::~PgServer() {
    if (m_started)
        run(serverBinaries() + QStringLiteral("/pg_ctl"),
            {QStringLiteral("--pgdata=") + m_folder + QStringLiteral("/data"), QStringLiteral("--mode=immediate"),
             QStringLiteral("--wait"), QStringLiteral("--silent"), QStringLiteral("stop")});
    if (!m_folder.isEmpty()) QDir(m_folder).removeRecursively();
}

bool PgServer::run(const QString& program, const QStringList& args, QString* output) const {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_folder); // the account may not enter the folder the tests run in
    if (m_runAs.isEmpty()) p.start(program, args);
    else p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), m_runAs, QStringLiteral("--"), program} + args);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output) *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

QString PgServer::connection(const QString& dbname) const {
    return QStringLiteral("host=%1 port=5432 user=%2 dbname=%3").arg(m_folder, QString::fromLatin1(kSuperuser), dbname);
}

QString PgServer::newDatabase() {
    const QString name = QStringLiteral("olv_test_%1").arg(++m_databases);
    exec(connection(QStringLiteral("postgres")), QStringLiteral("CREATE DATABASE %1").arg(name));
    return connection(name);
}

QString PgServer::exec(const QString& connection, const QString& sql) const {
    PGconn* conn = PQconnectdb(connection.toUtf8().constData());
    QString result;
    if (PQstatus(conn) != CONNECTION_OK) {
        QTest::qFail(PQerrorMessage(conn), __FILE__, __LINE__);
        PQfinish(conn);
        return result;
    }
    PGresult* r = PQexec(conn, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        QTest::qFail(PQresultErrorMessage(r), __FILE__, __LINE__);
    } else {
        QStringList lines;
        for (int i = 0; i < PQntuples(r); ++i) lines << QString::fromUtf8(PQgetvalue(r, i, 0));
        result = lines.join(QLatin1Char('\n'));
    }
    PQclear(r);
    PQfinish(conn);
    return result;
}

} // namespace olv::test
