#pragma once
// Pictures read no larger than they are shown: a camera's photo read whole would hold a hundred
// MB where the preview or thumbnail it is shown in needs a few.

#include <QImage>
#include <QSize>
#include <QString>

namespace olv {

// Reads the picture at path, turned upright as its camera recorded it, and shrunk to fit within
// bound keeping its shape; smaller ones come as they are. Formats that can decode at the smaller
// size do (JPEG does so cheaply). A null image when the file cannot be read as a picture.
QImage readPictureWithin(const QString& path, QSize bound);

} // namespace olv
