// The page-title reader of the new URL dialog on its own: character references and comments
// as browsers read them, pages in many charsets (declared by the server, by the page, by a
// byte-order mark, or not at all), and real pages from the web.

#include "text/charset.h"
#include "text/pagetitle.h"
#include "corpus.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <iconv.h>

using namespace olv;

namespace {

// text in encoding, through iconv; empty when iconv cannot write it.
QByteArray encoded(const QString& text, const char* encoding) {
    const QByteArray utf8 = text.toUtf8();
    const iconv_t cd = iconv_open(encoding, "UTF-8");
    if (cd == iconv_t(-1)) return {};
    QByteArray out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = size_t(utf8.size());
    char* to = out.data();
    size_t toLeft = size_t(out.size());
    const bool ok = iconv(cd, &in, &inLeft, &to, &toLeft) != size_t(-1) &&
                    iconv(cd, nullptr, nullptr, &to, &toLeft) != size_t(-1);
    iconv_close(cd);
    if (!ok) return {};
    out.truncate(out.size() - qsizetype(toLeft));
    return out;
}

// A small page with a title and a sentence, all of it in encoding.
QByteArray pageIn(const char* encoding, const QString& title, const QString& body,
                  const QString& head = {}) {
    return encoded("<!DOCTYPE html>\n<html><head>" + head + "<title>" + title +
                       "</title></head>\n<body><p>" + body + "</p></body></html>\n",
                   encoding);
}

QString metaCharset(const char* label) {
    return QStringLiteral("<meta charset=\"%1\">").arg(label);
}
QString metaHttpEquiv(const char* label) {
    return QStringLiteral("<META HTTP-EQUIV=Content-Type CONTENT='text/html; charset=%1'>")
        .arg(label);
}
QByteArray header(const char* label) {
    return QByteArray("text/html; charset=") + label;
}

struct Language {
    const char* tag;
    const char* makeWith; // iconv's name, for writing the test page
    const char* label;    // what pages and servers call it
    const char* encoding; // what the reader should take it for
    bool guessed;         // found without any declaration too
    QString title, body;
};

const QList<Language>& languages() {
    static const QList<Language> list = {
        {"EUC-JP", "EUC-JP", "euc-jp", "EUC-JP", true, u"日本語のニュース"_qs,
         u"これは日本語で書かれたテストのページです。東京の天気は晴れです。"_qs},
        {"Shift_JIS", "CP932", "shift_jis", "CP932", true, u"日本語のニュース"_qs,
         u"これは日本語で書かれたテストのページです。東京の天気は晴れです。"_qs},
        {"GBK", "GBK", "gb2312", "GB18030", true, u"新闻中心 - 中国网"_qs,
         u"这是一个用简体中文写的测试页面，今天北京的天气很好。"_qs},
        {"Big5", "BIG5", "big5", "BIG5-HKSCS", true, u"新聞中心 - 臺灣網"_qs,
         u"這是一個用繁體中文寫的測試頁面，今天台北的天氣很好。"_qs},
        {"EUC-KR", "EUC-KR", "euc-kr", "CP949", true, u"한국어 뉴스"_qs,
         u"이것은 한국어로 쓴 시험 페이지입니다. 오늘 서울의 날씨는 맑습니다."_qs},
        {"windows-1251", "CP1251", "windows-1251", "CP1251", true, u"Новости дня"_qs,
         u"Это тестовая страница, написанная по-русски. Сегодня в Москве хорошая погода."_qs},
        {"KOI8-R", "KOI8-R", "koi8-r", "KOI8-R", true, u"Новости дня"_qs,
         u"Это тестовая страница, написанная по-русски. Сегодня в Москве хорошая погода."_qs},
        {"ISO-8859-2", "ISO-8859-2", "iso-8859-2", "ISO-8859-2", false, u"Zażółć gęślą jaźń"_qs,
         u"Wiadomości z Krakowa."_qs},
        {"ISO-8859-7", "ISO-8859-7", "iso-8859-7", "ISO-8859-7", false, u"Ελληνικά νέα"_qs,
         u"Καλημέρα από την Αθήνα."_qs},
        {"windows-1252", "CP1252", "latin1", "windows-1252", true, u"Grüße aus München"_qs,
         u"Schöne Straßen, große Bäume und überall Cafés – für 5 €."_qs},
    };
    return list;
}

const Language& language(const char* tag) {
    for (const Language& l : languages())
        if (qstrcmp(l.tag, tag) == 0) return l;
    qFatal("no language %s", tag);
}

} // namespace

