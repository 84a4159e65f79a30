// The table view's, the HTML report's, the CSV file's and the card view's data, called directly:
// the columns and cells of the found objects read a block at a time with the results of the
// per-cell lookups, the report page byte for byte, files written whole or not at all, and what
// each card shows; on a file and again on a server database.

#include "commands/cards.h"
#include "commands/csv.h"
#include "commands/report.h"
#include "commands/tableview.h"

#include "engines.h"

#include <QBuffer>
#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;

namespace {

const QString kLampClass = QStringLiteral("OlObj20020103125301");
const QString kDesk = QStringLiteral("OlObj20020103125302");
const QString kFloor = QStringLiteral("OlObj20020103125303");
const QString kGarden = QStringLiteral("OlObj20020103125304");

const QList<Row> kLamps = {{kLampClass, kTOO, kClassValue}, {kLampClass, kName, "Lamp"},
                           {kDesk, kTOO, kLampClass},       {kDesk, kName, "Desk lamp"},
                           {kDesk, "colour", "red"},        {kDesk, kBelongsTo, kGarden},
                           {kFloor, kTOO, kLampClass},      {kFloor, kName, "Floor lamp"},
                           {kFloor, "watts", "60"},         {kGarden, kName, "Garden"}};

// The page's fixed head and the start of the table, for a given criteria line.
QByteArray head(const QByteArray& criteria) {
    return "\xEF\xBB\xBF<HTML>\r\n<HEAD>\r\n<TITLE>Olv :: Olvarion :: Basic Report</TITLE>\r\n"
           "<style><!-- body { font-family: Verdana; font-size: 10pt }TD { font-family: Verdana; "
           "font-size: 10pt }--> </style>\r\n</HEAD>\r\n<BODY>\r\n<P>Search criteria = " +
           criteria +
           "</P>\r\n<TABLE BORDER=\"1\" CELLPADDING=\"2\" CELLSPACING=\"0\">\r\n"
           "<TR><TD bgcolor=\"blue\"><FONT COLOR=\"white\"><B>Class</B></FONT></TD>"
           "<TD bgcolor=\"blue\"><FONT COLOR=\"white\"><B>Name</B></FONT></TD>\r\n";
}
QByteArray headerCell(const QByteArray& name) {
    return "<TD bgcolor=\"blue\"><FONT COLOR=\"white\"><B>" + name + "</B></FONT></TD>\r\n";
}
const QByteArray kFoot = "</TABLE>\r\n</BODY>\r\n</HTML>\r\n";

// A table as the user reads it: the header row and every row's cells.
struct Table {
    QStringList headers;
    QList<QStringList> rows;
};

} // namespace

class ViewCommandsTest : public QObject {
    Q_OBJECT
public:
    explicit ViewCommandsTest(bool server) : m_server(server) {}

private:
    const bool m_server;
    QTemporaryDir m_dir;
    Store m_store;
    void add(const QList<Row>& rows) { m_store.open().appendAll(rows); }
    // Rows as another program may write them: NULLs, numbers, identifiers in other letter case.
    void exec(const char* sql) { test::rawSql(m_store.path(), sql); }
    Table table(const QString& text, bool containing, TableLinks links = TableLinks::AsStored) {
        TableCommand command(m_store);
        const TableLayout layout = command.layout(text, containing);
        Table t{layout.headers(), {}};
        command.eachRow(layout, links, [&](const TableRow& row) { t.rows << row.cells(int(t.headers.size())); });
        return t;
    }
    Report report(const QString& text, bool containing) {
        return ReportCommand(m_store).read(text, containing).value_or(Report{"nothing read", {}});
    }
    QByteArray page(const QString& text, bool containing) {
        ReportCommand command(m_store);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        command.write(command.read(text, containing).value_or(Report{"nothing read", {}}), out);
        return out.data();
    }

private slots:
    void initTestCase() {
        if (m_server) OLV_NEEDS_SERVER();
    }
    void init() { m_store.setPath(test::freshDatabase(m_server, m_dir.filePath("Olv.mdb"))); }

