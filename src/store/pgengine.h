#pragma once
// The engine for a database on a PostgreSQL server, shared by several people: the same rows in
// the same order as a file gives them, with the server's indexes narrowing each search and Olv's
// own comparisons deciding it.

#include "store.h"

#include <QByteArray>
#include <functional>
#include <vector>

struct pg_conn;
struct pg_result;

namespace olv {

namespace pg {

// Values bound to a statement's $1, $2, ...: text, NULL, numbers and lists of text.
class Params {
public:
    Params& text(const QString& value);
    Params& number(qint64 value);
    Params& texts(const QStringList& values); // a text[] array
    int size() const { return int(m_values.size()); }
    std::vector<const char*> pointers() const;

private:
    std::vector<QByteArray> m_values;
    std::vector<bool> m_null;
};

// A statement's answer, let go of at the end.
class Result {
public:
    explicit Result(pg_result* r) : m_r(r) {}
    Result(Result&& other) noexcept : m_r(std::exchange(other.m_r, nullptr)) {}
    Result& operator=(Result&&) = delete;
    ~Result();
    int rows() const;
    // NULL as a null string, empty text as an empty one.
    QString text(int row, int column) const;
    qint64 number(int row, int column) const;
    bool isNull(int row, int column) const;
    qint64 affected() const; // rows an INSERT, UPDATE or DELETE touched

private:
    pg_result* m_r;
};

} // namespace pg

class PgEngine final : public Engine {
public:
    // Connects as libpq's connection string says (passwords from ~/.pgpass, PGPASSFILE or a
    // service file) and, when prepare is set, makes Olv's table and indexes where they are
    // missing and the user may; else the database is only looked at. keepGoing is asked while
    // connecting, too, and calls it off (Cancelled) when it answers false.
    explicit PgEngine(const QString& connection, bool prepare = true, KeepGoing keepGoing = {});
    ~PgEngine() override;

    // The statements that make what Olv needs in a database, in order, for an administrator.
    static QStringList schemaStatements();
    // Closes the connections kept between commands; at the program's end, while libpq's own
    // state (SSL's) is still there.
    static void closeIdleConnections();

    Abilities abilities() const override { return m_abilities; }
    const IndexRepair& repair() const override { return m_repair; }
    void setKeepGoing(KeepGoing keepGoing) override { m_keepGoing = std::move(keepGoing); }

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

    // Every row in the order stored, as text or NULL; progress as for addMissing.
    QList<TypedRow> allRows(const std::function<bool(double)>& progress);

private:
    // Runs one statement with its values bound; throws StoreError naming the database, or
    // Cancelled when keepGoing called it off.
    pg::Result exec(const char* sql, const pg::Params& params = {});
    [[noreturn]] void fail(pg_result* r);
    // Opens m_conn, asking keepGoing now and then; throws StoreError or Cancelled, leaving none.
    void connect(const QString& connection);
    // f in one transaction, all of it or nothing.
    template <class F> auto transaction(F&& f) -> decltype(f());
    // The same, kept as one step of the history named by nameNextStep.
    template <class F> auto writing(F&& f) -> decltype(f());
    // Inside a transaction: what follows is kept as one step, until endStep, which drops the
    // step again when it changed nothing. 0 where the database keeps no history.
    qint64 beginStep(Step::Kind kind, const QString& what, qint64 target = 0);
    void endStep(qint64 step);
    // Applies the opposite of each change the step made, newest first, each only where the row
    // is still as the step left it (else throws UndoConflict).
    void takeBack(qint64 step, const std::function<bool(double)>& progress);
    std::optional<Step> readStep(const pg::Result& r);
    // Brings back the row the history's record seq removed or changed, as it was before; false
    // when the record is gone.
    bool putBack(qint64 seq);
    // Every record of the history about the object's rows, newest first, until each says stop.
    void eachChangeOf(const QString& id, const std::function<bool(Change&)>& each) override;
    void checkSchema(bool prepare);
    // An idle connection of this process to the same database, checked when it was made, instead
    // of a new one; false when there is none that still works.
    bool takeIdle(bool prepare);
    // Keeps the connection for the next command when it works and holds no transaction; else
    // closes it.
    void giveBack();
    QStringList objectsWithValue(const QString& value);
    QStringList objectsMatching(const QString& pattern);
    // Objects whose values hold the longest of the runs in some spelling, kept where keep says.
    QStringList narrowedObjects(const QStringList& runs, const std::function<bool(const QString&)>& keep);
    // Every row of the objects, in the order stored, with the places in ids of its object;
    // columns follow O in each row of the answer. Given a property, the server passes on only
    // rows whose P may be it (each still to be compared).
    void eachRowOf(const QStringList& ids, const char* columns,
                   const std::function<void(const QList<qsizetype>&, const pg::Result&, int)>& each,
                   const QString& property = {});
    void insertAll(const QList<Row>& rows, const std::function<bool(double)>& progress = {});

    pg_conn* m_conn = nullptr;
    QString m_connection; // as given: the connections kept idle are found by it
    QString m_name; // user@host/dbname, for messages
    bool m_prepared = false; // the schema was checked, and made where missing and allowed
    Abilities m_abilities;
    IndexRepair m_repair; // never needed: the server keeps its own indexes
    KeepGoing m_keepGoing;
    QString m_nextStep;
    bool m_history = false;
};

} // namespace olv
