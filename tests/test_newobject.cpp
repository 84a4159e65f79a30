// The new object or class dialog, driven through its controls against a temporary database.

#include "dialogs/frmnewobjectclass.h"
#include "dialogtest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using namespace olv;
using namespace olv::test;

namespace {

const QString kFirstId = QStringLiteral("OlObj20020103125322"); // the fake clock's second
const QString kBookClass = QStringLiteral("OlObj19990101000001");

struct Dialog {
    Harness h;
    QPointer<frmNewObjectClass> w;
    ~Dialog() { delete w.data(); }

    void open() { w = openWindow<frmNewObjectClass>(h); }
    void close() {
        w->close();
        QTRY_VERIFY(w.isNull()); // closing unloads it
    }
    QComboBox* cmbTOO() const { return child<QComboBox>(w, "cmbTOO"); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(w, name); }
    QLabel* label(const char* name) const { return child<QLabel>(w, name); }
    QCheckBox* chkClass() const { return child<QCheckBox>(w, "chkClass"); }

    void chooseClass(const QString& text) {
        QTest::mouseClick(cmbTOO()->lineEdit(), Qt::LeftButton);
        cmbTOO()->lineEdit()->selectAll();
        if (text.isEmpty())
            QTest::keyClick(cmbTOO()->lineEdit(), Qt::Key_Delete);
        else
            QTest::keyClicks(cmbTOO()->lineEdit(), text);
    }
    void press() { QTest::mouseClick(child<QPushButton>(w, "cmdAddNewObject"), Qt::LeftButton); }
    // The rows written by the dialog: everything after the rows the case started with.
    QList<Row> written(qsizetype before) const { return h.allRows().mid(before); }
};

} // namespace

class TestNewObject : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void layoutAsDesigned();
    void opensWithClassListAndOwner();
    void makesAnObjectOfTheTypedClass();
    void nameChecks();
    void unknownClassIsRefused();
    void makesAClassBelongingToTheClickedObject();
    void pairsNeedBothHalves();
    void twoPressesInOneSecond();
    void ownerIsReadAtLoadAndAtPress();
    void storeFailureIsReported();
};

