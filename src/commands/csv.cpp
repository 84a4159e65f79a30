#include "csv.h"

#include "wholefile.h"

#include <QDir>
#include <QRegularExpression>

namespace olv::csv {

namespace {

QString field(QString cell) {
    // A cell beginning as a formula would be run by the spreadsheet (a known way to smuggle
    // commands in): a leading apostrophe makes it text. Plain numbers such as -5 stay numbers.
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+([.,][0-9]+)?$"));
    if (!cell.isEmpty() && QStringLiteral("=+-@\t\r").contains(cell.front()) && !number.match(cell).hasMatch())
        cell.prepend(QLatin1Char('\''));
    if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n')) ||
        cell.contains(QLatin1Char('\r')))
        return QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return cell;
}

} // namespace

void write(const TableLayout& table, TableCommand& cells, QIODevice& out, const std::function<void(double)>& share) {
    put(out, "\xEF\xBB\xBF");
    QString line;
    for (const QString& header : table.headers()) line += field(header) + QLatin1Char(',');
    line.back() = QLatin1Char('\r');
    put(out, (line + QLatin1Char('\n')).toUtf8());
    const int columns = int(table.columns.size()) + 2;
    cells.eachRow(table, TableLinks::AsStored, [&](const TableRow& row) {
        line.clear();
        for (const QString& cell : row.cells(columns)) line += field(cell) + QLatin1Char(',');
        line.back() = QLatin1Char('\r');
        put(out, (line + QLatin1Char('\n')).toUtf8());
    }, share);
}

QString save(const QString& path, const TableLayout& table, TableCommand& cells, const std::function<void(double)>& share) {
    const QString failure = writeWhole(path, [&](QIODevice& out) { write(table, cells, out, share); });
    if (failure.isNull()) return failure;
    return QStringLiteral("The file %1 cannot be written: %2.").arg(QDir::toNativeSeparators(path), failure);
}

} // namespace olv::csv
