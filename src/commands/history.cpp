#include "history.h"

#include "search.h"

#include <QDir>
#include <QLocale>

namespace olv {

namespace {

const QString kArrow = QStringLiteral(" → ");

// A step's name as a menu shows it: on one line, and not wider than a menu should be.
QString oneLine(const QString& what) {
    QString line = what.simplified();
    constexpr qsizetype kLongest = 60;
    if (line.size() > kLongest) line = line.left(kLongest - 1) + QChar(0x2026);
    return line;
}

QString caption(const char* verb, const std::optional<Step>& step) {
    const QString plain = QString::fromLatin1(verb);
    return step ? plain + QLatin1Char(' ') + oneLine(step->what) : plain;
}

// "1 row", "3 rows"
QString counted(qint64 n, const QString& what) {
    return QStringLiteral("%1 %2%3").arg(n).arg(what, n == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

QString HistoryCommands::Offer::undoCaption() const { return caption("Undo", undo); }
QString HistoryCommands::Offer::redoCaption() const { return caption("Redo", redo); }

QString HistoryCommands::shown(const QDateTime& at) {
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The newest Name the object's history saw it hold, else its identifier.
static QString nameIn(const QList<Change>& changes, const QString& id) {
    for (const Change& c : changes) {
        if (c.kind != Change::Kind::Removed && c.afterP == kName && jet::equal(c.afterO, id)) return c.afterV;
        if (c.kind != Change::Kind::Added && c.beforeP == kName && jet::equal(c.beforeO, id)) return c.beforeV;
    }
    return id;
}

QString HistoryCommands::nameOf(Database& db, const QString& id) {
    const QString now = db.valueOf(id, kName);
    return now.isNull() ? nameIn(db.historyOf(id), id) : now;
}

HistoryCommands::Offer HistoryCommands::offer() {
    Offer offer;
    Database db(m_store.path(), Database::Indexes::Leave);
    const Engine::Abilities can = db.abilities();
    offer.history = can.history;
    offer.writable = can.writable;
    // A file that may only be read shows its history but offers nothing to take back.
    if (can.history && can.writable) {
        offer.undo = db.stepToUndo();
        offer.redo = db.stepToRedo();
    }
    return offer;
}

HistoryCommands::Refusal HistoryCommands::undo(Database& db, const Step& step,
                                               const std::function<bool(double)>& progress) {
    return takeBack(db, step, true, progress);
}

HistoryCommands::Refusal HistoryCommands::redo(Database& db, const Step& step,
                                               const std::function<bool(double)>& progress) {
    return takeBack(db, step, false, progress);
}

HistoryCommands::Refusal HistoryCommands::takeBack(Database& db, const Step& step, bool undo,
                                                   const std::function<bool(double)>& progress) {
    const QString what = caption(undo ? "Undo" : "Redo", step);
    const QString nothing = undo ? QStringLiteral("nothing was undone") : QStringLiteral("nothing was redone");
    try {
        if (undo) db.undo(step, progress);
        else db.redo(step, progress);
        return {};
    } catch (const UndoConflict& conflict) {
        if (conflict.why == UndoConflict::Why::StepGone)
            return QStringLiteral("%1: another Olv has changed what this file can %2 meanwhile, so this is no "
                                  "longer the step to take and %3. The Edit menu now names the step it would take.")
                .arg(what, undo ? QStringLiteral("undo") : QStringLiteral("redo"), nothing);
        return QStringLiteral("%1: \"%2\" of \"%3\" was changed since by another program or another Olv, so %4.")
            .arg(what, conflict.p, nameOf(db, conflict.o), nothing);
    }
}

// --- One object's history -----------------------------------------------------------------------

HistoryCommands::Line HistoryCommands::lineOf(const Change& c, const QString& id) {
    Line line;
    line.when = shown(c.at);
    line.madeBy = c.step ? QStringLiteral("Olv: ") + c.stepWhat : kAnotherProgram;
    line.user = c.who;
    const bool wasHere = c.kind != Change::Kind::Added && jet::equal(c.beforeO, id);
    const bool isHere = c.kind != Change::Kind::Removed && jet::equal(c.afterO, id);
    switch (c.kind) {
    case Change::Kind::Added:
        line.property = c.afterP;
        line.change = QStringLiteral("(none)") + kArrow + c.afterV;
        break;
    case Change::Kind::Removed:
        line.property = c.beforeP;
        line.change = c.beforeV + kArrow + QStringLiteral("(deleted)");
        break;
    case Change::Kind::Changed:
        line.property = c.beforeP == c.afterP ? c.afterP : c.beforeP + kArrow + c.afterP;
        line.change = (wasHere ? c.beforeV : QStringLiteral("(moved from another object)")) + kArrow +
                      (isHere ? c.afterV : QStringLiteral("(moved to another object)"));
        break;
    }
    // Only what this object lost comes back from its own history.
    line.restorable = wasHere;
    return line;
}

HistoryCommands::ObjectHistory HistoryCommands::historyOf(const QString& id) {
    ObjectHistory h;
    h.id = id;
    Database db = m_store.open();
    const Engine::Abilities can = db.abilities();
    h.history = can.history;
    h.writable = can.writable;
    h.changes = db.historyOf(id);
    h.lines.reserve(h.changes.size());
    for (const Change& c : h.changes) h.lines.push_back(lineOf(c, id));
    h.name = db.valueOf(id, kName);
    if (h.name.isNull()) h.name = nameIn(h.changes, id);
    return h;
}

QList<StoredRow> HistoryCommands::asOf(const QString& id, const QDateTime& at) {
    // To the end of the second shown, so that "10:00:05" holds what was done during it.
    const QDateTime end = at.addMSecs(999 - at.time().msec()).toUTC();
    return m_store.open().rowsAsOf(id, end);
}

HistoryCommands::Refusal HistoryCommands::restore(const ObjectHistory& history, qsizetype line) {
    if (!history.writable) return kReadOnly;
    const Change& change = history.changes.at(line);
    if (!lineOf(change, history.id).restorable) return QStringLiteral("This change took nothing away, so there is nothing to restore.");
    if (m_store.open().step(QStringLiteral("restore of ") + change.beforeP).restoreValue(change, history.newestSeen()))
        return {};
    return QStringLiteral("\"%1\" was changed after its history was read, so nothing was restored. Its history "
                          "is shown again as it is now.")
        .arg(history.name);
}

// --- Deleting an object -------------------------------------------------------------------------

QString HistoryCommands::DeleteQuestion::text() const {
    if (rows.isEmpty()) return {};
    QString text = QStringLiteral("Delete the object \"%1\" with its %2?\n\n").arg(name, counted(rows.size(), QStringLiteral("row")));
    if (linking.isEmpty()) {
        text += QStringLiteral("No object links to it.");
    } else {
        text += linking.size() == 1
                    ? QStringLiteral("1 object links to it; its link will dangle, leading to no object:\n")
                    : QStringLiteral("%1 objects link to it; their links will dangle, leading to no object:\n")
                          .arg(linking.size());
        constexpr qsizetype kListed = 15;
        text += linking.mid(0, kListed).join(QLatin1Char('\n'));
        if (linking.size() > kListed) text += QStringLiteral("\nand %1 more").arg(linking.size() - kListed);
    }
    return text + QStringLiteral("\n\nEdit, Undo brings it back.");
}

HistoryCommands::DeleteQuestion HistoryCommands::deleteQuestion(const QString& id, KeepGoing keepGoing) {
    DeleteQuestion q;
    q.id = id;
    {
        Database db = m_store.open();
        q.writable = db.abilities().writable;
        q.rows = db.storedRowsOf(id);
        q.name = nameOf(db, id);
    }
    // The very list "load related objects" shows, by name.
    SearchCommand search(m_store, std::move(keepGoing));
    for (const auto& [key, name] : search.nodes(QString(), search.related(id))) q.linking << name;
    return q;
}

HistoryCommands::Refusal HistoryCommands::deleteObject(const DeleteQuestion& q) {
    if (!q.writable) return kReadOnly;
    if (m_store.open().step(QStringLiteral("delete object ") + q.name).removeObject(q.id, q.rows)) return {};
    return QStringLiteral("The rows of \"%1\" were changed after the question was asked, so nothing was deleted.")
        .arg(q.name);
}

// --- Recently deleted ---------------------------------------------------------------------------

QList<HistoryCommands::DeletedEntry> HistoryCommands::recentlyDeleted() {
    Database db = m_store.open();
    QList<DeletedEntry> entries;
    QStringList classIds;
    for (DeletedObject& object : db.recentlyDeleted()) {
        DeletedEntry e;
        e.name = object.id;
        QString too;
        for (const Row& r : object.rows) {
            if (r.p == kName && e.name == object.id) e.name = r.v;
            if (r.p == kTOO && too.isNull()) too = r.v;
        }
        if (isObjectId(too)) classIds << too;
        e.className = too; // named below, all classes at once
        e.when = shown(object.at);
        e.madeBy = object.madeBy.isEmpty() ? kAnotherProgram : QStringLiteral("Olv: ") + object.madeBy;
        e.object = std::move(object);
        entries.push_back(std::move(e));
    }
    const QStringList classNames = db.namesOf(classIds);
    qsizetype next = 0;
    // As the main window's frame names the class: by the class's Name, else the value without
    // "OlVal" ("Class" for a class).
    for (DeletedEntry& e : entries) {
        if (isObjectId(e.className)) {
            const QString& name = classNames[next++];
            e.className = name.isNull() ? kNotAvailable : name;
        } else {
            e.className.remove(QStringLiteral("OlVal"));
        }
    }
    return entries;
}

HistoryCommands::Refusal HistoryCommands::restore(const DeletedEntry& entry) {
    Database db = m_store.open();
    if (!db.abilities().writable) return kReadOnly;
    try {
        if (db.step(QStringLiteral("restore of ") + entry.name).restoreObject(entry.object)) return {};
        return QStringLiteral("\"%1\" has rows again, so nothing was restored.").arg(entry.name);
    } catch (const UndoConflict&) {
        return QStringLiteral("Part of what \"%1\" held has been forgotten, so it cannot be brought back whole; "
                              "nothing was restored.")
            .arg(entry.name);
    }
}

// --- What the history takes ---------------------------------------------------------------------

HistoryCommands::Size HistoryCommands::size() {
    Size s;
    Database db(m_store.path(), Database::Indexes::Leave);
    const Engine::Abilities can = db.abilities();
    s.history = can.history;
    s.writable = can.writable;
    if (s.history) s.size = db.historySize();
    return s;
}

QString HistoryCommands::Size::text(const QString& file) const {
    if (!history) return kNoHistory;
    const QString taken = QLocale().formattedDataSize(size.bytes, 1, QLocale::DataSizeSIFormat);
    const QString where = displayNameOf(file);
    if (size.changes == 0)
        return QStringLiteral("The history of %1 takes %2 and holds no changes.").arg(where, taken);
    return QStringLiteral("The history of %1 takes %2: %3 in %4 of Olv, kept since %5.")
        .arg(where, taken, counted(size.changes, QStringLiteral("change")), counted(size.steps, QStringLiteral("step")),
             shown(size.oldest));
}

QString HistoryCommands::forgetQuestion(const QDate& before) {
    return QStringLiteral("Forget every change made before %1? Those changes can then no longer be undone, "
                          "restored or looked at.\n\nForgetting itself cannot be undone.")
        .arg(before.toString(QStringLiteral("yyyy-MM-dd")));
}

void HistoryCommands::forgetBefore(const QDate& day) {
    Database(m_store.path(), Database::Indexes::Leave).forgetBefore(QDateTime(day, QTime(0, 0)).toUTC());
}

} // namespace olv
