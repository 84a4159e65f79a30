#pragma once
// The object store: every fact is a row (O, P, V) of the table DATA. Each command opens the file,
// does its work through one Database and closes it again; nothing is kept between commands.

#include "clock.h"
#include "jet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
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

// A search text that is no valid Like pattern (an unclosed "[", a backwards range).
using PatternError = jet::PatternError;

bool isObjectId(const QString& value); // starts with "OlObj"

// One command's open database. Throws StoreError when the file cannot be used.
class Database {
public:
    explicit Database(const QString& path);
    ~Database();
    Database(Database&&) noexcept;
    Database& operator=(Database&&) = delete;

    const QString& path() const { return m_path; }

    // Distinct objects holding a value equal to text (ignoring case), or containing it when
    // containing is set (text then acts as a Like pattern), in the order first stored.
    QStringList findObjects(const QString& text, bool containing);
    // Rows of one object in the order they were stored.
    QList<Row> rowsOf(const QString& id);
    // The first value of property of the object, or a null string when it has none.
    QString valueOf(const QString& id, const QString& property);
    QString GetPropertyValue(const QString& id, const QString& property); // "N/A" when none
    QString FindClassId(const QString& className);                        // "N/A" when none
    // A free identifier "OlObj" + yyyyMMddHHmmss; waits for the next second while taken.
    QString NewObjectId(Clock& clock);
    bool exists(const QString& id);
    // Names of all classes, each once, in case-insensitive text order.
    QStringList classNames();
    qint64 countObjects();

    void append(const QString& o, const QString& p, const QString& v);
    // Appends all rows or, on failure, none of them.
    void appendAll(const QList<Row>& rows);

private:
    struct Hit {
        QString o, p, v;
    };
    template <class F> auto guarded(F&& f) -> decltype(f());
    void checkSchema();
    void addHelpers(const QList<const char*>& statements, bool rebuildTrigrams);
    // A prepared statement kept for this connection, reset and with no values bound.
    SQLite::Statement& statement(const std::string& sql);
    // Rows of the statement whose value passes keep, in the order the statement gives them.
    template <class Keep> QList<Hit> collect(SQLite::Statement& q, Keep&& keep);
    QList<Hit> rowsWithValue(const QString& value);
    QList<Hit> rowsMatching(const QString& pattern);
    // Rows that may hold every one of the (folded) runs, narrowed by an index where one helps,
    // then checked with keep.
    template <class Keep> QList<Hit> candidates(const QStringList& runs, Keep&& keep);

    QString m_path;
    std::unique_ptr<SQLite::Database> m_db;
    std::map<std::string, std::unique_ptr<SQLite::Statement>> m_statements;
    bool m_hasTrigrams = false;
    bool m_hasNonAsciiIndex = false;
};

// DatabasePath, and the shared lookups that open and close the file for each call.
class Store {
public:
    explicit Store(QString path = defaultPath()) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }

    Database open() const { return Database(m_path); }
    QString FindClassId(const QString& className) const;
    QString GetPropertyValue(const QString& id, const QString& property) const;

    static QString defaultPath(); // ~/Olv/Olv.mdb
    // Makes the folder and an empty DATA table when the file is missing; never touches an
    // existing file.
    static void createIfMissing(const QString& path);

private:
    QString m_path;
};

} // namespace olv
