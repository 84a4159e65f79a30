// The table view's, the HTML report's and the card view's data, called directly: the columns and
// cells of the found objects read in a few statements with the results of the per-cell lookups,
// the report page byte for byte, and what each card shows.

#include "commands/cards.h"
#include "commands/report.h"
#include "commands/tableview.h"

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

} // namespace

class ViewCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    Store m_store{m_dir.filePath("Olv.mdb")};
    void add(const QList<Row>& rows) { m_store.open().appendAll(rows); }
    // Rows as another program may write them: NULLs, numbers, identifiers in other letter case.
    void exec(const char* sql) { SQLite::Database(m_store.path().toStdString(), SQLite::OPEN_READWRITE).exec(sql); }
    ObjectTable table(const QString& text, bool containing, TableCommand::Links links = TableCommand::Links::AsStored) {
        return TableCommand(m_store).build(text, containing, links);
    }
    Report report(const QString& text, bool containing) {
        return ReportCommand(m_store).read(text, containing).value_or(Report{"nothing read", {}});
    }

private slots:
    void init() {
        QFile::remove(m_store.path());
        Store::createIfMissing(m_store.path());
    }

    void tableOfTwoLampsFoundByTheirClass() {
        add(kLamps);
        // The class's referrers, not the class itself; columns in order, N/A where missing.
        const ObjectTable t = table(kLampClass, false);
        QCOMPARE(t.headers(), (QStringList{"Class", "Name", kBelongsTo, "colour", "watts"}));
        QCOMPARE(t.rows, (QList<QStringList>{{"Lamp", "Desk lamp", kGarden, "red", "N/A"},
                                             {"Lamp", "Floor lamp", "N/A", "N/A", "60"}}));
        // The report names what a value links to; the criteria name the searched object.
        const Report r = report(kLampClass, false);
        QCOMPARE(r.criteria, QStringLiteral("Lamp"));
        QCOMPARE(r.table.rows.first(), (QStringList{"Lamp", "Desk lamp", "Garden", "red", "N/A"}));
        QCOMPARE(report("OlObj2002010312530", true).criteria, QStringLiteral("N/A")); // names no object
        QCOMPARE(report("lamp", true).criteria, QStringLiteral("lamp"));
        // Nothing found: no columns, no rows, no report.
        QCOMPARE(table("violet", false).headers(), (QStringList{"Class", "Name"}));
        QVERIFY(table("violet", false).rows.isEmpty());
        QVERIFY(!ReportCommand(m_store).read("violet", false));
    }

    void classNameAndOtherPropertiesAreToldApartByExactCase() {
        add({{kLampClass, kTOO, kClassValue}, {kLampClass, kName, "Lamp"}, {kDesk, "too", "mine"},
             {kDesk, kTOO, kLampClass}, {kDesk, kName, "Shed"}, {kDesk, "name", "nick"}, {kFloor, kName, "Bare"},
             {kGarden, kTOO, "OlObjGone"}, {kGarden, "Colour", "green"}, {kGarden, "colour", "dark"}});
        const ObjectTable t = table("", true);
        QCOMPARE(t.headers(), (QStringList{"Class", "Name", "Colour", "name", "too"}));
        QCOMPARE(t.rows, (QList<QStringList>{{"OlValClass", "Lamp", "N/A", "N/A", "N/A"},
                                             {"Lamp", "Shed", "N/A", "nick", "mine"},
                                             {"N/A", "Bare", "N/A", "N/A", "N/A"},
                                             {"N/A", "N/A", "green", "N/A", "N/A"}}));
    }

    void tableAgreesWithThePerCellLookups_data() {
        QTest::addColumn<int>("extra"); // plain objects beside the odd ones
        QTest::newRow("few") << 5;
        QTest::newRow("past one statement's worth") << 1100;
    }
    void tableAgreesWithThePerCellLookups() {
        QFETCH(int, extra);
        add(kLamps);
        QList<Row> rows;
        for (int i = 0; i < extra; ++i)
            rows += {{QStringLiteral("OlObjN%1").arg(i), kName, QStringLiteral("n%1").arg(i)},
                     {QStringLiteral("OlObjN%1").arg(i), i % 2 ? "Size" : "size", QString::number(i)}};
        add(rows);
        add({{"OlObjÄ1", "Äpfel", "sweet"}, {"OlObjsk", "äPFEL", "sour"}, {"OlObjsk", "Äpfel", "second"},
             {"OlObjsssssss", "colour", "grey"}, {"OlObjsssssss", "watts", "7"}, {"OlObjX", kTOO, "OlObjsk"},
             {"OlObjsk", kName, "spelt many ways"}});
        // The same objects under other spellings of their identifiers, and values that are no text.
        exec("INSERT INTO DATA VALUES ('OLOBJ20020103125302', 'colour', 'blue'), ('olobjä1', 'watts', 40), "
             "('OlObjſK', 'size', 'long s and kelvin'), ('OlObjSSSSSSS', 'size', NULL), ('OlObjX', 'colour', NULL)");

        TableCommand command(m_store);
        const ObjectTable t = command.build("", true);
        Database db = m_store.open();
        const QStringList ids = db.findObjects("", true);
        QCOMPARE(t.rows.size(), ids.size());
        QCOMPARE(t.columns, (QStringList{kBelongsTo, "colour", "size", "watts", "Äpfel"}));
        for (qsizetype i = 0; i < ids.size(); ++i) {
            QString cls = db.GetPropertyValue(ids[i], kTOO);
            if (isObjectId(cls)) cls = db.GetPropertyValue(cls, kName);
            QStringList expected{cls, db.GetPropertyValue(ids[i], kName)};
            for (const QString& p : t.columns) expected << db.GetPropertyValue(ids[i], p);
            QCOMPARE(t.rows[i], expected);
        }
        QCOMPARE(t.rows[ids.indexOf("OlObjsk")],
                 (QStringList{"N/A", "spelt many ways", "N/A", "N/A", "long s and kelvin", "N/A", "sour"}));
        QCOMPARE(t.rows[ids.indexOf("OlObjX")].mid(0, 5), (QStringList{"spelt many ways", "N/A", "N/A", "", "N/A"}));
    }

    void rowsOfManyObjectsAreThoseOfEach_data() {
        QTest::addColumn<bool>("indexed");
        QTest::newRow("through the index") << true;
        QTest::newRow("a file without it, scanned") << false;
    }
    void rowsOfManyObjectsAreThoseOfEach() {
        QFETCH(bool, indexed);
        const QString path = m_dir.filePath("raw.mdb");
        QFile::remove(path);
        SQLite::Database raw(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
        raw.exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT); INSERT INTO DATA VALUES "
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
        QCOMPARE(ReportCommand::page(report(kLampClass, false)),
                 head("Lamp") + headerCell("BelongsTo") + headerCell("colour") + headerCell("watts") + "</TR>\r\n" +
                     "<TR><TD>Lamp</TD><TD>Desk lamp</TD><TD>Garden</TD>\r\n<TD>red</TD>\r\n<TD>N/A</TD>\r\n"
                     "<TR><TD>Lamp</TD><TD>Floor lamp</TD><TD>N/A</TD>\r\n<TD>N/A</TD>\r\n<TD>60</TD>\r\n" +
                     kFoot);
        // Only class and name: each row without a line end of its own.
        init();
        add(kLamps.mid(0, 4) + QList<Row>{{kFloor, kTOO, kLampClass}, {kFloor, kName, "Floor lamp"}});
        QCOMPARE(ReportCommand::page(report("Lamp", true)),
                 head("Lamp") + "</TR>\r\n" +
                     "<TR><TD>OlValClass</TD><TD>Lamp</TD><TR><TD>Lamp</TD><TD>Desk lamp</TD>"
                     "<TR><TD>Lamp</TD><TD>Floor lamp</TD>" + kFoot);
    }

    void reportShowsPicturesAndEscapesMarkup() {
        add({{kDesk, kName, "<b>\"Tom\" & Jerry</b>"}, {kDesk, "a", "/p/one.gif"}, {kDesk, "b", "/p/TWO.JPG"},
             {kDesk, "c", "/p/three.jpeg"}, {kDesk, "d", "/p/four.png"}, {kDesk, "e", "/p/five.bmp"},
             {kDesk, "f", kFloor}, {kFloor, kName, "/p/linked.Jpg"}, {kDesk, "g", "/p/it's \"odd\" & <x>.gif"},
             {kDesk, "<i>", "<script>alert(1)</script>"}});
        const QByteArray page = ReportCommand::page(report("<b>\"Tom\"", true));
        const QList<QByteArray> lines = page.split('\n');
        QCOMPARE(lines[6], QByteArray("<P>Search criteria = &lt;b&gt;&quot;Tom&quot;</P>\r"));
        QCOMPARE(lines[9], headerCell("&lt;i&gt;").chopped(1));
        QCOMPARE(lines.mid(18, 8),
                 (QList<QByteArray>{"<TR><TD>N/A</TD><TD>&lt;b&gt;&quot;Tom&quot; &amp; Jerry&lt;/b&gt;</TD>"
                                    "<TD>&lt;script&gt;alert(1)&lt;/script&gt;</TD>\r",
                                    "<TD><IMG SRC=\"/p/one.gif\"></TD>\r", "<TD><IMG SRC=\"/p/TWO.JPG\"></TD>\r",
                                    "<TD>/p/three.jpeg</TD>\r", "<TD>/p/four.png</TD>\r", "<TD>/p/five.bmp</TD>\r",
                                    "<TD><IMG SRC=\"/p/linked.Jpg\"></TD>\r",
                                    "<TD><IMG SRC=\"/p/it's &quot;odd&quot; &amp; &lt;x&gt;.gif\"></TD>\r"}));
        QVERIFY(!page.contains("<script>") && !page.contains("<b>") && !page.contains("<i>"));
    }

    void moreThanAHundredAndOnePropertiesAllGetColumns() {
        QList<Row> rows{{kDesk, kName, "wide"}};
        for (int i = 149; i >= 0; --i) rows.push_back({kDesk, QStringLiteral("p%1").arg(i, 3, 10, QLatin1Char('0')), QString::number(i)});
        add(rows);
        const Report r = report("wide", false);
        QCOMPARE(r.table.columns.size(), 150);
        QCOMPARE(r.table.columns.last(), QStringLiteral("p149"));
        QCOMPARE(r.table.rows.first().last(), QStringLiteral("149"));
        QCOMPARE(ReportCommand::page(r).count("bgcolor"), 152);
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

QTEST_GUILESS_MAIN(ViewCommandsTest)
#include "test_commands_views.moc"
