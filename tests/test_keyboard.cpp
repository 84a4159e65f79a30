// The keyboard as a user meets it: typing straight into a window that has just opened, boxes that
// select their hints on the way in but keep half-typed text, Tab through the main window, and Esc
// closing every other window.

#include "about/frmabout.h"
#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewimage.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"
#include "dialogs/frmrichtextnote.h"
#include "driver.h"
#include "editing/frmdataentry.h"
#include "editing/frmnewpv.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"

#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <string_view>

using namespace olv;
using namespace olv::test;

namespace {

// Where the focus goes on each of n presses of a key.
QStringList visits(Qt::Key key, int n, Qt::KeyboardModifiers modifiers = {}) {
    QStringList names;
    for (int i = 0; i < n; ++i) {
        MainWindowDriver::press(key, modifiers);
        names << focused();
    }
    return names;
}

// Opens a window through the main window's menu item and waits for it to come up.
template <class W> W* openFromMenu(MainWindowDriver& d, const char* item) {
    d.action(item)->trigger();
    W* w = d.h.windows.find<W>();
    if (w) (void)QTest::qWaitForWindowActive(w);
    return w;
}

template <class T = QLineEdit> T* in(QWidget* window, const char* name) {
    return window->findChild<T*>(QString::fromLatin1(name));
}

void clickInto(QWidget* box) {
    QTest::mouseClick(box, Qt::LeftButton);
    QCoreApplication::processEvents(); // what the click set off, before the next key comes in
}

// Presses Esc in the window once it is up; true when that closed it.
bool closedByEsc(QWidget* window) {
    if (!window || !QTest::qWaitForWindowActive(window)) return false;
    QPointer<QWidget> w = window;
    MainWindowDriver::press(Qt::Key_Escape);
    return QTest::qWaitFor([&] { return w.isNull() || w->isHidden(); });
}

} // namespace

class KeyboardTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldTypeOverTheHintStraightAfterOpening() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "rose"}, {obj(1), "colour", "red"},
                 {obj(2), kName, "tulip"}, {obj(2), "colour", "findred"}});
        QCOMPARE(focused(), QStringLiteral("txtFind"));
        QCOMPARE(d.txtFind()->cursorPosition(), 0);
        MainWindowDriver::typeKeys("red");
        MainWindowDriver::press(Qt::Key_Return);
        QCOMPARE(d.txtFind()->text(), QStringLiteral("red"));
        QCOMPARE(d.childTexts(d.root()), QStringList{"rose"});

        QPointer<frmNewCollection> dialog = openFromMenu<frmNewCollection>(d, "mnuDBNewCollection");
        QVERIFY(dialog);
        QCOMPARE(focused(), QStringLiteral("txtName"));
        MainWindowDriver::typeKeys("stamps");
        QTest::mouseClick(in<QPushButton>(dialog, "cmdAdd"), Qt::LeftButton);
        QCOMPARE(d.h.prompter.texts(Prompt::Message), QStringList{"collection : stamps added"});
        const QList<Row> rows = d.h.allRows();
        QVERIFY(std::any_of(rows.begin(), rows.end(),
                            [](const Row& r) { return r.p == kName && r.v == "stamps"; }));
        delete dialog.data();
    }

    void shouldKeepHalfTypedTextWhenComingBackToAWindow() {
        MainWindowDriver d;
        MainWindowDriver::typeKeys("re");
        QPointer<frmNewCollection> dialog = openFromMenu<frmNewCollection>(d, "mnuDBNewCollection");
        QVERIFY(dialog);
        MainWindowDriver::typeKeys("sta");
        // Back to the main window and into the dialog again, as a click on each would.
        d.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.window));
        QCOMPARE(focused(), QStringLiteral("txtFind"));
        MainWindowDriver::typeKeys("d");
        QCOMPARE(d.txtFind()->text(), QStringLiteral("red"));
        d.action("mnuDBNewCollection")->trigger(); // brings the open dialog to the front
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        MainWindowDriver::typeKeys("mps");
        QCOMPARE(in(dialog, "txtName")->text(), QStringLiteral("stamps"));
        delete dialog.data();
    }

    void shouldSelectTheHintWhenABoxIsEnteredByClickOrTab() {
        MainWindowDriver d;
        QPointer<frmNewCollection> collection = openFromMenu<frmNewCollection>(d, "mnuDBNewCollection");
        QVERIFY(collection);
        MainWindowDriver::press(Qt::Key_Tab); // the button
        MainWindowDriver::press(Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("txtDescription"));
        MainWindowDriver::typeKeys("mine");
        clickInto(in(collection, "txtTopic"));
        QCOMPARE(in(collection, "txtTopic")->cursorPosition(), 0);
        MainWindowDriver::typeKeys("post");
        MainWindowDriver::press(Qt::Key_Backtab, Qt::ShiftModifier);
        MainWindowDriver::typeKeys("ours");
        QCOMPARE(in(collection, "txtName")->text(), QStringLiteral("required : e.g. Robert's coins"));
        QCOMPARE(in(collection, "txtTopic")->text(), QStringLiteral("post"));
        QCOMPARE(in(collection, "txtDescription")->text(), QStringLiteral("ours"));
        delete collection.data();

        // The address box starts an address instead; the others select their hints.
        QPointer<frmNewURL> url = openFromMenu<frmNewURL>(d, "mnuDBNewURL");
        QVERIFY(url);
        QCOMPARE(focused(), QStringLiteral("txtURL"));
        MainWindowDriver::typeKeys("example.org");
        MainWindowDriver::press(Qt::Key_Tab);
        MainWindowDriver::typeKeys("Example");
        clickInto(in(url, "txtDescription"));
        MainWindowDriver::typeKeys("sample pages");
        QCOMPARE(in(url, "txtURL")->text(), QStringLiteral("http://www.example.org"));
        QCOMPARE(in(url, "txtName")->text(), QStringLiteral("Example"));
        QCOMPARE(in(url, "txtDescription")->text(), QStringLiteral("sample pages"));
        delete url.data();

        QPointer<frmNewObjectClass> object = openFromMenu<frmNewObjectClass>(d, "mnuDBNewObject");
        QVERIFY(object);
        MainWindowDriver::press(Qt::Key_Tab);
        MainWindowDriver::typeKeys("Emma");
        QCOMPARE(in(object, "txtName")->text(), QStringLiteral("Emma"));
        delete object.data();
    }

    void shouldCloseEveryWindowButTheMainOneWithEsc() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "rose"}, {obj(1), "colour", "red"}});
        d.search("rose");
        d.clickNode(d.nodeWithKey(obj(1)));
        QVERIFY(closedByEsc(openFromMenu<frmNewObjectClass>(d, "mnuDBNewObject")));
        QVERIFY(closedByEsc(openFromMenu<frmNewCollection>(d, "mnuDBNewCollection")));
        QVERIFY(closedByEsc(openFromMenu<frmNewURL>(d, "mnuDBNewURL")));
        QVERIFY(closedByEsc(openFromMenu<frmNewImage>(d, "mnuT1OAddNewImage")));
        QVERIFY(closedByEsc(openFromMenu<frmRichTextNote>(d, "mnuT1OAddNewRichtextNote"))); // from the note box
        QVERIFY(closedByEsc(openFromMenu<frmAbout>(d, "mnuHelpAbout")));
        for (const char* view : {"cmdTableView", "cmdCardView"}) {
            QTest::mouseClick(d.child<QPushButton>(view), Qt::LeftButton);
            QWidget* w = view == std::string_view("cmdTableView") ? static_cast<QWidget*>(d.h.windows.find<frmTableView>())
                                                                  : d.h.windows.find<frmCardView>();
            QVERIFY2(closedByEsc(w), view);
        }

        // Data entry: Esc in New property closes only that; in a cell being edited it gives the
        // edit up; then it closes the window.
        d.doubleClickNode(d.nodeWithKey(obj(1)));
        QPointer<frmDataEntry> entry = d.h.windows.find<frmDataEntry>();
        QVERIFY(entry && QTest::qWaitForWindowActive(entry));
        QTest::mouseClick(in<QPushButton>(entry, "cmdNewPV"), Qt::LeftButton);
        QVERIFY(closedByEsc(d.h.windows.find<frmNewPV>()));
        QVERIFY(entry && !entry->isHidden());
        entry->activateWindow();
        auto grid = in<QTableView>(entry, "DataGrid1");
        const QPoint cell = grid->visualRect(grid->model()->index(0, 2)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTRY_VERIFY(grid->viewport()->isAncestorOf(QApplication::focusWidget()));
        MainWindowDriver::typeKeys("blue");
        MainWindowDriver::press(Qt::Key_Escape);
        QTRY_VERIFY(!grid->viewport()->isAncestorOf(QApplication::focusWidget()));
        QVERIFY(entry && !entry->isHidden());
        QCOMPARE(grid->model()->index(0, 2).data().toString(), QStringLiteral("red"));
        QVERIFY(closedByEsc(entry));

        // Not the main window.
        d.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d.window));
        clickInto(d.txtFind());
        MainWindowDriver::press(Qt::Key_Escape);
        clickInto(d.tree()->viewport());
        MainWindowDriver::press(Qt::Key_Escape);
        QCoreApplication::processEvents();
        QVERIFY(d.window.isVisible());
        QVERIFY(!d.quitCalled);
        QCOMPARE(d.h.allRows().size(), 2); // nothing was stored on the way
    }

    void shouldTabThroughTheMainWindowAndOutOfTheGrid() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "rose"}, {obj(1), "colour", "red"}, {obj(1), "scent", "sweet"}});
        d.search("rose");
        d.clickNode(d.nodeWithKey(obj(1))); // the grid holds rows, so Tab would have cells to visit
        clickInto(d.txtFind());
        const QStringList order = {"cmdFind", "chkWildCardFind", "cmdTreeView", "cmdTableView", "cmdCardView",
                                   "trvDATA", "flxDATA", "cmdFindLinkingObjects", "txtFind"};
        QCOMPARE(visits(Qt::Key_Tab, int(order.size())), order);
        const QStringList back = {"cmdFindLinkingObjects", "flxDATA", "trvDATA", "cmdCardView", "cmdTableView", "cmdTreeView",
                                  "chkWildCardFind", "cmdFind", "txtFind"};
        QCOMPARE(visits(Qt::Key_Backtab, int(back.size()), Qt::ShiftModifier), back);
    }
};

QTEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"