    void tableOfTwoLampsFoundByTheirClass() {
        add(kLamps);
        // The class's referrers, not the class itself; columns in order, N/A where missing.
        const Table t = table(kLampClass, false);
        QCOMPARE(t.headers, (QStringList{"Class", "Name", kBelongsTo, "colour", "watts"}));
        QCOMPARE(t.rows, (QList<QStringList>{{"Lamp", "Desk lamp", kGarden, "red", "N/A"},
                                             {"Lamp", "Floor lamp", "N/A", "N/A", "60"}}));
        // The report names what a value links to; the criteria name the searched object.
        const Report r = report(kLampClass, false);
        QCOMPARE(r.criteria, QStringLiteral("Lamp"));
        QCOMPARE(r.table.ids, (QStringList{kDesk, kFloor}));
        QCOMPARE(table(kLampClass, false, TableLinks::ByName).rows.first(),
                 (QStringList{"Lamp", "Desk lamp", "Garden", "red", "N/A"}));
        QCOMPARE(report("OlObj2002010312530", true).criteria, QStringLiteral("N/A")); // names no object
        QCOMPARE(report("lamp", true).criteria, QStringLiteral("lamp"));
        // Nothing found: no columns, no rows, no report.
        QCOMPARE(table("violet", false).headers, (QStringList{"Class", "Name"}));
        QVERIFY(table("violet", false).rows.isEmpty());
        QVERIFY(!ReportCommand(m_store).read("violet", false));
    }

    void everyCellIsWhatItsLookupReads_data() {
        QTest::addColumn<int>("extra"); // plain objects beside the odd ones
        QTest::newRow("few") << 5;
        QTest::newRow("past a statement's and a block's worth") << 1100;
    }
    void everyCellIsWhatItsLookupReads() {
        QFETCH(int, extra);
        const QString owner = QStringLiteral("OlObj20020103125305");
        add(kLamps);
        // The class under "too", a name under "NAME"; the same property twice in other letter
        // case, "too" and "name" columns of the user's own, an umlaut in both cases, a link to
        // an object named under "nAmE", and every plain object's size twice, spelt two ways.
        add({{kDesk, "name", "nick"},
             {kDesk, "too", "mine"},
             {owner, "nAmE", "Shed"},
             {kFloor, "NAME", "second name"},
             {"OlObjA", "too", kLampClass},
             {"OlObjA", "NAME", "lower-case class and name"},
             {"OlObjA", "too", "a later class"},
             {"OlObjA", "owner", owner},
             {"OlObjA", "ÄPFEL", "upper"},
             {"OlObjA", "äpfel", "lower"},
             {"OlObjA", "Colour", "green"},
             {"OlObjA", "colour", "dark"},
             {"OlObjB", "äPFEL", "mixed"},
             {"OlObjB", "Too", "OlValClass"},
             {"OlObjB", "name", "a class spelt small"},
             {"OlObjC", kTOO, "OlObjGone"},
             {"OlObjC", "owner", "OlObjGone"}});
        QList<Row> rows;
        for (int i = 0; i < extra; ++i)
            rows += {{QStringLiteral("OlObjN%1").arg(i), kName, QStringLiteral("n%1").arg(i)},
                     {QStringLiteral("OlObjN%1").arg(i), i % 2 ? "Size" : "SIZE", QString::number(i)},
                     {QStringLiteral("OlObjN%1").arg(i), "size", "second"}};
        add(rows);
        // The same objects under other spellings of their identifiers, and values that are no text.
        exec("INSERT INTO DATA (O, P, V) VALUES ('OLOBJA', 'size', 'upper id'), ('olobjb', 'watts', 40), "
             "('OlObjC', 'size', NULL), ('OlObjC', NULL, 'no property')");

        Database db = m_store.open();
        const QStringList ids = db.findObjects("", true);
        QVERIFY(ids.size() > extra);
        const Table shown = table("", true);
        const Table reported = table("", true, TableLinks::ByName);
        // One column per name whatever its case, spelt as first stored; exactly TOO and Name are
        // the class and the name.
        QCOMPARE(shown.headers, (QStringList{"Class", "Name", kBelongsTo, "colour", "name", "owner", "SIZE", "too",
                                             "watts", "ÄPFEL"}));
        QCOMPARE(reported.headers, shown.headers);
        QCOMPARE(shown.rows.size(), ids.size());
        QCOMPARE(reported.rows.size(), ids.size());
        // Every cell against its own lookup: GetPropertyValue of the property, and of Name where
        // the value is an identifier (the class always, any value in the report).
        const auto named = [&](const QString& v) { return isObjectId(v) ? db.GetPropertyValue(v, kName) : v; };
        for (qsizetype i = 0; i < ids.size(); ++i) {
            const QString cls = named(db.GetPropertyValue(ids[i], kTOO));
            QStringList asStored{cls, db.GetPropertyValue(ids[i], kName)}, byName = asStored;
            for (const QString& p : shown.headers.mid(2)) {
                asStored << db.GetPropertyValue(ids[i], p);
                byName << named(asStored.last());
            }
            QCOMPARE(shown.rows[i], asStored);
            QCOMPARE(reported.rows[i], byName);
        }
        // What that means for the odd ones.
        const auto row = [&](const Table& t, const QString& id) { return t.rows[ids.indexOf(id)]; };
        QCOMPARE(row(shown, "OlObjA"), (QStringList{"Lamp", "lower-case class and name", "N/A", "green",
                                                    "lower-case class and name", owner, "upper id", kLampClass,
                                                    "N/A", "upper"}));
        QCOMPARE(row(reported, "OlObjA")[5], QStringLiteral("Shed"));
        QCOMPARE(row(shown, "OlObjB"), (QStringList{"OlValClass", "a class spelt small", "N/A", "N/A",
                                                    "a class spelt small", "N/A", "N/A", "OlValClass", "40", "mixed"}));
        QCOMPARE(row(shown, kDesk), (QStringList{"Lamp", "Desk lamp", kGarden, "red", "Desk lamp", "N/A", "N/A",
                                                 kLampClass, "N/A", "N/A"}));
        QCOMPARE(row(shown, kFloor)[1], QStringLiteral("Floor lamp"));
        QCOMPARE(row(reported, "OlObjC"), (QStringList{"N/A", "N/A", "N/A", "N/A", "N/A", "N/A", "", "N/A", "N/A", "N/A"}));
        QCOMPARE(row(shown, "OlObjC")[5], QStringLiteral("OlObjGone"));
        QCOMPARE(row(shown, "OlObjN1"), (QStringList{"N/A", "n1", "N/A", "N/A", "n1", "N/A", "1", "N/A", "N/A", "N/A"}));
    }

