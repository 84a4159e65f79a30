#pragma once
// File, Import: the rows of another Olv database (a Jet file, as Olv's data was first kept, an
// Olv SQLite file, or a database on a server) added to the one in use, those it already holds left out. The other file is
// only read.

#include "store/store.h"

namespace olv {

class ImportCommand {
public:
    struct Result {
        qint64 imported = 0, present = 0;
    };
    static QString resultText(const Result& r); // "N rows imported, M already present"

    explicit ImportCommand(const Store& store) : m_store(store) {}

    // The rows of the other file's table DATA, in the order stored, each value as stored there
    // (a Jet file's come as text). Throws StoreError naming that file when it cannot be used,
    // Cancelled when progress says stop.
    static QList<TypedRow> readRows(const QString& path, const std::function<bool(double)>& progress = {});
    // Reads the other file, then adds what the database in use lacks in one transaction.
    // Reading takes the first half of the progress, adding the second.
    Result run(const QString& path, const std::function<bool(double)>& progress = {});
    // The same into a database already open, e.g. by a window before the work goes to a thread
    // of its own (opening may ask the user to let the search indexes be made).
    static Result run(Database& db, const QString& path, const std::function<bool(double)>& progress = {});

private:
    const Store& m_store;
};

} // namespace olv
