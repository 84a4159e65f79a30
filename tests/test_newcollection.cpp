// The new collection dialog, driven through its controls against a temporary database.

#include "dialogs/frmnewcollection.h"
#include "dialogtest.h"

#include <QLabel>
#include <QPushButton>

using namespace olv;
using namespace olv::test;

namespace {

const QString kFirstId = QStringLiteral("OlObj20020103125322"); // the fake clock's second
const QString kSecondId = QStringLiteral("OlObj20020103125323");
const QString kClassId = QStringLiteral("OlObj19990101000001");

struct Dialog {
    Harness h;
    QPointer<frmNewCollection> w;
    ~Dialog() { delete w.data(); }

    void open() { w = openWindow<frmNewCollection>(h); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(w, name); }
    void press() { QTest::mouseClick(child<QPushButton>(w, "cmdAdd"), Qt::LeftButton); }
    void withClass() { h.add({{kClassId, "TOO", "OlValClass"}, {kClassId, "Name", "Collection"}}); }
    QList<Row> written(qsizetype before) const { return h.allRows().mid(before); }
    QStringList messages() const { return h.prompter.texts(Prompt::Message); }
};

} // namespace

class TestNewCollection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { prepareApplication(); }

    void layoutAsDesigned();
    void untouchedHintsWriteNothing();
    void aNameAloneKeepsTheOtherHints();
    void makesTheClassOnFirstUse();
    void clearedBoxesAreLeftOut();
    void requiredPrefixIsRefused_data();
    void requiredPrefixIsRefused();
    void textIsStoredAsTyped();
    void twoPressesMakeTwoCollections();
    void storeFailureIsReported();
};

void TestNewCollection::layoutAsDesigned() {
    Dialog d;
    d.open();
    QWidget* w = d.w;
    QCOMPARE(w->windowTitle(), QStringLiteral("Olv - New Collection"));
    QCOMPARE(w->size(), QSize(tw(6300), tw(1995)));
    QVERIFY(w->minimumSize() != w->maximumSize()); // an ordinary, resizable window
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));

    struct Control {
        const char* name;
        QRect place;
        QString text;
    };
    const QList<Control> controls = {
        {"txtTopic", twRect(1200, 480, 4935, 285), "coin"},
        {"txtDescription", twRect(1200, 840, 4935, 285), "e.g. my dad's collection"},
        {"cmdAdd", twRect(1200, 1560, 1575, 375), "add this collection"},
        {"txtName", twRect(1200, 120, 4935, 285), "required : e.g. Robert's coins"},
        {"lblTopic", twRect(600, 510, 495, 255), "Topic"},
        {"lblDescription", twRect(0, 870, 1095, 255), "Description"},
        {"lblName", twRect(600, 150, 495, 255), "Name"},
    };
    for (const Control& c : controls) {
        QWidget* control = child<QWidget>(w, c.name);
        QVERIFY2(control, c.name);
        QCOMPARE(control->geometry(), c.place);
        QVERIFY2(!control->accessibleName().isEmpty(), c.name);
        if (auto l = qobject_cast<QLabel*>(control))
            QCOMPARE(l->text(), c.text);
        else if (auto b = qobject_cast<QPushButton*>(control))
            QCOMPARE(b->text(), c.text);
        else
            QCOMPARE(qobject_cast<QLineEdit*>(control)->text(), c.text);
    }
    QCOMPARE(d.box("txtName")->palette().color(QPalette::Text), QColor(Qt::red));
    QCOMPARE(child<QLabel>(w, "lblName")->palette().color(QPalette::WindowText), QColor(Qt::red));
    QVERIFY(d.box("txtTopic")->palette().color(QPalette::Text) != QColor(Qt::red));

    // Opens in the name box with its hint selected, so typing replaces it.
    QCOMPARE(focusName(), QStringLiteral("txtName"));
    QTRY_COMPARE(d.box("txtName")->selectedText(), d.box("txtName")->text());
    QCOMPARE(d.box("txtName")->cursorPosition(), 0);
    QCOMPARE(tabWalk(w, 4), QStringList({"cmdAdd", "txtDescription", "txtTopic", "txtName"}));
    // Every hint box selects its text on focus.
    for (const char* name : {"txtTopic", "txtDescription"}) {
        QTest::mouseClick(d.box(name), Qt::LeftButton);
        QTRY_COMPARE(d.box(name)->selectedText(), d.box(name)->text());
    }
    screenshot(w, QStringLiteral("frmNewCollection"));
}

void TestNewCollection::untouchedHintsWriteNothing() {
    Dialog d;
    d.open();
    d.press();
    QCOMPARE(d.h.rowCount(), 0); // not even the class
    QVERIFY(d.h.prompter.shown.isEmpty());
}

void TestNewCollection::aNameAloneKeepsTheOtherHints() {
    Dialog d;
    d.withClass();
    d.open();
    QTRY_VERIFY(d.box("txtName")->hasSelectedText());
    QTest::keyClicks(d.box("txtName"), QStringLiteral("Robert's coins"));
    d.press();
    // The class is found in another letter case; the hints of topic and description are stored.
    QCOMPARE(d.written(2), QList<Row>({{kFirstId, "TOO", kClassId},
                                       {kFirstId, "Name", "Robert's coins"},
                                       {kFirstId, "Topic", "coin"},
                                       {kFirstId, "Description", "e.g. my dad's collection"}}));
    QCOMPARE(d.messages(), QStringList({"collection : Robert's coins added"}));
    QCOMPARE(d.h.prompter.shown[0].title, QStringLiteral("Olv"));
    // The dialog stays as it was.
    QCOMPARE(d.box("txtName")->text(), QStringLiteral("Robert's coins"));
    QVERIFY(d.w->isVisible());
}

