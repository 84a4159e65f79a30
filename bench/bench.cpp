// Times the store and the main window on a large synthetic database, and the same operations
// done the literal way: the statements as written, a plain scan each, one per found object, on a
// fresh connection per lookup.
//
//   olv_bench [cache folder] [--only-views | --no-views | --only-cards | --only-csv | --only-import |
//                              --only-memory | --server [--clients]]      (default: /tmp/olv-bench)
//
// --only-views times only the table view and the HTML report; --no-views everything else (their
// per-cell comparisons take many minutes); --only-cards only the card view; --only-csv only the
// CSV export; --only-import only File, Import (it needs mdb-export and sqlite3 for the shell's way);
// --only-memory only the table of every object and how much the process grows for the table, the
// report and the CSV file (beside the sqlite3 shell reading the same rows).
// --server starts a throwaway PostgreSQL server (as the tests do), fills a database on it from
// the file through File, Import, and prints the searches, the tree, the table view and the import
// on the file and on the server side by side, one "NAME  file X  server Y  (target Z)" line each;
// then four clients at once (this program again, with --client N CONNECTION) make objects and
// edit them on a fresh database. --server --clients runs only the four clients.
//
// Prints one name=value line per figure (milliseconds, median of the runs) on stdout; what it
// builds and checks goes to stderr. The database is built once with a fixed seed and kept in the
// cache folder, so later runs start at once.

#include "commands/dataentry.h"
#include "commands/importer.h"
#include "commands/objects.h"
#include "commands/tableview.h"
#include "corpus.h"
#include "editing/frmdataentry.h"
#include "fakes.h"
#include "history/frmhistory.h"
#include "jetgrow.h"
#include "pgserver.h"
#include "mainwindow/frmolv.h"
#include "platform/clipboard.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/store.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"
#include "widgets/context.h"
#include "widgets/longwork.h"
#include "widgets/windowregistry.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QRegularExpression>
#include <QTableView>
#include <QTreeWidget>
#include <SQLiteCpp/SQLiteCpp.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <malloc.h>
#include <random>
#include <vector>

using namespace olv;

namespace {

// --- The synthetic database ---------------------------------------------------------------------

constexpr int kObjects = 100000;
constexpr int kClasses = 50;
constexpr int kOwners = 1000;          // objects 50..1049, the targets of BelongsTo
constexpr int kBigClassSize = 10000;   // instances of class 0
constexpr int kHundredRows = 20000;    // the object with 100 rows
constexpr int kFiftyRows = 30000;      // the object with 50 rows
const QString kExactValue = QStringLiteral("Zebra Quartz Lantern"); // held by 10 objects
const QString kContained = QStringLiteral("qwzk");                 // inside values of 100 objects
const QString kTwoLetters = QStringLiteral("la");                  // inside values of 39,045 objects
const QString kBigClassName = QStringLiteral("Gadget");
const QString kHundredName = QStringLiteral("Hundred Rows Object");
const QString kFiftyName = QStringLiteral("Fifty Rows Object");
// A class planted after the others (identifier idOf(kObjects)) whose 1,000 instances have
// exactly 20 properties each; no planted text holds "qwzk" or the exact value, and only the
// class's "OlValClass" holds "la".
constexpr int kTwentyInstances = 1000;
constexpr int kTwentyColumns = 20;
// Bump when the data below changes, so a stale cache is not used.
const QString kCacheName = QStringLiteral("olv-bench-v2.mdb");

const QDateTime kBase(QDate(2002, 1, 3), QTime(0, 0, 0));

QString idOf(int i) { return kObjectPrefix + kBase.addSecs(i).toString(QStringLiteral("yyyyMMddHHmmss")); }

bool inBigClass(int i) { return i >= kClasses + kOwners && i % 9 == 3 && (i - kClasses - kOwners) / 9 < kBigClassSize; }

// Random words from syllables without q, w, x, z, k and j, so the planted texts occur only where
// they are planted.
class Words {
public:
    explicit Words(std::mt19937_64& rng) : m_rng(rng) {
        const char* consonants = "bcdfghlmnprstv";
        const char* vowels = "aeiou";
        for (int i = 0; i < 5000; ++i) {
            QString w;
            const int syllables = 1 + int(m_rng() % 3);
            for (int s = 0; s < syllables; ++s) {
                w += QLatin1Char(consonants[m_rng() % 14]);
                w += QLatin1Char(vowels[m_rng() % 5]);
            }
            if (m_rng() % 3 == 0) w += QLatin1Char(consonants[m_rng() % 14]);
            m_words << w;
        }
        for (int i = 0; i < 2000; ++i) m_shared << phrase(1 + int(m_rng() % 3));
    }
    QString word() { return m_words[int(m_rng() % m_words.size())]; }
    QString phrase(int n) {
        QStringList parts;
        for (int i = 0; i < n; ++i) parts << word();
        return parts.join(QLatin1Char(' '));
    }
    // A free value: often one that many objects share, else a new phrase or a number.
    QString value() {
        const int kind = int(m_rng() % 10);
        if (kind < 3) return m_shared[int(m_rng() % m_shared.size())];
        if (kind < 5) return QString::number(m_rng() % 100000);
        return phrase(1 + int(m_rng() % 4));
    }

private:
    std::mt19937_64& m_rng;
    QStringList m_words, m_shared;
};

void build(const QString& path) {
    std::mt19937_64 rng(20020103);
    Words words(rng);
    const QStringList properties{"colour", "size", "weight", "material", "price", "author",
                                 "publisher", "year", "place", "condition", "origin", "style",
                                 "Description", "Topic", "label", "shelf", "format", "language",
                                 "owner since", "remark", "series", "edition", "maker", "model",
                                 "serial", "rating", "genre", "tag", "source", "comment"};

    QFile::remove(path);
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
    db.exec("CREATE TABLE DATA (O TEXT, P TEXT, V TEXT)");
    SQLite::Transaction t(db);
    SQLite::Statement insert(db, "INSERT INTO DATA (O, P, V) VALUES (?, ?, ?)");
    qint64 rows = 0;
    auto add = [&](const QString& o, const QString& p, const QString& v) {
        insert.reset();
        insert.bind(1, o.toStdString());
        insert.bind(2, p.toStdString());
        insert.bind(3, v.toStdString());
        insert.exec();
        ++rows;
    };

    std::vector<int> exactHolders, containers;
    for (int k = 0; k < 10; ++k) exactHolders.push_back(2000 + k * 9700 + 1);
    for (int k = 0; k < 100; ++k) containers.push_back(1500 + k * 985);

    for (int i = 0; i < kObjects; ++i) {
        const QString id = idOf(i);
        if (i < kClasses) {
            add(id, kTOO, kClassValue);
            add(id, kName, i == 0 ? kBigClassName : QStringLiteral("Class ") + words.word());
            if (i % 2) add(id, kDescription, words.phrase(4));
            continue;
        }
        const QString cls = i < kClasses + kOwners ? idOf(1) : inBigClass(i) ? idOf(0) : idOf(2 + int(rng() % (kClasses - 2)));
        add(id, kTOO, cls);
        if (i == kHundredRows || i == kFiftyRows) {
            const int total = i == kHundredRows ? 100 : 50;
            add(id, kName, i == kHundredRows ? kHundredName : kFiftyName);
            add(id, kBelongsTo, idOf(kClasses + int(rng() % kOwners)));
            add(id, QStringLiteral("Picture"), QStringLiteral("/home/olv/Pictures/big%1.jpg").arg(i));
            add(id, QStringLiteral("Note"), QStringLiteral("/home/olv/Olv/Olv.mdb.%1.rtf").arg(id));
            for (int r = 6; r <= total; ++r) {
                // Every tenth field links to another object, shown with that object's name.
                const QString v = r % 10 == 0 ? idOf(kClasses + kOwners + int(rng() % (kObjects - 2000)))
                                              : words.value();
                add(id, QStringLiteral("Field %1").arg(r, 3, 10, QLatin1Char('0')), v);
            }
            continue;
        }
        add(id, kName, words.phrase(2));
        if (i >= kClasses + kOwners && rng() % 2) add(id, kBelongsTo, idOf(kClasses + int(rng() % kOwners)));
        const int free = 5 + int(rng() % 6);
        for (int f = 0; f < free; ++f) add(id, properties[int(rng() % properties.size())], words.value());
        if (rng() % 10 == 0) add(id, QStringLiteral("Picture"), QStringLiteral("/home/olv/Pictures/photo%1.jpg").arg(i, 6, 10, QLatin1Char('0')));
        if (rng() % 20 == 0) add(id, QStringLiteral("Note"), QStringLiteral("/home/olv/Olv/Olv.mdb.%1.rtf").arg(id));
        if (std::find(exactHolders.begin(), exactHolders.end(), i) != exactHolders.end())
            add(id, QStringLiteral("Motto"), kExactValue);
        if (std::find(containers.begin(), containers.end(), i) != containers.end()) {
            static const QString spellings[] = {"qwzk", "QWZK", "Qwzk", "qWzK"};
            add(id, QStringLiteral("serial"), QStringLiteral("SN-%1-%2-%3").arg(i).arg(spellings[i % 4]).arg(words.word()));
        }
    }
    const QString twenty = idOf(kObjects);
    add(twenty, kTOO, kClassValue);
    add(twenty, kName, QStringLiteral("Twenty Columns"));
    for (int k = 1; k <= kTwentyInstances; ++k) {
        const QString id = idOf(kObjects + k);
        add(id, kTOO, twenty);
        add(id, kName, QStringLiteral("Twenty %1").arg(k));
        for (int c = 1; c <= kTwentyColumns; ++c)
            add(id, QStringLiteral("Column %1").arg(c, 2, 10, QLatin1Char('0')), QStringLiteral("cell %1 %2").arg(k).arg(c));
    }
    t.commit();
    std::fprintf(stderr, "built %lld rows of %d objects\n", rows, kObjects);
}

QString prepareDatabase(const QString& folder) {
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(kCacheName);
    if (QFileInfo::exists(path)) {
        std::fprintf(stderr, "using %s\n", qPrintable(path));
        return path;
    }
    const QString building = path + QStringLiteral(".building");
    std::fprintf(stderr, "building %s ...\n", qPrintable(path));
    build(building);
    // The store's first open adds its search helpers; done here so no timed run pays for it.
    auto t0 = std::chrono::steady_clock::now();
    { Database db(building); }
    std::fprintf(stderr, "search helpers made in %.1f s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    QFile::rename(building, path);
    return path;
}

// A copy without the search indexes, as a file made by another program would be; made once.
QString preparePlainCopy(const QString& folder, const QString& path) {
    const QString plain = QDir(folder).filePath(QStringLiteral("plain-") + kCacheName);
    if (QFileInfo::exists(plain)) return plain;
    const QString building = plain + QStringLiteral(".building");
    QFile::remove(building);
    QFile::copy(path, building);
    SQLite::Database db(building.toStdString(), SQLite::OPEN_READWRITE);
    QStringList helpers;
    {
        SQLite::Statement q(db, "SELECT type, name FROM sqlite_master WHERE name <> 'DATA' AND type IN ('index', 'trigger') "
                                "OR name IN ('DATA_V_TRIGRAMS', 'DATA_HELPERS')");
        while (q.executeStep())
            helpers << QStringLiteral("DROP %1 IF EXISTS \"%2\"")
                           .arg(QString::fromUtf8(q.getColumn(0).getText()).toUpper(), QString::fromUtf8(q.getColumn(1).getText()));
    }
    for (const QString& drop : helpers) db.exec(drop.toStdString());
    db.exec("DROP TABLE IF EXISTS DATA_V_TRIGRAMS; DROP TABLE IF EXISTS DATA_HELPERS; VACUUM");
    QFile::rename(building, plain);
    return plain;
}

// --- Timing ---------------------------------------------------------------------------------------

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

constexpr int kRuns = 7;
constexpr int kLiteralRuns = 3;
// Literal lookups scan the whole table each; beyond this many per operation the rest are
// reckoned from the average of those timed.
constexpr qsizetype kLiteralSample = 20;

// The median of runs timings of op, each after an untimed prepare.
double measure(int runs, const std::function<void()>& prepare, const std::function<double()>& op) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        if (prepare) prepare();
        times.push_back(op());
    }
    return median(times);
}