void TestNewObject::layoutAsDesigned() {
    Dialog d;
    d.open();
    QWidget* w = d.w;
    QCOMPARE(w->windowTitle(), QStringLiteral("Olv :: create New Object / Class"));
    QCOMPARE(w->size(), QSize(tw(5385), tw(3705)));
    QCOMPARE(w->minimumSize(), w->maximumSize()); // a fixed-size frame
    QVERIFY(!(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));

    struct Control {
        const char* name;
        QRect place;
        QString text;
    };
    const QList<Control> controls = {
        {"lblBelongsTo", twRect(120, 120, 855, 255), "BelongsTo"},
        {"lblObjectName", twRect(1080, 120, 4215, 255), "ObjectName"},
        {"chkClass", twRect(720, 600, 1935, 195), "create a new class"},
        {"lblTOO", twRect(120, 900, 495, 255), "Class"},
        {"cmbTOO", twRect(720, 840, 2775, 315), "... select a class"},
        {"lblRequired", twRect(3720, 960, 735, 255), "required"},
        {"lblName", twRect(120, 1350, 495, 255), "Name"},
        {"txtName", twRect(720, 1320, 2775, 285), "... name"},
        {"Label1", twRect(3720, 1320, 735, 255), "required"},
        {"fraProperties", twRect(120, 1800, 5175, 1335), "user definable properties"},
        {"lblProperty", twRect(120, 360, 1695, 255), "property name"},
        {"lblValue", twRect(2520, 360, 2295, 255), "value"},
        {"txtP1", twRect(120, 600, 2055, 285), ""},
        {"lblIS", twRect(2280, 615, 135, 255), "="},
        {"txtV1", twRect(2520, 600, 2535, 285), ""},
        {"txtP2", twRect(120, 960, 2055, 285), ""},
        {"Label2", twRect(2280, 975, 135, 255), "="},
        {"txtV2", twRect(2520, 960, 2535, 285), ""},
        {"cmdAddNewObject", twRect(120, 3240, 2175, 375), "Add New Object / Class"},
    };
    auto frame = child<QGroupBox>(w, "fraProperties");
    for (const Control& c : controls) {
        QWidget* control = child<QWidget>(w, c.name);
        QVERIFY2(control, c.name);
        QCOMPARE(control->geometry(), c.place);
        QVERIFY2(!control->accessibleName().isEmpty(), c.name);
        QString text;
        if (auto l = qobject_cast<QLabel*>(control))
            text = l->text();
        else if (auto b = qobject_cast<QAbstractButton*>(control))
            text = b->text();
        else if (auto e = qobject_cast<QLineEdit*>(control))
            text = e->text();
        else if (auto cb = qobject_cast<QComboBox*>(control))
            text = cb->currentText();
        else if (auto g = qobject_cast<QGroupBox*>(control))
            text = g->title();
        QCOMPARE(text, c.text);
        // Captions fit their designed width.
        if (auto l = qobject_cast<QLabel*>(control))
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), c.name);
    }
    for (const char* inFrame :
         {"lblProperty", "lblValue", "txtP1", "lblIS", "txtV1", "txtP2", "Label2", "txtV2"})
        QCOMPARE(child<QWidget>(w, inFrame)->parentWidget(), frame);
    QVERIFY(child<QFrame>(w, "Line1"));

    QCOMPARE(d.label("lblBelongsTo")->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    QCOMPARE(d.label("lblObjectName")->palette().color(QPalette::WindowText), QColor(Qt::blue));
    QCOMPARE(d.label("lblRequired")->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(d.label("Label1")->palette().color(QPalette::WindowText), QColor(Qt::red));

    QCOMPARE(focusName(), QStringLiteral("cmbTOO"));
    QCOMPARE(tabWalk(w, 8), QStringList({"txtName", "txtP1", "txtV1", "txtP2", "txtV2",
                                         "cmdAddNewObject", "chkClass", "cmbTOO"}));
    screenshot(w, QStringLiteral("frmNewObjectClass"));
}

void TestNewObject::opensWithClassListAndOwner() {
    Dialog d;
    // Two classes share a name; a plain object and a property other than Name do not count.
    d.h.add({{"OlObj19990101000003", "TOO", "OlValClass"},
             {"OlObj19990101000003", "Name", "zebra"},
             {"OlObj19990101000001", "TOO", "OlValClass"},
             {"OlObj19990101000001", "Name", "mango"},
             {"OlObj19990101000002", "TOO", "OlValClass"},
             {"OlObj19990101000002", "Name", "Apple"},
             {"OlObj19990101000004", "Name", "mango"},
             {"OlObj19990101000004", "TOO", "OlValClass"},
             {"OlObj19990101000005", "TOO", "OlObj19990101000001"},
             {"OlObj19990101000005", "Name", "banana"},
             {"OlObj19990101000006", "TOO", "OlValClass"},
             {"OlObj19990101000006", "Topic", "kiwi"}});
    d.open();
    QStringList items;
    for (int i = 0; i < d.cmbTOO()->count(); ++i)
        items << d.cmbTOO()->itemText(i);
    QCOMPARE(items, QStringList({"Apple", "mango", "zebra"}));
    QCOMPARE(d.cmbTOO()->currentText(), QStringLiteral("... select a class"));
    QCOMPARE(d.label("lblObjectName")->text(),
             QStringLiteral("ObjectName")); // no owner handed over

    // Loaded once per opening: a class made meanwhile shows only after closing and reopening.
    d.h.add(
        {{"OlObj19990101000007", "TOO", "OlValClass"}, {"OlObj19990101000007", "Name", "cherry"}});
    QCOMPARE(d.h.windows.open<frmNewObjectClass>([&] { return new frmNewObjectClass(d.h.ctx); }),
             d.w);
    QCOMPARE(d.cmbTOO()->count(), 3);
    d.close();
    d.h.ctx.ownerObjectId = QStringLiteral("OlObj19990101000005");
    d.open();
    QCOMPARE(d.cmbTOO()->count(), 4);
    QCOMPARE(d.cmbTOO()->itemText(1), QStringLiteral("cherry"));
    QCOMPARE(d.label("lblObjectName")->text(), QStringLiteral("banana"));

    // An owner without a name.
    d.close();
    d.h.ctx.ownerObjectId = QStringLiteral("OlObj19990101000006");
    d.open();
    QCOMPARE(d.label("lblObjectName")->text(), QStringLiteral("N/A"));
    QVERIFY(d.h.prompter.shown.isEmpty());
}

void TestNewObject::makesAnObjectOfTheTypedClass() {
    Dialog d;
    d.h.add({{kBookClass, "TOO", "OlValClass"}, {kBookClass, "Name", "book"}});
    d.open();
    // Another letter case still finds the class; the hint in the name box is a name like any.
    d.chooseClass(QStringLiteral("BOOK"));
    d.press();
    QCOMPARE(d.written(2),
             QList<Row>({{kFirstId, "TOO", kBookClass}, {kFirstId, "Name", "... name"}}));
    QVERIFY(d.h.prompter.shown.isEmpty());
    // The dialog stays as it was, ready for the next press.
    QVERIFY(d.w->isVisible());
    QCOMPARE(d.box("txtName")->text(), QStringLiteral("... name"));

    // Picking from the list works the same; the name keeps its blanks.
    d.cmbTOO()->setEditText(QString());
    QTest::keyClick(d.cmbTOO(), Qt::Key_Down);
    QCOMPARE(d.cmbTOO()->currentText(), QStringLiteral("book"));
    retype(d.box("txtName"), QStringLiteral("  Moby Dick  "));
    d.press();
    const QList<Row> rows = d.written(4);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].v, kBookClass);
    QCOMPARE(rows[1].v, QStringLiteral("  Moby Dick  "));
    QVERIFY(rows[0].o > kFirstId);
}

