// The new URL dialog: layout, the rows it writes, dropped addresses, and the page-title fetch
// against a web server on the loopback address.

#include "dialogs/frmnewurl.h"
#include "dialogtest.h"
#include "pageserver.h"

#include <QLabel>
#include <QMimeData>
#include <QNetworkProxy>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>

using namespace olv;
using namespace olv::test;

namespace {

const QString kFirstId = QStringLiteral("OlObj20020103125322"); // the fake clock's second
const QString kSecondId = QStringLiteral("OlObj20020103125323");
const QString kClassId = QStringLiteral("OlObj19990101000001");
const QString kBefore = QStringLiteral("name before");

struct Dialog {
    Harness h;
    QPointer<frmNewURL> w;
    ~Dialog() { delete w.data(); }

    void open() { w = openWindow<frmNewURL>(h); }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(w, name); }
    QLineEdit* txtURL() const { return box("txtURL"); }
    QLineEdit* txtName() const { return box("txtName"); }
    void press() { QTest::mouseClick(child<QPushButton>(w, "cmdAdd"), Qt::LeftButton); }
    void withClass() { h.add({{kClassId, "TOO", "OlValClass"}, {kClassId, "Name", "url"}}); }
    QList<Row> written(qsizetype before) const { return h.allRows().mid(before); }
    QStringList messages() const { return h.prompter.texts(Prompt::Message); }

    // Types the address and presses Enter; true once the fetch has ended.
    bool fetch(const QString& address) {
        retype(txtURL(), address);
        QSignalSpy finished(w.data(), &frmNewURL::fetchFinished);
        QTest::keyClick(txtURL(), Qt::Key_Return);
        return finished.count() == 1 || finished.wait(5000);
    }
    void drop(QMimeData* data) {
        const QPoint at = txtURL()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(txtURL(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(txtURL(), &drop);
        QVERIFY(drop.isAccepted());
    }
};

QStringList pageFiles() {
    return QDir::temp().entryList({QStringLiteral("olv-page-*")}, QDir::Files);
}

} // namespace

class TestNewURL : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void layoutAsDesigned();
    void staysOnTopAtTheTopLeft();
    void addressBoxStartsAnAddress();
    void addWithHintsLeft();
    void makesTheClassOnFirstUseOnly();
    void refusedNames();
    void blankBoxesAreLeftOut();
    void droppedAddressReplacesTheBox();
    void fetchesTheTitle_data();
    void fetchesTheTitle();
    void titleInTheFirstMegabyteOnly();
    void failedFetchesLeaveTheName();
    void hangingServerTimesOut();
    void onlyWebAddressesAreFetched();
    void fetchedTitleIsFoundBySearch();
    void storeFailureIsReported();

private:
    PageServer m_server;
};

void TestNewURL::initTestCase() {
    prepareApplication();
    // The fetch goes straight to the test server, whatever proxy the machine names.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

    const QByteArray title = "Formula 1 news";
    m_server.serve("/lower",
                   "<html><head><title>" + title + "</title></head><body>x</body></html>");
    m_server.serve("/upper", "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD></HTML>");
    m_server.serve("/mixed", "<Html><Head><TiTlE>" + title + "</tItLe></Head></Html>");
    m_server.serve("/attributes",
                   "<html><head><title lang=\"en\" data-x='1'>" + title + "</title>");
    m_server.serve("/cr", "<html>\r<head>\r<meta charset=utf-8>\r\r<title>" + title +
                              "</title>\r</head>\r");
    m_server.serve("/lf", "<html>\n<head>\n<meta charset=utf-8>\n\n<title>" + title +
                              "</title>\n</head>\n");
    m_server.serve("/crlf",
                   "<html>\r\n<head>\r\n\r\n\r\n<title>" + title + "</title>\r\n</head>\r\n");
    m_server.serve("/split", "<title>\r\n   Formula 1\r\n\tnews\n</title>");
    m_server.serve("/utf8", "<title>Gr\xC3\xBC\xC3\x9F"
                            "e \xE2\x80\x93 F1 \xE2\x82\xAC</title>");
    m_server.serve("/cp1252", "<title>Gr\xFC\xDF"
                              "e \x96 F1 \x80</title>");
    m_server.serve("/entities",
                   "<title>Tom &amp; Jerry &lt;3 &#8211; caf&eacute; &#x27;F1&#39;</title>");
    m_server.serve("/redirect", Page{302, {}, "/lower", true});
    m_server.serve("/notitle", "<html><head></head><body>no title here</body></html>");
    m_server.serve("/missing", Page{404, "<title>Not Found</title>", {}, true});
    m_server.serve("/hang", Page{200, {}, {}, false});
    const QByteArray filler(1024, ' ');
    m_server.serve("/near", filler.repeated(1000) + "<title>" + title + "</title>");
    m_server.serve("/far", filler.repeated(1100) + "<title>" + title + "</title>");
}

