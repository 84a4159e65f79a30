#pragma once
// What the SQLite parts of the store share. Kept out of store.h, so that nothing above the store
// sees SQLite.

#include "keys.h"
#include "sqliteengine.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <string>
#include <utility>

namespace olv::sqlite {

inline constexpr const char* kTrigramTable = "DATA_V_TRIGRAMS";
inline constexpr const char* kNonTextWhere = "typeof(V) NOT IN ('text', 'null')";
// Bounds on the spellings asked for at once (see spellings()).
inline constexpr qsizetype kMaxSpellings = 64;
inline constexpr qsizetype kMaxTrigramSpellings = 27;

QString text(const SQLite::Column& c);
bool isAscii(const QString& s);
// In words for the user; path is the file the error came from.
QString reasonFor(const SQLite::Exception& e, const QString& path);
bool interrupted(const SQLite::Exception& e);

// SQLite's NOCASE and the trigram index fold ASCII letter case themselves.
using keys::spellings;
using keys::escapeLike;
// "= ?" for one value, "IN (?, ?, ...)" for several.
std::string oneOf(qsizetype n);
void bindAll(SQLite::Statement& q, const QStringList& values, int first = 1);

// What a file's search helpers need, read from the file; throws StoreError for a file that
// cannot be used.
struct Plan {
    std::vector<std::string> statements; // helpers to make
    bool rebuildTrigrams = false;
    bool record = false; // the trigram index was checked and found sound: remember it
    bool trigramsUsable = false;
    bool nonAsciiIndex = false;
    bool nonTextIndex = false;
    bool needed() const { return !statements.empty() || rebuildTrigrams || record; }
};

Plan planFor(SQLite::Database& db, const QString& path);

// Every row of a file, as it holds them, without writing to it.
QList<TypedRow> readAllRows(const QString& path, const std::function<bool(double)>& progress);

// The history's times, as SQLite writes them (UTC, to the millisecond).
QDateTime timeOf(const SQLite::Column& c);
std::string timeText(const QDateTime& at);
Step::Kind stepKind(const QString& kind);
// A row brought back keeps its number unless another row has it now.
inline constexpr const char* kPutBack =
    "INSERT INTO DATA (rowid, O, P, V) SELECT CASE WHEN EXISTS (SELECT 1 FROM DATA WHERE rowid = h.ROW) "
    "THEN NULL ELSE h.ROW END, h.OLD_O, h.OLD_P, h.OLD_V FROM DATA_HISTORY h WHERE h.SEQ = ?1";

} // namespace olv::sqlite

namespace olv {

template <class F> auto SqliteEngine::guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const SQLite::Exception& e) {
        if (sqlite::interrupted(e)) throw Cancelled();
        throw StoreError(m_path, sqlite::reasonFor(e, m_path));
    }
}

template <class F> auto SqliteEngine::writing(F&& f) -> decltype(f()) {
    return guarded([&] {
        // Immediate: the write lock is taken at the start, so a busy file is waited for (a
        // deferred transaction that finds the file busy when it first writes fails at once).
        SQLite::Transaction t(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        const qint64 step = beginStep(Step::Kind::Do, std::exchange(m_nextStep, QString()));
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            endStep(step);
            t.commit();
        } else {
            auto result = f();
            endStep(step);
            t.commit();
            return result;
        }
    });
}

} // namespace olv
