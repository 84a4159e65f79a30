#include "rtf.h"

#include "charset.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace olv::rtf {

namespace {

// Groups deeper than this are not kept one by one: their text is read with the formatting of the
// deepest kept group, so the stack stays small whatever the input and no word is lost.
constexpr int kMaxDepth = 1000;
constexpr int kSymbolCodePage = -2; // a symbol font's own glyph numbers

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// --- Code pages ---------------------------------------------------------------------------------

// The name decodeAs knows a Windows code page by.
QByteArray encodingOf(int codePage) {
    switch (codePage) {
    case 1252: return QByteArrayLiteral("windows-1252");
    case 65001: return QByteArrayLiteral("UTF-8");
    case 10000: return QByteArrayLiteral("MACINTOSH");
    case 10001: return QByteArrayLiteral("CP932");
    case 10002: return QByteArrayLiteral("BIG5");
    case 10003: return QByteArrayLiteral("EUC-KR");
    case 10007: return QByteArrayLiteral("MAC-CYRILLIC");
    case 10008: return QByteArrayLiteral("EUC-CN");
    case 10029: return QByteArrayLiteral("MAC-CENTRALEUROPE");
    case 20866: return QByteArrayLiteral("KOI8-R");
    case 21866: return QByteArrayLiteral("KOI8-U");
    case 54936: return QByteArrayLiteral("GB18030");
    default:
        if (codePage >= 28591 && codePage <= 28599)
            return "ISO-8859-" + QByteArray::number(codePage - 28590);
        return "CP" + QByteArray::number(codePage);
    }
}

// Code pages RTF writers declare and iconv knows; anything else is read as Windows-1252, so that
// a document cannot make us load decoders without end.
bool isKnown(int codePage) {
    switch (codePage) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 858: case 860:
    case 861: case 862: case 863: case 864: case 865: case 866: case 869: case 874: case 932:
    case 936: case 949: case 950: case 1361: case 10000: case 10001: case 10002: case 10003:
    case 10007: case 10008: case 10029: case 20866: case 21866: case 54936: case 65001:
    case kSymbolCodePage:
        return true;
    default:
        return (codePage >= 1250 && codePage <= 1258) || (codePage >= 28591 && codePage <= 28599);
    }
}

bool isMultiByte(int codePage) {
    switch (codePage) {
    case 932: case 936: case 949: case 950: case 1361: case 65001:
    case 10001: case 10002: case 10003: case 10008: case 54936:
        return true;
    default:
        return false;
    }
}

// The code page a font's \fcharset stands for; 0 for the document's own.
int codePageOfCharset(int charset) {
    switch (charset) {
    case 2: return kSymbolCodePage;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return 0; // ANSI and default: the document's code page
    }
}

using ByteTable = std::array<char16_t, 256>;

// Single-byte code pages decode through a table, made once per code page for the whole run.
const ByteTable& byteTable(int codePage) {
    static QMutex mutex;
    static std::unordered_map<int, ByteTable> tables;
    QMutexLocker lock(&mutex);
    if (auto it = tables.find(codePage); it != tables.end()) return it->second;
    ByteTable table;
    if (codePage == 1252 || codePage == kSymbolCodePage) {
        for (int b = 0; b < 256; ++b) table[b] = windows1252(static_cast<unsigned char>(b));
        // Word writes list bullets in the Symbol font.
        if (codePage == kSymbolCodePage) table[0xB7] = 0x2022;
    } else {
        QByteArray all(256, Qt::Uninitialized);
        for (int b = 0; b < 256; ++b) all[b] = char(b);
        const QByteArray encoding = encodingOf(codePage);
        QString text = decodeAs(all, encoding);
        // A decoder that composes or drops characters is asked byte by byte.
        for (int b = 0; b < 256; ++b) {
            if (text.size() != 256) {
                const QString one = decodeAs(all.sliced(b, 1), encoding);
                table[b] = one.size() == 1 ? one[0].unicode() : char16_t(QChar::ReplacementCharacter);
            } else {
                table[b] = text[b].unicode();
            }
        }
    }
    return tables.emplace(codePage, table).first->second;
}

QString decode(QByteArrayView bytes, int codePage) {
    if (!isKnown(codePage)) codePage = 1252;
    if (isMultiByte(codePage)) return decodeAs(bytes, encodingOf(codePage));
    const ByteTable& table = byteTable(codePage);
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) *out++ = QChar(table[static_cast<unsigned char>(b)]);
    return text;
}

