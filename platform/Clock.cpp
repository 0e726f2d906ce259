#include "platform/Clock.h"

#include <chrono>

namespace oculet {

QDateTime SystemClock::utcNow() const { return QDateTime::currentDateTimeUtc(); }

QDateTime SystemClock::localNow() const { return QDateTime::currentDateTime(); }

double SystemClock::steadySeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace oculet
