#pragma once
// The object store: every fact is a row (O, P, V) of the table DATA. Each command opens the file,
// does its work through one Database and closes it again; nothing is kept between commands.

#include "clock.h"
#include "history.h"
#include "jet.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

namespace olv {

// Reserved property names and values.
inline const QString kTOO = QStringLiteral("TOO");
inline const QString kName = QStringLiteral("Name");
inline const QString kBelongsTo = QStringLiteral("BelongsTo");
inline const QString kDescription = QStringLiteral("Description");
inline const QString kTopic = QStringLiteral("Topic");
inline const QString kURL = QStringLiteral("URL");
inline const QString kEXTRA = QStringLiteral("EXTRA");
inline const QString kClassValue = QStringLiteral("OlValClass");
inline const QString kObjectPrefix = QStringLiteral("OlObj");
inline const QString kNotAvailable = QStringLiteral("N/A");

struct Row {
    QString o, p, v;
    bool operator==(const Row&) const = default;
};

// A row with its fields as a database file holds them: a null QVariant for NULL, else text
// (QString), a whole number (qint64), a real one (double) or bytes (QByteArray). File, Import
// copies rows this way, so that NULL stays NULL and a number stays a number.
struct TypedRow {
    QVariant o, p, v;
};

// A row as read, with the number SQLite knows it by: DATA has no key and may hold the same row
// twice, so an edit or a delete must name the very row it means.
struct StoredRow {
    qint64 rowid = 0;
    Row row;
    bool operator==(const StoredRow&) const = default;
};

// A failure to use the database; says which (a file's path, or user@host/dbname for a server,
// never its connection string, which may hold a password) and why, in words for the user.
class StoreError : public std::runtime_error {
public:
    StoreError(const QString& file, const QString& reason);
    QString file() const { return m_file; }
    QString reason() const { return m_reason; }
    QString message() const;
    // Another program holds the database; the command waits no longer.
    static inline const QString kBusy = QStringLiteral("the database is locked by another program");
    bool busy() const { return m_reason == kBusy; }
    // The server wants a password that neither ~/.pgpass, PGPASSFILE nor a service file gives.
    static inline const QString kNeedsPassword = QStringLiteral("the server asks for a password");
    bool needsPassword() const { return m_reason == kNeedsPassword; }

private:
    QString m_file, m_reason;
};

// Long work that the user called off; nothing was written.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("cancelled") {}
};

// A search text that is no valid Like pattern (an unclosed "[", a backwards range).
using PatternError = jet::PatternError;

bool isObjectId(const QString& value); // starts with "OlObj"

// A connection names a database on a PostgreSQL server in libpq's forms: a URI
// ("postgresql://user@host/olv") or keywords ("host=... dbname=olv", "service=olv"). Anything
// else is the path of a file.
bool isServerConnection(const QString& connection);
// How messages and titles name the database: user@host/dbname for a server (a Unix socket's
// host shown as its folder), the native path for a file.
QString displayNameOf(const QString& connection);

// Called now and then during long statements; answering false calls the work off.
using KeepGoing = std::function<bool()>;

// The search indexes a file lacks, or holds out of step with DATA, and how to make them good.
// Built on a connection of its own, so that a window can show progress meanwhile.
class IndexRepair {
public:
    QString path;
    qint64 fileBytes = 0;
    qint64 rows = 0; // roughly
    // Roughly what the indexes add to the file.
    qint64 growthBytes() const;
    bool needed() const { return !m_statements.empty() || m_rebuildTrigrams || m_record; }
    // Work of seconds rather than a moment.
    bool large() const;
    // Runs the repair in one transaction; progress gets the share done (0 to 1) and answers
    // false to call it off, which leaves the file as it was (throws Cancelled).
    void run(const std::function<bool(double)>& progress) const;

private:
    friend class SqliteEngine;
    std::vector<std::string> m_statements;
    bool m_rebuildTrigrams = false;
    bool m_record = false;
};

// A database of rows, whatever keeps it: an SQLite file today, a server shared by several people
// later. Database is the handle the commands hold; an engine answers it. Every call that fails
// throws StoreError naming the database, or Cancelled when keepGoing called it off.
class Engine {
public:
    // What an engine can do beyond reading and writing rows.
    struct Abilities {
        bool indexUpkeep = false; // keeps search indexes beside DATA, which repair() may have to make
        bool writable = false;    // false when the database may only be read
        bool history = false;     // keeps every change to its rows, which Undo can take back
    };
    virtual ~Engine() = default;

    virtual Abilities abilities() const = 0;
    // The search indexes it lacks; nothing needed where there is no index upkeep.
    virtual const IndexRepair& repair() const = 0;
    virtual void setKeepGoing(KeepGoing keepGoing) = 0;

    virtual QStringList findObjects(const QString& text, bool containing) = 0;
    virtual QList<StoredRow> storedRowsOf(const QString& id) = 0;
    // Read through storedRowsOf, the same way whatever the engine.
    QList<Row> rowsOf(const QString& id);
    QString valueOf(const QString& id, const QString& property);
    virtual QStringList namesOf(const QStringList& ids) = 0;
    virtual QList<QList<Row>> rowsOfEach(const QStringList& ids) = 0;
    virtual QStringList propertyNamesOf(const QStringList& ids) = 0;
    virtual bool exists(const QString& id) = 0;
    virtual qint64 countObjects() = 0;

