// The RTF reader and writer: real files from several word processors give the text they show
// there, damaged and hostile input gives what could be read without crashing or hanging, and a
// note written and read back keeps its text and its bold, italic and underline runs.

#include "corpus.h"
#include "files.h"
#include "text/rtf.h"
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

// Runs with their font, as the writer must keep them.
QStringList looks(const QTextDocument& doc) { return runs(doc, true); }

// Windows-1252, written out here rather than taken from the program.
QChar fromWindows1252(uchar byte) {
    static const char16_t high[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                      0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
    return byte >= 0x80 && byte < 0xA0 ? QChar(high[byte - 0x80]) : QChar(byte);
}

struct SecondReading {
    QStringList runs;                // as looks() gives them
    QList<Qt::Alignment> alignments; // one per paragraph
    QString error;                   // the first thing out of form
};

// A second reader for what our writer produces, written from the RTF format: it knows only the
// control words the writer is meant to use, and reports anything out of form (braces that do not
// balance, a malformed or unknown control word, a \u whose fallback is not what an older reader
// should show, a font used but not in the table, something after the document).
SecondReading readAsSecondReader(const QByteArray& rtf) {
    SecondReading out;
    struct State {
        bool b = false, i = false, u = false;
        int font = -1, halfPoints = 24;
        enum { Body, FontTable, Skipped } where = Body;
    };
    QList<State> stack;
    State st;
    QMap<int, QString> fonts;
    int fontEntry = -1, defaultFont = -1;
    bool star = false, ended = false;
    Qt::Alignment align = Qt::AlignLeft;
    QString run, runLook;
    struct Piece {
        QString look, text;
    };
    QList<QList<Piece>> paragraphs(1);
    const auto fail = [&](const QString& why, qsizetype at) {
        if (out.error.isEmpty()) out.error = why + QStringLiteral(" at byte %1").arg(at);
    };
    const auto addText = [&](QString text) {
        if (st.where == State::FontTable) {
            if (fontEntry >= 0) fonts[fontEntry] += text;
            return;
        }
        if (st.where == State::Skipped) return;
        const QString look = QString(st.b ? u'B' : u'-') + (st.i ? u'I' : u'-') + (st.u ? u'U' : u'-') + u'|' +
                             QString::number(st.font < 0 ? defaultFont : st.font) + u'|' +
                             QString::number(st.halfPoints / 2.0);
        paragraphs.last().append({look, text});
    };
    const auto endParagraph = [&] {
        out.alignments << align;
        paragraphs.append(QList<Piece>());
    };
    qsizetype pos = 0;
    const qsizetype n = rtf.size();
    // One unit of text: a printable character or a \'hh escape; false when there is none.
    const auto fallbackUnit = [&](QChar& c) {
        if (pos + 3 < n && rtf[pos] == '\\' && rtf[pos + 1] == '\'') {
            bool ok = false;
            c = fromWindows1252(uchar(rtf.mid(pos + 2, 2).toUInt(&ok, 16)));
            pos += 4;
            return ok;
        }
        if (pos < n && rtf[pos] >= 0x20 && rtf[pos] < 0x7f && rtf[pos] != '\\' && rtf[pos] != '{' && rtf[pos] != '}') {
            c = QChar(rtf[pos++]);
            return true;
        }
        return false;
    };
    if (!rtf.startsWith("{\\rtf1")) fail("no header", 0);
    while (pos < n && out.error.isEmpty()) {
        const char c = rtf[pos];
        if (ended) {
            if (c != '\r' && c != '\n') fail("text after the document", pos);
            ++pos;
        } else if (c == '{') {
            stack.push_back(st);
            ++pos;
        } else if (c == '}') {
            if (stack.isEmpty()) fail("unbalanced }", pos);
            if (st.where == State::FontTable && fontEntry >= 0 && stack.last().where != State::FontTable) fontEntry = -1;
            if (!stack.isEmpty()) st = stack.takeLast();
            ended = stack.isEmpty();
            ++pos;
        } else if (c == '\r' || c == '\n') {
            ++pos;
        } else if (c != '\\') {
            if (uchar(c) < 0x20 || uchar(c) >= 0x7f) fail("a raw byte", pos);
            addText(QString(QChar(c)));
            ++pos;
        } else if (pos + 1 < n && QChar::isLetter(rtf[pos + 1])) {
            const qsizetype at = pos++;
            QByteArray name;
            while (pos < n && QChar::isLetter(rtf[pos]) && name.size() <= 32) name += rtf[pos++];
            QByteArray digits;
            if (pos < n && rtf[pos] == '-') digits += rtf[pos++];
            while (pos < n && isdigit(uchar(rtf[pos])) && digits.size() <= 11) digits += rtf[pos++];
            if (name.size() > 32 || digits.size() > 11 || digits == "-") fail("a malformed control word", at);
            if (pos < n && rtf[pos] == ' ') ++pos;
            const bool has = !digits.isEmpty();
            const int value = digits.toInt();
            if (std::exchange(star, false)) {
                if (name != "generator") fail("an unexpected destination", at);
                st.where = State::Skipped;
            } else if (name == "rtf" || name == "ansi" || name == "ansicpg" || name == "uc" || name == "viewkind") {
                if ((name == "ansicpg" && value != 1252) || (name == "uc" && value != 1)) fail("an unexpected " + name, at);
            } else if (name == "deff") {
                defaultFont = value;
            } else if (name == "fonttbl") {
                st.where = State::FontTable;
            } else if (name == "fswiss" || name == "fnil" || name == "fcharset") {
                if (st.where != State::FontTable || (name == "fcharset" && value != 0)) fail("a font word outside its table", at);
            } else if (name == "f") {
                if (st.where == State::FontTable) {
                    fontEntry = value;
                    fonts[value] = QString();
                } else if (!fonts.contains(value)) {
                    fail("a font not in the table", at);
                } else {
                    st.font = value;
                }
            } else if (name == "pard") {
                align = Qt::AlignLeft;
            } else if (name == "plain") {
                st = State{};
            } else if (name == "qc" || name == "qr" || name == "qj") {
                align = name == "qc" ? Qt::AlignHCenter : name == "qr" ? Qt::AlignRight : Qt::AlignJustify;
            } else if (name == "b" || name == "i") {
                (name == "b" ? st.b : st.i) = !has || value != 0;
            } else if (name == "ul" || name == "ulnone") {
                st.u = name == "ul";
            } else if (name == "fs") {
                st.halfPoints = value;
            } else if (name == "par") {
                endParagraph();
            } else if (name == "tab" || name == "line") {
                addText(name == "tab" ? QStringLiteral("\t") : QString(QChar::LineSeparator));
            } else if (name == "u" && has) {
                const char16_t unit = char16_t(value < 0 ? value + 65536 : value);
                QChar fallback;
                if (!fallbackUnit(fallback)) fail("a \\u without its fallback", at);
                // Older readers show the character where Windows-1252 has it, else "?".
                const bool inTable = [&] {
                    for (int b = 0x80; b < 0x100; ++b)
                        if (fromWindows1252(uchar(b)) == QChar(unit)) return true;
                    return false;
                }();
                if (fallback != (inTable ? QChar(unit) : QChar(u'?'))) fail("a \\u with the wrong fallback", at);
                addText(QString(QChar(unit)));
            } else {
                fail("an unknown control word \\" + name, at);
            }
        } else if (pos + 1 < n) {
            const char symbol = rtf[pos + 1];
            pos += 2;
            switch (symbol) {
            case '\\': case '{': case '}': addText(QString(QChar(symbol))); break;
            case '~': addText(QString(QChar(0x00A0))); break;
            case '-': addText(QString(QChar(0x00AD))); break;
            case '_': addText(QString(QChar(0x2011))); break;
            case '*': star = true; break;
            case '\'': {
                bool ok = false;
                const uint byte = rtf.mid(pos, 2).toUInt(&ok, 16);
                if (!ok || pos + 2 > n) fail("a malformed \\'", pos - 2);
                addText(QString(fromWindows1252(uchar(byte))));
                pos += 2;
                break;
            }
            default: fail("an unexpected control symbol", pos - 2);
            }
        } else {
            fail("a lone backslash", pos++);
        }
    }
    if (!ended) fail("the document is not closed", n);
    out.alignments << align;
    for (auto it = fonts.begin(); it != fonts.end(); ++it) {
        if (!it->endsWith(u';')) fail("a font name without its \";\"", 0);
        it->chop(1);
    }
    if (!fonts.contains(defaultFont)) fail("a default font not in the table", 0);
    // Pieces of like look joined, fonts named, as looks() gives them.
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        if (p > 0) out.runs << QStringLiteral("/");
        QString current, text;
        for (const Piece& piece : paragraphs[p]) {
            QStringList parts = piece.look.split(u'|');
            parts[1] = fonts.value(parts[1].toInt());
            const QString look = parts.join(u'|');
            if (look != current && !text.isEmpty()) out.runs << current + u'|' + text, text.clear();
            current = look;
            text += piece.text;
        }
        if (!text.isEmpty()) out.runs << current + u'|' + text;
    }
    return out;
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
        QString expected = QString::fromUtf8(test::bytesOf(file.chopped(4) + ".expected.txt"));
        bool ok = false;
        const QString text = read(test::bytesOf(file), &ok);
        QVERIFY(ok);
        QCOMPARE(words(text), words(expected));
    }

    void shouldKeepTheRunsOfRealFiles() {
        // WordPad: bold, underline and italic switched on and off mid-paragraph.
        OLV_NEEDS_CORPUS("rtf");
        const QString kSamples = test::corpusFile("rtf");
        QTextDocument doc;
        QVERIFY(rtf::read(test::bytesOf(kSamples + "/wordpad-msftedit541-formatting.rtf"), doc));
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
        QVERIFY(rtf::read(test::bytesOf(kSamples + "/minimal-special-symbols.rtf"), doc));
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

    void shouldWriteRtfThatASecondReaderReadsAlike() {
        // Our writer's output read twice: by our reader, and by the small reader above, which
        // knows only the RTF it was told to expect and checks the form of every part.
        QTextDocument doc;
        doc.setDefaultFont(QFont("Arial", 12));
        build(doc, {"---|Price: 5 €, {x} \\ back", "/", "B--|😀 Ελληνικά 日本語", "-IU| ‘quoted’ \tand\u2028on",
                    "/", "BI-|\u00a0\u00ad\u2011 ÿ", "---| plain", "/"});
        QTextCursor cursor(&doc);
        cursor.setPosition(3);
        cursor.setPosition(8, QTextCursor::KeepAnchor);
        QTextCharFormat other;
        other.setFontFamilies({QStringLiteral("Grüße Mono")});
        other.setFontPointSize(9.5);
        cursor.mergeCharFormat(other);
        QTextBlockFormat centred;
        centred.setAlignment(Qt::AlignHCenter);
        QTextCursor(doc.findBlockByNumber(1)).setBlockFormat(centred);

        const QByteArray rtf = rtf::write(doc);
        QVERIFY(std::all_of(rtf.begin(), rtf.end(), [](char c) { return c > 0 && c < 0x7f; }));
        const SecondReading second = readAsSecondReader(rtf);
        QVERIFY2(second.error.isEmpty(), qPrintable(second.error));
        QCOMPARE(second.runs, looks(doc));
        QCOMPARE(second.alignments, (QList<Qt::Alignment>{Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignLeft}));

        QTextDocument back;
        QVERIFY(rtf::read(rtf, back));
        QCOMPARE(runs(back), runs(doc));
        QCOMPARE(looks(back), looks(doc));
        QCOMPARE(rtf::plainText(back), rtf::plainText(doc));
    }

    void shouldLoadFilesAndSayWhyNot() {
        QTemporaryDir dir;
        QTextDocument doc;
        QString why;
        QVERIFY(!rtf::load(dir.filePath("missing.rtf"), doc, &why));
        QVERIFY(!why.isEmpty());
        const QString text = dir.filePath("plain.rtf");
        QVERIFY(test::writeBytes(text, "just text"));
        build(doc, {"---|left over"});
        QVERIFY(!rtf::load(text, doc, &why));
        QCOMPARE(why, QStringLiteral("The file holds no rich text (RTF)."));
        QVERIFY(doc.isEmpty());
        const QString breaks = dir.filePath("breaks.rtf"); // as TextEdit writes line breaks
        QVERIFY(test::writeBytes(breaks, "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n{\\fonttbl\\f0\\fswiss Helvetica;}\n"
                                         "\\pard\\f0\\fs24 A\\\nB\\\nC\\\n}"));
        QVERIFY(rtf::load(breaks, doc));
        QCOMPARE(rtf::plainText(doc), QStringLiteral("A\nB\nC\n"));
    }
};

QTEST_MAIN(RichTextTest)
#include "test_richtext.moc"
