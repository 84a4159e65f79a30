#pragma once
// Finding the title of a downloaded web page, for the name box of the new URL dialog.
// QtCore only, so that it can be checked on its own against real pages.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace olv {

// The page's bytes as text, in the encoding its byte-order mark, the charset of the HTTP
// Content-Type header (contentType, the header's value), its own meta declaration or a guess
// names (see pageEncoding). A multi-byte sequence cut off at the very end (the download stops
// after its first megabyte) is dropped.
QString decodePage(const QByteArray& bytes, QByteArrayView contentType = {});

// Replaces HTML character references (&amp; &eacute; &#8211; &#x27; ...) by the characters
// they stand for, as browsers do in text: without the semicolon only the legacy names count
// ("&copy2024" is "©2024"); an unknown name is left as written.
QString decodeCharacterReferences(const QString& text);

// The text of the page's first title element, wherever it stands (also with attributes on the
// tag or line breaks inside it), with references decoded and every run of white space folded
// to a single blank, trimmed. Script, style and SVG content is passed over, so a "<title>"
// written inside a script or an SVG picture is not taken. Empty when there is no title.
QString pageTitle(const QByteArray& page, QByteArrayView contentType = {});
QString pageTitleOfText(const QString& page);

} // namespace olv
