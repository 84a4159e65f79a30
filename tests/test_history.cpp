// The history's windows, used as a user does: the Edit menu named by the step it would undo, its
// keys from the tree and the grid (and a search box keeping its own), an undo refused after the
// sqlite3 shell changed the row, the History window showing the shell's change and restoring it,
// Delete object's question, Recently deleted, History size, a long undo called off, and a file
// Olv may only read.

#include "driver.h"
#include "editing/frmdataentry.h"
#include "files.h"
#include "history/frmhistory.h"
#include "history/frmhistorysize.h"
#include "history/frmrecentlydeleted.h"
#include "commands/history.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;
using namespace olv::test;

namespace {

const QString kLight = obj(1), kLamp = obj(2), kDesk = obj(3);

struct HistoryDriver : MainWindowDriver {
    HistoryDriver() {
        // Rows another program wrote: nothing of Olv's to undo yet.
        SQLite::Database db(h.path().toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Statement insert(db, "INSERT INTO DATA VALUES (?, ?, ?)");
        for (const Row& r : QList<Row>{{kLight, kTOO, kClassValue}, {kLight, kName, "Light"}, {kLamp, kTOO, kLight},
                                       {kLamp, kName, "Lamp"}, {kLamp, "colour", "red"}, {kDesk, kName, "Desk"},
                                       {kDesk, "lamp", kLamp}}) {
            insert.bind(1, r.o.toStdString());
            insert.bind(2, r.p.toStdString());
            insert.bind(3, r.v.toStdString());
            insert.exec();
            insert.reset();
        }
        search("", true);
    }
    ~HistoryDriver() { h.windows.unloadAllBut(&window); } // before the context they use goes

    void shell(const QString& statements) const { sqliteShell(h.path(), statements); }
    QStringList stored(const QString& id) const {
        QStringList rows;
        for (const Row& r : h.allRows())
            if (r.o == id) rows << r.p + '=' + r.v;
        return rows;
    }

    // Back to the main window, as the user's click on it brings it to the front.
    void backToMain() {
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
    // Opens Edit with Alt+E and reads its items as shown: "caption" or "(caption)" when
    // disabled; Esc closes it, and a second Esc leaves the menu bar.
    QStringList editMenu() {
        QMenu* edit = child<QMenu>("mnuEdit");
        press(Qt::Key_E, Qt::AltModifier);
        if (!QTest::qWaitFor([&] { return edit->isVisible(); })) return {"not shown"};
        QStringList items;
        for (QAction* a : edit->actions())
            if (!a->isSeparator()) items << (a->isEnabled() ? a->text() : '(' + a->text() + ')');
        press(Qt::Key_Escape);
        if (!QTest::qWaitFor([&] { return !edit->isVisible(); })) return {"not closed"};
        press(Qt::Key_Escape);
        return items;
    }
    // An item of the tree's menu on the node, as a right-click shows it.
    void treeMenu(const char* item, QTreeWidgetItem* node) {
        clickNode(node, Qt::RightButton);
        QMenu* menu = window.treeMenu();
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action(item)).center());
    }
    template <class W> W* opened() {
        W* w = h.windows.find<W>();
        return w && QTest::qWaitForWindowActive(w) ? w : nullptr;
    }
    void editValue(const QString& property, const QString& value) { MainWindowDriver::editValue(kLamp, property, value); }
    // The rows of a window's grid as shown, cells joined by " | ".
    static QStringList lines(QTableView* grid) {
        QStringList rows;
        for (int r = 0; r < grid->model()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < grid->model()->columnCount(); ++c) cells << grid->model()->index(r, c).data().toString();
            rows << cells.join(" | ");
        }
        return rows;
    }
    static void clickRow(QTableView* grid, int row) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(row, 1)).center());
    }
    static void click(QWidget* window, const char* button) {
        QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    // Ctrl and a letter, as typed with the focus where the user left it.
    static void ctrl(Qt::Key key, Qt::KeyboardModifiers more = {}) { press(key, Qt::ControlModifier | more); }
};

