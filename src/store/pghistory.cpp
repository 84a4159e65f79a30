// The history on the server: a trigger keeps each change in data_history, whoever makes it, and
// the steps Olv's commands take go in data_steps. Undo and redo are worked out from them.

#include "pgcommon.h"

#include <QSet>

namespace olv {

using namespace pg;

namespace pg {

QDateTime timeOf(const Result& r, int row, int column) {
    if (r.isNull(row, column)) return {};
    return QDateTime::fromMSecsSinceEpoch(r.number(row, column), Qt::UTC);
}

} // namespace pg

namespace {

const char* kindName(Step::Kind kind) {
    switch (kind) {
    case Step::Kind::Undo: return "undo";
    case Step::Kind::Redo: return "redo";
    case Step::Kind::Do: break;
    }
    return "do";
}

Step::Kind stepKind(const QString& kind) {
    if (kind == QLatin1String("undo")) return Step::Kind::Undo;
    if (kind == QLatin1String("redo")) return Step::Kind::Redo;
    return Step::Kind::Do;
}

const QString kStepColumns = QStringLiteral("step, what, kind, %1, who").arg(QString::fromLatin1(kMsOf).arg("at"));

} // namespace

// --- Keeping it ---------------------------------------------------------------------------------

qint64 PgEngine::beginStep(Step::Kind kind, const QString& what, qint64 target) {
    if (!m_history) return 0;
    Params params;
    params.text(what.isEmpty() ? QStringLiteral("change") : what).text(QString::fromLatin1(kindName(kind)));
    if (target) params.number(target);
    else params.text(QString());
    const qint64 step =
        exec("INSERT INTO data_steps (what, kind, target) VALUES ($1, $2, $3) RETURNING step", params).number(0, 0);
    // Seen by the trigger until the transaction ends, and by no other connection.
    exec("SELECT set_config('olv.step', $1, true)", Params().number(step));
    return step;
}

void PgEngine::endStep(qint64 step) {
    if (!step) return;
    exec("SELECT set_config('olv.step', '', true)");
    // A write that changed nothing (a row found changed, say) is no step to undo.
    exec("DELETE FROM data_steps WHERE step = $1 AND NOT EXISTS (SELECT 1 FROM data_history WHERE step = $1)",
         Params().number(step));
}

// --- Undo and redo ------------------------------------------------------------------------------

std::optional<Step> PgEngine::readStep(const Result& r) {
    if (r.rows() == 0) return std::nullopt;
    return Step{r.number(0, 0), r.text(0, 1), stepKind(r.text(0, 2)), timeOf(r, 0, 3), r.text(0, 4)};
}

std::optional<Step> PgEngine::stepToUndo() {
    if (!m_history) return std::nullopt;
    return readStep(exec(("SELECT " + kStepColumns +
                          " FROM data_steps WHERE kind = 'do' AND undone_by IS NULL ORDER BY step DESC LIMIT 1")
                             .toUtf8()
                             .constData()));
}

std::optional<Step> PgEngine::stepToRedo() {
    if (!m_history) return std::nullopt;
    // The step undone last, while no new step was done after its undo.
    return readStep(exec(("SELECT " + kStepColumns +
                          " FROM data_steps s WHERE kind = 'do' AND undone_by IS NOT NULL AND NOT EXISTS "
                          "(SELECT 1 FROM data_steps d WHERE d.kind = 'do' AND d.step > s.undone_by) "
                          "ORDER BY undone_by DESC LIMIT 1")
                             .toUtf8()
                             .constData()));
}

void PgEngine::takeBack(qint64 step, const std::function<bool(double)>& progress) {
    // The step's records newest first, in runs of one kind over distinct rows, each run taken
    // back by a statement or two. Each run's statements touch only rows still as the step left
    // them: a row changed by someone else meanwhile, even one committed while this waited for
    // it, is caught by the count.
    struct Record {
        qint64 seq, row;
        QString kind;
    };
    QList<Record> records;
    {
        const Result r = exec("SELECT seq, data_row, kind FROM data_history WHERE step = $1 ORDER BY seq DESC",
                              Params().number(step));
        for (int i = 0; i < r.rows(); ++i) records.push_back({r.number(i, 0), r.number(i, 1), r.text(i, 2)});
    }
    const char* const kAsLeft = "d.rowid = h.data_row AND d.o IS NOT DISTINCT FROM h.new_o AND d.p IS NOT DISTINCT FROM "
                                "h.new_p AND d.v IS NOT DISTINCT FROM h.new_v";
    const auto conflict = [&](const Params& run) {
        const Result r = exec((std::string("SELECT h.new_o, h.new_p FROM data_history h WHERE h.step = $1 AND h.seq "
                                           "BETWEEN $2 AND $3 AND NOT EXISTS (SELECT 1 FROM data d WHERE ") +
                               kAsLeft + ") ORDER BY h.seq DESC LIMIT 1")
                                  .c_str(),
                              run);
        if (r.rows()) throw UndoConflict(UndoConflict::Why::RowChanged, r.text(0, 0), r.text(0, 1));
        throw UndoConflict(UndoConflict::Why::RowChanged);
    };
    constexpr qsizetype kChunk = 5000;
    QSet<qint64> rows;
    for (qsizetype first = 0; first < records.size();) {
        if (progress && !progress(double(first) / double(records.size()))) throw Cancelled();
        const QString& kind = records[first].kind;
        qsizetype end = first;
        rows.clear();
        while (end < records.size() && end - first < kChunk && records[end].kind == kind &&
               !rows.contains(records[end].row))
            rows.insert(records[end++].row);
        const qint64 count = end - first;
        const Params run = std::move(Params().number(step).number(records[end - 1].seq).number(records[first].seq));
        const std::string inRun = "h.step = $1 AND h.seq BETWEEN $2 AND $3";
        if (kind == QLatin1String("delete")) {
            // A row comes back in its place; where another row has taken it, after those that
            // could, in a place of its own.
            const Result taken = exec(("SELECT h.seq FROM data_history h WHERE " + inRun +
                                       " AND EXISTS (SELECT 1 FROM data WHERE rowid = h.data_row)")
                                          .c_str(),
                                      run);
            QStringList seqs;
            for (int i = 0; i < taken.rows(); ++i) seqs << taken.text(i, 0);
            Params withTaken = run;
            withTaken.texts(seqs);
            exec(("INSERT INTO data (rowid, o, p, v) SELECT h.data_row, h.old_o, h.old_p, h.old_v FROM data_history h "
                  "WHERE " + inRun + " AND h.seq <> ALL ($4::bigint[]) ORDER BY h.seq DESC")
                     .c_str(),
                 withTaken);
            exec(("INSERT INTO data (o, p, v) SELECT h.old_o, h.old_p, h.old_v FROM data_history h WHERE " + inRun +
                  " AND h.seq = ANY ($4::bigint[]) ORDER BY h.seq DESC")
                     .c_str(),
                 withTaken);
        } else if (kind == QLatin1String("insert")) {
            if (exec(("DELETE FROM data d USING data_history h WHERE " + inRun + " AND " + kAsLeft).c_str(), run)
                    .affected() != count)
                conflict(run);
        } else {
            if (exec(("UPDATE data d SET o = h.old_o, p = h.old_p, v = h.old_v FROM data_history h WHERE " + inRun +
                      " AND " + kAsLeft)
                         .c_str(),
                     run)
                    .affected() != count)
                conflict(run);
        }
        first = end;
    }
    if (progress && !progress(1.0)) throw Cancelled();
}

void PgEngine::undo(const Step& step, const std::function<bool(double)>& progress) {
    if (!m_history) throw UndoConflict(UndoConflict::Why::StepGone);
    transaction([&] {
        exec("SELECT pg_advisory_xact_lock($1)", Params().number(kUndoLock));
        const std::optional<Step> current = stepToUndo();
        if (!current || current->id != step.id) throw UndoConflict(UndoConflict::Why::StepGone);
        // What the step last did: the step itself, or the latest redo of it.
        const qint64 source =
            exec("SELECT max(step) FROM data_steps WHERE step = $1 OR (kind = 'redo' AND target = $1)", Params().number(step.id))
                .number(0, 0);
        const qint64 undoing = beginStep(Step::Kind::Undo, current->what, step.id);
        takeBack(source, progress);
        endStep(undoing);
        exec("UPDATE data_steps SET undone_by = $2 WHERE step = $1", Params().number(step.id).number(undoing));
    });
}

void PgEngine::redo(const Step& step, const std::function<bool(double)>& progress) {
    if (!m_history) throw UndoConflict(UndoConflict::Why::StepGone);
    transaction([&] {
        exec("SELECT pg_advisory_xact_lock($1)", Params().number(kUndoLock));
        const std::optional<Step> current = stepToRedo();
        if (!current || current->id != step.id) throw UndoConflict(UndoConflict::Why::StepGone);
        const qint64 source = exec("SELECT undone_by FROM data_steps WHERE step = $1", Params().number(step.id)).number(0, 0);
        const qint64 redoing = beginStep(Step::Kind::Redo, current->what, step.id);
        takeBack(source, progress);
        endStep(redoing);
        exec("UPDATE data_steps SET undone_by = NULL WHERE step = $1", Params().number(step.id));
    });
}

} // namespace olv