// --- Control words ------------------------------------------------------------------------------

enum class Word : quint8 {
    Unknown,
    Ansi, Mac, Pc, Pca, AnsiCpg, Deff,
    FontTable, Font, FontCharset, FontCodePage,
    Skip,     // a destination whose text is not shown
    Par, Line, Tab, Page, Cell,
    Bold, Italic, AssocBold, AssocItalic, Underline, UnderlineStyle, UnderlineNone, Plain, FontSize,
    LatinRun, EastAsianRun, ComplexRun, // what the text that follows is written in
    Uc, U, Bin,
    Pard, AlignLeft, AlignCenter, AlignRight, AlignJustify,
    Character, FootnoteMark, Upr, Ud,
};

struct WordInfo {
    Word word;
    char16_t character = 0;
};

const std::unordered_map<std::string_view, WordInfo>& words() {
    static const std::unordered_map<std::string_view, WordInfo> table = [] {
        std::unordered_map<std::string_view, WordInfo> t = {
            {"ansi", {Word::Ansi}}, {"mac", {Word::Mac}}, {"pc", {Word::Pc}}, {"pca", {Word::Pca}},
            {"ansicpg", {Word::AnsiCpg}}, {"deff", {Word::Deff}},
            {"fonttbl", {Word::FontTable}}, {"f", {Word::Font}}, {"fcharset", {Word::FontCharset}},
            {"cpg", {Word::FontCodePage}},
            {"par", {Word::Par}}, {"sect", {Word::Par}}, {"line", {Word::Line}}, {"tab", {Word::Tab}},
            {"page", {Word::Page}}, {"cell", {Word::Cell}}, {"nestcell", {Word::Cell}},
            {"b", {Word::Bold}}, {"i", {Word::Italic}}, {"ab", {Word::AssocBold}}, {"ai", {Word::AssocItalic}},
            {"ul", {Word::Underline}},
            {"ltrch", {Word::LatinRun}}, {"loch", {Word::LatinRun}}, {"hich", {Word::LatinRun}},
            {"dbch", {Word::EastAsianRun}}, {"rtlch", {Word::ComplexRun}},
            {"ulnone", {Word::UnderlineNone}}, {"plain", {Word::Plain}}, {"fs", {Word::FontSize}},
            {"uc", {Word::Uc}}, {"u", {Word::U}}, {"bin", {Word::Bin}},
            {"pard", {Word::Pard}}, {"ql", {Word::AlignLeft}}, {"qc", {Word::AlignCenter}},
            {"qr", {Word::AlignRight}}, {"qj", {Word::AlignJustify}},
            {"chftn", {Word::FootnoteMark}}, {"upr", {Word::Upr}}, {"ud", {Word::Ud}},
            {"emdash", {Word::Character, 0x2014}}, {"endash", {Word::Character, 0x2013}},
            {"emspace", {Word::Character, 0x2003}}, {"enspace", {Word::Character, 0x2002}},
            {"qmspace", {Word::Character, 0x2005}}, {"bullet", {Word::Character, 0x2022}},
            {"lquote", {Word::Character, 0x2018}}, {"rquote", {Word::Character, 0x2019}},
            {"ldblquote", {Word::Character, 0x201C}}, {"rdblquote", {Word::Character, 0x201D}},
            {"zwj", {Word::Character, 0x200D}}, {"zwnj", {Word::Character, 0x200C}},
            {"ltrmark", {Word::Character, 0x200E}}, {"rtlmark", {Word::Character, 0x200F}},
        };
        for (std::string_view style : {"uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                                       "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd",
                                       "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(style, WordInfo{Word::UnderlineStyle});
        // Destinations that hold no text of the document, also where a writer leaves out "\*".
        for (std::string_view skip :
             {"colortbl", "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf",
              "footer", "footerl", "footerr", "footerf", "footnote", "fldinst", "xe", "tc", "txe",
              "themedata", "colorschememapping", "datastore", "latentstyles", "listtable",
              "listoverridetable", "rsidtbl", "generator", "xmlnstbl", "pgdsctbl", "filetbl",
              "revtbl", "objdata", "objclass", "nonshppict", "shpinst", "shppict", "annotation",
              "atnid", "atnauthor", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn",
              "bkmkstart", "bkmkend", "docvar", "userprops", "pntxta", "pntxtb", "template",
              "private", "do", "datafield", "fname", "falt", "panose", "mmathPr"})
            t.emplace(skip, WordInfo{Word::Skip});
        return t;
    }();
    return table;
}

// --- The reader ---------------------------------------------------------------------------------

// Writers keep bold and italic apart for three kinds of script: Latin (also Greek, Cyrillic and
// the like), East Asian, and complex scripts (right-to-left ones, Thai, Indic). Word's \b covers
// the first two and its \ab the third; LibreOffice says which kind a run is (\loch, \dbch,
// \rtlch) and sets \ab or \b for that kind alone. Where no kind was named, \b is for all text.
enum Script : quint8 { Latin, EastAsian, Complex, Unnamed };

constexpr quint8 bit(Script s) { return quint8(1u << s); }

// The kind of script a character is written in; neutral ones (blanks, digits, punctuation, marks)
// go with the run they stand in.
Script scriptOf(char32_t c, Script run) {
    if (run == Unnamed) run = Latin;
    if (c < 0x80) return (c | 0x20) >= 'a' && (c | 0x20) <= 'z' ? Latin : run;
    switch (QChar::script(c)) {
    case QChar::Script_Han: case QChar::Script_Hiragana: case QChar::Script_Katakana:
    case QChar::Script_Hangul: case QChar::Script_Bopomofo: case QChar::Script_Yi:
        return EastAsian;
    case QChar::Script_Arabic: case QChar::Script_Hebrew: case QChar::Script_Syriac:
    case QChar::Script_Thaana: case QChar::Script_Nko: case QChar::Script_Samaritan:
    case QChar::Script_Mandaic: case QChar::Script_Devanagari: case QChar::Script_Bengali:
    case QChar::Script_Gurmukhi: case QChar::Script_Gujarati: case QChar::Script_Oriya:
    case QChar::Script_Tamil: case QChar::Script_Telugu: case QChar::Script_Kannada:
    case QChar::Script_Malayalam: case QChar::Script_Sinhala: case QChar::Script_Thai:
    case QChar::Script_Lao: case QChar::Script_Tibetan: case QChar::Script_Myanmar:
    case QChar::Script_Khmer:
        return Complex;
    case QChar::Script_Common: case QChar::Script_Inherited: case QChar::Script_Unknown: {
        const QChar::Direction d = QChar::direction(c);
        return d == QChar::DirR || d == QChar::DirAL || d == QChar::DirAN ? Complex : run;
    }
    default:
        return Latin;
    }
}

struct Chars {
    quint8 bold = 0, italic = 0; // a bit for each Script
    Script run = Unnamed;        // as the last \ltrch, \rtlch, \loch, \hich or \dbch said
    bool underline = false;
    int halfPoints = 24;
    int font = -1; // -1: the document's default font
    bool operator==(const Chars&) const = default;
    // The same for every kind of script: no character needs looking at.
    bool uniform() const { return (bold == 0 || bold == 7) && (italic == 0 || italic == 7); }
    // Bold and italic of text in the given kind of script, as bits 0 and 1.
    int look(Script s) const { return (bold >> s & 1) | (italic >> s & 1) << 1; }
};

// Which kinds of script a bold or italic word sets: the regular one covers Latin and East Asian
// text unless the run says otherwise, the associated one complex scripts.
quint8 scriptsOf(Script run, bool associated) {
    if (associated) return run == EastAsian ? bit(EastAsian) : bit(Complex);
    switch (run) {
    case Latin: return bit(Latin) | bit(EastAsian);
    case Unnamed: return bit(Latin) | bit(EastAsian) | bit(Complex);
    default: return bit(run);
    }
}

void setBits(quint8& bits, quint8 which, bool on) { bits = on ? quint8(bits | which) : quint8(bits & ~which); }

enum class Destination : quint8 { Text, Skip, FontTable };

struct Group {
    Chars chars;
    Destination destination = Destination::Text;
    int uc = 1;
    Qt::Alignment align = Qt::AlignLeft;
    bool upr = false;      // holds an ANSI and a Unicode version of the same text
    bool uprChild = false; // a group right inside such a one
};

struct Font {
    QByteArray name; // bytes up to the ";"
    bool named = false;
    int charset = -1;
    int codePage = 0;
};

class Reader {
public:
    Reader(QByteArrayView in, QTextDocument& doc) : m_in(in), m_cursor(&doc) {}

    void run() {
        m_cursor.beginEditBlock(); // one change for the views, not one per run
        const qsizetype n = m_in.size();
        while (m_pos < n) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                closeGroup();
            } else if (c == '\\') {
                ++m_pos;
                control();
            } else if (c == '\r' || c == '\n') {
                ++m_pos; // line ends in RTF are no text
            } else if (skipping()) {
                skipText();
            } else {
                text();
            }
        }
        endParagraph(false);
        m_cursor.endEditBlock();
    }

private:
    bool skipping() const { return m_group.destination == Destination::Skip; }

    // The group the current one lies in.
    const Group& outer() const { return m_overflow > 0 ? m_deepest : m_stack.back(); }

    void openGroup() {
        m_fallback = 0;
        const bool outerUpr = m_group.upr;
        if (m_overflow > 0 || m_stack.size() >= kMaxDepth) {
            // Past the deepest kept group, groups are only counted: each one that closes goes
            // back to the state of that group.
            if (m_overflow++ == 0) m_deepest = m_group;
        } else {
            m_stack.push_back(m_group);
        }
        m_group.upr = false;
        m_group.uprChild = outerUpr;
        // Of the two versions of an \upr group only the Unicode one, \ud, is shown.
        if (outerUpr) m_group.destination = Destination::Skip;
    }

    void closeGroup() {
        m_fallback = 0;
        m_star = false;
        if (m_overflow == 0 && m_stack.empty()) return; // nothing open: reading has ended
        if (m_group.destination == Destination::FontTable && outer().destination != Destination::FontTable)
            m_fontEntry = -1;
        m_group = outer();
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        m_stack.pop_back();
        // The document's own group is closed: what follows is no part of it, as word processors
        // read it too.
        if (m_stack.empty()) m_pos = m_in.size();
    }

    void skipText() {
        const qsizetype n = m_in.size();
        while (m_pos < n) {
            const char c = m_in[m_pos];
            if (c == '{' || c == '}' || c == '\\') return;
            ++m_pos;
        }
    }

    // A run of plain text bytes.
    void text() {
        const qsizetype n = m_in.size();
        qsizetype end = m_pos;
        while (end < n) {
            const char c = m_in[end];
            if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n') break;
            ++end;
        }
        QByteArrayView run = m_in.sliced(m_pos, end - m_pos);
        m_pos = end;
        if (m_fallback > 0) {
            const qsizetype skipped = std::min<qsizetype>(m_fallback, run.size());
            m_fallback -= int(skipped);
            run = run.sliced(skipped);
        }
        // Tabs are tabs; other control characters are no text.
        qsizetype from = 0;
        for (qsizetype i = 0; i < run.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(run[i]);
            if (c >= 0x20) continue;
            textBytes(run.sliced(from, i - from));
            if (c == '\t') character(u'\t');
            from = i + 1;
        }
        textBytes(run.sliced(from));
    }

    void textBytes(QByteArrayView bytes) {
        if (bytes.isEmpty()) return;
        if (m_group.destination == Destination::FontTable) {
            fontName(bytes);
            return;
        }
        useChars();
        resolveHighSurrogate();
        m_bytes.append(bytes);
        m_blockHasText = true;
    }

    void fontName(QByteArrayView bytes) {
        if (m_fontEntry < 0) return;
        Font& font = m_fonts[m_fontEntry];
        if (font.named) return;
        const qsizetype end = bytes.indexOf(';');
        font.name.append(end < 0 ? bytes : bytes.first(end));
        if (end >= 0) font.named = true;
    }

    // One unit of a \uN's fallback: true when it is to be passed over.
    bool fallback() {
        if (m_fallback <= 0) return false;
        --m_fallback;
        return true;
    }

    void control() {
        const qsizetype n = m_in.size();
        if (m_pos >= n) return;
        const char c = m_in[m_pos];
        if (!isLetter(c)) {
            ++m_pos;
            symbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < n && isLetter(m_in[m_pos])) ++m_pos;
        const QByteArrayView name = m_in.sliced(start, m_pos - start);
        bool negative = false, hasParameter = false;
        if (m_pos + 1 < n && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        qint64 value = 0;
        while (m_pos < n && isDigit(m_in[m_pos])) {
            if (value < std::numeric_limits<int>::max()) value = value * 10 + (m_in[m_pos] - '0');
            hasParameter = true;
            ++m_pos;
        }
        value = std::min<qint64>(value, std::numeric_limits<int>::max());
        if (m_pos < n && m_in[m_pos] == ' ') ++m_pos; // the delimiter belongs to the word
        word(name, hasParameter, int(negative ? -value : value));
    }

    void symbol(char c) {
        if (c == '\'') {
            int byte = 0, digits = 0;
            while (digits < 2 && m_pos < m_in.size() && hexValue(m_in[m_pos]) >= 0) {
                byte = byte * 16 + hexValue(m_in[m_pos++]);
                ++digits;
            }
            if (digits == 0 || skipping() || fallback()) return;
            if (byte < 0x20) {
                if (byte == '\t') character(u'\t'); // other control characters are no text
                return;
            }
            const char b = char(byte);
            textBytes(QByteArrayView(&b, 1));
            return;
        }
        if (c == '*') {
            m_star = true;
            return;
        }
        if (skipping() || fallback()) return;
        if (m_group.destination == Destination::FontTable && c != '\\' && c != '{' && c != '}') return;
        switch (c) {
        case '\\': case '{': case '}': textBytes(QByteArrayView(&c, 1)); break;
        case '~': character(0x00A0); break;
        case '-': character(0x00AD); break;
        case '_': character(0x2011); break;
        case '\t': character(u'\t'); break;
        case '\n': case '\r': endParagraph(true); break; // as TextEdit ends its paragraphs
        default: break; // \: and \| mark index entries and formulas
        }
    }

    void word(QByteArrayView name, bool hasParameter, int value) {
        const bool star = std::exchange(m_star, false);
        const auto& table = words();
        const auto found = table.find(std::string_view(name.data(), size_t(name.size())));
        const WordInfo info = found == table.end() ? WordInfo{Word::Unknown} : found->second;
        if (info.word == Word::Bin) {
            // Raw bytes follow, whatever they look like.
            m_pos += std::clamp<qint64>(hasParameter ? value : 0, 0, m_in.size() - m_pos);
            return;
        }
        if (info.word == Word::Ud && m_group.uprChild && (m_overflow > 0 || !m_stack.empty())) {
            m_group.destination = outer().destination;
            return;
        }
        if (skipping()) return;
        if (star) {
            m_group.destination = Destination::Skip;
            return;
        }
        if (m_group.destination == Destination::FontTable) {
            fontTableWord(info.word, value);
            return;
        }
        if (fallback()) return;
        Chars& chars = m_group.chars;
        const bool on = !hasParameter || value != 0;
        switch (info.word) {
        case Word::Ansi: m_codePage = 1252; break;
        case Word::Mac: m_codePage = 10000; break;
        case Word::Pc: m_codePage = 437; break;
        case Word::Pca: m_codePage = 850; break;
        case Word::AnsiCpg: if (value > 0) m_codePage = value; break;
        case Word::Deff: m_defaultFont = value; break;
        case Word::FontTable: m_group.destination = Destination::FontTable; break;
        case Word::Font: chars.font = value; break;
        case Word::Skip: m_group.destination = Destination::Skip; break;
        case Word::Par: endParagraph(true); break;
        case Word::Cell: endParagraph(true); break;
        case Word::Page: if (m_blockHasText) endParagraph(true); break;
        case Word::Line: character(QChar::LineSeparator); break;
        case Word::Tab: character(u'\t'); break;
        case Word::Bold: setBits(chars.bold, scriptsOf(chars.run, false), on); break;
        case Word::Italic: setBits(chars.italic, scriptsOf(chars.run, false), on); break;
        case Word::AssocBold: setBits(chars.bold, scriptsOf(chars.run, true), on); break;
        case Word::AssocItalic: setBits(chars.italic, scriptsOf(chars.run, true), on); break;
        case Word::LatinRun: chars.run = Latin; break;
        case Word::EastAsianRun: chars.run = EastAsian; break;
        case Word::ComplexRun: chars.run = Complex; break;
        case Word::Underline: case Word::UnderlineStyle: chars.underline = on; break;
        case Word::UnderlineNone: chars.underline = false; break;
        case Word::Plain: chars = Chars(); break;
        case Word::FontSize: chars.halfPoints = value > 0 ? std::clamp(value, 2, 3276) : 24; break;
        case Word::Uc: m_group.uc = std::clamp(value, 0, 16); break;
        case Word::U: if (hasParameter) unicode(value); break;
        case Word::Pard: m_group.align = Qt::AlignLeft; break;
        case Word::AlignLeft: m_group.align = Qt::AlignLeft; break;
        case Word::AlignCenter: m_group.align = Qt::AlignHCenter; break;
        case Word::AlignRight: m_group.align = Qt::AlignRight; break;
        case Word::AlignJustify: m_group.align = Qt::AlignJustify; break;
        case Word::Character: character(info.character); break;
        case Word::FootnoteMark: append(QString::number(++m_footnotes)); break;
        case Word::Upr: m_group.upr = true; break;
        default: break; // what is not shown, or not known: RTF readers pass over such words
        }
    }

    void fontTableWord(Word word, int value) {
        switch (word) {
        case Word::Font:
            m_fontEntry = value;
            m_fonts[value] = Font();
            m_families.remove(value);
            break;
        case Word::FontCharset:
            if (m_fontEntry >= 0) m_fonts[m_fontEntry].charset = value;
            break;
        case Word::FontCodePage:
            if (m_fontEntry >= 0) m_fonts[m_fontEntry].codePage = value;
            break;
        case Word::Skip:
            m_group.destination = Destination::Skip;
            break;
        default:
            break;
        }
    }

    void unicode(int value) {
        const char16_t c = char16_t(value < 0 ? value + 65536 : value);
        if (QChar::isHighSurrogate(c)) {
            append(QString()); // a high half still waiting is shown as replaced
            m_highSurrogate = c;
        } else if (QChar::isLowSurrogate(c) && m_highSurrogate) {
            useChars();
            flushBytes();
            m_run += QChar(std::exchange(m_highSurrogate, char16_t(0)));
            m_run += QChar(c);
        } else if (QChar::isLowSurrogate(c)) {
            character(QChar::ReplacementCharacter);
        } else if (c == 0xFDD0 || c == 0xFDD1) {
            character(QChar::ReplacementCharacter); // the document's own frame marks
        } else if (c >= 0x20 || c == u'\t') {
            character(c); // other control characters are no text
        }
        m_fallback = m_group.uc; // the fallback the writer put after it, for older readers
    }

    void character(char16_t c) { append(QString(QChar(c))); }

    void append(const QString& text) {
        if (m_group.destination != Destination::Text) return; // a font table holds only names
        useChars();
        flushBytes();
        resolveHighSurrogate();
        m_run += text;
        m_blockHasText = true;
    }

    // A half surrogate pair is shown as the replacement character.
    void resolveHighSurrogate() {
        if (!m_highSurrogate) return;
        m_highSurrogate = 0;
        flushBytes();
        m_run += QChar(QChar::ReplacementCharacter);
    }

    // Text from here on has the group's character format.
    void useChars() {
        if (m_group.chars == m_runChars) return;
        flushRun();
        m_runChars = m_group.chars;
    }

    const Font* font(int index) const {
        const auto it = m_fonts.find(index < 0 ? m_defaultFont : index);
        return it == m_fonts.end() ? nullptr : &it.value();
    }

    int codePageOf(int fontIndex) const {
        const Font* f = font(fontIndex);
        if (f && f->codePage > 0) return f->codePage;
        const int fromCharset = f ? codePageOfCharset(f->charset) : 0;
        return fromCharset != 0 ? fromCharset : m_codePage;
    }

    void flushBytes() {
        if (m_bytes.isEmpty()) return;
        m_run += decode(m_bytes, codePageOf(m_runChars.font));
        m_bytes.clear();
    }

    void flushRun() {
        flushBytes();
        if (m_run.isEmpty()) return;
        if (m_runChars.uniform()) {
            m_cursor.insertText(m_run, formatOf(m_runChars, m_runChars.look(Latin)));
        } else {
            // Pieces of one look, as each character's kind of script has it.
            qsizetype start = 0;
            int look = -1;
            for (qsizetype i = 0; i < m_run.size();) {
                char32_t c = m_run[i].unicode();
                qsizetype length = 1;
                if (QChar::isHighSurrogate(c) && i + 1 < m_run.size() && m_run[i + 1].isLowSurrogate()) {
                    c = QChar::surrogateToUcs4(m_run[i], m_run[i + 1]);
                    length = 2;
                }
                const int now = m_runChars.look(scriptOf(c, m_runChars.run));
                if (now != look && i > start) {
                    m_cursor.insertText(m_run.sliced(start, i - start), formatOf(m_runChars, look));
                    start = i;
                }
                look = now;
                i += length;
            }
            m_cursor.insertText(m_run.sliced(start), formatOf(m_runChars, look));
        }
        m_run.clear();
    }

    // Notes switch between few formats many times: each is made once.
    // look: bold and italic as Chars::look gives them.
    const QTextCharFormat& formatOf(const Chars& chars, int look) {
        const quint64 key = quint64(look & 3) | quint64(chars.underline) << 2 |
                            quint64(chars.halfPoints) << 3 | quint64(quint32(chars.font)) << 32;
        auto it = m_formats.find(key);
        if (it == m_formats.end()) it = m_formats.insert(key, format(chars, look));
        return *it;
    }

    QTextCharFormat format(const Chars& chars, int look) {
        QTextCharFormat f;
        f.setFontWeight(look & 1 ? QFont::Bold : QFont::Normal);
        f.setFontItalic(look & 2);
        f.setFontUnderline(chars.underline);
        f.setFontPointSize(chars.halfPoints / 2.0);
        const int index = chars.font < 0 ? m_defaultFont : chars.font;
        if (const Font* known = font(index)) {
            auto family = m_families.find(index);
            if (family == m_families.end()) family = m_families.insert(index, familyOf(*known));
            if (!family->isEmpty()) f.setFontFamilies(QStringList{*family});
        }
        return f;
    }

    QString familyOf(const Font& font) const {
        const int own = font.codePage > 0 ? font.codePage : codePageOfCharset(font.charset);
        return decode(font.name, own > 0 ? own : m_codePage).trimmed();
    }

    void endParagraph(bool more) {
        resolveHighSurrogate();
        flushRun();
        // A new block takes the format of the one before; only a change is written.
        if (m_block.alignment() != m_group.align) {
            m_block.setAlignment(m_group.align);
            m_cursor.setBlockFormat(m_block);
        }
        if (!more) return;
        m_cursor.insertBlock(m_block, formatOf(m_runChars, m_runChars.look(scriptOf(' ', m_runChars.run))));
        m_blockHasText = false;
    }

    QByteArrayView m_in;
    qsizetype m_pos = 0;
    QTextCursor m_cursor;

    Group m_group;
    std::vector<Group> m_stack;
    int m_overflow = 0; // groups open beyond the deepest kept
    Group m_deepest;    // the state of the deepest kept group, while groups lie beyond it
    int m_fallback = 0; // units of a \uN's fallback still to pass over
    bool m_star = false;

    int m_codePage = 1252;
    int m_defaultFont = -1;
    QHash<int, Font> m_fonts;
    QHash<int, QString> m_families; // decoded names, by font number
    QHash<quint64, QTextCharFormat> m_formats;
    int m_fontEntry = -1;

    QByteArray m_bytes; // text in the code page, decoded when the run ends
    QString m_run;      // decoded text of the current run
    Chars m_runChars;
    char16_t m_highSurrogate = 0;
    bool m_blockHasText = false;
    QTextBlockFormat m_block; // the format of the block being read
    int m_footnotes = 0;
};

} // namespace

bool read(QByteArrayView rtf, QTextDocument& doc) {
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    qsizetype start = 0;
    if (rtf.startsWith("\xEF\xBB\xBF")) start = 3;
    while (start < rtf.size() && QChar::isSpace(uchar(rtf[start]))) ++start;
    const bool isRtf = rtf.sliced(start).startsWith("{\\rtf");
    if (isRtf) {
        Reader(rtf.sliced(start), doc).run();
    }
    doc.setUndoRedoEnabled(undo);
    return isRtf;
}

bool load(const QString& path, QTextDocument& doc, QString* why) {
    QFile file(path);
    const auto fail = [&](const QString& reason) {
        doc.clear();
        if (why) *why = reason;
        return false;
    };
    if (!file.open(QIODevice::ReadOnly)) return fail(file.errorString());
    const QByteArray bytes = file.read(kMaxFileBytes);
    if (file.error() != QFileDevice::NoError) return fail(file.errorString());
    if (!read(bytes, doc)) return fail(QStringLiteral("The file holds no rich text (RTF)."));
    return true;
}

QString plainText(const QTextDocument& doc) {
    QString text = doc.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace olv::rtf
