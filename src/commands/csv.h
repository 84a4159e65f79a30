#pragma once
// The current search as a CSV file, with the table view's columns and cells: RFC 4180 (UTF-8
// with a byte-order mark, quotes doubled, fields with separators or line breaks quoted, CR LF
// line ends), and cells a spreadsheet would run as formulas written as text.

#include "tableview.h"

class QIODevice;

namespace olv {

namespace csv {

inline const QString kDialogTitle = QStringLiteral("Olv - Save as CSV");
inline const QString kFileName = QStringLiteral("Olv.csv");

// The file's lines, the cells read through cells as they are written.
void write(const TableLayout& table, TableCommand& cells, QIODevice& out, const std::function<void(double)>& share = {});
// Writes the file whole or not at all, so a failure leaves any earlier file as it was; the
// failure in words naming the file, or a null string.
QString save(const QString& path, const TableLayout& table, TableCommand& cells,
             const std::function<void(double)>& share = {});

} // namespace csv

} // namespace olv
