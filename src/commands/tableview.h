#pragma once
// The found objects side by side, for the table view, the HTML report and the CSV file: one row
// per object that the search finds, a column per property name any of them has. The objects and
// columns are read at once; the cells a block of objects at a time, as they are shown or written,
// so a search of every object never holds every cell.

#include "openedonuse.h"

#include <QHash>
#include <functional>
#include <utility>

namespace olv {

// What a table shows of a search, without its cells.
struct TableLayout {
    static inline const QString kClassHeader = QStringLiteral("Class");
    static inline const QString kNameHeader = QStringLiteral("Name");

    QStringList ids; // the found objects, in the order found
    // Property names after "Class" and "Name", each once whatever its letter case, spelt as first
    // stored, in case-insensitive order. Exactly "TOO" and "Name" have their own columns; "too" or
    // "NAME" are the user's own and get one here.
    QStringList columns;

    QStringList headers() const { return QStringList{kClassHeader, kNameHeader} + columns; }
    // The column of a folded property name, counted from the class column; -1 for none.
    int columnOf(const QString& folded) const { return m_columnOf.value(folded, -1); }
    void setColumns(QStringList names);

private:
    QHash<QString, int> m_columnOf;
};

// One found object's cells, each as the lookup of that property reads it: the first of its rows
// with that name in any letter case, "N/A" where it has none. Kept only where the object has a
// value, so a wide table of objects with a few properties each stays small.
class TableRow {
public:
    QString cell(int column) const;
    QStringList cells(int columnCount) const;

private:
    friend class TableRows;
    QList<std::pair<int, QString>> m_cells; // by column
};

// How a value that is another object's identifier is shown: the table and the CSV file show it as
// stored, the report by the linked object's Name. The class is always shown by its Name.
enum class TableLinks { AsStored, ByName };

// Reads the rows of a table's objects a block at a time; keeps what it learns of property names
// and of linked objects' names for the next block.
class TableRows {
public:
    TableRows(const TableLayout& layout, TableLinks links) : m_layout(layout), m_links(links) {}
    QList<TableRow> read(Database& db, qsizetype first, qsizetype count);

private:
    const QString& folded(const QString& p);

    const TableLayout& m_layout;
    TableLinks m_links;
    QHash<QString, QString> m_folds;
    QHash<QString, QString> m_names; // linked identifier -> its Name, or "N/A"
};

class TableCommand {
public:
    // Objects read together when a whole table is walked.
    static constexpr qsizetype kBlock = 500;

    // The file is opened on first use and kept until the command is done with. keepGoing is
    // asked now and then; a false answer throws Cancelled.
    explicit TableCommand(const Store& store, KeepGoing keepGoing = {});

    // The found objects and the columns; no cell is held.
    TableLayout layout(const QString& text, bool containing);
    // Every row of the table in order, read a block at a time; share hears how much is done.
    void eachRow(const TableLayout& layout, TableLinks links, const std::function<void(const TableRow&)>& each,
                 const std::function<void(double)>& share = {});
    // The Name of the object, or "N/A".
    QString nameOf(const QString& id);

private:
    Database& db();
    void keepGoing();

    OpenedOnUse m_db;
};

} // namespace olv
