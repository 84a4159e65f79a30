#include "aside.h"

#include <QCoreApplication>

namespace olv::aside {

namespace {

// Made on first use and ended with the application, which waits for the work under way.
QThreadPool& pool(QThreadPool*& made) {
    if (!made) {
        made = new QThreadPool(QCoreApplication::instance());
        made->setMaxThreadCount(1);
        QObject::connect(made, &QObject::destroyed, [&made] { made = nullptr; });
    }
    return *made;
}

} // namespace

QThreadPool& readers() {
    static QThreadPool* made = nullptr;
    return pool(made);
}

QThreadPool& painters() {
    static QThreadPool* made = nullptr;
    return pool(made);
}

} // namespace olv::aside
