#pragma once
// What the history's windows show and do: Undo and Redo named by the step they take back or do
// again, a refusal told in words, the question before Delete object, one object's changes as
// lines of text, the objects that lost all their rows, restoring, and what the history takes.

#include "store/store.h"

#include <optional>

namespace olv {

class HistoryCommands {
public:
    // What Edit offers at the moment.
    struct Offer {
        bool history = false;  // the file keeps a history
        bool writable = false; // and Olv may write to it
        std::optional<Step> undo, redo;
        // "Undo edit of colour", or "Undo" when there is nothing to undo; the same for Redo.
        QString undoCaption() const;
        QString redoCaption() const;
    };

    // Why a command changed nothing, in words; null when it was done.
    using Refusal = QString;

    // One change of an object's rows as the History window lists it.
    struct Line {
        QString when;     // local time
        QString property; // "colour", or "colour → shade" when the name changed
        QString change;   // "red → blue"
        QString madeBy;   // "Olv: edit of colour", or "another program"
        QString user;     // who made it: the server's database user, or the account that ran Olv
        bool restorable = false; // the change took a value away, which can come back
    };
    struct ObjectHistory {
        QString id, name;
        bool history = false, writable = false;
        QList<Change> changes; // newest first
        QList<Line> lines;     // one per change
        qint64 newestSeen() const { return changes.isEmpty() ? 0 : changes.first().seq; }
    };

    struct DeleteQuestion {
        QString id, name;
        bool writable = false;
        QList<StoredRow> rows;  // as read for the question: only these are deleted
        QStringList linking;    // names of the objects that hold its identifier as a value
        QString text() const;   // empty when there is nothing to delete
    };

    struct DeletedEntry {
        DeletedObject object;
        QString name, className, when, madeBy;
    };

    static inline const QString kNoHistory =
        QStringLiteral("This database keeps no history of its changes: Olv may only read it, and none "
                       "was kept before.");
    static inline const QString kNoObjectForHistory =
        QStringLiteral("Please click an object in the tree first: the history shown is that of the object "
                       "clicked last.");
    static inline const QString kNoObjectToDelete =
        QStringLiteral("Please click an object in the tree first: the object deleted is the one clicked last.");
    static inline const QString kReadOnly =
        QStringLiteral("This database may only be read, so nothing in it can be changed.");
    static inline const QString kDeleteTitle = QStringLiteral("Delete object");
    static inline const QString kForgetTitle = QStringLiteral("Forget older");
    static inline const QString kAnotherProgram = QStringLiteral("another program");

    explicit HistoryCommands(const Store& store) : m_store(store) {}

    // Reads what Undo and Redo would do, without making search indexes on the way.
    Offer offer();

    // Takes the step back (or does it again) in db, as a step of its own. A row changed since,
    // or the step no longer the one to take, refuses it and changes nothing. progress as for
    // Database::undo; Cancelled when it calls the work off.
    static Refusal undo(Database& db, const Step& step, const std::function<bool(double)>& progress = {});
    static Refusal redo(Database& db, const Step& step, const std::function<bool(double)>& progress = {});

    ObjectHistory historyOf(const QString& id);
    static Line lineOf(const Change& change, const QString& id);
    // The object's rows as they stood at the end of the given second (local time).
    QList<StoredRow> asOf(const QString& id, const QDateTime& at);
    // Brings back what the change took away, as the step "restore of colour"; refused when
    // anything about the object changed after the history was read.
    Refusal restore(const ObjectHistory& history, qsizetype line);

    DeleteQuestion deleteQuestion(const QString& id, KeepGoing keepGoing = {});
    // Deletes the rows the question counted, in one transaction, as the step "delete object
    // Lamp"; refused when the object's rows are no longer those.
    Refusal deleteObject(const DeleteQuestion& question);

    QList<DeletedEntry> recentlyDeleted();
    // Brings every row back as the step "restore of Lamp".
    Refusal restore(const DeletedEntry& entry);

    struct Size {
        bool history = false, writable = false;
        HistorySize size;
        QString text(const QString& file) const;
    };
    Size size();
    static QString forgetQuestion(const QDate& before);
    // Forgets what was kept before the start of the day (local time).
    void forgetBefore(const QDate& day);

    // An object's name: its first Name row, else the last Name its history knows, else its
    // identifier.
    static QString nameOf(Database& db, const QString& id);
    // A time as the windows show it: local, to the second.
    static QString shown(const QDateTime& at);

private:
    static Refusal takeBack(Database& db, const Step& step, bool undo, const std::function<bool(double)>& progress);

    const Store& m_store;
};

} // namespace olv
