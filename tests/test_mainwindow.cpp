// The main window: layout and menus, searching, statistics, choosing a database or a server, and exit.

#include "about/frmabout.h"
#include "driver.h"
#include "editing/frmdataentry.h"
#include "engines.h"
#include "files.h"
#include "widgets/ui.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

using namespace olv;
using namespace olv::test;

namespace {

// n objects holding "red" in some letter case, each with a name.
void addRedObjects(Harness& h, int from, int to) {
    QList<Row> rows;
    for (int i = from; i < to; ++i)
        rows += {{obj(i), kName, QStringLiteral("thing %1").arg(i)}, {obj(i), "colour", i % 2 ? "Red" : "RED"}};
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
        QVERIFY(!d.child<QWidget>("Image1")->isVisible() && !d.child<QWidget>("txtFind2")->isVisible());
        auto captions = [&](QWidget* menu) {
            QStringList list;
            for (QAction* a : menu->actions()) list << (a->isSeparator() ? "-" : a->text());
            return list;
        };
        QCOMPARE(captions(d.window.menuBar()), (QStringList{"&File", "&Edit", "&Database", "&Services", "&Report", "&Help"}));
        QCOMPARE(captions(d.child<QMenu>("mnuFile")), (QStringList{"Set Database", "Connect to Server…", "&Import", "Import from Server…", "E&xit"}));
        QCOMPARE(captions(d.child<QMenu>("mnuEdit")), (QStringList{"Undo", "Redo", "-", "Recently deleted"}));
        QCOMPARE(captions(d.child<QMenu>("mnuDB")), (QStringList{"New ...", "&New Object", "&Statistics", "History size…"}));
        QCOMPARE(captions(d.child<QMenu>("mnuDBNew")), (QStringList{"Collection", "URL"}));
        QCOMPARE(captions(d.window.treeMenu()),
                 (QStringList{"load related objects", "-", "CLONE object", "Add new properties", "Edit properties",
                              "History", "Delete object", "Delete properties", "-", "Add New IMAGE", "Add New Richtext Note", "-",
                              "Add New OBJECT"}));
        QVERIFY(!d.action("mnuReportExcelPivot")->isEnabled() && !d.action("mnuT1ODeleteProperties")->isEnabled());
    }

