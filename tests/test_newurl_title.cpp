// The page title that the new URL dialog copies into its name box: found anywhere in the page,
// decoded, folded; checked on made-up pages and on real ones.

#include "dialogs/pagetitle.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace olv;

class TestPageTitle : public QObject {
    Q_OBJECT

private slots:
    void findsTheTitle_data();
    void findsTheTitle();
    void decodesReferences_data();
    void decodesReferences();
    void readsTheBytes_data();
    void readsTheBytes();
    void realPages_data();
    void realPages();
};

void TestPageTitle::findsTheTitle_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("title");

    QTest::newRow("lower case") << QByteArray("<html><head><title>Formula 1 news</title></head>")
                                << "Formula 1 news";
    QTest::newRow("upper case") << QByteArray("<HTML><HEAD><TITLE>Formula 1 news</TITLE></HEAD>")
                                << "Formula 1 news";
    QTest::newRow("mixed case") << QByteArray("<Html><Head><tItLe>Formula 1 news</TiTlE>")
                                << "Formula 1 news";
    QTest::newRow("attributes")
        << QByteArray("<title lang=\"en\" data-x='a>b' hidden>Formula 1 news</title>")
        << "Formula 1 news";
    QTest::newRow("blanks inside the tags")
        << QByteArray("<title\n>Formula 1 news</title\n >") << "Formula 1 news";
    QTest::newRow("fifth line, CR")
        << QByteArray("<html>\r<head>\r\r\r<title>Formula 1 news</title>\r") << "Formula 1 news";
    QTest::newRow("fifth line, LF")
        << QByteArray("<html>\n<head>\n\n\n<title>Formula 1 news</title>\n") << "Formula 1 news";
    QTest::newRow("fifth line, CRLF")
        << QByteArray("<html>\r\n<head>\r\n\r\n\r\n<title>Formula 1 news</title>\r\n")
        << "Formula 1 news";
    QTest::newRow("folded and trimmed")
        << QByteArray("<title>\r\n\t  Formula\r1 \n\n news \t</title>") << "Formula 1 news";
    QTest::newRow("wide and no-break blanks fold too")
        << QByteArray("<title>Formula\xC2\xA0\xE3\x80\x80"
                      "1&nbsp;&nbsp;news</title>")
        << "Formula 1 news";
    QTest::newRow("first title wins")
        << QByteArray("<title>one</title><title>two</title>") << "one";
    QTest::newRow("a longer tag name is no title")
        << QByteArray("<titles>no</titles><title-bar>no</title-bar><title>yes</title>") << "yes";
    QTest::newRow("markup inside the title is text")
        << QByteArray("<title>a <b>bold</b> claim</title>") << "a <b>bold</b> claim";
    QTest::newRow("comment passed over")
        << QByteArray("<!-- <title>old</title> --><title>new</title>") << "new";
    QTest::newRow("script passed over")
        << QByteArray("<script>doc += '<title>' + t + '</title>';</script><title>real</title>")
        << "real";
    QTest::newRow("upper-case script passed over")
        << QByteArray("<SCRIPT type=x>'<title>'</SCRIPT ><title>real</title>") << "real";
    QTest::newRow("picture titles are not the page's")
        << QByteArray("<body><svg viewBox='0 0 1 1'><title>icon</title></svg></body>") << "";
    QTest::newRow("self-closed svg does not hide the title")
        << QByteArray("<svg/><title>after</title>") << "after";
    QTest::newRow("no title") << QByteArray("<html><body>nothing here</body></html>") << "";
    QTest::newRow("no end tag") << QByteArray("<title>never closed") << "";
    QTest::newRow("empty title") << QByteArray("<title> \n </title>") << "";
    QTest::newRow("end tag before start tag")
        << QByteArray("<p>x</title><title>proper</title>") << "proper";
    QTest::newRow("empty page") << QByteArray() << "";
    QTest::newRow("stray less-than signs") << QByteArray("a < b <3 <<title>t</title>") << "t";
}

void TestPageTitle::findsTheTitle() {
    QFETCH(QByteArray, page);
    QFETCH(QString, title);
    QCOMPARE(pageTitle(page), title);
}

