#pragma once
// What the database keeps of every change to its rows, whoever made it: the steps Olv's commands
// took, each change to a row, and what can be taken back.

#include <QDateTime>
#include <QList>
#include <QString>
#include <stdexcept>

namespace olv {

struct Row;

// One command done in Olv, kept with the changes it made.
struct Step {
    enum class Kind { Do, Undo, Redo };
    qint64 id = 0;
    QString what; // "edit of colour", "new object", "import of 300 rows"
    Kind kind = Kind::Do;
    QDateTime at; // UTC
    QString who;  // the account that ran Olv
};

// One change to one row of DATA. A row added has no before; a row removed has no after.
struct Change {
    enum class Kind { Added, Changed, Removed };
    qint64 seq = 0; // the order the database kept them in
    QDateTime at;   // UTC
    Kind kind = Kind::Changed;
    qint64 rowid = 0;
    QString beforeO, beforeP, beforeV;
    QString afterO, afterP, afterV;
    qint64 step = 0; // 0 when another program made it
    QString stepWhat; // the step's name, with "undo of "/"redo of " for those
    QString who;
};

// An object none of whose rows is left, and the rows it lost since it last gained one.
struct DeletedObject {
    QString id;
    QList<Row> rows; // in the order they were stored
    QDateTime at;    // when its last row went
    QString madeBy;  // the step that took it, or empty when another program did
    QList<qint64> changes; // the history's records of those rows, for restoring them as they were held
};

struct HistorySize {
    qint64 changes = 0;
    qint64 steps = 0;
    qint64 bytes = 0;
    QDateTime oldest; // invalid when nothing is kept
};

// Undo or redo found a row that someone changed after the step; nothing was changed. o and p
// name the row the step left, as it left it.
class UndoConflict : public std::runtime_error {
public:
    enum class Why { RowChanged, StepGone };
    UndoConflict(Why why, QString o = {}, QString p = {})
        : std::runtime_error("undo conflict"), why(why), o(std::move(o)), p(std::move(p)) {}
    Why why;
    QString o, p;
};

} // namespace olv
