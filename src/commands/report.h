#pragma once
// The HTML report of the current search: what it reads, the page line by line, and writing it.

#include "tableview.h"

#include <QByteArray>
#include <optional>

namespace olv {

struct Report {
    QString criteria; // the search text, or the Name of the object it names
    ObjectTable table; // linked objects shown by their Name
};

class ReportCommand {
public:
    static inline const QString kDialogTitle = QStringLiteral("Olv - Save Report");
    static inline const QString kFileName = QStringLiteral("BasicReport.htm");

    explicit ReportCommand(const Store& store, KeepGoing keepGoing = {});

    // Everything the page shows; nothing when no object matches.
    std::optional<Report> read(const QString& text, bool containing);

    // The page: UTF-8 with a byte-order mark, lines ended by CR LF, every text from the store
    // escaped, so markup in a value shows as text.
    static QByteArray page(const Report& report);
    // Writes the page whole or not at all; the failure in words naming the file, or a null
    // string when it was written.
    static QString write(const QString& path, const Report& report);
    static QString createdMessage(const QString& path);

private:
    TableCommand m_table;
};

} // namespace olv
