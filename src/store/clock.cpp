#include "clock.h"

#include <QThread>

namespace olv {

QDateTime SystemClock::now() const { return QDateTime::currentDateTime(); }

void SystemClock::sleepMs(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace olv
