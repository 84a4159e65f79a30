// The object tree and property grid, related objects and cloning, driven through the main window.

#include "driver.h"
#include "files.h"
#include "text/rtf.h"

#include <QLabel>
#include <QMenu>
#include <QScrollBar>
#include <QTextEdit>
#include <QThreadPool>
#include <SQLiteCpp/SQLiteCpp.h>

#include <atomic>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace olv;
using namespace olv::test;

namespace {

const QString kPlant = obj(1), kGarden = obj(2), kFern = obj(3);

void addGarden(Harness& h) {
    h.add({{kPlant, kTOO, kClassValue}, {kPlant, kName, "Plant"}, {kGarden, kName, "Garden"},
           {kFern, kTOO, kPlant}, {kFern, kName, "Fern"}, {kFern, kBelongsTo, kGarden},
           {kFern, "note", "grows near OlObj20020103125302"}, {kFern, "colour", "green"},
           {kFern, "colour", "dark green"}, {obj(4), kTOO, obj(99)}, {obj(5), kName, "Loose"}});
}

QByteArray noteRtf(const QString& text) {
    QTextDocument doc;
    doc.setPlainText(text);
    return rtf::write(doc);
}

// Holds a note back in a pipe until letThrough(): whoever reads the pipe waits until then.
class PipeWriter {
public:
    PipeWriter(const QString& path, QByteArray note) : m_path(QFile::encodeName(path)), m_note(std::move(note)) {
        m_thread = std::thread([this] {
            // Opening for writing without waiting succeeds once a reader has the pipe open.
            int fd = -1;
            while (fd < 0 && !m_go) {
                fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK);
                if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (fd < 0) return; // nobody came to read
            m_readerCame = true;
            std::unique_lock lock(m_mutex);
            // Only a window that reads the pipe on its own thread keeps us waiting this long.
            m_gaveUp = !m_told.wait_for(lock, std::chrono::seconds(30), [this] { return bool(m_go); });
            lock.unlock();
            if (::write(fd, m_note.constData(), size_t(m_note.size())) != m_note.size()) m_gaveUp = true;
            ::close(fd);
        });
    }
    ~PipeWriter() { letThrough(); }
    bool readerCame() const { return m_readerCame; }
    // Lets the note through to its reader and ends the pipe; false when it went only after
    // waiting in vain for this call.
    bool letThrough() {
        if (m_thread.joinable()) {
            {
                std::lock_guard lock(m_mutex);
                m_go = true;
            }
            m_told.notify_one();
            m_thread.join();
        }
        return !m_gaveUp;
    }

private:
    QByteArray m_path, m_note;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_told;
    std::atomic<bool> m_go = false, m_readerCame = false;
    bool m_gaveUp = false;
};

} // namespace

class TreeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldShowAClickedObjectAndHandItOver() {
        MainWindowDriver d;
        addGarden(d.h);
        d.search("", true);
        d.clickNode(d.nodeWithKey(kFern));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Fern", "BelongsTo|Garden [ " + kGarden + " ]",
                                            "note|grows near OlObj20020103125302", "colour|green", "colour|dark green"}));
        QCOMPARE(d.h.clipboard.content, kFern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
        QCOMPARE(d.grid()->item(1, 1)->textAlignment(), int(Qt::AlignLeft | Qt::AlignBottom));

        // Frame captions: a class, an object without a class row (kept), a class that names nothing.
        d.clickNode(d.nodeWithKey(kPlant));
        QCOMPARE(d.frameCaption(), QStringLiteral("Class"));
        d.clickNode(d.nodeWithKey(obj(5)));
        QCOMPARE(d.frameCaption(), QStringLiteral("Class"));
        d.clickNode(d.nodeWithKey(obj(4)));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: N/A"));

        // The root names no object: an empty grid, and "Result" handed over.
        d.clickNode(d.root());
        QCOMPARE(d.gridRows(), QStringList{"|"});
        QCOMPARE(d.h.clipboard.content, QStringLiteral("Result"));
        // A right click pops up the menu and leaves the hand-over alone; a double-click reads the key.
        d.clickNode(d.nodeWithKey(kFern), Qt::RightButton);
        QTRY_VERIFY(d.window.treeMenu()->isVisible());
        d.window.treeMenu()->hide();
        QCOMPARE(d.h.clipboard.content, QStringLiteral("Result"));
        d.doubleClickNode(d.nodeWithKey(kFern));
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
    }

    void shouldHandOverTheSelectionWholeOrNotAtAll() {
        MainWindowDriver d;
        addGarden(d.h);
        d.h.add({{obj(6), kName, "Shed"}, {obj(6), "too", "a row of the user's own"}});
        d.search("", true);
        d.clickNode(d.nodeWithKey(kFern));
        d.clickNode(d.nodeWithKey(obj(6)));
        // Only exactly "TOO" is the class: "too" is shown, and the caption stays.
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Shed", "too|a row of the user's own"}));
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Plant"));
        // The file goes away: the click says so, and hands over neither half of the selection.
        d.h.prompter.fileAnswers << d.h.dir.filePath("gone.mdb");
        d.action("mnuFileDatabase")->trigger();
        d.clickNode(d.nodeWithKey(kFern));
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
        QCOMPARE(d.h.clipboard.content, obj(6));
        QCOMPARE(d.h.ctx.currentObjectId, obj(6));
    }

    void shouldPreviewPicturesAndOpenAddressesAndNotes() {
        MainWindowDriver d;
        const auto write = [&](const QString& name, const QByteArray& bytes) { return fileWith(d.h.dir.filePath(name), bytes); };
        const QString jpg = pictureFile(d.h.dir.filePath("Holiday.jpg"), {40, 30}, Qt::red),
                      broken = write("broken.Bmp", "not a picture"),
                      gif = write("dot.GIF", QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="));
        QVERIFY(!jpg.isEmpty());
        d.h.add({{obj(1), kName, "Album"}, {obj(1), "photo", jpg}, {obj(1), "dot", gif}, {obj(1), "bad", broken},
                 {obj(1), kURL, "HtTp://Example.org/Page"}, {obj(1), "note", "/home/me/Plan.Rtf"}});
        d.search("Album");
        d.clickNode(d.nodeWithKey(obj(1)));
        auto image = d.child<QLabel>("Image1");

        d.clickGridRow(2);
        QVERIFY(image->isVisible());
        QCOMPARE(image->pixmap().size(), QSize(40, 30));
        d.clickGridRow(3);
        QCOMPARE(image->pixmap().size(), QSize(1, 1));
        d.clickGridRow(4); // unreadable: the box as it was, nothing raised
        QVERIFY(image->isVisible());
        QCOMPARE(image->pixmap().size(), QSize(1, 1));
        d.clickGridRow(5);
        QVERIFY(!image->isVisible());
        QTest::keyClick(d.grid(), Qt::Key_Up); // the keys preview too; no picture since the last click
        QVERIFY(image->isVisible() && image->pixmap().isNull());

        for (int row = 2; row <= 6; ++row) d.clickGridRow(row, true);
        // The stored text is opened, not an upper-cased copy: file names are case-sensitive here.
        QCOMPARE(d.h.shell.opened, (QStringList{"HtTp://Example.org/Page", "/home/me/Plan.Rtf"}));
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    // A note is read beside the window: the window answers meanwhile, and only the latest
    // click's note is shown. A node click takes the previews away, also a note still coming.
    void shouldReadNotesBesideTheWindowAndShowTheLatestClicksOnly() {
        MainWindowDriver d;
        const QString slow = d.h.dir.filePath("slow.rtf"), quick = d.h.dir.filePath("quick.rtf"),
                      photo = d.h.dir.filePath("leaf.jpg");
        // A pipe: whoever reads it waits until the test lets its note through.
        QVERIFY(::mkfifo(QFile::encodeName(slow).constData(), 0600) == 0);
        QVERIFY(writeBytes(quick, noteRtf("quick note")) && !pictureFile(photo, {40, 30}, Qt::green).isEmpty());
        d.h.add({{obj(1), kName, "Album"}, {obj(1), "slow", slow}, {obj(1), "quick", quick},
                 {obj(1), "photo", photo}, {obj(2), kName, "Other"}});
        d.search("", true);
        d.clickNode(d.nodeWithKey(obj(1)));
        auto note = d.child<QTextEdit>("rtbNote");
        auto image = d.child<QLabel>("Image1");
        // The reads under way are done, and what they brought has reached the window.
        const auto readsDone = [&] {
            if (auto readers = d.window.findChild<QThreadPool*>("noteReaders")) readers->waitForDone();
            QCoreApplication::sendPostedEvents();
        };

        {
            PipeWriter pipe(slow, noteRtf("slow note"));
            d.clickGridRow(2);
            QTRY_VERIFY(pipe.readerCame());
            QVERIFY(note->isVisible() && note->toPlainText().isEmpty()); // coming
            d.clickGridRow(3);
            QTRY_COMPARE(note->toPlainText(), QStringLiteral("quick note"));
            QVERIFY2(pipe.letThrough(), "the window waited for the note");
            readsDone();
            QCOMPARE(note->toPlainText(), QStringLiteral("quick note"));
            QVERIFY(note->isVisible() && !image->isVisible());
        }
        // Shown previews go with a node click.
        d.clickGridRow(4);
        QVERIFY(image->isVisible() && !note->isVisible());
        d.clickNode(d.nodeWithKey(obj(2)));
        QVERIFY(!image->isVisible() && image->pixmap().isNull());
        d.clickNode(d.nodeWithKey(obj(1)));
        d.clickGridRow(3);
        QTRY_VERIFY(note->isVisible() && !note->toPlainText().isEmpty());
        d.clickNode(d.nodeWithKey(obj(2)));
        QVERIFY(!note->isVisible() && note->toPlainText().isEmpty());
        // So does one still being read.
        d.clickNode(d.nodeWithKey(obj(1)));
        {
            PipeWriter pipe(slow, noteRtf("slow note"));
            d.clickGridRow(2);
            QTRY_VERIFY(pipe.readerCame());
            d.clickNode(d.nodeWithKey(obj(2)));
            QVERIFY(pipe.letThrough());
            readsDone();
            QVERIFY(!note->isVisible() && note->toPlainText().isEmpty());
        }
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    // Clicking or keying through long values moves the grid up and down only: the names stay.
    void shouldKeepThePropertyNamesInViewWhenAValueIsClicked() {
        MainWindowDriver d;
        QList<Row> rows{{obj(1), kName, "Scroll"}};
        for (int i = 0; i < 30; ++i)
            rows.push_back({obj(1), QStringLiteral("line %1").arg(i), QStringLiteral("a long value ").repeated(20)});
        d.h.add(rows);
        d.search("Scroll");
        d.clickNode(d.nodeWithKey(obj(1)));
        QScrollBar* across = d.grid()->horizontalScrollBar();
        QVERIFY(across->maximum() > 0); // the values are wider than the grid
        const auto namesInView = [&] {
            return across->value() == 0 && d.grid()->visualRect(d.grid()->model()->index(1, 0)).left() >= 0;
        };
        d.clickGridRow(2);
        QVERIFY(namesInView());
        QCOMPARE(d.grid()->currentColumn(), 1);
        for (int i = 0; i < 30; ++i) d.press(Qt::Key_Down);
        QCOMPARE(d.grid()->currentRow(), 31);
        QVERIFY(d.grid()->verticalScrollBar()->value() > 0); // the last row came into view
        QVERIFY(namesInView());
    }

    void shouldLoadRelatedObjectsBeneathTheNode() {
        MainWindowDriver d;
        addGarden(d.h);
        d.h.add({{obj(6), kBelongsTo, kGarden}, {obj(7), kName, "Mirror"}, {obj(7), "self", obj(7)}});
        d.search("Garden");
        d.clickNode(d.nodeWithKey(kGarden));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        d.action("mnuT1OLoadLinkingObjects")->trigger(); // twice adds nothing new
        QTreeWidgetItem* garden = d.nodeWithKey(kGarden);
        QVERIFY(garden->isExpanded());
        QCOMPARE(d.childTexts(garden), (QStringList{"Fern", obj(6)}));
        QCOMPARE(d.childKeys(garden), (QStringList{kGarden + "|" + kFern, kGarden + "|" + obj(6)}));

        // A related node shows its own object, and owns what "Add New OBJECT" makes.
        QTreeWidgetItem* fern = d.nodeWithKey(kGarden + "|" + kFern);
        d.clickNode(fern);
        QCOMPARE(d.h.ctx.currentObjectId, kFern);
        d.action("mnuT1OAddNewObject")->trigger();
        QCOMPARE(d.h.ctx.ownerObjectId, kFern);
        d.h.windows.unloadAllBut(&d.window);
        // Closing a node by its arrow is no click on it.
        const QRect gardenRow = d.tree()->visualItemRect(garden);
        QTest::mouseClick(d.tree()->viewport(), Qt::LeftButton, {},
                          QPoint(gardenRow.left() - d.tree()->indentation() / 2, gardenRow.center().y()));
        QVERIFY(!garden->isExpanded());
        QCOMPARE(d.h.clipboard.content, kGarden + "|" + kFern);
        garden->setExpanded(true);
        QCOMPARE(d.gridRows()[1], QStringLiteral("Name|Fern"));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(fern->childCount(), 0);
        // Text copied from elsewhere: nothing happens, nothing is asked.
        d.h.clipboard.content = "some other text";
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QVERIFY(d.h.prompter.shown.isEmpty());

        d.search("Mirror");
        d.clickNode(d.nodeWithKey(obj(7)));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.childKeys(d.nodeWithKey(obj(7))), QStringList{obj(7) + "|" + obj(7)});

        // Instances of a class; eleven bring the question first.
        QList<Row> rows;
        for (int i = 10; i < 20; ++i) rows += {{obj(i), kTOO, kPlant}, {obj(i), kName, QString("plant %1").arg(i)}};
        d.h.add(rows);
        d.search("Plant");
        d.clickNode(d.nodeWithKey(kPlant));
        d.h.prompter.confirmAnswers << false;
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.h.prompter.shown.last().text, QStringLiteral("11objects"));
        QCOMPARE(d.nodeWithKey(kPlant)->childCount(), 0);
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        QCOMPARE(d.nodeWithKey(kPlant)->childCount(), 11);
    }

    void shouldCloneTheLastClickedObjectWithAMark() {
        MainWindowDriver d;
        addGarden(d.h);
        d.search("Garden");
        d.clickNode(d.nodeWithKey(kGarden));
        d.action("mnuT1OLoadLinkingObjects")->trigger();
        d.clickNode(d.nodeWithKey(kGarden + "|" + kFern)); // clones Fern, not Garden

        const QList<Row> before = d.h.allRows();
        d.action("mnuT1OCloneObject")->trigger();
        QList<Row> rows = d.h.allRows();
        const QString first = rows.last().o;
        QList<Row> expected = before;
        for (const Row& r : before)
            if (r.o == kFern) expected.push_back({first, r.p, r.v});
        expected.push_back({first, kEXTRA, "CLONED::"});
        QCOMPARE(rows, expected);
        QCOMPARE(d.txtFind()->text(), QStringLiteral("CLONED::"));
        QCOMPARE(d.childKeys(d.root()), QStringList{first});
        QCOMPARE(d.childTexts(d.root()), QStringList{"Fern"});

        // The clone of a clone, in the same second: it waits for the next one and carries two marks.
        d.clickNode(d.nodeWithKey(first));
        d.action("mnuT1OCloneObject")->trigger();
        const QString second = d.h.allRows().last().o;
        QVERIFY(d.h.clock.sleptMs > 0 && second > first && second.size() == 19);
        QCOMPARE(d.h.allRows().count(Row{second, kEXTRA, "CLONED::"}), 2);
        QCOMPARE(d.childKeys(d.root()), (QStringList{first, second}));

        // A write that fails half-way (a trigger refuses colour rows): no partial clone, a message.
        SQLite::Database(d.h.path().toStdString(), SQLite::OPEN_READWRITE)
            .exec("CREATE TRIGGER refuse BEFORE INSERT ON DATA WHEN new.P = 'colour' "
                  "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END");
        const qsizetype count = d.h.rowCount();
        d.action("mnuT1OCloneObject")->trigger();
        QCOMPARE(d.h.rowCount(), count);
        QCOMPARE(d.h.prompter.texts(Prompt::Error).size(), 1);
    }
};

QTEST_MAIN(TreeTest)
#include "test_tree.moc"
