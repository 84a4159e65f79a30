#pragma once
// A rich-text document as its runs of like formatting, for comparing what notes hold.

#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

namespace olv::test {

// "BIU|text" per run, "-" for each of bold, italic and underline that is off; "/" between
// paragraphs. With withFont, "BIU|family|points|text", the document's default filling in.
inline QStringList runs(const QTextDocument& doc, bool withFont = false) {
    QStringList out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin()) out << QStringLiteral("/");
        QString current, text;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QString flags = QString(f.fontWeight() >= QFont::DemiBold ? u'B' : u'-') +
                                  (f.fontItalic() ? u'I' : u'-') + (f.fontUnderline() ? u'U' : u'-');
            QString look = flags;
            if (withFont) {
                const QString family = f.fontFamilies().toStringList().value(0);
                look += u'|' + (family.isEmpty() ? doc.defaultFont().family() : family) + u'|' +
                        QString::number(f.fontPointSize() > 0 ? f.fontPointSize() : doc.defaultFont().pointSizeF());
            }
            if (look != current && !text.isEmpty()) {
                out << current + u'|' + text;
                text.clear();
            }
            current = look;
            text += it.fragment().text();
        }
        if (!text.isEmpty()) out << current + u'|' + text;
    }
    return out;
}

} // namespace olv::test
