#pragma once
// The clock that object identifiers are made from. Tests hand in a clock they move themselves.

#include <QDateTime>

namespace olv {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual void sleepMs(int ms) = 0;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override;
    void sleepMs(int ms) override;
};

} // namespace olv
