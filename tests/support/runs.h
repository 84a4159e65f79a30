#pragma once
// A rich-text document as its runs of like formatting, for comparing what notes hold.

#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>

namespace olv::test {

// "BIU|text" per run, "-" for each of bold, italic and underline that is off; "/" between
// paragraphs. Fonts and sizes are left out.
inline QStringList runs(const QTextDocument& doc) {
    QStringList out;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block != doc.begin()) out << QStringLiteral("/");
        QString current, text;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QString flags = QString(f.fontWeight() >= QFont::DemiBold ? u'B' : u'-') +
                                  (f.fontItalic() ? u'I' : u'-') + (f.fontUnderline() ? u'U' : u'-');
            if (flags != current && !text.isEmpty()) {
                out << current + u'|' + text;
                text.clear();
            }
            current = flags;
            text += it.fragment().text();
        }
        if (!text.isEmpty()) out << current + u'|' + text;
    }
    return out;
}

} // namespace olv::test
