#pragma once

// Where each overlay box lies on the 320 × 240 frame and whether it is shown. This is the one
// owner of the boxes' geometry while the program runs: the overlays draw at these places (and
// the clock, fixed text and last received picture resize their box to what they drew), and the
// labels on the main window only mirror it.

#include "compose/LayoutPause.h"
#include "settings/Settings.h"

#include <QRect>

#include <array>
#include <cstddef>
#include <optional>

namespace oculet {

// The seven boxes the user places on the frame; the one name for them throughout the program.
enum class BoxId : int { Clock, FixedText, ScrollText, LastRx, SM, Aux1, Aux2 };
inline constexpr std::size_t kBoxCount = 7;
inline constexpr std::array<BoxId, kBoxCount> kAllBoxes = {BoxId::Clock, BoxId::FixedText, BoxId::ScrollText,
                                                          BoxId::LastRx, BoxId::SM,        BoxId::Aux1,
                                                          BoxId::Aux2};

struct OverlayBox {
    QRect rect;
    bool visible = false;

    bool operator==(const OverlayBox&) const = default;
};

class OverlayBoxes {
public:
    OverlayBox& operator[](BoxId id) { return boxes_[static_cast<std::size_t>(id)]; }
    const OverlayBox& operator[](BoxId id) const { return boxes_[static_cast<std::size_t>(id)]; }

private:
    std::array<OverlayBox, kBoxCount> boxes_{};
};

// Whether the user is arranging the layout (a box pressed, an option panel, the publishing panel
// or the capture-region editor open) and which box is held. While editing, frames are still
// composed and written but not published; a held box is left out of the frames.
struct EditState {
    LayoutPause layout;
    std::optional<BoxId> draggedBox;

    bool isDragged(BoxId id) const { return draggedBox == id; }
};

// The places of the current program's boxes at start-up, with the start-up limits applied to
// the boxes (the stored settings are not changed).
OverlayBoxes placeBoxesAtStartup(const Settings& settings);

// The places after a new source choice: every box from the program's stored values; the last
// received picture's box takes the program's left and width and keeps its top and height.
void placeBoxesForProgram(const Settings& settings, OverlayBoxes& boxes);

} // namespace oculet
