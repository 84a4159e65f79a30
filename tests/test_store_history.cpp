// The history of every row: what is kept of changes by Olv and by other programs, undo and redo
// as a stack that survives closing the file and never overwrites later work, the object as it
// was, restoring values and deleted objects, forgetting, and a killed undo leaving all or nothing.
// A model-based test runs random steps from Olv and from a second connection and compares the
// database with a plain in-memory model after each. What does not hang on the file runs on a
// server database too, where each change also names the database user who made it.

#include "engines.h"
#include "fakes.h"
#include "files.h"
#include "store/store.h"

#include <QtTest>
#include <csignal>
#include <functional>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace olv;

using test::FakeClock;

class HistoryTest : public QObject {
    Q_OBJECT
public:
    explicit HistoryTest(bool server) : m_server(server) {}

private:
    const bool m_server;
    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath("Olv.mdb"); // or a new server database per test

    Database db() { return Database(m_path); }
    // Another program writing the database: the stock sqlite3 shell with nothing loaded, or
    // another connection to the server, as its owner. Answers the first column of the last statement's rows.
    QString shell(const QString& statements) {
        if (m_server) return test::PgServer::instance().exec(test::ownerOf(m_path), statements);
        return test::sqliteShell(m_path, statements);
    }
    QList<Row> rows() {
        QList<Row> all;
        for (const StoredRow& r : test::storedRows(m_path)) all << r.row;
        return all;
    }
    StoredRow rowOf(const QString& id, const QString& p) {
        for (const StoredRow& r : db().storedRowsOf(id))
            if (r.row.p == p) return r;
        return {};
    }

