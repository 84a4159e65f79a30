// The history's commands, called directly: Undo and Redo named by their step and refused in
// words that name the object when another program changed its row, an object's changes as the
// History window lists them (the sqlite3 shell's too) and restoring one, the question before
// Delete object, the recently deleted and bringing them back, the history's size and forgetting,
// and a file Olv may only read; on a file and again on a server database.

#include "commands/dataentry.h"
#include "commands/history.h"
#include "commands/links.h"
#include "engines.h"
#include "files.h"

#include <QtTest>

using namespace olv;

namespace {

const QString kLamp = QStringLiteral("OlObj20020103125322");
const QString kDesk = QStringLiteral("OlObj20020103125323");
const QString kChair = QStringLiteral("OlObj20020103125324");
const QString kLight = QStringLiteral("OlObj20020103125300");

} // namespace

class CommandsHistoryTest : public QObject {
    Q_OBJECT
public:
    explicit CommandsHistoryTest(bool server) : m_server(server) {}

private:
    const bool m_server;
    QTemporaryDir m_dir;
    Store m_store;
    HistoryCommands history() { return HistoryCommands(m_store); }

    // Another program writing the database: the stock sqlite3 shell, or a connection of its own.
    void shell(const QString& statements) {
        if (m_server) {
            test::rawSql(m_store.path(), statements);
            return;
        }
        test::sqliteShell(m_store.path(), statements);
    }
    StoredRow rowOf(const QString& id, const QString& p) {
        for (const StoredRow& r : m_store.open().storedRowsOf(id))
            if (r.row.p == p) return r;
        return {};
    }
    QStringList rowsOf(const QString& id) {
        QStringList rows;
        for (const Row& r : m_store.open().rowsOf(id)) rows << r.p + '=' + r.v;
        return rows;
    }
    void addLamp() {
        m_store.open().step("new class Light").appendAll({{kLight, kTOO, kClassValue}, {kLight, kName, "Light"}});
        m_store.open().step("new object Lamp").appendAll({{kLamp, kTOO, kLight}, {kLamp, kName, "Lamp"}, {kLamp, "colour", "red"}});
    }
    Database openOnly() { return Database(m_store.path(), Database::Indexes::Leave); }

private slots:
    void initTestCase() {
        if (m_server) OLV_NEEDS_SERVER();
        // A server database's notes lie in the default database's folder in the home folder:
        // here the test's own.
        qputenv("HOME", m_dir.path().toUtf8());
    }
    void init() { m_store.setPath(test::freshDatabase(m_server, m_dir.filePath("Olv.mdb"))); }

    void undoAndRedoAreNamedAndNeverOverwriteLaterWork() {
        HistoryCommands::Offer offer = history().offer();
        QVERIFY(offer.history && offer.writable);
        QCOMPARE(offer.undoCaption() + "/" + offer.redoCaption(), QStringLiteral("Undo/Redo"));

        addLamp();
        QCOMPARE(DataEntryCommands(m_store).change(rowOf(kLamp, "colour"), "colour", "blue"), DataEntryCommands::Outcome::Done);
        offer = history().offer();
        QCOMPARE(offer.undoCaption(), QStringLiteral("Undo edit of colour"));
        QVERIFY(!offer.redo);

        // Another program changes the colour and drops the name: undo says so, naming the
        // object as the user knew it, and the file stays as it was.
        shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'; DELETE FROM DATA WHERE P = 'Name' AND O = '" + kLamp + "'");
        const QList<StoredRow> before = test::storedRows(m_store.path());
        Database db = m_store.open();
        const QString refused = HistoryCommands::undo(db, *offer.undo);
        QCOMPARE(refused, QStringLiteral("Undo edit of colour: \"colour\" of \"Lamp\" was changed since by another "
                                         "program or another Olv, so nothing was undone."));
        QCOMPARE(test::storedRows(m_store.path()), before);

        // Put back as Olv left it, the step undoes; then Redo is offered, and refused in turn.
        shell("UPDATE DATA SET V = 'blue' WHERE P = 'colour'");
        QVERIFY(HistoryCommands::undo(db, *offer.undo).isNull());
        QCOMPARE(rowsOf(kLamp), (QStringList{"TOO=" + kLight, "colour=red"}));
        offer = history().offer();
        QCOMPARE(offer.redoCaption(), QStringLiteral("Redo edit of colour"));
        QCOMPARE(offer.undoCaption(), QStringLiteral("Undo new object Lamp"));
        shell("UPDATE DATA SET V = 'pink' WHERE P = 'colour'");
        QVERIFY(HistoryCommands::redo(db, *offer.redo).endsWith("so nothing was redone."));

        // Another Olv took a step meanwhile: this one's Undo, read before, is refused rather than
        // taking back something other than it said.
        Store(m_store.path()).open().step("new property size").append(kLamp, "size", "L");
        const QString stale = HistoryCommands::undo(db, *offer.undo);
        QVERIFY2(stale.startsWith("Undo new object Lamp: another Olv ") && stale.contains("no longer the step") &&
                     stale.contains("nothing was undone"),
                 qPrintable(stale));
        QCOMPARE(rowsOf(kLamp), (QStringList{"TOO=" + kLight, "colour=pink", "size=L"}));

        // Long or many-lined names make a menu item of one modest line.
        m_store.open().step(QString("import of ") + QString(80, 'x') + "\n.mdb").append(kDesk, "a", "1");
        const QString caption = history().offer().undoCaption();
        QVERIFY(caption.startsWith("Undo import of xxx") && caption.size() <= 70 && !caption.contains('\n'));
    }

