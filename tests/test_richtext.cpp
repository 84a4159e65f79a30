// The RTF reader and writer: real files from several word processors give the text they show
// there, damaged and hostile input gives what could be read without crashing or hanging, and a
// note written and read back keeps its text and its bold, italic and underline runs.

#include "corpus.h"
#include "richtext/rtf.h"
#include "runs.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

using namespace olv;
using olv::test::runs;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines with their blanks collapsed, empty ones left out: blank-line placement and runs of
// spaces differ between readers, the words and their order do not.
QStringList words(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString simple = line.simplified();
        if (!simple.isEmpty()) lines << simple;
    }
    return lines;
}

// Builds a document from runs as runs() gives them.
void build(QTextDocument& doc, const QStringList& description) {
    QTextCursor cursor(&doc);
    for (const QString& run : description) {
        if (run == u"/") {
            cursor.insertBlock();
            continue;
        }
        QTextCharFormat f;
        f.setFontWeight(run[0] == u'B' ? QFont::Bold : QFont::Normal);
        f.setFontItalic(run[1] == u'I');
        f.setFontUnderline(run[2] == u'U');
        cursor.insertText(run.mid(4), f);
    }
}

QString read(const QByteArray& rtf, bool* ok = nullptr) {
    QTextDocument doc;
    const bool read = rtf::read(rtf, doc);
    if (ok) *ok = read;
    return rtf::plainText(doc);
}

} // namespace

class RichTextTest : public QObject {
    Q_OBJECT
private slots:
    void shouldReadRealFilesAsTheirProgramsShowThem_data() {
        QTest::addColumn<QString>("file");
        OLV_NEEDS_CORPUS("rtf");
        QDirIterator it(test::corpusFile("rtf"), {"*.rtf"});
        QStringList files;
        while (it.hasNext()) files << it.next();
        files.sort();
        QVERIFY(files.size() >= 20);
        for (const QString& f : files) QTest::newRow(qPrintable(QFileInfo(f).fileName())) << f;
    }
    void shouldReadRealFilesAsTheirProgramsShowThem() {
        QFETCH(QString, file);
        QString expected = QString::fromUtf8(fileBytes(file.chopped(4) + ".expected.txt"));
        bool ok = false;
        const QString text = read(fileBytes(file), &ok);
        QVERIFY(ok);
        QCOMPARE(words(text), words(expected));
    }

    void shouldKeepTheRunsOfRealFiles() {
        // WordPad: bold, underline and italic switched on and off mid-paragraph.
        OLV_NEEDS_CORPUS("rtf");
        const QString kSamples = test::corpusFile("rtf");
        QTextDocument doc;
        QVERIFY(rtf::read(fileBytes(kSamples + "/wordpad-msftedit541-formatting.rtf"), doc));
        QCOMPARE(runs(doc).mid(0, 7), (QStringList{"---|This is a ", "B--|simple ", "B-U|five ", "BIU|paragraph ",
                                                   "-I-|document", "---|.", "/"}));
        QTextCursor at(&doc);
        at.setPosition(6); // in "is", written at 22 points
        QCOMPARE(at.charFormat().fontPointSize(), 22.0);
        QCOMPARE(at.charFormat().fontFamilies().toStringList(), QStringList{"Calibri"});
        // The second paragraph, with its line break, is centred as a whole.
        QCOMPARE(doc.findBlockByNumber(1).text(), QStringLiteral("This is the second paragraph with a\u2028line break and it is centered."));
        QCOMPARE(doc.findBlockByNumber(1).blockFormat().alignment(), Qt::AlignHCenter);
        QCOMPARE(doc.findBlockByNumber(3).blockFormat().alignment(), Qt::AlignRight);
        // LibreOffice: every paragraph restarts its formatting with \plain.
        QVERIFY(rtf::read(fileBytes(kSamples + "/minimal-special-symbols.rtf"), doc));
        QCOMPARE(runs(doc).mid(0, 3), (QStringList{"---|This is some ", "B--|bold", "---| text with non\u00a0breaking"
                                                                                   "\u00a0spaces. Optional hyphen\u00ad"
                                                                                   "foo. Non breaking hyphen\u2011foo."}));
    }

