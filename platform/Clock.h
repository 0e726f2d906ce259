#pragma once

#include <QDateTime>

#include <limits>

namespace oculet {

// Time as the program reads it, behind an interface so tests run against a fixed clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime utcNow() const = 0;
    virtual QDateTime localNow() const = 0;
    // Seconds on a clock that never jumps (no midnight, no time-zone or daylight-saving change).
    virtual double steadySeconds() const = 0;
};

// The local time's offset from UTC at a moment. Asking the C library costs a look at the
// time-zone file every time, and the clock asks four times a second; the offset only ever changes
// on a whole minute (daylight saving, a new zone chosen), so it is asked once a minute.
class LocalTimeOffset {
public:
    int secondsAt(qint64 msecsSinceEpoch);

private:
    qint64 minute_ = std::numeric_limits<qint64>::min();
    int seconds_ = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime utcNow() const override;
    QDateTime localNow() const override;
    double steadySeconds() const override;

private:
    mutable LocalTimeOffset localOffset_;
};

} // namespace oculet
