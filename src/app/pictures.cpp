#include "pictures.h"

#include <QFile>
#include <QImageReader>

namespace olv {

QImage readPicture(const QString& path, QSize box) {
    // The file's first bytes are waited for here: the image reader tells formats apart under a
    // lock of its own, and a file slow to come (a network share, a pipe) would hold every other
    // picture of the program up behind it.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    file.peek(64 * 1024);
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    if (full.isValid() && (full.width() > box.width() || full.height() > box.height()))
        reader.setScaledSize(full.scaled(box, Qt::KeepAspectRatio));
    QImage image = reader.read();
    // Turned upright after the decode, or read whole by a format that cannot scale.
    if (!image.isNull() && (image.width() > box.width() || image.height() > box.height()))
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace olv
