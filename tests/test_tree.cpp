// The object tree and property grid, related objects and cloning, driven through the main window.

#include "app/ui.h"
#include "driver.h"

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;
using namespace olv::test;

namespace {

QString obj(int n) { return QStringLiteral("OlObj200201031253%1").arg(n, 2, 10, QLatin1Char('0')); }

const QString kPlant = obj(1), kGarden = obj(2), kFern = obj(3);

void addGarden(Harness& h) {
    h.add({{kPlant, kTOO, kClassValue},
           {kPlant, kName, "Plant"},
           {kGarden, kName, "Garden"},
           {kFern, kTOO, kPlant},
           {kFern, kName, "Fern"},
           {kFern, kBelongsTo, kGarden},
           {kFern, "note", "grows near OlObj20020103125302"},
           {kFern, "colour", "green"},
           {kFern, "colour", "dark green"}});
}

QLabel* image(MainWindowDriver& d) { return d.child<QLabel>("Image1"); }

} // namespace

class TreeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldShowAClickedObjectAndHandItOver() {
        MainWindowDriver d;
        addGarden(d.h);
        d.search("fern");
        QTreeWidgetItem* fern = d.nodeWithKey(kFern);
        QVERIFY(fern);
        d.clickNode(fern);

        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Fern", "BelongsTo|Garden [ " + kGarden + " ]",
                                            "note|grows near OlObj20020103125302", "colour|green",
                                            "colour|dark green"}));
        QCOMPARE(d.h.clipboard.content, kFern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
        QCOMPARE(d.grid()->columnWidth(0), tw(1500));
        QCOMPARE(d.grid()->columnWidth(1), tw(7000));
        QCOMPARE(d.grid()->item(1, 1)->textAlignment(), int(Qt::AlignLeft | Qt::AlignBottom));

        // The root names no object: an empty grid, the caption kept, "Result" handed over.
        d.clickNode(d.root());
        QCOMPARE(d.gridRows(), QStringList{"|"});
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        QCOMPARE(d.h.clipboard.content, QStringLiteral("Result"));
        QCOMPARE(d.h.ctx.currentObjectId, QStringLiteral("Result"));

        // A right click pops up the menu and leaves the hand-over alone.
        d.clickNode(fern, Qt::RightButton);
        QTRY_VERIFY(d.window.treeMenu()->isVisible());
        d.window.treeMenu()->hide();
        QCOMPARE(d.h.clipboard.content, QStringLiteral("Result"));

        // A double-click takes the object from the clipboard key.
        d.doubleClickNode(fern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
    }

    void shouldCaptionTheFrameByClass() {
        MainWindowDriver d;
        addGarden(d.h);
        d.h.add({{obj(20), kTOO, obj(99)}, {obj(20), kName, "Orphan"}, {obj(21), kName, "Loose"},
                 {obj(22), kTOO, "OlValSpecial"}, {obj(22), kName, "Special"}});
        d.search("", true);
        QCOMPARE(d.root()->childCount(), 6);
        d.clickNode(d.nodeWithKey(kPlant));
        QCOMPARE(d.frameCaption(), QStringLiteral("Class"));
        d.clickNode(d.nodeWithKey(obj(21))); // no class row: the caption stays
        QCOMPARE(d.frameCaption(), QStringLiteral("Class"));
        d.clickNode(d.nodeWithKey(obj(20)));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: N/A"));
        d.clickNode(d.nodeWithKey(obj(22)));
        QCOMPARE(d.frameCaption(), QStringLiteral("Special"));
    }

    void shouldPreviewPicturesByEndingInAnyCase() {
        MainWindowDriver d;
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString jpg = d.h.dir.filePath("Holiday.jpg");
        const QString bmp = d.h.dir.filePath("plan.Bmp");
        QVERIFY(picture.save(jpg, "JPG"));
        QVERIFY(picture.save(bmp, "BMP"));
        const QString gif = d.h.dir.filePath("dot.GIF");
        {
            QFile f(gif);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="));
        }
        const QString broken = d.h.dir.filePath("broken.gif");
        {
            QFile f(broken);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a picture");
        }
        d.h.add({{obj(1), kName, "Album"}, {obj(1), "photo", jpg}, {obj(1), "plan", bmp}, {obj(1), "dot", gif},
                 {obj(1), "bad", broken}, {obj(1), "text", "plain words"}});
        d.search("Album");
        d.clickNode(d.nodeWithKey(obj(1)));

        d.clickGridRow(2);
        QTRY_VERIFY(image(d)->isVisible());
        QCOMPARE(image(d)->pixmap().size(), QSize(40, 30));
        d.clickGridRow(3);
        QCOMPARE(image(d)->pixmap().size(), QSize(40, 30));
        d.clickGridRow(4);
        QCOMPARE(image(d)->pixmap().size(), QSize(1, 1));
        d.clickGridRow(5); // unreadable: an empty preview, nothing raised
        QVERIFY(image(d)->isVisible());
        QVERIFY(image(d)->pixmap().isNull());
        d.clickGridRow(6);
        QVERIFY(!image(d)->isVisible());
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    void shouldOpenWebAddressesAndNotesWithTheShell() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "Links"},
                 {obj(1), kURL, "HtTp://Example.org/Page"},
                 {obj(1), "note", "/home/me/Notes/Plan.Rtf"},
                 {obj(1), "photo", "/home/me/a.jpg"},
                 {obj(1), "ftp", "ftp://example.org"}});
        d.search("Links");
        d.clickNode(d.nodeWithKey(obj(1)));
        for (int row = 1; row <= 4; ++row) d.clickGridRow(row, true);
        // The stored text, not an upper-cased copy: file names are case-sensitive here.
        QCOMPARE(d.h.shell.opened, (QStringList{"HtTp://Example.org/Page", "/home/me/Notes/Plan.Rtf"}));
    }

    void shouldLoadRelatedObjectsBeneathTheNode() {
        MainWindowDriver d;
        addGarden(d.h);
        d.h.add({{obj(4), kName, "Rose"}, {obj(4), kBelongsTo, kGarden}, {obj(5), kBelongsTo, kGarden},
                 {obj(6), kName, "Mirror"}, {obj(6), "self", obj(6)}});
        d.search("Garden");
        d.clickNode(d.nodeWithKey(kGarden));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QTreeWidgetItem* garden = d.nodeWithKey(kGarden);
        QVERIFY(garden->isExpanded());
        QCOMPARE(d.childTexts(garden), (QStringList{"Fern", "Rose", obj(5)}));
        QCOMPARE(d.childKeys(garden), (QStringList{kGarden + "|" + kFern, kGarden + "|" + obj(4), kGarden + "|" + obj(5)}));

        // Twice on the same node adds nothing new.
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(garden->childCount(), 3);

        // A related node shows its own object; its key with "|" has no referrers.
        QTreeWidgetItem* fern = d.nodeWithKey(kGarden + "|" + kFern);
        d.clickNode(fern);
        QCOMPARE(d.h.clipboard.content, kGarden + "|" + kFern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
        QCOMPARE(d.gridRows()[1], QStringLiteral("Name|Fern"));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(fern->childCount(), 0);

        // Text copied from elsewhere: nothing happens, nothing is asked.
        d.h.clipboard.content = QStringLiteral("some other text");
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QVERIFY(d.h.prompter.shown.isEmpty());

        // An object that refers to itself is listed beneath itself.
        d.search("Mirror");
        d.clickNode(d.nodeWithKey(obj(6)));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.childKeys(d.nodeWithKey(obj(6))), QStringList{obj(6) + "|" + obj(6)});
    }

    void shouldListInstancesOfAClassAskingAboveTen() {
        MainWindowDriver d;
        d.h.add({{kPlant, kTOO, kClassValue}, {kPlant, kName, "Plant"}});
        QList<Row> rows;
        for (int i = 10; i < 20; ++i) rows += {{obj(i), kTOO, kPlant}, {obj(i), kName, QString("plant %1").arg(i)}};
        d.h.add(rows);
        d.search("Plant");
        d.clickNode(d.nodeWithKey(kPlant));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.nodeWithKey(kPlant)->childCount(), 10);
        QVERIFY(d.h.prompter.shown.isEmpty());

        d.h.add({{obj(20), kTOO, kPlant}});
        d.search("Plant");
        d.clickNode(d.nodeWithKey(kPlant));
        d.h.prompter.confirmAnswers.enqueue(false);
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("11objects"));
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("so many objects"));
        QCOMPARE(d.nodeWithKey(kPlant)->childCount(), 0);
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.nodeWithKey(kPlant)->childCount(), 11);
    }

    void shouldCloneTheLastClickedObjectWithAMark() {
        MainWindowDriver d;
        addGarden(d.h);
        d.search("Garden");
        d.clickNode(d.nodeWithKey(kGarden));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        d.clickNode(d.nodeWithKey(kGarden + "|" + kFern)); // clones Fern, not Garden

        const qsizetype before = d.h.rowCount();
        d.action("mnuT1OCloneObject")->trigger();
        QList<Row> rows = d.h.allRows();
        QCOMPARE(rows.size(), before + 7);
        const QString first = rows.last().o;
        QCOMPARE(first.size(), 19);
        QVERIFY(first != kFern);
        QList<Row> expected;
        for (const Row& r : rows.mid(0, before))
            if (r.o == kFern) expected.push_back({first, r.p, r.v});
        expected.push_back({first, kEXTRA, "CLONED::"});
        QCOMPARE(rows.mid(before), expected);

        QCOMPARE(d.txtFind()->text(), QStringLiteral("CLONED::"));
        QCOMPARE(d.childKeys(d.root()), QStringList{first});
        QCOMPARE(d.childTexts(d.root()), QStringList{"Fern"});

        // Cloning the clone in the same second: it waits for the next second and carries the mark twice.
        d.clickNode(d.nodeWithKey(first));
        const int slept = d.h.clock.sleptMs;
        d.action("mnuT1OCloneObject")->trigger();
        QVERIFY(d.h.clock.sleptMs > slept);
        rows = d.h.allRows();
        const QString second = rows.last().o;
        QVERIFY(second > first);
        int marks = 0;
        for (const Row& r : rows)
            if (r.o == second && r.p == kEXTRA) ++marks;
        QCOMPARE(marks, 2);
        QCOMPARE(d.childKeys(d.root()), (QStringList{first, second}));
    }

    void shouldCloneAllOrNothing() {
        MainWindowDriver d;
        addGarden(d.h);
        d.search("Fern");
        d.clickNode(d.nodeWithKey(kFern));
        const qsizetype before = d.h.rowCount();
        // A write that fails half-way through the copy (here a trigger refuses the colour rows).
        {
            SQLite::Database other(d.h.path().toStdString(), SQLite::OPEN_READWRITE);
            other.exec("CREATE TRIGGER refuse BEFORE INSERT ON DATA WHEN new.P = 'colour' "
                       "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
        }
        d.action("mnuT1OCloneObject")->trigger();
        QCOMPARE(d.h.rowCount(), before);
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QVERIFY(d.h.prompter.texts(Prompt::Error)[0].contains("Olv.mdb"));
    }
};

QTEST_MAIN(TreeTest)
#include "test_tree.moc"
