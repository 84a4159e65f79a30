// The table view, the HTML report, the CSV file, the card view and the About box, reached from
// the main window with the mouse as a user does: what they show, what the report and the CSV file
// write and say, how the views grow, that each window comes once, and that the views paint and
// close without waiting on the file or a picture.

#include "about/frmabout.h"
#include "commands/csv.h"
#include "commands/report.h"
#include "driver.h"
#include "editing/frmdataentry.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"
#include "widgets/ui.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QListView>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <SQLiteCpp/SQLiteCpp.h>

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace olv;
using namespace olv::test;

namespace {

const QString kLamp = obj(1), kDesk = obj(2), kFloor = obj(3), kGarden = obj(4);

// Files as an ordinary user may use them, also when the tests run as root, whom no folder refuses.
// Only this thread is affected.
struct AsOrdinaryUser {
    AsOrdinaryUser() {
        if (geteuid() == 0) {
            setfsgid(65534);
            setfsuid(65534);
        }
    }
    ~AsOrdinaryUser() {
        if (geteuid() == 0) {
            setfsuid(0);
            setfsgid(0);
        }
    }
};

// Counts the paints of a widget.
struct Paints : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

struct ViewsDriver : MainWindowDriver {
    ViewsDriver() {
        h.add({{kLamp, kTOO, kClassValue}, {kLamp, kName, "Lamp"}, {kDesk, kTOO, kLamp}, {kDesk, kName, "Desk lamp"},
               {kDesk, "colour", "red"}, {kDesk, kBelongsTo, kGarden}, {kFloor, kTOO, kLamp},
               {kFloor, kName, "Floor lamp"}, {kFloor, "watts", "60"}, {kGarden, kName, "Garden"}});
    }
    ~ViewsDriver() { h.windows.unloadAllBut(&window); } // before the context they use goes