void TestNewObject::nameChecks() {
    Dialog d;
    d.h.add({{kBookClass, "TOO", "OlValClass"}, {kBookClass, "Name", "book"}});
    d.open();
    d.chooseClass(QStringLiteral("book"));
    // Focus selects the hint, so typing replaces it.
    QTest::mouseClick(d.box("txtName"), Qt::LeftButton);
    QTRY_COMPARE(d.box("txtName")->selectedText(), QStringLiteral("... name"));
    QCOMPARE(d.box("txtName")->cursorPosition(), 0);

    for (const QString& blank : {QString(), QStringLiteral("   ")}) {
        retype(d.box("txtName"), blank);
        d.box("txtP1")->setText(QStringLiteral("colour"));
        d.box("txtV1")->setText(QStringLiteral("red"));
        d.press();
        QCOMPARE(d.h.rowCount(), 2);           // nothing written
        QVERIFY(d.h.prompter.shown.isEmpty()); // and nothing said
    }
    // A blank name is refused before the class is looked at.
    d.chooseClass(QStringLiteral("no such class"));
    d.press();
    QVERIFY(d.h.prompter.shown.isEmpty());
}

void TestNewObject::unknownClassIsRefused() {
    Dialog d;
    // A plain object named like a class is no class.
    d.h.add({{"OlObj19990101000001", "TOO", "OlObj19990101000009"},
             {"OlObj19990101000001", "Name", "car"}});
    d.open();
    for (const QString& text :
         {QStringLiteral("... select a class"), QStringLiteral("car"), QString()}) {
        d.chooseClass(text);
        retype(d.box("txtName"), QStringLiteral("Beetle"));
        d.press();
        QCOMPARE(d.h.rowCount(), 2);
        QCOMPARE(d.h.prompter.shown.size(), 1);
        QCOMPARE(d.h.prompter.shown[0].kind, Prompt::Message);
        QCOMPARE(d.h.prompter.shown[0].text, QStringLiteral("problem with class"));
        QCOMPARE(d.h.prompter.shown[0].title, QStringLiteral("Olv"));
        d.h.prompter.shown.clear();
    }
}

void TestNewObject::makesAClassBelongingToTheClickedObject() {
    Dialog d;
    const QString owner = QStringLiteral("OlObj19990101000001");
    d.h.add(owner, "Name", "garage");
    d.h.ctx.ownerObjectId = owner; // as "Add New OBJECT" on the tree hands it over
    d.open();
    QCOMPARE(d.label("lblObjectName")->text(), QStringLiteral("garage"));

    QTest::mouseClick(d.chkClass(), Qt::LeftButton, {}, QPoint(5, d.chkClass()->height() / 2));
    QVERIFY(d.chkClass()->isChecked());
    QVERIFY(!d.cmbTOO()->isEnabled());
    QVERIFY(!d.label("lblTOO")->isEnabled());
    retype(d.box("txtName"), QStringLiteral("vehicle"));
    retype(d.box("txtP1"), QStringLiteral("wheels"));
    retype(d.box("txtV1"), QStringLiteral(" 4 "));
    d.press();
    QCOMPARE(d.written(1), QList<Row>({{kFirstId, "TOO", "OlValClass"},
                                       {kFirstId, "Name", "vehicle"},
                                       {kFirstId, "BelongsTo", owner},
                                       {kFirstId, "wheels", " 4 "}}));
    QVERIFY(d.h.prompter.shown.isEmpty());

    // Unticked, the class box counts again.
    QTest::mouseClick(d.chkClass(), Qt::LeftButton, {}, QPoint(5, d.chkClass()->height() / 2));
    QVERIFY(d.cmbTOO()->isEnabled());
    QVERIFY(d.label("lblTOO")->isEnabled());
    d.chooseClass(QStringLiteral("Vehicle"));
    retype(d.box("txtName"), QStringLiteral("Beetle"));
    d.press();
    const QList<Row> beetle = d.written(5);
    QCOMPARE(beetle.size(), 4);
    QCOMPARE(beetle[0].p, QStringLiteral("TOO"));
    QCOMPARE(beetle[0].v, kFirstId);
    QCOMPARE(beetle[2], Row({beetle[0].o, "BelongsTo", owner}));
}

