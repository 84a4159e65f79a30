// The commands behind the windows, called directly: the search with its root text and count rule,
// related objects, the property view, making objects, classes, collections and web links,
// cloning, the data-entry window's edits, and import between a file and a server database; each
// on a file and again on a server database.

#include "commands/csv.h"
#include "commands/dataentry.h"
#include "commands/importer.h"
#include "commands/objects.h"
#include "commands/properties.h"
#include "commands/search.h"

#include "engines.h"

#include <QBuffer>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;

namespace {

// A clock standing still unless a command waits for the next second.
struct StillClock : Clock {
    QDateTime time{QDate(2002, 1, 3), QTime(12, 53, 22, 100)};
    QDateTime now() const override { return time; }
    void sleepMs(int ms) override { time = time.addMSecs(ms); }
};

const QString kFirst = QStringLiteral("OlObj20020103125322");
const QString kSecond = QStringLiteral("OlObj20020103125323");
const QString kThird = QStringLiteral("OlObj20020103125324");
const QString kBook = QStringLiteral("OlObj19990101000001");

QStringList shown(const QList<Row>& rows) {
    QStringList list;
    for (const Row& r : rows) list << r.o + '|' + r.p + '|' + r.v;
    return list;
}

} // namespace

// Run once on a file and once on a server database.
class CommandsTest : public QObject {
    Q_OBJECT
public:
    explicit CommandsTest(bool server) : m_server(server) {}

private:
    const bool m_server;
    QTemporaryDir m_dir;
    Store m_store;
    StillClock m_clock;
    ObjectCommands objects() { return ObjectCommands(m_store, m_clock); }
    void add(const QList<Row>& rows) { m_store.open().appendAll(rows); }
    QList<Row> rows() {
        QList<Row> all;
        for (const StoredRow& r : test::storedRows(m_store.path())) all << r.row;
        return all;
    }

private slots:
    void initTestCase() {
        if (m_server) OLV_NEEDS_SERVER();
    }
    void init() {
        m_store.setPath(test::freshDatabase(m_server, m_dir.filePath("Olv.mdb")));
        m_clock = StillClock();
    }

    void searchAsksAboveTenAndTitlesTheRootByTheSearchedObject() {
        QVERIFY(!SearchCommand::asksFirst(10) && SearchCommand::asksFirst(11));
        QCOMPARE(SearchCommand::countQuestion(11), QStringLiteral("11objects"));
        add({{"OlObjLamp", kName, "Lamp"}, {"OlObjShade", kBelongsTo, "OlObjLamp"}, {"OlObjShade", "colour", "Red"},
             {"OlObjPot", "colour", "red"}, {"OlObjPot", kName, ""}});
        SearchCommand search(m_store);
        QCOMPARE(search.rootText("red"), QStringLiteral("Result"));
        QCOMPARE(search.rootText("OlObjLamp"), QStringLiteral("Lamp"));
        QCOMPARE(search.rootText("OlObjNone"), QStringLiteral("N/A"));
        QCOMPARE(search.rootText("olobjLamp"), QStringLiteral("Result")); // the prefix is exact
        const QStringList found = search.find("RED", false);
        QCOMPARE(found, (QStringList{"OlObjShade", "OlObjPot"}));
        // Unnamed objects show their identifier; an empty name is still a name.
        QCOMPARE(search.nodes("OlObjX|", found + QStringList{"OlObjLamp", "OlObjNoRows"}),
                 (QList<std::pair<QString, QString>>{{"OlObjX|OlObjShade", "OlObjShade"},
                                                     {"OlObjX|OlObjPot", ""},
                                                     {"OlObjX|OlObjLamp", "Lamp"},
                                                     {"OlObjX|OlObjNoRows", "OlObjNoRows"}}));
        QCOMPARE(search.related("OlObjLamp"), QStringList{"OlObjShade"});
        QCOMPARE(search.related("OlObjShade|OlObjLamp"), QStringList{}); // a related node's key names no value
        QCOMPARE(objectIdOf("a|b|c"), QStringLiteral("b|c"));
    }

    void propertyViewShowsLinksByNameAndTheClassOfExactlyTOO() {
        add({{kBook, kTOO, kClassValue}, {kBook, kName, "book"}, {"OlObjA", "too", "mine"}, {"OlObjA", kTOO, kBook},
             {"OlObjA", kBelongsTo, "OlObjGone"}, {"OlObjA", "note", "see OlObj1"}, {"OlObjB", "Too", "x"}});
        Database db = m_store.open();
        PropertyView a = propertiesOf(db, "OlObjA");
        QCOMPARE(a.caption.value_or("none"), QStringLiteral("class: book"));
        QCOMPARE(a.cells, (QList<std::pair<QString, QString>>{{"too", "mine"},
                                                              {kBelongsTo, "N/A [ OlObjGone ]"},
                                                              {"note", "see OlObj1"}}));
        QCOMPARE(propertiesOf(db, kBook).caption.value_or("none"), QStringLiteral("Class"));
        QVERIFY(!propertiesOf(db, "OlObjB").caption); // a "Too" row is no class: the caption stays
    }

