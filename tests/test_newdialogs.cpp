// The creation dialogs (new object or class, collection, URL), driven through their controls
// against a temporary database; the URL's page title fetched from a server on the loopback
// address (the reader itself is checked in test_pagetitle).

#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"
#include "harness.h"
#include "input.h"
#include "files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QNetworkProxy>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace olv;
using namespace olv::test;

namespace {

const QString kFirstId = QStringLiteral("OlObj20020103125322"); // the fake clock's second
const QString kSecondId = QStringLiteral("OlObj20020103125323");
const QString kBook = QStringLiteral("OlObj19990101000001");
// The class "book", and a book named "car" that is no class.
const QList<Row> kBooks = {{kBook, "TOO", "OlValClass"},
                           {kBook, "Name", "book"},
                           {"OlObj19990101000002", "TOO", kBook},
                           {"OlObj19990101000002", "Name", "car"}};

// Opens dialog W on a temporary database, with rows in the file and owner handed over first.
template <class W> struct Dialog {
    Harness h;
    QPointer<W> w;
    qsizetype seeded;

    explicit Dialog(const QList<Row>& rows = {}, const QString& owner = {}) : seeded(rows.size()) {
        h.add(rows);
        h.ctx.ownerObjectId = owner;
        w = h.windows.open<W>([this] { return new W(h.ctx); });
        // Generous: the opening focus fills boxes, and a busy machine may be slow to give it.
        if (!QTest::qWaitForWindowActive(w, 30000)) qWarning("window did not become active");
    }
    ~Dialog() { delete w.data(); }

    template <class T = QLineEdit> T* get(const char* name) const {
        return w->template findChild<T*>(name);
    }
    // Clicks into the box, deletes what it holds (Ctrl+A, as the box may have had the focus
    // already) and types text; the keys go where the focus is, as from the keyboard.
    static void type(QLineEdit* box, const QString& text) { test::typeInto(box, text); }
    void type(const char* name, const QString& text) { type(get(name), text); }
    void press(const char* button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    // The rows the dialog wrote, and what it said in message and error boxes.
    QList<Row> added() const { return h.allRows().mid(seeded); }
    QStringList said() const {
        return h.prompter.texts(Prompt::Message) + h.prompter.texts(Prompt::Error);
    }
};

// Serves pages by path on 127.0.0.1 only; unknown paths get a 404, "/hang" never an answer.
struct PageServer : QTcpServer {
    QHash<QByteArray, QByteArray> pages;
    QHash<QByteArray, QByteArray> types; // Content-Type by path, "text/html" when not given
    PageServer() {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, s, [this, s] { answer(s); });
        });
    }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
    void answer(QTcpSocket* s) {
        const QByteArray request = s->property("request").toByteArray() + s->readAll();
        s->setProperty("request", request);
        if (!request.contains("\r\n\r\n")) return; // the headers are not all in yet
        const QByteArray path = request.split(' ').value(1);
        if (path == "/hang") return;
        const bool found = pages.contains(path);
        const QByteArray body = found ? pages[path] : "<title>Not Found</title>";
        s->write(QByteArray(found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                 "\r\nContent-Type: " + types.value(path, "text/html") +
                 "\r\nConnection: close\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\n\r\n" + body);
        s->disconnectFromHost();
    }
};

} // namespace

class TestNewDialogs : public QObject {
    Q_OBJECT
    PageServer m_server;
    QTemporaryDir m_dir;
private slots:
    void initTestCase();
    void objectPress_data();
    void objectPress();
    void objectClassListAndOwner();
    void objectTickedClassBelongsToTheOwner();
    void objectTwoPressesInOneSecond();
    void collectionMakesItsClassOnFirstUse();
    void collectionName_data();
    void collectionName();
    void urlFetchesTheTitle_data();
    void urlFetchesTheTitle();
    void urlMakesItsClassOnFirstUse();
    void urlStaysOnTopAndTakesDrops();
};