    void shouldKeepTheFormattingOfGroupsNestedBeyondTheDeepestKept() {
        // Past the deepest group kept, text takes the formatting of that group, changes inside
        // a deeper group last until it closes, and leaving all of them restores the outer state.
        const QByteArray deep = QByteArray(1500, '{');
        const QByteArray out = QByteArray(1500, '}');
        QTextDocument doc;
        QVERIFY(rtf::read("{\\rtf1 {\\b " + deep + "bold {\\i both} bold\\b0  plain{\\ul  under}" + out +
                              " bold again} plain {\\*\\hidden " + deep + "unseen" + out + "}seen}",
                          doc));
        QCOMPARE(runs(doc), (QStringList{"B--|bold ", "BI-|both", "B--| bold", "---| plain", "--U| under",
                                         "B--| bold again", "---| plain seen"}));
    }

    void shouldKeepBoldAndItalicSetForOneKindOfScript() {
        // As LibreOffice 7.4 writes them: each run names its kind of script (\loch Latin, \dbch
        // East Asian, \rtlch right-to-left), and \ab, \ai or \b, \i apply to that kind alone.
        const QByteArray para = "\\pard\\plain \\s0\\rtlch\\af5\\afs24\\alang1081 \\ltrch\\lang1033\\langfe2052\\hich"
                                "\\af3\\loch\\nowidctlpar\\hyphpar0\\ltrpar\\cf0\\f3\\fs24\\lang1033\\kerning1\\dbch\\af5"
                                "\\langfe2052\\ql\\ltrpar";
        const QByteArray japanese = "\\u26085\\'3f\\u26412\\'3f";
        const QByteArray arabic = "\\u1593\\'3f\\u1585\\'3f\\u1576\\'3f\\u1610\\'3f";
        const QByteArray written =
            "{\\rtf1\\ansi\\deff3\\adeflang1025\r\n{\\fonttbl{\\f3\\froman\\fprq2\\fcharset0 DejaVu Serif;}"
            "{\\f5\\fnil\\fprq2\\fcharset0 DejaVu Sans;}}\r\n" +
            // Latin bold only.
            para + "{\\loch\r\nW:}{\\loch\\b\\loch\r\nLatin }{\\dbch\r\n" + japanese + " }{\r\n" + arabic +
            "}{\\loch\r\n.}\r\n\\par " +
            // East Asian bold only.
            para + "{\\loch\r\nA:}{\\loch\r\nLatin }{\\dbch\\ab\\dbch\r\n" + japanese + " }{\r\n" + arabic +
            "}{\\loch\r\n.}\r\n\\par " +
            // Right-to-left bold only.
            para + "{\\loch\r\nC:}{\\rtlch\\ab \\ltrch\\loch\r\nLatin }{\\rtlch\\ab \\ltrch\\dbch\r\n" + japanese +
            " }{\\ltrch \\rtlch\\ab\r\n" + arabic + "}{\\loch\r\n.}\r\n\\par " +
            // All three.
            para + "{\\loch\r\nALL:}{\\rtlch\\ab \\ltrch\\loch\\b\\loch\r\nLatin }{\\rtlch\\ab \\ltrch\\dbch\\ab\\dbch\r\n" +
            japanese + " }{\\ltrch \\rtlch\\ab\r\n" + arabic + "}{\\loch\r\n.}\r\n\\par " +
            // Italic: East Asian written as \i after \dbch, right-to-left as \ai.
            para + "{\\loch\r\nIA:}{\\loch\r\nLatin }{\\dbch\\i\\dbch\r\n" + japanese + "}{\\dbch\r\n }{\\loch\r\nIC:}"
                   "{\\rtlch\\ai \\ltrch\\loch\r\nLatin }{\\ltrch \\rtlch\\ai\r\n" + arabic + "}{\\loch\r\n.}\r\n\\par }";
        QTextDocument doc;
        QVERIFY(rtf::read(written, doc));
        const QString ja = QStringLiteral("日本"), ar = QStringLiteral("عربي");
        QCOMPARE(runs(doc), (QStringList{"---|W:", "B--|Latin ", "---|" + ja + " " + ar + ".", "/",
                                         "---|A:Latin ", "B--|" + ja + " ", "---|" + ar + ".", "/",
                                         "---|C:Latin " + ja + " ", "B--|" + ar, "---|.", "/",
                                         "---|ALL:", "B--|Latin " + ja + " " + ar, "---|.", "/",
                                         "---|IA:Latin ", "-I-|" + ja, "---| IC:Latin ", "-I-|" + ar, "---|.", "/"}));

        // As Word writes them: \rtlch with the associated properties, then \ltrch with the regular
        // ones, whose \b covers Latin and East Asian text, even after a paragraph that ended in \dbch.
        QVERIFY(rtf::read("{\\rtf1\\ansi\\pard\\plain \\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\loch\\f1\\hich\\af1\\dbch\\af2 "
                          "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\b Bold }{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 "
                          "\\b\\loch\\af1\\hich\\af1\\dbch\\f2 " + japanese + "}{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 Latin only "
                          "\\lang1025 " + arabic + " }{\\rtlch\\fcs1 \\ab\\ai\\af0 \\ltrch\\fcs0 \\b\\i " + arabic + "}}",
                          doc));
        QCOMPARE(runs(doc), (QStringList{"B--|Bold " + ja, "---|Latin only " + ar + " ", "BI-|" + ar}));
        // A writer that names no kind of script: \b is for all text.
        QVERIFY(rtf::read("{\\rtf1 {\\b " + japanese + " " + arabic + " Latin}{\\i\\ai x}}", doc));
        QCOMPARE(runs(doc), (QStringList{"B--|" + ja + " " + ar + " Latin", "-I-|x"}));
    }

