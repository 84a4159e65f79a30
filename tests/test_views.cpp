// The table view, the HTML report, the card view and the About box, reached from the main window
// with the mouse as a user does: what they show, what the report writes and says, and that each
// window comes once.

#include "about/frmabout.h"
#include "app/ui.h"
#include "commands/report.h"
#include "driver.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>

using namespace olv;
using namespace olv::test;

namespace {

const QString kLamp = obj(1), kDesk = obj(2), kFloor = obj(3), kGarden = obj(4);

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
    // The table's rows as read, cells joined by "|".
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
        QCOMPARE(first->size(), QSize(tw(8100), tw(5880)));
        QCOMPARE(first->grid()->geometry(), twRect(0, 120, 8055, 5655));
        QCOMPARE(d.headers(), (QStringList{"Class", "Name", "BelongsTo", "colour", "watts"}));
        QVERIFY(first->grid()->model()->headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
        QVERIFY(first->grid()->horizontalHeader()->isVisible());
        // A class, and instances whose links show as stored.
        QCOMPARE(d.cells(), (QStringList{"OlValClass|Lamp|N/A|N/A|N/A", "Lamp|Desk lamp|" + kGarden + "|red|N/A",
                                         "Lamp|Floor lamp|N/A|N/A|60"}));

        // The box is read when "Table" is clicked, not the tree; the open view gives way to a new one.
        QPointer<frmTableView> old = first;
        d.typeFind(kLamp);
        d.clickButton("cmdTableView");
        QTRY_VERIFY(!old);
        QVERIFY(d.tableView() && d.tableView()->isVisible());
        QCOMPARE(d.cells(), (QStringList{"Lamp|Desk lamp|" + kGarden + "|red|N/A", "Lamp|Floor lamp|N/A|N/A|60"}));
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
        // The card view stays unavailable.
        QVERIFY(!d.child<QPushButton>("cmdCardView")->isEnabled());
        d.clickButton("cmdCardView");
        QVERIFY(!d.h.windows.find<frmCardView>());
    }
};

QTEST_MAIN(ViewsTest)
#include "test_views.moc"
