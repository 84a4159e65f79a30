#pragma once
// Rich-text notes as RTF: a writer and a reader between RTF and the note box's document. Our
// own, with QtCore and QtGui only, as the desktop here offers no RTF load and save.
//
// What survives the round trip: text, paragraphs, line breaks, tabs, bold, italic, underline,
// font and size, alignment. The reader takes RTF from the common word processors and shows what
// it could read of damaged input; it never recurses, so nothing nests too deep for it.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QTextDocument;

namespace olv::rtf {

// Replaces the document's content with the RTF's. False, leaving the document empty, when the
// bytes are no RTF at all (they do not begin with "{\rtf").
bool read(QByteArrayView rtf, QTextDocument& doc);

// The document as RTF in 7-bit ASCII: every other character as \uN with a Windows-1252 or "?"
// fallback, so that older readers show something sensible too.
QByteArray write(const QTextDocument& doc);

// Larger files are read only this far: a preview of the first 64 MB is all anyone reads.
inline constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

// Reads an RTF file into the document; false when the file cannot be read or holds no RTF,
// with the reason for the user in why.
bool load(const QString& path, QTextDocument& doc, QString* why = nullptr);

// The text as the user reads it: paragraphs and line breaks end in "\n", no-break spaces kept.
QString plainText(const QTextDocument& doc);

} // namespace olv::rtf