double timed(const std::function<void()>& f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return msSince(t0);
}

void report(const char* name, double ms) {
    std::printf("%s=%.3f\n", name, ms);
    std::fflush(stdout);
}

// --- The literal way --------------------------------------------------------------------------

QString str(const SQLite::Column& c) { return QString::fromUtf8(c.getText()); }

// Appends rows one statement each, as a plain program would.
void insertRows(SQLite::Database& db, const QList<Row>& rows) {
    SQLite::Statement insert(db, "INSERT INTO DATA (O, P, V) VALUES (?, ?, ?)");
    for (const Row& r : rows) {
        insert.reset();
        insert.bind(1, r.o.toStdString());
        insert.bind(2, r.p.toStdString());
        insert.bind(3, r.v.toStdString());
        insert.exec();
    }
}

class Literal {
public:
    explicit Literal(QString path) : m_path(std::move(path)) {}

    SQLite::Database connect() const { return SQLite::Database(m_path.toStdString(), SQLite::OPEN_READWRITE); }

    QStringList distinctObjects(const char* sql, const QString& value) const {
        SQLite::Database db = connect();
        SQLite::Statement q(db, sql);
        q.bind(1, value.toStdString());
        QStringList ids;
        while (q.executeStep()) ids << str(q.getColumn(0));
        return ids;
    }
    // GetPropertyValue: its own connection and statement, a plain scan.
    QString property(const QString& id, const QString& p) const {
        SQLite::Database db = connect();
        SQLite::Statement q(db, "SELECT V FROM DATA NOT INDEXED WHERE O = ? AND P = ?");
        q.bind(1, id.toStdString());
        q.bind(2, p.toStdString());
        return q.executeStep() ? str(q.getColumn(0)) : kNotAvailable;
    }
    // One lookup per object. A scan stops at the object's first row, so objects early in the
    // file are found sooner: past the sample, the rest are reckoned from objects spread evenly
    // over the list.
    double names(const QStringList& ids) const {
        const qsizetype n = std::min<qsizetype>(ids.size(), kLiteralSample);
        const double ms = timed([&] {
            for (qsizetype i = 0; i < n; ++i) property(ids[i * ids.size() / n], kName);
        });
        return n == 0 ? 0 : ms * double(ids.size()) / double(n);
    }
    double search(const char* sql, const QString& value, QStringList* found = nullptr) const {
        QStringList ids;
        const double ms = timed([&] { ids = distinctObjects(sql, value); });
        if (found) *found = ids;
        return ms + names(ids);
    }

private:
    QString m_path;
};

const char* const kLiteralExact = "SELECT DISTINCT O FROM DATA NOT INDEXED WHERE V = ? COLLATE NOCASE";
const char* const kLiteralLike = "SELECT DISTINCT O FROM DATA NOT INDEXED WHERE V LIKE ?";

// --- Desktop stand-ins for driving the main window ----------------------------------------------

// A clock far in the future that moves on a second each time it is read, so an identifier is
// always free at once and the timing holds no wait for the next second.
class RunningClock : public Clock {
public:
    QDateTime now() const override { return m_time = m_time.addSecs(1); }
    void sleepMs(int ms) override { m_time = m_time.addMSecs(ms); }

private:
    mutable QDateTime m_time{QDate(2090, 1, 1), QTime(0, 0, 0)};
};

void deleteObject(const QString& path, const QString& id) {
    SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
    SQLite::Statement q(db, "DELETE FROM DATA WHERE O = ?");
    q.bind(1, id.toStdString());
    q.exec();
}

QStringList clonesIn(const QString& path) {
    return Database(path).findObjects(QStringLiteral("CLONED::"), false);
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "benchmark database is not as expected: %s\n", what);
        std::exit(2);
    }
}

// --- Memory ---------------------------------------------------------------------------------------

// A line of /proc/self/status, such as "VmRSS:", in MB.
double statusMb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

// How much the process's resident memory grows at its peak while op runs, in MB. Memory freed
// earlier is handed back first, so that op cannot hide what it holds in it; and the peak is reset
// (Linux keeps it in VmHWM), so that what op frees before it ends is counted.
double growthMb(const std::function<void()>& op) {
    malloc_trim(0);
    QFile reset(QStringLiteral("/proc/self/clear_refs"));
    check(reset.open(QIODevice::WriteOnly) && reset.write("5") == 1, "peak memory reset");
    reset.close();
    const double before = statusMb("VmRSS:");
    op();
    return std::max(0.0, statusMb("VmHWM:") - before);
}

// An object with 1,000 rows of as many property names, added to the file once, for the data-entry
// window; it gives "*" its 101,002 objects and 1,150 property columns.
QString thousandRowsObject(const QString& path) {
    const QString thousand = QStringLiteral("OlObj19990101000000");
    if (Database(path).rowsOf(thousand).size() != 1000) {
        deleteObject(path, thousand);
        QList<Row> rows{{thousand, kName, QStringLiteral("Thousand Rows Object")}};
        for (int r = 1; r < 1000; ++r)
            rows.push_back({thousand, QStringLiteral("Field %1").arg(r, 4, 10, QLatin1Char('0')), QStringLiteral("value %1").arg(r)});
        Database(path).appendAll(rows);
    }
    return thousand;
}

