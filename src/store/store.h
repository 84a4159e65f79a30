#pragma once
// The object store: every fact is a row (O, P, V) of the table DATA. Each command opens the file,
// does its work through one Database and closes it again; nothing is kept between commands.

#include "clock.h"
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

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

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

// A failure to use the database file; says which file and why, in words for the user.
class StoreError : public std::runtime_error {
public:
    StoreError(const QString& file, const QString& reason);
    QString file() const { return m_file; }
    QString reason() const { return m_reason; }
    QString message() const;

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
    friend class Database;
    std::vector<std::string> m_statements;
    bool m_rebuildTrigrams = false;
    bool m_record = false;
};

// One command's open database. Throws StoreError when the file cannot be used.
class Database {
public:
    enum class Indexes {
        Repair, // make missing or stale search indexes at once
        Leave,  // use them only where they are sound; repair() says what is missing
    };
    explicit Database(const QString& path, Indexes indexes = Indexes::Repair);
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) = delete;

    const QString& path() const { return m_path; }
    // What the search indexes need, for a window that makes them with progress and Cancel.
    const IndexRepair& repair() const { return m_repair; }
    // Long statements call keepGoing now and then; a false answer throws Cancelled.
    void setKeepGoing(KeepGoing keepGoing);

    // Distinct objects holding a value equal to text (ignoring case), or containing it when
    // containing is set (text then acts as a Like pattern), in the order first stored.
    QStringList findObjects(const QString& text, bool containing);
    // Rows of one object in the order they were stored.
    QList<Row> rowsOf(const QString& id);
    // The first value of property of the object, or a null string when it has none.
    QString valueOf(const QString& id, const QString& property);
    // The first Name of each object, or a null string where it has none; one answer per id.
    QStringList namesOf(const QStringList& ids);
    // The rows of each object, one list per id as rowsOf gives it, read in a few statements
    // however many objects there are.
    QList<QList<Row>> rowsOfEach(const QStringList& ids);
    // The property names the objects' rows hold, each spelling once, in the order first stored;
    // read without holding the rows.
    QStringList propertyNamesOf(const QStringList& ids);
    QString GetPropertyValue(const QString& id, const QString& property); // "N/A" when none
    QString FindClassId(const QString& className);                        // "N/A" when none
    bool exists(const QString& id);
    // Names of all classes, each once, in case-insensitive text order.
    QStringList classNames();
    qint64 countObjects();

    // The rows of one object, with their row numbers, in the order they were stored.
    QList<StoredRow> storedRowsOf(const QString& id);
    // Replace or delete the row, provided it still holds what was read; false when another
    // program changed or removed it meanwhile (nothing is then written).
    bool replaceRow(const StoredRow& was, const Row& now);
    bool removeRow(const StoredRow& was);

    // Appends all rows or, on failure, none of them.
    void appendAll(const QList<Row>& rows);
    // Adds the rows the file lacks, matched as a multiset: a row given n times that the file
    // holds m times is added max(0, n - m) times. All or nothing; progress gets the share done
    // and answers false to call it off (Cancelled). Answers how many rows were added.
    qint64 addMissing(const QList<TypedRow>& rows, const std::function<bool(double)>& progress = {});
    // The same for rows of text.
    qint64 addMissing(const QList<Row>& rows, const std::function<bool(double)>& progress = {});
    void append(const QString& o, const QString& p, const QString& v) { appendAll({{o, p, v}}); }
    // Makes a new object in one write transaction: picks a free identifier, asks rowsFor for
    // its rows (it may read the file, which nobody else can write meanwhile) and appends them.
    // rowsFor answering nothing writes nothing; the identifier is then null.
    QString createObject(Clock& clock,
                         const std::function<std::optional<QList<Row>>(const QString& id)>& rowsFor);

private:
    template <class F> auto guarded(F&& f) -> decltype(f());
    template <class F> auto writing(F&& f) -> decltype(f());
    void checkSchema(Indexes indexes);
    bool trigramsAgree();
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
    bool m_hasTrigrams = false;
    bool m_hasNonAsciiIndex = false;
    bool m_hasNonTextIndex = false;
    int m_mayHoldBlobs = -1; // not yet looked at
};

// DatabasePath, and the shared lookups that open and close the file for each call.
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
    QString FindClassId(const QString& className) const;
    QString GetPropertyValue(const QString& id, const QString& property) const;

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
