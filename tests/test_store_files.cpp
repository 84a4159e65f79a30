// The store and the database file: files it cannot use are refused with a reason and left as
// they were, and the file stays an ordinary SQLite database that the stock shell reads and
// writes without putting the store's search index out of step.

#include "store/store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;

namespace {

const QString kShell = QStringLiteral("/usr/bin/sqlite3");

// What a file looks like from outside: its bytes, its time stamp and the files beside it.
struct Snapshot {
    QByteArray hash;
    QDateTime modified;
    QStringList neighbours;
    bool operator==(const Snapshot&) const = default;

    static Snapshot of(const QString& path) {
        Snapshot s;
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) s.hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
        s.modified = QFileInfo(path).lastModified();
        s.neighbours = QFileInfo(path).dir().entryList(QDir::Files, QDir::Name);
        return s;
    }
};

} // namespace

class StoreFilesTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_file = 0;

    QString fresh(const QString& name = QString()) {
        QDir(m_dir.path()).mkdir(QString::number(++m_file));
        return m_dir.filePath(QString::number(m_file) + QLatin1Char('/') + (name.isEmpty() ? "Olv.mdb" : name));
    }
    QString writeFile(const QByteArray& bytes) {
        const QString path = fresh();
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    static void sql(const QString& path, const char* statement) {
        SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        raw.exec(statement);
    }
    // Runs the stock sqlite3 shell on the file and gives back what it printed.
    static QString shell(const QString& path, const QString& statements) {
        QProcess p;
        p.start(kShell, {"-batch", "-bail", path, statements});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            qWarning() << "sqlite3 failed:" << p.readAllStandardError();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    // Opening must fail with a reason containing reasonPart, and leave the file as it was.
    void expectRefused(const QString& path, const QString& reasonPart, bool lookupsToo = true) {
        const Snapshot before = Snapshot::of(path);
        try {
            Database db(path);
            QFAIL("the file was accepted");
        } catch (const StoreError& e) {
            QCOMPARE(e.file(), path);
            QVERIFY2(e.reason().contains(reasonPart, Qt::CaseInsensitive), qPrintable(e.reason()));
            QVERIFY(e.message().contains(QDir::toNativeSeparators(path)));
            QVERIFY(e.message().contains(e.reason()));
        }
        // The shared lookups refuse it the same way.
        if (lookupsToo) {
            QVERIFY_THROWS_EXCEPTION(StoreError, Store(path).FindClassId("x"));
            QVERIFY_THROWS_EXCEPTION(StoreError, Store(path).GetPropertyValue("OlObjA", kName));
        }
        QCOMPARE(Snapshot::of(path), before);
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // --- Files that are no usable database ----------------------------------------------------

    void aMissingFileIsReportedAndNotMade() {
        const QString path = fresh();
        QVERIFY_THROWS_EXCEPTION(StoreError, Database{path});
        try {
            Database db(path);
        } catch (const StoreError& e) {
            QCOMPARE(e.file(), path);
            QVERIFY2(e.reason().contains("not exist"), qPrintable(e.reason()));
        }
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(QDir(QFileInfo(path).path()).entryList(QDir::Files).isEmpty());
    }

    void aFolderIsNoDatabase() { expectRefused(QFileInfo(fresh()).path(), "not a file"); }

    void aTextFileIsReportedAndLeftAlone() {
        expectRefused(writeFile("Name;Colour\nLamp;red\nThis is not a database at all, just text.\n"),
                      "not a database");
    }

    void aJetFileIsReportedAndLeftAlone_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("empty Jet 4") << "mdb/jet4-adox-empty.mdb";
        QTest::newRow("Jet 4 with DATA") << "data/olv-sample.mdb";
        QTest::newRow("Jet 3") << "mdb/jet3-testV1997.mdb";
    }
    void aJetFileIsReportedAndLeftAlone() {
        QFETCH(QString, file);
        const QString original = QStringLiteral(OLV_REALWORLD_DIR "/") + file;
        if (!QFileInfo::exists(original)) QSKIP("real-world files are not available");
        const QString path = fresh(QFileInfo(file).fileName());
        QVERIFY(QFile::copy(original, path));
        expectRefused(path, "not a database");
    }

    void anEmptyFileIsReportedAndStaysEmpty() {
        const QString path = writeFile({}); // SQLite would take it for an empty database
        expectRefused(path, "DATA");
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void aDatabaseWithoutDataIsReportedAndLeftAlone() {
        const QString path = fresh();
        sql(path, "CREATE TABLE Customers (Id INTEGER, Name TEXT); INSERT INTO Customers VALUES (1, 'x');");
        expectRefused(path, "DATA");
        QCOMPARE(shell(path, "SELECT count(*) FROM sqlite_master"), QStringLiteral("1"));
    }

    void aDataTableWithoutItsColumnsIsReportedAndLeftAlone() {
        const QString path = fresh();
        sql(path, "CREATE TABLE DATA (Id INTEGER, Value TEXT)");
        expectRefused(path, "column");
        QCOMPARE(shell(path, "SELECT count(*) FROM sqlite_master"), QStringLiteral("1"));
    }

    void aFileLockedByAnotherProgramIsReportedAndLeftAlone() {
        const QString path = fresh();
        Store::createIfMissing(path);
        Database(path).append("OlObjA", kName, "kept");
        {
            SQLite::Database other(path.toStdString(), SQLite::OPEN_READWRITE);
            other.exec("BEGIN EXCLUSIVE");
            other.exec("INSERT INTO DATA VALUES ('OlObjB', 'Name', 'pending')");
            expectRefused(path, "locked", false); // each try waits a few seconds for the lock
            other.exec("ROLLBACK");
        }
        // Once the other program lets go the file is usable again, unchanged.
        Database db(path);
        QCOMPARE(db.findObjects("kept", false), QStringList{"OlObjA"});
        QCOMPARE(db.findObjects("pending", false), QStringList{});
    }

    void aTableNamedInOtherLetterCaseIsTheSameTable() {
        const QString path = fresh();
        sql(path, "CREATE TABLE data (o TEXT, p TEXT, v TEXT);"
                  "INSERT INTO data VALUES ('OlObjA', 'Name', 'Lamp');");
        Database db(path);
        QCOMPARE(db.findObjects("lamp", false), QStringList{"OlObjA"});
        QCOMPARE(db.findObjects("am", true), QStringList{"OlObjA"});
        db.append("OlObjB", kName, "Chair");
        QCOMPARE(db.rowsOf("OlObjB"), (QList<Row>{{"OlObjB", kName, "Chair"}}));
    }

    void createIfMissingMakesAnEmptyTableButNeverTouchesAFile() {
        const QString path = fresh("deeper/still/Olv.mdb");
        Store::createIfMissing(path);
        QCOMPARE(Database(path).countObjects(), 0);
        const QString text = writeFile("not a database");
        const Snapshot before = Snapshot::of(text);
        Store::createIfMissing(text);
        QCOMPARE(Snapshot::of(text), before);
    }

    // --- The stock shell and the store share the file ---------------------------------------------

    void rowsWrittenByTheShellAreFoundByTheStore() {
        if (!QFileInfo::exists(kShell)) QSKIP("the sqlite3 shell is not installed");
        const QString path = fresh();
        Store::createIfMissing(path);
        Database(path).appendAll({{"OlObjA", kName, "Lamp"}, {"OlObjB", kName, "Old chair"}});
        QCOMPARE(Database(path).findObjects("chair", true), QStringList{"OlObjB"}); // index in use

        shell(path, "INSERT INTO DATA (O, P, V) VALUES ('OlObjS', 'Name', 'Shell ÄPFEL pie');"
                    "INSERT INTO DATA VALUES ('OlObjS', 'colour', 'Crimson');"
                    "UPDATE DATA SET V = 'Armchair' WHERE O = 'OlObjB';"
                    "DELETE FROM DATA WHERE O = 'OlObjA';");
        Database db(path);
        QCOMPARE(db.findObjects(QString::fromUtf8("shell äpfel pie"), false), QStringList{"OlObjS"});
        QCOMPARE(db.findObjects(QString::fromUtf8("l äpf"), true), QStringList{"OlObjS"});
        QCOMPARE(db.findObjects("rimso", true), QStringList{"OlObjS"});
        QCOMPARE(db.findObjects("old chair", false), QStringList{});
        QCOMPARE(db.findObjects("armch", true), QStringList{"OlObjB"});
        QCOMPARE(db.findObjects("lamp", false), QStringList{});
        QCOMPARE(db.countObjects(), 2);
    }

    void theShellReadsWhatTheStoreWroteAndFindsTheFileSound() {
        if (!QFileInfo::exists(kShell)) QSKIP("the sqlite3 shell is not installed");
        const QString path = fresh();
        Store::createIfMissing(path);
        Database(path).appendAll({{"OlObjA", kName, "Robert's coins"}, {"OlObjA", "x", "[1]"}});
        QCOMPARE(shell(path, "SELECT O || '|' || P || '|' || V FROM DATA ORDER BY rowid"),
                 QStringLiteral("OlObjA|Name|Robert's coins\nOlObjA|x|[1]"));
        QCOMPARE(shell(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
        // Every full-text index in the file agrees with the rows it was built from.
        const QStringList indexes =
            shell(path, "SELECT name FROM sqlite_master WHERE sql LIKE 'CREATE VIRTUAL TABLE%'")
                .split('\n', Qt::SkipEmptyParts);
        for (const QString& name : indexes)
            QCOMPARE(shell(path, QStringLiteral("INSERT INTO \"%1\"(\"%1\", rank) VALUES ('integrity-check', 1);"
                                                "SELECT 'sound'")
                                     .arg(name)),
                     QStringLiteral("sound"));
    }

    void anIndexTheShellPutOutOfStepIsMendedOnTheNextOpen() {
        if (!QFileInfo::exists(kShell)) QSKIP("the sqlite3 shell is not installed");
        const QString path = fresh();
        Store::createIfMissing(path);
        Database(path).append("OlObjA", kName, "Lamp");
        // Someone drops the store's triggers, then writes rows they would have indexed.
        const QStringList triggers =
            shell(path, "SELECT name FROM sqlite_master WHERE type = 'trigger'").split('\n', Qt::SkipEmptyParts);
        QVERIFY(!triggers.isEmpty());
        for (const QString& t : triggers) shell(path, "DROP TRIGGER \"" + t + "\"");
        shell(path, "INSERT INTO DATA VALUES ('OlObjB', 'Name', 'Lantern');"
                    "DELETE FROM DATA WHERE O = 'OlObjA';");
        Database db(path);
        QCOMPARE(db.findObjects("lantern", false), QStringList{"OlObjB"});
        QCOMPARE(db.findObjects("ante", true), QStringList{"OlObjB"});
        QCOMPARE(db.findObjects("amp", true), QStringList{});
        shell(path, "INSERT INTO DATA VALUES ('OlObjC', 'Name', 'Candle')");
        QCOMPARE(Database(path).findObjects("andl", true), QStringList{"OlObjC"});
    }
};

QTEST_GUILESS_MAIN(StoreFilesTest)
#include "test_store_files.moc"