    virtual bool replaceRow(const StoredRow& was, const Row& now) = 0;
    virtual bool removeRow(const StoredRow& was) = 0;
    virtual void appendAll(const QList<Row>& rows) = 0;
    virtual qint64 addMissing(const QList<TypedRow>& rows, const std::function<bool(double)>& progress) = 0;
    // Picks the identifier of the clock's second, and waits for the next second while the
    // identifier is taken (see Database::createObject).
    QString createObject(Clock& clock, const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor);

    // The history (see Database).
    virtual void nameNextStep(const QString& what) = 0;
    virtual std::optional<Step> stepToUndo() = 0;
    virtual std::optional<Step> stepToRedo() = 0;
    virtual void undo(const Step& step, const std::function<bool(double)>& progress) = 0;
    virtual void redo(const Step& step, const std::function<bool(double)>& progress) = 0;
    // Read through eachChangeOf, the same way whatever the engine.
    QList<Change> historyOf(const QString& id);
    QList<StoredRow> rowsAsOf(const QString& id, const QDateTime& at);
    virtual bool restoreValue(const Change& change, qint64 newestSeen) = 0;
    virtual bool removeObject(const QString& id, const QList<StoredRow>& shown) = 0;
    virtual QList<DeletedObject> recentlyDeleted() = 0;
    virtual bool restoreObject(const DeletedObject& object) = 0;
    virtual HistorySize historySize() = 0;
    virtual void forgetBefore(const QDateTime& at) = 0;

protected:
    // In one write transaction that no other writer can enter: the candidate's rows, when it is
    // free and rowsFor gives them.
    enum class Creation { Taken, Refused, Made };
    virtual Creation tryCreate(const QString& candidate,
                               const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) = 0;
    // Every record of the history about the object's rows (rows it holds, or held before a change
    // took them away), newest first, until each answers false; none where there is no history.
    virtual void eachChangeOf(const QString& id, const std::function<bool(Change&)>& each) = 0;
    // The rows the object lost since it last gained one, with the records that hold them as they
    // were; no rows when it lost none.
    DeletedObject lostRowsOf(const QString& id);
};