void TestNewDialogs::initTestCase() {
    prepareApplication();
    // Straight to the test server, whatever proxy the machine names.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestNewDialogs::objectPress_data() {
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("pairs"); // P1, V1, P2, V2
    QTest::addColumn<QStringList>("written");
    QTest::addColumn<QStringList>("said");
    auto row = [](const char* tag, const QString& cls, const QString& name, QStringList pairs,
                  QStringList written, QStringList said = {}) {
        QTest::newRow(tag) << cls << name << pairs << written << said;
    };
    const QString too = "TOO|" + kBook;
    row("empty name", "book", "", {"colour", "red"}, {});
    row("blank name, refused before the class", "nothing", "   ", {}, {});
    row("hint left as name", "book", "... name", {}, {too, "Name|... name"});
    row("blanks kept", "book", "  Moby Dick  ", {}, {too, "Name|  Moby Dick  "});
    row("class in another case", "BoOK", "Emma", {}, {too, "Name|Emma"});
    row("object that is no class", "car", "Beetle", {}, {}, {"problem with class"});
    row("class hint left", "... select a class", "Beetle", {}, {}, {"problem with class"});
    row("half-blank pair dropped", "book", "Emma", {"author", " ", " Topic ", "novels "},
        {too, "Name|Emma", " Topic |novels "});
    row("pairs as typed", "book", "Emma", {"TOO", "x", "year", "1815"},
        {too, "Name|Emma", "TOO|x", "year|1815"});
}

void TestNewDialogs::objectPress() {
    QFETCH(QString, cls);
    QFETCH(QString, name);
    QFETCH(QStringList, pairs);
    QFETCH(QStringList, written);
    QFETCH(QStringList, said);
    Dialog<frmNewObjectClass> d(kBooks);
    QLineEdit* classBox = d.get<QComboBox>("cmbTOO")->lineEdit();
    if (classBox->text() != cls) d.type(classBox, cls); // a hint is left as it stands
    if (d.get("txtName")->text() != name) d.type("txtName", name);
    const char* pairBoxes[] = {"txtP1", "txtV1", "txtP2", "txtV2"};
    for (int i = 0; i < pairs.size(); ++i)
        d.type(pairBoxes[i], pairs[i]);
    d.press("cmdAddNewObject");
    QStringList rows;
    for (const Row& r : d.added()) {
        QCOMPARE(r.o, kFirstId);
        rows << r.p + '|' + r.v;
    }
    QCOMPARE(rows, written);
    QCOMPARE(d.said(), said);
}

void TestNewDialogs::objectClassListAndOwner() {
    // Two classes share a name, one has none, and an apple named banana is no class.
    QList<Row> rows = {{"OlObj19990101000009", "TOO", "OlValClass"}};
    int n = 0;
    for (const QString& name : QStringList{"zebra", "Mango", "Mango", "apple", "banana"}) {
        const QString id = QStringLiteral("OlObj1999010100000%1").arg(++n);
        rows << Row{id, "TOO", name == u"banana" ? "OlObj19990101000004" : "OlValClass"}
             << Row{id, "Name", name};
    }
    Dialog<frmNewObjectClass> d(rows, "OlObj19990101000005");
    auto classes = d.get<QComboBox>("cmbTOO");
    QStringList items;
    for (int i = 0; i < classes->count(); ++i)
        items << classes->itemText(i);
    QCOMPARE(items, QStringList({"apple", "Mango", "zebra"})); // distinct, sorted in any case
    QCOMPARE(d.get<QLabel>("lblObjectName")->text(), QStringLiteral("banana"));
}

void TestNewDialogs::objectTickedClassBelongsToTheOwner() {
    const QString owner = QStringLiteral("OlObj19990101000009");
    Dialog<frmNewObjectClass> d({{owner, "Topic", "an owner without a name"}}, owner);
    QCOMPARE(d.get<QLabel>("lblObjectName")->text(), QStringLiteral("N/A"));
    auto tick = d.get<QCheckBox>("chkClass");
    QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(5, tick->height() / 2));
    QVERIFY(!d.get<QComboBox>("cmbTOO")->isEnabled());
    d.type("txtName", "vehicle");
    d.type("txtP1", "wheels");
    d.type("txtV1", " 4 ");
    d.press("cmdAddNewObject");
    QCOMPARE(d.added(), QList<Row>({{kFirstId, "TOO", "OlValClass"},
                                    {kFirstId, "Name", "vehicle"},
                                    {kFirstId, "BelongsTo", owner},
                                    {kFirstId, "wheels", " 4 "}}));
    QVERIFY(d.said().isEmpty());
}

