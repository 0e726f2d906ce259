#pragma once

// The three boxes copied from fixed spots of the screen onto the frame: the signal meter, AUX1
// and AUX2, with the overlay box each one is. Their values are the settings' copied regions;
// this table only ties each to its box for everything that handles the three alike.

#include "settings/Settings.h"
#include "compose/OverlayBoxes.h"
#include "source/ScreenRegions.h"

#include <QRect>

#include <array>

namespace oculet {

struct CopiedBox {
    BoxId id;
    CopiedBoxIndex region;

    bool isOn(const Settings& s) const { return s.copiedRegion(region).on; }
    // Where it is copied from on the screen and where it lands on the frame.
    QRect source(const Settings& s) const { return copiedBoxSourceOnScreen(s, region); }
    QRect place(const Settings& s) const { return s.copiedRegion(region).place.rect(); }
};

// In the order they are drawn: later boxes lie over earlier ones.
inline constexpr std::array<CopiedBox, kCopiedBoxCount> kCopiedBoxes = {{
    {BoxId::SM, SignalMeterBox},
    {BoxId::Aux1, Aux1Box},
    {BoxId::Aux2, Aux2Box},
}};

// The copied box an overlay box is; none for the other boxes.
inline const CopiedBox* copiedBoxFor(BoxId id) {
    for (const CopiedBox& box : kCopiedBoxes) {
        if (box.id == id) {
            return &box;
        }
    }
    return nullptr;
}

} // namespace oculet
