#include "csv.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>

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

QString line(const QStringList& cells) {
    QStringList fields;
    for (const QString& c : cells) fields << field(c);
    return fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace

QByteArray text(const ObjectTable& table) {
    QString all = line(table.headers());
    for (const QStringList& row : table.rows) all += line(row);
    return QByteArray("\xEF\xBB\xBF") + all.toUtf8();
}

QString write(const QString& path, const ObjectTable& table) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text(table)) >= 0 && file.commit()) return QString();
    return QStringLiteral("The file %1 cannot be written: %2.")
        .arg(QDir::toNativeSeparators(path), file.errorString());
}

} // namespace olv::csv
