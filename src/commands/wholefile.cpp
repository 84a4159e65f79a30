#include "wholefile.h"

#include <QSaveFile>
#include <stdexcept>

namespace olv {

namespace {

class WriteFailed : public std::runtime_error {
public:
    WriteFailed() : std::runtime_error("write failed") {}
};

} // namespace

QString writeWhole(const QString& path, const std::function<void(QIODevice&)>& write) {
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly)) {
        try {
            write(file);
            if (file.commit()) return QString();
        } catch (const WriteFailed&) {
        }
    }
    return file.errorString();
}

void put(QIODevice& out, const QByteArray& bytes) {
    if (out.write(bytes) != bytes.size()) throw WriteFailed();
}

} // namespace olv
