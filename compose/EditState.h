#pragma once

namespace oculet {

// Which box the user is moving, and whether layout editing is going on (a box pressed, an option
// panel, the publishing panel or the capture-region editor open). While editing, frames are
// still composed and written but not published; a dragged box is left out of the frames.
struct EditState {
    enum DraggedBox : int { None = 0, Aux1 = 1, Aux2 = 2, SignalMeter = 3, LastReceived = 4 };
    bool layoutEditing = false;
    int draggedBox = None;
};

} // namespace oculet