void TestNewObject::pairsNeedBothHalves() {
    Dialog d;
    d.h.add({{kBookClass, "TOO", "OlValClass"}, {kBookClass, "Name", "book"}});
    d.open();
    d.chooseClass(QStringLiteral("book"));
    retype(d.box("txtName"), QStringLiteral("Emma"));
    struct Case {
        QString p1, v1, p2, v2;
        QList<Row> extra;
    };
    const QList<Case> cases = {
        {"author", "Austen", "", "1815", {{"", "author", "Austen"}}},
        {"  ", "x", "year", "1815", {{"", "year", "1815"}}},
        {"author", " ", "year", "  ", {}},
        // Reserved names are stored as typed.
        {"TOO",
         "OlValClass",
         " Topic ",
         "novels ",
         {{"", "TOO", "OlValClass"}, {"", " Topic ", "novels "}}},
    };
    for (const Case& c : cases) {
        d.box("txtP1")->setText(c.p1);
        d.box("txtV1")->setText(c.v1);
        d.box("txtP2")->setText(c.p2);
        d.box("txtV2")->setText(c.v2);
        const qsizetype before = d.h.rowCount();
        d.press();
        const QList<Row> rows = d.written(before);
        QCOMPARE(rows.size(), 2 + c.extra.size());
        QCOMPARE(rows[1], Row({rows[0].o, "Name", "Emma"}));
        for (qsizetype i = 0; i < c.extra.size(); ++i)
            QCOMPARE(rows[2 + i], Row({rows[0].o, c.extra[i].p, c.extra[i].v}));
    }
}

void TestNewObject::twoPressesInOneSecond() {
    Dialog d;
    d.h.add({{kBookClass, "TOO", "OlValClass"}, {kBookClass, "Name", "book"}});
    d.open();
    d.chooseClass(QStringLiteral("book"));
    d.press();
    d.press();
    const QList<Row> rows = d.written(2);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].o, kFirstId);
    // The second waited for the clock to reach the next second.
    QCOMPARE(rows[2].o, QStringLiteral("OlObj20020103125323"));
    QCOMPARE(rows[3], Row({rows[2].o, "Name", "... name"}));
    QVERIFY(d.h.clock.sleptMs > 0);
}

void TestNewObject::ownerIsReadAtLoadAndAtPress() {
    Dialog d;
    d.h.add({{kBookClass, "TOO", "OlValClass"},
             {kBookClass, "Name", "book"},
             {"OlObj19990101000002", "Name", "shelf"}});
    d.h.ctx.ownerObjectId = QStringLiteral("OlObj19990101000002");
    d.open();
    d.chooseClass(QStringLiteral("book"));
    // The main window hands over another owner while the dialog stays open.
    d.h.ctx.ownerObjectId.clear();
    d.press();
    QCOMPARE(d.label("lblObjectName")->text(), QStringLiteral("shelf"));
    QCOMPARE(d.written(3).size(), 2); // no BelongsTo row
    d.h.ctx.ownerObjectId = QStringLiteral("OlObj19990101000009");
    d.press();
    QCOMPARE(d.written(5).value(2).v, QStringLiteral("OlObj19990101000009"));
}

void TestNewObject::storeFailureIsReported() {
    Dialog d;
    d.h.add({{kBookClass, "TOO", "OlValClass"}, {kBookClass, "Name", "book"}});
    d.open();
    d.chooseClass(QStringLiteral("book"));
    const QString broken = d.h.dir.filePath(QStringLiteral("broken.mdb"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("this is no database, just text that happens to be here");
    file.close();
    d.h.ctx.store.setPath(broken);
    d.press();
    QCOMPARE(d.h.prompter.shown.size(), 1);
    QCOMPARE(d.h.prompter.shown[0].kind, Prompt::Error);
    QVERIFY2(d.h.prompter.shown[0].text.contains(QStringLiteral("broken.mdb")),
             qPrintable(d.h.prompter.shown[0].text));

    // Still usable once the file is right again.
    d.h.ctx.store.setPath(d.h.dir.filePath(QStringLiteral("Olv.mdb")));
    d.press();
    QCOMPARE(d.h.rowCount(), 4);
}

QTEST_MAIN(TestNewObject)
#include "test_newobject.moc"