    void shouldSurviveDamagedAndHostileInput_data() {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<bool>("isRtf");
        QTest::addColumn<QString>("text");
        auto row = [](const char* tag, const QByteArray& rtf, const QString& text, bool isRtf = true) {
            QTest::newRow(tag) << rtf << isRtf << text;
        };
        row("no RTF at all", "hello {\\b world}", "", false);
        row("empty", "", "", false);
        row("only the header", "{\\rtf1", "");
        row("byte-order mark and blanks first", "\xEF\xBB\xBF \r\n{\\rtf1 a}", "a");
        row("cut off in the text", "{\\rtf1\\ansi {\\b Hello} wor", "Hello wor");
        row("cut off after a backslash", "{\\rtf1 a\\", "a");
        row("cut off in an escape", "{\\rtf1 a\\'", "a");
        row("half an escape", "{\\rtf1 a\\'4", "a"); // one digit: a control character, no text
        row("no hex digits", "{\\rtf1 \\'zz}", "zz");
        row("escaped control character", "{\\rtf1 a\\'00b\\'09c}", "ab\tc");
        row("text after the document's end", "{\\rtf1 a}}}b}", "a");
        row("a second document after the first", "{\\rtf1 {\\b a}}\r\n{\\rtf1 more}", "a");
        row("groups never closed", "{\\rtf1 {\\b a{\\i b{\\ul c", "abc");
        row("destination never closed", "{\\rtf1 a{\\fonttbl{\\f0 Arial;}", "a");
        row("\\bin at the end", "{\\rtf1 a\\bin", "a");
        row("\\bin cut off", "{\\rtf1 a\\bin5 bc", "a");
        row("\\bin longer than the file", "{\\rtf1 a\\bin99999999999 bc}", "a");
        row("\\bin data looks like RTF", "{\\rtf1 a{\\bin4 }}\\}b}c}", "abc");
        row("\\u at the end", "{\\rtf1 a\\u", "a");
        row("\\u with no fallback at the end", "{\\rtf1 a\\u8364", "a\u20ac");
        row("\\u and a dash", "{\\rtf1 a\\u-}", "a-");
        row("high surrogate at the end", "{\\rtf1 a\\u-10179", "a\ufffd");
        row("low surrogate alone", "{\\rtf1 \\u-9047?x}", "\ufffdx");
        row("characters that would break the document", "{\\rtf1 a\\u-560?\\u13?\\u-559?b}", "a\ufffd\ufffdb");
        row("fallback ends with its group", "{\\rtf1 {\\uc3\\u97 b}cd}", "acd");
        row("huge numbers", "{\\rtf1 \\fs99999999999999999999 a\\uc99999999999 \\u97 bcdefghijklmnopqrstuvwxyz}",
            "aarstuvwxyz");
        row("negative sizes", "{\\rtf1 \\fs-5 \\uc-3 \\u98 c}", "bc");
        row("NUL and control bytes", QByteArray("{\\rtf1 a") + '\0' + "b\x01\x1f" "c}" + '\0' + '\0', "abc");
        row("unknown destination shown, starred one not", "{\\rtf1 {\\mine a}{\\*\\yours b}c}", "ac");
        row("upr shows the Unicode version", "{\\rtf1 {\\upr{ansi}{\\*\\ud{\\u8364?}}}}", "\u20ac");
        row("tabs and breaks in a font table", "{\\rtf1{\\fonttbl{\\f0\tA\\~\\\nB\\'09;}}\\f0 x}", "x");
        row("font table without braces", "{\\rtf1{\\fonttbl\\f0\\fnil Courier;}\\f0 x}", "x");
        row("Cyrillic font in a Western file", "{\\rtf1\\ansi{\\fonttbl{\\f1\\fcharset204 A;}}\\f1\\'c4\\f0\\'c4}",
            "\u0414\u00c4");
        row("code page nobody has", "{\\rtf1\\ansi\\ansicpg99999 \\'e9}", "\u00e9");
        row("Shift_JIS pair split by an escaped backslash", "{\\rtf1\\ansi\\ansicpg932 \\'95\\\\}", "\u8868");
        const QByteArray deep = "{\\rtf1 a" + QByteArray(200000, '{') + "x" + QByteArray(200000, '}') + "b}";
        row("nested two hundred thousand deep", deep, "axb");
        row("a megabyte of braces around a word",
            "{\\rtf1 " + QByteArray(500000, '{') + "word" + QByteArray(500000, '}') + " end}", "word end");
        row("megabytes of empty groups", "{\\rtf1 " + QByteArray(3000000, '{').replace("{{", "{}") + "end}", "end");
        row("megabytes of open braces", "{\\rtf1 a" + QByteArray(3000000, '{'), "a");
        row("megabytes of closing braces", "{\\rtf1 a" + QByteArray(3000000, '}') + "b", "a");
        row("a control word a megabyte long", "{\\rtf1 \\" + QByteArray(1000000, 'x') + " text}", "text");
        row("megabytes of backslashes", "{\\rtf1 " + QByteArray(3000000, '\\') + "}", QString(1500000, '\\'));
    }
    void shouldSurviveDamagedAndHostileInput() {
        QFETCH(QByteArray, rtf);
        QFETCH(bool, isRtf);
        QFETCH(QString, text);
        bool ok = !isRtf;
        QCOMPARE(read(rtf, &ok), text);
        QCOMPARE(ok, isRtf);
    }

