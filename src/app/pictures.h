#pragma once
// Pictures read at the size they are shown.

#include <QImage>
#include <QSize>
#include <QString>

namespace olv {

// The picture at path, no larger than box and in its own proportions; null when the file holds
// no picture that can be read. Formats that can decode at a smaller size (JPEG cheaply, PNG row
// by row) are read at that size, so a photo of any number of pixels is shown without its whole
// decoded image in memory, which Qt refuses beyond a limit. Safe on any thread.
QImage readPicture(const QString& path, QSize box);

} // namespace olv