void TestNewURL::layoutAsDesigned() {
    Dialog d;
    d.open();
    QWidget* w = d.w;
    QCOMPARE(w->windowTitle(), QStringLiteral("Olv - New URL"));
    QCOMPARE(w->size(), QSize(tw(6300), tw(2490)));
    QVERIFY(w->testAttribute(Qt::WA_DeleteOnClose));

    struct Control {
        const char* name;
        QRect place;
        QString text;
    };
    const QList<Control> controls = {
        {"lblOnTop", twRect(0, 0, 3375, 255), "This form stays on top for browser drag 'n drop"},
        {"lblDragDrop", twRect(1320, 255, 4935, 255),
         "Drag 'n Drop address into URL, then press ENTER to load Title, ..."},
        {"lblURL", twRect(840, 510, 375, 255), "URL"},
        {"txtURL", twRect(1320, 480, 4935, 285), "http://www."}, // focused at opening
        {"lblName", twRect(720, 870, 495, 255), "Name"},
        {"txtName", twRect(1320, 840, 4935, 285), "required"},
        {"lblTopic", twRect(720, 1230, 495, 255), "Topic"},
        {"txtTopic", twRect(1320, 1200, 4935, 285), "e.g. Formula 1"},
        {"lblDescription", twRect(120, 1590, 1095, 255), "Description"},
        {"txtDescription", twRect(1320, 1560, 4935, 285), "e.g. realtime news "},
        {"cmdAdd", twRect(1320, 2040, 1575, 375), "add this URL"},
    };
    for (const Control& c : controls) {
        QWidget* control = child<QWidget>(w, c.name);
        QVERIFY2(control, c.name);
        QCOMPARE(control->geometry(), c.place);
        QVERIFY2(!control->accessibleName().isEmpty(), c.name);
        if (auto l = qobject_cast<QLabel*>(control)) {
            QCOMPARE(l->text(), c.text);
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), c.name);
        } else if (auto b = qobject_cast<QPushButton*>(control)) {
            QCOMPARE(b->text(), c.text);
        } else {
            QCOMPARE(qobject_cast<QLineEdit*>(control)->text(), c.text);
        }
    }
    QCOMPARE(child<QLabel>(w, "lblOnTop")->palette().color(QPalette::WindowText),
             QColor(192, 255, 192));
    QCOMPARE(child<QLabel>(w, "lblName")->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(d.txtName()->palette().color(QPalette::Text), QColor(Qt::red));
    QVERIFY(d.txtURL()->acceptDrops());

    QCOMPARE(focusName(), QStringLiteral("txtURL"));
    QCOMPARE(tabWalk(w, 5),
             QStringList({"txtName", "txtTopic", "txtDescription", "cmdAdd", "txtURL"}));
    // The hint boxes select their text when they get the focus.
    for (const char* name : {"txtName", "txtTopic", "txtDescription"}) {
        QTest::mouseClick(d.box(name), Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_COMPARE(d.box(name)->selectedText(), d.box(name)->text());
        QCOMPARE(d.box(name)->cursorPosition(), 0);
    }
    screenshot(w, QStringLiteral("frmNewURL"));
}

void TestNewURL::staysOnTopAtTheTopLeft() {
    Dialog d;
    d.open();
    QVERIFY(d.w->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(d.w->pos(), d.w->screen()->availableGeometry().topLeft());

    // One instance: asking again brings it forward; after closing, it loads afresh.
    d.txtName()->setText(QStringLiteral("kept"));
    QCOMPARE(openWindow<frmNewURL>(d.h), d.w.data());
    QCOMPARE(d.txtName()->text(), QStringLiteral("kept"));
    d.w->close();
    QTRY_VERIFY(d.w.isNull());
    d.open();
    QCOMPARE(d.txtName()->text(), QStringLiteral("required"));
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://www."));
}

void TestNewURL::addressBoxStartsAnAddress() {
    Dialog d;
    d.open();
    // Focused at opening: the empty box starts an address, caret after it, nothing selected.
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://www."));
    QTRY_COMPARE(d.txtURL()->cursorPosition(), 11);
    QVERIFY(!d.txtURL()->hasSelectedText());
    QTest::keyClicks(d.txtURL(), QStringLiteral("example.org"));
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://www.example.org"));

    // Emptied and entered again by mouse: the start comes back, the caret at its end.
    d.txtURL()->clear();
    QTest::mouseClick(d.txtName(), Qt::LeftButton);
    QTest::mouseClick(d.txtURL(), Qt::LeftButton, {}, QPoint(3, d.txtURL()->height() / 2));
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://www."));
    QTRY_COMPARE(d.txtURL()->cursorPosition(), 11);

    // A box that holds text keeps its text and caret, also when tabbed into.
    d.txtURL()->setText(QStringLiteral("http://a.example/b"));
    d.txtURL()->setCursorPosition(3);
    child<QPushButton>(d.w, "cmdAdd")->setFocus();
    QTest::keyClick(child<QPushButton>(d.w, "cmdAdd"), Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("txtURL"));
    QCoreApplication::processEvents();
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://a.example/b"));
    QCOMPARE(d.txtURL()->cursorPosition(), 3);
    QVERIFY(!d.txtURL()->hasSelectedText());
}

void TestNewURL::addWithHintsLeft() {
    Dialog d;
    d.withClass();
    d.open();
    retype(d.txtName(), QStringLiteral("Ferrari"));
    d.press();
    // The class is found in another letter case; the prefilled address and the hints are stored.
    QCOMPARE(d.written(2), QList<Row>({{kFirstId, "TOO", kClassId},
                                       {kFirstId, "Name", "Ferrari"},
                                       {kFirstId, "URL", "http://www."},
                                       {kFirstId, "Topic", "e.g. Formula 1"},
                                       {kFirstId, "Description", "e.g. realtime news "}}));
    QCOMPARE(d.messages(), QStringList({"URL added"}));
    QCOMPARE(d.h.prompter.shown[0].title, QStringLiteral("Olv"));

    // Pressed again unchanged: a second, separate object with the same texts.
    d.press();
    const QList<Row> again = d.written(7);
    QCOMPARE(again.size(), 5);
    QCOMPARE(again[0].o, kSecondId);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(Row({kFirstId, again[i].p, again[i].v}), d.written(2)[i]);
    QCOMPARE(d.messages().size(), 2);
}

void TestNewURL::makesTheClassOnFirstUseOnly() {
    Dialog d;
    d.open();
    retype(d.txtName(), QStringLiteral("Ferrari"));
    d.press();
    const QList<Row> rows = d.h.allRows();
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows[0], Row({kFirstId, "TOO", "OlValClass"}));
    QCOMPARE(rows[1], Row({kFirstId, "Name", "URL"}));
    // The URL's identifier is a second later than the class's.
    QCOMPARE(rows[2], Row({kSecondId, "TOO", kFirstId}));
    QCOMPARE(rows[3], Row({kSecondId, "Name", "Ferrari"}));

    d.press();
    const QList<Row> more = d.written(7);
    QCOMPARE(more.size(), 5); // no second class
    QCOMPARE(more[0].v, kFirstId);
    QVERIFY(more[0].o > kSecondId);
}

void TestNewURL::refusedNames() {
    Dialog d;
    d.open();
    // The hint left in place: the class is still made, the URL is not, and nothing is said.
    d.press();
    QCOMPARE(d.h.allRows(),
             QList<Row>({{kFirstId, "TOO", "OlValClass"}, {kFirstId, "Name", "URL"}}));
    QVERIFY(d.h.prompter.shown.isEmpty());
    for (const QString& name : {QString(), QStringLiteral("   ")}) {
        retype(d.txtName(), name);
        d.press();
        QCOMPARE(d.h.rowCount(), 2);
        QVERIFY(d.h.prompter.shown.isEmpty());
    }
    // Only the exact hint is refused.
    for (const QString& name :
         {QStringLiteral("Required"), QStringLiteral("required "), QStringLiteral("requireds")}) {
        retype(d.txtName(), name);
        const qsizetype before = d.h.rowCount();
        d.press();
        QCOMPARE(d.written(before).value(1).v, name);
    }
    QCOMPARE(d.messages().size(), 3);
}

void TestNewURL::blankBoxesAreLeftOut() {
    Dialog d;
    d.withClass();
    d.open();
    retype(d.txtName(), QStringLiteral(" F1 "));
    retype(d.txtURL(), QStringLiteral("  "));
    retype(d.box("txtTopic"), QString());
    retype(d.box("txtDescription"), QStringLiteral(" "));
    d.press();
    QCOMPARE(d.written(2), QList<Row>({{kFirstId, "TOO", kClassId}, {kFirstId, "Name", " F1 "}}));

    retype(d.txtURL(), QStringLiteral(" http://127.0.0.1/x?a='1' "));
    d.press();
    QCOMPARE(d.written(4).value(2), Row({kSecondId, "URL", " http://127.0.0.1/x?a='1' "}));
}

void TestNewURL::droppedAddressReplacesTheBox() {
    Dialog d;
    d.open();
    const QSignalSpy finished(d.w.data(), &frmNewURL::fetchFinished);
    d.txtURL()->setText(QStringLiteral("http://www.old.example/"));

    QMimeData text;
    text.setText(QStringLiteral("http://127.0.0.1:1/dropped?q=1"));
    d.drop(&text);
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://127.0.0.1:1/dropped?q=1"));

    QMimeData link;
    link.setUrls({QUrl(QStringLiteral("https://127.0.0.1:1/linked#part"))});
    link.setText(QStringLiteral("the link's words"));
    d.drop(&link);
    QCOMPARE(d.txtURL()->text(), QStringLiteral("https://127.0.0.1:1/linked#part"));

    QMimeData lines;
    lines.setText(QStringLiteral("http://127.0.0.1:1/first\r\nhttp://127.0.0.1:1/second\n"));
    d.drop(&lines);
    QCOMPARE(d.txtURL()->text(), QStringLiteral("http://127.0.0.1:1/first"));

    // A drop only fills the box; Enter loads the title.
    QCOMPARE(finished.count(), 0);
    QVERIFY(!d.w->fetching());
}

void TestNewURL::fetchesTheTitle_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("lower case") << "/lower"
                                << "Formula 1 news";
    QTest::newRow("upper case") << "/upper"
                                << "Formula 1 news";
    QTest::newRow("mixed case") << "/mixed"
                                << "Formula 1 news";
    QTest::newRow("attributes") << "/attributes"
                                << "Formula 1 news";
    QTest::newRow("later line, CR") << "/cr"
                                    << "Formula 1 news";
    QTest::newRow("later line, LF") << "/lf"
                                    << "Formula 1 news";
    QTest::newRow("later line, CRLF") << "/crlf"
                                      << "Formula 1 news";
    QTest::newRow("over several lines") << "/split"
                                        << "Formula 1 news";
    QTest::newRow("UTF-8") << "/utf8" << u"Grüße – F1 €"_qs;
    QTest::newRow("Windows-1252") << "/cp1252" << u"Grüße – F1 €"_qs;
    QTest::newRow("references") << "/entities" << u"Tom & Jerry <3 – café 'F1'"_qs;
    QTest::newRow("redirected") << "/redirect"
                                << "Formula 1 news";
}