class TestPageTitle : public QObject {
    Q_OBJECT
private slots:
    void browserDetails_data();
    void browserDetails();
    void declarations_data();
    void declarations();
    void charsets_data();
    void charsets();
    void badBytes_data();
    void badBytes();
    void decodingGoesOnAfterBadBytes_data();
    void decodingGoesOnAfterBadBytes();
    void urlTitleOfRealPages_data();
    void urlTitleOfRealPages();
};

void TestPageTitle::browserDetails_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    auto row = [](const char* page, const QString& title) {
        QTest::newRow(page) << QString::fromUtf8(page) << title;
    };
    // Without the semicolon: the longest legacy name the letters start with.
    row("<title>&copy2024 &notit &notit; &ampx &lt3 &sect5</title>", u"©2024 ¬it ¬it; &x <3 §5"_qs);
    row("<title>&frac12x &frac1 &eacutes a &amp</title>", u"½x &frac1 és a &"_qs);
    row("<title>&AMP &LT; &GT &QUOT &COPY; &REG</title>", u"& < > \" © ®"_qs);
    // Case counts, other names still need their semicolon, and a full name beats its prefix.
    row("<title>&Copy &euro &euro; &apos &notin; &parallel; &unknown;</title>",
        u"&Copy &euro € &apos ∉ ∥ &unknown;"_qs);
    row("<title>&#8211 &#x80; &#0; &#x110000; &#xZZ</title>", u"– € \uFFFD \uFFFD &#xZZ"_qs);
    // "<!-->" and "<!--->" are empty comments; a real one still hides what it holds.
    row("<!--><title>T</title><!-- x -->", u"T"_qs);
    row("<!---><title>T</title>", u"T"_qs);
    row("<!-- -> --- <title>no</title> --><title>T</title>", u"T"_qs);
    row("<!-- <title>no</title>", u""_qs);
}

void TestPageTitle::browserDetails() {
    QFETCH(QString, page);
    QFETCH(QString, title);
    QCOMPARE(pageTitleOfText(page), title);
}

void TestPageTitle::declarations_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("encoding");
    auto row = [](const char* tag, const QByteArray& page, const QByteArray& encoding) {
        QTest::newRow(tag) << page << encoding;
    };
    row("meta charset", "<meta charset=\"euc-jp\">", "EUC-JP");
    row("upper case, unquoted", "<META CHARSET=Shift_JIS>", "CP932");
    row("slash before the attribute", "<meta/charset=iso-8859-2>", "ISO-8859-2");
    row("http-equiv", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">",
        "GB18030");
    row("http-equiv after content",
        "<meta content='text/html;charset=koi8-r' http-equiv=content-type>", "KOI8-R");
    row("content without http-equiv", "<meta content=\"text/html; charset=koi8-r\">", "");
    row("in a comment", "<!-- <meta charset=\"koi8-r\"> --><meta charset=\"utf-8\">", "UTF-8");
    row("after an empty comment", "<!--><meta charset=\"koi8-r\">", "KOI8-R");
    row("in an attribute value", "<div title=\"<meta charset=koi8-r>\"><meta charset=cp1251>",
        "CP1251");
    row("unknown label passed over", "<meta charset=\"utf-7\"><meta charset=\" Latin1 \">",
        "windows-1252");
    row("UTF-16 declared in ASCII", "<meta charset=\"utf-16\">", "UTF-8");
    row("beyond 1024 bytes", QByteArray(1024, ' ') + "<meta charset=\"euc-jp\">", "");
    // Labels read as browsers read them.
    row("us-ascii", "<meta charset=us-ascii>", "windows-1252");
    row("x-gbk", "<meta charset=x-gbk>", "GB18030");
    row("windows-31j", "<meta charset=windows-31j>", "CP932");
    row("ms_kanji", "<meta charset=ms_kanji>", "CP932");
    row("euc-kr", "<meta charset=euc-kr>", "CP949");
    row("iso-8859-9", "<meta charset=iso-8859-9>", "CP1254");
    row("tis-620", "<meta charset=tis-620>", "CP874");
    row("iso-8859-11", "<meta charset=iso-8859-11>", "CP874");
}