// One command's open database. Throws StoreError when it cannot be used.
class Database {
public:
    enum class Indexes {
        Repair, // make missing or stale search indexes at once
        Leave,  // use them only where they are sound; repair() says what is missing
    };
    // connection names the database: a file's path for an SQLite file, or a connection to a
    // server (see isServerConnection). keepGoing, when given, is set at once, as setKeepGoing
    // sets it, so that it is heard while a server is being reached too.
    explicit Database(const QString& connection, Indexes indexes = Indexes::Repair, KeepGoing keepGoing = {});
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) = delete;

    const QString& path() const { return m_connection; }
    Engine::Abilities abilities() const { return m_engine->abilities(); }
    // What the search indexes need, for a window that makes them with progress and Cancel.
    const IndexRepair& repair() const { return m_engine->repair(); }
    // Long statements call keepGoing now and then; a false answer throws Cancelled.
    void setKeepGoing(KeepGoing keepGoing) { m_engine->setKeepGoing(std::move(keepGoing)); }

    // Distinct objects holding a value equal to text (ignoring case), or containing it when
    // containing is set (text then acts as a Like pattern), in the order first stored.
    QStringList findObjects(const QString& text, bool containing) { return m_engine->findObjects(text, containing); }
    // Rows of one object in the order they were stored.
    QList<Row> rowsOf(const QString& id) { return m_engine->rowsOf(id); }
    // The first value of property of the object, or a null string when it has none.
    QString valueOf(const QString& id, const QString& property) { return m_engine->valueOf(id, property); }
    // The first Name of each object, or a null string where it has none; one answer per id.
    QStringList namesOf(const QStringList& ids) { return m_engine->namesOf(ids); }
    // The rows of each object, one list per id as rowsOf gives it, read in a few statements
    // however many objects there are.
    QList<QList<Row>> rowsOfEach(const QStringList& ids) { return m_engine->rowsOfEach(ids); }
    // The property names the objects' rows hold, each spelling once, in the order first stored;
    // read without holding the rows.
    QStringList propertyNamesOf(const QStringList& ids) { return m_engine->propertyNamesOf(ids); }
    QString GetPropertyValue(const QString& id, const QString& property); // "N/A" when none
    QString FindClassId(const QString& className);                        // "N/A" when none
    bool exists(const QString& id) { return m_engine->exists(id); }
    // Names of all classes, each once, in case-insensitive text order.
    QStringList classNames();
    qint64 countObjects() { return m_engine->countObjects(); }

    // The rows of one object, with their row numbers, in the order they were stored.
    QList<StoredRow> storedRowsOf(const QString& id) { return m_engine->storedRowsOf(id); }
    // Replace or delete the row, provided it still holds what was read; false when another
    // program changed or removed it meanwhile (nothing is then written).
    bool replaceRow(const StoredRow& was, const Row& now) { return m_engine->replaceRow(was, now); }
    bool removeRow(const StoredRow& was) { return m_engine->removeRow(was); }

    // Appends all rows or, on failure, none of them.
    void appendAll(const QList<Row>& rows) { m_engine->appendAll(rows); }
    // Adds the rows the database lacks, matched as a multiset: a row given n times that it
    // holds m times is added max(0, n - m) times. All or nothing; progress gets the share done
    // and answers false to call it off (Cancelled). Answers how many rows were added.
    qint64 addMissing(const QList<TypedRow>& rows, const std::function<bool(double)>& progress = {}) {
        return m_engine->addMissing(rows, progress);
    }
    // The same for rows of text.
    qint64 addMissing(const QList<Row>& rows, const std::function<bool(double)>& progress = {});
    void append(const QString& o, const QString& p, const QString& v) { appendAll({{o, p, v}}); }
    // Makes a new object in one write transaction: picks a free identifier, asks rowsFor for
    // its rows (it may read the database, which nobody else can write meanwhile) and appends
    // them. rowsFor answering nothing writes nothing; the identifier is then null.
    QString createObject(Clock& clock,
                         const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor) {
        return m_engine->createObject(clock, rowsFor);
    }

    // --- The history ---------------------------------------------------------------------------
    // Every write is one step of the history; this names the next one ("edit of colour"), which
    // Undo then shows. A write left unnamed is kept as "change".
    Database& step(const QString& what) {
        m_engine->nameNextStep(what);
        return *this;
    }
    // The newest step done in Olv and not taken back, and the step Redo would do again (only
    // until a new step is done).
    std::optional<Step> stepToUndo() { return m_engine->stepToUndo(); }
    std::optional<Step> stepToRedo() { return m_engine->stepToRedo(); }
    // Takes the step back, or does it again, in one transaction, as a step of its own. Throws
    // UndoConflict, changing nothing, when a row it would restore was changed after it, or when
    // the step is no longer the one to undo (or redo). progress as for addMissing.
    void undo(const Step& step, const std::function<bool(double)>& progress = {}) { m_engine->undo(step, progress); }
    void redo(const Step& step, const std::function<bool(double)>& progress = {}) { m_engine->redo(step, progress); }
    // Every change to the object's rows, newest first: rows it holds, or held before a change
    // took them to another object.
    QList<Change> historyOf(const QString& id) { return m_engine->historyOf(id); }
    // The object's rows as they stood at the time, by what the history knows.
    QList<StoredRow> rowsAsOf(const QString& id, const QDateTime& at) { return m_engine->rowsAsOf(id, at); }
    // Brings the row a change altered or removed back to what it held before the change, as a
    // step of its own; false, changing nothing, when any change to the object came after
    // newestSeen (the newest change the user was shown).
    bool restoreValue(const Change& change, qint64 newestSeen) { return m_engine->restoreValue(change, newestSeen); }
    // Deletes every row of the object, provided it holds just the rows shown; false otherwise.
    bool removeObject(const QString& id, const QList<StoredRow>& shown) { return m_engine->removeObject(id, shown); }
    // Objects that lost all their rows, by whatever means, the most recent first.
    QList<DeletedObject> recentlyDeleted() { return m_engine->recentlyDeleted(); }
    // Brings back every row the object lost, as they were held; false when it has rows again.
    bool restoreObject(const DeletedObject& object) { return m_engine->restoreObject(object); }
    HistorySize historySize() { return m_engine->historySize(); }
    // Forgets the steps and changes made before the time: they can no longer be undone or looked
    // at. The one thing that cannot be taken back.
    void forgetBefore(const QDateTime& at) { m_engine->forgetBefore(at); }

private:
    QString m_connection;
    std::unique_ptr<Engine> m_engine;
};

// Every row of another Olv database as it holds them, read without writing to it (not even
// indexes); progress as for addMissing.
QList<TypedRow> readAllRows(const QString& connection, const std::function<bool(double)>& progress = {});
// Connects to a server database and lets go again, writing nothing: it can be reached, takes the
// password given and holds Olv's table. Throws as Database does; keepGoing as there.
void reachServer(const QString& connection, KeepGoing keepGoing = {});

// DatabasePath: the database in use, opened afresh for each command. The path is the database's
// connection: for an SQLite file, its path.
class Store {
public:
    // Makes a file's search indexes, typically with progress shown; false when it did not.
    using IndexMaker = std::function<bool(const IndexRepair&)>;

    explicit Store(QString path = defaultPath()) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    void setIndexMaker(IndexMaker maker) { m_indexMaker = std::move(maker); }

    // Opens the file in use. Missing search indexes are made first through the index maker;
    // when it declines, the file is searched by scanning for the rest of the run.
    Database open() const;

    static QString defaultPath(); // ~/Olv/Olv.mdb
    // Makes the folder and an empty DATA table when the file is missing; never touches an
    // existing file.
    static void createIfMissing(const QString& path);

private:
    QString m_path;
    IndexMaker m_indexMaker;
    mutable QSet<QString> m_scanOnly;
};

} // namespace olv
