// The desktop files that an install puts in place: the menu entry and the AppStream description
// pass their validators (where the tools are installed), and the entry's command line starts the
// real program on a file or a server database, under a throwaway X server, typed into as a user
// would. The program also prints what an administrator runs to make a server database ready.

#include "pgserver.h"
#include "store/store.h"

#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

namespace {

const QString kFolder = QStringLiteral(OLV_SOURCE_DIR "/packaging/");

// The tool's exit code and what it said, or -1 when it is not installed.
std::pair<int, QString> validate(const QString& tool, const QStringList& args) {
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty()) return {-1, QString()};
    QProcess p;
    p.start(path, args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

// A throwaway X server of our own, and xdotool to type into it.
struct XServer {
    QProcess server;
    QString display;

    bool start() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty()) return false;
        // -displayfd picks a free display and writes its number to the given descriptor (1: our pipe).
        server.start(xvfb, {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
        if (!server.waitForStarted()) return false;
        while (!server.canReadLine() && server.waitForReadyRead(20000)) {}
        const QString number = QString::fromLatin1(server.readLine()).trimmed();
        if (number.isEmpty()) return false;
        display = ':' + number;
        return true;
    }
    QString tool(const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        p.setProcessEnvironment(env);
        p.start(QStandardPaths::findExecutable("xdotool"), args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    ~XServer() {
        server.terminate();
        server.waitForFinished(5000);
    }
};

} // namespace

class PackagingTest : public QObject {
    Q_OBJECT
private slots:
    void menuEntryIsValid() {
        const auto [code, said] = validate("desktop-file-validate", {kFolder + "org.olvproject.Olv.desktop"});
        if (code < 0) QSKIP("desktop-file-validate is not installed");
        QVERIFY2(code == 0 && said.trimmed().isEmpty(), qPrintable(said));
    }

    // The menu's command line with a file: the search typed at once runs on that file (which gets
    // its search indexes then), the default database is never made, and a missing file is not
    // created. Without a file, the default database is made on first start.
    void menuEntryStartsOlvOnAFile() {
        QSettings entry(kFolder + "org.olvproject.Olv.desktop", QSettings::IniFormat);
        entry.beginGroup("Desktop Entry");
        const QString exec = entry.value("Exec").toString();
        QCOMPARE(exec, QStringLiteral("olv %f"));
        QCOMPARE(entry.value("Icon").toString(), QStringLiteral("org.olvproject.Olv"));
        QVERIFY(QFile::exists(kFolder + "org.olvproject.Olv.svg"));

        XServer x;
        QVERIFY2(x.start(), "Xvfb and xdotool, which scripts/setup installs, are needed");
        QTemporaryDir home;
        const QString file = home.filePath("stamps.mdb");
        {
            SQLite::Database db(file.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT); INSERT INTO DATA VALUES ('OlObjA', 'Name', 'red')");
        }
        const QString defaultDb = home.filePath("Olv/Olv.mdb");
        auto tables = [&] {
            try { // the program may be writing just then
                SQLite::Database db(file.toStdString(), SQLite::OPEN_READONLY, 5000);
                return db.execAndGet("SELECT count(*) FROM sqlite_master WHERE name = 'DATA_HELPERS'").getInt();
            } catch (const SQLite::Exception&) {
                return -1;
            }
        };
        QCOMPARE(tables(), 0);

        auto run = [&](const QString& argument, auto&& check) {
            const QStringList words = QString(exec).replace("%f", argument).split(' ', Qt::SkipEmptyParts);
            QProcess olv;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home.path());
            env.insert("DISPLAY", x.display);
            env.insert("QT_QPA_PLATFORM", "xcb");
            olv.setProcessEnvironment(env);
            olv.start(QStringLiteral(OLV_BINARY_DIR "/") + words.first(), words.mid(1));
            QVERIFY(olv.waitForStarted());
            const QString window = x.tool({"search", "--sync", "--onlyvisible", "--name", "^Olv :: Olvarion$"});
            QVERIFY2(!window.isEmpty(), "the main window did not show");
            x.tool({"windowfocus", "--sync", window.split('\n').first()});
            x.tool({"type", "--delay", "20", "red"});
            x.tool({"key", "Return"});
            check();
            olv.terminate();
            QVERIFY(olv.waitForFinished(10000));
        };
        run(file, [&] { QTRY_COMPARE_WITH_TIMEOUT(tables(), 1, 20000); });
        QVERIFY(!QFileInfo::exists(defaultDb));

        const QString missing = home.filePath("missing.mdb");
        run(missing, [&] { QTest::qWait(1500); });
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!QFileInfo::exists(defaultDb));

        run(QString(), [&] { QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(defaultDb), 20000); });
    }