    void rowsOfManyObjectsAreThoseOfEach_data() {
        QTest::addColumn<bool>("indexed");
        QTest::newRow("through the index") << true;
        if (!m_server) QTest::newRow("a file without it, scanned") << false;
    }
    void rowsOfManyObjectsAreThoseOfEach() {
        QFETCH(bool, indexed);
        const QString path = m_server ? m_store.path() : m_dir.filePath("raw.mdb");
        if (!m_server) {
            QFile::remove(path);
            SQLite::Database(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE).exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT)");
        }
        test::rawSql(path, "INSERT INTO DATA (O, P, V) VALUES "
                           "('OlObjA', 'x', '1'), ('olobja', 'x', '2'), ('OlObjB', 'y', NULL), (NULL, 'z', 'lost'), "
                           "('OlObjsk', 's', 'plain'), ('OlObjſK', 's', 'long s'), ('OlObjsssssss', 't', 'many'), "
                           "('OlObjA', 'x', '3'), ('OlObjÄ', 'u', 'upper'), ('OlObjä', 'u', 'lower')");
        if (indexed) Database(path).countObjects(); // makes the search indexes
        Database db(path, Database::Indexes::Leave);
        const QStringList ids{"OLOBJA", "OlObjB", "OlObjNone", "OlObjSK", "OlObjSSSSSSS", "OlObjä", "OlObjA", ""};
        QList<QList<Row>> each;
        for (const QString& id : ids) each << db.rowsOf(id);
        QCOMPARE(db.rowsOfEach(ids), each);
        // Their property names, each spelling once, in the order first stored.
        QCOMPARE(db.propertyNamesOf(ids), (QStringList{"x", "y", "s", "t", "u"}));
        QCOMPARE(db.propertyNamesOf({"OlObjä", "OlObjB"}), (QStringList{"y", "u"}));
        QCOMPARE(each[0].size(), 3);
        QCOMPARE(each[3].size(), 2);
        QCOMPARE(each[5].size(), 2);
    }

    void reportPageLineByLine() {
        add(kLamps);
        // An identifier's search: its name as criteria, linked values by name, open rows.
        QCOMPARE(page(kLampClass, false),
                 head("Lamp") + headerCell("BelongsTo") + headerCell("colour") + headerCell("watts") + "</TR>\r\n" +
                     "<TR><TD>Lamp</TD><TD>Desk lamp</TD><TD>Garden</TD>\r\n<TD>red</TD>\r\n<TD>N/A</TD>\r\n"
                     "<TR><TD>Lamp</TD><TD>Floor lamp</TD><TD>N/A</TD>\r\n<TD>N/A</TD>\r\n<TD>60</TD>\r\n" +
                     kFoot);
        // Only class and name: each row without a line end of its own.
        init();
        add(kLamps.mid(0, 4) + QList<Row>{{kFloor, kTOO, kLampClass}, {kFloor, kName, "Floor lamp"}});
        QCOMPARE(page("Lamp", true),
                 head("Lamp") + "</TR>\r\n" +
                     "<TR><TD>OlValClass</TD><TD>Lamp</TD><TR><TD>Lamp</TD><TD>Desk lamp</TD>"
                     "<TR><TD>Lamp</TD><TD>Floor lamp</TD>" + kFoot);
    }

    void reportShowsPicturesAndEscapesMarkup() {
        add({{kDesk, kName, "<b>\"Tom\" & Jerry</b>"}, {kDesk, "a", "/p/one.gif"}, {kDesk, "b", "/p/TWO.JPG"},
             {kDesk, "c", "/p/three.jpeg"}, {kDesk, "d", "/p/four.png"}, {kDesk, "e", "/p/five.bmp"},
             {kDesk, "f", kFloor}, {kFloor, kName, "/p/linked.Jpg"}, {kDesk, "g", "/p/it's \"odd\" & <x>.gif"},
             {kDesk, "<i>", "<script>alert(1)</script>"}});
        const QByteArray written = page("<b>\"Tom\"", true);
        const QList<QByteArray> lines = written.split('\n');
        QCOMPARE(lines[6], QByteArray("<P>Search criteria = &lt;b&gt;&quot;Tom&quot;</P>\r"));
        QCOMPARE(lines[9], headerCell("&lt;i&gt;").chopped(1));
        QCOMPARE(lines.mid(18, 8),
                 (QList<QByteArray>{"<TR><TD>N/A</TD><TD>&lt;b&gt;&quot;Tom&quot; &amp; Jerry&lt;/b&gt;</TD>"
                                    "<TD>&lt;script&gt;alert(1)&lt;/script&gt;</TD>\r",
                                    "<TD><IMG SRC=\"/p/one.gif\"></TD>\r", "<TD><IMG SRC=\"/p/TWO.JPG\"></TD>\r",
                                    "<TD>/p/three.jpeg</TD>\r", "<TD>/p/four.png</TD>\r", "<TD>/p/five.bmp</TD>\r",
                                    "<TD><IMG SRC=\"/p/linked.Jpg\"></TD>\r",
                                    "<TD><IMG SRC=\"/p/it's &quot;odd&quot; &amp; &lt;x&gt;.gif\"></TD>\r"}));
        QVERIFY(!written.contains("<script>") && !written.contains("<b>") && !written.contains("<i>"));
    }

    void moreThanAHundredAndOnePropertiesAllGetColumns() {
        QList<Row> rows{{kDesk, kName, "wide"}};
        for (int i = 149; i >= 0; --i) rows.push_back({kDesk, QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0')), QString::number(i)});
        add(rows);
        const Table t = table("wide", false, TableLinks::ByName);
        QCOMPARE(t.headers.size(), 152);
        QCOMPARE(t.headers.last(), QStringLiteral("p149"));
        QCOMPARE(t.rows.first().last(), QStringLiteral("149"));
        QCOMPARE(page("wide", false).count("bgcolor"), 152);
    }

    void filesAreWrittenWholeOrNotAtAll() {
        QList<Row> rows;
        for (int i = 0; i < 1200; ++i)
            rows += {{QStringLiteral("OlObjN%1").arg(i), kName, QStringLiteral("lamp %1").arg(i)},
                     {QStringLiteral("OlObjN%1").arg(i), "colour", QString(40, QLatin1Char('x'))}};
        add(rows);
        QTemporaryDir folder;
        const QString reportPath = folder.filePath("BasicReport.htm"), csvPath = folder.filePath("Olv.csv");
        for (const QString& path : {reportPath, csvPath}) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the old file") == 12);
        }
        // Called off once part of the new file is written: the old one stays, nothing is left beside it.
        bool partWritten = false;
        const KeepGoing untilPartWritten = [&] { return !partWritten; };
        const auto share = [&](double done) { partWritten = done > 0 && done < 1; };
        const std::optional<Report> read = ReportCommand(m_store).read("lamp", true);
        QVERIFY(read && read->table.ids.size() == 1200);
        ReportCommand report(m_store, untilPartWritten);
        QVERIFY_THROWS_EXCEPTION(Cancelled, report.save(reportPath, *read, share));
        QVERIFY(partWritten);
        partWritten = false;
        TableCommand cells(m_store, untilPartWritten);
        QVERIFY_THROWS_EXCEPTION(Cancelled, csv::save(csvPath, read->table, cells, share));
        QVERIFY(partWritten);
        for (const QString& path : {reportPath, csvPath}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("the old file"));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), (QStringList{"BasicReport.htm", "Olv.csv"}));

        // Written through: the old files replaced whole. A folder that is not there: said, naming the file.
        ReportCommand whole(m_store);
        QVERIFY(whole.save(reportPath, *read).isNull());
        TableCommand allCells(m_store);
        QVERIFY(csv::save(csvPath, read->table, allCells).isNull());
        QFile csvFile(csvPath);
        QVERIFY(csvFile.open(QIODevice::ReadOnly));
        QCOMPARE(csvFile.readAll().count("\r\n"), 1201);
        const QString nowhere = folder.filePath("gone/BasicReport.htm");
        QVERIFY(whole.save(nowhere, *read).contains(nowhere));
        QVERIFY(csv::save(nowhere, read->table, allCells).contains(nowhere));
    }

    void cardsShowNamesClassesAndLinksByName() {
        const QString nameless = QStringLiteral("OlObj20020103125309");
        add(kLamps);
        add({{kDesk, "photo", "/p/desk.Jpg"}, {kDesk, "note", "/p/Olv.mdb.desk.RTF"}, {kDesk, "sketch", "/p/b.gif"},
             {kDesk, "second note", "/p/more.rtf"}, {kDesk, "made by", nameless}, {kDesk, "name", "nickname"},
             {nameless, "TOO", "OlValOdd"}, {nameless, kTOO, "ignored"}, {nameless, "owner", kDesk}});
        CardCommand command(m_store);
        // Found in the order stored; a card per identifier asked for, in that order.
        QCOMPARE(command.find("lamp", true), (QStringList{kLampClass, kDesk, kFloor}));
        const QList<Card> cards = command.cards({kDesk, kLampClass, nameless, kGarden});
        QCOMPARE(cards.size(), 4);
        const Card& desk = cards[0];
        QCOMPARE(desk.id, kDesk);
        QCOMPARE(desk.name, QStringLiteral("Desk lamp"));
        QCOMPARE(desk.className, QStringLiteral("Lamp"));
        // Links by name, or by identifier when the linked object has none; the later "name" is a
        // property of its own.
        using P = std::pair<QString, QString>;
        QCOMPARE(desk.properties, (QList<P>{{"colour", "red"}, {kBelongsTo, "Garden"}, {"photo", "/p/desk.Jpg"},
                                            {"note", "/p/Olv.mdb.desk.RTF"}, {"sketch", "/p/b.gif"},
                                            {"second note", "/p/more.rtf"}, {"made by", nameless},
                                            {"name", "nickname"}}));
        QCOMPARE(desk.picture, QStringLiteral("/p/desk.Jpg"));
        QCOMPARE(desk.note, QStringLiteral("/p/Olv.mdb.desk.RTF"));
        QCOMPARE(cards[1].className, CardCommand::kClassText);
        QVERIFY(cards[1].properties.isEmpty() && cards[1].picture.isNull() && cards[1].note.isNull());
        // Without Name the identifier, without TOO "N/A", as the tree and the table show them.
        QCOMPARE(cards[2].name, nameless);
        QCOMPARE(cards[2].className, QStringLiteral("OlValOdd"));
        QCOMPARE(cards[2].properties, (QList<P>{{kTOO, "ignored"}, {"owner", "Desk lamp"}}));
        QCOMPARE(cards[3].name, QStringLiteral("Garden"));
        QCOMPARE(cards[3].className, kNotAvailable);
        QVERIFY(command.cards({}).isEmpty());
    }

    void cardsShowTheFirstLinesOfANoteThatHoldSomething() {
        QCOMPARE(CardCommand::firstLines(QStringLiteral("\n  Dear Tom,\n\n\tthe lamp\u00a0is red.\nBye\nMore"), 3),
                 (QStringList{"Dear Tom,", u"the lamp\u00a0is red."_qs, "Bye"}));
        QCOMPARE(CardCommand::firstLines(QStringLiteral("one"), 3), QStringList{"one"});
        QCOMPARE(CardCommand::firstLines(QStringLiteral("\n \n"), 3), QStringList());
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    ViewCommandsTest onFile(false), onServer(true);
    return test::runEach(argc, argv, {&onFile, &onServer});
}
#include "test_commands_views.moc"
