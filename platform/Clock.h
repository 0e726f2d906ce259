#pragma once

#include <QDateTime>

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

class SystemClock final : public Clock {
public:
    QDateTime utcNow() const override;
    QDateTime localNow() const override;
    double steadySeconds() const override;
};

} // namespace oculet
