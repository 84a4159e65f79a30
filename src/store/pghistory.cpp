// The history on the server: not kept there yet. The engine says so (abilities().history is
// false), so no command offers undo; these answer as for a file without a history.

#include "pgcommon.h"

namespace olv {

std::optional<Step> PgEngine::stepToUndo() { return std::nullopt; }
std::optional<Step> PgEngine::stepToRedo() { return std::nullopt; }
void PgEngine::undo(const Step&, const std::function<bool(double)>&) { throw UndoConflict(UndoConflict::Why::StepGone); }
void PgEngine::redo(const Step&, const std::function<bool(double)>&) { throw UndoConflict(UndoConflict::Why::StepGone); }
QList<Change> PgEngine::historyOf(const QString&) { return {}; }
QList<StoredRow> PgEngine::rowsAsOf(const QString& id, const QDateTime&) { return storedRowsOf(id); }
bool PgEngine::restoreValue(const Change&, qint64) { return false; }
QList<DeletedObject> PgEngine::recentlyDeleted() { return {}; }
bool PgEngine::restoreObject(const DeletedObject&) { return false; }
HistorySize PgEngine::historySize() { return {}; }
void PgEngine::forgetBefore(const QDateTime&) {}

bool PgEngine::removeObject(const QString& id, const QList<StoredRow>& shown) {
    struct NotAsShown {};
    try {
        return transaction([&] {
            // Each row as shown, and none besides; else nothing is deleted.
            for (const StoredRow& r : shown)
                if (exec("DELETE FROM data WHERE rowid = $1 AND o IS NOT DISTINCT FROM $2 AND p IS NOT DISTINCT FROM $3 "
                         "AND v IS NOT DISTINCT FROM $4",
                         pg::Params().number(r.rowid).text(r.row.o).text(r.row.p).text(r.row.v))
                        .affected() != 1)
                    throw NotAsShown();
            if (!storedRowsOf(id).isEmpty()) throw NotAsShown();
            return true;
        });
    } catch (const NotAsShown&) {
        return false;
    }
}

} // namespace olv
