#include "compose/LayoutPause.h"

namespace oculet {

void LayoutPause::setHooks(std::function<void()> paused, std::function<void()> resumed) {
    paused_ = std::move(paused);
    resumed_ = std::move(resumed);
}

void LayoutPause::pause(PauseReason reason) {
    const bool was = paused();
    held_ |= static_cast<unsigned>(reason);
    if (!was && paused_) {
        paused_();
    }
}

void LayoutPause::resume(PauseReason reason) {
    const bool was = paused();
    held_ &= ~static_cast<unsigned>(reason);
    if (was && !paused() && resumed_) {
        resumed_();
    }
}

} // namespace oculet
