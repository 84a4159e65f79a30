#include "report.h"

#include <QDir>
#include <QSaveFile>

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
    report.table = m_table.build(text, containing, TableCommand::Links::ByName);
    if (report.table.rows.isEmpty()) return std::nullopt;
    report.criteria = isObjectId(text) ? m_table.nameOf(text) : text;
    return report;
}

QByteArray ReportCommand::page(const Report& report) {
    const QByteArray eol = "\r\n";
    QByteArray out;
    out.reserve(64 * 1024);
    // The byte-order mark tells browsers the page is UTF-8 without changing a line of it.
    out += "\xEF\xBB\xBF";
    out += "<HTML>" + eol;
    out += "<HEAD>" + eol;
    out += "<TITLE>Olv :: Olvarion :: Basic Report</TITLE>" + eol;
    out += "<style><!-- body { font-family: Verdana; font-size: 10pt }"
           "TD { font-family: Verdana; font-size: 10pt }--> </style>" +
           eol;
    out += "</HEAD>" + eol;
    out += "<BODY>" + eol;
    out += "<P>Search criteria = " + escaped(report.criteria) + "</P>" + eol;
    out += R"(<TABLE BORDER="1" CELLPADDING="2" CELLSPACING="0">)" + eol;
    out += QByteArray("<TR>") + kHeaderCellStart + "Class" + kHeaderCellEnd + kHeaderCellStart + "Name" +
           kHeaderCellEnd + eol;
    for (const QString& column : report.table.columns)
        out += kHeaderCellStart + escaped(column) + kHeaderCellEnd + eol;
    out += "</TR>" + eol;
    for (const QStringList& cells : report.table.rows) {
        // Rows stay open, as HTML allows; the first value shares the line of class and name.
        out += "<TR><TD>" + escaped(cells[0]) + "</TD><TD>" + escaped(cells[1]) + "</TD>";
        for (qsizetype c = 2; c < cells.size(); ++c) {
            const QByteArray value = escaped(cells[c]);
            out += "<TD>" + (isPicture(cells[c]) ? R"(<IMG SRC=")" + value + R"(">)" : value) + "</TD>" + eol;
        }
    }
    out += "</TABLE>" + eol;
    out += "</BODY>" + eol;
    out += "</HTML>" + eol;
    return out;
}

QString ReportCommand::write(const QString& path, const Report& report) {
    // Written beside the old file and put in its place at the end, so a failure leaves no half page.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    const QByteArray bytes = page(report);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return QString();
    return QStringLiteral("The report cannot be written to %1: %2.")
        .arg(QDir::toNativeSeparators(path), file.errorString());
}

QString ReportCommand::createdMessage(const QString& path) {
    return QStringLiteral("Report created in ") + QDir::toNativeSeparators(path) +
           QStringLiteral("\n\nPlease click refresh in your browser...");
}

} // namespace olv
