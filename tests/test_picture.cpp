// Reading a picture bounded to the size it is shown at, as the previews and thumbnails do.

#include "files.h"
#include "input.h"
#include "platform/picture.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace olv;

class PictureTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString save(const char* name, QSize size, const char* format) {
        return test::pictureFile(m_dir.filePath(QString::fromLatin1(name)), size, Qt::darkCyan, format);
    }

    // A JPEG of size as a camera held on its side writes it: stored as size, with the EXIF
    // orientation 6 ("turn a quarter clockwise to view"), which Qt does not write itself.
    QString saveTurned(const char* name, QSize size) {
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPG")) return {};
        const QByteArray exif = QByteArray::fromHex("ffe10022" "457869660000" "4d4d002a00000008"
                                                    "0001" "011200030000000100060000" "00000000");
        jpeg.insert(2, exif); // after the start-of-image marker
        return test::fileWith(m_dir.filePath(QString::fromLatin1(name)), jpeg);
    }

private slots:
    void shouldShrinkToTheBoundKeepingTheShape() {
        const QString wide = save("wide.jpg", QSize(400, 200), "JPG"), tall = save("tall.bmp", QSize(100, 300), "BMP");
        QVERIFY(!wide.isEmpty() && !tall.isEmpty());
        QCOMPARE(readPictureWithin(wide, QSize(100, 100)).size(), QSize(100, 50));
        QCOMPARE(readPictureWithin(wide, QSize(1000, 120)).size(), QSize(240, 120));
        QCOMPARE(readPictureWithin(tall, QSize(60, 60)).size(), QSize(20, 60)); // no shrinking decoder
        // Smaller, or just as large: as it is.
        QCOMPARE(readPictureWithin(wide, QSize(400, 200)).size(), QSize(400, 200));
        QCOMPARE(readPictureWithin(tall, QSize(2000, 2000)).size(), QSize(100, 300));
    }

    void shouldTurnACamerasPictureUprightBeforeItIsFitted() {
        const QString turned = saveTurned("turned.jpg", QSize(200, 100));
        QVERIFY(!turned.isEmpty());
        QCOMPARE(readPictureWithin(turned, QSize(1000, 1000)).size(), QSize(100, 200));
        QCOMPARE(readPictureWithin(turned, QSize(400, 100)).size(), QSize(50, 100));
        QCOMPARE(readPictureWithin(turned, QSize(40, 400)).size(), QSize(40, 80));
    }

    void shouldGiveNothingForWhatIsNoPicture() {
        const QString text = test::fileWith(m_dir.filePath("broken.jpg"), "not a picture");
        QVERIFY(!text.isEmpty());
        QVERIFY(readPictureWithin(text, QSize(100, 100)).isNull());
        QVERIFY(readPictureWithin(m_dir.filePath("missing.jpg"), QSize(100, 100)).isNull());
    }
};

QTEST_GUILESS_MAIN(PictureTest)
#include "test_picture.moc"
