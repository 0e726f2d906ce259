#pragma once

#include <QImage>

namespace oculet {

// The text and picture overlays the frame cycle draws into the composition canvas, each at the
// place its box holds in OverlayBoxes. The cycle decides whether a step runs at all (the box is
// on, not being dragged) and calls them in its fixed order.
class FrameOverlays {
public:
    virtual ~FrameOverlays() = default;

    virtual void drawLastReceived(QImage& frame) = 0;
    // Continuous mode (txtOn == 1) runs every cycle; every-60-seconds mode (txtOn >= 2) runs
    // while the minute flag is up.
    virtual void drawScrollingText(QImage& frame, int txtOn) = 0;
    virtual void drawFixedText(QImage& frame) = 0;
    virtual void drawClock(QImage& frame) = 0;
};

} // namespace oculet
