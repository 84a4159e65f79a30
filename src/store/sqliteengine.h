#pragma once
// The engine for an SQLite file: DATA with search indexes beside it, which the stock sqlite3 shell
// keeps reading and writing.

#include "store.h"

#include <map>
#include <memory>
#include <string>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

namespace olv {

class SqliteEngine final : public Engine {
public:
    // Opens the file at path; repairIndexes makes missing or stale search indexes at once.
    SqliteEngine(const QString& path, bool repairIndexes);
    ~SqliteEngine() override;

    Abilities abilities() const override;
    const IndexRepair& repair() const override { return m_repair; }
    void setKeepGoing(KeepGoing keepGoing) override;

    QStringList findObjects(const QString& text, bool containing) override;
    QList<StoredRow> storedRowsOf(const QString& id) override;
    QStringList namesOf(const QStringList& ids) override;
    QList<QList<Row>> rowsOfEach(const QStringList& ids) override;
    QStringList propertyNamesOf(const QStringList& ids) override;
    bool exists(const QString& id) override;
    qint64 countObjects() override;

    bool replaceRow(const StoredRow& was, const Row& now) override;
    bool removeRow(const StoredRow& was) override;
    void appendAll(const QList<Row>& rows) override;
    qint64 addMissing(const QList<TypedRow>& rows, const std::function<bool(double)>& progress) override;
    Creation tryCreate(const QString& candidate,
                       const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) override;

    void nameNextStep(const QString& what) override { m_nextStep = what; }
    std::optional<Step> stepToUndo() override;
    std::optional<Step> stepToRedo() override;
    void undo(const Step& step, const std::function<bool(double)>& progress) override;
    void redo(const Step& step, const std::function<bool(double)>& progress) override;
    bool restoreValue(const Change& change, qint64 newestSeen) override;
    bool removeObject(const QString& id, const QList<StoredRow>& shown) override;
    QList<DeletedObject> recentlyDeleted() override;
    bool restoreObject(const DeletedObject& object) override;
    HistorySize historySize() override;
    void forgetBefore(const QDateTime& at) override;

    // Makes the folder and an empty DATA table when the file is missing.
    static void createIfMissing(const QString& path);

private:
    template <class F> auto guarded(F&& f) -> decltype(f());
    template <class F> auto writing(F&& f) -> decltype(f());
    void checkSchema(bool repairIndexes);
    // Makes the history's tables and triggers in a file that lacks them and may be written.
    void checkHistory();
    // Inside an open write transaction: what follows is kept as one step, until endStep, which
    // drops the step again when it changed nothing. 0 where the file keeps no history.
    qint64 beginStep(Step::Kind kind, const QString& what, qint64 target = 0);
    void endStep(qint64 step);
    qint64 lastSeq();
    // Applies the opposite of each change the step made, newest first, each only where the row
    // is still as the step left it (else throws UndoConflict).
    void takeBack(qint64 step, const std::function<bool(double)>& progress);
    std::optional<Step> readStep(SQLite::Statement& q);
    void eachChangeOf(const QString& id, const std::function<bool(Change&)>& each) override;
    void eachChangeIn(const QString& id, const std::function<bool(Change&)>& each);
    // A prepared statement kept for this connection, reset and with no values bound.
    SQLite::Statement& statement(const std::string& sql);
    QStringList objectsWithValue(const QString& value);
    QStringList objectsMatching(const QString& pattern);
    bool mayHoldBlobs();
    QStringList scanObjects(const std::string& where, const QStringList& values);
    template <class Keep> QStringList narrowedObjects(const QStringList& runs, Keep&& keep);
    // Walks the rows of the objects in a few statements, each selecting O and then columns, a
    // statement's rows in the order stored; each gets a row and the places in ids of its object.
    // Answers the places of each object with too many spellings to ask for, whose rows it skipped.
    QList<QList<qsizetype>> eachRowOf(const QStringList& ids, const std::string& columns,
                                      const std::function<void(const QList<qsizetype>&, SQLite::Statement&)>& each);
    bool isTaken(const QString& id);
    // Inserts the rows in order, many to a statement: the trigram index writes out what it has
    // gathered at the end of every statement, so one row per statement is several times slower.
    // progress as for addMissing.
    void insertAll(const QList<Row>& rows, const std::function<bool(double)>& progress = {});
    void insertAll(const QList<TypedRow>& rows, const std::function<bool(double)>& progress = {});
    // bind(statement, first parameter, row) binds one row's three values.
    template <class Rows, class Bind>
    void insertRows(const Rows& rows, Bind&& bind, const std::function<bool(double)>& progress);

    QString m_path;
    std::unique_ptr<SQLite::Database> m_db;
    std::map<std::string, std::unique_ptr<SQLite::Statement>> m_statements;
    KeepGoing m_keepGoing;
    IndexRepair m_repair;
    bool m_history = false;
    QString m_nextStep;
    qint64 m_stepFirstSeq = 0;
    bool m_hasTrigrams = false;
    bool m_hasNonAsciiIndex = false;
    bool m_hasNonTextIndex = false;
    int m_mayHoldBlobs = -1; // not yet looked at
};

} // namespace olv