    void newObjectWritesItsRowsOrNothing_data() {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<bool>("makeClass");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QStringList>("pairs"); // P1, V1, P2, V2
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("written"); // P|V of the new object
        using O = ObjectCommands::Outcome;
        const QString too = "TOO|" + kBook;
        QTest::newRow("plain") << "BOOK" << false << "Emma" << "" << QStringList{"year", "1815", "", "x"} << int(O::Made)
                               << QStringList{too, "Name|Emma", "year|1815"};
        QTest::newRow("owner") << "book" << false << "Emma" << "OlObjShelf" << QStringList{} << int(O::Made)
                               << QStringList{too, "Name|Emma", "BelongsTo|OlObjShelf"};
        QTest::newRow("class") << "ignored" << true << "vehicle" << "" << QStringList{" ", "v", "TOO", "x"}
                               << int(O::Made) << QStringList{"TOO|OlValClass", "Name|vehicle", "TOO|x"};
        QTest::newRow("blank name") << "book" << false << "  " << "" << QStringList{} << int(O::Refused) << QStringList{};
        QTest::newRow("no such class") << "car" << false << "Beetle" << "" << QStringList{} << int(O::UnknownClass)
                                       << QStringList{};
    }
    void newObjectWritesItsRowsOrNothing() {
        QFETCH(QString, cls);
        QFETCH(bool, makeClass);
        QFETCH(QString, name);
        QFETCH(QString, owner);
        QFETCH(QStringList, pairs);
        QFETCH(int, outcome);
        QFETCH(QStringList, written);
        const QList<Row> seed = {{kBook, kTOO, kClassValue}, {kBook, kName, "book"}, {"OlObjCar", kName, "car"}};
        add(seed);
        ObjectCommands::NewObject input{cls, makeClass, name, owner, {}};
        for (int i = 0; i + 1 < pairs.size(); i += 2) input.properties.push_back({pairs[i], pairs[i + 1]});
        QCOMPARE(int(objects().newObject(input)), outcome);
        QStringList pv;
        for (const Row& r : rows().mid(seed.size())) {
            QCOMPARE(r.o, kFirst);
            pv << r.p + '|' + r.v;
        }
        QCOMPARE(pv, written);
    }

    void classesAreMadeOnceOnFirstUse() {
        QCOMPARE(objects().classOnFirstUse("URL"), kFirst);
        QCOMPARE(objects().classOnFirstUse("url"), kFirst); // found in any letter case
        // A web link whose name is missing still makes its class; the hints are stored as typed.
        init();
        QCOMPARE(objects().newURL("http://www.", "required", "e.g. Formula 1", " "), ObjectCommands::Outcome::Refused);
        QCOMPARE(objects().newURL("http://x.example/", "Ferrari", "e.g. Formula 1", "e.g. realtime news "),
                 ObjectCommands::Outcome::Made);
        QCOMPARE(shown(rows()), (QStringList{kFirst + "|TOO|OlValClass", kFirst + "|Name|URL", kSecond + "|TOO|" + kFirst,
                                             kSecond + "|Name|Ferrari", kSecond + "|URL|http://x.example/",
                                             kSecond + "|Topic|e.g. Formula 1", kSecond + "|Description|e.g. realtime news "}));
        // A collection named like its hint is refused before its class is made.
        init();
        QCOMPARE(objects().newCollection("required : e.g. Robert's coins", "coin", ""), ObjectCommands::Outcome::Refused);
        QVERIFY(rows().isEmpty());
        QCOMPARE(objects().newCollection("Robert's coins", "  ", "dad's"), ObjectCommands::Outcome::Made);
        QCOMPARE(objects().newCollection("Required stamps", "", ""), ObjectCommands::Outcome::Made);
        QCOMPARE(shown(rows()), (QStringList{kFirst + "|TOO|OlValClass", kFirst + "|Name|collection",
                                             kSecond + "|TOO|" + kFirst, kSecond + "|Name|Robert's coins",
                                             kSecond + "|Description|dad's", kThird + "|TOO|" + kFirst,
                                             kThird + "|Name|Required stamps"}));
    }