void TestNewURL::fetchesTheTitle() {
    QFETCH(QString, path);
    QFETCH(QString, name);
    Dialog d;
    d.open();
    d.txtName()->setText(kBefore);
    const QStringList filesBefore = pageFiles();
    QVERIFY(d.fetch(m_server.url(path)));
    QCOMPARE(d.txtName()->text(), name);
    QVERIFY(!d.w->fetching());
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(pageFiles(), filesBefore); // the temporary page is gone
    // The fetch writes nothing; the address is left as typed.
    QCOMPARE(d.h.rowCount(), 0);
    QCOMPARE(d.txtURL()->text(), m_server.url(path));
}

void TestNewURL::titleInTheFirstMegabyteOnly() {
    Dialog d;
    d.open();
    d.txtName()->setText(kBefore);
    QVERIFY(d.fetch(m_server.url(QStringLiteral("/far"))));
    QCOMPARE(d.txtName()->text(), kBefore);
    QVERIFY(d.fetch(m_server.url(QStringLiteral("/near"))));
    QCOMPARE(d.txtName()->text(), QStringLiteral("Formula 1 news"));
}

void TestNewURL::failedFetchesLeaveTheName() {
    Dialog d;
    d.open();
    d.txtName()->setText(kBefore);
    for (const char* path : {"/notitle", "/missing", "/nowhere"}) {
        const qsizetype asked = m_server.requests.size();
        QVERIFY(d.fetch(m_server.url(QString::fromLatin1(path))));
        QCOMPARE(m_server.requests.size(), asked + 1);
        QCOMPARE(d.txtName()->text(), kBefore);
    }
    // Nobody listening at all.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    QVERIFY(d.fetch(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    QCOMPARE(d.txtName()->text(), kBefore);
    QVERIFY(d.h.prompter.shown.isEmpty());
}

