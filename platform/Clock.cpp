#include "platform/Clock.h"

#include <chrono>

namespace oculet {

int LocalTimeOffset::secondsAt(qint64 msecsSinceEpoch) {
    const qint64 minute = msecsSinceEpoch / 60000 - (msecsSinceEpoch % 60000 < 0 ? 1 : 0);
    if (minute != minute_) {
        seconds_ = QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch).offsetFromUtc();
        minute_ = minute;
    }
    return seconds_;
}

QDateTime SystemClock::utcNow() const { return QDateTime::currentDateTimeUtc(); }

QDateTime SystemClock::localNow() const {
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(now, Qt::OffsetFromUTC, localOffset_.secondsAt(now));
}

double SystemClock::steadySeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace oculet
