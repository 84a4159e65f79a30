// The main window: layout and menus, searching, statistics, choosing a database, and exit.

#include "app/ui.h"
#include "driver.h"

#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

using namespace olv;
using namespace olv::test;

namespace {

QString obj(int n) { return QStringLiteral("OlObj200201031253%1").arg(n, 2, 10, QLatin1Char('0')); }

// n objects that all hold the value "red" somewhere, each with a name.
void addRedObjects(Harness& h, int n) {
    QList<Row> rows;
    for (int i = 0; i < n; ++i) {
        rows.push_back({obj(i), kName, QStringLiteral("thing %1").arg(i)});
        rows.push_back({obj(i), QStringLiteral("colour"), i % 2 ? QStringLiteral("Red") : QStringLiteral("RED")});
    }
    h.add(rows);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldShowEveryControlAndMenuAsDesigned() {
        MainWindowDriver d;
        QCOMPARE(d.window.windowTitle(), QStringLiteral("Olv :: Olvarion"));
        QCOMPARE(d.window.centralWidget()->size(), QSize(tw(9345), tw(7560)));
        QCOMPARE(d.txtFind()->geometry(), twRect(120, 90, 2895, 285));
        QCOMPARE(d.txtFind()->text(), QStringLiteral("find"));
        QCOMPARE(d.child<QPushButton>("cmdFind")->geometry(), twRect(3240, 120, 735, 255));
        QCOMPARE(d.tree()->geometry(), twRect(120, 1320, 5175, 2655));
        QCOMPARE(d.child<QGroupBox>("fraDATA")->title(), QStringLiteral("properties"));
        QCOMPARE(d.child<QPushButton>("cmdFindLinkingObjects")->text(), QStringLiteral("find related objects"));
        QVERIFY(!d.child<QPushButton>("cmdCardView")->isEnabled());
        QVERIFY(!d.child<QWidget>("Image1")->isVisible());
        QVERIFY(!d.child<QWidget>("rtbNote")->isVisible());
        QVERIFY(!d.child<QWidget>("txtFind2")->isVisible());
        QCOMPARE(d.grid()->rowCount(), 1);

        QStringList bar;
        for (QAction* a : d.window.menuBar()->actions()) bar << a->text();
        QCOMPARE(bar, (QStringList{"&File", "&Database", "&Services", "&Report", "&Help"}));
        auto captions = [&](const char* menu) {
            QStringList list;
            for (QAction* a : d.child<QMenu>(menu)->actions()) list << (a->isSeparator() ? "-" : a->text());
            return list;
        };
        QCOMPARE(captions("mnuFile"), (QStringList{"Set Database", "&Import", "E&xit"}));
        QCOMPARE(captions("mnuDB"), (QStringList{"New ...", "&New Object", "&Statistics"}));
        QCOMPARE(captions("mnuDBNew"), (QStringList{"Collection", "URL"}));
        QCOMPARE(captions("mnuServices"), (QStringList{"URL Extractor"}));
        QCOMPARE(captions("mnuReport"), (QStringList{"to HTML", "to Excel Pivot"}));
        QCOMPARE(captions("mnuHelp"), (QStringList{"&About"}));
        QCOMPARE(captions("mnuT1O"),
                 (QStringList{"load related objects", "-", "CLONE object", "Add new properties", "Edit properties",
                              "Delete properties", "-", "Add New IMAGE", "Add New Richtext Note", "-",
                              "Add New OBJECT"}));
        QVERIFY(!d.action("mnuReportExcelPivot")->isEnabled());
        QVERIFY(!d.action("mnuT1OAddProperties")->isEnabled());
        QVERIFY(!d.action("mnuT1ODeleteProperties")->isEnabled());
        QVERIFY(d.action("mnuT1OCloneObject")->isEnabled());
    }

    void shouldFindValuesIgnoringCaseAndListThemByName() {
        MainWindowDriver d;
        addRedObjects(d.h, 2);
        d.h.add(obj(50), kName, QStringLiteral("Rose")); // "Rose" contains no "red"
        d.h.add(obj(51), QStringLiteral("note"), QStringLiteral("redesign"));

        d.search(QStringLiteral("red"));
        QCOMPARE(d.tree()->topLevelItemCount(), 1);
        QCOMPARE(d.root()->text(0), QStringLiteral("Result"));
        QCOMPARE(d.root()->data(0, Qt::UserRole).toString(), QStringLiteral("Result"));
        QVERIFY(d.root()->isExpanded());
        QCOMPARE(d.childTexts(d.root()), (QStringList{"thing 0", "thing 1"}));
        QCOMPARE(d.childKeys(d.root()), (QStringList{obj(0), obj(1)}));

        // Containment, with the unnamed object listed by its identifier.
        d.search(QStringLiteral("e"), true);
        QCOMPARE(d.childTexts(d.root()), (QStringList{"thing 0", "thing 1", "Rose", obj(51)}));

        // The button and "Tree" run the same search again; nothing matches: the root alone.
        d.txtFind()->setText(QStringLiteral("violet"));
        QTest::mouseClick(d.child<QPushButton>("cmdTreeView"), Qt::LeftButton);
        QCOMPARE(d.tree()->topLevelItemCount(), 1);
        QCOMPARE(d.root()->childCount(), 0);
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    void shouldStoreAndFindQuotesBracketsAndSqlAsTyped() {
        MainWindowDriver d;
        const QString odd = QStringLiteral("Robert's [coins]'; DROP TABLE DATA; --");
        d.h.add(obj(1), kName, odd);
        d.search(odd);
        QCOMPARE(d.childTexts(d.root()), QStringList{odd});
        // As a pattern "[[]" is the bracket itself and "[a-c]" one letter of that range.
        d.search(QStringLiteral("Robert's [[][a-c]oins]"), true);
        QCOMPARE(d.childTexts(d.root()), QStringList{odd});
        d.search(QStringLiteral("[[]coins]"), true);
        QCOMPARE(d.childTexts(d.root()), QStringList{odd});
        QCOMPARE(d.h.rowCount(), 1);
    }

    void shouldAskBeforeListingMoreThanTen() {
        MainWindowDriver d;
        addRedObjects(d.h, 10);
        d.search(QStringLiteral("red"));
        QCOMPARE(d.root()->childCount(), 10);
        QVERIFY(d.h.prompter.shown.isEmpty());

        d.h.add(obj(10), QStringLiteral("colour"), QStringLiteral("red"));
        d.h.prompter.confirmAnswers.enqueue(false);
        d.search(QStringLiteral("red"));
        QCOMPARE(d.h.prompter.shown.size(), 1);
        QCOMPARE(d.h.prompter.shown[0].kind, Prompt::Confirm);
        QCOMPARE(d.h.prompter.shown[0].text, QStringLiteral("11objects"));
        QCOMPARE(d.h.prompter.shown[0].title, QStringLiteral("so many objects"));
        QCOMPARE(d.tree()->topLevelItemCount(), 1);
        QCOMPARE(d.root()->childCount(), 0);

        d.h.prompter.confirmAnswers.enqueue(true);
        d.search(QStringLiteral("red"));
        QCOMPARE(d.root()->childCount(), 11);
        QCOMPARE(d.root()->child(10)->text(0), obj(10)); // no name: its identifier

        // An empty containment search matches every object that has a value.
        d.search(QString(), true);
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("11objects"));
    }

    void shouldTitleTheRootWithTheNameOfASearchedIdentifier() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "Lamp"}, {obj(2), kName, "Shade"}, {obj(2), kBelongsTo, obj(1)}});
        d.search(obj(1));
        QCOMPARE(d.root()->text(0), QStringLiteral("Lamp"));
        QCOMPARE(d.root()->data(0, Qt::UserRole).toString(), QStringLiteral("Result"));
        QCOMPARE(d.childTexts(d.root()), QStringList{"Shade"});

        d.search(obj(9));
        QCOMPARE(d.root()->text(0), QStringLiteral("N/A"));

        // "find related objects" searches for the clipboard's text.
        d.h.clipboard.content = obj(1);
        QTest::mouseClick(d.child<QPushButton>("cmdFindLinkingObjects"), Qt::LeftButton);
        QCOMPARE(d.txtFind()->text(), obj(1));
        QCOMPARE(d.childTexts(d.root()), QStringList{"Shade"});
        d.h.clipboard.content = obj(1) + "|" + obj(2);
        QTest::mouseClick(d.child<QPushButton>("cmdFindLinkingObjects"), Qt::LeftButton);
        QCOMPARE(d.root()->text(0), QStringLiteral("N/A"));
        QCOMPARE(d.root()->childCount(), 0);
    }

    void shouldSelectTheWholeSearchTextOnFocus() {
        MainWindowDriver d;
        d.child<QPushButton>("cmdFind")->setFocus();
        QTest::mouseClick(d.txtFind(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(d.txtFind()->selectedText(), QStringLiteral("find"));
        QCOMPARE(d.txtFind()->cursorPosition(), 0);
        QTest::keyClicks(d.txtFind(), QStringLiteral("lamp"));
        QCOMPARE(d.txtFind()->text(), QStringLiteral("lamp"));
    }

    void shouldReportABadPatternAndStayUsable() {
        MainWindowDriver d;
        addRedObjects(d.h, 1);
        d.search(QStringLiteral("[re"), true);
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QVERIFY(d.h.prompter.texts(Prompt::Error)[0].contains(QStringLiteral("[")));
        d.search(QStringLiteral("re"), true);
        QCOMPARE(d.root()->childCount(), 1);
    }

    void shouldCountObjectsIncludingClasses() {
        MainWindowDriver d;
        d.action("mnuDBStats")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("0 objects in the database"));
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Olv"));
        QCOMPARE(d.h.prompter.shown.last().kind, Prompt::Message);

        d.h.add({{obj(1), kTOO, kClassValue}, {obj(1), kName, "Plant"}, {obj(2), kTOO, obj(1)},
                 {obj(2), kName, "Fern"}, {obj(3), kName, "Pot"}});
        d.action("mnuDBStats")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("3 objects in the database"));
    }

    void shouldSwitchDatabasesAndKeepThePathOnCancel() {
        MainWindowDriver d;
        const QString first = d.h.path();
        const QString second = d.h.dir.filePath(QStringLiteral("other.mdb"));
        Store::createIfMissing(second);
        Store(second).open().append(obj(7), kName, QStringLiteral("elsewhere"));

        d.h.prompter.fileAnswers.enqueue(second);
        d.action("mnuFileDatabase")->trigger();
        QCOMPARE(d.h.prompter.shown.last().kind, Prompt::OpenFile);
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Olv - Save Report"));
        QVERIFY(d.h.prompter.shown.last().text.endsWith(QStringLiteral("/Olv/Olv.mdb")));
        d.search(QStringLiteral("elsewhere"));
        QCOMPARE(d.childTexts(d.root()), QStringList{"elsewhere"});

        d.action("mnuFileDatabase")->trigger(); // cancelled
        QCOMPARE(d.h.ctx.store.path(), second);
        Q_UNUSED(first);
    }

    void shouldReportAnUnusableDatabaseWithoutTouchingIt() {
        MainWindowDriver d;
        addRedObjects(d.h, 1);
        const QString good = d.h.path();
        const QString text = d.h.dir.filePath(QStringLiteral("notes.txt"));
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("just some words, no database here\n").repeated(200));
        }
        const QByteArray before = [&] { QFile f(text); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        const QString missing = d.h.dir.filePath(QStringLiteral("gone.mdb"));

        for (const QString& bad : {text, missing}) {
            d.h.prompter.shown.clear();
            d.h.prompter.fileAnswers.enqueue(bad);
            d.action("mnuFileDatabase")->trigger();
            d.search(QStringLiteral("red"));
            const QStringList errors = d.h.prompter.texts(Prompt::Error);
            QCOMPARE(errors.size(), 1);
            QVERIFY2(errors[0].contains(QFileInfo(bad).fileName()), qPrintable(errors[0]));
            d.action("mnuDBStats")->trigger();
            QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 2);
        }
        QVERIFY(!QFile::exists(missing));
        const QByteArray after = [&] { QFile f(text); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        QCOMPARE(after, before);

        d.h.prompter.fileAnswers.enqueue(good);
        d.action("mnuFileDatabase")->trigger();
        d.search(QStringLiteral("red"));
        QCOMPARE(d.root()->childCount(), 1);
    }

    void shouldUnloadWindowsNewestFirstOnExit() {
        MainWindowDriver d;
        QStringList closed;
        struct CloseSpy : QObject {
            QStringList* log;
            explicit CloseSpy(QStringList* l) : log(l) {}
            bool eventFilter(QObject* o, QEvent* e) override {
                if (e->type() == QEvent::Close) *log << o->objectName();
                return false;
            }
        } spy(&closed);
        for (const char* name : {"first", "second", "third"}) {
            auto w = new QWidget;
            w->setObjectName(QString::fromLatin1(name));
            w->setAttribute(Qt::WA_DeleteOnClose);
            w->installEventFilter(&spy);
            d.h.windows.add(w);
            w->show();
        }
        d.window.close(); // closing the main window runs Exit
        QCOMPARE(closed, (QStringList{"third", "second", "first"}));
        QVERIFY(d.quitCalled);
        QTRY_COMPARE(d.h.windows.windows().size(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