void TestPageTitle::declarations() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, encoding);
    QCOMPARE(declaredEncoding(page), encoding);
}

void TestPageTitle::charsets_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QByteArray>("encoding");
    auto row = [](const QString& tag, const QByteArray& page, const QByteArray& contentType,
                  const QString& title, const QByteArray& encoding) {
        QTest::newRow(qPrintable(tag)) << page << contentType << title << encoding;
    };
    for (const Language& l : languages()) {
        const QString tag = QString::fromLatin1(l.tag);
        row(tag + " by header", pageIn(l.makeWith, l.title, l.body), header(l.label), l.title,
            l.encoding);
        row(tag + " by meta charset", pageIn(l.makeWith, l.title, l.body, metaCharset(l.label)),
            "text/html", l.title, l.encoding);
        row(tag + " by meta http-equiv",
            pageIn(l.makeWith, l.title, l.body, metaHttpEquiv(l.label)), {}, l.title, l.encoding);
        if (l.guessed)
            row(tag + " undeclared", pageIn(l.makeWith, l.title, l.body), {}, l.title, l.encoding);
    }

    const Language& japanese = language("EUC-JP");
    const Language& russian = language("KOI8-R");
    const Language& korean = language("EUC-KR");
    row("header beats meta",
        pageIn("KOI8-R", russian.title, russian.body, metaCharset("windows-1251")),
        header("koi8-r"), russian.title, "KOI8-R");
    row("unknown header label, meta",
        pageIn("CP932", japanese.title, japanese.body, metaCharset("shift_jis")),
        header("x-nonsense"), japanese.title, "CP932");
    row("unknown labels, UTF-8",
        pageIn("UTF-8", japanese.title, japanese.body, metaCharset("klingon")),
        header("x-nonsense"), japanese.title, "UTF-8");
    row("unknown meta label, guessed",
        pageIn("EUC-KR", korean.title, korean.body, metaCharset("klingon")), {}, korean.title,
        "CP949");
    // Short pages: capitals only, and accents that come in runs.
    row("KOI8-R capitals undeclared", pageIn("KOI8-R", u"МОСКВА"_qs, {}), {}, u"МОСКВА"_qs,
        "KOI8-R");
    row("windows-1251 capitals undeclared", pageIn("CP1251", u"МОСКВА"_qs, {}), {}, u"МОСКВА"_qs,
        "CP1251");
    row("Spanish undeclared", pageIn("CP1252", u"Señor Niño"_qs, u"El año de la canción."_qs), {},
        u"Señor Niño"_qs, "windows-1252");
    row("quoted header charset", pageIn("EUC-JP", japanese.title, japanese.body),
        "text/html;charset=\"EUC-JP\"", japanese.title, "EUC-JP");

    // A byte-order mark outranks every declaration.
    row("UTF-8 BOM", "\xEF\xBB\xBF" + pageIn("UTF-8", japanese.title, japanese.body),
        header("shift_jis"), japanese.title, "UTF-8");
    row("UTF-16LE BOM",
        "\xFF\xFE" + pageIn("UTF-16LE", russian.title, russian.body, metaCharset("koi8-r")), {},
        russian.title, "UTF-16LE");
    row("UTF-16BE BOM", "\xFE\xFF" + pageIn("UTF-16BE", japanese.title, japanese.body),
        header("euc-jp"), japanese.title, "UTF-16BE");
    row("UTF-16LE by header", pageIn("UTF-16LE", korean.title, korean.body), header("utf-16le"),
        korean.title, "UTF-16LE");

    // "us-ascii" and "iso-8859-1" pages are read as Windows-1252, as browsers do.
    row("us-ascii with high bytes", "<meta charset=us-ascii><title>Caf\xE9 \x80 5</title>", {},
        u"Café € 5"_qs, "windows-1252");

    // The download stops after a megabyte, perhaps inside a character.
    const QByteArray eucJp = pageIn("EUC-JP", japanese.title, japanese.body);
    row("EUC-JP cut off", eucJp + "<p>" + encoded(u"日"_qs, "EUC-JP").first(1), {}, japanese.title,
        "EUC-JP");
    row("Shift_JIS cut off",
        pageIn("CP932", japanese.title, japanese.body) + encoded(u"日"_qs, "CP932").first(1),
        header("sjis"), japanese.title, "CP932");
    QByteArray megabyte = pageIn("UTF-8", japanese.title, japanese.body);
    while (megabyte.size() < 1024 * 1024)
        megabyte += japanese.body.toUtf8();
    megabyte.truncate(1024 * 1024);
    QVERIFY((megabyte.back() & 0xC0) == 0x80 || (megabyte.back() & 0xC0) == 0xC0);
    row("UTF-8 cut off at a megabyte", megabyte, {}, japanese.title, "UTF-8");
}