// An object whose history holds 1,000 changes: one added row edited 999 times, made in the file
// once. Edits are single steps, as data entry stores them.
QString thousandChangesObject(const QString& path) {
    const QString id = QStringLiteral("OlObj19990102000000");
    if (Database(path).historyOf(id).size() < 1000) {
        deleteObject(path, id);
        Database(path).step(QStringLiteral("new property colour")).append(id, QStringLiteral("colour"), QStringLiteral("hue 0"));
        for (int i = 1; Database(path).historyOf(id).size() < 1000; ++i) {
            Database db(path);
            const StoredRow was = db.storedRowsOf(id).first();
            db.step(QStringLiteral("edit of colour")).replaceRow(was, {id, QStringLiteral("colour"), QStringLiteral("hue %1").arg(i)});
        }
    }
    return id;
}

// --- The table view and the HTML report ---------------------------------------------------------

// The design's way for the found objects: a lookup per cell, each opening the file. Per object
// its TOO (and the class's Name when that is an identifier), its Name and every column; in the
// report also the Name of each value that is an identifier. The objects timed are spread evenly
// over the list, and at most maxLookups lookups are made.
struct CellTiming {
    double ms = 0;
    qsizetype lookups = 0, objects = 0;
};
CellTiming perCell(const QStringList& ids, const QStringList& columns, bool inReport, qsizetype sampleObjects,
                   qsizetype maxLookups, const std::function<QString(const QString&, const QString&)>& lookup) {
    CellTiming t;
    const qsizetype n = std::min(sampleObjects, ids.size());
    const auto get = [&](const QString& id, const QString& p) {
        ++t.lookups;
        return lookup(id, p);
    };
    const auto t0 = std::chrono::steady_clock::now();
    for (qsizetype s = 0; s < n && t.lookups < maxLookups; ++s) {
        const QString& id = ids[s * ids.size() / n];
        if (const QString cls = get(id, kTOO); isObjectId(cls)) get(cls, kName);
        get(id, kName);
        for (const QString& p : columns) {
            if (t.lookups >= maxLookups) break;
            if (const QString v = get(id, p); inReport && isObjectId(v)) get(v, kName);
        }
        ++t.objects;
    }
    t.ms = msSince(t0);
    return t;
}

// Until the rows in view show their cells (the first and the last row in view have a Name cell).
void untilRowsShown(QTableView* grid) {
    QAbstractItemModel* model = grid->model();
    const auto shown = [&] {
        if (model->rowCount() == 0) return true;
        const int first = std::max(0, grid->rowAt(0));
        int last = grid->rowAt(grid->viewport()->height() - 1);
        if (last < 0) last = model->rowCount() - 1;
        return !model->index(first, 1).data().toString().isEmpty() && !model->index(last, 1).data().toString().isEmpty();
    };
    QElapsedTimer waited;
    waited.start();
    while (!shown() && waited.elapsed() < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    check(shown(), "the rows in view shown");
}

// The main window, offscreen, with stand-ins that answer OK to every question.
struct BenchWindow {
    RunningClock clock;
    test::FakeClipboard clipboard;
    test::FakeShell shell;
    test::FakePrompter prompter;
    WindowRegistry windows;
    Context ctx;
    std::unique_ptr<frmOlv> window;
    QLineEdit* txtFind = nullptr;
    QCheckBox* chkWildCardFind = nullptr;

    explicit BenchWindow(const QString& path) {
        ctx.store.setPath(path);
        ctx.clock = &clock;
        ctx.clipboard = &clipboard;
        ctx.shell = &shell;
        ctx.prompter = &prompter;
        ctx.windows = &windows;
        window = std::make_unique<frmOlv>(ctx);
        windows.add(window.get());
        window->setQuit([] {});
        window->show();
        QCoreApplication::processEvents();
        txtFind = window->findChild<QLineEdit*>(QStringLiteral("txtFind"));
        chkWildCardFind = window->findChild<QCheckBox*>(QStringLiteral("chkWildCardFind"));
        check(txtFind && chkWildCardFind, "main window controls");
        chkWildCardFind->setChecked(false);
    }
    ~BenchWindow() { windows.unloadAllBut(window.get()); }

    QTreeWidget* tree() const { return window->findChild<QTreeWidget*>(QStringLiteral("trvDATA")); }
    // Enter in the search box.
    void search(const QString& text) {
        txtFind->setText(text);
        window->cmdFind_Click();
    }
    // The objects listed beneath the search's node.
    int listed() const { return tree()->topLevelItemCount() ? tree()->topLevelItem(0)->childCount() : 0; }
};

// --- Figures taken alike on a file and on a server, named by their connection ----------------------

// A search through the store: the found identifiers and the name of each, as the tree shows them.
double searchWithNamesMs(const QString& db, const QString& text, bool containing) {
    return measure(kRuns, nullptr, [&] {
        return timed([&] {
            Database open(db);
            for (const QString& id : open.findObjects(text, containing)) open.valueOf(id, kName);
        });
    });
}
double exactSearchMs(const QString& db) { return searchWithNamesMs(db, kExactValue.toLower(), false); }
double containmentSearchMs(const QString& db) { return searchWithNamesMs(db, kContained, true); }

// Filling the tree with 10,000 found objects.
double treeFillMs(BenchWindow& bench) {
    const double ms = measure(kRuns, [&] { bench.search(QStringLiteral("nothing at all")); },
                              [&] { return timed([&] { bench.search(idOf(0)); }); });
    check(bench.listed() == kBigClassSize && bench.prompter.texts(test::Prompt::Error).isEmpty(), "tree filled with 10,000 nodes");
    return ms;
}

// A click on the node of the object with 100 rows.
double nodeClickMs(BenchWindow& bench) {
    QTreeWidgetItem* hundredNode = nullptr;
    const double ms = measure(kRuns, [&] {
        bench.search(kHundredName);
        hundredNode = bench.tree()->topLevelItem(0)->child(0);
    },
                              [&] { return timed([&] { bench.window->trvDATA_NodeClick(hundredNode); }); });
    check(bench.clipboard.content == idOf(kHundredRows), "node click on the 100-row object");
    return ms;
}

// Loading the objects related to the class with 10,000 instances beneath its node.
double loadRelatedMs(BenchWindow& bench) {
    const double ms = measure(kRuns, [&] {
        bench.search(kBigClassName);
        bench.clipboard.setText(idOf(0));
    },
                              [&] { return timed([&] { bench.window->mnuT1OLoadLinkingObjects_Click(); }); });
    check(bench.tree()->topLevelItem(0)->child(0)->childCount() == kBigClassSize &&
              bench.prompter.texts(test::Prompt::Error).isEmpty(),
          "related objects loaded");
    return ms;
}

// "Table" on the found objects, until the rows in view are shown; the table is left open.
double tableViewMs(BenchWindow& bench, const QString& text) {
    const auto closeTable = [&] {
        if (auto open = bench.windows.find<frmTableView>()) delete open;
    };
    const double ms = measure(kRuns, [&] {
        closeTable();
        bench.txtFind->setText(text);
    },
                              [&] {
                                  return timed([&] {
                                      bench.window->cmdTableView_Click();
                                      QCoreApplication::processEvents(); // shown
                                      untilRowsShown(bench.windows.find<frmTableView>()->grid());
                                  });
                              });
    frmTableView* view = bench.windows.find<frmTableView>();
    check(view && view->isVisible() && bench.prompter.texts(test::Prompt::Error).isEmpty(), "table view shown");
    return ms;
}

// The table of the 1,000 instances with 20 properties each.
double tableView1000x20Ms(BenchWindow& bench) {
    const double ms = tableViewMs(bench, idOf(kObjects));
    const QAbstractItemModel* shown = bench.windows.find<frmTableView>()->grid()->model();
    check(shown->rowCount() == kTwentyInstances && shown->columnCount() == 2 + kTwentyColumns, "1,000 rows of 20 properties");
    return ms;
}

// Table view and report, driven through a main window of their own; with the per-cell way beside
// each, through the store (indexes, a connection per lookup) and the literal way (a plain scan
// per lookup), reckoned from the objects and lookups timed.
void viewFigures(const QString& folder, const QString& path, const Literal& literal) {
    BenchWindow bench(path);
    auto [clipboard, shell, prompter, windows, ctx, window, txtFind] = std::tie(
        bench.clipboard, bench.shell, bench.prompter, bench.windows, bench.ctx, *bench.window, bench.txtFind);
    const Store store(path);

    // Per-cell timings, scaled to every object: the store's way from 100 objects, the literal way
    // from kLiteralSample lookups and the lookups per object the store's way counted.
    const auto perCellFigures = [&](const char* name, const char* literalName, const QStringList& ids,
                                    const QStringList& columns, bool inReport) {
        double lookupsPerObject = 0;
        report(name, measure(kLiteralRuns, nullptr, [&] {
                    const CellTiming t = perCell(ids, columns, inReport, 100, std::numeric_limits<qsizetype>::max(),
                                                 [&](const QString& o, const QString& p) { return store.open().GetPropertyValue(o, p); });
                    lookupsPerObject = double(t.lookups) / double(t.objects);
                    return t.ms * double(ids.size()) / double(t.objects);
                }));
        report(literalName, measure(kLiteralRuns, nullptr, [&] {
                    const CellTiming t = perCell(ids, columns, inReport, ids.size(), kLiteralSample,
                                                 [&](const QString& o, const QString& p) { return literal.property(o, p); });
                    return t.ms / double(t.lookups) * lookupsPerObject * double(ids.size());
                }));
    };

    const auto closeTable = [&] {
        if (auto open = windows.find<frmTableView>()) delete open;
    };

    const QString twenty = idOf(kObjects);
    report("table_view_1000x20_ms", tableView1000x20Ms(bench));
    TableLayout table = TableCommand(store).layout(twenty, false);
    perCellFigures("table_view_1000x20_per_cell_ms", "table_view_1000x20_literal_ms",
                   Database(path).findObjects(twenty, false), table.columns, false);

    const QString bigClass = idOf(0);
    report("table_view_10000_ms", tableViewMs(bench, bigClass));
    const QAbstractItemModel* shown = windows.find<frmTableView>()->grid()->model();
    check(shown->rowCount() == kBigClassSize, "10,000 rows");
    std::fprintf(stderr, "table of 10,000 objects: %d property columns\n", shown->columnCount() - 2);
    table = TableCommand(store).layout(bigClass, false);
    const QStringList big = Database(path).findObjects(bigClass, false);
    perCellFigures("table_view_10000_per_cell_ms", "table_view_10000_literal_ms", big, table.columns, false);
    closeTable();

    // The report of the 10,000 instances, from the menu to the file opened.
    const QString reportFile = QDir(folder).filePath(QStringLiteral("BasicReport.htm"));
    report("report_10000_ms", measure(kRuns, [&] {
                QFile::remove(reportFile);
                txtFind->setText(bigClass);
                prompter.fileAnswers.clear();
                prompter.fileAnswers.enqueue(reportFile);
            },
                                       [&] { return timed([&] { window.mnuReportHTML_Click(); }); }));
    check(QFileInfo::exists(reportFile) && shell.opened.last() == reportFile && prompter.texts(test::Prompt::Error).isEmpty(),
          "report written and opened");
    std::fprintf(stderr, "report of 10,000 objects: %lld property columns, %lld bytes\n",
                 static_cast<long long>(table.columns.size()), static_cast<long long>(QFileInfo(reportFile).size()));
    perCellFigures("report_10000_per_cell_ms", "report_10000_literal_ms", big, table.columns, true);
    QFile::remove(reportFile);
}

// Paints of card views, wherever they happen.
class CardPaints : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->parent() && watched->parent()->inherits("QListView")) ++count;
        return false;
    }
};

