// Every caption fits its designed place in every window, and screen readers get the captions as
// shown. With OLV_SCREENSHOTS set to a folder, the windows are also saved there as pictures to
// look at.

#include "about/frmabout.h"
#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewimage.h"
#include "dialogs/frmrichtextnote.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"
#include "driver.h"
#include "files.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"
#include "editing/frmdataentry.h"
#include "editing/frmnewpv.h"
#include "history/frmhistory.h"
#include "history/frmhistorysize.h"
#include "history/frmrecentlydeleted.h"
#include "text/rtf.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QPainter>
#include <QTextEdit>
#include <QTextDocument>
#include <QTextCursor>

using namespace olv;
using namespace olv::test;

namespace {

// The captions of a window's labels and buttons that do not fit their control, or that fit only
// because they were set in a smaller font than designed.
QStringList clipped(QWidget* window) {
    QStringList bad;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        auto label = qobject_cast<QLabel*>(w);
        auto button = qobject_cast<QAbstractButton*>(w);
        const QString text = QString(label ? label->text() : button ? button->text() : QString()).remove('&');
        // A check box's caption sits beside its box.
        const int room = w->width() - (w->inherits("QCheckBox") ? 20 : button ? 4 : 0);
        const QFontMetrics metrics(w->font());
        // A label that wraps its words needs the height of its lines.
        const bool fits = label && label->wordWrap()
                              ? metrics.boundingRect(QRect(0, 0, room, 100000), Qt::TextWordWrap, text).height() <= w->height()
                              : metrics.horizontalAdvance(text) <= room && metrics.height() <= w->height();
        if (w->isVisibleTo(window) && !text.isEmpty() && !fits)
            bad << w->objectName() + QStringLiteral(": ") + text;
        if (const QVariant from = w->property("shrunkFrom"); from.isValid() && w->isVisibleTo(window))
            bad << QStringLiteral("%1: shrunk from %2 to %3 pt").arg(w->objectName()).arg(from.toDouble()).arg(w->font().pointSizeF());
    }
    return bad;
}

void check(QWidget* window, const QString& name) {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QStringList bad = clipped(window);
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(QStringLiteral("; "))));
    screenshot(window, name);
}

QString spoken(QAccessibleInterface* i) { return i ? i->text(QAccessible::Name) : QString(); }
QString spoken(QObject* o) { return spoken(QAccessible::queryAccessibleInterface(o)); }

// The window's controls that screen readers get under another name than the caption they show,
// or under no name at all.
QStringList misnamed(QWidget* window) {
    QStringList bad;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        QString shown;
        if (auto label = qobject_cast<QLabel*>(w)) shown = label->text();
        else if (auto button = qobject_cast<QAbstractButton*>(w)) shown = button->text();
        else if (auto frame = qobject_cast<QGroupBox*>(w)) shown = frame->title();
        else if (auto menu = qobject_cast<QMenu*>(w)) shown = menu->title();
        else if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QComboBox*>(w) &&
                 !qobject_cast<QTextEdit*>(w) && !w->inherits("QTreeView") && !w->inherits("QTableView"))
            continue;
        if (w->objectName().isEmpty() || w->objectName().startsWith("qt_")) continue; // Qt's own parts
        shown.remove('&');
        if (shown.isEmpty() ? spoken(w).isEmpty() : spoken(w) != shown)
            bad << w->objectName() + QStringLiteral(": ") + spoken(w);
    }
    return bad;
}

// A menu's items as shown, and as screen readers list them; separators as "-".
QStringList shownItems(QWidget* menu) {
    QStringList items;
    for (QAction* a : menu->actions()) items << (a->isSeparator() ? "-" : QString(a->text()).remove('&'));
    return items;
}
QStringList spokenItems(QWidget* menu) {
    QStringList items;
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(menu);
    for (int c = 0; c < i->childCount(); ++c)
        items << (i->child(c)->role() == QAccessible::Separator ? "-" : spoken(i->child(c)));
    return items;
}

void checkDialog(QWidget* dialog) {
    QVERIFY(dialog);
    QAccessibleInterface* i = QAccessible::queryAccessibleInterface(dialog);
    QCOMPARE(i->role(), QAccessible::Dialog);
    QCOMPARE(spoken(i), dialog->windowTitle());
    QCOMPARE(misnamed(dialog), QStringList());
}

// A picture and a formatted note in the test's folder, for the previews; empty names on failure.
std::pair<QString, QString> fernFiles(const Harness& h) {
    QImage picture(320, 200, QImage::Format_RGB32);
    QPainter paint(&picture);
    paint.fillRect(picture.rect(), QColor(70, 130, 60));
    paint.setBrush(QColor(200, 220, 120));
    paint.drawEllipse(QPoint(160, 100), 110, 60);
    paint.end();
    const QString photo = h.dir.filePath("fern.jpg"), note = h.dir.filePath("Olv.mdb.fern.rtf");
    QTextDocument text;
    QTextCursor at(&text);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    at.insertText("Fern, ", bold);
    at.insertText("a plant of shady woods.\nIt grows from spores.", QTextCharFormat());
    const bool made = picture.save(photo, "JPG") && writeBytes(note, rtf::write(text));
    return made ? std::pair{photo, note} : std::pair<QString, QString>{};
}

} // namespace

class CaptionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldFitEveryCaption() {
        MainWindowDriver d;
        d.h.add({{obj(1), kTOO, kClassValue}, {obj(1), kName, "Plant"}, {obj(2), kTOO, obj(1)},
                 {obj(2), kName, "Fern"}, {obj(2), "colour", "green"}});
        d.search("Fern");
        d.clickNode(d.nodeWithKey(obj(2)));
        check(&d.window, "frmOlv");
        d.window.treeMenu()->popup(d.window.mapToGlobal(QPoint(40, 150)));
        check(d.window.treeMenu(), "mnuT1O");
        frmNewObjectClass newObject(d.h.ctx);
        frmNewCollection newCollection(d.h.ctx);
        frmNewURL newUrl(d.h.ctx);
        for (QWidget* w : std::initializer_list<QWidget*>{&newObject, &newCollection, &newUrl})
            check(w, w->objectName());

        // The views and the About box, as the main window opens them.
        QTest::mouseClick(d.child<QPushButton>("cmdTableView"), Qt::LeftButton);
        QTRY_VERIFY(d.h.windows.find<frmTableView>());
        check(d.h.windows.find<frmTableView>(), "frmTableView");
        d.h.ctx.windows->open<frmAbout>([&] { return new frmAbout(d.h.ctx); });
        check(d.h.windows.find<frmAbout>(), "frmAbout");
        QCOMPARE(misnamed(d.h.windows.find<frmAbout>()), QStringList());
        QCOMPARE(misnamed(d.h.windows.find<frmTableView>()), QStringList());
        d.h.windows.unloadAllBut(&d.window);
    }

    void shouldFitTheEditingWindows() {
        MainWindowDriver d;
        d.h.add({{obj(2), kName, "Fern"}, {obj(2), "colour", "green"}, {obj(2), "it's", "a long value that runs on"}});
        d.search("Fern");
        d.doubleClickNode(d.nodeWithKey(obj(2)));
        auto entry = d.h.windows.find<frmDataEntry>();
        QVERIFY(entry);
        check(entry, "frmDataEntry");
        checkDialog(entry);
        QTest::mouseClick(entry->findChild<QAbstractButton*>("cmdNewPV"), Qt::LeftButton);
        auto newPV = d.h.windows.find<frmNewPV>();
        QVERIFY(newPV);
        check(newPV, "frmNewPV");
        checkDialog(newPV);
        d.h.windows.unloadAllBut(&d.window);
    }

    void shouldFitTheHistoryWindows() {
        MainWindowDriver d;
        d.h.add({{obj(2), kName, "Fern"}, {obj(2), "colour", "green"}, {obj(3), kName, "Moss"}});
        Database db = d.h.ctx.store.open();
        QVERIFY(db.step("delete object Moss").removeObject(obj(3), db.storedRowsOf(obj(3))));
        d.search("Fern");
        d.clickNode(d.nodeWithKey(obj(2)));
        d.action("mnuT1OHistory")->trigger();
        d.action("mnuEditRecentlyDeleted")->trigger();
        d.action("mnuDBHistorySize")->trigger();
        for (QWidget* w : std::initializer_list<QWidget*>{d.h.windows.find<frmHistory>(), d.h.windows.find<frmRecentlyDeleted>(),
                                                          d.h.windows.find<frmHistorySize>()}) {
            QVERIFY(w);
            check(w, w->objectName());
            checkDialog(w);
        }
        d.h.windows.unloadAllBut(&d.window);
    }

    void shouldFitTheLinkDialogsAndPreviews() {
        MainWindowDriver d;
        const auto [photo, note] = fernFiles(d.h);
        QVERIFY(!photo.isEmpty() && !note.isEmpty());
        d.h.add({{obj(2), kName, "Fern"}, {obj(2), "photo", photo}, {obj(2), "note", note}});
        d.search("Fern");
        d.clickNode(d.nodeWithKey(obj(2)));
        d.clickGridRow(2);
        check(&d.window, "frmOlv-picture");
        d.clickGridRow(3);
        QTRY_VERIFY(d.child<QTextEdit>("rtbNote")->toPlainText().startsWith("Fern, a plant"));
        check(&d.window, "frmOlv-note");

        d.action("mnuT1OAddNewImage")->trigger();
        auto image = d.h.windows.find<frmNewImage>();
        QVERIFY(image);
        d.h.prompter.fileAnswers << photo;
        QTest::mouseClick(image->findChild<QAbstractButton*>("cmdOpen"), Qt::LeftButton);
        check(image, "frmNewImage");
        checkDialog(image);
        d.action("mnuT1OAddNewRichtextNote")->trigger();
        auto noteDialog = d.h.windows.find<frmRichTextNote>();
        QVERIFY(noteDialog);
        check(noteDialog, "frmRichTextNote");
        checkDialog(noteDialog);
        d.h.windows.unloadAllBut(&d.window);
    }

    void shouldFitTheViewsAtTheirDesignedSizeAndMaximised() {
        MainWindowDriver d;
        const auto [photo, note] = fernFiles(d.h);
        QVERIFY(!photo.isEmpty() && !note.isEmpty());
        d.h.add({{obj(1), kTOO, kClassValue}, {obj(1), kName, "Plant"}, {obj(2), kTOO, obj(1)},
                 {obj(2), kName, "Fern"}, {obj(2), "colour", "green"}, {obj(2), "photo", photo},
                 {obj(2), "note", note}, {obj(3), kTOO, obj(1)}, {obj(3), kName, "Maidenhair fern"},
                 {obj(3), "BelongsTo", obj(4)}, {obj(3), "height", "30 cm"}, {obj(4), kName, "Fern corner"},
                 {obj(4), "place", "north window, out of the sun"}, {obj(5), kName, u"Farn (Blätter grün)"_qs}});
        d.search("Fern", true);
        QTest::mouseClick(d.child<QPushButton>("cmdTableView"), Qt::LeftButton);
        QTRY_VERIFY(d.h.windows.find<frmTableView>());
        check(d.h.windows.find<frmTableView>(), "frmTableView-csv");
        QTest::mouseClick(d.child<QPushButton>("cmdCardView"), Qt::LeftButton);
        QTRY_VERIFY(d.h.windows.find<frmCardView>());
        auto cards = static_cast<const CardModel*>(d.h.windows.find<frmCardView>()->cards()->model());
        (void)cards->face(0);
        QTRY_VERIFY(!cards->face(0).thumbnail.isNull());
        check(d.h.windows.find<frmCardView>(), "frmCardView");
        QCOMPARE(misnamed(d.h.windows.find<frmCardView>()), QStringList());
        for (QWidget* view : {static_cast<QWidget*>(d.h.windows.find<frmCardView>()),
                              static_cast<QWidget*>(d.h.windows.find<frmTableView>())}) {
            const int designed = view->width();
            view->showMaximized();
            QTRY_VERIFY(view->width() > designed + 100);
            check(view, view->objectName() + "-maximised");
        }
        d.h.windows.unloadAllBut(&d.window);
        d.clickNode(d.nodeWithKey(obj(2)));
        d.clickGridRow(3);
        d.window.showMaximized();
        QTRY_VERIFY(d.window.width() > tw(9345) + 100);
        check(&d.window, "frmOlv-maximised");
    }

    void shouldGiveScreenReadersTheShownCaptions() {
        MainWindowDriver d;
        d.h.add({{obj(1), kTOO, kClassValue}, {obj(1), kName, "Plant"}, {obj(2), kTOO, obj(1)},
                 {obj(2), kName, "Fern"}});
        QAccessibleInterface* main = QAccessible::queryAccessibleInterface(&d.window);
        QCOMPARE(main->role(), QAccessible::Window);
        QCOMPARE(spoken(main), d.window.windowTitle());
        QCOMPARE(misnamed(&d.window), QStringList());
        for (QWidget* menu : d.window.findChildren<QMenu*>()) QCOMPARE(spokenItems(menu), shownItems(menu));
        QCOMPARE(spokenItems(d.window.menuBar()), shownItems(d.window.menuBar()));

        // The frame's caption follows the node clicked.
        d.search("Fern");
        d.clickNode(d.nodeWithKey(obj(2)));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        QCOMPARE(spoken(d.child<QGroupBox>("fraDATA")), d.frameCaption());

        // The tree's menu is one of the application's windows while it is open.
        QMenu* menu = d.window.treeMenu();
        d.clickNode(d.nodeWithKey(obj(2)), Qt::RightButton);
        QTRY_VERIFY(menu->isVisible());
        QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
        QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(menu);
        QVERIFY(app->indexOfChild(popup) >= 0);
        QCOMPARE(app->child(app->indexOfChild(popup)), popup);
        QCOMPARE(popup->parent(), app);
        QCOMPARE(popup->role(), QAccessible::PopupMenu);
        QCOMPARE(spoken(popup), QStringLiteral("Tree1Object"));
        QCOMPARE(spokenItems(menu), shownItems(menu));
        QCOMPARE(popup->child(0)->parent(), popup);

        // Its last item opens the new object dialog; the owner's name shows, and is spoken.
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().last()).center());
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(app->indexOfChild(popup), -1);
        auto newObject = d.h.windows.find<frmNewObjectClass>();
        QVERIFY(newObject);
        checkDialog(newObject);
        auto owner = newObject->findChild<QLabel*>("lblObjectName");
        QCOMPARE(owner->text(), QStringLiteral("Fern"));
        QCOMPARE(spoken(owner), owner->text());
        delete newObject;

        d.action("mnuDBNewCollection")->trigger();
        checkDialog(d.h.windows.find<frmNewCollection>());
        d.action("mnuDBNewURL")->trigger();
        checkDialog(d.h.windows.find<frmNewURL>());
        for (QWidget* w : d.h.windows.windows())
            if (w != &d.window) delete w;
    }
};

QTEST_MAIN(CaptionTest)
#include "test_captions.moc"
