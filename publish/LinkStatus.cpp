#include "publish/LinkStatus.h"

#include <algorithm>

namespace oculet {

QString LinkStatus::caption() const {
    switch (state) {
    case LinkState::Off:
        return {};
    case LinkState::Connecting:
        return QStringLiteral("connecting");
    case LinkState::Connected:
        return QStringLiteral("connected");
    case LinkState::Retrying:
        return QStringLiteral("retrying in %1 s").arg(retryInSeconds);
    case LinkState::LoginRefused:
        return QStringLiteral("login refused");
    case LinkState::Untrusted:
        return QStringLiteral("not trusted");
    }
    return {};
}

QString LinkStatus::toolTip() const { return detail.isEmpty() ? caption() : caption() + u'\n' + detail; }

int Backoff::nextPauseMs() {
    // Doubling stops at the longest pause, long before the shift could overflow.
    const int doublings = std::min(failures_, 20);
    ++failures_;
    return static_cast<int>(std::min<long long>(static_cast<long long>(firstMs_) << doublings, longestMs_));
}

} // namespace oculet
