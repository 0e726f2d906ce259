#include "compose/OverlayBoxes.h"

#include "compose/CopiedBoxes.h"

#include <algorithm>

namespace oculet {
namespace {

// The signal-meter and AUX boxes stand where they are stored, at start-up as after a source choice.
void placeCopiedBoxes(const Settings& s, OverlayBoxes& b) {
    for (const CopiedBox& box : kCopiedBoxes) {
        b[box.id].rect = box.place(s);
        b[box.id].visible = box.isOn(s);
    }
}

} // namespace

OverlayBoxes placeBoxesAtStartup(const Settings& s) {
    OverlayBoxes b;
    // The clock's and fixed text's sizes follow their text once drawn; until then they keep
    // a size that can be seen and taken with the mouse.
    b[BoxId::Clock].rect = QRect(std::clamp(s.current(s.clockLeft), 0, 270),
                         std::clamp(s.current(s.clockTop), 0, 210), 50, 30);
    b[BoxId::Clock].visible = s.clockShown();

    b[BoxId::FixedText].rect = QRect(std::min(s.current(s.fTxtLeft), 300), std::min(s.current(s.fTxtTop), 210), 60, 20);
    b[BoxId::FixedText].visible = s.fixedTextShown();

    const int width = s.current(s.lastRxWidth);
    const int height = roundHalfEven(width * 0.75);
    b[BoxId::LastRx].rect = QRect(std::clamp(s.current(s.lastRxLeft), 0, 300), kFrameHeight - height,
                          std::max(width, 30), std::max(height, 30));
    b[BoxId::LastRx].visible = s.current(s.lastRx);

    placeCopiedBoxes(s, b);

    b[BoxId::ScrollText].rect = QRect(0, std::clamp(s.current(s.txtTop), -10, 200), kFrameWidth, 20);
    b[BoxId::ScrollText].visible = s.scrollTextShown();

    return b;
}

void placeBoxesForProgram(const Settings& s, OverlayBoxes& b) {
    placeCopiedBoxes(s, b);
    b[BoxId::ScrollText].rect.moveTop(s.current(s.txtTop));
    b[BoxId::ScrollText].visible = s.scrollTextShown();
    b[BoxId::FixedText].rect.moveTopLeft(QPoint(s.current(s.fTxtLeft), s.current(s.fTxtTop)));
    b[BoxId::FixedText].visible = s.fixedTextShown();
    b[BoxId::Clock].rect.moveTopLeft(QPoint(s.current(s.clockLeft), s.current(s.clockTop)));
    b[BoxId::Clock].visible = s.clockShown();
    b[BoxId::LastRx].rect.moveLeft(s.current(s.lastRxLeft));
    b[BoxId::LastRx].rect.setWidth(s.current(s.lastRxWidth));
    b[BoxId::LastRx].visible = s.current(s.lastRx);
}

} // namespace oculet
