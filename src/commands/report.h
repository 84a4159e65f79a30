#pragma once
// The HTML report of the current search: what it reads, the page line by line, and writing it.

#include "tableview.h"

#include <optional>

class QIODevice;

namespace olv {

struct Report {
    QString criteria;  // the search text, or the Name of the object it names
    TableLayout table; // linked objects are shown by their Name
};

class ReportCommand {
public:
    static inline const QString kDialogTitle = QStringLiteral("Olv - Save Report");
    static inline const QString kFileName = QStringLiteral("BasicReport.htm");

    explicit ReportCommand(const Store& store, KeepGoing keepGoing = {});

    // The objects and columns the page shows; nothing when no object matches.
    std::optional<Report> read(const QString& text, bool containing);

    // The page, UTF-8 with a byte-order mark, lines ended by CR LF, every text from the store
    // escaped, so markup in a value shows as text. The cells are read as they are written.
    void write(const Report& report, QIODevice& out, const std::function<void(double)>& share = {});
    // Writes the page to the file whole or not at all, so a failure leaves any earlier file as it
    // was; the failure in words naming the file, or a null string when it was written.
    QString save(const QString& path, const Report& report, const std::function<void(double)>& share = {});
    static QString createdMessage(const QString& path);

private:
    TableCommand m_table;
};

} // namespace olv
