#pragma once
// The current search as a CSV file, with the table view's columns and cells: RFC 4180 (UTF-8
// with a byte-order mark, quotes doubled, fields with separators or line breaks quoted, CR LF
// line ends), and cells a spreadsheet would run as formulas written as text.

#include "tableview.h"

#include <QByteArray>

namespace olv {

namespace csv {

inline const QString kDialogTitle = QStringLiteral("Olv - Save as CSV");
inline const QString kFileName = QStringLiteral("Olv.csv");

QByteArray text(const ObjectTable& table);
// Writes the file whole or not at all; the failure in words naming the file, or a null string.
QString write(const QString& path, const ObjectTable& table);

} // namespace csv

} // namespace olv
