#pragma once

// Moving and sizing the overlay boxes with the mouse: the rules of each box family (how it moves,
// where it stops, how small it may get, which values it stores for the current source program)
// and the press / move / release steps that apply them. No widgets here: the handles on the main
// window feed pointer events in and show what comes out (ui/BoxHandles.h).

#include "compose/OverlayBoxes.h"
#include "settings/Settings.h"

#include <QPointF>
#include <QRectF>

#include <optional>

namespace oculet {

// Mouse button states as the handles report them, summed.
enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// What a handle shows after a step: the handle's own place, the selection outline and the place
// of the live preview (the latter two unclamped, as the pointer left them).
struct BoxStep {
    QRectF handle;
    QRectF outline;
    QRectF preview;
    // The step moved or sized the box: the preview is redrawn.
    bool moved = false;
};

class BoxLayoutEditor {
public:
    BoxLayoutEditor(Settings& settings, OverlayBoxes& boxes, EditState& edit);

    // Press with any button. Pointer positions are pixels relative to the handle's top-left
    // corner. Returns the step that shows the selection on the handle as it lies.
    BoxStep press(BoxId box, int buttons, QPointF pointer);
    // One pointer move while the handle holds the pointer.
    BoxStep move(BoxId box, int buttons, QPointF pointer);
    // Release with any button; the handle's place afterwards.
    QRectF release(BoxId box);

    // The image boxes are left out of the frames while pressed and show a live preview instead.
    static bool isImageBox(BoxId box);

private:
    QRectF& live(BoxId box);
    void store(BoxId box);

    Settings& settings_;
    OverlayBoxes& boxes_;
    EditState& edit_;
    QPointF grab_;
    // The pressed box's place with the fractions of the pointer moves, so a slow drag is not
    // eaten by rounding; the box model holds it rounded.
    std::optional<BoxId> liveBox_;
    QRectF live_;
};

} // namespace oculet
