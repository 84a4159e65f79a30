#include "rtf.h"

#include "charset.h"

#include <QHash>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <cmath>

namespace olv::rtf {

namespace {

struct Chars {
    bool bold = false, italic = false, underline = false;
    int font = 0;
    int halfPoints = 24;
    bool operator==(const Chars&) const = default;
};

// The Windows-1252 byte of each character that has one beyond ASCII.
const QHash<char16_t, uchar>& cp1252Bytes() {
    static const QHash<char16_t, uchar> bytes = [] {
        QHash<char16_t, uchar> map;
        for (int b = 0xA0; b <= 0xFF; ++b) map.insert(char16_t(b), uchar(b));
        for (int b = 0x80; b <= 0x9F; ++b)
            if (const char16_t c = windows1252(uchar(b)); c != char16_t(b)) map.insert(c, uchar(b));
        return map;
    }();
    return bytes;
}

void appendHex(QByteArray& out, uchar byte) {
    static const char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// \uN takes a signed 16-bit number.
void appendUnicode(QByteArray& out, char16_t c, bool withByteFallback) {
    out += "\\u";
    out += QByteArray::number(c >= 0x8000 ? int(c) - 0x10000 : int(c));
    const auto byte = cp1252Bytes().constFind(c);
    if (withByteFallback && byte != cp1252Bytes().constEnd()) appendHex(out, *byte);
    else out += '?';
}

class Writer {
public:
    explicit Writer(const QTextDocument& doc) : m_doc(doc) {}

    QByteArray run() {
        m_fonts << defaultFamily();
        for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) fontIndex(familyOf(it.fragment().charFormat()));

        m_out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl";
        for (int i = 0; i < m_fonts.size(); ++i) {
            m_out += "{\\f" + QByteArray::number(i) + (isSwiss(m_fonts[i]) ? "\\fswiss" : "\\fnil") + "\\fcharset0 ";
            fontName(m_fonts[i]);
            m_out += ";}";
        }
        m_out += "}\r\n{\\*\\generator Olv;}\\viewkind4\r\n\\pard\\plain\\f0\\fs24";
        m_delimit = true;

        bool first = true;
        for (QTextBlock block = m_doc.begin(); block.isValid(); block = block.next()) {
            if (!first) {
                m_out += "\\par\r\n\\pard";
                m_delimit = true;
            }
            first = false;
            const Qt::Alignment align = block.blockFormat().alignment();
            if (align & Qt::AlignHCenter) word("\\qc");
            else if (align & Qt::AlignJustify) word("\\qj");
            else if (align & Qt::AlignRight) word("\\qr");
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                useChars(charsOf(fragment.charFormat()));
                text(fragment.text());
            }
        }
        m_out += "}\r\n"; // no closing \par: it would add an empty paragraph
        return m_out;
    }

private:
    QString defaultFamily() const {
        const QString family = m_doc.defaultFont().family();
        return family.isEmpty() ? QStringLiteral("Arial") : family;
    }

    QString familyOf(const QTextCharFormat& format) const {
        const QString family = format.fontFamilies().toStringList().value(0);
        return family.isEmpty() ? defaultFamily() : family;
    }

    static bool isSwiss(const QString& family) {
        return family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 ||
               family.compare(QLatin1String("Helvetica"), Qt::CaseInsensitive) == 0;
    }

    int fontIndex(const QString& family) {
        qsizetype i = m_fonts.indexOf(family);
        if (i < 0) {
            m_fonts << family;
            i = m_fonts.size() - 1;
        }
        return int(i);
    }

    Chars charsOf(const QTextCharFormat& format) {
        double points = format.fontPointSize();
        if (points <= 0) points = m_doc.defaultFont().pointSizeF();
        if (points <= 0) points = 12;
        return {format.fontWeight() >= QFont::DemiBold, format.fontItalic(), format.fontUnderline(),
                fontIndex(familyOf(format)), std::clamp(int(std::lround(points * 2)), 2, 3276)};
    }

    void word(const QByteArray& controlWord) {
        m_out += controlWord;
        m_delimit = true;
    }

    void useChars(const Chars& chars) {
        if (chars.bold != m_chars.bold) word(chars.bold ? "\\b" : "\\b0");
        if (chars.italic != m_chars.italic) word(chars.italic ? "\\i" : "\\i0");
        if (chars.underline != m_chars.underline) word(chars.underline ? "\\ul" : "\\ulnone");
        if (chars.font != m_chars.font) word("\\f" + QByteArray::number(chars.font));
        if (chars.halfPoints != m_chars.halfPoints) word("\\fs" + QByteArray::number(chars.halfPoints));
        m_chars = chars;
    }

    // A control symbol needs no delimiter, and ends a control word before it.
    void symbol(const char* controlSymbol) {
        m_out += controlSymbol;
        m_delimit = false;
    }

    // Ends a control word before text that could be read as part of it.
    void delimit() {
        if (m_delimit) m_out += ' ';
        m_delimit = false;
    }

    void text(const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c == u'\t') {
                word("\\tab");
            } else if (c == QChar::LineSeparator) {
                word("\\line");
            } else if (c == 0x00A0) {
                symbol("\\~");
            } else if (c == 0x00AD) {
                symbol("\\-");
            } else if (c == 0x2011) {
                symbol("\\_");
            } else if (c < 0x20 || c == 0x7F || c == QChar::ObjectReplacementCharacter || c == 0xFDD0 ||
                       c == 0xFDD1) {
                // Control characters, pictures and frame marks are no text of the note.
            } else if (c < 0x80) {
                delimit();
                if (c == u'\\' || c == u'{' || c == u'}') m_out += '\\';
                m_out += char(c);
            } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                appendUnicode(m_out, c, false);
                appendUnicode(m_out, text[++i].unicode(), false);
                m_delimit = false; // the fallback ends it
            } else {
                appendUnicode(m_out, c, true);
                m_delimit = false;
            }
        }
    }

    void fontName(const QString& name) {
        for (const QChar ch : name) {
            const char16_t c = ch.unicode();
            if (c == u';' || c < 0x20) continue;
            if (c == u'\\' || c == u'{' || c == u'}') m_out += '\\';
            if (c < 0x80) {
                m_out += char(c);
            } else if (const auto byte = cp1252Bytes().constFind(c); byte != cp1252Bytes().constEnd()) {
                appendHex(m_out, *byte);
            } else {
                m_out += '?';
            }
        }
    }

    const QTextDocument& m_doc;
    QStringList m_fonts;
    QByteArray m_out;
    Chars m_chars;
    bool m_delimit = false;
};

} // namespace

QByteArray write(const QTextDocument& doc) { return Writer(doc).run(); }

} // namespace olv::rtf
