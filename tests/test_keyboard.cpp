// The keyboard as a user meets it: typing straight into a window that has just opened, boxes that
// select their hints on the way in but keep half-typed text, and Tab through the main window.

#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"
#include "driver.h"

#include <QPushButton>
#include <algorithm>

using namespace olv;
using namespace olv::test;

namespace {

QString focused() {
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

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