void TestNewDialogs::objectTwoPressesInOneSecond() {
    Dialog<frmNewObjectClass> d(kBooks);
    d.type(d.get<QComboBox>("cmbTOO")->lineEdit(), "book");
    d.press("cmdAddNewObject");
    d.press("cmdAddNewObject"); // the fake clock stands still unless the dialog waits
    QCOMPARE(d.added(), QList<Row>({{kFirstId, "TOO", kBook},
                                    {kFirstId, "Name", "... name"},
                                    {kSecondId, "TOO", kBook},
                                    {kSecondId, "Name", "... name"}}));
}

void TestNewDialogs::collectionMakesItsClassOnFirstUse() {
    Dialog<frmNewCollection> d;
    d.press("cmdAdd"); // every hint untouched: nothing is written, not even the class
    QVERIFY(d.said().isEmpty());
    d.type("txtName", "stamps");
    d.press("cmdAdd");
    // The class takes the identifier first made; the collection waits for the next second.
    QCOMPARE(d.h.allRows(), QList<Row>({{kFirstId, "TOO", "OlValClass"},
                                        {kFirstId, "Name", "collection"},
                                        {kSecondId, "TOO", kFirstId},
                                        {kSecondId, "Name", "stamps"},
                                        {kSecondId, "Topic", "coin"},
                                        {kSecondId, "Description", "e.g. my dad's collection"}}));
    QCOMPARE(d.said(), QStringList{"collection : stamps added"});
    d.press("cmdAdd");
    const QList<Row> again = d.h.allRows().mid(6);
    QCOMPARE(again.size(), 4); // no second class
    QCOMPARE(again[0], Row({again[0].o, "TOO", kFirstId}));
}

void TestNewDialogs::collectionName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("stored");
    auto row = [](const char* tag, const QString& name, bool stored) {
        QTest::newRow(tag) << name << stored;
    };
    row("exactly required", "required", false);
    row("required and more", "required coins", false);
    row("required glued", "requiredcoins", false);
    row("capital R", "Required coins", true);
    row("leading blank", " required", true);
    row("empty", "", false);
    row("only blanks", "   ", false);
    row("quotes", "O'Brien's \"best\" [coins]; --", true);
}

void TestNewDialogs::collectionName() {
    QFETCH(QString, name);
    QFETCH(bool, stored);
    Dialog<frmNewCollection> d;
    d.type("txtName", name);
    d.press("cmdAdd");
    QCOMPARE(d.h.allRows().value(3), stored ? Row({kSecondId, "Name", name}) : Row());
    QCOMPARE(d.said(), stored ? QStringList{"collection : " + name + " added"} : QStringList());
}

void TestNewDialogs::urlFetchesTheTitle_data() {
    QTest::addColumn<QString>("address"); // HOST stands for the test server
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contentType");
    auto row = [](const char* tag, const QByteArray& page, const QString& name,
                  const QString& address = "http://HOST/page",
                  const QByteArray& contentType = "text/html") {
        QTest::newRow(tag) << address << page << name << contentType;
    };
    const QString news = "Formula 1 news";
    row("lower case", "<html><head><title>Formula 1 news</title></head>", news);
    row("upper case", "<HTML><HEAD><TITLE>Formula 1 news</TITLE></HEAD>", news);
    row("mixed case", "<Html><tItLe>Formula 1 news</TiTlE>", news);
    row("attributes", "<title lang=\"en\" data-x='1'>Formula 1 news</title>", news);
    row("later line, CR", "<html>\r<head>\r\r<title>Formula 1 news</title>\r", news);
    row("later line, LF", "<html>\n<head>\n\n<title>Formula 1 news</title>\n", news);
    row("later line, CRLF", "<html>\r\n<head>\r\n\r\n<title>Formula 1\r\nnews</title>", news);
    row("UTF-8", "<title>Gr\xC3\xBC\xC3\x9F \xE2\x80\x93 \xE2\x82\xAC</title>", u"Grüß – €"_qs);
    row("Windows-1252", "<title>Gr\xFC\xDF \x96 \x80</title>", u"Grüß – €"_qs);
    row("entities", "<title>Tom &amp; Jerry &lt;3 &#8211; caf&eacute;</title>",
        u"Tom & Jerry <3 – café"_qs);
    // Shift_JIS bytes: the server's charset outranks the page's own wrong one.
    row("header charset",
        "<meta charset=\"iso-8859-1\">"
        "<title>\x93\xFA\x96\x7B\x83\x6A\x83\x85\x81\x5B\x83\x58</title>",
        u"日本ニュース"_qs, "http://HOST/page", "text/html; charset=Shift_JIS");
    // Failures leave the name box as it was.
    row("no title", "<html><body>no title</body></html>", "required");
    row("404", "", "required", "http://HOST/missing");
    row("never answers", "", "required", "http://HOST/hang");
    // A local page with a title, read if anything but http and https were fetched.
    const QString local = m_dir.filePath("page.htm");
    QVERIFY(writeBytes(local, "<title>fetched</title>"));
    row("not a web address", "", "required", "file://localhost" + local);
}

