// Times reading a 5 MB RTF note: the reader alone, and a click on the note's row in the main
// window's grid until the preview has been drawn. Two notes: one as Olv writes it, one in the
// verbose style of a word processor with a picture inside.
//
//   olv_bench_rtf [folder]     (default: /tmp/olv-bench-rtf)
//
// Prints one name=value line per figure (milliseconds, median of the runs) on stdout; sizes and
// checks go to stderr.

#include "driver.h"
#include "text/rtf.h"

#include <QApplication>
#include <QDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace olv;

namespace {

constexpr qsizetype kSize = 5 * 1024 * 1024;
constexpr int kRuns = 5;

const char* const kWords[] = {"garden", "fern", "leaf", "grüne", "Wiese", "€", "notes", "on", "the", "shade",
                              "water", "weekly", "soil", "“damp”", "été", "日本", "root", "pot", "light", "and"};

// Paragraphs of words in runs of every format, as typed into the note box, written by our writer.
QByteArray noteAsWritten() {
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 12));
    QTextCursor cursor(&doc);
    quint32 seed = 1;
    auto next = [&seed](quint32 n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    QByteArray rtf;
    qsizetype paragraphs = 0;
    while (rtf.size() < kSize) {
        // Write in steps, so the document ends up just past the size.
        for (int p = 0; p < 2000; ++p, ++paragraphs) {
            if (paragraphs > 0) cursor.insertBlock();
            for (int r = 0; r < 12; ++r) {
                QTextCharFormat f;
                const quint32 look = next(8);
                f.setFontWeight(look & 1 ? QFont::Bold : QFont::Normal);
                f.setFontItalic(look & 2);
                f.setFontUnderline(look & 4);
                QString words;
                for (int w = 0; w < 4; ++w) words += QString::fromUtf8(kWords[next(20)]) + QLatin1Char(' ');
                cursor.insertText(words, f);
            }
        }
        rtf = rtf::write(doc);
    }
    return rtf;
}

// A word processor's style: a long header, every run in a group of its own with revision marks,
// code-page escapes and \u with fallbacks, and a picture of a megabyte of hex in the middle.
QByteArray noteAsAWordProcessorWrites() {
    QByteArray rtf = "{\\rtf1\\adeflang1025\\ansi\\ansicpg1252\\uc1\\adeff0\\deff0\\stshfdbch0\\stshfloch0"
                     "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
                     "{\\f1\\fswiss\\fcharset0\\fprq2{\\*\\panose 020b0604020202020204}Arial;}"
                     "{\\f2\\fnil\\fcharset204 Arial Cyr;}}{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;}"
                     "{\\stylesheet{\\ql \\li0\\ri0\\widctlpar\\wrapdefault\\fs24\\lang1033 \\snext0 Normal;}}"
                     "{\\*\\generator Microsoft Word 11.0.6113;}{\\info{\\title Notes}{\\author Someone}}\r\n";
    QByteArray paragraph;
    for (int r = 0; r < 10; ++r) {
        paragraph += "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 ";
        paragraph += r % 3 == 0 ? "\\b" : r % 3 == 1 ? "\\i" : "\\ul";
        paragraph += "\\insrsid1792631\\charrsid2294299 Some words for the garden, \\'e9t\\'e9 \\u8364\\'80 }";
        paragraph += "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\f2\\insrsid1792631 \\'c4\\'e0\\'f7\\'e0 }";
    }
    paragraph += "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1792631 \\par }\r\n";
    const QByteArray start = "\\pard\\plain \\ltrpar\\ql \\li0\\ri0\\widctlpar\\wrapdefault\\aspalpha\\aspnum"
                             "\\faauto\\adjustright\\rin0\\lin0\\itap0 \\rtlch\\fcs1 \\af0\\afs24\\alang1025 "
                             "\\ltrch\\fcs0 \\fs24\\lang1033\\langfe1033\\cgrid\\langnp1033\\langfenp1033 ";
    while (rtf.size() < kSize / 2) rtf += start + paragraph;
    rtf += "{\\*\\shppict{\\pict\\pngblip\\picw64\\pich64 ";
    for (int i = 0; i < 1024 * 1024 / 64; ++i) rtf += QByteArray(64, 'a') + "\r\n";
    rtf += "}}";
    while (rtf.size() < kSize) rtf += start + paragraph;
    return rtf + "}";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timed(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void report(const char* name, double ms) {
    std::printf("%s=%.1f\n", name, ms);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::prepareApplication();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/olv-bench-rtf");
    QDir().mkpath(folder);

    struct Input {
        const char* name;
        QByteArray rtf;
        QString path;
    };
    std::vector<Input> inputs = {{"written", noteAsWritten(), {}}, {"wordprocessor", noteAsAWordProcessorWrites(), {}}};
    for (Input& input : inputs) {
        input.path = QDir(folder).filePath(QStringLiteral("%1.rtf").arg(QLatin1String(input.name)));
        QFile file(input.path);
        if (!file.open(QIODevice::WriteOnly) || file.write(input.rtf) != input.rtf.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(input.path));
            return 1;
        }
        std::fprintf(stderr, "%s: %lld bytes\n", input.name, static_cast<long long>(input.rtf.size()));
    }

    for (const Input& input : inputs) {
        std::vector<double> reads;
        qsizetype characters = 0;
        for (int run = 0; run < kRuns; ++run) {
            QTextDocument doc;
            reads.push_back(timed([&] { rtf::load(input.path, doc); }));
            characters = doc.characterCount();
        }
        std::fprintf(stderr, "%s: %lld characters read\n", input.name, static_cast<long long>(characters));
        report(qPrintable(QStringLiteral("read_%1_ms").arg(QLatin1String(input.name))), median(reads));
    }

    // The preview as the user gets it: a click on the row, until the note box has been drawn.
    test::MainWindowDriver d;
    d.h.add({{test::obj(1), kName, "Garden"}, {test::obj(1), "written", inputs[0].path},
             {test::obj(1), "wordprocessor", inputs[1].path}, {test::obj(1), "colour", "green"}});
    d.search("Garden");
    d.clickNode(d.nodeWithKey(test::obj(1)));
    auto note = d.child<QTextEdit>("rtbNote");
    for (int row : {2, 3}) {
        std::vector<double> previews;
        for (int run = 0; run < kRuns; ++run) {
            d.clickGridRow(4); // another row first: the box empties and hides
            previews.push_back(timed([&] {
                d.clickGridRow(row);
                // Read beside the window: until it has come.
                while (note->document()->isEmpty() && note->isVisible())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
                note->viewport()->repaint();
            }));
        }
        if (!note->isVisible() || note->document()->isEmpty()) {
            std::fprintf(stderr, "the preview stayed empty\n");
            return 1;
        }
        report(qPrintable(QStringLiteral("preview_%1_ms").arg(QLatin1String(inputs[row - 2].name))),
               median(previews));
    }
    return 0;
}
