#pragma once
// Files the commands write (the report, the CSV file) are written whole or not at all.

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace olv {

// Writes the file beside the old one and puts it in its place at the end; never straight into the
// old file, not even where the folder refuses a new one, so a failure leaves any earlier file as
// it was. Answers why it was not written, or a null string. Cancelled and store failures thrown
// by write pass through, with nothing written.
QString writeWhole(const QString& path, const std::function<void(QIODevice&)>& write);
// Writes all the bytes, or throws so that writeWhole gives up.
void put(QIODevice& out, const QByteArray& bytes);

} // namespace olv