    // Printed without a display; run by an administrator as given, they make a database that the
    // program then uses as it is.
    void printsTheStatementsThatMakeAServerDatabaseReady() {
        QProcess olv;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        olv.setProcessEnvironment(env);
        olv.start(QStringLiteral(OLV_BINARY_DIR "/olv"), {"--print-server-schema"});
        QVERIFY(olv.waitForFinished(20000));
        QCOMPARE(olv.exitStatus(), QProcess::NormalExit);
        QCOMPARE(olv.exitCode(), 0);
        QCOMPARE(olv.readAllStandardError(), QByteArray());
        const QString said = QString::fromUtf8(olv.readAllStandardOutput());
        QVERIFY2(said.contains("CREATE EXTENSION IF NOT EXISTS pg_trgm") && said.contains("CREATE TABLE"), qPrintable(said));
        QVERIFY(said.trimmed().endsWith(';'));

        OLV_NEEDS_SERVER();
        olv::test::PgServer& server = olv::test::PgServer::instance();
        const QString connection = server.newDatabase();
        server.exec(connection, said);
        server.exec(connection, "INSERT INTO data (o, p, v) VALUES ('OlObjA', 'Name', 'red')");
        olv::Database db(connection);
        QVERIFY(db.abilities().writable && db.abilities().history);
        QCOMPARE(db.findObjects("RED", false), QStringList{"OlObjA"});
    }

    // "olv postgresql://..." starts on that database, which gets its table on first connect.
    void startsOnAServerDatabase() {
        OLV_NEEDS_SERVER();
        olv::test::PgServer& server = olv::test::PgServer::instance();
        const QString connection = server.newDatabase();
        const QString uri = QStringLiteral("postgresql:///%1?host=%2&port=5432&user=%3")
                                .arg(connection.section("dbname=", 1),
                                     QString(QUrl::toPercentEncoding(connection.section("host=", 1).section(' ', 0, 0))),
                                     connection.section("user=", 1).section(' ', 0, 0));
        const QString hasTable = "SELECT to_regclass('data') IS NOT NULL";
        QCOMPARE(server.exec(connection, hasTable), QStringLiteral("f"));

        XServer x;
        QVERIFY2(x.start(), "Xvfb and xdotool, which scripts/setup installs, are needed");
        QTemporaryDir home;
        QProcess olv;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("DISPLAY", x.display);
        env.insert("QT_QPA_PLATFORM", "xcb");
        olv.setProcessEnvironment(env);
        olv.start(QStringLiteral(OLV_BINARY_DIR "/olv"), {uri});
        QVERIFY(olv.waitForStarted());
        const QString window = x.tool({"search", "--sync", "--onlyvisible", "--name", "^Olv :: Olvarion$"});
        QVERIFY2(!window.isEmpty(), "the main window did not show");
        QTRY_COMPARE_WITH_TIMEOUT(server.exec(connection, hasTable), QStringLiteral("t"), 20000);
        QVERIFY(!QFileInfo::exists(home.filePath("Olv/Olv.mdb")));
        olv.terminate();
        QVERIFY(olv.waitForFinished(10000));
    }

    void appStreamDescriptionIsValid() {
        const auto [code, said] =
            validate("appstreamcli", {"validate", "--no-net", kFolder + "org.olvproject.Olv.metainfo.xml"});
        if (code < 0) QSKIP("appstreamcli is not installed");
        QVERIFY2(code == 0, qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(PackagingTest)
#include "test_packaging.moc"