    // A change made in the sqlite3 shell shows with its old value and can be restored; the
    // object as it was at a chosen time.
    void anObjectsChangesAreListedAndRestored() {
        addLamp();
        const QDateTime beforeShell = QDateTime::currentDateTime();
        // The shell's change falls in a later second than Olv's, so the two can be told apart.
        QTRY_VERIFY(QDateTime::currentDateTime().time().second() != beforeShell.time().second());
        shell("UPDATE DATA SET V = 'green' WHERE P = 'colour'; INSERT INTO DATA (O, P, V) VALUES ('" + kLamp + "', 'size', 'L')");

        HistoryCommands::ObjectHistory h = history().historyOf(kLamp);
        QCOMPARE(h.name, QStringLiteral("Lamp"));
        QVERIFY(h.writable);
        QCOMPARE(h.lines.size(), 5);
        const auto line = [&](int i) {
            const HistoryCommands::Line& l = h.lines[i];
            return QStringList{l.property, l.change, l.madeBy, l.restorable ? "restorable" : "-"}.join(" | ");
        };
        QCOMPARE(line(0), QStringLiteral("size | (none) → L | another program | -"));
        QCOMPARE(line(1), QStringLiteral("colour | red → green | another program | restorable"));
        QCOMPARE(line(2), QStringLiteral("colour | (none) → red | Olv: new object Lamp | -"));
        QCOMPARE(line(4), "TOO | (none) → " + kLight + " | Olv: new object Lamp | -");
        QCOMPARE(h.lines[1].when, h.changes[1].at.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));

        // As it was before the shell came, and before anything at all.
        QList<StoredRow> then = history().asOf(kLamp, beforeShell);
        QCOMPARE(then.size(), 3);
        QCOMPARE(then[2].row.v, QStringLiteral("red"));
        QVERIFY(history().asOf(kLamp, beforeShell.addSecs(-3600)).isEmpty());