// 10,000 objects of one class, each with a photo of its own to make a thumbnail of (1600 x 1200
// JPEG, 50 files in turn) and a note, made once in the cache folder.
QString preparePhotoCards(const QString& folder, QString* classId) {
    const QString dir = QDir(folder).filePath(QStringLiteral("cards-v1"));
    const QString path = QDir(dir).filePath(QStringLiteral("Olv.mdb"));
    *classId = QStringLiteral("OlObj20020103000000");
    if (QFileInfo::exists(path)) return path;
    std::fprintf(stderr, "making 10,000 objects with photos and notes in %s\n", qPrintable(dir));
    QDir().mkpath(dir);
    for (int i = 0; i < 50; ++i) {
        QImage photo(1600, 1200, QImage::Format_RGB32);
        QPainter paint(&photo);
        QLinearGradient sky(0, 0, 1600, 1200);
        sky.setColorAt(0, QColor::fromHsv(i * 7 % 360, 120, 230));
        sky.setColorAt(1, QColor::fromHsv((i * 7 + 120) % 360, 200, 90));
        paint.fillRect(photo.rect(), sky);
        for (int e = 0; e < 40; ++e) {
            paint.setBrush(QColor::fromHsv((i * 13 + e * 29) % 360, 180, 200));
            paint.drawEllipse(QPoint((e * 397) % 1600, (e * 211 + i * 17) % 1200), 40 + e * 3, 30 + e * 2);
        }
        paint.end();
        photo.save(QDir(dir).filePath(QStringLiteral("photo%1.jpg").arg(i, 2, 10, QLatin1Char('0'))), "JPG", 85);
    }
    for (int n = 0; n < 10; ++n) {
        QFile note(QDir(dir).filePath(QStringLiteral("note%1.rtf").arg(n)));
        note.open(QIODevice::WriteOnly);
        note.write(QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 {\\b Note %1}\\par "
                                  "Bought at the market on a rainy day, cheaper than expected.\\par "
                                  "Keep away from the window.\\par Third line of the note.\\par}")
                       .arg(n)
                       .toLatin1());
    }
    Store::createIfMissing(path);
    QList<Row> rows{{*classId, kTOO, kClassValue}, {*classId, kName, QStringLiteral("Photo card")}};
    for (int i = 1; i <= 10000; ++i) {
        const QString id = kObjectPrefix + kBase.addSecs(100000 + i).toString(QStringLiteral("yyyyMMddHHmmss"));
        const QString photo = QStringLiteral("photo%1.jpg").arg(i % 50, 2, 10, QLatin1Char('0'));
        rows.append({{id, kTOO, *classId},
                     {id, kName, QStringLiteral("Card number %1").arg(i)},
                     {id, QStringLiteral("colour"), QStringLiteral("colour %1").arg(i % 17)},
                     {id, QStringLiteral("photo"), QDir(dir).filePath(photo)},
                     {id, QStringLiteral("note"), QDir(dir).filePath(QStringLiteral("note%1.rtf").arg(i % 10))},
                     {id, QStringLiteral("place"), QStringLiteral("shelf %1").arg(i % 40)},
                     {id, kBelongsTo, *classId}});
    }
    Database(path).appendAll(rows);
    return path;
}

// The card view of 10,000 found objects: from "Card" to the first cards drawn; then scrolling
// down by wheel steps (three lines) and by pages, each frame drawn at once and whole, starting
// with nothing read. Once on the big class, whose pictures and notes are named but missing, and
// once on objects whose every card has a photo and a note to read. A frame includes drawing the
// thumbnails made meanwhile on the side.
void cardFigures(const QString& folder, const QString& path) {
    BenchWindow bench(path);
    auto [clipboard, prompter, windows, ctx, window, txtFind] =
        std::tie(bench.clipboard, bench.prompter, bench.windows, bench.ctx, *bench.window, bench.txtFind);
    CardPaints paints;
    qApp->installEventFilter(&paints);

    const auto closeCards = [&] {
        if (auto open = windows.find<frmCardView>()) delete open;
    };
    // The cards in view have been read (they are read beside the window and drawn once there).
    const auto cardsInViewRead = [&] {
        QListView* cards = windows.find<frmCardView>()->cards();
        const QModelIndex first = cards->indexAt(QPoint(10, 10));
        if (!first.isValid()) return true;
        for (int r = first.row(); r < cards->model()->rowCount(); ++r) {
            const QModelIndex card = cards->model()->index(r, 0);
            if (cards->visualRect(card).top() >= cards->viewport()->height()) break;
            if (card.data().isNull()) return false;
        }
        return true;
    };
    // Until the cards in view are drawn as read.
    const auto drawnAsRead = [&] {
        if (cardsInViewRead()) return;
        QElapsedTimer waited;
        waited.start();
        while (!cardsInViewRead() && waited.elapsed() < 10000) QCoreApplication::processEvents();
        windows.find<frmCardView>()->cards()->viewport()->repaint();
    };
    const auto opened = [&] {
        const int before = paints.count;
        window.cmdCardView_Click();
        QElapsedTimer waited;
        waited.start();
        while (paints.count == before && waited.elapsed() < 10000) QCoreApplication::processEvents();
        drawnAsRead();
    };
    const auto frames = [&](int count, bool pages) {
        closeCards();
        opened();
        QListView* cards = windows.find<frmCardView>()->cards();
        QScrollBar* bar = cards->verticalScrollBar();
        const int step = pages ? bar->pageStep() : 3 * bar->singleStep();
        std::vector<double> times;
        for (int f = 0; f < count && bar->value() < bar->maximum(); ++f)
            times.push_back(timed([&] {
                bar->setValue(bar->value() + step);
                cards->viewport()->repaint();
                QCoreApplication::processEvents(); // thumbnails made meanwhile, drawn
                drawnAsRead();
            }));
        return times;
    };
    const auto figures = [&](const char* suffix, const QString& dbPath, const QString& text) {
        ctx.store.setPath(dbPath);
        txtFind->setText(text);
        const auto name = [&](const QByteArray& what) { return what + suffix; };
        report(name("card_view_10000").constData(), measure(kRuns, closeCards, [&] { return timed(opened); }));
        frmCardView* view = windows.find<frmCardView>();
        check(view && view->isVisible() && view->cards()->model()->rowCount() == kBigClassSize &&
                  prompter.texts(test::Prompt::Error).isEmpty(),
              "card view of 10,000 shown");
        // 1,500 wheel steps pass some 2,000 cards; 300 pages some 1,800.
        for (const bool pages : {false, true}) {
            std::vector<double> times = frames(pages ? 300 : 1500, pages);
            std::sort(times.begin(), times.end());
            const QByteArray kind = pages ? "card_scroll_page" : "card_scroll_step";
            report(name(kind + "_median").constData(), median(times));
            report(name(kind + "_p99").constData(), times[times.size() * 99 / 100]);
            report(name(kind + "_max").constData(), times.back());
            std::fprintf(stderr, "%s%s: %zu frames\n", kind.constData(), suffix, times.size());
        }
        closeCards();
    };
    figures("_ms", path, idOf(0));
    QString photoClass;
    const QString photos = preparePhotoCards(folder, &photoClass);
    figures("_photos_ms", photos, photoClass);
    qApp->removeEventFilter(&paints);
}

} // namespace

