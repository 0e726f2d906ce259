#include "source/ScreenRegions.h"

#include <algorithm>
#include <cstdint>

namespace oculet {

std::optional<int> copiedBoxOf(RegionTarget target) {
    switch (target) {
    case RegionTarget::SignalMeter: return SignalMeterBox;
    case RegionTarget::Aux1: return Aux1Box;
    case RegionTarget::Aux2: return Aux2Box;
    default: return std::nullopt;
    }
}

WindowEdges edgesFromStoredCapture(const Settings& s) {
    WindowEdges e;
    e.left = s.current(s.captureLeft) - s.current(s.captureOffX);
    e.top = s.current(s.captureTop) - s.current(s.captureOffY);
    // Without a window there is no real right and bottom edge; the capture's own edges keep the
    // progress strip's source next to the captured picture.
    e.right = s.current(s.captureLeft) + s.current(s.captureWidth);
    e.bottom = s.current(s.captureTop) + s.current(s.captureHeight);
    return e;
}

QRect regionOnScreen(const Settings& s, RegionTarget target, const WindowEdges& window) {
    switch (target) {
    case RegionTarget::None: return {};
    case RegionTarget::Capture:
        return {s.current(s.captureLeft), s.current(s.captureTop), s.current(s.captureWidth),
                s.current(s.captureHeight)};
    case RegionTarget::ProgressStrip: return {window.left + s.barX, window.bottom - s.barY, s.barWt, s.barHt};
    default: return copiedBoxSourceOnScreen(s, *copiedBoxOf(target));
    }
}

QRect copiedBoxSourceOnScreen(const Settings& s, int box) {
    // Stored in screen pixels as they are.
    return s.copiedRegion(box).source.rect();
}

QRect captureOnScreen(const Settings& s, const WindowEdges& window, bool screenMode) {
    if (screenMode) {
        return regionOnScreen(s, RegionTarget::Capture, window);
    }
    return {window.left + s.current(s.captureOffX), window.top + s.current(s.captureOffY),
            s.current(s.captureWidth), s.current(s.captureHeight)};
}

QRect storeRegion(Settings& s, RegionTarget target, const WindowEdges& window, const QRect& placed,
                  const QRect& screen) {
    const int x = std::min(std::max(placed.left(), 0), screen.width() - placed.width());
    const int y = std::min(std::max(placed.top(), 0), screen.height() - placed.height());
    const QRect held(x, y, placed.width(), placed.height());
    switch (target) {
    case RegionTarget::None: break;
    case RegionTarget::Capture:
        s.current(s.captureLeft) = placed.left();
        s.current(s.captureTop) = placed.top();
        s.current(s.captureWidth) = placed.width();
        s.current(s.captureHeight) = placed.height();
        // Stored as 16-bit values.
        s.current(s.captureOffX) = static_cast<std::int16_t>(placed.left() - window.left);
        s.current(s.captureOffY) = static_cast<std::int16_t>(placed.top() - window.top);
        break;
    case RegionTarget::ProgressStrip:
        s.barX = held.left() - window.left;
        s.barY = window.bottom - held.top();
        s.barWt = held.width();
        s.barHt = held.height();
        break;
    default: {
        StoredRect& source = s.copiedRegion(*copiedBoxOf(target)).source;
        source = {held.left(), held.top(), held.width(), held.height()};
        break;
    }
    }
    return held;
}

} // namespace oculet
