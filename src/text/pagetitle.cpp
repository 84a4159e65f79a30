#include "pagetitle.h"

#include "charset.h"

#include <QHash>
#include <QStringView>
#include <array>

namespace olv {

namespace {

// Latin-1 entity names, in code point order from U+00A0.
constexpr std::array<const char*, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct NamedReference {
    const char* name;
    char16_t code;
};

// The markup names old pages also write without the semicolon.
constexpr NamedReference kLegacyNames[] = {
    {"amp", u'&'}, {"lt", u'<'}, {"gt", u'>'},   {"quot", u'"'},   {"AMP", u'&'},
    {"LT", u'<'},  {"GT", u'>'}, {"QUOT", u'"'}, {"COPY", 0x00A9}, {"REG", 0x00AE},
};
constexpr qsizetype kLongestLegacyName = 6; // "frac12", "plusmn", ...

// Names that begin with a legacy one, so that "&notin;" is not read as "&not" and "in;".
constexpr NamedReference kLongerNames[] = {
    {"notin", 0x2209},  {"notni", 0x220C},  {"parallel", 0x2225},      {"centerdot", 0x00B7},
    {"copysr", 0x2117}, {"timesb", 0x22A0}, {"divideontimes", 0x22C7}, {"ltimes", 0x22C9},
    {"ltdot", 0x22D6},  {"gtdot", 0x22D7},
};

// The other names that turn up in page titles: punctuation, symbols, Greek letters.
constexpr NamedReference kOtherNames[] = {
    {"apos", u'\''},     {"OElig", 0x0152},   {"oelig", 0x0153},  {"Scaron", 0x0160},
    {"scaron", 0x0161},  {"Yuml", 0x0178},    {"fnof", 0x0192},   {"circ", 0x02C6},
    {"tilde", 0x02DC},   {"ensp", 0x2002},    {"emsp", 0x2003},   {"thinsp", 0x2009},
    {"zwnj", 0x200C},    {"zwj", 0x200D},     {"lrm", 0x200E},    {"rlm", 0x200F},
    {"ndash", 0x2013},   {"mdash", 0x2014},   {"lsquo", 0x2018},  {"rsquo", 0x2019},
    {"sbquo", 0x201A},   {"ldquo", 0x201C},   {"rdquo", 0x201D},  {"bdquo", 0x201E},
    {"dagger", 0x2020},  {"Dagger", 0x2021},  {"bull", 0x2022},   {"hellip", 0x2026},
    {"permil", 0x2030},  {"prime", 0x2032},   {"Prime", 0x2033},  {"lsaquo", 0x2039},
    {"rsaquo", 0x203A},  {"oline", 0x203E},   {"frasl", 0x2044},  {"euro", 0x20AC},
    {"trade", 0x2122},   {"larr", 0x2190},    {"uarr", 0x2191},   {"rarr", 0x2192},
    {"darr", 0x2193},    {"harr", 0x2194},    {"minus", 0x2212},  {"le", 0x2264},
    {"ge", 0x2265},      {"ne", 0x2260},      {"asymp", 0x2248},  {"infin", 0x221E},
    {"hearts", 0x2665},  {"Alpha", 0x0391},   {"Beta", 0x0392},   {"Gamma", 0x0393},
    {"Delta", 0x0394},   {"Epsilon", 0x0395}, {"Zeta", 0x0396},   {"Eta", 0x0397},
    {"Theta", 0x0398},   {"Iota", 0x0399},    {"Kappa", 0x039A},  {"Lambda", 0x039B},
    {"Mu", 0x039C},      {"Nu", 0x039D},      {"Xi", 0x039E},     {"Omicron", 0x039F},
    {"Pi", 0x03A0},      {"Rho", 0x03A1},     {"Sigma", 0x03A3},  {"Tau", 0x03A4},
    {"Upsilon", 0x03A5}, {"Phi", 0x03A6},     {"Chi", 0x03A7},    {"Psi", 0x03A8},
    {"Omega", 0x03A9},   {"alpha", 0x03B1},   {"beta", 0x03B2},   {"gamma", 0x03B3},
    {"delta", 0x03B4},   {"epsilon", 0x03B5}, {"zeta", 0x03B6},   {"eta", 0x03B7},
    {"theta", 0x03B8},   {"iota", 0x03B9},    {"kappa", 0x03BA},  {"lambda", 0x03BB},
    {"mu", 0x03BC},      {"nu", 0x03BD},      {"xi", 0x03BE},     {"omicron", 0x03BF},
    {"pi", 0x03C0},      {"rho", 0x03C1},     {"sigmaf", 0x03C2}, {"sigma", 0x03C3},
    {"tau", 0x03C4},     {"upsilon", 0x03C5}, {"phi", 0x03C6},    {"chi", 0x03C7},
    {"psi", 0x03C8},     {"omega", 0x03C9},
};

// The names browsers also take without the semicolon.
const QHash<QString, char16_t>& legacyReferences() {
    static const QHash<QString, char16_t> table = [] {
        QHash<QString, char16_t> t;
        for (std::size_t i = 0; i < kLatin1Names.size(); ++i)
            t.insert(QString::fromLatin1(kLatin1Names[i]), char16_t(0xA0 + i));
        for (const NamedReference& r : kLegacyNames)
            t.insert(QString::fromLatin1(r.name), r.code);
        return t;
    }();
    return table;
}

const QHash<QString, char16_t>& namedReferences() {
    static const QHash<QString, char16_t> table = [] {
        QHash<QString, char16_t> t = legacyReferences();
        for (const NamedReference& r : kLongerNames)
            t.insert(QString::fromLatin1(r.name), r.code);
        for (const NamedReference& r : kOtherNames)
            t.insert(QString::fromLatin1(r.name), r.code);
        return t;
    }();
    return table;
}

bool isAsciiAlpha(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isAsciiAlnum(QChar c) {
    return isAsciiAlpha(c) || (c >= u'0' && c <= u'9');
}
bool isHtmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

int digitValue(QChar c, int base) {
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (base == 16 && c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

// The reference that starts with the '&' at i: its characters, and how many it used (0 when
// the '&' starts no reference).
QString referenceAt(const QString& t, qsizetype i, qsizetype& used) {
    used = 0;
    qsizetype j = i + 1;
    if (j < t.size() && t[j] == u'#') {
        ++j;
        int base = 10;
        if (j < t.size() && (t[j] == u'x' || t[j] == u'X')) {
            base = 16;
            ++j;
        }
        const qsizetype digits = j;
        char32_t code = 0;
        for (int d; j < t.size() && (d = digitValue(t[j], base)) >= 0; ++j)
            code = std::min<char32_t>(code * base + d, 0x110000); // capped: no overflow
        if (j == digits) return {};
        if (j < t.size() && t[j] == u';') ++j;
        used = j - i;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        // Pages written on Windows put their code page's bytes into numeric references.
        if (code >= 0x80 && code <= 0x9F) code = windows1252(static_cast<unsigned char>(code));
        return QString::fromUcs4(&code, 1);
    }
    while (j < t.size() && isAsciiAlnum(t[j]))
        ++j;
    if (j == i + 1) return {};
    const QString name = t.mid(i + 1, j - i - 1);
    if (j < t.size() && t[j] == u';') {
        const auto found = namedReferences().constFind(name);
        if (found != namedReferences().constEnd()) {
            used = j - i + 1;
            return QString(QChar(*found));
        }
    }
    // Old pages leave the semicolon off: browsers then take the longest legacy name the
    // letters start with, so "&copy2024" is "©2024" and "&ampx" is "&x".
    for (qsizetype n = std::min(name.size(), kLongestLegacyName); n >= 2; --n) {
        const auto found = legacyReferences().constFind(name.first(n));
        if (found != legacyReferences().constEnd()) {
            used = n + 1;
            return QString(QChar(*found));
        }
    }
    return {};
}

QString foldWhiteSpace(const QString& text) {
    QString folded;
    folded.reserve(text.size());
    bool gap = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            gap = true;
            continue;
        }
        if (gap && !folded.isEmpty()) folded += u' ';
        gap = false;
        folded += c;
    }
    return folded;
}

// Index of the '>' that ends a tag, searching from i; quoted attribute values may hold '>'.
qsizetype tagEnd(const QString& s, qsizetype i) {
    QChar quote;
    bool afterEquals = false;
    for (; i < s.size(); ++i) {
        const QChar c = s[i];
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == u'>') return i;
        if (afterEquals && (c == u'"' || c == u'\'')) {
            quote = c;
            afterEquals = false;
        } else if (c == u'=') {
            afterEquals = true;
        } else if (!isHtmlSpace(c)) {
            afterEquals = false;
        }
    }
    return -1;
}

// Index of the end tag "</name" (any letter case, then a blank, '/' or '>') from i on.
qsizetype endTag(const QString& s, qsizetype from, const QString& name) {
    for (qsizetype i = s.indexOf(u"</", from); i >= 0; i = s.indexOf(u"</", i + 2)) {
        if (QStringView(s).mid(i + 2, name.size()).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype after = i + 2 + name.size();
        if (after >= s.size() || isHtmlSpace(s[after]) || s[after] == u'/' || s[after] == u'>')
            return i;
    }
    return -1;
}

// Elements whose content is no part of the document's head: a "<title>" inside them belongs to
// a script's string or a picture.
bool contentSkipped(const QString& name) {
    static const QStringList skipped = {
        QStringLiteral("script"),   QStringLiteral("style"),    QStringLiteral("svg"),
        QStringLiteral("math"),     QStringLiteral("template"), QStringLiteral("textarea"),
        QStringLiteral("xmp"),      QStringLiteral("iframe"),   QStringLiteral("noembed"),
        QStringLiteral("noframes"),
    };
    return skipped.contains(name);
}

} // namespace

QString decodePage(const QByteArray& bytes, QByteArrayView contentType) {
    const QByteArray encoding = pageEncoding(bytes, contentType);
    QByteArrayView view(bytes);
    // The byte-order mark chose the encoding and is no part of the text.
    if (encoding == "UTF-8" && view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    else if (encoding.startsWith("UTF-16") &&
             (view.startsWith("\xFF\xFE") || view.startsWith("\xFE\xFF")))
        view = view.sliced(2);
    return decodeAs(view, encoding);
}

QString decodeCharacterReferences(const QString& text) {
    if (!text.contains(u'&')) return text;
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        qsizetype used = 0;
        const QString replacement = text[i] == u'&' ? referenceAt(text, i, used) : QString();
        if (used == 0) {
            decoded += text[i++];
        } else {
            decoded += replacement;
            i += used;
        }
    }
    return decoded;
}

QString pageTitleOfText(const QString& s) {
    const QString title = QStringLiteral("title");
    for (qsizetype pos = s.indexOf(u'<'); pos >= 0; pos = s.indexOf(u'<', pos)) {
        if (QStringView(s).mid(pos, 4) == u"<!--") {
            // Searched from the opening's dashes: "<!-->" and "<!--->" are empty comments.
            const qsizetype end = s.indexOf(u"-->", pos + 2);
            if (end < 0) return {};
            pos = end + 3;
            continue;
        }
        const QChar next = pos + 1 < s.size() ? s[pos + 1] : QChar();
        if (next == u'!' || next == u'?') { // doctype, processing instruction
            const qsizetype end = s.indexOf(u'>', pos);
            if (end < 0) return {};
            pos = end + 1;
            continue;
        }
        if (!isAsciiAlpha(next)) { // an end tag, or a '<' that opens no tag
            ++pos;
            continue;
        }
        qsizetype nameEnd = pos + 1;
        while (nameEnd < s.size() && !isHtmlSpace(s[nameEnd]) && s[nameEnd] != u'/' &&
               s[nameEnd] != u'>')
            ++nameEnd;
        const QString name = s.mid(pos + 1, nameEnd - pos - 1).toLower();
        const qsizetype end = tagEnd(s, nameEnd);
        if (end < 0) return {};
        if (name == title) {
            const qsizetype close = endTag(s, end + 1, title);
            if (close < 0) return {};
            return foldWhiteSpace(decodeCharacterReferences(s.mid(end + 1, close - end - 1)));
        }
        pos = end + 1;
        if (s[end - 1] != u'/' && contentSkipped(name)) {
            const qsizetype close = endTag(s, pos, name);
            if (close < 0) return {};
            pos = close + 2;
        }
    }
    return {};
}

QString pageTitle(const QByteArray& page, QByteArrayView contentType) {
    return pageTitleOfText(decodePage(page, contentType));
}

} // namespace olv