    // Runs check where the files may only be read: as this account, or as nobody when that is
    // root, who may write any file.
    bool readingOnly(const QStringList& files, const std::function<bool()>& check) {
        const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
        QFile::setPermissions(m_dir.path(), readable | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        for (const QString& f : files) QFile::setPermissions(f, readable);
        bool ok = false;
        if (geteuid() != 0) {
            ok = check();
        } else if (const pid_t child = fork(); child == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
            _exit(check() ? 0 : 1);
        } else {
            int status = 0;
            waitpid(child, &status, 0);
            ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        for (const QString& f : files) QFile::setPermissions(f, readable | QFile::WriteOwner);
        return ok;
    }

private slots:
    void initTestCase() {
        if (m_server) OLV_NEEDS_SERVER();
        qInfo("on %s", m_server ? "a server" : "a file");
    }
    void init() { m_path = test::freshDatabase(m_server, m_dir.filePath("Olv.mdb")); }

    void keepsEveryChangeWhoeverMakesIt() {
        db().step("new property colour").append("OlObj1", "colour", "red");
        QVERIFY(db().step("edit of colour").replaceRow(rowOf("OlObj1", "colour"), {"OlObj1", "colour", "blue"}));
        // A write that finds its row changed is no step at all.
        QVERIFY(!db().step("edit of colour").replaceRow({999, {"OlObj1", "colour", "x"}}, {"OlObj1", "colour", "y"}));
        shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'; INSERT INTO DATA (O, P, V) VALUES ('olobj1', 'size', 5)");
        db().step("delete of size").removeRow(rowOf("OlObj1", "size"));

        const QList<Change> h = db().historyOf("OLOBJ1");
        QCOMPARE(h.size(), 5);
        QCOMPARE(h[0].kind, Change::Kind::Removed);
        QCOMPARE(h[0].beforeV, QString("5"));
        QCOMPARE(h[0].stepWhat, QString("delete of size"));
        QCOMPARE(h[1].kind, Change::Kind::Added);
        QCOMPARE(h[1].afterO, QString("olobj1"));
        QCOMPARE(h[1].step, 0); // another program
        QCOMPARE(h[2].beforeV + ">" + h[2].afterV, QString("blue>green"));
        QVERIFY(h[2].stepWhat.isEmpty());
        QCOMPARE(h[3].beforeV + ">" + h[3].afterV, QString("red>blue"));
        QCOMPARE(h[3].stepWhat, QString("edit of colour"));
        QCOMPARE(h[4].kind, Change::Kind::Added);
        if (m_server) // the database user of every change, whoever made it: here the owner came between
            QCOMPARE(QStringList({h[0].who, h[1].who, h[2].who, h[3].who, h[4].who}),
                     QStringList({test::kUserRole, "olv", "olv", test::kUserRole, test::kUserRole}));
        QVERIFY(h[0].seq > h[1].seq && h[1].at >= h[4].at && h[4].at.isValid());
        QCOMPARE(db().stepToUndo()->what, QString("delete of size"));
        // The search index never sees the history.
        QCOMPARE(db().findObjects("red", true), QStringList{});
        QCOMPARE(shell("SELECT count(*) FROM DATA_STEPS"), QString("3"));
    }

    void undoAndRedoAreAStackThatSurvivesClosing() {
        FakeClock clock;
        const QString id = db().step("new object").createObject(clock, [](const QString& id) {
            return std::optional<QList<Row>>({{id, kName, "Lamp"}, {id, "colour", "red"}});
        });
        QVERIFY(db().step("edit of colour").replaceRow(rowOf(id, "colour"), {id, "colour", "blue"}));
        QVERIFY(db().step("delete of Name").removeRow(rowOf(id, kName)));
        QCOMPARE(db().stepToRedo(), std::nullopt);

        db().undo(*db().stepToUndo()); // delete of Name
        QCOMPARE(rows(), (QList<Row>{{id, kName, "Lamp"}, {id, "colour", "blue"}}));
        QCOMPARE(rowOf(id, kName).rowid, 1); // back in its place
        db().undo(*db().stepToUndo()); // edit of colour
        QCOMPARE(db().stepToUndo()->what, QString("new object"));
        QCOMPARE(db().stepToRedo()->what, QString("edit of colour"));
        db().redo(*db().stepToRedo());
        QCOMPARE(rows(), (QList<Row>{{id, kName, "Lamp"}, {id, "colour", "blue"}}));
        QCOMPARE(db().stepToRedo()->what, QString("delete of Name"));
        db().undo(*db().stepToUndo()); // the redone edit, again
        db().undo(*db().stepToUndo()); // new object
        QCOMPARE(rows(), QList<Row>{});
        QCOMPARE(db().stepToUndo(), std::nullopt);
        db().redo(*db().stepToRedo());
        QCOMPARE(rows(), (QList<Row>{{id, kName, "Lamp"}, {id, "colour", "red"}}));
        // A new step ends what could be redone.
        db().step("new property size").append(id, "size", "5");
        QCOMPARE(db().stepToRedo(), std::nullopt);
        QCOMPARE(db().stepToUndo()->what, QString("new property size"));
        // Undo and redo are kept as what they did.
        const QList<Change> h = db().historyOf(id);
        QCOMPARE(h[1].stepWhat, QString("redo of new object"));
        QVERIFY(std::any_of(h.begin(), h.end(), [](const Change& c) { return c.stepWhat == "undo of edit of colour"; }));
    }

    void undoNeverOverwritesLaterWork() {
        db().step("new property colour").append("OlObj1", "colour", "red");
        db().step("new property size").append("OlObj1", "size", "5");
        QVERIFY(db().step("edit of colour").replaceRow(rowOf("OlObj1", "colour"), {"OlObj1", "colour", "blue"}));
        shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'");
        const QByteArray before = m_server ? QByteArray() : test::bytesOf(m_path);
        try {
            db().undo(*db().stepToUndo());
            QFAIL("undo overwrote a later change");
        } catch (const UndoConflict& c) {
            QCOMPARE(c.why, UndoConflict::Why::RowChanged);
            QCOMPARE(c.o + "/" + c.p, QString("OlObj1/colour"));
        }
        if (!m_server) QCOMPARE(test::bytesOf(m_path), before);
        QCOMPARE(rowOf("OlObj1", "colour").row.v, QString("green"));
        // A step another Olv took back meanwhile is gone from this one's menu.
        const Step stale = *db().stepToUndo();
        shell("UPDATE DATA SET V = 'blue' WHERE P = 'colour'");
        db().undo(stale);
        QCOMPARE(rowOf("OlObj1", "colour").row.v, QString("red"));
        QVERIFY_THROWS_EXCEPTION(UndoConflict, db().undo(stale));
        if (m_server) return; // values there are text
        // Values another program stored as bytes stay bytes through undo.
        // (A blob: a column declared TEXT turns numbers into text.)
        shell("INSERT INTO DATA VALUES ('OlObj2', 'n', X'37')");
        db().step("delete of n").removeRow(rowOf("OlObj2", "n"));
        db().undo(*db().stepToUndo());
        QCOMPARE(shell("SELECT typeof(V) FROM DATA WHERE O = 'OlObj2'"), QString("blob"));
    }

    void theObjectAsItWasAndRestoringAValue() {
        db().step("new property colour").append("OlObj1", "colour", "red");
        QTest::qWait(5);
        QVERIFY(db().step("edit of colour").replaceRow(rowOf("OlObj1", "colour"), {"OlObj1", "colour", "blue"}));
        QTest::qWait(5);
        shell("INSERT INTO DATA (O, P, V) VALUES ('OlObj1', 'size', 'L'); DELETE FROM DATA WHERE P = 'colour'");
        const QList<Change> h = db().historyOf("OlObj1");
        QCOMPARE(h.size(), 4);
        QCOMPARE(h[0].kind, Change::Kind::Removed);
        const auto values = [&](const QDateTime& at) {
            QStringList vs;
            for (const StoredRow& r : db().rowsAsOf("OlObj1", at)) vs << r.row.p + "=" + r.row.v;
            return vs;
        };
        QCOMPARE(values(h[3].at), QStringList{"colour=red"});
        QCOMPARE(values(h[2].at), QStringList{"colour=blue"});
        QCOMPARE(values(h[1].at), (QStringList{"colour=blue", "size=L"}));
        QCOMPARE(values(h[3].at.addSecs(-1)), QStringList{});
        QCOMPARE(values(QDateTime::currentDateTimeUtc()), QStringList{"size=L"});

        // The value the other program deleted comes back, as a step that can be undone; a
        // window showing an older history is refused.
        QVERIFY(!db().step("restore of colour").restoreValue(h[0], h[1].seq));
        QVERIFY(db().step("restore of colour").restoreValue(h[0], h[0].seq));
        QCOMPARE(rows(), (QList<Row>{{"OlObj1", "colour", "blue"}, {"OlObj1", "size", "L"}}));
        QCOMPARE(rowOf("OlObj1", "colour").rowid, 1);
        // An older value of a row that still exists replaces the row's value.
        const QList<Change> now = db().historyOf("OlObj1");
        QVERIFY(db().step("restore of colour").restoreValue(h[2], now[0].seq));
        QCOMPARE(rows(), (QList<Row>{{"OlObj1", "colour", "red"}, {"OlObj1", "size", "L"}}));
        QCOMPARE(db().stepToUndo()->what, QString("restore of colour"));
        db().undo(*db().stepToUndo());
        QCOMPARE(rowOf("OlObj1", "colour").row.v, QString("blue"));
    }

    void deletedObjectsComeBackWhole() {
        FakeClock clock;
        const QString lamp = db().step("new object").createObject(clock, [](const QString& id) {
            return std::optional<QList<Row>>({{id, kName, "Lamp"}, {id, kTOO, "Thing"}, {id, "colour", "red"}});
        });
        db().step("new property").append("OlObj2", kName, "Chair");
        shell(m_server ? "INSERT INTO DATA (O, P, V) VALUES ('OlObj2', 'legs', '4')"
                       : "INSERT INTO DATA VALUES ('OlObj2', 'legs', X'34')"); // bytes in a file

        // Delete object goes only when the rows are those the user was shown.
        QList<StoredRow> shown = db().storedRowsOf(lamp);
        shell("UPDATE DATA SET V = 'pink' WHERE P = 'colour'");
        QVERIFY(!db().step("delete object Lamp").removeObject(lamp, shown));
        shown = db().storedRowsOf(lamp);
        QVERIFY(db().step("delete object Lamp").removeObject(lamp, shown));
        QVERIFY(!db().exists(lamp));
        // Another program empties the chair one row at a time.
        shell("DELETE FROM DATA WHERE P = 'legs'");
        shell("DELETE FROM DATA WHERE O = 'OlObj2'");

        QList<DeletedObject> gone = db().recentlyDeleted();
        QCOMPARE(gone.size(), 2);
        QCOMPARE(gone[0].id, QString("OlObj2"));
        QCOMPARE(gone[0].rows, (QList<Row>{{"OlObj2", kName, "Chair"}, {"OlObj2", "legs", "4"}}));
        QVERIFY(gone[0].madeBy.isEmpty());
        QCOMPARE(gone[1].id, lamp);
        QCOMPARE(gone[1].rows.size(), 3);
        QCOMPARE(gone[1].madeBy, QString("delete object Lamp"));

        QVERIFY(db().step("restore of Chair").restoreObject(gone[0]));
        if (!m_server) QCOMPARE(shell("SELECT V, typeof(V) FROM DATA WHERE P = 'legs'"), QString("4|blob"));
        QVERIFY(!db().step("restore of Chair").restoreObject(gone[0])); // it has rows again
        QCOMPARE(db().recentlyDeleted().size(), 1);
        db().undo(*db().stepToUndo());
        QVERIFY(!db().exists("OlObj2"));
        db().undo(*db().stepToUndo()); // the delete object
        QCOMPARE(db().storedRowsOf(lamp), shown);
    }

    void forgettingKeepsWholeStepsAndReadOnlyFilesShowHistory() {
        db().step("new property a").append("OlObj1", "a", "1");
        QTest::qWait(5);
        const QDateTime cut = QDateTime::currentDateTimeUtc();
        QTest::qWait(5);
        db().step("new property b").append("OlObj1", "b", "2");
        HistorySize size = db().historySize();
        QCOMPARE(size.changes, 2);
        QCOMPARE(size.steps, 2);
        QVERIFY(size.bytes > 0 && size.oldest < cut);
        db().forgetBefore(cut);
        size = db().historySize();
        QCOMPARE(size.changes, 1);
        QVERIFY(size.oldest > cut);
        db().undo(*db().stepToUndo());
        QCOMPARE(db().stepToUndo(), std::nullopt); // the forgotten step is no longer there to undo
        QCOMPARE(rows(), (QList<Row>{{"OlObj1", "a", "1"}}));
        if (m_server) return;

        // A file Olv may only read shows its history and offers no undo; one without history
        // stays untouched.
        const QString bare = m_dir.filePath("bare.db");
        Store::createIfMissing(bare);
        const QByteArray before = test::bytesOf(bare);
        QVERIFY(readingOnly({m_path, bare}, [&] {
            Database readOnly(m_path);
            return readOnly.abilities().history && !readOnly.abilities().writable &&
                   readOnly.historyOf("OlObj1").size() == 2 && !Database(bare).abilities().history;
        }));
        QCOMPARE(test::bytesOf(bare), before);
    }

    // Random steps by Olv and by another connection; after each, the database holds what a plain
    // model says, and Undo and Redo offer what the model's two stacks hold. Rows added at a new
    // place take the numbers the database gives them, each after every row it then holds.
    void randomStepsAgreeWithAModel() {
        struct Effect {
            qint64 rowid;
            std::optional<Row> before, after;
        };
        struct ModelStep {
            QString what;
            QList<Effect> did; // what its last doing did
        };
        std::map<qint64, Row> model;
        QList<ModelStep> done, undone;
        std::mt19937 random(20261207);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        const QStringList objects{"OlObj1", "OlObj2", "OlObj3"}, props{"a", "b", "c"}, values{"x", "y", "z", ""};
        // The rows the last write added at new places, in the order added: the database's rows the
        // model lacks, numbered after every row the model holds.
        const auto place = [&](const QList<Row>& added) -> std::optional<QList<qint64>> {
            QList<qint64> given;
            for (const StoredRow& r : test::storedRows(m_path))
                if (!model.count(r.rowid)) given << r.rowid;
            if (given.size() != added.size() || (!given.isEmpty() && !model.empty() && given[0] <= model.rbegin()->first))
                return std::nullopt;
            for (qsizetype k = 0; k < given.size(); ++k) model[given[k]] = added[k];
            return given;
        };
        const auto anyRow = [&]() -> std::optional<StoredRow> {
            if (model.empty()) return std::nullopt;
            auto it = model.begin();
            std::advance(it, pick(int(model.size())));
            return StoredRow{it->first, it->second};
        };
        // The opposite of what a step did, newest first; nothing when a row is not as it left it.
        // Rows deleted together come back in their places where those are free, and then the
        // others at new places (numbered 0 here until placed).
        const auto invert = [&](const QList<Effect>& did) -> std::optional<QList<Effect>> {
            std::map<qint64, Row> trial = model;
            QList<Effect> inverse, taken;
            for (auto e = did.rbegin(); e != did.rend(); ++e) {
                if (e->after && (!trial.count(e->rowid) || trial[e->rowid] != *e->after)) return std::nullopt;
                if (!e->before) {
                    trial.erase(e->rowid);
                    inverse.push_back({e->rowid, e->after, std::nullopt});
                } else if (e->after) {
                    trial[e->rowid] = *e->before;
                    inverse.push_back({e->rowid, e->after, e->before});
                } else if (model.count(e->rowid)) {
                    taken.push_back({0, std::nullopt, e->before});
                } else {
                    trial[e->rowid] = *e->before;
                    inverse.push_back({e->rowid, std::nullopt, e->before});
                }
            }
            model = trial;
            return inverse + taken;
        };
        const auto placeTaken = [&](QList<Effect>& inverse) {
            QList<Row> rows;
            for (const Effect& e : inverse)
                if (!e.rowid) rows << *e.after;
            const std::optional<QList<qint64>> at = place(rows);
            for (qsizetype e = 0, k = 0; at && e < inverse.size(); ++e)
                if (!inverse[e].rowid) inverse[e].rowid = at->at(k++);
            return at.has_value();
        };

        for (int i = 0; i < 400; ++i) {
            const int op = pick(10);
            const QString o = objects[pick(3)], p = props[pick(3)], v = values[pick(4)];
            if (op <= 1) { // Olv adds a row
                db().step("add " + p).append(o, p, v);
                const std::optional<QList<qint64>> at = place({{o, p, v}});
                QVERIFY2(at, qPrintable(QString("an added row is not where it belongs at step %1").arg(i)));
                done.push_back({"add " + p, {{at->first(), std::nullopt, Row{o, p, v}}}});
                undone.clear();
            } else if (op == 2 || op == 3) { // Olv edits or deletes a row
                const std::optional<StoredRow> r = anyRow();
                if (!r) continue;
                if (op == 2) {
                    const Row now{r->row.o, r->row.p, v};
                    if (!db().step("edit").replaceRow(*r, now)) QFAIL("an edit of a row as read was refused");
                    if (now == r->row) continue; // nothing changed: no step
                    model[r->rowid] = now;
                    done.push_back({"edit", {{r->rowid, r->row, now}}});
                } else {
                    QVERIFY(db().step("delete").removeRow(*r));
                    model.erase(r->rowid);
                    done.push_back({"delete", {{r->rowid, r->row, std::nullopt}}});
                }
                undone.clear();
            } else if (op == 4) { // Olv deletes an object
                const QList<StoredRow> shown = db().storedRowsOf(o);
                if (shown.isEmpty()) continue;
                QVERIFY(db().step("delete object").removeObject(o, shown));
                QList<Effect> did;
                for (const StoredRow& r : shown) {
                    model.erase(r.rowid);
                    did.push_back({r.rowid, r.row, std::nullopt});
                }
                done.push_back({"delete object", did});
                undone.clear();
            } else if (op == 5 || op == 6) { // another connection writes
                const std::optional<StoredRow> r = anyRow();
                // Its rows go to free places before the last row where there are, as a program
                // numbering its rows itself may put them, two at a time, so that undo finds places taken.
                QList<qint64> free;
                for (qint64 n = 1; free.size() < 2 && !model.empty() && n < model.rbegin()->first; ++n)
                    if (!model.count(n)) free << n;
                if ((op == 5 || !r) && !free.isEmpty()) {
                    for (const qint64 n : free) {
                        test::rawSql(m_path, "INSERT INTO DATA (rowid, O, P, V) VALUES (CAST($1 AS INTEGER), $2, $3, $4)",
                                     {QString::number(n), o, p, v});
                        model[n] = {o, p, v};
                    }
                } else if (op == 5 || !r) {
                    test::rawSql(m_path, "INSERT INTO DATA (O, P, V) VALUES ($1, $2, $3)", {o, p, v});
                    QVERIFY(place({{o, p, v}}));
                } else if (pick(2)) {
                    test::rawSql(m_path, "UPDATE DATA SET V = $1 WHERE rowid = CAST($2 AS INTEGER)", {v, QString::number(r->rowid)});
                    model[r->rowid].v = v;
                } else {
                    test::rawSql(m_path, "DELETE FROM DATA WHERE rowid = CAST($1 AS INTEGER)", {QString::number(r->rowid)});
                    model.erase(r->rowid);
                }
            } else if (op <= 8) { // Undo
                const std::optional<Step> step = db().stepToUndo();
                QCOMPARE(step.has_value(), !done.isEmpty());
                if (!step) continue;
                QCOMPARE(step->what, done.last().what);
                const std::map<qint64, Row> was = model;
                std::optional<QList<Effect>> inverse = invert(done.last().did);
                try {
                    db().undo(*step);
                    QVERIFY2(inverse, "undo overwrote later work");
                    QVERIFY2(placeTaken(*inverse), qPrintable(QString("undo put rows where they do not belong at step %1").arg(i)));
                    done.last().did = *inverse;
                    undone.push_back(done.takeLast());
                } catch (const UndoConflict&) {
                    QVERIFY2(!inverse, "undo refused a step whose rows were as it left them");
                    model = was;
                }
            } else { // Redo
                const std::optional<Step> step = db().stepToRedo();
                QCOMPARE(step.has_value(), !undone.isEmpty());
                if (!step) continue;
                QCOMPARE(step->what, undone.last().what);
                const std::map<qint64, Row> was = model;
                std::optional<QList<Effect>> again = invert(undone.last().did);
                try {
                    db().redo(*step);
                    QVERIFY2(again, "redo overwrote later work");
                    QVERIFY2(placeTaken(*again), qPrintable(QString("redo put rows where they do not belong at step %1").arg(i)));
                    undone.last().did = *again;
                    done.push_back(undone.takeLast());
                } catch (const UndoConflict&) {
                    QVERIFY2(!again, "redo refused a step whose rows were as it left them");
                    model = was;
                }
            }
            // The database, row for row and number for number.
            std::map<qint64, Row> held;
            for (const StoredRow& r : test::storedRows(m_path)) held[r.rowid] = r.row;
            if (held != model) QFAIL(qPrintable(QString("the database and the model part at step %1 (op %2)").arg(i).arg(op)));
        }
    }
};

// What hangs on the file's own locking: a process killed half-way through an undo.
class HistoryFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path = m_dir.filePath("Olv.mdb");

    Database db() { return Database(m_path); }
    QString shell(const QString& statements) {
        return test::sqliteShell(m_path, statements);
    }

private slots:
    void init() {
        QFile::remove(m_path);
        Store::createIfMissing(m_path);
    }

    // A killed undo of a large import leaves all of it or none of it.
    void killedUndoLeavesAllOrNothing() {
        QList<TypedRow> imported;
        for (int i = 0; i < 100000; ++i)
            imported.push_back({QStringLiteral("OlObj%1").arg(i / 10), QStringLiteral("p%1").arg(i % 10), QString::number(i)});
        QCOMPARE(db().step("import of 100000 rows").addMissing(imported), 100000);
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        const pid_t child = fork();
        if (child == 0) {
            close(ready[0]);
            try {
                Database mine(m_path);
                mine.undo(*mine.stepToUndo(), [&](double share) {
                    if (share > 0.3) {
                        const char c = 1;
                        (void)!write(ready[1], &c, 1);
                    }
                    return true;
                });
            } catch (...) {
            }
            _exit(0);
        }
        close(ready[1]);
        char c = 0;
        const bool signalled = read(ready[0], &c, 1) == 1;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(ready[0]);
        QVERIFY(signalled);
        const QString count = shell("PRAGMA integrity_check; SELECT count(*) FROM DATA");
        QVERIFY2(count == "ok\n100000" || count == "ok\n0", qPrintable(count));
        if (count.endsWith("\n100000")) QCOMPARE(db().stepToUndo()->what, QString("import of 100000 rows"));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    HistoryTest onFile(false), onServer(true);
    HistoryFileTest file;
    return test::runEach(argc, argv, {&onFile, &onServer, &file});
}
#include "test_store_history.moc"
