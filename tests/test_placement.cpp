// Where new windows open: the data-entry, table and card windows beside the main window, on a
// screen of a desktop's size, so that they do not cover its tree.

#include "driver.h"
#include "editing/frmdataentry.h"
#include "views/frmcardview.h"
#include "views/frmtableview.h"

#include <QPushButton>
#include <QScreen>

using namespace olv;
using namespace olv::test;

class PlacementTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        prepareApplication();
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 1920, 1080));
    }

    void shouldOpenWindowsBesideTheMainWindow() {
        MainWindowDriver d;
        d.h.add({{obj(1), kName, "Lamp"}, {obj(1), "colour", "red"}});
        d.window.move(40, 30);
        d.search("Lamp");
        const QRect main = d.window.frameGeometry();
        // Right of it, level with its top.
        d.doubleClickNode(d.nodeWithKey(obj(1)));
        QWidget* entry = d.h.windows.find<frmDataEntry>();
        QVERIFY(entry);
        QCOMPARE(entry->frameGeometry().topLeft(), QPoint(main.right() + 1, main.top()));
        QTest::mouseClick(d.child<QPushButton>("cmdTableView"), Qt::LeftButton);
        QWidget* table = d.h.windows.find<frmTableView>();
        QVERIFY(table);
        QCOMPARE(table->frameGeometry().topLeft(), QPoint(main.right() + 1, main.top()));
        QTest::mouseClick(d.child<QPushButton>("cmdCardView"), Qt::LeftButton);
        QWidget* cards = d.h.windows.find<frmCardView>();
        QVERIFY(cards);
        QCOMPARE(cards->frameGeometry().topLeft(), QPoint(main.right() + 1, main.top()));
        // "Card" again shows its search in the card view where the user moved it.
        cards->move(300, 250);
        QTest::mouseClick(d.child<QPushButton>("cmdCardView"), Qt::LeftButton);
        QCOMPARE(d.h.windows.find<frmCardView>(), cards);
        QCOMPARE(cards->frameGeometry().topLeft(), QPoint(300, 250));
        d.h.windows.unloadAllBut(&d.window);

        // No room to the right: below it.
        d.window.move(1920 - d.window.frameGeometry().width() - 10, 30);
        const QRect right = d.window.frameGeometry();
        d.doubleClickNode(d.nodeWithKey(obj(1)));
        entry = d.h.windows.find<frmDataEntry>();
        QVERIFY(entry);
        QCOMPARE(entry->frameGeometry().topLeft(), QPoint(right.left(), right.bottom() + 1));
        // One already open stays where it is.
        entry->move(200, 200);
        d.doubleClickNode(d.nodeWithKey(obj(1)));
        QCOMPARE(entry->frameGeometry().topLeft(), QPoint(200, 200));
        d.h.windows.unloadAllBut(&d.window);

        // No room beside it at all: where it would open anyway, on the screen.
        d.window.resize(1800, 1000);
        d.window.move(10, 10);
        QTRY_VERIFY(d.window.frameGeometry().width() >= 1800);
        d.doubleClickNode(d.nodeWithKey(obj(1)));
        entry = d.h.windows.find<frmDataEntry>();
        QVERIFY(entry);
        QVERIFY(QRect(0, 0, 1920, 1080).contains(entry->frameGeometry()));
        d.h.windows.unloadAllBut(&d.window);
    }
};

int main(int argc, char* argv[]) {
    // A screen of a desktop's size, with room beside the main window.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1920, "height": 1080,
                       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") <= 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    PlacementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_placement.moc"