void TestNewDialogs::urlFetchesTheTitle() {
    QFETCH(QString, address);
    QFETCH(QByteArray, page);
    QFETCH(QString, name);
    QFETCH(QByteArray, contentType);
    m_server.pages["/page"] = page;
    m_server.types["/page"] = contentType;
    Dialog<frmNewURL> d;
    if (address.endsWith("/hang")) d.h.downloader.setTimeoutMs(500); // the others wait as usual
    d.type("txtURL", address.replace("HOST", m_server.host()));
    QTest::keyClick(d.get("txtURL"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!d.w->fetching(), 60000);
    QCOMPARE(d.get("txtName")->text(), name);
    QVERIFY(!QApplication::overrideCursor()); // no busy cursor left behind
    QVERIFY(d.said().isEmpty());
}

void TestNewDialogs::urlMakesItsClassOnFirstUse() {
    Dialog<frmNewURL> d;
    d.type("txtName", "Ferrari");
    d.press("cmdAdd");
    // The URL's identifier is a second after the class's; the hints left are stored.
    QCOMPARE(d.h.allRows(), QList<Row>({{kFirstId, "TOO", "OlValClass"},
                                        {kFirstId, "Name", "URL"},
                                        {kSecondId, "TOO", kFirstId},
                                        {kSecondId, "Name", "Ferrari"},
                                        {kSecondId, "URL", "http://www."},
                                        {kSecondId, "Topic", "e.g. Formula 1"},
                                        {kSecondId, "Description", "e.g. realtime news "}}));
    QCOMPARE(d.said(), QStringList{"URL added"});
    d.press("cmdAdd");
    const QList<Row> again = d.h.allRows().mid(7);
    QCOMPARE(again.size(), 5); // no second class
    QCOMPARE(again[0], Row({again[0].o, "TOO", kFirstId}));
}

void TestNewDialogs::urlStaysOnTopAndTakesDrops() {
    Dialog<frmNewURL> d;
    QVERIFY(d.w->windowFlags() & Qt::WindowStaysOnTopHint);
    // Placed by the dialog itself, not left to the window manager (here both give 0,0).
    QVERIFY(d.w->testAttribute(Qt::WA_Moved));
    QCOMPARE(d.w->pos(), d.w->screen()->availableGeometry().topLeft());
    QMimeData text, link;
    text.setText("http://127.0.0.1:1/dropped?q=1\r\nsecond line");
    link.setUrls({QUrl("https://127.0.0.1:1/linked#part")});
    link.setText("the link's words");
    for (auto [data, address] : {std::pair{&text, "http://127.0.0.1:1/dropped?q=1"},
                                 std::pair{&link, "https://127.0.0.1:1/linked#part"}}) {
        QLineEdit* box = d.get("txtURL");
        box->setText("http://www.old.example/");
        QDragEnterEvent enter(box->rect().center(), Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(box, &enter);
        QDropEvent drop(box->rect().center(), Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(box, &drop);
        QVERIFY(enter.isAccepted() && drop.isAccepted());
        QCOMPARE(box->text(), QString(address));
    }
}

QTEST_MAIN(TestNewDialogs)
#include "test_newdialogs.moc"