QProgressDialog* shownProgress() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("dlgLongWork") && w->isVisible()) return qobject_cast<QProgressDialog*>(w);
    return nullptr;
}

} // namespace

class HistoryWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void editMenuUndoesAndRedoesWithItsKeys() {
        HistoryDriver d;
        QCOMPARE(d.editMenu(), (QStringList{"(Undo)", "(Redo)", "Recently deleted"}));
        QCOMPARE(d.action("mnuEditUndo")->shortcut(), QKeySequence("Ctrl+Z"));
        QCOMPARE(d.action("mnuEditRedo")->shortcuts(), (QList<QKeySequence>{QKeySequence("Ctrl+Shift+Z"), QKeySequence("Ctrl+Y")}));

        d.editValue("colour", "blue");
        d.backToMain();
        d.clickNode(d.nodeWithKey(kLamp));
        QTRY_COMPARE(d.action("mnuEditUndo")->text(), QStringLiteral("Undo edit of colour")); // named on coming back
        QCOMPARE(d.editMenu(), (QStringList{"Undo edit of colour", "(Redo)", "Recently deleted"}));

        // From the tree: the file, the grid and the menu follow each key.
        QCOMPARE(focused(), QStringLiteral("trvDATA"));
        d.ctrl(Qt::Key_Z);
        QCOMPARE(d.stored(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=red"}));
        QVERIFY(d.gridRows().contains("colour|red"));
        QCOMPARE(d.editMenu(), (QStringList{"(Undo)", "Redo edit of colour", "Recently deleted"}));
        d.ctrl(Qt::Key_Y);
        QVERIFY(d.stored(kLamp).contains("colour=blue"));
        QVERIFY(d.gridRows().contains("colour|blue"));
        d.ctrl(Qt::Key_Z);
        QVERIFY(d.stored(kLamp).contains("colour=red"));
        d.ctrl(Qt::Key_Z, Qt::ShiftModifier);
        QVERIFY(d.stored(kLamp).contains("colour=blue"));
        // From the grid too; the tree still lists the lamp, and shows it chosen.
        d.clickGridRow(1);
        QTRY_COMPARE(focused(), QStringLiteral("flxDATA"));
        d.ctrl(Qt::Key_Z);
        QVERIFY(d.stored(kLamp).contains("colour=red"));
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Light", "Lamp", "Desk"}));
        QCOMPARE(d.tree()->currentItem()->data(0, Qt::UserRole).toString(), kLamp);

        // The search box keeps its own Undo and Redo: typing is taken back, the file is not.
        typeInto(d.txtFind(), "abc");
        d.ctrl(Qt::Key_Z);
        QVERIFY(d.txtFind()->text() != "abc");
        d.ctrl(Qt::Key_Y);
        d.ctrl(Qt::Key_Z, Qt::ShiftModifier);
        QVERIFY(d.stored(kLamp).contains("colour=red"));
        QVERIFY(d.h.prompter.shown.isEmpty());
        screenshot(d.child<QMenu>("mnuEdit"), "mnuEdit");
    }

    void undoIsRefusedWhenAnotherProgramChangedTheRow() {
        HistoryDriver d;
        d.editValue("colour", "blue");
        d.shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'");
        const QByteArray before = bytesOf(d.h.path());
        d.backToMain();
        d.clickNode(d.nodeWithKey(kLamp));
        QTRY_VERIFY(d.action("mnuEditUndo")->isEnabled());
        d.ctrl(Qt::Key_Z);
        QCOMPARE(d.h.prompter.texts(Prompt::Error),
                 QStringList{"Undo edit of colour: \"colour\" of \"Lamp\" was changed since by another program or "
                             "another Olv, so nothing was undone."});
        QCOMPARE(bytesOf(d.h.path()), before);
    }

    // A change made in the sqlite3 shell shows in the object's History window with its old
    // value, and is restored from there; the restore is a step Undo takes back.
    void theHistoryWindowShowsAShellChangeAndRestoresIt() {
        // The account that runs Olv, which its changes are kept under.
        const auto restoreUser = qScopeGuard([user = qgetenv("USER")] { qputenv("USER", user); });
        qputenv("USER", "alice");
        HistoryDriver d;
        d.clickNode(d.nodeWithKey(kLamp));
        d.shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'");
        d.treeMenu("mnuT1OHistory", d.nodeWithKey(kLamp));
        frmHistory* w = d.opened<frmHistory>();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Olv :: History"));
        auto grid = w->findChild<QTableView*>("flxHistory");
        QStringList shown = HistoryDriver::lines(grid);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].endsWith(" | colour | red → green | another program | "), qPrintable(shown[0]));
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("old value → new value"));
        QCOMPARE(grid->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("user"));
        QCOMPARE(w->findChild<QLabel*>("lblObject")->text(), "Changes to \"Lamp\" [ " + kLamp + " ], newest first:");
        screenshot(w, "frmHistory");

        HistoryDriver::clickRow(grid, 0);
        HistoryDriver::click(w, "cmdRestore");
        QCOMPARE(d.stored(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=red"}));
        shown = HistoryDriver::lines(grid);
        QVERIFY2(shown[0].endsWith(" | colour | green → red | Olv: restore of colour | alice"), qPrintable(shown[0]));
        QVERIFY(d.gridRows().contains("colour|red")); // the main window shows it too

        // A second "History" brings the same window forward.
        d.backToMain();
        d.treeMenu("mnuT1OHistory", d.nodeWithKey(kLamp));
        QCOMPARE(d.opened<frmHistory>(), w);

        // Ctrl+Z in the main window undoes the restore; the open window lists that too.
        d.backToMain();
        d.clickNode(d.nodeWithKey(kLamp));
        QTRY_COMPARE(d.action("mnuEditUndo")->text(), QStringLiteral("Undo restore of colour"));
        d.ctrl(Qt::Key_Z);
        QVERIFY(d.stored(kLamp).contains("colour=green"));
        QTRY_VERIFY(HistoryDriver::lines(grid)[0].endsWith("red → green | Olv: undo of restore of colour | alice"));

        // A restore refused because the object changed meanwhile says so and lists afresh.
        d.shell("UPDATE DATA SET V = 'L' WHERE P = 'colour'; INSERT INTO DATA VALUES ('" + kLamp + "', 'size', 'XL')");
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        HistoryDriver::clickRow(grid, 1);
        HistoryDriver::click(w, "cmdRestore");
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QVERIFY(d.h.prompter.texts(Prompt::Error)[0].contains("nothing was restored"));
        QVERIFY(d.stored(kLamp).contains("colour=L"));
        QVERIFY(HistoryDriver::lines(grid)[0].endsWith(" | size | (none) → XL | another program | "));
        QVERIFY(HistoryDriver::lines(grid)[1].endsWith(" | colour | green → L | another program | "));

        // Restore is not offered for a row that was added: nothing was taken away.
        HistoryDriver::clickRow(grid, 0);
        QVERIFY(!w->findChild<QPushButton*>("cmdRestore")->isEnabled());
        HistoryDriver::clickRow(grid, 1);
        QVERIFY(w->findChild<QPushButton*>("cmdRestore")->isEnabled());
    }

    void theHistoryWindowShowsTheObjectAsItWas() {
        HistoryDriver d;
        d.clickNode(d.nodeWithKey(kLamp));
        d.shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'");
        // Olv's change comes in a later second, so that the two show apart.
        const QTime shellDone = QTime::currentTime();
        QTRY_VERIFY(QTime::currentTime().second() != shellDone.second());
        d.editValue("colour", "blue");
        d.backToMain();
        d.treeMenu("mnuT1OHistory", d.nodeWithKey(kLamp));
        frmHistory* w = d.opened<frmHistory>();
        QVERIFY(w);
        // The other program's change chosen, then "show as it was", reached with Tab.
        auto grid = w->findChild<QTableView*>("flxHistory");
        QCOMPARE(HistoryDriver::lines(grid).size(), 2);
        HistoryDriver::clickRow(grid, 1);
        QCOMPARE(focused(), QStringLiteral("flxHistory"));
        press(Qt::Key_Tab, {}, 3);
        QCOMPARE(focused(), QStringLiteral("cmdShowAsOf"));
        press(Qt::Key_Return);
        QCOMPARE(w->findChild<QLineEdit*>("txtAsOf")->text(), HistoryDriver::lines(grid)[1].section(" | ", 0, 0));
        auto rows = w->findChild<QTableView*>("flxAsOf");
        QCOMPARE(HistoryDriver::lines(rows), (QStringList{"TOO | " + kLight, "Name | Lamp", "colour | green"}));
        // A time long before, typed into the box, Enter shows it: the rows the history does not
        // see come (they were there before it), as they were then.
        auto box = w->findChild<QLineEdit*>("txtAsOf");
        typeInto(box, "2001-02-03 04:05:06");
        d.press(Qt::Key_Return);
        QCOMPARE(HistoryDriver::lines(rows), (QStringList{"TOO | " + kLight, "Name | Lamp", "colour | red"}));
        QCOMPARE(w->findChild<QLabel*>("lblAsOf")->text(), QStringLiteral("\"Lamp\" as it was at 2001-02-03 04:05:06:"));
        // And now: as the file holds it.
        typeInto(box, QDateTime::currentDateTime().addSecs(60).toString("yyyy-MM-dd HH:mm:ss"));
        d.press(Qt::Key_Return);
        QCOMPARE(HistoryDriver::lines(rows), (QStringList{"TOO | " + kLight, "Name | Lamp", "colour | blue"}));
        screenshot(w, "frmHistoryAsOf");
        // What is no date says so.
        typeInto(box, "yesterday");
        d.press(Qt::Key_Return);
        QVERIFY(d.h.prompter.texts(Prompt::Message).last().startsWith("Please type a date and time as "));
        QCOMPARE(HistoryDriver::lines(rows).size(), 3);

        // History asked for another object: the open window shows it, and nothing of the lamp.
        d.backToMain();
        d.clickNode(d.nodeWithKey(kDesk)); // the menu acts on the node clicked last
        d.treeMenu("mnuT1OHistory", d.nodeWithKey(kDesk));
        QCOMPARE(d.opened<frmHistory>(), w);
        QCOMPARE(w->findChild<QLabel*>("lblObject")->text(), "The history holds no change to \"Desk\" [ " + kDesk + " ].");
        QCOMPARE(HistoryDriver::lines(grid), QStringList());
        QCOMPARE(HistoryDriver::lines(rows), QStringList());
    }

    void deleteObjectAsksThenDeletesAndUndoBringsItBack() {
        HistoryDriver d;
        // Nothing clicked, or the root: the same words as the tree's other entries.
        d.treeMenu("mnuT1ODeleteObject", d.root());
        d.clickNode(d.root());
        d.treeMenu("mnuT1OHistory", d.root());
        QCOMPARE(d.h.prompter.texts(Prompt::Message),
                 (QStringList{HistoryCommands::kNoObjectToDelete, HistoryCommands::kNoObjectForHistory}));
        QVERIFY(HistoryCommands::kNoObjectToDelete.startsWith("Please click an object in the tree first"));

        d.clickNode(d.nodeWithKey(kLamp));
        d.h.prompter.confirmAnswers << false << true;
        d.treeMenu("mnuT1ODeleteObject", d.nodeWithKey(kLamp));
        QCOMPARE(d.stored(kLamp).size(), 3); // Cancel
        d.treeMenu("mnuT1ODeleteObject", d.nodeWithKey(kLamp));
        const QList<Prompt> asked = d.h.prompter.shown.mid(2);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0].title, QStringLiteral("Delete object"));
        QCOMPARE(asked[0].text, QStringLiteral("Delete the object \"Lamp\" with its 3 rows?\n\n1 object links to it; "
                                               "its link will dangle, leading to no object:\nDesk\n\nEdit, Undo brings it back."));
        QVERIFY(d.stored(kLamp).isEmpty());
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Light", "Desk"}));
        QCOMPARE(d.gridRows(), QStringList{"|"});
        QCOMPARE(d.frameCaption(), QStringLiteral("properties"));

        d.ctrl(Qt::Key_Z);
        QCOMPARE(d.stored(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=red"}));
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Light", "Lamp", "Desk"}));
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Lamp", "colour|red"}));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Light"));
    }

    void recentlyDeletedListsAndRestores() {
        HistoryDriver d;
        d.shell("DELETE FROM DATA WHERE O = '" + kLamp + "'");
        QTest::mouseClick(d.child<QPushButton>("cmdTreeView"), Qt::LeftButton);
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Light", "Desk"}));
        d.action("mnuEditRecentlyDeleted")->trigger();
        frmRecentlyDeleted* w = d.opened<frmRecentlyDeleted>();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Olv :: Recently deleted"));
        auto list = w->findChild<QTableView*>("flxDeleted");
        const QStringList shown = HistoryDriver::lines(list);
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].startsWith("Lamp | Light | ") && shown[0].endsWith(" | another program"), qPrintable(shown[0]));
        screenshot(w, "frmRecentlyDeleted");

        HistoryDriver::clickRow(list, 0);
        HistoryDriver::click(w, "cmdRestore");
        QCOMPARE(d.stored(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=red"}));
        QCOMPARE(HistoryDriver::lines(list), QStringList());
        QVERIFY(!w->findChild<QPushButton*>("cmdRestore")->isEnabled());
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Light", "Lamp", "Desk"})); // back in its place
        d.backToMain();
        QCOMPARE(d.editMenu(), (QStringList{"Undo restore of Lamp", "(Redo)", "Recently deleted"}));
    }

    void historySizeForgetsAfterTheQuestion() {
        HistoryDriver d;
        d.editValue("colour", "blue");
        d.backToMain();
        d.action("mnuDBHistorySize")->trigger();
        frmHistorySize* w = d.opened<frmHistorySize>();
        QVERIFY(w);
        auto said = w->findChild<QLabel*>("lblSize");
        QVERIFY2(said->text().contains(" kB: 1 change in 1 step of Olv"), qPrintable(said->text()));
        screenshot(w, "frmHistorySize");

        const QString tomorrow = QDate::currentDate().addDays(1).toString("yyyy-MM-dd");
        d.h.prompter.confirmAnswers << false << true;
        typeInto(w->findChild<QLineEdit*>("txtForgetBefore"), tomorrow);
        HistoryDriver::click(w, "cmdForget");
        QVERIFY(said->text().contains("1 change in"));
        typeInto(w->findChild<QLineEdit*>("txtForgetBefore"), tomorrow);
        d.press(Qt::Key_Tab); // on to "Forget older", which Enter presses
        QCOMPARE(focused(), QStringLiteral("cmdForget"));
        d.press(Qt::Key_Return);
        QCOMPARE(d.h.prompter.texts(Prompt::Confirm).size(), 2);
        QCOMPARE(d.h.prompter.shown.last().title, QStringLiteral("Forget older"));
        QVERIFY(d.h.prompter.texts(Prompt::Confirm)[1].contains("cannot be undone"));
        QVERIFY(said->text().endsWith("holds no changes."));
        QVERIFY(d.stored(kLamp).contains("colour=blue"));
        QVERIFY(!d.action("mnuEditUndo")->isEnabled());
    }

    // Undoing a large import shows progress; Cancel leaves the file as it was.
    void aLongUndoCanBeCalledOff() {
        HistoryDriver d;
        QList<TypedRow> imported;
        for (int i = 0; i < 100000; ++i)
            imported.push_back({QStringLiteral("OlObj%1").arg(i / 10), QStringLiteral("p%1").arg(i % 10), QString::number(i)});
        d.h.ctx.store.open().step("import of big.mdb").addMissing(imported);
        d.backToMain();
        d.clickNode(d.nodeWithKey(kLamp));
        QCOMPARE(d.editMenu().first(), QStringLiteral("Undo import of big.mdb"));
        const QByteArray before = bytesOf(d.h.path());

        // Another program holds the file a moment, long enough for the progress window to come.
        auto other = std::make_unique<SQLite::Database>(d.h.path().toStdString(), SQLite::OPEN_READWRITE);
        auto holding = std::make_unique<SQLite::Transaction>(*other, SQLite::TransactionBehavior::IMMEDIATE);
        QString said;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QProgressDialog* progress = shownProgress();
            if (!progress || !said.isNull()) return;
            said = progress->labelText();
            screenshot(progress, "dlgUndo");
            QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            holding.reset(); // let go, as the other program finishes
        });
        watch.start(5);
        d.ctrl(Qt::Key_Z);
        watch.stop();
        QCOMPARE(said, QStringLiteral("Undoing import of big.mdb ..."));
        QCOMPARE(bytesOf(d.h.path()), before);
        QVERIFY(d.h.prompter.shown.isEmpty());
        QCOMPARE(d.action("mnuEditUndo")->text(), QStringLiteral("Undo import of big.mdb"));
        // Let run, it takes the import back.
        d.backToMain();
        d.clickNode(d.nodeWithKey(kLamp));
        d.ctrl(Qt::Key_Z);
        QCOMPARE(d.h.rowCount(), 7);
        QCOMPARE(d.action("mnuEditRedo")->text(), QStringLiteral("Redo import of big.mdb"));
    }

    void aFileOlvMayOnlyReadOffersNoUndo() {
        HistoryDriver d;
        d.editValue("colour", "blue");
        QVERIFY(markReadOnly(d.h.path()));
        d.backToMain();
        d.clickNode(d.nodeWithKey(kLamp));
        QCOMPARE(d.editMenu(), (QStringList{"(Undo)", "(Redo)", "Recently deleted"}));
        d.ctrl(Qt::Key_Z);
        QVERIFY(d.stored(kLamp).contains("colour=blue"));
        // Its history shows, with nothing to restore.
        d.treeMenu("mnuT1OHistory", d.nodeWithKey(kLamp));
        frmHistory* w = d.opened<frmHistory>();
        QVERIFY(w);
        QCOMPARE(HistoryDriver::lines(w->findChild<QTableView*>("flxHistory")).size(), 1);
        QVERIFY(!w->findChild<QPushButton*>("cmdRestore")->isEnabled());
        d.backToMain();
        d.treeMenu("mnuT1ODeleteObject", d.nodeWithKey(kLamp));
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{HistoryCommands::kReadOnly});

        // A file that never had a history: nothing in Edit, and History says why.
        const QString bare = d.h.otherDatabase("bare.mdb");
        QVERIFY(markReadOnly(bare));
        d.h.ctx.store.setPath(bare);
        QCOMPARE(d.editMenu(), (QStringList{"(Undo)", "(Redo)", "(Recently deleted)"}));
        d.treeMenu("mnuT1OHistory", d.nodeWithKey(kLamp));
        QCOMPARE(d.h.prompter.texts(Prompt::Message).last(), HistoryCommands::kNoHistory);
    }
};

QTEST_MAIN(HistoryWindowsTest)
#include "test_history.moc"
