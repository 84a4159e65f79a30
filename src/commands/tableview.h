#pragma once
// The found objects side by side, for the table view and the HTML report: one row per object
// that the search finds, a column per property name any of them has.

#include "openedonuse.h"

#include <optional>

namespace olv {

struct ObjectTable {
    static inline const QString kClassHeader = QStringLiteral("Class");
    static inline const QString kNameHeader = QStringLiteral("Name");

    // Property names after "Class" and "Name", each once whatever its letter case, in
    // case-insensitive order. Exactly "TOO" and "Name" have their own columns; "too" or "NAME"
    // are the user's own and get one here.
    QStringList columns;
    // Per found object, in the order found: class, name, then one cell per column; "N/A" where
    // the object has no such row, the first row where it has several.
    QList<QStringList> rows;

    QStringList headers() const { return QStringList{kClassHeader, kNameHeader} + columns; }
};

class TableCommand {
public:
    // How a value that is another object's identifier is shown: the table shows it as stored,
    // the report by the linked object's Name.
    enum class Links { AsStored, ByName };

    // The file is opened on first use and kept until the command is done with. keepGoing is
    // asked now and then; a false answer throws Cancelled.
    explicit TableCommand(const Store& store, KeepGoing keepGoing = {});

    // Reads everything in a few statements, not one per cell.
    ObjectTable build(const QString& text, bool containing, Links links = Links::AsStored);
    // The Name of the object, or "N/A".
    QString nameOf(const QString& id);

private:
    Database& db();
    void keepGoing();

    OpenedOnUse m_db;
};

} // namespace olv
