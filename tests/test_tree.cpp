// The object tree and property grid, related objects and cloning, driven through the main window.

#include "driver.h"

#include <QLabel>
#include <QMenu>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;
using namespace olv::test;

namespace {

const QString kPlant = obj(1), kGarden = obj(2), kFern = obj(3);

void addGarden(Harness& h) {
    h.add({{kPlant, kTOO, kClassValue}, {kPlant, kName, "Plant"}, {kGarden, kName, "Garden"},
           {kFern, kTOO, kPlant}, {kFern, kName, "Fern"}, {kFern, kBelongsTo, kGarden},
           {kFern, "note", "grows near OlObj20020103125302"}, {kFern, "colour", "green"},
           {kFern, "colour", "dark green"}, {obj(4), kTOO, obj(99)}, {obj(5), kName, "Loose"}});
}

} // namespace

class TreeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldShowAClickedObjectAndHandItOver() {
        MainWindowDriver d;
        addGarden(d.h);
        d.search("", true);
        d.clickNode(d.nodeWithKey(kFern));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Fern", "BelongsTo|Garden [ " + kGarden + " ]",
                                            "note|grows near OlObj20020103125302", "colour|green", "colour|dark green"}));
        QCOMPARE(d.h.clipboard.content, kFern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
        QCOMPARE(d.grid()->item(1, 1)->textAlignment(), int(Qt::AlignLeft | Qt::AlignBottom));

        // Frame captions: a class, an object without a class row (kept), a class that names nothing.
        d.clickNode(d.nodeWithKey(kPlant));
        QCOMPARE(d.frameCaption(), QStringLiteral("Class"));
        d.clickNode(d.nodeWithKey(obj(5)));
        QCOMPARE(d.frameCaption(), QStringLiteral("Class"));
        d.clickNode(d.nodeWithKey(obj(4)));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: N/A"));

        // The root names no object: an empty grid, and "Result" handed over.
        d.clickNode(d.root());
        QCOMPARE(d.gridRows(), QStringList{"|"});
        QCOMPARE(d.h.clipboard.content, QStringLiteral("Result"));
        // A right click pops up the menu and leaves the hand-over alone; a double-click reads the key.
        d.clickNode(d.nodeWithKey(kFern), Qt::RightButton);
        QTRY_VERIFY(d.window.treeMenu()->isVisible());
        d.window.treeMenu()->hide();
        QCOMPARE(d.h.clipboard.content, QStringLiteral("Result"));
        d.doubleClickNode(d.nodeWithKey(kFern));
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
    }

    void shouldHandOverTheSelectionWholeOrNotAtAll() {
        MainWindowDriver d;
        addGarden(d.h);
        d.h.add({{obj(6), kName, "Shed"}, {obj(6), "too", "a row of the user's own"}});
        d.search("", true);
        d.clickNode(d.nodeWithKey(kFern));
        d.clickNode(d.nodeWithKey(obj(6)));
        // Only exactly "TOO" is the class: "too" is shown, and the caption stays.
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Shed", "too|a row of the user's own"}));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        // The file goes away: the click says so, and hands over neither half of the selection.
        d.h.prompter.fileAnswers << d.h.dir.filePath("gone.mdb");
        d.action("mnuFileDatabase")->trigger();
        d.clickNode(d.nodeWithKey(kFern));
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QCOMPARE(d.h.clipboard.content, obj(6));
        QCOMPARE(d.h.ctx.currentObjectId, obj(6));
    }

    void shouldPreviewPicturesAndOpenAddressesAndNotes() {
        MainWindowDriver d;
        auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(d.h.dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? f.fileName() : QString();
        };
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString jpg = d.h.dir.filePath("Holiday.jpg"), broken = write("broken.Bmp", "not a picture"),
                      gif = write("dot.GIF", QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="));
        QVERIFY(picture.save(jpg, "JPG"));
        d.h.add({{obj(1), kName, "Album"}, {obj(1), "photo", jpg}, {obj(1), "dot", gif}, {obj(1), "bad", broken},
                 {obj(1), kURL, "HtTp://Example.org/Page"}, {obj(1), "note", "/home/me/Plan.Rtf"}});
        d.search("Album");
        d.clickNode(d.nodeWithKey(obj(1)));
        auto image = d.child<QLabel>("Image1");

        d.clickGridRow(2);
        QVERIFY(image->isVisible());
        QCOMPARE(image->pixmap().size(), QSize(40, 30));
        d.clickGridRow(3);
        QCOMPARE(image->pixmap().size(), QSize(1, 1));
        d.clickGridRow(4); // unreadable: an empty preview, nothing raised
        QVERIFY(image->isVisible() && image->pixmap().isNull());
        d.clickGridRow(5);
        QVERIFY(!image->isVisible());
        QTest::keyClick(d.grid(), Qt::Key_Up); // the keys preview too
        QVERIFY(image->isVisible());

        for (int row = 2; row <= 6; ++row) d.clickGridRow(row, true);
        // The stored text is opened, not an upper-cased copy: file names are case-sensitive here.
        QCOMPARE(d.h.shell.opened, (QStringList{"HtTp://Example.org/Page", "/home/me/Plan.Rtf"}));
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    void shouldLoadRelatedObjectsBeneathTheNode() {
        MainWindowDriver d;
        addGarden(d.h);
        d.h.add({{obj(6), kBelongsTo, kGarden}, {obj(7), kName, "Mirror"}, {obj(7), "self", obj(7)}});
        d.search("Garden");
        d.clickNode(d.nodeWithKey(kGarden));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        d.action("mnuT1OLoadLinkingObjects")->trigger(); // twice adds nothing new
        QTreeWidgetItem* garden = d.nodeWithKey(kGarden);
        QVERIFY(garden->isExpanded());
        QCOMPARE(d.childTexts(garden), (QStringList{"Fern", obj(6)}));
        QCOMPARE(d.childKeys(garden), (QStringList{kGarden + "|" + kFern, kGarden + "|" + obj(6)}));

        // A related node shows its own object, and owns what "Add New OBJECT" makes.
        QTreeWidgetItem* fern = d.nodeWithKey(kGarden + "|" + kFern);
        d.clickNode(fern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
        d.action("mnuT1OAddNewObject")->trigger();
        QCOMPARE(d.h.ctx.ownerObjectId, kFern);
        d.h.windows.unloadAllBut(&d.window);
        // Closing a node by its arrow is no click on it.
        const QRect gardenRow = d.tree()->visualItemRect(garden);
        QTest::mouseClick(d.tree()->viewport(), Qt::LeftButton, {},
                          QPoint(gardenRow.left() - d.tree()->indentation() / 2, gardenRow.center().y()));
        QVERIFY(!garden->isExpanded());
        QCOMPARE(d.h.clipboard.content, kGarden + "|" + kFern);
        garden->setExpanded(true);
        QCOMPARE(d.gridRows()[1], QStringLiteral("Name|Fern"));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(fern->childCount(), 0);
        // Text copied from elsewhere: nothing happens, nothing is asked.
        d.h.clipboard.content = "some other text";
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QVERIFY(d.h.prompter.shown.isEmpty());

        d.search("Mirror");
        d.clickNode(d.nodeWithKey(obj(7)));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.childKeys(d.nodeWithKey(obj(7))), QStringList{obj(7) + "|" + obj(7)});

        // Instances of a class; eleven bring the question first.
        QList<Row> rows;
        for (int i = 10; i < 20; ++i) rows += {{obj(i), kTOO, kPlant}, {obj(i), kName, QString("plant %1").arg(i)}};
        d.h.add(rows);
        d.search("Plant");
        d.clickNode(d.nodeWithKey(kPlant));
        d.h.prompter.confirmAnswers << false;
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("11objects"));
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

        const QList<Row> before = d.h.allRows();
        d.action("mnuT1OCloneObject")->trigger();
        QList<Row> rows = d.h.allRows();
        const QString first = rows.last().o;
        QList<Row> expected = before;
        for (const Row& r : before)
            if (r.o == kFern) expected.push_back({first, r.p, r.v});
        expected.push_back({first, kEXTRA, "CLONED::"});
        QCOMPARE(rows, expected);
        QCOMPARE(d.txtFind()->text(), QStringLiteral("CLONED::"));
        QCOMPARE(d.childKeys(d.root()), QStringList{first});
        QCOMPARE(d.childTexts(d.root()), QStringList{"Fern"});

        // The clone of a clone, in the same second: it waits for the next one and carries two marks.
        d.clickNode(d.nodeWithKey(first));
        d.action("mnuT1OCloneObject")->trigger();
        const QString second = d.h.allRows().last().o;
        QVERIFY(d.h.clock.sleptMs > 0 && second > first && second.size() == 19);
        QCOMPARE(d.h.allRows().count(Row{second, kEXTRA, "CLONED::"}), 2);
        QCOMPARE(d.childKeys(d.root()), (QStringList{first, second}));

        // A write that fails half-way (a trigger refuses colour rows): no partial clone, a message.
        SQLite::Database(d.h.path().toStdString(), SQLite::OPEN_READWRITE)
            .exec("CREATE TRIGGER refuse BEFORE INSERT ON DATA WHEN new.P = 'colour' "
                  "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
        const qsizetype count = d.h.rowCount();
        d.action("mnuT1OCloneObject")->trigger();
        QCOMPARE(d.h.rowCount(), count);
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
    }
};

QTEST_MAIN(TreeTest)
#include "test_tree.moc"
