#pragma once

// Where each overlay box lies on the 320 × 240 frame and whether it is shown. This is the one
// owner of the boxes' geometry while the program runs: the overlays draw at these places (and
// the clock, fixed text and last received picture resize their box to what they drew), and the
// labels on the main window only mirror it.

#include "settings/Settings.h"

#include <QRect>

namespace oculet {

inline constexpr int kFrameWidth = 320;
inline constexpr int kFrameHeight = 240;

struct OverlayBox {
    QRect rect;
    bool visible = false;

    bool operator==(const OverlayBox&) const = default;
};

struct OverlayBoxes {
    OverlayBox clock;
    OverlayBox fixedText;
    OverlayBox scrollText;
    OverlayBox lastRx;
    OverlayBox sm;
    OverlayBox aux1;
    OverlayBox aux2;
};

// The places of the current program's boxes at start-up, with the start-up limits applied to
// the boxes (the stored settings are not changed).
OverlayBoxes placeBoxesAtStartup(const Settings& settings);

// The places after a new source choice: every box from the program's stored values; the last
// received picture's box takes the program's left and width and keeps its top and height.
void placeBoxesForProgram(const Settings& settings, OverlayBoxes& boxes);

} // namespace oculet
