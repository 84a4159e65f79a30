// The data-entry window and the New property dialog, opened from the tree as a user does:
// rows in name order, names and values edited in place and written to the very row they came
// from, deleting exactly the selected row, adding rows, and what another program or a refusing
// file does meanwhile.

#include "commands/dataentry.h"
#include "driver.h"
#include "editing/frmdataentry.h"
#include "editing/frmnewpv.h"
#include "widgets/ui.h"

#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;
using namespace olv::test;

namespace {

const QString kLamp = obj(1), kDesk = obj(2), kClass = obj(9);

struct EntryDriver : MainWindowDriver {
    EntryDriver() {
        h.add({{kClass, kTOO, kClassValue}, {kClass, kName, "Light"}, {kLamp, kName, "Lamp"},
               {kLamp, "colour", "red"}, {kLamp, kTOO, kClass}, {kDesk, kName, "Desk"}});
        search("", true);
    }
    ~EntryDriver() { h.windows.unloadAllBut(&window); } // before the context they use goes
    frmDataEntry* entry() const { return h.windows.find<frmDataEntry>(); }
    QTableView* grid() const { return entry()->findChild<QTableView*>("DataGrid1"); }
    // Double-clicks the object's node in the tree; the data-entry window comes up.
    frmDataEntry* open(const QString& key) {
        doubleClickNode(nodeWithKey(key));
        if (!QTest::qWaitForWindowActive(entry())) qWarning("data entry did not become active");
        return entry();
    }
    // The rows as the grid shows them: "P|V".
    QStringList shown() const {
        QStringList rows;
        QAbstractItemModel* m = grid()->model();
        for (int r = 0; r < m->rowCount(); ++r) rows << m->index(r, 1).data().toString() + '|' + m->index(r, 2).data().toString();
        return rows;
    }
    QStringList stored(const QString& id) const {
        QStringList rows;
        for (const Row& r : h.allRows())
            if (r.o == id) rows << r.p + '|' + r.v;
        return rows;
    }
    QPoint cell(int row, int column) const { return grid()->visualRect(grid()->model()->index(row, column)).center(); }
    void clickCell(int row, int column) { QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, cell(row, column)); }
    // Double-clicks a cell, types over its text and presses Enter.
    void editCell(int row, int column, const QString& text, bool enter = true) {
        clickCell(row, column);
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cell(row, column));
        QTRY_VERIFY(QApplication::focusWidget() && grid()->viewport()->isAncestorOf(QApplication::focusWidget()));
        press(Qt::Key_A, Qt::ControlModifier);
        typeKeys(text);
        if (!enter) return;
        press(Qt::Key_Return);
        QTRY_VERIFY(!grid()->viewport()->isAncestorOf(QApplication::focusWidget())); // the editor closes
    }
    void pressButton(const char* name) { QTest::mouseClick(entry()->findChild<QPushButton*>(name), Qt::LeftButton); }
    // Clicks "new property" and waits for its dialog; null when none came.
    frmNewPV* openNewProperty() {
        pressButton("cmdNewPV");
        auto dialog = h.windows.find<frmNewPV>();
        return dialog && QTest::qWaitForWindowActive(dialog) ? dialog : nullptr;
    }
    QList<int> widths() const { return {grid()->columnWidth(0), grid()->columnWidth(1), grid()->columnWidth(2)}; }
    QList<int> designed() const { return {0, tw(2000), tw(5000)}; }
    // The text in the cell's open editor, or null when none is open.
    QString editorText() const {
        for (auto box : grid()->viewport()->findChildren<QLineEdit*>())
            if (box->isVisible()) return box->text();
        return {};
    }
};

// Runs the program's event loop and does what the user does once it runs. Answers the loop's
// exit code: 0 when the program ended itself; one still running afterwards is stopped with 1.
int runProgram(QWidget* main, const std::function<void()>& user) {
    QTimer::singleShot(0, main, [&] {
        user();
        if (main->isVisible()) QCoreApplication::exit(1);
    });
    return QCoreApplication::exec();
}

} // namespace

class DataEntryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldShowTheRowsByNameAndStoreEditsInTheirOwnRow() {
        EntryDriver d;
        d.h.add({{kLamp, "Colour", "red"}, {kLamp, "colour", "red"}}); // one as typed again, one twice
        d.open(kLamp);
        QCOMPARE(d.entry()->windowTitle(), QStringLiteral("Olv :: Data Entry"));
        QCOMPARE(d.entry()->size(), QSize(tw(7425), tw(3945)));
        QCOMPARE(d.grid()->geometry(), twRect(0, 240, 7335, 3135));
        QCOMPARE(d.shown(), (QStringList{"Colour|red", "colour|red", "colour|red", "Name|Lamp", "TOO|" + kClass}));
        QVERIFY(d.grid()->isColumnHidden(0));
        QCOMPARE(d.widths(), d.designed());
        QCOMPARE(d.grid()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("P"));
        QCOMPARE(d.entry()->editedObjectId(), kLamp);

        // The second of the two identical rows gets the new value; the first keeps its own.
        d.editCell(2, 2, "crimson");
        d.editCell(3, 1, "Title");
        d.editCell(0, 2, "it's \"Robert's\""); // quotes as typed
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|red", "TOO|" + kClass, "Colour|it's \"Robert's\"",
                                               "colour|crimson"}).replaceInStrings("Name|Lamp", "Title|Lamp"));
        QCOMPARE(d.shown()[2], QStringLiteral("colour|crimson"));
        QVERIFY(d.h.prompter.shown.isEmpty());

        // Tab leaves the grid for the buttons.
        d.grid()->setFocus();
        d.press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdNewPV"));
    }

    void shouldGrowTheGridWithTheWindow() {
        EntryDriver d;
        d.open(kLamp);
        d.entry()->resize(d.entry()->size() + QSize(120, 60));
        QTRY_COMPARE(d.grid()->geometry(), twRect(0, 240, 7335, 3135).adjusted(0, 0, 120, 60));
        QCOMPARE(d.entry()->findChild<QPushButton*>("cmdDeletePV")->geometry(),
                 twRect(2160, 3480, 1455, 375).translated(0, 60));
        // The value column grows with the window, also after the rows are read again.
        QCOMPARE(d.widths(), (QList<int>{0, tw(2000), tw(5000) + 120}));
        d.clickCell(0, 1);
        d.pressButton("cmdDeletePV");
        QCOMPARE(d.widths(), (QList<int>{0, tw(2000), tw(5000) + 120}));
        d.entry()->resize(1, 1);
        QTRY_COMPARE(d.entry()->size(), QSize(tw(7425), tw(3945)));
        QCOMPARE(d.widths(), d.designed());
    }

    void shouldDeleteExactlyTheSelectedRow() {
        EntryDriver d;
        d.h.add({{kDesk, "colour", "red"}, {kDesk, "Colour", "RED"}, {kDesk, "colour", "red"},
                 {kDesk, "owner's", "Robert's coins"}, {kDesk, "empty", ""}});
        d.open(kDesk);
        QCOMPARE(d.shown(), (QStringList{"Colour|RED", "colour|red", "colour|red", "empty|", "Name|Desk",
                                         "owner's|Robert's coins"}));
        for (const int row : {5, 3, 2, 0}) { // quotes, an empty value, one of two alike, a case twin
            d.clickCell(row, 1);
            d.pressButton("cmdDeletePV");
            QCOMPARE(d.widths(), d.designed());
        }
        QCOMPARE(d.shown(), (QStringList{"colour|red", "Name|Desk"}));
        QCOMPARE(d.stored(kDesk), (QStringList{"Name|Desk", "colour|red"}));
        QVERIFY(d.h.prompter.shown.isEmpty());
        // The node shows the same rows.
        d.clickNode(d.nodeWithKey(kDesk));
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Desk", "colour|red"}));
    }

    void shouldAddRowsThroughTheNewPropertyDialogBelowItsButton() {
        EntryDriver d;
        d.open(kDesk);
        auto dialog = d.openNewProperty();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Olv - New property"));
        auto button = d.entry()->findChild<QPushButton*>("cmdNewPV");
        QCOMPARE(dialog->pos(), d.entry()->pos() + QPoint(button->x(), button->y() + button->height()));
        // The hints are stored when left; typing replaces a hint, as the focus selects it.
        auto add = dialog->findChild<QPushButton*>("cmdNewPV");
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QLineEdit*>("txtProperty"), Qt::LeftButton);
        QCoreApplication::processEvents();
        d.typeKeys("size");
        d.press(Qt::Key_Tab);
        d.typeKeys("it's big");
        QTest::mouseClick(add, Qt::LeftButton);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(d.stored(kDesk), (QStringList{"Name|Desk", "property|value", "size|it's big", "size|it's big"}));
        QCOMPARE(d.shown(), (QStringList{"Name|Desk", "property|value", "size|it's big", "size|it's big"}));
        QCOMPARE(d.widths(), d.designed());
        // Closing the data-entry window takes the dialog with it.
        d.entry()->close();
        QTRY_VERIFY(!d.h.windows.find<frmNewPV>());
    }

    void shouldAddTheNewPropertyWithEnter() {
        EntryDriver d;
        d.open(kDesk);
        auto dialog = d.openNewProperty();
        QVERIFY(dialog);
        QVERIFY(dialog->findChild<QPushButton*>("cmdNewPV")->isDefault());
        d.typeKeys("size"); // over the selected hint
        d.press(Qt::Key_Tab);
        d.typeKeys("big");
        d.press(Qt::Key_Return);
        QCOMPARE(d.stored(kDesk), (QStringList{"Name|Desk", "size|big"}));
        QCOMPARE(d.shown(), (QStringList{"Name|Desk", "size|big"}));
        // From the property box too, and with the keypad's Enter.
        d.press(Qt::Key_Backtab, Qt::ShiftModifier);
        d.typeKeys("age");
        d.press(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(d.stored(kDesk), (QStringList{"Name|Desk", "size|big", "age|big"}));
        QCOMPARE(d.shown(), (QStringList{"age|big", "Name|Desk", "size|big"}));
        QVERIFY(dialog->isVisible()); // it stays for the next one
    }

    void shouldKeepItsObjectWhileOpenAndTakeTheClickedOneWhenOpenedAgain() {
        EntryDriver d;
        d.open(kLamp);
        frmDataEntry* first = d.entry();
        d.doubleClickNode(d.nodeWithKey(kDesk));
        QCOMPARE(d.entry(), first);
        QCOMPARE(d.shown().first(), QStringLiteral("colour|red")); // still the lamp
        // A related object's key opens that object.
        d.entry()->close();
        QTRY_VERIFY(!d.entry());
        d.clickNode(d.nodeWithKey(kClass));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        d.clickNode(d.nodeWithKey(kClass + "|" + kLamp));
        d.action("mnuT1OEditProperties")->trigger();
        QTRY_VERIFY(d.entry());
        QCOMPARE(d.entry()->editedObjectId(), kLamp);
        d.entry()->close();
        QVERIFY(!d.entry()); // closed: the next opening loads afresh
        d.open(kDesk);
        QCOMPARE(d.shown(), QStringList{"Name|Desk"});
        // With nothing to delete, "delete property" does nothing.
        d.pressButton("cmdDeletePV");
        d.pressButton("cmdDeletePV");
        QCOMPARE(d.stored(kDesk), QStringList{});
        d.h.add(kDesk, kName, "Desk");
        d.entry()->refresh();
        d.grid()->setCurrentIndex({});
        d.grid()->clearSelection();
        d.pressButton("cmdDeletePV");
        QCOMPARE(d.stored(kDesk), QStringList{"Name|Desk"});
    }

    void shouldStoreAnEditInProgressWhenTheWindowCloses() {
        EntryDriver d;
        d.open(kLamp);
        d.editCell(0, 2, "blue", false); // still typing
        d.entry()->close();
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|blue", "TOO|" + kClass}));
        // And when the program exits.
        d.open(kLamp);
        d.editCell(0, 2, "green", false);
        d.window.close();
        QVERIFY(d.quitCalled);
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|green", "TOO|" + kClass}));
    }

    // Nothing stands in for the program's own exit here: it ends the event loop.
    void shouldAskBeforeExitLosesAnEditTheFileRefuses() {
        EntryDriver d;
        d.window.setQuit({});
        d.open(kLamp);
        SQLite::Database other(d.h.path().toStdString(), SQLite::OPEN_READWRITE);
        other.exec("CREATE TRIGGER refuse BEFORE UPDATE ON DATA BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
        d.editCell(0, 2, "blue", false); // typed, not yet stored
        d.h.prompter.confirmAnswers << false; // Cancel: stay
        const int code = runProgram(&d.window, [&] {
            d.action("mnuFileExit")->trigger();
            // Told what failed and where, and nothing has gone: the windows, the typed text.
            const QStringList asked = d.h.prompter.texts(Prompt::Confirm);
            QCOMPARE(asked.size(), 1);
            QVERIFY2(asked[0].contains("\"colour\"") && asked[0].contains(d.h.path()) &&
                         asked[0].contains("disk trouble"),
                     qPrintable(asked[0]));
            QVERIFY(d.window.isVisible() && d.entry() && d.entry()->isVisible());
            QCOMPARE(d.editorText(), QStringLiteral("blue"));
            QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|red", "TOO|" + kClass}));
            // Once the file takes it again, closing the main window stores it and ends the program.
            other.exec("DROP TRIGGER refuse");
            d.window.close();
        });
        QCOMPARE(code, 0);
        QCOMPARE(d.h.prompter.texts(Prompt::Confirm).size(), 1);
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|blue", "TOO|" + kClass}));
    }

    void shouldEndOnlyWhenToldWhenAnotherProgramChangedTheEditedRow() {
        EntryDriver d;
        d.window.setQuit({});
        d.open(kLamp);
        d.editCell(0, 2, "blue", false);
        SQLite::Database other(d.h.path().toStdString(), SQLite::OPEN_READWRITE);
        other.exec("UPDATE DATA SET V = 'orange' WHERE P = 'colour'");
        d.h.prompter.confirmAnswers << true; // OK: close all the same
        const int code = runProgram(&d.window, [&] { d.window.close(); });
        QCOMPARE(code, 0);
        const QStringList asked = d.h.prompter.texts(Prompt::Confirm);
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].contains("nother program") && asked[0].contains(d.h.path()), qPrintable(asked[0]));
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|orange", "TOO|" + kClass}));
    }

    // A right-click selects nothing: before any left click, or on the root "Result", there is
    // no object to edit, and the window and its commands say so rather than store rows for it.
    void shouldEditNoRowsWithoutAnObject() {
        EntryDriver d;
        QMenu* menu = d.window.treeMenu();
        d.clickNode(d.root(), Qt::RightButton);
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(d.action("mnuT1OEditProperties")).center());
        d.clickNode(d.root());
        d.action("mnuT1OEditProperties")->trigger();
        d.doubleClickNode(d.root());
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList(3, DataEntryCommands::kNoObject));
        QVERIFY(!d.entry());
        QVERIFY(d.h.prompter.texts(Prompt::Message)[0].contains("click an object in the tree first"));
        // The command refuses too.
        for (const QString& id : {QString(), QStringLiteral("Result")})
            QCOMPARE(DataEntryCommands(d.h.ctx.store).add(id, "colour", "red"), DataEntryCommands::Outcome::NoObject);
        QCOMPARE(d.h.rowCount(), 6);
    }

    void shouldOverwriteNothingAnotherProgramChangedAndSayWhatTheFileRefused() {
        EntryDriver d;
        d.open(kLamp);
        SQLite::Database other(d.h.path().toStdString(), SQLite::OPEN_READWRITE);
        other.exec("UPDATE DATA SET V = 'orange' WHERE P = 'colour'");
        d.editCell(0, 2, "blue");
        QTRY_COMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QVERIFY(d.h.prompter.texts(Prompt::Error).first().contains("another program"));
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "colour|orange", "TOO|" + kClass}));
        QCOMPARE(d.shown().first(), QStringLiteral("colour|orange")); // shown as it is now
        other.exec("DELETE FROM DATA WHERE V = 'orange'");
        d.clickCell(0, 1);
        d.pressButton("cmdDeletePV");
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 2);
        QCOMPARE(d.shown(), (QStringList{"Name|Lamp", "TOO|" + kClass}));

        // The file refuses: the message names it, and the grid shows the stored rows again.
        other.exec("CREATE TRIGGER refuse BEFORE UPDATE ON DATA BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;"
                   "CREATE TRIGGER refuse2 BEFORE DELETE ON DATA BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
        d.editCell(0, 2, "Lantern");
        QTRY_COMPARE(d.h.prompter.texts(Prompt::Error).size(), 3);
        QVERIFY(d.h.prompter.texts(Prompt::Error).last().contains(d.h.path()));
        QCOMPARE(d.shown(), (QStringList{"Name|Lamp", "TOO|" + kClass}));
        d.clickCell(1, 1);
        d.pressButton("cmdDeletePV");
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 4);
        QCOMPARE(d.stored(kLamp), (QStringList{"Name|Lamp", "TOO|" + kClass}));
    }
};

QTEST_MAIN(DataEntryTest)
#include "test_dataentry.moc"
