#include "web/LiveFrames.h"

#include <algorithm>

namespace oculet {
namespace {
constexpr qint64 kRateWindowMs = 5000;
}

LiveFrames::LiveFrames() : runTag_(QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36)) {}

void LiveFrames::add(const QByteArray& jpeg, const QDateTime& now) {
    const QDateTime utc = now.toUTC();
    std::lock_guard lock(mutex_);
    ++newest_.number;
    newest_.time = utc;
    // An unchanged picture keeps its ETag and date, so a poller is answered "not modified".
    if (!newest_.jpeg || *newest_.jpeg != jpeg) {
        newest_.jpeg = std::make_shared<const QByteArray>(jpeg);
        ++changes_;
        newest_.etag = '"' + runTag_ + '-' + QByteArray::number(changes_) + '"';
        // HTTP dates have whole seconds; a later change in the same second must still be newer.
        newest_.modified = utc.addMSecs(-utc.time().msec());
    }
    const qint64 ms = utc.toMSecsSinceEpoch();
    recentMs_.push_back(ms);
    while (!recentMs_.empty() && recentMs_.front() < ms - kRateWindowMs) {
        recentMs_.pop_front();
    }
}

LiveFrame LiveFrames::newest() const {
    std::lock_guard lock(mutex_);
    return newest_;
}

double LiveFrames::framesPerSecond(const QDateTime& now) const {
    std::lock_guard lock(mutex_);
    const qint64 ms = now.toMSecsSinceEpoch();
    if (recentMs_.size() < 2 || recentMs_.back() < ms - kRateWindowMs) {
        return 0.0;
    }
    return double(recentMs_.size() - 1) * 1000.0 / double(std::max<qint64>(1, recentMs_.back() - recentMs_.front()));
}

} // namespace oculet