void TestPageTitle::decodesReferences_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("decoded");

    QTest::newRow("markup") << "Tom &amp; Jerry &lt;3 &gt; &quot;x&quot; &apos;y&apos;"
                            << "Tom & Jerry <3 > \"x\" 'y'";
    QTest::newRow("decoded once only") << "&amp;nbsp; &amp;lt;"
                                       << "&nbsp; &lt;";
    QTest::newRow("decimal and hex") << "&#8211; &#x27; &#X2014; &#65" << u"\u2013 ' \u2014 A"_qs;
    QTest::newRow("beyond the basic plane") << "&#x1F600;" << QString::fromUcs4(U"\U0001F600");
    QTest::newRow("Windows bytes as numbers")
        << "&#128; &#150; &#153;" << u"\u20AC \u2013 \u2122"_qs;
    QTest::newRow("impossible numbers") << "&#0;&#xD800;&#1114112;" << u"\uFFFD\uFFFD\uFFFD"_qs;
    QTest::newRow("accents and symbols")
        << "caf&eacute; &Uuml;ber &copy; &euro; &hellip; &rsquo;s &szlig;"
        << u"café Über © € … ’s ß"_qs;
    QTest::newRow("unknown names stay") << "&foo; &ampx; AT&T &#; &#xZ; &"
                                        << "&foo; &ampx; AT&T &#; &#xZ; &";
    QTest::newRow("old pages without semicolon") << "Tom &amp Jerry"
                                                 << "Tom & Jerry";
    QTest::newRow("names are case-sensitive") << "&Eacute;&eacute;&AMP;" << u"Éé&AMP;"_qs;
}

void TestPageTitle::decodesReferences() {
    QFETCH(QString, text);
    QFETCH(QString, decoded);
    QCOMPARE(decodeCharacterReferences(text), decoded);
}

void TestPageTitle::readsTheBytes_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("title");

    QTest::newRow("UTF-8") << QByteArray("<title>Gr\xC3\xBC\xC3\x9F"
                                         "e \xE2\x80\x93 \xCE\xA9</title>")
                           << u"Grüße – Ω"_qs;
    QTest::newRow("UTF-8 byte-order mark skipped")
        << QByteArray("\xEF\xBB\xBF<title>OK</title>") << "OK";
    QTest::newRow("Windows-1252") << QByteArray("<title>Gr\xFC\xDF"
                                                "e \x96 \x80 5 \x93q\x94</title>")
                                  << u"Grüße – € 5 “q”"_qs;
    // One bad byte anywhere makes the whole page Windows-1252.
    QTest::newRow("Windows-1252 after UTF-8-looking bytes")
        << QByteArray("<title>\xC3\xA9</title><p>\xE9</p>") << u"Ã©"_qs;
    QTest::newRow("overlong UTF-8 is not UTF-8")
        << QByteArray("<title>\xC0\xAF</title>") << u"À¯"_qs;
    QTest::newRow("a sequence cut off at the end stays UTF-8")
        << QByteArray("<title>\xC3\xA9</title>\xE2\x82") << u"é"_qs;
    QTest::newRow("UTF-16LE with byte-order mark")
        << QByteArray("\xFF\xFE<\0t\0i\0t\0l\0e\0>\0\xA9\x03<\0/\0t\0i\0t\0l\0e\0>\0", 34)
        << u"Ω"_qs;
    QTest::newRow("UTF-16BE with byte-order mark")
        << QByteArray("\xFE\xFF\0<\0t\0i\0t\0l\0e\0>\x03\xA9\0<\0/\0t\0i\0t\0l\0e\0>", 34)
        << u"Ω"_qs;
}

void TestPageTitle::readsTheBytes() {
    QFETCH(QByteArray, page);
    QFETCH(QString, title);
    QCOMPARE(pageTitle(page), title);
}

void TestPageTitle::realPages_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");

    const QDir folder(QStringLiteral(OLV_REALWORLD_DIR "/html"));
    QFile expected(folder.filePath(QStringLiteral("EXPECTED-TITLES.jsonl")));
    if (!expected.open(QIODevice::ReadOnly)) QSKIP("the real-world pages are not here");
    int rows = 0;
    while (!expected.atEnd()) {
        const QByteArray line = expected.readLine().trimmed();
        if (line.isEmpty()) continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        const QString file = entry.value(u"file").toString();
        QString title = entry.value(u"html_title").toString(); // null: no title
        // Without a byte-order mark, bytes that are not UTF-8 are read as Windows-1252, which is
        // what the first-line reading of this EUC-JP page shows.
        if (file == u"euc-jp-title.html")
            title = entry.value(u"first_line_title_cp1252").toString();
        QTest::newRow(qPrintable(file)) << folder.filePath(file) << title;
        ++rows;
    }
    QVERIFY(rows >= 20);
}

void TestPageTitle::realPages() {
    QFETCH(QString, file);
    QFETCH(QString, title);
    QFile page(file);
    QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(file));
    QCOMPARE(pageTitle(page.readAll()), title);
}

QTEST_GUILESS_MAIN(TestPageTitle)
#include "test_newurl_title.moc"