    void shouldFindValuesIgnoringCaseAndListThemByName() {
        MainWindowDriver d;
        addRedObjects(d.h, 0, 2);
        d.h.add({{obj(50), kName, "Rose"}, {obj(51), "note", "redesign"}});

        d.search("red");
        QCOMPARE(d.root()->text(0), QStringLiteral("Result"));
        QVERIFY(d.root()->isExpanded());
        QCOMPARE(d.childTexts(d.root()), (QStringList{"thing 0", "thing 1"}));
        QCOMPARE(d.childKeys(d.root()), (QStringList{obj(0), obj(1)}));
        // Containment, with an unnamed object listed by its identifier.
        d.search("e", true);
        QCOMPARE(d.childTexts(d.root()), (QStringList{"thing 0", "thing 1", "Rose", obj(51)}));
        // "Tree", reached with Tab and pressed with Enter, runs the search again; nothing
        // matches: the root alone.
        d.typeFind("violet");
        for (int i = 0; i < 3; ++i) d.press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdTreeView"));
        d.press(Qt::Key_Return);
        QCOMPARE(d.tree()->topLevelItemCount(), 1);
        QCOMPARE(d.root()->childCount(), 0);
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    void shouldTakeQuotesBracketsAndPatternsAsTyped() {
        MainWindowDriver d;
        const QString odd = QStringLiteral("Robert's [coins]'; DROP TABLE DATA; --");
        d.h.add(obj(1), kName, odd);
        d.search(odd);
        QCOMPARE(d.childTexts(d.root()), QStringList{odd});
        d.search("[coins", true);
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        d.search("coins", true); // still usable
        QCOMPARE(d.root()->childCount(), 1);
    }

    void shouldAskBeforeListingMoreThanTen() {
        MainWindowDriver d;
        addRedObjects(d.h, 0, 10);
        d.search("red");
        QCOMPARE(d.root()->childCount(), 10);
        QVERIFY(d.h.prompter.shown.isEmpty());

        addRedObjects(d.h, 10, 11);
        d.h.prompter.confirmAnswers << false << true;
        d.search("red");
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("11objects"));
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("so many objects"));
        QCOMPARE(d.tree()->topLevelItemCount(), 1);
        QCOMPARE(d.root()->childCount(), 0);
        d.search("red");
        QCOMPARE(d.root()->childCount(), 11);
    }

    void shouldTitleTheRootWithTheNameOfASearchedIdentifier() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "Lamp"}, {obj(2), kName, "Shade"}, {obj(2), kBelongsTo, obj(1)}});
        d.search(obj(9));
        QCOMPARE(d.root()->text(0), QStringLiteral("N/A"));
        // "find related objects" searches for the clipboard's text.
        d.h.clipboard.content = obj(1);
        QTest::mouseClick(d.child<QPushButton>("cmdFindLinkingObjects"), Qt::LeftButton);
        QCOMPARE(d.txtFind()->text(), obj(1));
        QCOMPARE(d.root()->text(0), QStringLiteral("Lamp"));
        QCOMPARE(d.root()->data(0, Qt::UserRole).toString(), QStringLiteral("Result"));
        QCOMPARE(d.childTexts(d.root()), QStringList{"Shade"});
        // Clicking back into the box selects the whole text, caret at the start.
        QTest::mouseClick(d.txtFind(), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(d.txtFind()->selectedText(), obj(1));
        QCOMPARE(d.txtFind()->cursorPosition(), 0);
    }

    void shouldCountObjectsIncludingClasses() {
        MainWindowDriver d;
        d.action("mnuDBStats")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("0 objects in the database"));
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Olv"));
        d.h.add({{obj(1), kTOO, kClassValue}, {obj(1), kName, "Plant"}, {obj(2), kTOO, obj(1)}, {obj(3), kName, "Pot"}});
        d.action("mnuDBStats")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("3 objects in the database"));
    }

    void shouldSwitchDatabasesAndReportUnusableOnesWithoutTouchingThem() {
        MainWindowDriver d;
        const QString other = d.h.otherDatabase("other.mdb", {{obj(7), kName, "elsewhere"}}),
                      text = d.h.dir.filePath("notes.txt"), missing = d.h.dir.filePath("gone.mdb");
        QVERIFY(writeBytes(text, QByteArray("no database here\n").repeated(300)));

        d.h.prompter.fileAnswers << other;
        d.action("mnuFileDatabase")->trigger();
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Olv - Save Report"));
        d.search("elsewhere");
        QCOMPARE(d.childTexts(d.root()), QStringList{"elsewhere"});
        d.action("mnuFileDatabase")->trigger(); // cancelled: the path stays
        QCOMPARE(d.h.ctx.store.path(), other);

        for (const QString& bad : {text, missing}) {
            d.h.prompter.fileAnswers << bad;
            d.action("mnuFileDatabase")->trigger();
            d.search("elsewhere");
            d.action("mnuDBStats")->trigger();
            const QStringList errors = d.h.prompter.texts(Prompt::Error);
            QVERIFY2(errors.size() >= 2 && errors.last().contains(QFileInfo(bad).fileName()), qPrintable(errors.join('\n')));
            d.h.prompter.shown.clear();
        }
        QVERIFY(!QFile::exists(missing));
        QCOMPARE(bytesOf(text), QByteArray("no database here\n").repeated(300));
    }

    // Reached through File, "Connect to Server…" as a role that may only use the rows: a search,
    // the found object's rows, an edit in its data-entry window and Ctrl+Z, the server holding each.
    void shouldEditAndUndoOnAServerAsOnAFile() {
        OLV_NEEDS_SERVER();
        const QString connection = freshDatabase(true, {});
        Database(connection).appendAll({{obj(1), kName, "Lamp"}, {obj(1), "colour", "red"}, {obj(2), kName, "Desk"}});
        const auto held = [&] { return rawSql(connection, "SELECT v FROM data WHERE p = 'colour'").value(0).value(0); };
        MainWindowDriver d;
        d.h.prompter.textAnswers << connection;
        d.press(Qt::Key_F, Qt::AltModifier);
        QMenu* file = d.child<QMenu>("mnuFile");
        QTRY_VERIFY(file->isVisible());
        QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(d.action("mnuFileConnect")).center());
        QTRY_COMPARE(d.h.ctx.store.path(), connection);

        d.search("LAMP");
        QCOMPARE(d.childTexts(d.root()), QStringList{"Lamp"});
        d.clickNode(d.nodeWithKey(obj(1)));
        QVERIFY(d.gridRows().contains("colour|red"));
        d.editValue(obj(1), "colour", "blue");
        QCOMPARE(held(), QStringLiteral("blue"));
        d.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.window));
        d.clickNode(d.nodeWithKey(obj(1)));
        QTRY_COMPARE(d.action("mnuEditUndo")->text(), QStringLiteral("Undo edit of colour"));
        QVERIFY(d.gridRows().contains("colour|blue"));
        d.press(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(held(), QStringLiteral("red"));
        QVERIFY(d.gridRows().contains("colour|red"));
        QCOMPARE(d.action("mnuEditRedo")->text(), QStringLiteral("Redo edit of colour"));
        QCOMPARE(rawSql(connection, "SELECT DISTINCT who FROM data_steps"), QList<QStringList>{{kUserRole}});
        QVERIFY2(d.h.prompter.shown.size() == 1, qPrintable(d.h.prompter.texts(Prompt::Error).join('\n'))); // the question alone
    }

    void shouldConnectToAServerAskingForAPasswordOnlyWhenItWantsOne() {
        OLV_NEEDS_SERVER();
        PgServer& server = PgServer::instance();
        const QString connection = server.newDatabase();
        Database(connection).appendAll({{obj(5), kName, "Teapot"}}); // makes the table too
        server.exec(connection, QStringLiteral("DROP ROLE IF EXISTS %1; CREATE ROLE %1 LOGIN PASSWORD 'it''s a \\secret'; "
                                               "GRANT SELECT ON data TO %1").arg(kPasswordRole));
        MainWindowDriver d;
        const QString file = d.h.ctx.store.path();
        const auto connect = [&](const QStringList& answers) {
            d.h.prompter.shown.clear();
            d.h.prompter.textAnswers.append(answers);
            d.action("mnuFileConnect")->trigger();
            QVERIFY(d.h.prompter.textAnswers.isEmpty());
        };

        // Not a connection, a database the server lacks, and Cancel: the file stays in use.
        const QString nosuch = QString(connection).replace(QRegularExpression("dbname=\\S+"), "dbname=nosuch");
        connect({"Olv.mdb"});
        QVERIFY(d.h.prompter.texts(Prompt::Error).value(0).startsWith("This is not a connection to a PostgreSQL server."));
        connect({nosuch});
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QVERIFY2(d.h.prompter.texts(Prompt::Error).value(0).contains(displayNameOf(nosuch)), qPrintable(d.h.prompter.texts(Prompt::Error).value(0)));
        connect({});
        QCOMPARE(d.h.prompter.shown.size(), 1);
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Olv - Connect to Server"));
        QCOMPARE(d.h.ctx.store.path(), file);

        // The server database, and a search there.
        connect({connection});
        QCOMPARE(d.h.prompter.shown.size(), 1); // the question, and no message
        QCOMPARE(d.h.ctx.store.path(), connection);
        d.search("TEAPOT");
        QCOMPARE(d.childTexts(d.root()), QStringList{"Teapot"});

        // A role that needs a password: a wrong one is refused without being repeated, and the
        // question comes again; the right one is kept for the run.
        const QString role = QString(connection).replace(QRegularExpression("user=\\S+"), QStringLiteral("user=%1").arg(kPasswordRole));
        connect({role, "wrong-one", "it's a \\secret"});
        QCOMPARE(d.h.prompter.texts(Prompt::Password).size(), 2);
        QCOMPARE(d.h.prompter.texts(Prompt::Password).value(0), QStringLiteral("Password for %1:").arg(displayNameOf(role)));
        const QStringList errors = d.h.prompter.texts(Prompt::Error);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.value(0).contains(displayNameOf(role)) && !errors.value(0).contains("wrong-one"), qPrintable(errors.value(0)));
        QVERIFY(d.h.ctx.store.path().startsWith(role));
        Database(connection).append(obj(6), kName, "Teacup"); // as the owner: the role may only read
        d.search("tea", true);
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Teapot", "Teacup"}));
        QVERIFY(!d.window.windowTitle().contains("secret"));

        // The same in a URI; Cancel at the password gives up quietly, keeping the database in use.
        const QString inUse = d.h.ctx.store.path();
        const QString uri = QStringLiteral("postgresql:///%1?host=%2&port=5432&user=%3")
                                .arg(connection.section("dbname=", 1), QString(QUrl::toPercentEncoding(connection.section("host=", 1).section(' ', 0, 0))),
                                     kPasswordRole);
        connect({uri});
        QCOMPARE(d.h.prompter.texts(Prompt::Password).size(), 1);
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 0);
        QCOMPARE(d.h.ctx.store.path(), inUse);
        connect({uri, "it's a \\secret"});
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 0);
        QVERIFY(d.h.ctx.store.path().startsWith(uri + "&password="));
        d.search("teacup");
        QCOMPARE(d.childTexts(d.root()), QStringList{"Teacup"});
    }

    // A server that takes the connection and never answers: Connect to Server, Import from
    // Server and start-up show that they are connecting, and Cancel gives the window back with
    // the database in use kept, no word said and the connection let go. A refused connection
    // still says why.
    void shouldLetTheUserCallOffConnectingToAServerThatNeverAnswers() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QList<QTcpSocket*> peers;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (silent.hasPendingConnections()) peers << silent.nextPendingConnection();
        });
        const QString hanging =
            QStringLiteral("host=127.0.0.1 port=%1 user=olv dbname=far connect_timeout=30").arg(silent.serverPort());
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "kept"}});
        const QString file = d.h.path();

        QStringList said;
        QPointer<QProgressDialog> clicked;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible() && dialog != clicked) {
                    clicked = dialog;
                    said << dialog->labelText();
                    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
                }
        });
        watch.start(5);
        const QList<std::function<void()>> ways{
            [&] {
                d.h.prompter.textAnswers << hanging;
                d.action("mnuFileConnect")->trigger();
            },
            [&] {
                d.h.prompter.textAnswers << hanging;
                d.action("mnuFileImportServer")->trigger();
            },
            [&] { QVERIFY(!d.window.connectToServer(hanging)); }, // as "olv host=..." starts
        };
        for (const auto& connectThatWay : ways) {
            d.h.prompter.shown.clear();
            const qsizetype before = said.size();
            connectThatWay();
            QCOMPARE(said.size(), before + 1);
            QCOMPARE(said.last(), QStringLiteral("Connecting to olv@127.0.0.1/far ..."));
            QCOMPARE(d.h.prompter.texts(Prompt::Error), QStringList());
            QCOMPARE(d.h.path(), file);
            QTRY_VERIFY(!peers.isEmpty() && peers.last()->state() == QAbstractSocket::UnconnectedState);
            QCOMPARE(peers.size(), before + 1);
        }
        watch.stop();
        d.search("kept");
        QCOMPARE(d.childTexts(d.root()), QStringList{"kept"});

        // Nobody listens there any more.
        silent.close();
        d.h.prompter.shown.clear();
        d.h.prompter.textAnswers << hanging;
        d.action("mnuFileConnect")->trigger();
        const QString refused = d.h.prompter.texts(Prompt::Error).value(0);
        QVERIFY2(refused.startsWith("The database olv@127.0.0.1/far cannot be used: the server cannot be reached (") &&
                     refused.contains("refused"),
                 qPrintable(refused));
        QCOMPARE(d.h.path(), file);
    }

    void shouldGiveExtraRoomToTheTreeTheGridAndThePreviews() {
        MainWindowDriver d;
        auto place = [&](const char* name) { return d.child<QWidget>(name)->geometry(); };
        const QWidget* client = d.window.centralWidget();
        QCOMPARE(client->size(), QSize(tw(9345), tw(7560))); // the designed size is the smallest
        QCOMPARE(place("trvDATA"), twRect(120, 1320, 5175, 2655));
        QCOMPARE(place("cmdFindLinkingObjects"), twRect(3240, 7320, 1935, 255));
        d.window.resize(d.window.size() + QSize(200, 100));
        QTRY_COMPARE(client->size(), QSize(tw(9345) + 200, tw(7560) + 100));
        QCOMPARE(place("trvDATA"), twRect(120, 1320, 5175, 2655).adjusted(0, 0, 100, 50));
        QCOMPARE(place("fraDATA"), twRect(120, 4080, 5175, 3135).adjusted(0, 50, 100, 100));
        QCOMPARE(place("flxDATA"), twRect(120, 240, 4935, 2775).adjusted(0, 0, 100, 50));
        // The value column grows with the grid; the previews take the room to the right, up to
        // the tree's top at most.
        QCOMPARE(d.grid()->columnWidth(0), tw(1500));
        QCOMPARE(d.grid()->columnWidth(1), tw(7000) + 100);
        QCOMPARE(place("Image1"), twRect(5400, 4080, 3855, 3375).adjusted(100, -100, 200, 100));
        QCOMPARE(place("rtbNote"), twRect(5400, 4200, 3855, 3135).adjusted(100, -100, 200, 100));
        QCOMPARE(place("cmdFindLinkingObjects"), twRect(3240, 7320, 1935, 255).translated(100, 100));
        QCOMPARE(place("txtFind"), twRect(120, 90, 2895, 285)); // the rest stays where it was
        d.window.resize(d.window.size() + QSize(0, 1000));
        QTRY_COMPARE(place("Image1").top(), place("trvDATA").top());
        d.window.showMaximized();
        QTRY_VERIFY(place("trvDATA").width() > twRect(120, 1320, 5175, 2655).width());
        d.window.showNormal();
        d.window.resize(10, 10); // never smaller than designed, and then all as designed
        QTRY_COMPARE(client->size(), QSize(tw(9345), tw(7560)));
        QCOMPARE(place("Image1"), twRect(5400, 4080, 3855, 3375));
        QCOMPARE(d.grid()->columnWidth(1), tw(7000));
    }

    void shouldShowTheProgramsIconInAboutAndOnEveryWindow() {
        MainWindowDriver d;
        d.h.add(obj(1), kName, "Lamp");
        d.search("Lamp");
        d.doubleClickNode(d.nodeWithKey(obj(1)));
        d.action("mnuHelpAbout")->trigger();
        auto about = d.h.windows.find<frmAbout>();
        QVERIFY(about && d.h.windows.find<frmDataEntry>());
        // The icon's blue field, away from its white lines.
        const auto isOurs = [](const QImage& image) {
            const QColor c = image.pixelColor(image.width() / 2, image.height() * 20 / 128);
            return qAbs(c.red() - 0x2f) < 16 && qAbs(c.green() - 0x6f) < 16 && qAbs(c.blue() - 0x9f) < 16;
        };
        QVERIFY(isOurs(about->findChild<QLabel*>("picIcon")->pixmap().toImage()));
        for (QWidget* w : d.h.windows.windows())
            QVERIFY2(isOurs(w->windowIcon().pixmap(32).toImage()), qPrintable(w->objectName()));
        // Windows belong to the menu entry.
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("org.olvproject.Olv"));
        d.h.windows.unloadAllBut(&d.window);
    }

    void shouldUnloadWindowsNewestFirstOnExit() {
        MainWindowDriver d;
        QStringList closed;
        for (const char* name : {"first", "second", "third"}) {
            auto w = new QWidget;
            w->setObjectName(name);
            w->setAttribute(Qt::WA_DeleteOnClose);
            connect(d.h.ctx.windows, &WindowRegistry::unloading, w, [&closed, w](QWidget* which) {
                if (which == w) closed << w->objectName();
            });
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