// Report, "to CSV" of the 10,000 instances of a class (Class, Name and 79 property columns), from
// the menu to the file written.
void csvFigure(const QString& folder, const QString& path) {
    BenchWindow bench(path);
    auto [prompter, window, txtFind] = std::tie(bench.prompter, *bench.window, bench.txtFind);
    const QString csvFile = QDir(folder).filePath(QStringLiteral("search.csv"));
    report("csv_10000_ms", measure(kRuns, [&] {
                QFile::remove(csvFile);
                txtFind->setText(idOf(0));
                prompter.fileAnswers.clear();
                prompter.fileAnswers.enqueue(csvFile);
            },
                                    [&] { return timed([&] { window.mnuReportCSV_Click(); }); }));
    QFile written(csvFile);
    check(written.open(QIODevice::ReadOnly) && prompter.texts(test::Prompt::Error).isEmpty(), "CSV written");
    const QByteArray head = written.readLine();
    qint64 lines = 1;
    while (!written.atEnd()) lines += written.readLine().endsWith("\r\n") ? 1 : 0;
    std::fprintf(stderr, "CSV of 10,000 objects: %lld columns, %lld lines, %lld bytes\n",
                 static_cast<long long>(head.count(',') + 1), static_cast<long long>(lines),
                 static_cast<long long>(written.size()));
    QFile::remove(csvFile);
}

// "Table" on every object ("*" with "wildcards": 101,002 objects, 1,150 property columns), until
// the rows in view are shown; how much the process grows from the click until it has been paged
// through to the last row, and a page down, redrawn. Then how much it grows while Report, "to
// HTML" and "to CSV" write the 10,000 instances of a class, beside the sqlite3 shell writing the
// same rows as HTML and as CSV.
void memoryFigures(const QString& folder, const QString& path) {
    thousandRowsObject(path);
    BenchWindow bench(path);
    auto [prompter, windows, window, txtFind, chkWildCardFind] =
        std::tie(bench.prompter, bench.windows, *bench.window, bench.txtFind, bench.chkWildCardFind);
    const auto closeTable = [&] {
        if (auto open = windows.find<frmTableView>()) delete open;
        QCoreApplication::processEvents();
    };
    const auto grid = [&] { return windows.find<frmTableView>()->grid(); };
    const auto showTable = [&] {
        window.cmdTableView_Click();
        QCoreApplication::processEvents();
        untilRowsShown(grid());
    };

    chkWildCardFind->setChecked(true);
    txtFind->setText(QStringLiteral("*"));
    constexpr int kAllRuns = 3;
    report("table_view_all_ms", measure(kAllRuns, closeTable, [&] { return timed(showTable); }));
    check(prompter.texts(test::Prompt::Error).isEmpty() && grid()->model()->rowCount() > kObjects,
          "every object in the table");
    std::fprintf(stderr, "table of every object: %d rows, %d property columns\n", grid()->model()->rowCount(),
                 grid()->model()->columnCount() - 2);
    closeTable();
    std::vector<double> pages;
    report("table_view_all_rss_growth_mb", growthMb([&] {
               showTable();
               QScrollBar* bar = grid()->verticalScrollBar();
               while (bar->value() < bar->maximum())
                   pages.push_back(timed([&] {
                       bar->setValue(bar->value() + bar->pageStep());
                       untilRowsShown(grid());
                       grid()->viewport()->repaint();
                   }));
           }));
    std::sort(pages.begin(), pages.end());
    report("table_view_all_scroll_page_median_ms", median(pages));
    report("table_view_all_scroll_page_max_ms", pages.back());
    std::fprintf(stderr, "table of every object: %zu pages to the last row\n", pages.size());
    closeTable();
    chkWildCardFind->setChecked(false);

    const QString classId = idOf(0);
    txtFind->setText(classId);
    const QString reportFile = QDir(folder).filePath(QStringLiteral("BasicReport.htm"));
    const QString csvFile = QDir(folder).filePath(QStringLiteral("search.csv"));
    const auto written = [&](const QString& file, const std::function<void()>& command) {
        QFile::remove(file);
        prompter.fileAnswers.clear();
        prompter.fileAnswers.enqueue(file);
        command();
        check(QFileInfo(file).size() > 1000000 && prompter.texts(test::Prompt::Error).isEmpty(), "report or CSV written");
    };
    const auto html = [&] { written(reportFile, [&] { window.mnuReportHTML_Click(); }); };
    const auto csv = [&] { written(csvFile, [&] { window.mnuReportCSV_Click(); }); };
    html(); // once before, so that what any first run loads is not counted
    report("report_10000_rss_growth_mb", growthMb(html));
    csv();
    report("csv_10000_rss_growth_mb", growthMb(csv));

    // The shell reads the class's instances through the same indexes.
    const QString sql = QStringLiteral("SELECT O, P, V FROM DATA WHERE O COLLATE NOCASE IN "
                                       "(SELECT O FROM DATA WHERE V = '%1' COLLATE NOCASE)")
                            .arg(classId);
    const auto shell = [&](const char* mode, const QString& file) {
        return timed([&] {
            QProcess sqlite3;
            sqlite3.setStandardOutputFile(file);
            sqlite3.start(QStringLiteral("sqlite3"), {QString::fromLatin1(mode), path, sql});
            check(sqlite3.waitForFinished(-1) && sqlite3.exitStatus() == QProcess::NormalExit && sqlite3.exitCode() == 0,
                  "the sqlite3 shell read the rows");
        });
    };
    report("report_10000_sqlite3_shell_ms", measure(kRuns, nullptr, [&] { return shell("-html", reportFile); }));
    report("csv_10000_sqlite3_shell_ms", measure(kRuns, nullptr, [&] { return shell("-csv", csvFile); }));
    QFile::remove(reportFile);
    QFile::remove(csvFile);
}

// File, Import of 100,000 rows (10,000 new objects) into a copy of the large database, from a Jet
// file and from another Olv file. Beside each, the shell's way: for the Jet file mdb-export's
// INSERT statements into sqlite3 in one transaction, for the Olv file attach and copy; neither
// looks for rows already there.
constexpr int kImportRuns = 3;
// The objects File, Import adds: their identifiers begin so, and no others' do.
const QString kImportedPrefix = QStringLiteral("OlObj2091");

QList<Row> importedRows() {
    QList<Row> rows;
    for (int i = 0; i < 100000; ++i)
        rows.push_back({kImportedPrefix + QStringLiteral("%1").arg(i / 10, 10, 10, QLatin1Char('0')),
                        QStringLiteral("field %1").arg(i % 10),
                        i % 7 == 0 ? QStringLiteral("Grüße, \"quoted\", 日本語 %1").arg(i)
                                   : QStringLiteral("imported value %1").arg(i)});
    return rows;
}