void TestNewCollection::makesTheClassOnFirstUse() {
    Dialog d;
    d.open();
    retype(d.box("txtName"), QStringLiteral("stamps"));
    d.press();
    // The class takes the first identifier; the collection waits for the next second.
    QCOMPARE(d.h.allRows(), QList<Row>({{kFirstId, "TOO", "OlValClass"},
                                        {kFirstId, "Name", "collection"},
                                        {kSecondId, "TOO", kFirstId},
                                        {kSecondId, "Name", "stamps"},
                                        {kSecondId, "Topic", "coin"},
                                        {kSecondId, "Description", "e.g. my dad's collection"}}));
    QCOMPARE(d.messages(), QStringList({"collection : stamps added"}));

    // The class is made once only.
    retype(d.box("txtName"), QStringLiteral("shells"));
    d.press();
    const QList<Row> second = d.written(6);
    QCOMPARE(second.size(), 4);
    QCOMPARE(second[0].p, QStringLiteral("TOO"));
    QCOMPARE(second[0].v, kFirstId);
    QVERIFY(second[0].o > kSecondId);
    QCOMPARE(d.h.ctx.store.FindClassId(QStringLiteral("collection")), kFirstId);
}

void TestNewCollection::clearedBoxesAreLeftOut() {
    Dialog d;
    d.withClass();
    d.open();
    retype(d.box("txtName"), QStringLiteral("Robert's coins"));
    retype(d.box("txtTopic"), QString());
    retype(d.box("txtDescription"), QStringLiteral("   "));
    d.press();
    QCOMPARE(d.written(2),
             QList<Row>({{kFirstId, "TOO", kClassId}, {kFirstId, "Name", "Robert's coins"}}));

    // A description without a topic.
    retype(d.box("txtDescription"), QStringLiteral("dad's"));
    d.press();
    const QList<Row> rows = d.written(4);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[2], Row({rows[0].o, "Description", "dad's"}));
}

void TestNewCollection::requiredPrefixIsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exactly required") << "required" << false;
    QTest::newRow("required and more") << "required coins" << false;
    QTest::newRow("required glued") << "requiredcoins" << false;
    QTest::newRow("capital R") << "Required coins" << true;
    QTest::newRow("blank first") << " required" << true;
    QTest::newRow("only blanks") << "    " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("shorter") << "requir" << true;
}

void TestNewCollection::requiredPrefixIsRefused() {
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    Dialog d;
    d.withClass();
    d.open();
    retype(d.box("txtName"), name);
    d.press();
    if (!accepted) {
        QCOMPARE(d.h.rowCount(), 2);
        QVERIFY(d.h.prompter.shown.isEmpty());
        return;
    }
    QCOMPARE(d.written(2).value(1), Row({kFirstId, "Name", name})); // stored with its blanks
    QCOMPARE(d.messages(), QStringList({"collection : " + name + " added"}));
}

void TestNewCollection::textIsStoredAsTyped() {
    Dialog d;
    d.withClass();
    d.open();
    const QString name = QStringLiteral("O'Brien's \"best\" [coins]; DROP TABLE DATA; --");
    retype(d.box("txtName"), name);
    retype(d.box("txtTopic"), QStringLiteral(" 'old' coins "));
    retype(d.box("txtDescription"), QStringLiteral("50% * ? _ #"));
    d.press();
    QCOMPARE(d.written(2), QList<Row>({{kFirstId, "TOO", kClassId},
                                       {kFirstId, "Name", name},
                                       {kFirstId, "Topic", " 'old' coins "},
                                       {kFirstId, "Description", "50% * ? _ #"}}));
    QCOMPARE(d.messages(), QStringList({"collection : " + name + " added"}));
}

void TestNewCollection::twoPressesMakeTwoCollections() {
    Dialog d;
    d.withClass();
    d.open();
    retype(d.box("txtName"), QStringLiteral("coins"));
    d.press();
    d.press();
    const QList<Row> rows = d.written(2);
    QCOMPARE(rows.size(), 8);
    QCOMPARE(rows[0].o, kFirstId);
    QCOMPARE(rows[4].o, kSecondId);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(rows[4 + i].p, rows[i].p);
        QCOMPARE(rows[4 + i].v, rows[i].v);
    }
    QCOMPARE(d.messages().size(), 2);
}

void TestNewCollection::storeFailureIsReported() {
    Dialog d;
    d.open();
    retype(d.box("txtName"), QStringLiteral("coins"));
    d.h.ctx.store.setPath(d.h.dir.filePath(QStringLiteral("no/such/folder/Olv.mdb")));
    d.press();
    QCOMPARE(d.h.prompter.shown.size(), 1);
    QCOMPARE(d.h.prompter.shown[0].kind, Prompt::Error); // and no "added"
    QVERIFY(d.h.prompter.shown[0].text.contains(QStringLiteral("no/such/folder")));
    QVERIFY(d.w->isVisible());
}

QTEST_MAIN(TestNewCollection)
#include "test_newcollection.moc"
