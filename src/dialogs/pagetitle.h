#pragma once
// Finding the title of a downloaded web page, for the name box of the new URL dialog.
// QtCore only, so that it can be checked on its own against real pages.

#include <QByteArray>
#include <QString>

namespace olv {

// The page's bytes as text: UTF-8 (a byte-order mark is skipped), UTF-16 when it starts with
// its byte-order mark, and Windows-1252 when the bytes are not valid UTF-8. A multi-byte
// sequence cut off at the very end (the download stops after its first megabyte) is dropped.
QString decodePage(const QByteArray& bytes);

// Replaces HTML character references (&amp; &eacute; &#8211; &#x27; ...) by the characters
// they stand for; an unknown name is left as written.
QString decodeCharacterReferences(const QString& text);

// The text of the page's first title element, wherever it stands (also with attributes on the
// tag or line breaks inside it), with references decoded and every run of white space folded
// to a single blank, trimmed. Script, style and SVG content is passed over, so a "<title>"
// written inside a script or an SVG picture is not taken. Empty when there is no title.
QString pageTitle(const QByteArray& page);
QString pageTitleOfText(const QString& page);

} // namespace olv