        // Restoring an older value is refused once the object changed after the history was
        // read; read again, it goes, as a step Undo names.
        shell("UPDATE DATA SET V = 'XL' WHERE P = 'size'");
        const QString refused = history().restore(h, 1);
        QVERIFY2(refused.contains("\"Lamp\" was changed after its history was read") && refused.contains("nothing was restored"),
                 qPrintable(refused));
        QCOMPARE(rowsOf(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=green", "size=XL"}));
        h = history().historyOf(kLamp);
        QCOMPARE(h.lines[2].change, QStringLiteral("red → green"));
        QVERIFY(history().restore(h, 2).isNull());
        QCOMPARE(rowsOf(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=red", "size=XL"}));
        QCOMPARE(history().offer().undoCaption(), QStringLiteral("Undo restore of colour"));
        QCOMPARE(history().historyOf(kLamp).lines[0].madeBy, QStringLiteral("Olv: restore of colour"));
        // A row that was added took nothing away.
        QVERIFY(history().restore(history().historyOf(kLamp), 2).contains("nothing to restore"));
    }

    void deletingAnObjectAsksAndItComesBack() {
        addLamp();
        m_store.open().appendAll({{kDesk, kName, "Desk"}, {kDesk, "lamp", kLamp}, {kChair, kName, "Chair"},
                                  {kChair, kBelongsTo, kLamp}});
        HistoryCommands::DeleteQuestion q = history().deleteQuestion(kLamp);
        QCOMPARE(q.rows.size(), 3);
        QCOMPARE(q.linking, (QStringList{"Desk", "Chair"}));
        QCOMPARE(q.text(), QStringLiteral("Delete the object \"Lamp\" with its 3 rows?\n\n2 objects link to it; their "
                                          "links will dangle, leading to no object:\nDesk\nChair\n\nEdit, Undo brings it back."));
        // Rows changed after the question: nothing goes.
        shell("UPDATE DATA SET V = 'pink' WHERE P = 'colour'");
        QVERIFY(history().deleteObject(q).contains("nothing was deleted"));
        QCOMPARE(rowsOf(kLamp).size(), 3);
        q = history().deleteQuestion(kLamp);
        QVERIFY(history().deleteObject(q).isNull());
        QVERIFY(rowsOf(kLamp).isEmpty());
        QCOMPARE(history().offer().undoCaption(), QStringLiteral("Undo delete object Lamp"));
        QVERIFY(history().deleteQuestion(kLamp).text().isEmpty()); // nothing left to ask about
        QVERIFY(history().deleteQuestion(kChair).text().contains("\n\nNo object links to it."));

        // Another program empties the desk; the class goes too, so the lamp's class has no name.
        shell("DELETE FROM DATA WHERE O = '" + kDesk + "'");
        QList<HistoryCommands::DeletedEntry> gone = history().recentlyDeleted();
        const auto entry = [](const HistoryCommands::DeletedEntry& e) {
            return QStringList{e.name, e.className, e.madeBy}.join(" | ");
        };
        QCOMPARE(gone.size(), 2);
        QCOMPARE(entry(gone[0]), QStringLiteral("Desk |  | another program"));
        QCOMPARE(entry(gone[1]), QStringLiteral("Lamp | Light | Olv: delete object Lamp"));
        QCOMPARE(gone[1].when, HistoryCommands::shown(gone[1].object.at));
        shell("DELETE FROM DATA WHERE O = '" + kLight + "'");
        gone = history().recentlyDeleted();
        QCOMPARE(entry(gone[0]), QStringLiteral("Light | Class | another program"));
        QCOMPARE(entry(gone[2]), QStringLiteral("Lamp | N/A | Olv: delete object Lamp"));

        QVERIFY(history().restore(gone[2]).isNull());
        QCOMPARE(rowsOf(kLamp), (QStringList{"TOO=" + kLight, "Name=Lamp", "colour=pink"}));
        QCOMPARE(history().offer().undoCaption(), QStringLiteral("Undo restore of Lamp"));
        QVERIFY(history().restore(gone[2]).contains("has rows again"));
        QCOMPARE(history().recentlyDeleted().size(), 2);
    }

    // Only rows are taken back: the file a note's row named stays.
    void undoingANoteLeavesItsFile() {
        addLamp();
        const LinkCommands::Note note = LinkCommands(m_store).addNote(kLamp, "note", "{\\rtf1 Hello}");
        QCOMPARE(note.outcome, LinkCommands::Outcome::Added);
        QVERIFY2(note.path.startsWith(m_dir.path()), qPrintable(note.path));
        Database db = m_store.open();
        QVERIFY(HistoryCommands::undo(db, *history().offer().undo).isNull());
        QVERIFY(!rowsOf(kLamp).contains("note=" + note.path));
        QCOMPARE(test::bytesOf(note.path), QByteArray("{\\rtf1 Hello}"));
    }

    void theHistorysSizeAndForgetting() {
        addLamp();
        HistoryCommands::Size size = history().size();
        QVERIFY(size.history && size.writable);
        QCOMPARE(size.size.changes, 5);
        const QString said = size.text(m_store.path());
        QVERIFY2(said.startsWith("The history of " + displayNameOf(m_store.path()) + " takes ") && said.contains(" kB: 5 changes in 2 steps of Olv, kept since "),
                 qPrintable(said));
        QVERIFY(HistoryCommands::forgetQuestion(QDate(2026, 11, 7)).contains("before 2026-11-07"));
        QVERIFY(HistoryCommands::forgetQuestion(QDate(2026, 11, 7)).contains("cannot be undone"));

        history().forgetBefore(QDate::currentDate().addDays(-1)); // nothing that old
        QCOMPARE(history().size().size.changes, 5);
        history().forgetBefore(QDate::currentDate().addDays(1));
        size = history().size();
        QCOMPARE(size.size.changes, 0);
        QVERIFY(size.text(m_store.path()).endsWith("holds no changes."));
        QVERIFY(!history().offer().undo);
        QCOMPARE(rowsOf(kLamp).size(), 3); // the rows themselves stay
    }

    // A file Olv may only read shows its history and recently deleted, and changes nothing.
    void aFileOlvMayOnlyReadOffersNothingToChange() {
        OLV_FILE_ONLY();
        addLamp();
        QVERIFY(history().deleteObject(history().deleteQuestion(kLamp)).isNull());
        QVERIFY(test::markReadOnly(m_store.path()));
        const QByteArray before = test::bytesOf(m_store.path());

        const HistoryCommands::Offer offer = history().offer();
        QVERIFY(offer.history && !offer.writable && !offer.undo && !offer.redo);
        const HistoryCommands::ObjectHistory h = history().historyOf(kLamp);
        QVERIFY(!h.writable);
        QCOMPARE(h.lines.size(), 6);
        QCOMPARE(history().restore(h, 0), HistoryCommands::kReadOnly);
        const QList<HistoryCommands::DeletedEntry> gone = history().recentlyDeleted();
        QCOMPARE(gone.size(), 1);
        QCOMPARE(history().restore(gone[0]), HistoryCommands::kReadOnly);
        QVERIFY(!history().size().writable);
        QCOMPARE(test::bytesOf(m_store.path()), before);

        // One that never had a history has none to show.
        const QString bare = m_dir.filePath("bare.db");
        Store::createIfMissing(bare);
        QVERIFY(test::markReadOnly(bare));
        QVERIFY(!HistoryCommands(Store(bare)).offer().history);
        QCOMPARE(HistoryCommands(Store(bare)).size().text(bare), HistoryCommands::kNoHistory);
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    CommandsHistoryTest onFile(false), onServer(true);
    return test::runEach(argc, argv, {&onFile, &onServer});
}
#include "test_commands_history.moc"