    void shouldReadBackWhatItWrote_data() {
        QTest::addColumn<QStringList>("written");
        auto row = [](const char* tag, const QStringList& written) { QTest::newRow(tag) << written; };
        row("empty", {});
        row("one plain run", {"---|type your note here"});
        row("every combination", {"B--|b", "-I-|i", "--U|u", "BI-|bi", "B-U|bu", "-IU|iu", "BIU|biu", "---|none"});
        row("RTF's own characters", {"---|{\\rtf1 \\b not bold} \\\\ \\'41 \\u65?"});
        row("blanks and digits after a switch", {"B--|  1 leading blanks", "---|2", "-I-| ", "---|\t3"});
        row("paragraphs, empty ones too", {"---|first", "/", "/", "B--|third", "/"});
        row("tabs and line breaks", {"---|a\tb\u2028c", "--U|\u2028\t"});
        row("characters beyond ASCII",
            {"---|Grüße, € und “Anführung”", "B--|Ελληνικά русский 日本語 한국어", "-I-|😀 𝐻 \u00a0\u00ad\u2011 end"});
    }
    void shouldReadBackWhatItWrote() {
        QFETCH(QStringList, written);
        QTextDocument doc;
        build(doc, written);
        QTextDocument back;
        QVERIFY(rtf::read(rtf::write(doc), back));
        QCOMPARE(runs(back), runs(doc));
        QCOMPARE(rtf::plainText(back), rtf::plainText(doc));
    }

