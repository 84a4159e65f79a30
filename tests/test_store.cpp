// The object store: comparison and Like patterns as the original engine did them, values found
// as typed, the shared lookups, identifiers, counting and writing; which files it refuses, and
// the stock sqlite3 shell writing the same file without putting the search index out of step.
// Other programs write the file too: a writer holding the lock, and two processes making objects
// at once (this program started again as the second writer).

#include "files.h"
#include "store/store.h"

#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>
#include <thread>

using namespace olv;
using olv::test::bytesOf;

// A clock the test moves; sleeping moves it on.
struct FakeClock : Clock {
    QDateTime time;
    QDateTime now() const override { return time; }
    void sleepMs(int ms) override { time = time.addMSecs(ms); }
};

class StoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath("Olv.mdb");
    std::unique_ptr<SQLite::Database> m_locker; // another program, holding a file

    static QString u(const char* utf8) { return QString::fromUtf8(utf8); }
    // Straight SQL on a file, past the store, to set up what the store must cope with.
    static void exec(const QString& path, const char* sql) {
        SQLite::Database(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE).exec(sql);
    }
    Database db() { return Database(m_path); }
    void add(const QList<Row>& rows) { db().appendAll(rows); }
    QStringList find(const QString& text, bool containing = false) { return db().findObjects(text, containing); }
    QString shell(const QString& statements) {
        QProcess p;
        p.start("/usr/bin/sqlite3", {"-batch", "-bail", m_path, statements});
        if (!p.waitForFinished(30000) || p.exitCode() != 0) qWarning() << p.readAllStandardError();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

private slots:
    void init() {
        QFile::remove(m_path); // each test starts from an empty store
        Store::createIfMissing(m_path);
    }

    void equalityIgnoresCaseInEveryAlphabet_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("searched");
        QTest::newRow("Greek final sigma") << u("ΟΔΟΣ") << u("οδος");
        QTest::newRow("Georgian") << u("ᲛᲐᲠᲘᲐᲛ") << u("მარიამ");
        QTest::newRow("Osage, past 16 bits") << u("\U000104D8\U000104D9\U000104DA") << u("\U000104B0\U000104B1\U000104B2");
        QTest::newRow("Kelvin sign") << u("\u212Aelvin") << u("kelvin");
        QTest::newRow("long s") << u("\u017Fun") << u("SUN");
        QTest::newRow("one letter") << u("Ж") << u("ж");
    }
    void equalityIgnoresCaseInEveryAlphabet() {
        QFETCH(QString, stored);
        QFETCH(QString, searched);
        add({{"OlObjNoise", kName, "noise"}, {"OlObjA", kName, stored}});
        QCOMPARE(find(searched), QStringList{"OlObjA"});
        QCOMPARE(find(searched, true), QStringList{"OlObjA"});
        QCOMPARE(db().FindClassId(searched), kNotAvailable); // a plain object is no class
        add({{"OlObjC", kTOO, kClassValue}, {"OlObjC", kName, stored}});
        QCOMPARE(db().FindClassId(searched), QStringLiteral("OlObjC"));
    }

    // Each pattern, searched as contained, finds the first value and not the second.
    void likePatterns_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("hit");
        QTest::addColumn<QString>("miss");
        QTest::newRow("*") << "ab*ef" << "ABXYZEF" << "efab";
        QTest::newRow("?") << "c?t" << u("cät") << "ct";
        QTest::newRow("#") << "R2#" << "R22" << "R2D2";
        QTest::newRow("[abc]") << "gr[ae]y" << "GRAY" << "groy";
        QTest::newRow("[a-z]") << "[A-C]at" << "bat" << "rat";
        QTest::newRow("[!abc]") << "[!b]at" << "rat" << "Bat";
        QTest::newRow("range bounds as typed") << "x[Z-a]" << "x_" << "xb"; // Z, [, \, ], ^, _, `, a
        QTest::newRow("range past the letters") << "y[A-z]" << "y^" << "y{";
        QTest::newRow("[*]") << "5[*]3" << "5*3" << "523";
        QTest::newRow("[?]") << "why[?]" << "why?" << "whyy";
        QTest::newRow("[#]") << "[#]1" << "#1" << "21";
        QTest::newRow("[[]") << "[[]x]" << "[x]" << "x]";
        QTest::newRow("accents are no case") << "apfel" << "APFEL" << u("äpfel");
        QTest::newRow("SQL % is plain") << "%" << "5%" << "abc";
        QTest::newRow("backslash") << "\\" << "a\\b" << "ab";
        QTest::newRow("short, long s") << "SU" << u("X\u017Fu") << "xyz";
        QTest::newRow("Kelvin sign in LIKE") << "ke?" << u("\u212AEY") << "kyy";
        QTest::newRow("LIKE's own signs are plain") << "a_%b" << "xA_%B" << "aXYb";
        QTest::newRow("long text through the trigrams") << u("äpfelstrudel") << u("Warmer ÄPFELSTRUDEL") << "apfelstrudel";
        QTest::newRow("list narrowed by trigrams") << "str[aeiou]del" << "Strudel" << "strxdel";
    }
    void likePatterns() {
        QFETCH(QString, pattern);
        QFETCH(QString, hit);
        QFETCH(QString, miss);
        add({{"OlObjMiss", "p", miss}, {"OlObjHit", "p", hit}});
        QCOMPARE(find(pattern, true), QStringList{"OlObjHit"});
    }

    void unclosedBracketIsAPatternErrorNotACrash() {
        add({{"OlObjA", kName, "ab[cd"}});
        QVERIFY_THROWS_EXCEPTION(PatternError, find("ab[cd", true));
        QCOMPARE(find("ab[cd"), QStringList{"OlObjA"}); // exactly, a plain value
    }

    void exactMatchesWholeValuesContainingMatchesPartsInFirstStoredOrder() {
        QString big;
        for (int i = 0; i < 400; ++i) big += QStringLiteral("word%1 ").arg(i);
        const QString typed = "O'Brien said \"yes\"; DROP TABLE [DATA]; -- 100% a_b \\";
        // Identifiers that differ in letter case are one object; property names are not searched.
        add({{"OlObjB", kName, "Redwood"}, {"OlObjA", kName, "Red"}, {"OlObjC", "p", "bored"},
             {"OlObjB", "q", "RED"}, {"OLOBJA", "p", "red"}, {"OlObjD", kName, "re"},
             {"OlObjE", "text", big}, {"OlObjF", "redness", "x"}, {"OlObjG", typed, typed}});
        QCOMPARE(find("red"), (QStringList{"OlObjA", "OlObjB"}));
        QCOMPARE(find("e", true), (QStringList{"OlObjB", "OlObjA", "OlObjC", "OlObjD", "OlObjG"}));
        QCOMPARE(find("reD", true), (QStringList{"OlObjB", "OlObjA", "OlObjC"}));
        QCOMPARE(find(big.toUpper()), QStringList{"OlObjE"});
        QCOMPARE(find(big.mid(1000, 500), true), QStringList{"OlObjE"});
        QCOMPARE(find("word12 word13 word14 wordX", true), QStringList{});
        // Quotes, brackets and SQL are stored and found as typed.
        QCOMPARE(find(typed), QStringList{"OlObjG"});
        QCOMPARE(find("said \"yes\"; DROP", true), QStringList{"OlObjG"});
        QCOMPARE(db().GetPropertyValue("OlObjG", typed), typed);
    }

    void lookupsWithDuplicates() {
        add({{"OlObj1", kTOO, kClassValue}, {"OlObj1", kName, "URL"}, {"OlObj2", kTOO, kClassValue},
             {"OlObj2", kName, "url"}, {"OlObj2", kDescription, "Lamp"}, {"OlObjA", "img", "/a.jpg"},
             {"OlObjA", "IMG", "/b.jpg"}, {"OlObjA", "empty", ""}});
        const QString id = Store(m_path).open().FindClassId("Url");
        QVERIFY2(id == "OlObj1" || id == "OlObj2", qPrintable(id));
        QCOMPARE(db().FindClassId("Lamp"), kNotAvailable); // only its Name names a class
        QCOMPARE(Store(m_path).open().GetPropertyValue("olobja", "Img"), QStringLiteral("/a.jpg"));
        QCOMPARE(db().GetPropertyValue("OlObjA", "missing"), kNotAvailable);
        QCOMPARE(db().GetPropertyValue("OlObjA", "empty"), QString("")); // a value, not "N/A"
    }

    void aNewObjectIsNamedByTheSecondAndWaitsWhileItIsTaken() {
        FakeClock clock;
        clock.time = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 400));
        auto nameRow = [](const QString& id) -> std::optional<QList<Row>> { return QList<Row>{{id, kName, "new"}}; };
        add({{"OLOBJ19991231235959", kName, "taken"}}); // taken in any letter case
        QCOMPARE(db().createObject(clock, nameRow), QStringLiteral("OlObj20000101000000"));
        QCOMPARE(clock.time, QDateTime(QDate(2000, 1, 1), QTime(0, 0))); // waited out the rest of the second
        QCOMPARE(db().rowsOf("OlObj20000101000000"), (QList<Row>{{"OlObj20000101000000", kName, "new"}}));
        // Refused by the caller: nothing is written.
        clock.time = clock.time.addSecs(5);
        QCOMPARE(db().createObject(clock, [](const QString&) -> std::optional<QList<Row>> { return std::nullopt; }),
                 QString());
        QCOMPARE(db().countObjects(), 2);
    }

    void countObjectsCountsEachObjectOnce() {
        QCOMPARE(db().countObjects(), 0);
        add({{"OlObjK", kTOO, kClassValue}, {"OlObjA", kTOO, "OlObjK"}, {"OLOBJA", "x", "1"},
             {u("Жук"), "p", "v"}, {u("жук"), "p", "v"}, {"as", "p", "v"}, {u("a\u017F"), "p", "v"},
             {u("\u212Aey"), "p", "v"}, {"KEY", "p", "v"}, {u("Äb1"), "p", "v"}, {u("äB1"), "p", "v"}});
        QCOMPARE(db().countObjects(), 6); // a class is an object too
    }

    void anObjectWhoseRowsAreAllDeletedIsGone() {
        add({{"OlObjK", kTOO, kClassValue}, {"OlObjK", kName, "Vanishing"},
             {"OlObjA", "colour", "Gone"}, {"OlObjB", "colour", "gone"}});
        exec(m_path, "DELETE FROM DATA WHERE O IN ('OlObjA', 'OlObjK')");
        QCOMPARE(find("one", true), QStringList{"OlObjB"});
        QCOMPARE(db().countObjects(), 1);
        QCOMPARE(db().FindClassId("vanishing"), kNotAvailable);
    }

    void appendAllIsAllOrNothing() {
        exec(m_path, "CREATE TRIGGER refuse BEFORE INSERT ON DATA WHEN new.V = 'refused' "
                     "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        Database d = db();
        QVERIFY_THROWS_EXCEPTION(StoreError, d.appendAll({{"OlObjA", "x", "ok"}, {"OlObjA", "y", "refused"}}));
        QVERIFY(d.rowsOf("OlObjA").isEmpty());
        // The failed write leaves nothing behind that spoils the next one.
        d.appendAll({{"OlObjA", "x", "ok"}, {"OlObjA", "z", "kept"}});
        QCOMPARE(db().rowsOf("OlObjA"), (QList<Row>{{"OlObjA", "x", "ok"}, {"OlObjA", "z", "kept"}}));
    }

    // The files are made here, before the rows run; an empty path: the file is not available.
    void unusableFilesAreRefusedAndLeftAlone_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QFile text(m_dir.filePath("text.mdb"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("Name;Colour\nLamp;red\n") > 0);
        const QString jet = m_dir.filePath("jet.mdb"), locked = m_dir.filePath("locked.mdb");
        // A Jet file begins its first page with this signature, after a 4-byte page number.
        QFile jetFile(jet);
        QByteArray page(4096, '\0');
        page.replace(4, 15, "Standard Jet DB");
        const bool copied = jetFile.open(QIODevice::WriteOnly) && jetFile.write(page) == page.size();
        jetFile.close();
        exec(m_dir.filePath("nodata.mdb"), "CREATE TABLE Customers (Id INTEGER, Name TEXT)");
        exec(m_dir.filePath("norowid.mdb"), "CREATE TABLE DATA (O TEXT, P TEXT, V TEXT, PRIMARY KEY (O, P, V)) "
                                            "WITHOUT ROWID; INSERT INTO DATA VALUES ('OlObjA', 'Name', 'Lamp')");
        Store::createIfMissing(locked);
        m_locker = std::make_unique<SQLite::Database>(locked.toStdString(), SQLite::OPEN_READWRITE);
        m_locker->exec("BEGIN EXCLUSIVE");
        QTest::newRow("missing") << m_dir.filePath("missing.mdb") << "not exist";
        QTest::newRow("text") << text.fileName() << "not a database";
        QTest::newRow("Jet") << (copied ? jet : "") << "File, Import"; // the way to bring its rows in
        QTest::newRow("no DATA") << m_dir.filePath("nodata.mdb") << "DATA";
        QTest::newRow("without row numbers") << m_dir.filePath("norowid.mdb") << "WITHOUT ROWID";
        QTest::newRow("locked") << locked << "locked"; // waits out the busy timeout
    }
    void unusableFilesAreRefusedAndLeftAlone() {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (path.isEmpty()) QSKIP("the file is not available");
        const QByteArray before = bytesOf(path);
        QString message;
        try {
            Database d(path);
        } catch (const StoreError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(reason) && message.contains(path), qPrintable(message));
        QCOMPARE(bytesOf(path), before);
        QCOMPARE(QFileInfo::exists(path), reason != "not exist");
    }

    // The commands ask the engine what it can do: an SQLite file keeps its own search indexes,
    // and one Olv may write is writable.
    void anSqliteFileKeepsItsIndexesAndMayBeWritten() {
        const Engine::Abilities can = db().abilities();
        QVERIFY(can.indexUpkeep);
        QVERIFY(can.writable);
    }

    void numbersAndBlobsStoredByOtherProgramsAreFoundAsTheirText() {
        QFile::remove(m_path);
        exec(m_path, "CREATE TABLE DATA (O, P, V); INSERT INTO DATA VALUES ('OlObjN', 'size', 42), "
                     "('OlObjR', 'weight', 4.5), ('OlObjB', 'code', X'416243'), ('OlObjT', 'size', '42'), "
                     "('OlObjZ', 'none', NULL)");
        for (int pass = 0; pass < 2; ++pass) { // scanned, then through the indexes the first open made
            Database d(m_path, pass ? Database::Indexes::Repair : Database::Indexes::Leave);
            QCOMPARE(d.findObjects("42", false), (QStringList{"OlObjN", "OlObjT"}));
            QCOMPARE(d.findObjects("4.5", false), QStringList{"OlObjR"});
            QCOMPARE(d.findObjects("ABC", false), QStringList{"OlObjB"});
            QCOMPARE(d.findObjects("4", true), (QStringList{"OlObjN", "OlObjR", "OlObjT"}));
            QCOMPARE(d.findObjects("", true).size(), 4); // every object holding a value
        }
    }

    // Many rows go in several to a statement: order, texts and the trigram index must not care
    // where one statement ends and the next begins.
    void manyRowsKeepTheirOrderAndAreMatchedAsAMultiset() {
        QList<Row> rows;
        for (int i = 0; i < 1234; ++i)
            rows.push_back({QStringLiteral("OlObj%1").arg(i / 4), QStringLiteral("p%1").arg(i % 4),
                            QStringLiteral("v%1 'x' \"y\" ü").arg(i)});
        add(rows);
        const QStringList stored = shell("SELECT V FROM DATA ORDER BY rowid").split('\n');
        QCOMPARE(stored.size(), 1234);
        QCOMPARE(stored.at(0), QStringLiteral("v0 'x' \"y\" ü"));
        QCOMPARE(stored.at(500), QStringLiteral("v500 'x' \"y\" ü"));
        QCOMPARE(stored.at(1233), QStringLiteral("v1233 'x' \"y\" ü"));
        QCOMPARE(find("v1233 'x", true), QStringList{"OlObj308"});

        // The same rows again, one of them three times more and one new: four are missing.
        QList<Row> again = rows;
        again << rows.at(700) << rows.at(700) << rows.at(700) << Row{"OlObjNew", kName, "new"};
        int calls = 0;
        QCOMPARE(db().addMissing(again, [&](double) { return ++calls > 0; }), qint64(4));
        QVERIFY(calls > 2);
        QCOMPARE(shell("SELECT count(*) FROM DATA WHERE V = 'v700 ''x'' \"y\" ü'"), QStringLiteral("4"));
        QCOMPARE(shell("SELECT count(*) FROM DATA"), QStringLiteral("1238"));

        // Called off while the rows are being added: none of them stays.
        QList<Row> fresh;
        for (int i = 0; i < 1200; ++i) fresh.push_back({"OlObjFresh", "p", QString::number(i)});
        QVERIFY_THROWS_EXCEPTION(Cancelled, db().addMissing(fresh, [](double share) { return share < 0.8; }));
        QCOMPARE(shell("SELECT count(*) FROM DATA"), QStringLiteral("1238"));
    }

    void aWriterHoldingTheLockIsWaitedFor() {
        add({{"OlObjA", kName, "Lamp"}});
        SQLite::Database other(m_path.toStdString(), SQLite::OPEN_READWRITE);
        other.exec("BEGIN IMMEDIATE; INSERT INTO DATA VALUES ('OlObjO', 'Name', 'other')");
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other.exec("COMMIT");
        });
        FakeClock clock;
        clock.time = QDateTime(QDate(2002, 1, 3), QTime(12, 0));
        Database d = db();
        // Reads first, then writes: a deferred transaction would fail at once here.
        const QString id = d.createObject(clock, [&](const QString& id) -> std::optional<QList<Row>> {
            return QList<Row>{{id, kName, d.valueOf("OlObjA", kName)}};
        });
        release.join();
        QCOMPARE(id, QStringLiteral("OlObj20020103120000"));
        d.appendAll({{"OlObjA", "colour", "red"}});
        QCOMPARE(db().rowsOf(id), (QList<Row>{{id, kName, "Lamp"}}));
        QCOMPARE(db().findObjects("other", false), QStringList{"OlObjO"});
    }

    void twoProcessesMakingObjectsAtOnceGetDistinctIdentifiers() {
        // Both start from the same second and wait for nothing but each other.
        QList<QProcess*> makers;
        for (const char* who : {"first", "second"}) {
            auto p = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("OLV_MAKE_OBJECTS", m_path + QLatin1Char('|') + who);
            p->setProcessEnvironment(env);
            p->start(QCoreApplication::applicationFilePath(), {});
            makers << p;
        }
        for (QProcess* p : makers) {
            QVERIFY(p->waitForFinished(60000));
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        }
        SQLite::Database check(m_path.toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement q(check, "SELECT count(*), count(DISTINCT O), max(n) FROM "
                                   "(SELECT O, count(*) AS n FROM DATA GROUP BY O)");
        QVERIFY(q.executeStep());
        QCOMPARE(q.getColumn(0).getInt(), 100); // objects
        QCOMPARE(q.getColumn(2).getInt(), 2);   // each with its own two rows, none merged
    }

    void theIndexAgreesWithDataAfterAVacuumWithoutIt() {
        QList<Row> rows;
        for (int i = 0; i < 300; ++i) rows.push_back({QStringLiteral("OlObj%1").arg(i, 3, 10, QLatin1Char('0')), kName,
                                                       QStringLiteral("item number %1 of the shelf").arg(i)});
        add(rows);
        QCOMPARE(find("number 250 of", true), QStringList{"OlObj250"});
        // In the shell: the indexes dropped, rows deleted, VACUUM renumbers what is left.
        exec(m_path, "DROP INDEX DATA_O_NOCASE; DROP INDEX DATA_V_NOCASE; DROP INDEX DATA_O_NONASCII; "
                     "DROP INDEX DATA_V_NONTEXT; DELETE FROM DATA WHERE O < 'OlObj100'; VACUUM");
        QCOMPARE(find("number 250 of", true), QStringList{"OlObj250"});
        QCOMPARE(find("of the shelf", true).size(), 200);
        // A sound index is left alone: opening again writes nothing.
        const QByteArray before = bytesOf(m_path);
        db().findObjects("shelf", true);
        QCOMPARE(bytesOf(m_path), before);
        // Rows renumbered by a VACUUM with every helper in place keep agreeing too.
        exec(m_path, "DELETE FROM DATA WHERE O < 'OlObj200'; VACUUM");
        QCOMPARE(find("number 250 of", true), QStringList{"OlObj250"});
    }

    void largeFilesGetTheirIndexesThroughTheMakerWhichMayCancel() {
        {
            SQLite::Database raw(m_path.toStdString(), SQLite::OPEN_READWRITE);
            SQLite::Transaction t(raw);
            SQLite::Statement insert(raw, "INSERT INTO DATA VALUES (?, 'Name', ?)");
            for (int i = 0; i < 60000; ++i) {
                insert.reset();
                insert.bind(1, QStringLiteral("OlObj%1").arg(i).toStdString());
                insert.bind(2, QStringLiteral("thing %1 in the cellar").arg(i).toStdString());
                insert.exec();
            }
            t.commit();
        }
        Database(m_path, Database::Indexes::Leave); // adds the history, which is quick, and no index
        const QByteArray before = bytesOf(m_path);
        Store store(m_path);
        QList<double> shares;
        int asked = 0;
        bool cancel = true;
        const auto maker = [&](const IndexRepair& repair) {
            ++asked;
            if (!repair.large() || repair.growthBytes() <= 0 || repair.path != m_path) return false;
            try {
                repair.run([&](double share) {
                    shares << share;
                    return !(cancel && share > 0.3);
                });
            } catch (const Cancelled&) {
                return false;
            }
            return true;
        };
        store.setIndexMaker(maker);
        // Called off half-way: the file is as it was, and searched by scanning for this run.
        QCOMPARE(store.open().findObjects("thing 59999 in", true), QStringList{"OlObj59999"});
        QCOMPARE(bytesOf(m_path), before);
        QCOMPARE(store.open().findObjects("thing 12", false), QStringList{});
        QCOMPARE(asked, 1);
        // Another run of the program makes them, the share growing to the whole.
        Store again(m_path);
        cancel = false;
        shares.clear();
        again.setIndexMaker(maker);
        QCOMPARE(again.open().findObjects("thing 59999 in", true), QStringList{"OlObj59999"});
        QCOMPARE(asked, 2);
        QVERIFY(std::is_sorted(shares.begin(), shares.end()) && shares.last() == 1.0 && shares.size() > 10);
        QVERIFY(!again.open().repair().needed());
    }

    void theStockShellSharesTheFileWithoutPuttingTheIndexOutOfStep() {
        if (!QFileInfo::exists("/usr/bin/sqlite3")) QSKIP("the sqlite3 shell is not installed");
        add({{"OlObjA", kName, "Lamp"}, {"OlObjB", kName, "Old chair"}});
        shell("INSERT INTO DATA VALUES ('OlObjS', 'Name', 'Shell ÄPFEL pie');"
              "UPDATE DATA SET V = 'Armchair' WHERE O = 'OlObjB'; DELETE FROM DATA WHERE O = 'OlObjA';");
        QCOMPARE(find(u("l äpf"), true), QStringList{"OlObjS"});
        QCOMPARE(find("armch", true), QStringList{"OlObjB"});
        QCOMPARE(find("amp", true), QStringList{});
        // Someone drops the store's triggers, then writes rows they would have indexed.
        const auto triggers = shell("SELECT name FROM sqlite_master WHERE type = 'trigger'").split('\n');
        QVERIFY(!triggers.first().isEmpty());
        for (const QString& t : triggers) shell("DROP TRIGGER \"" + t + "\"");
        shell("INSERT INTO DATA VALUES ('OlObjC', 'Name', 'Lantern')");
        QCOMPARE(find("ante", true), QStringList{"OlObjC"});
        shell("INSERT INTO DATA VALUES ('OlObjD', 'Name', 'Candle')"); // through the repaired triggers
        QCOMPARE(find("andl", true), QStringList{"OlObjD"});
    }
};

// The second process of twoProcessesMakingObjectsAtOnce...: makes 50 objects in the file and ends.
static int makeObjects(const QString& job) {
    const QString path = job.section(QLatin1Char('|'), 0, 0), who = job.section(QLatin1Char('|'), 1);
    FakeClock clock;
    clock.time = QDateTime(QDate(2002, 1, 3), QTime(12, 0));
    try {
        Database db(path);
        for (int i = 0; i < 50; ++i)
            db.createObject(clock, [&](const QString& id) -> std::optional<QList<Row>> {
                return QList<Row>{{id, kName, who + QString::number(i)}, {id, "maker", who}};
            });
    } catch (const StoreError& e) {
        fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsSet("OLV_MAKE_OBJECTS")) return makeObjects(qEnvironmentVariable("OLV_MAKE_OBJECTS"));
    QCoreApplication app(argc, argv);
    StoreTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_store.moc"
