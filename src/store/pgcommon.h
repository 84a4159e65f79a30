#pragma once
// What the server engine's parts share. Kept out of store.h, so that nothing above the store sees
// libpq.

#include "keys.h"
#include "pgengine.h"

#include <libpq-fe.h>
#include <type_traits>

namespace olv::pg {

// Bounds on the spellings asked for at once (see keys::spellings).
inline constexpr qsizetype kMaxSpellings = 64;
// Advisory locks, held to the end of a transaction: one identifier picked at a time, and the
// schema made by one connection at a time.
inline constexpr qint64 kIdentifierLock = 0x4f6c764964;
inline constexpr qint64 kSchemaLock = 0x4f6c76536368;
// Undo and redo, one at a time.
inline constexpr qint64 kUndoLock = 0x4f6c76556e64;

// A time as milliseconds since 1970, which the server turns into its own and back.
inline constexpr const char* kMsOf = "floor(extract(epoch FROM %1) * 1000)::bigint";
QDateTime timeOf(const Result& r, int row, int column);

} // namespace olv::pg

namespace olv {

template <class F> auto PgEngine::transaction(F&& f) -> decltype(f()) {
    exec("BEGIN");
    try {
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            exec("COMMIT");
        } else {
            auto result = f();
            exec("COMMIT");
            return result;
        }
    } catch (...) {
        // Where the server has gone, so has the transaction.
        if (PQstatus(m_conn) == CONNECTION_OK) PQclear(PQexec(m_conn, "ROLLBACK"));
        throw;
    }
}

template <class F> auto PgEngine::writing(F&& f) -> decltype(f()) {
    return transaction([&] {
        const qint64 step = beginStep(Step::Kind::Do, std::exchange(m_nextStep, QString()));
        if constexpr (std::is_void_v<decltype(f())>) {
            f();
            endStep(step);
        } else {
            auto result = f();
            endStep(step);
            return result;
        }
    });
}

} // namespace olv
