#include "report.h"

#include "wholefile.h"

#include <QDir>

namespace olv {

namespace {

QByteArray escaped(const QString& text) { return text.toHtmlEscaped().toUtf8(); }

bool isPicture(const QString& value) {
    const QString end = value.right(4).toUpper();
    return end == QLatin1String(".GIF") || end == QLatin1String(".JPG");
}

const char* const kHeaderCellStart = R"(<TD bgcolor="blue"><FONT COLOR="white"><B>)";
const char* const kHeaderCellEnd = "</B></FONT></TD>";

} // namespace

ReportCommand::ReportCommand(const Store& store, KeepGoing keepGoing) : m_table(store, std::move(keepGoing)) {}

std::optional<Report> ReportCommand::read(const QString& text, bool containing) {
    Report report;
    report.table = m_table.layout(text, containing);
    if (report.table.ids.isEmpty()) return std::nullopt;
    report.criteria = isObjectId(text) ? m_table.nameOf(text) : text;
    return report;
}

void ReportCommand::write(const Report& report, QIODevice& out, const std::function<void(double)>& share) {
    const QByteArray eol = "\r\n";
    QByteArray head;
    // The byte-order mark tells browsers the page is UTF-8 without changing a line of it.
    head += "\xEF\xBB\xBF";
    head += "<HTML>" + eol;
    head += "<HEAD>" + eol;
    head += "<TITLE>Olv :: Olvarion :: Basic Report</TITLE>" + eol;
    head += "<style><!-- body { font-family: Verdana; font-size: 10pt }"
            "TD { font-family: Verdana; font-size: 10pt }--> </style>" +
            eol;
    head += "</HEAD>" + eol;
    head += "<BODY>" + eol;
    head += "<P>Search criteria = " + escaped(report.criteria) + "</P>" + eol;
    head += R"(<TABLE BORDER="1" CELLPADDING="2" CELLSPACING="0">)" + eol;
    head += QByteArray("<TR>") + kHeaderCellStart + "Class" + kHeaderCellEnd + kHeaderCellStart + "Name" +
            kHeaderCellEnd + eol;
    for (const QString& column : report.table.columns) head += kHeaderCellStart + escaped(column) + kHeaderCellEnd + eol;
    head += "</TR>" + eol;
    put(out, head);

    const int columns = int(report.table.columns.size()) + 2;
    QByteArray line;
    m_table.eachRow(report.table, TableLinks::ByName, [&](const TableRow& row) {
        // Rows stay open, as HTML allows; the first value shares the line of class and name.
        const QStringList cells = row.cells(columns);
        line = "<TR><TD>" + escaped(cells[0]) + "</TD><TD>" + escaped(cells[1]) + "</TD>";
        for (int c = 2; c < columns; ++c) {
            const QString& cell = cells[c];
            const QByteArray value = escaped(cell);
            line += "<TD>" + (isPicture(cell) ? R"(<IMG SRC=")" + value + R"(">)" : value) + "</TD>" + eol;
        }
        put(out, line);
    }, share);
    put(out, "</TABLE>" + eol + "</BODY>" + eol + "</HTML>" + eol);
}

QString ReportCommand::save(const QString& path, const Report& report, const std::function<void(double)>& share) {
    const QString failure = writeWhole(path, [&](QIODevice& out) { write(report, out, share); });
    if (failure.isNull()) return failure;
    return QStringLiteral("The report cannot be written to %1: %2.").arg(QDir::toNativeSeparators(path), failure);
}

QString ReportCommand::createdMessage(const QString& path) {
    return QStringLiteral("Report created in ") + QDir::toNativeSeparators(path) +
           QStringLiteral("\n\nPlease click refresh in your browser...");
}

} // namespace olv
