#include "picture.h"

#include <QFile>
#include <QImageReader>

namespace olv {

QImage readPictureWithin(const QString& path, QSize bound) {
    // The file's first bytes are waited for here: the image reader tells formats apart under a
    // lock of its own, and a file slow to come (a network share, a pipe) would hold every other
    // picture of the program up behind it.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    file.peek(64 * 1024);
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const auto larger = [](QSize size, QSize room) { return size.width() > room.width() || size.height() > room.height(); };
    // The decoder shrinks the picture as stored, before it is turned upright.
    QSize stored = bound;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) stored.transpose();
    if (const QSize full = reader.size(); full.isValid() && larger(full, stored))
        reader.setScaledSize(full.scaled(stored, Qt::KeepAspectRatio));
    QImage image = reader.read();
    // A format that does not tell its size before it is read comes whole.
    if (!image.isNull() && larger(image.size(), bound))
        image = image.scaled(bound, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace olv
