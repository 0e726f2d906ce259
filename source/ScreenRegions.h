#pragma once

// Where the stored screen regions lie on the screen, and how a rectangle placed on the screen is
// stored again: the capture, the progress strip and the three copied boxes. The frame cycle reads
// the regions through these functions and the capture-region editor also writes them back, so
// the two ways can never disagree.

#include "settings/Settings.h"

#include <QRect>

#include <optional>

namespace oculet {

// A window rectangle as left, top, right, bottom edges in screen pixels.
struct WindowEdges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const WindowEdges&) const = default;
};

// The regions the capture-region editor sets; None while it is closed.
enum class RegionTarget : int { None = 0, Capture, ProgressStrip, SignalMeter, Aux1, Aux2 };

// The copied box a target sets (CopiedBoxIndex); none for the others.
std::optional<int> copiedBoxOf(RegionTarget target);

// The source window's edges rebuilt from the current program's stored capture: the window's
// top-left is the capture's top-left less the capture offsets.
WindowEdges edgesFromStoredCapture(const Settings& settings);

// The screen rectangle a target's stored values give for the current program: the capture as
// stored, the progress strip measured from the window's bottom-left corner (its top "barY" above
// the bottom edge), a copied box's source as stored. None gives an empty rectangle.
QRect regionOnScreen(const Settings& settings, RegionTarget target, const WindowEdges& window);

// Where a copied box (CopiedBoxIndex) is copied from on the screen, for the current program.
QRect copiedBoxSourceOnScreen(const Settings& settings, int box);

// The screen rectangle copied onto the whole frame: in screen mode the stored rectangle,
// otherwise the capture offsets from the window's top-left.
QRect captureOnScreen(const Settings& settings, const WindowEdges& window, bool screenMode);

// Stores a rectangle placed on the screen as the target's values for the current program. Its
// position is first held on the screen (0 to the screen's size less the rectangle's); the
// capture alone keeps the place as it is, off-screen parts and all, and takes its offsets from
// the window. Returns the rectangle as held.
QRect storeRegion(Settings& settings, RegionTarget target, const WindowEdges& window, const QRect& placed,
                  const QRect& screen);

} // namespace oculet