    // Opens a menu of the menu bar with a click and clicks one of its items.
    void choose(const char* menuName, const char* itemName) {
        QMenuBar* bar = window.menuBar();
        QMenu* menu = child<QMenu>(menuName);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
        QTRY_VERIFY(menu->isVisible());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action(itemName)).center());
        QTRY_VERIFY(!menu->isVisible());
    }
    void clickButton(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }

    frmTableView* tableView() const { return h.windows.find<frmTableView>(); }
    QStringList headers() const {
        QStringList list;
        QAbstractItemModel* m = tableView()->grid()->model();
        for (int c = 0; c < m->columnCount(); ++c) list << m->headerData(c, Qt::Horizontal).toString();
        return list;
    }
    // The table's rows as shown, cells joined by "|"; a row not read yet shows empty cells.
    QStringList cells() const {
        QStringList rows;
        QAbstractItemModel* m = tableView()->grid()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < m->columnCount(); ++c) row << m->index(r, c).data().toString();
            rows << row.join('|');
        }
        return rows;
    }

    frmCardView* cardView() const { return h.windows.find<frmCardView>(); }
    // What each card shows, as the view reads it for drawing; cardComing until it is read.
    const CardFace& face(int row) const {
        return static_cast<const CardModel*>(cardView()->cards()->model())->face(row);
    }
    QRect cardRect(int row) const {
        QListView* cards = cardView()->cards();
        return cards->visualRect(cards->model()->index(row, 0));
    }

    QByteArray read(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString reportPath() const { return h.dir.filePath("BasicReport.htm"); }
    QByteArray written() const {
        QFile f(reportPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

class ViewsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { prepareApplication(); }

    void shouldShowTheSearchAsATableBuiltAnewOnEveryClick() {
        ViewsDriver d;
        d.search("lamp", true);
        d.clickButton("cmdTableView");
        QTRY_VERIFY(d.tableView() && d.tableView()->isVisible());
        frmTableView* first = d.tableView();
        QCOMPARE(first->windowTitle(), QStringLiteral("Olv :: TableView"));
        QCOMPARE(first->size(), QSize(tw(8100), tw(6255))); // the designed window and a row for "to CSV"
        QCOMPARE(first->grid()->geometry(), twRect(0, 120, 8055, 5655));
        QCOMPARE(d.headers(), (QStringList{"Class", "Name", "BelongsTo", "colour", "watts"}));
        QVERIFY(first->grid()->model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QVERIFY(first->grid()->horizontalHeader()->isVisible());
        // A class, and instances whose links show as stored.
        QTRY_COMPARE(d.cells(), (QStringList{"OlValClass|Lamp|N/A|N/A|N/A", "Lamp|Desk lamp|" + kGarden + "|red|N/A",
                                             "Lamp|Floor lamp|N/A|N/A|60"}));

        // The box is read when "Table" is clicked, not the tree; the open view gives way to a new one.
        QPointer<frmTableView> old = first;
        d.typeFind(kLamp);
        d.clickButton("cmdTableView");
        QTRY_VERIFY(!old);
        QVERIFY(d.tableView() && d.tableView()->isVisible());
        QTRY_COMPARE(d.cells(), (QStringList{"Lamp|Desk lamp|" + kGarden + "|red|N/A", "Lamp|Floor lamp|N/A|N/A|60"}));
        QCOMPARE(d.childTexts(d.root()), (QStringList{"Lamp", "Desk lamp", "Floor lamp"}));

        // Many objects ask nothing; none gives the header row alone.
        QList<Row> many;
        for (int i = 10; i < 30; ++i) many.push_back({obj(i), kName, QStringLiteral("lamp %1").arg(i)});
        d.h.add(many);
        d.search("lamp", true);
        d.h.prompter.shown.clear();
        d.clickButton("cmdTableView");
        QTRY_COMPARE(d.cells().size(), 23);
        QVERIFY(d.h.prompter.shown.isEmpty());
        d.typeFind("violet");
        d.clickButton("cmdTableView");
        QTRY_COMPARE(d.headers(), (QStringList{"Class", "Name"}));
        QCOMPARE(d.cells(), QStringList());
        QTRY_COMPARE(d.h.windows.windows().size(), 2);
    }

    void shouldWriteTheReportWhereTheUserSaysAndOpenIt() {
        ViewsDriver d;
        QFile old(d.reportPath()); // a longer file of that name is replaced whole
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(QByteArray(100000, 'x')) == 100000);
        old.close();
        d.typeFind(kLamp);
        d.h.prompter.fileAnswers << d.reportPath();
        d.choose("mnuReport", "mnuReportHTML");
        QCOMPARE(d.h.prompter.shown.size(), 2);
        const Prompt dialog = d.h.prompter.shown[0], message = d.h.prompter.shown[1];
        QCOMPARE(dialog.kind, Prompt::SaveFile);
        QCOMPARE(dialog.title, QStringLiteral("Olv - Save Report"));
        QCOMPARE(dialog.text, QDir::homePath() + "/Olv/BasicReport.htm");
        QCOMPARE(message.kind, Prompt::Message);
        QCOMPARE(message.text, "Report created in " + d.reportPath() + "\n\nPlease click refresh in your browser...");
        QCOMPARE(message.title, QStringLiteral("Olv"));
        QCOMPARE(d.h.shell.opened, QStringList{d.reportPath()});
        const QByteArray page = d.written();
        QVERIFY(page.startsWith("\xEF\xBB\xBF<HTML>\r\n<HEAD>\r\n"));
        QVERIFY(page.contains("<P>Search criteria = Lamp</P>\r\n"));
        QVERIFY(page.endsWith("<TR><TD>Lamp</TD><TD>Desk lamp</TD><TD>Garden</TD>\r\n<TD>red</TD>\r\n<TD>N/A</TD>\r\n"
                              "<TR><TD>Lamp</TD><TD>Floor lamp</TD><TD>N/A</TD>\r\n<TD>N/A</TD>\r\n<TD>60</TD>\r\n"
                              "</TABLE>\r\n</BODY>\r\n</HTML>\r\n"));
    }

    void shouldWriteNothingWhenCancelledFailingOrFindingNothing() {
        ViewsDriver d;
        d.search("lamp", true);
        // Cancelled: no file, no word, nothing opened.
        d.choose("mnuReport", "mnuReportHTML");
        QCOMPARE(d.h.prompter.shown.size(), 1);
        QVERIFY(!QFile::exists(d.reportPath()));
        // A file that cannot be written: the message names it, and nothing claims success.
        const QString nowhere = d.h.dir.filePath("no such folder/BasicReport.htm");
        d.h.prompter.fileAnswers << nowhere;
        d.choose("mnuReport", "mnuReportHTML");
        QCOMPARE(d.h.prompter.shown.size(), 3);
        QCOMPARE(d.h.prompter.shown.last().kind, Prompt::Error);
        QVERIFY(d.h.prompter.shown.last().text.contains(nowhere));
        QVERIFY(d.h.shell.opened.isEmpty());
        // Nothing found: not even the dialog.
        d.typeFind("violet");
        d.h.prompter.fileAnswers << d.reportPath();
        d.choose("mnuReport", "mnuReportHTML");
        QCOMPARE(d.h.prompter.shown.size(), 3);
        QVERIFY(!QFile::exists(d.reportPath()));
    }

    void shouldShowOneAboutBoxThatOpensTheHomepage() {
        ViewsDriver d;
        d.choose("mnuHelp", "mnuHelpAbout");
        auto about = d.h.windows.find<frmAbout>();
        QVERIFY(about && QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->windowTitle(), QStringLiteral("About Olv"));
        QCOMPARE(about->findChild<QLabel*>("lblDescription")->text(), QStringLiteral("Universal Database with an edge ..."));
        d.choose("mnuHelp", "mnuHelpAbout");
        QCOMPARE(d.h.windows.find<frmAbout>(), about);
        QCOMPARE(d.h.windows.windows().size(), 2);

        auto homepage = about->findChild<QLabel*>("lblHomepage");
        QTest::mouseClick(homepage, Qt::LeftButton);
        QCOMPARE(d.h.shell.opened, QStringList{homepage->text()});
        QVERIFY(homepage->text().startsWith("https://"));
        QVERIFY(about->isVisible());
        QVERIFY(d.h.prompter.shown.isEmpty());

        QPointer<frmAbout> gone = about;
        QTest::mouseClick(about->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
        QTRY_VERIFY(!gone);
    }

    void shouldWriteTheTableAsCsvFromTheMenuAndFromTheTableView() {
        ViewsDriver d;
        const QString odd = obj(5);
        d.h.add({{odd, kTOO, kLamp}, {odd, kName, u"Zoë's \"odd\", lamp 東京"_qs}, {odd, "colour", "=1+1"},
                 {odd, "watts", "line one\nline two"}});
        const QByteArray expected = "\xEF\xBB\xBF"
                                    "Class,Name,BelongsTo,colour,watts\r\n"
                                    "OlValClass,Lamp,N/A,N/A,N/A\r\n"
                                    "Lamp,Desk lamp," + kGarden.toLatin1() + ",red,N/A\r\n"
                                    "Lamp,Floor lamp,N/A,N/A,60\r\n"
                                    "Lamp,\"Zo\xC3\xAB's \"\"odd\"\", lamp \xE6\x9D\xB1\xE4\xBA\xAC\",N/A,'=1+1,"
                                    "\"line one\nline two\"\r\n";
        d.search("lamp", true);
        const QString fromMenu = d.h.dir.filePath("menu.csv");
        d.h.prompter.fileAnswers << fromMenu;
        d.choose("mnuReport", "mnuReportCSV");
        QCOMPARE(d.h.prompter.shown.size(), 2);
        const Prompt dialog = d.h.prompter.shown[0];
        QCOMPARE(dialog.kind, Prompt::SaveFile);
        QCOMPARE(dialog.title, csv::kDialogTitle);
        QCOMPARE(dialog.text, QDir::homePath() + "/Olv/Olv.csv");
        QCOMPARE(dialog.filter, QStringLiteral("CSV files (*.csv)"));
        QCOMPARE(d.h.prompter.shown[1].kind, Prompt::Message);
        QCOMPARE(d.h.prompter.shown[1].text, "CSV file written to " + fromMenu);
        QCOMPARE(d.read(fromMenu), expected);

        // The table view writes what it shows, also once the search box says something else.
        d.clickButton("cmdTableView");
        QTRY_VERIFY(d.tableView() && d.tableView()->isVisible());
        d.typeFind("violet");
        const QString fromView = d.h.dir.filePath("view.csv");
        d.h.prompter.fileAnswers << fromView;
        QTest::mouseClick(d.tableView()->findChild<QPushButton*>("cmdCSV"), Qt::LeftButton);
        QCOMPARE(d.h.prompter.shown.size(), 4);
        QCOMPARE(d.h.prompter.shown[2].title, csv::kDialogTitle);
        QCOMPARE(d.h.prompter.shown[3].text, "CSV file written to " + fromView);
        QCOMPARE(d.read(fromView), expected);
        QVERIFY(d.h.shell.opened.isEmpty());
    }

    void shouldWriteNoCsvWhenCancelledAndNameAFileThatCannotBeWritten() {
        ViewsDriver d;
        d.search("lamp", true);
        d.choose("mnuReport", "mnuReportCSV"); // cancelled: the dialog, and not a word more
        QCOMPARE(d.h.prompter.shown.size(), 1);
        QVERIFY(QDir(d.h.dir.path()).entryList({"*.csv"}).isEmpty());

        const QString nowhere = d.h.dir.filePath("no such folder/Olv.csv");
        d.h.prompter.fileAnswers << nowhere;
        d.choose("mnuReport", "mnuReportCSV");
        QCOMPARE(d.h.prompter.shown.size(), 3);
        QCOMPARE(d.h.prompter.shown.last().kind, Prompt::Error);
        QVERIFY2(d.h.prompter.shown.last().text.contains(nowhere), qPrintable(d.h.prompter.shown.last().text));

        // The same from the table view's button, with the keyboard.
        d.clickButton("cmdTableView");
        QTRY_VERIFY(d.tableView() && d.tableView()->isVisible());
        auto button = d.tableView()->findChild<QPushButton*>("cmdCSV");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(d.h.prompter.shown.size(), 4);
        d.h.prompter.fileAnswers << nowhere;
        QTRY_VERIFY(button->hasFocus());
        d.press(Qt::Key_Return);
        QCOMPARE(d.h.prompter.shown.size(), 6);
        QCOMPARE(d.h.prompter.shown.last().kind, Prompt::Error);
        QVERIFY(d.h.prompter.shown.last().text.contains(nowhere));
        QVERIFY(QDir(d.h.dir.path()).entryList({"*.csv"}).isEmpty());
    }

    void shouldGiveTheTableViewsExtraRoomToItsGrid() {
        ViewsDriver d;
        d.search("lamp", true);
        d.clickButton("cmdTableView");
        QTRY_VERIFY(d.tableView() && d.tableView()->isVisible());
        frmTableView* view = d.tableView();
        auto button = view->findChild<QPushButton*>("cmdCSV");
        QCOMPARE(view->grid()->geometry(), twRect(0, 120, 8055, 5655));
        QCOMPARE(button->geometry(), twRect(120, 5940, 1095, 255));
        QCOMPARE(button->text(), QStringLiteral("to CSV"));
        view->resize(view->size() + QSize(200, 100));
        QTRY_COMPARE(view->grid()->geometry(), twRect(0, 120, 8055, 5655).adjusted(0, 0, 200, 100));
        QCOMPARE(button->geometry(), twRect(120, 5940, 1095, 255).translated(0, 100));
        view->showMaximized();
        QTRY_VERIFY(view->grid()->width() > tw(8055) + 200);
        QCOMPARE(button->y() + button->height() + tw(60), view->height()); // with the bottom edge
        view->showNormal();
        view->resize(10, 10); // never smaller than designed
        QTRY_COMPARE(view->size(), QSize(tw(8100), tw(6255)));
        QCOMPARE(view->grid()->geometry(), twRect(0, 120, 8055, 5655));
    }

    void shouldShowTheSearchAsCards() {
        ViewsDriver d;
        QImage picture(320, 200, QImage::Format_RGB32);
        picture.fill(QColor(200, 30, 30));
        const QString photo = d.h.dir.filePath("desk.JPG");
        QVERIFY(picture.save(photo, "JPG"));
        const QString note = d.h.dir.filePath("Olv.mdb.desk.rtf");
        QFile rtf(note);
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write("{\\rtf1\\ansi {\\b Bright} and warm,\\par\\par good for reading.\\par Bought 2001.\\par Fourth line\\par}");
        rtf.close();
        d.h.add({{kDesk, "photo", photo}, {kDesk, "note", note}});
        d.search("lamp", true);
        d.clickButton("cmdCardView");
        QTRY_VERIFY(d.cardView() && d.cardView()->isVisible());
        frmCardView* view = d.cardView();
        QCOMPARE(view->windowTitle(), QStringLiteral("Olv :: CardView"));
        QCOMPARE(view->size(), QSize(tw(6435), tw(6330)));
        QListView* cards = view->cards();
        QCOMPARE(cards->model()->rowCount(), 3);

        // Read beside the window, then drawn.
        QTRY_COMPARE(d.face(0).card.name, QStringLiteral("Lamp"));
        QCOMPARE(d.face(0).card.className, QStringLiteral("Class"));
        const CardFace& desk = d.face(1);
        QCOMPARE(desk.card.name, QStringLiteral("Desk lamp"));
        QCOMPARE(desk.card.className, QStringLiteral("Lamp"));
        using P = std::pair<QString, QString>;
        QCOMPARE(desk.card.properties,
                 (QList<P>{{"colour", "red"}, {kBelongsTo, "Garden"}, {"photo", photo}, {"note", note}}));
        // Thumbnail and note lines are made aside, then drawn.
        QTRY_COMPARE(d.face(1).noteLines, (QStringList{"Bright and warm,", "good for reading.", "Bought 2001."}));
        QVERIFY(!d.face(1).thumbnail.isNull() && !d.face(1).noteComing);
        QVERIFY(d.face(1).thumbnail.width() <= tw(840) && d.face(1).thumbnail.height() <= tw(840));
        QCOMPARE(d.face(2).card.name, QStringLiteral("Floor lamp"));
        QVERIFY(d.face(2).thumbnail.isNull() && d.face(2).noteLines.isEmpty());
        // Screen readers hear each card by its name and class.
        QCOMPARE(cards->model()->index(2, 0).data(Qt::AccessibleTextRole).toString(), QStringLiteral("Floor lamp, Lamp"));

        // The thumbnail is drawn in the card's top right corner; the first two cards share a row.
        const QRect deskCard = d.cardRect(1);
        QCOMPARE(deskCard.top(), d.cardRect(0).top());
        QVERIFY(d.cardRect(2).top() > deskCard.bottom());
        const QImage shown = cards->viewport()->grab().toImage();
        const QColor thumb = shown.pixelColor(deskCard.right() - 5 - tw(840) / 2, deskCard.top() + 5 + 10);
        QVERIFY2(thumb.red() > 150 && thumb.green() < 80 && thumb.blue() < 80, qPrintable(thumb.name()));
        const QColor plain = shown.pixelColor(d.cardRect(2).right() - 5 - tw(840) / 2, d.cardRect(2).top() + 5 + 10);
        QVERIFY2(plain.red() > 200 && plain.green() > 200, qPrintable(plain.name()));

        // "Card" again shows the search box's search in the same window, brought forward where
        // the user left it, at the size they gave it.
        QPointer<frmCardView> same = view;
        view->resize(view->size() + QSize(tw(3060), 40));
        view->move(view->pos() + QPoint(30, 20));
        const QRect placed = view->geometry();
        d.typeFind(kLamp);
        d.clickButton("cmdCardView");
        QVERIFY(same && same->isVisible());
        QCOMPARE(d.cardView(), same.data());
        QCOMPARE(view->geometry(), placed);
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(view));
        QCOMPARE(cards->model()->rowCount(), 2);
        QTRY_COMPARE(d.face(0).card.name, QStringLiteral("Desk lamp"));
        QCOMPARE(d.h.windows.windows().size(), 2);
        // The same search again reads the cards afresh, in place.
        d.h.add(kFloor, "colour", "blue");
        d.clickButton("cmdCardView");
        QTRY_COMPARE(d.face(1).card.properties.value(1), (std::pair<QString, QString>{"colour", "blue"}));
        QCOMPARE(d.cardView(), same.data());
        // Closed, it opens anew at the designed size.
        view->close();
        QTRY_VERIFY(!same);
        d.clickButton("cmdCardView");
        QTRY_VERIFY(d.cardView() && d.cardView()->isVisible());
        QCOMPARE(d.cardView()->size(), QSize(tw(6435), tw(6330)));
    }

    void shouldShowAClickedCardInTheMainWindowAndEditItWithADoubleClick() {
        ViewsDriver d;
        d.search("lamp", true);
        d.clickButton("cmdCardView");
        QTRY_VERIFY(d.cardView() && d.cardView()->isVisible());
        QListView* cards = d.cardView()->cards();
        QVERIFY(d.h.clipboard.content.isEmpty()); // opening selects nothing

        // Another object's picture in the main window's preview.
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString photo = d.h.dir.filePath("lamp.jpg");
        QVERIFY(picture.save(photo, "JPG"));
        d.h.add(kLamp, "photo", photo);
        d.clickNode(d.nodeWithKey(kLamp));
        d.clickGridRow(d.grid()->rowCount() - 1);
        auto preview = d.child<QLabel>("Image1");
        QVERIFY(preview->isVisible() && !preview->pixmap().isNull());

        // A click shows the object in the main window as a click on its node does.
        QTest::mouseClick(cards->viewport(), Qt::LeftButton, {}, d.cardRect(2).center());
        QCOMPARE(d.h.clipboard.content, kFloor);
        QCOMPARE(d.h.ctx.currentObjectId, kFloor);
        QCOMPARE(d.frameCaption(), QStringLiteral("class: Lamp"));
        QCOMPARE(d.gridRows(), (QStringList{"|", "Name|Floor lamp", "watts|60"}));
        QVERIFY(!preview->isVisible() && preview->pixmap().isNull());
        QVERIFY(!d.h.windows.find<frmDataEntry>());
        const QStringList floorRows = d.gridRows();
        d.clickNode(d.nodeWithKey(kLamp));
        d.clickNode(d.nodeWithKey(kFloor));
        QCOMPARE(d.gridRows(), floorRows);

        const QPoint desk = d.cardRect(1).center();
        QTest::mouseClick(cards->viewport(), Qt::LeftButton, {}, desk);
        QTest::mouseDClick(cards->viewport(), Qt::LeftButton, {}, desk);
        auto entry = d.h.windows.find<frmDataEntry>();
        QVERIFY(entry);
        QCOMPARE(entry->editedObjectId(), kDesk);
        QCOMPARE(d.h.ctx.currentObjectId, kDesk);

        // From the keyboard: to the card on the left and Enter.
        QPointer<frmDataEntry> gone = entry;
        entry->close();
        QTRY_VERIFY(!gone);
        d.cardView()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d.cardView()));
        QTest::mouseClick(cards->viewport(), Qt::LeftButton, {}, desk);
        d.press(Qt::Key_Left);
        d.press(Qt::Key_Return);
        QTRY_VERIFY(d.h.windows.find<frmDataEntry>());
        QCOMPARE(d.h.windows.find<frmDataEntry>()->editedObjectId(), kLamp);
        QCOMPARE(d.h.clipboard.content, kLamp);
    }

    void shouldGiveTheCardViewsExtraRoomToItsCards() {
        ViewsDriver d;
        QList<Row> many;
        for (int i = 10; i < 40; ++i) many.push_back({obj(i), kName, QStringLiteral("lamp %1").arg(i)});
        d.h.add(many);
        d.search("lamp", true);
        d.clickButton("cmdCardView");
        QTRY_VERIFY(d.cardView() && d.cardView()->isVisible());
        frmCardView* view = d.cardView();
        QListView* cards = view->cards();
        QCOMPARE(cards->geometry(), QRect(0, 0, tw(6435), tw(6330)));
        QCOMPARE(d.cardRect(1).top(), d.cardRect(0).top()); // two cards a row
        QVERIFY(d.cardRect(2).top() > d.cardRect(1).bottom());
        view->resize(view->width() + tw(3060), view->height() + 100);
        QTRY_COMPARE(cards->geometry(), QRect(0, 0, tw(6435) + tw(3060), tw(6330) + 100));
        QTRY_COMPARE(d.cardRect(2).top(), d.cardRect(0).top()); // three a row
        QVERIFY(cards->verticalScrollBar()->maximum() > 0);
        view->showMaximized();
        QTRY_VERIFY(cards->width() > tw(6435) + tw(3060));
        QCOMPARE(cards->geometry(), view->rect());
        view->showNormal();
        view->resize(10, 10);
        QTRY_COMPARE(view->size(), QSize(tw(6435), tw(6330)));
    }

    void shouldShowEveryCellAsItsLookupReadsIt() {
        ViewsDriver d;
        // The class and the name under other letter case, columns of the user's own named so, and
        // the same property twice, umlauts in both cases.
        d.h.add({{obj(5), "too", kLamp}, {obj(5), "name", "Reading lamp"}, {obj(5), "ÄPFEL", "first"},
                 {obj(5), "äpfel", "second"}, {obj(6), "NAME", "Shed lamp"}, {obj(6), "Too", kClassValue},
                 {obj(6), "äPFEL", "third"}, {kDesk, "too", "a second class"}});
        d.search("lamp", true);
        d.clickButton("cmdTableView");
        QTRY_VERIFY(d.tableView() && d.tableView()->isVisible());
        QCOMPARE(d.headers(), (QStringList{"Class", "Name", "BelongsTo", "colour", "name", "too", "watts", u"ÄPFEL"_qs}));
        QTRY_COMPARE(d.cells(), (QStringList{"OlValClass|Lamp|N/A|N/A|Lamp|OlValClass|N/A|N/A",
                                             "Lamp|Desk lamp|" + kGarden + "|red|Desk lamp|" + kLamp + "|N/A|N/A",
                                             "Lamp|Floor lamp|N/A|N/A|Floor lamp|" + kLamp + "|60|N/A",
                                             "Lamp|Reading lamp|N/A|N/A|Reading lamp|" + kLamp + "|N/A|first",
                                             "OlValClass|Shed lamp|N/A|N/A|Shed lamp|OlValClass|N/A|third"}));
        // The CSV file has the same cells, the report the class's name for a linked class.
        const QString table = d.h.dir.filePath("lamps.csv");
        d.h.prompter.fileAnswers << table << d.reportPath();
        QTest::mouseClick(d.tableView()->findChild<QPushButton*>("cmdCSV"), Qt::LeftButton);
        QCOMPARE(d.read(table).split('\n').at(4), ("Lamp,Reading lamp,N/A,N/A,Reading lamp," + kLamp + ",N/A,first\r").toUtf8());
        d.choose("mnuReport", "mnuReportHTML");
        QVERIFY(d.written().contains("<TR><TD>Lamp</TD><TD>Reading lamp</TD><TD>N/A</TD>\r\n<TD>N/A</TD>\r\n"
                                     "<TD>Reading lamp</TD>\r\n<TD>Lamp</TD>\r\n<TD>N/A</TD>\r\n<TD>first</TD>\r\n"));
    }

    void shouldWriteTheReportAndTheCsvFileWholeOrNotAtAll() {
        ViewsDriver d;
        // A folder that refuses new files, holding earlier ones the user may change.
        const QString folder = d.h.dir.filePath("locked");
        QVERIFY(QDir().mkpath(folder));
        const QString page = folder + "/BasicReport.htm", table = folder + "/Olv.csv";
        const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup |
                              QFile::ReadOther | QFile::WriteOther;
        const auto exe = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
        for (const QString& path : {page, table}) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("the old file") == 12);
            old.close();
            QVERIFY(QFile::setPermissions(path, everyone));
        }
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | exe));
        QVERIFY(QFile::setPermissions(d.h.dir.path(), everyone | exe) && QFile::setPermissions(d.h.path(), everyone));
        d.search("lamp", true);
        {
            AsOrdinaryUser user;
            d.h.prompter.fileAnswers << page;
            d.choose("mnuReport", "mnuReportHTML");
            d.h.prompter.fileAnswers << table;
            d.choose("mnuReport", "mnuReportCSV");
        }
        QVERIFY(QFile::setPermissions(folder, everyone | exe));
        const QStringList errors = d.h.prompter.texts(Prompt::Error);
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors[0].startsWith("The report cannot be written to " + page), qPrintable(errors[0]));
        QVERIFY2(errors[1].startsWith("The file " + table + " cannot be written"), qPrintable(errors[1]));
        QVERIFY(d.h.prompter.texts(Prompt::Message).isEmpty());
        QVERIFY(d.h.shell.opened.isEmpty());
        for (const QString& path : {page, table}) QCOMPARE(d.read(path), QByteArray("the old file"));
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{"BasicReport.htm", "Olv.csv"}));
    }

    void shouldPaintCardsWhileTheFileIsLockedAndFillThemInAfter() {
        ViewsDriver d;
        d.search("lamp", true);
        SQLite::Database other(d.h.path().toStdString(), SQLite::OPEN_READWRITE);
        d.clickButton("cmdCardView");
        QVERIFY(d.cardView());
        // Another program takes the file before the cards are first drawn: they are drawn at
        // once, empty, and filled in once the file is free.
        other.exec("BEGIN EXCLUSIVE");
        Paints paints;
        d.cardView()->cards()->viewport()->installEventFilter(&paints);
        QVERIFY(QTest::qWaitForWindowExposed(d.cardView()));
        QTRY_VERIFY(paints.count > 0);
        QVERIFY(d.face(0).cardComing);
        QCOMPARE(d.face(0).card.id, kLamp);
        QVERIFY(d.cardView()->cards()->model()->index(0, 0).data().isNull());
        const int whileLocked = paints.count;
        other.exec("COMMIT");
        QTRY_COMPARE(d.face(0).card.name, QStringLiteral("Lamp"));
        QCOMPARE(d.face(1).card.name, QStringLiteral("Desk lamp"));
        QTRY_VERIFY(paints.count > whileLocked);
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    void shouldCloseTheCardViewAndShowOtherPicturesWithoutWaitingForAPicture() {
        ViewsDriver d;
        // A picture that does not come: a pipe nobody writes into yet.
        const QString slow = d.h.dir.filePath("slow.jpg");
        QVERIFY(mkfifo(QFile::encodeName(slow).constData(), 0600) == 0);
        d.h.add(kDesk, "photo", slow);
        d.search("Desk lamp");
        d.clickButton("cmdCardView");
        QTRY_VERIFY(d.cardView() && !d.face(0).cardComing && d.face(0).thumbnailComing);
        // The thumbnail is being read once the pipe has a reader.
        int writer = -1;
        const auto opened = [&] {
            if (writer < 0) writer = ::open(QFile::encodeName(slow).constData(), O_WRONLY | O_NONBLOCK);
            return writer >= 0;
        };
        QTRY_VERIFY(opened());
        // Lets the reading end: an empty file takes the pipe's place for any later look, and
        // the pipe ends.
        std::mutex m;
        const auto letThrough = [&] {
            std::lock_guard lock(m);
            if (writer < 0) return;
            const QString empty = d.h.dir.filePath("empty");
            QFile(empty).open(QIODevice::WriteOnly);
            ::rename(QFile::encodeName(empty).constData(), QFile::encodeName(slow).constData());
            ::close(writer);
            writer = -1;
        };
        // Should closing wait for the picture, it comes after a while, so the test ends all the
        // same and says so.
        std::condition_variable done;
        bool closed = false;
        std::atomic<bool> waited = false;
        std::thread watchdog([&] {
            std::unique_lock lock(m);
            if (done.wait_for(lock, std::chrono::seconds(10), [&] { return closed; })) return;
            lock.unlock();
            waited = true;
            letThrough();
        });
        QPointer<frmCardView> view = d.cardView();
        view->close();
        QTRY_VERIFY(!view);
        // Other pictures show meanwhile: the main window's preview of a picture that is there.
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        const QString there = d.h.dir.filePath("floor.jpg");
        QVERIFY(picture.save(there, "JPG"));
        d.h.add(kFloor, "photo", there);
        d.search("Floor lamp");
        d.clickNode(d.nodeWithKey(kFloor));
        QCOMPARE(d.gridRows().last(), "photo|" + there);
        d.clickGridRow(d.grid()->rowCount() - 1);
        auto preview = d.child<QLabel>("Image1");
        QVERIFY(preview->isVisible() && !preview->pixmap().isNull());
        const bool closedWhileReading = !waited;
        {
            std::lock_guard lock(m);
            closed = true;
        }
        done.notify_one();
        watchdog.join();
        letThrough();
        QVERIFY2(closedWhileReading, "closing the card view or showing another picture waited for the picture");
        QVERIFY(d.h.prompter.shown.isEmpty());
    }

    void shouldDrawUnderscoresOnCards() {
        ViewsDriver d;
        // Neither name has a letter below the line: only underscores reach there.
        d.h.add({{obj(20), kName, "snake_case_value"}, {obj(21), kName, "snakeacaseavalue"}});
        d.search("snake", true);
        d.clickButton("cmdCardView");
        QTRY_VERIFY(d.cardView() && !d.face(0).cardComing && !d.face(1).cardComing);
        QListView* cards = d.cardView()->cards();
        QTRY_VERIFY(!cards->model()->index(1, 0).data().isNull());
        const QImage shown = cards->viewport()->grab().toImage();
        // The lowest row of black in each card's name line, above the class line (grey).
        const int line = QFontMetrics(cards->font()).height();
        const auto lowestInk = [&](const QRect& card) {
            int lowest = -1;
            for (int y = card.top() + 2; y < card.top() + 2 * line; ++y)
                for (int x = card.left() + 2; x < card.right() - 2; ++x)
                    if (qGray(shown.pixel(x, y)) < 60) lowest = y - card.top();
            return lowest;
        };
        const int underscored = lowestInk(d.cardRect(0)), plain = lowestInk(d.cardRect(1));
        QVERIFY(plain > 0);
        QVERIFY2(underscored > plain, qPrintable(QStringLiteral("%1 against %2").arg(underscored).arg(plain)));
    }
};

QTEST_MAIN(ViewsTest)
#include "test_views.moc"