    void shouldReadBackRandomNotes() {
        // Runs of random length and format from characters that need care, in many mixes.
        const QString pool = QStringLiteral("ab Z09 \t{}\\;?'-~_*\u2028äß€日😀\u00a0\u2011\u00ad");
        QRandomGenerator random(9);
        for (int note = 0; note < 200; ++note) {
            QStringList description;
            for (int r = int(random.bounded(1, 12)); r > 0; --r) {
                if (random.bounded(5) == 0) {
                    description << "/";
                    continue;
                }
                const int f = int(random.bounded(8));
                QString text = QString(f & 1 ? "B" : "-") + (f & 2 ? "I" : "-") + (f & 4 ? "U" : "-") + '|';
                for (int n = int(random.bounded(1, 8)); n > 0; --n) {
                    const int at = int(random.bounded(int(pool.size())));
                    // Whole surrogate pairs only.
                    if (pool[at].isLowSurrogate()) text += pool[at - 1];
                    text += pool[at];
                    if (pool[at].isHighSurrogate()) text += pool[at + 1];
                }
                description << text;
            }
            QTextDocument written;
            build(written, description);
            QTextDocument back;
            QVERIFY(rtf::read(rtf::write(written), back));
            QCOMPARE(runs(back), runs(written));
        }
    }

    void shouldWriteRtfOtherProgramsRead() {
        QTextDocument doc;
        doc.setDefaultFont(QFont("Arial", 12));
        build(doc, {"---|Price: 5 €, {x}", "/", "B--|😀"});
        const QByteArray rtf = rtf::write(doc);
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\deff0"));
        QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}"));
        QVERIFY(rtf.contains("\\f0\\fs24 Price: 5 \\u8364\\'80, \\{x\\}\\par"));
        QVERIFY(rtf.contains("\\pard\\b\\u-10179?\\u-8704?}")); // a pair of halves, each with its fallback
        QVERIFY(std::all_of(rtf.begin(), rtf.end(), [](char c) { return c > 0 && c < 0x7f; }));
        // Braces are balanced, escaped ones aside.
        int depth = 0;
        for (qsizetype i = 0; i < rtf.size(); ++i) {
            if (rtf[i] == '\\') ++i;
            else if (rtf[i] == '{') ++depth;
            else if (rtf[i] == '}') QVERIFY(--depth >= 0);
        }
        QCOMPARE(depth, 0);
    }

    void shouldLoadFilesAndSayWhyNot() {
        QTemporaryDir dir;
        QTextDocument doc;
        QString why;
        QVERIFY(!rtf::load(dir.filePath("missing.rtf"), doc, &why));
        QVERIFY(!why.isEmpty());
        QFile text(dir.filePath("plain.rtf"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("just text") > 0);
        text.close();
        build(doc, {"---|left over"});
        QVERIFY(!rtf::load(text.fileName(), doc, &why));
        QCOMPARE(why, QStringLiteral("The file holds no rich text (RTF)."));
        QVERIFY(doc.isEmpty());
        QFile breaks(dir.filePath("breaks.rtf")); // as TextEdit writes line breaks
        QVERIFY(breaks.open(QIODevice::WriteOnly) &&
                breaks.write("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fswiss Helvetica;}\n"
                             "\\pard\\f0\\fs24 A\\\nB\\\nC\\\n}") > 0);
        breaks.close();
        QVERIFY(rtf::load(breaks.fileName(), doc));
        QCOMPARE(rtf::plainText(doc), QStringLiteral("A\nB\nC\n"));
    }
};

QTEST_MAIN(RichTextTest)
#include "test_richtext.moc"
