// File, Import: the rows of another Olv database, a Jet file or an Olv SQLite file, added to the
// one in use as a multiset, all or nothing, the other file left as it was.

#include "commands/importer.h"
#include "corpus.h"
#include "files.h"
#include "driver.h"
#include "pgserver.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;
using namespace olv::test;

namespace {

const QString kSampleName = QStringLiteral("data/olv-sample.mdb");

QString sample() { return corpusFile(kSampleName); }

// The rows mdb-export printed for the sample: quoted fields with quotes doubled, an empty field
// left bare.
QList<Row> exportedRows() {
    QFile f(corpusFile(QStringLiteral("data/olv-sample.mdb-export.csv")));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QString text = QString::fromUtf8(f.readAll());
    QList<Row> rows;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = text.indexOf('\n') + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += '"', ++i;
            else if (c == '"') quoted = false;
            else field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',' || c == '\n') {
            fields << field;
            field.clear();
            if (c == '\n') {
                rows.push_back({fields.value(0), fields.value(1), fields.value(2)});
                fields.clear();
            }
        } else {
            field += c;
        }
    }
    return rows;
}

} // namespace

class ImportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldImportTheSampleJetFileExactlyAndOnlyOnce() {
        OLV_NEEDS_CORPUS(kSampleName);
        const QString jet = sample();
        Harness h;
        const QList<Row> expected = exportedRows();
        QCOMPARE(expected.size(), 53);
        const QByteArray before = bytesOf(jet);
        ImportCommand import(h.ctx.store);
        ImportCommand::Result result = import.run(jet);
        QCOMPARE(ImportCommand::resultText(result), QStringLiteral("53 rows imported, 0 already present"));
        QCOMPARE(h.allRows(), expected); // every text as it was: quotes, other alphabets, an empty O
        result = import.run(jet);
        QCOMPARE(ImportCommand::resultText(result), QStringLiteral("0 rows imported, 53 already present"));
        QCOMPARE(h.allRows(), expected);
        QCOMPARE(bytesOf(jet), before);
        // Found like any other rows.
        QCOMPARE(h.ctx.store.open().findObjects(QString::fromUtf8("ZÜRICH"), false).size(), 1);
        // Called off while the Jet file is read: nothing is added.
        std::function<bool(double)> stopAtOnce = [](double) { return false; };
        QVERIFY_THROWS_EXCEPTION(Cancelled, ImportCommand(h.ctx.store).run(jet, stopAtOnce));
        QCOMPARE(h.allRows(), expected);
    }

    void shouldAddEachRowAsOftenAsTheOtherFileHoldsItMore() {
        Harness h;
        const QString other = h.otherDatabase("other.mdb", {{"OlObjA", "City", "Zürich"}, {"OlObjA", "City", "Zürich"},
                                                             {"OlObjA", "City", "Zürich"}, {"OlObjA", "city", "zürich"},
                                                             {"OlObjB", "x", ""}});
        const QByteArray before = bytesOf(other);
        h.add({{"OlObjA", "City", "Zürich"}, {"OlObjA", "City", "Zürich"}, {"OlObjB", "x", ""}});
        const ImportCommand::Result result = ImportCommand(h.ctx.store).run(other);
        QCOMPARE(ImportCommand::resultText(result), QStringLiteral("2 rows imported, 3 already present"));
        QCOMPARE(h.allRows().count(Row{"OlObjA", "City", "Zürich"}), 3);
        QCOMPARE(h.allRows().count(Row{"OlObjA", "city", "zürich"}), 1); // letter case is no match here
        QCOMPARE(bytesOf(other), before); // not even search indexes were added
    }

    void shouldRefuseUnusableFilesAndChangeNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Jet file without DATA") << "mdb/jet3-nwind.mdb" << "no table DATA";
        QTest::newRow("password, no DATA") << "mdb/jet4-V2000-with-password.mdb" << "no table DATA";
        QTest::newRow("cut short") << "truncated" << "damaged";
        QTest::newRow("cut after its table list") << "cut late" << "only 0 of its 53 rows";
        QTest::newRow("row count damaged") << "huge count" << "damaged";
        QTest::newRow("the database in use") << "itself" << "in use";
        QTest::newRow("not a database") << "text" << "neither";
        QTest::newRow("missing") << "missing" << "does not exist";
    }
    void shouldRefuseUnusableFilesAndChangeNothing() {
        QFETCH(QString, file);
        QFETCH(QString, reason);
        Harness h;
        h.add({{"OlObjA", kName, "kept"}});
        const QString jet = sample();
        if (file.startsWith("mdb/")) {
            OLV_NEEDS_CORPUS(file);
            file = corpusFile(file);
        } else if (file == "truncated" || file == "cut late" || file == "huge count") {
            OLV_NEEDS_CORPUS(kSampleName);
        }
        if (file == "truncated") {
            file = h.dir.filePath("cut.mdb");
            QVERIFY(writeBytes(file, bytesOf(jet).left(9000)));
        } else if (file == "cut late" || file == "huge count") {
            QByteArray bytes = bytesOf(jet);
            if (file == "cut late") {
                bytes.truncate(100 * 1024);
            } else {
                // DATA's row count, on its definition page (24) at byte 16 of a 4096-byte page.
                const char huge[4] = {'\xff', '\xff', '\xff', '\xff'};
                bytes.replace(24 * 4096 + 16, 4, huge, 4);
            }
            file = h.dir.filePath("damaged.mdb");
            QVERIFY(writeBytes(file, bytes));
        } else if (file == "itself") {
            file = h.ctx.store.path();
        } else if (file == "text") {
            file = h.dir.filePath("notes.mdb");
            QVERIFY(writeBytes(file, "O;P;V\n"));
        } else if (file == "missing") {
            file = h.dir.filePath("gone.mdb");
        }
        const QByteArray before = bytesOf(file);
        QString message;
        try {
            ImportCommand(h.ctx.store).run(file);
        } catch (const StoreError& e) {
            message = e.message();
        }
        QVERIFY2(message.contains(reason) && message.contains(file), qPrintable(message));
        QCOMPARE(h.allRows(), (QList<Row>{{"OlObjA", kName, "kept"}}));
        QCOMPARE(bytesOf(file), before);
    }

    void shouldImportFromTheMenuWithProgressAndCancel() {
        MainWindowDriver d;
        QList<Row> five;
        for (int i = 0; i < 5; ++i) five.push_back({QStringLiteral("OlObjS%1").arg(i), kName, QString::fromUtf8("Zoë's \"%1\"").arg(i)});
        d.h.prompter.fileAnswers << d.h.otherDatabase("small.mdb", five);
        d.action("mnuFileImport")->trigger();
        QCOMPARE(d.h.prompter.shown.first().kind, Prompt::OpenFile);
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{"5 rows imported, 0 already present"});
        QCOMPARE(d.h.allRows(), five);
        // Cancelled file dialog: nothing happens.
        d.h.prompter.shown.clear();
        d.action("mnuFileImport")->trigger();
        QCOMPARE(d.h.prompter.shown.size(), 1);
        // Called off half-way: nothing is added.
        QList<Row> many;
        for (int i = 0; i < 3000; ++i) many.push_back({QStringLiteral("OlObjX%1").arg(i), kName, "x"});
        const QString other = d.h.otherDatabase("other.mdb", many);
        std::function<bool(double)> stopHalfWay = [](double share) { return share < 0.6; };
        QVERIFY_THROWS_EXCEPTION(Cancelled, ImportCommand(d.h.ctx.store).run(other, stopHalfWay));
        QCOMPARE(d.h.allRows(), five);
    }

    void shouldKeepNullsAndNumbersAsTheOtherFileHoldsThem() {
        MainWindowDriver d;
        // Written by another program, with a table whose columns take any kind of value.
        const QString other = d.h.dir.filePath("typed.db");
        {
            SQLite::Database raw(other.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            raw.exec("CREATE TABLE DATA (O, P, V)");
            raw.exec("INSERT INTO DATA VALUES ('OlObjT', 'none', NULL), ('OlObjT', 'empty', ''), "
                     "('OlObjT', 'whole', 42), ('OlObjT', 'huge', 9007199254740993), ('OlObjT', 'real', 2.5), "
                     "('OlObjT', 'third', 1.0 / 3), ('OlObjT', 'bytes', X'00FF41'), ('OlObjT', 'text', '7'), "
                     "(NULL, 'no object', 'x'), ('OlObjT', NULL, 'no property')");
        }
        const QByteArray before = bytesOf(other);
        // Each value's kind and the value itself, as SQLite has them.
        const auto held = [](const QString& file) {
            SQLite::Database db(file.toStdString(), SQLite::OPEN_READONLY);
            SQLite::Statement q(db, "SELECT typeof(O) || ' ' || quote(O) || '|' || typeof(P) || ' ' || quote(P) || '|' || "
                                    "typeof(V) || ' ' || quote(V) FROM DATA ORDER BY rowid");
            QStringList rows;
            while (q.executeStep()) rows << QString::fromStdString(q.getColumn(0).getString());
            return rows;
        };
        // What SQLite's own copy makes of them in a table like ours.
        const auto copiedBySqlite = [&](const QString& file) {
            SQLite::Database db(file.toStdString(), SQLite::OPEN_READWRITE);
            db.exec("ATTACH '" + other.toStdString() + "' AS other");
            db.exec("INSERT INTO DATA SELECT O, P, V FROM other.DATA ORDER BY rowid");
            db.exec("DETACH other");
        };
        const QStringList original = held(other);
        QCOMPARE(original.size(), 10);

        // Into a file of the same kind: every value as it was, NULL and numbers included.
        const QString alike = d.h.dir.filePath("alike.db");
        SQLite::Database(alike.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE).exec("CREATE TABLE DATA (O, P, V)");
        const Store alikeStore(alike);
        ImportCommand import(alikeStore);
        QCOMPARE(ImportCommand::resultText(import.run(other)), QStringLiteral("10 rows imported, 0 already present"));
        QCOMPARE(held(alike), original);
        // And recognised as present a second time, NULL apart from empty text.
        QCOMPARE(ImportCommand::resultText(import.run(other)), QStringLiteral("0 rows imported, 10 already present"));

        // Into the database in use, through File, Import: what its text columns make of each
        // value, as SQLite's own copy does (numbers become their text there; NULL stays NULL).
        const QString reference = d.h.otherDatabase("reference.mdb");
        copiedBySqlite(reference);
        d.h.prompter.fileAnswers << other;
        d.action("mnuFileImport")->trigger();
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{"10 rows imported, 0 already present"});
        QCOMPARE(held(d.h.path()), held(reference));
        QVERIFY(held(d.h.path()).contains("text 'OlObjT'|text 'none'|null NULL"));
        QVERIFY(held(d.h.path()).contains("null NULL|text 'no object'|text 'x'"));
        d.h.prompter.fileAnswers << other;
        d.action("mnuFileImport")->trigger();
        QCOMPARE(d.h.prompter.texts(Prompt::Message).last(), QStringLiteral("0 rows imported, 10 already present"));
        QCOMPARE(bytesOf(other), before);
    }

    // The progress window comes up after the usual moment whatever the import is doing, even
    // before a row is read: here the other file is held by another program, which lets go once
    // the window is seen.
    void shouldShowProgressWhileTheOtherFileIsStillBusy() {
        MainWindowDriver d;
        QList<Row> rows;
        for (int i = 0; i < 2000; ++i) rows.push_back({QStringLiteral("OlObjB%1").arg(i / 4), kName, QString::number(i)});
        const QString other = d.h.otherDatabase("busy.mdb", rows);
        SQLite::Database writer(other.toStdString(), SQLite::OPEN_READWRITE);
        writer.exec("BEGIN EXCLUSIVE");
        bool locked = true, shownWhileLocked = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (qobject_cast<QProgressDialog*>(w) && w->isVisible() && locked) {
                    shownWhileLocked = true;
                    writer.exec("COMMIT");
                    locked = false;
                }
        });
        watch.start(5);
        d.h.prompter.fileAnswers << other;
        d.action("mnuFileImport")->trigger();
        watch.stop();
        if (locked) writer.exec("COMMIT");
        QVERIFY(shownWhileLocked);
        QCOMPARE(d.h.prompter.texts(Prompt::Error), QStringList());
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{"2000 rows imported, 0 already present"});
        QCOMPARE(d.h.rowCount(), 2000);
    }

    // A long import shows a progress window naming the file; its Cancel leaves the database
    // as it was and says nothing was imported.
    void shouldCallOffALongImportFromItsProgressWindow() {
        MainWindowDriver d;
        d.h.add({{"OlObjA", kName, "kept"}});
        const QString other = d.h.otherDatabase("large.mdb");
        {
            SQLite::Database raw(other.toStdString(), SQLite::OPEN_READWRITE);
            SQLite::Transaction t(raw);
            SQLite::Statement insert(raw, "INSERT INTO DATA VALUES (?, 'p', ?)");
            for (int i = 0; i < 300000; ++i) { // several seconds of work, well past the 0.6 s wait
                insert.bind(1, QStringLiteral("OlObjL%1").arg(i / 10).toStdString());
                insert.bind(2, QStringLiteral("value %1").arg(i).toStdString());
                insert.exec();
                insert.reset();
            }
            t.commit();
        }
        const QByteArray before = bytesOf(d.h.ctx.store.path());
        d.h.prompter.fileAnswers << other;
        QString said;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible() && said.isEmpty()) {
                    said = dialog->labelText();
                    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
                }
        });
        watch.start(5);
        d.action("mnuFileImport")->trigger();
        watch.stop();
        QVERIFY2(said.contains(other), qPrintable(said));
        QVERIFY(d.h.prompter.texts(Prompt::Message).isEmpty() && d.h.prompter.texts(Prompt::Error).isEmpty());
        QCOMPARE(d.h.allRows(), (QList<Row>{{"OlObjA", kName, "kept"}}));
        QCOMPARE(bytesOf(d.h.ctx.store.path()), before);
    }

    // File, Import from Server asks as Connect to Server does, password included, and names the
    // source as user@host/dbname; and a file goes into a server database in use through File,
    // Import.
    void shouldImportBetweenAServerDatabaseAndTheFileFromTheMenu() {
        OLV_NEEDS_SERVER();
        PgServer& server = PgServer::instance();
        const QString source = server.newDatabase();
        const QList<Row> served{{"OlObjP1", kName, "Teapot"}, {"OlObjP1", "colour", "blue"}, {"OlObjP1", "colour", "blue"},
                                {"OlObjP2", kName, QString::fromUtf8("Zoë's \"cup\"")}};
        Database(source).appendAll(served);
        server.exec(source, QStringLiteral("DROP ROLE IF EXISTS %1; CREATE ROLE %1 LOGIN PASSWORD 'pour me'; "
                                           "GRANT SELECT ON data TO %1").arg(kPasswordRole));
        const QString role = QString(source).replace(QRegularExpression("user=\\S+"), QStringLiteral("user=%1").arg(kPasswordRole));
        MainWindowDriver d;
        const QString file = d.h.path();
        d.h.add({{"OlObjP1", "colour", "blue"}, {"OlObjA", kName, "kept"}});
        const auto importFromServer = [&](const QStringList& answers) {
            d.h.prompter.shown.clear();
            d.h.prompter.textAnswers.append(answers);
            d.action("mnuFileImportServer")->trigger();
            QVERIFY(d.h.prompter.textAnswers.isEmpty());
        };

        // Not a connection, and Cancel: nothing is read or written.
        importFromServer({"small.mdb"});
        QVERIFY(d.h.prompter.texts(Prompt::Error).value(0).startsWith("This is not a connection to a PostgreSQL server."));
        importFromServer({});
        QCOMPARE(d.h.prompter.shown.size(), 1);
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Olv - Import from Server"));
        QCOMPARE(d.h.rowCount(), 2);

        // As a role that needs a password: the rows as a multiset, once only.
        importFromServer({role, "pour me"});
        QCOMPARE(d.h.prompter.texts(Prompt::Password), QStringList{QStringLiteral("Password for %1:").arg(displayNameOf(role))});
        QCOMPARE(d.h.prompter.texts(Prompt::Error), QStringList());
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{"3 rows imported, 1 already present"});
        QCOMPARE(d.h.allRows(), (QList<Row>{{"OlObjP1", "colour", "blue"}, {"OlObjA", kName, "kept"}, {"OlObjP1", kName, "Teapot"},
                                            {"OlObjP1", "colour", "blue"}, {"OlObjP2", kName, QString::fromUtf8("Zoë's \"cup\"")}}));
        QTRY_COMPARE(d.action("mnuEditUndo")->text(), QStringLiteral("Undo import of %1").arg(displayNameOf(role)));
        importFromServer({role, "pour me"});
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{"0 rows imported, 4 already present"});
        QCOMPARE(d.h.rowCount(), 5);
        QCOMPARE(d.h.path(), file);
        QCOMPARE(server.exec(source, "SELECT count(*) FROM data"), QStringLiteral("4"));

        // The server database in use, connected to through the menu, takes a file's rows.
        const QString target = server.newDatabase();
        d.h.prompter.textAnswers << target;
        d.action("mnuFileConnect")->trigger();
        QCOMPARE(d.h.path(), target);
        QList<Row> five;
        for (int i = 0; i < 5; ++i) five.push_back({QStringLiteral("OlObjS%1").arg(i), kName, QStringLiteral("saucer %1").arg(i)});
        const QString saucers = d.h.otherDatabase("saucers.mdb", five);
        for (const char* expected : {"5 rows imported, 0 already present", "0 rows imported, 5 already present"}) {
            d.h.prompter.shown.clear();
            d.h.prompter.fileAnswers << saucers;
            d.action("mnuFileImport")->trigger();
            QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{QString::fromUtf8(expected)});
        }
        QCOMPARE(server.exec(target, "SELECT string_agg(v, ',' ORDER BY rowid) FROM data"),
                 QStringLiteral("saucer 0,saucer 1,saucer 2,saucer 3,saucer 4"));
    }
};

QTEST_MAIN(ImportTest)
#include "test_import.moc"