// The Olv file of the 100,000 rows to import, made once in the cache folder.
QString importSource(const QString& folder, const QList<Row>& rows) {
    const QString olvSource = QDir(folder).filePath(QStringLiteral("import-source-v2.mdb"));
    if (!QFileInfo::exists(olvSource)) {
        Store::createIfMissing(olvSource);
        SQLite::Database raw(olvSource.toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Transaction t(raw);
        insertRows(raw, rows);
        t.commit();
    }
    return olvSource;
}

// File, Import of the 100,000 rows from the Olv file into the target, made afresh before each run.
double import100000Ms(const QString& target, const QString& olvSource, const std::function<void()>& fresh) {
    ImportCommand::Result result;
    const double ms = measure(kImportRuns, fresh, [&] { return timed([&] { result = ImportCommand(Store(target)).run(olvSource); }); });
    check(result.imported == 100000, "100,000 rows imported");
    return ms;
}

void importFigures(const QString& folder, const QString& path) {
    const QList<Row> rows = importedRows();
    const QString olvSource = importSource(folder, rows);
    // The sample Jet file's 53 rows plus the 100,000.
    const QString jetSource = QDir(folder).filePath(QStringLiteral("import-source-jet4.mdb"));
    const QString sample = test::corpusFile(QStringLiteral("data/olv-sample.mdb"));
    const bool haveJet = QFileInfo::exists(jetSource) || QFileInfo::exists(sample);
    if (!haveJet)
        std::fprintf(stderr, "import_jet_100053_rows_ms skipped: %s\n",
                     qPrintable(test::corpusMissing(QStringLiteral("data/olv-sample.mdb"))));
    else if (!QFileInfo::exists(jetSource)) {
        const QString growing = jetSource + QStringLiteral(".part");
        QFile::remove(growing);
        QFile::copy(sample, growing);
        QFile(growing).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QString error;
        check(olvbench::appendJetRows(growing, rows, error), qPrintable(QStringLiteral("Jet file grown: ") + error));
        QFile::rename(growing, jetSource);
    }
    constexpr qint64 kJetRows = 100053;
    const QString target = QDir(folder).filePath(QStringLiteral("import-target.mdb"));
    auto freshTarget = [&] {
        QFile::remove(target);
        QFile::copy(path, target);
    };
    auto countRows = [&] {
        SQLite::Database db(target.toStdString(), SQLite::OPEN_READONLY);
        return db.execAndGet("SELECT count(*) FROM DATA").getInt64();
    };
    const qint64 before = [&] {
        freshTarget();
        return countRows();
    }();
    ImportCommand::Result result;
    if (haveJet) {
        report("import_jet_100053_rows_ms", measure(kImportRuns, freshTarget, [&] {
                   return timed([&] { result = ImportCommand(Store(target)).run(jetSource); });
               }));
        check(result.imported == kJetRows && countRows() == before + kJetRows, "100,053 rows imported from the Jet file");
        {
            SQLite::Database db(target.toStdString(), SQLite::OPEN_READONLY);
            check(db.execAndGet("SELECT count(*) FROM DATA WHERE V = 'Grüße, \"quoted\", 日本語 700'").getInt64() == 1,
                  "the Jet file's text came across whole");
        }
        report("import_jet_100053_rows_mdb_export_sqlite3_ms", measure(kImportRuns, freshTarget, [&] {
                   return timed([&] {
                       const QString shell = QStringLiteral("{ echo 'BEGIN;'; mdb-export -I sqlite '%1' DATA; echo 'COMMIT;'; } "
                                                            "| sqlite3 -bail '%2'")
                                                 .arg(jetSource, target);
                       check(std::system(shell.toLocal8Bit().constData()) == 0, "mdb-export into sqlite3");
                   });
               }));
        check(countRows() == before + kJetRows, "the shell's way added the same rows");
    }

    report("import_100000_rows_ms", import100000Ms(target, olvSource, freshTarget));
    const qint64 withHistory = QFileInfo(target).size();
    // Taking the import back, as Edit, Undo does: one step of 100,000 rows.
    report("undo_import_100000_rows_ms", measure(kImportRuns,
                                                 [&] {
                                                     freshTarget();
                                                     ImportCommand(Store(target)).run(olvSource);
                                                 },
                                                 [&] {
                                                     Database db(target);
                                                     const std::optional<Step> step = db.stepToUndo();
                                                     check(step && step->what.startsWith("import of"), "the import is the step to undo");
                                                     return timed([&] { db.undo(*step, [](double) { return true; }); });
                                                 }));
    check(countRows() == before, "the undo took every imported row back");
    // The same import with the history's triggers gone, for what keeping the history costs.
    qint64 withoutHistory = 0;
    report("import_100000_rows_without_history_ms", measure(kImportRuns, freshTarget, [&] {
               Database db(target);
               {
                   SQLite::Database raw(target.toStdString(), SQLite::OPEN_READWRITE);
                   for (const char* trigger : {"DATA_HISTORY_AI", "DATA_HISTORY_AU", "DATA_HISTORY_AD"})
                       raw.exec(std::string("DROP TRIGGER ") + trigger);
               }
               const double ms = timed([&] { result = ImportCommand(Store(target)).run(db, olvSource); });
               withoutHistory = QFileInfo(target).size();
               return ms;
           }));
    check(result.imported == 100000, "100,000 rows imported without history");
    report("history_growth_per_100000_rows_mb", double(withHistory - withoutHistory) / 1e6);
    report("import_100000_rows_plain_sql_ms", measure(kImportRuns, freshTarget, [&] {
               return timed([&] {
                   SQLite::Database db(target.toStdString(), SQLite::OPEN_READWRITE);
                   db.exec("ATTACH '" + olvSource.toStdString() + "' AS source");
                   db.exec("INSERT INTO DATA SELECT O, P, V FROM source.DATA");
               });
           }));
    QFile::remove(target);
}

// --- A database on a server ------------------------------------------------------------------------

// The class of the clients' objects, and their edited property.
const QString kClientClass = QStringLiteral("Bench client");
const QString kCounter = QStringLiteral("counter");
constexpr int kClients = 4;
constexpr int kClientObjects = 250;
constexpr int kClientEdits = 1000;

QString clientValue(int client, int edit) { return QStringLiteral("client %1 edit %2").arg(client).arg(edit); }

// One of the clients: makes its objects as the New Object dialog does, then edits them as data
// entry does, each edit replacing the row read just before. Prints the identifiers made, one a
// line, in order; anything that goes wrong on stderr, with exit code 1.
int clientRun(int client, const QString& connection) {
    // Every client's clock starts at the same second, so that they contend for identifiers.
    RunningClock clock;
    const Store store(connection);
    ObjectCommands objects(store, clock);
    DataEntryCommands entry(store);
    QStringList ids;
    try {
        for (int k = 0; k < kClientObjects; ++k) {
            const QString name = QStringLiteral("Client %1 object %2").arg(client).arg(k);
            ObjectCommands::NewObject input;
            input.className = kClientClass;
            input.name = name;
            input.properties = {{kCounter, QStringLiteral("new")}};
            const ObjectCommands::Outcome made = objects.newObject(input);
            const QStringList found = store.open().findObjects(name, false);
            if (made != ObjectCommands::Outcome::Made || found.size() != 1) {
                std::fprintf(stderr, "client %d: object %d not made as one object\n", client, k);
                return 1;
            }
            ids << found.first();
        }
        for (int e = 0; e < kClientEdits; ++e) {
            const QString& id = ids[e % kClientObjects];
            const QList<StoredRow> rows = entry.rows(id);
            const auto counter = std::find_if(rows.begin(), rows.end(), [](const StoredRow& r) { return r.row.p == kCounter; });
            if (counter == rows.end()) {
                std::fprintf(stderr, "client %d: %s lost its row %s\n", client, qPrintable(id), qPrintable(kCounter));
                return 1;
            }
            if (entry.change(*counter, kCounter, clientValue(client, e)) != DataEntryCommands::Outcome::Done) {
                std::fprintf(stderr, "client %d: edit %d of %s refused\n", client, e, qPrintable(id));
                return 1;
            }
        }
    } catch (const StoreError& e) {
        std::fprintf(stderr, "client %d: %s\n", client, qPrintable(e.message()));
        return 1;
    }
    for (const QString& id : ids) std::printf("%s\n", qPrintable(id));
    return 0;
}

// Four clients at once on a fresh server database; checks that every object got an identifier of
// its own and every client's last edit of each object is kept. The wall time from the start of the
// first to the end of the last.
void clientsFigure(test::PgServer& server) {
    const QString connection = server.newDatabase();
    RunningClock clock;
    ObjectCommands::NewObject clientClass;
    clientClass.makeClass = true;
    clientClass.name = kClientClass;
    check(ObjectCommands(Store(connection), clock).newObject(clientClass) == ObjectCommands::Outcome::Made, "the clients' class made");
    std::vector<std::unique_ptr<QProcess>> clients;
    const double ms = timed([&] {
        for (int n = 1; n <= kClients; ++n) {
            clients.push_back(std::make_unique<QProcess>());
            clients.back()->start(QCoreApplication::applicationFilePath(),
                                  {QStringLiteral("--client"), QString::number(n), connection});
        }
        for (auto& c : clients) c->waitForFinished(-1);
    });
    QStringList faults, ids;
    QList<std::pair<QString, QString>> expected; // object, its last value
    for (int n = 1; n <= kClients; ++n) {
        QProcess& c = *clients[size_t(n - 1)];
        const QString errors = QString::fromLocal8Bit(c.readAllStandardError()).trimmed();
        if (c.exitStatus() != QProcess::NormalExit || c.exitCode() != 0 || !errors.isEmpty())
            faults << QStringLiteral("client %1 failed: %2").arg(n).arg(errors.isEmpty() ? c.errorString() : errors);
        const QStringList made = QString::fromLocal8Bit(c.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ids << made;
        for (qsizetype k = 0; k < made.size(); ++k)
            expected.push_back({made[k], clientValue(n, int(kClientEdits - kClientObjects + k))});
    }
    static const QRegularExpression format(QStringLiteral("^OlObj\\d{14}$"));
    const QSet<QString> distinct(ids.begin(), ids.end());
    if (ids.size() != kClients * kClientObjects || distinct.size() != ids.size())
        faults << QStringLiteral("%1 identifiers, %2 of them distinct").arg(ids.size()).arg(distinct.size());
    for (const QString& id : ids)
        if (!format.match(id).hasMatch()) faults << QStringLiteral("identifier %1 not in the accepted format").arg(id);
    Database db(connection);
    const QString classId = db.FindClassId(kClientClass);
    if (db.findObjects(classId, false).size() != kClients * kClientObjects)
        faults << QStringLiteral("%1 objects of the clients' class").arg(db.findObjects(classId, false).size());
    QStringList objects;
    for (const auto& e : expected) objects << e.first;
    const QList<QList<Row>> rows = db.rowsOfEach(objects);
    qsizetype lost = 0;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QStringList counters;
        for (const Row& r : rows[i])
            if (r.p == kCounter) counters << r.v;
        if (counters != QStringList{expected[i].second}) ++lost;
    }
    if (lost) faults << QStringLiteral("%1 objects without their last edit").arg(lost);
    report("clients_4x250_objects_1000_edits_ms", ms);
    for (const QString& f : faults) std::fprintf(stderr, "FAULT: %s\n", qPrintable(f));
    check(faults.isEmpty(), "four clients at once");
    std::fprintf(stderr, "four clients: %lld distinct identifiers, every last edit kept, no error\n",
                 static_cast<long long>(distinct.size()));
}

// One figure on the file and on the server.
void compare(const char* name, double file, double server, double target) {
    std::printf("%-28s file %10.3f  server %10.3f  (target %g)\n", name, file, server, target);
    std::fflush(stdout);
}

// The same figures on the file and on a fresh server database that File, Import filled from it.
void serverFigures(const QString& folder, const QString& path, bool clientsOnly) {
    test::PgServer& server = test::PgServer::instance();
    check(server.missing().isEmpty(), qPrintable(QStringLiteral("a server to measure: ") + server.missing()));
    if (!clientsOnly) {
        const QString connection = server.newDatabase();
        ImportCommand::Result loaded;
        report("server_load_ms", timed([&] { loaded = ImportCommand(Store(connection)).run(path); }));
        std::fprintf(stderr, "loaded %lld rows into %s\n", static_cast<long long>(loaded.imported), qPrintable(displayNameOf(connection)));
        check(loaded.imported > 1000000 && Database(connection).countObjects() == Database(path).countObjects(), "every row on the server");
        // What the server's autovacuum does on its own within a minute or so of a large import:
        // done here, so that it neither runs beside the figures nor leaves the planner guessing.
        const double settled = timed([&] { server.exec(connection, QStringLiteral("VACUUM ANALYZE")); });
        std::fprintf(stderr, "vacuumed and analysed in %.1f s\n", settled / 1000);

        compare("exact_search_ms", exactSearchMs(path), exactSearchMs(connection), 5);
        compare("containment_search_ms", containmentSearchMs(path), containmentSearchMs(connection), 50);
        {
            BenchWindow onFile(path), onServer(connection);
            compare("tree_fill_10000_ms", treeFillMs(onFile), treeFillMs(onServer), 1000);
            compare("node_click_100_rows_ms", nodeClickMs(onFile), nodeClickMs(onServer), 20);
            compare("load_related_10000_ms", loadRelatedMs(onFile), loadRelatedMs(onServer), 1000);
            compare("table_view_1000x20_ms", tableView1000x20Ms(onFile), tableView1000x20Ms(onServer), 300);
        }
        const QString source = importSource(folder, importedRows());
        const QString target = QDir(folder).filePath(QStringLiteral("import-target.mdb"));
        const double onFile = import100000Ms(target, source, [&] {
            QFile::remove(target);
            QFile::copy(path, target);
        });
        QFile::remove(target);
        const double onServer = import100000Ms(connection, source, [&] {
            server.exec(connection, QStringLiteral("DELETE FROM data WHERE o LIKE '%1%'").arg(kImportedPrefix));
        });
        compare("import_100000_rows_ms", onFile, onServer, 10000);
    }
    clientsFigure(server);
}

int main(int argc, char* argv[]) {
    // One of the clients that --server starts: olv_bench --client N CONNECTION
    if (argc == 4 && qstrcmp(argv[1], "--client") == 0) {
        QCoreApplication app(argc, argv);
        return clientRun(QByteArray(argv[2]).toInt(), QString::fromUtf8(argv[3]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool onlyViews = args.contains(QStringLiteral("--only-views"));
    const bool onlyCards = args.contains(QStringLiteral("--only-cards"));
    const QStringList folders = args.mid(1).filter(QRegularExpression(QStringLiteral("^(?!--)")));
    const QString folder = folders.isEmpty() ? QStringLiteral("/tmp/olv-bench") : folders.first();
    const QString path = prepareDatabase(folder);
    const Literal literal(path);

    const QString bigClass = idOf(0);
    const QString hundred = idOf(kHundredRows);
    const QString fifty = idOf(kFiftyRows);
    for (const QString& old : clonesIn(path)) deleteObject(path, old); // left by a broken run

    {
        Database db(path);
        check(db.findObjects(kExactValue, false).size() == 10, "exact value on 10 objects");
        check(db.findObjects(kContained, true).size() == 100, "contained text in 100 objects");
        check(db.findObjects(bigClass, false).size() == kBigClassSize, "class of 10,000");
        check(db.rowsOf(hundred).size() == 100, "object with 100 rows");
        check(db.rowsOf(fifty).size() == 50, "object with 50 rows");
        std::fprintf(stderr, "%lld objects\n", db.countObjects());
    }
    std::fprintf(stderr, "runs: %d (literal way: %d; its lookups past %lld per operation reckoned from those timed)\n",
                 kRuns, kLiteralRuns, static_cast<long long>(kLiteralSample));
    if (onlyViews) {
        viewFigures(folder, path, literal);
        return 0;
    }
    if (onlyCards) {
        cardFigures(folder, path);
        return 0;
    }
    if (args.contains(QStringLiteral("--only-csv"))) {
        csvFigure(folder, path);
        return 0;
    }
    if (args.contains(QStringLiteral("--only-memory"))) {
        memoryFigures(folder, path);
        return 0;
    }
    if (args.contains(QStringLiteral("--server"))) {
        serverFigures(folder, path, args.contains(QStringLiteral("--clients")));
        return 0;
    }
    if (args.contains(QStringLiteral("--only-import"))) {
        importFigures(folder, path);
        return 0;
    }

    // Opening a command's connection.
    constexpr int kOpens = 50;
    report("open_connection_ms", measure(kRuns, nullptr, [&] {
               return timed([&] {
                          for (int i = 0; i < kOpens; ++i) Database db(path);
                      }) / kOpens;
           }));
    report("open_connection_literal_ms", measure(kRuns, nullptr, [&] {
               return timed([&] {
                          for (int i = 0; i < kOpens; ++i) {
                              SQLite::Database db = literal.connect();
                              SQLite::Statement q(db, "SELECT V FROM DATA LIMIT 1"); // reads the schema
                              q.executeStep();
                          }
                      }) / kOpens;
           }));

    // Searches: found identifiers and the name of each, as the tree shows them.
    report("exact_search_ms", exactSearchMs(path));
    report("exact_search_literal_ms",
           measure(kLiteralRuns, nullptr, [&] { return literal.search(kLiteralExact, kExactValue.toLower()); }));
    report("containment_search_ms", containmentSearchMs(path));
    report("containment_search_literal_ms", measure(kLiteralRuns, nullptr, [&] {
               return literal.search(kLiteralLike, QLatin1Char('%') + kContained + QLatin1Char('%'));
           }));

    // Statistics.
    report("statistics_ms", measure(kRuns, nullptr, [&] { return timed([&] { Database(path).countObjects(); }); }));
    report("statistics_literal_ms", measure(kLiteralRuns, nullptr, [&] {
               return timed([&] {
                   SQLite::Database db = literal.connect();
                   SQLite::Statement q(db, "SELECT DISTINCT O COLLATE NOCASE FROM DATA NOT INDEXED");
                   qint64 n = 0;
                   while (q.executeStep()) ++n; // the count is known after the last row
               });
           }));

    // The main window, offscreen, with stand-ins that answer OK.
    BenchWindow bench(path);
    auto [runningClock, clipboard, prompter, windows, ctx, window, txtFind, chkWildCardFind] =
        std::tie(bench.clock, bench.clipboard, bench.prompter, bench.windows, bench.ctx, *bench.window, bench.txtFind,
                 bench.chkWildCardFind);
    auto trvDATA = bench.tree();
    check(trvDATA != nullptr, "main window tree");
    auto search = [&](const QString& text) { bench.search(text); };
    auto listed = [&] { return bench.listed(); };

    report("tree_fill_10000_ms", treeFillMs(bench));
    report("tree_fill_10000_literal_ms",
           measure(kLiteralRuns, nullptr, [&] { return literal.search(kLiteralExact, bigClass); }));

    report("node_click_100_rows_ms", nodeClickMs(bench));
    report("node_click_100_rows_literal_ms", measure(kLiteralRuns, nullptr, [&] {
               return timed([&] {
                   QList<Row> rows;
                   {
                       SQLite::Database db = literal.connect();
                       SQLite::Statement q(db, "SELECT O, P, V FROM DATA NOT INDEXED WHERE O = ?");
                       q.bind(1, hundred.toStdString());
                       while (q.executeStep()) rows.push_back({str(q.getColumn(0)), str(q.getColumn(1)), str(q.getColumn(2))});
                   }
                   for (const Row& r : rows)
                       if (isObjectId(r.v)) literal.property(r.v, kName);
               });
           }));

    report("load_related_10000_ms", loadRelatedMs(bench));
    report("load_related_10000_literal_ms",
           measure(kLiteralRuns, nullptr, [&] { return literal.search(kLiteralExact, bigClass); }));

    // Wide searches, from Enter to the question before the listing (answered Cancel).
    auto untilQuestion = [&](const QString& text) {
        chkWildCardFind->setChecked(true);
        prompter.confirmAnswers.clear();
        prompter.confirmAnswers.enqueue(false);
        return timed([&] { search(text); });
    };
    report("wildcard_all_ms", measure(kRuns, nullptr, [&] { return untilQuestion(QStringLiteral("*")); }));
    check(prompter.shown.last().text == QString::number(Database(path).countObjects()) + QStringLiteral("objects"),
          "\"*\" finds every object");
    report("wildcard_all_plain_sql_ms", measure(kRuns, nullptr, [&] {
               return timed([&] { literal.distinctObjects("SELECT DISTINCT O FROM DATA WHERE V LIKE ?", QStringLiteral("%")); });
           }));
    report("containment_2_letters_ms", measure(kRuns, nullptr, [&] { return untilQuestion(kTwoLetters); }));
    check(prompter.shown.last().text == QStringLiteral("39045objects"), "two letters in 39,045 objects");
    report("containment_2_letters_plain_sql_ms", measure(kRuns, nullptr, [&] {
               return timed([&] {
                   literal.distinctObjects("SELECT DISTINCT O FROM DATA WHERE V LIKE ?", QLatin1Char('%') + kTwoLetters + QLatin1Char('%'));
               });
           }));
    chkWildCardFind->setChecked(false);
    prompter.confirmAnswers.clear();


    // The data-entry window on an object with 1,000 rows, added to the file once; then one
    // edited cell stored.
    const QString thousand = thousandRowsObject(path);
    auto closeEntry = [&] {
        if (auto open = windows.find<frmDataEntry>()) delete open;
    };
    report("data_entry_open_1000_rows_ms", measure(kRuns, [&] {
               closeEntry();
               clipboard.setText(thousand);
           },
                                                  [&] {
                                                      return timed([&] {
                                                          window.mnuT1OEditProperties_Click();
                                                          QCoreApplication::processEvents();
                                                      });
                                                  }));
    auto entryGrid = windows.find<frmDataEntry>()->findChild<QTableView*>(QStringLiteral("DataGrid1"));
    check(entryGrid->model()->rowCount() == 1000 && prompter.texts(test::Prompt::Error).isEmpty(), "1,000 rows shown");
    report("data_entry_open_1000_rows_literal_ms", measure(kLiteralRuns, nullptr, [&] {
               return timed([&] {
                   SQLite::Database db = literal.connect();
                   SQLite::Statement q(db, "SELECT * FROM DATA NOT INDEXED WHERE O = ? ORDER BY P COLLATE NOCASE");
                   q.bind(1, thousand.toStdString());
                   while (q.executeStep()) {
                   }
               });
           }));
    int edits = 0;
    report("data_entry_store_cell_ms", measure(kRuns, nullptr, [&] {
               const QModelIndex cell = entryGrid->model()->index(500, 2);
               const QString text = QStringLiteral("edited %1").arg(++edits);
               return timed([&] { entryGrid->model()->setData(cell, text); });
           }));
    check(Database(path).findObjects(QStringLiteral("edited %1").arg(edits), false) == QStringList{thousand}, "edited cell stored");
    closeEntry();

    // The History window of an object with 1,000 changes, from the menu until shown.
    const QString changed = thousandChangesObject(path);
    auto closeHistory = [&] {
        if (auto open = windows.find<frmHistory>()) delete open;
    };
    report("history_window_1000_changes_ms", measure(kRuns, [&] {
               closeHistory();
               clipboard.setText(changed);
           },
                                                     [&] {
                                                         return timed([&] {
                                                             window.mnuT1OHistory_Click();
                                                             QCoreApplication::processEvents();
                                                         });
                                                     }));
    check(windows.find<frmHistory>() &&
              windows.find<frmHistory>()->findChild<QTableView*>(QStringLiteral("flxHistory"))->model()->rowCount() >= 1000,
          "1,000 changes listed");
    closeHistory();

    // Cloning the object with 50 rows; each clone is removed again before the next run.
    auto removeClones = [&] {
        for (const QString& c : clonesIn(path)) deleteObject(path, c);
    };
    report("clone_50_rows_ms", measure(kRuns, [&] {
               removeClones();
               clipboard.setText(fifty);
           },
                                       [&] { return timed([&] { window.mnuT1OCloneObject_Click(); }); }));
    check(clonesIn(path).size() == 1 && listed() == 1 && prompter.texts(test::Prompt::Error).isEmpty(), "one clone made and listed");
    removeClones();
    report("clone_50_rows_literal_ms", measure(kLiteralRuns, removeClones, [&] {
               return timed([&] {
                   // the new identifier's check, the source's rows, then one add-and-commit per row.
                   const QString id = kObjectPrefix + runningClock.now().toString(QStringLiteral("yyyyMMddHHmmss"));
                   SQLite::Database db = literal.connect();
                   {
                       SQLite::Statement free(db, "SELECT * FROM DATA NOT INDEXED WHERE O = ?");
                       free.bind(1, id.toStdString());
                       free.executeStep();
                   }
                   QList<Row> rows;
                   {
                       SQLite::Statement q(db, "SELECT P, V FROM DATA NOT INDEXED WHERE O = ?");
                       q.bind(1, fifty.toStdString());
                       while (q.executeStep()) rows.push_back({id, str(q.getColumn(0)), str(q.getColumn(1))});
                   }
                   rows.push_back({id, kEXTRA, QStringLiteral("CLONED::")});
                   insertRows(db, rows);
                   literal.search(kLiteralExact, QStringLiteral("CLONED::")); // the clones listed
               });
           }));
    removeClones();

    if (!args.contains(QStringLiteral("--no-views"))) viewFigures(folder, path, literal);
    cardFigures(folder, path);
    csvFigure(folder, path);
    memoryFigures(folder, path);
    importFigures(folder, path);

    // Last: it writes a large file, whose flushing would slow the timings after it.
    // The first search of a file without indexes: they are made, with progress shown, then the
    // search runs. Beside it the same indexes made by plain SQL, as the shell would, and the search.
    const QString plain = preparePlainCopy(folder, path);
    const QString firstOpen = QDir(folder).filePath(QStringLiteral("first-open.mdb"));
    auto freshCopy = [&] {
        QFile::remove(firstOpen);
        QFile::remove(firstOpen + QStringLiteral("-journal"));
        QFile::copy(plain, firstOpen);
    };
    constexpr int kFirstOpenRuns = 3;
    ctx.store.setIndexMaker([&](const IndexRepair& repair) { return makeIndexesWithProgress(&window, prompter, repair); });
    report("first_open_ms", measure(kFirstOpenRuns, [&] {
               freshCopy();
               ctx.store.setPath(firstOpen);
               chkWildCardFind->setChecked(true);
           },
                                    [&] { return timed([&] { search(kContained); }); }));
    check(listed() == 100 && prompter.texts(test::Prompt::Error).isEmpty(), "first open found the contained text");
    chkWildCardFind->setChecked(false);
    ctx.store.setIndexMaker({});
    ctx.store.setPath(path);
    report("first_open_plain_sql_ms", measure(kFirstOpenRuns, freshCopy, [&] {
               return timed([&] {
                   SQLite::Database db(firstOpen.toStdString(), SQLite::OPEN_READWRITE);
                   db.exec("CREATE VIRTUAL TABLE DATA_V_TRIGRAMS USING fts5(V, content='DATA', content_rowid='rowid', "
                           "tokenize='trigram', detail='none')");
                   db.exec("CREATE INDEX DATA_O_NOCASE ON DATA(O COLLATE NOCASE)");
                   db.exec("CREATE INDEX DATA_V_NOCASE ON DATA(V COLLATE NOCASE)");
                   db.exec("INSERT INTO DATA_V_TRIGRAMS(DATA_V_TRIGRAMS) VALUES('rebuild')");
                   SQLite::Statement q(db, "SELECT DISTINCT O FROM DATA WHERE V LIKE ?");
                   q.bind(1, QStringLiteral("%%1%").arg(kContained).toStdString());
                   while (q.executeStep()) {
                   }
               });
           }));
    QFile::remove(firstOpen);
    return 0;
}
