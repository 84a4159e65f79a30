// Long work: the window that makes a large file's search indexes (named file, what it costs,
// Cancel that leaves the file as it was) and the progress window of a long search.

#include "driver.h"
#include "files.h"
#include "widgets/longwork.h"

#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace olv;
using namespace olv::test;

namespace {

// A file another program made: many rows and none of Olv's indexes.
void fillWithoutIndexes(const QString& path, int rows) {
    QFile::remove(path);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT)");
    SQLite::Transaction t(db);
    SQLite::Statement insert(db, "INSERT INTO DATA VALUES (?, 'Name', ?)");
    for (int i = 0; i < rows; ++i) {
        insert.reset();
        insert.bind(1, QStringLiteral("OlObj%1").arg(i, 6, 10, QLatin1Char('0')).toStdString());
        insert.bind(2, QStringLiteral("crate %1 of pears and plums").arg(i).toStdString());
        insert.exec();
    }
    t.commit();
}

QProgressDialog* shownDialog(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible()) return qobject_cast<QProgressDialog*>(w);
    return nullptr;
}

} // namespace

class ProgressTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void indexesOfALargeFileAreMadeOnceWithProgressAndCancel() {
        MainWindowDriver d;
        const QString path = d.h.dir.filePath("big.mdb");
        fillWithoutIndexes(path, 150000);
        Database(path, Database::Indexes::Leave); // adds the history, which is quick, and no index
        const QByteArray before = bytesOf(path);
        d.h.ctx.store.setPath(path);
        d.h.ctx.store.setIndexMaker(
            [&](const IndexRepair& repair) { return makeIndexesWithProgress(&d.window, d.h.prompter, repair); });

        // The user reads what is about to happen, then presses Cancel.
        QString said;
        bool cancelled = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&] {
            QProgressDialog* dialog = shownDialog("dlgIndexes");
            if (!dialog || cancelled) return;
            said = dialog->findChild<QLabel*>()->text();
            screenshot(dialog, "dlgIndexes");
            cancelled = true;
            QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        });
        watch.start(5);
        d.search("pears and plums 1", true); // no such order of words: nothing found
        watch.stop();
        QVERIFY(cancelled);
        QVERIFY2(said.contains(path) && said.contains("once") && said.contains("MB larger"), qPrintable(said));
        QCOMPARE(bytesOf(path), before);
        QVERIFY(d.h.prompter.texts(Prompt::Error).isEmpty());
        // Searches still work, by scanning, and the question is not put again in this run.
        d.search("crate 149999 of", true);
        QCOMPARE(d.childKeys(d.root()), QStringList{"OlObj149999"});
        QCOMPARE(bytesOf(path), before);

        // Another run lets it finish: the file then has its indexes and a search uses them.
        Store again(path);
        int asked = 0;
        again.setIndexMaker([&](const IndexRepair& repair) {
            ++asked;
            return makeIndexesWithProgress(&d.window, d.h.prompter, repair);
        });
        QCOMPARE(again.open().findObjects("crate 7 of", true), QStringList{"OlObj000007"});
        QCOMPARE(asked, 1);
        QVERIFY(!Database(path, Database::Indexes::Leave).repair().needed());
        QVERIFY(bytesOf(path) != before);
    }

    void aLongSearchOffersCancelAfterAMoment() {
        MainWindowDriver d;
        LongWork work(&d.window, QStringLiteral("Searching ..."));
        QElapsedTimer clock;
        clock.start();
        QProgressDialog* dialog = nullptr;
        while (!(dialog = shownDialog("dlgLongWork")) && clock.elapsed() < 10000) {
            QVERIFY(work.poll());
            QTest::qSleep(20);
        }
        QVERIFY(dialog);
        QVERIFY(clock.elapsed() >= 500); // short work shows only the busy cursor
        QCOMPARE(dialog->labelText(), QStringLiteral("Searching ..."));
        QVERIFY(dialog->isModal());
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
        QTest::qSleep(50);
        QVERIFY(!work.poll());
        QVERIFY(!work.poll()); // stays called off
    }
};

QTEST_MAIN(ProgressTest)
#include "test_progress.moc"
