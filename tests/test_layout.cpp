// A designed layout on its own: spare room split between neighbours on odd sizes, and a top that
// rises only so far. The windows' own tests check each window's layout.

#include "widgets/designedlayout.h"
#include "widgets/ui.h"

#include <QWidget>
#include <QtTest>

using namespace olv;

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void shouldShareOddRoomSoThatNeighboursStillMeet() {
        QWidget window;
        DesignedLayout layout(&window, {2880, 2880});
        const QSize designed(tw(2880), tw(2880));
        QCOMPARE(window.minimumSize(), designed);
        QCOMPARE(window.size(), designed);
        // A left column of two rows sharing the height, and a right column.
        QWidget* upper = layout.add(new QWidget(&window), {0, 0, 1440, 1440},
                                    {.right = Share::Half, .bottom = Share::Half});
        QWidget* lower = layout.add(new QWidget(&window), {0, 1440, 1440, 1440},
                                    {.top = Share::Half, .right = Share::Half, .bottom = Share::All});
        QWidget* right = layout.add(new QWidget(&window), {1440, 0, 1440, 2880},
                                    {.left = Share::Half, .right = Share::All, .bottom = Share::All});
        QCOMPARE(right->geometry(), twRect(1440, 0, 1440, 2880));
        for (const QSize extra : {QSize(1, 1), QSize(7, 3), QSize(0, 5), QSize(201, 99)}) {
            window.resize(designed + extra);
            layout.place();
            QCOMPARE(upper->width(), tw(1440) + extra.width() / 2);
            QCOMPARE(upper->height(), tw(1440) + extra.height() / 2);
            QCOMPARE(lower->x(), 0);
            QCOMPARE(lower->width(), upper->width());
            QCOMPARE(lower->y(), upper->y() + upper->height()); // no gap, no overlap
            QCOMPARE(lower->y() + lower->height(), window.height());
            QCOMPARE(right->x(), upper->x() + upper->width());
            QCOMPARE(right->x() + right->width(), window.width());
            QCOMPARE(right->height(), window.height());
        }
        window.resize(10, 10); // never smaller than designed, and then all as designed
        layout.place();
        QCOMPARE(window.size(), designed);
        QCOMPARE(lower->geometry(), twRect(0, 1440, 1440, 1440));
        QCOMPARE(right->geometry(), twRect(1440, 0, 1440, 2880));
    }

    void shouldRiseIntoSpareHeightOnlyAsFarAsAllowed() {
        QWidget window;
        DesignedLayout layout(&window, {2880, 4320});
        QWidget* band = layout.add(new QWidget(&window), {0, 0, 2880, 1440});
        // A picture and a note inside it rise together until the picture meets the band.
        constexpr Stretch rising{.bottom = Share::All, .rise = {.from = 2880, .to = 1440}};
        QWidget* picture = layout.add(new QWidget(&window), {0, 2880, 2880, 1440}, rising);
        QWidget* note = layout.add(new QWidget(&window), {0, 3000, 2880, 1200}, rising);
        const int room = tw(2880) - tw(1440);
        const int noteBelow = note->y() - picture->y();
        for (const int extra : {1, room - 1, room, room + 1, 3 * room}) {
            window.resize(window.minimumSize() + QSize(0, extra));
            layout.place();
            QCOMPARE(picture->y(), std::max(tw(2880) - extra, band->height()));
            QCOMPARE(note->y() - picture->y(), noteBelow);
            QCOMPARE(picture->y() + picture->height(), window.height()); // the bottom follows
            QCOMPARE(band->geometry(), twRect(0, 0, 2880, 1440));
        }
    }
};

QTEST_MAIN(LayoutTest)
#include "test_layout.moc"