void TestPageTitle::charsets() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, title);
    QFETCH(QByteArray, encoding);
    QVERIFY2(!page.isEmpty(), "iconv could not write the test page");
    QCOMPARE(pageEncoding(page, contentType), encoding);
    QCOMPARE(pageTitle(page, contentType), title);
}

void TestPageTitle::badBytes_data() {
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    auto row = [](const char* tag, const QByteArray& encoding, const QByteArray& bytes,
                  const QString& text) { QTest::newRow(tag) << encoding << bytes << text; };
    row("EUC-JP bad byte", "EUC-JP",
        "a\xFF"
        "b",
        u"a\uFFFDb"_qs);
    row("EUC-JP lead before a blank", "EUC-JP", "\xA4 \xA4\xA2", u"\uFFFD あ"_qs);
    row("Shift_JIS cut off", "CP932", "\x82\xA0\x82", u"あ"_qs);
    row("Big5 cut off", "BIG5-HKSCS", "\xA4\xA4\xA4", u"中"_qs);
    row("UTF-8 cut off", "UTF-8", "\xE6\x97\xA5\xE6\x97", u"日"_qs);
    row("windows-1253 hole", "CP1253", "\xAA", u"\uFFFD"_qs);
    row("unknown encoding", "klingon", "caf\xE9 \x80", u"café €"_qs);
}

void TestPageTitle::badBytes() {
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeAs(bytes, encoding), text);
}

void TestPageTitle::decodingGoesOnAfterBadBytes_data() {
    QTest::addColumn<QByteArray>("encoding");
    for (const char* label : {"euc-jp",      "shift_jis",      "gbk",          "gb18030",
                              "euc-kr",      "big5",           "iso-2022-jp",  "koi8-r",
                              "koi8-u",      "windows-1251",   "windows-1253", "windows-1255",
                              "windows-874", "iso-8859-6",     "iso-8859-8",   "ibm866",
                              "macintosh",   "x-mac-cyrillic", "utf-8",        "latin1"}) {
        const QByteArray encoding = encodingOfLabel(label);
        QTest::newRow(label) << encoding;
    }
}

void TestPageTitle::decodingGoesOnAfterBadBytes() {
    QFETCH(QByteArray, encoding);
    QVERIFY(!encoding.isEmpty());
    // Every pair of bytes, then ASCII again (a newline is no trail byte anywhere).
    QByteArray garbage;
    for (int first = 0; first < 256; ++first)
        for (int second = 255; second >= 0; --second)
            garbage += char(first), garbage += char(second);
    garbage += "\x1B(B\n<title>ok</title>";
    const QString text = decodeAs(garbage, encoding);
    QVERIFY(text.size() <= garbage.size());
    QVERIFY(text.endsWith(u"\n<title>ok</title>"));
}

void TestPageTitle::urlTitleOfRealPages_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("title");
    OLV_NEEDS_CORPUS("html/EXPECTED-TITLES.jsonl");
    const QDir folder(olv::test::corpusFile("html"));
    QFile expected(folder.filePath("EXPECTED-TITLES.jsonl"));
    QVERIFY(expected.open(QIODevice::ReadOnly));
    while (!expected.atEnd()) {
        const QJsonObject entry = QJsonDocument::fromJson(expected.readLine()).object();
        const QString file = entry.value(u"file").toString();
        if (!file.isEmpty())
            QTest::newRow(qPrintable(file))
                << folder.filePath(file) << entry.value(u"html_title").toString();
    }
}

void TestPageTitle::urlTitleOfRealPages() {
    QFETCH(QString, file);
    QFETCH(QString, title);
    QFile page(file);
    QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(file));
    QCOMPARE(pageTitle(page.readAll()), title);
}

QTEST_GUILESS_MAIN(TestPageTitle)
#include "test_pagetitle.moc"