void TestNewURL::hangingServerTimesOut() {
    Dialog d;
    d.h.downloader.setTimeoutMs(500);
    d.open();
    d.txtName()->setText(kBefore);
    const QStringList filesBefore = pageFiles();
    QSignalSpy finished(d.w.data(), &frmNewURL::fetchFinished);
    retype(d.txtURL(), m_server.url(QStringLiteral("/hang")));
    QTest::keyClick(d.txtURL(), Qt::Key_Return);

    // Busy, with the page's file in the temporary folder, yet the window takes input meanwhile.
    QVERIFY(d.w->fetching());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QCOMPARE(pageFiles().size(), filesBefore.size() + 1);
    // A second Enter while loading starts no second fetch.
    QTest::keyClick(d.txtURL(), Qt::Key_Return);
    retype(d.box("txtTopic"), QStringLiteral("typed while loading"));
    QCOMPARE(d.box("txtTopic")->text(), QStringLiteral("typed while loading"));

    QVERIFY(finished.wait(5000));
    QTest::qWait(100);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(d.txtName()->text(), kBefore);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(pageFiles(), filesBefore);
    QVERIFY(d.h.prompter.shown.isEmpty());
}

void TestNewURL::onlyWebAddressesAreFetched() {
    Dialog d;
    d.open();
    d.txtName()->setText(kBefore);
    // A local file with a title would be read if anything but http and https were fetched.
    const QString file = d.h.dir.filePath(QStringLiteral("page.htm"));
    QFile page(file);
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<title>local file</title>");
    page.close();
    const QString port = QString::number(QUrl(m_server.url(QString())).port());
    const qsizetype asked = m_server.requests.size();
    for (const QString& address :
         {QUrl::fromLocalFile(file).toString(), QStringLiteral("127.0.0.1:") + port + "/lower",
          QStringLiteral("localhost:") + port + "/lower", QStringLiteral("http://"),
          QStringLiteral("ftp://127.0.0.1:") + port + "/lower", QString()}) {
        retype(d.txtURL(), address);
        QTest::keyClick(d.txtURL(), Qt::Key_Return);
        QVERIFY2(!d.w->fetching(), qPrintable(address));
    }
    QTest::qWait(200);
    QCOMPARE(m_server.requests.size(), asked);
    QCOMPARE(d.txtName()->text(), kBefore);

    // The address goes out as it stands in the box, query included; the scheme in any case.
    QVERIFY(
        d.fetch(m_server.url(QStringLiteral("/lower?q=a%20b&x='1'")).replace("http:", "HTTP:")));
    QCOMPARE(m_server.requests.constLast(), QByteArray("/lower?q=a%20b&x='1'"));
    QCOMPARE(d.txtName()->text(), QStringLiteral("Formula 1 news"));
}

void TestNewURL::fetchedTitleIsFoundBySearch() {
    Dialog d;
    d.open();
    QVERIFY(d.fetch(m_server.url(QStringLiteral("/entities"))));
    d.press();
    QCOMPARE(d.messages(), QStringList({"URL added"}));
    Database db = d.h.ctx.store.open();
    const QStringList found = db.findObjects(u"Tom & Jerry <3 – café 'F1'"_qs, false);
    QCOMPARE(found, QStringList({kSecondId}));
    QCOMPARE(db.GetPropertyValue(kSecondId, kURL), m_server.url(QStringLiteral("/entities")));
}

void TestNewURL::storeFailureIsReported() {
    Dialog d;
    d.open();
    retype(d.txtName(), QStringLiteral("Ferrari"));
    d.h.ctx.store.setPath(d.h.dir.path()); // a folder, not a database
    d.press();
    QCOMPARE(d.h.prompter.shown.size(), 1);
    QCOMPARE(d.h.prompter.shown[0].kind, Prompt::Error); // and no "URL added"
    QVERIFY(d.w->isVisible());
}

QTEST_MAIN(TestNewURL)
#include "test_newurl.moc"