    void cloneCopiesEveryRowUnderANewIdentifierWithTheMark() {
        add({{"OlObjFern", kName, "Fern"}, {"OlObjFern", "colour", "green"}, {"OlObjFern", "colour", "green"}});
        const QString first = objects().clone("OlObjGarden|OlObjFern"); // a related node's key
        QCOMPARE(first, kFirst);
        const QString second = objects().clone(first);
        QCOMPARE(second, kSecond); // waited for the next second
        QCOMPARE(objects().clone("no such object"), kThird);
        QCOMPARE(shown(rows().mid(3)),
                 (QStringList{kFirst + "|Name|Fern", kFirst + "|colour|green", kFirst + "|colour|green", kFirst + "|EXTRA|CLONED::",
                              kSecond + "|Name|Fern", kSecond + "|colour|green", kSecond + "|colour|green",
                              kSecond + "|EXTRA|CLONED::", kSecond + "|EXTRA|CLONED::", kThird + "|EXTRA|CLONED::"}));
        QCOMPARE(SearchCommand(m_store).find(ObjectCommands::kCloneMark, false), (QStringList{kFirst, kSecond, kThird}));
    }

    void dataEntryNamesTheVeryRowItShowedAndOverwritesNothingChanged() {
        const auto sql = [&](const QString& statements) { test::rawSql(m_store.path(), statements); };
        if (!m_server) { // untyped, as another program may make a file
            QFile::remove(m_store.path());
            SQLite::Database(m_store.path().toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE).exec("CREATE TABLE DATA (O, P, V)");
        }
        // A number and a NULL among the values.
        sql("INSERT INTO DATA (O, P, V) VALUES ('OlObjA', 'colour', 'red'), ('OlObjA', 'b', 42), ('OlObjA', 'Colour', 'red'), "
            "('OlObjA', 'colour', 'red'), ('OlObjA', 'apple', NULL), ('OlObjB', 'colour', 'red')");
        DataEntryCommands entry(m_store);
        const auto listed = [&] {
            QStringList l;
            for (const StoredRow& r : entry.rows("olobja")) l << QString::number(r.rowid) + ':' + r.row.p + '=' + r.row.v;
            return l;
        };
        QCOMPARE(listed(), (QStringList{"5:apple=", "2:b=42", "3:Colour=red", "1:colour=red", "4:colour=red"}));
        QList<StoredRow> rows = entry.rows("OlObjA");
        using O = DataEntryCommands::Outcome;
        QCOMPARE(entry.change(rows[4], "colour", "crimson"), O::Done); // the second of the two alike
        QCOMPARE(entry.change(rows[1], "b", "43"), O::Done);
        QCOMPARE(entry.remove(rows[0]), O::Done); // matched by its NULL
        QCOMPARE(listed(), (QStringList{"2:b=43", "3:Colour=red", "1:colour=red", "4:colour=crimson"}));
        // Another program changes a row, and renumbers one by deleting and adding it again.
        sql("UPDATE DATA SET V = 'orange' WHERE rowid = 1; DELETE FROM DATA WHERE rowid = 3; "
            "INSERT INTO DATA (rowid, O, P, V) VALUES (3, 'OlObjB', 'Colour', 'red')");
        QCOMPARE(entry.change(rows[3], "colour", "blue"), O::Changed);
        QCOMPARE(entry.remove(rows[2]), O::Changed);
        QCOMPARE(listed(), (QStringList{"2:b=43", "1:colour=orange", "4:colour=crimson"}));
        QCOMPARE(entry.rows("OlObjB").size(), 2);
        entry.add("OlObjA", "it's", "");
        QCOMPARE(listed().last(), QStringLiteral("7:it's="));
    }

