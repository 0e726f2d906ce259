#include "publish/LinkStatus.h"

#include <algorithm>

namespace oculet {

QString LinkStatus::caption(const InterfaceTexts& texts) const {
    switch (state) {
    case LinkState::Off:
        return {};
    case LinkState::Connecting:
        return texts[Text::StatusConnecting];
    case LinkState::Connected:
        return texts[Text::StatusConnected];
    case LinkState::Retrying:
        return QString(texts[Text::StatusRetrying]).replace(QStringLiteral("%1"), QString::number(retryInSeconds));
    case LinkState::LoginRefused:
        return texts[Text::StatusLoginRefused];
    case LinkState::Untrusted:
        return texts[Text::StatusUntrusted];
    }
    return {};
}

QString LinkStatus::toolTip(const InterfaceTexts& texts) const {
    return detail.isEmpty() ? caption(texts) : caption(texts) + u'\n' + detail;
}

int Backoff::nextPauseMs() {
    // Doubling stops at the longest pause, long before the shift could overflow.
    const int doublings = std::min(failures_, 20);
    ++failures_;
    return static_cast<int>(std::min<long long>(static_cast<long long>(firstMs_) << doublings, longestMs_));
}

} // namespace oculet
