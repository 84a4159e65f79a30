#pragma once
// Which character encoding a downloaded page is in, worked out the way browsers do it, and
// decoding in any of them. QtCore and the C library's iconv only.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace olv {

// The encoding a charset label names, as browsers read labels ("latin1" and "us-ascii" are
// Windows-1252, "sjis" and "windows-31j" are Shift_JIS, "euc-kr" is its Windows superset,
// ...), given as the name decodeAs takes. Empty for a label browsers do not know.
QByteArray encodingOfLabel(QByteArrayView label);

// The charset parameter of a Content-Type header value, or of a meta element's content
// attribute ("text/html; charset=Shift_JIS"); empty when there is none. Not yet mapped.
QByteArray charsetOfContentType(QByteArrayView value);

// The encoding a <meta charset> or <meta http-equiv="Content-Type"> in the first 1024 bytes
// declares, found without parsing the page; empty when none names a known encoding.
QByteArray declaredEncoding(QByteArrayView page);

// A guess for a page that declares nothing and is not UTF-8: a Japanese, Chinese or Korean
// multi-byte encoding when one reads as plausible text, else Windows-1251 or KOI8-R for
// Cyrillic letters, else Windows-1252.
QByteArray guessedEncoding(QByteArrayView page);

// The page's encoding: its byte-order mark, else the charset of the HTTP Content-Type
// header, else its own declaration, else UTF-8 when the bytes are UTF-8, else a guess.
QByteArray pageEncoding(QByteArrayView page, QByteArrayView contentType = {});

// The bytes as text in encoding (a name encodingOfLabel gives). A byte that is no character
// there becomes U+FFFD; a sequence cut off at the very end is dropped. Falls back to
// Windows-1252 when the encoding cannot be loaded.
QString decodeAs(QByteArrayView bytes, const QByteArray& encoding);

// The character a Windows-1252 byte stands for.
char16_t windows1252(unsigned char byte);

} // namespace olv