    void csvKeepsEveryCharacterAndRunsNoFormula() {
        add({{"OlObjClass", kTOO, kClassValue}, {"OlObjClass", kName, "Lamp class"},
             {"OlObjA", kTOO, "OlObjClass"}, {"OlObjA", kName, "Lamp"}, {"OlObjA", "colour", "red"},
             {"OlObjA", "note, with comma", "said \"hi\"\nthen left"},
             {"OlObjB", kName, "=1+1"}, {"OlObjB", "colour", "-5"}, {"OlObjB", "note, with comma", "@SUM(A1)"},
             {"OlObjC", kName, u"Zoë Müller 東京"_qs}, {"OlObjC", "colour", "+cmd"}, {"OlObjC", "note, with comma", "-x"}});
        const QByteArray expected = "\xEF\xBB\xBF"
                                    "Class,Name,colour,\"note, with comma\"\r\n"
                                    "OlValClass,Lamp class,N/A,N/A\r\n"
                                    "Lamp class,Lamp,red,\"said \"\"hi\"\"\nthen left\"\r\n"
                                    "N/A,'=1+1,-5,'@SUM(A1)\r\n"
                                    "N/A,Zo\xC3\xAB M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC,'+cmd,'-x\r\n";
        TableCommand cells(m_store);
        const TableLayout table = cells.layout("", true);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        csv::write(table, cells, out);
        QCOMPARE(out.data(), expected);
        const QString path = m_dir.filePath("out.csv");
        QVERIFY(csv::save(path, table, cells).isNull());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), expected);
        const QString refused = csv::save(m_dir.filePath("no/such/folder/out.csv"), table, cells);
        QVERIFY2(refused.contains("no/such/folder/out.csv"), qPrintable(refused));
    }

    void aFailingWriteLeavesNothingAndSaysWhichFile() {
        add({{"OlObjFern", kName, "Fern"}, {"OlObjFern", "colour", "green"}});
        if (m_server)
            test::PgServer::instance().exec(test::ownerOf(m_store.path()),
                                            "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF new.p = 'colour' "
                                            "THEN RAISE 'disk trouble'; END IF; RETURN new; END $$; "
                                            "CREATE TRIGGER refuse BEFORE INSERT ON data FOR EACH ROW EXECUTE FUNCTION refuse()");
        else
            test::rawSql(m_store.path(), "CREATE TRIGGER refuse BEFORE INSERT ON DATA WHEN new.P = 'colour' "
                                         "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
        QString message;
        try {
            objects().clone("OlObjFern");
        } catch (const StoreError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(displayNameOf(m_store.path())) && message.contains("disk trouble"), qPrintable(message));
        QCOMPARE(rows().size(), 2);
    }

    // File, Import both ways between a file and a server database: each row as often as the
    // source holds it more, NULL kept as NULL.
    void importCopiesAFileIntoAServerDatabaseAndBack() {
        OLV_FILE_ONLY();
        OLV_NEEDS_SERVER();
        test::PgServer& server = test::PgServer::instance();
        const QString source = m_dir.filePath("source.db");
        {
            SQLite::Database raw(source.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            raw.exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT)");
            raw.exec("INSERT INTO DATA VALUES ('OlObjA', 'Name', 'Lamp'), ('OlObjA', 'colour', NULL), "
                     "('OlObjA', 'Name', 'Lamp'), ('OlObjB', 'Name', 'Shade'), ('OlObjB', 'colour', '')");
        }
        const QString connection = server.newDatabase();
        const Store serverStore(connection);
        serverStore.open().appendAll({{"OlObjA", kName, "Lamp"}});
        ImportCommand toServer(serverStore);
        QCOMPARE(ImportCommand::resultText(toServer.run(source)), QStringLiteral("4 rows imported, 1 already present"));
        QCOMPARE(ImportCommand::resultText(toServer.run(source)), QStringLiteral("0 rows imported, 5 already present"));
        const QString held = "SELECT o || '|' || p || '|' || coalesce(v, '<NULL>') FROM data ORDER BY rowid";
        QCOMPARE(server.exec(connection, held).split('\n'),
                 (QStringList{"OlObjA|Name|Lamp", "OlObjA|colour|<NULL>", "OlObjA|Name|Lamp", "OlObjB|Name|Shade", "OlObjB|colour|"}));

        // Back into a file that holds one of its rows already.
        add({{"OlObjB", kName, "Shade"}});
        ImportCommand toFile(m_store);
        QCOMPARE(ImportCommand::resultText(toFile.run(connection)), QStringLiteral("4 rows imported, 1 already present"));
        QCOMPARE(ImportCommand::resultText(toFile.run(connection)), QStringLiteral("0 rows imported, 5 already present"));
        SQLite::Database file(m_store.path().toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement q(file, "SELECT O || '|' || P || '|' || coalesce(V, '<NULL>') FROM DATA ORDER BY rowid");
        QStringList rows;
        while (q.executeStep()) rows << QString::fromStdString(q.getColumn(0).getString());
        QCOMPARE(rows, (QStringList{"OlObjB|Name|Shade", "OlObjA|Name|Lamp", "OlObjA|colour|<NULL>", "OlObjA|Name|Lamp", "OlObjB|colour|"}));
        // Its step in the history names the database as the user knows it.
        QCOMPARE(m_store.open().stepToUndo().value_or(Step()).what, "import of " + displayNameOf(connection));

        // A database is no source for itself.
        QVERIFY_THROWS_EXCEPTION(StoreError, toServer.run(connection));
        QCOMPARE(server.exec(connection, "SELECT count(*) FROM data"), QStringLiteral("5"));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    CommandsTest onFile(false), onServer(true);
    return test::runEach(argc, argv, {&onFile, &onServer});
}
#include "test_commands.moc"
