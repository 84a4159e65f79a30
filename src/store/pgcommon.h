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

} // namespace olv
